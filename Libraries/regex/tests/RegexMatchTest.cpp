// The matcher: positions, greediness, anchors, line separators, loops and
// the limits that keep every search bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <new>

#include "Libraries/regex/RegExpr.h"
#include "Libraries/regex/RegexCase.h"
#include "Libraries/regex/tests/RegexTestUtil.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace regextest;

// Counts allocations, to show that searching allocates nothing once the
// object's buffers are large enough.
static size_t g_allocations = 0;

void* operator new(size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

int ExecError(const AnsiString& expr, const AnsiString& input, const char* modifiers = nullptr) {
  TRegex r;
  if (modifiers) r.SetModifierStr(modifiers);
  r.SetExpression(expr);
  try {
    r.Exec(input);
  } catch (const ERegex& e) {
    return e.ErrorCode;
  }
  return 0;
}

TEST(RegexMatch, PositionsAndLengths) {
  EXPECT_EQ(Find("abc", "xxabcxx"), (Found{3, 3}));
  EXPECT_EQ(Find("b+", "abbbc"), (Found{2, 3}));
  EXPECT_EQ(Find("a|bc|d", "xxbcd"), (Found{3, 2}));
  EXPECT_EQ(Find("\\d+", "ab12345c"), (Found{3, 5}));
  EXPECT_EQ(Find("\\D+", "12ab3"), (Found{3, 2}));
  EXPECT_EQ(Find("\\w+", "  foo_1 "), (Found{3, 5}));
  EXPECT_EQ(Find("\\W", "ab c"), (Found{3, 1}));
  EXPECT_EQ(Find("\\S+", "  xy "), (Found{3, 2}));
  EXPECT_EQ(Find("[^a-c]+", "abcdef"), (Found{4, 3}));
  EXPECT_EQ(Find("x", "abc"), (Found{-1, -1}));
  EXPECT_EQ(Find("\\x41", "zA"), (Found{2, 1}));
}

TEST(RegexMatch, GreedyAndNonGreedy) {
  EXPECT_EQ(Find("a.*b", "a1b2b3"), (Found{1, 5}));
  EXPECT_EQ(Find("a.*?b", "a1b2b3"), (Found{1, 3}));
  EXPECT_EQ(Find("a.*b", "a1b2b3", "-g"), (Found{1, 3}));
  EXPECT_EQ(Find("a.+?", "abc"), (Found{1, 2}));
  EXPECT_EQ(Find("a??b", "ab"), (Found{1, 2}));
  EXPECT_EQ(Find("a{2,3}", "aaaa"), (Found{1, 3}));
  EXPECT_EQ(Find("a{2,3}?", "aaaa"), (Found{1, 2}));
  EXPECT_EQ(Find("(ab)+", "ababab"), (Found{1, 6}));
  EXPECT_EQ(Find("(ab)+?", "ababab"), (Found{1, 2}));
  EXPECT_EQ(Find("(ab){2,}?c", "abababc"), (Found{1, 7}));
  EXPECT_EQ(Find("x(ab)*?y", "xababy"), (Found{1, 6}));
  EXPECT_EQ(Find("(a|b)*c", "abbac"), (Found{1, 5}));
}

TEST(RegexMatch, Groups) {
  TRegex r;
  r.SetExpression("(\\w+)=(\\d*)");
  ASSERT_TRUE(r.Exec("  key=42;"));
  EXPECT_EQ(r.GetMatch(1), "key");
  EXPECT_EQ(r.GetMatch(2), "42");
  r.SetExpression("(a)|(b)");
  ASSERT_TRUE(r.Exec("b"));
  EXPECT_EQ(r.GetMatchPos(1), -1);
  EXPECT_EQ(r.GetMatchPos(2), 1);
  // A failing alternative leaves no trace in the registers.
  r.SetExpression("(a)x|ay");
  ASSERT_TRUE(r.Exec("ay"));
  EXPECT_EQ(r.GetMatchPos(1), -1);
  r.SetExpression("(a|b)+");
  ASSERT_TRUE(r.Exec("abab"));
  EXPECT_EQ(r.GetMatchPos(1), 4);
}

TEST(RegexMatch, BackReferences) {
  EXPECT_EQ(Find("(a+)b\\1", "aaabaa"), (Found{2, 5}));
  EXPECT_EQ(Find("(ab)\\1*$", "abab"), (Found{1, 4}));
  EXPECT_EQ(Find("(ab)\\1*$", "ababab"), (Found{1, 6}));
  EXPECT_EQ(Find("^(ab)\\1+$", "ab"), (Found{-1, -1}));
  EXPECT_EQ(Find("(x)\\1{2}", "xxxx"), (Found{1, 3}));
  EXPECT_EQ(Find("(a)\\1", "aA", "i"), (Found{1, 2}));
  EXPECT_EQ(Find("(a)\\1", "aA"), (Found{-1, -1}));
  // A reference to a group that did not take part fails.
  EXPECT_FALSE(ExecRegex("(a)?b\\1", "b"));
  EXPECT_FALSE(ExecRegex("(a)|b\\1", "b"));
  // An empty group's reference matches empty.
  EXPECT_EQ(Find("(x*)y\\1z", "yz"), (Found{1, 2}));
  // Inside its own group a reference sees the last complete match.
  TRegex r;
  r.SetExpression("(a\\1?)+");
  ASSERT_TRUE(r.Exec("aaa"));
  EXPECT_EQ(r.GetMatchLen(0), 3);
  EXPECT_EQ(r.GetMatch(1), "aa");
  EXPECT_EQ(Find("(b\\1|c)+", "cbc"), (Found{1, 3}));
}

TEST(RegexMatch, CaseInsensitive) {
  EXPECT_EQ(Find("abc", "xAbC", "i"), (Found{2, 3}));
  EXPECT_EQ(Find("[a-c]+", "xABC", "i"), (Found{2, 3}));
  EXPECT_EQ(Find("b+", "aBbB", "i"), (Found{2, 3}));
  EXPECT_EQ(Find("\xE9t\xE9", "\xC9T\xC9", "i"), (Found{1, 3}));  // code page 1252
  EXPECT_EQ(Find("\x9A", "\x8A", "i"), (Found{1, 1}));
  EXPECT_FALSE(ExecRegex("abc", "ABC"));
}

TEST(RegexMatch, AnchorsAndBoundaries) {
  EXPECT_EQ(Find("^ab", "abab"), (Found{1, 2}));
  EXPECT_EQ(Find("ab$", "abab"), (Found{3, 2}));
  EXPECT_EQ(Find("\\Aab", "abab"), (Found{1, 2}));
  EXPECT_EQ(Find("ab\\Z", "abab"), (Found{3, 2}));
  EXPECT_EQ(Find("\\bfoo\\b", "a foo b"), (Found{3, 3}));
  EXPECT_FALSE(ExecRegex("\\bfoo\\b", "afoo"));
  EXPECT_EQ(Find("\\Boo", "foo"), (Found{2, 2}));
  EXPECT_TRUE(ExecRegex("^Run$", "Run"));
  EXPECT_FALSE(ExecRegex("^Run$", "RunOnce"));
  // An anchored expression is tried only at the offset.
  TRegex r;
  r.SetExpression("^b");
  EXPECT_FALSE(r.Exec("ab"));
  r.SetInputString("ab");
  EXPECT_FALSE(r.ExecPos(2));
  // An anchored expression can match empty input.
  EXPECT_EQ(Find("^", ""), (Found{1, 0}));
  EXPECT_EQ(Find("^$", ""), (Found{1, 0}));
}

TEST(RegexMatch, EmptyMatchesAreFound) {
  EXPECT_EQ(Find("x*", "ab"), (Found{1, 0}));
  EXPECT_EQ(Find("x*", ""), (Found{1, 0}));
  EXPECT_EQ(Find("$", "ab"), (Found{3, 0}));
  EXPECT_EQ(Find("\\b", "ab"), (Found{1, 0}));
  EXPECT_EQ(Find("\\b", " ab"), (Found{2, 0}));
  EXPECT_EQ(Find("a?", "b"), (Found{1, 0}));
  EXPECT_EQ(Find("b*$", "aab"), (Found{3, 1}));
  EXPECT_EQ(Find("(ab){0,2}$", "x"), (Found{2, 0}));
}

TEST(RegexMatch, ExecNextAfterAnEmptyMatch) {
  TRegex r;
  r.SetExpression("x*");
  ASSERT_TRUE(r.Exec("abx"));
  EXPECT_EQ(r.GetMatchPos(0), 1);
  EXPECT_EQ(r.GetMatchLen(0), 0);
  ASSERT_TRUE(r.ExecNext());
  EXPECT_EQ(r.GetMatchPos(0), 2);
  ASSERT_TRUE(r.ExecNext());
  EXPECT_EQ(r.GetMatchPos(0), 3);
  EXPECT_EQ(r.GetMatchLen(0), 1);
  ASSERT_TRUE(r.ExecNext());  // the empty match at the end
  EXPECT_EQ(r.GetMatchPos(0), 4);
  EXPECT_EQ(r.GetMatchLen(0), 0);
  EXPECT_FALSE(r.ExecNext());

  r.SetExpression("\\d+");
  ASSERT_TRUE(r.Exec("1 22 333"));
  ASSERT_TRUE(r.ExecNext());
  EXPECT_EQ(r.GetMatch(0), "22");
  ASSERT_TRUE(r.ExecNext());
  EXPECT_EQ(r.GetMatch(0), "333");
  EXPECT_FALSE(r.ExecNext());
}

TEST(RegexMatch, MultiLineWithCrLfPairs) {
  const AnsiString text = "one\r\ntwo\nthree";
  TRegex r;
  r.SetModifierStr("m");
  r.SetExpression("^\\w");
  ASSERT_TRUE(r.Exec(text));
  EXPECT_EQ(r.GetMatchPos(0), 1);
  ASSERT_TRUE(r.ExecNext());
  EXPECT_EQ(r.GetMatchPos(0), 6);  // after CR LF
  ASSERT_TRUE(r.ExecNext());
  EXPECT_EQ(r.GetMatchPos(0), 10);  // after a lone LF
  EXPECT_FALSE(r.ExecNext());

  // Not between CR and LF.
  r.SetExpression("^");
  r.SetInputString("a\r\nb");
  EXPECT_TRUE(r.ExecPos(3));
  EXPECT_EQ(r.GetMatchPos(0), 4);

  r.SetExpression("\\w$");
  ASSERT_TRUE(r.Exec(text));
  EXPECT_EQ(r.GetMatch(0), "e");
  EXPECT_EQ(r.GetMatchPos(0), 3);
  r.SetExpression("$");
  r.SetInputString("a\r\nb");
  ASSERT_TRUE(r.ExecPos(2));
  EXPECT_EQ(r.GetMatchPos(0), 2);  // before CR LF
  ASSERT_TRUE(r.ExecPos(3));
  EXPECT_EQ(r.GetMatchPos(0), 5);  // not between CR and LF: the end

  // Without m, ^ and $ only match at the ends.
  EXPECT_EQ(Find("^two", text), (Found{-1, -1}));
  EXPECT_EQ(Find("^two", text, "m"), (Found{6, 3}));

  // Other separators.
  TRegex s;
  s.SetModifierStr("m");
  s.SetLineSeparators("|");
  s.SetLinePairedSeparator("");
  s.SetExpression("^b");
  EXPECT_EQ(s.Exec("a|b") ? s.GetMatchPos(0) : -1, 3);
  EXPECT_FALSE(s.Exec("a\nb"));
}

TEST(RegexMatch, DotAndLineSeparators) {
  EXPECT_EQ(Find("a.b", "a\nb"), (Found{1, 3}));
  EXPECT_FALSE(ExecRegex("(?-s)a.b", "a\nb"));
  EXPECT_FALSE(ExecRegex("(?-s)a.b", "a\rb"));
  EXPECT_EQ(Find("a.*", "ab\r\ncd", "-s"), (Found{1, 2}));
  EXPECT_EQ(Find("a.+", "abc", "-s"), (Found{1, 3}));
}

TEST(RegexMatch, RequiredLiteralAndFirstCharacter) {
  // Expressions starting with a repeat need their longest literal.
  EXPECT_FALSE(ExecRegex(".*needle", "haystack"));
  EXPECT_EQ(Find(".*needle", "a needle"), (Found{1, 8}));
  EXPECT_EQ(Find("\\w*ab", "xxab"), (Found{1, 4}));
  TRegex r;
  r.SetExpression("b.*c");
  r.SetInputString("abcb");
  ASSERT_TRUE(r.ExecPos(2));
  EXPECT_FALSE(r.ExecPos(3));
}

TEST(RegexMatch, LoopsRestoreTheirStateOnFailure) {
  EXPECT_EQ(Find("(a){0,2}(b){0,2}x", "aab!x"), (Found{5, 1}));
  EXPECT_EQ(Find("((ab)*c){2}", "cc"), (Found{1, 2}));
  EXPECT_EQ(Find("((ab)*c){2}", "abcabc"), (Found{1, 6}));
  EXPECT_EQ(Find("(a){2}b|(a){3}c", "aaac"), (Found{1, 4}));
  // Eleven sequential optional groups, non-greedy loops each.
  AnsiString seq;
  for (int i = 0; i < 11; ++i) seq += "(a)?";
  EXPECT_EQ(ExecError(seq + "x", "aax", "-g"), 0);
  EXPECT_EQ(Find(seq + "x", "aaax", "-g"), (Found{1, 4}));
  EXPECT_EQ(Find("(a){0,3}?(a){0,2}?(a){0,1}?z", "aaaaaz"), (Found{1, 6}));
}

TEST(RegexMatch, NestedLoopsBeyondTenLevelsRaise1014) {
  AnsiString nested = "a";
  for (int i = 0; i < 11; ++i) nested = "(" + nested + ")+?";
  EXPECT_EQ(ExecError(nested + "b", "ab"), 1014);
  AnsiString ten = "a";
  for (int i = 0; i < 10; ++i) ten = "(" + ten + ")+?";
  EXPECT_EQ(ExecError(ten + "b", "aab"), 0);
  EXPECT_TRUE(ExecRegex(ten + "b", "aab"));
}

TEST(RegexMatch, LoopBodiesThatMatchEmptyEnd) {
  EXPECT_EQ(Find("(a{0,3})*b", "aaaab"), (Found{1, 5}));
  EXPECT_EQ(Find("(a{0,3})*", "xyz"), (Found{1, 0}));
  EXPECT_EQ(Find("(a{0,3})*b", "xyz"), (Found{-1, -1}));
  EXPECT_EQ(Find("(a{0,3})*b", "ab", "-g"), (Found{1, 2}));
  EXPECT_EQ(Find("foo(\\s*)?bar", "foo  bar", "-g"), (Found{1, 8}));
  EXPECT_EQ(Find("(\\s*)?bar", "x bar", "-g"), (Found{2, 4}));
  EXPECT_EQ(Find("(a|b{0,2})+c", "abbc"), (Found{1, 4}));
  EXPECT_EQ(Find("(a{0,2}){3}z", "z"), (Found{1, 1}));
  EXPECT_EQ(Find("(a{0,2}){3,}?z", "aaaz"), (Found{1, 4}));
  EXPECT_EQ(Find("(\\1{0,1}){2}x", "x"), (Found{1, 1}));
  // The loop stops after the empty iteration, keeping what it matched.
  TRegex r;
  r.SetExpression("(a|c{0,1})+b");
  ASSERT_TRUE(r.Exec("aab"));
  EXPECT_EQ(r.GetMatchLen(0), 3);
  r.SetExpression("(a|c{0,1})*");
  ASSERT_TRUE(r.Exec("aad"));
  EXPECT_EQ(r.GetMatchLen(0), 2);
  EXPECT_EQ(r.GetMatchPos(1), 3);
  EXPECT_EQ(r.GetMatchLen(1), 0);
  // Mandatory iterations may be empty.
  r.SetExpression("(a|c{0,1}){3}(b)");
  ASSERT_TRUE(r.Exec("ab"));
  EXPECT_EQ(r.GetMatch(0), "ab");
  EXPECT_EQ(r.GetMatchPos(1), 2);
}

TEST(RegexMatch, LongInputsDoNotExhaustTheStack) {
  AnsiString value = "foo" + AnsiString(50 * 1024, 'x') + "bar";
  for (const char* mods : {"-g", "g", "-s-g", "m-s-g-r"}) {
    SCOPED_TRACE(mods);
    EXPECT_EQ(Find("foo.*bar", value, mods), (Found{1, int(value.size())}));
    EXPECT_EQ(Find("foo(.)*bar", value, mods), (Found{1, int(value.size())}));
    EXPECT_EQ(Find("foo(x|y)*bar", value, mods), (Found{1, int(value.size())}));
    EXPECT_FALSE(ExecRegex("foo(x|y)*baz", value));
  }
  AnsiString pairs;
  for (int i = 0; i < 100000; ++i) pairs += "ab";
  EXPECT_EQ(Find("(ab)+$", pairs), (Found{1, int(pairs.size())}));
  EXPECT_EQ(Find("(ab)+?$", pairs, "-g"), (Found{1, int(pairs.size())}));
}

TEST(RegexMatch, PathologicalPatternsEndInBoundedTime) {
  auto started = std::chrono::steady_clock::now();
  const AnsiString as(30, 'a');
  for (const char* expr : {"(a+)+b", "(a|aa)*c", "(a*)*b", "(a|a)*b", "((a+)+)+b"}) {
    for (const AnsiString& input : {as, "b" + as, "c" + as + "x", as + "!"}) {
      int code = ExecError(expr, input);
      EXPECT_TRUE(code == 0 || code == 1016 || code == 106) << expr << " " << code;
    }
  }
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 60.0);
  TRegex r;
  r.SetExpression("(a+)+b");
  try {
    r.Exec("b" + as);
  } catch (const ERegex& e) {
    EXPECT_EQ(e.ErrorCode, 1016);
    EXPECT_EQ(WideToUtf8(e.Message()), "TRegex(exec): Backtracking Limit Exceeded");
  }
  // The object stays usable.
  EXPECT_TRUE(r.Exec("aab"));
  // The bound is per search and can be lowered.
  r.SetStepLimit(1000);
  EXPECT_EQ(r.GetStepLimit(), 1000u);
  try {
    r.Exec("b" + as);
    ADD_FAILURE() << "no error";
  } catch (const ERegex& e) {
    EXPECT_EQ(e.ErrorCode, 1016);
  }
  EXPECT_TRUE(r.Exec("ab"));
}

TEST(RegexMatch, ExecReusesItsBuffers) {
  TRegex r;
  r.SetExpression("(x|y)+z");
  AnsiString big(1000, 'x');
  ASSERT_FALSE(r.Exec(big));
  const char* buffer = r.GetInputString().data();
  for (int i = 0; i < 100; ++i) r.Exec("xxyz");
  EXPECT_EQ(r.GetInputString().data(), buffer);

  // Nothing is allocated per search once the buffers have grown.
  const std::string inputs[] = {"xxyz", "no match here", AnsiString(500, 'x') + "z", "yz"};
  for (const std::string& in : inputs) r.Exec(in);
  size_t before = g_allocations;
  int hits = 0;
  for (int i = 0; i < 1000; ++i)
    for (const std::string& in : inputs) hits += r.Exec(in);
  EXPECT_EQ(g_allocations, before);
  EXPECT_EQ(hits, 3000);
}

TEST(RegexMatch, CaseInversionFunction) {
  EXPECT_EQ(TRegex::InvertCaseFunction('a'), 'A');
  EXPECT_EQ(TRegex::InvertCaseFunction('A'), 'a');
  EXPECT_EQ(TRegex::InvertCaseFunction('1'), '1');
  // An injected function is used for case-insensitive matching.
  TRegex r;
  r.SetInvertCase([](char c) -> char { return c == 'a' ? 'q' : c; });
  r.SetModifierStr("i");
  r.SetExpression("a");
  EXPECT_TRUE(r.Exec("q"));
  EXPECT_FALSE(r.Exec("A"));
}

#ifdef _WIN32
TEST(RegexMatch, BuiltInTableMatchesTheSystemForCodePage1252) {
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page is not 1252";
  // The portable table (used by the native build) against the system.
  for (int c = 0; c < 256; ++c) {
    char ch = char(c);
    char up[1] = {ch}, low[1] = {ch};
    CharUpperBuffA(up, 1);
    CharLowerBuffA(low, 1);
    EXPECT_EQ(RegexUpperCase1252(ch), up[0]) << c;
    EXPECT_EQ(RegexLowerCase1252(ch), low[0]) << c;
    EXPECT_EQ(RegexSystemUpperCase(ch), up[0]) << c;
  }
}
#endif

}  // namespace

// The two wide-text search engines.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "unicode/SearchEngines.h"

namespace {

using Matches = std::vector<std::pair<int, int>>;

Matches All(TSearchEngine& engine, const std::u16string& text) {
  Matches out;
  engine.FindAll(text);
  for (int i = 0; i < engine.GetCount(); ++i) {
    int s, e;
    engine.GetResult(i, s, e);
    out.emplace_back(s, e);
  }
  return out;
}

std::pair<int, int> First(TSearchEngine& engine, const std::u16string& text) {
  int s = -1, e = -1;
  if (!engine.FindFirst(text, s, e)) return {-1, -1};
  return {s, e};
}

std::pair<int, int> Ure(const std::u16string& pattern, const std::u16string& text,
                        TSearchFlags flags = {sfCaseSensitive}) {
  TURESearch engine(nullptr);
  engine.FindPrepare(pattern, flags);
  return First(engine, text);
}

std::string UreError(const std::u16string& pattern) {
  TURESearch engine(nullptr);
  try {
    engine.FindPrepare(pattern, {});
  } catch (const Exception& e) {
    return WideToUtf8(e.Message());
  }
  return "(no error)";
}

const std::pair<int, int> kNone{-1, -1};

}  // namespace

TEST(UTBMSearch, CaseFolding) {
  TUTBMSearch engine(nullptr);
  engine.FindPrepare(u"HELLO", {});
  EXPECT_EQ(First(engine, u"say hello there"), std::make_pair(4, 9));
  EXPECT_EQ(engine.GetCount(), 1);
  engine.FindPrepare(u"\u01C6", {});
  EXPECT_EQ(First(engine, u"ab\u01C5c"), std::make_pair(2, 3));
  EXPECT_EQ(First(engine, u"\u01C4"), std::make_pair(0, 1));
  engine.FindPrepare(u"HELLO", {sfCaseSensitive});
  EXPECT_EQ(First(engine, u"say hello"), kNone);
  EXPECT_EQ(First(engine, u"say HELLO"), std::make_pair(4, 9));
  // Shared case forms (Kelvin sign and K) don't make the search skip a match.
  engine.FindPrepare(u"k\u212Ax", {});
  EXPECT_EQ(First(engine, u"kkkkx"), std::make_pair(2, 5));
}

TEST(UTBMSearch, LengthsAndAllMatches) {
  TUTBMSearch engine(nullptr);
  engine.FindPrepare(u"abc", {sfCaseSensitive});
  EXPECT_EQ(First(engine, u"ab"), kNone);
  EXPECT_EQ(First(engine, u""), kNone);
  EXPECT_EQ(First(engine, u"abc"), std::make_pair(0, 3));
  EXPECT_EQ(All(engine, u"abcabxabcab"), (Matches{{0, 3}, {6, 9}}));
  engine.FindPrepare(u"aa", {sfCaseSensitive});
  EXPECT_EQ(All(engine, u"aaaaa"), (Matches{{0, 2}, {2, 4}}));
  EXPECT_FALSE(engine.FindAll(u"bab"));
  engine.FindPrepare(u"", {});
  EXPECT_EQ(First(engine, u"anything"), kNone);
  int s = 0, e = 0;
  engine.FindPrepare(u"needle", {});
  EXPECT_FALSE(engine.FindFirst(nullptr, 5, s, e));
}

TEST(UTBMSearch, SurrogatePairs) {
  TUTBMSearch engine(nullptr);
  engine.FindPrepare(u"a\U0001F600", {});
  EXPECT_EQ(First(engine, u"xx\U0001F600a\U0001F600y"), std::make_pair(4, 7));
  engine.FindPrepare(u"\U00010400", {});  // Deseret, folded to its lower case
  EXPECT_EQ(First(engine, u"a\U00010428"), std::make_pair(1, 3));
  // A text that ends in half a pair is never read past its end.
  std::u16string cut = u"ab";
  cut.push_back(0xD83D);
  engine.FindPrepare(u"b\U0001F600", {});
  EXPECT_EQ(First(engine, cut), kNone);
  engine.FindPrepare(std::u16string(1, char16_t(0xD83D)), {sfCaseSensitive});
  EXPECT_EQ(First(engine, cut), std::make_pair(2, 3));
}

TEST(UTBMSearch, SpaceCompressionAndMarks) {
  TUTBMSearch engine(nullptr);
  engine.FindPrepare(u"a  b", {sfSpaceCompress});
  EXPECT_EQ(First(engine, u"xa by"), std::make_pair(1, 4));
  EXPECT_EQ(First(engine, u"xa \t\r\n by"), std::make_pair(1, 8));
  EXPECT_EQ(First(engine, u"xaby"), kNone);
  engine.FindPrepare(u"a b", {});
  EXPECT_EQ(First(engine, u"xa  b"), kNone);
  engine.FindPrepare(u"cafe", {sfIgnoreNonSpacing});
  EXPECT_EQ(First(engine, u"le cafe\u0301!"), std::make_pair(3, 7));
  EXPECT_EQ(First(engine, u"ca\u0301fe"), std::make_pair(0, 5));
  engine.FindPrepare(u"ca\u0301fe", {sfIgnoreNonSpacing});
  EXPECT_EQ(First(engine, u"cafe"), std::make_pair(0, 4));
  engine.FindPrepare(u"\u0301\u0301", {sfIgnoreNonSpacing});  // nothing left
  EXPECT_EQ(First(engine, u"a\u0301"), kNone);
  // A text mark can't be the start of a fixed search's run past the text.
  std::u16string marks(3, char16_t(0x0301));
  engine.FindPrepare(u"x", {sfIgnoreNonSpacing});
  EXPECT_EQ(First(engine, marks), kNone);
}

TEST(UTBMSearch, WholeWords) {
  TUTBMSearch engine(nullptr);
  engine.FindPrepare(u"cat", {sfWholeWordOnly});
  EXPECT_EQ(First(engine, u"a cat sat"), std::make_pair(2, 5));
  EXPECT_EQ(First(engine, u"cat"), std::make_pair(0, 3));
  EXPECT_EQ(First(engine, u"concat"), kNone);
  EXPECT_EQ(First(engine, u"cats"), kNone);
  EXPECT_EQ(All(engine, u"cat bobcat cat"), (Matches{{0, 3}, {11, 14}}));
}

TEST(UTBMSearch, LineBreaksAndControlsAreBlanks) {
  TUTBMSearch engine(nullptr);
  engine.FindPrepare(u"cat", {sfWholeWordOnly});
  EXPECT_EQ(First(engine, u"cat\ndog"), std::make_pair(0, 3));
  EXPECT_EQ(First(engine, u"dog\r\ncat\x01"), std::make_pair(5, 8));
  engine.FindPrepare(u"a\nb", {sfSpaceCompress});
  EXPECT_EQ(All(engine, u"a\nb ab a \r\nb a\x01" u"b"), (Matches{{0, 3}, {7, 12}, {13, 16}}));
}

TEST(SearchEngine, ResultList) {
  TUTBMSearch engine(nullptr);
  engine.FindPrepare(u"a", {});
  EXPECT_TRUE(engine.FindAll(u"banana"));
  EXPECT_EQ(engine.GetCount(), 3);
  engine.DeleteResult(1);
  int s, e;
  engine.GetResult(1, s, e);
  EXPECT_EQ(std::make_pair(s, e), std::make_pair(5, 6));
  EXPECT_THROW(engine.GetResult(2, s, e), EListError);
  EXPECT_THROW(engine.DeleteResult(-1), EListError);
  engine.AddResult(8, 9);
  EXPECT_EQ(engine.GetCount(), 3);
  engine.Clear();
  EXPECT_EQ(engine.GetCount(), 0);
  EXPECT_FALSE(engine.FindAll(u"banana"));  // the pattern went with Clear
}

TEST(URESearch, DocumentedResults) {
  // A failed partial match is tried again from the character after its start.
  EXPECT_EQ(Ure(u"ab", u"aab"), std::make_pair(1, 3));
  EXPECT_EQ(Ure(u"aab", u"aaab"), std::make_pair(1, 4));
  EXPECT_EQ(Ure(u"abc", u"ababc"), std::make_pair(2, 5));
  // ... also when the text ends inside it.
  EXPECT_EQ(Ure(u"abc|b", u"ab"), std::make_pair(1, 2));
  EXPECT_EQ(Ure(u"x[ab]*c|b", u"xabab"), std::make_pair(2, 3));
  EXPECT_EQ(Ure(u"ab", u"xab"), std::make_pair(1, 3));
  EXPECT_EQ(Ure(u"[^a-c]", u"abcd"), std::make_pair(3, 4));
  EXPECT_EQ(Ure(u"\\p11", u"X"), kNone);
  EXPECT_EQ(Ure(u"\\p11", u"Xx"), std::make_pair(1, 2));
  EXPECT_EQ(Ure(u"\\P11", u"xX"), std::make_pair(1, 2));
  EXPECT_EQ(Ure(u"[\\p10]+", u"abCDe"), std::make_pair(2, 4));  // upper-case letters
}

TEST(URESearch, NegatedPropertiesInAClass) {
  EXPECT_EQ(Ure(u"[\\P11]", u"aB"), std::make_pair(1, 2));  // not lower-case
  EXPECT_EQ(Ure(u"[\\P11]", u"a"), kNone);
  EXPECT_EQ(Ure(u"[^\\P11]", u"Ba"), std::make_pair(1, 2));
  EXPECT_EQ(Ure(u"[x\\P11,10]+", u"aB1x-"), std::make_pair(2, 5));  // neither case
  EXPECT_EQ(Ure(u"[\\P11\\P10]+", u"aB1"), std::make_pair(0, 3));  // each list a member
}

// Every branch of an alternation is followed, also when branches begin with
// symbols that take the same character: the leftmost match is found, and the
// longest of those.
TEST(URESearch, OverlappingSymbolsGiveTheLeftmostLongestMatch) {
  EXPECT_EQ(Ure(u"a.c|abd", u"abc"), std::make_pair(0, 3));
  EXPECT_EQ(Ure(u"abd|a.c", u"abc"), std::make_pair(0, 3));
  EXPECT_EQ(Ure(u"[0-9]+\\.[0-9]+|1x", u"12.5"), std::make_pair(0, 4));
  EXPECT_EQ(Ure(u"b[a-z]+|bad", u"bade"), std::make_pair(0, 4));
  EXPECT_EQ(Ure(u"x.*y|xa", u"xaby"), std::make_pair(0, 4));
  EXPECT_EQ(Ure(u"abcd|c", u"abcd"), std::make_pair(0, 4));
  EXPECT_EQ(Ure(u"^a|\\na.", u"\nab"), std::make_pair(0, 3));
  EXPECT_EQ(Ure(u"a$|a\\r\\n", u"a\r\n"), std::make_pair(0, 3));

  // Random expressions over ".", "[ab]", "a" and "b" against a reference
  // that tries every start and every way through the expression.
  struct Node {
    char Op;  // symbol: '.', '[', 'a', 'b'; '|', '+' (concatenation), '*', 'p' (one or more), '?'
    int Left = -1, Right = -1;
  };
  std::vector<Node> nodes;
  std::mt19937 rng(20240611);
  std::function<int(int)> make = [&](int depth) {
    const char kSymbols[] = ".[ab";
    unsigned pick = depth > 3 ? rng() % 4 : rng() % 9;
    Node n{pick < 4 ? kSymbols[pick] : "|+*p?"[pick - 4]};
    if (pick >= 4) n.Left = make(depth + 1);
    if (pick == 4 || pick == 5) n.Right = make(depth + 1);
    nodes.push_back(n);
    return static_cast<int>(nodes.size()) - 1;
  };
  std::function<std::u16string(int)> text = [&](int i) -> std::u16string {
    const Node& n = nodes[static_cast<std::size_t>(i)];
    switch (n.Op) {
      case '[': return u"[ab]";
      case '|': return u"(" + text(n.Left) + u"|" + text(n.Right) + u")";
      case '+': return text(n.Left) + text(n.Right);
      case '*': return u"(" + text(n.Left) + u")*";
      case 'p': return u"(" + text(n.Left) + u")+";
      case '?': return u"(" + text(n.Left) + u")?";
      default: return std::u16string(1, char16_t(n.Op));
    }
  };
  // The ends of every way through node I from position At.
  std::function<std::set<int>(int, const std::u16string&, int)> ends =
      [&](int i, const std::u16string& s, int at) {
        const Node& n = nodes[static_cast<std::size_t>(i)];
        std::set<int> out;
        auto more = [&](std::set<int> from) {  // one or more further times
          std::vector<int> work(from.begin(), from.end());
          while (!work.empty()) {
            int k = work.back();
            work.pop_back();
            for (int e : ends(n.Left, s, k))
              if (from.insert(e).second) work.push_back(e);
          }
          return from;
        };
        switch (n.Op) {
          case '|':
            out = ends(n.Left, s, at);
            for (int e : ends(n.Right, s, at)) out.insert(e);
            break;
          case '+':
            for (int k : ends(n.Left, s, at))
              for (int e : ends(n.Right, s, k)) out.insert(e);
            break;
          case '*': out = more({at}); break;
          case 'p': out = more(ends(n.Left, s, at)); break;
          case '?':
            out = ends(n.Left, s, at);
            out.insert(at);
            break;
          default:
            if (at < static_cast<int>(s.size())) {
              char16_t c = s[static_cast<std::size_t>(at)];
              if (n.Op == '.' || c == n.Op || (n.Op == '[' && c != u'c')) out.insert(at + 1);
            }
        }
        return out;
      };
  for (int round = 0; round < 300; ++round) {
    nodes.clear();
    int root = make(0);
    std::u16string pattern = text(root), s;
    for (unsigned k = rng() % 8; k > 0; --k) s += u"abc"[rng() % 3];
    std::pair<int, int> want = kNone;
    for (int at = 0; at < static_cast<int>(s.size()) && want == kNone; ++at) {
      std::set<int> e = ends(root, s, at);
      if (!e.empty() && *e.rbegin() > at) want = {at, *e.rbegin()};
    }
    EXPECT_EQ(Ure(pattern, s), want) << WideToUtf8(ToString(pattern)) << " in " << WideToUtf8(ToString(s));
  }
}

TEST(URESearch, OperatorsAndClasses) {
  EXPECT_EQ(Ure(u"a+b", u"xaaab"), std::make_pair(1, 5));
  EXPECT_EQ(Ure(u"colou?r", u"my color"), std::make_pair(3, 8));
  EXPECT_EQ(Ure(u"colou?r", u"my colour"), std::make_pair(3, 9));
  EXPECT_EQ(Ure(u"x(ab)*y", u"xababy"), std::make_pair(0, 6));
  EXPECT_EQ(Ure(u"x(ab)*y", u"xy"), std::make_pair(0, 2));
  EXPECT_EQ(Ure(u"cat|dog", u"hotdog"), std::make_pair(3, 6));
  EXPECT_EQ(Ure(u"a{2,3}", u"aaaa"), std::make_pair(0, 3));
  EXPECT_EQ(Ure(u"ba{2}c", u"baac"), std::make_pair(0, 4));
  EXPECT_EQ(Ure(u"ba{2}c", u"bac"), kNone);
  EXPECT_EQ(Ure(u"ba{ 1 , }c", u"baaac"), std::make_pair(0, 5));
  EXPECT_EQ(Ure(u"ba{0,}c", u"bc"), std::make_pair(0, 2));
  EXPECT_EQ(Ure(u"a.c", u"abc"), std::make_pair(0, 3));
  EXPECT_EQ(Ure(u"a.c", u"a\nc"), kNone);
  EXPECT_EQ(Ure(u"[[:digit:]]+", u"ab123c"), std::make_pair(2, 5));
  EXPECT_EQ(Ure(u"[:xdigit:]+", u"xyzBEEFg"), std::make_pair(3, 7));
  EXPECT_EQ(Ure(u"[:space:]", u"a\tb"), std::make_pair(1, 2));
  EXPECT_EQ(Ure(u"[]a]+", u"x]a]"), std::make_pair(1, 4));
  EXPECT_EQ(Ure(u"[a-]+", u"x-a"), std::make_pair(1, 3));
  EXPECT_EQ(Ure(u"[z-a]", u"m"), std::make_pair(0, 1));  // ends put in order
  EXPECT_EQ(Ure(u"\\x41\\u00e9", u"xA\u00E9"), std::make_pair(1, 3));
  EXPECT_EQ(Ure(u"\\t\\n", u"a\t\n"), std::make_pair(1, 3));
  EXPECT_EQ(Ure(u"\\.", u"ab.c"), std::make_pair(2, 3));
  EXPECT_EQ(Ure(u"\\x", u"axb"), std::make_pair(1, 2));  // no digits: the letter
  // The longest match wins; a completed shorter one is kept when it fails.
  EXPECT_EQ(Ure(u"ab|abcd", u"abcx"), std::make_pair(0, 2));
}

TEST(URESearch, CaseInsensitiveAndSurrogates) {
  EXPECT_EQ(Ure(u"ABC", u"xabc", {}), std::make_pair(1, 4));
  EXPECT_EQ(Ure(u"abc", u"xABC", {}), std::make_pair(1, 4));
  EXPECT_EQ(Ure(u"[A-C]+", u"xbCa", {}), std::make_pair(1, 4));
  EXPECT_EQ(Ure(u"ABC", u"xabc"), kNone);
  EXPECT_EQ(Ure(u"\U0001F600+", u"a\U0001F600\U0001F600b"), std::make_pair(1, 5));
  EXPECT_EQ(Ure(u"\\uD83D\\uDE00", u"a\U0001F600"), std::make_pair(1, 3));
  EXPECT_EQ(Ure(u"[\U0001F600-\U0001F64F]", u"a\U0001F610"), std::make_pair(1, 3));
  EXPECT_EQ(Ure(u"\U00010400", u"\U00010428", {}), std::make_pair(0, 2));
  std::u16string cut = u"a";
  cut.push_back(0xD83D);
  EXPECT_EQ(Ure(u"a.", cut), std::make_pair(0, 2));
  EXPECT_EQ(Ure(u"a\U0001F600", cut), kNone);
}

TEST(URESearch, Anchors) {
  TURESearch engine(nullptr);
  engine.FindPrepare(u"^ab", {sfCaseSensitive});
  EXPECT_EQ(All(engine, u"ab\nab xab"), (Matches{{0, 2}, {3, 5}}));
  EXPECT_EQ(First(engine, u"xab"), kNone);
  EXPECT_EQ(All(engine, u"ab\r\nab"), (Matches{{0, 2}, {4, 6}}));
  engine.FindPrepare(u"ab$", {sfCaseSensitive});
  EXPECT_EQ(All(engine, u"ab\nabx\nab"), (Matches{{0, 2}, {7, 9}}));
  engine.FindPrepare(u"^", {sfCaseSensitive});
  EXPECT_EQ(First(engine, u""), std::make_pair(0, 0));
  engine.FindPrepare(u"^$", {sfCaseSensitive});
  EXPECT_EQ(First(engine, u""), std::make_pair(0, 0));
  // Empty matches don't stop FindAll from advancing.
  engine.FindPrepare(u"$", {sfCaseSensitive});
  EXPECT_EQ(All(engine, u"a\nb"), (Matches{{1, 1}, {3, 3}}));
  engine.FindPrepare(u"^", {sfCaseSensitive});
  EXPECT_EQ(All(engine, u"a\nb\n"), (Matches{{0, 0}, {2, 2}, {4, 4}}));
  EXPECT_EQ(All(engine, u"a\r\nb"), (Matches{{0, 0}, {3, 3}}));
  // A line start that led nowhere leaves the character to the other branches.
  EXPECT_EQ(Ure(u"^b|a", u"a"), std::make_pair(0, 1));
  EXPECT_EQ(Ure(u"a|^b", u"xa"), std::make_pair(1, 2));
  EXPECT_EQ(Ure(u"^b|ca", u"x\ncca"), std::make_pair(3, 5));
  engine.FindPrepare(u"^*a", {sfCaseSensitive});
  EXPECT_EQ(First(engine, u"a"), std::make_pair(0, 1));
}

TEST(URESearch, ExecutionFlags) {
  TURESearch engine(nullptr);
  engine.FindPrepare(u"cafe", {sfCaseSensitive});
  int s = 0, e = 0;
  std::u16string text = u"ca\u0301fe";
  EXPECT_FALSE(engine.ExecuteURE(text.data(), 5, 0, 0, s, e));
  EXPECT_TRUE(engine.ExecuteURE(text.data(), 5, 0, TURESearch::xfIgnoreNonSpacing, s, e));
  EXPECT_EQ(std::make_pair(s, e), std::make_pair(0, 5));
  engine.FindPrepare(u"a.b", {sfCaseSensitive});
  std::u16string broken = u"a\nb";
  EXPECT_FALSE(engine.ExecuteURE(broken.data(), 3, 0, 0, s, e));
  EXPECT_TRUE(engine.ExecuteURE(broken.data(), 3, 0, TURESearch::xfDotMatchesBreaks, s, e));
}

TEST(URESearch, CompileErrors) {
  EXPECT_EQ(UreError(u"(ab"), "Error in regular expression: (ab\rUnbalanced group expression, ')' is missing.");
  EXPECT_EQ(UreError(u"ab)"), "Error in regular expression: ab)\rUnbalanced group expression, ')' is missing.");
  EXPECT_EQ(UreError(u"a{3,2}"), "Error in regular expression: a{3,2}\rInvalid repeation range.");
  EXPECT_EQ(UreError(u"a{2x}"), "Error in regular expression: a{2x}\rInvalid repeation range.");
  EXPECT_EQ(UreError(u"a{2"), "Error in regular expression: a{2\rRepeation range not closed, '}' is missing.");
  EXPECT_EQ(UreError(u"[abc"), "Error in regular expression: [abc\rCharacter class not closed, ']' is missing.");
  EXPECT_EQ(UreError(u"ab\\"), "Error in regular expression: ab\\\rUnexpected end of pattern.");
  EXPECT_EQ(UreError(u"[a\\"), "Error in regular expression: [a\\\rUnexpected end of pattern.");
  EXPECT_EQ(UreError(u"\\p33"), "Error in regular expression: \\p33\rA character property is invalid");
  EXPECT_EQ(UreError(u"()"), "Expression is empty.");
  // The pattern is text, never a format.
  EXPECT_EQ(UreError(u"%s%n%d("), "Error in regular expression: %s%n%d(\rUnbalanced group expression, ')' is missing.");
  EXPECT_EQ(UreError(u"[\\p11]"), "(no error)");
  TURESearch engine(nullptr);
  engine.FindPrepare(u"", {});
  int s, e;
  EXPECT_FALSE(engine.FindFirst(u"abc", s, e));
}

TEST(URESearch, BoundsFailCleanly) {
  EXPECT_EQ(UreError(u"a{1001}"), "Error in regular expression: a{1001}\rInvalid repeation range.");
  EXPECT_EQ(UreError(u"a{99999999999999999999}"),
            "Error in regular expression: a{99999999999999999999}\rInvalid repeation range.");
  EXPECT_EQ(Ure(u"a{1000}", std::u16string(1000, u'a')), std::make_pair(0, 1000));
  // The classic subset-construction blow-up: 2^14 states.
  std::u16string blowUp = u"(a|b)*a";
  for (int i = 0; i < 13; ++i) blowUp += u"(a|b)";
  EXPECT_NE(UreError(blowUp).find("Expression is too complex."), std::string::npos);
  std::u16string deep(600, u'(');
  deep += u"a" + std::u16string(600, u')');
  EXPECT_NE(UreError(deep).find("Expression is too complex."), std::string::npos);
  std::u16string fine(100, u'(');
  fine += u"a" + std::u16string(100, u')');
  EXPECT_EQ(Ure(fine, u"xa"), std::make_pair(1, 2));
  // A failed compile leaves nothing behind.
  TURESearch engine(nullptr);
  engine.FindPrepare(u"a", {});
  EXPECT_THROW(engine.FindPrepare(u"(a", {}), Exception);
  int s, e;
  EXPECT_FALSE(engine.FindFirst(u"a", s, e));
}

TEST(URESearch, EquivalentStatesAreMerged) {
  TURESearch engine(nullptr);
  engine.FindPrepare(u"(a|b)*c", {sfCaseSensitive});
  EXPECT_EQ(engine.GetStateCount(), 2);
  engine.FindPrepare(u"x(ab|ab)", {sfCaseSensitive});
  EXPECT_EQ(engine.GetStateCount(), 4);
}

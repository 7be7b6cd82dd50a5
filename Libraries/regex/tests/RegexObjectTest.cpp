// The expression object: modifiers, separators, errors and match registers.
#include <gtest/gtest.h>

#include "Libraries/regex/RegExpr.h"
#include "Libraries/regex/tests/RegexTestUtil.h"

using namespace regextest;

namespace {

int RaisedCode(const std::function<void()>& f, std::string* message = nullptr) {
  try {
    f();
  } catch (const ERegex& e) {
    if (message) *message = WideToUtf8(e.Message());
    return e.ErrorCode;
  }
  return 0;
}

TEST(RegexObject, VersionAndDefaults) {
  EXPECT_EQ(TRegex::VersionMajor(), 0);
  EXPECT_EQ(TRegex::VersionMinor(), 947);
  TRegex r;
  // i is off: it goes after the hyphen, so the text round-trips.
  EXPECT_EQ(r.GetModifierStr(), "gsr-imx");
  EXPECT_EQ(r.GetSpaceChars(), " \t\n\r\f");
  EXPECT_EQ(r.GetWordChars(), "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_");
  EXPECT_EQ(r.GetLineSeparators(), "\r\n");
  EXPECT_EQ(r.GetLinePairedSeparator(), "\r\n");
  EXPECT_FALSE(r.GetModifier(1));
  EXPECT_TRUE(r.GetModifier(2));
  EXPECT_TRUE(r.GetModifier(3));
  EXPECT_TRUE(r.GetModifier(4));
  EXPECT_FALSE(r.GetModifier(5));
  EXPECT_FALSE(r.GetModifier(6));
}

TEST(RegexObject, UnitDefaultsAreCopiedIntoNewObjects) {
  bool saved = RegexModifierI;
  RegexModifierI = true;
  TRegex r;
  RegexModifierI = saved;
  EXPECT_TRUE(r.GetModifier(1));
  TRegex plain;
  EXPECT_FALSE(plain.GetModifier(1));
}

TEST(RegexObject, ModifierStrings) {
  TRegex r;
  for (int i = 1; i <= 6; ++i) r.SetModifier(i, true);
  EXPECT_EQ(r.GetModifierStr(), "xmgsri");
  for (int i = 1; i <= 6; ++i) r.SetModifier(i, false);
  EXPECT_EQ(r.GetModifierStr(), "-irsgmx");

  TRegex s;
  s.SetModifierStr("i-g");
  EXPECT_EQ(s.GetModifierStr(), "sri-gmx");
  s.SetModifierStr("XM");
  EXPECT_TRUE(s.GetModifier(5));
  EXPECT_TRUE(s.GetModifier(6));
}

TEST(RegexObject, BadModifierStringRaises1013AndChangesNothing) {
  TRegex r;
  std::string msg;
  EXPECT_EQ(RaisedCode([&] { r.SetModifierStr("q"); }, &msg), 1013);
  EXPECT_EQ(msg, "Unknown error");
  // All or nothing: "i" before the bad letter is not applied.
  EXPECT_EQ(RaisedCode([&] { r.SetModifierStr("i-gq"); }), 1013);
  EXPECT_EQ(r.GetModifierStr(), "gsr-imx");
  r.SetModifierStr(r.GetModifierStr());
  EXPECT_EQ(r.GetModifierStr(), "gsr-imx");
  EXPECT_EQ(r.LastError(), 1013);
  EXPECT_EQ(r.LastError(), 0);
}

TEST(RegexObject, ParseModifiersStrKeepsEarlierChangesOnFailure) {
  int mods = 0;
  EXPECT_TRUE(TRegex::ParseModifiersStr("is-s", mods));
  EXPECT_EQ(mods, MaskModI);
  mods = 0;
  EXPECT_FALSE(TRegex::ParseModifiersStr("m!x", mods));
  EXPECT_EQ(mods, MaskModM);
}

TEST(RegexObject, ModifierIndexOutOfRangeRaises1013) {
  TRegex r;
  EXPECT_EQ(RaisedCode([&] { r.SetModifier(0, true); }), 1013);
  EXPECT_EQ(RaisedCode([&] { r.SetModifier(7, true); }), 1013);
  EXPECT_EQ(RaisedCode([&] { r.GetModifier(7); }), 1013);
}

TEST(RegexObject, ChangedModifierRecompilesAtNextExec) {
  TRegex r;
  r.SetExpression("abc");
  r.Compile();
  EXPECT_FALSE(r.Exec("xABC"));
  r.SetModifier(1, true);
  ASSERT_TRUE(r.Exec("xABC"));
  EXPECT_EQ(r.GetMatchPos(0), 2);
}

TEST(RegexObject, ChangedSpaceOrWordCharsRecompileAtNextExec) {
  TRegex r;
  r.SetExpression("\\w+");
  ASSERT_TRUE(r.Exec("abc xyz"));
  EXPECT_EQ(r.GetMatchPos(0), 1);
  r.SetWordChars("xyz");
  ASSERT_TRUE(r.Exec("abc xyz"));
  EXPECT_EQ(r.GetMatchPos(0), 5);
  r.SetExpression("\\s");
  ASSERT_TRUE(r.Exec("a b-c"));
  EXPECT_EQ(r.GetMatchPos(0), 2);
  r.SetSpaceChars("-");
  ASSERT_TRUE(r.Exec("a b-c"));
  EXPECT_EQ(r.GetMatchPos(0), 4);
}

TEST(RegexObject, LinePairedSeparator) {
  TRegex r;
  std::string msg;
  EXPECT_EQ(RaisedCode([&] { r.SetLinePairedSeparator("a"); }, &msg), 128);
  EXPECT_EQ(msg,
            "TRegex(comp): LinePairedSeparator must countain two different chars or no chars at "
            "all (pos 0)");
  EXPECT_EQ(RaisedCode([&] { r.SetLinePairedSeparator("aa"); }), 128);
  EXPECT_EQ(RaisedCode([&] { r.SetLinePairedSeparator("abc"); }), 128);
  EXPECT_EQ(r.GetLinePairedSeparator(), "\r\n");
  r.SetLinePairedSeparator("");
  EXPECT_EQ(r.GetLinePairedSeparator(), "");
  r.SetLinePairedSeparator("ab");
  EXPECT_EQ(r.GetLinePairedSeparator(), "ab");
}

TEST(RegexObject, ExecutionErrors) {
  TRegex r;
  std::string msg;
  EXPECT_EQ(RaisedCode([&] { r.Exec("abc"); }, &msg), 1003);
  EXPECT_EQ(msg, "TRegex(exec): Not Assigned Expression Property");
  EXPECT_EQ(RaisedCode([&] { r.Compile(); }), 1003);

  r.SetExpression("b");
  EXPECT_TRUE(r.ExecPos(2));  // Exec stored its input before it raised

  TRegex r2;
  r2.SetExpression("b");
  EXPECT_EQ(RaisedCode([&] { r2.ExecPos(1); }, &msg), 1005);
  EXPECT_EQ(msg, "TRegex(exec): No Inpit String Specified");
  EXPECT_EQ(RaisedCode([&] { r2.GetInputString(); }, &msg), 1008);
  EXPECT_EQ(msg, "TRegex(exec): GetInputString Without InputString");
  EXPECT_EQ(RaisedCode([&] { r2.ExecNext(); }, &msg), 1007);
  EXPECT_EQ(msg, "TRegex(exec): ExecNext Without Exec[Pos]");

  EXPECT_TRUE(r.Exec("abc"));
  EXPECT_EQ(r.GetInputString(), "abc");
  EXPECT_EQ(RaisedCode([&] { r.ExecPos(0); }, &msg), 1006);
  EXPECT_EQ(msg, "TRegex(exec): Offset Must Be Greater Then 0");
  EXPECT_FALSE(r.ExecPos(5));  // beyond the end + 1
  EXPECT_FALSE(r.ExecPos(3));
  EXPECT_TRUE(r.ExecPos(2));
  // A failed search leaves no match to continue from.
  EXPECT_FALSE(r.ExecPos(3));
  EXPECT_EQ(RaisedCode([&] { r.ExecNext(); }), 1007);
}

TEST(RegexObject, ErrorMessagesAndLastError) {
  TRegex r;
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(0)), "No errors");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(103)), WideToUtf8(r.ErrorMsg(104)));
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(101)), "TRegex(comp): Regexp Too Big");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(110)), "TRegex(comp): Parse Atom Trailing \\");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(126)),
            "TRegex(comp): If you want take part in beta-testing BRACES '{min,max}' and "
            "non-greedy ops '*?', '+?', '?" "?' for complex cases - remove '.' from "
            "{.$DEFINE ComplexBraces}");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(1001)), "TRegex(exec): MatchPrim Memory Corruption");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(1011)), "TRegex(dump): Corrupted Opcode");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(1013)), "Unknown error");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(1014)), "TRegex(exec): Loop Stack Exceeded");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(1015)), "TRegex(exec): Loop Without LoopEntry !");
  EXPECT_EQ(WideToUtf8(r.ErrorMsg(117)), "Unknown error");

  // The code stays readable until read; the position is 0 outside compiling.
  r.SetExpression("a(b");
  EXPECT_EQ(RaisedCode([&] { r.Compile(); }), 103);
  EXPECT_EQ(r.GetCompilerErrorPos(), 0);
  EXPECT_EQ(r.LastError(), 103);
  EXPECT_EQ(r.LastError(), 0);
  // A failed compilation leaves no program: the next execution raises again.
  EXPECT_EQ(RaisedCode([&] { r.Exec("ab"); }), 103);
  EXPECT_EQ(RaisedCode([&] { r.Exec("ab"); }), 103);
}

TEST(RegexObject, EmptyExpressionDiscardsTheProgram) {
  TRegex r;
  r.SetExpression("a");
  EXPECT_TRUE(r.Exec("a"));
  r.SetExpression("");
  EXPECT_EQ(RaisedCode([&] { r.Exec("a"); }), 1003);
}

TEST(RegexObject, ExecThatRaisesLeavesNoMatchIntoTheOldInput) {
  TRegex r;
  r.SetExpression("b");
  ASSERT_TRUE(r.Exec("abc"));
  r.SetExpression("");
  // a longer input: old registers would point outside the stored copy
  EXPECT_EQ(RaisedCode([&] { r.Exec(std::string(4096, 'z')); }), 1003);
  EXPECT_EQ(r.GetInputString(), std::string(4096, 'z'));
  EXPECT_EQ(r.GetMatchPos(0), -1);
  EXPECT_EQ(r.GetMatchLen(0), -1);
  EXPECT_EQ(r.GetMatch(0), "");
  EXPECT_EQ(r.GetSubExprMatchCount(), 0);
  EXPECT_EQ(RaisedCode([&] { r.ExecNext(); }), 1007);
  // the same after a compile error
  r.SetExpression("(x)");
  ASSERT_TRUE(r.Exec("yx"));
  r.SetExpression("a(b");
  EXPECT_EQ(RaisedCode([&] { r.Exec(""); }), 103);
  EXPECT_EQ(r.GetMatchPos(1), -1);
  EXPECT_EQ(r.GetMatch(1), "");
}

TEST(RegexObject, MatchRegisters) {
  TRegex r;
  EXPECT_EQ(r.GetSubExprMatchCount(), -1);
  r.SetExpression("(a)(x)?(c)");
  ASSERT_TRUE(r.Exec("zac"));
  EXPECT_EQ(r.GetSubExprMatchCount(), 3);
  EXPECT_EQ(r.GetMatchPos(0), 2);
  EXPECT_EQ(r.GetMatchLen(0), 2);
  EXPECT_EQ(r.GetMatch(0), "ac");
  EXPECT_EQ(r.GetMatchPos(1), 2);
  EXPECT_EQ(r.GetMatch(3), "c");
  EXPECT_EQ(r.GetMatchPos(2), -1);  // did not take part
  EXPECT_EQ(r.GetMatchLen(2), -1);
  EXPECT_EQ(r.GetMatch(2), "");
  EXPECT_EQ(r.GetMatchPos(15), -1);
  EXPECT_EQ(r.GetMatchPos(-1), -1);
  EXPECT_EQ(r.GetMatchLen(15), -1);
  EXPECT_FALSE(r.Exec("zzz"));
  EXPECT_EQ(r.GetSubExprMatchCount(), 0);
  EXPECT_EQ(r.GetMatchPos(0), -1);
  // A new expression with fewer groups leaves nothing of the old ones.
  ASSERT_TRUE(r.Exec("zac"));
  r.SetExpression("(c)");
  r.SetInputString("zac");
  ASSERT_TRUE(r.ExecPos(1));
  EXPECT_EQ(r.GetSubExprMatchCount(), 1);
  EXPECT_EQ(r.GetMatchPos(3), -1);
  // A search that makes no attempt leaves no old match behind.
  r.SetExpression(".*q");
  EXPECT_FALSE(r.ExecPos(1));
  EXPECT_EQ(r.GetMatchPos(0), -1);
}

TEST(RegexObject, UnitFunctions) {
  EXPECT_TRUE(ExecRegex("^Run$", "Run"));
  EXPECT_FALSE(ExecRegex("^Run$", "RunOnce"));
  std::vector<AnsiString> pieces{"old"};
  SplitRegex("[,;]", "a,b;c", pieces);
  EXPECT_EQ(pieces, (std::vector<AnsiString>{"a", "b", "c"}));
  EXPECT_EQ(ReplaceRegex("(\\w+)@(\\w+)", "me@host, you@there", "$2.$1", true),
            "host.me, there.you");
  EXPECT_EQ(ReplaceRegex("(\\w+)@(\\w+)", "me@host", "$2.$1", false), "$2.$1");
}

TEST(RegexObject, ExceptionCarriesCodeAndPosition) {
  TRegex r;
  r.SetExpression("ab[cd");
  try {
    r.Compile();
    FAIL() << "no exception";
  } catch (const Exception& e) {
    const ERegex* re = dynamic_cast<const ERegex*>(&e);
    ASSERT_NE(re, nullptr);
    EXPECT_EQ(re->ErrorCode, 113);
    EXPECT_EQ(re->CompilerErrorPos, 5);
    EXPECT_STREQ(e.ClassName(), "ERegex");
    std::unique_ptr<Exception> copy(e.Clone());
    EXPECT_EQ(dynamic_cast<ERegex*>(copy.get())->ErrorCode, 113);
  }
}

}  // namespace

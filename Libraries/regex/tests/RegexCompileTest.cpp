// The compiler: syntax errors with their positions, and the program it emits.
#include <gtest/gtest.h>

#include <chrono>

#include "Libraries/regex/RegExpr.h"
#include "Libraries/regex/tests/RegexTestUtil.h"

using namespace regextest;

namespace {

AnsiString DumpOf(const AnsiString& expr, const char* modifiers = nullptr) {
  TRegex r;
  if (modifiers) r.SetModifierStr(modifiers);
  r.SetExpression(expr);
  return r.Dump();
}

// The dump's node lines only (up to and including END).
AnsiString NodesOf(const AnsiString& expr, const char* modifiers = nullptr) {
  AnsiString d = DumpOf(expr, modifiers);
  size_t end = d.find(":END");
  return d.substr(0, d.find("\r\n", end) + 2);
}

struct ErrorCase {
  const char* expr;
  int code;
  int pos;
  const char* message;
};

TEST(RegexCompile, EveryCompileErrorWithMessageAndPosition) {
  const AnsiString fifteen = "(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)(a)";
  const ErrorCase cases[] = {
      {"a(b", 103, 3, "TRegex(comp): ParseReg Unmatched ()"},
      {"ab)", 104, 2, "TRegex(comp): ParseReg Unmatched ()"},
      {"(a*)*", 106, 4, "TRegex(comp): *+ Operand Could Be Empty"},
      {"(x?)+", 106, 4, "TRegex(comp): *+ Operand Could Be Empty"},
      {"\\b{2}", 106, 2, "TRegex(comp): *+ Operand Could Be Empty"},
      {"a**", 107, 2, "TRegex(comp): Nested *?+"},
      {"a+{2}", 107, 2, "TRegex(comp): Nested *?+"},
      {"\\xg0", 108, 2, "TRegex(comp): Bad Hex Digit"},
      {"\\x{1g}", 108, 4, "TRegex(comp): Bad Hex Digit"},
      {"[z-a]", 109, 4, "TRegex(comp): Invalid [] Range"},
      {"[a\\", 110, 3, "TRegex(comp): Parse Atom Trailing \\"},
      {"\\x", 111, 2, "TRegex(comp): No Hex Code After \\x"},
      {"\\x4", 111, 3, "TRegex(comp): No Hex Code After \\x"},
      {"\\x{12", 111, 5, "TRegex(comp): No Hex Code After \\x"},
      {"\\x{123}", 112, 5, "TRegex(comp): Hex Code After \\x Is Too Big"},
      {"[abc", 113, 4, "TRegex(comp): Unmatched []"},
      {"*a", 115, 0, "TRegex(comp): ?+*{ Follows Nothing"},
      {"a|?b", 115, 2, "TRegex(comp): ?+*{ Follows Nothing"},
      {"a\\", 116, 2, "TRegex(comp): Trailing \\"},
      {"a{123456789}", 122, 1, "TRegex(comp): BRACES Argument Too Big"},
      {"a{3,2}", 124, 6, "TRegex(comp): BRACE Min Param Greater then Max"},
      {"(?#abc", 125, 6, "TRegex(comp): Unclosed (?#Comment)"},
      {"(?q)a", 127, 3, "TRegex(comp): Urecognized Modifier"},
      {"(?i", 127, 3, "TRegex(comp): Urecognized Modifier"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.expr);
    CompileFailure f = CompileError(c.expr);
    EXPECT_EQ(f.code, c.code);
    EXPECT_EQ(f.pos, c.pos);
    EXPECT_EQ(f.message, std::string(c.message) + " (pos " + std::to_string(c.pos) + ")");
  }
  CompileFailure f = CompileError(fifteen);
  EXPECT_EQ(f.code, 102);
  EXPECT_EQ(f.pos, 43);
  EXPECT_EQ(f.message, "TRegex(comp): ParseReg Too Many () (pos 43)");
  EXPECT_EQ(CompileError(fifteen.substr(3)).code, 0);  // 14 groups compile
}

TEST(RegexCompile, ProgramDump) {
  EXPECT_EQ(DumpOf("^ab[^cd]*?\\d+$"),
            " 1:BRANCH (47) \r\n"
            " 6:BOL (11) \r\n"
            "11:EXACTLY (19) ab\r\n"
            "19:STARNG (32) \r\n"
            "24:ANYBUTTINYSET (0)cdd\r\n"
            "32:PLUS (42) \r\n"
            "37:ANYDIGIT (0)\r\n"
            "42:EOL (47) \r\n"
            "47:END (0)\r\n"
            "anchored \r\nFirstCharSet:a\r\n");
  EXPECT_EQ(DumpOf("ab{2,}|c"),
            " 1:BRANCH (33) \r\n"
            " 6:EXACTLY (13) a\r\n"
            "13:BRACES (45) {2,2147483646}\r\n"
            "26:EXACTLY (0)b\r\n"
            "33:BRANCH (45) \r\n"
            "38:EXACTLY (45) c\r\n"
            "45:END (0)\r\n"
            "\r\nFirstCharSet:ac\r\n");
  EXPECT_EQ(DumpOf("x.*yz"),
            " 1:BRANCH (31) \r\n"
            " 6:EXACTLY (13) x\r\n"
            "13:STAR (23) \r\n"
            "18:ANY (0)\r\n"
            "23:EXACTLY (31) yz\r\n"
            "31:END (0)\r\n"
            "start x\r\nFirstCharSet:x\r\n");
  EXPECT_EQ(DumpOf(".*yz"),
            " 1:BRANCH (24) \r\n"
            " 6:STAR (16) \r\n"
            "11:ANY (0)\r\n"
            "16:EXACTLY (24) yz\r\n"
            "24:END (0)\r\n"
            "must have yz\r\nFirstCharSet:" +
                [] {
                  AnsiString all;
                  for (int c = 0; c < 256; ++c) all += char(c);
                  return all;
                }() +
                "\r\n");
}

TEST(RegexCompile, ProgramStartsWithMagicAndDumpOpNames) {
  TRegex r;
  EXPECT_EQ(r.DumpOp(0), ":END");
  EXPECT_EQ(r.DumpOp(20), ":EXACTLY/CI");
  EXPECT_EQ(r.DumpOp(14), ":ANYLETTER");
  EXPECT_EQ(r.DumpOp(38), ":NOTBOUND");
  EXPECT_EQ(r.DumpOp(40), ":OPEN[1]");
  EXPECT_EQ(r.DumpOp(53), ":OPEN[14]");
  EXPECT_EQ(r.DumpOp(55), ":CLOSE[1]");
  EXPECT_EQ(r.DumpOp(68), ":CLOSE[14]");
  for (int bad : {39, 54, 69, 255}) {
    try {
      r.DumpOp(bad);
      ADD_FAILURE() << bad;
    } catch (const ERegex& e) {
      EXPECT_EQ(e.ErrorCode, 1011);
    }
  }
}

TEST(RegexCompile, LoopsAndBranches) {
  // A complex greedy star is a branch looping back; non-greedy is a loop.
  EXPECT_EQ(NodesOf("(ab)*"),
            " 1:BRANCH (49) \r\n"
            " 6:BRANCH (39) \r\n"
            "11:OPEN[1] (16) \r\n"
            "16:BRANCH (29) \r\n"
            "21:EXACTLY (29) ab\r\n"
            "29:CLOSE[1] (34) \r\n"
            "34:BACK (6) \r\n"
            "39:BRANCH (44) \r\n"
            "44:NOTHING (49) \r\n"
            "49:END (0)\r\n");
  EXPECT_EQ(NodesOf("(ab)*?"),
            " 1:BRANCH (51) \r\n"
            " 6:LOOPENTRY (34) \r\n"
            "11:OPEN[1] (16) \r\n"
            "16:BRANCH (29) \r\n"
            "21:EXACTLY (29) ab\r\n"
            "29:CLOSE[1] (34) \r\n"
            "34:LOOPNG (51)  -> (11) {0,2147483646}\r\n"
            "51:END (0)\r\n");
  // With g off every quantifier is non-greedy.
  EXPECT_NE(NodesOf("a*", "-g").find(":STARNG"), AnsiString::npos);
  EXPECT_NE(NodesOf("a+", "-g").find(":PLUSNG"), AnsiString::npos);
  EXPECT_NE(NodesOf("a?", "-g").find(" 6:BRACESNG (26) {0,1}"), AnsiString::npos);
  EXPECT_NE(NodesOf("(a){2,3}").find(":LOOP "), AnsiString::npos);
  EXPECT_NE(NodesOf("(a){2,3}?").find(":LOOPNG "), AnsiString::npos);
}

TEST(RegexCompile, ClassesAndEscapes) {
  EXPECT_NE(NodesOf("[^ab]").find(":ANYBUTTINYSET (14) abb"), AnsiString::npos);
  EXPECT_NE(NodesOf("[ba]").find(":ANYOFTINYSET (14) abb"), AnsiString::npos);
  EXPECT_NE(NodesOf("[a-z]").find(":ANYOFFULLSET (43) abcdefghijklmnopqrstuvwxyz"),
            AnsiString::npos);
  EXPECT_NE(NodesOf("[]a]").find(":ANYOFTINYSET (14) ]aa"), AnsiString::npos);
  EXPECT_NE(NodesOf("[a-]").find(":ANYOFTINYSET (14) -aa"), AnsiString::npos);
  EXPECT_NE(NodesOf("[\\x41-\\x43]").find("ABC"), AnsiString::npos);
  EXPECT_NE(NodesOf("[\\d]").find("0123456789"), AnsiString::npos);
  // "-" before a class escape is a member, and \D in a class is the letter.
  EXPECT_NE(NodesOf("[a-\\D]").find(":ANYOFTINYSET (14) -Da"), AnsiString::npos);
  EXPECT_NE(NodesOf("[\\t\\n]").find(":ANYOFTINYSET (14) \t\n\n"), AnsiString::npos);
  EXPECT_NE(NodesOf("\\s").find("#9#10#12#13 "), AnsiString::npos);
  EXPECT_NE(NodesOf("\\t\\e\\x{41}").find(":EXACTLY (13) \t"), AnsiString::npos);
  // Case-insensitive classes hold both cases.
  EXPECT_NE(NodesOf("[a]", "i").find(":ANYOFTINYSET (14) Aaa"), AnsiString::npos);
  // Code page 1251 letter ranges with modifier r.
  AnsiString ru = NodesOf("[\xE0-\xFF]");
  EXPECT_NE(ru.find("\xB8"), AnsiString::npos);
  EXPECT_EQ(NodesOf("[\xE0-\xFF]", "-r").find("\xB8"), AnsiString::npos);
  EXPECT_EQ(CompileError("[\xE0-\xDF]").code, 0);
  EXPECT_EQ(CompileError("[\xE0-\xDF]", "-r").code, 109);
  EXPECT_EQ(Find("[\xE0-\xDF]+", "\xA8\xB8\xC0\xFF").len, 4);
}

TEST(RegexCompile, CaseInsensitiveNodes) {
  AnsiString d = NodesOf("(a)b\\1", "i");
  EXPECT_NE(d.find(":EXACTLY/CI"), AnsiString::npos);
  EXPECT_NE(d.find(":BSUBEXP/CI"), AnsiString::npos);
  EXPECT_EQ(d.find(":EXACTLY "), AnsiString::npos);
}

TEST(RegexCompile, LiteralRuns) {
  // A quantifier after a run applies to its last character only.
  EXPECT_EQ(Find("abc*", "ab"), (Found{1, 2}));
  EXPECT_NE(NodesOf("abc*").find("EXACTLY (14) ab"), AnsiString::npos);
  // "{" that forms no quantifier is a literal.
  EXPECT_EQ(Find("a{x}", "a{x}"), (Found{1, 4}));
  EXPECT_EQ(Find("a{,2}", "a{,2}"), (Found{1, 5}));
  EXPECT_EQ(Find("a{2", "aa{2"), (Found{2, 3}));
  EXPECT_EQ(Find("a*{x}", "aa{x}"), (Found{1, 5}));
  // Bounds.
  EXPECT_EQ(Find("a{2}", "aaa"), (Found{1, 2}));
  EXPECT_EQ(Find("a{2,}", "aaaa"), (Found{1, 4}));
  EXPECT_EQ(Find("ba{0}c", "bc"), (Found{1, 2}));
  // A long literal run is kept whole.
  AnsiString longRun(600, 'q');
  EXPECT_EQ(Find(longRun, "x" + longRun), (Found{2, 600}));
}

TEST(RegexCompile, ZeroByteInLiteralIsKept) {
  AnsiString input("ab\0cd", 5);
  EXPECT_EQ(Find("b\\x00c", input), (Found{2, 3}));
  EXPECT_FALSE(ExecRegex("b\\x00d", input));
  EXPECT_FALSE(ExecRegex("a\\x00", "ab"));
  EXPECT_EQ(Find(AnsiString("b\0c", 3), input), (Found{2, 3}));
  EXPECT_EQ(Find("[\\x00-\\x01]", input), (Found{3, 1}));
  EXPECT_EQ(Find("d$", input), (Found{5, 1}));
}

TEST(RegexCompile, ModifiersInsideTheExpression) {
  EXPECT_EQ(Find("(?i)abc", "xABC"), (Found{2, 3}));
  EXPECT_EQ(Find("a(?i)b", "aB"), (Found{1, 2}));
  // A modifier set inside a group lasts until the group's end.
  EXPECT_FALSE(ExecRegex("((?i)a)b", "AB"));
  EXPECT_TRUE(ExecRegex("((?i)a)b", "Ab"));
  EXPECT_TRUE(ExecRegex("(?-s).(?s).", "x\n"));
  EXPECT_FALSE(ExecRegex("(?-s)x.", "x\n"));
  EXPECT_TRUE(ExecRegex("a(?#comment)b", "ab"));
}

TEST(RegexCompile, ExtendedSyntax) {
  EXPECT_EQ(Find("a b  c # a comment\n d", "abcd", "x"), (Found{1, 4}));
  EXPECT_EQ(Find("a  *", "aaa", "x"), (Found{1, 3}));
  EXPECT_EQ(Find("(ab) + c", "ababc", "x"), (Found{1, 5}));
  EXPECT_EQ(Find("b # one or more\n + c", "abbc", "x"), (Found{2, 3}));
  EXPECT_FALSE(ExecRegex("a b", "ab"));
  EXPECT_EQ(Find("(?x) 1 2 # tail", "x12"), (Found{2, 2}));
}

TEST(RegexCompile, LargeExpressions) {
  auto started = std::chrono::steady_clock::now();
  AnsiString alts;
  for (int i = 0; i < 50000; ++i) alts += "ab|";
  alts += "zz";
  EXPECT_EQ(Find(alts, "xxzz"), (Found{3, 2}));
  AnsiString refs = "(a)";
  for (int i = 0; i < 5000; ++i) refs += "\\1{2}";
  EXPECT_TRUE(ExecRegex(refs, AnsiString(10001, 'a')));
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_LT(seconds, 20.0);
}

}  // namespace

// Substitution, splitting, replacing, quoting and sub-expression listing.
#include <gtest/gtest.h>

#include "Libraries/regex/RegExpr.h"

namespace {

AnsiString Subst(const AnsiString& expr, const AnsiString& input, const AnsiString& tmpl) {
  TRegex r;
  r.SetExpression(expr);
  if (!r.Exec(input)) return "<no match>";
  return r.Substitute(tmpl);
}

TEST(RegexText, SubstituteForms) {
  const char* expr = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)";
  const char* input = "abcdefghijk";
  EXPECT_EQ(Subst(expr, input, "$1-$2"), "a-b");
  EXPECT_EQ(Subst(expr, input, "$10"), "j");        // sub-expression 10
  EXPECT_EQ(Subst(expr, input, "${1}0"), "a0");     // 1, then a literal 0
  EXPECT_EQ(Subst(expr, input, "[$&]"), "[abcdefghijk]");
  EXPECT_EQ(Subst(expr, input, "[${&}]"), "[abcdefghijk]");
  EXPECT_EQ(Subst(expr, input, "[$0]"), "[abcdefghijk]");
  EXPECT_EQ(Subst(expr, input, "[${}]"), "[abcdefghijk]");
  EXPECT_EQ(Subst(expr, input, "$a"), "$a");
  EXPECT_EQ(Subst(expr, input, "x$"), "x$");
  EXPECT_EQ(Subst(expr, input, "${1"), "${1");
  EXPECT_EQ(Subst(expr, input, "$15|$99"), "|");  // no such sub-expressions
  EXPECT_EQ(Subst(expr, input, "\\$1\\\\"), "$1\\");
  EXPECT_EQ(Subst(expr, input, "end\\"), "end\\");
  EXPECT_EQ(Subst(expr, input, ""), "");
  // Any number of digits, without overflow.
  EXPECT_EQ(Subst(expr, input, "$99999999999999999999999999|$0001"), "|a");
  EXPECT_EQ(Subst("(x)?y", "y", "[$1]"), "[]");
}

TEST(RegexText, SubstituteNeedsInput) {
  TRegex r;
  r.SetExpression("a");
  try {
    r.Substitute("$0");
    FAIL();
  } catch (const ERegex& e) {
    EXPECT_EQ(e.ErrorCode, 1005);
  }
}

TEST(RegexText, Split) {
  TRegex r;
  r.SetExpression("\\s*,\\s*");
  std::vector<AnsiString> pieces{"kept"};
  r.Split("a , b,c", pieces);
  EXPECT_EQ(pieces, (std::vector<AnsiString>{"kept", "a", "b", "c"}));
  pieces.clear();
  r.Split("no separators", pieces);
  EXPECT_EQ(pieces, (std::vector<AnsiString>{"no separators"}));
  pieces.clear();
  r.Split(",x,", pieces);
  EXPECT_EQ(pieces, (std::vector<AnsiString>{"", "x", ""}));
}

TEST(RegexText, Replace) {
  TRegex r;
  r.SetExpression("o+");
  EXPECT_EQ(r.Replace("foo boo", "0"), "f0 b0");
  EXPECT_EQ(r.Replace("nxthing", "0"), "nxthing");
  r.SetExpression("(\\w)(\\w)");
  EXPECT_EQ(r.Replace("abcd e", "$2$1", true), "badc e");
  // An expression matching empty inserts before every character and at the end.
  r.SetExpression("x*");
  EXPECT_EQ(r.Replace("ab", "-"), "-a-b-");
  EXPECT_EQ(r.Replace("axb", "-"), "-a--b-");
}

TEST(RegexText, QuoteMetaChars) {
  EXPECT_EQ(QuoteRegexMetaChars("plain text"), "plain text");
  EXPECT_EQ(QuoteRegexMetaChars("."), "\\.");
  EXPECT_EQ(QuoteRegexMetaChars("^$.[()|?+*\\{]}"),
            "\\^\\$\\.\\[\\(\\)\\|\\?\\+\\*\\\\\\{\\]\\}");
  // Quoted text matches itself.
  const AnsiString odd = "a+b (c) [d] {1} $x^ \\";
  EXPECT_TRUE(ExecRegex("^" + QuoteRegexMetaChars(odd) + "$", odd));
}

TEST(RegexText, SubExpressions) {
  std::vector<TRegexSubExpression> list;
  EXPECT_EQ(RegexSubExpressions("a(b(c))d", list), 0);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].Text, "a(b(c))d");
  EXPECT_EQ(list[0].Pos, 1);
  EXPECT_EQ(list[0].Len, 8);
  EXPECT_EQ(list[1].Text, "b(c)");
  EXPECT_EQ(list[1].Pos, 2);
  EXPECT_EQ(list[1].Len, 6);
  EXPECT_EQ(list[2].Text, "c");
  EXPECT_EQ(list[2].Pos, 4);
  EXPECT_EQ(list[2].Len, 3);

  // A group spanning the whole expression is item 0 itself.
  EXPECT_EQ(RegexSubExpressions("(ab)", list), 0);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Text, "ab");

  // Escapes and classes hide parentheses.
  EXPECT_EQ(RegexSubExpressions("\\(a[()]b\\)", list), 0);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(RegexSubExpressions("[]()]", list), 0);
  EXPECT_EQ(list.size(), 1u);

  // Problems.
  EXPECT_EQ(RegexSubExpressions("abc)", list), 4);
  EXPECT_EQ(RegexSubExpressions("(ab", list), -1);
  EXPECT_EQ(RegexSubExpressions("ab[cd", list), -4);
  EXPECT_EQ(RegexSubExpressions("a(?i", list), -1);

  // Comments of the extended syntax, switched by the expression too.
  EXPECT_EQ(RegexSubExpressions("a # (b)\n(c)", list, true), 0);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].Text, "c");
  EXPECT_EQ(RegexSubExpressions("(?x)a # (b)\n(c)", list), 0);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(RegexSubExpressions("a # (b)\n(c)", list), 0);
  EXPECT_EQ(list.size(), 3u);
}

TEST(RegexText, SubExpressionPositionsBeyond65535) {
  AnsiString expr = AnsiString(70000, 'a') + "(" + AnsiString(70000, 'b') + ")";
  std::vector<TRegexSubExpression> list;
  EXPECT_EQ(RegexSubExpressions(expr, list), 0);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Len, 140002);
  EXPECT_EQ(list[1].Pos, 70001);
  EXPECT_EQ(list[1].Len, 70002);
}

}  // namespace

#include <gtest/gtest.h>

#include "app/SearchMatch.h"

namespace {
TSearchInput In(const String& text, uint8_t type, bool cs = false) {
  TSearchInput i;
  i.Text = text;
  i.SearchType = type;
  i.CaseSensitive = cs;
  return i;
}
}  // namespace

TEST(SearchMatch, ExactAndSubstring) {
  TSearchMatcher exact(In(L"abc", stExact));
  EXPECT_TRUE(exact.Matches(L"ABC"));
  EXPECT_TRUE(exact.Matches(L"abc"));
  EXPECT_FALSE(exact.Matches(L"abcd"));
  TSearchMatcher exactCs(In(L"abc", stExact, true));
  EXPECT_FALSE(exactCs.Matches(L"ABC"));
  EXPECT_TRUE(exactCs.Matches(L"abc"));
  TSearchMatcher sub(In(L"oft", stSubstring));
  EXPECT_TRUE(sub.Matches(L"SOFTWARE"));
  EXPECT_FALSE(sub.Matches(L"SOF"));
  TSearchMatcher wide(In(L"\u00e9t\u00e9", stSubstring));
  EXPECT_TRUE(wide.Matches(L"L'\u00c9T\u00c9"));
}

TEST(SearchMatch, RegexWithCharactersOutsideTheAnsiCodePageIsRefused) {
  TSearchMatcher wide(In(L"^\u4e2d.", stRegex));
  String error;
  EXPECT_FALSE(wide.Prepare(error));
  EXPECT_EQ(error, RegexNotAnsiText);
  TSearchMatcher latin(In(L"^\u00e9t\u00e9$", stRegex));
  EXPECT_TRUE(latin.Prepare(error));
  EXPECT_TRUE(latin.Matches(L"\u00c9T\u00c9"));
}

TEST(SearchMatch, EmptyText) {
  TSearchMatcher sub(In(L"", stSubstring));
  EXPECT_FALSE(sub.Matches(L""));
  EXPECT_FALSE(sub.Matches(L"x"));
  TSearchMatcher exact(In(L"", stExact));
  EXPECT_TRUE(exact.Matches(L""));
  EXPECT_FALSE(exact.Matches(L"x"));
  TSearchMatcher other(In(L"x", 7));
  EXPECT_FALSE(other.Matches(L"x"));
}

TEST(SearchMatch, RegularExpressions) {
  TSearchMatcher re(In(L"^Run$", stRegex));
  String err;
  ASSERT_TRUE(re.Prepare(err)) << err;
  EXPECT_TRUE(re.Matches(L"Run"));
  EXPECT_TRUE(re.Matches(L"run"));
  EXPECT_FALSE(re.Matches(L"RunOnce"));
  TSearchMatcher cs(In(L"^Run$", stRegex, true));
  ASSERT_TRUE(cs.Prepare(err));
  EXPECT_FALSE(cs.Matches(L"run"));
  TSearchMatcher bad(In(L"a(b", stRegex));
  EXPECT_FALSE(bad.Prepare(err));
  EXPECT_FALSE(err.empty());
}

// Characters the ANSI code page can't carry never match a character of the
// expression (the "?" the conversion puts in their place, or the letter a
// best fit would give): only what any character matches.
TEST(SearchMatch, RegexNeverMatchesWhatStandsInForACharacterOutsideTheCodePage) {
  String err;
  TSearchMatcher question(In(L"a\\?b", stRegex));
  ASSERT_TRUE(question.Prepare(err)) << err;
  EXPECT_FALSE(question.Matches(L"a\u0416b"));
  EXPECT_TRUE(question.Matches(L"a?b"));
  TSearchMatcher only(In(L"^\\?+$", stRegex));
  ASSERT_TRUE(only.Prepare(err));
  for (const wchar_t* t : {L"\u540d\u524d", L"\u0416\u0416\u0416", L"\u65e5\u672c", L"\U0001F600"})
    EXPECT_FALSE(only.Matches(t)) << WideToAnsi(t);
  EXPECT_TRUE(only.Matches(L"??"));
  TSearchMatcher letter(In(L"^a$", stRegex));
  ASSERT_TRUE(letter.Prepare(err));
  EXPECT_FALSE(letter.Matches(L"\u0101"));  // a best fit would give "a"
  // What any character matches still matches them, and the characters the
  // code page has match as before.
  TSearchMatcher any(In(L"^a.b$", stRegex));
  ASSERT_TRUE(any.Prepare(err));
  EXPECT_TRUE(any.Matches(L"a\u0416b"));
  EXPECT_TRUE(any.Matches(L"A\U0001F600B"));
  TSearchMatcher notQuestion(In(L"^[^?]+$", stRegex));
  ASSERT_TRUE(notQuestion.Prepare(err));
  EXPECT_TRUE(notQuestion.Matches(L"\u540d\u524d"));
  TSearchMatcher around(In(L"x.*y", stRegex));
  ASSERT_TRUE(around.Prepare(err));
  EXPECT_TRUE(around.Matches(L"\u0416x\u0416\u00e9y"));
  // An expression that names a control byte doesn't match a character the
  // code page lacks either.
  TSearchMatcher control(In(L"^[\\x01-\\x02]$", stRegex));
  ASSERT_TRUE(control.Prepare(err)) << err;
  EXPECT_FALSE(control.Matches(L"\u0416"));
  EXPECT_TRUE(control.Matches(L"\x01"));
}

// A character the code page can't carry matches what a character the
// expression doesn't name matches: a negated class (whatever bytes it
// leaves out), ".", "\W", "\D", "\S"; never a literal, a class that lists
// characters or a built-in class of them. The same character is the same
// for a back-reference (in either case unless the search is
// case-sensitive), different ones are not, nor one and a character the
// code page has.
TEST(SearchMatch, RegexMatchesACharacterOutsideTheCodePageAsOneItDoesNotName) {
  const String zhe = L"\u0416\u0416", two = L"\u0416\u042F";
  struct TCase {
    const wchar_t* Expression;
    String Candidate;
    bool Hit;
  };
  std::vector<TCase> cases = {
      {L"^[^\\x00-\\x1F]+$", zhe, true},
      {L"^[^\\x01-\\x7F]+$", zhe, true},
      {L"^[^\\x01-\\x1F\\x7F-\\xFF]+$", zhe, true},
      {L"^[^a-z]$", L"\U0001F600", true},
      {L"^\\W\\D\\S$", L"\u0416\u042F\u4e2d", true},
      {L"^\\w$", L"\u0416", false},
      {L"^[\\x00-\\x1F]+$", zhe, false},
      {L"^[\\x7F-\\xFF]+$", zhe, false},
      {L"^[\\x01-\\xFF]$", L"\u0416", false},
      {L"^\\x80$", L"\u0416", false},
      {L"^(.)\\1$", zhe, true},
      {L"^(.)\\1$", two, false},
      {L"^(.)\\1$", L"\x01\u0416", false},
      {L"^(.).\\1$", L"\u0416\x01\u0416", true},
  };
  // Either case, where the system's case mapping pairs them (builds
  // without the window system know only the code page's own letters).
  if (AnsiUpperCase(L"\u0436") == L"\u0416") cases.push_back({L"^(.)\\1$", L"\u0416\u0436", true});
  String err;
  for (const TCase& c : cases) {
    TSearchMatcher m(In(c.Expression, stRegex));
    ASSERT_TRUE(m.Prepare(err)) << WideToAnsi(c.Expression) << ": " << WideToAnsi(err);
    EXPECT_EQ(m.Matches(c.Candidate), c.Hit) << WideToAnsi(c.Expression);
  }
  TSearchMatcher cs(In(L"^(.)\\1$", stRegex, true));
  ASSERT_TRUE(cs.Prepare(err));
  EXPECT_FALSE(cs.Matches(L"\u0416\u0436"));
  EXPECT_TRUE(cs.Matches(zhe));
}

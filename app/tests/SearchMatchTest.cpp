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

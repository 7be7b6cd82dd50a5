#include <gtest/gtest.h>

#include "extlib/ExDateUtil.h"

TEST(ExDateUtilWin, LongDates) {
  TDateTime D = EncodeDate(2026, 3, 14);
  String Long = FormatLongDate(D);
  EXPECT_NE(Long.find(L"2026"), String::npos);
  EXPECT_NE(Long.find(L"14"), String::npos);
  EXPECT_FALSE(Long.empty() || Long.back() == L' ');
  EXPECT_EQ(FormatLongDateTime(NullDate), L"");
  String WithTime = FormatLongDateTime(D + 0.5);
  EXPECT_EQ(WithTime.rfind(Long, 0), 0u);
  EXPECT_GT(WithTime.size(), Long.size() + 1);
}

#include <gtest/gtest.h>

#include <cmath>

#include "extlib/ExDateUtil.h"

namespace {

// Sets the date format and separator for one test and restores them.
class DateFormatScope {
 public:
  DateFormatScope(const String& Format, wchar_t Sep) : OldFormat(ShortDateFormat), OldSep(DateSeparator) {
    ShortDateFormat = Format;
    DateSeparator = Sep;
  }
  ~DateFormatScope() {
    ShortDateFormat = OldFormat;
    DateSeparator = OldSep;
  }

 private:
  String OldFormat;
  wchar_t OldSep;
};

}  // namespace

TEST(ExDateUtil, MonthArithmetic) {
  TDateTime Jan31 = EncodeDate(2024, 1, 31) + 0.25;
  TDateTime R = IncMonth(Jan31, 1);
  EXPECT_EQ(ExtractMonth(R), 2);
  EXPECT_EQ(ExtractDay(R), 29);
  EXPECT_DOUBLE_EQ(R - std::trunc(R), 0.25);
  EXPECT_EQ(ExtractDay(IncMonth(EncodeDate(2023, 1, 31), 1)), 28);
  R = IncMonth(Jan31, -13);
  EXPECT_EQ(ExtractYear(R), 2022);
  EXPECT_EQ(ExtractMonth(R), 12);
  EXPECT_EQ(ExtractDay(R), 31);
  EXPECT_EQ(ExtractYear(IncYear(EncodeDate(2024, 2, 29), 1)), 2025);
  EXPECT_EQ(ExtractDay(IncYear(EncodeDate(2024, 2, 29), 1)), 28);
  EXPECT_EQ(IncMonth(EncodeDate(2024, 5, 15), 24), EncodeDate(2026, 5, 15));
  EXPECT_THROW(IncYear(EncodeDate(9999, 1, 1), 1), EConvertError);
  EXPECT_EQ(DaysPerMonth(2000, 2), 29);
  EXPECT_EQ(DaysPerMonth(1900, 2), 28);
  EXPECT_EQ(DaysPerMonth(2001, 13), 0);
}

TEST(ExDateUtil, Differences) {
  int D, M, Y;
  DateDiff(EncodeDate(2001, 1, 31), EncodeDate(2001, 3, 1), D, M, Y);
  EXPECT_EQ(Y, 0);
  EXPECT_EQ(M, 1);
  EXPECT_EQ(D, 1);
  DateDiff(EncodeDate(2001, 3, 1), EncodeDate(2001, 1, 31), D, M, Y);  // order does not matter
  EXPECT_EQ(M, 1);
  DateDiff(EncodeDate(2000, 12, 20), EncodeDate(2001, 1, 5), D, M, Y);
  EXPECT_EQ(Y, 0);
  EXPECT_EQ(M, 0);
  EXPECT_EQ(D, 16);
  EXPECT_DOUBLE_EQ(MonthsBetween(EncodeDate(2020, 5, 1), EncodeDate(2020, 5, 11)), 0.5);
  EXPECT_DOUBLE_EQ(MonthsBetween(EncodeDate(2020, 5, 1), EncodeDate(2021, 5, 2)), 12.0);
  EXPECT_EQ(DaysInPeriod(EncodeDate(2020, 1, 10), EncodeDate(2020, 1, 1)), 10);
  EXPECT_EQ(DaysInPeriod(EncodeDate(2020, 1, 10), 1e300), 0);
  EXPECT_EQ(DaysBetween(EncodeDate(2020, 1, 1), EncodeDate(2020, 1, 10)), 10);
  EXPECT_EQ(DaysBetween(EncodeDate(2020, 1, 10), EncodeDate(2020, 1, 1)), 0);
  EXPECT_TRUE(ValidDate(EncodeDate(2020, 2, 29)));
  EXPECT_FALSE(ValidDate(std::nan("")));
}

TEST(ExDateUtil, TimeArithmetic) {
  TDateTime D = EncodeDate(2020, 1, 1);
  EXPECT_NEAR(IncHour(D, 30), D + 1.25, 1e-9);
  EXPECT_NEAR(IncMinute(D, 90), D + 1.5 / 24, 1e-9);
  EXPECT_NEAR(IncSecond(D, -3600), D - 1.0 / 24, 1e-9);
  EXPECT_NEAR(IncMSec(0.5, 1000), 0.5 + 1.0 / 86400, 1e-12);
  EXPECT_NEAR(IncHour(0.25, -12), 0.75, 1e-9);  // a time of day wraps round
  EXPECT_EQ(CutTime(D + 0.7), D);
}

TEST(ExDateUtil, OrdersAndFormats) {
  EXPECT_EQ(GetDateOrder(L"dd/MM/yyyy"), doDMY);
  EXPECT_EQ(GetDateOrder(L"M/d/yy"), doMDY);
  EXPECT_EQ(GetDateOrder(L"yyyy-MM-dd"), doYMD);
  EXPECT_EQ(GetDateOrder(L"ee/mm"), doYMD);
  EXPECT_EQ(GetDateOrder(L"//"), doDMY);
  {
    DateFormatScope F(L"M/d/yyyy", L'/');
    EXPECT_EQ(DefDateFormat(true), L"MM/DD/YYYY");
    EXPECT_EQ(DefDateFormat(false), L"MM/DD/YY");
    EXPECT_EQ(DefDateMask(L'_', true), L"!99/99/9999;1;_");
    ExDateUtilInitialize();
    EXPECT_TRUE(FourDigitYear);
  }
  {
    DateFormatScope F(L"yy.MM.dd", L'.');
    EXPECT_EQ(DefDateFormat(true), L"YYYY/MM/DD");
    EXPECT_EQ(DefDateMask(L' ', true), L"!9999/99/99;1; ");
    EXPECT_EQ(DefDateMask(L' ', false), L"!99/99/99;1; ");
    ExDateUtilInitialize();
    EXPECT_FALSE(FourDigitYear);
  }
  ExDateUtilInitialize();
}

TEST(ExDateUtil, ExpandTwoDigitYears) {
  int C = CurrentYear() - CenturyOffset;
  EXPECT_EQ(ExpandYear(1999), 1999);
  for (int Y = 0; Y < 100; ++Y) {
    int E = ExpandYear(Y);
    EXPECT_EQ(E % 100, Y);
    EXPECT_GE(E, C);
    EXPECT_LT(E, C + 100);
  }
}

TEST(ExDateUtil, ParsesDates) {
  DateFormatScope F(L"dd/MM/yyyy", L'/');
  int Year = CurrentYear();
  EXPECT_EQ(StrToDateFmt(ShortDateFormat, L"5/11"), EncodeDate(Year, 11, 5));
  EXPECT_EQ(StrToDateFmt(ShortDateFormat, L"05/11/26"), EncodeDate(ExpandYear(26), 11, 5));
  EXPECT_EQ(StrToDateFmt(ShortDateFormat, L"05/11/2026"), EncodeDate(2026, 11, 5));
  EXPECT_EQ(StrToDateFmt(ShortDateFormat, L" 5 / 11 / 2026 /"), EncodeDate(2026, 11, 5));
  EXPECT_EQ(StrToDateFmt(ShortDateFormat, L""), NullDate);
  EXPECT_EQ(StrToDateDef(L"31/02/2020", EncodeDate(2000, 1, 1) + 0.5), EncodeDate(2000, 1, 1));
  EXPECT_EQ(StrToDateFmtDef(L"MM/dd/yyyy", L"02/29/2024", 0), EncodeDate(2024, 2, 29));
  EXPECT_EQ(StrToDateFmtDef(L"yyyy/MM/dd", L"2024/3/4", 0), EncodeDate(2024, 3, 4));
  try {
    StrToDateFmt(ShortDateFormat, L"x1/2");
    FAIL() << "no exception";
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), L"'x1/2' is not a valid date");
  }
  EXPECT_EQ(StrToDateFmtDef(ShortDateFormat, L"1/2/3/4", 7.5), 7.0);
  EXPECT_EQ(StrToDateFmtDef(ShortDateFormat, L"99999999999999999999/1/1", 7), 7.0);
}

TEST(ExDateUtil, ParsesMonthNames) {
  DateFormatScope F(L"dd/MM/yyyy", L'/');
  String Old = LongMonthNames[2];
  LongMonthNames[2] = L"March";
  EXPECT_EQ(MonthFromName(L"mar", 3), 3);
  EXPECT_EQ(MonthFromName(L"MARCH", 5), 3);
  EXPECT_EQ(MonthFromName(L"", 3), 0);
  EXPECT_EQ(StrToDateFmt(L"dd-MMM-yyyy", L"04-Mar-2025"), EncodeDate(2025, 3, 4));
  EXPECT_EQ(StrToDateFmtDef(L"dd-MMM-yyyy", L"04-Xyz-2025", 1), 1.0);
  LongMonthNames[2] = Old;
}

TEST(ExDateUtil, MaxMin) {
  EXPECT_EQ(MaxInteger({3, 9, 9}), 9);
  EXPECT_EQ(MinInteger({3, 9, -2}), -2);
  EXPECT_EQ(MaxInt64({INT64_MIN, 5}), 5);
  EXPECT_EQ(MinDateTime({2.5, 1.5, 3.0}), 1.5);
  EXPECT_EQ(MaxFloat({1.0L, 2.0L}), 2.0L);
  EXPECT_THROW(MaxInteger({}), EInvalidOperation);
  int A = 1, B = 2;
  SwapInt(A, B);
  EXPECT_EQ(A, 2);
  EXPECT_EQ(Max(3, 4), 4);
  EXPECT_EQ(Min(3, 4), 3);
}

TEST(ExDateUtil, MaxOfAndMinOfVariants) {
  // Among equal values the first wins (1 and 1.0 are equal numbers).
  Variant Max = MaxOf({Variant(1), Variant(3.5), Variant(int64_t(3)), Variant(L"2"), Variant(3.5)});
  EXPECT_EQ(Max.VarType(), varDouble);
  EXPECT_EQ(Max.AsDouble(), 3.5);
  Variant Min = MinOf({Variant(1), Variant(1.0), Variant(L"7")});
  EXPECT_EQ(Min.VarType(), varInteger);
  // A text that is a number compares as one against a number ("10" > 9).
  EXPECT_EQ(MaxOf({Variant(9), Variant(L"10")}).AsString(), L"10");
  // Texts compare as texts ("10" < "9"); an empty value is the smallest.
  EXPECT_EQ(MaxOf({Variant(L"10"), Variant(L"9")}).AsString(), L"9");
  EXPECT_TRUE(MinOf({Variant(L"a"), Variant(), Variant(0)}).IsEmpty());
  EXPECT_THROW(MaxOf({}), EInvalidOperation);
}

TEST(ExDateUtil, FarEastScanSkipsTheDayName) {
  DateFormatScope F(L"yyyy/MM/dd", L'/');
  bool Old = DateScanFarEast;
  DateScanFarEast = true;
  EXPECT_EQ(StrToDateFmt(L"yyyy/MM/dd ddd", L"2026/3/5 Thu"), EncodeDate(2026, 3, 5));
  EXPECT_EQ(StrToDateFmt(L"yyyy/MM/dd dddd", L"2026/3/5 thursday "), EncodeDate(2026, 3, 5));
  // Only a day name is skipped: another word, or a name with more after it, fails.
  EXPECT_EQ(StrToDateFmtDef(L"yyyy/MM/dd ddd", L"2026/3/5 Foo", 0), 0.0);
  EXPECT_EQ(StrToDateFmtDef(L"yyyy/MM/dd ddd", L"2026/3/5 Thursdays", 0), 0.0);
  EXPECT_EQ(StrToDateFmtDef(L"yyyy/MM/dd ddd", L"2026/3/5 Thu 7", 0), 0.0);
  EXPECT_EQ(StrToDateFmtDef(L"yyyy/MM/dd", L"2026/3/5 Thu", 0), 0.0);  // no "ddd": the name is left over
  DateScanFarEast = false;
  EXPECT_EQ(StrToDateFmtDef(L"yyyy/MM/dd ddd", L"2026/3/5 Thu", 0), 0.0);
  DateScanFarEast = Old;
}

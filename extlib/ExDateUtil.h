// Calendar arithmetic, the tolerant date-text parser, default date formats
// and the small swap / maximum / minimum helpers of the extended library.
// Dates are day counts from 1899-12-30 with the time as the fraction.
// Portable except the long-date formatting (Windows only).
#pragma once

#include <cstdint>
#include <vector>

#include "classlib/SysUtils.h"
#include "classlib/Variants.h"

enum TDateOrder { doMDY, doDMY, doYMD };
enum TDayOfWeekName { Sun, Mon, Tue, Wed, Thu, Fri, Sat };

extern uint8_t CenturyOffset;    // two-digit years reach this far back from now
extern const TDateTime NullDate;  // no date
extern bool FourDigitYear;       // ShortDateFormat writes four-digit years
// The free date scan skips the day-of-week name a "ddd" format writes
// after the date (set at start-up on systems with a Far-East locale).
extern bool DateScanFarEast;

int DaysPerMonth(int AYear, int AMonth);
TDateTime FirstDayOfNextMonth();
TDateTime FirstDayOfPrevMonth();
TDateTime LastDayOfPrevMonth();
int ExtractDay(TDateTime ADate);
int ExtractMonth(TDateTime ADate);
int ExtractYear(TDateTime ADate);
// Raises EConvertError when the result leaves the years 1..9999.
TDateTime IncDate(TDateTime ADate, int Days, int Months, int Years);
TDateTime IncDay(TDateTime ADate, int Delta);
TDateTime IncMonth(TDateTime ADate, int Delta);
TDateTime IncYear(TDateTime ADate, int Delta);
void DateDiff(TDateTime Date1, TDateTime Date2, int& Days, int& Months, int& Years);
double MonthsBetween(TDateTime Date1, TDateTime Date2);
bool ValidDate(TDateTime ADate);
int DaysInPeriod(TDateTime Date1, TDateTime Date2);
int DaysBetween(TDateTime Date1, TDateTime Date2);
TDateTime IncTime(TDateTime ATime, int Hours, int Minutes, int Seconds, int MSecs);
TDateTime IncHour(TDateTime ATime, int Delta);
TDateTime IncMinute(TDateTime ATime, int Delta);
TDateTime IncSecond(TDateTime ATime, int Delta);
TDateTime IncMSec(TDateTime ATime, int Delta);
TDateTime CutTime(TDateTime ADate);
int CurrentYear();
// Two-digit years into the century window set by CenturyOffset.
int ExpandYear(int Year);

TDateOrder GetDateOrder(const String& DateFormat);
int MonthFromName(const String& S, int MaxLen);
TDateTime StrToDateFmt(const String& DateFormat, const String& S);
TDateTime StrToDateDef(const String& S, TDateTime Default);
TDateTime StrToDateFmtDef(const String& DateFormat, const String& S, TDateTime Default);
// The parse itself: false when S is no date.
bool TryStrToDateFmt(const String& DateFormat, const String& S, TDateTime& Date);
String DefDateFormat(bool FourDigitYear);
String DefDateMask(wchar_t BlanksChar, bool FourDigitYear);

#ifdef _WIN32
String FormatLongDate(TDateTime Value);
String FormatLongDateTime(TDateTime Value);
#endif

// Swap, maximum and minimum. The array forms need at least one element
// (EInvalidOperation otherwise); among equal elements the first wins.
void SwapInt(int& Int1, int& Int2);
inline void SwapLong(int32_t& Int1, int32_t& Int2) { SwapInt(Int1, Int2); }
void SwapInt64(int64_t& Int1, int64_t& Int2);
int Max(int A, int B);
int Min(int A, int B);
int MaxInteger(const std::vector<int>& Values);
int MinInteger(const std::vector<int>& Values);
int64_t MaxInt64(const std::vector<int64_t>& Values);
int64_t MinInt64(const std::vector<int64_t>& Values);
long double MaxFloat(const std::vector<long double>& Values);
long double MinFloat(const std::vector<long double>& Values);
TDateTime MaxDateTime(const std::vector<TDateTime>& Values);
TDateTime MinDateTime(const std::vector<TDateTime>& Values);
// Variants: numbers (and texts that are numbers, against a number)
// numerically, other texts as text; an empty value is the smallest.
// Returns -1, 0 or 1.
int VarCompareValue(const Variant& A, const Variant& B);
Variant MaxOf(const std::vector<Variant>& Values);
Variant MinOf(const std::vector<Variant>& Values);

// Start-up table entries: the initialisation reads FourDigitYear.
void ExDateUtilInitialize();
void ExDateUtilFinalize();

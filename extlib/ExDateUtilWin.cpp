// Long-date formatting through the system's locale.
#include <windows.h>

#include <cmath>

#include "extlib/ExDateUtil.h"

String FormatLongDate(TDateTime Value) {
  int Y, M, D;
  DecodeDate(Value, Y, M, D);
  SYSTEMTIME T = {};
  T.wYear = static_cast<WORD>(Y);
  T.wMonth = static_cast<WORD>(M);
  T.wDay = static_cast<WORD>(D);
  T.wDayOfWeek = static_cast<WORD>(DayOfWeek(Value) - 1);
  wchar_t Buffer[1024];
  int N = GetDateFormatW(GetThreadLocale(), DATE_LONGDATE, &T, nullptr, Buffer, 1023);
  String R = N > 0 ? String(Buffer, static_cast<size_t>(N - 1)) : String();
  while (!R.empty() && (R.back() == L' ' || R.back() == L'\0')) R.pop_back();
  return R;
}

String FormatLongDateTime(TDateTime Value) {
  if (Value == NullDate) return String();
  return FormatLongDate(Value) + FormatDateTime(L" tt", Value);
}

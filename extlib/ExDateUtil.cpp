// Portable date arithmetic and date-text parsing.
#include "extlib/ExDateUtil.h"

#include <cmath>
#include <cwctype>
#include <functional>

uint8_t CenturyOffset = 60;
const TDateTime NullDate = 0.0;
bool FourDigitYear = true;
bool DateScanFarEast = false;

namespace {

const int MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

String Upper(const String& S) {
  String R = S;
  for (wchar_t& C : R) C = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(C)));
  return R;
}

void Decode(TDateTime D, int& Y, int& M, int& Dd) { DecodeDate(D, Y, M, Dd); }

template <typename T, typename Less = std::less<T>>
T Extreme(const std::vector<T>& Values, bool Larger, Less L = Less()) {
  if (Values.empty()) throw EInvalidOperation(L"No values to compare");
  size_t R = 0;
  for (size_t I = 1; I < Values.size(); ++I)
    if (Larger ? L(Values[R], Values[I]) : L(Values[I], Values[R])) R = I;
  return Values[R];
}

bool IsNumberLike(const Variant& V) { return V.VarType() != varString && !V.IsEmpty(); }

}  // namespace

int DaysPerMonth(int AYear, int AMonth) {
  if (AMonth < 1 || AMonth > 12) return 0;
  int R = MonthDays[AMonth - 1];
  if (AMonth == 2 && IsLeapYear(AYear)) ++R;
  return R;
}

TDateTime FirstDayOfNextMonth() {
  int Y, M, D;
  Decode(Date(), Y, M, D);
  if (++M > 12) {
    M = 1;
    ++Y;
  }
  return EncodeDate(Y, M, 1);
}

TDateTime FirstDayOfPrevMonth() {
  int Y, M, D;
  Decode(Date(), Y, M, D);
  if (--M < 1) {
    M = 12;
    --Y;
  }
  return EncodeDate(Y, M, 1);
}

TDateTime LastDayOfPrevMonth() {
  int Y, M, D;
  Decode(Date(), Y, M, D);
  return EncodeDate(Y, M, 1) - 1;
}

int ExtractDay(TDateTime ADate) {
  int Y, M, D;
  Decode(ADate, Y, M, D);
  return D;
}

int ExtractMonth(TDateTime ADate) {
  int Y, M, D;
  Decode(ADate, Y, M, D);
  return M;
}

int ExtractYear(TDateTime ADate) {
  int Y, M, D;
  Decode(ADate, Y, M, D);
  return Y;
}

TDateTime IncDate(TDateTime ADate, int Days, int Months, int Years) {
  int Y, M, D;
  Decode(ADate, Y, M, D);
  Y += Years + Months / 12;
  M += Months % 12;
  if (M < 1) {
    M += 12;
    --Y;
  } else if (M > 12) {
    M -= 12;
    ++Y;
  }
  int Len = DaysPerMonth(Y, M);
  if (D > Len) D = Len;
  double Fraction = ADate - std::trunc(ADate);
  return EncodeDate(Y, M, D) + Days + Fraction;
}

TDateTime IncDay(TDateTime ADate, int Delta) { return ADate + Delta; }
TDateTime IncMonth(TDateTime ADate, int Delta) { return IncDate(ADate, 0, Delta, 0); }
TDateTime IncYear(TDateTime ADate, int Delta) { return IncDate(ADate, 0, 0, Delta); }

void DateDiff(TDateTime Date1, TDateTime Date2, int& Days, int& Months, int& Years) {
  if (Date1 > Date2) std::swap(Date1, Date2);
  int Y1, M1, D1, Y2, M2, D2;
  Decode(Date1, Y1, M1, D1);
  Decode(Date2, Y2, M2, D2);
  Years = Y2 - Y1;
  Months = 0;
  Days = 0;
  if (M2 < M1) {
    Months += 12;
    --Years;
  }
  Months += M2 - M1;
  if (D2 < D1) {
    Days += DaysPerMonth(Y1, M1);
    if (Months == 0) {
      Months = 11;
      --Years;
    } else {
      --Months;
    }
  }
  Days += D2 - D1;
}

double MonthsBetween(TDateTime Date1, TDateTime Date2) {
  int D, M, Y;
  DateDiff(Date1, Date2, D, M, Y);
  double R = Y * 12 + M;
  if (D >= 21)
    R += 1.0;
  else if (D >= 15)
    R += 0.75;
  else if (D >= 7)
    R += 0.5;
  else if (D >= 2)
    R += 0.25;
  return R;
}

bool ValidDate(TDateTime ADate) {
  if (!std::isfinite(ADate) || std::fabs(ADate) > 3.0e6) return false;
  int Y, M, D;
  Decode(ADate, Y, M, D);
  return Y >= 1 && Y <= 9999 && M >= 1 && M <= 12 && D >= 1 && D <= DaysPerMonth(Y, M);
}

int DaysInPeriod(TDateTime Date1, TDateTime Date2) {
  if (!ValidDate(Date1) || !ValidDate(Date2)) return 0;
  return static_cast<int>(std::fabs(std::trunc(Date1) - std::trunc(Date2))) + 1;
}

int DaysBetween(TDateTime Date1, TDateTime Date2) {
  int64_t R = static_cast<int64_t>(std::trunc(Date2)) - static_cast<int64_t>(std::trunc(Date1)) + 1;
  int32_t Low = static_cast<int32_t>(static_cast<uint32_t>(R));
  return Low > 0 ? Low : 0;
}

TDateTime IncTime(TDateTime ATime, int Hours, int Minutes, int Seconds, int MSecs) {
  const double MSecsPerDay = 86400000.0;
  double R = ATime + Hours / 24 +
             ((Hours % 24) * 3600000.0 + Minutes * 60000.0 + Seconds * 1000.0 + MSecs) / MSecsPerDay;
  if (R < 0) R += 1;
  return R;
}

TDateTime IncHour(TDateTime ATime, int Delta) { return IncTime(ATime, Delta, 0, 0, 0); }
TDateTime IncMinute(TDateTime ATime, int Delta) { return IncTime(ATime, 0, Delta, 0, 0); }
TDateTime IncSecond(TDateTime ATime, int Delta) { return IncTime(ATime, 0, 0, Delta, 0); }
TDateTime IncMSec(TDateTime ATime, int Delta) { return IncTime(ATime, 0, 0, 0, Delta); }
TDateTime CutTime(TDateTime ADate) { return std::trunc(ADate); }

int CurrentYear() { return ExtractYear(Now()); }

int ExpandYear(int Year) {
  if (Year >= 100) return Year;
  int C = CurrentYear() - CenturyOffset;
  Year += (C / 100) * 100;
  if (CenturyOffset != 0 && C > Year) Year += 100;
  return Year;
}

TDateOrder GetDateOrder(const String& DateFormat) {
  for (wchar_t C : DateFormat) {
    switch (std::towupper(static_cast<wint_t>(C))) {
      case L'D': return doDMY;
      case L'E':
      case L'Y': return doYMD;
      case L'M': return doMDY;
      default: break;
    }
  }
  return doDMY;
}

int MonthFromName(const String& S, int MaxLen) {
  if (S.empty() || MaxLen < 1) return 0;
  String U = Upper(S);
  for (int I = 0; I < 12; ++I) {
    String Name = Upper(LongMonthNames[I]);
    if (Name.empty()) continue;
    if (U == Name.substr(0, static_cast<size_t>(MaxLen))) return I + 1;
  }
  return 0;
}

namespace {

// The characters of S at the positions of the first run of Letter in
// UFormat, blanks skipped; Found false when the format has no such letter.
String MaskedField(const String& UFormat, const String& S, wchar_t Letter, bool& Found) {
  String R;
  size_t P = UFormat.find(Letter);
  Found = P != String::npos;
  if (!Found) return R;
  for (; P < UFormat.size() && UFormat[P] == Letter; ++P)
    if (P < S.size() && S[P] != L' ' && R.size() < 20) R += S[P];
  return R;
}

// -1 for an empty or non-numeric field.
int FieldNumber(const String& F) {
  if (F.empty() || F.size() > 9) return -1;
  int V = 0;
  for (wchar_t C : F) {
    if (C < L'0' || C > L'9') return -1;
    V = V * 10 + (C - L'0');
  }
  return V;
}

bool ValidParts(int Y, int M, int D) {
  return Y >= 1 && Y <= 9999 && M >= 1 && M <= 12 && D >= 1 && D <= DaysPerMonth(Y, M);
}

void SkipBlanks(const String& S, size_t& P) {
  while (P < S.size() && S[P] == L' ') ++P;
}

bool ScanNumber(const String& S, size_t& P, int& N) {
  SkipBlanks(S, P);
  size_t Start = P;
  N = 0;
  while (P < S.size() && S[P] >= L'0' && S[P] <= L'9' && N < 1000) N = N * 10 + (S[P++] - L'0');
  return P > Start;
}

bool ScanSeparator(const String& S, size_t& P) {
  SkipBlanks(S, P);
  if (P < S.size() && S[P] == DateSeparator) {
    ++P;
    return true;
  }
  return false;
}

// Skips a short or long day name (either case) at P, the longest that fits.
void SkipDayName(const String& S, size_t& P) {
  size_t Best = 0;
  for (const String* Names : {ShortDayNames, LongDayNames})
    for (int I = 0; I < 7; ++I) {
      const String& N = Names[I];
      if (N.empty() || N.size() <= Best || P + N.size() > S.size()) continue;
      if (Upper(S.substr(P, N.size())) == Upper(N)) Best = N.size();
    }
  P += Best;
}

bool FreeScan(const String& DateFormat, const String& S, TDateTime& Out) {
  size_t P = 0;
  if (!ShortDateFormat.empty() && (ShortDateFormat[0] == L'g' || ShortDateFormat[0] == L'G')) {
    SkipBlanks(S, P);
    while (P < S.size() && S[P] != L' ' && (S[P] < L'0' || S[P] > L'9')) ++P;  // era text
  }
  int N1, N2, N3 = 0, Y, M, D;
  if (!ScanNumber(S, P, N1) || !ScanSeparator(S, P) || !ScanNumber(S, P, N2)) return false;
  TDateOrder Order = GetDateOrder(DateFormat);
  size_t Mark = P;
  if (ScanSeparator(S, P) && ScanNumber(S, P, N3)) {
    switch (Order) {
      case doMDY: M = N1; D = N2; Y = N3; break;
      case doDMY: D = N1; M = N2; Y = N3; break;
      default: Y = N1; M = N2; D = N3; break;
    }
    Y = ExpandYear(Y);
  } else {
    P = Mark;
    Y = CurrentYear();
    if (Order == doDMY) {
      D = N1;
      M = N2;
    } else {
      M = N1;
      D = N2;
    }
  }
  ScanSeparator(S, P);  // one trailing separator
  SkipBlanks(S, P);
  if (DateScanFarEast && Upper(DateFormat).find(L"DDD") != String::npos) {
    // The day-of-week name such a format writes after the date; any other
    // word is left over and fails the scan.
    SkipDayName(S, P);
    SkipBlanks(S, P);
  }
  if (P != S.size() || !ValidParts(Y, M, D)) return false;
  return TryEncodeDate(Y, M, D, Out);
}

}  // namespace

bool TryStrToDateFmt(const String& DateFormat, const String& S, TDateTime& Date) {
  if (S.empty()) {
    Date = NullDate;
    return true;
  }
  int D = 1, M = 0, Y = CurrentYear();
  if (S.size() <= DateFormat.size()) {
    String UF = Upper(DateFormat);
    bool Found;
    if (UF.find(L"MMM") != String::npos) {
      String F = MaskedField(UF, S, L'M', Found);
      M = F.empty() ? -1 : MonthFromName(F, static_cast<int>(F.size()));
      if (M == 0) M = -1;
    }
    if (M == 0) {
      String F = MaskedField(UF, S, L'M', Found);
      if (Found) M = FieldNumber(F);
    }
    String FD = MaskedField(UF, S, L'D', Found);
    if (Found) D = FieldNumber(FD);
    String FY = MaskedField(UF, S, L'Y', Found);
    if (Found) {
      Y = FieldNumber(FY);
      if (Y >= 0) Y = ExpandYear(Y);
    }
  }
  if (ValidParts(Y, M, D) && TryEncodeDate(Y, M, D, Date)) return true;
  return FreeScan(DateFormat, S, Date);
}

TDateTime StrToDateFmt(const String& DateFormat, const String& S) {
  TDateTime R;
  if (!TryStrToDateFmt(DateFormat, S, R)) throw EConvertError(L"'" + S + L"' is not a valid date");
  return R;
}

TDateTime StrToDateDef(const String& S, TDateTime Default) {
  return StrToDateFmtDef(ShortDateFormat, S, Default);
}

TDateTime StrToDateFmtDef(const String& DateFormat, const String& S, TDateTime Default) {
  TDateTime R;
  return TryStrToDateFmt(DateFormat, S, R) ? R : std::trunc(Default);
}

String DefDateFormat(bool FourDigits) {
  switch (GetDateOrder(ShortDateFormat)) {
    case doMDY: return FourDigits ? L"MM/DD/YYYY" : L"MM/DD/YY";
    case doDMY: return FourDigits ? L"DD/MM/YYYY" : L"DD/MM/YY";
    default: return FourDigits ? L"YYYY/MM/DD" : L"YY/MM/DD";
  }
}

String DefDateMask(wchar_t BlanksChar, bool FourDigits) {
  String R;
  if (!FourDigits)
    R = L"!99/99/99;1;";
  else if (GetDateOrder(ShortDateFormat) == doYMD)
    R = L"!9999/99/99;1;";
  else
    R = L"!99/99/9999;1;";
  return R + BlanksChar;
}

void SwapInt(int& Int1, int& Int2) { std::swap(Int1, Int2); }
void SwapInt64(int64_t& Int1, int64_t& Int2) { std::swap(Int1, Int2); }
int Max(int A, int B) { return A > B ? A : B; }
int Min(int A, int B) { return A < B ? A : B; }
int MaxInteger(const std::vector<int>& V) { return Extreme(V, true); }
int MinInteger(const std::vector<int>& V) { return Extreme(V, false); }
int64_t MaxInt64(const std::vector<int64_t>& V) { return Extreme(V, true); }
int64_t MinInt64(const std::vector<int64_t>& V) { return Extreme(V, false); }
long double MaxFloat(const std::vector<long double>& V) { return Extreme(V, true); }
long double MinFloat(const std::vector<long double>& V) { return Extreme(V, false); }
TDateTime MaxDateTime(const std::vector<TDateTime>& V) { return Extreme(V, true); }
TDateTime MinDateTime(const std::vector<TDateTime>& V) { return Extreme(V, false); }

int VarCompareValue(const Variant& A, const Variant& B) {
  if (A.IsEmpty() || B.IsEmpty()) return int(B.IsEmpty()) - int(A.IsEmpty());
  double X = 0, Y = 0;
  bool Numbers = IsNumberLike(A) && IsNumberLike(B);
  if (Numbers) {
    X = A.AsDouble();
    Y = B.AsDouble();
  } else if (IsNumberLike(A) || IsNumberLike(B)) {
    // A number against a text: as numbers when the text is one.
    Numbers = TryStrToFloat(A.AsString(), X) && TryStrToFloat(B.AsString(), Y);
  }
  if (Numbers) return int(X > Y) - int(X < Y);
  int C = CompareStr(A.AsString(), B.AsString());
  return int(C > 0) - int(C < 0);
}

Variant MaxOf(const std::vector<Variant>& Values) {
  return Extreme(Values, true, [](const Variant& A, const Variant& B) { return VarCompareValue(A, B) < 0; });
}
Variant MinOf(const std::vector<Variant>& Values) {
  return Extreme(Values, false, [](const Variant& A, const Variant& B) { return VarCompareValue(A, B) < 0; });
}

void ExDateUtilInitialize() {
  FourDigitYear = Upper(ShortDateFormat).find(L"YYYY") != String::npos;
#ifdef _WIN32
  DateScanFarEast = GetSystemMetrics(SM_DBCSENABLED) != 0;
#endif
}
void ExDateUtilFinalize() {}

#include "toolbars/skin/SkinSpinValue.h"

#include <cmath>
#include <cstdint>

namespace {
bool IsStop(wchar_t C, bool Hex) {
  if (C <= 32) return true;
  if (C >= L'*' && C <= L'9') return true;
  if (C == L'^') return true;
  return Hex && C >= L'A' && C <= L'F';
}
bool IsDigit(wchar_t C) { return C >= L'0' && C <= L'9'; }
bool IsHexDigit(wchar_t C) { return IsDigit(C) || (C >= L'A' && C <= L'F'); }
bool IsBlank(wchar_t C) { return C == L' ' || C == L'\t'; }

struct Scanner {
  const String& S;
  size_t P = 0;
  bool End() const { return P >= S.size(); }
  wchar_t Peek(size_t Ahead = 0) const { return P + Ahead < S.size() ? S[P + Ahead] : L'\0'; }
  void SkipBlanks() {
    while (!End() && IsBlank(S[P])) ++P;
  }
  String Unit(bool Hex) {
    size_t start = P;
    while (!End() && !IsStop(S[P], Hex)) ++P;
    return S.substr(start, P - start);
  }
};

bool ReadNumber(Scanner& Sc, TSEValueType T, double& V) {
  V = 0;
  if (T == evtHex) {
    if (!IsHexDigit(Sc.Peek())) return false;
    double v = 0;
    while (IsHexDigit(Sc.Peek())) {
      wchar_t c = Sc.S[Sc.P++];
      v = v * 16 + (IsDigit(c) ? c - L'0' : c - L'A' + 10);
    }
    V = v;
    return true;
  }
  if (T == evtInteger) {
    if (!IsDigit(Sc.Peek())) return false;
    double v = 0;
    while (IsDigit(Sc.Peek())) v = v * 10 + (Sc.S[Sc.P++] - L'0');
    V = v;
    return true;
  }
  bool any = false;
  double v = 0;
  while (IsDigit(Sc.Peek())) {
    v = v * 10 + (Sc.S[Sc.P++] - L'0');
    any = true;
  }
  if (Sc.Peek() == DecimalSeparator) {  // as the item's own text is written
    ++Sc.P;
    double frac = 0, scale = 1;
    while (IsDigit(Sc.Peek())) {
      frac = frac * 10 + (Sc.S[Sc.P++] - L'0');
      scale *= 10;
      any = true;
    }
    v += frac / scale;
  }
  if (!any) return false;
  wchar_t e = Sc.Peek();
  if ((e == L'E' || e == L'e') && (Sc.Peek(1) == L'+' || Sc.Peek(1) == L'-' || IsDigit(Sc.Peek(1)))) {
    ++Sc.P;
    int sign = 1;
    if (Sc.Peek() == L'+' || Sc.Peek() == L'-') sign = Sc.S[Sc.P++] == L'-' ? -1 : 1;
    if (!IsDigit(Sc.Peek())) return false;
    int64_t ex = 0;
    while (IsDigit(Sc.Peek())) {
      ex = ex * 10 + (Sc.S[Sc.P++] - L'0');
      if (ex >= 5000) return false;
    }
    v *= std::pow(10.0, static_cast<double>(sign * ex));
  }
  V = v;
  return true;
}

bool ReadTerm(const TSpinValueFormat& F, Scanner& Sc, double& V) {
  bool hex = F.ValueType == evtHex;
  String prefix = Sc.Unit(hex);
  Sc.SkipBlanks();
  if (!ReadNumber(Sc, F.ValueType, V)) return false;
  Sc.SkipBlanks();
  String postfix = Sc.Unit(hex);
  Sc.SkipBlanks();
  if (F.Convert && !F.Convert(prefix, postfix, V)) return false;
  return true;
}
}  // namespace

int64_t SpinRound(double V) {
  // Typed text can name numbers far beyond any integer: saturate.
  if (std::isnan(V)) return 0;
  double r = std::nearbyint(V);
  if (r >= 9223372036854775807.0) return INT64_MAX;
  if (r <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(r);
}

double SpinCheckValue(const TSpinValueFormat& F, double V) {
  if (F.MinValue != F.MaxValue) {
    if (V < F.MinValue) V = F.MinValue;
    if (V > F.MaxValue) V = F.MaxValue;
  }
  return V;
}

String SpinValueToText(const TSpinValueFormat& F, double V) {
  V = SpinCheckValue(F, V);
  String s;
  switch (F.ValueType) {
    case evtFloat: s = FloatToStrF(V, ffFixed, 15, F.Decimal); break;
    case evtHex: s = IntToHex(static_cast<long long>(SpinRound(V)), 1); break;
    default: s = IntToStr(SpinRound(V)); break;
  }
  if (!F.Prefix.empty()) s = F.Prefix + (F.SpaceAfterPrefix ? L" " : L"") + s;
  if (!F.Postfix.empty()) s = s + (F.SpaceBeforePostfix ? L" " : L"") + F.Postfix;
  if (F.ValueToText) F.ValueToText(V, s);
  return s;
}

bool SpinParseValue(const TSpinValueFormat& F, const String& Text, double& V) {
  V = 0;
  if (F.TextToValue && F.TextToValue(Text, V)) return true;
  V = 0;
  if (Text.empty()) return false;
  Scanner sc{Text};
  sc.SkipBlanks();
  double sign = 1;
  if (sc.Peek() == L'-' || sc.Peek() == L'+') {
    sign = sc.S[sc.P++] == L'-' ? -1 : 1;
    sc.SkipBlanks();
  }
  double t1;
  if (!ReadTerm(F, sc, t1)) return false;
  double v = sign * t1;
  if (sc.End()) {
    V = v;
    return true;
  }
  wchar_t op = sc.Peek();
  if (op != L'*' && op != L'+' && op != L'-' && op != L'/') return false;
  ++sc.P;
  sc.SkipBlanks();
  double t2;
  if (!ReadTerm(F, sc, t2)) return false;
  switch (op) {
    case L'*': v *= t2; break;
    case L'+': v += t2; break;
    case L'-': v -= t2; break;
    default:
      if (t2 == 0) return false;
      v /= t2;
      break;
  }
  if (!sc.End()) return false;
  V = v;
  return true;
}

bool SpinValidateUnits(const String& S) {
  for (wchar_t c : S)
    if (IsStop(c, false)) return false;
  return true;
}

double SpinStep(double Old, double Inc, bool Snap, int Step) {
  if (!Snap) return Step > 0 ? Old + Inc : Old - Inc;
  if (Step > 0) return std::floor(Old / Inc + 1 + Inc * 0.0001) * Inc;
  return std::ceil(Old / Inc - 1 - Inc * 0.0001) * Inc;
}

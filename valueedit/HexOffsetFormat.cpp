#include "valueedit/HexOffsetFormat.h"

#include <cwctype>

namespace {

const wchar_t kDigits[] = L"0123456789ABCDEF";

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return c - L'A' + 10;
}

// Reads the leading run of hexadecimal digits. `value` saturates instead
// of wrapping so that an absurdly long run can't pass a range check.
size_t ReadHexRun(const String& s, uint64_t& value) {
  size_t i = 0;
  value = 0;
  while (i < s.size() && IsHexDigit(s[i])) {
    value = value * 16 + HexValue(s[i]);
    if (value > 0xFFFFFFFFull) value = 0x100000000ull;
    ++i;
  }
  return i;
}

wchar_t Upper(wchar_t c) { return (c >= L'a' && c <= L'z') ? c - 32 : c; }

[[noreturn]] void MissingChar(const String& what) {
  throw EHexException(L"Missing char in offset format: " + what);
}

}  // namespace

String HexNumberText(uint32_t v) {
  String s = IntToRadix(v, 16);
  return s;
}

void THexOffsetFormat::GenerateOffsetFormat(const String& text, int bytesPerRow, int bytesPerColumn) {
  THexOffsetFormat f;  // built aside: a failed parse changes nothing
  f.Flags = 0;
  if (text.empty()) {
    f.Format = text;
    f.MinWidth = MinWidth;
    f.Radix = Radix;
    f.BytesPerUnit = BytesPerUnit;
    *this = f;
    return;
  }
  String s = text;
  // 1. unit
  if (s.size() >= 2 && Upper(s[0]) == L'R' && s[1] == L'%') {
    f.Flags |= offCalcRow;
    s.erase(0, 2);
    f.BytesPerUnit = static_cast<uint16_t>(bytesPerRow);
  } else if (s.size() >= 2 && Upper(s[0]) == L'C' && s[1] == L'%') {
    f.Flags |= offCalcColumn;
    s.erase(0, 2);
    f.BytesPerUnit = static_cast<uint16_t>(bytesPerColumn);
  } else {
    uint64_t v;
    size_t n = ReadHexRun(s, v);
    if (n < s.size() && s[n] == L'%') {
      uint64_t unit = n == 0 ? 1 : v;
      // 2. a unit of 0 bytes (or one too large to hold) is refused
      if (unit == 0 || unit > 0xFFFF)
        throw EHexException(L"Invalid bytes per unit value " +
                            HexNumberText(static_cast<uint32_t>(unit > 0xFFFFFFFFull ? 0xFFFFFFFFull : unit)) +
                            L"h, allowed: 01h..BytesPerRow");
      f.BytesPerUnit = static_cast<uint16_t>(unit);
      s.erase(0, n + 1);
    } else {
      f.BytesPerUnit = 1;
    }
  }
  if (f.BytesPerUnit == 0)
    throw EHexException(L"Invalid bytes per unit value 0h, allowed: 01h..BytesPerRow");
  // 3. width
  if (s.size() >= 2 && s[0] == L'-' && s[1] == L'!') {
    f.Flags |= offCalcWidth;
    s.erase(0, 2);
    f.MinWidth = 1;
  } else {
    uint64_t v;
    size_t n = ReadHexRun(s, v);
    if (n < s.size() && s[n] == L'!') {
      f.MinWidth = n == 0 ? 1 : static_cast<int32_t>(v > 0x7FFFFFFF ? 0x7FFFFFFF : v);
      s.erase(0, n + 1);
    } else {
      f.MinWidth = 1;
    }
  }
  // 4. radix
  {
    uint64_t v;
    size_t n = ReadHexRun(s, v);
    if (n == 0) MissingChar(L"number radix");
    if (n >= s.size() || s[n] != L':') MissingChar(L":");
    if (v < 2 || v > 16)
      throw EHexException(L"Invalid radix in offset format (" +
                          HexNumberText(static_cast<uint32_t>(v > 0xFFFFFFFFull ? 0xFFFFFFFFull : v)) +
                          L"h), allowed: 02h..10h");
    f.Radix = static_cast<uint8_t>(v);
    s.erase(0, n + 1);
  }
  // 5. prefix | suffix
  size_t bar = s.find(L'|');
  if (bar == String::npos) MissingChar(L"|");
  f.Prefix = s.substr(0, bar);
  f.Suffix = s.substr(bar + 1);
  // 6.
  f.Format = text;
  *this = f;
}

String IntToRadix(uint32_t value, uint8_t radix) {
  if (radix < 2 || radix > 16) radix = 16;
  if (value == 0) return L"0";
  String r;
  while (value > 0) {
    r.insert(r.begin(), kDigits[value % radix]);
    value /= radix;
  }
  return r;
}

String IntToRadixLen(uint32_t value, uint8_t radix, int len) {
  String r = IntToRadix(value, radix);
  if (static_cast<int>(r.size()) < len) r.insert(0, static_cast<size_t>(len) - r.size(), L'0');
  return r;
}

String IntToOctal(uint32_t value) { return IntToRadix(value, 8); }

uint32_t RadixToInt(const String& text, uint8_t radix) {
  uint32_t value = 0;
  for (wchar_t ch : text) {
    wchar_t u = Upper(ch);
    int d = -1;
    for (int k = 0; k < 16; ++k)
      if (kDigits[k] == u) d = k;
    if (d < 0 || d >= radix)
      throw EHexException(L"Invalid character " + String(1, ch) + L", cannot convert using radix " +
                          HexNumberText(radix) + L"h");
    value = value * radix + static_cast<uint32_t>(d);
  }
  return value;
}

uint32_t OctalToInt(const String& text) { return RadixToInt(text, 8); }

uint32_t CheckRadixToInt(const String& text) {
  const String& s = text;
  size_t n = s.size();
  if (n >= 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X')) return RadixToInt(s.substr(2), 16);
  if (n >= 1 && s[0] == L'$') return RadixToInt(s.substr(1), 16);
  if (n >= 1 && (s[n - 1] == L'h' || s[n - 1] == L'H')) return RadixToInt(s.substr(0, n - 1), 16);
  if (n >= 1 && (s[n - 1] == L'o' || s[n - 1] == L'O')) return RadixToInt(s.substr(0, n - 1), 8);
  if (n >= 1 && (s[0] == L'o' || s[0] == L'O')) return RadixToInt(s.substr(1), 8);
  if (n >= 1 && s[0] == L'0') {
    bool octal = true;
    for (wchar_t c : s)
      if (c < L'0' || c > L'7') octal = false;
    if (octal) return RadixToInt(s, 8);
  }
  if (n >= 1 && s[n - 1] == L'%') return RadixToInt(s.substr(0, n - 1), 2);
  if (n >= 1 && s[0] == L'%') return RadixToInt(s.substr(1), 2);
  return RadixToInt(s, 10);
}

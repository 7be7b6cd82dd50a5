#include "toolbars/BarUtils.h"

#include <cwctype>

String StripAccelChars(const String& S) {
  String r;
  r.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] == L'&') {
      if (i + 1 < S.size() && S[i + 1] == L'&') {
        r += L'&';
        ++i;
      }
      continue;
    }
    r += S[i];
  }
  return r;
}

String EscapeAmpersands(const String& S) {
  String r;
  r.reserve(S.size() + 4);
  for (wchar_t c : S) {
    r += c;
    if (c == L'&') r += L'&';
  }
  return r;
}

String StripTrailingPunctuation(const String& S) {
  size_t n = S.size();
  if (n > 1 && S[n - 1] == L':') return S.substr(0, n - 1);
  if (n > 3 && S.compare(n - 3, 3, L"...") == 0) return S.substr(0, n - 3);
  return S;
}

wchar_t FindAccelChar(const String& S) {
  wchar_t result = 0;
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] != L'&') continue;
    if (i + 1 >= S.size()) break;
    if (S[i + 1] == L'&') {
      ++i;  // literal ampersand
      continue;
    }
    result = S[i + 1];
  }
  return result;
}

wchar_t BarCharUpper(wchar_t C) { return static_cast<wchar_t>(std::towupper(C)); }

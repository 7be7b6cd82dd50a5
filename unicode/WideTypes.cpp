#include "unicode/WideTypes.h"

const WideString CRLF = u"\r\n";

void AppendCodePoint(WideString& s, UCS4 c) {
  if (c > 0xFFFF && c <= MaximumUTF16) {
    c -= 0x10000;
    s.push_back(static_cast<WideChar>(SurrogateHighStart + (c >> 10)));
    s.push_back(static_cast<WideChar>(SurrogateLowStart + (c & 0x3FF)));
  } else {
    s.push_back(static_cast<WideChar>(c));
  }
}

WideString ToWideString(std::wstring_view s) {
  if constexpr (sizeof(wchar_t) == 2) {
    return WideString(s.begin(), s.end());
  } else {
    WideString out;
    out.reserve(s.size());
    for (wchar_t ch : s) {
      UCS4 c = static_cast<UCS4>(ch);
      if (c > MaximumUTF16) c = ReplacementCharacter;
      AppendCodePoint(out, c);
    }
    return out;
  }
}

String ToString(std::u16string_view s) {
  if constexpr (sizeof(wchar_t) == 2) {
    return String(s.begin(), s.end());
  } else {
    String out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
      UCS4 c = s[i];
      if (IsHighSurrogate(c) && i + 1 < s.size() && IsLowSurrogate(s[i + 1])) {
        c = JoinSurrogates(c, s[i + 1]);
        ++i;
      }
      out.push_back(static_cast<wchar_t>(c));
    }
    return out;
  }
}

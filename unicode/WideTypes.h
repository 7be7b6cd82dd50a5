// Basic types of the Unicode text library and conversions to the editor's
// own String. Portable: builds for Windows and natively on the host, where
// wchar_t is 32 bits wide.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "classlib/SysUtils.h"

using WideChar = char16_t;           // one UTF-16 code unit
using PWideChar = char16_t*;         // zero-terminated wide text
using WideString = std::u16string;   // UTF-16 text
using UCS4 = std::uint32_t;          // one code point (or any 32-bit code)

constexpr UCS4 ReplacementCharacter = 0xFFFD;
constexpr UCS4 MaximumUCS2 = 0xFFFF;
constexpr UCS4 MaximumUTF16 = 0x10FFFF;
constexpr UCS4 MaximumUCS4 = 0x7FFFFFFF;
constexpr UCS4 SurrogateHighStart = 0xD800;
constexpr UCS4 SurrogateHighEnd = 0xDBFF;
constexpr UCS4 SurrogateLowStart = 0xDC00;
constexpr UCS4 SurrogateLowEnd = 0xDFFF;

inline bool IsHighSurrogate(UCS4 c) { return c >= SurrogateHighStart && c <= SurrogateHighEnd; }
inline bool IsLowSurrogate(UCS4 c) { return c >= SurrogateLowStart && c <= SurrogateLowEnd; }
inline UCS4 JoinSurrogates(UCS4 hi, UCS4 lo) {
  return 0x10000 + ((hi - SurrogateHighStart) << 10) + (lo - SurrogateLowStart);
}

// Appends code point c to s, as a surrogate pair above U+FFFF.
void AppendCodePoint(WideString& s, UCS4 c);

// Editor text (std::wstring) <-> library text. On Windows both are UTF-16 and
// this is a copy; on the host wchar_t holds code points and pairs are joined
// or split (a lone surrogate is kept as it is).
WideString ToWideString(std::wstring_view s);
String ToString(std::u16string_view s);

// The wide line break CR LF.
extern const WideString CRLF;

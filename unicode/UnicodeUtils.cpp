#include "unicode/UnicodeUtils.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <new>

#include "unicode/UnicodeTables.h"

#ifdef _WIN32
#include <windows.h>
#endif

// --- zero-terminated wide strings -------------------------------------------

std::size_t StrLenW(const WideChar* S) {
  const WideChar* p = S;
  while (*p) ++p;
  return static_cast<std::size_t>(p - S);
}

WideChar* StrEndW(const WideChar* S) { return const_cast<WideChar*>(S + StrLenW(S)); }

WideChar* StrMoveW(WideChar* Dest, const WideChar* Source, std::size_t Count) {
  if (Count) std::memmove(Dest, Source, Count * sizeof(WideChar));
  return Dest;
}

WideChar* StrCopyW(WideChar* Dest, const WideChar* Source) {
  StrMoveW(Dest, Source, StrLenW(Source) + 1);
  return Dest;
}

WideChar* StrECopyW(WideChar* Dest, const WideChar* Source) {
  std::size_t n = StrLenW(Source);
  StrMoveW(Dest, Source, n + 1);
  return Dest + n;
}

WideChar* StrLCopyW(WideChar* Dest, const WideChar* Source, std::size_t MaxLen) {
  std::size_t n = 0;
  while (n < MaxLen && Source[n]) {
    Dest[n] = Source[n];
    ++n;
  }
  Dest[n] = 0;
  return Dest;
}

WideChar* StrPCopyW(WideChar* Dest, const AnsiString& S) {
  WideString w = CodePageToWideString(S, 0);
  StrMoveW(Dest, w.data(), w.size());
  Dest[w.size()] = 0;
  return Dest;
}

WideChar* StrPLCopyW(WideChar* Dest, const AnsiString& S, std::size_t MaxLen) {
  for (std::size_t i = 0; i < MaxLen && i < S.size(); ++i)
    Dest[i] = static_cast<unsigned char>(S[i]);
  return Dest;
}

WideChar* StrCatW(WideChar* Dest, const WideChar* Source) {
  StrCopyW(StrEndW(Dest), Source);
  return Dest;
}

WideChar* StrLCatW(WideChar* Dest, const WideChar* Source, std::size_t MaxLen) {
  std::size_t have = StrLenW(Dest);
  if (have < MaxLen) StrLCopyW(Dest + have, Source, MaxLen - have);
  return Dest;
}

namespace {

inline WideChar FoldAscii(WideChar c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }

int Compare(const WideChar* S1, const WideChar* S2, std::size_t MaxLen, bool ignoreCase) {
  for (std::size_t i = 0; i < MaxLen; ++i) {
    WideChar a = S1[i], b = S2[i];
    if (ignoreCase) {
      a = FoldAscii(a);
      b = FoldAscii(b);
    }
    if (a != b) return static_cast<int>(a) - static_cast<int>(b);
    if (b == 0) break;
  }
  return 0;
}

bool Contains(const WideChar* S, WideChar c) {
  for (; *S; ++S)
    if (*S == c) return true;
  return false;
}

// Maps every character of S in place, surrogate pairs as one character.
WideChar* MapInPlace(WideChar* S, UCS4 (*map)(UCS4)) {
  for (WideChar* p = S; *p; ++p) {
    if (IsHighSurrogate(p[0]) && IsLowSurrogate(p[1])) {
      UCS4 m = map(JoinSurrogates(p[0], p[1]));
      if (m > 0xFFFF && m <= MaximumUTF16) {
        m -= 0x10000;
        p[0] = static_cast<WideChar>(SurrogateHighStart + (m >> 10));
        p[1] = static_cast<WideChar>(SurrogateLowStart + (m & 0x3FF));
      }
      ++p;
    } else {
      UCS4 m = map(*p);
      if (m <= 0xFFFF) *p = static_cast<WideChar>(m);
    }
  }
  return S;
}

WideString MapString(const WideString& S, UCS4 (*map)(UCS4)) {
  WideString out;
  out.reserve(S.size());
  for (std::size_t i = 0; i < S.size(); ++i) {
    if (IsHighSurrogate(S[i]) && i + 1 < S.size() && IsLowSurrogate(S[i + 1])) {
      AppendCodePoint(out, map(JoinSurrogates(S[i], S[i + 1])));
      ++i;
    } else {
      UCS4 m = map(S[i]);
      out.push_back(m <= 0xFFFF ? static_cast<WideChar>(m) : S[i]);
    }
  }
  return out;
}

constexpr std::size_t kHeader = 4;

}  // namespace

int StrCompW(const WideChar* S1, const WideChar* S2) {
  return Compare(S1, S2, static_cast<std::size_t>(-1), false);
}
int StrICompW(const WideChar* S1, const WideChar* S2) {
  return Compare(S1, S2, static_cast<std::size_t>(-1), true);
}
int StrLCompW(const WideChar* S1, const WideChar* S2, std::size_t MaxLen) {
  return Compare(S1, S2, MaxLen, false);
}
int StrLICompW(const WideChar* S1, const WideChar* S2, std::size_t MaxLen) {
  return Compare(S1, S2, MaxLen, true);
}

WideChar* StrScanW(const WideChar* S, WideChar Ch) {
  for (;; ++S) {
    if (*S == Ch) return const_cast<WideChar*>(S);
    if (*S == 0) return nullptr;
  }
}

WideChar* StrScanW(const WideChar* S, WideChar Ch, std::ptrdiff_t Count) {
  if (!S) return nullptr;
  for (std::ptrdiff_t i = 0; i < Count; ++i)
    if (S[i] == Ch) return const_cast<WideChar*>(S + i);
  return nullptr;
}

WideChar* StrRScanW(const WideChar* S, WideChar Ch) {
  const WideChar* found = nullptr;
  for (;; ++S) {
    if (*S == Ch) found = S;
    if (*S == 0) break;
  }
  return const_cast<WideChar*>(found);
}

int StrNScanW(const WideChar* S1, const WideChar* S2) {
  if (!S1 || !S2) return -1;
  int n = 0;
  while (S1[n] && !Contains(S2, S1[n])) ++n;
  return n;
}

int StrRNScanW(const WideChar* S1, const WideChar* S2) {
  if (!S1 || !S2) return -1;
  std::size_t len = StrLenW(S1);
  int n = 0;
  while (len > 0 && !Contains(S2, S1[len - 1])) {
    --len;
    ++n;
  }
  return n;
}

WideChar* StrPosW(const WideChar* S1, const WideChar* S2) {
  if (!S1 || !S2 || !*S2) return nullptr;
  std::size_t n1 = StrLenW(S1), n2 = StrLenW(S2);
  if (n2 > n1) return nullptr;
  for (std::size_t i = 0; i + n2 <= n1; ++i)
    if (std::memcmp(S1 + i, S2, n2 * sizeof(WideChar)) == 0) return const_cast<WideChar*>(S1 + i);
  return nullptr;
}

WideChar* StrUpperW(WideChar* S) { return MapInPlace(S, &UnicodeToUpper); }
WideChar* StrLowerW(WideChar* S) { return MapInPlace(S, &UnicodeToLower); }
WideChar* StrTitleW(WideChar* S) { return MapInPlace(S, &UnicodeToTitle); }

WideChar* StrAllocW(std::size_t Size) {
  if (Size > (0xFFFFFFFFu - kHeader) / 2) throw std::bad_alloc();
  std::uint32_t total = static_cast<std::uint32_t>(Size * 2 + kHeader);
  auto* block = static_cast<unsigned char*>(std::calloc(total, 1));
  if (!block) throw std::bad_alloc();
  std::memcpy(block, &total, kHeader);
  return reinterpret_cast<WideChar*>(block + kHeader);
}

std::size_t StrBufSizeW(const WideChar* S) {
  std::uint32_t total;
  std::memcpy(&total, reinterpret_cast<const unsigned char*>(S) - kHeader, kHeader);
  return (total - kHeader) / 2;
}

WideChar* StrNewW(const WideChar* S) {
  if (!S) return nullptr;
  std::size_t n = StrLenW(S);
  WideChar* p = StrAllocW(n + 1);
  StrMoveW(p, S, n + 1);
  return p;
}

void StrDisposeW(WideChar* S) {
  if (S) std::free(reinterpret_cast<unsigned char*>(S) - kHeader);
}

void StrSwapByteOrder(WideChar* S) {
  for (; *S; ++S) *S = static_cast<WideChar>((*S >> 8) | (*S << 8));
}

// --- WideString ----------------------------------------------------------------

WideString WideQuotedStr(const WideString& S, WideChar Quote) {
  WideString out;
  out.reserve(S.size() + 2);
  out.push_back(Quote);
  for (WideChar c : S) {
    out.push_back(c);
    if (c == Quote) out.push_back(Quote);
  }
  out.push_back(Quote);
  return out;
}

WideString WideExtractQuotedStr(const WideChar*& P, WideChar Quote) {
  WideString out;
  if (!P || *P != Quote) return out;
  const WideChar* p = P + 1;
  for (;;) {
    if (*p == 0) break;
    if (*p == Quote) {
      if (p[1] == Quote) {
        out.push_back(Quote);
        p += 2;
        continue;
      }
      ++p;  // past the closing quote
      break;
    }
    out.push_back(*p++);
  }
  P = p;
  return out;
}

WideString WideStringOfChar(WideChar C, int Count) {
  return Count < 1 ? WideString() : WideString(static_cast<std::size_t>(Count), C);
}

namespace {
bool IsTrimmed(WideChar c) { return UnicodeIsWhiteSpace(c) || UnicodeIsControl(c); }
}  // namespace

WideString WideTrimLeft(const WideString& S) {
  std::size_t i = 0;
  while (i < S.size() && IsTrimmed(S[i])) ++i;
  return S.substr(i);
}

WideString WideTrimRight(const WideString& S) {
  std::size_t n = S.size();
  while (n > 0 && IsTrimmed(S[n - 1])) --n;
  return S.substr(0, n);
}

WideString WideTrim(const WideString& S) { return WideTrimRight(WideTrimLeft(S)); }

int WideCharPos(const WideString& S, WideChar Ch, int Index) {
  if (Index < 1 || static_cast<std::size_t>(Index) > S.size()) return 0;
  std::size_t at = S.find(Ch, static_cast<std::size_t>(Index - 1));
  return at == WideString::npos ? 0 : static_cast<int>(at + 1);
}

WideString WideAdjustLineBreaks(const WideString& S) {
  WideString out;
  out.reserve(S.size());
  for (std::size_t i = 0; i < S.size(); ++i) {
    WideChar c = S[i];
    if (c == u'\r') {
      if (i + 1 < S.size() && S[i + 1] == u'\n') ++i;
      out.push_back(0x2028);
    } else if (c == u'\n') {
      out.push_back(0x2028);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

WideChar WideUpCase(WideChar C) {
  UCS4 m = UnicodeToUpper(C);
  return m <= 0xFFFF ? static_cast<WideChar>(m) : C;
}
WideChar WideLoCase(WideChar C) {
  UCS4 m = UnicodeToLower(C);
  return m <= 0xFFFF ? static_cast<WideChar>(m) : C;
}
WideChar WideTitleCaseChar(WideChar C) {
  UCS4 m = UnicodeToTitle(C);
  return m <= 0xFFFF ? static_cast<WideChar>(m) : C;
}
WideString WideUpperCase(const WideString& S) { return MapString(S, &UnicodeToUpper); }
WideString WideLowerCase(const WideString& S) { return MapString(S, &UnicodeToLower); }
WideString WideTitleCaseString(const WideString& S) { return MapString(S, &UnicodeToTitle); }

// --- code pages ----------------------------------------------------------------

#ifndef _WIN32
namespace {
// Code page 1252 for 0x80..0x9F (0 where the code page has no character).
const char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace
#endif

std::uint32_t UserDefaultLocale() {
#ifdef _WIN32
  return GetUserDefaultLCID();
#else
  return 0x0409;
#endif
}

unsigned CodePageFromLocale(std::uint32_t Language) {
#ifdef _WIN32
  wchar_t buf[16] = {};
  if (GetLocaleInfoW(Language, LOCALE_IDEFAULTANSICODEPAGE, buf, 16) > 0) {
    wchar_t* end = nullptr;
    unsigned long cp = std::wcstoul(buf, &end, 10);
    if (end != buf && cp != 0) return static_cast<unsigned>(cp);
  }
  return GetACP();
#else
  (void)Language;
  return 1252;
#endif
}

unsigned KeyboardCodePage() {
#ifdef _WIN32
  HKL layout = GetKeyboardLayout(0);
  return CodePageFromLocale(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(layout) & 0xFFFF));
#else
  return 1252;
#endif
}

WideChar KeyUnicode(char C) {
#ifdef _WIN32
  wchar_t out = 0;
  if (MultiByteToWideChar(KeyboardCodePage(), MB_USEGLYPHCHARS, &C, 1, &out, 1) != 1) return 0;
  return static_cast<WideChar>(out);
#else
  return CodePageToWideString(AnsiString(1, C), 1252)[0];
#endif
}

WideString CodePageToWideString(const AnsiString& S, unsigned CodePage) {
  if (S.empty()) return WideString();
#ifdef _WIN32
  if (S.size() > 0x7FFFFFFF) throw EConvertError("Text too long to convert.");
  int n = static_cast<int>(S.size());
  std::wstring buf(S.size(), L'\0');
  int got = MultiByteToWideChar(CodePage ? CodePage : CP_ACP, 0, S.data(), n, buf.data(), n);
  if (got <= 0) return WideString();
  return WideString(buf.begin(), buf.begin() + got);
#else
  (void)CodePage;
  WideString out;
  out.reserve(S.size());
  for (unsigned char b : S) {
    WideChar c = b;
    if (b >= 0x80 && b < 0xA0) c = kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : b;
    out.push_back(c);
  }
  return out;
#endif
}

AnsiString WideStringToCodePage(const WideString& S, unsigned CodePage, bool* Lost) {
  if (Lost) *Lost = false;
  if (S.empty()) return AnsiString();
#ifdef _WIN32
  if (S.size() > 0x3FFFFFFF) throw EConvertError("Text too long to convert.");
  unsigned cp = CodePage ? CodePage : GetACP();
  const wchar_t* src = reinterpret_cast<const wchar_t*>(S.data());
  int n = static_cast<int>(S.size());
  // UTF-7 and UTF-8 take no default-character flag.
  bool flagAllowed = cp != CP_UTF7 && cp != CP_UTF8;
  BOOL usedDefault = FALSE;
  int need = WideCharToMultiByte(cp, 0, src, n, nullptr, 0, nullptr, nullptr);
  if (need <= 0) {
    if (Lost) *Lost = true;
    return AnsiString();
  }
  AnsiString out(static_cast<std::size_t>(need), '\0');
  int got = WideCharToMultiByte(cp, 0, src, n, out.data(), need, nullptr,
                                flagAllowed ? &usedDefault : nullptr);
  if (got <= 0) {
    if (Lost) *Lost = true;
    return AnsiString();
  }
  out.resize(static_cast<std::size_t>(got));
  if (Lost) {
    // The converter puts its default character where it finds nothing,
    // but first tries a look-alike (a for U+0101, A for U+FF21, - for
    // U+2212) without saying so: what does not come back unchanged is lost.
    *Lost = usedDefault != FALSE;
    if (!*Lost) {
      int back = MultiByteToWideChar(cp, 0, out.data(), got, nullptr, 0);
      std::wstring again(static_cast<std::size_t>(back > 0 ? back : 0), L'\0');
      if (back > 0) back = MultiByteToWideChar(cp, 0, out.data(), got, again.data(), back);
      *Lost = back != n || std::wmemcmp(again.data(), src, static_cast<std::size_t>(n)) != 0;
    }
  }
  return out;
#else
  (void)CodePage;
  AnsiString out;
  out.reserve(S.size());
  for (std::size_t i = 0; i < S.size(); ++i) {
    WideChar c = S[i];
    char b = '?';
    bool found = false;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      b = static_cast<char>(c);
      found = true;
    } else {
      for (int k = 0; k < 32; ++k)
        if (kCp1252High[k] == c) {
          b = static_cast<char>(0x80 + k);
          found = true;
          break;
        }
    }
    if (!found) {
      if (Lost) *Lost = true;
      // A surrogate pair is one character and gets one default character.
      if (IsHighSurrogate(c) && i + 1 < S.size() && IsLowSurrogate(S[i + 1])) ++i;
    }
    out.push_back(b);
  }
  return out;
#endif
}

// --- code blocks ---------------------------------------------------------------

int CodeBlockFromChar(WideChar C) {
  static const std::uint16_t kBlocks[67][2] = {
      {0x0000, 0x007F}, {0x0080, 0x00FF}, {0x0100, 0x017F}, {0x0180, 0x024F},
      {0x0250, 0x02AF}, {0x02B0, 0x02FF}, {0x0300, 0x036F}, {0x0370, 0x03FF},
      {0x0400, 0x04FF}, {0x0530, 0x058F}, {0x0590, 0x05FF}, {0x0600, 0x06FF},
      {0x0900, 0x097F}, {0x0980, 0x09FF}, {0x0A00, 0x0A7F}, {0x0A80, 0x0AFF},
      {0x0B00, 0x0B7F}, {0x0B80, 0x0BFF}, {0x0C00, 0x0C7F}, {0x0C80, 0x0CFF},
      {0x0D00, 0x0D7F}, {0x0E00, 0x0E7F}, {0x0E80, 0x0EFF}, {0x0F00, 0x0FBF},
      {0x10A0, 0x10FF}, {0x1100, 0x11FF}, {0x1E00, 0x1EFF}, {0x1F00, 0x1FFF},
      {0x2000, 0x206F}, {0x2070, 0x209F}, {0x20A0, 0x20CF}, {0x20D0, 0x20FF},
      {0x2100, 0x214F}, {0x2150, 0x218F}, {0x2190, 0x21FF}, {0x2200, 0x22FF},
      {0x2300, 0x23FF}, {0x2400, 0x243F}, {0x2440, 0x245F}, {0x2460, 0x24FF},
      {0x2500, 0x257F}, {0x2580, 0x259F}, {0x25A0, 0x25FF}, {0x2600, 0x26FF},
      {0x2700, 0x27BF}, {0x3000, 0x303F}, {0x3040, 0x309F}, {0x30A0, 0x30FF},
      {0x3100, 0x312F}, {0x3130, 0x318F}, {0x3190, 0x319F}, {0x3200, 0x32FF},
      {0x3300, 0x33FF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7A3}, {0xD800, 0xDB7F},
      {0xDB80, 0xDBFF}, {0xDC00, 0xDFFF}, {0xE000, 0xF8FF}, {0xF900, 0xFAFF},
      {0xFB00, 0xFB4F}, {0xFB50, 0xFDFF}, {0xFE20, 0xFE2F}, {0xFE30, 0xFE4F},
      {0xFE50, 0xFE6F}, {0xFE70, 0xFEFF}, {0xFF00, 0xFFEF}};
  int lo = 0, hi = 66;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    if (C > kBlocks[mid][1])
      lo = mid + 1;
    else if (C < kBlocks[mid][0])
      hi = mid - 1;
    else
      return mid;
  }
  return 67;
}

// --- UTF-8 ------------------------------------------------------------------------

std::string WideStringToUTF8(const WideString& S) {
  std::string out;
  out.reserve(S.size() * 3);
  for (std::size_t i = 0; i < S.size(); ++i) {
    UCS4 c = S[i];
    if (IsHighSurrogate(c) && i + 1 < S.size() && IsLowSurrogate(S[i + 1])) {
      c = JoinSurrogates(c, S[i + 1]);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = ReplacementCharacter;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

WideString UTF8ToWideString(const std::string& S) {
  WideString out;
  out.reserve(S.size());
  const auto* p = reinterpret_cast<const unsigned char*>(S.data());
  std::size_t n = S.size(), i = 0;
  while (i < n) {
    unsigned b = p[i];
    if (b < 0x80) {
      out.push_back(static_cast<WideChar>(b));
      ++i;
      continue;
    }
    // Trailing byte count and the allowed range of the first trailing byte,
    // which excludes overlong forms, surrogates and values above U+10FFFF.
    int need;
    unsigned lo = 0x80, hi = 0xBF;
    UCS4 value;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      value = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      value = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      value = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      out.push_back(static_cast<WideChar>(ReplacementCharacter));
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    int got = 0;
    while (got < need && j < n) {
      unsigned t = p[j];
      if (t < lo || t > hi) break;
      value = (value << 6) | (t & 0x3F);
      ++j;
      ++got;
      lo = 0x80;
      hi = 0xBF;
    }
    if (got == need)
      AppendCodePoint(out, value);
    else
      out.push_back(static_cast<WideChar>(ReplacementCharacter));
    i = j;
  }
  return out;
}

// Exception base, text conversions, Format and the file and date helpers.
#include "classlib/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <ctime>
#include <limits>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

// ---------------------------------------------------------------------------
// Exception

TRaiseSite TRaiseSite::Caller() noexcept { return TRaiseSite{__builtin_return_address(0)}; }

Exception::Exception(String message, TRaiseSite At)
    : message_(std::move(message)), raiseAddress_(At.Address) {}
Exception::Exception(const AnsiString& ansiMessage, TRaiseSite At)
    : message_(AnsiToWide(ansiMessage)), raiseAddress_(At.Address) {}
Exception::Exception(const char* ansiMessage, TRaiseSite At)
    : message_(AnsiToWide(ansiMessage ? ansiMessage : "")), raiseAddress_(At.Address) {}
Exception::~Exception() = default;

void Exception::SetMessage(String m) {
  message_ = std::move(m);
  utf8_.clear();
}

const char* Exception::what() const noexcept {
  try {
    utf8_ = WideToUtf8(message_);
  } catch (...) {
    return "Exception";
  }
  return utf8_.c_str();
}

// These raise on behalf of their caller: the address is the caller's.
void Abort() { throw EAbort(String(L"Operation aborted"), TRaiseSite{__builtin_return_address(0)}); }

void AbstractError() {
  throw EAbstractError(String(L"Abstract Error"), TRaiseSite{__builtin_return_address(0)});
}

// ---------------------------------------------------------------------------
// Command line

std::vector<String> SplitCommandLine(const String& CommandLine) {
  // Blanks separate arguments outside quotes; 2n backslashes before a quote
  // give n and the quote opens or closes, 2n+1 give n and a plain quote;
  // "" inside quotes is a plain quote.
  std::vector<String> out;
  size_t i = 0;
  const size_t n = CommandLine.size();
  for (;;) {
    while (i < n && (CommandLine[i] == L' ' || CommandLine[i] == L'\t')) ++i;
    if (i >= n) break;
    String arg;
    bool quoted = false;
    while (i < n && (quoted || (CommandLine[i] != L' ' && CommandLine[i] != L'\t'))) {
      size_t slashes = 0;
      while (i < n && CommandLine[i] == L'\\') ++slashes, ++i;
      if (i < n && CommandLine[i] == L'"') {
        arg.append(slashes / 2, L'\\');
        if (slashes % 2) {
          arg += L'"';
        } else if (quoted && i + 1 < n && CommandLine[i + 1] == L'"') {
          arg += L'"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, L'\\');
        if (i < n && (quoted || (CommandLine[i] != L' ' && CommandLine[i] != L'\t'))) arg += CommandLine[i++];
      }
    }
    out.push_back(std::move(arg));
  }
  return out;
}

namespace {
std::vector<String> ProgramArguments() {
  std::vector<String> args;
#ifdef _WIN32
  // The program's own name as the line gives it, then the arguments.
  const wchar_t* line = GetCommandLineW();
  String s = line ? line : L"";
  size_t i = 0;
  while (i < s.size() && (s[i] == L' ' || s[i] == L'\t')) ++i;
  if (i < s.size() && s[i] == L'"') {
    size_t close = s.find(L'"', i + 1);
    i = close == String::npos ? s.size() : close + 1;
  } else {
    while (i < s.size() && s[i] != L' ' && s[i] != L'\t') ++i;
  }
  args = SplitCommandLine(s.substr(i));
#else
  std::FILE* f = std::fopen("/proc/self/cmdline", "rb");
  if (f) {
    std::string all;
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) all.append(buf, got);
    std::fclose(f);
    size_t start = all.find('\0');  // after the program's own name
    while (start != std::string::npos && start + 1 < all.size()) {
      size_t end = all.find('\0', start + 1);
      args.push_back(Utf8ToWide(all.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1)));
      start = end;
    }
  }
#endif
  return args;
}
}  // namespace

int ParamCount() { return static_cast<int>(ProgramArguments().size()); }

String ParamStr(int Index) {
  if (Index == 0) {
#ifdef _WIN32
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n == 0) return String();
      if (n < path.size()) return path.substr(0, n);
      path.resize(path.size() * 2);
    }
#else
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    return n > 0 ? Utf8ToWide(std::string(buf, static_cast<size_t>(n))) : String();
#endif
  }
  const std::vector<String> args = ProgramArguments();
  return Index > 0 && Index <= static_cast<int>(args.size()) ? args[static_cast<size_t>(Index) - 1] : String();
}

// ---------------------------------------------------------------------------
// Exception routing

TExceptionHandlerHook ApplicationHandleExceptionHook = nullptr;

static void DefaultExceptionOutput(const Exception& E) {
  if (dynamic_cast<const EAbort*>(&E)) return;
#ifdef _WIN32
  String text = String(L"Unhandled exception: ") + E.Message() + L"\n";
  OutputDebugStringW(text.c_str());
#endif
  std::fprintf(stderr, "Unhandled exception (%s): %s\n", E.ClassName(), E.what());
}

void HandleCurrentException() noexcept {
  // Outside a handler there is nothing to rethrow (and `throw;` would end
  // the program).
  if (!std::current_exception()) return;
  try {
    try {
      throw;
    } catch (const Exception& e) {
      if (ApplicationHandleExceptionHook)
        ApplicationHandleExceptionHook(e);
      else
        DefaultExceptionOutput(e);
    } catch (const std::exception& e) {
      Exception wrapped(Utf8ToWide(e.what()));
      if (ApplicationHandleExceptionHook)
        ApplicationHandleExceptionHook(wrapped);
      else
        DefaultExceptionOutput(wrapped);
    } catch (...) {
      Exception wrapped(String(L"Unknown exception"));
      if (ApplicationHandleExceptionHook)
        ApplicationHandleExceptionHook(wrapped);
      else
        DefaultExceptionOutput(wrapped);
    }
  } catch (...) {
    // The handler itself failed: nothing more can be done here.
  }
}

// ---------------------------------------------------------------------------
// OS errors

String SysErrorMessage(unsigned long ErrorCode) {
#ifdef _WIN32
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, ErrorCode, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  String r;
  if (n && buf) r.assign(buf, n);
  if (buf) LocalFree(buf);
  while (!r.empty() && (r.back() == L'\r' || r.back() == L'\n' || r.back() == L' ' || r.back() == L'.'))
    r.pop_back();
  if (r.empty()) r = L"System error " + IntToStr(static_cast<int64_t>(ErrorCode));
  return r;
#else
  return AnsiToWide(std::strerror(static_cast<int>(ErrorCode)));
#endif
}

[[noreturn]] static void RaiseOSErrorAt(unsigned long ErrorCode, TRaiseSite At) {
  throw EOSError(Format(L"System Error.  Code: %d.\n%s", static_cast<int64_t>(ErrorCode),
                        SysErrorMessage(ErrorCode)),
                 At);
}

void RaiseOSError(unsigned long ErrorCode) {
  RaiseOSErrorAt(ErrorCode, TRaiseSite{__builtin_return_address(0)});
}

void RaiseLastOSError() {
#ifdef _WIN32
  DWORD e = GetLastError();
#else
  int e = errno;
#endif
  const TRaiseSite at{__builtin_return_address(0)};
  if (e == 0) throw EOSError(String(L"A call to an OS function failed"), at);
  RaiseOSErrorAt(static_cast<unsigned long>(e), at);
}

// ---------------------------------------------------------------------------
// ANSI and UTF-8 conversions

#ifndef _WIN32
// Code page 1252, bytes 0x80..0x9F (0 where the code page has no character;
// those bytes map to the C1 control of the same number, as Windows does).
static const char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
#endif

AnsiString WideToAnsi(std::wstring_view s, bool* lossy) {
  if (lossy) *lossy = false;
  if (s.empty()) return AnsiString();
#ifdef _WIN32
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0,
                              nullptr, &usedDefault);
  AnsiString out(static_cast<size_t>(n), '\0');
  usedDefault = FALSE;
  WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr,
                      &usedDefault);
  if (lossy) *lossy = usedDefault != FALSE;
  return out;
#else
  AnsiString out;
  out.reserve(s.size());
  for (wchar_t wc : s) {
    char32_t c = static_cast<char32_t>(wc);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    int found = -1;
    for (int i = 0; i < 32; ++i)
      if (kCp1252High[i] == c || (kCp1252High[i] == 0 && c == char32_t(0x80 + i))) {
        found = i;
        break;
      }
    if (found >= 0) {
      out.push_back(static_cast<char>(0x80 + found));
    } else {
      out.push_back('?');
      if (lossy) *lossy = true;
    }
  }
  return out;
#endif
}

String AnsiToWide(std::string_view s) {
  if (s.empty()) return String();
#ifdef _WIN32
  int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  String out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
#else
  String out;
  out.reserve(s.size());
  for (char ch : s) {
    unsigned char b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b < 0xA0) {
      char32_t c = kCp1252High[b - 0x80];
      out.push_back(static_cast<wchar_t>(c ? c : b));
    } else {
      out.push_back(static_cast<wchar_t>(b));
    }
  }
  return out;
#endif
}

static void AppendUtf8(std::string& out, char32_t c) {
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

std::string WideToUtf8(std::wstring_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = static_cast<char32_t>(s[i]);
    if constexpr (sizeof(wchar_t) == 2) c &= 0xFFFF;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size()) {
      char32_t d = static_cast<char32_t>(s[i + 1]);
      if constexpr (sizeof(wchar_t) == 2) d &= 0xFFFF;
      if (d >= 0xDC00 && d <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
        ++i;
        AppendUtf8(out, c);
        continue;
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    AppendUtf8(out, c);
  }
  return out;
}

static void AppendWide(String& out, char32_t c) {
  if (sizeof(wchar_t) == 2 && c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(c));
  }
}

String Utf8ToWide(std::string_view s) {
  String out;
  out.reserve(s.size());
  size_t i = 0, n = s.size();
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  while (i < n) {
    unsigned char b = byte(i);
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    int len;
    char32_t c;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2; c = b & 0x1F; min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3; c = b & 0x0F; min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4; c = b & 0x07; min = 0x10000;
    } else {
      AppendWide(out, 0xFFFD);
      ++i;
      continue;
    }
    size_t k = 1;
    bool ok = true;
    for (; k < static_cast<size_t>(len); ++k) {
      if (i + k >= n || (byte(i + k) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      // One replacement for the lead byte and the continuation bytes read.
      AppendWide(out, 0xFFFD);
      i += ok ? len : k;
      continue;
    }
    AppendWide(out, c);
    i += len;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Format

TFormatArg::TFormatArg(char v) : kind(kChar), s(AnsiToWide(std::string_view(&v, 1))) {}
TFormatArg::TFormatArg(const AnsiString& v) : kind(kString), s(AnsiToWide(v)) {}
TFormatArg::TFormatArg(const char* v) : kind(kString), s(AnsiToWide(v ? v : "")) {}

static String Widen(const std::string& a) { return String(a.begin(), a.end()); }

[[noreturn]] static void FormatError(const String& fmt) {
  throw EConvertError(L"Format '" + fmt + L"' invalid or incompatible with argument");
}

// Gives a number written with '.' the locale's decimal separator, and
// thousands separators when asked.
static String LocalizeNumber(const String& digits, bool thousands) {
  size_t start = (!digits.empty() && digits[0] == L'-') ? 1 : 0;
  size_t dot = digits.find(L'.');
  size_t intEnd = dot == String::npos ? digits.size() : dot;
  // Scientific text ("1E20") is left without thousands separators.
  if (digits.find(L'E') != String::npos) thousands = false;
  String out = digits.substr(0, start);
  size_t n = intEnd - start;
  for (size_t i = 0; i < n; ++i) {
    out.push_back(digits[start + i]);
    size_t left = n - i - 1;
    if (thousands && left > 0 && left % 3 == 0) out.push_back(ThousandSeparator);
  }
  if (dot != String::npos) {
    out.push_back(DecimalSeparator);
    out += digits.substr(dot + 1);
  }
  return out;
}

String FormatArgs(const String& Fmt, const TFormatArg* Args, size_t Count) {
  String out;
  size_t argIndex = 0;
  size_t i = 0;
  const size_t n = Fmt.size();
  auto nextArg = [&]() -> const TFormatArg& {
    if (argIndex >= Count) FormatError(Fmt);
    return Args[argIndex++];
  };
  auto readNumber = [&](int& value) -> bool {
    if (i < n && Fmt[i] == L'*') {
      const TFormatArg& a = nextArg();
      if (a.kind == TFormatArg::kInt) value = static_cast<int>(a.i);
      else if (a.kind == TFormatArg::kUInt) value = static_cast<int>(a.u);
      else FormatError(Fmt);
      ++i;
      return true;
    }
    bool any = false;
    value = 0;
    while (i < n && Fmt[i] >= L'0' && Fmt[i] <= L'9') {
      if (value > 100000) FormatError(Fmt);
      value = value * 10 + (Fmt[i] - L'0');
      ++i;
      any = true;
    }
    return any;
  };
  while (i < n) {
    wchar_t c = Fmt[i];
    if (c != L'%') {
      out.push_back(c);
      ++i;
      continue;
    }
    ++i;
    if (i >= n) FormatError(Fmt);
    if (Fmt[i] == L'%') {
      out.push_back(L'%');
      ++i;
      continue;
    }
    bool left = false;
    int width = -1, prec = -1;
    // Optional index ("n:").
    {
      size_t save = i;
      int idx = 0;
      bool digits = false;
      while (i < n && Fmt[i] >= L'0' && Fmt[i] <= L'9' && idx < 100000) {
        idx = idx * 10 + (Fmt[i] - L'0');
        ++i;
        digits = true;
      }
      if (digits && i < n && Fmt[i] == L':') {
        if (idx < 0 || static_cast<size_t>(idx) >= Count) FormatError(Fmt);
        argIndex = static_cast<size_t>(idx);
        ++i;
      } else {
        i = save;
      }
    }
    if (i < n && Fmt[i] == L'-') {
      left = true;
      ++i;
    }
    {
      int w = 0;
      if (readNumber(w)) width = w;
    }
    if (i < n && Fmt[i] == L'.') {
      ++i;
      int p = 0;
      if (!readNumber(p)) p = 0;
      prec = p;
    }
    if (width < 0 && width != -1) width = -1;
    if (i >= n) FormatError(Fmt);
    wchar_t type = static_cast<wchar_t>(std::towlower(Fmt[i]));
    ++i;
    const TFormatArg& a = nextArg();
    String piece;
    switch (type) {
      case L'd':
      case L'u': {
        bool neg = false;
        uint64_t mag;
        if (a.kind == TFormatArg::kInt) {
          int64_t v = a.i;
          if (type == L'u' && v < 0) {
            mag = static_cast<uint32_t>(static_cast<int32_t>(v));  // as unsigned 32-bit
            if (v < std::numeric_limits<int32_t>::min()) mag = static_cast<uint64_t>(v);
          } else {
            neg = v < 0;
            mag = neg ? (0 - static_cast<uint64_t>(v)) : static_cast<uint64_t>(v);
          }
        } else if (a.kind == TFormatArg::kUInt) {
          mag = a.u;
        } else {
          FormatError(Fmt);
        }
        String digits = Widen(std::to_string(mag));
        if (prec > 0 && static_cast<int>(digits.size()) < prec)
          digits.insert(0, static_cast<size_t>(prec) - digits.size(), L'0');
        piece = neg ? L"-" + digits : digits;
        break;
      }
      case L'x': {
        uint64_t v;
        if (a.kind == TFormatArg::kInt) {
          v = (a.i >= std::numeric_limits<int32_t>::min() && a.i <= std::numeric_limits<int32_t>::max())
                  ? static_cast<uint32_t>(static_cast<int32_t>(a.i))
                  : static_cast<uint64_t>(a.i);
        } else if (a.kind == TFormatArg::kUInt) {
          v = a.u;
        } else {
          FormatError(Fmt);
        }
        piece = IntToHexBits(v, 64, prec > 0 ? prec : 1);
        break;
      }
      case L's':
        if (a.kind != TFormatArg::kString && a.kind != TFormatArg::kChar) FormatError(Fmt);
        piece = a.s;
        if (prec >= 0 && static_cast<size_t>(prec) < piece.size()) piece.resize(static_cast<size_t>(prec));
        break;
      case L'c':
        if (a.kind != TFormatArg::kChar) FormatError(Fmt);
        piece = a.s;
        break;
      case L'p': {
        if (a.kind != TFormatArg::kPointer) FormatError(Fmt);
        piece = IntToHexBits(reinterpret_cast<uintptr_t>(a.p), 64, 2 * static_cast<int>(sizeof(void*)));
        break;
      }
      case L'f':
      case L'n':
      case L'e':
      case L'g': {
        long double v;
        if (a.kind == TFormatArg::kFloat) v = a.f;
        else if (a.kind == TFormatArg::kInt) v = static_cast<long double>(a.i);
        else if (a.kind == TFormatArg::kUInt) v = static_cast<long double>(a.u);
        else FormatError(Fmt);
        if (std::isnan(static_cast<double>(v))) {
          piece = L"NAN";
          break;
        }
        if (std::isinf(static_cast<double>(v))) {
          piece = v < 0 ? L"-INF" : L"INF";
          break;
        }
        if (type == L'f' || type == L'n') {
          int p = prec < 0 ? 2 : std::min(prec, 18);
          piece = FloatToStrF(static_cast<double>(v), type == L'n' ? ffNumber : ffFixed, 18, p);
        } else if (type == L'e') {
          piece = FloatToStrF(static_cast<double>(v), ffExponent, prec < 0 ? 15 : prec, 3);
        } else {
          piece = FloatToStrF(static_cast<double>(v), ffGeneral, prec < 0 ? 15 : prec, 3);
        }
        break;
      }
      default:
        FormatError(Fmt);
    }
    if (width > 0 && static_cast<int>(piece.size()) < width) {
      size_t pad = static_cast<size_t>(width) - piece.size();
      if (left) piece.append(pad, L' ');
      else piece.insert(0, pad, L' ');
    }
    out += piece;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Numbers

String IntToStr(int64_t Value) { return Widen(std::to_string(Value)); }
String UIntToStr(uint64_t Value) { return Widen(std::to_string(Value)); }

String IntToHexBits(uint64_t Value, int Bits, int Digits) {
  if (Bits < 64) Value &= (uint64_t(1) << Bits) - 1;
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  String r;
  do {
    r.push_back(kHex[Value & 0xF]);
    Value >>= 4;
  } while (Value);
  while (static_cast<int>(r.size()) < Digits) r.push_back(L'0');
  std::reverse(r.begin(), r.end());
  return r;
}

// Parses [blanks][sign]digits, or [sign]$hex / 0xhex. For hex, values up to
// the unsigned range of `bits` are taken and wrap into the signed type.
static bool ParseInteger(const String& S, int bits, int64_t& out) {
  size_t i = 0, n = S.size();
  while (i < n && (S[i] == L' ' || S[i] == L'\t')) ++i;
  bool neg = false;
  if (i < n && (S[i] == L'+' || S[i] == L'-')) {
    neg = S[i] == L'-';
    ++i;
  }
  bool hex = false;
  if (i < n && S[i] == L'$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && S[i] == L'0' && (S[i + 1] == L'x' || S[i + 1] == L'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  uint64_t v = 0;
  const uint64_t umax = bits == 64 ? ~uint64_t(0) : ((uint64_t(1) << bits) - 1);
  for (; i < n; ++i) {
    wchar_t c = S[i];
    unsigned d;
    if (c >= L'0' && c <= L'9') d = static_cast<unsigned>(c - L'0');
    else if (hex && c >= L'a' && c <= L'f') d = static_cast<unsigned>(c - L'a' + 10);
    else if (hex && c >= L'A' && c <= L'F') d = static_cast<unsigned>(c - L'A' + 10);
    else return false;
    unsigned base = hex ? 16 : 10;
    if (v > (umax - d) / base) return false;
    v = v * base + d;
  }
  if (hex) {
    // Two's complement wrap of the full unsigned range.
    int64_t sv;
    if (bits == 64) sv = static_cast<int64_t>(v);
    else if (v > (umax >> 1)) sv = static_cast<int64_t>(v) - static_cast<int64_t>(umax) - 1;
    else sv = static_cast<int64_t>(v);
    if (neg) {
      if (sv == std::numeric_limits<int64_t>::min()) return false;  // no positive form
      sv = -sv;
      if (bits < 64 && (sv > static_cast<int64_t>(umax >> 1) || sv < -static_cast<int64_t>(umax >> 1) - 1))
        return false;
    }
    out = sv;
    return true;
  }
  const uint64_t smax = umax >> 1;
  if (neg) {
    if (v > smax + 1) return false;
    out = v == smax + 1 ? (bits == 64 ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(v))
                        : -static_cast<int64_t>(v);
  } else {
    if (v > smax) return false;
    out = static_cast<int64_t>(v);
  }
  return true;
}

[[noreturn]] static void InvalidInteger(const String& S) {
  throw EConvertError(L"'" + S + L"' is not a valid integer value");
}

bool TryStrToInt(const String& S, int& Value) {
  int64_t v;
  if (!ParseInteger(S, 32, v)) return false;
  Value = static_cast<int>(v);
  return true;
}
int StrToInt(const String& S) {
  int v;
  if (!TryStrToInt(S, v)) InvalidInteger(S);
  return v;
}
int StrToIntDef(const String& S, int Default) {
  int v;
  return TryStrToInt(S, v) ? v : Default;
}
bool TryStrToInt64(const String& S, int64_t& Value) { return ParseInteger(S, 64, Value); }
int64_t StrToInt64(const String& S) {
  int64_t v;
  if (!ParseInteger(S, 64, v)) InvalidInteger(S);
  return v;
}
int64_t StrToInt64Def(const String& S, int64_t Default) {
  int64_t v;
  return ParseInteger(S, 64, v) ? v : Default;
}

bool TryStrToFloat(const String& S, double& Value) {
  String t = Trim(S);
  if (t.empty()) return false;
  std::string a;
  for (wchar_t c : t) {
    // The locale's decimal separator only.
    if (c == DecimalSeparator) {
      a.push_back('.');
      continue;
    }
    if (!((c >= L'0' && c <= L'9') || c == L'-' || c == L'+' || c == L'e' || c == L'E')) return false;
    a.push_back(static_cast<char>(c));
  }
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(a.c_str(), &end);
  if (end != a.c_str() + a.size() || errno == ERANGE) return false;
  Value = v;
  return true;
}
double StrToFloat(const String& S) {
  double v;
  if (!TryStrToFloat(S, v)) throw EConvertError(L"'" + S + L"' is not a valid floating point value");
  return v;
}
double StrToFloatDef(const String& S, double Default) {
  double v;
  return TryStrToFloat(S, v) ? v : Default;
}
// Decimal digits of |v|: v = 0.d1d2d3... * 10^exp10, digits without
// trailing zeros ("" for zero), rounded half away from zero to `keep`
// digits (keep <= 0: to zero or one unit of the first place).
static void RoundDigits(std::string& digits, int& exp10, int keep) {
  if (digits.empty()) return;
  if (keep < 0) {
    digits.clear();
    exp10 = 0;
    return;
  }
  if (static_cast<int>(digits.size()) > keep) {
    bool up = digits[static_cast<size_t>(keep)] >= '5';
    digits.resize(static_cast<size_t>(keep));
    if (up) {
      int i = keep - 1;
      while (i >= 0 && digits[static_cast<size_t>(i)] == '9') digits[static_cast<size_t>(i--)] = '0';
      if (i < 0) {
        digits.insert(0, "1");
        ++exp10;
      } else {
        ++digits[static_cast<size_t>(i)];
      }
    }
  }
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  if (digits.empty()) exp10 = 0;
}

static void ExactDigits(long double v, std::string& digits, int& exp10) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%.30Le", v < 0 ? -v : v);
  digits.clear();
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits.push_back(*p);
  int e = *p == 'e' ? std::atoi(p + 1) : 0;
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  exp10 = digits.empty() ? 0 : e + 1;
}

static void DecimalDigits(long double v, int prec, std::string& digits, int& exp10) {
  ExactDigits(v, digits, exp10);
  RoundDigits(digits, exp10, prec);
}

// Fixed notation of digits/exp10 with `decimals` places.
static std::string FixedText(bool neg, std::string digits, int exp10, int decimals) {
  RoundDigits(digits, exp10, exp10 + decimals);
  std::string intPart, frac;
  for (int i = 0; i < exp10; ++i) intPart.push_back(i < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(i)] : '0');
  if (intPart.empty()) intPart = "0";
  for (int i = 0; i < decimals; ++i) {
    int k = exp10 + i;
    frac.push_back(k >= 0 && k < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(k)] : '0');
  }
  std::string r = (neg && !digits.empty()) ? "-" : "";
  r += intPart;
  if (decimals > 0) r += "." + frac;
  return r;
}

static std::string ExponentText(int e, int minDigits, bool plusSign) {
  std::string num = std::to_string(e < 0 ? -e : e);
  while (static_cast<int>(num.size()) < minDigits) num.insert(0, "0");
  return std::string("E") + (e < 0 ? "-" : (plusSign ? "+" : "")) + num;
}

static std::string ScientificText(bool neg, const std::string& digits, int exp10, int prec, bool padZeros,
                                  int minExpDigits, bool plusSign) {
  std::string d = digits.empty() ? "0" : digits;
  if (padZeros)
    while (static_cast<int>(d.size()) < prec) d.push_back('0');
  std::string r = neg ? "-" : "";
  r.push_back(d[0]);
  if (d.size() > 1) r += "." + d.substr(1);
  return r + ExponentText(digits.empty() ? 0 : exp10 - 1, minExpDigits, plusSign);
}

String FloatToStrF(double Value, TFloatFormat Format, int Precision, int Digits) {
  if (std::isnan(Value)) return L"NAN";
  if (std::isinf(Value)) return Value < 0 ? L"-INF" : L"INF";
  Precision = std::clamp(Precision, 1, 18);
  Digits = std::clamp(Digits, 0, 18);
  const bool neg = std::signbit(Value) && Value != 0;
  std::string digits;
  int exp10;
  DecimalDigits(Value, Precision, digits, exp10);
  switch (Format) {
    case ffGeneral: {
      if (digits.empty()) return L"0";
      if (exp10 > Precision || std::fabs(Value) < 0.00001)
        return LocalizeNumber(Widen(ScientificText(neg, digits, exp10, Precision, false, std::min(Digits, 4), false)), false);
      std::string r = neg ? "-" : "";
      if (exp10 <= 0) {
        r += "0." + std::string(static_cast<size_t>(-exp10), '0') + digits;
      } else if (static_cast<int>(digits.size()) <= exp10) {
        r += digits + std::string(static_cast<size_t>(exp10) - digits.size(), '0');
      } else {
        r += digits.substr(0, static_cast<size_t>(exp10)) + "." + digits.substr(static_cast<size_t>(exp10));
      }
      return LocalizeNumber(Widen(r), false);
    }
    case ffExponent:
      return LocalizeNumber(Widen(ScientificText(neg, digits, exp10, Precision, true, std::min(Digits, 4), true)), false);
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
      if (exp10 > Precision)
        return LocalizeNumber(Widen(ScientificText(neg, digits, exp10, Precision, false, 0, false)), false);
      std::string exact;
      int e;
      ExactDigits(Value, exact, e);
      RoundDigits(exact, e, Precision);
      return LocalizeNumber(Widen(FixedText(neg, exact, e, Digits)), Format != ffFixed);
    }
  }
  return String();
}

String FloatToStr(double Value) { return FloatToStrF(Value, ffGeneral, 15, 0); }

bool StrToBoolDef(const String& S, bool Default) {
  if (SameText(S, L"True")) return true;
  if (SameText(S, L"False")) return false;
  double d;
  if (TryStrToFloat(S, d)) return d != 0;
  return Default;
}
bool StrToBool(const String& S) {
  if (SameText(S, L"True")) return true;
  if (SameText(S, L"False")) return false;
  double d;
  if (TryStrToFloat(S, d)) return d != 0;
  throw EConvertError(L"'" + S + L"' is not a valid boolean value");
}
String BoolToStr(bool B, bool UseBoolStrs) {
  if (UseBoolStrs) return B ? L"True" : L"False";
  return B ? L"-1" : L"0";
}

// ---------------------------------------------------------------------------
// Comparison and case

static wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? wchar_t(c - 32) : c; }
static wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

static int Sign(int64_t d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

int CompareStr(const String& S1, const String& S2) {
  size_t n = std::min(S1.size(), S2.size());
  for (size_t i = 0; i < n; ++i)
    if (S1[i] != S2[i]) return S1[i] < S2[i] ? -1 : 1;
  return Sign(static_cast<int64_t>(S1.size()) - static_cast<int64_t>(S2.size()));
}
int CompareText(const String& S1, const String& S2) {
  size_t n = std::min(S1.size(), S2.size());
  for (size_t i = 0; i < n; ++i) {
    wchar_t a = AsciiUpper(S1[i]), b = AsciiUpper(S2[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  return Sign(static_cast<int64_t>(S1.size()) - static_cast<int64_t>(S2.size()));
}
bool SameText(const String& S1, const String& S2) {
  return S1.size() == S2.size() && CompareText(S1, S2) == 0;
}
bool SameStr(const String& S1, const String& S2) { return S1 == S2; }

String UpperCase(const String& S) {
  String r(S);
  for (auto& c : r) c = AsciiUpper(c);
  return r;
}
String LowerCase(const String& S) {
  String r(S);
  for (auto& c : r) c = AsciiLower(c);
  return r;
}
String AnsiUpperCase(const String& S) {
  String r(S);
#ifdef _WIN32
  if (!r.empty()) CharUpperBuffW(r.data(), static_cast<DWORD>(r.size()));
#else
  for (auto& c : r) {
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<wchar_t>(c - 0x20);
    else if (c == 0xFF) c = static_cast<wchar_t>(0x178);
    else c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  }
#endif
  return r;
}
String AnsiLowerCase(const String& S) {
  String r(S);
#ifdef _WIN32
  if (!r.empty()) CharLowerBuffW(r.data(), static_cast<DWORD>(r.size()));
#else
  for (auto& c : r) {
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<wchar_t>(c + 0x20);
    else if (c == 0x178) c = static_cast<wchar_t>(0xFF);
    else c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  }
#endif
  return r;
}
int AnsiCompareStr(const String& S1, const String& S2) {
#ifdef _WIN32
  int r = CompareStringW(LOCALE_USER_DEFAULT, 0, S1.data(), static_cast<int>(S1.size()), S2.data(),
                         static_cast<int>(S2.size()));
  if (r != 0) return r - 2;
#endif
  return CompareStr(S1, S2);
}
int AnsiCompareText(const String& S1, const String& S2) {
#ifdef _WIN32
  int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, S1.data(), static_cast<int>(S1.size()),
                         S2.data(), static_cast<int>(S2.size()));
  if (r != 0) return r - 2;
#endif
  return CompareStr(AnsiUpperCase(S1), AnsiUpperCase(S2));
}
bool AnsiSameText(const String& S1, const String& S2) { return AnsiCompareText(S1, S2) == 0; }

String TrimLeft(const String& S) {
  size_t i = 0;
  while (i < S.size() && S[i] <= L' ') ++i;
  return S.substr(i);
}
String TrimRight(const String& S) {
  size_t n = S.size();
  while (n > 0 && S[n - 1] <= L' ') --n;
  return S.substr(0, n);
}
String Trim(const String& S) { return TrimRight(TrimLeft(S)); }

String AnsiQuotedStr(const String& S, wchar_t Quote) {
  String r(1, Quote);
  for (wchar_t c : S) {
    r.push_back(c);
    if (c == Quote) r.push_back(Quote);
  }
  r.push_back(Quote);
  return r;
}
String QuotedStr(const String& S) { return AnsiQuotedStr(S, L'\''); }

String AnsiExtractQuotedStr(const String& S, size_t& Pos, wchar_t Quote) {
  if (Pos >= S.size() || S[Pos] != Quote) return String();
  String r;
  size_t i = Pos + 1;
  while (i < S.size()) {
    if (S[i] == Quote) {
      if (i + 1 < S.size() && S[i + 1] == Quote) {
        r.push_back(Quote);
        i += 2;
        continue;
      }
      ++i;  // closing quote
      Pos = i;
      return r;
    }
    r.push_back(S[i]);
    ++i;
  }
  Pos = i;  // unterminated: the rest of the text
  return r;
}
String AnsiDequotedStr(const String& S, wchar_t Quote) {
  size_t p = 0;
  if (S.empty() || S[0] != Quote) return S;
  size_t start = p;
  String r = AnsiExtractQuotedStr(S, p, Quote);
  (void)start;
  // Not a complete quoted string: give the text back unchanged.
  if (p != S.size() || S.size() < 2 || S.back() != Quote) return S;
  return r;
}

String StringReplace(const String& S, const String& OldPattern, const String& NewPattern, int Flags) {
  if (OldPattern.empty()) return S;
  const bool all = (Flags & rfReplaceAll) != 0;
  const bool ic = (Flags & rfIgnoreCase) != 0;
  const String hay = ic ? AnsiUpperCase(S) : S;
  const String pat = ic ? AnsiUpperCase(OldPattern) : OldPattern;
  String r;
  size_t from = 0;
  while (true) {
    size_t p = hay.find(pat, from);
    if (p == String::npos) break;
    r.append(S, from, p - from);
    r += NewPattern;
    from = p + pat.size();
    if (!all) break;
  }
  r.append(S, from, String::npos);
  return r;
}

int Pos(const String& Sub, const String& S, int Offset) {
  if (Sub.empty() || Offset < 1 || static_cast<size_t>(Offset) > S.size()) return 0;
  size_t p = S.find(Sub, static_cast<size_t>(Offset - 1));
  return p == String::npos ? 0 : static_cast<int>(p) + 1;
}
String Copy(const String& S, int Index, int Count) {
  if (Index < 1) Index = 1;
  if (Count <= 0 || static_cast<size_t>(Index) > S.size()) return String();
  return S.substr(static_cast<size_t>(Index - 1), static_cast<size_t>(Count));
}
String StringOfChar(wchar_t Ch, int Count) { return Count > 0 ? String(static_cast<size_t>(Count), Ch) : String(); }
bool StartsText(const String& Sub, const String& S) {
  return Sub.size() <= S.size() && AnsiSameText(Sub, S.substr(0, Sub.size()));
}
bool EndsText(const String& Sub, const String& S) {
  return Sub.size() <= S.size() && AnsiSameText(Sub, S.substr(S.size() - Sub.size()));
}

// ---------------------------------------------------------------------------
// File names

#ifdef _WIN32
const wchar_t PathDelim = L'\\';
static bool IsDelim(wchar_t c) { return c == L'\\' || c == L'/'; }
static bool IsPathStop(wchar_t c) { return IsDelim(c) || c == L':'; }
#else
const wchar_t PathDelim = L'/';
static bool IsDelim(wchar_t c) { return c == L'\\' || c == L'/'; }
static bool IsPathStop(wchar_t c) { return IsDelim(c); }
#endif

static size_t LastPathStop(const String& s) {
  for (size_t i = s.size(); i > 0; --i)
    if (IsPathStop(s[i - 1])) return i - 1;
  return String::npos;
}

String ExtractFilePath(const String& FileName) {
  size_t p = LastPathStop(FileName);
  return p == String::npos ? String() : FileName.substr(0, p + 1);
}
String ExtractFileDir(const String& FileName) {
  size_t p = LastPathStop(FileName);
  if (p == String::npos) return String();
  // Keep the delimiter of a root ("C:\", "\").
  if (p > 0 && IsDelim(FileName[p]) && !IsPathStop(FileName[p - 1])) return FileName.substr(0, p);
  return FileName.substr(0, p + 1);
}
String ExtractFileName(const String& FileName) {
  size_t p = LastPathStop(FileName);
  return p == String::npos ? FileName : FileName.substr(p + 1);
}
String ExtractFileExt(const String& FileName) {
  for (size_t i = FileName.size(); i > 0; --i) {
    wchar_t c = FileName[i - 1];
    if (c == L'.') return FileName.substr(i - 1);
    if (IsPathStop(c)) break;
  }
  return String();
}
String ChangeFileExt(const String& FileName, const String& Extension) {
  String ext = ExtractFileExt(FileName);
  return FileName.substr(0, FileName.size() - ext.size()) + Extension;
}
String IncludeTrailingPathDelimiter(const String& S) {
  if (!S.empty() && IsDelim(S.back())) return S;
  return S + PathDelim;
}
String ExcludeTrailingPathDelimiter(const String& S) {
  if (!S.empty() && IsDelim(S.back())) return S.substr(0, S.size() - 1);
  return S;
}

#ifndef _WIN32
static std::string HostPath(const String& s) { return WideToUtf8(s); }
#endif

bool FileExists(const String& FileName) {
  if (FileName.empty()) return false;
#ifdef _WIN32
  DWORD a = GetFileAttributesW(FileName.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return stat(HostPath(FileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
#endif
}
bool DirectoryExists(const String& Directory) {
  if (Directory.empty()) return false;
#ifdef _WIN32
  DWORD a = GetFileAttributesW(Directory.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
  struct stat st;
  return stat(HostPath(Directory).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}
bool DeleteFile(const String& FileName) {
#ifdef _WIN32
  return DeleteFileW(FileName.c_str()) != 0;
#else
  return unlink(HostPath(FileName).c_str()) == 0;
#endif
}
bool RenameFile(const String& OldName, const String& NewName) {
#ifdef _WIN32
  return MoveFileW(OldName.c_str(), NewName.c_str()) != 0;
#else
  // Like the Windows call: an existing target is not replaced.
  if (FileExists(NewName) || DirectoryExists(NewName)) return false;
  return std::rename(HostPath(OldName).c_str(), HostPath(NewName).c_str()) == 0;
#endif
}
bool CreateDir(const String& Dir) {
#ifdef _WIN32
  return CreateDirectoryW(Dir.c_str(), nullptr) != 0;
#else
  return mkdir(HostPath(Dir).c_str(), 0777) == 0;
#endif
}
bool ForceDirectories(const String& Dir) {
  String d = ExcludeTrailingPathDelimiter(Dir);
  if (d.empty()) return false;
  if (DirectoryExists(d)) return true;
  String parent = ExtractFileDir(d);
  if (!parent.empty() && parent != d && !DirectoryExists(parent) && !ForceDirectories(parent)) return false;
  return CreateDir(d) || DirectoryExists(d);
}
bool RemoveDir(const String& Dir) {
#ifdef _WIN32
  return RemoveDirectoryW(Dir.c_str()) != 0;
#else
  return rmdir(HostPath(Dir).c_str()) == 0;
#endif
}
String GetCurrentDir() {
#ifdef _WIN32
  DWORD n = GetCurrentDirectoryW(0, nullptr);
  String r(n, L'\0');
  n = GetCurrentDirectoryW(n, r.data());
  r.resize(n);
  return r;
#else
  char buf[4096];
  if (!getcwd(buf, sizeof buf)) return String();
  return Utf8ToWide(buf);
#endif
}
String GetTempDirectory() {
#ifdef _WIN32
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  return IncludeTrailingPathDelimiter(String(buf, n));
#else
  const char* t = std::getenv("TMPDIR");
  return IncludeTrailingPathDelimiter(Utf8ToWide(t && *t ? t : "/tmp"));
#endif
}
String ExpandFileName(const String& FileName) {
#ifdef _WIN32
  DWORD n = GetFullPathNameW(FileName.c_str(), 0, nullptr, nullptr);
  if (n == 0) return FileName;
  String r(n, L'\0');
  n = GetFullPathNameW(FileName.c_str(), n, r.data(), nullptr);
  r.resize(n);
  return r;
#else
  if (!FileName.empty() && FileName[0] == L'/') return FileName;
  return IncludeTrailingPathDelimiter(GetCurrentDir()) + FileName;
#endif
}
int64_t FileSizeOf(const String& FileName) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(FileName.c_str(), GetFileExInfoStandard, &d)) return -1;
  return (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
#else
  struct stat st;
  if (stat(HostPath(FileName).c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
#endif
}

// ---------------------------------------------------------------------------
// Dates

bool IsLeapYear(int Year) { return (Year % 4 == 0) && (Year % 100 != 0 || Year % 400 == 0); }
int DaysInMonth(int Year, int Month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (Month < 1 || Month > 12) return 0;
  return kDays[Month - 1] + (Month == 2 && IsLeapYear(Year) ? 1 : 0);
}

// Days from 0001-01-01 to the given date (proleptic Gregorian).
static int64_t DayNumber(int y, int m, int d) {
  int64_t days = d - 1;
  for (int i = 1; i < m; ++i) days += DaysInMonth(y, i);
  int64_t py = y - 1;
  days += py * 365 + py / 4 - py / 100 + py / 400;
  return days;
}
static const int64_t kDelphiEpoch = DayNumber(1899, 12, 30);

bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Date) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInMonth(Year, Month))
    return false;
  Date = static_cast<double>(DayNumber(Year, Month, Day) - kDelphiEpoch);
  return true;
}
TDateTime EncodeDate(int Year, int Month, int Day) {
  TDateTime d;
  if (!TryEncodeDate(Year, Month, Day, d)) throw EConvertError(String(L"Invalid argument to date encode"));
  return d;
}
TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec) {
  if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 || MSec > 999)
    throw EConvertError(String(L"Invalid argument to time encode"));
  return (((Hour * 60.0 + Min) * 60.0 + Sec) * 1000.0 + MSec) / 86400000.0;
}
void DecodeDate(TDateTime Date, int& Year, int& Month, int& Day) {
  int64_t n = static_cast<int64_t>(std::floor(Date)) + kDelphiEpoch;
  if (n < 0) {
    Year = Month = Day = 0;
    return;
  }
  int64_t y = (n * 400) / 146097 + 1;
  while (DayNumber(static_cast<int>(y), 1, 1) > n) --y;
  while (DayNumber(static_cast<int>(y) + 1, 1, 1) <= n) ++y;
  int64_t rest = n - DayNumber(static_cast<int>(y), 1, 1);
  int m = 1;
  while (rest >= DaysInMonth(static_cast<int>(y), m)) {
    rest -= DaysInMonth(static_cast<int>(y), m);
    ++m;
  }
  Year = static_cast<int>(y);
  Month = m;
  Day = static_cast<int>(rest) + 1;
}
void DecodeTime(TDateTime Time, int& Hour, int& Min, int& Sec, int& MSec) {
  double frac = std::fabs(Time - std::trunc(Time));
  int64_t ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
  if (ms >= 86400000) ms = 86399999;
  Hour = static_cast<int>(ms / 3600000);
  Min = static_cast<int>(ms / 60000 % 60);
  Sec = static_cast<int>(ms / 1000 % 60);
  MSec = static_cast<int>(ms % 1000);
}
TDateTime Now() {
#ifdef _WIN32
  SYSTEMTIME st;
  GetLocalTime(&st);
  return EncodeDate(st.wYear, st.wMonth, st.wDay) + EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
#else
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
         EncodeTime(tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), ms);
#endif
}
TDateTime Date() { return std::floor(Now()); }
TDateTime Time() {
  TDateTime n = Now();
  return n - std::floor(n);
}
int DayOfWeek(TDateTime Date) {
  int64_t days = static_cast<int64_t>(std::floor(Date));
  // 1899-12-30 was a Saturday.
  int64_t r = ((days + 6) % 7 + 7) % 7;
  return static_cast<int>(r) + 1;
}

// ---------------------------------------------------------------------------
// Locale settings

wchar_t DecimalSeparator = L'.';
wchar_t ThousandSeparator = L',';
wchar_t DateSeparator = L'/';
wchar_t TimeSeparator = L':';
String ShortDateFormat = L"M/d/yyyy";
String LongDateFormat = L"dddd, MMMM d, yyyy";
String ShortTimeFormat = L"h:mm AMPM";
String LongTimeFormat = L"h:mm:ss AMPM";
String TimeAMString = L"AM";
String TimePMString = L"PM";
String ShortMonthNames[12] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                              L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
String LongMonthNames[12] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                             L"July",    L"August",   L"September", L"October", L"November", L"December"};
String ShortDayNames[7] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
String LongDayNames[7] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};

#ifdef _WIN32
static String LocaleText(LCTYPE type, const String& fallback) {
  wchar_t buf[256];
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buf, 256);
  return n > 1 ? String(buf, static_cast<size_t>(n - 1)) : fallback;
}
// The locale's time picture uses "tt" for the AM/PM text.
static String TimePicture(const String& s) {
  String r = StringReplace(s, L"tt", L"AMPM", rfReplaceAll);
  return StringReplace(r, L"t", L"", rfReplaceAll);
}
#endif

void GetFormatSettings() {
#ifdef _WIN32
  auto ch = [](LCTYPE t, wchar_t def) {
    String s = LocaleText(t, String(1, def));
    return s.empty() ? def : s[0];
  };
  DecimalSeparator = ch(LOCALE_SDECIMAL, L'.');
  ThousandSeparator = ch(LOCALE_STHOUSAND, L',');
  DateSeparator = ch(LOCALE_SDATE, L'/');
  TimeSeparator = ch(LOCALE_STIME, L':');
  ShortDateFormat = LocaleText(LOCALE_SSHORTDATE, ShortDateFormat);
  LongDateFormat = LocaleText(LOCALE_SLONGDATE, LongDateFormat);
  String t = LocaleText(LOCALE_STIMEFORMAT, L"");
  if (!t.empty()) {
    LongTimeFormat = TimePicture(t);
    // The short form drops the seconds.
    String shortT = StringReplace(t, L":ss", L"", rfReplaceAll);
    shortT = StringReplace(shortT, L".ss", L"", rfReplaceAll);
    ShortTimeFormat = TimePicture(shortT);
  }
  TimeAMString = LocaleText(LOCALE_S1159, TimeAMString);
  TimePMString = LocaleText(LOCALE_S2359, TimePMString);
  for (int i = 0; i < 12; ++i) {
    ShortMonthNames[i] = LocaleText(LOCALE_SABBREVMONTHNAME1 + i, ShortMonthNames[i]);
    LongMonthNames[i] = LocaleText(LOCALE_SMONTHNAME1 + i, LongMonthNames[i]);
  }
  for (int i = 0; i < 7; ++i) {
    // The locale counts from Monday; our tables from Sunday.
    int li = (i + 6) % 7;
    ShortDayNames[i] = LocaleText(LOCALE_SABBREVDAYNAME1 + li, ShortDayNames[i]);
    LongDayNames[i] = LocaleText(LOCALE_SDAYNAME1 + li, LongDayNames[i]);
  }
#endif
}

namespace {
struct TFormatSettingsInit {
  TFormatSettingsInit() { GetFormatSettings(); }
} g_formatSettingsInit;
}  // namespace

static void AppendDateTime(String& out, const String& fmt, TDateTime dt, int depth) {
  if (depth > 2) return;  // c, ddddd and t formats can't nest further
  int y, mo, d, h, n, sec, ms;
  DecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, n, sec, ms);
  auto two = [](int v) { return Format(L"%.2d", v); };
  // Whether the format shows AM/PM: then hours run 1..12.
  bool twelve = false;
  {
    String u = UpperCase(fmt);
    twelve = u.find(L"AM/PM") != String::npos || u.find(L"A/P") != String::npos ||
             u.find(L"AMPM") != String::npos;
  }
  bool lastWasHour = false;
  size_t i = 0;
  const size_t len = fmt.size();
  auto count = [&](wchar_t c) {
    size_t k = i;
    while (k < len && AsciiUpper(fmt[k]) == c) ++k;
    return static_cast<int>(k - i);
  };
  auto startsWith = [&](const wchar_t* w) {
    size_t wl = std::wcslen(w);
    return i + wl <= len && SameText(fmt.substr(i, wl), w);
  };
  while (i < len) {
    wchar_t c = AsciiUpper(fmt[i]);
    if (c == L'\'' || c == L'"') {
      size_t close = fmt.find(fmt[i], i + 1);
      size_t end = close == String::npos ? len : close;
      out.append(fmt, i + 1, end - i - 1);
      i = close == String::npos ? len : close + 1;
      continue;
    }
    if (startsWith(L"AM/PM")) {
      out += h < 12 ? (std::iswlower(fmt[i]) ? L"am" : L"AM") : (std::iswlower(fmt[i]) ? L"pm" : L"PM");
      i += 5;
      continue;
    }
    if (startsWith(L"A/P")) {
      out += h < 12 ? (std::iswlower(fmt[i]) ? L"a" : L"A") : (std::iswlower(fmt[i]) ? L"p" : L"P");
      i += 3;
      continue;
    }
    if (startsWith(L"AMPM")) {
      out += h < 12 ? TimeAMString : TimePMString;
      i += 4;
      continue;
    }
    int k;
    switch (c) {
      case L'Y':
        k = count(L'Y');
        out += k <= 2 ? two(y % 100) : Format(L"%.4d", y);
        i += static_cast<size_t>(k);
        lastWasHour = false;
        continue;
      case L'M':
        k = count(L'M');
        if (lastWasHour && k <= 2) {
          out += k == 1 ? IntToStr(n) : two(n);
        } else if (k == 1) {
          out += IntToStr(mo);
        } else if (k == 2) {
          out += two(mo);
        } else if (k == 3) {
          out += ShortMonthNames[mo - 1];
        } else {
          out += LongMonthNames[mo - 1];
        }
        i += static_cast<size_t>(k);
        lastWasHour = false;
        continue;
      case L'D':
        k = count(L'D');
        if (k == 1) out += IntToStr(d);
        else if (k == 2) out += two(d);
        else if (k == 3) out += ShortDayNames[DayOfWeek(dt) - 1];
        else if (k == 4) out += LongDayNames[DayOfWeek(dt) - 1];
        else if (k == 5) AppendDateTime(out, ShortDateFormat, dt, depth + 1);
        else AppendDateTime(out, LongDateFormat, dt, depth + 1);
        i += static_cast<size_t>(k);
        lastWasHour = false;
        continue;
      case L'H': {
        k = count(L'H');
        int hh = h;
        if (twelve) {
          hh = h % 12;
          if (hh == 0) hh = 12;
        }
        out += k == 1 ? IntToStr(hh) : two(hh);
        i += static_cast<size_t>(k);
        lastWasHour = true;
        continue;
      }
      case L'N':
        k = count(L'N');
        out += k == 1 ? IntToStr(n) : two(n);
        i += static_cast<size_t>(k);
        lastWasHour = false;
        continue;
      case L'S':
        k = count(L'S');
        out += k == 1 ? IntToStr(sec) : two(sec);
        i += static_cast<size_t>(k);
        lastWasHour = false;
        continue;
      case L'Z':
        k = count(L'Z');
        out += k == 1 ? IntToStr(ms) : Format(L"%.3d", ms);
        i += static_cast<size_t>(k);
        lastWasHour = false;
        continue;
      case L'T':
        k = count(L'T');
        AppendDateTime(out, k == 1 ? ShortTimeFormat : LongTimeFormat, dt, depth + 1);
        i += static_cast<size_t>(k);
        lastWasHour = false;
        continue;
      case L'C':
        AppendDateTime(out, ShortDateFormat, dt, depth + 1);
        if (dt != std::floor(dt)) {
          out.push_back(L' ');
          AppendDateTime(out, LongTimeFormat, dt, depth + 1);
        }
        ++i;
        lastWasHour = false;
        continue;
      case L'/':
        out.push_back(DateSeparator);
        ++i;
        continue;
      case L':':
        out.push_back(TimeSeparator);
        ++i;
        continue;
      default:
        out.push_back(fmt[i]);
        ++i;
        // Blanks and separators keep "h:m" meaning minutes.
        if (c != L' ' && c != L'.' && c != L'-') lastWasHour = false;
        continue;
    }
  }
}

String FormatDateTime(const String& Format, TDateTime DateTime) {
  String out;
  AppendDateTime(out, Format.empty() ? String(L"c") : Format, DateTime, 0);
  return out;
}

String DateToStr(TDateTime Date) { return FormatDateTime(ShortDateFormat, Date); }
String TimeToStr(TDateTime Time) { return FormatDateTime(LongTimeFormat, Time); }
String DateTimeToStr(TDateTime DateTime) { return FormatDateTime(L"c", DateTime); }

// Core text types, the exception base and the text helpers shared by every
// module. Portable: builds for Windows (mingw) and natively on the host.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
// Included here once so that the macros it defines for names this library
// also uses (DeleteFile) can be removed for every file that includes us.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef DeleteFile
#endif

// Text of the Windows side: UTF-16 on Windows (wchar_t is 16 bits there).
using String = std::wstring;
// 8-bit text in the ANSI code page (1252 in the host build).
using AnsiString = std::string;

// The code address an exception is raised at. Taken by a default argument
// of Exception's constructors, so it is an address in the code that makes
// the exception (just after the point where it is made), not one inside
// the exception classes.
struct TRaiseSite {
  const void* Address = nullptr;
  // The return address of this call: an address in the calling code.
  [[gnu::noinline]] static TRaiseSite Caller() noexcept;
};

// Base of every exception the system raises. The message is wide text.
class Exception : public std::exception {
 public:
  Exception(TRaiseSite At = TRaiseSite::Caller()) : raiseAddress_(At.Address) {}
  explicit Exception(String message, TRaiseSite At = TRaiseSite::Caller());
  explicit Exception(const AnsiString& ansiMessage, TRaiseSite At = TRaiseSite::Caller());  // ANSI code page
  explicit Exception(const char* ansiMessage, TRaiseSite At = TRaiseSite::Caller());
  Exception(const Exception&) = default;
  Exception& operator=(const Exception&) = default;
  ~Exception() override;

  const String& Message() const { return message_; }
  void SetMessage(String m);
  // Message in UTF-8 for std::exception users and logs.
  const char* what() const noexcept override;
  // The code address the exception was raised at (see TRaiseSite); copies
  // (Clone, Raise, catching by value) keep it. A helper that raises on
  // behalf of its caller sets the caller's address instead.
  const void* RaiseAddress() const { return raiseAddress_; }
  void SetRaiseAddress(const void* Address) { raiseAddress_ = Address; }

  // Polymorphic copy and rethrow, so an exception can be captured on one
  // thread (or in a callback) and raised again elsewhere.
  virtual Exception* Clone() const { return new Exception(*this); }
  [[noreturn]] virtual void Raise() const { throw *this; }
  virtual const char* ClassName() const { return "Exception"; }

 private:
  String message_;
  mutable std::string utf8_;
  const void* raiseAddress_ = nullptr;
};

// Declares an exception class deriving from Base with Clone/Raise/ClassName.
#define ZEMBRIO_DECLARE_EXCEPTION(E, Base)                              \
  class E : public Base {                                              \
   public:                                                             \
    using Base::Base;                                                  \
    Exception* Clone() const override { return new E(*this); }         \
    [[noreturn]] void Raise() const override { throw *this; }          \
    const char* ClassName() const override { return #E; }              \
  };

ZEMBRIO_DECLARE_EXCEPTION(EAbort, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EConvertError, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EInvalidOperation, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EInvalidPointer, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EOutOfMemory, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EListError, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EStringListError, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EStreamError, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EFCreateError, EStreamError)
ZEMBRIO_DECLARE_EXCEPTION(EFOpenError, EStreamError)
ZEMBRIO_DECLARE_EXCEPTION(EReadError, EStreamError)
ZEMBRIO_DECLARE_EXCEPTION(EWriteError, EStreamError)
ZEMBRIO_DECLARE_EXCEPTION(EResNotFound, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EOSError, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EAbstractError, Exception)

// Raises EAbstractError "Abstract Error": the body of a virtual operation
// that a derived class must supply.
[[noreturn]] void AbstractError();

// Raises EAbort (the silent exception).
[[noreturn]] void Abort();

// ANSI code page <-> UTF-16. On Windows these use the system's ANSI code
// page (CP_ACP); the host build uses a built-in code page 1252 table.
// `lossy` (optional) is set when a character had no ANSI form.
AnsiString WideToAnsi(std::wstring_view s, bool* lossy = nullptr);
String AnsiToWide(std::string_view s);
// UTF-8 <-> wide, strict: malformed input becomes U+FFFD.
std::string WideToUtf8(std::wstring_view s);
String Utf8ToWide(std::string_view s);

// ---------------------------------------------------------------------------
// Routing of exceptions that must not unwind through a system callback.

// Installed by the application object: receives every exception that a
// window procedure, hook or other callback caught. Without a hook, the
// message goes to the debug output (EAbort is always silent there).
using TExceptionHandlerHook = void (*)(const Exception& E);
extern TExceptionHandlerHook ApplicationHandleExceptionHook;

// Call only inside a catch block: hands the exception being handled to
// ApplicationHandleExceptionHook, turning a std::exception or anything
// else into an Exception first. Never throws.
void HandleCurrentException() noexcept;

// Runs f; any exception that escapes goes to HandleCurrentException.
// Returns false when f raised.
template <class F>
bool CallProtected(F&& f) noexcept {
  try {
    f();
    return true;
  } catch (...) {
    HandleCurrentException();
    return false;
  }
}

// Runs f and returns its result, or `failed` when it raised (the exception
// goes to HandleCurrentException). For window procedures and hooks.
template <class R, class F>
R CallProtectedResult(R failed, F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    HandleCurrentException();
    return failed;
  }
}

// Raises EOSError with the system's text for an error code (Windows: the
// message table; host: strerror).
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseOSError(unsigned long ErrorCode);
String SysErrorMessage(unsigned long ErrorCode);

// ---------------------------------------------------------------------------
// Format: %[index:][-][width][.prec]type with type d u x s f e g n p c;
// width and precision may be '*'. Raises EConvertError on a bad format or
// an argument of the wrong kind.

struct TFormatArg {
  enum Kind { kInt, kUInt, kFloat, kString, kPointer, kChar } kind = kInt;
  int64_t i = 0;
  uint64_t u = 0;
  long double f = 0;
  String s;
  const void* p = nullptr;
  TFormatArg(bool v) : kind(kInt), i(v ? 1 : 0) {}
  TFormatArg(int v) : kind(kInt), i(v) {}
  TFormatArg(long v) : kind(kInt), i(v) {}
  TFormatArg(long long v) : kind(kInt), i(v) {}
  TFormatArg(short v) : kind(kInt), i(v) {}
  TFormatArg(unsigned v) : kind(kUInt), u(v) {}
  TFormatArg(unsigned long v) : kind(kUInt), u(v) {}
  TFormatArg(unsigned long long v) : kind(kUInt), u(v) {}
  TFormatArg(unsigned short v) : kind(kUInt), u(v) {}
  TFormatArg(float v) : kind(kFloat), f(v) {}
  TFormatArg(double v) : kind(kFloat), f(v) {}
  TFormatArg(long double v) : kind(kFloat), f(v) {}
  TFormatArg(wchar_t v) : kind(kChar), s(1, v) {}
  TFormatArg(char v);  // ANSI character
  TFormatArg(const String& v) : kind(kString), s(v) {}
  TFormatArg(std::wstring_view v) : kind(kString), s(v) {}
  TFormatArg(const wchar_t* v) : kind(kString), s(v ? v : L"") {}
  TFormatArg(const AnsiString& v);  // ANSI code page
  TFormatArg(const char* v);         // ANSI code page
  TFormatArg(const void* v) : kind(kPointer), p(v) {}
  TFormatArg(std::nullptr_t) : kind(kPointer), p(nullptr) {}
};

String FormatArgs(const String& Fmt, const TFormatArg* Args, size_t Count);

template <class... A>
String Format(const String& Fmt, const A&... args) {
  if constexpr (sizeof...(A) == 0) {
    return FormatArgs(Fmt, nullptr, 0);
  } else {
    const TFormatArg list[] = {TFormatArg(args)...};
    return FormatArgs(Fmt, list, sizeof...(A));
  }
}

// ---------------------------------------------------------------------------
// Numbers and text.

String IntToStr(int64_t Value);
String UIntToStr(uint64_t Value);
// Upper-case hex, at least Digits digits (of the two's complement for
// negative values, as wide as the value's type needs).
String IntToHexBits(uint64_t Value, int Bits, int Digits);
inline String IntToHex(int Value, int Digits) { return IntToHexBits(static_cast<unsigned>(Value), 32, Digits); }
inline String IntToHex(unsigned Value, int Digits) { return IntToHexBits(Value, 32, Digits); }
inline String IntToHex(long Value, int Digits) {
  return IntToHexBits(static_cast<unsigned long>(Value), 8 * sizeof(long), Digits);
}
inline String IntToHex(unsigned long Value, int Digits) { return IntToHexBits(Value, 8 * sizeof(long), Digits); }
inline String IntToHex(long long Value, int Digits) {
  return IntToHexBits(static_cast<unsigned long long>(Value), 64, Digits);
}
inline String IntToHex(unsigned long long Value, int Digits) { return IntToHexBits(Value, 64, Digits); }
// Decimal, or hexadecimal after "$" or "0x"; surrounding blanks are
// allowed; overflow and junk raise EConvertError
// "'%s' is not a valid integer value".
int StrToInt(const String& S);
int StrToIntDef(const String& S, int Default);
bool TryStrToInt(const String& S, int& Value);
int64_t StrToInt64(const String& S);
int64_t StrToInt64Def(const String& S, int64_t Default);
bool TryStrToInt64(const String& S, int64_t& Value);
// Floating point with '.' as decimal separator.
double StrToFloat(const String& S);
double StrToFloatDef(const String& S, double Default);
bool TryStrToFloat(const String& S, double& Value);
// Float formats: ffGeneral (shortest of fixed and scientific, Precision
// significant digits, trailing zeros dropped; scientific when the integer
// part has more than Precision digits or the value is below 0.00001, with
// at least Digits exponent digits), ffExponent ("d.dddE+xxx": Precision
// digits, at least Digits exponent digits), ffFixed and ffNumber (Digits
// decimals; ffNumber with thousands separators; scientific when the integer
// part has more than Precision digits).
enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
String FloatToStrF(double Value, TFloatFormat Format, int Precision, int Digits);
String FloatToStr(double Value);  // ffGeneral, 15 digits
bool StrToBool(const String& S);  // "0"/"1"/numbers, "True"/"False"
bool StrToBoolDef(const String& S, bool Default);
String BoolToStr(bool B, bool UseBoolStrs = false);  // "-1"/"0" or "True"/"False"

// Ordinal comparison: negative, zero or positive.
int CompareStr(const String& S1, const String& S2);
// Comparison ignoring the case of A-Z only.
int CompareText(const String& S1, const String& S2);
bool SameText(const String& S1, const String& S2);
bool SameStr(const String& S1, const String& S2);
// A-Z / a-z only.
String UpperCase(const String& S);
String LowerCase(const String& S);
// Every letter (the system's case mapping).
String AnsiUpperCase(const String& S);
String AnsiLowerCase(const String& S);
// A file name lowered for comparing (file names compare without case here).
inline String AnsiLowerCaseFileName(const String& S) { return AnsiLowerCase(S); }
// Comparison by the user's locale (Windows) or by character code (host).
int AnsiCompareStr(const String& S1, const String& S2);
int AnsiCompareText(const String& S1, const String& S2);
bool AnsiSameText(const String& S1, const String& S2);
// Removes characters up to ' ' (control characters and space).
String Trim(const String& S);
String TrimLeft(const String& S);
String TrimRight(const String& S);
// Wraps S in Quote, doubling any Quote inside.
String QuotedStr(const String& S);
String AnsiQuotedStr(const String& S, wchar_t Quote);
// Reads a quoted string starting at S[Pos] (the quote); advances Pos past
// the closing quote (or to the end). Returns S[Pos] itself when it is no
// quote.
String AnsiExtractQuotedStr(const String& S, size_t& Pos, wchar_t Quote);
String AnsiDequotedStr(const String& S, wchar_t Quote);

enum TReplaceFlag { rfReplaceAll = 1, rfIgnoreCase = 2 };
String StringReplace(const String& S, const String& OldPattern,
                     const String& NewPattern, int Flags);
// 1-based position of Sub in S from Offset (1-based), 0 when absent.
int Pos(const String& Sub, const String& S, int Offset = 1);
// 1-based substring, clamped to the string.
String Copy(const String& S, int Index, int Count);
String StringOfChar(wchar_t Ch, int Count);
bool StartsText(const String& Sub, const String& S);
bool EndsText(const String& Sub, const String& S);

// ---------------------------------------------------------------------------
// Frees the object Obj points to (nothing for null), clearing Obj first:
// whatever runs while the object is destroyed finds the variable empty.
template <class T>
void FreeAndNil(T*& Obj) {
  T* Temp = Obj;
  Obj = nullptr;
  delete Temp;
}

// ---------------------------------------------------------------------------
// The command line: ParamStr(0) is the program's own full path, 1 to
// ParamCount() its arguments (quotes and backslashes read as the system's
// programs read them); an index out of range gives the empty text.
int ParamCount();
String ParamStr(int Index);
// The arguments of a command line (without the program's own name).
std::vector<String> SplitCommandLine(const String& CommandLine);

// ---------------------------------------------------------------------------
// File names and files. Both '\\' and (on the host) '/' separate folders.

extern const wchar_t PathDelim;  // '\\' on Windows, '/' on the host
String ExtractFilePath(const String& FileName);   // with trailing delimiter
String ExtractFileDir(const String& FileName);    // without
String ExtractFileName(const String& FileName);
String ExtractFileExt(const String& FileName);    // with the dot
String ChangeFileExt(const String& FileName, const String& Extension);
String IncludeTrailingPathDelimiter(const String& S);
String ExcludeTrailingPathDelimiter(const String& S);
bool FileExists(const String& FileName);
bool DirectoryExists(const String& Directory);
bool DeleteFile(const String& FileName);
bool RenameFile(const String& OldName, const String& NewName);
bool CreateDir(const String& Dir);
bool ForceDirectories(const String& Dir);
bool RemoveDir(const String& Dir);
String GetCurrentDir();
// The temporary-files folder, with a trailing delimiter.
String GetTempDirectory();
String ExpandFileName(const String& FileName);
int64_t FileSizeOf(const String& FileName);  // -1 when it can't be read

// ---------------------------------------------------------------------------
// Dates: days since 30 December 1899, time as the fraction of a day.

using TDateTime = double;
TDateTime EncodeDate(int Year, int Month, int Day);  // EConvertError if invalid
TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec);
bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Date);
void DecodeDate(TDateTime Date, int& Year, int& Month, int& Day);
void DecodeTime(TDateTime Time, int& Hour, int& Min, int& Sec, int& MSec);
bool IsLeapYear(int Year);
int DaysInMonth(int Year, int Month);
TDateTime Now();
TDateTime Date();
TDateTime Time();
int DayOfWeek(TDateTime Date);  // 1 = Sunday .. 7 = Saturday

// ---------------------------------------------------------------------------
// Locale settings: read from the user's locale on Windows at start-up
// (United States defaults on the host); may be changed by the program.

extern wchar_t DecimalSeparator;   // of FloatToStrF, Format and StrToFloat
extern wchar_t ThousandSeparator;  // of ffNumber and %n
extern wchar_t DateSeparator;      // what '/' of a date format stands for
extern wchar_t TimeSeparator;      // what ':' of a time format stands for
extern String ShortDateFormat;
extern String LongDateFormat;
extern String ShortTimeFormat;
extern String LongTimeFormat;
extern String TimeAMString;
extern String TimePMString;
extern String ShortMonthNames[12];
extern String LongMonthNames[12];
extern String ShortDayNames[7];  // [0] is Sunday
extern String LongDayNames[7];
// Reads the settings above from the user's locale again (Windows).
void GetFormatSettings();

// Formats a date-time: d dd ddd dddd ddddd dddddd, m mm mmm mmmm (minutes
// right after h/hh), yy yyyy, h hh, n nn, s ss, z zzz, t tt, c, am/pm a/p
// ampm, '/' and ':' separators, 'quoted' and "quoted" text; letters are
// matched without regard to case.
String FormatDateTime(const String& Format, TDateTime DateTime);
String DateToStr(TDateTime Date);          // ShortDateFormat
String TimeToStr(TDateTime Time);          // LongTimeFormat
String DateTimeToStr(TDateTime DateTime);  // both; the time only when not 0

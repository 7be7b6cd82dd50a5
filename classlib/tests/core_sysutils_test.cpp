// Text conversions, Format, number parsing and file-name helpers.
#include <gtest/gtest.h>

#include <stdexcept>

#include "classlib/SysUtils.h"

TEST(Conversions, AnsiRoundTripOfCodePage1252) {
  // Euro sign and other characters of the 0x80..0x9F block, and Latin-1.
  String w = L"\u20AC \u2019 \u0160 \u00E9\u00FF abc";
  bool lossy = true;
  AnsiString a = WideToAnsi(w, &lossy);
  EXPECT_FALSE(lossy);
  EXPECT_EQ(static_cast<unsigned char>(a[0]), 0x80);
  EXPECT_EQ(AnsiToWide(a), w);
}

TEST(Conversions, AnsiReportsLoss) {
  bool lossy = false;
  AnsiString a = WideToAnsi(L"a\u4E2Db", &lossy);
  EXPECT_TRUE(lossy);
  EXPECT_EQ(a.size(), 3u);
  EXPECT_EQ(a[0], 'a');
  EXPECT_EQ(a[2], 'b');
}

TEST(Conversions, Utf8StrictDecoding) {
  EXPECT_EQ(Utf8ToWide("h\xC3\xA9llo"), L"h\u00E9llo");
  // Overlong encoding, lone continuation byte, truncated sequence and an
  // encoded surrogate all become U+FFFD; text after them survives.
  EXPECT_EQ(Utf8ToWide("\xC0\xAF" "a"), L"\uFFFD\uFFFD" L"a");
  EXPECT_EQ(Utf8ToWide("\x80" "b"), L"\uFFFD" L"b");
  EXPECT_EQ(Utf8ToWide("c\xE2\x82"), L"c\uFFFD");
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80" "d"), L"\uFFFD" L"d");
  // A character outside the basic plane round-trips.
  std::string smile = "\xF0\x9F\x98\x80";
  EXPECT_EQ(WideToUtf8(Utf8ToWide(smile)), smile);
}

TEST(Conversions, Utf8EncodingOfLoneSurrogate) {
  String w;
  w.push_back(static_cast<wchar_t>(0xD800));
  w.push_back(L'x');
  EXPECT_EQ(WideToUtf8(w), "\xEF\xBF\xBDx");
}

TEST(Exceptions, MessageAndCloneKeepClass) {
  EConvertError e(String(L"bad \u00E9"));
  EXPECT_EQ(e.Message(), L"bad \u00E9");
  EXPECT_STREQ(e.what(), "bad \xC3\xA9");
  std::unique_ptr<Exception> c(e.Clone());
  EXPECT_STREQ(c->ClassName(), "EConvertError");
  EXPECT_THROW(c->Raise(), EConvertError);
}

// Two places that raise the same class, and two that raise through a
// helper raising on behalf of its caller.
[[gnu::noinline]] static void RaiseConvertA() { throw EConvertError(String(L"a")); }
[[gnu::noinline]] static void RaiseConvertB() { throw EConvertError(String(L"b")); }
[[gnu::noinline]] static void RaiseOSErrorA() { RaiseOSError(5); }
[[gnu::noinline]] static void RaiseOSErrorB() { RaiseOSError(5); }

template <class F>
static const void* AddressRaisedBy(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.RaiseAddress();
  }
  return nullptr;
}

static bool InThisModulesCode(const void* p) {
#ifdef _WIN32
  HMODULE m = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(p), &m) ||
      m != GetModuleHandleW(nullptr))
    return false;
  MEMORY_BASIC_INFORMATION mbi{};
  if (!VirtualQuery(p, &mbi, sizeof mbi)) return false;
  return (mbi.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)) != 0;
#else
  return p != nullptr;
#endif
}

TEST(Exceptions, RaiseAddressIsTheRaisingCode) {
  const void* a = AddressRaisedBy(RaiseConvertA);
  const void* b = AddressRaisedBy(RaiseConvertB);
  EXPECT_TRUE(InThisModulesCode(a));
  EXPECT_TRUE(InThisModulesCode(b));
  EXPECT_NE(a, b);
  // A helper raising for its caller gives the caller's address.
  const void* c = AddressRaisedBy(RaiseOSErrorA);
  const void* d = AddressRaisedBy(RaiseOSErrorB);
  EXPECT_TRUE(InThisModulesCode(c));
  EXPECT_NE(c, d);
  // Copies made to carry an exception elsewhere keep the address.
  EConvertError e(String(L"x"));
  std::unique_ptr<Exception> copy(e.Clone());
  EXPECT_EQ(copy->RaiseAddress(), e.RaiseAddress());
  EXPECT_EQ(AddressRaisedBy([&] { copy->Raise(); }), e.RaiseAddress());
}

static String g_handled;
static void RecordHandler(const Exception& E) { g_handled = String(AnsiToWide(E.ClassName())) + L":" + E.Message(); }

TEST(Exceptions, CallProtectedRoutesEveryKindToTheHook) {
  auto old = ApplicationHandleExceptionHook;
  ApplicationHandleExceptionHook = &RecordHandler;
  EXPECT_FALSE(CallProtected([] { throw EListError(String(L"boom")); }));
  EXPECT_EQ(g_handled, L"EListError:boom");
  EXPECT_FALSE(CallProtected([] { throw std::runtime_error("std"); }));
  EXPECT_EQ(g_handled, L"Exception:std");
  EXPECT_FALSE(CallProtected([] { throw 42; }));
  EXPECT_EQ(g_handled, L"Exception:Unknown exception");
  EXPECT_EQ(CallProtectedResult(-1, []() -> int { throw EAbort(String(L"x")); }), -1);
  EXPECT_EQ(CallProtectedResult(-1, [] { return 7; }), 7);
  g_handled.clear();
  HandleCurrentException();  // outside a handler: nothing happens
  EXPECT_EQ(g_handled, L"");
  ApplicationHandleExceptionHook = old;
}

TEST(Format, IntegersHexAndWidths) {
  EXPECT_EQ(Format(L"%d items", 5), L"5 items");
  EXPECT_EQ(Format(L"[%5d][%-5d]", 42, 42), L"[   42][42   ]");
  EXPECT_EQ(Format(L"%.4d", -7), L"-0007");
  EXPECT_EQ(Format(L"%x %.8x", 255, 255u), L"FF 000000FF");
  EXPECT_EQ(Format(L"%x", -1), L"FFFFFFFF");
  EXPECT_EQ(Format(L"%u", -1), L"4294967295");
  EXPECT_EQ(Format(L"%d", int64_t(-9000000000)), L"-9000000000");
  EXPECT_EQ(Format(L"%*d", 4, 3), L"   3");
  EXPECT_EQ(Format(L"100%%"), L"100%");
}

TEST(Format, StringsFloatsAndIndexes) {
  EXPECT_EQ(Format(L"%s=%s", String(L"a"), L"b"), L"a=b");
  EXPECT_EQ(Format(L"%s", "ansi"), L"ansi");
  EXPECT_EQ(Format(L"%.2s", String(L"abc")), L"ab");
  EXPECT_EQ(Format(L"%.2f", 3.14159), L"3.14");
  EXPECT_EQ(Format(L"%f", 2.5), L"2.50");
  EXPECT_EQ(Format(L"%.0n", 1234567.0), L"1,234,567");
  EXPECT_EQ(Format(L"%1:s %0:s %s", String(L"x"), String(L"y")), L"y x y");
}

TEST(Format, MismatchesRaiseInsteadOfReadingGarbage) {
  EXPECT_THROW(Format(L"%d"), EConvertError);
  EXPECT_THROW(Format(L"%d", String(L"text")), EConvertError);
  EXPECT_THROW(Format(L"%s", 12), EConvertError);
  EXPECT_THROW(Format(L"%5:d", 1), EConvertError);
  EXPECT_THROW(Format(L"abc %", 1), EConvertError);
  EXPECT_THROW(Format(L"%q", 1), EConvertError);
}

TEST(Numbers, StrToIntForms) {
  EXPECT_EQ(StrToInt(L"123"), 123);
  EXPECT_EQ(StrToInt(L"  -45"), -45);
  EXPECT_EQ(StrToInt(L"$1F"), 31);
  EXPECT_EQ(StrToInt(L"0x10"), 16);
  EXPECT_EQ(StrToInt(L"$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt(L"2147483647"), 2147483647);
  EXPECT_EQ(StrToInt(L"-2147483648"), -2147483647 - 1);
  EXPECT_THROW(StrToInt(L"2147483648"), EConvertError);
  EXPECT_THROW(StrToInt(L"$100000000"), EConvertError);
  EXPECT_THROW(StrToInt(L""), EConvertError);
  EXPECT_THROW(StrToInt(L"12a"), EConvertError);
  EXPECT_THROW(StrToInt(L"12 "), EConvertError);
  EXPECT_THROW(StrToInt(L"$"), EConvertError);
  EXPECT_THROW(StrToInt(L"-"), EConvertError);
  try {
    StrToInt(L"x1");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"'x1' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef(L"nope", -3), -3);
  EXPECT_EQ(StrToInt64(L"-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64(L"$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_THROW(StrToInt64(L"9223372036854775808"), EConvertError);
  EXPECT_EQ(StrToInt(L"-$10"), -16);
  EXPECT_EQ(StrToInt(L"-$FFFFFFFF"), 1);
  EXPECT_THROW(StrToInt(L"-$80000000"), EConvertError);  // would be +2^31
  EXPECT_THROW(StrToInt64(L"-$8000000000000000"), EConvertError);
}

TEST(Numbers, IntToHexAndStr) {
  EXPECT_EQ(IntToHex(255, 4), L"00FF");
  EXPECT_EQ(IntToHex(-1, 2), L"FFFFFFFF");
  EXPECT_EQ(IntToHex(static_cast<long long>(-1), 1), L"FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(0, 0), L"0");
  EXPECT_EQ(IntToStr(-12), L"-12");
  EXPECT_EQ(StrToFloat(L"1.5"), 1.5);
  EXPECT_THROW(StrToFloat(L"1,5"), EConvertError);
  EXPECT_EQ(FloatToStr(0.1), L"0.1");
}

TEST(Numbers, FloatToStrFFormats) {
  EXPECT_EQ(FloatToStrF(1.5, ffGeneral, 15, 0), L"1.5");
  EXPECT_EQ(FloatToStrF(100.0, ffGeneral, 15, 0), L"100");
  EXPECT_EQ(FloatToStrF(0.0, ffGeneral, 15, 0), L"0");
  EXPECT_EQ(FloatToStrF(-0.00025, ffGeneral, 15, 0), L"-0.00025");
  EXPECT_EQ(FloatToStrF(1e20, ffGeneral, 15, 0), L"1E20");
  EXPECT_EQ(FloatToStrF(1.25e-7, ffGeneral, 15, 2), L"1.25E-07");
  EXPECT_EQ(FloatToStrF(2.0 / 3.0, ffGeneral, 7, 0), L"0.6666667");
  EXPECT_EQ(FloatToStrF(123456789.0, ffGeneral, 7, 0), L"1.234568E8");
  EXPECT_EQ(FloatToStrF(1234.5, ffExponent, 4, 3), L"1.235E+003");
  EXPECT_EQ(FloatToStrF(-2.5, ffFixed, 15, 3), L"-2.500");
  EXPECT_EQ(FloatToStrF(-0.0001, ffFixed, 15, 2), L"0.00");
  EXPECT_EQ(FloatToStrF(0.125, ffFixed, 15, 2), L"0.13");  // ties away from zero
  EXPECT_EQ(FloatToStrF(-0.005, ffFixed, 15, 2), L"-0.01");
  EXPECT_EQ(FloatToStrF(9.999, ffFixed, 15, 2), L"10.00");
  EXPECT_EQ(FloatToStrF(0.5, ffFixed, 15, 0), L"1");
  EXPECT_EQ(Format(L"%.1f|%.0n", 0.25, 999999.5), L"0.3|1,000,000");
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2), L"1,234,567.89");
  EXPECT_EQ(FloatToStrF(1e20, ffFixed, 15, 2), L"1E20");
  EXPECT_EQ(FloatToStr(1e300 * 1e300), L"INF");
  EXPECT_EQ(Format(L"%e", 1500.0), L"1.50000000000000E+003");
  EXPECT_THROW(AbstractError(), EAbstractError);
}

TEST(Text, CompareCaseTrimQuote) {
  EXPECT_EQ(CompareText(L"abc", L"ABC"), 0);
  EXPECT_LT(CompareText(L"ab", L"abc"), 0);
  EXPECT_GT(CompareStr(L"b", L"a"), 0);
  EXPECT_NE(CompareStr(L"a", L"A"), 0);
  EXPECT_TRUE(SameText(L"Key", L"KEY"));
  EXPECT_FALSE(SameText(L"Key", L"Keys"));
  EXPECT_EQ(UpperCase(L"a\u00E9z"), L"A\u00E9Z");
  EXPECT_EQ(AnsiUpperCase(L"a\u00E9z"), L"A\u00C9Z");
  EXPECT_EQ(Trim(L" \t x y \r\n"), L"x y");
  EXPECT_EQ(TrimLeft(L"  x "), L"x ");
  EXPECT_EQ(TrimRight(L"  x "), L"  x");
  EXPECT_EQ(QuotedStr(L"it's"), L"'it''s'");
  EXPECT_EQ(AnsiDequotedStr(L"'it''s'", L'\''), L"it's");
  EXPECT_EQ(AnsiDequotedStr(L"'open", L'\''), L"'open");
}

TEST(Text, ReplaceAndPos) {
  EXPECT_EQ(StringReplace(L"aXbxc", L"x", L"--", rfReplaceAll), L"aXb--c");
  EXPECT_EQ(StringReplace(L"aXbxc", L"x", L"-", rfReplaceAll | rfIgnoreCase), L"a-b-c");
  EXPECT_EQ(StringReplace(L"aaa", L"a", L"aa", rfReplaceAll), L"aaaaaa");
  EXPECT_EQ(StringReplace(L"aaa", L"a", L"b", 0), L"baa");
  EXPECT_EQ(StringReplace(L"abc", L"", L"x", rfReplaceAll), L"abc");
  EXPECT_EQ(Pos(L"b", L"abcb"), 2);
  EXPECT_EQ(Pos(L"b", L"abcb", 3), 4);
  EXPECT_EQ(Pos(L"z", L"abc"), 0);
  EXPECT_EQ(Pos(L"", L"abc"), 0);
  EXPECT_EQ(Copy(L"abcdef", 2, 3), L"bcd");
  EXPECT_EQ(Copy(L"abc", 3, 10), L"c");
  EXPECT_EQ(Copy(L"abc", 9, 1), L"");
}

TEST(FileNames, SplittingAndExtensions) {
  EXPECT_EQ(ExtractFilePath(L"C:\\dir\\file.txt"), L"C:\\dir\\");
  EXPECT_EQ(ExtractFileName(L"C:\\dir\\file.txt"), L"file.txt");
  EXPECT_EQ(ExtractFileExt(L"C:\\dir\\file.tar.gz"), L".gz");
  EXPECT_EQ(ExtractFileExt(L"C:\\dir.x\\file"), L"");
  EXPECT_EQ(ChangeFileExt(L"a\\b.reg", L".txt"), L"a\\b.txt");
  EXPECT_EQ(ChangeFileExt(L"a\\b", L".txt"), L"a\\b.txt");
  EXPECT_EQ(ExtractFileName(L"plain"), L"plain");
  EXPECT_EQ(ExtractFilePath(L"plain"), L"");
  EXPECT_EQ(ExtractFileDir(L"C:\\dir\\file"), L"C:\\dir");
  String withDelim = IncludeTrailingPathDelimiter(L"x");
  EXPECT_EQ(withDelim.size(), 2u);
  EXPECT_EQ(IncludeTrailingPathDelimiter(withDelim), withDelim);
  EXPECT_EQ(ExcludeTrailingPathDelimiter(withDelim), L"x");
}

TEST(Files, CreateRenameDelete) {
  String dir = GetTempDirectory();
  ASSERT_TRUE(DirectoryExists(dir));
  String a = dir + L"zembrio_core_a.tmp";
  String b = dir + L"zembrio_core_b.tmp";
  DeleteFile(a);
  DeleteFile(b);
  EXPECT_FALSE(FileExists(a));
  {
    FILE* f = nullptr;
#ifdef _WIN32
    f = _wfopen(a.c_str(), L"wb");
#else
    f = fopen(WideToUtf8(a).c_str(), "wb");
#endif
    ASSERT_NE(f, nullptr);
    fputs("xy", f);
    fclose(f);
  }
  EXPECT_TRUE(FileExists(a));
  EXPECT_FALSE(DirectoryExists(a));
  EXPECT_EQ(FileSizeOf(a), 2);
  EXPECT_TRUE(RenameFile(a, b));
  EXPECT_FALSE(FileExists(a));
  EXPECT_TRUE(FileExists(b));
  EXPECT_TRUE(DeleteFile(b));
  EXPECT_FALSE(DeleteFile(b));
}

TEST(Dates, EncodeDecodeRoundTrip) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 3, 1) - EncodeDate(2000, 2, 28), 2.0);
  int y, m, d;
  DecodeDate(EncodeDate(2024, 2, 29), y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
  DecodeDate(EncodeDate(1850, 7, 4), y, m, d);
  EXPECT_EQ(y * 10000 + m * 100 + d, 18500704);
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  int h, n, s, ms;
  DecodeTime(EncodeTime(13, 45, 30, 250), h, n, s, ms);
  EXPECT_EQ(h * 1000000 + n * 10000 + s * 100, 13453000);
  EXPECT_EQ(ms, 250);
  EXPECT_EQ(FormatDateTime(L"yyyy-mm-dd hh:nn:ss", EncodeDate(2001, 2, 3) + EncodeTime(4, 5, 6, 0)),
            L"2001-02-03 04:05:06");
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 6, 2)), 1);  // a Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);
  EXPECT_EQ(DayOfWeek(EncodeDate(1850, 1, 1)), 3);  // a Tuesday, before the epoch
}

namespace {
// Fixes the locale settings for a test and puts them back afterwards.
struct TFixedLocale {
  wchar_t dec = DecimalSeparator, thou = ThousandSeparator, ds = DateSeparator, ts = TimeSeparator;
  String sdf = ShortDateFormat, ltf = LongTimeFormat, am = TimeAMString, pm = TimePMString;
  TFixedLocale() {
    DecimalSeparator = L'.';
    ThousandSeparator = L',';
    DateSeparator = L'/';
    TimeSeparator = L':';
    ShortDateFormat = L"M/d/yyyy";
    LongTimeFormat = L"h:mm:ss AMPM";
    TimeAMString = L"AM";
    TimePMString = L"PM";
  }
  ~TFixedLocale() {
    DecimalSeparator = dec;
    ThousandSeparator = thou;
    DateSeparator = ds;
    TimeSeparator = ts;
    ShortDateFormat = sdf;
    LongTimeFormat = ltf;
    TimeAMString = am;
    TimePMString = pm;
  }
};
}  // namespace

TEST(Dates, FormatDateTimeSpecifiers) {
  TFixedLocale fixed;
  TDateTime t = EncodeDate(2007, 3, 9) + EncodeTime(14, 5, 7, 42);
  EXPECT_EQ(FormatDateTime(L"d/m/yy", t), L"9/3/07");
  EXPECT_EQ(FormatDateTime(L"dd.mm.yyyy", t), L"09.03.2007");
  EXPECT_EQ(FormatDateTime(L"ddd dddd mmm mmmm", t), L"Fri Friday Mar March");
  EXPECT_EQ(FormatDateTime(L"hh:mm", t), L"14:05");  // m after h: minutes
  EXPECT_EQ(FormatDateTime(L"h:nn:ss.zzz", t), L"14:05:07.042");
  EXPECT_EQ(FormatDateTime(L"h:nn am/pm", t), L"2:05 pm");
  EXPECT_EQ(FormatDateTime(L"h A/P", EncodeTime(0, 30, 0, 0)), L"12 A");
  EXPECT_EQ(FormatDateTime(L"'at' h \"o'clock\"", t), L"at 14 o'clock");
  EXPECT_EQ(FormatDateTime(L"c", t), L"3/9/2007 2:05:07 PM");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2007, 3, 9)), L"3/9/2007");  // no time at midnight
  EXPECT_EQ(DateToStr(t), L"3/9/2007");
  EXPECT_EQ(TimeToStr(t), L"2:05:07 PM");
  DateSeparator = L'-';
  EXPECT_EQ(FormatDateTime(L"yyyy/mm/dd", t), L"2007-03-09");
}

TEST(Numbers, LocaleSeparators) {
  TFixedLocale fixed;
  DecimalSeparator = L',';
  ThousandSeparator = L'.';
  EXPECT_EQ(FloatToStr(1.5), L"1,5");
  EXPECT_EQ(FloatToStrF(1234567.25, ffNumber, 15, 2), L"1.234.567,25");
  EXPECT_EQ(Format(L"%.1f", 2.25), L"2,3");
  EXPECT_EQ(StrToFloat(L"2,5"), 2.5);
  EXPECT_THROW(StrToFloat(L"2.5"), EConvertError);
}

TEST(CommandLine, SplitsAsTheSystemsProgramsDo) {
  const std::vector<String> want{L"a b", L"c", L"d\"e", L"f\\\\g", L"h\\", L"", L"x\"y"};
  EXPECT_EQ(SplitCommandLine(L"  \"a b\"  c d\\\"e f\\\\g h\\ \"\" \"x\"\"y\""), want);
  EXPECT_TRUE(SplitCommandLine(L" \t ").empty());
  EXPECT_TRUE(FileExists(ParamStr(0)));
  EXPECT_EQ(ParamStr(ParamCount() + 1), L"");
}

// FreeAndNil clears the variable before the object goes: the destructor
// (and whatever it calls) already finds it empty. A null variable is left
// as it is.
TEST(Objects, FreeAndNilClearsTheVariableFirst) {
  struct Probe {
    Probe*& Var;
    Probe** Seen;
    bool* Destroyed;
    ~Probe() {
      *Seen = Var;
      *Destroyed = true;
    }
  };
  Probe* var = nullptr;
  Probe* seen = reinterpret_cast<Probe*>(1);
  bool destroyed = false;
  var = new Probe{var, &seen, &destroyed};
  FreeAndNil(var);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(seen, nullptr);
  EXPECT_EQ(var, nullptr);
  FreeAndNil(var);
  EXPECT_EQ(var, nullptr);
}

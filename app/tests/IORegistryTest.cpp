#include <atomic>
#include <filesystem>
#include <functional>

#include "app/Bookmarks.h"
#include "app/Cvalue.h"
#include "app/IORegistry.h"
#include "app/RegAccess.h"
#include "app/tests/RegTestKey.h"

class IORegistryT : public RegTest {
 protected:
  void SetUp() override {
    RegTest::SetUp();
    dir = std::filesystem::temp_directory_path() / "zembrio_app_io";
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    RegTest::TearDown();
  }
  String File(const wchar_t* name) { return (dir / name).wstring(); }
  // Every value of every key below sub, as "path|name|type|bytes".
  std::vector<std::string> Snapshot(const String& sub) {
    std::vector<std::string> out;
    Walk(Path(sub), L"", out);
    std::sort(out.begin(), out.end());
    return out;
  }
  void Walk(const String& full, const String& rel, std::vector<std::string>& out) {
    TRegKey k;
    if (!k.OpenReadOnly(RegRoot::CurrentUser, full)) return;
    out.push_back("key " + WideToUtf8(rel));
    for (const auto& v : k.ValueNames()) {
      DWORD t;
      std::string d;
      k.ReadValue(v, t, d);
      out.push_back(WideToUtf8(rel) + "|" + WideToUtf8(v) + "|" + std::to_string(t) + "|" + d);
    }
    for (const auto& s : k.KeyNames()) Walk(full + L"\\" + s, rel + L"\\" + s, out);
  }
  void Fill(const String& sub, bool nonAnsi) {
    Put(sub, L"", REG_SZ, StringToRegBytes(L"default"));
    Put(sub, L"str", REG_SZ, StringToRegBytes(L"say \"hi\" C:\\dir\\"));
    Put(sub, L"a=b\\\"c\"", REG_EXPAND_SZ, StringToRegBytes(L"%SystemRoot%\\x"));
    Put(sub, L"int", REG_DWORD, Dw(0xDEADBEEF));
    Put(sub, L"bin", REG_BINARY, std::string("\0\x01\x80\xFF", 4));
    Put(sub, L"empty", REG_BINARY, std::string());
    Put(sub, L"multi", REG_MULTI_SZ, StringToRegBytes(L"one") + StringToRegBytes(L"two") + std::string(2, '\0'));
    Put(sub, L"qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    Put(sub + L"\\child\\grandchild", L"deep", REG_SZ, StringToRegBytes(L"x"));
    MakeKey(sub + L"\\emptychild");
    if (nonAnsi) Put(sub + L"\\child", L"\u4e2d\u6587", REG_SZ, StringToRegBytes(L"\u65e5\u672c\u0101"));
  }
  std::filesystem::path dir;
  TIORegistry io;
};

TEST_F(IORegistryT, RoundTripAnsi) {
  Fill(L"src", false);
  const auto before = Snapshot(L"src");
  auto r = io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"src"), File(L"a.reg"), true);
  EXPECT_FALSE(r.Unicode);
  EXPECT_EQ(r.Keys, 4u);
  EXPECT_EQ(ReadFileBytes(File(L"a.reg")).substr(0, 10), "REGEDIT4\r\n");
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"src"));
  auto res = io.ImportRegistry(File(L"a.reg"));
  EXPECT_EQ(res.SkippedLines, 0);
  EXPECT_EQ(Snapshot(L"src"), before);
}

TEST_F(IORegistryT, RoundTripUnicode) {
  Fill(L"src", true);
  const auto before = Snapshot(L"src");
  auto r = io.ExportRegistry(L"HKEY_CURRENT_USER", L"\\" + Path(L"src"), File(L"u.reg"), true);
  EXPECT_TRUE(r.Unicode);
  const std::string bytes = ReadFileBytes(File(L"u.reg"));
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEW\0", 4));
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"src"));
  EXPECT_EQ(io.ImportRegistry(File(L"u.reg")).SkippedLines, 0);
  EXPECT_EQ(Snapshot(L"src"), before);
}

TEST_F(IORegistryT, WithoutSubkeysExportsOneLevel) {
  Fill(L"src", false);
  auto r = io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"src"), File(L"s.reg"), false);
  EXPECT_EQ(r.Keys, 3u);  // the key and its two children, not the grandchild
}

TEST_F(IORegistryT, ExportOfMissingKeyFailsAndCreatesNothing) {
  EXPECT_THROW(io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"missing"), File(L"m.reg"), true), ERegistryException);
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"missing")));
  EXPECT_FALSE(FileExists(File(L"m.reg")));
  EXPECT_THROW(io.ExportRegistry(L"HKEY_NOWHERE", Path(), File(L"m.reg"), true), ERegistryException);
  Fill(L"src", false);
  EXPECT_THROW(io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"src"), File(L"nodir\\x.reg"), true), Exception);
}

TEST_F(IORegistryT, NamesWithLineBreaksAreReportedNotLostSilently) {
  Put(L"src", L"ok", REG_SZ, StringToRegBytes(L"1"));
  Put(L"src", L"two\nlines", REG_SZ, StringToRegBytes(L"2"));
  EXPECT_THROW(io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"src"), File(L"n.reg"), true), ERegistryException);
  // The rest is in the file.
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"src"));
  EXPECT_EQ(io.ImportRegistry(File(L"n.reg")).SkippedLines, 0);
  EXPECT_TRUE(Has(L"src", L"ok"));
}

TEST_F(IORegistryT, ImportsAllThreeEncodings) {
  const String p = Path(L"imp");
  const String text = L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + p +
                      L"]\r\n\"name\"=\"\u00e9t\u00e9\"\r\n@=dword:0000002a\r\n";
  const std::u16string u = ToUtf16(text);
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t c : u) {
    le.push_back(static_cast<char>(c & 0xFF));
    le.push_back(static_cast<char>(c >> 8));
    be.push_back(static_cast<char>(c >> 8));
    be.push_back(static_cast<char>(c & 0xFF));
  }
  const std::string ansi = WideToAnsi(text);
  for (const auto& [file, bytes] : {std::pair<const wchar_t*, std::string>{L"le.reg", le}, {L"be.reg", be},
                                    {L"ansi.reg", ansi}}) {
    SCOPED_TRACE(WideToUtf8(file));
    RegDeleteBranch(RegRoot::CurrentUser, p);
    WriteFileBytes(File(file), bytes);
    EXPECT_EQ(io.ImportRegistry(File(file)).SkippedLines, 0);
    DWORD t;
    std::string d;
    ASSERT_TRUE(Get(L"imp", L"name", t, d));
    EXPECT_EQ(RegBytesToString(d), L"\u00e9t\u00e9");
    ASSERT_TRUE(Get(L"imp", L"", t, d));
    EXPECT_EQ(d, Dw(42));
  }
}

TEST_F(IORegistryT, ImportRefusesUnknownRootsAndDeletesAsRegeditDoes) {
  Put(L"del\\sub", L"v", REG_SZ, StringToRegBytes(L"1"));
  Put(L"keep", L"gone", REG_SZ, StringToRegBytes(L"1"));
  const String p = Path();
  const String text = L"REGEDIT4\r\n[HKEY_BOGUS\\" + p + L"\\bogus]\r\n\"x\"=\"1\"\r\n[-HKEY_CURRENT_USER\\" + p +
                      L"\\del]\r\n[HKEY_CURRENT_USER\\" + p + L"\\keep]\r\n\"gone\"=-\r\n";
  WriteFileBytes(File(L"d.reg"), WideToAnsi(text));
  auto res = io.ImportRegistry(File(L"d.reg"));
  EXPECT_EQ(res.SkippedLines, 2);
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"bogus")));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, L"HKEY_BOGUS"));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"del")));
  EXPECT_TRUE(RegKeyExists(RegRoot::CurrentUser, Path(L"keep")));
  EXPECT_FALSE(Has(L"keep", L"gone"));
}

// A branch big enough to be read in parts by several threads gives exactly
// the file of a walk in the registry's own order.
TEST_F(IORegistryT, ABranchReadInPartsIsTheFileOfOneWalk) {
  for (int a = 0; a < 5; ++a)
    for (int b = 0; b < 7; ++b)
      for (int c = 0; c < (b % 3) * 4; ++c) {
        const String key = L"big\\A" + IntToStr(a) + L"\\B" + IntToStr(b) + L"\\C" + IntToStr(c);
        Put(key, L"n", REG_DWORD, Dw(DWORD(a * 1000 + b * 100 + c)));
        if (c % 5 == 0) Put(key, L"", REG_SZ, StringToRegBytes(L"d" + IntToStr(c)));
      }
  Put(L"big", L"top", REG_SZ, StringToRegBytes(L"t"));
  Put(L"big\\A2", L"mid", REG_BINARY, std::string("\x01\x02", 2));
  MakeKey(L"big\\Empty");
  // The reference: one depth-first walk in enumeration order.
  TRegFileWriter ref;
  std::function<void(const String&)> walk = [&](const String& full) {
    TRegKey k;
    ASSERT_TRUE(k.OpenReadOnly(RegRoot::CurrentUser, full));
    ref.AddKey(L"HKEY_CURRENT_USER", full);
    for (const auto& v : k.ValueNames()) {
      DWORD t;
      std::string d;
      k.ReadValue(v, t, d);
      ref.AddValue(v, t, d);
    }
    for (const auto& s : k.KeyNames()) walk(full + L"\\" + s);
  };
  walk(Path(L"big"));
  auto r = io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"big"), File(L"big.reg"), true);
  EXPECT_EQ(r.Keys, ref.KeyCount());
  EXPECT_EQ(r.Values, ref.ValueCount());
  EXPECT_EQ(ReadFileBytes(File(L"big.reg")), ref.Render());
}

// Values are written by several threads: sections of one key keep their
// file order whatever the spelling of its name, and a key deletion comes
// after everything before it and before everything after it.
TEST_F(IORegistryT, ImportKeepsTheFileOrderOfEachKey) {
  const String p = L"HKEY_CURRENT_USER\\" + Path();
  String text = L"REGEDIT4\r\n";
  for (int round = 0; round < 3; ++round)
    for (int k = 0; k < 60; ++k) {
      const String key = (round == 1 ? L"ord\\KEY" : L"ord\\key") + IntToStr(k);
      text += L"[" + p + L"\\" + key + L"]\r\n\"v\"=dword:" + IntToHex(round, 8) + L"\r\n";
      if (round == 2 && k % 2) text += L"\"v\"=-\r\n";
    }
  text += L"[" + p + L"\\gone\\inner]\r\n\"x\"=\"1\"\r\n[-" + p + L"\\gone]\r\n";
  text += L"[" + p + L"\\back\\inner]\r\n\"x\"=\"1\"\r\n[-" + p + L"\\back]\r\n[" + p +
          L"\\back]\r\n\"y\"=\"2\"\r\n";
  WriteFileBytes(File(L"o.reg"), WideToAnsi(text));
  auto res = io.ImportRegistry(File(L"o.reg"));
  EXPECT_EQ(res.SkippedLines, 0);
  for (int k = 0; k < 60; ++k) {
    const String key = L"ord\\key" + IntToStr(k);
    if (k % 2) {
      EXPECT_FALSE(Has(key, L"v")) << k;
    } else {
      DWORD t;
      std::string d;
      ASSERT_TRUE(Get(key, L"v", t, d)) << k;
      EXPECT_EQ(d, Dw(2)) << k;
    }
  }
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"gone")));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"back\\inner")));
  EXPECT_TRUE(Has(L"back", L"y"));
}

// A write the registry refuses (a name longer than it allows) is raised,
// never reported as a finished import; what came before it is written.
TEST_F(IORegistryT, AFailedWriteIsRaised) {
  const String p = L"HKEY_CURRENT_USER\\" + Path();
  const String text = L"REGEDIT4\r\n[" + p + L"\\ok]\r\n\"a\"=\"1\"\r\n[" + p + L"\\bad]\r\n\"" +
                      String(16384, L'n') + L"\"=\"2\"\r\n";
  WriteFileBytes(File(L"f.reg"), WideToAnsi(text));
  try {
    io.ImportRegistry(File(L"f.reg"));
    FAIL() << "no failure reported";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message().substr(0, 22), L"Failed to set data for");
  }
  EXPECT_TRUE(Has(L"ok", L"a"));
}

TEST_F(IORegistryT, MissingFileIsAFailure) {
  try {
    io.ImportRegistry(File(L"none.reg"));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"File \"" + File(L"none.reg") + L"\" not found.");
  }
}

// The threads of a part runner take each part once, in order, never more
// than their lead beyond the last part waited for; a stop leaves the rest.
TEST(PartRunner, EachPartOnceWithinItsLeadAndNothingAfterAStop) {
  constexpr size_t kCount = 300, kAhead = 5;
  std::atomic<size_t> waited{0};
  std::atomic<bool> tooFar{false};
  std::vector<std::atomic<int>> runs(kCount);
  auto work = [&](size_t i) {
    if (i > waited.load() + kAhead) tooFar = true;
    ++runs[i];
  };
  {
    TPartRunner r(kCount, work, 4, false, kAhead);
    for (size_t i = 0; i < kCount; ++i) {
      waited = i;
      ASSERT_TRUE(r.WaitFor(i));
    }
  }
  EXPECT_FALSE(tooFar);
  for (size_t i = 0; i < kCount; ++i) EXPECT_EQ(runs[i].load(), 1) << i;

  for (auto& n : runs) n = 0;
  waited = 0;
  {
    TPartRunner r(kCount, work, 4, false, kAhead);
    waited = 10;
    ASSERT_TRUE(r.WaitFor(10));
    r.Stop();
    EXPECT_FALSE(r.WaitFor(200));
  }
  for (size_t i = 0; i <= 10; ++i) EXPECT_EQ(runs[i].load(), 1) << i;
  for (size_t i = 10 + kAhead + 1; i < kCount; ++i) EXPECT_EQ(runs[i].load(), 0) << i;
}

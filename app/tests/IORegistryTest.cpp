#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>

#include "app/Bookmarks.h"
#include "app/Cvalue.h"
#include "app/IORegistry.h"
#include "app/RegAccess.h"
#include "app/tests/RegTestKey.h"
#include "classlib/Filer.h"
#include "testsupport/Watchdog.h"

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
  const auto r = io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"src"), File(L"n.reg"), true);
  EXPECT_EQ(r.LeftOutKeys, 0u);
  EXPECT_EQ(r.LeftOutValues, 1u);
  EXPECT_EQ(r.Notes, L"1 value was left out of the file: a registry file has no way to write a line break or a NUL "
                     L"character in a name:\nHKEY_CURRENT_USER\\" + Path(L"src") + L", value \"two<LF>lines\"");
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

// Every key is created with the spelling of its first mention in the file,
// whichever writer thread comes to it first: a subkey's line in another
// spelling, which another writer may take first, doesn't create its parent
// in that spelling. Repeated into an empty branch, so that the writers meet
// in many orders, each run leaves what a one-line-at-a-time import leaves.
TEST_F(IORegistryT, KeysTakeTheSpellingOfTheirFirstMentionWhateverTheWritersDo) {
  const String p = L"HKEY_CURRENT_USER\\" + Path(L"sp");
  String text = L"REGEDIT4\r\n";
  std::vector<std::string> expected;
  for (int k = 0; k < 8; ++k) {
    const String n = IntToStr(k);
    text += L"[" + p + L"\\MixedCase" + n + L"]\r\n";
    for (int v = 0; v < 30; ++v) text += L"\"v" + IntToStr(v) + L"\"=\"x\"\r\n";  // a section that takes a while
    text += L"[" + p + L"\\MIXEDCASE" + n + L"]\r\n\"w\"=\"y\"\r\n";
    text += L"[" + p + L"\\mixedcase" + n + L"\\Sub]\r\n\"z\"=\"1\"\r\n";
    text += L"[" + p + L"\\deep" + n + L"\\Mid\\low]\r\n[" + p + L"\\DEEP" + n + L"\\mid]\r\n\"m\"=\"2\"\r\n";
    for (const wchar_t* key : {L"\\MixedCase", L"\\deep"}) expected.push_back("key " + WideToUtf8(key + n));
    expected.push_back("key " + WideToUtf8(L"\\MixedCase" + n + L"\\Sub"));
    expected.push_back("key " + WideToUtf8(L"\\deep" + n + L"\\Mid"));
    expected.push_back("key " + WideToUtf8(L"\\deep" + n + L"\\Mid\\low"));
  }
  expected.push_back("key ");
  std::sort(expected.begin(), expected.end());
  WriteFileBytes(File(L"case.reg"), WideToAnsi(text));
  for (int run = 0; run < 40; ++run) {
    testsupport::reg::DeleteTree(Path(L"sp"));
    const auto res = io.ImportRegistry(File(L"case.reg"));
    ASSERT_EQ(res.SkippedLines, 0);
    std::vector<std::string> keys;
    for (const std::string& line : Snapshot(L"sp"))
      if (line.rfind("key ", 0) == 0) keys.push_back(line);
    ASSERT_EQ(keys, expected) << "run " << run;
    ASSERT_TRUE(Has(L"sp\\MixedCase3", L"w"));
    ASSERT_TRUE(Has(L"sp\\deep5\\Mid", L"m"));
  }
}

// A stop while two keys' writers are apart: a later key may be written
// while an earlier one is not yet whole, and the result says so rather than
// claiming only the lines before the stop were imported.
TEST_F(IORegistryT, AStopSaysWhenLinesAfterItWereWrittenToo) {
  const String p = L"HKEY_CURRENT_USER\\" + Path(L"apart");
  auto writer = [&](const String& Name) { return KeyNameHash(ApiKeyPath(Path(L"apart\\") + Name)) % 6; };
  // A long key, then a short one that goes to another writer.
  const String large = L"K0";
  String small;
  for (int i = 1; small.empty(); ++i)
    if (writer(L"K" + IntToStr(i)) != writer(large)) small = L"K" + IntToStr(i);
  String text = L"REGEDIT4\r\n[" + p + L"\\" + large + L"]\r\n";
  for (int i = 0; i < 300; ++i) text += L"\"v" + IntToStr(i) + L"\"=\"x\"\r\n";
  text += L"[" + p + L"\\" + small + L"]\r\n\"s\"=\"1\"\r\n";
  WriteFileBytes(File(L"apart.reg"), WideToAnsi(text));
  for (int run = 0; run < 10; ++run) {
    testsupport::reg::DeleteTree(Path(L"apart"));
    io.OnProgressChange = [&](TObject*, uint32_t, uint32_t L, uint32_t, uint32_t) {
      if (L == 2) io.StopRequested = true;
    };
    const TRegImportResult res = io.ImportRegistry(File(L"apart.reg"));
    io.OnProgressChange = nullptr;
    ASSERT_TRUE(res.Stopped);
    ASSERT_FALSE(Has(L"apart\\" + large, L"v299"));
    // Stopped inside the long key; the short key after it (its key line at
    // least) was written only if its writer got to it first, and then the
    // result says so.
    EXPECT_LT(res.LinesRead, 302) << "run " << run;
    EXPECT_EQ(res.LaterLinesWritten, RegKeyExists(RegRoot::CurrentUser, Path(L"apart\\" + small))) << "run " << run;
  }
}

// A stop that comes while values are written ends the writing at the next
// value and changes nothing after it, deletions included: the import says
// where it stopped and what it wrote, and its progress went on through the
// writing.
TEST_F(IORegistryT, AStopWhileWritingEndsTheWritingAndTheDeletions) {
  MakeKey(L"stop\\B");
  const String p = L"HKEY_CURRENT_USER\\" + Path(L"stop");
  String text = L"REGEDIT4\r\n[" + p + L"\\A]\r\n";
  for (int i = 0; i < 300; ++i) text += L"\"v" + IntToStr(i) + L"\"=\"x\"\r\n";
  text += L"[-" + p + L"\\B]\r\n[" + p + L"\\C]\r\n\"c\"=\"1\"\r\n";
  WriteFileBytes(File(L"stop.reg"), WideToAnsi(text));
  std::vector<std::pair<uint32_t, uint32_t>> reports;  // level, progress
  io.OnProgressChange = [&](TObject*, uint32_t P, uint32_t L, uint32_t M, uint32_t ML) {
    reports.push_back({L, P});
    if (L == 2) {
      EXPECT_EQ(M, 305u);
      EXPECT_EQ(ML, 2u);
      io.StopRequested = true;  // the writer reports after the key and 255 values
    }
  };
  const TRegImportResult res = io.ImportRegistry(File(L"stop.reg"));
  io.OnProgressChange = nullptr;
  EXPECT_TRUE(res.Stopped);
  EXPECT_EQ(res.LinesRead, 257);  // the lines before the value v255
  EXPECT_EQ(res.Keys, 1);
  EXPECT_EQ(res.Values, 255);
  EXPECT_TRUE(Has(L"stop\\A", L"v254"));
  EXPECT_FALSE(Has(L"stop\\A", L"v255"));
  EXPECT_TRUE(RegKeyExists(RegRoot::CurrentUser, Path(L"stop\\B")));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"stop\\C")));
  EXPECT_FALSE(io.StopRequested);
  // The lines read (the deletion waits for the key's values to be
  // written), then the writing's report; the last event has all numbers 0.
  const std::vector<std::pair<uint32_t, uint32_t>> expected = {{1u, 256u}, {2u, 256u}, {0u, 0u}};
  EXPECT_EQ(reports, expected);
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

namespace {

// Denies every access to a key while it lives (its owner may still change
// the access list, which puts it back).
class TLockedKey {
 public:
  explicit TLockedKey(const String& Path) : path_(Path) { Set(L"D:(D;;KA;;;WD)"); }
  ~TLockedKey() { Set(L"D:(A;;KA;;;WD)"); }

 private:
  void Set(const wchar_t* Sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    HKEY k = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(Sddl, SDDL_REVISION_1, &sd, nullptr));
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, WRITE_DAC, &k), ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
    RegCloseKey(k);
    LocalFree(sd);
  }
  String path_;
};

std::vector<String> Lines(const TStrings& L) {
  std::vector<String> out;
  for (int i = 0; i < L.GetCount(); ++i) out.push_back(L.Get(i));
  return out;
}

struct TEventLog {
  struct E {
    uint32_t progress, level, max, maxLevel;
  };
  std::vector<E> events;
  TProgressEvent Handler() {
    return [this](TObject*, uint32_t p, uint32_t l, uint32_t m, uint32_t ml) { events.push_back({p, l, m, ml}); };
  }
};

}  // namespace

// Keys the system refuses to read are named with its reason, and the file
// holds everything else; a key that opens only as the system's performance
// data (regedit writes it empty too) is no failure.
TEST_F(IORegistryT, UnreadableKeysAreNamedWithTheSystemsReason) {
  Put(L"src\\open", L"v", REG_SZ, StringToRegBytes(L"1"));
  MakeKey(L"src\\locked1");
  MakeKey(L"src\\locked2\\inner");
  TLockedKey l1(Path(L"src\\locked1")), l2(Path(L"src\\locked2"));
  for (bool deep : {true, false}) {
    try {
      io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"src"), File(L"l.reg"), deep);
      FAIL() << "no failure reported";
    } catch (const ERegistryException& e) {
      const String m = e.Message();
      EXPECT_EQ(m.rfind(L"The exported file is incomplete: 2 keys could not be read whole:\n", 0), 0u)
          << WideToAnsi(m);
      EXPECT_NE(m.find(L"\nHKEY_CURRENT_USER\\" + Path(L"src\\locked1") + L" (" + SysErrorMessage(ERROR_ACCESS_DENIED)),
                String::npos)
          << WideToAnsi(m);
      EXPECT_NE(m.find(L"\nHKEY_CURRENT_USER\\" + Path(L"src\\locked2") + L" ("), String::npos);
    }
    RegDeleteBranch(RegRoot::CurrentUser, Path(L"src\\open"));
    EXPECT_EQ(io.ImportRegistry(File(L"l.reg")).SkippedLines, 0);
    EXPECT_TRUE(Has(L"src\\open", L"v"));
  }

  const String perflib = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib";
  io.ExportRegistry(L"HKEY_LOCAL_MACHINE", perflib, File(L"p.reg"), true);
  const std::string text = ReadFileBytes(File(L"p.reg"));
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\" + WideToAnsi(perflib) + "\\009]"), std::string::npos);
}

// The whole way through the component's properties: a branch exported
// into RegistryData twice, around changes, the two dumps compared, and the
// first dump imported back from RegistryData; every step reports progress.
TEST_F(IORegistryT, RegistryDataDumpsCompareAndImportBack) {
  Put(L"cmp\\A", L"a", REG_SZ, StringToRegBytes(L"1"));
  Put(L"cmp\\A", L"b", REG_DWORD, Dw(2));
  Put(L"cmp\\B", L"c", REG_SZ, StringToRegBytes(L"x"));
  Put(L"cmp\\C", L"gone", REG_SZ, StringToRegBytes(L"y"));
  const auto before = Snapshot(L"cmp");
  TEventLog log;
  io.OnProgressChange = log.Handler();
  io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"cmp"), L"", true);  // no file: into the property
  ASSERT_FALSE(log.events.empty());
  for (const auto& e : log.events) {
    if (&e == &log.events.back()) break;
    EXPECT_TRUE(e.level >= 1 && e.level <= 2 && e.maxLevel == 2 && e.progress >= 1 && e.progress <= e.max);
  }
  EXPECT_EQ(log.events.back().level + log.events.back().progress + log.events.back().max +
                log.events.back().maxLevel,
            0u);
  TStringList older;
  older.Assign(&io.RegistryData);
  EXPECT_EQ(older.Get(0), L"REGEDIT4");
  EXPECT_NE(older.IndexOf(L"[HKEY_CURRENT_USER\\" + Path(L"cmp\\C") + L"]"), -1);

  Put(L"cmp\\A", L"b", REG_DWORD, Dw(3));  // same number of lines, one changed
  Put(L"cmp\\B", L"d", REG_SZ, StringToRegBytes(L"new"));
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"cmp\\C"));
  Put(L"cmp\\D", L"", REG_SZ, StringToRegBytes(L"added"));
  io.RegistryData.Clear();
  io.ExportDestination = eiProperty;  // a file name given, the lines still go to the property
  io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"cmp"), File(L"never.reg"), true);
  EXPECT_FALSE(FileExists(File(L"never.reg")));
  TStringList newer;
  newer.Assign(&io.RegistryData);

  log.events.clear();
  ASSERT_TRUE(io.CompareRegFiles(newer, older));
  const String k = L"[HKEY_CURRENT_USER\\" + Path(L"cmp");
  EXPECT_EQ(Lines(io.NewKeyList), (std::vector<String>{L"REGEDIT4", k + L"\\D]", L"\"\"=\"added\""}));
  EXPECT_EQ(Lines(io.DeletedKeyList), (std::vector<String>{L"REGEDIT4", k + L"\\C]", L"\"gone\"=\"y\""}));
  EXPECT_EQ(Lines(io.ExistingKeyList),
            (std::vector<String>{L"REGEDIT4", k + L"\\A]", L"Removed : \"b\"=dword:00000002",
                                 L"Added   : \"b\"=dword:00000003", k + L"\\B]", L"Added   : \"d\"=\"new\""}));
  // Levels 1 to 7 in order, each counting up to its maximum; the last
  // event is all zeros.
  ASSERT_GE(log.events.size(), 8u);
  uint32_t level = 1;
  for (size_t i = 0; i + 1 < log.events.size(); ++i) {
    const auto& e = log.events[i];
    EXPECT_EQ(e.maxLevel, 7u);
    EXPECT_GE(e.level, level);
    level = e.level;
    EXPECT_TRUE(e.progress >= 1 && e.progress <= e.max) << i;
  }
  EXPECT_EQ(level, 7u);
  EXPECT_EQ(log.events[log.events.size() - 2].progress, 4u);
  EXPECT_EQ(log.events.back().maxLevel + log.events.back().level, 0u);

  // The older dump back into the registry through the property.
  RegDeleteBranch(RegRoot::CurrentUser, Path(L"cmp"));
  io.RegistryData.Assign(&older);
  io.ImportSource = eiProperty;
  log.events.clear();
  EXPECT_EQ(io.ImportRegistry().SkippedLines, 0);
  EXPECT_EQ(Snapshot(L"cmp"), before);
  ASSERT_FALSE(log.events.empty());
  EXPECT_EQ(log.events.back().maxLevel, 0u);
}

namespace {
// A dump whose reading fails half-way.
class TFailingLines : public TStringList {
 public:
  String Get(int Index) const override {
    if (Index == 3) throw EStringListError(String(L"unreadable"));
    return TStringList::Get(Index);
  }
};
}  // namespace

TEST_F(IORegistryT, CompareMatchesKeysIgnoringCaseAndCopiesWholeBlocks) {
  TStringList a, b;
  for (const wchar_t* l : {L"REGEDIT4", L"", L"[HKEY_CURRENT_USER\\Same]", L"\"v\"=\"1\"", L"",
                           L"[HKEY_CURRENT_USER\\OnlyFirst]", L"\"w\"=\"2\"", L"[HKEY_CURRENT_USER\\Next]"})
    a.Add(l);
  for (const wchar_t* l : {L"REGEDIT4", L"", L"[hkey_current_user\\SAME]", L"\"V\"=\"1\"", L"",
                           L"[HKEY_CURRENT_USER\\Next]", L""})
    b.Add(l);
  io.RegHeader = L"HEAD";
  ASSERT_TRUE(io.CompareRegFiles(a, b));
  // The block ends at the next key line even without an empty line.
  EXPECT_EQ(Lines(io.NewKeyList), (std::vector<String>{L"HEAD", L"[HKEY_CURRENT_USER\\OnlyFirst]", L"\"w\"=\"2\""}));
  EXPECT_EQ(Lines(io.DeletedKeyList), (std::vector<String>{L"HEAD", L""}));
  EXPECT_EQ(Lines(io.ExistingKeyList), (std::vector<String>{L"HEAD"}));  // matched ignoring case

  TFailingLines bad;
  for (int i = 0; i < 6; ++i) bad.Add(L"x");
  EXPECT_FALSE(io.CompareRegFiles(bad, b));
}

TEST_F(IORegistryT, SingleValuesNeverCreateTheKey) {
  const String key = Path(L"single");
  EXPECT_FALSE(io.SetRegistryValue(key, L"n", 5));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, key));
  EXPECT_EQ(io.GetRegistryValue(key, L"n", 7), 7);
  MakeKey(L"single");
  EXPECT_TRUE(io.SetRegistryValue(key, L"n", 5));
  EXPECT_TRUE(io.SetRegistryValue(L"\\" + key, L"b", true));
  EXPECT_TRUE(io.SetRegistryValue(key, L"s", L"text"));
  EXPECT_EQ(io.GetRegistryValue(key, L"n", 7), 5);
  EXPECT_TRUE(io.GetRegistryValue(key, L"b", false));
  EXPECT_EQ(io.GetRegistryValue(key, L"s", L"none"), L"text");
  // Missing or of another type: the default.
  EXPECT_EQ(io.GetRegistryValue(key, L"missing", L"none"), L"none");
  EXPECT_EQ(io.GetRegistryValue(key, L"s", 9), 9);
  EXPECT_TRUE(io.GetRegistryValue(key, L"s", true));
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"single", L"b", t, d));
  EXPECT_EQ(d, Dw(1));
  // rkNONE means the current user's root; another root finds no such key.
  io.RootKey = TIORegistry::rkNONE;
  EXPECT_EQ(io.GetRegistryValue(key, L"n", 7), 5);
  io.RootKey = TIORegistry::rkHKEY_USERS;
  EXPECT_EQ(io.GetRegistryValue(key, L"n", 7), 7);
  EXPECT_FALSE(io.SetRegistryValue(key, L"n", 1));
}

// HKEY_CURRENT_USER is the user's key below HKEY_USERS: the same key under
// both roots keeps the file's order.
TEST_F(IORegistryT, OneKeyUnderTwoRootsKeepsTheFileOrder) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  char buf[256];
  DWORD len = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, buf, sizeof buf, &len));
  CloseHandle(token);
  wchar_t* sid = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf)->User.Sid, &sid));
  const String users = L"HKEY_USERS\\" + String(sid) + L"\\" + Path();
  LocalFree(sid);
  MakeKey(L"twin");
  ASSERT_TRUE(RegKeyExists(RegRoot::Users, users.substr(11) + L"\\twin"));
  String text = L"REGEDIT4\r\n";
  for (int k = 0; k < 40; ++k) {
    const String sub = L"\\twin\\k" + IntToStr(k) + L"]\r\n";
    text += L"[HKEY_CURRENT_USER\\" + Path() + sub + L"\"v\"=dword:00000001\r\n";
    text += L"[" + users + sub + L"\"v\"=dword:00000002\r\n";
  }
  WriteFileBytes(File(L"t.reg"), WideToAnsi(text));
  EXPECT_EQ(io.ImportRegistry(File(L"t.reg")).SkippedLines, 0);
  for (int k = 0; k < 40; ++k) {
    DWORD t;
    std::string d;
    ASSERT_TRUE(Get(L"twin\\k" + IntToStr(k), L"v", t, d));
    EXPECT_EQ(d, Dw(2)) << k;
  }
}

namespace {
// Clears the registry layer's faults however the test ends.
struct TFaults {
  ~TFaults() { RegistryClearFaults(); }
};
}  // namespace

// Failures made through the registry layer's fault seam: the export names
// each key it could not list with the system's reason, writes the rest, and
// says "incomplete" only when something is missing; a key that can't be
// opened at all is refused with the reason, and nothing is written.
TEST_F(IORegistryT, ExportFailuresThroughTheFaultSeam) {
  Put(L"seam", L"top", REG_SZ, StringToRegBytes(L"t"));
  Put(L"seam\\A", L"a", REG_SZ, StringToRegBytes(L"1"));
  Put(L"seam\\B", L"b", REG_DWORD, Dw(2));
  const String where = L"HKEY_CURRENT_USER\\" + Path(L"seam");
  TFaults faults;
  auto failure = [&](const String& File) -> String {
    try {
      io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"seam"), File, true);
    } catch (const ERegistryException& e) {
      return e.Message();
    }
    return String();
  };

  RegistryFailNext(L"RegEnumValue", -1, ERROR_ACCESS_DENIED);
  String m = failure(File(L"v.reg"));
  RegistryClearFaults();
  EXPECT_EQ(m.rfind(L"The exported file is incomplete: 3 keys could not be read whole:\n", 0), 0u) << WideToAnsi(m);
  for (const String& k : {where, where + L"\\A", where + L"\\B"})
    EXPECT_NE(m.find(L"\n" + k + L" (" + SysErrorMessage(ERROR_ACCESS_DENIED) + L")"), String::npos) << WideToAnsi(m);
  std::string text = ReadFileBytes(File(L"v.reg"));  // the keys are there, without their values
  EXPECT_NE(text.find(WideToAnsi(where) + "\\B]"), std::string::npos);
  EXPECT_EQ(text.find("\"b\"="), std::string::npos);

  RegistryFailNext(L"RegEnumKeyEx", -1, ERROR_INVALID_HANDLE);
  m = failure(File(L"k.reg"));
  RegistryClearFaults();
  EXPECT_EQ(m, L"The exported file is incomplete: 1 key could not be read whole:\n" + where + L" (" +
                   SysErrorMessage(ERROR_INVALID_HANDLE) + L")");
  text = ReadFileBytes(File(L"k.reg"));
  EXPECT_NE(text.find("\"top\"=\"t\""), std::string::npos);
  EXPECT_EQ(text.find(WideToAnsi(where) + "\\A]"), std::string::npos);

  RegistryFailNext(L"RegOpenKeyEx", -1, ERROR_ACCESS_DENIED);
  m = failure(File(L"o.reg"));
  RegistryClearFaults();
  EXPECT_EQ(m.rfind(L"The key to export can't be read: nothing was exported, and no file was written.", 0), 0u)
      << WideToAnsi(m);
  EXPECT_NE(m.find(SysErrorMessage(ERROR_ACCESS_DENIED)), String::npos);
  EXPECT_FALSE(FileExists(File(L"o.reg")));

  EXPECT_EQ(failure(File(L"ok.reg")), L"");
}

// The whole of HKEY_LOCAL_MACHINE as the user exports it: nothing is
// missing, so nothing is reported (its performance-data keys included).
TEST_F(IORegistryT, ExportOfTheWholeLocalMachineReportsNothing) {
  const auto r = io.ExportRegistry(L"HKEY_LOCAL_MACHINE", L"", File(L"hklm.reg"), true);
  EXPECT_GT(r.Keys, 1000u);
  const std::string head = ReadFileBytes(File(L"hklm.reg")).substr(0, 64);
  EXPECT_NE(head.find("[HKEY_LOCAL_MACHINE]"), std::string::npos);
}

// Import failures through the fault seam: a key that can't be created skips
// its lines (counted), a refused write or key deletion is raised with the
// lines before it written.
TEST_F(IORegistryT, ImportFailuresThroughTheFaultSeam) {
  const String p = L"HKEY_CURRENT_USER\\" + Path();
  WriteFileBytes(File(L"i.reg"), WideToAnsi(L"REGEDIT4\r\n[" + p + L"\\one]\r\n\"a\"=\"1\"\r\n[" + p +
                                             L"\\two]\r\n\"b\"=\"2\"\r\n"));
  TFaults faults;
  RegistryFailNext(L"RegCreateKeyEx", -1, ERROR_ACCESS_DENIED);
  auto r = io.ImportRegistry(File(L"i.reg"));
  RegistryClearFaults();
  EXPECT_EQ(r.SkippedLines, 4);
  EXPECT_EQ(r.FirstSkippedLine, 2);
  EXPECT_EQ(r.Keys, 0);
  EXPECT_EQ(r.Values, 0);
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"one")));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"two")));
  // One key refused by the system itself: only its lines are skipped.
  MakeKey(L"locked");
  {
    TLockedKey lock(Path(L"locked"));
    WriteFileBytes(File(L"l.reg"), WideToAnsi(L"REGEDIT4\r\n[" + p + L"\\locked]\r\n\"a\"=\"1\"\r\n\r\n[" +
                                               p + L"\\two]\r\n\"b\"=\"2\"\r\n"));
    r = io.ImportRegistry(File(L"l.reg"));
  }
  EXPECT_EQ(r.SkippedLines, 2);
  EXPECT_EQ(r.FirstSkippedLine, 2);
  EXPECT_EQ(r.Keys, 1);
  EXPECT_EQ(r.Values, 1);
  EXPECT_FALSE(Has(L"locked", L"a"));
  EXPECT_TRUE(Has(L"two", L"b"));

  RegDeleteBranch(RegRoot::CurrentUser, Path(L"two"));
  RegistryFailNext(L"RegSetValueEx", -1, ERROR_ACCESS_DENIED);
  EXPECT_THROW(io.ImportRegistry(File(L"i.reg")), ERegistryException);
  RegistryClearFaults();
  EXPECT_FALSE(Has(L"two", L"b"));

  MakeKey(L"doomed\\inner");
  WriteFileBytes(File(L"d.reg"), WideToAnsi(L"REGEDIT4\r\n[" + p + L"\\one]\r\n\"a\"=\"1\"\r\n[-" + p +
                                             L"\\doomed]\r\n[" + p + L"\\three]\r\n\"c\"=\"3\"\r\n"));
  RegistryFailNext(L"RegDeleteKey", -1, ERROR_ACCESS_DENIED);
  EXPECT_THROW(io.ImportRegistry(File(L"d.reg")), ERegistryException);
  RegistryClearFaults();
  EXPECT_TRUE(Has(L"one", L"a"));
  EXPECT_TRUE(RegKeyExists(RegRoot::CurrentUser, Path(L"doomed")));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"three")));
}

TEST_F(IORegistryT, MissingFileIsAFailure) {
  try {
    io.ImportRegistry(File(L"none.reg"));
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"File \"" + File(L"none.reg") + L"\" not found.");
  }
}

// A file must begin with a header; lines a caller gives through
// RegistryData need none.
TEST_F(IORegistryT, OnlyAFileNeedsAHeader) {
  const String key = L"[HKEY_CURRENT_USER\\" + Path(L"noheader") + L"]";
  WriteFileBytes(File(L"n.reg"), WideToAnsi(key + L"\r\n\"v\"=\"1\"\r\n"));
  EXPECT_THROW(io.ImportRegistry(File(L"n.reg")), ENotRegistryFile);
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, Path(L"noheader")));
  io.ImportSource = eiProperty;
  io.RegistryData.Add(key);
  io.RegistryData.Add(L"\"v\"=hex(2):41,00");
  EXPECT_EQ(io.ImportRegistry().SkippedLines, 0);
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"noheader", L"v", t, d));
  EXPECT_EQ(t, DWORD(REG_EXPAND_SZ));
  EXPECT_EQ(d, StringToRegBytes(L"A"));  // ANSI text without a header
}

// The registry holds what regedit stores for the same file: text data
// given without its final NUL gets one, a broken hex value is left out
// whole, and both its lines count as skipped.
TEST_F(IORegistryT, ImportStoresTheBytesRegeditStores) {
  const String k = L"[HKEY_CURRENT_USER\\" + Path(L"rg") + L"]\r\n";
  const String text = L"Windows Registry Editor Version 5.00\r\n" + k +
                      L"\"e\"=hex(2):41,00,42,00\r\n\"m\"=hex(7):41,00,00,00,42,00\r\n\"s\"=hex(1):41,00\r\n"
                      L"\"x\"=hex(2):41,00,42,00,00,00\r\n\"cut\"=hex:01,02,\\\r\n\"next\"=dword:1\r\n";
  WriteFileBytes(File(L"rg.reg"), "\xFF\xFE" + [&] {
    std::string b;
    for (char16_t c : ToUtf16(text)) b += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return b;
  }());
  const TRegImportResult res = io.ImportRegistry(File(L"rg.reg"));
  EXPECT_EQ(res.SkippedLines, 2);
  EXPECT_EQ(res.FirstSkippedLine, 7);
  DWORD t;
  std::string d;
  ASSERT_TRUE(Get(L"rg", L"e", t, d));
  EXPECT_EQ(d, StringToRegBytes(L"AB"));
  ASSERT_TRUE(Get(L"rg", L"m", t, d));
  EXPECT_EQ(t, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(d, StringToRegBytes(L"A") + StringToRegBytes(L"B"));
  ASSERT_TRUE(Get(L"rg", L"s", t, d));
  EXPECT_EQ(d, StringToRegBytes(L"A"));
  ASSERT_TRUE(Get(L"rg", L"x", t, d));
  EXPECT_EQ(d, StringToRegBytes(L"AB"));
  EXPECT_FALSE(Has(L"rg", L"cut"));
  EXPECT_FALSE(Has(L"rg", L"next"));
}

// The writer thread of a key is chosen by a hash that agrees with the
// registry's own name comparison for every character, so no two spellings
// of one key are written out of file order, whatever the user's locale.
TEST(KeyNames, HashAgreesWithTheRegistrysComparison) {
  int folded = 0;
  for (unsigned c = 1; c <= 0xFFFF; ++c) {
    const String a(1, static_cast<wchar_t>(c));
    String others[4] = {a, a, a, a};
    CharUpperBuffW(others[0].data(), 1);
    CharLowerBuffW(others[1].data(), 1);
    others[2][0] = static_cast<wchar_t>(towupper(static_cast<wint_t>(c)));
    others[3][0] = static_cast<wchar_t>(towlower(static_cast<wint_t>(c)));
    for (const String& b : others) {
      if (b == a || !SameKeyName(L"K" + a, L"K" + b)) continue;
      ++folded;
      ASSERT_EQ(KeyNameHash(L"K" + a), KeyNameHash(L"K" + b)) << std::hex << c << " " << unsigned(b[0]);
    }
  }
  EXPECT_GT(folded, 1000);  // the letters of many scripts, not ASCII alone
  EXPECT_EQ(KeyNameHash(L"Software\\Zembrio"), KeyNameHash(L"SOFTWARE\\zembrio"));
  EXPECT_NE(KeyNameHash(L"a"), KeyNameHash(L"b"));
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

// The registry-file component goes with its form: as made it writes no
// property; every published property changed (its progress event by the
// name its form offers the handler under) reads back into a component the
// reader makes by its class name.
TEST(IORegistryForm, ThePublishedPropertiesReadBackFromTheForm) {
  TIORegistry::Register();
  auto contains = [](TMemoryStream& M, const char* Text) {
    const char* p = static_cast<const char*>(M.Memory());
    return std::search(p, p + M.GetSize(), Text, Text + std::strlen(Text)) != p + M.GetSize();
  };
  const char* names[] = {"NewKeyList",  "DeletedKeyList", "ExistingKeyList", "RegHeader",      "DataNameValueDelim",
                         "StringStartEndChar", "RootStart", "RootEnd",       "Filename",       "RootKey",
                         "HexIntPrefix", "BinaryPrefix",  "ExpStringPrefix", "KeyLevelDelim",  "IncludeSubKeys",
                         "KeyToGet",    "ExportDestination", "ImportSource", "RegistryData",   "RemovedPrefix",
                         "AddedPrefix", "OnProgressChange"};
  uint32_t heard = 0;
  const TProgressEvent handler = [&heard](TObject*, uint32_t P, uint32_t, uint32_t, uint32_t) { heard = P; };
  auto makeRoot = [&](TComponent& Root) {
    Root.SetName(L"Form");
    Root.RegisterMethod(L"PortProgress", handler);
  };
  {
    TComponent root(nullptr);
    makeRoot(root);
    (new TIORegistry(&root))->SetName(L"iorPort");
    TMemoryStream m;
    TWriter(&m).WriteRootComponent(&root);
    for (const char* n : names) EXPECT_FALSE(contains(m, n)) << n;
  }
  TComponent root(nullptr);
  makeRoot(root);
  auto* src = new TIORegistry(&root);
  src->SetName(L"iorPort");
  src->NewKeyList.Add(L"[new]");
  src->DeletedKeyList.Add(L"[gone]");
  src->ExistingKeyList.Add(L"[both]");
  src->RegHeader = L"REGEDIT5";
  src->DataNameValueDelim = L':';
  src->StringStartEndChar = L'\'';
  src->RootStart = L'<';
  src->RootEnd = L'>';
  src->Filename = L"dump.reg";
  src->RootKey = TIORegistry::rkNONE;
  src->HexIntPrefix = L"d:";
  src->BinaryPrefix = L"b:";
  src->ExpStringPrefix = L"e:";
  src->KeyLevelDelim = L'/';
  src->IncludeSubKeys = false;
  src->KeyToGet = L"Software\\X";
  src->ExportDestination = eiProperty;
  src->ImportSource = eiProperty;
  src->RegistryData.Add(L"REGEDIT4");
  src->RemovedPrefix = L"- ";
  src->AddedPrefix = L"+ ";
  src->OnProgressChange = handler;
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&root);
  for (const char* n : names) EXPECT_TRUE(contains(m, n)) << n;

  TComponent back(nullptr);
  makeRoot(back);
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&back);
  auto* dst = dynamic_cast<TIORegistry*>(back.FindComponent(L"iorPort"));
  ASSERT_NE(dst, nullptr);
  EXPECT_EQ(dst->NewKeyList.Get(0), L"[new]");
  EXPECT_EQ(dst->DeletedKeyList.Get(0), L"[gone]");
  EXPECT_EQ(dst->ExistingKeyList.Get(0), L"[both]");
  EXPECT_EQ(dst->RegHeader, L"REGEDIT5");
  EXPECT_EQ(dst->DataNameValueDelim, L':');
  EXPECT_EQ(dst->StringStartEndChar, L'\'');
  EXPECT_EQ(dst->RootStart, L'<');
  EXPECT_EQ(dst->RootEnd, L'>');
  EXPECT_EQ(dst->Filename, L"dump.reg");
  EXPECT_EQ(dst->RootKey, TIORegistry::rkNONE);
  EXPECT_EQ(dst->HexIntPrefix, L"d:");
  EXPECT_EQ(dst->BinaryPrefix, L"b:");
  EXPECT_EQ(dst->ExpStringPrefix, L"e:");
  EXPECT_EQ(dst->KeyLevelDelim, L'/');
  EXPECT_FALSE(dst->IncludeSubKeys);
  EXPECT_EQ(dst->KeyToGet, L"Software\\X");
  EXPECT_EQ(dst->ExportDestination, eiProperty);
  EXPECT_EQ(dst->ImportSource, eiProperty);
  ASSERT_EQ(dst->RegistryData.GetCount(), 1);
  EXPECT_EQ(dst->RemovedPrefix, L"- ");
  EXPECT_EQ(dst->AddedPrefix, L"+ ");
  ASSERT_TRUE(static_cast<bool>(dst->OnProgressChange));
  dst->OnProgressChange(dst, 7, 1, 9, 1);
  EXPECT_EQ(heard, 7u);
}

// An export follows links and leaves out a link back to a key above it: it
// ends, its file holds each key once, and the message names that link.
TEST_F(IORegistryT, ALinkBackToAKeyAboveItIsLeftOutAndNamed) {
  namespace reg = testsupport::reg;
  Put(L"C\\Inner", L"v", REG_SZ, StringToRegBytes(L"1"));
  Put(L"Elsewhere", L"w", REG_DWORD, Dw(2));
  reg::CreateLink(Path(L"C\\Inner\\Back"), reg::NativePath(Path(L"C")));
  reg::CreateLink(Path(L"C\\Out"), reg::NativePath(Path(L"Elsewhere")));
  String m;
  {
    // A guard: an export that goes round would write for ever.
    testsupport::Watchdog guard(10000, [this] { io.StopRequested = true; });
    try {
      io.ExportRegistry(L"HKEY_CURRENT_USER", Path(L"C"), File(L"c.reg"), true);
    } catch (const ERegistryException& e) {
      m = e.Message();
    }
  }
  const String where = L"HKEY_CURRENT_USER\\" + Path(L"C");
  EXPECT_EQ(m, L"The exported file is incomplete: 1 key could not be read whole:\n" + where +
                   L"\\Inner\\Back (a link back to a key above it: " + where + L")");
  std::vector<String> keys;
  for (const String& line : DecodeTextLines(ReadFileBytes(File(L"c.reg"))))
    if (!line.empty() && line[0] == L'[') keys.push_back(line);
  EXPECT_EQ(keys, (std::vector<String>{L"[" + where + L"]", L"[" + where + L"\\Inner]", L"[" + where + L"\\Out]"}));
}

// TRegistry and the registry-backed settings files against the real
// registry, under HKEY_CURRENT_USER\Software\ZembrioTest\classlib.
#include <gtest/gtest.h>

#include <cstring>

#include "classlib/Registry.h"
#include "testsupport/Registry.h"
#include "testsupport/Watchdog.h"

namespace {

const wchar_t kBase[] = L"\\Software\\ZembrioTest\\classlib";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegistryClearFaults();
    TRegistry r;
    r.DeleteKey(kBase);
    ASSERT_TRUE(r.OpenKey(kBase, true));
  }
  void TearDown() override {
    RegistryClearFaults();
    TRegistry r;
    r.DeleteKey(kBase);
  }
  // A registry object with the test key open.
  static void Open(TRegistry& r, const String& sub = String()) {
    ASSERT_TRUE(r.OpenKey(String(kBase) + (sub.empty() ? L"" : L"\\" + sub), true));
  }
};

}  // namespace

TEST_F(RegistryTest, RoundTripOfEveryValueType) {
  TRegistry r;
  Open(r);
  r.WriteString(L"s", L"text \u00E9\u4E2D");
  r.WriteString(L"", L"default value");
  r.WriteString(L"empty", L"");
  r.WriteExpandString(L"x", L"%TEMP%\\a");
  r.WriteInteger(L"i", -5);
  r.WriteBool(L"b", true);
  r.WriteFloat(L"f", 2.75);
  r.WriteDateTime(L"d", EncodeDate(2020, 5, 17));
  const unsigned char bytes[] = {0, 1, 2, 0xFF, 0x80};
  r.WriteBinaryData(L"bin", bytes, sizeof bytes);
  r.WriteBinaryData(L"bin0", nullptr, 0);

  EXPECT_EQ(r.ReadString(L"s"), L"text \u00E9\u4E2D");
  EXPECT_EQ(r.ReadString(L""), L"default value");
  EXPECT_EQ(r.ReadString(L"empty"), L"");
  EXPECT_EQ(r.ReadString(L"missing"), L"");
  EXPECT_EQ(r.ReadExpandString(L"x"), L"%TEMP%\\a");  // not expanded
  EXPECT_EQ(r.ReadInteger(L"i"), -5);
  EXPECT_TRUE(r.ReadBool(L"b"));
  EXPECT_EQ(r.ReadFloat(L"f"), 2.75);
  EXPECT_EQ(r.ReadDateTime(L"d"), EncodeDate(2020, 5, 17));
  unsigned char back[8] = {};
  EXPECT_EQ(r.ReadBinaryData(L"bin", back, sizeof back), 5);
  EXPECT_EQ(std::memcmp(back, bytes, 5), 0);
  EXPECT_EQ(r.ReadBinaryData(L"bin0", back, sizeof back), 0);
  EXPECT_EQ(r.ReadBinaryData(L"missing", back, sizeof back), 0);

  EXPECT_EQ(r.GetDataType(L"s"), rdString);
  EXPECT_EQ(r.GetDataType(L"x"), rdExpandString);
  EXPECT_EQ(r.GetDataType(L"i"), rdInteger);
  EXPECT_EQ(r.GetDataType(L"bin"), rdBinary);
  EXPECT_EQ(r.GetDataType(L"missing"), rdUnknown);
  EXPECT_EQ(r.GetDataSize(L"bin"), 5);
  EXPECT_EQ(r.GetDataSize(L"bin0"), 0);
  EXPECT_EQ(r.GetDataSize(L"missing"), -1);
  EXPECT_EQ(r.GetDataSize(L"s"), static_cast<int>((String(L"text \u00E9\u4E2D").size() + 1) * sizeof(wchar_t)));
  TRegDataInfo info;
  EXPECT_TRUE(r.GetDataInfo(L"i", info));
  EXPECT_EQ(info.RegData, rdInteger);
  EXPECT_EQ(info.DataSize, 4);
  EXPECT_TRUE(r.ValueExists(L"EMPTY"));  // names ignore case
  EXPECT_FALSE(r.ValueExists(L"missing"));

  TStringList names;
  r.GetValueNames(&names);
  EXPECT_EQ(names.GetCount(), 10);
}

TEST_F(RegistryTest, WrongTypesAndSmallBuffersRaise) {
  TRegistry r;
  Open(r);
  r.WriteString(L"s", L"12");
  r.WriteInteger(L"i", 1);
  const unsigned char bytes[16] = {1, 2, 3};
  r.WriteBinaryData(L"bin", bytes, sizeof bytes);
  try {
    r.ReadInteger(L"s");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), L"Invalid data type for 's'");
  }
  EXPECT_THROW(r.ReadString(L"i"), ERegistryException);
  EXPECT_THROW(r.ReadFloat(L"bin"), ERegistryException);  // not 8 bytes
  EXPECT_THROW(r.ReadInteger(L"missing"), ERegistryException);
  unsigned char small[4];
  EXPECT_THROW(r.ReadBinaryData(L"bin", small, sizeof small), ERegistryException);
  EXPECT_THROW(r.ReadBinaryData(L"s", small, sizeof small), ERegistryException);
}

TEST_F(RegistryTest, RawValuesOfOtherTypesCopyExactly) {
  TRegistry r;
  Open(r);
  TRegRawValue multi;
  multi.Type = REG_MULTI_SZ;
  const wchar_t text[] = L"a\0bc\0";
  multi.Data.assign(reinterpret_cast<const unsigned char*>(text),
                    reinterpret_cast<const unsigned char*>(text) + sizeof text);
  r.WriteRaw(L"multi", multi);
  TRegRawValue qw;
  qw.Type = REG_QWORD;
  qw.Data = {1, 2, 3, 4, 5, 6, 7, 8};
  r.WriteRaw(L"qword", qw);
  TRegRawValue none;
  none.Type = REG_NONE;
  r.WriteRaw(L"none", none);

  TRegRawValue back;
  ASSERT_TRUE(r.ReadRaw(L"multi", back));
  EXPECT_EQ(back.Type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(back.Data, multi.Data);
  ASSERT_TRUE(r.ReadRaw(L"qword", back));
  EXPECT_EQ(back.Type, static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(back.Data, qw.Data);
  ASSERT_TRUE(r.ReadRaw(L"none", back));
  EXPECT_EQ(back.Type, static_cast<DWORD>(REG_NONE));
  EXPECT_TRUE(back.Data.empty());
  EXPECT_FALSE(r.ReadRaw(L"missing", back));
  EXPECT_EQ(r.GetDataType(L"multi"), rdUnknown);
}

TEST_F(RegistryTest, OpenRelativeAbsoluteAndPaths) {
  TRegistry r;
  EXPECT_EQ(r.GetRootKey(), HKEY_CURRENT_USER);
  EXPECT_FALSE(r.OpenKey(String(kBase) + L"\\a", false));  // no creation
  EXPECT_EQ(r.GetCurrentKey(), nullptr);
  ASSERT_TRUE(r.OpenKey(kBase, false));
  EXPECT_EQ(r.GetCurrentPath(), L"Software\\ZembrioTest\\classlib");
  ASSERT_TRUE(r.OpenKey(L"a\\b", true));  // relative to the open key
  EXPECT_EQ(r.GetCurrentPath(), L"Software\\ZembrioTest\\classlib\\a\\b");
  r.WriteInteger(L"v", 7);
  ASSERT_TRUE(r.OpenKey(kBase, false));
  EXPECT_TRUE(r.KeyExists(L"a\\b"));
  EXPECT_TRUE(r.KeyExists(L"A\\B"));
  EXPECT_TRUE(r.KeyExists(String(kBase) + L"\\a"));
  EXPECT_FALSE(r.KeyExists(L"a\\c"));
  EXPECT_TRUE(r.HasSubKeys());
  r.CloseKey();
  EXPECT_EQ(r.GetCurrentPath(), L"");
  EXPECT_FALSE(r.HasSubKeys());
  // Without an open key, relative paths start at the root.
  EXPECT_TRUE(r.KeyExists(L"Software\\ZembrioTest\\classlib\\a"));

  ASSERT_TRUE(r.OpenKeyReadOnly(String(kBase) + L"\\a\\b"));
  EXPECT_EQ(r.ReadInteger(L"v"), 7);
  EXPECT_EQ(r.GetAccess(), static_cast<REGSAM>(KEY_READ));

  TRegistry w;
  Open(w);
  EXPECT_TRUE(w.CreateKey(L"c\\d"));
  EXPECT_EQ(w.GetCurrentPath(), L"Software\\ZembrioTest\\classlib");  // not opened
  TStringList keys;
  w.GetKeyNames(&keys);
  keys.SetSorted(true);
  EXPECT_EQ(keys.GetCommaText(), L"a,c");
  w.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(w.GetCurrentKey(), nullptr);  // changing the root closes the key
}

TEST_F(RegistryTest, DeleteKeyIsRecursive) {
  TRegistry r;
  Open(r, L"del\\x\\y\\z");
  r.WriteString(L"v", L"deep");
  r.CloseKey();
  Open(r);
  EXPECT_TRUE(r.DeleteKey(L"del"));
  EXPECT_FALSE(r.KeyExists(L"del"));
  EXPECT_FALSE(r.DeleteKey(L"del"));
  EXPECT_FALSE(r.DeleteKey(L""));
}

TEST_F(RegistryTest, RenameValueKeepsTypeAndDataAlsoWhenEmpty) {
  TRegistry r;
  Open(r);
  r.WriteBinaryData(L"empty", nullptr, 0);
  r.RenameValue(L"empty", L"renamed");
  EXPECT_FALSE(r.ValueExists(L"empty"));
  EXPECT_EQ(r.GetDataType(L"renamed"), rdBinary);
  EXPECT_EQ(r.GetDataSize(L"renamed"), 0);

  r.WriteExpandString(L"e", L"%PATH%");
  r.RenameValue(L"e", L"e2");
  EXPECT_EQ(r.GetDataType(L"e2"), rdExpandString);
  EXPECT_EQ(r.ReadExpandString(L"e2"), L"%PATH%");

  // Taken name: nothing happens to either value.
  r.WriteInteger(L"p", 1);
  r.WriteInteger(L"q", 2);
  r.RenameValue(L"p", L"Q");
  EXPECT_EQ(r.ReadInteger(L"p"), 1);
  EXPECT_EQ(r.ReadInteger(L"q"), 2);
  r.RenameValue(L"missing", L"z");
  EXPECT_FALSE(r.ValueExists(L"z"));
}

TEST_F(RegistryTest, RenameValueLosesNothingWhenTheWriteFails) {
  TRegistry r;
  Open(r);
  r.WriteString(L"keep", L"data");
  RegistryFailNext(L"RegSetValueEx", 1, ERROR_ACCESS_DENIED);
  EXPECT_THROW(r.RenameValue(L"keep", L"new"), ERegistryException);
  EXPECT_EQ(r.ReadString(L"keep"), L"data");
  EXPECT_FALSE(r.ValueExists(L"new"));
  // The delete of the old name fails: still exactly one copy.
  RegistryFailNext(L"RegDeleteValue", 1, ERROR_ACCESS_DENIED);
  EXPECT_THROW(r.RenameValue(L"keep", L"new"), ERegistryException);
  EXPECT_EQ(r.ReadString(L"keep"), L"data");
  EXPECT_FALSE(r.ValueExists(L"new"));
}

TEST_F(RegistryTest, MoveKeyCopiesTheBranch) {
  TRegistry r;
  Open(r, L"src\\sub");
  r.WriteInteger(L"n", 3);
  TRegRawValue m;
  m.Type = REG_MULTI_SZ;
  m.Data = {'x', 0, 0, 0, 0, 0};
  r.WriteRaw(L"m", m);
  r.CloseKey();
  Open(r, L"src");
  r.WriteString(L"", L"top");
  r.CloseKey();
  Open(r);
  r.MoveKey(L"src", L"dst", true);
  EXPECT_FALSE(r.KeyExists(L"src"));
  ASSERT_TRUE(r.OpenKey(L"dst", false));
  EXPECT_EQ(r.ReadString(L""), L"top");
  ASSERT_TRUE(r.OpenKey(L"sub", false));
  EXPECT_EQ(r.ReadInteger(L"n"), 3);
  TRegRawValue back;
  ASSERT_TRUE(r.ReadRaw(L"m", back));
  EXPECT_EQ(back.Type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(back.Data, m.Data);

  // Copy without delete, and a taken target is left alone.
  Open(r);
  r.MoveKey(L"dst", L"copy", false);
  EXPECT_TRUE(r.KeyExists(L"dst"));
  EXPECT_TRUE(r.KeyExists(L"copy\\sub"));
  r.MoveKey(L"dst", L"copy", true);
  EXPECT_TRUE(r.KeyExists(L"dst"));
}

// Text stored without its final NUL keeps exactly its bytes when written
// and when its key is moved, whatever follows the data in memory.
TEST_F(RegistryTest, TextWithoutAFinalNulKeepsItsSize) {
  TRegistry r;
  Open(r, L"src");
  const char bytes[] = {'a', 0, 'b', 0, 0, 0, 0, 0};  // NULs just past the 4 bytes written
  TRegKey key(r.GetCurrentKey(), r.GetCurrentPath());
  for (DWORD type : {DWORD(REG_SZ), DWORD(REG_EXPAND_SZ), DWORD(REG_MULTI_SZ)})
    key.WriteValue(L"t" + IntToStr(int(type)), type, bytes, 4);
  r.CloseKey();
  Open(r);
  r.MoveKey(L"src", L"dst", true);
  ASSERT_TRUE(r.OpenKey(L"dst", false));
  for (DWORD type : {DWORD(REG_SZ), DWORD(REG_EXPAND_SZ), DWORD(REG_MULTI_SZ)}) {
    TRegRawValue back;
    ASSERT_TRUE(r.ReadRaw(L"t" + IntToStr(int(type)), back));
    EXPECT_EQ(back.Type, type);
    EXPECT_EQ(back.Data, (std::vector<unsigned char>{'a', 0, 'b', 0})) << type;
  }
}

TEST_F(RegistryTest, MoveKeyIntoItselfIsRefused) {
  TRegistry r;
  Open(r, L"loop\\inner");
  r.CloseKey();
  Open(r);
  EXPECT_THROW(r.MoveKey(L"loop", L"LOOP\\inner\\again", true), ERegistryException);
  EXPECT_TRUE(r.KeyExists(L"loop\\inner"));
  EXPECT_FALSE(r.KeyExists(L"loop\\inner\\again"));
  // A sibling whose name merely starts the same is fine.
  r.MoveKey(L"loop", L"loop2", true);
  EXPECT_TRUE(r.KeyExists(L"loop2\\inner"));
}

TEST_F(RegistryTest, MoveKeyFailureKeepsTheSource) {
  TRegistry r;
  Open(r, L"m\\a");
  r.WriteString(L"v1", L"1");
  r.WriteString(L"v2", L"2");
  r.CloseKey();
  Open(r);
  // The second value write fails midway through the copy.
  RegistryFailNext(L"RegSetValueEx", 2, ERROR_ACCESS_DENIED);
  EXPECT_THROW(r.MoveKey(L"m", L"n", true), ERegistryException);
  RegistryClearFaults();
  EXPECT_TRUE(r.KeyExists(L"m\\a"));
  EXPECT_FALSE(r.KeyExists(L"n"));
}

TEST_F(RegistryTest, FailureSeamForcesErrors) {
  TRegistry r;
  Open(r);
  RegistryFailNext(L"RegSetValueEx", 1, ERROR_ACCESS_DENIED);
  try {
    r.WriteString(L"w", L"x");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), L"Failed to set data for 'w'");
  }
  r.WriteString(L"w", L"x");  // only the next call failed
  EXPECT_EQ(r.ReadString(L"w"), L"x");

  r.CloseKey();
  RegistryFailNext(L"RegOpenKeyEx", -1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(r.OpenKey(kBase, false));
  EXPECT_FALSE(r.OpenKeyReadOnly(kBase));
  EXPECT_FALSE(r.KeyExists(kBase));
  RegistryClearFaults();
  EXPECT_TRUE(r.KeyExists(kBase));

  RegistryFailNext(L"RegCreateKeyEx", 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(r.CreateKey(String(kBase) + L"\\new"));
  RegistryFailNext(L"RegDeleteKey", 1, ERROR_ACCESS_DENIED);
  Open(r, L"gone");
  r.CloseKey();
  Open(r);
  EXPECT_FALSE(r.DeleteKey(L"gone"));
  EXPECT_TRUE(r.KeyExists(L"gone"));
  RegistryFailNext(L"RegDeleteValue", 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(r.DeleteValue(L"w"));
  EXPECT_TRUE(r.DeleteValue(L"w"));
  EXPECT_FALSE(r.DeleteValue(L"w"));
}

TEST_F(RegistryTest, LazyWriteOffFlushesOnClose) {
  TRegistry r;
  r.SetLazyWrite(false);
  Open(r);
  r.WriteInteger(L"flushed", 1);
  RegistryFailNext(L"RegFlushKey", 1, ERROR_ACCESS_DENIED);
  r.CloseKey();  // a failed flush is not an error of the close
  Open(r);
  EXPECT_EQ(r.ReadInteger(L"flushed"), 1);
}

// ---------------------------------------------------------------------------

TEST_F(RegistryTest, RegIniFileSectionsAreSubkeys) {
  TRegIniFile ini(String(kBase).substr(1) + L"\\ini");
  ini.WriteString(L"Bar1", L"Dock", L"Top");
  ini.WriteInteger(L"Bar1", L"Left", -12);
  ini.WriteBool(L"Bar2", L"Visible", false);
  EXPECT_EQ(ini.ReadString(L"Bar1", L"Dock", L"x"), L"Top");
  EXPECT_EQ(ini.ReadInteger(L"Bar1", L"Left", 0), -12);
  EXPECT_EQ(ini.ReadString(L"Bar1", L"Left", L""), L"-12");  // an integer reads as text
  EXPECT_FALSE(ini.ReadBool(L"Bar2", L"Visible", true));
  EXPECT_EQ(ini.ReadInteger(L"Nope", L"Left", 5), 5);
  EXPECT_EQ(ini.ReadInteger(L"Bar1", L"Dock", 9), 9);  // text that is no number
  TStringList l;
  ini.ReadSections(&l);
  l.Sort();
  EXPECT_EQ(l.GetCommaText(), L"Bar1,Bar2");
  ini.ReadSection(L"Bar1", &l);
  l.Sort();
  EXPECT_EQ(l.GetCommaText(), L"Dock,Left");
  ini.ReadSectionValues(L"Bar1", &l);
  EXPECT_EQ(l.GetValue(L"Dock"), L"Top");
  ini.DeleteKey(L"Bar1", L"Dock");
  EXPECT_EQ(ini.ReadString(L"Bar1", L"Dock", L"gone"), L"gone");
  ini.EraseSection(L"Bar2");
  ini.ReadSections(&l);
  EXPECT_EQ(l.GetCommaText(), L"Bar1");
  EXPECT_EQ(ini.GetCurrentPath(), L"Software\\ZembrioTest\\classlib\\ini");
  // Numbers are stored as text, like ini-file lines; a DWORD reads too.
  TRegistry r;
  ASSERT_TRUE(r.OpenKey(String(kBase) + L"\\ini\\Bar1", false));
  EXPECT_EQ(r.GetDataType(L"Left"), rdString);
  EXPECT_EQ(r.ReadString(L"Left"), L"-12");
  r.WriteInteger(L"Dword", 77);
  EXPECT_EQ(ini.ReadInteger(L"Bar1", L"Dword", 0), 77);
  // Another root key and a key opened later, as the toolbar positions do.
  TRegIniFile other(L"");
  other.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(other.OpenKey(String(kBase).substr(1) + L"\\ini", true));
  EXPECT_EQ(other.ReadInteger(L"Bar1", L"Left", 0), -12);
}

TEST_F(RegistryTest, RegistryIniFileTypesFollowStoredValues) {
  String key = String(kBase).substr(1) + L"\\layout";
  {
    TRegistryIniFile ini(key);
    ini.WriteString(L"", L"ColumnSizes", L"150,310");
    ini.WriteInteger(L"", L"SortColumn", -1);
    ini.WriteBool(L"", L"SortAscending", false);
  }
  TRegistry r;
  ASSERT_TRUE(r.OpenKey(L"\\" + key, false));
  EXPECT_EQ(r.GetDataType(L"SortColumn"), rdInteger);
  EXPECT_EQ(r.GetDataType(L"SortAscending"), rdString);  // booleans are "1"/"0"
  EXPECT_EQ(r.ReadString(L"SortAscending"), L"0");
  // An existing string value keeps being written as text.
  r.WriteString(L"ViewStyle", L"1");
  {
    TRegistryIniFile ini(key);
    ini.WriteInteger(L"", L"ViewStyle", 3);
    EXPECT_EQ(ini.ReadInteger(L"", L"ViewStyle", 0), 3);
    EXPECT_EQ(ini.ReadInteger(L"", L"SortColumn", 0), -1);
    EXPECT_FALSE(ini.ReadBool(L"", L"SortAscending", true));
    EXPECT_TRUE(ini.ReadBool(L"", L"Missing", true));
    EXPECT_EQ(ini.ReadString(L"", L"ColumnSizes", L""), L"150,310");
    EXPECT_EQ(ini.ReadString(L"", L"SortColumn", L""), L"-1");
    EXPECT_TRUE(ini.ValueExists(L"", L"viewstyle"));
    ini.WriteString(L"", L"Bad", L"abc");
    EXPECT_THROW(ini.ReadInteger(L"", L"Bad", 0), EConvertError);
    ini.WriteString(L"Sub", L"k", L"v");
    EXPECT_EQ(ini.ReadString(L"Sub", L"k", L""), L"v");
  }
  EXPECT_EQ(r.GetDataType(L"ViewStyle"), rdString);
  EXPECT_EQ(r.ReadString(L"ViewStyle"), L"3");
}

// ---------------------------------------------------------------------------

TEST(ResourceStream, ReadsTheModulesResource) {
  TResourceStream s(GetModuleHandleW(nullptr), L"ZTESTDATA", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  ASSERT_GE(s.GetSize(), 5);
  char buf[5];
  s.ReadBuffer(buf, 5);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_THROW(s.WriteBuffer("x", 1), EStreamError);
  s.SetPosition(1);
  TMemoryStream m;
  m.CopyFrom(&s, 4);
  EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()), 4), "ello");
  EXPECT_THROW(TResourceStream(GetModuleHandleW(nullptr), L"NOSUCHRES", MAKEINTRESOURCEW(10)), EResNotFound);
}

TEST_F(RegistryTest, GetValuesReadsNamesTypesAndBytesInOnePass) {
  TRegistry r;
  Open(r);
  r.WriteString(L"", L"default value");
  r.WriteExpandString(L"x", L"%TEMP%\\a");
  r.WriteInteger(L"i", -5);
  r.WriteBinaryData(L"empty", nullptr, 0);
  const unsigned char odd[3] = {7, 0, 9};
  r.WriteBinaryData(L"odd", odd, sizeof odd);
  std::vector<unsigned char> big(70000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<unsigned char>(i * 31);
  r.WriteBinaryData(L"big", big.data(), static_cast<int>(big.size()));
  TRegRawValue none;
  none.Type = REG_NONE;
  none.Data = {1, 2};
  r.WriteRaw(L"none", none);

  std::vector<TRegNamedValue> values;
  ASSERT_TRUE(r.GetValues(values));
  TStringList names;
  r.GetValueNames(&names);
  ASSERT_EQ(static_cast<int>(values.size()), names.GetCount());
  for (size_t i = 0; i < values.size(); ++i) {
    // The same order as the names, and the bytes ReadRaw sees.
    EXPECT_EQ(values[i].Name, names.Get(static_cast<int>(i)));
    TRegRawValue one;
    ASSERT_TRUE(r.ReadRaw(values[i].Name, one));
    EXPECT_EQ(values[i].Value.Type, one.Type) << values[i].Name;
    EXPECT_EQ(values[i].Value.Data, one.Data) << values[i].Name;
  }

  // A value that outgrew the buffers between the size query and the read
  // is read again at the same index: nothing is skipped or doubled.
  RegistryFailNext(L"RegEnumValue", 1, ERROR_MORE_DATA);
  std::vector<TRegNamedValue> again;
  ASSERT_TRUE(r.GetValues(again));
  ASSERT_EQ(again.size(), values.size());
  for (size_t i = 0; i < again.size(); ++i) EXPECT_EQ(again[i].Value.Data, values[i].Value.Data);

  // A key that can't be enumerated reports it (and leaves nothing behind).
  RegistryFailNext(L"RegEnumValue", 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(r.GetValues(again));
  RegistryClearFaults();
  r.CloseKey();
  EXPECT_FALSE(r.GetValues(again));
  EXPECT_TRUE(again.empty());
}

// ---------------------------------------------------------------------------
// The key layer under TRegistry.

TEST_F(RegistryTest, KeyLayerPathsViewsAndMoves) {
  // A root given as a number, a path with backslashes at both ends.
  TRegKey k;
  ASSERT_TRUE(k.Create(reinterpret_cast<std::uintptr_t>(HKEY_CURRENT_USER), String(kBase) + L"\\p\\"));
  EXPECT_EQ(k.Path(), L"Software\\ZembrioTest\\classlib\\p");
  TRegKey sub;
  ASSERT_TRUE(sub.CreateSub(k, L"q", KEY_ALL_ACCESS));
  EXPECT_EQ(sub.Path(), L"Software\\ZembrioTest\\classlib\\p\\q");
  sub.WriteValue(L"v", REG_SZ, std::string("a\0\0", 4));
  {
    // A view uses the handle and leaves it open.
    TRegKey view(sub.Handle(), L"x");
    EXPECT_TRUE(view.ValueExists(L"v"));
  }
  TRegKey moved(std::move(sub));
  EXPECT_FALSE(sub.IsOpen());
  DWORD type = 0;
  std::string data;
  ASSERT_TRUE(moved.ReadValue(L"v", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(data, std::string("a\0\0", 4));
  TRegRawValue raw;
  EXPECT_EQ(moved.ReadValue(L"missing", raw), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(k.OpenSub(moved, L"none"));
  EXPECT_EQ(k.LastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, KeyLayerFailuresGoThroughTheSeam) {
  TRegistry r;
  Open(r, L"t\\a\\deep");
  r.WriteString(L"s", L"text");
  Open(r, L"t\\b");
  r.CloseKey();
  TRegKey t;
  ASSERT_TRUE(t.Open(HKEY_CURRENT_USER, String(kBase) + L"\\t"));

  RegistryFailNext(L"RegEnumKeyEx", 1, ERROR_ACCESS_DENIED);
  try {
    t.KeyNames();
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), L"Unable to list the subkeys of the key Software\\ZembrioTest\\classlib\\t");
  }
  TRegKey a;
  ASSERT_TRUE(a.OpenSub(t, L"a\\deep"));
  TRegKeyInfo info;
  ASSERT_TRUE(a.QueryInfo(info));
  TRegValueBuffers buffers;
  RegistryFailNext(L"RegEnumValue", 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(a.ForEachValue(info, buffers, true, [](std::wstring_view, DWORD, const unsigned char*, DWORD) {
    return true;
  }));
  // A value that outgrew the buffers is read again into bigger ones.
  RegistryFailNext(L"RegEnumValue", 2, ERROR_MORE_DATA);
  String seen;
  EXPECT_TRUE(a.ForEachValue(info, buffers, true, [&](std::wstring_view n, DWORD, const unsigned char* d, DWORD s) {
    seen = String(n) + L"=" + String(reinterpret_cast<const wchar_t*>(d), s / 2 - 1);
    return true;
  }));
  EXPECT_EQ(seen, L"s=text");
  a.Close();

  // A branch whose deletion fails partway names the key that stayed and
  // keeps the rest of the branch that wasn't reached.
  RegistryFailNext(L"RegDeleteKey", 1, ERROR_ACCESS_DENIED);
  String failed;
  EXPECT_EQ(t.DeleteTree(L"a", &failed), ERROR_ACCESS_DENIED);
  EXPECT_EQ(failed, L"Software\\ZembrioTest\\classlib\\t\\a\\deep");
  EXPECT_TRUE(t.KeyExists(L"a\\deep"));
  EXPECT_EQ(t.DeleteTree(L"a", &failed), ERROR_SUCCESS);
  EXPECT_FALSE(t.KeyExists(L"a"));
  EXPECT_TRUE(t.KeyExists(L"b"));
  EXPECT_EQ(t.DeleteTree(L"a", &failed), ERROR_FILE_NOT_FOUND);
}

// Links are deleted as themselves: a link key deleted on its own, and a
// branch holding a link to a key outside it and a link to a key that is
// not there, take the links only; the key linked to keeps its values and
// subkeys.
TEST_F(RegistryTest, DeletingLinksLeavesWhatTheyLinkTo) {
  namespace reg = testsupport::reg;
  const String base = String(kBase).substr(1);
  reg::Write(base + L"\\Target", L"i", REG_DWORD, testsupport::Dw(7));
  reg::Write(base + L"\\Target\\Sub", L"s", REG_SZ, testsupport::Sz(L"kept"));
  reg::CreateLink(base + L"\\Alone", reg::NativePath(base + L"\\Target"));
  reg::CreateLink(base + L"\\Branch\\Live", reg::NativePath(base + L"\\Target"));
  reg::CreateLink(base + L"\\Branch\\Inner\\Dangling", L"\\Registry\\User\\ZembrioNoSuchUser\\Missing");
  ASSERT_TRUE(reg::HasValue(base + L"\\Branch\\Live\\Sub", L"s"));  // read through the link

  TRegKey t;
  ASSERT_TRUE(t.Open(HKEY_CURRENT_USER, kBase));
  String failed;
  EXPECT_EQ(t.DeleteTree(L"Alone", &failed), ERROR_SUCCESS) << failed;
  EXPECT_EQ(t.DeleteTree(L"Branch", &failed), ERROR_SUCCESS) << failed;
  EXPECT_FALSE(reg::KeyExists(base + L"\\Alone"));
  EXPECT_FALSE(reg::KeyExists(base + L"\\Branch"));
  EXPECT_EQ(reg::SubkeyNames(base), std::vector<std::wstring>{L"Target"});
  EXPECT_TRUE(reg::HasValue(base + L"\\Target", L"i"));
  EXPECT_TRUE(reg::HasValue(base + L"\\Target\\Sub", L"s"));
}

// A branch moves with its links as links: one to a key outside it and one
// back to the branch itself (a copy of what that one leads to would go
// round for ever) name their keys as before, and the key linked to keeps
// what it holds; a link moved by itself stays a link.
TEST_F(RegistryTest, MovingABranchMovesItsLinksAsLinks) {
  namespace reg = testsupport::reg;
  const String base = String(kBase).substr(1);
  reg::Write(base + L"\\Target\\Sub", L"s", REG_SZ, testsupport::Sz(L"kept"));
  reg::Write(base + L"\\Branch\\Inner", L"v", REG_DWORD, testsupport::Dw(1));
  const std::wstring out = reg::NativePath(base + L"\\Target"), back = reg::NativePath(base + L"\\Branch");
  reg::CreateLink(base + L"\\Branch\\Out", out);
  reg::CreateLink(base + L"\\Branch\\Inner\\Back", back);

  TRegistry r;
  Open(r);
  {
    // A guard: a copy that goes round is made to fail.
    testsupport::Watchdog guard(30000, [] { RegistryFailNext(L"RegCreateKeyEx", -1, ERROR_CANCELLED); });
    r.MoveKey(L"Branch", L"Moved", true);
  }
  EXPECT_FALSE(reg::KeyExists(base + L"\\Branch"));
  EXPECT_TRUE(reg::HasValue(base + L"\\Moved\\Inner", L"v"));
  EXPECT_EQ(reg::LinkTarget(base + L"\\Moved\\Out"), out);
  EXPECT_EQ(reg::LinkTarget(base + L"\\Moved\\Inner\\Back"), back);
  r.MoveKey(L"Moved\\Out", L"Out2", true);
  EXPECT_EQ(reg::LinkTarget(base + L"\\Out2"), out);
  EXPECT_EQ(reg::SubkeyNames(base + L"\\Moved"), std::vector<std::wstring>{L"Inner"});
  EXPECT_EQ(reg::SubkeyNames(base + L"\\Target"), std::vector<std::wstring>{L"Sub"});
  EXPECT_EQ(reg::ValueNames(base + L"\\Target\\Sub"), std::vector<std::wstring>{L"s"});
}

// A key is not moved below itself by a new name that reaches it through a
// link: the move is refused and the key keeps what it holds.
TEST_F(RegistryTest, AKeyIsNotMovedIntoItselfThroughALink) {
  namespace reg = testsupport::reg;
  const String base = String(kBase).substr(1);
  reg::Write(base + L"\\Src\\Inner", L"v", REG_DWORD, testsupport::Dw(7));
  reg::CreateLink(base + L"\\ToSrc", reg::NativePath(base + L"\\Src"));
  TRegistry r;
  Open(r);
  {
    testsupport::Watchdog guard(30000, [] { RegistryFailNext(L"RegCreateKeyEx", -1, ERROR_CANCELLED); });
    EXPECT_THROW(r.MoveKey(L"Src", L"ToSrc\\Inner\\Moved", true), ERegistryException);
    EXPECT_THROW(r.MoveKey(L"Src", L"ToSrc\\New", true), ERegistryException);
    // A new name relative to a key below the one moved.
    ASSERT_TRUE(r.OpenKey(L"Src\\Inner", false));
    EXPECT_THROW(r.MoveKey(String(kBase) + L"\\Src", L"Deeper", true), ERegistryException);
  }
  EXPECT_TRUE(reg::HasValue(base + L"\\Src\\Inner", L"v"));
  EXPECT_EQ(reg::SubkeyNames(base + L"\\Src"), std::vector<std::wstring>{L"Inner"});
  // A link on the way that can't be opened may lead into the key: the
  // move is refused, not made blind.
  ASSERT_TRUE(r.OpenKey(kBase, false));
  RegistryRefuseKey(L"ToSrc", ERROR_ACCESS_DENIED);
  {
    testsupport::Watchdog guard(30000, [] { RegistryFailNext(L"RegCreateKeyEx", -1, ERROR_CANCELLED); });
    EXPECT_THROW(r.MoveKey(L"Src", L"ToSrc\\New", true), ERegistryException);
  }
  RegistryClearFaults();
  EXPECT_TRUE(reg::HasValue(base + L"\\Src\\Inner", L"v"));
}

// Files, streams, progress and cancel; search, seek and buffer reads.
#include <gtest/gtest.h>

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <cwctype>
#include <fstream>

#include "valueedit/HexEditorCore.h"
#include "valueedit/tests/hex_test_util.h"

namespace {

class HexFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = GetTempDirectory() + L"zembrio_hexfiles_" + IntToStr(HexTickCountForTest()) + PathDelim;
    ForceDirectories(dir_);
  }
  void TearDown() override {
    for (const String& f : made_) DeleteFile(f);
    RemoveDir(dir_);
  }
  String File(const String& name) {
    made_.push_back(dir_ + name);
    return dir_ + name;
  }
  static std::string ReadAll(const String& name) {
    std::ifstream in(WideToUtf8Path(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static void WriteAll(const String& name, const std::string& data) {
    std::ofstream out(WideToUtf8Path(name), std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
  }
  static std::string WideToUtf8Path(const String& s) { return WideToUtf8(s); }
  static int64_t HexTickCountForTest() {
    static int n = 0;
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(&n) & 0xFFFF) * 100 + (++n);
  }
  String dir_;
  std::vector<String> made_;
};

}  // namespace

TEST_F(HexFiles, SaveAndLoadRoundTripWithZeroBytes) {
  TestHexEditor ed;
  std::vector<uint8_t> data(70000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 7) % 3 == 0 ? 0 : i);
  ed.Load(data);
  String f = File(L"round.bin");
  ed.SaveToFile(f, true);
  EXPECT_EQ(ReadAll(f), AsText(data));
  EXPECT_FALSE(ed.GetModified());
  EXPECT_FALSE(ed.GetReadOnlyFile());
  EXPECT_EQ(ed.GetFileName(), f);

  TestHexEditor other;
  other.LoadFromFile(f);
  EXPECT_EQ(other.GetAsText(), AsText(data));
  EXPECT_TRUE(other.HasFile());
  EXPECT_FALSE(other.GetReadOnlyFile());
  EXPECT_FALSE(other.GetCanUndo());
  EXPECT_EQ(other.GetCursorPos(), 0);

  // an empty document saves as an empty file
  TestHexEditor empty;
  empty.CreateEmptyFile(L"");
  EXPECT_EQ(empty.GetFileName(), L"Untitled");
  String e = File(L"empty.bin");
  empty.SaveToFile(e, true);
  EXPECT_TRUE(FileExists(e));
  EXPECT_EQ(ReadAll(e), "");
}

TEST_F(HexFiles, ProgressReportsAndCancelledSaveKeepsTheOldFile) {
  TestHexEditor ed;
  ed.Load(std::vector<uint8_t>(150000, 0x5A));
  std::vector<int> reports;
  bool cancelAt41 = false;
  ed.OnLoadSaveProgress = [&](TObject*, THexProgressKind, const String&, uint8_t pct, bool& cancel) {
    reports.push_back(pct);
    if (cancelAt41 && pct == 41) cancel = true;
  };
  String f = File(L"target.bin");
  WriteAll(f, "old contents");
  ed.SaveToFile(f, false);
  EXPECT_EQ(reports, (std::vector<int>{0, 41, 100}));
  EXPECT_EQ(ReadAll(f).size(), 150000u);

  WriteAll(f, "old contents");
  reports.clear();
  cancelAt41 = true;
  try {
    ed.SaveToFile(f, false);
    FAIL() << "no cancel";
  } catch (const EHexException& ex) {
    EXPECT_EQ(ex.Message(), L"Operation Cancelled");
  }
  EXPECT_EQ(ReadAll(f), "old contents");
  EXPECT_EQ(ed.GetDataSize(), 150000);

  // no temporary file is left beside the target
  int others = 0;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(dir_)))
    if (e.path().filename().wstring() != L"target.bin") ++others;
  EXPECT_EQ(others, 0);

  // small transfers report once, with 100
  reports.clear();
  cancelAt41 = false;
  TestHexEditor small;
  small.Load(Bytes(100));
  small.OnLoadSaveProgress = ed.OnLoadSaveProgress;
  TMemoryStream ms;
  small.SaveToStream(&ms);
  EXPECT_EQ(reports, (std::vector<int>{100}));
}

TEST_F(HexFiles, CancelledLoadLeavesAConsistentEmptyDocument) {
  String f = File(L"big.bin");
  WriteAll(f, std::string(200000, 'x'));
  TestHexEditor ed;
  ed.Load(Bytes(50));
  ed.SetSelStart(3);
  ed.Type("A");
  ASSERT_TRUE(ed.GetCanUndo());
  ed.OnLoadSaveProgress = [&](TObject*, THexProgressKind k, const String& name, uint8_t pct, bool& cancel) {
    EXPECT_EQ(k, pkLoad);
    EXPECT_EQ(name, f);
    if (pct > 0) cancel = true;
  };
  EXPECT_THROW(ed.LoadFromFile(f), EHexException);
  EXPECT_EQ(ed.GetDataSize(), 0);
  EXPECT_FALSE(ed.GetCanUndo());
  EXPECT_EQ(ed.GetPropRowCount(), 3);
  EXPECT_FALSE(ed.GetModified());
  EXPECT_FALSE(ed.HasFile());
  EXPECT_EQ(ed.GetAsText(), "");
}

TEST_F(HexFiles, MissingFileAndReadOnlyDocument) {
  TestHexEditor ed;
  try {
    ed.LoadFromFile(dir_ + L"nope.bin");
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind(L"Cannot open " + dir_ + L"nope.bin.\r\n(", 0), 0u);
  }
  String f = File(L"ro.bin");
  WriteAll(f, "abc");
  ed.LoadFromFile(f);
  ed.SetReadOnlyFile(true);
  try {
    ed.SaveToFile(f, true);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), L"Cannot save readonly file " + f + L".");
  }
  String g = File(L"copy.bin");
  ed.SaveToFile(g, true);
  EXPECT_FALSE(ed.GetReadOnlyFile());
  EXPECT_EQ(ed.GetFileName(), g);
  EXPECT_EQ(ReadAll(g), "abc");
}

namespace {
// Sets or clears the file's read-only attribute (the write permissions on
// the host).
void SetReadOnlyAttribute(const String& name, bool on) {
#ifdef _WIN32
  SetFileAttributesW(name.c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
#else
  chmod(WideToUtf8(name).c_str(), on ? 0444 : 0644);
#endif
}
}  // namespace

// The document of a file that can be read but not written is read-only:
// found out when it is loaded, not told.
TEST_F(HexFiles, FileWithTheReadOnlyAttributeLoadsAsAReadOnlyDocument) {
  String f = File(L"locked.bin");
  WriteAll(f, "locked");
  struct Unlock {
    String name;
    ~Unlock() { SetReadOnlyAttribute(name, false); }
  } unlock{f};
  SetReadOnlyAttribute(f, true);
  TestHexEditor ed;
  ed.LoadFromFile(f);
  EXPECT_TRUE(ed.GetReadOnlyFile());
  EXPECT_TRUE(ed.HasFile());
  EXPECT_EQ(ed.GetFileName(), f);
  EXPECT_EQ(ed.GetAsText(), "locked");
  // Saving an edit under its own name is refused and leaves the file.
  ed.Type("41");
  ASSERT_EQ(ed.GetMemory(0), 'A');
  try {
    ed.SaveToFile(f, true);
    FAIL() << "saved over a read-only file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), L"Cannot save readonly file " + f + L".");
  }
  EXPECT_EQ(ReadAll(f), "locked");
  EXPECT_TRUE(ed.GetReadOnlyFile());
  EXPECT_TRUE(ed.GetModified());
  // Under another name it saves and becomes writable there.
  String g = File(L"unlocked.bin");
  ed.SaveToFile(g, true);
  EXPECT_FALSE(ed.GetReadOnlyFile());
  EXPECT_EQ(ReadAll(g), "Aocked");
  // Once the attribute is gone, loading the file again finds it writable.
  SetReadOnlyAttribute(f, false);
  TestHexEditor again;
  again.LoadFromFile(f);
  EXPECT_FALSE(again.GetReadOnlyFile());
  SetReadOnlyAttribute(f, true);
  again.LoadFromFile(f);
  EXPECT_TRUE(again.GetReadOnlyFile());
}

#ifdef _WIN32
// A file that another program holds open, letting others read it but not
// write it, loads as a read-only document.
TEST_F(HexFiles, FileOthersKeepFromWritingLoadsAsAReadOnlyDocument) {
  String f = File(L"shared.bin");
  WriteAll(f, "held");
  HANDLE held = CreateFileW(f.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  TestHexEditor ed;
  ed.LoadFromFile(f);
  EXPECT_TRUE(ed.GetReadOnlyFile());
  EXPECT_EQ(ed.GetAsText(), "held");
  CloseHandle(held);
  ed.LoadFromFile(f);
  EXPECT_FALSE(ed.GetReadOnlyFile());
}
#endif

TEST(HexTempFiles, TempNameIsFreeAndInTheTempFolder) {
  TestHexEditor ed;
  const String dir = GetTempDirectory();
  String a = ed.GetTempName();
  ASSERT_EQ(a.size(), dir.size() + 12);
  EXPECT_EQ(a.substr(0, dir.size()), dir);
  EXPECT_EQ(a.substr(a.size() - 4), L".HXT");
  for (wchar_t c : a.substr(dir.size(), 8)) EXPECT_TRUE(std::iswxdigit(c)) << a;
  EXPECT_FALSE(FileExists(a));
  // A name that a file has meanwhile is never answered again.
  { TFileStream taken(a, fmCreate); }
  String b = ed.GetTempName();
  EXPECT_NE(a, b);
  EXPECT_FALSE(FileExists(b));
  DeleteFile(a);
}

TEST(HexTempFiles, Shift4BitStreamHoldsTheShiftedTailInWholeBlocks) {
  TestHexEditor ed;
  std::vector<uint8_t> data(1200);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
  ed.Load(data);
  // Tails of 511, 512 (whose last nibble needs a byte of a second block) and
  // 1100 bytes.
  for (int32_t pos : {689, 688, 100}) {
    String name;
    std::unique_ptr<TStream> s = ed.CreateShift4BitStream(pos, name);
    ASSERT_TRUE(s) << pos;
    EXPECT_EQ(name.substr(0, GetTempDirectory().size()), GetTempDirectory());
    EXPECT_TRUE(FileExists(name));
    const size_t tail = data.size() - static_cast<size_t>(pos);
    EXPECT_EQ(s->GetPosition(), 0);
    ASSERT_EQ(s->GetSize(), static_cast<int64_t>((tail + 1 + 511) / 512 * 512)) << pos;
    std::vector<uint8_t> got(static_cast<size_t>(s->GetSize()));
    s->ReadBuffer(got.data(), s->GetSize());
    uint8_t carry = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      uint8_t b = i < tail ? data[pos + i] : 0;
      ASSERT_EQ(got[i], static_cast<uint8_t>((b >> 4) | (carry << 4))) << pos << " at " << i;
      carry = b & 0x0F;
    }
    s.reset();
    DeleteFile(name);
  }
  String name = L"x";
  EXPECT_FALSE(ed.CreateShift4BitStream(1200, name));
  EXPECT_TRUE(name.empty());
  EXPECT_FALSE(ed.CreateShift4BitStream(-1, name));
}

TEST(HexTempFiles, NibbleInsertThenDeleteGivesTheDataBackPlusAZeroByte) {
  std::vector<uint8_t> data(1100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 101 + 7);
  for (bool high : {true, false}) {
    for (int32_t pos : {0, 588, 589, 1099}) {
      TestHexEditor ed;
      ed.Load(data);
      ASSERT_TRUE(ed.InsertNibble(pos, high));
      ASSERT_EQ(ed.GetDataSize(), 1101);
      ASSERT_TRUE(ed.DeleteNibble(pos, high));
      std::vector<uint8_t> want = data;
      want.push_back(0);
      EXPECT_EQ(ed.GetAsText(), AsText(want)) << pos << (high ? " high" : " low");
    }
  }
}

namespace {
// Points the temporary-files folder somewhere else while it lives.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const String& dir) : old_(GetTempDirectory()) { Set(dir); }
  ~TempFolderOverride() { Set(old_); }

 private:
  static void Set(const String& dir) {
#ifdef _WIN32
    SetEnvironmentVariableW(L"TMP", dir.c_str());
    SetEnvironmentVariableW(L"TEMP", dir.c_str());
#else
    setenv("TMPDIR", WideToUtf8(dir).c_str(), 1);
#endif
  }
  String old_;
};
}  // namespace

TEST(HexTempFiles, NibbleEditsWorkWithoutATemporaryFolder) {
  TestHexEditor ed;
  ed.Load({0x12, 0x34});
  {
    TempFolderOverride none(GetTempDirectory() + L"zembrio-no-such-folder" + PathDelim);
    String name;
    EXPECT_THROW(ed.CreateShift4BitStream(0, name), Exception);
    EXPECT_TRUE(name.empty());
    ASSERT_TRUE(ed.InsertNibble(1, true));
  }
  EXPECT_EQ(ed.GetAsText(), AsText({0x12, 0x03, 0x40}));
  ASSERT_TRUE(ed.Undo());
  EXPECT_EQ(ed.GetAsText(), AsText({0x12, 0x34}));
}

TEST(HexSearch, FindSeekAndBufferReads) {
  TestHexEditor ed;
  ed.Load(Bytes("aab"));
  const uint8_t ab[] = {'a', 'b'};
  EXPECT_EQ(ed.Find(ab, 2, 0, 2, false, false), 1);
  EXPECT_EQ(ed.Find(ab, 0, 0, 2, false, false), -1);
  EXPECT_EQ(ed.Find(ab, -1, 0, 2, false, false), -1);
  EXPECT_EQ(ed.Find(ab, 2, -1, 2, false, false), -1);
  EXPECT_EQ(ed.Find(ab, 2, 2, 100, false, false), -1);
  const uint8_t AB[] = {'A', 'B'};
  EXPECT_EQ(ed.Find(AB, 2, 0, 2, false, false), -1);
  EXPECT_EQ(ed.Find(AB, 2, 0, 2, true, false), 1);

  TestHexEditor bcd;
  bcd.SetTranslation(tkBCD);
  bcd.SetAsText("xAbC");
  const uint8_t pat[] = {'a', 'b', 'c'};
  EXPECT_EQ(bcd.Find(pat, 3, 0, 100, true, true), 1);
  EXPECT_EQ(bcd.Find(pat, 3, 0, 100, false, true), -1);

  TestHexEditor ten;
  ten.Load(Bytes(10));
  EXPECT_EQ(ten.Seek(-1, 2), 8);
  EXPECT_EQ(ten.GetCursorPos(), 8);
  EXPECT_EQ(ten.Seek(1000, 0), 9);
  EXPECT_EQ(ten.Seek(-3, 1), 6);
  TestHexEditor none;
  EXPECT_EQ(none.Seek(0, 0), -1);

  int32_t n = 5;
  auto buf = ten.BufferFromFile(7, n);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(buf, (std::vector<uint8_t>{7, 8, 9}));
  n = 1;
  EXPECT_THROW(ten.BufferFromFile(-1, n), EHexException);
  EXPECT_THROW(ten.BufferFromFile(10, n), EHexException);
  n = -2;
  EXPECT_THROW(ten.BufferFromFile(0, n), EHexException);
}

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "classlib/ComCtrls.h"
#include "classlib/Forms.h"
#include "extlib/ExFileUtil.h"

namespace {

void WriteBytes(const String& Name, size_t Count) {
  HANDLE H = CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(H, INVALID_HANDLE_VALUE);
  std::string Data(Count, 'z');
  DWORD W;
  WriteFile(H, Data.data(), static_cast<DWORD>(Data.size()), &W, nullptr);
  CloseHandle(H);
}

class FileUtil : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = NormalDir(GetTempDir()) + L"zembrio-extlib-fileutil";
    ClearDir(Root, true);
    ASSERT_TRUE(ExtForceDirectories(Root + L"\\a\\b"));
  }
  void TearDown() override { ClearDir(Root, true); }
  String Root;
};

}  // namespace

TEST_F(FileUtil, CopyIntoDirectoryKeepsNameDateAndDrivesProgress) {
  InitForms();
  std::unique_ptr<TForm> Form(new TForm(Application));
  auto* Bar = new TProgressBar(Form.get());
  Bar->SetParent(Form.get());
  String Src = Root + L"\\source.bin";
  WriteBytes(Src, 20000);
  FILETIME Old = {};
  SYSTEMTIME St = {2001, 2, 0, 3, 4, 5, 6, 0};
  SystemTimeToFileTime(&St, &Old);
  HANDLE H = CreateFileW(Src.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(H, nullptr, nullptr, &Old);
  CloseHandle(H);

  ExtCopyFile(Src, Root + L"\\a", Bar);
  String Copy = Root + L"\\a\\source.bin";
  EXPECT_EQ(ExtGetFileSize(Copy), 20000);
  EXPECT_EQ(FileDateTime(Copy), FileDateTime(Src));
  EXPECT_EQ(Bar->GetMax(), 20000);
  EXPECT_EQ(Bar->GetPosition(), 0);

  // Asked to, the copy clears a read-only destination's attribute.
  SetFileAttributesW(Copy.c_str(), FILE_ATTRIBUTE_READONLY);
  ExtCopyFileEx(Src, Copy, true);
  EXPECT_FALSE(HasAttr(Copy, FILE_ATTRIBUTE_READONLY));
  EXPECT_THROW(ExtCopyFile(Root + L"\\missing", Copy), EFOpenError);
}

TEST_F(FileUtil, DeleteAndClear) {
  WriteBytes(Root + L"\\x1.tmp", 1);
  WriteBytes(Root + L"\\x2.tmp", 1);
  WriteBytes(Root + L"\\keep.txt", 1);
  WriteBytes(Root + L"\\a\\b\\deep.txt", 1);
  SetFileAttributesW((Root + L"\\a\\b\\deep.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(DeleteFiles(Root + L"\\*.tmp"));
  EXPECT_FALSE(DeleteFiles(Root + L"\\*.tmp"));  // nothing left to match
  EXPECT_TRUE(HasAttr(Root + L"\\keep.txt", 0));
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a"), -1);
  EXPECT_TRUE(ClearDir(Root, false));
  EXPECT_TRUE(DirExists(Root));
  EXPECT_FALSE(DirExists(Root + L"\\a"));
  EXPECT_TRUE(ClearDir(Root, true));
  EXPECT_FALSE(DirExists(Root));
  EXPECT_FALSE(ClearDir(Root, true));
}

TEST(FileUtilFolders, SystemFolders) {
  EXPECT_TRUE(DirExists(GetTempDir()));
  EXPECT_TRUE(DirExists(GetWindowsDir()));
  EXPECT_TRUE(DirExists(GetSystemDir()));
}

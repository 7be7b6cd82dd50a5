#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/ComCtrls.h"
#include "classlib/Forms.h"
#include "extlib/ExFileUtil.h"
#include "extlib/tests/FormStream.h"

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

// A junction inside the folder leads somewhere else: clearing the folder
// takes the link away and leaves what it points at. This system makes no
// junctions, so the entry is handed over with a junction's attributes.
TEST_F(FileUtil, ClearingAFolderNeverEmptiesWhatAJunctionPointsAt) {
  WriteBytes(Root + L"\\a\\b\\elsewhere.txt", 1);
  EXPECT_FALSE(ClearDirEntry(Root + L"\\a", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  EXPECT_TRUE(HasAttr(Root + L"\\a\\b\\elsewhere.txt", 0));
  EXPECT_TRUE(ClearDirEntry(Root + L"\\a", FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_FALSE(DirExists(Root + L"\\a"));
}

TEST(FileUtilFolders, SystemFolders) {
  EXPECT_TRUE(DirExists(GetTempDir()));
  EXPECT_TRUE(DirExists(GetWindowsDir()));
  EXPECT_TRUE(DirExists(GetSystemDir()));
}

TEST_F(FileUtil, MovesAndShellOperations) {
  InitForms();
  WriteBytes(Root + L"\\one.txt", 3);
  WriteBytes(Root + L"\\two.txt", 4);
  SetFileAttributesW((Root + L"\\two.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  ExtMoveFile(Root + L"\\two.txt", Root + L"\\a\\moved.txt");
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a\\moved.txt"), 4);
  EXPECT_EQ(ExtGetFileSize(Root + L"\\two.txt"), -1);

  // ";" and "|" both separate the shell's names.
  WriteBytes(Root + L"\\two.txt", 5);
  TExtFileOperator Op(nullptr);
  Op.Source = Root + L"\\one.txt;" + Root + L"\\two.txt";
  Op.Destination = Root + L"\\a\\b";
  Op.Options = TFileOperFlags{flNoConfirmation, flSilent, flNoErrorUI};
  EXPECT_TRUE(Op.Execute());
  EXPECT_FALSE(Op.GetAborted());
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a\\b\\one.txt"), 3);
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a\\b\\two.txt"), 5);
  Op.Operation = foDelete;
  Op.Source = Root + L"\\a\\b\\one.txt|" + Root + L"\\a\\b\\two.txt";
  Op.Destination.clear();
  EXPECT_TRUE(Op.Execute());
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a\\b\\one.txt"), -1);
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a\\b\\two.txt"), -1);

  // Through the shell: a copy, and a move in the same folder (a rename).
  ExtCopyFileEx(Root + L"\\one.txt", Root + L"\\a\\shell.txt", false, true);
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a\\shell.txt"), 3);
  ExtMoveFileEx(Root + L"\\a\\shell.txt", Root + L"\\a\\renamed.txt", true);
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a\\renamed.txt"), 3);
  EXPECT_EQ(ExtGetFileSize(Root + L"\\a\\shell.txt"), -1);
  EXPECT_THROW(ExtCopyFileEx(Root + L"\\missing.txt", Root + L"\\a", false, true), EAbort);
}

TEST_F(FileUtil, DeleteFilesExStopsAtTheFirstFailure) {
  WriteBytes(Root + L"\\x.tmp", 1);
  WriteBytes(Root + L"\\x.log", 1);
  EXPECT_FALSE(DeleteFilesEx({Root + L"\\*.none", Root + L"\\*.log"}));
  EXPECT_EQ(ExtGetFileSize(Root + L"\\x.log"), 1);
  EXPECT_TRUE(DeleteFilesEx({Root + L"\\*.tmp", Root + L"\\*.log"}));
  EXPECT_EQ(ExtGetFileSize(Root + L"\\x.log"), -1);
}

TEST_F(FileUtil, ByteRangeLocks) {
  String Name = Root + L"\\locked.bin";
  WriteBytes(Name, 100);
  HANDLE A = CreateFileW(Name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  HANDLE B = CreateFileW(Name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(A, INVALID_HANDLE_VALUE);
  ASSERT_NE(B, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileLock(A, DWORD(10), DWORD(20)), 0u);
  EXPECT_NE(FileLock(B, DWORD(15), DWORD(2)), 0u);  // locked by the other handle: the system's code
  EXPECT_EQ(FileUnlock(A, DWORD(10), DWORD(20)), 0u);
  EXPECT_EQ(FileLock(A, int64_t(0x100000000LL), int64_t(10)), 0u);  // beyond 4 GiB
  EXPECT_EQ(FileUnlock(A, int64_t(0x100000000LL), int64_t(10)), 0u);
  EXPECT_NE(FileUnlock(A, int64_t(0x100000000LL), int64_t(10)), 0u);  // not locked any more
  EXPECT_EQ(FileLock(B, DWORD(15), DWORD(2)), 0u);
  CloseHandle(A);
  CloseHandle(B);
}

TEST_F(FileUtil, LongAndShortNames) {
  String Long = Root + L"\\A folder with a long name";
  ASSERT_TRUE(ExtForceDirectories(Long));
  WriteBytes(Long + L"\\some long file name.text", 1);
  String Short = LongToShortFileName(Long);
  EXPECT_FALSE(Short.empty());
  EXPECT_LE(Short.size(), 12u);
  EXPECT_EQ(ShortToLongFileName(Long), L"A folder with a long name");
  String ShortPath = LongToShortPath(Long + L"\\some long file name.text");
  EXPECT_EQ(ShortToLongPath(ShortPath), Long + L"\\some long file name.text");
  EXPECT_EQ(ShortToLongFileName(Root + L"\\missing"), L"");
  EXPECT_EQ(LongToShortFileName(Root + L"\\missing"), L"");
}

TEST(FileUtilShell, ShortcutsInASpecialFolder) {
  wchar_t Exe[MAX_PATH];
  GetModuleFileNameW(nullptr, Exe, MAX_PATH);
  CreateFileLink(Exe, L"zembrio-extlib-link", CSIDL_TEMPLATES);
  wchar_t Folder[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, Folder, CSIDL_TEMPLATES, FALSE));
  String Link = NormalDir(Folder) + L"zembrio-extlib-link.lnk";
  EXPECT_GT(ExtGetFileSize(Link), 0);
  DeleteFileLink(L"zembrio-extlib-link", CSIDL_TEMPLATES);
  EXPECT_EQ(ExtGetFileSize(Link), -1);
}

namespace {
// Posts a command to the first dialog box of this thread that shows up.
void AnswerNextDialog(WORD Command) {
  static WORD Answer;
  Answer = Command;
  SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR Id, DWORD) {
    HWND Dlg = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND W, LPARAM Found) -> BOOL {
          wchar_t C[16];
          GetClassNameW(W, C, 16);
          if (wcscmp(C, L"#32770") == 0 && IsWindowVisible(W)) {
            *reinterpret_cast<HWND*>(Found) = W;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&Dlg));
    if (!Dlg) return;
    KillTimer(nullptr, Id);
    PostMessageW(Dlg, WM_COMMAND, Answer, 0);
  });
}
}  // namespace

TEST_F(FileUtil, FolderBrowser) {
  InitForms();
  TBrowseFolderDlg Dlg(nullptr);
  Dlg.FolderName = Root + L"\\a";
  Dlg.DialogText = L"Pick one";
  Dlg.HelpContext = 7;
  HWND Help = nullptr;
  RECT Where{};
  String Selected;
  intptr_t Shown = 0;
  wchar_t Caption[16] = {};
  THelpEvent OldHelp = Application->OnHelp;
  Application->OnHelp = THelpEvent([&](WORD Command, intptr_t Data, bool& CallHelp) {
    if (Command == HELP_CONTEXT) Shown = Data;
    CallHelp = false;
    return true;
  });
  // OK once the preselected folder is the selection (the tree may get there
  // after the dialog is up; Wine's tree does not always get there at all,
  // so after 5 s OK takes whatever is selected).
  Dlg.OnSelChanged = TNotifyEvent([&](TObject*) {
    Selected = Dlg.GetSelection();
    if (SameText(Selected, Root + L"\\a")) PostMessageW(Dlg.GetHandle(), WM_COMMAND, IDOK, 0);
  });
  Dlg.OnInitialized = TNotifyEvent([&](TObject*) {
    Help = GetDlgItem(Dlg.GetHandle(), 0xFFFF);
    GetWindowTextW(Help, Caption, 16);
    GetWindowRect(Dlg.GetHandle(), &Where);
    SendMessageW(Dlg.GetHandle(), WM_COMMAND, MAKEWPARAM(0xFFFF, BN_CLICKED), reinterpret_cast<LPARAM>(Help));
    SetTimer(Dlg.GetHandle(), 77, 5000, [](HWND W, UINT, UINT_PTR, DWORD) { PostMessageW(W, WM_COMMAND, IDOK, 0); });
  });
  ASSERT_TRUE(Dlg.Execute());
  Application->OnHelp = OldHelp;
  // The chosen folder is the selection at OK (when one was reported), as a
  // path without a trailing backslash.
  if (!Selected.empty()) {
    EXPECT_TRUE(SameText(Dlg.FolderName, RemoveBackSlash(Selected)));
  }
  EXPECT_TRUE(DirExists(Dlg.FolderName));
  EXPECT_NE(Dlg.FolderName.back(), L'\\');
  ASSERT_NE(Help, nullptr);
  EXPECT_EQ(Shown, 7);
  EXPECT_STREQ(Caption, L"&Help");
  int W = Where.right - Where.left;
  EXPECT_NEAR(Where.left, (GetSystemMetrics(SM_CXSCREEN) - W) / 2, 1);
  EXPECT_EQ(Dlg.GetHandle(), nullptr);

  // The free function runs the same browser; a cancel keeps the name.
  String Folder = Root;
  AnswerNextDialog(IDCANCEL);
  EXPECT_FALSE(BrowseDirectory(Folder, L"Cancel me", 0));
  EXPECT_EQ(Folder, Root);
  AnswerNextDialog(IDOK);
  EXPECT_TRUE(BrowseDirectory(Folder, L"Take it", 0));
  EXPECT_TRUE(DirExists(Folder));  // the selection (Wine's tree may not reach the preselected one)

  // OK with a folder whose path cannot be had: the system's error, no cancel.
  struct TLookupFails {
    TBrowseFolderDlg::TPathLookup Saved = TBrowseFolderDlg::PathLookup;
    TLookupFails() {
      TBrowseFolderDlg::PathLookup = [](PCIDLIST_ABSOLUTE, LPWSTR) -> BOOL {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
      };
    }
    ~TLookupFails() { TBrowseFolderDlg::PathLookup = Saved; }
  } Fails;
  Folder = Root;
  AnswerNextDialog(IDOK);
  try {
    BrowseDirectory(Folder, L"Fail me", 0);
    ADD_FAILURE() << "no error";
  } catch (const EOSError& E) {
    EXPECT_EQ(E.Message().rfind(L"System Error.  Code: 3.", 0), 0u) << E.Message();
  }
  EXPECT_EQ(Folder, Root);
  AnswerNextDialog(IDCANCEL);  // a cancel still looks nothing up
  EXPECT_FALSE(BrowseDirectory(Folder, L"Cancel me", 0));
}

// A browser opened from another browser's handler: each dialog keeps its
// own help button, also while the other runs.
TEST_F(FileUtil, FolderBrowserOpenedFromAnotherKeepsEachDialogItsOwn) {
  InitForms();
  TBrowseFolderDlg Outer(nullptr), Inner(nullptr);
  Outer.HelpContext = 7;
  Inner.HelpContext = 9;
  std::vector<intptr_t> Shown;
  THelpEvent OldHelp = Application->OnHelp;
  Application->OnHelp = THelpEvent([&](WORD Command, intptr_t Data, bool& CallHelp) {
    if (Command == HELP_CONTEXT) Shown.push_back(Data);
    CallHelp = false;
    return true;
  });
  auto PressHelp = [](TBrowseFolderDlg& D) {
    HWND Help = GetDlgItem(D.GetHandle(), 0xFFFF);
    SendMessageW(D.GetHandle(), WM_COMMAND, MAKEWPARAM(0xFFFF, BN_CLICKED), reinterpret_cast<LPARAM>(Help));
  };
  bool InnerRan = false;
  Inner.OnInitialized = TNotifyEvent([&](TObject*) {
    InnerRan = true;
    PressHelp(Outer);
    PressHelp(Inner);
    PostMessageW(Inner.GetHandle(), WM_COMMAND, IDCANCEL, 0);
  });
  Outer.OnInitialized = TNotifyEvent([&](TObject*) {
    Inner.Execute();
    PressHelp(Outer);  // the inner dialog is gone
    PostMessageW(Outer.GetHandle(), WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(Outer.Execute());
  Application->OnHelp = OldHelp;
  EXPECT_TRUE(InnerRan);
  EXPECT_EQ(Shown, (std::vector<intptr_t>{7, 9, 7}));
  EXPECT_EQ(Outer.GetHandle(), nullptr);
  EXPECT_EQ(Inner.GetHandle(), nullptr);
}

TEST(FileUtilComponents, FolderBrowserAndFileOperatorTravelInTheFormStream) {
  using namespace formstream;
  auto Make = [](TComponent& Root) {
    (new TBrowseFolderDlg(&Root))->SetName(L"Browser");
    (new TExtFileOperator(&Root))->SetName(L"Copier");
  };
  TMemoryStream S;
  TComponent Plain(nullptr);
  Make(Plain);
  Write(&Plain, S);
  for (const char* Name : {"BrowseKind", "DesktopRoot", "DialogText", "HelpContext", "Position", "Destination",
                           "Operation", "Options", "Source"})
    EXPECT_FALSE(Holds(S, Name)) << Name;

  TComponent Source(nullptr), Copy(nullptr);
  Make(Source);
  Make(Copy);
  auto* B = dynamic_cast<TBrowseFolderDlg*>(Source.FindComponent(L"Browser"));
  B->BrowseKind = bfComputers;
  B->DesktopRoot = false;
  B->FolderName = L"C:\\Windows";
  B->Position = dpDefault;
  auto* O = dynamic_cast<TExtFileOperator*>(Source.FindComponent(L"Copier"));
  O->Operation = foMove;
  O->Options = TFileOperFlags{flSilent};
  O->Source = L"a.txt;b.txt";
  O->Destination = L"C:\\out";
  O->ProgressTitle = L"Copying";
  B->DialogText = L"Pick one";
  B->HelpContext = 7;
  B->OnInitialized = Offer<TNotifyEvent>(L"BrowserUp", {&Source, &Copy});
  B->OnSelChanged = Offer<TNotifyEvent>(L"BrowserMoved", {&Source, &Copy});
  ExpectRoundTrip(&Source, &Copy, S);
  ExpectStored(S, {"BrowseKind", "DesktopRoot", "DialogText", "FolderName", "HelpContext", "Position",
                   "OnInitialized", "OnSelChanged", "Destination", "Operation", "Options", "ProgressTitle", "Source"});
  auto* R = dynamic_cast<TExtFileOperator*>(Copy.FindComponent(L"Copier"));
  EXPECT_EQ(R->Options, TFileOperFlags{flSilent});  // the defaults dropped
  EXPECT_EQ(dynamic_cast<TBrowseFolderDlg*>(Copy.FindComponent(L"Browser"))->Position, dpDefault);
}

// The library's start-up makes both components known by class name: a form
// read into an empty one makes them.
TEST(FileUtilComponents, StartUpRegistersBothForTheReader) {
  using namespace formstream;
  InitForms();
  auto Source = NewForm(L"FileComponents");
  (new TBrowseFolderDlg(Source.get()))->SetName(L"Browser");
  auto* Op = new TExtFileOperator(Source.get());
  Op->SetName(L"Copier");
  Op->Operation = foRename;
  ExFileUtilFinalize();
  EXPECT_FALSE(GetClass(L"TBrowseFolderDlg"));
  ExFileUtilInitialize();
  auto Made = NewForm(L"MadeFileComponents");
  TMemoryStream S;
  ExpectRoundTrip(Source.get(), Made.get(), S);
  EXPECT_NE(dynamic_cast<TBrowseFolderDlg*>(Made->FindComponent(L"Browser")), nullptr);
  auto* R = dynamic_cast<TExtFileOperator*>(Made->FindComponent(L"Copier"));
  ASSERT_NE(R, nullptr);
  EXPECT_EQ(R->Operation, foRename);
}

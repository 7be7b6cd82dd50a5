// Windows file helpers.
#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "classlib/Controls.h"
#include "classlib/Forms.h"
#include "extlib/ExFileUtil.h"
#include "extlib/ExFiler.h"
#include "extlib/ExProgress.h"

namespace {

struct THandleCloser {
  HANDLE H;
  ~THandleCloser() {
    if (H != INVALID_HANDLE_VALUE) CloseHandle(H);
  }
};

bool IsDotName(const wchar_t* Name) { return Name[0] == L'.'; }

String SystemFolder(UINT (*Get)(wchar_t*, UINT)) {
  wchar_t Buf[1024];
  UINT N = Get(Buf, 1024);
  return (N > 0 && N < 1024) ? String(Buf, N) : String();
}

UINT TempPath(wchar_t* B, UINT N) { return GetTempPathW(N, B); }
UINT WinDir(wchar_t* B, UINT N) { return GetWindowsDirectoryW(B, N); }
UINT SysDir(wchar_t* B, UINT N) { return GetSystemDirectoryW(B, N); }

}  // namespace

bool DirExists(const String& Name) {
  DWORD A = GetFileAttributesW(Name.c_str());
  return A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_DIRECTORY);
}

bool ExtForceDirectories(String Dir) {
  Dir = RemoveBackSlash(Dir);
  if (Dir.size() < 3 || DirExists(Dir)) return true;
  String Parent = RemoveBackSlash(ExtractFilePath(Dir));
  if (Parent != Dir && !ExtForceDirectories(Parent)) return false;
  return CreateDirectoryW(Dir.c_str(), nullptr) || DirExists(Dir);
}

int64_t ExtGetFileSize(const String& FileName) {
  WIN32_FIND_DATAW D;
  HANDLE H = FindFirstFileW(FileName.c_str(), &D);
  if (H == INVALID_HANDLE_VALUE) return -1;
  FindClose(H);
  if (D.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return (static_cast<int64_t>(D.nFileSizeHigh) << 32) | D.nFileSizeLow;
}

TDateTime FileDateTime(const String& FileName) {
  WIN32_FILE_ATTRIBUTE_DATA D;
  if (!GetFileAttributesExW(FileName.c_str(), GetFileExInfoStandard, &D)) return 0.0;
  FILETIME Local;
  SYSTEMTIME S;
  if (!FileTimeToLocalFileTime(&D.ftLastWriteTime, &Local) || !FileTimeToSystemTime(&Local, &S)) return 0.0;
  TDateTime R;
  if (!TryEncodeDate(S.wYear, S.wMonth, S.wDay, R)) return 0.0;
  return R + EncodeTime(S.wHour, S.wMinute, S.wSecond, S.wMilliseconds);
}

bool HasAttr(const String& FileName, unsigned Attr) {
  DWORD A = GetFileAttributesW(FileName.c_str());
  return A != INVALID_FILE_ATTRIBUTES && (A & Attr) == Attr;
}

bool DeleteFiles(const String& FileMask) {
  String Mask = ExpandFileName(FileMask);
  String Dir = ExtractFilePath(Mask);
  WIN32_FIND_DATAW D;
  HANDLE H = FindFirstFileW(Mask.c_str(), &D);
  if (H == INVALID_HANDLE_VALUE) return false;
  bool Any = false, Ok = true;
  do {
    if (IsDotName(D.cFileName) || (D.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    Any = true;
    if (!DeleteFileW((Dir + D.cFileName).c_str())) Ok = false;
  } while (Ok && FindNextFileW(H, &D));
  FindClose(H);
  return Any && Ok;
}

bool DeleteFilesEx(const std::vector<String>& FileMasks) {
  bool Ok = true;
  for (size_t I = 0; I < FileMasks.size() && Ok; ++I) Ok = DeleteFiles(FileMasks[I]);
  return Ok;
}

bool ClearDirEntry(const String& Full, DWORD Attributes) {
  if (Attributes & FILE_ATTRIBUTE_DIRECTORY) {
    // A junction or a directory link is taken away as a link: what it points
    // at lies elsewhere and is never emptied through it.
    if (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveDirectoryW(Full.c_str()) != 0;
    return ClearDir(Full, true);
  }
  if (Attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(Full.c_str(), FILE_ATTRIBUTE_ARCHIVE);
  return DeleteFileW(Full.c_str()) != 0;
}

bool ClearDir(const String& Path, bool Delete) {
  String Dir = RemoveBackSlash(Path);
  if (!DirExists(Dir)) return false;
  String Base = NormalDir(Dir);
  WIN32_FIND_DATAW D;
  bool Ok = true;
  HANDLE H = FindFirstFileW((Base + L"*.*").c_str(), &D);
  bool Normal = true;
  if (H != INVALID_HANDLE_VALUE) {
    do {
      if (IsDotName(D.cFileName)) continue;
      Ok = ClearDirEntry(Base + D.cFileName, D.dwFileAttributes) && Ok;
    } while (FindNextFileW(H, &D));
    Normal = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(H);
  }
  // A bare drive is emptied but never removed.
  bool DriveRoot = Dir.size() <= 2 || (Dir.size() == 3 && Dir[1] == L':');
  if (Delete && Ok && Normal && !DriveRoot) Ok = RemoveDirectoryW(Dir.c_str()) != 0;
  return Ok;
}

String GetTempDir() { return SystemFolder(&TempPath); }
String GetWindowsDir() { return SystemFolder(&WinDir); }
String GetSystemDir() { return SystemFolder(&SysDir); }

void ExtCopyFile(const String& FileName, const String& DestName, TControl* Progress) {
  ExtCopyFileEx(FileName, DestName, false, false, Progress);
}

namespace {
// A copy or move by the shell; a failure or a cancel ends in a silent abort.
void ShellCopyMove(const String& FileName, const String& DestName, bool Move, bool NoConfirm) {
  TExtFileOperator Op(nullptr);
  Op.Source = FileName;
  Op.Destination = DestName;
  if (!Move)
    Op.Operation = foCopy;
  else if (SameText(ExtractFilePath(ExpandFileName(FileName)), ExtractFilePath(ExpandFileName(DestName))))
    Op.Operation = foRename;
  else
    Op.Operation = foMove;
  Op.Options = TFileOperFlags{flNoConfirmMkDir};
  if (NoConfirm) Op.Options += flNoConfirmation;
  if (!Op.Execute() || Op.GetAborted()) throw EAbort(L"");
}
}  // namespace

void ExtCopyFileEx(const String& FileName, const String& DestName, bool OverwriteReadOnly, bool ShellDialog,
                   TControl* Progress) {
  if (ShellDialog) {
    ShellCopyMove(FileName, DestName, false, OverwriteReadOnly);
    return;
  }
  String Dest = DestName;
  if (DirExists(Dest)) Dest = NormalDir(Dest) + ExtractFileName(FileName);
  THandleCloser Src{CreateFileW(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (Src.H == INVALID_HANDLE_VALUE) throw EFOpenError(L"Cannot open file " + FileName);
  LARGE_INTEGER Size = {};
  GetFileSizeEx(Src.H, &Size);
  if (Progress) {
    SetProgressMin(Progress, 0);
    SetProgressMax(Progress, static_cast<int>(std::min<LONGLONG>(Size.QuadPart, 0x7FFFFFFF)));
    SetProgressValue(Progress, 0);
  }
  ExtForceDirectories(ExtractFilePath(ExpandFileName(Dest)));
  if (OverwriteReadOnly && HasAttr(Dest, FILE_ATTRIBUTE_READONLY)) {
    DWORD A = GetFileAttributesW(Dest.c_str());
    SetFileAttributesW(Dest.c_str(), A & ~FILE_ATTRIBUTE_READONLY);
  }
  THandleCloser Dst{
      CreateFileW(Dest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (Dst.H == INVALID_HANDLE_VALUE) throw EFCreateError(L"Cannot create file " + Dest);
  std::unique_ptr<char[]> Buf(new char[8192]);
  int64_t Copied = 0;
  for (;;) {
    DWORD Read = 0;
    if (!ReadFile(Src.H, Buf.get(), 8192, &Read, nullptr)) throw EReadError(L"Stream read error");
    if (Read == 0) break;
    DWORD Written = 0;
    if (!WriteFile(Dst.H, Buf.get(), Read, &Written, nullptr) || Written != Read)
      throw EWriteError(L"Stream write error");
    Copied += Read;
    if (Progress) SetProgressValue(Progress, static_cast<int>(std::min<int64_t>(Copied, 0x7FFFFFFF)));
  }
  FILETIME C, A, W;
  if (GetFileTime(Src.H, &C, &A, &W)) SetFileTime(Dst.H, nullptr, nullptr, &W);
  if (Progress) SetProgressValue(Progress, 0);
}

void ExtMoveFile(const String& FileName, const String& DestName) {
  String Dest = ExpandFileName(DestName);
  if (MoveFileW(FileName.c_str(), Dest.c_str())) return;
  DWORD A = GetFileAttributesW(FileName.c_str());
  if (A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(FileName.c_str(), A & ~FILE_ATTRIBUTE_READONLY);
  ExtCopyFile(FileName, Dest);
  DeleteFileW(FileName.c_str());
}

void ExtMoveFileEx(const String& FileName, const String& DestName, bool ShellDialog) {
  if (ShellDialog)
    ShellCopyMove(FileName, DestName, true, false);
  else
    ExtMoveFile(FileName, DestName);
}

namespace {
DWORD LockResult(BOOL Ok) { return Ok ? 0 : GetLastError(); }
}  // namespace

DWORD FileLock(HANDLE Handle, DWORD Offset, DWORD LockSize) { return LockResult(LockFile(Handle, Offset, 0, LockSize, 0)); }
DWORD FileLock(HANDLE Handle, int64_t Offset, int64_t LockSize) {
  return LockResult(LockFile(Handle, DWORD(Offset), DWORD(Offset >> 32), DWORD(LockSize), DWORD(LockSize >> 32)));
}
DWORD FileUnlock(HANDLE Handle, DWORD Offset, DWORD LockSize) {
  return LockResult(UnlockFile(Handle, Offset, 0, LockSize, 0));
}
DWORD FileUnlock(HANDLE Handle, int64_t Offset, int64_t LockSize) {
  return LockResult(UnlockFile(Handle, DWORD(Offset), DWORD(Offset >> 32), DWORD(LockSize), DWORD(LockSize >> 32)));
}

namespace {
// The long or the short name part of an existing file or folder.
String FoundName(const String& Name, bool Long) {
  WIN32_FIND_DATAW D;
  HANDLE H = FindFirstFileW(Name.c_str(), &D);
  if (H == INVALID_HANDLE_VALUE) return String();
  FindClose(H);
  String L = D.cFileName, S = D.cAlternateFileName;
  if (Long) return L.empty() ? S : L;
  return S.empty() ? L : S;
}

String ConvertPath(const String& Path, bool Long) {
  bool Trailing = Path.size() > 1 && Path.back() == L'\\';
  String Rest = Trailing ? Path.substr(0, Path.size() - 1) : Path, R;
  for (;;) {
    size_t Slash = Rest.rfind(L'\\');
    if (Slash == String::npos) break;
    String Part = Rest.substr(Slash + 1);
    if (!Part.empty()) {
      String Converted = FoundName(Rest, Long);
      R = (Converted.empty() ? Part : Converted) + (R.empty() ? String() : L"\\" + R);
    }
    Rest = Rest.substr(0, Slash);
  }
  return Rest + L"\\" + R + (Trailing && !R.empty() ? L"\\" : L"");
}
}  // namespace

String ShortToLongFileName(const String& ShortName) { return FoundName(ShortName, true); }
String LongToShortFileName(const String& LongName) { return FoundName(LongName, false); }
String ShortToLongPath(const String& ShortName) {
  return ShortName.find(L'\\') == String::npos ? ShortToLongFileName(ShortName) : ConvertPath(ShortName, true);
}
String LongToShortPath(const String& LongName) {
  return LongName.find(L'\\') == String::npos ? LongToShortFileName(LongName) : ConvertPath(LongName, false);
}

// ---------------------------------------------------------------------------
// The folder browser

namespace {
// A browser's dialog window knows its browser and the window procedure it
// had before the browser took its messages: a browser opened from another
// one's handler runs a window of its own.
const wchar_t* const BrowserProp = L"Zembrio.FolderBrowser";
const wchar_t* const BrowserPrevProcProp = L"Zembrio.FolderBrowser.PrevProc";
constexpr int HelpButtonId = 0xFFFF;

// Disables this thread's other enabled top-level windows while a system
// dialog runs, and gives the activation back afterwards.
class TTaskWindowsDisabled {
 public:
  TTaskWindowsDisabled() : active_(GetActiveWindow()) {
    EnumThreadWindows(GetCurrentThreadId(), &Disable, reinterpret_cast<LPARAM>(&windows_));
  }
  ~TTaskWindowsDisabled() {
    for (HWND W : windows_) EnableWindow(W, TRUE);
    if (active_ && IsWindow(active_)) SetActiveWindow(active_);
  }

 private:
  static BOOL CALLBACK Disable(HWND W, LPARAM List) {
    if (IsWindowVisible(W) && IsWindowEnabled(W)) {
      EnableWindow(W, FALSE);
      reinterpret_cast<std::vector<HWND>*>(List)->push_back(W);
    }
    return TRUE;
  }
  HWND active_;
  std::vector<HWND> windows_;
};

HWND OwnerWindow() {
  if (Application && Application->GetMainForm() && Application->GetMainForm()->HandleAllocated())
    return Application->GetMainForm()->GetHandle();
  return Application ? Application->Handle() : GetActiveWindow();
}
}  // namespace

TBrowseFolderDlg::TBrowseFolderDlg(TComponent* AOwner) : TComponent(AOwner) {}

TBrowseFolderDlg::~TBrowseFolderDlg() {
  // The window outliving its browser passes its messages straight on.
  if (handle_ && IsWindow(handle_) && GetPropW(handle_, BrowserProp) == this) RemovePropW(handle_, BrowserProp);
}

TBrowseFolderDlg::TPathLookup TBrowseFolderDlg::PathLookup = &SHGetPathFromIDListW;

bool TBrowseFolderDlg::Execute() {
  PIDLIST_ABSOLUTE Root = nullptr;
  if (!(DesktopRoot && BrowseKind == bfFolders))
    SHGetSpecialFolderLocation(nullptr, BrowseKind == bfComputers ? CSIDL_NETWORK : CSIDL_DRIVES, &Root);
  wchar_t Display[MAX_PATH] = {};
  BROWSEINFOW Info{};
  Info.hwndOwner = OwnerWindow();
  Info.pidlRoot = Root;
  Info.pszDisplayName = Display;
  Info.lpszTitle = DialogText.c_str();
  Info.ulFlags = BrowseKind == bfComputers ? BIF_BROWSEFORCOMPUTER : (BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS);
  Info.lpfn = &TBrowseFolderDlg::Callback;
  Info.lParam = reinterpret_cast<LPARAM>(this);
  selection_.clear();
  PIDLIST_ABSOLUTE List;
  {
    TTaskWindowsDisabled Disabled;
    List = SHBrowseForFolderW(&Info);
  }
  handle_ = nullptr;
  prevProc_ = nullptr;
  struct TItemLists {
    PIDLIST_ABSOLUTE Chosen, Root;
    ~TItemLists() {
      if (Chosen) CoTaskMemFree(Chosen);
      if (Root) CoTaskMemFree(Root);
    }
  } Lists{List, Root};
  if (!List) return false;
  if (BrowseKind == bfFolders) {
    wchar_t Path[MAX_PATH] = {};
    SetLastError(0);
    if (!PathLookup(List, Path)) RaiseLastOSError();
    FolderName = RemoveBackSlash(Path);
  } else {
    FolderName = Display;
  }
  imageIndex_ = Info.iImage;
  return true;
}

int CALLBACK TBrowseFolderDlg::Callback(HWND Wnd, UINT Msg, LPARAM Param, LPARAM Data) {
  auto* Self = reinterpret_cast<TBrowseFolderDlg*>(Data);
  if (!Self) return 0;
  if (Msg == BFFM_INITIALIZED)
    Self->Initialized(Wnd);
  else if (Msg == BFFM_SELCHANGED)
    Self->SelChanged(Param);
  return 0;
}

void TBrowseFolderDlg::Initialized(HWND Wnd) {
  handle_ = Wnd;
  if (Position == dpScreenCenter) {
    RECT R;
    GetWindowRect(Wnd, &R);
    int W = R.right - R.left, H = R.bottom - R.top;
    SetWindowPos(Wnd, nullptr, (GetSystemMetrics(SM_CXSCREEN) - W) / 2, (GetSystemMetrics(SM_CYSCREEN) - H) / 2, 0,
                 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SetPropW(Wnd, BrowserProp, this);
  prevProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TBrowseFolderDlg::SubclassProc)));
  SetPropW(Wnd, BrowserPrevProcProp, reinterpret_cast<HANDLE>(prevProc_));
  if (!FolderName.empty() && (BrowseKind == bfComputers || DirExists(FolderName)))
    SendMessageW(Wnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(FolderName.c_str()));
  if (HelpContext != 0) {
    // As tall and wide as the dialog's first button, at its height.
    HWND First = FindWindowExW(Wnd, nullptr, L"Button", nullptr);
    RECT B{12, 8, 87, 31};
    if (First) {
      GetWindowRect(First, &B);
      MapWindowPoints(nullptr, Wnd, reinterpret_cast<POINT*>(&B), 2);
    }
    HWND Help = CreateWindowExW(0, L"Button", L"&Help", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 12,
                                B.top, B.right - B.left, B.bottom - B.top, Wnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(HelpButtonId)), nullptr, nullptr);
    SendMessageW(Help, WM_SETFONT, SendMessageW(Wnd, WM_GETFONT, 0, 0), FALSE);
  }
  if (OnInitialized) OnInitialized(this);
}

void TBrowseFolderDlg::SelChanged(LPARAM Item) {
  auto* List = reinterpret_cast<PCIDLIST_ABSOLUTE>(Item);
  if (BrowseKind == bfFolders) {
    wchar_t Path[MAX_PATH] = {};
    selection_ = List && SHGetPathFromIDListW(List, Path) ? String(Path) : String();
    SendMessageW(handle_, BFFM_ENABLEOK, 0, !selection_.empty() && DirExists(selection_));
  } else {
    SHFILEINFOW FI{};
    selection_ = List && SHGetFileInfoW(reinterpret_cast<LPCWSTR>(List), 0, &FI, sizeof(FI),
                                        SHGFI_PIDL | SHGFI_DISPLAYNAME)
                     ? String(FI.szDisplayName)
                     : String();
  }
  if (OnSelChanged) OnSelChanged(this);
}

LRESULT CALLBACK TBrowseFolderDlg::SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* Self = static_cast<TBrowseFolderDlg*>(GetPropW(Wnd, BrowserProp));
  auto Prev = reinterpret_cast<WNDPROC>(GetPropW(Wnd, BrowserPrevProcProp));
  if (!Prev) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  if (Self && Msg == WM_COMMAND && LOWORD(WParam) == HelpButtonId && HIWORD(WParam) == 0 && Self->HelpContext != 0) {
    if (Application) Application->HelpContext(Self->HelpContext);
    return 0;
  }
  if (Msg == WM_NCDESTROY) {
    SetWindowLongPtrW(Wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Prev));
    RemovePropW(Wnd, BrowserProp);
    RemovePropW(Wnd, BrowserPrevProcProp);
    if (Self) Self->handle_ = nullptr;
  }
  return CallWindowProcW(Prev, Wnd, Msg, WParam, LParam);
}

namespace {
bool Browse(TBrowseKind Kind, String& Name, const String& DlgText, THelpContext AHelpContext) {
  TBrowseFolderDlg Dlg(Application);
  Dlg.BrowseKind = Kind;
  Dlg.DialogText = DlgText;
  Dlg.FolderName = Name;
  Dlg.HelpContext = AHelpContext;
  if (!Dlg.Execute()) return false;
  Name = Dlg.FolderName;
  return true;
}
}  // namespace

bool BrowseDirectory(String& AFolderName, const String& DlgText, THelpContext AHelpContext) {
  return Browse(bfFolders, AFolderName, DlgText, AHelpContext);
}

bool BrowseComputer(String& ComputerName, const String& DlgText, THelpContext AHelpContext) {
  return Browse(bfComputers, ComputerName, DlgText, AHelpContext);
}

// ---------------------------------------------------------------------------
// Shell file operations and shortcuts

namespace {
// Names separated by ";" or "|" as a list ended by two zeros.
std::vector<wchar_t> NameList(const String& Names) {
  std::vector<wchar_t> R;
  for (wchar_t C : Names) R.push_back(C == L';' || C == L'|' ? L'\0' : C);
  R.push_back(L'\0');
  R.push_back(L'\0');
  return R;
}
}  // namespace

bool TExtFileOperator::Execute() {
  static const UINT Codes[] = {FO_COPY, FO_DELETE, FO_MOVE, FO_RENAME};
  static const FILEOP_FLAGS Flags[] = {FOF_ALLOWUNDO, FOF_CONFIRMMOUSE, FOF_FILESONLY, FOF_MULTIDESTFILES,
                                       FOF_NOCONFIRMATION, FOF_NOCONFIRMMKDIR, FOF_RENAMEONCOLLISION,
                                       FOF_SILENT, FOF_SIMPLEPROGRESS, FOF_NOERRORUI};
  std::vector<wchar_t> From = NameList(Source), To = NameList(Destination);
  SHFILEOPSTRUCTW Op{};
  Op.hwnd = OwnerWindow();
  Op.wFunc = Codes[Operation];
  Op.pFrom = From.data();
  Op.pTo = Destination.empty() ? nullptr : To.data();
  for (int F = flAllowUndo; F <= flNoErrorUI; ++F)
    if (Options.Contains(TFileOperFlag(F))) Op.fFlags |= Flags[F];
  Op.lpszProgressTitle = ProgressTitle.c_str();
  int R;
  {
    TTaskWindowsDisabled Disabled;
    R = SHFileOperationW(&Op);
  }
  aborted_ = Op.fAnyOperationsAborted != FALSE;
  return R == 0;
}

namespace {
String SpecialFolder(int Folder) {
  PIDLIST_ABSOLUTE List = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, Folder, &List)) || !List)
    throw EOSError(L"Special folder not found");
  wchar_t Path[MAX_PATH] = {};
  bool Ok = SHGetPathFromIDListW(List, Path) != FALSE;
  CoTaskMemFree(List);
  if (!Ok) throw EOSError(L"Special folder not found");
  return Path;
}

template <class I>
struct TComRef {
  I* P = nullptr;
  ~TComRef() {
    if (P) P->Release();
  }
};
}  // namespace

void CreateFileLink(const String& FileName, const String& DisplayName, int Folder) {
  HRESULT Init = CoInitialize(nullptr);
  struct TUninit {
    HRESULT H;
    ~TUninit() {
      if (SUCCEEDED(H)) CoUninitialize();
    }
  } Uninit{Init};
  TComRef<IShellLinkW> Link;
  TComRef<IPersistFile> File;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&Link.P))) ||
      FAILED(Link.P->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File.P))))
    throw EOSError(L"Cannot create a shell link");
  String Target = NormalDir(SpecialFolder(Folder)) + DisplayName + L".lnk";
  if (FAILED(Link.P->SetPath(FileName.c_str())) || FAILED(File.P->Save(Target.c_str(), TRUE)))
    throw EOSError(L"Cannot create the shell link " + Target);
}

void DeleteFileLink(const String& DisplayName, int Folder) {
  DeleteFileW((NormalDir(SpecialFolder(Folder)) + DisplayName + L".lnk").c_str());
}

// ---------------------------------------------------------------------------
// Form streams

void TBrowseFolderDlg::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* A = dynamic_cast<TBrowseFolderDlg*>(Filer->GetAncestor());
  using namespace ExFiler;
  Enum(Filer, L"BrowseKind", BrowseKind, A ? A->BrowseKind : bfFolders, {L"bfFolders", L"bfComputers"},
       [this](int V) { BrowseKind = static_cast<TBrowseKind>(V); });
  Boolean(Filer, L"DesktopRoot", DesktopRoot, A ? A->DesktopRoot : true, [this](bool V) { DesktopRoot = V; });
  Text(Filer, L"DialogText", DialogText, A ? A->DialogText : String(), [this](const String& V) { DialogText = V; });
  Text(Filer, L"FolderName", FolderName, A ? A->FolderName : String(), [this](const String& V) { FolderName = V; });
  Integer(Filer, L"HelpContext", HelpContext, A ? A->HelpContext : 0,
          [this](int64_t V) { HelpContext = static_cast<THelpContext>(V); });
  Enum(Filer, L"Position", Position, A ? A->Position : dpScreenCenter, {L"dpDefault", L"dpScreenCenter"},
       [this](int V) { Position = static_cast<TDialogPosition>(V); });
  Event(Filer, L"OnInitialized", OnInitialized, A ? &A->OnInitialized : nullptr);
  Event(Filer, L"OnSelChanged", OnSelChanged, A ? &A->OnSelChanged : nullptr);
}

void TExtFileOperator::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* A = dynamic_cast<TExtFileOperator*>(Filer->GetAncestor());
  using namespace ExFiler;
  Text(Filer, L"Destination", Destination, A ? A->Destination : String(),
       [this](const String& V) { Destination = V; });
  Enum(Filer, L"Operation", Operation, A ? A->Operation : foCopy, {L"foCopy", L"foDelete", L"foMove", L"foRename"},
       [this](int V) { Operation = static_cast<TFileOperation>(V); });
  Set(Filer, L"Options", Options.Bits(), (A ? A->Options : TFileOperFlags{flAllowUndo, flNoConfirmMkDir}).Bits(),
      {L"flAllowUndo", L"flConfirmMouse", L"flFilesOnly", L"flMultiDest", L"flNoConfirmation", L"flNoConfirmMkDir",
       L"flRenameOnCollision", L"flSilent", L"flSimpleProgress", L"flNoErrorUI"},
      [this](uint64_t V) { Options = TFileOperFlags::FromBits(V); });
  Text(Filer, L"ProgressTitle", ProgressTitle, A ? A->ProgressTitle : String(),
       [this](const String& V) { ProgressTitle = V; });
  Text(Filer, L"Source", Source, A ? A->Source : String(), [this](const String& V) { Source = V; });
}

void ExFileUtilInitialize() {
  RegisterClasses({ComponentClass<TBrowseFolderDlg>(L"TBrowseFolderDlg"),
                   ComponentClass<TExtFileOperator>(L"TExtFileOperator")});
}

void ExFileUtilFinalize() {
  for (const wchar_t* Name : {L"TBrowseFolderDlg", L"TExtFileOperator"}) UnRegisterClass(Name);
}

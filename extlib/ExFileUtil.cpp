// Windows file helpers.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>

#include "classlib/Controls.h"
#include "extlib/ExFileUtil.h"
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
      String Full = Base + D.cFileName;
      if (D.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        Ok = ClearDir(Full, true) && Ok;
      } else {
        if (D.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(Full.c_str(), FILE_ATTRIBUTE_ARCHIVE);
        Ok = DeleteFileW(Full.c_str()) && Ok;
      }
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
  ExtCopyFileEx(FileName, DestName, false, Progress);
}

void ExtCopyFileEx(const String& FileName, const String& DestName, bool OverwriteReadOnly, TControl* Progress) {
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

String ShortToLongFileName(const String& ShortName) {
  wchar_t Buf[MAX_PATH * 2];
  DWORD N = GetLongPathNameW(ShortName.c_str(), Buf, MAX_PATH * 2);
  return N == 0 || N >= MAX_PATH * 2 ? ShortName : String(Buf, N);
}

String LongToShortFileName(const String& LongName) {
  wchar_t Buf[MAX_PATH * 2];
  DWORD N = GetShortPathNameW(LongName.c_str(), Buf, MAX_PATH * 2);
  return N == 0 || N >= MAX_PATH * 2 ? LongName : String(Buf, N);
}

String ShortToLongPath(const String& ShortName) { return ShortToLongFileName(ShortName); }
String LongToShortPath(const String& LongName) { return LongToShortFileName(LongName); }

namespace {

int CALLBACK BrowseCallback(HWND Wnd, UINT Msg, LPARAM, LPARAM Data) {
  if (Msg == BFFM_INITIALIZED && Data) SendMessageW(Wnd, BFFM_SETSELECTIONW, TRUE, Data);
  return 0;
}

}  // namespace

bool BrowseDirectory(String& AFolderName, const String& DlgText, int) {
  wchar_t Display[MAX_PATH] = {};
  BROWSEINFOW Info{};
  Info.hwndOwner = GetActiveWindow();
  Info.pszDisplayName = Display;
  Info.lpszTitle = DlgText.c_str();
  Info.ulFlags = BIF_RETURNONLYFSDIRS;
  Info.lpfn = BrowseCallback;
  Info.lParam = reinterpret_cast<LPARAM>(AFolderName.c_str());
  PIDLIST_ABSOLUTE List = SHBrowseForFolderW(&Info);
  if (!List) return false;
  wchar_t Path[MAX_PATH] = {};
  bool OK = SHGetPathFromIDListW(List, Path) != FALSE;
  CoTaskMemFree(List);
  if (OK) AFolderName = Path;
  return OK;
}

// File and folder helpers of the extended library: path normalisation
// (portable), and on Windows directory tests, mask deletion, directory
// clearing and copying with an optional progress control.
#pragma once

#include <cstdint>
#include <vector>

#include "classlib/SysUtils.h"

String NormalDir(const String& DirName);
String RemoveBackSlash(const String& DirName);
bool ValidFileName(const String& FileName);

#ifdef _WIN32
#include <shtypes.h>

#include "classlib/Classes.h"

class TControl;

bool DirExists(const String& Name);
// Creates Dir and its missing parents; false when that failed.
bool ExtForceDirectories(String Dir);
// The Windows headers take the plain names CopyFile, MoveFile, MoveFileEx
// and GetFileSize for their own macros: these carry an "Ext" prefix.
// -1 for a directory or a missing file.
int64_t ExtGetFileSize(const String& FileName);
TDateTime FileDateTime(const String& FileName);
bool HasAttr(const String& FileName, unsigned Attr);
bool DeleteFiles(const String& FileMask);
// DeleteFiles for each mask while all succeed.
bool DeleteFilesEx(const std::vector<String>& FileMasks);
bool ClearDir(const String& Path, bool Delete);
// One entry of ClearDir's scan, by its attributes: a directory is cleared
// and removed, except a junction or directory link, which is removed as a
// link only; a file loses its read-only attribute and is deleted.
bool ClearDirEntry(const String& Full, DWORD Attributes);
String GetTempDir();
String GetWindowsDir();
String GetSystemDir();
// Copies FileName to DestName (a directory keeps the source's name); the
// copy gets the source's date. Progress, when given, follows through the
// progress-control registry. Raises EFOpenError / EFCreateError /
// EReadError / EWriteError. With ShellDialog the shell copies (with its
// progress box); a failed or cancelled shell copy ends in a silent abort.
void ExtCopyFile(const String& FileName, const String& DestName, TControl* Progress = nullptr);
void ExtCopyFileEx(const String& FileName, const String& DestName, bool OverwriteReadOnly,
                   bool ShellDialog = false, TControl* Progress = nullptr);
// Renames; where that fails (another drive), clears the source's read-only
// attribute, copies and deletes the source.
void ExtMoveFile(const String& FileName, const String& DestName);
// With ShellDialog the shell moves (or renames, in the same folder).
void ExtMoveFileEx(const String& FileName, const String& DestName, bool ShellDialog);
// Byte-range locks: 0, or the system's error code.
DWORD FileLock(HANDLE Handle, DWORD Offset, DWORD LockSize);
DWORD FileLock(HANDLE Handle, int64_t Offset, int64_t LockSize);
DWORD FileUnlock(HANDLE Handle, DWORD Offset, DWORD LockSize);
DWORD FileUnlock(HANDLE Handle, int64_t Offset, int64_t LockSize);
// The long name (or, if there is none, the short one) of the file or
// folder, and its alternate 8.3 name (or the long one); the name part only,
// empty when nothing of that name exists.
String ShortToLongFileName(const String& ShortName);
String LongToShortFileName(const String& LongName);
// Every component after the drive converted that way.
String ShortToLongPath(const String& ShortName);
String LongToShortPath(const String& LongName);
// A shell shortcut "DisplayName.lnk" to FileName in the special folder
// (a CSIDL_ value), and its removal.
void CreateFileLink(const String& FileName, const String& DisplayName, int Folder);
void DeleteFileLink(const String& DisplayName, int Folder);

enum TBrowseKind { bfFolders, bfComputers };
enum TDialogPosition { dpDefault, dpScreenCenter };

// The shell's folder (or computer) browser.
class TBrowseFolderDlg : public TComponent {
 public:
  explicit TBrowseFolderDlg(TComponent* AOwner);
  ~TBrowseFolderDlg() override;
  const char* ClassName() const override { return "TBrowseFolderDlg"; }
  bool Execute();

  // Non-zero adds a "&Help" button that shows this help topic.
  THelpContext HelpContext = 0;
  bool DesktopRoot = true;
  TBrowseKind BrowseKind = bfFolders;
  TDialogPosition Position = dpScreenCenter;
  String DialogText;
  // The folder (or computer) shown first, and the one chosen.
  String FolderName;
  int GetImageIndex() const { return imageIndex_; }
  // The dialog's window while it runs (0 otherwise).
  HWND GetHandle() const { return handle_; }
  // The path (folders) or name (computers) selected now.
  const String& GetSelection() const { return selection_; }
  TNotifyEvent OnInitialized;
  TNotifyEvent OnSelChanged;

  // Looks up the chosen folder's path after OK (the shell's
  // SHGetPathFromIDListW; replaceable to make it fail). A failure raises the
  // system's error: it is no cancel.
  using TPathLookup = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE List, LPWSTR Path);
  static TPathLookup PathLookup;

 protected:
  // BrowseKind, DesktopRoot, DialogText, FolderName, HelpContext and
  // Position where they differ from their defaults.
  void DefineProperties(TFiler* Filer) override;

 private:
  static int CALLBACK Callback(HWND Wnd, UINT Msg, LPARAM Param, LPARAM Data);
  static LRESULT CALLBACK SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  void Initialized(HWND Wnd);
  void SelChanged(LPARAM Item);

  HWND handle_ = nullptr;
  WNDPROC prevProc_ = nullptr;
  String displayName_;
  String selection_;
  int imageIndex_ = 0;
};


enum TFileOperation { foCopy, foDelete, foMove, foRename };
enum TFileOperFlag {
  flAllowUndo, flConfirmMouse, flFilesOnly, flMultiDest, flNoConfirmation, flNoConfirmMkDir,
  flRenameOnCollision, flSilent, flSimpleProgress, flNoErrorUI
};
using TFileOperFlags = TSet<TFileOperFlag>;

// The shell's file operation: Source and Destination list names separated
// by ";" or "|".
class TExtFileOperator : public TComponent {
 public:
  explicit TExtFileOperator(TComponent* AOwner) : TComponent(AOwner) {}
  const char* ClassName() const override { return "TExtFileOperator"; }
  bool Execute();
  bool GetAborted() const { return aborted_; }

  String Destination;
  TFileOperation Operation = foCopy;
  TFileOperFlags Options{flAllowUndo, flNoConfirmMkDir};
  String ProgressTitle;
  String Source;

 protected:
  // Destination, Operation, Options, ProgressTitle and Source, in this
  // order, where they differ from their defaults.
  void DefineProperties(TFiler* Filer) override;

 private:
  bool aborted_ = false;
};

// The folder browser (new-style systems); true and the folder on OK.
bool BrowseDirectory(String& AFolderName, const String& DlgText, THelpContext AHelpContext);
bool BrowseComputer(String& ComputerName, const String& DlgText, THelpContext AHelpContext);
#endif

void ExFileUtilInitialize();
void ExFileUtilFinalize();

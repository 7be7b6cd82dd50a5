// File and folder helpers of the extended library: path normalisation
// (portable), and on Windows directory tests, mask deletion, directory
// clearing and copying with an optional progress control.
#pragma once

#include <cstdint>

#include "classlib/SysUtils.h"

String NormalDir(const String& DirName);
String RemoveBackSlash(const String& DirName);
bool ValidFileName(const String& FileName);

#ifdef _WIN32
class TControl;

bool DirExists(const String& Name);
// Creates Dir and its missing parents; false when that failed.
bool ExtForceDirectories(String Dir);
// -1 for a directory or a missing file.
int64_t ExtGetFileSize(const String& FileName);
TDateTime FileDateTime(const String& FileName);
bool HasAttr(const String& FileName, unsigned Attr);
bool DeleteFiles(const String& FileMask);
bool ClearDir(const String& Path, bool Delete);
String GetTempDir();
String GetWindowsDir();
String GetSystemDir();
// Copies FileName to DestName (a directory keeps the source's name); the
// copy gets the source's date. Progress, when given, follows through the
// progress-control registry. Raises EFOpenError / EFCreateError /
// EReadError / EWriteError.
void ExtCopyFile(const String& FileName, const String& DestName, TControl* Progress = nullptr);
// Long and short (8.3) forms of a file or path name; the name itself when
// the system can't convert it.
String ShortToLongFileName(const String& ShortName);
String LongToShortFileName(const String& LongName);
String ShortToLongPath(const String& ShortName);
String LongToShortPath(const String& LongName);
// The shell's folder browser; true and the folder on OK.
bool BrowseDirectory(String& AFolderName, const String& DlgText, int AHelpContext);
void ExtCopyFileEx(const String& FileName, const String& DestName, bool OverwriteReadOnly,
                   TControl* Progress = nullptr);
#endif

void ExFileUtilInitialize();
void ExFileUtilFinalize();

#include "extlib/ExFileEdit.h"

#include "extlib/ExPictureDialog.h"

#include <shellapi.h>

#include <memory>

#include "extlib/ExDrawUtil.h"
#include "extlib/ExFileUtil.h"

namespace {

std::unique_ptr<TBitmap> FileEditGlyph;

// The program's "FEDITBMP" (an open folder), loaded on first use.
TBitmap* FileGlyph() { return LibraryBitmap(FileEditGlyph, L"FEDITBMP"); }

}  // namespace

String ClipFileName(const String& FileName) {
  if (FileExists(FileName)) return FileName;
  String Exe, Params;
  SplitCommandLine(FileName, Exe, Params);
  return Exe;
}

String ExtFileName(const String& FileName) {
  if (FileName.find(L' ') != String::npos && (FileName.empty() || FileName[0] != L'"'))
    return L"\"" + FileName + L"\"";
  return FileName;
}

// ---------------------------------------------------------------------------
// TFileDirEdit

TFileDirEdit::TFileDirEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) {
  SetOEMConvert(true);
  ControlState += csCreating;
  SetGlyphKind(gkDefault);
  ControlState -= csCreating;
}

TFileDirEdit::~TFileDirEdit() = default;

TBitmap* TFileDirEdit::GetDefaultBitmap(bool& DestroyNeeded) {
  DestroyNeeded = false;
  return FileGlyph();
}

void TFileDirEdit::SetAcceptFiles(bool Value) {
  if (Value == acceptFiles_) return;
  acceptFiles_ = Value;
  if (HandleAllocated()) DragAcceptFiles(Handle(), Value);
}

void TFileDirEdit::CreateWnd() {
  TCustomComboEdit::CreateWnd();
  if (acceptFiles_) DragAcceptFiles(Handle(), TRUE);
}

void TFileDirEdit::DestroyWnd() {
  if (acceptFiles_ && HandleAllocated()) DragAcceptFiles(Handle(), FALSE);
  TCustomComboEdit::DestroyWnd();
}

void TFileDirEdit::DisableSysErrors() { savedErrorMode_ = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

void TFileDirEdit::EnableSysErrors() { SetErrorMode(savedErrorMode_); }

void TFileDirEdit::DoBeforeDialog(String& FileName, bool& Action) {
  if (OnBeforeDialog) OnBeforeDialog(this, FileName, Action);
}

void TFileDirEdit::DoAfterDialog(String& FileName, bool& Action) {
  if (OnAfterDialog) OnAfterDialog(this, FileName, Action);
}

void TFileDirEdit::WMDropFiles(HDROP Drop) {
  struct TRelease {
    HDROP D;
    ~TRelease() { DragFinish(D); }
  } Release{Drop};
  UINT Count = DragQueryFileW(Drop, 0xFFFFFFFF, nullptr, 0);
  if (Count == 0) return;
  ClearFileList();
  for (UINT I = 0; I < Count; ++I) {
    wchar_t Name[256] = {};
    UINT N = DragQueryFileW(Drop, I, Name, 256);
    ReceptFileDir(String(Name, N));
    if (!multipleDirs_) break;
  }
  if (OnDropFiles) OnDropFiles(this);
}

void TFileDirEdit::WndProc(TMessage& M) {
  if (M.Msg == WM_DROPFILES && acceptFiles_) {
    M.Result = 0;
    WMDropFiles(reinterpret_cast<HDROP>(M.WParam));
    return;
  }
  TCustomComboEdit::WndProc(M);
}

// ---------------------------------------------------------------------------
// TFilenameEdit

TFilenameEdit::TFilenameEdit(TComponent* AOwner) : TFileDirEdit(AOwner) { CreateEditDialog(); }

void TFilenameEdit::CreateEditDialog() {
  TOpenDialog* New;
  switch (dialogKind_) {
    case dkSave: New = new TSaveDialog(this); break;
    case dkOpenPicture: New = new TOpenPictureDialog(this); break;
    case dkSavePicture: New = new TSavePictureDialog(this); break;
    default: New = new TOpenDialog(this); break;
  }
  if (dialog_) {
    New->HistoryList()->Assign(dialog_->HistoryList());
    New->SetFileEditStyle(dialog_->GetFileEditStyle());
    New->SetFileName(dialog_->GetFileName());
    New->SetFilter(dialog_->GetFilter());
    New->SetFilterIndex(dialog_->GetFilterIndex());
    New->SetInitialDir(dialog_->GetInitialDir());
    New->SetOptions(dialog_->GetOptions());
    New->SetDefaultExt(dialog_->GetDefaultExt());
    New->SetTitle(dialog_->GetTitle());
    delete dialog_;
  } else {
    New->SetTitle(L"Browse");
    New->SetFilter(L"All files (*.*)|*.*");
    New->SetOptions(TOpenOptions{ofHideReadOnly});
  }
  dialog_ = New;
}

void TFilenameEdit::SetDialogKind(TFileDialogKind Value) {
  if (Value == dialogKind_) return;
  dialogKind_ = Value;
  CreateEditDialog();
}

String TFilenameEdit::GetFileName() { return ClipFileName(GetText()); }

void TFilenameEdit::SetFileName(const String& Value) {
  if (!Value.empty() && !ValidFileName(ClipFileName(Value)))
    throw EComboEditError(Format(L"Invalid file name - %s", Value));
  SetText(ExtFileName(Value));
  ClearFileList();
}

void TFilenameEdit::SetDialogOptions(TOpenOptions Value) {
  if (Value == dialog_->GetOptions()) return;
  dialog_->SetOptions(Value);
  multipleDirs_ = Value.Contains(ofAllowMultiSelect);
  if (!multipleDirs_) ClearFileList();
}

void TFilenameEdit::ClearFileList() { dialog_->Files()->Clear(); }

bool TFilenameEdit::ExecuteDialog() {
  return WithoutSysErrors([&] { return dialog_->Execute(); });
}

void TFilenameEdit::ButtonClick() {
  TFileDirEdit::ButtonClick();
  String Temp = ClipFileName(GetText());
  bool Action = true;
  DoBeforeDialog(Temp, Action);
  if (!Action) return;
  if (ValidFileName(Temp)) {
    try {
      if (DirExists(ExtractFilePath(Temp))) dialog_->SetInitialDir(ExtractFilePath(Temp));
      String Part = ExtractFileName(Temp);
      dialog_->SetFileName(Part.empty() || !ValidFileName(Part) ? String() : Temp);
    } catch (const Exception&) {
      // A name that can't be taken apart leaves the dialog as it was.
    }
  }
  dialog_->SetHelpContext(GetHelpContext());
  Action = ExecuteDialog();
  if (Action) Temp = dialog_->GetFileName();
  if (CanFocus()) SetFocus();
  DoAfterDialog(Temp, Action);
  if (Action) {
    SetText(ExtFileName(Temp));
    dialog_->SetInitialDir(ExtractFilePath(dialog_->GetFileName()));
  }
}

String TFilenameEdit::GetLongName() { return ShortToLongPath(GetFileName()); }
String TFilenameEdit::GetShortName() { return LongToShortPath(GetFileName()); }

void TFilenameEdit::ReceptFileDir(const String& AFileName) {
  if (multipleDirs_) {
    if (dialog_->Files()->GetCount() == 0) SetFileName(AFileName);
    dialog_->Files()->Add(AFileName);
  } else {
    SetFileName(AFileName);
  }
}

// ---------------------------------------------------------------------------
// TDirectoryEdit

TDirectoryEdit::TDirectoryEdit(TComponent* AOwner) : TFileDirEdit(AOwner) {}

bool TDirectoryEdit::ExecuteDialog(String& Dir) {
  return WithoutSysErrors([&] {
    return DialogKind == dkWin32 ? BrowseDirectory(Dir, DialogText, GetHelpContext())
                                 : SelectDirectory(Dir, DialogOptions, GetHelpContext());
  });
}

void TDirectoryEdit::ButtonClick() {
  TFileDirEdit::ButtonClick();
  String Temp = GetText();
  bool Action = true;
  DoBeforeDialog(Temp, Action);
  if (!Action) return;
  if (Temp.empty()) Temp = InitialDir.empty() ? String(L"\\") : InitialDir;
  if (!DirExists(Temp)) Temp = L"\\";
  Action = ExecuteDialog(Temp);
  if (CanFocus()) SetFocus();
  DoAfterDialog(Temp, Action);
  if (!Action) return;
  SetSelText(String());
  if (multipleDirs_ && !GetText().empty())
    SetText(GetText() + L";" + Temp);
  else
    SetText(Temp);
  if (!Temp.empty() && DirExists(Temp)) InitialDir = Temp;
}

namespace {

String ConvertDirs(const String& Text, bool Multiple, String (*Convert)(const String&)) {
  if (!Multiple) return Convert(Text);
  String R;
  size_t Start = 0;
  for (;;) {
    size_t End = Text.find(L';', Start);
    String Part = Text.substr(Start, End == String::npos ? String::npos : End - Start);
    if (!Part.empty()) {
      if (!R.empty()) R += L';';
      R += Convert(Part);
    }
    if (End == String::npos) break;
    Start = End + 1;
  }
  return R;
}

}  // namespace

String TDirectoryEdit::GetLongName() { return ConvertDirs(GetText(), multipleDirs_, &ShortToLongPath); }
String TDirectoryEdit::GetShortName() { return ConvertDirs(GetText(), multipleDirs_, &LongToShortPath); }

void TDirectoryEdit::ReceptFileDir(const String& AFileName) {
  String Name = DirExists(AFileName) ? AFileName : ExtractFilePath(AFileName);
  if (multipleDirs_ && !GetText().empty())
    SetText(GetText() + L";" + Name);
  else
    SetText(Name);
}

void ExToolEditInitialize() {}
void ExToolEditFinalize() { FileEditGlyph.reset(); }

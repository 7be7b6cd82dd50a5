#include "extlib/ExFileEdit.h"

#include "extlib/ExPictureDialog.h"

#include <shellapi.h>

#include <memory>

#include "extlib/ExDrawUtil.h"
#include "extlib/ExFiler.h"
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
  if (HandleAllocated() && !IsDesigning()) DragAcceptFiles(Handle(), Value);
}

void TFileDirEdit::CreateWnd() {
  TCustomComboEdit::CreateWnd();
  if (acceptFiles_ && !IsDesigning()) DragAcceptFiles(Handle(), TRUE);
}

void TFileDirEdit::DestroyWnd() {
  if (acceptFiles_ && HandleAllocated() && !IsDesigning()) DragAcceptFiles(Handle(), FALSE);
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
  if (M.Msg == WM_DROPFILES && acceptFiles_ && !IsDesigning()) {
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

// ---------------------------------------------------------------------------
// Form streams

void TFileDirEdit::DefineProperties(TFiler* Filer) {
  TCustomComboEdit::DefineProperties(Filer);
  auto* A = dynamic_cast<TFileDirEdit*>(Filer->GetAncestor());
  using namespace ExFiler;
  Boolean(Filer, L"AcceptFiles", acceptFiles_, A ? A->acceptFiles_ : false, [this](bool V) { SetAcceptFiles(V); });
  Integer(Filer, L"MaxLength", GetMaxLength(), A ? A->GetMaxLength() : 0,
          [this](int64_t V) { SetMaxLength(static_cast<int>(V)); });
  Text(Filer, L"Text", GetText(), A ? A->GetText() : String(), [this](const String& V) { SetText(V); });
  Event(Filer, L"OnDropFiles", OnDropFiles, A ? &A->OnDropFiles : nullptr);
  Event(Filer, L"OnBeforeDialog", OnBeforeDialog, A ? &A->OnBeforeDialog : nullptr);
  Event(Filer, L"OnAfterDialog", OnAfterDialog, A ? &A->OnAfterDialog : nullptr);
}

void TFilenameEdit::DefineProperties(TFiler* Filer) {
  TFileDirEdit::DefineProperties(Filer);
  auto* A = dynamic_cast<TFilenameEdit*>(Filer->GetAncestor());
  TOpenDialog* D = A ? A->dialog_ : nullptr;
  using namespace ExFiler;
  Enum(Filer, L"DialogKind", dialogKind_, A ? A->dialogKind_ : dkOpen,
       {L"dkOpen", L"dkSave", L"dkOpenPicture", L"dkSavePicture"},
       [this](int V) { SetDialogKind(static_cast<TFileDialogKind>(V)); });
  Text(Filer, L"DefaultExt", dialog_->GetDefaultExt(), D ? D->GetDefaultExt() : String(),
       [this](const String& V) { dialog_->SetDefaultExt(V); });
  Enum(Filer, L"FileEditStyle", GetFileEditStyle(), D ? D->GetFileEditStyle() : fsEdit, {L"fsEdit", L"fsComboBox"},
       [this](int V) { SetFileEditStyle(static_cast<TFileEditStyle>(V)); });
  Text(Filer, L"Filter", GetFilter(), D ? D->GetFilter() : String(L"All files (*.*)|*.*"),
       [this](const String& V) { SetFilter(V); });
  Integer(Filer, L"FilterIndex", dialog_->GetFilterIndex(), D ? D->GetFilterIndex() : 1,
          [this](int64_t V) { dialog_->SetFilterIndex(static_cast<int>(V)); });
  Text(Filer, L"InitialDir", GetInitialDir(), D ? D->GetInitialDir() : String(),
       [this](const String& V) { SetInitialDir(V); });
  Lines(Filer, L"HistoryList", HistoryList(), D ? D->HistoryList() : nullptr);
  Set(Filer, L"DialogOptions", GetDialogOptions().Bits(), (D ? D->GetOptions() : TOpenOptions{ofHideReadOnly}).Bits(),
      OpenOptionNames(), [this](uint64_t V) { SetDialogOptions(TOpenOptions::FromBits(V)); });
  Text(Filer, L"DialogTitle", GetDialogTitle(), D ? D->GetTitle() : String(L"Browse"),
       [this](const String& V) { SetDialogTitle(V); });
  Text(
      Filer, L"FileName", String(), String(), [this](const String& V) { SetFileName(V); }, false);
}

void TDirectoryEdit::DefineProperties(TFiler* Filer) {
  TFileDirEdit::DefineProperties(Filer);
  auto* A = dynamic_cast<TDirectoryEdit*>(Filer->GetAncestor());
  using namespace ExFiler;
  Enum(Filer, L"DialogKind", DialogKind, A ? A->DialogKind : dkVCL, {L"dkVCL", L"dkWin32"},
       [this](int V) { DialogKind = static_cast<TDirDialogKind>(V); });
  Set(Filer, L"DialogOptions", DialogOptions.Bits(), A ? A->DialogOptions.Bits() : 0,
      {L"sdAllowCreate", L"sdPerformCreate", L"sdPrompt"},
      [this](uint64_t V) { DialogOptions = TSelectDirOpts::FromBits(V); });
  Text(Filer, L"DialogText", DialogText, A ? A->DialogText : String(), [this](const String& V) { DialogText = V; });
  Text(Filer, L"InitialDir", InitialDir, A ? A->InitialDir : String(), [this](const String& V) { InitialDir = V; });
  Boolean(Filer, L"MultipleDirs", multipleDirs_, A ? A->multipleDirs_ : false,
          [this](bool V) { SetMultipleDirs(V); });
}

void ExToolEditInitialize() {
  RegisterClasses({ComponentClass<TComboEdit>(L"TComboEdit"), ComponentClass<TFilenameEdit>(L"TFilenameEdit"),
                   ComponentClass<TDirectoryEdit>(L"TDirectoryEdit")});
  CompareWithNewComponents({L"TComboEdit", L"TFilenameEdit", L"TDirectoryEdit"});
}
void ExToolEditFinalize() {
  for (const wchar_t* Name : {L"TComboEdit", L"TFilenameEdit", L"TDirectoryEdit"}) UnRegisterClass(Name);
  FileEditGlyph.reset();
}

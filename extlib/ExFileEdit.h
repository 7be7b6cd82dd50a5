// Combo edits for file and directory names: the button opens a file dialog
// or a folder selection, and files dropped from the shell are taken in.
#pragma once

#include "classlib/Dialogs.h"

#include <shellapi.h>
#include "extlib/ExComboEdit.h"

using TExecOpenDialogEvent = TEvent<void(TObject* Sender, String& Name, bool& Action)>;
enum TFileDialogKind { dkOpen, dkSave, dkOpenPicture, dkSavePicture };
enum TDirDialogKind { dkVCL, dkWin32 };

// The name itself when such a file exists, else the file part of the text
// read as a command line.
String ClipFileName(const String& FileName);
// In double quotes when it holds a blank and is not quoted yet.
String ExtFileName(const String& FileName);

class TFileDirEdit : public TCustomComboEdit {
 public:
  explicit TFileDirEdit(TComponent* AOwner);
  ~TFileDirEdit() override;

  bool GetAcceptFiles() const { return acceptFiles_; }
  void SetAcceptFiles(bool Value);
  bool GetMultipleDirs() const { return multipleDirs_; }
  TNotifyEvent OnDropFiles;
  TExecOpenDialogEvent OnBeforeDialog;
  TExecOpenDialogEvent OnAfterDialog;

  String LongName() { return GetLongName(); }
  String ShortName() { return GetShortName(); }
  void WndProc(TMessage& M) override;

 protected:
  virtual String GetLongName() = 0;
  virtual String GetShortName() = 0;
  virtual void ReceptFileDir(const String& AFileName) = 0;
  virtual void ClearFileList() {}
  virtual void DoBeforeDialog(String& FileName, bool& Action);
  virtual void DoAfterDialog(String& FileName, bool& Action);
  TBitmap* GetDefaultBitmap(bool& DestroyNeeded) override;
  // Adds AcceptFiles, MaxLength and Text where they differ from their
  // defaults.
  void DefineProperties(TFiler* Filer) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  // System error boxes stay away while a dialog runs.
  void DisableSysErrors();
  void EnableSysErrors();
  // Runs a dialog with the system's error boxes suppressed.
  template <class F>
  bool WithoutSysErrors(F&& Run) {
    DisableSysErrors();
    struct Restore {
      TFileDirEdit* Edit;
      ~Restore() { Edit->EnableSysErrors(); }
    } Again{this};
    return Run();
  }
  void WMDropFiles(HDROP Drop);

  bool multipleDirs_ = false;

 private:
  UINT savedErrorMode_ = 0;
  bool acceptFiles_ = false;
};

class TFilenameEdit : public TFileDirEdit {
 public:
  explicit TFilenameEdit(TComponent* AOwner);
  const char* ClassName() const override { return "TFilenameEdit"; }

  TFileDialogKind GetDialogKind() const { return dialogKind_; }
  void SetDialogKind(TFileDialogKind Value);
  TOpenDialog* Dialog() const { return dialog_; }
  // Raises EComboEditError "Invalid file name - %s" for a name that can't
  // be a file's.
  String GetFileName();
  void SetFileName(const String& Value);
  TOpenOptions GetDialogOptions() const { return dialog_->GetOptions(); }
  void SetDialogOptions(TOpenOptions Value);
  TStrings* DialogFiles() const { return dialog_->Files(); }
  String GetFilter() const { return dialog_->GetFilter(); }
  void SetFilter(const String& Value) { dialog_->SetFilter(Value); }
  String GetInitialDir() const { return dialog_->GetInitialDir(); }
  void SetInitialDir(const String& Value) { dialog_->SetInitialDir(Value); }
  String GetDialogTitle() const { return dialog_->GetTitle(); }
  void SetDialogTitle(const String& Value) { dialog_->SetTitle(Value); }
  TStrings* HistoryList() const { return dialog_->HistoryList(); }
  // The dialog's; kept when the dialog kind changes.
  TFileEditStyle GetFileEditStyle() const { return dialog_->GetFileEditStyle(); }
  void SetFileEditStyle(TFileEditStyle Value) { dialog_->SetFileEditStyle(Value); }

 protected:
  // The dialog kind first (it makes the dialog anew), then the dialog's
  // properties where they differ from the first dialog's: the filter only
  // when not "All files (*.*)|*.*", the title only when not "Browse".
  // FileName is read but never written (the text holds it).
  void DefineProperties(TFiler* Filer) override;
  void ButtonClick() override;
  String GetLongName() override;
  String GetShortName() override;
  void ReceptFileDir(const String& AFileName) override;
  void ClearFileList() override;
  // Runs the dialog; a seam for tests.
  virtual bool ExecuteDialog();

 private:
  void CreateEditDialog();
  TOpenDialog* dialog_ = nullptr;
  TFileDialogKind dialogKind_ = dkOpen;
};

class TDirectoryEdit : public TFileDirEdit {
 public:
  explicit TDirectoryEdit(TComponent* AOwner);
  const char* ClassName() const override { return "TDirectoryEdit"; }
  void SetMultipleDirs(bool Value) { multipleDirs_ = Value; }
  String InitialDir;
  String DialogText;
  // dkVCL runs the class library's folder dialog with DialogOptions,
  // dkWin32 the shell's folder browser with DialogText.
  TDirDialogKind DialogKind = dkVCL;
  TSelectDirOpts DialogOptions;

 protected:
  // DialogKind, DialogOptions, DialogText, InitialDir and MultipleDirs
  // where they differ from their defaults.
  void DefineProperties(TFiler* Filer) override;
  void ButtonClick() override;
  String GetLongName() override;
  String GetShortName() override;
  void ReceptFileDir(const String& AFileName) override;
  // Runs the folder selection starting at Dir; a seam for tests.
  virtual bool ExecuteDialog(String& Dir);
};

void ExToolEditInitialize();
void ExToolEditFinalize();

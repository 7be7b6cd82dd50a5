// Common dialogs (open, save, font), message dialogs, input boxes and
// beeps. Windows only.
#pragma once

#include <functional>
#include <vector>

#include "classlib/Forms.h"

#include <commdlg.h>

// ---------------------------------------------------------------------------
class TCommonDialog : public TComponent {
 public:
  explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
  virtual bool Execute() = 0;
  // The window that owns the dialog while it runs (0 when none is open).
  HWND GetHandle() const { return handle_; }
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;
  // The help topic of the dialog's Help button.
  THelpContext GetHelpContext() const { return helpContext_; }
  void SetHelpContext(THelpContext Value) { helpContext_ = Value; }

 protected:
  THelpContext helpContext_ = 0;
  // The owner window for a dialog: the active form, else the main form.
  HWND OwnerWindow() const;
  HWND handle_ = nullptr;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

enum TOpenOption {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate,
  ofAllowMultiSelect, ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt,
  ofShareAware, ofNoReadOnlyReturn, ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames,
  ofOldStyleDialog, ofNoDereferenceLinks, ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent,
  ofForceShowHidden
};
using TOpenOptions = TSet<TOpenOption>;
// The identifiers of the open options, in the order of their members (as
// form streams store them).
const std::vector<const wchar_t*>& OpenOptionNames();
enum TOpenOptionEx { ofExNoPlacesBar };
using TOpenOptionsEx = TSet<TOpenOptionEx>;
// The file name box of old-style dialogs: an edit, or a combo box that
// offers HistoryList.
enum TFileEditStyle { fsEdit, fsComboBox };

class TOpenDialog : public TCommonDialog {
 public:
  const char* ClassName() const override { return "TOpenDialog"; }
  explicit TOpenDialog(TComponent* AOwner);
  ~TOpenDialog() override;
  bool Execute() override;

  // "Text files|*.txt|All files|*.*"
  const String& GetFilter() const { return filter_; }
  void SetFilter(const String& f) { filter_ = f; }
  int GetFilterIndex() const { return filterIndex_; }  // 1-based
  void SetFilterIndex(int i) { filterIndex_ = i; }
  const String& GetDefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const String& e) { defaultExt_ = e; }
  const String& GetFileName() const { return fileName_; }
  void SetFileName(const String& f) { fileName_ = f; }
  TStrings* Files() const { return files_.get(); }
  // Names a caller offers for the file name (kept with the dialog).
  TStrings* HistoryList() const { return historyList_.get(); }
  const String& GetInitialDir() const { return initialDir_; }
  void SetInitialDir(const String& d) { initialDir_ = d; }
  const String& GetTitle() const { return title_; }
  void SetTitle(const String& t) { title_ = t; }
  TOpenOptions GetOptions() const { return options_; }
  void SetOptions(TOpenOptions o) { options_ = o; }
  TOpenOptionsEx GetOptionsEx() const { return optionsEx_; }
  void SetOptionsEx(TOpenOptionsEx o) { optionsEx_ = o; }
  TFileEditStyle GetFileEditStyle() const { return fileEditStyle_; }
  void SetFileEditStyle(TFileEditStyle Value) { fileEditStyle_ = Value; }

  // The filter with '|' turned into the double-zero-terminated list.
  static String EncodeFilter(const String& filter);

 protected:
  // Fills the dialog's parameter record; subclasses may change it further
  // (a hook procedure, a template, the places bar flags...).
  virtual void PrepareOpenFileName(OPENFILENAMEW& ofn, std::vector<wchar_t>& fileBuffer);
  // Runs the system dialog; the seam that subclasses and tests replace.
  virtual BOOL CallDialog(OPENFILENAMEW& ofn);
  // Reads the results back (file names, filter index, read-only flag).
  virtual void ReadResult(const OPENFILENAMEW& ofn, const std::vector<wchar_t>& fileBuffer);
  bool DoExecute();
  // The file name, filter, folder, title and options, after its base's.
  void DefineProperties(TFiler* Filer) override;

  String filter_;
  int filterIndex_ = 1;
  String defaultExt_;
  String fileName_;
  std::unique_ptr<TStringList> files_;
  std::unique_ptr<TStringList> historyList_;
  String initialDir_;
  String title_;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
  TOpenOptionsEx optionsEx_;
  TFileEditStyle fileEditStyle_ = fsEdit;
  // Kept alive while the dialog runs.
  String encodedFilter_;
};

class TSaveDialog : public TOpenDialog {
 public:
  const char* ClassName() const override { return "TSaveDialog"; }
  explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}

 protected:
  BOOL CallDialog(OPENFILENAMEW& ofn) override;
};

enum TFontDialogOption {
  fdAnsiOnly, fdTrueTypeOnly, fdEffects, fdFixedPitchOnly, fdForceFontExist, fdNoFaceSel,
  fdNoOEMFonts, fdNoSimulations, fdNoSizeSel, fdNoStyleSel, fdNoVectorFonts, fdShowHelp,
  fdWysiwyg, fdLimitSize, fdScalableOnly, fdApplyButton
};
using TFontDialogOptions = TSet<TFontDialogOption>;

class TFontDialog : public TCommonDialog {
 public:
  const char* ClassName() const override { return "TFontDialog"; }
  explicit TFontDialog(TComponent* AOwner);
  ~TFontDialog() override;
  bool Execute() override;
  TFont* Font() const { return font_.get(); }
  TFontDialogOptions GetOptions() const { return options_; }
  void SetOptions(TFontDialogOptions o) { options_ = o; }
  int MinFontSize = 0;
  int MaxFontSize = 0;

 protected:
  virtual BOOL CallDialog(CHOOSEFONTW& cf);
  // The font, options and size limits, after its base's.
  void DefineProperties(TFiler* Filer) override;

 private:
  std::unique_ptr<TFont> font_;
  TFontDialogOptions options_{fdEffects};
};

// ---------------------------------------------------------------------------
// Message dialogs.

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;

const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// Replaces the system message box of MessageDlg/ShowMessage (for tests):
// gets the text, caption and MB_ flags and returns the ID of the answer.
extern std::function<int(const String& text, const String& caption, UINT flags)> MessageBoxHook;

// Shows a message box for the message type with the buttons asked for (the
// nearest system button set) and returns mrYes, mrNo, mrOk...
int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx = 0);
void ShowMessage(const String& msg);
// The caption and flags MessageDlg uses (exposed for tests).
UINT MessageDlgFlags(TMsgDlgType type, TMsgDlgButtons buttons);
String MessageDlgCaption(TMsgDlgType type);

// Asks for a line of text in a small modal form; false when cancelled.
bool InputQuery(const String& caption, const String& prompt, String& value);
String InputBox(const String& caption, const String& prompt, const String& defaultValue);
// Called with the input form before it is shown (tests drive it from here).
extern std::function<void(TForm* form)> InputQueryShowHook;

// ---------------------------------------------------------------------------
// Folder selection.

enum TSelectDirOpt { sdAllowCreate, sdPerformCreate, sdPrompt };
using TSelectDirOpts = TSet<TSelectDirOpt>;

// The class library's folder dialog: the folder's path in an edit, its
// subfolders in a list and the drives in a combo box; a Help button shows
// HelpCtx when it is not 0. A typed folder that does not exist is refused
// unless sdAllowCreate; sdPrompt asks before taking it, sdPerformCreate
// makes it. True (Directory set) when a folder was chosen.
bool SelectDirectory(String& Directory, TSelectDirOpts Options, THelpContext HelpCtx);
// The shell's folder browser titled Caption, rooted at Root (empty: the
// desktop), starting at Directory.
bool SelectDirectory(const String& Caption, const String& Root, String& Directory);
// Called with the folder dialog before it is shown (tests drive it from here).
extern std::function<void(TForm* form)> SelectDirectoryShowHook;
// Replaces the shell's folder browser (for tests).
extern std::function<bool(const String& Caption, const String& Root, String& Directory)> BrowseForFolderHook;

// ---------------------------------------------------------------------------
// Beeps. Each goes through BeepHook when it is set (tests count them).
extern std::function<void(UINT type)> BeepHook;
// The plain beep (MessageBeep(0xFFFFFFFF) semantics: the default sound).
void Beep();
// A system sound by MB_ type (MB_OK, MB_ICONHAND...).
void PlayMessageBeep(UINT type);

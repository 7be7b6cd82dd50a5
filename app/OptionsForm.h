// The preferences dialog: the general and appearance settings, the
// bookmark file and the tree and list font. On acceptance it stores them,
// writes all settings, ends the program when the root-key naming changed,
// and asks what to do with the bookmarks list when the bookmark file
// changed. Windows only.
#pragma once

#include <memory>

#include "app/FormBuild.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

class TCommonLogic;

class TfrmOptions : public TForm {
 public:
  explicit TfrmOptions(TComponent* AOwner, TCommonLogic* Logic = nullptr);
  ~TfrmOptions() override;
  const char* ClassName() const override { return "TfrmOptions"; }
  void SetLogic(TCommonLogic* Logic) { logic_ = Logic; }
  TCommonLogic* GetLogic() const { return logic_; }

  // The data module's bookmark save dialog and font dialog (not owned).
  TOpenDialog* BookmarkDialog = nullptr;
  TFontDialog* FontDialog = nullptr;

  // The main window's services: empty the bookmarks list; add a file's
  // bookmarks to it without clearing it first; close the main window
  // (unset: the application's main form is closed).
  TNotifyEvent OnClearBookmarks;
  TEvent<void(const String& FileName)> OnLoadBookmarks;
  TNotifyEvent OnCloseMainWindow;
  // The yes/no question (unset: the system's message box with Yes and No).
  TEvent<bool(const String& Question)> OnAskYesNo;

  static const wchar_t* const RestartText;
  static const wchar_t* const ClearBookmarksQuestion;
  static const wchar_t* const MergeBookmarksQuestion;

  // "Tahoma, 8 pt, Bold, Italic"...
  static String FontDescription(TFont* Font);

  TPanel* pnlPages;
  TPageControl* pagesOptions;
  TTabSheet* pageGeneral;
  TLabel* lblGeneral;
  TCheckBox* chkPreloadHasChildren;
  TCheckBox* chkShowSearchProgress;
  TCheckBox* chkAbbrBaseKey;
  TCheckBox* chkReopenPrevious;
  TLabel* Label3;
  TEdit* edtBookmarkFile;
  TButton* btnSelectBookmarkFile;
  TTabSheet* pagAppearance;
  TLabel* lblToolbars;
  TRadioGroup* rgrpDragHandleStyle;
  TCheckBox* chkTbrCloseButton;
  TCheckBox* chkTbrFullSizeMenu;
  TCheckBox* chkTbrXPThemes;
  TLabel* lblMisc;
  TCheckBox* chkShowHints;
  TLabel* lblFont;
  TCheckBox* chkSystemFont;
  TEdit* edtFont;
  TButton* btnFont;
  TPanel* pnlButtons;
  TButton* btnOk;
  TButton* btnCancel;
  TButton* btnHelp;

  bool BookmarkPathChanged() const { return bookmarkPathChanged_; }
  TFont* WorkingFont() const { return workingFont_.get(); }

  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // Accepting with a bookmark file path changed to one where no file can be
  // written keeps the dialog open (after saying why, or after the offer to
  // create a missing folder was declined).
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void chkShowHintsClick(TObject* Sender);
  void chkSystemFontClick(TObject* Sender);
  void edtBookmarkFileChange(TObject* Sender);
  void btnSelectBookmarkFileClick(TObject* Sender);
  void btnFontClick(TObject* Sender);

 private:
  void LoadControls();
  void SaveOptions();
  bool Ask(const String& Question);
  void Tell(const String& Text);
  // Whether the bookmark file path can take the file; says what is wrong
  // when it can't, and offers to create a missing folder.
  bool CheckBookmarkFile();
  void UpdateFontControls();

  TCommonLogic* logic_;  // the data module's logic; not owned
  TKeptSize keptTop_, keptLeft_;  // the stored place and where the dialog showed it
  bool bookmarkPathChanged_ = false;
  std::unique_ptr<TFont> workingFont_;
};

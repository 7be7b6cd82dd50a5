// The find dialog: search text with a history of the last 15 texts, the
// search type, the scope and the options; "&Find" stores the dialog's
// settings and history and starts the search with a TSearchInput.
// Windows only.
#pragma once

#include "app/FormBuild.h"
#include "app/SearchMatch.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

class TCommonLogic;

class TfrmFind : public TForm {
 public:
  static constexpr int HistoryCount = 15;

  explicit TfrmFind(TComponent* AOwner, TCommonLogic* Logic = nullptr);
  const char* ClassName() const override { return "TfrmFind"; }
  void SetLogic(TCommonLogic* Logic) { logic_ = Logic; }
  TCommonLogic* GetLogic() const { return logic_; }

  TButton* btnFind;
  TButton* Button1;
  TRadioGroup* rgrpType;
  TGroupBox* grpOptions;
  TCheckBox* chkCaseSensitive;
  TCheckBox* chkSearchKeyNames;
  TCheckBox* chkSearchValueNames;
  TCheckBox* chkSearchStringData;
  TRadioGroup* rgrpScope;
  TButton* btnRegExHelp;
  TComboBox* cboText;
  TLabel* lblText;

  // Starts the search (repeat flag, find options). Unset, the data
  // module's StartSearch runs.
  TEvent<void(bool Repeat, const TSearchInput& Input)> OnStartSearch;

  // The history setting of an index: "FindMRU_00" ... "FindMRU_14".
  static String HistoryName(int Index);
  // Puts Text at the top of the list and removes its older duplicate
  // (compared case-sensitively); an empty text changes nothing.
  static void PushHistory(TStrings* List, const String& Text);
  // The search type of a "Search Type" item (0 exact, 1 substring, 2
  // regular expression).
  static uint8_t SearchTypeOfItem(int ItemIndex);

  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void btnFindClick(TObject* Sender);
  void btnRegExHelpClick(TObject* Sender);

 private:
  void LoadSettings();
  void SaveSettings(const String& Text);
  TCommonLogic* logic_;  // the data module's logic; not owned
  TKeptSize keptTop_, keptLeft_;  // the stored place and where the dialog showed it
};

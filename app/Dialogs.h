// The confirmation dialog (Yes, Yes to All, No, Cancel) and the error
// dialog with its way to the manual.
#pragma once

#include <functional>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

class TfrmConfirm : public TForm {
 public:
  explicit TfrmConfirm(TComponent* AOwner);

  TImage* imgQuestion;
  TLabel* lblPrompt1;
  TLabel* lblPrompt2;
  TLabel* lblPrompt3;
  TPanel* panelButtons;
  TButton* btnYes;
  TButton* btnYesToAll;
  TButton* btnNo;
  TButton* btnCancel;

  // Lays the dialog out for the texts and shows it modally; the modal
  // result (mrYes, mrYesToAll, mrNo, mrCancel).
  int Execute(const String& Prompt, const String& Item, const String& Question, bool Single);

  // Test seam: when set, answers in place of the modal loop (the layout is
  // done first, so the hook sees it).
  static std::function<int(TfrmConfirm*)> ExecuteHook;

 private:
  void FormShow(TObject*);
};

class TfrmError : public TForm {
 public:
  explicit TfrmError(TComponent* AOwner);

  TImage* Image1;
  TLabel* lblHead;
  TMemo* txtDescription;
  TLabel* lblInfo;
  TLabel* Label1;
  TButton* btnOK;
  TButton* btnManual;

  void ShowError(const String& Text);
  // Test seam: when set, receives the text in place of the modal loop.
  static std::function<void(const String&)> ShowHook;

 private:
  void FormShow(TObject*);
  void btnManualClick(TObject*);
};

extern TfrmConfirm* frmConfirm;
extern TfrmError* frmError;

// Splits a text into lines at LF, CR or CR LF.
std::vector<String> SplitDialogLines(const String& Text);

// The confirmation dialog (Yes, Yes to All, No, Cancel).
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

extern TfrmConfirm* frmConfirm;

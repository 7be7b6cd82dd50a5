// The error dialog with its way to the manual.
#pragma once

#include <functional>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

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
  void ArrangeLabels();
};

extern TfrmError* frmError;

// The binary value editor: the value's bytes in a hex editor, exchanged
// with the data module through the edited-value fields (EditBinary); keeps
// its position and size in the settings. Windows only.
#pragma once

#include "app/FormBuild.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "valueedit/HexEditor.h"

class TCommonLogic;

class TfrmEditValueBin : public TForm {
 public:
  explicit TfrmEditValueBin(TComponent* AOwner, TCommonLogic* Logic = nullptr);
  const char* ClassName() const override { return "TfrmEditValueBin"; }
  void SetLogic(TCommonLogic* Logic) { logic_ = Logic; }
  TCommonLogic* GetLogic() const { return logic_; }

  TLabel* lblPath;
  TEdit* edtPath;
  TLabel* lblValueName;
  TEdit* edtValueName;
  TLabel* lblValue;
  THexEditor* heValue;
  TButton* btnOk;
  TButton* btnCancel;

  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  // Escape cancels and Enter accepts, though the hex editor has the focus.
  void heValueKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);

 protected:
  void CreateWnd() override;

 private:
  // Places the anchored controls for the client area and the dots per inch
  // the window has.
  void Arrange();
  // The size below which a control would be cut off or hidden: both
  // buttons and some rows of bytes (narrower than a row, the hex editor
  // scrolls).
  void SetMinimumSize();
  // Widens the dialog when a whole row of the hex editor doesn't fit.
  void FitWholeRow();
  TCommonLogic* logic_;  // the data module's logic; not owned
  // The stored place and size and where the dialog showed them.
  TKeptSize keptTop_, keptLeft_, keptWidth_, keptHeight_;
};

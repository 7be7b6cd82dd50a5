// The string and integer value editor: a "String Value" page for strings
// and expandable strings, and for integers the linked "Hexadecimal",
// "Binary" and "Decimal" pages. It exchanges the value with the data
// module only through the edited-value fields (EditRootKey ... EditInteger)
// and keeps its position in the settings. Windows only.
#pragma once

#include <cstdint>

#include "app/FormBuild.h"
#include "classlib/ComCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "valueedit/BinHexEdit.h"

class TCommonLogic;

class TfrmEditValue : public TForm {
 public:
  // Logic: the data module's services (settings, root-key names and the
  // edited-value fields); may be set later with SetLogic.
  explicit TfrmEditValue(TComponent* AOwner, TCommonLogic* Logic = nullptr);
  const char* ClassName() const override { return "TfrmEditValue"; }
  void SetLogic(TCommonLogic* Logic) { logic_ = Logic; }
  TCommonLogic* GetLogic() const { return logic_; }

  TLabel* lblPath;
  TEdit* edtPath;
  TLabel* lblValueName;
  TEdit* edtValueName;
  TPageControl* pagEditFormat;
  TTabSheet* tbsString;
  TEdit* edtValueStr;
  TTabSheet* tbsHex;
  TBinHexEdit* edtValueHex;
  TTabSheet* tbsBinary;
  TBinHexEdit* edtValueBin;
  TTabSheet* tbsDecimal;
  TBinHexEdit* edtValueDec;
  TButton* btnOk;
  TButton* btnCancel;

  // The number that the last changed integer box holds (low 32 bits).
  int32_t GetEditedNumber() const { return number_; }
  // True while the last changed integer box holds a number that does not
  // fit in 32 bits; such a number is neither taken nor stored.
  bool NumberOutOfRange() const { return outOfRange_ != nullptr; }

  // A number fits a registry integer when it is a 32-bit value read as
  // signed or as unsigned (-2147483648 ... 4294967295).
  static bool FitsIn32Bits(int64_t V) { return V >= INT32_MIN && V <= int64_t(UINT32_MAX); }
  static const wchar_t* const OutOfRangeText;

  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void edtValueHexChange(TObject* Sender);
  void edtValueBinChange(TObject* Sender);
  void edtValueDecChange(TObject* Sender);
  void pagEditFormatChange(TObject* Sender);
  void pagEditFormatChanging(TObject* Sender, bool& AllowChange);

 private:
  // Takes the box's number when it can be read and fits in 32 bits.
  void TakeNumber(TBinHexEdit* Box, bool EmptyIsZero);
  void SetAllBoxes(int32_t V);
  bool RefuseOutOfRange();

  TCommonLogic* logic_;  // the data module's logic; not owned
  TKeptSize keptTop_, keptLeft_;  // the stored place and where the dialog showed it
  int32_t number_ = 0;
  TBinHexEdit* outOfRange_ = nullptr;  // one of this form's boxes; not owned
};

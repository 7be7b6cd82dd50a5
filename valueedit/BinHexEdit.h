// The integer edit box: an edit control holding one signed 64-bit integer
// in decimal, binary or "$" hexadecimal. The filtering and conversions are
// TBinHexEditCore's; this layer puts them on the system edit control.
#pragma once

#include "classlib/StdCtrls.h"
#include "valueedit/BinHexEditCore.h"
#include "valueedit/ValueEditFiler.h"

class TBinHexEdit : public TCustomEdit, public TBinHexEditCore {
 public:
  explicit TBinHexEdit(TComponent* AOwner);
  const char* ClassName() const override { return "TBinHexEdit"; }
  // The properties and events stored with a form, in the order written.
  static const ValueEditFiler::TPropTable<TBinHexEdit>& StoredProperties();

  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  TColor GetEnabledColor() const { return enabledColor_; }
  void SetColor(TColor c);
  TColor GetDisabledColor() const { return disabledColor_; }
  void SetDisabledColor(TColor c);
  void SetEnabled(bool v) override;
  void SetParentColor(bool v);
  void SetReadOnly(bool v);
  bool GetReadOnly() const { return TCustomEdit::GetReadOnly(); }

  void TypeChar(wchar_t c) override;
  void WndProc(TMessage& m) override;
  void Loaded() override;

 protected:
  String EditText() const override;
  void SetEditText(const String& s) override { SetText(s); }
  int EditSelStart() const override;
  int EditSelLength() const override;
  void EditSetSel(int start, int length) override;
  void Beep() override;
  void TakeFocusBack() override;
  TObject* EventSender() override { return this; }
  bool IsLoadingNow() const override { return IsLoading(); }
  bool IsDesigningNow() const override { return IsDesigning(); }
  void FireKeyPress(wchar_t& key) override { TCustomEdit::KeyPress(key); }

  void KeyPress(wchar_t& key) override { FilterKeyPress(key); }
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void DoEnter() override;
  void DoExit() override;
  void CreateParams(TCreateParams& p) override;
  // The value is stored once, as AsInteger, not as the text.
  const wchar_t* StoredTextName() const override { return nullptr; }
  void DefineProperties(TFiler* Filer) override;

 private:
  void ApplyColor();
  // Message handlers: paste goes through the key filter a character at a
  // time; the dialog code; the parent's colour.
  void WMPaste(TMessage& m);
  void WMGetDlgCode(TMessage& m);
  void CMParentColorChanged(TMessage& m);
  void AfterPress();
  TAlignment alignment_ = taCenter;
  TColor enabledColor_ = clWindow;
  TColor disabledColor_ = clBtnFace;
  bool enteredByMouse_ = false;
  bool leftPress_ = false;  // MouseDown saw the left button (pressed or held)
};

namespace BinHexEdit {
// For a form designer: TBinHexEdit on the component page "ValueEdit".
void Register();
}  // namespace BinHexEdit

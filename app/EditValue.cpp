#include "app/EditValue.h"
#include "app/FormBuild.h"

#include "app/CommonLogic.h"
#include "classlib/Clipbrd.h"
#include "classlib/Dialogs.h"

const wchar_t* const TfrmEditValue::OutOfRangeText =
    L"The number does not fit in an integer value.\n\nAn integer value holds 32 bits: a number from "
    L"-2147483648 to 4294967295 (hexadecimal $FFFFFFFF).";

namespace {


// The integer box as the editor uses it: a text that the box sets itself
// (the sign key, a new number) reports its change like a typed one, also
// where the edit control sends no change notice for a window text set.
class TEditValueNumberBox : public TBinHexEdit {
 public:
  explicit TEditValueNumberBox(TComponent* AOwner) : TBinHexEdit(AOwner) {}

 protected:
  void SetEditText(const String& s) override {
    changed_ = false;
    TBinHexEdit::SetEditText(s);
    if (!changed_) Change();
  }
  void Change() override {
    changed_ = true;
    TBinHexEdit::Change();
  }

 private:
  bool changed_ = false;
};

// The string box: a text value may hold line breaks, which it shows when
// it opens one; a paste keeps them too (a one-line edit control pastes
// only a text's first line).
class TEditValueStringBox : public TEdit {
 public:
  explicit TEditValueStringBox(TComponent* AOwner) : TEdit(AOwner) {}
  void WndProc(TMessage& m) override {
    // Shift+Insert pastes as Ctrl+V does (the control may paste it without
    // a WM_PASTE).
    if (m.Msg == WM_KEYDOWN && m.WParam == VK_INSERT && GetKeyState(VK_SHIFT) < 0 && GetKeyState(VK_CONTROL) >= 0 &&
        GetKeyState(VK_MENU) >= 0) {
      Perform(WM_PASTE, 0, 0);
      m.Result = 0;
      return;
    }
    if (m.Msg == WM_PASTE && !GetReadOnly() && HandleAllocated()) {
      String text;
      try {
        text = Clipboard()->GetAsText();
      } catch (const EClipboardException&) {
        // Held by another program: the control tries for itself.
      }
      if (text.find_first_of(L"\r\n") != String::npos) {
        SendMessageW(GetHandle(), EM_REPLACESEL, TRUE, LPARAM(text.c_str()));  // undoable, as a paste
        m.Result = 0;
        return;
      }
    }
    TEdit::WndProc(m);
  }
};

}  // namespace

TfrmEditValue::TfrmEditValue(TComponent* AOwner, TCommonLogic* Logic) : TForm(AOwner), logic_(Logic) {
  SetName(L"frmEditValue");
  SetCaption(L"Edit Value");
  SetBorderStyle(bsDialog);
  SetPosition(poDefault);
  Font()->SetName(L"MS Sans Serif");
  Font()->SetSize(8);
  SetClientWidth(409);
  SetClientHeight(193);

  lblPath = Place<TLabel>(this, this, L"lblPath", 8, 4, 40, 13);
  lblPath->SetCaption(L"Path:");
  lblPath->Font()->SetStyle(TFontStyles{fsBold});
  edtPath = Place<TEdit>(this, this, L"edtPath", 8, 18, 393, 21);
  edtPath->SetReadOnly(true);
  lblValueName = Place<TLabel>(this, this, L"lblValueName", 8, 42, 80, 13);
  lblValueName->SetCaption(L"Value Name:");
  lblValueName->Font()->SetStyle(TFontStyles{fsBold});
  edtValueName = Place<TEdit>(this, this, L"edtValueName", 8, 56, 393, 21);
  edtValueName->SetReadOnly(true);

  pagEditFormat = Place<TPageControl>(this, this, L"pagEditFormat", 4, 84, 401, 72);
  pagEditFormat->Font()->SetStyle(TFontStyles{fsBold});
  pagEditFormat->SetMultiLine(true);

  auto page = [this](const wchar_t* name, const wchar_t* caption) {
    TTabSheet* p = new TTabSheet(this);
    p->SetName(name);
    p->SetPageControl(pagEditFormat);
    p->SetCaption(caption);
    return p;
  };
  // The boxes keep the form's plain font, the tabs are bold.
  auto plainFont = [this](TWinControl* c) {
    c->SetParentFont(false);
    c->Font()->Assign(*Font());
  };
  tbsString = page(L"tbsString", L"String Value");
  edtValueStr = Place<TEditValueStringBox>(this, tbsString, L"edtValueStr", 4, 8, 383, 21);
  plainFont(edtValueStr);

  auto numberBox = [&](TTabSheet* p, const wchar_t* name, TBaseFormat base) {
    TBinHexEdit* b = Place<TEditValueNumberBox>(this, p, name, 4, 8, 383, 21);
    plainFont(b);
    b->SetAlignment(taLeftJustify);
    b->SetBaseFormat(base);
    return b;
  };
  tbsHex = page(L"tbsHex", L"Hexadecimal");
  edtValueHex = numberBox(tbsHex, L"edtValueHex", HexaDecimal);
  tbsBinary = page(L"tbsBinary", L"Binary");
  edtValueBin = numberBox(tbsBinary, L"edtValueBin", Binary);
  tbsDecimal = page(L"tbsDecimal", L"Decimal");
  edtValueDec = numberBox(tbsDecimal, L"edtValueDec", Number);
  tbsDecimal->SetTabVisible(false);
  pagEditFormat->SetActivePage(tbsString);

  btnOk = Place<TButton>(this, this, L"btnOk", 246, 162, 75, 25);
  btnOk->SetCaption(L"OK");
  btnOk->SetDefault(true);
  btnOk->SetModalResult(mrOk);
  btnCancel = Place<TButton>(this, this, L"btnCancel", 326, 162, 75, 25);
  btnCancel->SetCaption(L"Cancel");
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  SetDefaultButton(btnOk);
  SetCancelButton(btnCancel);

  edtValueHex->OnChange = TNotifyEvent(this, &TfrmEditValue::edtValueHexChange);
  edtValueBin->OnChange = TNotifyEvent(this, &TfrmEditValue::edtValueBinChange);
  edtValueDec->OnChange = TNotifyEvent(this, &TfrmEditValue::edtValueDecChange);
  pagEditFormat->OnChange = TNotifyEvent(this, &TfrmEditValue::pagEditFormatChange);
  pagEditFormat->OnChanging = TTabChangingEvent(this, &TfrmEditValue::pagEditFormatChanging);
  OnShow = TNotifyEvent(this, &TfrmEditValue::FormShow);
  OnClose = TCloseEvent(this, &TfrmEditValue::FormClose);
  OnCloseQuery = TCloseQueryEvent(this, &TfrmEditValue::FormCloseQuery);
}

void TfrmEditValue::FormShow(TObject*) {
  if (!logic_) return;
  TCommonLogic& dm = *logic_;
  SetShowHint(dm.GetOption(SettingName::ShowHints).AsBoolean());
  const int top = dm.GetOption(SettingName::EditTop).AsInteger(), left = dm.GetOption(SettingName::EditLeft).AsInteger();
  SetTop(top);
  SetLeft(left);
  KeepOnScreen(this);
  keptTop_.Take(top, GetTop());
  keptLeft_.Take(left, GetLeft());
  edtPath->SetText(dm.GetRootKeyName(dm.EditRootKey, rnmFull) + dm.EditKeyPath);
  edtValueName->SetText(dm.EditValueName);
  outOfRange_ = nullptr;
  switch (dm.EditValueType) {
    case 1:
    case 2:
      edtValueStr->SetText(dm.EditString);
      tbsString->SetTabVisible(true);
      tbsHex->SetTabVisible(false);
      tbsBinary->SetTabVisible(false);
      tbsDecimal->SetTabVisible(false);
      pagEditFormat->SetActivePage(tbsString);
      FocusControl(edtValueStr);
      // The box selects its text only when the keyboard comes to it from
      // another control; an opening after one that ended in this box would
      // leave the caret where it was, and typing would add to the value.
      edtValueStr->SelectAll();
      break;
    case 3:
      SetAllBoxes(dm.EditInteger);
      tbsString->SetTabVisible(false);
      tbsHex->SetTabVisible(true);
      tbsBinary->SetTabVisible(true);
      tbsDecimal->SetTabVisible(true);
      pagEditFormat->SetActivePage(tbsHex);
      FocusControl(edtValueHex);
      edtValueHex->SelectAll();  // as the string box
      break;
    default:
      break;
  }
}

void TfrmEditValue::SetAllBoxes(int32_t V) {
  const int64_t wide = V;  // sign-extended
  edtValueHex->SetAsInteger(wide);
  edtValueBin->SetAsInteger(wide);
  edtValueDec->SetAsInteger(wide);
  // The boxes' change events set the number too; without windows they may
  // not have run, so the number is set here as well.
  number_ = V;
  outOfRange_ = nullptr;
}

void TfrmEditValue::TakeNumber(TBinHexEdit* Box, bool EmptyIsZero) {
  const String text = Box->GetText();
  int64_t v = 0;
  if (!(EmptyIsZero && text.empty())) {
    try {
      v = Box->GetAsInteger();
    } catch (const Exception&) {
      // A text that is no number (a lone "-" left once the digits are
      // deleted): the number keeps its previous value, and the conversion
      // error goes on to the application's error display.
      if (outOfRange_ == Box) outOfRange_ = nullptr;
      throw;
    }
  }
  if (!FitsIn32Bits(v)) {
    outOfRange_ = Box;
    return;
  }
  outOfRange_ = nullptr;
  number_ = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

void TfrmEditValue::edtValueHexChange(TObject*) {
  const String text = edtValueHex->GetText();
  if (text.empty() || text == L"$") {
    number_ = 0;
    outOfRange_ = nullptr;
    return;
  }
  TakeNumber(edtValueHex, false);
}

void TfrmEditValue::edtValueBinChange(TObject*) { TakeNumber(edtValueBin, true); }

void TfrmEditValue::edtValueDecChange(TObject*) { TakeNumber(edtValueDec, true); }

bool TfrmEditValue::RefuseOutOfRange() {
  if (!outOfRange_) return false;
  TBinHexEdit* box = outOfRange_;
  ShowMessage(OutOfRangeText);
  if (box->CanFocus()) box->SetFocus();
  return true;
}

void TfrmEditValue::pagEditFormatChanging(TObject*, bool& AllowChange) {
  if (RefuseOutOfRange()) AllowChange = false;
}

void TfrmEditValue::pagEditFormatChange(TObject*) { SetAllBoxes(number_); }

void TfrmEditValue::FormCloseQuery(TObject*, bool& CanClose) {
  // Only an accepted number has to fit; Cancel always closes.
  if (GetModalResult() == mrOk && logic_ && logic_->EditValueType == 3 && RefuseOutOfRange()) CanClose = false;
}

void TfrmEditValue::FormClose(TObject*, TCloseAction&) {
  if (!logic_) return;
  TCommonLogic& dm = *logic_;
  switch (dm.EditValueType) {
    case 1:
    case 2:
      dm.EditString = edtValueStr->GetText();
      break;
    case 3:
      dm.EditInteger = number_;
      break;
    default:
      break;
  }
  dm.SetOption(SettingName::EditTop, keptTop_.ToStore(GetTop()));
  dm.SetOption(SettingName::EditLeft, keptLeft_.ToStore(GetLeft()));
  dm.WriteAllOptions();
}

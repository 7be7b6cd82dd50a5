#include "app/EditValueBin.h"

#include <algorithm>

#include "app/FormBuild.h"

#include "app/CommonLogic.h"

namespace {

template <class T>
T* Place(TWinControl* parent, const wchar_t* name, int l, int t, int w, int h, TAnchors anchors) {
  T* c = Place<T>(parent, name, l, t, w, h);
  c->SetAnchors(anchors);
  return c;
}

}  // namespace

TfrmEditValueBin::TfrmEditValueBin(TComponent* AOwner, TCommonLogic* Logic) : TForm(AOwner), logic_(Logic) {
  SetName(L"frmEditValueBin");
  SetCaption(L"Edit Binary String");
  SetBorderStyle(bsSizeable);
  SetPosition(poDefaultPosOnly);
  Font()->SetName(L"MS Sans Serif");
  Font()->SetSize(8);
  SetBounds(0, 0, 417, 359);
  const TAnchors ltr{akLeft, akTop, akRight};
  const TAnchors lt{akLeft, akTop};
  const TAnchors rb{akRight, akBottom};

  // Arrange places what the anchors move.
  lblPath = Place<TLabel>(this, L"lblPath", 8, 4, 40, 13, lt);
  lblPath->SetCaption(L"Path:");
  edtPath = Place<TEdit>(this, L"edtPath", 8, 18, 0, 21, ltr);
  edtPath->SetReadOnly(true);
  lblValueName = Place<TLabel>(this, L"lblValueName", 8, 42, 80, 13, lt);
  lblValueName->SetCaption(L"Value Name:");
  edtValueName = Place<TEdit>(this, L"edtValueName", 8, 56, 0, 21, ltr);
  edtValueName->SetReadOnly(true);
  lblValue = Place<TLabel>(this, L"lblValue", 8, 82, 40, 13, lt);
  lblValue->SetCaption(L"Value:");

  heValue = Place<THexEditor>(this, L"heValue", 8, 96, 0, 0, TAnchors{akLeft, akTop, akRight, akBottom});
  heValue->Font()->SetName(L"Courier New");
  heValue->Font()->SetSize(10);
  heValue->SetCursor(crIBeam);
  heValue->SetBytesPerRow(8);
  heValue->SetBytesPerColumn(1);
  heValue->SetTranslation(tkAsIs);
  heValue->SetOffsetFormat(L"-!10:0x|");
  heValue->SetFocusFrame(true);
  heValue->SetDrawGridLines(true);
  THexColors* col = heValue->Colors();
  col->SetBackground(clWindow);
  col->SetChangedBackground(TColor(11075583));  // A8FFFF
  col->SetChangedText(clMaroon);
  col->SetCursorFrame(clNavy);
  col->SetOffset(clBlack);
  col->SetOddColumn(clBlue);
  col->SetEvenColumn(clNavy);
  col->SetCurrentOffsetBackground(clBtnShadow);
  col->SetOffsetBackGround(clBtnFace);
  col->SetCurrentOffset(clBtnHighlight);
  col->SetGrid(clBtnFace);

  btnOk = Place<TButton>(this, L"btnOk", 0, 0, 75, 25, rb);
  btnOk->SetCaption(L"OK");
  btnOk->SetDefault(true);
  btnOk->SetModalResult(mrOk);
  btnCancel = Place<TButton>(this, L"btnCancel", 0, 0, 75, 25, rb);
  btnCancel->SetCaption(L"Cancel");
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  SetDefaultButton(btnOk);
  SetCancelButton(btnCancel);
  Arrange();

  heValue->OnKeyDown = TKeyEvent(this, &TfrmEditValueBin::heValueKeyDown);

  OnShow = TNotifyEvent(this, &TfrmEditValueBin::FormShow);
  OnClose = TCloseEvent(this, &TfrmEditValueBin::FormClose);
}

void TfrmEditValueBin::CreateWnd() {
  TForm::CreateWnd();
  // The window's first client area, scaled to the screen's dots per inch
  // along with the controls, has grown the anchored controls once more:
  // they are placed anew for it, which also sets where the anchors keep
  // them from.
  Arrange();
}

void TfrmEditValueBin::Arrange() {
  auto scaled = [this](int v) { return Scaled(this, v); };
  const int cw = GetClientWidth(), ch = GetClientHeight();
  const int margin = scaled(8);
  DisableAlign();
  edtPath->SetBounds(margin, edtPath->GetTop(), cw - 2 * margin, edtPath->GetHeight());
  edtValueName->SetBounds(margin, edtValueName->GetTop(), cw - 2 * margin, edtValueName->GetHeight());
  const int buttonTop = ch - scaled(33);
  heValue->SetBounds(margin, heValue->GetTop(), cw - 2 * margin, buttonTop - scaled(7) - heValue->GetTop());
  btnOk->SetBounds(cw - scaled(164), buttonTop, scaled(75), scaled(25));
  btnCancel->SetBounds(cw - scaled(83), buttonTop, scaled(75), scaled(25));
  EnableAlign();
}

void TfrmEditValueBin::heValueKeyDown(TObject*, WORD& Key, TShiftState Shift) {
  // The hex editor takes every key for itself and has no use for Escape
  // and a plain Enter: they answer the dialog as in any other dialog.
  if (Key == VK_ESCAPE && Shift.Empty()) {
    Key = 0;
    SetModalResult(mrCancel);
  } else if (Key == VK_RETURN && Shift.Empty()) {
    Key = 0;
    SetModalResult(mrOk);
  }
}

void TfrmEditValueBin::FormShow(TObject*) {
  if (!logic_) return;
  TCommonLogic& dm = *logic_;
  edtPath->SetText(dm.GetRootKeyName(dm.EditRootKey, rnmFull) + dm.EditKeyPath);
  edtValueName->SetText(dm.EditValueName);
  SetShowHint(dm.GetOption(SettingName::ShowHints).AsBoolean());
  // Bookmarks belong to the bytes of the value they were set in.
  for (int i = 0; i < 10; ++i) heValue->SetBookmark(i, THexBookmark{});
  heValue->SetAsText(dm.EditBinary);
  // A size stored by an earlier run (another screen, another dots per
  // inch) never hides a control: the dialog is at least as big as its
  // controls need, wide enough for a whole row where the screen allows, and
  // no bigger than the screen's work area.
  SetMinimumSize();
  const int left = dm.GetOption(SettingName::EditBinLeft).AsInteger(), top = dm.GetOption(SettingName::EditBinTop).AsInteger();
  const int width = dm.GetOption(SettingName::EditBinWidth).AsInteger();
  const int height = dm.GetOption(SettingName::EditBinHeight).AsInteger();
  SetBounds(left, top, width, height);
  FitWholeRow();
  KeepOnScreen(this);
  keptLeft_.Take(left, GetLeft());
  keptTop_.Take(top, GetTop());
  keptWidth_.Take(width, GetWidth());
  keptHeight_.Take(height, GetHeight());
  // Typing overwrites; an empty value has no byte to overwrite, so there
  // typing adds bytes (in overwrite mode it would be lost).
  heValue->SetInsertMode(heValue->GetDataSize() == 0);
  // Every opening starts on the first hex digit. The hex editor keeps the
  // field its caret was left in (Tab moves it to the characters), so an
  // earlier opening, even a cancelled one, would otherwise have the typing
  // go to the characters.
  if (heValue->GetDataSize() > 0) {
    heValue->SetSelStart(0);
    heValue->SetInCharField(false);
  } else {
    heValue->SetCol(2);
  }
  FocusControl(heValue);
}

void TfrmEditValueBin::SetMinimumSize() {
  // Both buttons beside each other and four rows of bytes, with room for
  // the horizontal scroll bar whether or not it shows yet.
  const bool hscroll = (GetWindowLongW(heValue->GetHandle(), GWL_STYLE) & WS_HSCROLL) != 0;
  const int editorHeight = 4 * heValue->RowHeightPx() + heValue->GetHeight() - heValue->GetClientHeight() +
                           (hscroll ? 0 : GetSystemMetrics(SM_CYHSCROLL));
  Constraints()->MinWidth = GetWidth() - btnOk->GetLeft() + lblPath->GetLeft();
  Constraints()->MinHeight = GetHeight() - heValue->GetHeight() + editorHeight;
}

void TfrmEditValueBin::FitWholeRow() {
  // Offsets, the eight bytes and their characters side by side, with room
  // for the vertical scroll bar whether or not it shows yet.
  int content = 0;
  for (int c = 0; c < heValue->GetColCount(); ++c) content += heValue->GetColWidths(c) + heValue->GetGridLineWidth();
  const bool vscroll = (GetWindowLongW(heValue->GetHandle(), GWL_STYLE) & WS_VSCROLL) != 0;
  const int frame = heValue->GetWidth() - heValue->GetClientWidth() + (vscroll ? 0 : GetSystemMetrics(SM_CXVSCROLL));
  const int missing = content + frame - heValue->GetWidth();
  if (missing > 0) SetWidth(GetWidth() + missing);
}

void TfrmEditValueBin::FormClose(TObject*, TCloseAction&) {
  if (!logic_) return;
  TCommonLogic& dm = *logic_;
  dm.EditBinary = heValue->GetAsText();
  dm.SetOption(SettingName::EditBinTop, keptTop_.ToStore(GetTop()));
  dm.SetOption(SettingName::EditBinLeft, keptLeft_.ToStore(GetLeft()));
  dm.SetOption(SettingName::EditBinHeight, keptHeight_.ToStore(GetHeight()));
  dm.SetOption(SettingName::EditBinWidth, keptWidth_.ToStore(GetWidth()));
  dm.WriteAllOptions();
}

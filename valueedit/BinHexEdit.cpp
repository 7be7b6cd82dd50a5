#include "valueedit/BinHexEdit.h"

#include "classlib/Filer.h"

TBinHexEdit::TBinHexEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  SetWidth(100);
  SetText(FormatText(0, baseFormat_, hexLength_));
  enabledColor_ = clWindow;
  TCustomEdit::SetColor(clWindow);
}

String TBinHexEdit::EditText() const { return const_cast<TBinHexEdit*>(this)->GetText(); }

int TBinHexEdit::EditSelStart() const { return const_cast<TBinHexEdit*>(this)->GetSelStart(); }

int TBinHexEdit::EditSelLength() const { return const_cast<TBinHexEdit*>(this)->GetSelLength(); }

void TBinHexEdit::EditSetSel(int start, int length) {
  SetSelStart(start);
  SetSelLength(length);
}

void TBinHexEdit::Beep() {
  MessageBeep(0);
  TBinHexEditCore::Beep();
}

void TBinHexEdit::TakeFocusBack() {
  if (CanFocus()) SetFocus();
}

void TBinHexEdit::TypeChar(wchar_t c) {
  // Replayed through the window as typed, so the key filter sees it; the
  // clipboard commands are not replayed.
  if (c == 3 || c == 22 || c == 24) return;
  if (HandleAllocated())
    Perform(WM_CHAR, c, 0);
  else
    TBinHexEditCore::TypeChar(c);
}

void TBinHexEdit::KeyDown(WORD& key, TShiftState shift) {
  TCustomEdit::KeyDown(key, shift);
  enteredByMouse_ = false;
  if (key == 0) return;
  int k = key;
  FilterKeyDown(k, shift);
  key = static_cast<WORD>(k);
}

void TBinHexEdit::KeyUp(WORD& key, TShiftState shift) {
  TCustomEdit::KeyUp(key, shift);
  int k = key;
  FilterKeyUp(k, shift);
}

void TBinHexEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomEdit::MouseDown(button, shift, x, y);
  if ((button == mbLeft || shift.Contains(ssLeft)) && enteredByMouse_) {
    enteredByMouse_ = false;
    if (GetAutoSelect()) SelectAll();
  }
}

void TBinHexEdit::DoEnter() {
  TCustomEdit::DoEnter();
  enteredByMouse_ = GetKeyState(VK_LBUTTON) < 0;
  if (GetAutoSelect()) SelectAll();
}

void TBinHexEdit::DoExit() {
  TCustomEdit::DoExit();
  CheckRangeOnExit();
}

void TBinHexEdit::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.Style |= ES_MULTILINE;
  p.Style &= ~static_cast<DWORD>(ES_RIGHT | ES_CENTER);
  if (alignment_ == taRightJustify) p.Style |= ES_RIGHT;
  if (alignment_ == taCenter) p.Style |= ES_CENTER;
}

void TBinHexEdit::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  if (HandleAllocated()) {
    int s = GetSelStart(), l = GetSelLength();
    RecreateWnd();
    SetSelStart(s);
    SetSelLength(l);
  }
}

void TBinHexEdit::ApplyColor() { TCustomEdit::SetColor(GetEnabled() ? enabledColor_ : disabledColor_); }

void TBinHexEdit::SetColor(TColor c) {
  enabledColor_ = c;
  if (GetEnabled()) TCustomEdit::SetColor(c);
  if (parent_ && parent_->Brush()->GetColor() != c) TCustomEdit::SetParentColor(false);
}

void TBinHexEdit::SetDisabledColor(TColor c) {
  disabledColor_ = c;
  if (!GetEnabled()) TCustomEdit::SetColor(c);
}

void TBinHexEdit::SetEnabled(bool v) {
  TCustomEdit::SetEnabled(v);
  ApplyColor();
}

void TBinHexEdit::SetParentColor(bool v) {
  if (v == GetParentColor()) return;
  if (v && parent_) enabledColor_ = parent_->Brush()->GetColor();
  TCustomEdit::SetParentColor(v);
  ApplyColor();
}

void TBinHexEdit::SetReadOnly(bool v) {
  TCustomEdit::SetReadOnly(v);
  SetReadOnlyCore(v);
}

void TBinHexEdit::Loaded() {
  TCustomEdit::Loaded();
  ApplyColor();
}

void TBinHexEdit::WMPaste(TMessage& m) {
  String text;
  if (OpenClipboard(HandleAllocated() ? handle_ : nullptr)) {
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
      if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
        text = p;
        GlobalUnlock(h);
      }
    }
    CloseClipboard();
  }
  CallProtected([&] { PasteText(text); });
  m.Result = 0;
}

// Enter, Escape and Tab stay with the dialog.
void TBinHexEdit::WMGetDlgCode(TMessage& m) { m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TBinHexEdit::CMParentColorChanged(TMessage& m) {
  TCustomEdit::WndProc(m);
  if (GetParentColor() && parent_) enabledColor_ = parent_->Brush()->GetColor();
  ApplyColor();
}

void TBinHexEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_PASTE: WMPaste(m); return;
    case WM_GETDLGCODE: WMGetDlgCode(m); return;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(m); return;
    case CM_EXIT:
    case WM_KILLFOCUS:
      CallProtected([&] { TCustomEdit::WndProc(m); });
      return;
    default:
      break;
  }
  TCustomEdit::WndProc(m);
}

void BinHexEdit::Register() { RegisterComponents(L"ValueEdit", {ComponentClass<TBinHexEdit>(L"TBinHexEdit")}); }

#include "extlib/ExComboEdit.h"

#include <algorithm>

#include "classlib/Forms.h"
#include "extlib/ExFiler.h"

namespace {

int TextHeightOf(TFont* F) {
  HDC DC = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, F->GetHandle());
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  return TM.tmHeight;
}

}  // namespace

TEditShortCut EditShortCut(WORD Key, TShiftState Shift) {
  TEditShortCut R = Key & 0xFF;
  if (Shift.Contains(ssShift)) R |= escShift;
  if (Shift.Contains(ssCtrl)) R |= escCtrl;
  if (Shift.Contains(ssAlt)) R |= escAlt;
  return R;
}

// ---------------------------------------------------------------------------
// TEditButton

TEditButton::TEditButton(TComponent* AOwner) : TExtSpeedButton(AOwner) {
  ControlStyle += csReplicatable;
  SetParentShowHint(true);
}

TCustomComboEdit* TEditButton::Editor() const { return dynamic_cast<TCustomComboEdit*>(GetOwner()); }

void TEditButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    TCustomComboEdit* E = Editor();
    if (E && E->popupVisible_) {
      E->PopupCloseUp(E, true);
      noAction_ = true;
    } else if (E && E->CanFocus() && E->GetTabStop() && GetFocus() != E->Handle()) {
      E->SetFocus();
    }
  }
  TExtSpeedButton::MouseDown(Button, Shift, X, Y);
}

void TEditButton::Click() {
  if (noAction_) {
    noAction_ = false;
    return;
  }
  TExtSpeedButton::Click();
}

// ---------------------------------------------------------------------------
// TPopupWindow

TPopupWindow::TPopupWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  editor_ = dynamic_cast<TWinControl*>(AOwner);
  ControlStyle += TControlStyle{csAcceptsControls, csNoDesignVisible, csReplicatable};
  SetCtl3D(false);
  SetParentCtl3D(false);
  visible_ = false;
  OnMouseUp = TMouseEvent(this, &TPopupWindow::PopupMouseUp);
}

void TPopupWindow::CreateParams(TCreateParams& P) {
  TCustomControl::CreateParams(P);
  P.Style = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
  P.ExStyle = WS_EX_TOOLWINDOW;
  P.WndParent = editor_ && editor_->HandleAllocated() ? editor_->Handle() : nullptr;
  P.WindowClass.style |= CS_SAVEBITS;
}

void TPopupWindow::WndProc(TMessage& M) {
  if (M.Msg == WM_MOUSEACTIVATE) {
    M.Result = MA_NOACTIVATE;
    return;
  }
  TCustomControl::WndProc(M);
}

void TPopupWindow::PopupMouseUp(TObject*, TMouseButton Button, TShiftState, int X, int Y) {
  if (Button != mbLeft) return;
  TRect R = GetClientRect();
  CloseUp(X >= R.left && X < R.right && Y >= R.top && Y < R.bottom);
}

void TPopupWindow::CloseUp(bool Accept) {
  if (OnCloseUp) OnCloseUp(this, Accept);
}

void TPopupWindow::ShowAt(TPoint Origin) {
  HandleNeeded();
  left_ = Origin.x;
  top_ = Origin.y;
  SetWindowPos(Handle(), HWND_TOP, Origin.x, Origin.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  visible_ = true;
}

void TPopupWindow::HidePopup() {
  if (HandleAllocated())
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_HIDEWINDOW);
  visible_ = false;
}

bool TPopupWindow::IsShowing() const { return visible_ && handle_ && IsWindowVisible(handle_); }

void TPopupWindow::InvalidateEditor() {
  auto* E = dynamic_cast<TCustomComboEdit*>(editor_);
  if (!E || !E->HandleAllocated()) return;
  TRect R = Rect(0, 0, E->GetClientWidth() - E->GetButtonWidth() - 2, E->GetClientHeight() + 1);
  InvalidateRect(E->Handle(), &R, FALSE);
  UpdateWindow(E->Handle());
}

// ---------------------------------------------------------------------------
// TCustomComboEdit

TCustomComboEdit::TCustomComboEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
  ControlStyle += csCaptureMouse;
  autoSize_ = false;
  height_ = 21;
  btnControl_ = new TWinControl(this);
  btnControl_->SetBounds(0, 0, 21, 17);
  btnControl_->SetParent(this);
  button_ = new TEditButton(this);
  button_->SetBounds(0, 0, 21, 17);
  button_->SetParent(btnControl_);
  button_->OnClick = TNotifyEvent(this, &TCustomComboEdit::EditButtonClick);
}

TCustomComboEdit::~TCustomComboEdit() {
  if (popup_) popup_->OnCloseUp = nullptr;
}

void TCustomComboEdit::CreateParams(TCreateParams& P) {
  TCustomMaskEdit::CreateParams(P);
  P.Style |= ES_MULTILINE | WS_CLIPCHILDREN;
  if (GetBorderStyle() == bsSingle && !GetCtl3D()) {
    P.ExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
    P.Style |= WS_BORDER;
  }
  if (alignment_ == taRightJustify)
    P.Style |= ES_RIGHT;
  else if (alignment_ == taCenter)
    P.Style |= ES_CENTER;
}

void TCustomComboEdit::CreateWnd() {
  TCustomMaskEdit::CreateWnd();
  ApplyReadOnly();
  UpdateBtnBounds();
  SetEditRect();
}

void TCustomComboEdit::SetEditRect() {
  if (!HandleAllocated()) return;
  TRect R = Rect(0, 0, GetClientWidth() - btnControl_->GetWidth() - 2, GetClientHeight() + 1);
  SendMessageW(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&R));
}

void TCustomComboEdit::UpdateBtnBounds() {
  int BW = btnControl_->GetWidth();
  int W = GetWidth(), H = GetHeight();
  // A sunken edge takes two pixels on every side, a flat frame one (the
  // button then keeps a pixel off it at the top).
  if (GetBorderStyle() == bsNone)
    btnControl_->SetBounds(W - BW, 0, BW, H);
  else if (GetCtl3D())
    btnControl_->SetBounds(W - BW - 4, 0, BW, std::max(H - 4, 0));
  else
    btnControl_->SetBounds(W - BW - 2, 2, BW, std::max(H - 4, 0));
  button_->SetBounds(0, 0, BW, btnControl_->GetHeight());
}

int TCustomComboEdit::MinHeight() {
  HDC DC = GetDC(nullptr);
  TEXTMETRICW SysTM{}, TM{};
  GetTextMetricsW(DC, &SysTM);
  HGDIOBJ Old = SelectObject(DC, Font()->GetHandle());
  GetTextMetricsW(DC, &TM);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  return std::min(SysTM.tmHeight, TM.tmHeight) + GetSystemMetrics(SM_CYBORDER) * 4 + 1;
}

int TCustomComboEdit::GetButtonWidth() const { return btnControl_->GetWidth(); }

int TCustomComboEdit::DefaultButtonWidth() const {
  if (glyphKind_ == gkDefault && button_->GetGlyph() && !button_->GetGlyph()->Empty())
    return std::max(button_->GetGlyph()->GetWidth() / std::max(button_->GetNumGlyphs(), 1) + 6, 21);
  if (glyphKind_ == gkDropDown) return GetSystemMetrics(SM_CXVSCROLL);
  return 21;
}

void TCustomComboEdit::SetButtonWidth(int Value) {
  if (Value == GetButtonWidth()) return;
  // A button as wide as the edit would leave no room for text.
  if (HandleAllocated() && Value >= GetClientWidth()) return;
  btnControl_->SetVisible(Value > 1);
  btnControl_->SetWidth(Value);
  button_->SetWidth(Value);
  button_->ControlStyle -= csFixedWidth;
  UpdateBtnBounds();
  SetEditRect();
  RecreateGlyph();
}

void TCustomComboEdit::SetReadOnly(bool Value) {
  if (Value == comboReadOnly_) return;
  comboReadOnly_ = Value;
  ApplyReadOnly();
}

void TCustomComboEdit::SetDirectInput(bool Value) {
  directInput_ = Value;
  ApplyReadOnly();
}

void TCustomComboEdit::ApplyReadOnly() { TCustomMaskEdit::SetReadOnly(comboReadOnly_ || !directInput_); }

void TCustomComboEdit::SetAlignment(TAlignment Value) {
  if (Value == alignment_) return;
  alignment_ = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomComboEdit::SetGlyph(TBitmap* Value) {
  glyphKind_ = gkCustom;
  button_->SetGlyph(Value);
}

void TCustomComboEdit::SetNumGlyphs(int Value) {
  if (glyphKind_ == gkDropDown || glyphKind_ == gkEllipsis)
    Value = 1;
  else if (glyphKind_ == gkDefault)
    Value = defNumGlyphs_;
  button_->SetNumGlyphs(Value);
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind Value) {
  if (ControlState.Contains(csCreating)) defGlyphKind_ = Value;
  if (Value == glyphKind_) return;
  glyphKind_ = Value;
  // A form that stores the kind gkCustom stores the user's glyph after it,
  // or none: what the former kind put on the button does not stay.
  if (glyphKind_ == gkCustom && GetComponentState().Contains(csReading)) button_->SetGlyph(nullptr);
  if (glyphKind_ == gkDropDown) {
    btnControl_->SetWidth(GetSystemMetrics(SM_CXVSCROLL));
    button_->ControlStyle += csFixedWidth;
    UpdateBtnBounds();
    SetEditRect();
  }
  RecreateGlyph();
  if (glyphKind_ == gkDefault && button_->GetGlyph() && !button_->GetGlyph()->Empty()) {
    int W = std::max(button_->GetGlyph()->GetWidth() / std::max(button_->GetNumGlyphs(), 1) + 6, GetButtonWidth());
    if (W != GetButtonWidth()) {
      btnControl_->SetWidth(W);
      UpdateBtnBounds();
      SetEditRect();
    }
  }
}

void TCustomComboEdit::Loaded() {
  PlaceDesignedPopup();  // still loading here
  TCustomMaskEdit::Loaded();
}

void TCustomComboEdit::PlaceDesignedPopup() {
  if (!popup_ || !IsDesigning()) return;
  TCustomForm* F = GetParentForm();
  if (!IsLoading() && !(F && F->IsLoading())) return;
  popup_->SetBounds(0, GetHeight() + 1, 10, 10);
}

TBitmap* TCustomComboEdit::GetDefaultBitmap(bool& DestroyNeeded) {
  DestroyNeeded = false;
  return nullptr;
}

void TCustomComboEdit::RecreateGlyph() {
  switch (glyphKind_) {
    case gkDefault: {
      bool Destroy = false;
      TBitmap* B = GetDefaultBitmap(Destroy);
      if (B) {
        button_->SetGlyph(B);
        button_->SetNumGlyphs(defNumGlyphs_);
        if (Destroy) delete B;
      }
      break;
    }
    case gkDropDown: {
      TBitmap B;
      B.SetHandle(LoadBitmapW(nullptr, MAKEINTRESOURCEW(32738)));  // the combo box arrow
      button_->SetGlyph(&B);
      button_->SetNumGlyphs(1);
      break;
    }
    case gkEllipsis: {
      int W = std::max(1, GetButtonWidth() - 6);
      TBitmap B;
      B.SetMonochrome(true);
      B.SetSize(W, 4);
      TCanvas* C = B.Canvas();
      C->Brush()->SetColor(clWhite);
      C->FillRect(Rect(0, 0, W, 4));
      C->Brush()->SetColor(clBlack);
      int D = std::min(std::max((W - 6) / 2, 1), 3);
      int X = ((W - 6) - 2 * D) / 2;
      for (int K = 0; K < 3; ++K) {
        int DX = X + K * (D + 2);
        C->FillRect(Rect(DX, 1, DX + 2, 3));
      }
      button_->SetGlyph(&B);
      button_->SetNumGlyphs(1);
      break;
    }
    case gkCustom:
      break;
  }
}

void TCustomComboEdit::SelectAll() {
  if (directInput_) TCustomMaskEdit::SelectAll();
}

void TCustomComboEdit::DoClick() { EditButtonClick(this); }

void TCustomComboEdit::EditButtonClick(TObject*) {
  if (!GetReadOnly()) ButtonClick();
}

void TCustomComboEdit::ButtonClick() {
  if (OnButtonClick) OnButtonClick(this);
  if (popup_) {
    if (popupVisible_)
      PopupCloseUp(popup_, true);
    else
      PopupDropDown(true);
  }
}

void TCustomComboEdit::PopupDropDown(bool DisableEdit) {
  if (!popup_ || GetReadOnly() || popupVisible_) return;
  RECT WR{};
  GetWindowRect(Handle(), &WR);
  TPoint P{WR.left, WR.top};
  int PW = popup_->GetWidth(), PH = popup_->GetHeight();
  int SW = GetSystemMetrics(SM_CXSCREEN), SH = GetSystemMetrics(SM_CYSCREEN);
  int Y = P.y + GetHeight();
  if (Y + PH > SH) Y = P.y - PH;
  int X = P.x;
  if (PopupAlign == epaRight) {
    X -= PW - GetWidth();
    if (X < 0) X += PW - GetWidth();
  } else if (X + PW > SW) {
    X -= PW - GetWidth();
  }
  X = std::min(std::max(X, 0), std::max(SW - PW, 0));
  String T = GetText();
  SetPopupValue(T.empty() ? Variant() : Variant(T));
  if (CanFocus()) SetFocus();
  ShowPopup(TPoint{X, Y});
  popupVisible_ = true;
  if (DisableEdit) {
    TCustomMaskEdit::SetReadOnly(true);
    HideCaret(Handle());
  }
}

void TCustomComboEdit::ShowPopup(TPoint Origin) { popup_->ShowAt(Origin); }

void TCustomComboEdit::HidePopup() { popup_->HidePopup(); }

void TCustomComboEdit::SetPopupValue(const Variant& Value) {
  if (popup_) popup_->SetValue(Value);
}

Variant TCustomComboEdit::GetPopupValue() { return popup_ ? popup_->GetValue() : Variant(GetText()); }

bool TCustomComboEdit::AcceptPopup(Variant&) { return true; }

void TCustomComboEdit::AcceptValue(const Variant& Value) {
  String S = Value.AsString();
  if (S != GetText()) {
    popupVisible_ = popup_ && popup_->IsShowing();
    SetText(S);  // reports the change
    SetModified(true);
  }
}

void TCustomComboEdit::PopupCloseUp(TObject*, bool Accept) {
  if (!popupVisible_ || !popup_) return;
  struct TClear {
    bool& Flag;
    ~TClear() { Flag = false; }
  } Clear{popupVisible_};
  if (HWND Capture = GetCapture()) SendMessageW(Capture, WM_CANCELMODE, 0, 0);
  Variant Value = GetPopupValue();
  HidePopup();
  try {
    if (!losingFocus_ && CanFocus()) SetFocus();
    if (GetFocus() == Handle()) {
      DestroyCaret();
      CreateCaret(Handle(), nullptr, Font()->GetStyle().Contains(fsBold) ? 2 : 1, TextHeightOf(Font()));
      ShowCaret(Handle());
    }
  } catch (...) {
    // Focusing is a courtesy; the value is what matters.
  }
  ApplyReadOnly();
  Invalidate();
  if (Accept && AcceptPopup(Value) && EditCanModify()) {
    popupVisible_ = false;
    AcceptValue(Value);
    if (GetFocus() == Handle()) SelectAll();
  }
}

void TCustomComboEdit::Change() {
  if (popupVisible_)
    PopupChange();
  else
    TCustomMaskEdit::Change();
}

void TCustomComboEdit::KeyDown(WORD& Key, TShiftState Shift) {
  // Enter and Escape of an open pop-up are its own (the typed character
  // closes it): the masked edit must not take Escape as undoing the typing.
  escapeTaken_ = false;
  if (popupVisible_ && (Key == VK_RETURN || Key == VK_ESCAPE)) return;
  if (Key == VK_DELETE && !directInput_ && IsMasked()) Key = 0;
  WORD Pressed = Key;
  TCustomMaskEdit::KeyDown(Key, Shift);
  escapeTaken_ = Pressed == VK_ESCAPE && Key == 0;
  if (Key != 0 && ClickKey != 0 && EditShortCut(Key, Shift) == ClickKey) {
    if (GetButtonWidth() > 0) {
      EditButtonClick(this);
      Key = 0;
    }
  }
}

void TCustomComboEdit::KeyPress(wchar_t& Key) {
  // A masked edit types through the mask, past the window's read-only
  // state: without direct input the keyboard changes nothing.
  if (!directInput_ && IsMasked() && (Key >= L' ' || Key == L'\b')) {
    Key = 0;
    return;
  }
  if (Key == 0x1B && escapeTaken_) {
    // Its key-down restored the text: that was all this Escape does.
    escapeTaken_ = false;
    Key = 0;
    return;
  }
  if ((Key == L'\r' || Key == 0x1B) && popupVisible_) {
    PopupCloseUp(popup_, Key == L'\r');
    Key = 0;
    return;
  }
  if (Key == L'\r' || Key == 0x1B) {
    // The form's default and cancel buttons come first.
    if (TCustomForm* F = GetParentForm()) {
      TMessage M{CM_DIALOGKEY, static_cast<WPARAM>(Key == L'\r' ? VK_RETURN : VK_ESCAPE), 0, 0};
      F->WindowProc(M);
      if (M.Result) {
        Key = 0;
        return;
      }
    }
    if (Key == L'\r') {
      TCustomMaskEdit::KeyPress(Key);
      Key = 0;  // a single-line edit has no use for a line break
      return;
    }
  }
  TCustomMaskEdit::KeyPress(Key);
}

void TCustomComboEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && popup_) {
    if (CanFocus()) SetFocus();
    if (GetFocus() != Handle()) return;
    if (popupVisible_) PopupCloseUp(popup_, false);
  }
  TCustomMaskEdit::MouseDown(Button, Shift, X, Y);
}

void TCustomComboEdit::WndProc(TMessage& M) {
  if (M.Msg == CM_CTL3DCHANGED) {
    // The frame changes: a new window, the button placed for it.
    TCustomMaskEdit::WndProc(M);
    RecreateWnd();
    UpdateBtnBounds();
    SetEditRect();
    return;
  }
  switch (M.Msg) {
    case WM_GETDLGCODE:
      // A one-line edit for the dialog keys, although its window is made
      // multi-line: Tab and Shift+Tab leave it, and Enter and Escape reach
      // the form's buttons unless an open pop-up takes them.
      TCustomMaskEdit::WndProc(M);
      M.Result &= ~LRESULT(DLGC_WANTALLKEYS | DLGC_WANTTAB);
      return;
    case CM_WANTSPECIALKEY:
      // An open pop-up keeps Enter and Escape from the form's buttons, and
      // Ctrl+Page Up and Ctrl+Page Down from a page control around the edit.
      if (popupVisible_ &&
          (M.WParam == VK_RETURN || M.WParam == VK_ESCAPE || M.WParam == VK_PRIOR || M.WParam == VK_NEXT)) {
        M.Result = 1;
        return;
      }
      break;
    case WM_PASTE:
    case WM_CUT:
      if (!directInput_ || GetReadOnly()) {
        M.Result = 0;
        return;
      }
      break;
    case WM_SIZE:
      TCustomMaskEdit::WndProc(M);
      if (!ControlState.Contains(csCreating)) {
        int MinH = MinHeight();
        if (GetHeight() < MinH) SetHeight(MinH);
      }
      UpdateBtnBounds();
      SetEditRect();
      PlaceDesignedPopup();
      return;
    case CM_FONTCHANGED:
      TCustomMaskEdit::WndProc(M);
      SetEditRect();
      return;
    case WM_SETFOCUS:
      TCustomMaskEdit::WndProc(M);
      CreateCaret(Handle(), nullptr, Font()->GetStyle().Contains(fsBold) ? 2 : 1, TextHeightOf(Font()));
      ShowCaret(Handle());
      return;
    case WM_KILLFOCUS:
      TCustomMaskEdit::WndProc(M);
      if (popupVisible_) {
        losingFocus_ = true;
        try {
          PopupCloseUp(popup_, false);
        } catch (...) {
          losingFocus_ = false;
          throw;
        }
        losingFocus_ = false;
      }
      return;
    case CM_CANCELMODE: {
      auto* Sender = reinterpret_cast<TControl*>(M.LParam);
      bool Own = Sender == this || Sender == popup_ || Sender == button_ ||
                 (popup_ && Sender && popup_->ContainsControl(Sender));
      if (!Own && popupVisible_) PopupCloseUp(popup_, false);
      break;
    }
    case CM_ENABLEDCHANGED:
      TCustomMaskEdit::WndProc(M);
      button_->SetEnabled(GetEnabled());
      return;
    case CM_BIDIMODECHANGED:
      TCustomMaskEdit::WndProc(M);
      if (popup_) popup_->SetBiDiMode(GetBiDiMode());
      return;
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC:
      TCustomMaskEdit::WndProc(M);
      // A disabled edit shows its text greyed unless that would vanish.
      if (!GetEnabled() && ColorToRGB(GetColor()) != ColorToRGB(clGrayText))
        SetTextColor(reinterpret_cast<HDC>(M.WParam), ColorToRef(clGrayText));
      return;
    default:
      break;
  }
  TCustomMaskEdit::WndProc(M);
}

bool MiddleEastSystem = GetSystemMetrics(SM_MIDEASTENABLED) != 0;

TPoint EditorTextMargins(TCustomComboEdit* Editor) {
  // A sunken edge leaves the text one pixel in, a flat frame two.
  int I = Editor->GetBorderStyle() == bsNone ? 0 : Editor->GetCtl3D() ? 1 : 2;
  int X = I;
  if (Editor->HandleAllocated()) X += LOWORD(SendMessageW(Editor->Handle(), EM_GETMARGINS, 0, 0));
  return TPoint{X, I};
}

bool PaintComboEdit(TCustomComboEdit* Editor, const String& AText, TAlignment AAlignment, bool StandardPaint,
                    std::unique_ptr<TControlCanvas>& ACanvas, TMessage& Message) {
  if (StandardPaint && !Editor->ControlState.Contains(csPaintCopy)) {
    // The edit paints itself; on a middle-east system its window takes the
    // reading order and the side the text stands on.
    if (MiddleEastSystem && Editor->HandleAllocated() && Editor->UseRightToLeftReading()) {
      HWND W = Editor->Handle();
      const LONG_PTR Old = GetWindowLongPtrW(W, GWL_EXSTYLE);
      LONG_PTR Ex = Old & ~LONG_PTR(WS_EX_RIGHT | WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR);
      Ex |= WS_EX_RTLREADING;
      if (Editor->UseRightToLeftScrollBar()) Ex |= WS_EX_LEFTSCROLLBAR;
      const bool Mirrored = Editor->UseRightToLeftAlignment();
      if ((!Mirrored && AAlignment == taRightJustify) || (Mirrored && AAlignment == taLeftJustify)) Ex |= WS_EX_RIGHT;
      if (Ex != Old) SetWindowLongPtrW(W, GWL_EXSTYLE, Ex);
    }
    return false;
  }
  if (!ACanvas) ACanvas = std::make_unique<TControlCanvas>(Editor);
  HWND Wnd = Editor->Handle();
  PAINTSTRUCT PS{};
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  bool Began = DC == nullptr;
  if (Began) DC = BeginPaint(Wnd, &PS);
  TCanvas* C = ACanvas.get();
  C->SetHandle(DC);
  try {
    C->Font()->Assign(*Editor->Font());
    if (!Editor->GetEnabled() && !Editor->IsDesigning() && ColorToRGB(Editor->GetColor()) != ColorToRGB(clGrayText))
      C->Font()->SetColor(clGrayText);
    TRect R = Editor->GetClientRect();
    if (!Editor->GetCtl3D() && Editor->GetBorderStyle() == bsSingle) {
      C->Brush()->SetColor(clWindowFrame);
      C->FrameRect(R);
      InflateRect(&R, -1, -1);
    }
    C->Brush()->SetColor(Editor->GetColor());
    C->FillRect(R);
    TPoint Margins = EditorTextMargins(Editor);
    int ButtonW = Editor->GetButtonWidth();
    int TextW = C->TextWidth(AText);
    int X = Margins.x;
    // Right-to-left alignment mirrors the alignment.
    if (Editor->UseRightToLeftAlignment() && AAlignment != taCenter)
      AAlignment = AAlignment == taLeftJustify ? taRightJustify : taLeftJustify;
    if (!Editor->PopupVisible()) {
      if (AAlignment == taRightJustify)
        X = RectWidth(R) - ButtonW - (ButtonW > 0 ? TextW + 1 : TextW) - Margins.x - 2;
      else if (AAlignment == taCenter)
        X = (RectWidth(R) - ButtonW - TextW) / 2;
    }
    TRect Clip = R;
    Clip.right -= ButtonW;
    C->Brush()->SetStyle(bsClear);
    C->TextRect(Clip, X, Margins.y, AText);
    C->Brush()->SetStyle(bsSolid);
  } catch (...) {
    C->SetHandle(nullptr);
    if (Began) EndPaint(Wnd, &PS);
    throw;
  }
  C->SetHandle(nullptr);
  if (Began) EndPaint(Wnd, &PS);
  return true;
}

// ---------------------------------------------------------------------------
// Form streams

void TCustomComboEdit::DefineProperties(TFiler* Filer) {
  TCustomMaskEdit::DefineProperties(Filer);
  auto* A = dynamic_cast<TCustomComboEdit*>(Filer->GetAncestor());
  using namespace ExFiler;
  Boolean(Filer, L"AutoSelect", GetAutoSelect(), A ? A->GetAutoSelect() : true, [this](bool V) { SetAutoSelect(V); });
  Enum(Filer, L"BorderStyle", GetBorderStyle(), A ? A->GetBorderStyle() : bsSingle, BorderStyleNames,
       [this](int V) { SetBorderStyle(V == bsNone ? bsNone : bsSingle); });
  Text(Filer, L"ButtonHint", GetButtonHint(), A ? A->GetButtonHint() : String(),
       [this](const String& V) { SetButtonHint(V); });
  Integer(Filer, L"ClickKey", ClickKey, A ? A->ClickKey : escAlt | VK_DOWN,
          [this](int64_t V) { ClickKey = static_cast<TEditShortCut>(V); });
  Boolean(Filer, L"DirectInput", directInput_, A ? A->directInput_ : true, [this](bool V) { SetDirectInput(V); });
  // The kind before the glyph: setting a glyph makes the kind gkCustom.
  Enum(Filer, L"GlyphKind", glyphKind_, A ? A->glyphKind_ : defGlyphKind_,
       {L"gkCustom", L"gkDefault", L"gkDropDown", L"gkEllipsis"},
       [this](int V) { SetGlyphKind(static_cast<TGlyphKind>(V)); });
  const bool Custom = glyphKind_ == gkCustom;
  Picture(
      Filer, L"Glyph.Data", GetGlyph(), A && A->glyphKind_ == gkCustom ? A->GetGlyph() : nullptr,
      [this](TBitmap* B) { SetGlyph(B); }, Custom);
  Integer(
      Filer, L"NumGlyphs", GetNumGlyphs(), A && A->glyphKind_ == gkCustom ? A->GetNumGlyphs() : 1,
      [this](int64_t V) { SetNumGlyphs(static_cast<int>(V)); }, Custom);
  Integer(
      Filer, L"ButtonWidth", GetButtonWidth(), A ? A->GetButtonWidth() : DefaultButtonWidth(),
      [this](int64_t V) { SetButtonWidth(static_cast<int>(V)); }, GetButtonWidth() != DefaultButtonWidth());
  Boolean(Filer, L"HideSelection", GetHideSelection(), A ? A->GetHideSelection() : true,
          [this](bool V) { SetHideSelection(V); });
  Boolean(Filer, L"ReadOnly", comboReadOnly_, A ? A->comboReadOnly_ : false, [this](bool V) { SetReadOnly(V); });
  Event(Filer, L"OnButtonClick", OnButtonClick, A ? &A->OnButtonClick : nullptr);
}

void TComboEdit::DefineProperties(TFiler* Filer) {
  TCustomComboEdit::DefineProperties(Filer);
  auto* A = dynamic_cast<TComboEdit*>(Filer->GetAncestor());
  using namespace ExFiler;
  Enum(Filer, L"Alignment", GetAlignment(), A ? A->GetAlignment() : taLeftJustify,
       AlignmentNames,
       [this](int V) { SetAlignment(static_cast<TAlignment>(V)); });
  Enum(Filer, L"CharCase", GetCharCase(), A ? A->GetCharCase() : ecNormal,
       {L"ecNormal", L"ecUpperCase", L"ecLowerCase"}, [this](int V) { SetCharCase(static_cast<TEditCharCase>(V)); });
  // The mask before the text it shapes.
  Text(Filer, L"EditMask", GetEditMask(), A ? A->GetEditMask() : String(),
       [this](const String& V) { SetEditMask(V); });
  Integer(Filer, L"MaxLength", GetMaxLength(), A ? A->GetMaxLength() : 0,
          [this](int64_t V) { SetMaxLength(static_cast<int>(V)); });
  Boolean(Filer, L"OEMConvert", GetOEMConvert(), A ? A->GetOEMConvert() : false,
          [this](bool V) { SetOEMConvert(V); });
  Text(Filer, L"Text", GetText(), A ? A->GetText() : String(), [this](const String& V) { SetText(V); });
}

#include "toolbars/skin/SkinEditItems.h"

#include <algorithm>
#include <cmath>

#include "toolbars/BarImages.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/skin/SkinUtils.h"
#include "toolbars/skin/SkinWindows.h"

namespace {
TSkinTheme* Theme() { return CurrentSkinTheme(); }

// The view's font with the item's overrides, selected into the canvas.
HDC PrepFont(TCanvas* C, TBarView* View, TFontSettings* FS) {
  C->Font()->Assign(*View->GetFont());
  if (FS) FS->Apply(C->Font());
  HDC dc = C->GetHandle();
  SelectObject(dc, C->Font()->GetHandle());
  return dc;
}

int TextWidthOf(HDC DC, const String& S) {
  if (S.empty()) return 0;
  RECT r{0, 0, 0, 0};
  DrawTextW(DC, S.c_str(), static_cast<int>(S.size()), &r, DT_CALCRECT | DT_SINGLELINE);
  return r.right - r.left;
}
}  // namespace

// ---- edit control ---------------------------------------------------------------------
void TSkinEdit::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TSkinEdit::CreateParams(TCreateParams& Params) {
  TEdit::CreateParams(Params);
  Params.Style &= ~static_cast<DWORD>(ES_LEFT | ES_RIGHT | ES_CENTER);
  Params.Style |= alignment_ == taRightJustify ? ES_RIGHT : alignment_ == taCenter ? ES_CENTER : ES_LEFT;
}

// ---- edit item ------------------------------------------------------------------------
TSkinEditItem::TSkinEditItem(TComponent* AOwner) : TBarEditItem(AOwner), fontSettings_(new TFontSettings) {
  InitSkin();
  fontSettings_->OnChange = TNotifyEvent(this, &TSkinEditItem::FontSettingsChanged);
}

TSkinEditItem::~TSkinEditItem() {
  fontSettings_->OnChange = nullptr;
  delete fontSettings_;
}

TBarItemViewerClass TSkinEditItem::GetItemViewerClass(TBarView* AView) {
  if (AView && AView->Orientation == tbvoVertical && !GetEditOptions().Contains(tboUseEditWhenVertical))
    return &TSkinItemViewer::CreateViewer;
  return &TSkinEditItemViewer::CreateViewer;
}

TBarPopupWindowClass TSkinEditItem::GetPopupWindowClass() {
  return &TBarPopupWindow::CreatePopupWindow<TSkinPopupWindow>;
}

void TSkinEditItem::GetPopupPosition(TBarView* ParentView, TBarPopupWindow* PopupWindow,
                                     TBarPopupPositionRec& Rec) {
  TBarEditItem::GetPopupPosition(ParentView, PopupWindow, Rec);
  int vt = PopupWindow ? GetWinViewType(PopupWindow) : 0;
  Rec.PlayPopupSound = (vt & VT_LISTBOX) != VT_LISTBOX;
}

void TSkinEditItem::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  Change(true);
}

void TSkinEditItem::SetPasswordChar(wchar_t Value) {
  if (passwordChar_ == Value) return;
  passwordChar_ = Value;
  Change(true);
}

void TSkinEditItem::SetShowImage(bool Value) {
  showImage_ = Value;
  Change(true);
}

void TSkinEditItem::DoBeginEdit(TBarEditItemViewer* Viewer) {
  if (TEdit* e = Viewer->EditControl) {
    if (auto* se = dynamic_cast<TSkinEdit*>(e)) se->SetAlignment(alignment_);
    e->SetPasswordChar(passwordChar_);
    e->SelectAll();
    e->SetReadOnly(ReadOnly);
    fontSettings_->Apply(e->Font());
  }
  TBarEditItem::DoBeginEdit(Viewer);
  if (auto* sv = dynamic_cast<TSkinEditItemViewer*>(Viewer))
    if (Viewer->EditControl) sv->HookEditControl(Viewer->EditControl);
}

void TSkinEditItem::DoChange(TObject* EditControl, const String& AText) {
  (void)EditControl;
  if (OnChange) OnChange(this, AText);
}

bool TSkinEditItem::StartEditing(TBarView* AView) {
  if (!AView) return false;
  auto* v = dynamic_cast<TSkinEditItemViewer*>(AView->Find(this));
  if (!v) return false;
  String before = GetText();
  SetChecked(true);
  AView->SetCapture();
  // As Enter on the item in a toolbar or menu: the field's edit loop runs.
  try {
    v->DoExecute();
  } catch (...) {
    AView->CancelCapture();
    SetChecked(false);
    throw;
  }
  AView->CancelCapture();
  SetChecked(false);
  return GetText() != before;
}

// ---- edit viewer ---------------------------------------------------------------------------
TBarItemViewer* TSkinEditItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinEditItemViewer(AView, AItem, AGroupLevel);
}

static bool InGrid(TBarView* V) { return (GetViewType(V) & VT_GRIDPOPUP) == VT_GRIDPOPUP; }
bool TSkinEditItemViewer::IsToolbarSize() { return TBarEditItemViewer::IsToolbarSize() || InGrid(View); }
bool TSkinEditItemViewer::IsToolbarStyle() { return TBarEditItemViewer::IsToolbarStyle() || InGrid(View); }

int TSkinEditItemViewer::GetAccRole() {
  if (dynamic_cast<TSkinSpinEditViewer*>(this)) return 52;
  return TBarEditItemViewer::GetAccRole();
}

TBarEditControlClass TSkinEditItemViewer::GetEditControlClass() {
  return &BarClassOf<TEdit, TSkinEdit, TComponent*>;
}

bool TSkinEditItemViewer::ShowImage() { return SkinEditItem()->GetShowImage(); }

int TSkinEditItemViewer::GetIndentBefore() {
  TCustomImageList* IL = GetImageList();
  return ShowImage() && IL ? IL->GetWidth() + 2 : 0;
}

void TSkinEditItemViewer::HandleEditChange(TCustomEdit* Edit, const String& AText) {
  SkinEditItem()->DoChange(Edit, AText);
}

void TSkinEditItemViewer::EditChanged(TObject* Sender) {
  if (auto* e = dynamic_cast<TCustomEdit*>(Sender)) HandleEditChange(e, e->GetText());
}

void TSkinEditItemViewer::HookEditControl(TEdit* Edit) {
  Edit->OnChange = TNotifyEvent(this, &TSkinEditItemViewer::EditChanged);
  savedWndProc_ = Edit->WindowProc;
  Edit->WindowProc = TWndMethod(this, &TSkinEditItemViewer::NewEditWndProc);
}

void TSkinEditItemViewer::NewEditWndProc(TMessage& Message) {
  if (savedWndProc_ && !HandleEditMessage(Message)) savedWndProc_(Message);
}

void TSkinEditItemViewer::GetItemInfo(TSkinItemInfo& I, bool Hover, bool, bool Pushed) {
  I = TSkinItemInfo{};
  I.ViewType = static_cast<uint32_t>(GetViewType(View));
  bool TS = IsToolbarStyle();
  if (TS) I.ItemOptions |= IO_TOOLBARSTYLE;
  if (Item->GetComponentState().Contains(csDesigning)) I.ItemOptions |= IO_DESIGNING;
  I.Enabled = Item->GetEnabled() || View->Customizing;
  I.Pushed = Pushed;
  I.Selected = Item->GetChecked();
  if (Hover) {
    if (Item->GetEnabled())
      I.HoverKind = hkMouseHover;
    else if (!View->MouseOverSelected)
      I.HoverKind = hkKeyboardHover;
  }
  if (!TS) I.PopupMargin = GetPopupMargin(this);
}

void TSkinEditItemViewer::GetEditInfo(TSkinEditInfo& E, const TSkinItemInfo&) {
  E = TSkinEditInfo{};
  E.LeftBtnWidth = GetIndentBefore();
  E.RightBtnWidth = GetIndentAfter();
}

void TSkinEditItemViewer::CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) {
  TSkinTheme* T = Theme();
  HDC dc = PrepFont(Canvas, View, SkinEditItem()->FontSettings());
  int h = GetTextHeight(dc) + 1;
  int w = EditItem()->GetEditWidth();
  bool TS = IsToolbarStyle();
  if (!TS) {
    if (!T->GetBooleanMetrics(3))
      w += T->GetIntegerMetrics(33);
    else
      w += T->GetIntegerMetrics(32) + GetPopupMargin(this);
    const String& cap = EditItem()->GetEditCaption();
    if (!cap.empty()) w += TextWidthOf(dc, cap) + T->GetIntegerMetrics(64) + T->GetIntegerMetrics(34);
  }
  int m = h + 2 * T->GetIntegerMetrics(62) + 2 * T->GetIntegerMetrics(60);
  if (TS)
    h += 2 * T->GetIntegerMetrics(60);
  else
    h += DivRoundUp(h, 4);
  h = std::max(h, m);
  if (T->GetBooleanMetrics(4))
    h = (h + 1) & ~1;
  else
    h |= 1;
  AWidth = w;
  AHeight = h;
}

void TSkinEditItemViewer::GetEditRect(RECT& R) {
  TSkinTheme* T = Theme();
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, BarToolbarFont()->GetHandle());
  const String& cap = EditItem()->GetEditCaption();
  int c = cap.empty() ? 0 : TextWidthOf(dc, cap) + T->GetIntegerMetrics(34);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  R = BoundsRect;
  if (!IsToolbarStyle()) {
    if (T->GetBooleanMetrics(3))
      R.left += T->GetIntegerMetrics(33) + GetPopupMargin(this);
    else if (c > 0)
      R.left += T->GetIntegerMetrics(33) + T->GetIntegerMetrics(64);
  }
  R.left += c;
  int d = T->GetIntegerMetrics(60) - 3;
  InflateRect(&R, -(T->GetIntegerMetrics(61) + d), -(d + T->GetIntegerMetrics(62)));
  R.left += GetIndentBefore();
  R.right -= GetIndentAfter();
}

void TSkinEditItemViewer::Paint(TCanvas* Canvas, RECT CR, bool IsSelected, bool IsPushed, bool) {
  TSkinTheme* T = Theme();
  TSkinItemInfo I;
  GetItemInfo(I, IsSelected, false, IsPushed);
  TSkinEditInfo E;
  GetEditInfo(E, I);
  RECT R = CR;
  TFontSettings* fs = SkinEditItem()->FontSettings();
  if (!IsToolbarStyle()) {
    HDC dc = PrepFont(Canvas, View, fs);
    const String& cap = EditItem()->GetEditCaption();
    int w = TextWidthOf(dc, cap);
    int m31 = T->GetIntegerMetrics(31), m33 = T->GetIntegerMetrics(33), m34 = T->GetIntegerMetrics(34);
    bool m3 = T->GetBooleanMetrics(3);
    int indent = 0;
    RECT F{R.left, R.top, R.left, R.bottom};
    bool row = false;
    if (m3) {
      indent = m33 + I.PopupMargin + m31 + 1;
      F.right = R.left + m31 + indent;
      if (w > 0) F.right += m34 + w;
      row = true;
    } else if (w > 0) {
      indent = m33;
      F.right = R.left + indent + w + m34;
      row = true;
    }
    if (row) {
      T->PaintMenuItemFrame(Canvas, F, I);
      F.right -= m34;
      RECT capR = F;
      capR.left += indent;
      Canvas->Font()->SetColor(T->GetItemTextColor(I));
      if (w > 0) T->PaintCaption(Canvas, capR, I, cap, DT_SINGLELINE | DT_VCENTER, false);
    }
    // The box starts where the caption's gap begins, so the edit control
    // (placed past the caption and its gap) opens inside the frame.
    R.left = F.right;
    if (m3)
      R.right -= m31;
    else if (w > 0)
      R.left += T->GetIntegerMetrics(64);
  }
  T->PaintEditFrame(Canvas, R, I, E);
  int shrink = T->GetIntegerMetrics(60) + T->GetIntegerMetrics(62);
  InflateRect(&R, -shrink, -shrink);
  TCustomImageList* IL = GetImageList();
  if (ShowImage() && IL) {
    int ih = BarImageHeight(IL);
    int y = (R.top + R.bottom + 1 - ih) / 2;
    int idx = SkinEditItem()->GetImageIndexOf();
    if (I.Enabled)
      IL->Draw(Canvas, R.left, y, idx, true);
    else
      DrawSkinImage(Canvas, RECT{R.left, y, R.left + BarImageWidth(IL), y + ih}, IL, idx, ISF_DISABLED);
  }
  R.left += E.LeftBtnWidth;
  R.right -= E.RightBtnWidth + 1;
  HDC dc = PrepFont(Canvas, View, fs);
  SetBkMode(dc, TRANSPARENT);
  SetBkColor(dc, GetSysColor(I.Enabled ? COLOR_WINDOW : COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(I.Enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  String text = EditItem()->GetText();
  wchar_t pc = SkinEditItem()->GetPasswordChar();
  if (pc) text.assign(text.size(), pc);
  TAlignment a = SkinEditItem()->GetAlignment();
  UINT f = (a == taRightJustify ? DT_RIGHT : a == taCenter ? DT_CENTER : DT_LEFT) | DT_SINGLELINE | DT_NOPREFIX;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &R, f);
}

// ---- spin-edit item ----------------------------------------------------------------------------
TSkinCustomSpinEditItem::TSkinCustomSpinEditItem(TComponent* AOwner) : TSkinEditItem(AOwner) {
  alignment_ = taRightJustify;
  textUpdating_ = true;
  SetText(L"0");
  textUpdating_ = false;
}

TBarItemViewerClass TSkinCustomSpinEditItem::GetItemViewerClass(TBarView* AView) {
  if (AView && AView->Orientation == tbvoVertical && !GetEditOptions().Contains(tboUseEditWhenVertical))
    return &TSkinItemViewer::CreateViewer;
  return &TSkinSpinEditViewer::CreateViewer;
}

TSpinValueFormat TSkinCustomSpinEditItem::Format() {
  TSpinValueFormat f;
  f.ValueType = valueType_;
  f.Decimal = decimal_;
  f.MinValue = MinValue;
  f.MaxValue = MaxValue;
  f.Prefix = prefix_;
  f.Postfix = postfix_;
  f.SpaceAfterPrefix = spaceAfterPrefix_;
  f.SpaceBeforePostfix = spaceBeforePostfix_;
  f.Convert = [this](const String& P, const String& Q, double& V) { return DoConvert(P, Q, V); };
  f.TextToValue = [this](const String& S, double& V) { return DoTextToValue(S, V); };
  f.ValueToText = [this](double V, String& S) { DoValueToText(V, S); };
  return f;
}

String TSkinCustomSpinEditItem::AsText(double V) { return SpinValueToText(Format(), V); }

double TSkinCustomSpinEditItem::GetValue() {
  double v;
  return ParseValue(GetText(), v) ? v : lastValue_;
}

void TSkinCustomSpinEditItem::SetValue(double V) {
  textUpdating_ = true;
  try {
    SetText(AsText(V));
  } catch (...) {
    textUpdating_ = false;
    throw;
  }
  textUpdating_ = false;
  lastValue_ = V;
}

void TSkinCustomSpinEditItem::SetValueType(TSEValueType Value) {
  if (valueType_ == Value) return;
  double v = GetValue();
  valueType_ = Value;
  SetValue(v);
  if (Value != evtFloat) increment_ = std::max(1.0, static_cast<double>(SpinRound(increment_)));
}

void TSkinCustomSpinEditItem::SetDecimal(int Value) {
  Value = std::clamp(Value, 0, 10);
  if (decimal_ == Value) return;
  decimal_ = static_cast<TDecimal>(Value);
  SetValue(GetValue());
}

void TSkinCustomSpinEditItem::SetIncrement(double Value) {
  if (!(Value > 0)) throw EPropertyError(L"Increment should be a positive value");
  increment_ = Value;
}

double TSkinCustomSpinEditItem::CheckValue(double V) { return SpinCheckValue(Format(), V); }

void TSkinCustomSpinEditItem::SetPrefix(const String& Value) {
  if (!ValidateUnits(Value)) throw EPropertyError(L"Invalid prefix");
  double v = GetValue();
  prefix_ = Value;
  SetValue(v);
}

void TSkinCustomSpinEditItem::SetPostfix(const String& Value) {
  if (!ValidateUnits(Value)) throw EPropertyError(L"Invalid postfix");
  double v = GetValue();
  postfix_ = Value;
  SetValue(v);
}

void TSkinCustomSpinEditItem::SetSpaceAfterPrefix(bool Value) {
  double v = GetValue();
  spaceAfterPrefix_ = Value;
  SetValue(v);
}

void TSkinCustomSpinEditItem::SetSpaceBeforePostfix(bool Value) {
  double v = GetValue();
  spaceBeforePostfix_ = Value;
  SetValue(v);
}

void TSkinCustomSpinEditItem::DoChange(TObject* EditControl, const String& AText) {
  if (!textUpdating_) {
    double v;
    if (ParseValue(AText, v)) {
      v = CheckValue(v);
      if (v != lastValue_) {
        lastValue_ = v;
        DoValueChange(v);
      }
    }
  }
  TSkinEditItem::DoChange(EditControl, AText);
}

void TSkinCustomSpinEditItem::Step(int Dir) {
  double o = GetValue();
  double n = SpinStep(o, increment_, Snap, Dir);
  DoStep(Dir, o, n);
  SetValue(n);
  DoValueChange(GetValue());
}

bool TSkinCustomSpinEditItem::DoConvert(const String& APrefix, const String& APostfix, double& AValue) {
  bool can = true;
  if (OnConvert) OnConvert(this, APrefix, APostfix, AValue, can);
  return can;
}

void TSkinCustomSpinEditItem::DoStep(int AStep, double OldValue, double& NewValue) {
  if (OnStep) OnStep(this, AStep, OldValue, NewValue);
}

bool TSkinCustomSpinEditItem::DoTextToValue(const String& AText, double& AValue) {
  bool can = false;
  if (OnTextToValue) OnTextToValue(this, AText, AValue, can);
  return can;
}

void TSkinCustomSpinEditItem::DoValueChange(double V) {
  if (OnValueChange) OnValueChange(this, V);
}

void TSkinCustomSpinEditItem::DoValueToText(double V, String& Text) {
  if (OnValueToText) OnValueToText(this, V, Text);
}

// ---- spin viewer -------------------------------------------------------------------------------------
TBarItemViewer* TSkinSpinEditViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinSpinEditViewer(AView, AItem, AGroupLevel);
}

TSkinSpinEditViewer::~TSkinSpinEditViewer() { FreeTimer(); }

void TSkinSpinEditViewer::FreeTimer() {
  FreeAndNil(timer_);
}

void TSkinSpinEditViewer::GetEditInfo(TSkinEditInfo& E, const TSkinItemInfo& I) {
  TSkinEditItemViewer::GetEditInfo(E, I);
  E.RightBtnInfo.ButtonType = 2;
  int s = 0;
  if (!Item->GetEnabled()) s |= 1;
  if (I.HoverKind == hkMouseHover) s |= 2;
  if (pressed_ == 1) s |= 4;
  if (pressed_ == 2) s |= 8;
  E.RightBtnInfo.ButtonState = s;
}

int TSkinSpinEditViewer::GetIndentAfter() {
  return IsToolbarStyle() ? Theme()->GetIntegerMetrics(65) + 2 : GetSystemMetrics(SM_CXMENUCHECK);
}

bool TSkinSpinEditViewer::IsPtInButtonPart(int X, int) {
  return X <= (BoundsRect.right - BoundsRect.left) - GetIndentAfter();
}

void TSkinSpinEditViewer::InvalidateButtons() {
  if (!Show || IsRectEmpty(&BoundsRect) || !View->Window || !View->Window->HandleAllocated()) return;
  RECT r = BoundsRect;
  r.left = r.right - GetIndentAfter();
  State += tbisInvalidated;
  InvalidateRect(View->Window->GetHandle(), &r, FALSE);
}

void TSkinSpinEditViewer::MouseDown(TBarShift Shift, int X, int Y, bool& MouseDownOnMenu) {
  if (!Item->GetEnabled()) return;
  int w = BoundsRect.right - BoundsRect.left, h = BoundsRect.bottom - BoundsRect.top;
  if (X >= w - GetIndentAfter()) {
    if (Y >= h / 2) {
      pressed_ = 2;
      SpinItem()->ClickDown();
    } else {
      pressed_ = 1;
      SpinItem()->ClickUp();
    }
    if (!timer_) {
      timer_ = new TTimer(nullptr);
      timer_->OnTimer = TNotifyEvent(this, &TSkinSpinEditViewer::TimerTick);
    }
    timer_->SetInterval(400);
    timer_->SetEnabled(true);
  }
  if (pressed_) {
    InvalidateButtons();
    TSkinEditItemViewer::MouseDown(Shift, X, Y, MouseDownOnMenu);
    View->SetCapture();
  } else {
    TSkinEditItemViewer::MouseDown(Shift, X, Y, MouseDownOnMenu);
  }
}

void TSkinSpinEditViewer::TimerTick(TObject*) {
  if (timer_) timer_->SetInterval(100);
  if (pressed_ == 1)
    SpinItem()->ClickUp();
  else if (pressed_ == 2)
    SpinItem()->ClickDown();
  else
    FreeTimer();
}

void TSkinSpinEditViewer::MouseUp(int X, int Y, bool MouseWasDownOnMenu) {
  if (pressed_) {
    pressed_ = 0;
    FreeTimer();
    InvalidateButtons();
  }
  TSkinEditItemViewer::MouseUp(X, Y, MouseWasDownOnMenu);
}

void TSkinSpinEditViewer::LosingCapture() {
  FreeTimer();
  TSkinEditItemViewer::LosingCapture();
}

bool TSkinSpinEditViewer::HandleEditMessage(TMessage& M) {
  TSkinCustomSpinEditItem* it = SpinItem();
  if (M.Msg == WM_CHAR && (M.WParam == 9 || M.WParam == 13)) {
    it->SetValue(it->LastValue());
    if (EditControl) EditControl->SetText(it->GetText());
    return false;
  }
  if (M.Msg == WM_KEYDOWN && (M.WParam == VK_UP || M.WParam == VK_DOWN)) {
    if (M.WParam == VK_UP)
      it->ClickUp();
    else
      it->ClickDown();
    if (EditControl) {
      EditControl->SetText(it->GetText());
      EditControl->SelectAll();
    }
    return true;
  }
  return TSkinEditItemViewer::HandleEditMessage(M);
}

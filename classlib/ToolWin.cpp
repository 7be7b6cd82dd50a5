#include "classlib/ToolWin.h"

#include <algorithm>

#include "classlib/Buttons.h"

// --- TToolButton -------------------------------------------------------------

namespace {
constexpr int kArrowWidth = 12;     // the drop-down part of a tbsDropDown button
constexpr int kSeparatorWidth = 8;  // separators and dividers
}  // namespace

TToolButton::TToolButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  // Clicks come from MouseUp (not on the drop-down arrow).
  ControlStyle = TControlStyle{csCaptureMouse, csSetCaption};
  SetBounds(left_, top_, 23, 22);
}

TToolBar* TToolButton::GetToolBar() const { return dynamic_cast<TToolBar*>(parent_); }

int TToolButton::GetIndex() const {
  TToolBar* bar = GetToolBar();
  if (!bar) return -1;
  for (int i = 0; i < bar->ButtonCount(); ++i)
    if (bar->Buttons(i) == this) return i;
  return -1;
}

void TToolButton::SetStyle(TToolButtonStyle Value) {
  if (Value == style_) return;
  style_ = Value;
  // Only buttons that can be pressed hold the mouse while pressed.
  if (style_ == tbsSeparator || style_ == tbsDivider) ControlStyle -= csCaptureMouse;
  else ControlStyle += csCaptureMouse;
  if (TToolBar* bar = GetToolBar()) bar->ArrangeButtons();
  Invalidate();
}

void TToolButton::SetImageIndex(int Value) {
  if (Value == imageIndex_) return;
  imageIndex_ = Value;
  Invalidate();
}

void TToolButton::SetDown(bool Value) {
  if (Value == down_) return;
  if (!Value && grouped_ && !allowAllUp_) return;  // one of a group stays down
  down_ = Value;
  if (down_ && grouped_ && parent_) {
    // The neighbours of the same group (grouped check buttons side by side).
    const int me = GetIndex();
    TToolBar* bar = GetToolBar();
    for (int step : {-1, 1})
      for (int i = me + step; bar && i >= 0 && i < bar->ButtonCount(); i += step) {
        TToolButton* b = bar->Buttons(i);
        if (!b->grouped_ || b->style_ != tbsCheck) break;
        if (b->down_) {
          b->down_ = false;
          b->Invalidate();
        }
      }
  }
  Invalidate();
}

void TToolButton::SetDropdownMenu(TPopupMenu* Value) {
  if (dropdownMenu_ == Value) return;
  if (dropdownMenu_) dropdownMenu_->RemoveFreeNotification(this);
  dropdownMenu_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TToolButton::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == dropdownMenu_) dropdownMenu_ = nullptr;
}

bool TToolButton::OnArrow(int x) const { return style_ == tbsDropDown && x >= width_ - kArrowWidth; }

void TToolButton::Click() {
  if (style_ == tbsCheck) SetDown(!down_);
  TGraphicControl::Click();
}

void TToolButton::WndProc(TMessage& m) {
  if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE) {
    mouseIn_ = m.Msg == CM_MOUSEENTER;
    Invalidate();
  }
  TGraphicControl::WndProc(m);
}

void TToolButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !enabled_ || style_ == tbsSeparator || style_ == tbsDivider) return;
  if (OnArrow(x) && dropdownMenu_) {
    // The menu drops below the button, aligned as the menu asks.
    const TPoint p = ClientToScreen(TPoint{dropdownMenu_->GetAlignment() == paRight ? width_ : 0, height_});
    pressed_ = true;
    Repaint();
    dropdownMenu_->Popup(p.x, p.y);
    pressed_ = false;
    Invalidate();
    return;
  }
  tracking_ = pressed_ = true;
  Invalidate();
}

void TToolButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  TrackPress(tracking_, pressed_, x, y);
}

void TToolButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const bool was = tracking_ && pressed_ && IsInside(x, y);
  tracking_ = pressed_ = false;
  Invalidate();
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button == mbLeft && was) Click();
}

void TToolButton::Paint() {
  TCanvas* c = canvas_.get();
  TRect r = GetClientRect();
  HDC dc = c->GetHandle();
  TToolBar* bar = GetToolBar();
  if (style_ == tbsSeparator || style_ == tbsDivider) {
    if (style_ == tbsDivider) {
      RECT d{r.left + RectWidth(r) / 2 - 1, r.top + 2, r.left + RectWidth(r) / 2 + 1, r.bottom - 2};
      DrawEdge(dc, &d, EDGE_ETCHED, BF_LEFT);
    }
    return;
  }
  const bool sunk = pressed_ || down_;
  const bool flat = bar && bar->GetFlat();
  if (!flat) {
    RECT fr = r;
    DrawFrameControl(dc, &fr, DFC_BUTTON, DFCS_BUTTONPUSH | (sunk ? DFCS_PUSHED : 0));
  } else if (sunk || (mouseIn_ && enabled_)) {
    RECT fr = r;
    DrawEdge(dc, &fr, sunk ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  TRect face = r;
  if (style_ == tbsDropDown) {
    face.right -= kArrowWidth;
    RECT a{face.right, r.top + 2, r.right - 2, r.bottom - 2};
    const int cx = (a.left + a.right) / 2, cy = (a.top + a.bottom) / 2;
    POINT tri[3] = {{cx - 3, cy - 1}, {cx + 3, cy - 1}, {cx, cy + 2}};
    HBRUSH br = GetSysColorBrush(enabled_ ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    HGDIOBJ ob = SelectObject(dc, br), op = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, tri, 3);
    SelectObject(dc, ob);
    SelectObject(dc, op);
  }
  const int off = sunk ? 1 : 0;
  TCustomImageList* images = bar ? bar->GetImages() : nullptr;
  const bool showCaption = bar && bar->GetShowCaptions();
  int textTop = face.top;
  if (images && imageIndex_ >= 0 && imageIndex_ < images->GetCount()) {
    const int x = face.left + (RectWidth(face) - images->GetWidth()) / 2 + off;
    const int y = showCaption ? face.top + 3 + off : face.top + (RectHeight(face) - images->GetHeight()) / 2 + off;
    images->Draw(c, x, y, imageIndex_, enabled_);
    textTop = y + images->GetHeight();
  }
  if (showCaption && !text_.empty()) {
    c->Font()->Assign(*font_);
    TRect t = face;
    t.top = textTop;
    OffsetRect(&t, off, off);
    DrawButtonGlyphAndCaption(c, t, nullptr, 1, enabled_ ? bsUp : bsDisabled, text_, blGlyphTop, -1, 0, 0);
  }
}

// --- TToolBar ----------------------------------------------------------------

TToolBar::TToolBar(TComponent* AOwner) : TCustomControl(AOwner) {
  ControlStyle += csAcceptsControls;
  SetBounds(left_, top_, 150, 29);
  SetAlign(alTop);
}

int TToolBar::ButtonCount() const {
  int n = 0;
  for (TControl* c : controls_)
    if (dynamic_cast<TToolButton*>(c)) ++n;
  return n;
}

TToolButton* TToolBar::Buttons(int Index) const {
  // In the order they stand, left to right.
  std::vector<TToolButton*> all;
  for (TControl* c : controls_)
    if (auto* b = dynamic_cast<TToolButton*>(c)) all.push_back(b);
  std::stable_sort(all.begin(), all.end(), [](TToolButton* a, TToolButton* b) { return a->GetLeft() < b->GetLeft(); });
  if (Index < 0 || size_t(Index) >= all.size())
    throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
  return all[size_t(Index)];
}

void TToolBar::ArrangeButtons() {
  if (arranging_) return;
  arranging_ = true;
  int x = 0;
  const int n = ButtonCount();
  std::vector<TToolButton*> order;
  for (int i = 0; i < n; ++i) order.push_back(Buttons(i));
  for (TToolButton* b : order) {
    int w = buttonWidth_;
    if (b->GetStyle() == tbsSeparator || b->GetStyle() == tbsDivider) w = kSeparatorWidth;
    else if (b->GetStyle() == tbsDropDown) w += kArrowWidth;
    b->SetBounds(x, 0, w, buttonHeight_);
    x += w;
  }
  arranging_ = false;
}

void TToolBar::SetButtonWidth(int Value) {
  buttonWidth_ = std::max(1, Value);
  ArrangeButtons();
}

void TToolBar::SetButtonHeight(int Value) {
  buttonHeight_ = std::max(1, Value);
  ArrangeButtons();
}

void TToolBar::SetImages(TCustomImageList* Value) {
  if (images_ == Value) return;
  if (images_) images_->RemoveFreeNotification(this);
  images_ = Value;
  if (Value) Value->FreeNotification(this);
  Invalidate();
}

void TToolBar::SetShowCaptions(bool Value) {
  showCaptions_ = Value;
  Invalidate();
}

void TToolBar::SetFlat(bool Value) {
  flat_ = Value;
  Invalidate();
}

void TToolBar::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  if (Value) ControlStyle -= csOpaque;
  else ControlStyle += csOpaque;
  Invalidate();
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

void TToolBar::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_CONTROLCHANGE:
      TCustomControl::WndProc(m);
      // A button put on the bar goes to the end of the row.
      if (m.LParam && dynamic_cast<TToolButton*>(reinterpret_cast<TControl*>(m.WParam))) {
        auto* b = reinterpret_cast<TToolButton*>(m.WParam);
        int right = 0;
        for (TControl* c : controls_)
          if (c != b && dynamic_cast<TToolButton*>(c)) right = std::max(right, c->GetLeft() + c->GetWidth());
        if (!arranging_) b->SetLeft(right);
      }
      ArrangeButtons();
      return;
    case WM_ERASEBKGND:
      if (transparent_ && parent_ && parent_->HandleAllocated()) {
        PerformEraseBackground(this, HDC(m.WParam));
        m.Result = 1;
        return;
      }
      break;
    default: break;
  }
  TCustomControl::WndProc(m);
}

void TToolBar::Paint() {
  if (transparent_) return;
  canvas_->Brush()->SetColor(color_);
  canvas_->FillRect(GetClientRect());
}

// --- TCoolBar ----------------------------------------------------------------

TCoolBand::TCoolBand(TCollection* Collection) : TCollectionItem(Collection) {
  if (TCoolBar* b = Bar()) id_ = b->nextId_++;
}

TCoolBand::~TCoolBand() {
  if (TCoolBar* b = Bar(); b && b->HandleAllocated()) {
    const int i = b->BandIndex(this);
    if (i >= 0) SendMessageW(b->GetHandle(), RB_DELETEBAND, WPARAM(i), 0);
  }
}

TCoolBar* TCoolBand::Bar() const {
  auto* c = dynamic_cast<TOwnedCollection*>(GetCollection());
  return c ? dynamic_cast<TCoolBar*>(c->GetOwner()) : nullptr;
}

void TCoolBand::Update() {
  TCoolBar* b = Bar();
  if (!b || !b->HandleAllocated()) return;
  b->InsertBands();
}

void TCoolBand::SetControl(TWinControl* Value) {
  if (Value == control_) return;
  TCoolBar* b = Bar();
  if (control_ && b) control_->RemoveFreeNotification(b);
  control_ = Value;
  if (Value && b) {
    Value->FreeNotification(b);
    if (Value->GetParent() != b) Value->SetParent(b);
  }
  Update();
}

void TCoolBand::SetText(const String& Value) {
  text_ = Value;
  Update();
}

void TCoolBand::SetWidth(int Value) {
  width_ = Value;
  Update();
}

void TCoolBand::SetMinHeight(int Value) {
  minHeight_ = Value;
  Update();
}

void TCoolBand::SetBreak(bool Value) {
  break_ = Value;
  Update();
}

TCoolBands::TCoolBands(TCoolBar* Owner)
    : TOwnedCollection(Owner, [](TCollection* c) -> TCollectionItem* { return new TCoolBand(c); }) {}

TCoolBar::TCoolBar(TComponent* AOwner) : TWinControl(AOwner), bands_(std::make_unique<TCoolBands>(this)) {
  ControlStyle += csAcceptsControls;
  SetBounds(left_, top_, 150, 75);
  SetAlign(alTop);
}

TCoolBar::~TCoolBar() { bands_.reset(); }

void TCoolBar::CreateParams(TCreateParams& p) {
  InitCommonControl(ICC_COOL_CLASSES);
  TWinControl::CreateParams(p);
  CreateSubClass(p, REBARCLASSNAMEW);
  p.Style |= RBS_VARHEIGHT | RBS_BANDBORDERS | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE;
}

void TCoolBar::CreateWnd() {
  TWinControl::CreateWnd();
  InsertBands();
}

int TCoolBar::BandIndex(const TCoolBand* Band) const {
  if (!handle_) return -1;
  const LRESULT i = SendMessageW(handle_, RB_IDTOINDEX, Band->id_, 0);
  return int(i);
}

void TCoolBar::InsertBands() {
  if (!handle_) return;
  while (SendMessageW(handle_, RB_GETBANDCOUNT, 0, 0) > 0) SendMessageW(handle_, RB_DELETEBAND, 0, 0);
  for (int i = 0; i < bands_->GetCount(); ++i) {
    TCoolBand* b = bands_->Items(i);
    REBARBANDINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = RBBIM_STYLE | RBBIM_TEXT | RBBIM_SIZE | RBBIM_CHILDSIZE | RBBIM_ID | RBBIM_CHILD;
    info.fStyle = RBBS_GRIPPERALWAYS | (b->break_ ? RBBS_BREAK : 0);
    info.lpText = const_cast<wchar_t*>(b->text_.c_str());
    info.cx = UINT(b->width_);
    info.cyMinChild = UINT(b->minHeight_);
    info.wID = b->id_;
    info.hwndChild = b->control_ ? b->control_->GetHandle() : nullptr;
    SendMessageW(handle_, RB_INSERTBANDW, WPARAM(-1), LPARAM(&info));
  }
}

void TCoolBar::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && bands_)
    for (int i = 0; i < bands_->GetCount(); ++i)
      if (bands_->Items(i)->control_ == AComponent) {
        bands_->Items(i)->control_ = nullptr;
        InsertBands();
      }
}

void TCoolBar::WndProc(TMessage& m) {
  if (m.Msg == CN_NOTIFY && reinterpret_cast<NMHDR*>(m.LParam)->code == RBN_HEIGHTCHANGE) {
    // The bar's height follows its rows.
    RECT r;
    ::GetWindowRect(handle_, &r);
    const int h = int(SendMessageW(handle_, RB_GETBARHEIGHT, 0, 0)) + (RectHeight(r) - RectHeight(GetClientRect()));
    if (h != height_) SetBounds(left_, top_, width_, h);
    m.Result = 0;
    return;
  }
  TWinControl::WndProc(m);
}

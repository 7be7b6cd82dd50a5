#include "classlib/ExtCtrls.h"

#include <algorithm>

namespace {

// Draws a 3-D frame of the given width and shrinks `r` by it.
void Frame3D(HDC dc, TRect& r, TColor topLeft, TColor bottomRight, int width) {
  HPEN tl = CreatePen(PS_SOLID, 1, ColorToRef(topLeft));
  HPEN br = CreatePen(PS_SOLID, 1, ColorToRef(bottomRight));
  HGDIOBJ old = SelectObject(dc, tl);
  for (int i = 0; i < width; ++i) {
    --r.bottom;
    --r.right;
    SelectObject(dc, tl);
    MoveToEx(dc, r.left, r.bottom, nullptr);
    LineTo(dc, r.left, r.top);
    LineTo(dc, r.right, r.top);
    SelectObject(dc, br);
    LineTo(dc, r.right, r.bottom);
    LineTo(dc, r.left - 1, r.bottom);
    ++r.left;
    ++r.top;
  }
  SelectObject(dc, old);
  DeleteObject(tl);
  DeleteObject(br);
}

}  // namespace

// ===========================================================================
// TCustomPanel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque,
                               csDoubleClicks, csReplicatable};
  width_ = 185;
  height_ = 41;
}

void TCustomPanel::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TCustomPanel::AdjustClientRect(TRect& r) {
  int bevel = 0;
  if (bevelOuter_ != bvNone) bevel += bevelWidth_;
  if (bevelInner_ != bvNone) bevel += bevelWidth_;
  InflateRect(&r, -(borderWidth_ + bevel), -(borderWidth_ + bevel));
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
}

void TCustomPanel::Changed2() {
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut b) {
  if (b == bevelInner_) return;
  bevelInner_ = b;
  Changed2();
}

void TCustomPanel::SetBevelOuter(TBevelCut b) {
  if (b == bevelOuter_) return;
  bevelOuter_ = b;
  Changed2();
}

void TCustomPanel::SetBevelWidth(int w) {
  if (w < 1 || w == bevelWidth_) return;
  bevelWidth_ = w;
  Changed2();
}

void TCustomPanel::SetBorderWidth(int w) {
  // Drawn by the panel between its bevels, inside the client area.
  if (w < 0 || w == borderWidth_) return;
  borderWidth_ = w;
  Changed2();
}

void TCustomPanel::SetBorderStyle(TBorderStyle b) {
  if (b == borderStyle_) return;
  borderStyle_ = b;
  RecreateWnd();
}

void TCustomPanel::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  Invalidate();
}

void TCustomPanel::Paint() {
  TRect r = GetClientRect();
  HDC dc = Canvas()->GetHandle();
  auto colours = [](TBevelCut cut, TColor& tl, TColor& br) {
    tl = cut == bvLowered ? clBtnShadow : clBtnHighlight;
    br = cut == bvLowered ? clBtnHighlight : clBtnShadow;
  };
  TColor tl, br;
  if (bevelOuter_ != bvNone) {
    colours(bevelOuter_, tl, br);
    if (bevelOuter_ == bvSpace) tl = br = color_;
    Frame3D(dc, r, tl, br, bevelWidth_);
  }
  if (borderWidth_ > 0) Frame3D(dc, r, color_, color_, borderWidth_);
  if (bevelInner_ != bvNone) {
    colours(bevelInner_, tl, br);
    if (bevelInner_ == bvSpace) tl = br = color_;
    Frame3D(dc, r, tl, br, bevelWidth_);
  }
  Canvas()->Brush()->SetColor(color_);
  Canvas()->Brush()->SetStyle(bsSolid);
  Canvas()->FillRect(r);
  String t = GetText();
  if (!t.empty()) {
    Canvas()->Font()->Assign(*font_);
    Canvas()->Brush()->SetStyle(bsClear);
    TTextFormat f = tfSingleLine | tfVerticalCenter;
    if (alignment_ == taCenter) f |= tfCenter;
    if (alignment_ == taRightJustify) f |= tfRight;
    Canvas()->TextRect(r, t, f);
  }
}

void TCustomPanel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_COLORCHANGED:
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case WM_WINDOWPOSCHANGED:
      TCustomControl::WndProc(m);
      if (fullRepaint_ || !GetText().empty()) Invalidate();
      return;
    default: break;
  }
  TCustomControl::WndProc(m);
}

// ===========================================================================
// TBevel, TImage, TPaintBox

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle += csReplicatable;
  width_ = 50;
  height_ = 50;
}

void TBevel::SetShape(TBevelShape s) {
  if (s == shape_) return;
  shape_ = s;
  Invalidate();
}

void TBevel::SetStyle(TBevelStyle s) {
  if (s == style_) return;
  style_ = s;
  Invalidate();
}

void TBevel::Paint() {
  HDC dc = Canvas()->GetHandle();
  TRect r = GetClientRect();
  UINT edge = style_ == bsLowered ? EDGE_SUNKEN : EDGE_RAISED;
  switch (shape_) {
    case bsBox: DrawEdge(dc, &r, style_ == bsLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT); break;
    case bsFrame: DrawEdge(dc, &r, style_ == bsLowered ? EDGE_ETCHED : EDGE_BUMP, BF_RECT); break;
    case bsTopLine: DrawEdge(dc, &r, edge, BF_TOP); break;
    case bsBottomLine: DrawEdge(dc, &r, edge, BF_BOTTOM); break;
    case bsLeftLine: DrawEdge(dc, &r, edge, BF_LEFT); break;
    case bsRightLine: DrawEdge(dc, &r, edge, BF_RIGHT); break;
    case bsSpacer: break;
  }
}

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), picture_(std::make_unique<TPicture>()) {
  ControlStyle += csReplicatable;
  picture_->OnChange = TNotifyEvent(this, &TImage::PictureChanged);
  width_ = 105;
  height_ = 105;
}

TImage::~TImage() = default;

void TImage::PictureChanged(TObject*) {
  if (autoSize_ && picture_->GetWidth() > 0 && picture_->GetHeight() > 0)
    SetBounds(left_, top_, picture_->GetWidth(), picture_->GetHeight());
  if (auto* b = dynamic_cast<TBitmap*>(picture_->GetGraphic())) b->SetTransparent(transparent_);
  Invalidate();
}

void TImage::SetStretch(bool v) {
  stretch_ = v;
  Invalidate();
}

void TImage::SetCenter(bool v) {
  center_ = v;
  Invalidate();
}

void TImage::SetTransparent(bool v) {
  transparent_ = v;
  PictureChanged(this);
}

void TImage::SetAutoSize(bool v) {
  autoSize_ = v;
  PictureChanged(this);
}

TRect TImage::DestRect() {
  int w = picture_->GetWidth(), h = picture_->GetHeight();
  if (stretch_) return GetClientRect();
  TRect r = Rect(0, 0, w, h);
  if (center_) OffsetRect(&r, (width_ - w) / 2, (height_ - h) / 2);
  return r;
}

void TImage::Paint() {
  if (TGraphic* g = picture_->GetGraphic()) Canvas()->StretchDraw(DestRect(), g);
}

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle += csReplicatable;
  width_ = 105;
  height_ = 105;
}

void TPaintBox::Paint() {
  if (OnPaint) OnPaint(this);
}

// ===========================================================================
// TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  align_ = alLeft;
  width_ = 3;
  height_ = 100;
  cursor_ = crHSplit;
}

void TSplitter::SetBeveled(bool v) {
  beveled_ = v;
  Invalidate();
}

void TSplitter::Paint() {
  TRect r = GetClientRect();
  Canvas()->Brush()->SetColor(parent_ ? parent_->GetColor() : color_);
  Canvas()->FillRect(r);
  if (beveled_) {
    HDC dc = Canvas()->GetHandle();
    DrawEdge(dc, &r, BDR_RAISEDINNER, Horizontal() ? (BF_TOP | BF_BOTTOM) : (BF_LEFT | BF_RIGHT));
  }
  if (OnPaint) OnPaint(this);
}

TControl* TSplitter::FindControl() {
  if (!parent_) return nullptr;
  TPoint p = Point(left_, top_);
  switch (align_) {
    case alLeft: --p.x; break;
    case alRight: p.x += width_; break;
    case alTop: --p.y; break;
    case alBottom: p.y += height_; break;
    default: return nullptr;
  }
  for (int i = 0; i < parent_->ControlCount(); ++i) {
    TControl* c = parent_->Controls(i);
    if (c == this || !c->GetVisible() || !c->GetEnabled() || c->GetAlign() != align_) continue;
    TRect r = c->GetBoundsRect();
    if (RectWidth(r) == 0) {
      if (align_ == alTop || align_ == alLeft) --r.left;
      else ++r.right;
    }
    if (RectHeight(r) == 0) {
      if (align_ == alTop || align_ == alLeft) --r.top;
      else ++r.bottom;
    }
    if (PtInRectangle(r, p)) return c;
  }
  return nullptr;
}

bool TSplitter::DoCanResize(int& newSize) {
  bool accept = true;
  if (OnCanResize) OnCanResize(this, newSize, accept);
  if (accept && autoSnap_ && newSize < minSize_) newSize = 0;
  return accept;
}

void TSplitter::CalcSplitSize(int x, int y, int& newSize, int& split) {
  split = Horizontal() ? y - downPos_.y : x - downPos_.x;
  int s = 0;
  switch (align_) {
    case alLeft: s = control_->GetWidth() + split; break;
    case alRight: s = control_->GetWidth() - split; break;
    case alTop: s = control_->GetHeight() + split; break;
    case alBottom: s = control_->GetHeight() - split; break;
    default: break;
  }
  newSize = s;
  if (s < minSize_) newSize = minSize_;
  else if (s > maxSize_) newSize = maxSize_;
  if (s != newSize) {
    int d = (align_ == alRight || align_ == alBottom) ? s - newSize : newSize - s;
    split += d;
  }
}

void TSplitter::UpdateControlSize() {
  if (!control_ || newSize_ == oldSize_) return;
  switch (align_) {
    case alLeft: control_->SetWidth(newSize_); break;
    case alTop: control_->SetHeight(newSize_); break;
    case alRight:
      parent_->DisableAlign();
      control_->SetLeft(control_->GetLeft() + (control_->GetWidth() - newSize_));
      control_->SetWidth(newSize_);
      parent_->EnableAlign();
      break;
    case alBottom:
      parent_->DisableAlign();
      control_->SetTop(control_->GetTop() + (control_->GetHeight() - newSize_));
      control_->SetHeight(newSize_);
      parent_->EnableAlign();
      break;
    default: break;
  }
  parent_->Realign();
  oldSize_ = newSize_;
  if (OnMoved) OnMoved(this);
}

void TSplitter::DrawLine() {
  if (!parent_ || !parent_->HandleAllocated()) return;
  HWND h = parent_->GetHandle();
  HDC dc = GetDCEx(h, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  if (Horizontal()) PatBlt(dc, left_, lineY_, width_, height_, DSTINVERT);
  else PatBlt(dc, lineX_, top_, width_, height_, DSTINVERT);
  ReleaseDC(h, dc);
  lineVisible_ = !lineVisible_;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  control_ = FindControl();
  downPos_ = Point(x, y);
  if (!control_) return;
  TRect cr = parent_->GetClientRect();
  if (!Horizontal()) {
    maxSize_ = RectWidth(cr) - minSize_;
    for (int i = 0; i < parent_->ControlCount(); ++i) {
      TControl* c = parent_->Controls(i);
      if (c->GetVisible() && (c->GetAlign() == alLeft || c->GetAlign() == alRight)) maxSize_ -= c->GetWidth();
    }
    maxSize_ += control_->GetWidth();
  } else {
    maxSize_ = RectHeight(cr) - minSize_;
    for (int i = 0; i < parent_->ControlCount(); ++i) {
      TControl* c = parent_->Controls(i);
      if (c->GetVisible() && (c->GetAlign() == alTop || c->GetAlign() == alBottom)) maxSize_ -= c->GetHeight();
    }
    maxSize_ += control_->GetHeight();
  }
  oldSize_ = Horizontal() ? control_->GetHeight() : control_->GetWidth();
  newSize_ = oldSize_;
  dragging_ = true;
  split_ = 0;
  lineX_ = left_;
  lineY_ = top_;
  if (resizeStyle_ == rsLine || resizeStyle_ == rsPattern) DrawLine();
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!dragging_ || !control_) return;
  int ns, split;
  CalcSplitSize(x, y, ns, split);
  if (!DoCanResize(ns)) return;
  newSize_ = ns;
  split_ = split;
  if (resizeStyle_ == rsUpdate) {
    UpdateControlSize();
  } else if (resizeStyle_ == rsLine || resizeStyle_ == rsPattern) {
    if (lineVisible_) DrawLine();
    lineX_ = left_ + split;
    lineY_ = top_ + split;
    DrawLine();
  }
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (!dragging_) return;
  // The split ends where the button was released: the last move before a
  // quick release need not have been reported.
  if (control_) {
    int ns, split;
    CalcSplitSize(x, y, ns, split);
    if (DoCanResize(ns)) {
      newSize_ = ns;
      split_ = split;
    }
  }
  dragging_ = false;
  if (lineVisible_) DrawLine();
  if (control_) {
    UpdateControlSize();
    control_ = nullptr;
  }
}

// ===========================================================================
// TCustomRadioGroup

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner)
    : TCustomGroupBox(AOwner), items_(std::make_unique<TStringList>()) {
  items_->OnChange = TNotifyEvent(this, &TCustomRadioGroup::ItemsChanged);
  ControlStyle -= csAcceptsControls;
  ControlStyle += csAcceptsControls;  // the buttons are children
}

TCustomRadioGroup::~TCustomRadioGroup() {
  items_->OnChange = nullptr;
}

void TCustomRadioGroup::ItemsChanged(TObject*) {
  if (itemIndex_ >= items_->GetCount()) itemIndex_ = items_->GetCount() - 1;
  UpdateButtons();
}

void TCustomRadioGroup::UpdateButtons() {
  int n = items_->GetCount();
  while (int(buttons_.size()) > n) {
    TRadioButton* b = buttons_.back();
    buttons_.pop_back();
    delete b;
  }
  while (int(buttons_.size()) < n) {
    auto* b = new TRadioButton(this);
    b->OnClick = TNotifyEvent(this, &TCustomRadioGroup::ButtonClick);
    b->SetParent(this);
    buttons_.push_back(b);
  }
  updating_ = true;
  for (int i = 0; i < n; ++i) {
    buttons_[size_t(i)]->SetCaption(items_->Get(i));
    buttons_[size_t(i)]->SetChecked(i == itemIndex_);
    buttons_[size_t(i)]->SetTabStop(i == itemIndex_ || (itemIndex_ < 0 && i == 0));
  }
  updating_ = false;
  ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
  int n = int(buttons_.size());
  if (n == 0) return;
  TRect r = GetClientRect();
  AdjustClientRect(r);
  // The etched frame is two pixels wide; the client rectangle leaves out
  // only its outer pixel, so keep the buttons off the inner one too.
  r.right = std::max(r.left, r.right - 1);
  r.bottom = std::max(r.top, r.bottom - 1);
  int cols = std::max(1, columns_);
  int perCol = (n + cols - 1) / cols;
  int colW = std::max(1, (RectWidth(r) - 8) / cols);
  int rowH = std::max(1, RectHeight(r) / std::max(1, perCol));
  int bh = std::min(rowH, 20);
  for (int i = 0; i < n; ++i) {
    int col = i / perCol, row = i % perCol;
    buttons_[size_t(i)]->SetBounds(r.left + 8 + col * colW, r.top + row * rowH + (rowH - bh) / 2, colW, bh);
  }
}

void TCustomRadioGroup::Resize() {
  TCustomGroupBox::Resize();
  ArrangeButtons();
}

void TCustomRadioGroup::ButtonClick(TObject* sender) {
  if (updating_) return;
  auto it = std::find(buttons_.begin(), buttons_.end(), sender);
  if (it == buttons_.end()) return;
  int i = int(it - buttons_.begin());
  if (i == itemIndex_) return;
  itemIndex_ = i;
  Click();
}

void TCustomRadioGroup::SetItemIndex(int i) {
  if (i < -1 || i >= items_->GetCount()) throw EListError(L"List index out of bounds (" + std::to_wstring(i) + L")");
  itemIndex_ = i;
  updating_ = true;
  for (int k = 0; k < int(buttons_.size()); ++k) buttons_[size_t(k)]->SetChecked(k == i);
  updating_ = false;
}

void TCustomRadioGroup::SetColumns(int c) {
  if (c < 1) c = 1;
  if (c > 16) c = 16;
  if (c == columns_) return;
  columns_ = c;
  ArrangeButtons();
  Invalidate();
}

void TCustomRadioGroup::WndProc(TMessage& m) {
  if (m.Msg == CM_FONTCHANGED) {
    TCustomGroupBox::WndProc(m);
    ArrangeButtons();
    return;
  }
  TCustomGroupBox::WndProc(m);
}

// ===========================================================================
// TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) { UpdateTimer(); }

TTimer::~TTimer() {
  enabled_ = false;
  if (window_) {
    KillTimer(window_, 1);
    DestroyWindow(window_);
  }
}

LRESULT CALLBACK TTimer::TimerWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (msg == WM_TIMER) {
    auto* t = reinterpret_cast<TTimer*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (t) {
      try {
        t->Timer();
      } catch (...) {
        HandleCallbackException(t);
      }
    }
    return 0;
  }
  return DefWindowProcW(h, msg, w, l);
}

void TTimer::UpdateTimer() {
  if (window_) KillTimer(window_, 1);
  if (!enabled_ || interval_ == 0) return;
  if (!window_) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TimerWndProc;
    wc.hInstance = MainInstance();
    wc.lpszClassName = L"Zembrio.TTimer";
    WNDCLASSW existing{};
    if (!GetClassInfoW(MainInstance(), wc.lpszClassName, &existing)) RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, MainInstance(), nullptr);
    if (!window_) throw EOutOfResources(L"Not enough timers available");
    SetWindowLongPtrW(window_, GWLP_USERDATA, LONG_PTR(this));
  }
  if (!SetTimer(window_, 1, interval_, nullptr)) throw EOutOfResources(L"Not enough timers available");
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent e) {
  OnTimer = std::move(e);
  UpdateTimer();
}

void TTimer::Timer() {
  if (enabled_ && OnTimer) OnTimer(this);
}

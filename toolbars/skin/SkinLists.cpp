#include "toolbars/skin/SkinLists.h"

#include <vssym32.h>

#include <algorithm>

#include "classlib/Thread.h"
#include "toolbars/BarImages.h"
#include "toolbars/skin/SkinUtils.h"
#include "toolbars/skin/SkinUxThemes.h"

namespace {
constexpr UINT_PTR kRepeatTimer = 1, kAutoScrollTimer = 2;

struct TDCCanvas {
  TCanvas C;
  explicit TDCCanvas(HDC DC) { C.SetHandle(DC); }
  ~TDCCanvas() { C.SetHandle(nullptr); }
};
}  // namespace

// ---- scroll bar -----------------------------------------------------------------------------
TSkinScrollBar::TSkinScrollBar() = default;

TSkinScrollBar::~TSkinScrollBar() {
  if (wnd_) DeallocateHWnd(wnd_);
}

int TSkinScrollBar::Length() const {
  return kind_ == sbVertical ? bounds_.bottom - bounds_.top : bounds_.right - bounds_.left;
}
int TSkinScrollBar::Thickness() const {
  return kind_ == sbVertical ? bounds_.right - bounds_.left : bounds_.bottom - bounds_.top;
}
int TSkinScrollBar::EffectiveWindow() const { return SkinScrollWindow(Length(), window_); }

void TSkinScrollBar::UpdateZones() { enabled_ = SkinScrollZones(Length(), Thickness(), position_, range_, window_, zones_); }

void TSkinScrollBar::SetBounds(const RECT& R) {
  bounds_ = R;
  UpdateZones();
}

void TSkinScrollBar::SetKind(TSBKind Value) {
  if (kind_ == Value) return;
  kind_ = Value;
  UpdateZones();
}

bool TSkinScrollBar::GetEnabled() { return EffectiveWindow() < range_; }

void TSkinScrollBar::SetPosition(int Value) {
  int w = EffectiveWindow();
  if (Value + w > range_) Value = range_ - w;
  if (Value < 0) Value = 0;
  if (Value == position_) return;
  position_ = Value;
  UpdateZones();
  if (userAction_) {
    Redraw();
    if (OnChange) OnChange(this);
  }
}

void TSkinScrollBar::UpdatePosition(int Value) {
  int hi = std::max(0, range_ - EffectiveWindow());
  Value = std::clamp(Value, 0, hi);
  userAction_ = true;
  try {
    SetPosition(Value);
  } catch (...) {
    userAction_ = false;
    throw;
  }
  userAction_ = false;
}

void TSkinScrollBar::SetRange(int Value) {
  if (Value < 0) Value = 0;
  // The list sets the range on every paint: redrawing an unchanged bar
  // would invalidate the list again and keep it painting for ever.
  if (Value != range_) {
    range_ = Value;
    UpdateZones();
    Redraw();
  }
  SetPosition(position_);
}

void TSkinScrollBar::SetWindow(int Value) {
  window_ = Value;
  UpdateZones();
  SetPosition(position_);
}

RECT TSkinScrollBar::ZoneRect(TSBZone Z) {
  const TSBSpan& s = zones_[Z];
  int T = Thickness();
  if (s.Empty()) return RECT{0, 0, 0, 0};
  return kind_ == sbVertical ? RECT{0, s.Start, T, s.End} : RECT{s.Start, 0, s.End, T};
}

int TSkinScrollBar::GetZone(int X, int Y) {
  POINT p{X, Y};
  static const TSBZone order[] = {sbzHandle, sbzPagePrev, sbzPageNext, sbzPrev, sbzNext, sbzEmpty};
  for (TSBZone z : order) {
    RECT r = ZoneRect(z);
    if (PtInRect(&r, p)) return z;
  }
  return -1;
}

void TSkinScrollBar::Redraw() {
  if (OnRedraw) OnRedraw(this);
}

void TSkinScrollBar::WndProc(TMessage& M) {
  if (M.Msg == WM_TIMER) {
    int interval = 0;
    UINT_PTR id = M.WParam;
    TimerElapsed(id, interval);
    if (interval < 1)
      StopTimer(id);
    else
      ::SetTimer(wnd_, id, static_cast<UINT>(interval), nullptr);
    M.Result = 0;
    return;
  }
  M.Result = DefWindowProcW(wnd_, M.Msg, M.WParam, M.LParam);
}

void TSkinScrollBar::StartTimer(UINT_PTR ID, int Interval) {
  if (!wnd_) wnd_ = AllocateHWnd(TWndMethodEvent(this, &TSkinScrollBar::WndProc));
  ::SetTimer(wnd_, ID, static_cast<UINT>(Interval), nullptr);
}

void TSkinScrollBar::StopTimer(UINT_PTR ID) {
  if (wnd_) ::KillTimer(wnd_, ID);
  if (ID == kAutoScrollTimer) autoScrolling_ = false;
}

void TSkinScrollBar::Act(int Zone) {
  int w = EffectiveWindow();
  switch (Zone) {
    case sbzPrev: UpdatePosition(position_ - Increment); break;
    case sbzPagePrev: UpdatePosition(position_ - w); break;
    case sbzPageNext: UpdatePosition(position_ + w); break;
    case sbzNext: UpdatePosition(position_ + Increment); break;
    default: break;
  }
}

void TSkinScrollBar::MouseDown(TMouseButton Button, int X, int Y) {
  if (Button != mbLeft) return;
  pressed_ = GetZone(X, Y);
  pressPoint_ = lastPoint_ = POINT{X, Y};
  pressPosition_ = position_;
  if (pressed_ == sbzPrev || pressed_ == sbzPagePrev || pressed_ == sbzPageNext || pressed_ == sbzNext) {
    Act(pressed_);
    StartTimer(kRepeatTimer, 500);
  }
  Redraw();
}

void TSkinScrollBar::MouseMove(int X, int Y) {
  lastPoint_ = POINT{X, Y};
  if (pressed_ != sbzHandle) return;
  int d = kind_ == sbVertical ? Y - pressPoint_.y : X - pressPoint_.x;
  UpdatePosition(SkinScrollDragPosition(Length(), Thickness(), pressPosition_, range_, window_, d));
}

void TSkinScrollBar::MouseUp(TMouseButton, int, int) {
  pressed_ = -1;
  StopTimer(kRepeatTimer);
  Redraw();
}

void TSkinScrollBar::TimerElapsed(UINT_PTR TimerID, int& Interval) {
  if (TimerID == kRepeatTimer) {
    if (pressed_ == sbzPrev || pressed_ == sbzNext) {
      Act(pressed_);
      Interval = 100;
    } else if (pressed_ == sbzPagePrev || pressed_ == sbzPageNext) {
      // Paging stops once the handle has reached the mouse.
      if (GetZone(lastPoint_.x, lastPoint_.y) == pressed_) Act(pressed_);
      Interval = 100;
    }
  } else if (TimerID == kAutoScrollTimer) {
    Interval = autoInterval_;
    UpdatePosition(position_ + autoDirection_);
    if (position_ <= 0 && autoDirection_ < 0) Interval = 0;
    if (position_ + EffectiveWindow() >= range_ && autoDirection_ > 0) Interval = 0;
    if (OnAutoScroll) OnAutoScroll(this, autoDirection_, Interval);
    autoInterval_ = Interval;
    autoScrolling_ = Interval >= 1;
  }
}

void TSkinScrollBar::StartAutoScroll(int Direction, int Interval) {
  if (Direction == 0) return;
  autoDirection_ = Direction;
  autoInterval_ = Interval;
  if (!autoScrolling_) {
    autoScrolling_ = true;
    StartTimer(kAutoScrollTimer, Interval);
  }
}

void TSkinScrollBar::StopAutoScroll() { StopTimer(kAutoScrollTimer); }

void TSkinScrollBar::PaintTo(TCanvas* Canvas) {
  UpdateZones();
  HDC dc = Canvas->GetHandle();
  POINT org;
  OffsetWindowOrgEx(dc, -bounds_.left, -bounds_.top, &org);
  bool vertical = kind_ == sbVertical, en = GetEnabled();
  RECT prev = ZoneRect(sbzPrev), next = ZoneRect(sbzNext), track = ZoneRect(sbzEmpty);
  RECT pp = ZoneRect(sbzPagePrev), pn = ZoneRect(sbzPageNext), handle = ZoneRect(sbzHandle);
  if (USE_THEMES && SCROLLBAR_THEME && skinux::DrawThemeBackground) {
    auto part = [&](int p, int s, const RECT& r) {
      if (!IsRectEmpty(&r)) skinux::DrawThemeBackground(SCROLLBAR_THEME, dc, p, s, &r, nullptr);
    };
    auto arrow = [&](int base, bool isPressed) { return en ? (isPressed ? base + 2 : base) : base + 3; };
    part(SBP_ARROWBTN, arrow(vertical ? 1 : 9, pressed_ == sbzPrev), prev);
    part(SBP_ARROWBTN, arrow(vertical ? 5 : 13, pressed_ == sbzNext), next);
    if (!IsRectEmpty(&track)) FillRectEx(Canvas, track, clScrollBar);
    auto st = [&](bool isPressed) { return en ? (isPressed ? 3 : 1) : 4; };
    if (en) {
      part(vertical ? 6 : 4, st(pressed_ == sbzPagePrev), pp);
      part(vertical ? 7 : 5, st(pressed_ == sbzPageNext), pn);
    }
    part(vertical ? 3 : 2, st(pressed_ == sbzHandle), handle);
  } else {
    auto button = [&](RECT r, UINT kind, bool isPressed) {
      if (IsRectEmpty(&r)) return;
      UINT f = kind | (en ? 0 : DFCS_INACTIVE) | (isPressed ? DFCS_PUSHED | DFCS_FLAT : 0);
      DrawFrameControl(dc, &r, DFC_SCROLL, f);
    };
    button(prev, vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT, pressed_ == sbzPrev);
    button(next, vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT, pressed_ == sbzNext);
    if (!IsRectEmpty(&track)) FillRectEx(Canvas, track, clScrollBar);
    if (en) {
      auto page = [&](const RECT& r, bool isPressed) {
        if (IsRectEmpty(&r)) return;
        if (isPressed)
          FillRectEx(Canvas, r, cl3DDkShadow);
        else
          DitherRect(Canvas, r, cl3DLight, clScrollBar);
      };
      page(pp, pressed_ == sbzPagePrev);
      page(pn, pressed_ == sbzPageNext);
    }
    if (!IsRectEmpty(&handle)) {
      RECT h = handle;
      FillRectEx(Canvas, h, clBtnFace);
      DrawEdge(dc, &h, EDGE_RAISED, BF_RECT);
    }
  }
  SetWindowOrgEx(dc, org.x, org.y, nullptr);
}

// ---- lists ------------------------------------------------------------------------------------
TSkinCustomList::TSkinCustomList(TComponent* AOwner) : TSkinCustomItem(AOwner) { SetMinWidth(32); }

TSkinCustomList::~TSkinCustomList() {
  if (viewers_)
    for (TSkinCustomListViewer* v : std::vector<TSkinCustomListViewer*>(*viewers_)) RemoveFromList(viewers_, v);
}

TBarItemViewerClass TSkinCustomList::GetItemViewerClass(TBarView*) { return &TSkinCustomListViewer::CreateViewer; }

void TSkinCustomList::SetItemIndex(int Value) {
  itemIndex_ = Value;
  if (viewers_)
    for (TSkinCustomListViewer* v : std::vector<TSkinCustomListViewer*>(*viewers_)) v->ListChangeHandler(Value);
  HandleChange();
}

void TSkinCustomList::MakeVisible(int AIndex) {
  if (viewers_)
    for (TSkinCustomListViewer* v : *viewers_) v->MakeItemVisible(AIndex);
}

void TSkinCustomList::HandleChange() {
  if (OnChange) OnChange(this);
}

int TSkinCustomList::GetImageIndex(int ItemIndex) {
  int idx = ItemIndex;
  if (OnAdjustImageIndex) OnAdjustImageIndex(this, ItemIndex, idx);
  return idx;
}

void TSkinCustomList::DoClearItem(TCanvas* C, RECT& R, int I, int H, bool& Def) {
  if (OnClearItem) OnClearItem(this, C, R, I, H, Def);
}
void TSkinCustomList::DoDrawItem(TCanvas* C, RECT& R, int I, int H, bool& Def) {
  if (OnDrawItem) OnDrawItem(this, C, R, I, H, Def);
}
void TSkinCustomList::DoMeasureHeight(TCanvas* C, int& H) {
  if (OnMeasureHeight) OnMeasureHeight(this, C, H);
}
void TSkinCustomList::DoMeasureWidth(TCanvas* C, int I, int& W) {
  if (OnMeasureWidth) OnMeasureWidth(this, C, I, W);
}

void TSkinCustomList::DrawItem(TCanvas* C, TSkinCustomListViewer* V, const RECT& ARect, int AIndex, int AHover) {
  RECT R = ARect;
  bool hot = AIndex == AHover;
  bool def = true;
  DoClearItem(C, R, AIndex, AHover, def);
  if (def) FillRectEx(C, R, hot ? clHighlight : clWindow);
  C->Font()->SetColor(hot ? clHighlightText : clWindowText);
  def = true;
  DoDrawItem(C, R, AIndex, AHover, def);
  if (!def) return;
  InflateRect(&R, -4, 1);
  TCustomImageList* IL = V ? V->GetImageList() : nullptr;
  String text = GetItemText(AIndex);
  if (ShowImages && IL) {
    int idx = GetImageIndex(AIndex);
    int ih = BarImageHeight(IL), iw = BarImageWidth(IL);
    int y = (R.top + R.bottom - ih) / 2;
    if (idx >= 0) {
      if (GetEnabled())
        IL->Draw(C, R.left, y, idx, true);
      else
        DrawSkinImage(C, RECT{R.left, y, R.left + iw, y + ih}, IL, idx, ISF_DISABLED);
    }
    R.left += iw + 4;
  }
  HDC dc = C->GetHandle();
  SelectObject(dc, C->Font()->GetHandle());
  SetTextColor(dc, ColorToRef(C->Font()->GetColor()));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &R, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

TSkinStringList::TSkinStringList(TComponent* AOwner) : TSkinCustomList(AOwner), strings_(new TStringList) {}
TSkinStringList::~TSkinStringList() { delete strings_; }

TBarItemViewerClass TSkinUndoList::GetItemViewerClass(TBarView*) { return &TSkinUndoListViewer::CreateViewer; }

void TSkinUndoList::DrawItem(TCanvas* C, TSkinCustomListViewer*, const RECT& ARect, int AIndex, int AHover) {
  bool hot = AIndex <= AHover;
  RECT R = ARect;
  FillRectEx(C, R, hot ? clHighlight : clWindow);
  InflateRect(&R, -4, 1);
  HDC dc = C->GetHandle();
  SelectObject(dc, C->Font()->GetHandle());
  SetTextColor(dc, ColorToRef(hot ? clHighlightText : clWindowText));
  SetBkMode(dc, TRANSPARENT);
  String text = GetItemText(AIndex);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &R, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void TSkinUndoList::HandleHover(int AIndex) { SetItemIndex(AIndex); }

// ---- list viewer --------------------------------------------------------------------------------
TSkinCustomListViewer::TSkinCustomListViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel)
    : TSkinItemViewer(AView, AItem, AGroupLevel) {
  TSkinCustomList* l = List();
  int count = l->GetCount();
  VisibleItems = std::max(1, std::min(l->MaxVisibleItems, count));
  int idx = l->GetItemIndex();
  if (idx >= count) idx = -1;
  HoverIndex = idx;
  if (idx >= 0) {
    if (idx >= TopIndex + VisibleItems) TopIndex = idx - VisibleItems + 1;
    if (idx < TopIndex) TopIndex = idx;
  }
  AddToList(l->viewers_, this);
}

TSkinCustomListViewer::~TSkinCustomListViewer() {
  RemoveFromList(List()->viewers_, this);
  delete scrollBar_;
}

TBarItemViewer* TSkinCustomListViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinCustomListViewer(AView, AItem, AGroupLevel);
}

int TSkinCustomListViewer::GetItemHeight(TCanvas* C) {
  int h = C->TextHeight(L"Q") + 2;
  TCustomImageList* IL = GetImageList();
  if (List()->ShowImages && IL) h = std::max(h, BarImageHeight(IL) + 2);
  List()->DoMeasureHeight(C, h);
  return h;
}

int TSkinCustomListViewer::GetItemWidth(TCanvas* C, int AIndex) {
  String text = List()->GetItemText(AIndex);
  int w = C->TextWidth(text);
  TCustomImageList* IL = GetImageList();
  if (List()->ShowImages && IL) {
    w += BarImageWidth(IL);
    if (!text.empty()) w += 4;
  }
  w += 8;
  List()->DoMeasureWidth(C, AIndex, w);
  return w;
}

void TSkinCustomListViewer::CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) {
  Canvas->Font()->Assign(*View->GetFont());
  TSkinCustomList* l = List();
  ItemCount = l->GetCount();
  ItemHeight = GetItemHeight(Canvas);
  VisibleItems = std::max(1, std::min(l->MaxVisibleItems, ItemCount));
  AHeight = VisibleItems * ItemHeight;
  int w = 0;
  for (int i = 0; i < ItemCount; ++i) w = std::max(w, GetItemWidth(Canvas, i));
  ScrollBarWidth = ItemCount > VisibleItems ? GetSystemMetrics(SM_CXVSCROLL) : 0;
  w += ScrollBarWidth;
  w = std::max(w, l->GetMinWidth());
  if (l->MaxWidth > l->GetMinWidth() && w > l->MaxWidth) w = l->MaxWidth;
  AWidth = w;
  TopIndex = std::clamp(TopIndex, 0, std::max(0, ItemCount - VisibleItems));
}

RECT TSkinCustomListViewer::GetItemRect(int AIndex) {
  int top = (AIndex - TopIndex) * ItemHeight;
  return RECT{clientRect_.left, clientRect_.top + top, clientRect_.right - ScrollBarWidth,
              clientRect_.top + top + ItemHeight};
}

int TSkinCustomListViewer::GetItemIndexAt(int X, int Y) {
  if (ItemHeight <= 0 || X < 0 || X >= (BoundsRect.right - BoundsRect.left) - ScrollBarWidth) return -1;
  if (Y < 0 || Y >= VisibleItems * ItemHeight) return -1;
  int i = TopIndex + Y / ItemHeight;
  return i < ItemCount ? i : -1;
}

void TSkinCustomListViewer::DrawItems(TCanvas* Canvas, const RECT& Clip) {
  Canvas->Font()->Assign(*View->GetFont());
  RECT rest = clientRect_;
  rest.right -= ScrollBarWidth;
  for (int i = TopIndex; i < std::min(ItemCount, TopIndex + VisibleItems); ++i) {
    RECT r = GetItemRect(i), x;
    if (IntersectRect(&x, &r, &Clip)) List()->DrawItem(Canvas, this, r, i, HoverIndex);
    rest.top = r.bottom;
  }
  if (rest.bottom > rest.top) FillRectEx(Canvas, rest, clWindow);
}

void TSkinCustomListViewer::Paint(TCanvas* Canvas, RECT CR, bool, bool, bool) {
  clientRect_ = CR;
  if (!scrollBar_) {
    scrollBar_ = new TSkinScrollBar();
    scrollBar_->SetKind(sbVertical);
    scrollBar_->OnChange = TNotifyEvent(this, &TSkinCustomListViewer::ScrollBarChange);
    scrollBar_->OnRedraw = TNotifyEvent(this, &TSkinCustomListViewer::ScrollBarRedraw);
    scrollBar_->OnAutoScroll = TSBAutoScrollEvent(this, &TSkinCustomListViewer::ScrollBarAutoScroll);
  }
  scrollBar_->SetBounds(RECT{CR.right - ScrollBarWidth, CR.top, CR.right, CR.bottom});
  scrollBar_->SetRange(ItemCount);
  scrollBar_->SetWindow(VisibleItems);
  scrollBar_->SetPosition(TopIndex);
  if (ScrollBarWidth > 0) scrollBar_->PaintTo(Canvas);
  DrawItems(Canvas, CR);
}

void TSkinCustomListViewer::RedrawRows(int From, int To) {
  if (!View->Window || !View->Window->HandleAllocated() || !Show || ItemHeight <= 0) return;
  if (From > To) std::swap(From, To);
  HWND h = View->Window->GetHandle();
  HDC dc = GetDC(h);
  int s = SaveDC(dc);
  OffsetViewportOrgEx(dc, BoundsRect.left, BoundsRect.top, nullptr);
  IntersectClipRect(dc, 0, 0, BoundsRect.right - BoundsRect.left - ScrollBarWidth,
                    BoundsRect.bottom - BoundsRect.top);
  {
    TDCCanvas cv(dc);
    cv.C.Font()->Assign(*View->GetFont());
    for (int i = std::max(From, TopIndex); i <= std::min(To, TopIndex + VisibleItems - 1); ++i)
      if (i >= 0 && i < ItemCount) List()->DrawItem(&cv.C, this, GetItemRect(i), i, HoverIndex);
  }
  RestoreDC(dc, s);
  ReleaseDC(h, dc);
}

void TSkinCustomListViewer::UpdateItems() {
  if (View) View->Invalidate(this);
}

void TSkinCustomListViewer::SetHover(int AIndex) {
  if (AIndex == HoverIndex) return;
  int old = HoverIndex;
  HoverIndex = AIndex;
  bool undo = dynamic_cast<TSkinUndoList*>(List()) != nullptr;
  if (undo)
    RedrawRows(std::min(old, AIndex) < 0 ? 0 : std::min(old, AIndex), std::max(old, AIndex));
  else {
    if (old >= 0) RedrawRows(old, old);
    if (AIndex >= 0) RedrawRows(AIndex, AIndex);
  }
}

void TSkinCustomListViewer::MakeItemVisible(int AIndex) {
  if (AIndex < 0) return;
  int top = TopIndex;
  if (AIndex < top) top = AIndex;
  if (AIndex >= top + VisibleItems) top = AIndex - VisibleItems + 1;
  if (top != TopIndex) Scroll(top);
}

void TSkinCustomListViewer::Scroll(int NewTop) {
  NewTop = std::clamp(NewTop, 0, std::max(0, ItemCount - VisibleItems));
  if (NewTop == TopIndex) return;
  TopIndex = NewTop;
  if (scrollBar_) scrollBar_->SetPosition(NewTop);
  UpdateItems();
}

void TSkinCustomListViewer::ListChangeHandler(int NewIndex) {
  if (changing_ || HoverIndex == NewIndex) return;
  changing_ = true;
  try {
    SetHover(NewIndex);
    List()->HandleHover(NewIndex);
    MakeItemVisible(NewIndex);
  } catch (...) {
    changing_ = false;
    throw;
  }
  changing_ = false;
}

void TSkinCustomListViewer::KeyDown(WORD& Key, TBarShift) {
  int n = ItemCount;
  int i = HoverIndex;
  switch (Key) {
    case VK_RETURN:
      if (HoverIndex >= 0) List()->SetItemIndex(HoverIndex);
      Key = 0;
      return;
    case VK_PRIOR: i -= VisibleItems; break;
    case VK_NEXT: i += VisibleItems; break;
    case VK_HOME: i = 0; break;
    case VK_END: i = n - 1; break;
    case VK_UP: i -= 1; break;
    case VK_DOWN: i += 1; break;
    default: return;
  }
  if (n > 0) {
    i = std::clamp(i, 0, n - 1);
    List()->SetItemIndex(i);
  }
  Key = 0;
}

void TSkinCustomListViewer::MouseDown(TBarShift Shift, int X, int Y, bool& MouseDownOnMenu) {
  int w = BoundsRect.right - BoundsRect.left;
  if (X < w - ScrollBarWidth) {
    itemDragging_ = true;
    int i = GetItemIndexAt(X, Y);
    if (i >= 0) SetHover(i);
    TSkinItemViewer::MouseDown(Shift, X, Y, MouseDownOnMenu);
  } else if (scrollBar_) {
    RECT b = scrollBar_->GetBounds();
    scrollBar_->MouseDown(mbLeft, X - b.left, Y - b.top);
    barDragging_ = true;
  }
  View->SetCapture();
}

void TSkinCustomListViewer::MouseMove(int X, int Y) {
  if (barDragging_ && scrollBar_) {
    RECT b = scrollBar_->GetBounds();
    scrollBar_->MouseMove(X - b.left, Y - b.top);
    return;
  }
  if (!itemDragging_) {
    if (!(GetKeyState(VK_LBUTTON) & 0x8000) || View->Capture) return;
    View->SetCapture();
    itemDragging_ = true;
  }
  int h = VisibleItems * ItemHeight;
  if (Y >= 0 && Y < h) {
    if (scrollBar_) scrollBar_->StopAutoScroll();
    int i = GetItemIndexAt(std::min<int>(X, std::max<int>(0, (BoundsRect.right - BoundsRect.left) - ScrollBarWidth - 1)), Y);
    if (i >= 0) SetHover(i);
    return;
  }
  int dist = Y < 0 ? -Y : Y - h;
  int step = dist < 30 ? 1 : dist <= 50 ? 2 : 4;
  int interval = dist < 10 ? 150 : 100;
  int dir = Y < 0 ? -step : step;
  if ((dir < 0 && TopIndex <= 0) || (dir > 0 && TopIndex + VisibleItems >= ItemCount)) {
    int i = dir < 0 ? TopIndex : std::min(ItemCount, TopIndex + VisibleItems) - 1;
    if (scrollBar_) scrollBar_->StopAutoScroll();
    AdjustAutoScrollHover(i, dir);
    SetHover(i);
    List()->HandleHover(i);
    return;
  }
  if (scrollBar_) scrollBar_->StartAutoScroll(dir, interval);
}

void TSkinCustomListViewer::MouseUp(int X, int Y, bool MouseWasDownOnMenu) {
  if (scrollBar_) scrollBar_->StopAutoScroll();
  if (barDragging_) {
    barDragging_ = false;
    if (scrollBar_) {
      RECT b = scrollBar_->GetBounds();
      scrollBar_->MouseUp(mbLeft, X - b.left, Y - b.top);
    }
    View->CancelCapture();
    return;
  }
  if (itemDragging_) {
    itemDragging_ = false;
    if (HoverIndex >= 0) List()->SetItemIndex(HoverIndex);
    TSkinItemViewer::MouseUp(X, Y, MouseWasDownOnMenu);
  }
}

void TSkinCustomListViewer::LosingCapture() {
  if (scrollBar_) scrollBar_->StopAutoScroll();
  itemDragging_ = barDragging_ = false;
  TSkinItemViewer::LosingCapture();
}

void TSkinCustomListViewer::MouseWheel(int WheelDelta, int, int) {
  wheelAccumulator_ += WheelDelta;
  while (wheelAccumulator_ >= 120) {
    wheelAccumulator_ -= 120;
    Scroll(TopIndex - 1);
  }
  while (wheelAccumulator_ <= -120) {
    wheelAccumulator_ += 120;
    Scroll(TopIndex + 1);
  }
}

void TSkinCustomListViewer::AdjustAutoScrollHover(int& AIndex, int Direction) {
  AIndex = Direction < 0 ? TopIndex : std::min(ItemCount, TopIndex + VisibleItems) - 1;
}

void TSkinCustomListViewer::HandleAutoScroll(int& Direction, int&) {
  int i = HoverIndex;
  AdjustAutoScrollHover(i, Direction);
  SetHover(i);
}

void TSkinCustomListViewer::ScrollBarChange(TObject*) {
  if (!scrollBar_) return;
  TopIndex = scrollBar_->GetPosition();
  UpdateItems();
}

void TSkinCustomListViewer::ScrollBarRedraw(TObject*) { UpdateItems(); }

void TSkinCustomListViewer::ScrollBarAutoScroll(TObject*, int& Direction, int& Interval) {
  HandleAutoScroll(Direction, Interval);
}

TBarItemViewer* TSkinUndoListViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinUndoListViewer(AView, AItem, AGroupLevel);
}

void TSkinUndoListViewer::AdjustAutoScrollHover(int& AIndex, int Direction) {
  AIndex = Direction < 0 ? TopIndex : std::min(ItemCount, TopIndex + VisibleItems) - 1;
}

void TSkinUndoListViewer::HandleAutoScroll(int& Direction, int& Interval) {
  int i = HoverIndex;
  AdjustAutoScrollHover(i, Direction);
  SetHover(i);
  List()->HandleHover(i);
  UpdateItems();
  (void)Interval;
}

#include "toolbars/skin/SkinWindows.h"

#include <algorithm>

#include "classlib/ComCtrls.h"
#include "classlib/Forms.h"
#include "toolbars/BarAnimation.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/skin/SkinEditItems.h"
#include "toolbars/skin/SkinLists.h"
#include "toolbars/skin/SkinUxThemes.h"

namespace {
TSkinTheme* Theme() { return CurrentSkinTheme(); }

// A canvas over a DC owned by someone else, released on scope exit.
struct TDCCanvas {
  TCanvas C;
  explicit TDCCanvas(HDC DC) { C.SetHandle(DC); }
  ~TDCCanvas() { C.SetHandle(nullptr); }
};

RECT WindowRect0(HWND H) {
  RECT r;
  GetWindowRect(H, &r);
  OffsetRect(&r, -r.left, -r.top);
  return r;
}

void BroadcastParentColor(TWinControl* W, TColor C) {
  for (int i = 0; i < W->ControlCount(); ++i)
    W->GetControl(i)->Perform(CM_PARENTCOLORCHANGED, 1, static_cast<LPARAM>(C));
}

// The dock's client rectangle in the coordinates of a window docked on it.
RECT DockRectIn(TBarDock* Dock, TWinControl* W) {
  RECT dcr;
  ::GetClientRect(Dock->GetHandle(), &dcr);
  POINT o{0, 0};
  MapWindowPoints(W->GetHandle(), Dock->GetHandle(), &o, 1);
  return RECT{-o.x, -o.y, -o.x + dcr.right, -o.y + dcr.bottom};
}

// Docked non-client painting shared by toolbars and tool windows.
void PaintDockedNC(TBarCustomDockableWindow* W, const TSkinToolbarInfo& Info, TColor EffColor, HDC DC, HRGN Clip) {
  TBarDock* dock = W->GetCurrentDock();
  if (!dock || !W->HandleAllocated()) return;
  HWND h = W->GetHandle();
  int saved = SaveDC(DC);
  if (Clip) SelectNCUpdateRgn(h, DC, Clip);
  RECT R = WindowRect0(h);
  RECT client = R;
  InflateRect(&client, -Info.BorderSize.x, -Info.BorderSize.y);
  int handle = GetSkinDragHandleSize(Info);
  if (!Info.IsVertical)
    client.left += handle;
  else
    client.top += handle;
  ExcludeClipRect(DC, client.left, client.top, client.right, client.bottom);
  TDCCanvas cv(DC);
  bool hollow = false;
  if (dock->UsingBackground() && dock->HandleAllocated()) {
    // The frame shows the dock's background, lined up with the dock.
    POINT o{0, 0};
    MapWindowPoints(h, dock->GetHandle(), &o, 1);
    POINT nco{0, 0};
    ::ClientToScreen(h, &nco);
    RECT wsr;
    GetWindowRect(h, &wsr);
    o.x -= nco.x - wsr.left;
    o.y -= nco.y - wsr.top;
    RECT dcr;
    ::GetClientRect(dock->GetHandle(), &dcr);
    dock->DrawBackground(DC, RECT{-o.x, -o.y, -o.x + dcr.right, -o.y + dcr.bottom});
    hollow = W->GetColor() == clNone && dock->GetBackgroundOnToolbars();
  } else if (!Theme()->GetBooleanMetrics(6)) {
    FillRectEx2(DC, R, GetEffectiveColor(dock));
  }
  if (hollow) {
    cv.C.Brush()->SetStyle(bsClear);
  } else {
    cv.C.Brush()->SetStyle(bsSolid);
    cv.C.Brush()->SetColor(EffColor);
  }
  Theme()->PaintToolbarNCArea(&cv.C, R, Info);
  RestoreDC(DC, saved);
}

void FillToolbarInfo(TBarCustomDockableWindow* W, int ViewType, int CloseState, TSkinToolbarInfo& I) {
  I = TSkinToolbarInfo{};
  I.WindowHandle = W->HandleAllocated() ? W->GetHandle() : nullptr;
  I.ViewType = ViewType;
  TBarDock* d = W->GetCurrentDock();
  I.IsVertical = d && d->IsVertical();
  I.AllowDrag = d && d->GetAllowDrag();
  I.BorderStyle = W->GetBorderStyle() == bsSingle ? 1 : 0;
  Theme()->GetViewBorder(ViewType, I.BorderSize);
  I.ClientWidth = W->GetClientWidth();
  I.ClientHeight = W->GetClientHeight();
  I.DragHandleStyle = W->GetDragHandleStyle();
  I.CloseButtonState = CloseState;
}

RECT DockedCloseRect(TBarCustomDockableWindow* W, const TSkinToolbarInfo& I) {
  RECT r;
  GetSkinDockedCloseButtonRect(I, r);
  return r;
  (void)W;
}

void EraseDocked(TBarCustomDockableWindow* W, HDC DC, TColor EffColor, int ViewType, bool ParentBackground) {
  RECT cr;
  ::GetClientRect(W->GetHandle(), &cr);
  bool transparent = false;
  TBarDock* dock = W->GetCurrentDock();
  RECT dockRect{0, 0, 0, 0};
  if (dock && dock->HandleAllocated()) dockRect = DockRectIn(dock, W);
  if (W->GetColor() == clNone) {
    if (dock && dock->HandleAllocated() && dock->UsingBackground() && dock->GetBackgroundOnToolbars()) {
      int s = SaveDC(DC);
      IntersectClipRect(DC, cr.left, cr.top, cr.right, cr.bottom);
      dock->DrawBackground(DC, dockRect);
      RestoreDC(DC, s);
      transparent = true;
    } else if (ParentBackground && !W->GetFloating() && !dock) {
      DrawParentBackground(W, DC, cr);
      transparent = true;
    }
  }
  TDCCanvas cv(DC);
  Theme()->PaintBackgnd(&cv.C, dockRect, cr, cr, EffColor, transparent, ViewType);
}

void ThemeChangeEnd(TBarCustomDockableWindow* W) {
  if (!W->HandleAllocated() || W->GetComponentState().Contains(csDestroying)) return;
  HWND h = W->GetHandle();
  if (W->GetFloating() && W->GetFloatingParent() && W->GetFloatingParent()->HandleAllocated()) {
    W->GetFloatingParent()->FitToWindow();
    SetWindowPos(W->GetFloatingParent()->GetHandle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  W->Invalidate();
}
}  // namespace

// ---- parent background -----------------------------------------------------------------
void DrawParentBackground(TControl* Control, HDC DC, const RECT& R) {
  TWinControl* parent = Control->GetParent();
  if (!parent) {
    FillRectEx2(DC, R, clBtnFace);
    return;
  }
  if (auto* dock = dynamic_cast<TBarDock*>(parent)) {
    int s = SaveDC(DC);
    POINT org;
    OffsetWindowOrgEx(DC, Control->GetLeft(), Control->GetTop(), &org);
    RECT dcr{0, 0, dock->GetClientWidth(), dock->GetClientHeight()};
    dock->DrawBackground(DC, dcr);
    RestoreDC(DC, s);
    return;
  }
  if (USE_THEMES && !Control->GetComponentState().Contains(csDesigning) && dynamic_cast<TTabSheet*>(parent) &&
      parent->HandleAllocated() && skinux::OpenThemeData) {
    HTHEME t = skinux::OpenThemeData(parent->GetHandle(), L"TAB");
    if (t) {
      RECT pr{0, 0, parent->GetClientWidth(), parent->GetClientHeight()};
      OffsetRect(&pr, -Control->GetLeft(), -Control->GetTop());
      skinux::DrawThemeBackground(t, DC, 10, 0, &pr, &R);
      skinux::CloseThemeData(t);
      return;
    }
  }
  FillRectEx2(DC, R, GetEffectiveColor(parent));
}

// ---- pop-up window --------------------------------------------------------------------------
TSkinPopupWindow::TSkinPopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem,
                                   bool ACustomizing)
    : TBarPopupWindow(AOwner, AParentView, AItem, ACustomizing) {
  InitSkin();
}

TBarPopupViewClass TSkinPopupWindow::GetViewClass() {
  return &BarClassOf<TBarView, TSkinPopupView, TComponent*, TBarView*, TBarCustomItem*, TWinControl*, bool, bool,
                     bool>;
}

void TSkinPopupWindow::WMVmoxPopupShowing(TMessage& Message) {
  TBarPopupWindow::WndProc(Message);
  if ((Message.WParam == 2 || Message.WParam == 3) && !GetComponentState().Contains(csDestroying) &&
      GetShowShadow()) {
    int t = Theme()->GetPopupShadowType();
    if (t == 2 || t == 3) CreateShadow();
  }
}

TSkinPopupWindow::~TSkinPopupWindow() { DestroyShadow(); }

int TSkinPopupWindow::GetViewTypeOf() {
  if (dynamic_cast<TSkinChevronPopupWindow*>(this)) return VT_CHEVRONPOPUP;
  TBarCustomItem* parent = View ? View->GetParentItem() : nullptr;
  // A pop-up that holds nothing but a themed list.
  if (parent && parent->Count() == 1 && dynamic_cast<TSkinCustomList*>(parent->GetItem(0))) return VT_LISTBOX;
  // An edit item's pop-up, and that of a themed item asking for a grid, is
  // a grid of buttons.
  if (dynamic_cast<TSkinEditItem*>(parent)) return VT_GRIDPOPUP;
  auto* si = dynamic_cast<TSkinCustomItem*>(parent);
  if (si && si->GridPopup) return VT_GRIDPOPUP;
  return VT_POPUPMENU;
}

bool TSkinPopupWindow::GetShowShadow() { return (GetViewTypeOf() & VT_LISTBOX) != VT_LISTBOX; }

SIZE TSkinPopupWindow::GetNCSize() {
  POINT b{0, 0};
  Theme()->GetViewBorder(GetViewTypeOf(), b);
  return SIZE{b.x, b.y};
}

void TSkinPopupWindow::CreateParams(TCreateParams& Params) {
  TBarPopupWindow::CreateParams(Params);
  Params.WindowClass.style &= ~(CS_DROPSHADOW | CS_DBLCLKS);
  const String suffix = L".Shadow";
  if (Params.WinClassName.size() > suffix.size() &&
      Params.WinClassName.compare(Params.WinClassName.size() - suffix.size(), suffix.size(), suffix) == 0)
    Params.WinClassName.resize(Params.WinClassName.size() - suffix.size());
  if (GetShowShadow() && Theme()->GetPopupShadowType() == 1 && IsWindowsXP()) {
    Params.WindowClass.style |= CS_DROPSHADOW;
    Params.WinClassName += L"S";
  }
}

void TSkinPopupWindow::CreateShadow() {
  int type = Theme()->GetPopupShadowType();
  if (type != 2 && type != 3) return;
  if (type == 3 && !SkinIsNT5OrLater()) return;
  DestroyShadow();
  RECT first{0, 0, 0, 0};
  bool chevron = dynamic_cast<TSkinChevronPopupWindow*>(this) != nullptr;
  TBarView* pv = View ? View->ParentView : nullptr;
  TBarItemViewer* opener = pv ? pv->OpenViewer : nullptr;
  if (type == 2 && opener && (dynamic_cast<TSkinItemViewer*>(opener) || chevron)) {
    int pvt = GetViewType(pv);
    if (chevron || (pvt & VT_POPUPMENU) != VT_POPUPMENU) {
      first = opener->BoundsRect;
      if (pv->Window && pv->Window->HandleAllocated())
        MapWindowPoints(pv->Window->GetHandle(), nullptr, reinterpret_cast<POINT*>(&first), 2);
    }
  }
  RECT second;
  GetWindowRect(GetHandle(), &second);
  shadow_ = std::make_unique<TShadows>(first, second, 4, 61, SkinLoColor);
  shadow_->Show(GetHandle());
}

void TSkinPopupWindow::DestroyShadow() { shadow_.reset(); }

void TSkinPopupWindow::PaintNCArea(HDC DC) {
  if (!DC) throw ESkinAssertion(L"TSkinPopupWindow.WMNCPaint");
  HWND h = GetHandle();
  RECT wr;
  GetWindowRect(h, &wr);
  TSkinPopupInfo info;
  info.WindowHandle = h;
  info.ViewType = GetViewTypeOf();
  Theme()->GetViewBorder(info.ViewType, info.BorderSize);
  TBarView* pv = View ? View->ParentView : nullptr;
  TBarItemViewer* opener = pv ? pv->OpenViewer : nullptr;
  bool chevron = dynamic_cast<TSkinChevronPopupWindow*>(this) != nullptr;
  if (opener && ((dynamic_cast<TSkinItemViewer*>(opener) && opener->IsToolbarStyle()) || chevron) && pv->Window &&
      pv->Window->HandleAllocated()) {
    RECT r = opener->BoundsRect;
    MapWindowPoints(pv->Window->GetHandle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    OffsetRect(&r, -wr.left, -wr.top);
    info.ParentRect = r;
  }
  RECT R{0, 0, wr.right - wr.left, wr.bottom - wr.top};
  int saved = SaveDC(DC);
  RECT client = R;
  InflateRect(&client, -info.BorderSize.x, -info.BorderSize.y);
  ExcludeClipRect(DC, client.left, client.top, client.right, client.bottom);
  TDCCanvas cv(DC);
  Theme()->PaintPopupNCArea(&cv.C, R, info);
  RestoreDC(DC, saved);
}

void TSkinPopupWindow::WndProc(TMessage& m) {
  switch (m.Msg) {
    case BarMGetViewType:
      m.Result = GetViewTypeOf();
      return;
    case BarMGetEffectiveColor:
      m.WParam = static_cast<WPARAM>(Theme()->GetViewColor(GetViewTypeOf()));
      m.Result = 1;
      return;
    case WM_ERASEBKGND: {
      if (HandleAllocated()) BarEndAnimation(GetHandle());
      int vt = GetViewTypeOf();
      TColor c = Theme()->GetViewColor(vt);
      if (View) View->BackgroundColor = c;
      RECT cr;
      ::GetClientRect(GetHandle(), &cr);
      TDCCanvas cv(reinterpret_cast<HDC>(m.WParam));
      Theme()->PaintBackgnd(&cv.C, cr, cr, cr, c, false, vt);
      m.Result = 1;
      return;
    }
    case BarMPopupShowing:
      WMVmoxPopupShowing(m);
      return;
    case WM_WINDOWPOSCHANGED: {
      TBarPopupWindow::WndProc(m);
      auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam);
      if (shadow_ && wp) {
        if (wp->flags & SWP_HIDEWINDOW) {
          DestroyShadow();
        } else if (!(wp->flags & SWP_SHOWWINDOW) && (~wp->flags & (SWP_NOMOVE | SWP_NOSIZE))) {
          DestroyShadow();
          CreateShadow();
        }
      }
      return;
    }
    default:
      break;
  }
  TBarPopupWindow::WndProc(m);
}

TBarPopupWindowClass TSkinRootItem::GetPopupWindowClass() {
  return &TBarPopupWindow::CreatePopupWindow<TSkinPopupWindow>;
}

TSkinPopupMenu::TSkinPopupMenu(TComponent* AOwner) : TBarPopupMenu(AOwner) { InitSkin(); }

TBarRootItemClass TSkinPopupMenu::GetRootItemClass() { return &BarClassOf<TBarRootItem, TSkinRootItem, TComponent*>; }

void TSkinPopupMenu::SkinMessage(TMessage& Message) {
  if (Message.Msg == BarMGetViewType) Message.Result = VT_POPUPMENU;
}

TBarItemViewerClass TSkinChevronItem::GetItemViewerClass(TBarView*) { return &TSkinChevronItemViewer::CreateViewer; }

TBarPopupWindowClass TSkinChevronItem::GetPopupWindowClass() {
  return &TBarPopupWindow::CreatePopupWindow<TSkinChevronPopupWindow>;
}

void TSkinChevronItem::GetPopupPosition(TBarView* ParentView, TBarPopupWindow* PopupWindow,
                                        TBarPopupPositionRec& Rec) {
  SkinAdjustPopupPosition(this, ParentView, PopupWindow, Rec, false);
}

void TSkinToolbarView::GetMargins(TBarViewOrientation AOrientation, TBarMargins& Margins) {
  int vt = GetViewType(this);
  if (vt & (VT_TOOLBAR | VT_PANEL)) {
    if (AOrientation == tbvoFloating)
      vt |= VT_FLOATING;
    else
      vt &= ~VT_FLOATING;
  }
  TSkinMargins m;
  Theme()->GetViewMargins(vt, m);
  Margins = TBarMargins{m.LeftWidth, m.TopHeight, m.RightWidth, m.BottomHeight};
}

// ---- floating window parent ---------------------------------------------------------------------
void TSkinFloatingWindowParent::DrawNCArea(HDC DC, HRGN Clip, TBarToolWindowNCRedrawWhat RedrawWhat) {
  TBarCustomDockableWindow* w = GetDockableWindow();
  if (!w || !HandleAllocated()) return;
  HWND h = GetHandle();
  int saved = SaveDC(DC);
  if (Clip) SelectNCUpdateRgn(h, DC, Clip);
  RECT R = WindowRect0(h);
  IntersectClipRect(DC, R.left, R.top, R.right, R.bottom);
  POINT tl{0, 0}, br{0, 0};
  w->GetFloatingNCArea(tl, br);
  ExcludeClipRect(DC, tl.x, tl.y, R.right - br.x, R.bottom - br.y);
  TSkinWindowInfo info;
  info.ParentHandle = h;
  info.WindowHandle = w->HandleAllocated() ? w->GetHandle() : nullptr;
  info.ViewType = GetWinViewType(w);
  info.ClientWidth = R.right - tl.x - br.x;
  info.ClientHeight = R.bottom - tl.y - br.y;
  info.ShowCaption = w->ShowCaption;
  info.FloatingBorderSize = w->GetFloatingBorderSize();
  if (w->CloseButton && w->ShowCaption)
    info.CloseButtonState = 1 | (GetCloseButtonPushed() ? 4 : closeHot_ ? 2 : 0);
  if (RedrawWhat.Contains(twrdBorder)) info.RedrawPart |= 1;
  if (RedrawWhat.Contains(twrdCaption)) info.RedrawPart |= 2;
  if (RedrawWhat.Contains(twrdCloseButton)) info.RedrawPart |= 4;
  String caption = w->GetText();
  info.Caption = caption.c_str();
  info.Active = !w->GetShownInactive();
  TDCCanvas cv(DC);
  cv.C.Brush()->SetColor(GetEffectiveColor(w));
  Theme()->PaintFloatingBorder(&cv.C, R, info);
  RestoreDC(DC, saved);
}

void TSkinFloatingWindowParent::SetCloseHot(bool Hot) {
  if (closeHot_ == Hot) return;
  closeHot_ = Hot;
  if (HandleAllocated() && IsWindowVisible(GetHandle())) RedrawNCArea(TBarToolWindowNCRedrawWhat{twrdCloseButton});
}

void TSkinFloatingWindowParent::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND:
      m.Result = 1;
      return;
    case WM_NCMOUSEMOVE:
      TBarFloatingWindowParent::WndProc(m);
      CallTrackMouseEvent(GetHandle(), TME_LEAVE | TME_NONCLIENT);
      SetCloseHot(m.WParam == static_cast<WPARAM>(HTBARCLOSE));
      return;
    case WM_NCMOUSELEAVE:
      TBarFloatingWindowParent::WndProc(m);
      if (GetCapture() != GetHandle()) SetCloseHot(false);
      return;
    case WM_MOUSELEAVE:
      TBarFloatingWindowParent::WndProc(m);
      SetCloseHot(false);
      return;
    case WM_WINDOWPOSCHANGING: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam);
      if (SnapDistance > 0 && wp && !(wp->flags & SWP_NOMOVE) && HandleAllocated()) {
        RECT cur;
        GetWindowRect(GetHandle(), &cur);
        bool sameSize = (wp->flags & SWP_NOSIZE) ||
                        (wp->cx == cur.right - cur.left && wp->cy == cur.bottom - cur.top);
        if (sameSize) {
          int w = cur.right - cur.left, h = cur.bottom - cur.top;
          RECT work = GetRectOfMonitorContainingWindow(GetHandle(), true);
          if (std::abs(wp->x + w - work.right) <= SnapDistance) wp->x = work.right - w;
          if (std::abs(wp->y + h - work.bottom) <= SnapDistance) wp->y = work.bottom - h;
          if (std::abs(wp->x - work.left) <= SnapDistance) wp->x = work.left;
          if (std::abs(wp->y - work.top) <= SnapDistance) wp->y = work.top;
        }
      }
      break;
    }
    default:
      break;
  }
  TBarFloatingWindowParent::WndProc(m);
}

// ---- what the themed toolbar and tool window share ------------------------------------------------
template <class Base>
void TSkinDockableWindow<Base>::InitSkinWindow() {
  AddThemeNotification(this);
  effectiveColor_ = this->GetColor();
  this->SetColor(clNone);
  this->ControlStyle -= csOpaque;
  this->DblClickUndock = false;
  UpdateEffectiveColor();
}

template <class Base>
void TSkinDockableWindow<Base>::DoneSkinWindow() {
  RemoveThemeNotification(this);
}

template <class Base>
void TSkinDockableWindow<Base>::SetSnapDistance(int Value) {
  Value = std::max(Value, 0);
  if (snapDistance_ == Value) return;
  snapDistance_ = Value;
  if (auto* fp = dynamic_cast<TSkinFloatingWindowParent*>(this->GetFloatingParent())) fp->SnapDistance = Value;
}

template <class Base>
void TSkinDockableWindow<Base>::DrawNCArea(HDC DC, HRGN Clip) {
  if (!this->GetDocked()) return;
  TSkinToolbarInfo info;
  GetToolbarInfo(info);
  UpdateEffectiveColor();
  PaintDockedNC(this, info, effectiveColor_, DC, Clip);
}

template <class Base>
POINT TSkinDockableWindow<Base>::GetFloatingBorderSize() {
  POINT b{0, 0};
  Theme()->GetViewBorder(GetViewTypeOf() | VT_FLOATING | (this->Resizable ? VT_RESIZABLE : 0), b);
  return b;
}

template <class Base>
RECT TSkinDockableWindow<Base>::GetDockedCloseButtonRect(bool) {
  TSkinToolbarInfo info;
  GetToolbarInfo(info);
  info.CloseButtonState |= 1;
  return DockedCloseRect(this, info);
}

template <class Base>
TBarFloatingWindowParentClass TSkinDockableWindow<Base>::GetFloatingWindowParentClass() {
  return &BarClassOf<TBarFloatingWindowParent, TSkinFloatingWindowParent, TComponent*>;
}

template <class Base>
void TSkinDockableWindow<Base>::SetParent(TWinControl* AParent) {
  Base::SetParent(AParent);
  // A new floating form snaps as this window says.
  if (auto* fp = dynamic_cast<TSkinFloatingWindowParent*>(this->GetFloatingParent())) fp->SnapDistance = snapDistance_;
}

template <class Base>
bool TSkinDockableWindow<Base>::HandleSkinMessage(TMessage& m, bool ParentBackground) {
  switch (m.Msg) {
    case BarMGetViewType:
      m.Result = GetViewTypeOf();
      return true;
    case BarMGetEffectiveColor:
      UpdateEffectiveColor();
      m.WParam = static_cast<WPARAM>(effectiveColor_);
      m.Result = 1;
      return true;
    case WM_ERASEBKGND:
      if (!this->HandleAllocated()) return false;
      UpdateEffectiveColor();
      EraseDocked(this, reinterpret_cast<HDC>(m.WParam), effectiveColor_, GetViewTypeOf(), ParentBackground);
      m.Result = 1;
      return true;
    case CM_COLORCHANGED:
      Base::WndProc(m);
      UpdateEffectiveColor();
      if (this->GetDocked() && this->HandleAllocated())
        RedrawWindow(this->GetHandle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      BroadcastParentColor(this, effectiveColor_);
      this->Invalidate();
      return true;
    default:
      return false;
  }
}

template class TSkinDockableWindow<TBarCustomToolbar>;
template class TSkinDockableWindow<TBarToolWindow>;

// ---- toolbar ----------------------------------------------------------------------------------------
TSkinToolbar::TSkinToolbar(TComponent* AOwner)
    : TSkinDockableWindow<TBarCustomToolbar>((InitSkin(), AOwner)) {
  InitSkinWindow();
}

TSkinToolbar::~TSkinToolbar() { DoneSkinWindow(); }

TBarRootItemClass TSkinToolbar::GetItemClass() { return &BarClassOf<TBarRootItem, TSkinRootItem, TComponent*>; }

TBarChevronItemClass TSkinToolbar::GetChevronItemClass() {
  return &BarClassOf<TBarChevronItem, TSkinChevronItem, TBarCustomToolbar*>;
}

TBarToolbarViewClass TSkinToolbar::GetViewClass() {
  return &BarClassOf<TBarToolbarView, TSkinToolbarView, TBarCustomToolbar*, TBarCustomItem*, bool>;
}

int TSkinToolbar::GetViewTypeOf() {
  int vt = GetMenuBar() ? VT_MENUBAR : VT_TOOLBARBAR;
  // Resizing only matters to a floating frame.
  if (GetFloating()) vt |= VT_FLOATING | (Resizable ? VT_RESIZABLE : 0);
  if (itemTransparency_ == itDisable || (itemTransparency_ == itAuto && IsEmbedded())) vt |= VT_ITEMTRANSPARENCY;
  return vt;
}

void TSkinToolbar::UpdateEffectiveColor() {
  if (GetColor() != clNone)
    effectiveColor_ = GetColor();
  else if (IsEmbedded() && GetParent())
    effectiveColor_ = GetEffectiveColor(GetParent());
  else
    effectiveColor_ = Theme()->GetViewColor(GetViewTypeOf());
}

void TSkinToolbar::SetItemTransparency(TSkinItemTransparency Value) {
  if (itemTransparency_ == Value) return;
  itemTransparency_ = Value;
  Invalidate();
}

void TSkinToolbar::TellChildren() { BroadcastParentColor(this, effectiveColor_); }

void TSkinToolbar::GetToolbarInfo(TSkinToolbarInfo& I) {
  int close = 0;
  if (GetCloseButtonWhenDocked()) close = 1 | (closePushed_ ? 4 : closeHot_ ? 2 : 0);
  FillToolbarInfo(this, GetViewTypeOf(), close, I);
}

void TSkinToolbar::RedrawBackgroundOnly(bool RedrawFrame) {
  if (!HandleAllocated()) return;
  HWND h = GetHandle();
  std::vector<RECT> keep;
  TBarView* v = View();
  for (int i = 0; i < v->ViewerCount(); ++i) {
    TBarItemViewer* iv = v->Viewers(i);
    if (!iv->Show || IsRectEmpty(&iv->BoundsRect) || dynamic_cast<TBarControlItem*>(iv->Item)) continue;
    keep.push_back(iv->BoundsRect);
  }
  if (RedrawFrame) RedrawWindow(h, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
  UpdateWindow(h);
  InvalidateRect(h, nullptr, TRUE);
  for (const RECT& r : keep) ValidateRect(h, &r);
}

void TSkinToolbar::WndProc(TMessage& m) {
  if (HandleSkinMessage(m, true)) return;
  switch (m.Msg) {
    case BarMThemeChange:
      if (m.WParam == 1) {
        BeginUpdate();
      } else if (m.WParam == 3) {
        EndUpdate();
        UpdateEffectiveColor();
        ThemeChangeEnd(this);
        Arrange();
        TellChildren();
      } else if ((m.WParam == 4 || m.WParam == 5) && GetMenuBar()) {
        Invalidate();
      }
      return;
    case CM_PARENTCOLORCHANGED:
      if (IsEmbedded() && GetColor() == clNone) {
        UpdateEffectiveColor();
        if (m.WParam == 0) TellChildren();
        Invalidate();
      }
      m.Result = 0;
      return;
    case CM_CONTROLLISTCHANGE: {
      TBarCustomToolbar::WndProc(m);
      // Its own controls only: a control put deeper in has another parent.
      auto* c = reinterpret_cast<TControl*>(m.WParam);
      if (m.LParam && GetColor() == clNone && c->GetParent() == this)
        c->Perform(CM_PARENTCOLORCHANGED, 1, effectiveColor_);
      return;
    }
    case WM_SIZE: {
      TBarCustomToolbar::WndProc(m);
      TBarDock* d = GetCurrentDock();
      auto* sd = dynamic_cast<TSkinDock*>(d);
      if (d && d->UsingBackground() && d->GetBackgroundOnToolbars() && (!sd || sd->Resizing()))
        RedrawBackgroundOnly(false);
      return;
    }
    default:
      break;
  }
  TBarCustomToolbar::WndProc(m);
}

// ---- tool window --------------------------------------------------------------------------------------
TSkinToolWindow::TSkinToolWindow(TComponent* AOwner) : TSkinDockableWindow<TBarToolWindow>((InitSkin(), AOwner)) {
  InitSkinWindow();
}

TSkinToolWindow::~TSkinToolWindow() { DoneSkinWindow(); }

int TSkinToolWindow::GetViewTypeOf() {
  int vt = VT_TOOLWINDOW;
  if (GetFloating()) vt |= VT_FLOATING | (Resizable ? VT_RESIZABLE : 0);
  return vt;
}

void TSkinToolWindow::UpdateEffectiveColor() {
  effectiveColor_ = GetColor() != clNone ? GetColor() : Theme()->GetViewColor(GetViewTypeOf());
}

void TSkinToolWindow::GetToolbarInfo(TSkinToolbarInfo& I) {
  int close = 0;
  if (GetCloseButtonWhenDocked()) close = 1 | (closePushed_ ? 4 : 0) | (closeHot_ ? 2 : 0);
  FillToolbarInfo(this, GetViewTypeOf(), close, I);
}

void TSkinToolWindow::WndProc(TMessage& m) {
  if (HandleSkinMessage(m, false)) return;
  switch (m.Msg) {
    case BarMThemeChange:
      if (m.WParam == 1) {
        BeginUpdate();
      } else if (m.WParam == 3) {
        EndUpdate();
        UpdateEffectiveColor();
        if (HandleAllocated() && !GetComponentState().Contains(csDestroying)) {
          // The client area keeps its size; the frame around it follows the theme.
          const int cw = GetClientAreaWidth(), ch = GetClientAreaHeight();
          ThemeChangeEnd(this);
          SetClientAreaSize(cw, ch);
        }
        BroadcastParentColor(this, effectiveColor_);
      }
      return;
    case CM_CONTROLLISTCHANGE: {
      TBarToolWindow::WndProc(m);
      auto* c = reinterpret_cast<TControl*>(m.WParam);
      if (m.LParam && GetColor() == clNone && c->GetParent() == this)
        c->Perform(CM_PARENTCOLORCHANGED, 1, effectiveColor_);
      return;
    }
    default:
      break;
  }
  TBarToolWindow::WndProc(m);
}

// ---- dock ----------------------------------------------------------------------------------------------
TSkinDock::TSkinDock(TComponent* AOwner) : TBarDock((InitSkin(), AOwner)) {
  SetColor(clNone);
  AddThemeNotification(this);
}

TSkinDock::~TSkinDock() { RemoveThemeNotification(this); }

bool TSkinDock::ThemedBackground() {
  if (GetBackground() || GetColor() != clNone) return false;
  return Theme()->GetBooleanMetrics(5);
}

bool TSkinDock::UsingBackground() {
  if (useParentBackground_) return true;
  if (ThemedBackground() && !moving_) return true;
  return TBarDock::UsingBackground();
}

void TSkinDock::DrawBackground(HDC DC, const RECT& DrawRect) {
  if (useParentBackground_) {
    RECT cr{0, 0, GetClientWidth(), GetClientHeight()};
    DrawParentBackground(this, DC, cr);
  } else if (ThemedBackground()) {
    TDCCanvas cv(DC);
    static const int pos[4] = {1, 2, 3, 4};
    Theme()->PaintDock(&cv.C, DrawRect, DrawRect, pos[GetPosition()]);
  } else {
    TBarDock::DrawBackground(DC, DrawRect);
  }
}

void TSkinDock::SetUseParentBackground(bool Value) {
  if (useParentBackground_ == Value) return;
  useParentBackground_ = Value;
  if (HandleAllocated()) InvalidateBackgrounds();
}

TColor TSkinDock::GetEffectiveColorOf() {
  if (GetColor() != clNone) return GetColor();
  return GetParent() ? GetEffectiveColor(GetParent()) : clBtnFace;
}

void TSkinDock::WndProc(TMessage& m) {
  switch (m.Msg) {
    case BarMGetEffectiveColor:
      m.WParam = static_cast<WPARAM>(GetEffectiveColorOf());
      m.Result = 1;
      return;
    case BarMThemeChange:
      if (m.WParam == 3) Invalidate();
      return;
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      RECT cr;
      ::GetClientRect(GetHandle(), &cr);
      if (UsingBackground())
        DrawBackground(dc, cr);
      else
        FillRectEx2(dc, cr, GetEffectiveColorOf());
      m.Result = 1;
      return;
    }
    case CM_COLORCHANGED:
      TBarDock::WndProc(m);
      for (int i = 0; i < ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(GetControl(i)))
          if (w->HandleAllocated())
            RedrawWindow(w->GetHandle(), nullptr, nullptr,
                         RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      return;
    case WM_MOVE:
      moving_ = true;
      try {
        TBarDock::WndProc(m);
      } catch (...) {
        moving_ = false;
        throw;
      }
      moving_ = false;
      return;
    case WM_SIZE: {
      resizing_ = true;
      try {
        TBarDock::WndProc(m);
      } catch (...) {
        resizing_ = false;
        throw;
      }
      resizing_ = false;
      if (UsingBackground())
        for (int i = 0; i < ToolbarCount(); ++i)
          if (auto* t = dynamic_cast<TSkinToolbar*>(Toolbars(i))) t->RedrawBackgroundOnly(true);
      return;
    }
    default:
      break;
  }
  TBarDock::WndProc(m);
}

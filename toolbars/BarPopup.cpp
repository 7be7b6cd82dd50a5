#include "toolbars/BarPopup.h"

#include "toolbars/BarAcc.h"
#include "toolbars/BarFiler.h"

#include <mmsystem.h>

#include <memory>

#include "classlib/Filer.h"
#include "classlib/Forms.h"
#include "toolbars/BarUtilsWin.h"

namespace {
bool g_firstPopupSoundPlayed = false;

void PopupNCPaint(HWND Wnd, HDC DC, LPARAM AppData) {
  reinterpret_cast<TBarPopupWindow*>(AppData)->PaintNCArea(DC);
  (void)Wnd;
}

int CoveredViewers(TBarView* ParentView, const RECT& Screen) {
  if (!ParentView || !ParentView->Window || !ParentView->Window->HandleAllocated()) return 0;
  RECT r = Screen;
  MapWindowPoints(nullptr, ParentView->Window->GetHandle(), reinterpret_cast<POINT*>(&r), 2);
  int n = 0;
  for (int i = 0; i < ParentView->ViewerCount(); ++i) {
    TBarItemViewer* v = ParentView->Viewers(i);
    if (!v->Show) continue;
    const RECT& b = v->BoundsRect;
    if (b.left >= r.left && b.top >= r.top && b.right <= r.right && b.bottom <= r.bottom) ++n;
  }
  return n;
}
}  // namespace

// ---- pop-up view ------------------------------------------------------------
void TBarPopupView::AutoSize(int AWidth, int AHeight) {
  auto* w = dynamic_cast<TBarPopupWindow*>(Window);
  if (!w) return;
  SIZE nc = w->GetNCSize();
  w->SetBounds(w->GetLeft(), w->GetTop(), AWidth + 2 * nc.cx, AHeight + 2 * nc.cy);
}

TFont* TBarPopupView::GetFont() { return Window ? Window->Font() : TBarView::GetFont(); }

// ---- pop-up window -------------------------------------------------------------
TBarPopupWindow::TBarPopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem*, bool)
    : TCustomControl(AOwner) {
  SetVisible(false);
  ControlStyle -= csCaptureMouse;
  SetShowHint(true);
  SetColor(clMenu);
  Font()->Assign(AParentView ? *AParentView->GetFont() : *BarToolbarFont());
  HWND owner = Application && Application->Handle() ? Application->Handle() : GetDesktopWindow();
  SetParentWindow(owner);
}

TBarPopupViewClass TBarPopupWindow::GetViewClass() {
  return &BarClassOf<TBarView, TBarPopupView, TComponent*, TBarView*, TBarCustomItem*, TWinControl*, bool, bool,
                     bool>;
}

void TBarPopupWindow::CreateView(TBarView* AParentView, TBarCustomItem* AItem, bool ACustomizing) {
  View = GetViewClass()(this, AParentView, AItem, this, false, ACustomizing, false);
  View->State += vsModal;
  if (!AParentView) {
    View->Style += vsUseHiddenAccels;
  } else {
    if (AParentView->Style.Contains(vsUseHiddenAccels)) View->Style += vsUseHiddenAccels;
    if (AParentView->State.Contains(vsShowAccels)) View->State += vsShowAccels;
  }
}

void TBarPopupWindow::BeforeDestruction() {
  if (View) View->CloseChildPopups();
}

TBarPopupWindow::~TBarPopupWindow() {
  BeforeDestruction();
  if (HandleAllocated()) DestroyHandle();
  TBarView* v = View;
  View = nullptr;
  delete v;
}

void TBarPopupWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style &= ~(WS_CHILD | WS_GROUP | WS_TABSTOP | WS_VISIBLE);
  Params.Style |= WS_POPUP;
  Params.ExStyle |= WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  Params.WindowClass.style |= CS_SAVEBITS;
  if (IsWindowsXP()) {
    Params.WindowClass.style |= CS_DROPSHADOW;
    Params.WinClassName += L".Shadow";
  }
}

void TBarPopupWindow::CreateWnd() {
  TCustomControl::CreateWnd();
  if (View && !View->ParentView && !accelsInitialised_) {
    accelsInitialised_ = true;
    SendMessageW(GetHandle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
    LRESULT ui = SendMessageW(GetHandle(), WM_QUERYUISTATE, 0, 0);
    View->SetAccelsVisibility(!(ui & UISF_HIDEACCEL));
  }
}

void TBarPopupWindow::DestroyWindowHandle() {
  if (HandleAllocated()) {
    BarEndAnimation(GetHandle());
    if (View) View->StopAllTimers();
    CallNotifyWinEvent(EVENT_SYSTEM_MENUPOPUPEND, GetHandle(), OBJID_CLIENT, CHILDID_SELF);
  }
  TCustomControl::DestroyWindowHandle();
}

void TBarPopupWindow::PaintNCArea(HDC DC) {
  RECT r;
  GetWindowRect(GetHandle(), &r);
  OffsetRect(&r, -r.left, -r.top);
  if (AreFlatMenusEnabled()) {
    HBRUSH shadow = GetSysColorBrush(COLOR_BTNSHADOW);
    FrameRect(DC, &r, shadow);
    HBRUSH b = CreateSolidBrush(ColorToRef(GetColor()));
    InflateRect(&r, -1, -1);
    FrameRect(DC, &r, b);
    InflateRect(&r, -1, -1);
    FrameRect(DC, &r, b);
    DeleteObject(b);
  } else {
    DrawEdge(DC, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    FrameRect(DC, &r, GetSysColorBrush(COLOR_BTNFACE));
  }
}

void TBarPopupWindow::Paint() {
  if (!View) return;
  View->DrawSubitems(Canvas());
  PaintScrollArrows();
}

void TBarPopupWindow::PaintScrollArrows() {
  if (!View || (!View->ShowUpArrow && !View->ShowDownArrow)) return;
  HDC dc = Canvas()->GetHandle();
  RECT cr;
  ::GetClientRect(GetHandle(), &cr);
  auto band = [&](int top, bool up) {
    int CX = cr.right / 2, CY = top + BarScrollArrowHeight / 2 - 1;
    POINT p[3];
    if (up) {
      p[0] = {CX - 3, CY + 2};
      p[1] = {CX + 3, CY + 2};
      p[2] = {CX, CY - 1};
    } else {
      p[0] = {CX - 3, CY - 1};
      p[1] = {CX + 3, CY - 1};
      p[2] = {CX, CY + 2};
    }
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(clMenuText));
    HBRUSH br = CreateSolidBrush(ColorToRef(clMenuText));
    HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, br);
    Polygon(dc, p, 3);
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(pen);
    DeleteObject(br);
  };
  if (View->ShowUpArrow) band(0, true);
  if (View->ShowDownArrow) band(cr.bottom - BarScrollArrowHeight, false);
}

void TBarPopupWindow::ShowPopup(bool Show) { Perform(CM_SHOWINGCHANGED, Show, 0); }

void TBarPopupWindow::CMShowingChanged(TMessage& Message) {
  bool Show = Message.WParam != 0;
  HWND h = GetHandle();
  if (Show) {
    bool anim = !(View->ParentView && View->ParentView->State.Contains(vsNoAnimation));
    BOOL menuAnim = FALSE, fade = FALSE;
    if (anim && !View->GetSelected() && !IsWindowVisible(h) &&
        BarSystemParametersInfo(SPI_GETMENUANIMATION, 0, &menuAnim, 0) && menuAnim) {
      BarSystemParametersInfo(SPI_GETMENUFADE, 0, &fade, 0);
      if ((fade || AnimationDirection != 0) && SendMessageW(h, BarMPopupShowing, 1, 0) == 0) {
        BarStartAnimation(h, 150, fade != FALSE, AnimationDirection);
        return;
      }
    }
    SetWindowPos(h, nullptr, 0, 0, 0, 0, 0x57);
    SendNotifyMessageW(h, BarMPopupShowing, 3, 0);
  } else {
    BarEndAnimation(h);
    SetWindowPos(h, nullptr, 0, 0, 0, 0, 0x97);
  }
}

void TBarPopupWindow::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE:
      return;
    case WM_MOUSEACTIVATE:
      m.Result = MA_NOACTIVATE;
      return;
    case WM_NCCALCSIZE: {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      SIZE nc = GetNCSize();
      InflateRect(r, -nc.cx, -nc.cy);
      m.Result = 0;
      return;
    }
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(GetHandle());
      SelectNCUpdateRgn(GetHandle(), dc, reinterpret_cast<HRGN>(m.WParam));
      PaintNCArea(dc);
      ReleaseDC(GetHandle(), dc);
      m.Result = 0;
      return;
    }
    case WM_PRINT:
      m.Result = HandleWMPrint(GetHandle(), m.WParam, m.LParam, PopupNCPaint,
                               reinterpret_cast<LPARAM>(this));
      return;
    case WM_PRINTCLIENT:
      HandleWMPrintClient(this, m);
      return;
    case WM_ERASEBKGND: {
      BarEndAnimation(GetHandle());
      RECT r;
      ::GetClientRect(GetHandle(), &r);
      HBRUSH b = CreateSolidBrush(ColorToRef(GetColor()));
      FillRect(reinterpret_cast<HDC>(m.WParam), &r, b);
      DeleteObject(b);
      m.Result = 1;
      return;
    }
    case WM_PAINT:
      BarEndAnimation(GetHandle());
      break;
    case WM_GETOBJECT:
      if (View && View->HandleWMGetObject(m)) return;
      break;
    case WMVmoxStepAnimation:
      BarStepAnimation(m.WParam, m.LParam);
      return;
    case WMVmoxAnimationEnded:
      SendNotifyMessageW(GetHandle(), BarMPopupShowing, 2, 0);
      return;
    case CM_HINTSHOW:
      CMHintShow(m);
      return;
    case CM_SHOWINGCHANGED:
      CMShowingChanged(m);
      return;
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

void TBarPopupWindow::CMHintShow(TMessage& Message) {
  auto* info = reinterpret_cast<THintInfo*>(Message.LParam);
  if (!info) return;
  info->HintStr.clear();
  if (View && View->GetSelected()) {
    info->CursorRect = View->GetSelected()->BoundsRect;
    info->HintStr = View->GetSelected()->GetHintText();
  }
}

// ---- creating and placing pop-ups --------------------------------------------------
TBarPopupWindowClass TBarCustomItem::GetPopupWindowClass() {
  return &TBarPopupWindow::CreatePopupWindow<TBarPopupWindow>;
}

TBarPopupWindow* TBarCustomItem::CreatePopup(TBarView* ParentView, TBarItemViewer* ParentViewer,
                                             bool PositionAsSubmenu, bool SelectFirstItem,
                                             bool Customizing, POINT APopupPoint,
                                             TBarPopupAlignment Alignment) {
  if (GetLinkSubitems()) GetLinkSubitems()->DoPopup(this, true);
  DoPopup(this, false);
  TBarView* chevronParent = GetChevronParentView();
  TBarCustomItem* shown = chevronParent ? chevronParent->GetParentItem() : this;
  bool opposite = ParentView && ParentView->State.Contains(vsOppositePopup);
  std::unique_ptr<TBarPopupWindow> win(GetPopupWindowClass()(nullptr, ParentView, shown, Customizing));
  TBarView* view = win->View;
  if (chevronParent) {
    view->ChevronParentView = chevronParent;
    chevronParent->FreeNotification(view);
    view->IsToolbar = true;
    view->IsPopup = false;
    if (chevronParent->Style.Contains(vsAlwaysShowHints)) view->Style += vsAlwaysShowHints;
    win->SetColor(clBtnFace);
  }
  RECT parentItemRect{APopupPoint.x, APopupPoint.y, APopupPoint.x, APopupPoint.y};
  RECT mon;
  if (!ParentView) {
    mon = GetRectOfMonitorContainingPoint(APopupPoint, true);
  } else {
    ParentView->ValidatePositions();
    parentItemRect = ParentViewer->BoundsRect;
    if (ParentView->Window && ParentView->Window->HandleAllocated())
      MapWindowPoints(ParentView->Window->GetHandle(), nullptr,
                      reinterpret_cast<POINT*>(&parentItemRect), 2);
    mon = ParentView->MonitorRect;
    if (IsRectEmpty(&mon)) mon = GetRectOfMonitorContainingRect(parentItemRect, true);
  }
  view->MonitorRect = mon;
  SIZE nc = win->GetNCSize();
  if (!chevronParent)
    view->MaxHeight = (mon.bottom - mon.top) - 2 * nc.cy;
  else
    view->WrapOffset = (mon.right - mon.left) - 2 * nc.cx;
  if (SelectFirstItem) view->SetSelected(view->FirstSelectable());
  view->UpdatePositions();
  int W = win->GetWidth(), H = win->GetHeight();
  int X, Y;
  const RECT& PIR = parentItemRect;
  if (!ParentView) {
    X = APopupPoint.x;
    Y = APopupPoint.y;
    if (Alignment == tbpaRight) X -= W;
    if (Alignment == tbpaCenter) X -= W / 2;
  } else if (PositionAsSubmenu) {
    X = PIR.right - nc.cx;
    Y = PIR.top - nc.cy;
  } else if ((chevronParent && chevronParent->Orientation == tbvoVertical) ||
             (!chevronParent && ParentView->Orientation == tbvoVertical)) {
    X = PIR.left - W;
    Y = PIR.top;
  } else if (chevronParent) {
    X = PIR.right - W;
    Y = PIR.bottom;
  } else {
    X = PIR.left;
    Y = PIR.bottom;
    if (GetSystemMetrics(SM_MENUDROPALIGNMENT)) X = PIR.right - W;
  }
  TBarPopupPositionRec rec;
  rec.PositionAsSubmenu = PositionAsSubmenu;
  rec.Alignment = Alignment;
  rec.Opposite = opposite;
  rec.MonitorRect = mon;
  rec.ParentItemRect = parentItemRect;
  rec.NCSizeX = nc.cx;
  rec.NCSizeY = nc.cy;
  rec.X = X;
  rec.Y = Y;
  rec.W = W;
  rec.H = H;
  GetPopupPosition(ParentView, win.get(), rec);
  win->AnimationDirection = rec.AnimDir;
  win->SetBounds(rec.X, rec.Y, rec.W, rec.H);
  if (ParentView) {
    ParentView->OpenViewer = ParentViewer;
    ParentView->OpenViewerView = view;
    ParentView->OpenViewerWindow = win.get();
    win->FreeNotification(ParentView);
    if (ParentView->IsToolbar) {
      ParentView->State += vsDropDownMenus;
      ParentView->Invalidate(ParentViewer);
      if (ParentView->Window && ParentView->Window->HandleAllocated())
        UpdateWindow(ParentView->Window->GetHandle());
    }
  }
  view->State += vsDrawInOrder;
  // Until it is returned, a failure frees the window.
  TBarPopupWindow* w = win.get();
  BarCancelHint();
  if (!rec.PlayPopupSound || !NeedToPlaySound(L"MenuPopup")) {
    w->ShowPopup(true);
  } else if (!g_firstPopupSoundPlayed) {
    g_firstPopupSoundPlayed = true;
    w->ShowPopup(true);
    UpdateWindow(w->GetHandle());
    PlaySoundW(L"MenuPopup", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP);
  } else {
    PlaySoundW(L"MenuPopup", nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP);
    w->ShowPopup(true);
  }
  CallNotifyWinEvent(EVENT_SYSTEM_MENUPOPUPSTART, w->GetHandle(), OBJID_CLIENT, CHILDID_SELF);
  if (view->GetSelected()) view->NotifyFocusEvent();
  return win.release();
}

void TBarCustomItem::GetPopupPosition(TBarView* ParentView, TBarPopupWindow* PopupWindow,
                                      TBarPopupPositionRec& Rec) {
  const RECT& Mon = Rec.MonitorRect;
  const RECT& PIR = Rec.ParentItemRect;
  int &X = Rec.X, &Y = Rec.Y;
  const int W = Rec.W, H = Rec.H;
  auto overlaps = [&] { return Y < PIR.bottom && Y + H > PIR.top && X < PIR.right && X + W > PIR.left; };
  bool parentVertical = ParentView && ParentView->Orientation == tbvoVertical;
  // 1. Vertical fit.
  if (Y + H > Mon.bottom && !parentVertical) {
    int Y2 = (Rec.PositionAsSubmenu ? PIR.bottom + Rec.NCSizeY : PIR.top) - H;
    if (Y2 >= Mon.top) Y = Y2;
  }
  if (Y + H > Mon.bottom) Y = Mon.bottom - H;
  if (Y < Mon.top) Y = Mon.top;
  if (Rec.PositionAsSubmenu) {
    // 2. Submenus: right of the parent, or left when there is no room.
    int X2;
    for (;;) {
      X2 = X;
      if (!Rec.Opposite && X + W <= Mon.right) break;
      X2 = (ParentView ? PIR.left + Rec.NCSizeX : X) - W;
      if (Rec.Opposite && X2 < Mon.left) {
        Rec.Opposite = false;
        continue;
      }
      PopupWindow->View->State += vsOppositePopup;
      break;
    }
    X = X2;
    if (X < Mon.left) X = Mon.left;
  } else {
    // 3. Drop-downs and context menus.
    if (!ParentView && Rec.Alignment == tbpaRight && X < Mon.left) X += W;
    if (X + W > Mon.right) {
      if (ParentView || Rec.Alignment != tbpaLeft)
        X = Mon.right - W;
      else
        X = X - W;
    }
    if (X < Mon.left) X = Mon.left;
    if (ParentView) {
      if (parentVertical) {
        int X2 = PIR.right;
        RECT a{X, Y, X + W, Y + H}, b{X2, Y, X2 + W, Y + H};
        if (X2 + W <= Mon.right && (CoveredViewers(ParentView, b) < CoveredViewers(ParentView, a) || overlaps()))
          X = X2;
        if (overlaps()) {
          Y = PIR.bottom + H > Mon.bottom ? PIR.top - H : PIR.bottom;
          if (Y < Mon.top) Y = Mon.top;
        }
      } else {
        int Y2 = PIR.top - H;
        RECT a{X, Y, X + W, Y + H}, b{X, Y2, X + W, Y2 + H};
        if (Y2 >= Mon.top && (CoveredViewers(ParentView, b) < CoveredViewers(ParentView, a) || overlaps()))
          Y = Y2;
        if (overlaps()) {
          X = PIR.right + W > Mon.right ? PIR.left - W : PIR.right;
          if (X < Mon.left) X = Mon.left;
        }
      }
    }
  }
  // 4. Animation direction.
  Rec.AnimDir = 0;
  if (Rec.PositionAsSubmenu) {
    Rec.AnimDir = (X + W / 2 < PIR.left + (PIR.right - PIR.left) / 2) ? tbadLeft : tbadRight;
  } else {
    if (Y >= PIR.bottom) Rec.AnimDir |= tbadDown;
    if (Y + H <= PIR.top) Rec.AnimDir |= tbadUp;
    if (X >= PIR.right) Rec.AnimDir |= tbadRight;
    if (X + W <= PIR.left) Rec.AnimDir |= tbadLeft;
  }
}

bool TBarCustomItem::OpenPopup(bool SelectFirstItem, bool TrackRightButton, POINT PopupPoint,
                               TBarPopupAlignment Alignment) {
  auto handler = std::make_unique<TBarModalHandler>(nullptr);
  std::unique_ptr<TBarPopupWindow> win(
      CreatePopup(nullptr, nullptr, false, SelectFirstItem, false, PopupPoint, Alignment));
  TBarView* view = win->View;
  view->State += vsIgnoreFirstMouseUp;
  view->DoneActionData = TBarDoneActionData{};
  handler->Loop(view, false, false, false, TrackRightButton);
  TBarDoneActionData d = view->DoneActionData;
  view->State -= vsModal;
  win.reset();
  handler.reset();
  ProcessDoneAction(d);
  return d.DoneAction == tbdaClickItem;
}

void TBarCustomItem::Popup(int X, int Y, bool TrackRightButton, TBarPopupAlignment Alignment) {
  OpenPopup(false, TrackRightButton, POINT{X, Y}, Alignment);
}

// ---- pop-up menu and item container ---------------------------------------------------
TBarPopupMenu::TBarPopupMenu(TComponent* AOwner) : TPopupMenu(AOwner) {}

TBarRootItemClass TBarPopupMenu::GetRootItemClass() { return &BarClassOf<TBarRootItem, TBarRootItem, TComponent*>; }

TBarRootItem* TBarPopupMenu::Items() const {
  if (!itemsMade_) {
    auto* self = const_cast<TBarPopupMenu*>(this);
    self->itemsMade_ = true;
    try {
      self->items_ = self->GetRootItemClass()(self);
    } catch (...) {
      self->itemsMade_ = false;
      throw;
    }
    items_->SetRootParentComponent(self);
    items_->OnClick = TNotifyEvent(self, &TBarPopupMenu::RootItemClick);
  }
  return items_;
}

TBarPopupMenu::~TBarPopupMenu() {
  itemsMade_ = true;  // none is made any more
  TBarRootItem* i = items_;
  items_ = nullptr;
  delete i;
}

void TBarPopupMenu::RootItemClick(TObject* Sender) {
  if (OnPopup) OnPopup(Sender == items_ ? static_cast<TObject*>(this) : Sender);
}

void TBarPopupMenu::Popup(int X, int Y) {
  const TBarPopupAlignment A = GetAlignment() == paRight    ? tbpaRight
                               : GetAlignment() == paCenter ? tbpaCenter
                                                            : tbpaLeft;
  Items()->Popup(X, Y, GetTrackButton() == tbRightButton, A);
}

TBarItemContainer::TBarItemContainer(TComponent* AOwner) : TComponent(AOwner) {
  items_ = new TBarRootItem(this);
  items_->SetRootParentComponent(this);
}

TBarItemContainer::~TBarItemContainer() {
  TBarRootItem* i = items_;
  items_ = nullptr;
  delete i;
}

// ---- streaming ---------------------------------------------------------------------------
void TBarPopupMenu::DefineProperties(TFiler* Filer) {
  TPopupMenu::DefineProperties(Filer);
  auto* a = dynamic_cast<TBarPopupMenu*>(Filer->GetAncestor());
  using namespace BarFiler;
  Reference(Filer, L"Images", GetImages(), a ? a->GetImages() : nullptr, pendingImages_);
  Reference(Filer, L"LinkSubitems", Items()->GetLinkSubitems(), a ? a->Items()->GetLinkSubitems() : nullptr,
            pendingLink_);
  Set(Filer, L"Options", GetOptions().Bits(), a ? a->GetOptions().Bits() : 0, ItemOptionNames(),
      [this](unsigned v) { SetOptions(TBarItemOptions::FromBits(v)); });
}

void TBarPopupMenu::Loaded() {
  TPopupMenu::Loaded();
  if (!pendingImages_.empty()) SetImages(dynamic_cast<TCustomImageList*>(BarFiler::Find(this, pendingImages_)));
  if (!pendingLink_.empty()) SetLinkSubitems(dynamic_cast<TBarCustomItem*>(BarFiler::Find(this, pendingLink_)));
  pendingImages_.clear();
  pendingLink_.clear();
}

void TBarItemContainer::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* a = dynamic_cast<TBarItemContainer*>(Filer->GetAncestor());
  BarFiler::Reference(Filer, L"Images", GetImages(), a ? a->GetImages() : nullptr, pendingImages_);
}

void TBarItemContainer::Loaded() {
  TComponent::Loaded();
  if (pendingImages_.empty()) return;
  SetImages(dynamic_cast<TCustomImageList*>(BarFiler::Find(this, pendingImages_)));
  pendingImages_.clear();
}

#include "toolbars/BarFloat.h"

#include <algorithm>

#include "toolbars/BarUtilsWin.h"

TBarFloatingWindowParent::TBarFloatingWindowParent(TComponent* AOwner) : TCustomForm(AOwner) {
  SetBorderStyle(bsToolWindow);
  SetShowHint(true);
}

TBarFloatingWindowParent::~TBarFloatingWindowParent() {
  SetComponentStateFlag(csDestroying, true);
  // The hosted window is not ours to free.
  if (dockableWindow_ && dockableWindow_->GetParent() == this) {
    if (dockableWindow_->floatParent_ == this) dockableWindow_->floatParent_ = nullptr;
    RemoveControl(dockableWindow_);
  }
  dockableWindow_ = nullptr;
  SetParentForm(nullptr);
}

void TBarFloatingWindowParent::SetParentForm(TCustomForm* Value) {
  if (parentForm_ == Value) return;
  if (parentForm_) parentForm_->RemoveFreeNotification(this);
  parentForm_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TBarFloatingWindowParent::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomForm::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == parentForm_) parentForm_ = nullptr;
  if (Operation == opRemove && AComponent == dockableWindow_) dockableWindow_ = nullptr;
}

void TBarFloatingWindowParent::CreateParams(TCreateParams& Params) {
  TCustomForm::CreateParams(Params);
  if (IsDesigning()) {
    // The designer's form keeps the redraw styles (a class of its own) and
    // shows the system's border round its own style.
    Params.WinClassName += L".Designed";
    Params.Style |= WS_BORDER;
    if (dockableWindow_ && dockableWindow_->Resizable) Params.Style |= WS_THICKFRAME;
  } else {
    Params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
    // A bordered pop-up (sizable when the window is); border, caption and
    // close button are still drawn, sized and hit-tested here, not by the
    // system.
    Params.Style = WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_BORDER;
    if (dockableWindow_ && dockableWindow_->Resizable) Params.Style |= WS_THICKFRAME;
  }
  Params.ExStyle = WS_EX_TOOLWINDOW;
  HWND owner = nullptr;
  if (dockableWindow_ && dockableWindow_->FloatingMode == fmOnTopOfAllForms) {
    Params.ExStyle |= WS_EX_TOPMOST;
    if (Application) owner = Application->GetHandle();
  } else if (parentForm_) {
    parentForm_->HandleNeeded();
    owner = BarFormTopWindow(parentForm_);
  }
  Params.WndParent = owner;
}

bool TBarFloatingWindowParent::HasCaption() const {
  return dockableWindow_ && dockableWindow_->ShowCaption;
}

RECT TBarFloatingWindowParent::GetCaptionRect() {
  RECT wr;
  GetWindowRect(GetHandle(), &wr);
  POINT b = dockableWindow_ ? dockableWindow_->GetFloatingBorderSize() : POINT{0, 0};
  RECT r{b.x, b.y, (wr.right - wr.left) - b.x, b.y + GetSystemMetrics(SM_CYSMCAPTION) - 1};
  if (r.right < r.left) r.right = r.left;
  return r;
}

RECT TBarFloatingWindowParent::GetCloseButtonRect() {
  RECT c = GetCaptionRect();
  int side = c.bottom - c.top;
  return RECT{c.right - side, c.top, c.right, c.bottom};
}

void TBarFloatingWindowParent::FitToWindow() {
  if (!dockableWindow_) return;
  POINT tl{0, 0}, br{0, 0};
  dockableWindow_->GetFloatingNCArea(tl, br);
  int w = dockableWindow_->GetWidth() + tl.x + br.x;
  int h = dockableWindow_->GetHeight() + tl.y + br.y;
  if (w != GetWidth() || h != GetHeight()) SetBounds(GetLeft(), GetTop(), w, h);
}

void BarActivateFirstThreadWindow(HWND Except);

void TBarFloatingWindowParent::UpdateShowing() {
  if (!HandleAllocated()) {
    if (!(GetVisible() && ShouldShow)) return;
    HandleNeeded();
  }
  bool show = GetVisible() && ShouldShow;
  HWND h = GetHandle();
  if ((IsWindowVisible(h) != FALSE) == show) return;
  bool wasActive = GetActiveWindow() == h;
  if (show) PlaceAboveOwner();
  ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
  // Hiding the active window: activation goes to a window of ours.
  if (!show && wasActive) BarActivateFirstThreadWindow(h);
}

void TBarFloatingWindowParent::PlaceAboveOwner() {
  HWND owner = nullptr;
  if (dockableWindow_ && dockableWindow_->FloatingMode == fmOnTopOfAllForms)
    owner = Application ? Application->GetHandle() : nullptr;
  else
    owner = BarFormTopWindow(parentForm_);
  const HWND h = GetHandle();
  if (reinterpret_cast<HWND>(GetWindowLongPtrW(h, GWLP_HWNDPARENT)) != owner)
    SetWindowLongPtrW(h, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  // Just above its form (an MDI child's: its MDI parent's); the windows
  // above the form stay above.
  if (owner && owner == BarFormTopWindow(parentForm_)) {
    HWND above = GetWindow(owner, GW_HWNDPREV);
    if (above != h)
      SetWindowPos(h, above ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER);
  }
}

namespace {
// Windows waiting to go back above the form that owns them, lowest first.
struct PendingRaise {
  HWND Wnd;
  HWND Owner;
};
std::vector<PendingRaise> g_toRaise;
}  // namespace

void TBarFloatingWindowParent::RaiseAboveOwner(HWND Owner, const std::vector<HWND>& LowestFirst) {
  // Windows still waiting from before go up first.
  for (HWND h : LowestFirst)
    g_toRaise.erase(std::remove_if(g_toRaise.begin(), g_toRaise.end(), [h](const PendingRaise& p) { return p.Wnd == h; }),
                    g_toRaise.end());
  for (HWND h : LowestFirst) g_toRaise.push_back(PendingRaise{h, Owner});
  // A message to each floating form: should one go before its message is
  // seen, the next still does the work.
  for (HWND h : LowestFirst)
    if (dynamic_cast<TBarFloatingWindowParent*>(TWinControl::FindControl(h))) PostMessageW(h, BarMRaiseAboveOwner, 0, 0);
}

void TBarFloatingWindowParent::RaisePending() {
  if (g_toRaise.empty()) return;
  std::vector<PendingRaise> list;
  list.swap(g_toRaise);
  // A form that takes the focus comes to the top with the windows it owns.
  // Wine running its windows without a window manager raises the form alone
  // on the screen (when it takes the focus, and once more when it takes in
  // the report that the form has appeared), and its window list follows the
  // screen later. So the reports already in are taken in first, once for
  // all the windows, so that none goes up before a late report puts the
  // form back over it.
  MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
  const HWND active = GetActiveWindow();
  const UINT flags = SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE;
  std::vector<HWND> owners;
  for (const PendingRaise& p : list)
    if (std::find(owners.begin(), owners.end(), p.Owner) == owners.end()) owners.push_back(p.Owner);
  for (HWND owner : owners) {
    std::vector<HWND> windows;  // lowest first
    for (const PendingRaise& p : list)
      if (p.Owner == owner && IsWindow(p.Wnd) && IsWindowVisible(p.Wnd) && GetWindow(p.Wnd, GW_OWNER) == owner)
        windows.push_back(p.Wnd);
    if (windows.empty()) continue;
    // The command that gave the form the focus may have shown a dialog
    // over it by now (a modal form, a message box, a file dialog): the
    // form is disabled then, or no longer the active window. The dialog
    // stays on top; the windows go back just above the form, below it.
    const bool formOnTop = IsWindowEnabled(owner) &&
                           (active == owner || std::find(windows.begin(), windows.end(), active) != windows.end());
    if (!formOnTop) {
      for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const HWND above = GetWindow(owner, GW_HWNDPREV);
        if (above != *it) SetWindowPos(*it, above ? above : HWND_TOP, 0, 0, 0, 0, flags | SWP_NOOWNERZORDER);
      }
      continue;
    }
    // Each window goes to the bottom (the system keeps it above its owner)
    // and back to the top: a change of place, which reaches the screen even
    // where the list had it in place already. (Placed below a window it
    // does not always reach the screen, so the windows above go up after
    // it.)
    for (HWND h : windows) {
      SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, flags);
      SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, flags);
    }
  }
}

void TBarFloatingWindowParent::RedrawNCArea(TBarToolWindowNCRedrawWhat RedrawWhat) {
  if (!HandleAllocated()) return;
  HDC dc = GetWindowDC(GetHandle());
  DrawNCArea(dc, nullptr, RedrawWhat);
  ReleaseDC(GetHandle(), dc);
}

void TBarFloatingWindowParent::SetCloseButtonState(bool Pushed) {
  if (closePushed_ == Pushed) return;
  closePushed_ = Pushed;
  RedrawNCArea(TBarToolWindowNCRedrawWhat{twrdCloseButton});
}

void TBarFloatingWindowParent::DrawNCArea(HDC DC, HRGN, TBarToolWindowNCRedrawWhat RedrawWhat) {
  if (!dockableWindow_) return;
  HWND h = GetHandle();
  RECT wr;
  GetWindowRect(h, &wr);
  OffsetRect(&wr, -wr.left, -wr.top);
  POINT tl{0, 0}, br{0, 0};
  dockableWindow_->GetFloatingNCArea(tl, br);
  int saved = SaveDC(DC);
  RECT client{tl.x, tl.y, wr.right - br.x, wr.bottom - br.y};
  ExcludeClipRect(DC, client.left, client.top, client.right, client.bottom);
  if (RedrawWhat.Contains(twrdBorder)) {
    POINT b = dockableWindow_->GetFloatingBorderSize();
    HRGN ring = CreateRectRgnIndirect(&wr);
    RECT inner{b.x, b.y, wr.right - b.x, wr.bottom - b.y};
    HRGN in = CreateRectRgnIndirect(&inner);
    CombineRgn(ring, ring, in, RGN_DIFF);
    FillRgn(DC, ring, GetSysColorBrush(COLOR_BTNFACE));
    DeleteObject(in);
    DeleteObject(ring);
    RECT e = wr;
    DrawEdge(DC, &e, EDGE_RAISED, BF_RECT);
  }
  if (HasCaption()) {
    RECT cap = GetCaptionRect();
    RECT btn = GetCloseButtonRect();
    bool active = !dockableWindow_->GetShownInactive();
    BOOL gradient = FALSE;
    SystemParametersInfoW(SPI_GETGRADIENTCAPTIONS, 0, &gradient, 0);
    if (RedrawWhat.Contains(twrdCaption)) {
      int s2 = SaveDC(DC);
      if (RedrawWhat.Contains(twrdCloseButton) && dockableWindow_->CloseButton)
        ExcludeClipRect(DC, btn.left, btn.top, btn.right, btn.bottom);
      UINT flags = DC_SMALLCAP | DC_TEXT | (active ? DC_ACTIVE : 0) | (gradient ? DC_GRADIENT : 0);
      DrawCaption(h, DC, &cap, flags);
      RECT line{cap.left, cap.bottom, cap.right, cap.bottom + 1};
      FillRect(DC, &line, GetSysColorBrush(COLOR_BTNFACE));
      RestoreDC(DC, s2);
    }
    if (RedrawWhat.Contains(twrdCloseButton) && dockableWindow_->CloseButton) {
      int colour = gradient ? (active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION)
                            : (active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
      FillRect(DC, &btn, GetSysColorBrush(colour));
      RECT g = btn;
      InflateRect(&g, -2, -2);
      DrawFrameControl(DC, &g, DFC_CAPTION, DFCS_CAPTIONCLOSE | (closePushed_ ? DFCS_PUSHED : 0));
    }
  }
  RestoreDC(DC, saved);
}

LRESULT TBarFloatingWindowParent::HitTest(POINT Screen) {
  HWND h = GetHandle();
  RECT wr;
  GetWindowRect(h, &wr);
  POINT p{Screen.x - wr.left, Screen.y - wr.top};
  int w = wr.right - wr.left, hgt = wr.bottom - wr.top;
  if (p.x < 0 || p.y < 0 || p.x >= w || p.y >= hgt) return HTNOWHERE;
  if (!dockableWindow_) return HTBORDER;
  POINT tl{0, 0}, br{0, 0};
  dockableWindow_->GetFloatingNCArea(tl, br);
  RECT client{tl.x, tl.y, w - br.x, hgt - br.y};
  if (PtInRect(&client, p)) return HTCLIENT;
  if (HasCaption()) {
    RECT cap = GetCaptionRect();
    if (PtInRect(&cap, p)) {
      RECT btn = GetCloseButtonRect();
      return dockableWindow_->CloseButton && PtInRect(&btn, p) ? HTBARCLOSE : HTBARCAPTION;
    }
  }
  if (!dockableWindow_->Resizable) return HTBORDER;
  POINT b = dockableWindow_->GetFloatingBorderSize();
  bool left = p.x < b.x, right = p.x >= w - b.x, top = p.y < b.y, bottom = p.y >= hgt - b.y;
  if (dockableWindow_->DockableWindowStyles.Contains(tbdsResizeEightCorner)) {
    int corner = GetSystemMetrics(SM_CYSMCAPTION) - 1 + b.y;
    if (left || right) {
      if (p.y < corner) return left ? HTTOPLEFT : HTTOPRIGHT;
      if (p.y >= hgt - corner) return left ? HTBOTTOMLEFT : HTBOTTOMRIGHT;
      return left ? HTLEFT : HTRIGHT;
    }
    if (top || bottom) {
      if (p.x < corner) return top ? HTTOPLEFT : HTBOTTOMLEFT;
      if (p.x >= w - corner) return top ? HTTOPRIGHT : HTBOTTOMRIGHT;
      return top ? HTTOP : HTBOTTOM;
    }
    return HTBORDER;
  }
  if (top) return HTTOP;
  if (bottom) return HTBOTTOM;
  if (left) return HTLEFT;
  if (right) return HTRIGHT;
  return HTBORDER;
}

void TBarFloatingWindowParent::TrackCloseButton() {
  const bool close = TrackFrameButton(
      GetHandle(), [this] { return GetCloseButtonRect(); },
      [this](bool Pushed) { SetCloseButtonState(Pushed); });
  if (close && dockableWindow_) dockableWindow_->Close();
}

namespace {
// The first visible, enabled window of this thread, topmost ones first.
BOOL CALLBACK FindThreadWindow(HWND h, LPARAM Data) {
  auto* found = reinterpret_cast<HWND*>(Data);
  if (!IsWindowVisible(h) || !IsWindowEnabled(h)) return TRUE;
  if (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) {
    found[0] = h;
    return FALSE;
  }
  if (!found[1]) found[1] = h;
  return TRUE;
}
}  // namespace

void BarActivateFirstThreadWindow(HWND Except) {
  HWND found[2] = {nullptr, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindThreadWindow, reinterpret_cast<LPARAM>(found));
  HWND w = found[0] ? found[0] : found[1];
  if (w && w != Except) SetActiveWindow(w);
}

void TBarFloatingWindowParent::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
      UpdateShowing();
      return;
    case BarMRaiseAboveOwner:
      RaisePending();
      m.Result = 0;
      return;
    case WM_GETMINMAXINFO: {
      auto* mm = reinterpret_cast<MINMAXINFO*>(m.LParam);
      mm->ptMinTrackSize = POINT{1, 1};
      mm->ptMaxTrackSize = POINT{32767, 32767};
      m.Result = 0;
      return;
    }
    case CM_DIALOGKEY:
      if (m.WParam == VK_ESCAPE && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_CONTROL) >= 0 &&
          GetKeyState(VK_MENU) >= 0) {
        if (parentForm_ && parentForm_->HandleAllocated()) {
          SetActiveWindow(parentForm_->GetHandle());
          parentForm_->SetFocus();
        }
        m.Result = 1;
        return;
      }
      break;
    case WM_SETTEXT:
      DefaultHandler(m);
      RedrawNCArea(TBarToolWindowNCRedrawWhat{twrdCaption});
      return;
    case WM_NCCALCSIZE: {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      POINT tl{0, 0}, br{0, 0};
      if (dockableWindow_) dockableWindow_->GetFloatingNCArea(tl, br);
      r->left += tl.x;
      r->top += tl.y;
      r->right -= br.x;
      r->bottom -= br.y;
      if (r->right < r->left) r->right = r->left;
      if (r->bottom < r->top) r->bottom = r->top;
      m.Result = 0;
      return;
    }
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(GetHandle());
      DrawNCArea(dc, nullptr, TBarToolWindowNCRedrawWhat{twrdBorder, twrdCaption, twrdCloseButton});
      ReleaseDC(GetHandle(), dc);
      m.Result = 0;
      return;
    }
    case WM_NCACTIVATE:
      // Our caption follows the hosted window's state, not the activation.
      m.Result = TRUE;
      RedrawNCArea(TBarToolWindowNCRedrawWhat{twrdCaption, twrdCloseButton});
      return;
    case WM_PRINTCLIENT:
      HandleWMPrintClient(this, m);
      return;
    case WM_PRINT:
      m.Result = HandleWMPrint(
          GetHandle(), m.WParam, m.LParam,
          [](HWND, HDC DC, LPARAM App) {
            reinterpret_cast<TBarFloatingWindowParent*>(App)->DrawNCArea(
                DC, nullptr, TBarToolWindowNCRedrawWhat{twrdBorder, twrdCaption, twrdCloseButton});
          },
          reinterpret_cast<LPARAM>(this));
      return;
    case WM_NCHITTEST:
      m.Result = HitTest(POINT{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))});
      return;
    case WM_NCLBUTTONDOWN: {
      if (!dockableWindow_) break;
      LRESULT code = static_cast<LRESULT>(m.WParam);
      if (code >= HTLEFT && code <= HTBOTTOMRIGHT) {
        if (dockableWindow_->Resizable) dockableWindow_->BeginSizing(static_cast<TBarSizeHandle>(code - HTLEFT));
        m.Result = 0;
        return;
      }
      if (code == HTBARCAPTION) {
        POINT p{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
        ::ScreenToClient(dockableWindow_->GetHandle(), &p);
        dockableWindow_->BeginMoving(p.x, p.y);
        m.Result = 0;
        return;
      }
      if (code == HTBARCLOSE) {
        TrackCloseButton();
        m.Result = 0;
        return;
      }
      break;
    }
    case WM_NCLBUTTONDBLCLK:
      if (m.WParam == HTBARCAPTION && dockableWindow_) {
        dockableWindow_->DoubleClick();
        m.Result = 0;
        return;
      }
      break;
    case WM_NCRBUTTONUP:
      if (dockableWindow_) {
        dockableWindow_->ShowNCContextMenu();
        m.Result = 0;
        return;
      }
      break;
    case WM_CLOSE:
      WMClose(m);
      return;
    case WM_ACTIVATE:
      if (IsDesigning()) break;
      WMActivate(m);
      return;
    case WM_MOUSEACTIVATE:
      if (IsDesigning()) break;
      WMMouseActivate(m);
      return;
    case WM_MOVE: {
      DefaultHandler(m);
      if (dockableWindow_ && HandleAllocated()) {
        RECT wr;
        GetWindowRect(GetHandle(), &wr);
        UpdateBoundsRect(Rect(wr.left, wr.top, wr.right, wr.bottom));
        dockableWindow_->FloatingPosition = POINT{wr.left, wr.top};
        dockableWindow_->Moved();
      }
      return;
    }
    default:
      break;
  }
  TCustomForm::WndProc(m);
}

// The floating form never closes itself: the close goes to its form.
void TBarFloatingWindowParent::WMClose(TMessage& m) {
  if (parentForm_ && parentForm_->HandleAllocated()) PostMessageW(parentForm_->GetHandle(), WM_CLOSE, 0, 0);
  m.Result = 0;
}

// The form's caption shows active along with it; activation itself goes to
// the form (or, while hidden, to another window of the thread).
void TBarFloatingWindowParent::WMActivate(TMessage& m) {
  bool act = LOWORD(m.WParam) != WA_INACTIVE;
  HWND pf = BarFormTopWindow(parentForm_);
  if (pf) SendMessageW(pf, WM_NCACTIVATE, act, 0);
  if (act) {
    if (!IsWindowVisible(GetHandle()))
      BarActivateFirstThreadWindow(GetHandle());
    else if (pf && reinterpret_cast<HWND>(m.LParam) != pf)
      SetActiveWindow(pf);
  }
  m.Result = 0;
}

// A click brings the floating form up without activating it; its form is
// activated instead (an MDI child's parent form, the child brought up).
void TBarFloatingWindowParent::WMMouseActivate(TMessage& m) {
  m.Result = MA_NOACTIVATE;
  SetWindowPos(GetHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  if (dockableWindow_ && dockableWindow_->FloatingMode != fmOnTopOfAllForms && dockableWindow_->ActivateParent &&
      GetActiveWindow() != GetHandle() && parentForm_ && parentForm_->HandleAllocated()) {
    if (parentForm_->GetFormStyle() == fsMDIChild)
      SetWindowPos(parentForm_->GetHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    HWND target = BarFormTopWindow(parentForm_);
    if (GetActiveWindow() != target) SetActiveWindow(target);
  }
}

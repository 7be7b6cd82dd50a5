// The modal menu loop: holds the mouse capture, reads the thread's messages
// itself and routes input to the views of the menu chain until a done
// action is set or the capture is lost. A WM_QUIT ends the loop and is
// posted again so the application still exits.
#include <windows.h>
#include <imm.h>

#include <climits>

#include "classlib/Forms.h"
#include "toolbars/BarAcc.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/BarViews.h"

String BarCurrentMenuHint;

namespace {
LRESULT CALLBACK HandlerWndProc(HWND W, UINT M, WPARAM WP, LPARAM LP) {
  return DefWindowProcW(W, M, WP, LP);
}

HWND CreateHandlerWindow() {
  static ATOM atom = 0;
  if (!atom) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HandlerWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZembrioBarModalHandler";
    atom = RegisterClassW(&wc);
  }
  return CreateWindowExW(0, L"ZembrioBarModalHandler", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

TBarView* ActiveView(TBarView* Root) {
  TBarView* v = Root;
  while (v->OpenViewerView) v = v->OpenViewerView;
  return v;
}

void UpdateAllSelections(TBarView* Root, const POINT* P, bool AllowNew) {
  TBarView* active = ActiveView(Root);
  TBarView* capturing = nullptr;
  for (TBarView* v = active; v; v = v->ParentView)
    if (v->Capture) {
      capturing = v;
      break;
    }
  if (capturing) {
    capturing->UpdateSelection(P, AllowNew);
    return;
  }
  for (TBarView* v = active; v; v = v->ParentView) v->UpdateSelection(P, AllowNew);
}

TBarItemViewer* FindTargetViewer(TBarView* Root, TBarView*& ViewOut) {
  ViewOut = nullptr;
  for (TBarView* v = Root; v; v = v->OpenViewerView)
    if (v->Capture) {
      ViewOut = v;
      return v->GetSelected();
    }
  for (TBarView* v = Root; v; v = v->OpenViewerView) {
    if (v->GetSelected() && v->MouseOverSelected) {
      ViewOut = v;
      return v->GetSelected();
    }
    if (v->State.Contains(vsMouseInWindow)) return nullptr;
  }
  return nullptr;
}

TBarView* ViewOfWindow(TBarView* Root, HWND W) {
  for (TBarView* v = Root; v; v = v->OpenViewerView)
    if (v->Window && v->Window->HandleAllocated() && v->Window->GetHandle() == W) return v;
  return nullptr;
}

// The viewer whose hint the application's hint machinery was last given.
TBarItemViewer* g_hintViewer = nullptr;

// The loop keeps the mouse messages from the application, so its hint
// machinery is given the move itself; the window under the mouse offers the
// selected item's hint. A new selection starts the hint's pause again.
void FeedAppHint(TBarView* Active, TBarItemViewer* Sel, POINT P) {
  if (!Application) return;
  if (Sel != g_hintViewer) {
    Application->CancelHintFor(Active->Window);
    g_hintViewer = Sel;
  }
  Active->Window->SetHint(Sel->GetHintText());
  POINT c = P;
  ScreenToClient(Active->Window->GetHandle(), &c);
  TMessage m{WM_MOUSEMOVE, 0, MAKELPARAM(c.x, c.y), 0};
  Application->HintMouseMessage(Active->Window, m);
}

void MouseMoved(TBarView* Root) {
  POINT p = BarLastMousePos;
  UpdateAllSelections(Root, &p, true);
  TBarView* active = ActiveView(Root);
  HCURSOR cursor = nullptr;
  if (TBarItemViewer* sel = active->GetSelected()) {
    if (active->Window) {
      bool hints = active->Style.Contains(vsAlwaysShowHints) ||
                   sel->Item->GetEffectiveOptions().Contains(tboShowHint);
      if (!hints || active->Capture) {
        BarCancelHint();
        g_hintViewer = nullptr;
      } else {
        FeedAppHint(active, sel, p);
      }
      POINT vp = sel->ScreenToClient(p);
      sel->GetCursor(vp, cursor);
    }
  }
  SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW));
}
}  // namespace

void BarCancelHint() {
  if (Application) Application->CancelHint();
}

TBarModalHandler::TBarModalHandler(HWND AExistingWnd) {
  // Every menu loop starts without the hint of what it was opened from.
  BarCancelHint();
  DWORD p = GetMessagePos();
  BarLastMousePos = POINT{static_cast<short>(LOWORD(p)), static_cast<short>(HIWORD(p))};
  if (AExistingWnd) {
    wnd_ = AExistingWnd;
  } else {
    wnd_ = CreateHandlerWindow();
    createdWnd_ = true;
  }
  ::SetCapture(wnd_);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  CallNotifyWinEvent(EVENT_SYSTEM_MENUSTART, wnd_, OBJID_CLIENT, CHILDID_SELF);
  inited_ = true;
}

TBarModalHandler::~TBarModalHandler() {
  g_hintViewer = nullptr;
  // The menu's hint does not outlive the menu.
  if (!BarCurrentMenuHint.empty()) {
    BarCurrentMenuHint.clear();
    if (Application) Application->SetHint(String());
  }
  if (!wnd_) return;
  if (GetCapture() == wnd_) ReleaseCapture();
  if (inited_) CallNotifyWinEvent(EVENT_SYSTEM_MENUEND, wnd_, OBJID_CLIENT, CHILDID_SELF);
  if (createdWnd_) DestroyWindow(wnd_);
}

void TBarModalHandler::Loop(TBarView* RootView, bool AssumeButtonDown, bool AExecuteSelected,
                            bool FromMSAA, bool TrackRightButton) {
  RootView->ValidatePositions();
  RootView->CaptureWnd = wnd_;
  bool MouseDownOnMenu = false;
  auto done = [&] { return RootView->DoneActionData.DoneAction != tbdaNone; };

  if (AssumeButtonDown) {
    if (TBarItemViewer* sel = RootView->GetSelected()) {
      POINT p;
      GetCursorPos(&p);
      POINT vp = sel->ScreenToClient(p);
      sel->MouseDown(0, vp.x, vp.y, MouseDownOnMenu);
      if (done()) return;
    }
  } else if (AExecuteSelected) {
    RootView->ExecuteSelected(!FromMSAA);
    if (done()) return;
  }

  bool first = true;
  for (;;) {
    if (GetCapture() != wnd_) {
      RootView->CancelCapture();
      return;
    }
    if (!first) WaitMessage();
    first = false;
    MSG msg;
    while (GetCapture() == wnd_ && PeekMessageW(&msg, 0, 0, 0, PM_NOREMOVE)) {
      if (msg.message == WM_QUIT) {
        // Leave the quit message for the application's own loop.
        PeekMessageW(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE);
        PostQuitMessage(static_cast<int>(msg.wParam));
        RootView->EndModal();
        return;
      }
      bool isPress = msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK ||
                     msg.message == WM_RBUTTONDOWN || msg.message == WM_RBUTTONDBLCLK ||
                     msg.message == WM_NCLBUTTONDOWN || msg.message == WM_NCRBUTTONDOWN;
      if (isPress) {
        POINT p = msg.pt;
        HWND target = WindowFromPoint(p);
        TBarView* inChain = ViewOfWindow(RootView, target);
        // Any pop-up window of the chain, a chevron's list too (whose view
        // counts as a toolbar's).
        bool handledNormally = inChain && dynamic_cast<TBarPopupWindow*>(inChain->Window);
        if (!handledNormally) {
          if (RootView->IsPopup) return;
          HWND rootWnd = RootView->Window && RootView->Window->HandleAllocated()
                             ? RootView->Window->GetHandle()
                             : nullptr;
          if (target != rootWnd) return;
          POINT cp = p;
          ::ScreenToClient(rootWnd, &cp);
          RECT cr;
          GetClientRect(rootWnd, &cr);
          if (!PtInRect(&cr, cp)) return;
          if (msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) {
            UpdateAllSelections(RootView, &p, true);
            TBarItemViewer* sel = RootView->GetSelected();
            if (!(sel && RootView->MouseOverSelected &&
                  !sel->Item->GetItemStyle().Contains(tbisClicksTransparent)))
              return;
          }
        }
      }
      if (!PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) break;
      switch (msg.message) {
        case WM_TIMER: {
          TBarView* tv = ViewOfWindow(RootView, msg.hwnd);
          if (tv && tv->IsPopup && msg.wParam >= BarViewTimerBase && msg.wParam <= BarViewTimerBase + 3) {
            switch (static_cast<TBarViewTimerID>(msg.wParam - BarViewTimerBase)) {
              case tiOpen:
                tv->StopTimer(tiOpen);
                tv->CloseChildPopups();
                tv->OpenChildPopup(false);
                break;
              case tiClose:
                tv->StopTimer(tiClose);
                tv->CloseChildPopups();
                break;
              case tiScrollUp:
                if (tv->ShowUpArrow)
                  tv->Scroll(false);
                else
                  tv->StopTimer(tiScrollUp);
                break;
              case tiScrollDown:
                if (tv->ShowDownArrow)
                  tv->Scroll(true);
                else
                  tv->StopTimer(tiScrollDown);
                break;
            }
          } else {
            DispatchMessageW(&msg);
          }
          break;
        }
        case 0x4D:  // WM_KEYF1
        case WM_CONTEXTMENU:
        case 0x118:
          break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_SYSCHAR:
        case WM_DEADCHAR:
        case WM_SYSDEADCHAR: {
          BarCancelHint();
          bool buttonDown = GetKeyState(VK_LBUTTON) < 0 || (TrackRightButton && GetKeyState(VK_RBUTTON) < 0);
          if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
            WORD key = static_cast<WORD>(msg.wParam);
            if (key == VK_PROCESSKEY) key = static_cast<WORD>(ImmGetVirtualKey(msg.hwnd));
            if (!buttonDown || key == VK_F1) {
              TBarView* active = ActiveView(RootView);
              TBarShift shift = 0;
              if (GetKeyState(VK_SHIFT) < 0) shift |= barShiftShift;
              if (GetKeyState(VK_CONTROL) < 0) shift |= barShiftCtrl;
              if (msg.lParam & 0x20000000) shift |= barShiftAlt;
              if (TBarItemViewer* sel = active->GetSelected()) {
                sel->KeyDown(key, shift);
                if (done()) return;
              }
              if (key != 0) active->KeyDown(key, shift);
              if (done()) return;
            }
            if (key != 0) TranslateMessage(&msg);
          } else if ((msg.message == WM_CHAR || msg.message == WM_SYSCHAR) && !buttonDown) {
            TBarView* active = ActiveView(RootView);
            wchar_t ch = static_cast<wchar_t>(msg.wParam);
            bool only = false;
            TBarItemViewer* v = active->NextSelectableWithAccel(active->GetSelected(), ch, false, only);
            if (v) {
              active->SetSelected(v);
              active->ScrollSelectedIntoView();
              if (only) active->ExecuteSelected(true);
            } else if ((ch == L' ' || ch == L'-') && active == RootView && RootView->IsToolbar &&
                       GetActiveWindow()) {
              RootView->EndModalWithSystemMenu(GetActiveWindow(), ch);
            } else {
              MessageBeep(0);
            }
          }
          break;
        }
        case WM_MOUSEMOVE: {
          POINT p = msg.pt;
          if (p.x != BarLastMousePos.x || p.y != BarLastMousePos.y) {
            BarLastMousePos = p;
            MouseMoved(RootView);
          }
          TBarView* tv = nullptr;
          if (TBarItemViewer* t = FindTargetViewer(RootView, tv)) {
            POINT vp = t->ScreenToClient(p);
            t->MouseMove(vp.x, vp.y);
          }
          break;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: {
          bool right = msg.message == WM_RBUTTONDOWN || msg.message == WM_RBUTTONDBLCLK;
          if (right && !TrackRightButton) break;
          BarCancelHint();
          MouseDownOnMenu = false;
          RootView->State -= vsIgnoreFirstMouseUp;
          POINT p = msg.pt;
          UpdateAllSelections(RootView, &p, true);
          TBarView* tv = nullptr;
          if (TBarItemViewer* t = FindTargetViewer(RootView, tv)) {
            POINT vp = t->ScreenToClient(p);
            TBarShift shift = (msg.message == WM_LBUTTONDBLCLK || msg.message == WM_RBUTTONDBLCLK)
                                  ? barShiftDouble
                                  : 0;
            t->MouseDown(shift, vp.x, vp.y, MouseDownOnMenu);
          }
          BarLastMousePos = p;
          break;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP: {
          if (msg.message == WM_RBUTTONUP && !TrackRightButton) break;
          POINT p = msg.pt;
          UpdateAllSelections(RootView, &p, false);
          TBarView* tv = nullptr;
          if (TBarItemViewer* t = FindTargetViewer(RootView, tv)) {
            POINT vp = t->ScreenToClient(p);
            t->MouseUp(vp.x, vp.y, MouseDownOnMenu);
          } else {
            // A release beside every item ends the loop over the root
            // toolbar or outside every view of the chain; over a pop-up's
            // frame the menu stays open.
            HWND w = WindowFromPoint(p);
            TBarView* under = ViewOfWindow(RootView, w);
            if ((under == RootView || !under) && (RootView->IsToolbar || !under)) {
              if (RootView->State.Contains(vsIgnoreFirstMouseUp))
                RootView->State -= vsIgnoreFirstMouseUp;
              else
                RootView->EndModal();
            }
          }
          break;
        }
        case WM_MOUSEWHEEL: {
          TBarView* tv = nullptr;
          if (TBarItemViewer* t = FindTargetViewer(RootView, tv)) {
            POINT vp = t->ScreenToClient(msg.pt);
            t->MouseWheel(GET_WHEEL_DELTA_WPARAM(msg.wParam), vp.x, vp.y);
          }
          break;
        }
        default:
          if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) break;
          DispatchMessageW(&msg);
          break;
      }
      if (done()) return;
      if (BarLastMousePos.x == INT_MIN) {
        DWORD mp = GetMessagePos();
        BarLastMousePos = POINT{static_cast<short>(LOWORD(mp)), static_cast<short>(HIWORD(mp))};
        MouseMoved(RootView);
      }
      // The hint of the deepest selection.
      String hint;
      for (TBarView* v = RootView; v; v = v->OpenViewerView)
        if (v->GetSelected()) hint = GetLongHint(v->GetSelected()->Item->GetHint());
      if (hint != BarCurrentMenuHint) {
        BarCurrentMenuHint = hint;
        if (Application) Application->SetHint(hint);
      }
    }
  }
}

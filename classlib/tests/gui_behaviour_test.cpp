// Behaviour of controls and forms: mouse and keyboard routing, windowless
// painting, focus and tab order, pop-up menu hook, form styles and
// placement, closing, more drawing and list-view queries.
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "classlib/tests/gui_support.h"

using namespace guitest;

namespace {

std::unique_ptr<TForm> Plain(int w = 300, int h = 200) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBorderStyle(bsNone);
  f->SetBounds(40, 40, w, h);
  return f;
}

LPARAM XY(int x, int y) { return MAKELPARAM(x, y); }

}  // namespace

// --- mouse --------------------------------------------------------------------

TEST(GuiMouse, EventsCarryButtonsShiftStateAndClicks) {
  auto f = Plain();
  auto* p = new TPanel(f.get());
  p->SetParent(f.get());
  p->SetBounds(0, 0, 100, 100);
  std::vector<String> log;
  p->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    log.push_back(L"down" + std::to_wstring(int(b)) + (s.Contains(ssShift) ? L"S" : L"") +
                  (s.Contains(ssCtrl) ? L"C" : L"") + (s.Contains(ssLeft) ? L"L" : L"") +
                  (s.Contains(ssDouble) ? L"D" : L"") + L"@" + std::to_wstring(x) + L"," + std::to_wstring(y));
  };
  p->OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) { log.push_back(L"up" + std::to_wstring(int(b))); };
  p->OnClick = [&](TObject*) { log.push_back(L"click"); };
  p->OnDblClick = [&](TObject*) { log.push_back(L"dbl"); };
  HWND h = p->GetHandle();
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT | MK_CONTROL, XY(5, 7));
  SendMessageW(h, WM_LBUTTONUP, 0, XY(5, 7));
  SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, XY(6, 6));
  SendMessageW(h, WM_LBUTTONUP, 0, XY(6, 6));
  // Released outside the control: no click.
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, XY(5, 5));
  SendMessageW(h, WM_LBUTTONUP, 0, XY(500, 5));
  SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, XY(1, 2));
  SendMessageW(h, WM_RBUTTONUP, 0, XY(1, 2));
  // Click comes before the button-up event; a double click is no click.
  std::vector<String> want{L"down0SCL@5,7", L"click", L"up0",      L"dbl", L"down0LD@6,6", L"up0",
                           L"down0L@5,5",   L"up0",   L"down1@1,2", L"up1"};
  EXPECT_EQ(want, log);
}

TEST(GuiMouse, WindowlessControlsGetTheirOwnCoordinatesAndKeepTheCapture) {
  auto f = Plain();
  auto* box = new TPaintBox(f.get());
  box->SetParent(f.get());
  box->SetBounds(50, 40, 60, 30);
  auto* under = new TPaintBox(f.get());
  under->SetParent(f.get());
  under->SetBounds(0, 0, 300, 200);
  under->SendToBack();
  std::vector<String> log;
  box->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    log.push_back(L"down " + std::to_wstring(x) + L"," + std::to_wstring(y));
  };
  box->OnMouseMove = [&](TObject*, TShiftState, int x, int y) {
    log.push_back(L"move " + std::to_wstring(x) + L"," + std::to_wstring(y));
  };
  box->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    log.push_back(L"up " + std::to_wstring(x) + L"," + std::to_wstring(y));
  };
  under->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back(L"under"); };
  f->Show();
  HWND h = f->GetHandle();
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, XY(55, 45));
  // Moving off the box while the button is down still reports to it.
  SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, XY(150, 100));
  SendMessageW(h, WM_LBUTTONUP, 0, XY(150, 100));
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, XY(10, 10));
  SendMessageW(h, WM_LBUTTONUP, 0, XY(10, 10));
  std::vector<String> want{L"down 5,5", L"move 100,60", L"up 100,60", L"under"};
  EXPECT_EQ(want, log);
  EXPECT_EQ(box, f->ControlAtPos(Point(55, 45), false));
  EXPECT_EQ(under, f->ControlAtPos(Point(5, 5), false));
  box->SetEnabled(false);
  EXPECT_EQ(under, f->ControlAtPos(Point(55, 45), false));
  EXPECT_EQ(box, f->ControlAtPos(Point(55, 45), true));
}

TEST(GuiPaint, WindowlessControlsPaintAtTheirPlaceClippedToTheirBounds) {
  auto f = Plain(200, 150);
  f->SetColor(clWhite);
  auto* pb = new TPaintBox(f.get());
  pb->SetParent(f.get());
  pb->SetBounds(30, 20, 10, 10);
  pb->OnPaint = [&](TObject*) {
    pb->Canvas()->Brush()->SetColor(clRed);
    pb->Canvas()->FillRect(Rect(0, 0, 100, 100));  // larger than the box
  };
  f->Show();
  SetForegroundWindow(f->GetHandle());
  RedrawWindow(f->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  // Read back what reached the window, through a copy of its client area.
  TBitmap shot(200, 150, pf32bit);
  HDC dc = GetDC(f->GetHandle());
  BitBlt(shot.CanvasDC(), 0, 0, 200, 150, dc, 0, 0, SRCCOPY);
  ReleaseDC(f->GetHandle(), dc);
  EXPECT_EQ(clRed, shot.Canvas()->GetPixel(30, 20));
  EXPECT_EQ(clRed, shot.Canvas()->GetPixel(39, 29));
  EXPECT_EQ(clWhite, shot.Canvas()->GetPixel(40, 29));
  EXPECT_EQ(clWhite, shot.Canvas()->GetPixel(35, 30));
  EXPECT_EQ(clWhite, shot.Canvas()->GetPixel(29, 25));
}

// --- keyboard and focus --------------------------------------------------------

TEST(GuiFocus, TabMovesThroughFocusableControlsInTabOrder) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(60, 60, 300, 200);
  TEdit* e[4];
  for (int i = 0; i < 4; ++i) {
    e[i] = new TEdit(f.get());
    e[i]->SetParent(f.get());
    e[i]->SetTop(i * 30);
  }
  e[2]->SetEnabled(false);   // skipped
  e[3]->SetTabOrder(0);      // first now
  std::vector<String> entered;
  for (int i = 0; i < 4; ++i)
    e[i]->OnEnter = [&entered, i](TObject*) { entered.push_back(L"e" + std::to_wstring(i)); };
  EXPECT_EQ(0, e[3]->GetTabOrder());
  EXPECT_EQ(1, e[0]->GetTabOrder());
  f->Show();
  SetForegroundWindow(f->GetHandle());
  Pump(50);
  f->FocusControl(e[3]);
  Pump(20);
  EXPECT_EQ(e[3], f->GetActiveControl());
  auto tab = [&](bool back) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = back ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
    Pump(30);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  };
  tab(false);
  EXPECT_EQ(e[0], f->GetActiveControl());
  tab(false);
  EXPECT_EQ(e[1], f->GetActiveControl());
  tab(false);  // e2 is disabled: round to e3
  EXPECT_EQ(e[3], f->GetActiveControl());
  tab(true);
  EXPECT_EQ(e[1], f->GetActiveControl());
  ASSERT_GE(entered.size(), 4u);
  EXPECT_EQ(L"e1", entered.back());
  EXPECT_TRUE(std::find(entered.begin(), entered.end(), L"e2") == entered.end());
  // A hidden control cannot take the focus.
  e[0]->SetVisible(false);
  EXPECT_FALSE(e[0]->CanFocus());
  EXPECT_THROW(f->SetActiveControl(e[0]), EInvalidOperation);
  EXPECT_EQ(e[1], f->GetActiveControl());
}

// Hidden windowed controls get their windows when first shown; shown
// later, they take their designed place in the tab order and the z-order.
TEST(GuiFocus, AHiddenControlGetsItsWindowWhenShownInItsDesignedPlace) {
  // Three edits stacked at the same place (so the z-order decides which is
  // seen), the middle one hidden; the same form with all three shown is the
  // reference.
  auto make = [](bool hideMiddle, TEdit* (&e)[3]) {
    std::unique_ptr<TForm> f(new TForm(Application));
    f->SetBounds(60, 60, 300, 200);
    for (int i = 0; i < 3; ++i) {
      e[i] = new TEdit(f.get());
      e[i]->SetVisible(!(hideMiddle && i == 1));
      e[i]->SetParent(f.get());
      e[i]->SetBounds(10, 10 + 4 * i, 120, 24);
    }
    return f;
  };
  auto zOrder = [](TForm* f, TEdit* (&e)[3]) {
    String order;
    for (HWND w = GetWindow(f->GetHandle(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
      for (int i = 0; i < 3; ++i)
        if (e[i]->HandleAllocated() && e[i]->GetHandle() == w) order += wchar_t(L'a' + i);
    return order;
  };
  TEdit* r[3];
  auto ref = make(false, r);
  ref->Show();
  const String designed = zOrder(ref.get(), r);
  ASSERT_EQ(3u, designed.size());

  TEdit* e[3];
  auto f = make(true, e);
  f->Show();
  SetForegroundWindow(f->GetHandle());
  ASSERT_TRUE(e[0]->HandleAllocated());
  EXPECT_FALSE(e[1]->HandleAllocated());
  EXPECT_TRUE(e[2]->HandleAllocated());
  e[1]->Show();
  ASSERT_TRUE(e[1]->HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(e[1]->GetHandle()));
  EXPECT_EQ(designed, zOrder(f.get(), e));
  // Tab goes a -> b -> c with real keys.
  f->FocusControl(e[0]);
  ASSERT_TRUE(PumpUntil([&] { return e[0]->Focused(); }));
  PressKey(VK_TAB);
  EXPECT_TRUE(PumpUntil([&] { return e[1]->Focused(); }));
  PressKey(VK_TAB);
  EXPECT_TRUE(PumpUntil([&] { return e[2]->Focused(); }));

  // A hidden container's children get their windows with it.
  auto* panel = new TPanel(f.get());
  panel->SetVisible(false);
  panel->SetParent(f.get());
  panel->SetBounds(150, 10, 100, 100);
  auto* inner = new TEdit(f.get());
  inner->SetParent(panel);
  auto* innerHidden = new TEdit(f.get());
  innerHidden->SetVisible(false);
  innerHidden->SetParent(panel);
  EXPECT_FALSE(panel->HandleAllocated());
  EXPECT_FALSE(inner->HandleAllocated());
  panel->Show();
  ASSERT_TRUE(inner->HandleAllocated());
  EXPECT_EQ(panel->GetHandle(), GetParent(inner->GetHandle()));
  EXPECT_TRUE(IsWindowVisible(inner->GetHandle()));
  EXPECT_FALSE(innerHidden->HandleAllocated());
  // Asked for, a hidden control's window is made (and stays hidden).
  HWND h = innerHidden->GetHandle();
  ASSERT_TRUE(h != nullptr);
  EXPECT_EQ(panel->GetHandle(), GetParent(h));
  EXPECT_FALSE(IsWindowVisible(h));
  innerHidden->Show();
  EXPECT_EQ(h, innerHidden->GetHandle());
  EXPECT_TRUE(IsWindowVisible(h));
}

TEST(GuiFocus, ExitAndEnterFollowTheFocus) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(60, 60, 300, 200);
  auto* a = new TEdit(f.get());
  a->SetParent(f.get());
  auto* b = new TEdit(f.get());
  b->SetParent(f.get());
  b->SetTop(40);
  std::vector<String> log;
  a->OnEnter = [&](TObject*) { log.push_back(L"enter a"); };
  a->OnExit = [&](TObject*) { log.push_back(L"exit a"); };
  b->OnEnter = [&](TObject*) { log.push_back(L"enter b"); };
  f->SetActiveControl(a);
  f->Show();
  SetForegroundWindow(f->GetHandle());
  Pump(50);
  EXPECT_TRUE(a->Focused());
  b->SetFocus();
  Pump(20);
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(b, Screen->GetActiveControl());
  std::vector<String> want{L"enter a", L"exit a", L"enter b"};
  EXPECT_EQ(want, log);
  // Freeing the focused control leaves no dangling active control, and it
  // leaves the tab order.
  delete b;
  EXPECT_EQ(nullptr, f->GetActiveControl());
  std::vector<TWinControl*> order;
  f->GetTabOrderList(order);
  ASSERT_EQ(1u, order.size());
  EXPECT_EQ(a, order[0]);
  EXPECT_EQ(1, f->ControlCount());
  EXPECT_EQ(a, f->FindNextControl(nullptr, true, true, false));
}

// --- pop-up menu hook -----------------------------------------------------------

namespace {

class RecordingMenu : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  std::vector<TPoint> shownAt;
  void Popup(int x, int y) override {
    shownAt.push_back(Point(x, y));
    TPopupMenu::Popup(x, y);
  }
};

}  // namespace

TEST(GuiPopupMenu, ContextMenuRequestsOpenTheControlsMenu) {
  auto f = Plain();
  auto* p = new TPanel(f.get());
  p->SetParent(f.get());
  p->SetBounds(10, 10, 100, 100);
  auto* inner = new TPanel(f.get());
  inner->SetParent(p);
  inner->SetBounds(10, 10, 50, 50);
  RecordingMenu menu(f.get());
  int popups = 0;
  menu.OnPopup = [&](TObject*) { ++popups; };
  p->SetPopupMenu(&menu);
  f->Show();
  // The inner panel has no menu of its own: its parent's is used.
  TPoint at = inner->ClientToScreen(Point(3, 4));
  SendMessageW(inner->GetHandle(), WM_CONTEXTMENU, WPARAM(inner->GetHandle()), XY(at.x, at.y));
  ASSERT_EQ(1u, menu.shownAt.size());
  EXPECT_EQ(at, menu.shownAt[0]);
  EXPECT_EQ(inner, menu.GetPopupComponent());
  EXPECT_EQ(1, popups);
  // From the keyboard (-1,-1): at the control's corner.
  SendMessageW(p->GetHandle(), WM_CONTEXTMENU, WPARAM(p->GetHandle()), XY(-1, -1));
  ASSERT_EQ(2u, menu.shownAt.size());
  EXPECT_EQ(p->ClientToScreen(Point(0, 0)), menu.shownAt[1]);
  // OnContextPopup can take the request; AutoPopup off keeps the menu shut.
  p->OnContextPopup = [](TObject*, TPoint, bool& handled) { handled = true; };
  SendMessageW(p->GetHandle(), WM_CONTEXTMENU, WPARAM(p->GetHandle()), XY(at.x, at.y));
  p->OnContextPopup = nullptr;
  menu.SetAutoPopup(false);
  SendMessageW(p->GetHandle(), WM_CONTEXTMENU, WPARAM(p->GetHandle()), XY(at.x, at.y));
  EXPECT_EQ(2u, menu.shownAt.size());
  // A menu freed before its control is forgotten by the control.
  p->SetPopupMenu(nullptr);
}

// --- forms ----------------------------------------------------------------------

TEST(GuiForms, BorderStylesIconsAndStayOnTopReachTheWindow) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(10, 10, 200, 100);
  f->HandleNeeded();
  LONG s = GetWindowLongW(f->GetHandle(), GWL_STYLE);
  EXPECT_TRUE(s & WS_THICKFRAME);
  EXPECT_TRUE(s & WS_MAXIMIZEBOX);
  f->SetBorderStyle(bsDialog);
  s = GetWindowLongW(f->GetHandle(), GWL_STYLE);
  LONG ex = GetWindowLongW(f->GetHandle(), GWL_EXSTYLE);
  EXPECT_FALSE(s & WS_THICKFRAME);
  EXPECT_FALSE(s & WS_MAXIMIZEBOX);
  EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
  f->SetBorderStyle(bsToolWindow);
  EXPECT_TRUE(GetWindowLongW(f->GetHandle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  f->SetBorderStyle(bsSingle);
  f->SetBorderIcons(TBorderIcons{biSystemMenu});
  s = GetWindowLongW(f->GetHandle(), GWL_STYLE);
  EXPECT_TRUE(s & WS_SYSMENU);
  EXPECT_FALSE(s & WS_MINIMIZEBOX);
  f->SetFormStyle(fsStayOnTop);
  EXPECT_TRUE(GetWindowLongW(f->GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  f->SetFormStyle(fsNormal);
  EXPECT_FALSE(GetWindowLongW(f->GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  f->SetCaption(L"Caption \u00e9");
  wchar_t buf[64];
  GetWindowTextW(f->GetHandle(), buf, 64);
  EXPECT_EQ(String(L"Caption \u00e9"), buf);
}

TEST(GuiForms, PlacementConstraintsAndWindowState) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(0, 0, 300, 200);
  f->SetPosition(poScreenCenter);
  f->Constraints()->Set(200, 150, 0, 0);
  f->Show();
  TRect work = Screen->GetWorkAreaRect();
  EXPECT_NEAR(work.left + (RectWidth(work) - 300) / 2, f->GetLeft(), 1);
  EXPECT_NEAR(work.top + (RectHeight(work) - 200) / 2, f->GetTop(), 1);
  MINMAXINFO mm{};
  SendMessageW(f->GetHandle(), WM_GETMINMAXINFO, 0, LPARAM(&mm));
  EXPECT_EQ(200, mm.ptMinTrackSize.x);
  EXPECT_EQ(150, mm.ptMinTrackSize.y);
  f->SetBounds(f->GetLeft(), f->GetTop(), 50, 50);
  EXPECT_EQ(200, f->GetWidth());
  EXPECT_EQ(150, f->GetHeight());

  f->SetWindowState(wsMaximized);
  Pump(50);
  EXPECT_EQ(wsMaximized, f->GetWindowState());
  f->SetWindowState(wsNormal);
  Pump(50);
  EXPECT_EQ(wsNormal, f->GetWindowState());
  f->Hide();
  EXPECT_FALSE(IsWindowVisible(f->GetHandle()));
  f->Show();
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));

  // A dialog centred on the main form.
  std::unique_ptr<TForm> d(new TForm(Application));
  d->SetBounds(0, 0, 100, 80);
  d->SetPosition(poMainFormCenter);
  TCustomForm* m = Application->MainForm();
  m->SetBounds(100, 100, 400, 300);
  m->Show();
  d->Show();
  EXPECT_EQ(100 + (400 - 100) / 2, d->GetLeft());
  EXPECT_EQ(100 + (300 - 80) / 2, d->GetTop());
  m->Hide();
}

// A state set while OnShow runs is applied by the show: the window
// appears once, already in it, after OnShow; a state the shown window
// already has changes nothing.
TEST(GuiForms, AStateSetInOnShowAppearsOnceAndTheSameStateIsNoChange) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(20, 20, 300, 200);
  HWND h = f->GetHandle();
  int shows = 0, moves = 0;
  bool zoomedWhenShown = false;
  TWndMethod old = f->WindowProc;
  f->WindowProc = TWndMethod([&](TMessage& m) {
    if (m.Msg == WM_WINDOWPOSCHANGED) {
      const auto* wp = reinterpret_cast<const WINDOWPOS*>(m.LParam);
      if (wp->flags & SWP_SHOWWINDOW) {
        ++shows;
        zoomedWhenShown = IsZoomed(h) != FALSE;
      }
      ++moves;
    }
    old(m);
  });
  bool visibleInOnShow = true;
  int widthInOnShow = 0;
  f->OnShow = [&](TObject*) {
    f->SetWindowState(wsMaximized);
    visibleInOnShow = IsWindowVisible(h) != FALSE;
    widthInOnShow = f->GetClientWidth();  // the rest of OnShow sees the maximised layout
  };
  f->Show();
  Pump(20);
  EXPECT_FALSE(visibleInOnShow);
  EXPECT_EQ(f->GetClientWidth(), widthInOnShow);
  EXPECT_GT(widthInOnShow, 300);
  EXPECT_EQ(1, shows);
  EXPECT_TRUE(zoomedWhenShown);
  EXPECT_TRUE(IsZoomed(h));
  EXPECT_EQ(wsMaximized, f->GetWindowState());

  f->OnShow = nullptr;
  moves = 0;
  f->SetWindowState(wsMaximized);
  Pump(20);
  EXPECT_EQ(0, moves);
  f->SetWindowState(wsNormal);
  EXPECT_FALSE(IsZoomed(h));
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_EQ(300, f->GetWidth());
  EXPECT_EQ(200, f->GetHeight());
  // Hidden, the state is kept for the next show.
  f->Hide();
  f->SetWindowState(wsMaximized);
  EXPECT_FALSE(IsWindowVisible(h));
  f->Show();
  EXPECT_TRUE(IsZoomed(h));
  f->WindowProc = old;
}

TEST(GuiForms, CloseActionsOfAModelessForm) {
  auto* f = new TForm(Application);
  f->SetBounds(10, 10, 100, 100);
  std::vector<String> log;
  TCloseAction next = caHide;
  bool allow = true;
  f->OnCloseQuery = [&](TObject*, bool& can) {
    log.push_back(L"query");
    can = allow;
  };
  f->OnClose = [&](TObject*, TCloseAction& a) {
    log.push_back(L"close");
    a = next;
  };
  f->OnShow = [&](TObject*) { log.push_back(L"show"); };
  f->OnHide = [&](TObject*) { log.push_back(L"hide"); };
  bool destroyed = false;
  f->OnDestroy = [&](TObject*) { destroyed = true; };
  f->Show();
  allow = false;
  f->Close();
  EXPECT_TRUE(f->GetVisible());
  allow = true;
  next = caNone;
  f->Close();
  EXPECT_TRUE(f->GetVisible());
  next = caHide;
  SendMessageW(f->GetHandle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(f->GetVisible());
  f->Show();
  next = caFree;
  f->Close();  // freed later, from the queue
  EXPECT_FALSE(destroyed);
  EXPECT_TRUE(PumpUntil([&] { return destroyed; }, 2000));
  std::vector<String> want{L"show",  L"query", L"query", L"close", L"query", L"close",
                           L"hide",  L"show",  L"query", L"close"};
  EXPECT_EQ(want, log);
}

TEST(GuiForms, ActiveFormFollowsActivation) {
  std::unique_ptr<TForm> a(new TForm(Application));
  a->SetBounds(10, 10, 150, 100);
  std::unique_ptr<TForm> b(new TForm(Application));
  b->SetBounds(200, 10, 150, 100);
  int activations = 0;
  b->OnActivate = [&](TObject*) { ++activations; };
  a->Show();
  b->Show();
  SendMessageW(b->GetHandle(), WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(b.get(), Screen->GetActiveForm());
  EXPECT_TRUE(b->GetActive());
  EXPECT_GE(activations, 1);
  EXPECT_EQ(b.get(), Screen->Forms(0));
  SendMessageW(b->GetHandle(), WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_FALSE(b->GetActive());
}

// --- controls -------------------------------------------------------------------

TEST(GuiControls, ParentsVisibilityEnablingAndCoordinates) {
  auto f = Plain(300, 200);
  auto* p = new TPanel(f.get());
  p->SetParent(f.get());
  p->SetBounds(20, 30, 200, 100);
  auto* e = new TEdit(f.get());
  e->SetParent(p);
  e->SetBounds(5, 6, 80, 20);
  f->Show();
  EXPECT_TRUE(e->Showing());
  EXPECT_EQ(p->GetHandle(), GetParent(e->GetHandle()));
  TPoint s = e->ClientToScreen(Point(1, 2));
  TPoint fs = f->ClientToScreen(Point(0, 0));
  RECT wr;
  GetWindowRect(e->GetHandle(), &wr);
  POINT cp{1, 2};
  ClientToScreen(e->GetHandle(), &cp);
  EXPECT_EQ(cp.x, s.x);
  EXPECT_EQ(cp.y, s.y);
  EXPECT_EQ(Point(1, 2), e->ScreenToClient(s));
  EXPECT_GE(s.x, fs.x + 25);

  p->SetVisible(false);
  EXPECT_FALSE(e->Showing());
  EXPECT_FALSE(IsWindowVisible(e->GetHandle()));
  p->SetVisible(true);
  p->SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(p->GetHandle()));
  EXPECT_FALSE(e->CanFocus());
  p->SetEnabled(true);

  // Taken off its parent, a control keeps its text and gets a window again
  // on its new parent.
  e->SetText(L"kept");
  e->SetParent(nullptr);
  EXPECT_FALSE(e->HandleAllocated());
  EXPECT_EQ(L"kept", e->GetText());
  e->SetParent(f.get());
  EXPECT_EQ(f->GetHandle(), GetParent(e->GetHandle()));
  EXPECT_EQ(L"kept", e->GetText());
  // Control messages nobody handles answer 0 (and never reach the system).
  EXPECT_EQ(0, e->Perform(0xB7D0));
  EXPECT_THROW(p->SetParent(p), EInvalidOperation);
}

TEST(GuiControls, ScreenCursorOverridesControlCursors) {
  auto f = Plain();
  auto* p = new TPanel(f.get());
  p->SetParent(f.get());
  p->SetBounds(0, 0, 100, 100);
  p->SetCursor(crHandPoint);
  f->Show();
  TPoint at = p->ClientToScreen(Point(10, 10));
  SetCursorPos(at.x, at.y);
  LPARAM l = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
  EXPECT_EQ(1, SendMessageW(p->GetHandle(), WM_SETCURSOR, WPARAM(p->GetHandle()), l));
  EXPECT_EQ(Screen->Cursors(crHandPoint), GetCursor());
  Screen->SetCursor(crHourGlass);
  SendMessageW(p->GetHandle(), WM_SETCURSOR, WPARAM(p->GetHandle()), l);
  EXPECT_EQ(Screen->Cursors(crHourGlass), GetCursor());
  Screen->SetCursor(crDefault);
  SetCursorPos(0, 0);
}

// --- drawing ----------------------------------------------------------------------

TEST(GuiGraphics, ShapesPensBrushesAndCopies) {
  TBitmap b(50, 50, pf32bit);
  TCanvas* c = b.Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 50, 50));
  // A clear brush leaves the inside alone; a clear pen draws no outline.
  c->Brush()->SetStyle(bsClear);
  c->Pen()->SetColor(clRed);
  c->Rectangle(0, 0, 10, 10);
  EXPECT_EQ(clRed, c->GetPixel(0, 0));
  EXPECT_EQ(clWhite, c->GetPixel(5, 5));
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(clBlue);
  c->Pen()->SetStyle(psClear);
  c->Rectangle(20, 20, 30, 30);
  EXPECT_EQ(clBlue, c->GetPixel(25, 25));
  c->Pen()->SetStyle(psSolid);
  // Polygon fills with the brush.
  std::vector<TPoint> tri{Point(0, 40), Point(10, 40), Point(0, 49)};
  c->Brush()->SetColor(clLime);
  c->Pen()->SetColor(clLime);
  c->Polygon(tri);
  EXPECT_EQ(clLime, c->GetPixel(2, 42));
  EXPECT_EQ(clWhite, c->GetPixel(9, 48));
  // Xor pen mode inverts twice back to the original.
  c->Pen()->SetMode(pmXor);
  c->Pen()->SetColor(clWhite);
  c->MoveTo(40, 0);
  c->LineTo(40, 10);
  EXPECT_EQ(clBlack, c->GetPixel(40, 5));
  c->MoveTo(40, 0);
  c->LineTo(40, 10);
  EXPECT_EQ(clWhite, c->GetPixel(40, 5));
  c->Pen()->SetMode(pmCopy);
  // CopyRect and StretchDraw scale.
  TBitmap small(2, 2, pf32bit);
  small.Canvas()->SetPixel(0, 0, clRed);
  small.Canvas()->SetPixel(1, 0, clGreen);
  small.Canvas()->SetPixel(0, 1, clBlue);
  small.Canvas()->SetPixel(1, 1, clYellow);
  c->StretchDraw(Rect(10, 10, 20, 20), &small);
  EXPECT_EQ(clRed, c->GetPixel(12, 12));
  EXPECT_EQ(clYellow, c->GetPixel(18, 18));
  TBitmap copy(10, 10, pf32bit);
  copy.Canvas()->CopyRect(Rect(0, 0, 10, 10), c, Rect(10, 10, 20, 20));
  EXPECT_EQ(clGreen, copy.Canvas()->GetPixel(8, 1));
  // Clip rectangle of a bitmap canvas is the whole bitmap.
  EXPECT_EQ(Rect(0, 0, 50, 50), c->GetClipRect());
  // Changing the font while selected takes effect on the next text.
  c->Font()->SetSize(8);
  int w8 = c->TextWidth(L"MMMM");
  c->Font()->SetSize(16);
  EXPECT_GT(c->TextWidth(L"MMMM"), w8);
}

TEST(GuiGraphics, CanvasLockSerialisesThreads) {
  TBitmap b(4, 4, pf32bit);
  TCanvas* c = b.Canvas();
  c->Lock();
  std::atomic<bool> got{false};
  std::thread t([&] {
    got = c->TryLock();
    if (got) c->Unlock();
  });
  t.join();
  EXPECT_FALSE(got);
  EXPECT_EQ(1, c->LockCount());
  c->Unlock();
  std::thread t2([&] {
    got = c->TryLock();
    if (got) c->Unlock();
  });
  t2.join();
  EXPECT_TRUE(got);
}

TEST(GuiGraphics, IconsAndPictures) {
  TIcon icon;
  icon.SetHandle(static_cast<HICON>(CopyImage(LoadIconW(nullptr, IDI_APPLICATION), IMAGE_ICON, 0, 0, 0)));
  EXPECT_FALSE(icon.Empty());
  EXPECT_GT(icon.GetWidth(), 0);
  TBitmap dest(64, 64, pf32bit);
  dest.Canvas()->Brush()->SetColor(clWhite);
  dest.Canvas()->FillRect(Rect(0, 0, 64, 64));
  dest.Canvas()->Draw(0, 0, &icon);
  int changed = 0;
  for (int y = 0; y < icon.GetHeight(); ++y)
    for (int x = 0; x < icon.GetWidth(); ++x) changed += dest.Canvas()->GetPixel(x, y) != clWhite;
  EXPECT_GT(changed, 0);

  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  TBitmap bmp(5, 6, pf24bit);
  pic.SetGraphic(&bmp);
  EXPECT_EQ(5, pic.GetWidth());
  EXPECT_EQ(6, pic.GetHeight());
  EXPECT_GE(changes, 1);
  pic.SetGraphic(&icon);
  EXPECT_NE(nullptr, dynamic_cast<TIcon*>(pic.GetGraphic()));
  pic.Clear();
  EXPECT_EQ(0, pic.GetWidth());
}

// --- list view queries ----------------------------------------------------------

TEST(GuiListView, FindInsertAndQueriesWithAndWithoutAWindow) {
  auto f = Plain(300, 200);
  auto* lv = new TListView(f.get());
  lv->SetParent(f.get());
  lv->SetAlign(alClient);
  lv->SetViewStyle(vsReport);
  lv->Columns()->Add()->SetCaption(L"Name");
  std::vector<String> inserted;
  lv->OnInsert = [&](TObject*, TListItem* it) { inserted.push_back(L"#" + std::to_wstring(it->GetIndex())); };
  for (auto s : {L"Alpha", L"Beta", L"Gamma"}) lv->Items()->Add()->SetCaption(s);
  lv->Items()->Insert(1)->SetCaption(L"Between");
  EXPECT_EQ(L"Between", lv->Items()->GetItem(1)->GetCaption());
  EXPECT_EQ(4u, inserted.size());
  int dummy = 7;
  lv->Items()->GetItem(3)->SetData(&dummy);
  // Searching works before and after the window exists.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(lv->Items()->GetItem(2), lv->FindCaption(0, L"beta", false, true, false));
    EXPECT_EQ(lv->Items()->GetItem(3), lv->FindCaption(0, L"gam", true, true, false));
    EXPECT_EQ(nullptr, lv->FindCaption(3, L"alpha", false, false, false));
    EXPECT_EQ(lv->Items()->GetItem(0), lv->FindCaption(3, L"alpha", false, false, true));
    EXPECT_EQ(lv->Items()->GetItem(3), lv->FindData(0, &dummy, true, false));
    EXPECT_EQ(nullptr, lv->GetSelected());
    f->Show();
  }
  EXPECT_THROW(lv->Items()->GetItem(4), EListError);
  EXPECT_THROW(lv->Items()->Insert(9), EListError);
  // Hit testing finds the item under a point.
  TRect r = lv->Items()->GetItem(1)->DisplayRect(drLabel);
  EXPECT_GT(RectHeight(r), 0);
  EXPECT_EQ(lv->Items()->GetItem(1), lv->GetItemAt((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  EXPECT_EQ(nullptr, lv->GetItemAt(r.left + 2, 180));
  // Switching the view keeps the items.
  lv->SetViewStyle(vsList);
  EXPECT_EQ(4, int(SendMessageW(lv->GetHandle(), LVM_GETITEMCOUNT, 0, 0)));
  EXPECT_EQ(LVS_LIST, GetWindowLongW(lv->GetHandle(), GWL_STYLE) & LVS_TYPEMASK);
  lv->SetViewStyle(vsReport);
  // A self-sorting list puts renamed items in place.
  lv->SetSortType(stText);
  EXPECT_EQ(L"Alpha", lv->Items()->GetItem(0)->GetCaption());
  EXPECT_EQ(L"Between", lv->Items()->GetItem(2)->GetCaption());
  lv->BeginUpdate();
  lv->Items()->GetItem(0)->SetCaption(L"Zeta");
  lv->EndUpdate();
  EXPECT_EQ(L"Zeta", lv->Items()->GetItem(3)->GetCaption());
  lv->Columns()->Delete(0);
  EXPECT_EQ(0, lv->Columns()->GetCount());
}

// --- font dialog ------------------------------------------------------------------

namespace {

class ScriptedFontDialog : public TFontDialog {
 public:
  using TFontDialog::TFontDialog;
  String seenFace;
  int seenHeight = 0;
  DWORD seenFlags = 0;

 protected:
  BOOL CallDialog(CHOOSEFONTW& cf) override {
    seenFace = cf.lpLogFont->lfFaceName;
    seenHeight = cf.lpLogFont->lfHeight;
    seenFlags = cf.Flags;
    wcscpy(cf.lpLogFont->lfFaceName, L"Courier New");
    cf.lpLogFont->lfWeight = FW_BOLD;
    cf.rgbColors = RGB(0, 0, 128);
    return TRUE;
  }
};

}  // namespace

TEST(GuiDialogs, FontDialogStartsFromAndReturnsTheFont) {
  ScriptedFontDialog d(nullptr);
  d.Font()->SetName(L"Arial");
  d.Font()->SetSize(12);
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(L"Arial", d.seenFace);
  EXPECT_EQ(-MulDiv(12, d.Font()->GetPixelsPerInch(), 72), d.seenHeight);
  EXPECT_TRUE(d.seenFlags & CF_INITTOLOGFONTSTRUCT);
  EXPECT_TRUE(d.seenFlags & CF_EFFECTS);
  EXPECT_EQ(L"Courier New", d.Font()->GetName());
  EXPECT_TRUE(d.Font()->GetStyle().Contains(fsBold));
  EXPECT_EQ(12, d.Font()->GetSize());
  EXPECT_EQ(clNavy, d.Font()->GetColor());
}

// --- foreign parents and own painting --------------------------------------------

namespace {

class Swatch : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas()->Brush()->SetColor(clBlue);
    Canvas()->FillRect(GetClientRect());
    Canvas()->Brush()->SetColor(clYellow);
    Canvas()->FillRect(Rect(2, 2, 4, 4));
  }
};

}  // namespace

TEST(GuiControls, ParentWindowHostsAControlInAForeignWindow) {
  auto host = Plain(200, 100);
  host->Show();
  HWND foreign = host->GetHandle();
  std::unique_ptr<TEdit> e(new TEdit(nullptr));
  e->SetBounds(5, 5, 100, 20);
  e->SetParentWindow(foreign);
  EXPECT_EQ(foreign, GetParent(e->GetHandle()));
  EXPECT_TRUE(GetWindowLongW(e->GetHandle(), GWL_STYLE) & WS_CHILD);
  EXPECT_EQ(nullptr, e->GetParentForm());
  EXPECT_TRUE(e->Showing());
  e->SetText(L"hosted");
  EXPECT_EQ(L"hosted", e->GetText());
  // Keys still reach it (no form, no dialog keys to steal them).
  e->SetSelStart(6);
  PostMessageW(e->GetHandle(), WM_CHAR, L'!', 0);
  EXPECT_TRUE(PumpUntil([&] { return e->GetText() == L"hosted!"; }, 2000));
  e->SetParentWindow(nullptr);
  EXPECT_FALSE(e->HandleAllocated());
  EXPECT_EQ(L"hosted!", e->GetText());
}

TEST(GuiPaint, CustomControlsPaintThroughTheirCanvas) {
  auto f = Plain(100, 100);
  auto* s = new Swatch(f.get());
  s->SetParent(f.get());
  s->SetBounds(10, 10, 20, 20);
  f->Show();
  SetForegroundWindow(f->GetHandle());
  RedrawWindow(f->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  EXPECT_GE(s->paints, 1);
  TBitmap shot(100, 100, pf32bit);
  HDC dc = GetDC(f->GetHandle());
  BitBlt(shot.CanvasDC(), 0, 0, 100, 100, dc, 0, 0, SRCCOPY);
  ReleaseDC(f->GetHandle(), dc);
  EXPECT_EQ(clBlue, shot.Canvas()->GetPixel(10, 10));
  EXPECT_EQ(clYellow, shot.Canvas()->GetPixel(12, 12));
  EXPECT_EQ(clBlue, shot.Canvas()->GetPixel(29, 29));
  EXPECT_NE(clBlue, shot.Canvas()->GetPixel(30, 30));
  // Outside painting, the canvas draws on the window directly.
  s->Canvas()->Brush()->SetColor(clRed);
  s->Canvas()->FillRect(Rect(0, 0, 1, 1));
  s->Canvas()->Refresh();
  static_cast<TControlCanvas*>(s->Canvas())->FreeHandle();
  dc = GetDC(f->GetHandle());
  EXPECT_EQ(COLORREF(clRed), GetPixel(dc, 10, 10));
  ReleaseDC(f->GetHandle(), dc);
}

// --- lookups, edit changes and image-list watchers ----------------------------

TEST(GuiControls, WindowsMapToTheirControlsWhileTheyLive) {
  auto f = Plain();
  auto* e = new TEdit(f.get());
  e->SetParent(f.get());
  HWND h = e->GetHandle();
  EXPECT_EQ(e, TWinControl::FindControl(h));
  EXPECT_EQ(f.get(), TWinControl::FindControl(f->GetHandle()));
  EXPECT_EQ(nullptr, TWinControl::FindControl(GetDesktopWindow()));
  EXPECT_EQ(nullptr, TWinControl::FindControl(nullptr));
  e->RecreateWnd();
  EXPECT_EQ(nullptr, TWinControl::FindControl(h));
  EXPECT_EQ(e, TWinControl::FindControl(e->GetHandle()));
  h = e->GetHandle();
  delete e;
  EXPECT_EQ(nullptr, TWinControl::FindControl(h));
}

TEST(GuiStdControls, TextSetByCodeReportsOneChange) {
  auto f = Plain();
  auto* e = new TEdit(f.get());
  e->SetParent(f.get());
  auto* m = new TMemo(f.get());
  m->SetParent(f.get());
  m->SetTop(40);
  int edits = 0, memos = 0;
  e->OnChange = [&](TObject*) { ++edits; };
  m->OnChange = [&](TObject*) { ++memos; };
  f->Show();
  e->SetText(L"one");
  EXPECT_EQ(1, edits);
  e->SetText(L"one");  // the same text: no change
  EXPECT_EQ(1, edits);
  SendMessageW(e->GetHandle(), WM_CHAR, L'x', 0);
  EXPECT_EQ(2, edits);
  m->Lines()->Add(L"line");
  EXPECT_EQ(1, memos);
  m->SetText(L"a\r\nb");
  EXPECT_EQ(2, memos);
}

TEST(GuiImageList, EveryWatcherHearsOfChanges) {
  TImageList il(nullptr, 16, 16);
  TChangeLink a, b;
  int na = 0, nb = 0;
  a.OnChange = [&](TObject* s) {
    EXPECT_EQ(static_cast<TObject*>(&il), s);
    ++na;
  };
  b.OnChange = [&](TObject*) { ++nb; };
  il.RegisterChanges(&a);
  il.RegisterChanges(&b);
  TBitmap img(16, 16, pf24bit);
  il.Add(&img, nullptr);
  EXPECT_EQ(1, na);
  EXPECT_EQ(1, nb);
  il.UnRegisterChanges(&b);
  il.Clear();
  EXPECT_EQ(2, na);
  EXPECT_EQ(1, nb);
  {
    TImageList other(nullptr, 8, 8);
    other.RegisterChanges(&a);  // moves the watcher
    EXPECT_EQ(&other, a.GetSender());
  }
  EXPECT_EQ(nullptr, a.GetSender());  // the list went away
  il.Clear();
  EXPECT_EQ(2, na);
}

TEST(GuiImageList, ControlsFollowARebuiltList) {
  auto f = Plain();
  TImageList il(f.get(), 16, 16);
  auto* lv = new TListView(f.get());
  lv->SetParent(f.get());
  lv->SetViewStyle(vsReport);
  lv->SetSmallImages(&il);
  auto* pc = new TPageControl(f.get());
  pc->SetParent(f.get());
  pc->SetImages(&il);
  f->Show();
  EXPECT_EQ(il.GetHandle(), HIMAGELIST(SendMessageW(lv->GetHandle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)));
  il.SetSize(24, 24);  // a new handle
  EXPECT_EQ(il.GetHandle(), HIMAGELIST(SendMessageW(lv->GetHandle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)));
  EXPECT_EQ(il.GetHandle(), HIMAGELIST(SendMessageW(pc->GetHandle(), TCM_GETIMAGELIST, 0, 0)));
}

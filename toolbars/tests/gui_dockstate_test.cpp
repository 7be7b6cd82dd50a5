// Docks and toolbars: stretched windows, shrinking, the design state, a
// docked window moving over a background, what a window stores, its own
// action and the settings of its floating form.
#include <gtest/gtest.h>

#include <memory>

#include "classlib/Actions.h"
#include "classlib/Filer.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/LoopScript.h"
#include "testsupport/Pump.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarFloat.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/tests/BarTestHost.h"

using namespace testsupport;

namespace {

using bartest::FloatHost;

TBarItem* AddItem(TBarToolbar* T, const String& Caption, int* Clicks = nullptr) {
  auto* it = new TBarItem(T->GetOwner());
  it->SetCaption(Caption);
  if (Clicks) it->OnClick = [Clicks](TObject*) { ++*Clicks; };
  T->Items()->Add(it);
  return it;
}

int Right(TControl* C) { return C->GetLeft() + C->GetWidth(); }

int OffEdgeCount(TBarToolbar* T) {
  int n = 0;
  for (int i = 0; i < T->View()->ViewerCount(); ++i) n += T->View()->Viewers(i)->OffEdge ? 1 : 0;
  return n;
}

// The pixels a window prints of itself (frame and client).
struct Printed {
  HDC DC;
  HBITMAP Bmp;
  HGDIOBJ Old;
  explicit Printed(TWinControl* C, LPARAM Flags = PRF_NONCLIENT | PRF_CLIENT) {
    RECT wr;
    GetWindowRect(C->GetHandle(), &wr);
    HDC screen = GetDC(nullptr);
    DC = CreateCompatibleDC(screen);
    Bmp = CreateCompatibleBitmap(screen, wr.right - wr.left, wr.bottom - wr.top);
    ReleaseDC(nullptr, screen);
    Old = SelectObject(DC, Bmp);
    PatBlt(DC, 0, 0, wr.right - wr.left, wr.bottom - wr.top, WHITENESS);
    SendMessageW(C->GetHandle(), WM_PRINT, reinterpret_cast<WPARAM>(DC), Flags);
  }
  ~Printed() {
    SelectObject(DC, Old);
    DeleteObject(Bmp);
    DeleteDC(DC);
  }
  COLORREF At(int X, int Y) const { return GetPixel(DC, X, Y); }
  // How many pixels of the rectangle's outline have the colour.
  int OutlineCount(const RECT& R, COLORREF C) const {
    int n = 0;
    for (int x = R.left; x < R.right; ++x) n += (At(x, R.top) == C) + (At(x, R.bottom - 1) == C);
    for (int y = R.top + 1; y < R.bottom - 1; ++y) n += (At(R.left, y) == C) + (At(R.right - 1, y) == C);
    return n;
  }
};

// A client rectangle in the coordinates of the window's printed picture.
RECT PrintedClient(TWinControl* C) {
  RECT wr;
  GetWindowRect(C->GetHandle(), &wr);
  POINT o{0, 0};
  ClientToScreen(C->GetHandle(), &o);
  return RECT{o.x - wr.left, o.y - wr.top, o.x - wr.left + C->GetClientWidth(), o.y - wr.top + C->GetClientHeight()};
}

TEST(BarDockRows, StretchWindowsFillWhatTheirRowLeaves) {
  FloatHost b(600, 300);
  auto* a = b.AddToolbar(L"tbrA", 0, 0, 1);
  auto* s = b.AddToolbar(L"tbrStretch", 0, 150, 1);
  s->SetStretch(true);
  b.Show();
  const int end = b.Dock->GetClientWidth();
  ASSERT_LT(Right(a), 150);
  // It starts where the window before it ends (its gap is its own) and,
  // last in its row, reaches the row's end.
  EXPECT_EQ(s->GetLeft(), Right(a));
  EXPECT_EQ(Right(s), end);
  EXPECT_EQ(s->EffectiveDockRow, a->EffectiveDockRow);
  // A window after it keeps its place; the stretched one fills up to it.
  auto* c = b.AddToolbar(L"tbrC", 0, 420, 1);
  ASSERT_LE(420 + c->GetWidth(), end);
  EXPECT_EQ(c->GetLeft(), 420);
  EXPECT_EQ(s->GetLeft(), Right(a));
  EXPECT_EQ(Right(s), 420);
  // First in its row it starts at the row's start, whatever its place.
  a->SetDockRow(1);
  EXPECT_EQ(s->GetLeft(), 0);
  EXPECT_EQ(Right(s), c->GetLeft());
  // A wider form: the stretched window grows with it, the others stay.
  const int before = s->GetWidth();
  b.Form->SetWidth(b.Form->GetWidth() + 80);
  Pump(30);
  EXPECT_EQ(s->GetWidth(), before);  // bounded by the window after it
  c->SetVisible(false);
  EXPECT_EQ(Right(s), b.Dock->GetClientWidth());
}

// A stretched window is sized before its form shows, with no handle yet:
// what its sizing tells (and what is laid out against it) is the client
// area inside the frame it will draw, for every grip.
TEST(BarDockedWindow, SizedBeforeItHasAHandleItsClientAreaLiesInsideItsFrame) {
  struct Grip {
    TBarDragHandleStyle Style;
    bool Close;
  };
  for (Grip g : {Grip{dhNone, false}, Grip{dhSingle, false}, Grip{dhDouble, false}, Grip{dhSingle, true}}) {
    SCOPED_TRACE(testing::Message() << "grip " << g.Style << (g.Close ? " with close button" : ""));
    FloatHost b(500, 300);
    auto* t = new TBarToolbar(b.Form.get());
    t->HideWhenInactive = false;
    t->SetStretch(true);
    t->SetDragHandleStyle(g.Style);
    t->SetCloseButtonWhenDocked(g.Close);
    AddItem(t, L"Item");
    int told = -1;
    t->OnResize = [&](TObject*) { told = t->GetClientWidth(); };
    t->SetParent(b.Dock);
    ASSERT_FALSE(t->HandleAllocated());
    ASSERT_GT(told, 0);
    EXPECT_EQ(told, t->GetWidth() - t->NonClientWidth());
    b.Show();
    RECT cr;
    ::GetClientRect(t->GetHandle(), &cr);
    EXPECT_EQ(told, cr.right);
    EXPECT_EQ(t->GetClientWidth(), cr.right);
  }
}

TEST(BarDockRows, AShrunkToolbarIsLaidOutAgainWhenItsRowChanges) {
  FloatHost b(420, 300);
  auto* a = b.AddToolbar(L"tbrA", 0, 0, 6);
  auto* c = b.AddToolbar(L"tbrC", 0, 300, 6);
  b.Show();
  // The second is cut short by the dock's end: its chevron holds the rest.
  ASSERT_EQ(c->EffectiveDockRow, 0);
  ASSERT_GT(c->ShrunkLength, 0);
  ASSERT_GT(OffEdgeCount(c), 0);
  EXPECT_EQ(Right(c), b.Dock->GetClientWidth());
  // The first one's items shrink: the row has room again and the second
  // shows all of its items.
  for (int i = 1; i < a->Items()->Count(); ++i) a->Items()->GetItem(i)->SetVisible(false);
  Pump(30);
  EXPECT_EQ(c->ShrunkLength, 0);
  EXPECT_EQ(OffEdgeCount(c), 0);
  // They grow again: the row is shared out again, not kept as it was.
  for (int i = 1; i < a->Items()->Count(); ++i) a->Items()->GetItem(i)->SetVisible(true);
  for (int i = 0; i < 3; ++i) AddItem(c, L"More" + IntToStr(i));
  Pump(30);
  EXPECT_EQ(c->EffectiveDockRow, 0);
  EXPECT_EQ(Right(c), b.Dock->GetClientWidth());
  EXPECT_GT(OffEdgeCount(c), 3);
  int shown = 0;
  for (int i = 0; i < c->View()->ViewerCount(); ++i) {
    TBarItemViewer* v = c->View()->Viewers(i);
    if (!v->Show || v->Item == c->ChevronItem()) continue;
    ++shown;
    EXPECT_LE(v->BoundsRect.right, c->GetClientWidth());
  }
  EXPECT_GT(shown, 0);
}

// Laid out anew because its items changed, a toolbar that the dock once
// shrank is laid out for its whole length: with the row to itself it shows
// every item instead of keeping the chevron at the length it once had.
TEST(BarDockRows, AToolbarOnceShrunkShowsAllItsItemsWhenTheyComeBackToARoomyRow) {
  FloatHost b(420, 300);
  auto* a = b.AddToolbar(L"tbrA", 0, 0, 6);
  auto* c = b.AddToolbar(L"tbrC", 0, 300, 6);
  c->SetShrinkMode(tbsmNone);  // the first one gives way
  b.Show();
  ASSERT_EQ(c->EffectiveDockRow, 0);
  ASSERT_GT(a->ShrunkLength, 0);
  ASSERT_GT(OffEdgeCount(a), 0);
  auto showItems = [&](bool Show) {
    for (int i = 1; i < a->Items()->Count(); ++i) a->Items()->GetItem(i)->SetVisible(Show);
    Pump(30);
  };
  showItems(false);
  c->SetVisible(false);
  Pump(30);
  showItems(true);
  EXPECT_EQ(a->ShrunkLength, 0);
  EXPECT_EQ(OffEdgeCount(a), 0);
  TBarItemViewer* chevron = a->View()->Find(a->ChevronItem());
  EXPECT_TRUE(chevron == nullptr || !chevron->Show);
  // The other one back: the first is shrunk again, its chevron holds the rest.
  c->SetVisible(true);
  Pump(30);
  EXPECT_GT(a->ShrunkLength, 0);
  EXPECT_GT(OffEdgeCount(a), 0);
  EXPECT_EQ(Right(a), c->GetLeft());
}

TEST(BarDockedWindow, MovedOverABackgroundItShowsItsNewTilesAtOnce) {
  FloatHost b(600, 300);
  auto* a = b.AddToolbar(L"tbrA", 0, 0, 2);
  auto pic = std::make_unique<TBitmap>();
  pic->SetSize(5, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) SetPixel(pic->Canvas()->GetHandle(), x, y, RGB(x * 40, y * 60, 100));
  auto* bg = new TBarBackground(b.Form.get());
  bg->SetBitmap(pic.get());
  b.Dock->SetBackground(bg);
  b.Show();
  Pump(50);
  // Moved along its row: no paint message runs before the pixels are read.
  a->SetDockPos(37);
  ASSERT_EQ(a->GetLeft(), 37);
  RECT upd;
  EXPECT_FALSE(GetUpdateRect(a->GetHandle(), &upd, FALSE));
  HDC dc = GetDC(a->GetHandle());
  POINT o{0, 0};
  MapWindowPoints(a->GetHandle(), b.Dock->GetHandle(), &o, 1);
  // A point of the client area between the items' edges: the tile there.
  const int x = a->GetClientWidth() - 1, y = 0;
  EXPECT_EQ(GetPixel(dc, x, y), RGB(((o.x + x) % 5) * 40, ((o.y + y) % 3) * 60, 100));
  ReleaseDC(a->GetHandle(), dc);
}

// The bytes a form is stored in.
std::string Stored(TForm* F) {
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(F);
  const char* p = static_cast<const char*>(m.Memory());
  return std::string(p, p + m.GetSize());
}

TEST(BarDockedWindow, StoresItsSizeOnlyOnTheFormAndItsLastDockOnlyOffTheDock) {
  BarFiler::RegisterClasses();
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrDocked", 0, 0, 2);
  t->SetAutoResize(false);
  b.Show();
  std::string s = Stored(b.Form.get());
  const size_t docked = s.find("tbrDocked");
  EXPECT_NE(docked, std::string::npos);
  // The form stores its size; the docked window (the last one stored) none.
  EXPECT_EQ(s.find("Width", docked), std::string::npos);
  EXPECT_EQ(s.find("LastDock"), std::string::npos);
  // On the form: its size and its last dock.
  t->SetParent(b.Form.get());
  ASSERT_EQ(t->GetLastDock(), b.Dock);
  t->SetBounds(10, 100, 150, 30);
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(b.Form.get());
  s = std::string(static_cast<const char*>(m.Memory()), static_cast<const char*>(m.Memory()) + m.GetSize());
  EXPECT_NE(s.find("Width"), std::string::npos);
  EXPECT_NE(s.find("Height"), std::string::npos);
  EXPECT_NE(s.find("LastDock"), std::string::npos);
  FloatHost again(600, 300);
  auto* read = again.AddToolbar(L"tbrDocked", 0, 0, 0, again.Form.get());
  read->SetAutoResize(false);
  read->SetLastDock(nullptr);
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(again.Form.get());
  EXPECT_EQ(read->GetLastDock(), again.Dock);
  EXPECT_EQ(read->GetLeft(), 10);
  EXPECT_EQ(read->GetTop(), 100);
  EXPECT_EQ(read->GetWidth(), 150);
  EXPECT_EQ(read->GetHeight(), 30);
}

TEST(BarToolbarActions, TheToolbarsOwnActionUpdatesBeforeItsItems) {
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrActions", 0, 0, 0);
  std::vector<String> order;
  TAction own(b.Form.get()), item(b.Form.get());
  own.OnUpdate = [&](TObject*) {
    order.push_back(L"own");
    own.SetCaption(L"Updated");
  };
  item.OnUpdate = [&](TObject*) { order.push_back(L"item"); };
  auto* it = new TBarItem(b.Form.get());
  it->SetAction(&item);
  t->Items()->Add(it);
  t->SetAction(&own);
  b.Show();
  order.clear();
  t->InitiateAction();
  ASSERT_EQ(order.size(), 2u);
  EXPECT_EQ(order[0], L"own");
  EXPECT_EQ(order[1], L"item");
  EXPECT_EQ(t->GetText(), L"Updated");
  // Without UpdateActions only the toolbar's own action.
  t->UpdateActions = false;
  order.clear();
  t->InitiateAction();
  ASSERT_EQ(order.size(), 1u);
  EXPECT_EQ(order[0], L"own");
  t->SetAction(nullptr);
  it->SetAction(nullptr);
}

// ---- the design state ----------------------------------------------------------------------

TEST(BarDesign, DocksAndWindowsShowTheirOutline) {
  FloatHost b(600, 300);
  // No items: designed items show their frames along the client's edges.
  auto* t = b.AddToolbar(L"tbrDesigned", 0, 0, 0);
  auto* tw = new TBarToolWindow(b.Form.get());
  tw->SetName(L"twDesigned");
  tw->SetBounds(20, 150, 60, 40);
  tw->SetParent(b.Form.get());
  auto* empty = new TBarDock(b.Form.get());
  empty->SetName(L"tbdBottom");
  empty->SetPosition(dpBottom);
  empty->SetParent(b.Form.get());
  b.Show();
  EXPECT_EQ(empty->GetHeight(), 0);
  const COLORREF shadow = ColorToRef(clBtnShadow);
  {
    Printed p(b.Dock);
    EXPECT_EQ(p.OutlineCount(PrintedClient(b.Dock), shadow), 0);
  }
  b.Form.get()->SetDesigning(true);
  // An empty dock keeps 9 pixels for the designer to drop on.
  empty->ArrangeToolbars();
  EXPECT_EQ(empty->GetHeight(), 9);
  // A dotted outline: every other pixel of the edge, about.
  auto dotted = [&](TWinControl* C) {
    Printed p(C);
    RECT r = PrintedClient(C);
    const int edge = 2 * (r.right - r.left) + 2 * (r.bottom - r.top) - 4;
    const int n = p.OutlineCount(r, shadow);
    return n > edge / 4 && n < edge;
  };
  EXPECT_TRUE(dotted(empty));
  EXPECT_TRUE(dotted(tw));
  // A toolbar on its dock shows none; on the form it does.
  EXPECT_FALSE(dotted(t));
  t->SetParent(b.Form.get());
  t->SetBounds(100, 150, 150, 30);
  EXPECT_TRUE(dotted(t));
  // Hidden windows stay on a designed dock.
  t->SetParent(b.Dock);
  t->SetVisible(false);
  EXPECT_EQ(b.Dock->ToolbarCount(), 1);
  b.Form.get()->SetDesigning(false);
  b.Dock->ToolbarVisibilityChanged(t, false);
  EXPECT_EQ(b.Dock->ToolbarCount(), 0);
  empty->ArrangeToolbars();
  EXPECT_EQ(empty->GetHeight(), 0);
}

TEST(BarDesign, ItemsNeitherHoverNorRunAndWrappersGetFreeNames) {
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrDesigned", 0, 0, 0);
  int clicks = 0;
  TBarItem* item = AddItem(t, L"Press", &clicks);
  b.Show();
  b.Form.get()->SetDesigning(true);
  TBarItemViewer* v = t->View()->Find(item);
  ASSERT_NE(v, nullptr);
  POINT centre{(v->BoundsRect.left + v->BoundsRect.right) / 2, (v->BoundsRect.top + v->BoundsRect.bottom) / 2};
  POINT sp = ScreenPoint(t->GetHandle(), centre.x, centre.y);
  MoveMouse(sp);
  Pump(30);
  EXPECT_EQ(t->View()->GetSelected(), nullptr);
  bool exists = false;
  t->ControlExistsAtPos(centre, exists);
  EXPECT_FALSE(exists);
  Click(sp);
  Pump(30);
  EXPECT_EQ(clicks, 0);
  // The chevron moves no items by priority while designed.
  t->SetChevronMoveItems(false);
  t->SetChevronMoveItems(true);
  EXPECT_FALSE(t->View()->UsePriorityList);

  // Wrappers take the smallest number no component of the form has.
  auto* taken = new TButton(b.Form.get());
  taken->SetName(L"BarControlItem1");
  auto* e1 = new TEdit(b.Form.get());
  e1->SetParent(t);
  auto* e2 = new TEdit(b.Form.get());
  e2->SetParent(t);
  ASSERT_NE(t->FindWrapper(e1), nullptr);
  EXPECT_EQ(t->FindWrapper(e1)->GetName(), L"BarControlItem2");
  EXPECT_EQ(t->FindWrapper(e2)->GetName(), L"BarControlItem3");
  delete taken;
  auto* e3 = new TEdit(b.Form.get());
  e3->SetParent(t);
  EXPECT_EQ(t->FindWrapper(e3)->GetName(), L"BarControlItem1");

  b.Form.get()->SetDesigning(false);
  MoveMouse(sp);
  Pump(30);
  Click(sp);
  PumpUntil([&] { return clicks == 1; }, 3000);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(t->FindWrapper(e1)->GetName().empty() == false);
}

TEST(BarDesign, TheChevronShowsNoHotEdge) {
  FloatHost b(200, 300);
  auto* t = b.AddToolbar(L"tbrChevron", 0, 0, 8);
  b.Show();
  TBarView* v = t->View();
  TBarItemViewer* ch = v->Viewers(v->ViewerCount() - 1);
  ASSERT_EQ(ch->Item, t->ChevronItem());
  ASSERT_TRUE(ch->Show);
  v->SetSelected(ch);
  const RECT c = PrintedClient(t);
  auto corner = [&] {
    return Printed(t, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND)
        .At(c.left + ch->BoundsRect.left, c.top + ch->BoundsRect.top);
  };
  EXPECT_EQ(corner(), GetSysColor(COLOR_BTNHIGHLIGHT));
  b.Form.get()->SetDesigning(true);
  EXPECT_EQ(corner(), GetSysColor(COLOR_BTNFACE));
  b.Form.get()->SetDesigning(false);
}

TEST(BarDesign, ControlsAddedWhileUpdatingGetNoWrapper) {
  FloatHost b(600, 300);
  auto* t = new TBarToolbar(b.Form.get());
  t->SetName(L"tbrUpdating");
  t->SetParent(b.Dock);
  b.Show();
  t->Updating();
  auto* e = new TEdit(b.Form.get());
  e->SetParent(t);
  EXPECT_EQ(t->FindWrapper(e), nullptr);
  t->Updated();
  auto* e2 = new TEdit(b.Form.get());
  e2->SetParent(t);
  EXPECT_NE(t->FindWrapper(e2), nullptr);
}

// Dropped on a dock in the designer, a window takes the row its centre is
// in and the place its left edge is at; the dock arranges round it.
TEST(BarDesign, AWindowDroppedOnADockTakesTheRowAndPlaceItWasDroppedAt) {
  FloatHost b(600, 300);
  auto* a = b.AddToolbar(L"tbrA", 0, 0, 2);
  auto* c = b.AddToolbar(L"tbrC", 0, 300, 2);
  auto* d = b.AddToolbar(L"tbrD", 1, 0, 2);
  b.Show();
  b.Form->SetDesigning(true);
  const int row = a->GetHeight(), w = a->GetWidth();
  ASSERT_EQ(d->GetTop(), row);
  // Its centre in the second row.
  a->SetBounds(250, row - row / 2 + 3, w, row);
  EXPECT_EQ(a->GetDockRow(), 1);
  EXPECT_EQ(a->GetDockPos(), 250);
  EXPECT_EQ(a->GetLeft(), 250);
  EXPECT_EQ(a->GetTop(), row);
  EXPECT_EQ(c->GetTop(), 0);
  EXPECT_EQ(c->GetLeft(), 300);
  EXPECT_EQ(d->GetLeft(), 0);
  // Back into the first row, just above its middle.
  a->SetBounds(100, -3, w, row);
  EXPECT_EQ(a->GetDockRow(), 0);
  EXPECT_EQ(a->GetLeft(), 100);
  EXPECT_EQ(a->GetTop(), 0);
  EXPECT_EQ(d->GetTop(), row);
  // Below every row: a row of its own after them.
  a->SetBounds(20, 2 * row + 5, w, row);
  EXPECT_EQ(a->GetDockRow(), 2);
  EXPECT_EQ(a->GetLeft(), 20);
  EXPECT_EQ(a->GetTop(), 2 * row);
  EXPECT_EQ(b.Dock->GetHeight(), 3 * row);
  // At run time a move is no drop: the place on the dock stays.
  b.Form->SetDesigning(false);
  a->SetBounds(60, 0, w, row);
  EXPECT_EQ(a->GetDockRow(), 2);
  EXPECT_EQ(a->GetDockPos(), 20);
}

// The designer keeps windows on their form: no floating form is made, and
// what it stores carries no run-time mark.
TEST(BarDesign, ADesignedWindowNeverFloatsAndIsStoredAsDesigned) {
  BarFiler::RegisterClasses();
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrDesigned", 0, 0, 2);
  b.Show();
  auto floatingForms = [] {
    int n = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
          if (dynamic_cast<TBarFloatingWindowParent*>(TWinControl::FindControl(w))) ++*reinterpret_cast<int*>(p);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    return n;
  };
  const int before = floatingForms();
  b.Form->SetDesigning(true);
  t->SetFloating(true);
  EXPECT_FALSE(t->GetFloating());
  EXPECT_FALSE(t->GetDocked());
  EXPECT_EQ(t->GetParent(), b.Form.get());
  EXPECT_EQ(GetParent(t->GetHandle()), b.Form->GetHandle());
  EXPECT_EQ(t->GetFloatingParent(), nullptr);
  EXPECT_EQ(floatingForms(), before);
  EXPECT_EQ(b.Dock->ToolbarCount(), 0);
  EXPECT_TRUE(IsWindowVisible(t->GetHandle()));
  const std::string s = Stored(b.Form.get());
  EXPECT_NE(s.find("tbrDesigned"), std::string::npos);
  EXPECT_EQ(s.find("SavedAtRunTime"), std::string::npos);
  b.Form->SetDesigning(false);
  EXPECT_NE(Stored(b.Form.get()).find("SavedAtRunTime"), std::string::npos);
}

struct ProbeFloatingParent : TBarFloatingWindowParent {
  using TBarFloatingWindowParent::TBarFloatingWindowParent;
  using TBarFloatingWindowParent::CreateParams;
};
struct ProbeFloatingBar : TBarToolbar {
  using TBarToolbar::TBarToolbar;
  TBarFloatingWindowParentClass GetFloatingWindowParentClass() override {
    return &BarClassOf<TBarFloatingWindowParent, ProbeFloatingParent, TComponent*>;
  }
};

// A floating window that is being designed counts as shown whatever its
// form does; a designed floating form keeps the redraw class styles and
// gets the system's border (and sizing frame) round its own style. Running,
// the form is a bordered pop-up, sizable with its window.
TEST(BarDesign, ADesignedFloatingWindowShowsAndItsFormHasTheSystemsFrame) {
  FloatHost b(600, 300);
  auto* t = new ProbeFloatingBar(b.Form.get());
  t->SetName(L"tbrProbe");
  t->HideWhenInactive = false;
  t->SetParent(b.Dock);
  b.Show();
  t->SetFloating(true);
  Pump(30);
  auto* f = static_cast<ProbeFloatingParent*>(t->GetFloatingParent());
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(IsWindowVisible(f->GetHandle()));
  b.Form->Hide();
  Pump(30);
  EXPECT_FALSE(IsWindowVisible(f->GetHandle()));
  t->SetDesigning(true);
  t->UpdateVisibility();
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));
  t->SetDesigning(false);
  t->UpdateVisibility();
  EXPECT_FALSE(IsWindowVisible(f->GetHandle()));

  auto params = [&] {
    TCreateParams p;
    f->CreateParams(p);
    return p;
  };
  TCreateParams run = params();
  EXPECT_EQ(run.Style & (WS_POPUP | WS_BORDER | WS_THICKFRAME), DWORD(WS_POPUP | WS_BORDER | WS_THICKFRAME));
  EXPECT_EQ(run.WindowClass.style & (CS_HREDRAW | CS_VREDRAW), 0u);
  EXPECT_EQ(run.ExStyle, DWORD(WS_EX_TOOLWINDOW));
  f->SetDesigning(true);
  TCreateParams designed = params();
  EXPECT_EQ(designed.Style & (WS_BORDER | WS_THICKFRAME), DWORD(WS_BORDER | WS_THICKFRAME));
  EXPECT_NE(designed.WinClassName, run.WinClassName);
  EXPECT_EQ(designed.ExStyle, DWORD(WS_EX_TOOLWINDOW));
  t->Resizable = false;
  EXPECT_EQ(params().Style & (WS_BORDER | WS_THICKFRAME), DWORD(WS_BORDER));
  f->SetDesigning(false);
}

// The class styles that redraw a window whole when it is sized stay with
// designed docks and windows (the designer's outlines), and only with them.
TEST(BarDesign, DesignedDocksAndWindowsKeepTheirRedrawClassStyles) {
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrRunning", 0, 0, 1);
  b.Show();
  auto redraw = [](TWinControl* C) {
    return static_cast<UINT>(GetClassLongPtrW(C->GetHandle(), GCL_STYLE)) & (CS_HREDRAW | CS_VREDRAW);
  };
  EXPECT_EQ(redraw(t), 0u);
  EXPECT_EQ(redraw(b.Dock), 0u);
  b.Form->SetDesigning(true);
  auto* dock = new TBarDock(b.Form.get());
  dock->SetName(L"tbdDesigned");
  dock->SetPosition(dpBottom);
  dock->SetParent(b.Form.get());
  auto* designed = new TBarToolbar(b.Form.get());
  designed->SetName(L"tbrDesigned");
  designed->SetParent(dock);
  auto* tw = new TBarToolWindow(b.Form.get());
  tw->SetName(L"twDesigned");
  tw->SetParent(dock);
  Pump(30);
  ASSERT_TRUE(designed->IsDesigning());
  EXPECT_EQ(redraw(dock), UINT(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(redraw(designed), UINT(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(redraw(tw), UINT(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(redraw(t), 0u);
  b.Form->SetDesigning(false);
  // Made at run time again, they have none.
  auto* later = new TBarToolbar(b.Form.get());
  later->SetName(L"tbrLater");
  later->SetParent(b.Dock);
  Pump(30);
  EXPECT_EQ(redraw(later), 0u);
}

// A right-button release on a docked window's frame pops up the nearest
// context menu of the window and its parents, for the window; the
// designer has its own.
TEST(BarDockedWindow, ARightClickOnItsFrameShowsTheNearestContextMenuOutsideTheDesigner) {
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrMenu", 0, 0, 2);
  auto* formMenu = new TBarPopupMenu(b.Form.get());
  formMenu->SetName(L"pmForm");
  auto* entry = new TBarItem(b.Form.get());
  entry->SetCaption(L"Customize");
  formMenu->Items()->Add(entry);
  b.Form->SetPopupMenu(formMenu);
  b.Show();
  TObject* popped = nullptr;
  TComponent* forWhom = nullptr;
  int popups = 0;
  formMenu->OnPopup = [&](TObject* S) {
    ++popups;
    popped = S;
    forWhom = formMenu->GetPopupComponent();
  };
  auto popupShowing = [] {
    bool any = false;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
          if (dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w)) && IsWindowVisible(w))
            *reinterpret_cast<bool*>(p) = true;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&any));
    return any;
  };
  RECT r;
  GetWindowRect(t->GetHandle(), &r);
  const POINT handle{r.left + 4, (r.top + r.bottom) / 2};
  ASSERT_EQ(SendMessageW(t->GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(handle.x, handle.y)), HTBARDRAG);
  auto rightClick = [&] {
    RunInput([&] {
      InputScript().Move(handle).Wait(20).Down(testsupport::Button::Right).Wait(20).Up(testsupport::Button::Right).Post();
    });
  };
  bool shown = false;
  int polls = 0;
  {
    LoopScript s({[&] {
      if (!popupShowing()) {
        if (++polls < 300) LoopScript::Current()->Again();
        return;
      }
      shown = true;
      PostKey(VK_ESCAPE);
    }});
    rightClick();
    PumpUntil([&] { return shown && !popupShowing(); }, 10000);
  }
  EXPECT_TRUE(shown);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(popped, formMenu);
  EXPECT_EQ(forWhom, t);
  EXPECT_FALSE(popupShowing());
  // In the designer nothing pops up.
  formMenu->SetPopupComponent(nullptr);
  formMenu->OnPopup = [&](TObject*) {
    ++popups;
    PostKey(VK_ESCAPE);
  };
  b.Form->SetDesigning(true);
  rightClick();
  Pump(50);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(formMenu->GetPopupComponent(), nullptr);
  b.Form->SetDesigning(false);
  // The dock's own menu is the nearest: kept from popping up by itself, no
  // menu shows, not even the form's.
  auto* dockMenu = new TBarPopupMenu(b.Form.get());
  int dockPopups = 0;
  dockMenu->OnPopup = [&](TObject*) {
    ++dockPopups;
    PostKey(VK_ESCAPE);
  };
  dockMenu->SetAutoPopup(false);
  b.Dock->SetPopupMenu(dockMenu);
  rightClick();
  Pump(50);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(dockPopups, 0);
  EXPECT_EQ(formMenu->GetPopupComponent(), nullptr);
}

// Stored floating by the designer, a window's place is on its form: once
// loaded it goes to that place on the screen, or onto the screen when the
// place is off it.
TEST(BarDockedWindow, AWindowLoadedFloatingFromTheDesignerIsPlacedOnTheScreen) {
  FloatHost b(400, 300);
  auto* t = b.AddToolbar(L"tbrNear", 0, 0, 2);
  auto* away = b.AddToolbar(L"tbrFar", 1, 0, 2);
  b.Show();
  b.Form->BeginLoading();
  t->FloatingPosition = POINT{30, 40};
  t->SetFloating(true);
  away->FloatingPosition = POINT{20000, 50};
  away->SetFloating(true);
  b.Form->EndLoading();
  ASSERT_TRUE(t->GetFloating());
  ASSERT_FALSE(t->GetSavedAtRunTime());
  POINT o{30, 40};
  ClientToScreen(b.Form->GetHandle(), &o);
  RECT r;
  GetWindowRect(t->GetFloatingParent()->GetHandle(), &r);
  EXPECT_EQ(r.left, o.x);
  EXPECT_EQ(r.top, o.y);
  GetWindowRect(away->GetFloatingParent()->GetHandle(), &r);
  const RECT wa = GetRectOfMonitorContainingRect(r, true);
  EXPECT_LE(r.right, wa.right);
  EXPECT_GT(r.right, wa.right - 10);
  EXPECT_EQ(r.top, o.y + 10);
}

// ---- the floating form follows its settings ------------------------------------------

TEST(BarFloatingSettings, ChangedWhileFloatingTheFloatingFormFollows) {
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrFloat", 0, 0, 3);
  b.Show();
  t->SetFloating(true);
  Pump(30);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  const HWND fh = f->GetHandle();
  // The form's frame bits: a border, and the sizing frame while resizable.
  auto frameBits = [&] { return static_cast<DWORD>(GetWindowLongW(fh, GWL_STYLE)) & (WS_BORDER | WS_THICKFRAME); };
  EXPECT_EQ(frameBits(), DWORD(WS_BORDER | WS_THICKFRAME));
  RECT before;
  GetWindowRect(fh, &before);
  RECT tb;
  GetWindowRect(t->GetHandle(), &tb);
  // No caption: the form loses the caption's height, the window keeps its size.
  t->ShowCaption = false;
  RECT r;
  GetWindowRect(fh, &r);
  EXPECT_EQ((before.bottom - before.top) - (r.bottom - r.top), GetSystemMetrics(SM_CYSMCAPTION));
  RECT ta;
  GetWindowRect(t->GetHandle(), &ta);
  EXPECT_EQ(ta.right - ta.left, tb.right - tb.left);
  EXPECT_EQ(ta.top - r.top, GetSystemMetrics(SM_CYSIZEFRAME));
  // Not resizable: the thinner fixed border.
  t->Resizable = false;
  GetWindowRect(fh, &r);
  GetWindowRect(t->GetHandle(), &ta);
  EXPECT_EQ(ta.left - r.left, GetSystemMetrics(SM_CXFIXEDFRAME));
  EXPECT_EQ(r.right - r.left, (tb.right - tb.left) + 2 * GetSystemMetrics(SM_CXFIXEDFRAME));
  EXPECT_EQ(frameBits(), DWORD(WS_BORDER));
  t->Resizable = true;
  EXPECT_EQ(frameBits(), DWORD(WS_BORDER | WS_THICKFRAME));
  t->ShowCaption = true;
  GetWindowRect(fh, &r);
  EXPECT_EQ(r.bottom - r.top, before.bottom - before.top);
  // The close button goes from the caption at once.
  RECT btn = f->GetCloseButtonRect();
  POINT onButton{r.left + (btn.left + btn.right) / 2, r.top + (btn.top + btn.bottom) / 2};
  auto hit = [&] {
    return SendMessageW(fh, WM_NCHITTEST, 0, MAKELPARAM(onButton.x, onButton.y));
  };
  EXPECT_EQ(hit(), HTBARCLOSE);
  t->CloseButton = false;
  EXPECT_EQ(hit(), HTBARCAPTION);
  t->CloseButton = true;
  // On top of all forms: topmost and owned by the application's window.
  t->FloatingMode = fmOnTopOfAllForms;
  EXPECT_TRUE(GetWindowLongW(fh, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(reinterpret_cast<HWND>(GetWindowLongPtrW(fh, GWLP_HWNDPARENT)), Application->GetHandle());
  t->FloatingMode = fmOnTopOfParentForm;
  EXPECT_FALSE(GetWindowLongW(fh, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(reinterpret_cast<HWND>(GetWindowLongPtrW(fh, GWLP_HWNDPARENT)), b.Form->GetHandle());
  // The application inactive: told to hide then, the form hides at once,
  // and shows again when told to stay.
  SendMessageW(b.Form->GetHandle(), WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_TRUE(IsWindowVisible(fh));
  t->HideWhenInactive = true;
  EXPECT_FALSE(IsWindowVisible(fh));
  t->HideWhenInactive = false;
  EXPECT_TRUE(IsWindowVisible(fh));
  SendMessageW(b.Form->GetHandle(), WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_TRUE(IsWindowVisible(fh));
}

TEST(BarDockRows, BoundLinesShowRoundWindowsOrInTheDesigner) {
  FloatHost b(600, 300);
  b.Dock->SetBoundLines(TBarDockBoundLines{blTop, blBottom});
  b.Dock->SetColor(clRed);
  auto* t = b.AddToolbar(L"tbrBound", 0, 0, 1);
  b.Show();
  const COLORREF shadow = ColorToRef(clBtnShadow), light = ColorToRef(clBtnHighlight);
  auto edges = [&] {
    Printed p(b.Dock);
    RECT wr;
    GetWindowRect(b.Dock->GetHandle(), &wr);
    return std::make_pair(p.At(5, 0), p.At(5, wr.bottom - wr.top - 1));
  };
  EXPECT_EQ(edges(), std::make_pair(shadow, light));
  EXPECT_EQ(b.Dock->GetHeight(), t->GetHeight() + 2);
  // No window on it: the pixel a fixed dock keeps is plain, no line.
  b.Dock->SetFixAlign(true);
  t->SetVisible(false);
  ASSERT_EQ(b.Dock->GetHeight(), 1);
  EXPECT_EQ(Printed(b.Dock, PRF_NONCLIENT).At(5, 0), ColorToRef(clRed));
  // The designer's empty dock shows its lines.
  b.Form.get()->SetDesigning(true);
  b.Dock->ArrangeToolbars();
  ASSERT_EQ(b.Dock->GetHeight(), 9);
  EXPECT_EQ(edges(), std::make_pair(shadow, light));
  b.Form.get()->SetDesigning(false);
}

// A background of one colour, which turns blue when the system colours change.
class TFlipBackground : public TBarBasicBackground {
 public:
  using TBarBasicBackground::TBarBasicBackground;
  void Draw(HDC DC, const RECT& R) override {
    HBRUSH b = CreateSolidBrush(Colour);
    FillRect(DC, &R, b);
    DeleteObject(b);
  }
  HPALETTE GetPalette() override { return nullptr; }
  void RegisterChanges(const TNotifyEvent& Proc) override { handlers_.push_back(Proc); }
  void UnregisterChanges(const TNotifyEvent&) override { handlers_.clear(); }
  void SysColorChanged() override {
    ++Changes;
    Colour = RGB(0, 0, 255);
    for (const TNotifyEvent& h : std::vector<TNotifyEvent>(handlers_)) h(this);
  }
  bool UsingBackground() override { return true; }
  COLORREF Colour = RGB(255, 0, 0);
  int Changes = 0;

 private:
  std::vector<TNotifyEvent> handlers_;
};

TEST(BarDockSettings, ChangedSystemColoursReachTheDocksBackground) {
  FloatHost b(600, 300);
  b.AddToolbar(L"tbrColours", 0, 0, 1);
  auto* bg = new TFlipBackground(b.Form.get());
  b.Dock->SetBackground(bg);
  b.Show();
  auto dockPixel = [&] {
    HDC dc = GetDC(b.Dock->GetHandle());
    COLORREF c = GetPixel(dc, b.Dock->GetClientWidth() - 5, 3);
    ReleaseDC(b.Dock->GetHandle(), dc);
    return c;
  };
  ASSERT_TRUE(PumpUntil([&] { return dockPixel() == RGB(255, 0, 0); }, 3000));
  SendMessageW(b.Form->GetHandle(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(bg->Changes, 1);
  EXPECT_TRUE(PumpUntil([&] { return dockPixel() == RGB(0, 0, 255); }, 3000));
}

// The menu font the system reports, made taller.
BOOL WINAPI TallMenuFont(UINT Action, UINT Param, PVOID Data, UINT WinIni) {
  BOOL ok = SystemParametersInfoW(Action, Param, Data, WinIni);
  if (ok && Action == SPI_GETNONCLIENTMETRICS) static_cast<NONCLIENTMETRICSW*>(Data)->lfMenuFont.lfHeight = -36;
  return ok;
}

TEST(BarDockSettings, NewNonClientMetricsLayTheSystemFontToolbarsOutAgain) {
  struct Restore {
    decltype(BarSystemParametersInfo) Saved = BarSystemParametersInfo;
    ~Restore() {
      BarSystemParametersInfo = Saved;
      BarInitToolbarSystemFont();
    }
  } restore;
  FloatHost b(700, 300);
  auto* sys = b.AddToolbar(L"tbrSystemFont", 0, 0, 2);
  auto* own = b.AddToolbar(L"tbrOwnFont", 1, 0, 2);
  own->SetSystemFont(false);
  b.Show();
  const int sysHeight = sys->GetHeight(), ownHeight = own->GetHeight();
  BarSystemParametersInfo = TallMenuFont;
  // Another setting changes nothing.
  SendMessageW(b.Form->GetHandle(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
  EXPECT_EQ(sys->GetHeight(), sysHeight);
  SendMessageW(b.Form->GetHandle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
  EXPECT_GT(sys->GetHeight(), sysHeight + 10);
  EXPECT_EQ(own->GetHeight(), ownHeight);
  EXPECT_GE(b.Dock->GetHeight(), sys->GetHeight() + own->GetHeight());
}

TEST(BarDockStorage, EveryChangedSettingReadsBackAndDefaultsStayOut) {
  BarFiler::RegisterClasses();
  {
    // Defaults only.
    FloatHost b(600, 300);
    b.AddToolbar(L"tbrPlain", 0, 0, 1);
    auto* tw = new TBarToolWindow(b.Form.get());
    tw->SetName(L"twPlain");
    tw->SetParent(b.Dock);
    (new TBarBackground(b.Form.get()))->SetName(L"bgPlain");
    const std::string s = Stored(b.Form.get());
    for (const char* name :
         {"Position", "AllowDrag", "BackgroundOnToolbars", "BoundLines", "FixAlign", "LimitToOneRow", "ActivateParent",
          "AutoResize", "BorderStyle", "CloseButton", "DblClickUndock", "DefaultDock", "DockableTo", "DockMode",
          "DragHandleStyle", "FloatingMode", "FullSize", "Resizable", "ShowCaption", "SmoothDrag", "Stretch",
          "UseLastDock", "Images", "LinkSubitems", "Options", "ChevronMoveItems", "FloatingWidth", "MenuBar",
          "ProcessShortCuts", "ShrinkMode", "SystemFont", "UpdateActions", "MinClient", "MaxClient", "Bitmap",
          "BkColor", "Transparent"})
      EXPECT_EQ(s.find(name), std::string::npos) << name;
    EXPECT_NE(s.find("ClientAreaWidth"), std::string::npos);
    EXPECT_NE(s.find("ClientAreaHeight"), std::string::npos);
  }
  FloatHost b(600, 300);
  auto* top = b.AddToolbar(L"tbrTop", 0, 0, 0);
  auto* linked = new TBarSubmenuItem(b.Form.get());
  linked->SetName(L"smLinked");
  top->Items()->Add(linked);
  auto* images = new TBarImageList(b.Form.get());
  images->SetName(L"ilStore");
  auto* bg = new TBarBackground(b.Form.get());
  bg->SetName(L"bgStore");
  auto pic = std::make_unique<TBitmap>();
  pic->SetSize(4, 4);
  bg->SetBitmap(pic.get());
  bg->SetBkColor(clRed);
  bg->SetTransparent(true);
  auto* bottom = new TBarDock(b.Form.get());
  bottom->SetName(L"tbdBottom");
  bottom->SetPosition(dpBottom);
  bottom->SetParent(b.Form.get());
  bottom->SetAllowDrag(false);
  bottom->SetBackground(bg);
  bottom->SetBackgroundOnToolbars(false);
  bottom->SetBoundLines(TBarDockBoundLines{blTop, blRight});
  bottom->SetFixAlign(true);
  bottom->SetLimitToOneRow(true);
  auto* t = new TBarToolbar(b.Form.get());
  t->SetName(L"tbrStore");
  t->SetMenuBar(true);  // with full size, wrapping, no close button and shortcuts
  t->SetParent(bottom);
  t->SetImages(images);
  t->SetLinkSubitems(linked);
  t->SetOptions(TBarItemOptions{tboImageAboveCaption});
  t->SetChevronMoveItems(false);
  t->SetFloatingWidth(180);
  t->SetSystemFont(false);
  t->UpdateActions = false;
  t->ActivateParent = false;
  t->SetAutoResize(false);
  t->SetBorderStyle(bsNone);
  t->SetCloseButtonWhenDocked(true);
  t->DblClickUndock = false;
  t->DefaultDock = b.Dock;
  t->DockableTo = TBarDockableTo{dpTop, dpBottom};
  t->DockMode = dmCannotFloat;
  t->SetDragHandleStyle(dhDouble);
  t->FloatingMode = fmOnTopOfAllForms;
  t->HideWhenInactive = false;
  t->Resizable = false;
  t->ShowCaption = false;
  t->SmoothDrag = false;
  t->SetStretch(true);
  t->SetUseLastDock(false);
  t->SetText(L"Storage bar");
  auto* tw = new TBarToolWindow(b.Form.get());
  tw->SetName(L"twStore");
  tw->SetParent(b.Dock);
  tw->SetDockRow(1);
  tw->SetClientAreaSize(120, 70);
  tw->MinClientWidth = 40;
  tw->MinClientHeight = 20;
  tw->MaxClientWidth = 300;
  tw->MaxClientHeight = 200;
  b.Show();
  const std::string first = Stored(b.Form.get());

  std::unique_ptr<TForm> again(new TForm(Application));
  TMemoryStream m;
  m.WriteBuffer(first.data(), static_cast<int64_t>(first.size()));
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(again.get());
  again->SetBounds(40, 40, 600, 300);
  again->Show();
  Pump(50);
  EXPECT_EQ(Stored(again.get()), first);
  auto* readDock = dynamic_cast<TBarDock*>(again->FindComponent(L"tbdBottom"));
  auto* readBar = dynamic_cast<TBarToolbar*>(again->FindComponent(L"tbrStore"));
  auto* readWindow = dynamic_cast<TBarToolWindow*>(again->FindComponent(L"twStore"));
  auto* readBg = dynamic_cast<TBarBackground*>(again->FindComponent(L"bgStore"));
  ASSERT_TRUE(readDock && readBar && readWindow && readBg);
  EXPECT_EQ(readDock->GetPosition(), dpBottom);
  EXPECT_EQ(readDock->GetAlign(), alBottom);
  EXPECT_EQ(readDock->GetBackground(), readBg);
  EXPECT_EQ(readDock->GetBoundLines(), (TBarDockBoundLines{blTop, blRight}));
  EXPECT_TRUE(readDock->GetLimitToOneRow());
  EXPECT_EQ(readBar->GetCurrentDock(), readDock);
  EXPECT_EQ(readBar->DefaultDock, again->FindComponent(L"tbdTop"));
  EXPECT_EQ(readBar->GetImages(), again->FindComponent(L"ilStore"));
  EXPECT_EQ(readBar->GetLinkSubitems(), again->FindComponent(L"smLinked"));
  // A menu bar read keeps the settings stored with it.
  EXPECT_TRUE(readBar->GetMenuBar());
  EXPECT_TRUE(readBar->GetFullSize());
  EXPECT_EQ(readBar->GetShrinkModeProp(), tbsmWrap);
  EXPECT_FALSE(readBar->CloseButton);
  EXPECT_TRUE(readBar->GetProcessShortCuts());
  EXPECT_EQ(readBar->FloatingMode, fmOnTopOfAllForms);
  EXPECT_EQ(readBar->GetDragHandleStyle(), dhDouble);
  EXPECT_EQ(readBar->GetText(), L"Storage bar");
  EXPECT_EQ(readWindow->GetClientAreaWidth(), 120);
  EXPECT_EQ(readWindow->GetClientAreaHeight(), 70);
  EXPECT_EQ(readWindow->MaxClientHeight, 200);
  EXPECT_TRUE(readBg->GetTransparent());
  EXPECT_EQ(readBg->GetBkColor(), clRed);
  EXPECT_EQ(readBg->GetBitmap()->GetWidth(), 4);
}

TEST(BarDesign, ADesignedToolbarKeepsTheCursorAndItsViewNoPriorities) {
  FloatHost b(600, 300);
  b.Form->SetDesigning(true);
  auto* made = new TBarToolbar(b.Form.get());
  EXPECT_FALSE(made->View()->UsePriorityList);
  delete made;
  b.Form->SetDesigning(false);
  auto* t = b.AddToolbar(L"tbrCursor", 0, 0, 0);
  auto* edit = new TBarEditItem(b.Form.get());
  edit->SetCaption(L"Find");
  t->Items()->Add(edit);
  b.Show();
  TBarItemViewer* v = t->View()->Find(edit);
  ASSERT_NE(v, nullptr);
  // Near the right end of the item: inside its edit box.
  POINT sp = ScreenPoint(t->GetHandle(), v->BoundsRect.right - 8, (v->BoundsRect.top + v->BoundsRect.bottom) / 2);
  MoveMouse(sp);
  Pump(30);
  const HCURSOR ibeam = LoadCursorW(nullptr, IDC_IBEAM);
  auto setCursor = [&] {
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    return SendMessageW(t->GetHandle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(t->GetHandle()),
                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  };
  EXPECT_EQ(setCursor(), 1);
  EXPECT_EQ(GetCursor(), ibeam);
  b.Form->SetDesigning(true);
  setCursor();
  EXPECT_NE(GetCursor(), ibeam);
  b.Form->SetDesigning(false);
}

TEST(BarDockedWindow, MovedWhileWhollyInvalidItIsSimplyRedrawn) {
  FloatHost b(600, 300);
  auto* a = b.AddToolbar(L"tbrInvalid", 0, 0, 1);
  b.Dock->SetBackground(new TFlipBackground(b.Form.get()));
  b.Show();
  InvalidateRect(a->GetHandle(), nullptr, TRUE);
  a->SetDockPos(40);
  ASSERT_EQ(a->GetLeft(), 40);
  // Left to the next paint, which shows the tiles.
  RECT upd;
  EXPECT_TRUE(GetUpdateRect(a->GetHandle(), &upd, FALSE));
  auto pixel = [&] {
    HDC dc = GetDC(a->GetHandle());
    COLORREF c = GetPixel(dc, a->GetClientWidth() - 1, 0);
    ReleaseDC(a->GetHandle(), dc);
    return c;
  };
  EXPECT_TRUE(PumpUntil([&] { return !GetUpdateRect(a->GetHandle(), &upd, FALSE) && pixel() == RGB(255, 0, 0); }, 3000));
}


// A designed item shows its button frame whatever its state, a combo's
// drop-down part too; running, the same items lie flat until selected.
TEST(BarDesign, DesignedItemsShowTheirButtonFrames) {
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrFrames", 0, 0, 0);
  TBarItem* plain = AddItem(t, L"Plain");
  auto* combo = new TBarSubmenuItem(b.Form.get());
  combo->SetCaption(L"Combo");
  combo->SetDropdownCombo(true);
  t->Items()->Add(combo);
  b.Show();
  const RECT c = PrintedClient(t);
  const COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), face = GetSysColor(COLOR_BTNFACE);
  // The top-left corners of the plain button, the combo's button part and
  // the combo's drop-down part (the last 9 pixels, 2 in from the right).
  auto corners = [&] {
    Printed p(t, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
    const RECT pr = t->View()->Find(plain)->BoundsRect, cr = t->View()->Find(combo)->BoundsRect;
    return std::vector<COLORREF>{p.At(c.left + pr.left, c.top + pr.top), p.At(c.left + cr.left, c.top + cr.top),
                                 p.At(c.left + cr.right - 2 - 9, c.top + cr.top)};
  };
  EXPECT_EQ(corners(), (std::vector<COLORREF>{face, face, face}));
  plain->SetDesigning(true);
  combo->SetDesigning(true);
  EXPECT_EQ(corners(), (std::vector<COLORREF>{hi, hi, hi}));
  plain->SetDesigning(false);
  combo->SetDesigning(false);
}

// A designed view leaves its items' actions to the designer, shows a control
// item whose control is hidden, and, laid out anew, is simply painted again.
TEST(BarDesign, ADesignedViewUpdatesNoActionsShowsHiddenControlsAndRepaintsLater) {
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrDesignedView", 0, 0, 0);
  TBarItem* wide = AddItem(t, L"A wide caption");
  TBarItem* narrow = AddItem(t, L"N");
  auto* edit = new TEdit(b.Form.get());
  edit->SetParent(t);
  b.Show();
  // Actions of the items a view comes to show.
  auto* list = new TBarSubmenuItem(b.Form.get());
  auto* acted = new TBarItem(b.Form.get());
  list->Add(acted);
  auto* act = new TAction(b.Form.get());
  int updates = 0;
  act->OnUpdate = [&](TObject*) { ++updates; };
  act->OnExecute = [](TObject*) {};
  acted->SetAction(act);
  auto* shown = new TBarSubmenuItem(b.Form.get());
  auto* view = new TBarView(nullptr, nullptr, shown, nullptr, false, false, false);
  list->SetDesigning(true);
  acted->SetDesigning(true);
  shown->SetLinkSubitems(list);
  EXPECT_EQ(updates, 0);
  shown->SetLinkSubitems(nullptr);
  list->SetDesigning(false);
  acted->SetDesigning(false);
  shown->SetLinkSubitems(list);
  EXPECT_GT(updates, 0);
  delete view;

  // A hidden control is placed only while it is designed.
  TBarCustomItem* wrapper = t->FindWrapper(edit);
  ASSERT_NE(wrapper, nullptr);
  edit->SetVisible(false);
  t->View()->ValidatePositions();
  EXPECT_FALSE(t->View()->Find(wrapper)->Show);
  edit->SetDesigning(true);
  t->View()->InvalidatePositions();
  t->View()->ValidatePositions();
  EXPECT_TRUE(t->View()->Find(wrapper)->Show);
  edit->SetDesigning(false);
  edit->SetVisible(true);
  Pump(30);

  // Two captions trade places: the items move, the bar keeps its size.
  auto swapCaptions = [&] {
    t->View()->BeginUpdate();
    const String w = wide->GetCaption();
    wide->SetCaption(narrow->GetCaption());
    narrow->SetCaption(w);
    t->View()->EndUpdate();
  };
  auto pendingPaint = [&] {
    RECT r{};
    return GetUpdateRect(t->GetHandle(), &r, FALSE) ? r : RECT{};
  };
  const int width = t->GetWidth();
  swapCaptions();
  ASSERT_EQ(t->GetWidth(), width);
  // Running: painted at once, nothing left to paint.
  const RECT none = pendingPaint();
  EXPECT_TRUE(IsRectEmpty(&none));
  Pump(30);
  t->SetDesigning(true);
  ASSERT_TRUE(t->View()->IsDesigning());
  Pump(30);
  swapCaptions();
  const RECT pending = pendingPaint();
  EXPECT_EQ(pending.right - pending.left, t->GetClientWidth());
  EXPECT_EQ(pending.bottom - pending.top, t->GetClientHeight());
  t->SetDesigning(false);
}

// Running, a click on a floating toolbar leaves its form active, and the
// floating form activated from another window hands activation to its form;
// a designed floating form is activated like any other window.
TEST(BarDesign, ADesignedFloatingFormTakesActivation) {
  FloatHost b(600, 300);
  auto* t = b.AddToolbar(L"tbrActivate", 0, 0, 0);
  AddItem(t, L"Item");
  std::unique_ptr<TForm> other(new TForm(Application));
  other->SetBounds(700, 40, 200, 150);
  other->Show();
  b.Show();
  t->SetFloating(true);
  Pump(30);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  const HWND fh = f->GetHandle(), form = b.Form->GetHandle();
  ASSERT_TRUE(IsWindowVisible(fh));
  // Free toolbar area right of the item.
  const POINT free = ScreenPoint(t->GetHandle(), t->GetClientWidth() - 2, t->GetClientHeight() / 2);
  auto clicked = [&] {
    SetActiveWindow(form);
    Pump(static_cast<int>(GetDoubleClickTime()) + 30);
    Click(free);
    Pump(30);
    return GetActiveWindow();
  };
  auto activatedFromOther = [&] {
    SetActiveWindow(other->GetHandle());
    SetActiveWindow(fh);
    Pump(30);
    return GetActiveWindow();
  };
  EXPECT_EQ(clicked(), form);
  EXPECT_EQ(activatedFromOther(), form);
  f->SetDesigning(true);
  EXPECT_EQ(clicked(), fh);
  EXPECT_EQ(activatedFromOther(), fh);
  f->SetDesigning(false);
  SetActiveWindow(form);
  Pump(30);
}

}  // namespace

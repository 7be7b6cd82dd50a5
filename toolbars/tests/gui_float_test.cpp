// Floating toolbars: dragging on and off docks with real mouse input, the
// floating form's caption and close button, sizing by whole rows, tool
// windows, and floating places kept through the registry.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "classlib/Registry.h"
#include "classlib/ExtCtrls.h"
#include "classlib/StdCtrls.h"
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/MemCanvas.h"
#include "testsupport/Pump.h"
#include "testsupport/Input.h"
#include "testsupport/Registry.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarFloat.h"
#include "toolbars/BarHooks.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/tests/BarTestHost.h"

using namespace testsupport;

namespace {

using testsupport::Drag;
using testsupport::InputScript;
using testsupport::RunInput;

// Waits out the double-click time, so that the press of the script that
// follows is never taken for the second half of a double click.
void AwayFromADoubleClick() { Pump(static_cast<int>(GetDoubleClickTime()) + 30); }

RECT WindowRectOf(TWinControl* C) {
  RECT r;
  GetWindowRect(C->GetHandle(), &r);
  return r;
}

using bartest::FloatHost;

// A point on the drag handle of a docked toolbar.
POINT HandlePoint(TBarCustomDockableWindow* W) {
  RECT r = WindowRectOf(W);
  return POINT{r.left + 4, (r.top + r.bottom) / 2};
}

// A point on the floating form's caption, clear of the close button.
POINT CaptionPoint(TBarCustomDockableWindow* W) {
  TBarFloatingWindowParent* f = W->GetFloatingParent();
  RECT r = WindowRectOf(f);
  RECT cap = f->GetCaptionRect();
  return POINT{r.left + cap.left + 6, r.top + (cap.top + cap.bottom) / 2};
}

POINT CloseButtonPoint(TBarCustomDockableWindow* W) {
  TBarFloatingWindowParent* f = W->GetFloatingParent();
  RECT r = WindowRectOf(f);
  RECT b = f->GetCloseButtonRect();
  return POINT{r.left + (b.left + b.right) / 2, r.top + (b.top + b.bottom) / 2};
}

TEST(BarFloating, DraggingOffTheDockFloatsAndDraggingBackDocks) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrDrag", 0, 0);
  h.Show();
  ASSERT_TRUE(t->GetDocked());
  const HWND window = t->GetHandle();
  POINT from = HandlePoint(t);
  Drag({from, POINT{from.x + 120, from.y + 160}});
  ASSERT_TRUE(t->GetFloating());
  EXPECT_FALSE(t->GetDocked());
  EXPECT_EQ(t->GetHandle(), window);  // the same window all along
  EXPECT_EQ(t->GetLastDock(), h.Dock);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));
  EXPECT_EQ(h.Dock->ToolbarCount(), 0);
  // The form fits the toolbar and shows where the mouse left it.
  RECT fr = WindowRectOf(f);
  RECT tr = WindowRectOf(t);
  EXPECT_TRUE(fr.left < tr.left && fr.top < tr.top && fr.right > tr.right && fr.bottom > tr.bottom);
  EXPECT_GT(fr.top, WindowRectOf(h.Dock).bottom);
  EXPECT_EQ(t->FloatingPosition.x, fr.left);
  EXPECT_EQ(t->FloatingPosition.y, fr.top);

  // A click on the caption leaves the main form active.
  testsupport::Click(CaptionPoint(t));
  EXPECT_EQ(GetActiveWindow(), h.Form->GetHandle());
  EXPECT_TRUE(t->GetFloating());

  // Back onto the dock.
  RECT dr = WindowRectOf(h.Dock);
  POINT c = CaptionPoint(t);
  Drag({c, POINT{dr.left + 40, dr.top + 2}});
  ASSERT_TRUE(t->GetDocked());
  EXPECT_FALSE(t->GetFloating());
  EXPECT_EQ(t->GetFloatingParent(), nullptr);
  EXPECT_EQ(h.Dock->ToolbarCount(), 1);
  EXPECT_GT(h.Dock->GetHeight(), 0);
  EXPECT_EQ(t->GetHandle(), window);
  EXPECT_EQ(GetParent(window), h.Dock->GetHandle());
}

TEST(BarFloating, FloatingAndDockingKeepTheWindowsAndWhatTheyHold) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrKeep", 0, 0, 1);
  auto* edit = new TEdit(h.Form.get());
  edit->SetWidth(80);
  edit->SetParent(t);
  h.Show();
  SetWindowTextW(edit->GetHandle(), L"typed");
  SendMessageW(edit->GetHandle(), EM_SETSEL, 1, 3);
  const HWND window = t->GetHandle(), editWindow = edit->GetHandle();
  t->SetFloating(true);
  ASSERT_TRUE(t->GetFloating());
  EXPECT_EQ(t->GetHandle(), window);
  EXPECT_EQ(edit->GetHandle(), editWindow);
  EXPECT_EQ(GetParent(window), t->GetFloatingParent()->GetHandle());
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(window) != FALSE; }, 10000));
  t->SetCurrentDock(h.Dock);
  ASSERT_TRUE(t->GetDocked());
  EXPECT_EQ(t->GetHandle(), window);
  EXPECT_EQ(edit->GetHandle(), editWindow);
  EXPECT_EQ(GetParent(window), h.Dock->GetHandle());
  wchar_t text[16] = {};
  GetWindowTextW(editWindow, text, 16);
  EXPECT_STREQ(text, L"typed");
  DWORD from = 0, to = 0;
  SendMessageW(editWindow, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 1u);
  EXPECT_EQ(to, 3u);
}

TEST(BarFloating, CtrlKeepsItFloatingOverTheDock) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrCtrl", 0, 0);
  h.Show();
  POINT from = HandlePoint(t);
  RECT dr = WindowRectOf(h.Dock);
  // Ctrl pressed during the drag: dropped over the dock, it floats there.
  AwayFromADoubleClick();
  RunInput([&] {
    InputScript()
        .Move(from).Wait(30).Down().Wait(30)
        .Move(POINT{from.x + 60, from.y + 150}).Wait(30)
        .Key(VK_CONTROL, true).Wait(30)
        .Move(POINT{from.x + 60, dr.top + 2}).Wait(30)
        .Up().Wait(30)
        .Key(VK_CONTROL, false)
        .Post();
  });
  ASSERT_TRUE(t->GetFloating());
  RECT fr = WindowRectOf(t->GetFloatingParent());
  EXPECT_LT(fr.top, dr.bottom);
  // Ctrl held from the start: the drag never docks.
  POINT c0 = CaptionPoint(t);
  Drag({c0, POINT{c0.x + 10, dr.top + 4}, {}, 8, {VK_CONTROL}});
  EXPECT_TRUE(t->GetFloating());
  // Without Ctrl the same place docks it again.
  POINT c = CaptionPoint(t);
  Drag({c, POINT{dr.left + 30, dr.top + 2}});
  EXPECT_TRUE(t->GetDocked());

  // A window that may not float stays on its dock.
  t->DockMode = dmCannotFloat;
  from = HandlePoint(t);
  Drag({from, POINT{from.x + 40, from.y + 180}});
  EXPECT_TRUE(t->GetDocked());
  EXPECT_FALSE(t->GetFloating());
}

TEST(BarFloating, DoubleClicksUndockAndRedockToTheFormerRow) {
  FloatHost h;
  auto* a = h.AddToolbar(L"tbrA", 0, 0);
  auto* b = h.AddToolbar(L"tbrB", 1, 0);
  auto* c = h.AddToolbar(L"tbrC", 2, 0);
  h.Show();
  ASSERT_EQ(b->EffectiveDockRow, 1);
  testsupport::DoubleClick(HandlePoint(b));
  ASSERT_TRUE(b->GetFloating());
  // Its row stays reserved while it floats.
  EXPECT_EQ(a->EffectiveDockRow, 0);
  EXPECT_EQ(c->EffectiveDockRow, 2);
  testsupport::DoubleClick(CaptionPoint(b));
  ASSERT_TRUE(b->GetDocked());
  EXPECT_EQ(b->EffectiveDockRow, 1);
  EXPECT_EQ(a->EffectiveDockRow, 0);
  EXPECT_EQ(c->EffectiveDockRow, 2);
  // Without a last dock the default dock takes it first in row 0.
  b->SetFloating(true);
  Pump(30);
  b->SetLastDock(nullptr);
  b->DefaultDock = h.Dock;
  testsupport::DoubleClick(CaptionPoint(b));
  ASSERT_TRUE(b->GetDocked());
  EXPECT_EQ(b->EffectiveDockRow, 0);
  EXPECT_EQ(b->EffectiveDockPos, 0);
}

TEST(BarFloating, CloseButtonHidesTheWindowAndReportsIt) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrClose", 0, 0);
  h.Show();
  t->SetFloating(true);
  Pump(50);
  int changes = 0;
  t->OnVisibleChanged = [&](TObject*) { ++changes; };
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(IsWindowVisible(f->GetHandle()));
  EXPECT_EQ(SendMessageW(f->GetHandle(), WM_NCHITTEST, 0,
                         MAKELPARAM(CloseButtonPoint(t).x, CloseButtonPoint(t).y)),
            HTBARCLOSE);
  testsupport::Click(CloseButtonPoint(t));
  EXPECT_FALSE(t->GetVisible());
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(IsWindowVisible(f->GetHandle()));
  EXPECT_TRUE(IsWindow(h.Form->GetHandle()));
  t->SetVisible(true);
  Pump(30);
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));
  EXPECT_EQ(changes, 2);
}

TEST(BarFloating, FloatingFormKeysAndNames) {
  FloatHost h;
  auto* a = h.AddToolbar(L"tbrN1", 0, 0);
  auto* b = h.AddToolbar(L"tbrN2", 1, 0);
  h.Show();
  a->SetFloating(true);
  b->SetFloating(true);
  Pump(30);
  ASSERT_TRUE(a->GetFloatingParent() && b->GetFloatingParent());
  EXPECT_NE(a->GetFloatingParent()->GetName(), b->GetFloatingParent()->GetName());
  EXPECT_EQ(a->GetFloatingParent()->GetName().rfind(L"NBFloatingWindowParent_", 0), 0u);
  EXPECT_EQ(a->GetFloatingParent()->GetParentForm(), h.Form.get());
  EXPECT_EQ(BarGetToolWindowParentForm(a), h.Form.get());
  // Closing the floating form (Alt+F4) goes to the main form.
  bool asked = false;
  h.Form->OnCloseQuery = [&](TObject*, bool& CanClose) {
    asked = true;
    CanClose = false;
  };
  SendMessageW(a->GetFloatingParent()->GetHandle(), WM_CLOSE, 0, 0);
  Pump(50);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(a->GetFloating());
  EXPECT_TRUE(a->GetVisible());
  // A non-resizable floating window has no sizing borders.
  TBarFloatingWindowParent* f = a->GetFloatingParent();
  RECT r = WindowRectOf(f);
  auto hit = [&](int x, int y) { return SendMessageW(f->GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(x, y)); };
  EXPECT_EQ(hit(r.left + 1, (r.top + r.bottom) / 2), HTLEFT);
  // A toolbar is sized from its edges only: its corners are edges.
  EXPECT_EQ(hit(r.right - 1, r.bottom - 1), HTBOTTOM);
  EXPECT_EQ(hit(r.left + 1, r.top + 1), HTTOP);
  a->Resizable = false;
  r = WindowRectOf(f);  // the thinner border at once
  EXPECT_EQ(hit(r.left, (r.top + r.bottom) / 2), HTBORDER);
  EXPECT_EQ(hit(r.right - 1, r.bottom - 1), HTBORDER);
}

TEST(BarFloating, SizingAFloatingToolbarStepsByWholeRows) {
  FloatHost h(640, 400);
  auto* t = h.AddToolbar(L"tbrRows", 0, 0, 8);
  h.Show();
  t->SetFloating(true);
  Pump(50);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  RECT before = WindowRectOf(f);
  int oneRowHeight = t->GetHeight();
  // A small pull stays within the snap distance: nothing changes.
  POINT edge{before.right - 1, (before.top + before.bottom) / 2};
  ASSERT_EQ(SendMessageW(f->GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y)), HTRIGHT);
  Drag({edge, POINT{edge.x - 8, edge.y}, {}, 2});
  RECT same = WindowRectOf(f);
  EXPECT_EQ(same.right - same.left, before.right - before.left);
  EXPECT_EQ(t->GetFloatingWidth(), 0);
  // Half the width: the items wrap into whole rows.
  int half = (before.right - before.left) / 2;
  Drag({edge, POINT{edge.x - half, edge.y}});
  RECT after = WindowRectOf(f);
  EXPECT_LT(after.right - after.left, before.right - before.left);
  EXPECT_LE(after.right - after.left, before.right - before.left - half + 1);
  EXPECT_GT(t->GetFloatingWidth(), 0);
  EXPECT_GE(t->GetHeight(), 2 * oneRowHeight - 4);
  EXPECT_EQ(after.left, before.left);
  // No partial row: the toolbar's own layout for that width is exactly its size.
  POINT s = t->DoArrange(false, dtFloating, true, nullptr);
  EXPECT_EQ(s.x, t->GetWidth());
  EXPECT_EQ(s.y, t->GetHeight());
  POINT tl, br;
  t->GetFloatingNCArea(tl, br);
  EXPECT_EQ(after.right - after.left, t->GetWidth() + tl.x + br.x);
  EXPECT_EQ(after.bottom - after.top, t->GetHeight() + tl.y + br.y);
  // Pulling it wide again gives back the single row.
  edge = POINT{after.right - 1, (after.top + after.bottom) / 2};
  Drag({edge, POINT{edge.x + 2 * half, edge.y}});
  EXPECT_EQ(t->GetFloatingWidth(), 0);
  EXPECT_EQ(t->GetHeight(), oneRowHeight);
}

// The rows of a toolbar sized by its top edge follow the pointer's vertical
// movement only: a sideways move keeps them, as does a pull within the snap
// distance; a pull upward by a row adds one.
TEST(BarFloating, TheTopEdgeChangesRowsOnlyWithVerticalMovement) {
  FloatHost h(640, 400);
  auto* t = h.AddToolbar(L"tbrTopEdge", 0, 0, 8);
  h.Show();
  t->FloatingPosition = POINT{120, 240};
  t->SetFloating(true);
  Pump(50);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  // Start from two rows, so that both growing and shrinking are possible.
  RECT r = WindowRectOf(f);
  POINT right{r.right - 1, (r.top + r.bottom) / 2};
  Drag({right, POINT{right.x - (r.right - r.left) * 2 / 5, right.y}});
  const RECT before = WindowRectOf(f);
  const int rowsBefore = t->View()->WrappedLines;
  const int widthBefore = t->GetFloatingWidth();
  ASSERT_GE(rowsBefore, 2);

  POINT top{(before.left + before.right) / 2, before.top + 1};
  ASSERT_EQ(SendMessageW(f->GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(top.x, top.y)), HTTOP);
  Drag({top, POINT{top.x + 60, top.y}});
  RECT after = WindowRectOf(f);
  EXPECT_EQ(t->View()->WrappedLines, rowsBefore);
  EXPECT_EQ(t->GetFloatingWidth(), widthBefore);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  Drag({top, POINT{top.x - 40, top.y - 3}, {}, 3});
  EXPECT_EQ(t->View()->WrappedLines, rowsBefore);
  EXPECT_EQ(WindowRectOf(f).bottom - WindowRectOf(f).top, before.bottom - before.top);

  // A row's height upward: one more row, the bottom edge stays.
  const int rowHeight = t->GetHeight() / rowsBefore;
  Drag({top, POINT{top.x, top.y - rowHeight - 4}});
  after = WindowRectOf(f);
  EXPECT_GT(t->View()->WrappedLines, rowsBefore);
  EXPECT_GT(after.bottom - after.top, before.bottom - before.top);
  EXPECT_EQ(after.bottom, before.bottom);
}

// A floating toolbar whose caption is wider than its items in one row
// still takes every number of rows when sized by its bottom edge, one step
// per row, down and back up, at the caption's width and with no partial row.
// Its side edges can't make it narrower than the caption: a few pixels'
// pull either way keeps its rows.
TEST(BarFloating, AToolbarNarrowerThanItsCaptionIsSizedIntoEachNumberOfRows) {
  FloatHost h(640, 400);
  auto* t = h.AddToolbar(L"tbrCaptionRows", 0, 0, 3);
  t->SetText(L"A caption wider than all of the items");
  h.Show();
  t->FloatingPosition = POINT{120, 160};
  t->SetFloating(true);
  Pump(50);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(t->View()->WrappedLines, 1);
  POINT items{0, 0};
  t->GetBaseSize(items);
  ASSERT_LT(items.x + 20, t->GetClientWidth());  // the caption holds the width
  const LONG width = WindowRectOf(f).right - WindowRectOf(f).left;
  // Further than the snap distance, less than a row.
  const int step = 13;
  ASSERT_GT(t->GetHeight(), step + 6);
  auto pullBottom = [&](int By) {
    const RECT r = WindowRectOf(f);
    const POINT edge{(r.left + r.right) / 2, r.bottom - 1};
    EXPECT_EQ(SendMessageW(f->GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y)), HTBOTTOM);
    Drag({edge, POINT{edge.x, edge.y + By}});
    const RECT after = WindowRectOf(f);
    EXPECT_EQ(after.right - after.left, width);
    const POINT laidOut = t->DoArrange(false, dtFloating, true, nullptr);
    EXPECT_EQ(laidOut.y, t->GetHeight());
    return t->View()->WrappedLines;
  };
  std::vector<int> rows;
  for (int i = 0; i < 3; ++i) rows.push_back(pullBottom(step));
  EXPECT_EQ(rows, (std::vector<int>{2, 3, 3}));
  EXPECT_GT(t->GetFloatingWidth(), 0);
  rows.clear();
  for (int i = 0; i < 3; ++i) rows.push_back(pullBottom(-step));
  EXPECT_EQ(rows, (std::vector<int>{2, 1, 1}));
  EXPECT_EQ(t->GetFloatingWidth(), 0);

  auto pullRight = [&](int By) {
    SCOPED_TRACE(By);
    const RECT r = WindowRectOf(f);
    const int rowsBefore = t->View()->WrappedLines;
    const POINT edge{r.right - 1, (r.top + r.bottom) / 2};
    EXPECT_EQ(SendMessageW(f->GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y)), HTRIGHT);
    Drag({edge, POINT{edge.x + By, edge.y}, {}, 2});
    const RECT after = WindowRectOf(f);
    EXPECT_EQ(t->View()->WrappedLines, rowsBefore);
    EXPECT_EQ(after.bottom - after.top, r.bottom - r.top);
    EXPECT_EQ(after.right - after.left, width);
  };
  for (int by : {-4, 4}) pullRight(by);  // at one row
  pullBottom(step);
  pullBottom(step);
  ASSERT_EQ(t->View()->WrappedLines, 3);
  for (int by : {-4, 4}) pullRight(by);
}

TEST(BarFloating, HiddenAndFloatingPlacesSurviveTheRegistry) {
  const testsupport::ScratchKey positions(L"toolbars");
  FloatHost h;
  auto* a = h.AddToolbar(L"tbrFloat", 0, 0, 6);
  auto* b = h.AddToolbar(L"tbrHidden", 1, 0);
  h.Show();
  a->SetFloating(true);
  Pump(30);
  a->SetFloatingPosition(POINT{260, 230});
  a->SetFloatingWidth(70);
  b->SetVisible(false);
  Pump(30);
  RECT saved = WindowRectOf(a->GetFloatingParent());
  BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, positions.Path());
  {
    TRegIniFile reg(positions.Path());
    EXPECT_EQ(reg.ReadString(L"tbrFloat", L"DockedTo", L"?"), L"+");
    EXPECT_EQ(reg.ReadString(L"tbrFloat", L"LastDock", L"?"), L"tbdTop");
    EXPECT_EQ(reg.ReadString(L"tbrFloat", L"FloatLeft", L"?"), L"260");
    EXPECT_EQ(reg.ReadString(L"tbrFloat", L"FloatTop", L"?"), L"230");
    EXPECT_EQ(reg.ReadString(L"tbrFloat", L"FloatRightX", L"?"), L"70");
    EXPECT_EQ(reg.ReadString(L"tbrHidden", L"Visible", L"?"), L"0");
  }
  // Another form with the same names starts docked and shown.
  FloatHost h2;
  auto* a2 = h2.AddToolbar(L"tbrFloat", 0, 0, 6);
  auto* b2 = h2.AddToolbar(L"tbrHidden", 1, 0);
  h2.Show();
  BarRegLoadPositions(h2.Form.get(), HKEY_CURRENT_USER, positions.Path());
  Pump(50);
  ASSERT_TRUE(a2->GetFloating());
  EXPECT_EQ(a2->GetLastDock(), h2.Dock);
  EXPECT_EQ(a2->GetFloatingWidth(), 70);
  RECT loaded = WindowRectOf(a2->GetFloatingParent());
  EXPECT_EQ(loaded.left, 260);
  EXPECT_EQ(loaded.top, 230);
  EXPECT_EQ(loaded.right - loaded.left, saved.right - saved.left);
  EXPECT_FALSE(b2->GetVisible());
  EXPECT_TRUE(b2->GetDocked());
  // Docking it again returns to its dock.
  a2->DoubleClick();
  Pump(30);
  EXPECT_TRUE(a2->GetDocked());

  // A floating place on no monitor is brought back on screen.
  {
    TRegIniFile reg(positions.Path());
    reg.WriteInteger(L"tbrFloat", L"FloatLeft", 30000);
    reg.WriteInteger(L"tbrFloat", L"FloatTop", -30000);
  }
  BarRegLoadPositions(h2.Form.get(), HKEY_CURRENT_USER, positions.Path());
  Pump(30);
  ASSERT_TRUE(a2->GetFloating());
  RECT on = WindowRectOf(a2->GetFloatingParent());
  RECT wa = GetRectOfMonitorContainingRect(on, true);
  RECT tmp;
  EXPECT_TRUE(IntersectRect(&tmp, &on, &wa));
}

// A form with a left dock and a tool window "tbwTools" not yet placed on it.
struct ToolWindowHost {
  std::unique_ptr<TForm> form{new TForm(Application)};
  TBarDock* left = nullptr;
  TBarToolWindow* w = nullptr;
  ToolWindowHost() {
    form->SetBounds(60, 60, 400, 300);
    left = new TBarDock(form.get());
    left->SetName(L"tbdLeft");
    left->SetPosition(dpLeft);
    left->SetParent(form.get());
    w = new TBarToolWindow(form.get());
    w->SetName(L"tbwTools");
    w->HideWhenInactive = false;
  }
};

TEST(BarToolWindow, DockedSizesLimitsAndStoredClientSize) {
  const testsupport::ScratchKey positions(L"toolbars");
  ToolWindowHost h;
  const std::unique_ptr<TForm>& form = h.form;
  TBarDock* left = h.left;
  TBarToolWindow* w = h.w;
  w->SetClientAreaSize(50, 40);
  w->SetFullSize(true);
  w->SetParent(left);
  form->Show();
  Pump(50);
  EXPECT_EQ(w->GetClientAreaWidth(), 50);
  EXPECT_EQ(w->GetHeight(), left->GetClientHeight());
  // Floating: sizing stops at the minimum client width; no maximum is set.
  w->SetFullSize(false);
  w->SetFloating(true);
  Pump(50);
  TBarFloatingWindowParent* f = w->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(w->GetClientAreaWidth(), 50);
  RECT r = WindowRectOf(f);
  POINT edge{r.right - 1, (r.top + r.bottom) / 2};
  Drag({edge, POINT{edge.x - 45, edge.y}});
  EXPECT_EQ(w->GetClientAreaWidth(), 32);
  r = WindowRectOf(f);
  edge = POINT{r.right - 1, (r.top + r.bottom) / 2};
  Drag({edge, POINT{edge.x + 100, edge.y}});
  EXPECT_EQ(w->GetClientAreaWidth(), 132);
  // Its client size goes with its position; a fixed-size window keeps its own.
  BarRegSavePositions(form.get(), HKEY_CURRENT_USER, positions.Path());
  w->SetClientAreaSize(70, 70);
  Pump(20);
  BarRegLoadPositions(form.get(), HKEY_CURRENT_USER, positions.Path());
  Pump(20);
  EXPECT_EQ(w->GetClientAreaWidth(), 132);
  EXPECT_EQ(w->GetClientAreaHeight(), 40);
  w->Resizable = false;
  w->SetClientAreaSize(70, 70);
  BarRegLoadPositions(form.get(), HKEY_CURRENT_USER, positions.Path());
  Pump(20);
  EXPECT_EQ(w->GetClientAreaWidth(), 70);
}


// Damaged stored client sizes come back within the window's limits.
TEST(BarToolWindow, StoredClientSizeOutsideTheLimitsIsKeptToThem) {
  const testsupport::ScratchKey positions(L"toolbars");
  ToolWindowHost h;
  const std::unique_ptr<TForm>& form = h.form;
  TBarToolWindow* w = h.w;
  w->MinClientHeight = 40;
  w->MaxClientWidth = 200;
  w->SetClientAreaSize(50, 60);
  w->SetParent(h.left);
  form->Show();
  Pump(20);
  BarRegSavePositions(form.get(), HKEY_CURRENT_USER, positions.Path());
  ASSERT_TRUE(positions.HasValue(L"tbwTools", L"ClientWidth"));
  auto load = [&](const wchar_t* Width, const wchar_t* Height) {
    positions.Write(L"tbwTools", L"ClientWidth", REG_SZ, testsupport::Sz(Width));
    positions.Write(L"tbwTools", L"ClientHeight", REG_SZ, testsupport::Sz(Height));
    BarRegLoadPositions(form.get(), HKEY_CURRENT_USER, positions.Path());
    Pump(20);
  };
  load(L"-20", L"0");
  EXPECT_EQ(w->GetClientAreaWidth(), 32);
  EXPECT_EQ(w->GetClientAreaHeight(), 40);
  load(L"5000", L"70");
  EXPECT_EQ(w->GetClientAreaWidth(), 200);
  EXPECT_EQ(w->GetClientAreaHeight(), 70);
}


// Off a dock the border is part of the window's frame: the client area it
// is given stays its client area, however it is laid out again.
TEST(BarToolWindow, BorderSurroundsTheClientAreaOffADock) {
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(60, 60, 400, 300);
  auto* w = new TBarToolWindow(form.get());
  w->HideWhenInactive = false;
  w->SetParent(form.get());
  w->SetBorderWidth(2);
  w->SetClientAreaSize(50, 40);
  EXPECT_EQ(w->GetWidth(), 54);
  EXPECT_EQ(w->GetHeight(), 44);
  form->Show();
  Pump(20);
  w->Arrange();
  EXPECT_EQ(w->GetWidth(), 54);
  EXPECT_EQ(w->GetClientAreaWidth(), 50);
  EXPECT_EQ(w->GetClientAreaHeight(), 40);
  RECT c;
  ::GetClientRect(w->GetHandle(), &c);
  EXPECT_EQ(c.right, 50);
  EXPECT_EQ(c.bottom, 40);
}

TEST(BarFloating, EscapeCancelsAndOutlineModeMovesOnRelease) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrEsc", 0, 0);
  h.Show();
  POINT from = HandlePoint(t);
  // Escape ends the drag; a smooth drag stays where its last step put it.
  AwayFromADoubleClick();
  RunInput([&] {
    InputScript()
        .Move(from).Wait(30).Down().Wait(30)
        .Move(POINT{from.x + 30, from.y + 150}).Wait(30)
        .Press(VK_ESCAPE).Wait(30)
        .Move(POINT{from.x + 30, from.y + 250}).Wait(30)
        .Up()
        .Post();
  });
  ASSERT_TRUE(t->GetFloating());
  RECT fr = WindowRectOf(t->GetFloatingParent());
  EXPECT_LT(fr.top, from.y + 200);
  t->DoubleClick();
  Pump(30);
  ASSERT_TRUE(t->GetDocked());

  // Without smooth dragging only an outline follows the mouse; the window
  // moves on release, and not at all when the drag is cancelled.
  t->SmoothDrag = false;
  from = HandlePoint(t);
  AwayFromADoubleClick();
  RunInput([&] {
    InputScript()
        .Move(from).Wait(30).Down().Wait(30)
        .Move(POINT{from.x + 30, from.y + 150}).Wait(30)
        .Press(VK_ESCAPE).Wait(30)
        .Up()
        .Post();
  });
  EXPECT_TRUE(t->GetDocked());
  Drag({from, POINT{from.x + 40, from.y + 170}});
  ASSERT_TRUE(t->GetFloating());
  fr = WindowRectOf(t->GetFloatingParent());
  EXPECT_GT(fr.top, from.y + 100);
  EXPECT_FALSE(t->SmoothDrag);
}

TEST(BarFloating, FollowsTheApplicationAndItsFormAndEscapeReturnsFocus) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrAct", 0, 0);
  h.Show();
  t->HideWhenInactive = true;
  t->SetFloating(true);
  Pump(30);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(IsWindowVisible(f->GetHandle()));
  // The application losing activation hides it; coming back shows it.
  SendMessageW(h.Form->GetHandle(), WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_FALSE(IsWindowVisible(f->GetHandle()));
  SendMessageW(h.Form->GetHandle(), WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));
  // Kept visible but shown inactive when it need not hide.
  t->HideWhenInactive = false;
  SendMessageW(h.Form->GetHandle(), WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));
  EXPECT_TRUE(t->GetShownInactive());
  SendMessageW(h.Form->GetHandle(), WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_FALSE(t->GetShownInactive());
  // It hides and shows with its form.
  h.Form->Hide();
  Pump(30);
  EXPECT_FALSE(IsWindowVisible(f->GetHandle()));
  h.Form->Show();
  Pump(30);
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));
  // Escape in the floating window gives the focus back to the form.
  SetActiveWindow(f->GetHandle());
  Pump(30);
  EXPECT_EQ(f->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 1);
  Pump(30);
  EXPECT_EQ(GetActiveWindow(), h.Form->GetHandle());
}

// A system send-message hook would make every message sent in the thread
// pass through the system's hook chain; floating windows follow their
// application and form without one, also after their form's window is made
// again, and a window floating again after all were docked is still heard.
TEST(BarFloating, FloatingWindowsFollowTheirFormWithNoSystemHook) {
  FloatHost h;
  auto* a = h.AddToolbar(L"tbrHookA", 0, 0);
  auto* b = h.AddToolbar(L"tbrHookB", 1, 0);
  h.Show();
  a->HideWhenInactive = true;
  a->SetFloating(true);
  b->SetFloating(true);
  Pump(30);
  EXPECT_FALSE(BarHookInstalled(0));
  EXPECT_FALSE(BarHookInstalled(1));
  // The application losing activation hides a's floating form; coming back
  // shows it.
  auto followsActivation = [&](HWND F) {
    ASSERT_TRUE(IsWindowVisible(F));
    SendMessageW(h.Form->GetHandle(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_FALSE(IsWindowVisible(F));
    SendMessageW(h.Form->GetHandle(), WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_TRUE(IsWindowVisible(F));
  };
  const HWND fa = a->GetFloatingParent()->GetHandle();
  followsActivation(fa);

  // The form's window made again: the floating forms are not destroyed with
  // the old one, and go on following the new one.
  h.Form->RecreateWnd();
  Pump(30);
  ASSERT_TRUE(IsWindow(fa));
  EXPECT_EQ(a->GetFloatingParent()->GetHandle(), fa);
  h.Form->Hide();
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(fa); }, 10000));
  h.Form->Show();
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(fa) != FALSE; }, 10000));

  a->SetFloating(false);
  delete b;  // freed while floating
  a->SetFloating(true);
  Pump(30);
  followsActivation(a->GetFloatingParent()->GetHandle());
  a->SetFloating(false);
  EXPECT_FALSE(BarHookInstalled(0));
}

TEST(BarFloating, DocksAskedFirstAndDocksThatRefuse) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrAsk", 0, 0);
  auto* bottom = new TBarDock(h.Form.get());
  bottom->SetName(L"tbdBottom");
  bottom->SetPosition(dpBottom);
  bottom->SetParent(h.Form.get());
  h.Show();
  int asked = 0;
  bottom->OnRequestDock = [&](TObject*, TBarCustomDockableWindow* Bar, bool& Accept) {
    ++asked;
    EXPECT_EQ(Bar, t);
    Accept = false;
  };
  RECT br = WindowRectOf(bottom);
  POINT from = HandlePoint(t);
  Drag({from, POINT{br.left + 40, br.top - 1}});
  EXPECT_GT(asked, 0);
  EXPECT_TRUE(t->GetFloating());
  bottom->OnRequestDock = nullptr;
  Drag({CaptionPoint(t), POINT{br.left + 40, br.top - 1}});
  ASSERT_TRUE(t->GetDocked());
  EXPECT_EQ(t->GetCurrentDock(), bottom);
  EXPECT_EQ(t->GetLastDock(), bottom);
  // A dock its window may not use is passed over.
  t->DockableTo = TBarDockableTo{dpBottom};
  RECT tr = WindowRectOf(h.Dock);
  from = HandlePoint(t);
  Drag({from, POINT{tr.left + 40, tr.top + 2}});
  EXPECT_NE(t->GetCurrentDock(), h.Dock);
}


TEST(BarFloating, ARowTooLongHoldsAWindowDraggedAlongIt) {
  FloatHost h(300, 360);
  auto* a = h.AddToolbar(L"tbrLongA", 0, 0, 10);
  auto* b = h.AddToolbar(L"tbrLongB", 0, 400, 10);
  h.Show();
  ASSERT_EQ(a->EffectiveDockRow, 0);
  ASSERT_EQ(b->EffectiveDockRow, 0);
  ASSERT_GT(b->ShrunkLength, 0);  // the row is too long: b is shrunk
  auto alongThenAcross = [&](int Along) {
    POINT from = HandlePoint(b);
    AwayFromADoubleClick();
    RunInput([&] {
      InputScript in;
      in.Move(from).Wait(30).Down().Wait(30).Move(POINT{from.x - Along, from.y}).Wait(30);
      for (int i = 1; i <= 4; ++i) in.Move(POINT{from.x - Along, from.y + 40 * i}).Wait(20);
      in.Up().Post();
    });
  };
  // Nine pixels along the row: it can still leave it.
  alongThenAcross(9);
  EXPECT_TRUE(b->GetFloating());
  b->DoubleClick();
  Pump(30);
  ASSERT_TRUE(b->GetDocked());
  ASSERT_EQ(b->EffectiveDockRow, 0);
  // Ten: the row holds it however far the mouse goes.
  alongThenAcross(10);
  EXPECT_TRUE(b->GetDocked());
  EXPECT_EQ(b->EffectiveDockRow, 0);
  EXPECT_EQ(a->EffectiveDockRow, 0);
}


// A dock catches the mouse up to 25 pixels past its rectangle grown by 3,
// shared out between its two sides by where the window is held: held by
// its left end, the room is on the dock's left; by its right end, on its
// right.
TEST(BarFloating, ADockCatchesAWindowFurtherOnTheSideItIsHeldBy) {
  FloatHost h(520, 360);
  auto* t = h.AddToolbar(L"tbrCatch", 0, 0, 3);
  h.Show();
  const RECT dr = WindowRectOf(h.Dock);
  const int y = (dr.top + dr.bottom) / 2;
  auto dragTo = [&](bool ByRightEnd, int X) {
    if (t->GetFloating()) {
      t->DoubleClick();
      Pump(30);
    }
    EXPECT_TRUE(t->GetDocked());
    const RECT tr = WindowRectOf(t);
    // The right end is the window's frame: it drags as the handle does.
    const POINT from{ByRightEnd ? tr.right - 1 : tr.left + 2, y};
    Drag({from, POINT{X, y}});
    return t->GetDocked();
  };
  const int left = dr.left - 3, right = dr.right + 3;  // the grown rectangle
  EXPECT_TRUE(dragTo(false, left - 20));
  EXPECT_FALSE(dragTo(false, right + 10));
  EXPECT_TRUE(t->GetFloating());
  EXPECT_TRUE(dragTo(true, right + 20));
  EXPECT_FALSE(dragTo(true, left - 10));
  EXPECT_TRUE(t->GetFloating());
}

// Dragged past the screen's edges a floating window stays wholly on the
// work area: up to the top, down to the bottom, and held in its middle to
// the left edge.
TEST(BarFloating, AFloatingWindowDraggedPastTheScreensEdgesStaysWhollyOnIt) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrEdge", 0, 0, 3);
  h.Show();
  t->SetFloating(true);
  t->SetFloatingPosition(POINT{700, 400});
  Pump(30);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  const RECT wa = GetRectOfMonitorContainingRect(WindowRectOf(f), true);
  auto captionAt = [&](bool Lowest) {
    RECT r = WindowRectOf(f);
    RECT cap = f->GetCaptionRect();
    return POINT{r.left + cap.left + 6, r.top + (Lowest ? cap.bottom - 1 : cap.top)};
  };
  // Held by the caption's lowest pixels, up to the top of the screen.
  POINT from = captionAt(true);
  Drag({from, POINT{from.x, wa.top}});
  ASSERT_TRUE(t->GetFloating());
  EXPECT_EQ(WindowRectOf(f).top, wa.top);
  // Held by its highest, down to the bottom.
  t->SetFloatingPosition(POINT{700, 400});
  Pump(30);
  from = captionAt(false);
  Drag({from, POINT{from.x, wa.bottom - 1}});
  ASSERT_TRUE(t->GetFloating());
  EXPECT_EQ(WindowRectOf(f).bottom, wa.bottom);
  EXPECT_EQ(t->FloatingPosition.y, WindowRectOf(f).top);

  // Held in the middle of its caption and dropped at the screen's left edge.
  t->SetFloatingPosition(POINT{300, 400});
  Pump(30);
  RECT r = WindowRectOf(f);
  ASSERT_GT(r.right - r.left, 60);
  from = POINT{(r.left + r.right) / 2, captionAt(false).y + 2};
  Drag({from, POINT{wa.left + 2, from.y}});
  ASSERT_TRUE(t->GetFloating());
  r = WindowRectOf(f);
  EXPECT_EQ(r.left, wa.left);
  EXPECT_EQ(t->FloatingPosition.x, wa.left);
}

// Dragged off its dock, a toolbar whose caption is wider than its items
// floats at the caption's width and comes down under the cursor at the
// place across it where it was held, as the outline showed it.
TEST(BarFloating, AToolbarWithAWideCaptionFloatsWhereItsOutlineWasDropped) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrWideCaption", 0, 0, 1);
  t->SetText(L"A toolbar whose caption is much wider than its one item");
  h.Show();
  ASSERT_TRUE(t->GetDocked());
  const RECT docked = WindowRectOf(t);
  const POINT from = HandlePoint(t);
  const POINT to{from.x + 200, from.y + 200};
  Drag({from, to});
  ASSERT_TRUE(t->GetFloating());
  const RECT fr = WindowRectOf(t->GetFloatingParent());
  ASSERT_GT(fr.right - fr.left, 3 * (docked.right - docked.left));  // the caption's width
  EXPECT_NEAR(fr.left, to.x - MulDiv(from.x - docked.left, fr.right - fr.left, docked.right - docked.left), 1);
}

// Floating, a toolbar stays as wide as its caption while its items change
// under it: hidden, shown, removed, renamed or added, taking less room than
// the caption, they leave the window as wide as an arrangement makes it;
// and while the caption changes: its text, its close button, the bar.
TEST(BarFloating, AFloatingToolbarKeepsItsCaptionWidthWhileItsItemsChange) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrShrinking", 0, 0, 0);
  t->SetText(L"The caption of a floating toolbar");
  std::vector<TBarItem*> items;
  for (const wchar_t* caption : {L"A", L"An item with a long caption", L"Another long one", L"And a third"}) {
    items.push_back(new TBarItem(h.Form.get()));
    items.back()->SetCaption(caption);
    t->Items()->Add(items.back());
  }
  h.Show();
  t->SetFloating(true);
  Pump(30);
  const HWND fh = t->GetFloatingParent()->GetHandle();
  auto width = [&] {
    RECT r;
    GetWindowRect(fh, &r);
    return r.right - r.left;
  };
  const LONG full = width();
  auto expectArrangedWidth = [&](const char* After, bool Narrower = true) {
    SCOPED_TRACE(After);
    Pump(30);
    const LONG laidOut = width();
    t->Arrange();
    Pump(30);
    EXPECT_EQ(laidOut, width());
    if (Narrower) EXPECT_LT(width(), full);
  };
  for (int i = 1; i < 4; ++i) items[i]->SetVisible(false);
  expectArrangedWidth("hidden");
  POINT itemsSize{0, 0};
  t->GetBaseSize(itemsSize);
  ASSERT_LT(itemsSize.x + 20, t->GetClientWidth());  // the caption holds the width
  items[1]->SetCaption(L"B");
  items[1]->SetVisible(true);
  expectArrangedWidth("shown");
  delete items[1];
  expectArrangedWidth("removed");
  items[0]->SetCaption(L"C");
  expectArrangedWidth("renamed");
  auto* added = new TBarItem(h.Form.get());
  added->SetCaption(L"D");
  t->Items()->Add(added);
  expectArrangedWidth("added");

  // The caption's own width changing: a longer text, the close button or
  // the caption bar coming back.
  const LONG before = width();
  t->SetText(L"The much longer caption of the same floating toolbar");
  expectArrangedWidth("longer text", false);
  EXPECT_GT(width(), before);
  t->CloseButton = false;
  t->Arrange();
  t->CloseButton = true;
  expectArrangedWidth("close button", false);
  t->ShowCaption = false;
  t->Arrange();
  t->ShowCaption = true;
  expectArrangedWidth("caption bar", false);
}

// Off its dock, a window that may not float shows the not-allowed cursor
// and stays where it was.
HCURSOR g_dragCursor = nullptr;
HWND g_dragWindow = nullptr;
void CALLBACK SeeTheDragCursor(HWND, UINT, UINT_PTR, DWORD) {
  POINT p;
  GetCursorPos(&p);
  RECT r;
  GetWindowRect(g_dragWindow, &r);
  if (GetCapture() == g_dragWindow && p.y > r.bottom + 100) g_dragCursor = GetCursor();
}

TEST(BarFloating, AWindowThatMayNotFloatShowsTheNotAllowedCursorOffItsDock) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrStay", 0, 0, 3);
  t->DockMode = dmCannotFloat;
  h.Show();
  const int left = t->GetLeft();
  g_dragWindow = t->GetHandle();
  g_dragCursor = nullptr;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, SeeTheDragCursor);
  POINT from = HandlePoint(t);
  AwayFromADoubleClick();
  RunInput([&] {
    InputScript()
        .Move(from).Wait(30).Down().Wait(30)
        .Move(POINT{from.x + 40, from.y + 80}).Wait(30)
        .Move(POINT{from.x + 40, from.y + 180}).Wait(200)
        .Up()
        .Post();
  });
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_dragCursor, LoadCursorW(nullptr, IDC_NO));
  EXPECT_TRUE(t->GetDocked());
  EXPECT_EQ(t->GetLeft(), left);
  EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_NO));
}

struct MenuKeyProbe : TBarToolbar {
  using TBarToolbar::TBarToolbar;
  int SysCommands = 0;
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_SYSCOMMAND) {
      ++SysCommands;
      m.Result = 1;
      return;
    }
    TBarToolbar::WndProc(m);
  }
};

TEST(BarFloating, TheDockOffersMenuKeysToItsFloatingMenuWindows) {
  FloatHost h;
  auto* t = new MenuKeyProbe(h.Form.get());
  t->SetName(L"tbrMenuKeys");
  t->HideWhenInactive = false;
  t->ControlStyle += csMenuEvents;
  t->SetParent(h.Dock);
  h.Show();
  // Docked it is not asked through the dock.
  EXPECT_EQ(h.Dock->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f'), 0);
  EXPECT_EQ(t->SysCommands, 0);
  t->SetFloating(true);
  Pump(30);
  EXPECT_EQ(h.Dock->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f'), 1);
  EXPECT_EQ(t->SysCommands, 1);
  // Hidden, or without menu events, it is passed over.
  t->SetVisible(false);
  Pump(30);
  EXPECT_EQ(h.Dock->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f'), 0);
  t->SetVisible(true);
  t->ControlStyle -= csMenuEvents;
  EXPECT_EQ(h.Dock->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f'), 0);
  EXPECT_EQ(t->SysCommands, 1);
  // An active floating form that hides hands activation to the main form.
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  SetActiveWindow(f->GetHandle());
  Pump(30);
  t->SetVisible(false);
  Pump(30);
  EXPECT_EQ(GetActiveWindow(), h.Form->GetHandle());
}


TEST(BarFloating, ASmoothDragOverAnotherDockEndingFloatingKeepsItsLastDock) {
  FloatHost h(520, 400);
  auto* bottom = new TBarDock(h.Form.get());
  bottom->SetName(L"tbdBottom");
  bottom->SetPosition(dpBottom);
  bottom->SetParent(h.Form.get());
  h.AddToolbar(L"tbrStays", 0, 0);
  auto* t = h.AddToolbar(L"tbrWanders", 1, 0);
  h.Show();
  ASSERT_EQ(t->GetDockRow(), 1);
  POINT from = HandlePoint(t);
  RECT br = WindowRectOf(bottom);
  POINT over{(br.left + br.right) / 2, (br.top + br.bottom) / 2};
  RECT fr = WindowRectOf(h.Form.get());
  POINT away{(fr.left + fr.right) / 2, (fr.top + fr.bottom) / 2};
  Drag({from, away, {over}});
  ASSERT_TRUE(t->GetFloating());
  EXPECT_EQ(t->GetLastDock(), h.Dock);
  // Docking again through it returns to the row it left.
  t->DoubleClick();
  Pump(30);
  EXPECT_EQ(t->GetCurrentDock(), h.Dock);
  EXPECT_EQ(t->GetDockRow(), 1);
}

TEST(BarFloating, ADragThatBeganFloatingAndEndsFloatingKeepsTheRowItRemembers) {
  FloatHost h(520, 400);
  auto* a = h.AddToolbar(L"tbrFirst", 0, 0);
  auto* t = h.AddToolbar(L"tbrWanders", 1, 0);
  h.Show();
  testsupport::DoubleClick(HandlePoint(t));
  ASSERT_TRUE(t->GetFloating());
  ASSERT_EQ(t->GetDockRow(), 1);
  int dockings = 0;
  t->OnDockChanged = [&](TObject*) { ++dockings; };
  // From below the dock, smoothly up into the first row, where it docks
  // for a while, and on to a floating place.
  RECT fr = WindowRectOf(h.Form.get());
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  f->SetBounds(fr.left + 150, fr.top + 200, f->GetWidth(), f->GetHeight());
  AwayFromADoubleClick();
  RECT dr = WindowRectOf(h.Dock);
  POINT over{dr.right - 60, dr.top + 4};
  POINT away{(fr.left + fr.right) / 2, fr.bottom - 60};
  Drag({CaptionPoint(t), away, {over}});
  ASSERT_TRUE(t->GetFloating());
  EXPECT_GE(dockings, 2);  // it did dock in passing, and left again
  EXPECT_EQ(t->GetLastDock(), h.Dock);
  EXPECT_EQ(t->GetDockRow(), 1);
  // Docked again through its last dock: below the first row, not beside it.
  testsupport::DoubleClick(CaptionPoint(t));
  ASSERT_TRUE(t->GetDocked());
  EXPECT_EQ(a->EffectiveDockRow, 0);
  EXPECT_EQ(t->EffectiveDockRow, 1);
}

TEST(BarFloating, TheFloatingFormFollowsTheWindowsTextAndEnabling) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrFollow", 0, 0);
  t->SetText(L"Before");
  t->FloatingMode = fmOnTopOfAllForms;
  h.Show();
  t->SetFloating(true);
  Pump(30);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->GetText(), L"Before");
  t->SetText(L"After");
  EXPECT_EQ(f->GetText(), L"After");
  // Enabled again, a window on top of all forms is topmost again.
  SetWindowPos(f->GetHandle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_FALSE(GetWindowLongPtrW(f->GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  t->SetEnabled(false);
  t->SetEnabled(true);
  Pump(20);
  EXPECT_TRUE(GetWindowLongPtrW(f->GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST(BarFloating, OnTopOfAllFormsStaysWhenItsFormHides) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrTop", 0, 0);
  t->FloatingMode = fmOnTopOfAllForms;
  h.Show();
  t->SetFloating(true);
  Pump(30);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(GetWindowLongPtrW(f->GetHandle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_NE(reinterpret_cast<HWND>(GetWindowLongPtrW(f->GetHandle(), GWLP_HWNDPARENT)), h.Form->GetHandle());
  h.Form->Hide();
  Pump(30);
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));
  h.Form->Show();
  Pump(30);
  // The ordinary mode goes with its form.
  t->DoubleClick();
  Pump(30);
  t->FloatingMode = fmOnTopOfParentForm;
  t->SetFloating(true);
  Pump(30);
  f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(reinterpret_cast<HWND>(GetWindowLongPtrW(f->GetHandle(), GWLP_HWNDPARENT)), h.Form->GetHandle());
  h.Form->Hide();
  Pump(30);
  EXPECT_FALSE(IsWindowVisible(f->GetHandle()));
}


// A one-row dock holding two toolbars of six items, the second over-full.
struct FullRow {
  FloatHost h{420, 300};
  TBarToolbar* a = nullptr;
  TBarToolbar* b = nullptr;
  int aFull = 0;
  explicit FullRow(const String& Prefix) {
    h.Dock->SetLimitToOneRow(true);
    a = h.AddToolbar(Prefix + L"A", 0, 0, 6);
    b = h.AddToolbar(Prefix + L"B", 0, 1000, 6);
    h.Show();
    aFull = a->GetWidth();
  }
};

TEST(BarFloating, DraggedIntoAChevronToolbarOfAFullRowTheEarlierOneShrinks) {
  FullRow row(L"tbrFull");
  FloatHost& h = row.h;
  auto* a = row.a;
  auto* b = row.b;
  const int aFull = row.aFull;
  ASSERT_EQ(b->EffectiveDockRow, 0);
  ASSERT_EQ(b->GetLeft(), aFull);  // the row is over-full: the last one gave
  ASSERT_LT(b->GetLeft() + b->GetWidth(), h.Dock->GetWidth() + 1);
  // Dragged 40 pixels into the toolbar before it: that one gives the room.
  POINT from = HandlePoint(b);
  Drag({from, POINT{from.x - 40, from.y}});
  ASSERT_TRUE(b->GetDocked());
  EXPECT_EQ(b->EffectiveDockRow, 0);
  EXPECT_EQ(a->EffectiveDockRow, 0);
  EXPECT_EQ(a->GetLeft(), 0);
  EXPECT_EQ(a->GetWidth(), aFull - 40);
  EXPECT_EQ(b->GetLeft(), aFull - 40);
}

// The move to the release point need not be reported before the release
// (a quick flick under load): the drag still ends where the button went up.
std::atomic<bool> g_eatMove{false}, g_moveEaten{false};
POINT g_flickTo{};
void CALLBACK EatTheLastMove(HWND, UINT, UINT_PTR, DWORD) {
  // Only once the drag holds the mouse, so the press and moves were seen.
  if (!g_eatMove || GetCapture() == nullptr) return;
  g_eatMove = false;
  SetCursorPos(g_flickTo.x, g_flickTo.y);
  MSG m;
  while (PeekMessageW(&m, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
  }
  g_moveEaten = true;
}

TEST(BarFloating, ADragEndsWhereTheButtonWentUpThoughTheLastMoveWasNotSeen) {
  FullRow row(L"tbrFlick");
  auto* a = row.a;
  auto* b = row.b;
  const int aFull = row.aFull;
  const POINT from = HandlePoint(b);
  g_flickTo = POINT{from.x - 40, from.y};
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, EatTheLastMove);
  AwayFromADoubleClick();
  RunInput([&] {
    InputScript().Move(from).Down().Wait(30).Move(POINT{from.x - 10, from.y}).Wait(30)
        .Move(POINT{from.x - 20, from.y}).Wait(200).Post();
    g_eatMove = true;
    for (int i = 0; i < 500 && !g_moveEaten; ++i) Sleep(10);
    InputScript().Up().Post();
  });
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_moveEaten.load());
  ASSERT_TRUE(b->GetDocked());
  EXPECT_EQ(a->GetWidth(), aFull - 40);
  EXPECT_EQ(b->GetLeft(), aFull - 40);
}

TEST(BarFloating, ADraggedWindowPushesTheWindowsBeforeIt) {
  FloatHost h(700, 300);
  auto* a = h.AddToolbar(L"tbrPushA", 0, 100, 2);
  auto* b = h.AddToolbar(L"tbrPushB", 0, 300, 2);
  auto* c = h.AddToolbar(L"tbrPushC", 0, 500, 2);
  h.Show();
  ASSERT_LT(a->GetWidth(), 150);
  ASSERT_EQ(a->GetLeft(), 100);
  ASSERT_EQ(b->GetLeft(), 300);
  ASSERT_EQ(c->GetLeft(), 500);
  int want = 100 + a->GetWidth() - 30;  // 30 pixels into a
  POINT from = HandlePoint(b);
  Drag({from, POINT{from.x - (300 - want), from.y}});
  ASSERT_TRUE(b->GetDocked());
  EXPECT_EQ(b->EffectiveDockRow, 0);
  EXPECT_EQ(b->GetLeft(), want);
  EXPECT_EQ(a->GetLeft(), 70);  // gave way by 30
  EXPECT_EQ(a->EffectiveDockRow, 0);
  EXPECT_EQ(c->GetLeft(), 500);  // stays
}

// A floating window smoothly dragged onto a dock docks while the button is
// still down: its floating form hides then; dragged off again it floats
// where the pointer left the dock, the form never showing at its old place.
TEST(BarFloating, DockingInPassingHidesTheFloatingFormThatComesBackAtTheDropPoint) {
  FloatHost h(520, 400);
  h.AddToolbar(L"tbrStays", 0, 0);
  auto* t = h.AddToolbar(L"tbrPassing", 1, 0);
  h.Show();
  t->SetFloating(true);
  Pump(30);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  const HWND form = f->GetHandle(), window = t->GetHandle(), dock = h.Dock->GetHandle();
  const RECT fr = WindowRectOf(h.Form.get());
  t->SetFloatingPosition(POINT{fr.left + 150, fr.top + 200});
  Pump(30);
  struct Seen {
    bool Docked, FormVisible;
    POINT FormAt, FloatingPosition;
  };
  std::vector<Seen> seen;
  // The reparenting steps and the moves, each with where the window was.
  std::vector<String> steps;
  auto where = [&] { return String(t->GetDocked() ? L"docked" : L"floating"); };
  t->OnDockChanging = [&](TObject*, bool Floating, TBarDock*) {
    steps.push_back(L"changing to " + String(Floating ? L"floating" : L"docked"));
  };
  t->OnMove = [&](TObject*) { steps.push_back(L"move " + where()); };
  t->OnDockChanged = [&](TObject*) {
    RECT r;
    GetWindowRect(form, &r);
    seen.push_back({t->GetDocked(), IsWindowVisible(form) != FALSE, POINT{r.left, r.top}, t->FloatingPosition});
    steps.push_back(L"changed " + where());
  };
  const POINT grab = CaptionPoint(t);
  const RECT start = WindowRectOf(f);
  const RECT dr = WindowRectOf(h.Dock);
  const POINT over{dr.right - 60, dr.top + 4};
  const POINT drop{fr.left + 260, fr.top + 260};  // the first point off the dock
  std::atomic<bool> docked{false}, formShownWhileDocked{true};
  AwayFromADoubleClick();
  RunInput([&] {
    InputScript().Move(grab).Wait(30).Down().Wait(30).Move(POINT{grab.x + 2, grab.y + 2}).Post();
    // The drag's first step (which never docks) is taken before the next.
    for (int i = 0; i < 500; ++i) {
      RECT r;
      GetWindowRect(form, &r);
      if (r.left == start.left + 2) break;
      Sleep(10);
    }
    InputScript().Move(over).Post();
    for (int i = 0; i < 500 && !docked; ++i) {
      docked = GetParent(window) == dock;
      Sleep(10);
    }
    formShownWhileDocked = IsWindowVisible(form) != FALSE;
    InputScript().Move(drop).Up().Post();
  });
  ASSERT_TRUE(docked.load());
  EXPECT_FALSE(formShownWhileDocked.load());
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[0].Docked);
  EXPECT_FALSE(seen[0].FormVisible);
  EXPECT_FALSE(seen[1].Docked);
  EXPECT_TRUE(seen[1].FormVisible);
  EXPECT_EQ(seen[1].FormAt.x, seen[1].FloatingPosition.x);
  EXPECT_EQ(seen[1].FormAt.y, seen[1].FloatingPosition.y);
  // Floating again, the window moves (and says so) only once it is out of
  // the dock, not when its kept form is put at the drop point.
  auto inDock = std::find(steps.begin(), steps.end(), String(L"changed docked"));
  ASSERT_NE(inDock, steps.end());
  const auto out = std::find(inDock, steps.end(), String(L"changed floating"));
  ASSERT_NE(out, steps.end());
  const std::vector<String> after(inDock + 1, out + 1);
  EXPECT_EQ(after, (std::vector<String>{L"changing to floating", L"move floating", L"changed floating"}));
  // Where the drop put it, the grab point under the pointer.
  ASSERT_TRUE(t->GetFloating());
  EXPECT_EQ(t->GetFloatingParent(), f);
  const RECT end = WindowRectOf(f);
  EXPECT_EQ(end.left, drop.x - (grab.x - start.left));
  EXPECT_EQ(end.top, drop.y - (grab.y - start.top));
  EXPECT_EQ(t->FloatingPosition.x, end.left);
  EXPECT_EQ(t->FloatingPosition.y, end.top);
  EXPECT_TRUE(IsWindowVisible(form));
}

// Another window dragged along the row leaves the place of a window that
// is hidden or floats alone: it comes back there, and that place is stored.
TEST(BarDockRows, AWindowOffTheDockKeepsItsPlaceWhileAnotherIsDragged) {
  for (bool floats : {false, true}) {
    SCOPED_TRACE(floats ? "floating" : "hidden");
    const testsupport::ScratchKey positions(L"toolbars");
    FloatHost h(700, 300);
    auto* a = h.AddToolbar(L"tbrKeepA", 0, 0, 2);
    auto* b = h.AddToolbar(L"tbrKeepB", 0, 200, 2);
    h.Show();
    ASSERT_EQ(b->GetLeft(), 200);
    if (floats)
      b->SetFloating(true);
    else
      b->SetVisible(false);
    Pump(30);
    POINT from = HandlePoint(a);
    Drag({from, POINT{from.x + 30, from.y}});
    ASSERT_TRUE(a->GetDocked());
    EXPECT_EQ(a->GetLeft(), 30);
    EXPECT_EQ(a->GetDockPos(), 30);
    EXPECT_EQ(b->GetDockRow(), 0);
    EXPECT_EQ(b->GetDockPos(), 200);
    BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, positions.Path());
    {
      TRegIniFile reg(positions.Path());
      EXPECT_EQ(reg.ReadString(L"tbrKeepB", L"DockPos", L"?"), L"200");
      EXPECT_EQ(reg.ReadString(L"tbrKeepA", L"DockPos", L"?"), L"30");
    }
    if (floats)
      b->DoubleClick();
    else
      b->SetVisible(true);
    Pump(30);
    ASSERT_TRUE(b->GetDocked());
    EXPECT_EQ(b->EffectiveDockRow, 0);
    EXPECT_EQ(b->GetLeft(), 200);
    EXPECT_EQ(a->GetLeft(), 30);
  }
}

// A position of -1 places a window at the end of its row, after windows
// placed further on; docked again by its default dock, a window goes before
// every other of row 0.
TEST(BarDockRows, MinusOneGoesToTheRowsEndAndTheDefaultDockPutsAWindowFirst) {
  FloatHost h(700, 300);
  auto* a = h.AddToolbar(L"tbrPlaceA", 0, 0, 2);
  auto* last = h.AddToolbar(L"tbrPlaceLast", 0, -1, 2);
  auto* c = h.AddToolbar(L"tbrPlaceC", 0, 150, 2);
  auto* d = h.AddToolbar(L"tbrPlaceD", 1, 0, 1);
  h.Show();
  EXPECT_EQ(a->GetLeft(), 0);
  EXPECT_EQ(c->GetLeft(), 150);
  EXPECT_EQ(last->GetLeft(), c->GetLeft() + c->GetWidth());
  EXPECT_EQ(last->EffectiveDockRow, 0);
  d->SetFloating(true);
  Pump(30);
  d->SetLastDock(nullptr);
  d->DefaultDock = h.Dock;
  testsupport::DoubleClick(CaptionPoint(d));
  ASSERT_TRUE(d->GetDocked());
  EXPECT_EQ(d->EffectiveDockRow, 0);
  EXPECT_EQ(d->GetLeft(), 0);
  EXPECT_EQ(a->GetLeft(), d->GetWidth());
  EXPECT_GT(c->GetLeft(), a->GetLeft());
  EXPECT_GT(last->GetLeft(), c->GetLeft());
}

// Loaded rows and places become the windows' own as the dock arranges them,
// and are stored that way again.
TEST(BarDockRows, LoadedRowsAndPlacesAreTheArrangedOnes) {
  const testsupport::ScratchKey positions(L"toolbars");
  FloatHost h(700, 300);
  auto* a = h.AddToolbar(L"tbrLoadA", 0, 0, 2);
  auto* b = h.AddToolbar(L"tbrLoadB", 1, 0, 2);
  h.Show();
  BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, positions.Path());
  {
    TRegIniFile reg(positions.Path());
    reg.WriteInteger(L"tbrLoadB", L"DockRow", 1000);
    reg.WriteInteger(L"tbrLoadB", L"DockPos", 99999);
    reg.WriteInteger(L"tbrLoadA", L"DockPos", 40);
  }
  BarRegLoadPositions(h.Form.get(), HKEY_CURRENT_USER, positions.Path());
  Pump(30);
  EXPECT_EQ(a->GetDockRow(), 0);
  EXPECT_EQ(a->GetDockPos(), 40);
  EXPECT_EQ(a->GetLeft(), 40);
  EXPECT_EQ(b->GetDockRow(), 1);
  EXPECT_EQ(b->GetDockPos(), b->GetLeft());
  EXPECT_LT(b->GetDockPos(), h.Dock->GetWidth());
  BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, positions.Path());
  TRegIniFile reg(positions.Path());
  EXPECT_EQ(reg.ReadString(L"tbrLoadB", L"DockRow", L"?"), L"1");
  EXPECT_EQ(reg.ReadString(L"tbrLoadB", L"DockPos", L"?"), IntToStr(b->GetLeft()));
}

// Taken off its dock and put back, a window and its docks report each step
// in order.
TEST(BarDockEvents, ReparentingReportsItsStepsInOrder) {
  FloatHost h(700, 300);
  auto* t = h.AddToolbar(L"tbrEvents", 0, 0, 2);
  h.Show();
  std::vector<String> log;
  t->OnDockChanging = [&](TObject*, bool Floating, TBarDock* To) {
    log.push_back(String(L"changing ") + (Floating ? L"floating" : To ? To->GetName() : String(L"-")));
  };
  t->OnRecreating = [&](TObject*) { log.push_back(L"recreating"); };
  t->OnDockChangingHidden = [&](TObject*, bool Floating, TBarDock* To) {
    log.push_back(String(L"hidden ") + (Floating ? L"floating" : To ? To->GetName() : String(L"-")));
  };
  t->OnMove = [&](TObject*) { log.push_back(L"move"); };
  t->OnRecreated = [&](TObject*) { log.push_back(L"recreated"); };
  t->OnDockChanged = [&](TObject*) { log.push_back(L"changed"); };
  h.Dock->OnInsertRemoveBar = [&](TObject*, bool Inserting, TBarCustomDockableWindow* Bar) {
    log.push_back(String(Inserting ? L"insert " : L"remove ") + Bar->GetName());
  };
  auto movesOnce = [&] {
    // A move may be reported more than once (the form sized round the
    // window); the steps keep their order.
    std::vector<String> l;
    for (const String& e : log)
      if (e != L"move" || l.empty() || l.back() != L"move") l.push_back(e);
    log.clear();
    return l;
  };
  t->SetFloating(true);
  Pump(30);
  EXPECT_EQ(movesOnce(), (std::vector<String>{L"changing floating", L"recreating", L"hidden floating",
                                               L"remove tbrEvents", L"move", L"recreated", L"changed"}));
  t->SetParent(h.Dock);
  Pump(30);
  EXPECT_EQ(movesOnce(), (std::vector<String>{L"changing tbdTop", L"recreating", L"hidden tbdTop",
                                               L"insert tbrEvents", L"move", L"recreated", L"changed"}));
  t->SetVisible(false);
  EXPECT_EQ(movesOnce(), (std::vector<String>{L"remove tbrEvents"}));
  t->SetVisible(true);
  EXPECT_EQ(movesOnce(), (std::vector<String>{L"insert tbrEvents"}));
}

// A hidden window keeps its row among the others: when a drag renumbers the
// rows, it comes back in its row, not in the row that took its number.
TEST(BarDockRows, AHiddenWindowComesBackInItsRowAfterTheRowsWereRenumbered) {
  FloatHost h(700, 300);
  auto* a = h.AddToolbar(L"tbrRowA", 0, 0, 2);
  auto* b = h.AddToolbar(L"tbrRowB", 1, 0, 2);
  auto* c = h.AddToolbar(L"tbrRowC", 2, 0, 2);
  h.Show();
  b->SetVisible(false);
  Pump(30);
  ASSERT_EQ(c->GetTop(), a->GetTop() + a->GetHeight());
  // A dragged below C, into a row of its own at the end.
  const POINT from = HandlePoint(a);
  const RECT dock = WindowRectOf(h.Dock);
  Drag({from, POINT{from.x, dock.bottom + 2}});
  ASSERT_TRUE(a->GetDocked());
  ASSERT_GT(a->GetTop(), c->GetTop());
  EXPECT_LT(b->GetDockRow(), c->GetDockRow());
  EXPECT_LT(c->GetDockRow(), a->GetDockRow());
  b->SetVisible(true);
  Pump(30);
  EXPECT_EQ(b->GetTop(), 0);
  EXPECT_EQ(c->GetTop(), b->GetHeight());
  EXPECT_EQ(a->GetTop(), c->GetTop() + c->GetHeight());
}

// The floating form is a bordered pop-up, sizable while its window is, but
// its frame on the screen is its own, and it may be narrower than the
// system lets a sizable window be.
TEST(BarFloating, TheFloatingFormShowsItsOwnFrameAndMayBeNarrow) {
  FloatHost h(700, 300);
  auto* t = h.AddToolbar(L"tbrNarrow", 0, 0, 0);
  auto* it = new TBarItem(h.Form.get());
  it->SetCaption(L"I");
  t->Items()->Add(it);
  h.Show();
  t->SetFloating(true);
  Pump(50);
  TBarFloatingWindowParent* f = t->GetFloatingParent();
  ASSERT_NE(f, nullptr);
  const HWND fh = f->GetHandle();
  auto frameBits = [&] { return static_cast<DWORD>(GetWindowLongW(fh, GWL_STYLE)) & (WS_POPUP | WS_BORDER | WS_THICKFRAME); };
  EXPECT_EQ(frameBits(), DWORD(WS_POPUP | WS_BORDER | WS_THICKFRAME));
  const int border = GetSystemMetrics(SM_CXSIZEFRAME);
  RECT r = WindowRectOf(f);
  ASSERT_LT(r.right - r.left, GetSystemMetrics(SM_CXMINTRACK));
  EXPECT_EQ(r.right - r.left, t->GetWidth() + 2 * border);
  // What the screen shows of the frame is what the form paints itself.
  auto frameDiffers = [&] {
    const RECT wr = WindowRectOf(f);
    const int w = wr.right - wr.left, hgt = wr.bottom - wr.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, hgt);
    HGDIOBJ old = SelectObject(mem, bmp);
    SendMessageW(fh, WM_PRINT, reinterpret_cast<WPARAM>(mem), PRF_NONCLIENT);
    POINT tl{0, 0}, br{0, 0};
    t->GetFloatingNCArea(tl, br);
    int differ = 0;
    for (int y = 0; y < hgt; ++y)
      for (int x = 0; x < w; ++x) {
        if (x >= tl.x && x < w - br.x && y >= tl.y && y < hgt - br.y) continue;
        differ += (GetPixel(mem, x, y) & 0xFFFFFF) != (GetPixel(screen, wr.left + x, wr.top + y) & 0xFFFFFF);
      }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return differ;
  };
  EXPECT_EQ(frameDiffers(), 0);
  {
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetPixel(screen, r.left, r.top) & 0xFFFFFF, GetSysColor(COLOR_3DLIGHT));
    ReleaseDC(nullptr, screen);
  }
  // Not resizable: the border alone, the form as narrow as its window.
  t->Resizable = false;
  Pump(30);
  EXPECT_EQ(frameBits(), DWORD(WS_POPUP | WS_BORDER));
  r = WindowRectOf(f);
  EXPECT_EQ(r.right - r.left, t->GetWidth() + 2 * GetSystemMetrics(SM_CXFIXEDFRAME));
  EXPECT_EQ(frameDiffers(), 0);
  t->Resizable = true;
  Pump(30);
  EXPECT_EQ(frameBits(), DWORD(WS_POPUP | WS_BORDER | WS_THICKFRAME));
  r = WindowRectOf(f);
  EXPECT_EQ(r.right - r.left, t->GetWidth() + 2 * border);
  EXPECT_EQ(frameDiffers(), 0);
  // Sized narrower still by a program, it keeps the width it was given.
  SetWindowPos(fh, nullptr, 0, 0, 30, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  r = WindowRectOf(f);
  EXPECT_EQ(r.right - r.left, 30);
}

}  // namespace

// ---- dock backgrounds ------------------------------------------------------------------
namespace {

// A bitmap whose pixel (x, y) has a colour that tells x and y apart.
std::unique_ptr<TBitmap> Pattern(int W, int H) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(W, H);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b->GetHandle());
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) SetPixel(dc, x, y, RGB(x * 20, y * 20, 100));
  SelectObject(dc, old);
  DeleteDC(dc);
  return b;
}

struct ChangeCounter {
  int N = 0;
  void Changed(TObject*) { ++N; }
};

TEST(BarBackground, TilesFromTheRectangleCornerThroughEitherPath) {
  TBarBackground bg(nullptr);
  EXPECT_FALSE(bg.UsingBackground());
  for (int size : {8, 5}) {
    auto pic = Pattern(size, size == 8 ? 8 : 3);
    const int h = size == 8 ? 8 : 3;
    bg.SetBitmap(pic.get());
    ASSERT_TRUE(bg.UsingBackground());
    MemCanvas s(60, 40);
    RECT r{7, 4, 50, 33};
    bg.Draw(s.DC, r);
    for (POINT p : {POINT{7, 4}, POINT{8, 5}, POINT{20, 9}, POINT{49, 32}, POINT{31, 17}}) {
      int bx = (p.x - r.left) % size, by = (p.y - r.top) % h;
      EXPECT_EQ(GetPixel(s.DC, p.x, p.y), RGB(bx * 20, by * 20, 100)) << size << " at " << p.x << "," << p.y;
    }
    // Nothing outside the rectangle.
    EXPECT_EQ(GetPixel(s.DC, 6, 4), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(s.DC, 50, 20), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(s.DC, 20, 33), RGB(0, 0, 0));
  }
  // Transparent: the bottom-left pixel's colour shows the background colour.
  bg.SetBkColor(clRed);
  bg.SetTransparent(true);
  MemCanvas s(20, 20);
  bg.Draw(s.DC, RECT{0, 0, 20, 20});
  EXPECT_EQ(GetPixel(s.DC, 0, 2), RGB(255, 0, 0));  // (0, 2) is the bottom-left colour
  EXPECT_EQ(GetPixel(s.DC, 1, 2), RGB(20, 40, 100));
}

TEST(BarBackground, ChangeHandlersAreKeptOnceAndDocksPaintIt) {
  TBarBackground bg(nullptr);
  ChangeCounter c;
  TNotifyEvent h(&c, &ChangeCounter::Changed);
  bg.RegisterChanges(h);
  bg.RegisterChanges(h);
  EXPECT_EQ(bg.HandlerCount(), 1);
  ChangeCounter other;
  bg.UnregisterChanges(TNotifyEvent(&other, &ChangeCounter::Changed));  // never registered
  EXPECT_EQ(bg.HandlerCount(), 1);
  auto pic = Pattern(5, 3);
  bg.SetBitmap(pic.get());
  EXPECT_EQ(c.N, 1);
  bg.SetBkColor(clRed);  // not transparent: no change to the picture
  EXPECT_EQ(c.N, 1);
  bg.SetTransparent(true);
  EXPECT_EQ(c.N, 2);
  bg.SetBkColor(clBtnFace);
  bg.SysColorChanged();
  EXPECT_EQ(c.N, 4);
  bg.UnregisterChanges(h);
  bg.SetTransparent(false);
  EXPECT_EQ(c.N, 4);

  // A dock and the windows on it draw the tiles from the dock's client origin.
  FloatHost host;
  auto* t = host.AddToolbar(L"tbrBack", 0, 0);
  auto* dockBg = new TBarBackground(host.Form.get());
  dockBg->SetBitmap(pic.get());
  host.Dock->SetBackground(dockBg);
  host.Show();
  MemCanvas s(400, 60);
  SendMessageW(host.Dock->GetHandle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(s.DC), 0);
  EXPECT_EQ(GetPixel(s.DC, 11, 4), RGB(1 * 20, 1 * 20, 100));
  MemCanvas w(200, 60);
  SendMessageW(t->GetHandle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(w.DC), 0);
  POINT o{0, 0};
  MapWindowPoints(t->GetHandle(), host.Dock->GetHandle(), &o, 1);
  EXPECT_EQ(GetPixel(w.DC, 2, 1), RGB(((o.x + 2) % 5) * 20, ((o.y + 1) % 3) * 20, 100));
  // The frame ring too (a bsNone border leaves it all to the background).
  t->SetBorderStyle(bsNone);
  MemCanvas nc(200, 60);
  t->DrawNCArea(nc.DC, nullptr);
  RECT twr = WindowRectOf(t);
  POINT wo{twr.left, twr.top};
  ScreenToClient(host.Dock->GetHandle(), &wo);
  EXPECT_EQ(GetPixel(nc.DC, 1, 1), RGB(((wo.x + 1) % 5) * 20, ((wo.y + 1) % 3) * 20, 100));
  delete dockBg;
  EXPECT_EQ(host.Dock->GetBackground(), nullptr);
  EXPECT_FALSE(host.Dock->UsingBackground());
}

// Docks sharing a background tile it from their parent's client origin,
// so the tiles run on from one dock into the next; a dock that moves shows
// the tiles of its new place at once, and so do its windows.
TEST(BarBackground, DocksOfAFormTileFromTheFormsOriginAndRetileWhenMoved) {
  FloatHost host(600, 400);
  host.AddToolbar(L"tbrTop", 0, 0);
  auto* left = new TBarDock(host.Form.get());
  left->SetName(L"tbdLeft");
  left->SetPosition(dpLeft);
  left->SetParent(host.Form.get());
  auto* t = host.AddToolbar(L"tbrLeft", 0, 0, 2, left);
  auto pic = Pattern(7, 11);
  auto* bg = new TBarBackground(host.Form.get());
  bg->SetBitmap(pic.get());
  host.Dock->SetBackground(bg);
  left->SetBackground(bg);
  host.Show();
  Pump(50);
  const COLORREF unset = CLR_INVALID;
  // The colour that a point of the form's client area shows through the
  // dock or window W, read from the screen.
  auto shown = [&](TWinControl* W, POINT FormPt) {
    POINT p = FormPt;
    MapWindowPoints(host.Form->GetHandle(), W->GetHandle(), &p, 1);
    HDC dc = GetDC(W->GetHandle());
    COLORREF c = GetPixel(dc, p.x, p.y);
    ReleaseDC(W->GetHandle(), dc);
    return c;
  };
  auto tile = [](POINT FormPt) { return RGB((FormPt.x % 7) * 20, (FormPt.y % 11) * 20, 100); };
  auto check = [&](const char* When) {
    SCOPED_TRACE(When);
    ASSERT_GT(left->GetTop(), 0);
    // A point of the left dock below its window, and one of the top dock
    // right of its toolbar: the tiles of the form's grid.
    POINT inLeft{left->GetLeft() + 3, left->GetTop() + left->GetHeight() - 4};
    POINT inTop{host.Dock->GetWidth() - 5, host.Dock->GetHeight() - 3};
    EXPECT_NE(shown(left, inLeft), unset);
    EXPECT_EQ(shown(left, inLeft), tile(inLeft));
    EXPECT_EQ(shown(host.Dock, inTop), tile(inTop));
    // The window on the left dock, in its client area between the items.
    POINT o{0, 0};
    MapWindowPoints(t->GetHandle(), host.Form->GetHandle(), &o, 1);
    POINT inWindow{o.x + t->GetClientWidth() - 1, o.y + t->GetClientHeight() - 1};
    EXPECT_EQ(shown(t, inWindow), tile(inWindow));
  };
  check("first shown");
  // A second row on the top dock moves the left dock down.
  const int before = left->GetTop();
  host.AddToolbar(L"tbrSecond", 1, 0);
  Pump(50);
  ASSERT_GT(left->GetTop(), before);
  check("moved");
}

}  // namespace

namespace {
HWND OwnerOf(HWND W) { return reinterpret_cast<HWND>(GetWindowLongPtrW(W, GWLP_HWNDPARENT)); }

// A floating toolbar not owned by the form it floats for.
TBarToolbar* FloatingFor(TForm* Form) {
  auto* t = new TBarToolbar(Application);
  t->HideWhenInactive = false;
  auto* it = new TBarItem(t);
  it->SetCaption(L"Item");
  t->Items()->Add(it);
  t->SetParent(Form);
  t->SetFloating(true);
  return t;
}

TEST(BarFloating, TheFloatingFormsOwnerFollowsShowingAndItsFormGoingAway) {
  auto form = std::make_unique<TForm>(Application);
  form->SetBounds(60, 60, 300, 200);
  form->Show();
  std::unique_ptr<TBarToolbar> t(FloatingFor(form.get()));
  const HWND fh = t->GetFloatingParent()->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(fh) != FALSE; }, 10000));
  EXPECT_EQ(OwnerOf(fh), form->GetHandle());

  // Hidden, switched to on top of all forms and shown again: the
  // application window owns it and it is topmost.
  t->SetVisible(false);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(fh); }, 10000));
  t->FloatingMode = fmOnTopOfAllForms;
  t->SetVisible(true);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(fh) != FALSE; }, 10000));
  EXPECT_EQ(OwnerOf(fh), Application->GetHandle());
  EXPECT_TRUE(GetWindowLongW(fh, GWL_EXSTYLE) & WS_EX_TOPMOST);

  // Its form goes away: it stays, still floating.
  form.reset();
  ASSERT_TRUE(t->GetFloating());
  ASSERT_NE(t->GetFloatingParent(), nullptr);
  EXPECT_EQ(t->GetFloatingParent()->GetHandle(), fh);
  EXPECT_EQ(OwnerOf(fh), Application->GetHandle());

  // Floating on top of its form only, it leaves with the form.
  auto other = std::make_unique<TForm>(Application);
  other->Show();
  std::unique_ptr<TBarToolbar> u(FloatingFor(other.get()));
  ASSERT_NE(u->GetFloatingParent(), nullptr);
  const HWND uh = u->GetFloatingParent()->GetHandle();
  other.reset();
  EXPECT_EQ(u->GetParent(), nullptr);
  EXPECT_EQ(u->GetFloatingParent(), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(uh); }, 10000));
}

// A form owned by another form goes with it, unseen by the toolbars; its
// floating toolbars stay, owned by the application window.
TEST(BarFloating, AFloatingFormOwnedThroughAnotherFormOutlivesIt) {
  auto second = std::make_unique<TForm>(Application);
  second->SetBounds(40, 40, 300, 200);
  second->Show();
  auto form = std::make_unique<TForm>(Application);
  form->SetBounds(80, 80, 300, 200);
  form->HandleNeeded();
  SetWindowLongPtrW(form->GetHandle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(second->GetHandle()));
  form->Show();
  std::unique_ptr<TBarToolbar> t(FloatingFor(form.get()));
  const HWND fh = t->GetFloatingParent()->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(fh) != FALSE; }, 10000));
  ASSERT_EQ(OwnerOf(fh), form->GetHandle());
  ASSERT_EQ(OwnerOf(form->GetHandle()), second->GetHandle());
  const HWND formWindow = form->GetHandle();

  second.reset();
  Pump(30);
  EXPECT_FALSE(IsWindow(formWindow));
  ASSERT_TRUE(IsWindow(fh));
  EXPECT_EQ(OwnerOf(fh), Application->GetHandle());
  EXPECT_TRUE(t->GetFloating());
  ASSERT_NE(t->GetFloatingParent(), nullptr);
  EXPECT_EQ(t->GetFloatingParent()->GetHandle(), fh);
}

// A toolbar of an MDI child floats as part of the MDI parent form: owned by
// it, hidden while the child is minimised, and a click on its caption brings
// the child up while the parent form stays the active window.
TEST(BarFloating, AnMDIChildsFloatingToolbarBelongsToItsMDIParent) {
  // The application's main form is the MDI parent for this test.
  struct Frame {
    TCustomForm* Form = Application->MainForm();
    Frame() { Form->SetFormStyle(fsMDIForm); }
    ~Frame() {
      Form->Hide();
      Form->SetFormStyle(fsNormal);
    }
    TCustomForm* operator->() { return Form; }
  } main;
  main->SetBounds(40, 40, 560, 400);
  main->Show();
  SetForegroundWindow(main->GetHandle());
  auto first = std::make_unique<TForm>(Application);
  first->SetFormStyle(fsMDIChild);
  first->SetBounds(0, 0, 260, 180);
  first->Show();
  std::unique_ptr<TBarToolbar> t(FloatingFor(first.get()));
  auto second = std::make_unique<TForm>(Application);
  second->SetFormStyle(fsMDIChild);
  second->SetBounds(40, 40, 260, 180);
  second->Show();
  ASSERT_EQ(main->ActiveMDIChild(), second.get());

  TBarFloatingWindowParent* fp = t->GetFloatingParent();
  ASSERT_NE(fp, nullptr);
  const HWND fh = fp->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(fh) != FALSE; }, 10000));
  EXPECT_EQ(OwnerOf(fh), main->GetHandle());

  // A click on its caption: the first child comes up, the MDI parent form
  // stays (or becomes) the active window, the floating form never is.
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main->GetHandle(); }, 10000));
  InputScript().Click(CaptionPoint(t.get())).Send();
  EXPECT_TRUE(PumpUntil([&] { return GetWindow(main->ClientHandle(), GW_CHILD) == first->GetHandle(); }, 10000));
  EXPECT_EQ(GetActiveWindow(), main->GetHandle());
  EXPECT_TRUE(IsWindowVisible(fh));

  // Minimised, the child takes its floating toolbar along; restored, it is back.
  ShowWindow(first->GetHandle(), SW_MINIMIZE);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(fh); }, 10000));
  ShowWindow(first->GetHandle(), SW_RESTORE);
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(fh) != FALSE; }, 10000));
  t.reset();
  second.reset();
  first.reset();
}

// Two overlapping floating toolbars: with another window active, a click
// on the lower one's caption brings it above the other, on the screen too.
// A window the form owns (a modeless dialog) that lies above them stays
// above them when the form takes the focus again.
TEST(BarFloating, AClickedFloatingToolbarComesUpAndTheFormsWindowsKeepTheirOrder) {
  FloatHost h(600, 420);
  auto* a = h.AddToolbar(L"tbrA", 0, 0);
  auto* b = h.AddToolbar(L"tbrB", 0, 200);
  h.Show();
  a->SetFloatingPosition(POINT{200, 250});
  a->SetFloating(true);
  b->SetFloatingPosition(POINT{230, 262});
  b->SetFloating(true);
  Pump(200);
  const HWND fa = a->GetFloatingParent()->GetHandle(), fb = b->GetFloatingParent()->GetHandle();
  const bool aLower = Above(fb, fa);
  const HWND lower = aLower ? fa : fb, upper = aLower ? fb : fa;
  TForm other(Application);
  other.SetBounds(700, 40, 200, 150);
  other.Show();
  SetActiveWindow(other.GetHandle());
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == other.GetHandle(); }));
  Click(CaptionPoint(aLower ? a : b));
  Pump(300);
  EXPECT_EQ(GetActiveWindow(), h.Form->GetHandle());
  EXPECT_TRUE(Above(lower, upper));
  EXPECT_TRUE(ShowsOver(lower, upper));

  // A window the form owns, shown over the toolbars without taking the
  // activation; Tab moves the focus within the form.
  TEdit* edits[2];
  for (int i = 0; i < 2; ++i) {
    edits[i] = new TEdit(h.Form.get());
    edits[i]->SetParent(h.Form.get());
    edits[i]->SetBounds(10 + 110 * i, 300, 100, 24);
  }
  Click(ClientCentre(edits[0]->GetHandle()));
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edits[0]->GetHandle(); }));
  RECT rl;
  GetWindowRect(lower, &rl);
  const HWND dialog = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BLACKRECT, rl.left + 10, rl.top + 4, 60, 30,
                                      h.Form->GetHandle(), nullptr, nullptr, nullptr);
  ShowWindow(dialog, SW_SHOWNA);
  Pump(100);
  PressKey(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edits[1]->GetHandle(); }));
  Pump(300);
  EXPECT_TRUE(Above(dialog, lower));
  EXPECT_TRUE(Above(lower, upper));
  EXPECT_TRUE(ShowsOver(dialog, lower));
  EXPECT_TRUE(ShowsOver(lower, upper));
  DestroyWindow(dialog);
}
}  // namespace

namespace {

// Something dragged from a control onto a toolbar, docked or floating: the
// toolbar is asked while the pointer moves over it (client coordinates)
// and takes the drop only when its OnDragOver accepted.
TEST(BarDragTarget, AToolbarIsAskedAboutWhatIsDraggedOverItAndTakesTheDrop) {
  FloatHost h;
  auto* t = h.AddToolbar(L"tbrTarget", 0, 0);
  auto* source = new TPanel(h.Form.get());
  source->SetBounds(40, 150, 80, 60);
  source->SetDragMode(dmAutomatic);
  source->SetParent(h.Form.get());
  h.Show();

  struct Seen {
    std::vector<TDragState> States;
    TObject* Source = nullptr;
    POINT LastOver{-1, -1};
    int Drops = 0;
    POINT Drop{-1, -1};
  } seen;
  bool accept = true;
  t->OnDragOver = [&](TObject*, TObject* Src, int X, int Y, TDragState State, bool& Accept) {
    seen.States.push_back(State);
    seen.Source = Src;
    seen.LastOver = POINT{X, Y};
    Accept = accept;
  };
  t->OnDragDrop = [&](TObject*, TObject*, int X, int Y) {
    ++seen.Drops;
    seen.Drop = POINT{X, Y};
  };
  auto dragOnto = [&](TBarCustomDockableWindow* Target) {
    RECT cr;
    GetClientRect(Target->GetHandle(), &cr);
    POINT to = ScreenPoint(Target->GetHandle(), cr.right - 6, cr.bottom / 2);
    DragScript d;
    d.From = ClientCentre(source->GetHandle());
    d.To = to;
    d.Steps = 10;
    EXPECT_TRUE(Drag(d));
    PumpUntil([&] { return !source->Dragging(); });
    return POINT{cr.right - 6, cr.bottom / 2};
  };

  POINT at = dragOnto(t);
  ASSERT_FALSE(seen.States.empty());
  EXPECT_EQ(seen.States.front(), dsDragEnter);
  EXPECT_EQ(seen.Source, source);
  EXPECT_EQ(seen.Drops, 1);
  EXPECT_EQ(seen.Drop.x, at.x);
  EXPECT_EQ(seen.Drop.y, at.y);

  // Refused: no drop.
  seen = Seen{};
  accept = false;
  dragOnto(t);
  EXPECT_FALSE(seen.States.empty());
  EXPECT_EQ(seen.Drops, 0);

  // Floating, in a form of its own, it is asked all the same.
  t->SetFloating(true);
  Pump(30);
  ASSERT_TRUE(t->GetFloating());
  seen = Seen{};
  accept = true;
  at = dragOnto(t);
  EXPECT_EQ(seen.Drops, 1);
  EXPECT_EQ(seen.Drop.x, at.x);
  EXPECT_EQ(seen.Drop.y, at.y);
  t->SetFloating(false);
}
}  // namespace

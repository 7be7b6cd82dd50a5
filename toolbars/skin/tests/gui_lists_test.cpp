// Themed lists and their scroll bar.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/LoopScript.h"
#include "testsupport/MemCanvas.h"
#include "testsupport/Pump.h"
#include "toolbars/skin/SkinLists.h"
#include "toolbars/skin/SkinWindows.h"

using namespace testsupport;

namespace {
struct ListPopup {
  std::unique_ptr<TSkinSubmenuItem> Parent;
  TSkinStringList* List;
  std::unique_ptr<TBarPopupWindow> Window;
  TSkinCustomListViewer* Viewer = nullptr;
  ListPopup(int Count, bool Undo = false, TCustomImageList* Images = nullptr) {
    Parent.reset(new TSkinSubmenuItem(nullptr));
    List = Undo ? new TSkinUndoList(Parent.get()) : new TSkinStringList(Parent.get());
    if (Images) {
      Parent->SetSubMenuImages(Images);
      List->ShowImages = true;
    }
    for (int i = 0; i < Count; ++i) List->Strings()->Add(L"Entry " + IntToStr(i));
    Parent->Add(List);
    Window.reset(Parent->GetPopupWindowClass()(nullptr, nullptr, Parent.get(), false));
    Window->View->UpdatePositions();
    Viewer = dynamic_cast<TSkinCustomListViewer*>(Window->View->Find(List));
  }
};
// An image list of 8 x 8 squares, one per colour.
std::unique_ptr<TImageList> SquareImages(std::initializer_list<COLORREF> Colours) {
  auto il = std::make_unique<TImageList>(nullptr);
  il->SetWidth(8);
  il->SetHeight(8);
  for (COLORREF c : Colours) {
    TBitmap bmp;
    bmp.SetSize(8, 8);
    RECT all{0, 0, 8, 8};
    HBRUSH b = CreateSolidBrush(c);
    FillRect(bmp.Canvas()->GetHandle(), &all, b);
    DeleteObject(b);
    il->Add(&bmp, nullptr);
  }
  return il;
}
}  // namespace

TEST(SkinLists, ShortAndEmptyListsSizeToTheirRows) {
  InitSkin();
  ListPopup few(3);
  ASSERT_NE(few.Viewer, nullptr);
  EXPECT_EQ(few.Viewer->VisibleItems, 3);
  EXPECT_EQ(few.Viewer->ScrollBarWidth, 0);
  EXPECT_EQ(few.Viewer->BoundsRect.bottom - few.Viewer->BoundsRect.top, 3 * few.Viewer->ItemHeight);
  ListPopup none(0);
  ASSERT_NE(none.Viewer, nullptr);
  EXPECT_EQ(none.Viewer->BoundsRect.bottom - none.Viewer->BoundsRect.top, none.Viewer->ItemHeight);
  ListPopup many(20);
  EXPECT_EQ(many.Viewer->VisibleItems, 8);
  EXPECT_EQ(many.Viewer->ScrollBarWidth, GetSystemMetrics(SM_CXVSCROLL));
  // A pop-up holding only a list is a list pop-up without a shadow.
  auto* w = dynamic_cast<TSkinPopupWindow*>(many.Window.get());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetWinViewType(w), VT_LISTBOX);
  EXPECT_FALSE(w->GetShowShadow());
  EXPECT_EQ(w->GetNCSize().cx, 1);
}

TEST(SkinLists, KeysAndSelectionMoveTheHover) {
  InitSkin();
  ListPopup p(20);
  int changes = 0;
  p.List->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  WORD key = VK_END;
  p.Viewer->KeyDown(key, 0);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(p.List->GetItemIndex(), 19);
  EXPECT_EQ(p.Viewer->HoverIndex, 19);
  EXPECT_EQ(p.Viewer->TopIndex, 12);  // scrolled into view
  key = VK_PRIOR;
  p.Viewer->KeyDown(key, 0);
  EXPECT_EQ(p.List->GetItemIndex(), 11);
  key = VK_DOWN;
  for (int i = 0; i < 30; ++i) {
    key = VK_DOWN;
    p.Viewer->KeyDown(key, 0);
  }
  EXPECT_EQ(p.List->GetItemIndex(), 19);  // clamped
  EXPECT_GT(changes, 3);
  p.Viewer->MouseWheel(240, 0, 0);
  EXPECT_EQ(p.Viewer->TopIndex, 10);
}

TEST(SkinLists, PageZoneRepeatsUntilTheHandleReachesTheMouse) {
  TSkinScrollBar bar;
  bar.SetBounds(RECT{0, 0, 16, 200});
  bar.SetRange(100);
  bar.SetWindow(10);
  int changes = 0;
  bar.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  RECT next = bar.ZoneRect(sbzPageNext);
  int y = next.bottom - 20;
  bar.MouseDown(mbLeft, 5, y);
  EXPECT_EQ(bar.PressedZone(), sbzPageNext);
  EXPECT_EQ(bar.GetPosition(), 10);
  EXPECT_EQ(changes, 1);
  int steps = 0;
  for (int i = 0; i < 20; ++i) {
    int interval = 0;
    int before = bar.GetPosition();
    bar.TimerElapsed(1, interval);
    EXPECT_EQ(interval, 100);
    if (bar.GetPosition() != before) ++steps;
  }
  // Paging stopped once the handle covered the mouse point.
  EXPECT_LT(steps, 10);
  RECT h = bar.ZoneRect(sbzHandle);
  EXPECT_TRUE(y >= h.top && y < h.bottom + 20);
  bar.MouseUp(mbLeft, 5, y);
  EXPECT_EQ(bar.PressedZone(), -1);
  // Buttons step by the increment; the position stays inside the range.
  bar.UpdatePosition(1000);
  EXPECT_EQ(bar.GetPosition(), 90);
  bar.MouseDown(mbLeft, 5, 2);
  EXPECT_EQ(bar.GetPosition(), 89);
  bar.MouseUp(mbLeft, 5, 2);
  // A programmatic change is silent.
  changes = 0;
  bar.SetPosition(5);
  EXPECT_EQ(changes, 0);
}

TEST(SkinLists, UndoListSelectsEverythingUpToTheHover) {
  InitSkin();
  ListPopup p(20, true);
  ASSERT_TRUE(dynamic_cast<TSkinUndoListViewer*>(p.Viewer));
  p.List->SetItemIndex(4);
  EXPECT_EQ(p.Viewer->HoverIndex, 4);
  // Dragging below the list at its end keeps selecting the last visible row.
  int dir = 1, interval = 100;
  p.Viewer->HandleAutoScroll(dir, interval);
  EXPECT_EQ(p.List->GetItemIndex(), p.Viewer->TopIndex + p.Viewer->VisibleItems - 1);
  // Painted, every row from the first to the hovered one is highlighted.
  p.List->SetItemIndex(p.Viewer->TopIndex + 2);
  const int hover = p.Viewer->HoverIndex;
  EXPECT_EQ(hover, p.Viewer->TopIndex + 2);
  int w = p.Viewer->BoundsRect.right - p.Viewer->BoundsRect.left;
  int h = p.Viewer->BoundsRect.bottom - p.Viewer->BoundsRect.top;
  MemCanvas c(w, h);
  p.Viewer->Paint(&c.C, RECT{0, 0, w, h}, false, false, false);
  for (int i = p.Viewer->TopIndex; i < p.Viewer->TopIndex + p.Viewer->VisibleItems; ++i) {
    RECT r = p.Viewer->GetItemRect(i);
    EXPECT_EQ(c.At(r.left + 1, r.top + 1), ColorToRef(i <= hover ? clHighlight : clWindow)) << i;
  }
}

TEST(SkinLists, RowsShowTheImageOfTheirIndexUnlessTheHandlerAdjustsIt) {
  InitSkin();
  const COLORREF red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255);
  auto il = SquareImages({red, green, blue});
  ListPopup p(3, false, il.get());
  ASSERT_NE(p.Viewer, nullptr);
  EXPECT_GE(p.Viewer->ItemHeight, 10);
  int w = p.Viewer->BoundsRect.right - p.Viewer->BoundsRect.left;
  int h = p.Viewer->BoundsRect.bottom - p.Viewer->BoundsRect.top;
  auto imageAt = [&](MemCanvas& c, int Row) {
    RECT r = p.Viewer->GetItemRect(Row);
    return c.At(r.left + 4 + 3, (r.top + r.bottom) / 2);
  };
  {
    MemCanvas c(w, h);
    p.Viewer->Paint(&c.C, RECT{0, 0, w, h}, false, false, false);
    EXPECT_EQ(imageAt(c, 0), red);
    EXPECT_EQ(imageAt(c, 1), green);
    EXPECT_EQ(imageAt(c, 2), blue);
  }
  // The handler starts from the row's own index and may change or drop it.
  std::vector<int> seen;
  p.List->OnAdjustImageIndex = TSkinLAdjustImageIndex([&](TObject*, int Row, int& Index) {
    seen.push_back(Index);
    Index = Row == 1 ? -1 : 2 - Row;
  });
  MemCanvas c(w, h);
  p.Viewer->Paint(&c.C, RECT{0, 0, w, h}, false, false, false);
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(imageAt(c, 0), blue);
  EXPECT_EQ(imageAt(c, 1), ColorToRef(clWindow));
  EXPECT_EQ(imageAt(c, 2), red);
}

namespace {
// The colours of a rectangle of a canvas.
std::set<COLORREF> ColoursIn(const MemCanvas& C, RECT R) {
  std::set<COLORREF> s;
  for (int y = R.top; y < R.bottom; ++y)
    for (int x = R.left; x < R.right; ++x) s.insert(C.At(x, y));
  return s;
}
RECT Moved(RECT R, int DX, int DY) {
  OffsetRect(&R, DX, DY);
  return R;
}
}  // namespace

// The bar paints within its bounds: the buttons, the page parts (dark
// while one is pressed), the raised handle; a bar with nothing to scroll
// shows a bare track.
TEST(SkinLists, ScrollBarPaintsItsZonesAtItsBounds) {
  InitSkin();
  const COLORREF paper = RGB(1, 2, 3);
  TSkinScrollBar bar;
  bar.SetBounds(RECT{10, 10, 26, 210});
  bar.SetRange(20);
  bar.SetWindow(5);
  const RECT prev = Moved(bar.ZoneRect(sbzPrev), 10, 10), handle = Moved(bar.ZoneRect(sbzHandle), 10, 10),
             page = Moved(bar.ZoneRect(sbzPageNext), 10, 10);
  ASSERT_FALSE(IsRectEmpty(&handle));
  ASSERT_FALSE(IsRectEmpty(&page));
  const bool styled = USE_THEMES && SCROLLBAR_THEME;
  std::set<COLORREF> pageBefore;
  {
    MemCanvas c(40, 230, paper);
    bar.PaintTo(&c.C);
    EXPECT_EQ(c.CountNot(paper), 16 * 200);  // all of the bar, nothing beside it
    EXPECT_GE(ColoursIn(c, prev).size(), 2u);  // a glyph on the button
    pageBefore = ColoursIn(c, page);
    if (!styled) {
      EXPECT_EQ(c.At((handle.left + handle.right) / 2, (handle.top + handle.bottom) / 2), ColorToRef(clBtnFace));
      EXPECT_EQ(c.At(handle.left, handle.top), ColorToRef(cl3DLight));
      EXPECT_EQ(c.At(handle.right - 1, handle.bottom - 1), ColorToRef(cl3DDkShadow));
      for (COLORREF px : pageBefore)
        EXPECT_TRUE(px == ColorToRef(cl3DLight) || px == ColorToRef(clScrollBar)) << std::hex << px;
    }
  }
  {
    bar.MouseDown(mbLeft, 5, page.bottom - 10 - 5);
    ASSERT_EQ(bar.PressedZone(), sbzPageNext);
    MemCanvas c(40, 230, paper);
    bar.PaintTo(&c.C);
    const RECT pressed = Moved(bar.ZoneRect(sbzPageNext), 10, 10);
    const std::set<COLORREF> now = ColoursIn(c, pressed);
    if (!styled) EXPECT_EQ(now, std::set<COLORREF>{ColorToRef(cl3DDkShadow)});
    bar.MouseUp(mbLeft, 5, page.bottom - 10 - 5);
  }
  {
    // Nothing to scroll: no handle, no page parts, the track bare.
    bar.SetRange(3);
    MemCanvas c(40, 230, paper);
    bar.PaintTo(&c.C);
    const RECT none = bar.ZoneRect(sbzHandle);
    EXPECT_TRUE(IsRectEmpty(&none));
    const RECT track = Moved(bar.ZoneRect(sbzEmpty), 10, 10);
    ASSERT_FALSE(IsRectEmpty(&track));
    EXPECT_EQ(ColoursIn(c, track), std::set<COLORREF>{ColorToRef(clScrollBar)});
  }
}

namespace {
// A toolbar button whose menu holds nothing but a list of 20 entries.
struct ListOnToolbar {
  std::unique_ptr<TForm> Form;
  TSkinToolbar* Bar;
  TSkinSubmenuItem* Menu;
  TSkinStringList* List;
  explicit ListOnToolbar(bool Undo) {
    InitSkin();
    Form.reset(new TForm(Application));
    Form->SetBounds(60, 60, 400, 120);
    auto* dock = new TSkinDock(Form.get());
    dock->SetParent(Form.get());
    Bar = new TSkinToolbar(Form.get());
    Bar->SetParent(dock);
    Menu = new TSkinSubmenuItem(Form.get());
    Menu->SetCaption(L"Undo");
    List = Undo ? new TSkinUndoList(Form.get()) : new TSkinStringList(Form.get());
    for (int i = 0; i < 20; ++i) List->Strings()->Add(L"Action " + IntToStr(i));
    Menu->Add(List);
    Bar->Items()->Add(Menu);
    Form->Show();
    SetForegroundWindow(Form->GetHandle());
    Pump(30);
    Bar->View()->ValidatePositions();
  }
  POINT Button() {
    RECT r = Bar->View()->Find(Menu)->BoundsRect;
    return ScreenPoint(Bar->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // The list's viewer once its pop-up shows.
  TSkinCustomListViewer* Shown() {
    if (!List->Viewers() || List->Viewers()->empty()) return nullptr;
    TSkinCustomListViewer* v = List->Viewers()->front();
    TWinControl* w = v->View->Window;
    return w && w->HandleAllocated() && IsWindowVisible(w->GetHandle()) && v->ScrollBar() ? v : nullptr;
  }
  // Opens the menu with a click and runs Steps inside its loop, then waits
  // for the button to be up (the script then closes the menu with Escape).
  bool Run(std::vector<std::function<void()>> Steps) {
    Steps.push_back([] {
      if (GetKeyState(VK_LBUTTON) & 0x8000) LoopScript::Current()->Again();
    });
    const size_t n = Steps.size();
    LoopScript script(std::move(Steps));
    InputScript().Click(Button()).Post();
    return PumpUntil([&] { return script.StepsRun() >= n && !Shown(); }, 30000);
  }
  // The screen point of a place in the viewer.
  static POINT At(TSkinCustomListViewer* V, int X, int Y) {
    return ScreenPoint(V->View->Window->GetHandle(), V->BoundsRect.left + X, V->BoundsRect.top + Y);
  }
};
}  // namespace

// Pressing on a row of an undo list and dragging below it scrolls the list
// row by row, each step selecting more rows, until the end; releasing
// selects the row under the mouse.
TEST(SkinLists, DraggingBelowAnUndoListScrollsAndSelectsToTheEnd) {
  ListOnToolbar h(true);
  TSkinCustomListViewer* v = nullptr;
  std::vector<int> tops, hovers;
  int changes = 0, atEnd = 0, ticks = 0;
  h.List->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  ASSERT_TRUE(h.Run({
      [&] {
        if (!(v = h.Shown())) return LoopScript::Current()->Again();
        InputScript().Move(ListOnToolbar::At(v, 10, v->ItemHeight * 2 + v->ItemHeight / 2)).Down().Post();
      },
      [&] {
        if (v->HoverIndex != 2 || !(GetKeyState(VK_LBUTTON) & 0x8000)) return LoopScript::Current()->Again();
        const int below = v->VisibleItems * v->ItemHeight + 15;  // near the edge: a row a step
        InputScript().Move(ListOnToolbar::At(v, 10, below)).Post();
      },
      [&] {
        // Held below the list: watch it scroll until it rests at the end.
        if (tops.empty() || tops.back() != v->TopIndex) tops.push_back(v->TopIndex);
        if (hovers.empty() || hovers.back() != v->HoverIndex) hovers.push_back(v->HoverIndex);
        if ((v->TopIndex + v->VisibleItems < 20 || ++atEnd < 8) && ++ticks < 400)
          return LoopScript::Current()->Again();
        InputScript().Up().Post();
      },
  }));
  ASSERT_GE(tops.size(), 3u);
  for (size_t i = 1; i < tops.size(); ++i) EXPECT_GT(tops[i], tops[i - 1]);
  EXPECT_EQ(tops.back(), 12);  // stopped at the end
  for (size_t i = 1; i < hovers.size(); ++i) EXPECT_GT(hovers[i], hovers[i - 1]);
  EXPECT_EQ(hovers.back(), 19);
  EXPECT_EQ(h.List->GetItemIndex(), 19);
  EXPECT_GE(changes, 1);
  EXPECT_TRUE(ShownExceptions().empty());
}

// Dragging the scroll bar's handle scrolls the rows with it and selects
// nothing.
TEST(SkinLists, DraggingTheHandleScrollsTheList) {
  ListOnToolbar h(false);
  TSkinCustomListViewer* v = nullptr;
  int topWhileDown = -1, ticks = 0;
  ASSERT_TRUE(h.Run({
      [&] {
        if (!(v = h.Shown())) return LoopScript::Current()->Again();
        const RECT b = v->ScrollBar()->GetBounds(), hz = v->ScrollBar()->ZoneRect(sbzHandle);
        const int x = b.left + (b.right - b.left) / 2, y = b.top + (hz.top + hz.bottom) / 2;
        // Down on the handle, then to the foot of the track.
        InputScript()
            .Move(ListOnToolbar::At(v, x, y)).Down().Wait(40)
            .Move(ListOnToolbar::At(v, x, y + 20)).Wait(40)
            .Move(ListOnToolbar::At(v, x, b.bottom + 30)).Wait(40)
            .Post();
      },
      [&] {
        if (v->TopIndex != 12 && ++ticks < 300) return LoopScript::Current()->Again();
        topWhileDown = v->TopIndex;
        InputScript().Up().Post();
      },
  }));
  EXPECT_EQ(topWhileDown, 12);
  EXPECT_EQ(h.List->GetItemIndex(), -1);
  EXPECT_TRUE(ShownExceptions().empty());
}

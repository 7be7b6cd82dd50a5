// Themed lists and their scroll bar.
#include <gtest/gtest.h>

#include <memory>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
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

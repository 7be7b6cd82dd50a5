// The grid on a real window: geometry, scrolling past 65,535 rows, cell
// navigation by keyboard and mouse, SelectCell and range selection.
#include "classlib/Grids.h"
#include "classlib/tests/gui_support.h"

using namespace guitest;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

namespace {

struct GridHost {
  std::unique_ptr<TForm> form;
  TDrawGrid* grid = nullptr;
  GridHost(int cols, int rows, int w = 400, int h = 300) {
    form.reset(new TForm(Application));
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, w + 40, h + 40);
    grid = new TDrawGrid(form.get());
    grid->SetBorderStyle(bsNone);
    grid->SetScrollBars(ssNone);
    grid->SetBounds(0, 0, w, h);
    grid->SetParent(form.get());
    grid->SetDefaultColWidth(50);
    grid->SetDefaultRowHeight(20);
    grid->SetGridLineWidth(1);
    grid->SetColCount(cols);
    grid->SetRowCount(rows);
    form->Show();
    grid->HandleNeeded();
    Pump(20);
  }
  LRESULT Key(WORD vk) { return SendMessageW(grid->GetHandle(), WM_KEYDOWN, vk, 0); }
  void Click(int x, int y, WPARAM keys = MK_LBUTTON) {
    SendMessageW(grid->GetHandle(), WM_LBUTTONDOWN, keys, MAKELPARAM(x, y));
    SendMessageW(grid->GetHandle(), WM_LBUTTONUP, keys & ~MK_LBUTTON, MAKELPARAM(x, y));
  }
};

}  // namespace

TEST(GridGeometry, CellRectsAndMouseCoordinatesAgree) {
  GridHost h(10, 40);
  TDrawGrid* g = h.grid;
  g->SetColWidths(0, 30);
  EXPECT_EQ(Rect(0, 0, 30, 20), g->CellRect(0, 0));
  EXPECT_EQ(Rect(31, 21, 81, 41), g->CellRect(1, 1));
  EXPECT_EQ(Rect(82, 42, 132, 62), g->CellRect(2, 2));
  for (int c = 0; c < 5; ++c)
    for (int r = 0; r < 5; ++r) {
      TRect rc = g->CellRect(c, r);
      TGridCoord p = g->MouseCoord(rc.left + 1, rc.top + 1);
      EXPECT_EQ(c, p.X);
      EXPECT_EQ(r, p.Y);
    }
  int col, row;
  g->MouseToCell(-1, 5, col, row);
  EXPECT_EQ(-1, col);
  // scrolled: the first scrolled row follows the fixed one
  g->SetTopRow(3);
  EXPECT_EQ(Rect(31, 21, 81, 41), g->CellRect(1, 3));
  EXPECT_EQ(Rect(0, 0, 0, 0), g->CellRect(1, 2));
  EXPECT_EQ(3, g->MouseCoord(40, 25).Y);
}

TEST(GridGeometry, ZeroSizedRowsAndColumnsTakeNoSpace) {
  GridHost h(6, 6);
  TDrawGrid* g = h.grid;
  g->SetOptions(TGridOptions{goThumbTracking});  // no lines
  g->SetFixedRows(2);
  g->SetRowHeights(0, 0);
  g->SetRowHeights(1, 0);
  EXPECT_EQ(0, g->CellRect(1, 2).top);
  EXPECT_EQ(2, g->MouseCoord(60, 1).Y);
  EXPECT_EQ(4, g->VisibleRowCount());  // rows 2..5, all of which fit
}

TEST(GridCounts, FixedCountsStayBelowCountsAndCurrentCellFollows) {
  GridHost h(5, 5);
  TDrawGrid* g = h.grid;
  EXPECT_THROW(g->SetFixedRows(5), EInvalidGridOperation);
  g->SetRow(4);
  g->SetRowCount(3);
  EXPECT_EQ(2, g->GetRow());
  EXPECT_THROW(g->MoveCurrent(9, 1, true, true), EInvalidGridOperation);
  g->SetRowCount(1);
  EXPECT_EQ(0, g->GetFixedRows());
}

TEST(GridScrolling, ScrollPositionsWorkBeyond65535Rows) {
  GridHost h(4, 200001);
  TDrawGrid* g = h.grid;
  g->SetScrollBars(ssVertical);
  g->SetOptions(TGridOptions{goThumbTracking, goVertLine, goHorzLine});
  g->HandleNeeded();
  g->SetTopRow(150000);
  EXPECT_EQ(150000, g->GetTopRow());
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(g->GetHandle(), SB_VERT, &si));
  EXPECT_EQ(199999, si.nMax);
  EXPECT_EQ(149999, si.nPos);
  SendMessageW(g->GetHandle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(150001, g->GetTopRow());
  SendMessageW(g->GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);
  int vis = g->VisibleRowCount();
  EXPECT_EQ(200001 - vis, g->GetTopRow());
  ASSERT_TRUE(GetScrollInfo(g->GetHandle(), SB_VERT, &si));
  EXPECT_EQ(200001 - vis - 1, si.nPos);
  SendMessageW(g->GetHandle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(1, g->GetTopRow());
  // moving the current cell far down scrolls it into view
  g->MoveCurrent(1, 123456, true, true);
  EXPECT_LE(g->GetTopRow(), 123456);
  EXPECT_GT(g->GetTopRow() + g->VisibleRowCount(), 123456);
}

TEST(GridNavigation, KeysMoveTheCurrentCell) {
  GridHost h(8, 100);
  TDrawGrid* g = h.grid;
  g->SetFocus();
  h.Key(VK_DOWN);
  EXPECT_EQ(2, g->GetRow());
  h.Key(VK_RIGHT);
  EXPECT_EQ(2, g->GetCol());
  h.Key(VK_NEXT);
  EXPECT_EQ(2 + g->VisibleRowCount(), g->GetRow());
  h.Key(VK_END);
  EXPECT_EQ(7, g->GetCol());
  h.Key(VK_HOME);
  EXPECT_EQ(1, g->GetCol());
  h.Key(VK_UP);
  h.Key(VK_UP);
  EXPECT_EQ(g->VisibleRowCount(), g->GetRow());
  EXPECT_EQ(DLGC_WANTARROWS, SendMessageW(g->GetHandle(), WM_GETDLGCODE, 0, 0));
  g->SetOptions(g->GetOptions() + goTabs);
  EXPECT_EQ(DLGC_WANTARROWS | DLGC_WANTTAB, SendMessageW(g->GetHandle(), WM_GETDLGCODE, 0, 0));
}

TEST(GridNavigation, MouseSelectsCellsAndSelectCellCanRefuse) {
  GridHost h(8, 20);
  TDrawGrid* g = h.grid;
  TRect rc = g->CellRect(3, 4);
  h.Click(rc.left + 5, rc.top + 5);
  EXPECT_EQ(3, g->GetCol());
  EXPECT_EQ(4, g->GetRow());
  // a click on a fixed cell moves nothing
  h.Click(5, 5);
  EXPECT_EQ(3, g->GetCol());
  int asked = 0;
  g->OnSelectCell = [&](TObject*, int c, int r, bool& can) {
    ++asked;
    can = c != 5;
  };
  rc = g->CellRect(5, 4);
  h.Click(rc.left + 5, rc.top + 5);
  EXPECT_EQ(3, g->GetCol());
  EXPECT_GE(asked, 1);
  // shift+click extends the selection from the anchor
  rc = g->CellRect(4, 6);
  h.Click(rc.left + 5, rc.top + 5, MK_LBUTTON | MK_SHIFT);
  TGridRect s = g->GetSelection();
  EXPECT_EQ(3, s.Left);
  EXPECT_EQ(4, s.Top);
  EXPECT_EQ(4, s.Right);
  EXPECT_EQ(6, s.Bottom);
}

TEST(GridPainting, DrawCellRunsForVisibleCellsOnly) {
  GridHost h(30, 1000);
  TDrawGrid* g = h.grid;
  int calls = 0, maxRow = 0;
  g->OnDrawCell = [&](TObject*, int, int r, const TRect&, TGridDrawState) {
    ++calls;
    maxRow = std::max(maxRow, r);
  };
  g->Invalidate();
  g->Update();
  EXPECT_GT(calls, 0);
  EXPECT_LT(calls, 30 * 20);
  EXPECT_LT(maxRow, 20);
}

TEST(GridBorder, Ctl3DChoosesASunkenEdgeOrAFlatLineAndFollowsTheForm) {
  GridHost h(3, 3);
  h.grid->SetBorderStyle(bsSingle);
  auto exStyle = [&] { return GetWindowLongPtrW(h.grid->GetHandle(), GWL_EXSTYLE); };
  auto style = [&] { return GetWindowLongPtrW(h.grid->GetHandle(), GWL_STYLE); };
  EXPECT_TRUE(exStyle() & WS_EX_CLIENTEDGE);
  h.form->SetCtl3D(false);  // the grid follows its parent
  EXPECT_FALSE(h.grid->GetCtl3D());
  EXPECT_FALSE(exStyle() & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(style() & WS_BORDER);
  h.grid->SetCtl3D(true);
  EXPECT_TRUE(exStyle() & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(style() & WS_BORDER);
}

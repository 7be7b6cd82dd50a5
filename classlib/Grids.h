// Grids: TCustomGrid (cells addressed by column and row, fixed columns and
// rows, a current cell, a selection, scrolling, keyboard and mouse cell
// navigation) and TDrawGrid, whose cells are painted by an event.
// Scroll bar positions are 32-bit row and column indexes, so grids of
// millions of rows scroll to every row. Windows only.
#pragma once

#include <map>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/StdCtrls.h"  // TScrollStyle

ZEMBRIO_DECLARE_EXCEPTION(EInvalidGridOperation, Exception)

struct TGridCoord {
  int X = 0;
  int Y = 0;
  bool operator==(const TGridCoord& o) const { return X == o.X && Y == o.Y; }
};

// A block of cells, Left/Top to Right/Bottom inclusive.
struct TGridRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const TGridRect& o) const {
    return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
  }
  bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
};

enum TGridOption {
  goFixedVertLine,
  goFixedHorzLine,
  goVertLine,
  goHorzLine,
  goRangeSelect,
  goDrawFocusSelected,
  goRowSizing,
  goColSizing,
  goRowMoving,
  goColMoving,
  goEditing,
  goTabs,
  goRowSelect,
  goAlwaysShowEditor,
  goThumbTracking
};
using TGridOptions = TSet<TGridOption>;

enum TGridDrawStateItem { gdSelected, gdFocused, gdFixed };
using TGridDrawState = TSet<TGridDrawStateItem>;

enum TGridState { gsNormal, gsSelecting };

using TDrawCellEvent = TEvent<void(TObject* Sender, int ACol, int ARow, const TRect& Rect, TGridDrawState State)>;
using TSelectCellEvent = TEvent<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;

class TCustomGrid : public TCustomControl {
 public:
  explicit TCustomGrid(TComponent* AOwner);
  ~TCustomGrid() override;

  // Counts. Fixed columns and rows stay below the counts.
  int GetColCount() const { return colCount_; }
  void SetColCount(int n);
  int GetRowCount() const { return rowCount_; }
  void SetRowCount(int n);
  int GetFixedCols() const { return fixedCols_; }
  void SetFixedCols(int n);
  int GetFixedRows() const { return fixedRows_; }
  void SetFixedRows(int n);

  // Sizes in pixels.
  int GetDefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int w);
  int GetDefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int h);
  int GetColWidths(int col) const;
  void SetColWidths(int col, int w);
  int GetRowHeights(int row) const;
  void SetRowHeights(int row, int h);
  int GetGridLineWidth() const { return gridLineWidth_; }
  void SetGridLineWidth(int w);

  // The first scrolled column and row on show.
  int GetTopRow() const { return topRow_; }
  void SetTopRow(int row);
  int GetLeftCol() const { return leftCol_; }
  void SetLeftCol(int col);
  // Rows and columns after the fixed ones that fit wholly (at least 1).
  int VisibleRowCount();
  int VisibleColCount();

  // The current cell.
  int GetCol() const { return current_.X; }
  void SetCol(int col);
  int GetRow() const { return current_.Y; }
  void SetRow(int row);
  TGridRect GetSelection() const { return selection_; }
  void SetSelection(const TGridRect& r);

  TGridOptions GetOptions() const { return options_; }
  void SetOptions(TGridOptions o);
  TScrollStyle GetScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle s);
  TBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle b);

  // Geometry in client pixels. A cell that isn't on show has an empty
  // rectangle.
  TRect CellRect(int col, int row);
  TRect BoxRect(int left, int top, int right, int bottom);
  // The cell under a client point; -1 for a coordinate outside the cells.
  void MouseToCell(int x, int y, int& col, int& row);
  TGridCoord MouseCoord(int x, int y);
  // Pixel extent of the drawn cells (fixed ones included).
  int GridWidth();
  int GridHeight();

  void InvalidateCell(int col, int row);
  void InvalidateRow(int row);
  void InvalidateCol(int col);
  void InvalidateGrid() { Invalidate(); }

  // Moves the current cell when SelectCell agrees; with moveAnchor the
  // selection collapses to it, otherwise it spans from the anchor; with
  // show the cell is scrolled into view.
  void MoveCurrent(int col, int row, bool moveAnchor, bool show);
  // Scrolls so that the cell is wholly on show.
  void ScrollInView(int col, int row);

  TGridState GetGridState() const { return gridState_; }

  TDrawCellEvent OnDrawCell;
  TSelectCellEvent OnSelectCell;
  TNotifyEvent OnTopLeftChanged;

  void WndProc(TMessage& m) override;

 protected:
  virtual void DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
  virtual bool SelectCell(int col, int row);
  virtual void TopLeftChanged();
  // Runs for the auto-scroll timer while the mouse selects.
  virtual void TimerScroll();
  void Paint() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  // The grid's own cell navigation (KeyDown after the key event).
  void NavigateKey(WORD& key, TShiftState shift);
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Resize() override;
  bool DoMouseWheel(TShiftState shift, int delta, TPoint pos) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  virtual UINT DialogCode();
  virtual void VScroll(int code);
  virtual void HScroll(int code);
  void UpdateScrollRange();
  int MaxTopRow();
  int MaxLeftCol();
  int LineWidth() const;
  int FixedWidth() const;
  int FixedHeight() const;
  void SetTopLeft(int col, int row);
  void StopSelecting();

  TGridState gridState_ = gsNormal;

 private:
  void ClampCurrent();
  int colCount_ = 5;
  int rowCount_ = 5;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  int gridLineWidth_ = 1;
  std::vector<int> colWidths_;     // -1 = default
  std::map<int, int> rowHeights_;  // only the rows with a height of their own
  int topRow_ = 1;
  int leftCol_ = 1;
  TGridCoord current_{1, 1};
  TGridCoord anchor_{1, 1};
  TGridRect selection_{1, 1, 1, 1};
  TGridOptions options_{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
  TScrollStyle scrollBars_ = ssBoth;
  TBorderStyle borderStyle_ = bsSingle;
  bool timerOn_ = false;
  int wheelRemainder_ = 0;
  bool updatingScroll_ = false;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

// A grid whose cells are painted by OnDrawCell.
class TDrawGrid : public TCustomGrid {
 public:
  const char* ClassName() const override { return "TDrawGrid"; }
  explicit TDrawGrid(TComponent* AOwner) : TCustomGrid(AOwner) {}
  using TCustomGrid::DrawCell;
  using TCustomGrid::SelectCell;
};

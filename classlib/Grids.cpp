#include "classlib/Grids.h"

#include <algorithm>

namespace {
constexpr UINT_PTR kScrollTimer = 1;
}

TCustomGrid::TCustomGrid(TComponent* AOwner) : TCustomControl(AOwner) {
  colWidths_.assign(static_cast<size_t>(colCount_), -1);
  SetTabStop(true);
  width_ = 320;
  height_ = 120;
  color_ = clWindow;
}

TCustomGrid::~TCustomGrid() = default;

// ---------------------------------------------------------------------------
// Counts and sizes

void TCustomGrid::ClampCurrent() {
  auto clampCoord = [&](TGridCoord& c) {
    c.X = std::clamp(c.X, fixedCols_, std::max(fixedCols_, colCount_ - 1));
    c.Y = std::clamp(c.Y, fixedRows_, std::max(fixedRows_, rowCount_ - 1));
  };
  clampCoord(current_);
  clampCoord(anchor_);
  selection_ = TGridRect{std::min(anchor_.X, current_.X), std::min(anchor_.Y, current_.Y),
                         std::max(anchor_.X, current_.X), std::max(anchor_.Y, current_.Y)};
}

void TCustomGrid::SetColCount(int n) {
  if (n < 1) n = 1;
  if (n == colCount_) return;
  colCount_ = n;
  if (fixedCols_ >= n) fixedCols_ = n - 1;
  colWidths_.resize(static_cast<size_t>(n), -1);
  ClampCurrent();
  SetTopLeft(leftCol_, topRow_);
  UpdateScrollRange();
  Invalidate();
}

void TCustomGrid::SetRowCount(int n) {
  if (n < 1) n = 1;
  if (n == rowCount_) return;
  rowCount_ = n;
  if (fixedRows_ >= n) fixedRows_ = n - 1;
  rowHeights_.erase(rowHeights_.lower_bound(n), rowHeights_.end());
  ClampCurrent();
  SetTopLeft(leftCol_, topRow_);
  UpdateScrollRange();
  Invalidate();
}

void TCustomGrid::SetFixedCols(int n) {
  if (n < 0) n = 0;
  if (n >= colCount_) throw EInvalidGridOperation(L"Fixed column count must be less than column count");
  fixedCols_ = n;
  if (leftCol_ < n) leftCol_ = n;
  ClampCurrent();
  SetTopLeft(leftCol_, topRow_);
  UpdateScrollRange();
  Invalidate();
}

void TCustomGrid::SetFixedRows(int n) {
  if (n < 0) n = 0;
  if (n >= rowCount_) throw EInvalidGridOperation(L"Fixed row count must be less than row count");
  fixedRows_ = n;
  if (topRow_ < n) topRow_ = n;
  ClampCurrent();
  SetTopLeft(leftCol_, topRow_);
  UpdateScrollRange();
  Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int w) {
  if (w < 0) w = 0;
  defaultColWidth_ = w;
  std::fill(colWidths_.begin(), colWidths_.end(), -1);
  UpdateScrollRange();
  Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int h) {
  if (h < 0) h = 0;
  defaultRowHeight_ = h;
  rowHeights_.clear();
  UpdateScrollRange();
  Invalidate();
}

int TCustomGrid::GetColWidths(int col) const {
  if (col < 0 || col >= colCount_) return 0;
  int w = colWidths_[static_cast<size_t>(col)];
  return w < 0 ? defaultColWidth_ : w;
}

void TCustomGrid::SetColWidths(int col, int w) {
  if (col < 0 || col >= colCount_) throw EInvalidGridOperation(L"Grid index out of range");
  if (w < 0) w = 0;
  if (colWidths_[static_cast<size_t>(col)] == w) return;
  colWidths_[static_cast<size_t>(col)] = w;
  UpdateScrollRange();
  Invalidate();
}

int TCustomGrid::GetRowHeights(int row) const {
  if (row < 0 || row >= rowCount_) return 0;
  auto it = rowHeights_.find(row);
  return it == rowHeights_.end() ? defaultRowHeight_ : it->second;
}

void TCustomGrid::SetRowHeights(int row, int h) {
  if (row < 0 || row >= rowCount_) throw EInvalidGridOperation(L"Grid index out of range");
  if (h < 0) h = 0;
  if (GetRowHeights(row) == h) return;
  if (h == defaultRowHeight_)
    rowHeights_.erase(row);
  else
    rowHeights_[row] = h;
  UpdateScrollRange();
  Invalidate();
}

void TCustomGrid::SetGridLineWidth(int w) {
  gridLineWidth_ = std::max(0, w);
  Invalidate();
}

void TCustomGrid::SetOptions(TGridOptions o) {
  options_ = o;
  Invalidate();
}

void TCustomGrid::SetScrollBars(TScrollStyle s) {
  if (s == scrollBars_) return;
  scrollBars_ = s;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomGrid::SetBorderStyle(TBorderStyle b) {
  if (b == borderStyle_) return;
  borderStyle_ = b;
  if (HandleAllocated()) RecreateWnd();
}

int TCustomGrid::LineWidth() const {
  const TGridOptions lines{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine};
  return (options_ * lines).Empty() ? 0 : gridLineWidth_;
}

int TCustomGrid::FixedWidth() const {
  int w = 0;
  for (int c = 0; c < fixedCols_; ++c) {
    int cw = GetColWidths(c);
    if (cw > 0) w += cw + LineWidth();
  }
  return w;
}

int TCustomGrid::FixedHeight() const {
  int h = 0;
  for (int r = 0; r < fixedRows_; ++r) {
    int rh = GetRowHeights(r);
    if (rh > 0) h += rh + LineWidth();
  }
  return h;
}

// ---------------------------------------------------------------------------
// Geometry

namespace {
// Walks extents from `first` on; answers the offset of `target` from the
// start, or -1 when it lies beyond `limit` pixels.
template <class F>
int OffsetOf(int first, int target, int limit, F extent) {
  int acc = 0;
  for (int i = first; i < target; ++i) {
    acc += extent(i);
    if (acc > limit) return -1;
  }
  return acc;
}
}  // namespace

TRect TCustomGrid::CellRect(int col, int row) {
  TRect empty{0, 0, 0, 0};
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return empty;
  TRect cr = GetClientRect();
  const int lw = LineWidth();
  auto colExt = [&](int c) {
    int w = GetColWidths(c);
    return w > 0 ? w + lw : 0;
  };
  auto rowExt = [&](int r) {
    int h = GetRowHeights(r);
    return h > 0 ? h + lw : 0;
  };
  int x, y;
  if (col < fixedCols_) {
    x = OffsetOf(0, col, cr.right, colExt);
  } else {
    if (col < leftCol_) return empty;
    int o = OffsetOf(leftCol_, col, cr.right, colExt);
    x = o < 0 ? -1 : FixedWidth() + o;
  }
  if (row < fixedRows_) {
    y = OffsetOf(0, row, cr.bottom, rowExt);
  } else {
    if (row < topRow_) return empty;
    int o = OffsetOf(topRow_, row, cr.bottom, rowExt);
    y = o < 0 ? -1 : FixedHeight() + o;
  }
  if (x < 0 || y < 0 || x >= cr.right || y >= cr.bottom) return empty;
  return TRect{x, y, x + GetColWidths(col), y + GetRowHeights(row)};
}

TRect TCustomGrid::BoxRect(int left, int top, int right, int bottom) {
  TRect a = CellRect(left, top), b = CellRect(right, bottom);
  if (RectWidth(a) == 0 && RectHeight(a) == 0) return b;
  if (RectWidth(b) == 0 && RectHeight(b) == 0) return a;
  return TRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

void TCustomGrid::MouseToCell(int x, int y, int& col, int& row) {
  TGridCoord c = MouseCoord(x, y);
  col = c.X;
  row = c.Y;
}

TGridCoord TCustomGrid::MouseCoord(int x, int y) {
  TGridCoord res{-1, -1};
  const int lw = LineWidth();
  if (x >= 0) {
    int acc = 0;
    for (int c = 0; c < fixedCols_ && res.X < 0; ++c) {
      int w = GetColWidths(c);
      if (w > 0 && x < acc + w + lw) res.X = c;
      if (w > 0) acc += w + lw;
    }
    TRect cr = GetClientRect();
    for (int c = leftCol_; c < colCount_ && res.X < 0 && acc <= cr.right; ++c) {
      int w = GetColWidths(c);
      if (w > 0 && x < acc + w + lw) res.X = c;
      if (w > 0) acc += w + lw;
    }
  }
  if (y >= 0) {
    int acc = 0;
    for (int r = 0; r < fixedRows_ && res.Y < 0; ++r) {
      int h = GetRowHeights(r);
      if (h > 0 && y < acc + h + lw) res.Y = r;
      if (h > 0) acc += h + lw;
    }
    TRect cr = GetClientRect();
    for (int r = topRow_; r < rowCount_ && res.Y < 0 && acc <= cr.bottom; ++r) {
      int h = GetRowHeights(r);
      if (h > 0 && y < acc + h + lw) res.Y = r;
      if (h > 0) acc += h + lw;
    }
  }
  return res;
}

int TCustomGrid::GridWidth() {
  TRect cr = GetClientRect();
  int acc = FixedWidth();
  for (int c = leftCol_; c < colCount_ && acc < cr.right; ++c) {
    int w = GetColWidths(c);
    if (w > 0) acc += w + LineWidth();
  }
  return std::min<int>(acc, cr.right);
}

int TCustomGrid::GridHeight() {
  TRect cr = GetClientRect();
  int acc = FixedHeight();
  for (int r = topRow_; r < rowCount_ && acc < cr.bottom; ++r) {
    int h = GetRowHeights(r);
    if (h > 0) acc += h + LineWidth();
  }
  return std::min<int>(acc, cr.bottom);
}

int TCustomGrid::VisibleRowCount() {
  int avail = RectHeight(GetClientRect()) - FixedHeight();
  int n = 0, acc = 0;
  for (int r = topRow_; r < rowCount_; ++r) {
    int h = GetRowHeights(r);
    int e = h > 0 ? h + LineWidth() : 0;
    if (acc + e > avail) break;
    acc += e;
    ++n;
  }
  return std::max(1, n);
}

int TCustomGrid::VisibleColCount() {
  int avail = RectWidth(GetClientRect()) - FixedWidth();
  int n = 0, acc = 0;
  for (int c = leftCol_; c < colCount_; ++c) {
    int w = GetColWidths(c);
    int e = w > 0 ? w + LineWidth() : 0;
    if (acc + e > avail) break;
    acc += e;
    ++n;
  }
  return std::max(1, n);
}

int TCustomGrid::MaxTopRow() {
  int avail = RectHeight(GetClientRect()) - FixedHeight();
  int acc = 0, top = rowCount_;
  for (int r = rowCount_ - 1; r >= fixedRows_; --r) {
    int h = GetRowHeights(r);
    int e = h > 0 ? h + LineWidth() : 0;
    if (acc + e > avail) break;
    acc += e;
    top = r;
  }
  if (top >= rowCount_) top = rowCount_ - 1;  // not even the last row fits
  return std::max(fixedRows_, top);
}

int TCustomGrid::MaxLeftCol() {
  int avail = RectWidth(GetClientRect()) - FixedWidth();
  int acc = 0, left = colCount_;
  for (int c = colCount_ - 1; c >= fixedCols_; --c) {
    int w = GetColWidths(c);
    int e = w > 0 ? w + LineWidth() : 0;
    if (acc + e > avail) break;
    acc += e;
    left = c;
  }
  if (left >= colCount_) left = colCount_ - 1;
  return std::max(fixedCols_, left);
}

// ---------------------------------------------------------------------------
// Scrolling

void TCustomGrid::SetTopLeft(int col, int row) {
  col = std::clamp(col, fixedCols_, std::max(fixedCols_, MaxLeftCol()));
  row = std::clamp(row, fixedRows_, std::max(fixedRows_, MaxTopRow()));
  if (col == leftCol_ && row == topRow_) return;
  leftCol_ = col;
  topRow_ = row;
  UpdateScrollRange();
  Invalidate();
  TopLeftChanged();
}

void TCustomGrid::SetTopRow(int row) { SetTopLeft(leftCol_, row); }
void TCustomGrid::SetLeftCol(int col) { SetTopLeft(col, topRow_); }

void TCustomGrid::TopLeftChanged() {
  if (OnTopLeftChanged) OnTopLeftChanged(this);
}

void TCustomGrid::ScrollInView(int col, int row) {
  int newTop = topRow_, newLeft = leftCol_;
  if (row >= fixedRows_) {
    if (row < topRow_) {
      newTop = row;
    } else {
      int avail = RectHeight(GetClientRect()) - FixedHeight();
      // the smallest top row that still shows `row` whole
      int acc = 0, top = row;
      for (int r = row; r >= fixedRows_; --r) {
        int h = GetRowHeights(r);
        int e = h > 0 ? h + LineWidth() : 0;
        if (acc + e > avail) break;
        acc += e;
        top = r;
      }
      if (top > topRow_) newTop = top;
    }
  }
  if (col >= fixedCols_) {
    if (col < leftCol_) {
      newLeft = col;
    } else {
      int avail = RectWidth(GetClientRect()) - FixedWidth();
      int acc = 0, left = col;
      for (int c = col; c >= fixedCols_; --c) {
        int w = GetColWidths(c);
        int e = w > 0 ? w + LineWidth() : 0;
        if (acc + e > avail) break;
        acc += e;
        left = c;
      }
      if (left > leftCol_) newLeft = left;
    }
  }
  SetTopLeft(newLeft, newTop);
}

void TCustomGrid::UpdateScrollRange() {
  if (!HandleAllocated() || updatingScroll_) return;
  updatingScroll_ = true;
  auto apply = [&](int bar, bool wanted, int first, int count, int page, int pos, int maxFirst) {
    if (!wanted) return;
    bool needed = maxFirst > first;
    if (!needed) {
      ShowScrollBar(handle_, bar, FALSE);
      return;
    }
    ShowScrollBar(handle_, bar, TRUE);
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, count - 1);  // 32-bit: every row has its own position
    si.nPage = static_cast<UINT>(std::max(1, page));
    si.nPos = pos - first;
    SetScrollInfo(handle_, bar, &si, TRUE);
  };
  apply(SB_VERT, scrollBars_ == ssVertical || scrollBars_ == ssBoth, fixedRows_, rowCount_ - fixedRows_,
        VisibleRowCount(), topRow_, MaxTopRow());
  apply(SB_HORZ, scrollBars_ == ssHorizontal || scrollBars_ == ssBoth, fixedCols_, colCount_ - fixedCols_,
        VisibleColCount(), leftCol_, MaxLeftCol());
  updatingScroll_ = false;
}

void TCustomGrid::VScroll(int code) {
  int vis = VisibleRowCount();
  switch (code) {
    case SB_LINEUP: SetTopRow(topRow_ - 1); break;
    case SB_LINEDOWN: SetTopRow(topRow_ + 1); break;
    case SB_PAGEUP: SetTopRow(topRow_ - vis); break;
    case SB_PAGEDOWN: SetTopRow(topRow_ + vis); break;
    case SB_TOP: SetTopRow(fixedRows_); break;
    case SB_BOTTOM: SetTopRow(MaxTopRow()); break;
    case SB_THUMBTRACK:
      if (!options_.Contains(goThumbTracking)) break;
      [[fallthrough]];
    case SB_THUMBPOSITION: {
      // The 32-bit track position, not the message's 16-bit one.
      SCROLLINFO si{};
      si.cbSize = sizeof(si);
      si.fMask = SIF_TRACKPOS;
      if (GetScrollInfo(handle_, SB_VERT, &si)) SetTopRow(si.nTrackPos + fixedRows_);
      break;
    }
    default: break;
  }
}

void TCustomGrid::HScroll(int code) {
  int vis = VisibleColCount();
  switch (code) {
    case SB_LINELEFT: SetLeftCol(leftCol_ - 1); break;
    case SB_LINERIGHT: SetLeftCol(leftCol_ + 1); break;
    case SB_PAGELEFT: SetLeftCol(leftCol_ - vis); break;
    case SB_PAGERIGHT: SetLeftCol(leftCol_ + vis); break;
    case SB_LEFT: SetLeftCol(fixedCols_); break;
    case SB_RIGHT: SetLeftCol(MaxLeftCol()); break;
    case SB_THUMBTRACK:
      if (!options_.Contains(goThumbTracking)) break;
      [[fallthrough]];
    case SB_THUMBPOSITION: {
      SCROLLINFO si{};
      si.cbSize = sizeof(si);
      si.fMask = SIF_TRACKPOS;
      if (GetScrollInfo(handle_, SB_HORZ, &si)) SetLeftCol(si.nTrackPos + fixedCols_);
      break;
    }
    default: break;
  }
}

bool TCustomGrid::DoMouseWheel(TShiftState shift, int delta, TPoint pos) {
  if (TCustomControl::DoMouseWheel(shift, delta, pos)) return true;
  wheelRemainder_ += delta;
  int steps = wheelRemainder_ / WHEEL_DELTA;
  wheelRemainder_ -= steps * WHEEL_DELTA;
  if (steps != 0) SetTopRow(topRow_ - 3 * steps);
  return true;
}

void TCustomGrid::Resize() {
  TCustomControl::Resize();
  SetTopLeft(leftCol_, topRow_);
  UpdateScrollRange();
}

// ---------------------------------------------------------------------------
// Current cell and selection

bool TCustomGrid::SelectCell(int col, int row) {
  bool can = true;
  if (OnSelectCell) OnSelectCell(this, col, row, can);
  return can;
}

void TCustomGrid::MoveCurrent(int col, int row, bool moveAnchor, bool show) {
  if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
    throw EInvalidGridOperation(L"Grid index out of range");
  if (!SelectCell(col, row)) return;
  TGridCoord old = current_;
  TGridRect oldSel = selection_;
  current_ = TGridCoord{col, row};
  if (moveAnchor || !options_.Contains(goRangeSelect)) anchor_ = current_;
  selection_ = TGridRect{std::min(anchor_.X, col), std::min(anchor_.Y, row), std::max(anchor_.X, col),
                         std::max(anchor_.Y, row)};
  if (HandleAllocated()) {
    InvalidateCell(old.X, old.Y);
    InvalidateCell(col, row);
    if (!(oldSel == selection_)) {
      TRect a = BoxRect(oldSel.Left, oldSel.Top, oldSel.Right, oldSel.Bottom);
      TRect b = BoxRect(selection_.Left, selection_.Top, selection_.Right, selection_.Bottom);
      InvalidateRect(handle_, &a, FALSE);
      InvalidateRect(handle_, &b, FALSE);
    }
  }
  if (show) ScrollInView(col, row);
}

void TCustomGrid::SetCol(int col) { MoveCurrent(col, current_.Y, true, true); }
void TCustomGrid::SetRow(int row) { MoveCurrent(current_.X, row, true, true); }

void TCustomGrid::SetSelection(const TGridRect& r) {
  TGridRect n{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
              std::max(r.Top, r.Bottom)};
  anchor_ = TGridCoord{n.Left, n.Top};
  selection_ = n;
  MoveCurrent(n.Left, n.Top, false, true);
  Invalidate();
}

void TCustomGrid::InvalidateCell(int col, int row) {
  if (!HandleAllocated()) return;
  TRect r = CellRect(col, row);
  if (RectWidth(r) > 0 && RectHeight(r) > 0) InvalidateRect(handle_, &r, FALSE);
}

void TCustomGrid::InvalidateRow(int row) {
  if (!HandleAllocated()) return;
  TRect r = CellRect(0, row);
  if (RectHeight(r) == 0) r = CellRect(leftCol_, row);
  if (RectHeight(r) == 0) return;
  TRect cr = GetClientRect();
  r.left = 0;
  r.right = cr.right;
  InvalidateRect(handle_, &r, FALSE);
}

void TCustomGrid::InvalidateCol(int col) {
  if (!HandleAllocated()) return;
  TRect r = CellRect(col, 0);
  if (RectWidth(r) == 0) r = CellRect(col, topRow_);
  if (RectWidth(r) == 0) return;
  TRect cr = GetClientRect();
  r.top = 0;
  r.bottom = cr.bottom;
  InvalidateRect(handle_, &r, FALSE);
}

// ---------------------------------------------------------------------------
// Painting

void TCustomGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  if (OnDrawCell) OnDrawCell(this, col, row, rect, state);
}

void TCustomGrid::Paint() {
  TCanvas* cv = Canvas();
  TRect cr = GetClientRect();
  const int lw = LineWidth();
  const bool focused = Focused();
  auto rows = std::vector<int>();
  for (int r = 0; r < fixedRows_; ++r) rows.push_back(r);
  {
    int acc = FixedHeight();
    for (int r = topRow_; r < rowCount_ && acc < cr.bottom; ++r) {
      rows.push_back(r);
      int h = GetRowHeights(r);
      if (h > 0) acc += h + lw;
    }
  }
  auto cols = std::vector<int>();
  for (int c = 0; c < fixedCols_; ++c) cols.push_back(c);
  {
    int acc = FixedWidth();
    for (int c = leftCol_; c < colCount_ && acc < cr.right; ++c) {
      cols.push_back(c);
      int w = GetColWidths(c);
      if (w > 0) acc += w + lw;
    }
  }
  for (int r : rows) {
    for (int c : cols) {
      TRect rc = CellRect(c, r);
      if (RectWidth(rc) <= 0 || RectHeight(rc) <= 0) continue;
      TGridDrawState st;
      bool fixed = c < fixedCols_ || r < fixedRows_;
      if (fixed) st += gdFixed;
      if (!fixed && selection_.Contains(c, r)) st += gdSelected;
      if (c == current_.X && r == current_.Y && focused) st += gdFocused;
      cv->Brush()->SetColor(fixed ? clBtnFace : (st.Contains(gdSelected) ? clHighlight : color_));
      cv->FillRect(rc);
      DrawCell(c, r, rc, st);
      if (lw > 0) {
        bool vert = fixed ? options_.Contains(goFixedVertLine) : options_.Contains(goVertLine);
        bool horz = fixed ? options_.Contains(goFixedHorzLine) : options_.Contains(goHorzLine);
        cv->Brush()->SetColor(fixed ? clBtnShadow : clSilver);
        if (vert) cv->FillRect(TRect{rc.right, rc.top, rc.right + lw, rc.bottom + lw});
        if (horz) cv->FillRect(TRect{rc.left, rc.bottom, rc.right + lw, rc.bottom + lw});
      }
      if (st.Contains(gdFocused) && !options_.Contains(goRowSelect)) cv->DrawFocusRect(rc);
    }
  }
  // the area beyond the cells
  int gw = GridWidth(), gh = GridHeight();
  cv->Brush()->SetColor(color_);
  if (gw < cr.right) cv->FillRect(TRect{gw, 0, cr.right, cr.bottom});
  if (gh < cr.bottom) cv->FillRect(TRect{0, gh, gw, cr.bottom});
}

// ---------------------------------------------------------------------------
// Keyboard and mouse

UINT TCustomGrid::DialogCode() {
  UINT code = DLGC_WANTARROWS;
  if (options_.Contains(goTabs)) code |= DLGC_WANTTAB;
  if (options_.Contains(goEditing)) code |= DLGC_WANTCHARS;
  return code;
}

void TCustomGrid::KeyDown(WORD& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  if (key == 0) return;
  NavigateKey(key, shift);
}

void TCustomGrid::NavigateKey(WORD& key, TShiftState shift) {
  const bool ctrl = shift.Contains(ssCtrl);
  int c = current_.X, r = current_.Y;
  const int vis = VisibleRowCount();
  bool handled = true;
  switch (key) {
    case VK_UP:
      if (ctrl) SetTopRow(topRow_ - 1); else --r;
      break;
    case VK_DOWN:
      if (ctrl) SetTopRow(topRow_ + 1); else ++r;
      break;
    case VK_LEFT:
      if (ctrl) SetLeftCol(leftCol_ - 1); else --c;
      break;
    case VK_RIGHT:
      if (ctrl) SetLeftCol(leftCol_ + 1); else ++c;
      break;
    case VK_PRIOR:
      r -= vis;
      SetTopRow(topRow_ - vis);
      break;
    case VK_NEXT:
      r += vis;
      SetTopRow(topRow_ + vis);
      break;
    case VK_HOME:
      if (ctrl) r = fixedRows_; else c = fixedCols_;
      break;
    case VK_END:
      if (ctrl) r = rowCount_ - 1; else c = colCount_ - 1;
      break;
    case VK_TAB:
      if (!options_.Contains(goTabs) || ctrl) {
        handled = false;
        break;
      }
      if (shift.Contains(ssShift)) {
        if (--c < fixedCols_) {
          c = colCount_ - 1;
          --r;
        }
      } else if (++c >= colCount_) {
        c = fixedCols_;
        ++r;
      }
      break;
    default:
      handled = false;
      break;
  }
  if (!handled) return;
  c = std::clamp(c, fixedCols_, colCount_ - 1);
  r = std::clamp(r, fixedRows_, rowCount_ - 1);
  if (c != current_.X || r != current_.Y) {
    bool extend = shift.Contains(ssShift) && key != VK_TAB && options_.Contains(goRangeSelect);
    MoveCurrent(c, r, !extend, true);
  }
  key = 0;
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (CanFocus() && !Focused()) SetFocus();
    TGridCoord cell = MouseCoord(x, y);
    if (cell.X >= fixedCols_ && cell.Y >= fixedRows_) {
      bool extend = shift.Contains(ssShift) && options_.Contains(goRangeSelect);
      MoveCurrent(cell.X, cell.Y, !extend, true);
      gridState_ = gsSelecting;
      SetCapture(GetHandle());
      if (!timerOn_) {
        SetTimer(GetHandle(), kScrollTimer, 60, nullptr);
        timerOn_ = true;
      }
    }
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomGrid::MouseMove(TShiftState shift, int x, int y) {
  if (gridState_ == gsSelecting) {
    TGridCoord cell = MouseCoord(x, y);
    if (cell.X >= fixedCols_ && cell.Y >= fixedRows_ && !(cell == current_)) MoveCurrent(cell.X, cell.Y, false, true);
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && gridState_ == gsSelecting) {
    TGridCoord cell = MouseCoord(x, y);
    if (cell.X >= fixedCols_ && cell.Y >= fixedRows_ && !(cell == current_)) MoveCurrent(cell.X, cell.Y, false, true);
    StopSelecting();
  }
  TCustomControl::MouseUp(button, shift, x, y);
}

void TCustomGrid::StopSelecting() {
  gridState_ = gsNormal;
  if (timerOn_ && HandleAllocated()) KillTimer(handle_, kScrollTimer);
  timerOn_ = false;
  if (HandleAllocated() && GetCapture() == handle_) ReleaseCapture();
}

void TCustomGrid::TimerScroll() {
  if (gridState_ != gsSelecting || !HandleAllocated()) return;
  POINT p;
  ::GetCursorPos(&p);
  p = ScreenToClient(p);
  TRect cr = GetClientRect();
  int c = current_.X, r = current_.Y;
  if (p.y < FixedHeight()) {
    SetTopRow(topRow_ - 1);
    r = topRow_;
  } else if (p.y >= cr.bottom) {
    SetTopRow(topRow_ + 1);
    r = std::min(rowCount_ - 1, topRow_ + VisibleRowCount() - 1);
  }
  if (p.x < FixedWidth()) {
    SetLeftCol(leftCol_ - 1);
    c = leftCol_;
  } else if (p.x >= cr.right) {
    SetLeftCol(leftCol_ + 1);
    c = std::min(colCount_ - 1, leftCol_ + VisibleColCount() - 1);
  }
  if (c != current_.X || r != current_.Y) MoveCurrent(c, r, false, false);
}

// ---------------------------------------------------------------------------
// Window

void TCustomGrid::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style |= WS_TABSTOP | WS_CLIPCHILDREN;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) params.Style |= WS_VSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) params.Style |= WS_HSCROLL;
  if (borderStyle_ == bsSingle) {
    if (ctl3D_)
      params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      params.Style |= WS_BORDER;
  }
  params.WindowClass.style |= CS_DBLCLKS;
  params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCustomGrid::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateScrollRange();
}

void TCustomGrid::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_CTL3DCHANGED:  // the border is made with the window
      if (HandleAllocated() && borderStyle_ == bsSingle) RecreateWnd();
      break;
    case WM_VSCROLL:
      if (m.LParam == 0) {
        VScroll(LOWORD(m.WParam));
        m.Result = 0;
        return;
      }
      break;
    case WM_HSCROLL:
      if (m.LParam == 0) {
        HScroll(LOWORD(m.WParam));
        m.Result = 0;
        return;
      }
      break;
    case WM_GETDLGCODE:
      m.Result = DialogCode();
      return;
    case WM_TIMER:
      if (m.WParam == kScrollTimer) {
        TimerScroll();
        m.Result = 0;
        return;
      }
      break;
    case WM_CANCELMODE:
    case WM_CAPTURECHANGED:
      if (gridState_ == gsSelecting && (m.Msg == WM_CANCELMODE || reinterpret_cast<HWND>(m.LParam) != handle_))
        StopSelecting();
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateCell(current_.X, current_.Y);
      break;
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

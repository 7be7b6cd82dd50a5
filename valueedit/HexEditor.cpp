#include "classlib/PropFiler.h"
#include "valueedit/HexEditor.h"

#include <algorithm>

#include "classlib/Forms.h"

namespace {
constexpr UINT WM_INTUPDATECARET = WM_USER + 3;
constexpr int kHidden = -50;
}  // namespace

// ---------------------------------------------------------------------------
// Colours

TColor FadeToGray(TColor c) {
  COLORREF rgb = ColorToRef(c);
  int g = (74 * GetRValue(rgb) + 146 * GetGValue(rgb) + 36 * GetBValue(rgb)) / 256;
  return static_cast<TColor>(RGB(g, g, g));
}

TColor InvertColor(TColor c) { return static_cast<TColor>(~ColorToRef(c) & 0xFFFFFF); }

THexColors::THexColors(TCustomHexEditor* control) : control_(control) {}

void THexColors::Set(TColor& field, TColor c) {
  if (field == c) return;
  field = c;
  if (control_) control_->Invalidate();
}

void THexColors::SetBackground(TColor c) {
  Set(background_, c);
  if (control_) control_->SetColor(c);
}
void THexColors::SetChangedBackground(TColor c) { Set(changedBackground_, c); }
void THexColors::SetChangedText(TColor c) { Set(changedText_, c); }
void THexColors::SetCursorFrame(TColor c) { Set(cursorFrame_, c); }
void THexColors::SetOffset(TColor c) { Set(offset_, c); }
void THexColors::SetOddColumn(TColor c) { Set(oddColumn_, c); }
void THexColors::SetEvenColumn(TColor c) { Set(evenColumn_, c); }
void THexColors::SetCurrentOffsetBackground(TColor c) { Set(currentOffsetBackground_, c); }
void THexColors::SetOffsetBackGround(TColor c) { Set(offsetBackground_, c); }
void THexColors::SetCurrentOffset(TColor c) { Set(currentOffset_, c); }
void THexColors::SetGrid(TColor c) { Set(grid_, c); }

void THexColors::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<THexColors*>(Source);
  if (!s) return;
  SetBackground(s->background_);
  SetChangedText(s->changedText_);
  SetCursorFrame(s->cursorFrame_);
  SetOffset(s->offset_);
  SetOddColumn(s->oddColumn_);
  SetEvenColumn(s->evenColumn_);
  SetChangedBackground(s->changedBackground_);
  SetCurrentOffsetBackground(s->currentOffsetBackground_);
  SetCurrentOffset(s->currentOffset_);
  SetOffsetBackGround(s->offsetBackground_);
  SetGrid(s->grid_);
}

void THexColors::SetParent(TCustomHexEditor* control) {
  control_ = control;
  if (control_) control_->SetColor(background_);
}

// ---------------------------------------------------------------------------
// Construction

TCustomHexEditor::TCustomHexEditor(TComponent* AOwner)
    : TCustomGrid(AOwner),
      colors_(std::make_unique<THexColors>(this)),
      bookmarkBitmap_(std::make_unique<TBitmap>()),
      bookmarkImages_(std::make_unique<TImageList>(nullptr, 10, 10)) {
  SetBorderStyle(bsSingle);
  SetCtl3D(false);
  SetCursor(crIBeam);
  parentFont_ = false;
  Font()->SetName(L"Courier New");
  Font()->SetSize(11);
  SetParentColor(false);
  SetColor(colors_->GetBackground());
  SetOptions(TGridOptions{goThumbTracking});
  SetDefaultColWidth(0);
  SetDefaultRowHeight(0);
  SetColCount(CalcColCount());
  SetRowCount(3);
  SetFixedCols(2);
  SetFixedRows(2);
  SetRowHeights(0, 0);
  SetRowHeights(1, 0);
  selLow_ = selHigh_ = selAnchor_ = -1;
  modified_ = false;
  readOnlyFile_ = true;
  SetBookmarkBitmap(nullptr);
  AdjustMetrics();
  // The empty document that reading a form would make (Loaded) exists from
  // the start for an editor made in code.
  CreateEmptyFile(L"Untitled");
}

TCustomHexEditor::~TCustomHexEditor() {
  if (caretCreated_ && HandleAllocated() && GetFocus() == handle_) DestroyCaret();
}

void TCustomHexEditor::Loaded() {
  TCustomGrid::Loaded();
  CreateEmptyFile(L"Untitled");
}

void TCustomHexEditor::CreateWnd() {
  TCustomGrid::CreateWnd();
  // A designed editor shows an empty document; at run time never at the
  // cost of data the host put in before the window existed.
  if (IsDesigning() || (fileName_ == L"---" && GetDataSize() == 0)) CreateEmptyFile(L"Untitled");
  AdjustMetrics();
}

// ---------------------------------------------------------------------------
// Grid seam

void TCustomHexEditor::GridSetCounts(int colCount, int rowCount) {
  if (GetColCount() != colCount) SetColCount(colCount);
  if (GetRowCount() != rowCount) SetRowCount(rowCount);
  if (GetFixedCols() != 2 && colCount > 2) SetFixedCols(2);
  if (GetFixedRows() != 2 && rowCount > 2) SetFixedRows(2);
}

int TCustomHexEditor::GridVisibleRowCount() const {
  return const_cast<TCustomHexEditor*>(this)->VisibleRowCount();
}

void TCustomHexEditor::GridMoveCurrent(int col, int row) {
  if (col < 0 || row < 0 || col >= GetColCount() || row >= GetRowCount()) return;
  MoveCurrent(col, row, true, true);
}

void TCustomHexEditor::InvalidatePositions(int32_t from, int32_t to) {
  if (!HandleAllocated()) return;
  int r1 = THexEditorCore::GetRow(std::max(0, from)), r2 = THexEditorCore::GetRow(std::max(0, to));
  int top = GetTopRow(), last = top + VisibleRowCount() + 1;
  r1 = std::max(r1, top);
  r2 = std::min(r2, last);
  for (int r = r1; r <= r2; ++r) InvalidateRow(r);
}

void TCustomHexEditor::InvalidateCaretRows(int oldRow, int newRow) {
  if (!HandleAllocated()) return;
  InvalidateRow(oldRow);
  InvalidateRow(newRow);
  if (showRuler_) InvalidateRow(0);
}

bool TCustomHexEditor::IsKeyDown(int vk) const {
  // While the grid selects with the mouse the left button is down, whatever
  // the key state says of messages that were sent rather than input.
  if (vk == hexkeys::LButton && gridState_ == gsSelecting) return true;
  return GetKeyState(vk) < 0;
}

void TCustomHexEditor::WaitCursor() {
  cursorStack_.push_back(GetCursor());
  SetCursor(crHourGlass);
}

void TCustomHexEditor::OldCursor() {
  if (cursorStack_.empty()) return;
  SetCursor(cursorStack_.back());
  cursorStack_.pop_back();
}

void TCustomHexEditor::Changed() { THexEditorCore::Changed(); }

void TCustomHexEditor::CaretShapeChanged() {
  if (caretKind_ == ckAuto && HandleAllocated() && GetFocus() == handle_) {
    CreateColoredCaret();
    UpdateCaretPos();
  }
}

// ---------------------------------------------------------------------------
// Metrics

void TCustomHexEditor::AdjustMetrics() {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->GetHandle());
  SIZE w{}, y{};
  GetTextExtentPoint32W(dc, L"w", 1, &w);
  GetTextExtentPoint32W(dc, L"yY", 2, &y);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  charWidth_ = std::max<int>(1, w.cx);
  rowHeight_ = y.cy + 2;

  const int B = bytesPerRow_, P = bytesPerColumn_;
  SetOffsetDisplayWidth();
  SetColWidths(0, gutterWidth_ != -1 ? gutterWidth_ : offsetDisplayWidth_ * charWidth_ + 20);
  SetColWidths(1, 6);
  for (int c = 2; c <= 2 * B + 2; ++c) SetColWidths(c, (c % (2 * P)) == 1 ? 2 * charWidth_ : charWidth_);
  for (int c = 2 * B + 3; c <= 3 * B + 1; ++c) SetColWidths(c, charWidth_);
  SetColWidths(3 * B + 2, 2 * charWidth_);
  if (GetDefaultRowHeight() != rowHeight_) {
    SetDefaultRowHeight(rowHeight_);
  }
  SetRowHeights(1, 0);
  SetRowHeights(0, showRuler_ ? rowHeight_ + 3 : 0);
  Invalidate();
}

void TCustomHexEditor::FontChanged(TObject* sender) {
  TCustomGrid::FontChanged(sender);
  if (HandleAllocated()) {
    AdjustMetrics();
    if (GetFocus() == handle_) {
      CreateColoredCaret();
      UpdateCaretPos();
    }
  }
}

void TCustomHexEditor::SetShowRuler(bool v) {
  if (v == showRuler_ && !IsLoading()) return;
  showRuler_ = v;
  AdjustMetrics();
}

void TCustomHexEditor::SetFocusFrame(bool v) {
  if (v == focusFrame_) return;
  focusFrame_ = v;
  Invalidate();
}

void TCustomHexEditor::SetDrawGridLines(bool v) {
  if (v == drawGridLines_) return;
  drawGridLines_ = v;
  Invalidate();
}

void TCustomHexEditor::SetDrawGutter3D(bool v) {
  if (v == drawGutter3D_) return;
  drawGutter3D_ = v;
  Invalidate();
}

void TCustomHexEditor::SetHideSelection(bool v) {
  if (v == hideSelection_) return;
  hideSelection_ = v;
  if (!Focused() && GetSelCount() > 0) Invalidate();
}

void TCustomHexEditor::SetGraySelectionIfNotFocused(bool v) {
  if (v == graySelection_) return;
  graySelection_ = v;
  if (!Focused() && GetSelCount() > 0 && !hideSelection_) Invalidate();
}

// ---------------------------------------------------------------------------
// Bookmark icons

void TCustomHexEditor::HookBookmarkBitmap() {
  // Drawing on the bitmap later refills the icons.
  bookmarkBitmap_->OnChange = [this](TObject*) {
    if (!inBookmarkChange_) BookmarkBitmapChanged();
  };
}

void TCustomHexEditor::SetBookmarkBitmap(TBitmap* bmp) {
  struct Guard {
    bool& f;
    explicit Guard(bool& x) : f(x) { f = true; }
    ~Guard() { f = false; }
  };
  {
    Guard g(inBookmarkChange_);
    LoadBookmarkBitmap(bmp);
  }
  HookBookmarkBitmap();
  BookmarkBitmapChanged();
}

void TCustomHexEditor::LoadBookmarkBitmap(TBitmap* bmp) {
  if (bmp) {
    if (bmp->GetWidth() != 200 || bmp->GetHeight() != 10)
      throw EHexException(L"Invalid bookmark bitmap (must be 10 x 200 px)");
    bookmarkBitmap_->Assign(*bmp);
    customBookmarks_ = true;
  } else {
    customBookmarks_ = false;
    try {
      bookmarkBitmap_->LoadFromResourceName(MainInstance(), L"BOOKMARKICONS");
    } catch (const Exception&) {
      // a program built without the icons shows bookmarks without them
      bookmarkBitmap_ = std::make_unique<TBitmap>();
    }
  }
}

void TCustomHexEditor::BookmarkBitmapChanged() {
  if (inBookmarkChange_) return;
  inBookmarkChange_ = true;
  struct Reset {
    bool& f;
    ~Reset() { f = false; }
  } reset{inBookmarkChange_};
  bookmarkImages_->Clear();
  if (!bookmarkBitmap_->Empty()) {
    TColor transparent = bookmarkBitmap_->Canvas()->Pixels(0, 0);
    bookmarkImages_->AddMasked(bookmarkBitmap_.get(), transparent);
  }
  if (HandleAllocated()) InvalidateCol(0);
}

// ---------------------------------------------------------------------------
// Caret

void TCustomHexEditor::CreateColoredCaret() {
  if (!HandleAllocated()) return;
  if (caretCreated_) DestroyCaret();
  const int w = charWidth_, h = std::max(1, rowHeight_ - 2);
  caretBitmap_ = std::make_unique<TBitmap>(w, h, pfDevice);
  TCanvas* cv = caretBitmap_->Canvas();
  cv->Brush()->SetColor(clBlack);
  cv->FillRect(Rect(0, 0, w, h));
  cv->Brush()->SetColor(clWhite);
  THexCaretKind kind = caretKind_;
  if (kind == ckAuto) kind = GetInsertMode() ? ckLeft : ckFull;
  switch (kind) {
    case ckFull: cv->FillRect(Rect(0, 0, w, h)); break;
    case ckLeft: cv->FillRect(Rect(0, 0, std::min(2, w), h)); break;
    case ckBottom: cv->FillRect(Rect(0, std::max(0, rowHeight_ - 4), w, h)); break;
    default: break;
  }
  CreateCaret(handle_, caretBitmap_->GetHandle(), 0, 0);
  caretCreated_ = true;
  ShowCaret(handle_);
}

void TCustomHexEditor::IntSetCaretPos(int x, int y) {
  if (HandleAllocated() && GetFocus() == handle_) SetCaretPos(x, y);
}

void TCustomHexEditor::UpdateCaretPos() {
  TRect r = CellRect(GetCol(), TCustomGrid::GetRow());
  if (RectWidth(r) <= 0 || RectHeight(r) <= 0)
    IntSetCaretPos(kHidden, kHidden);
  else
    IntSetCaretPos(CaretLeft(r), r.top);
}

int TCustomHexEditor::CaretLeft(const TRect& cell) const {
  // Typing past the end, the caret stands right of the last cell (which is
  // at least two characters wide, or has an empty cell beside it).
  return cell.left + (GetTypingPastEnd() ? charWidth_ : 0);
}

void TCustomHexEditor::CaretPlaceChanged() {
  if (HandleAllocated()) PostMessageW(handle_, WM_INTUPDATECARET, 7, 7);
}

void TCustomHexEditor::SetCaretKind(THexCaretKind k) {
  if (k == caretKind_) return;
  caretKind_ = k;
  if (HandleAllocated() && GetFocus() == handle_) {
    CreateColoredCaret();
    IntSetCaretPos(kHidden, kHidden);
    Invalidate();
  }
}

// ---------------------------------------------------------------------------
// Cells, keys and mouse

bool TCustomHexEditor::SelectCell(int col, int row) {
  if (!TCustomGrid::SelectCell(col, row)) return false;
  if (!CheckSelectCell(col, row)) return false;
  if (HandleAllocated()) PostMessageW(handle_, WM_INTUPDATECARET, 7, 7);
  return true;
}

void TCustomHexEditor::TopLeftChanged() {
  TCustomGrid::TopLeftChanged();
  if (HandleAllocated()) PostMessageW(handle_, WM_INTUPDATECARET, 7, 7);
}

void TCustomHexEditor::Resize() {
  TCustomGrid::Resize();
  if (HandleAllocated()) PostMessageW(handle_, WM_INTUPDATECARET, 7, 7);
}

UINT TCustomHexEditor::DialogCode() {
  const UINT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
  if (wantTabs_) return code | DLGC_WANTALLKEYS | DLGC_WANTTAB;
  // Wanting all keys takes Tab too: not for a Tab press.
  return keyAsked_ == VK_TAB ? code : code | DLGC_WANTALLKEYS;
}

void TCustomHexEditor::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
  if (key == 0) return;
  int k = key;
  HexKeyDown(k, shift);
  key = static_cast<WORD>(k);
  if (key != 0) NavigateKey(key, shift);
}

void TCustomHexEditor::KeyUp(WORD& key, TShiftState shift) {
  int k = key;
  HexKeyUp(k, shift);
  TCustomGrid::KeyUp(key, shift);
}

void TCustomHexEditor::KeyPress(wchar_t& key) {
  TCustomGrid::KeyPress(key);  // the key-press event may change the key
  if (key == 0) return;
  wchar_t w = key;
  key = 0;
  if (w < 32) {
    WMChar(static_cast<uint8_t>(w));
    return;
  }
  char a = 0;
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, 0, &w, 1, &a, 1, nullptr, &lossy);
  if (n != 1 || lossy) {
    WrongKey();
    return;
  }
  WMChar(static_cast<uint8_t>(a));
}

void TCustomHexEditor::CheckMouseCoord(int& x, int& y) {
  if (!GetInsertMode()) return;
  TGridCoord c = MouseCoord(x, y);
  if (c.X != GetLastCharCol() || c.Y < 2) return;
  TRect r = CellRect(c.X, c.Y);
  if (x > r.left + charWidth_) {
    y += rowHeight_;
    x -= bytesPerRow_ * charWidth_;
  }
}

bool TCustomHexEditor::PointOnCell(int x, int y) {
  const int lw = LineWidth();
  int64_t right = FixedWidth();
  for (int c = GetLeftCol(); c < GetColCount(); ++c)
    if (GetColWidths(c) > 0) right += GetColWidths(c) + lw;
  // the data rows all have the default height
  const int64_t bottom =
      FixedHeight() + static_cast<int64_t>(GetRowCount() - GetTopRow()) * (GetDefaultRowHeight() + lw);
  return x < right && y < bottom;
}

void TCustomHexEditor::TimerScroll() {
  if (gridState_ != gsSelecting || !HandleAllocated()) return;
  // The point is taken as a mouse move takes it (right of a full row's last
  // character: the append position below); beyond the last column or row
  // there is nothing to scroll to, and the grid would pull the caret to the
  // edge of what is on show, into the other field.
  POINT p;
  ::GetCursorPos(&p);
  p = ScreenToClient(p);
  int x = p.x, y = p.y;
  CheckMouseCoord(x, y);
  if (PointOnCell(x, y)) TCustomGrid::TimerScroll();
}

bool TCustomHexEditor::CursorOverSelection(int x, int y) {
  if (GetSelCount() == 0 || GetDataSize() == 0) return false;
  TGridCoord c = MouseCoord(x, y);
  if (c.X < 2 || c.Y < 2) return false;
  bool saved = inCharField_;
  int32_t p = GetPosAtCursor(c.X, c.Y);
  inCharField_ = saved;
  if (p >= GetDataSize()) return false;
  return IsSelected(p);
}

bool TCustomHexEditor::MouseOverFixed(int x, int y) {
  TGridCoord c = MouseCoord(x, y);
  return (c.X >= 0 && c.X < 2) || (c.Y >= 0 && c.Y < 2);
}

bool TCustomHexEditor::GetMouseOverSelection() {
  POINT p;
  ::GetCursorPos(&p);
  p = ScreenToClient(p);
  return CursorOverSelection(p.x, p.y);
}

void TCustomHexEditor::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  selecting_ = false;
  pendingClick_ = false;
  if (button == mbLeft) CheckMouseCoord(x, y);
  bool over = button == mbLeft && CursorOverSelection(x, y);
  if (!over) {
    TCustomGrid::MouseDown(button, shift, x, y);
  } else {
    if (CanFocus() && !Focused()) SetFocus();
    TCustomControl::MouseDown(button, shift, x, y);
  }
  // A press on the inactive form whose active control this is brings the
  // focus back here, whatever the button.
  TCustomForm* form = GetParentForm();
  if (form && form->GetActiveControl() == this && Screen && Screen->GetActiveForm() != form && CanFocus() &&
      !Focused())
    SetFocus();
  if (button != mbLeft) return;
  TGridCoord c = MouseCoord(x, y);
  if (!over) {
    if (c.X >= 2 && c.Y >= 2) {
      ResetSelection(true);
      if (!shift.Contains(ssDouble)) selecting_ = true;
    }
  } else {
    pendingClick_ = true;
  }
}

void TCustomHexEditor::MouseMove(TShiftState shift, int x, int y) {
  TShiftState buttons = shift * TShiftState{ssLeft, ssRight, ssMiddle};
  if (buttons == TShiftState{ssLeft}) CheckMouseCoord(x, y);
  TCustomGrid::MouseMove(shift, x, y);
  pendingClick_ = false;
  TGridCoord c = MouseCoord(x, y);
  bool arrow = buttons.Empty() && (CursorOverSelection(x, y) || c.X == 0 || c.Y == 0);
  TCursor want = arrow ? crArrow : crIBeam;
  if (cursorStack_.empty() && GetCursor() != want) SetCursor(want);
}

void TCustomHexEditor::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) CheckMouseCoord(x, y);
  TCustomGrid::MouseUp(button, shift, x, y);
  if (pendingClick_) {
    pendingClick_ = false;
    ResetSelection(true);
    TGridCoord c = MouseCoord(x, y);
    if (c.X >= 2 && c.Y >= 2 && c.X < GetColCount() && c.Y < GetRowCount()) GridMoveCurrent(c.X, c.Y);
  }
  if (showDrag_) HideDragCell();
}

int32_t TCustomHexEditor::ShowDragCell(int x, int y) {
  TGridCoord c = MouseCoord(x, y);
  c.X = std::max(2, c.X);
  c.Y = std::clamp(c.Y, 2, GetRowCount() - 1);
  bool saved = inCharField_;
  int32_t pos = std::clamp(GetPosAtCursor(c.X, c.Y), 0, GetDataSize());
  inCharField_ = saved;
  if (IsSelected(pos)) pos = selLow_;
  showDrag_ = true;
  if (c.Y == GetTopRow() && c.Y > 2)
    SetTopRow(GetTopRow() - 1);
  else if (c.Y >= GetTopRow() + VisibleRowCount() - 1 && c.Y < GetRowCount() - 1)
    SetTopRow(GetTopRow() + 1);
  if (c.X == GetLeftCol() && c.X > 2)
    SetLeftCol(GetLeftCol() - 1);
  else if (c.X >= GetLeftCol() + VisibleColCount() - 1 && c.X < GetColCount() - 1)
    SetLeftCol(GetLeftCol() + 1);
  int nc, nr;
  GetCursorAtPos(pos, CaretInCharField(), nc, nr);
  if (!(GridCoord(nc, nr) == dragCell_)) {
    InvalidateCell(dragCell_.X, dragCell_.Y);
    dragCell_ = GridCoord(nc, nr);
    InvalidateCell(nc, nr);
  }
  return pos;
}

void TCustomHexEditor::HideDragCell() {
  showDrag_ = false;
  Invalidate();
}

void TCustomHexEditor::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  TCustomGrid::DragOver(Source, X, Y, State, Accept);
  if (State == dsDragLeave && showDrag_) HideDragCell();
}

void TCustomHexEditor::DragDrop(TObject* Source, int X, int Y) {
  TCustomGrid::DragDrop(Source, X, Y);
  if (showDrag_) HideDragCell();
}

int32_t TCustomHexEditor::DropPosition() {
  if (!showDrag_) return -1;
  bool saved = inCharField_;
  int32_t p = GetPosAtCursor(dragCell_.X, dragCell_.Y);
  inCharField_ = saved;
  return p;
}

// ---------------------------------------------------------------------------
// Messages

void TCustomHexEditor::WMSetFocus(TMessage& m) {
  TCustomGrid::WndProc(m);
  CreateColoredCaret();
  UpdateCaretPos();
  Invalidate();
}

void TCustomHexEditor::WMKillFocus(TMessage& m) {
  TCustomGrid::WndProc(m);
  if (caretCreated_) {
    HideCaret(handle_);
    DestroyCaret();
    caretCreated_ = false;
  }
  selecting_ = false;
  Invalidate();
}

void TCustomHexEditor::WMVScroll(TMessage& m) {
  TCustomGrid::WndProc(m);
  UpdateCaretPos();
}

void TCustomHexEditor::WMHScroll(TMessage& m) {
  TCustomGrid::WndProc(m);
  UpdateCaretPos();
}

void TCustomHexEditor::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS: WMSetFocus(m); return;
    case WM_KILLFOCUS: WMKillFocus(m); return;
    case WM_VSCROLL: WMVScroll(m); return;
    case WM_HSCROLL: WMHScroll(m); return;
    case WM_INTUPDATECARET:
      if (m.WParam == 7) UpdateCaretPos();
      m.Result = 0;
      return;
    case CN_KEYDOWN: {
      // The form asks for the dialog code of this very key.
      struct TAsked {
        WORD& key;
        WORD saved;
        ~TAsked() { key = saved; }
      } asked{keyAsked_, keyAsked_};
      keyAsked_ = static_cast<WORD>(m.WParam);
      TCustomGrid::WndProc(m);
      return;
    }
    case WM_PAINT:
      // Painting and the other callbacks must not let an exception unwind
      // into the system.
      CallProtected([&] { TCustomGrid::WndProc(m); });
      return;
    default:
      break;
  }
  TCustomGrid::WndProc(m);
}

// ---------------------------------------------------------------------------
// Painting

String TCustomHexEditor::CharCellText(uint8_t b) {
  uint8_t a = TranslateToAnsiChar(b);
  if (a == 0) return String();
  char c = static_cast<char>(a);
  wchar_t w = 0;
  if (MultiByteToWideChar(CP_ACP, 0, &c, 1, &w, 1) != 1) w = L'?';
  return String(1, w);
}

void TCustomHexEditor::DrawCellText(const TRect& cell, const String& text, TColor fill, TColor textColor,
                                    TColor textBg, bool rightAligned) {
  TCanvas* cv = Canvas();
  cv->Brush()->SetStyle(bsSolid);
  cv->Brush()->SetColor(fill);
  cv->FillRect(cell);
  if (!text.empty()) {
    cv->Font()->SetColor(textColor);
    cv->Brush()->SetColor(textBg);
    if (rightAligned) {
      int w = cv->TextWidth(text);
      TRect r = cell;
      r.right -= 4;
      cv->TextRect(r, r.right - w, cell.top, text);
    } else {
      TRect r{cell.left, cell.top, std::min<LONG>(cell.right, cell.left + charWidth_), cell.bottom};
      cv->TextRect(r, cell.left, cell.top, text);
    }
  }
}

void TCustomHexEditor::DrawDataCell(int col, int row, const TRect& rc, bool focused) {
  TCanvas* cv = Canvas();
  const int B = bytesPerRow_;
  const int lastCharCol = GetLastCharCol();
  if (col == GetCol() && row == TCustomGrid::GetRow() && focused) IntSetCaretPos(CaretLeft(rc), rc.top);
  const bool inChar = col > SeparatorCol();
  const int32_t P = (row - 2) * B + (inChar ? col - FirstCharCol() : (col - 2) / 2);
  const bool isSep = col == SeparatorCol();
  TColor fill = colors_->GetBackground();
  TColor markColor = Font()->GetColor();  // the drop marker takes the cell's text colour
  if (!isSep && P < GetDataSize()) {
    const uint8_t b = static_cast<const uint8_t*>(data_.Memory())[P];
    String text;
    if (inChar)
      text = CharCellText(b);
    else
      text = String(1, ((col - 2) % 2 == (swapNibbles_ ? 1 : 0)) ? Digit(b >> 4) : Digit(b & 15));
    TColor textColor, textBg = colors_->GetBackground();
    if (HasChanged(P)) {
      textColor = colors_->GetChangedText();
      textBg = colors_->GetChangedBackground();
    } else if (inChar) {
      textColor = Font()->GetColor();
    } else {
      int group = (col - 2) / (2 * bytesPerColumn_);
      textColor = group % 2 == 0 ? colors_->GetOddColumn() : colors_->GetEvenColumn();
    }
    if (IsSelected(P) && !(hideSelection_ && !focused)) {
      if (col != 2 * B + 1 && col != lastCharCol && P != selHigh_) fill = InvertColor(fill);
      textColor = InvertColor(textColor);
      textBg = InvertColor(textBg);
      if (!focused && graySelection_) {
        textColor = FadeToGray(textColor);
        textBg = FadeToGray(textBg);
      }
    }
    DrawCellText(rc, text, fill, textColor, textBg, false);
    markColor = textColor;
  } else {
    cv->Brush()->SetStyle(bsSolid);
    cv->Brush()->SetColor(fill);
    cv->FillRect(rc);
  }
  if (showDrag_ && GridCoord(col, row) == dragCell_) {
    cv->Brush()->SetColor(markColor);
    cv->FillRect(Rect(rc.left + 1, rc.top + 1, rc.left + 3, rc.bottom - 1));
  }
  // the partner of the caret cell in the other field
  if (focused && row == TCustomGrid::GetRow() && !isSep && col == GetOtherFieldCol(GetCol())) {
    TRect fr{rc.left, rc.top, rc.left + charWidth_, rc.bottom - 1};
    if (focusFrame_) {
      cv->Brush()->SetColor(colors_->GetBackground());
      cv->Font()->SetColor(Font()->GetColor());
      cv->DrawFocusRect(fr);
    } else {
      cv->Brush()->SetColor(colors_->GetCursorFrame());
      cv->FrameRect(fr);
    }
  }
  if (drawGridLines_) {
    cv->Pen()->SetColor(colors_->GetGrid());
    cv->MoveTo(rc.left, rc.bottom - 1);
    cv->LineTo(rc.right, rc.bottom - 1);
    if (isSep) {
      cv->MoveTo(rc.left, rc.top);
      cv->LineTo(rc.left, rc.bottom);
    }
    if (col == lastCharCol) {
      cv->MoveTo(rc.right - 1, rc.top);
      cv->LineTo(rc.right - 1, rc.bottom);
    }
  }
}

void TCustomHexEditor::Paint() {
  TCanvas* cv = Canvas();
  cv->Font()->Assign(*Font());
  const TRect cr = GetClientRect();
  const TRect clip = cv->GetClipRect();
  const bool focused = Focused();
  const int lastCharCol = GetLastCharCol();
  const int caretRow = TCustomGrid::GetRow(), caretCol = GetCol();
  auto meets = [&](const TRect& r) {
    return r.left < clip.right && r.right > clip.left && r.top < clip.bottom && r.bottom > clip.top;
  };

  // x positions of the visible columns: 0, 1 and from the left column on
  std::vector<std::pair<int, int>> cols;  // column, x
  int x = 0;
  for (int c = 0; c < 2; ++c) {
    cols.push_back({c, x});
    x += GetColWidths(c);
  }
  for (int c = GetLeftCol(); c <= lastCharCol && x < cr.right; ++c) {
    cols.push_back({c, x});
    x += GetColWidths(c);
  }
  const int gridRight = x;
  const int rulerH = GetRowHeights(0);
  const int headH = rulerH + GetRowHeights(1);

  // ruler
  if (showRuler_ && rulerH > 0) {
    for (auto [c, cx] : cols) {
      TRect rc{cx, 0, cx + GetColWidths(c), rulerH};
      if (!meets(rc)) continue;
      if (c < 2) {
        cv->Brush()->SetColor(colors_->GetOffsetBackGround());
        cv->FillRect(rc);
        continue;
      }
      bool cur = c == caretCol;
      DrawCellText(rc, RulerText(c), colors_->GetOffsetBackGround(),
                   cur ? colors_->GetCurrentOffset() : colors_->GetOffset(),
                   cur ? colors_->GetCurrentOffsetBackground() : colors_->GetOffsetBackGround(), false);
    }
  }

  // rows
  int y = headH;
  for (int r = GetTopRow(); r < GetRowCount() && y < cr.bottom; ++r) {
    const int h = GetRowHeights(r);
    for (auto [c, cx] : cols) {
      TRect rc{cx, y, cx + GetColWidths(c), y + h};
      if (RectWidth(rc) <= 0 || !meets(rc)) continue;
      if (c == 0) {
        bool cur = r == caretRow;
        DrawCellText(rc, GetOffsetString(static_cast<uint32_t>((r - 2) * bytesPerRow_)),
                     cur ? colors_->GetCurrentOffsetBackground() : colors_->GetOffsetBackGround(),
                     cur ? colors_->GetCurrentOffset() : colors_->GetOffset(),
                     cur ? colors_->GetCurrentOffsetBackground() : colors_->GetOffsetBackGround(), true);
        for (int i = 0; i < 10; ++i) {
          const THexBookmark& bm = bookmarks_[static_cast<size_t>(i)];
          if (bm.mPosition >= 0 && bm.mPosition / bytesPerRow_ == r - 2)
            bookmarkImages_->Draw(cv, rc.left + 3, rc.top + (h - 10) / 2, bm.mInCharField ? 10 + i : i);
        }
      } else if (c == 1) {
        cv->Brush()->SetColor(colors_->GetBackground());
        cv->FillRect(rc);
        if (drawGridLines_) {
          cv->Pen()->SetColor(colors_->GetGrid());
          cv->MoveTo(rc.left, rc.bottom - 1);
          cv->LineTo(rc.right, rc.bottom - 1);
        }
      } else {
        DrawDataCell(c, r, rc, focused);
      }
    }
    y += h;
  }
  const int gridBottom = y;

  // right of and below the grid
  if (gridRight < cr.right) {
    cv->Brush()->SetColor(colors_->GetOffsetBackGround());
    cv->FillRect(TRect{gridRight, 0, cr.right, headH});
    cv->Brush()->SetColor(GetColor());
    cv->FillRect(TRect{gridRight, headH, cr.right, cr.bottom});
  }
  if (gridBottom < cr.bottom) {
    const int w0 = GetColWidths(0);
    cv->Brush()->SetColor(colors_->GetOffsetBackGround());
    cv->FillRect(TRect{0, gridBottom, w0, cr.bottom});
    cv->Brush()->SetColor(GetColor());
    cv->FillRect(TRect{w0, gridBottom, std::max<int>(w0, gridRight), cr.bottom});
  }

  // edge of the offset column
  const int w0 = GetColWidths(0);
  if (w0 > 0) {
    if (drawGutter3D_) {
      cv->Pen()->SetColor(clBtnShadow);
      cv->MoveTo(w0, headH);
      cv->LineTo(w0, cr.bottom);
      cv->Pen()->SetColor(clBtnHighlight);
      cv->MoveTo(w0 - 1, headH);
      cv->LineTo(w0 - 1, cr.bottom);
    } else if (drawGridLines_) {
      cv->Pen()->SetColor(colors_->GetGrid());
      cv->MoveTo(w0 - 1, headH);
      cv->LineTo(w0 - 1, cr.bottom);
    }
  }
  if (showRuler_ && rulerH > 0) {
    if (drawGutter3D_) {
      cv->Pen()->SetColor(clBtnShadow);
      cv->MoveTo(w0, rulerH - 1);
      cv->LineTo(cr.right, rulerH - 1);
      cv->Pen()->SetColor(clBtnHighlight);
      cv->MoveTo(w0, rulerH - 2);
      cv->LineTo(cr.right, rulerH - 2);
    } else if (drawGridLines_) {
      cv->Pen()->SetColor(colors_->GetGrid());
      cv->MoveTo(w0, rulerH - 1);
      cv->LineTo(cr.right, rulerH - 1);
    }
  }
}

// ---------------------------------------------------------------------------
// Form streams

namespace {
const ValueEditFiler::TNames kTranslationNames{L"tkAsIs", L"tkDos8", L"tkASCII", L"tkMac", L"tkBCD", L"tkCustom"};
const ValueEditFiler::TNames kCaretKindNames{L"ckFull", L"ckLeft", L"ckBottom", L"ckAuto"};
const ValueEditFiler::TNames kBorderStyleNames{L"bsNone", L"bsSingle"};
const ValueEditFiler::TNames kScrollStyleNames{L"ssNone", L"ssHorizontal", L"ssVertical", L"ssBoth"};

using THexTable = ValueEditFiler::TPropTable<THexEditor>;

// One colour of the set, stored as "Colors.<name>".
void AddColor(THexTable& T, const wchar_t* Name, TColor Default, TColor Other, TColor (THexColors::*Get)() const,
              void (THexColors::*Set)(TColor)) {
  T.Integer(
      Name, Default, Other, [Get](THexEditor& E) -> int64_t { return (E.Colors()->*Get)(); },
      [Set](THexEditor& E, int64_t V) { (E.Colors()->*Set)(static_cast<TColor>(V)); });
}

THexTable MakeHexTable() {
  THexTable T;
  using E = THexEditor;
  T.Enum(L"BorderStyle", bsSingle, kBorderStyleNames, [](E& C) { return C.GetBorderStyle() == bsNone ? 0 : 1; },
         [](E& C, int V) { C.SetBorderStyle(V ? bsSingle : bsNone); });
  T.Enum(L"ScrollBars", ssBoth, kScrollStyleNames, [](E& C) { return static_cast<int>(C.GetScrollBars()); },
         [](E& C, int V) { C.SetScrollBars(static_cast<TScrollStyle>(V)); });
  // The layout before the offset format: a format counting rows or column
  // groups takes its unit from them.
  T.Integer(L"BytesPerRow", 16, 8, [](E& C) { return C.GetBytesPerRow(); },
            [](E& C, int64_t V) { C.SetBytesPerRow(static_cast<int>(V)); });
  T.Integer(L"BytesPerColumn", 2, 4, [](E& C) { return C.GetBytesPerColumn(); },
            [](E& C, int64_t V) { C.SetBytesPerColumn(static_cast<int>(V)); });
  T.Enum(L"Translation", tkAsIs, kTranslationNames, [](E& C) { return static_cast<int>(C.GetTranslation()); },
         [](E& C, int V) { C.SetTranslation(static_cast<THexTranslationKind>(V)); });
  T.Text(L"OffsetFormat", L"-!10:0x|", L"R%4!A:|h", [](E& C) { return C.GetOffsetFormat(); },
         [](E& C, const String& V) { C.SetOffsetFormat(V); });
  T.Enum(L"CaretKind", ckAuto, kCaretKindNames, [](E& C) { return static_cast<int>(C.GetCaretKind()); },
         [](E& C, int V) { C.SetCaretKind(static_cast<THexCaretKind>(V)); });
  AddColor(T, L"Colors.Background", clWindow, clYellow, &THexColors::GetBackground, &THexColors::SetBackground);
  AddColor(T, L"Colors.ChangedBackground", 11075583, clAqua, &THexColors::GetChangedBackground,
           &THexColors::SetChangedBackground);
  AddColor(T, L"Colors.ChangedText", clMaroon, clRed, &THexColors::GetChangedText, &THexColors::SetChangedText);
  AddColor(T, L"Colors.CursorFrame", clNavy, clLime, &THexColors::GetCursorFrame, &THexColors::SetCursorFrame);
  AddColor(T, L"Colors.Offset", clBlack, clGreen, &THexColors::GetOffset, &THexColors::SetOffset);
  AddColor(T, L"Colors.OddColumn", clBlue, clPurple, &THexColors::GetOddColumn, &THexColors::SetOddColumn);
  AddColor(T, L"Colors.EvenColumn", clNavy, clTeal, &THexColors::GetEvenColumn, &THexColors::SetEvenColumn);
  AddColor(T, L"Colors.CurrentOffsetBackground", clBtnShadow, clOlive, &THexColors::GetCurrentOffsetBackground,
           &THexColors::SetCurrentOffsetBackground);
  AddColor(T, L"Colors.OffsetBackGround", clBtnFace, clSilver, &THexColors::GetOffsetBackGround,
           &THexColors::SetOffsetBackGround);
  AddColor(T, L"Colors.CurrentOffset", clBtnHighlight, clFuchsia, &THexColors::GetCurrentOffset,
           &THexColors::SetCurrentOffset);
  AddColor(T, L"Colors.Grid", clBtnFace, clGray, &THexColors::GetGrid, &THexColors::SetGrid);
  T.Boolean(L"FocusFrame", true, [](E& C) { return C.GetFocusFrame(); }, [](E& C, bool V) { C.SetFocusFrame(V); });
  T.Boolean(L"SwapNibbles", false, [](E& C) { return C.GetSwapNibbles(); },
            [](E& C, bool V) { C.SetSwapNibbles(V); });
  // One character of the ANSI set.
  T.Text(
      L"MaskChar", L".", L"*", [](E& C) { return AnsiToWide(std::string(1, static_cast<char>(C.GetMaskChar()))); },
      [](E& C, const String& V) {
        const AnsiString A = WideToAnsi(V);
        if (!A.empty()) C.SetMaskChar(static_cast<uint8_t>(A[0]));
      });
  // The size and view flags before the insert mode they allow or forbid.
  T.Boolean(L"AllowInsertMode", true, [](E& C) { return C.GetAllowInsertMode(); },
            [](E& C, bool V) { C.SetAllowInsertMode(V); });
  T.Boolean(L"InsertMode", false, [](E& C) { return C.GetInsertMode(); }, [](E& C, bool V) { C.SetInsertMode(V); });
  T.Boolean(L"NoSizeChange", false, [](E& C) { return C.GetNoSizeChange(); },
            [](E& C, bool V) { C.SetNoSizeChange(V); });
  T.Boolean(L"ReadOnlyView", false, [](E& C) { return C.GetReadOnlyView(); },
            [](E& C, bool V) { C.SetReadOnlyView(V); });
  T.Boolean(L"DrawGridLines", false, [](E& C) { return C.GetDrawGridLines(); },
            [](E& C, bool V) { C.SetDrawGridLines(V); });
  T.Boolean(L"WantTabs", true, [](E& C) { return C.GetWantTabs(); }, [](E& C, bool V) { C.SetWantTabs(V); });
  T.Boolean(L"HideSelection", false, [](E& C) { return C.GetHideSelection(); },
            [](E& C, bool V) { C.SetHideSelection(V); });
  T.Boolean(L"GraySelectionIfNotFocused", false, [](E& C) { return C.GetGraySelectionIfNotFocused(); },
            [](E& C, bool V) { C.SetGraySelectionIfNotFocused(V); });
  T.Integer(L"GutterWidth", -1, 40, [](E& C) { return C.GetGutterWidth(); },
            [](E& C, int64_t V) { C.SetGutterWidth(static_cast<int>(V)); });
  // Only a bitmap the host supplied; the built-in icons come from the
  // program's resources.
  T.Picture(
      L"BookmarkBitmap.Data", [](E& C) { return C.GetBookmarkBitmap(); },
      [](E& C, TBitmap* B) { C.SetBookmarkBitmap(B->Empty() ? nullptr : B); },
      [](E& C) { return C.HasCustomBookmarkBitmap(); },
      [](E& C) {
        TBitmap B(200, 10, pf24bit);
        B.Canvas()->Brush()->SetColor(clFuchsia);
        B.Canvas()->FillRect(Rect(0, 0, 200, 10));
        B.Canvas()->Brush()->SetColor(clRed);
        B.Canvas()->FillRect(Rect(2, 2, 8, 8));
        C.SetBookmarkBitmap(&B);
      });
  // Fixed: a stream may carry it, nothing writes it.
  T.ReadOnly(L"Version", [](TReader* R, E& C) { C.SetVersion(R->ReadString()); });
  T.Integer(L"MaxUndo", 1048576, 4096, [](E& C) { return C.GetMaxUndo(); },
            [](E& C, int64_t V) { C.SetMaxUndo(static_cast<int32_t>(V)); });
  T.Boolean(L"HexLowerCase", false, [](E& C) { return C.GetHexLowerCase(); },
            [](E& C, bool V) { C.SetHexLowerCase(V); });
  T.Boolean(L"DrawGutter3D", true, [](E& C) { return C.GetDrawGutter3D(); },
            [](E& C, bool V) { C.SetDrawGutter3D(V); });
  T.Boolean(L"ShowRuler", false, [](E& C) { return C.GetShowRuler(); }, [](E& C, bool V) { C.SetShowRuler(V); });
  T.Event(L"OnLoadSaveProgress", &THexEditorCore::OnLoadSaveProgress);
  T.Event(L"OnInvalidKey", &THexEditorCore::OnInvalidKey);
  T.Event(L"OnTopLeftChanged", &TCustomGrid::OnTopLeftChanged);
  T.Event(L"OnChange", &THexEditorCore::OnChange);
  // The control's inherited events, until the class library stores them.
  T.ControlEvents();
  T.Event(L"OnEndDock", &TControl::OnEndDock, true);
  T.Event(L"OnMouseWheel", &TWinControl::OnMouseWheel, true);
  T.Event(L"OnStartDock", &TControl::OnStartDock, true);
  return T;
}
}  // namespace

const ValueEditFiler::TPropTable<THexEditor>& THexEditor::StoredProperties() {
  static const THexTable Table = MakeHexTable();
  return Table;
}

void THexEditor::DefineProperties(TFiler* Filer) {
  StoredProperties().Define(Filer, *this, [this](TFiler* F) {
    TCustomHexEditor::DefineProperties(F);
    // The grid's shape follows the data, the layout and the font: it is
    // never stored, and a stream that holds it is read past.
    for (const wchar_t* name :
         {L"ColCount", L"RowCount", L"FixedCols", L"FixedRows", L"DefaultColWidth", L"DefaultRowHeight"})
      PropFiler::Ignored(F, name);
  });
}

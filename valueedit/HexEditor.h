// The hex editor control: a grid that shows a block of bytes as rows of
// hexadecimal digit pairs beside the same bytes as characters, with an
// offset column, an optional ruler, a caret, selection, insert and
// overwrite modes, undo, files and bookmarks. The behaviour lives in
// THexEditorCore; this layer puts it on a window.
#pragma once

#include <memory>
#include <vector>

#include "classlib/Grids.h"
#include "classlib/ImgList.h"
#include "valueedit/HexEditorCore.h"
#include "valueedit/ValueEditFiler.h"

class TCustomHexEditor;

// A cell of the grid: a column and a row.
inline TGridCoord GridCoord(int col, int row) { return TGridCoord{col, row}; }

// The colour set of a hex editor.
class THexColors : public TPersistent {
 public:
  explicit THexColors(TCustomHexEditor* control);
  void Assign(TPersistent* Source) override;
  const char* ClassName() const override { return "THexColors"; }
  // Takes a control and gives it the Background colour.
  void SetParent(TCustomHexEditor* control);

  TColor GetBackground() const { return background_; }
  void SetBackground(TColor c);
  TColor GetChangedBackground() const { return changedBackground_; }
  void SetChangedBackground(TColor c);
  TColor GetChangedText() const { return changedText_; }
  void SetChangedText(TColor c);
  TColor GetCursorFrame() const { return cursorFrame_; }
  void SetCursorFrame(TColor c);
  TColor GetOffset() const { return offset_; }
  void SetOffset(TColor c);
  TColor GetOddColumn() const { return oddColumn_; }
  void SetOddColumn(TColor c);
  TColor GetEvenColumn() const { return evenColumn_; }
  void SetEvenColumn(TColor c);
  TColor GetCurrentOffsetBackground() const { return currentOffsetBackground_; }
  void SetCurrentOffsetBackground(TColor c);
  TColor GetOffsetBackGround() const { return offsetBackground_; }
  void SetOffsetBackGround(TColor c);
  TColor GetCurrentOffset() const { return currentOffset_; }
  void SetCurrentOffset(TColor c);
  TColor GetGrid() const { return grid_; }
  void SetGrid(TColor c);

 private:
  void Set(TColor& field, TColor c);
  TCustomHexEditor* control_;
  TColor background_ = clWindow;
  TColor changedBackground_ = 11075583;  // A8FFFF
  TColor changedText_ = clMaroon;
  TColor cursorFrame_ = clNavy;
  TColor offset_ = clBlack;
  TColor oddColumn_ = clBlue;
  TColor evenColumn_ = clNavy;
  TColor currentOffsetBackground_ = clBtnShadow;
  TColor offsetBackground_ = clBtnFace;
  TColor currentOffset_ = clBtnHighlight;
  TColor grid_ = clBtnFace;
};

// RGB(g, g, g) with g = (74 red + 146 green + 36 blue) / 256.
TColor FadeToGray(TColor c);
// Every bit of the 24 colour bits flipped.
TColor InvertColor(TColor c);

class TCustomHexEditor : public TCustomGrid, public THexEditorCore {
 public:
  explicit TCustomHexEditor(TComponent* AOwner);
  ~TCustomHexEditor() override;

  using TCustomGrid::GetRow;
  using THexEditorCore::GetRow;
  using TCustomGrid::SetSelection;
  using THexEditorCore::SetSelection;

  THexColors* Colors() const { return colors_.get(); }
  void SetColors(THexColors* c) { colors_->Assign(c); }
  THexCaretKind GetCaretKind() const { return caretKind_; }
  void SetCaretKind(THexCaretKind k);
  bool GetFocusFrame() const { return focusFrame_; }
  void SetFocusFrame(bool v);
  bool GetDrawGridLines() const { return drawGridLines_; }
  void SetDrawGridLines(bool v);
  bool GetDrawGutter3D() const { return drawGutter3D_; }
  void SetDrawGutter3D(bool v);
  bool GetShowRuler() const { return showRuler_; }
  void SetShowRuler(bool v);
  bool GetHideSelection() const { return hideSelection_; }
  void SetHideSelection(bool v);
  bool GetGraySelectionIfNotFocused() const { return graySelection_; }
  void SetGraySelectionIfNotFocused(bool v);
  String GetVersion() const { return L"October 25, 2002"; }
  void SetVersion(const String&) {}

  TBitmap* GetBookmarkBitmap() const { return bookmarkBitmap_.get(); }
  // A 200 x 10 bitmap, or nullptr for the built-in one.
  void SetBookmarkBitmap(TBitmap* bmp);
  bool HasCustomBookmarkBitmap() const { return customBookmarks_; }
  int BookmarkImageCount() { return bookmarkImages_->GetCount(); }

  int CharWidth() const { return charWidth_; }
  int RowHeightPx() const { return rowHeight_; }
  // The picture the caret was last made from (white where it inverts the
  // cell), null before the control first had the focus.
  TBitmap* CaretBitmap() const { return caretBitmap_.get(); }

  // Drop marker for hosts that drag data onto the control: their
  // OnDragOver shows it (ShowDragCell answers the position a drop there
  // goes to), their OnDragDrop reads DropPosition. It goes when the drag
  // leaves, drops or is cancelled, and on a mouse release.
  int32_t ShowDragCell(int x, int y);
  void HideDragCell();
  int32_t DropPosition();
  void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) override;
  void DragDrop(TObject* Source, int X, int Y) override;
  bool CursorOverSelection(int x, int y);
  // Whether the point lies on a fixed cell (offsets, spacer, ruler).
  bool MouseOverFixed(int x, int y);
  bool GetMouseOverSelection();

  void WndProc(TMessage& m) override;
  void Loaded() override;

 protected:
  // THexEditorCore's grid seam.
  int GridCol() const override { return TCustomGrid::GetCol(); }
  int GridRow() const override { return TCustomGrid::GetRow(); }
  int GridRowCount() const override { return GetRowCount(); }
  int GridColCount() const override { return GetColCount(); }
  void GridSetCounts(int colCount, int rowCount) override;
  int GridTopRow() const override { return GetTopRow(); }
  void GridSetTopRow(int row) override { SetTopRow(row); }
  int GridLeftCol() const override { return GetLeftCol(); }
  void GridSetTopLeft(int col, int row) override { SetTopLeft(col, row); }
  int GridVisibleRowCount() const override;
  void GridMoveCurrent(int col, int row) override;
  void InvalidateAll() override { Invalidate(); }
  void InvalidatePositions(int32_t from, int32_t to) override;
  void InvalidateCaretRows(int oldRow, int newRow) override;
  void MetricsChanged() override { AdjustMetrics(); }
  void CaretShapeChanged() override;
  void CaretPlaceChanged() override;
  bool IsKeyDown(int vk) const override;
  bool IsControlEnabled() const override { return enabled_; }
  void WaitCursor() override;
  void OldCursor() override;
  TObject* EventSender() override { return this; }
  void Changed() override;

  bool SelectCell(int col, int row) override;
  void TopLeftChanged() override;
  void Paint() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void KeyPress(wchar_t& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Resize() override;
  // The grid's auto-scroll timer while the mouse selects.
  void TimerScroll() override;
  void CreateWnd() override;
  void FontChanged(TObject* sender) override;
  // Arrows, characters and every other key; Tab only with WantTabs (asked
  // about a Tab press without it, the answer leaves Tab to the form).
  UINT DialogCode() override;

  void AdjustMetrics();
  void CheckMouseCoord(int& x, int& y);
  // Whether a client point lies on a cell, counting the cells scrolled out
  // of view: anywhere left of or above the last column and row.
  bool PointOnCell(int x, int y);
  void CreateColoredCaret();
  void IntSetCaretPos(int x, int y);
  void UpdateCaretPos();
  // The caret's left edge in the caret cell.
  int CaretLeft(const TRect& cell) const;
  void BookmarkBitmapChanged();

 private:
  // Message handlers: the caret comes and goes with the focus and follows
  // scrolling.
  void WMSetFocus(TMessage& m);
  void WMKillFocus(TMessage& m);
  void WMVScroll(TMessage& m);
  void WMHScroll(TMessage& m);
  void DrawCellText(const TRect& cell, const String& text, TColor fill, TColor textColor, TColor textBg,
                    bool rightAligned);
  void DrawDataCell(int col, int row, const TRect& rc, bool focused);
  String CharCellText(uint8_t b);

  // The key whose press the form is handling while it asks for the dialog
  // code (0 outside that).
  WORD keyAsked_ = 0;
  std::unique_ptr<THexColors> colors_;
  std::unique_ptr<TBitmap> bookmarkBitmap_;
  std::unique_ptr<TImageList> bookmarkImages_;
  std::unique_ptr<TBitmap> caretBitmap_;
  bool customBookmarks_ = false;
  bool inBookmarkChange_ = false;
  void HookBookmarkBitmap();
  void LoadBookmarkBitmap(TBitmap* bmp);
  THexCaretKind caretKind_ = ckAuto;
  bool focusFrame_ = true;
  bool drawGridLines_ = false;
  bool drawGutter3D_ = true;
  bool hideSelection_ = false;
  bool graySelection_ = false;
  int charWidth_ = 8;
  int rowHeight_ = 16;
  std::vector<TCursor> cursorStack_;
  bool pendingClick_ = false;
  bool showDrag_ = false;
  TGridCoord dragCell_ = GridCoord(-1, -1);  // the drop marker's cell
  bool caretCreated_ = false;
};

// The published face of the hex editor.
class THexEditor : public TCustomHexEditor {
 public:
  explicit THexEditor(TComponent* AOwner) : TCustomHexEditor(AOwner) {}
  const char* ClassName() const override { return "THexEditor"; }
  // The properties and events stored with a form, in the order written.
  static const ValueEditFiler::TPropTable<THexEditor>& StoredProperties();

 protected:
  void DefineProperties(TFiler* Filer) override;
};

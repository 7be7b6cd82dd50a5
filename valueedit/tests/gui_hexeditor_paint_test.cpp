// What the hex editor paints, read back from its window pixel by pixel: the
// offset column, the ruler and their edges, the outside of the grid, grid
// lines, the marker on the caret byte's partner, the selection with and
// without the focus, and the bookmark icons.
#include "valueedit/HexEditor.h"
#include "valueedit/tests/hex_editor_host.h"

#include "testsupport/Pump.h"

using namespace testsupport;

namespace {

// Four bytes a row, so that the grid ends well short of the window's right
// and bottom edges.
struct NarrowHost : EditorHost {
  explicit NarrowHost(const std::string& data, int w = 560, int h = 260) : EditorHost(w, h) {
    ed->SetBytesPerRow(4);
    SetData(data);
  }
  // The right and bottom pixel edges of the grid's cells.
  int GridRight() const {
    int x = 0;
    for (int c = 0; c < ed->GetColCount(); ++c) x += ed->GetColWidths(c);
    return x;
  }
  int GridBottom() const {
    int y = 0;
    for (int r = 0; r < ed->GetRowCount(); ++r) y += ed->GetRowHeights(r);
    return y;
  }
};

void LoseFocus() {
  SetFocus(nullptr);
  Pump(20);
}

}  // namespace

TEST(HexEditorPaint, OffsetColumnRulerTheirEdgesAndTheOutsideOfTheGrid) {
  NarrowHost h("0123456789");  // rows 2 to 4
  THexEditor* ed = h.ed;
  THexColors* k = ed->Colors();
  const TColor back = Rgb(0xFF, 0xF4, 0xE0), offBack = Rgb(0xC8, 0xE6, 0xC8), offText = Rgb(0x80, 0x00, 0x80),
               curBack = Rgb(0x30, 0x40, 0xA0), curText = Rgb(0xFF, 0xFF, 0x60), grid = Rgb(0x20, 0xA0, 0x20);
  k->SetBackground(back);
  k->SetOffsetBackGround(offBack);
  k->SetOffset(offText);
  k->SetCurrentOffsetBackground(curBack);
  k->SetCurrentOffset(curText);
  k->SetGrid(grid);
  ed->SetShowRuler(true);
  ed->SetSelStart(5);  // the caret on row 3, column 4
  const int w0 = ed->GetColWidths(0), rulerH = ed->GetRowHeights(0);
  ASSERT_GT(rulerH, 4);
  ASSERT_GT(w0, 10);
  const int right = h.GridRight(), bottom = h.GridBottom();
  ASSERT_EQ(bottom, rulerH + 3 * ed->RowHeightPx());
  {
    Picture p(ed);
    const int W = p.Width(), H = p.Height();
    ASSERT_LT(right + 10, W);
    ASSERT_LT(bottom + 10, H);
    // The caret's row shows its offset in the current-offset colours, the
    // others in the offset colours (the last pixel column is the edge).
    TRect cur = ed->CellRect(0, 3), other = ed->CellRect(0, 2);
    cur.right = other.right = w0 - 1;
    EXPECT_TRUE(p.Shows(cur, {curBack, curText}, {offBack, offText}));
    EXPECT_TRUE(p.Only(TRect{0, cur.top, 3, cur.bottom}, {curBack}));
    EXPECT_TRUE(p.Shows(other, {offBack, offText}, {curBack, curText}));
    // The 3D edge of the offset column runs from the ruler to the bottom.
    EXPECT_TRUE(p.Only(Picture::VLine(w0, rulerH, H), {clBtnShadow}));
    EXPECT_TRUE(p.Only(Picture::VLine(w0 - 1, rulerH, H), {clBtnHighlight}));
    // The ruler: plain over the offsets; its 3D edge to the right border.
    EXPECT_TRUE(p.Only(TRect{0, 0, w0, rulerH}, {offBack}));
    EXPECT_TRUE(p.Only(Picture::HLine(rulerH - 1, w0, W), {clBtnShadow}));
    EXPECT_TRUE(p.Only(Picture::HLine(rulerH - 2, w0, W), {clBtnHighlight}));
    // Above the caret's column the ruler digit stands in the current-offset
    // colours, above the others in the offset colours.
    TRect rc = ed->CellRect(4, 0), ro = ed->CellRect(8, 0);
    rc.bottom = ro.bottom = rulerH - 2;
    EXPECT_TRUE(p.Shows(rc, {curBack, curText}));
    EXPECT_TRUE(p.Shows(ro, {offBack, offText}, {curBack}));
    // Right of the grid: the ruler's colour as high as the ruler, the
    // control's colour below; below the grid: the offset colour under the
    // offsets and the control's colour under the data.
    EXPECT_TRUE(p.Only(TRect{right, 0, W, rulerH - 2}, {offBack}));
    EXPECT_TRUE(p.Only(TRect{right, rulerH, W, H}, {back}));
    EXPECT_TRUE(p.Only(TRect{0, bottom, w0 - 1, H}, {offBack}));
    EXPECT_TRUE(p.Only(TRect{w0 + 1, bottom, right, H}, {back}));
  }
  // The caret moving to another row takes the current-offset colours along.
  ed->SetSelStart(1);
  {
    Picture p(ed);
    TRect now = ed->CellRect(0, 2), before = ed->CellRect(0, 3);
    now.right = before.right = w0 - 1;
    EXPECT_TRUE(p.Shows(now, {curBack}, {offBack}));
    EXPECT_TRUE(p.Shows(before, {offBack}, {curBack}));
  }
  // Flat edges: one line in the grid colour each, with grid lines on.
  ed->SetDrawGutter3D(false);
  ed->SetDrawGridLines(true);
  {
    Picture p(ed);
    const int W = p.Width(), H = p.Height();
    EXPECT_TRUE(p.Only(Picture::VLine(w0 - 1, rulerH, H), {grid}));
    EXPECT_FALSE(p.Has(Picture::VLine(w0, rulerH, H), clBtnShadow));
    EXPECT_TRUE(p.Only(Picture::HLine(rulerH - 1, w0, W), {grid}));
    EXPECT_FALSE(p.Has(Picture::HLine(rulerH - 2, w0, W), clBtnHighlight));
  }
  // No edges at all without either.
  ed->SetDrawGridLines(false);
  {
    Picture p(ed);
    const int W = p.Width(), H = p.Height();
    EXPECT_TRUE(p.Only(Picture::VLine(w0 - 1, rulerH, H), {offBack, curBack}));
    EXPECT_TRUE(p.Only(Picture::VLine(w0, rulerH, H), {back}));
    EXPECT_TRUE(p.Only(Picture::HLine(rulerH - 1, 0, W), {offBack, curBack}));
  }
}

TEST(HexEditorPaint, GridLinesInTheGridColour) {
  NarrowHost h("0123456789");  // rows 2 to 4; bytes 10 and 11 of row 4 are past the end
  THexEditor* ed = h.ed;
  const TColor grid = Rgb(0x20, 0xA0, 0x20);
  ed->Colors()->SetGrid(grid);
  ed->SetDrawGridLines(true);
  const int sep = ed->SeparatorCol(), last = ed->GetLastCharCol();
  {
    Picture p(ed);
    for (int row = 2; row <= 4; ++row) {
      SCOPED_TRACE(row);
      // along the bottom of the spacer, every data cell and the separator
      // (the spacer's first pixel is the offset column's edge)
      for (int col = 1; col <= last; ++col) {
        const TRect c = ed->CellRect(col, row);
        EXPECT_TRUE(p.Only(Picture::HLine(c.bottom - 1, c.left + (col == 1), c.right), {grid})) << col;
      }
      const TRect s = ed->CellRect(sep, row), l = ed->CellRect(last, row), d = ed->CellRect(3, row);
      EXPECT_TRUE(p.Only(Picture::VLine(s.left, s.top, s.bottom), {grid}));
      EXPECT_TRUE(p.Only(Picture::VLine(l.right - 1, l.top, l.bottom), {grid}));
      // nowhere else in a cell
      EXPECT_FALSE(p.Has(TRect{d.left, d.top, d.right, d.bottom - 1}, grid));
    }
  }
  ed->SetDrawGridLines(false);
  {
    Picture p(ed);
    EXPECT_FALSE(p.Has(TRect{0, 0, p.Width(), p.Height()}, grid));
  }
}

TEST(HexEditorPaint, PartnerOfTheCaretByteIsMarkedInTheOtherField) {
  NarrowHost h(std::string(8, ' '));  // character cells without ink
  THexEditor* ed = h.ed;
  const TColor back = Rgb(0xFF, 0xF4, 0xE0), frame = Rgb(0xE0, 0x30, 0x30);
  ed->Colors()->SetBackground(back);
  ed->Colors()->SetCursorFrame(frame);
  const int cw = ed->CharWidth();
  // The outline over the cell's left character-wide part, one pixel short
  // of its bottom.
  auto outlined = [&](const Picture& p, const TRect& c, std::initializer_list<TColor> cs) {
    return p.Only(Picture::VLine(c.left, c.top, c.bottom - 1), cs) &&
           p.Only(Picture::VLine(c.left + cw - 1, c.top, c.bottom - 1), cs) &&
           p.Only(Picture::HLine(c.top, c.left, c.left + cw), cs) &&
           p.Only(Picture::HLine(c.bottom - 2, c.left, c.left + cw), cs);
  };
  ed->SetFocusFrame(false);
  ed->SetSelStart(5);  // hex field, row 3
  const TRect partner = ed->CellRect(ed->FirstCharCol() + 1, 3);
  {
    Picture p(ed);
    EXPECT_TRUE(outlined(p, partner, {frame}));
    EXPECT_TRUE(p.Only(TRect{partner.left + 1, partner.top + 1, partner.left + cw - 1, partner.bottom - 2}, {back}));
    EXPECT_TRUE(p.Only(Picture::HLine(partner.bottom - 1, partner.left, partner.right), {back}));
    // only there
    EXPECT_EQ(p.Count(TRect{0, 0, p.Width(), p.Height()}, frame), p.Count(partner, frame));
  }
  // From the character field the partner is the byte's first hex digit.
  ed->SetInCharField(true);
  ASSERT_EQ(ed->GetCursorPos(), 5);
  const TRect digit = ed->CellRect(2 + 2 * 1, 3);
  {
    Picture p(ed);
    EXPECT_TRUE(outlined(p, digit, {frame}));
    EXPECT_FALSE(p.Has(partner, frame));
  }
  // The focus rectangle instead: dotted, inverting what lies under it.
  ed->SetFocusFrame(true);
  {
    Picture p(ed);
    EXPECT_FALSE(p.Has(digit, frame));
    const TRect left = Picture::VLine(digit.left, digit.top, digit.bottom - 1);
    EXPECT_GT(p.Count(left, InvertColor(back)), 0);
    EXPECT_GT(p.Count(left, back), 0);
  }
  // Without the focus there is no marker.
  ed->SetFocusFrame(false);
  LoseFocus();
  {
    Picture p(ed);
    EXPECT_FALSE(p.Has(TRect{0, 0, p.Width(), p.Height()}, frame));
  }
}

TEST(HexEditorPaint, SelectionInvertedWithTheFocusAndGrayedWithout) {
  NarrowHost h("MHJKLN");  // letters and digits with upright strokes: text of full colour
  THexEditor* ed = h.ed;
  const TColor back = Rgb(0xF0, 0xE0, 0x80);
  ed->Colors()->SetBackground(back);
  ed->SetSelStart(0);
  ed->SetSelEnd(2);  // bytes 0 to 2
  ASSERT_EQ(ed->GetSelCount(), 3);
  const int cw = ed->CharWidth();
  // byte 0's second digit; the gap right of byte 1, the end of a column
  // group, inside the selection; byte 2, the selection's last
  const TRect digit = ed->CellRect(3, 2);
  const TRect c1 = ed->CellRect(5, 2), c2 = ed->CellRect(7, 2);
  ASSERT_EQ(RectWidth(c1), 2 * cw);
  const TRect gapInside{c1.left + cw, c1.top, c1.right, c1.bottom};
  const TRect ch = ed->CellRect(ed->FirstCharCol() + 1, 2);
  {
    Picture p(ed);
    EXPECT_TRUE(p.Shows(digit, {InvertColor(back), InvertColor(clBlue)}));
    EXPECT_TRUE(p.Only(gapInside, {InvertColor(back)}));
    EXPECT_TRUE(p.Has(c2, InvertColor(back)));
    EXPECT_TRUE(p.Shows(ch, {InvertColor(back), InvertColor(ed->Font()->GetColor())}));
    // past the selection
    EXPECT_FALSE(p.Has(ed->CellRect(2 + 2 * 3 + 1, 2), InvertColor(back)));
  }
  // One byte a group: every byte has a gap after it, and the gap after the
  // selection's last byte is not selected.
  ed->SetBytesPerColumn(1);
  {
    const TRect c = ed->CellRect(2 + 2 * 2 + 1, 2);
    ASSERT_EQ(RectWidth(c), 2 * cw);
    Picture p(ed);
    EXPECT_TRUE(p.Only(TRect{c.left + cw, c.top, c.right, c.bottom}, {back}));
    const TRect in = ed->CellRect(2 + 2 * 1 + 1, 2);
    EXPECT_TRUE(p.Only(TRect{in.left + cw, in.top, in.right, in.bottom}, {InvertColor(back)}));
  }
  ed->SetBytesPerColumn(2);
  // Without the focus the selection stays inverted...
  LoseFocus();
  {
    Picture p(ed);
    EXPECT_TRUE(p.Shows(digit, {InvertColor(back), InvertColor(clBlue)}));
  }
  // ...or its text goes gray; the gaps keep their inverted fill.
  ed->SetGraySelectionIfNotFocused(true);
  {
    Picture p(ed);
    EXPECT_TRUE(p.Shows(digit, {FadeToGray(InvertColor(back)), FadeToGray(InvertColor(clBlue))},
                        {InvertColor(back), InvertColor(clBlue)}));
    EXPECT_TRUE(p.Has(ch, FadeToGray(InvertColor(back))));
    EXPECT_TRUE(p.Only(gapInside, {InvertColor(back)}));
  }
  // Gray only while the focus is elsewhere.
  ed->SetFocus();
  Pump(20);
  {
    Picture p(ed);
    EXPECT_TRUE(p.Shows(digit, {InvertColor(back)}, {FadeToGray(InvertColor(back))}));
  }
}

TEST(HexEditorPaint, BookmarkIconsBesideTheirRowsOffsets) {
  NarrowHost h(std::string(16, 'b'));
  THexEditor* ed = h.ed;
  const TColor offBack = Rgb(0xC8, 0xE6, 0xC8);
  ed->Colors()->SetOffsetBackGround(offBack);
  ed->SetSelStart(0);             // the caret's row is row 2
  ed->SetBookmarkVals(1, 5, false);  // row 3, in the hex field
  ed->SetBookmarkVals(2, 9, true);   // row 4, in the character field
  // The built-in icons: a blue (hex field) or green (character field)
  // square with transparent corners and the bookmark's digit in white.
  const TColor hexBlue = Rgb(0, 40, 160), charGreen = Rgb(0, 128, 0), white = Rgb(255, 255, 255);
  auto corner = [&](int row) {
    const TRect c = ed->CellRect(0, row);
    return POINT{c.left + 3, c.top + (RectHeight(c) - 10) / 2};
  };
  {
    Picture p(ed);
    const POINT a = corner(3), b = corner(4);
    EXPECT_EQ(p.At(a.x, a.y), ColorToRef(offBack));  // transparent corner
    EXPECT_EQ(p.At(a.x + 9, a.y + 9), ColorToRef(offBack));
    EXPECT_TRUE(p.Only(TRect{a.x + 1, a.y, a.x + 9, a.y + 1}, {hexBlue}));
    EXPECT_EQ(p.At(a.x + 4, a.y + 1), ColorToRef(white));  // the top of "1"
    EXPECT_EQ(p.At(a.x + 3, a.y + 1), ColorToRef(hexBlue));
    EXPECT_EQ(p.At(b.x, b.y), ColorToRef(offBack));
    EXPECT_TRUE(p.Only(TRect{b.x + 1, b.y, b.x + 9, b.y + 1}, {charGreen}));
    EXPECT_TRUE(p.Only(TRect{b.x + 3, b.y + 1, b.x + 6, b.y + 2}, {white}));  // the top of "2"
    EXPECT_EQ(p.At(b.x + 2, b.y + 1), ColorToRef(charGreen));
    const TRect row2 = ed->CellRect(0, 2);
    EXPECT_FALSE(p.Has(row2, hexBlue));
    EXPECT_FALSE(p.Has(row2, charGreen));
    EXPECT_FALSE(p.Has(ed->CellRect(0, 3), charGreen));
    EXPECT_FALSE(p.Has(ed->CellRect(0, 4), hexBlue));
  }
  // Set again at the same place, a bookmark goes, and its icon with it.
  ed->SetBookmarkVals(1, 5, false);
  {
    Picture p(ed);
    EXPECT_FALSE(p.Has(ed->CellRect(0, 3), hexBlue));
    EXPECT_TRUE(p.Has(ed->CellRect(0, 4), charGreen));
  }
}

// Button glyphs: cells of a strip per state, the gray inactive look, slot
// reuse in the shared lists, the cache's lifetime and the layout of glyph
// and caption.
#include <gtest/gtest.h>

#include <algorithm>

#include "extlib/ExCtlButtonGlyph.h"

namespace {

// A strip of `n` square cells of size `s`, cell i filled with colours[i]
// and a fuchsia (transparent) bottom-left pixel.
std::unique_ptr<TBitmap> Strip(int n, int s, const std::vector<TColor>& colours) {
  auto b = std::make_unique<TBitmap>(n * s, s);
  for (int i = 0; i < n; ++i) {
    b->Canvas()->Brush()->SetColor(colours[i]);
    b->Canvas()->FillRect(TRect{i * s, 0, (i + 1) * s, s});
  }
  b->Canvas()->SetPixel(0, s - 1, clFuchsia);
  return b;
}

// The colour at the middle of the state's image drawn on white.
COLORREF Centre(TExtButtonGlyph& g, TExtButtonState st) {
  TBitmap out(32, 32);
  out.Canvas()->Brush()->SetColor(clWhite);
  out.Canvas()->FillRect(TRect{0, 0, 32, 32});
  TPoint sz = g.DrawButtonGlyph(out.Canvas(), 0, 0, st);
  if (sz.x == 0) return 0xFFFFFFFF;
  return GetPixel(out.Canvas()->GetHandle(), sz.x / 2, sz.y / 2) & 0xFFFFFF;
}

TEST(ButtonGlyph, StripWidthSetsTheNumberOfGlyphs) {
  TExtButtonGlyph g;
  int changes = 0;
  struct C : TObject {
    int* n;
    void On(TObject*) { ++*n; }
  } c;
  c.n = &changes;
  g.OnChange = TNotifyEvent(&c, &C::On);
  auto four = Strip(4, 8, {clRed, clLime, clBlue, clYellow});
  g.SetGlyph(four.get());
  EXPECT_EQ(g.GetNumGlyphs(), 4);
  EXPECT_EQ(g.GetTransparentColor(), clFuchsia);
  EXPECT_GE(changes, 1);
  auto six = Strip(6, 8, {clRed, clRed, clRed, clRed, clRed, clRed});
  g.SetGlyph(six.get());
  EXPECT_EQ(g.GetNumGlyphs(), 1);
  // 0 and the current value change nothing; more than 5 is 5.
  int before = changes;
  g.SetNumGlyphs(0);
  g.SetNumGlyphs(1);
  EXPECT_EQ(changes, before);
  g.SetNumGlyphs(9);
  EXPECT_EQ(g.GetNumGlyphs(), 5);
  g.OnChange = TNotifyEvent();
}

TEST(ButtonGlyph, StatesPickTheirCells) {
  TExtButtonGlyph g;
  auto two = Strip(2, 8, {clRed, clBlue});
  g.SetGlyph(two.get());
  ASSERT_EQ(g.GetNumGlyphs(), 2);
  EXPECT_EQ(Centre(g, rbsUp), RGB(255, 0, 0));
  EXPECT_EQ(Centre(g, rbsDown), RGB(255, 0, 0));  // fewer than 3 cells: the up cell
  EXPECT_EQ(Centre(g, rbsDisabled), RGB(0, 0, 255));
  EXPECT_EQ(Centre(g, rbsExclusive), RGB(255, 0, 0));  // no cell 3: cell 0
  // Inactive without a fifth cell: cell 0 in gray.
  int gray = (77 * 255) >> 8;
  EXPECT_EQ(Centre(g, rbsInactive), RGB(gray, gray, gray));
  // Down and up share one image.
  EXPECT_EQ(g.CreateButtonGlyph(rbsDown), g.CreateButtonGlyph(rbsUp));

  auto five = Strip(5, 8, {clRed, clLime, clBlue, clYellow, clAqua});
  g.SetGlyph(five.get());
  ASSERT_EQ(g.GetNumGlyphs(), 5);
  EXPECT_EQ(Centre(g, rbsDown), RGB(0, 0, 255));
  EXPECT_EQ(Centre(g, rbsExclusive), RGB(255, 255, 0));
  EXPECT_EQ(Centre(g, rbsInactive), RGB(0, 255, 255));
  // The transparent corner shows the background.
  TBitmap out(16, 16);
  out.Canvas()->Brush()->SetColor(clWhite);
  out.Canvas()->FillRect(TRect{0, 0, 16, 16});
  g.DrawButtonGlyph(out.Canvas(), 0, 0, rbsUp);
  EXPECT_EQ(GetPixel(out.Canvas()->GetHandle(), 0, 7) & 0xFFFFFF, RGB(255, 255, 255));
}

TEST(ButtonGlyph, SingleGlyphIsEmbossedWhenDisabled) {
  TExtButtonGlyph g;
  auto one = Strip(1, 12, {clBlack});
  g.SetGlyph(one.get());
  ASSERT_EQ(g.GetNumGlyphs(), 1);
  TBitmap out(16, 16);
  out.Canvas()->Brush()->SetColor(clWhite);
  out.Canvas()->FillRect(TRect{0, 0, 16, 16});
  g.DrawButtonGlyph(out.Canvas(), 0, 0, rbsDisabled);
  HDC dc = out.Canvas()->GetHandle();
  // Dark pixels in button shadow; the highlight shows past their bottom-right edge.
  EXPECT_EQ(GetPixel(dc, 6, 6) & 0xFFFFFF, ColorToRef(clBtnShadow));
  EXPECT_EQ(GetPixel(dc, 12, 6) & 0xFFFFFF, ColorToRef(clBtnHighlight));
  // The transparent corner stays transparent.
  EXPECT_EQ(GetPixel(dc, 0, 11) & 0xFFFFFF, RGB(255, 255, 255));
}

TEST(ButtonGlyph, EmptyStripMakesNothingAndMapColorKeepsFaceAndTransparent) {
  TExtButtonGlyph g;
  EXPECT_EQ(g.CreateButtonGlyph(rbsUp), -1);
  TBitmap out(8, 8);
  TPoint sz = g.DrawButtonGlyph(out.Canvas(), 0, 0, rbsUp);
  EXPECT_EQ(sz.x, 0);
  EXPECT_EQ(sz.y, 0);
  EXPECT_EQ(g.MapColor(clFuchsia), clFuchsia);
  EXPECT_EQ(g.MapColor(clBtnFace), clBtnFace);
  EXPECT_EQ(g.MapColor(TColor(RGB(0, 0, 255))), TColor(RGB(29 * 255 >> 8, 29 * 255 >> 8, 29 * 255 >> 8)));
}

TEST(ButtonGlyph, SameSizedGlyphsShareOneListAndTheLastFreesTheCache) {
  ASSERT_EQ(GlyphCache(), nullptr);
  auto a = std::make_unique<TExtButtonGlyph>();
  auto b = std::make_unique<TExtButtonGlyph>();
  auto s1 = Strip(1, 8, {clRed});
  auto s2 = Strip(1, 8, {clBlue});
  auto s3 = Strip(1, 10, {clBlue});
  a->SetGlyph(s1.get());
  b->SetGlyph(s2.get());
  int ia = a->CreateButtonGlyph(rbsUp);
  int ib = b->CreateButtonGlyph(rbsUp);
  ASSERT_NE(GlyphCache(), nullptr);
  EXPECT_EQ(a->GlyphList(), b->GlyphList());
  EXPECT_NE(ia, ib);
  EXPECT_EQ(GlyphCache()->ListCount(), 1);
  // A freed slot is reused by the next image.
  TGlyphList* list = a->GlyphList();
  int count = list->GetCount();
  a->Invalidate();
  EXPECT_EQ(list->UsedCount(), 1);
  EXPECT_EQ(a->CreateButtonGlyph(rbsUp), ia);
  EXPECT_EQ(list->GetCount(), count);
  // Another size: another list.
  auto c = std::make_unique<TExtButtonGlyph>();
  c->SetGlyph(s3.get());
  c->CreateButtonGlyph(rbsUp);
  EXPECT_EQ(GlyphCache()->ListCount(), 2);
  c.reset();
  EXPECT_EQ(GlyphCache()->ListCount(), 1);
  a.reset();
  ASSERT_NE(GlyphCache(), nullptr);
  b.reset();
  EXPECT_EQ(GlyphCache(), nullptr);
}

struct Layout {
  TExtButtonGlyph g;
  TBitmap canvasHost{10, 10};
  std::unique_ptr<TBitmap> strip = Strip(1, 16, {clRed});
  Layout() { g.SetGlyph(strip.get()); }
  void Calc(const TRect& r, const String& cap, TButtonLayout l, int margin, int spacing, bool mark, TPoint& gp,
            TRect& tb) {
    g.CalcButtonLayout(canvasHost.Canvas(), r, cap, l, margin, spacing, mark, gp, tb, 0);
  }
};

TEST(ButtonLayout, EqualThirdsAndPlacementsAlongEachLayout) {
  Layout L;
  TPoint gp;
  TRect tb;
  const TRect r{10, 20, 210, 60};
  // Margin and spacing -1: equal thirds of the free width.
  L.Calc(r, L"Caption", blGlyphLeft, -1, -1, false, gp, tb);
  int tw = tb.right - tb.left;
  ASSERT_GT(tw, 0);
  int third = (200 - 16 - tw) / 3;
  EXPECT_EQ(gp.x, 10 + third);
  EXPECT_EQ(tb.left, 10 + third + 16 + third);
  EXPECT_EQ(gp.y, 20 + 40 / 2 - 16 / 2);
  // Glyph right: mirrored.
  L.Calc(r, L"Caption", blGlyphRight, 4, 2, false, gp, tb);
  EXPECT_EQ(gp.x, 10 + 200 - 4 - 16);
  EXPECT_EQ(tb.right, gp.x - 2);
  // Glyph on top, text centred across.
  L.Calc(TRect{0, 0, 100, 80}, L"Cap", blGlyphTop, 3, 5, false, gp, tb);
  EXPECT_EQ(gp.y, 3);
  EXPECT_EQ(tb.top, 3 + 16 + 5);
  EXPECT_EQ(gp.x, 50 - 8);
  // Given margin and free spacing: spacing = (extent - margin - glyph) div 2 - text div 2.
  L.Calc(TRect{0, 0, 200, 40}, L"Caption", blGlyphLeft, 6, -1, false, gp, tb);
  tw = tb.right - tb.left;
  EXPECT_EQ(tb.left, 6 + 16 + ((200 - 6 - 16) / 2 - tw / 2));
  // Without a caption, spacing is 0 and the glyph is centred.
  L.Calc(TRect{0, 0, 100, 40}, L"", blGlyphLeft, -1, 4, false, gp, tb);
  EXPECT_EQ(gp.x, 50 - 8);
  EXPECT_EQ(tb.right - tb.left, 0);
  // A popup mark widens the glyph for layouts other than glyph-left.
  L.Calc(TRect{0, 0, 100, 40}, L"", blGlyphRight, 0, 0, true, gp, tb);
  EXPECT_EQ(gp.x, 100 - 22);
}

TEST(ButtonLayout, LongCaptionIsShortenedToTheRoom) {
  Layout L;
  TPoint gp;
  TRect tb;
  L.Calc(TRect{0, 0, 60, 30}, L"A very long caption that cannot fit", blGlyphLeft, 2, 2, false, gp, tb);
  EXPECT_LE(tb.right - tb.left, 60 - 16 - 4);
  EXPECT_GT(tb.right - tb.left, 0);
  // No room at all: an empty text.
  L.Calc(TRect{0, 0, 16, 30}, L"Caption", blGlyphLeft, 0, 0, false, gp, tb);
  EXPECT_EQ(tb.right - tb.left, 0);
}

TEST(ButtonImage, PaintsAFramedFaceWithItsGlyphAndKeepsTheCanvasState) {
  TButtonImage img;
  auto strip = Strip(1, 8, {clRed});
  img.SetGlyph(strip.get());
  img.SetButtonSize(TPoint{30, 24});
  TBitmap out(40, 30);
  out.Canvas()->Brush()->SetColor(clWhite);
  out.Canvas()->FillRect(TRect{0, 0, 40, 30});
  out.Canvas()->Brush()->SetColor(clLime);
  TFont big;
  big.SetSize(20);
  int keepSize = out.Canvas()->Font()->GetSize();
  img.Draw(out.Canvas(), 2, 3, -1, -1, blGlyphLeft, &big, DT_CENTER);
  HDC dc = out.Canvas()->GetHandle();
  EXPECT_EQ(GetPixel(dc, 2, 3) & 0xFFFFFF, ColorToRef(clBtnShadow));
  EXPECT_EQ(GetPixel(dc, 31, 26) & 0xFFFFFF, ColorToRef(clWindowFrame));
  EXPECT_EQ(GetPixel(dc, 3, 4) & 0xFFFFFF, ColorToRef(clBtnHighlight));
  EXPECT_EQ(GetPixel(dc, 32, 27) & 0xFFFFFF, RGB(255, 255, 255));  // nothing outside
  // The glyph sits in the middle of the face.
  EXPECT_EQ(GetPixel(dc, 2 + 15, 3 + 12) & 0xFFFFFF, RGB(255, 0, 0));
  EXPECT_EQ(out.Canvas()->Brush()->GetColor(), clLime);
  EXPECT_EQ(out.Canvas()->Font()->GetSize(), keepSize);
}

// The caption's lines of a two-line face follow the image's alignment: the
// short second line starts with the long first one, ends with it, or sits
// in its middle.
TEST(ButtonImage, CaptionLinesFollowTheAlignment) {
  for (TAlignment a : {taLeftJustify, taRightJustify, taCenter}) {
    SCOPED_TRACE(int(a));
    TButtonImage img;
    img.SetButtonSize(TPoint{120, 44});
    img.SetCaption(L"WWWWWWWW\r\nll");
    img.SetAlignment(a);
    TBitmap out(120, 44);
    img.Draw(out.Canvas(), 0, 0, -1, -1, blGlyphLeft, nullptr, DT_CENTER);
    HDC dc = out.Canvas()->GetHandle();
    auto dark = [&](int x, int y) {
      COLORREF c = GetPixel(dc, x, y);
      return GetRValue(c) + GetGValue(c) + GetBValue(c) < 300;
    };
    int top = 44, bottom = -1;
    for (int y = 3; y < 41; ++y)
      for (int x = 3; x < 117; ++x)
        if (dark(x, y)) top = std::min(top, y), bottom = std::max(bottom, y);
    ASSERT_LT(top, bottom);
    // The ink of each line: left-most and right-most dark columns.
    auto span = [&](int y0, int y1) {
      std::pair<int, int> r{120, -1};
      for (int y = y0; y < y1; ++y)
        for (int x = 3; x < 117; ++x)
          if (dark(x, y)) r.first = std::min(r.first, x), r.second = std::max(r.second, x);
      return r;
    };
    const int mid = (top + bottom) / 2;
    auto first = span(top, mid), second = span(mid + 1, bottom + 1);
    ASSERT_GT(first.second - first.first, 3 * (second.second - second.first));
    if (a == taLeftJustify) EXPECT_NEAR(second.first, first.first, 2);
    if (a == taRightJustify) EXPECT_NEAR(second.second, first.second, 2);
    if (a == taCenter) EXPECT_NEAR(second.first + second.second, first.first + first.second, 4);
  }
}

}  // namespace

namespace {
// An image list of 8 x 8 images: a blue square (image 0) and a red one
// (image 1), each on a fuchsia (masked) ground.
std::unique_ptr<TImageList> Squares() {
  auto list = std::make_unique<TImageList>(nullptr, 8, 8);
  for (TColor c : {clBlue, clRed}) {
    TBitmap b(8, 8);
    b.Canvas()->Brush()->SetColor(clFuchsia);
    b.Canvas()->FillRect(TRect{0, 0, 8, 8});
    b.Canvas()->Brush()->SetColor(c);
    b.Canvas()->FillRect(TRect{2, 2, 6, 6});
    list->AddMasked(&b, clFuchsia);
  }
  return list;
}

// Draws the state's image of image `index` on white; the colour at (x, y).
COLORREF ImagePixel(TExtButtonGlyph& g, TCustomImageList* l, int index, TExtButtonState st, int x, int y) {
  TBitmap out(12, 12);
  out.Canvas()->Brush()->SetColor(clWhite);
  out.Canvas()->FillRect(TRect{0, 0, 12, 12});
  g.DrawButtonImage(out.Canvas(), 0, 0, l, index, st);
  return GetPixel(out.Canvas()->GetHandle(), x, y) & 0xFFFFFF;
}
}  // namespace

TEST(ButtonGlyph, StatesFromAnImageList) {
  auto list = Squares();
  TExtButtonGlyph g;
  // Up: the image with its mask; down is the same image.
  EXPECT_EQ(ImagePixel(g, list.get(), 0, rbsUp, 3, 3), RGB(0, 0, 255));
  EXPECT_EQ(ImagePixel(g, list.get(), 0, rbsUp, 0, 0), RGB(255, 255, 255));
  EXPECT_EQ(g.CreateImageGlyph(rbsDown, list.get(), 0), g.CreateImageGlyph(rbsUp, list.get(), 0));
  EXPECT_EQ(ImagePixel(g, list.get(), 0, rbsExclusive, 3, 3), RGB(0, 0, 255));
  // Disabled: the shape in button shadow over a highlight copy.
  EXPECT_EQ(ImagePixel(g, list.get(), 0, rbsDisabled, 3, 3), ColorToRef(clBtnShadow));
  EXPECT_EQ(ImagePixel(g, list.get(), 0, rbsDisabled, 6, 6), ColorToRef(clBtnHighlight));
  EXPECT_EQ(ImagePixel(g, list.get(), 0, rbsDisabled, 0, 0), RGB(255, 255, 255));
  // Inactive: grey (77 R + 150 G + 29 B) / 256, the ground left out.
  EXPECT_EQ(ImagePixel(g, list.get(), 0, rbsInactive, 3, 3), RGB(28, 28, 28));
  EXPECT_EQ(ImagePixel(g, list.get(), 0, rbsInactive, 0, 0), RGB(255, 255, 255));
  // Another image is made anew; nothing for an empty list or a bad index.
  EXPECT_EQ(ImagePixel(g, list.get(), 1, rbsUp, 3, 3), RGB(255, 0, 0));
  TImageList empty(nullptr, 8, 8);
  EXPECT_EQ(g.CreateImageGlyph(rbsUp, &empty, 0), -1);
  EXPECT_EQ(g.CreateImageGlyph(rbsUp, list.get(), 2), -1);
  TBitmap out(4, 4);
  EXPECT_EQ(g.DrawButtonImage(out.Canvas(), 0, 0, list.get(), 5, rbsUp).x, 0);
  // The images go back to the shared lists.
  g.Invalidate();
  EXPECT_TRUE(GlyphCache()->Empty());
}

TEST(ButtonGlyph, DrawExLaysOutTheImageInsteadOfTheStrip) {
  auto list = Squares();
  TExtButtonGlyph g;
  auto strip = Strip(1, 16, {clLime});
  g.SetGlyph(strip.get());
  TBitmap out(40, 40);
  out.Canvas()->Brush()->SetColor(clWhite);
  out.Canvas()->FillRect(TRect{0, 0, 40, 40});
  // No caption: the 8-pixel image centred at (16, 16), and no strip.
  g.DrawEx(out.Canvas(), TRect{0, 0, 40, 40}, L"", blGlyphLeft, -1, -1, false, list.get(), 1, rbsUp, 0);
  HDC dc = out.Canvas()->GetHandle();
  EXPECT_EQ(GetPixel(dc, 16 + 2, 16 + 2) & 0xFFFFFF, RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 16 + 1, 16 + 1) & 0xFFFFFF, RGB(255, 255, 255));
  int lime = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) lime += (GetPixel(dc, x, y) & 0xFFFFFF) == RGB(0, 255, 0);
  EXPECT_EQ(lime, 0);

  TButtonImage image;
  image.SetButtonSize(TPoint{24, 23});
  TBitmap face(24, 23);
  image.DrawEx(face.Canvas(), 0, 0, -1, -1, blGlyphLeft, nullptr, list.get(), 0, 0);
  int blue = 0;
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 24; ++x) blue += (GetPixel(face.Canvas()->GetHandle(), x, y) & 0xFFFFFF) == RGB(0, 0, 255);
  EXPECT_EQ(blue, 16);
}

TEST(ButtonLayout, CaptionLinesAreMinimizedOneByOne) {
  TExtButtonGlyph g;
  TBitmap b(10, 10);
  int room = b.Canvas()->TextWidth(L"Wide words");
  String s = g.MinimizeCaption(b.Canvas(), L"Fits  \r\nWide words and more", room);
  EXPECT_EQ(s.substr(0, 6), L"Fits\r\n");  // trailing blanks trimmed
  EXPECT_EQ(s.substr(s.size() - 3), L"...");
  EXPECT_LE(b.Canvas()->TextWidth(s.substr(6)), room);
}

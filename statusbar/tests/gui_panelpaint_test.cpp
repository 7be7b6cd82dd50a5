// Panel painting: each type composed into a memory bitmap and read back
// pixel by pixel, the moving gauges step by step, and the whole bar printed
// through the window.
#include "statusbar/tests/sb_support.h"

using namespace testsupport;
using namespace sbtest;

namespace {

constexpr TColor kGauge = clBlue;
constexpr TColor kGaugeText = clWhite;

// A canvas the size of a panel to paint into.
struct Target {
  TBitmap bmp;
  TRect r;
  Target(int w, int h) : bmp(w, h), r{0, 0, w, h} {
    bmp.Canvas()->Brush()->SetColor(clLime);
    bmp.Canvas()->FillRect(r);
  }
  COLORREF At(int x, int y) { return GetPixel(bmp.Canvas()->GetHandle(), x, y) & 0xFFFFFF; }
  int Count(COLORREF c, int x0, int x1) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = x0; x < x1; ++x) n += At(x, y) == c;
    return n;
  }
};

COLORREF Ref(TColor c) { return ColorToRef(c); }

// Counts the calls of a panel's draw handler.
struct Painter {
  int* n;
  void Draw(TOdStatusBar*, TOdStatusPanel*, const TRect&) { ++*n; }
};

TOdStatusPanel* Gauge(BarHost& h, int pos) {
  TOdStatusPanel* g = h.Add(sptGauge, 200);
  g->GaugeAttrs()->SetColor(kGauge);
  g->GaugeAttrs()->SetTextColor(kGaugeText);
  g->GaugeAttrs()->SetPosition(pos);
  return g;
}

}  // namespace

TEST(PanelPainting, HalfGaugeSplitsColoursAndCaption) {
  BarHost h;
  TOdStatusPanel* g = Gauge(h, 50);
  Target t(202, 22);
  g->Redraw(t.bmp.Canvas(), t.r);
  // Inside the 1-pixel margin: gauge colour on the left, bar colour right.
  EXPECT_EQ(t.At(1, 1), Ref(kGauge));
  EXPECT_EQ(t.At(99, 1), Ref(kGauge));
  EXPECT_EQ(t.At(102, 1), Ref(clYellow));
  EXPECT_EQ(t.At(199, 20), Ref(clYellow));
  EXPECT_EQ(t.At(0, 0), Ref(clLime)) << "the margin is not painted";
  // "50%" is centred: its left part in TextColor over the filled half, its
  // right part in the font colour over the empty half.
  EXPECT_GT(t.Count(Ref(kGaugeText), 80, 101), 3);
  EXPECT_GT(t.Count(Ref(clBlack), 101, 125), 3);
  EXPECT_EQ(t.Count(Ref(clBlack), 1, 101), 0);
  EXPECT_EQ(t.Count(Ref(kGaugeText), 101, 201), 0);
}

TEST(PanelPainting, EmptyAndFullGauges) {
  BarHost h;
  TOdStatusPanel* g = Gauge(h, 0);
  Target t(202, 22);
  g->Redraw(t.bmp.Canvas(), t.r);
  EXPECT_EQ(t.Count(Ref(kGauge), 1, 201), 0);
  EXPECT_EQ(t.Count(Ref(kGaugeText), 1, 201), 0);
  EXPECT_GT(t.Count(Ref(clBlack), 1, 201), 3);
  g->GaugeAttrs()->SetPosition(100);
  g->Redraw(t.bmp.Canvas(), t.r);
  EXPECT_EQ(t.Count(Ref(clYellow), 1, 201), 0);
  EXPECT_EQ(t.Count(Ref(clBlack), 1, 201), 0);
  EXPECT_GT(t.Count(Ref(kGaugeText), 1, 201), 3);
}

TEST(PanelPainting, DisabledAndOwnerDrawnPanels) {
  BarHost h;
  TOdStatusPanel* p = h.Add(sptNormal, 200);
  p->SetText(L"Some text");
  Target t(202, 22);
  p->Redraw(t.bmp.Canvas(), t.r);
  EXPECT_GT(t.Count(Ref(clBlack), 1, 201), 3);
  p->SetEnabled(false);
  p->Redraw(t.bmp.Canvas(), t.r);
  EXPECT_EQ(t.Count(Ref(clYellow), 1, 201), 200 * 20) << "only the background";

  TOdStatusPanel* od = h.Add(sptOwnerDraw, 100);
  Target u(102, 22);
  od->Redraw(u.bmp.Canvas(), u.r);
  EXPECT_EQ(u.Count(Ref(clLime), 0, 102), 102 * 22) << "the application paints it";
  int calls = 0;
  Painter painter{&calls};
  od->OnDrawPanel = TOdDrawPanelEvent(&painter, &Painter::Draw);
  h.bar->Invalidate();
  h.bar->Update();
  Pump(30);
  EXPECT_GE(calls, 1);
}

TEST(PanelPainting, LockPanelsGreyWhenOff) {
  BarHost h;
  TOdStatusPanel* caps = h.Add(sptCapsLock);
  Target t(caps->GetWidth() + 2, 22);
  caps->Redraw(t.bmp.Canvas(), t.r);
  bool on = (GetKeyState(VK_CAPITAL) & 1) != 0;
  COLORREF expect = on ? Ref(clBlack) : Ref(clGrayText);
  EXPECT_GT(t.Count(expect, 1, t.r.right - 1), 3);
}

TEST(PanelPainting, RightAlignedGlyphSitsAtTheRightEdge) {
  BarHost h;
  TOdStatusPanel* g = h.Add(sptGlyph);
  g->SetAutoFit(false);
  g->SetWidth(200);
  g->SetAlignment(taRightJustify);
  TBitmap* b = g->Glyph()->Bitmap();
  b->SetSize(10, 10);
  b->Canvas()->Brush()->SetColor(clWhite);  // bottom-left colour: transparent
  b->Canvas()->FillRect(TRect{0, 0, 10, 10});
  b->Canvas()->Brush()->SetColor(clRed);
  b->Canvas()->FillRect(TRect{2, 2, 8, 8});
  g->Glyph()->OnChange(g->Glyph());
  g->SetText(L"Glyph");
  Target t(202, 22);
  g->Redraw(t.bmp.Canvas(), t.r);
  // The glyph occupies the last 10 columns of the drawing rectangle.
  EXPECT_EQ(t.Count(Ref(clRed), 193, 199), 36);
  EXPECT_EQ(t.Count(Ref(clRed), 1, 190), 0);
  EXPECT_EQ(t.Count(Ref(clWhite), 1, 201), 0) << "the key colour stays transparent";
  // The text lies left of the glyph.
  EXPECT_GT(t.Count(Ref(clBlack), 150, 191), 3);
  EXPECT_EQ(t.Count(Ref(clBlack), 1, 100), 0);
}

TEST(PanelPainting, EllipsisShortensLongText) {
  BarHost h;
  TOdStatusPanel* p = h.Add(sptEllipsisText, 60);
  p->SetText(L"A rather long text that cannot fit in sixty pixels at all");
  Target t(62, 22);
  p->Redraw(t.bmp.Canvas(), t.r);
  // The text stops before the right edge instead of being cut at it.
  EXPECT_EQ(t.Count(Ref(clBlack), 58, 61), 0);
  EXPECT_GT(t.Count(Ref(clBlack), 1, 58), 3);
}

TEST(PanelPainting, BouncingBlockReversesAtBothEnds) {
  BarHost h;
  TOdStatusPanel* g = h.Add(sptGauge, 60);
  g->GaugeAttrs()->SetStyle(gsIndeterminate);
  g->GaugeAttrs()->SetColor(kGauge);
  g->SetEnabled(true);
  Target t(60, 21);
  TRect inner{0, 0, 60, 21};
  int s = 21 - 2 * 7;  // the block is as wide as its shrunk height
  int maxOffset = 0, minAfterTurn = 1000;
  bool turned = false, turnedBack = false;
  for (int i = 0; i < 300; ++i) {
    g->DrawIndeterminateGauge(t.bmp.Canvas(), inner);
    maxOffset = std::max(maxOffset, g->GaugeOffset());
    if (g->GaugeStep() < 0) turned = true;
    if (turned) minAfterTurn = std::min(minAfterTurn, g->GaugeOffset());
    if (turned && g->GaugeStep() > 0) {
      turnedBack = true;
      break;
    }
  }
  EXPECT_TRUE(turned);
  EXPECT_TRUE(turnedBack);
  EXPECT_GE(maxOffset + s + 1, 60);
  EXPECT_LT(maxOffset + s + 1, 60 + 4);
  EXPECT_LE(minAfterTurn, 1);
  EXPECT_GT(t.Count(Ref(kGauge), 0, 60), 10);
}

TEST(PanelPainting, GradientRunsOutToTheLeftBeforeTurning) {
  BarHost h;
  TOdStatusPanel* g = h.Add(sptGauge, 150);
  g->GaugeAttrs()->SetStyle(gsIndeterminate2);
  g->GaugeAttrs()->SetColor(kGauge);
  g->SetEnabled(true);
  TBitmap* b = g->GetGaugeBitmap();
  ASSERT_EQ(b->GetWidth(), 100);
  EXPECT_EQ(GetPixel(b->Canvas()->GetHandle(), 0, 0) & 0xFFFFFF, Ref(clYellow));
  EXPECT_EQ(GetPixel(b->Canvas()->GetHandle(), 99, 0) & 0xFFFFFF, Ref(kGauge));
  Target t(150, 20);
  int minOffset = 0;
  bool turned = false;
  for (int i = 0; i < 600; ++i) {
    g->DrawIndeterminateGauge(t.bmp.Canvas(), t.r);
    if (g->GaugeStep() < 0) turned = true;
    if (turned) minOffset = std::min(minOffset, g->GaugeOffset());
    if (turned && g->GaugeStep() > 0) break;
    if (i == 20) {
      // Moving right, the gauge colour leads (right end of the gradient).
      int x = g->GaugeOffset() + 99;
      EXPECT_EQ(t.At(x, 5), Ref(kGauge));
    }
  }
  EXPECT_LE(minOffset, -100);
  EXPECT_GT(minOffset, -100 - 8);
  // A new colour rebuilds the gradient.
  g->GaugeAttrs()->SetColor(clRed);
  EXPECT_EQ(GetPixel(g->GetGaugeBitmap()->Canvas()->GetHandle(), 99, 0) & 0xFFFFFF, Ref(clRed));
}

TEST(PanelPainting, BarPrintsItsPanels) {
  BarHost h;
  TOdStatusPanel* g = Gauge(h, 100);
  g->SetText(L" ");
  h.Add(sptNormal, 100)->SetText(L"Ready");
  h.bar->Invalidate();
  h.bar->Update();
  Pump(30);
  int w = h.bar->GetWidth(), ht = h.bar->GetHeight();
  TBitmap shot(w, ht);
  HDC dc = shot.Canvas()->GetHandle();
  ASSERT_TRUE(PrintWindow(h.bar->GetHandle(), dc, 0));
  TRect r = h.bar->GetPanelRect(0);
  int gauge = 0;
  for (int x = r.left + 2; x < r.right - 2; ++x) gauge += (GetPixel(dc, x, (r.top + r.bottom) / 2) & 0xFFFFFF) == Ref(kGauge);
  EXPECT_GT(gauge, (r.right - r.left) / 2);
}

TEST(PanelPainting, SizeGripTakesTheBarsColour) {
  BarHost h;
  h.bar->SetSizeGrip(true);
  h.Add(sptNormal, 100);
  h.bar->Invalidate();
  h.bar->Update();
  Pump(30);
  TRect cr = h.bar->GetClientRect();
  TRect g{cr.right - 16, cr.top + 2, cr.right - 1, cr.bottom - 2};
  HDC dc = GetDC(h.bar->GetHandle());
  int yellow = 0, shadow = 0, face = 0;
  for (int y = g.top + 1; y < g.bottom; ++y)
    for (int x = g.left; x < g.right; ++x) {
      COLORREF c = GetPixel(dc, x, y) & 0xFFFFFF;
      yellow += c == Ref(clYellow);
      shadow += c == Ref(clBtnShadow);
      face += c == Ref(clBtnFace);
    }
  ReleaseDC(h.bar->GetHandle(), dc);
  EXPECT_GT(yellow, 50);
  EXPECT_GT(shadow, 5);
  EXPECT_EQ(face, 0) << "no system-coloured grip left over";
}

TEST(PanelPainting, BarDrawHandlersDrawInTheMeasuringFont) {
  BarHost h;
  h.bar->Font()->SetName(L"Courier New");
  h.bar->Font()->SetSize(14);
  TOdStatusPanel* p = h.Add(sptNormal, 150);
  p->SetText(L"Measured");
  struct Probe {
    TOdStatusBar* bar;
    int calls = 0, inExtentFont = 0;
    void Draw(TOdStatusBar*, TOdStatusPanel*, const TRect&) {
      ++calls;
      // What a handler drawing straight through the device context gets.
      inExtentFont += GetCurrentObject(bar->Canvas()->GetHandle(), OBJ_FONT) == bar->ExtentFont();
    }
  } probe{h.bar};
  h.bar->SetOnDrawPanel(TOdDrawPanelEvent(&probe, &Probe::Draw));
  ASSERT_NE(h.bar->ExtentFont(), nullptr);
  h.bar->Invalidate();
  h.bar->Update();
  Pump(30);
  ASSERT_GE(probe.calls, 1);
  EXPECT_EQ(probe.inExtentFont, probe.calls);
}

// A designed owner-drawn panel shows that it is one, in the place and the
// font a text panel would show it; its handler is for the running program.
TEST(PanelPainting, DesignedOwnerDrawnPanelShowsItsMark) {
  BarHost h;
  TOdStatusPanel* od = h.Add(sptOwnerDraw, 100);
  TOdStatusPanel* text = h.Add(sptNormal, 100);
  text->SetText(L" *OD* ");
  int calls = 0;
  Painter painter{&calls};
  od->OnDrawPanel = TOdDrawPanelEvent(&painter, &Painter::Draw);
  h.form->SetDesigning(true);
  ASSERT_TRUE(h.bar->IsDesigning());
  Target mark(102, 22), expect(102, 22);
  od->Redraw(mark.bmp.Canvas(), mark.r);
  text->Redraw(expect.bmp.Canvas(), expect.r);
  EXPECT_GT(mark.Count(Ref(clBlack), 1, 101), 3);
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 102; ++x) ASSERT_EQ(mark.At(x, y), expect.At(x, y)) << x << "," << y;

  // On the bar's window: the mark is painted, the handler is not called.
  auto shot = [&] {
    h.bar->Invalidate();
    h.bar->Update();
    Pump(30);
    TBitmap b(h.bar->GetWidth(), h.bar->GetHeight());
    HDC dc = b.Canvas()->GetHandle();
    EXPECT_TRUE(PrintWindow(h.bar->GetHandle(), dc, 0));
    TRect r = h.bar->GetPanelRect(0);
    int black = 0;
    for (int y = r.top + 1; y < r.bottom - 1; ++y)
      for (int x = r.left + 1; x < r.right - 1; ++x) black += (GetPixel(dc, x, y) & 0xFFFFFF) == Ref(clBlack);
    return black;
  };
  EXPECT_GT(shot(), 3);
  EXPECT_EQ(calls, 0);
  // Running, the handler paints it and the mark is gone.
  h.form->SetDesigning(false);
  EXPECT_EQ(shot(), 0);
  EXPECT_GE(calls, 1);
}

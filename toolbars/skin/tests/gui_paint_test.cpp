// The Default theme's frames, grips, glyphs and status-bar parts, the
// image and rectangle helpers, and pop-up placement over the parent item.
#include <gtest/gtest.h>

#include <memory>

#include "classlib/Actions.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/MemCanvas.h"
#include "testsupport/Pump.h"
#include "toolbars/skin/SkinDefaultTheme.h"
#include "toolbars/skin/SkinUtils.h"
#include "toolbars/skin/SkinWindows.h"

using namespace testsupport;

namespace {
// A mask pattern (one byte a row, high bit leftmost) in the form of
// MemCanvas::Shape: the first W columns, cut to the set bits' bounding box.
std::vector<std::string> PatternShape(std::vector<uint8_t> Rows, int W) {
  MemCanvas c(W, int(Rows.size()), RGB(255, 255, 255));
  for (size_t y = 0; y < Rows.size(); ++y)
    for (int x = 0; x < W; ++x)
      if (Rows[y] & (0x80 >> x)) SetPixel(c.DC, x, int(y), RGB(0, 0, 0));
  return c.Shape(RGB(0, 0, 0));
}

// The Default theme, but pop-ups overlap their parent item by a pixel.
class OverlapTheme : public TSkinDefaultTheme {
 public:
  using TSkinDefaultTheme::TSkinDefaultTheme;
  bool GetBooleanMetrics(int Index) override { return Index == 1 || TSkinDefaultTheme::GetBooleanMetrics(Index); }
};
TSkinTheme* MakeOverlap(const String& Name) { return new OverlapTheme(Name); }
}  // namespace

TEST(SkinDefaultFrames, DockedGripsAndCloseButton) {
  InitSkin();
  if (USE_THEMES) GTEST_SKIP();
  TSkinTheme* t = CurrentSkinTheme();
  const COLORREF hi = ColorToRef(clBtnHighlight);
  TSkinToolbarInfo info;
  info.AllowDrag = true;
  info.BorderSize = POINT{2, 2};
  info.ClientWidth = 60;
  info.ClientHeight = 22;
  info.DragHandleStyle = dhDouble;
  {
    MemCanvas c(64, 26, RGB(0, 0, 0));
    c.C.Brush()->SetColor(clRed);
    t->PaintToolbarNCArea(&c.C, RECT{0, 0, 64, 26}, info);
    // Two raised bars 3 pixels apart: their highlight columns differ by 3.
    std::vector<int> cols = c.ColumnsOf(12, hi);
    ASSERT_GE(cols.size(), 2u);
    EXPECT_EQ(cols[1] - cols[0], 3);
    EXPECT_EQ(c.At(40, 12), RGB(255, 0, 0));  // filled with the brush
  }
  {
    // dhNone: no grip, but the close button's mark.
    info.DragHandleStyle = dhNone;
    info.CloseButtonState = 1;
    MemCanvas c(64, 26, RGB(0, 0, 0));
    c.C.Brush()->SetColor(clRed);
    t->PaintToolbarNCArea(&c.C, RECT{0, 0, 64, 26}, info);
    EXPECT_TRUE(c.ColumnsOf(20, hi).empty() || c.ColumnsOf(20, hi).front() > 14);
    // The mark is the cross itself, not a block with the cross cut out.
    EXPECT_EQ(c.Shape(ColorToRef(clBtnText)), PatternShape({0xCC, 0x78, 0x30, 0x78, 0xCC, 0, 0}, 7));
  }
}

TEST(SkinDefaultFrames, StatusGripGroupsAndPanels) {
  InitSkin();
  if (USE_THEMES) GTEST_SKIP();
  TSkinTheme* t = CurrentSkinTheme();
  MemCanvas c(8, 8, RGB(1, 2, 3));
  t->PaintStatusBar(&c.C, RECT{0, 0, 8, 8}, 3);
  // Below 9 pixels the groups are shadow, highlight: the diagonal starting
  // at the bottom row alternates between the two colours.
  COLORREF sh = ColorToRef(clBtnShadow), hi = ColorToRef(clBtnHighlight);
  EXPECT_EQ(c.At(6, 6), sh);
  EXPECT_EQ(c.At(5, 6), hi);
  EXPECT_EQ(c.At(4, 6), sh);
  MemCanvas p(40, 10, RGB(1, 2, 3));
  t->PaintStatusBar(&p.C, RECT{0, 0, 40, 10}, 1);
  EXPECT_EQ(p.At(0, 5), sh);   // sunken: shadow at the left
  EXPECT_EQ(p.At(37, 5), hi);  // highlight at the right, two pixels in
  EXPECT_EQ(p.At(39, 5), RGB(1, 2, 3));
  TSkinMargins m;
  t->GetMargins(3, m);
  EXPECT_EQ(m.RightWidth, 3);
}

TEST(SkinDefaultFrames, PopupBordersAndGlyphs) {
  InitSkin();
  if (USE_THEMES) GTEST_SKIP();
  TSkinTheme* t = CurrentSkinTheme();
  TSkinPopupInfo p;
  p.ViewType = VT_LISTBOX;
  MemCanvas c(20, 20, RGB(1, 2, 3));
  t->PaintPopupNCArea(&c.C, RECT{0, 0, 20, 20}, p);
  EXPECT_EQ(c.At(0, 10), ColorToRef(clWindowFrame));
  EXPECT_EQ(c.At(1, 10), ColorToRef(clWindow));
  EXPECT_EQ(c.At(2, 10), ColorToRef(clWindow));
  EXPECT_EQ(c.At(3, 10), RGB(1, 2, 3));  // the client area stays
  // A checked, disabled check box: grey mark on a face-coloured box.
  MemCanvas g(13, 13, RGB(1, 2, 3));
  t->PaintGlyph(&g.C, RECT{0, 0, 13, 13}, 1, 1 | 4);
  EXPECT_EQ(g.At(1, 1), ColorToRef(clBtnShadow));
  EXPECT_GT(g.Count(ColorToRef(clGrayText)), 3);
  // A chevron draws its mark even on a plain (not hot) button.
  MemCanvas ch(14, 22, RGB(255, 255, 255));
  TSkinItemInfo I;
  I.ViewType = VT_TOOLBARBAR;
  I.ItemOptions = IO_TOOLBARSTYLE;
  I.Enabled = true;
  t->PaintChevron(&ch.C, RECT{0, 0, 14, 22}, I);
  const std::vector<std::string> right = PatternShape({0xCC, 0x66, 0x33, 0x66, 0xCC}, 8);
  EXPECT_EQ(ch.Shape(ColorToRef(clBtnText)), right);
  EXPECT_EQ(ch.At(2, 4), ColorToRef(clBtnText));  // the glyph box starts at (2, 4)
  // Vertical: the down-pointing pattern's first five columns, at the right.
  MemCanvas cv(22, 14, RGB(255, 255, 255));
  I.IsVertical = true;
  t->PaintChevron(&cv.C, RECT{0, 0, 22, 14}, I);
  EXPECT_EQ(cv.Shape(ColorToRef(clBtnText)), PatternShape({0x88, 0xD8, 0x70, 0x20, 0x88, 0xD8, 0x70, 0x20}, 5));
  EXPECT_EQ(cv.Shape(ColorToRef(clBtnText), 0, 0, 13, 14), std::vector<std::string>{});
  // Disabled: the shadow in place over the highlight one pixel lower.
  MemCanvas cd(14, 22, RGB(255, 0, 255));
  I.IsVertical = false;
  I.Enabled = false;
  t->PaintChevron(&cd.C, RECT{0, 0, 14, 22}, I);
  EXPECT_EQ(cd.Shape(ColorToRef(clBtnShadow)), right);
  EXPECT_EQ(cd.At(2, 4), ColorToRef(clBtnShadow));
  EXPECT_EQ(cd.At(2, 5), ColorToRef(clBtnHighlight));  // row 1 is clear at its first column
}

TEST(SkinDefaultFrames, DockPanelCaptionKeepsItsEdgeAndCloseMark) {
  InitSkin();
  if (USE_THEMES) GTEST_SKIP();
  TSkinTheme* t = CurrentSkinTheme();
  const int s = GetSystemMetrics(SM_CYSMCAPTION);
  TSkinDockPanelInfo p;
  p.ShowCaption = true;
  p.CloseButtonState = 1;
  p.Caption = L"";
  MemCanvas c(120, 80, RGB(1, 2, 3));
  t->PaintDockPanelNCArea(&c.C, RECT{0, 0, 120, 80}, p);
  // Inside the toolbar-coloured frame: the caption's raised edge, its
  // highlight on the top and left, its shadow along the bottom.
  const COLORREF hi = ColorToRef(clBtnHighlight), sh = ColorToRef(clBtnShadow);
  EXPECT_EQ(c.At(40, 1), hi);
  EXPECT_EQ(c.At(1, s / 2), hi);
  EXPECT_EQ(c.At(40, s), sh);
  EXPECT_NE(c.At(40, s / 2), hi);  // filled inside
  // The close button at the right end carries the panel's cross.
  EXPECT_EQ(c.Shape(ColorToRef(clBtnText), 120 - 1 - s, 1, 119, 1 + s),
            PatternShape({0xC6, 0x6C, 0x38, 0x38, 0x6C, 0xC6}, 7));
  // Down the left side: the edge runs along the caption's length.
  p.IsVertical = true;
  MemCanvas v(80, 120, RGB(1, 2, 3));
  t->PaintDockPanelNCArea(&v.C, RECT{0, 0, 80, 120}, p);
  EXPECT_EQ(v.At(1, 40), hi);
  EXPECT_EQ(v.At(s, 40), sh);
  EXPECT_EQ(v.Shape(ColorToRef(clBtnText), 1, 120 - 1 - s, 1 + s, 119),
            PatternShape({0xC6, 0x6C, 0x38, 0x38, 0x6C, 0xC6}, 7));
}

TEST(SkinUtilsDrawing, RectanglesLinesAndIcons) {
  InitSkin();
  MemCanvas c(20, 20, RGB(255, 255, 255));
  RECT r{2, 2, 12, 12};
  EXPECT_FALSE(FrameRectEx(&c.C, r, clNone, true));
  EXPECT_EQ(r.left, 3);  // shrunk although nothing was drawn
  EXPECT_FALSE(FillRectEx(&c.C, r, clNone));
  EXPECT_EQ(c.Count(RGB(255, 255, 255)), 400);
  RECT f{0, 0, 10, 10};
  Frame3D(&c.C, f, clBlack, clRed);
  EXPECT_EQ(c.At(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(c.At(9, 5), RGB(255, 0, 0));
  EXPECT_EQ(c.At(5, 9), RGB(255, 0, 0));
  EXPECT_EQ(f.left, 1);
  EXPECT_EQ(f.right, 9);

  // An image list with one red square; the helpers tint only its pixels.
  auto il = std::make_unique<TImageList>(nullptr);
  il->SetWidth(8);
  il->SetHeight(8);
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetSize(8, 8);
  RECT all{0, 0, 8, 8};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  FillRect(bmp->Canvas()->GetHandle(), &all, red);
  DeleteObject(red);
  il->Add(bmp.get(), nullptr);
  MemCanvas ic(10, 10, RGB(255, 255, 255));
  HighlightSkinIcon(&ic.C, RECT{0, 0, 8, 8}, il.get(), 0, clBlack, 128);
  COLORREF px = ic.At(3, 3);
  EXPECT_NEAR(GetRValue(px), 127, 2);  // half red over black
  EXPECT_EQ(GetGValue(px), 0);
  EXPECT_EQ(ic.At(9, 9), RGB(255, 255, 255));  // outside the image untouched
  EXPECT_THROW(DrawSkinIconShadow(&ic.C, RECT{0, 0, 8, 8}, il.get(), 0, 3), ESkinAssertion);
  ic.Fill(RGB(200, 200, 200));
  DrawSkinIconShadow(&ic.C, RECT{0, 0, 8, 8}, il.get(), 0, 0);
  px = ic.At(3, 3);
  EXPECT_LT(GetRValue(px), 200);  // the background darkened
  EXPECT_EQ(GetRValue(px), GetGValue(px));
}

TEST(SkinPopups, OverlappingThemesPlacePopupsOnTheItemEdge) {
  InitSkin();
  if (!IsSkinThemeAvailable(L"Overlap")) RegisterSkinTheme(L"Overlap", &MakeOverlap);
  SkinSetTheme(L"Overlap");
  auto* item = new TSkinItem(nullptr);
  std::unique_ptr<TSkinItem> own(item);
  TBarPopupPositionRec rec;
  rec.PositionAsSubmenu = false;
  rec.ParentItemRect = RECT{100, 100, 140, 120};
  rec.MonitorRect = RECT{0, 0, 1000, 800};
  rec.X = 100;
  rec.Y = 120;  // just below the item
  rec.W = 200;
  rec.H = 150;
  rec.NCSizeX = rec.NCSizeY = 3;
  item->GetPopupPosition(nullptr, nullptr, rec);
  EXPECT_EQ(rec.Y, 119);  // overlaps the item's last row
  EXPECT_EQ(rec.W, 200);
  EXPECT_EQ(rec.H, 150);
  EXPECT_EQ(rec.NCSizeX, 0);
  EXPECT_TRUE(rec.PlayPopupSound);
  SkinSetTheme(L"Default");
}

TEST(SkinDocks, BackgroundAndEffectiveColour) {
  InitSkin();
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetColor(0x00102030);
  auto* d = new TSkinDock(f.get());
  EXPECT_EQ(d->GetEffectiveColorOf(), clBtnFace);  // no parent yet
  d->SetParent(f.get());
  EXPECT_EQ(GetEffectiveColor(d), 0x00102030);
  EXPECT_EQ(d->ThemedBackground(), USE_THEMES);
  d->SetColor(clRed);
  EXPECT_FALSE(d->ThemedBackground());
  EXPECT_EQ(GetEffectiveColor(d), clRed);
  d->SetColor(clNone);
  EXPECT_EQ(d->UsingBackground(), USE_THEMES);
  d->SetUseParentBackground(true);
  EXPECT_TRUE(d->UsingBackground());
}

// An MDI parent form (the application's main form, made one for this
// test): its client size is its MDI client's, what its aligned controls
// leave, and it counts as button face whatever its colour.
TEST(SkinUtilsMDI, AnMDIFormsClientSizeIsItsMDIClientsAndItsColourButtonFace) {
  TCustomForm* frame = Application->MainForm();
  const TColor color = frame->GetColor();
  frame->SetFormStyle(fsMDIForm);
  frame->SetBounds(40, 40, 400, 300);
  auto* top = new TPanel(frame);
  top->SetHeight(40);
  top->SetAlign(alTop);
  top->SetParent(frame);
  frame->Show();
  frame->SetColor(0x00102030);
  ASSERT_NE(frame->ClientHandle(), nullptr);
  SIZE s{};
  GetClientSizeEx(frame, s);
  RECT r;
  GetWindowRect(frame->ClientHandle(), &r);
  EXPECT_EQ(s.cx, r.right - r.left);
  EXPECT_EQ(s.cy, r.bottom - r.top);
  EXPECT_LE(s.cy, frame->GetClientHeight() - 40);
  EXPECT_EQ(GetEffectiveColor(frame), clBtnFace);
  // Being designed, an MDI form measures its own client area.
  frame->SetDesigning(true, false);
  GetClientSizeEx(frame, s);
  RECT cr;
  GetClientRect(frame->GetHandle(), &cr);
  EXPECT_EQ(s.cx, cr.right);
  EXPECT_EQ(s.cy, cr.bottom);
  EXPECT_GT(s.cy, r.bottom - r.top);
  frame->SetDesigning(false, false);
  // A plain form: its own client size and colour.
  delete top;
  frame->Hide();
  frame->SetFormStyle(fsNormal);
  GetClientSizeEx(frame, s);
  EXPECT_EQ(s.cx, frame->GetClientWidth());
  EXPECT_EQ(s.cy, frame->GetClientHeight());
  EXPECT_EQ(GetEffectiveColor(frame), 0x00102030);
  frame->SetColor(color);
}

TEST(SkinItems, VisibilityToggleFollowsItsControl) {
  std::unique_ptr<TForm> f(new TForm(Application));
  auto* p = new TPanel(f.get());
  p->SetParent(f.get());
  p->SetText(L"Panel");
  auto* t = new TSkinVisibilityToggleItem(f.get());
  t->SetControl(p);
  EXPECT_EQ(t->GetCaption(), L"Panel");
  EXPECT_TRUE(t->GetChecked());
  t->Click();
  EXPECT_FALSE(p->GetVisible());
  t->InitiateAction();
  EXPECT_FALSE(t->GetChecked());

  // An action linked to the item is updated by the same call.
  auto* act = new TAction(f.get());
  int updates = 0;
  act->OnUpdate = [&](TObject*) {
    ++updates;
    act->SetEnabled(false);
  };
  t->SetAction(act);
  EXPECT_TRUE(t->GetEnabled());
  t->InitiateAction();
  EXPECT_EQ(updates, 1);
  EXPECT_FALSE(t->GetEnabled());
  t->SetAction(nullptr);

  // With no control it is unchecked at once: set to none, or its control freed.
  p->SetVisible(true);
  t->InitiateAction();
  ASSERT_TRUE(t->GetChecked());
  t->SetControl(nullptr);
  EXPECT_FALSE(t->GetChecked());
  t->SetControl(p);
  ASSERT_TRUE(t->GetChecked());
  delete p;
  EXPECT_EQ(t->GetControl(), nullptr);
  EXPECT_FALSE(t->GetChecked());
}

namespace {
// Which way an arrow drawn in Ink inside C (its 3-pixel edge left out)
// points: the end of its run where the ink is narrowest. 'u', 'd', 'l', 'r'
// or '?'.
char ArrowWay(MemCanvas& C, COLORREF Ink) {
  auto count = [&](bool Rows, int I) {
    int n = 0;
    for (int j = 3; j < (Rows ? C.W : C.H) - 3; ++j)
      if (C.At(Rows ? j : I, Rows ? I : j) == Ink) ++n;
    return n;
  };
  auto ends = [&](bool Rows, int& First, int& Last) {
    First = Last = -1;
    for (int i = 3; i < (Rows ? C.H : C.W) - 3; ++i)
      if (count(Rows, i)) {
        if (First < 0) First = i;
        Last = i;
      }
  };
  int t, b, l, r;
  ends(true, t, b);
  ends(false, l, r);
  if (t < 0) return '?';
  const bool taller = b - t > r - l;  // a horizontal arrow runs across
  if (!taller && count(true, t) < count(true, b)) return 'u';
  if (!taller && count(true, t) > count(true, b)) return 'd';
  if (taller && count(false, l) < count(false, r)) return 'l';
  if (taller && count(false, l) > count(false, r)) return 'r';
  return '?';
}
}  // namespace

// Page-scroll buttons point their arrows the way they scroll, classic or
// styled (the styled run of these tests takes the other branch).
TEST(SkinDefaultFrames, PageScrollButtonsPointWhereTheyScroll) {
  InitSkin();
  TSkinTheme* t = CurrentSkinTheme();
  const COLORREF ink = ColorToRef(clBtnText);
  for (int forbid : {0, 1}) {
    if (forbid) SetSkinSysParam(2, 1);
    std::string ways;
    for (int kind = 1; kind <= 4; ++kind) {
      MemCanvas s(24, 24, RGB(255, 0, 255));
      t->PaintPageScrollButton(&s.C, RECT{0, 0, 24, 24}, kind, true);
      ways += ArrowWay(s, ink);
    }
    EXPECT_EQ(ways, "udlr") << forbid;
    if (forbid) SetSkinSysParam(2, 0);
  }
}

TEST(SkinDefaultFrames, RadioGlyphShowsItsDotAndState) {
  InitSkin();
  TSkinTheme* t = CurrentSkinTheme();
  auto paint = [&](int State, MemCanvas& S) { t->PaintGlyph(&S.C, RECT{0, 0, 13, 13}, 2, State); };
  {
    // Whatever the manner, a checked radio differs from an unchecked one.
    MemCanvas off(13, 13, RGB(255, 0, 255)), on(13, 13, RGB(255, 0, 255));
    paint(0, off);
    paint(1, on);
    EXPECT_NE(off.At(6, 6), on.At(6, 6));
  }
  SetSkinSysParam(2, 1);
  MemCanvas off(13, 13, RGB(255, 0, 255)), on(13, 13, RGB(255, 0, 255)), dis(13, 13, RGB(255, 0, 255)),
      hot(13, 13, RGB(255, 0, 255));
  paint(0, off);
  paint(1, on);
  paint(4, dis);
  paint(1 | 8, hot);
  SetSkinSysParam(2, 0);
  EXPECT_EQ(off.At(6, 6), ColorToRef(clWindow));
  EXPECT_EQ(on.At(6, 6), ColorToRef(clBtnText));  // the dot
  EXPECT_EQ(dis.At(6, 6), ColorToRef(clBtnFace));
  EXPECT_EQ(off.At(0, 0), RGB(255, 0, 255));      // round: the corner stays
  EXPECT_NE(hot.At(6, 6), ColorToRef(clWindow));  // hot: the system's checked radio
}

// The classic floating frame's close button sits in the caption colour,
// the gradient's end colour when captions are gradients.
TEST(SkinDefaultFrames, FloatingCloseButtonTakesTheCaptionsColour) {
  InitSkin();
  TSkinTheme* t = CurrentSkinTheme();
  BOOL was = FALSE;
  SystemParametersInfoW(SPI_GETGRADIENTCAPTIONS, 0, &was, 0);
  SetSkinSysParam(2, 1);
  TSkinWindowInfo W;
  W.ViewType = VT_TOOLBARBAR | VT_FLOATING;
  W.ShowCaption = true;
  W.FloatingBorderSize = POINT{3, 3};
  W.ClientWidth = 100;
  W.ClientHeight = 30;
  W.CloseButtonState = 1;
  W.RedrawPart = 7;
  W.Caption = L"Tools";
  W.Active = true;
  RECT K;
  GetSkinCloseButtonRect(W, true, K);
  auto ring = [&](BOOL Gradient, int State) {
    SystemParametersInfoW(SPI_SETGRADIENTCAPTIONS, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(Gradient)), 0);
    W.CloseButtonState = State;
    MemCanvas s(106, 30 + 3 * 2 + GetSystemMetrics(SM_CYSMCAPTION) + 2, RGB(255, 0, 255));
    t->PaintFloatingBorder(&s.C, RECT{0, 0, s.W, s.H}, W);
    return std::make_pair(s.At(K.left, (K.top + K.bottom) / 2), s.At((K.left + K.right) / 2, K.top + 3));
  };
  auto plain = ring(FALSE, 1), grad = ring(TRUE, 1), pushed = ring(TRUE, 1 | 4);
  SystemParametersInfoW(SPI_SETGRADIENTCAPTIONS, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(was)), 0);
  SetSkinSysParam(2, 0);
  EXPECT_EQ(plain.first, GetSysColor(COLOR_ACTIVECAPTION));
  EXPECT_EQ(grad.first, GetSysColor(COLOR_GRADIENTACTIVECAPTION));
  EXPECT_NE(grad.second, grad.first);    // the button inside the ring
  EXPECT_NE(pushed.second, grad.second);  // drawn pushed
}

// Shadowed text and the shadow label: the shadow's offset and colour, the
// engraved look of a disabled label, auto-sizing with margins and shadow,
// vertical layout, focus framing, accelerators and mouse tracking.
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "testsupport/Input.h"
#include "extlib/ExCtlLabel.h"
#include "extlib/tests/FormStream.h"

using namespace testsupport;

namespace {

class GuiEnv : public GuiEnvironment {};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnv);

// A memory context with a white background and a bold font, so that text
// pixels are easy to find.
struct Surface {
  TBitmap bmp;
  TFont font;
  Surface(int w = 120, int h = 40) : bmp(w, h) {
    bmp.Canvas()->Brush()->SetColor(clWhite);
    bmp.Canvas()->FillRect(TRect{0, 0, w, h});
    font.SetName(L"Tahoma");
    font.SetSize(14);
    font.SetStyle(TFontStyles{fsBold});
  }
  HDC dc() { return bmp.Canvas()->GetHandle(); }
  COLORREF At(int x, int y) { return GetPixel(dc(), x, y) & 0xFFFFFF; }
  // Bounding box of the pixels of one colour.
  TRect Box(COLORREF c) {
    TRect r{10000, 10000, -1, -1};
    for (int y = 0; y < bmp.GetHeight(); ++y)
      for (int x = 0; x < bmp.GetWidth(); ++x)
        if (At(x, y) == c) {
          r.left = std::min<LONG>(r.left, x);
          r.top = std::min<LONG>(r.top, y);
          r.right = std::max<LONG>(r.right, x + 1);
          r.bottom = std::max<LONG>(r.bottom, y + 1);
        }
    return r;
  }
};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

TEST(ShadowText, ShadowIsOffsetTowardsItsPositionAndRectIsTheUnion) {
  struct Case {
    TShadowPosition pos;
    int dx, dy;
  } cases[] = {{spLeftTop, -3, -3}, {spLeftBottom, -3, 3}, {spRightBottom, 3, 3}, {spRightTop, 3, -3}};
  for (const Case& c : cases) {
    Surface s;
    HDC dc = s.dc();
    HGDIOBJ old = SelectObject(dc, s.font.GetHandle());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kBlue);
    RECT r{20, 10, 110, 40};
    int h = DrawShadowText(dc, L"I", -1, r, DT_SINGLELINE | DT_NOCLIP, 3, kRed, c.pos);
    // The context's text colour is left as it was.
    EXPECT_EQ(GetTextColor(dc), kBlue);
    SelectObject(dc, old);
    TRect red = s.Box(kRed), blue = s.Box(kBlue);
    ASSERT_GE(blue.right, 0) << c.pos;
    ASSERT_GE(red.right, 0) << c.pos;
    // The glyph is drawn twice: red pixels not covered by blue sit on the
    // shadow's side.
    if (c.dx < 0) EXPECT_LT(red.left, blue.left) << c.pos;
    else EXPECT_GT(red.right, blue.right) << c.pos;
    if (c.dy < 0) EXPECT_LT(red.top, blue.top) << c.pos;
    else EXPECT_GT(red.bottom, blue.bottom) << c.pos;
    // Height: the text's plus the shadow size.
    TEXTMETRICW tm;
    SelectObject(dc, s.font.GetHandle());
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    EXPECT_EQ(h, tm.tmHeight + 3) << c.pos;
    // The union of the plain and the shifted rectangle.
    EXPECT_EQ(r.left, 20 + std::min(c.dx, 0)) << c.pos;
    EXPECT_EQ(r.top, 10 + std::min(c.dy, 0)) << c.pos;
    EXPECT_EQ(r.right, 110 + std::max(c.dx, 0)) << c.pos;
    EXPECT_EQ(r.bottom, 40 + std::max(c.dy, 0)) << c.pos;
  }
}

TEST(ShadowText, MeasuringDrawsNothingAndKeepsTheWideFlags) {
  Surface s;
  HDC dc = s.dc();
  HGDIOBJ old = SelectObject(dc, s.font.GetHandle());
  RECT r{0, 0, 0, 0};
  int h = DrawShadowText(dc, L"Wide text", -1, r, DT_CALCRECT | DT_SINGLELINE, 2, kRed, spRightBottom);
  EXPECT_GT(h, 2);
  EXPECT_GT(r.right, 20);
  EXPECT_EQ(s.Box(kRed).right, -1);
  // Right-to-left reading survives (the format is not cut to 16 bits).
  RECT r2{0, 0, 0, 0};
  DrawShadowText(dc, L"Wide text", -1, r2, DT_CALCRECT | DT_SINGLELINE | DT_RTLREADING, 2, kRed, spRightBottom);
  EXPECT_EQ(r2.right, r.right);
  SelectObject(dc, old);
}

// A form holding one shadow label.
struct LabelHost {
  std::unique_ptr<TForm> form;
  TExtLabel* label = nullptr;
  LabelHost() {
    form.reset(new TForm(Application));
    form->SetBorderStyle(bsNone);
    form->SetBounds(30, 30, 300, 120);
    form->SetColor(clWhite);
    label = new TExtLabel(form.get());
    label->SetParent(form.get());
    label->SetLeft(10);
    label->SetTop(10);
    label->SetColor(clWhite);
    label->Font()->SetName(L"Tahoma");
    label->Font()->SetSize(14);
    label->Font()->SetStyle(TFontStyles{fsBold});
    label->Font()->SetColor(clBlack);
    form->Show();
    Pump(30);
  }
  // An edit on the form, below the label, at Top.
  TEdit* AddEdit(int Top = 60) {
    auto* e = new TEdit(form.get());
    e->SetParent(form.get());
    e->SetBounds(10, Top, 100, 22);
    return e;
  }
  // Paints the label into a bitmap of its size.
  std::unique_ptr<Surface> Shot() {
    auto s = std::make_unique<Surface>(label->GetWidth(), label->GetHeight());
    HDC dc = s->dc();
    label->Canvas()->SetHandle(dc);
    label->Perform(WM_PAINT, WPARAM(dc), 0);
    label->Canvas()->SetHandle(nullptr);
    return s;
  }
};

TEST(ShadowLabel, DefaultsAndAutoSizeIncludeMarginsAndShadow) {
  LabelHost h;
  TExtLabel* l = h.label;
  EXPECT_TRUE(l->GetAutoSize());
  EXPECT_EQ(l->GetShadowSize(), 1);
  EXPECT_EQ(l->GetShadowPos(), spLeftTop);
  EXPECT_EQ(l->GetShadowColor(), clBtnHighlight);
  EXPECT_FALSE(l->GetTransparent());
  l->SetCaption(L"Shadow");
  int w0 = l->GetWidth();
  int h0 = l->GetHeight();
  EXPECT_GT(w0, 30);
  EXPECT_GT(h0, 10);
  l->SetLeftMargin(5);
  l->SetRightMargin(7);
  EXPECT_EQ(l->GetWidth(), w0 + 12);
  l->SetLeftMargin(-4);  // never below zero
  EXPECT_EQ(l->GetLeftMargin(), 0);
  EXPECT_EQ(l->GetWidth(), w0 + 7);
  l->SetRightMargin(0);
  // A shadow to the bottom right widens and heightens the measured text.
  l->SetShadowPos(spRightBottom);
  l->SetShadowSize(4);
  EXPECT_EQ(l->GetWidth(), w0 + 4);
  EXPECT_EQ(l->GetHeight(), h0 + 4);
  // A right-justified label keeps its right edge.
  l->SetShadowSize(1);
  l->SetAlignment(taRightJustify);
  int right = l->GetLeft() + l->GetWidth();
  l->SetCaption(L"Shadow label longer");
  EXPECT_EQ(l->GetLeft() + l->GetWidth(), right);
  EXPECT_LT(l->GetLeft(), 10);
}

// An auto-sized label is its caption's size from the start and whatever
// bounds it is given, so a form writes the size it reads back; the shadow's
// side counts in that size.
TEST(ShadowLabel, AutoSizedLabelKeepsItsCaptionsSize) {
  LabelHost h;
  auto* fresh = new TExtLabel(h.form.get());
  fresh->SetParent(h.form.get());
  const int w = fresh->GetWidth(), ht = fresh->GetHeight();
  EXPECT_LT(w, 65);
  EXPECT_LT(ht, 17);
  fresh->SetBounds(5, 6, 200, 50);
  EXPECT_EQ(fresh->GetLeft(), 5);
  EXPECT_EQ(fresh->GetWidth(), w);
  EXPECT_EQ(fresh->GetHeight(), ht);
  fresh->SetShadowPos(spLeftBottom);  // the shadow now hangs below the text
  EXPECT_EQ(fresh->GetHeight(), ht + 1);
  fresh->SetAutoSize(false);
  fresh->SetWidth(200);
  EXPECT_EQ(fresh->GetWidth(), 200);
}

TEST(ShadowLabel, LoneAmpersandAndEmptyCaptionKeepOneCharacterWidth) {
  LabelHost h;
  TExtLabel* l = h.label;
  l->SetShadowSize(0);
  l->SetCaption(L"&");
  int amp = l->GetWidth();
  EXPECT_GT(amp, 2);
  l->SetCaption(L"");
  EXPECT_EQ(l->GetWidth(), amp);
  EXPECT_GT(l->GetHeight(), 5);
  // Without accelerators the ampersand is a character of its own.
  l->SetShowAccelChar(false);
  l->SetCaption(L"&");
  EXPECT_GT(l->GetWidth(), 2);
}

TEST(ShadowLabel, PaintsShadowThenTextAndEngravesWhenDisabled) {
  LabelHost h;
  TExtLabel* l = h.label;
  l->SetCaption(L"III");
  l->SetShadowColor(TColor(kRed));
  l->SetShadowPos(spRightBottom);
  l->SetShadowSize(2);
  auto s = h.Shot();
  TRect black = s->Box(RGB(0, 0, 0)), red = s->Box(kRed);
  ASSERT_GE(black.right, 0);
  ASSERT_GE(red.right, 0);
  EXPECT_EQ(red.right - black.right, 2);
  EXPECT_EQ(red.bottom - black.bottom, 2);

  // Disabled without a shadow: gray text with a one-pixel highlight to the
  // bottom right.
  l->SetShadowSize(0);
  l->SetEnabled(false);
  s = h.Shot();
  COLORREF gray = ColorToRef(clGrayText), hi = ColorToRef(clBtnHighlight);
  ASSERT_NE(gray, hi);
  TRect g = s->Box(gray), w = s->Box(hi);
  ASSERT_GE(g.right, 0);
  EXPECT_EQ(s->Box(RGB(0, 0, 0)).right, -1);
  EXPECT_EQ(s->Box(kRed).right, -1);
  (void)w;
  // The highlight shows right of the gray strokes.
  int found = 0;
  for (int y = g.top; y < g.bottom; ++y)
    for (int x = g.left; x < g.right; ++x)
      if (s->At(x, y) == gray && s->At(x + 1, y + 1) != gray) found += s->At(x + 1, y + 1) == hi || s->At(x + 1, y + 1) == RGB(255, 255, 255);
  EXPECT_GT(found, 0);
}

TEST(ShadowLabel, LayoutMovesTextDownAndTransparencyKeepsBackground) {
  LabelHost h;
  TExtLabel* l = h.label;
  l->SetCaption(L"Mid");
  l->SetShadowSize(0);
  l->SetAutoSize(false);
  l->SetHeight(80);
  auto top = h.Shot()->Box(RGB(0, 0, 0));
  l->SetLayout(tlCenter);
  auto mid = h.Shot()->Box(RGB(0, 0, 0));
  l->SetLayout(tlBottom);
  auto bottom = h.Shot()->Box(RGB(0, 0, 0));
  EXPECT_LT(top.top, mid.top);
  EXPECT_LT(mid.top, bottom.top);
  EXPECT_NEAR(mid.top - top.top, (bottom.top - top.top) / 2, 1);
  EXPECT_GE(bottom.bottom, 70);

  // Opaque: the label fills with its colour; transparent: it leaves the
  // background alone.
  l->SetColor(clLime);
  auto s = h.Shot();
  EXPECT_EQ(s->At(0, 0), RGB(0, 255, 0));
  l->SetTransparent(true);
  EXPECT_TRUE(l->GetTransparent());
  EXPECT_FALSE(l->ControlStyle.Contains(csOpaque));
  s = h.Shot();
  EXPECT_EQ(s->At(0, 0), RGB(255, 255, 255));
}

TEST(ShadowLabel, FocusFrameAcceleratorAndFocusControlRemoval) {
  LabelHost h;
  TExtLabel* l = h.label;
  TEdit* edit = h.AddEdit(60);
  l->SetCaption(L"&Name");
  l->SetFocusControl(edit);
  l->SetShowFocus(true);
  // Focus changes name the newly focused control.
  l->Perform(CM_FOCUSCHANGED, 0, LPARAM(edit));
  EXPECT_TRUE(l->FocusShown());
  l->Perform(CM_FOCUSCHANGED, 0, LPARAM(h.form.get()));
  EXPECT_FALSE(l->FocusShown());
  l->Perform(CM_FOCUSCHANGED, 0, LPARAM(edit));

  // The accelerator focuses the edit; another key is not handled.
  EXPECT_EQ(l->Perform(CM_DIALOGCHAR, L'x', 0), 0);
  EXPECT_EQ(l->Perform(CM_DIALOGCHAR, L'n', 0), 1);
  Pump(20);
  EXPECT_TRUE(edit->Focused());
  l->SetShowAccelChar(false);
  EXPECT_EQ(l->Perform(CM_DIALOGCHAR, L'n', 0), 0);
  l->SetShowAccelChar(true);
  l->SetEnabled(false);
  EXPECT_EQ(l->Perform(CM_DIALOGCHAR, L'n', 0), 0);
  l->SetEnabled(true);

  // Freeing the focus control clears the reference and the frame.
  delete edit;
  EXPECT_EQ(l->GetFocusControl(), nullptr);
  EXPECT_FALSE(l->FocusShown());
  EXPECT_EQ(l->Perform(CM_DIALOGCHAR, L'n', 0), 0);
  h.Shot();  // paints without the focus control
}

TEST(ShadowLabel, MouseEnterAndLeaveFollowTheNoticesAndAHeldButton) {
  LabelHost h;
  TExtLabel* l = h.label;
  l->SetCaption(L"Hover");
  SetForegroundWindow(h.form->GetHandle());
  Pump(30);
  if (!IsWindow(GetForegroundWindow())) GTEST_SKIP() << "no foreground window";
  int enter = 0, leave = 0;
  struct Counter : TObject {
    int* e;
    int* l;
    void Enter(TObject*) { ++*e; }
    void Leave(TObject*) { ++*l; }
  } counter;
  counter.e = &enter;
  counter.l = &leave;
  l->OnMouseEnter = TNotifyEvent(&counter, &Counter::Enter);
  l->OnMouseLeave = TNotifyEvent(&counter, &Counter::Leave);
  l->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(l->MouseInside());
  EXPECT_EQ(enter, 1);
  l->Perform(CM_MOUSEENTER, 0, 0);  // no second notice while inside
  EXPECT_EQ(enter, 1);
  // While the left button is held on the label, leaving is ignored.
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  l->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(l->MouseInside());
  EXPECT_EQ(leave, 0);
  // The release recomputes from the cursor: move it far away first.
  MoveMouse(POINT{1, 1});
  l->Perform(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  if (GetCapture()) ReleaseCapture();
  EXPECT_FALSE(l->MouseInside());
  EXPECT_EQ(leave, 1);
  // A disabled label does not take the mouse.
  l->SetEnabled(false);
  l->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_FALSE(l->MouseInside());
  EXPECT_EQ(enter, 1);
  l->OnMouseEnter = TNotifyEvent();
  l->OnMouseLeave = TNotifyEvent();
}

}  // namespace

TEST(ShadowLabel, FocusFrameFollowsTheRealFocus) {
  LabelHost h;
  TExtLabel* l = h.label;
  TEdit* first = h.AddEdit(60);
  TEdit* second = h.AddEdit(90);
  l->SetFocusControl(first);
  l->SetShowFocus(true);
  second->SetFocus();
  EXPECT_TRUE(PumpUntil([&] { return second->Focused(); }, 10000));
  EXPECT_FALSE(l->FocusShown());
  // Tab moves the focus to the labelled edit: the frame shows; a move away
  // takes it off.
  SetForegroundWindow(h.form->GetHandle());
  testsupport::PressKey(VK_TAB);
  PumpUntil([&] { return first->Focused(); }, 10000);
  if (!first->Focused()) first->SetFocus();  // no keyboard input here: a direct move
  EXPECT_TRUE(PumpUntil([&] { return l->FocusShown(); }, 10000));
  second->SetFocus();
  EXPECT_TRUE(PumpUntil([&] { return !l->FocusShown(); }, 10000));
}

TEST(ShadowLabel, PublishedPropertiesTravelInTheFormStreamAndFindTheirFocusControl) {
  using namespace formstream;
  // Each form: a label and after it the edit it labels.
  auto Make = [](const wchar_t* FormName) {
    auto F = NewForm(FormName);
    Place<TExtLabel>(F.get(), L"Title");
    Place<TEdit>(F.get(), L"Target");
    return F;
  };
  auto Label = [](TForm* F) { return dynamic_cast<TExtLabel*>(F->FindComponent(L"Title")); };
  TMemoryStream S;
  auto Plain = Make(L"PlainLabels");
  Label(Plain.get())->SetLeftMargin(4);  // the margins are not published
  Write(Plain.get(), S);
  for (const char* Name : {"Alignment", "AutoSize", "Caption", "FocusControl", "ShadowSize", "ShowAccelChar", "Margin"})
    EXPECT_FALSE(Holds(S, Name)) << Name;

  auto Source = Make(L"SetLabels");
  TExtLabel* L = Label(Source.get());
  L->SetText(L"&Name:");
  L->SetFocusControl(dynamic_cast<TWinControl*>(Source->FindComponent(L"Target")));
  L->SetLayout(tlCenter);
  L->SetShadowSize(0);
  L->SetShadowPos(spRightBottom);
  L->SetShowAccelChar(false);
  L->SetTransparent(true);
  L->SetAutoSize(false);
  L->SetAlignment(taRightJustify);
  L->SetShadowColor(clRed);
  L->SetShowFocus(true);
  L->SetWordWrap(true);
  L->SetAlign(alTop);
  L->SetParentFont(false);
  L->GetFont()->SetHeight(-20);
  L->SetColor(clYellow);
  L->SetEnabled(false);
  L->SetParentShowHint(false);
  L->SetShowHint(true);
  L->SetVisible(false);
  auto Copy = Make(L"ReadLabels");
  L->OnMouseEnter = Offer<TNotifyEvent>(L"TitleEnter", {Source.get(), Copy.get()});
  L->OnMouseLeave = Offer<TNotifyEvent>(L"TitleLeave", {Source.get(), Copy.get()});
  L->OnClick = Offer<TNotifyEvent>(L"TitleClick", {Source.get(), Copy.get()});
  ExpectRoundTrip(Source.get(), Copy.get(), S);
  ExpectStored(S, {"Align", "Alignment", "AutoSize", "Caption", "Color", "Enabled", "FocusControl", "Font.Height",
                   "Layout", "ParentFont", "ParentShowHint", "ShadowColor", "ShadowSize", "ShadowPos",
                   "ShowAccelChar", "ShowFocus", "ShowHint", "Transparent", "Visible", "WordWrap", "OnMouseEnter",
                   "OnMouseLeave", "OnClick"});
  EXPECT_EQ(Label(Copy.get())->GetFocusControl(), Copy->FindComponent(L"Target"));  // read before the edit
  EXPECT_EQ(Label(Copy.get())->OnMouseLeave, L->OnMouseLeave);
}

// In the designer the label shows no focus frame and keeps its pressed
// flag when it is disabled.
TEST(ShadowLabel, DesignedLabelDrawsNoFocusFrameAndKeepsItsPress) {
  LabelHost h;
  TExtLabel* l = h.label;
  TEdit* edit = h.AddEdit(60);
  l->SetCaption(L"Name");
  l->SetFocusControl(edit);
  l->Perform(CM_FOCUSCHANGED, 0, LPARAM(edit));
  auto Pixels = [&] {
    auto s = h.Shot();
    std::vector<COLORREF> P;
    for (int y = 0; y < l->GetHeight(); ++y)
      for (int x = 0; x < l->GetWidth(); ++x) P.push_back(s->At(x, y));
    return P;
  };
  const auto Plain = Pixels();
  l->SetShowFocus(true);
  EXPECT_NE(Pixels(), Plain);  // the frame
  h.form->SetDesigning(true);
  EXPECT_EQ(Pixels(), Plain);

  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  l->SetEnabled(false);
  h.Shot();
  EXPECT_TRUE(l->Pressed());
  h.form->SetDesigning(false);
  h.Shot();
  EXPECT_FALSE(l->Pressed());
  l->Perform(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  if (GetCapture()) ReleaseCapture();
}

// Right-to-left alignment swaps the sides the text keeps to; right-to-left
// reading orders the text from the right (a closing full stop goes first).
TEST(ShadowLabel, RightToLeftAlignmentAndReading) {
  LabelHost h;
  TExtLabel* l = h.label;
  l->SetShadowSize(0);
  l->SetCaption(L"ab.");
  l->SetAutoSize(false);
  l->SetWidth(200);
  auto Ink = [&] { return h.Shot()->Box(RGB(0, 0, 0)); };
  const TRect LeftToRight = Ink();
  ASSERT_LT(LeftToRight.left, 10);
  l->SetBiDiMode(bdRightToLeft);
  const TRect Swapped = Ink();
  EXPECT_GT(Swapped.left, 150);
  EXPECT_NEAR(Swapped.right - Swapped.left, LeftToRight.right - LeftToRight.left, 1);
  l->SetAlignment(taRightJustify);  // swapped back to the left
  EXPECT_LT(Ink().left, 10);

  // Reading order alone: the same letters drawn as ".ab" from the left.
  l->SetAlignment(taLeftJustify);
  l->SetBiDiMode(bdRightToLeftReadingOnly);
  auto Read = h.Shot();
  l->SetBiDiMode(bdLeftToRight);
  l->SetCaption(L".ab");
  auto Written = h.Shot();
  for (int y = 0; y < l->GetHeight(); ++y)
    for (int x = 0; x < l->GetWidth(); ++x) ASSERT_EQ(Read->At(x, y), Written->At(x, y)) << x << "," << y;

  // Auto-sized, a label drawn at the right keeps its right edge.
  l->SetCaption(L"Wide caption");
  l->SetBiDiMode(bdRightToLeft);
  l->SetWidth(200);
  const int Right = l->GetLeft() + l->GetWidth();
  l->SetAutoSize(true);
  EXPECT_LT(l->GetWidth(), 200);
  EXPECT_EQ(l->GetLeft() + l->GetWidth(), Right);
}

// The extended speed button on a real form: press and release through the
// mouse messages, groups with one button down, the modal result, the repeat
// timer, accelerators and the painted frames.
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "classlib/Actions.h"
#include "classlib/ImgList.h"
#include "extlib/ExCtlSpeedButton.h"
#include "extlib/tests/FormStream.h"
#include "testsupport/Input.h"
#include "testsupport/LoopScript.h"
#include "toolbars/BarItems.h"
#include "toolbars/BarPopup.h"

using namespace testsupport;

namespace {

struct Clicks : TObject {
  int n = 0;
  void On(TObject*) { ++n; }
};

struct ButtonHost {
  std::unique_ptr<TForm> form;
  ButtonHost() {
    form.reset(new TForm(Application));
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, 300, 100);
    form->Show();
    Pump(20);
  }
  TExtSpeedButton* Add(int x, int group = 0) {
    auto* b = new TExtSpeedButton(form.get());
    b->SetParent(form.get());
    b->SetBounds(x, 10, 30, 30);
    b->SetGroupIndex(group);
    return b;
  }
};

void Press(TExtSpeedButton* b, int x = 5, int y = 5) { b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void Release(TExtSpeedButton* b, int x = 5, int y = 5) {
  b->Perform(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  if (GetCapture()) ReleaseCapture();
}

TEST(SpeedButton, DefaultsAndPressReleaseClicksOnlyInside) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10);
  EXPECT_EQ(b->GetLayout(), blGlyphTop);
  EXPECT_EQ(b->GetSpacing(), 1);
  EXPECT_EQ(b->GetMargin(), -1);
  EXPECT_TRUE(b->GetShowHint());
  b->SetMargin(-7);
  EXPECT_EQ(b->GetMargin(), -1);
  Clicks c;
  b->OnClick = TNotifyEvent(&c, &Clicks::On);
  Press(b);
  EXPECT_EQ(b->GetState(), rbsDown);
  // Moving out and back in follows the pointer.
  b->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 5));
  EXPECT_EQ(b->GetState(), rbsUp);
  b->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(6, 6));
  EXPECT_EQ(b->GetState(), rbsDown);
  Release(b);
  EXPECT_EQ(b->GetState(), rbsUp);
  EXPECT_EQ(c.n, 1);
  // Released outside: no click.
  Press(b);
  Release(b, 200, 5);
  EXPECT_EQ(c.n, 1);
  // Disabled: no press.
  b->SetEnabled(false);
  Press(b);
  Release(b);
  EXPECT_EQ(c.n, 1);
  b->SetEnabled(true);
  // A programmatic click.
  b->ButtonClick();
  EXPECT_EQ(c.n, 2);
  EXPECT_EQ(b->GetState(), rbsUp);
  b->OnClick = TNotifyEvent();
}

TEST(SpeedButton, GroupKeepsOneDownAndRefusesReleasingTheLast) {
  ButtonHost h;
  TExtSpeedButton* a = h.Add(10, 1);
  TExtSpeedButton* b = h.Add(50, 1);
  TExtSpeedButton* other = h.Add(90, 2);
  TExtSpeedButton* plain = h.Add(130);
  plain->SetDown(true);  // no group: never down
  EXPECT_FALSE(plain->GetDown());
  a->SetDown(true);
  other->SetDown(true);
  EXPECT_EQ(a->GetState(), rbsExclusive);
  Press(b);
  Release(b);
  EXPECT_TRUE(b->GetDown());
  EXPECT_FALSE(a->GetDown());
  EXPECT_EQ(a->GetState(), rbsUp);
  EXPECT_TRUE(other->GetDown());  // another group
  // Leaving its group takes a down button up.
  other->SetGroupIndex(0);
  EXPECT_FALSE(other->GetDown());
  EXPECT_EQ(other->GetState(), rbsUp);
  // Clicking the down button again does not release it.
  Press(b);
  Release(b);
  EXPECT_TRUE(b->GetDown());
  EXPECT_EQ(b->GetState(), rbsExclusive);
  // AllowAllUp spreads through the group and allows it.
  a->SetAllowAllUp(true);
  EXPECT_TRUE(b->GetAllowAllUp());
  Press(b);
  Release(b);
  EXPECT_FALSE(b->GetDown());
  EXPECT_FALSE(a->GetDown());
}

TEST(SpeedButton, ClickSetsTheFormsModalResultAndAcceleratorClicks) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10);
  b->SetCaption(L"&Go");
  b->SetModalResult(mrOk);
  Clicks c;
  b->OnClick = TNotifyEvent(&c, &Clicks::On);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, L'x', 0), 0);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, L'g', 0), 1);
  EXPECT_EQ(c.n, 1);
  EXPECT_EQ(h.form->GetModalResult(), mrOk);
  h.form->SetModalResult(mrNone);
  b->SetEnabled(false);
  EXPECT_EQ(b->Perform(CM_DIALOGCHAR, L'g', 0), 0);
  b->OnClick = TNotifyEvent();
}

TEST(SpeedButton, RepeatTimerClicksWhileHeldAndStopsOnRelease) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10);
  b->SetAllowTimer(true);
  b->SetInitPause(30);
  b->SetRepeatInterval(20);
  Clicks c;
  b->OnClick = TNotifyEvent(&c, &Clicks::On);
  Press(b);
  ASSERT_NE(b->RepeatTimer(), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return c.n >= 3; }, 3000));
  EXPECT_EQ(b->RepeatTimer()->GetInterval(), 20u);
  Release(b);
  EXPECT_FALSE(b->RepeatTimer()->GetEnabled());
  int after = c.n;
  Pump(100);
  EXPECT_EQ(c.n, after);
  b->SetAllowTimer(false);
  EXPECT_EQ(b->RepeatTimer(), nullptr);
  b->OnClick = TNotifyEvent();
}

TEST(SpeedButton, AFailingRepeatedClickStopsTheRepeat) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10);
  b->SetAllowTimer(true);
  b->SetInitPause(20);
  struct Thrower : TObject {
    int n = 0;
    void On(TObject*) {
      ++n;
      throw Exception(L"repeat failed");
    }
  } t;
  b->OnClick = TNotifyEvent(&t, &Thrower::On);
  size_t shown = ShownExceptions().size();
  Press(b);
  EXPECT_TRUE(PumpUntil([&] { return t.n >= 1; }, 3000));
  Pump(100);
  EXPECT_EQ(t.n, 1);
  EXPECT_FALSE(b->RepeatTimer()->GetEnabled());
  EXPECT_GT(ShownExceptions().size(), shown);
  b->OnClick = TNotifyEvent();
  Release(b, 200, 200);
}

// The button painted into a bitmap.
COLORREF PixelOf(TExtSpeedButton* b, int x, int y) {
  TBitmap out(b->GetWidth(), b->GetHeight());
  HDC dc = out.Canvas()->GetHandle();
  b->Canvas()->SetHandle(dc);
  b->Perform(WM_PAINT, WPARAM(dc), 0);
  b->Canvas()->SetHandle(nullptr);
  return GetPixel(dc, x, y) & 0xFFFFFF;
}

TEST(SpeedButton, FramesFollowStateAndFlatLook) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10, 1);
  // Raised: highlight on the top-left, window frame on the bottom-right.
  EXPECT_EQ(PixelOf(b, 0, 0), ColorToRef(clBtnHighlight));
  EXPECT_EQ(PixelOf(b, 29, 29), ColorToRef(clWindowFrame));
  // Down: sunken, the other way round.
  b->SetDown(true);
  EXPECT_EQ(PixelOf(b, 0, 0), ColorToRef(clWindowFrame));
  EXPECT_EQ(PixelOf(b, 29, 29), ColorToRef(clBtnHighlight));
  b->SetAllowAllUp(true);
  b->SetDown(false);
  // Flat and the mouse away: no frame at all.
  b->SetFlat(true);
  EXPECT_EQ(PixelOf(b, 0, 0), ColorToRef(clBtnFace));
  EXPECT_EQ(PixelOf(b, 29, 29), ColorToRef(clBtnFace));
  // Older look, raised: a window-frame border all round.
  b->SetFlat(false);
  b->SetStyle(bsWin31);
  EXPECT_EQ(PixelOf(b, 0, 0), ColorToRef(clWindowFrame));
  EXPECT_EQ(PixelOf(b, 1, 1), ColorToRef(clBtnHighlight));
}

struct MenuSpy : TObject {
  int popups = 0;
  void On(TObject*) { ++popups; }
};

TEST(SpeedButton, DropDownMenuOpensOnPressOnlyWhenItPopsUpByItself) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10);
  auto* menu = new TPopupMenu(h.form.get());
  MenuSpy spy;
  menu->OnPopup = TNotifyEvent(&spy, &MenuSpy::On);
  b->SetDropDownMenu(menu);
  Clicks c;
  b->OnClick = TNotifyEvent(&c, &Clicks::On);
  // An automatic menu opens on the press; the press ends there, unclicked.
  Press(b);
  EXPECT_EQ(spy.popups, 1);
  EXPECT_EQ(menu->GetPopupComponent(), b);
  EXPECT_EQ(b->GetState(), rbsUp);
  Release(b);
  EXPECT_EQ(c.n, 0);
  b->ButtonClick();  // ignored while the menu pops up by itself
  EXPECT_EQ(c.n, 0);
  // A manual menu: the press clicks, the menu opens only when asked, below
  // the button's left edge.
  menu->SetAutoPopup(false);
  Press(b);
  Release(b);
  EXPECT_EQ(c.n, 1);
  EXPECT_EQ(spy.popups, 1);
  EXPECT_EQ(b->GetDropDownMenuPos().x, -1);
  EXPECT_EQ(b->GetDropDownMenuPos().y, 30);
  b->SetMenuPosition(dmpRight);
  EXPECT_EQ(b->GetDropDownMenuPos().x, 30);
  EXPECT_EQ(b->GetDropDownMenuPos().y, -1);
  // The menu's alignment moves the point to the edge the menu is aligned on.
  menu->SetAlignment(paRight);
  EXPECT_EQ(b->GetDropDownMenuPos(), (TPoint{-1, -1}));
  menu->SetAlignment(paCenter);
  EXPECT_EQ(b->GetDropDownMenuPos(), (TPoint{15, 30}));
  b->SetMenuPosition(dmpBottom);
  menu->SetAlignment(paRight);
  EXPECT_EQ(b->GetDropDownMenuPos(), (TPoint{31, 30}));
  EXPECT_TRUE(b->CheckBtnMenuDropDown());
  EXPECT_EQ(spy.popups, 2);
  // Freeing the menu clears the reference.
  delete menu;
  EXPECT_EQ(b->GetDropDownMenu(), nullptr);
  EXPECT_FALSE(b->CheckBtnMenuDropDown());
  b->OnClick = TNotifyEvent();
}

// On a designed form a flat button shows its frame with the mouse away, and
// its menu never drops down.
TEST(SpeedButton, DesignedFlatButtonShowsItsFrameAndDropsNoMenu) {
  ButtonHost h;
  h.form->SetDesigning(true);
  TExtSpeedButton* b = h.Add(10);
  b->SetFlat(true);
  EXPECT_EQ(PixelOf(b, 0, 0), ColorToRef(clBtnHighlight));
  EXPECT_EQ(PixelOf(b, 29, 29), ColorToRef(clBtnShadow));
  auto* menu = new TPopupMenu(h.form.get());
  MenuSpy spy;
  menu->OnPopup = TNotifyEvent(&spy, &MenuSpy::On);
  b->SetDropDownMenu(menu);
  EXPECT_FALSE(b->CheckBtnMenuDropDown());
  Press(b);
  Release(b);
  EXPECT_EQ(spy.popups, 0);
  EXPECT_EQ(menu->GetPopupComponent(), nullptr);
}

// The program's own pop-up menu dropped down from the button by a real
// press stands where the button's drop-down point says: the menu's one
// Alignment decides both the point and how the menu stands against it.
TEST(SpeedButton, BarMenuDropsDownAsItsAlignmentSays) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(120);
  auto* menu = new TBarPopupMenu(h.form.get());
  for (const wchar_t* caption : {L"Open", L"Save everything now", L"Close"}) {
    auto* item = new TBarItem(menu);
    item->SetCaption(caption);
    menu->Items()->Add(item);
  }
  b->SetDropDownMenu(menu);
  auto shownAt = [&](TPopupAlignment a) {
    menu->SetAlignment(a);
    RECT shown{};
    LoopScript script({[&] {
      EnumThreadWindows(
          GetCurrentThreadId(),
          [](HWND w, LPARAM p) -> BOOL {
            if (IsWindowVisible(w) && dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w)))
              GetWindowRect(w, reinterpret_cast<RECT*>(p));
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&shown));
      if (IsRectEmpty(&shown)) LoopScript::Current()->Again();
      else PostKey(VK_ESCAPE);
    }});
    const TPoint centre = b->ClientToScreen(TPoint{15, 15});
    Click(POINT{centre.x, centre.y});
    return shown;
  };
  const TPoint corner = b->ClientToScreen(TPoint{0, 0});
  RECT r = shownAt(paRight);
  ASSERT_GT(r.right - r.left, 30);
  EXPECT_EQ(r.right, corner.x + 31);  // right edge by the button's right edge
  EXPECT_EQ(r.top, corner.y + 30);
  r = shownAt(paCenter);
  EXPECT_LE(std::abs((r.left + r.right) / 2 - (corner.x + 15)), 1);  // centred under the button
  EXPECT_EQ(r.top, corner.y + 30);
  r = shownAt(paLeft);
  EXPECT_EQ(r.left, corner.x - 1);
}

TEST(SpeedButton, DropDownMarkIsDrawnInButtonTextColour) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10);
  auto* menu = new TPopupMenu(h.form.get());
  auto count = [&] {
    TBitmap out(b->GetWidth(), b->GetHeight());
    HDC dc = out.Canvas()->GetHandle();
    b->Canvas()->SetHandle(dc);
    b->Perform(WM_PAINT, WPARAM(dc), 0);
    b->Canvas()->SetHandle(nullptr);
    int n = 0;
    for (int y = 3; y < 27; ++y)
      for (int x = 3; x < 27; ++x) n += (GetPixel(dc, x, y) & 0xFFFFFF) == ColorToRef(clBtnText);
    return n;
  };
  EXPECT_EQ(count(), 0);
  b->SetDropDownMenu(menu);
  EXPECT_EQ(count(), 7 + 5 + 3 + 1);
  b->SetMarkDropDown(false);
  EXPECT_EQ(count(), 0);
}

TEST(SpeedButton, FlatButtonShowsItsFrameWhileTheMouseIsInside) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10);
  b->SetFlat(true);
  SetForegroundWindow(h.form->GetHandle());
  Pump(20);
  int enter = 0, leave = 0;
  struct Counter : TObject {
    int* e;
    int* l;
    void Enter(TObject*) { ++*e; }
    void Leave(TObject*) { ++*l; }
  } counter;
  counter.e = &enter;
  counter.l = &leave;
  b->OnMouseEnter = TNotifyEvent(&counter, &Counter::Enter);
  b->OnMouseLeave = TNotifyEvent(&counter, &Counter::Leave);
  b->Perform(CM_MOUSEENTER, 0, 0);
  if (!b->MouseInside()) GTEST_SKIP() << "the program is not in the foreground";
  EXPECT_EQ(enter, 1);
  EXPECT_EQ(PixelOf(b, 0, 0), ColorToRef(clBtnHighlight));
  EXPECT_EQ(PixelOf(b, 29, 29), ColorToRef(clBtnShadow));
  // Leaving is ignored while the button is held.
  Press(b);
  b->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(b->MouseInside());
  testsupport::MoveMouse(POINT{1, 1});
  Release(b, 200, 200);
  EXPECT_FALSE(b->MouseInside());
  EXPECT_EQ(PixelOf(b, 0, 0), ColorToRef(clBtnFace));
  b->OnMouseEnter = TNotifyEvent();
  b->OnMouseLeave = TNotifyEvent();
}

}  // namespace

namespace {

// A button painted into a bitmap of its size; the colour at (x, y).
COLORREF PaintedPixel(TExtSpeedButton* b, int x, int y) {
  TBitmap out(b->GetWidth(), b->GetHeight());
  HDC dc = out.Canvas()->GetHandle();
  b->Perform(WM_PAINT, WPARAM(dc), 0);
  return GetPixel(dc, x, y) & 0xFFFFFF;
}

TEST(SpeedButton, TransparentButtonShowsItsParent) {
  ButtonHost h;
  auto* panel = new TPanel(h.form.get());
  panel->SetParent(h.form.get());
  panel->SetBounds(0, 0, 200, 80);
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clRed);
  auto* b = new TExtSpeedButton(h.form.get());
  b->SetParent(panel);
  b->SetBounds(10, 10, 30, 30);
  b->SetFlat(true);  // no frame while the mouse is away
  EXPECT_EQ(PaintedPixel(b, 15, 15), ColorToRef(clBtnFace));
  b->SetTransparent(true);
  EXPECT_EQ(PaintedPixel(b, 15, 15), RGB(255, 0, 0));
  // A down (exclusive) button keeps the parent too, without the dither.
  b->SetGroupIndex(3);
  b->SetDown(true);
  EXPECT_EQ(PaintedPixel(b, 15, 15), RGB(255, 0, 0));
}

// A system colour change reaches a button inside a panel: its made images
// are given back and made anew on the next painting.
TEST(SpeedButton, SystemColourChangeRebuildsTheGlyph) {
  ButtonHost h;
  auto* panel = new TPanel(h.form.get());
  panel->SetParent(h.form.get());
  panel->SetBounds(0, 0, 200, 80);
  auto* b = new TExtSpeedButton(h.form.get());
  b->SetParent(panel);
  b->SetBounds(10, 10, 30, 30);
  TBitmap glyph(16, 16);
  glyph.Canvas()->Brush()->SetColor(clLime);
  glyph.Canvas()->FillRect(Rect(0, 0, 16, 16));
  glyph.Canvas()->SetPixel(0, 15, clFuchsia);  // the transparent colour
  b->SetGlyph(&glyph);
  EXPECT_EQ(PaintedPixel(b, 15, 15), RGB(0, 255, 0));
  ASSERT_NE(b->ButtonGlyph()->GlyphList(), nullptr);
  SendMessageW(h.form->GetHandle(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(b->ButtonGlyph()->GlyphList(), nullptr);
  EXPECT_EQ(PaintedPixel(b, 15, 15), RGB(0, 255, 0));
  EXPECT_NE(b->ButtonGlyph()->GlyphList(), nullptr);
}

TEST(SpeedButton, DoubleClickReportsOnlyOnADownButton) {
  ButtonHost h;
  TExtSpeedButton* plain = h.Add(10);
  TExtSpeedButton* grouped = h.Add(50, 2);
  Clicks dbl, clicks;
  // Real input: two quick clicks at the middle of a button.
  auto doubleClick = [&](TExtSpeedButton* b) {
    b->OnDblClick = TNotifyEvent(&dbl, &Clicks::On);
    b->OnClick = TNotifyEvent(&clicks, &Clicks::On);
    const TPoint p = b->ClientToScreen(TPoint{15, 15});
    testsupport::DoubleClick(POINT{p.x, p.y});
    b->OnDblClick = TNotifyEvent();
    b->OnClick = TNotifyEvent();
  };
  SetForegroundWindow(h.form->GetHandle());
  Pump(20);
  doubleClick(plain);  // never down: two clicks, no double click
  EXPECT_EQ(clicks.n, 2);
  EXPECT_EQ(dbl.n, 0);
  grouped->SetDown(true);  // the last down button of its group stays down
  doubleClick(grouped);
  EXPECT_TRUE(grouped->GetDown());
  EXPECT_EQ(dbl.n, 1);
}

}  // namespace

namespace {

TEST(SpeedButton, ActionsGiveDownAndAnEmptyGlyph) {
  ButtonHost h;
  TExtSpeedButton* b = h.Add(10, 4);
  TExtSpeedButton* other = h.Add(50, 4);
  other->SetDown(true);
  auto* images = new TImageList(h.form.get(), 8, 8);
  TBitmap red(8, 8);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(TRect{0, 0, 8, 8});
  images->AddMasked(&red, clFuchsia);
  auto* list = new TActionList(h.form.get());
  list->SetImages(images);
  auto* action = new TAction(h.form.get());
  action->SetActionList(list);
  action->SetImageIndex(0);
  action->SetChecked(true);
  action->OnExecute = TNotifyEvent([](TObject*) {});
  b->SetAction(action);
  EXPECT_TRUE(b->GetDown());
  EXPECT_FALSE(other->GetDown());
  ASSERT_FALSE(b->GetGlyph()->Empty());
  EXPECT_EQ(b->GetGlyph()->GetWidth(), 8);
  EXPECT_EQ(b->GetGlyph()->Canvas()->GetPixel(3, 3) & 0xFFFFFF, TColor(RGB(255, 0, 0)));
  // A glyph of its own is kept.
  TExtSpeedButton* own = h.Add(90);
  TBitmap blue(6, 6);
  blue.Canvas()->Brush()->SetColor(clBlue);
  blue.Canvas()->FillRect(TRect{0, 0, 6, 6});
  own->SetGlyph(&blue);
  own->SetAction(action);
  EXPECT_EQ(own->GetGlyph()->GetWidth(), 6);
}

}  // namespace

TEST(SpeedButton, PublishedPropertiesTravelInTheFormStream) {
  using namespace formstream;
  auto Make = [](const wchar_t* FormName) {
    auto F = NewForm(FormName);
    for (const wchar_t* Name : {L"One", L"Two", L"Three"}) Place<TExtSpeedButton>(F.get(), Name);
    (new TPopupMenu(F.get()))->SetName(L"Choices");  // after the buttons that name it
    auto* Act = new TAction(F.get());
    Act->SetName(L"Act");
    Act->SetCaption(L"Italic");
    return F;
  };
  auto Button = [](TForm* F, const wchar_t* Name) { return dynamic_cast<TExtSpeedButton*>(F->FindComponent(Name)); };
  TMemoryStream S;
  auto Plain = Make(L"PlainButtons");
  Write(Plain.get(), S);
  for (const char* Name : {"GroupIndex", "Down", "DropDownMenu", "Glyph.Data", "Margin", "MarkDropDown",
                           "GrayedInactive", "InitPause", "RepeatInterval", "NumGlyphs", "Spacing", "Alignment"})
    EXPECT_FALSE(Holds(S, Name)) << Name;
  // The one caption stored is the action's own.
  const std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  EXPECT_EQ(Bytes.find("Caption"), Bytes.rfind("Caption"));

  auto Source = Make(L"SetButtons");
  TExtSpeedButton* One = Button(Source.get(), L"One");
  for (const wchar_t* Name : {L"One", L"Two"}) Button(Source.get(), Name)->SetGroupIndex(3);
  Button(Source.get(), L"Two")->SetDown(true);
  One->SetText(L"Bold");
  One->SetMargin(2);
  One->SetGrayedInactive(false);
  One->SetInitPause(250);
  One->SetDropDownMenu(dynamic_cast<TPopupMenu*>(Source->FindComponent(L"Choices")));
  One->SetAlignment(taLeftJustify);
  TBitmap G;
  G.SetSize(32, 16);
  One->SetGlyph(&G);
  One->SetNumGlyphs(2);
  One->SetStyle(bsWin31);
  One->SetFlat(true);
  One->SetAllowAllUp(true);
  One->SetLayout(blGlyphLeft);
  One->SetSpacing(4);
  One->SetModalResult(mrOk);
  One->SetTransparent(true);
  One->SetMarkDropDown(false);
  One->SetMenuPosition(dmpRight);
  One->SetAllowTimer(true);
  One->SetRepeatInterval(50);
  One->SetWordWrap(true);
  Button(Source.get(), L"Three")->SetAction(dynamic_cast<TBasicAction*>(Source->FindComponent(L"Act")));
  auto Copy = Make(L"ReadButtons");
  One->OnMouseEnter = Offer<TNotifyEvent>(L"OneEnter", {Source.get(), Copy.get()});
  One->OnMouseLeave = Offer<TNotifyEvent>(L"OneLeave", {Source.get(), Copy.get()});
  ExpectRoundTrip(Source.get(), Copy.get(), S);
  ExpectStored(S, {"GroupIndex", "Style", "Down", "Flat", "AllowAllUp", "Layout", "Spacing", "Margin", "ModalResult",
                   "Transparent", "MarkDropDown", "DropDownMenu", "MenuPosition", "GrayedInactive", "AllowTimer",
                   "InitPause", "RepeatInterval", "OnMouseEnter", "OnMouseLeave", "Action", "Caption", "Glyph.Data",
                   "NumGlyphs", "WordWrap", "Alignment"});
  EXPECT_EQ(Button(Copy.get(), L"Three")->GetAction(), Copy->FindComponent(L"Act"));
  EXPECT_TRUE(Button(Copy.get(), L"Two")->GetDown());
  EXPECT_FALSE(Button(Copy.get(), L"One")->GetDown());
  EXPECT_EQ(Button(Copy.get(), L"One")->GetDropDownMenu(), Copy->FindComponent(L"Choices"));
}

// The combo edit on a real form: its button, the click key, the pop-up that
// drops down below (or above) the edit and closes accepting or not.
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "extlib/ExComboEdit.h"
#include "extlib/ExFileEdit.h"
#include "extlib/tests/FormStream.h"

using namespace testsupport;

namespace {

// A pop-up that edits the text as it is.
class TTextPopup : public TPopupWindow {
 public:
  explicit TTextPopup(TComponent* AOwner) : TPopupWindow(AOwner) { SetBounds(0, 0, 150, 80); }
  Variant GetValue() override { return Variant(Value); }
  void SetValue(const Variant& V) override {
    Value = V.IsEmpty() ? L"<null>" : V.AsString();
    ++Sets;
  }
  String Value;
  int Sets = 0;
};

class TPopupEdit : public TCustomComboEdit {
 public:
  explicit TPopupEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) {
    Popup = new TTextPopup(this);
    popup_ = Popup;
    Popup->OnCloseUp = TCloseUpEvent(static_cast<TCustomComboEdit*>(this), &TCustomComboEdit::PopupCloseUp);
  }
  TTextPopup* Popup;
  bool Refuse = false;

 protected:
  bool AcceptPopup(Variant& V) override { return !Refuse && TCustomComboEdit::AcceptPopup(V); }
};

struct EditHost {
  std::unique_ptr<TForm> form;
  EditHost() {
    form.reset(new TForm(Application));
    form->SetBounds(40, 40, 400, 200);
    form->Show();
    Pump(20);
  }
  template <class E>
  E* Add(int x = 10, int y = 10, int w = 120) {
    auto* e = new E(form.get());
    e->SetParent(form.get());
    e->SetBounds(x, y, w, 21);
    e->HandleNeeded();
    return e;
  }
};

void AltDown(TWinControl* c) { c->Perform(WM_SYSKEYDOWN, VK_DOWN, 0x20000001); }
void Char(TWinControl* c, wchar_t ch) { c->Perform(WM_CHAR, ch, 1); }

}  // namespace

TEST(ComboEdit, ButtonSitsInsideTheRightEdgeAndClicks) {
  EditHost h;
  auto* e = h.Add<TComboEdit>();
  EXPECT_EQ(e->GetButtonWidth(), 21);
  EXPECT_EQ(e->ClickKey, 32808);
  TControl* container = e->Button()->GetParent();
  EXPECT_EQ(container->GetLeft() + container->GetWidth(), e->GetClientWidth());
  // The text stops before the button.
  RECT r{};
  SendMessageW(e->Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_LE(r.right, container->GetLeft());

  int clicks = 0;
  e->OnButtonClick = TNotifyEvent([&](TObject*) { ++clicks; });
  e->Button()->ButtonClick();
  EXPECT_EQ(clicks, 1);
  AltDown(e);
  EXPECT_EQ(clicks, 2);
  e->Perform(WM_KEYDOWN, VK_DOWN, 1);  // Down alone is no click key
  EXPECT_EQ(clicks, 2);

  // A read-only edit ignores its button and the click key.
  e->SetReadOnly(true);
  e->DoClick();
  AltDown(e);
  EXPECT_EQ(clicks, 2);

  // No button: the click key does nothing.
  e->SetReadOnly(false);
  e->SetButtonWidth(0);
  AltDown(e);
  EXPECT_EQ(clicks, 2);
}

TEST(ComboEdit, DirectInputAndReadOnlyProtectTheText) {
  EditHost h;
  auto* e = h.Add<TComboEdit>();
  e->SetText(L"fixed");
  e->SetDirectInput(false);
  EXPECT_TRUE(static_cast<TCustomEdit*>(e)->GetReadOnly());  // the window refuses typing
  EXPECT_FALSE(e->GetReadOnly());
  e->SetSelStart(0);
  e->SetSelLength(5);
  e->Perform(WM_CUT, 0, 0);
  EXPECT_EQ(e->GetText(), L"fixed");
  e->SetDirectInput(true);
  EXPECT_FALSE(static_cast<TCustomEdit*>(e)->GetReadOnly());
  e->SetReadOnly(true);
  e->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(e->GetText(), L"fixed");
}

// A combo edit is a masked edit: typed keys fill the mask's places; without
// direct input (or read-only) the keyboard changes nothing, masked or not,
// while the button and the click key still work.
TEST(ComboEdit, EditMaskTakesTypedKeysOnlyWithDirectInput) {
  EditHost h;
  auto* e = h.Add<TComboEdit>();
  int clicks = 0;
  e->OnButtonClick = TNotifyEvent([&](TObject*) { ++clicks; });
  e->SetEditMask(L"000-00;1;_");
  EXPECT_EQ(e->GetEditText(), L"___-__");
  SetForegroundWindow(h.form->GetHandle());
  e->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));
  e->SetSelStart(0);
  TypeText(L"12x345");
  EXPECT_EQ(e->GetEditText(), L"123-45");
  EXPECT_EQ(e->GetText(), L"123-45");

  e->SetDirectInput(false);
  e->SetSelStart(0);
  TypeText(L"9");
  PressKey(VK_DELETE);
  PressKey(VK_BACK);
  EXPECT_EQ(e->GetText(), L"123-45");
  PressKey(VK_DOWN, {VK_MENU});
  EXPECT_EQ(clicks, 1);
  e->SetDirectInput(true);
  e->SetReadOnly(true);
  e->SetSelStart(0);
  TypeText(L"9");
  EXPECT_EQ(e->GetText(), L"123-45");
}

TEST(ComboEdit, GlyphKinds) {
  EditHost h;
  auto* e = h.Add<TComboEdit>();
  e->SetGlyphKind(gkEllipsis);
  ASSERT_NE(e->GetGlyph(), nullptr);
  EXPECT_EQ(e->GetGlyph()->GetWidth(), 15);
  EXPECT_EQ(e->GetGlyph()->GetHeight(), 4);
  e->SetNumGlyphs(3);
  EXPECT_EQ(e->GetNumGlyphs(), 1);
  e->SetGlyphKind(gkDropDown);
  EXPECT_EQ(e->GetButtonWidth(), GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_FALSE(e->GetGlyph()->Empty());
  TBitmap b(16, 16, pf24bit);
  e->SetGlyph(&b);
  EXPECT_EQ(e->GetGlyphKind(), gkCustom);
}

TEST(ComboEdit, PopupDropsDownAndClosesAccepting) {
  EditHost h;
  auto* e = h.Add<TPopupEdit>();
  int changes = 0;
  e->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  AltDown(e);
  ASSERT_TRUE(e->PopupVisible());
  EXPECT_EQ(e->Popup->Value, L"<null>");  // an empty text gives the null value
  EXPECT_TRUE(e->Popup->IsShowing());
  EXPECT_TRUE(static_cast<TCustomEdit*>(e)->GetReadOnly());  // the edit waits for the pop-up
  RECT er{}, pr{};
  GetWindowRect(e->Handle(), &er);
  GetWindowRect(e->Popup->Handle(), &pr);
  EXPECT_EQ(pr.top, er.bottom);
  EXPECT_EQ(pr.right, er.right);  // right edges aligned

  e->Popup->Value = L"picked";
  Char(e, L'\r');
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_FALSE(e->Popup->IsShowing());
  EXPECT_EQ(e->GetText(), L"picked");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(e->GetModified());
  EXPECT_FALSE(static_cast<TCustomEdit*>(e)->GetReadOnly());

  // Esc closes without taking the value; so does a refusal.
  AltDown(e);
  EXPECT_EQ(e->Popup->Value, L"picked");
  e->Popup->Value = L"other";
  Char(e, 0x1B);
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetText(), L"picked");
  e->Refuse = true;
  AltDown(e);
  e->Popup->Value = L"refused";
  Char(e, L'\r');
  EXPECT_EQ(e->GetText(), L"picked");

  // A click inside the pop-up accepts, one outside it does not.
  e->Refuse = false;
  AltDown(e);
  e->Popup->Value = L"clicked";
  e->Popup->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(e->GetText(), L"clicked");
  AltDown(e);
  e->Popup->Value = L"outside";
  e->Popup->Perform(WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetText(), L"clicked");
}

TEST(ComboEdit, ButtonPressOnOpenPopupClosesWithoutReopening) {
  EditHost h;
  auto* e = h.Add<TPopupEdit>();
  e->Button()->ButtonClick();
  ASSERT_TRUE(e->PopupVisible());
  e->Popup->Value = L"by button";
  e->Button()->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetText(), L"by button");
  e->Button()->Perform(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  if (GetCapture()) ReleaseCapture();
  EXPECT_FALSE(e->PopupVisible());  // the click after the press is swallowed
  e->Button()->ButtonClick();
  EXPECT_TRUE(e->PopupVisible());  // the next one opens it again
  Char(e, 0x1B);
}

TEST(ComboEdit, ReadOnlyEditNeitherOpensNorFires) {
  EditHost h;
  auto* e = h.Add<TPopupEdit>();
  int clicks = 0;
  e->OnButtonClick = TNotifyEvent([&](TObject*) { ++clicks; });
  e->SetReadOnly(true);
  e->Button()->ButtonClick();
  AltDown(e);
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(e->PopupVisible());
}

TEST(ComboEdit, PopupStaysOnTheScreen) {
  EditHost h;
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  h.form->SetBounds(sw - 200, sh - 90, 200, 90);
  Pump(20);
  auto* e = h.Add<TPopupEdit>(100, 10, 60);
  e->Popup->SetBounds(0, 0, 250, 120);
  AltDown(e);
  RECT er{}, pr{};
  GetWindowRect(e->Handle(), &er);
  GetWindowRect(e->Popup->Handle(), &pr);
  EXPECT_EQ(pr.bottom, er.top);  // no room below: it opens above
  EXPECT_EQ(pr.right, er.right);  // right-aligned with the edit
  EXPECT_LE(pr.right, sw);
  Char(e, 0x1B);

  // Left-aligned, too wide for the screen's right edge: moved back inside.
  e->PopupAlign = epaLeft;
  e->Popup->SetBounds(0, 0, 400, 120);
  AltDown(e);
  GetWindowRect(e->Popup->Handle(), &pr);
  EXPECT_LE(pr.right, sw);
  EXPECT_GE(pr.left, 0);
  Char(e, 0x1B);
}

TEST(ComboEdit, LosingTheFocusClosesWithoutAccepting) {
  EditHost h;
  auto* e = h.Add<TPopupEdit>();
  auto* other = h.Add<TComboEdit>(10, 60);
  AltDown(e);
  ASSERT_TRUE(e->PopupVisible());
  e->Popup->Value = L"lost";
  other->SetFocus();
  Pump(10);
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetText(), L"");
  EXPECT_EQ(GetFocus(), other->Handle());  // the closing edit does not take the focus back
}

namespace {

// An edit that shows a text of its own instead of its window text.
class TOwnTextEdit : public TComboEdit {
 public:
  using TComboEdit::TComboEdit;
  String Shown = L"IIIIII";
  TAlignment Align = taRightJustify;
  bool Standard = false;
  bool Painted = false;
  std::unique_ptr<TControlCanvas> Canvas;
  void WndProc(TMessage& M) override {
    if (M.Msg == WM_PAINT && (Painted = PaintComboEdit(this, Shown, Align, Standard, Canvas, M))) {
      M.Result = 0;
      return;
    }
    TComboEdit::WndProc(M);
  }
};

}  // namespace

TEST(ComboEdit, OwnTextPaintingByAlignment) {
  EditHost h;
  auto* e = h.Add<TOwnTextEdit>(10, 10, 200);
  e->SetColor(clWhite);
  e->Font()->SetColor(clBlack);
  int w = e->GetClientWidth(), ht = e->GetClientHeight();
  TBitmap b(w, ht, pf24bit);
  auto inkIn = [&](int from, int to) {
    for (int x = from; x < to; ++x)
      for (int y = 0; y < ht; ++y)
        if ((b.Canvas()->GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return true;
    return false;
  };
  int textEnd = w - e->GetButtonWidth();
  e->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
  EXPECT_TRUE(e->Painted);
  EXPECT_TRUE(inkIn(textEnd - 40, textEnd));
  EXPECT_FALSE(inkIn(0, 60));
  EXPECT_FALSE(inkIn(textEnd, w));  // nothing under the button

  e->Align = taLeftJustify;
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, w, ht));
  e->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
  EXPECT_TRUE(inkIn(0, 40));
  EXPECT_FALSE(inkIn(textEnd - 60, textEnd));
  // Right-to-left alignment mirrors it.
  e->SetBiDiMode(bdRightToLeft);
  b.Canvas()->FillRect(Rect(0, 0, w, ht));
  e->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
  EXPECT_TRUE(inkIn(textEnd - 40, textEnd));
  EXPECT_FALSE(inkIn(0, 60));
  e->SetBiDiMode(bdLeftToRight);

  e->Standard = true;  // the edit paints itself
  e->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
  EXPECT_FALSE(e->Painted);
}

// Without the sunken edge the own painting frames the text area in the
// window-frame colour and keeps the text two pixels in (one with the edge).
TEST(ComboEdit, FlatEditFramesItsOwnPaintingAndMovesTheTextIn) {
  EditHost h;
  auto* e = h.Add<TOwnTextEdit>(10, 10, 200);
  e->SetColor(clWhite);
  e->Align = taLeftJustify;
  const int leftMargin = LOWORD(SendMessageW(e->Handle(), EM_GETMARGINS, 0, 0));
  EXPECT_EQ(EditorTextMargins(e), (TPoint{leftMargin + 1, 1}));
  auto paint = [&] {
    TBitmap b(e->GetClientWidth(), e->GetClientHeight(), pf24bit);
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(Rect(0, 0, b.GetWidth(), b.GetHeight()));
    e->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
    return std::vector<COLORREF>{COLORREF(b.Canvas()->GetPixel(0, 0) & 0xFFFFFF), COLORREF(b.Canvas()->GetPixel(1, 1) & 0xFFFFFF)};
  };
  EXPECT_EQ(paint(), (std::vector<COLORREF>{ColorToRef(clWhite), ColorToRef(clWhite)}));
  e->SetCtl3D(false);
  EXPECT_EQ(EditorTextMargins(e), (TPoint{leftMargin + 2, 2}));
  EXPECT_EQ(paint(), (std::vector<COLORREF>{ColorToRef(clWindowFrame), ColorToRef(clWhite)}));
  e->SetBorderStyle(bsNone);
  EXPECT_EQ(EditorTextMargins(e), (TPoint{leftMargin, 0}));
  EXPECT_EQ(paint(), (std::vector<COLORREF>{ColorToRef(clWhite), ColorToRef(clWhite)}));
}

// When the edit paints itself, a middle-east system gives its window the
// right-to-left reading, the left scroll bar and the side its (mirrored)
// alignment puts the text on; other systems leave the window as it is.
TEST(ComboEdit, StandardPaintTakesTheReadingOrderOnAMiddleEastSystem) {
  EditHost h;
  auto* e = h.Add<TOwnTextEdit>(10, 10, 200);
  e->Standard = true;
  const LONG_PTR bidi = WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_RIGHT;
  auto paintedStyle = [&](TBiDiMode mode, TAlignment align) {
    e->SetBiDiMode(mode);
    e->Align = align;
    SetWindowLongPtrW(e->Handle(), GWL_EXSTYLE, GetWindowLongPtrW(e->Handle(), GWL_EXSTYLE) & ~bidi);
    e->Perform(WM_PAINT, 0, 0);
    EXPECT_FALSE(e->Painted);
    return GetWindowLongPtrW(e->Handle(), GWL_EXSTYLE) & bidi;
  };
  const bool saved = MiddleEastSystem;
  MiddleEastSystem = false;
  EXPECT_EQ(paintedStyle(bdRightToLeft, taLeftJustify), 0);
  MiddleEastSystem = true;
  EXPECT_EQ(paintedStyle(bdRightToLeft, taLeftJustify), WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_RIGHT);
  EXPECT_EQ(paintedStyle(bdRightToLeft, taRightJustify), WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR);
  EXPECT_EQ(paintedStyle(bdRightToLeftNoAlign, taRightJustify), WS_EX_RTLREADING | WS_EX_LEFTSCROLLBAR | WS_EX_RIGHT);
  EXPECT_EQ(paintedStyle(bdRightToLeftReadingOnly, taLeftJustify), WS_EX_RTLREADING);
  EXPECT_EQ(paintedStyle(bdLeftToRight, taRightJustify), 0);
  MiddleEastSystem = saved;
}

// Entering the edit with the keyboard selects its text, only while it takes
// direct input.
TEST(ComboEdit, EnteringSelectsAllOnlyWithDirectInput) {
  EditHost h;
  auto* first = h.Add<TComboEdit>(10, 10);
  auto* e = h.Add<TComboEdit>(10, 60);
  e->SetText(L"some text");
  SetForegroundWindow(h.form->GetHandle());
  first->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == first->Handle(); }));
  PressKey(VK_TAB);
  ASSERT_EQ(GetFocus(), e->Handle());
  EXPECT_EQ(e->GetSelStart(), 0);
  EXPECT_EQ(e->GetSelLength(), 9);
  PressKey(VK_TAB, {VK_SHIFT});
  ASSERT_EQ(GetFocus(), first->Handle());
  e->SetDirectInput(false);
  e->SetSelStart(2);
  e->SetSelLength(0);
  PressKey(VK_TAB);
  ASSERT_EQ(GetFocus(), e->Handle());
  EXPECT_EQ(e->GetSelLength(), 0);
}

TEST(ComboEdit, DisabledEditGreysItsTextAndButton) {
  EditHost h;
  auto* e = h.Add<TComboEdit>();
  HDC dc = CreateCompatibleDC(nullptr);
  e->Perform(CN_CTLCOLOREDIT, WPARAM(dc), LPARAM(e->Handle()));
  EXPECT_EQ(GetTextColor(dc), ColorToRef(e->Font()->GetColor()));
  e->SetEnabled(false);
  EXPECT_FALSE(e->Button()->GetEnabled());
  e->Perform(CN_CTLCOLORSTATIC, WPARAM(dc), LPARAM(e->Handle()));
  EXPECT_EQ(GetTextColor(dc), ColorToRef(clGrayText));
  e->SetColor(clGrayText);  // grey on grey would vanish
  SetTextColor(dc, 0);
  e->Perform(CN_CTLCOLORSTATIC, WPARAM(dc), LPARAM(e->Handle()));
  EXPECT_NE(GetTextColor(dc), ColorToRef(clGrayText));
  DeleteDC(dc);
  e->SetEnabled(true);
  EXPECT_TRUE(e->Button()->GetEnabled());
}

TEST(ComboEdit, ButtonPlacementFollowsTheFrame) {
  EditHost h;
  auto* e = h.Add<TComboEdit>(10, 10, 120);
  TControl* box = e->Button()->GetParent();
  const int W = e->GetWidth(), H = e->GetHeight(), BW = e->GetButtonWidth();
  auto bounds = [&] { return std::vector<int>{box->GetLeft(), box->GetTop(), box->GetWidth(), box->GetHeight()}; };
  // Sunken edge.
  EXPECT_EQ(bounds(), (std::vector<int>{W - BW - 4, 0, BW, H - 4}));
  EXPECT_TRUE(GetWindowLongW(e->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  // A flat one-pixel frame: the button keeps off it at the top.
  e->SetCtl3D(false);
  EXPECT_FALSE(e->GetParentCtl3D());
  EXPECT_FALSE(GetWindowLongW(e->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_EQ(bounds(), (std::vector<int>{W - BW - 2, 2, BW, H - 4}));
  // No frame.
  e->SetBorderStyle(bsNone);
  e->SetBounds(10, 10, 120, 21);
  EXPECT_EQ(bounds(), (std::vector<int>{W - BW, 0, BW, H}));
  // Back to the parent's (sunken) look.
  e->SetBorderStyle(bsSingle);
  e->SetParentCtl3D(true);
  EXPECT_TRUE(e->GetCtl3D());
  EXPECT_EQ(bounds(), (std::vector<int>{W - BW - 4, 0, BW, H - 4}));
  // Following the parent: its flat look flattens the edit too.
  h.form->SetCtl3D(false);
  EXPECT_FALSE(e->GetCtl3D());
  EXPECT_FALSE(GetWindowLongW(e->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_EQ(bounds(), (std::vector<int>{W - BW - 2, 2, BW, H - 4}));
  h.form->SetCtl3D(true);
}

TEST(ComboEdit, OemConvertKeepsOemCharacters) {
  EditHost h;
  auto* e = h.Add<TComboEdit>();
  EXPECT_FALSE(GetWindowLongW(e->Handle(), GWL_STYLE) & ES_OEMCONVERT);
  e->SetText(L"x");
  e->SetOEMConvert(true);
  EXPECT_TRUE(GetWindowLongW(e->Handle(), GWL_STYLE) & ES_OEMCONVERT);
  EXPECT_EQ(e->GetText(), L"x");  // the text survives the new window
}

TEST(ComboEdit, StoresItsGlyphOnlyWhenCustomAndTheMaskBeforeTheText) {
  using namespace formstream;
  ExToolEditInitialize();
  TMemoryStream S;
  auto Source = NewForm(L"ComboSource");
  auto* e = Place<TComboEdit>(Source.get(), L"Combo");
  e->SetGlyphKind(gkEllipsis);  // a glyph of its own making
  e->SetEditMask(L"000-000;0;_");
  e->SetText(L"123456");
  e->SetAlignment(taRightJustify);
  e->ClickKey = escCtrl | VK_RETURN;
  auto Made = NewForm(L"ComboRead");
  ExpectRoundTrip(Source.get(), Made.get(), S);
  for (const char* Name : {"Glyph.Data", "NumGlyphs", "ButtonWidth"}) EXPECT_FALSE(Holds(S, Name)) << Name;
  ExpectStored(S, {"GlyphKind"});
  auto* r = dynamic_cast<TComboEdit*>(Made->FindComponent(L"Combo"));
  ASSERT_NE(r, nullptr);
  EXPECT_FALSE(r->GetGlyph()->Empty());
  EXPECT_EQ(r->GetText(), L"123456");
}

// A disabled edit paints its own text grey, but not on a designed form,
// where it keeps the font colour. The pop-up window has no 3-D look of
// its own nor its parent's.
TEST(ComboEdit, DisabledOwnTextIsGreyOnlyOutsideDesign) {
  auto inkOf = [](bool Designed) {
    EditHost h;
    if (Designed) h.form->SetDesigning(true);
    auto* e = h.Add<TOwnTextEdit>(10, 10, 200);
    e->Shown = L"MMMM";
    e->SetColor(clWhite);
    e->Font()->SetColor(clBlack);
    e->SetEnabled(false);
    TBitmap b(e->GetClientWidth(), e->GetClientHeight(), pf24bit);
    e->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
    EXPECT_TRUE(e->Painted);
    std::pair<int, int> Ink{0, 0};  // black, grey text
    for (int x = 0; x < b.GetWidth(); ++x)
      for (int y = 0; y < b.GetHeight(); ++y) {
        COLORREF C = b.Canvas()->GetPixel(x, y) & 0xFFFFFF;
        if (C == 0) ++Ink.first;
        if (C == ColorToRef(clGrayText)) ++Ink.second;
      }
    return Ink;
  };
  std::pair<int, int> Running = inkOf(false), Designed = inkOf(true);
  EXPECT_EQ(Running.first, 0);
  EXPECT_GT(Running.second, 0);
  EXPECT_GT(Designed.first, 0);
  EXPECT_EQ(Designed.second, 0);

  EditHost h;
  auto* e = h.Add<TPopupEdit>();
  EXPECT_FALSE(e->Popup->GetCtl3D());
  EXPECT_FALSE(e->Popup->GetParentCtl3D());
}

TEST(ComboEdit, EveryPublishedPropertyAndEventTravelsInTheFormStream) {
  using namespace formstream;
  ExToolEditInitialize();
  TMemoryStream S;
  auto Source = NewForm(L"ComboAll");
  auto* e = Place<TComboEdit>(Source.get(), L"Combo");
  e->SetAlignment(taCenter);
  e->SetAutoSelect(false);
  e->SetBorderStyle(bsNone);
  e->SetButtonHint(L"More");
  e->SetCharCase(ecUpperCase);
  e->ClickKey = escCtrl | VK_RETURN;
  e->SetDirectInput(false);
  e->SetEditMask(L"000;0;_");
  TBitmap G;
  G.SetSize(20, 10);
  e->SetGlyph(&G);  // custom: the glyph and its count are written
  e->SetNumGlyphs(2);
  e->SetButtonWidth(33);
  e->SetHideSelection(false);
  e->SetMaxLength(3);
  e->SetOEMConvert(true);
  e->SetReadOnly(true);
  e->SetText(L"123");
  auto Made = NewForm(L"ComboAllRead");
  e->OnButtonClick = Offer<TNotifyEvent>(L"ComboButton", {Source.get(), Made.get()});
  e->OnChange = Offer<TNotifyEvent>(L"ComboChange", {Source.get(), Made.get()});
  ExpectRoundTrip(Source.get(), Made.get(), S);
  // GlyphKind stays gkCustom, its default here (written in the test above).
  ExpectStored(S, {"Alignment", "AutoSelect", "BorderStyle", "ButtonHint", "CharCase", "ClickKey", "DirectInput",
                   "EditMask", "Glyph.Data", "ButtonWidth", "HideSelection", "MaxLength", "NumGlyphs",
                   "OEMConvert", "ReadOnly", "Text", "OnButtonClick", "OnChange"});
  auto* r = dynamic_cast<TComboEdit*>(Made->FindComponent(L"Combo"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->OnButtonClick, e->OnButtonClick);
  EXPECT_EQ(r->GetButtonWidth(), 33);
}

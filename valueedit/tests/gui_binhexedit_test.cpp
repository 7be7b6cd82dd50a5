// The integer edit box on a real edit control: typed characters, paste
// through the clipboard, read-only boxes and the range check on leaving.
#include "valueedit/BinHexEdit.h"

#include "classlib/Filer.h"
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "valueedit/tests/window_picture.h"

using namespace testsupport;

namespace {

struct BoxHost {
  std::unique_ptr<TForm> form;
  TBinHexEdit* box = nullptr;
  TBinHexEdit* other = nullptr;
  BoxHost() {
    form.reset(new TForm(Application));
    form->SetBounds(60, 60, 300, 120);
    box = new TBinHexEdit(form.get());
    box->SetBounds(10, 10, 200, 24);
    box->SetParent(form.get());
    other = new TBinHexEdit(form.get());
    other->SetBounds(10, 50, 200, 24);
    other->SetParent(form.get());
    form->Show();
    box->SetFocus();
    Pump(20);
  }
  void Type(const String& s) {
    for (wchar_t c : s) SendMessageW(box->GetHandle(), WM_CHAR, c, 0);
  }
  void Set(const String& text, int selStart, int selLen) {
    box->SetText(text);
    box->SetSelStart(selStart);
    box->SetSelLength(selLen);
  }
  static void Clipboard(const String& s) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, (s.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(g), s.c_str(), (s.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(g);
    SetClipboardData(CF_UNICODETEXT, g);
    CloseClipboard();
  }
};

}  // namespace

TEST(BinHexEditControl, NewBoxAndTypedFiltering) {
  BoxHost h;
  EXPECT_EQ(h.box->GetText(), L"$00000000");
  EXPECT_EQ(h.box->GetWidth(), 200);
  EXPECT_EQ(h.box->GetVersion(), L"8.00.00.00");
  h.Set(L"$0", 1, 1);
  h.Type(L"ab");
  EXPECT_EQ(h.box->GetText(), L"$AB");
  h.Type(L"xy\r");
  EXPECT_EQ(h.box->BeepCount, 3);
  EXPECT_EQ(h.box->GetAsInteger(), 0xAB);
  h.box->SetBaseFormat(Binary);
  EXPECT_EQ(h.box->GetText(), L"10101011");
  h.Type(L"2");
  EXPECT_EQ(h.box->BeepCount, 4);
  h.box->SetBaseFormat(Number);
  EXPECT_EQ(h.box->GetText(), L"171");
  h.box->SetSelStart(0);
  h.box->SetSelLength(0);
  h.Type(L"-");
  EXPECT_EQ(h.box->GetText(), L"-171");
  EXPECT_EQ(h.box->GetAsInteger(), -171);
  EXPECT_EQ(SendMessageW(h.box->GetHandle(), WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
}

TEST(BinHexEditControl, PasteReplaysCharactersAndReadOnlyRefuses) {
  BoxHost h;
  h.box->SetBaseFormat(Binary);
  h.Set(L"11", 1, 0);
  BoxHost::Clipboard(L"0a1b");
  int before = h.box->BeepCount;
  SendMessageW(h.box->GetHandle(), WM_PASTE, 0, 0);
  EXPECT_EQ(h.box->GetText(), L"1011");
  EXPECT_EQ(h.box->BeepCount - before, 2);
  h.box->SetReadOnly(true);
  h.Set(L"1011", 0, 4);
  SendMessageW(h.box->GetHandle(), WM_PASTE, 0, 0);
  EXPECT_EQ(h.box->GetText(), L"1011");
  EXPECT_EQ(h.box->GetSelLength(), 4);
}

// The edit's own context menu pastes and deletes without a key going
// down or up: a hexadecimal box still ends up showing its "$", and its
// digits read as hexadecimal whatever took the "$" away.
TEST(BinHexEditControl, HexadecimalTextChangedWithoutTheKeyboardStaysHexadecimal) {
  BoxHost h;
  h.Set(L"$00000007", 0, 9);
  BoxHost::Clipboard(L"12");
  SendMessageW(h.box->GetHandle(), WM_PASTE, 0, 0);  // the menu's Paste
  EXPECT_EQ(h.box->GetText(), L"$12");
  EXPECT_EQ(h.box->GetAsInteger(), 0x12);
  h.Set(L"$10", 0, 1);
  SendMessageW(h.box->GetHandle(), WM_CLEAR, 0, 0);  // the menu's Delete on the "$"
  EXPECT_EQ(h.box->GetText(), L"10");
  EXPECT_EQ(h.box->GetAsInteger(), 0x10);
  // A decimal box left empty by a paste of no digits shows 0.
  h.box->SetBaseFormat(Number);
  h.Set(L"25", 0, 2);
  BoxHost::Clipboard(L"abc");
  SendMessageW(h.box->GetHandle(), WM_PASTE, 0, 0);
  EXPECT_EQ(h.box->GetText(), L"0");
  EXPECT_EQ(h.box->GetAsInteger(), 0);
}

TEST(BinHexEditControl, RangeCheckOnLeavingClampsBeepsAndKeepsFocus) {
  BoxHost h;
  h.box->SetBaseFormat(Number);
  h.box->SetMaxValue(100);
  h.box->SetMinValue(1);
  h.box->SetText(L"500");
  int before = h.box->BeepCount;
  h.other->SetFocus();
  Pump(30);
  EXPECT_EQ(h.box->GetText(), L"100");
  EXPECT_EQ(h.box->BeepCount - before, 1);
  EXPECT_TRUE(h.box->Focused());
}

TEST(BinHexEditControl, AlignmentRecreatesTheWindowAndKeepsTextAndSelection) {
  BoxHost h;
  h.box->SetText(L"$1");
  auto style = [&] { return GetWindowLongW(h.box->GetHandle(), GWL_STYLE); };
  auto selection = [&] {
    DWORD from = 0, to = 0;
    SendMessageW(h.box->GetHandle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    return std::make_pair(static_cast<int>(from), static_cast<int>(to));
  };
  // Where the digits stand: the leftmost and rightmost pixel that is not the
  // box's colour, the focus elsewhere (no caret, the selection hidden).
  auto ink = [&] {
    h.other->SetFocus();
    Pump(20);
    Picture p(h.box);
    const COLORREF paper = ColorToRef(h.box->GetColor());
    int lo = p.Width(), hi = -1;
    for (int y = 0; y < p.Height(); ++y)
      for (int x = 0; x < p.Width(); ++x)
        if (p.At(x, y) != paper) {
          lo = std::min(lo, x);
          hi = std::max(hi, x);
        }
    h.box->SetFocus();
    Pump(20);
    return std::make_pair(lo, hi);
  };
  const int w = h.box->GetClientWidth();
  EXPECT_EQ(h.box->GetAlignment(), taCenter);
  EXPECT_TRUE(style() & ES_MULTILINE);
  EXPECT_EQ(style() & (ES_CENTER | ES_RIGHT), ES_CENTER);
  auto [clo, chi] = ink();
  EXPECT_LT(std::abs((clo + chi) / 2 - w / 2), w / 8) << clo << ".." << chi;

  h.box->SetText(L"$12345678");
  h.box->SetSelStart(3);
  h.box->SetSelLength(4);
  const HWND before = h.box->GetHandle();
  h.box->SetAlignment(taRightJustify);
  EXPECT_NE(h.box->GetHandle(), before);
  EXPECT_EQ(style() & (ES_CENTER | ES_RIGHT), ES_RIGHT);
  EXPECT_TRUE(style() & ES_MULTILINE);
  EXPECT_EQ(h.box->GetText(), L"$12345678");
  EXPECT_EQ(selection(), std::make_pair(3, 7));
  h.box->SetText(L"$1");
  auto [rlo, rhi] = ink();
  EXPECT_GT(rlo, w / 2) << rlo;

  h.box->SetText(L"$12345678");
  h.box->SetSelStart(1);
  h.box->SetSelLength(2);
  h.box->SetAlignment(taLeftJustify);
  EXPECT_EQ(style() & (ES_CENTER | ES_RIGHT), 0);
  EXPECT_EQ(selection(), std::make_pair(1, 3));
  h.box->SetText(L"$1");
  auto [llo, lhi] = ink();
  EXPECT_LT(lhi, w / 2) << lhi;
}

TEST(BinHexEditControl, AClickThatGivesTheFocusSelectsTheWholeNumber) {
  BoxHost h;
  h.box->SetText(L"$00ABCDEF");
  h.other->SetFocus();
  SetForegroundWindow(h.form->GetHandle());
  Pump(30);
  const POINT at = ScreenPoint(h.box->GetHandle(), h.box->GetClientWidth() / 2 + 10, h.box->GetClientHeight() / 2);
  Click(at);
  ASSERT_TRUE(h.box->Focused());
  EXPECT_EQ(h.box->GetSelStart(), 0);
  EXPECT_EQ(h.box->GetSelLength(), 9);
  // Once the box has the focus a click places the caret.
  Pump(static_cast<int>(GetDoubleClickTime()) + 30);
  Click(at);
  EXPECT_EQ(h.box->GetSelLength(), 0);
  EXPECT_GT(h.box->GetSelStart(), 0);
  // Entered by the keyboard the number is selected too.
  h.other->SetFocus();
  Pump(20);
  PressKey(VK_TAB, {VK_SHIFT});
  ASSERT_TRUE(h.box->Focused());
  EXPECT_EQ(h.box->GetSelLength(), 9);
  // Focus handed over while the button is down (a press beside the boxes
  // that moves it) counts as entered by the mouse: the next click on the
  // box selects the whole number again, the one after places the caret.
  h.form->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { h.box->SetFocus(); };
  h.other->SetFocus();
  Pump(static_cast<int>(GetDoubleClickTime()) + 30);
  Click(ScreenPoint(h.form->GetHandle(), h.form->GetClientWidth() - 20, h.form->GetClientHeight() / 2));
  ASSERT_TRUE(h.box->Focused());
  h.box->SetSelStart(2);
  h.box->SetSelLength(0);
  Click(at);
  EXPECT_EQ(h.box->GetSelStart(), 0);
  EXPECT_EQ(h.box->GetSelLength(), 9);
  Pump(static_cast<int>(GetDoubleClickTime()) + 30);
  Click(at);
  EXPECT_EQ(h.box->GetSelLength(), 0);
  h.form->OnMouseDown = nullptr;
  // Without AutoSelect the click only places the caret.
  h.other->SetFocus();
  h.box->SetAutoSelect(false);
  Pump(static_cast<int>(GetDoubleClickTime()) + 30);
  Click(at);
  ASSERT_TRUE(h.box->Focused());
  EXPECT_EQ(h.box->GetSelLength(), 0);
}

TEST(BinHexEditControl, ParentColourIsFollowedUntilAColourOfItsOwn) {
  BoxHost h;
  const TColor green = Rgb(0xC0, 0xFF, 0xC0), blue = Rgb(0xC0, 0xD0, 0xFF);
  auto shown = [&] {
    Picture p(h.box);
    return p.At(2, 2);
  };
  h.form->SetColor(green);
  EXPECT_EQ(h.box->GetColor(), clWindow);  // not following yet
  h.box->SetParentColor(true);
  EXPECT_EQ(h.box->GetColor(), green);
  EXPECT_EQ(shown(), ColorToRef(green));
  // the parent's colour changes: the box's with it
  h.form->SetColor(blue);
  EXPECT_TRUE(h.box->GetParentColor());
  EXPECT_EQ(h.box->GetColor(), blue);
  EXPECT_EQ(h.box->GetEnabledColor(), blue);
  EXPECT_EQ(shown(), ColorToRef(blue));
  // disabled it shows its disabled colour, enabled the parent's again
  h.box->SetEnabled(false);
  EXPECT_EQ(h.box->GetColor(), clBtnFace);
  h.form->SetColor(green);
  EXPECT_EQ(h.box->GetColor(), clBtnFace);
  h.box->SetEnabled(true);
  EXPECT_EQ(h.box->GetColor(), green);
  // a colour of its own ends following
  h.box->SetColor(clWhite);
  EXPECT_FALSE(h.box->GetParentColor());
  h.form->SetColor(blue);
  EXPECT_EQ(h.box->GetColor(), clWhite);
  EXPECT_EQ(shown(), ColorToRef(clWhite));
}

TEST(BinHexEditControl, DisabledColour) {
  BoxHost h;
  h.box->SetDisabledColor(clRed);
  h.box->SetEnabled(false);
  EXPECT_EQ(h.box->GetColor(), clRed);
  h.box->SetEnabled(true);
  EXPECT_EQ(h.box->GetColor(), clWindow);
}

TEST(BinHexEditControl, RegisteredOnItsPageAndMadeByName) {
  BinHexEdit::Register();
  BinHexEdit::Register();  // twice: still once on the page
  auto onPage = ComponentsOnPage(L"ValueEdit");
  EXPECT_EQ(std::count(onPage.begin(), onPage.end(), String(L"TBinHexEdit")), 1);
  std::unique_ptr<TForm> form(new TForm(Application));
  TComponent* made = FindClass(L"TBinHexEdit")(form.get());
  auto* box = dynamic_cast<TBinHexEdit*>(made);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetText(), L"$00000000");
}

TEST(BinHexEditDesign, ADesignedBoxChecksAnAssignedValueAndNeverTakesTheFocus) {
  BoxHost h;
  h.box->SetMaxValue(100);
  h.box->SetMinValue(1);
  h.other->SetFocus();
  Pump(20);
  // At run time an assigned value is not checked; a narrowed range is, and
  // the box takes the focus back.
  h.box->SetAsInteger(500);
  EXPECT_EQ(h.box->GetAsInteger(), 500);
  int beeps = h.box->BeepCount;
  h.box->SetMaxValue(50);
  Pump(20);
  EXPECT_EQ(h.box->GetAsInteger(), 50);
  EXPECT_EQ(h.box->BeepCount - beeps, 1);
  EXPECT_TRUE(h.box->Focused());

  h.other->SetFocus();
  Pump(20);
  h.form->SetDesigning(true);
  beeps = h.box->BeepCount;
  h.box->SetAsInteger(500);
  EXPECT_EQ(h.box->GetAsInteger(), 50);
  h.box->SetAsInteger(-7);
  EXPECT_EQ(h.box->GetAsInteger(), 1);
  h.box->SetMaxValue(40);
  EXPECT_EQ(h.box->GetAsInteger(), 1);
  h.box->SetAsInteger(30);  // inside the range: no answer
  h.box->SetMinValue(35);
  Pump(20);
  EXPECT_EQ(h.box->GetAsInteger(), 35);
  EXPECT_EQ(h.box->BeepCount - beeps, 3);
  EXPECT_TRUE(h.other->Focused());
  EXPECT_FALSE(h.box->Focused());
  // An invalid-entry handler hears it instead.
  int heard = 0;
  h.box->OnInvalidEntry = [&](TObject* s) { heard += s == h.box; };
  h.box->SetAsInteger(99);
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(h.box->GetAsInteger(), 99);
  h.form->SetDesigning(false);
}

// The binary value editor on a real window: the bytes in and out, the
// caret and overwrite mode, and its stored position and size.
#include "app/EditValueBin.h"
#include <algorithm>

#include "app/tests/dialogs_support.h"
#include "testsupport/Input.h"

using namespace dlgtest;

namespace {

class EditBinTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    form = new TfrmEditValueBin(Application, dm.get());
    dm->EditRootKey = RegRoot::LocalMachine;
    dm->EditKeyPath = L"\\Software\\Bin";
    dm->EditValueName = L"Blob";
    dm->EditValueType = 4;
  }
  void TearDown() override {
    delete form;
    DialogTest::TearDown();
  }
  // Real keys reach the hex editor: its dialog is the active window and
  // the editor has the focus.
  bool HexEditorHasTheKeyboard() {
    SetForegroundWindow(form->GetHandle());
    const HWND he = form->heValue->GetHandle();
    return testsupport::PumpUntil([&] { return GetForegroundWindow() == form->GetHandle() && GetFocus() == he; },
                                  10000);
  }
  TfrmEditValueBin* form = nullptr;
};

TEST_F(EditBinTest, BytesGoInAndComeBackOnOk) {
  dm->EditBinary = std::string("\x01\x00\xFF\x7F", 4);
  TModalResult r = RunModal(form, [&] {
    EXPECT_EQ(L"HKEY_LOCAL_MACHINE\\Software\\Bin", form->edtPath->GetText());
    EXPECT_EQ(L"Blob", form->edtValueName->GetText());
    EXPECT_EQ(4, form->heValue->GetDataSize());
    EXPECT_EQ(0, form->heValue->GetSelStart());
    EXPECT_FALSE(form->heValue->GetInsertMode());
    EXPECT_EQ(form->heValue, form->GetActiveControl());
    // Typing overwrites: "AB" replaces the first byte.
    HWND h = form->heValue->GetHandle();
    SendMessageW(h, WM_CHAR, L'A', 0);
    SendMessageW(h, WM_CHAR, L'B', 0);
    EXPECT_EQ(4, form->heValue->GetDataSize());
    form->btnOk->Click();
  });
  EXPECT_EQ(mrOk, r);
  EXPECT_EQ(std::string("\xAB\x00\xFF\x7F", 4), dm->EditBinary);
}

TEST_F(EditBinTest, EmptyValueTakesTypedBytesAndCancelStillCopies) {
  dm->EditBinary.clear();
  TModalResult r = RunModal(form, [&] {
    EXPECT_EQ(0, form->heValue->GetDataSize());
    form->btnCancel->Click();
  });
  EXPECT_EQ(mrCancel, r);
  EXPECT_EQ(std::string(), dm->EditBinary);

  // A new, empty binary value: what the user types is added, not dropped.
  r = RunModal(form, [&] {
    EXPECT_TRUE(form->heValue->GetInsertMode());
    HWND h = form->heValue->GetHandle();
    for (wchar_t c : String(L"48656C")) SendMessageW(h, WM_CHAR, c, 0);
    form->btnOk->Click();
  });
  EXPECT_EQ(mrOk, r);
  EXPECT_EQ(std::string("Hel"), dm->EditBinary);
}

// Backspace on selected bytes takes those bytes and no others.
TEST_F(EditBinTest, BackspaceDeletesTheSelectionOnly) {
  dm->EditBinary = std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09", 10);
  RunModal(form, [&] {
    ASSERT_TRUE(HexEditorHasTheKeyboard());
    ASSERT_TRUE(testsupport::InputScript().Press(VK_INSERT).Send());
    ASSERT_TRUE(form->heValue->GetInsertMode());
    form->heValue->SetSelStart(4);
    form->heValue->SetSelEnd(6);
    ASSERT_EQ(3, form->heValue->GetSelCount());
    ASSERT_TRUE(testsupport::InputScript().Press(VK_BACK).Send());
    form->btnOk->Click();
  });
  EXPECT_EQ(std::string("\x00\x01\x02\x03\x07\x08\x09", 7), dm->EditBinary);
}

// Shift held for a typed character selects nothing: upper-case hex digits
// typed with Shift (for the letters or throughout) all land, in insert and
// overwrite mode, in the hex and the character field; the caret's step past
// a typed digit never selects the byte for the next digit to replace.
TEST_F(EditBinTest, TypingWithShiftHeldKeepsEveryCharacter) {
  // Real keys: Shift goes down before each letter and up after it, or
  // stays down for the whole text.
  auto type = [](const std::wstring& Text, bool ShiftThroughout) {
    testsupport::InputScript in;
    if (ShiftThroughout) in.Key(VK_SHIFT, true);
    for (wchar_t c : Text) {
      const bool letter = c >= L'A' && c <= L'Z';
      if (letter && !ShiftThroughout) in.Key(VK_SHIFT, true);
      in.Press(static_cast<WORD>(c));
      if (letter && !ShiftThroughout) in.Key(VK_SHIFT, false);
    }
    if (ShiftThroughout) in.Key(VK_SHIFT, false);
    return in.Send();
  };
  struct Case {
    std::string Before;
    std::vector<WORD> KeysFirst;  // before typing (Insert; Tab: to the character field)
    std::wstring Text;
    bool ShiftThroughout;
    std::string After;
  } cases[] = {
      {"", {}, L"DEADBEEF", false, "\xDE\xAD\xBE\xEF"},  // empty: opens in insert mode
      {"", {}, L"DEADBEEF", true, "\xDE\xAD\xBE\xEF"},
      {"\x01\x02\x03", {VK_INSERT}, L"ABCD", true, "\xAB\xCD\x01\x02\x03"},
      {"\x01\x02\x03", {}, L"ABCD", true, "\xAB\xCD\x03"},
      {"\x01\x02\x03", {VK_INSERT, VK_TAB}, L"XYZ", true, "XYZ\x01\x02\x03"},
      {"\x01\x02\x03", {VK_TAB}, L"XY", true, "XY\x03"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(WideToAnsi(c.Text) + (c.Before.empty() ? " empty" : " on 3 bytes"));
    dm->EditBinary = c.Before;
    RunModal(form, [&] {
      ASSERT_TRUE(HexEditorHasTheKeyboard());
      // The caret keeps its field from the last show: Tab goes to the
      // character field, or to the hex field when it is not asked for.
      const bool toChars = std::count(c.KeysFirst.begin(), c.KeysFirst.end(), WORD(VK_TAB)) > 0;
      testsupport::InputScript keys;
      for (WORD k : c.KeysFirst)
        if (k != VK_TAB) keys.Press(k);
      if (form->heValue->GetInCharField() != toChars) keys.Press(VK_TAB);
      ASSERT_TRUE(keys.Send());
      ASSERT_EQ(toChars, form->heValue->GetInCharField());
      ASSERT_TRUE(type(c.Text, c.ShiftThroughout));
      EXPECT_EQ(0, form->heValue->GetSelCount());
      form->btnOk->Click();
    });
    EXPECT_EQ(c.After, dm->EditBinary);
  }
  // Shift+Right still selects after a character typed with Shift held.
  dm->EditBinary = std::string("\x01\x02\x03", 3);
  RunModal(form, [&] {
    ASSERT_TRUE(HexEditorHasTheKeyboard());
    ASSERT_TRUE(testsupport::InputScript().Key(VK_SHIFT, true).Press('A').Press(VK_RIGHT).Press(VK_RIGHT)
                    .Key(VK_SHIFT, false).Send());
    EXPECT_GT(form->heValue->GetSelCount(), 0);
    form->btnCancel->Click();
  });
}

// Bookmarks set in one value (Ctrl+Shift+digit) belong to its bytes: the
// next value opens without them.
TEST_F(EditBinTest, BookmarksOfOneValueAreNotShownInTheNext) {
  dm->EditBinary = std::string(20, '\x11');
  RunModal(form, [&] {
    ASSERT_TRUE(HexEditorHasTheKeyboard());
    ASSERT_TRUE(testsupport::InputScript().Press(VK_RIGHT).Press(VK_RIGHT).Press('3', {VK_CONTROL, VK_SHIFT}).Send());
    EXPECT_EQ(1, form->heValue->GetBookmark(3).mPosition);
    form->btnCancel->Click();
  });
  dm->EditBinary = std::string(8, '\x22');
  RunModal(form, [&] {
    for (int i = 0; i < 10; ++i) EXPECT_EQ(-1, form->heValue->GetBookmark(i).mPosition) << i;
    ASSERT_TRUE(HexEditorHasTheKeyboard());
    // Ctrl+3 finds no bookmark to go to.
    ASSERT_TRUE(testsupport::InputScript().Press('3', {VK_CONTROL}).Send());
    EXPECT_EQ(0, form->heValue->GetSelStart());
    form->btnCancel->Click();
  });
}

TEST_F(EditBinTest, FirstShowHasTheDefaultSizeAndCloseStoresTheGeometry) {
  dm->EditBinary = "x";
  int first = 0;
  RunModal(form, [&] {
    // 417 wide unless a whole row of offsets, bytes and characters (and
    // the vertical scroll bar) needs more at the program's default font.
    int row = 0;
    for (int c = 0; c < form->heValue->GetColCount(); ++c)
      row += form->heValue->GetColWidths(c) + form->heValue->GetGridLineWidth();
    EXPECT_GE(form->GetWidth(), 417);
    const bool vscroll = GetWindowLongW(form->heValue->GetHandle(), GWL_STYLE) & WS_VSCROLL;
    EXPECT_LE(row + (vscroll ? 0 : GetSystemMetrics(SM_CXVSCROLL)), form->heValue->GetClientWidth());
    EXPECT_EQ(form->heValue->GetFixedCols(), form->heValue->GetLeftCol());
    EXPECT_EQ(359, form->GetHeight());
    first = form->GetWidth();
    // A whole row fits: no horizontal scroll bar; narrower, one; wide
    // again, none.
    const HWND he = form->heValue->GetHandle();
    auto hscroll = [he] { return (GetWindowLongW(he, GWL_STYLE) & WS_HSCROLL) != 0; };
    EXPECT_FALSE(hscroll());
    form->SetWidth(first - 150);
    EXPECT_TRUE(hscroll());
    form->SetWidth(first);
    EXPECT_FALSE(hscroll());
    form->SetBounds(20, 30, 500, 400);
    form->btnCancel->Click();
  });
  DWORD type = 0, n = 0;
  std::wstring text;
  ASSERT_TRUE(ReadSetting(L"EditBinForm", L"EditBinWidth", type, text, n));
  EXPECT_EQ(500u, n);
  ASSERT_TRUE(ReadSetting(L"EditBinForm", L"EditBinHeight", type, text, n));
  EXPECT_EQ(400u, n);
  ASSERT_TRUE(ReadSetting(L"EditBinForm", L"EditBinLeft", type, text, n));
  EXPECT_EQ(20u, n);
  ASSERT_TRUE(ReadSetting(L"EditBinForm", L"EditBinTop", type, text, n));
  EXPECT_EQ(30u, n);
  // The next show puts it back there (wide enough for a whole row).
  RunModal(form, [&] {
    EXPECT_EQ(std::max(500, first), form->GetWidth());
    EXPECT_EQ(30, form->GetTop());
    // The controls follow the size (anchored).
    EXPECT_GT(form->heValue->GetWidth(), 450);
    EXPECT_GT(form->btnCancel->GetLeft(), 400);
    form->btnCancel->Click();
  });
}

}  // namespace

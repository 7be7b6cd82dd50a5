// The masked edit: the mask language, Text against EditText, and typing,
// deleting, pasting, undoing and leaving on a real window with real keys.
#include "classlib/Clipbrd.h"
#include "classlib/Mask.h"
#include "classlib/tests/gui_support.h"
#include "testsupport/Input.h"

using namespace guitest;

namespace {

struct MaskHost {
  std::unique_ptr<TForm> Form;
  TMaskEdit* Edit = nullptr;
  TEdit* Other = nullptr;
  explicit MaskHost(const String& Mask) {
    Form.reset(new TForm(Application));
    Form->SetBounds(60, 60, 300, 120);
    Edit = new TMaskEdit(Form.get());
    Edit->SetParent(Form.get());
    Edit->SetBounds(10, 10, 200, 24);
    Edit->SetEditMask(Mask);
    Other = new TEdit(Form.get());
    Other->SetParent(Form.get());
    Other->SetBounds(10, 50, 200, 24);
    Form->Show();
    SetForegroundWindow(Form->GetHandle());
    Edit->SetFocus();
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == Edit->GetHandle(); }));
  }
  int Caret() {
    DWORD a = 0, b = 0;
    SendMessageW(Edit->GetHandle(), EM_GETSEL, WPARAM(&a), LPARAM(&b));
    return int(a);
  }
};

}  // namespace

TEST(GuiMask, TheMaskLanguageFormatsAndUnformats) {
  EXPECT_EQ(L"(555)123-4567", FormatMaskText(L"!(999)000-0000;0;_", L"5551234567"));
  EXPECT_EQ(L"(555)123-4567", FormatMaskText(L"!(999)000-0000;1;_", L"(555)123-4567"));
  // Case conversion, an escaped literal, optional slots left empty.
  const TEditMask m(L">LL<ll\\0-99;0;*");
  EXPECT_EQ(8, m.Length());
  EXPECT_EQ(L'*', m.Blank());
  EXPECT_FALSE(m.SaveLiterals());
  EXPECT_EQ(L"ABcd0-**", m.Format(L"abCD", false));
  EXPECT_EQ(L"ABcd", m.Unformat(L"ABcd0-**", false));
  EXPECT_EQ(L"ABcd0-", m.Unformat(L"ABcd0-**", true).substr(0, 6));
  EXPECT_EQ(-1, m.FirstMissing(L"ABcd0-**"));
  EXPECT_EQ(1, m.FirstMissing(L"A*cd0-**"));
  // Characters a slot does not take leave it empty; signs only where '#'.
  const TEditMask n(L"#00;1; ");
  EXPECT_EQ(L"-1 ", n.Format(L"-1x", true));
  EXPECT_EQ(L" 12", n.Format(L"a12", true));
  // The blank and literal fields: literals kept by default, '_' is a space.
  TMaskEdit e(nullptr);
  e.SetEditMask(L"AA_00");
  EXPECT_TRUE(e.IsMasked());
  EXPECT_EQ(5, e.GetMaxLength());
  e.SetText(L"x1 23");
  EXPECT_EQ(L"x1 23", e.GetEditText());
  EXPECT_EQ(L"x1 23", e.GetText());
}

TEST(GuiMask, TypedKeysFollowTheMaskAndTextDropsTheLiterals) {
  MaskHost h(L"000-00;0;_");
  EXPECT_EQ(L"___-__", h.Edit->GetEditText());
  SendMessageW(h.Edit->GetHandle(), EM_SETSEL, 0, 0);
  // The letter is refused, the caret skips the literal.
  testsupport::TypeText(L"12a3");
  EXPECT_EQ(L"123-__", h.Edit->GetEditText());
  EXPECT_EQ(4, h.Caret());
  testsupport::TypeText(L"45");
  EXPECT_EQ(L"123-45", h.Edit->GetEditText());
  EXPECT_EQ(L"12345", h.Edit->GetText());
  // Typing the literal where it stands steps over it.
  SendMessageW(h.Edit->GetHandle(), EM_SETSEL, 3, 3);
  testsupport::TypeText(L"-9");
  EXPECT_EQ(L"123-95", h.Edit->GetEditText());
  // Delete and Backspace leave blanks; the positions do not move.
  testsupport::PressKey(VK_HOME);
  testsupport::PressKey(VK_DELETE);
  EXPECT_EQ(L"_23-95", h.Edit->GetEditText());
  testsupport::PressKey(VK_END);
  testsupport::PressKey(VK_BACK);
  EXPECT_EQ(L"_23-9_", h.Edit->GetEditText());
  EXPECT_EQ(5, h.Caret());
  // Ctrl+Z takes the last change back.
  testsupport::PressKey('Z', {VK_CONTROL});
  EXPECT_EQ(L"_23-95", h.Edit->GetEditText());

  // Pasting goes through the mask, with or without the literals.
  Clipboard()->SetAsText(L"987-65");
  SendMessageW(h.Edit->GetHandle(), EM_SETSEL, 0, 6);
  testsupport::PressKey('V', {VK_CONTROL});
  EXPECT_EQ(L"987-65", h.Edit->GetEditText());
  Clipboard()->SetAsText(L"4x");
  SendMessageW(h.Edit->GetHandle(), EM_SETSEL, 0, 0);
  testsupport::PressKey('V', {VK_CONTROL});
  EXPECT_EQ(L"487-65", h.Edit->GetEditText());

  // The same text with the literals saved.
  h.Edit->SetEditMask(L"000-00;1;_");
  EXPECT_EQ(L"487-65", h.Edit->GetText());
}

TEST(GuiMask, LeavingWithAnIncompleteTextIsRefusedAndEscapeRestores) {
  MaskHost h(L">LL-000;1;_");
  h.Edit->SetText(L"AB-123");
  h.Edit->SetModified(false);
  // Re-enter so that the text on entry is the one set.
  h.Other->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == h.Other->GetHandle(); }));
  h.Edit->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == h.Edit->GetHandle(); }));
  SendMessageW(h.Edit->GetHandle(), EM_SETSEL, 0, 0);
  testsupport::TypeText(L"cd");
  EXPECT_EQ(L"CD-123", h.Edit->GetEditText());
  testsupport::PressKey(VK_END);
  testsupport::PressKey(VK_BACK);
  EXPECT_EQ(L"CD-12_", h.Edit->GetEditText());

  const size_t shown = ShownExceptions().size();
  testsupport::PressKey(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return ShownExceptions().size() > shown; }));
  EXPECT_NE(String::npos, ShownExceptions().back().find(L"Invalid input value"));
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == h.Edit->GetHandle(); }));
  EXPECT_EQ(5, h.Caret());

  // Escape gives back the text the edit had on entry; then it may be left.
  testsupport::PressKey(VK_ESCAPE);
  EXPECT_EQ(L"AB-123", h.Edit->GetEditText());
  testsupport::PressKey(VK_TAB);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == h.Other->GetHandle(); }));
  EXPECT_EQ(shown + 1, ShownExceptions().size());
}

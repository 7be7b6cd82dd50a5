// The string/integer value editor on a real window: pages by type, the
// linked integer boxes, the 32-bit range, Cancel, and its stored position.
#include "app/EditValue.h"
#include "app/tests/dialogs_support.h"
#include "testsupport/Input.h"

using namespace dlgtest;

namespace {

class EditValueTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    form = new TfrmEditValue(Application, dm.get());
    dm->EditRootKey = RegRoot::CurrentUser;
    dm->EditKeyPath = L"\\Software\\ZembrioTest\\app\\dialogs";
    dm->EditValueName = L"Answer";
  }
  void TearDown() override {
    delete form;
    DialogTest::TearDown();
  }
  void Type(TBinHexEdit* box, const String& text) {
    for (wchar_t c : text) box->TypeChar(c);
  }
  // Empties the box as the user does: select all, backspace.
  void Clear(TBinHexEdit* box) {
    box->SelectAll();
    box->TypeChar(L'\b');
  }
  void Retype(TBinHexEdit* box, const String& text) {
    Clear(box);
    Type(box, text);
  }
  // Puts a text into the box's window and runs its change event.
  void SetBoxText(TBinHexEdit* box, const String& text) {
    SendMessageW(box->GetHandle(), WM_SETTEXT, 0, LPARAM(text.c_str()));
    box->OnChange(box);
  }
  std::vector<TTabSheet*> VisibleTabs() {
    std::vector<TTabSheet*> v;
    for (int i = 0; i < form->pagEditFormat->PageCount(); ++i)
      if (form->pagEditFormat->Pages(i)->GetTabVisible()) v.push_back(form->pagEditFormat->Pages(i));
    return v;
  }
  TfrmEditValue* form = nullptr;
};

TEST_F(EditValueTest, StringOpensOnTheStringPageAndOkHandsBackTheText) {
  dm->EditValueType = 1;
  dm->EditString = L"old text";
  TModalResult r = RunModal(form, [&] {
    EXPECT_EQ(L"HKEY_CURRENT_USER\\Software\\ZembrioTest\\app\\dialogs", form->edtPath->GetText());
    EXPECT_EQ(L"Answer", form->edtValueName->GetText());
    EXPECT_EQ(L"old text", form->edtValueStr->GetText());
    EXPECT_EQ(form->tbsString, form->pagEditFormat->GetActivePage());
    EXPECT_EQ(std::vector<TTabSheet*>{form->tbsString}, VisibleTabs());
    EXPECT_EQ(form->edtValueStr, form->GetActiveControl());
    // The first show with default settings is at the screen's corner.
    EXPECT_EQ(0, form->GetLeft());
    EXPECT_EQ(0, form->GetTop());
    form->edtValueStr->SetText(L"new \x00e9 text");
    form->SetLeft(40);
    form->SetTop(30);
    PostMessageW(form->edtValueStr->GetHandle(), WM_KEYDOWN, VK_RETURN, 0);
  });
  EXPECT_EQ(mrOk, r);
  EXPECT_EQ(L"new \x00e9 text", dm->EditString);
  // The position reached the registry with the write of every setting.
  DWORD type = 0, n = 0;
  std::wstring text;
  ASSERT_TRUE(ReadSetting(L"EditForm", L"EditLeft", type, text, n));
  EXPECT_EQ(40u, n);
  ASSERT_TRUE(ReadSetting(L"EditForm", L"EditTop", type, text, n));
  EXPECT_EQ(30u, n);
  ASSERT_TRUE(ReadSetting(L"Appearance", L"ShowHints", type, text, n));
}

TEST_F(EditValueTest, ExpandStringUsesTheStringPageAndCancelStillCopiesTheControls) {
  dm->EditValueType = 2;
  dm->EditString = L"%PATH%";
  TModalResult r = RunModal(form, [&] {
    EXPECT_EQ(form->tbsString, form->pagEditFormat->GetActivePage());
    form->edtValueStr->SetText(L"%TEMP%");
    PostMessageW(form->edtValueStr->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 0);
  });
  EXPECT_EQ(mrCancel, r);
  // The data module takes the fields only on OK; the fields follow the
  // controls all the same.
  EXPECT_EQ(L"%TEMP%", dm->EditString);
  DWORD type = 0, n = 0;
  std::wstring text;
  EXPECT_TRUE(ReadSetting(L"EditForm", L"EditTop", type, text, n));
}

TEST_F(EditValueTest, IntegerOpensOnHexadecimalWithTheThreeNumberPages) {
  dm->EditValueType = 3;
  dm->EditInteger = 255;
  TModalResult r = RunModal(form, [&] {
    EXPECT_EQ(form->tbsHex, form->pagEditFormat->GetActivePage());
    EXPECT_EQ((std::vector<TTabSheet*>{form->tbsHex, form->tbsBinary, form->tbsDecimal}), VisibleTabs());
    // Tabs that outgrow the strip wrap into rows instead of scrolling.
    EXPECT_TRUE(GetWindowLongW(form->pagEditFormat->GetHandle(), GWL_STYLE) & TCS_MULTILINE);
    EXPECT_EQ(form->edtValueHex, form->GetActiveControl());
    EXPECT_EQ(255, form->edtValueHex->GetAsInteger());
    EXPECT_EQ(L"255", form->edtValueDec->GetText());
    EXPECT_EQ(255, form->GetEditedNumber());
    form->btnOk->Click();
  });
  EXPECT_EQ(mrOk, r);
  EXPECT_EQ(255, dm->EditInteger);
}

TEST_F(EditValueTest, DecimalEntryShowsOnTheBinaryPageAndIsStored) {
  dm->EditValueType = 3;
  dm->EditInteger = 7;
  TModalResult r = RunModal(form, [&] {
    form->pagEditFormat->SelectNextPage(true);  // Binary
    form->pagEditFormat->SelectNextPage(true);  // Decimal
    ASSERT_EQ(form->tbsDecimal, form->pagEditFormat->GetActivePage());
    Retype(form->edtValueDec, L"255");
    EXPECT_EQ(255, form->GetEditedNumber());
    form->pagEditFormat->SelectNextPage(false);  // back to Binary
    ASSERT_EQ(form->tbsBinary, form->pagEditFormat->GetActivePage());
    String bin = form->edtValueBin->GetText();
    while (bin.size() > 1 && bin[0] == L'0') bin.erase(0, 1);
    EXPECT_EQ(L"11111111", bin);
    EXPECT_EQ(255, form->edtValueHex->GetAsInteger());
    form->btnOk->Click();
  });
  EXPECT_EQ(mrOk, r);
  EXPECT_EQ(255, dm->EditInteger);
}

TEST_F(EditValueTest, EmptyOrDollarOnlyHexadecimalIsZero) {
  dm->EditValueType = 3;
  dm->EditInteger = 1234;
  RunModal(form, [&] {
    // The texts as the window may hold them (typed, pasted or set).
    SetBoxText(form->edtValueHex, L"$");
    EXPECT_EQ(0, form->GetEditedNumber());
    Retype(form->edtValueHex, L"$1F");
    EXPECT_EQ(31, form->GetEditedNumber());
    SetBoxText(form->edtValueHex, L"");
    EXPECT_EQ(0, form->GetEditedNumber());
    form->btnOk->Click();
  });
  EXPECT_EQ(0, dm->EditInteger);
}

TEST_F(EditValueTest, NegativeNumbersGoInSignExtendedAndComeBackAsTheSame32Bits) {
  dm->EditValueType = 3;
  dm->EditInteger = -2;
  RunModal(form, [&] {
    EXPECT_EQ(L"-2", form->edtValueDec->GetText());
    EXPECT_EQ(-2, form->edtValueHex->GetAsInteger());
    EXPECT_EQ(-2, form->edtValueBin->GetAsInteger());
    // The unsigned reading of the same 32 bits is accepted as well.
    form->pagEditFormat->SelectNextPage(false);  // Decimal (wraps)
    Retype(form->edtValueDec, L"4294967295");
    EXPECT_FALSE(form->NumberOutOfRange());
    EXPECT_EQ(-1, form->GetEditedNumber());
    form->btnOk->Click();
  });
  EXPECT_EQ(-1, dm->EditInteger);
  EXPECT_TRUE(Messages().Texts.empty());
}

TEST_F(EditValueTest, NumbersBeyond32BitsAreRefusedNotCutToTheirLowBits) {
  dm->EditValueType = 3;
  dm->EditInteger = 5;
  TModalResult r = RunModalSteps(form, {
      [&] {
        form->pagEditFormat->SelectNextPage(false);  // Decimal
        Retype(form->edtValueDec, L"4294967296");
        EXPECT_TRUE(form->NumberOutOfRange());
        // The digits before the last one made a number that fits.
        EXPECT_EQ(429496729, form->GetEditedNumber());
        // Neither another page nor OK takes it.
        form->pagEditFormat->SelectNextPage(true);
        EXPECT_EQ(form->tbsDecimal, form->pagEditFormat->GetActivePage());
        EXPECT_EQ(1u, Messages().Texts.size());
        form->btnOk->Click();
      },
      [&] {
        EXPECT_TRUE(form->GetVisible());
        EXPECT_EQ(2u, Messages().Texts.size());
        // A number that fits is taken again.
        Retype(form->edtValueDec, L"-2147483648");
        EXPECT_FALSE(form->NumberOutOfRange());
        form->btnOk->Click();
      }});
  EXPECT_EQ(mrOk, r);
  EXPECT_EQ(INT32_MIN, dm->EditInteger);
  ASSERT_FALSE(Messages().Texts.empty());
  EXPECT_EQ(TfrmEditValue::OutOfRangeText, Messages().Texts[0]);
}

TEST_F(EditValueTest, HexadecimalBeyond32BitsIsRefusedToo) {
  dm->EditValueType = 3;
  dm->EditInteger = 5;
  RunModal(form, [&] {
    // Typing stops at eight digits; a longer text can still be set.
    Retype(form->edtValueHex, L"$123456789");
    EXPECT_EQ(0x12345678, form->GetEditedNumber());
    SetBoxText(form->edtValueHex, L"$100000000");
    EXPECT_TRUE(form->NumberOutOfRange());
    Retype(form->edtValueHex, L"$FFFFFFFF");
    EXPECT_FALSE(form->NumberOutOfRange());
    EXPECT_EQ(-1, form->GetEditedNumber());
    form->btnOk->Click();
  });
  EXPECT_EQ(-1, dm->EditInteger);
}

// The box never makes a lone "-" itself (the sign key gives "-0"), but
// deleting the 0 after it leaves one: the conversion error is shown and the
// number keeps its value; a number typed after it is taken again.
TEST_F(EditValueTest, ALoneMinusShowsTheConversionErrorAndKeepsThePreviousNumber) {
  dm->EditValueType = 3;
  dm->EditInteger = 42;
  RunModal(form, [&] {
    form->pagEditFormat->SelectNextPage(false);  // Decimal
    ASSERT_EQ(form->tbsDecimal, form->pagEditFormat->GetActivePage());
    testsupport::Click(testsupport::ClientCentre(form->edtValueDec->GetHandle()));
    ASSERT_EQ(form->edtValueDec->GetHandle(), GetFocus());
    SendMessageW(form->edtValueDec->GetHandle(), EM_SETSEL, 0, -1);
    testsupport::TypeText(L"-5");
    EXPECT_EQ(L"-5", form->edtValueDec->GetText());
    EXPECT_EQ(-5, form->GetEditedNumber());
    EXPECT_TRUE(ShownExceptions().empty());
    testsupport::PressKey(VK_BACK);
    EXPECT_EQ(L"-", form->edtValueDec->GetText());
    ASSERT_EQ(1u, ShownExceptions().size());
    EXPECT_NE(std::wstring::npos, ShownExceptions()[0].find(L"'-' is not a valid integer value"));
    EXPECT_EQ(-5, form->GetEditedNumber());
    testsupport::TypeText(L"17");
    EXPECT_EQ(L"-17", form->edtValueDec->GetText());
    EXPECT_EQ(-17, form->GetEditedNumber());
    testsupport::PressKey(VK_BACK);
    testsupport::PressKey(VK_BACK);
    EXPECT_EQ(2u, ShownExceptions().size());
    EXPECT_EQ(-1, form->GetEditedNumber());
    form->btnOk->Click();
  });
  // OK takes the last number the box held.
  EXPECT_EQ(-1, dm->EditInteger);
  ShownExceptions().clear();
}

TEST_F(EditValueTest, CancelClosesWithoutAQuestionEvenOutOfRange) {
  dm->EditValueType = 3;
  dm->EditInteger = 9;
  TModalResult r = RunModal(form, [&] {
    form->pagEditFormat->SelectNextPage(false);  // Decimal
    Retype(form->edtValueDec, L"-9999999999");
    EXPECT_TRUE(form->NumberOutOfRange());
    form->btnCancel->Click();
  });
  EXPECT_EQ(mrCancel, r);
  // The fields get the last number that fitted; the data module ignores
  // them after Cancel.
  EXPECT_EQ(-999999999, dm->EditInteger);
  EXPECT_TRUE(Messages().Texts.empty());
}

TEST_F(EditValueTest, PositionComesFromTheSettings) {
  dm->SetOption(L"EditTop", 120);
  dm->SetOption(L"EditLeft", 80);
  dm->EditValueType = 1;
  RunModal(form, [&] {
    EXPECT_EQ(120, form->GetTop());
    EXPECT_EQ(80, form->GetLeft());
    form->btnCancel->Click();
  });
}

}  // namespace

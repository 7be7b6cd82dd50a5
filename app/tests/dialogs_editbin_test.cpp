// The binary value editor on a real window: the bytes in and out, the
// caret and overwrite mode, and its stored position and size.
#include "app/EditValueBin.h"
#include "app/tests/dialogs_support.h"

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

TEST_F(EditBinTest, EmptyValueOpensWithOverwriteModeAndCancelStillCopies) {
  dm->EditBinary.clear();
  TModalResult r = RunModal(form, [&] {
    EXPECT_EQ(0, form->heValue->GetDataSize());
    EXPECT_FALSE(form->heValue->GetInsertMode());
    form->btnCancel->Click();
  });
  EXPECT_EQ(mrCancel, r);
  EXPECT_EQ(std::string(), dm->EditBinary);
}

TEST_F(EditBinTest, FirstShowHasTheDefaultSizeAndCloseStoresTheGeometry) {
  dm->EditBinary = "x";
  RunModal(form, [&] {
    EXPECT_EQ(417, form->GetWidth());
    EXPECT_EQ(359, form->GetHeight());
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
  // The next show puts it back there.
  RunModal(form, [&] {
    EXPECT_EQ(500, form->GetWidth());
    EXPECT_EQ(30, form->GetTop());
    // The controls follow the size (anchored).
    EXPECT_GT(form->heValue->GetWidth(), 450);
    EXPECT_GT(form->btnCancel->GetLeft(), 400);
    form->btnCancel->Click();
  });
}

}  // namespace

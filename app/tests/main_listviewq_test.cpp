// The list view with sortable columns and a stored layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/ListViewQ.h"
#include "classlib/Filer.h"
#include "classlib/Forms.h"
#include "classlib/Registry.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "testsupport/Registry.h"

using testsupport::Pump;

namespace {

class ListViewQTest : public testsupport::ScratchKeyTest {
 protected:
  ListViewQTest() : ScratchKeyTest(L"app") {}
  std::unique_ptr<TForm> Form;
  TListViewQ* List = nullptr;

  void SetUp() override {
    ScratchKeyTest::SetUp();
    LayoutKey = Path();
    Form.reset(new TForm(Application));
    Form->SetBounds(10, 10, 400, 300);
    List = new TListViewQ(Form.get());
    List->SetParent(Form.get());
    List->SetAlign(alClient);
    List->SetViewStyle(vsReport);
    List->RegistryKey = LayoutKey;
    for (const wchar_t* c : {L"Name", L"Value"}) {
      TListColumn* col = List->Columns()->Add();
      col->SetCaption(c);
      col->SetWidth(100);
    }
    for (const wchar_t* n : {L"item9", L"item10", L"Beta", L"alpha"}) {
      TListItem* it = List->Items()->Add();
      it->SetCaption(n);
      it->SubItems()->Add(String(L"v_") + n);
    }
    Form->Show();
    Pump(10);
  }
  void TearDown() override {
    Form.reset();
    ScratchKeyTest::TearDown();
  }
  String LayoutKey;  // the scratch key
  std::vector<String> Captions() {
    std::vector<String> v;
    for (int i = 0; i < List->Items()->GetCount(); ++i) v.push_back(List->Items()->GetItem(i)->GetCaption());
    return v;
  }
};

TEST_F(ListViewQTest, ColumnSortMarksAndReverses) {
  EXPECT_TRUE(List->DoColumnSort(0, true));
  EXPECT_EQ(List->Columns()->GetItem(0)->GetCaption(), L"Name +");
  std::vector<String> up = Captions();
  // Text order, not numbers: item10 before item9.
  auto pos = [&up](const wchar_t* s) { return std::find(up.begin(), up.end(), s) - up.begin(); };
  EXPECT_LT(pos(L"item10"), pos(L"item9"));
  EXPECT_TRUE(List->DoColumnSort(0, false));
  EXPECT_EQ(List->Columns()->GetItem(0)->GetCaption(), L"Name -");
  std::vector<String> down = Captions();
  std::reverse(down.begin(), down.end());
  EXPECT_EQ(down, up);
  EXPECT_TRUE(List->DoColumnSort(1, true));
  EXPECT_EQ(List->Columns()->GetItem(0)->GetCaption(), L"Name");
  EXPECT_EQ(List->Columns()->GetItem(1)->GetCaption(), L"Value +");
  // Out of range: nothing changes.
  EXPECT_FALSE(List->DoColumnSort(2, true));
  EXPECT_EQ(List->SortColumn, 1);
  // An insertion forgets the sort and its mark.
  List->Items()->Add()->SetCaption(L"zz");
  EXPECT_EQ(List->SortColumn, -1);
  EXPECT_EQ(List->Columns()->GetItem(1)->GetCaption(), L"Value");

  // So does an accepted in-place edit of a caption, typed by the user.
  ASSERT_TRUE(List->DoColumnSort(0, false));
  SetForegroundWindow(Form->GetHandle());
  List->SetFocus();
  ASSERT_TRUE(testsupport::PumpUntil([&] { return GetFocus() == List->GetHandle(); }, 3000));
  TListItem* it = List->Items()->GetItem(0);
  ASSERT_TRUE(it->EditCaption());
  HWND edit = HWND(SendMessageW(List->GetHandle(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_TRUE(edit);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return GetFocus() == edit; }, 3000));
  testsupport::TypeText(L"renamed");
  testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(edit); }, 3000));
  EXPECT_EQ(it->GetCaption(), L"renamed");
  EXPECT_EQ(List->SortColumn, -1);
  EXPECT_TRUE(List->SortAscending);
  EXPECT_EQ(List->Columns()->GetItem(0)->GetCaption(), L"Name");
}

TEST_F(ListViewQTest, ColumnsMadeBeforeTheWindowShowOnceAfterItIsMadeAgain) {
  auto headerCount = [this] {
    HWND header = reinterpret_cast<HWND>(SendMessageW(List->GetHandle(), LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  };
  EXPECT_EQ(headerCount(), 2);
  // Style changes that make the window anew.
  List->SetColumnClick(!List->GetColumnClick());
  Pump(10);
  EXPECT_EQ(headerCount(), 2);
  List->SetMultiSelect(!List->GetMultiSelect());
  Pump(10);
  EXPECT_EQ(headerCount(), 2);
  EXPECT_EQ(List->Columns()->GetItem(1)->GetCaption(), L"Value");
}

TEST_F(ListViewQTest, ColumnSizesText) {
  EXPECT_EQ(List->GetColumnSizeString(), L"100,100");
  List->SetColumnSizes(L"120,130,140");
  EXPECT_EQ(List->GetColumnSizeString(), L"120,130");
  List->SetColumnSizes(L"90");
  EXPECT_EQ(List->GetColumnSizeString(), L"90,130");
  List->SetColumnSizes(L"");
  EXPECT_EQ(List->GetColumnSizeString(), L"90,130");
  EXPECT_THROW(List->SetColumnSizes(L"5,x"), EConvertError);
}

TEST_F(ListViewQTest, LayoutRoundTripAndDamagedValues) {
  // A first load creates the key and sorts by the first column.
  List->LoadOptions();
  EXPECT_EQ(List->SortColumn, 0);
  EXPECT_EQ(List->Columns()->GetItem(0)->GetCaption(), L"Name +");
  List->Columns()->GetItem(1)->SetWidth(77);
  List->DoColumnSort(1, false);
  List->SetViewStyle(vsList);
  List->SaveOptions();
  {
    TRegistry r(KEY_READ);
    r.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(r.OpenKeyReadOnly(LayoutKey));
    EXPECT_EQ(r.ReadString(L"ColumnSizes"), L"100,77");
    EXPECT_EQ(r.ReadInteger(L"SortColumn"), 1);
    EXPECT_EQ(r.ReadString(L"SortAscending"), L"0");
    EXPECT_EQ(r.ReadInteger(L"ViewStyle"), 2);
  }
  List->Columns()->GetItem(1)->SetWidth(50);
  List->SetViewStyle(vsReport);
  List->InitSort();
  List->LoadOptions();
  EXPECT_EQ(List->Columns()->GetItem(1)->GetWidth(), 77);
  EXPECT_EQ(List->SortColumn, 1);
  EXPECT_FALSE(List->SortAscending);
  EXPECT_EQ(List->GetViewStyle(), vsList);
  // Damaged values: the list keeps what it has and loads the rest.
  {
    TRegistry r;
    r.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(r.OpenKey(LayoutKey, false));
    r.WriteString(L"ColumnSizes", L"zz,1");
    r.WriteString(L"SortColumn", L"nope");
    r.WriteInteger(L"ViewStyle", 42);
  }
  List->LoadOptions();
  EXPECT_EQ(List->Columns()->GetItem(1)->GetWidth(), 77);
  EXPECT_EQ(List->GetViewStyle(), vsList);
  EXPECT_EQ(List->SortColumn, 0);
}

TEST(ListViewQDesign, RegisteredOnQuorvelAndItsPropertiesStreamed) {
  ListViewQ::Register();
  ListViewQ::Register();  // again: still once
  // The page is shared: the data module puts its store there too.
  const std::vector<String> onPage = ComponentsOnPage(L"Quorvel");
  EXPECT_EQ(std::count(onPage.begin(), onPage.end(), String(L"TListViewQ")), 1);

  TListViewQ src(nullptr);
  src.SetName(L"lvDesigned");
  src.AutoColumnSort = true;
  src.RegistryKey = L"Software\\Quorvel\\Zembrio\\ListViews\\Values";
  src.ShowSortIndicator = false;
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&src);
  std::unique_ptr<TComponent> made(FindClass(L"TListViewQ")(nullptr));
  auto* dst = dynamic_cast<TListViewQ*>(made.get());
  ASSERT_NE(dst, nullptr);
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(dst);
  EXPECT_TRUE(dst->AutoColumnSort);
  EXPECT_EQ(dst->RegistryKey, src.RegistryKey);
  EXPECT_FALSE(dst->ShowSortIndicator);

  // Defaults are left out of the stream.
  TListViewQ plain(nullptr);
  plain.SetName(L"lvPlain");
  TMemoryStream m2;
  TWriter(&m2).WriteRootComponent(&plain);
  const char* p = static_cast<const char*>(m2.Memory());
  std::string bytes(p, size_t(m2.GetSize()));
  for (const char* name : {"AutoColumnSort", "RegistryKey", "ShowSortIndicator"})
    EXPECT_EQ(bytes.find(name), std::string::npos) << name;
}

}  // namespace

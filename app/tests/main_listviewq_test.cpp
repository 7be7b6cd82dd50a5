// The list view with sortable columns and a stored layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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

  // The list with the keyboard, its form in front.
  void FocusList() {
    SetForegroundWindow(Form->GetHandle());
    List->SetFocus();
    Pump(10);
  }

  // The rows chosen and the row with the focus, as the window keeps them.
  std::string Chosen() const {
    const HWND h = List->GetHandle();
    std::string s;
    for (int i = -1; (i = int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED))) >= 0;)
      s += std::to_string(i) + " ";
    return s + "focus " + std::to_string(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
  }

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

// A virtual list (the window keeps only the count and the marks) shows,
// sorts, deletes and finds its items as a list that holds them: a click
// selects, the marks go with their items when a header click sorts them
// and when an item above goes, typing finds an item by its caption's start,
// and emptying leaves the window no item.
TEST_F(ListViewQTest, AVirtualListShowsSortsDeletesAndFindsItsItems) {
  List->SetMultiSelect(true);
  List->AutoColumnSort = true;
  List->SetOwnerData(true);  // the shown window is made again
  Pump(10);
  const HWND h = List->GetHandle();
  ASSERT_NE(GetWindowLongPtrW(h, GWL_STYLE) & LVS_OWNERDATA, 0);
  auto shown = [h] {
    std::vector<String> v;
    for (int i = 0; i < int(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0)); ++i) {
      wchar_t name[32] = {}, value[32] = {};
      LVITEMW it{};
      it.pszText = name;
      it.cchTextMax = 32;
      SendMessageW(h, LVM_GETITEMTEXTW, WPARAM(i), LPARAM(&it));
      it.iSubItem = 1;
      it.pszText = value;
      SendMessageW(h, LVM_GETITEMTEXTW, WPARAM(i), LPARAM(&it));
      v.push_back(String(name) + L"|" + value);
    }
    return v;
  };
  EXPECT_EQ(shown(), (std::vector<String>{L"item9|v_item9", L"item10|v_item10", L"Beta|v_Beta", L"alpha|v_alpha"}));
  SetForegroundWindow(Form->GetHandle());
  List->SetFocus();
  TListItem* beta = List->Items()->GetItem(2);
  TListItem* alpha = List->Items()->GetItem(3);
  auto click = [h](TListItem* Item, const std::vector<WORD>& Mods) {
    const TRect r = Item->DisplayRect(drLabel);
    testsupport::Click(testsupport::ScreenPoint(h, (r.left + r.right) / 2, (r.top + r.bottom) / 2), Mods);
    Pump(10);
  };
  click(beta, {});
  click(List->Items()->GetItem(0), {VK_CONTROL});
  ASSERT_EQ(List->GetSelCount(), 2);
  ASSERT_TRUE(beta->GetSelected());

  RECT head{};
  const HWND header = reinterpret_cast<HWND>(SendMessageW(h, LVM_GETHEADER, 0, 0));
  SendMessageW(header, HDM_GETITEMRECT, 0, LPARAM(&head));
  testsupport::Click(testsupport::ScreenPoint(header, (head.left + head.right) / 2, (head.top + head.bottom) / 2));
  Pump(10);
  EXPECT_EQ(shown(), (std::vector<String>{L"alpha|v_alpha", L"Beta|v_Beta", L"item10|v_item10", L"item9|v_item9"}));
  std::vector<String> selected;
  for (TListItem* i = List->GetSelected(); i; i = List->GetNextItem(i, sdAll, TItemStates{isSelected}))
    selected.push_back(i->GetCaption());
  EXPECT_EQ(selected, (std::vector<String>{L"Beta", L"item9"}));
  EXPECT_EQ(List->GetItemFocused()->GetCaption(), L"item9");

  alpha->Delete();
  EXPECT_EQ(shown(), (std::vector<String>{L"Beta|v_Beta", L"item10|v_item10", L"item9|v_item9"}));
  EXPECT_TRUE(beta->GetSelected());
  EXPECT_FALSE(List->Items()->GetItem(1)->GetSelected());
  List->Items()->Add()->SetCaption(L"zeta");
  EXPECT_EQ(shown().back(), L"zeta|");

  click(beta, {});
  testsupport::TypeText(L"z");
  Pump(10);
  ASSERT_NE(List->GetSelected(), nullptr);
  EXPECT_EQ(List->GetSelected()->GetCaption(), L"zeta");
  EXPECT_EQ(List->GetSelCount(), 1);

  List->Items()->Clear();
  EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_TRUE(shown().empty());
}

// Rows chosen with keys and clicks come out in a virtual list as in a list
// that holds its items. A virtual list drops the rows chosen before when a
// key or a click chooses others (the window would visit every row to do
// it): a key that moves nowhere, a right click on the chosen rows and a
// click on one of them still leave what they leave in the other list. The
// selection's mark moves with its item when a header click sorts the rows,
// and typing, Ctrl+Shift keys and right clicks beside the rows replace
// many rows chosen as they do there.
TEST_F(ListViewQTest, AVirtualListChoosesRowsByKeysAndClicksAsAListOfItems) {
  List->SetMultiSelect(true);
  List->SetReadOnly(true);  // as the find results
  List->AutoColumnSort = true;
  for (int i = 0; i < 8; ++i) List->Items()->Add()->SetCaption(L"more" + IntToStr(i));
  auto play = [this] {
    // The same order for each list: more7 ... more0, item9, item10, Beta, alpha.
    List->DoColumnSort(0, false);
    List->InitSort();
    const HWND h = List->GetHandle();
    FocusList();
    std::vector<std::string> states;
    auto state = [&] {
      Pump(10);
      states.push_back(Chosen());
    };
    auto click = [&](int Row, std::vector<WORD> Mods = {}, testsupport::Button B = testsupport::Button::Left) {
      RECT r{};
      r.left = LVIR_LABEL;
      SendMessageW(h, LVM_GETITEMRECT, WPARAM(Row), LPARAM(&r));
      testsupport::Click(testsupport::ScreenPoint(h, (r.left + r.right) / 2, (r.top + r.bottom) / 2), Mods, B);
      state();
    };
    auto key = [&](WORD Vk, std::vector<WORD> Mods = {}) {
      testsupport::PressKey(Vk, Mods);
      state();
    };
    click(2);
    key(VK_DOWN);
    key(VK_DOWN, {VK_SHIFT});
    key(VK_DOWN, {VK_SHIFT});
    key(VK_UP, {VK_SHIFT});
    key(VK_DOWN, {VK_CONTROL});
    click(8, {VK_CONTROL});
    click(10, {VK_SHIFT});
    key(VK_END);
    key(VK_DOWN);
    key(VK_DOWN, {VK_SHIFT});
    key(VK_HOME, {VK_SHIFT});
    key(VK_UP);
    click(5, {}, testsupport::Button::Right);
    click(6);
    key(VK_NEXT);
    key(VK_PRIOR, {VK_SHIFT});
    key(VK_SPACE);
    click(9, {}, testsupport::Button::Right);
    RECT c{};
    GetClientRect(h, &c);
    const POINT beside = testsupport::ScreenPoint(h, 20, c.bottom - 4);
    testsupport::Click(beside);
    state();
    // A header click sorts by the captions: alpha, Beta, item10, item9,
    // more0 ... more7; the mark goes with more6 from row 1 to row 10.
    click(1);
    RECT head{};
    const HWND header = reinterpret_cast<HWND>(SendMessageW(h, LVM_GETHEADER, 0, 0));
    SendMessageW(header, HDM_GETITEMRECT, 0, LPARAM(&head));
    testsupport::Click(testsupport::ScreenPoint(header, (head.left + head.right) / 2, (head.top + head.bottom) / 2));
    state();
    click(0, {VK_SHIFT});
    // Many rows chosen, then replaced.
    auto type = [&](const wchar_t* Text) {
      testsupport::TypeText(Text);
      state();
    };
    click(3);
    key(VK_END, {VK_SHIFT});
    type(L"be");
    key(VK_END, {VK_SHIFT});
    Pump(1200);  // a new text to look for
    type(L"zz");
    key(VK_UP, {VK_CONTROL, VK_SHIFT});
    click(2);
    key(VK_END, {VK_SHIFT});
    key(VK_HOME, {VK_CONTROL, VK_SHIFT});
    key(VK_END, {VK_SHIFT});
    testsupport::Click(beside, {}, testsupport::Button::Right);
    state();
    click(4);
    key(VK_END, {VK_SHIFT});
    testsupport::Click(beside, {VK_SHIFT}, testsupport::Button::Right);
    state();
    return states;
  };
  const std::vector<std::string> held = play();
  ASSERT_EQ(held.size(), 37u);
  EXPECT_EQ(held[0], "2 focus 2");
  EXPECT_EQ(held[4], "3 4 focus 4");
  EXPECT_EQ(held[9], "11 focus 11");  // Down on the last row
  EXPECT_EQ(held[13], "0 1 2 3 4 5 6 7 8 9 10 11 focus 5");  // a right click on the chosen rows
  EXPECT_EQ(held[19], "focus 9");
  EXPECT_EQ(held[22], "0 1 2 3 4 5 6 7 8 9 10 focus 0");  // Shift+click from the mark after the sort
  EXPECT_EQ(held[25], "1 focus 1");                      // typed "be" after Shift+End
  List->SetOwnerData(true);
  Pump(10);
  ASSERT_NE(GetWindowLongPtrW(List->GetHandle(), GWL_STYLE) & LVS_OWNERDATA, 0);
  EXPECT_EQ(play(), held);
}

// A click on one of several chosen rows of a list that renames in place
// (the virtual list drops the others before the window sees the press)
// leaves that row alone chosen, and starts its rename or not, in a virtual
// list as in a list of items.
TEST_F(ListViewQTest, AClickOnOneOfSeveralChosenRowsOfAnEditableListActsAsInAListOfItems) {
  List->SetMultiSelect(true);
  List->SetReadOnly(false);
  auto play = [this] {
    const HWND h = List->GetHandle();
    FocusList();
    auto click = [&](int Row, std::vector<WORD> Mods = {}) {
      RECT r{};
      r.left = LVIR_LABEL;
      SendMessageW(h, LVM_GETITEMRECT, WPARAM(Row), LPARAM(&r));
      testsupport::Click(testsupport::ScreenPoint(h, (r.left + r.right) / 2, (r.top + r.bottom) / 2), Mods);
      Pump(GetDoubleClickTime() + 300);
    };
    click(0);
    click(1, {VK_CONTROL});
    click(0);
    const bool editing = List->IsEditing();
    if (editing) SendMessageW(h, LVM_CANCELEDITLABEL, 0, 0);
    return (editing ? "rename " : "no rename ") + Chosen();
  };
  const std::string held = play();
  EXPECT_TRUE(held.ends_with(" 0 focus 0")) << held;
  List->SetOwnerData(true);
  Pump(10);
  EXPECT_EQ(play(), held);
}

// A virtual list reports every row chosen or dropped at once as one
// change (and a run of rows chosen together as one): each row still
// reaches OnSelectItem, as in a list of items.
TEST_F(ListViewQTest, EveryRowChosenOrDroppedReachesOnSelectItem) {
  List->SetMultiSelect(true);
  for (int i = 0; i < 30; ++i) List->Items()->Add()->SetCaption(L"more" + IntToStr(i));
  std::map<TListItem*, bool> told;
  List->OnSelectItem = TLVSelectItemEvent([&](TObject*, TListItem* Item, bool Selected) { told[Item] = Selected; });
  auto play = [&] {
    told.clear();
    LVITEMW st{};
    st.stateMask = st.state = LVIS_SELECTED;
    SendMessageW(List->GetHandle(), LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&st));
    const auto chosen = std::count_if(told.begin(), told.end(), [](auto& t) { return t.second; });
    List->ClearSelection();
    const auto dropped = std::count_if(told.begin(), told.end(), [](auto& t) { return !t.second; });
    return std::to_string(chosen) + " chosen, " + std::to_string(dropped) + " dropped";
  };
  const std::string held = play();
  EXPECT_EQ(held, "34 chosen, 34 dropped");
  List->SetOwnerData(true);
  Pump(10);
  EXPECT_EQ(play(), held);
}

// In the small icons view the arrow keys move to the row beside or above
// or below, in a virtual list as in a list of items.
TEST_F(ListViewQTest, AVirtualListMovesByArrowsAmongSmallIcons) {
  List->SetMultiSelect(true);
  List->SetReadOnly(true);
  List->SetViewStyle(vsSmallIcon);
  for (int i = 0; i < 36; ++i) List->Items()->Add()->SetCaption(L"more" + IntToStr(i));
  auto play = [this] {
    const HWND h = List->GetHandle();
    FocusList();
    std::vector<std::string> states;
    auto state = [&] {
      Pump(10);
      states.push_back(Chosen() + " mark " + std::to_string(SendMessageW(h, LVM_GETSELECTIONMARK, 0, 0)));
    };
    auto key = [&](WORD Vk, std::vector<WORD> Mods = {}) {
      testsupport::PressKey(Vk, Mods);
      state();
    };
    RECT r{};
    r.left = LVIR_LABEL;
    SendMessageW(h, LVM_GETITEMRECT, 5, LPARAM(&r));
    testsupport::Click(testsupport::ScreenPoint(h, (r.left + r.right) / 2, (r.top + r.bottom) / 2));
    state();
    for (WORD k : {VK_DOWN, VK_RIGHT, VK_LEFT, VK_LEFT, VK_UP, VK_LEFT, VK_LEFT, VK_LEFT, VK_UP}) key(k);
    key(VK_DOWN, {VK_SHIFT});
    key(VK_RIGHT, {VK_SHIFT});
    key(VK_DOWN, {VK_CONTROL});
    key(VK_RIGHT, {VK_CONTROL, VK_SHIFT});
    key(VK_END);
    key(VK_DOWN);
    key(VK_UP, {VK_SHIFT});
    return states;
  };
  const std::vector<std::string> held = play();
  List->SetOwnerData(true);
  Pump(10);
  ASSERT_NE(GetWindowLongPtrW(List->GetHandle(), GWL_STYLE) & LVS_OWNERDATA, 0);
  EXPECT_EQ(play(), held);
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
  // Once, whatever else the program's other parts put on the page.
  const std::vector<String> page = ComponentsOnPage(L"Quorvel");
  EXPECT_EQ(std::count(page.begin(), page.end(), String(L"TListViewQ")), 1);

  TListViewQ src(nullptr);
  src.SetName(L"lvDesigned");
  src.AutoColumnSort = true;
  src.RegistryKey = L"Software\\Quorvel\\Zembrio\\ListViews\\Values";
  src.ShowSortIndicator = false;
  // Its items too, in their order.
  for (const wchar_t* n : {L"b", L"a"}) {
    TListItem* it = src.Items()->Add();
    it->SetCaption(n);
    it->SetImageIndex(3);
    it->SubItems()->Add(String(L"v_") + n);
  }
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
  ASSERT_EQ(dst->Items()->GetCount(), 2);
  EXPECT_EQ(dst->Items()->GetItem(0)->GetCaption(), L"b");
  EXPECT_EQ(dst->Items()->GetItem(1)->GetImageIndex(), 3);
  EXPECT_EQ(dst->Items()->GetItem(1)->SubItems()->GetText(), L"v_a\r\n");

  // Defaults are left out of the stream.
  TListViewQ plain(nullptr);
  plain.SetName(L"lvPlain");
  TMemoryStream m2;
  TWriter(&m2).WriteRootComponent(&plain);
  const char* p = static_cast<const char*>(m2.Memory());
  std::string bytes(p, size_t(m2.GetSize()));
  for (const char* name : {"AutoColumnSort", "RegistryKey", "ShowSortIndicator", "Items"})
    EXPECT_EQ(bytes.find(name), std::string::npos) << name;
}

}  // namespace

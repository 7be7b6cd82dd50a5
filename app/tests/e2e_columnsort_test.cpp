// Column headers of the main window's values list clicked with the mouse:
// shipped without header clicks; with them on, sorting by the clicked
// column and its direction mark, or only the click event when the list
// does not sort by itself.
#include <commctrl.h>

#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"

using namespace e2e;

namespace {

class ColumnSortE2E : public EditorTest {
 protected:
  // The test's values in list order (the key's default value, always
  // listed, left out).
  std::vector<String> Names() {
    std::vector<String> v;
    TListItems* items = Window->lvKeyValues->Items();
    for (int i = 0; i < items->GetCount(); ++i)
      if (items->GetItem(i)->GetCaption().size() == 1) v.push_back(items->GetItem(i)->GetCaption());
    return v;
  }
  std::vector<String> Headers() {
    std::vector<String> v;
    TListColumns* cols = Window->lvKeyValues->Columns();
    for (int i = 0; i < cols->GetCount(); ++i) v.push_back(cols->GetItem(i)->GetCaption());
    return v;
  }
  // Clicks a column's header button near its middle; each click lands
  // apart from the one before, so that two are never one double click.
  void ClickHeader(int Column) {
    HWND header = ListView_GetHeader(Window->lvKeyValues->GetHandle());
    ASSERT_NE(header, nullptr);
    RECT r{};
    ASSERT_TRUE(Header_GetItemRect(header, Column, &r));
    shift_ = shift_ > 0 ? -12 : 12;
    testsupport::Click(testsupport::ScreenPoint(header, (r.left + r.right) / 2 + shift_, (r.top + r.bottom) / 2));
    testsupport::Pump(1);
  }
  int shift_ = 0;
};

using Strings = std::vector<String>;

}  // namespace

TEST_F(ColumnSortE2E, HeaderClicksSortTheValuesAndMoveTheMark) {
  Write(Data, L"b", REG_SZ, Sz(L"3"));
  Write(Data, L"c", REG_SZ, Sz(L"1"));
  Write(Data, L"a", REG_SZ, Sz(L"2"));
  Start();
  ASSERT_NE(Open(), nullptr);
  SetForegroundWindow(Window->GetHandle());
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == Window->GetHandle(); }, 10000));
  TListViewQ* list = Window->lvKeyValues;
  ASSERT_EQ(Headers(), (Strings{L"Name", L"Value"}));  // freshly listed: no sort, no mark
  const Strings listed = Names();
  ASSERT_EQ(listed.size(), 3u);

  // As shipped the headers are no buttons: a click sorts nothing.
  ClickHeader(1);
  EXPECT_EQ(Names(), listed);
  EXPECT_EQ(Headers(), (Strings{L"Name", L"Value"}));

  list->SetColumnClick(true);
  list->AutoColumnSort = true;
  ClickHeader(1);
  EXPECT_EQ(Headers(), (Strings{L"Name", L"Value +"}));
  EXPECT_EQ(Names(), (Strings{L"c", L"a", L"b"}));
  ClickHeader(1);
  EXPECT_EQ(Headers(), (Strings{L"Name", L"Value -"}));
  EXPECT_EQ(Names(), (Strings{L"b", L"a", L"c"}));
  ClickHeader(0);  // another column: ascending, and the mark moves there
  EXPECT_EQ(Headers(), (Strings{L"Name +", L"Value"}));
  EXPECT_EQ(Names(), (Strings{L"a", L"b", L"c"}));

  // Without sorting of its own the list only reports the click.
  list->AutoColumnSort = false;
  std::vector<int> clicked;
  list->OnColumnClick = [&](TObject*, TListColumn* c) { clicked.push_back(c->GetIndex()); };
  ClickHeader(1);
  list->OnColumnClick = nullptr;
  EXPECT_EQ(clicked, std::vector<int>{1});
  EXPECT_EQ(Headers(), (Strings{L"Name +", L"Value"}));
  EXPECT_EQ(Names(), (Strings{L"a", L"b", L"c"}));
}

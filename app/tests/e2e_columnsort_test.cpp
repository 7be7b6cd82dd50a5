// Column headers of the main window's values list clicked with the mouse:
// shipped without header clicks; with them on, sorting by the clicked
// column and its direction mark, or only the click event when the list
// does not sort by itself.
#include <commctrl.h>

#include <algorithm>

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
  // Clicks a column's header button; each click lands
  // apart from the one before, so that two are never one double click.
  void ClickHeader(int Column, TListViewQ* List = nullptr) {
    HWND header = ListView_GetHeader((List ? List : Window->lvKeyValues)->GetHandle());
    ASSERT_NE(header, nullptr);
    RECT r{};
    ASSERT_TRUE(Header_GetItemRect(header, Column, &r));
    shift_ = shift_ > 0 ? -12 : 12;
    // Near the start of a wide button (the last fills the list and more).
    const int x = int(r.left + std::min<LONG>((r.right - r.left) / 2, 40)) + shift_;
    testsupport::Click(testsupport::ScreenPoint(header, x, (r.top + r.bottom) / 2));
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

// A click on a find-results header sorts the hits by that column in the
// locale's word order, case-sensitive, as the system compares two texts
// (item10 before item9, accents and case after the letter), hits of equal
// texts in the order they had; a second click reverses it. The hourglass
// shows while the hits are sorted.
TEST_F(ColumnSortE2E, FindResultsSortAsTheSystemComparesTheirTextsUnderTheHourglass) {
  Start();
  TListViewQ* list = Window->lvFindResults;
  Window->pagExtras->SetActivePage(Window->tbsFindResults);
  const std::vector<const wchar_t*> names = {L"item9", L"dup", L"item10", L"Eclair", L"\u00e9clair", L"eclair", L"ab",
                                             L"a-b",   L"",    L"Item9",  L"zeta",   L"Zeta",       L"dup",   L"_x"};
  Window->SearchStarted();
  for (size_t i = 0; i < names.size(); ++i)
    Window->AddFindResult(
        new TSearchHit{hkValueName, RegRoot::CurrentUser, L"\\K" + std::to_wstring(i) + L"\\", names[i], String()});
  // Key names found: no value, an empty Value column.
  for (const wchar_t* key : {L"\\Keys\\B\\", L"\\Keys\\A\\"})
    Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, key, String(), String()});
  Window->SearchFinished();
  SetForegroundWindow(Window->GetHandle());
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == Window->GetHandle(); }, 10000));
  auto rows = [&] {
    std::vector<TListItem*> v;
    for (int i = 0; i < list->Items()->GetCount(); ++i) v.push_back(list->Items()->GetItem(i));
    return v;
  };
  // The cursor the window shows while the sort reads the texts.
  TCursor during = crDefault;
  const TListViewQ::TSortTextSource source = list->SortTextSource;
  list->SortTextSource = [&](TListItem* Item, int Column) {
    during = Screen->GetCursor();
    return source(Item, Column);
  };
  for (const auto& [column, ascending] : std::vector<std::pair<int, bool>>{{2, true}, {2, false}, {1, true}}) {
    // The rows as they were, each moved past those the system puts after it.
    std::vector<TListItem*> want = rows();
    std::stable_sort(want.begin(), want.end(), [&, column = column, ascending = ascending](TListItem* a, TListItem* b) {
      const String ta = a->SubItems()->Get(column - 1), tb = b->SubItems()->Get(column - 1);
      const int r = CompareStringW(LOCALE_USER_DEFAULT, 0, ta.c_str(), int(ta.size()), tb.c_str(), int(tb.size())) - 2;
      return ascending ? r < 0 : r > 0;
    });
    during = crDefault;
    ClickHeader(column, list);
    EXPECT_TRUE(rows() == want) << column << ascending;
    EXPECT_EQ(list->SortColumn, column);
    EXPECT_EQ(during, crHourGlass);
    EXPECT_EQ(Screen->GetCursor(), crDefault);
  }
  list->SortTextSource = source;
}

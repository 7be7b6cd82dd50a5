// Common controls, drawing, image lists, clipboard, dialogs and timers on
// real windows.
#include "classlib/Clipbrd.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Filer.h"
#include "classlib/Thread.h"
#include "classlib/tests/gui_support.h"

using namespace guitest;

namespace {

std::unique_ptr<TForm> HostForm(int w = 500, int h = 400) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBorderStyle(bsNone);
  f->SetBounds(20, 20, w, h);
  return f;
}

struct Record : TObject {
  explicit Record(int v, int* freed) : value(v), freed(freed) {}
  ~Record() override { ++*freed; }
  int value;
  int* freed;
};

TListView* ReportList(TForm* f) {
  auto* lv = new TListView(f);
  lv->SetParent(f);
  lv->SetAlign(alClient);
  lv->SetViewStyle(vsReport);
  lv->SetMultiSelect(true);
  lv->SetHideSelection(false);
  auto* c1 = lv->Columns()->Add();
  c1->SetCaption(L"Name");
  c1->SetWidth(150);
  auto* c2 = lv->Columns()->Add();
  c2->SetCaption(L"Value");
  c2->SetWidth(200);
  c2->SetAlignment(taRightJustify);
  return lv;
}

// Reads a cell as the control shows it.
String CellText(TListView* lv, int item, int sub) {
  wchar_t buf[256] = {};
  LVITEMW it{};
  it.iSubItem = sub;
  it.pszText = buf;
  it.cchTextMax = 256;
  SendMessageW(lv->GetHandle(), LVM_GETITEMTEXTW, WPARAM(item), LPARAM(&it));
  return buf;
}

}  // namespace

// --- list view --------------------------------------------------------------

TEST(GuiListView, ItemsSubItemsAndDataRoundTrip) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  int freed = 0;
  for (int i = 0; i < 5; ++i) {
    TListItem* it = lv->Items()->Add();
    it->SetCaption(L"item" + std::to_wstring(i));
    it->SubItems()->Add(L"v\u00e4lue " + std::to_wstring(i * 10));
    it->SetData(new Record(i, &freed));
  }
  lv->OnDeletion = [](TObject*, TListItem* item) { delete static_cast<Record*>(item->GetData()); };
  f->Show();
  ASSERT_EQ(5, int(SendMessageW(lv->GetHandle(), LVM_GETITEMCOUNT, 0, 0)));
  EXPECT_EQ(L"item3", CellText(lv, 3, 0));
  EXPECT_EQ(L"v\u00e4lue 30", CellText(lv, 3, 1));
  EXPECT_EQ(3, static_cast<Record*>(lv->Items()->GetItem(3)->GetData())->value);
  // Changing a sub-item shows at once.
  lv->Items()->GetItem(1)->SubItems()->Put(0, L"changed");
  EXPECT_EQ(L"changed", CellText(lv, 1, 1));
  // A missing sub-item is an empty cell.
  lv->Items()->GetItem(2)->SubItems()->Clear();
  EXPECT_EQ(L"", CellText(lv, 2, 1));

  lv->Items()->Delete(0);
  EXPECT_EQ(1, freed);
  EXPECT_EQ(L"item1", CellText(lv, 0, 0));
  lv->Items()->GetItem(0)->Delete();
  EXPECT_EQ(2, freed);
  lv->Items()->Clear();
  EXPECT_EQ(5, freed);
  EXPECT_EQ(0, int(SendMessageW(lv->GetHandle(), LVM_GETITEMCOUNT, 0, 0)));

  // Items still in the list when the control goes are passed to OnDeletion too.
  lv->Items()->Add()->SetData(new Record(9, &freed));
  f.reset();
  EXPECT_EQ(6, freed);
}

// Read back from its stream into as many columns and items, a list keeps
// the ones callers hold (with their data); with another count the items
// are made anew, once; a stream broken in its second column changes none.
TEST(GuiListView, StreamReadIntoAsManyColumnsAndItemsKeepsThem) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  lv->SetName(L"List1");
  int data = 0;
  for (const wchar_t* caption : {L"one", L"two"}) {
    TListItem* it = lv->Items()->Add();
    it->SetCaption(caption);
    it->SubItems()->Add(String(caption) + L" value");
    it->SetData(&data);
  }
  TMemoryStream saved;
  TWriter(&saved).WriteRootComponent(lv);
  auto readBack = [&](TMemoryStream& s) {
    s.SetPosition(0);
    TReader(&s).ReadRootComponent(lv);
  };
  TListColumn* name = lv->Columns()->GetItem(0);
  TListItem* first = lv->Items()->GetItem(0);
  name->SetWidth(90);
  first->SetCaption(L"renamed");
  first->SubItems()->Clear();
  readBack(saved);
  ASSERT_EQ(lv->Columns()->GetCount(), 2);
  EXPECT_EQ(lv->Columns()->GetItem(0), name);
  EXPECT_EQ(name->GetWidth(), 150);
  ASSERT_EQ(lv->Items()->GetCount(), 2);
  EXPECT_EQ(lv->Items()->GetItem(0), first);
  EXPECT_EQ(first->GetCaption(), L"one");
  EXPECT_EQ(first->SubItems()->Get(0), L"one value");
  EXPECT_EQ(first->GetData(), &data);

  lv->Items()->Add()->SetCaption(L"three");
  int inserted = 0;
  lv->OnInsert = [&](TObject*, TListItem*) { ++inserted; };
  readBack(saved);
  ASSERT_EQ(lv->Items()->GetCount(), 2);
  EXPECT_EQ(inserted, 2);
  EXPECT_EQ(lv->Items()->GetItem(1)->GetCaption(), L"two");

  std::string bytes(static_cast<const char*>(saved.Memory()), static_cast<size_t>(saved.GetSize()));
  const size_t at = bytes.find("taRightJustify");
  ASSERT_NE(at, std::string::npos);
  bytes[at + 2] = 'X';
  TMemoryStream broken;
  broken.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  name->SetCaption(L"held");
  EXPECT_THROW(readBack(broken), EReadError);
  ASSERT_EQ(lv->Columns()->GetCount(), 2);
  EXPECT_EQ(lv->Columns()->GetItem(0), name);
  EXPECT_EQ(name->GetCaption(), L"held");
}

TEST(GuiListView, ColumnsStayOnceWhenTheWindowIsMadeAgain) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  f->Show();
  auto headerCount = [&] {
    return int(SendMessageW(reinterpret_cast<HWND>(SendMessageW(lv->GetHandle(), LVM_GETHEADER, 0, 0)),
                            HDM_GETITEMCOUNT, 0, 0));
  };
  lv->SetColumnClick(false);  // a style change makes the window again
  lv->Columns()->Add()->SetCaption(L"Third");
  EXPECT_EQ(headerCount(), 3);
  lv->Columns()->Delete(0);
  lv->SetColumnClick(true);
  EXPECT_EQ(headerCount(), 2);
}

TEST(GuiListView, ColumnsMadeBeforeTheWindowShowOnceThroughALayoutRestore) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  auto headers = [&] {
    HWND header = reinterpret_cast<HWND>(SendMessageW(lv->GetHandle(), LVM_GETHEADER, 0, 0));
    std::vector<String> names;
    const int n = int(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      wchar_t buf[64] = {};
      HDITEMW it{};
      it.mask = HDI_TEXT;
      it.pszText = buf;
      it.cchTextMax = 64;
      SendMessageW(header, HDM_GETITEMW, WPARAM(i), LPARAM(&it));
      names.push_back(buf);
    }
    return names;
  };
  const std::vector<String> want{L"Name", L"Value"};
  f->Show();
  EXPECT_EQ(want, headers());
  // A stored layout put back: widths, another view and back, the columns
  // made anew, the window made anew.
  lv->Columns()->GetItem(0)->SetWidth(90);
  lv->SetViewStyle(vsList);
  lv->SetViewStyle(vsReport);
  EXPECT_EQ(want, headers());
  lv->Columns()->Clear();
  lv->Columns()->Add()->SetCaption(L"Name");
  lv->Columns()->Add()->SetCaption(L"Value");
  EXPECT_EQ(want, headers());
  lv->SetRowSelect(true);
  EXPECT_EQ(want, headers());
}

TEST(GuiListView, SelectionFocusAndMultiSelect) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  for (auto s : {L"a", L"b", L"c", L"d"}) lv->Items()->Add()->SetCaption(s);
  // Selection made before the window exists carries over.
  lv->Items()->GetItem(1)->SetSelected(true);
  lv->Items()->GetItem(3)->SetSelected(true);
  lv->Items()->GetItem(3)->SetFocused(true);
  std::vector<std::pair<String, bool>> events;
  lv->OnSelectItem = [&](TObject*, TListItem* it, bool sel) { events.push_back({it->GetCaption(), sel}); };
  f->Show();
  EXPECT_EQ(2, lv->GetSelCount());
  EXPECT_EQ(lv->Items()->GetItem(1), lv->GetSelected());
  EXPECT_EQ(lv->Items()->GetItem(3), lv->GetItemFocused());
  EXPECT_EQ(lv->Items()->GetItem(3), lv->GetNextItem(lv->GetSelected(), sdAll, TItemStates{isSelected}));
  EXPECT_EQ(nullptr, lv->GetNextItem(lv->Items()->GetItem(3), sdAll, TItemStates{isSelected}));

  lv->Items()->GetItem(0)->SetSelected(true);
  EXPECT_EQ(3, lv->GetSelCount());
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(L"a", events.back().first);
  EXPECT_TRUE(events.back().second);
  lv->SetSelected(nullptr);
  EXPECT_EQ(0, lv->GetSelCount());

  // Re-created (multi-select off and on again), items and states survive.
  lv->Items()->GetItem(2)->SetSelected(true);
  lv->SetMultiSelect(false);
  EXPECT_EQ(4, lv->Items()->GetCount());
  EXPECT_EQ(lv->Items()->GetItem(2), lv->GetSelected());
  lv->Items()->GetItem(0)->SetSelected(true);
  EXPECT_EQ(1, lv->GetSelCount());  // single selection now
  EXPECT_EQ(L"d", CellText(lv, 3, 0));
}

TEST(GuiListView, InPlaceEditRespectsReadOnlyAndHandlers) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  lv->Items()->Add()->SetCaption(L"old");
  lv->Items()->Add()->SetCaption(L"locked");
  std::vector<String> editing;
  lv->OnEditing = [&](TObject*, TListItem* it, bool& allow) {
    editing.push_back(it->GetCaption());
    if (it->GetCaption() == L"locked") allow = false;
  };
  lv->OnEdited = [&](TObject*, TListItem*, String& s) { s = L"[" + s + L"]"; };
  f->Show();
  lv->SetFocus();
  Pump(50);
  TListItem* it = lv->Items()->GetItem(0);
  ASSERT_TRUE(it->EditCaption());
  HWND edit = HWND(SendMessageW(lv->GetHandle(), LVM_GETEDITCONTROL, 0, 0));
  ASSERT_TRUE(edit);
  SetWindowTextW(edit, L"n\u00eaw");
  // Enter ends the edit and accepts it.
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  Pump(50);
  EXPECT_EQ(L"[n\u00eaw]", it->GetCaption());
  EXPECT_EQ(L"[n\u00eaw]", CellText(lv, 0, 0));

  EXPECT_FALSE(lv->Items()->GetItem(1)->EditCaption());
  lv->SetReadOnly(true);
  EXPECT_FALSE(lv->Items()->GetItem(0)->EditCaption());
  std::vector<String> want{L"old", L"locked"};
  EXPECT_EQ(want, editing);
}

TEST(GuiListView, SortingThroughCompareHooks) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  for (auto s : {L"item9", L"item10", L"Beta", L"alpha"}) {
    TListItem* it = lv->Items()->Add();
    it->SetCaption(s);
    it->SubItems()->Add(String(L"#") + s);
  }
  f->Show();
  lv->AlphaSort();
  // Locale order: case folds together, digits compare as text.
  std::vector<String> got;
  for (int i = 0; i < 4; ++i) got.push_back(CellText(lv, i, 0));
  std::vector<String> want{L"alpha", L"Beta", L"item10", L"item9"};
  EXPECT_EQ(want, got);
  EXPECT_EQ(L"#alpha", CellText(lv, 0, 1));
  EXPECT_EQ(L"item10", lv->Items()->GetItem(2)->GetCaption());

  // OnCompare replaces the order (here: reverse).
  lv->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& r) {
    r = -lstrcmpW(a->GetCaption().c_str(), b->GetCaption().c_str());
  };
  lv->AlphaSort();
  EXPECT_EQ(L"item9", CellText(lv, 0, 0));
  EXPECT_EQ(L"item9", lv->Items()->GetItem(0)->GetCaption());

  // CustomSort hands the items and the caller's parameter to the callback.
  static LPARAM seenParam;
  auto bySub = [](LPARAM a, LPARAM b, LPARAM p) CALLBACK -> int {
    seenParam = p;
    return lstrcmpW(reinterpret_cast<TListItem*>(a)->SubItems()->Get(0).c_str(),
                    reinterpret_cast<TListItem*>(b)->SubItems()->Get(0).c_str());
  };
  EXPECT_TRUE(lv->CustomSort(bySub, 42));
  EXPECT_EQ(42, seenParam);
  EXPECT_EQ(L"alpha", CellText(lv, 0, 0));

  // A failing comparison leaves the list whole and reports the error.
  lv->OnCompare = [](TObject*, TListItem*, TListItem*, int, int&) { throw EConvertError(L"bad compare"); };
  EXPECT_THROW(lv->AlphaSort(), EConvertError);
  EXPECT_EQ(4, lv->Items()->GetCount());
  EXPECT_EQ(4, int(SendMessageW(lv->GetHandle(), LVM_GETITEMCOUNT, 0, 0)));
}

TEST(GuiListView, SortingSkipsTheWindowOnlyWhenNothingMoves) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  for (auto s : {L"a", L"b", L"c"}) lv->Items()->Add()->SetCaption(s);
  f->Show();
  TListItem* c = lv->Items()->GetItem(2);
  lv->AlphaSort();  // already in order
  EXPECT_EQ(L"a", CellText(lv, 0, 0));
  EXPECT_EQ(c, lv->Items()->GetItem(2));
  // One item out of place: model and window both follow.
  lv->Items()->Add()->SetCaption(L"0");
  lv->Items()->GetItem(1)->SetCaption(L"z");
  lv->AlphaSort();
  std::vector<String> got, model;
  for (int i = 0; i < 4; ++i) {
    got.push_back(CellText(lv, i, 0));
    model.push_back(lv->Items()->GetItem(i)->GetCaption());
  }
  std::vector<String> want{L"0", L"a", L"c", L"z"};
  EXPECT_EQ(want, got);
  EXPECT_EQ(want, model);
}

TEST(GuiListView, ColumnClickAndColumnWidths) {
  auto f = HostForm();
  TListView* lv = ReportList(f.get());
  std::vector<int> clicked;
  lv->OnColumnClick = [&](TObject*, TListColumn* c) { clicked.push_back(c->GetIndex()); };
  f->Show();
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = lv->GetHandle();
  nm.hdr.code = LVN_COLUMNCLICK;
  nm.iItem = -1;
  nm.iSubItem = 1;
  SendMessageW(f->GetHandle(), WM_NOTIFY, 0, LPARAM(&nm));
  ASSERT_EQ(1u, clicked.size());
  EXPECT_EQ(1, clicked[0]);
  EXPECT_EQ(150, lv->Columns()->GetItem(0)->GetWidth());
  lv->Columns()->GetItem(0)->SetWidth(90);
  EXPECT_EQ(90, int(SendMessageW(lv->GetHandle(), LVM_GETCOLUMNWIDTH, 0, 0)));
  lv->Columns()->GetItem(1)->SetCaption(L"Data");
  wchar_t buf[64] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = buf;
  col.cchTextMax = 64;
  SendMessageW(lv->GetHandle(), LVM_GETCOLUMNW, 1, LPARAM(&col));
  EXPECT_EQ(String(L"Data"), buf);
  // Widths survive a new window.
  lv->SetColumnClick(false);
  EXPECT_EQ(90, lv->Columns()->GetItem(0)->GetWidth());
}

// --- page control -----------------------------------------------------------

// Tabs that do not fit wrap into rows once MultiLine is set, on the window
// made anew: the pages move down below the rows, the active page stays and
// the user's tab selection still works.
TEST(GuiPageControl, MultiLineTabsWrapIntoRows) {
  auto f = HostForm();
  auto* pc = new TPageControl(f.get());
  pc->SetParent(f.get());
  pc->SetBounds(10, 10, 160, 120);
  TTabSheet* pages[6];
  for (int i = 0; i < 6; ++i) {
    pages[i] = new TTabSheet(f.get());
    pages[i]->SetPageControl(pc);
    pages[i]->SetCaption(L"Longer page " + std::to_wstring(i));
  }
  auto* box = new TEdit(f.get());
  box->SetParent(pages[3]);
  f->Show();
  pc->SetActivePageIndex(3);
  EXPECT_FALSE(pc->GetMultiLine());
  HWND before = pc->GetHandle();
  const TRect oneRow = pc->GetDisplayRect();
  EXPECT_EQ(1, int(SendMessageW(before, TCM_GETROWCOUNT, 0, 0)));

  pc->SetMultiLine(true);
  HWND after = pc->GetHandle();
  EXPECT_TRUE(GetWindowLongW(after, GWL_STYLE) & TCS_MULTILINE);
  EXPECT_GT(int(SendMessageW(after, TCM_GETROWCOUNT, 0, 0)), 1);
  const TRect rows = pc->GetDisplayRect();
  EXPECT_GT(rows.top, oneRow.top);
  EXPECT_EQ(rows, pages[3]->GetBoundsRect());
  EXPECT_EQ(pages[3], pc->GetActivePage());
  EXPECT_EQ(3, int(SendMessageW(after, TCM_GETCURSEL, 0, 0)));
  EXPECT_EQ(6, int(SendMessageW(after, TCM_GETITEMCOUNT, 0, 0)));
  EXPECT_EQ(pages[3]->GetHandle(), GetParent(box->GetHandle()));
  EXPECT_TRUE(IsWindowVisible(box->GetHandle()));

  // A click on the first tab's row selects it.
  RECT tab{};
  SendMessageW(after, TCM_GETITEMRECT, 0, LPARAM(&tab));
  MouseClick(pc, (tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
  EXPECT_TRUE(PumpUntil([&] { return pc->GetActivePage() == pages[0]; }));

  pc->SetMultiLine(false);
  EXPECT_FALSE(GetWindowLongW(pc->GetHandle(), GWL_STYLE) & TCS_MULTILINE);
  EXPECT_EQ(oneRow, pc->GetDisplayRect());
  EXPECT_EQ(pages[0], pc->GetActivePage());
}

TEST(GuiPageControl, SwitchingPagesAndTheChangingVeto) {
  auto f = HostForm();
  auto* pc = new TPageControl(f.get());
  pc->SetParent(f.get());
  pc->SetAlign(alClient);
  TTabSheet* pages[3];
  for (int i = 0; i < 3; ++i) {
    pages[i] = new TTabSheet(f.get());
    pages[i]->SetPageControl(pc);
    pages[i]->SetCaption(L"Page " + std::to_wstring(i));
  }
  f->Show();
  EXPECT_EQ(pages[0], pc->GetActivePage());
  EXPECT_EQ(3, int(SendMessageW(pc->GetHandle(), TCM_GETITEMCOUNT, 0, 0)));
  EXPECT_TRUE(pages[0]->GetVisible());
  EXPECT_FALSE(pages[1]->GetVisible());
  // Pages fill the display area.
  TRect d = pc->GetDisplayRect();
  EXPECT_EQ(d, pages[0]->GetBoundsRect());

  pc->SetActivePageIndex(2);
  EXPECT_EQ(pages[2], pc->GetActivePage());
  EXPECT_TRUE(pages[2]->GetVisible());
  EXPECT_FALSE(pages[0]->GetVisible());
  EXPECT_EQ(2, int(SendMessageW(pc->GetHandle(), TCM_GETCURSEL, 0, 0)));

  // The user's tab change asks OnChanging first, then reports OnChange.
  bool allow = false;
  int changes = 0;
  pc->OnChanging = [&](TObject*, bool& a) { a = allow; };
  pc->OnChange = [&](TObject*) { ++changes; };
  NMHDR nm{pc->GetHandle(), 0, UINT(TCN_SELCHANGING)};
  EXPECT_EQ(TRUE, SendMessageW(f->GetHandle(), WM_NOTIFY, 0, LPARAM(&nm)));
  allow = true;
  EXPECT_EQ(FALSE, SendMessageW(f->GetHandle(), WM_NOTIFY, 0, LPARAM(&nm)));
  SendMessageW(pc->GetHandle(), TCM_SETCURSEL, 1, 0);
  nm.code = UINT(TCN_SELCHANGE);
  SendMessageW(f->GetHandle(), WM_NOTIFY, 0, LPARAM(&nm));
  EXPECT_EQ(pages[1], pc->GetActivePage());
  EXPECT_EQ(1, changes);

  // A hidden tab leaves the strip; the tab indexes close up.
  pages[0]->SetTabVisible(false);
  EXPECT_EQ(2, int(SendMessageW(pc->GetHandle(), TCM_GETITEMCOUNT, 0, 0)));
  EXPECT_EQ(-1, pages[0]->GetTabIndex());
  EXPECT_EQ(0, pages[1]->GetTabIndex());
  EXPECT_EQ(pages[1], pc->GetActivePage());
  // Hiding the active tab moves to the next visible one.
  pages[1]->SetTabVisible(false);
  EXPECT_EQ(pages[2], pc->GetActivePage());

  // Tab images and captions reach the control.
  TImageList il(f.get(), 16, 16);
  pc->SetImages(&il);
  pages[2]->SetImageIndex(3);
  pages[2]->SetCaption(L"R\u00e9sultats");
  wchar_t buf[64] = {};
  TCITEMW ti{};
  ti.mask = TCIF_TEXT | TCIF_IMAGE;
  ti.pszText = buf;
  ti.cchTextMax = 64;
  SendMessageW(pc->GetHandle(), TCM_GETITEMW, 0, LPARAM(&ti));
  EXPECT_EQ(String(L"R\u00e9sultats"), buf);
  EXPECT_EQ(3, ti.iImage);
  pc->SetImages(nullptr);

  // Freeing the active page activates another one.
  pages[0]->SetTabVisible(true);
  delete pages[2];
  EXPECT_EQ(2, pc->PageCount());
  EXPECT_EQ(pages[0], pc->GetActivePage());
}

// Ctrl+Tab and Ctrl+PageDown turn to the next page from any control on the
// pages, Ctrl+Shift+Tab and Ctrl+PageUp to the one before, skipping hidden
// tabs; the keyboard goes on to the new page's first control with its text
// selected, also when the change event set that text. Inside a page control
// on a page, the inner one turns; on the tabs themselves the keyboard stays
// there; outside, nothing turns.
TEST(GuiPageControl, CtrlTabTurnsThePagesFromTheControlsOnThem) {
  auto f = HostForm();
  auto* outside = new TEdit(f.get());
  outside->SetParent(f.get());
  outside->SetBounds(10, 360, 100, 24);
  auto* pc = new TPageControl(f.get());
  pc->SetParent(f.get());
  pc->SetBounds(10, 10, 460, 340);
  TTabSheet* pages[4];
  TEdit* edits[4];
  for (int i = 0; i < 4; ++i) {
    pages[i] = new TTabSheet(f.get());
    pages[i]->SetPageControl(pc);
    pages[i]->SetCaption(L"Page " + std::to_wstring(i));
    edits[i] = new TEdit(f.get());
    edits[i]->SetParent(pages[i]);
    edits[i]->SetBounds(10, 10, 150, 24);
  }
  pages[2]->SetTabVisible(false);
  // Page 3 holds a page control of its own, below its edit.
  auto* inner = new TPageControl(f.get());
  inner->SetParent(pages[3]);
  inner->SetBounds(10, 50, 300, 200);
  TEdit* innerEdits[2];
  for (int i = 0; i < 2; ++i) {
    auto* p = new TTabSheet(f.get());
    p->SetPageControl(inner);
    p->SetCaption(L"Inner " + std::to_wstring(i));
    innerEdits[i] = new TEdit(f.get());
    innerEdits[i]->SetParent(p);
    innerEdits[i]->SetBounds(10, 10, 150, 24);
  }
  int changes = 0;
  pc->OnChange = [&](TObject*) {
    ++changes;
    edits[pc->GetActivePageIndex()]->SetText(L"filled " + std::to_wstring(changes));
  };
  f->Show();
  SetForegroundWindow(f->GetHandle());
  edits[0]->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return f->GetActive() && GetFocus() == edits[0]->GetHandle(); }));

  struct Step {
    WORD Key;
    std::vector<WORD> Mods;
    TWinControl* Focus;  // where the keyboard is after it
    TTabSheet* Page;
  };
  const Step steps[] = {{VK_TAB, {VK_CONTROL}, edits[1], pages[1]},
                        {VK_TAB, {VK_CONTROL}, edits[3], pages[3]},  // past the hidden tab
                        {VK_TAB, {VK_CONTROL, VK_SHIFT}, edits[1], pages[1]},
                        {VK_NEXT, {VK_CONTROL}, edits[3], pages[3]},
                        {VK_NEXT, {VK_CONTROL}, edits[0], pages[0]},  // round to the first
                        {VK_PRIOR, {VK_CONTROL}, edits[3], pages[3]}};
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "to " << WideToAnsi(s.Page->GetCaption()));
    testsupport::PressKey(s.Key, s.Mods);
    EXPECT_EQ(pc->GetActivePage(), s.Page);
    EXPECT_EQ(GetFocus(), s.Focus->GetHandle());
  }
  // Typing replaces the text the change event set.
  testsupport::TypeText(L"typed");
  EXPECT_EQ(edits[3]->GetText(), L"typed");

  const int turns = changes;
  innerEdits[0]->SetFocus();
  testsupport::PressKey(VK_TAB, {VK_CONTROL});
  EXPECT_EQ(inner->GetActivePageIndex(), 1);
  EXPECT_EQ(GetFocus(), innerEdits[1]->GetHandle());
  EXPECT_EQ(pc->GetActivePage(), pages[3]);

  pc->SetFocus();
  testsupport::PressKey(VK_NEXT, {VK_CONTROL});
  EXPECT_EQ(pc->GetActivePage(), pages[0]);
  EXPECT_EQ(GetFocus(), pc->GetHandle());

  outside->SetFocus();
  testsupport::PressKey(VK_TAB, {VK_CONTROL});
  EXPECT_EQ(pc->GetActivePage(), pages[0]);
  EXPECT_EQ(GetFocus(), outside->GetHandle());
  EXPECT_EQ(changes, turns + 1);
}

// --- status bar -------------------------------------------------------------

TEST(GuiStatusBar, PanelsAndSimpleText) {
  auto f = HostForm(400, 300);
  auto* sb = new TStatusBar(f.get());
  sb->SetParent(f.get());
  TStatusPanel* p0 = sb->Panels()->Add();
  p0->SetWidth(120);
  p0->SetText(L"Messages.");
  TStatusPanel* p1 = sb->Panels()->Add();
  p1->SetText(L"\u00dcbersicht");
  f->Show();
  EXPECT_EQ(300 - sb->GetHeight(), sb->GetTop());  // aligned to the bottom
  EXPECT_EQ(400, sb->GetWidth());
  EXPECT_EQ(2, int(SendMessageW(sb->GetHandle(), SB_GETPARTS, 0, 0)));
  EXPECT_EQ(L"Messages.", sb->GetPanelWindowText(0));
  EXPECT_EQ(L"\u00dcbersicht", sb->GetPanelWindowText(1));
  int edges[2] = {};
  SendMessageW(sb->GetHandle(), SB_GETPARTS, 2, LPARAM(edges));
  EXPECT_EQ(120, edges[0]);
  EXPECT_EQ(-1, edges[1]);  // the last panel takes the rest
  p0->SetText(L"Options loaded.");
  EXPECT_EQ(L"Options loaded.", sb->GetPanelWindowText(0));

  sb->SetSimplePanel(true);
  sb->SetSimpleText(L"simple");
  EXPECT_TRUE(SendMessageW(sb->GetHandle(), SB_ISSIMPLE, 0, 0));
  EXPECT_EQ(L"simple", sb->GetPanelWindowText(0));  // the simple part reads as part 0
  sb->SetSimplePanel(false);
  EXPECT_EQ(L"Options loaded.", sb->GetPanelWindowText(0));

  // Owner-drawn panels come back through OnDrawPanel.
  int drawn = 0;
  sb->OnDrawPanel = [&](TStatusBar*, TStatusPanel* p, const TRect&) {
    if (p == p1) ++drawn;
  };
  p1->SetStyle(psOwnerDraw);
  RedrawWindow(sb->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_GE(drawn, 1);
}

// --- splitter ---------------------------------------------------------------

TEST(GuiSplitter, DraggingResizesTheNeighbourWithinLimits) {
  auto f = HostForm(400, 300);
  auto* left = new TPanel(f.get());
  left->SetParent(f.get());
  left->SetAlign(alLeft);
  left->SetWidth(100);
  auto* split = new TSplitter(f.get());
  split->SetParent(f.get());
  split->SetLeft(150);  // placed right of the panel by the layout
  split->SetAlign(alLeft);
  split->SetMinSize(30);
  split->SetResizeStyle(rsUpdate);
  auto* client = new TPanel(f.get());
  client->SetParent(f.get());
  client->SetAlign(alClient);
  int moved = 0;
  split->OnMoved = [&](TObject*) { ++moved; };
  f->Show();
  EXPECT_EQ(100, split->GetLeft());
  EXPECT_EQ(left, split->FindControl());

  HWND h = f->GetHandle();
  auto drag = [&](int fromX, int toX) {
    int y = 50;
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, y));
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, y));
    SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(toX, y));
  };
  drag(101, 161);
  EXPECT_EQ(160, left->GetWidth());
  EXPECT_EQ(160, split->GetLeft());
  EXPECT_EQ(163, client->GetLeft());
  EXPECT_GE(moved, 1);
  // Not below MinSize.
  drag(161, 5);
  EXPECT_EQ(30, left->GetWidth());
  // Not so far that the client area would shrink below MinSize.
  drag(31, 399);
  EXPECT_EQ(400 - 3 - 30, left->GetWidth());
  EXPECT_EQ(30, client->GetWidth());

  // OnCanResize may veto.
  split->OnCanResize = [](TObject*, int&, bool& accept) { accept = false; };
  int before = left->GetWidth();
  drag(before + 1, 100);
  EXPECT_EQ(before, left->GetWidth());
}

TEST(GuiSplitter, BottomSplitterMovesTheLowerPane) {
  auto f = HostForm(400, 300);
  auto* bottom = new TPanel(f.get());
  bottom->SetParent(f.get());
  bottom->SetAlign(alBottom);
  bottom->SetHeight(100);
  auto* split = new TSplitter(f.get());
  split->SetParent(f.get());
  split->SetTop(0);
  split->SetAlign(alBottom);
  split->SetHeight(4);
  split->SetResizeStyle(rsLine);
  split->SetMinSize(50);
  auto* top = new TPanel(f.get());
  top->SetParent(f.get());
  top->SetAlign(alClient);
  f->Show();
  EXPECT_EQ(196, split->GetTop());
  HWND h = f->GetHandle();
  SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 197));
  SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 147));
  EXPECT_EQ(100, bottom->GetHeight());  // a line style waits for the release
  SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(10, 147));
  EXPECT_EQ(150, bottom->GetHeight());
  EXPECT_EQ(150, bottom->GetTop());
  EXPECT_EQ(146, top->GetHeight());
}

// --- drawing ----------------------------------------------------------------

TEST(GuiGraphics, CanvasDrawingReadsBackPixelExact) {
  TBitmap bmp(40, 30, pf32bit);
  TCanvas* c = bmp.Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect(Rect(0, 0, 40, 30));
  c->Brush()->SetColor(clRed);
  c->FillRect(Rect(2, 3, 6, 5));
  c->Pen()->SetColor(clBlue);
  c->MoveTo(0, 10);
  c->LineTo(10, 10);
  c->Brush()->SetColor(clLime);
  c->Pen()->SetColor(clBlack);
  c->Rectangle(20, 0, 30, 10);
  c->Brush()->SetColor(clNavy);
  c->FrameRect(Rect(32, 20, 38, 26));
  c->SetPixel(39, 29, TColor(0x123456));

  EXPECT_EQ(clRed, c->GetPixel(2, 3));
  EXPECT_EQ(clRed, c->GetPixel(5, 4));
  EXPECT_EQ(clWhite, c->GetPixel(6, 4));  // right and bottom edges excluded
  EXPECT_EQ(clWhite, c->GetPixel(5, 5));
  EXPECT_EQ(clBlue, c->GetPixel(0, 10));
  EXPECT_EQ(clBlue, c->GetPixel(9, 10));
  EXPECT_EQ(clWhite, c->GetPixel(10, 10));  // LineTo stops before the end
  EXPECT_EQ(clBlack, c->GetPixel(20, 0));   // outline
  EXPECT_EQ(clBlack, c->GetPixel(29, 9));
  EXPECT_EQ(clLime, c->GetPixel(25, 5));  // fill
  EXPECT_EQ(clNavy, c->GetPixel(32, 20));
  EXPECT_EQ(clWhite, c->GetPixel(34, 22));
  EXPECT_EQ(TColor(0x123456), c->GetPixel(39, 29));

  // ScanLine sees the same pixels (BGRA rows, top row first).
  auto* row = static_cast<uint8_t*>(bmp.ScanLine(4));
  EXPECT_EQ(0, row[5 * 4 + 0]);
  EXPECT_EQ(0, row[5 * 4 + 1]);
  EXPECT_EQ(255, row[5 * 4 + 2]);
  static_cast<uint32_t*>(bmp.ScanLine(0))[0] = 0x00ABCDEF;
  EXPECT_EQ(TColor(0xEFCDAB), c->GetPixel(0, 0));
  EXPECT_THROW(bmp.ScanLine(30), EInvalidGraphicOperation);

  // Text lands inside its rectangle and changes pixels there only.
  TBitmap t(60, 20, pf24bit);
  t.Canvas()->Brush()->SetColor(clWhite);
  t.Canvas()->FillRect(Rect(0, 0, 60, 20));
  t.Canvas()->Font()->SetColor(clBlack);
  t.Canvas()->TextRect(Rect(0, 0, 30, 20), 2, 2, L"WWWWWWWWWW");
  int dark = 0, outside = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x)
      if (t.Canvas()->GetPixel(x, y) != clWhite) (x < 30 ? dark : outside)++;
  EXPECT_GT(dark, 0);
  EXPECT_EQ(0, outside);
  EXPECT_GT(t.Canvas()->TextWidth(L"WW"), t.Canvas()->TextWidth(L"W"));
}

TEST(GuiGraphics, BitmapCopiesDrawsAndSaves) {
  TBitmap a(8, 8, pf24bit);
  a.Canvas()->Brush()->SetColor(clYellow);
  a.Canvas()->FillRect(Rect(0, 0, 8, 8));
  a.Canvas()->SetPixel(0, 7, clFuchsia);
  TBitmap b;
  // A change handler that reads the copy sees it whole, and is told once.
  int changes = 0;
  b.OnChange = [&](TObject*) {
    ++changes;
    EXPECT_EQ(clYellow, b.Canvas()->GetPixel(3, 3));
  };
  b.Assign(a);
  b.OnChange = nullptr;
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(clYellow, b.Canvas()->GetPixel(3, 3));
  // Transparent drawing skips the colour of the bottom-left pixel.
  b.Canvas()->SetPixel(4, 4, clFuchsia);
  b.SetTransparent(true);
  TBitmap dest(8, 8, pf32bit);
  dest.Canvas()->Brush()->SetColor(clGreen);
  dest.Canvas()->FillRect(Rect(0, 0, 8, 8));
  dest.Canvas()->Draw(0, 0, &b);
  EXPECT_EQ(clGreen, dest.Canvas()->GetPixel(4, 4));
  EXPECT_EQ(clYellow, dest.Canvas()->GetPixel(3, 3));
  // Round trip through a .bmp image.
  std::vector<uint8_t> bytes = a.SaveToBytes();
  TBitmap c;
  c.LoadFromBytes(bytes.data(), bytes.size());
  EXPECT_EQ(8, c.GetWidth());
  EXPECT_EQ(clFuchsia, c.Canvas()->GetPixel(0, 7));
  EXPECT_EQ(clYellow, c.Canvas()->GetPixel(7, 0));
  bytes.resize(bytes.size() - 10);
  EXPECT_THROW(c.LoadFromBytes(bytes.data(), bytes.size()), EInvalidGraphic);
  // Resizing keeps the picture's top-left part.
  a.SetSize(16, 4);
  EXPECT_EQ(clYellow, a.Canvas()->GetPixel(7, 3));
  EXPECT_EQ(16, a.GetWidth());
}

TEST(GuiGraphics, APalettedBitmapsCopyKeepsItsColourTableAndIndexes) {
  auto table = [](TBitmap& b) {
    RGBQUAD q[256];
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ o = SelectObject(dc, b.GetHandle());
    const UINT n = GetDIBColorTable(dc, 0, 256, q);
    SelectObject(dc, o);
    DeleteDC(dc);
    std::vector<COLORREF> v;
    for (UINT i = 0; i < n; ++i) v.push_back(RGB(q[i].rgbRed, q[i].rgbGreen, q[i].rgbBlue));
    return v;
  };
  for (TPixelFormat pf : {pf4bit, pf8bit}) {
    TBitmap a(6, 3, pf);
    RGBQUAD colours[3] = {{10, 20, 30, 0}, {200, 0, 100, 0}, {0, 255, 7, 0}};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ o = SelectObject(dc, a.GetHandle());
    SetDIBColorTable(dc, 0, 3, colours);
    SelectObject(dc, o);
    DeleteDC(dc);
    // Row y holds index y: entries no grey ramp has.
    for (int y = 0; y < 3; ++y) memset(a.ScanLine(y), pf == pf4bit ? y * 0x11 : y, pf == pf4bit ? 3 : 6);
    // A copy of the bitmap itself, and of its image read back from a .bmp
    // (stored bottom-up).
    std::vector<uint8_t> bytes = a.SaveToBytes();
    TBitmap loaded;
    loaded.LoadFromBytes(bytes.data(), bytes.size());
    for (TBitmap* src : {&a, &loaded}) {
      TBitmap b;
      b.Assign(*src);
      EXPECT_EQ(b.GetPixelFormat(), pf);
      std::vector<COLORREF> t = table(b);
      ASSERT_GE(t.size(), 3u);
      EXPECT_EQ(t[1], RGB(100, 0, 200));
      EXPECT_EQ(t[2], RGB(7, 255, 0));
      EXPECT_EQ(static_cast<uint8_t*>(b.ScanLine(2))[0], pf == pf4bit ? 0x22 : 2);
      EXPECT_EQ(b.Canvas()->GetPixel(5, 1), TColor(RGB(100, 0, 200)));
      EXPECT_EQ(b.Canvas()->GetPixel(0, 0), TColor(RGB(30, 20, 10)));
    }
  }
}

TEST(GuiGraphics, SystemColoursResolve) {
  EXPECT_EQ(TColor(GetSysColor(COLOR_BTNFACE)), ColorToRGB(clBtnFace));
  EXPECT_EQ(TColor(GetSysColor(COLOR_HIGHLIGHT)), ColorToRGB(clHighlight));
  EXPECT_EQ(clRed, ColorToRGB(clRed));
  TFont f;
  f.SetSize(10);
  EXPECT_EQ(10, f.GetSize());
  EXPECT_EQ(-MulDiv(10, f.GetPixelsPerInch(), 72), f.GetHeight());
  int changes = 0;
  f.OnChange = [&](TObject*) { ++changes; };
  f.SetStyle(TFontStyles{fsBold, fsItalic});
  f.SetStyle(TFontStyles{fsBold, fsItalic});
  EXPECT_EQ(1, changes);
  LOGFONTW lf;
  GetObjectW(f.GetHandle(), sizeof lf, &lf);
  EXPECT_EQ(FW_BOLD, lf.lfWeight);
  EXPECT_TRUE(lf.lfItalic);
}

// Font objects with the same description share one font handle; a font
// changed after sharing gets its own, and the last user frees it.
TEST(GuiGraphics, FontsOfTheSameDescriptionShareOneHandle) {
  auto f = HostForm(300, 120);
  TEdit* e[2];
  for (int i = 0; i < 2; ++i) {
    e[i] = new TEdit(f.get());
    e[i]->SetParent(f.get());
    e[i]->SetBounds(10, 10 + 50 * i, 200, 40);
    e[i]->Font()->SetName(L"Courier New");
    e[i]->Font()->SetSize(13);
    e[i]->SetText(L"Wg|8");
  }
  f->Show();
  SetForegroundWindow(f->GetHandle());
  const HFONT shared = e[0]->Font()->GetHandle();
  EXPECT_EQ(shared, e[1]->Font()->GetHandle());
  EXPECT_EQ(shared, HFONT(SendMessageW(e[1]->GetHandle(), WM_GETFONT, 0, 0)));
  auto pixels = [&](TEdit* c) {
    RedrawWindow(c->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    TBitmap shot(200, 40, pf32bit);
    HDC dc = GetDC(c->GetHandle());
    BitBlt(shot.CanvasDC(), 0, 0, 200, 40, dc, 0, 0, SRCCOPY);
    ReleaseDC(c->GetHandle(), dc);
    std::vector<TColor> v;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 200; ++x) v.push_back(shot.Canvas()->GetPixel(x, y));
    return v;
  };
  const auto before = pixels(e[1]);
  e[0]->Font()->SetSize(20);
  Pump(20);
  const HFONT own = e[0]->Font()->GetHandle();
  EXPECT_NE(shared, own);
  EXPECT_EQ(own, HFONT(SendMessageW(e[0]->GetHandle(), WM_GETFONT, 0, 0)));
  EXPECT_EQ(shared, e[1]->Font()->GetHandle());
  EXPECT_EQ(OBJ_FONT, GetObjectType(shared));
  EXPECT_TRUE(before == pixels(e[1]));
  // Back to the shared description: the same handle again.
  e[0]->Font()->SetSize(13);
  EXPECT_EQ(shared, e[0]->Font()->GetHandle());
  EXPECT_EQ(0u, GetObjectType(own));
  delete e[0];
  EXPECT_EQ(OBJ_FONT, GetObjectType(shared));
  delete e[1];
  EXPECT_EQ(0u, GetObjectType(shared));
}

TEST(GuiImageList, DisabledDrawingIsGrayedOnlyWhereTheImageIs) {
  TImageList il(nullptr, 8, 8);
  TBitmap img(8, 8, pf24bit);
  img.Canvas()->Brush()->SetColor(clFuchsia);  // mask colour
  img.Canvas()->FillRect(Rect(0, 0, 8, 8));
  img.Canvas()->Brush()->SetColor(clRed);
  img.Canvas()->FillRect(Rect(2, 2, 5, 5));
  EXPECT_EQ(0, il.AddMasked(&img, clFuchsia));
  EXPECT_EQ(1, il.GetCount());
  // The image given stays as it was.
  EXPECT_EQ(clFuchsia, img.Canvas()->GetPixel(0, 0));

  TBitmap dest(12, 12, pf32bit);
  auto clear = [&] {
    dest.Canvas()->Brush()->SetColor(clWhite);
    dest.Canvas()->FillRect(Rect(0, 0, 12, 12));
  };
  clear();
  il.Draw(dest.Canvas(), 2, 2, 0, true);
  EXPECT_EQ(clRed, dest.Canvas()->GetPixel(4, 4));
  EXPECT_EQ(clWhite, dest.Canvas()->GetPixel(2, 2));  // masked out

  clear();
  il.Draw(dest.Canvas(), 2, 2, 0, false);
  TColor shadow = ColorToRGB(clBtnShadow), hilite = ColorToRGB(clBtnHighlight);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) {
      TColor p = dest.Canvas()->GetPixel(x, y);
      bool inImage = x >= 4 && x < 7 && y >= 4 && y < 7;
      bool inShifted = x >= 5 && x < 8 && y >= 5 && y < 8;
      if (inImage) EXPECT_EQ(shadow, p) << x << "," << y;
      else if (inShifted) EXPECT_EQ(hilite, p) << x << "," << y;
      else EXPECT_EQ(clWhite, p) << x << "," << y;
    }
  }

  TBitmap back;
  il.GetBitmap(0, &back);
  EXPECT_EQ(8, back.GetWidth());
  EXPECT_EQ(clRed, back.Canvas()->GetPixel(3, 3));
  EXPECT_THROW(il.GetBitmap(5, &back), Exception);
  il.Delete(0);
  EXPECT_EQ(0, il.GetCount());
}

TEST(GuiImageList, LoadsAStripOfImagesFromAModulesBitmap) {
  // The common controls carry the standard toolbar images as a bitmap strip.
  InitCommonControl(ICC_BAR_CLASSES);
  HINSTANCE cc = GetModuleHandleW(L"comctl32.dll");
  ASSERT_TRUE(cc);
  TBitmap strip;
  strip.LoadFromResourceID(cc, 120);  // IDB_STD_SMALL_COLOR
  ASSERT_GT(strip.GetWidth(), 16);
  TImageList il(nullptr, 16, 16);
  EXPECT_TRUE(il.GetInstRes(cc, rtBitmap, L"#120", 16, TLoadResources{}, clDefault));
  EXPECT_EQ(strip.GetWidth() / 16, il.GetCount());
  EXPECT_FALSE(il.GetInstRes(cc, rtBitmap, L"NO_SUCH_BITMAP", 16, TLoadResources{}, clDefault));
  EXPECT_THROW(strip.LoadFromResourceName(cc, L"NO_SUCH_BITMAP"), EResNotFound);
}

// --- clipboard ----------------------------------------------------------------

TEST(GuiClipboard, UnicodeTextRoundTrip) {
  const String text = L"HKEY_CURRENT_USER\\Software\\\u00c4\u00f6\u00fc \u4e2d\u6587 \u0416 \U0001F600";
  Clipboard()->SetAsText(text);
  EXPECT_TRUE(Clipboard()->HasFormat(CF_UNICODETEXT));
  EXPECT_EQ(text, Clipboard()->GetAsText());
  // Nested opens put several formats in one go.
  Clipboard()->Open();
  Clipboard()->SetAsText(L"one");
  const char raw[] = "raw";
  UINT fmt = RegisterClipboardFormatW(L"Zembrio.Test");
  Clipboard()->SetBuffer(fmt, raw, sizeof raw);
  Clipboard()->Close();
  EXPECT_EQ(L"one", Clipboard()->GetAsText());
  EXPECT_TRUE(Clipboard()->HasFormat(fmt));
  Clipboard()->Clear();
  EXPECT_EQ(L"", Clipboard()->GetAsText());
  // An edit control pastes what we put there.
  auto f = HostForm();
  auto* e = new TEdit(f.get());
  e->SetParent(f.get());
  Clipboard()->SetAsText(L"\u00e9t\u00e9");
  e->PasteFromClipboard();
  EXPECT_EQ(L"\u00e9t\u00e9", e->GetText());
}

// --- dialogs ------------------------------------------------------------------

namespace {

// An open dialog whose system call is replaced by a scripted answer.
class ScriptedOpenDialog : public TOpenDialog {
 public:
  using TOpenDialog::TOpenDialog;
  std::vector<wchar_t> answer;
  DWORD answerFilter = 1;
  WORD answerExt = 0;
  OPENFILENAMEW seen{};
  String seenFilter;
  String seenFile, seenTitle;

 protected:
  BOOL CallDialog(OPENFILENAMEW& ofn) override {
    seen = ofn;
    seenFile = ofn.lpstrFile;
    seenTitle = ofn.lpstrTitle ? ofn.lpstrTitle : L"";
    if (ofn.lpstrFilter) {
      const wchar_t* p = ofn.lpstrFilter;
      while (*p) {
        seenFilter += String(p) + L"|";
        p += wcslen(p) + 1;
      }
    }
    if (answer.empty()) return FALSE;
    std::copy(answer.begin(), answer.end(), ofn.lpstrFile);
    ofn.nFilterIndex = answerFilter;
    ofn.nFileExtension = answerExt;
    return TRUE;
  }
};

}  // namespace

TEST(GuiDialogs, OpenDialogParametersAndResults) {
  ScriptedOpenDialog d(nullptr);
  d.SetFilter(L"Registry files (*.reg)|*.reg|All files|*.*");
  d.SetFilterIndex(2);
  d.SetDefaultExt(L"reg");
  d.SetTitle(L"Import");
  d.SetFileName(L"start.reg");
  d.SetOptionsEx(TOpenOptionsEx{ofExNoPlacesBar});
  EXPECT_FALSE(d.Execute());  // cancelled
  EXPECT_EQ(sizeof(OPENFILENAMEW), d.seen.lStructSize);
  EXPECT_EQ(String(L"Registry files (*.reg)|*.reg|All files|*.*|"), d.seenFilter);
  EXPECT_EQ(2u, d.seen.nFilterIndex);
  EXPECT_EQ(L"start.reg", d.seenFile);
  EXPECT_EQ(L"Import", d.seenTitle);
  EXPECT_TRUE(d.seen.Flags & OFN_EXPLORER);
  EXPECT_TRUE(d.seen.Flags & OFN_HIDEREADONLY);
  EXPECT_EQ(DWORD(OFN_EX_NOPLACESBAR), d.seen.FlagsEx);

  String one = L"C:\\data\\export.txt";
  d.answer.assign(one.begin(), one.end());
  d.answer.push_back(0);
  d.answerExt = WORD(one.size() - 3);
  EXPECT_TRUE(d.Execute());
  EXPECT_EQ(one, d.GetFileName());
  EXPECT_EQ(1, d.Files()->GetCount());
  EXPECT_EQ(1, d.GetFilterIndex());
  EXPECT_TRUE(d.GetOptions().Contains(ofExtensionDifferent));

  // Several files: the folder, then the names.
  d.SetOptions(d.GetOptions() + ofAllowMultiSelect);
  String multi = String(L"C:\\dir") + L'\0' + L"a.reg" + L'\0' + L"b.reg" + L'\0';
  d.answer.assign(multi.begin(), multi.end());
  d.answer.push_back(0);
  EXPECT_TRUE(d.Execute());
  ASSERT_EQ(2, d.Files()->GetCount());
  EXPECT_EQ(L"C:\\dir\\a.reg", d.Files()->Get(0));
  EXPECT_EQ(L"C:\\dir\\b.reg", d.Files()->Get(1));
  EXPECT_EQ(L"C:\\dir\\a.reg", d.GetFileName());
}

TEST(GuiDialogs, MessageDialogsMapTypesButtonsAndAnswers) {
  std::vector<std::pair<String, UINT>> shown;
  MessageBoxHook = [&](const String& text, const String& caption, UINT flags) {
    shown.push_back({caption + L": " + text, flags});
    return (flags & 0xF) == MB_YESNOCANCEL ? IDCANCEL : IDYES;
  };
  EXPECT_EQ(mrYes, MessageDlg(L"Delete it?", mtConfirmation, TMsgDlgButtons{mbYes, mbNo}));
  EXPECT_EQ(mrCancel, MessageDlg(L"Save?", mtWarning, mbYesNoCancel));
  ShowMessage(L"Done");
  MessageBoxHook = nullptr;
  ASSERT_EQ(3u, shown.size());
  EXPECT_EQ(L"Confirm: Delete it?", shown[0].first);
  EXPECT_EQ(UINT(MB_YESNO | MB_ICONQUESTION), shown[0].second & 0xFF);
  EXPECT_EQ(UINT(MB_YESNOCANCEL | MB_ICONWARNING), shown[1].second & 0xFF);
  EXPECT_EQ(UINT(MB_OK), shown[2].second & 0xFF);
  EXPECT_EQ(UINT(MB_OKCANCEL | MB_ICONERROR), MessageDlgFlags(mtError, mbOKCancel) & 0xFF);
  EXPECT_EQ(L"Information", MessageDlgCaption(mtInformation));
}

TEST(GuiDialogs, InputQueryReturnsTheTypedTextOrNothing) {
  InputQueryShowHook = [](TForm* f) {
    auto* e = static_cast<TEdit*>(f->FindComponent(L"Edit"));
    HWND h = e->GetHandle();
    PostMessageW(h, WM_CHAR, L'!', 0);
    PostMessageW(h, WM_KEYDOWN, VK_RETURN, 0);
  };
  String v = L"abc";
  EXPECT_TRUE(InputQuery(L"Rename", L"New name:", v));
  EXPECT_EQ(L"!", v);  // the default text was selected and typed over
  InputQueryShowHook = [](TForm* f) {
    auto* e = static_cast<TEdit*>(f->FindComponent(L"Edit"));
    PostMessageW(e->GetHandle(), WM_CHAR, L'x', 0);
    PostMessageW(e->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 0);
  };
  EXPECT_EQ(L"keep", InputBox(L"Rename", L"New name:", L"keep"));
  InputQueryShowHook = nullptr;
}

TEST(GuiDialogs, BeepsGoThroughTheHook) {
  std::vector<UINT> beeps;
  BeepHook = [&](UINT t) { beeps.push_back(t); };
  Beep();
  PlayMessageBeep(MB_ICONHAND);
  BeepHook = nullptr;
  std::vector<UINT> want{0xFFFFFFFF, UINT(MB_ICONHAND)};
  EXPECT_EQ(want, beeps);
}

// --- timers and threads ---------------------------------------------------------

TEST(GuiTimer, FiresWhileEnabledAndStops) {
  TTimer t(nullptr);
  t.SetInterval(10);
  int ticks = 0;
  t.OnTimer = [&](TObject*) {
    if (++ticks == 3) t.SetEnabled(false);
  };
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 3000));
  Pump(100);
  EXPECT_EQ(3, ticks);
  // An exception in OnTimer is shown and the timer keeps running.
  ShownExceptions().clear();
  t.OnTimer = [&](TObject*) {
    ++ticks;
    throw Exception(String(L"tick failed"));
  };
  t.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 5; }, 3000));
  t.SetEnabled(false);
  EXPECT_GE(ShownExceptions().size(), 2u);
  EXPECT_EQ(L"tick failed.", ShownExceptions()[0]);
}

namespace {

class SyncWorker : public TThread {
 public:
  explicit SyncWorker(TForm* form) : TThread(true), form_(form) {}
  ~SyncWorker() override {
    Terminate();
    WaitFor();
  }
  std::vector<String> seen;
  std::atomic<int> calls{0};

 protected:
  void Execute() override {
    for (int i = 0; i < 3; ++i) {
      Synchronize([this, i] {
        // Runs on the window thread while the modal loop is up.
        seen.push_back(L"step " + std::to_wstring(i) + (form_->IsModal() ? L" modal" : L""));
        ++calls;
      });
    }
    Synchronize([this] { form_->SetModalResult(mrOk); });
  }

 private:
  TForm* form_;
};

}  // namespace

TEST(GuiThread, SynchronizeRunsWhileAModalFormIsOpen) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(100, 100, 200, 100);
  SyncWorker w(f.get());
  f->OnShow = [&](TObject*) { w.Start(); };
  Watchdog wd(f.get(), 10000);
  EXPECT_EQ(mrOk, f->ShowModal());
  EXPECT_FALSE(wd.Fired());
  std::vector<String> want{L"step 0 modal", L"step 1 modal", L"step 2 modal"};
  EXPECT_EQ(want, w.seen);
}

// ---------------------------------------------------------------------------
// Streaming a form's controls: parents and order come back, windows kept in
// the same stacking order.

namespace {

struct TBuiltForm {
  std::unique_ptr<TForm> Form = HostForm(300, 200);
  TPanel* Panel;
  TButton* Buttons[4];
  TBuiltForm() {
    Panel = new TPanel(Form.get());
    Panel->SetName(L"Panel");
    Panel->SetParent(Form.get());
    for (int i = 0; i < 4; ++i) {
      Buttons[i] = new TButton(Form.get());
      Buttons[i]->SetName(String(L"B") + wchar_t(L'0' + i));
      Buttons[i]->SetParent(i < 3 ? static_cast<TWinControl*>(Panel) : Form.get());
    }
    Form->HandleNeeded();
    Panel->HandleNeeded();
  }
  String Order(TWinControl* p) {
    String s;
    for (int i = 0; i < p->ControlCount(); ++i) s += p->Controls(i)->GetName() + L" ";
    return s;
  }
  // The child windows from the bottom of the stack to the top.
  String Stack(TWinControl* p) {
    String s;
    for (HWND w = GetWindow(GetWindow(p->GetHandle(), GW_CHILD), GW_HWNDLAST); w; w = GetWindow(w, GW_HWNDPREV))
      s += TWinControl::FindControl(w)->GetName() + L" ";
    return s;
  }
};

}  // namespace

TEST(Streaming, ControlsComeBackWithTheirParentsAndOrder) {
  TBuiltForm ancestor, changed, loaded;
  changed.Buttons[2]->SendToBack();               // B2 B0 B1
  changed.Buttons[3]->SetParent(changed.Panel);   // B2 B0 B1 B3
  changed.Panel->SetChildOrder(changed.Buttons[3], 1);  // B2 B3 B0 B1
  ASSERT_EQ(changed.Order(changed.Panel), L"B2 B3 B0 B1 ");

  TMemoryStream m;
  TWriter(&m).WriteDescendent(changed.Form.get(), ancestor.Form.get());
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(loaded.Form.get());
  EXPECT_EQ(loaded.Order(loaded.Panel), L"B2 B3 B0 B1 ");
  EXPECT_EQ(loaded.Stack(loaded.Panel), L"B2 B3 B0 B1 ");
  EXPECT_EQ(loaded.Buttons[3]->GetParent(), loaded.Panel);
  EXPECT_EQ(loaded.Order(loaded.Form.get()), L"Panel ");
}

TEST(GuiControls, ResizeHeardWhoeverChangesTheSize) {
  struct TCounted : TCustomControl {
    using TCustomControl::TCustomControl;
    int Resized = 0;
    void Resize() override {
      ++Resized;
      TCustomControl::Resize();
    }
  };
  auto f = HostForm();
  auto* c = new TCounted(f.get());
  c->SetParent(f.get());
  c->SetBounds(0, 0, 50, 50);
  auto* anchored = new TCounted(f.get());
  anchored->SetParent(f.get());
  anchored->SetBounds(0, 60, 100, 20);
  anchored->SetAnchors(TAnchors{akLeft, akTop, akRight});
  f->Show();
  c->HandleNeeded();
  anchored->HandleNeeded();
  const int before = c->Resized, anchoredBefore = anchored->Resized;
  c->SetBounds(0, 0, 80, 40);  // from code, with a window
  EXPECT_EQ(c->Resized, before + 1);
  f->SetWidth(f->GetWidth() + 40);  // the parent's alignment widens it
  EXPECT_GT(anchored->Resized, anchoredBefore);
  EXPECT_EQ(anchored->GetWidth(), 140);
}

TEST(GuiControls, HintsSplitIntoShortAndLongAtTheBar) {
  EXPECT_EQ(L"Open", GetShortHint(L"Open|Opens a key"));
  EXPECT_EQ(L"Opens a key", GetLongHint(L"Open|Opens a key"));
  EXPECT_EQ(L"Open", GetShortHint(L"Open"));
  EXPECT_EQ(L"Open", GetLongHint(L"Open"));
  EXPECT_EQ(L"", GetShortHint(L"|long"));
  EXPECT_EQ(L"b|c", GetLongHint(L"a|b|c"));
}

// --- window-notice watchers ---------------------------------------------------
namespace {
int g_toldFirst = 0, g_toldSecond = 0, g_handledAfterFree = 0;
bool g_victimFreed = false;
void* g_victimMemory = nullptr;
TWndMethod g_victimProc;

// Its memory stays after delete until the test gives it back, so that a
// window procedure still using it after a watcher freed it is seen to.
struct TKeptPanel : TPanel {
  using TPanel::TPanel;
  static void* operator new(size_t n) { return ::operator new(n); }
  static void operator delete(void* p) {
    g_victimFreed = true;
    g_victimMemory = p;
  }
};
TKeptPanel* g_victim = nullptr;

void SecondWatcher(TWindowNotice N, HWND, WPARAM, LPARAM) {
  if (N == wnWindowPosChanged) ++g_toldSecond;
}
// Removes the second watcher before its turn, then itself: the list is
// emptied (and freed) in the middle of the walk.
void FirstWatcher(TWindowNotice N, HWND, WPARAM, LPARAM) {
  if (N != wnWindowPosChanged) return;
  ++g_toldFirst;
  RemoveWindowNoticeProc(SecondWatcher);
  RemoveWindowNoticeProc(FirstWatcher);
}
void FreeingWatcher(TWindowNotice N, HWND W, WPARAM, LPARAM) {
  if (N == wnWindowPosChanged && g_victim && W == g_victim->GetHandle()) {
    TKeptPanel* v = g_victim;
    g_victim = nullptr;
    delete v;
  }
}
}  // namespace

TEST(GuiControls, WindowWatchersRemovedOrFreeingTheControlDuringANotice) {
  auto f = HostForm();
  f->Show();
  const auto nudge = [](HWND W, int X) { SetWindowPos(W, nullptr, X, X, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE); };
  AddWindowNoticeProc(FirstWatcher);
  AddWindowNoticeProc(SecondWatcher);
  nudge(f->GetHandle(), 30);
  EXPECT_EQ(g_toldFirst, 1);
  EXPECT_EQ(g_toldSecond, 0);  // removed before its turn
  nudge(f->GetHandle(), 40);
  EXPECT_EQ(g_toldFirst, 1);  // none left

  // A watcher frees the control whose message it is told of: the control's
  // own handling of the message is not reached.
  g_victim = new TKeptPanel(f.get());
  g_victim->SetParent(f.get());
  g_victim->SetBounds(0, 0, 50, 50);
  g_victim->HandleNeeded();
  const HWND victimWindow = g_victim->GetHandle();
  g_victimProc = g_victim->WindowProc;
  g_victim->WindowProc = [](TMessage& m) {
    if (g_victimFreed) {
      ++g_handledAfterFree;
      return;
    }
    g_victimProc(m);
  };
  AddWindowNoticeProc(FreeingWatcher);
  nudge(victimWindow, 10);
  RemoveWindowNoticeProc(FreeingWatcher);
  EXPECT_TRUE(g_victimFreed);
  EXPECT_FALSE(IsWindow(victimWindow));
  EXPECT_EQ(g_handledAfterFree, 0);
  g_victimProc = nullptr;
  ::operator delete(g_victimMemory);
}

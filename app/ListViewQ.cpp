// The list view with column sorting and a stored layout.
#include "app/ListViewQ.h"

#include "app/RegStore.h"
#include "app/WaitCursor.h"
#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "classlib/Registry.h"

#include <windowsx.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

TListViewQ::TListViewQ(TComponent* AOwner) : TCustomListView(AOwner) {}

void TListViewQ::ColClick(TListColumn* Column) {
  TCustomListView::ColClick(Column);
  if (!AutoColumnSort || !Column) return;
  int c = Column->GetIndex();
  DoColumnSort(c, c == SortColumn ? !SortAscending : true);
}

void TListViewQ::InsertItem(TListItem* Item) {
  InitSort();
  TCustomListView::InsertItem(Item);
}

void TListViewQ::Edit(const LVITEMW& Item) {
  InitSort();
  TCustomListView::Edit(Item);
}

void TListViewQ::InitSort() {
  if (ShowSortIndicator && SortColumn >= 0 && SortColumn < Columns()->GetCount()) {
    TListColumn* col = Columns()->GetItem(SortColumn);
    String cap = col->GetCaption();
    if (cap.size() >= 2) col->SetCaption(cap.substr(0, cap.size() - 2));
  }
  SortColumn = -1;
  SortAscending = true;
}

namespace {

// The text an item is sorted by in a column: its caption in the first, a
// sub-item in the others (none: the empty text).
String SortText(TListItem* Item, int Column) {
  if (Column == 0) return Item->GetCaption();
  TStrings* sub = Item->SubItems();
  return Column - 1 < sub->GetCount() ? sub->Get(Column - 1) : String();
}

// The system's sort key of a text: its bytes compare (as unsigned bytes) as
// the locale's case-sensitive comparison of the texts does.
std::string SortKey(std::wstring_view Text) {
  // The empty text by its terminator: a text of characters the comparison
  // ignores then gets the same key, as it compares equal.
  const wchar_t* text = Text.empty() ? L"" : Text.data();
  const int length = Text.empty() ? -1 : int(Text.size());
  std::string key(size_t(std::max(LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, text, length, nullptr, 0), 0)),
                  '\0');
  if (!key.empty())
    LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, text, length, reinterpret_cast<LPWSTR>(&key[0]),
                 int(key.size()));
  while (!key.empty() && key.back() == '\0') key.pop_back();
  return key;
}

// The items in the order of their texts in the column, the order of the
// system's comparison of the texts, items of equal texts in the order they
// had. Each distinct text is keyed once, and only the distinct texts are
// sorted (by their keys); the items then take their places by the rank of
// their texts. Comparing the texts pair by pair through the system held
// the window for seconds at 440,000 hits.
std::vector<TListItem*> ColumnOrder(TListItems* Items, int Column, bool Ascending,
                                    const TListViewQ::TSortTextSource& Source) {
  const size_t n = size_t(Items->GetCount());
  std::deque<String> copies;  // the texts no one holds for the sort
  std::vector<std::wstring_view> itemText(n);
  for (size_t i = 0; i < n; ++i) {
    TListItem* item = Items->GetItem(int(i));
    const String* held = Source ? Source(item, Column) : nullptr;
    if (!held && Column == 0) held = &item->GetCaption();
    if (!held) {
      copies.push_back(SortText(item, Column));
      held = &copies.back();
    }
    itemText[i] = *held;
  }
  std::unordered_map<std::wstring_view, size_t> textIndex;
  std::vector<std::wstring_view> texts;  // the distinct texts
  std::vector<size_t> textOf(n);
  for (size_t i = 0; i < n; ++i) {
    // Hits of one key come together: most texts are the one before.
    if (i > 0 && itemText[i] == itemText[i - 1]) {
      textOf[i] = textOf[i - 1];
      continue;
    }
    auto at = textIndex.try_emplace(itemText[i], texts.size());
    if (at.second) texts.push_back(itemText[i]);
    textOf[i] = at.first->second;
  }
  std::vector<std::string> keys(texts.size());
  for (size_t t = 0; t < texts.size(); ++t) keys[t] = SortKey(texts[t]);
  std::vector<size_t> byKey(texts.size());
  for (size_t t = 0; t < byKey.size(); ++t) byKey[t] = t;
  std::sort(byKey.begin(), byKey.end(), [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
  // Texts of equal keys compare equal: they share a rank.
  std::vector<size_t> rank(texts.size());
  size_t ranks = 0;
  for (size_t k = 0; k < byKey.size(); ++k) {
    if (k > 0 && keys[byKey[k]] != keys[byKey[k - 1]]) ++ranks;
    rank[byKey[k]] = ranks;
  }
  ++ranks;
  // The items placed by rank, each rank's items in their order.
  std::vector<size_t> start(ranks + 1, 0);
  auto place = [&](size_t i) { return Ascending ? rank[textOf[i]] : ranks - 1 - rank[textOf[i]]; };
  for (size_t i = 0; i < n; ++i) ++start[place(i) + 1];
  for (size_t r = 0; r < ranks; ++r) start[r + 1] += start[r];
  std::vector<TListItem*> order(n);
  for (size_t i = 0; i < n; ++i) order[start[place(i)]++] = Items->GetItem(int(i));
  return order;
}

// True when the items already stand in the order of their captions: one
// pass of the system's comparison over neighbours, with no key made (a
// key's values mostly come from the registry in this order, and making a
// key of each of 230,000 names cost a fifth of listing them). Neighbours
// the comparison finds equal stand in order when their keys do too, as
// the sort would leave them.
bool InCaptionOrder(TListItems* Items, const TListViewQ::TSortTextSource& Source) {
  const int n = Items->GetCount();
  auto text = [&](int I) -> const String& {
    TListItem* item = Items->GetItem(I);
    const String* held = Source ? Source(item, 0) : nullptr;
    return held ? *held : item->GetCaption();
  };
  for (int i = 1; i < n; ++i) {
    const String& a = text(i - 1);
    const String& b = text(i);
    if (a == b) continue;
    const int r = CompareStringW(LOCALE_USER_DEFAULT, 0, a.c_str(), int(a.size()), b.c_str(), int(b.size()));
    if (r == CSTR_LESS_THAN) continue;
    if (r != CSTR_EQUAL || SortKey(a) > SortKey(b)) return false;
  }
  return true;
}

}  // namespace

bool TListViewQ::DoColumnSort(int Column, bool Ascending) {
  if (Column < 0 || Column >= Columns()->GetCount()) return false;
  InitSort();
  SortColumn = Column;
  SortAscending = Ascending;
  if (ShowSortIndicator) {
    TListColumn* col = Columns()->GetItem(Column);
    col->SetCaption(col->GetCaption() + (Ascending ? L" +" : L" -"));
  }
  TWaitCursor wait;
  return SortInOrder(ColumnOrder(Items(), Column, Ascending, SortTextSource));
}

bool TListViewQ::AlphaSort() {
  if (OnCompare) return TCustomListView::AlphaSort();
  if (InCaptionOrder(Items(), SortTextSource)) return true;
  TWaitCursor wait;
  return SortInOrder(ColumnOrder(Items(), 0, true, SortTextSource));
}

String TListViewQ::GetColumnSizeString() {
  String s;
  for (int i = 0; i < Columns()->GetCount(); ++i) {
    if (i) s += L",";
    s += IntToStr(Columns()->GetItem(i)->GetWidth());
  }
  return s;
}

void TListViewQ::SetColumnSizes(const String& Text) { SetColumnSizes(Text, 0); }

void TListViewQ::SetColumnSizes(const String& Text, int FromDpi) {
  const int screen = ScreenDpi();
  auto width = [&](const String& Part) { return ScaleSize(StrToInt(Part), FromDpi, screen); };
  String rest = Text;
  int i = 0;
  size_t comma;
  while ((comma = rest.find(L',')) != String::npos && i < Columns()->GetCount()) {
    Columns()->GetItem(i)->SetWidth(width(rest.substr(0, comma)));
    ++i;
    rest = rest.substr(comma + 1);
  }
  if (!rest.empty() && i < Columns()->GetCount()) Columns()->GetItem(i)->SetWidth(width(rest));
}

int TListViewQ::ScreenDpi() { return Screen ? Screen->PixelsPerInch() : 96; }

void TListViewQ::SaveOptions() {
  TRegistryIniFile ini(RegistryKey);
  ini.WriteString(L"", L"ColumnSizes", GetColumnSizeString());
  ini.WriteInteger(L"", L"SortColumn", SortColumn);
  ini.WriteString(L"", L"SortAscending", SortAscending ? L"1" : L"0");
  ini.WriteInteger(L"", L"ViewStyle", static_cast<int>(GetViewStyle()));
  ini.WriteInteger(L"", L"PixelsPerInch", ScreenDpi());
}

void TListViewQ::LoadOptions() {
  TRegistryIniFile ini(RegistryKey);
  // Each part of the layout is read on its own: a damaged one keeps the
  // current state of that part and the rest still loads.
  auto readInt = [&ini](const wchar_t* name, int def) {
    try {
      return ini.ReadInteger(L"", name, def);
    } catch (const Exception&) {
      return def;
    }
  };
  // The widths were taken on a screen of the dots per inch stored with
  // them. Widths stored without it were kept in the pixels of the screen
  // they were taken on: they load as they are.
  int dpi = 0;
  if (ini.ValueExists(L"", L"PixelsPerInch")) {
    try {
      dpi = UsableDpi(ini.ReadInteger(L"", L"PixelsPerInch", 0));
    } catch (const Exception&) {
      // Not a number: as if none were stored.
    }
  }
  try {
    SetColumnSizes(ini.ReadString(L"", L"ColumnSizes", L""), dpi);
  } catch (const Exception&) {
  }
  int c = readInt(L"SortColumn", 0);
  bool a = readInt(L"SortAscending", 1) != 0;
  int vs = readInt(L"ViewStyle", static_cast<int>(GetViewStyle()));
  if (vs >= vsIcon && vs <= vsReport) SetViewStyle(static_cast<TViewStyle>(vs));
  DoColumnSort(c, a);
}

void TListViewQ::DefineProperties(TFiler* Filer) {
  TCustomListView::DefineProperties(Filer);
  auto* a = dynamic_cast<TListViewQ*>(Filer->GetAncestor());
  Filer->DefineProperty(
      L"AutoColumnSort", [this](TReader* R) { AutoColumnSort = R->ReadBoolean(); },
      [this](TWriter* W) { W->WriteBoolean(AutoColumnSort); },
      AutoColumnSort != (a ? a->AutoColumnSort : false));
  Filer->DefineProperty(
      L"RegistryKey", [this](TReader* R) { RegistryKey = R->ReadString(); },
      [this](TWriter* W) { W->WriteString(RegistryKey); },
      RegistryKey != (a ? a->RegistryKey : String(L"Software")));
  Filer->DefineProperty(
      L"ShowSortIndicator", [this](TReader* R) { ShowSortIndicator = R->ReadBoolean(); },
      [this](TWriter* W) { W->WriteBoolean(ShowSortIndicator); },
      ShowSortIndicator != (a ? a->ShowSortIndicator : true));
}

// ---------------------------------------------------------------------------
// A virtual list: the class library keeps the items and sends the window the
// messages of a list that holds them; here they become what a virtual window
// understands (its count, and the selection and focus it keeps by position).

namespace {
// The drawing of a list held while many of its rows change state: the
// window asks the window system to redraw each row that changes, one at a
// time (under Wine a tenth of a millisecond a row); held, the rows in view
// are drawn once when the hold ends. Holds nest with the list's updates.
class TDrawHold {
 public:
  explicit TDrawHold(TListItems* Items) : items_(Items) { items_->BeginUpdate(); }
  ~TDrawHold() { items_->EndUpdate(); }
  TDrawHold(const TDrawHold&) = delete;
  TDrawHold& operator=(const TDrawHold&) = delete;

 private:
  TListItems* items_;
};
}  // namespace

void TListViewQ::SetOwnerData(bool Value) {
  if (Value == ownerData_) return;
  ownerData_ = Value;
  shown_.clear();
  countStale_ = false;
  if (HandleAllocated()) RecreateWnd();
}

void TListViewQ::CreateParams(TCreateParams& p) {
  TCustomListView::CreateParams(p);
  if (ownerData_) p.Style |= LVS_OWNERDATA;
}

void TListViewQ::WndProc(TMessage& m) {
  if (m.Msg == WM_NCDESTROY) {
    shown_.clear();
    countStale_ = false;
  }
  // Messages performed on a control without a window leave it so.
  if (ownerData_ && HandleAllocated() && (OwnerDataMessage(m) || SelectionInput(m))) return;
  TCustomListView::WndProc(m);
}

void TListViewQ::DoContextPopup(TPoint MousePos, bool& Handled) {
  TCustomListView::DoContextPopup(MousePos, Handled);
  if (Handled || MousePos.x != -1 || MousePos.y != -1 || !HandleAllocated()) return;
  TPopupMenu* menu = GetPopupMenu();
  if (!menu || !menu->GetAutoPopup()) return;
  // The row with the keyboard's focus, else the first one chosen; with
  // neither the menu opens at the corner.
  const HWND h = GetHandle();
  int row = int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
  if (row < 0) row = int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
  if (row < 0) return;
  SendMessageW(h, LVM_ENSUREVISIBLE, WPARAM(row), FALSE);
  RECT r{LVIR_LABEL};
  if (!SendMessageW(h, LVM_GETITEMRECT, WPARAM(row), LPARAM(&r))) return;
  // Below the row's text, its left edge a little in (as the tree's menu).
  RECT client;
  ::GetClientRect(h, &client);
  const TPoint at = ClientToScreen(Point(std::clamp<LONG>(r.left + 4, 0, client.right),
                                         std::clamp<LONG>(r.bottom, 0, client.bottom)));
  menu->SetPopupComponent(this);
  menu->Popup(at.x, at.y);
  Handled = true;
}

void TListViewQ::SyncCount() {
  if (!countStale_) return;
  countStale_ = false;
  // A window made again was told the whole count before its items.
  const HWND h = GetHandle();
  if (SendMessageW(h, LVM_GETITEMCOUNT, 0, 0) < LRESULT(shown_.size()))
    SendMessageW(h, LVM_SETITEMCOUNT, WPARAM(shown_.size()), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
}

bool TListViewQ::OwnerDataMessage(TMessage& m) {
  const HWND h = GetHandle();
  if (m.Msg != LVM_INSERTITEMW) SyncCount();
  const int count = static_cast<int>(shown_.size());
  switch (m.Msg) {
    case LVM_INSERTITEMW: {
      const auto* it = reinterpret_cast<const LVITEMW*>(m.LParam);
      const int at = std::clamp(it->iItem, 0, count);
      shown_.insert(shown_.begin() + at, reinterpret_cast<TListItem*>(it->lParam));
      // The window learns the new count with the next message that is no
      // insertion: one count for a batch of items.
      countStale_ = true;
      if (at < count) InvalidateRect(h, nullptr, FALSE);  // the items below it moved down
      if ((it->mask & LVIF_STATE) && (it->state & it->stateMask)) {
        SyncCount();
        LVITEMW st{};
        st.stateMask = it->stateMask;
        st.state = it->state;
        SendMessageW(h, LVM_SETITEMSTATE, WPARAM(at), LPARAM(&st));
      }
      m.Result = at;
      return true;
    }
    case LVM_DELETEITEM: {
      const int at = static_cast<int>(m.WParam);
      TCustomListView::WndProc(m);
      if (at >= 0 && at < count) shown_.erase(shown_.begin() + at);
      return true;
    }
    case LVM_DELETEALLITEMS:
      TCustomListView::WndProc(m);
      shown_.clear();
      return true;
    case LVM_SETITEMSTATE:
      if (int(m.WParam) != -1) return false;
      {
        // Every row at once (the window visits each).
        TDrawHold hold(Items());
        TCustomListView::WndProc(m);
      }
      return true;
    case LVM_SORTITEMS:
      SortShown(reinterpret_cast<PFNLVCOMPARE>(m.LParam), LPARAM(m.WParam));
      m.Result = TRUE;
      return true;
    case LVM_GETITEMW: {
      TCustomListView::WndProc(m);
      auto* it = reinterpret_cast<LVITEMW*>(m.LParam);
      if ((it->mask & LVIF_PARAM) && it->iItem >= 0 && it->iItem < count) {
        it->lParam = LPARAM(shown_[size_t(it->iItem)]);
        m.Result = TRUE;
      }
      return true;
    }
    case CN_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
      if (hdr->code == LVN_GETDISPINFOW) {
        // The window passes no item record: the item is found by position.
        auto* di = reinterpret_cast<NMLVDISPINFOW*>(m.LParam);
        const int i = di->item.iItem;
        di->item.lParam = i >= 0 && i < count ? LPARAM(shown_[size_t(i)]) : 0;
        return false;
      }
      if (hdr->code != LVN_ODFINDITEMW) return false;
      // Typing in the list: the next item whose caption starts with the text.
      auto* f = reinterpret_cast<NMLVFINDITEMW*>(m.LParam);
      const UINT flags = f->lvfi.flags;
      const int n = Items()->GetCount();
      TListItem* found = nullptr;
      if (flags & LVFI_PARAM)
        found = reinterpret_cast<TListItem*>(f->lvfi.lParam);
      else if ((flags & (LVFI_STRING | LVFI_PARTIAL)) && f->lvfi.psz && n > 0)
        found = FindCaption(std::clamp(f->iStart, 0, n), f->lvfi.psz, (flags & LVFI_PARTIAL) != 0, true,
                            (flags & LVFI_WRAP) != 0);
      m.Result = found ? Items()->IndexOf(found) : -1;
      return true;
    }
    default:
      return false;
  }
}

void TListViewQ::SortShown(PFNLVCOMPARE Compare, LPARAM Param) {
  ReorderShown([&] {
    if (Compare)
      std::stable_sort(shown_.begin(), shown_.end(),
                       [&](TListItem* a, TListItem* b) { return Compare(LPARAM(a), LPARAM(b), Param) < 0; });
  });
}

void TListViewQ::SortWindowByModel() {
  const int count = Items()->GetCount();
  if (!ownerData_ || int(shown_.size()) != count) {
    TCustomListView::SortWindowByModel();
    return;
  }
  // The rows simply take the list's order: a sort of the rows by it, each
  // comparison reading two items, took half a second at 440,000 hits.
  ReorderShown([&] {
    for (int i = 0; i < count; ++i) shown_[size_t(i)] = Items()->GetItem(i);
  });
}

void TListViewQ::DeleteWindowRows(const std::vector<int>& Rows) {
  const int count = static_cast<int>(shown_.size());
  if (!ownerData_ || Items()->GetCount() != count) {
    TCustomListView::DeleteWindowRows(Rows);
    return;
  }
  SyncCount();
  const HWND h = GetHandle();
  TDrawHold hold(Items());
  // The rows of the items, as the window shows them, and their states.
  std::unordered_set<TListItem*> items;
  for (int r : Rows)
    if (r >= 0 && r < count) items.insert(Items()->GetItem(r));
  std::vector<char> gone(size_t(count), 0);
  for (int i = 0; i < count; ++i) gone[size_t(i)] = items.count(shown_[size_t(i)]) != 0;
  const std::vector<int> selected = GetSelectedRows();
  const int f = int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
  const int k = int(SendMessageW(h, LVM_GETSELECTIONMARK, 0, 0));
  // The row each row keeps, or the one that takes its place when it goes.
  std::vector<int> to(size_t(count) + 1);
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    to[size_t(i)] = kept;
    if (!gone[size_t(i)]) shown_[size_t(kept++)] = shown_[size_t(i)];
  }
  to[size_t(count)] = kept;
  shown_.resize(size_t(kept));
  auto moved = [&](int Row) { return Row < 0 || Row >= count || kept == 0 ? -1 : std::min(to[size_t(Row)], kept - 1); };
  // The window forgets every state, then takes the new count and the
  // states of the rows that stay.
  LVITEMW st{};
  st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(h, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&st));
  SendMessageW(h, LVM_SETITEMCOUNT, WPARAM(kept), LVSICF_NOSCROLL);
  std::vector<int> still;
  for (int r : selected)
    if (r >= 0 && r < count && !gone[size_t(r)]) still.push_back(to[size_t(r)]);
  st.stateMask = st.state = LVIS_SELECTED;
  for (int r : still) SendMessageW(h, LVM_SETITEMSTATE, WPARAM(r), LPARAM(&st));
  if (const int row = moved(f); row >= 0) {
    st.stateMask = st.state = LVIS_FOCUSED;
    SendMessageW(h, LVM_SETITEMSTATE, WPARAM(row), LPARAM(&st));
  }
  SendMessageW(h, LVM_SETSELECTIONMARK, 0, LPARAM(moved(k)));
  InvalidateRect(h, nullptr, FALSE);
}

void TListViewQ::ReorderShown(const std::function<void()>& Reorder) {
  const HWND h = GetHandle();
  TDrawHold hold(Items());
  const int count = static_cast<int>(shown_.size());
  // The window keeps the selection, the focus and the selection's mark
  // (where Shift+click or Shift+key starts) by position: they move with
  // their items.
  std::vector<int> rows;
  for (int i = -1; (i = int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED))) >= 0 && i < count;)
    rows.push_back(i);
  std::unordered_set<TListItem*> selected;
  for (int i : rows) selected.insert(shown_[size_t(i)]);
  const int f = int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
  TListItem* focused = f >= 0 && f < count ? shown_[size_t(f)] : nullptr;
  const int k = int(SendMessageW(h, LVM_GETSELECTIONMARK, 0, 0));
  TListItem* mark = k >= 0 && k < count ? shown_[size_t(k)] : nullptr;
  Reorder();
  if (!selected.empty() || focused) {
    LVITEMW st{};
    st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    // The rows that had a state lose it: each alone while they are few (a
    // visit of every row cost as much as the sort), else all at once.
    if (rows.size() > size_t(count) / 8) {
      SendMessageW(h, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&st));
    } else {
      if (focused) rows.push_back(f);
      for (int i : rows) SendMessageW(h, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&st));
    }
    for (int i = 0; i < count; ++i) {
      TListItem* item = shown_[size_t(i)];
      st.state = (!selected.empty() && selected.count(item) ? LVIS_SELECTED : 0) | (item == focused ? LVIS_FOCUSED : 0);
      if (st.state) SendMessageW(h, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&st));
    }
  }
  if (mark) {
    const int at = int(std::find(shown_.begin(), shown_.end(), mark) - shown_.begin());
    SendMessageW(h, LVM_SETSELECTIONMARK, 0, LPARAM(at));
  }
  InvalidateRect(h, nullptr, FALSE);
}

// ---------------------------------------------------------------------------
// Choosing rows in a virtual list.
//
// The window keeps its selection as runs of rows, but when a key or a click
// replaces the selection it visits every row to drop the old one (under
// Wine 70 ms in 100,000 hits for each Down), and it redraws each row that
// changes on its own (Shift+End in 100,000 hits, and the next key after it,
// held the window for seven seconds each). Here the rows selected before
// are dropped first, visiting only them, so the window finds no row
// selected; and keys are handled with the drawing held.

void TListViewQ::DropSelection(int Keep, std::vector<int>* Dropped) {
  const HWND h = GetHandle();
  const int selected = int(SendMessageW(h, LVM_GETSELECTEDCOUNT, 0, 0));
  const bool keep =
      Keep >= 0 && (SendMessageW(h, LVM_GETITEMSTATE, WPARAM(Keep), LVIS_SELECTED) & LVIS_SELECTED) != 0;
  if (selected <= int(keep)) return;
  TDrawHold hold(Items());
  // A row dropped on its own costs several times the window's visit of
  // one: most of a long list goes with one visit of every row.
  const bool wide = selected > int(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0)) / 8;
  std::vector<int> rows;
  if (Dropped || !wide) {
    rows.reserve(size_t(selected));
    for (int i = -1, left = selected; left > 0; --left) {
      i = int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED));
      if (i < 0) break;
      if (i != Keep) rows.push_back(i);
    }
  }
  LVITEMW st{};
  st.stateMask = LVIS_SELECTED;
  if (wide) {
    SendMessageW(h, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&st));
    if (keep) {
      st.state = LVIS_SELECTED;
      SendMessageW(h, LVM_SETITEMSTATE, WPARAM(Keep), LPARAM(&st));
    }
  } else {
    for (int i : rows) SendMessageW(h, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&st));
  }
  if (Dropped) *Dropped = std::move(rows);
}

void TListViewQ::ReplaceSelection(TMessage& m) {
  const HWND h = GetHandle();
  TDrawHold hold(Items());
  std::vector<int> dropped;
  DropSelection(-1, &dropped);
  TCustomListView::WndProc(m);
  if (dropped.empty() || SendMessageW(h, LVM_GETSELECTEDCOUNT, 0, 0) != 0) return;
  LVITEMW st{};
  st.stateMask = st.state = LVIS_SELECTED;
  const int count = int(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0));
  if (int(dropped.size()) <= count / 2) {
    for (int i : dropped) SendMessageW(h, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&st));
    return;
  }
  // Most rows: all of them in one visit, then the few between.
  SendMessageW(h, LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&st));
  st.state = 0;
  for (int i = 0, next = 0; i < count; ++i) {
    if (next < int(dropped.size()) && dropped[size_t(next)] == i)
      ++next;
    else
      SendMessageW(h, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&st));
  }
}

// Among icons a virtual window moves by no arrow key (it finds no icon
// beside or above or below another); here they move as in a list of items.
// The icons stand in lines in the order of the rows: left to right and
// then down, or, aligned left, top to bottom and then right.
int TListViewQ::IconNeighbour(int From, WPARAM Vk) {
  const HWND h = GetHandle();
  const int count = int(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0));
  const bool columns = (GetWindowLongPtrW(h, GWL_STYLE) & LVS_ALIGNMASK) == LVS_ALIGNLEFT;
  // x along a line, y across the lines.
  auto at = [&](int i) {
    POINT p{};
    SendMessageW(h, LVM_GETITEMPOSITION, WPARAM(i), LPARAM(&p));
    return columns ? POINT{p.y, p.x} : p;
  };
  const bool along = (Vk == VK_LEFT || Vk == VK_RIGHT) != columns;
  const int step = Vk == VK_RIGHT || Vk == VK_DOWN ? 1 : -1;
  const POINT p0 = at(From);
  bool crossed = false;
  LONG line = 0;
  for (int i = From + step; i >= 0 && i < count; i += step) {
    const POINT p = at(i);
    // The icon next in the order is beside it, or it ends its line.
    if (along) return p.y == p0.y && (p.x - p0.x) * step > 0 ? i : -1;
    if (p.y == p0.y) continue;
    if (crossed && p.y != line) return -1;  // none in the next line
    crossed = true;
    line = p.y;
    if (p.x == p0.x) return i;
  }
  return -1;
}

bool TListViewQ::IconArrow(WPARAM Vk) {
  const TViewStyle view = GetViewStyle();
  if ((view != vsIcon && view != vsSmallIcon) ||
      (Vk != VK_LEFT && Vk != VK_RIGHT && Vk != VK_UP && Vk != VK_DOWN))
    return false;
  const HWND h = GetHandle();
  const int from = int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED));
  if (from < 0) return false;  // the window starts at the first icon
  const int to = IconNeighbour(from, Vk);
  if (to < 0) return true;
  const bool multi = GetMultiSelect();
  const bool shift = multi && GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = multi && GetKeyState(VK_CONTROL) < 0;
  TDrawHold hold(Items());
  LVITEMW st{};
  if (ctrl && !shift) {
    // The focus alone.
    st.stateMask = st.state = LVIS_FOCUSED;
    SendMessageW(h, LVM_SETITEMSTATE, WPARAM(to), LPARAM(&st));
  } else if (shift) {
    // The icons in the rectangle from the mark's to the one moved to.
    int mark = int(SendMessageW(h, LVM_GETSELECTIONMARK, 0, 0));
    if (mark < 0) mark = from;
    DropSelection(-1);
    POINT a{}, b{};
    SendMessageW(h, LVM_GETITEMPOSITION, WPARAM(mark), LPARAM(&a));
    SendMessageW(h, LVM_GETITEMPOSITION, WPARAM(to), LPARAM(&b));
    const RECT box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
    st.stateMask = st.state = LVIS_SELECTED;
    for (int i = std::min(mark, to); i <= std::max(mark, to); ++i) {
      POINT p{};
      SendMessageW(h, LVM_GETITEMPOSITION, WPARAM(i), LPARAM(&p));
      if (p.x >= box.left && p.x <= box.right && p.y >= box.top && p.y <= box.bottom)
        SendMessageW(h, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&st));
    }
    st.stateMask = st.state = LVIS_FOCUSED;
    SendMessageW(h, LVM_SETITEMSTATE, WPARAM(to), LPARAM(&st));
  } else {
    // The icon moved to alone, and the mark on it.
    DropSelection(-1);
    st.stateMask = st.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(h, LVM_SETITEMSTATE, WPARAM(to), LPARAM(&st));
    SendMessageW(h, LVM_SETSELECTIONMARK, 0, LPARAM(to));
  }
  SendMessageW(h, LVM_ENSUREVISIBLE, WPARAM(to), FALSE);
  return true;
}

bool TListViewQ::SelectionInput(TMessage& m) {
  const HWND h = GetHandle();
  const bool multi = GetMultiSelect();
  switch (m.Msg) {
    case WM_KEYDOWN: {
      if (IsEditing() || GetKeyState(VK_MENU) < 0) return false;
      if (IconArrow(m.WParam)) return true;
      // Alt keys are commands; Ctrl without Shift moves only the focus (and
      // Ctrl+Space turns the focused row's choice over).
      if (!multi) return false;
      const bool ctrl = GetKeyState(VK_CONTROL) < 0;
      if (ctrl && GetKeyState(VK_SHIFT) >= 0) return false;
      switch (m.WParam) {
        case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_HOME: case VK_END: case VK_PRIOR:
        case VK_NEXT:
          break;
        case VK_SPACE:
          if (ctrl) return false;
          break;
        default:
          return false;
      }
      // The key selects the row it moves to (with Shift, the rows from the
      // selection's mark to it); a key that moves nowhere leaves the rows
      // as they were.
      ReplaceSelection(m);
      return true;
    }
    case WM_CHAR:
      // Typing selects the next row whose caption starts with the text
      // typed so far; a text that starts none leaves the rows as they were.
      if (!multi || IsEditing() || m.WParam < L' ' || m.WParam == 0x7f) return false;
      ReplaceSelection(m);
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      if (!multi || (m.WParam & MK_CONTROL)) return false;
      LVHITTESTINFO hit{};
      hit.pt = POINT{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      const int row = int(SendMessageW(h, LVM_HITTEST, 0, LPARAM(&hit))) >= 0 && (hit.flags & LVHT_ONITEM)
                          ? hit.iItem
                          : -1;
      const bool selected =
          row >= 0 && (SendMessageW(h, LVM_GETITEMSTATE, WPARAM(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
      if (m.Msg == WM_RBUTTONDOWN) {
        // A right click on a selected row keeps the selection for its menu;
        // one on another row chooses it alone, one beside the rows none.
        if (selected || (row >= 0 && (m.WParam & MK_SHIFT))) return false;
        DropSelection(-1);
        return false;
      }
      if (m.WParam & MK_SHIFT) {
        // The rows from the mark to the row clicked.
        if (row < 0) return false;
        TDrawHold hold(Items());
        DropSelection(-1);
        TCustomListView::WndProc(m);
        return true;
      }
      // The row clicked alone; a click beside the rows drops them all. A
      // chosen row clicked stays chosen (the window drops the others when
      // the button comes up, and may start the row's rename).
      DropSelection(selected ? row : -1);
      return false;
    }
    default:
      return false;
  }
}

void ListViewQ::Register() {
  RegisterComponents(L"Quorvel", {ComponentClass<TListViewQ>(L"TListViewQ")});
  // Making one touches nothing but the new control: what its constructor
  // sets is not written while unchanged.
  CompareWithNewComponents({L"TListViewQ"});
}

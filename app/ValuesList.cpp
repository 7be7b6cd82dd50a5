// The values list: the values of the selected key with their display
// texts and images, rename in place, the four kinds of new value, and the
// view-style commands that follow the focused list.
#include "app/Main.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "app/RegAccess.h"
#include "app/RegEdits.h"
#include "app/WaitCursor.h"
#include "classlib/Registry.h"

std::function<void()> TfrmMain::ReadingValuesHook;

namespace {

// A key of this many values and more is read on other threads while the
// window goes on painting, by several side by side: each value is a request
// to the registry that waits far longer than it computes (230,000 values
// took over ten seconds read one after another).
constexpr int kReadApartFrom = 1000;
constexpr unsigned kReaders = 4;

// Every value of the open key with its type and bytes, in the registry's
// order; false (none) when the key can't be enumerated.
bool ReadAllValues(TRegistry& Reg, std::vector<TRegNamedValue>& Values) {
  Values.clear();
  const TRegKey key(Reg.GetCurrentKey(), Reg.GetCurrentPath());
  TRegKeyInfo info;
  if (!key.QueryInfo(info)) return false;
  if (info.NumValues < kReadApartFrom) return key.ReadValues(info, 0, MAXDWORD, Values);
  std::vector<std::vector<TRegNamedValue>> parts(kReaders);
  std::vector<char> read(kReaders, 0);
  const HKEY handle = Reg.GetCurrentKey();
  const String path = Reg.GetCurrentPath();
  RunPainting([&] {
    if (TfrmMain::ReadingValuesHook) TfrmMain::ReadingValuesHook();
    const DWORD count = DWORD(info.NumValues);
    // Each thread on its own object of the one open key (an object keeps
    // its last error); a part that fails fails the listing.
    auto readPart = [&](unsigned P) {
      try {
        const TRegKey part(handle, path);
        read[P] = part.ReadValues(info, DWORD(uint64_t(count) * P / kReaders),
                                  DWORD(uint64_t(count) * (P + 1) / kReaders), parts[P]);
      } catch (...) {
        read[P] = 0;
      }
    };
    std::vector<std::thread> readers;
    try {
      for (unsigned p = 1; p < kReaders; ++p) readers.emplace_back(readPart, p);
    } catch (...) {
      // Fewer threads: the parts left are read here.
    }
    readPart(0);
    for (std::thread& t : readers) t.join();
    for (unsigned p = unsigned(readers.size()) + 1; p < kReaders; ++p) readPart(p);
  });
  if (std::find(read.begin(), read.end(), 0) != read.end()) return false;
  size_t total = 0;
  for (const auto& part : parts) total += part.size();
  Values.reserve(total);
  for (auto& part : parts) std::move(part.begin(), part.end(), std::back_inserter(Values));
  return true;
}

const wchar_t* const ValueNotRenamed = L"Value not renamed.";

int ImageOf(const cValue& V) {
  switch (V.GetType()) {
    case cValue::cvtInteger: return 1;
    case cValue::cvtBinary: return 2;
    case cValue::cvtExpandString: return 4;
    default: return 0;
  }
}

// Shows the item's value as the value object holds it.
void ShowValue(TListItem* Item, const cValue& V) {
  String text;
  try {
    text = V.GetDisplayText();
  } catch (const Exception&) {
    text.clear();
  }
  if (Item->SubItems()->GetCount() == 0)
    Item->SubItems()->Add(text);
  else
    Item->SubItems()->Put(0, text);
  Item->SetImageIndex(ImageOf(V));
}

// Gives the item its value object, display text and image: the value's
// exact bytes when there are some, "(value not set)" otherwise.
void FillItem(TListItem* Item, const String& ValueName, const TRegRawValue* Raw) {
  auto value = std::make_unique<cValue>();
  value->SetName(ValueName);
  value->SetDefaultFlag(ValueName.empty());
  if (Raw)
    // Any type is kept with its exact bytes; the four editable types
    // become the editor's own.
    value->SetRaw(Raw->Type, std::string(Raw->Data.begin(), Raw->Data.end()));
  else
    value->SetString(L"(value not set)");
  ShowValue(Item, *value);
  Item->SetData(value.release());
}

}  // namespace

void TfrmMain::LoadValues(TTreeExNode* Node) {
  if (dmodCommon->IsRootNode(Node)) {
    ValuesUnread = false;
    lvKeyValues->Items()->BeginUpdate();
    lvKeyValues->Items()->Clear();
    lvKeyValues->Items()->EndUpdate();
    listedRoot_ = RegRoot::None;
    return;
  }
  if (!dmodCommon->NodeHasData(Node)) return;
  ValuesUnread = false;
  TRegistry reg(KEY_READ);
  const TRegRoot root = dmodCommon->GetNodeRootKey(Node);
  reg.SetRootKey(RootHandle(root));
  const String keyPath = dmodCommon->GetNodeKeyPath(Node);
  // The list keeps its place for the key it showed (read again); another
  // key's values show from their top, not at the place the list was
  // scrolled to before.
  const bool sameKey = listedRoot_ == root && SameKeyPath(listedPath_, keyPath);
  listedRoot_ = root;
  listedPath_ = keyPath;
  // A key that can't be opened or listed (deleted elsewhere, or no
  // rights) shows no values rather than another key's, or a bare default
  // value, which the commands would act on.
  const bool opened = reg.OpenKeyReadOnly(keyPath);
  const bool listed = opened && ListValues(reg);
  if (listed && !sameKey && lvKeyValues->Items()->GetCount() > 0) lvKeyValues->Items()->GetItem(0)->MakeVisible(false);
  if (!listed) {
    listedRoot_ = RegRoot::None;
    ValuesUnread = true;
    lvKeyValues->Items()->BeginUpdate();
    lvKeyValues->Items()->Clear();
    lvKeyValues->Items()->EndUpdate();
    const String where = dmodCommon->GetNodeRootKeyName(Node, rnmFull) + dmodCommon->GetNodeKeyPath(Node);
    const TKeyStatus about(this);
    dmodCommon->SetStatusText(L"Unable to read the values of the key " + where + L".");
    // Only a key that is gone has the program lost step with the registry;
    // one that is there (the tree listed it) but can't be read is said so.
    String reason;
    if (!opened) {
      const String path = ApiKeyPath(dmodCommon->GetNodeKeyPath(Node));
      TRegKey key;
      if (!key.OpenReadOnly(root, path)) reason = RegUnreadableReason(RootHandle(root), path, key.LastError());
    }
    if (opened || !reason.empty())
      dmodCommon->ShowErrorText(L"The values of the key can't be read.\n\nKey: " + where +
                                (reason.empty() ? String() : L"\n" + reason));
    else
      dmodCommon->ShowErrorText(
          L"An exception occurred attempting to load values for a key. This is a symptom that Zembrio has lost "
          L"synchronization with the registry.  Please restart the program.");
  }
  reg.CloseKey();
}

bool TfrmMain::ListValues(TRegistry& Reg) {
  // The hourglass and the list's update lock end with this call, whatever
  // ends it: an exception of any kind (memory running out) leaves neither
  // the pointer busy nor the list unpainted.
  const TWaitCursor wait;
  TListItems* items = lvKeyValues->Items();
  struct TUpdate {
    TListItems* Items;
    explicit TUpdate(TListItems* I) : Items(I) { Items->BeginUpdate(); }
    ~TUpdate() { End(); }
    void End() {
      if (Items) Items->EndUpdate();
      Items = nullptr;
    }
  } update(items);
  try {
    items->Clear();
    // One pass over the key gives every name, type and data.
    std::vector<TRegNamedValue> values;
    if (!ReadAllValues(Reg, values)) return false;
    bool hasDefault = std::any_of(values.begin(), values.end(), [](const TRegNamedValue& v) { return v.Name.empty(); });
    if (!hasDefault) values.insert(values.begin(), TRegNamedValue());  // shown as "(value not set)"
    TListItem* defaultItem = nullptr;
    for (const TRegNamedValue& v : values) {
      TListItem* item = items->Add();
      bool isDefault = v.Name.empty();
      if (isDefault)
        defaultItem = item;
      else
        item->SetCaption(v.Name);
      FillItem(item, v.Name, isDefault && !hasDefault ? nullptr : &v.Value);
    }
    // The default value's caption is still empty: it comes first. The
    // registry mostly gives the names in this order already; then the sort
    // only checks that they are.
    lvKeyValues->AlphaSort();
    defaultItem->SetCaption(L"(Default)");
  } catch (const Exception& E) {
    update.End();
    dmodCommon->ShowException(E, L"An exception occurred attempting to load registry values.");
    return true;
  }
  update.End();
  lvKeyValues->Invalidate();
  return true;
}

void TfrmMain::FillValueItem(TRegistry& Reg, TListItem* Item, const String& ValueName) {
  TRegRawValue raw;
  bool found = Reg.ReadRaw(ValueName, raw);
  FillItem(Item, ValueName, found ? &raw : nullptr);
}

void TfrmMain::lvKeyValuesDeletion(TObject*, TListItem* Item) {
  ListItemGone(Item);
  delete ItemValue(Item);
  Item->SetData(nullptr);
}

void TfrmMain::lvKeyValuesEditing(TObject*, TListItem* Item, bool& AllowEdit) {
  auto* v = ItemValue(Item);
  AllowEdit = v && !v->GetName().empty();
  // A rename is a command of its own: an earlier rename's success does not
  // stand for one ended with the name unchanged, or with Escape.
  if (AllowEdit) dmodCommon->SetStatusText(String());
}

void TfrmMain::lvKeyValuesEdited(TObject*, TListItem* Item, String& S) {
  const TKeyStatus about(this);
  if (S.empty()) {
    dmodCommon->SetStatusText(ValueNotRenamed);
    dmodCommon->ShowMessageText(L"Invalid value name.");
    S = Item->GetCaption();
    return;
  }
  auto* v = ItemValue(Item);
  TTreeExNode* node = GetSelectedNode();
  if (!v || !dmodCommon->NodeHasData(node)) {
    S = Item->GetCaption();
    return;
  }
  if (S == v->GetName()) return;
  // A name longer than the registry takes (the name box holds one
  // character more) is refused here, before the registry is asked.
  if (S.size() > MaxValueNameLength) {
    dmodCommon->SetStatusText(ValueNotRenamed);
    dmodCommon->ShowMessageText(L"A value name can have at most 16,383 characters.");
    S = Item->GetCaption();
    return;
  }
  TRegRoot root = dmodCommon->GetNodeRootKey(node);
  String path = dmodCommon->GetNodeKeyPath(node);
  try {
    v->Rename(root, path, S);
    dmodCommon->SetStatusText(L"Value successfully renamed to " + S + L".");
    return;
  } catch (const ESpareValueLeft& E) {
    // Renamed all the same: the item keeps the new name.
    dmodCommon->ShowErrorText(E.Message());
    dmodCommon->SetStatusText(L"Value renamed to " + S + L"; a spare value is left in the key.");
    return;
  } catch (const EValueExists&) {
    // The status of an earlier rename must not stand for this one.
    dmodCommon->SetStatusText(ValueNotRenamed);
    dmodCommon->ShowMessageText(L"Value already exists: " + S + L"\n\nRename aborted.");
  } catch (const ERegistryException& E) {
    dmodCommon->SetStatusText(ValueNotRenamed);
    dmodCommon->ShowErrorText(L"An exception occurred attempting to rename the registry value.\n\n" + E.Message());
  } catch (const Exception& E) {
    dmodCommon->SetStatusText(ValueNotRenamed);
    dmodCommon->ShowException(E, L"An unknown exception occurred attempting to rename the registry value.\n\n");
  }
  // Show what the registry holds, never the refused name.
  S = Item->GetCaption();
  if (v->Reload(root, path)) ShowValue(Item, *v);
}

void TfrmMain::NewStringValue(TRegRoot Root, const String& KeyPath) {
  NewValue(TNewValueKind::String, Root, KeyPath);
}
void TfrmMain::NewExpandStringValue(TRegRoot Root, const String& KeyPath) {
  NewValue(TNewValueKind::ExpandString, Root, KeyPath);
}
void TfrmMain::NewBinaryValue(TRegRoot Root, const String& KeyPath) {
  NewValue(TNewValueKind::Binary, Root, KeyPath);
}
void TfrmMain::NewIntegerValue(TRegRoot Root, const String& KeyPath) {
  NewValue(TNewValueKind::Integer, Root, KeyPath);
}

void TfrmMain::NewValue(TNewValueKind Kind, TRegRoot Root, const String& KeyPath) {
  const TNewValueTexts& texts = NewValueTexts(Kind);
  const TKeyStatus about(this);
  try {
    // The value is written first: a failed write leaves no item behind.
    TNewValue made = RegEdits::NewValue(Kind, Root, KeyPath);
    TListItem* item = lvKeyValues->Items()->Add();
    item->SetCaption(made.Name);
    FillItem(item, made.Name, &made.Value);
    lvKeyValues->SetSelected(item);
    item->MakeVisible(false);
    if (lvKeyValues->CanFocus()) lvKeyValues->SetFocus();
    item->EditCaption();
    dmodCommon->SetStatusText(String(texts.Status) + made.Name);
  } catch (const ERegEditFailed& E) {
    dmodCommon->SetStatusText(L"New value not added.");
    dmodCommon->ShowErrorText(E.Message());
  } catch (const Exception& E) {
    dmodCommon->SetStatusText(L"New value not added.");
    dmodCommon->ShowException(E, texts.ExceptionText);
  }
}

void TfrmMain::EditSelectedValue() {
  TTreeExNode* node = GetSelectedNode();
  TListItem* item = lvKeyValues->GetSelected();
  auto* v = ItemValue(item);
  if (!dmodCommon->NodeHasData(node) || !v) return;
  // What the editor says (a value saved, a note on how it is edited)
  // speaks of the value.
  const TKeyStatus about(this);
  dmodCommon->SaveEditedValue(dmodCommon->GetNodeRootKey(node), dmodCommon->GetNodeKeyPath(node), *v);
  ShowValue(item, *v);
}

TfrmMain::TValuesChoice TfrmMain::ChosenValues() {
  TValuesChoice choice;
  // Only the chosen rows are visited, by row: the key may hold 230,000
  // values, and finding each item's row again grows with the square.
  TListItems* items = lvKeyValues->Items();
  const std::vector<int> rows = lvKeyValues->GetSelectedRows();  // in order
  choice.Selected.reserve(rows.size());
  for (int row : rows)
    if (cValue* v = ItemValue(items->GetItem(row))) choice.Selected.push_back(v->GetName());
  if (cValue* v = ItemValue(lvKeyValues->GetItemFocused())) {
    choice.HasFocused = true;
    choice.Focused = v->GetName();
  }
  return choice;
}

void TfrmMain::ChooseValues(const TValuesChoice& Choice) {
  if (Choice.Selected.empty() && !Choice.HasFocused) return;
  TListItems* items = lvKeyValues->Items();
  const int count = items->GetCount();
  std::vector<int> rows;
  TListItem* focused = nullptr;
  // Every row holds the value chosen in its row before (every value was
  // chosen, and the key still holds just those): all rows, with no lookup
  // of each name.
  bool same = Choice.Selected.size() == size_t(count);
  for (int i = 0; same && i < count; ++i) {
    const cValue* v = ItemValue(items->GetItem(i));
    same = v && v->GetName() == Choice.Selected[size_t(i)];
  }
  if (same) {
    rows.resize(size_t(count));
    for (int i = 0; i < count; ++i) rows[size_t(i)] = i;
    for (int i = 0; Choice.HasFocused && !focused && i < count; ++i)
      if (ItemValue(items->GetItem(i))->GetName() == Choice.Focused) focused = items->GetItem(i);
  } else {
    std::unordered_set<std::wstring_view> selected;
    selected.reserve(Choice.Selected.size());
    for (const String& name : Choice.Selected) selected.insert(name);
    rows.reserve(Choice.Selected.size());
    for (int i = 0; i < count; ++i) {
      TListItem* it = items->GetItem(i);
      const cValue* v = ItemValue(it);
      if (!v) continue;
      if (!selected.empty() && selected.count(v->GetName())) rows.push_back(i);
      if (Choice.HasFocused && !focused && v->GetName() == Choice.Focused) focused = it;
    }
  }
  // By row, not by item (an item finds its row by a search of the list):
  // all rows chosen again are chosen in one change.
  items->BeginUpdate();
  lvKeyValues->SelectRows(rows);
  items->EndUpdate();
  if (focused) FocusValueItem(focused);
}

void TfrmMain::FocusValueItem(TListItem* Item) {
  lvKeyValues->SetItemFocused(Item);
  if (lvKeyValues->HandleAllocated())
    SendMessageW(lvKeyValues->GetHandle(), LVM_SETSELECTIONMARK, 0, LPARAM(Item->GetIndex()));
  Item->MakeVisible(false);
}

void TfrmMain::lvKeyValuesDblClick(TObject*) { EditSelectedValue(); }

void TfrmMain::lvKeyValuesKeyDown(TObject*, WORD& Key, TShiftState) {
  if (lvKeyValues->IsEditing()) return;
  if (Key == VK_DELETE)
    DeleteSelected(lvKeyValues);
  else if (Key == VK_RETURN)
    EditSelectedValue();
}

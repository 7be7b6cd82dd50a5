#include "toolbars/BarMRU.h"

#include <windows.h>
#include <commdlg.h>
#include <cstring>

#include <vector>

#include "classlib/Filer.h"
#include "toolbars/BarFiler.h"

const wchar_t* const SBarMRUListItemDefCaption = L"(MRU List)";

// ---- the names --------------------------------------------------------------
TBarMRUListStrings::~TBarMRUListStrings() = default;

String TBarMRUListStrings::Get(int Index) const { return names_.Get(Index); }
int TBarMRUListStrings::GetCount() const { return names_.GetCount(); }

void TBarMRUListStrings::Changed() {
  // A change that trims the list is one change: its notice covers the trim.
  if (list_->trimming_) return list_->SetItemCaptions();
  ++list_->changing_;
  try {
    list_->SetItemCaptions();
  } catch (...) {
    --list_->changing_;
    throw;
  }
  --list_->changing_;
  list_->NotifyChange();
}

void TBarMRUListStrings::Put(int Index, const String& S) {
  names_.Put(Index, S);
  Changed();
}

void TBarMRUListStrings::Insert(int Index, const String& S) {
  if (Index < 0 || Index > GetCount()) throw EStringListError(String(L"List index out of bounds"));
  TBarCustomItem* item = list_->GetItemClass()(list_->container_);
  item->OnClick = TNotifyEvent(list_, &TBarMRUList::ClickHandler);
  try {
    list_->container_->Insert(Index, item);
  } catch (...) {
    delete item;
    throw;
  }
  names_.Insert(Index, S);
  Changed();
}

void TBarMRUListStrings::Delete(int Index) {
  if (Index < 0 || Index >= GetCount()) throw EStringListError(String(L"List index out of bounds"));
  delete list_->container_->Items(Index);
  names_.Delete(Index);
  Changed();
}

void TBarMRUListStrings::Clear() {
  for (int i = GetCount() - 1; i >= 0; --i) Delete(i);
}

void TBarMRUListStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  names_.Move(CurIndex, NewIndex);
  list_->container_->Move(CurIndex, NewIndex);
  Changed();
}

int TBarMRUListStrings::IndexOf(const String& S) const {
  String key = AnsiLowerCaseFileName(S);
  for (int i = 0; i < GetCount(); ++i)
    if (AnsiLowerCaseFileName(names_.Get(i)) == key) return i;
  return -1;
}

// ---- the list -----------------------------------------------------------------
TBarMRUList::TBarMRUList(TComponent* AOwner)
    : TBarMRUList(AOwner, [](TComponent* O) -> TBarCustomItem* { return new TBarCustomItem(O); }) {}

TBarMRUList::TBarMRUList(TComponent* AOwner, TBarMRUItemClass ContainerClass) : TComponent(AOwner) {
  list_ = new TBarMRUListStrings(this);
  container_ = ContainerClass(nullptr);
}

TBarMRUList::~TBarMRUList() {
  delete container_;
  container_ = nullptr;
  delete list_;
}

namespace {
TBarCustomItem* NewPlainItem(TComponent* AOwner) { return new TBarCustomItem(AOwner); }
}  // namespace

TBarMRUItemClass TBarMRUList::GetItemClass() { return NewPlainItem; }

void TBarMRUList::Add(const String& Filename) {
  String s = AddFullPath ? ExpandFileName(Filename) : Filename;
  int i = list_->IndexOf(s);
  if (i < 0) {
    list_->Insert(0, s);
    return;
  }
  if (i > 0) list_->Move(i, 0);
  list_->Put(0, s);  // takes the new letter case
}

void TBarMRUList::Remove(const String& Filename) {
  int i = list_->IndexOf(Filename);
  if (i >= 0) list_->Delete(i);
}

void TBarMRUList::SetMaxItems(int Value) {
  if (Value < 0) Value = 0;
  if (maxItems_ == Value) return;
  maxItems_ = Value;
  SetItemCaptions();
}

void TBarMRUList::SetHidePathExtension(bool Value) {
  if (hidePathExtension_ == Value) return;
  hidePathExtension_ = Value;
  SetItemCaptions();
}

String BarMRUCaption(int Key, const String& Name) {
  wchar_t accel = 0;
  if (Key >= 0 && Key <= 8)
    accel = static_cast<wchar_t>(L'1' + Key);
  else if (Key >= 9 && Key <= 34)
    accel = static_cast<wchar_t>(L'A' + (Key - 9));
  String s = EscapeAmpersands(Name);
  if (!accel) return s;
  return String(L"&") + accel + L" " + s;
}

void TBarMRUList::NotifyChange() {
  if (loading_ || GetComponentState().Contains(csLoading)) return;
  if (OnChange) OnChange(this);
}

void TBarMRUList::SetItemCaptions() {
  // Drop the oldest names past the limit. Within a change of the names the
  // trim is part of that change; on its own (a lower MaxItems) it is a
  // change of its own and is announced once.
  if (trimming_) return;
  bool trimmed = false;
  trimming_ = true;
  try {
    while (list_->GetCount() > maxItems_) {
      list_->Delete(list_->GetCount() - 1);
      trimmed = true;
    }
  } catch (...) {
    trimming_ = false;
    throw;
  }
  trimming_ = false;
  int key = GetFirstKey();
  for (int i = 0; i < container_->Count(); ++i, ++key) {
    String s = list_->Get(i);
    if (hidePathExtension_ && !s.empty()) {
      wchar_t buf[260];
      if (GetFileTitleW(s.c_str(), buf, 260) == 0) s = buf;
    }
    container_->Items(i)->SetCaption(BarMRUCaption(key, s));
  }
  if (trimmed && changing_ == 0) NotifyChange();
}

void TBarMRUList::ClickHandler(TObject* Sender) {
  int i = container_->IndexOf(dynamic_cast<TBarCustomItem*>(Sender));
  if (i < 0) return;
  if (i > 0) list_->Move(i, 0);
  if (OnClick) OnClick(this, list_->Get(0));
}

template <class Reader>
void TBarMRUList::LoadWith(Reader&& Read) {
  // Every name is read before the list changes, so that storage that fails
  // to read raises with the list as it was (a later save would otherwise
  // delete the entries that could not be read).
  std::vector<String> names;
  for (int n = 1; n <= maxItems_; ++n) {
    String s = Read(Prefix + IntToStr(n));
    if (!s.empty()) names.push_back(std::move(s));
  }
  // The names go in quietly, one by one; a client that follows the list
  // hears of the load once, at the end, when it changed the names (a load
  // that fails half way has changed them too).
  std::vector<String> before;
  for (int i = 0; i < list_->GetCount(); ++i) before.push_back(list_->Get(i));
  auto changed = [&] {
    if (static_cast<int>(before.size()) != list_->GetCount()) return true;
    for (int i = 0; i < list_->GetCount(); ++i)
      if (before[static_cast<size_t>(i)] != list_->Get(i)) return true;
    return false;
  };
  loading_ = true;
  try {
    list_->Clear();
    for (const String& s : names) list_->Insert(list_->GetCount(), s);
  } catch (...) {
    loading_ = false;
    if (changed()) NotifyChange();
    throw;
  }
  loading_ = false;
  if (changed()) NotifyChange();
}

template <class Writer, class Deleter>
void TBarMRUList::SaveWith(Writer&& Write, Deleter&& Del) {
  for (int n = 1; n <= maxItems_; ++n) {
    String key = Prefix + IntToStr(n);
    if (n <= list_->GetCount())
      Write(key, list_->Get(n - 1));
    else
      Del(key);
  }
}

namespace {

// A name stored in the registry. An entry of a type that holds no text
// (binary, multi-string: written by hand or by another program) counts as
// empty, so that the names after it still load; a value that can't be read
// raises.
String ReadRegistryName(TRegIniFile* Reg, const String& Section, const String& Key) {
  TRegRawValue v;
  if (!Reg->ReadRawIn(Section, Key, v)) return String();
  if (v.Type == REG_SZ || v.Type == REG_EXPAND_SZ) return RegTextOf(v);
  if (v.Type == REG_DWORD && v.Data.size() == sizeof(DWORD)) {
    DWORD d;
    std::memcpy(&d, v.Data.data(), sizeof d);
    return IntToStr(static_cast<int>(d));
  }
  return String();
}

}  // namespace

void TBarMRUList::LoadFromIni(TCustomIniFile* Ini, const String& Section) {
  if (auto* reg = dynamic_cast<TRegistryIniFile*>(Ini)) {
    LoadWith([&](const String& Key) { return ReadRegistryName(reg->GetRegIniFile(), Section, Key); });
    return;
  }
  LoadWith([&](const String& Key) { return Ini->ReadString(Section, Key, String()); });
}

void TBarMRUList::LoadFromRegIni(TRegIniFile* Ini, const String& Section) {
  LoadWith([&](const String& Key) { return ReadRegistryName(Ini, Section, Key); });
}

void TBarMRUList::SaveToIni(TCustomIniFile* Ini, const String& Section) {
  SaveWith([&](const String& Key, const String& V) { Ini->WriteString(Section, Key, V); },
           [&](const String& Key) { Ini->DeleteKey(Section, Key); });
}

void TBarMRUList::SaveToRegIni(TRegIniFile* Ini, const String& Section) {
  SaveWith([&](const String& Key, const String& V) { Ini->WriteString(Section, Key, V); },
           [&](const String& Key) { Ini->DeleteKey(Section, Key); });
}

void TBarMRUList::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* a = dynamic_cast<TBarMRUList*>(Filer->GetAncestor());
  using namespace BarFiler;
  Boolean(Filer, L"AddFullPath", AddFullPath, a ? a->AddFullPath : true, [this](bool v) { AddFullPath = v; });
  Boolean(Filer, L"HidePathExtension", hidePathExtension_, a ? a->hidePathExtension_ : true,
          [this](bool v) { SetHidePathExtension(v); });
  Integer(Filer, L"MaxItems", maxItems_, a ? a->maxItems_ : 4, [this](int64_t v) { SetMaxItems(static_cast<int>(v)); });
  Lines(Filer, L"Items", list_, a ? a->list_ : nullptr);
  Text(Filer, L"Prefix", Prefix, a ? a->Prefix : String(L"MRU"), [this](const String& v) { Prefix = v; });
  Event(Filer, L"OnChange", OnChange, a ? &a->OnChange : nullptr);
  Event(Filer, L"OnClick", OnClick, a ? &a->OnClick : nullptr);
}

// ---- the menu item --------------------------------------------------------------
TBarMRUListItem::TBarMRUListItem(TComponent* AOwner) : TBarCustomItem(AOwner) {
  TBarItemStyle st = GetItemStyle();
  st.Include(tbisEmbeddedGroup);
  SetItemStyle(st);
  SetCaption(SBarMRUListItemDefCaption);
}

void TBarMRUListItem::SetMRUList(TBarMRUList* Value) {
  if (mruList_ == Value) return;
  mruList_ = Value;
  if (Value) {
    Value->FreeNotification(this);
    SetLinkSubitems(Value->GetItemContainer());
  } else {
    SetLinkSubitems(nullptr);
  }
}

void TBarMRUListItem::DefineProperties(TFiler* Filer) {
  TBarCustomItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TBarMRUListItem*>(Filer->GetAncestor());
  BarFiler::Reference(Filer, L"MRUList", mruList_, a ? a->mruList_ : nullptr, pendingMRUList_);
}

void TBarMRUListItem::Loaded() {
  TBarCustomItem::Loaded();
  if (pendingMRUList_.empty()) return;
  auto* l = dynamic_cast<TBarMRUList*>(BarFiler::Find(this, pendingMRUList_));
  pendingMRUList_.clear();
  SetMRUList(l);
}

void TBarMRUListItem::Notification(TComponent* AComponent, TOperation Operation) {
  TBarCustomItem::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent && AComponent == mruList_) SetMRUList(nullptr);
}

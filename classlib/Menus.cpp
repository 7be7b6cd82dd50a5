#include "classlib/Menus.h"

#include <algorithm>

#include "classlib/Controls.h"
#include "classlib/Forms.h"

namespace {

constexpr TShortCut kShift = 0x2000, kCtrl = 0x4000, kAlt = 0x8000;

// Command ids of the items of every menu; 0 is never given out.
std::vector<bool>& CommandPool() {
  static std::vector<bool> used(1, true);
  return used;
}

WORD AllocateCommand() {
  auto& used = CommandPool();
  auto it = std::find(used.begin() + 1, used.end(), false);
  if (it != used.end()) {
    *it = true;
    return static_cast<WORD>(it - used.begin());
  }
  if (used.size() > 0xFFFF) throw EMenuError(L"Too many menu items");
  used.push_back(true);
  return static_cast<WORD>(used.size() - 1);
}

void ReleaseCommand(WORD Command) {
  auto& used = CommandPool();
  if (Command < used.size()) used[Command] = false;
}

// The key names of the classic shortcut texts.
const wchar_t* ShortKeyName(WORD Key) {
  switch (Key) {
    case VK_BACK: return L"BkSp";
    case VK_TAB: return L"Tab";
    case VK_RETURN: return L"Enter";
    case VK_ESCAPE: return L"Esc";
    case VK_SPACE: return L"Space";
    case VK_PRIOR: return L"PgUp";
    case VK_NEXT: return L"PgDn";
    case VK_END: return L"End";
    case VK_HOME: return L"Home";
    case VK_LEFT: return L"Left";
    case VK_UP: return L"Up";
    case VK_RIGHT: return L"Right";
    case VK_DOWN: return L"Down";
    case VK_INSERT: return L"Ins";
    case VK_DELETE: return L"Del";
    default: return nullptr;
  }
}

String KeyName(WORD Key) {
  if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z')) return String(1, static_cast<wchar_t>(Key));
  if (Key >= VK_F1 && Key <= VK_F24) return L"F" + std::to_wstring(Key - VK_F1 + 1);
  if (const wchar_t* n = ShortKeyName(Key)) return n;
  if (Key == VK_SHIFT || Key == VK_CONTROL || Key == VK_MENU) return String();
  // The platform's name for the rest (punctuation, the number pad...).
  const UINT scan = MapVirtualKeyW(Key, MAPVK_VK_TO_VSC);
  if (!scan) return String();
  LONG data = static_cast<LONG>(scan << 16);
  if (Key == VK_DIVIDE || Key == VK_NUMLOCK || Key == VK_RMENU || Key == VK_RCONTROL) data |= 1 << 24;
  wchar_t buf[64];
  const int n = GetKeyNameTextW(data, buf, 64);
  return n > 0 ? String(buf, static_cast<size_t>(n)) : String();
}

bool StartsWithNoCase(const String& S, size_t At, const wchar_t* Prefix) {
  const size_t n = wcslen(Prefix);
  return S.size() - At >= n && _wcsnicmp(S.c_str() + At, Prefix, n) == 0;
}

}  // namespace

TShortCut ShortCut(WORD Key, TShiftState Shift) {
  if (Key & 0xFF00) return 0;
  TShortCut r = Key;
  if (Shift.Contains(ssShift)) r |= kShift;
  if (Shift.Contains(ssCtrl)) r |= kCtrl;
  if (Shift.Contains(ssAlt)) r |= kAlt;
  return r;
}

void ShortCutToKey(TShortCut ShortCut, WORD& Key, TShiftState& Shift) {
  Key = ShortCut & 0xFF;
  Shift = TShiftState();
  if (ShortCut & kShift) Shift += ssShift;
  if (ShortCut & kCtrl) Shift += ssCtrl;
  if (ShortCut & kAlt) Shift += ssAlt;
}

String ShortCutToText(TShortCut ShortCut) {
  const String name = KeyName(ShortCut & 0xFF);
  if (name.empty()) return String();
  String r;
  if (ShortCut & kShift) r += L"Shift+";
  if (ShortCut & kCtrl) r += L"Ctrl+";
  if (ShortCut & kAlt) r += L"Alt+";
  return r + name;
}

TShortCut TextToShortCut(const String& Text) {
  TShortCut mods = 0;
  size_t at = 0;
  for (;;) {
    if (StartsWithNoCase(Text, at, L"Shift+")) mods |= kShift, at += 6;
    else if (StartsWithNoCase(Text, at, L"Ctrl+")) mods |= kCtrl, at += 5;
    else if (StartsWithNoCase(Text, at, L"Alt+")) mods |= kAlt, at += 4;
    else break;
  }
  const String key = Text.substr(at);
  if (key.empty()) return 0;
  for (WORD k = 8; k <= 0xFF; ++k) {
    const String n = KeyName(k);
    if (!n.empty() && _wcsicmp(n.c_str(), key.c_str()) == 0) return static_cast<TShortCut>(k | mods);
  }
  return 0;
}

// ===========================================================================
// TMenuItem

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), command_(AllocateCommand()) {}

TMenuItem::~TMenuItem() {
  Destroying();
  if (parent_) parent_->Remove(this);
  while (!items_.empty()) {
    TMenuItem* i = items_.back();
    items_.pop_back();
    i->parent_ = nullptr;
    delete i;
  }
  ReleaseHandle();
  ReleaseCommand(command_);
}

void TMenuItem::ReleaseHandle() {
  if (!handle_) return;
  // The sub-menus belong to their items: take them out before the menu goes.
  while (GetMenuItemCount(handle_) > 0) RemoveMenu(handle_, 0, MF_BYPOSITION);
  DestroyMenu(handle_);
  handle_ = nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* i = this;
  while (i->parent_) i = i->parent_;
  return i->menu_;
}

void TMenuItem::SetCaption(const String& Value) {
  if (Value == caption_) return;
  caption_ = Value;
  Changed();
}

void TMenuItem::SetShortCut(TShortCut Value) {
  if (Value == shortCut_) return;
  shortCut_ = Value;
  Changed();
}

void TMenuItem::SetChecked(bool Value) {
  if (Value == checked_) return;
  checked_ = Value;
  Changed();
}

void TMenuItem::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  Changed();
}

void TMenuItem::SetVisible(bool Value) {
  if (Value == visible_) return;
  visible_ = Value;
  Changed();
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
  if (!Item) return;
  if (Item->parent_) throw EMenuError(L"Menu inserted twice");
  if (Index < 0 || Index > Count()) throw EMenuError(Format(L"Menu index out of range (%d)", Index));
  items_.insert(items_.begin() + Index, Item);
  Item->parent_ = this;
  RebuildHandle();
  // The first item makes this one open a sub-menu.
  if (Count() == 1) Changed();
}

void TMenuItem::Delete(int Index) {
  if (Index < 0 || Index >= Count()) throw EMenuError(Format(L"Menu index out of range (%d)", Index));
  TMenuItem* item = items_[static_cast<size_t>(Index)];
  items_.erase(items_.begin() + Index);
  item->parent_ = nullptr;
  if (IsDestroying()) return;
  RebuildHandle();
  if (items_.empty()) Changed();
}

void TMenuItem::Remove(TMenuItem* Item) {
  const int i = IndexOf(Item);
  if (i < 0) throw EMenuError(L"Sub-menu is not in menu");
  Delete(i);
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
  auto it = std::find(items_.begin(), items_.end(), Item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

TMenuItem* TMenuItem::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EMenuError(Format(L"Menu index out of range (%d)", Index));
  return items_[static_cast<size_t>(Index)];
}

HMENU TMenuItem::Handle() {
  if (!handle_ && (!items_.empty() || menu_)) {
    handle_ = menu_ ? menu_->CreateMenuHandle() : CreatePopupMenu();
    RebuildHandle();
  }
  return items_.empty() && !menu_ ? nullptr : handle_;
}

void TMenuItem::RebuildHandle() {
  if (!handle_ || IsDestroying()) return;
  while (GetMenuItemCount(handle_) > 0) RemoveMenu(handle_, 0, MF_BYPOSITION);
  UINT pos = 0;
  for (TMenuItem* i : items_) {
    // An item whose last item went keeps no sub-menu.
    if (i->items_.empty() && i->handle_) i->ReleaseHandle();
    if (!i->visible_) continue;
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    mi.wID = i->command_;
    String text = i->caption_;
    if (i->IsLine()) {
      mi.fType = MFT_SEPARATOR;
      mi.fMask &= ~UINT(MIIM_STRING);
    } else {
      // The bar shows no shortcuts.
      if (i->shortCut_ && !dynamic_cast<TMainMenu*>(menu_)) text += L"\t" + ShortCutToText(i->shortCut_);
      mi.dwTypeData = const_cast<wchar_t*>(text.c_str());
    }
    mi.fState = (i->checked_ ? MFS_CHECKED : 0) | (i->enabled_ ? 0 : MFS_GRAYED);
    mi.hSubMenu = i->items_.empty() ? nullptr : i->Handle();
    InsertMenuItemW(handle_, pos++, TRUE, &mi);
  }
  if (menu_) menu_->MenuChanged();
}

void TMenuItem::Changed() {
  if (parent_) parent_->RebuildHandle();
}

void TMenuItem::Click() {
  if (enabled_ && OnClick) OnClick(this);
}

// ===========================================================================
// TMenu

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(nullptr)) { items_->menu_ = this; }

TMenu::~TMenu() {
  items_->menu_ = nullptr;
  delete items_;
}

namespace {

TMenuItem* Find(TMenuItem* Item, UINT_PTR Value, TFindItemKind Kind) {
  for (int i = 0; i < Item->Count(); ++i) {
    TMenuItem* c = Item->Items(i);
    switch (Kind) {
      case fkCommand:
        if (c->Command() == Value) return c;
        break;
      case fkHandle:
        if (c->Count() > 0 && reinterpret_cast<UINT_PTR>(c->Handle()) == Value) return c;
        break;
      case fkShortCut:
        if (!c->GetVisible()) continue;
        if (c->GetShortCut() == Value) return c;
        break;
    }
    if (TMenuItem* f = Find(c, Value, Kind)) return f;
  }
  return nullptr;
}

}  // namespace

TMenuItem* TMenu::FindItem(UINT_PTR Value, TFindItemKind Kind) const {
  if (Kind == fkShortCut && Value == 0) return nullptr;
  return Find(items_, Value, Kind);
}

bool TMenu::DispatchPopup(HMENU AHandle) {
  if (!AHandle) return false;
  TMenuItem* i = FindItem(reinterpret_cast<UINT_PTR>(AHandle), fkHandle);
  if (!i) return false;
  i->Click();
  return true;
}

bool TMenu::DispatchCommand(WORD ACommand) {
  TMenuItem* i = FindItem(ACommand, fkCommand);
  if (!i) return false;
  i->Click();
  return true;
}

bool TMenu::IsShortCut(WORD Key, LPARAM KeyData) {
  const TShortCut sc = ShortCut(Key, KeyDataToShiftState(KeyData));
  TMenuItem* item = FindItem(sc, fkShortCut);
  if (!item) return false;
  // Top down, each sub-menu on the way hears that it opens (it may update
  // the item, even take it away).
  std::vector<TMenuItem*> path;
  for (TMenuItem* p = item->Parent(); p && p != items_; p = p->Parent()) path.insert(path.begin(), p);
  for (TMenuItem* p : path) {
    if (!p->GetEnabled()) return false;
    p->Click();
  }
  item = FindItem(sc, fkShortCut);
  if (!item || !item->GetEnabled()) return false;
  item->Click();
  return true;
}

// ===========================================================================
// TMainMenu

TMainMenu::~TMainMenu() {
  if (form_ && form_->GetMenu() == this) form_->SetMenu(nullptr);
}

void TMainMenu::MenuChanged() {
  if (form_ && form_->HandleAllocated() && ::GetMenu(form_->GetHandle()) == Items()->Handle())
    DrawMenuBar(form_->GetHandle());
}

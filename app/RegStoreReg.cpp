// Registry side of the settings store (Windows only).
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "app/Cvalue.h"
#include "app/RegAccess.h"
#include "app/RegStore.h"
#include "classlib/Registry.h"

bool TRegStoreValue::OpenKey(TRegistry& Reg, bool Create) {
  const TRegStore* store = Store();
  Reg.SetRootKey(RootHandle(store ? store->GetRootHKEY() : RegRoot::CurrentUser));
  return Reg.OpenKey(L"\\" + KeyPath(), Create);
}

namespace {

// A registry object (made with read access) on the setting's root with its
// key opened; false when the key can't be opened. One try: a missing key
// is the common case (a first start), and each try is a round trip to the
// registry.
bool OpenForReading(const TRegStoreValue& Value, TRegistry& Reg) {
  const TRegStore* store = Value.Store();
  Reg.SetRootKey(RootHandle(store ? store->GetRootHKEY() : RegRoot::CurrentUser));
  return Reg.OpenKey(L"\\" + Value.KeyPath(), false);
}

}  // namespace

TSettingValue TRegStoreValue::ReadFromRegistry(const TSettingValue& Fallback) {
  TRegistry reg(KEY_READ);
  return TakeStored(OpenForReading(*this, reg) ? &reg : nullptr, Fallback);
}

TSettingValue TRegStoreValue::ReadFromOpenKey(TRegistry* Key) { return TakeStored(Key, default_); }

TSettingValue TRegStoreValue::TakeStored(TRegistry* Key, const TSettingValue& Fallback) {
  TSettingValue got;
  TRegRawValue raw;
  if (Key && Key->ReadRaw(name_, raw)) {
    const DWORD type = raw.Type;
    const std::string data(raw.Data.begin(), raw.Data.end());
    // A value of the wrong type or size (written by another tool) counts
    // as absent: the setting takes its default instead of failing.
    switch (type_) {
      case vtBoolean:
      case vtInteger:
        if (type == REG_DWORD && data.size() == 4) {
          int32_t v = 0;
          std::memcpy(&v, data.data(), 4);
          got = type_ == vtBoolean ? TSettingValue(v != 0) : TSettingValue(static_cast<int>(v));
        }
        break;
      case vtDate:
      case vtDouble:
        if (type == REG_BINARY && data.size() == 8) {
          double d = 0;
          std::memcpy(&d, data.data(), 8);
          if (d == d) got = type_ == vtDate ? TSettingValue::FromDate(d) : TSettingValue(d);  // a NaN is neither
        }
        break;
      case vtString:
        if (type == REG_SZ || type == REG_EXPAND_SZ) got = TSettingValue(RegBytesToString(data));
        break;
    }
  }
  readFound_ = !got.IsEmpty();
  if (got.IsEmpty())
    SetValue(Fallback);
  else
    value_ = got;
  return value_;
}

void TRegStoreValue::WriteToRegistry() {
  if (value_.IsEmpty()) return;  // never read: keep what is stored
  TRegistry reg(KEY_READ | KEY_WRITE);
  // A key that can't be opened or created is skipped silently.
  if (!OpenKey(reg, true)) return;
  switch (type_) {
    case vtBoolean:
      reg.WriteInteger(name_, value_.AsBoolean() ? 1 : 0);
      break;
    case vtInteger:
      reg.WriteInteger(name_, value_.AsInteger());
      break;
    case vtDate:
    case vtDouble: {
      const double d = type_ == vtDate ? value_.AsDateTime() : value_.AsDouble();
      reg.WriteBinaryData(name_, &d, 8);
      break;
    }
    case vtString:
      reg.WriteString(name_, value_.AsString());
      break;
  }
}

void TRegStoreValue::DeleteFromRegistry() {
  TRegistry reg(KEY_READ | KEY_WRITE);
  if (OpenKey(reg, false)) reg.DeleteValue(name_);
}

namespace {

// Reads the settings that Wanted picks. Settings share a few keys: each key
// is opened once (or found missing once), not once per setting.
void ReadSome(const TRegStoreValues& Values, const std::function<bool(const TRegStoreValue&)>& Wanted) {
  std::map<std::pair<uintptr_t, String>, std::unique_ptr<TRegistry>> keys;
  for (int i = 0; i < Values.Count(); ++i) {
    TRegStoreValue& v = Values.Item(i);
    if (!Wanted(v)) continue;
    const TRegStore* store = v.Store();
    auto at = std::make_pair(store ? store->GetRootHKEY() : RegRoot::CurrentUser, v.KeyPath());
    auto it = keys.find(at);
    if (it == keys.end()) {
      auto reg = std::make_unique<TRegistry>(KEY_READ);
      if (!OpenForReading(v, *reg)) reg.reset();
      it = keys.emplace(std::move(at), std::move(reg)).first;
    }
    v.ReadFromOpenKey(it->second.get());
  }
}

}  // namespace

void TRegStoreValues::ReadValues() {
  ReadSome(*this, [](const TRegStoreValue&) { return true; });
}

void TRegStoreValues::ReadValues(const std::vector<String>& Names) {
  ReadSome(*this, [&Names](const TRegStoreValue& V) {
    for (const String& n : Names)
      if (AnsiSameText(n, V.GetName())) return true;
    return false;
  });
}

void TRegStoreValues::WriteValues() {
  for (int i = 0; i < Count(); ++i) Item(i).WriteToRegistry();
}

void TRegStoreValues::DeleteValues() {
  for (int i = 0; i < Count(); ++i) Item(i).DeleteFromRegistry();
}

// ---------------------------------------------------------------------------
// The designer's editor.

String TRegStoreComponentEditor::GetVerb(int Index) const {
  static const wchar_t* const verbs[] = {L"&Edit Values...", L"-", L"Rese&t Values To Defaults",
                                         L"&Write Values To Registry", L"&Delete Values From Registry"};
  return Index >= 0 && Index < GetVerbCount() ? String(verbs[Index]) : String();
}

void TRegStoreComponentEditor::ExecuteVerb(int Index) {
  if (!component_) return;
  switch (Index) {
    case 0: Edit(); break;
    case 2: component_->ResetValues(); break;
    case 3: component_->WriteValues(); break;
    case 4: component_->DeleteValues(); break;
    default: break;  // the separator
  }
}

void TRegStoreComponentEditor::Edit() {
  if (component_ && OnEditProperty) OnEditProperty(component_, L"Values");
}

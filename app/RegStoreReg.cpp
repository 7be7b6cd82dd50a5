// Registry side of the settings store (Windows only).
#include <cstring>

#include "app/Cvalue.h"
#include "app/RegAccess.h"
#include "app/RegStore.h"

TSettingValue TRegStoreValue::Read() {
  TRegKey key;
  TSettingValue got;
  DWORD type = 0;
  std::string data;
  if (key.OpenReadOnly(store_->GetRootHKEY(), KeyPath()) && key.ReadValue(name_, type, data)) {
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
          if (d == d) got = TSettingValue(d);  // a NaN is no date or number
        }
        break;
      case vtString:
        if (type == REG_SZ || type == REG_EXPAND_SZ) got = TSettingValue(RegBytesToString(data));
        break;
    }
  }
  value_ = got.IsEmpty() ? default_ : got;
  return value_;
}

void TRegStoreValue::WriteToRegistry() {
  if (value_.IsEmpty() && type_ != vtString) return;
  TRegKey key;
  if (!key.Create(store_->GetRootHKEY(), KeyPath())) return;
  switch (type_) {
    case vtBoolean:
      key.WriteDword(name_, value_.AsBoolean() ? 1u : 0u);
      break;
    case vtInteger:
      key.WriteDword(name_, static_cast<uint32_t>(value_.AsInteger()));
      break;
    case vtDate:
    case vtDouble: {
      const double d = value_.AsDouble();
      key.WriteValue(name_, REG_BINARY, std::string(reinterpret_cast<const char*>(&d), 8));
      break;
    }
    case vtString:
      if (value_.IsEmpty()) return;  // never read: keep what is stored
      key.WriteString(name_, value_.AsString());
      break;
  }
}

void TRegStoreValue::DeleteFromRegistry() {
  TRegKey key;
  if (key.Open(store_->GetRootHKEY(), KeyPath())) key.DeleteValue(name_);
}

void TRegStore::ReadValues() {
  for (auto& v : values_) v->Read();
}

void TRegStore::WriteValues() {
  for (auto& v : values_) v->WriteToRegistry();
}

void TRegStore::DeleteValues() {
  for (auto& v : values_) v->DeleteFromRegistry();
}

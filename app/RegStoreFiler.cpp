// The settings store with its form: its root, base key and the declared
// settings as a collection, each setting's properties declared once for
// the writer and the reader. Windows only.
#include <cstring>
#include <string>

#include "app/RegStore.h"
#include "classlib/Filer.h"
#include "classlib/PropFiler.h"

namespace {

const PropFiler::TNames RootKeyNames = {L"rkHKEY_CLASSES_ROOT", L"rkHKEY_CURRENT_USER", L"rkHKEY_LOCAL_MACHINE",
                                        L"rkHKEY_USERS",        L"rkHKEY_PERFORMANCE_DATA", L"rkHKEY_CURRENT_CONFIG",
                                        L"rkHKEY_DYN_DATA"};
const PropFiler::TNames ValueTypeNames = {L"vtBoolean", L"vtDate", L"vtDouble", L"vtInteger", L"vtString"};

// The settings as a collection, each setting's properties as it declares
// them; each read into the setting there of its name, if any. Names this version does not know are passed over.
void WriteSettings(TWriter* W, const TRegStoreValues& Values) {
  PropFiler::TCollectionItems Items(const_cast<TRegStoreValues*>(&Values));
  PropFiler::WriteCollection(W, Items, W->GetRoot());
}

void ReadSettings(TReader* R, TRegStoreValues& Values) {
  PropFiler::TCollectionItems Items(&Values);
  PropFiler::ReadCollection(R, Items, nullptr, L"Name");
}

// The settings as the stream holds them, to tell whether two stores differ.
std::string SettingsBytes(const TRegStoreValues& Values) {
  TMemoryStream bytes;
  {
    TWriter w(&bytes);
    WriteSettings(&w, Values);
  }
  return std::string(static_cast<const char*>(bytes.Memory()), static_cast<size_t>(bytes.GetSize()));
}

}  // namespace

void TRegStoreValue::DefineProperties(TFiler* Filer) {
  TCollectionItem::DefineProperties(Filer);
  PropFiler::Text(Filer, L"Name", name_, String(), [this](const String& V) { name_ = V; });
  PropFiler::Text(Filer, L"SubKey", subKey_, String(), [this](const String& V) { subKey_ = V; });
  PropFiler::Enum(Filer, L"Type", type_, vtBoolean, ValueTypeNames,
                  [this](int V) { SetType(static_cast<TValueTypes>(V)); });
  PropFiler::Text(Filer, L"DefaultValue", GetDefaultValue(), String(),
                  [this](const String& V) { SetDefaultValue(V); });
}

void TRegStore::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* a = dynamic_cast<TRegStore*>(Filer->GetAncestor());
  PropFiler::Enum(Filer, L"RootKey", RootKey, a ? a->RootKey : rkHKEY_CURRENT_USER, RootKeyNames,
                  [this](int V) { RootKey = static_cast<TRootKeys>(V); });
  PropFiler::Text(Filer, L"BaseKey", BaseKey, a ? a->BaseKey : String(), [this](const String& V) { BaseKey = V; });
  const bool differs = a ? SettingsBytes(*values_) != SettingsBytes(*a->values_) : values_->Count() > 0;
  Filer->DefineProperty(
      L"Values", [this](TReader* R) { ReadSettings(R, *values_); },
      [this](TWriter* W) { WriteSettings(W, *values_); }, differs);
}

void TRegStore::Register() { RegisterComponents(L"Quorvel", {ComponentClass<TRegStore>(L"TRegStore")}); }

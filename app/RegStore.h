// The settings store: a declared list of named settings, each with a
// registry subkey, a type and a default, held in memory between a read of
// all and a write of all under one base key of the registry.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/SysUtils.h"
#include "classlib/Variants.h"

enum TValueTypes : unsigned char { vtBoolean, vtDate, vtDouble, vtInteger, vtString };

// The value of a setting: the class library's variant (empty, boolean,
// integer, double, date-time or text).
using TSettingValue = Variant;

// The value converted to a setting type (empty stays empty); a value with
// no such form raises EVariantError.
TSettingValue ConvertSettingValue(const TSettingValue& V, TValueTypes Type);

class TRegStore;

// One declared setting.
class TRegStoreValue {
 public:
  TRegStoreValue(TRegStore* Store, const String& Name, const String& SubKey, TValueTypes Type,
                 const String& Default);

  const String& GetName() const { return name_; }
  const String& GetSubKey() const { return subKey_; }
  TValueTypes GetType() const { return type_; }
  // "true"/"false" for booleans, the default as text otherwise.
  String GetDefaultValue() const;
  // Converts the text to the setting's type ("true"/"false" in any case or
  // a number for booleans, a decimal number for integers).
  void SetDefaultValue(const String& Text);

  TSettingValue GetValue() const { return value_; }
  void SetValue(const TSettingValue& V) { value_ = ConvertSettingValue(V, type_); }
  void ResetToDefault() { value_ = default_; }

  // Key path of the setting below the store's root: BaseKey + "\" + SubKey.
  String KeyPath() const;

#ifdef _WIN32
  // Reads the setting: what the registry holds, or the default when the
  // key or the value is missing or holds a value of the wrong type or size.
  // Never writes.
  TSettingValue Read();
  // Writes the current value (creating the key). An empty value (never
  // read or set) is not written, so it can't replace the stored one.
  void WriteToRegistry();
  void DeleteFromRegistry();
#endif

 private:
  TRegStore* store_;
  String name_;
  String subKey_;
  TValueTypes type_;
  TSettingValue default_;
  TSettingValue value_;
};

class TRegStore : public TComponent {
 public:
  // The store's own root-key enumeration.
  enum TRootKeys : unsigned char {
    rkHKEY_CLASSES_ROOT,
    rkHKEY_CURRENT_USER,
    rkHKEY_LOCAL_MACHINE,
    rkHKEY_USERS,
    rkHKEY_PERFORMANCE_DATA,
    rkHKEY_CURRENT_CONFIG,
    rkHKEY_DYN_DATA
  };

  explicit TRegStore(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
  const char* ClassName() const override { return "TRegStore"; }

  TRootKeys RootKey = rkHKEY_CURRENT_USER;
  String BaseKey;

  // The root's handle value (as TRegRoot of RegRoots.h).
  uintptr_t GetRootHKEY() const;

  TRegStoreValue& Add(const String& Name, const String& SubKey, TValueTypes Type,
                      const String& Default = String());
  int Count() const { return static_cast<int>(values_.size()); }
  TRegStoreValue& Item(int Index) { return *values_.at(static_cast<size_t>(Index)); }
  // The first setting of that name, ignoring letter case; EListError
  // "Invalid value name." when there is none.
  TRegStoreValue& GetValueByName(const String& Name);

  // Shorthands of the editor: GetOption / SetOption by name.
  TSettingValue Get(const String& Name) { return GetValueByName(Name).GetValue(); }
  void Set(const String& Name, const TSettingValue& V) { GetValueByName(Name).SetValue(V); }

  void ResetValues();
#ifdef _WIN32
  void ReadValues();
  void WriteValues();
  void DeleteValues();
#endif

 private:
  std::vector<std::unique_ptr<TRegStoreValue>> values_;
};

// Declares the editor's settings (57 items) on a store and sets its root
// and base key ("Software\Quorvel\Zembrio" below HKEY_CURRENT_USER).
void DeclareEditorSettings(TRegStore& Store);
extern const wchar_t* const EditorSettingsKey;

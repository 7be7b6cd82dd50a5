// The settings store: a declared list of named settings, each with a
// registry subkey, a type and a default, held in memory between a read of
// all and a write of all under one base key of the registry.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Events.h"
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
class TRegStoreValues;
#ifdef _WIN32
class TRegistry;
class TFiler;
#endif

// One declared setting: an item of its store's collection.
class TRegStoreValue : public TCollectionItem {
 public:
  // Joins Collection (a TRegStoreValues) with an empty name, no subkey,
  // type vtBoolean and no default.
  explicit TRegStoreValue(TCollection* Collection);
  const char* ClassName() const override { return "TRegStoreValue"; }

  const String& GetName() const { return name_; }
  void SetName(const String& Name) { name_ = Name; }
  const String& GetSubKey() const { return subKey_; }
  void SetSubKey(const String& SubKey) { subKey_ = SubKey; }
  TValueTypes GetType() const { return type_; }
  // Converts the default and the current value to the new type; a text
  // setting without a default gets the empty text as its default.
  void SetType(TValueTypes Type);
  // "true"/"false" for booleans, the day count for dates, the default as
  // text otherwise; empty when there is none. The setter takes each back.
  String GetDefaultValue() const;
  // Converts the text to the setting's type ("true"/"false" in any case or
  // a number for booleans, a decimal number for integers).
  void SetDefaultValue(const String& Text);
  // The name, or the collection item's own caption while there is none.
  String GetDisplayName() const override;
  // Copies name, subkey, type, default and current value of another setting.
  void Assign(TPersistent* Source) override;

  TSettingValue GetValue() const { return value_; }
  void SetValue(const TSettingValue& V) { value_ = ConvertSettingValue(V, type_); }
  void ResetToDefault() { value_ = default_; }

  // The store whose collection holds this setting (not owned).
  TRegStore* Store() const;
  // Key path of the setting below the store's root: BaseKey + "\" + SubKey.
  String KeyPath() const;

#ifdef _WIN32
  // Reads the setting: what the registry holds, or Fallback when the key
  // or the value is missing or holds a value of the wrong type or size.
  // Never writes. Returns the current value.
  TSettingValue ReadFromRegistry(const TSettingValue& Fallback);
  // ReadFromRegistry with the default.
  TSettingValue Read() { return ReadFromRegistry(default_); }
  // ReadFromRegistry from the setting's key already opened for reading
  // (null: it could not be opened), with the default as fallback; a read of
  // all opens each key once.
  TSettingValue ReadFromOpenKey(TRegistry* Key);
  // Whether the last read took the value from the registry (false when it
  // took the fallback: the value missing, or of the wrong type or size).
  bool ReadFound() const { return readFound_; }
  // Writes the current value (creating the key). An empty value (never
  // read or set) is not written, so it can't replace the stored one.
  void WriteToRegistry();
  // Deletes the value (never the key).
  void DeleteFromRegistry();
  // Points Reg at the store's root and opens the setting's key, creating
  // it when Create is set.
  bool OpenKey(TRegistry& Reg, bool Create);
  // Stored with its store's form: Name and SubKey when not empty, Type
  // when not vtBoolean, DefaultValue when there is one.
  void DefineProperties(TFiler* Filer) override;
#endif

 private:
#ifdef _WIN32
  TSettingValue TakeStored(TRegistry* Key, const TSettingValue& Fallback);
#endif
  String name_;
  String subKey_;
  TValueTypes type_ = vtBoolean;
  TSettingValue default_;
  TSettingValue value_;
  bool readFound_ = false;
};

// The settings of a store, in declaration order (the order of every read
// and write of all).
class TRegStoreValues : public TOwnedCollection {
 public:
  explicit TRegStoreValues(TRegStore* Store);
  const char* ClassName() const override { return "TRegStoreValues"; }

  TRegStore* Store() const { return store_; }
  int Count() const { return GetCount(); }
  TRegStoreValue& Item(int Index) const { return *static_cast<TRegStoreValue*>(GetItem(Index)); }
  // A new setting at the end.
  TRegStoreValue& Add(const String& Name, const String& SubKey, TValueTypes Type, const String& Default = String());
  // The first setting of that name, ignoring letter case; EListError
  // "Invalid value name." when there is none.
  TRegStoreValue& GetValueByName(const String& Name) const;

  void ResetValues();
#ifdef _WIN32
  void ReadValues();
  // Reads the named settings only (ignoring letter case), as ReadValues
  // reads all.
  void ReadValues(const std::vector<String>& Names);
  void WriteValues();
  void DeleteValues();
#endif

 private:
  TRegStore* store_;  // the owner; not owned
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

  explicit TRegStore(TComponent* AOwner = nullptr);
  ~TRegStore() override;
  const char* ClassName() const override { return "TRegStore"; }

  TRootKeys RootKey = rkHKEY_CURRENT_USER;
  String BaseKey;

  // The root's handle value (as TRegRoot of RegRoots.h).
  uintptr_t GetRootHKEY() const;

  TRegStoreValues* GetValues() const { return values_.get(); }
  // Copies the settings of another collection into this store's.
  void SetValues(TRegStoreValues* Values) { values_->Assign(Values); }

  // Shorthands on the collection.
  TRegStoreValue& Add(const String& Name, const String& SubKey, TValueTypes Type,
                      const String& Default = String()) {
    return values_->Add(Name, SubKey, Type, Default);
  }
  int Count() const { return values_->Count(); }
  TRegStoreValue& Item(int Index) { return values_->Item(Index); }
  TRegStoreValue& GetValueByName(const String& Name) { return values_->GetValueByName(Name); }
  // The editor's GetOption / SetOption by name.
  TSettingValue Get(const String& Name) { return GetValueByName(Name).GetValue(); }
  void Set(const String& Name, const TSettingValue& V) { GetValueByName(Name).SetValue(V); }
  void ResetValues() { values_->ResetValues(); }
#ifdef _WIN32
  void ReadValues() { values_->ReadValues(); }
  void ReadValues(const std::vector<String>& Names) { values_->ReadValues(Names); }
  void WriteValues() { values_->WriteValues(); }
  void DeleteValues() { values_->DeleteValues(); }

  // Registers the class for form readers (by name) and on the "Quorvel"
  // page of the component palette; each call after the first does nothing.
  static void Register();

 protected:
  // Stored with the form: RootKey (default rkHKEY_CURRENT_USER) and
  // BaseKey (default empty) where they differ, Values (each setting's
  // Name, SubKey, Type and DefaultValue) when the store declares any.
  void DefineProperties(TFiler* Filer) override;
#endif

 private:
  std::unique_ptr<TRegStoreValues> values_;
};

#ifdef _WIN32
// The store's editor for a form designer: its verbs in order ("&Edit
// Values...", a separator "-", "Rese&t Values To Defaults", "&Write Values To
// Registry", "&Delete Values From Registry") run on the store it edits. The
// designer supplies the property editor that "&Edit Values..." and the
// default action (Edit) open, through OnEditProperty with the property's
// name.
class TRegStoreComponentEditor {
 public:
  explicit TRegStoreComponentEditor(TRegStore* Component) : component_(Component) {}
  int GetVerbCount() const { return 5; }
  String GetVerb(int Index) const;
  void ExecuteVerb(int Index);
  // The default action: the editor of the property named Values (the
  // name compared ignoring case), and nothing else.
  void Edit();
  // Opens the designer's editor of the component's property of that name.
  TEvent<void(TRegStore*, const String&)> OnEditProperty;

 private:
  TRegStore* component_;  // not owned
};
#endif

// The names of the editor's settings, each declared once by
// DeclareEditorSettings.
namespace SettingName {
inline constexpr const wchar_t* PreloadHasChildren = L"PreloadHasChildren";
inline constexpr const wchar_t* DragHandleStyle = L"DragHandleStyle";
inline constexpr const wchar_t* CloseButtonDocked = L"CloseButtonDocked";
inline constexpr const wchar_t* FullSizeMenu = L"FullSizeMenu";
inline constexpr const wchar_t* ShowSearchProgress = L"ShowSearchProgress";
inline constexpr const wchar_t* ShowHints = L"ShowHints";
inline constexpr const wchar_t* AbbrBaseKeyNames = L"AbbrBaseKeyNames";
inline constexpr const wchar_t* ReopenPrevious = L"ReopenPrevious";
inline constexpr const wchar_t* WindowState = L"WindowState";
inline constexpr const wchar_t* Top = L"Top";
inline constexpr const wchar_t* Left = L"Left";
inline constexpr const wchar_t* Height = L"Height";
inline constexpr const wchar_t* Width = L"Width";
inline constexpr const wchar_t* LPWidth = L"LPWidth";
inline constexpr const wchar_t* TPHeight = L"TPHeight";
inline constexpr const wchar_t* BookmarkFile = L"BookmarkFile";
inline constexpr const wchar_t* FindTop = L"FindTop";
inline constexpr const wchar_t* FindLeft = L"FindLeft";
inline constexpr const wchar_t* FindType = L"FindType";
inline constexpr const wchar_t* FindScope = L"FindScope";
inline constexpr const wchar_t* FindKeyName = L"FindKeyName";
inline constexpr const wchar_t* FindValueName = L"FindValueName";
inline constexpr const wchar_t* FindStringData = L"FindStringData";
inline constexpr const wchar_t* FindCaseSensitive = L"FindCaseSensitive";
inline constexpr const wchar_t* EditTop = L"EditTop";
inline constexpr const wchar_t* EditLeft = L"EditLeft";
inline constexpr const wchar_t* EditBinTop = L"EditBinTop";
inline constexpr const wchar_t* EditBinLeft = L"EditBinLeft";
inline constexpr const wchar_t* EditBinHeight = L"EditBinHeight";
inline constexpr const wchar_t* EditBinWidth = L"EditBinWidth";
inline constexpr const wchar_t* OptTop = L"OptTop";
inline constexpr const wchar_t* OptLeft = L"OptLeft";
inline constexpr const wchar_t* PreviousHKEY = L"PreviousHKEY";
inline constexpr const wchar_t* PreviousPath = L"PreviousPath";
inline constexpr const wchar_t* FontName = L"FontName";
inline constexpr const wchar_t* FontSize = L"FontSize";
inline constexpr const wchar_t* FontBold = L"FontBold";
inline constexpr const wchar_t* FontItalic = L"FontItalic";
inline constexpr const wchar_t* FontUnderline = L"FontUnderline";
inline constexpr const wchar_t* FontStrikeout = L"FontStrikeout";
inline constexpr const wchar_t* UseSystemFont = L"UseSystemFont";
inline constexpr const wchar_t* ToolbarXPThemes = L"ToolbarXPThemes";
}  // namespace SettingName
// "FindMRU_00" to "FindMRU_14": the find history entries 0 to 14.
String FindMRUName(int Index);

// A stored font size in points as the tree and lists may take it: a size
// that no font dialog offers (none, or beyond 1638 points, where the
// pixel height overflows) gives the default 8.
int UsableFontSize(int Stored);

// Declares the editor's settings (57 items) on a store and sets its root
// and base key ("Software\Quorvel\Zembrio" below HKEY_CURRENT_USER).
void DeclareEditorSettings(TRegStore& Store);
extern const wchar_t* const EditorSettingsKey;
// The default window sizes of the editor's settings (main window, its tree
// width and upper pane height, the binary editor) are pixels at 96 dots
// per inch: scales them to a screen of Dpi dots per inch. Stored sizes
// are scaled as they are read (TCommonLogic), from the dots per inch stored
// with them.
void ScaleEditorSizeDefaults(TRegStore& Store, int Dpi);
// The settings that are sizes in pixels: the main window's width and
// height, its tree width and upper pane height, the binary editor's width
// and height.
extern const wchar_t* const EditorSizeSettings[6];
// Sizes are stored with the dots per inch of the screen they were taken
// on: the value SizesDpiValue (a DWORD) in the settings' subkey
// SizesDpiSubKey. Sizes stored without it (by earlier versions, in the pixels
// of the screen they ran on) load as they are.
extern const wchar_t* const SizesDpiSubKey;
extern const wchar_t* const SizesDpiValue;
// A size taken at FromDpi as it is at ToDpi (rounded to the nearest pixel);
// unchanged when either is not above 0, and a size below 1 (no size: the
// lists take -1 and -2 for sizes they work out) stays as it is.
int ScaleSize(int Size, int FromDpi, int ToDpi);
// A stored dots per inch as sizes may be scaled from: one no screen has
// (below 24 or above 2400) gives 96.
int UsableDpi(int Stored);

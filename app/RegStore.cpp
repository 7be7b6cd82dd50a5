#include "app/RegStore.h"

#include <algorithm>
#include <climits>

#include "app/RegRoots.h"

TSettingValue ConvertSettingValue(const TSettingValue& V, TValueTypes Type) {
  if (V.IsEmpty()) return {};
  switch (Type) {
    case vtBoolean: return TSettingValue(V.AsBoolean());
    case vtDate: return TSettingValue::FromDate(V.AsDateTime());
    case vtDouble: return TSettingValue(V.AsDouble());
    case vtInteger: return TSettingValue(V.AsInteger());
    case vtString: return TSettingValue(V.AsString());
  }
  return {};
}

TRegStoreValue::TRegStoreValue(TCollection* Collection) : TCollectionItem(Collection) {}

TRegStore* TRegStoreValue::Store() const {
  auto* values = dynamic_cast<TRegStoreValues*>(GetCollection());
  return values ? values->Store() : nullptr;
}

void TRegStoreValue::SetType(TValueTypes Type) {
  if (Type == type_) return;
  type_ = Type;
  // What has no form in the new type is dropped.
  auto convert = [this](TSettingValue& V) {
    try {
      V = ConvertSettingValue(V, type_);
    } catch (const Exception&) {
      V = TSettingValue();
    }
  };
  convert(default_);
  convert(value_);
  // A text setting without a default has the empty text as its default, as
  // SetDefaultValue gives it: a setting read from a form (where an empty
  // default is not stored) then reads and writes as one declared in code.
  if (type_ == vtString && default_.IsEmpty()) default_ = TSettingValue(String());
}

String TRegStoreValue::GetDefaultValue() const {
  if (default_.IsEmpty()) return String();
  if (type_ == vtBoolean) return default_.AsBoolean() ? L"true" : L"false";
  // A date as its day count (days since 30 December 1899), the text the
  // setter reads back; a date's own text has no way back.
  if (type_ == vtDate) return FloatToStr(default_.AsDateTime());
  return default_.AsString();
}

void TRegStoreValue::SetDefaultValue(const String& Text) {
  if (Text.empty() && type_ != vtString) {
    default_ = TSettingValue();
    return;
  }
  default_ = ConvertSettingValue(TSettingValue(Text), type_);
}

String TRegStoreValue::GetDisplayName() const {
  return name_.empty() ? TCollectionItem::GetDisplayName() : name_;
}

void TRegStoreValue::Assign(TPersistent* Source) {
  if (auto* v = dynamic_cast<TRegStoreValue*>(Source)) {
    name_ = v->name_;
    subKey_ = v->subKey_;
    type_ = v->type_;
    default_ = v->default_;
    value_ = v->value_;
    return;
  }
  TCollectionItem::Assign(Source);
}

String TRegStoreValue::KeyPath() const {
  const TRegStore* store = Store();
  const String base = store ? store->BaseKey : String();
  if (subKey_.empty()) return base;
  return base + L"\\" + subKey_;
}

TRegStoreValues::TRegStoreValues(TRegStore* Store)
    : TOwnedCollection(Store, [](TCollection* C) { return new TRegStoreValue(C); }), store_(Store) {}

TRegStoreValue& TRegStoreValues::Add(const String& Name, const String& SubKey, TValueTypes Type,
                                     const String& Default) {
  auto& v = *static_cast<TRegStoreValue*>(TCollection::Add());
  v.SetName(Name);
  v.SetSubKey(SubKey);
  v.SetType(Type);
  v.SetDefaultValue(Default);
  return v;
}

TRegStoreValue& TRegStoreValues::GetValueByName(const String& Name) const {
  const String up = AnsiUpperCase(Name);
  for (int i = 0; i < Count(); ++i)
    if (AnsiUpperCase(Item(i).GetName()) == up) return Item(i);
  throw EListError(String(L"Invalid value name."));
}

void TRegStoreValues::ResetValues() {
  for (int i = 0; i < Count(); ++i) Item(i).ResetToDefault();
}

TRegStore::TRegStore(TComponent* AOwner) : TComponent(AOwner), values_(std::make_unique<TRegStoreValues>(this)) {}

TRegStore::~TRegStore() = default;

uintptr_t TRegStore::GetRootHKEY() const {
  static const TRegRoot roots[] = {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine,
                                   RegRoot::Users, RegRoot::PerformanceData, RegRoot::CurrentConfig,
                                   RegRoot::DynData};
  return roots[RootKey];
}

String FindMRUName(int Index) {
  String n = IntToStr(Index);
  if (n.size() < 2) n = L"0" + n;
  return L"FindMRU_" + n;
}

int UsableFontSize(int Stored) { return Stored >= 1 && Stored <= 1638 ? Stored : 8; }

const wchar_t* const EditorSettingsKey = L"Software\\Quorvel\\Zembrio";

void DeclareEditorSettings(TRegStore& S) {
  S.RootKey = TRegStore::rkHKEY_CURRENT_USER;
  S.BaseKey = EditorSettingsKey;
  S.Add(SettingName::PreloadHasChildren, L"General", vtBoolean, L"true");
  S.Add(SettingName::DragHandleStyle, L"Appearance", vtInteger, L"1");
  S.Add(SettingName::CloseButtonDocked, L"Appearance", vtBoolean, L"false");
  S.Add(SettingName::FullSizeMenu, L"Appearance", vtBoolean, L"true");
  S.Add(SettingName::ShowSearchProgress, L"General", vtBoolean, L"false");
  S.Add(SettingName::ShowHints, L"Appearance", vtBoolean, L"true");
  S.Add(SettingName::AbbrBaseKeyNames, L"General", vtBoolean, L"false");
  S.Add(SettingName::ReopenPrevious, L"General", vtBoolean, L"true");
  S.Add(SettingName::WindowState, L"MainForm", vtInteger, L"0");
  S.Add(SettingName::Top, L"MainForm", vtInteger, L"0");
  S.Add(SettingName::Left, L"MainForm", vtInteger, L"0");
  S.Add(SettingName::Height, L"MainForm", vtInteger, L"400");
  S.Add(SettingName::Width, L"MainForm", vtInteger, L"500");
  S.Add(SettingName::LPWidth, L"MainForm", vtInteger, L"150");
  S.Add(SettingName::TPHeight, L"MainForm", vtInteger, L"150");
  S.Add(SettingName::BookmarkFile, L"General", vtString);
  S.Add(SettingName::FindTop, L"FindForm", vtInteger, L"0");
  S.Add(SettingName::FindLeft, L"FindForm", vtInteger, L"0");
  S.Add(SettingName::FindType, L"FindForm", vtInteger, L"1");
  S.Add(SettingName::FindScope, L"FindForm", vtInteger, L"0");
  S.Add(SettingName::FindKeyName, L"FindForm", vtBoolean, L"true");
  S.Add(SettingName::FindValueName, L"FindForm", vtBoolean, L"true");
  S.Add(SettingName::FindStringData, L"FindForm", vtBoolean, L"true");
  S.Add(SettingName::FindCaseSensitive, L"FindForm", vtBoolean, L"false");
  S.Add(SettingName::EditTop, L"EditForm", vtInteger, L"0");
  S.Add(SettingName::EditLeft, L"EditForm", vtInteger, L"0");
  S.Add(SettingName::EditBinTop, L"EditBinForm", vtInteger, L"0");
  S.Add(SettingName::EditBinLeft, L"EditBinForm", vtInteger, L"0");
  S.Add(SettingName::EditBinHeight, L"EditBinForm", vtInteger, L"359");
  S.Add(SettingName::EditBinWidth, L"EditBinForm", vtInteger, L"417");
  S.Add(SettingName::OptTop, L"OptionsForm", vtInteger, L"0");
  S.Add(SettingName::OptLeft, L"OptionsForm", vtInteger, L"0");
  S.Add(SettingName::PreviousHKEY, L"General", vtString);
  S.Add(SettingName::PreviousPath, L"General", vtString);
  S.Add(SettingName::FontName, L"Appearance", vtString, L"Tahoma");
  S.Add(SettingName::FontSize, L"Appearance", vtInteger, L"8");
  S.Add(SettingName::FontBold, L"Appearance", vtBoolean, L"false");
  S.Add(SettingName::FontItalic, L"Appearance", vtBoolean, L"false");
  S.Add(SettingName::FontUnderline, L"Appearance", vtBoolean, L"false");
  S.Add(SettingName::FontStrikeout, L"Appearance", vtBoolean, L"false");
  S.Add(SettingName::UseSystemFont, L"Appearance", vtBoolean, L"true");
  S.Add(SettingName::ToolbarXPThemes, L"Appearance", vtBoolean, L"true");
  for (int i = 0; i < 15; ++i) S.Add(FindMRUName(i), L"FindForm\\MRU", vtString);
}

const wchar_t* const EditorSizeSettings[6] = {SettingName::Width,   SettingName::Height,
                                              SettingName::LPWidth, SettingName::TPHeight,
                                              SettingName::EditBinWidth, SettingName::EditBinHeight};
const wchar_t* const SizesDpiSubKey = L"MainForm";
const wchar_t* const SizesDpiValue = L"PixelsPerInch";

int ScaleSize(int Size, int FromDpi, int ToDpi) {
  if (Size < 1 || FromDpi <= 0 || ToDpi <= 0 || FromDpi == ToDpi) return Size;
  // Rounded to the nearest pixel, halves up.
  const long long q = (static_cast<long long>(Size) * ToDpi + FromDpi / 2) / FromDpi;
  return static_cast<int>(std::min<long long>(q, INT_MAX));
}

int UsableDpi(int Stored) { return Stored >= 24 && Stored <= 2400 ? Stored : 96; }

void ScaleEditorSizeDefaults(TRegStore& S, int Dpi) {
  if (Dpi <= 0 || Dpi == 96) return;
  for (const wchar_t* name : EditorSizeSettings) {
    TRegStoreValue& v = S.GetValueByName(name);
    v.SetDefaultValue(IntToStr(ScaleSize(StrToInt(v.GetDefaultValue()), 96, Dpi)));
  }
}

// Saving and restoring chosen properties of objects as text values in a
// sectioned key/value store (an ini file or a registry key), through three
// events the user of the storage supplies.
//
// There is no general reflection here: a class makes properties storable by
// registering them once (RegisterProps<T>), each with its name, kind and
// getter/setter. Objects list the properties of every registered class they
// are an instance of, base classes first when those were registered first.
// A component's property without a registration is stored through what the
// component declares to the form streaming (FilerPropInfo): string lists,
// collections and parts of it as the class kind's layout asks.
// Portable.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Variants.h"

enum TTypeKind {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod,
  tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray
};
using TTypeKinds = TSet<TTypeKind>;
enum TFloatType { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

// Every kind except untyped and method: the filter used for storing.
extern const TTypeKinds tkStoredProps;

// One storable property. Ordinal kinds (integer, char, wide char,
// enumeration, set as a bit mask of elements 0..31, 64-bit integer) use
// GetOrd/SetOrd; floats GetFloat/SetFloat; strings GetStr/SetStr; variants
// GetVariant/SetVariant; class properties GetObj/SetObj.
struct TPropInfo {
  String Name;
  TTypeKind Kind = tkUnknown;
  // Identifies the property's type: two properties are the same when their
  // names (ignoring case) and type names agree.
  String TypeName;
  // Enumeration identifiers, or a set's element identifiers, by ordinal.
  std::vector<String> EnumNames;
  TFloatType FloatType = ftDouble;
  std::function<int64_t(TObject*)> GetOrd;
  std::function<void(TObject*, int64_t)> SetOrd;
  std::function<double(TObject*)> GetFloat;
  std::function<void(TObject*, double)> SetFloat;
  std::function<String(TObject*)> GetStr;
  std::function<void(TObject*, const String&)> SetStr;
  std::function<Variant(TObject*)> GetVariant;
  std::function<void(TObject*, const Variant&)> SetVariant;
  std::function<TObject*(TObject*)> GetObj;
  std::function<void(TObject*, TObject*)> SetObj;
};
using PPropInfo = const TPropInfo*;

// Registers the properties of the objects that Matches accepts. Group,
// when given, marks registrations that UnregisterPublishedProps takes back
// together.
void RegisterPublishedProps(std::function<bool(const TObject*)> Matches, std::vector<TPropInfo> Props,
                            const void* Group = nullptr);
template <class T>
void RegisterProps(std::vector<TPropInfo> Props, const void* Group = nullptr) {
  RegisterPublishedProps([](const TObject* O) { return dynamic_cast<const T*>(O) != nullptr; },
                         std::move(Props), Group);
}
// Takes back the registrations of Group. Property lists made before hold
// descriptors of the group no longer.
void UnregisterPublishedProps(const void* Group);
// Register runs once, in its turn among the registrations, when properties
// are first registered or looked up after this call: a module's start-up
// records it cheaply, and only a program that stores properties builds the
// descriptions.
void RegisterPropsOnFirstUse(void (*Register)());
// Takes back a registration recorded by RegisterPropsOnFirstUse that has
// not run yet.
void CancelPropsOnFirstUse(void (*Register)());
// The registered properties of an object whose kind is in Filter.
std::vector<PPropInfo> GetPropList(const TObject* Obj, TTypeKinds Filter);

// Reading and writing a property of an object by its descriptor, by kind
// (ordinal kinds, 64-bit integers, floats, strings, variants), and the
// identifiers of an enumeration or set property.
inline int64_t GetOrdProp(TObject* Instance, PPropInfo P) { return P->GetOrd(Instance); }
inline void SetOrdProp(TObject* Instance, PPropInfo P, int64_t Value) { P->SetOrd(Instance, Value); }
inline int64_t GetInt64Prop(TObject* Instance, PPropInfo P) { return P->GetOrd(Instance); }
inline void SetInt64Prop(TObject* Instance, PPropInfo P, int64_t Value) { P->SetOrd(Instance, Value); }
inline double GetFloatProp(TObject* Instance, PPropInfo P) { return P->GetFloat(Instance); }
inline void SetFloatProp(TObject* Instance, PPropInfo P, double Value) { P->SetFloat(Instance, Value); }
inline String GetStrProp(TObject* Instance, PPropInfo P) { return P->GetStr(Instance); }
inline void SetStrProp(TObject* Instance, PPropInfo P, const String& Value) { P->SetStr(Instance, Value); }
inline Variant GetVariantProp(TObject* Instance, PPropInfo P) { return P->GetVariant(Instance); }
inline void SetVariantProp(TObject* Instance, PPropInfo P, const Variant& Value) { P->SetVariant(Instance, Value); }
// The identifier of ordinal Value (empty when there is none).
String GetEnumName(PPropInfo P, int64_t Value);
// The ordinal of an identifier, compared ignoring case; -1 when none.
int GetEnumValue(PPropInfo P, const String& Name);

// Builders for registrations; T is the class the accessors work on.
template <class T>
TPropInfo OrdProp(const String& Name, TTypeKind Kind, const String& TypeName, std::function<int64_t(T*)> Get,
                  std::function<void(T*, int64_t)> Set, std::vector<String> EnumNames = {}) {
  TPropInfo P;
  P.Name = Name;
  P.Kind = Kind;
  P.TypeName = TypeName;
  P.EnumNames = std::move(EnumNames);
  P.GetOrd = [Get](TObject* O) { return Get(static_cast<T*>(O)); };
  P.SetOrd = [Set](TObject* O, int64_t V) { Set(static_cast<T*>(O), V); };
  return P;
}
template <class T>
TPropInfo IntProp(const String& Name, std::function<int64_t(T*)> Get, std::function<void(T*, int64_t)> Set) {
  return OrdProp<T>(Name, tkInteger, L"Integer", std::move(Get), std::move(Set));
}
template <class T>
TPropInfo BoolProp(const String& Name, std::function<bool(T*)> Get, std::function<void(T*, bool)> Set) {
  return OrdProp<T>(
      Name, tkEnumeration, L"Boolean", [Get](T* O) -> int64_t { return Get(O) ? 1 : 0; },
      [Set](T* O, int64_t V) { Set(O, V != 0); }, {L"False", L"True"});
}
template <class T>
TPropInfo StrProp(const String& Name, std::function<String(T*)> Get, std::function<void(T*, const String&)> Set) {
  TPropInfo P;
  P.Name = Name;
  P.Kind = tkLString;
  P.TypeName = L"String";
  P.GetStr = [Get](TObject* O) { return Get(static_cast<T*>(O)); };
  P.SetStr = [Set](TObject* O, const String& V) { Set(static_cast<T*>(O), V); };
  return P;
}
template <class T>
TPropInfo FloatProp(const String& Name, TFloatType FloatType, std::function<double(T*)> Get,
                    std::function<void(T*, double)> Set) {
  TPropInfo P;
  P.Name = Name;
  P.Kind = tkFloat;
  P.TypeName = L"Float";
  P.FloatType = FloatType;
  P.GetFloat = [Get](TObject* O) { return Get(static_cast<T*>(O)); };
  P.SetFloat = [Set](TObject* O, double V) { Set(static_cast<T*>(O), V); };
  return P;
}
template <class T>
TPropInfo ClassProp(const String& Name, const String& TypeName, std::function<TObject*(T*)> Get,
                    std::function<void(T*, TObject*)> Set = nullptr) {
  TPropInfo P;
  P.Name = Name;
  P.Kind = tkClass;
  P.TypeName = TypeName;
  P.GetObj = [Get](TObject* O) { return Get(static_cast<T*>(O)); };
  if (Set) P.SetObj = [Set](TObject* O, TObject* V) { Set(static_cast<T*>(O), V); };
  return P;
}

// A filtered list of an object's property descriptors.
class TPropInfoList : public TObject {
 public:
  TPropInfoList(TObject* AObject, TTypeKinds Filter);
  bool Contains(PPropInfo P) const;
  PPropInfo Find(const String& AName) const;
  void Delete(int Index);
  // Deletes every entry that List does not contain.
  void Intersect(const TPropInfoList* List);
  PPropInfo Get(int Index) const { return list_[static_cast<size_t>(Index)]; }
  int GetCount() const { return static_cast<int>(list_.size()); }

 private:
  std::vector<PPropInfo> list_;
};

// A description of the property Name that a component declares only to the
// form streaming (DefineProperties), or nullptr when it declares none. Its
// kind follows the value the filer writes: a list of texts is a class-kind
// property holding a string list, a collection one holding a collection
// whose items have the properties each item declares, a name declared only
// as parts ("Constraints.MaxHeight") one holding an object with those parts
// as its properties; an integer is a 64-bit integer; anything else is text
// (truth values, identifiers and texts as themselves, a set as its members
// in brackets separated by commas, the rest as hexadecimal digits). Setting
// a value reads it back through the filer as a form file would; a list or
// collection changed writes itself back whole.
std::unique_ptr<TPropInfo> FilerPropInfo(TObject* Obj, const String& Name);

extern const wchar_t sPropNameDelimiter[];  // "_"

using TReadStrEvent = TEvent<String(const String& ASection, const String& Item, const String& Default)>;
using TWriteStrEvent = TEvent<void(const String& ASection, const String& Item, const String& Value)>;
using TEraseSectEvent = TEvent<void(const String& ASection)>;

// Finds the form or data module named OwnerName for component references
// stored as "Owner.Component"; set by the window side (nullptr: none).
extern std::function<TComponent*(const String& OwnerName)> PropsFindRoot;

class TPropsStorage : public TObject {
 public:
  TObject* AObject = nullptr;
  String Prefix;
  String Section;
  TReadStrEvent OnReadString;
  TWriteStrEvent OnWriteString;
  TEraseSectEvent OnEraseSection;

  void StoreAnyProperty(PPropInfo PropInfo);
  void LoadAnyProperty(PPropInfo PropInfo);
  void StoreProperties(TStrings* PropList);
  void LoadProperties(TStrings* PropList);
  void StoreObjectsProps(TComponent* AComponent, TStrings* StoredList);
  void LoadObjectsProps(TComponent* AComponent, TStrings* StoredList);
  // The property lists of the stored list's components (after rebuilding
  // the list from their names), by component name, in a sorted list whose
  // objects are TPropInfoList; FreeInfoLists frees it with the lists.
  TStringList* CreateInfoList(TComponent* AComponent, TStrings* StoredList);
  void FreeInfoLists(TStringList* Info);

 protected:
  virtual String ReadString(const String& ASection, const String& Item, const String& Default);
  virtual void WriteString(const String& ASection, const String& Item, const String& Value);
  virtual void EraseSection(const String& ASection);
  virtual String GetItemName(const String& APropName);
  virtual std::unique_ptr<TPropsStorage> CreateStorage();

  // The text form of a property, or false for a kind that is not stored.
  bool StoreText(PPropInfo P, String& Text);
  void LoadText(PPropInfo P, const String& Text);

  // The text form per kind, and the loading of it.
  String StoreIntegerProperty(PPropInfo P);
  String StoreCharProperty(PPropInfo P);
  String StoreEnumProperty(PPropInfo P);
  String StoreFloatProperty(PPropInfo P);
  String StoreStringProperty(PPropInfo P);
  String StoreLStringProperty(PPropInfo P) { return StoreStringProperty(P); }
  String StoreWCharProperty(PPropInfo P) { return StoreCharProperty(P); }
  String StoreVariantProperty(PPropInfo P);
  String StoreInt64Property(PPropInfo P) { return StoreIntegerProperty(P); }
  String StoreSetProperty(PPropInfo P);
  String StoreClassProperty(PPropInfo P);
  String StoreStringsProperty(PPropInfo P);
  String StoreComponentProperty(PPropInfo P);
  void LoadIntegerProperty(PPropInfo P, const String& S);
  void LoadCharProperty(PPropInfo P, const String& S);
  void LoadEnumProperty(PPropInfo P, const String& S);
  void LoadFloatProperty(PPropInfo P, const String& S);
  void LoadInt64Property(PPropInfo P, const String& S);
  void LoadLStringProperty(PPropInfo P, const String& S) { LoadStringProperty(P, S); }
  void LoadWCharProperty(PPropInfo P, const String& S) { LoadCharProperty(P, S); }
  void LoadVariantProperty(PPropInfo P, const String& S);
  void LoadStringProperty(PPropInfo P, const String& S);
  void LoadSetProperty(PPropInfo P, const String& S);
  void LoadStringsProperty(PPropInfo P, const String& S);
  void LoadComponentProperty(PPropInfo P, const String& S);
  void LoadClassProperty(PPropInfo P, const String& S);

 private:
  String StoreComponent(TComponent* C);
  void ForEachStoredItem(TComponent* AComponent, TStrings* StoredList, bool Store);
  // Stores or loads the property Name of AObject: its description in Info,
  // else the form streaming's.
  void ForProperty(const TPropInfoList& Info, const String& Name, bool Store);
  void StoreNested(TObject* Obj, const String& APrefix, const String& ASection);
  void LoadNested(TObject* Obj, const String& APrefix, const String& ASection);
  // A storage for the properties of a nested object, wired like this one.
  std::unique_ptr<TPropsStorage> NestedStorage(TObject* Obj, const String& APrefix, const String& ASection);
  // Whether the store holds the value Item in ASection.
  bool Holds(const String& ASection, const String& Item);
  // Whether the store holds any value of Obj's properties under APrefix in
  // ASection (the values a collection item of that prefix leaves).
  bool HoldsAny(TObject* Obj, const String& APrefix, const String& ASection);

  TComponent* owner_ = nullptr;
};

// "Component.Property", or empty when either part is.
String CreateStoredItem(const String& CompName, const String& PropName);
bool ParseStoredItem(const String& Item, String& CompName, String& PropName);
// FromForm: attach each item's component (dropping unknown ones); else
// rebuild each item's text from its component's current name.
void UpdateStoredList(TComponent* AForm, TStrings* AStoredList, bool FromForm);
// True while a property Component declares only to the form streaming is
// being restored into it: the value is read as a form file would set it,
// Component loading meanwhile and hearing Loaded at the end. Such a Loaded
// is no load of Component's form; what only that should do (a placement
// taking its form's events) is left undone.
bool IsRestoringFiledProperty(const TComponent* Component);

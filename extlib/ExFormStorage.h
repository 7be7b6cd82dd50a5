// TFormStorage: a form placement that also saves and restores chosen
// properties of the form's components ("Component.Property" items) and a
// list of named values of its own, in the placement's section.
#pragma once

#include "classlib/Variants.h"
#include "extlib/ExPlacementForm.h"
#include "extlib/ExProps.h"

class TFormStorage;
class TStoredValue;

using TStoredValueEvent = TEvent<void(TStoredValue* Sender, Variant& Value)>;

// One named value kept by a form storage; with a KeyString it is stored
// encoded.
class TStoredValue : public TCollectionItem {
 public:
  explicit TStoredValue(TCollection* Collection) : TCollectionItem(Collection) {}
  const char* ClassName() const override { return "TStoredValue"; }

  const String& GetName() const { return name_; }
  void SetName(const String& Value) { SetDisplayName(Value); }
  Variant Value;
  String KeyString;
  TStoredValueEvent OnSave;
  TStoredValueEvent OnRestore;

  void Clear() { Value.Clear(); }
  virtual void Save();
  virtual void Restore();
  String GetDisplayName() const override;
  // Raises Exception "String list does not allow duplicates" for a name
  // another value of the list already has.
  void SetDisplayName(const String& Value) override;
  void Assign(TPersistent* Source) override;

 protected:
  // Its name always, then its key string and its value when it has them,
  // and its events by the names the form offers their handlers under.
  void DefineProperties(TFiler* Filer) override;

 private:
  TFormStorage* Storage() const;
  String name_;
};

class TStoredValues : public TOwnedCollection {
 public:
  explicit TStoredValues(TPersistent* AOwner);
  const char* ClassName() const override { return "TStoredValues"; }
  TFormStorage* GetStorage() const;
  // Case-insensitive; -1 when there is none.
  int IndexOf(const String& Name) const;
  TStoredValue* Items(int Index) const { return static_cast<TStoredValue*>(GetItem(Index)); }
  // The named value or nullptr.
  TStoredValue* GetValue(const String& Name) const;
  // Copies Value into the item of that name when there is one.
  void SetValue(const String& Name, TStoredValue* Value);
  // Null (empty) when there is no value of that name.
  Variant GetStoredValue(const String& Name) const;
  // Adds a value of that name when there is none.
  void SetStoredValue(const String& Name, const Variant& Value);
  void SaveValues();
  void RestoreValues();
};

class TFormStorage : public TFormPlacement {
 public:
  explicit TFormStorage(TComponent* AOwner);
  ~TFormStorage() override;
  const char* ClassName() const override { return "TFormStorage"; }

  // The "Component.Property" items; each item's object is its component.
  TStringList* GetStoredProps() const { return storedProps_.get(); }
  void SetStoredProps(TStrings* Value);
  TStoredValues* GetStoredValues() const { return storedValues_.get(); }
  Variant GetStoredValue(const String& Name) const { return storedValues_->GetStoredValue(Name); }
  void SetStoredValue(const String& Name, const Variant& Value) { storedValues_->SetStoredValue(Name, Value); }

  // Resolves the stored items to the form's components.
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  virtual void SaveProperties();
  virtual void RestoreProperties();

  using TFormPlacement::DoReadString;
  using TFormPlacement::DoWriteString;

 protected:
  // Adds StoredProps (rebuilt from the components' current names before it
  // is written) and StoredValues, a collection of the values (read into
  // the values there are when as many are read).
  void DefineProperties(TFiler* Filer) override;
  void SavePlacement() override;
  void RestorePlacement() override;

 private:
  void EraseStoreSection(const String& Section);
  void WriteValues(TWriter* Writer);
  void ReadValues(TReader* Reader);
  std::unique_ptr<TStringList> storedProps_;
  std::unique_ptr<TStoredValues> storedValues_;
};

// Makes the usual properties of the class library's controls storable
// (position, size, text, check state, item index, list lines, font); the
// descriptions are made when storable properties are first registered or
// looked up (RegisterPropsOnFirstUse). Registers once until
// UnregisterControlProps (the library's finishing) takes them back; every
// form storage calls it.
void RegisterControlProps();
void UnregisterControlProps();

// Registers the placement and the storage for the form reader, and makes
// the controls' properties storable (RegisterControlProps).
void ExFormStorageInitialize();
void ExFormStorageFinalize();

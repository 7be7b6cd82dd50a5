// The most-recently-used file list: names, most recent first, mirrored as
// menu items with numbered captions; loads and saves itself in an ini
// section or a registry ini file.
#pragma once

#include "classlib/Classes.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "toolbars/BarItems.h"

class TBarMRUList;

extern const wchar_t* const SBarMRUListItemDefCaption;

using TBarMRUListClickEvent = TEvent<void(TObject* Sender, const String& Filename)>;
using TBarMRUItemClass = TBarCustomItem* (*)(TComponent* AOwner);

// The names of a list; every change keeps the list's items in step and
// renumbers their captions.
class TBarMRUListStrings : public TStrings {
 public:
  explicit TBarMRUListStrings(TBarMRUList* AList) : list_(AList) {}
  ~TBarMRUListStrings() override;
  const char* ClassName() const override { return "TBarMRUListStrings"; }

  String Get(int Index) const override;
  int GetCount() const override;
  void Put(int Index, const String& S) override;
  void Insert(int Index, const String& S) override;
  void Delete(int Index) override;
  void Clear() override;
  void Move(int CurIndex, int NewIndex) override;
  int IndexOf(const String& S) const override;

 private:
  void Changed();
  TBarMRUList* list_;
  TStringList names_;
};

class TBarMRUList : public TComponent {
 public:
  explicit TBarMRUList(TComponent* AOwner);
  ~TBarMRUList() override;
  const char* ClassName() const override { return "TBarMRUList"; }

  void Add(const String& Filename);
  void Remove(const String& Filename);

  // A load that changes the names is one change (OnChange once, at its end).
  void LoadFromIni(TCustomIniFile* Ini, const String& Section);
  void LoadFromRegIni(TRegIniFile* Ini, const String& Section);
  void SaveToIni(TCustomIniFile* Ini, const String& Section);
  void SaveToRegIni(TRegIniFile* Ini, const String& Section);

  bool AddFullPath = true;
  bool GetHidePathExtension() const { return hidePathExtension_; }
  void SetHidePathExtension(bool Value);
  int GetMaxItems() const { return maxItems_; }
  // A negative count is taken as 0.
  void SetMaxItems(int Value);
  TStrings* GetItems() const { return list_; }
  void SetItems(TStrings* Value) { list_->Assign(Value); }
  String Prefix = L"MRU";
  TBarMRUListClickEvent OnClick;
  TNotifyEvent OnChange;

  // The items that stand for the names, in the same order.
  TBarCustomItem* GetItemContainer() const { return container_; }

  // Stores AddFullPath, HidePathExtension, MaxItems, Items and Prefix where
  // they differ from the defaults; MaxItems reads before the names it cuts.
  void DefineProperties(TFiler* Filer) override;

  virtual int GetFirstKey() { return 0; }
  virtual TBarMRUItemClass GetItemClass();
  virtual void SetItemCaptions();

 protected:
  // A list whose container item is made by ContainerClass (a descendant's
  // themed container, say) instead of a plain item.
  TBarMRUList(TComponent* AOwner, TBarMRUItemClass ContainerClass);

 private:
  friend class TBarMRUListStrings;
  void ClickHandler(TObject* Sender);
  template <class Reader>
  void LoadWith(Reader&& Read);
  template <class Writer, class Deleter>
  void SaveWith(Writer&& Write, Deleter&& Del);
  bool hidePathExtension_ = true;
  int maxItems_ = 4;
  // OnChange unless the list is being loaded.
  void NotifyChange();
  bool loading_ = false;
  bool trimming_ = false;
  int changing_ = 0;  // changes of the names under way
  TBarCustomItem* container_ = nullptr;
  TBarMRUListStrings* list_ = nullptr;
};

// Shows the items of its list in its own place in a menu.
class TBarMRUListItem : public TBarCustomItem {
 public:
  explicit TBarMRUListItem(TComponent* AOwner);
  const char* ClassName() const override { return "TBarMRUListItem"; }
  TBarMRUList* GetMRUList() const { return mruList_; }
  void SetMRUList(TBarMRUList* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  String GetDefaultCaption() const override { return SBarMRUListItemDefCaption; }
  // The list is stored by name and found once the stream is read.
  void DefineProperties(TFiler* Filer) override;
  void Loaded() override;

 private:
  TBarMRUList* mruList_ = nullptr;
  String pendingMRUList_;
};

// The caption of an entry: accelerator for key number Key (1-9, then A-Z,
// none past that) and the escaped name.
String BarMRUCaption(int Key, const String& Name);

// Component model, lists, string lists, collections and streams.
// Portable: builds for Windows (mingw) and natively on the host.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <typeinfo>
#include <vector>

#include "classlib/Events.h"
#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(EComponentError, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EFilerError, EStreamError)

// A small set of enumeration values (up to 64), standing in for the
// set types of the window-system library: `TSet<E>{a, b}`, Contains, +, -, *.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr TSet& Include(E e) { bits_ |= Bit(e); return *this; }
  constexpr TSet& Exclude(E e) { bits_ &= ~Bit(e); return *this; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint64_t Bits() const { return bits_; }
  static constexpr TSet FromBits(uint64_t b) { TSet s; s.bits_ = b; return s; }
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
  constexpr TSet operator+(E e) const { return FromBits(bits_ | Bit(e)); }
  constexpr TSet operator-(E e) const { return FromBits(bits_ & ~Bit(e)); }
  constexpr TSet& operator+=(TSet o) { bits_ |= o.bits_; return *this; }
  constexpr TSet& operator-=(TSet o) { bits_ &= ~o.bits_; return *this; }
  constexpr TSet& operator+=(E e) { return Include(e); }
  constexpr TSet& operator-=(E e) { return Exclude(e); }
  constexpr bool operator==(const TSet& o) const { return bits_ == o.bits_; }
  constexpr bool operator!=(const TSet& o) const { return bits_ != o.bits_; }
  // True when every member of `o` is in this set.
  constexpr bool ContainsAll(TSet o) const { return (bits_ & o.bits_) == o.bits_; }

 private:
  static constexpr uint64_t Bit(E e) { return uint64_t(1) << static_cast<unsigned>(e); }
  uint64_t bits_ = 0;
};

// Shift and mouse-button state of input events.
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TLeftRight { lrLeft = 0, lrRight = 1 };
using THelpContext = int;
enum TDuplicates { dupIgnore, dupAccept, dupError };
enum TOperation { opInsert, opRemove };
enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// ---------------------------------------------------------------------------
// TList: an ordered list of untyped pointers.

class TList;
using TListSortCompare = int (*)(void* Item1, void* Item2);
enum TListNotification { lnAdded, lnExtracted, lnDeleted };

class TList : public TObject {
 public:
  TList() = default;
  ~TList() override;

  int Add(void* Item);
  void Insert(int Index, void* Item);
  void Delete(int Index);
  // Removes the first occurrence; returns its former index or -1.
  int Remove(void* Item);
  // Removes the first occurrence without "deleting" it; returns it or nullptr.
  void* Extract(void* Item);
  virtual void Clear();
  void Exchange(int Index1, int Index2);
  void Move(int CurIndex, int NewIndex);
  int IndexOf(const void* Item) const;
  void* First() const;
  void* Last() const;
  void Pack();  // removes nil entries
  void Sort(TListSortCompare Compare);
  // Stable sort with any comparer (negative, zero, positive).
  void SortWith(const std::function<int(void*, void*)>& Compare);
  void Assign(const TList& Source);

  int GetCount() const { return static_cast<int>(items_.size()); }
  void SetCount(int NewCount);
  int GetCapacity() const { return static_cast<int>(items_.capacity()); }
  void SetCapacity(int NewCapacity);
  void* Get(int Index) const;
  void Put(int Index, void* Item);
  void* operator[](int Index) const { return Get(Index); }
  // Raw access, valid until the list changes.
  void* const* List() const { return items_.data(); }

 protected:
  // Called after an item is added and before an item is removed.
  virtual void Notify(void* Ptr, TListNotification Action);

 private:
  [[noreturn]] void IndexError(int Index) const;
  std::vector<void*> items_;
};

// ---------------------------------------------------------------------------
// TPersistent: an object that can copy itself from another.

class TFiler;

class TPersistent : public TObject {
 public:
  // Copies Source into this object; raises EConvertError when the classes
  // don't know each other ("Cannot assign a X to a Y").
  virtual void Assign(TPersistent* Source);
  virtual const char* ClassName() const { return "TPersistent"; }

 protected:
  friend class TReader;
  friend class TWriter;
  friend class TNameRecorder;
  friend class TFiler;
  virtual void AssignTo(TPersistent* Dest);
  // Declares the object's stored properties to a reader or writer (see
  // classlib/Filer.h): Filer->DefineProperty / DefineBinaryProperty for
  // each. The base declares none.
  virtual void DefineProperties(TFiler* Filer) {}
};

// ---------------------------------------------------------------------------
// TComponent: owner/owned tree, names, free notification, states.

enum TComponentStateItem {
  csLoading,
  csReading,
  csWriting,
  csDestroying,
  csDesigning,  // set by SetDesigning; owned components take it from their owner
  csAncestor,
  csUpdating,
  csFixups,
  csFreeNotification,
  csInline,
  csDesignInstance
};
using TComponentState = TSet<TComponentStateItem>;

class TComponent;
class TBasicAction;
// Handed each child of a component when it is stored.
using TGetChildProc = std::function<void(TComponent* Child)>;

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* AOwner);
  // Sends the free notifications, frees the owned components and leaves
  // the owner. Derived classes whose owned components must still see the
  // derived object alive call DestroyComponents() from their destructor.
  ~TComponent() override;
  const char* ClassName() const override { return "TComponent"; }

  TComponent* GetOwner() const { return owner_; }
  int GetComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* GetComponent(int Index) const;
  // Position in the owner's list (-1 without an owner).
  int GetComponentIndex() const;
  void SetComponentIndex(int Value);

  const String& GetName() const { return name_; }
  // Raises EComponentError for a name that is not an identifier or that
  // another component of the same owner already has (case-insensitive).
  virtual void SetName(const String& NewName);

  TComponentState GetComponentState() const { return state_; }
  bool IsLoading() const { return state_.Contains(csLoading); }
  bool IsDestroying() const { return state_.Contains(csDestroying); }
  bool IsDesigning() const { return state_.Contains(csDesigning); }
  // Puts this component (and, with SetChildren, every component it owns)
  // into or out of the design state, as a designer does with what it edits.
  // A component later inserted into a designed owner is designed as well.
  virtual void SetDesigning(bool Value, bool SetChildren = true);

  intptr_t GetTag() const { return tag_; }
  void SetTag(intptr_t Value) { tag_ = Value; }

  // Finds an owned component by name (case-insensitive); nullptr if none.
  TComponent* FindComponent(const String& AName) const;

  // AComponent is told (Notification opRemove) when this one is freed and
  // the other way round. Components of the same owner are told through the
  // owner already.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, last first.
  void DestroyComponents();
  // Marks this component and its owned components as being destroyed.
  void Destroying();

  // Loading: BeginLoading marks this component and its owned components
  // (recursively) csLoading; EndLoading calls Loaded on each of them,
  // owner first, which clears the flag (a component that an earlier
  // Loaded freed is passed over).
  void BeginLoading();
  void EndLoading();

  // Told when a component is inserted into or removed from the owner tree,
  // or when a component that asked for free notification is freed. The
  // base forwards the call to every owned component.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Called when loading has finished; the base clears csLoading.
  virtual void Loaded();
  // Around a change of many properties at once (the reader calls them while
  // it reads a component's properties): the base sets and clears
  // csUpdating.
  virtual void Updating() { state_.Include(csUpdating); }
  virtual void Updated() { state_.Exclude(csUpdating); }

  // Streaming of a tree of components (classlib/Filer.h). GetChildren hands
  // Proc the children stored inside this component, in order; Root is the
  // component being stored. The base hands, when it is Root itself, the
  // components it owns that have no parent. SetChildOrder moves Child to
  // the place Order among those children (the base: an owned component
  // without parent to that component index). A component that HasParent is
  // stored inside its parent component and is given it back, when read,
  // through SetParentComponent.
  virtual void GetChildren(const TGetChildProc& Proc, TComponent* Root);
  virtual void SetChildOrder(TComponent* Child, int Order);
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* Value) {}

  // Offered an action that looks for a target: runs (updates) it on this
  // component when the action HandlesTarget it. True when it did.
  virtual bool ExecuteAction(TBasicAction* Action);
  virtual bool UpdateAction(TBasicAction* Action);

  // The event handlers this component (a form) offers by name: a stream
  // stores the name of the handler of its components' events, and the
  // reader binds the handler of that name back. Registering a name again
  // replaces its handler.
  template <class E>
  void RegisterMethod(const String& Name, const E& Handler) {
    TMethodEntry entry{Name, std::make_shared<E>(Handler), &typeid(E)};
    for (TMethodEntry& m : methods_)
      if (SameText(m.Name, Name)) {
        m = std::move(entry);
        return;
      }
    methods_.push_back(std::move(entry));
  }
  // The name Handler is offered under, or empty.
  template <class E>
  String MethodName(const E& Handler) const {
    for (const TMethodEntry& m : methods_)
      if (*m.Type == typeid(E) && *static_cast<const E*>(m.Handler.get()) == Handler) return m.Name;
    return String();
  }
  // The handler offered under Name (any case) for events of E's kind; an
  // empty one when there is none.
  template <class E>
  E FindMethod(const String& Name) const {
    const TMethodEntry* m = FindMethodEntry<E>(Name);
    return m ? *static_cast<const E*>(m->Handler.get()) : E();
  }

 protected:
  friend class TReader;
  friend class TWriter;
  virtual void ValidateRename(TComponent* AComponent, const String& CurName,
                              const String& NewName);
  void SetComponentStateFlag(TComponentStateItem Item, bool On) {
    if (On) state_.Include(Item); else state_.Exclude(Item);
  }

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void ForgetFreeNotifier(TComponent* AComponent);
  struct TMethodEntry {
    String Name;
    std::shared_ptr<const void> Handler;
    const std::type_info* Type;
  };
  template <class E>
  const TMethodEntry* FindMethodEntry(const String& Name) const {
    for (const TMethodEntry& m : methods_)
      if (*m.Type == typeid(E) && SameText(m.Name, Name)) return &m;
    return nullptr;
  }
  std::vector<TMethodEntry> methods_;

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  String name_;
  TComponentState state_;
  intptr_t tag_ = 0;
};

// ---------------------------------------------------------------------------
// Actions (classlib/Actions.h has the actions that clients show).

// Ties one client to an action: told of every change of the action.
class TBasicActionLink : public TObject {
 public:
  explicit TBasicActionLink(TObject* AClient);
  ~TBasicActionLink() override;

  TBasicAction* GetAction() const { return action_; }
  // Registers with the action (and leaves the old one).
  virtual void SetAction(TBasicAction* Value);
  // Executes the action with AComponent as its ActionComponent.
  virtual bool Execute(TComponent* AComponent = nullptr);
  virtual bool Update();
  // Whether the client's handler is the action's (it then runs the action).
  virtual bool IsOnExecuteLinked() { return true; }
  virtual void SetOnExecute(const TNotifyEvent& Value) {}

  // Told when the action changed (Sender: the action).
  TNotifyEvent OnChange;

 protected:
  friend class TBasicAction;
  virtual void AssignClient(TObject* AClient) {}
  virtual void Change();
  TBasicAction* action_ = nullptr;
};

class TBasicAction : public TComponent {
 public:
  explicit TBasicAction(TComponent* AOwner);
  ~TBasicAction() override;
  const char* ClassName() const override { return "TBasicAction"; }

  // Runs the action: OnExecute when assigned; true when something ran.
  virtual bool Execute();
  // Updates the action's state: OnUpdate when assigned; true when handled.
  virtual bool Update();
  // A target object (the focused control, the form...) the action can act
  // on by itself; the base knows none.
  virtual bool HandlesTarget(TObject* Target) { return false; }
  virtual void ExecuteTarget(TObject* Target) {}
  virtual void UpdateTarget(TObject* Target) {}

  void RegisterChanges(TBasicActionLink* Value);
  void UnRegisterChanges(TBasicActionLink* Value);
  int ClientCount() const { return static_cast<int>(clients_.size()); }
  TBasicActionLink* Client(int Index) const { return clients_[static_cast<size_t>(Index)]; }

  // The component through which the running action was started.
  TComponent* ActionComponent = nullptr;
  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;

 protected:
  // Tells every client link that the action changed.
  virtual void Change();
  std::vector<TBasicActionLink*> clients_;
};

// True when Ident is a valid identifier (letter or underscore, then
// letters, digits and underscores).
bool IsValidIdent(const String& Ident);

// ---------------------------------------------------------------------------
// Streams.

class TStream : public TObject {
 public:
  // Reads up to Count bytes; returns the number read.
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes up to Count bytes; returns the number written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
  virtual int64_t GetSize();
  virtual void SetSize(int64_t NewSize);

  // Reads or writes exactly Count bytes, else raises EReadError/EWriteError.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source (0: all of Source from its start).
  // Returns the number of bytes copied; raises EReadError/EWriteError when
  // Source ends early or this stream won't take them.
  int64_t CopyFrom(TStream* Source, int64_t Count);
};

// A stream in memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t NewSize) override;

  void Clear();
  void* Memory() { return data_.data(); }
  const void* Memory() const { return data_.data(); }
  void LoadFromStream(TStream* Stream);
  void SaveToStream(TStream* Stream);
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName);

 private:
  std::vector<unsigned char> data_;
  int64_t pos_ = 0;
};

// Open modes of TFileStream: one access mode, optionally or'ed with a share
// mode; fmCreate creates (or empties) the file for writing and reading.
enum : unsigned {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,
};

// A stream over an operating-system file handle (a HANDLE on Windows, a
// file descriptor on the host).
class THandleStream : public TStream {
 public:
  explicit THandleStream(intptr_t AHandle) : handle_(AHandle) {}
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(int64_t NewSize) override;
  intptr_t GetHandle() const { return handle_; }

 protected:
  intptr_t handle_;
};

// A file stream. Raises EFCreateError / EFOpenError with the file name
// and the system's reason when the file can't be created or opened.
class TFileStream : public THandleStream {
 public:
  TFileStream(const String& FileName, unsigned Mode);
  ~TFileStream() override;
  const String& GetFileName() const { return fileName_; }

 private:
  String fileName_;
};

// A read-only stream over a resource of a module (Windows only).
// Instance is the module handle; ResType is a resource type name or an
// integer type made with MAKEINTRESOURCEW. Raises EResNotFound.
class TResourceStream : public TStream {
 public:
  TResourceStream(void* Instance, const String& ResName, const wchar_t* ResType);
  TResourceStream(void* Instance, int ResID, const wchar_t* ResType);
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;  // raises EStreamError
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override { return size_; }
  const void* Memory() const { return data_; }

 private:
  void Initialize(void* Instance, const wchar_t* Name, const wchar_t* ResType);
  const unsigned char* data_ = nullptr;
  int64_t size_ = 0;
  int64_t pos_ = 0;
};

// A stream over an ANSI (8-bit) text buffer.
class TStringStream : public TStream {
 public:
  explicit TStringStream(const AnsiString& AString = AnsiString()) : data_(AString) {}
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t NewSize) override;
  const AnsiString& GetDataString() const { return data_; }

 private:
  AnsiString data_;
  int64_t pos_ = 0;
};

// ---------------------------------------------------------------------------
// String lists.

// Encoding used when saving text (loading recognises byte-order marks).
enum TTextEncoding { teAnsi, teUTF16LE, teUTF8 };

class TStrings : public TPersistent {
 public:
  ~TStrings() override;
  const char* ClassName() const override { return "TStrings"; }

  // Element access. Index out of range raises EStringListError.
  virtual String Get(int Index) const = 0;
  virtual void Put(int Index, const String& S);
  virtual TObject* GetObjects(int Index) const;
  virtual void SetObjects(int Index, TObject* AObject);
  virtual int GetCount() const = 0;
  String operator[](int Index) const { return Get(Index); }
  String GetStrings(int Index) const { return Get(Index); }
  void SetStrings(int Index, const String& S) { Put(Index, S); }

  virtual int Add(const String& S);
  virtual int AddObject(const String& S, TObject* AObject);
  void Append(const String& S) { Add(S); }
  virtual void AddStrings(const TStrings* Strings);
  virtual void Insert(int Index, const String& S) = 0;
  void InsertObject(int Index, const String& S, TObject* AObject);
  virtual void Delete(int Index) = 0;
  virtual void Clear() = 0;
  virtual void Exchange(int Index1, int Index2);
  virtual void Move(int CurIndex, int NewIndex);
  virtual int IndexOf(const String& S) const;
  virtual int IndexOfName(const String& Name) const;
  int IndexOfObject(const TObject* AObject) const;
  bool Equals(const TStrings* Strings) const;
  void Assign(TPersistent* Source) override;

  // Name=value access.
  String GetName(int Index) const;
  String GetValue(const String& Name) const;
  // Setting an empty value deletes the line.
  void SetValue(const String& Name, const String& Value);
  String GetValueFromIndex(int Index) const;
  void SetValueFromIndex(int Index, const String& Value);
  wchar_t NameValueSeparator = L'=';

  // Whole text: every line ends in CR LF; on setting, CR LF, CR and LF all
  // end a line, and a final line without terminator still counts.
  virtual String GetText() const;
  virtual void SetText(const String& Value);
  String GetCommaText() const;
  void SetCommaText(const String& Value);
  String GetDelimitedText() const;
  void SetDelimitedText(const String& Value);
  wchar_t Delimiter = L',';
  wchar_t QuoteChar = L'"';
  // When set, only Delimiter separates items (not spaces).
  bool StrictDelimiter = false;

  void BeginUpdate();
  void EndUpdate();
  int GetUpdateCount() const { return updateCount_; }

  // Text files and streams: ANSI text by default; a UTF-16 (either byte
  // order) or UTF-8 byte-order mark is recognised on load.
  virtual void LoadFromStream(TStream* Stream);
  virtual void SaveToStream(TStream* Stream, TTextEncoding Encoding = teAnsi) const;
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName, TTextEncoding Encoding = teAnsi) const;

 protected:
  // Called with true when the first BeginUpdate starts, false at the last
  // EndUpdate.
  virtual void SetUpdateState(bool Updating);
  // Compares two strings the way IndexOf and IndexOfName match.
  virtual int CompareStrings(const String& S1, const String& S2) const;
  [[noreturn]] void Error(const wchar_t* Msg, int Data) const;

 private:
  int updateCount_ = 0;
};

class TStringList;
using TStringListSortCompare = int (*)(TStringList* List, int Index1, int Index2);

class TStringList : public TStrings {
 public:
  TStringList() = default;
  explicit TStringList(bool AOwnsObjects) : OwnsObjects(AOwnsObjects) {}
  ~TStringList() override;
  const char* ClassName() const override { return "TStringList"; }

  String Get(int Index) const override;
  void Put(int Index, const String& S) override;
  TObject* GetObjects(int Index) const override;
  void SetObjects(int Index, TObject* AObject) override;
  int GetCount() const override { return static_cast<int>(items_.size()); }

  // In a sorted list Add places the string in order and applies
  // Duplicates; Insert, Put, Exchange and Move raise EStringListError.
  int Add(const String& S) override;
  int AddObject(const String& S, TObject* AObject) override;
  void Insert(int Index, const String& S) override;
  void Delete(int Index) override;
  void Clear() override;
  void Exchange(int Index1, int Index2) override;
  void Move(int CurIndex, int NewIndex) override;
  int IndexOf(const String& S) const override;

  // Binary search of a sorted list: true and the (first) matching index,
  // or false and the index where S would go. An unsorted list is searched
  // from the start (false gives the count).
  virtual bool Find(const String& S, int& Index) const;
  virtual void Sort();
  virtual void CustomSort(TStringListSortCompare Compare);

  bool GetSorted() const { return sorted_; }
  void SetSorted(bool Value);
  TDuplicates GetDuplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates Value) { duplicates_ = Value; }
  bool GetCaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool Value);

  // When set, the list frees its objects when their lines go.
  bool OwnsObjects = false;
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool Updating) override;
  int CompareStrings(const String& S1, const String& S2) const override;
  virtual void Changed();
  virtual void Changing();
  void InsertItem(int Index, const String& S, TObject* AObject);

 private:
  struct Item {
    String S;
    TObject* O = nullptr;
  };
  void CheckIndex(int Index) const;
  void QuickSortWith(TStringListSortCompare Compare);
  std::vector<Item> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = dupIgnore;
};

// ---------------------------------------------------------------------------
// Collections: a list of items of one class, owned by the collection.

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  // Adds itself to Collection when given.
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;
  const char* ClassName() const override { return "TCollectionItem"; }

  TCollection* GetCollection() const { return collection_; }
  void SetCollection(TCollection* Value);
  int GetIndex() const;
  virtual void SetIndex(int Value);
  int GetID() const { return id_; }
  virtual String GetDisplayName() const;
  virtual void SetDisplayName(const String& Value);

 protected:
  // Tells the collection this item changed (AllItems: every item did).
  void Changed(bool AllItems);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
  String displayName_;
};

class TCollection : public TPersistent {
 public:
  using ItemFactory = std::function<TCollectionItem*(TCollection*)>;
  // Factory creates one item of the collection's item class (given the
  // collection, which the item joins in its constructor).
  explicit TCollection(ItemFactory Factory);
  ~TCollection() override;
  const char* ClassName() const override { return "TCollection"; }

  TCollectionItem* Add();
  TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();
  TCollectionItem* FindItemID(int ID) const;
  int GetCount() const { return static_cast<int>(items_.size()); }
  TCollectionItem* GetItem(int Index) const;
  // What makes the collection's items (the collection's item class).
  const ItemFactory& GetItemClass() const { return factory_; }
  void Assign(TPersistent* Source) override;

  virtual void BeginUpdate();
  virtual void EndUpdate();
  int GetUpdateCount() const { return updateCount_; }

 protected:
  // Called when Item changed (nullptr: everything did) once no update runs.
  virtual void Update(TCollectionItem* Item);

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);
  void Changed();
  ItemFactory factory_;
  std::vector<TCollectionItem*> items_;
  int nextId_ = 0;
  int updateCount_ = 0;
};

// A collection that knows the object it belongs to (for name paths and
// editors); the owner is not freed with it.
class TOwnedCollection : public TCollection {
 public:
  TOwnedCollection(TPersistent* AOwner, ItemFactory Factory) : TCollection(std::move(Factory)), owner_(AOwner) {}
  const char* ClassName() const override { return "TOwnedCollection"; }
  TPersistent* GetOwner() const { return owner_; }

 private:
  TPersistent* owner_;
};

ZEMBRIO_DECLARE_EXCEPTION(EBitsError, Exception)

// A growable set of bits. Setting a bit at or past the size grows the set
// to hold it; reading past the size answers false. A negative index raises
// EBitsError "Bits index out of range".
class TBits : public TObject {
 public:
  int GetSize() const { return int(bits_.size()); }
  // Growing adds false bits, shrinking drops the top ones.
  void SetSize(int Value);
  bool GetBit(int Index) const;
  void SetBit(int Index, bool Value);
  // The lowest false bit, or the size when every bit is set.
  int OpenBit() const;

 private:
  std::vector<bool> bits_;
};

#ifdef _WIN32
#include <unknwn.h>

// The reference-counted base of objects that implement COM interfaces: it
// answers QueryInterface for IUnknown, counts AddRef/Release (interlocked)
// and frees itself when the count drops to zero. Made with a count of 0:
// the first AddRef (or QueryInterface) takes the first reference.
class TInterfacedObject : public TObject, public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Obj) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  LONG GetRefCount() const { return refCount_; }

 private:
  volatile LONG refCount_ = 0;
};
#endif

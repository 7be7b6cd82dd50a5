// Declaring a component's stored properties to a filer, one helper a
// property. A writer writes the property when it is stored and differs from
// its base (the ancestor's value while a form is written against one, else
// the property's default); a reader hands the value read to the setter.
// Enumerations and sets are stored as their identifiers, so that a stream
// stays readable when members are added; references to other components are
// stored by name and found once the whole stream is read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "classlib/Filer.h"
#include "classlib/Graphics.h"

namespace PropFiler {

using TNames = std::vector<const wchar_t*>;

// Each helper declares its property's kind with it (TDeclaringKind), which
// a TNameRecorder notes beside the name.
void Boolean(TFiler* Filer, const wchar_t* Name, bool Value, bool Base, const std::function<void(bool)>& Set,
             bool Stored = true);
void Integer(TFiler* Filer, const wchar_t* Name, int64_t Value, int64_t Base,
             const std::function<void(int64_t)>& Set, bool Stored = true);
void Text(TFiler* Filer, const wchar_t* Name, const String& Value, const String& Base,
          const std::function<void(const String&)>& Set, bool Stored = true);
// A date and time (days since 1899-12-30), stored as a date value.
void DateTime(TFiler* Filer, const wchar_t* Name, double Value, double Base, const std::function<void(double)>& Set,
              bool Stored = true);
// Stored as the identifier Names[Value]; an unknown identifier read raises
// EReadError.
void Enum(TFiler* Filer, const wchar_t* Name, int Value, int Base, const TNames& Names,
          const std::function<void(int)>& Set, bool Stored = true);
// A set of up to 64 members stored as the list of its members' identifiers.
void Set(TFiler* Filer, const wchar_t* Name, uint64_t Bits, uint64_t Base, const TNames& Names,
         const std::function<void(uint64_t)>& Set, bool Stored = true);
// A string list stored as a list of its lines; read, the lines replace
// those of Value. Without Base, stored when it has lines.
void Lines(TFiler* Filer, const wchar_t* Name, TStrings* Value, TStrings* Base, bool Stored = true);
// A picture stored as its bytes. Without Base, stored when not empty.
void Picture(TFiler* Filer, const wchar_t* Name, TBitmap* Value, TBitmap* Base,
             const std::function<void(TBitmap*)>& Set, bool Stored = true);
// A component stored by name. The name read goes to Pending: the component
// it names may come later in the stream, so the owner resolves it (Find)
// once loading is over.
void Reference(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base, String& Pending,
               bool Stored = true);
// A component stored by name; read back once the whole stream is read
// (before anything hears Loaded) through Set, with the component the name
// stands for.
void Link(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base,
          const std::function<void(TComponent*)>& Set, bool Stored = true);
// An event stored as the name its root (Filer->GetRoot(), a form) offers
// its handler under (TComponent::RegisterMethod); a handler the root does
// not offer is not stored. Read, the root's handler of that name is bound;
// a name the root does not offer raises EReadError.
template <class E>
void Event(TFiler* Filer, const wchar_t* Name, E& Value, const E* Base) {
  TComponent* root = Filer->GetRoot();
  const String method = root && Value ? root->MethodName(Value) : String();
  const bool differs = Base ? Value != *Base : static_cast<bool>(Value);
  TDeclaringKind Kind(TDeclaredKind::Event);
  // An item read in place keeps a handler no stream can name (one set in
  // code); one its root names would have been named.
  TDeclaringReset Reset([&] {
    if (root && Value && !root->MethodName(Value).empty()) Value = E();
  });
  Filer->DefineProperty(
      Name,
      [&](TReader* R) {
        const String read = R->ReadIdent();
        E handler = root ? root->FindMethod<E>(read) : E();
        if (!handler) throw EReadError(L"Method " + read + L" not found");
        Value = handler;
      },
      [&](TWriter* W) { W->WriteIdent(method); }, differs && !method.empty());
}
// The items of a collection as the collection helpers below reach them.
class TItemList {
 public:
  virtual ~TItemList() = default;
  virtual int Count() = 0;
  // Has item Index declare its properties to Filer.
  virtual void Declare(int Index, TFiler* Filer) = 0;
  virtual void Clear() = 0;
  // A new item at the end.
  virtual void Add() = 0;
  // Moves item Order[I] to place I, for each I.
  virtual void Reorder(const std::vector<int>& Order) {}
  // Whether Delete frees an item (items told apart by a key are then kept
  // one by one).
  virtual bool Deletes() { return false; }
  virtual void Delete(int Index) {}
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}
  // An empty list of the same kind of items, apart from this one and
  // everything else, for a value to be read into on trial before these
  // items change; null when there is none to be had.
  virtual std::unique_ptr<TItemList> Scratch() { return nullptr; }
};

// A collection of the class library as a TItemList.
class TCollectionItems : public TItemList {
 public:
  using TMakeCollection = std::function<std::unique_ptr<TCollection>()>;
  // Make, when given, makes an empty collection of Items' class for a
  // trial read (so that the items read on trial check against each other
  // as they do there); without it, a plain collection of the same items.
  explicit TCollectionItems(TCollection* Items, TMakeCollection Make = nullptr)
      : items_(Items), make_(std::move(Make)) {}
  int Count() override { return items_->GetCount(); }
  void Declare(int Index, TFiler* Filer) override;
  void Clear() override { items_->Clear(); }
  void Add() override { items_->Add(); }
  void Reorder(const std::vector<int>& Order) override;
  bool Deletes() override { return true; }
  void Delete(int Index) override { items_->Delete(Index); }
  void BeginUpdate() override { items_->BeginUpdate(); }
  void EndUpdate() override { items_->EndUpdate(); }
  std::unique_ptr<TItemList> Scratch() override;

 private:
  TCollection* items_;
  TMakeCollection make_;
  std::unique_ptr<TCollection> own_;  // a scratch list's collection
};

// A collection as a value of the form stream: each item a list of the
// properties its DefineProperties declares, each as its name and value, as
// a component's are. The declarations reach Writer as made, so that a
// writer that writes every value writes each item whole. Events are named
// as Root offers their handlers.
void WriteCollection(TWriter* Writer, TItemList& Items, TComponent* Root);
// Reads a value WriteCollection wrote into Items. The whole value is read
// before any item changes, and, where Items has a Scratch list, read into
// that on trial: a broken value, or one an item refuses (a handler its
// root does not offer, a value of the wrong kind), raises with the items
// as they were. When it holds as many items as there are and names, for
// each, every property the item writes apart from those that say what they
// become unnamed (TDeclaringReset), each item takes its values where it is:
// callers keep their items, with what no stream holds (handlers set in
// code). Otherwise the items are made anew, once, as a form file makes
// them; a failure meanwhile leaves none. With a Key (the name of a text
// property that tells the items apart) named by the items read, and Items
// able to Delete, each item read goes into the item there of its key, put
// in the order read, and only the others are made, new; the items there
// whose keys nobody reads are freed (and an item that can't take its value
// in place is made anew too). An item may carry its index first (passed
// over). A property no
// item declares raises EReadError "Error reading <Name>: Property <p> does
// not exist", or, with no Name, is passed over.
void ReadCollection(TReader* Reader, TItemList& Items, const wchar_t* Name, const wchar_t* Key = nullptr);

// Reads a list value of items that ReadItem reads one at a time into a T,
// all of them before anything changes (a broken list raises with the items
// as they were). When Count items are there already, Set(Index, Item) puts
// each into the item at its place, which callers keep; otherwise
// Renew(N) makes the N items first, once.
template <class T>
void ReadList(TReader* Reader, const std::function<T(TReader*)>& ReadItem, int Count,
              const std::function<void(int)>& Renew, const std::function<void(int, const T&)>& Set) {
  std::vector<T> Items;
  Reader->ReadListBegin();
  while (!Reader->EndOfList()) Items.push_back(ReadItem(Reader));
  Reader->ReadListEnd();
  const int N = static_cast<int>(Items.size());
  if (N != Count) Renew(N);
  for (int I = 0; I < N; ++I) Set(I, Items[static_cast<size_t>(I)]);
}

// The component named Name among the components of Self's owners (or one
// of those owners itself), or null.
TComponent* Find(TComponent* Self, const String& Name);
// A property that streams of older versions may carry but that is never
// written: the value read is passed over.
void Ignored(TFiler* Filer, const wchar_t* Name);

// The name of every property Component declares to a filer, stored or not,
// in the order declared (a part's properties as "Part.Name"). Nothing is
// read or written.
std::vector<String> DefinedNames(TComponent* Component);
// Those of Names that Component does not declare: a name counts as
// declared when a property has it, or when properties of that part
// ("Name.Something") are declared.
std::vector<String> MissingNames(TComponent* Component, const TNames& Names);

}  // namespace PropFiler

#include "extlib/ExProps.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <memory>
#include <string>

#include "classlib/Filer.h"

const TTypeKinds tkStoredProps = TTypeKinds{tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet,
                                            tkClass, tkWChar, tkLString, tkWString, tkVariant, tkArray,
                                            tkRecord, tkInterface, tkInt64, tkDynArray};
const wchar_t sPropNameDelimiter[] = L"_";
std::function<TComponent*(const String&)> PropsFindRoot;

namespace {

struct TPropClassEntry {
  std::function<bool(const TObject*)> Matches;
  std::vector<TPropInfo> Props;
  const void* Group = nullptr;
};

std::vector<std::unique_ptr<TPropClassEntry>>& Registry() {
  static std::vector<std::unique_ptr<TPropClassEntry>> R;
  return R;
}

// Registrations recorded to run on first use, in the order recorded.
std::vector<void (*)()>& Deferred() {
  static std::vector<void (*)()> D;
  return D;
}

// Runs the recorded registrations before anything registers or looks up
// after them. What one of them registers comes in its turn, before the
// next one runs.
void RunDeferred() {
  static bool running = false;
  if (running) return;
  running = true;
  // Also when a registration throws: the ones after it run next time.
  struct TDone {
    ~TDone() { running = false; }
  } Done;
  while (!Deferred().empty()) {
    void (*Register)() = Deferred().front();
    Deferred().erase(Deferred().begin());
    Register();
  }
}

String Widen(const char* S) { return String(S, S + std::strlen(S)); }

// The name a component is known by as the owner of another: its Name, or
// its class name without the leading "T".
String OwnerName(TComponent* C) {
  if (!C->GetName().empty()) return C->GetName();
  String N = Widen(C->ClassName());
  if (N.size() > 1 && (N[0] == L'T' || N[0] == L't')) N.erase(0, 1);
  return N;
}

String ReplaceChar(String S, wchar_t From, wchar_t To) {
  for (wchar_t& C : S)
    if (C == From) C = To;
  return S;
}

int FloatPrecision(TFloatType T) {
  switch (T) {
    case ftSingle: return 7;
    case ftDouble: return 15;
    case ftCurr: return 19;
    default: return 18;
  }
}

bool IsSetDelimiter(wchar_t C) { return C == L' ' || C == L',' || C == L'[' || C == L']'; }

}  // namespace

void RegisterPropsOnFirstUse(void (*Register)()) { Deferred().push_back(Register); }

void CancelPropsOnFirstUse(void (*Register)()) {
  auto& D = Deferred();
  D.erase(std::remove(D.begin(), D.end(), Register), D.end());
}

void RegisterPublishedProps(std::function<bool(const TObject*)> Matches, std::vector<TPropInfo> Props,
                            const void* Group) {
  RunDeferred();
  auto E = std::make_unique<TPropClassEntry>();
  E->Matches = std::move(Matches);
  E->Props = std::move(Props);
  E->Group = Group;
  Registry().push_back(std::move(E));
}

void UnregisterPublishedProps(const void* Group) {
  if (!Group) return;
  auto& R = Registry();
  R.erase(std::remove_if(R.begin(), R.end(), [Group](const auto& E) { return E->Group == Group; }), R.end());
}

namespace {
// The properties of an object that describes its own (the parts, items and
// lists made from what a component declares to the form streaming).
void AddOwnProps(const TObject* Obj, TTypeKinds Filter, std::vector<PPropInfo>& List);
}  // namespace

std::vector<PPropInfo> GetPropList(const TObject* Obj, TTypeKinds Filter) {
  std::vector<PPropInfo> R;
  if (!Obj) return R;
  RunDeferred();
  AddOwnProps(Obj, Filter, R);
  for (auto& E : Registry())
    if (E->Matches(Obj))
      for (const TPropInfo& P : E->Props)
        if (Filter.Contains(P.Kind)) R.push_back(&P);
  return R;
}

// ---------------------------------------------------------------------------

TPropInfoList::TPropInfoList(TObject* AObject, TTypeKinds Filter) {
  if (AObject) list_ = GetPropList(AObject, Filter);
}

bool TPropInfoList::Contains(PPropInfo P) const {
  for (PPropInfo Q : list_)
    if (Q->TypeName == P->TypeName && CompareText(Q->Name, P->Name) == 0) return true;
  return false;
}

PPropInfo TPropInfoList::Find(const String& AName) const {
  for (PPropInfo Q : list_)
    if (CompareText(Q->Name, AName) == 0) return Q;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Properties a component declares only to the form streaming: their value
// goes through the filer, one property at a time.

namespace {

const char kFormSignature[] = {'T', 'P', 'F', '0'};

// Writes a component whole, the property asked for always (also when it
// holds its default), so that its value can be cut out of the stream; inside
// that value (a collection's items) every property an item declares is
// written too, so that an item comes back whole when read.
class TOnePropWriter : public TWriter {
 public:
  TOnePropWriter(TStream* Stream, const String& Name) : TWriter(Stream), name_(Name) {}
  void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override {
    if (inside_ == 0 && SameText(Name, name_)) {
      ++inside_;
      struct TLeave {
        int& N;
        ~TLeave() { --N; }
      } Leave{inside_};
      TWriter::DefineProperty(Name, ReadData, WriteData, true);
      return;
    }
    if (inside_ > 0) {
      InnerKinds.emplace_back(Name, TDeclaringKind::Current());
      if (!HasData) HasData = Writable(WriteData);
    }
    TWriter::DefineProperty(Name, ReadData, WriteData, HasData);
  }
  // What was declared inside the property asked for (a collection's items'
  // properties), with the kind of each.
  std::vector<std::pair<String, TDeclaredKind>> InnerKinds;
  void DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                            bool HasData) override {
    if (inside_ > 0) InnerKinds.emplace_back(Name, TDeclaringKind::Current());
    TWriter::DefineBinaryProperty(Name, ReadData, WriteData, HasData || (inside_ == 0 && SameText(Name, name_)));
  }

 private:
  // Whether a value left at its default writes as one that reads back: not
  // an event without a handler (an empty name), nor one whose writer fails.
  static bool Writable(const TWriterProc& WriteData);
  String name_;
  int inside_ = 0;
};

void PutShortStr(TStream& S, const std::string& Text) {
  const uint8_t N = static_cast<uint8_t>(std::min<size_t>(Text.size(), 255));
  S.WriteBuffer(&N, 1);
  if (N) S.WriteBuffer(Text.data(), N);
}

std::string GetShortStr(TStream& S) {
  uint8_t N = 0;
  S.ReadBuffer(&N, 1);
  std::string R(N, '\0');
  if (N) S.ReadBuffer(R.data(), N);
  return R;
}

std::string Bytes(TMemoryStream& S) {
  return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
}

bool TOnePropWriter::Writable(const TWriterProc& WriteData) {
  if (!WriteData) return false;
  TMemoryStream S;
  try {
    TWriter W(&S);
    WriteData(&W);
  } catch (...) {
    return false;
  }
  const std::string B = Bytes(S);
  return !B.empty() && !(B.size() == 2 && static_cast<uint8_t>(B[0]) == vaIdent && B[1] == 0);
}

// The stream form of the property Name of C (its value only), or false
// when C declares no such property.
bool CaptureValue(TComponent* C, const String& Name, std::string& Value) {
  TMemoryStream S;
  TOnePropWriter(&S, Name).WriteRootComponent(C);
  S.SetPosition(sizeof kFormSignature);
  TReader R(&S);
  if ((static_cast<uint8_t>(R.NextValue()) & 0xF0) == 0xF0) R.ReadValue();
  GetShortStr(S);  // class
  GetShortStr(S);  // name
  while (R.NextValue() != vaNull) {
    const String Prop = AnsiToWide(GetShortStr(S));
    const int64_t Start = S.GetPosition();
    R.SkipValue();
    if (SameText(Prop, Name)) {
      Value = Bytes(S).substr(static_cast<size_t>(Start), static_cast<size_t>(S.GetPosition() - Start));
      return true;
    }
  }
  return false;
}

// The kind of the property Name that the items of C's collection property
// Collection declare (Other when none does).
TDeclaredKind ItemKindOf(TComponent* C, const String& Collection, const String& Name) {
  TMemoryStream S;
  TOnePropWriter W(&S, Collection);
  W.WriteRootComponent(C);
  for (const auto& [Declared, Kind] : W.InnerKinds)
    if (SameText(Declared, Name)) return Kind;
  return TDeclaredKind::Other;
}

// The components a value is being restored into, on this thread (a
// Loaded may restore values of its own).
std::vector<const TComponent*>& Restoring() {
  thread_local std::vector<const TComponent*> Components;
  return Components;
}

// Reads the stream form of the property Name into C as a form file would
// set it (C loading meanwhile, Loaded after).
void ApplyValue(TComponent* C, const String& Name, const std::string& Value) {
  struct TMark {
    explicit TMark(const TComponent* C) { Restoring().push_back(C); }
    ~TMark() { Restoring().pop_back(); }
  } Mark(C);
  TMemoryStream S;
  S.WriteBuffer(kFormSignature, sizeof kFormSignature);
  PutShortStr(S, C->ClassName());
  PutShortStr(S, WideToAnsi(C->GetName()));
  PutShortStr(S, WideToAnsi(Name));
  S.WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
  const uint8_t End[2] = {vaNull, vaNull};  // the properties, the children
  S.WriteBuffer(End, 2);
  S.SetPosition(0);
  TReader(&S).ReadRootComponent(C);
}

enum class TValueGroup { Integer, Boolean, Ident, Text, Other };

TValueGroup GroupOf(const std::string& Value) {
  switch (Value.empty() ? vaNull : static_cast<TValueType>(Value[0])) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64: return TValueGroup::Integer;
    case vaFalse:
    case vaTrue: return TValueGroup::Boolean;
    case vaIdent: return TValueGroup::Ident;
    case vaString:
    case vaLString:
    case vaWString:
    case vaUTF8String: return TValueGroup::Text;
    default: return TValueGroup::Other;
  }
}

const wchar_t kHex[] = L"0123456789abcdef";

// A list of identifiers only (a set's members) as "[a,b]"; false for any
// other value.
bool IdentListText(TMemoryStream& S, String& Text) {
  TReader R(&S);
  if (R.ReadValue() != vaList) return false;
  Text = L"[";
  for (bool First = true; !R.EndOfList(); First = false) {
    if (R.NextValue() != vaIdent) return false;
    Text += (First ? L"" : L",") + R.ReadIdent();
  }
  Text += L"]";
  return true;
}

// Numbers, truth values, identifiers and texts as themselves, a set as its
// members in brackets separated by commas, anything else (lists of lines,
// dates, pictures) as the hexadecimal digits of its stream form.
String ValueToText(const std::string& Value) {
  TMemoryStream S;
  S.WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
  S.SetPosition(0);
  TReader R(&S);
  String T;
  switch (GroupOf(Value)) {
    case TValueGroup::Integer: return IntToStr(R.ReadInt64());
    case TValueGroup::Boolean: return R.ReadBoolean() ? L"True" : L"False";
    case TValueGroup::Ident: return R.ReadIdent();
    case TValueGroup::Text: return R.ReadString();
    case TValueGroup::Other:
      if (IdentListText(S, T)) return T;
      break;
  }
  T.clear();
  for (unsigned char B : Value) {
    T += kHex[B >> 4];
    T += kHex[B & 15];
  }
  return T;
}

// Identifiers (a letter or underscore, then letters, digits and
// underscores) joined by dots, as a reference to another form's component
// is.
bool IsIdent(const String& T) {
  for (size_t At = 0;; ++At) {
    const size_t End = std::min(T.find(L'.', At), T.size());
    if (End == At || std::iswdigit(T[At]) ||
        !std::all_of(T.begin() + At, T.begin() + End, [](wchar_t C) { return C == L'_' || std::iswalnum(C); }))
      return false;
    if (End == T.size()) return true;
    At = End;
  }
}

// Whether Value is one whole value of the stream and nothing more.
bool IsOneValue(const std::string& Value) {
  TMemoryStream S;
  S.WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
  S.SetPosition(0);
  try {
    TReader(&S).SkipValue();
  } catch (const Exception&) {
    return false;
  }
  return S.GetPosition() == S.GetSize();
}

// The stream form of Text for a property whose value now has the stream
// form Current; raises EConvertError for a text that is no such value.
std::string TextToValue(const std::string& Current, const String& Text) {
  TMemoryStream S;
  TWriter W(&S);
  const String T = Trim(Text);
  switch (GroupOf(Current)) {
    case TValueGroup::Integer: W.WriteInteger(StrToInt64(T)); break;
    case TValueGroup::Boolean:
      if (CompareText(T, L"True") == 0)
        W.WriteBoolean(true);
      else if (CompareText(T, L"False") == 0)
        W.WriteBoolean(false);
      else
        W.WriteBoolean(StrToInt64(T) != 0);
      break;
    case TValueGroup::Ident:
      if (!IsIdent(T)) throw EConvertError(L"'" + T + L"' is not an identifier");
      W.WriteIdent(T);
      break;
    case TValueGroup::Text: W.WriteString(Text); break;
    case TValueGroup::Other:
      if (T.size() >= 2 && T.front() == L'[' && T.back() == L']') {
        W.WriteListBegin();
        const String Body = T.substr(1, T.size() - 2);
        for (size_t At = 0; At < Body.size();) {
          size_t Comma = std::min(Body.find(L',', At), Body.size());
          const String E = Trim(Body.substr(At, Comma - At));
          if (!E.empty()) W.WriteIdent(E);
          At = Comma + 1;
        }
        W.WriteListEnd();
        break;
      }
      std::string R;
      if (T.size() % 2) throw EConvertError(L"'" + T + L"' is not a stored value");
      for (size_t I = 0; I < T.size(); I += 2) {
        const wchar_t* H = std::wcschr(kHex, static_cast<wchar_t>(std::towlower(T[I])));
        const wchar_t* L = std::wcschr(kHex, static_cast<wchar_t>(std::towlower(T[I + 1])));
        if (!H || !L || !*H || !*L) throw EConvertError(L"'" + T + L"' is not a stored value");
        R += static_cast<char>(((H - kHex) << 4) | (L - kHex));
      }
      // Exactly one value: one cut short (a picture whose length runs past
      // its bytes) would take in what follows it in its collection.
      if (!IsOneValue(R)) throw EConvertError(L"'" + T + L"' is not a stored value");
      return R;
  }
  return Bytes(S);
}

// ---------------------------------------------------------------------------
// Objects made from the form stream. A component shows its string lists,
// collections and parts (properties declared under dotted names such as
// "Constraints.MaxHeight") only as values of the stream; these stand for
// them, reading and setting each value through the component's own filer
// declarations.

// Something whose properties are values of the form stream.
class TFiled {
 public:
  virtual ~TFiled() = default;
  // Every property name it declares, once each, in order.
  virtual std::vector<String> FiledNames() = 0;
  // The stream form of the property Name, or false when there is none.
  virtual bool Capture(const String& Name, std::string& Value) = 0;
  virtual void Apply(const String& Name, const std::string& Value) = 0;
  // What the property Name is, as its declaration tells (Other when it
  // does not).
  virtual TDeclaredKind KindOf(const String& Name) { return TDeclaredKind::Other; }
  // The same for the property Name of the items of its collection property
  // Collection.
  virtual TDeclaredKind ItemKindOf(const String& Collection, const String& Name) { return TDeclaredKind::Other; }
};
using PFiled = std::shared_ptr<TFiled>;

// A reference to a filed object that its owner keeps alive.
PFiled Unowned(TFiled* F) { return PFiled(PFiled(), F); }

class TFiledComponent : public TFiled {
 public:
  explicit TFiledComponent(TComponent* C) : c_(C) {}
  std::vector<String> FiledNames() override {
    TNameRecorder R;
    R.Record(c_);
    std::vector<String> Names;
    for (const String& N : R.Names)
      if (std::none_of(Names.begin(), Names.end(), [&](const String& M) { return SameText(M, N); }))
        Names.push_back(N);
    return Names;
  }
  bool Capture(const String& Name, std::string& Value) override { return CaptureValue(c_, Name, Value); }
  void Apply(const String& Name, const std::string& Value) override { ApplyValue(c_, Name, Value); }
  TDeclaredKind KindOf(const String& Name) override {
    TNameRecorder R;
    R.Record(c_);
    return R.KindOf(Name);
  }
  TDeclaredKind ItemKindOf(const String& Collection, const String& Name) override {
    return ::ItemKindOf(c_, Collection, Name);
  }

 private:
  TComponent* c_;
};

// A filed object that is the value of a class-kind property and lists its
// own properties (made once, on first need).
class TFiledObject : public TFiled {
 public:
  const std::vector<std::unique_ptr<TPropInfo>>& OwnProps();

 private:
  std::vector<std::unique_ptr<TPropInfo>> props_;
  bool built_ = false;
};

std::unique_ptr<TPropInfo> ValueProp(const PFiled& F, const String& Name, const std::string& Value);
std::unique_ptr<TPropInfo> PartProp(const PFiled& F, const String& Name);

// Names that start with Prefix, without it.
std::vector<String> NamesAfter(const std::vector<String>& Names, const String& Prefix) {
  std::vector<String> R;
  for (const String& N : Names)
    if (N.size() > Prefix.size() && SameText(N.substr(0, Prefix.size()), Prefix)) R.push_back(N.substr(Prefix.size()));
  return R;
}

// The properties of F: each plain name by the kind of its value, each
// dotted name's first part once, as an object of its own.
std::vector<std::unique_ptr<TPropInfo>> FiledProps(const PFiled& F) {
  std::vector<std::unique_ptr<TPropInfo>> R;
  std::vector<String> Parts;
  for (const String& N : F->FiledNames()) {
    const size_t Dot = N.find(L'.');
    if (Dot == String::npos) {
      std::string V;
      if (F->Capture(N, V)) R.push_back(ValueProp(F, N, V));
      continue;
    }
    const String Part = N.substr(0, Dot);
    if (Part.empty() || std::any_of(Parts.begin(), Parts.end(), [&](const String& P) { return SameText(P, Part); }))
      continue;
    Parts.push_back(Part);
    R.push_back(PartProp(F, Part));
  }
  return R;
}

const std::vector<std::unique_ptr<TPropInfo>>& TFiledObject::OwnProps() {
  if (!built_) {
    built_ = true;
    props_ = FiledProps(Unowned(this));
  }
  return props_;
}

// A part of a filed object: the properties declared as "Part.Name".
class TFiledPart : public TObject, public TFiledObject {
 public:
  TFiledPart(PFiled Parent, const String& Part) : parent_(std::move(Parent)), prefix_(Part + L".") {}
  std::vector<String> FiledNames() override { return NamesAfter(parent_->FiledNames(), prefix_); }
  bool Capture(const String& Name, std::string& Value) override { return parent_->Capture(prefix_ + Name, Value); }
  void Apply(const String& Name, const std::string& Value) override { parent_->Apply(prefix_ + Name, Value); }
  TDeclaredKind KindOf(const String& Name) override { return parent_->KindOf(prefix_ + Name); }
  TDeclaredKind ItemKindOf(const String& Collection, const String& Name) override {
    return parent_->ItemKindOf(prefix_ + Collection, Name);
  }

 private:
  PFiled parent_;
  String prefix_;
};

using TFiledValues = std::vector<std::pair<String, std::string>>;

// The items of a collection value, each its properties in stream order;
// false for a value that is no collection.
bool ParseCollection(const std::string& Value, std::vector<TFiledValues>& Items) {
  Items.clear();
  if (Value.empty() || static_cast<uint8_t>(Value[0]) != vaCollection) return false;
  TMemoryStream S;
  S.WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
  S.SetPosition(0);
  TReader R(&S);
  try {
    R.ReadValue();
    while (!R.EndOfList()) {
      const TValueType T = R.NextValue();
      if (T == vaInt8 || T == vaInt16 || T == vaInt32 || T == vaInt64) R.ReadInt64();  // the item's index
      R.ReadListBegin();
      TFiledValues Item;
      while (!R.EndOfList()) {
        const String Name = AnsiToWide(GetShortStr(S));
        const int64_t Start = S.GetPosition();
        R.SkipValue();
        Item.emplace_back(Name, Value.substr(static_cast<size_t>(Start), static_cast<size_t>(S.GetPosition() - Start)));
      }
      R.ReadListEnd();
      Items.push_back(std::move(Item));
    }
  } catch (const Exception&) {
    Items.clear();
    return false;
  }
  return true;
}

// The lines of a list of texts; false for any other value. An empty list
// counts as one.
bool ParseLines(const std::string& Value, std::vector<String>& Lines) {
  Lines.clear();
  if (Value.empty() || static_cast<uint8_t>(Value[0]) != vaList) return false;
  TMemoryStream S;
  S.WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
  S.SetPosition(0);
  TReader R(&S);
  try {
    R.ReadListBegin();
    while (!R.EndOfList()) {
      const TValueType T = R.NextValue();
      if (T != vaString && T != vaLString && T != vaWString && T != vaUTF8String) return false;
      Lines.push_back(R.ReadString());
    }
    R.ReadListEnd();
  } catch (const Exception&) {
    return false;
  }
  return S.GetPosition() == S.GetSize();
}

class TFiledCollection;

// An item of a collection value.
class TFiledItem : public TCollectionItem, public TFiledObject {
 public:
  explicit TFiledItem(TCollection* Collection);
  ~TFiledItem() override;
  std::vector<String> FiledNames() override;
  bool Capture(const String& Name, std::string& Value) override;
  void Apply(const String& Name, const std::string& Value) override;
  TDeclaredKind KindOf(const String& Name) override;

  TFiledValues Values;
  // What the component gave it: its values held, or a new item's as made.
  TFiledValues Base;
  // Added here and not yet known to the component.
  bool Fresh = true;

 private:
  TFiledCollection* Owner() const;
};

// A collection value of a filed object. Changes (items added or removed,
// an item's property set) are written back whole once no update runs.
class TFiledCollection : public TCollection {
 public:
  TFiledCollection(PFiled Owner, const String& Name, const std::string& Value)
      : TCollection([](TCollection* C) -> TCollectionItem* { return new TFiledItem(C); }),
        owner_(std::move(Owner)),
        name_(Name) {
    std::vector<TFiledValues> Items;
    ParseCollection(Value, Items);
    Take(Items, true);
    quiet_ = false;
  }
  ~TFiledCollection() override {
    quiet_ = true;
    Clear();
  }
  const char* ClassName() const override { return "TFiledCollection"; }

  // Lets the component make the items added here, so that they have their
  // properties (with the values a new item has).
  void Materialise() {
    if (!HasFresh()) return;
    owner_->Apply(name_, Serialise());
    TakeMade();
  }
  void Changed() {
    if (!quiet_) dirty_ = true;
  }
  TDeclaredKind ItemKindOf(const String& Name) { return owner_->ItemKindOf(name_, Name); }

 protected:
  void Update(TCollectionItem*) override {
    if (quiet_ || !dirty_) return;
    dirty_ = false;
    std::string Held;
    if (!owner_->Capture(name_, Held)) return;
    try {
      Materialise();
      owner_->Apply(name_, Serialise());
      Settle();
      return;
    } catch (const Exception&) {
      // A value the component does not take (also one given with the items
      // added): below.
    }
    // Back to what each item was given (the values the component held, a
    // new item's as made), then the values one at a time, each one the
    // component refuses left as it was there.
    std::vector<TFiledValues> Wanted = Values();
    for (int I = 0; I < GetCount(); ++I) {
      auto* Item = static_cast<TFiledItem*>(GetItem(I));
      Item->Values = Item->Base;
    }
    try {
      owner_->Apply(name_, Serialise());
      // The items added get the values the component made them with.
      TakeMade();
    } catch (const Exception&) {
      // Not even the items as they were given (the component refuses their
      // count): back to what it held, the items as many as there were, and
      // the refusal goes on to the caller.
      owner_->Apply(name_, Held);
      std::vector<TFiledValues> Now;
      ParseCollection(Held, Now);
      Rebuild(Now);
      throw;
    }
    for (size_t I = 0; I < Wanted.size(); ++I) {
      auto* Item = static_cast<TFiledItem*>(GetItem(static_cast<int>(I)));
      for (const auto& Want : Wanted[I]) {
        auto At = std::find_if(Item->Values.begin(), Item->Values.end(),
                               [&](const auto& V) { return SameText(V.first, Want.first); });
        if (At == Item->Values.end() || At->second == Want.second) continue;
        const std::string Was = At->second;
        At->second = Want.second;
        try {
          owner_->Apply(name_, Serialise());
        } catch (const Exception&) {
          At->second = Was;
          owner_->Apply(name_, Serialise());
        }
      }
    }
    Settle();
  }

 private:
  // What the component now holds is what each item was given.
  void Settle() {
    for (int I = 0; I < GetCount(); ++I) {
      auto* Item = static_cast<TFiledItem*>(GetItem(I));
      Item->Base = Item->Values;
    }
  }
  bool HasFresh() const {
    for (int I = 0; I < GetCount(); ++I)
      if (static_cast<TFiledItem*>(GetItem(I))->Fresh) return true;
    return false;
  }
  std::vector<TFiledValues> Values() const {
    std::vector<TFiledValues> R;
    for (int I = 0; I < GetCount(); ++I) R.push_back(static_cast<TFiledItem*>(GetItem(I))->Values);
    return R;
  }
  // Fills the items added from what the component now holds.
  void TakeMade() {
    std::string Now;
    std::vector<TFiledValues> Items;
    if (owner_->Capture(name_, Now) && ParseCollection(Now, Items)) Take(Items, false);
  }
  // The items as many as Items, each one filled from it: the ones there
  // stay in their places, the ones missing are made at the end, the ones
  // past it go.
  void Rebuild(const std::vector<TFiledValues>& Items) {
    const bool WasQuiet = quiet_;
    quiet_ = true;
    try {
      while (GetCount() > static_cast<int>(Items.size())) Delete(GetCount() - 1);
      while (GetCount() < static_cast<int>(Items.size())) Add();
    } catch (...) {
      quiet_ = WasQuiet;
      throw;
    }
    quiet_ = WasQuiet;
    Take(Items, false, true);
  }
  // Fills the items (making them when All) from what the component holds:
  // the fresh ones, or, with Known, every one there is.
  void Take(const std::vector<TFiledValues>& Items, bool All, bool Known = false) {
    const bool WasQuiet = quiet_;
    quiet_ = true;
    if (All)
      for (size_t I = 0; I < Items.size(); ++I) Add();
    for (int I = 0; I < GetCount() && I < static_cast<int>(Items.size()); ++I) {
      auto* Item = static_cast<TFiledItem*>(GetItem(I));
      if (!All && !Known && !Item->Fresh) continue;
      Item->Values = Items[static_cast<size_t>(I)];
      Item->Base = Item->Values;
      Item->Fresh = false;
    }
    quiet_ = WasQuiet;
  }
  std::string Serialise() const {
    TMemoryStream S;
    {
      TWriter W(&S);
      W.WriteValue(vaCollection);
      for (int I = 0; I < GetCount(); ++I) {
        W.WriteListBegin();
        for (const auto& [Name, Value] : static_cast<TFiledItem*>(GetItem(I))->Values) {
          PutShortStr(S, WideToAnsi(Name));
          S.WriteBuffer(Value.data(), static_cast<int64_t>(Value.size()));
        }
        W.WriteListEnd();
      }
      W.WriteListEnd();
    }
    return Bytes(S);
  }

  PFiled owner_;
  String name_;
  bool quiet_ = true;  // filling from the component: nothing to write back
  bool dirty_ = false;
};

TFiledItem::TFiledItem(TCollection* Collection) : TCollectionItem(Collection) { Owner()->Changed(); }
TFiledItem::~TFiledItem() {
  if (TFiledCollection* C = Owner()) C->Changed();
}
TFiledCollection* TFiledItem::Owner() const { return static_cast<TFiledCollection*>(GetCollection()); }

std::vector<String> TFiledItem::FiledNames() {
  if (Fresh && Owner()) Owner()->Materialise();
  std::vector<String> Names;
  for (const auto& V : Values) Names.push_back(V.first);
  return Names;
}

bool TFiledItem::Capture(const String& Name, std::string& Value) {
  for (const auto& V : Values)
    if (SameText(V.first, Name)) {
      Value = V.second;
      return true;
    }
  return false;
}

TDeclaredKind TFiledItem::KindOf(const String& Name) {
  return Owner() ? Owner()->ItemKindOf(Name) : TDeclaredKind::Other;
}

void TFiledItem::Apply(const String& Name, const std::string& Value) {
  for (auto& V : Values)
    if (SameText(V.first, Name)) V.second = Value;
  if (Owner()) Owner()->Changed();
  Changed(false);
}

// A list of texts of a filed object: changes are written back at once.
class TFiledLines : public TStringList {
 public:
  TFiledLines(PFiled Owner, const String& Name, const std::string& Value)
      : owner_(std::move(Owner)), name_(Name), current_(Value) {
    std::vector<String> Lines;
    ParseLines(Value, Lines);
    for (const String& L : Lines) Add(L);
    quiet_ = false;
  }
  const char* ClassName() const override { return "TFiledLines"; }

  // Sets the value from one stored text: a set's, or the digits an earlier
  // version stored a list as. An empty text does nothing.
  void LoadValueText(const String& Text) {
    if (Text.empty()) return;
    const std::string V = TextToValue(current_, Text);
    if (V != current_) owner_->Apply(name_, V);
  }

 protected:
  void Changed() override {
    TStringList::Changed();
    if (quiet_ || GetUpdateCount() > 0) return;
    TMemoryStream S;
    {
      TWriter W(&S);
      W.WriteListBegin();
      for (int I = 0; I < GetCount(); ++I) W.WriteString(Get(I));
      W.WriteListEnd();
    }
    current_ = Bytes(S);
    owner_->Apply(name_, current_);
  }

 private:
  PFiled owner_;
  String name_;
  std::string current_;
  bool quiet_ = true;
};

// A class-kind property whose object is made on first need and kept.
std::unique_ptr<TPropInfo> ClassKindProp(const String& Name, const String& TypeName,
                                         std::function<std::unique_ptr<TObject>()> Make) {
  struct TState {
    std::function<std::unique_ptr<TObject>()> Make;
    std::unique_ptr<TObject> Object;
  };
  auto State = std::make_shared<TState>();
  State->Make = std::move(Make);
  auto P = std::make_unique<TPropInfo>();
  P->Name = Name;
  P->Kind = tkClass;
  P->TypeName = TypeName;
  P->GetObj = [State](TObject*) {
    if (!State->Object) State->Object = State->Make();
    return State->Object.get();
  };
  return P;
}

std::unique_ptr<TPropInfo> PartProp(const PFiled& F, const String& Name) {
  return ClassKindProp(Name, L"TPersistent", [F, Name] { return std::make_unique<TFiledPart>(F, Name); });
}

// A property of F by the kind of its value: a collection, a list of texts
// (or an empty list, unless it is declared as a set: a set without
// members), an integer, else its text.
std::unique_ptr<TPropInfo> ValueProp(const PFiled& F, const String& Name, const std::string& Value) {
  std::vector<TFiledValues> Items;
  if (ParseCollection(Value, Items))
    return ClassKindProp(Name, L"TCollection", [F, Name]() -> std::unique_ptr<TObject> {
      std::string V;
      F->Capture(Name, V);
      return std::make_unique<TFiledCollection>(F, Name, V);
    });
  std::vector<String> Lines;
  if (ParseLines(Value, Lines) && (!Lines.empty() || F->KindOf(Name) != TDeclaredKind::Set))
    return ClassKindProp(Name, L"TStrings", [F, Name]() -> std::unique_ptr<TObject> {
      std::string V;
      F->Capture(Name, V);
      return std::make_unique<TFiledLines>(F, Name, V);
    });
  auto P = std::make_unique<TPropInfo>();
  P->Name = Name;
  P->GetStr = [F, Name](TObject*) {
    std::string V;
    return F->Capture(Name, V) ? ValueToText(V) : String();
  };
  P->SetStr = [F, Name](TObject*, const String& Text) {
    std::string Current;
    if (!F->Capture(Name, Current)) return;
    const std::string V = TextToValue(Current, Text);
    if (V != Current) F->Apply(Name, V);
  };
  if (GroupOf(Value) == TValueGroup::Integer) {
    P->Kind = tkInt64;
    P->TypeName = L"Int64";
    P->GetOrd = [F, Name](TObject*) -> int64_t {
      std::string V;
      if (!F->Capture(Name, V) || GroupOf(V) != TValueGroup::Integer) return 0;
      TMemoryStream S;
      S.WriteBuffer(V.data(), static_cast<int64_t>(V.size()));
      S.SetPosition(0);
      return TReader(&S).ReadInt64();
    };
    P->SetOrd = [Set = P->SetStr](TObject* O, int64_t V) { Set(O, IntToStr(V)); };
  } else {
    P->Kind = tkLString;
    P->TypeName = L"String";
  }
  return P;
}

void AddOwnProps(const TObject* Obj, TTypeKinds Filter, std::vector<PPropInfo>& List) {
  auto* F = dynamic_cast<TFiledObject*>(const_cast<TObject*>(Obj));
  if (!F) return;
  for (const auto& P : F->OwnProps())
    if (Filter.Contains(P->Kind)) List.push_back(P.get());
}

}  // namespace

std::unique_ptr<TPropInfo> FilerPropInfo(TObject* Obj, const String& Name) {
  auto* C = dynamic_cast<TComponent*>(Obj);
  if (!C || Name.empty()) return nullptr;
  auto F = std::make_shared<TFiledComponent>(C);
  std::string Value;
  if (F->Capture(Name, Value)) return ValueProp(F, Name, Value);
  // Declared only as its parts ("Constraints.MaxHeight"): an object of its own.
  if (!NamesAfter(F->FiledNames(), Name + L".").empty()) return PartProp(F, Name);
  return nullptr;
}

void TPropInfoList::Delete(int Index) {
  if (Index >= 0 && Index < GetCount()) list_.erase(list_.begin() + Index);
}

void TPropInfoList::Intersect(const TPropInfoList* List) {
  for (int I = GetCount() - 1; I >= 0; --I)
    if (!List->Contains(list_[static_cast<size_t>(I)])) Delete(I);
}

// ---------------------------------------------------------------------------

String CreateStoredItem(const String& CompName, const String& PropName) {
  if (CompName.empty() || PropName.empty()) return String();
  return CompName + L"." + PropName;
}

bool ParseStoredItem(const String& Item, String& CompName, String& PropName) {
  CompName.clear();
  PropName.clear();
  size_t P = Item.find(L'.');
  if (Item.empty() || P == String::npos) return false;
  CompName = Trim(Item.substr(0, P));
  PropName = Trim(Item.substr(P + 1));
  return !CompName.empty() && !PropName.empty();
}

bool IsRestoringFiledProperty(const TComponent* Component) {
  const std::vector<const TComponent*>& R = Restoring();
  return std::find(R.begin(), R.end(), Component) != R.end();
}

void UpdateStoredList(TComponent* AForm, TStrings* AStoredList, bool FromForm) {
  if (!AForm || !AStoredList) return;
  for (int I = AStoredList->GetCount() - 1; I >= 0; --I) {
    String Comp, Prop;
    if (!ParseStoredItem(AStoredList->Get(I), Comp, Prop)) {
      AStoredList->Delete(I);
      continue;
    }
    if (FromForm) {
      TComponent* C = AForm->FindComponent(Comp);
      if (!C)
        AStoredList->Delete(I);
      else
        AStoredList->SetObjects(I, C);
    } else {
      auto* C = dynamic_cast<TComponent*>(AStoredList->GetObjects(I));
      if (!C)
        AStoredList->Delete(I);
      else
        AStoredList->Put(I, CreateStoredItem(C->GetName(), Prop));
    }
  }
}

// ---------------------------------------------------------------------------

String TPropsStorage::ReadString(const String& ASection, const String& Item, const String& Default) {
  return OnReadString ? OnReadString(ASection, Item, Default) : String();
}

void TPropsStorage::WriteString(const String& ASection, const String& Item, const String& Value) {
  if (OnWriteString) OnWriteString(ASection, Item, Value);
}

void TPropsStorage::EraseSection(const String& ASection) {
  if (OnEraseSection) OnEraseSection(ASection);
}

String TPropsStorage::GetItemName(const String& APropName) { return Prefix + APropName; }

String GetEnumName(PPropInfo P, int64_t Value) {
  return Value >= 0 && Value < static_cast<int64_t>(P->EnumNames.size()) ? P->EnumNames[static_cast<size_t>(Value)]
                                                                         : String();
}

int GetEnumValue(PPropInfo P, const String& Name) {
  for (size_t E = 0; E < P->EnumNames.size(); ++E)
    if (CompareText(P->EnumNames[E], Name) == 0) return static_cast<int>(E);
  return -1;
}

std::unique_ptr<TPropsStorage> TPropsStorage::CreateStorage() { return std::make_unique<TPropsStorage>(); }

bool TPropsStorage::StoreText(PPropInfo P, String& Text) {
  switch (P->Kind) {
    case tkInteger: Text = StoreIntegerProperty(P); return true;
    case tkInt64: Text = StoreInt64Property(P); return true;
    case tkChar: Text = StoreCharProperty(P); return true;
    case tkWChar: Text = StoreWCharProperty(P); return true;
    case tkEnumeration: Text = StoreEnumProperty(P); return true;
    case tkFloat: Text = StoreFloatProperty(P); return true;
    case tkString: Text = StoreStringProperty(P); return true;
    case tkLString: Text = StoreLStringProperty(P); return true;
    case tkVariant: Text = StoreVariantProperty(P); return true;
    case tkSet: Text = StoreSetProperty(P); return true;
    case tkClass: Text = StoreClassProperty(P); return true;
    default: return false;
  }
}

void TPropsStorage::LoadText(PPropInfo P, const String& Text) {
  switch (P->Kind) {
    case tkInteger: LoadIntegerProperty(P, Text); break;
    case tkInt64: LoadInt64Property(P, Text); break;
    case tkChar: LoadCharProperty(P, Text); break;
    case tkWChar: LoadWCharProperty(P, Text); break;
    case tkEnumeration: LoadEnumProperty(P, Text); break;
    case tkFloat: LoadFloatProperty(P, Text); break;
    case tkString: LoadStringProperty(P, Text); break;
    case tkLString: LoadLStringProperty(P, Text); break;
    case tkVariant: LoadVariantProperty(P, Text); break;
    case tkSet: LoadSetProperty(P, Text); break;
    case tkClass: LoadClassProperty(P, Text); break;
    default: break;
  }
}

String TPropsStorage::StoreIntegerProperty(PPropInfo P) { return IntToStr(GetOrdProp(AObject, P)); }

// The whole character: cutting a wide character to its low byte would
// bring back a different one.
String TPropsStorage::StoreCharProperty(PPropInfo P) {
  return String(1, static_cast<wchar_t>(GetOrdProp(AObject, P)));
}

String TPropsStorage::StoreEnumProperty(PPropInfo P) { return GetEnumName(P, GetOrdProp(AObject, P)); }

String TPropsStorage::StoreFloatProperty(PPropInfo P) {
  return ReplaceChar(FloatToStrF(GetFloatProp(AObject, P), ffGeneral, FloatPrecision(P->FloatType), 0),
                     DecimalSeparator, L'.');
}

String TPropsStorage::StoreStringProperty(PPropInfo P) { return GetStrProp(AObject, P); }

String TPropsStorage::StoreVariantProperty(PPropInfo P) { return GetVariantProp(AObject, P).AsString(); }

String TPropsStorage::StoreSetProperty(PPropInfo P) {
  uint64_t Bits = static_cast<uint64_t>(GetOrdProp(AObject, P));
  String R = L"[";
  bool First = true;
  for (unsigned I = 0; I < 32; ++I) {
    if (!(Bits & (uint64_t(1) << I)) || I >= P->EnumNames.size()) continue;
    if (!First) R += L",";
    R += P->EnumNames[I];
    First = false;
  }
  return R + L"]";
}

void TPropsStorage::LoadIntegerProperty(PPropInfo P, const String& S) {
  // A value that is no number leaves the property as it is.
  int V;
  if (TryStrToInt(S, V)) SetOrdProp(AObject, P, V);
}

void TPropsStorage::LoadInt64Property(PPropInfo P, const String& S) {
  int64_t V;
  if (TryStrToInt64(S, V)) SetInt64Prop(AObject, P, V);
}

void TPropsStorage::LoadCharProperty(PPropInfo P, const String& S) {
  if (!S.empty()) SetOrdProp(AObject, P, static_cast<int64_t>(static_cast<uint16_t>(S[0])));
}

void TPropsStorage::LoadEnumProperty(PPropInfo P, const String& S) {
  int V = GetEnumValue(P, S);
  if (V >= 0) SetOrdProp(AObject, P, V);
}

void TPropsStorage::LoadFloatProperty(PPropInfo P, const String& S) {
  SetFloatProp(AObject, P, StrToFloat(ReplaceChar(S, L'.', DecimalSeparator)));
}

void TPropsStorage::LoadStringProperty(PPropInfo P, const String& S) { SetStrProp(AObject, P, S); }

void TPropsStorage::LoadVariantProperty(PPropInfo P, const String& S) { SetVariantProp(AObject, P, Variant(S)); }

void TPropsStorage::LoadSetProperty(PPropInfo P, const String& S) {
  uint64_t Bits = 0;
  size_t I = 0;
  while (I < S.size()) {
    while (I < S.size() && IsSetDelimiter(S[I])) ++I;
    size_t Start = I;
    while (I < S.size() && !IsSetDelimiter(S[I])) ++I;
    if (I == Start) break;
    int E = GetEnumValue(P, S.substr(Start, I - Start));
    if (E >= 0 && E < 32) Bits |= uint64_t(1) << E;
  }
  SetOrdProp(AObject, P, static_cast<int64_t>(Bits));
}

void TPropsStorage::StoreAnyProperty(PPropInfo PropInfo) {
  if (!PropInfo) return;
  String Text;
  if (!StoreText(PropInfo, Text)) return;
  TTypeKind K = PropInfo->Kind;
  if (Text.empty() && K != tkString && K != tkWChar && K != tkLString) return;
  WriteString(Section, GetItemName(PropInfo->Name), Trim(Text));
}

void TPropsStorage::LoadAnyProperty(PPropInfo PropInfo) {
  if (!PropInfo) return;
  try {
    TTypeKind K = PropInfo->Kind;
    String Default;
    if (K == tkClass) {
      // The class kind has no text of its own to fall back on.
    } else if (!StoreText(PropInfo, Default)) {
      return;
    }
    String Text;
    if (!Default.empty() || K == tkString || K == tkClass || K == tkWChar || K == tkLString)
      Text = Trim(ReadString(Section, GetItemName(PropInfo->Name), Default));
    LoadText(PropInfo, Text);
  } catch (...) {
    // A value that does not load leaves the property as it was.
  }
}

// ---------------------------------------------------------------------------
// Class-kind properties.

String TPropsStorage::StoreClassProperty(PPropInfo P) {
  TObject* Value = P->GetObj(AObject);
  if (dynamic_cast<TStrings*>(Value)) return StoreStringsProperty(P);
  if (auto* C = dynamic_cast<TCollection*>(Value)) {
    String Sect = Format(L"%s.%s", Section, GetItemName(P->Name));
    EraseSection(Sect);
    WriteString(Section, Format(L"%s.%s", GetItemName(P->Name), String(L"Count")), IntToStr(C->GetCount()));
    for (int I = 0; I < C->GetCount(); ++I)
      StoreNested(C->GetItem(I), Format(L"Item%d", I) + sPropNameDelimiter, Sect);
    return String();
  }
  if (dynamic_cast<TComponent*>(Value)) return StoreComponentProperty(P);
  StoreNested(Value, Prefix + P->Name, Section);
  return String();
}

String TPropsStorage::StoreStringsProperty(PPropInfo P) {
  auto* L = dynamic_cast<TStrings*>(P->GetObj(AObject));
  String Sect = Format(L"%s.%s", Section, GetItemName(P->Name));
  EraseSection(Sect);
  if (L && L->GetCount() > 0) {
    WriteString(Sect, L"Count", IntToStr(L->GetCount()));
    for (int I = 0; I < L->GetCount(); ++I) WriteString(Sect, Format(L"Item%d", I), L->Get(I));
  }
  return String();
}

String TPropsStorage::StoreComponentProperty(PPropInfo P) {
  return StoreComponent(dynamic_cast<TComponent*>(P->GetObj(AObject)));
}

void TPropsStorage::LoadClassProperty(PPropInfo P, const String& S) {
  TObject* Value = P->GetObj(AObject);
  if (dynamic_cast<TStrings*>(Value)) {
    LoadStringsProperty(P, S);
    return;
  }
  if (auto* C = dynamic_cast<TCollection*>(Value)) {
    String Sect = Format(L"%s.%s", Section, GetItemName(P->Name));
    const int Current = C->GetCount();
    const int Count = StrToIntDef(
        Trim(ReadString(Section, Format(L"%s.%s", GetItemName(P->Name), String(L"Count")), IntToStr(Current))),
        Current);
    // A count below zero is damage: the items stay as they are.
    if (Count < 0) return;
    auto* Filed = dynamic_cast<TFiledCollection*>(C);
    C->BeginUpdate();
    try {
      if (Count > Current) {
        // The last item counted must be stored, or the count is damage and
        // the items stay as they are. Its values are looked for by the
        // names an item has: one held, else one made for the purpose.
        if (Current == 0) {
          C->Add();
          if (Filed) Filed->Materialise();
        }
        if (!HoldsAny(C->GetItem(0), Format(L"Item%d", Count - 1) + sPropNameDelimiter, Sect)) {
          if (Current == 0) C->Clear();
          C->EndUpdate();
          return;
        }
        while (C->GetCount() < Count) C->Add();
      }
      // The held items stay, loaded in their places (a collection the
      // component reads by its items' names keeps each held item of a name
      // loaded); the ones past the count go.
      while (C->GetCount() > Count) C->Delete(C->GetCount() - 1);
      // The items made get their properties before any is loaded.
      if (Filed) Filed->Materialise();
      for (int I = 0; I < C->GetCount(); ++I)
        LoadNested(C->GetItem(I), Format(L"Item%d", I) + sPropNameDelimiter, Sect);
    } catch (...) {
      C->EndUpdate();
      throw;
    }
    C->EndUpdate();
    return;
  }
  if (dynamic_cast<TComponent*>(Value)) {
    LoadComponentProperty(P, S);
    return;
  }
  LoadNested(Value, Prefix + P->Name, Section);
}

void TPropsStorage::LoadStringsProperty(PPropInfo P, const String& S) {
  auto* L = dynamic_cast<TStrings*>(P->GetObj(AObject));
  String Sect = Format(L"%s.%s", Section, GetItemName(P->Name));
  int Count = StrToIntDef(Trim(ReadString(Sect, L"Count", L"0")), 0);
  if (!L) return;
  // A count past the lines stored is damage: the list stays as it is.
  if (Count > 0 && !Holds(Sect, Format(L"Item%d", Count - 1))) return;
  if (Count <= 0) {
    // A list of the form stream may hold a value of its own instead: a set
    // stored as names, or the digits an earlier version stored lines as.
    if (auto* F = dynamic_cast<TFiledLines*>(L)) F->LoadValueText(S);
    return;
  }
  TStringList Temp;
  for (int I = 0; I < Count; ++I) Temp.Add(ReadString(Sect, Format(L"Item%d", I), L""));
  // Lines as they are stay where they are, with what goes with them (a
  // check list box's states, the objects of a list's lines).
  bool Same = L->GetCount() == Count;
  for (int I = 0; I < Count && Same; ++I) Same = L->Get(I) == Temp.Get(I);
  if (!Same) L->Assign(&Temp);
}

String TPropsStorage::StoreComponent(TComponent* C) {
  if (!C) return L"(null)";
  TComponent* O = C->GetOwner();
  if (O && O != owner_) return Format(L"%s.%s", OwnerName(O), C->GetName());
  return C->GetName();
}

void TPropsStorage::LoadComponentProperty(PPropInfo P, const String& S) {
  if (S.empty() || !P->SetObj) return;
  if (CompareText(S, L"(null)") == 0) {
    P->SetObj(AObject, nullptr);
    return;
  }
  String Owner, Name;
  size_t Dot = S.find(L'.');
  if (Dot == String::npos) {
    Name = Trim(S);
  } else {
    Owner = Trim(S.substr(0, Dot));
    Name = Trim(S.substr(Dot + 1));
  }
  TComponent* Root = nullptr;
  if (Owner.empty())
    Root = owner_;
  else if (PropsFindRoot)
    Root = PropsFindRoot(Owner);
  if (Root) P->SetObj(AObject, Root->FindComponent(Name));
}

std::unique_ptr<TPropsStorage> TPropsStorage::NestedStorage(TObject* Obj, const String& APrefix,
                                                            const String& ASection) {
  std::unique_ptr<TPropsStorage> S = CreateStorage();
  S->AObject = Obj;
  S->Prefix = APrefix;
  S->Section = ASection;
  S->OnReadString = OnReadString;
  S->OnWriteString = OnWriteString;
  S->OnEraseSection = OnEraseSection;
  S->owner_ = owner_;
  return S;
}

bool TPropsStorage::Holds(const String& ASection, const String& Item) {
  // A value missing reads as either default.
  return ReadString(ASection, Item, L"0") != L"0" || ReadString(ASection, Item, L"1") != L"1";
}

bool TPropsStorage::HoldsAny(TObject* Obj, const String& APrefix, const String& ASection) {
  for (PPropInfo P : GetPropList(Obj, tkStoredProps)) {
    const String Name = APrefix + P->Name;
    if (P->Kind != tkClass) {
      if (Holds(ASection, Name)) return true;
      continue;
    }
    TObject* Value = P->GetObj(Obj);
    if (dynamic_cast<TStrings*>(Value)) {
      if (Holds(Format(L"%s.%s", ASection, Name), L"Count")) return true;
    } else if (dynamic_cast<TCollection*>(Value)) {
      if (Holds(ASection, Format(L"%s.%s", Name, String(L"Count")))) return true;
    } else if (dynamic_cast<TComponent*>(Value)) {
      if (Holds(ASection, Name)) return true;
    } else if (Value && HoldsAny(Value, Name, ASection)) {
      return true;
    }
  }
  return false;
}

void TPropsStorage::StoreNested(TObject* Obj, const String& APrefix, const String& ASection) {
  if (!Obj) return;
  std::unique_ptr<TPropsStorage> S = NestedStorage(Obj, APrefix, ASection);
  for (PPropInfo P : GetPropList(Obj, tkStoredProps)) S->StoreAnyProperty(P);
}

void TPropsStorage::LoadNested(TObject* Obj, const String& APrefix, const String& ASection) {
  if (!Obj) return;
  std::unique_ptr<TPropsStorage> S = NestedStorage(Obj, APrefix, ASection);
  for (PPropInfo P : GetPropList(Obj, tkStoredProps)) S->LoadAnyProperty(P);
}

// ---------------------------------------------------------------------------

void TPropsStorage::ForProperty(const TPropInfoList& Info, const String& Name, bool Store) {
  PPropInfo P = Info.Find(Name);
  // A property without a description goes through the form streaming.
  std::unique_ptr<TPropInfo> Filed = P ? nullptr : FilerPropInfo(AObject, Name);
  if (Filed) P = Filed.get();
  if (Store)
    StoreAnyProperty(P);
  else
    LoadAnyProperty(P);
}

void TPropsStorage::StoreProperties(TStrings* PropList) {
  TPropInfoList Info(AObject, tkStoredProps);
  for (int I = 0; I < PropList->GetCount(); ++I) ForProperty(Info, PropList->Get(I), true);
}

void TPropsStorage::LoadProperties(TStrings* PropList) {
  TPropInfoList Info(AObject, tkStoredProps);
  for (int I = 0; I < PropList->GetCount(); ++I) ForProperty(Info, PropList->Get(I), false);
}

TStringList* TPropsStorage::CreateInfoList(TComponent* AComponent, TStrings* StoredList) {
  UpdateStoredList(AComponent, StoredList, false);
  auto* Info = new TStringList();
  Info->SetSorted(true);
  try {
    for (int I = 0; I < StoredList->GetCount(); ++I) {
      auto* C = dynamic_cast<TComponent*>(StoredList->GetObjects(I));
      int Index;
      if (C && !Info->Find(C->GetName(), Index)) Info->AddObject(C->GetName(), new TPropInfoList(C, tkStoredProps));
    }
  } catch (...) {
    FreeInfoLists(Info);
    throw;
  }
  return Info;
}

void TPropsStorage::FreeInfoLists(TStringList* Info) {
  for (int I = Info->GetCount() - 1; I >= 0; --I) delete Info->GetObjects(I);
  delete Info;
}

void TPropsStorage::StoreObjectsProps(TComponent* AComponent, TStrings* StoredList) {
  ForEachStoredItem(AComponent, StoredList, true);
}

void TPropsStorage::LoadObjectsProps(TComponent* AComponent, TStrings* StoredList) {
  ForEachStoredItem(AComponent, StoredList, false);
}

void TPropsStorage::ForEachStoredItem(TComponent* AComponent, TStrings* StoredList, bool Store) {
  if (!StoredList) return;
  TStringList* Info = CreateInfoList(AComponent, StoredList);
  owner_ = AComponent;
  struct TDone {
    TPropsStorage* Self;
    TStringList* Info;
    ~TDone() {
      Self->owner_ = nullptr;
      Self->FreeInfoLists(Info);
    }
  } Done{this, Info};
  for (int I = 0; I < StoredList->GetCount(); ++I) {
    String Comp, Prop;
    if (!ParseStoredItem(StoredList->Get(I), Comp, Prop)) continue;
    auto* C = dynamic_cast<TComponent*>(StoredList->GetObjects(I));
    if (!C) continue;
    AObject = C;
    Prefix = C->GetName();
    int Index;
    if (!Info->Find(C->GetName(), Index)) continue;
    Prefix = C->GetName() + sPropNameDelimiter;
    ForProperty(*static_cast<TPropInfoList*>(Info->GetObjects(Index)), Prop, Store);
  }
}

#include "classlib/PropFiler.h"

#include <algorithm>

namespace PropFiler {

namespace {

int IndexOf(const TNames& Names, const String& Ident) {
  for (size_t I = 0; I < Names.size(); ++I)
    if (SameText(Ident, Names[I])) return static_cast<int>(I);
  throw EReadError(L"Invalid property value: " + Ident);
}

}  // namespace

void Boolean(TFiler* Filer, const wchar_t* Name, bool Value, bool Base, const std::function<void(bool)>& Set,
             bool Stored) {
  TDeclaringKind Kind(TDeclaredKind::Boolean);
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(R->ReadBoolean()); }, [&](TWriter* W) { W->WriteBoolean(Value); },
      Stored && Value != Base);
}

void Integer(TFiler* Filer, const wchar_t* Name, int64_t Value, int64_t Base,
             const std::function<void(int64_t)>& Set, bool Stored) {
  TDeclaringKind Kind(TDeclaredKind::Integer);
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(R->ReadInt64()); }, [&](TWriter* W) { W->WriteInteger(Value); },
      Stored && Value != Base);
}

void Text(TFiler* Filer, const wchar_t* Name, const String& Value, const String& Base,
          const std::function<void(const String&)>& Set, bool Stored) {
  TDeclaringKind Kind(TDeclaredKind::Text);
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(R->ReadString()); }, [&](TWriter* W) { W->WriteString(Value); },
      Stored && Value != Base);
}

void DateTime(TFiler* Filer, const wchar_t* Name, double Value, double Base, const std::function<void(double)>& Set,
              bool Stored) {
  static_assert(sizeof(double) == 8, "a date value is 8 bytes");
  TDeclaringKind Kind(TDeclaredKind::DateTime);
  Filer->DefineProperty(
      Name,
      [&](TReader* R) {
        if (R->ReadValue() != vaDate) throw EReadError(L"Invalid property value: a date was expected");
        double D = 0;
        R->Read(&D, sizeof D);
        Set(D);
      },
      [&](TWriter* W) {
        W->WriteValue(vaDate);
        W->Write(&Value, sizeof Value);
      },
      Stored && Value != Base);
}

void Enum(TFiler* Filer, const wchar_t* Name, int Value, int Base, const TNames& Names,
          const std::function<void(int)>& Set, bool Stored) {
  TDeclaringKind Kind(TDeclaredKind::Enum);
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(IndexOf(Names, R->ReadIdent())); },
      [&](TWriter* W) { W->WriteIdent(Names.at(static_cast<size_t>(Value))); }, Stored && Value != Base);
}

void Set(TFiler* Filer, const wchar_t* Name, uint64_t Bits, uint64_t Base, const TNames& Names,
         const std::function<void(uint64_t)>& Set, bool Stored) {
  TDeclaringKind Kind(TDeclaredKind::Set);
  Filer->DefineProperty(
      Name,
      [&](TReader* R) {
        uint64_t V = 0;
        R->ReadListBegin();
        while (!R->EndOfList()) V |= uint64_t{1} << IndexOf(Names, R->ReadIdent());
        R->ReadListEnd();
        Set(V);
      },
      [&](TWriter* W) {
        W->WriteListBegin();
        for (size_t I = 0; I < Names.size(); ++I)
          if (Bits & (uint64_t{1} << I)) W->WriteIdent(Names[I]);
        W->WriteListEnd();
      },
      Stored && Bits != Base);
}

void Lines(TFiler* Filer, const wchar_t* Name, TStrings* Value, TStrings* Base, bool Stored) {
  bool Differs = Base ? Value->GetText() != Base->GetText() : Value->GetCount() > 0;
  TDeclaringKind Kind(TDeclaredKind::Lines);
  Filer->DefineProperty(
      Name,
      [&](TReader* R) {
        TStringList Read;
        R->ReadListBegin();
        while (!R->EndOfList()) Read.Add(R->ReadString());
        R->ReadListEnd();
        Value->Assign(&Read);
      },
      [&](TWriter* W) {
        W->WriteListBegin();
        for (int I = 0; I < Value->GetCount(); ++I) W->WriteString(Value->Get(I));
        W->WriteListEnd();
      },
      Stored && Differs);
}

void Picture(TFiler* Filer, const wchar_t* Name, TBitmap* Value, TBitmap* Base,
             const std::function<void(TBitmap*)>& Set, bool Stored) {
  bool Has = Value && !Value->Empty();
  bool Differs = Base && !Base->Empty() ? !Has || Value->SaveToBytes() != Base->SaveToBytes() : Has;
  TDeclaringKind Kind(TDeclaredKind::Picture);
  Filer->DefineBinaryProperty(
      Name,
      [&](TStream* S) {
        TBitmap B;
        std::vector<uint8_t> Bytes(static_cast<size_t>(S->GetSize()));
        if (!Bytes.empty()) {
          S->ReadBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
          B.LoadFromBytes(Bytes.data(), Bytes.size());
        }
        Set(&B);
      },
      [&](TStream* S) {
        std::vector<uint8_t> Bytes = Value->SaveToBytes();
        if (!Bytes.empty()) S->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
      },
      Stored && Differs);
}

void Reference(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base, String& Pending,
               bool Stored) {
  String V = Value ? Value->GetName() : String();
  String B = Base ? Base->GetName() : String();
  TDeclaringKind Kind(TDeclaredKind::Reference);
  Filer->DefineProperty(
      Name, [&](TReader* R) { Pending = R->ReadIdent(); }, [&](TWriter* W) { W->WriteIdent(V); },
      Stored && !V.empty() && !SameText(V, B));
}

void Link(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base,
          const std::function<void(TComponent*)>& Set, bool Stored) {
  TDeclaringKind Kind(TDeclaredKind::Reference);
  Filer->DefineProperty(
      Name, [&](TReader* R) { R->ReadReference(Set); }, [&](TWriter* W) { W->WriteReference(Value); },
      Stored && Value != Base);
}

namespace {

// A property name inside an item: a short 8-bit string.
String ReadItemPropName(TReader* R) {
  uint8_t N = 0;
  R->Read(&N, 1);
  std::string Name(N, '\0');
  if (N) R->Read(Name.data(), N);
  return AnsiToWide(Name);
}

// Lets an item declare its properties to a writer as a component does:
// each declaration goes on to the writer (inside the collection's value,
// where every declaration is written).
class TItemWriter : public TFiler {
 public:
  TItemWriter(TWriter* Writer, TComponent* Root) : TFiler(Writer->GetStream()), writer_(Writer) { root_ = Root; }
  void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override {
    writer_->DefineProperty(Name, ReadData, WriteData, HasData);
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                            bool HasData) override {
    writer_->DefineBinaryProperty(Name, ReadData, WriteData, HasData);
  }

 private:
  TWriter* writer_;
};

// What an item declares: each name, whether it is ever written and
// whether it says what it becomes unnamed.
struct TItemDeclaration {
  String Name;
  bool Written = false;
  bool Resets = false;
};

class TItemRecorder : public TFiler {
 public:
  explicit TItemRecorder(TComponent* Root) : TFiler(nullptr) { root_ = Root; }
  void DefineProperty(const String& Name, const TReaderProc&, const TWriterProc& WriteData, bool) override {
    Declared.push_back({Name, static_cast<bool>(WriteData), TDeclaringReset::Current() != nullptr});
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc&, const TStreamProc& WriteData, bool) override {
    Declared.push_back({Name, static_cast<bool>(WriteData), TDeclaringReset::Current() != nullptr});
  }
  std::vector<TItemDeclaration> Declared;
};

using TItemDeclarations = std::vector<TItemDeclaration>;

int Count(const TItemDeclarations& Declared, const String& Name) {
  return static_cast<int>(std::count_if(Declared.begin(), Declared.end(),
                                        [&](const TItemDeclaration& D) { return SameText(D.Name, Name); }));
}

// One property of an item as the value holds it: its name and where its
// value lies in the stream.
struct TItemValue {
  String Name;
  int64_t At = 0;
  int64_t End = 0;
};
using TItemValues = std::vector<TItemValue>;

bool Names(const TItemValues& Values, const String& Name) {
  return std::any_of(Values.begin(), Values.end(), [&](const TItemValue& V) { return SameText(V.Name, Name); });
}

// Has item Index declare its properties to Filer, each with its own kind
// and reset only.
void Declare(TItemList& Items, int Index, TFiler* Filer) {
  TDeclaringKind Kind(TDeclaredKind::Other);
  TDeclaringReset None(nullptr);
  Items.Declare(Index, Filer);
}

TItemDeclarations Record(TItemList& Items, int Index, TComponent* Root) {
  TItemRecorder R(Root);
  Declare(Items, Index, &R);
  return std::move(R.Declared);
}

// Sets what an item read in place holds for the properties its value does
// not name: those that say what they become.
class TItemResetter : public TFiler {
 public:
  TItemResetter(const TItemValues& Values, TComponent* Root) : TFiler(nullptr), values_(Values) { root_ = Root; }
  void DefineProperty(const String& Name, const TReaderProc&, const TWriterProc&, bool) override { Reset(Name); }
  void DefineBinaryProperty(const String& Name, const TStreamProc&, const TStreamProc&, bool) override {
    Reset(Name);
  }

 private:
  void Reset(const String& Name) {
    const std::function<void()>* R = TDeclaringReset::Current();
    if (R && !Names(values_, Name)) (*R)();
  }
  const TItemValues& values_;
};

// Hands one property's value to the last declaration of its name (a
// class's own overrides its base's), the reader at the value.
class TItemReader : public TFiler {
 public:
  TItemReader(TReader* Reader, const String& Name, int Declarations)
      : TFiler(Reader->GetStream()), reader_(Reader), name_(Name), before_(Declarations - 1) {
    root_ = Reader->GetRoot();
  }
  void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc&, bool) override {
    if (!Takes(Name)) return;
    if (ReadData)
      ReadData(reader_);
    else
      reader_->SkipValue();
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc&, bool) override {
    if (!Takes(Name)) return;
    if (reader_->ReadValue() != vaBinary) throw EReadError(L"Invalid property value: binary data was expected");
    uint32_t N = 0;
    reader_->Read(&N, sizeof N);
    if (static_cast<int64_t>(N) > stream_->GetSize() - stream_->GetPosition())
      throw EReadError(L"Invalid stream format");
    TMemoryStream Data;
    Data.SetSize(N);
    if (N) reader_->Read(Data.Memory(), N);
    Data.SetPosition(0);
    if (ReadData) ReadData(&Data);
  }
  bool Handled() const { return handled_; }

 private:
  bool Takes(const String& Name) {
    if (handled_ || !SameText(Name, name_) || before_-- > 0) return false;
    handled_ = true;
    return true;
  }
  TReader* reader_;
  String name_;
  int before_;
  bool handled_ = false;
};

// The text an item's property Key holds, as its declaration writes it;
// false when it declares none or writes no text.
class TKeyReader : public TFiler {
 public:
  TKeyReader(const String& Key, TComponent* Root) : TFiler(nullptr), key_(Key) { root_ = Root; }
  void DefineProperty(const String& Name, const TReaderProc&, const TWriterProc& WriteData, bool) override {
    if (found_ || !WriteData || !SameText(Name, key_)) return;
    found_ = true;
    TWriter W(&bytes_);
    WriteData(&W);
  }
  void DefineBinaryProperty(const String&, const TStreamProc&, const TStreamProc&, bool) override {}
  bool Text(String& Value) {
    if (!found_) return false;
    bytes_.SetPosition(0);
    try {
      Value = TReader(&bytes_).ReadString();
    } catch (const Exception&) {
      return false;
    }
    return true;
  }

 private:
  String key_;
  TMemoryStream bytes_;
  bool found_ = false;
};

// The item there each item read goes into by its Key (Into[I], or -1 for a
// new item): the first item not yet taken whose key is the same text, else
// one whose key is empty.
// False when no item read names its key: the items are then told apart by
// their places alone.
bool MatchByKey(TReader* R, TItemList& Items, const std::vector<TItemValues>& Read, const wchar_t* Key,
                std::vector<int>& Into) {
  TStream* S = R->GetStream();
  Into.clear();
  bool Keyed = false;
  // The held keys, each asked once.
  std::vector<std::pair<bool, String>> HeldKeys;
  for (int I = 0; I < Items.Count(); ++I) {
    TKeyReader Reader(Key, R->GetRoot());
    Declare(Items, I, &Reader);
    String Held;
    const bool Has = Reader.Text(Held);
    HeldKeys.emplace_back(Has, std::move(Held));
  }
  std::vector<char> Taken(HeldKeys.size());
  for (const TItemValues& Values : Read) {
    auto V = std::find_if(Values.begin(), Values.end(), [&](const TItemValue& V) { return SameText(V.Name, Key); });
    String Wanted;
    bool Has = V != Values.end();
    if (Has) {
      S->SetPosition(V->At);
      try {
        Wanted = R->ReadString();
      } catch (const Exception&) {
        Has = false;
      }
    }
    Keyed = Keyed || Has;
    int Match = -1;
    for (size_t I = 0; Has && I < HeldKeys.size() && Match < 0; ++I)
      if (!Taken[I] && HeldKeys[I].first && SameText(HeldKeys[I].second, Wanted)) Match = static_cast<int>(I);
    if (Match >= 0) Taken[static_cast<size_t>(Match)] = 1;
    Into.push_back(Match);
  }
  // An item there without a key of its own (one just made, say) takes the
  // next item read that matched none.
  size_t Unkeyed = 0;
  for (int& I : Into) {
    if (I >= 0) continue;
    while (Unkeyed < HeldKeys.size() &&
           (Taken[Unkeyed] || (HeldKeys[Unkeyed].first && !HeldKeys[Unkeyed].second.empty())))
      ++Unkeyed;
    if (Unkeyed == HeldKeys.size()) break;
    I = static_cast<int>(Unkeyed);
    Taken[Unkeyed] = 1;
  }
  return Keyed;
}

[[noreturn]] void Unknown(const wchar_t* Collection, const String& Property) {
  throw EReadError(L"Error reading " + String(Collection) + L": Property " + Property + L" does not exist");
}

// Reads one item's values into Item; in place, what the value leaves
// unnamed is reset first (as a new item would hold it).
void ReadItem(TReader* R, TItemList& Items, int Index, const TItemValues& Values, bool InPlace,
              const wchar_t* Collection) {
  TStream* S = R->GetStream();
  if (InPlace) {
    TItemResetter Resetter(Values, R->GetRoot());
    Declare(Items, Index, &Resetter);
  }
  const TItemDeclarations Declared = Record(Items, Index, R->GetRoot());
  for (const TItemValue& V : Values) {
    S->SetPosition(V.At);
    TItemReader Reader(R, V.Name, Count(Declared, V.Name));
    Declare(Items, Index, &Reader);
    if (!Reader.Handled() && Collection) Unknown(Collection, V.Name);
    S->SetPosition(V.End);
  }
}

// Reads the items each into the held item Into names, or a new one (-1),
// in the order read; the held items no item read goes into are freed.
void ReadKeyed(TReader* R, TItemList& Items, const std::vector<TItemValues>& Read, const std::vector<int>& Into,
               const wchar_t* Collection) {
  const int N = static_cast<int>(Read.size());
  const int Held = Items.Count();
  std::vector<char> Kept(static_cast<size_t>(Held));
  for (int I : Into)
    if (I >= 0) Kept[static_cast<size_t>(I)] = 1;
  // Where each held item kept lies once the others are gone.
  std::vector<int> Place(static_cast<size_t>(Held), -1);
  for (int I = 0, P = 0; I < Held; ++I)
    if (Kept[static_cast<size_t>(I)]) Place[static_cast<size_t>(I)] = P++;
  Items.BeginUpdate();
  try {
    for (int I = Held - 1; I >= 0; --I)
      if (!Kept[static_cast<size_t>(I)]) Items.Delete(I);
    std::vector<int> Order;
    for (int I : Into) {
      if (I >= 0) {
        Order.push_back(Place[static_cast<size_t>(I)]);
      } else {
        Order.push_back(Items.Count());
        Items.Add();
      }
    }
    Items.Reorder(Order);
    for (int I = 0; I < N; ++I)
      ReadItem(R, Items, I, Read[static_cast<size_t>(I)], Into[static_cast<size_t>(I)] >= 0, Collection);
  } catch (...) {
    Items.EndUpdate();
    throw;
  }
  Items.EndUpdate();
}

}  // namespace

void TCollectionItems::Declare(int Index, TFiler* Filer) { TFiler::Declare(items_->GetItem(Index), Filer); }

std::unique_ptr<TItemList> TCollectionItems::Scratch() {
  std::unique_ptr<TCollection> C = make_ ? make_() : std::make_unique<TCollection>(items_->GetItemClass());
  if (!C) return nullptr;
  auto List = std::make_unique<TCollectionItems>(C.get(), make_);
  List->own_ = std::move(C);
  return List;
}

void TCollectionItems::Reorder(const std::vector<int>& Order) {
  std::vector<TCollectionItem*> Moved;
  for (int I : Order) Moved.push_back(items_->GetItem(I));
  for (size_t I = 0; I < Moved.size(); ++I) Moved[I]->SetIndex(static_cast<int>(I));
}

void WriteCollection(TWriter* Writer, TItemList& Items, TComponent* Root) {
  TItemWriter Filer(Writer, Root);
  Writer->WriteValue(vaCollection);
  for (int I = 0; I < Items.Count(); ++I) {
    Writer->WriteListBegin();
    Declare(Items, I, &Filer);
    Writer->WriteListEnd();
  }
  Writer->WriteListEnd();
}

void ReadCollection(TReader* Reader, TItemList& Items, const wchar_t* Name, const wchar_t* Key) {
  if (Reader->ReadValue() != vaCollection) throw EReadError(L"Invalid property value: a collection was expected");
  // The whole value first: where each item's values lie.
  TStream* S = Reader->GetStream();
  std::vector<TItemValues> Read;
  while (!Reader->EndOfList()) {
    const TValueType T = Reader->NextValue();
    if (T == vaInt8 || T == vaInt16 || T == vaInt32) Reader->ReadInteger();
    Reader->ReadListBegin();
    TItemValues Values;
    while (!Reader->EndOfList()) {
      TItemValue V;
      V.Name = ReadItemPropName(Reader);
      V.At = S->GetPosition();
      Reader->SkipValue();
      V.End = S->GetPosition();
      Values.push_back(V);
    }
    Reader->ReadListEnd();
    Read.push_back(std::move(Values));
  }
  Reader->ReadListEnd();
  const int64_t End = S->GetPosition();
  const int N = static_cast<int>(Read.size());
  TComponent* Root = Reader->GetRoot();

  // Names no item declares fail before any item changes (when there is an
  // item to ask).
  if (Name && Items.Count() > 0) {
    const TItemDeclarations Declared = Record(Items, 0, Root);
    for (const TItemValues& Values : Read)
      for (const TItemValue& V : Values)
        if (Count(Declared, V.Name) == 0) Unknown(Name, V.Name);
  }
  // Every item read on trial first, where new items can be had apart.
  if (std::unique_ptr<TItemList> Trial = Items.Scratch())
    for (int I = 0; I < N; ++I) {
      Trial->Add();
      ReadItem(Reader, *Trial, I, Read[static_cast<size_t>(I)], false, Name);
    }
  // An item takes a value in place when the value names everything it
  // writes that does not say what it becomes unnamed.
  auto TakesInPlace = [&](int Held, const TItemValues& Values) {
    for (const TItemDeclaration& D : Record(Items, Held, Root))
      if (D.Written && !D.Resets && !Names(Values, D.Name)) return false;
    return true;
  };
  std::vector<int> Into;
  if (Key && Items.Deletes() && MatchByKey(Reader, Items, Read, Key, Into)) {
    for (int I = 0; I < N; ++I)
      if (Into[static_cast<size_t>(I)] >= 0 && !TakesInPlace(Into[static_cast<size_t>(I)], Read[static_cast<size_t>(I)]))
        Into[static_cast<size_t>(I)] = -1;
    ReadKeyed(Reader, Items, Read, Into, Name);
    S->SetPosition(End);
    return;
  }
  bool InPlace = N > 0 && N == Items.Count();
  for (int I = 0; I < N && InPlace; ++I) InPlace = TakesInPlace(I, Read[static_cast<size_t>(I)]);

  Items.BeginUpdate();
  try {
    if (InPlace) {
      for (int I = 0; I < N; ++I) ReadItem(Reader, Items, I, Read[static_cast<size_t>(I)], true, Name);
    } else {
      Items.Clear();
      try {
        for (int I = 0; I < N; ++I) {
          Items.Add();
          ReadItem(Reader, Items, I, Read[static_cast<size_t>(I)], false, Name);
        }
      } catch (...) {
        // None stays half made.
        Items.Clear();
        throw;
      }
    }
  } catch (...) {
    Items.EndUpdate();
    throw;
  }
  S->SetPosition(End);
  Items.EndUpdate();
}

TComponent* Find(TComponent* Self, const String& Name) {
  if (Name.empty()) return nullptr;
  for (TComponent* O = Self->GetOwner(); O; O = O->GetOwner()) {
    if (SameText(O->GetName(), Name)) return O;
    if (TComponent* C = O->FindComponent(Name)) return C;
  }
  return nullptr;
}

void Ignored(TFiler* Filer, const wchar_t* Name) {
  Filer->DefineProperty(Name, [](TReader* R) { R->SkipValue(); }, nullptr, false);
}

std::vector<String> DefinedNames(TComponent* Component) {
  TNameRecorder Recorder;
  Recorder.Record(Component);
  return Recorder.Names;
}

std::vector<String> MissingNames(TComponent* Component, const TNames& Names) {
  const std::vector<String> Defined = DefinedNames(Component);
  std::vector<String> Missing;
  for (const wchar_t* Name : Names) {
    const String Part = String(Name) + L".";
    const bool Found = std::any_of(Defined.begin(), Defined.end(), [&](const String& D) {
      return SameText(D, Name) || (D.size() > Part.size() && SameText(D.substr(0, Part.size()), Part));
    });
    if (!Found) Missing.push_back(Name);
  }
  return Missing;
}

}  // namespace PropFiler

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "classlib/Filer.h"

#include "extlib/ExProps.h"

namespace {

enum TLetter { lA, lB, lC, lD };

class TPropSub : public TPersistent {
 public:
  String Name = L"Arial";
  int Size = 8;
};

class TPropItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  String Caption;
};

class TPropSample : public TComponent {
 public:
  explicit TPropSample(TComponent* AOwner)
      : TComponent(AOwner), Items([](TCollection* C) { return new TPropItem(C); }) {}
  int Num = 0;
  int64_t Big = 0;
  bool Flag = false;
  String Text;
  double Ratio = 0;
  uint64_t Letters = 0;
  TLetter Letter = lA;
  wchar_t Ch = L'a';
  Variant V;
  TStringList Lines;
  TCollection Items;
  TPropSub Sub;
  TPropSub* NoSub = nullptr;
  TComponent* Ref = nullptr;
};

// Registers the sample's properties once for the whole test program.
struct TSampleRegistration {
  TSampleRegistration() {
    using S = TPropSample;
    std::vector<String> Letters{L"lA", L"lB", L"lC", L"lD"};
    TPropInfo Var;
    Var.Name = L"V";
    Var.Kind = tkVariant;
    Var.TypeName = L"Variant";
    Var.GetVariant = [](TObject* O) { return static_cast<S*>(O)->V; };
    Var.SetVariant = [](TObject* O, const Variant& V) { static_cast<S*>(O)->V = V; };
    RegisterProps<TPropSample>({
        IntProp<S>(L"Num", [](S* O) -> int64_t { return O->Num; }, [](S* O, int64_t V) { O->Num = int(V); }),
        OrdProp<S>(L"Big", tkInt64, L"Int64", [](S* O) { return O->Big; }, [](S* O, int64_t V) { O->Big = V; }),
        BoolProp<S>(L"Flag", [](S* O) { return O->Flag; }, [](S* O, bool V) { O->Flag = V; }),
        StrProp<S>(L"Text", [](S* O) { return O->Text; }, [](S* O, const String& V) { O->Text = V; }),
        FloatProp<S>(L"Ratio", ftDouble, [](S* O) { return O->Ratio; }, [](S* O, double V) { O->Ratio = V; }),
        OrdProp<S>(
            L"Letters", tkSet, L"TLetters", [](S* O) { return int64_t(O->Letters); },
            [](S* O, int64_t V) { O->Letters = uint64_t(V); }, Letters),
        OrdProp<S>(
            L"Letter", tkEnumeration, L"TLetter", [](S* O) -> int64_t { return O->Letter; },
            [](S* O, int64_t V) { O->Letter = TLetter(V); }, Letters),
        OrdProp<S>(
            L"Ch", tkWChar, L"WideChar", [](S* O) -> int64_t { return O->Ch; },
            [](S* O, int64_t V) { O->Ch = wchar_t(V); }),
        Var,
        ClassProp<S>(L"Lines", L"TStrings", [](S* O) -> TObject* { return &O->Lines; }),
        ClassProp<S>(L"Items", L"TCollection", [](S* O) -> TObject* { return &O->Items; }),
        ClassProp<S>(L"Font", L"TPropSub", [](S* O) -> TObject* { return &O->Sub; }),
        ClassProp<S>(L"NoSub", L"TPropSub", [](S* O) -> TObject* { return O->NoSub; }),
        ClassProp<S>(
            L"Ref", L"TComponent", [](S* O) -> TObject* { return O->Ref; },
            [](S* O, TObject* V) { O->Ref = dynamic_cast<TComponent*>(V); }),
    });
    RegisterProps<TPropSub>({
        StrProp<TPropSub>(L"Name", [](TPropSub* O) { return O->Name; },
                          [](TPropSub* O, const String& V) { O->Name = V; }),
        IntProp<TPropSub>(L"Size", [](TPropSub* O) -> int64_t { return O->Size; },
                          [](TPropSub* O, int64_t V) { O->Size = int(V); }),
    });
    RegisterProps<TPropItem>({StrProp<TPropItem>(
        L"Caption", [](TPropItem* O) { return O->Caption; }, [](TPropItem* O, const String& V) { O->Caption = V; })});
  }
};
const TSampleRegistration SampleRegistration;

// An in-memory store of sections and values.
class TMemStore {
 public:
  std::map<String, std::map<String, String>> Data;
  int Writes = 0;
  String Read(const String& Sect, const String& Item, const String& Default) {
    auto S = Data.find(Sect);
    if (S == Data.end()) return Default;
    auto V = S->second.find(Item);
    return V == S->second.end() ? Default : V->second;
  }
  void Write(const String& Sect, const String& Item, const String& Value) {
    Data[Sect][Item] = Value;
    ++Writes;
  }
  void Erase(const String& Sect) { Data.erase(Sect); }
  bool Has(const String& Sect, const String& Item) {
    return Data.count(Sect) && Data[Sect].count(Item);
  }
  void Attach(TPropsStorage& P) {
    P.OnReadString = TReadStrEvent(this, &TMemStore::Read);
    P.OnWriteString = TWriteStrEvent(this, &TMemStore::Write);
    P.OnEraseSection = TEraseSectEvent(this, &TMemStore::Erase);
  }
};

class PropsStorage : public ::testing::Test {
 protected:
  TComponent Form{nullptr};
  TPropSample* Obj = new TPropSample(&Form);
  TMemStore Store;
  TPropsStorage Storage;
  void SetUp() override {
    Obj->SetName(L"Edit1");
    Store.Attach(Storage);
    Storage.Section = L"Form1";
  }
  void StoreProps(std::initializer_list<const wchar_t*> Props) {
    TStringList L;
    for (auto P : Props) L.Add(String(L"Edit1.") + P);
    UpdateStoredList(&Form, &L, true);
    Storage.StoreObjectsProps(&Form, &L);
  }
  void LoadProps(std::initializer_list<const wchar_t*> Props) {
    TStringList L;
    for (auto P : Props) L.Add(String(L"Edit1.") + P);
    UpdateStoredList(&Form, &L, true);
    Storage.LoadObjectsProps(&Form, &L);
  }
  String Value(const String& Item) { return Store.Read(L"Form1", Item, L"<none>"); }
};

}  // namespace

TEST(PropsItems, ParseCreateAndUpdateStoredList) {
  String C, P;
  EXPECT_TRUE(ParseStoredItem(L" Edit1 . Text ", C, P));
  EXPECT_EQ(C, L"Edit1");
  EXPECT_EQ(P, L"Text");
  EXPECT_TRUE(ParseStoredItem(L"A.Font.Name", C, P));  // split at the first point
  EXPECT_EQ(P, L"Font.Name");
  EXPECT_FALSE(ParseStoredItem(L"Edit1", C, P));
  EXPECT_FALSE(ParseStoredItem(L".Text", C, P));
  EXPECT_FALSE(ParseStoredItem(L"", C, P));
  EXPECT_EQ(CreateStoredItem(L"A", L"B"), L"A.B");
  EXPECT_EQ(CreateStoredItem(L"", L"B"), L"");

  TComponent Form(nullptr);
  auto* A = new TPropSample(&Form);
  A->SetName(L"A");
  TStringList L;
  L.Add(L"A.Num");
  L.Add(L"Missing.Num");
  L.Add(L"junk");
  UpdateStoredList(&Form, &L, true);
  ASSERT_EQ(L.GetCount(), 1);
  EXPECT_EQ(L.GetObjects(0), A);
  A->SetName(L"Renamed");
  UpdateStoredList(&Form, &L, false);
  EXPECT_EQ(L.Get(0), L"Renamed.Num");
}

TEST(PropsItems, InfoListFindContainsIntersect) {
  TPropSample S(nullptr);
  TPropInfoList All(&S, tkStoredProps);
  TPropInfoList Ints(&S, TTypeKinds{tkInteger});
  EXPECT_EQ(Ints.GetCount(), 1);
  ASSERT_NE(All.Find(L"text"), nullptr);
  EXPECT_EQ(All.Find(L"nothing"), nullptr);
  EXPECT_TRUE(All.Contains(Ints.Get(0)));
  All.Intersect(&Ints);
  ASSERT_EQ(All.GetCount(), 1);
  EXPECT_EQ(All.Get(0)->Name, L"Num");
  TPropInfoList None(nullptr, tkStoredProps);
  EXPECT_EQ(None.GetCount(), 0);
}

namespace {
class TDeferredSample : public TComponent {
 public:
  using TComponent::TComponent;
  int First = 1, Second = 2;
};
int gDeferredRuns = 0;
void RegisterDeferredSample() {
  ++gDeferredRuns;
  using D = TDeferredSample;
  RegisterProps<D>({IntProp<D>(L"First", [](D* O) -> int64_t { return O->First; }, [](D*, int64_t) {})});
}
}  // namespace

// A registration recorded for first use runs once, not before properties
// are next registered or looked up, and in its turn: what it registers is
// listed before what was registered after it was recorded.
TEST(PropsItems, RegistrationForFirstUseRunsOnceInItsTurn) {
  RegisterPropsOnFirstUse(&RegisterDeferredSample);
  EXPECT_EQ(gDeferredRuns, 0);
  using D = TDeferredSample;
  RegisterProps<D>({IntProp<D>(L"Second", [](D* O) -> int64_t { return O->Second; }, [](D*, int64_t) {})});
  TDeferredSample S(nullptr);
  const std::vector<PPropInfo> Props = GetPropList(&S, tkStoredProps);
  ASSERT_EQ(Props.size(), 2u);
  EXPECT_EQ(Props[0]->Name, L"First");
  EXPECT_EQ(Props[1]->Name, L"Second");
  GetPropList(&S, tkStoredProps);
  EXPECT_EQ(gDeferredRuns, 1);
}

namespace {
class TThrowingSample : public TComponent {
 public:
  using TComponent::TComponent;
  int Kept = 3;
};
void RegisterNothingButThrow() { throw Exception(String(L"no descriptions")); }
void RegisterThrowingSample() {
  using T = TThrowingSample;
  RegisterProps<T>({IntProp<T>(L"Kept", [](T* O) -> int64_t { return O->Kept; }, [](T*, int64_t) {})});
}
}  // namespace

// A recorded registration that throws lets its exception out once; the
// ones recorded after it still run at the next look-up.
TEST(PropsItems, RegistrationForFirstUseThatThrowsLeavesTheLaterOnesToRun) {
  RegisterPropsOnFirstUse(&RegisterNothingButThrow);
  RegisterPropsOnFirstUse(&RegisterThrowingSample);
  TThrowingSample S(nullptr);
  EXPECT_THROW(GetPropList(&S, tkStoredProps), Exception);
  const std::vector<PPropInfo> Props = GetPropList(&S, tkStoredProps);
  ASSERT_EQ(Props.size(), 1u);
  EXPECT_EQ(Props[0]->Name, L"Kept");
}

TEST_F(PropsStorage, OrdinalsStringsAndFloatsRoundTrip) {
  Obj->Num = -42;
  Obj->Big = int64_t(1) << 40;
  Obj->Flag = true;
  Obj->Text = L"  padded text ";
  Obj->Ratio = 1.5;
  Obj->Letter = lC;
  Obj->Ch = L'\x0416';  // outside the low byte
  StoreProps({L"Num", L"Big", L"Flag", L"Text", L"Ratio", L"Letter", L"Ch"});
  EXPECT_EQ(Value(L"Edit1_Num"), L"-42");
  EXPECT_EQ(Value(L"Edit1_Flag"), L"True");
  EXPECT_EQ(Value(L"Edit1_Text"), L"padded text");
  EXPECT_EQ(Value(L"Edit1_Ratio"), L"1.5");
  EXPECT_EQ(Value(L"Edit1_Letter"), L"lC");

  TPropSample* Fresh = Obj;
  Fresh->Num = 0, Fresh->Big = 0, Fresh->Flag = false, Fresh->Text.clear(), Fresh->Ratio = 0;
  Fresh->Letter = lA, Fresh->Ch = L'a';
  LoadProps({L"Num", L"Big", L"Flag", L"Text", L"Ratio", L"Letter", L"Ch"});
  EXPECT_EQ(Obj->Num, -42);
  EXPECT_EQ(Obj->Big, int64_t(1) << 40);
  EXPECT_TRUE(Obj->Flag);
  EXPECT_EQ(Obj->Text, L"padded text");
  EXPECT_DOUBLE_EQ(Obj->Ratio, 1.5);
  EXPECT_EQ(Obj->Letter, lC);
  EXPECT_EQ(Obj->Ch, L'\x0416');
}

TEST_F(PropsStorage, LoadingIsTolerantOfCaseAndMalformedValues) {
  Store.Write(L"Form1", L"Edit1_Flag", L"TRUE");
  Store.Write(L"Form1", L"Edit1_Letter", L"nonsense");
  Store.Write(L"Form1", L"Edit1_Num", L"12x");
  Store.Write(L"Form1", L"Edit1_Ratio", L"abc");
  Obj->Num = 7;
  Obj->Ratio = 2.5;
  Obj->Letter = lB;
  LoadProps({L"Flag", L"Letter", L"Num", L"Ratio", L"Nothing"});
  EXPECT_TRUE(Obj->Flag);
  EXPECT_EQ(Obj->Letter, lB);
  EXPECT_EQ(Obj->Num, 7);
  EXPECT_DOUBLE_EQ(Obj->Ratio, 2.5);

  // Absent values read as the current ones.
  Store.Data.clear();
  LoadProps({L"Num"});
  EXPECT_EQ(Obj->Num, 7);
}

TEST_F(PropsStorage, SetsStoreAsBracketedNames) {
  Obj->Letters = (1u << lB) | (1u << lD);
  StoreProps({L"Letters"});
  EXPECT_EQ(Value(L"Edit1_Letters"), L"[lB,lD]");
  Obj->Letters = 0;
  StoreProps({L"Letters"});
  EXPECT_EQ(Value(L"Edit1_Letters"), L"[]");

  for (const wchar_t* T : {L"[ lD , lB ]", L"lB lD", L"[lB,bogus,lD]"}) {
    Store.Write(L"Form1", L"Edit1_Letters", T);
    Obj->Letters = 1;
    LoadProps({L"Letters"});
    EXPECT_EQ(Obj->Letters, (1u << lB) | (1u << lD)) << T;
  }
}

TEST_F(PropsStorage, FloatsIgnoreTheLocaleDecimalSeparator) {
  wchar_t Saved = DecimalSeparator;
  DecimalSeparator = L',';
  Obj->Ratio = 1.5;
  StoreProps({L"Ratio"});
  EXPECT_EQ(Value(L"Edit1_Ratio"), L"1.5");
  Obj->Ratio = 0;
  LoadProps({L"Ratio"});
  DecimalSeparator = Saved;
  EXPECT_DOUBLE_EQ(Obj->Ratio, 1.5);
}

TEST_F(PropsStorage, EmptyStringsAreWrittenAndVariantsLoadWithoutReading) {
  Obj->Text.clear();
  StoreProps({L"Text", L"Num"});
  EXPECT_EQ(Value(L"Edit1_Text"), L"");
  EXPECT_EQ(Value(L"Edit1_Num"), L"0");

  Store.Write(L"Form1", L"Edit1_V", L"stored");
  Obj->V = Variant();
  LoadProps({L"V"});
  EXPECT_EQ(Obj->V.VarType(), varString);
  EXPECT_EQ(Obj->V.AsString(), L"");
}

TEST_F(PropsStorage, StringListsGetASectionOfTheirOwn) {
  Obj->Lines.Add(L"one");
  Obj->Lines.Add(L"two");
  StoreProps({L"Lines"});
  EXPECT_EQ(Store.Read(L"Form1.Edit1_Lines", L"Count", L""), L"2");
  EXPECT_EQ(Store.Read(L"Form1.Edit1_Lines", L"Item1", L""), L"two");
  EXPECT_FALSE(Store.Has(L"Form1", L"Edit1_Lines"));

  Obj->Lines.Clear();
  LoadProps({L"Lines"});
  EXPECT_EQ(Obj->Lines.GetText(), L"one\r\ntwo\r\n");

  // An emptied list erases its section and loading then keeps the list.
  TStringList Keep;
  Keep.Add(L"keep");
  Obj->Lines.Clear();
  StoreProps({L"Lines"});
  EXPECT_EQ(Store.Data.count(L"Form1.Edit1_Lines"), 0u);
  Obj->Lines.Assign(&Keep);
  LoadProps({L"Lines"});
  EXPECT_EQ(Obj->Lines.Get(0), L"keep");
}

TEST_F(PropsStorage, CollectionsAndNestedObjects) {
  static_cast<TPropItem*>(Obj->Items.Add())->Caption = L"first";
  static_cast<TPropItem*>(Obj->Items.Add())->Caption = L"second";
  Obj->Sub.Name = L"Tahoma";
  Obj->Sub.Size = 11;
  StoreProps({L"Items", L"Font", L"NoSub"});
  EXPECT_EQ(Value(L"Edit1_Items.Count"), L"2");
  EXPECT_EQ(Store.Read(L"Form1.Edit1_Items", L"Item1_Caption", L""), L"second");
  EXPECT_EQ(Value(L"Edit1_FontName"), L"Tahoma");
  EXPECT_EQ(Value(L"Edit1_FontSize"), L"11");

  // Same count: the existing items are loaded in place.
  TCollectionItem* First = Obj->Items.GetItem(0);
  static_cast<TPropItem*>(First)->Caption = L"changed";
  LoadProps({L"Items"});
  EXPECT_EQ(Obj->Items.GetItem(0), First);
  EXPECT_EQ(static_cast<TPropItem*>(First)->Caption, L"first");

  // A different count rebuilds the collection.
  Obj->Items.Clear();
  Obj->Sub.Name.clear();
  Obj->Sub.Size = 0;
  LoadProps({L"Items", L"Font"});
  ASSERT_EQ(Obj->Items.GetCount(), 2);
  EXPECT_EQ(static_cast<TPropItem*>(Obj->Items.GetItem(1))->Caption, L"second");
  EXPECT_EQ(Obj->Sub.Name, L"Tahoma");
  EXPECT_EQ(Obj->Sub.Size, 11);
}

TEST_F(PropsStorage, ComponentReferences) {
  auto* Local = new TComponent(&Form);
  Local->SetName(L"Button1");
  TComponent Other(nullptr);  // an unnamed owner is known by its class name
  auto* Foreign = new TComponent(&Other);
  Foreign->SetName(L"Label1");

  Obj->Ref = Local;
  StoreProps({L"Ref"});
  EXPECT_EQ(Value(L"Edit1_Ref"), L"Button1");
  Obj->Ref = Foreign;
  StoreProps({L"Ref"});
  EXPECT_EQ(Value(L"Edit1_Ref"), L"Component.Label1");

  // Loading by owner name goes through the root finder.
  PropsFindRoot = [&](const String& N) -> TComponent* { return SameText(N, L"component") ? &Other : nullptr; };
  Obj->Ref = Local;
  LoadProps({L"Ref"});
  EXPECT_EQ(Obj->Ref, Foreign);
  Store.Write(L"Form1", L"Edit1_Ref", L"Component.Nothing");
  LoadProps({L"Ref"});
  EXPECT_EQ(Obj->Ref, nullptr);
  PropsFindRoot = nullptr;

  // A reference that holds nothing is neither stored nor loaded.
  Store.Data.clear();
  StoreProps({L"Ref"});
  EXPECT_FALSE(Store.Has(L"Form1", L"Edit1_Ref"));
  Store.Write(L"Form1", L"Edit1_Ref", L"Button1");
  LoadProps({L"Ref"});
  EXPECT_EQ(Obj->Ref, nullptr);
}

TEST(PropsStorageNoEvents, ReadsNothingAndWritesNothing) {
  TPropSample S(nullptr);
  S.Num = 5;
  S.Text = L"x";
  TPropsStorage P;
  P.AObject = &S;
  TStringList Names;
  Names.Add(L"Num");
  Names.Add(L"Text");
  P.StoreProperties(&Names);
  P.LoadProperties(&Names);
  EXPECT_EQ(S.Num, 5);  // an empty text is no number
  EXPECT_EQ(S.Text, L"");
}

namespace {
// Declares its properties only to the form streaming, each written only
// when it differs from its default.
class TStreamedSample : public TComponent {
 public:
  using TComponent::TComponent;
  int Count = 0;
  String Title;
  bool On = false;
  String Kind = L"kNone";
  std::vector<String> Marks;
  std::string Blob;
  std::vector<String> Notes;  // lines and a set, declared as the typed helpers do
  bool Modes = false;
  int Sets = 0;  // of Notes and Modes
  int LoadedCalls = 0;

 protected:
  void Loaded() override {
    TComponent::Loaded();
    ++LoadedCalls;
  }
  void DefineProperties(TFiler* Filer) override {
    TComponent::DefineProperties(Filer);
    Filer->DefineProperty(
        L"Count", [this](TReader* R) { Count = R->ReadInteger(); }, [this](TWriter* W) { W->WriteInteger(Count); },
        Count != 0);
    Filer->DefineProperty(
        L"Title", [this](TReader* R) { Title = R->ReadString(); }, [this](TWriter* W) { W->WriteString(Title); },
        !Title.empty());
    Filer->DefineProperty(
        L"On", [this](TReader* R) { On = R->ReadBoolean(); }, [this](TWriter* W) { W->WriteBoolean(On); }, On);
    Filer->DefineProperty(
        L"Kind",
        [this](TReader* R) {
          String K = R->ReadIdent();
          if (K.substr(0, 1) != L"k") throw EReadError(L"bad kind");
          Kind = K;
        },
        [this](TWriter* W) { W->WriteIdent(Kind); }, Kind != L"kNone");
    Filer->DefineProperty(
        L"Marks",
        [this](TReader* R) {
          Marks.clear();
          R->ReadListBegin();
          while (!R->EndOfList()) Marks.push_back(R->ReadIdent());
          R->ReadListEnd();
        },
        [this](TWriter* W) {
          W->WriteListBegin();
          for (auto& M : Marks) W->WriteIdent(M);
          W->WriteListEnd();
        },
        !Marks.empty());
    Filer->DefineBinaryProperty(
        L"Blob",
        [this](TStream* S) {
          Blob.assign(static_cast<size_t>(S->GetSize()), '\0');
          if (!Blob.empty()) S->ReadBuffer(Blob.data(), S->GetSize());
        },
        [this](TStream* S) { S->WriteBuffer(Blob.data(), static_cast<int64_t>(Blob.size())); }, !Blob.empty());
    {
      TDeclaringKind Lines(TDeclaredKind::Lines);
      Filer->DefineProperty(
          L"Notes",
          [this](TReader* R) {
            ++Sets;
            Notes.clear();
            R->ReadListBegin();
            while (!R->EndOfList()) Notes.push_back(R->ReadString());
            R->ReadListEnd();
          },
          [this](TWriter* W) {
            W->WriteListBegin();
            for (auto& N : Notes) W->WriteString(N);
            W->WriteListEnd();
          },
          !Notes.empty());
    }
    TDeclaringKind Set(TDeclaredKind::Set);
    Filer->DefineProperty(
        L"Modes",
        [this](TReader* R) {
          ++Sets;
          R->ReadListBegin();
          Modes = !R->EndOfList() && SameText(R->ReadIdent(), L"mdRead");
          R->ReadListEnd();
        },
        [this](TWriter* W) {
          W->WriteListBegin();
          if (Modes) W->WriteIdent(L"mdRead");
          W->WriteListEnd();
        },
        Modes);
  }
};
}  // namespace

// A property without a description is stored through the form streaming:
// its value as the filer writes it, also when that is the default, and
// read back as a form file would set it.
TEST(PropsStreamed, PropertiesDeclaredOnlyToTheFilerRoundTrip) {
  TComponent Form(nullptr);
  auto* Obj = new TStreamedSample(&Form);
  Obj->SetName(L"Thing");
  TMemStore Store;
  TPropsStorage Storage;
  Store.Attach(Storage);
  Storage.Section = L"S";
  TStringList L;
  for (const wchar_t* P : {L"Thing.Count", L"Thing.Title", L"Thing.On", L"Thing.Kind", L"Thing.Marks", L"Thing.Blob",
                           L"Thing.Missing", L"Thing.Notes", L"Thing.Modes"})
    L.Add(P);
  UpdateStoredList(&Form, &L, true);
  Obj->Count = 300000;
  Obj->Title = L"\x0416 title";
  Obj->Kind = L"kBig";
  Obj->Marks = {L"mA", L"mC"};
  Obj->Blob = std::string("\x00\x01\xff", 3);
  Store.Write(L"S.Thing_Notes", L"Count", L"1");
  Storage.StoreObjectsProps(&Form, &L);
  // Empty, a list of lines loses its section and a set is "[]", told apart
  // by their declarations: storing sets nothing.
  EXPECT_EQ(Store.Data.count(L"S.Thing_Notes"), 0u);
  EXPECT_FALSE(Store.Has(L"S", L"Thing_Notes"));
  EXPECT_EQ(Store.Read(L"S", L"Thing_Modes", L""), L"[]");
  EXPECT_EQ(Obj->Sets + Obj->LoadedCalls, 0);
  EXPECT_EQ(Store.Read(L"S", L"Thing_Count", L""), L"300000");
  EXPECT_EQ(Store.Read(L"S", L"Thing_Title", L""), L"\x0416 title");
  EXPECT_EQ(Store.Read(L"S", L"Thing_On", L""), L"False");  // the default is stored too
  EXPECT_EQ(Store.Read(L"S", L"Thing_Kind", L""), L"kBig");
  EXPECT_EQ(Store.Read(L"S", L"Thing_Marks", L""), L"[mA,mC]");
  EXPECT_EQ(Store.Read(L"S", L"Thing_Blob", L""), L"0a030000000001ff");
  EXPECT_FALSE(Store.Has(L"S", L"Thing_Missing"));

  Store.Write(L"S", L"Thing_On", L"True");
  Obj->Count = 0;
  Obj->Title.clear();
  Obj->Kind = L"kNone";
  Obj->Marks.clear();
  Obj->Blob.clear();
  Obj->LoadedCalls = 0;
  Storage.LoadObjectsProps(&Form, &L);
  EXPECT_EQ(Obj->Count, 300000);
  EXPECT_EQ(Obj->Title, L"\x0416 title");
  EXPECT_TRUE(Obj->On);
  EXPECT_EQ(Obj->Kind, L"kBig");
  EXPECT_EQ(Obj->Marks, (std::vector<String>{L"mA", L"mC"}));
  EXPECT_EQ(Obj->Blob, std::string("\x00\x01\xff", 3));
  EXPECT_EQ(Obj->LoadedCalls, 6);  // once per property set, as after a form file
  EXPECT_FALSE(Obj->IsLoading());

  // Texts that are no value of the property leave it as it is; a value
  // already held is not set again.
  Store.Write(L"S", L"Thing_Count", L"many");
  Store.Write(L"S", L"Thing_Kind", L"Big");
  Store.Write(L"S", L"Thing_Blob", L"0g");
  Obj->LoadedCalls = 0;
  Storage.LoadObjectsProps(&Form, &L);
  EXPECT_EQ(Obj->Count, 300000);
  EXPECT_EQ(Obj->Kind, L"kBig");
  Store.Write(L"S", L"Thing_Kind", L"k Big");  // no identifier, though the reader would take it
  Storage.LoadObjectsProps(&Form, &L);
  EXPECT_EQ(Obj->Kind, L"kBig");
  EXPECT_EQ(Obj->Blob, std::string("\x00\x01\xff", 3));
  EXPECT_EQ(Obj->LoadedCalls, 0);
}

namespace {
// Declares a collection only to the form streaming, its items each with a
// set of modes and a number.
class TRowsSample : public TComponent {
 public:
  using TComponent::TComponent;
  struct TRow {
    bool Read = false, Write = false;
    int Id = 0;
  };
  std::vector<TRow> Rows;
  // What the reader refuses: an Id of this value, fewer rows than this.
  int RefusedId = -1;
  size_t FewestRows = 0;

 protected:
  // Hands the value of the one property Name to its reader.
  class TOneName : public TFiler {
   public:
    TOneName(TReader* R, const String& Name) : TFiler(R->GetStream()), r_(R), name_(Name) {}
    void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc&, bool) override {
      if (SameText(Name, name_)) ReadData(r_);
    }
    void DefineBinaryProperty(const String&, const TStreamProc&, const TStreamProc&, bool) override {}

   private:
    TReader* r_;
    String name_;
  };
  void DefineRow(TFiler* F, TRow& Row) {
    {
      TDeclaringKind Set(TDeclaredKind::Set);
      F->DefineProperty(
          L"Modes",
          [&Row](TReader* R) {
            Row.Read = Row.Write = false;
            R->ReadListBegin();
            while (!R->EndOfList()) (SameText(R->ReadIdent(), L"mdRead") ? Row.Read : Row.Write) = true;
            R->ReadListEnd();
          },
          [&Row](TWriter* W) {
            W->WriteListBegin();
            if (Row.Read) W->WriteIdent(L"mdRead");
            if (Row.Write) W->WriteIdent(L"mdWrite");
            W->WriteListEnd();
          },
          Row.Read || Row.Write);
    }
    F->DefineProperty(
        L"Id",
        [this, &Row](TReader* R) {
          Row.Id = R->ReadInteger();
          if (Row.Id == RefusedId) throw EReadError(L"refused id");
        },
        [&Row](TWriter* W) { W->WriteInteger(Row.Id); }, Row.Id != 0);
  }
  void DefineProperties(TFiler* Filer) override {
    TComponent::DefineProperties(Filer);
    Filer->DefineProperty(
        L"Rows",
        [this](TReader* R) {
          R->ReadValue();
          Rows.clear();
          while (!R->EndOfList()) {
            R->ReadListBegin();
            TRow Row;
            while (!R->EndOfList()) {
              uint8_t N = 0;
              R->Read(&N, 1);
              std::string Name(N, '\0');
              R->Read(Name.data(), N);
              TOneName One(R, String(Name.begin(), Name.end()));
              DefineRow(&One, Row);
            }
            R->ReadListEnd();
            Rows.push_back(Row);
          }
          R->ReadListEnd();
          if (Rows.size() < FewestRows) throw EReadError(L"too few rows");
        },
        [this](TWriter* W) {
          W->WriteValue(vaCollection);
          for (TRow& Row : Rows) {
            W->WriteListBegin();
            DefineRow(W, Row);
            W->WriteListEnd();
          }
          W->WriteListEnd();
        },
        !Rows.empty());
  }
};
}  // namespace

// An item's set declared only to the form streaming is a set, also when it
// is empty: stored as "[]" and restored empty.
TEST(PropsStreamed, AnEmptiedSetOfACollectionItemIsRestoredEmpty) {
  TComponent Form(nullptr);
  auto* Obj = new TRowsSample(&Form);
  Obj->SetName(L"Thing");
  Obj->Rows = {{true, false, 1}, {true, true, 2}};
  TMemStore Store;
  TPropsStorage Storage;
  Store.Attach(Storage);
  Storage.Section = L"S";
  TStringList L;
  L.Add(L"Thing.Rows");
  UpdateStoredList(&Form, &L, true);
  Obj->Rows[1].Read = Obj->Rows[1].Write = false;
  Storage.StoreObjectsProps(&Form, &L);
  EXPECT_EQ(Store.Read(L"S.Thing_Rows", L"Item0_Modes", L""), L"[mdRead]");
  EXPECT_EQ(Store.Read(L"S.Thing_Rows", L"Item1_Modes", L""), L"[]");
  Obj->Rows[1].Write = true;
  Storage.LoadObjectsProps(&Form, &L);
  ASSERT_EQ(Obj->Rows.size(), 2u);
  EXPECT_FALSE(Obj->Rows[1].Write);
  EXPECT_TRUE(Obj->Rows[0].Read);
  EXPECT_EQ(Obj->Rows[1].Id, 2);
}

// A collection declared only to the form streaming, changed in one update
// where the component refuses part of it: an item added with a refused
// value beside it still comes, with every other value; a count refused
// leaves the collection as many items as the component holds, and the
// refusal is told.
TEST(PropsStreamed, ACollectionWriteBackTheComponentRefusesKeepsItsItemsAsTheComponentHasThem) {
  TComponent Form(nullptr);
  auto* Obj = new TRowsSample(&Form);
  Obj->Rows = {{true, false, 1}, {false, true, 2}};
  Obj->RefusedId = 99;
  auto Info = FilerPropInfo(Obj, L"Rows");
  ASSERT_TRUE(Info);
  auto* C = dynamic_cast<TCollection*>(Info->GetObj(Obj));
  ASSERT_TRUE(C);
  auto Set = [](TCollectionItem* Item, const String& Name, const String& Text) {
    for (PPropInfo P : GetPropList(Item, tkStoredProps))
      if (SameText(P->Name, Name)) P->SetStr(Item, Text);
  };
  auto Get = [](TCollectionItem* Item, const String& Name) {
    for (PPropInfo P : GetPropList(Item, tkStoredProps))
      if (SameText(P->Name, Name)) return P->GetStr(Item);
    return String();
  };

  C->BeginUpdate();
  Set(C->GetItem(0), L"Id", L"99");
  Set(C->GetItem(1), L"Id", L"7");
  C->Add();
  ASSERT_NO_THROW(C->EndUpdate());
  ASSERT_EQ(Obj->Rows.size(), 3u);
  EXPECT_EQ(Obj->Rows[0].Id, 1);
  EXPECT_TRUE(Obj->Rows[0].Read);
  EXPECT_EQ(Obj->Rows[1].Id, 7);
  EXPECT_TRUE(Obj->Rows[1].Write);
  EXPECT_EQ(Obj->Rows[2].Id, 0);
  ASSERT_EQ(C->GetCount(), 3);
  EXPECT_EQ(Get(C->GetItem(0), L"Id"), L"1");
  EXPECT_EQ(Get(C->GetItem(2), L"Modes"), L"[]");

  Obj->FewestRows = 3;
  C->BeginUpdate();
  C->Delete(2);
  Set(C->GetItem(0), L"Id", L"5");
  EXPECT_THROW(C->EndUpdate(), EReadError);
  ASSERT_EQ(Obj->Rows.size(), 3u);
  EXPECT_EQ(Obj->Rows[0].Id, 1);
  ASSERT_EQ(C->GetCount(), 3);
  EXPECT_EQ(Get(C->GetItem(0), L"Id"), L"1");
  // The next change writes back the three.
  Set(C->GetItem(2), L"Id", L"3");
  ASSERT_EQ(Obj->Rows.size(), 3u);
  EXPECT_EQ(Obj->Rows[2].Id, 3);
  EXPECT_EQ(Obj->Rows[1].Id, 7);
}

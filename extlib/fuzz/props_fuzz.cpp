// Loads random stored texts into properties of every handled kind (sets,
// enumerations, numbers, characters, string lists, collections, nested
// objects and component references) and stores them again. Loading must
// never raise, crash or hang.
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "extlib/ExProps.h"

namespace {

enum TFuzzLetter { flA, flB, flC };

class TFuzzItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  String Caption;
};

class TFuzzSub : public TPersistent {
 public:
  int Size = 0;
};

class TFuzzObject : public TComponent {
 public:
  explicit TFuzzObject(TComponent* AOwner)
      : TComponent(AOwner), Items([](TCollection* C) { return new TFuzzItem(C); }) {}
  int Num = 0;
  int64_t Big = 0;
  double Ratio = 0;
  float Small = 0;
  uint64_t Set = 0;
  int64_t Letter = 0;
  wchar_t Ch = L'a';
  String Text;
  Variant V;
  TStringList Lines;
  TCollection Items;
  TFuzzSub Sub;
  TComponent* Ref = nullptr;
};

void Register() {
  using O = TFuzzObject;
  std::vector<String> Names{L"flA", L"flB", L"flC"};
  TPropInfo Var;
  Var.Name = L"V";
  Var.Kind = tkVariant;
  Var.GetVariant = [](TObject* X) { return static_cast<O*>(X)->V; };
  Var.SetVariant = [](TObject* X, const Variant& V) { static_cast<O*>(X)->V = V; };
  RegisterProps<TFuzzObject>({
      IntProp<O>(L"Num", [](O* X) -> int64_t { return X->Num; }, [](O* X, int64_t V) { X->Num = int(V); }),
      OrdProp<O>(L"Big", tkInt64, L"Int64", [](O* X) { return X->Big; }, [](O* X, int64_t V) { X->Big = V; }),
      FloatProp<O>(L"Ratio", ftDouble, [](O* X) { return X->Ratio; }, [](O* X, double V) { X->Ratio = V; }),
      FloatProp<O>(L"Small", ftSingle, [](O* X) -> double { return X->Small; },
                   [](O* X, double V) { X->Small = float(V); }),
      OrdProp<O>(
          L"Set", tkSet, L"TSet", [](O* X) { return int64_t(X->Set); }, [](O* X, int64_t V) { X->Set = uint64_t(V); },
          Names),
      OrdProp<O>(
          L"Letter", tkEnumeration, L"TLetter", [](O* X) { return X->Letter; },
          [](O* X, int64_t V) { X->Letter = V; }, Names),
      OrdProp<O>(
          L"Ch", tkWChar, L"WideChar", [](O* X) -> int64_t { return X->Ch; },
          [](O* X, int64_t V) { X->Ch = wchar_t(V); }),
      StrProp<O>(L"Text", [](O* X) { return X->Text; }, [](O* X, const String& V) { X->Text = V; }),
      Var,
      ClassProp<O>(L"Lines", L"TStrings", [](O* X) -> TObject* { return &X->Lines; }),
      ClassProp<O>(L"Items", L"TCollection", [](O* X) -> TObject* { return &X->Items; }),
      ClassProp<O>(L"Sub", L"TFuzzSub", [](O* X) -> TObject* { return &X->Sub; }),
      ClassProp<O>(
          L"Ref", L"TComponent", [](O* X) -> TObject* { return X->Ref; },
          [](O* X, TObject* V) { X->Ref = dynamic_cast<TComponent*>(V); }),
  });
  RegisterProps<TFuzzItem>({StrProp<TFuzzItem>(
      L"Caption", [](TFuzzItem* X) { return X->Caption; }, [](TFuzzItem* X, const String& V) { X->Caption = V; })});
  RegisterProps<TFuzzSub>({IntProp<TFuzzSub>(
      L"Size", [](TFuzzSub* X) -> int64_t { return X->Size; }, [](TFuzzSub* X, int64_t V) { X->Size = int(V); })});
}

// Every value read is the next piece of the input (pieces end at 0xFF);
// counts are kept small so a collection cannot grow without bound.
struct TFeed {
  std::vector<String> Pieces;
  size_t Next = 0;
  std::map<String, String> Written;
  String Read(const String&, const String& Item, const String& Default) {
    if (Next >= Pieces.size()) return Default;
    String S = Pieces[Next++];
    if (Item.find(L"Count") != String::npos && S.size() > 2) S.resize(2);
    return S;
  }
  void Write(const String& Section, const String& Item, const String& Value) { Written[Section + Item] = Value; }
  void Erase(const String&) {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool registered = (Register(), true);
  (void)registered;
  if (size > 4096) return 0;
  TFeed Feed;
  String Piece;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF) {
      Feed.Pieces.push_back(Piece);
      Piece.clear();
    } else {
      Piece += static_cast<wchar_t>(data[i]);
    }
  }
  Feed.Pieces.push_back(Piece);

  TComponent Form(nullptr);
  auto* Obj = new TFuzzObject(&Form);
  Obj->SetName(L"Obj");
  auto* Other = new TComponent(&Form);
  Other->SetName(L"Other");
  Obj->Ref = Other;
  Obj->Lines.Add(L"x");
  Obj->Items.Add();

  TPropsStorage Storage;
  Storage.Section = L"S";
  Storage.OnReadString = TReadStrEvent(&Feed, &TFeed::Read);
  Storage.OnWriteString = TWriteStrEvent(&Feed, &TFeed::Write);
  Storage.OnEraseSection = TEraseSectEvent(&Feed, &TFeed::Erase);
  TStringList List;
  for (const wchar_t* P : {L"Num", L"Big", L"Ratio", L"Small", L"Set", L"Letter", L"Ch", L"Text", L"V", L"Lines",
                           L"Items", L"Sub", L"Ref"})
    List.Add(String(L"Obj.") + P);
  UpdateStoredList(&Form, &List, true);
  Storage.LoadObjectsProps(&Form, &List);  // never raises
  Storage.StoreObjectsProps(&Form, &List);
  return 0;
}

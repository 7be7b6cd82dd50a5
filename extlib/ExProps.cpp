#include "extlib/ExProps.h"

#include <cstring>

const TTypeKinds tkStoredProps = TTypeKinds{tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet,
                                            tkClass, tkWChar, tkLString, tkWString, tkVariant, tkArray,
                                            tkRecord, tkInterface, tkInt64, tkDynArray};
const wchar_t sPropNameDelimiter[] = L"_";
std::function<TComponent*(const String&)> PropsFindRoot;

namespace {

struct TPropClassEntry {
  std::function<bool(const TObject*)> Matches;
  std::vector<TPropInfo> Props;
};

std::vector<std::unique_ptr<TPropClassEntry>>& Registry() {
  static std::vector<std::unique_ptr<TPropClassEntry>> R;
  return R;
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

void RegisterPublishedProps(std::function<bool(const TObject*)> Matches, std::vector<TPropInfo> Props) {
  auto E = std::make_unique<TPropClassEntry>();
  E->Matches = std::move(Matches);
  E->Props = std::move(Props);
  Registry().push_back(std::move(E));
}

std::vector<PPropInfo> GetPropList(const TObject* Obj, TTypeKinds Filter) {
  std::vector<PPropInfo> R;
  if (!Obj) return R;
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

std::unique_ptr<TPropsStorage> TPropsStorage::CreateStorage() { return std::make_unique<TPropsStorage>(); }

bool TPropsStorage::StoreText(PPropInfo P, String& Text) {
  TObject* O = AObject;
  switch (P->Kind) {
    case tkInteger:
    case tkInt64:
      Text = IntToStr(P->GetOrd(O));
      return true;
    case tkChar:
    case tkWChar:
      // The whole character: cutting a wide character to its low byte
      // would bring back a different one.
      Text = String(1, static_cast<wchar_t>(P->GetOrd(O)));
      return true;
    case tkEnumeration: {
      int64_t V = P->GetOrd(O);
      Text = V >= 0 && V < static_cast<int64_t>(P->EnumNames.size()) ? P->EnumNames[static_cast<size_t>(V)]
                                                                       : String();
      return true;
    }
    case tkFloat:
      Text = ReplaceChar(FloatToStrF(P->GetFloat(O), ffGeneral, FloatPrecision(P->FloatType), 0),
                         DecimalSeparator, L'.');
      return true;
    case tkString:
    case tkLString:
      Text = P->GetStr(O);
      return true;
    case tkVariant:
      Text = P->GetVariant(O).AsString();
      return true;
    case tkSet:
      Text = StoreSet(P);
      return true;
    case tkClass:
      Text = StoreClass(P);
      return true;
    default:
      return false;
  }
}

String TPropsStorage::StoreSet(PPropInfo P) {
  uint64_t Bits = static_cast<uint64_t>(P->GetOrd(AObject));
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

void TPropsStorage::LoadSet(PPropInfo P, const String& S) {
  uint64_t Bits = 0;
  size_t I = 0;
  while (I < S.size()) {
    while (I < S.size() && IsSetDelimiter(S[I])) ++I;
    size_t Start = I;
    while (I < S.size() && !IsSetDelimiter(S[I])) ++I;
    if (I == Start) break;
    String Word = S.substr(Start, I - Start);
    for (size_t E = 0; E < P->EnumNames.size() && E < 32; ++E)
      if (CompareText(P->EnumNames[E], Word) == 0) {
        Bits |= uint64_t(1) << E;
        break;
      }
  }
  P->SetOrd(AObject, static_cast<int64_t>(Bits));
}

void TPropsStorage::LoadText(PPropInfo P, const String& Text) {
  TObject* O = AObject;
  switch (P->Kind) {
    case tkInteger: {
      // A value that is no number leaves the property as it is.
      int V;
      if (TryStrToInt(Text, V)) P->SetOrd(O, V);
      break;
    }
    case tkInt64: {
      int64_t V;
      if (TryStrToInt64(Text, V)) P->SetOrd(O, V);
      break;
    }
    case tkChar:
    case tkWChar:
      if (!Text.empty()) P->SetOrd(O, static_cast<int64_t>(static_cast<uint16_t>(Text[0])));
      break;
    case tkEnumeration:
      for (size_t E = 0; E < P->EnumNames.size(); ++E)
        if (CompareText(P->EnumNames[E], Text) == 0) {
          P->SetOrd(O, static_cast<int64_t>(E));
          break;
        }
      break;
    case tkFloat:
      P->SetFloat(O, StrToFloat(ReplaceChar(Text, L'.', DecimalSeparator)));
      break;
    case tkString:
    case tkLString:
      P->SetStr(O, Text);
      break;
    case tkVariant:
      P->SetVariant(O, Variant(Text));
      break;
    case tkSet:
      LoadSet(P, Text);
      break;
    case tkClass:
      LoadClass(P, Text);
      break;
    default:
      break;
  }
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

String TPropsStorage::StoreClass(PPropInfo P) {
  TObject* Value = P->GetObj(AObject);
  if (auto* L = dynamic_cast<TStrings*>(Value)) {
    String Sect = Format(L"%s.%s", Section, GetItemName(P->Name));
    EraseSection(Sect);
    if (L->GetCount() > 0) {
      WriteString(Sect, L"Count", IntToStr(L->GetCount()));
      for (int I = 0; I < L->GetCount(); ++I) WriteString(Sect, Format(L"Item%d", I), L->Get(I));
    }
    return String();
  }
  if (auto* C = dynamic_cast<TCollection*>(Value)) {
    String Sect = Format(L"%s.%s", Section, GetItemName(P->Name));
    EraseSection(Sect);
    WriteString(Section, Format(L"%s.%s", GetItemName(P->Name), String(L"Count")), IntToStr(C->GetCount()));
    for (int I = 0; I < C->GetCount(); ++I)
      StoreNested(C->GetItem(I), Format(L"Item%d", I) + sPropNameDelimiter, Sect);
    return String();
  }
  if (auto* Comp = dynamic_cast<TComponent*>(Value)) return StoreComponent(Comp);
  StoreNested(Value, Prefix + P->Name, Section);
  return String();
}

void TPropsStorage::LoadClass(PPropInfo P, const String& S) {
  TObject* Value = P->GetObj(AObject);
  if (auto* L = dynamic_cast<TStrings*>(Value)) {
    String Sect = Format(L"%s.%s", Section, GetItemName(P->Name));
    int Count = StrToIntDef(Trim(ReadString(Sect, L"Count", L"0")), 0);
    if (Count > 0) {
      TStringList Temp;
      for (int I = 0; I < Count; ++I) Temp.Add(ReadString(Sect, Format(L"Item%d", I), L""));
      L->Assign(&Temp);
    }
    return;
  }
  if (auto* C = dynamic_cast<TCollection*>(Value)) {
    String Sect = Format(L"%s.%s", Section, GetItemName(P->Name));
    int Current = C->GetCount();
    int Count = StrToIntDef(
        Trim(ReadString(Section, Format(L"%s.%s", GetItemName(P->Name), String(L"Count")), IntToStr(Current))),
        Current);
    C->BeginUpdate();
    try {
      if (Count != Current) {
        C->Clear();
        for (int I = 0; I < Count; ++I) C->Add();
      }
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
    LoadComponent(P, S);
    return;
  }
  LoadNested(Value, Prefix + P->Name, Section);
}

String TPropsStorage::StoreComponent(TComponent* C) {
  if (!C) return L"(null)";
  TComponent* O = C->GetOwner();
  if (O && O != owner_) return Format(L"%s.%s", OwnerName(O), C->GetName());
  return C->GetName();
}

void TPropsStorage::LoadComponent(PPropInfo P, const String& S) {
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

void TPropsStorage::StoreProperties(TStrings* PropList) {
  TPropInfoList Info(AObject, tkStoredProps);
  for (int I = 0; I < PropList->GetCount(); ++I) StoreAnyProperty(Info.Find(PropList->Get(I)));
}

void TPropsStorage::LoadProperties(TStrings* PropList) {
  TPropInfoList Info(AObject, tkStoredProps);
  for (int I = 0; I < PropList->GetCount(); ++I) LoadAnyProperty(Info.Find(PropList->Get(I)));
}

namespace {

// Component name -> its property list, for one store or load pass.
struct TInfoLists {
  std::vector<std::pair<String, std::unique_ptr<TPropInfoList>>> Lists;
  TPropInfoList* Find(const String& Name) {
    for (auto& E : Lists)
      if (CompareText(E.first, Name) == 0) return E.second.get();
    return nullptr;
  }
};

void CreateInfoLists(TComponent* AComponent, TStrings* StoredList, TInfoLists& Out) {
  UpdateStoredList(AComponent, StoredList, false);
  for (int I = 0; I < StoredList->GetCount(); ++I) {
    auto* C = dynamic_cast<TComponent*>(StoredList->GetObjects(I));
    if (C && !Out.Find(C->GetName()))
      Out.Lists.emplace_back(C->GetName(), std::make_unique<TPropInfoList>(C, tkStoredProps));
  }
}

}  // namespace

void TPropsStorage::StoreObjectsProps(TComponent* AComponent, TStrings* StoredList) {
  if (!StoredList) return;
  TInfoLists Lists;
  CreateInfoLists(AComponent, StoredList, Lists);
  owner_ = AComponent;
  try {
    for (int I = 0; I < StoredList->GetCount(); ++I) {
      String Comp, Prop;
      if (!ParseStoredItem(StoredList->Get(I), Comp, Prop)) continue;
      auto* C = dynamic_cast<TComponent*>(StoredList->GetObjects(I));
      if (!C) continue;
      AObject = C;
      Prefix = C->GetName();
      if (TPropInfoList* L = Lists.Find(C->GetName())) {
        Prefix = C->GetName() + sPropNameDelimiter;
        StoreAnyProperty(L->Find(Prop));
      }
    }
  } catch (...) {
    owner_ = nullptr;
    throw;
  }
  owner_ = nullptr;
}

void TPropsStorage::LoadObjectsProps(TComponent* AComponent, TStrings* StoredList) {
  if (!StoredList) return;
  TInfoLists Lists;
  CreateInfoLists(AComponent, StoredList, Lists);
  owner_ = AComponent;
  for (int I = 0; I < StoredList->GetCount(); ++I) {
    String Comp, Prop;
    if (!ParseStoredItem(StoredList->Get(I), Comp, Prop)) continue;
    auto* C = dynamic_cast<TComponent*>(StoredList->GetObjects(I));
    if (!C) continue;
    AObject = C;
    Prefix = C->GetName();
    if (TPropInfoList* L = Lists.Find(C->GetName())) {
      Prefix = C->GetName() + sPropNameDelimiter;
      LoadAnyProperty(L->Find(Prop));
    }
  }
  owner_ = nullptr;
}

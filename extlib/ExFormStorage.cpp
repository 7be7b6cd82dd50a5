#include "extlib/ExFormStorage.h"

#include <cstring>
#include <mutex>

#include "classlib/ExtCtrls.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "extlib/ExCheckListBox.h"
#include "extlib/ExDateEdit.h"
#include "extlib/ExFiler.h"
#include "extlib/ExStrUtil.h"

// ---------------------------------------------------------------------------
// Stored values

namespace {

// Encoded values go through UTF-8 so that any text survives the round trip.
String EncodeValue(const String& Key, const String& S) {
  return Utf8ToWide(XorEncode(WideToUtf8(Key), WideToUtf8(S)));
}
String DecodeValue(const String& Key, const String& S) {
  return Utf8ToWide(XorDecode(WideToUtf8(Key), WideToUtf8(S)));
}

}  // namespace

TFormStorage* TStoredValue::Storage() const {
  auto* C = dynamic_cast<TStoredValues*>(GetCollection());
  return C ? C->GetStorage() : nullptr;
}

void TStoredValue::Save() {
  Variant V = Value;
  if (OnSave) OnSave(this, V);
  String S = V.AsString();
  if (!KeyString.empty()) S = EncodeValue(KeyString, S);
  if (TFormStorage* F = Storage()) F->WriteString(name_, S);
}

void TStoredValue::Restore() {
  String Default = Value.AsString();
  if (!KeyString.empty()) Default = EncodeValue(KeyString, Default);
  TFormStorage* F = Storage();
  String S = F ? F->ReadString(name_, Default) : Default;
  if (!KeyString.empty()) S = DecodeValue(KeyString, S);
  Variant V(S);
  if (OnRestore) OnRestore(this, V);
  Value = V;
}

String TStoredValue::GetDisplayName() const {
  return name_.empty() ? TCollectionItem::GetDisplayName() : name_;
}

void TStoredValue::SetDisplayName(const String& Value) {
  auto* C = dynamic_cast<TStoredValues*>(GetCollection());
  if (!Value.empty() && CompareText(Value, name_) != 0 && C && C->IndexOf(Value) >= 0)
    throw Exception(String(L"String list does not allow duplicates"));
  name_ = Value;
  Changed(false);
}

void TStoredValue::Assign(TPersistent* Source) {
  if (auto* S = dynamic_cast<TStoredValue*>(Source)) {
    if (S->Value.IsEmpty())
      Value.Clear();
    else
      Value = S->Value;
    SetDisplayName(S->name_);
    KeyString = S->KeyString;
    return;
  }
  TCollectionItem::Assign(Source);
}

TStoredValues::TStoredValues(TPersistent* AOwner)
    : TOwnedCollection(AOwner, [](TCollection* C) { return new TStoredValue(C); }) {}

TFormStorage* TStoredValues::GetStorage() const { return dynamic_cast<TFormStorage*>(GetOwner()); }

int TStoredValues::IndexOf(const String& Name) const {
  for (int I = 0; I < GetCount(); ++I)
    if (CompareText(Items(I)->GetName(), Name) == 0) return I;
  return -1;
}

TStoredValue* TStoredValues::GetValue(const String& Name) const {
  int I = IndexOf(Name);
  return I < 0 ? nullptr : Items(I);
}

void TStoredValues::SetValue(const String& Name, TStoredValue* Value) {
  if (TStoredValue* V = GetValue(Name)) V->Assign(Value);
}

Variant TStoredValues::GetStoredValue(const String& Name) const {
  TStoredValue* V = GetValue(Name);
  return V ? V->Value : Variant();
}

void TStoredValues::SetStoredValue(const String& Name, const Variant& Value) {
  TStoredValue* V = GetValue(Name);
  if (!V) {
    V = static_cast<TStoredValue*>(Add());
    V->SetName(Name);
  }
  V->Value = Value;
}

void TStoredValues::SaveValues() {
  for (int I = 0; I < GetCount(); ++I) Items(I)->Save();
}

void TStoredValues::RestoreValues() {
  for (int I = 0; I < GetCount(); ++I) Items(I)->Restore();
}

// ---------------------------------------------------------------------------
// Form storage

TFormStorage::TFormStorage(TComponent* AOwner) : TFormPlacement(AOwner) {
  RegisterControlProps();
  storedProps_ = std::make_unique<TStringList>();
  storedValues_ = std::make_unique<TStoredValues>(this);
}

TFormStorage::~TFormStorage() {
  storedValues_.reset();
  storedProps_.reset();
}

void TFormStorage::SetStoredProps(TStrings* Value) {
  storedProps_->Assign(Value);
  for (int I = 0; I < storedProps_->GetCount(); ++I)
    if (auto* C = dynamic_cast<TComponent*>(storedProps_->GetObjects(I))) C->FreeNotification(this);
}

// ---------------------------------------------------------------------------
// Form streams

namespace {

void WriteVariant(TWriter* W, const Variant& V) {
  switch (V.VarType()) {
    case varBoolean: W->WriteBoolean(V.AsBoolean()); break;
    case varInteger:
    case varInt64: W->WriteInteger(V.AsInt64()); break;
    case varDouble:
    case varDate: {
      double D = V.AsDouble();
      W->WriteValue(V.VarType() == varDate ? vaDate : vaDouble);
      W->Write(&D, sizeof D);
      break;
    }
    default: W->WriteString(V.AsString()); break;
  }
}

Variant ReadVariant(TReader* R) {
  switch (R->NextValue()) {
    case vaFalse:
    case vaTrue: return Variant(R->ReadBoolean());
    case vaInt8:
    case vaInt16:
    case vaInt32: return Variant(R->ReadInteger());
    case vaInt64: return Variant(R->ReadInt64());
    case vaDouble:
    case vaDate: {
      const bool IsDate = R->ReadValue() == vaDate;
      double D = 0;
      R->Read(&D, sizeof D);
      return IsDate ? Variant::FromDate(D) : Variant(D);
    }
    case vaNil: R->ReadValue(); return Variant();
    default: return Variant(R->ReadString());
  }
}

}  // namespace

void TStoredValue::DefineProperties(TFiler* Filer) {
  TCollectionItem::DefineProperties(Filer);
  Filer->DefineProperty(
      L"Name", [this](TReader* R) { SetName(R->ReadString()); }, [this](TWriter* W) { W->WriteString(name_); },
      true);
  {
    TDeclaringReset Reset([this] { KeyString.clear(); });
    Filer->DefineProperty(
        L"KeyString", [this](TReader* R) { KeyString = R->ReadString(); },
        [this](TWriter* W) { W->WriteString(KeyString); }, !KeyString.empty());
  }
  {
    TDeclaringReset Reset([this] { Value.Clear(); });
    Filer->DefineProperty(
        L"Value", [this](TReader* R) { Value = ReadVariant(R); }, [this](TWriter* W) { WriteVariant(W, Value); },
        !Value.IsEmpty());
  }
  PropFiler::Event<TStoredValueEvent>(Filer, L"OnSave", OnSave, nullptr);
  PropFiler::Event<TStoredValueEvent>(Filer, L"OnRestore", OnRestore, nullptr);
}

void TFormStorage::DefineProperties(TFiler* Filer) {
  TFormPlacement::DefineProperties(Filer);
  auto* A = dynamic_cast<TFormStorage*>(Filer->GetAncestor());
  if (dynamic_cast<TWriter*>(Filer)) UpdateStoredList(GetOwner(), storedProps_.get(), false);
  ExFiler::Lines(Filer, L"StoredProps", storedProps_.get(), A ? A->storedProps_.get() : nullptr);
  bool Differs = storedValues_->GetCount() > 0;
  if (A) {
    // The values differ from the ancestor's when they write otherwise.
    TMemoryStream Mine, Theirs;
    {
      TWriter W(&Mine);
      WriteValues(&W);
    }
    {
      TWriter W(&Theirs);
      A->WriteValues(&W);
    }
    Differs = Mine.GetSize() != Theirs.GetSize() ||
              std::memcmp(Mine.Memory(), Theirs.Memory(), static_cast<size_t>(Mine.GetSize())) != 0;
  }
  Filer->DefineProperty(
      L"StoredValues", [this](TReader* R) { ReadValues(R); }, [this](TWriter* W) { WriteValues(W); }, Differs);
}

void TFormStorage::WriteValues(TWriter* W) {
  PropFiler::TCollectionItems Values(storedValues_.get());
  PropFiler::WriteCollection(W, Values, W->GetRoot());
}

// Each value read goes into the value there of its name, if any;
// what a form storage of an older layout names and this one does not is
// passed over. The values are read on trial into a list of their own
// first, where names repeated fail as they do here.
void TFormStorage::ReadValues(TReader* R) {
  PropFiler::TCollectionItems Values(storedValues_.get(),
                                     [] { return std::make_unique<TStoredValues>(nullptr); });
  PropFiler::ReadCollection(R, Values, nullptr, L"Name");
}

void TFormStorage::Loaded() {
  TFormPlacement::Loaded();
  UpdateStoredList(GetOwner(), storedProps_.get(), true);
  for (int I = 0; I < storedProps_->GetCount(); ++I)
    if (auto* C = dynamic_cast<TComponent*>(storedProps_->GetObjects(I))) C->FreeNotification(this);
}

void TFormStorage::Notification(TComponent* AComponent, TOperation Operation) {
  TFormPlacement::Notification(AComponent, Operation);
  if (Operation != opRemove || IsDestroying() || !storedProps_) return;
  for (int I = storedProps_->GetCount() - 1; I >= 0; --I)
    if (storedProps_->GetObjects(I) == AComponent) storedProps_->Delete(I);
}

void TFormStorage::EraseStoreSection(const String& Section) {
  bool Open = GetIniFile() == nullptr;
  IniNeeded();
  try {
    IniEraseSection(GetIniFile(), Section);
  } catch (...) {
    if (Open) IniFree();
    throw;
  }
  if (Open) IniFree();
}

void TFormStorage::SaveProperties() {
  TPropsStorage S;
  S.Section = GetIniSection();
  S.OnWriteString = TWriteStrEvent(this, &TFormStorage::DoWriteString);
  S.OnEraseSection = TEraseSectEvent(this, &TFormStorage::EraseStoreSection);
  S.StoreObjectsProps(GetOwner(), storedProps_.get());
}

void TFormStorage::RestoreProperties() {
  TPropsStorage S;
  S.Section = GetIniSection();
  S.OnReadString = TReadStrEvent(this, &TFormStorage::DoReadString);
  S.LoadObjectsProps(GetOwner(), storedProps_.get());
}

void TFormStorage::SavePlacement() {
  TFormPlacement::SavePlacement();
  SaveProperties();
  storedValues_->SaveValues();
}

// The links hear of the restore once the properties are back: what a
// link restores (a check list box's checks) belongs to the items restored
// with them.
void TFormStorage::RestorePlacement() {
  ReadFormPlacementOnly();
  RestoreProperties();
  NotifyLinks(poRestore);
  storedValues_->RestoreValues();
}

// ---------------------------------------------------------------------------
// Storable properties of the class library's controls

namespace {
// The registrations below, taken back together when the library finishes.
const char kControlProps = 0;
std::mutex ControlPropsLock;
bool ControlPropsRegistered = false;

// The descriptions (made once registered, on the first use of storable
// properties).
void BuildControlProps() {
  using C = TControl;
  RegisterProps<TControl>({
      IntProp<C>(L"Left", [](C* O) -> int64_t { return O->GetLeft(); }, [](C* O, int64_t V) { O->SetLeft(int(V)); }),
      IntProp<C>(L"Top", [](C* O) -> int64_t { return O->GetTop(); }, [](C* O, int64_t V) { O->SetTop(int(V)); }),
      IntProp<C>(L"Width", [](C* O) -> int64_t { return O->GetWidth(); },
                 [](C* O, int64_t V) { O->SetWidth(int(V)); }),
      IntProp<C>(L"Height", [](C* O) -> int64_t { return O->GetHeight(); },
                 [](C* O, int64_t V) { O->SetHeight(int(V)); }),
      BoolProp<C>(L"Visible", [](C* O) { return O->GetVisible(); }, [](C* O, bool V) { O->SetVisible(V); }),
      BoolProp<C>(L"Enabled", [](C* O) { return O->GetEnabled(); }, [](C* O, bool V) { O->SetEnabled(V); }),
      StrProp<C>(L"Caption", [](C* O) { return O->GetText(); }, [](C* O, const String& V) { O->SetText(V); }),
      StrProp<C>(L"Text", [](C* O) { return O->GetText(); }, [](C* O, const String& V) { O->SetText(V); }),
      StrProp<C>(L"Hint", [](C* O) { return O->GetHint(); }, [](C* O, const String& V) { O->SetHint(V); }),
      IntProp<C>(L"Color", [](C* O) -> int64_t { return O->GetColor(); },
                 [](C* O, int64_t V) { O->SetColor(TColor(V)); }),
      ClassProp<C>(L"Font", L"TFont", [](C* O) -> TObject* { return O->GetFont(); }),
      ClassProp<C>(
          L"PopupMenu", L"TPopupMenu", [](C* O) -> TObject* { return O->GetPopupMenu(); },
          [](C* O, TObject* V) { O->SetPopupMenu(dynamic_cast<TPopupMenu*>(V)); }),
  }, &kControlProps);
  using F = TFont;
  RegisterProps<TFont>({
      StrProp<F>(L"Name", [](F* O) { return O->GetName(); }, [](F* O, const String& V) { O->SetName(V); }),
      IntProp<F>(L"Size", [](F* O) -> int64_t { return O->GetSize(); }, [](F* O, int64_t V) { O->SetSize(int(V)); }),
      IntProp<F>(L"Color", [](F* O) -> int64_t { return O->GetColor(); },
                 [](F* O, int64_t V) { O->SetColor(TColor(V)); }),
      OrdProp<F>(
          L"Style", tkSet, L"TFontStyles", [](F* O) { return int64_t(O->GetStyle().Bits()); },
          [](F* O, int64_t V) { O->SetStyle(TFontStyles::FromBits(uint64_t(V))); },
          {L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut"}),
  }, &kControlProps);
  using K = TCustomCheckBox;
  RegisterProps<TCustomCheckBox>({
      BoolProp<K>(L"Checked", [](K* O) { return O->GetChecked(); }, [](K* O, bool V) { O->SetChecked(V); }),
      OrdProp<K>(
          L"State", tkEnumeration, L"TCheckBoxState", [](K* O) -> int64_t { return O->GetState(); },
          [](K* O, int64_t V) { O->SetState(TCheckBoxState(V)); }, {L"cbUnchecked", L"cbChecked", L"cbGrayed"}),
  }, &kControlProps);
  using R = TRadioButton;
  RegisterProps<TRadioButton>({
      BoolProp<R>(L"Checked", [](R* O) { return O->GetChecked(); }, [](R* O, bool V) { O->SetChecked(V); }),
  }, &kControlProps);
  using L = TCustomListBox;
  RegisterProps<TCustomListBox>({
      ClassProp<L>(L"Items", L"TStrings", [](L* O) -> TObject* { return O->Items(); }),
      IntProp<L>(L"ItemIndex", [](L* O) -> int64_t { return O->GetItemIndex(); },
                 [](L* O, int64_t V) { O->SetItemIndex(int(V)); }),
  }, &kControlProps);
  using B = TCustomComboBox;
  RegisterProps<TCustomComboBox>({
      ClassProp<B>(L"Items", L"TStrings", [](B* O) -> TObject* { return O->Items(); }),
      IntProp<B>(L"ItemIndex", [](B* O) -> int64_t { return O->GetItemIndex(); },
                 [](B* O, int64_t V) { O->SetItemIndex(int(V)); }),
  }, &kControlProps);
  // The date edit streams its date as its text; stored, it is the date.
  using D = TCustomDateEdit;
  RegisterProps<TCustomDateEdit>({
      FloatProp<D>(L"Date", ftDouble, [](D* O) -> double { return O->GetDate(); },
                   [](D* O, double V) { O->SetDate(V); }),
  }, &kControlProps);
  // The check list box streams its items with their states as "Strings".
  using X = TExtCustomListBox;
  RegisterProps<TExtCustomListBox>({
      ClassProp<X>(L"Items", L"TStrings", [](X* O) -> TObject* { return O->Items(); }),
  }, &kControlProps);
  using M = TCustomMemo;
  RegisterProps<TCustomMemo>({
      ClassProp<M>(L"Lines", L"TStrings", [](M* O) -> TObject* { return O->Lines(); }),
  }, &kControlProps);
}

}  // namespace

void RegisterControlProps() {
  std::lock_guard<std::mutex> Guard(ControlPropsLock);
  if (ControlPropsRegistered) return;
  ControlPropsRegistered = true;
  // Made when storable properties are first registered or looked up (most
  // programs never store any).
  RegisterPropsOnFirstUse(&BuildControlProps);
  PropsFindRoot = [](const String& Name) -> TComponent* {
    if (!Screen) return nullptr;
    for (int I = 0; I < Screen->FormCount(); ++I)
      if (CompareText(Screen->Forms(I)->GetName(), Name) == 0) return Screen->Forms(I);
    for (int I = 0; I < Screen->DataModuleCount(); ++I)
      if (CompareText(Screen->DataModules(I)->GetName(), Name) == 0) return Screen->DataModules(I);
    return nullptr;
  };
}

void UnregisterControlProps() {
  std::lock_guard<std::mutex> Guard(ControlPropsLock);
  if (!ControlPropsRegistered) return;
  ControlPropsRegistered = false;
  CancelPropsOnFirstUse(&BuildControlProps);
  UnregisterPublishedProps(&kControlProps);
  PropsFindRoot = nullptr;
}

void ExFormStorageInitialize() {
  // The descriptions serve every property storage, also one used without a
  // form storage.
  RegisterControlProps();
  RegisterClasses({ComponentClass<TFormPlacement>(L"TFormPlacement"), ComponentClass<TFormStorage>(L"TFormStorage")});
}

void ExFormStorageFinalize() {
  for (const wchar_t* Name : {L"TFormPlacement", L"TFormStorage"}) UnRegisterClass(Name);
  UnregisterControlProps();
}

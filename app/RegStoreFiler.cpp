// The settings store with its form: its root, base key and the declared
// settings as a collection, each setting's properties declared once for
// the writer and the reader. Windows only.
#include <cstring>
#include <string>

#include "app/RegStore.h"
#include "classlib/Filer.h"
#include "classlib/PropFiler.h"

namespace {

const PropFiler::TNames RootKeyNames = {L"rkHKEY_CLASSES_ROOT", L"rkHKEY_CURRENT_USER", L"rkHKEY_LOCAL_MACHINE",
                                        L"rkHKEY_USERS",        L"rkHKEY_PERFORMANCE_DATA", L"rkHKEY_CURRENT_CONFIG",
                                        L"rkHKEY_DYN_DATA"};
const PropFiler::TNames ValueTypeNames = {L"vtBoolean", L"vtDate", L"vtDouble", L"vtInteger", L"vtString"};

// A collection item's property names are short names as the stream keeps
// them: a length byte and the characters.
void WriteItemPropName(TWriter* W, const String& Name) {
  const std::string n = WideToAnsi(Name);
  const auto len = static_cast<uint8_t>(std::min<size_t>(n.size(), 255));
  W->Write(&len, 1);
  W->Write(n.data(), len);
}

String ReadItemPropName(TReader* R) {
  uint8_t len = 0;
  R->Read(&len, 1);
  std::string n(len, '\0');
  if (len) R->Read(n.data(), len);
  return AnsiToWide(n);
}

// Lets a collection item declare its properties as a component does,
// inside its collection's value: written, each stored property as its name
// and value; read, the property the stream names goes to the declaration
// of that name.
class TItemFiler : public TFiler {
 public:
  explicit TItemFiler(TWriter* W) : TFiler(W->GetStream()), writer_(W) { root_ = W->GetRoot(); }
  TItemFiler(TReader* R, const String& Name) : TFiler(R->GetStream()), reader_(R), name_(Name) {
    root_ = R->GetRoot();
  }
  void DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override {
    if (writer_) {
      if (!HasData) return;
      WriteItemPropName(writer_, Name);
      WriteData(writer_);
    } else if (!handled_ && SameText(Name, name_)) {
      handled_ = true;
      ReadData(reader_);
    }
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc& WriteData,
                            bool HasData) override {
    if (writer_) {
      if (!HasData) return;
      TMemoryStream bytes;
      WriteData(&bytes);
      WriteItemPropName(writer_, Name);
      writer_->WriteValue(vaBinary);
      const auto size = static_cast<uint32_t>(bytes.GetSize());
      writer_->Write(&size, 4);
      if (size) writer_->Write(bytes.Memory(), size);
    } else if (!handled_ && SameText(Name, name_)) {
      handled_ = true;
      if (reader_->ReadValue() != vaBinary) throw EReadError(L"Invalid property value: binary data was expected");
      uint32_t size = 0;
      reader_->Read(&size, 4);
      TMemoryStream bytes;
      bytes.SetSize(size);
      if (size) reader_->Read(bytes.Memory(), size);
      bytes.SetPosition(0);
      ReadData(&bytes);
    }
  }
  bool Handled() const { return handled_; }

 private:
  TWriter* writer_ = nullptr;
  TReader* reader_ = nullptr;
  String name_;
  bool handled_ = false;
};

void WriteSettings(TWriter* W, const TRegStoreValues& Values) {
  W->WriteValue(vaCollection);
  for (int i = 0; i < Values.Count(); ++i) {
    W->WriteListBegin();
    TItemFiler item(W);
    Values.Item(i).DefineProperties(&item);
    W->WriteListEnd();
  }
  W->WriteListEnd();
}

void ReadSettings(TReader* R, TRegStoreValues& Values) {
  if (R->ReadValue() != vaCollection) throw EReadError(L"Invalid property value: a collection was expected");
  Values.Clear();
  while (!R->EndOfList()) {
    // An item may carry its place in the list first.
    const TValueType t = R->NextValue();
    if (t == vaInt8 || t == vaInt16 || t == vaInt32) R->ReadInteger();
    auto* v = static_cast<TRegStoreValue*>(Values.TCollection::Add());
    R->ReadListBegin();
    while (!R->EndOfList()) {
      TItemFiler item(R, ReadItemPropName(R));
      v->DefineProperties(&item);
      if (!item.Handled()) R->SkipValue();
    }
    R->ReadListEnd();
  }
  R->ReadListEnd();
}

// The settings as the stream holds them, to tell whether two stores differ.
std::string SettingsBytes(const TRegStoreValues& Values) {
  TMemoryStream bytes;
  {
    TWriter w(&bytes);
    WriteSettings(&w, Values);
  }
  return std::string(static_cast<const char*>(bytes.Memory()), static_cast<size_t>(bytes.GetSize()));
}

}  // namespace

void TRegStoreValue::DefineProperties(TFiler* Filer) {
  TCollectionItem::DefineProperties(Filer);
  PropFiler::Text(Filer, L"Name", name_, String(), [this](const String& V) { name_ = V; });
  PropFiler::Text(Filer, L"SubKey", subKey_, String(), [this](const String& V) { subKey_ = V; });
  PropFiler::Enum(Filer, L"Type", type_, vtBoolean, ValueTypeNames,
                  [this](int V) { SetType(static_cast<TValueTypes>(V)); });
  PropFiler::Text(Filer, L"DefaultValue", GetDefaultValue(), String(),
                  [this](const String& V) { SetDefaultValue(V); });
}

void TRegStore::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* a = dynamic_cast<TRegStore*>(Filer->GetAncestor());
  PropFiler::Enum(Filer, L"RootKey", RootKey, a ? a->RootKey : rkHKEY_CURRENT_USER, RootKeyNames,
                  [this](int V) { RootKey = static_cast<TRootKeys>(V); });
  PropFiler::Text(Filer, L"BaseKey", BaseKey, a ? a->BaseKey : String(), [this](const String& V) { BaseKey = V; });
  const bool differs = a ? SettingsBytes(*values_) != SettingsBytes(*a->values_) : values_->Count() > 0;
  Filer->DefineProperty(
      L"Values", [this](TReader* R) { ReadSettings(R, *values_); },
      [this](TWriter* W) { WriteSettings(W, *values_); }, differs);
}

void TRegStore::Register() { RegisterComponents(L"Quorvel", {ComponentClass<TRegStore>(L"TRegStore")}); }

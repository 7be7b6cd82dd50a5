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

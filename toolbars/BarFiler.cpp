#include "toolbars/BarFiler.h"

#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarMRU.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"

namespace BarFiler {

void Integer(TFiler* Filer, const wchar_t* Name, int Value, int Base, bool Stored,
             const std::function<void(int)>& Set) {
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(R->ReadInteger()); }, [&](TWriter* W) { W->WriteInteger(Value); },
      Stored && Value != Base);
}

void Boolean(TFiler* Filer, const wchar_t* Name, bool Value, bool Base, bool Stored,
             const std::function<void(bool)>& Set) {
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(R->ReadBoolean()); }, [&](TWriter* W) { W->WriteBoolean(Value); },
      Stored && Value != Base);
}

void Text(TFiler* Filer, const wchar_t* Name, const String& Value, const String& Base, bool Stored,
          const std::function<void(const String&)>& Set) {
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(R->ReadString()); }, [&](TWriter* W) { W->WriteString(Value); },
      Stored && Value != Base);
}

void StringList(TFiler* Filer, const wchar_t* Name, TStrings* Value, TStrings* Base) {
  bool differs = Base ? !Value->Equals(Base) : Value->GetCount() > 0;
  Filer->DefineProperty(
      Name,
      [&](TReader* R) {
        Value->BeginUpdate();
        Value->Clear();
        R->ReadListBegin();
        while (!R->EndOfList()) Value->Add(R->ReadString());
        R->ReadListEnd();
        Value->EndUpdate();
      },
      [&](TWriter* W) {
        W->WriteListBegin();
        for (int i = 0; i < Value->GetCount(); ++i) W->WriteString(Value->Get(i));
        W->WriteListEnd();
      },
      differs);
}

namespace {
int IndexOfName(const std::vector<const wchar_t*>& Names, const String& Ident) {
  for (size_t i = 0; i < Names.size(); ++i)
    if (SameText(Ident, Names[i])) return static_cast<int>(i);
  throw EReadError(L"Invalid property value: " + Ident);
}
}  // namespace

void Enum(TFiler* Filer, const wchar_t* Name, int Value, int Base, const std::vector<const wchar_t*>& Names,
          const std::function<void(int)>& Set) {
  Filer->DefineProperty(
      Name, [&](TReader* R) { Set(IndexOfName(Names, R->ReadIdent())); },
      [&](TWriter* W) { W->WriteIdent(Names[static_cast<size_t>(Value)]); }, Value != Base);
}

void Set(TFiler* Filer, const wchar_t* Name, unsigned Bits, unsigned Base, bool Stored,
         const std::vector<const wchar_t*>& Names, const std::function<void(unsigned)>& Set) {
  Filer->DefineProperty(
      Name,
      [&](TReader* R) {
        unsigned v = 0;
        R->ReadListBegin();
        while (!R->EndOfList()) v |= 1u << IndexOfName(Names, R->ReadIdent());
        R->ReadListEnd();
        Set(v);
      },
      [&](TWriter* W) {
        W->WriteListBegin();
        for (size_t i = 0; i < Names.size(); ++i)
          if (Bits & (1u << i)) W->WriteIdent(Names[i]);
        W->WriteListEnd();
      },
      Stored && Bits != Base);
}

void Reference(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base, bool Stored,
               String& Pending) {
  const String value = Value ? Value->GetName() : String();
  const String base = Base ? Base->GetName() : String();
  Filer->DefineProperty(
      Name, [&](TReader* R) { Pending = R->ReadIdent(); }, [&](TWriter* W) { W->WriteIdent(value); },
      Stored && !value.empty() && value != base);
}

void Link(TFiler* Filer, const wchar_t* Name, TComponent* Value, TComponent* Base, bool Stored,
          const std::function<void(TComponent*)>& Set) {
  Filer->DefineProperty(
      Name, [&](TReader* R) { R->ReadReference(Set); }, [&](TWriter* W) { W->WriteReference(Value); },
      Stored && Value != Base);
}

void Picture(TFiler* Filer, const wchar_t* Name, TBitmap* Value, TBitmap* Base,
             const std::function<void(TBitmap*)>& Set) {
  const bool has = Value && !Value->Empty();
  const bool differs = Base && !Base->Empty() ? !has || Value->SaveToBytes() != Base->SaveToBytes() : has;
  Filer->DefineBinaryProperty(
      Name,
      [&](TStream* In) {
        std::vector<uint8_t> bytes(static_cast<size_t>(In->GetSize() - In->GetPosition()));
        if (!bytes.empty()) In->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        TBitmap b;
        if (!bytes.empty()) b.LoadFromBytes(bytes.data(), bytes.size());
        Set(&b);
      },
      [&](TStream* Out) {
        if (!has) return;
        std::vector<uint8_t> bytes = Value->SaveToBytes();
        Out->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
      },
      differs);
}

TComponent* Find(TComponent* Self, const String& Name) {
  if (Name.empty()) return nullptr;
  for (TComponent* o = Self->GetOwner(); o; o = o->GetOwner()) {
    if (SameText(o->GetName(), Name)) return o;
    if (TComponent* c = o->FindComponent(Name)) return c;
  }
  return nullptr;
}

void RegisterClasses() {
  static const bool done = [] {
    Register<TBarItem>(L"TBarItem");
    Register<TBarRootItem>(L"TBarRootItem");
    Register<TBarGroupItem>(L"TBarGroupItem");
    Register<TBarSubmenuItem>(L"TBarSubmenuItem");
    Register<TBarSeparatorItem>(L"TBarSeparatorItem");
    Register<TBarControlItem>(L"TBarControlItem");
    Register<TBarEditItem>(L"TBarEditItem");
    Register<TBarEditAction>(L"TBarEditAction");
    Register<TBarVisibilityToggleItem>(L"TBarVisibilityToggleItem");
    Register<TBarMRUListItem>(L"TBarMRUListItem");
    Register<TBarMRUList>(L"TBarMRUList");
    Register<TBarItemContainer>(L"TBarItemContainer");
    Register<TBarPopupMenu>(L"TBarPopupMenu");
    Register<TBarToolbar>(L"TBarToolbar");
    Register<TBarToolWindow>(L"TBarToolWindow");
    Register<TBarDock>(L"TBarDock");
    Register<TBarBackground>(L"TBarBackground");
    Register<TBarImageList>(L"TBarImageList");
    return true;
  }();
  (void)done;
}

}  // namespace BarFiler

// Component streaming in the binary form format.
#include "classlib/Filer.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <typeinfo>
#include <unordered_set>

thread_local TDeclaredKind TDeclaringKind::current_ = TDeclaredKind::Other;
thread_local const std::function<void()>* TDeclaringReset::current_ = nullptr;

TDeclaredKind TNameRecorder::KindOf(const String& Name) const {
  for (size_t I = Names.size(); I-- > 0;)
    if (SameText(Names[I], Name)) return Kinds[I];
  return TDeclaredKind::Other;
}

namespace {

const char kSignature[4] = {'T', 'P', 'F', '0'};

// Text as UTF-16 code units and back (wchar_t is 32 bits in the host build).
std::u16string ToUtf16Units(const String& s) {
  std::u16string out;
  out.reserve(s.size());
  for (wchar_t c : s) {
    const uint32_t u = static_cast<uint32_t>(c);
    if (u > 0xFFFF) {
      out.push_back(static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(u));
    }
  }
  return out;
}

String FromUtf16Units(const std::u16string& s) {
  if constexpr (sizeof(wchar_t) == 2) {
    return String(s.begin(), s.end());
  } else {
    String out;
    for (size_t i = 0; i < s.size(); ++i) {
      uint32_t u = s[i];
      if (u >= 0xD800 && u < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
        u = 0x10000 + ((u - 0xD800) << 10) + (s[++i] - 0xDC00);
      out.push_back(static_cast<wchar_t>(u));
    }
    return out;
  }
}

bool IsAscii(const String& s) {
  return std::all_of(s.begin(), s.end(), [](wchar_t c) { return static_cast<uint32_t>(c) < 0x80; });
}

std::mutex& ClassesLock() {
  static std::mutex m;
  return m;
}
std::map<String, TComponentFactory>& Classes() {
  static std::map<String, TComponentFactory> classes;
  return classes;
}
std::vector<String>& ComparedWithNew() {
  static std::vector<String> names;
  return names;
}

// Sets or clears a state flag on a component and everything it owns.
template <class F>
void ForTree(TComponent* C, F&& f) {
  f(C);
  for (int i = 0; i < C->GetComponentCount(); ++i) ForTree(C->GetComponent(i), f);
}

}  // namespace

void RegisterComponentClass(const String& ClassName, TComponentFactory Factory) {
  std::lock_guard<std::mutex> hold(ClassesLock());
  Classes()[ClassName] = std::move(Factory);
}

void CompareWithNewComponents(std::initializer_list<const wchar_t*> ClassNames) {
  std::lock_guard<std::mutex> hold(ClassesLock());
  std::vector<String>& names = ComparedWithNew();
  for (const wchar_t* name : ClassNames)
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

bool ComparedWithNewComponents(const String& ClassName) {
  std::lock_guard<std::mutex> hold(ClassesLock());
  return std::find(ComparedWithNew().begin(), ComparedWithNew().end(), ClassName) != ComparedWithNew().end();
}

TComponentFactory FindComponentClass(const String& ClassName) {
  std::lock_guard<std::mutex> hold(ClassesLock());
  auto it = Classes().find(ClassName);
  return it == Classes().end() ? TComponentFactory() : it->second;
}

// ---------------------------------------------------------------------------
// TWriter

void TWriter::WriteValue(TValueType Value) {
  const uint8_t b = Value;
  Write(&b, 1);
}

namespace {
template <class T>
void PutLE(TWriter& W, T v) {
  unsigned char b[sizeof(T)];
  for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<unsigned char>(static_cast<uint64_t>(v) >> (8 * i));
  W.Write(b, sizeof b);
}
}  // namespace

void TWriter::WriteInteger(int64_t Value) {
  if (Value >= INT8_MIN && Value <= INT8_MAX) {
    WriteValue(vaInt8);
    PutLE(*this, static_cast<int8_t>(Value));
  } else if (Value >= INT16_MIN && Value <= INT16_MAX) {
    WriteValue(vaInt16);
    PutLE(*this, static_cast<int16_t>(Value));
  } else if (Value >= INT32_MIN && Value <= INT32_MAX) {
    WriteValue(vaInt32);
    PutLE(*this, static_cast<int32_t>(Value));
  } else {
    WriteValue(vaInt64);
    PutLE(*this, Value);
  }
}

void TWriter::WriteBoolean(bool Value) { WriteValue(Value ? vaTrue : vaFalse); }

void TWriter::WriteString(const String& Value) {
  if (!IsAscii(Value)) return WriteWideString(Value);
  const AnsiString a(Value.begin(), Value.end());
  if (a.size() <= 255) {
    WriteValue(vaString);
    PutLE(*this, static_cast<uint8_t>(a.size()));
  } else {
    WriteValue(vaLString);
    PutLE(*this, static_cast<uint32_t>(a.size()));
  }
  Write(a.data(), static_cast<int64_t>(a.size()));
}

void TWriter::WriteWideString(const String& Value) {
  const std::u16string u = ToUtf16Units(Value);
  WriteValue(vaWString);
  PutLE(*this, static_cast<uint32_t>(u.size()));
  for (char16_t c : u) PutLE(*this, static_cast<uint16_t>(c));
}

void TWriter::WriteIdent(const String& Value) {
  WriteValue(vaIdent);
  WriteStr(Value);
}

String ComponentReferenceName(TComponent* Root, TComponent* Component) {
  if (!Component) return String();
  if (Component == Root || !Component->GetOwner() || Component->GetOwner() == Root) return Component->GetName();
  return Component->GetOwner()->GetName() + L"." + Component->GetName();
}

TComponent* FindReferencedComponent(TComponent* Root, const String& Name) {
  if (!Root || Name.empty()) return nullptr;
  const size_t dot = Name.find(L'.');
  if (dot == String::npos) {
    if (SameText(Root->GetName(), Name)) return Root;
    return Root->FindComponent(Name);
  }
  const String ownerName = Name.substr(0, dot), rest = Name.substr(dot + 1);
  TComponent* owner = nullptr;
  if (SameText(Root->GetName(), ownerName)) owner = Root;
  else if (Root->GetOwner()) owner = Root->GetOwner()->FindComponent(ownerName);
  return owner ? owner->FindComponent(rest) : nullptr;
}

void TWriter::WriteReference(TComponent* Component) {
  const String name = ComponentReferenceName(root_, Component);
  if (name.empty()) WriteValue(vaNil);
  else WriteIdent(name);
}

void TWriter::WriteStr(const String& Value) {
  AnsiString a = WideToAnsi(Value);
  if (a.size() > 255) a.resize(255);
  PutLE(*this, static_cast<uint8_t>(a.size()));
  Write(a.data(), static_cast<int64_t>(a.size()));
}

bool TWriter::LastDeclaration(const String& Name) {
  // Inside a value (a collection's items, each with the same names) every
  // declaration is written.
  if (valueDepth_ > 0) return true;
  auto at = std::find_if(declared_.begin(), declared_.end(), [&](const String& D) { return SameText(D, Name); });
  if (at == declared_.end()) return true;  // declared now only
  declared_.erase(at);
  return std::none_of(declared_.begin(), declared_.end(), [&](const String& D) { return SameText(D, Name); });
}

void TWriter::DefineProperty(const String& Name, const TReaderProc&, const TWriterProc& WriteData, bool HasData) {
  // The last declaration of a name is the one a reader hands the value to;
  // an earlier one (a base class's, before a class's own) is not written.
  if (!LastDeclaration(Name) || !HasData || !WriteData) return;
  WriteStr(Name);
  ++valueDepth_;
  try {
    WriteData(this);
  } catch (...) {
    --valueDepth_;
    throw;
  }
  --valueDepth_;
}

void TWriter::DefineBinaryProperty(const String& Name, const TStreamProc&, const TStreamProc& WriteData,
                                   bool HasData) {
  if (!LastDeclaration(Name) || !HasData || !WriteData) return;
  TMemoryStream data;
  WriteData(&data);
  if (data.GetSize() > INT32_MAX) throw EWriteError(Format(L"Property %s is too large to store", Name));
  WriteStr(Name);
  WriteValue(vaBinary);
  PutLE(*this, static_cast<uint32_t>(data.GetSize()));
  Write(data.Memory(), data.GetSize());
}

TComponent* TWriter::NewOfClass(TComponent* Component) {
  const String name = AnsiToWide(Component->ClassName());
  auto at = news_.find(name);
  if (at == news_.end()) {
    std::unique_ptr<TComponent> fresh;
    if (TComponentFactory make = ComparedWithNewComponents(name) ? FindComponentClass(name) : TComponentFactory()) {
      try {
        fresh.reset(make(nullptr));
      } catch (const Exception&) {
        fresh.reset();
      }
    }
    at = news_.emplace(name, std::move(fresh)).first;
  }
  TComponent* fresh = at->second.get();
  // Only the very class: a class that does not name itself answers its
  // base's name.
  return fresh && typeid(*fresh) == typeid(*Component) ? fresh : nullptr;
}

void TWriter::WriteDescendent(TComponent* Root, TComponent* AncestorRoot) {
  root_ = Root;
  ancestorRoot_ = AncestorRoot;
  Write(kSignature, sizeof kSignature);
  TFilerFlags flags;
  if (AncestorRoot) flags.Include(ffInherited);
  WriteComponent(Root, AncestorRoot, flags, -1);
  ancestor_ = nullptr;
  news_.clear();
}

void TWriter::WriteComponent(TComponent* Component, TComponent* Ancestor, const TFilerFlags& Flags, int Position) {
  struct TWriting {
    TComponent* C;
    explicit TWriting(TComponent* c) : C(c) { C->SetComponentStateFlag(csWriting, true); }
    ~TWriting() { C->SetComponentStateFlag(csWriting, false); }
  } writing(Component);
  if (!Flags.Empty()) {
    WriteValue(static_cast<TValueType>(0xF0 | Flags.Bits()));
    if (Flags.Contains(ffChildPos)) WriteInteger(Position);
  }
  WriteStr(AnsiToWide(Component->ClassName()));
  WriteStr(Component->GetName());
  ancestor_ = Ancestor;
  // A component without an ancestor is compared with a new one of its
  // class: what its constructor sets is not written while unchanged.
  if (!Ancestor && Component != root_)
    if (TComponent* fresh = NewOfClass(Component)) ancestor_ = fresh;
  {
    TNameRecorder names(root_, ancestor_);
    names.Record(Component);
    declared_ = std::move(names.Names);
  }
  Component->DefineProperties(this);
  WriteListEnd();
  WriteChildren(Component, Ancestor);
  WriteListEnd();
}

void TWriter::WriteChildren(TComponent* Parent, TComponent* AncestorParent) {
  std::vector<TComponent*> children;
  Parent->GetChildren([&](TComponent* c) { children.push_back(c); }, root_);
  // What a reader that starts from the ancestor sees: the ancestor's
  // children, then each child read appended (when it is not among them)
  // and moved where the stream says. A child whose place there differs
  // from its place here carries its place.
  std::vector<TComponent*> seen;
  if (AncestorParent) AncestorParent->GetChildren([&](TComponent* c) { seen.push_back(c); }, ancestorRoot_);
  for (size_t i = 0; i < children.size(); ++i) {
    TComponent* child = children[i];
    TComponent* ancestor = nullptr;
    if (ancestorRoot_ && child->GetOwner() == root_ && !child->GetName().empty())
      ancestor = ancestorRoot_->FindComponent(child->GetName());
    TFilerFlags flags;
    if (ancestor) flags.Include(ffInherited);
    if (ancestorRoot_) {
      auto at = std::find(seen.begin(), seen.end(), ancestor ? ancestor : child);
      if (!ancestor || at == seen.end()) at = seen.insert(seen.end(), ancestor ? ancestor : child);
      const size_t place = static_cast<size_t>(at - seen.begin());
      if (place != i) {
        flags.Include(ffChildPos);
        TComponent* moved = *at;
        seen.erase(at);
        seen.insert(seen.begin() + static_cast<std::ptrdiff_t>(std::min(i, seen.size())), moved);
      }
    }
    WriteComponent(child, ancestor, flags, static_cast<int>(i));
  }
}

// ---------------------------------------------------------------------------
// TReader

void TReader::Error(const String& Message) { throw EReadError(Message); }

TValueType TReader::NextValue() {
  uint8_t b = 0;
  Read(&b, 1);
  stream_->Seek(-1, soCurrent);
  return static_cast<TValueType>(b);
}

TValueType TReader::ReadValue() {
  uint8_t b = 0;
  Read(&b, 1);
  return static_cast<TValueType>(b);
}

namespace {
template <class T>
T GetLE(TReader& R) {
  unsigned char b[sizeof(T)];
  R.Read(b, sizeof b);
  uint64_t v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
  return static_cast<T>(v);
}
}  // namespace

int64_t TReader::ReadInt64() {
  switch (ReadValue()) {
    case vaInt8: return GetLE<int8_t>(*this);
    case vaInt16: return GetLE<int16_t>(*this);
    case vaInt32: return GetLE<int32_t>(*this);
    case vaInt64: return GetLE<int64_t>(*this);
    default: Error(L"Invalid property value: an integer was expected");
  }
}

int TReader::ReadInteger() {
  const TValueType t = NextValue();
  if (t != vaInt8 && t != vaInt16 && t != vaInt32) Error(L"Invalid property value: an integer was expected");
  return static_cast<int>(ReadInt64());
}

bool TReader::ReadBoolean() {
  const TValueType t = ReadValue();
  if (t != vaTrue && t != vaFalse) Error(L"Invalid property value: a boolean was expected");
  return t == vaTrue;
}

String TReader::ReadString() {
  const TValueType t = ReadValue();
  uint32_t n = 0;
  switch (t) {
    case vaString: n = GetLE<uint8_t>(*this); break;
    case vaLString:
    case vaUTF8String:
    case vaWString: n = GetLE<uint32_t>(*this); break;
    default: Error(L"Invalid property value: a string was expected");
  }
  // A length past the end of the stream is a broken stream, not a reason
  // to reserve gigabytes.
  const int64_t left = stream_->GetSize() - stream_->GetPosition();
  if (static_cast<int64_t>(n) * (t == vaWString ? 2 : 1) > left) Error(L"Invalid stream format");
  if (t == vaWString) {
    std::u16string u(n, u'\0');
    for (auto& c : u) c = static_cast<char16_t>(GetLE<uint16_t>(*this));
    return FromUtf16Units(u);
  }
  std::string bytes(n, '\0');
  if (n) Read(bytes.data(), n);
  return t == vaUTF8String ? Utf8ToWide(bytes) : AnsiToWide(bytes);
}

String TReader::ReadIdent() {
  switch (ReadValue()) {
    case vaIdent: return ReadStr();
    case vaFalse: return L"False";
    case vaTrue: return L"True";
    case vaNil: return L"nil";
    case vaNull: return L"Null";
    default: Error(L"Invalid property value: an identifier was expected");
  }
}

void TReader::ReadListBegin() {
  if (ReadValue() != vaList) Error(L"Invalid property value: a list was expected");
}

void TReader::ReadListEnd() {
  if (ReadValue() != vaNull) Error(L"Invalid property value: the end of a list was expected");
}

void TReader::ReadReference(const std::function<void(TComponent*)>& Set) {
  String name;
  if (NextValue() == vaNil) ReadValue();
  else name = ReadIdent();
  fixups_.push_back({name, Set});
}

void TReader::FixupReferences() {
  // A setter may read nothing more from the stream: the list is taken
  // whole first.
  std::vector<TFixup> fixups;
  fixups.swap(fixups_);
  for (const TFixup& f : fixups) {
    if (!f.Set) continue;
    if (f.Name.empty()) {
      f.Set(nullptr);
    } else if (TComponent* c = FindReferencedComponent(root_, f.Name)) {
      f.Set(c);
    }
  }
}

void TReader::SkipValue() {
  auto skip = [&](int64_t n) {
    if (n < 0 || n > stream_->GetSize() - stream_->GetPosition()) Error(L"Invalid stream format");
    stream_->Seek(n, soCurrent);
  };
  switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil: return;
    case vaList:
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      return;
    case vaInt8: return skip(1);
    case vaInt16: return skip(2);
    case vaInt32:
    case vaSingle: return skip(4);
    case vaInt64:
    case vaDouble:
    case vaCurrency:
    case vaDate: return skip(8);
    case vaExtended: return skip(10);
    case vaString:
    case vaIdent: return skip(GetLE<uint8_t>(*this));
    case vaBinary:
    case vaLString:
    case vaUTF8String: return skip(GetLE<uint32_t>(*this));
    case vaWString: return skip(2 * static_cast<int64_t>(GetLE<uint32_t>(*this)));
    case vaSet:
      while (!ReadStr().empty()) {
      }
      return;
    case vaCollection:
      while (!EndOfList()) {
        const TValueType t = NextValue();
        if (t == vaInt8 || t == vaInt16 || t == vaInt32) ReadInteger();
        ReadListBegin();
        while (!EndOfList()) {
          ReadStr();
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      return;
    default: Error(L"Invalid stream format");
  }
}

String TReader::ReadStr() {
  const uint8_t n = GetLE<uint8_t>(*this);
  std::string s(n, '\0');
  if (n) Read(s.data(), n);
  return AnsiToWide(s);
}

void TReader::DefineProperty(const String& Name, const TReaderProc& ReadData, const TWriterProc&, bool) {
  if (propHandled_ || !SameText(Name, propName_)) return;
  // The last declaration of the name reads it (a class's own overrides its
  // base's).
  if (propDeclarations_-- > 0) return;
  propHandled_ = true;
  if (ReadData)
    ReadData(this);
  else
    SkipValue();
}

void TReader::DefineBinaryProperty(const String& Name, const TStreamProc& ReadData, const TStreamProc&, bool) {
  if (propHandled_ || !SameText(Name, propName_)) return;
  if (propDeclarations_-- > 0) return;
  propHandled_ = true;
  if (ReadValue() != vaBinary) Error(L"Invalid property value: binary data was expected");
  const uint32_t n = GetLE<uint32_t>(*this);
  if (static_cast<int64_t>(n) > stream_->GetSize() - stream_->GetPosition()) Error(L"Invalid stream format");
  TMemoryStream data;
  data.SetSize(n);
  if (n) Read(data.Memory(), n);
  data.SetPosition(0);
  if (ReadData) ReadData(&data);
}

void TReader::ReadProperty(TPersistent* Instance, const String& Path) {
  propName_ = ReadStr();
  propHandled_ = false;
  {
    TNameRecorder names(root_);
    names.Record(Instance);
    propDeclarations_ = static_cast<int>(std::count_if(names.Names.begin(), names.Names.end(),
                                                       [&](const String& N) { return SameText(N, propName_); })) - 1;
  }
  Instance->DefineProperties(this);
  if (!propHandled_)
    Error(Format(L"Error reading %s.%s: Property %s does not exist", Path, propName_, propName_));
  propName_.clear();
}

void TReader::ReadRootComponent(TComponent* Root) {
  root_ = Root;
  char sig[4] = {};
  Read(sig, sizeof sig);
  if (!std::equal(sig, sig + 4, kSignature)) Error(L"Invalid stream format");
  loading_.clear();
  StartLoading(Root);
  ForTree(Root, [](TComponent* c) { c->SetComponentStateFlag(csReading, true); });
  try {
    const uint8_t first = static_cast<uint8_t>(NextValue());
    if ((first & 0xF0) == 0xF0) {
      ReadValue();
      if (TFilerFlags::FromBits(first & 0x0F).Contains(ffChildPos)) ReadInteger();
    }
    ReadStr();  // the class: the root is the one given
    const String name = ReadStr();
    if (Root->GetName().empty() && !name.empty()) Root->SetName(name);
    ReadProperties(Root, Root->GetName());
    while (!EndOfList()) ReadComponent(Root);
    ReadListEnd();
    FixupReferences();
  } catch (...) {
    fixups_.clear();
    // Nothing half read is reported as loaded (what was loading before
    // this read goes on loading).
    ForTree(Root, [](TComponent* c) { c->SetComponentStateFlag(csReading, false); });
    for (TComponent* c : StillThere(Root)) c->SetComponentStateFlag(csLoading, false);
    throw;
  }
  ForTree(Root, [](TComponent* c) { c->SetComponentStateFlag(csReading, false); });
  TComponent::EndLoading(StillThere(Root));
}

std::vector<TComponent*> TReader::StillThere(TComponent* Root) {
  // A component the reading freed (a control remaking its parts as a
  // property is set) is no longer in Root's tree.
  std::unordered_set<const TComponent*> tree;
  ForTree(Root, [&](TComponent* c) { tree.insert(c); });
  std::vector<TComponent*> r;
  for (TComponent* c : loading_)
    if (tree.count(c)) r.push_back(c);
  loading_.clear();
  return r;
}

void TReader::StartLoading(TComponent* C) {
  if (C->IsLoading()) return;
  C->SetComponentStateFlag(csLoading, true);
  loading_.push_back(C);
}

void TReader::ReadComponent(TComponent* Parent) {
  TFilerFlags flags;
  int position = -1;
  const uint8_t first = static_cast<uint8_t>(NextValue());
  if ((first & 0xF0) == 0xF0) {
    ReadValue();
    flags = TFilerFlags::FromBits(first & 0x0F);
    if (flags.Contains(ffChildPos)) position = ReadInteger();
  }
  const String className = ReadStr();
  const String name = ReadStr();
  TComponent* c = name.empty() ? nullptr : root_->FindComponent(name);
  std::unique_ptr<TComponent> made;
  if (c) {
    if (AnsiToWide(c->ClassName()) != className)
      Error(Format(L"Error reading %s: it is a %s, the stream has a %s", name, AnsiToWide(c->ClassName()), className));
    StartLoading(c);
  } else {
    if (flags.Contains(ffInherited)) Error(Format(L"Ancestor for '%s' not found", name));
    TComponentFactory factory = FindComponentClass(className);
    if (!factory) Error(Format(L"Class %s not found", className));
    made.reset(factory(root_));
    c = made.get();
    if (!c) Error(Format(L"Class %s not found", className));
    ForTree(c, [this](TComponent* x) {
      StartLoading(x);
      x->SetComponentStateFlag(csReading, true);
    });
    if (!name.empty()) c->SetName(name);
  }
  if (c->HasParent()) c->SetParentComponent(Parent);
  if (position >= 0) Parent->SetChildOrder(c, position);
  const String path = name.empty() ? String(L"<" + className + L">") : name;
  ReadProperties(c, path);
  while (!EndOfList()) ReadComponent(c);
  ReadListEnd();
  made.release();  // read whole: its owner keeps it
}

// ---------------------------------------------------------------------------
// Class registration and the registration table

namespace {
struct TPageTable {
  std::vector<std::pair<String, std::vector<String>>> pages;
};
TPageTable& PageTable() {
  static TPageTable t;
  return t;
}
}  // namespace

void RegisterClasses(std::initializer_list<TComponentClassInfo> Classes) {
  for (const TComponentClassInfo& c : Classes) RegisterComponentClass(c.Name, c.Factory);
}

void UnRegisterClass(const String& ClassName) {
  std::lock_guard<std::mutex> hold(ClassesLock());
  Classes().erase(ClassName);
}

TComponentFactory GetClass(const String& ClassName) { return FindComponentClass(ClassName); }

TComponentFactory FindClass(const String& ClassName) {
  TComponentFactory f = FindComponentClass(ClassName);
  if (!f) throw EClassNotFound(Format(L"Class %s not found", ClassName));
  return f;
}

void RegisterComponents(const String& Page, std::initializer_list<TComponentClassInfo> Classes) {
  RegisterClasses(Classes);
  std::lock_guard<std::mutex> hold(ClassesLock());
  auto& pages = PageTable().pages;
  auto it = std::find_if(pages.begin(), pages.end(), [&](const auto& p) { return p.first == Page; });
  if (it == pages.end()) it = pages.insert(pages.end(), {Page, {}});
  for (const TComponentClassInfo& c : Classes) {
    // A class stands on one page only: registering it again moves it.
    for (auto& p : pages) p.second.erase(std::remove(p.second.begin(), p.second.end(), c.Name), p.second.end());
    it->second.push_back(c.Name);
  }
}

std::vector<String> ComponentPages() {
  std::lock_guard<std::mutex> hold(ClassesLock());
  std::vector<String> r;
  for (const auto& p : PageTable().pages) r.push_back(p.first);
  return r;
}

std::vector<String> ComponentsOnPage(const String& Page) {
  std::lock_guard<std::mutex> hold(ClassesLock());
  for (const auto& p : PageTable().pages)
    if (p.first == Page) return p.second;
  return {};
}

// A component's properties up to the end of their list, the component
// updating meanwhile.
void TReader::ReadProperties(TComponent* Instance, const String& Path) {
  Instance->Updating();
  try {
    while (!EndOfList()) ReadProperty(Instance, Path);
  } catch (...) {
    Instance->Updated();
    throw;
  }
  Instance->Updated();
  ReadListEnd();
}

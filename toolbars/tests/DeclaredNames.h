// What a component declares to a form stream: the name of each property and
// event, and whether a writer would write it now. Tests hold a class's list
// of published names against it, so that a property or event the class
// forgets to declare, or declares but never writes, fails.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "classlib/Filer.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarPopup.h"

namespace declared {

class TRecorder : public TFiler {
 public:
  explicit TRecorder(TComponent* Root) : TFiler(nullptr) { root_ = Root; }
  void DefineProperty(const String& Name, const TReaderProc&, const TWriterProc&, bool HasData) override {
    Note(Name, HasData);
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc&, const TStreamProc&, bool HasData) override {
    Note(Name, HasData);
  }
  // Name -> whether a writer would write it.
  std::map<String, bool> Stored;

 private:
  void Note(const String& Name, bool HasData) {
    Stored[Name] = Stored[Name] || HasData;
    // "Font.Size" stands for the part "Font" too.
    const size_t dot = Name.find(L'.');
    if (dot != String::npos) Stored[Name.substr(0, dot)] = Stored[Name.substr(0, dot)] || HasData;
  }
};

// DefineProperties is protected: a derived class may name it.
struct TDeclare : TComponent {
  static void Properties(TComponent* C, TFiler* F) { (C->*(&TDeclare::DefineProperties))(F); }
};

// The names Component declares, with whether each is written, its events
// named by Root's handlers; compared with Ancestor where given (a writer
// compares a component whose class is compared with new ones with a new one).
inline std::map<String, bool> Of(TComponent* Component, TComponent* Root, TPersistent* Ancestor = nullptr) {
  TRecorder r(Root);
  r.SetAncestor(Ancestor);
  TDeclare::Properties(Component, &r);
  return r.Stored;
}

inline std::string Narrow(const String& S) { return std::string(S.begin(), S.end()); }

// Every one of Names is declared by Component.
inline void ExpectDeclared(TComponent* Component, TComponent* Root, const std::vector<const wchar_t*>& Names) {
  const auto d = Of(Component, Root);
  for (const wchar_t* n : Names)
    EXPECT_TRUE(d.count(n)) << Component->ClassName() << " does not declare " << Narrow(n);
}

// Every one of Names is declared and would be written (set away from its
// default).
inline void ExpectWritten(TComponent* Component, TComponent* Root, const std::vector<const wchar_t*>& Names) {
  const auto d = Of(Component, Root);
  for (const wchar_t* n : Names) {
    auto it = d.find(n);
    EXPECT_TRUE(it != d.end() && it->second) << Component->ClassName() << " does not write " << Narrow(n);
  }
}

// Nothing is written (a component with its defaults).
inline void ExpectNothingWritten(TComponent* Component, TComponent* Root,
                                 const std::vector<const wchar_t*>& Except = {}, TPersistent* Ancestor = nullptr) {
  for (const auto& [name, stored] : Of(Component, Root, Ancestor)) {
    bool allowed = false;
    for (const wchar_t* e : Except) allowed = allowed || name == e;
    EXPECT_FALSE(stored && !allowed) << Component->ClassName() << " writes its default " << Narrow(name);
  }
}

// Each kind of event gets its own handler name, the same in every root.
inline int NextKind() {
  static int next = 0;
  return ++next;
}
template <class E>
String HandlerName() {
  static const int kind = NextKind();
  return L"Handler" + std::to_wstring(kind);
}

// Root offers one handler of each kind E.
template <class... E>
void Offer(TComponent* Root) {
  (Root->RegisterMethod(HandlerName<E>(), E([](auto&&...) {})), ...);
}
// Root's handler of kind E.
template <class E>
E Handler(TComponent* Root) {
  return Root->FindMethod<E>(HandlerName<E>());
}

inline std::string Bytes(TMemoryStream& M) {
  const char* p = static_cast<const char*>(M.Memory());
  return std::string(p, p + M.GetSize());
}

// Source written, read into Target, and Target written again give the same
// bytes: every stored value read back as it was written.
inline void ExpectReadsBack(TComponent* Source, TComponent* Target) {
  TMemoryStream first;
  TWriter(&first).WriteRootComponent(Source);
  first.SetPosition(0);
  TReader(&first).ReadRootComponent(Target);
  TMemoryStream second;
  TWriter(&second).WriteRootComponent(Target);
  EXPECT_EQ(Bytes(first), Bytes(second));
}

// A form root named "Root" with an image list "ilMain" and an item container
// "Box" for the items of a test, offering a handler of each kind of Events.
template <class... Events>
class TItemsRoot : public TComponent {
 public:
  TItemsRoot() : TComponent(nullptr) {
    SetName(L"Root");
    Offer<Events...>(this);
    images = new TBarImageList(this);
    images->SetName(L"ilMain");
    box = new TBarItemContainer(this);
    box->SetName(L"Box");
  }
  const char* ClassName() const override { return "TItemsRoot"; }
  // A new item of Box.
  template <class T>
  T* Add(const wchar_t* Name) {
    auto* i = new T(this);
    i->SetName(Name);
    box->Items()->Add(i);
    return i;
  }
  TBarImageList* images;
  TBarItemContainer* box;
};

}  // namespace declared

// The stored properties of the value editing controls, one table a class:
// each property's name, its default, when it is stored, and how it is read
// and set. A control's DefineProperties declares its table to the filer
// (classlib/PropFiler.h does the writing and reading); a test walks the
// same table to move each property away from its default and compare the
// copy read back.
#pragma once

#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/Filer.h"
#include "classlib/PropFiler.h"

namespace ValueEditFiler {

using PropFiler::TNames;

// The names a control's inherited DefineProperties declares: a property or
// event that the class library comes to store itself is then left to it,
// and never stored twice.
std::set<String> DeclaredNames(const std::function<void(TFiler*)>& Define);

template <class C>
class TPropTable {
 public:
  template <class T>
  using TGet = std::function<T(C&)>;
  template <class T>
  using TSet = std::function<void(C&, T)>;
  using TWhen = std::function<bool(C&)>;

  struct TEntry {
    String Name;
    // Declares the property of Self; A is the ancestor's control or null.
    std::function<void(TFiler*, C& Self, C* A)> Define;
    // Moves the property of Self away from its default (null for one that
    // is never stored); Root offers the event handlers by name.
    std::function<void(C& Self, TComponent* Root)> Vary;
    // Offers Root the handler an event read into a control named Name is
    // bound to (events only).
    std::function<void(const String& Name, TComponent* Root)> Offer;
    // Whether two controls hold the same value.
    std::function<bool(C& X, C& Y)> Same;
    // Left to the inherited streaming when that declares the name.
    bool Inherited = false;
  };

  TPropTable& Boolean(const wchar_t* Name, bool Default, TGet<bool> Get, TSet<bool> Put, TWhen When = {}) {
    return Add(Name, Default, !Default, Get, Put, When, [Name](TFiler* F, bool V, bool B, auto S, bool St) {
      PropFiler::Boolean(F, Name, V, B, S, St);
    });
  }
  TPropTable& Integer(const wchar_t* Name, int64_t Default, int64_t Other, TGet<int64_t> Get, TSet<int64_t> Put,
                      TWhen When = {}) {
    return Add(Name, Default, Other, Get, Put, When, [Name](TFiler* F, int64_t V, int64_t B, auto S, bool St) {
      PropFiler::Integer(F, Name, V, B, S, St);
    });
  }
  TPropTable& Text(const wchar_t* Name, const String& Default, const String& Other, TGet<String> Get,
                   TSet<const String&> Put, TWhen When = {}) {
    return Add<String>(Name, Default, Other, Get, Put, When,
                       [Name](TFiler* F, const String& V, const String& B, auto S, bool St) {
                         PropFiler::Text(F, Name, V, B, S, St);
                       });
  }
  // Stored as the identifier Names[value]; varied to the next identifier.
  TPropTable& Enum(const wchar_t* Name, int Default, const TNames& Names, TGet<int> Get, TSet<int> Put,
                   TWhen When = {}) {
    const int Other = (Default + 1) % static_cast<int>(Names.size());
    return Add(Name, Default, Other, Get, Put, When, [Name, Names](TFiler* F, int V, int B, auto S, bool St) {
      PropFiler::Enum(F, Name, V, B, Names, S, St);
    });
  }
  // A value a control reads but never writes (it follows from the stored
  // ones, or is fixed).
  TPropTable& ReadOnly(const wchar_t* Name, std::function<void(TReader*, C&)> Read) {
    TEntry E;
    E.Name = Name;
    E.Define = [Name, Read](TFiler* F, C& Self, C*) {
      F->DefineProperty(Name, [&Self, Read](TReader* R) { Read(R, Self); }, nullptr, false);
    };
    E.Same = [](C&, C&) { return true; };
    entries_.push_back(std::move(E));
    return *this;
  }
  // A picture stored as its bytes while When holds; Vary gives Self one.
  TPropTable& Picture(const wchar_t* Name, TGet<TBitmap*> Get, TSet<TBitmap*> Put, TWhen When,
                      std::function<void(C&)> Vary) {
    TEntry E;
    E.Name = Name;
    E.Define = [=](TFiler* F, C& Self, C* A) {
      PropFiler::Picture(
          F, Name, Get(Self), A && When(*A) ? Get(*A) : nullptr, [&Self, Put](TBitmap* B) { Put(Self, B); },
          When(Self));
    };
    E.Vary = [Vary](C& Self, TComponent*) { Vary(Self); };
    E.Same = [=](C& X, C& Y) {
      return When(X) == When(Y) && Get(X)->SaveToBytes() == Get(Y)->SaveToBytes();
    };
    entries_.push_back(std::move(E));
    return *this;
  }
  // An event, stored by the name its form offers the handler under. With
  // Inherited, left to the inherited streaming when that stores it.
  template <class E, class B>
  TPropTable& Event(const wchar_t* Name, E B::*Member, bool Inherited = false) {
    TEntry T;
    T.Name = Name;
    T.Inherited = Inherited;
    auto Of = [Member](C& Self) -> E& { return static_cast<B&>(Self).*Member; };
    T.Define = [Name, Of](TFiler* F, C& Self, C* A) { PropFiler::Event(F, Name, Of(Self), A ? &Of(*A) : nullptr); };
    T.Vary = [Name, Of](C& Self, TComponent* Root) {
      Of(Self) = Nothing<E>();
      Root->RegisterMethod(Self.GetName() + Name, Of(Self));
    };
    T.Offer = [Name](const String& Control, TComponent* Root) {
      Root->RegisterMethod(Control + Name, Nothing<E>());
    };
    T.Same = [Of](C& X, C& Y) {
      auto Bound = [&](C& S) { return S.GetOwner() ? S.GetOwner()->MethodName(Of(S)) : String(); };
      return static_cast<bool>(Of(X)) == static_cast<bool>(Of(Y)) && Bound(X) == Bound(Y);
    };
    entries_.push_back(std::move(T));
    return *this;
  }

  // The events every control publishes (click, drag, focus, key and mouse),
  // left to the class library where it stores them.
  TPropTable& ControlEvents() {
    Event(L"OnClick", &TControl::OnClick, true);
    Event(L"OnDblClick", &TControl::OnDblClick, true);
    Event(L"OnDragDrop", &TControl::OnDragDrop, true);
    Event(L"OnDragOver", &TControl::OnDragOver, true);
    Event(L"OnEndDrag", &TControl::OnEndDrag, true);
    Event(L"OnEnter", &TWinControl::OnEnter, true);
    Event(L"OnExit", &TWinControl::OnExit, true);
    Event(L"OnKeyDown", &TWinControl::OnKeyDown, true);
    Event(L"OnKeyPress", &TWinControl::OnKeyPress, true);
    Event(L"OnKeyUp", &TWinControl::OnKeyUp, true);
    Event(L"OnMouseDown", &TControl::OnMouseDown, true);
    Event(L"OnMouseMove", &TControl::OnMouseMove, true);
    Event(L"OnMouseUp", &TControl::OnMouseUp, true);
    return Event(L"OnStartDrag", &TControl::OnStartDrag, true);
  }

  // Declares Self's inherited properties (Inherited), then the table; an
  // entry marked inherited whose name those declare is left to them.
  void Define(TFiler* Filer, C& Self, const std::function<void(TFiler*)>& Inherited) const {
    Inherited(Filer);
    static const std::set<String> Declared = DeclaredNames(Inherited);
    C* A = dynamic_cast<C*>(Filer->GetAncestor());
    for (const TEntry& E : entries_)
      if (!E.Inherited || !Declared.count(E.Name)) E.Define(Filer, Self, A);
  }
  const std::vector<TEntry>& Entries() const { return entries_; }

 private:
  // A handler that does nothing, of an event's type.
  template <class E>
  static E Nothing() {
    return Nothing(static_cast<E*>(nullptr));
  }
  template <class R, class... A>
  static TEvent<R(A...)> Nothing(TEvent<R(A...)>*) {
    return TEvent<R(A...)>([](A...) -> R { return R(); });
  }

  template <class T, class G, class S, class D>
  TPropTable& Add(const wchar_t* Name, T Default, T Other, G Get, S Put, TWhen When, D Declare) {
    TEntry E;
    E.Name = Name;
    E.Define = [=](TFiler* F, C& Self, C* A) {
      // Only a writer asks the control; a reader hands the value to Put.
      const bool Writing = dynamic_cast<TWriter*>(F) != nullptr;
      const T Value = Writing ? Get(Self) : T();
      const T Base = A ? Get(*A) : Default;
      const bool Stored = !Writing || !When || When(Self);
      Declare(F, Value, Base, [&Self, Put](auto V) { Put(Self, static_cast<T>(V)); }, Stored);
    };
    E.Vary = [Put, Other](C& Self, TComponent*) { Put(Self, Other); };
    E.Same = [Get](C& X, C& Y) { return Get(X) == Get(Y); };
    entries_.push_back(std::move(E));
    return *this;
  }

  std::vector<TEntry> entries_;
};

}  // namespace ValueEditFiler

// Registers the hex editor and the integer edit box by class name, so that
// a reader can make them from a form stream; Finalize takes them back.
void ValueEditInitialize();
void ValueEditFinalize();

// Streaming the toolbar components: the class library's property helpers
// (classlib/PropFiler.h), the identifiers the framework's properties share,
// and the registration of its classes.
#pragma once

#include <functional>
#include <vector>

#include "classlib/PropFiler.h"

class TBarCustomDockableWindow;
class TBarDock;

namespace BarFiler {

// The class library's property helpers.
using namespace PropFiler;

// The identifiers of the item options, in the order of their bits.
const std::vector<const wchar_t*>& ItemOptionNames();

// An event behind a setter: the handler read goes to Set.
template <class E, class S>
void EventBy(TFiler* Filer, const wchar_t* Name, const E& Value, const E* Base, S&& Set) {
  E v = Value;
  Event(Filer, Name, v, Base);
  if (!(v == Value)) Set(v);
}

// An event stored only while Stored (a handler an action link ties is the
// action's, not the item's).
template <class E>
void EventIf(TFiler* Filer, const wchar_t* Name, E& Value, const E* Base, bool Stored) {
  Event(Filer, Name, Value, Stored ? Base : &Value);
}

// The events a dockable window and a dock publish.
void DefineDockableWindowEvents(TFiler* Filer, TBarCustomDockableWindow* Window);
void DefineDockEvents(TFiler* Filer, TBarDock* Dock);

// Registers the framework's items, menus, toolbars and docks, so that a
// reader can make them from a stream by class name.
void RegisterClasses();

// Registers one class made with its owner.
template <class T>
void Register(const wchar_t* ClassName) {
  RegisterComponentClass(ClassName, [](TComponent* Owner) { return new T(Owner); });
}

}  // namespace BarFiler

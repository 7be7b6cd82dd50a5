// Streaming the toolbar components: the class library's property helpers
// (classlib/PropFiler.h), the identifiers the framework's properties share,
// and the registration of its classes.
#pragma once

#include <functional>
#include <vector>

#include "classlib/PropFiler.h"

namespace BarFiler {

// The class library's property helpers.
using namespace PropFiler;

// The identifiers of the item options, in the order of their bits.
const std::vector<const wchar_t*>& ItemOptionNames();

// Registers the framework's items, menus, toolbars and docks, so that a
// reader can make them from a stream by class name.
void RegisterClasses();

// Registers one class made with its owner.
template <class T>
void Register(const wchar_t* ClassName) {
  RegisterComponentClass(ClassName, [](TComponent* Owner) { return new T(Owner); });
}

}  // namespace BarFiler

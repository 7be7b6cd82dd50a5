// Declaring the published properties of the library's components to a form
// stream: the class library's property helpers (classlib/PropFiler.h), and
// the identifiers of the enumerations the library's components share.
#pragma once

#include "classlib/PropFiler.h"

namespace ExFiler {

using namespace PropFiler;

// The identifiers of TAlignment and of the two border styles of controls.
extern const TNames AlignmentNames;
extern const TNames BorderStyleNames;

// An event held behind a setter (assigning it does more than store it):
// stored like any event; read, the handler goes through Set.
template <class E, class S>
void EventVia(TFiler* Filer, const wchar_t* Name, const E& Value, const E* Base, S Set) {
  E Read = Value;
  Event(Filer, Name, Read, Base);
  if (Read != Value) Set(Read);
}

}  // namespace ExFiler

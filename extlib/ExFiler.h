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

}  // namespace ExFiler

// Start-up table lines of the extended library's utility modules, in the
// order they initialise (finalisation runs in reverse).
#pragma once

#include "classlib/ModuleInit.h"

extern const TModuleEntry ExtLibUtilModules[];
extern const size_t ExtLibUtilModuleCount;

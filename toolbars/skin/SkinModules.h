// Start-up table lines of the toolbar framework and its themed layer, in
// the order they initialise (finalisation runs in reverse): the thread
// hooks, the pop-up animation and the shared toolbar font first, the
// themed layer's drawing stock and theme registry after them.
#pragma once

#include "classlib/ModuleInit.h"

extern const TModuleEntry ToolbarModules[];
extern const size_t ToolbarModuleCount;

// The program's start-up table: every module's one-time initialisation, in
// a fixed order (the libraries the editor stands on first, the editor's own
// modules, then the help module and the extended library last).
// Finalisations run in reverse at exit.
#pragma once

#include <vector>

#include "classlib/ModuleInit.h"

const std::vector<TModuleEntry>& ZembrioModuleTable();

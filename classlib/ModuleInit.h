// Start-up table: every module's one-time initialisation and finalisation,
// run in the order of one explicit table that the program passes in, each
// guarded by a per-module counter so that it runs once however often the
// module is listed or the table is run. Finalisations run in the reverse
// order of the initialisations. Portable.
#pragma once

#include <cstddef>
#include <vector>

#include "classlib/SysUtils.h"

using TModuleProc = void (*)();

// One line of the table: a module's name and its two routines (either may
// be null).
struct TModuleEntry {
  const char* Name;
  TModuleProc Initialize;
  TModuleProc Finalize;
};

// Runs the initialisations of Table in order. A module whose counter was
// already above zero is only counted. When an initialisation raises, the
// modules initialised by this call are finalised again (in reverse) and
// the exception passes on.
void InitializeModules(const TModuleEntry* Table, size_t Count);
inline void InitializeModules(const std::vector<TModuleEntry>& Table) {
  InitializeModules(Table.data(), Table.size());
}
// Undoes every InitializeModules call made so far, newest first: each
// module's counter drops and its finalisation runs when the counter reaches
// zero. An exception of a finalisation goes to the application's exception
// handler and the others still run.
void FinalizeModules();

// The counter of a module known by name (0 when never initialised).
int ModuleInitCount(const char* Name);

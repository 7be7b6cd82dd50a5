// Shared per-thread window hooks: several parts of the toolbar library
// watch the thread's messages through one hook of each kind.
#pragma once

#include <windows.h>

#include "classlib/Classes.h"

enum THookProcCode { hpSendActivateApp, hpSendWindowPosChanged, hpPreDestroy, hpGetMessage };
using THookProcCodes = TSet<THookProcCode>;
using THookProc = void (*)(THookProcCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam);

void InstallHookProc(THookProc Proc, THookProcCodes Codes, bool OnlyIncrementCount);
void UninstallHookProc(THookProc Proc);
// Releases every hook and registration (module shutdown).
void UninstallAllHookProcs();
// Whether a system hook of the kind (0 CALLWNDPROC, 1 CBT, 2 GETMESSAGE)
// is installed; for tests.
bool BarHookInstalled(int Kind);
// How many registrations hold the system hook of the kind; for tests.
int BarHookUses(int Kind);

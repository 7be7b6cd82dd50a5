// Run-time binding of the optional keyboard-monitor library "KbMon.dll",
// which tells registered windows when a lock key changes state, also while
// another program has the focus. The library is loaded only on demand; a
// missing library is not an error (the status bar then uses its own
// keyboard hook).
#pragma once

#include <windows.h>

#include "classlib/SysUtils.h"

// The library's file name (LoadLibrary's search rules apply).
extern String KbMonDLLName;
// True while the library is loaded.
extern bool KbMonDLL_Loaded;

// Loads the library (freeing a loaded one first, which unregisters its
// windows); false, silently, when it cannot be loaded.
bool InitKbMonDLL();
// Unregisters every registered window, newest first, and frees the library.
void UnloadKbMonDLL();
// Registers a window; returns the message number the window will receive
// (wParam = virtual key, bit 0 of lParam = toggle state), or 0 when the
// library offers no registration entry point (nothing is then recorded).
UINT DLLRegisterKeyboardHook(HWND Window);
// Stops the notifications to a window.
void DLLDeregisterKeyboardHook(HWND Window);
// Number of windows currently registered with the library.
int KbMonRegisteredCount();

// One-time set-up and tear-down of this unit (start-up table).
void KbMonInitialize();
void KbMonFinalize();

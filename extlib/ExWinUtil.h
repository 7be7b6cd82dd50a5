// Window and cursor helpers of the extended library: the nested hour-glass
// cursor and switching to a window.
#pragma once

#include "classlib/Forms.h"

extern TCursor WaitCursor;

// Nested: the first StartWait shows WaitCursor, the matching last StopWait
// brings back the cursor that was there before; extra StopWaits do nothing.
void StartWait();
void StopWait();
// Brings an enabled window to the foreground (restoring it from the task
// bar when asked) and gives it the focus.
void SwitchToWindow(HWND Wnd, bool Restore);

void ExWinUtilInitialize();
void ExWinUtilFinalize();

// A stand-in for the keyboard-monitor library: records the calls it gets
// so that the binding can be checked without the real library.
#include <windows.h>

namespace {
HWND gCalls[64];
int gCallCount = 0;
}  // namespace

extern "C" {

__declspec(dllexport) UINT WINAPI RegisterKeyboardHook(HWND Window) {
  (void)Window;
  return WM_APP + 0x321;
}

__declspec(dllexport) void WINAPI DeregisterKeyboardHook(HWND Window) {
  if (gCallCount < 64) gCalls[gCallCount++] = Window;
}

// The windows deregistered so far, in call order.
__declspec(dllexport) int WINAPI FakeDeregisteredCount() { return gCallCount; }
__declspec(dllexport) HWND WINAPI FakeDeregistered(int Index) { return gCalls[Index]; }
}

#include "extlib/ExWinUtil.h"

TCursor WaitCursor = crHourGlass;

namespace {
int WaitCount = 0;
TCursor SaveCursor = crDefault;
}  // namespace

void StartWait() {
  if (WaitCount == 0 && Screen) {
    SaveCursor = Screen->GetCursor();
    Screen->SetCursor(WaitCursor);
  }
  ++WaitCount;
}

void StopWait() {
  if (WaitCount <= 0) return;
  if (--WaitCount == 0 && Screen) Screen->SetCursor(SaveCursor);
}

void SwitchToWindow(HWND Wnd, bool Restore) {
  if (!Wnd || !IsWindowEnabled(Wnd)) return;
  SetForegroundWindow(Wnd);
  if (Restore && IsWindowVisible(Wnd) && !IsZoomed(Wnd)) SendMessageW(Wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
  SetFocus(Wnd);
}

void ExWinUtilInitialize() {}
void ExWinUtilFinalize() { WaitCount = 0; }

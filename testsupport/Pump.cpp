#include "testsupport/Pump.h"

#include <windows.h>

#include "classlib/Forms.h"

namespace testsupport {

namespace {

bool RunOne() {
  MSG msg;
  if (Application) return Application->ProcessMessage(msg);
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return true;
}

}  // namespace

// A timer whose handler takes longer than its interval (on a busy machine),
// a paint that never validates or a message that posts itself again keep
// the queue from ever running empty: the pumps stop at their time in any
// case, so that the test goes on (or the runner's watchdog can end it).
constexpr ULONGLONG kPendingLimitMs = 2000;

void PumpPending() {
  const ULONGLONG end = GetTickCount64() + kPendingLimitMs;
  while (RunOne() && GetTickCount64() < end) {
  }
}

bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(TimeoutMs < 0 ? 0 : TimeoutMs);
  for (;;) {
    if (Done()) return true;
    if (GetTickCount64() >= end) return false;
    if (!RunOne()) Sleep(1);
  }
}

void Pump(int Ms) {
  PumpPending();
  PumpUntil([] { return false; }, Ms);
}

}  // namespace testsupport

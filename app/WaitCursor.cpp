#include "app/WaitCursor.h"

#include <memory>

#include "app/WorkerRun.h"

void TPaintPump::Run() {
  MSG m;
  // Peeking delivers the messages sent meanwhile.
  PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  // A window that never validates what it was asked to paint would be
  // asked again at once: a bounded round.
  for (int i = 0; i < 64 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i) DispatchMessageW(&m);
}

void RunPainting(const std::function<void()>& Work) {
  std::unique_ptr<TWorkerRun> run;
  try {
    run = std::make_unique<TWorkerRun>(Work);
  } catch (...) {
    // No thread: the work runs here, unpainted.
    Work();
    return;
  }
  HANDLE done = run->Done();
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjectsEx(1, &done, 100, QS_PAINT | QS_SENDMESSAGE, 0);
    if (r == WAIT_OBJECT_0) break;
    if (r == WAIT_FAILED) {
      WaitForSingleObject(done, INFINITE);
      break;
    }
    TPaintPump::Run();
  }
  run->Finish();
}

#include "app/WaitCursor.h"

void TPaintPump::Run() {
  MSG m;
  // Peeking delivers the messages sent meanwhile.
  PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  // A window that never validates what it was asked to paint would be
  // asked again at once: a bounded round.
  for (int i = 0; i < 64 && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++i) DispatchMessageW(&m);
}

#include "testsupport/Watchdog.h"

#include "classlib/Forms.h"

namespace testsupport {

Watchdog::Watchdog(int TimeoutMs, std::function<void()> Rescue, int RepeatMs)
    : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!Rescue) {
    const DWORD tid = GetCurrentThreadId();
    Rescue = [tid] { UnstickThread(tid); };
  }
  thread_ = std::thread([this, TimeoutMs, RepeatMs, Rescue = std::move(Rescue)] {
    DWORD wait = static_cast<DWORD>(TimeoutMs < 0 ? 0 : TimeoutMs);
    while (WaitForSingleObject(stop_, wait) == WAIT_TIMEOUT) {
      fired_ = true;
      Rescue();
      wait = static_cast<DWORD>(RepeatMs < 10 ? 10 : RepeatMs);
    }
  });
}

Watchdog::~Watchdog() {
  Stop();
  CloseHandle(stop_);
}

void Watchdog::Stop() {
  if (!thread_.joinable()) return;
  SetEvent(stop_);
  thread_.join();
}

void Watchdog::UnstickThread(DWORD ThreadId) {
  GUITHREADINFO gi{};
  gi.cbSize = sizeof gi;
  if (GetGUIThreadInfo(ThreadId, &gi)) {
    if (gi.hwndCapture) PostMessageW(gi.hwndCapture, WM_CANCELMODE, 0, 0);
    if (gi.hwndMenuOwner) PostMessageW(gi.hwndMenuOwner, WM_CANCELMODE, 0, 0);
    if (gi.hwndFocus) {
      PostMessageW(gi.hwndFocus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageW(gi.hwndFocus, WM_CHAR, 27, 0x00010001);
      PostMessageW(gi.hwndFocus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    }
    HWND mainForm = nullptr;
    if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
      mainForm = Application->MainForm()->GetHandle();
    if (gi.hwndActive && gi.hwndActive != mainForm) PostMessageW(gi.hwndActive, WM_CLOSE, 0, 0);
    // The window waited for may have lost the activation (to another
    // program's window): each window of the thread that takes input is
    // asked, which in a modal loop is the dialog alone.
    if (!gi.hwndActive)
      EnumThreadWindows(
          ThreadId,
          [](HWND W, LPARAM MainForm) {
            if (W != reinterpret_cast<HWND>(MainForm) && IsWindowVisible(W) && IsWindowEnabled(W))
              PostMessageW(W, WM_CLOSE, 0, 0);
            return TRUE;
          },
          reinterpret_cast<LPARAM>(mainForm));
  }
  PostThreadMessageW(ThreadId, WM_NULL, 0, 0);
}

}  // namespace testsupport

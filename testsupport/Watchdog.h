// One watchdog for every wait a test can get stuck in: a modal loop nobody
// ends, a drag that never sees its release, a pump for a window that never
// comes. After the timeout it steps in from a thread of its own, again and
// again until it is stopped, so that the test fails instead of hanging.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

namespace testsupport {

class Watchdog {
 public:
  // Rescue runs on the watchdog's thread TimeoutMs after the start and then
  // every RepeatMs until the watchdog stops; without one the thread that
  // made the watchdog is unstuck (UnstickThread).
  explicit Watchdog(int TimeoutMs, std::function<void()> Rescue = nullptr, int RepeatMs = 200);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Ends the watch (the destructor does too); no rescue runs afterwards.
  void Stop();
  // True when the time ran out and the watchdog had to step in.
  bool Fired() const { return fired_; }

  // Ends what keeps a thread waiting: its mouse capture and menus are
  // cancelled, Escape goes to its focused window, its active window is
  // asked to close (unless it is the application's main form; without an
  // active window, each of its shown windows that takes input) and the
  // thread is woken.
  static void UnstickThread(DWORD ThreadId);

 private:
  HANDLE stop_;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

}  // namespace testsupport

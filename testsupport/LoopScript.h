// Steps run on this thread from inside whatever modal loop it is in (a menu
// loop, an in-place edit, a drag): a thread timer, which such loops
// dispatch, runs one step a tick. Once the steps have run out, Escape is
// posted on every tick, so that whatever still runs is cancelled.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace testsupport {

class LoopScript {
 public:
  explicit LoopScript(std::vector<std::function<void()>> Steps, int TickMs = 30);
  ~LoopScript();
  LoopScript(const LoopScript&) = delete;
  LoopScript& operator=(const LoopScript&) = delete;

  // The script that runs now, or null.
  static LoopScript* Current();
  // The count of steps started so far.
  size_t StepsRun() const { return next_; }
  // Called by a step: it runs again on the next tick (a step that waits
  // for something to show).
  void Again();

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  UINT_PTR timer_ = 0;
  LoopScript* outer_ = nullptr;
};

// A key press or a character posted to this thread's queue, as a modal loop
// that reads its own messages takes them (no system input involved).
void PostKey(WORD Vk);
void PostChar(wchar_t C);

}  // namespace testsupport

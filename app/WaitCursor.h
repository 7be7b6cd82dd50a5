// The hourglass for the length of a scope (the cursor before it comes back
// at its end), and the window kept painting while its thread is busy.
#pragma once

#include <windows.h>

#include <functional>

#include "classlib/Forms.h"

class TWaitCursor {
 public:
  TWaitCursor() : old_(Screen->GetCursor()) { Screen->SetCursor(crHourGlass); }
  ~TWaitCursor() { Screen->SetCursor(old_); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  TCursor old_;
};

// Lets the windows of this thread paint, and answer what other threads and
// programs send them, in the middle of long work on this thread: the paints
// and sent messages waiting are handled; input and posted messages stay
// queued for after the work, so no command starts meanwhile.
class TPaintPump {
 public:
  // At most every few hundredths of a second (cheap in between); true when
  // it ran.
  bool Poll() {
    const ULONGLONG now = GetTickCount64();
    if (now - last_ < kEveryMs) return false;
    last_ = now;
    Run();
    return true;
  }
  static void Run();

 private:
  static constexpr ULONGLONG kEveryMs = 40;
  ULONGLONG last_ = GetTickCount64();
};

// Runs Work on a thread of its own while this thread paints (TPaintPump)
// until it ends; Work's exception is raised here. Work touches no window.
void RunPainting(const std::function<void()>& Work);

// The window tests' helpers under the names their users call: a thin layer
// over the shared test support (testsupport/), which every window test
// program links.
#pragma once

#include <gtest/gtest.h>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "testsupport/Watchdog.h"

namespace guitest {

using testsupport::GuiEnvironment;
using testsupport::Pump;
using testsupport::PumpUntil;
using testsupport::ShownExceptions;

// Real input: a left click at a client point of a control; returns once the
// click has been handled.
inline void MouseClick(TControl* c, int x, int y) {
  const TPoint p = c->ClientToScreen(TPoint{x, y});
  testsupport::Click(POINT{p.x, p.y});
}

// Real input: a key pressed and released, handled before it returns.
inline void PressKey(WORD vk) { testsupport::PressKey(vk); }

// Ends a modal loop (or any wait) that runs longer than it should: after the
// timeout, sets the form's modal result to mrAbort and wakes the thread.
class Watchdog {
 public:
  Watchdog(TCustomForm* form, int timeoutMs)
      : dog_(timeoutMs, [form, h = form->GetHandle(), tid = GetCurrentThreadId(), once = false]() mutable {
          if (once) return;
          once = true;
          form->SetModalResult(mrAbort);
          PostMessageW(h, WM_NULL, 0, 0);
          PostThreadMessageW(tid, WM_NULL, 0, 0);
        }) {}
  bool Fired() const { return dog_.Fired(); }

 private:
  testsupport::Watchdog dog_;
};

}  // namespace guitest

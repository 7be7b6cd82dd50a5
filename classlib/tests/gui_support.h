// Helpers shared by the window tests: one application for the whole run,
// a main form that lives throughout, message pumping with a deadline and a
// watchdog that ends a stuck modal loop.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "classlib/Forms.h"

namespace guitest {

// Exceptions that reached the application's display, in order.
inline std::vector<String>& ShownExceptions() {
  static std::vector<String> v;
  return v;
}

class GuiEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    InitForms();
    Application->Initialize();
    Application->ShowExceptionHook = [](const String& msg, const String&) { ShownExceptions().push_back(msg); };
    // The first form is the main form; tests never close it.
    mainForm_ = Application->CreateForm<TForm>();
    mainForm_->SetCaption(L"Test host");
  }
  void TearDown() override { DoneForms(); }

 private:
  TForm* mainForm_ = nullptr;
};

// Pumps messages until `done` holds or the time runs out; true when done.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    if (!Application->ProcessMessage(msg)) Sleep(1);
  }
  return true;
}

inline void Pump(int ms = 50) {
  PumpUntil([] { return false; }, ms);
}

// Real input: a left click at a client point of a control (its window
// must be in the foreground).
inline void MouseClick(TControl* c, int x, int y) {
  const TPoint p = c->ClientToScreen(TPoint{x, y});
  SetCursorPos(p.x, p.y);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, in, sizeof(INPUT));
}

// Real input: a key pressed and released.
inline void PressKey(WORD vk) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, in, sizeof(INPUT));
}

// Ends a modal loop (or any wait) that runs longer than it should: after the
// timeout, cancels the form's modal loop and wakes the thread.
class Watchdog {
 public:
  Watchdog(TCustomForm* form, int timeoutMs) {
    HWND h = form->GetHandle();
    DWORD tid = GetCurrentThreadId();
    thread_ = std::thread([this, form, h, tid, timeoutMs] {
      auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
      while (!stop_ && std::chrono::steady_clock::now() < end) Sleep(10);
      if (!stop_) {
        fired_ = true;
        form->SetModalResult(mrAbort);
        PostMessageW(h, WM_NULL, 0, 0);
        PostThreadMessageW(tid, WM_NULL, 0, 0);
      }
    });
  }
  ~Watchdog() {
    stop_ = true;
    thread_.join();
  }
  bool Fired() const { return fired_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

}  // namespace guitest

#include "testsupport/LoopScript.h"

#include <utility>

namespace testsupport {

namespace {
LoopScript* g_current = nullptr;
}

LoopScript::LoopScript(std::vector<std::function<void()>> Steps, int TickMs) : steps_(std::move(Steps)) {
  outer_ = g_current;
  g_current = this;
  timer_ = SetTimer(nullptr, 0, static_cast<UINT>(TickMs), &LoopScript::Tick);
}

LoopScript::~LoopScript() {
  KillTimer(nullptr, timer_);
  g_current = outer_;
}

LoopScript* LoopScript::Current() { return g_current; }

void LoopScript::Again() {
  if (next_ > 0) --next_;
}

void CALLBACK LoopScript::Tick(HWND, UINT, UINT_PTR, DWORD) {
  LoopScript* s = g_current;
  if (!s) return;
  if (s->next_ < s->steps_.size()) {
    // A copy: the step may end the script's loop and with it the script.
    auto step = s->steps_[s->next_++];
    step();
  } else {
    PostKey(VK_ESCAPE);
  }
}

void PostKey(WORD Vk) { PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, Vk, 0); }

void PostChar(wchar_t C) { PostThreadMessageW(GetCurrentThreadId(), WM_CHAR, C, 0); }

}  // namespace testsupport

#include "testsupport/Input.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "testsupport/Pump.h"
#include "testsupport/Watchdog.h"

namespace testsupport {

namespace {

// Marks the end of a batch: a key-up of a key no window handles.
constexpr WORD kMarkerKey = VK_F24;

INPUT MouseInput(DWORD Flags) {
  INPUT i{};
  i.type = INPUT_MOUSE;
  i.mi.dwFlags = Flags;
  return i;
}

DWORD DownFlag(Button B) {
  return B == Button::Right ? MOUSEEVENTF_RIGHTDOWN : B == Button::Middle ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_LEFTDOWN;
}
DWORD UpFlag(Button B) {
  return B == Button::Right ? MOUSEEVENTF_RIGHTUP : B == Button::Middle ? MOUSEEVENTF_MIDDLEUP : MOUSEEVENTF_LEFTUP;
}

// No input left in this thread's queue.
bool InputHandled() {
  MSG m;
  return !PeekMessageW(&m, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE) &&
         !PeekMessageW(&m, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE) && !GetQueueStatus(QS_INPUT);
}

}  // namespace

InputScript& InputScript::Move(POINT P) {
  // Absolute coordinates run from 0 to 65535 over the screen; the extra one
  // keeps the rounding on the intended pixel.
  INPUT i = MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
  i.mi.dx = MulDiv(P.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  i.mi.dy = MulDiv(P.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  in_.push_back(i);
  return *this;
}

InputScript& InputScript::Down(Button B) {
  in_.push_back(MouseInput(DownFlag(B)));
  return *this;
}

InputScript& InputScript::Up(Button B) {
  in_.push_back(MouseInput(UpFlag(B)));
  return *this;
}

InputScript& InputScript::Wheel(int Delta) {
  INPUT i = MouseInput(MOUSEEVENTF_WHEEL);
  i.mi.mouseData = static_cast<DWORD>(Delta);
  in_.push_back(i);
  return *this;
}

InputScript& InputScript::Key(WORD Vk, bool Down) {
  INPUT i{};
  i.type = INPUT_KEYBOARD;
  i.ki.wVk = Vk;
  i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(Vk, MAPVK_VK_TO_VSC));
  i.ki.dwFlags = Down ? 0 : KEYEVENTF_KEYUP;
  in_.push_back(i);
  return *this;
}

InputScript& InputScript::Press(WORD Vk, const std::vector<WORD>& Mods) {
  for (WORD m : Mods) Key(m, true);
  Key(Vk, true);
  Key(Vk, false);
  for (auto it = Mods.rbegin(); it != Mods.rend(); ++it) Key(*it, false);
  return *this;
}

InputScript& InputScript::Click(POINT P, const std::vector<WORD>& Mods, Button B) {
  for (WORD m : Mods) Key(m, true);
  Move(P).Down(B).Up(B);
  for (auto it = Mods.rbegin(); it != Mods.rend(); ++it) Key(*it, false);
  return *this;
}

InputScript& InputScript::Text(const std::wstring& S) {
  for (wchar_t c : S)
    for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
      INPUT i{};
      i.type = INPUT_KEYBOARD;
      i.ki.wScan = c;
      i.ki.dwFlags = KEYEVENTF_UNICODE | up;
      in_.push_back(i);
    }
  return *this;
}

InputScript& InputScript::Wait(int Ms) {
  waits_.emplace_back(in_.size(), Ms);
  return *this;
}

void InputScript::Post() {
  size_t from = 0;
  auto send = [&](size_t to) {
    if (to > from) SendInput(static_cast<UINT>(to - from), in_.data() + from, sizeof(INPUT));
    from = to;
  };
  for (const auto& [at, ms] : waits_) {
    send(at);
    Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms));
  }
  send(in_.size());
  in_.clear();
  waits_.clear();
}

bool InputScript::Send(int TimeoutMs) {
  Key(kMarkerKey, false);
  Post();
  const bool handled = PumpUntil(InputHandled, TimeoutMs);
  EXPECT_TRUE(handled) << "the input was not handled within " << TimeoutMs << " ms";
  PumpPending();
  return handled;
}

void MoveMouse(POINT P) { InputScript().Move(P).Send(); }

void Click(POINT P, const std::vector<WORD>& Mods, Button B) { InputScript().Click(P, Mods, B).Send(); }

void DoubleClick(POINT P) { InputScript().Move(P).Down().Up().Down().Up().Send(); }

void PressKey(WORD Vk, const std::vector<WORD>& Mods) { InputScript().Press(Vk, Mods).Send(); }

void TypeText(const std::wstring& S) { InputScript().Text(S).Send(); }

POINT PointerPos() {
  POINT p{};
  GetCursorPos(&p);
  return p;
}

POINT ParkingPlace() { return POINT{GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1}; }

void ParkPointer() {
  const POINT p = ParkingPlace();
  InputScript().Move(p).Post();
  const POINT now = PointerPos();
  if (now.x != p.x || now.y != p.y) SetCursorPos(p.x, p.y);
}

void MeetTheDisplay() {
  // A move of one pixel first: the pointer may already be parked.
  const POINT p = ParkingPlace();
  SetCursorPos(p.x - 1, p.y - 1);
  SetCursorPos(p.x, p.y);
  // The display reports each move with its time. Asked for the pointer a
  // while after it was moved, Wine asks the display, whose answer comes
  // after those reports: they are then in, and run with the messages.
  Pump(150);
  PointerPos();
  PumpPending();
}

POINT ScreenPoint(HWND Window, int X, int Y) {
  POINT p{X, Y};
  ClientToScreen(Window, &p);
  return p;
}

POINT ClientCentre(HWND Window) {
  RECT r{};
  GetClientRect(Window, &r);
  return ScreenPoint(Window, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool RunInput(const std::function<void()>& Script, int TimeoutMs) {
  std::atomic<bool> done{false};
  std::thread t([&] {
    Script();
    done = true;
  });
  bool ended;
  {
    Watchdog dog(TimeoutMs);
    PumpUntil([&] { return done.load(); }, TimeoutMs + 5000);
    ended = !dog.Fired();
  }
  t.join();
  Pump(50);
  EXPECT_TRUE(ended) << "the input script did not end within " << TimeoutMs << " ms";
  return ended;
}

bool Drag(const DragScript& S) {
  Pump(static_cast<int>(GetDoubleClickTime()) + 30);
  return RunInput([&S] {
    InputScript().Move(S.From).Post();
    Sleep(30);
    for (WORD m : S.Mods) {
      InputScript().Key(m, true).Post();
      Sleep(30);
    }
    InputScript().Down(S.With).Post();
    Sleep(30);
    const int steps = S.Steps < 1 ? 1 : S.Steps;
    std::vector<POINT> path{S.From};
    path.insert(path.end(), S.Via.begin(), S.Via.end());
    path.push_back(S.To);
    for (size_t k = 1; k < path.size(); ++k) {
      const POINT a = path[k - 1], b = path[k];
      for (int i = 1; i <= steps; ++i) {
        InputScript().Move(POINT{a.x + (b.x - a.x) * i / steps, a.y + (b.y - a.y) * i / steps}).Post();
        Sleep(S.StepMs);
      }
      if (k + 1 < path.size()) Sleep(60);
    }
    InputScript().Up(S.With).Post();
    Sleep(30);
    for (auto it = S.Mods.rbegin(); it != S.Mods.rend(); ++it) InputScript().Key(*it, false).Post();
  });
}

}  // namespace testsupport

// Mouse and keyboard input as a user gives it: through the system's input
// queue (SendInput), in screen coordinates. Each helper returns once the
// input has been handled by this thread's windows. A test that uses the
// mouse states where the pointer is; the test runner parks it before each
// test (ParkPointer), so no test finds it where an earlier one left it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

enum class Button { Left, Right, Middle };

// A batch of input events sent in one go.
class InputScript {
 public:
  InputScript& Move(POINT P);
  InputScript& Down(Button B = Button::Left);
  InputScript& Up(Button B = Button::Left);
  // A turn of the mouse wheel (WHEEL_DELTA a notch; below 0 towards the
  // user).
  InputScript& Wheel(int Delta);
  InputScript& Key(WORD Vk, bool Down);
  // Vk pressed and released with the modifier keys held around it.
  InputScript& Press(WORD Vk, const std::vector<WORD>& Mods = {});
  // A move to P and a click there with the modifier keys held.
  InputScript& Click(POINT P, const std::vector<WORD>& Mods = {}, Button B = Button::Left);
  InputScript& Text(const std::wstring& S);
  // A pause of Ms milliseconds before the events that follow (for scripts
  // played on a thread of their own, RunInput).
  InputScript& Wait(int Ms);
  // Sends the batch and lets messages run until this thread has handled it;
  // false (and a test failure) when that took longer than TimeoutMs.
  bool Send(int TimeoutMs = 5000);
  // Sends the batch and returns at once (for input read by another thread's
  // loop, or sent from a script thread).
  void Post();

 private:
  std::vector<INPUT> in_;
  std::vector<std::pair<size_t, int>> waits_;  // before event index, milliseconds
};

// Single steps, each handled before it returns.
void MoveMouse(POINT P);
void Click(POINT P, const std::vector<WORD>& Mods = {}, Button B = Button::Left);
void DoubleClick(POINT P);
void PressKey(WORD Vk, const std::vector<WORD>& Mods = {});
void TypeText(const std::wstring& S);

// The pointer's place on the screen.
POINT PointerPos();
// The place the pointer is parked at: the bottom-right corner of the screen,
// where no test puts a window.
POINT ParkingPlace();
// Moves the pointer to the parking place.
void ParkPointer();
// Parks the pointer and lets this thread handle the display's report of
// the move, so that the program knows the display's time before its first
// window takes the keyboard focus (the runner's main does it as the program
// starts). Under Wine the program stamps each request for the focus with
// that time, and asks for it "now" while it does not know it yet. It learns
// the time from the first report it handles, as the time of handling it: a
// report handled late (on a busy machine) puts its stamps behind the
// display's clock, a "now" before then leaves the display's last focus
// change ahead of the stamped requests of the next moments, which the
// display ignores, and a dialog shown again at once loses its activation to
// the desktop.
void MeetTheDisplay();
// The screen point of a window's client point, and of its client centre.
POINT ScreenPoint(HWND Window, int X, int Y);
POINT ClientCentre(HWND Window);

// Runs Script on a thread of its own while this thread lets messages run,
// so that the modal loops of this thread (menus, drags, size loops) see
// each step as it comes. False (and a test failure) when the script did not
// end within TimeoutMs; a watchdog then ends what keeps this thread waiting.
bool RunInput(const std::function<void()>& Script, int TimeoutMs = 10000);

// A drag with the mouse: a press at From with the modifier keys held, moves
// through the points of Via (resting at each) to To, Steps steps a leg, the
// release at To.
struct DragScript {
  POINT From{};
  POINT To{};
  std::vector<POINT> Via;
  int Steps = 8;
  std::vector<WORD> Mods;
  Button With = Button::Left;
  int StepMs = 15;
};
// Plays the drag on a script thread (RunInput). The double-click time is
// waited out first, so that the press is never taken for the second half of
// a double click.
bool Drag(const DragScript& Script);

}  // namespace testsupport

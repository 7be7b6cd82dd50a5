// The shared test support on real windows: pumping, the watchdog ending a
// modal loop, input reaching windows as a user's would, the pointer parked
// between tests, and scratch keys leaving nothing behind.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "testsupport/Registry.h"
#include "testsupport/Runner.h"
#include "testsupport/Watchdog.h"

using namespace testsupport;

namespace {

// A plain window that records what its mouse and keys do.
struct Recorder {
  static std::vector<std::pair<UINT, POINT>>& Log() {
    static std::vector<std::pair<UINT, POINT>> log;
    return log;
  }
  static LRESULT CALLBACK Proc(HWND W, UINT Msg, WPARAM Wp, LPARAM Lp) {
    if (Msg == WM_LBUTTONDOWN || Msg == WM_LBUTTONUP || Msg == WM_MOUSEMOVE || Msg == WM_KEYDOWN ||
        Msg == WM_CHAR || Msg == WM_LBUTTONDBLCLK) {
      POINT p{static_cast<short>(LOWORD(Lp)), static_cast<short>(HIWORD(Lp))};
      if (Msg == WM_KEYDOWN || Msg == WM_CHAR) p = POINT{static_cast<LONG>(Wp), GetKeyState(VK_SHIFT) < 0};
      if (Msg == WM_LBUTTONDOWN) SetCapture(W);
      if (Msg == WM_LBUTTONUP) ReleaseCapture();
      Log().push_back({Msg, p});
    }
    return DefWindowProcW(W, Msg, Wp, Lp);
  }
  HWND Wnd;
  Recorder() {
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"TestSupportRecorder";
    RegisterClassW(&wc);
    Wnd = CreateWindowExW(0, wc.lpszClassName, L"Recorder", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr,
                          nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(Wnd);
    SetFocus(Wnd);
    Pump(30);
    Log().clear();
  }
  ~Recorder() { DestroyWindow(Wnd); }
  std::vector<UINT> Kinds(bool Moves = false) const {
    std::vector<UINT> v;
    for (auto& e : Log())
      if (Moves || e.first != WM_MOUSEMOVE) v.push_back(e.first);
    return v;
  }
};

// A plain top-level window, shown.
HWND PlainWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TestSupportPlain";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"Plain", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 300, 200, nullptr,
                         nullptr, wc.hInstance, nullptr);
}

}  // namespace

TEST(TestSupportPump, UntilAConditionOrTheTimeLimit) {
  // A timer's message is dispatched by the pump.
  static bool ticked;
  ticked = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { ticked = true; });
  EXPECT_TRUE(PumpUntil([] { return ticked; }));
  KillTimer(nullptr, timer);
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(PumpUntil([] { return false; }, 50));
  EXPECT_GE(GetTickCount64() - start, 40u);
}

TEST(TestSupportWatchdog, EndsAMenuNobodyCloses) {
  Recorder r;
  HMENU m = CreatePopupMenu();
  AppendMenuW(m, MF_STRING, 1, L"Item");
  Watchdog dog(300);
  TrackPopupMenu(m, TPM_RETURNCMD, 150, 150, 0, r.Wnd, nullptr);  // returns only when the menu ends
  EXPECT_TRUE(dog.Fired());
  DestroyMenu(m);
  Watchdog calm(5000);
  calm.Stop();
  EXPECT_FALSE(calm.Fired());
}

// A window waited for (as a modal loop waits for its dialog) that another
// program's window took the activation from: the watchdog still asks it
// to close.
TEST(TestSupportWatchdog, EndsAWaitForAWindowThatLostTheActivation) {
  std::atomic<HWND> other{nullptr};
  std::atomic<DWORD> otherThread{0};
  std::thread elsewhere([&] {
    otherThread = GetCurrentThreadId();
    other = PlainWindow();
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    DestroyWindow(other);
  });
  while (!other) Sleep(1);
  HWND waited = PlainWindow();  // closed, it is gone
  SetForegroundWindow(waited);
  Pump(50);
  SetForegroundWindow(other);
  const bool lost = PumpUntil([] {
    GUITHREADINFO gi{sizeof gi};
    return GetGUIThreadInfo(GetCurrentThreadId(), &gi) && !gi.hwndActive;
  });
  EXPECT_TRUE(lost) << "the other window did not take the activation";
  if (lost) {
    Watchdog dog(300);
    EXPECT_TRUE(PumpUntil([waited] { return !IsWindow(waited); }, 5000));
    EXPECT_TRUE(dog.Fired());
  }
  if (IsWindow(waited)) DestroyWindow(waited);
  PostThreadMessageW(otherThread, WM_QUIT, 0, 0);
  elsewhere.join();
}

TEST(TestSupportInput, ClicksKeysAndTextReachTheWindow) {
  Recorder r;
  Click(ScreenPoint(r.Wnd, 10, 20));
  ASSERT_EQ(r.Kinds(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_EQ(Recorder::Log().back().second.x, 10);
  EXPECT_EQ(Recorder::Log().back().second.y, 20);
  Recorder::Log().clear();
  PressKey('A', {VK_SHIFT});
  TypeText(L"z\u00e9");
  std::vector<LONG> chars;
  for (auto& e : Recorder::Log())
    if (e.first == WM_CHAR) chars.push_back(e.second.x);
  EXPECT_EQ(chars, (std::vector<LONG>{'A', 'z', 0xE9}));
  Recorder::Log().clear();
  DoubleClick(ClientCentre(r.Wnd));
  EXPECT_EQ(r.Kinds(), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
}

TEST(TestSupportInput, ADragPressesMovesAndReleasesAlongItsPath) {
  Recorder r;
  ASSERT_TRUE(Drag({ScreenPoint(r.Wnd, 20, 30), ScreenPoint(r.Wnd, 220, 130), {ScreenPoint(r.Wnd, 120, 30)}, 4}));
  const auto& log = Recorder::Log();
  auto down = std::find_if(log.begin(), log.end(), [](auto& e) { return e.first == WM_LBUTTONDOWN; });
  ASSERT_NE(down, log.end());
  EXPECT_EQ(down->second.x, 20);
  EXPECT_EQ(down->second.y, 30);
  ASSERT_EQ(log.back().first, UINT(WM_LBUTTONUP));
  EXPECT_EQ(log.back().second.x, 220);
  EXPECT_EQ(log.back().second.y, 130);
  EXPECT_GE(std::count_if(down, log.end(), [](auto& e) { return e.first == WM_MOUSEMOVE; }), 2);
  // It passed the corner it was given.
  EXPECT_NE(std::find_if(down, log.end(),
                         [](auto& e) { return e.first == WM_MOUSEMOVE && e.second.x == 120 && e.second.y == 30; }),
            log.end());
  // This test leaves the pointer on its window; the next one must not find it there.
  MoveMouse(ScreenPoint(r.Wnd, 5, 5));
}

TEST(TestSupportInput, EachTestStartsWithThePointerParked) {
  const POINT p = PointerPos(), park = ParkingPlace();
  EXPECT_EQ(p.x, park.x);
  EXPECT_EQ(p.y, park.y);
}

// Windows activated one after the other faster than the display reports
// the focus changes: the late report for an earlier window must not
// activate it again, or two windows take the focus from each other for
// ever and the thread never comes back from its message loop (here the
// runner would end the program).
TEST(TestSupportWindows, WindowsActivatedInARowLeaveTheLastActive) {
  SetTestTimeLimit(15);
  // As after an earlier test: the window with the focus is gone.
  HWND gone = PlainWindow();
  SetForegroundWindow(gone);
  Click(ClientCentre(gone));
  DestroyWindow(gone);
  HWND first = PlainWindow();
  SetForegroundWindow(first);
  HWND second = PlainWindow();
  SetForegroundWindow(second);
  Click(ClientCentre(second));
  Pump(200);
  EXPECT_EQ(GetForegroundWindow(), second);
  DestroyWindow(first);
  DestroyWindow(second);
}

// A window hidden and shown again at once, as a dialog shown twice in a
// row: the display's late report that it lost the focus when hidden must
// not take its activation away. It does when the display ignored the
// focus request of the second showing (MeetTheDisplay tells why). In a
// program of its own, whose first window this is.
TEST(TestSupportWindowsDeathTest, AWindowShownAgainAtOnceKeepsTheActivation) {
  EXPECT_EXIT(
      {
        // The pointer moved; its report waits, as in a test that starts
        // with a window before any message runs.
        const POINT park = ParkingPlace();
        SetCursorPos(park.x - 10, park.y - 10);
        Sleep(300);
        HWND w = PlainWindow();
        SetForegroundWindow(w);
        PumpPending();
        ShowWindow(w, SW_HIDE);
        ShowWindow(w, SW_SHOW);
        SetForegroundWindow(w);
        Pump(300);
        ExitProcess(GetForegroundWindow() == w ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(TestSupportRegistry, AScratchKeyIsNamedAfterTheTestAndLeavesNothing) {
  EXPECT_EQ(Dw(0x01020304), std::string("\x04\x03\x02\x01", 4));
  EXPECT_EQ(Sz(L"A\u0142"), std::string("A\0\x42\x01\0\0", 6));
  std::wstring path;
  {
    ScratchKey k(L"testsupport");
    path = k.Path();
    EXPECT_EQ(path, L"Software\\ZembrioTest\\testsupport\\TestSupportRegistry."
                    L"AScratchKeyIsNamedAfterTheTestAndLeavesNothing");
    k.Write(L"A\\B", L"v", REG_DWORD, Dw(7));
    DWORD t = 0;
    std::string d;
    ASSERT_TRUE(k.Read(L"A\\B", L"v", t, d));
    EXPECT_EQ(t, DWORD(REG_DWORD));
    EXPECT_EQ(d, Dw(7));
    EXPECT_EQ(reg::SubkeyNames(k.Path()), std::vector<std::wstring>{L"A"});
    EXPECT_EQ(reg::ValueNames(k.Path(L"A\\B")), std::vector<std::wstring>{L"v"});
  }
  EXPECT_FALSE(reg::KeyExists(path));
  EXPECT_FALSE(reg::KeyExists(L"Software\\ZembrioTest\\testsupport"));
  // A neighbour keeps the area's key.
  reg::CreateKey(L"Software\\ZembrioTest\\testsupport\\Other");
  { ScratchKey k(L"testsupport"); }
  EXPECT_TRUE(reg::KeyExists(L"Software\\ZembrioTest\\testsupport\\Other"));
  reg::DeleteTree(L"Software\\ZembrioTest\\testsupport");
}

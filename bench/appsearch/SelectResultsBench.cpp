// Choosing rows in a find-results list of 100,000 hits as the user does it,
// against the same input on a list of 100 hits, in the same run (the best
// of a few rounds each). Each round, with the mouse and the keyboard: a
// click on the fourth row, Down, Shift+Down (the rows chosen before each
// are one or two), then Shift+End (every row from there to the last) and
// Home (which drops them all); then Shift+End again and a letter typed
// (which chooses the next hit starting with it alone), and Shift+End again
// and Ctrl+Shift+Up (every row from the mark to the one above the last).
// The headline figure is the time the window thread takes to handle the
// click, Down and Shift+Down on the big list over the time on the small
// one; the keys after Shift+End on the big list are given in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/app/BenchWindow.h"

namespace {

const wchar_t* const kSettings = L"Software\\ZembrioTest\\benchselect\\Settings";
constexpr int kBig = 100000;
constexpr int kSmall = 100;
constexpr int kRounds = 5;
constexpr DWORD kGiveUpMs = 120000;

void ListHits(TfrmMain* W, int Count) {
  W->SearchStarted();
  AddHits(W, Count, [](int i) {
    return new TSearchHit{hkValueName, RegRoot::CurrentUser, L"\\Software\\Vendor\\Hits\\",
                          L"hit" + std::to_wstring(1000000 + i), L""};
  });
  W->SearchFinished();
}

// The program's own loop: the messages that wait, then its idle work
// (which here must not wait for the next message).
void Pump() {
  while (GetQueueStatus(QS_ALLINPUT)) Application->HandleMessage();
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
  MSG msg{};
  Application->Idle(msg);
  while (GetQueueStatus(QS_ALLINPUT)) Application->HandleMessage();
}

// Sends the input and lets the window thread handle it: the time until
// Done holds and no message waits; -1 when Done never came.
template <class F>
double Handle(std::vector<INPUT> In, F Done) {
  bool done = false;
  const double ms = Ms([&] {
    SendInput(UINT(In.size()), In.data(), sizeof(INPUT));
    for (const DWORD start = GetTickCount(); !done && GetTickCount() - start < kGiveUpMs;) {
      Pump();
      done = Done() && !GetQueueStatus(QS_ALLINPUT);
    }
  });
  return done ? ms : -1;
}

INPUT Key(WORD Vk, bool Down) {
  INPUT i{};
  i.type = INPUT_KEYBOARD;
  i.ki.wVk = Vk;
  i.ki.dwFlags = Down ? 0 : KEYEVENTF_KEYUP;
  return i;
}

std::vector<INPUT> Press(WORD Vk, bool Shift = false) {
  std::vector<INPUT> v;
  if (Shift) v.push_back(Key(VK_SHIFT, true));
  v.push_back(Key(Vk, true));
  v.push_back(Key(Vk, false));
  if (Shift) v.push_back(Key(VK_SHIFT, false));
  return v;
}

INPUT Mouse(DWORD Flags, POINT P = {}) {
  INPUT i{};
  i.type = INPUT_MOUSE;
  i.mi.dx = LONG(P.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1));
  i.mi.dy = LONG(P.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1));
  i.mi.dwFlags = Flags | (Flags & MOUSEEVENTF_MOVE ? MOUSEEVENTF_ABSOLUTE : 0);
  return i;
}

struct Times {
  double click = 1e30, down = 1e30, shiftDown = 1e30, shiftEnd = 1e30, home = 1e30, type = 1e30, ctrlShiftUp = 1e30;
  bool ok = true;
  double Few() const { return click + down + shiftDown; }
};

void Best(double& Into, double Ms, bool& Ok) {
  if (Ms < 0) Ok = false;
  Into = std::min(Into, Ms);
}

Times Choose(TfrmMain* W) {
  TListViewQ* lv = W->lvFindResults;
  const HWND h = lv->GetHandle();
  const int n = lv->Items()->GetCount();
  auto focused = [h] { return int(SendMessageW(h, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)); };
  auto selected = [h] { return int(SendMessageW(h, LVM_GETSELECTEDCOUNT, 0, 0)); };
  Times t;
  for (int round = 0; t.ok && round < kRounds; ++round) {
    SetForegroundWindow(W->GetHandle());
    lv->SetFocus();
    SendMessageW(h, LVM_ENSUREVISIBLE, 0, FALSE);
    Pump();
    RECT r{};
    r.left = LVIR_LABEL;
    SendMessageW(h, LVM_GETITEMRECT, 3, LPARAM(&r));
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(h, &p);
    // Not taken for a double click of the last round's.
    Sleep(GetDoubleClickTime() + 50);
    Handle({Mouse(MOUSEEVENTF_MOVE, p)}, [] { return true; });
    Best(t.click, Handle({Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)}, [&] { return focused() == 3; }),
         t.ok);
    Best(t.down, Handle(Press(VK_DOWN), [&] { return focused() == 4; }), t.ok);
    Best(t.shiftDown, Handle(Press(VK_DOWN, true), [&] { return focused() == 5; }), t.ok);
    if (selected() != 2) {
      std::fprintf(stderr, "%d rows chosen after Shift+Down, want 2\n", selected());
      t.ok = false;
    }
    Best(t.shiftEnd, Handle(Press(VK_END, true), [&] { return focused() == n - 1; }), t.ok);
    if (selected() != n - 4) {
      std::fprintf(stderr, "%d rows chosen after Shift+End, want %d\n", selected(), n - 4);
      t.ok = false;
    }
    Best(t.home, Handle(Press(VK_HOME), [&] { return focused() == 0; }), t.ok);
    if (selected() != 1) {
      std::fprintf(stderr, "%d rows chosen after Home, want 1\n", selected());
      t.ok = false;
    }
    // Every caption starts with the root's name: the letter chooses the
    // hit after the focused one (after the last, the first). The list
    // forgets the letters typed before after a while.
    Best(t.shiftEnd, Handle(Press(VK_END, true), [&] { return focused() == n - 1; }), t.ok);
    Sleep(1500);
    Best(t.type, Handle(Press('H'), [&] { return selected() == 1 && focused() == 0; }), t.ok);
    Best(t.shiftEnd, Handle(Press(VK_END, true), [&] { return focused() == n - 1; }), t.ok);
    std::vector<INPUT> ctrlShiftUp = Press(VK_UP, true);
    ctrlShiftUp.insert(ctrlShiftUp.begin(), Key(VK_CONTROL, true));
    ctrlShiftUp.push_back(Key(VK_CONTROL, false));
    Best(t.ctrlShiftUp, Handle(ctrlShiftUp, [&] { return focused() == n - 2; }), t.ok);
    if (selected() != n - 1) {
      std::fprintf(stderr, "%d rows chosen after Ctrl+Shift+Up, want %d\n", selected(), n - 1);
      t.ok = false;
    }
    Handle(Press(VK_HOME), [&] { return selected() == 1; });
  }
  return t;
}

}  // namespace

int main() {
  TfrmMain* w = StartBenchWindow(kSettings, [] {});
  ListHits(w, kSmall);
  const Times small = Choose(w);
  ListHits(w, kBig);
  const Times big = Choose(w);
  const int rc = small.ok && big.ok ? 0 : 1;
  if (rc == 0) {
    std::printf("BENCH appsearch.select_in_100k_hits_ratio %.3f x\n", big.Few() / small.Few());
    std::printf("BENCH appsearch.select_in_100k_hits_click_ms %.1f ms\n", big.click);
    std::printf("BENCH appsearch.select_in_100k_hits_down_ms %.1f ms\n", big.down);
    std::printf("BENCH appsearch.select_in_100k_hits_shift_down_ms %.1f ms\n", big.shiftDown);
    std::printf("BENCH appsearch.select_in_100_hits_ms %.1f ms\n", small.Few());
    std::printf("BENCH appsearch.select_to_end_of_100k_hits_ms %.1f ms\n", big.shiftEnd);
    std::printf("BENCH appsearch.drop_100k_chosen_hits_ms %.1f ms\n", big.home);
    std::printf("BENCH appsearch.type_after_100k_chosen_hits_ms %.1f ms\n", big.type);
    std::printf("BENCH appsearch.ctrl_shift_up_in_100k_chosen_hits_ms %.1f ms\n", big.ctrlShiftUp);
  }
  std::fflush(stdout);
  delete w;
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZembrioTest\\benchselect");
  return rc;
}

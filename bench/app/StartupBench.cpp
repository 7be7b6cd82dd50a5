// Start-up of Zembrio.exe against the system's own registry editor
// (regedit.exe) on the same machine: from the process start to its main
// window shown with the root keys in its tree. Rounds alternate between the
// two programs, and so does which of them starts first in a round (each
// then follows the other's end as often). Each program is ended without
// closing (no settings are written, so every round starts alike), and the
// next start waits a moment after that end, so that neither starts while
// the window system still tears down the other's windows.
//
// The figure is the median, over 31 rounds, of each round's ratio of the
// two programs' times. On a machine that other work keeps busy, a start is
// slowed by whatever else runs at that moment, and that load changes from
// second to second. Ratios of each program's best (or lower-quartile)
// times compare rounds run at different moments: over ten runs of 21
// rounds on an 8-core machine at load averages of 8 to 16, the same two
// programs gave a best-of-each ratio anywhere from 1.01 to 1.48 and a
// lower-quartile ratio from 1.01 to 1.46. The two starts of a round run
// within a second of each other, under much the same load, so their ratio
// cancels most of it, and the median leaves out the rounds in which a
// burst of other work hit only one of the two: over the same rounds it
// ranged from 1.01 to 1.25.
//   BENCH app.startup_vs_regedit <ours / regedit> ratio
// ZEMBRIO_BENCH_DETAIL=1 adds each round's times and each program's best,
// lower-quartile and median time in milliseconds.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/app/ProgramWatch.h"

namespace {

// Enough rounds that the median round is not one that other work disturbed
// on a busy machine.
constexpr int kRounds = 31;
constexpr int kQuartile = kRounds / 4;  // index of the lower quartile, sorted
constexpr DWORD kWatchdogMs = 30000;
// The pause after each end before the next start.
constexpr DWORD kSettleMs = 100;

// Milliseconds from CreateProcess to the ready window; negative on failure.
double TimeStart(const std::wstring& Exe) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + Exe + L"\"";
  auto t0 = std::chrono::steady_clock::now();
  if (!CreateProcessW(Exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  double ms = -1;
  // The program is watched every millisecond at little cost to it: its
  // tree window is looked for among its main thread's windows until found,
  // and then only asked whether it is shown and how many items it holds
  // (going through every window of every process each time would load the
  // window server that both programs need, and slow most the one that
  // makes more requests of it).
  HWND tree = nullptr;
  for (int poll = 0;; ++poll) {
    // Looked for again now and then while the one found is not shown, in
    // case the program has another tree (say in a hidden window).
    if (!tree || !IsWindow(tree) || (poll % 16 == 0 && !IsWindowVisible(tree))) tree = FindTree(pi.dwThreadId);
    if (tree && TreeReady(tree)) {
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;  // ended before it was ready
    if (std::chrono::steady_clock::now() - t0 > std::chrono::milliseconds(kWatchdogMs)) break;
  }
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  Sleep(kSettleMs);
  return ms;
}

}  // namespace

int main() {
  const std::wstring ours = OurProgram();
  const std::wstring theirs = SystemRegedit();

  // One start of each first, unmeasured: the file cache and the window
  // system warm up alike for both.
  TimeStart(ours);
  TimeStart(theirs);
  const bool detail = getenv("ZEMBRIO_BENCH_DETAIL") != nullptr;
  std::vector<double> timesOurs, timesTheirs, ratios;
  for (int i = 0; i < kRounds; ++i) {
    double a, b;
    if (i % 2 == 0) {
      a = TimeStart(ours);
      b = TimeStart(theirs);
    } else {
      b = TimeStart(theirs);
      a = TimeStart(ours);
    }
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "startup bench: %ls did not show its window\n", a < 0 ? ours.c_str() : theirs.c_str());
      return 1;
    }
    if (detail) std::printf("  round %2d: Zembrio %6.1f ms, regedit %6.1f ms\n", i + 1, a, b);
    timesOurs.push_back(a);
    timesTheirs.push_back(b);
    ratios.push_back(a / b);
  }
  std::sort(timesOurs.begin(), timesOurs.end());
  std::sort(timesTheirs.begin(), timesTheirs.end());
  std::sort(ratios.begin(), ratios.end());
  std::printf("BENCH app.startup_vs_regedit %.3f ratio\n", ratios[kRounds / 2]);
  if (detail) {
    std::printf("  best start: Zembrio %.1f ms, regedit %.1f ms\n", timesOurs[0], timesTheirs[0]);
    std::printf("  lower quartile: Zembrio %.1f ms, regedit %.1f ms\n", timesOurs[kQuartile], timesTheirs[kQuartile]);
    std::printf("  median start: Zembrio %.1f ms, regedit %.1f ms\n", timesOurs[kRounds / 2], timesTheirs[kRounds / 2]);
  }
  return 0;
}

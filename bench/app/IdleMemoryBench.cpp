// Resident memory of Zembrio.exe's idle main window against the system's
// own registry editor (regedit.exe) in the same prefix and run. Each
// program is started once first and closed as a user closes it, so that
// its settings exist; every measured start is then a second start. A
// measured start waits for the main window shown with the root keys in its
// tree, then for the message loop to wait for input, then a few seconds
// more of idling; the figure is the program's working set at the end of
// them (under Wine the resident set of the Wine process running it, VmRSS
// of its /proc status). The program is then closed as a user closes it.
//
// Rounds alternate which program starts first; the figure is the median
// of the rounds' ratios (the resident sets differ little from round to
// round: a few pages of the window system's buffers).
//   BENCH app.idle_rss_ratio <ours / regedit> ratio
// ZEMBRIO_BENCH_DETAIL=1 adds each round's sizes and the samples taken
// while each program idles, in kilobytes.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/app/ProgramWatch.h"

namespace {

constexpr int kRounds = 5;
constexpr DWORD kWatchdogMs = 30000;
// How long the idle window is left before its size is read, and how often
// it is sampled meanwhile (for the detail).
constexpr DWORD kIdleMs = 4000;
constexpr DWORD kSampleMs = 500;

struct TRunning {
  PROCESS_INFORMATION Pi{};
  HWND Tree = nullptr;
};

// Starts Exe and waits for its tree shown with the root keys; false (the
// process ended) when it does not come within the watchdog's time.
bool StartReady(const std::wstring& Exe, TRunning& R) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring cmd = L"\"" + Exe + L"\"";
  if (!CreateProcessW(Exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &R.Pi))
    return false;
  const auto t0 = std::chrono::steady_clock::now();
  for (;;) {
    if (!R.Tree || !IsWindow(R.Tree) || !IsWindowVisible(R.Tree)) R.Tree = FindTree(R.Pi.dwThreadId);
    if (R.Tree && TreeReady(R.Tree)) return true;
    if (WaitForSingleObject(R.Pi.hProcess, 5) == WAIT_OBJECT_0) break;
    if (std::chrono::steady_clock::now() - t0 > std::chrono::milliseconds(kWatchdogMs)) break;
  }
  TerminateProcess(R.Pi.hProcess, 1);
  WaitForSingleObject(R.Pi.hProcess, 10000);
  CloseHandle(R.Pi.hThread);
  CloseHandle(R.Pi.hProcess);
  return false;
}

// Closes the program's main window as a user does (so it stores its
// settings) and waits for the program to end; ended by force if it does not.
void CloseAndWait(TRunning& R) {
  PostMessageW(GetAncestor(R.Tree, GA_ROOT), WM_CLOSE, 0, 0);
  if (WaitForSingleObject(R.Pi.hProcess, 15000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "idle memory bench: a program did not end on closing its window\n");
    TerminateProcess(R.Pi.hProcess, 1);
    WaitForSingleObject(R.Pi.hProcess, 10000);
  }
  CloseHandle(R.Pi.hThread);
  CloseHandle(R.Pi.hProcess);
}

size_t ResidentKb(HANDLE Process) {
  PROCESS_MEMORY_COUNTERS c{};
  c.cb = sizeof c;
  return GetProcessMemoryInfo(Process, &c, sizeof c) ? c.WorkingSetSize / 1024 : 0;
}

// The resident size of Exe's idle main window in kilobytes (0 on
// failure); Samples gets the sizes read while it idles.
size_t IdleResidentKb(const std::wstring& Exe, std::vector<size_t>& Samples) {
  TRunning r;
  if (!StartReady(Exe, r)) return 0;
  WaitForInputIdle(r.Pi.hProcess, kWatchdogMs);
  Samples.clear();
  for (DWORD t = 0; t < kIdleMs; t += kSampleMs) {
    Sleep(kSampleMs);
    Samples.push_back(ResidentKb(r.Pi.hProcess));
  }
  CloseAndWait(r);
  Sleep(200);  // the window system tears the closed windows down
  return Samples.back();
}

void PrintSamples(const char* Name, size_t Kb, const std::vector<size_t>& Samples) {
  std::printf("    %-8s %6zu KB  (idle samples:", Name, Kb);
  for (size_t s : Samples) std::printf(" %zu", s);
  std::printf(")\n");
}

}  // namespace

int main() {
  const std::wstring ours = OurProgram();
  const std::wstring theirs = SystemRegedit();
  // The first start of each, closed normally: both programs' settings
  // exist from here on.
  for (const std::wstring* exe : {&ours, &theirs}) {
    TRunning r;
    if (!StartReady(*exe, r)) {
      std::fprintf(stderr, "idle memory bench: %ls did not show its window\n", exe->c_str());
      return 1;
    }
    CloseAndWait(r);
    Sleep(200);
  }
  const bool detail = getenv("ZEMBRIO_BENCH_DETAIL") != nullptr;
  std::vector<double> ratios;
  std::vector<size_t> sizesOurs, sizesTheirs, samplesOurs, samplesTheirs;
  for (int i = 0; i < kRounds; ++i) {
    size_t a, b;
    if (i % 2 == 0) {
      a = IdleResidentKb(ours, samplesOurs);
      b = IdleResidentKb(theirs, samplesTheirs);
    } else {
      b = IdleResidentKb(theirs, samplesTheirs);
      a = IdleResidentKb(ours, samplesOurs);
    }
    if (a == 0 || b == 0) {
      std::fprintf(stderr, "idle memory bench: %ls did not show its window\n", a == 0 ? ours.c_str() : theirs.c_str());
      return 1;
    }
    if (detail) {
      std::printf("  round %d:\n", i + 1);
      PrintSamples("Zembrio", a, samplesOurs);
      PrintSamples("regedit", b, samplesTheirs);
    }
    sizesOurs.push_back(a);
    sizesTheirs.push_back(b);
    ratios.push_back(static_cast<double>(a) / b);
  }
  std::sort(ratios.begin(), ratios.end());
  std::sort(sizesOurs.begin(), sizesOurs.end());
  std::sort(sizesTheirs.begin(), sizesTheirs.end());
  std::printf("BENCH app.idle_rss_ratio %.3f ratio\n", ratios[kRounds / 2]);
  if (detail)
    std::printf("  median: Zembrio %.1f MB, regedit %.1f MB\n", sizesOurs[kRounds / 2] / 1024.0,
                sizesTheirs[kRounds / 2] / 1024.0);
  return 0;
}

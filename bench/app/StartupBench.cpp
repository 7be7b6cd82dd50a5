// Start-up of Zembrio.exe against the system's own registry editor
// (regedit.exe) on the same machine: from the process start to its main
// window shown with the root keys in its tree. Rounds alternate between the
// two programs; the best round of each counts. Each program is ended
// without closing (no settings are written, so every round starts alike).
//   BENCH app.startup_vs_regedit <ours / regedit> ratio
// ZEMBRIO_BENCH_DETAIL=1 adds each program's best time in milliseconds.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr int kRounds = 11;
constexpr DWORD kWatchdogMs = 30000;

struct TFind {
  DWORD Pid;
  HWND Found;
};

// A tree view among the window's descendants holding at least Items items.
bool HasTreeWith(HWND Top, LRESULT Items) {
  struct TTree {
    LRESULT Need;
    bool Ok;
  } t{Items, false};
  EnumChildWindows(
      Top,
      [](HWND W, LPARAM P) -> BOOL {
        auto* t = reinterpret_cast<TTree*>(P);
        // The class is the system's tree view or a class made from it
        // (its name then holds the system class's name).
        wchar_t cls[128];
        if (GetClassNameW(W, cls, 128) && wcsstr(cls, WC_TREEVIEWW) && IsWindowVisible(W) &&
            SendMessageW(W, TVM_GETCOUNT, 0, 0) >= t->Need) {
          t->Ok = true;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&t));
  return t.Ok;
}

// The process's visible top-level window whose tree holds the top item and
// the six root keys.
HWND ReadyWindow(DWORD Pid) {
  TFind f{Pid, nullptr};
  EnumWindows(
      [](HWND W, LPARAM P) -> BOOL {
        auto* f = reinterpret_cast<TFind*>(P);
        DWORD pid = 0;
        GetWindowThreadProcessId(W, &pid);
        if (pid == f->Pid && IsWindowVisible(W) && HasTreeWith(W, 7)) {
          f->Found = W;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

// Milliseconds from CreateProcess to the ready window; negative on failure.
double TimeStart(const std::wstring& Exe) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + Exe + L"\"";
  auto t0 = std::chrono::steady_clock::now();
  if (!CreateProcessW(Exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  double ms = -1;
  for (;;) {
    if (ReadyWindow(pi.dwProcessId)) {
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
  return ms;
}

std::wstring Folder(const std::wstring& Path) { return Path.substr(0, Path.find_last_of(L"\\/")); }

}  // namespace

int main() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  // This program lives in bench\ below the build folder that holds Zembrio.exe.
  std::wstring ours = Folder(Folder(self)) + L"\\Zembrio.exe";
  wchar_t win[MAX_PATH];
  GetWindowsDirectoryW(win, MAX_PATH);
  std::wstring theirs = std::wstring(win) + L"\\regedit.exe";

  // One start of each first, unmeasured: the file cache and the window
  // system warm up alike for both.
  TimeStart(ours);
  TimeStart(theirs);
  double bestOurs = 1e30, bestTheirs = 1e30;
  for (int i = 0; i < kRounds; ++i) {
    double a = TimeStart(ours);
    double b = TimeStart(theirs);
    if (a < 0 || b < 0) {
      std::fprintf(stderr, "startup bench: %ls did not show its window\n", a < 0 ? ours.c_str() : theirs.c_str());
      return 1;
    }
    bestOurs = std::min(bestOurs, a);
    bestTheirs = std::min(bestTheirs, b);
  }
  std::printf("BENCH app.startup_vs_regedit %.3f ratio\n", bestOurs / bestTheirs);
  if (getenv("ZEMBRIO_BENCH_DETAIL"))
    std::printf("  best start: Zembrio %.1f ms, regedit %.1f ms\n", bestOurs, bestTheirs);
  return 0;
}

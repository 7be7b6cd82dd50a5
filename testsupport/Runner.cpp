#include "testsupport/Runner.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "testsupport/Input.h"
#include "testsupport/Watchdog.h"

namespace testsupport {

namespace {

constexpr int kDefaultLimitSeconds = 90;
// Time the watchdog leaves a stuck test to end after it stepped in.
constexpr int kGraceSeconds = 20;

std::atomic<bool> g_anyHung{false};
constexpr UINT kReportHang = WM_APP + 0x7A5;

// Reports the hang inside the test: its message reaches the test's thread
// through whatever loop keeps it waiting.
LRESULT CALLBACK ReportWndProc(HWND W, UINT Msg, WPARAM Wp, LPARAM Lp) {
  if (Msg == kReportHang) {
    ADD_FAILURE() << "the test did not finish within " << static_cast<int>(Wp)
                  << " s; the watchdog ended what it waited for";
    return 0;
  }
  return DefWindowProcW(W, Msg, Wp, Lp);
}

HWND MakeReportWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ReportWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ZembrioTestWatchdog";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

class TestGuards : public ::testing::EmptyTestEventListener {
 public:
  TestGuards() : report_(MakeReportWindow()) {}
  void OnTestStart(const ::testing::TestInfo& Info) override {
    name_ = std::string(Info.test_suite_name()) + "." + Info.name();
    ParkPointer();
    Arm(kDefaultLimitSeconds);
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    const bool fired = dog_ && dog_->Fired();
    dog_.reset();
    if (fired) {
      // Counted even when the report did not reach the test.
      g_anyHung = true;
      std::printf("HANG: %s did not finish within %d s; the watchdog ended its wait\n", name_.c_str(), limit_);
      std::fflush(stdout);
    }
  }
  void Arm(int Seconds) {
    dog_.reset();
    limit_ = Seconds;
    start_ = GetTickCount64();
    const DWORD tid = GetCurrentThreadId();
    const std::string name = name_;
    const ULONGLONG giveUp = start_ + static_cast<ULONGLONG>(Seconds + kGraceSeconds) * 1000;
    const HWND report = report_;
    auto reported = std::make_shared<std::atomic<bool>>(false);
    dog_ = std::make_unique<Watchdog>(Seconds * 1000, [tid, name, giveUp, Seconds, report, reported] {
      if (GetTickCount64() < giveUp) {
        if (!reported->exchange(true)) PostMessageW(report, kReportHang, WPARAM(Seconds), 0);
        Watchdog::UnstickThread(tid);
        return;
      }
      std::printf("\nHANG: %s did not finish within %d s and could not be unstuck\n", name.c_str(),
                  Seconds + kGraceSeconds);
      std::fflush(stdout);
      std::fflush(stderr);
      TerminateProcess(GetCurrentProcess(), 3);
    }, 500);
  }

 private:
  HWND report_;
  std::string name_;
  int limit_ = kDefaultLimitSeconds;
  ULONGLONG start_ = 0;
  std::unique_ptr<Watchdog> dog_;
};

TestGuards* g_guards = nullptr;

}  // namespace

void InstallTestGuards() {
  if (g_guards) return;
  // Before any window is shown, also in a death test's program (which hears
  // no test events).
  MeetTheDisplay();
  g_guards = new TestGuards;
  ::testing::UnitTest::GetInstance()->listeners().Append(g_guards);
}

void SetTestTimeLimit(int Seconds) {
  if (g_guards) g_guards->Arm(Seconds);
}

bool AnyTestHung() { return g_anyHung; }

}  // namespace testsupport

// Threads, synchronised calls (also inside modal loops), shutdown, and the
// hidden utility windows.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "classlib/Thread.h"
#include "testsupport/Pump.h"

using testsupport::PumpUntil;

namespace {

// A thread that runs a given body.
class TBodyThread : public TThread {
 public:
  explicit TBodyThread(std::function<void(TBodyThread*)> body, bool suspended = true)
      : TThread(true), body_(std::move(body)) {
    if (!suspended) Start();
  }
  ~TBodyThread() override {
    if (!GetFreeOnTerminate() && !GetSuspended()) {
      Terminate();
      WaitFor();
    }
  }
  using TThread::SetReturnValue;
  using TThread::Synchronize;

 protected:
  void Execute() override { body_(this); }

 private:
  std::function<void(TBodyThread*)> body_;
};

}  // namespace

TEST(Thread, RunsAndReturnsItsValue) {
  std::atomic<DWORD> ranOn{0};
  TBodyThread t([&](TBodyThread* self) {
    ranOn = GetCurrentThreadId();
    self->SetReturnValue(17);
  });
  EXPECT_TRUE(t.GetSuspended());
  EXPECT_EQ(ranOn.load(), 0u);  // created suspended: nothing ran yet
  t.Start();
  EXPECT_EQ(t.WaitFor(), 17);
  EXPECT_TRUE(t.GetFinished());
  EXPECT_NE(ranOn.load(), GetCurrentThreadId());
  EXPECT_THROW(t.Start(), EThread);
}

TEST(Thread, TerminateIsSeenByTheBody) {
  std::atomic<int> loops{0};
  TBodyThread t([&](TBodyThread* self) {
    while (!self->GetTerminated()) {
      ++loops;
      Sleep(1);
    }
  });
  t.SetPriority(tpLower);
  EXPECT_EQ(t.GetPriority(), tpLower);
  t.Start();
  while (loops.load() == 0) Sleep(1);
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.GetFinished());
}

TEST(Thread, ExceptionInExecuteIsKept) {
  TBodyThread t([](TBodyThread*) { throw EListError(String(L"inside")); });
  t.Start();
  t.WaitFor();
  ASSERT_NE(t.GetFatalException(), nullptr);
  EXPECT_EQ(t.GetFatalException()->Message(), L"inside");
  EXPECT_STREQ(t.GetFatalException()->ClassName(), "EListError");
}

TEST(Thread, SynchronizeRunsOnTheWindowThreadAndRaisesBack) {
  std::atomic<DWORD> syncOn{0};
  std::atomic<bool> gotError{false};
  TBodyThread t([&](TBodyThread* self) {
    self->Synchronize([&] { syncOn = GetCurrentThreadId(); });
    try {
      self->Synchronize([] { throw EConvertError(String(L"from window thread")); });
    } catch (const EConvertError& e) {
      gotError = e.Message() == L"from window thread";
    }
  });
  t.Start();
  // WaitFor on the window thread serves the calls while it waits.
  t.WaitFor();
  EXPECT_EQ(syncOn.load(), GetCurrentThreadId());
  EXPECT_TRUE(gotError.load());
}

TEST(Thread, WaitForLeavesNoWakeUpMessagesOfServedCalls) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_USER, 0x7FFF, PM_REMOVE)) {
  }
  std::atomic<int> served{0};
  TBodyThread t([&](TBodyThread* self) {
    for (int i = 0; i < 300; ++i) self->Synchronize([&] { ++served; });
  });
  t.Start();
  t.WaitFor();
  EXPECT_EQ(served.load(), 300);
  // Every call was served by WaitFor; none may leave a posted message behind.
  int left = 0;
  while (PeekMessageW(&msg, nullptr, WM_USER, 0x7FFF, PM_REMOVE)) ++left;
  EXPECT_EQ(left, 0);
}

TEST(Thread, SynchronizeIsServedByANestedMessageLoop) {
  std::atomic<int> served{0};
  TBodyThread t([&](TBodyThread* self) {
    for (int i = 0; i < 5; ++i) self->Synchronize([&] { ++served; });
  });
  t.Start();
  EXPECT_TRUE(PumpUntil([&] { return served.load() == 5; }));
  t.WaitFor();
}

TEST(Thread, SynchronizeIsServedWhileAMessageBoxIsOpen) {
  std::atomic<bool> servedInsideBox{false};
  static const wchar_t kTitle[] = L"Zembrio sync test";
  TBodyThread t([&](TBodyThread* self) {
    // Wait for the box to appear, then ask the window thread to close it.
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i) {
      box = FindWindowW(L"#32770", kTitle);
      if (!box) Sleep(10);
    }
    self->Synchronize([&] {
      HWND b = FindWindowW(L"#32770", kTitle);
      if (b) {
        servedInsideBox = true;
        PostMessageW(b, WM_COMMAND, IDOK, 0);
      }
    });
  });
  // Safety net: close the box anyway after a while so the test can't hang.
  UINT_PTR timer = SetTimer(nullptr, 0, 15000, [](HWND, UINT, UINT_PTR, DWORD) {
    HWND b = FindWindowW(L"#32770", kTitle);
    if (b) PostMessageW(b, WM_COMMAND, IDOK, 0);
  });
  t.Start();
  MessageBoxW(nullptr, L"Waiting for the worker thread", kTitle, MB_OK);
  KillTimer(nullptr, timer);
  t.WaitFor();
  EXPECT_TRUE(servedInsideBox.load());
}

TEST(Thread, OnTerminateRunsOnTheWindowThreadAndFreeOnTerminateFrees) {
  static std::atomic<bool> destroyed{false};
  struct TSelfFreeing : TThread {
    TSelfFreeing() : TThread(true) {}
    ~TSelfFreeing() override { destroyed = true; }
    void Execute() override {}
  };
  DWORD termOn = 0;
  auto* t = new TSelfFreeing;
  t->SetFreeOnTerminate(true);
  EXPECT_THROW(t->WaitFor(), EThread);
  t->OnTerminate = [&](TObject*) { termOn = GetCurrentThreadId(); };
  t->Start();
  EXPECT_TRUE(PumpUntil([&] { return destroyed.load(); }));
  EXPECT_EQ(termOn, GetCurrentThreadId());
}

TEST(Thread, FreeingAThreadThatNeverStartedDoesNotHang) {
  std::atomic<bool> ran{false};
  auto* t = new TBodyThread([&](TBodyThread*) { ran = true; });
  delete t;
  EXPECT_FALSE(ran.load());
}

TEST(ThreadDeathTest, ShutdownReleasesWaitingWorkers) {
  // In a child process: shutdown is for good.
  EXPECT_EXIT(
      {
        // Watchdog: a deadlock ends the child with another code.
        CreateThread(nullptr, 0, [](void*) -> DWORD { Sleep(20000); ExitProcess(3); }, nullptr, 0, nullptr);
        std::atomic<int> released{0};
        std::atomic<bool> ranAfterShutdown{false};
        TBodyThread t([&](TBodyThread* self) {
          // This call is waiting when the window thread shuts down.
          self->Synchronize([&] { ranAfterShutdown = true; });
          ++released;
          self->Synchronize([&] { ranAfterShutdown = true; });  // after: returns at once
          ++released;
        });
        t.Start();
        Sleep(300);  // the worker is now blocked in its first Synchronize
        ShutdownSynchronize();
        t.WaitFor();
        ExitProcess(released.load() == 2 && !ranAfterShutdown.load() && IsSynchronizeShutDown() ? 0 : 2);
      },
      ::testing::ExitedWithCode(0), "");
}

// ---------------------------------------------------------------------------

TEST(AllocateHWnd, MessagesGoToTheDelegateAndExceptionsStayInside) {
  std::vector<UINT> seen;
  HWND wnd = nullptr;
  wnd = AllocateHWnd(TWndMethodEvent([&](TMessage& m) {
    if (m.Msg == WM_USER + 1) {
      seen.push_back(m.Msg);
      m.Result = 42;
      return;
    }
    if (m.Msg == WM_USER + 2) throw Exception(String(L"handler failed"));
    m.Result = DefWindowProcW(wnd, m.Msg, m.WParam, m.LParam);
  }));
  ASSERT_NE(wnd, nullptr);
  EXPECT_FALSE(IsWindowVisible(wnd));
  EXPECT_EQ(GetParent(wnd), nullptr);  // a top-level window, not message-only
  EXPECT_EQ(SendMessageW(wnd, WM_USER + 1, 0, 0), 42);
  ASSERT_EQ(seen.size(), 1u);

  static String handled;
  auto old = ApplicationHandleExceptionHook;
  ApplicationHandleExceptionHook = [](const Exception& e) { handled = e.Message(); };
  EXPECT_EQ(SendMessageW(wnd, WM_USER + 2, 0, 0), 0);
  ApplicationHandleExceptionHook = old;
  EXPECT_EQ(handled, L"handler failed");
  DeallocateHWnd(wnd);
  EXPECT_FALSE(IsWindow(wnd));
}

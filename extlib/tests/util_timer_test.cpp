#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "classlib/Forms.h"
#include "extlib/ExTimer.h"
#include "testsupport/Pump.h"

using testsupport::Pump;
using testsupport::PumpUntil;

namespace {

struct TickCounter {
  std::atomic<int> Ticks{0};
  std::atomic<int> OffThread{0};
  bool Raise = false;
  void OnTick(TObject*) {
    ++Ticks;
    if (GetCurrentThreadId() != MainThreadID) ++OffThread;
    if (Raise) throw Exception(L"tick failed");
  }
  TNotifyEvent Event() { return TNotifyEvent([this](TObject* S) { OnTick(S); }); }
};

}  // namespace

TEST(ExtTimer, DefaultsAndIdleUntilHandlerIsSet) {
  InitForms();
  InitThreadSynchronization();
  TExtTimer T(nullptr);
  EXPECT_TRUE(T.GetEnabled());
  EXPECT_EQ(T.GetInterval(), 1000u);
  EXPECT_TRUE(T.GetThreaded());
  EXPECT_TRUE(T.SyncEvent);
  EXPECT_EQ(T.GetThreadPriority(), tpNormal);
  EXPECT_EQ(T.GetWindowHandle(), nullptr);
  EXPECT_TRUE(T.GetTimerThread()->Parked());
}

TEST(ExtTimer, ThreadModeRunsHandlerOnWindowThread) {
  InitForms();
  InitThreadSynchronization();
  TickCounter C;
  TExtTimer T(nullptr);
  T.SetInterval(20);
  T.SetOnTimer(C.Event());
  EXPECT_FALSE(T.GetTimerThread()->Parked());
  EXPECT_TRUE(PumpUntil([&] { return C.Ticks.load() > 2; }, 10000));
  EXPECT_EQ(C.OffThread.load(), 0);

  // Another assigned handler keeps it running; unassigned stops it.
  TickCounter C2;
  T.SetOnTimer(C2.Event());
  EXPECT_FALSE(T.GetTimerThread()->Parked());
  T.SetOnTimer(TNotifyEvent());
  EXPECT_TRUE(T.GetTimerThread()->Parked());
  Pump(50);
  int Before = C2.Ticks.load();
  Pump(150);
  EXPECT_EQ(C2.Ticks.load(), Before);
}

TEST(ExtTimer, ZeroIntervalAndDisablingStop) {
  InitForms();
  InitThreadSynchronization();
  TickCounter C;
  TExtTimer T(nullptr);
  T.SetInterval(20);
  T.SetOnTimer(C.Event());
  T.SetInterval(0);
  EXPECT_TRUE(T.GetTimerThread()->Parked());
  EXPECT_NE(T.GetTimerThread(), nullptr);
  Pump(50);
  int Before = C.Ticks.load();
  Pump(150);
  EXPECT_EQ(C.Ticks.load(), Before);
  T.SetInterval(20);
  T.SetEnabled(false);
  Pump(150);
  EXPECT_EQ(C.Ticks.load(), Before);
}

TEST(ExtTimer, UnsynchronisedHandlerRunsOnTimerThreadAndErrorsGoToTheApplication) {
  InitForms();
  InitThreadSynchronization();
  std::atomic<int> Errors{0};
  TExceptionEvent OldHandler = Application->OnException;
  Application->OnException = TExceptionEvent([&](TObject*, const Exception&) { ++Errors; });
  TickCounter C;
  C.Raise = true;
  {
    TExtTimer T(nullptr);
    T.SyncEvent = false;
    T.SetInterval(15);
    T.SetOnTimer(C.Event());
    // The thread keeps going after an error, with this thread not pumping.
    auto enough = [&] { return C.Ticks.load() > 2 && Errors.load() >= 2; };
    for (int i = 0; i < 1000 && !enough(); ++i) Sleep(10);
    EXPECT_TRUE(enough());
  }  // the timer waits for a tick in flight
  EXPECT_EQ(C.OffThread.load(), C.Ticks.load());
  Application->OnException = OldHandler;
}

TEST(ExtTimer, WindowModeAndSwitchingModes) {
  InitForms();
  InitThreadSynchronization();
  TickCounter C;
  TExtTimer T(nullptr);
  T.SetThreaded(false);
  ASSERT_NE(T.GetWindowHandle(), nullptr);
  T.SetInterval(20);
  T.SetOnTimer(C.Event());
  EXPECT_TRUE(T.GetTimerThread()->Parked());
  EXPECT_TRUE(PumpUntil([&] { return C.Ticks.load() > 2; }, 10000));
  EXPECT_EQ(C.OffThread.load(), 0);

  HWND W = T.GetWindowHandle();
  T.SetInterval(0);  // stops but keeps the window
  EXPECT_EQ(T.GetWindowHandle(), W);
  Pump(50);
  int Before = C.Ticks.load();
  Pump(100);
  EXPECT_EQ(C.Ticks.load(), Before);

  T.SetThreadPriority(tpLower);  // stored, applied when threaded again
  T.SetInterval(20);
  T.SetThreaded(true);
  EXPECT_EQ(T.GetWindowHandle(), nullptr);
  EXPECT_FALSE(IsWindow(W));
  EXPECT_FALSE(T.GetTimerThread()->Parked());
  EXPECT_EQ(T.GetTimerThread()->GetPriority(), tpLower);
}

TEST(ExtTimer, WindowModeErrorGoesToApplicationAndKeepsTicking) {
  InitForms();
  InitThreadSynchronization();
  int Errors = 0;
  TExceptionEvent OldHandler = Application->OnException;
  Application->OnException = TExceptionEvent([&](TObject*, const Exception&) { ++Errors; });
  {
    TickCounter C;
    C.Raise = true;
    TExtTimer T(nullptr);
    T.SetThreaded(false);
    T.SetInterval(15);
    T.SetOnTimer(C.Event());
    EXPECT_TRUE(PumpUntil([&] { return Errors >= 2; }, 10000));
  }
  Application->OnException = OldHandler;
}

TEST(ExtTimer, DestroyingARunningTimerIsPromptAndSafe) {
  InitForms();
  InitThreadSynchronization();
  TickCounter C;
  auto T = std::make_unique<TExtTimer>(nullptr);
  T->SetInterval(5000);
  T->SetOnTimer(C.Event());
  DWORD Start = GetTickCount();
  T.reset();
  EXPECT_LT(GetTickCount() - Start, 1000u);

  // A synchronised tick in flight when the timer goes does not run.
  T = std::make_unique<TExtTimer>(nullptr);
  T->SetInterval(1);
  T->SetOnTimer(C.Event());
  Sleep(50);
  int Before = C.Ticks.load();
  T.reset();
  Pump(20);
  EXPECT_EQ(C.Ticks.load(), Before);
}

TEST(ExtTimer, SynchronizeFallsBackToDirectCall) {
  InitForms();
  InitThreadSynchronization();
  TExtTimer T(nullptr);
  int Calls = 0;
  T.Synchronize(TThreadMethod([&] { ++Calls; }));
  EXPECT_EQ(Calls, 1);
}

namespace {

// A copy of the timer thread's handle that outlives the thread object.
HANDLE ThreadHandleOf(TExtTimer* T) {
  HANDLE H = nullptr;
  DuplicateHandle(GetCurrentProcess(), T->GetTimerThread()->GetHandle(), GetCurrentProcess(), &H, SYNCHRONIZE,
                  FALSE, 0);
  return H;
}
}  // namespace

TEST(ExtTimer, TimerFreedByItsOwnHandlerInEveryMode) {
  InitForms();
  InitThreadSynchronization();
  enum { Synchronised, OnTimerThread, WindowMode };
  for (int Mode : {Synchronised, OnTimerThread, WindowMode}) {
    SCOPED_TRACE(Mode);
    std::atomic<TExtTimer*> T{new TExtTimer(nullptr)};
    std::atomic<int> Ticks{0};
    T.load()->SyncEvent = Mode == Synchronised;
    T.load()->SetThreaded(Mode != WindowMode);
    T.load()->SetInterval(10);
    HANDLE Thread = ThreadHandleOf(T.load());
    ASSERT_NE(Thread, nullptr);
    T.load()->SetOnTimer(TNotifyEvent([&](TObject* Sender) {
      ++Ticks;
      delete static_cast<TExtTimer*>(Sender);
      T = nullptr;
    }));
    // The handler returns (no deadlock), runs once, and the thread ends.
    EXPECT_TRUE(PumpUntil([&] { return T.load() == nullptr; }, 10000));
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(Thread, 0) == WAIT_OBJECT_0; }, 10000));
    EXPECT_EQ(Ticks.load(), 1);
    CloseHandle(Thread);
  }
}

namespace {

// A handler that notices being freed while the timer thread copies it. A
// copy made on the timer thread while the race is armed announces itself
// and holds on until the window thread is about to free or replace the
// handler, and a little longer: the window thread must wait for it.
struct TRaceHandler {
  enum : uint32_t { Alive = 0xA11CE5ED, Dead = 0xDEADBEEF };
  static inline std::atomic<bool> Armed{false};
  static inline std::atomic<bool> Copying{false};
  static inline std::atomic<bool> Acting{false};
  static inline std::atomic<int> Faults{0};
  volatile uint32_t Canary = Alive;
  char Bulk[64] = {};  // kept out of the event's own storage: on the heap

  TRaceHandler() = default;
  TRaceHandler(const TRaceHandler& O) {
    if (O.Canary != Alive) ++Faults;
    if (GetCurrentThreadId() != MainThreadID && Armed.exchange(false)) {
      Copying = true;
      for (DWORD Start = GetTickCount(); !Acting && GetTickCount() - Start < 5000;) Sleep(0);
      for (DWORD Start = GetTickCount(); GetTickCount() - Start < 3;) Sleep(0);
      if (O.Canary != Alive) ++Faults;
      Copying = false;
    }
    memcpy(Bulk, O.Bulk, sizeof Bulk);
  }
  ~TRaceHandler() { Canary = Dead; }
  void operator()(TObject*) const {}

  // Arms the race and waits until a tick is inside a copy.
  static bool ArmAndWait() {
    Acting = false;
    Armed = true;
    for (DWORD Start = GetTickCount(); !Copying; Sleep(0))
      if (GetTickCount() - Start > 10000) return false;
    Acting = true;
    return true;
  }
  static void WaitCopyDone() {
    for (DWORD Start = GetTickCount(); Copying && GetTickCount() - Start < 10000;) Sleep(0);
  }
};

}  // namespace

TEST(ExtTimer, HandlerFreedOrReplacedDuringAnUnsynchronisedTickIsNotUsedAfterFree) {
  InitForms();
  InitThreadSynchronization();
  TRaceHandler::Faults = 0;
  // A handler copied from a freed one may fail to run: counted, not shown.
  std::atomic<int> Errors{0};
  TExceptionEvent OldHandler = Application->OnException;
  Application->OnException = TExceptionEvent([&](TObject*, const Exception&) { ++Errors; });
  struct TRestore {
    TExceptionEvent& Saved;
    ~TRestore() { Application->OnException = Saved; }
  } Restore{OldHandler};
  for (int I = 0; I < 100; ++I) {
    // Destroyed while a tick copies its handler.
    auto* T = new TExtTimer(nullptr);
    T->SyncEvent = false;
    T->SetInterval(1);
    T->SetOnTimer(TNotifyEvent(TRaceHandler()));
    ASSERT_TRUE(TRaceHandler::ArmAndWait());
    delete T;
    TRaceHandler::WaitCopyDone();
  }
  {
    // Given another handler while a tick copies the old one.
    TExtTimer T(nullptr);
    T.SyncEvent = false;
    T.SetInterval(1);
    T.SetOnTimer(TNotifyEvent(TRaceHandler()));
    for (int I = 0; I < 100; ++I) {
      ASSERT_TRUE(TRaceHandler::ArmAndWait());
      T.SetOnTimer(TNotifyEvent(TRaceHandler()));
      TRaceHandler::WaitCopyDone();
    }
  }
  EXPECT_EQ(TRaceHandler::Faults.load(), 0);
  EXPECT_EQ(Errors.load(), 0);
}

#include "extlib/tests/FormStream.h"

TEST(ExtTimer, PublishedPropertiesTravelInTheFormStreamInTheirOrder) {
  InitForms();
  InitThreadSynchronization();
  TMemoryStream S;
  TComponent Plain(nullptr);
  (new TExtTimer(&Plain))->SetName(L"Ticker");
  formstream::Write(&Plain, S);
  for (const char* Name : {"Enabled", "Interval", "SyncEvent", "Threaded", "ThreadPriority"})
    EXPECT_FALSE(formstream::Holds(S, Name)) << Name;

  TComponent Source(nullptr);
  auto* T = new TExtTimer(&Source);
  T->SetName(L"Ticker");
  T->SetThreadPriority(tpHigher);
  T->SyncEvent = false;
  T->SetInterval(250);
  T->SetEnabled(false);
  T->SetThreaded(false);
  TComponent Copy(nullptr);
  auto* R = new TExtTimer(&Copy);
  R->SetName(L"Ticker");
  T->SetOnTimer(formstream::Offer<TNotifyEvent>(L"Tick", {&Source, &Copy}));
  formstream::ExpectRoundTrip(&Source, &Copy, S);
  formstream::ExpectStored(S, {"Enabled", "Interval", "SyncEvent", "Threaded", "ThreadPriority", "OnTimer"});
  EXPECT_EQ(R->GetOnTimer(), T->GetOnTimer());
  EXPECT_NE(R->GetWindowHandle(), nullptr);  // window mode, idle
  // Written in the published order, whatever order they were set in.
  std::string Bytes = formstream::Body(S);
  size_t Last = 0;
  for (const char* Name : {"Enabled", "Interval", "SyncEvent", "Threaded", "ThreadPriority"}) {
    size_t At = Bytes.find(Name);
    ASSERT_NE(At, std::string::npos) << Name;
    EXPECT_GT(At, Last) << Name;
    Last = At;
  }
}

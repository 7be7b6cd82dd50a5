#include "extlib/ExTimer.h"

#include "classlib/Forms.h"
#include "classlib/Graphics.h"
#include "extlib/ExFiler.h"

// ---------------------------------------------------------------------------
// TTimerThread

namespace {
struct TLockGuard {
  CRITICAL_SECTION& CS;
  explicit TLockGuard(CRITICAL_SECTION& C) : CS(C) { EnterCriticalSection(&CS); }
  ~TLockGuard() { LeaveCriticalSection(&CS); }
};
}  // namespace

TTimerThread::TTimerThread(TExtTimer* AOwner)
    : TThread(true), owner_(AOwner), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  InitializeCriticalSection(&lock_);
  SetFreeOnTerminate(false);
}

TTimerThread::~TTimerThread() {
  // Deleted by Detach (the run is over or never began) or by the thread
  // itself at its end: nothing waits on the event any more.
  if (!GetFinished() && !GetSuspended() && GetCurrentThreadId() != GetThreadID()) {
    Terminate();
    SetEvent(wake_);
    WaitFor();
  }
  if (wake_) CloseHandle(wake_);
  DeleteCriticalSection(&lock_);
}

void TTimerThread::Suspend() {
  active_ = false;
  SetEvent(wake_);
}

void TTimerThread::Resume() {
  active_ = true;
  SetEvent(wake_);
  if (GetSuspended()) Start();
}

void TTimerThread::SetInterval(DWORD AInterval) {
  interval_ = AInterval;
  SetEvent(wake_);
}

void TTimerThread::Lock() {
  // A tick running on the timer thread holds the lock; it may wait for the
  // window thread (a synchronised call, a message sent to a window), so the
  // window thread keeps serving both while it waits.
  bool OnWindowThread = GetCurrentThreadId() == MainThreadID;
  while (!TryEnterCriticalSection(&lock_)) {
    if (OnWindowThread) {
      CheckSynchronize();
      MSG M;
      PeekMessageW(&M, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
    } else {
      Sleep(1);
    }
  }
}

void TTimerThread::Unlock() { LeaveCriticalSection(&lock_); }

void TTimerThread::Detach() {
  if (GetSuspended()) {  // never started: nothing runs, nothing waits
    delete this;
    return;
  }
  Lock();
  owner_ = nullptr;
  active_ = false;
  bool Ended = ended_;
  if (!Ended) {
    orphaned_ = true;
    Terminate();
    SetEvent(wake_);
  }
  LeaveCriticalSection(&lock_);
  if (Ended) delete this;
}

bool TTimerThread::Closed() const {
  return GetTerminated() || (Application && Application->Terminated()) || owner_.load() == nullptr;
}

void TTimerThread::HandleThreadException(const Exception& E) {
  if (dynamic_cast<const EAbort*>(&E)) return;
  if (!Application) return;
  if (Application->OnException)
    Application->OnException(this, E);
  else
    Application->ShowException(E);
}

void TTimerThread::SyncTick() {
  // Runs on the window thread, where the owner is freed too.
  if (TExtTimer* Owner = owner_.load()) Owner->Timer();
}

void TTimerThread::Tick() {
  TLockGuard Guard(lock_);
  TExtTimer* Owner = owner_.load();
  if (!Owner || !active_ || !Owner->enabled_) return;
  if (Owner->SyncEvent) {
    // Not under the lock: the handler may free the timer (Detach takes it).
    LeaveCriticalSection(&lock_);
    struct Relock {
      CRITICAL_SECTION& CS;
      ~Relock() { EnterCriticalSection(&CS); }
    } Again{lock_};
    TThread::Synchronize(this, TThreadMethod(this, &TTimerThread::SyncTick));
    return;
  }
  try {
    Owner->Timer();
  } catch (const Exception& E) {
    HandleThreadException(E);
  } catch (const std::exception& E) {
    HandleThreadException(Exception(String(E.what(), E.what() + strlen(E.what()))));
  }
}

void TTimerThread::Finish() {
  TLockGuard Guard(lock_);
  ended_ = true;
  // Read by the thread's start routine once Execute has returned.
  if (orphaned_) SetFreeOnTerminate(true);
}

void TTimerThread::Execute() {
  try {
    while (!GetTerminated()) {
      if (Closed()) break;
      // Parked: wait until reconfigured. Running: a time-out is a tick, a
      // wake-up only restarts the wait with the new settings.
      DWORD Wait = active_ ? interval_.load() : INFINITE;
      if (WaitForSingleObject(wake_, Wait) != WAIT_TIMEOUT) continue;
      if (Closed()) continue;
      Tick();
    }
  } catch (...) {
    // A synchronised handler's exception ends the thread.
    Finish();
    throw;
  }
  Finish();
}

// ---------------------------------------------------------------------------
// TExtTimer

TExtTimer::TExtTimer(TComponent* AOwner) : TComponent(AOwner) { thread_ = new TTimerThread(this); }

TExtTimer::~TExtTimer() {
  // A tick on the timer thread reads both under its lock.
  thread_->Lock();
  Destroying();
  enabled_ = false;
  thread_->Unlock();
  // The thread is not waited for (this may run inside its own tick): it
  // stops reaching this timer at once and frees itself when it ends. Only
  // then does the handler go: a tick on the timer thread copies it under
  // the thread's lock, which Detach takes.
  thread_->Detach();
  thread_ = nullptr;
  onTimer_ = TNotifyEvent();
  if (wnd_) {
    KillTimer(wnd_, 1);
    DeallocateHWnd(wnd_);
    wnd_ = nullptr;
  }
}

bool TExtTimer::Running() const { return interval_ != 0 && enabled_ && static_cast<bool>(onTimer_); }

void TExtTimer::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  UpdateTimer();
}

void TExtTimer::SetInterval(unsigned Value) {
  if (Value == interval_) return;
  interval_ = Value;
  UpdateTimer();
}

void TExtTimer::SetThreaded(bool Value) {
  if (Value == threaded_) return;
  threaded_ = Value;
  UpdateTimer();
}

void TExtTimer::SetThreadPriority(TThreadPriority Value) {
  if (Value == priority_) return;
  priority_ = Value;
  if (threaded_) UpdateTimer();
}

void TExtTimer::SetOnTimer(const TNotifyEvent& Value) {
  bool WasAssigned = static_cast<bool>(onTimer_);
  {
    // Not while a tick on the timer thread copies the old handler.
    thread_->Lock();
    struct TUnlock {
      TTimerThread* T;
      ~TUnlock() { T->Unlock(); }
    } Unlock{thread_};
    onTimer_ = Value;
  }
  if (WasAssigned != static_cast<bool>(Value)) UpdateTimer();
}

void TExtTimer::Synchronize(TThreadMethod Method) {
  if (thread_ && !thread_->Parked() && !thread_->GetSuspended() && !thread_->GetTerminated())
    TThread::Synchronize(thread_, std::move(Method));
  else
    Method();
}

void TExtTimer::Timer() {
  if (!enabled_ || IsDestroying() || !onTimer_) return;
  // A copy: the handler may free this timer, and with it onTimer_.
  TNotifyEvent Handler = onTimer_;
  Handler(this);
}

void TExtTimer::UpdateTimer() {
  if (threaded_) {
    if (wnd_) {
      KillTimer(wnd_, 1);
      DeallocateHWnd(wnd_);
      wnd_ = nullptr;
    }
    if (!thread_->Parked()) thread_->Suspend();
    thread_->SetInterval(interval_);
    if (Running()) {
      thread_->SetPriority(priority_);
      thread_->Resume();
    }
  } else {
    if (!thread_->Parked()) thread_->Suspend();
    if (!wnd_)
      wnd_ = AllocateHWnd(TWndMethodEvent(this, &TExtTimer::WndProc));
    else
      KillTimer(wnd_, 1);
    if (Running() && SetTimer(wnd_, 1, interval_, nullptr) == 0)
      throw EOutOfResources(L"Not enough timers available");
  }
}

void TExtTimer::WndProc(TMessage& Message) {
  if (Message.Msg == WM_TIMER) {
    try {
      Timer();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
    return;
  }
  Message.Result = DefWindowProcW(wnd_, Message.Msg, Message.WParam, Message.LParam);
}

// ---------------------------------------------------------------------------
// Form streams

void TExtTimer::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* A = dynamic_cast<TExtTimer*>(Filer->GetAncestor());
  using namespace ExFiler;
  Boolean(Filer, L"Enabled", enabled_, A ? A->GetEnabled() : true, [this](bool V) { SetEnabled(V); });
  Integer(Filer, L"Interval", interval_, A ? A->GetInterval() : 1000,
          [this](int64_t V) { SetInterval(static_cast<unsigned>(V)); });
  Boolean(Filer, L"SyncEvent", SyncEvent, A ? A->SyncEvent.load() : true, [this](bool V) { SyncEvent = V; });
  Boolean(Filer, L"Threaded", threaded_, A ? A->threaded_ : true, [this](bool V) { SetThreaded(V); });
  Enum(Filer, L"ThreadPriority", priority_, A ? A->priority_ : tpNormal,
       {L"tpIdle", L"tpLowest", L"tpLower", L"tpNormal", L"tpHigher", L"tpHighest", L"tpTimeCritical"},
       [this](int V) { SetThreadPriority(static_cast<TThreadPriority>(V)); });
  EventVia(Filer, L"OnTimer", GetOnTimer(), A ? &A->GetOnTimer() : nullptr,
           [this](const TNotifyEvent& E) { SetOnTimer(E); });
}

void ExTimerInitialize() { RegisterClass(ComponentClass<TExtTimer>(L"TExtTimer")); }
void ExTimerFinalize() { UnRegisterClass(L"TExtTimer"); }

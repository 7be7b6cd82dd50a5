#include "extlib/ExTimer.h"

#include "classlib/Forms.h"
#include "classlib/Graphics.h"

// ---------------------------------------------------------------------------
// TTimerThread

TTimerThread::TTimerThread(TExtTimer* AOwner)
    : TThread(true), owner_(AOwner), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  SetFreeOnTerminate(false);
}

TTimerThread::~TTimerThread() {
  Stop();
  if (wake_) CloseHandle(wake_);
}

void TTimerThread::Configure(bool AActive, DWORD AInterval) {
  interval_ = AInterval;
  active_ = AActive;
  SetEvent(wake_);
}

void TTimerThread::Stop() {
  if (GetFinished() || GetHandle() == nullptr) return;
  active_ = false;
  Terminate();
  SetEvent(wake_);
  if (GetSuspended()) Start();  // never started: let it run to its end
  WaitFor();
}

bool TTimerThread::Closed() const {
  return GetTerminated() || (Application && Application->Terminated()) || owner_ == nullptr;
}

void TTimerThread::HandleThreadException(const Exception& E) {
  if (dynamic_cast<const EAbort*>(&E)) return;
  if (!Application) return;
  if (Application->OnException)
    Application->OnException(this, E);
  else
    Application->ShowException(E);
}

void TTimerThread::Execute() {
  while (!GetTerminated()) {
    if (Closed()) break;
    // Parked: wait until reconfigured. Running: a time-out is a tick, a
    // wake-up only restarts the wait with the new settings.
    DWORD Wait = active_ ? interval_.load() : INFINITE;
    if (WaitForSingleObject(wake_, Wait) != WAIT_TIMEOUT) continue;
    if (Closed() || !active_ || !owner_->enabled_) continue;
    if (owner_->SyncEvent) {
      TThread::Synchronize(this, TThreadMethod(owner_, &TExtTimer::Timer));
    } else {
      try {
        owner_->Timer();
      } catch (const Exception& E) {
        HandleThreadException(E);
      } catch (const std::exception& E) {
        HandleThreadException(Exception(String(E.what(), E.what() + strlen(E.what()))));
      }
    }
  }
}

// ---------------------------------------------------------------------------
// TExtTimer

TExtTimer::TExtTimer(TComponent* AOwner) : TComponent(AOwner) { thread_ = new TTimerThread(this); }

TExtTimer::~TExtTimer() {
  Destroying();
  enabled_ = false;
  onTimer_ = TNotifyEvent();
  // Waits for the thread: it reads this timer's fields until it ends. A
  // synchronised tick waiting meanwhile runs and finds the timer disabled.
  delete thread_;
  thread_ = nullptr;
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
  onTimer_ = Value;
  if (WasAssigned != static_cast<bool>(Value)) UpdateTimer();
}

void TExtTimer::Synchronize(TThreadMethod Method) {
  if (thread_ && thread_->IsActive() && !thread_->GetSuspended() && !thread_->GetTerminated())
    TThread::Synchronize(thread_, std::move(Method));
  else
    Method();
}

void TExtTimer::Timer() {
  if (enabled_ && !IsDestroying() && onTimer_) onTimer_(this);
}

void TExtTimer::UpdateTimer() {
  if (threaded_) {
    if (wnd_) {
      KillTimer(wnd_, 1);
      DeallocateHWnd(wnd_);
      wnd_ = nullptr;
    }
    bool Run = Running();
    if (Run) thread_->SetPriority(priority_);
    thread_->Configure(Run, interval_);
    if (Run && thread_->GetSuspended()) thread_->Start();
  } else {
    thread_->Configure(false, interval_);
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

void ExTimerInitialize() {}
void ExTimerFinalize() {}

// A non-visual timer that fires OnTimer either from a thread of its own
// (so it keeps ticking while the window thread sits in a modal loop; with
// SyncEvent the handler still runs on the window thread) or from WM_TIMER
// of a hidden utility window.
#pragma once

#include <atomic>

#include "classlib/Classes.h"
#include "classlib/Thread.h"

class TExtTimer;

// The worker of a threaded TExtTimer. It waits on an event instead of being
// suspended, so it never stops while holding a lock. The timer does not
// wait for it when it goes: it hands the thread over (Detach), and the
// thread ends at its next wake-up and frees itself. A timer may so be freed
// by its own OnTimer, synchronised or not.
class TTimerThread : public TThread {
 public:
  explicit TTimerThread(TExtTimer* AOwner);
  ~TTimerThread() override;

  // Parks the thread: no tick begins until Resume. Unlike suspending the
  // system thread, this never stops it while it holds a lock (the heap's,
  // the synchronisation queue's). A tick already running is not waited for.
  void Suspend();
  // Starts the thread on first use, else wakes it from its park.
  void Resume();
  // Parked (or never started).
  bool Parked() const { return !active_.load(); }
  // Takes effect at once: a running wait starts over with the new length.
  void SetInterval(DWORD AInterval);
  DWORD GetInterval() const { return interval_.load(); }
  // The owner goes: no tick reaches it from now on. Waits only for a tick
  // running on the timer thread itself (never for the window thread); the
  // thread, or this call, frees the object.
  void Detach();
  // The lock a tick on the timer thread holds while it reads its owner.
  // Taken on the window thread, it keeps serving synchronised calls and
  // sent messages while it waits (the tick may be waiting for them).
  void Lock();
  void Unlock();

 protected:
  void Execute() override;

 private:
  bool Closed() const;
  void Tick();
  // A synchronised tick, run on the window thread.
  void SyncTick();
  void HandleThreadException(const Exception& E);
  void Finish();

  std::atomic<TExtTimer*> owner_;
  HANDLE wake_;
  std::atomic<bool> active_{false};
  std::atomic<DWORD> interval_{1000};
  // Held while the thread reads its owner or runs an unsynchronised tick.
  CRITICAL_SECTION lock_;
  bool orphaned_ = false;  // detached: frees itself when it ends
  bool ended_ = false;     // Execute is over
};

class TExtTimer : public TComponent {
 public:
  explicit TExtTimer(TComponent* AOwner);
  ~TExtTimer() override;
  const char* ClassName() const override { return "TExtTimer"; }

  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool Value);
  unsigned GetInterval() const { return interval_; }
  void SetInterval(unsigned Value);
  bool GetThreaded() const { return threaded_; }
  void SetThreaded(bool Value);
  TThreadPriority GetThreadPriority() const { return priority_; }
  void SetThreadPriority(TThreadPriority Value);
  const TNotifyEvent& GetOnTimer() const { return onTimer_; }
  void SetOnTimer(const TNotifyEvent& Value);
  // Run the handler on the window thread (thread mode only).
  std::atomic<bool> SyncEvent{true};

  // Runs Method on the window thread through the timer thread when that is
  // running, else directly on the calling thread.
  void Synchronize(TThreadMethod Method);

  // The hidden window of the window mode (nullptr in thread mode).
  HWND GetWindowHandle() const { return wnd_; }
  TTimerThread* GetTimerThread() const { return thread_; }

  // Calls OnTimer unless disabled or being destroyed.
  virtual void Timer();

 protected:
  // Enabled, Interval, SyncEvent, Threaded and ThreadPriority, in this
  // order, each where it differs from its default.
  void DefineProperties(TFiler* Filer) override;

 private:
  friend class TTimerThread;
  void UpdateTimer();
  void WndProc(TMessage& Message);
  bool Running() const;

  std::atomic<bool> enabled_{true};
  unsigned interval_ = 1000;
  TNotifyEvent onTimer_;
  HWND wnd_ = nullptr;
  bool threaded_ = true;
  TTimerThread* thread_ = nullptr;
  TThreadPriority priority_ = tpNormal;
};

void ExTimerInitialize();
void ExTimerFinalize();

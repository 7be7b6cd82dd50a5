// Worker threads with calls synchronised to the window thread, and hidden
// utility windows whose messages go to a delegate. Windows only.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <memory>

#include "classlib/Classes.h"
#include "classlib/Messages.h"

ZEMBRIO_DECLARE_EXCEPTION(EThread, Exception)

// ---------------------------------------------------------------------------
// Hidden utility windows.

using TWndMethodEvent = TEvent<void(TMessage&)>;

// Creates a hidden top-level window (not a message-only one: those miss
// broadcasts) owned by the calling thread; every message it gets goes to
// Method, which sets Message.Result and calls DefWindowProcW itself for
// messages it does not handle. An exception escaping Method goes to the
// application's exception handler.
HWND AllocateHWnd(TWndMethodEvent Method);
void DeallocateHWnd(HWND Wnd);

// ---------------------------------------------------------------------------
// Synchronisation with the window thread.

using TThreadMethod = TEvent<void()>;

// The window thread: the thread that loaded the program, unless changed.
extern DWORD MainThreadID;

// Creates the hidden window through which worker threads wake the window
// thread (call on the window thread; TThread's constructor does it when run
// there). Any message loop of the window thread, a modal dialog's or a
// menu's included, then runs synchronised calls as they arrive.
void InitThreadSynchronization();
// Runs the synchronised calls waiting now (window thread only); true when
// one ran. Loops that don't dispatch messages may call it.
bool CheckSynchronize();
// Stops synchronisation for good: waiting and later Synchronize calls of
// worker threads return at once without running their method. Call on the
// window thread when the application shuts down, before waiting for workers.
void ShutdownSynchronize();
bool IsSynchronizeShutDown();

// ---------------------------------------------------------------------------
// TThread

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
 public:
  // With CreateSuspended the thread waits for Start (or Resume).
  explicit TThread(bool CreateSuspended);
  // Terminates the thread and waits for it when it still runs. A derived
  // class whose Execute uses its own members must stop the thread in its
  // own destructor (Terminate(); WaitFor();), since those members are gone
  // by the time this destructor runs.
  ~TThread() override;

  // Starts a thread created suspended; raises EThread when it already runs.
  void Start();
  void Resume() { Start(); }
  // Sets the terminate flag; Execute is expected to test it and end.
  void Terminate();
  bool GetTerminated() const { return terminated_.load(); }
  // Waits for the end of the run and returns ReturnValue. On the window
  // thread it keeps running synchronised calls meanwhile. Raises EThread for
  // a thread that frees itself (it may be gone already) or on itself.
  int WaitFor();

  TThreadPriority GetPriority() const { return priority_; }
  void SetPriority(TThreadPriority Value);
  bool GetFreeOnTerminate() const { return freeOnTerminate_; }
  void SetFreeOnTerminate(bool Value) { freeOnTerminate_ = Value; }
  int GetReturnValue() const { return returnValue_; }
  bool GetFinished() const { return finished_.load(); }
  bool GetSuspended() const { return suspended_; }
  HANDLE GetHandle() const { return handle_; }
  DWORD GetThreadID() const { return threadId_; }
  // The exception that ended Execute, or nullptr; owned by the thread.
  const Exception* GetFatalException() const { return fatalException_.get(); }

  // Runs on the window thread when the run has ended (before a thread that
  // frees itself goes).
  TNotifyEvent OnTerminate;

  // Runs Method on the window thread and returns when it has finished; an
  // exception that Method raises is raised again in the calling thread. On
  // the window thread itself Method runs at once. After ShutdownSynchronize
  // nothing runs and the call returns at once.
  static void Synchronize(TThread* Thread, TThreadMethod Method);

 protected:
  virtual void Execute() = 0;
  void Synchronize(TThreadMethod Method) { Synchronize(this, std::move(Method)); }
  // Calls OnTerminate on the window thread.
  virtual void DoTerminate();
  void SetReturnValue(int Value) { returnValue_ = Value; }

 private:
  static unsigned __stdcall ThreadProc(void* Param);
  void WaitForEnd();

  HANDLE handle_ = nullptr;
  DWORD threadId_ = 0;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool suspended_ = false;
  bool freeOnTerminate_ = false;
  TThreadPriority priority_ = tpNormal;
  int returnValue_ = 0;
  std::unique_ptr<Exception> fatalException_;
};

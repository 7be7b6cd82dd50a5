// The search thread: walks the registry (all six root keys or one subtree)
// on a worker thread and hands every hit, progress text, expression error,
// exception and its end to the window thread, waiting each time until the
// window thread has handled it. Windows only.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "app/SearchMatch.h"
#include "classlib/Events.h"

class TRegKey;

// Calls made by worker threads that run on the window thread. The window
// thread runs them in CheckSynchronize (its message loop calls it when
// WakeMainThread tells it that a call waits).
class TAppSync {
 public:
  // From a worker: runs f on the window thread and returns when it has
  // run. Exceptions of f are caught there and handed to the application's
  // exception handler.
  static void Synchronize(const std::function<void()>& f);
  // On the window thread: runs the waiting calls; waits up to TimeoutMs for
  // one to arrive when none waits. Returns true when any ran.
  static bool CheckSynchronize(unsigned TimeoutMs = 0);
  // Called (on the worker) each time a call is queued; the application
  // binds it to wake its message loop.
  static TEvent<void()> WakeMainThread;
  // The window thread's id (the thread that runs the calls); set by the
  // first CheckSynchronize or explicitly.
  static void SetMainThread();
  static bool InMainThread();
};

struct TSearchEvents {
  TEvent<void(const TSearchHit&)> OnResult;
  TEvent<void(const String&)> OnProgress;
  TEvent<void(const String&)> OnRegexError;
  TEvent<void(const Exception&, const String&)> OnException;
  TEvent<void()> OnFinished;
};

class TthrdRegSearch {
 public:
  // Copies the find options and starts the run at a priority one step
  // below normal.
  TthrdRegSearch(const TSearchInput& Input, const TSearchEvents& Events);
  // Stops the run if needed and waits for it.
  ~TthrdRegSearch();
  TthrdRegSearch(const TthrdRegSearch&) = delete;
  TthrdRegSearch& operator=(const TthrdRegSearch&) = delete;

  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // True once the run has made its finish report.
  bool Finished() const { return finished_; }
  // Waits for the end of the run. On the window thread it keeps running
  // the thread's synchronised calls meanwhile, so it can't deadlock.
  void WaitFor();

  // Keys visited, shared by all searches: progress is reported on every
  // 102nd key.
  static std::atomic<int> ProgressCounter;

 private:
  void Execute();
  void Search();
  void SearchKey(TRegKey& Key, const String& Path);
  void Report(uint8_t Kind, const String& Path, const String& ValueName, const String& Data);

  TSearchInput input_;
  TSearchEvents events_;
  TRegRoot root_ = RegRoot::None;
  std::unique_ptr<TSearchMatcher> matcher_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

extern const wchar_t* const SearchExceptionText;  // "An exception occurred in the search thread."

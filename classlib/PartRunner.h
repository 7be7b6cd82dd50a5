// Work cut into parts run on a few threads, and the slim lock and
// condition variable it waits on. Windows only.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A lock and a condition variable over the system's slim lock and condition
// variable. The C++ library's are built on semaphores here, and under Wine
// every wait and wake on those is a round trip to the system's server (about
// ten times the cost); these wait and wake without one.
class TSlimLock {
 public:
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }
  SRWLOCK* Handle() { return &lock_; }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class TSlimCondition {
 public:
  template <class Pred>
  void Wait(std::unique_lock<TSlimLock>& Held, Pred Ready) {
    while (!Ready()) SleepConditionVariableSRW(&cond_, Held.mutex()->Handle(), INFINITE, 0);
  }
  void NotifyOne() { WakeConditionVariable(&cond_); }
  void NotifyAll() { WakeAllConditionVariable(&cond_); }

 private:
  CONDITION_VARIABLE cond_ = CONDITION_VARIABLE_INIT;
};

// Runs Work(i) for every part index on a few threads, taking the parts in
// order; WaitFor(i) waits for part i. The threads run at most Ahead parts
// beyond the last part waited for, so what the parts collect is held for a
// bounded stretch only. Work must not throw. Without threads (none could
// start) WaitFor runs the parts itself. The destructor stops and waits for
// the threads.
class TPartRunner {
 public:
  TPartRunner(size_t Count, std::function<void(size_t)> Work, unsigned Threads = 4, bool LowerPriority = false,
              size_t Ahead = 64);
  ~TPartRunner();
  TPartRunner(const TPartRunner&) = delete;
  TPartRunner& operator=(const TPartRunner&) = delete;

  // True once part i is done; false when the runner was stopped before the
  // part was taken.
  bool WaitFor(size_t i);
  // No part is taken after this; those under way finish.
  void Stop();

 private:
  void Run();
  size_t count_;
  std::function<void(size_t)> work_;
  TSlimLock lock_;
  TSlimCondition changed_;
  std::vector<char> done_;
  size_t next_ = 0;
  size_t waited_ = 0;  // the highest part waited for
  size_t ahead_;
  unsigned active_ = 0;
  bool stopped_ = false;
  bool lower_ = false;
  std::vector<std::thread> threads_;
};

// Work run on a thread of its own while the thread that started it waits in
// a loop of its own (painting, or pumping its messages): the end of the
// work is signalled on an event that the loop can wait on.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <thread>

class TWorkerRun {
 public:
  // Starts Work, which must outlive this object. Raises when no thread
  // can be started for it; Work has not run then.
  explicit TWorkerRun(const std::function<void()>& Work);
  // Waits for the work when Finish was not reached.
  ~TWorkerRun();
  TWorkerRun(const TWorkerRun&) = delete;
  TWorkerRun& operator=(const TWorkerRun&) = delete;

  // Set once the work has ended.
  HANDLE Done() const { return done_; }
  // Waits for the work's end; its exception is raised here.
  void Finish();

 private:
  const std::function<void()>& work_;
  HANDLE done_ = nullptr;
  std::exception_ptr failure_;
  std::thread thread_;
};

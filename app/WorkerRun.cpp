#include "app/WorkerRun.h"

#include "classlib/SysUtils.h"

TWorkerRun::TWorkerRun(const std::function<void()>& Work) : work_(Work) {
  done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!done_) throw Exception(String(L"Unable to start the work: ") + SysErrorMessage(GetLastError()));
  try {
    thread_ = std::thread([this] {
      try {
        work_();
      } catch (...) {
        failure_ = std::current_exception();
      }
      SetEvent(done_);
    });
  } catch (...) {
    CloseHandle(done_);
    throw;
  }
}

TWorkerRun::~TWorkerRun() {
  if (thread_.joinable()) thread_.join();
  if (done_) CloseHandle(done_);
}

void TWorkerRun::Finish() {
  thread_.join();
  CloseHandle(done_);
  done_ = nullptr;
  if (failure_) std::rethrow_exception(failure_);
}

#include "classlib/PartRunner.h"

TPartRunner::TPartRunner(size_t Count, std::function<void(size_t)> Work, unsigned Threads, bool LowerPriority,
                         size_t Ahead)
    : count_(Count), work_(std::move(Work)), done_(Count, 0), ahead_(Ahead < 1 ? 1 : Ahead), lower_(LowerPriority) {
  try {
    for (unsigned t = 0; t < Threads && t < Count; ++t) threads_.emplace_back([this] { Run(); });
  } catch (...) {
    // Fewer threads (or none: WaitFor then does the work).
  }
}

TPartRunner::~TPartRunner() {
  Stop();
  for (std::thread& t : threads_) t.join();
}

void TPartRunner::Run() {
  if (lower_) SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  std::unique_lock<TSlimLock> hold(lock_);
  while (!stopped_ && next_ < count_) {
    if (next_ > waited_ + ahead_) {
      changed_.Wait(hold, [&] { return stopped_ || next_ >= count_ || next_ <= waited_ + ahead_; });
      continue;
    }
    const size_t i = next_++;
    ++active_;
    hold.unlock();
    work_(i);
    hold.lock();
    --active_;
    done_[i] = 1;
    changed_.NotifyAll();
  }
  changed_.NotifyAll();
}

bool TPartRunner::WaitFor(size_t i) {
  if (i >= count_) return false;
  std::unique_lock<TSlimLock> hold(lock_);
  if (i > waited_) {
    waited_ = i;
    changed_.NotifyAll();  // the threads may run further ahead now
  }
  if (threads_.empty()) {
    while (!done_[i] && !stopped_ && next_ <= i) {
      const size_t j = next_++;
      hold.unlock();
      work_(j);
      hold.lock();
      done_[j] = 1;
    }
    return done_[i] != 0;
  }
  changed_.Wait(hold, [&] { return done_[i] || (stopped_ && (i >= next_ || active_ == 0)); });
  return done_[i] != 0;
}

void TPartRunner::Stop() {
  std::lock_guard<TSlimLock> hold(lock_);
  stopped_ = true;
  changed_.NotifyAll();
}

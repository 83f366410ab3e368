// The lease's bookkeeping and the thread that gives an idle lease back.
#include "lease.h"

namespace tarnwick::skorra {

Lease::Lease(Hooks hooks, std::chrono::milliseconds idle) : hooks_(std::move(hooks)), idle_(idle) {}

Lease::~Lease() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
  GiveBack();
}

// The watcher is woken only when a lease is taken: within a burst it finds
// the later deadline itself when the earlier one comes, so a command costs
// no thread switch.
bool Lease::Run(const std::function<void()>& work, std::string& problem) {
  std::lock_guard lock(mutex_);
  const bool taken = !held_;
  if (taken) {
    if (!hooks_.take(problem)) return false;
    held_ = true;
    if (!watcher_.joinable()) watcher_ = std::thread([this] { WatchIdle(); });
  }
  work();
  deadline_ = std::chrono::steady_clock::now() + idle_;
  if (taken) wake_.notify_all();
  return true;
}

void Lease::GiveBack() {
  std::lock_guard lock(mutex_);
  if (!held_) return;
  hooks_.give_back();
  held_ = false;
}

// A command in progress holds the mutex, so the lease is never given back
// in the middle of one.
void Lease::WatchIdle() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (!held_) {
      wake_.wait(lock);
    } else if (std::chrono::steady_clock::now() >= deadline_) {
      hooks_.give_back();
      held_ = false;
    } else {
      wake_.wait_until(lock, deadline_);
    }
  }
}

}  // namespace tarnwick::skorra

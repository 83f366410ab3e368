// The lease's bookkeeping and the thread that gives an idle lease back.
#include "lease.h"

namespace tarnwick::skorra {

Lease::Lease(Hooks hooks, std::chrono::milliseconds idle)
    : state_(std::make_shared<State>(std::move(hooks), idle)) {}

Lease::~Lease() {
  {
    std::lock_guard lock(state_->mutex);
    if (state_->held) state_->hooks.give_back();
    state_->held = false;
    state_->stopping = true;
  }
  state_->wake.notify_all();
  if (watcher_.joinable()) EndWatcher(watcher_);
}

// The watcher is woken only when a lease is taken: within a burst it finds
// the later deadline itself when the earlier one comes, so a command costs
// no thread switch.
bool Lease::Run(const std::function<void()>& work, std::string& problem) {
  std::lock_guard lock(state_->mutex);
  const bool taken = !state_->held;
  if (taken) {
    if (!state_->hooks.take(problem)) return false;
    state_->held = true;
    if (!watcher_.joinable()) watcher_ = StartWatcher([state = state_] { WatchIdle(state); });
  }
  work();
  state_->deadline = std::chrono::steady_clock::now() + state_->idle;
  if (taken) state_->wake.notify_all();
  return true;
}

void Lease::GiveBack() {
  std::lock_guard lock(state_->mutex);
  if (!state_->held) return;
  state_->hooks.give_back();
  state_->held = false;
}

// A command in progress holds the mutex, so the lease is never given back
// in the middle of one.
void Lease::WatchIdle(const std::shared_ptr<State>& state) {
  std::unique_lock lock(state->mutex);
  while (!state->stopping) {
    if (!state->held) {
      state->wake.wait(lock);
    } else if (std::chrono::steady_clock::now() >= state->deadline) {
      state->hooks.give_back();
      state->held = false;
    } else {
      state->wake.wait_until(lock, state->deadline);
    }
  }
}

}  // namespace tarnwick::skorra

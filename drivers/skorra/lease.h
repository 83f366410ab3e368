// Holds a card that other programs share for one burst of commands: taken
// at the burst's first command (waiting while another program holds it),
// given back once the port has been idle for a short while, so that the
// commands of a sequence stay together and other programs take turns.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tarnwick::skorra {

class Lease {
 public:
  // Longer than any pause inside one of a client's sequences, short enough
  // that another program hardly notices the wait.
  static constexpr std::chrono::milliseconds kIdle{30};

  struct Hooks {
    std::function<bool(std::string& problem)> take;  // false: not taken, and why
    std::function<void()> give_back;
  };
  explicit Lease(Hooks hooks, std::chrono::milliseconds idle = kIdle);
  ~Lease();
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;

  // Runs `work` holding the lease; false, and `work` not run, when the
  // lease could not be taken.
  bool Run(const std::function<void()>& work, std::string& problem);

  // Gives the lease back now, if held.
  void GiveBack();

 private:
  // What the watcher shares with the lease. The watcher keeps it alive, so
  // that a watcher the platform lets go (EndWatcher) never touches freed
  // memory; once `stopping` is set it calls no hook again.
  struct State {
    explicit State(Hooks h, std::chrono::milliseconds i) : hooks(std::move(h)), idle(i) {}
    Hooks hooks;
    const std::chrono::milliseconds idle;
    std::mutex mutex;
    std::condition_variable wake;
    bool held = false;
    bool stopping = false;
    std::chrono::steady_clock::time_point deadline;
  };
  static void WatchIdle(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
  std::thread watcher_;  // started with the first lease
};

// Starts the watcher, and ends it once stopped: joined where the system lets
// a thread end while the driver is being unloaded; where it does not, let go,
// holding the driver loaded until it has returned (lease_posix.cpp,
// lease_windows.cpp).
std::thread StartWatcher(std::function<void()> watch);
void EndWatcher(std::thread& watcher);

}  // namespace tarnwick::skorra

// Waiting for a card's lock, the same way on every system: another process
// holds it only for a burst of commands.
#include <thread>

#include "card_lock.h"

namespace tarnwick::skorra {

std::optional<CardLock> CardLock::TakeWithin(const std::filesystem::path& path, std::chrono::milliseconds patience,
                                             std::string& problem) {
  constexpr std::chrono::milliseconds kRetry{2};
  const auto give_up = std::chrono::steady_clock::now() + patience;
  for (;;) {
    problem.clear();
    std::optional<CardLock> lock = Take(path, problem);
    if (lock || problem != kInUse || std::chrono::steady_clock::now() >= give_up) return lock;
    std::this_thread::sleep_for(kRetry);
  }
}

}  // namespace tarnwick::skorra

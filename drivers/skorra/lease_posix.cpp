// POSIX: a stopped watcher ends at once, even while the driver is unloaded.
#include "lease.h"

namespace tarnwick::skorra {

std::thread StartWatcher(std::function<void()> watch) { return std::thread(std::move(watch)); }

void EndWatcher(std::thread& watcher) { watcher.join(); }

}  // namespace tarnwick::skorra

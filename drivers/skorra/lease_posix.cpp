// POSIX: a stopped watcher ends at once, even while the driver is unloaded.
#include "lease.h"

namespace tarnwick::skorra {

void EndWatcher(std::thread& watcher) { watcher.join(); }

}  // namespace tarnwick::skorra

// Windows: a thread cannot end while the loader lock is held, and it is held
// while a DLL unloads (and ports left open are closed then), so a stopped
// watcher is let go; it only touches the state it shares and then returns.
#include "lease.h"

namespace tarnwick::skorra {

void EndWatcher(std::thread& watcher) { watcher.detach(); }

}  // namespace tarnwick::skorra

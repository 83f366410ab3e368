// POSIX: a forked child closes its copies of its parent's card locks and
// lets go of the ports it inherited.
#include <pthread.h>

#include <mutex>

#include "card_lock.h"
#include "reader.h"

namespace tarnwick::skorra {

void WatchForks() {
  static std::once_flag once;
  std::call_once(once, [] {
    pthread_atfork(nullptr, nullptr, [] {
      CardLock::DropInheritedAfterFork();
      ForgetPortsInChild();
    });
  });
}

}  // namespace tarnwick::skorra

// POSIX: a forked child lets go of the ports it inherited (ForgetPortsInChild).
#include <pthread.h>

#include <mutex>

#include "reader.h"

namespace tarnwick::skorra {

void WatchForks() {
  static std::once_flag once;
  std::call_once(once, [] { pthread_atfork(nullptr, nullptr, ForgetPortsInChild); });
}

}  // namespace tarnwick::skorra

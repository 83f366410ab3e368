// Windows: processes do not fork, so no port is ever inherited.
#include "reader.h"

namespace tarnwick::skorra {

void WatchForks() {}

}  // namespace tarnwick::skorra

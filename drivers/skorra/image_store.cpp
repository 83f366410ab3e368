// What the card folder needs the same way on every system.
#include <system_error>

#include "image_store.h"

namespace tarnwick::skorra {

void ImageStore::RemoveLeftovers() const {
  // Every writer names its temporary file ".card1.img." and a suffix of
  // its own; nothing else in the folder starts so.
  const std::string prefix = "." + path_.filename().string() + ".";
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
        it->is_regular_file(error) && !error) {
      std::filesystem::remove(it->path(), error);
    }
    error.clear();
  }
}

}  // namespace tarnwick::skorra

// Chooses the backend of a port. Every variant of the driver (serial, USB)
// drives the virtual card; a backend for a real reader is chosen here too.
#include "backend_select.h"

#include <system_error>

#include "image_store.h"
#include "vcard_backend.h"

namespace tarnwick::skorra {

std::unique_ptr<Backend> OpenBackend(int port_number, const Settings& settings, std::string& problem) {
  if (!settings.card_dir) return VirtualCardBackend::InMemory(port_number);
  std::error_code error;
  std::filesystem::create_directories(*settings.card_dir, error);
  if (error) {
    problem = settings.card_dir->string() + ": " + error.message();
    return nullptr;
  }
  return VirtualCardBackend::FromStore(ImageStore(*settings.card_dir, port_number), problem);
}

}  // namespace tarnwick::skorra

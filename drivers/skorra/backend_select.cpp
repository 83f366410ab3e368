// Chooses the backend of a port: a virtual card (in memory or in the card
// folder) or the card in a PC/SC reader.
#include "backend_select.h"

#include <system_error>

#include "image_store.h"
#include "pcsc_backend.h"
#include "vcard_backend.h"

namespace tarnwick::skorra {

std::unique_ptr<Backend> OpenBackend(int port_number, BackendKind preferred, const Settings& settings,
                                     Trace* trace, std::string& problem) {
  if (settings.problem) {
    problem = *settings.problem;
    return nullptr;
  }
  if (settings.backend.value_or(preferred) == BackendKind::kPcsc)
    return OpenPcscCard(port_number, settings, trace, problem);
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

// Binding the driver's functions by name and carrying raw commands to them.
#include "driver_link.h"

#include "driver_loader.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kAnswerRoom = 256;  // the most a one-byte length announces
constexpr std::size_t kAtrRoom = 33;
constexpr std::size_t kDescriptionRoom = 512;

// Code of libtarnwick: the loader looks for the driver beside it, where the
// library finds it.
const void* Library() { return reinterpret_cast<const void*>(&InitialLib); }

}  // namespace

std::unique_ptr<DriverLink> DriverLink::Bind(uint8_t selector, std::string* why) {
  loader::Module module = loader::LoadDriver(loader::DriverFileName(selector), Library());
  if (module == nullptr) {
    *why = LoadFailure(selector);
    return nullptr;
  }
  auto transmit = reinterpret_cast<TransmitFn>(loader::FindFunction(module, "ICC_tsi_api"));
  if (transmit == nullptr) {
    loader::UnloadDriver(module);
    *why = std::string(loader::DriverFileName(selector)) + " has no ICC_tsi_api";
    return nullptr;
  }
  auto describe = reinterpret_cast<DescribeFn>(loader::FindFunction(module, "CT_describe"));
  return std::unique_ptr<DriverLink>(new DriverLink(module, transmit, describe));
}

std::string DriverLink::LoadFailure(uint8_t selector) { return loader::DriverLoadFailure(selector, Library()); }

DriverLink::~DriverLink() { loader::UnloadDriver(module_); }

CardAnswer DriverLink::Exchange(tw_handle_t reader, std::span<const uint8_t> command) const {
  uint8_t answer[kAnswerRoom] = {};
  uint8_t length = 0;
  const int32_t sw = loader::Transmit(transmit_, reader, command, &length, answer);
  return {Bytes(answer, answer + length), sw};
}

std::optional<PortDescription> DriverLink::Describe(tw_handle_t reader) const {
  if (describe_ == nullptr) return std::nullopt;
  char text[kDescriptionRoom] = {};
  uint8_t atr[kAtrRoom] = {};
  uint8_t atr_length = 0;
  if (describe_(reader, text, sizeof text, atr, &atr_length) != 0) return std::nullopt;
  return PortDescription{text, Bytes(atr, atr + std::min<std::size_t>(atr_length, kAtrRoom))};
}

}  // namespace tarnwick::cli

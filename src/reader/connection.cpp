// The reader connection: open and close the reader, reset reader and card,
// set the node address (thin passes to the driver) and the protocol command.
#include <cstdint>

#include "transport/driver.h"
#include "transport/exchange.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

namespace {

// Ports 0 and 1 both name the first serial port.
constexpr const char* kPortNames[] = {"COM1", "COM1", "COM2", "COM3", "COM4"};
constexpr uint8_t kHighestPort = 4;

// Handles at or above this bound are the driver's way of saying "failed".
constexpr uint32_t kHandleBound = 0x10000000;

}  // namespace

extern "C" TW_API int32_t OpenCom(uint8_t port, tw_handle_t* handle) {
  if (port > kHighestPort) return 2;
  auto opened = tarnwick::driver::Open(kPortNames[port]);
  if (!opened) return 1;
  *handle = *opened;
  return (*opened != 0 && *opened < kHandleBound) ? 0 : 1;
}

extern "C" TW_API int32_t CloseCom(tw_handle_t* handle) {
  if (*handle == 0) return 2;
  auto closed = tarnwick::driver::Close(*handle);
  *handle = 0;
  if (!closed) return 1;
  return (*closed & 0xFF) != 0 ? 1 : 0;
}

extern "C" TW_API int32_t ResetReader(int32_t arg) {
  return tarnwick::driver::ResetReader(arg).value_or(tarnwick::sw::kExchangeFailed);
}

extern "C" TW_API int32_t ResetICC(int32_t arg1, int32_t arg2, int32_t arg3) {
  return tarnwick::driver::ResetCard(arg1, arg2, arg3).value_or(tarnwick::sw::kExchangeFailed);
}

extern "C" TW_API int32_t setNAD(int32_t nad) {
  return tarnwick::driver::SetNad(nad).value_or(tarnwick::sw::kExchangeFailed);
}

extern "C" TW_API int32_t ChangeProtocal(uint8_t selector, tw_handle_t reader) {
  // The one data byte: FF switches the protocol setting on, FE off.
  const uint8_t setting = selector != 0 ? 0xFF : 0xFE;
  tarnwick::CommandFrame frame(tarnwick::ins::kChangeProtocol, 0x00, 0x00);
  frame.SetData(&setting, 1);
  return tarnwick::Send(reader, frame);
}

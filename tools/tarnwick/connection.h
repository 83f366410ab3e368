// One card connection as an application runs it: InitialLib, OpenCom,
// ResetICC, then the operations, then CloseCom and FreeLib.
#pragma once

#include <cstdint>

#include "report.h"
#include "tarnwick.h"

namespace tarnwick::cli {

struct ConnectionOptions {
  uint8_t selector = 1;  // InitialLib: 1 the serial driver, 2 the USB one
  uint8_t port = 1;      // OpenCom: COM1 to COM4
  bool trace = false;    // turn on the driver's trace before binding
};

class CardConnection {
 public:
  // Binds the driver, opens the reader and resets the card; a step that
  // fails is reported and the connection stays closed.
  CardConnection(const ConnectionOptions& options, Report& report);
  // Closes whatever was opened, in reverse order.
  ~CardConnection();
  CardConnection(const CardConnection&) = delete;
  CardConnection& operator=(const CardConnection&) = delete;

  bool open() const { return reader_ != 0 && card_reset_; }
  tw_handle_t reader() const { return reader_; }

 private:
  bool bound_ = false;
  bool card_reset_ = false;
  tw_handle_t reader_ = 0;
};

// Sets SKORRA_TRACE=1 unless the variable already names a trace target.
void EnableDriverTrace();

}  // namespace tarnwick::cli

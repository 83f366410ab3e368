// A card in a reader that PC/SC lists: connected in shared mode, reset
// cold, and given commands through SCardTransmit with the T=0 status words
// completed by the driver.
#pragma once

#include <memory>
#include <string>

#include "backend.h"
#include "settings.h"
#include "trace.h"

namespace tarnwick::skorra {

// Opens the card behind port 1 to 4: the port's place in PC/SC's list of
// readers, or for port 1 the reader whose name holds settings.pcsc_reader.
// nullptr and a problem text when there is no daemon, no such reader or no
// card in it. The trace, when given, must outlive the backend; it sees the
// exchanges the driver adds.
std::unique_ptr<Backend> OpenPcscCard(int port_number, const Settings& settings, Trace* trace,
                                      std::string& problem);

}  // namespace tarnwick::skorra

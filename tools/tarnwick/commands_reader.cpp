// Subcommands of the reader beyond the open/reset/close that every
// invocation does: the reader's ports, the protocol setting, reader reset
// and node address.
#include <string>

#include "command.h"
#include "driver_link.h"

namespace tarnwick::cli {
namespace {

Action ParseProtocol(ArgReader& a) {
  uint8_t selector = static_cast<uint8_t>(a.Number("SELECTOR", 0, 1));
  return [=](Context& c) { c.report.Status("ChangeProtocal", ChangeProtocal(selector, c.reader)); };
}

// ResetReader and setNAD hand their argument to the driver and return its
// answer unchanged; the shipped drivers answer 0 on success.
void ReportDriverResult(Context& c, std::string_view call, int32_t result) {
  c.report.Result(call, result, result == 0 ? "done" : "the driver reported a failure", result == 0);
}

Action ParseResetReader(ArgReader&) {
  return [](Context& c) { ReportDriverResult(c, "ResetReader", ResetReader(static_cast<int32_t>(c.reader))); };
}

Action ParseSetNad(ArgReader& a) {
  int32_t nad = static_cast<int32_t>(a.Number("NAD", 0, 255));
  return [=](Context& c) { ReportDriverResult(c, "setNAD", setNAD(nad)); };
}

constexpr uint8_t kPorts = 4;

// One line per port as it opens; the card is not reset, so a card in a
// reader is left as it was. False when the port does not open.
bool ListPort(Context& c, const DriverLink& link, uint8_t port) {
  const std::string name = "COM" + std::to_string(port);
  tw_handle_t handle = 0;
  if (OpenCom(port, &handle) != 0) {
    c.report.Line(name + ": does not open");
    return false;
  }
  auto description = link.Describe(handle);
  c.report.Line(name + ": " + (description ? description->text : "opens"));
  if (description && !description->atr.empty()) c.report.Line("  ATR: " + ToSpacedHex(description->atr));
  CloseCom(&handle);
  return true;
}

Action ParseReaders(ArgReader&) {
  return [](Context& c) {
    if (InitialLib(c.connection.selector) != 1) {
      c.report.Failure("InitialLib(" + std::to_string(c.connection.selector) +
                       "): " + DriverLink::LoadFailure(c.connection.selector));
      return;
    }
    std::string why;
    if (auto link = DriverLink::Bind(c.connection.selector, &why)) {
      int opened = 0;
      for (uint8_t port = 1; port <= kPorts; ++port) opened += ListPort(c, *link, port) ? 1 : 0;
      if (opened == 0) c.report.Failure("no port opens");
    } else {
      c.report.Failure(why);
    }
    FreeLib();
  };
}

const Command kCommands[] = {
    {"readers", "list the ports COM1 to COM4: whether each opens, and what it holds", "",
     "for PC/SC (--driver usb) the reader's name and the card's ATR; for the virtual\n"
     "cards where each card is kept (SKORRA_VCARD_DIR). The driver says on standard\n"
     "error why a port does not open.",
     "tarnwick readers", "", false, ParseReaders, kEchoInClear},
    {"protocol", "switch the card's protocol setting (ChangeProtocal)", "SELECTOR",
     "SELECTOR  1 sends 80 14 00 00 01 FF, 0 sends 80 14 00 00 01 FE", "tarnwick protocol 1", "", true,
     ParseProtocol, kEchoInClear},
    {"reset-reader", "reset the reader through the driver (ResetReader with the reader handle)", "",
     "the card is reset at the start of every invocation anyway", "tarnwick reset-reader", "", true,
     ParseResetReader, kEchoInClear},
    {"set-nad", "set the node address through the driver (setNAD)", "NAD", "NAD  0 to 255",
     "tarnwick set-nad 0", "", true, ParseSetNad, kEchoInClear},
};

}  // namespace

std::span<const Command> ReaderCommands() { return kCommands; }

}  // namespace tarnwick::cli

// Subcommands of the reader session beyond the open/reset/close that every
// invocation does: the protocol setting, reader reset and node address.
#include <string>

#include "command.h"

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

const Command kCommands[] = {
    {"protocol", "switch the card's protocol setting (ChangeProtocal)", "SELECTOR",
     "SELECTOR  1 sends 80 14 00 00 01 FF, 0 sends 80 14 00 00 01 FE", "tarnwick protocol 1", "", true,
     ParseProtocol},
    {"reset-reader", "reset the reader through the driver (ResetReader with the reader handle)", "",
     "the card is reset at the start of every invocation anyway", "tarnwick reset-reader", "", true,
     ParseResetReader},
    {"set-nad", "set the node address through the driver (setNAD)", "NAD", "NAD  0 to 255",
     "tarnwick set-nad 0", "", true, ParseSetNad},
};

}  // namespace

std::span<const Command> ReaderCommands() { return kCommands; }

}  // namespace tarnwick::cli

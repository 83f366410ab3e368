// Runs one subcommand's action, opening the card connection it needs.
#include "execute.h"

namespace tarnwick::cli {

int Execute(const Command& command, const Action& action, const ConnectionOptions& connection, Report& report) {
  if (!command.needs_card) {
    Context context{0, report, connection};
    action(context);
  } else {
    CardConnection card(connection, report);
    if (card.open()) {
      Context context{card.reader(), report, connection};
      action(context);
    }
  }
  return report.failures() == 0 ? kExitSuccess : kExitCardStatus;
}

}  // namespace tarnwick::cli

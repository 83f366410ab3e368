// Runs one subcommand's action, opening the card session it needs.
#include "execute.h"

namespace tarnwick::cli {

int Execute(const Command& command, const Action& action, const SessionOptions& session, Report& report) {
  if (!command.needs_card) {
    Context context{0, report, session};
    action(context);
  } else {
    CardSession card(session, report);
    if (card.open()) {
      Context context{card.reader(), report, session};
      action(context);
    }
  }
  return report.failures() == 0 ? kExitSuccess : kExitCardStatus;
}

}  // namespace tarnwick::cli

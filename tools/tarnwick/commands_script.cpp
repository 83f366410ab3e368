// The `run` subcommand: a script of subcommand lines in one card session.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "command.h"
#include "file_io.h"
#include "script.h"

namespace tarnwick::cli {
namespace {

bool NeedsCard(const std::vector<ScriptStep>& steps) {
  return std::any_of(steps.begin(), steps.end(), [](const ScriptStep& s) { return s.command->needs_card; });
}

// The same variable that shows secrets in the driver's trace shows them in
// the echo.
bool ShowSecrets() {
  const char* secrets = std::getenv("SKORRA_TRACE_SECRETS");
  return secrets != nullptr && std::string(secrets) == "1";
}

void RunSteps(Context& c, const std::vector<ScriptStep>& steps, bool keep_going) {
  const bool secrets = ShowSecrets();
  for (const ScriptStep& step : steps) {
    c.report.Line("> " + EchoedLine(step, secrets));
    int before = c.report.failures();
    step.action(c);
    if (c.report.failures() != before && !keep_going) {
      c.report.Line("stopped at line " + std::to_string(step.line));
      return;
    }
  }
}

Action ParseRun(ArgReader& a) {
  std::string path = a.Word("SCRIPT", "a script file (- for standard input)");
  bool keep_going = a.Flag("--keep-going");
  if (!a.ok()) return {};
  std::string why;
  auto text = ReadInput(path, &why);
  if (!text) {
    a.Fail("SCRIPT: " + why);
    return {};
  }
  auto steps = ParseScript(std::string_view(reinterpret_cast<const char*>(text->data()), text->size()), &why);
  if (!steps) {
    a.Fail(path + ": " + why);
    return {};
  }
  auto shared = std::make_shared<std::vector<ScriptStep>>(std::move(*steps));
  return [shared, keep_going](Context& c) {
    if (!NeedsCard(*shared)) {
      RunSteps(c, *shared, keep_going);
      return;
    }
    CardSession card(c.session, c.report);
    if (!card.open()) return;
    Context in_session{card.reader(), c.report, c.session};
    RunSteps(in_session, *shared, keep_going);
  };
}

const Command kCommands[] = {
    {"run", "run a script of subcommand lines in one card session", "SCRIPT [--keep-going]",
     "SCRIPT        a file (- for standard input): one subcommand with its arguments per line,\n"
     "              quotes group words, # starts a comment; every line is checked first\n"
     "--keep-going  carry on after a line that failed (the exit code still says so)",
     "tarnwick run session.twk", "--keep-going", false, ParseRun},
};

}  // namespace

std::span<const Command> ScriptCommands() { return kCommands; }

}  // namespace tarnwick::cli

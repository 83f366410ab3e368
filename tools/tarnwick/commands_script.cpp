// The `run` subcommand: a script of subcommand lines in one card connection;
// from standard input, each line runs as it arrives.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "command.h"
#include "file_io.h"
#include "platform.h"
#include "protocol/trace_view.h"
#include "script.h"
#include "typed_input.h"

namespace tarnwick::cli {
namespace {

bool NeedsCard(const std::vector<ScriptStep>& steps) {
  return std::any_of(steps.begin(), steps.end(), [](const ScriptStep& s) { return s.command->needs_card; });
}

// The same variable that shows secrets in the driver's trace shows them in
// the echo.
bool ShowSecrets() {
  const char* secrets = std::getenv("SKORRA_TRACE_SECRETS");
  return secrets != nullptr && protocol::ReadTraceSecrets(secrets);
}

bool WritesToStdout(const std::vector<ScriptStep>& steps) {
  return std::any_of(steps.begin(), steps.end(), [](const ScriptStep& s) { return s.writes_stdout; });
}

// Runs one line; false when it failed.
bool RunStep(Context& c, const ScriptStep& step, bool echo) {
  if (echo) c.report.Line("> " + EchoedLine(step, ShowSecrets()));
  int before = c.report.failures();
  step.action(c);
  return c.report.failures() == before;
}

void RunSteps(Context& c, const std::vector<ScriptStep>& steps, bool keep_going) {
  for (const ScriptStep& step : steps) {
    if (!RunStep(c, step, true) && !keep_going) {
      c.report.Line("stopped at line " + std::to_string(step.line));
      return;
    }
  }
}

// Lines from standard input, each run as soon as it is read; the card
// connection opens at the first line that needs the card. A person at the
// terminal gets a prompt and carries on after a failed line.
void RunAsTyped(Context& c, bool keep_going) {
  const bool person = platform::InputIsTerminal();
  keep_going = keep_going || person;
  std::unique_ptr<CardConnection> card;
  for (int line_no = 1;; ++line_no) {
    if (person) std::fputs("tarnwick> ", stderr);
    auto line = ReadInputLine();
    if (!line) return;
    std::string why;
    auto step = ParseScriptLine(*line, line_no, &why);
    if (step && step->command == nullptr) continue;
    bool ok = false;
    if (!step) {
      c.report.Failure(why);
    } else {
      if (step->writes_stdout) c.report.UseStream(stderr);
      if (step->command->needs_card && !card) card = std::make_unique<CardConnection>(c.connection, c.report);
      if (step->command->needs_card && !card->open()) return;
      Context in_connection{card ? card->reader() : 0, c.report, c.connection};
      ok = RunStep(in_connection, *step, !person);
    }
    if (!ok && !keep_going) {
      c.report.Line("stopped at line " + std::to_string(line_no));
      return;
    }
  }
}

Action ParseRun(ArgReader& a) {
  std::string path = a.Word("SCRIPT", "a script file (- for standard input)");
  bool keep_going = a.Flag("--keep-going");
  if (!a.ok()) return {};
  if (path == "-") return [keep_going](Context& c) { RunAsTyped(c, keep_going); };
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
    if (WritesToStdout(*shared)) c.report.UseStream(stderr);
    if (!NeedsCard(*shared)) {
      RunSteps(c, *shared, keep_going);
      return;
    }
    CardConnection card(c.connection, c.report);
    if (!card.open()) return;
    Context in_connection{card.reader(), c.report, c.connection};
    RunSteps(in_connection, *shared, keep_going);
  };
}

const Command kCommands[] = {
    {"run", "run a script of subcommand lines in one card session", "SCRIPT [--keep-going]",
     "SCRIPT        a file: one subcommand with its arguments per line, quotes group\n"
     "              words, # starts a comment; every line is checked before the first runs.\n"
     "              - reads the lines from standard input and runs each as it arrives\n"
     "              (at a terminal with a prompt, carrying on after a failed line)\n"
     "--keep-going  carry on after a line that failed (the exit code still says so)\n"
     "apdu lines may end with the status word they expect (=9000): the script stops\n"
     "at the first other answer. With --out - on any line, standard output carries\n"
     "the bytes alone and the report goes to standard error.",
     "select 0001\n"
     "update-bin \"CA FE\"\n"
     "apdu 00 B0 00 00 02 =9000", "--keep-going", false, ParseRun, kEchoInClear},
};

}  // namespace

std::span<const Command> ScriptCommands() { return kCommands; }

}  // namespace tarnwick::cli

// The tarnwick tool run as a process against the virtual card, with the
// cards' state kept in a temporary folder so that invocations see each
// other's writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command.h"
#include "process.h"
#include "script.h"
#include "tarnwick.h"
#include "support/os.h"

namespace twtest {
namespace {

namespace fs = std::filesystem;

class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnwick_tool_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(testos::ProcessId()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "cards");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Run(const std::vector<std::string>& args, const std::string& stdin_text = "",
                    std::vector<std::string> env = {}) {
    env.push_back("SKORRA_VCARD_DIR=" + (dir_ / "cards").string());
    return RunProcess(TARNWICK_TOOL, args, env, dir_, stdin_text);
  }

  fs::path File(const std::string& name, const std::string& contents) {
    fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }

  static std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(Tool, WriteThenReadInTwoInvocations) {
  auto write = Run({"update-bin", "48 65:6c 6C6F", "--file", "0001"});
  EXPECT_EQ(write.exit_code, 0) << write.out << write.err;
  EXPECT_TRUE(Has(write.out, "UpdateBin: 9000 ")) << write.out;

  auto read = Run({"read-bin", "5", "--file", "0001"});
  EXPECT_EQ(read.exit_code, 0) << read.out << read.err;
  EXPECT_EQ(Lines(read.out), (std::vector<std::string>{"SelectFile: 9000 command completed",
                                                      "ReadBin: 9000 command completed",
                                                      "  data (5 bytes): 48 65 6C 6C 6F  \"Hello\""}));
}

TEST_F(Tool, ScriptRunsInOneSession) {
  // The selection of line 2 holds for lines 3 and 4: one reset for the lot.
  auto script = File("session.twk",
                     "# a first session\n"
                     "select 0001\n"
                     "update-bin \"CA FE\"   # two bytes\n"
                     "read-bin 2\n"
                     "\n"
                     "append-record 2 '01 02 03'\n"
                     "read-record 2 1 3\n"
                     "read-record 2 all\n");
  auto run = Run({"run", script.string()});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_TRUE(Has(run.out, "> update-bin \"CA FE\"   # two bytes\nUpdateBin: 9000")) << run.out;
  EXPECT_TRUE(Has(run.out, "ReadBin: 9000 command completed\n  data (2 bytes): CA FE\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "ReadRecord: 9000 command completed\n  record (3 bytes): 01 02 03\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "READ RECORD: 1 record\n  record 1 (3 bytes): 01 02 03\n")) << run.out;
}

// The echo hides the passphrase as the trace does, and shows it under the
// same variable.
TEST_F(Tool, ScriptEchoHidesSecretsUnlessAsked) {
  auto script = File("pin.twk", "verify 01 12345678 --text\n");
  auto hidden = Run({"run", script.string()});
  EXPECT_EQ(hidden.exit_code, 0) << hidden.out << hidden.err;
  EXPECT_TRUE(Has(hidden.out, "> verify 01 ** --text\n")) << hidden.out;
  EXPECT_FALSE(Has(hidden.out + hidden.err, "12345678")) << hidden.out;
  auto shown = Run({"run", script.string()}, "", {"SKORRA_TRACE_SECRETS=1"});
  EXPECT_TRUE(Has(shown.out, "> verify 01 12345678 --text\n")) << shown.out;
}

// A driver file that is there but cannot be loaded: the loader's own
// reason, not a guess about where the driver belongs.
TEST_F(Tool, DriverThatCannotBeLoadedGivesTheLoadersReason) {
  const fs::path built = fs::path(TARNWICK_TOOL).parent_path();
  const fs::path copy = dir_ / "install";
  fs::create_directories(copy);
  const std::string library = testos::kWindows ? "Tarnwick.dll" : "libtarnwick.so.1";
  fs::copy_file(TARNWICK_TOOL, copy / fs::path(TARNWICK_TOOL).filename());
  fs::copy_file(fs::canonical(built / library), copy / library);
  const std::string driver = testos::kWindows ? "skorra.dll" : "libskorra.so";
  std::ofstream(copy / driver, std::ios::binary) << "not a library";
  auto run = RunProcess((copy / fs::path(TARNWICK_TOOL).filename()).string(), {"select", "0001"}, {}, dir_);
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  EXPECT_TRUE(Has(run.err, "could not be loaded: ")) << run.err;
  EXPECT_TRUE(Has(run.err, driver)) << run.err;
  EXPECT_FALSE(Has(run.err, "belongs beside")) << run.err;
}

TEST_F(Tool, ScriptStopsAtTheFirstFailureUnlessToldToGoOn) {
  // An answer the line expects is no failure; one it does not expect is.
  auto script = File("stop.twk", "apdu 00 A4 00 00 02 00 99 =6A82\napdu 00 A4 00 00 02 00 99 =9000\nselect 0001\n");
  auto stop = Run({"run", script.string()});
  EXPECT_EQ(stop.exit_code, 1);
  EXPECT_TRUE(Has(stop.out, "apdu: 6A82 as expected\n")) << stop.out;
  EXPECT_TRUE(Has(stop.out, "apdu: 6A82 file or application not found; expected 9000\nstopped at line 2\n")) << stop.out;
  EXPECT_FALSE(Has(stop.out, "> select 0001")) << stop.out;

  auto go_on = Run({"run", script.string(), "--keep-going"});
  EXPECT_EQ(go_on.exit_code, 1) << "a failed line still fails the run";
  EXPECT_TRUE(Has(go_on.out, "> select 0001\nSelectFile: 9000")) << go_on.out;
}

TEST_F(Tool, ScriptWithABadLineSendsNothing) {
  auto script = File("bad.twk", "select 0001\nupdate-bin \"CA FE\"\nread-bin 0x10000\n");
  auto run = Run({"--trace", "run", script.string()});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Lines(run.err), (std::vector<std::string>{
                                "tarnwick run: " + script.string() +
                                ": line 3: read-bin: LENGTH: expected a number from 0 to 32768, got '0x10000'"}));
}

TEST_F(Tool, ScriptFromStandardInput) {
  auto run = Run({"run", "-"}, "select 0001\nread-bin 1\n");
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_TRUE(Has(run.out, "ReadBin: 9000")) << run.out;
}

TEST_F(Tool, PassphrasesAreTextAndTheTriesLeftCanBeAsked) {
  // The try counter lives in the card file, so it carries across invocations.
  struct Step {
    std::string pass;
    int exit_code;
    std::string line;
  };
  File("pass.txt", "12345678\n");
  const Step steps[] = {
      {"", 0, "VerifyPassphrase: 63C3 not verified, 3 tries left"},
      {"00000000", 1, "VerifyPassphrase: 63C2 verification failed, 2 tries left"},
      {"11111111", 1, "VerifyPassphrase: 63C1 verification failed, 1 try left"},
      {"", 0, "VerifyPassphrase: 63C1 not verified, 1 try left"},
      {"12345678", 0, "VerifyPassphrase: 9000 command completed"},
      {"@" + (dir_ / "pass.txt").string(), 0, "VerifyPassphrase: 9000 command completed"},
  };
  for (const Step& step : steps) {
    auto run = Run({"verify", "01", step.pass});
    EXPECT_EQ(run.exit_code, step.exit_code) << step.pass;
    EXPECT_EQ(Lines(run.out), std::vector<std::string>{step.line});
  }
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  const char* message;
};

class ToolUsage : public Tool, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(ToolUsage, ExitTwoWithOneLine) {
  auto run = Run(GetParam().args);
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Lines(run.err), std::vector<std::string>{GetParam().message});
}

INSTANTIATE_TEST_SUITE_P(
    Process, ToolUsage,
    ::testing::Values(
        UsageCase{"bad_hex", {"update-bin", "48 6G", "--file", "0001"},
                  "tarnwick update-bin: DATA: expected hex bytes such as \"0A 1B\", got '48 6G': 'G' is not a hex digit"},
        UsageCase{"odd_hex", {"des-encrypt", "0123456789ABCDE", "0000000000000000"},
                  "tarnwick des-encrypt: KEY: expected hex bytes such as \"0A 1B\", got '0123456789ABCDE': "
                  "'0123456789ABCDE' has an odd number of hex digits"},
        UsageCase{"missing_argument", {"read-record", "2", "1"},
                  "tarnwick read-record: LENGTH: missing; expected a number from 0 to 255"},
        UsageCase{"unknown_subcommand", {"format-card"},
                  "tarnwick: unknown subcommand 'format-card'; tarnwick --help lists them"},
        UsageCase{"bad_port", {"--port", "9", "select", "0001"}, "tarnwick: --port: expected a number from 1 to 4, got '9'"},
        UsageCase{"unknown_help_topic", {"help", "format-card"},
                  "tarnwick: unknown subcommand 'format-card'; tarnwick --help lists them"},
        UsageCase{"misspelt_subcommand", {"raed-bin", "4"}, "tarnwick: unknown subcommand 'raed-bin'; did you mean read-bin?"},
        UsageCase{"unknown_option", {"--frobnicate", "select", "0001"},
                  "tarnwick: --frobnicate: unknown option; tarnwick --help lists the options"},
        UsageCase{"passphrase_not_asked_from_a_pipe", {"verify", "01"},
                  "tarnwick verify: PASSPHRASE: missing, and standard input is not a terminal to ask on"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tool, NoSubcommandPrintsTheUsageAndFails) {
  auto run = Run({});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_TRUE(Has(run.err, "usage: tarnwick")) << run.err;
}

// The examples of a help text as a person copies them: "  tarnwick ..."
// lines, and scripts between "tarnwick run - <<'EOF'" and "EOF" (kept as
// their standard input).
struct Example {
  std::vector<std::string> args;
  std::string input;
};

std::vector<Example> ExamplesIn(const std::string& help) {
  std::vector<Example> examples;
  std::vector<std::string> lines = Lines(help);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == "tarnwick run - <<'EOF'") {
      Example script{{"run", "-"}, ""};
      while (++i < lines.size() && lines[i] != "EOF") script.input += lines[i] + "\n";
      examples.push_back(script);
    } else if (lines[i].rfind("  tarnwick ", 0) == 0) {
      std::string why;
      auto words = tarnwick::cli::SplitScriptLine(lines[i], &why);
      examples.push_back({{words->begin() + 1, words->end()}, ""});
    }
  }
  return examples;
}

// An example whose commands the trace shows with hidden bytes: its line as
// `run` would echo it must hide something too.
void ExpectEchoHidesWhatTheTraceHides(const Example& example, const std::string& trace) {
  const tarnwick::cli::Command* command = tarnwick::cli::FindCommand(example.args[0]);
  if (command == nullptr || !example.input.empty() || !Has(trace, "**")) return;
  std::string line;
  for (const std::string& word : example.args) line += (line.empty() ? "\"" : " \"") + word + "\"";
  const tarnwick::cli::ScriptStep step{1, line, command, {}, false};
  EXPECT_TRUE(Has(tarnwick::cli::EchoedLine(step, false), "**"))
      << command->name << ": the trace hides bytes its echo rule shows\n" << trace;
}

TEST_F(Tool, EveryHelpExampleRunsOnAFreshCard) {
  // Examples name files in the working folder; each help text's examples
  // run in order on a card of their own, traced.
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  std::vector<std::vector<std::string>> topics{{"--help"}};
  for (const tarnwick::cli::Command& c : tarnwick::cli::AllCommands()) topics.push_back({std::string(c.name), "--help"});
  for (std::size_t t = 0; t < topics.size(); ++t) {
    auto help = Run(topics[t]);
    EXPECT_EQ(help.exit_code, 0) << topics[t][0];
    std::vector<Example> examples = ExamplesIn(help.out);
    EXPECT_FALSE(examples.empty()) << topics[t][0] << " has no example";
    std::vector<std::string> card{"SKORRA_VCARD_DIR=" + (dir_ / ("card" + std::to_string(t))).string(),
                                  "SKORRA_TRACE=1"};
    for (const Example& example : examples) {
      auto run = RunProcess(TARNWICK_TOOL, example.args, card, dir_, example.input);
      EXPECT_EQ(run.exit_code, 0) << topics[t][0] << ": " << example.args[0] << "\n" << example.input << run.out
                                  << run.err;
      ExpectEchoHidesWhatTheTraceHides(example, run.err);
    }
  }
  fs::current_path(before);
}

struct InformationCase {
  const char* program;
  std::vector<std::string> args;
  std::string first_line;
};

// Help and version come from the program alone: no card is opened, so the
// card folder stays empty.
TEST_F(Tool, EveryProgramAnswersHelpAndVersionWithoutACard) {
  const std::string version = TW_VERSION_STRING;
  std::vector<InformationCase> cases = {
      {TARNWICK_TOOL, {"--version"}, "tarnwick " + version},
      {TARNWICK_TOOL, {"--help"}, "tarnwick - try a smart card by hand through the Tarnwick library"},
      {TARNWICK_DEMO, {"--version"}, "tarnwick-demo " + version},
      {TARNWICK_DEMO, {"--help"}, "usage: tarnwick-demo"},
  };
#ifdef TARNWICK_VCARD
  cases.push_back({TARNWICK_VCARD, {"--version"}, "tarnwick-vcard " + version});
  cases.push_back({TARNWICK_VCARD, {"--help"}, "usage: tarnwick-vcard [--host HOST] [--port PORT] [--card-dir DIR] [--t0] [--wait SECONDS]"});
#endif
  for (const InformationCase& c : cases) {
    auto run = RunProcess(c.program, c.args, {"SKORRA_VCARD_DIR=" + (dir_ / "cards").string()}, dir_);
    EXPECT_EQ(run.exit_code, 0) << c.program << " " << c.args[0];
    // The demo writes text, which ends its lines with CR LF on Windows.
    std::string first = Lines(run.out).at(0);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    EXPECT_EQ(first, c.first_line) << c.program;
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "cards"));
}

TEST_F(Tool, ReadersListsEachPortWithItsCard) {
  auto run = Run({"readers"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> expected;
  for (int port = 1; port <= 4; ++port)
    expected.push_back("COM" + std::to_string(port) + ": virtual card in " +
                       (dir_ / "cards" / ("card" + std::to_string(port) + ".img")).string());
  EXPECT_EQ(Lines(run.out), expected);
}

TEST_F(Tool, KeyPairIntoAMissingFileKeepsTheSlotsKey) {
  // The file is selected before the card generates, so slot 01 still holds
  // the key whose modulus m1.bin keeps.
  const std::string modulus = "\"" + (dir_ / "m1.bin").string() + "\"";
  const std::string signature = "\"" + (dir_ / "sig.bin").string() + "\"";
  auto run = Run({"run", "-", "--keep-going"},
                 "verify 01 12345678\n"
                 "gen-keypair 01 --out " + modulus + "\n"
                 "gen-keypair 01 --to-file 0011\n"
                 "rsa-sign 01 \"01 02 03\" --out " + signature + "\n"
                 "rsa-verify --modulus @" + modulus + " @" + signature + "\n");
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  EXPECT_TRUE(Has(run.out, "> gen-keypair 01 --to-file 0011\nSelectFile: 6A82 file or application not found\n> "))
      << run.out;
  EXPECT_TRUE(Has(run.out, "rsaPublicVerify: 9000 command completed\n  result (3 bytes): 01 02 03\n")) << run.out;
}

TEST_F(Tool, BytesInAndOutThroughFiles) {
  // A line feed and a Ctrl-Z among the bytes: a text-mode stream would
  // change the first and stop at the second.
  std::string payload("\x00\x01\xFE\xFF\n\x1A plain", 12);
  auto in = File("payload.bin", payload);
  auto write = Run({"update-bin", "--in", in.string(), "--file", "0001"});
  ASSERT_EQ(write.exit_code, 0) << write.out << write.err;

  auto out = dir_ / "read.bin";
  auto read = Run({"read-bin", "12", "--file", "0001", "--out", out.string()});
  EXPECT_EQ(read.exit_code, 0) << read.out << read.err;
  EXPECT_EQ(Slurp(out), payload);

  // With --out - the bytes alone go to standard output, the report to stderr.
  auto raw = Run({"read-bin", "12", "--file", "0001", "--out", "-"});
  EXPECT_EQ(raw.exit_code, 0);
  EXPECT_EQ(raw.out, payload);
  EXPECT_TRUE(Has(raw.err, "ReadBin: 9000")) << raw.err;

  // In a script too, the echo of each line included.
  auto script = File("raw.twk", "select 0001\nread-bin 12 --out -\n");
  auto raw_script = Run({"run", script.string()});
  EXPECT_EQ(raw_script.exit_code, 0);
  EXPECT_EQ(raw_script.out, payload);
  EXPECT_TRUE(Has(raw_script.err, "> read-bin 12 --out -\nReadBin: 9000")) << raw_script.err;

  auto from_stdin = Run({"sha1", "@-"}, "abc");
  EXPECT_EQ(from_stdin.exit_code, 0) << from_stdin.out << from_stdin.err;
  EXPECT_TRUE(Has(from_stdin.out, "A9 99 3E 36 47 06 81 6A BA 3E 25 71 78 50 C2 6C 9C D0 D8 9D")) << from_stdin.out;

  // Standard input is read byte for byte too: CR LF and Ctrl-Z included.
  auto binary_stdin = Run({"sha1", "@-"}, std::string("a\r\nb\x1A" "c"));
  EXPECT_EQ(binary_stdin.exit_code, 0) << binary_stdin.out << binary_stdin.err;
  EXPECT_TRUE(Has(binary_stdin.out, "12 98 CE 3C C2 A0 6F 16 A1 DD 99 2F C7 E1 41 62 08 3D FC 95")) << binary_stdin.out;
}

struct AnswerCase {
  const char* name;
  std::vector<std::string> args;
  int exit_code;
  std::vector<std::string> lines;  // each must appear in the output
};

class ToolAnswers : public Tool, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ToolAnswers, StatusWordMeaningAndExitCode) {
  auto run = Run(GetParam().args);
  EXPECT_EQ(run.exit_code, GetParam().exit_code) << run.out << run.err;
  for (const std::string& line : GetParam().lines) EXPECT_TRUE(Has(run.out, line + "\n")) << line << "\n" << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Process, ToolAnswers,
    ::testing::Values(
        AnswerCase{"missing_file", {"select", "0099"}, 1, {"SelectFile: 6A82 file or application not found"}},
        AnswerCase{"missing_record", {"read-record", "2", "9", "4"}, 1, {"ReadRecord: 6A83 record not found"}},
        AnswerCase{"guarded_file", {"update-bin", "00", "--file", "0004"}, 1,
                   {"SelectFile: 9000 command completed", "UpdateBin: 6982 security status not satisfied"}},
        AnswerCase{"triple_des_key", {"extern-auth", "01", "000102030405060708090A0B0C0D0E0F"}, 0,
                   {"ExternAuth: 0 accepted"}},
        AnswerCase{"wrong_triple_des_key", {"extern-auth", "01", "0F0E0D0C0B0A09080706050403020100"}, 1,
                   {"ExternAuth: 3 the card refused the cryptogram"}},
        AnswerCase{"des_key", {"ext-auth", "02", "0123456789ABCDEF"}, 0, {"ExtAuth: 9000 command completed"}},
        AnswerCase{"card_des", {"des-encrypt", "0123456789ABCDEF", "4E6F772069732074"}, 0,
                   {"DesEncrypt: 9000 command completed", "  result (8 bytes): 3F A4 0E 8A 98 4D 48 15"}},
        AnswerCase{"card_sha1", {"sha1", "616263"}, 0,
                   {"  SHA-1 (20 bytes): A9 99 3E 36 47 06 81 6A BA 3E 25 71 78 50 C2 6C 9C D0 D8 9D"}},
        AnswerCase{"host_triple_des", {"tdes", "0123456789ABCDEF0123456789ABCDEF", "4E6F772069732074"}, 0,
                   {"TriDesEncrypt: 0 success", "  result (8 bytes): 3F A4 0E 8A 98 4D 48 15"}},
        AnswerCase{"der", {"der-decode", "02 02 00 80 02 03 01 00 01"}, 0,
                   {"  INTEGER 1 (1 bytes): 80", "  INTEGER 2 (3 bytes): 01 00 01"}},
        AnswerCase{"apdu", {"apdu", "00", "A4", "00", "00", "02", "00", "01"}, 0, {"apdu: 9000 command completed"}},
        AnswerCase{"apdu_answer", {"apdu", "00B0000004", "=9000"}, 1, {"apdu: 6986 command not allowed, no current file; expected 9000"}},
        AnswerCase{"apdus", {"apdu", "00 A4 00 00 02 00 04", ",", "00 B0 00 00 02", "=9000"}, 0,
                   {"apdu 2: 9000 as expected", "  answer (2 bytes): 00 00"}},
        AnswerCase{"read_file", {"read-file", "0010"}, 0,
                   {"SELECT FILE: 9000 command completed", "READ BINARY: 9000 command completed", "  data (256 bytes):"}},
        AnswerCase{"read_file_of_records", {"read-file", "0002"}, 0, {"READ RECORD: 0 records"}},
        AnswerCase{"offline_key_values", {"gen-keypair", "--offline"}, 0, {"  p (64 bytes):", "  qInv (64 bytes):"}},
        AnswerCase{"usb_readers_absent", {"--driver", "usb", "readers"}, 1, {"COM1: does not open", "COM4: does not open"}},
        // The USB driver finds no PC/SC service (the tests point libpcsclite
        // at a socket that does not exist), so the reader does not open.
        AnswerCase{"usb_reader_absent", {"--driver", "usb", "select", "0001"}, 1, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tool, TraceShowsCommandsWithTheSecretsHidden) {
  auto run = Run({"--trace", "verify", "01", "12345678", "--text"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_TRUE(Has(run.err, "> 00 20 00 01 08 ** ** ** ** ** ** ** **")) << run.err;
  EXPECT_FALSE(Has(run.err, "31 32 33 34")) << run.err;
}

}  // namespace
}  // namespace twtest

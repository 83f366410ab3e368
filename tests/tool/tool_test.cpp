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
                     "read-record 2 1 3\n");
  auto run = Run({"run", script.string()});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_TRUE(Has(run.out, "> update-bin \"CA FE\"   # two bytes\nUpdateBin: 9000")) << run.out;
  EXPECT_TRUE(Has(run.out, "ReadBin: 9000 command completed\n  data (2 bytes): CA FE\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "ReadRecord: 9000 command completed\n  record (3 bytes): 01 02 03\n")) << run.out;
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
  auto script = File("stop.twk", "select 0099\nselect 0001\n");
  auto stop = Run({"run", script.string()});
  EXPECT_EQ(stop.exit_code, 1);
  EXPECT_TRUE(Has(stop.out, "SelectFile: 6A82 file or application not found\nstopped at line 1\n")) << stop.out;
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

TEST_F(Tool, WrongPassphraseShowsTheTriesLeft) {
  // The try counter lives in the card file, so it carries across invocations.
  struct Step {
    std::string pass;
    int exit_code;
    std::string line;
  };
  const Step steps[] = {
      {"00000000", 1, "VerifyPassphrase: 63C2 verification failed, 2 tries left"},
      {"11111111", 1, "VerifyPassphrase: 63C1 verification failed, 1 try left"},
      {"12345678", 0, "VerifyPassphrase: 9000 command completed"},
  };
  for (const Step& step : steps) {
    auto run = Run({"verify", "01", step.pass, "--text"});
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
                  "tarnwick: unknown subcommand 'format-card'; tarnwick --help lists them"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Tool, NoSubcommandPrintsTheUsageAndFails) {
  auto run = Run({});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_TRUE(Has(run.err, "usage: tarnwick")) << run.err;
}

TEST_F(Tool, EverySubcommandHasHelpWithAnExample) {
  auto overview = Run({"--help"});
  EXPECT_EQ(overview.exit_code, 0);
  for (const tarnwick::cli::Command& c : tarnwick::cli::AllCommands()) {
    std::string name(c.name);
    EXPECT_TRUE(Has(overview.out, "\n  " + name + " ")) << name << " missing from --help";
    auto help = Run({name, "--help"});
    EXPECT_EQ(help.exit_code, 0) << name;
    EXPECT_EQ(help.out.rfind("usage: tarnwick " + name, 0), 0u) << help.out;
    EXPECT_TRUE(Has(help.out, "example:\n  tarnwick " + name)) << help.out;
  }
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

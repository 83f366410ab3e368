// The tool's parsing helpers: hex, numbers and identifiers, each
// subcommand's argument checks, script lines, DER lengths and the global
// options. Each table row is one thing a person might type.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "args.h"
#include "command.h"
#include "der_integer.h"
#include "hex.h"
#include "script.h"
#include "tool.h"

namespace twtest {
namespace {

using tarnwick::cli::Bytes;

struct HexCase {
  const char* text;
  std::optional<std::string> hex;  // the bytes as plain hex, nullopt when refused
  const char* why = "";            // part of the reason when refused
};

class HexParsing : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexParsing, AcceptsSeparatorsAndRefusesBrokenBytes) {
  std::string why;
  auto bytes = tarnwick::cli::ParseHex(GetParam().text, &why);
  ASSERT_EQ(bytes.has_value(), GetParam().hex.has_value()) << why;
  if (bytes) EXPECT_EQ(tarnwick::cli::ToHex(*bytes), *GetParam().hex);
  else EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Tool, HexParsing,
    ::testing::Values(HexCase{"0A1B", "0A1B"}, HexCase{"0a 1b", "0A1B"}, HexCase{"0A:1B:2c", "0A1B2C"},
                      HexCase{"  0A\t1B\n", "0A1B"}, HexCase{"", ""}, HexCase{" : ", ""},
                      HexCase{"00112233 4455", "001122334455"},
                      HexCase{"A 1B", std::nullopt, "'A' has an odd number"},
                      HexCase{"0A1", std::nullopt, "odd number"},
                      HexCase{"0G", std::nullopt, "'G' is not a hex digit"},
                      HexCase{"0x0A", std::nullopt, "'x' is not a hex digit"},
                      HexCase{"0A-1B", std::nullopt, "'-' is not a hex digit"}));

struct NumberCase {
  const char* text;
  uint32_t min, max;
  std::optional<uint32_t> value;
};

class NumberParsing : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberParsing, DecimalOrPrefixedHexWithinRange) {
  const NumberCase& c = GetParam();
  EXPECT_EQ(tarnwick::cli::ParseNumber(c.text, c.min, c.max), c.value) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Tool, NumberParsing,
    ::testing::Values(NumberCase{"0", 0, 10, 0}, NumberCase{"10", 0, 10, 10}, NumberCase{"11", 0, 10, std::nullopt},
                      NumberCase{"0x10", 0, 100, 16}, NumberCase{"0X1f", 0, 100, 31},
                      NumberCase{"32768", 0, 32768, 32768}, NumberCase{"0", 1, 4, std::nullopt},
                      NumberCase{"4294967295", 0, 0xFFFFFFFF, 0xFFFFFFFF},
                      NumberCase{"4294967296", 0, 0xFFFFFFFF, std::nullopt},
                      NumberCase{"99999999999999999999999", 0, 0xFFFFFFFF, std::nullopt},
                      NumberCase{"", 0, 10, std::nullopt}, NumberCase{"-1", 0, 10, std::nullopt},
                      NumberCase{"+1", 0, 10, std::nullopt}, NumberCase{"0x", 0, 10, std::nullopt},
                      NumberCase{"1a", 0, 100, std::nullopt}, NumberCase{" 1", 0, 10, std::nullopt}));

struct IdCase {
  const char* text;
  std::optional<uint8_t> byte;     // ParseHexByte
  std::optional<uint8_t> file_id;  // ParseFileId
};

class IdentifierParsing : public ::testing::TestWithParam<IdCase> {};

TEST_P(IdentifierParsing, CardParametersAreHex) {
  EXPECT_EQ(tarnwick::cli::ParseHexByte(GetParam().text), GetParam().byte) << GetParam().text;
  EXPECT_EQ(tarnwick::cli::ParseFileId(GetParam().text), GetParam().file_id) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Tool, IdentifierParsing,
    ::testing::Values(IdCase{"1", 0x01, std::nullopt}, IdCase{"01", 0x01, 0x01}, IdCase{"10", 0x10, 0x10},
                      IdCase{"A4", 0xA4, 0xA4}, IdCase{"0xA4", 0xA4, std::nullopt},
                      IdCase{"0001", std::nullopt, 0x01}, IdCase{"0010", std::nullopt, 0x10},
                      // The library selects 00xx only: 3F00 cannot be named.
                      IdCase{"3F00", std::nullopt, std::nullopt}, IdCase{"100", std::nullopt, std::nullopt},
                      IdCase{"00001", std::nullopt, std::nullopt}, IdCase{"G1", std::nullopt, std::nullopt},
                      IdCase{"", std::nullopt, std::nullopt}));

struct CommandCase {
  const char* name;  // the test's name
  std::vector<std::string> words;
  const char* error;  // "" when the line is accepted; else the whole message
};

class SubcommandArguments : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SubcommandArguments, OneLineNamingTheArgument) {
  const auto& words = GetParam().words;
  const tarnwick::cli::Command* command = tarnwick::cli::FindCommand(words.front());
  ASSERT_NE(command, nullptr);
  std::string error;
  auto action = tarnwick::cli::ParseCommand(*command, {words.begin() + 1, words.end()}, &error);
  EXPECT_EQ(error, GetParam().error);
  EXPECT_EQ(static_cast<bool>(action), std::string(GetParam().error).empty());
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Tool, SubcommandArguments,
    ::testing::Values(
        CommandCase{"read_bin", {"read-bin", "16", "--file=0001", "--out", "x.bin"}, ""},
        CommandCase{"missing_length", {"read-bin"}, "LENGTH: missing; expected a number from 0 to 32768"},
        CommandCase{"length_too_big", {"read-bin", "40000"},
                    "LENGTH: expected a number from 0 to 32768, got '40000'"},
        CommandCase{"master_file_id", {"read-bin", "16", "--file", "3F00"},
                    "--file: expected a file identifier 00xx such as 0001, got '3F00'"},
        CommandCase{"unknown_option", {"read-bin", "16", "--bogus"}, "--bogus: unknown option"},
        CommandCase{"extra_argument", {"read-bin", "16", "17"}, "unexpected argument '17'"},
        CommandCase{"option_without_value", {"read-bin", "16", "--out"}, "--out: missing its value"},
        CommandCase{"flag_with_value", {"verify", "01", "31", "--text=yes"}, "--text: takes no value"},
        CommandCase{"bad_hex", {"update-bin", "0G"},
                    "DATA: expected hex bytes such as \"0A 1B\", got '0G': 'G' is not a hex digit"},
        CommandCase{"unreadable_file", {"append-record", "2", "@/nonexistent/data"},
                    "DATA: cannot read '/nonexistent/data': No such file or directory"},
        CommandCase{"record_too_long", {"append-record", "2", std::string(512, 'A')},
                    "DATA: at most 250 bytes, got 256"},
        CommandCase{"passphrase_too_long", {"verify", "01", std::string(251, 'p')},
                    "PASSPHRASE: at most 250 bytes, got 251"},
        CommandCase{"modulus_too_long", {"rsa-verify", "--modulus", std::string(486, '7'), "00"},
                    "--modulus: at most 242 bytes, got 243"},
        CommandCase{"hex_and_text", {"verify", "01", "31", "--hex", "--text"},
                    "--hex and --text: give one of them, not both"},
        CommandCase{"unwritable_output", {"gen-keypair", "01", "--out", "/nonexistent/m.bin"},
                    "--out: cannot write '/nonexistent/m.bin': No such file or directory"},
        CommandCase{"folder_output", {"challenge", "8", "--out", "."}, "--out: '.' is not a regular file"},
        CommandCase{"apdu", {"apdu", "00", "A4", "00", "00", "02", "00", "01", "=9000", ",", "00B0000004"}, ""},
        CommandCase{"apdu_short", {"apdu", "00 A4"}, "APDU: at least 4 bytes (CLA INS P1 P2), got 2"},
        CommandCase{"apdu_bad_expectation", {"apdu", "00 A4 00 00", "=90"},
                    "'=90': expected a status word such as =9000 or =61XX"},
        CommandCase{"apdu_after_expectation", {"apdu", "00 A4 00 00", "=9000", "00"},
                    "'00': the expected status word ends a command; separate commands with ,"},
        CommandCase{"read_file_id", {"read-file", "3F0"},
                    "FID: expected a file identifier of 2 or 4 hex digits such as 0001, got '3F0'"},
        CommandCase{"all_records", {"read-record", "2", "all"}, ""},
        CommandCase{"sfi_range", {"read-record", "32", "1", "4"}, "SFI: expected a number from 0 to 31, got '32'"},
        CommandCase{"text_passphrase", {"verify", "01", "12345678", "--text"}, ""},
        CommandCase{"short_passphrase", {"set-passphrase", "01", "1234567", "abcdefgh", "--text"},
                    "OLD: expected exactly 8 bytes, got 7"},
        CommandCase{"hex_passphrase", {"unblock", "01", "3837363534333231", "31:32:33:34:35:36:37:38", "--hex"}, ""},
        CommandCase{"text_is_the_default", {"unblock", "01", "3837363534333231", "12345678"},
                    "CODE: expected exactly 8 bytes, got 16"},
        CommandCase{"short_key", {"extern-auth", "01", "0011"}, "KEY: expected 16 bytes, got 2"},
        CommandCase{"no_public_key", {"rsa-encrypt", "0102"},
                    "--pk-file or --modulus: missing; expected a key file identifier or the modulus in hex"},
        CommandCase{"two_public_keys", {"rsa-verify", "--pk-file", "0010", "--modulus", "00", "01"},
                    "--pk-file and --modulus: give one of them, not both"},
        CommandCase{"short_modulus", {"rsa-encrypt", "--modulus", "0011", "01"},
                    "--modulus: expected 128 bytes, got 2"},
        CommandCase{"offline_to_file", {"gen-keypair", "--offline", "--to-file", "0010"},
                    "--offline and --to-file: give one of them, not both"},
        CommandCase{"offline", {"gen-keypair", "--offline"}, ""},
        CommandCase{"digest_size", {"digest", "61", "--size", "5"}, "--size: expected 16, 8 or 4, got 5"},
        CommandCase{"der_short", {"der-decode", "02 05 01"}, "DER: at offset 0: the INTEGER needs 7 bytes, 3 left"},
        CommandCase{"der_second_short", {"der-decode", "02 01 7F 02 02 00"},
                    "DER: at offset 3: the INTEGER needs 4 bytes, 3 left"},
        CommandCase{"cdea_mode", {"cdea-genmk", "2", "00"}, "MODE: expected a number from 0 to 1, got '2'"},
        CommandCase{"create_file_description", {"create-file", "20", "01 02 03"},
                    "DESCRIPTION: expected 7 bytes, got 3"},
        CommandCase{"protocol", {"protocol", "1"}, ""},
        CommandCase{"run_missing_script", {"run"}, "SCRIPT: missing; expected a script file (- for standard input)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SubcommandArguments, MainDataComesFromInFile) {
  auto path = std::filesystem::temp_directory_path() / "tarnwick_tool_in.bin";
  std::ofstream(path, std::ios::binary) << std::string("\x01\x02\x03", 3);
  tarnwick::cli::ArgReader reader({"--in", path.string()}, "--in=");
  Bytes data = reader.MainData("DATA");
  reader.Finish();
  std::filesystem::remove(path);
  EXPECT_TRUE(reader.ok()) << reader.error();
  EXPECT_EQ(tarnwick::cli::ToHex(data), "010203");
}

TEST(SubcommandArguments, EveryEntryIsDocumentedWithAnExample) {
  for (const tarnwick::cli::Command& c : tarnwick::cli::AllCommands()) {
    EXPECT_FALSE(c.summary.empty()) << c.name;
    // A one-line example is a command line; a longer one is a script for
    // run, with a line of the subcommand's own.
    const std::string name(c.name);
    const bool script = c.example.find('\n') != std::string_view::npos;
    const std::string lines = "\n" + std::string(c.example) + "\n";
    const bool shown = script ? name == "run" || lines.find("\n" + name + " ") != std::string::npos ||
                                    lines.find("\n" + name + "\n") != std::string::npos
                              : c.example.rfind("tarnwick " + name, 0) == 0;
    EXPECT_TRUE(shown) << c.name << ": " << c.example;
    EXPECT_EQ(tarnwick::cli::FindCommand(c.name), &c) << c.name << " appears twice";
  }
}

struct SplitCase {
  const char* line;
  std::optional<std::vector<std::string>> words;
};

class ScriptLines : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ScriptLines, QuotesGroupAndHashComments) {
  std::string why;
  EXPECT_EQ(tarnwick::cli::SplitScriptLine(GetParam().line, &why), GetParam().words) << GetParam().line;
}

using Words = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Tool, ScriptLines,
    ::testing::Values(SplitCase{"select 0001", Words{"select", "0001"}},
                      SplitCase{"  update-bin \"48 65 6C\" --file 0001\r", Words{"update-bin", "48 65 6C", "--file", "0001"}},
                      SplitCase{"verify 01 '1234 5678' --text # the default", Words{"verify", "01", "1234 5678", "--text"}},
                      SplitCase{"# a comment", Words{}}, SplitCase{"", Words{}},
                      SplitCase{"log a#b", Words{"log", "a#b"}}, SplitCase{"log \"\"", Words{"log", ""}},
                      SplitCase{"log x\"y z\"w", Words{"log", "xy zw"}},
                      SplitCase{"update-bin \"48 65", std::nullopt}, SplitCase{"log 'it", std::nullopt}));

struct ScriptCase {
  const char* text;
  std::size_t steps;
  const char* error;
};

class Scripts : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(Scripts, EveryLineIsCheckedBeforeAnyRuns) {
  std::string why;
  auto steps = tarnwick::cli::ParseScript(GetParam().text, &why);
  EXPECT_EQ(why, GetParam().error);
  EXPECT_EQ(steps ? steps->size() : 0u, GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    Tool, Scripts,
    ::testing::Values(ScriptCase{"# read EF 0001\nselect 0001\n\nread-bin 4\n", 2, ""},
                      ScriptCase{"select 0001\nread-bin 4", 2, ""},
                      ScriptCase{"select 0001\nbogus 1\n", 0, "line 2: unknown subcommand 'bogus'"},
                      ScriptCase{"select 0001\n\nread-bin\n", 0,
                                 "line 3: read-bin: LENGTH: missing; expected a number from 0 to 32768"},
                      ScriptCase{"run other.twk\n", 0, "line 1: a script cannot run another script"},
                      ScriptCase{"verify 01 \"1234\n", 0, "line 1: unterminated double quote"}));

// `run` echoes each line; the arguments that carry the secrets the driver's
// trace hides show as "**" unless SKORRA_TRACE_SECRETS=1.
struct EchoCase {
  const char* line;
  const char* echoed;
};

class ScriptEcho : public ::testing::TestWithParam<EchoCase> {};

TEST_P(ScriptEcho, HidesTheSecretsTheTraceHides) {
  std::string why;
  auto steps = tarnwick::cli::ParseScript(GetParam().line, &why);
  ASSERT_TRUE(steps && steps->size() == 1) << why;
  EXPECT_EQ(tarnwick::cli::EchoedLine(steps->front(), false), GetParam().echoed);
  EXPECT_EQ(tarnwick::cli::EchoedLine(steps->front(), true), steps->front().text);
}

INSTANTIATE_TEST_SUITE_P(
    Tool, ScriptEcho,
    ::testing::Values(EchoCase{"verify 01 12345678 --text  # my passphrase", "verify 01 ** --text"},
                      EchoCase{"verify --text 01 '1234 5678'", "verify --text 01 **"},
                      EchoCase{"set-passphrase 01 3132333435363738 6162636465666768 --hex",
                               "set-passphrase 01 ** ** --hex"},
                      EchoCase{"unblock 01 87654321 12345678 --text", "unblock 01 ** ** --text"},
                      EchoCase{"add-key 03 \"03 01 01 00 11 22 33 44 55 66 77 88\"", "add-key 03 **"},
                      EchoCase{"extern-auth 01 000102030405060708090A0B0C0D0E0F", "extern-auth 01 **"},
                      EchoCase{"des-encrypt 0123456789ABCDEF 4E6F772069732074", "des-encrypt ** 4E6F772069732074"},
                      EchoCase{"cdea-encrypt 000102030405060708090A0B0C0D0E0F --out 'my file' 00",
                               "cdea-encrypt ** --out \"my file\" 00"},
                      EchoCase{"select 0001   # not secret", "select 0001   # not secret"},
                      EchoCase{"apdu 00 20 00 01 08 3132333435363738 =9000",
                               "apdu 00 20 00 01 08 ** ** ** ** ** ** ** ** =9000"},
                      EchoCase{"apdu 00A4000002 0001 , 80 F4 00 00 02 AABB",
                               "apdu 00 A4 00 00 02 00 01 , 80 F4 00 00 02 ** **"}));

// A subcommand that declares no echo rule hides every positional argument.
TEST(ScriptEcho, UndeclaredSubcommandHidesItsArguments) {
  const tarnwick::cli::Command made_up{"made-up", "", "", "", "", "--out=", true, nullptr};
  const tarnwick::cli::ScriptStep step{1, "made-up 01 \"02 03\" --out x", &made_up, {}, false};
  EXPECT_EQ(tarnwick::cli::EchoedLine(step, false), "made-up ** ** --out x");
}

struct DerCase {
  const char* hex;
  std::size_t size;  // 0 when the bytes do not hold the INTEGER
};

class DerLengths : public ::testing::TestWithParam<DerCase> {};

TEST_P(DerLengths, TheEncodingMustLieWithinTheData) {
  std::string why;
  Bytes der = *tarnwick::cli::ParseHex(GetParam().hex, &why);
  EXPECT_EQ(tarnwick::cli::DerIntegerSize(der, &why), GetParam().size) << GetParam().hex;
}

INSTANTIATE_TEST_SUITE_P(
    Tool, DerLengths,
    ::testing::Values(DerCase{"02 03 01 00 01", 5}, DerCase{"02 03 01 00 01 FF", 5}, DerCase{"02 01 00", 3},
                      DerCase{"02 81 05 01 02 03 04 05", 8}, DerCase{"02 82 00 02 12 34", 6},
                      DerCase{"02 84 00 00 00 02 12 34", 8}, DerCase{"02 80 00 00 00 01 7F", 7},
                      DerCase{"02 03 01 00", 0}, DerCase{"02 00", 0}, DerCase{"02", 0}, DerCase{"", 0},
                      DerCase{"02 81", 0}, DerCase{"02 82 00 05 01", 0}, DerCase{"02 84 FF FF FF FF 00", 0},
                      DerCase{"30 03 02 01 05", 0}));

struct InvocationCase {
  std::vector<std::string> args;
  const char* error;
  uint8_t selector, port;
  bool trace, help;
  std::vector<std::string> rest;
};

class GlobalOptions : public ::testing::TestWithParam<InvocationCase> {};

TEST_P(GlobalOptions, TakenFromAnywhereOnTheLine) {
  const InvocationCase& c = GetParam();
  std::string why;
  auto inv = tarnwick::cli::ParseInvocation(c.args, &why);
  EXPECT_EQ(why, c.error);
  if (!inv) return;
  EXPECT_EQ(inv->connection.selector, c.selector);
  EXPECT_EQ(inv->connection.port, c.port);
  EXPECT_EQ(inv->connection.trace, c.trace);
  EXPECT_EQ(inv->help, c.help);
  EXPECT_EQ(inv->rest, c.rest);
}

INSTANTIATE_TEST_SUITE_P(
    Tool, GlobalOptions,
    ::testing::Values(
        InvocationCase{{"select", "0001"}, "", 1, 1, false, false, {"select", "0001"}},
        InvocationCase{{"--driver=usb", "--port", "3", "select", "01"}, "", 2, 3, false, false, {"select", "01"}},
        InvocationCase{{"select", "01", "--trace", "--port=4"}, "", 1, 4, true, false, {"select", "01"}},
        InvocationCase{{"read-bin", "-h"}, "", 1, 1, false, true, {"read-bin"}},
        InvocationCase{{"--port", "5", "select"}, "--port: expected a number from 1 to 4, got '5'", 0, 0, false, false, {}},
        InvocationCase{{"--driver", "pcsc"}, "--driver: expected serial or usb, got 'pcsc'", 0, 0, false, false, {}},
        InvocationCase{{"select", "--port"}, "--port: missing its value", 0, 0, false, false, {}},
        InvocationCase{{"--bogus", "select"}, "--bogus: unknown option; tarnwick --help lists the options", 0, 0, false,
                       false, {}},
        InvocationCase{{"apdu", "00", "-1"}, "", 1, 1, false, false, {"apdu", "00", "-1"}}));

TEST(HexDump, OffsetHexAndPrintableColumn) {
  Bytes bytes{'H', 'e', 'l', 'l', 'o', 0x00, 0x01, 0x7F, 0x20, '~', 0x80, 0xFF, 0x0A, 0x0D, 0x09, 'A', 'Z'};
  auto lines = tarnwick::cli::HexDumpLines(bytes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "0000  48 65 6C 6C 6F 00 01 7F 20 7E 80 FF 0A 0D 09 41  Hello... ~.....A");
  EXPECT_EQ(lines[1], "0010  5A                                               Z");
}

}  // namespace
}  // namespace twtest

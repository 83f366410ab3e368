// Raw command APDUs and whole files, carried by the tool's own binding of
// the reader driver: what a person sends when the library has no call for it.
#include <algorithm>
#include <cctype>
#include <string>

#include "command.h"
#include "protocol/instructions.h"
#include "driver_link.h"
#include "driver_loader.h"
#include "whole_file.h"

namespace tarnwick::cli {
namespace {

// A command needs CLA INS P1 P2.
constexpr std::size_t kShortestCommand = 4;

// "=9000" or "=61XX": the status word a script expects, X matching any digit.
struct Expectation {
  std::string text;

  bool Matches(int32_t sw) const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 4; ++i) {
      char want = text[static_cast<std::size_t>(i)];
      if (want != 'X' && want != kDigits[(sw >> (12 - 4 * i)) & 0x0F]) return false;
    }
    return true;
  }
};

std::optional<Expectation> ParseExpectation(ArgReader& a, const std::string& word) {
  std::string text;
  for (char c : word.substr(1)) text += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  bool valid = text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == 'X';
  });
  if (!valid) a.Fail("'" + word + "': expected a status word such as =9000 or =61XX");
  return Expectation{text};
}

struct RawCommand {
  Bytes bytes;
  std::optional<Expectation> expected;
};

// Words up to a lone "," make one command; a last word =SW is its
// expected status word.
std::vector<RawCommand> ParseCommands(ArgReader& a, const std::vector<std::string>& words) {
  std::vector<RawCommand> commands(1);
  for (const std::string& word : words) {
    RawCommand& current = commands.back();
    if (word == ",") {
      commands.emplace_back();
    } else if (current.expected) {
      a.Fail("'" + word + "': the expected status word ends a command; separate commands with ,");
    } else if (!word.empty() && word[0] == '=') {
      current.expected = ParseExpectation(a, word);
    } else {
      std::string why;
      auto bytes = ParseHex(word, &why);
      if (!bytes) a.Fail("APDU: expected hex bytes, got '" + word + "': " + why);
      else current.bytes.insert(current.bytes.end(), bytes->begin(), bytes->end());
    }
  }
  for (const RawCommand& command : commands) {
    if (command.bytes.size() < kShortestCommand)
      a.Fail("APDU: at least 4 bytes (CLA INS P1 P2), got " + std::to_string(command.bytes.size()));
    a.Limit("APDU", command.bytes.size(), loader::kLongestCommand);
  }
  return commands;
}

// The driver is bound for the length of one action; a binding that fails
// is reported and the action does nothing.
std::unique_ptr<DriverLink> BindDriver(Context& c) {
  std::string why;
  auto link = DriverLink::Bind(c.connection.selector, &why);
  if (!link) c.report.Failure(why);
  return link;
}

void ReportRaw(Context& c, const std::string& call, const CardAnswer& answer, const std::optional<Expectation>& expected) {
  if (!expected) c.report.Status(call, answer.sw);
  else if (expected->Matches(answer.sw)) c.report.Answer(call, answer.sw, "as expected", true);
  else c.report.Answer(call, answer.sw, DescribeStatusWord(answer.sw).substr(5) + "; expected " + expected->text, false);
  if (!answer.data.empty()) c.report.Data("answer", answer.data);
}

Action ParseApdu(ArgReader& a) {
  std::vector<RawCommand> commands = ParseCommands(a, a.Rest());
  return [=](Context& c) {
    auto link = BindDriver(c);
    if (!link) return;
    for (std::size_t i = 0; i < commands.size(); ++i) {
      std::string call = commands.size() == 1 ? "apdu" : "apdu " + std::to_string(i + 1);
      int before = c.report.failures();
      ReportRaw(c, call, link->Exchange(c.reader, commands[i].bytes), commands[i].expected);
      if (c.report.failures() != before) return;
    }
  };
}

// 2 or 4 hex digits: 01 is 0001, as everywhere in the tool.
std::optional<uint16_t> ParseFullFileId(std::string_view text) {
  if (text.size() == 2) return ParseHexByte(text);
  if (text.size() != 4) return std::nullopt;
  auto high = ParseHexByte(text.substr(0, 2));
  auto low = ParseHexByte(text.substr(2));
  if (!high || !low) return std::nullopt;
  return static_cast<uint16_t>(*high << 8 | *low);
}

void ReadRecordsOf(Context& c, const DriverLink& link, uint8_t sfi, const std::optional<std::string>& out) {
  Records all = ReadAllRecords(link, c.reader, sfi);
  if (all.sw != TW_SW_SUCCESS) c.report.Status("READ RECORD", all.sw);
  else c.report.Line("READ RECORD: " + std::to_string(all.records.size()) +
                      (all.records.size() == 1 ? " record" : " records"));
  Bytes joined;
  for (std::size_t i = 0; i < all.records.size(); ++i) {
    if (!out) c.report.Data("record " + std::to_string(i + 1), all.records[i]);
    joined.insert(joined.end(), all.records[i].begin(), all.records[i].end());
  }
  if (out && all.sw == TW_SW_SUCCESS) c.report.Output("records", joined, out);
}

Action ParseReadFile(ArgReader& a) {
  std::string text = a.Word("FID", "a file identifier such as 0001");
  auto fid = ParseFullFileId(text);
  if (a.ok() && !fid) a.Fail("FID: expected a file identifier of 2 or 4 hex digits such as 0001, got '" + text + "'");
  auto out = a.Output();
  uint16_t id = fid.value_or(0);
  return [=](Context& c) {
    auto link = BindDriver(c);
    if (!link) return;
    const uint8_t select[] = {ins::kSelectFile.cla, ins::kSelectFile.ins, 0x00, 0x00, 0x02, static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id), 0x00};
    CardAnswer selected = link->Exchange(c.reader, select);
    c.report.Status("SELECT FILE", selected.sw);
    if (selected.sw != TW_SW_SUCCESS) return;
    FileShape shape = ShapeFromFcp(selected.data);
    if (shape.kind == FileKind::kRecords) {
      ReadRecordsOf(c, *link, 0, out);
      return;
    }
    CardAnswer whole = ReadWholeTransparent(*link, c.reader, shape.size);
    c.report.Status("READ BINARY", whole.sw);
    if (whole.sw == TW_SW_SUCCESS) c.report.Output("data", whole.data, out);
    else if (!whole.data.empty()) c.report.Data("read before the failure", whole.data);
  };
}

const Command kCommands[] = {
    {"apdu", "send command APDUs as they are and print each answer",
     "APDU [=SW] [, APDU [=SW] ...]",
     "APDU  the command's bytes in hex, in one word or several (00 A4 00 00 02 00 01)\n"
     "=SW   the status word expected (X for any digit: =61XX); another answer fails\n"
     ",     separates commands; sending stops at the first that fails",
     "tarnwick apdu 00 A4 00 00 02 00 01 =9000 , 00 B0 00 00 04", "", true, ParseApdu, kEchoCommandBytes},
    {"read-file", "read a whole file: all its bytes, or all its records",
     "FID [--out FILE]",
     "FID    the file identifier, 2 or 4 hex digits; its SELECT answer tells the size\n"
     "--out  write the bytes (or the records one after another) to FILE",
     "tarnwick read-file 0004", "--out=", true, ParseReadFile, kEchoInClear},
};

}  // namespace

std::span<const Command> RawCommands() { return kCommands; }

// Shared with read-record's `all`.
void ReadEveryRecord(Context& c, uint8_t sfi, const std::optional<std::string>& out) {
  auto link = BindDriver(c);
  if (link) ReadRecordsOf(c, *link, sfi, out);
}

}  // namespace tarnwick::cli

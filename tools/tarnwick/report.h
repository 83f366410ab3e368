// What the tool prints: each call's status word with its ISO/IEC 7816-4
// meaning, results as hex (and text where printable), and whether anything
// failed, which decides the exit code.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "hex.h"

namespace tarnwick::cli {

// "6A82 file or application not found".
std::string DescribeStatusWord(int32_t sw);

class Report {
 public:
  explicit Report(std::FILE* out) : out_(out) {}

  // One card answer: "SelectFile: 9000 ..."; anything but 0x9000 counts as a
  // failure.
  void Status(std::string_view call, int32_t sw);
  // A status word with a meaning of the caller's and its own verdict (a
  // status query, an answer a script expected).
  void Answer(std::string_view call, int32_t sw, std::string_view meaning, bool ok);
  // A result that is not a status word (ExternAuth's 0-3, a driver's code).
  void Result(std::string_view call, int32_t code, std::string_view meaning, bool ok);
  // Bytes as hex, with the text beside them when all are printable.
  void Data(std::string_view label, std::span<const uint8_t> bytes);
  // Writes the bytes to out_path when given ("-": standard output), else
  // prints them as Data. When the file cannot be written after all, the
  // bytes are printed so that a result the card gave once is not lost.
  void Output(std::string_view label, const Bytes& bytes, const std::optional<std::string>& out_path);
  void Line(std::string_view text);
  // A failure outside the card (no driver, an unwritable file): to stderr.
  void Failure(std::string_view text);

  // Reports from now on go to this stream (standard error when standard
  // output carries raw bytes).
  void UseStream(std::FILE* out) { out_ = out; }

  int failures() const { return failures_; }

 private:
  std::FILE* out_;
  int failures_ = 0;
};

}  // namespace tarnwick::cli

// Argument reading for one subcommand: positionals in order, the options the
// subcommand declares, typed values, and the first usage error as a value.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hex.h"

namespace tarnwick::cli {

// True when the words send a result to standard output (--out -), which
// then carries the bytes alone.
bool WritesToStandardOutput(const std::vector<std::string>& words);

// Number parsing shared by positionals and options: decimal, or hex with a
// 0x prefix. nullopt for anything else or a value outside [min, max].
std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t min, uint32_t max);

// A byte written as hex, as card parameters are: "1", "01", "0x01", "A4".
std::optional<uint8_t> ParseHexByte(std::string_view text);

// A file identifier 00xx as two or four hex digits ("01", "0001"); the
// library selects files below the master file by their low byte only.
std::optional<uint8_t> ParseFileId(std::string_view text);

class ArgReader {
 public:
  // option_spec lists the subcommand's options separated by spaces; a
  // trailing '=' marks one that takes a value: "--out= --offline".
  ArgReader(std::vector<std::string> tokens, std::string_view option_spec);

  // Positionals, taken in order. `name` appears in messages ("LENGTH").
  uint32_t Number(std::string_view name, uint32_t min, uint32_t max);
  uint8_t HexByte(std::string_view name);
  uint8_t FileId(std::string_view name);
  // Hex bytes, or @FILE for a file's raw bytes (@- standard input).
  Bytes Data(std::string_view name);
  // As Data, but taken from --in FILE instead when that option is given.
  Bytes MainData(std::string_view name);
  // Data of exactly `size` bytes.
  Bytes FixedData(std::string_view name, std::size_t size);
  // With as_text the argument's own characters are the bytes ("12345678");
  // otherwise it is read as Data.
  Bytes TextOrData(std::string_view name, bool as_text);
  std::string Word(std::string_view name, std::string_view expected);
  // Every positional not taken yet.
  std::vector<std::string> Rest();
  bool HasPositional() const { return next_ < positionals_.size(); }
  // The next positional without taking it; only when HasPositional().
  const std::string& Peek() const { return positionals_[next_]; }

  // Options.
  bool Flag(std::string_view option);
  std::optional<std::string> Value(std::string_view option);
  std::optional<uint32_t> NumberOption(std::string_view option, uint32_t min, uint32_t max);
  std::optional<uint8_t> HexByteOption(std::string_view option);
  std::optional<uint8_t> FileIdOption(std::string_view option);
  std::optional<Bytes> DataOption(std::string_view option);
  // An output file, checked now so that no card command runs for a result
  // that could not be kept: "-" is standard output.
  std::optional<std::string> Output(std::string_view option = "--out");

  // A limit the library enforces by answering 0x6700: refused here with one
  // line naming it.
  void Limit(std::string_view name, std::size_t size, std::size_t max);

  // Records a usage error unless one is already recorded.
  void Fail(std::string message);
  // Refuses positionals left over after the last one the subcommand takes.
  void Finish();

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

 private:
  std::optional<std::string> NextPositional(std::string_view name, std::string_view expected);
  std::optional<Bytes> ReadData(std::string_view name, const std::string& text);

  std::vector<std::string> positionals_;
  std::size_t next_ = 0;
  std::map<std::string, std::string, std::less<>> values_;
  std::map<std::string, bool, std::less<>> flags_;
  std::string error_;
};

}  // namespace tarnwick::cli

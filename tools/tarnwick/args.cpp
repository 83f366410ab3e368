// Argument reading for the subcommands: every malformed or missing argument
// becomes one line naming the argument and what was expected.
#include "args.h"

#include <charconv>

#include "file_io.h"

namespace tarnwick::cli {
namespace {

std::optional<uint64_t> ParseDigits(std::string_view text, int base) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool HasHexPrefix(std::string_view text) {
  return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

std::string Range(uint32_t min, uint32_t max) {
  return "a number from " + std::to_string(min) + " to " + std::to_string(max);
}

// Splits "--name=value" into its two halves; value is nullopt without '='.
std::pair<std::string, std::optional<std::string>> SplitOption(const std::string& token) {
  auto eq = token.find('=');
  if (eq == std::string::npos) return {token, std::nullopt};
  return {token.substr(0, eq), token.substr(eq + 1)};
}

}  // namespace

bool WritesToStandardOutput(const std::vector<std::string>& words) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "--out=-") return true;
    if (words[i] == "--out" && i + 1 < words.size() && words[i + 1] == "-") return true;
  }
  return false;
}

std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t min, uint32_t max) {
  auto value = HasHexPrefix(text) ? ParseDigits(text.substr(2), 16) : ParseDigits(text, 10);
  if (!value || *value < min || *value > max) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

std::optional<uint8_t> ParseHexByte(std::string_view text) {
  if (HasHexPrefix(text)) text.remove_prefix(2);
  if (text.empty() || text.size() > 2) return std::nullopt;
  auto value = ParseDigits(text, 16);
  if (!value) return std::nullopt;
  return static_cast<uint8_t>(*value);
}

std::optional<uint8_t> ParseFileId(std::string_view text) {
  if (text.size() == 4) {
    if (text.substr(0, 2) != "00") return std::nullopt;
    text.remove_prefix(2);
  }
  if (text.size() != 2) return std::nullopt;
  return ParseHexByte(text);
}

ArgReader::ArgReader(std::vector<std::string> tokens, std::string_view option_spec) {
  std::map<std::string, bool, std::less<>> takes_value;
  for (std::size_t i = 0; i < option_spec.size();) {
    std::size_t end = option_spec.find(' ', i);
    if (end == std::string_view::npos) end = option_spec.size();
    std::string_view name = option_spec.substr(i, end - i);
    if (!name.empty()) {
      bool value = name.back() == '=';
      if (value) name.remove_suffix(1);
      takes_value.emplace(std::string(name), value);
    }
    i = end + 1;
  }
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    if (token.size() < 3 || token.compare(0, 2, "--") != 0) {
      positionals_.push_back(token);
      continue;
    }
    auto [name, inline_value] = SplitOption(token);
    auto option = takes_value.find(name);
    if (option == takes_value.end()) {
      Fail(name + ": unknown option");
    } else if (!option->second) {
      if (inline_value) Fail(name + ": takes no value");
      flags_[name] = true;
    } else if (inline_value) {
      values_[name] = *inline_value;
    } else if (i + 1 < tokens.size()) {
      values_[name] = tokens[++i];
    } else {
      Fail(name + ": missing its value");
    }
  }
}

void ArgReader::Fail(std::string message) {
  if (error_.empty()) error_ = std::move(message);
}

void ArgReader::Finish() {
  if (next_ < positionals_.size()) Fail("unexpected argument '" + positionals_[next_] + "'");
}

std::optional<std::string> ArgReader::NextPositional(std::string_view name, std::string_view expected) {
  if (next_ >= positionals_.size()) {
    Fail(std::string(name) + ": missing; expected " + std::string(expected));
    return std::nullopt;
  }
  return positionals_[next_++];
}

uint32_t ArgReader::Number(std::string_view name, uint32_t min, uint32_t max) {
  auto text = NextPositional(name, Range(min, max));
  if (!text) return min;
  auto value = ParseNumber(*text, min, max);
  if (!value) Fail(std::string(name) + ": expected " + Range(min, max) + ", got '" + *text + "'");
  return value.value_or(min);
}

uint8_t ArgReader::HexByte(std::string_view name) {
  constexpr std::string_view kExpected = "one hex byte such as 01";
  auto text = NextPositional(name, kExpected);
  if (!text) return 0;
  auto value = ParseHexByte(*text);
  if (!value) Fail(std::string(name) + ": expected " + std::string(kExpected) + ", got '" + *text + "'");
  return value.value_or(0);
}

uint8_t ArgReader::FileId(std::string_view name) {
  constexpr std::string_view kExpected = "a file identifier 00xx such as 0001";
  auto text = NextPositional(name, kExpected);
  if (!text) return 0;
  auto value = ParseFileId(*text);
  if (!value) Fail(std::string(name) + ": expected " + std::string(kExpected) + ", got '" + *text + "'");
  return value.value_or(0);
}

std::optional<Bytes> ArgReader::ReadData(std::string_view name, const std::string& text) {
  std::string why;
  std::optional<Bytes> bytes;
  if (!text.empty() && text[0] == '@') {
    bytes = ReadInput(text.substr(1), &why);
  } else {
    bytes = ParseHex(text, &why);
    if (!bytes) why = "expected hex bytes such as \"0A 1B\", got '" + text + "': " + why;
  }
  if (!bytes) Fail(std::string(name) + ": " + why);
  return bytes;
}

Bytes ArgReader::Data(std::string_view name) {
  auto text = NextPositional(name, "hex bytes or @FILE");
  if (!text) return {};
  return ReadData(name, *text).value_or(Bytes{});
}

Bytes ArgReader::MainData(std::string_view name) {
  auto in = Value("--in");
  if (!in) return Data(name);
  std::string why;
  auto bytes = ReadInput(*in, &why);
  if (!bytes) Fail("--in: " + why);
  return bytes.value_or(Bytes{});
}

Bytes ArgReader::FixedData(std::string_view name, std::size_t size) {
  auto text = NextPositional(name, std::to_string(size) + " bytes in hex");
  if (!text) return Bytes(size);
  auto bytes = ReadData(name, *text);
  if (bytes && bytes->size() != size)
    Fail(std::string(name) + ": expected " + std::to_string(size) + " bytes, got " +
         std::to_string(bytes->size()));
  if (!bytes || bytes->size() != size) return Bytes(size);
  return *bytes;
}

Bytes ArgReader::TextOrData(std::string_view name, bool as_text) {
  if (!as_text) return Data(name);
  auto text = NextPositional(name, "text");
  if (!text) return {};
  return Bytes(text->begin(), text->end());
}

std::string ArgReader::Word(std::string_view name, std::string_view expected) {
  return NextPositional(name, expected).value_or("");
}

std::vector<std::string> ArgReader::Rest() {
  std::vector<std::string> rest(positionals_.begin() + static_cast<std::ptrdiff_t>(next_), positionals_.end());
  next_ = positionals_.size();
  return rest;
}

bool ArgReader::Flag(std::string_view option) { return flags_.contains(option); }

std::optional<std::string> ArgReader::Value(std::string_view option) {
  auto it = values_.find(option);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<uint32_t> ArgReader::NumberOption(std::string_view option, uint32_t min, uint32_t max) {
  auto text = Value(option);
  if (!text) return std::nullopt;
  auto value = ParseNumber(*text, min, max);
  if (!value) Fail(std::string(option) + ": expected " + Range(min, max) + ", got '" + *text + "'");
  return value;
}

std::optional<uint8_t> ArgReader::HexByteOption(std::string_view option) {
  auto text = Value(option);
  if (!text) return std::nullopt;
  auto value = ParseHexByte(*text);
  if (!value) Fail(std::string(option) + ": expected one hex byte such as 01, got '" + *text + "'");
  return value;
}

std::optional<uint8_t> ArgReader::FileIdOption(std::string_view option) {
  auto text = Value(option);
  if (!text) return std::nullopt;
  auto value = ParseFileId(*text);
  if (!value) Fail(std::string(option) + ": expected a file identifier 00xx such as 0001, got '" + *text + "'");
  return value;
}

std::optional<Bytes> ArgReader::DataOption(std::string_view option) {
  auto text = Value(option);
  if (!text) return std::nullopt;
  return ReadData(option, *text);
}

std::optional<std::string> ArgReader::Output(std::string_view option) {
  auto path = Value(option);
  std::string why;
  if (path && *path != "-" && !CheckWritable(*path, &why)) Fail(std::string(option) + ": " + why);
  return path;
}

void ArgReader::Limit(std::string_view name, std::size_t size, std::size_t max) {
  if (size > max)
    Fail(std::string(name) + ": at most " + std::to_string(max) + " bytes, got " + std::to_string(size));
}

}  // namespace tarnwick::cli

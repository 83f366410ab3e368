// Printing card answers and results for a person.
#include "report.h"

#include "file_io.h"
#include "protocol/status_words.h"

namespace tarnwick::cli {
namespace {

constexpr std::size_t kOneLineBytes = 32;

}  // namespace

std::string DescribeStatusWord(int32_t sw) { return status::Describe(sw); }

void Report::Status(std::string_view call, int32_t sw) {
  std::fprintf(out_, "%.*s: %s\n", static_cast<int>(call.size()), call.data(), DescribeStatusWord(sw).c_str());
  if (sw != TW_SW_SUCCESS) ++failures_;
}

void Report::Answer(std::string_view call, int32_t sw, std::string_view meaning, bool ok) {
  std::fprintf(out_, "%.*s: %04X %.*s\n", static_cast<int>(call.size()), call.data(), static_cast<unsigned>(sw & 0xFFFF),
               static_cast<int>(meaning.size()), meaning.data());
  if (!ok) ++failures_;
}

void Report::Result(std::string_view call, int32_t code, std::string_view meaning, bool ok) {
  std::fprintf(out_, "%.*s: %d %.*s\n", static_cast<int>(call.size()), call.data(), code,
               static_cast<int>(meaning.size()), meaning.data());
  if (!ok) ++failures_;
}

void Report::Data(std::string_view label, std::span<const uint8_t> bytes) {
  std::fprintf(out_, "  %.*s (%zu bytes):", static_cast<int>(label.size()), label.data(), bytes.size());
  if (bytes.size() <= kOneLineBytes) {
    std::fprintf(out_, " %s", ToSpacedHex(bytes).c_str());
    if (IsPrintableText(bytes))
      std::fprintf(out_, "  \"%.*s\"", static_cast<int>(bytes.size()), reinterpret_cast<const char*>(bytes.data()));
    std::fputc('\n', out_);
    return;
  }
  std::fputc('\n', out_);
  for (const std::string& line : HexDumpLines(bytes)) std::fprintf(out_, "    %s\n", line.c_str());
}

void Report::Output(std::string_view label, const Bytes& bytes, const std::optional<std::string>& out_path) {
  if (!out_path) {
    Data(label, bytes);
    return;
  }
  std::string why;
  if (!WriteOutput(*out_path, bytes, &why)) {
    Failure(why);
    Data(label, bytes);
    return;
  }
  if (*out_path != "-")
    std::fprintf(out_, "  %.*s (%zu bytes) written to %s\n", static_cast<int>(label.size()), label.data(),
                 bytes.size(), out_path->c_str());
}

void Report::Line(std::string_view text) {
  std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
}

void Report::Failure(std::string_view text) {
  std::fflush(out_);
  std::fprintf(stderr, "tarnwick: %.*s\n", static_cast<int>(text.size()), text.data());
  ++failures_;
}

}  // namespace tarnwick::cli

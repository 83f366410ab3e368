// Prints the demo's steps, one line each, and counts the failures.
#include "steps.h"

#include "protocol/status_words.h"

namespace demo {

void StepPrinter::Step(const std::string& what, int32_t sw, bool ok, const std::string& detail) {
  Print(what, tarnwick::status::Describe(sw), ok && sw == TW_SW_SUCCESS, detail);
}

void StepPrinter::CodeStep(const std::string& what, int32_t code, bool ok, const std::string& detail) {
  Print(what, ok ? tarnwick::status::Describe(TW_SW_SUCCESS) : "returned " + std::to_string(code), ok, detail);
}

void StepPrinter::Print(const std::string& what, const std::string& result, bool ok, const std::string& detail) {
  ++steps_;
  if (!ok) ++failures_;
  std::fprintf(out_, "%2d. %-44s %s", steps_, what.c_str(), result.c_str());
  if (!detail.empty()) std::fprintf(out_, "  (%s)", detail.c_str());
  if (!ok) std::fprintf(out_, "  <- FAILED");
  std::fprintf(out_, "\n");
  std::fflush(out_);
}

}  // namespace demo

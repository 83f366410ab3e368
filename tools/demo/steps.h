// The steps of the demo and how each one is printed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace demo {

// One printed step. A card command's result is its status word; the steps
// whose functions answer with codes of their own report 0x9000 when the
// code says success.
class StepPrinter {
 public:
  explicit StepPrinter(std::FILE* out) : out_(out) {}

  // Prints the step with the status word; ok says whether the step did what
  // it should (a command can answer 0x9000 and still hand back wrong data).
  void Step(const std::string& what, int32_t sw, bool ok = true, const std::string& detail = {});
  // A step whose function answers with a code of its own.
  void CodeStep(const std::string& what, int32_t code, bool ok, const std::string& detail = {});

  int failures() const { return failures_; }
  int steps() const { return steps_; }

 private:
  void Print(const std::string& what, const std::string& result, bool ok, const std::string& detail);

  std::FILE* out_;
  int steps_ = 0;
  int failures_ = 0;
};

// The whole demo on the reader at COM1; the number of failed steps.
int RunDemo(StepPrinter& printer);

}  // namespace demo

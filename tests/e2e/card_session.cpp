// The end-to-end fixture: bind, open COM1, power up; close and unbind after.
#include "card_session.h"

#include <sstream>

namespace e2e {

void CardSession::SetUp() {
  ASSERT_EQ(InitialLib(1), 1) << "libskorra.so is not beside libtarnwick.so";
  ASSERT_EQ(OpenCom(1, &reader_), 0);
  ASSERT_EQ(ResetICC(static_cast<int32_t>(reader_), 0, 0), 0);
}

void CardSession::TearDown() {
  if (reader_ != 0) CloseCom(&reader_);
  FreeLib();
}

std::vector<std::string> CardSession::TraceLines() const {
  std::vector<std::string> lines;
  std::istringstream in(skorratest::ReadFile(folder_.path() / "trace.txt"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace e2e

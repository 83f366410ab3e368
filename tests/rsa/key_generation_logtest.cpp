// A malformed key-pair answer is written to the diagnostic log when the log
// file exists, and leaves no file behind when it does not.
#include <gtest/gtest.h>

#include <filesystem>

#include "rsa/helpers.h"
#include "support/fixtures.h"

namespace twtest {
namespace {

// "generating the key pair, length error" and "return code", both GBK.
const std::string kText = "\xC9\xFA\xB3\xC9\xB9\xAB\xCB\xBD\xD4\xBF\xB6\xD4\xB3\xA4\xB6\xC8\xB4\xED";
const std::string kLabel = "\xB7\xB5\xBB\xD8\xC2\xEB";

struct Malformed {
  const char* name;
  std::vector<uint8_t> answer;
  std::string code;  // as the log line prints it
};

const Malformed kMalformed[] = {
    {"length_byte_0x40", Join(Bytes("6E 40"), Sequence(64, 0x01)), "  40"},
    {"cut_short", Join(Bytes("6E 80"), Sequence(60, 0x01)), "  3E"},
};

class MalformedAnswer : public BoundDriver, public ::testing::WithParamInterface<Malformed> {
 protected:
  int32_t Generate() {
    QueueSw(0x6D00);
    QueueSw(0x9000, GetParam().answer);
    uint8_t mod[128];
    uint32_t len = 0;
    return RsaGenerateKeyPair(0, 0x05, mod, &len, kReader);
  }
  LogPathGuard guard_;
};

TEST_P(MalformedAnswer, IsLoggedWhenTheLogExists) {
  LogPathGuard::CreateEmpty();
  EXPECT_EQ(Generate(), 0x6000);
  const std::string log = LogPathGuard::Contents();
  ASSERT_GT(log.size(), 19u);
  EXPECT_EQ(log.substr(19), ": " + kText + " " + kLabel + "=" + GetParam().code + "\r\n");
}

TEST_P(MalformedAnswer, CreatesNoLog) {
  EXPECT_EQ(Generate(), 0x6000);
  EXPECT_FALSE(std::filesystem::exists(LogPathGuard::kPath));
}

INSTANTIATE_TEST_SUITE_P(Rsa, MalformedAnswer, ::testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest

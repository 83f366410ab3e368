// Passphrase and key commands: one frame each, byte for byte, the low eight
// bits of a length, the 250-byte limit, and status words passed through.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

const std::vector<uint8_t> kOld = Bytes("3132333435363738");
const std::vector<uint8_t> kNew = Bytes("4142434445464748");

std::vector<uint8_t> Counting(std::size_t n) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i + 1);
  return v;
}
const std::vector<uint8_t> kData = Counting(255);

// A caller that passes a wider integer: only its low byte counts.
int Wide(int n) { return n; }

struct FrameCase {
  const char* name;
  std::function<int32_t()> call;
  std::string frame;  // "" when nothing may be sent
  int32_t result;
};

class SingleCommand : public BoundDriver, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(SingleCommand, SendsItsFrame) {
  EXPECT_EQ(GetParam().call(), GetParam().result);
  if (GetParam().frame.empty()) {
    EXPECT_TRUE(Apdus().empty());
    return;
  }
  ASSERT_EQ(Apdus().size(), 1u);
  EXPECT_EQ(Hex(Apdus()[0].frame), GetParam().frame);
  EXPECT_EQ(Apdus()[0].cmd_len, Apdus()[0].frame.size());
}

std::string Frame(const char* header, std::size_t data_bytes) {
  return std::string(header) + (data_bytes ? " " + Hex(kData.data(), data_bytes) : "");
}

INSTANTIATE_TEST_SUITE_P(
    Security, SingleCommand,
    ::testing::Values(
        FrameCase{"verify_six", [] { return VerifyPassphrase(kData.data(), 6, 0x01, kReader); },
                  "00 20 00 01 06 01 02 03 04 05 06", 0x9000},
        FrameCase{"verify_empty", [] { return VerifyPassphrase(kData.data(), 0, 0x07, kReader); },
                  "00 20 00 07 00", 0x9000},
        FrameCase{"verify_264_is_8",
                  [] { return VerifyPassphrase(kData.data(), Wide(264), 0x01, kReader); },
                  "00 20 00 01 08 01 02 03 04 05 06 07 08", 0x9000},
        FrameCase{"verify_250", [] { return VerifyPassphrase(kData.data(), 250, 0x01, kReader); },
                  Frame("00 20 00 01 FA", 250), 0x9000},
        FrameCase{"verify_251_refused",
                  [] { return VerifyPassphrase(kData.data(), 251, 0x01, kReader); }, "", 0x6700},
        FrameCase{"change", [] { return SetPassphrase(kReader, kOld.data(), 0x02, kNew.data()); },
                  "80 24 00 02 10 31 32 33 34 35 36 37 38 41 42 43 44 45 46 47 48", 0x9000},
        FrameCase{"unblock", [] { return KeyUnblock(0x02, kOld.data(), kNew.data(), kReader); },
                  "80 2C 00 02 10 31 32 33 34 35 36 37 38 41 42 43 44 45 46 47 48", 0x9000},
        FrameCase{"add_key", [] { return AddKey(0x05, 12, kData.data(), kReader); },
                  Frame("80 D4 01 05 0C", 12), 0x9000},
        FrameCase{"modify_key", [] { return ModifyKey(0x02, 16, 0x03, kData.data(), kReader); },
                  Frame("80 D4 02 03 10", 16), 0x9000},
        FrameCase{"add_key_empty", [] { return AddKey(0x09, 0, kData.data(), kReader); },
                  "80 D4 01 09 00", 0x9000},
        FrameCase{"add_key_272_is_16", [] { return AddKey(0x05, Wide(272), kData.data(), kReader); },
                  Frame("80 D4 01 05 10", 16), 0x9000},
        FrameCase{"modify_key_250", [] { return ModifyKey(0x04, 250, 0x01, kData.data(), kReader); },
                  Frame("80 D4 04 01 FA", 250), 0x9000},
        FrameCase{"add_key_255_refused", [] { return AddKey(0x05, 255, kData.data(), kReader); },
                  "", 0x6700}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoundDriver, ModifyKeyWithP1OneIsAddKey) {
  for (uint8_t len : {0, 1, 12, 195, 250}) {
    for (uint8_t p2 : {0x00, 0x05, 0xFF}) {
      Reset();
      AddKey(p2, len, kData.data(), kReader);
      ModifyKey(0x01, len, p2, kData.data(), kReader);
      ASSERT_EQ(Apdus().size(), 2u);
      EXPECT_EQ(Hex(Apdus()[1].frame), Hex(Apdus()[0].frame)) << "length " << +len << ", P2 " << +p2;
    }
  }
}

// Wrong and blocked passphrases, refusals and a failed driver all reach the
// caller unchanged, after a single command.
class StatusPassThrough : public BoundDriver, public ::testing::WithParamInterface<int32_t> {};

TEST_P(StatusPassThrough, OneCommandEach) {
  const std::function<int32_t()> calls[] = {
      [] { return VerifyPassphrase(kOld.data(), 8, 0x01, kReader); },
      [] { return SetPassphrase(kReader, kOld.data(), 0x01, kNew.data()); },
      [] { return KeyUnblock(0x01, kOld.data(), kNew.data(), kReader); },
      [] { return AddKey(0x01, 8, kOld.data(), kReader); },
      [] { return ModifyKey(0x02, 8, 0x01, kOld.data(), kReader); },
  };
  const std::size_t attempts = GetParam() == 0xFFFF ? 4 : 1;
  for (const auto& call : calls) {
    Reset();
    SetDefault({GetParam(), {}, {}});
    EXPECT_EQ(call(), GetParam());
    EXPECT_EQ(Apdus().size(), attempts);
  }
}

INSTANTIATE_TEST_SUITE_P(Security, StatusPassThrough,
                         ::testing::Values(0x63C2, 0x6983, 0x6A88, 0xFFFF));

}  // namespace
}  // namespace twtest

// RSA operations: the key-load and operation frames byte for byte, what is
// refused before sending, and when the result reaches the caller.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>

#include "rsa/helpers.h"
#include "support/fixtures.h"

namespace twtest {
namespace {

const std::vector<uint8_t> kModulus = Sequence(255, 0x01);
const std::vector<uint8_t> kData = Sequence(255, 0xA0);
const std::string kExponentAndLe = "65 03 01 00 01 20";

using Run = std::function<int32_t(uint8_t len, uint8_t* out, uint32_t* out_len)>;

Run KeySlot(decltype(&rsaPrivateSign) fn) {
  return [fn](uint8_t len, uint8_t* out, uint32_t* out_len) {
    return fn(0x01, kData.data(), len, out, out_len, kReader);
  };
}
Run Verify(uint8_t mod_len) {
  return [mod_len](uint8_t len, uint8_t* out, uint32_t* out_len) {
    return rsaPublicVerify(kModulus.data(), mod_len, kData.data(), len, out, out_len, kReader);
  };
}
Run Encrypt() {
  return [](uint8_t len, uint8_t* out, uint32_t* out_len) {
    return rsaPublicEncrypt(kModulus.data(), kData.data(), len, out, out_len, kReader);
  };
}

struct Export {
  const char* name;
  Run run;
  std::string key_load;  // the frame sent before the operation, if any
  uint8_t key_load_len;  // its command length
  std::string op_header; // CLA INS P1 P2 of the operation frame
};

std::string KeyLoad(const char* p2_lc_tag_n, std::size_t n) {
  return std::string("80 CC 00 ") + p2_lc_tag_n + " " + Hex(kModulus.data(), n) + " " + kExponentAndLe;
}

const Export kExports[] = {
    {"rsaPrivateSign", KeySlot(rsaPrivateSign), "", 0, "80 C2 00 01"},
    {"rsaPublicVerifyUsePKFile", KeySlot(rsaPublicVerifyUsePKFile), "", 0, "80 C4 00 01"},
    {"rsaPublicEncryptUsePKFile", KeySlot(rsaPublicEncryptUsePKFile), "", 0, "80 C6 00 01"},
    {"rsaPrivateDecrypt", KeySlot(rsaPrivateDecrypt), "", 0, "80 C8 00 01"},
    {"rsaPublicEncrypt", Encrypt(), KeyLoad("87 87 6E 80", 128), 141, "80 C6 00 00"},
    {"rsaPublicVerify_128", Verify(128), KeyLoad("87 87 6E 80", 128), 141, "80 C4 00 00"},
    {"rsaPublicVerify_64", Verify(64), KeyLoad("47 47 6E 40", 64), 77, "80 C4 00 00"},
    {"rsaPublicVerify_242", Verify(242), KeyLoad("F9 F9 6E F2", 242), 255, "80 C4 00 00"},
};

std::string Name(const Export& e) { return e.name; }

class Frames : public BoundDriver, public ::testing::WithParamInterface<Export> {};

TEST_P(Frames, KeyLoadThenOperation) {
  const Export& e = GetParam();
  uint8_t out[256];
  uint32_t out_len = 0;
  ASSERT_EQ(e.run(20, out, &out_len), 0x9000);
  std::vector<std::string> frames;
  std::vector<int> lengths;
  for (const Apdu& a : Apdus()) {
    frames.push_back(Hex(a.frame));
    lengths.push_back(a.cmd_len);
  }
  std::vector<std::string> expected = {e.op_header + " 14 " + Hex(kData.data(), 20)};
  std::vector<int> expected_lengths = {25};
  if (!e.key_load.empty()) {
    expected.insert(expected.begin(), e.key_load);
    expected_lengths.insert(expected_lengths.begin(), e.key_load_len);
  }
  EXPECT_EQ(frames, expected);
  EXPECT_EQ(lengths, expected_lengths);
}

INSTANTIATE_TEST_SUITE_P(Rsa, Frames, ::testing::ValuesIn(kExports),
                         [](const auto& info) { return Name(info.param); });

TEST_F(BoundDriver, KeySlotExportsDifferOnlyInTheInstruction) {
  uint8_t out[256];
  uint32_t out_len = 0;
  for (int i = 0; i < 4; ++i) kExports[i].run(33, out, &out_len);
  ASSERT_EQ(Apdus().size(), 4u);
  const uint8_t instructions[] = {0xC2, 0xC4, 0xC6, 0xC8};
  for (int i = 0; i < 4; ++i) {
    std::vector<uint8_t> frame = Apdus()[i].frame;
    EXPECT_EQ(frame[1], instructions[i]);
    frame[1] = Apdus()[0].frame[1];
    EXPECT_EQ(Hex(frame), Hex(Apdus()[0].frame));
  }
}

TEST_F(BoundDriver, FailedKeyLoadSendsNoOperation) {
  for (const Export& e : kExports) {
    if (e.key_load.empty()) continue;
    Reset();
    QueueSw(0x6A88, Sequence(8, 0x40));
    std::vector<uint8_t> out(256, 0xEE);
    uint32_t out_len = 0xDEAD;
    EXPECT_EQ(e.run(20, out.data(), &out_len), 0x6A88) << e.name;
    EXPECT_EQ(Apdus().size(), 1u) << e.name;
    EXPECT_EQ(out_len, 0xDEADu) << e.name;
    EXPECT_EQ(Hex(out), Hex(std::vector<uint8_t>(256, 0xEE))) << e.name;
  }
}

// The card's answer to the operation frame, and whether out/out_len take it.
struct Outcome {
  const char* name;
  Answer answer;
  bool written;
};

const Outcome kOutcomes[] = {
    {"block_of_128", {0x9000, Sequence(128, 0x40), {}}, true},
    {"empty_answer", {0x9000, {}, {}}, true},
    {"refused", {0x6982, Sequence(16, 0x40), {}}, false},
    {"driver_failure", {0xFFFF, Sequence(16, 0x40), {}}, false},
};

class Results : public BoundDriver,
                public ::testing::WithParamInterface<std::tuple<Export, Outcome>> {};

TEST_P(Results, WrittenOnlyOnSuccess) {
  const auto& [e, outcome] = GetParam();
  if (!e.key_load.empty()) QueueSw(0x9000);
  SetDefault(outcome.answer);
  std::vector<uint8_t> out(256, 0xEE);
  uint32_t out_len = 0xDEAD;
  EXPECT_EQ(e.run(20, out.data(), &out_len), outcome.answer.sw);
  const auto& sent = outcome.answer.data;
  std::vector<uint8_t> expected(256, 0xEE);
  if (outcome.written) std::copy(sent.begin(), sent.end(), expected.begin());
  EXPECT_EQ(out_len, outcome.written ? sent.size() : 0xDEAD);
  EXPECT_EQ(Hex(out), Hex(expected));
}

INSTANTIATE_TEST_SUITE_P(Rsa, Results,
                         ::testing::Combine(::testing::ValuesIn(kExports), ::testing::ValuesIn(kOutcomes)),
                         [](const auto& info) {
                           return Name(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

// Lengths that do not fit a frame are refused before the key is loaded.
struct Limit {
  const char* name;
  Run run;
  uint8_t len;
  int32_t result;
  std::vector<uint8_t> cmd_lens;
};

const Limit kLimits[] = {
    {"sign_250", KeySlot(rsaPrivateSign), 250, 0x9000, {255}},
    {"sign_251", KeySlot(rsaPrivateSign), 251, 0x6700, {}},
    {"decrypt_255", KeySlot(rsaPrivateDecrypt), 255, 0x6700, {}},
    {"encrypt_250", Encrypt(), 250, 0x9000, {141, 255}},
    {"encrypt_251", Encrypt(), 251, 0x6700, {}},
    {"verify_data_251", Verify(128), 251, 0x6700, {}},
    {"verify_modulus_242_data_250", Verify(242), 250, 0x9000, {255, 255}},
    {"verify_modulus_243", Verify(243), 16, 0x6700, {}},
    {"verify_modulus_249", Verify(249), 16, 0x6700, {}},
    {"verify_modulus_255", Verify(255), 16, 0x6700, {}},
};

class Limits : public BoundDriver, public ::testing::WithParamInterface<Limit> {};

TEST_P(Limits, RefusedBeforeSending) {
  std::vector<uint8_t> out(256, 0xEE);
  uint32_t out_len = 0xDEAD;
  EXPECT_EQ(GetParam().run(GetParam().len, out.data(), &out_len), GetParam().result);
  std::vector<uint8_t> cmd_lens;
  for (const Apdu& a : Apdus()) cmd_lens.push_back(a.cmd_len);
  EXPECT_EQ(Hex(cmd_lens), Hex(GetParam().cmd_lens));
  if (GetParam().result != 0x9000) {
    EXPECT_EQ(out_len, 0xDEADu);
  }
}

INSTANTIATE_TEST_SUITE_P(Rsa, Limits, ::testing::ValuesIn(kLimits),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest

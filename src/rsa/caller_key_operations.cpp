// rsaPublicEncrypt and rsaPublicVerify: the caller passes the public key, so
// it is loaded into the card first and the operation frame follows at once.
#include "transport/exchange.h"
#include "protocol/public_key_record.h"
#include "protocol/status_words.h"
#include "rsa/operation.h"
#include "tarnwick.h"

namespace tarnwick::rsa {
namespace {

// Le of the key-load command.
constexpr uint8_t kLoadAnswerLength = 0x20;
// The operation frame names no key: the card uses the one just loaded.
constexpr uint8_t kLoadedKey = 0x00;
// The key-load frame is header, record and Le; a longer modulus would no
// longer fit the one-byte command length.
constexpr uint8_t kMaxLoadableModulus = CommandFrame::kMaxSendable - CommandFrame::kHeaderSize -
                                        record::kFraming - record::kExponent.size() - 1;
constexpr uint8_t kEncryptModulusLength = record::kCardModulusBytes;

// 80 CC 00 <record length> <record length> <record> 20; P2 repeats Lc.
int32_t LoadPublicKey(uint32_t handle, const uint8_t* modulus, uint8_t modulus_len) {
  std::array<uint8_t, record::kMaxRecordBytes> bytes;
  const auto record_len = static_cast<uint8_t>(
      record::Write(bytes, std::span<const uint8_t>(modulus, modulus_len), record::kExponent.size()));
  CommandFrame frame(ins::kLoadPublicKey, 0x00, record_len);
  frame.SetData(bytes.data(), record_len);
  frame.AppendLe(kLoadAnswerLength);
  Response<> answer;
  return Exchange(handle, frame, answer);
}

int32_t LoadKeyAndRun(uint32_t handle, const uint8_t* modulus, uint8_t modulus_len,
                      const protocol::Instruction& op, const uint8_t* data, uint8_t len, uint8_t* out,
                      uint32_t* out_len) {
  if (modulus_len > kMaxLoadableModulus || len > kMaxOperationData) return sw::kWrongLength;
  const int32_t status = LoadPublicKey(handle, modulus, modulus_len);
  if (status != sw::kSuccess) return status;
  return RunOperation(handle, op, kLoadedKey, data, len, out, out_len);
}

}  // namespace
}  // namespace tarnwick::rsa

using tarnwick::rsa::LoadKeyAndRun;
namespace ins = tarnwick::ins;

extern "C" TW_API int32_t rsaPublicEncrypt(const uint8_t* modulus, const uint8_t* data,
                                           uint8_t len, uint8_t* out, uint32_t* out_len,
                                           tw_handle_t reader) {
  return LoadKeyAndRun(reader, modulus, tarnwick::rsa::kEncryptModulusLength, ins::kRsaEncrypt, data,
                       len, out, out_len);
}

extern "C" TW_API int32_t rsaPublicVerify(const uint8_t* modulus, uint8_t mod_len,
                                          const uint8_t* data, uint8_t len, uint8_t* out,
                                          uint32_t* out_len, tw_handle_t reader) {
  return LoadKeyAndRun(reader, modulus, mod_len, ins::kRsaVerify, data, len, out, out_len);
}

// The four RSA exports that name a key the card holds (a private key or a
// public-key file) by its identifier; they differ only in the instruction.
#include "rsa/operation.h"
#include "tarnwick.h"

using tarnwick::rsa::RunOperation;
namespace ins = tarnwick::ins;

extern "C" TW_API int32_t rsaPrivateSign(uint8_t keyid, const uint8_t* data, uint8_t len,
                                         uint8_t* out, uint32_t* out_len, tw_handle_t reader) {
  return RunOperation(reader, ins::kRsaSign, keyid, data, len, out, out_len);
}

extern "C" TW_API int32_t rsaPublicVerifyUsePKFile(uint8_t keyid, const uint8_t* data,
                                                   uint8_t len, uint8_t* out, uint32_t* out_len,
                                                   tw_handle_t reader) {
  return RunOperation(reader, ins::kRsaVerify, keyid, data, len, out, out_len);
}

extern "C" TW_API int32_t rsaPublicEncryptUsePKFile(uint8_t keyid, const uint8_t* data,
                                                    uint8_t len, uint8_t* out, uint32_t* out_len,
                                                    tw_handle_t reader) {
  return RunOperation(reader, ins::kRsaEncrypt, keyid, data, len, out, out_len);
}

extern "C" TW_API int32_t rsaPrivateDecrypt(uint8_t keyid, const uint8_t* data, uint8_t len,
                                            uint8_t* out, uint32_t* out_len, tw_handle_t reader) {
  return RunOperation(reader, ins::kRsaDecrypt, keyid, data, len, out, out_len);
}

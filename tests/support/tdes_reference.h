// An independent two-key triple-DES for the tests: libcrypto's EVP
// des-ede-ecb without padding, on whole 8-byte blocks.
#pragma once

#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace twtest {

inline std::vector<uint8_t> ReferenceTriDes(const uint8_t* key16, const std::vector<uint8_t>& in) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      EVP_CIPHER_CTX_free);
  std::vector<uint8_t> out(in.size());
  int written = 0;
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_des_ede_ecb(), nullptr, key16, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
      EVP_EncryptUpdate(ctx.get(), out.data(), &written, in.data(), static_cast<int>(in.size())) != 1 ||
      written != static_cast<int>(in.size())) {
    throw std::runtime_error("EVP des-ede-ecb failed");
  }
  return out;
}

}  // namespace twtest

// Owners for OpenSSL's objects: std::unique_ptr with the matching free
// function. OwnedSecret clears a BIGNUM before freeing it, for values that
// belong to a private key.
#pragma once

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/x509.h>

#include <memory>

namespace tarnwick::openssl {

struct Free {
  void operator()(BIGNUM* p) const { BN_free(p); }
  void operator()(BN_CTX* p) const { BN_CTX_free(p); }
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
  void operator()(EVP_CIPHER_CTX* p) const { EVP_CIPHER_CTX_free(p); }
  void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
  void operator()(EVP_MD* p) const { EVP_MD_free(p); }
  void operator()(EVP_CIPHER* p) const { EVP_CIPHER_free(p); }
  void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
  void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
  void operator()(X509* p) const { X509_free(p); }
};

struct ClearFree : Free {
  using Free::operator();
  void operator()(BIGNUM* p) const { BN_clear_free(p); }
};

template <class T>
using Owned = std::unique_ptr<T, Free>;
template <class T>
using OwnedSecret = std::unique_ptr<T, ClearFree>;

}  // namespace tarnwick::openssl

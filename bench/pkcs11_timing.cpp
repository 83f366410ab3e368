// What the PKCS #11 module adds on the virtual cards: C_Sign against the
// same rsaPrivateSign through the library (the module on COM1, the library
// straight on COM2, taking turns), and C_Initialize + C_GetSlotList +
// C_GetTokenInfo on four cards. Prints medians; run by hand:
//   build/out/pkcs11_timing [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <tarnwick.h>

#include "cryptoki.h"

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::time_point from) {
  return std::chrono::duration<double, std::micro>(Clock::now() - from).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool Check(CK_RV rv, const char* what) {
  if (rv != CKR_OK) std::fprintf(stderr, "%s: 0x%lx\n", what, static_cast<unsigned long>(rv));
  return rv == CKR_OK;
}

double StartupMillis() {
  const auto start = Clock::now();
  CK_SLOT_ID slots[4];
  CK_ULONG count = 4;
  CK_TOKEN_INFO info;
  bool ok = Check(C_Initialize(nullptr), "C_Initialize") && Check(C_GetSlotList(CK_TRUE, slots, &count), "slots");
  for (CK_ULONG i = 0; ok && i < count; ++i) ok = Check(C_GetTokenInfo(slots[i], &info), "C_GetTokenInfo");
  const double elapsed = Micros(start) / 1000;
  C_Finalize(nullptr);
  return ok ? elapsed : -1;
}

struct ModuleSigner {
  CK_SESSION_HANDLE session = 0;
  CK_OBJECT_HANDLE key = 0;
  bool Open() {
    CK_UTF8CHAR pin[] = "12345678";
    CK_MECHANISM generate{CKM_RSA_PKCS_KEY_PAIR_GEN, nullptr, 0};
    CK_OBJECT_HANDLE public_key = 0;
    return Check(C_OpenSession(1, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &session), "session") &&
           Check(C_Login(session, CKU_USER, pin, 8), "C_Login") &&
           Check(C_GenerateKeyPair(session, &generate, nullptr, 0, nullptr, 0, &public_key, &key), "key pair");
  }
  bool Sign(std::vector<uint8_t>& data) {
    CK_MECHANISM mechanism{CKM_RSA_PKCS, nullptr, 0};
    CK_BYTE signature[128];
    CK_ULONG length = sizeof signature;
    return C_SignInit(session, &mechanism, key) == CKR_OK &&
           C_Sign(session, data.data(), data.size(), signature, &length) == CKR_OK;
  }
};

struct LibrarySigner {
  tw_handle_t reader = 0;
  bool Open() {
    const uint8_t pin[] = {'1', '2', '3', '4', '5', '6', '7', '8'};
    uint8_t modulus[128];
    uint32_t length = 0;
    return OpenCom(2, &reader) == 0 && ResetICC(static_cast<int32_t>(reader), 0, 0) == 0 &&
           VerifyPassphrase(pin, 8, 0x01, reader) == 0x9000 &&
           RsaGenerateKeyPair(0, 0x01, modulus, &length, reader) == 0x9000;
  }
  bool Sign(std::vector<uint8_t>& data) {
    uint8_t signature[256];
    uint32_t length = 0;
    return rsaPrivateSign(0x01, data.data(), static_cast<uint8_t>(data.size()), signature, &length, reader) ==
           0x9000;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 2000;
  std::vector<double> startup;
  for (int i = 0; i < 20; ++i) startup.push_back(StartupMillis());
  if (Median(startup) < 0) return 1;
  std::printf("C_Initialize + C_GetSlotList + C_GetTokenInfo x4: median %.2f ms (of 20)\n", Median(startup));

  if (!Check(C_Initialize(nullptr), "C_Initialize")) return 1;
  ModuleSigner module;
  LibrarySigner library;
  if (!module.Open() || !library.Open()) return 1;
  std::vector<uint8_t> data(35, 0x5A);  // a SHA-256 DigestInfo's length
  std::vector<double> through_module, through_library;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    if (!module.Sign(data)) return 1;
    through_module.push_back(Micros(start));
    start = Clock::now();
    if (!library.Sign(data)) return 1;
    through_library.push_back(Micros(start));
  }
  const double m = Median(through_module), l = Median(through_library);
  std::printf("C_SignInit + C_Sign: median %.1f us; rsaPrivateSign: median %.1f us; overhead %.1f%% (%d rounds)\n",
              m, l, (m / l - 1) * 100, rounds);
  CloseCom(&library.reader);
  C_Finalize(nullptr);
  return 0;
}

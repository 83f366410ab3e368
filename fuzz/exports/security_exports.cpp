// Passphrase, key, challenge and authentication exports under the replay
// driver.
#include <vector>

#include "common/buffers.h"
#include "common/check.h"
#include "exports/export_case.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

namespace twfuzz {
namespace {

constexpr uint8_t kLongestData = 250;
using tarnwick::sw::kWrongLength;
constexpr uint64_t kChallengePiece = 16;

void ExpectData(Call& c, uint8_t len) { c.Expect(len > kLongestData ? 0 : 1); }

void CheckDataResult(uint8_t len, int32_t result) {
  if (len > kLongestData) Check(result == kWrongLength, "data above 250 bytes was not refused");
}

void RunVerifyPassphrase(Call& c) {
  const uint8_t len = c.in.Byte();
  const uint8_t ref = c.in.Byte();
  InputBytes pass(c.in, len);
  ExpectData(c, len);
  CheckDataResult(len, VerifyPassphrase(pass.get(), len, ref, c.reader));
}

void RunSetPassphrase(Call& c) {
  const uint8_t ref = c.in.Byte();
  InputBytes old_pass(c.in, 8);
  InputBytes new_pass(c.in, 8);
  c.Expect(1);
  SetPassphrase(c.reader, old_pass.get(), ref, new_pass.get());
}

void RunKeyUnblock(Call& c) {
  const uint8_t ref = c.in.Byte();
  InputBytes code(c.in, 8);
  InputBytes new_pass(c.in, 8);
  c.Expect(1);
  KeyUnblock(ref, code.get(), new_pass.get(), c.reader);
}

void RunAddKey(Call& c) {
  const uint8_t p2 = c.in.Byte();
  const uint8_t len = c.in.Byte();
  InputBytes block(c.in, len);
  ExpectData(c, len);
  CheckDataResult(len, AddKey(p2, len, block.get(), c.reader));
}

void RunModifyKey(Call& c) {
  const uint8_t p1 = c.in.Byte();
  const uint8_t p2 = c.in.Byte();
  const uint8_t len = c.in.Byte();
  InputBytes block(c.in, len);
  ExpectData(c, len);
  CheckDataResult(len, ModifyKey(p1, len, p2, block.get(), c.reader));
}

void RunGetChallenge(Call& c) {
  const uint32_t n = c.in.U16();
  OutputBytes out(n);
  c.Expect(n == 0 ? 1 : Pieces(n, kChallengePiece));
  GetChallenge(out.get(), n, c.reader);
}

void RunExternAuth(Call& c) {
  const uint8_t keyid = c.in.Byte();
  InputBytes key(c.in, 16);
  c.Expect(2);  // GET CHALLENGE, EXTERNAL AUTHENTICATE
  const int32_t result = ExternAuth(c.reader, key.get(), keyid);
  Check(result >= 0 && result <= 3, "ExternAuth result out of range");
}

void RunExtAuth(Call& c) {
  const uint8_t keyid = c.in.Byte();
  InputBytes key(c.in, 8);
  c.Expect(3);  // GET CHALLENGE, card DES, EXTERNAL AUTHENTICATE
  ExtAuth(keyid, key.get(), c.reader);
}

}  // namespace

void AddSecurityExports(std::vector<ExportCase>& cases) {
  cases.insert(cases.end(), {{"VerifyPassphrase", RunVerifyPassphrase},
                             {"SetPassphrase", RunSetPassphrase},
                             {"KeyUnblock", RunKeyUnblock},
                             {"AddKey", RunAddKey},
                             {"ModifyKey", RunModifyKey},
                             {"GetChallenge", RunGetChallenge},
                             {"ExternAuth", RunExternAuth},
                             {"ExtAuth", RunExtAuth}});
}

}  // namespace twfuzz

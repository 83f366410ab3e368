// DES, the card's block cipher, SHA-1 and software digest exports under the
// replay driver.
#include <vector>

#include "common/buffers.h"
#include "common/check.h"
#include "exports/export_case.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

namespace twfuzz {
namespace {

using tarnwick::sw::kSuccess;
using tarnwick::sw::kWrongLength;
constexpr uint32_t kCipherBlock = 16;
constexpr uint8_t kLongestData = 250;
constexpr int32_t kLongestDigestMessage = 32767;
constexpr int32_t kSingleDigestCommand = 138;
constexpr uint64_t kDigestPiece = 64;

void RunTriDesEncrypt(Call& c) {
  const int32_t len = SignedLength(c.in);
  const bool in_place = c.in.Byte() & 1;
  InputBytes key(c.in, 16);
  InputBytes in(c.in, RoundedUp(len, 8));
  OutputBytes out(in_place ? 0 : in.size());
  if (in_place) in.AllowWrites();
  uint8_t* target = in_place ? in.writable() : out.get();
  Check(TriDesEncrypt(key.get(), in.get(), target, len) == 0, "TriDesEncrypt failed");
}

void RunCardDes(Call& c, int32_t (*des)(const uint8_t*, const uint8_t*, uint8_t*, tw_handle_t)) {
  InputBytes key(c.in, 8);
  InputBytes in(c.in, 8);
  OutputBytes out(8);
  c.Expect(1);
  if (des(key.get(), in.get(), out.get(), c.reader) != kSuccess)
    Check(out.Untouched(), "a failed DES command wrote its output");
}

void RunDesEncrypt(Call& c) { RunCardDes(c, DesEncrypt); }
void RunDesDecrypt(Call& c) { RunCardDes(c, DesDecrypt); }

void RunIcTriDesEncrypt(Call& c) {
  InputBytes key(c.in, 16);
  InputBytes in(c.in, 8);
  OutputBytes out(8);
  c.Expect(3);
  if (IC_TriDesEncrypt(key.get(), in.get(), out.get(), c.reader) != 0)
    Check(out.Untouched(), "a failed card triple-DES wrote its output");
}

void RunCdeaGenkey(Call& c) {
  InputBytes key(c.in, 16);
  c.Expect(1);
  Cdea_Genkey(c.reader, key.get());
}

// The count says how many output bytes are valid: whole blocks, never more
// than the output holds.
void CheckCount(const OutputValue<int32_t>& count, uint32_t room) {
  const int32_t n = count.value();
  Check(n >= 0 && static_cast<uint32_t>(n) <= room && n % kCipherBlock == 0,
        "an output count outside the output");
}

uint64_t Blocks(int32_t len) { return RoundedUp(len, kCipherBlock) / kCipherBlock; }

void RunCdeaBlocks(Call& c, bool decrypt) {
  const int32_t len = SignedLength(c.in);
  InputBytes key(c.in, 16);
  // Decryption reads whole blocks; encryption fills a short last block itself.
  InputBytes in(c.in, decrypt ? RoundedUp(len, kCipherBlock) : (len > 0 ? len : 0));
  OutputBytes out(RoundedUp(len, kCipherBlock));
  OutputValue<int32_t> count;
  c.Expect(1 + Blocks(len));
  auto run = decrypt ? Cdea_Decrypt : Cdea_Encrypt;
  run(c.reader, key.get(), in.get(), len, out.get(), count.get());
  CheckCount(count, out.size());
}

void RunCdeaEncrypt(Call& c) { RunCdeaBlocks(c, false); }
void RunCdeaDecrypt(Call& c) { RunCdeaBlocks(c, true); }

// The mode: 0, 1 or any other value (refused with -1, nothing sent).
int32_t Mode(ByteSource& in) {
  const uint8_t choice = in.Byte();
  return choice < 0x80 ? choice & 1 : static_cast<int32_t>(in.U32());
}

bool KeyCommandSent(int32_t mode, int32_t len) {
  const auto m = static_cast<uint8_t>(mode);
  return (m == 0 || m == 1) && static_cast<uint8_t>(len) <= kLongestData;
}

void RunCdeaGenMK(Call& c) {
  const int32_t mode = Mode(c.in);
  const auto len = static_cast<int32_t>(c.in.U32());
  const auto p2 = static_cast<int32_t>(c.in.U32());
  InputBytes data(c.in, static_cast<uint8_t>(len));
  OutputBytes rsp(256);
  OutputValue<uint8_t> rsp_len;
  c.Expect(KeyCommandSent(mode, len) ? 1 : 0);
  const int32_t result = Cdea_GenMK(c.reader, mode, data.get(), len, rsp.get(), rsp_len.get(), p2);
  const auto m = static_cast<uint8_t>(mode);
  if (m != 0 && m != 1) Check(result == -1, "a bad mode was not refused");
}

void RunCdeaCommand(Call& c) {
  const int32_t len = SignedLength(c.in);
  InputBytes in(c.in, len > 0 ? len : 0);
  OutputBytes out(RoundedUp(len, kCipherBlock));
  OutputValue<int32_t> count;
  c.Expect(Blocks(len));
  const int32_t result = Cdea_Command(c.reader, in.get(), len, out.get(), count.get());
  CheckCount(count, out.size());
  if (len <= 0) Check(result == kSuccess && count.value() == 0, "an empty run did not succeed");
}

void RunCdeaInMK(Call& c) {
  const int32_t mode = Mode(c.in);
  const auto len = static_cast<int32_t>(c.in.U32());
  const auto p2 = static_cast<int32_t>(c.in.U32());
  const int32_t in_len = SignedLength(c.in);
  InputBytes data(c.in, static_cast<uint8_t>(len));
  InputBytes in(c.in, in_len > 0 ? in_len : 0);
  OutputBytes rsp(256);
  OutputValue<uint8_t> rsp_len;
  OutputBytes out(RoundedUp(in_len, kCipherBlock));
  OutputValue<int32_t> count;
  c.Expect(1 + Blocks(in_len));
  Cdea_InMK(c.reader, data.get(), len, mode, in.get(), in_len, rsp.get(), rsp_len.get(), out.get(),
            count.get(), p2);
}

void RunCdeaOutMK(Call& c) {
  const int32_t mode = Mode(c.in);
  const int32_t len = SignedLength(c.in);
  InputBytes data(c.in, 16);
  InputBytes in(c.in, len > 0 ? len : 0);
  OutputBytes out(RoundedUp(len, kCipherBlock));
  OutputValue<int32_t> count;
  c.Expect(1 + Blocks(len));
  Cdea_OutMK(c.reader, data.get(), mode, in.get(), len, out.get(), count.get());
}

// 0 to 32767, or a length outside it (negative or above), refused unsent.
int32_t DigestLength(ByteSource& in) {
  const uint32_t v = in.U32();
  if (!(v & 0x80000000u)) return static_cast<int32_t>(v % (kLongestDigestMessage + 1));
  return (v & 1) ? static_cast<int32_t>(v) : static_cast<int32_t>(v & 0x7FFFFFFFu) | 0x8000;
}

void RunShaCompress(Call& c) {
  const int32_t len = DigestLength(c.in);
  const bool refused = len < 0 || len > kLongestDigestMessage;
  InputBytes msg(c.in, refused ? 0 : len);
  OutputBytes digest(20);
  c.Expect(refused ? 0 : len <= kSingleDigestCommand ? 1 : Pieces(len, kDigestPiece));
  const int32_t result = SHA_Compress(c.reader, msg.get(), len, digest.get());
  if (refused) Check(result == kWrongLength, "a message length outside 0 to 32767 was not refused");
  if (result != kSuccess) Check(digest.Untouched(), "a failed digest wrote its output");
}

// 16, 8, 4 or any other type (nothing written).
int32_t DigestType(ByteSource& in) {
  static const int32_t kTypes[] = {16, 8, 4};
  const uint8_t choice = in.Byte();
  return choice < 0xC0 ? kTypes[choice % 3] : static_cast<int32_t>(in.U32());
}

void RunSoftDigest(Call& c) {
  const uint32_t len = c.in.U16();
  const int32_t type = DigestType(c.in);
  InputBytes msg(c.in, len);
  const bool known = type == 16 || type == 8 || type == 4;
  OutputBytes out(known ? type : 0);
  Check(softDHADigest(msg.get(), len, out.get(), type) == 0, "softDHADigest did not answer 0");
}

void RunQorDigestProc(Call& c) {
  const auto type = static_cast<int32_t>(c.in.U32());
  const int32_t expected = (type == 2 || type == 3) ? 0 : 1;
  Check(QorDigestProc(type) == expected, "QorDigestProc answered wrongly");
}

}  // namespace

void AddCipherExports(std::vector<ExportCase>& cases) {
  cases.insert(cases.end(), {{"TriDesEncrypt", RunTriDesEncrypt},
                             {"DesEncrypt", RunDesEncrypt},
                             {"DesDecrypt", RunDesDecrypt},
                             {"IC_TriDesEncrypt", RunIcTriDesEncrypt},
                             {"Cdea_Genkey", RunCdeaGenkey},
                             {"Cdea_Encrypt", RunCdeaEncrypt},
                             {"Cdea_Decrypt", RunCdeaDecrypt},
                             {"Cdea_GenMK", RunCdeaGenMK},
                             {"Cdea_Command", RunCdeaCommand},
                             {"Cdea_InMK", RunCdeaInMK},
                             {"Cdea_OutMK", RunCdeaOutMK},
                             {"SHA_Compress", RunShaCompress},
                             {"softDHADigest", RunSoftDigest},
                             {"QorDigestProc", RunQorDigestProc}});
}

}  // namespace twfuzz

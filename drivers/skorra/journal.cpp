// Encodes journal records as the difference of two images, and replays a
// journal onto its image, telling a torn last record from damage.
#include "journal.h"

#include <openssl/crypto.h>

#include <algorithm>

#include "vcard/crypto_library.h"

namespace tarnwick::skorra::journal {
namespace {

constexpr std::array<uint8_t, 4> kMagic = {'T', 'W', 'V', 'J'};
constexpr uint8_t kVersion = 1;
constexpr std::size_t kCheckLength = 8;
constexpr std::size_t kHeaderLength = kMagic.size() + 1 + kDigestLength + kCheckLength;
// Payload length and sequence number before the payload, the check after.
constexpr std::size_t kRecordOverhead = 8 + kCheckLength;
// A run costs its offset and count: bytes that agree between two runs
// closer than this are cheaper written again than as a run of their own.
constexpr std::size_t kRunHeader = 8;
// No image is larger (the store reads no larger file).
constexpr uint32_t kLargestImage = 16 * 1024 * 1024;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t GetU32(std::span<const uint8_t> in) {
  return static_cast<uint32_t>(in[0]) << 24 | static_cast<uint32_t>(in[1]) << 16 |
         static_cast<uint32_t>(in[2]) << 8 | in[3];
}

// The first bytes of SHA-256: a torn or damaged record fails it.
std::array<uint8_t, kCheckLength> Check(std::span<const uint8_t> bytes) {
  const Digest digest = Of(bytes);
  std::array<uint8_t, kCheckLength> check{};
  std::copy_n(digest.begin(), kCheckLength, check.begin());
  return check;
}

void Seal(std::vector<uint8_t>& out, std::size_t from) {
  const auto check = Check(std::span(out).subspan(from));
  out.insert(out.end(), check.begin(), check.end());
}

bool Sealed(std::span<const uint8_t> bytes) {
  const auto check = Check(bytes.first(bytes.size() - kCheckLength));
  return CRYPTO_memcmp(check.data(), bytes.data() + bytes.size() - kCheckLength, kCheckLength) == 0;
}

// A whole record at the start of `rest` with a good check: its length, or 0.
std::size_t WholeRecord(std::span<const uint8_t> rest) {
  if (rest.size() < kRecordOverhead) return 0;
  const uint32_t payload = GetU32(rest);
  if (payload > rest.size() - kRecordOverhead) return 0;
  const std::size_t length = kRecordOverhead + payload;
  return Sealed(rest.first(length)) ? length : 0;
}

// The runs of one record's payload, applied; false when they do not fit.
bool ApplyPayload(std::span<const uint8_t> payload, std::vector<uint8_t>& image) {
  if (payload.size() < 4 || GetU32(payload) > kLargestImage) return false;
  image.resize(GetU32(payload));
  payload = payload.subspan(4);
  while (!payload.empty()) {
    if (payload.size() < kRunHeader) return false;
    const uint32_t offset = GetU32(payload), count = GetU32(payload.subspan(4));
    payload = payload.subspan(kRunHeader);
    if (count > payload.size() || offset > image.size() || count > image.size() - offset) return false;
    std::copy_n(payload.begin(), count, image.begin() + offset);
    payload = payload.subspan(count);
  }
  return true;
}

// True when a whole record numbered `sequence` starts anywhere in `rest`.
bool RecordFollows(std::span<const uint8_t> rest, uint32_t sequence) {
  for (std::size_t at = 1; at + kRecordOverhead <= rest.size(); ++at) {
    const auto candidate = rest.subspan(at);
    if (GetU32(candidate.subspan(4)) == sequence && WholeRecord(candidate) != 0) return true;
  }
  return false;
}

Replay Damaged(std::string problem) {
  Replay r;
  r.outcome = Replay::Outcome::kDamaged;
  r.problem = std::move(problem);
  return r;
}

}  // namespace

Digest Of(std::span<const uint8_t> image) {
  // The card's own library context: an engine the host process loads must
  // not stand between the card and its files.
  Digest digest{};
  vcard::CardDigest("SHA256", image, digest);
  return digest;
}

std::vector<uint8_t> Header(const Digest& base) {
  std::vector<uint8_t> out(kMagic.begin(), kMagic.end());
  out.push_back(kVersion);
  out.insert(out.end(), base.begin(), base.end());
  Seal(out, 0);
  return out;
}

std::vector<uint8_t> Record(uint32_t sequence, std::span<const uint8_t> from, std::span<const uint8_t> to) {
  std::vector<uint8_t> out;
  PutU32(out, 0);  // the payload length, known at the end
  PutU32(out, sequence);
  PutU32(out, static_cast<uint32_t>(to.size()));
  const std::size_t common = std::min(from.size(), to.size());
  std::size_t at = 0;
  while (at < to.size()) {
    while (at < common && from[at] == to[at]) ++at;
    if (at == to.size()) break;
    // A run ends where the images agree for a run header's length, or at
    // the end of the new image.
    std::size_t end = at, same = 0;
    for (; end < to.size() && same < kRunHeader; ++end) same = end < common && from[end] == to[end] ? same + 1 : 0;
    end -= same;
    PutU32(out, static_cast<uint32_t>(at));
    PutU32(out, static_cast<uint32_t>(end - at));
    out.insert(out.end(), to.begin() + static_cast<std::ptrdiff_t>(at), to.begin() + static_cast<std::ptrdiff_t>(end));
    at = end;
  }
  const uint32_t payload = static_cast<uint32_t>(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[static_cast<std::size_t>(i)] = static_cast<uint8_t>(payload >> (24 - 8 * i));
  Seal(out, 0);
  return out;
}

Replay Apply(std::span<const uint8_t> journal, std::vector<uint8_t>& image) {
  if (journal.size() < kHeaderLength || !std::equal(kMagic.begin(), kMagic.end(), journal.begin()) ||
      journal[kMagic.size()] != kVersion || !Sealed(journal.first(kHeaderLength)))
    return Damaged("not a card journal of this version");
  Replay r;
  const Digest base = Of(image);
  if (!std::equal(base.begin(), base.end(), journal.begin() + kMagic.size() + 1)) {
    r.outcome = Replay::Outcome::kStale;
    return r;
  }
  std::vector<uint8_t> replayed = image;
  std::size_t at = kHeaderLength;
  while (at < journal.size()) {
    const auto rest = journal.subspan(at);
    const std::size_t length = WholeRecord(rest);
    if (length == 0) {
      if (RecordFollows(rest, r.last_sequence + 2)) return Damaged("journal damaged before its last record");
      r.torn = true;
      break;
    }
    if (GetU32(rest.subspan(4)) != r.last_sequence + 1 ||
        !ApplyPayload(rest.subspan(8, length - kRecordOverhead), replayed))
      return Damaged("journal record out of sequence or out of bounds");
    ++r.last_sequence;
    at += length;
  }
  r.committed = at;
  image = std::move(replayed);
  return r;
}

}  // namespace tarnwick::skorra::journal

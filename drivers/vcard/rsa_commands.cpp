// The RSA operations: sign (type-1 padding) and decrypt (type-2 padding
// removed) with the private key of key slot P2; verify (type-1 padding
// removed) and encrypt (type-2 padding) with a public key from the
// transparent EF 00P2 or, for P2 = 0, the key the key-load frame loaded.
#include "access.h"
#include "file_system.h"
#include "handlers.h"
#include "pkcs1.h"
#include "rsa_key.h"

namespace tarnwick::vcard {
namespace {

Found<const RsaPrivateKey*> KeySlotKey(const CardState& state, uint8_t p2) {
  if (p2 == 0 || p2 > kKeySlots) return {nullptr, sw::kWrongP1P2};
  if (!AccessGranted(kKeySlotCondition, state.transient)) return {nullptr, sw::kSecurityNotSatisfied};
  const auto& key = state.card.key_slots[p2 - 1u];
  if (!key) return {nullptr, sw::kReferenceNotFound};
  return {&*key};
}

// The key file must be a transparent EF that may be read now, holding a
// usable public-key record from its first byte.
Found<RsaPublicKey> PublicKey(CardState& state, uint8_t p2) {
  if (p2 == 0) {
    if (!state.transient.loaded_public_key) return {{}, sw::kReferenceNotFound};
    return {*state.transient.loaded_public_key};
  }
  const File* file = FindFile(state.card, p2);
  if (file == nullptr) return {{}, sw::kFileNotFound};
  if (file->type != FileType::kTransparent) return {{}, sw::kIncompatibleFile};
  if (!AccessGranted(file->read_ac, state.transient)) return {{}, sw::kSecurityNotSatisfied};
  std::optional<RsaPublicKey> key = ParsePublicKeyRecord(file->body, false);
  if (!key) return {{}, sw::kReferenceUnusable};
  return {std::move(*key)};
}

}  // namespace

Answer RsaSign(CardState& state, const Command& c) {
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly()) return Status(sw::kWrongLength);
  const Found<const RsaPrivateKey*> ref = KeySlotKey(state, c.p2);
  if (!ref.ok()) return Status(ref.sw);
  if (c.data.size() + kPkcs1Overhead > kRsaBytes) return Status(sw::kWrongLength);
  auto signature = RsaPrivate(*ref.value, PadType1(c.data, kRsaBytes));
  if (!signature) return Status(sw::kNoDiagnosis);
  return Data(std::move(*signature));
}

// Bad padding after the private operation answers 0x6A80.
Answer RsaDecrypt(CardState& state, const Command& c) {
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly()) return Status(sw::kWrongLength);
  const Found<const RsaPrivateKey*> ref = KeySlotKey(state, c.p2);
  if (!ref.ok()) return Status(ref.sw);
  if (c.data.size() != kRsaBytes) return Status(sw::kWrongLength);
  auto block = RsaPrivate(*ref.value, c.data);
  if (!block) return Status(sw::kWrongData);
  auto plain = Unpad(*block, 0x02);
  if (!plain) return Status(sw::kWrongData);
  return Data(std::move(*plain));
}

Answer RsaVerify(CardState& state, const Command& c) {
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly()) return Status(sw::kWrongLength);
  const Found<RsaPublicKey> ref = PublicKey(state, c.p2);
  if (!ref.ok()) return Status(ref.sw);
  if (c.data.size() != ref.value.n.size()) return Status(sw::kWrongLength);
  auto block = RsaPublic(ref.value, c.data);
  if (!block) return Status(sw::kWrongData);
  auto recovered = Unpad(*block, 0x01);
  if (!recovered) return Status(sw::kWrongData);
  return Data(std::move(*recovered));
}

Answer RsaEncrypt(CardState& state, const Command& c) {
  if (c.p1 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly()) return Status(sw::kWrongLength);
  const Found<RsaPublicKey> ref = PublicKey(state, c.p2);
  if (!ref.ok()) return Status(ref.sw);
  const std::size_t k = ref.value.n.size();
  if (c.data.size() + kPkcs1Overhead > k) return Status(sw::kWrongLength);
  auto block = PadType2(c.data, k);
  auto cipher = block ? RsaPublic(ref.value, *block) : std::nullopt;
  if (!cipher) return Status(sw::kNoDiagnosis);
  return Data(std::move(*cipher));
}

// The key-load frame: P2 = Lc, the data one public-key record, then an Le
// byte. The key serves verify and encrypt with P2 = 0 until the next load
// or reset; the answer carries no data.
Answer LoadPublicKey(CardState& state, const Command& c) {
  if (c.p1 != 0x00 || c.p2 != c.p3) return Status(sw::kWrongP1P2);
  if (c.header_only) return Status(sw::kWrongLength);
  std::optional<RsaPublicKey> key = ParsePublicKeyRecord(c.data, true);
  if (!key) return Status(sw::kWrongData);
  state.transient.loaded_public_key = std::move(key);
  return Status(sw::kSuccess);
}

}  // namespace tarnwick::vcard

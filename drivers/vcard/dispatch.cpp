// The instruction table and the checks every command goes through before
// its handler: class byte, instruction, framing, long operations.
#include "dispatch.h"

#include <iterator>

#include "handlers.h"
#include "long_operation.h"

namespace tarnwick::vcard {
namespace {

using Handler = Answer (*)(CardState&, const Command&);

struct Route {
  uint8_t cla;
  uint8_t ins;
  Handler handler;
};

constexpr uint8_t kIso = 0x00;
constexpr uint8_t kProprietary = 0x80;
constexpr uint8_t kCardDesClass = 0x10;

// Instructions that share an INS byte and differ by P1 or by the framing.
Answer CommandCC(CardState& s, const Command& c) {
  return c.CarriesDataOnly() ? HashSha1(s, c) : LoadPublicKey(s, c);
}
Answer CommandCE(CardState& s, const Command& c) {
  return c.p1 == 0x00 ? GenerateKeyPair(s, c) : Cipher16KeyCommand(s, c);
}

constexpr Route kRoutes[] = {
    {kIso, 0xA4, SelectFile},
    {kIso, 0xB0, ReadBinary},
    {kIso, 0xD6, UpdateBinary},
    {kIso, 0xB2, ReadRecord},
    {kIso, 0xDC, UpdateRecord},
    {kIso, 0xE2, AppendRecord},
    {kIso, 0x20, Verify},
    {kIso, 0x84, GetChallenge},
    {kIso, 0x82, ExternalAuthenticate},
    {kProprietary, 0xE0, CreateFile},
    {kProprietary, 0x0E, EraseDf},
    {kProprietary, 0x14, ChangeProtocol},
    {kProprietary, 0x24, ChangePassphrase},
    {kProprietary, 0x2C, UnblockPassphrase},
    {kProprietary, 0xD4, WriteKey},
    {kProprietary, 0xC2, RsaSign},
    {kProprietary, 0xC4, RsaVerify},
    {kProprietary, 0xC6, RsaEncrypt},
    {kProprietary, 0xC8, RsaDecrypt},
    {kProprietary, 0xCC, CommandCC},
    {kProprietary, 0xCE, CommandCE},
    {kProprietary, 0xF4, Cipher16LoadKey},
    {kProprietary, 0xF0, Cipher16Encrypt},
    {kProprietary, 0xF2, Cipher16Decrypt},
    {kProprietary, 0xFA, Cipher16SessionCommand},
    {kCardDesClass, 0x02, CardDes},
};

// Class bytes of the first interindustry range (0x00 to 0x1F) that ask for
// what this card does not do: command chaining (bit 5, except the card DES
// command, whose class is 0x10), secure messaging (bits 4-3), logical
// channels (bits 2-1). Other classes than 0x00 and 0x80 are unknown.
uint16_t CheckClass(uint8_t cla) {
  if (cla == kIso || cla == kProprietary || cla == kCardDesClass) return sw::kOk;
  if (cla > 0x1F) return sw::kClaNotSupported;
  if (cla & 0x10) return sw::kChainingUnsupported;
  if (cla & 0x0C) return sw::kSecureMessagingUnsupported;
  return sw::kChannelUnsupported;
}

Handler Find(uint8_t cla, uint8_t ins) {
  for (const Route& r : kRoutes)
    if (r.cla == cla && r.ins == ins) return r.handler;
  return nullptr;
}

Answer RouteCommand(CardState& state, const uint8_t* apdu, std::size_t len) {
  if (IsPoll(apdu, len)) return Poll(state);
  std::optional<Command> c = ParseCommand(apdu, len);
  if (!c) {
    state.session.pending = std::monostate{};
    return Status(sw::kWrongLength);
  }
  if (!ContinuesLongOperation(state, *c)) state.session.pending = std::monostate{};
  const uint16_t class_check = CheckClass(c->cla);
  if (class_check != sw::kOk) return Status(class_check);
  Handler handler = Find(c->cla, c->ins);
  if (handler == nullptr)
    return Status(c->cla == kCardDesClass ? sw::kChainingUnsupported : sw::kInsNotSupported);
  return handler(state, *c);
}

}  // namespace

Answer Dispatch(CardState& state, const uint8_t* apdu, std::size_t len) {
  Answer answer = RouteCommand(state, apdu, len);
  // The transport carries one length byte; no handler answers more.
  if (answer.data.size() > 255) return Status(sw::kNoDiagnosis);
  return answer;
}

}  // namespace tarnwick::vcard

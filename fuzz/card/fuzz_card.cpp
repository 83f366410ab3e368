// fuzz_card: command APDUs fed to one virtual card. The input is a sequence
// of a length byte and that many command bytes; the length byte 0xFF resets
// the card instead. Every answer must be well-formed, and afterwards the card
// must still select its master file, and its image must survive a save,
// load and save unchanged.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "card/generation_cap.h"
#include "card/key_pool.h"
#include "common/buffers.h"
#include "common/byte_source.h"
#include "common/check.h"
#include "protocol/instructions.h"
#include "protocol/status_words.h"
#include "vcard/card.h"

namespace {

using tarnwick::vcard::Answer;
using tarnwick::vcard::Card;
using tarnwick::vcard::CardOptions;
namespace ins = tarnwick::ins;
namespace sw = tarnwick::sw;

constexpr uint8_t kResetMarker = 0xFF;
constexpr CardOptions kOptions{.busy_polls = 1, .key_pair_source = twfuzz::PooledKeyPair};

// Data comes only with 0x9000 and 0x6282 (end of file or record reached);
// every status word is a card's (SW1 0x61 to 0x6F, or 0x9000), and 0x6F00
// would mean the card failed inside.
void CheckAnswer(const Answer& answer) {
  twfuzz::Check(answer.data.size() <= 255, "an answer longer than a one-byte length");
  twfuzz::Check(answer.data.empty() || answer.sw == sw::kSuccess || answer.sw == sw::kEndReached,
                "data with a status word that carries none");
  const uint8_t sw1 = answer.sw >> 8;
  twfuzz::Check(answer.sw == sw::kSuccess || (sw1 >= 0x61 && sw1 <= 0x6F), "not a card status word");
  twfuzz::Check(answer.sw != sw::kNoDiagnosis, "the card failed inside");
}

void SendCommand(Card& card, twfuzz::GenerationCap& cap, twfuzz::ByteSource& in, uint8_t len) {
  std::vector<uint8_t> bytes(len);
  bytes.resize(in.Take(bytes.data(), len));
  if (!cap.Allows(bytes.data(), bytes.size())) return;
  twfuzz::InputBytes apdu(bytes.data(), bytes.size());
  const Answer answer = card.Process(apdu.get(), apdu.size());
  CheckAnswer(answer);
  cap.Note(apdu.get(), apdu.size(), answer);
}

void CheckCardStillUsable(Card& card) {
  const uint8_t select_mf[] = {ins::kSelectFile.cla, ins::kSelectFile.ins, 0x00, 0x00, 0x02, 0x3F, 0x00};
  twfuzz::Check(card.Process(select_mf, sizeof select_mf).sw == sw::kSuccess,
                "the master file can no longer be selected");
  const std::vector<uint8_t> image = card.SaveImage();
  std::optional<Card> loaded = Card::LoadImage(image.data(), image.size(), kOptions);
  twfuzz::Check(loaded.has_value(), "the card's own image is refused");
  twfuzz::Check(loaded->SaveImage() == image, "a loaded image saves back differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  twfuzz::SetCheckContext("fuzz_card");
  twfuzz::ByteSource in(data, size);
  twfuzz::RewindKeyPool();
  Card card(kOptions);
  twfuzz::GenerationCap cap;
  while (!in.empty()) {
    const uint8_t len = in.Byte();
    if (len == kResetMarker) {
      card.Reset();
      cap.Reset();
      continue;
    }
    SendCommand(card, cap, in, len);
  }
  CheckCardStillUsable(card);
  return 0;
}

// The Card object: one card's state behind the interface the driver uses.
#include "card.h"

#include <utility>

#include "dispatch.h"
#include "file_system.h"
#include "image.h"
#include "profile.h"
#include "protocol/status_words.h"

namespace tarnwick::vcard {

struct Card::State : CardState {};

Card::Card(CardOptions options) : state_(std::make_unique<State>()) {
  state_->options = options;
  state_->card = DefaultProfile(options.serial);
}

Card::Card(std::unique_ptr<State> state) : state_(std::move(state)) {}
Card::~Card() = default;
Card::Card(Card&&) noexcept = default;
Card& Card::operator=(Card&&) noexcept = default;

Answer Card::Process(const uint8_t* apdu, std::size_t len) {
  if (!state_) return Answer{{}, sw::kNoDiagnosis};
  return Dispatch(*state_, apdu, len);
}

void Card::Reset() {
  if (state_) state_->transient = Transient{};
}

bool Card::TakeChanged() { return state_ && std::exchange(state_->changed, false); }

void Card::SetDurableSave(DurableSave save) {
  if (state_) state_->durable_save = std::move(save);
}

bool MakeDurable(CardState& state) {
  if (!state.durable_save) return true;
  if (!state.durable_save(SerializeImage(state.card))) return false;
  state.changed = false;
  return true;
}

std::vector<uint8_t> Card::SaveImage() const {
  return state_ ? SerializeImage(state_->card) : std::vector<uint8_t>{};
}

std::optional<Card> Card::LoadImage(const uint8_t* image, std::size_t len, CardOptions options) {
  if (image == nullptr) return std::nullopt;
  std::optional<Persistent> contents = ParseImage({image, len});
  if (!contents) return std::nullopt;
  auto state = std::make_unique<State>();
  state->options = options;
  state->card = std::move(*contents);
  return Card(std::move(state));
}

bool Card::ReplaceContents(const uint8_t* image, std::size_t len) {
  if (!state_ || image == nullptr) return false;
  std::optional<Persistent> contents = ParseImage({image, len});
  if (!contents) return false;
  state_->card = std::move(*contents);
  CurrentFile(*state_);
  return true;
}

}  // namespace tarnwick::vcard

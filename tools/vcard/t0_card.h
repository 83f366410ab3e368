// The virtual card as a T=0 card answers: data of a command that also sent
// data waits behind 61xx for GET RESPONSE, and a command that asked for the
// wrong number of bytes gets 6Cxx with the right number.
#pragma once

#include <memory>
#include <vector>

#include "backend.h"
#include "protocol/status_words.h"

namespace tarnwick::vcard_server {

class T0Card final : public skorra::Backend {
 public:
  explicit T0Card(std::unique_ptr<skorra::Backend> card) : card_(std::move(card)) {}

  bool PowerUp() override;
  skorra::Reply Transmit(std::span<const uint8_t> command) override;

 private:
  skorra::Reply GetResponse(uint8_t le);

  std::unique_ptr<skorra::Backend> card_;
  std::vector<uint8_t> pending_;  // answer data not yet fetched
  uint16_t pending_sw_ = sw::kSuccess;  // the status word that comes with its last piece
  // After 6Cxx: the command that will come again with the right Le, and the
  // answer it then gets. The card has done the command once; the resend
  // only collects the answer, so that a command that moves the card on (a
  // key handed out in pieces) is not done twice.
  std::vector<uint8_t> expected_resend_;
  skorra::Reply held_;
};

}  // namespace tarnwick::vcard_server

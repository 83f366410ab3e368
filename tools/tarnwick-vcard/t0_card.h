// The card as a T=0 card answers: an answer with data is announced with
// 61xx and handed out by GET RESPONSE, and a case-2 command whose Le does
// not match the data gets 6Cxx with the right length. Sits in front of any
// backend, so the driver's completion of such answers runs against the
// real card operating system.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "backend.h"

namespace tarnwick::vcard_server {

class T0Card {
 public:
  explicit T0Card(skorra::Backend& card) : card_(card) {}

  // A power-up or reset: an answer waiting for GET RESPONSE is gone.
  bool PowerUp();
  skorra::Reply Transmit(std::span<const uint8_t> command);

 private:
  skorra::Reply HandOut(std::size_t wanted);

  skorra::Backend& card_;
  std::vector<uint8_t> waiting_;  // data not yet fetched by GET RESPONSE
  uint16_t final_sw_ = 0x9000;    // the status word that ends the chain
  bool chain_open_ = false;
};

}  // namespace tarnwick::vcard_server

// A virtual card served to vpcd by tarnwick-vcard for one test: started,
// waited for until pcscd sees it in the reader, pulled out at once (as a
// card yanked from a reader) and waited for until the reader is empty.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "support/os.h"

namespace pcsctest {

// vpcd's first slot, where the tests' cards go; its TCP port.
inline const std::string kTestReader = "Virtual PCD 00 00";
inline const std::string kTestReaderPort = "35963";

// True once the reader whose name holds `reader` shows a card (or, with
// present false, none) within the time given.
bool WaitForCard(const std::string& reader, bool present, std::chrono::milliseconds patience);

class ServedCard {
 public:
  ServedCard() = default;
  ~ServedCard() { PullOut(); }
  ServedCard(const ServedCard&) = delete;
  ServedCard& operator=(const ServedCard&) = delete;

  // Starts tarnwick-vcard on the test reader with `options` (the card folder
  // comes from SKORRA_VCARD_DIR); true once the reader shows the card.
  bool Insert(const std::vector<std::string>& options = {});
  // Ends tarnwick-vcard at once; true once the reader is empty.
  bool PullOut();

 private:
  testos::ChildId child_ = -1;
};

// The card of the end-to-end session fixture.
ServedCard& SessionCard();

}  // namespace pcsctest

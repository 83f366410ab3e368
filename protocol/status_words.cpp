// The status-word table: exact words first, then the families whose low
// byte carries a count, then the meaning of SW1 alone.
#include "status_words.h"

#include <array>
#include <cstdio>

namespace tarnwick::status {
namespace {

struct Entry {
  uint16_t sw;
  const char* meaning;
};

constexpr std::array kExact = {
    Entry{0x9000, "command completed"},
    // The library's own answer when a key-pair answer does not carry a
    // 128-byte modulus.
    Entry{0x6000, "malformed key-pair answer"},
    Entry{0x6200, "warning, state unchanged"},
    // The master-file creation command asks to be sent a second time.
    Entry{0x6201, "repeat the command"},
    Entry{0x6281, "part of the returned data may be corrupted"},
    Entry{0x6282, "end of file or record reached before Le bytes"},
    Entry{0x6283, "selected file invalidated"},
    Entry{0x6300, "authentication failed"},
    Entry{0x6400, "execution error, state unchanged"},
    Entry{0x6500, "execution error, state changed"},
    Entry{0x6581, "memory failure"},
    Entry{0x6700, "wrong length"},
    Entry{0x6881, "logical channel not supported"},
    Entry{0x6882, "secure messaging not supported"},
    Entry{0x6981, "command incompatible with file structure"},
    Entry{0x6982, "security status not satisfied"},
    Entry{0x6983, "authentication method blocked"},
    Entry{0x6984, "reference data not usable"},
    Entry{0x6985, "conditions of use not satisfied"},
    Entry{0x6986, "command not allowed, no current file"},
    Entry{0x6988, "incorrect secure messaging data"},
    Entry{0x6A80, "incorrect data field"},
    Entry{0x6A81, "function not supported"},
    Entry{0x6A82, "file or application not found"},
    Entry{0x6A83, "record not found"},
    Entry{0x6A84, "not enough memory space"},
    Entry{0x6A85, "length inconsistent with the data"},
    Entry{0x6A86, "incorrect parameters P1-P2"},
    Entry{0x6A88, "referenced data not found"},
    Entry{0x6A89, "file already exists"},
    Entry{0x6A8A, "directory name already exists"},
    Entry{0x6B00, "wrong parameters, offset outside the file"},
    // An idle card's answer to the poll frame, so it also means "ready".
    Entry{0x6D00, "instruction not supported"},
    Entry{0x6E00, "class not supported"},
    Entry{0x6F00, "no precise diagnosis"},
    Entry{0x6FF0, "card busy"},
    // Not a card answer: the driver could not carry the command at all.
    Entry{0xFFFF, "reader exchange failed"},
};

struct Family {
  uint8_t sw1;
  const char* meaning;
};

// What SW1 alone says when the exact word is not in the table.
constexpr std::array kBySw1 = {
    Family{0x62, "warning, state unchanged"},
    Family{0x63, "warning, state changed"},
    Family{0x64, "execution error, state unchanged"},
    Family{0x65, "execution error, state changed"},
    Family{0x66, "security error"},
    Family{0x67, "wrong length"},
    Family{0x68, "function in class byte not supported"},
    Family{0x69, "command not allowed"},
    Family{0x6A, "wrong parameters P1-P2"},
    Family{0x6F, "no precise diagnosis"},
};

std::string Printf(const char* format, unsigned value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// 63Cx counts the tries left; 61xx and 6Cxx carry a byte count.
std::string CountedMeaning(uint16_t sw) {
  const unsigned low = sw & 0xFF;
  if ((sw & 0xFFF0) == 0x63C0) {
    const unsigned tries = low & 0x0F;
    return Printf(tries == 1 ? "verification failed, %u try left" : "verification failed, %u tries left",
                  tries);
  }
  if ((sw & 0xFF00) == 0x6100) return Printf("%u more bytes available", low == 0 ? 256 : low);
  if ((sw & 0xFF00) == 0x6C00) return Printf("wrong Le, %u bytes available", low == 0 ? 256 : low);
  return {};
}

}  // namespace

std::string Meaning(int64_t sw) {
  if (sw < 0 || sw > 0xFFFF) return "not a status word";
  const auto word = static_cast<uint16_t>(sw);
  for (const Entry& e : kExact)
    if (e.sw == word) return e.meaning;
  if (std::string counted = CountedMeaning(word); !counted.empty()) return counted;
  for (const Family& f : kBySw1)
    if (f.sw1 == word >> 8) return f.meaning;
  return "unknown status word";
}

std::string Describe(int64_t sw) {
  const std::string meaning = Meaning(sw);
  if (sw < 0 || sw > 0xFFFF) return Printf("%X ", static_cast<unsigned>(sw)) + meaning;
  return Printf("%04X ", static_cast<unsigned>(sw)) + meaning;
}

}  // namespace tarnwick::status

// tarnwick-vcard: serves one virtual card to vpcd, pcscd's virtual reader.
//
//   tarnwick-vcard [--host HOST] [--port PORT] [--card-dir DIR] [--t0] [--wait SECONDS]
//
// The card is the one the skorra driver runs in process, with the same
// persistence: with a card folder (--card-dir, else SKORRA_VCARD_DIR) it is
// kept in card1.img there, otherwise in memory for the life of the process.
// Exits 0 when vpcd closes the connection, 1 when vpcd never answered, 2 on
// a usage error or a card that cannot be opened.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "image_store.h"
#include "tarnwick.h"
#include "t0_card.h"
#include "vcard_backend.h"
#include "vpcd_link.h"

namespace {

using tarnwick::skorra::Backend;
using tarnwick::vcard_server::VpcdLink;

struct Options {
  std::string host = "localhost";
  uint16_t port = 35963;  // vpcd's first slot; 35964 is its second
  std::optional<std::string> card_dir;
  bool t0 = false;
  int wait_seconds = 5;
};

// The answers to reset: T=1 offered (a T=0 card is the same with T=0 only),
// and the historical bytes "TARNWICK" 01 00.
constexpr uint8_t kAtrT1[] = {0x3B, 0x8A, 0x80, 0x01, 0x54, 0x41, 0x52, 0x4E, 0x57,
                              0x49, 0x43, 0x4B, 0x01, 0x00, 0x15};
constexpr uint8_t kAtrT0[] = {0x3B, 0x0A, 0x54, 0x41, 0x52, 0x4E, 0x57, 0x49, 0x43, 0x4B, 0x01, 0x00};

// vpcd's control bytes (00, power off, needs nothing: the card's memory
// survives it as a real card's does, and power-up clears the rest).
constexpr uint8_t kPowerOn = 0x01;
constexpr uint8_t kReset = 0x02;
constexpr uint8_t kGetAtr = 0x04;

constexpr const char* kUsage =
    "usage: tarnwick-vcard [--host HOST] [--port PORT] [--card-dir DIR] [--t0] [--wait SECONDS]\n";

constexpr const char* kHelp =
    "\n"
    "Serves one virtual card to vpcd, the virtual reader of pcscd, until vpcd closes\n"
    "the connection; PC/SC applications and libusbskorra.so then see it in a reader.\n"
    "\n"
    "  --host HOST     where vpcd listens (default localhost)\n"
    "  --port PORT     vpcd's port: 35963 its first reader (default), 35964 its second\n"
    "  --card-dir DIR  keep the card in DIR/card1.img (default SKORRA_VCARD_DIR, else\n"
    "                  in memory for the life of the process)\n"
    "  --t0            answer as a T=0 card (61xx and 6Cxx for the reader to complete)\n"
    "  --wait SECONDS  how long to wait for vpcd to listen (default 5)\n"
    "  --help, --version\n"
    "\n"
    "Exit codes: 0 vpcd closed the connection; 1 vpcd never answered; 2 a usage\n"
    "error or a card that cannot be opened.\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "tarnwick-vcard: %s\n%s", problem, kUsage);
  return 2;
}

// True when the arguments ask for help or the version, printed here.
bool AnsweredAsInformation(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::printf("%s%s", kUsage, kHelp);
      return true;
    }
    if (arg == "--version") {
      std::printf("tarnwick-vcard %s\n", TW_VERSION_STRING);
      return true;
    }
  }
  return false;
}

std::optional<Options> ParseOptions(int argc, char** argv, std::string& problem) {
  Options options;
  if (const char* dir = std::getenv("SKORRA_VCARD_DIR"); dir != nullptr && *dir != '\0') options.card_dir = dir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--t0") {
      options.t0 = true;
      continue;
    }
    if (i + 1 >= argc) {
      problem = arg + ": missing value or unknown option";
      return std::nullopt;
    }
    const std::string value = argv[++i];
    char* end = nullptr;
    const long number = std::strtol(value.c_str(), &end, 10);
    const bool numeric = !value.empty() && *end == '\0';
    if (arg == "--host") {
      options.host = value;
    } else if (arg == "--card-dir") {
      options.card_dir = value;
    } else if (arg == "--port" && numeric && number > 0 && number <= 0xFFFF) {
      options.port = static_cast<uint16_t>(number);
    } else if (arg == "--wait" && numeric && number >= 0 && number <= 3600) {
      options.wait_seconds = static_cast<int>(number);
    } else {
      problem = arg + " " + value + ": unknown option or bad value";
      return std::nullopt;
    }
  }
  return options;
}

std::unique_ptr<Backend> OpenCard(const Options& options, std::string& problem) {
  std::unique_ptr<Backend> card;
  if (!options.card_dir) {
    card = tarnwick::skorra::VirtualCardBackend::InMemory(1);
  } else {
    std::error_code error;
    std::filesystem::create_directories(*options.card_dir, error);
    if (error) {
      problem = *options.card_dir + ": " + error.message();
      return nullptr;
    }
    card = tarnwick::skorra::VirtualCardBackend::FromStore(tarnwick::skorra::ImageStore(*options.card_dir, 1),
                                                             problem);
  }
  if (card && options.t0) return std::make_unique<tarnwick::vcard_server::T0Card>(std::move(card));
  return card;
}

// Answers vpcd until it closes the connection; false when a send failed.
bool Serve(VpcdLink& link, Backend& card, std::span<const uint8_t> atr) {
  while (std::optional<std::vector<uint8_t>> message = link.Receive()) {
    if (message->empty()) continue;
    if (message->size() == 1) {
      const uint8_t control = (*message)[0];
      if (control == kPowerOn || control == kReset) card.PowerUp();
      if (control == kGetAtr && !link.Send(atr)) return false;
      continue;
    }
    tarnwick::skorra::Reply reply = card.Transmit(*message);
    reply.data.push_back(static_cast<uint8_t>(reply.sw >> 8));
    reply.data.push_back(static_cast<uint8_t>(reply.sw & 0xFF));
    if (!link.Send(reply.data)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnsweredAsInformation(argc, argv)) return 0;
  std::string problem;
  const std::optional<Options> options = ParseOptions(argc, argv, problem);
  if (!options) return Usage(problem.c_str());
  std::unique_ptr<Backend> card = OpenCard(*options, problem);
  if (!card) {
    std::fprintf(stderr, "tarnwick-vcard: cannot open the card: %s\n", problem.c_str());
    return 2;
  }
  std::optional<VpcdLink> link =
      VpcdLink::Connect(options->host, options->port, std::chrono::seconds(options->wait_seconds), problem);
  if (!link) {
    std::fprintf(stderr,
                 "tarnwick-vcard: vpcd is not listening at %s port %u (%s) after %d s; is pcscd running "
                 "with the vpcd reader configured?\n",
                 options->host.c_str(), static_cast<unsigned>(options->port), problem.c_str(),
                 options->wait_seconds);
    return 1;
  }
  std::fprintf(stderr, "tarnwick-vcard: card inserted in vpcd at %s port %u%s\n", options->host.c_str(),
               static_cast<unsigned>(options->port), options->t0 ? " (T=0 card)" : "");
  if (options->t0) return Serve(*link, *card, kAtrT0) ? 0 : 1;
  return Serve(*link, *card, kAtrT1) ? 0 : 1;
}

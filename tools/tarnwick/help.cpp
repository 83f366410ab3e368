// Help texts, generated from the subcommand table so that every subcommand
// is listed and documented with its example.
#include "help.h"

#include <string>

namespace tarnwick::cli {
namespace {

constexpr const char* kUsageLine =
    "usage: tarnwick [--driver serial|usb] [--port 1-4] [--trace] SUBCOMMAND [ARGUMENTS]\n";

constexpr const char* kOverview =
    "Drives a smart card through the Tarnwick library, one library call per subcommand.\n"
    "Each invocation binds the reader driver (InitialLib), opens the reader (OpenCom),\n"
    "resets the card (ResetICC), runs the subcommand, then closes the reader (CloseCom)\n"
    "and unbinds the driver (FreeLib); `run` executes a whole script in one session.\n"
    "apdu, read-file and read-record ... all send their commands through the\n"
    "driver's ICC_tsi_api itself, in the same session; readers asks the driver\n"
    "what each port holds.\n"
    "\n"
    "Options (before or after the subcommand):\n"
    "  --driver serial|usb  serial: libskorra.so, the virtual card (default);\n"
    "                       usb: libusbskorra.so\n"
    "  --port N             open COM1 to COM4 (default 1)\n"
    "  --trace              the driver prints every command and answer in hex on\n"
    "                       standard error (sets SKORRA_TRACE=1)\n"
    "  --help               this text; SUBCOMMAND --help describes one subcommand\n"
    "  --version            the tool's version\n"
    "\n"
    "Arguments:\n"
    "  data       hex bytes such as 0A1B, \"0A 1B\" or 0a:1b, or @FILE for a file's raw\n"
    "             bytes (@- standard input); --in FILE and --out FILE (- for standard\n"
    "             input or output) move a subcommand's main data in raw bytes\n"
    "  FID        a file identifier 00xx in hex: 0001 or 01\n"
    "  KEYID, REF, P1, P2 and other card parameters: one hex byte\n"
    "  passphrases and unblocking codes: text (--hex: hex bytes), @FILE for a\n"
    "             file's bytes without its last line ending; left out, they are\n"
    "             asked for on the terminal without echo\n"
    "  lengths, SFI and record numbers: decimal, or hex with 0x\n";

constexpr const char* kExitCodes =
    "Exit codes: 0 the card answered 9000 (or host work succeeded); 1 the card answered\n"
    "another status word, or the reader could not be opened; 2 a usage error.\n";

constexpr const char* kScriptStart = "tarnwick run - <<'EOF'\n";
constexpr const char* kScriptEnd = "EOF\n";

void PrintIndented(std::string_view text, std::FILE* out) {
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::fprintf(out, "  %.*s\n", static_cast<int>(end - start), text.data() + start);
    start = end + 1;
  }
}

}  // namespace

void PrintShortUsage(std::FILE* out) {
  std::fputs(kUsageLine, out);
  std::fputs("tarnwick --help lists the subcommands.\n", out);
}

void PrintToolHelp(std::FILE* out) {
  std::fputs("tarnwick - try a smart card by hand through the Tarnwick library\n\n", out);
  std::fputs(kUsageLine, out);
  std::fputs("       tarnwick SUBCOMMAND --help\n       tarnwick --version\n\n", out);
  std::fputs(kOverview, out);
  for (const Family& family : Families()) {
    std::fprintf(out, "\n%.*s:\n", static_cast<int>(family.title.size()), family.title.data());
    for (const Command& c : family.commands)
      std::fprintf(out, "  %-16.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                   static_cast<int>(c.summary.size()), c.summary.data());
  }
  std::fputc('\n', out);
  std::fputs(kExitCodes, out);
  std::fputs("\nExamples:\n  tarnwick update-bin \"48 65 6C 6C 6F\" --file 0001\n"
             "  tarnwick read-bin 5 --file 0001\n"
             "  tarnwick apdu 00 A4 00 00 02 00 01\n", out);
}

void PrintCommandHelp(const Command& command, std::FILE* out) {
  std::fprintf(out, "usage: tarnwick %.*s %.*s\n\n", static_cast<int>(command.name.size()), command.name.data(),
               static_cast<int>(command.usage.size()), command.usage.data());
  std::fprintf(out, "%.*s\n\n", static_cast<int>(command.summary.size()), command.summary.data());
  if (!command.details.empty()) {
    PrintIndented(command.details, out);
    std::fputc('\n', out);
  }
  if (command.example.find('\n') == std::string_view::npos) {
    std::fprintf(out, "example:\n  %.*s\n", static_cast<int>(command.example.size()), command.example.data());
    return;
  }
  // Lines that need earlier steps in the same connection, as a shell runs them.
  std::fprintf(out, "example, a script on a fresh card:\n%s%.*s\n%s", kScriptStart,
               static_cast<int>(command.example.size()), command.example.data(), kScriptEnd);
}

}  // namespace tarnwick::cli

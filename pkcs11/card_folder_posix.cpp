// The user's card folder on POSIX systems: $XDG_DATA_HOME/tarnwick/cards,
// else $HOME/.local/share/tarnwick/cards, made 0700; a link or anything but
// a private directory of the user's is refused.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "card_folder.h"

namespace tarnwick::pkcs11 {
namespace {

constexpr const char* kVariable = "SKORRA_VCARD_DIR";
bool g_set_by_module = false;

// Relative values are ignored, as the base directory rules say.
std::optional<std::string> DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg);
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share";
  return std::nullopt;
}

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST; }

// The data home and the folders above it may be anything the user chose,
// links included; only what is missing of it is made.
bool MakeDataHome(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (!MakeFolder(path.substr(0, slash))) return false;
  }
  return MakeFolder(path);
}

// Our own folders must be directories (not links) of this user that no one
// else can write: a card file planted there would be taken for the user's.
const char* RefusePrivateFolder(const std::string& path) {
  if (!MakeFolder(path)) return std::strerror(errno);
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISLNK(st.st_mode)) return "a link, not a directory";
  if (!S_ISDIR(st.st_mode)) return "not a directory";
  if (st.st_uid != geteuid()) return "owned by another user";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "writable by other users";
  return nullptr;
}

}  // namespace

CardKeeping KeepVirtualCards() {
  const char* named = std::getenv(kVariable);
  if (named != nullptr && *named != '\0') return CardKeeping::kNamedFolder;
  auto data_home = DataHome();
  if (!data_home) return CardKeeping::kInMemory;
  const std::string base = *data_home + "/tarnwick";
  const std::string cards = base + "/cards";
  const char* problem = MakeDataHome(*data_home) ? nullptr : std::strerror(errno);
  const std::string* where = problem != nullptr ? &*data_home : &base;
  if (problem == nullptr) problem = RefusePrivateFolder(base);
  if (problem == nullptr) {
    where = &cards;
    problem = RefusePrivateFolder(cards);
  }
  if (problem != nullptr) {
    // The user must learn why the keys will not outlive the process.
    std::fprintf(stderr, "tarnwick-pkcs11: %s: %s; the virtual cards stay in memory\n", where->c_str(), problem);
    return CardKeeping::kInMemory;
  }
  if (setenv(kVariable, cards.c_str(), 0) != 0) return CardKeeping::kInMemory;
  g_set_by_module = true;
  return CardKeeping::kUserFolder;
}

void ForgetUserCardFolder() {
  if (g_set_by_module) unsetenv(kVariable);
  g_set_by_module = false;
}

}  // namespace tarnwick::pkcs11

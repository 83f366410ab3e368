// fuzz_directory: what the PKCS #11 module reads from a card it does not
// trust. The input is a token directory file, then (after its fixed size)
// the content of one object file, parsed both as a certificate and as a
// data object. A directory that decodes must encode to a file that decodes
// to the same bytes again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/check.h"
#include "objects.h"
#include "token_directory.h"

using namespace tarnwick::pkcs11;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::span<const uint8_t> input(data, size);
  const auto directory = input.first(std::min(size, kDirectoryBytes));
  (void)DecodeDirectoryHeader(directory);
  if (auto decoded = DecodeDirectory(directory)) {
    const auto encoded = EncodeDirectory(*decoded);
    auto again = DecodeDirectory(encoded);
    twfuzz::Check(again.has_value(), "a directory written back does not read");
    twfuzz::Check(EncodeDirectory(*again) == encoded, "a directory changes when written back");
  }
  const Bytes file(input.begin() + static_cast<std::ptrdiff_t>(directory.size()), input.end());
  (void)ParseCertificate(file);
  auto content = DecodeData(file);
  const bool names_fit = content && content->application.size() <= 0xFF && content->object_id.size() <= 0xFF;
  if (names_fit) twfuzz::Check(EncodeData(*content) == file, "a data file changes when written back");
  return 0;
}

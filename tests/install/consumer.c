/* An application built against the installed tree: it binds the serial
 * driver installed beside the library, writes four bytes to EF 0001 of the
 * virtual card and reads them back. Exit 0 when every step answered 9000. */
#include <stdio.h>
#include <string.h>

#include <tarnwick.h>

static int step(const char *what, int32_t sw) {
  printf("%s: %04X\n", what, (unsigned)sw);
  return sw == 0x9000;
}

int main(void) {
  static const uint8_t written[4] = {0xCA, 0xFE, 0x00, 0x01};
  uint8_t read_back[4] = {0};
  tw_handle_t reader = 0;
  int ok;

  if (InitialLib(1) != 1) {
    fprintf(stderr, "InitialLib(1) failed: libskorra.so not found beside libtarnwick.so\n");
    return 1;
  }
  if (OpenCom(1, &reader) != 0) {
    fprintf(stderr, "OpenCom(1) failed\n");
    FreeLib();
    return 1;
  }
  ok = ResetICC((int32_t)reader, 0, 0) == 0;
  ok = ok && step("SelectFile 0001", SelectFile(0x00, 0, 0x01, reader));
  ok = ok && step("UpdateBin 4", UpdateBin(sizeof written, written, reader));
  ok = ok && step("ReadBin 4", ReadBin(sizeof read_back, read_back, reader));
  ok = ok && memcmp(written, read_back, sizeof written) == 0;
  CloseCom(&reader);
  FreeLib();
  puts(ok ? "consumer: ok" : "consumer: FAILED");
  return ok ? 0 : 1;
}

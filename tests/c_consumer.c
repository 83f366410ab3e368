/* A C99 program that includes only the public header: it must compile as C
 * and link against the library. */
#include <stdio.h>

#include "tarnwick.h"

int main(void) {
  tw_handle_t reader = 0;
  /* Nothing is bound, so nothing reaches a reader. */
  int32_t open_result = OpenCom(5, &reader);
  int32_t close_result = CloseCom(&reader);
  if (open_result != 2 || close_result != 2 || FreeLib() != 0) {
    fprintf(stderr, "unexpected results %d %d\n", (int)open_result, (int)close_result);
    return 1;
  }
  return 0;
}

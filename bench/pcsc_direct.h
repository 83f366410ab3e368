/* The floor the library is measured against: one command sent straight
 * through SCardTransmit, with nothing of Tarnwick in between. */
#ifndef TARNWICK_BENCH_PCSC_DIRECT_H
#define TARNWICK_BENCH_PCSC_DIRECT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sends `apdu` `rounds` times to the card in the first reader whose name
 * holds `reader_part` (any reader when NULL or empty) and writes each
 * round's time in microseconds to `micros`. Returns 0, or -1 with a line on
 * standard error when PC/SC, the reader or the card failed. */
int DirectTransmitTimes(const char *reader_part, const uint8_t *apdu, size_t apdu_len, int rounds,
                        double *micros);

#ifdef __cplusplus
}
#endif

#endif

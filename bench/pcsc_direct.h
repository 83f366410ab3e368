/* The floor the library is measured against: one command sent straight
 * through SCardTransmit, with nothing of Tarnwick in between. */
#ifndef TARNWICK_BENCH_PCSC_DIRECT_H
#define TARNWICK_BENCH_PCSC_DIRECT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct DirectCard;

/* The card in the first reader whose name holds `reader_part` (any reader
 * when NULL or empty), connected in shared mode; NULL with a line on
 * standard error when PC/SC, the reader or the card failed. */
struct DirectCard *DirectOpen(const char *reader_part);

/* One SCardTransmit of `apdu`; its time in microseconds, or a negative
 * value when the transmission failed. */
double DirectTransmitMicros(struct DirectCard *card, const uint8_t *apdu, size_t apdu_len);

void DirectClose(struct DirectCard *card);

#ifdef __cplusplus
}
#endif

#endif

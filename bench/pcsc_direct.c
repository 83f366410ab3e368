/* One command sent straight through SCardTransmit, timed. */
#define _POSIX_C_SOURCE 200809L
#include "pcsc_direct.h"

#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

struct DirectCard {
  SCARDCONTEXT context;
  SCARDHANDLE card;
  const SCARD_IO_REQUEST *pci;
};

static double NowMicros(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e6 + (double)t.tv_nsec / 1e3;
}

/* The first name in the multi-string that holds `part`, or NULL. */
static const char *FindReader(const char *names, const char *part) {
  for (const char *name = names; *name != '\0'; name += strlen(name) + 1)
    if (part == NULL || *part == '\0' || strstr(name, part) != NULL) return name;
  return NULL;
}

struct DirectCard *DirectOpen(const char *reader_part) {
  struct DirectCard *direct = calloc(1, sizeof *direct);
  if (direct == NULL) return NULL;
  LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, NULL, NULL, &direct->context);
  if (rv != SCARD_S_SUCCESS) {
    fprintf(stderr, "direct PC/SC: no PC/SC service: %s\n", pcsc_stringify_error(rv));
    free(direct);
    return NULL;
  }
  LPSTR names = NULL;
  DWORD size = SCARD_AUTOALLOCATE;
  rv = SCardListReaders(direct->context, NULL, (LPSTR)&names, &size);
  const char *reader = rv == SCARD_S_SUCCESS ? FindReader(names, reader_part) : NULL;
  DWORD protocol = 0;
  if (reader == NULL) {
    fprintf(stderr, "direct PC/SC: no reader matching \"%s\"\n", reader_part ? reader_part : "");
    rv = SCARD_E_UNKNOWN_READER;
  } else {
    rv = SCardConnect(direct->context, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                      &direct->card, &protocol);
    if (rv != SCARD_S_SUCCESS) fprintf(stderr, "direct PC/SC: %s: %s\n", reader, pcsc_stringify_error(rv));
  }
  if (names != NULL) SCardFreeMemory(direct->context, names);
  if (rv != SCARD_S_SUCCESS) {
    SCardReleaseContext(direct->context);
    free(direct);
    return NULL;
  }
  direct->pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
  return direct;
}

double DirectTransmitMicros(struct DirectCard *direct, const uint8_t *apdu, size_t apdu_len) {
  BYTE answer[258];
  DWORD length = sizeof answer;
  const double start = NowMicros();
  const LONG rv = SCardTransmit(direct->card, direct->pci, apdu, (DWORD)apdu_len, NULL, answer, &length);
  const double micros = NowMicros() - start;
  return rv == SCARD_S_SUCCESS ? micros : -1.0;
}

void DirectClose(struct DirectCard *direct) {
  SCardDisconnect(direct->card, SCARD_LEAVE_CARD);
  SCardReleaseContext(direct->context);
  free(direct);
}

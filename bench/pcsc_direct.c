/* One command sent straight through SCardTransmit, timed round by round. */
#define _POSIX_C_SOURCE 200809L
#include "pcsc_direct.h"

#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static double NowMicros(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e6 + (double)t.tv_nsec / 1e3;
}

static int Fail(const char *what, LONG rv) {
  fprintf(stderr, "direct PC/SC: %s: %s\n", what, pcsc_stringify_error(rv));
  return -1;
}

/* The first name in the multi-string that holds `part`, or NULL. */
static const char *FindReader(const char *names, const char *part) {
  for (const char *name = names; *name != '\0'; name += strlen(name) + 1)
    if (part == NULL || *part == '\0' || strstr(name, part) != NULL) return name;
  return NULL;
}

static int TimeRounds(SCARDHANDLE card, DWORD protocol, const uint8_t *apdu, size_t apdu_len, int rounds,
                      double *micros) {
  const SCARD_IO_REQUEST *pci = protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
  BYTE answer[258];
  for (int i = 0; i < rounds; ++i) {
    DWORD length = sizeof answer;
    const double start = NowMicros();
    LONG rv = SCardTransmit(card, pci, apdu, (DWORD)apdu_len, NULL, answer, &length);
    micros[i] = NowMicros() - start;
    if (rv != SCARD_S_SUCCESS) return Fail("transmit", rv);
  }
  return 0;
}

int DirectTransmitTimes(const char *reader_part, const uint8_t *apdu, size_t apdu_len, int rounds,
                        double *micros) {
  SCARDCONTEXT context;
  LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, NULL, NULL, &context);
  if (rv != SCARD_S_SUCCESS) return Fail("no PC/SC service", rv);

  int result = -1;
  LPSTR names = NULL;
  DWORD size = SCARD_AUTOALLOCATE;
  rv = SCardListReaders(context, NULL, (LPSTR)&names, &size);
  const char *reader = rv == SCARD_S_SUCCESS ? FindReader(names, reader_part) : NULL;
  if (reader == NULL) {
    fprintf(stderr, "direct PC/SC: no reader matching \"%s\"\n", reader_part ? reader_part : "");
  } else {
    SCARDHANDLE card;
    DWORD protocol;
    rv = SCardConnect(context, reader, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card,
                      &protocol);
    if (rv != SCARD_S_SUCCESS) {
      Fail(reader, rv);
    } else {
      result = TimeRounds(card, protocol, apdu, apdu_len, rounds, micros);
      SCardDisconnect(card, SCARD_LEAVE_CARD);
    }
  }
  if (names != NULL) SCardFreeMemory(context, names);
  SCardReleaseContext(context);
  return result;
}

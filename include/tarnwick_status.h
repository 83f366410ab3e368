/*
 * tarnwick_status.h - the status words the card, the reader driver and the
 * library answer, each named once, and the meaning of every word as a
 * person reading a program's output or a trace needs it. Plain C, nothing
 * to link: the table and its lookups are static inline.
 *
 * @code
 *   char text[64];
 *   int32_t sw = SelectFile(0x00, 0, 0x01, reader);
 *   if (sw != TW_SW_SUCCESS) printf("%04X %s\n", (unsigned)sw, tw_status_text(sw, text, sizeof text));
 * @endcode
 */
#ifndef TARNWICK_STATUS_H
#define TARNWICK_STATUS_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* SW1 is bits 15-8, SW2 bits 7-0, as ISO/IEC 7816-4 defines them. */
#define TW_SW_SUCCESS 0x9000
/* The library's own answer when a key-pair answer does not carry a 128-byte
 * modulus. */
#define TW_SW_MALFORMED_KEY_PAIR 0x6000
/* 61xx: SW2 more bytes wait to be fetched (00 stands for 256). */
#define TW_SW_BYTES_AVAILABLE 0x6100
/* The master-file creation command asks to be sent a second time. */
#define TW_SW_REPEAT_COMMAND 0x6201
/* Fewer bytes than Le asked for: the end of the file or record came first. */
#define TW_SW_END_REACHED 0x6282
#define TW_SW_AUTHENTICATION_FAILED 0x6300
/* 63Cx: the value presented was wrong, x tries are left. */
#define TW_SW_TRIES_LEFT 0x63C0
#define TW_SW_MEMORY_FAILURE 0x6581
/* Also the library's refusal, before anything is sent, of a command that
 * does not fit a short command. */
#define TW_SW_WRONG_LENGTH 0x6700
#define TW_SW_CHANNEL_UNSUPPORTED 0x6881
#define TW_SW_SECURE_MESSAGING_UNSUPPORTED 0x6882
#define TW_SW_CHAINING_UNSUPPORTED 0x6884
#define TW_SW_INCOMPATIBLE_FILE 0x6981
#define TW_SW_SECURITY_NOT_SATISFIED 0x6982
#define TW_SW_BLOCKED 0x6983
#define TW_SW_REFERENCE_UNUSABLE 0x6984
#define TW_SW_CONDITIONS_NOT_SATISFIED 0x6985
#define TW_SW_NO_CURRENT_EF 0x6986
#define TW_SW_WRONG_DATA 0x6A80
#define TW_SW_FILE_NOT_FOUND 0x6A82
#define TW_SW_RECORD_NOT_FOUND 0x6A83
#define TW_SW_NO_SPACE 0x6A84
#define TW_SW_WRONG_P1P2 0x6A86
#define TW_SW_REFERENCE_NOT_FOUND 0x6A88
#define TW_SW_FILE_EXISTS 0x6A89
#define TW_SW_WRONG_PARAMETERS 0x6B00
/* 6Cxx: wrong Le, SW2 bytes are available (00 stands for 256). */
#define TW_SW_WRONG_LE 0x6C00
/* Also an idle card's answer to the poll frame: the card is ready again. */
#define TW_SW_INS_NOT_SUPPORTED 0x6D00
#define TW_SW_CLA_NOT_SUPPORTED 0x6E00
#define TW_SW_NO_DIAGNOSIS 0x6F00
/* A long command (erase, key-pair generation) is still running. */
#define TW_SW_CARD_BUSY 0x6FF0
/* Not a card answer: another program reset the card in a shared reader, so
 * its security state and current file are gone; the command was not sent. */
#define TW_SW_CARD_RESET 0xFFFE
/* Not a card answer: the driver could not carry the command at all. */
#define TW_SW_EXCHANGE_FAILED 0xFFFF

/* One row of the meaning table: the words w with (w & mask) == sw. A row
 * whose count_format is set belongs to a family whose low bits carry a
 * count (SW2, or its low digit for 63Cx). */
typedef struct tw_status_row {
  uint16_t sw;
  uint16_t mask;
  const char *meaning;
  const char *count_format;     /* one %u, the count */
  const char *count_format_one; /* when the count is 1, or NULL */
} tw_status_row;

/* The row that describes sw: exact words first, then the families that
 * carry a count, then what SW1 alone says (which is also the meaning of
 * 6200, 6700, 6F00 and the like). NULL for a word none names. */
static inline const tw_status_row *tw_status_find(uint16_t sw) {
  static const tw_status_row rows[] = {
      {TW_SW_SUCCESS, 0xFFFF, "command completed", NULL, NULL},
      {TW_SW_MALFORMED_KEY_PAIR, 0xFFFF, "malformed key-pair answer", NULL, NULL},
      {TW_SW_REPEAT_COMMAND, 0xFFFF, "repeat the command", NULL, NULL},
      {0x6281, 0xFFFF, "part of the returned data may be corrupted", NULL, NULL},
      {TW_SW_END_REACHED, 0xFFFF, "end of file or record reached before Le bytes", NULL, NULL},
      {0x6283, 0xFFFF, "selected file invalidated", NULL, NULL},
      {TW_SW_AUTHENTICATION_FAILED, 0xFFFF, "authentication failed", NULL, NULL},
      {TW_SW_MEMORY_FAILURE, 0xFFFF, "memory failure", NULL, NULL},
      {TW_SW_CHANNEL_UNSUPPORTED, 0xFFFF, "logical channel not supported", NULL, NULL},
      {TW_SW_SECURE_MESSAGING_UNSUPPORTED, 0xFFFF, "secure messaging not supported", NULL, NULL},
      {TW_SW_INCOMPATIBLE_FILE, 0xFFFF, "command incompatible with file structure", NULL, NULL},
      {TW_SW_SECURITY_NOT_SATISFIED, 0xFFFF, "security status not satisfied", NULL, NULL},
      {TW_SW_BLOCKED, 0xFFFF, "authentication method blocked", NULL, NULL},
      {TW_SW_REFERENCE_UNUSABLE, 0xFFFF, "reference data not usable", NULL, NULL},
      {TW_SW_CONDITIONS_NOT_SATISFIED, 0xFFFF, "conditions of use not satisfied", NULL, NULL},
      {TW_SW_NO_CURRENT_EF, 0xFFFF, "command not allowed, no current file", NULL, NULL},
      {0x6988, 0xFFFF, "incorrect secure messaging data", NULL, NULL},
      {TW_SW_WRONG_DATA, 0xFFFF, "incorrect data field", NULL, NULL},
      {0x6A81, 0xFFFF, "function not supported", NULL, NULL},
      {TW_SW_FILE_NOT_FOUND, 0xFFFF, "file or application not found", NULL, NULL},
      {TW_SW_RECORD_NOT_FOUND, 0xFFFF, "record not found", NULL, NULL},
      {TW_SW_NO_SPACE, 0xFFFF, "not enough memory space", NULL, NULL},
      {0x6A85, 0xFFFF, "length inconsistent with the data", NULL, NULL},
      {TW_SW_WRONG_P1P2, 0xFFFF, "incorrect parameters P1-P2", NULL, NULL},
      {TW_SW_REFERENCE_NOT_FOUND, 0xFFFF, "referenced data not found", NULL, NULL},
      {TW_SW_FILE_EXISTS, 0xFFFF, "file already exists", NULL, NULL},
      {0x6A8A, 0xFFFF, "directory name already exists", NULL, NULL},
      {TW_SW_WRONG_PARAMETERS, 0xFFFF, "wrong parameters, offset outside the file", NULL, NULL},
      {TW_SW_INS_NOT_SUPPORTED, 0xFFFF, "instruction not supported", NULL, NULL},
      {TW_SW_CLA_NOT_SUPPORTED, 0xFFFF, "class not supported", NULL, NULL},
      {TW_SW_CARD_BUSY, 0xFFFF, "card busy", NULL, NULL},
      {TW_SW_CARD_RESET, 0xFFFF, "card reset by another program", NULL, NULL},
      {TW_SW_EXCHANGE_FAILED, 0xFFFF, "reader exchange failed", NULL, NULL},
      {TW_SW_TRIES_LEFT, 0xFFF0, "verification failed, tries left in the low digit",
       "verification failed, %u tries left", "verification failed, %u try left"},
      {TW_SW_BYTES_AVAILABLE, 0xFF00, "more bytes available, counted in SW2", "%u more bytes available",
       NULL},
      {TW_SW_WRONG_LE, 0xFF00, "wrong Le, the bytes available in SW2", "wrong Le, %u bytes available", NULL},
      {0x6200, 0xFF00, "warning, state unchanged", NULL, NULL},
      {0x6300, 0xFF00, "warning, state changed", NULL, NULL},
      {0x6400, 0xFF00, "execution error, state unchanged", NULL, NULL},
      {0x6500, 0xFF00, "execution error, state changed", NULL, NULL},
      {0x6600, 0xFF00, "security error", NULL, NULL},
      {TW_SW_WRONG_LENGTH, 0xFF00, "wrong length", NULL, NULL},
      {0x6800, 0xFF00, "function in class byte not supported", NULL, NULL},
      {0x6900, 0xFF00, "command not allowed", NULL, NULL},
      {0x6A00, 0xFF00, "wrong parameters P1-P2", NULL, NULL},
      {TW_SW_NO_DIAGNOSIS, 0xFF00, "no precise diagnosis", NULL, NULL},
  };
  size_t i;
  for (i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    if ((sw & rows[i].mask) == rows[i].sw) return &rows[i];
  return NULL;
}

/* The count a family's word carries: the tries left of 63Cx, the bytes of
 * 61xx and 6Cxx (SW2 00 stands for 256). */
static inline unsigned tw_status_count(const tw_status_row *row, uint16_t sw) {
  unsigned count = (unsigned)(sw & (uint16_t)~row->mask);
  return (count == 0 && row->mask == 0xFF00) ? 256u : count;
}

/* The meaning of a status word without its count: "file or application not
 * found" for 0x6A82, the family's text for 0x63C2. Values outside 0..0xFFFF
 * are not status words and say so. */
static inline const char *tw_status_meaning(int64_t sw) {
  const tw_status_row *row;
  if (sw < 0 || sw > 0xFFFF) return "not a status word";
  row = tw_status_find((uint16_t)sw);
  return row != NULL ? row->meaning : "unknown status word";
}

/* The whole meaning, the count spelled out ("verification failed, 2 tries
 * left" for 0x63C2), written to buf (cut to size bytes); returns buf. */
static inline const char *tw_status_text(int64_t sw, char *buf, size_t size) {
  const tw_status_row *row = (sw < 0 || sw > 0xFFFF) ? NULL : tw_status_find((uint16_t)sw);
  if (size == 0) return buf;
  if (row == NULL || row->count_format == NULL) {
    snprintf(buf, size, "%s", tw_status_meaning(sw));
  } else {
    const unsigned count = tw_status_count(row, (uint16_t)sw);
    const char *format = (count == 1 && row->count_format_one != NULL) ? row->count_format_one : row->count_format;
    snprintf(buf, size, format, count);
  }
  return buf;
}

#ifdef __cplusplus
}
#endif

#endif /* TARNWICK_STATUS_H */

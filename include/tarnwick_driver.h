/*
 * tarnwick_driver.h - what a reader driver library exports for Tarnwick.
 *
 * Tarnwick loads the driver by bare name (libskorra.so for selector 1,
 * libusbskorra.so otherwise; skorra.dll / usbskorra.dll on Windows) and
 * calls the first six names below. CT_describe is for tools that list
 * readers. The last six are part of the driver's traditional export table;
 * Tarnwick neither resolves nor calls them, so a driver may leave them out.
 */
#ifndef TARNWICK_DRIVER_H
#define TARNWICK_DRIVER_H

#include <stdint.h>

#if defined(_WIN32)
#  define TW_DRIVER_API __declspec(dllexport)
#elif defined(__GNUC__)
#  define TW_DRIVER_API __attribute__((visibility("default")))
#else
#  define TW_DRIVER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/**
 * Opens the reader on a port.
 * @param port "COM1" to "COM4", zero-terminated.
 * @return the reader handle; Tarnwick treats 0 and values of 0x10000000 or
 *         more as "could not open".
 */
TW_DRIVER_API uint32_t CT_open(const char *port);

/** Closes a reader. @return 0 in the low byte when closed. */
TW_DRIVER_API int32_t CT_close(uint32_t handle);

/** Resets the reader; the argument and result are the driver's own. */
TW_DRIVER_API int32_t CT_reset(int32_t arg);

/** Resets (powers up) the card; the arguments and result are the driver's own. */
TW_DRIVER_API int32_t ICC_reset(int32_t arg1, int32_t arg2, int32_t arg3);

/** Sets the node address; the argument and result are the driver's own. */
TW_DRIVER_API int32_t ICC_set_NAD(int32_t nad);

/**
 * Sends one command APDU and receives the answer.
 *
 * @param handle the reader handle from CT_open.
 * @param cmd_len number of command bytes (a short command is at most 261
 *        bytes; Tarnwick sends at most 255).
 * @param cmd the command, read-only.
 * @param rsp_len receives the number of answer data bytes placed in @p rsp.
 * @param rsp receives the answer's data, without SW1 SW2; Tarnwick's buffer
 *        holds 256 bytes, the most a one-byte length can announce.
 * @return SW1 << 8 | SW2; 0xFFFF when the exchange itself failed (Tarnwick
 *         retries up to four calls in all).
 */
TW_DRIVER_API int32_t ICC_tsi_api(uint32_t handle, uint8_t cmd_len, const uint8_t *cmd,
                                  uint8_t *rsp_len, uint8_t *rsp);

/**
 * Optional. Describes what stands behind an open port, for a person.
 * @param handle the reader handle from CT_open.
 * @param text receives a zero-terminated description ("PC/SC reader '...'",
 *        "virtual card in memory"), cut to fit @p text_size bytes.
 * @param atr receives the card's answer to reset; it holds 33 bytes, the
 *        longest an answer to reset can be.
 * @param atr_len receives the answer to reset's length, 0 when the driver
 *        has none to give.
 * @return 0 when the port is open, 1 otherwise (nothing is written).
 */
TW_DRIVER_API int32_t CT_describe(uint32_t handle, char *text, uint32_t text_size, uint8_t *atr,
                                  uint8_t *atr_len);

/* Neither resolved nor called by Tarnwick. */
TW_DRIVER_API int32_t ICC_message(void);
TW_DRIVER_API int32_t CHexToBin(void);
TW_DRIVER_API int32_t BinToCHex(void);
TW_DRIVER_API int32_t DESsubkey(void);
TW_DRIVER_API int32_t DESencrypt(void);
TW_DRIVER_API int32_t DESdecrypt(void);

#ifdef __cplusplus
}
#endif

#endif /* TARNWICK_DRIVER_H */

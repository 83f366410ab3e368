/*
 * tarnwick.h - the public C interface of Tarnwick: 51 functions through which
 * an application drives an ISO/IEC 7816 contact smart card in a reader.
 *
 * Usage pattern:
 *
 * @code
 *   tw_handle_t reader = 0;
 *   if (InitialLib(1) != 1) return;               // bind the serial driver
 *   if (OpenCom(1, &reader) != 0) { FreeLib(); return; }
 *   ResetICC((int32_t)reader, 0, 0);              // power the card up
 *   int32_t sw = SelectFile(0x00, 0, 0x01, reader);
 *   uint8_t buf[300];
 *   if (sw == 0x9000) sw = ReadBin(sizeof buf, buf, reader);
 *   CloseCom(&reader);
 *   FreeLib();
 * @endcode
 *
 * Results. Card operations return the card's status word (SW1 in bits 15-8,
 * SW2 in bits 7-0): 0x9000 (TW_SW_SUCCESS) is success; 0xFFFF
 * (TW_SW_EXCHANGE_FAILED) means the reader driver failed the exchange four
 * times in a row (or no driver function was available); 0x6700
 * (TW_SW_WRONG_LENGTH) is also returned, before anything is sent, for a
 * command whose data would not fit a short command (more than 250 data
 * bytes). Outputs are written only after the card answered 0x9000.
 * tarnwick_status.h, included here, names every status word and gives its
 * meaning.
 *
 * Threading. The library takes no lock and starts no thread. Calls for one
 * reader must not overlap: an application that shares a reader between
 * threads serialises the calls. InitialLib and FreeLib must never run while
 * another thread is inside any export. Different readers may be used from
 * different threads when the driver allows it.
 *
 * Memory. Every buffer belongs to the caller; the library keeps no pointer
 * after a call returns, and nothing it allocates outlives the call.
 */
#ifndef TARNWICK_H
#define TARNWICK_H

#include <stdint.h>

/* The release these declarations belong to. The build takes its version
 * from these lines, so the library's file names and the tools' --version
 * say the same. */
#define TW_VERSION_MAJOR 1
#define TW_VERSION_MINOR 0
#define TW_VERSION_PATCH 0
#define TW_VERSION_STRING "1.0.0"

#include "tarnwick_status.h"

#if defined(_WIN32)
#  if defined(TARNWICK_BUILDING_LIBRARY)
#    define TW_API __declspec(dllexport)
#  else
#    define TW_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define TW_API __attribute__((visibility("default")))
#else
#  define TW_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** A reader handle as OpenCom returns it: usable when non-zero and below
 *  0x10000000. Owned by the application. */
typedef uint32_t tw_handle_t;

/* ======================================================================== */
/* Library binding                                                          */
/* ======================================================================== */

/**
 * Loads and binds a reader driver library.
 *
 * @param selector 1 selects the serial reader driver (libskorra.so,
 *        skorra.dll), any other value the USB reader driver (libusbskorra.so,
 *        usbskorra.dll). The driver is loaded by bare file name, so
 *        LD_LIBRARY_PATH and the folder of the library itself decide where it
 *        is found. When a driver is already bound it stays bound and the
 *        selector is not looked at.
 * @return 1 when a driver is bound, 0 when loading failed.
 *
 * @code
 *   if (InitialLib(1) != 1) fprintf(stderr, "no reader driver\n");
 * @endcode
 */
TW_API uint8_t InitialLib(uint8_t selector);

/**
 * Unloads the bound reader driver library and empties the driver table.
 *
 * @return 0 when no driver was bound or unloading failed; non-zero when the
 *         driver was unloaded.
 *
 * @code
 *   FreeLib();
 * @endcode
 */
TW_API int32_t FreeLib(void);

/* ======================================================================== */
/* Reader session                                                           */
/* ======================================================================== */

/**
 * Opens the reader on a port through the driver's CT_open.
 *
 * @param port 0 or 1 open "COM1", 2 to 4 open "COM2" to "COM4".
 * @param handle receives the value CT_open returned (also when it is not
 *        usable).
 * @return 0 the reader is open and *handle usable; 1 the driver returned 0
 *         or a value of 0x10000000 or more (or no driver is bound: *handle
 *         is then left as it was); 2 the port is above 4 (nothing called,
 *         *handle not written).
 *
 * @code
 *   tw_handle_t reader = 0;
 *   if (OpenCom(1, &reader) != 0) return;
 * @endcode
 */
TW_API int32_t OpenCom(uint8_t port, tw_handle_t *handle);

/**
 * Closes the reader through the driver's CT_close.
 *
 * @param handle the application's handle variable; set to 0 whatever the
 *        driver answers.
 * @return 0 closed; 1 the driver reported a failure (or no driver is
 *         bound); 2 *handle was 0 (no reader open; nothing called).
 *
 * @code
 *   CloseCom(&reader);   // reader is 0 afterwards
 * @endcode
 */
TW_API int32_t CloseCom(tw_handle_t *handle);

/**
 * Resets the reader: the argument goes to the driver's CT_reset unchanged.
 *
 * @return the driver's result unchanged; 0xFFFF when no driver is bound.
 *
 * @code
 *   ResetReader((int32_t)reader);
 * @endcode
 */
TW_API int32_t ResetReader(int32_t arg);

/**
 * Resets the card: the three arguments go to the driver's ICC_reset
 * unchanged and in order. Call it after OpenCom, before the first card
 * command. The shipped drivers take the reader handle first and answer 0 on
 * success.
 *
 * @return the driver's result unchanged; 0xFFFF when no driver is bound.
 *
 * @code
 *   if (ResetICC((int32_t)reader, 0, 0) != 0) return;
 * @endcode
 */
TW_API int32_t ResetICC(int32_t arg1, int32_t arg2, int32_t arg3);

/**
 * Sets the node address: the argument goes to the driver's ICC_set_NAD.
 *
 * @return the driver's result unchanged; 0xFFFF when no driver is bound.
 *
 * @code
 *   setNAD(0);
 * @endcode
 */
TW_API int32_t setNAD(int32_t nad);

/**
 * Switches the card's protocol setting. Sends 80 14 00 00 01 FF when
 * @p selector is non-zero, 80 14 00 00 01 FE when it is zero.
 *
 * @param selector zero or non-zero.
 * @param reader the open reader.
 * @return the status word (0x9000 on success).
 *
 * @code
 *   int32_t sw = ChangeProtocal(1, reader);
 * @endcode
 */
TW_API int32_t ChangeProtocal(uint8_t selector, tw_handle_t reader);

/* ======================================================================== */
/* Diagnostic log                                                           */
/* ======================================================================== */

/**
 * Appends one line to the diagnostic log, /tmp/iclog.txt on POSIX and
 * c:\iclog.txt on Windows. The log is opt-in: the file is written only when
 * it already exists as a regular file (never created; a symbolic link or
 * FIFO at the path is refused). The line is
 * "YYYY-MM-DD hh:mm:ss: <text> <label>=<value>" followed by CR LF, where the
 * label is the six GBK bytes B7 B5 BB D8 C2 EB ("return code") and the value
 * is upper-case hexadecimal, at least four characters wide, padded with
 * spaces (-1 prints as FFFFFFFF).
 *
 * @param text zero-terminated bytes, written as they are.
 * @param value the code printed after the label.
 * @return 0 when nothing was written (no log file) or the line was written
 *         and the file closed; -1 when closing the file failed.
 *
 * @code
 *   writeLog("select failed", sw);
 * @endcode
 */
TW_API int32_t writeLog(const char *text, int32_t value);

/* ======================================================================== */
/* Card file system                                                         */
/* ======================================================================== */

/**
 * Selects a file: 00 A4 p1 00 02 00 fid 00.
 *
 * @param p1 selection mode as ISO/IEC 7816-4 defines it (0x00: by file
 *        identifier).
 * @param unused ignored.
 * @param fid low byte of the file identifier 00xx.
 * @param reader the open reader.
 * @return the status word: 0x9000 selected, 0x6A82 no such file.
 *
 * @code
 *   int32_t sw = SelectFile(0x00, 0, 0x01, reader);   // EF 0001
 * @endcode
 */
TW_API int32_t SelectFile(uint8_t p1, int32_t unused, uint8_t fid, tw_handle_t reader);

/**
 * Reads the first n bytes of the current transparent file, in READ BINARY
 * pieces of 128 bytes (00 B0 off_hi off_lo 80) and a last short piece.
 *
 * @param n bytes to read, at most 32768 (above: 0x6700, nothing sent); 0
 *        sends nothing and returns 0x9000.
 * @param out receives n bytes; when a piece fails, the earlier pieces stay.
 * @param reader the open reader.
 * @return 0x9000, or the status word of the first piece that failed
 *         (0x6B00 offset beyond the file, 0x6982 access not allowed, ...).
 *
 * @code
 *   uint8_t buf[300];
 *   int32_t sw = ReadBin(300, buf, reader);
 * @endcode
 */
TW_API int32_t ReadBin(uint32_t n, uint8_t *out, tw_handle_t reader);

/**
 * Writes n bytes from offset 0 of the current transparent file, in UPDATE
 * BINARY pieces of 128 bytes (00 D6 off_hi off_lo 80 data) and a last short
 * piece.
 *
 * @param n bytes to write, at most 32768 (above: 0x6700, nothing sent); 0
 *        sends nothing and returns 0x9000.
 * @param in the n bytes.
 * @param reader the open reader.
 * @return 0x9000, or the status word of the first piece that failed; earlier
 *         pieces stay written.
 *
 * @code
 *   int32_t sw = UpdateBin(sizeof data, data, reader);
 * @endcode
 */
TW_API int32_t UpdateBin(uint32_t n, const uint8_t *in, tw_handle_t reader);

/**
 * Appends a record: 00 E2 00 (sfi*8) len data.
 *
 * @param sfi short file identifier 0-31 (0: the current file).
 * @param len record length, at most 250 (above: 0x6700, nothing sent).
 * @param data the record.
 * @param reader the open reader.
 * @return the status word.
 *
 * @code
 *   int32_t sw = AppendRecord(2, 5, (const uint8_t *)"hello", reader);
 * @endcode
 */
TW_API int32_t AppendRecord(uint8_t sfi, uint8_t len, const uint8_t *data, tw_handle_t reader);

/**
 * Reads a record by number: 00 B2 recno (sfi*8+4) le.
 *
 * @param sfi short file identifier 0-31 (0: the current file).
 * @param recno record number, from 1.
 * @param le bytes to read; exactly le bytes are copied on 0x9000 (zeros past
 *        a shorter answer).
 * @param out receives le bytes; untouched on failure.
 * @param reader the open reader.
 * @return the status word (0x6A83 no such record).
 *
 * @code
 *   uint8_t rec[16];
 *   int32_t sw = ReadRecord(2, 1, sizeof rec, rec, reader);
 * @endcode
 */
TW_API int32_t ReadRecord(uint8_t sfi, uint8_t recno, uint8_t le, uint8_t *out, tw_handle_t reader);

/**
 * Rewrites a record by number: 00 DC recno (sfi*8+4) len data.
 *
 * @param sfi short file identifier 0-31 (0: the current file).
 * @param recno record number, from 1.
 * @param len new length, at most 250 (above: 0x6700, nothing sent).
 * @param data the new contents.
 * @param reader the open reader.
 * @return the status word.
 *
 * @code
 *   int32_t sw = WriteRecord(2, 1, 5, (const uint8_t *)"HELLO", reader);
 * @endcode
 */
TW_API int32_t WriteRecord(uint8_t sfi, uint8_t recno, uint8_t len, const uint8_t *data,
                           tw_handle_t reader);

/**
 * Creates a file from a 7-byte description: 80 E0 00 p2 lc desc[7]; always
 * 12 bytes, whatever @p lc holds.
 *
 * @param p2 sent as P2.
 * @param lc sent as the length byte; 7 for a well-formed command.
 * @param desc the 7-byte file description (its layout is the card's).
 * @param reader the open reader.
 * @return the status word.
 *
 * @code
 *   int32_t sw = Createfile(0x20, 7, desc, reader);
 * @endcode
 */
TW_API int32_t Createfile(uint8_t p2, uint8_t lc, const uint8_t *desc, tw_handle_t reader);

/**
 * Creates the master file 3F00: 80 E0 3F 00 0D 38 FF FF b4 b5 FF*8. The
 * command is sent once more when the card answers 0x6201 or 0x6FF0.
 *
 * @param b4 fourth description byte.
 * @param b5 fifth description byte.
 * @param reader the open reader.
 * @return the status word of the last command sent.
 *
 * @code
 *   int32_t sw = CreateMFfile(0x00, 0x00, reader);
 * @endcode
 */
TW_API int32_t CreateMFfile(uint8_t b4, uint8_t b5, tw_handle_t reader);

/**
 * Erases the current directory: 80 0E 00 00 00. When the card answers
 * 0x6FF0 (busy) or the driver fails twice, the library polls with five zero
 * bytes until the card answers 0x6D00 (at most 1000 polls) and erases again.
 *
 * @param reader the open reader.
 * @return the status word of the last command sent.
 *
 * @code
 *   int32_t sw = EraseDF(reader);
 * @endcode
 */
TW_API int32_t EraseDF(tw_handle_t reader);

/* ======================================================================== */
/* Passphrases and keys                                                     */
/* ======================================================================== */

/**
 * Presents a passphrase: 00 20 00 ref len pass.
 *
 * @param pass the passphrase bytes.
 * @param len its length, at most 250 (above: 0x6700, nothing sent).
 * @param ref which passphrase the card checks (P2).
 * @param reader the open reader.
 * @return the status word: 0x9000 verified; 0x63Cx wrong, x tries left;
 *         0x6983 blocked.
 *
 * @code
 *   int32_t sw = VerifyPassphrase((const uint8_t *)"12345678", 8, 0x01, reader);
 * @endcode
 */
TW_API int32_t VerifyPassphrase(const uint8_t *pass, uint8_t len, uint8_t ref, tw_handle_t reader);

/**
 * Changes a passphrase: 80 24 00 ref 10 old[8] new[8].
 *
 * @param reader the open reader (first here).
 * @param old_pass the current passphrase, exactly 8 bytes.
 * @param ref which passphrase (P2).
 * @param new_pass the new passphrase, exactly 8 bytes.
 * @return the status word.
 *
 * @code
 *   int32_t sw = SetPassphrase(reader, old8, 0x01, new8);
 * @endcode
 */
TW_API int32_t SetPassphrase(tw_handle_t reader, const uint8_t *old_pass, uint8_t ref,
                             const uint8_t *new_pass);

/**
 * Unblocks a passphrase and sets a new one: 80 2C 00 ref 10 code[8] new[8].
 *
 * @param ref which passphrase (P2).
 * @param unblock_code the unblocking code, exactly 8 bytes.
 * @param new_pass the new passphrase, exactly 8 bytes.
 * @param reader the open reader.
 * @return the status word.
 *
 * @code
 *   int32_t sw = KeyUnblock(0x01, puk8, new8, reader);
 * @endcode
 */
TW_API int32_t KeyUnblock(uint8_t ref, const uint8_t *unblock_code, const uint8_t *new_pass,
                          tw_handle_t reader);

/**
 * Installs a key: 80 D4 01 p2 len block.
 *
 * @param p2 sent as P2.
 * @param len length of the key block, at most 250 (above: 0x6700).
 * @param block the key block (its layout is the card's).
 * @param reader the open reader.
 * @return the status word.
 *
 * @code
 *   int32_t sw = AddKey(0x03, sizeof block, block, reader);
 * @endcode
 */
TW_API int32_t AddKey(uint8_t p2, uint8_t len, const uint8_t *block, tw_handle_t reader);

/**
 * Rewrites a key: 80 D4 p1 p2 len block. With p1 = 0x01 it sends exactly
 * what AddKey sends.
 *
 * @param p1 sent as P1.
 * @param len length of the key block, at most 250 (above: 0x6700).
 * @param p2 sent as P2.
 * @param block the key block.
 * @param reader the open reader.
 * @return the status word.
 *
 * @code
 *   int32_t sw = ModifyKey(0x02, sizeof block, 0x03, block, reader);
 * @endcode
 */
TW_API int32_t ModifyKey(uint8_t p1, uint8_t len, uint8_t p2, const uint8_t *block,
                         tw_handle_t reader);

/* ======================================================================== */
/* Challenge and external authentication                                    */
/* ======================================================================== */

/**
 * Fetches n random bytes from the card: GET CHALLENGE (00 84 00 00 le) in
 * pieces of at most 16 bytes.
 *
 * @param out receives n bytes (zeros past a shorter answer).
 * @param n bytes wanted; 0 sends one command with Le 00 and copies nothing.
 * @param reader the open reader.
 * @return 0x9000, or the status word of the first piece that failed.
 *
 * @code
 *   uint8_t rnd[8];
 *   int32_t sw = GetChallenge(rnd, 8, reader);
 * @endcode
 */
TW_API int32_t GetChallenge(uint8_t *out, uint32_t n, tw_handle_t reader);

/**
 * Authenticates the application to the card with a host two-key triple-DES
 * key: GET CHALLENGE for 8 bytes, encrypts them with TriDesEncrypt, sends
 * EXTERNAL AUTHENTICATE 00 82 00 keyid 08 <cryptogram>.
 *
 * @param reader the open reader (first here).
 * @param key the 16-byte key, K1 then K2.
 * @param keyid the card key to check against (P2).
 * @return 0 accepted; 1 the challenge failed (nothing more sent); 3 the
 *         card refused the cryptogram. (2, the host encryption failed, is
 *         no longer returned: it cannot fail.)
 *
 * @code
 *   if (ExternAuth(reader, key16, 0x01) != 0) puts("not authenticated");
 * @endcode
 */
TW_API int32_t ExternAuth(tw_handle_t reader, const uint8_t *key, uint8_t keyid);

/**
 * Authenticates with single DES computed by the card: GET CHALLENGE for 8
 * bytes, DesEncrypt on the card, then EXTERNAL AUTHENTICATE.
 *
 * @param keyid the card key to check against (P2).
 * @param key the 8-byte DES key (sent to the card in the clear).
 * @param reader the open reader.
 * @return the status word of the first step that failed, else that of
 *         EXTERNAL AUTHENTICATE (0x9000 accepted).
 *
 * @code
 *   int32_t sw = ExtAuth(0x02, key8, reader);
 * @endcode
 */
TW_API int32_t ExtAuth(uint8_t keyid, const uint8_t *key, tw_handle_t reader);

/* ======================================================================== */
/* Card RSA                                                                 */
/* ======================================================================== */

/**
 * Signs with the card's private key in slot @p keyid: 80 C2 00 keyid len
 * data. The three functions below take the same arguments and differ only
 * in the instruction byte (C4 verify with a public-key file, C6 encrypt with
 * a public-key file, C8 decrypt with a private key).
 *
 * @param keyid key identifier (P2).
 * @param data input data.
 * @param len its length, at most 250 (above: 0x6700, nothing sent).
 * @param out receives the card's answer (up to 256 bytes; 128 for RSA-1024).
 * @param out_len receives the answer's length.
 * @param reader the open reader.
 * @return the status word; out and out_len are written only on 0x9000.
 *
 * @code
 *   uint8_t sig[256]; uint32_t sig_len = 0;
 *   int32_t sw = rsaPrivateSign(0x01, digest, 20, sig, &sig_len, reader);
 * @endcode
 */
TW_API int32_t rsaPrivateSign(uint8_t keyid, const uint8_t *data, uint8_t len, uint8_t *out,
                              uint32_t *out_len, tw_handle_t reader);
/** Verifies (recovers) with the public key in card file @p keyid (80 C4). */
TW_API int32_t rsaPublicVerifyUsePKFile(uint8_t keyid, const uint8_t *data, uint8_t len,
                                        uint8_t *out, uint32_t *out_len, tw_handle_t reader);
/** Encrypts with the public key in card file @p keyid (80 C6). */
TW_API int32_t rsaPublicEncryptUsePKFile(uint8_t keyid, const uint8_t *data, uint8_t len,
                                         uint8_t *out, uint32_t *out_len, tw_handle_t reader);
/** Decrypts with the card's private key in slot @p keyid (80 C8). */
TW_API int32_t rsaPrivateDecrypt(uint8_t keyid, const uint8_t *data, uint8_t len, uint8_t *out,
                                 uint32_t *out_len, tw_handle_t reader);

/**
 * Encrypts with a 1024-bit public key that the caller passes: first the
 * key-load command 80 CC 00 87 87 6E 80 <modulus> 65 03 01 00 01 20, then
 * 80 C6 00 00 len data. The public exponent is always 65537.
 *
 * @param modulus 128 bytes, big-endian.
 * @param data input data; @p len at most 250.
 * @param len its length.
 * @param out receives the answer; @p out_len its length (on 0x9000 only).
 * @param out_len receives the answer's length.
 * @param reader the open reader.
 * @return the status word of the key load when it failed, else that of the
 *         operation.
 *
 * @code
 *   int32_t sw = rsaPublicEncrypt(mod, msg, 16, ct, &ct_len, reader);
 * @endcode
 */
TW_API int32_t rsaPublicEncrypt(const uint8_t *modulus, const uint8_t *data, uint8_t len,
                                uint8_t *out, uint32_t *out_len, tw_handle_t reader);

/**
 * Verifies (recovers) with a public key that the caller passes: key load as
 * rsaPublicEncrypt with a modulus of @p mod_len bytes (at most 242), then
 * 80 C4 00 00 len data.
 *
 * @return the status word of the key load when it failed, else that of the
 *         operation; 0x6700 for a modulus above 242 or data above 250 bytes.
 *
 * @code
 *   int32_t sw = rsaPublicVerify(mod, 128, sig, 128, rec, &rec_len, reader);
 * @endcode
 */
TW_API int32_t rsaPublicVerify(const uint8_t *modulus, uint8_t mod_len, const uint8_t *data,
                               uint8_t len, uint8_t *out, uint32_t *out_len, tw_handle_t reader);

/**
 * Stores a public-key record 6E 80 <modulus> 65 E <first E bytes of 01 00 01>
 * in transparent file 00fid: SelectFile, then UpdateBin from offset 0.
 *
 * @param fid low byte of the file identifier.
 * @param modulus 128 bytes.
 * @param exp_len E, 0 to 3 (above: 0x6700, nothing sent).
 * @param reader the open reader.
 * @return the status word of the selection when it failed, else that of the
 *         last write.
 *
 * @code
 *   int32_t sw = WritePublicKey(0x10, mod, 3, reader);
 * @endcode
 */
TW_API int32_t WritePublicKey(uint8_t fid, const uint8_t *modulus, uint8_t exp_len,
                              tw_handle_t reader);

/**
 * Has the card generate an RSA-1024 key pair in slot @p keyid and returns
 * its modulus. Sends 80 CE 00 keyid 00, polls with five zero bytes until the
 * card answers 0x6D00 (at most 10000 polls), then sends the generation
 * command again and takes the modulus from the answer 6E 80 <modulus> ...
 *
 * @param unused ignored.
 * @param keyid key slot (P2).
 * @param modulus receives 128 bytes.
 * @param mod_len receives 128.
 * @param reader the open reader.
 * @return 0x9000; the failing status word; 0x6000 when the answer's length
 *         byte is not 0x80 or the answer is too short to hold the modulus
 *         (logged, outputs untouched).
 *
 * @code
 *   uint8_t mod[128]; uint32_t mod_len = 0;
 *   int32_t sw = RsaGenerateKeyPair(0, 0x01, mod, &mod_len, reader);
 * @endcode
 */
TW_API int32_t RsaGenerateKeyPair(int32_t unused, uint8_t keyid, uint8_t *modulus,
                                  uint32_t *mod_len, tw_handle_t reader);

/**
 * Has the card generate a key pair kept in no slot and collects the five
 * answers that follow the public record (at most 1000 bytes in all).
 *
 * @param unused ignored.
 * @param out receives the answers one after another; room for 1000 bytes.
 *        An answer that would not fit is dropped, like a failed one, and the
 *        later answers are still collected.
 * @param out_len set to 0 at the start, then the number of bytes collected.
 * @param reader the open reader.
 * @return the status word of the last command sent.
 *
 * @code
 *   uint8_t parts[1000]; uint32_t n = 0;
 *   int32_t sw = OfflineRsaGenerateKeyPair(0, parts, &n, reader);
 * @endcode
 */
TW_API int32_t OfflineRsaGenerateKeyPair(int32_t unused, uint8_t *out, uint32_t *out_len,
                                         tw_handle_t reader);

/**
 * Has the card generate a key pair in slot @p keyid and stores the card's
 * answer (the public-key record) in transparent file 00fid.
 *
 * @return the status word of the last command sent.
 *
 * @code
 *   int32_t sw = MyRsaGeneratekey(0, 0x10, 0x02, reader);
 * @endcode
 */
TW_API int32_t MyRsaGeneratekey(int32_t unused, uint8_t fid, uint8_t keyid, tw_handle_t reader);

/**
 * Decodes one DER INTEGER into its unsigned big-endian magnitude, dropping
 * one leading zero byte. Host software; no card involved.
 *
 * @param der the encoding (tag, length, content); must hold it whole. Byte 1
 *        is rewritten to 0x84 for a length byte other than 00-82.
 * @param out receives the magnitude; room for the content length.
 * @param out_len receives the magnitude's length (0 for an empty content,
 *        and nothing past the length field is read then).
 * @return the number of bytes the encoding occupies.
 *
 * @code
 *   uint8_t n[128]; uint32_t n_len;
 *   int32_t used = IntegerDERDecode(p, n, &n_len);
 *   p += used;
 * @endcode
 */
TW_API int32_t IntegerDERDecode(uint8_t *der, uint8_t *out, uint32_t *out_len);

/* ======================================================================== */
/* DES                                                                      */
/* ======================================================================== */

/**
 * Two-key triple-DES (E K1, D K2, E K1) in ECB mode, on the host.
 *
 * @param key 16 bytes, K1 then K2 (parity bits ignored).
 * @param in input; must hold @p len rounded up to 8 bytes.
 * @param out output; receives @p len rounded up to 8 bytes. May equal @p in
 *        or overlap it in any way: the result is that of separate buffers.
 * @param len length in bytes; 0 or negative processes nothing.
 * @return 0 success. 100 and 101 (a work buffer could not be allocated) stay
 *         reserved but are no longer produced: the function allocates
 *         nothing and cannot fail.
 *
 * @code
 *   uint8_t ct[8];
 *   TriDesEncrypt(key16, challenge, ct, 8);
 * @endcode
 */
TW_API int32_t TriDesEncrypt(const uint8_t *key, const uint8_t *in, uint8_t *out, int32_t len);

/**
 * Encrypts one 8-byte block with DES on the card: 10 02 00 00 10 key in.
 *
 * @param key 8-byte key (travels in the clear).
 * @param in 8-byte block.
 * @param out receives 8 bytes on 0x9000.
 * @param reader the open reader.
 * @return the status word.
 *
 * @code
 *   int32_t sw = DesEncrypt(key8, block, out, reader);
 * @endcode
 */
TW_API int32_t DesEncrypt(const uint8_t *key, const uint8_t *in, uint8_t *out, tw_handle_t reader);
/** Decrypts one 8-byte block with DES on the card: 10 02 01 00 10 key in. */
TW_API int32_t DesDecrypt(const uint8_t *key, const uint8_t *in, uint8_t *out, tw_handle_t reader);

/**
 * Two-key triple-DES encryption of one block by the card, in three card DES
 * commands (encrypt K1, decrypt K2, encrypt K1).
 *
 * @return 0 on success (not 0x9000), else the status word of the first
 *         command that failed. @p out is written only by the third command.
 *
 * @code
 *   if (IC_TriDesEncrypt(key16, block, out, reader) != 0) return;
 * @endcode
 */
TW_API int32_t IC_TriDesEncrypt(const uint8_t *key, const uint8_t *in, uint8_t *out,
                                tw_handle_t reader);

/* ======================================================================== */
/* The card's CDEA cipher                                                   */
/* ======================================================================== */

/**
 * Loads a 16-byte key into the card's CDEA cipher: 80 F4 00 00 10 key.
 *
 * @return the status word.
 *
 * @code
 *   int32_t sw = Cdea_Genkey(reader, key16);
 * @endcode
 */
TW_API int32_t Cdea_Genkey(tw_handle_t reader, const uint8_t *key);

/**
 * Loads @p key, then encrypts @p in block by block (80 F0 00 00 10 block); a
 * short last block is zero-filled in a private copy.
 *
 * @param reader the open reader.
 * @param key 16-byte key.
 * @param in input, @p len bytes.
 * @param len length; 0 or less sends the key load only.
 * @param out receives @p len rounded up to 16 bytes.
 * @param count set to 0, then the bytes produced.
 * @return the status word of the last command sent.
 *
 * @code
 *   int32_t n = 0;
 *   int32_t sw = Cdea_Encrypt(reader, key16, msg, 20, out, &n);  // n == 32
 * @endcode
 */
TW_API int32_t Cdea_Encrypt(tw_handle_t reader, const uint8_t *key, const uint8_t *in,
                            int32_t len, uint8_t *out, int32_t *count);
/** As Cdea_Encrypt, decrypting (80 F2); @p in must hold @p len rounded up to 16. */
TW_API int32_t Cdea_Decrypt(tw_handle_t reader, const uint8_t *key, const uint8_t *in,
                            int32_t len, uint8_t *out, int32_t *count);

/**
 * Sends one key command: mode 0 80 CE 20 00 len data, mode 1 80 CE 60 p2 len
 * data. The answer goes to the caller's buffers as the driver writes it.
 *
 * @param reader the open reader.
 * @param mode 0 or 1 (low byte); any other value returns -1, nothing sent.
 * @param data command data; @p len (low byte) at most 250 (above: 0x6700).
 * @param len its length.
 * @param rsp receives the answer (room for 256 bytes).
 * @param rsp_len receives the answer's length.
 * @param p2 P2 in mode 1.
 * @return the status word, or -1.
 *
 * @code
 *   uint8_t rsp[256], rsp_len;
 *   int32_t sw = Cdea_GenMK(reader, 1, data, 16, rsp, &rsp_len, 0x01);
 * @endcode
 */
TW_API int32_t Cdea_GenMK(tw_handle_t reader, int32_t mode, const uint8_t *data, int32_t len,
                          uint8_t *rsp, uint8_t *rsp_len, int32_t p2);

/**
 * Runs the cipher command (80 FA 00 00 10 block) over @p in, block by block,
 * under the key state the card holds.
 *
 * @return 0x9000 (also for a length of 0 or less: count 0), or the status
 *         word of the first block that failed; @p count says how many bytes
 *         of @p out are valid.
 *
 * @code
 *   int32_t n = 0;
 *   int32_t sw = Cdea_Command(reader, in, 32, out, &n);
 * @endcode
 */
TW_API int32_t Cdea_Command(tw_handle_t reader, const uint8_t *in, int32_t len, uint8_t *out,
                            int32_t *count);

/**
 * Cdea_GenMK (P2 = @p p2 when @p mode is non-zero, else 0), then
 * Cdea_Command over @p in.
 *
 * @return the result of Cdea_GenMK when it is not 0x9000, else that of
 *         Cdea_Command.
 *
 * @code
 *   int32_t sw = Cdea_InMK(reader, data, 16, 1, in, 32, rsp, &rsp_len, out, &n, 0x01);
 * @endcode
 */
TW_API int32_t Cdea_InMK(tw_handle_t reader, const uint8_t *data, int32_t len, int32_t mode,
                         const uint8_t *in, int32_t in_len, uint8_t *rsp, uint8_t *rsp_len,
                         uint8_t *out, int32_t *count, int32_t p2);

/**
 * Cdea_GenMK with 16 bytes of @p data and P2 = 0 (its answer discarded),
 * then Cdea_Command over @p in.
 *
 * @return as Cdea_InMK.
 *
 * @code
 *   int32_t sw = Cdea_OutMK(reader, data16, 0, in, 32, out, &n);
 * @endcode
 */
TW_API int32_t Cdea_OutMK(tw_handle_t reader, const uint8_t *data, int32_t mode,
                          const uint8_t *in, int32_t len, uint8_t *out, int32_t *count);

/* ======================================================================== */
/* Digests                                                                  */
/* ======================================================================== */

/**
 * Has the card compute SHA-1 of a message: one command 80 CC 00 len len data
 * up to 138 bytes, else a chain of 64-byte pieces (P1 3F, then BF, the last
 * with P1 = 0x80 | len >> 8 and P2 = len & 0xFF).
 *
 * @param reader the open reader.
 * @param msg the message.
 * @param len 0 to 32767 (otherwise 0x6700, nothing sent).
 * @param digest receives 20 bytes on 0x9000.
 * @return 0x9000, or the status word of the first command that failed.
 *
 * @code
 *   uint8_t md[20];
 *   int32_t sw = SHA_Compress(reader, msg, msg_len, md);
 * @endcode
 */
TW_API int32_t SHA_Compress(tw_handle_t reader, const uint8_t *msg, int32_t len,
                            uint8_t *digest);

/**
 * The library's own software digest (not SHA-1), in 16, 8 or 4 bytes.
 *
 * @param msg the message; exactly @p len bytes are read.
 * @param len its length; the padding records 8 * @p len modulo 2^32.
 * @param out receives 16, 8 or 4 bytes by @p type.
 * @param type 16, 8 or 4; any other value writes nothing.
 * @return 0.
 *
 * @code
 *   uint8_t d[16];
 *   softDHADigest(msg, msg_len, d, 16);
 * @endcode
 */
TW_API int32_t softDHADigest(const uint8_t *msg, uint32_t len, uint8_t *out, int32_t type);

/**
 * Answers whether a digest type number is one of the two reserved ones.
 *
 * @return 0 for 2 and 3, 1 for every other value.
 *
 * @code
 *   if (QorDigestProc(type) == 0) ...
 * @endcode
 */
TW_API int32_t QorDigestProc(int32_t type);

#ifdef __cplusplus
}
#endif

#endif /* TARNWICK_H */

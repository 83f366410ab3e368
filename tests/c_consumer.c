/* A C99 program that includes only the public header: it must compile as C
 * and link against every one of the library's exports. */
#include <stdio.h>

#include "tarnwick.h"

/* Taking each export's address makes the link fail if any is missing. */
static void (*const exports[])(void) = {
    (void (*)(void))InitialLib,
    (void (*)(void))FreeLib,
    (void (*)(void))OpenCom,
    (void (*)(void))CloseCom,
    (void (*)(void))ResetReader,
    (void (*)(void))ResetICC,
    (void (*)(void))setNAD,
    (void (*)(void))ChangeProtocal,
    (void (*)(void))writeLog,
    (void (*)(void))SelectFile,
    (void (*)(void))ReadBin,
    (void (*)(void))UpdateBin,
    (void (*)(void))AppendRecord,
    (void (*)(void))ReadRecord,
    (void (*)(void))WriteRecord,
    (void (*)(void))Createfile,
    (void (*)(void))CreateMFfile,
    (void (*)(void))EraseDF,
    (void (*)(void))VerifyPassphrase,
    (void (*)(void))SetPassphrase,
    (void (*)(void))KeyUnblock,
    (void (*)(void))AddKey,
    (void (*)(void))ModifyKey,
    (void (*)(void))GetChallenge,
    (void (*)(void))ExternAuth,
    (void (*)(void))ExtAuth,
    (void (*)(void))rsaPrivateSign,
    (void (*)(void))rsaPublicVerifyUsePKFile,
    (void (*)(void))rsaPublicEncryptUsePKFile,
    (void (*)(void))rsaPrivateDecrypt,
    (void (*)(void))rsaPublicEncrypt,
    (void (*)(void))rsaPublicVerify,
    (void (*)(void))WritePublicKey,
    (void (*)(void))RsaGenerateKeyPair,
    (void (*)(void))OfflineRsaGenerateKeyPair,
    (void (*)(void))MyRsaGeneratekey,
    (void (*)(void))IntegerDERDecode,
    (void (*)(void))TriDesEncrypt,
    (void (*)(void))DesEncrypt,
    (void (*)(void))DesDecrypt,
    (void (*)(void))IC_TriDesEncrypt,
    (void (*)(void))Cdea_Genkey,
    (void (*)(void))Cdea_Encrypt,
    (void (*)(void))Cdea_Decrypt,
    (void (*)(void))Cdea_GenMK,
    (void (*)(void))Cdea_Command,
    (void (*)(void))Cdea_InMK,
    (void (*)(void))Cdea_OutMK,
    (void (*)(void))SHA_Compress,
    (void (*)(void))softDHADigest,
    (void (*)(void))QorDigestProc,
};

int main(void) {
  tw_handle_t reader = 0;
  size_t i, present = 0;
  for (i = 0; i < sizeof exports / sizeof exports[0]; ++i) present += exports[i] != NULL;
  /* Nothing is bound, so nothing reaches a reader. */
  if (present != 51 || OpenCom(5, &reader) != 2 || CloseCom(&reader) != 2 || FreeLib() != 0) {
    fprintf(stderr, "unexpected: %u exports present\n", (unsigned)present);
    return 1;
  }
  return 0;
}

// PC/SC from winscard.dll, linked: every Windows has it.
#include "pcsc_api.h"

namespace tarnwick::skorra {

const PcscApi* LoadPcsc(std::string&) {
  static const PcscApi api = {SCardEstablishContext, SCardReleaseContext,   SCardListReaders,
                              SCardConnect,          SCardReconnect,        SCardDisconnect,
                              SCardTransmit,         SCardBeginTransaction, SCardEndTransaction,
                              SCardStatus,           SCARD_PCI_T0,          SCARD_PCI_T1};
  return &api;
}

}  // namespace tarnwick::skorra

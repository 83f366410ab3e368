// The PC/SC functions the PC/SC backend calls, reached through a table. On
// POSIX systems the table is filled from libpcsclite.so.1, loaded the first
// time a port opens with PC/SC behind it, so that a driver used for its
// virtual cards needs no PC/SC library at all; on Windows it points into
// winscard.dll, which every Windows has.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <winscard.h>
#else
#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>
#endif

#include <string>

namespace tarnwick::skorra {

struct PcscApi {
  decltype(&SCardEstablishContext) establish_context;
  decltype(&SCardReleaseContext) release_context;
  decltype(&SCardListReaders) list_readers;
  decltype(&SCardConnect) connect;
  decltype(&SCardReconnect) reconnect;
  decltype(&SCardDisconnect) disconnect;
  decltype(&SCardTransmit) transmit;
  decltype(&SCardBeginTransaction) begin_transaction;
  decltype(&SCardEndTransaction) end_transaction;
  decltype(&SCardStatus) status;
  const SCARD_IO_REQUEST* pci_t0;
  const SCARD_IO_REQUEST* pci_t1;
};

// The table, or nullptr with the loader's own reason in `problem`.
const PcscApi* LoadPcsc(std::string& problem);

}  // namespace tarnwick::skorra

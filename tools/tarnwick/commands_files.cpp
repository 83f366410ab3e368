// Subcommands of the card file system: selection, transparent files,
// records, file creation and directory erasure.
#include <optional>

#include "command.h"

namespace tarnwick::cli {
namespace {

// One command carries 5 header bytes and at most 250 data bytes.
constexpr std::size_t kLongestRecord = 250;
constexpr uint32_t kMaxTransparent = 32768;

// Selects the file given with --file first, so that one invocation can
// address a file although the reset has cleared the current one.
bool SelectIfAsked(Context& c, std::optional<uint8_t> fid) {
  if (!fid) return true;
  int32_t sw = SelectFile(0x00, 0, *fid, c.reader);
  c.report.Status("SelectFile", sw);
  return sw == TW_SW_SUCCESS;
}

Action ParseSelect(ArgReader& a) {
  uint8_t fid = a.FileId("FID");
  uint8_t p1 = a.HexByteOption("--p1").value_or(0x00);
  return [=](Context& c) { c.report.Status("SelectFile", SelectFile(p1, 0, fid, c.reader)); };
}

Action ParseReadBin(ArgReader& a) {
  uint32_t n = a.Number("LENGTH", 0, kMaxTransparent);
  auto fid = a.FileIdOption("--file");
  auto out = a.Output();
  return [=](Context& c) {
    if (!SelectIfAsked(c, fid)) return;
    Bytes buf(n);
    int32_t sw = ReadBin(n, buf.data(), c.reader);
    c.report.Status("ReadBin", sw);
    if (sw == TW_SW_SUCCESS) c.report.Output("data", buf, out);
  };
}

Action ParseUpdateBin(ArgReader& a) {
  auto fid = a.FileIdOption("--file");
  Bytes data = a.MainData("DATA");
  a.Limit("DATA", data.size(), kMaxTransparent);
  return [=](Context& c) {
    if (!SelectIfAsked(c, fid)) return;
    c.report.Status("UpdateBin", UpdateBin(static_cast<uint32_t>(data.size()), data.data(), c.reader));
  };
}

Action ParseAppendRecord(ArgReader& a) {
  uint8_t sfi = static_cast<uint8_t>(a.Number("SFI", 0, 31));
  Bytes data = a.MainData("DATA");
  a.Limit("DATA", data.size(), kLongestRecord);
  return [=](Context& c) {
    c.report.Status("AppendRecord",
                    AppendRecord(sfi, static_cast<uint8_t>(data.size()), data.data(), c.reader));
  };
}

Action ParseReadRecord(ArgReader& a) {
  uint8_t sfi = static_cast<uint8_t>(a.Number("SFI", 0, 31));
  if (a.ok() && a.HasPositional() && a.Peek() == "all") {
    a.Word("RECORD", "");
    auto out = a.Output();
    return [=](Context& c) { ReadEveryRecord(c, sfi, out); };
  }
  uint8_t recno = static_cast<uint8_t>(a.Number("RECORD", 0, 255));
  uint8_t le = static_cast<uint8_t>(a.Number("LENGTH", 0, 255));
  auto out = a.Output();
  return [=](Context& c) {
    Bytes buf(le);
    int32_t sw = ReadRecord(sfi, recno, le, buf.data(), c.reader);
    c.report.Status("ReadRecord", sw);
    if (sw == TW_SW_SUCCESS) c.report.Output("record", buf, out);
  };
}

Action ParseWriteRecord(ArgReader& a) {
  uint8_t sfi = static_cast<uint8_t>(a.Number("SFI", 0, 31));
  uint8_t recno = static_cast<uint8_t>(a.Number("RECORD", 0, 255));
  Bytes data = a.MainData("DATA");
  a.Limit("DATA", data.size(), kLongestRecord);
  return [=](Context& c) {
    c.report.Status("WriteRecord",
                    WriteRecord(sfi, recno, static_cast<uint8_t>(data.size()), data.data(), c.reader));
  };
}

Action ParseCreateFile(ArgReader& a) {
  uint8_t p2 = a.HexByte("P2");
  Bytes desc = a.FixedData("DESCRIPTION", 7);
  uint8_t lc = static_cast<uint8_t>(a.NumberOption("--lc", 0, 255).value_or(7));
  return [=](Context& c) { c.report.Status("Createfile", Createfile(p2, lc, desc.data(), c.reader)); };
}

Action ParseCreateMf(ArgReader& a) {
  uint8_t b4 = a.HexByte("B4");
  uint8_t b5 = a.HexByte("B5");
  return [=](Context& c) { c.report.Status("CreateMFfile", CreateMFfile(b4, b5, c.reader)); };
}

Action ParseEraseDf(ArgReader&) {
  return [](Context& c) { c.report.Status("EraseDF", EraseDF(c.reader)); };
}

const Command kCommands[] = {
    {"select", "select a file below the master file (SelectFile)", "FID [--p1 P1]",
     "FID   file identifier 00xx, two or four hex digits\n"
     "--p1  selection mode sent as P1, hex (default 00: by identifier)",
     "tarnwick select 0001", "--p1=", true, ParseSelect, kEchoInClear},
    {"read-bin", "read the first bytes of a transparent file (ReadBin)", "LENGTH [--file FID] [--out FILE]",
     "LENGTH  bytes to read, 0 to 32768\n"
     "--file  select this file first (each invocation starts with the card reset)\n"
     "--out   write the bytes to FILE (- for standard output) instead of printing them",
     "tarnwick read-bin 16 --file 0001", "--file= --out=", true, ParseReadBin, kEchoInClear},
    {"update-bin", "write bytes from offset 0 of a transparent file (UpdateBin)",
     "DATA [--file FID] | --in FILE [--file FID]",
     "DATA    hex bytes, or @FILE for a file's raw bytes\n"
     "--in    take the bytes from FILE (- for standard input)\n"
     "--file  select this file first",
     "tarnwick update-bin \"48 65 6C 6C 6F\" --file 0001", "--file= --in=", true, ParseUpdateBin, kEchoInClear},
    {"append-record", "append a record to a record file (AppendRecord)", "SFI DATA | SFI --in FILE",
     "SFI   short file identifier 0 to 31 (0: the current file)\n"
     "DATA  the record, hex bytes or @FILE",
     "tarnwick append-record 2 \"01 02 03\"", "--in=", true, ParseAppendRecord, kEchoInClear},
    {"read-record", "read a record by number (ReadRecord), or every record", "SFI RECORD LENGTH | SFI all [--out FILE]",
     "SFI     short file identifier 0 to 31 (0: the current file)\n"
     "RECORD  record number, from 1\n"
     "LENGTH  bytes to read, 0 to 255\n"
     "all     every record, whatever its length, until the card has no more",
     "append-record 2 \"01 02 03\"\n"
     "read-record 2 1 3\n"
     "read-record 2 all", "--out=", true, ParseReadRecord, kEchoInClear},
    {"write-record", "rewrite a record by number (WriteRecord)", "SFI RECORD DATA | SFI RECORD --in FILE",
     "SFI     short file identifier 0 to 31 (0: the current file)\n"
     "RECORD  record number, from 1\n"
     "DATA    the new contents, hex bytes or @FILE",
     "append-record 2 \"01 02 03\"\n"
     "write-record 2 1 \"0A 0B 0C\"", "--in=", true, ParseWriteRecord, kEchoInClear},
    {"create-file", "create a file from a 7-byte description (Createfile)", "P2 DESCRIPTION [--lc N]",
     "P2           sent as P2, hex\n"
     "DESCRIPTION  the 7-byte file description, hex (its layout is the card's)\n"
     "--lc         the length byte sent (default 7)",
     "tarnwick create-file 20 \"01 00 40 00 00 00 00\"", "--lc=", true, ParseCreateFile, kEchoInClear},
    {"create-mf", "create the master file 3F00 (CreateMFfile)", "B4 B5",
     "B4  fourth description byte, hex\n"
     "B5  fifth description byte, hex",
     "verify 01 12345678\n"
     "erase-df\n"
     "create-mf 00 11", "", true, ParseCreateMf, kEchoInClear},
    {"erase-df", "erase the current directory and everything in it (EraseDF)", "",
     "waits while the card is busy erasing",
     "verify 01 12345678\n"
     "erase-df", "", true, ParseEraseDf, kEchoInClear},
};

}  // namespace

std::span<const Command> FileCommands() { return kCommands; }

}  // namespace tarnwick::cli

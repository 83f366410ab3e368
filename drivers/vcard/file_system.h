// The file table: lookup, the rules every file obeys, capacity, and erasing
// a DF's contents.
#pragma once

#include <cstddef>
#include <cstdint>

#include "state.h"

namespace tarnwick::vcard {

// Room for file contents (transparent sizes, record files at their limits).
constexpr std::size_t kCapacity = 131072;
constexpr std::size_t kMaxFiles = 64;
constexpr std::size_t kMaxTransparentSize = 32768;
constexpr uint8_t kMaxRecords = 254;
constexpr uint8_t kMaxRecordLength = 250;
constexpr uint8_t kMaxSfi = 30;

File* FindFile(Persistent& card, uint16_t fid);
const File* FindFile(const Persistent& card, uint16_t fid);
// The EF with this short identifier directly in the DF.
File* FindBySfi(Persistent& card, uint16_t df, uint8_t sfi);

// The current file, and the DF that is current or holds the current EF.
File& CurrentFile(CardState& state);
File& CurrentDf(CardState& state);

// Whether the file may join the table as it stands: 0x9000, or 0x6A80 for a
// file that breaks the rules of its type, 0x6A89 for a taken identifier or
// short identifier, 0x6A84 when the card is full.
uint16_t AdmitFile(const Persistent& card, const File& file);

// Removes everything below the DF (files and DFs, at any depth).
void EraseContents(Persistent& card, uint16_t df);

bool IsEf(const File& file);

}  // namespace tarnwick::vcard

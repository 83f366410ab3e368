// The file table and the rules that keep it consistent, whether a file is
// created by a command or read back from an image.
#include "file_system.h"

#include <algorithm>

#include "access.h"
#include "protocol/status_words.h"

namespace tarnwick::vcard {
namespace {

template <class Files, class Pred>
auto FindIn(Files& files, Pred pred) -> decltype(&files.front()) {
  auto it = std::find_if(files.begin(), files.end(), pred);
  return it == files.end() ? nullptr : &*it;
}

template <class Files>
auto FindSfi(Files& files, uint16_t df, uint8_t sfi) -> decltype(&files.front()) {
  if (sfi == 0) return nullptr;
  return FindIn(
      files, [&](const File& f) { return f.parent == df && f.type != FileType::kDirectory && f.sfi == sfi; });
}

std::size_t ReservedBytes(const File& file) {
  switch (file.type) {
    case FileType::kTransparent:
      return file.body.size();
    case FileType::kLinearVariable:
      return std::size_t{file.max_records} * file.max_record_length;
    case FileType::kDirectory:
      return 0;
  }
  return 0;
}

std::size_t UsedCapacity(const Persistent& card) {
  std::size_t used = 0;
  for (const File& f : card.files) used += ReservedBytes(f);
  return used;
}

bool RecordsFit(const File& file) {
  if (file.max_records == 0 || file.max_records > kMaxRecords) return false;
  if (file.max_record_length == 0 || file.max_record_length > kMaxRecordLength) return false;
  if (file.records.size() > file.max_records) return false;
  return std::all_of(file.records.begin(), file.records.end(), [&](const std::vector<uint8_t>& r) {
    return !r.empty() && r.size() <= file.max_record_length;
  });
}

// Type, size and access rules of the file on its own.
bool IsWellFormed(const File& file) {
  switch (file.type) {
    case FileType::kTransparent:
      if (file.body.empty() || file.body.size() > kMaxTransparentSize || !file.records.empty()) return false;
      break;
    case FileType::kLinearVariable:
      if (!file.body.empty() || !RecordsFit(file)) return false;
      break;
    case FileType::kDirectory:
      return file.sfi == 0 && file.body.empty() && file.records.empty() && file.max_records == 0 &&
             file.max_record_length == 0 && file.read_ac == 0 && file.update_ac == 0 &&
             IsValidAccessCondition(file.create_ac) && IsValidAccessCondition(file.erase_ac);
    default:
      return false;
  }
  if (file.type == FileType::kTransparent && (file.max_records != 0 || file.max_record_length != 0))
    return false;
  return file.sfi <= kMaxSfi && file.create_ac == 0 && file.erase_ac == 0 &&
         IsValidAccessCondition(file.read_ac) && IsValidAccessCondition(file.update_ac);
}

// The master file heads the table; every other file is 00xx (xx not 00)
// and sits in a DF already there.
bool HasValidPlace(const Persistent& card, const File& file) {
  if (card.files.empty())
    return file.fid == kMasterFile && file.parent == kNoParent && file.type == FileType::kDirectory;
  if (file.fid == 0 || file.fid > 0x00FF) return false;
  const File* parent = FindFile(card, file.parent);
  return parent != nullptr && parent->type == FileType::kDirectory;
}

bool IsBelow(const Persistent& card, const File& file, uint16_t df) {
  for (uint16_t up = file.parent; up != kNoParent;) {
    if (up == df) return true;
    const File* parent = FindFile(card, up);
    if (parent == nullptr) return false;
    up = parent->parent;
  }
  return false;
}

}  // namespace

bool IsEf(const File& file) { return file.type != FileType::kDirectory; }

File* FindFile(Persistent& card, uint16_t fid) {
  return FindIn(card.files, [fid](const File& f) { return f.fid == fid; });
}

const File* FindFile(const Persistent& card, uint16_t fid) {
  return FindIn(card.files, [fid](const File& f) { return f.fid == fid; });
}

File* FindBySfi(Persistent& card, uint16_t df, uint8_t sfi) { return FindSfi(card.files, df, sfi); }

File& CurrentFile(CardState& state) {
  File* file = FindFile(state.card, state.transient.current);
  if (file != nullptr) return *file;
  state.transient.current = kMasterFile;
  return state.card.files.front();
}

File& CurrentDf(CardState& state) {
  File& current = CurrentFile(state);
  if (!IsEf(current)) return current;
  File* parent = FindFile(state.card, current.parent);
  return parent != nullptr ? *parent : state.card.files.front();
}

uint16_t AdmitFile(const Persistent& card, const File& file) {
  if (!IsWellFormed(file) || !HasValidPlace(card, file)) return sw::kWrongData;
  if (FindFile(card, file.fid) != nullptr) return sw::kFileExists;
  if (FindSfi(card.files, file.parent, file.sfi) != nullptr) return sw::kFileExists;
  if (card.files.size() >= kMaxFiles || UsedCapacity(card) + ReservedBytes(file) > kCapacity)
    return sw::kNoSpace;
  return sw::kSuccess;
}

void EraseContents(Persistent& card, uint16_t df) {
  // Decided for every file before any moves: the test walks the table.
  std::vector<bool> doomed;
  for (const File& f : card.files) doomed.push_back(IsBelow(card, f, df));
  std::size_t kept = 0;
  for (std::size_t i = 0; i < card.files.size(); ++i) {
    if (doomed[i]) continue;
    if (kept != i) card.files[kept] = std::move(card.files[i]);
    ++kept;
  }
  card.files.resize(kept);
}

}  // namespace tarnwick::vcard

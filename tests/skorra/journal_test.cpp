// The card store's journal as power loss and damage leave it: a torn last
// record is ignored, earlier records kept; damage anywhere else refuses the
// card and leaves both files as they are.
#include <gtest/gtest.h>

#include "environment.h"
#include "image_store.h"

namespace skorratest {
namespace {

using tarnwick::skorra::ImageStore;
namespace fs = std::filesystem;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A card store holding `first` as its image, then `second` and `third` as
// two journal records; the journal's length before the last record.
struct ThreeStates {
  TempFolder folder;
  std::string first = std::string(300, 'a');
  std::string second = std::string(10, 'a') + std::string(10, 'b') + std::string(280, 'a');
  std::string third = second.substr(0, 100) + std::string(40, 'c') + second.substr(140) + "grown";
  std::size_t before_last = 0;

  ThreeStates() {
    ImageStore store(folder.path(), 1);
    EXPECT_EQ(store.Read().outcome, ImageStore::Outcome::kMissing);
    for (const std::string* state : {&first, &second, &third}) {
      if (state == &third) before_last = fs::file_size(store.journal_path());
      EXPECT_TRUE(store.Write(std::vector<uint8_t>(state->begin(), state->end())));
    }
  }
  fs::path Image() const { return folder.path() / "card1.img"; }
  fs::path Journal() const { return folder.path() / "card1.journal"; }
  ImageStore::Loaded Read() const { return ImageStore(folder.path(), 1).Read(); }
};

// Power loss in the last append leaves its record cut at any byte, or
// whole in length with its end never written (zeros from some byte on):
// the card opens in the state before it. Only the whole record gives the
// last state.
TEST(CardJournal, TornLastRecordLeavesTheStateBefore) {
  ThreeStates card;
  const std::string journal = ReadFile(card.Journal());
  ASSERT_EQ(ReadFile(card.Image()), card.first);
  ASSERT_GT(journal.size(), card.before_last);
  std::string rows;
  for (std::size_t cut = card.before_last; cut <= journal.size(); ++cut) {
    const bool whole = cut == journal.size();
    const std::string zeroed = journal.substr(0, cut) + std::string(journal.size() - cut, '\0');
    for (const std::string& torn : {journal.substr(0, cut), zeroed}) {
      WriteFile(card.Journal(), torn);
      const ImageStore::Loaded loaded = card.Read();
      ASSERT_EQ(loaded.outcome, ImageStore::Outcome::kLoaded) << "cut at " << cut << ": " << loaded.problem;
      EXPECT_EQ(Text(loaded.image), whole ? card.third : card.second) << "cut at " << cut;
      EXPECT_EQ(ReadFile(card.Journal()), torn) << "a read changed the journal";
    }
    rows += "+" + std::to_string(cut - card.before_last) + (whole ? ":third " : ":second ");
  }
  std::cout << "last record " << journal.size() - card.before_last << " bytes; cut/zeroed from offset -> state: "
            << rows << "\n";
}

// Past its limit the journal is folded into the image, and then starts
// again: the image is rewritten now and then, not for every change.
TEST(CardJournal, FoldsNowAndThenAndKeepsEveryChange) {
  TempFolder folder;
  ImageStore store(folder.path(), 1);
  store.Read();
  std::vector<uint8_t> image(1000, 0);
  int rewrites = 0;
  std::string last;
  for (int i = 0; i < 600; ++i) {
    std::fill_n(image.begin() + (i * 200) % 800, 200, static_cast<uint8_t>(i));
    ASSERT_TRUE(store.Write(image));
    const std::string now = ReadFile(folder.path() / "card1.img");
    rewrites += now != last;
    last = now;
  }
  EXPECT_LE(rewrites, 4) << "the first image, then a fold every 64 KiB of records";
  EXPECT_EQ(Text(ImageStore(folder.path(), 1).Read().image), Text(image));
}

struct Damage {
  const char* name;
  void (*damage)(const ThreeStates& card);
  bool loads;
  const char* state;  // "first", "second", "third" when it loads
};

class JournalDamage : public ::testing::TestWithParam<Damage> {};

TEST_P(JournalDamage, IsRefusedUntouchedOrIgnoredWhenStale) {
  ThreeStates card;
  GetParam().damage(card);
  const std::string image = fs::exists(card.Image()) ? ReadFile(card.Image()) : "";
  const std::string journal = fs::exists(card.Journal()) ? ReadFile(card.Journal()) : "";
  const ImageStore::Loaded loaded = card.Read();
  ASSERT_EQ(loaded.outcome == ImageStore::Outcome::kLoaded, GetParam().loads) << loaded.problem;
  if (GetParam().loads) {
    const std::string state = GetParam().state;
    EXPECT_EQ(Text(loaded.image), state == "first" ? card.first : state == "second" ? card.second : card.third);
  } else {
    EXPECT_NE(loaded.problem.find("card1."), std::string::npos) << loaded.problem;
  }
  EXPECT_EQ(fs::exists(card.Image()) ? ReadFile(card.Image()) : "", image);
  EXPECT_EQ(fs::exists(card.Journal()) ? ReadFile(card.Journal()) : "", journal);
}

void FlipByte(const fs::path& file, std::size_t at) {
  std::string bytes = ReadFile(file);
  bytes[at] ^= 0x01;
  WriteFile(file, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, JournalDamage,
    ::testing::Values(
        Damage{"first_record_flipped", [](const ThreeStates& c) { FlipByte(c.Journal(), 60); }, false, ""},
        Damage{"header_flipped", [](const ThreeStates& c) { FlipByte(c.Journal(), 10); }, false, ""},
        Damage{"record_repeated",
               [](const ThreeStates& c) {
                 const std::string j = ReadFile(c.Journal());
                 WriteFile(c.Journal(), j + j.substr(c.before_last));
               },
               false, ""},
        Damage{"image_missing", [](const ThreeStates& c) { fs::remove(c.Image()); }, false, ""},
        Damage{"journal_folder", [](const ThreeStates& c) {
                 fs::remove(c.Journal());
                 fs::create_directory(c.Journal());
               }, false, ""},
        // A fold that replaced the image and stopped before removing the
        // journal: the journal names the old image and is ignored.
        Damage{"stale_after_fold",
               [](const ThreeStates& c) {
                 const std::string journal = ReadFile(c.Journal());
                 ImageStore store(c.folder.path(), 1);
                 store.Read();
                 ASSERT_TRUE(store.Fold());
                 WriteFile(c.Journal(), journal);
               },
               true, "third"},
        Damage{"no_journal", [](const ThreeStates& c) { fs::remove(c.Journal()); }, true, "first"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skorratest

// The card's file system through its commands: selection, transparent and
// record files, file creation, the master file description and erasing.
#include "card_test_support.h"

namespace vcardtest {
namespace {

class FileScripts : public ::testing::TestWithParam<Script> {};

TEST_P(FileScripts, AnswersAsExpected) {
  Card card(CardOptions{2});
  RunScript(card, GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    Selection, FileScripts,
    ::testing::Values(Script{"transparent_ef_fcp",
                             {{"00 A4 00 00 02 00 01 00", "62 0B 82 01 01 83 02 00 01 80 02 80 00 | 9000"}}},
                      Script{"record_ef_fcp_counts_records",
                             {{"00 E2 00 10 01 AA", "9000"},
                              {"00 A4 00 00 02 00 02 00",
                               "62 0E 82 05 04 00 00 FA 01 83 02 00 02 88 01 02 | 9000"}}},
                      Script{"master_file_by_id_and_by_empty_data",
                             {{"00 A4 00 00 02 3F 00 00", "62 07 82 01 38 83 02 3F 00 | 9000"},
                              {"00 A4 00 00 00", "62 07 82 01 38 83 02 3F 00 | 9000"}}},
                      Script{"no_answer_data_without_le_or_with_p2_0c",
                             {{"00 A4 00 00 02 00 01", "9000"}, {"00 A4 00 0C 02 00 01 00", "9000"}}},
                      Script{"short_le_truncates_fcp", {{"00 A4 00 00 02 00 01 04", "62 0B 82 01 | 9000"}}},
                      Script{"missing_file_keeps_the_current_one",
                             {{"00 A4 00 00 02 00 10 00", "62 0B 82 01 01 83 02 00 10 80 02 01 00 | 9000"},
                              {"00 A4 00 00 02 00 77 00", "6A82"},
                              {"00 B0 00 00 02", "00 00 | 9000"}}},
                      Script{"bad_parameters",
                             {{"00 A4 04 00 02 00 01 00", "6A86"},
                              {"00 A4 00 01 02 00 01", "6A86"},
                              {"00 A4 00 00 03 00 01 02", "6700"},
                              {"00 A4 00 00 01 00", "6700"}}},
                      Script{"child_and_parent_selection",
                             {{"80 E0 00 30 07 38 00 00 00 00 00 00", "9000"},
                              {"00 A4 03 0C 00", "9000"},
                              {"00 A4 03 0C 00", "6A82"},
                              {"00 A4 02 0C 02 00 01", "9000"},
                              {"00 A4 01 0C 02 00 01", "6A82"},
                              {"00 A4 01 0C 02 00 30", "9000"},
                              {"00 A4 02 0C 02 00 01", "6A82"}}}),
    ScriptName);

INSTANTIATE_TEST_SUITE_P(
    Transparent, FileScripts,
    ::testing::Values(
        Script{"update_then_read",
               {{"00 A4 00 0C 02 00 10", "9000"},
                {"00 D6 00 FC 04 11 22 33 44", "9000"},
                {"00 B0 00 FC 04", "11 22 33 44 | 9000"},
                {"00 B0 00 FD 02", "22 33 | 9000"}}},
        Script{"read_running_past_the_end_gives_what_there_is",
               {{"00 A4 00 0C 02 00 10", "9000"}, {"00 B0 00 FE 04", "00 00 | 6282"}}},
        Script{"offset_at_the_end",
               {{"00 A4 00 0C 02 00 10", "9000"}, {"00 B0 01 00 01", "6B00"}, {"00 D6 01 00 01 AA", "6B00"}}},
        Script{"update_past_the_end_writes_nothing",
               {{"00 A4 00 0C 02 00 10", "9000"},
                {"00 D6 00 FE 03 01 02 03", "6A84"},
                {"00 B0 00 FE 02", "00 00 | 9000"}}},
        Script{"wrong_framing",
               {{"00 A4 00 0C 02 00 10", "9000"},
                {"00 D6 00 00 01 AA 00", "6700"},
                {"00 D6 00 00 00", "6700"},
                {"00 B0 00 00 01 AA", "6700"},
                {"00 B0 00 00 03 AA", "6700"}}},
        Script{"no_current_ef_and_wrong_structure",
               {{"00 B0 00 00 01", "6986"},
                {"00 A4 00 0C 02 00 02", "9000"},
                {"00 B0 00 00 01", "6981"},
                {"00 D6 00 00 01 AA", "6981"}}},
        Script{"short_identifier_in_p1",
               {{"80 E0 00 20 07 01 00 08 00 00 05 00", "9000"},
                {"00 A4 00 0C 02 00 01", "9000"},
                {"00 D6 85 02 02 AB CD", "9000"},
                {"00 B0 85 00 04", "00 00 AB CD | 9000"},
                {"00 B0 86 00 01", "6A82"},
                {"00 B0 A5 00 01", "6A86"},
                {"00 B0 82 00 01", "6981"},
                {"80 E0 00 21 07 01 00 04 00 00 1E 00", "9000"},
                {"00 D6 9E 01 02 AB CD", "9000"},
                {"00 B0 9E 00 04", "00 AB CD 00 | 9000"}}}),
    ScriptName);

INSTANTIATE_TEST_SUITE_P(Records, FileScripts,
                         ::testing::Values(Script{"append_read_update_by_sfi",
                                                  {{"00 E2 00 10 03 01 02 03", "9000"},
                                                   {"00 E2 00 10 01 04", "9000"},
                                                   {"00 B2 01 14 03", "01 02 03 | 9000"},
                                                   {"00 B2 02 14 01", "04 | 9000"},
                                                   {"00 DC 01 14 02 AA BB", "9000"},
                                                   {"00 B2 01 14 00", "AA BB | 9000"}}},
                                           Script{"le_against_record_length",
                                                  {{"00 E2 00 10 03 01 02 03", "9000"},
                                                   {"00 B2 01 14 00", "01 02 03 | 9000"},
                                                   {"00 B2 01 14 02", "01 02 | 9000"},
                                                   {"00 B2 01 14 05", "01 02 03 | 6282"}}},
                                           Script{"sfi_zero_is_the_current_file",
                                                  {{"00 A4 00 0C 02 00 02", "9000"},
                                                   {"00 E2 00 00 02 CA FE", "9000"},
                                                   {"00 B2 01 04 02", "CA FE | 9000"}}},
                                           Script{"missing_records_and_files",
                                                  {{"00 E2 00 10 01 01", "9000"},
                                                   {"00 B2 02 14 01", "6A83"},
                                                   {"00 DC 02 14 01 CC", "6A83"},
                                                   {"00 B2 01 1C 01", "6A82"},
                                                   {"00 E2 00 08 01 AA", "6A82"},
                                                   {"00 A4 00 0C 02 3F 00", "9000"},
                                                   {"00 B2 01 04 01", "6986"}}},
                                           Script{"bad_parameters",
                                                  {{"00 E2 00 10 01 01", "9000"},
                                                   {"00 B2 00 14 01", "6A86"},
                                                   {"00 B2 FF 14 01", "6A86"},
                                                   {"00 B2 01 15 01", "6A86"},
                                                   {"00 B2 01 FC 01", "6A86"},
                                                   {"00 E2 01 10 01 AA", "6A86"},
                                                   {"00 E2 00 14 01 AA", "6A86"},
                                                   {"00 E2 00 10 00", "6700"},
                                                   {"00 DC 01 14 00", "6700"}}},
                                           Script{"records_on_a_transparent_file",
                                                  {{"00 A4 00 0C 02 00 01", "9000"},
                                                   {"00 B2 01 04 01", "6981"},
                                                   {"00 E2 00 00 01 AA", "6981"}}},
                                           Script{"full_file",
                                                  {{"80 E0 00 21 07 04 02 04 00 00 03 00", "9000"},
                                                   {"00 E2 00 18 04 01 02 03 04", "9000"},
                                                   {"00 E2 00 18 01 05", "9000"},
                                                   {"00 E2 00 18 01 06", "6A84"},
                                                   {"00 E2 00 18 05 01 02 03 04 05", "6700"},
                                                   {"00 DC 02 1C 05 01 02 03 04 05", "6700"}}}),
                         ScriptName);

INSTANTIATE_TEST_SUITE_P(Creation, FileScripts,
                         ::testing::Values(Script{"transparent_file_becomes_current",
                                                  {{"80 E0 00 20 07 01 00 04 00 00 00 00", "9000"},
                                                   {"00 B0 00 00 00", "00 00 00 00 | 9000"}}},
                                           Script{"taken_identifier_or_sfi",
                                                  {{"80 E0 00 01 07 01 00 04 00 00 00 00", "6A89"},
                                                   {"80 E0 00 20 07 04 02 04 00 00 02 00", "6A89"}}},
                                           Script{"length_byte_disagreeing_with_the_data",
                                                  {{"80 E0 00 20 06 01 00 04 00 00 00 00", "6700"},
                                                   {"80 E0 00 20 08 01 00 04 00 00 00 00", "6700"},
                                                   {"80 E0 00 20 07 01 00 04 00 00 00", "6700"}}},
                                           Script{"invalid_descriptions",
                                                  {{"80 E0 00 20 07 02 00 04 00 00 00 00", "6A80"},
                                                   {"80 E0 00 20 07 01 00 00 00 00 00 00", "6A80"},
                                                   {"80 E0 00 20 07 01 80 01 00 00 00 00", "6A80"},
                                                   {"80 E0 00 20 07 01 00 04 00 00 1F 00", "6A80"},
                                                   {"80 E0 00 20 07 01 00 04 30 00 00 00", "6A80"},
                                                   {"80 E0 00 20 07 01 00 04 10 00 00 00", "6A80"},
                                                   {"80 E0 00 20 07 04 00 10 00 00 00 00", "6A80"},
                                                   {"80 E0 00 20 07 04 02 FB 00 00 00 00", "6A80"},
                                                   {"80 E0 00 20 07 38 00 00 00 00 01 00", "6A80"}}},
                                           Script{"identifier_parameters",
                                                  {{"80 E0 00 00 07 01 00 04 00 00 00 00", "6A86"},
                                                   {"80 E0 01 20 07 01 00 04 00 00 00 00", "6A86"}}},
                                           Script{"capacity",
                                                  {{"80 E0 00 20 07 01 80 00 00 00 00 00", "9000"},
                                                   {"80 E0 00 21 07 01 80 00 00 00 00 00", "9000"},
                                                   {"80 E0 00 22 07 01 80 00 00 00 00 00", "6A84"},
                                                   {"80 E0 00 22 07 01 40 00 00 00 00 00", "9000"}}},
                                           Script{"guarded_creation_in_a_df",
                                                  {{"80 E0 00 30 07 38 00 00 11 00 00 00", "9000"},
                                                   {"80 E0 00 31 07 01 00 04 00 00 00 00", "6982"},
                                                   {kVerifyPassphrase01, "9000"},
                                                   {"80 E0 00 31 07 01 00 04 00 00 00 00", "9000"},
                                                   {"00 A4 03 00 00", "62 07 82 01 38 83 02 3F 00 | 9000"}}}),
                         ScriptName);

INSTANTIATE_TEST_SUITE_P(
    Erasure, FileScripts,
    ::testing::Values(Script{"master_file_needs_the_passphrase", {{"80 0E 00 00 00", "6982"}}},
                      Script{"busy_then_ready_then_done",
                             {{kVerifyPassphrase01, "9000"},
                              {"80 0E 00 00 00", "6FF0"},
                              {kPoll, "6FF0"},
                              {"80 0E 00 00 00", "6FF0"},
                              {kPoll, "6FF0"},
                              {kPoll, "6D00"},
                              {kPoll, "6D00"},
                              {"80 0E 00 00 00", "9000"},
                              {"00 A4 00 0C 02 00 01", "6A82"},
                              {"00 A4 00 0C 02 3F 00", "9000"},
                              {kPoll, "6D00"}}},
                      Script{"another_command_abandons_the_erase",
                             {{kVerifyPassphrase01, "9000"},
                              {"80 0E 00 00 00", "6FF0"},
                              {"00 A4 00 0C 02 00 01", "9000"},
                              {kPoll, "6D00"},
                              {"80 0E 00 00 00", "6FF0"},
                              {kPoll, "6FF0"},
                              {kPoll, "6FF0"},
                              {kPoll, "6D00"},
                              {"80 0E 00 00 00", "9000"},
                              {"00 A4 00 0C 02 00 01", "6A82"}}},
                      Script{"current_df_only",
                             {{"80 E0 00 30 07 38 00 00 00 00 00 00", "9000"},
                              {"80 E0 00 31 07 01 00 08 00 00 01 00", "9000"},
                              {"00 B0 81 00 02", "00 00 | 9000"},
                              {"80 0E 00 00 00", "6FF0"},
                              {kPoll, "6FF0"},
                              {kPoll, "6FF0"},
                              {kPoll, "6D00"},
                              {"80 0E 00 00 00", "9000"},
                              {"00 A4 00 0C 02 00 31", "6A82"},
                              {"00 A4 00 0C 02 00 30", "9000"},
                              {"00 A4 00 0C 02 00 01", "9000"}}},
                      Script{"bad_parameters", {{"80 0E 01 00 00", "6A86"}, {"80 0E 00 00 01 00", "6700"}}},
                      Script{"master_file_description",
                             {{"80 E0 3F 00 0D 38 FF FF 00 00 FF FF FF FF FF FF FF FF", "6A89"},
                              {kVerifyPassphrase01, "9000"},
                              {"80 0E 00 00 00", "6FF0"},
                              {kPoll, "6FF0"},
                              {kPoll, "6FF0"},
                              {kPoll, "6D00"},
                              {"80 0E 00 00 00", "9000"},
                              {"80 E0 3F 00 0D 39 FF FF 00 00 FF FF FF FF FF FF FF FF", "6A80"},
                              {"80 E0 3F 00 0D 38 FF FF 00 33 FF FF FF FF FF FF FF FF", "6A80"},
                              {"80 E0 3F 00 0C 38 FF FF 00 00 FF FF FF FF FF FF FF", "6700"},
                              {"80 E0 3F 00 0D 38 FF FF 11 FF FF FF FF FF FF FF FF FF", "9000"},
                              {"00 20 00 01 08 30 30 30 30 30 30 30 30", "63C2"},
                              {"80 E0 00 01 07 01 00 04 00 00 00 00", "6982"},
                              {kVerifyPassphrase01, "9000"},
                              {"80 E0 00 01 07 01 00 04 00 00 00 00", "9000"},
                              {"80 0E 00 00 00", "6982"}}}),
    ScriptName);

// Le 0x00 reads to the end of the file, but never more than one answer
// holds.
TEST(TransparentFiles, LeZeroReadsToTheEndWithinOneAnswer) {
  Card card;
  ASSERT_EQ(Show(Send(card, "00 A4 00 0C 02 00 10")), "9000");
  Answer a = Send(card, "00 B0 00 00 00");
  EXPECT_EQ(a.sw, 0x9000);
  EXPECT_EQ(a.data.size(), 255u);
  a = Send(card, "00 B0 00 10 00");
  EXPECT_EQ(a.sw, 0x9000);
  EXPECT_EQ(a.data.size(), 240u);
}

TEST(RecordFiles, LongestRecordAndOneByteMore) {
  Card card;
  const std::vector<uint8_t> longest(250, 0x5A);
  EXPECT_EQ(Send(card, Apdu(0x00, 0xE2, 0x00, 0x10, longest)).sw, 0x9000);
  EXPECT_EQ(Send(card, Apdu(0x00, 0xE2, 0x00, 0x10, std::vector<uint8_t>(251, 0x5A))).sw, 0x6700);
  const Answer a = Send(card, "00 B2 01 14 00");
  EXPECT_EQ(a.sw, 0x9000);
  EXPECT_EQ(a.data, longest);
}

TEST(TransparentFiles, WholeLargestFileRoundTrip) {
  Card card;
  ASSERT_EQ(Send(card, "00 A4 00 0C 02 00 01").sw, 0x9000);
  std::vector<uint8_t> data(32768);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  for (std::size_t off = 0; off < data.size(); off += 128) {
    const std::vector<uint8_t> piece(data.begin() + static_cast<std::ptrdiff_t>(off),
                                     data.begin() + static_cast<std::ptrdiff_t>(off + 128));
    ASSERT_EQ(
        Send(card, Apdu(0x00, 0xD6, static_cast<uint8_t>(off >> 8), static_cast<uint8_t>(off), piece)).sw,
        0x9000);
  }
  std::vector<uint8_t> back;
  for (std::size_t off = 0; off < data.size(); off += 128) {
    const std::vector<uint8_t> read = {0x00, 0xB0, static_cast<uint8_t>(off >> 8), static_cast<uint8_t>(off),
                                       0x80};
    const Answer a = Send(card, read);
    ASSERT_EQ(a.sw, 0x9000);
    back.insert(back.end(), a.data.begin(), a.data.end());
  }
  EXPECT_TRUE(back == data);
}

}  // namespace
}  // namespace vcardtest

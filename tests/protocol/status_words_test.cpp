// The status-word table: exact words, the counted families and the
// fall-back on SW1, as the trace and the programs print them.
#include <gtest/gtest.h>

#include "protocol/status_words.h"

namespace {

struct WordCase {
  int64_t sw;
  const char* described;
};

class StatusWords : public ::testing::TestWithParam<WordCase> {};

TEST_P(StatusWords, DescribesTheWord) { EXPECT_EQ(tarnwick::status::Describe(GetParam().sw), GetParam().described); }

INSTANTIATE_TEST_SUITE_P(
    Table, StatusWords,
    ::testing::Values(WordCase{0x9000, "9000 command completed"},
                      WordCase{0x6A82, "6A82 file or application not found"},
                      WordCase{0x6A83, "6A83 record not found"},
                      WordCase{0x6982, "6982 security status not satisfied"},
                      WordCase{0x6983, "6983 authentication method blocked"},
                      WordCase{0x63C2, "63C2 verification failed, 2 tries left"},
                      WordCase{0x63C1, "63C1 verification failed, 1 try left"},
                      WordCase{0x63C0, "63C0 verification failed, 0 tries left"},
                      WordCase{0x6FF0, "6FF0 card busy"},
                      WordCase{0x6D00, "6D00 instruction not supported"},
                      WordCase{0x6E00, "6E00 class not supported"},
                      WordCase{0xFFFF, "FFFF reader exchange failed"},
                      WordCase{0x6700, "6700 wrong length"},
                      WordCase{0x6B00, "6B00 wrong parameters, offset outside the file"},
                      WordCase{0x6A86, "6A86 incorrect parameters P1-P2"},
                      WordCase{0x6201, "6201 repeat the command"},
                      WordCase{0x6000, "6000 malformed key-pair answer"},
                      WordCase{0x6581, "6581 memory failure"},
                      WordCase{0x6C10, "6C10 wrong Le, 16 bytes available"},
                      WordCase{0x6100, "6100 256 more bytes available"},
                      // Words missing from the table fall back on SW1.
                      WordCase{0x6A99, "6A99 wrong parameters P1-P2"},
                      WordCase{0x6999, "6999 command not allowed"},
                      WordCase{0x63A1, "63A1 warning, state changed"},
                      WordCase{0x1234, "1234 unknown status word"},
                      WordCase{0x0000, "0000 unknown status word"},
                      // Export results that are not status words.
                      WordCase{-1, "FFFFFFFF not a status word"},
                      WordCase{0x10000, "10000 not a status word"}));

}  // namespace

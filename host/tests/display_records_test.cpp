// The reservation list and next-song records `vexo3 display` sends, against
// hand-built bytes.
#include "host/display_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

TEST(DisplayRecords, ReserveListIsFiveEntriesOf52Bytes) {
  // 12 "Song", 0, -3 with a Hangul title (UTF-8 in, code page 949 out).
  const std::vector<uint8_t> got =
      host::ReserveListRecord({{12, "Song"}, {0, ""}, {-3, "\xEA\xB0\x80"}}, 949);
  std::vector<uint8_t> want(260, 0);
  const uint8_t twelve[] = {12, 0, 0, 0, 'S', 'o', 'n', 'g'};
  std::copy(std::begin(twelve), std::end(twelve), want.begin());
  const uint8_t minus3[] = {0xFD, 0xFF, 0xFF, 0xFF, 0xB0, 0xA1};
  std::copy(std::begin(minus3), std::end(minus3), want.begin() + 104);
  EXPECT_EQ(got, want);

  // A long title fills its 48 bytes with no NUL and never splits a character.
  std::string longTitle(47, 'x');
  longTitle += "\xEA\xB0\x80"; // one more character of two bytes in 949
  const std::vector<uint8_t> cut = host::ReserveListRecord({{1, longTitle}}, 949);
  EXPECT_EQ(std::vector<uint8_t>(cut.begin() + 4, cut.begin() + 52),
            Bytes(std::string(47, 'x') + '\0'));
  const std::vector<uint8_t> full = host::ReserveListRecord({{1, std::string(60, 'y')}}, 949);
  EXPECT_EQ(std::vector<uint8_t>(full.begin() + 4, full.begin() + 52), Bytes(std::string(48, 'y')));
  EXPECT_EQ(full[52], 0);
}

TEST(DisplayRecords, NextSongIsTheNumberTheTitleAndANul) {
  EXPECT_EQ(host::NextSongRecord(7, "ABC", 949), (std::vector<uint8_t>{7, 0, 0, 0, 'A', 'B', 'C', 0}));
  const std::vector<uint8_t> big = host::NextSongRecord(2147483647, std::string(200, 'z'), 949);
  ASSERT_EQ(big.size(), 125u); // the display's bound
  EXPECT_EQ(std::vector<uint8_t>(big.begin(), big.begin() + 4),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_EQ(big.back(), 0);
}

} // namespace

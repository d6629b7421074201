// The records sent to a lyric display, against bytes written out by hand.
#include "core/player/display_records.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace core;

template <size_t N> std::vector<uint8_t> Vec(const std::array<uint8_t, N>& a) {
  return std::vector<uint8_t>(a.begin(), a.end());
}

std::vector<uint8_t> Bytes(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(DisplayRecords, TitleRecordIsZeroPaddedAndAFullTitleHasNoTerminator) {
  std::vector<uint8_t> shortTitle(48, 0);
  shortTitle[0] = 'H';
  shortTitle[1] = 'i';
  EXPECT_EQ(Vec(TitleRecord("Hi")), shortTitle);

  const std::string full(48, 'x');
  EXPECT_EQ(Vec(TitleRecord(full)), std::vector<uint8_t>(48, 'x'));
  EXPECT_EQ(Vec(TitleRecord(full + "yz")), std::vector<uint8_t>(48, 'x'));
  EXPECT_EQ(Vec(TitleRecord("")), std::vector<uint8_t>(48, 0));
}

TEST(DisplayRecords, EventRecordIsTheSongEventFieldByField) {
  SongEvent e;
  e.tick = 0x01020304;
  e.ms = 0x05060708;
  e.duration = 0x090A0B0C;
  e.durationMs = 0x0D0E0F10;
  e.kind = 19;
  e.imageAction = 3;
  e.length = 0x1122;
  e.data = 0xA1B2C3D4;
  const std::vector<uint8_t> expected = {0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05,
                                         0x0C, 0x0B, 0x0A, 0x09, 0x10, 0x0F, 0x0E, 0x0D,
                                         0x13, 0x03, 0x22, 0x11, 0xD4, 0xC3, 0xB2, 0xA1};
  EXPECT_EQ(Vec(EventRecord(e)), expected);
}

TEST(DisplayRecords, LineInformation) {
  const std::vector<uint8_t> expected = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0,    0,    0,    0,    0,    0,    0,    0,
                                         17,   0,    0x2C, 0x01, 0x34, 0x12, 0x09, 0};
  EXPECT_EQ(Vec(EventRecord(LineInfoEvent(300, 0x00091234))), expected);

  Track t;
  t.lineTable[0] = 0;
  t.lineTable[1] = 0x00050000;
  t.lineTable[2] = 0x00030005;
  t.lineTable[3] = 0x12345678;
  t.lineCount = 2;
  EXPECT_EQ(LineEntry(t, 1), 0x00050000u);
  EXPECT_EQ(LineEntry(t, 2), 0x00030005u); // the line after the last break
  EXPECT_EQ(LineEntry(t, 3), 0u);
  EXPECT_EQ(LineEntry(t, 511), 0u);
  EXPECT_EQ(LineEntry(t, 512), 0u);
  EXPECT_EQ(LineEntry(t, -1), 0u);
}

TEST(DisplayRecords, ImageFieldsAndRequests) {
  std::vector<uint8_t> five = Bytes("\\IMG0005");
  five.resize(32, 0);
  EXPECT_EQ(Vec(ImageField(5)), five);
  std::vector<uint8_t> big = Bytes("\\IMG0255");
  big.resize(32, 0);
  EXPECT_EQ(Vec(ImageField(255)), big);
  std::vector<uint8_t> none = Bytes("\\IMG0000");
  none.resize(32, 0);
  EXPECT_EQ(Vec(ImageField(0)), none);

  const std::vector<uint8_t> special = {'@', 'D', '\\', 'S', 'p', 'e', 'c', 'i', 'a', 'l', 0};
  EXPECT_EQ(ZeroTerminated(kSpecialImageRequest), special);
  EXPECT_EQ(ZeroTerminated(""), std::vector<uint8_t>{0});
}

struct Line {
  uint16_t offset, length;
};

Track LyricTrackOf(std::string text, std::vector<Line> lines) {
  Track t;
  t.text = std::move(text);
  for (size_t i = 0; i < lines.size(); ++i)
    t.lineTable[i] = lines[i].offset | static_cast<uint32_t>(lines[i].length) << 16;
  t.lineCount = static_cast<int16_t>(lines.size() - 1);
  return t;
}

std::string Text(const std::vector<uint8_t>& bytes) {
  EXPECT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.back(), 0);
  return std::string(bytes.begin(), bytes.end() - 1);
}

TEST(DisplayRecords, LyricTextHoldsEveryLine) {
  struct Row {
    const char* name;
    std::string text;
    std::vector<Line> lines; // index 0 ... lineCount
    std::string expected;
  };
  const Row rows[] = {
      {"the line after the last break too",
       "onetwothree",
       {{0, 0}, {0, 3}, {3, 3}, {6, 5}},
       "one\r\ntwo\r\nthree\r\n"},
      {"text before the first break", "introverse", {{0, 5}, {5, 5}}, "intro\r\nverse\r\n"},
      {"no line break at all", "alone", {{0, 5}}, "alone\r\n"},
      {"nothing", "", {{0, 0}}, ""},
      {"an empty line within", "ab", {{0, 0}, {0, 1}, {1, 0}, {1, 1}}, "a\r\n\r\nb\r\n"},
      {"no empty line after a closing break", "ab", {{0, 0}, {0, 1}, {1, 1}, {2, 0}}, "a\r\nb\r\n"},
      {"a line reaching past the text keeps what there is", "abc", {{0, 0}, {1, 9}}, "bc\r\n"},
      {"a line starting past the text is empty",
       "abc",
       {{0, 0}, {0, 3}, {7, 2}, {1, 1}},
       "abc\r\n\r\nb\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Text(LyricText(LyricTrackOf(row.text, row.lines))), row.expected);
  }
}

TEST(DisplayRecords, LyricTextEndsAtTheFirstLineThatNoLongerFits) {
  // Lines of 100 bytes, 102 with their CR LF.
  std::string text;
  std::vector<Line> lines = {{0, 0}};
  for (int i = 0; i < 120; ++i) {
    text += std::string(100, static_cast<char>('A' + i % 26));
    lines.push_back({static_cast<uint16_t>(i * 100), 100});
  }
  const std::vector<uint8_t> bytes = LyricText(LyricTrackOf(text, lines));
  // 102 bytes a line: after n lines 102n are written; the next fits while
  // 102n + 103 <= 10239, so n stops at 100.
  EXPECT_EQ(bytes.size(), 100u * 102 + 1);
  EXPECT_LE(bytes.size(), kLyricTextLimit);
  EXPECT_EQ(bytes[100 * 102 - 3], 'A' + 99 % 26);
}

TEST(DisplayRecords, LyricTextStopsAtTheLineTable) {
  Track t;
  t.text = "x";
  t.lineTable.fill(0 | 1u << 16);
  t.lineCount = 600; // more than the table holds
  EXPECT_EQ(LyricText(t).size(), 512u * 3 + 1);
}

TEST(DisplayRecords, PagesAreFilledWithoutAFormat) {
  struct Row {
    const char* page;
    std::vector<std::string_view> arguments;
    const char* expected;
  };
  const Row rows[] = {
      {"<h1>%s</h1><p>%s</p>", {"Title", "Singer"}, "<h1>Title</h1><p>Singer</p>"},
      {"width=100% %d %n %x %", {"T", "S"}, "width=100% %d %n %x %"},
      {"50%% and %s", {"T", "S"}, "50% and T"},
      {"%s %s %s", {"a", "b"}, "a b %s"},
      {"%s", {"%s%n%d", "x"}, "%s%n%d"},
      {"", {"a", "b"}, ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FillPage(row.page, row.arguments), row.expected) << row.page;

  std::vector<uint8_t> expected = Bytes("<b>100% Hits</b> - Kim");
  expected.push_back(0);
  EXPECT_EQ(TitlePage("<b>%s</b> - %s", "100% Hits", "Kim"), expected);
}

} // namespace

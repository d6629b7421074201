#include "platform/sys/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using sys::CutBytes;
using sys::CutLength;
using sys::FromUtf8;
using sys::FromUtf8Lossy;
using sys::IsLeadByte;
using sys::ToUtf8;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct RoundTripCase {
  int codePage;
  std::string utf8;
  std::string bytes;
};

// The byte forms are those of the code pages' published tables.
const RoundTripCase kRoundTrips[] = {
    // 노래방 가사, then 똠, which only the extended Korean code page has.
    {949, "노래방 가사 똠", "\xB3\xEB\xB7\xA1\xB9\xE6 \xB0\xA1\xBB\xE7 \x8C\x63"},
    // Full-width katakana (double-byte), then half-width (single-byte).
    {932, "カラオケ ｶﾗｵｹ", "\x83\x4A\x83\x89\x83\x49\x83\x50 \xB6\xD7\xB5\xB9"},
    {936, "中文歌词", "\xD6\xD0\xCE\xC4\xB8\xE8\xB4\xCA"},
    {950, "中文歌詞", "\xA4\xA4\xA4\xE5\xBA\x71\xB5\xFC"},
    {1252, "café €", "caf\xE9 \x80"},
};

TEST(CodePage, TextRoundTripsThroughEachCodePage) {
  for (const auto& c : kRoundTrips) {
    SCOPED_TRACE(c.codePage);
    EXPECT_EQ(FromUtf8(c.utf8, c.codePage), c.bytes);
    EXPECT_EQ(ToUtf8(c.bytes, c.codePage), c.utf8);
  }
}

TEST(CodePage, KoreanIsTheDefault) {
  const std::string korean = "사랑의 노래";
  auto bytes = FromUtf8(korean);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), 11u); // five syllables of two bytes and a space
  EXPECT_EQ(ToUtf8(*bytes), korean);
}

TEST(CodePage, LeadBytesOf949) {
  for (int b = 0; b < 256; ++b)
    EXPECT_EQ(IsLeadByte(static_cast<uint8_t>(b), 949), b >= 0x81 && b <= 0xFE) << b;
}

TEST(CodePage, LeadBytesOf932) {
  for (int b = 0; b < 256; ++b) {
    bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsLeadByte(static_cast<uint8_t>(b), 932), lead) << b;
  }
  // The half-width katakana between the two lead ranges are whole
  // characters of one byte.
  for (int b = 0xA1; b <= 0xDF; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(ToUtf8(one, 932).find(kReplacement), std::string::npos) << b;
  }
}

TEST(CodePage, OtherCodePagesHaveNoLeadBytesOrTheirOwn) {
  struct Row {
    int codePage;
    uint8_t b;
    bool lead;
  };
  const Row rows[] = {
      {936, 0x80, false},  {936, 0x81, true},   {936, 0xFE, true},   {936, 0xFF, false},
      {950, 0x80, false},  {950, 0x81, true},   {950, 0xFE, true},   {950, 0xFF, false},
      {1252, 0x81, false}, {1252, 0xE9, false}, {1234, 0xB0, false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(IsLeadByte(r.b, r.codePage), r.lead) << r.codePage << " " << int(r.b);
  EXPECT_TRUE(sys::IsDoubleByteCodePage(949));
  EXPECT_FALSE(sys::IsDoubleByteCodePage(1252));
}

struct CutCase {
  int codePage;
  std::string text;
  size_t maxBytes;
  size_t expected;
};

TEST(CodePage, CutsNeverSplitACharacter) {
  const CutCase cases[] = {
      {949,
       "a\xB0\xA1"
       "b",
       0, 0},
      {949,
       "a\xB0\xA1"
       "b",
       1, 1},
      {949,
       "a\xB0\xA1"
       "b",
       2, 1}, // would end on the lead byte
      {949,
       "a\xB0\xA1"
       "b",
       3, 3},
      {949,
       "a\xB0\xA1"
       "b",
       4, 4},
      {949,
       "a\xB0\xA1"
       "b",
       99, 4},
      // A lead byte with nothing after it is half a character.
      {949, "ab\xB0", 10, 2},
      // The byte after a lead byte is its trail, even when it looks like a
      // lead byte itself.
      {949, "\xB0\xB0\xB0\xB0", 3, 2},
      {949, "\x81\x41x", 1, 0},
      // In 932 the katakana bytes are single; in 949 they lead.
      {932, "\xB1\xB2", 1, 1},
      {949, "\xB1\xB2", 1, 0},
      {932, "\x83\x4A\x83\x89", 3, 2},
      {1252, "caf\xE9", 3, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << " max " << c.maxBytes);
    EXPECT_EQ(CutLength(c.text, c.maxBytes, c.codePage), c.expected);
    EXPECT_EQ(CutBytes(c.text, c.maxBytes, c.codePage), c.text.substr(0, c.expected));
  }
}

TEST(CodePage, NoCutOfMixedTextLeavesALoneLeadByte) {
  const std::string text = *FromUtf8("A가B나다 xy라마바 1");
  for (size_t max = 0; max <= text.size() + 1; ++max) {
    std::string_view cut = CutBytes(text, max);
    ASSERT_LE(cut.size(), max);
    // Only a character of two bytes may be left out at the end.
    EXPECT_GE(cut.size() + 1, std::min(max, text.size())) << max;
    EXPECT_EQ(ToUtf8(cut).find(kReplacement), std::string::npos) << max;
  }
}

TEST(CodePage, BytesThatDoNotConvertBecomeOneReplacementEach) {
  struct Row {
    int codePage;
    std::string bytes;
    std::string utf8;
  };
  const Row rows[] = {
      // A lead and trail pair with no character in the table.
      {949,
       "a\xC9\xA1"
       "b",
       "a\xEF\xBF\xBD"
       "b"},
      // A lead byte before a byte that cannot be a trail keeps that byte.
      {949,
       "\x81"
       "0",
       "\xEF\xBF\xBD"
       "0"},
      {949, "x\xB0", "x\xEF\xBF\xBD"},
      {1252,
       "\x81"
       "a",
       "\xEF\xBF\xBD"
       "a"},
      // An unknown code page reads as 1252.
      {4321, "caf\xE9", "café"},
      {949, std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ToUtf8(r.bytes, r.codePage), r.utf8) << r.codePage;
}

TEST(CodePage, CharactersWithoutAFormFailOrBecomeQuestionMarks) {
  EXPECT_EQ(FromUtf8("a😀", 949), std::nullopt);
  EXPECT_EQ(FromUtf8Lossy("a😀b", 949), "a?b");
  EXPECT_EQ(FromUtf8("가", 1252), std::nullopt);
  EXPECT_EQ(FromUtf8Lossy("a가나b", 1252), "a??b");
  // Broken UTF-8 is no character at all.
  EXPECT_EQ(FromUtf8("a\xFF", 949), std::nullopt);
  EXPECT_EQ(FromUtf8Lossy("a\xFF"
                          "b",
                          949),
            "a?b");
  EXPECT_EQ(FromUtf8Lossy("가\xEA\xB0", 949), "\xB0\xA1?");
  EXPECT_EQ(FromUtf8("", 949), "");
}

TEST(CodePage, ConvertsFromManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, &failures] {
      const auto& c = kRoundTrips[t % std::size(kRoundTrips)];
      for (int i = 0; i < 200; ++i) {
        if (FromUtf8(c.utf8, c.codePage) != c.bytes || ToUtf8(c.bytes, c.codePage) != c.utf8)
          ++failures[t];
      }
    });
  }
  for (auto& th : threads)
    th.join();
  for (int f : failures)
    EXPECT_EQ(f, 0);
}

} // namespace

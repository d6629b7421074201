// The song record a game receives: its fields read in place, texts bounded
// by their widths, and only the host's records of the game's kind taken.
#include "games/host_link.h"
#include "games/song_record_view.h"
#include "games/tests/support/game_session.h"

#include "platform/win/tests/support/fn_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace games {
namespace {

RecordSlot MakeRecord() {
  RecordSlot r{};
  const uint8_t number[] = {0x39, 0x30, 0x00, 0x00}; // 12345
  std::memcpy(r.data(), number, 4);
  std::memcpy(r.data() + 4, "Arirang", 7);
  std::memcpy(r.data() + 52, "Folk", 4);
  std::memcpy(r.data() + 164, "Over the hill", 13);
  r[284] = 'b';
  std::memcpy(r.data() + 285, "/songs/a.vx3", 12);
  r[541] = 'x'; // beyond the album record: never read
  return r;
}

TEST(SongRecordView, ReadsTheFieldsAtTheirOffsets) {
  const RecordSlot r = MakeRecord();
  const SongRecordView v(r);
  EXPECT_EQ(v.Number(), 12345);
  EXPECT_EQ(v.Title(), "Arirang");
  EXPECT_EQ(v.Singer(), "Folk");
  EXPECT_EQ(v.Excerpt(), "Over the hill");
  EXPECT_EQ(v.Type(), 'b');
  EXPECT_EQ(v.FileName(), "/songs/a.vx3");
}

TEST(SongRecordView, NegativeNumberIsSigned) {
  RecordSlot r{};
  std::memset(r.data(), 0xFF, 4);
  EXPECT_EQ(SongRecordView(r).Number(), -1);
}

TEST(SongRecordView, TextsEndAtTheirWidthAndNeverInsideACharacter) {
  struct Case {
    const char* what;
    size_t at, width;
    std::string bytes; // written at the field, the rest of the record 'Z'
    std::string expect;
    std::string_view (SongRecordView::*field)() const;
  };
  const std::string fullTitle(48, 'a');
  // 47 ASCII bytes then a lead byte in the last place: cut before it.
  const std::string halfAtEnd = std::string(47, 'a') + "\xB0";
  // Hangul pairs filling the singer exactly.
  std::string hangul;
  for (int i = 0; i < 16; ++i)
    hangul += "\xB0\xA1";
  const Case cases[] = {
      {"title without zero stops at 48", 4, 48, fullTitle, fullTitle, &SongRecordView::Title},
      {"lead byte last in field is cut", 4, 48, halfAtEnd, std::string(47, 'a'),
       &SongRecordView::Title},
      {"whole characters fill the field", 52, 32, hangul, hangul, &SongRecordView::Singer},
      {"lead byte before the zero is cut", 52, 32, std::string("ab\xB0\0", 4), "ab",
       &SongRecordView::Singer},
      {"excerpt without zero stops at 120", 164, 120, std::string(120, 'e'), std::string(120, 'e'),
       &SongRecordView::Excerpt},
      {"file name stops at the record's end", 285, 256, std::string(256, 'f'),
       std::string(256, 'f'), &SongRecordView::FileName},
  };
  for (const Case& c : cases) {
    RecordSlot r;
    r.fill('Z');
    std::memcpy(r.data() + c.at, c.bytes.data(), c.bytes.size());
    EXPECT_EQ((SongRecordView(r).*c.field)(), c.expect) << c.what;
  }
}

class RecordCopyTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    gamestest::StartGameSession();
    wintest::RegisterFnClass(kHostFrameClass, nullptr);
    wintest::RegisterFnClass(kHostClass, nullptr);
    wintest::RegisterFnClass("OtherSender", nullptr);
  }
  void SetUp() override {
    frame_ = wintest::MakeWindow(kHostFrameClass);
    host_ = wintest::MakeWindow(kHostClass, "", frame_);
    other_ = wintest::MakeWindow("OtherSender");
    ASSERT_TRUE(frame_ && host_ && other_);
  }
  void TearDown() override {
    win::DestroyWindow(other_);
    win::DestroyWindow(frame_);
  }
  win::Hwnd frame_ = 0, host_ = 0, other_ = 0;
};

TEST_F(RecordCopyTest, TakesOnlyTheHostsRecordOfTheRightKindAndSize) {
  ASSERT_EQ(FindHost(), host_);
  std::vector<uint8_t> payload(802, 0);
  payload[0] = 7;
  int taken = 0;
  for (uint32_t size : {800u, 801u, 802u})
    for (uintptr_t kind : {uintptr_t(0x10300), uintptr_t(0x10301)})
      for (win::Hwnd sender : {host_, other_}) {
        RecordSlot slot{};
        const win::CopyData data{kind, size, payload.data()};
        const bool took = TakeSongRecordCopy(sender, &data, 0x10300, slot);
        const bool right = size == 801 && kind == 0x10300 && sender == host_;
        EXPECT_EQ(took, right) << size << " " << kind << " " << sender;
        EXPECT_EQ(slot[0], right ? 7 : 0);
        taken += took;
      }
  EXPECT_EQ(taken, 1);
}

TEST_F(RecordCopyTest, NoHostNoRecord) {
  win::DestroyWindow(frame_);
  frame_ = 0;
  std::vector<uint8_t> payload(801, 1);
  RecordSlot slot{};
  const win::CopyData data{0x10300, 801, payload.data()};
  EXPECT_FALSE(TakeSongRecordCopy(host_, &data, 0x10300, slot));
  EXPECT_EQ(FindHost(), 0u);
  EXPECT_FALSE(SendToHost(GameAllowQuery).has_value());
  EXPECT_FALSE(PostToHost(GameStart));
}

} // namespace
} // namespace games

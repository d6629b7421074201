// The lyric receiver: the records and codes of the player core and the host,
// read from hand-built bytes, and what the lyric view does with them.
#include "display/tests/support/frame_fixture.h"

#include "display/receiver.h"
#include "display/records.h"
#include "platform/media/clock.h"

#include <fstream>

using namespace display;
using namespace displaytest;

namespace {

std::vector<uint8_t> Le32(std::vector<uint8_t> bytes, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return bytes;
}

// A 24-byte song event: tick, ms, duration, duration ms, kind, 0, line, data.
std::vector<uint8_t> Event(uint8_t kind, int16_t line, uint16_t offset, uint16_t length,
                           uint32_t durationMs = 300) {
  std::vector<uint8_t> b;
  b = Le32(b, 10);
  b = Le32(b, 20);
  b = Le32(b, 30);
  b = Le32(b, durationMs);
  b.push_back(kind);
  b.push_back(0);
  b.push_back(static_cast<uint8_t>(line));
  b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(line) >> 8));
  return Le32(b, offset | uint32_t{length} << 16);
}

std::vector<uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}

TEST(LyricRecords, TitleCopyIsRefusedAbove49Bytes) {
  struct Row {
    size_t size;
    bool taken;
    size_t textLength;
  } rows[] = {{0, true, 0}, {48, true, 48}, {49, true, 48}, {50, false, 0}};
  for (const Row& r : rows) {
    std::vector<uint8_t> b(r.size, 'T');
    auto t = ReadTitleCopy(b);
    EXPECT_EQ(t.has_value(), r.taken) << r.size;
    if (t) {
      EXPECT_EQ(t->size(), r.textLength) << r.size;
    }
  }
  EXPECT_EQ(*ReadTitleCopy(Bytes(std::string("Song\0junk", 9))), "Song");
}

TEST(LyricRecords, EventCopyIsReadOnlyAtExactly24Bytes) {
  const auto b = Event(16, 0x1234, 0x0105, 0x0007, 0x01020304);
  auto e = ReadLyricEvent(b);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->kind, 16);
  EXPECT_EQ(e->line, 0x1234);
  EXPECT_EQ(e->Offset(), 0x0105);
  EXPECT_EQ(e->Length(), 7);
  EXPECT_EQ(e->durationMs, 0x01020304u);
  EXPECT_EQ(ReadLyricEvent(Event(16, -1, 0, 0))->line, -1);
  for (size_t size : {0u, 23u, 25u}) {
    std::vector<uint8_t> other = b;
    other.resize(size);
    EXPECT_FALSE(ReadLyricEvent(other)) << size;
  }
}

TEST(LyricRecords, ReserveListCopiesUpTo260BytesOverTheBuffer) {
  ReserveBuffer buffer{};
  std::vector<uint8_t> full;
  for (uint32_t i = 0; i < 5; ++i) {
    full = Le32(full, 100 + i);
    std::string title = "Song " + std::to_string(i);
    title.resize(48, '\0');
    full.insert(full.end(), title.begin(), title.end());
  }
  ASSERT_EQ(full.size(), 260u);
  ASSERT_TRUE(ApplyReserveList(buffer, full));
  EXPECT_EQ(ReserveNumbers(buffer), (std::array<int32_t, 5>{100, 101, 102, 103, 104}));
  EXPECT_EQ(ReserveTitle(buffer, 3), "Song 3");
  // 52 bytes: the first entry only.
  std::vector<uint8_t> first = Le32({}, static_cast<uint32_t>(-2));
  first.resize(52, 'x');
  ASSERT_TRUE(ApplyReserveList(buffer, first));
  EXPECT_EQ(ReserveNumbers(buffer), (std::array<int32_t, 5>{-2, 101, 102, 103, 104}));
  EXPECT_EQ(ReserveTitle(buffer, 0).size(), 48u); // no terminator: held to its field
  full.push_back(0);
  EXPECT_FALSE(ApplyReserveList(buffer, full));
  EXPECT_EQ(ReserveNumbers(buffer)[0], -2);
}

TEST(LyricRecords, NextSongNeedsItsNumberAndAtMost125Bytes) {
  auto b = Le32({}, 4711);
  const std::string title = "Next one";
  b.insert(b.end(), title.begin(), title.end());
  b.push_back(0);
  auto n = ReadNextSong(b);
  ASSERT_TRUE(n);
  EXPECT_EQ(n->number, 4711);
  EXPECT_EQ(n->title, title);
  std::vector<uint8_t> longest = Le32({}, 1);
  longest.resize(125, 'a');
  EXPECT_EQ(ReadNextSong(longest)->title.size(), 121u);
  longest.push_back('a');
  EXPECT_FALSE(ReadNextSong(longest));
  EXPECT_FALSE(ReadNextSong(std::vector<uint8_t>{1, 2, 3}));
}

TEST(LyricRecords, CodePageLocaleNames) {
  struct Row {
    int32_t codePage;
    std::string_view name;
  } rows[] = {{949, "kor"}, {936, "chs"}, {950, "cht"}, {932, "jpn"},
              {1252, "us"}, {1251, "C"},  {0, "C"},     {-1, "C"}};
  for (const Row& r : rows)
    EXPECT_EQ(CodePageLocaleName(r.codePage), r.name) << r.codePage;
}

TEST(LyricRecords, ScorePageFillsItsValuesInOrder) {
  ScoreValues v{60, "#010203", "#040506", "87", 15, "#070809", "#0a0b0c", "Well sung"};
  EXPECT_EQ(FillScorePage("<font size=%d color=%s bg=%s>%ld</font> %i %s %s <b>%s</b>", v),
            "<font size=60 color=#010203 bg=#040506>87</font> 15 #070809 #0a0b0c <b>Well sung</b>");
  EXPECT_EQ(HtmlColour(gdi::Rgb(0xAB, 0x01, 0xFF)), "#ab01ff");
}

TEST(LyricRecords, HostileScoreTemplateIsShownAsWritten) {
  ScoreValues v{1, "a", "b", "2", 3, "c", "d", "e"};
  struct Row {
    std::string_view page, shown;
  } rows[] = {
      {"100% sure %n %x %p %", "100% sure %n %x %p %"},
      {"%%d", "%d"},
      {"%-5d|%08s|%.3ld", "1|a|b"},
      // More conversions than values: the rest stay as written.
      {"%s%s%s%s%s%s%s%s%s%s", "1ab23cde%s%s"},
      {"%999999999s", "1"},
      {"%l", "%l"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(FillScorePage(r.page, v), r.shown) << r.page;
}

class ReceiverTest : public FrameTest {
protected:
  void SetUp() override {
    FrameTest::SetUp();
    StartHost();
    Start();
    frame->LinkAtStart();
    host->tambloWindow.got.clear();
    host->remoteWindow.got.clear();
  }
  void Copy(uintptr_t kind, const std::vector<uint8_t>& bytes) {
    win::SendCopyData(hwnd, 0, kind, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  void User(win::WParam code, win::LParam argument = 0) {
    win::SendMessage(hwnd, win::WM_USER, code, argument);
  }
  size_t Requests(win::WParam code) {
    win::ProcessPendingMessages();
    return host->tambloWindow.User(code).size();
  }
  LyricReceiver& R() { return *frame->Receiver(); }
  LyricLines& Lines() { return *frame->Word()->Lines(); }
  // Title, a block of two lines ("Hello world " and "Second line"), play.
  void LoadSong() {
    Copy(kTitleCopy, Bytes("Test song"));
    Copy(kLyricCopy, Bytes(kBlock));
    User(kPlayStarted);
  }
  static constexpr std::string_view kBlock = "Hello world Second line";
};

TEST_F(ReceiverTest, SyllableBeforeAnyLyricBlockOnlyAsksForIt) {
  Copy(kEventCopy, Event(16, 0, 0, 6));
  EXPECT_EQ(Requests(kLyricRequest), 1u);
  EXPECT_EQ(Requests(kTitleRequest), 0u);
  EXPECT_EQ(Requests(kLineInfoRequest), 0u);
  EXPECT_FALSE(R().LyricHeld());
}

TEST_F(ReceiverTest, FirstSyllableOfALineAsksForTheLineOnceAndIsNotWiped) {
  LoadSong();
  EXPECT_TRUE(R().TitleHeld());
  EXPECT_EQ(R().LyricLength(), kBlock.size());
  Copy(kEventCopy, Event(16, 1, 12, 7));
  Copy(kEventCopy, Event(16, 1, 19, 4));
  ASSERT_EQ(Requests(kLineInfoRequest), 1u);
  EXPECT_EQ(host->tambloWindow.User(kLineInfoRequest)[0].lParam, 1);
  EXPECT_TRUE(R().WaitingForLineInfo());
  EXPECT_FALSE(frame->Word()->Wipe()->WipeActive() && Lines().Wipe().running.load());
  // The answer places the line; the next syllable of it is wiped.
  Copy(kEventCopy, Event(17, 1, 12, 11));
  EXPECT_EQ(Lines().Slot(kSlotA).text, "Second line");
  EXPECT_EQ(R().CurrentLine(), 1);
  EXPECT_EQ(R().SlotState(), 2);
  Copy(kEventCopy, Event(16, 1, 19, 4));
  EXPECT_FALSE(R().WaitingForLineInfo());
  EXPECT_EQ(Lines().CurrentSyllable(), "line");
  EXPECT_TRUE(Lines().Wipe().running.load());
  EXPECT_GT(Lines().Wipe().wipeEnd.load(), 0);
  EXPECT_EQ(Lines().Wipe().durationMs.load(), 300u);
  EXPECT_EQ(Requests(kLineInfoRequest), 1u);
}

TEST_F(ReceiverTest, ASyllableFromWithinTheProcessIsWipedFromNow) {
  LoadSong();
  Copy(kEventCopy, Event(17, 0, 0, 12));
  Lines().Wipe().arrivalMs.store(0);
  const uint32_t before = media::NowMs();
  Copy(kEventCopy, Event(16, 0, 0, 6));
  const uint32_t after = media::NowMs();
  ASSERT_TRUE(Lines().Wipe().running.load());
  // No socket receive time: the arrival is the moment of handling.
  EXPECT_LE(before, Lines().Wipe().arrivalMs.load());
  EXPECT_LE(Lines().Wipe().arrivalMs.load(), after);
}

TEST_F(ReceiverTest, AFrameGivenANewSizeInMidLineLaysTheLineOutForIt) {
  LoadSong();
  Copy(kEventCopy, Event(17, 0, 0, 12));
  Copy(kEventCopy, Event(16, 0, 6, 6, 5000));
  ASSERT_TRUE(Lines().Wipe().running.load());
  CKivo32Word& word = *frame->Word();
  const int32_t font = Lines().FontHeight();
  const int32_t start = word.State().syllableStart.load();
  ASSERT_GT(start, 0);
  auto rect = ui::GetWindowRect(hwnd);
  ASSERT_TRUE(rect);
  ui::MoveWindow(hwnd, rect->left, rect->top, rect->Width() * 2, rect->Height() * 2, true);
  ASSERT_TRUE(PumpUntil([&] { return Lines().FontHeight() != font; }));
  win::ProcessPendingMessages();
  const gdi::Rect client = word.ClientRect();
  EXPECT_EQ(Lines().LayoutRect(), (gdi::Rect{0, 0, client.Width(), client.Height()}));
  EXPECT_GT(Lines().FontHeight(), font);
  // The syllable being sung was measured again in the new font, and the
  // wipe goes on within it.
  EXPECT_EQ(Lines().SyllableOffset(), 6u);
  EXPECT_GT(word.State().syllableStart.load(), start);
  EXPECT_TRUE(Lines().Wipe().running.load());
  EXPECT_GE(Lines().Wipe().drawnEdge.load(), word.State().syllableStart.load());
  EXPECT_LE(Lines().Wipe().drawnEdge.load(),
            word.State().syllableStart.load() + word.State().syllableWidth.load());
}

TEST_F(ReceiverTest, LineAndPreviewFillBothSlotsInTurn) {
  LoadSong();
  Copy(kEventCopy, Event(17, 0, 0, 12));
  Copy(kEventCopy, Event(18, 1, 12, 11));
  EXPECT_EQ(Lines().Slot(kSlotA).text, "Hello world ");
  EXPECT_EQ(Lines().Slot(kSlotB).text, "Second line");
  EXPECT_EQ(R().SlotState(), 2);
  // A line beyond the block, or empty, changes nothing.
  Copy(kEventCopy, Event(17, 5, 20, 10));
  Copy(kEventCopy, Event(17, 5, 3, 0));
  EXPECT_EQ(R().CurrentLine(), 0);
  Copy(kEventCopy, Event(17, 1, 12, 11));
  EXPECT_EQ(R().SlotState(), 3);
  EXPECT_EQ(R().CurrentLine(), 1);
  // Singer colour in state 3 goes to slot B.
  Copy(kEventCopy, Event(20, 1, 2, 0));
  EXPECT_EQ(R().ColourGroup(1), 2);
  EXPECT_EQ(R().ColourGroup(0), 0);
}

TEST_F(ReceiverTest, JumpBackIntoTheCurrentLineShowsTheLineAgain) {
  LoadSong();
  Copy(kEventCopy, Event(17, 0, 0, 12));
  Copy(kEventCopy, Event(16, 0, 0, 6));
  ASSERT_EQ(Lines().Slot(kSlotA).text, "Hello world ");
  User(kJumpNotify);
  EXPECT_EQ(Lines().Slot(kSlotA).text, "  ");
  EXPECT_EQ(Lines().Slot(kSlotA).lineIndex, -1);
  // The song goes on in line 0: the line is asked for and shown again,
  // though its offset is the one placed before.
  Copy(kEventCopy, Event(16, 0, 6, 6));
  ASSERT_EQ(Requests(kLineInfoRequest), 1u);
  EXPECT_EQ(host->tambloWindow.User(kLineInfoRequest)[0].lParam, 0);
  Copy(kEventCopy, Event(17, 0, 0, 12));
  EXPECT_EQ(Lines().Slot(kSlotA).text, "Hello world ");
  Copy(kEventCopy, Event(16, 0, 6, 6));
  EXPECT_TRUE(Lines().Wipe().running.load());
}

TEST_F(ReceiverTest, OutOfRangeSyllablesReadNothingOutsideTheBlock) {
  LoadSong();
  Copy(kEventCopy, Event(17, 0, 0, 12));
  for (auto bytes : {Event(16, 0, 0xFFFF, 0xFFFF), Event(16, 0, 20, 0xFFFF), Event(16, 0, 0, 0)})
    Copy(kEventCopy, bytes);
  std::vector<uint8_t> shortEvent = Event(16, 0, 0, 5);
  shortEvent.pop_back();
  Copy(kEventCopy, shortEvent);
  EXPECT_NE(Lines().CurrentSyllable(), "Hello");
}

TEST_F(ReceiverTest, PlayStoppedRegistersWithTheHostAndResets) {
  LoadSong();
  Copy(kEventCopy, Event(17, 0, 0, 12));
  User(kPlayStopped);
  ASSERT_TRUE(PumpUntil([&] { return host->remoteWindow.User(kGameRegister).size() == 1; }));
  EXPECT_EQ(host->remoteWindow.User(kGameRegister)[0].lParam, static_cast<LParam>(hwnd));
  EXPECT_EQ(R().SlotState(), 1);
  EXPECT_FALSE(frame->Word()->Wipe()->TimerRunning());
  EXPECT_EQ(frame->Word()->State().currentLine.load(), -1);
}

TEST_F(ReceiverTest, HostRecordsAreCheckedAgainstTheirSizes) {
  // Title: 49 taken, 50 refused.
  Copy(kTitleCopy, std::vector<uint8_t>(50, 'x'));
  EXPECT_FALSE(R().TitleHeld());
  Copy(kTitleCopy, std::vector<uint8_t>(49, 'x'));
  EXPECT_TRUE(R().TitleHeld());
  EXPECT_EQ(frame->Title()->Title().size(), 48u);
  // Reservations: 261 refused, 52 the first number only.
  std::vector<uint8_t> list(260, 0);
  list[0] = 7, list[52] = 8;
  Copy(kReserveListCopy, list);
  list.push_back(0);
  list[0] = 9;
  Copy(kReserveListCopy, list);
  EXPECT_EQ(ReserveNumbers(R().Reservations())[0], 7);
  std::vector<uint8_t> one(52, 0);
  one[0] = 3;
  Copy(kReserveListCopy, one);
  EXPECT_EQ(ReserveNumbers(R().Reservations())[0], 3);
  EXPECT_EQ(ReserveNumbers(R().Reservations())[1], 8);
  // Next song: the title view takes it; 126 bytes refused.
  auto next = Le32({}, 42);
  for (char c : std::string_view("Up next"))
    next.push_back(static_cast<uint8_t>(c));
  next.push_back(0);
  Copy(kNextSongCopy, next);
  EXPECT_EQ(frame->Title()->AnnouncedNumber(), 42);
  EXPECT_EQ(frame->Title()->AnnouncedTitle(), "Up next");
  std::vector<uint8_t> tooLong = Le32({}, 43);
  tooLong.resize(126, 'z');
  Copy(kNextSongCopy, tooLong);
  EXPECT_EQ(frame->Title()->AnnouncedNumber(), 42);
  // Display mode: 71 and 73 bytes refused.
  for (size_t size : {71u, 73u}) {
    std::vector<uint8_t> mode(size, 0);
    mode[0] = 2;
    Copy(kDisplayModeCopy, mode);
    EXPECT_FALSE(frame->PlacedByMode2()) << size;
  }
}

TEST_F(ReceiverTest, EveryCodeIsAcceptedAndTheFrameLives) {
  LoadSong();
  struct Row {
    win::WParam code;
    win::LParam argument;
  } rows[] = {{kSingScore, 0},
              {kDisplayRepaintRequest, 0},
              {kStopImageNotify, 0},
              {1542, 0},
              {kCodePageNotify, 1251},
              {kDisplaySettingsNotify, 1},
              {kDisplaySettingsNotify, 2},
              {kDisplaySettingsNotify, 3},
              {kMediaListReload, 7},
              {kInfoViewRefresh, 0},
              {kJumpNotify, 0},
              {kDisplayModeReset, 0},
              {kDisplayShowRequest, 2},
              {12345, 0}};
  for (const Row& r : rows) {
    User(r.code, r.argument);
    EXPECT_TRUE(win::IsWindow(hwnd)) << r.code;
  }
  EXPECT_EQ(R().CodePage(), 1251);
  for (uintptr_t kind : {kLyricTextCopy, kImageCopy, kPlayImageCopy, uintptr_t{0x12345}})
    Copy(kind, Bytes("x"));
  EXPECT_TRUE(win::IsWindow(hwnd));
  User(kDisplayCloseRequest);
  EXPECT_FALSE(win::IsWindow(hwnd));
}

TEST_F(ReceiverTest, ScorePageTemplateIsNeverAFormat) {
  {
    std::ofstream out(dir.Path() + "/Score.htm");
    out << "<p>%d 100% %n%n%n %s%s %ld</p>";
  }
  User(kSingScore, 93);
  const std::string& page = R().ScorePage();
  EXPECT_NE(page.find("100% %n%n%n"), std::string::npos) << page;
  EXPECT_NE(page.find(" 93</p>"), std::string::npos) << page;
}

} // namespace

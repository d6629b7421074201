// The wipe against the clock around what the user-interface thread does at a
// line change, on the virtual clock: a line placed while that thread is held
// and cannot paint, and a new size in the middle of a line. After each, the
// first tick leaves the picture a fresh rendering of the same moment shows.
#include "display/lyric/colour_wipe.h"
#include "platform/media/virtual_time.h"
#include "support/lyric_fixture.h"

#include <gtest/gtest.h>

namespace display {
namespace {

using namespace display::testing;

constexpr uint32_t kStartMs = 5000;
constexpr uint32_t kPeriodMs = 20;
// "Twinkle twinkle " at 0, "little star " at 16, "how I wonder" at 28.
const std::string kFirst = "Twinkle twinkle";
const std::string kSecond = "little star";
const std::string kThird = "how I wonder";
constexpr int32_t kSecondOffset = 16;
constexpr int32_t kThirdOffset = 28;

class LineChangeTest : public ::testing::Test {
protected:
  void SetUp() override { media::InstallTimeSource(&time_); }
  void TearDown() override {
    wipes_.clear();
    media::InstallTimeSource(nullptr);
  }

  ColourWipe& WipeOn(TestView& view) {
    wipes_.push_back(std::make_unique<ColourWipe>(view.Lines(), view.Frame(), kPeriodMs));
    EXPECT_TRUE(wipes_.back()->Start(true));
    return *wipes_.back();
  }

  // The syllable at offset of the current slot, begun at arrivalMs.
  static SyllableSpan Begin(TestView& view, ColourWipe& wipe, uint32_t offset,
                            const std::string& text, uint32_t durationMs, uint32_t arrivalMs) {
    LyricLines& lines = view.Lines();
    lines.SetCurrentSyllable(text);
    const int slot = CurrentSlotOf(view.Frame().slotState.load());
    const SyllableSpan span = WipeSpanOf(lines.MeasureSyllable(offset).value(),
                                         lines.Slot(slot).blankWidth, text[0] == ' ');
    wipe.BeginSyllable(span.start, span.width, durationMs, arrivalMs);
    return span;
  }

  // A view showing the state reached, painted once and wiped by one tick
  // at the present moment.
  std::unique_ptr<TestView> Fresh(int32_t width, int32_t height, int32_t stateAfter,
                                  int32_t currentLine, uint32_t offset, const std::string& text,
                                  uint32_t durationMs, uint32_t arrivalMs) {
    auto view = std::make_unique<TestView>(width, height);
    view->Lines().PlaceLine(kSlotA, currentLine == 0 ? kFirst : kThird,
                            currentLine == 0 ? 0 : kThirdOffset, currentLine == 0 ? 0 : 2);
    view->Lines().PlaceLine(kSlotB, kSecond, kSecondOffset, 1);
    view->Frame().slotState = stateAfter;
    view->Frame().currentLine = currentLine;
    view->Flush();
    ColourWipe& wipe = WipeOn(*view);
    Begin(*view, wipe, offset, text, durationMs, arrivalMs);
    wipe.TimerTick();
    return view;
  }

  media::VirtualTime time_{kStartMs};
  std::vector<std::unique_ptr<ColourWipe>> wipes_;
};

TEST_F(LineChangeTest, AfterTheInterfaceThreadWasHeldTheFirstTickDrawsTheEdgeOfTheClock) {
  struct Row {
    const char* what;
    bool previewed; // the next line stood in slot B before its line event
  };
  const Row rows[] = {{"the next line was shown ahead", true},
                      {"the line is placed at its line event", false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TestView view(640, 300);
    LyricLines& lines = view.Lines();
    LyricFrameState& frame = view.Frame();
    // The first line is sung in slot A.
    lines.PlaceLineForState(1, kFirst, 0, 0);
    frame.slotState = 2;
    frame.currentLine = 0;
    if (r.previewed)
      lines.PlaceLineForState(2, kSecond, kSecondOffset, 1);
    view.Flush();
    ColourWipe& wipe = WipeOn(view);
    Begin(view, wipe, 8, "twinkle", 300, time_.NowMs());
    time_.Advance(200);

    // The line event of the second line, the preview of the third and the
    // second line's first syllable, handled together; then the thread is
    // held for 60 ms before it paints.
    wipe.FinishLine();
    lines.PlaceLineForState(2, kSecond, kSecondOffset, 1);
    frame.currentLine = 1;
    frame.slotState = 3;
    wipe.ResetLine();
    lines.PlaceLineForState(3, kThird, kThirdOffset, 2);
    const uint32_t arrival = time_.NowMs();
    const SyllableSpan span = Begin(view, wipe, kSecondOffset, "lit", 400, arrival);
    ASSERT_GT(span.width, 20);
    view.TakeUpdates();
    time_.Advance(60);
    const int32_t held = lines.Wipe().drawnEdge.load();
    EXPECT_EQ(held, span.start + span.width * 60 / 400);
    if (r.previewed) {
      // Slot B already showed the line: its wipe went on meanwhile.
      const auto updates = view.TakeUpdates();
      EXPECT_FALSE(updates.empty());
    }

    view.Flush();
    time_.Advance(kPeriodMs);
    const int32_t edge = span.start + span.width * (60 + kPeriodMs) / 400;
    EXPECT_EQ(lines.Wipe().drawnEdge.load(), edge);
    const auto fresh = Fresh(640, 300, 3, 1, kSecondOffset, "lit", 400, arrival);
    EXPECT_EQ(fresh->Lines().Wipe().drawnEdge.load(), edge);
    EXPECT_TRUE(view.Pixels() == fresh->Pixels());
    wipes_.clear(); // before their views
  }
}

TEST_F(LineChangeTest, ANewSizeInMidLinePlacesTheLineForItAndTheWipeGoesOnFromTheClock) {
  TestView view(640, 480);
  LyricLines& lines = view.Lines();
  lines.PlaceLineForState(1, kFirst, 0, 0);
  lines.PlaceLineForState(2, kSecond, kSecondOffset, 1);
  view.Frame().slotState = 2;
  view.Frame().currentLine = 0;
  view.Flush();
  ColourWipe& wipe = WipeOn(view);
  Begin(view, wipe, 0, "Twin", 300, time_.NowMs());
  time_.Advance(300);
  const uint32_t arrival = time_.NowMs();
  const SyllableSpan small = Begin(view, wipe, 4, "kle ", 500, arrival);
  time_.Advance(200);
  const int32_t smallFont = lines.FontHeight();

  view.Resize(1920, 1080);
  wipe.Relayout();
  view.Flush();
  time_.Advance(kPeriodMs);

  const auto fresh = Fresh(1920, 1080, 2, 0, 4, "kle ", 500, arrival);
  const LyricLines& want = fresh->Lines();
  EXPECT_GT(lines.FontHeight(), 2 * smallFont);
  EXPECT_EQ(lines.FontHeight(), want.FontHeight());
  for (int slot : {kSlotA, kSlotB}) {
    EXPECT_EQ(lines.Slot(slot).x, want.Slot(slot).x) << slot;
    EXPECT_EQ(lines.Slot(slot).y, want.Slot(slot).y) << slot;
    EXPECT_EQ(lines.Slot(slot).textWidth, want.Slot(slot).textWidth) << slot;
  }
  // The syllable was measured again in the new font.
  EXPECT_GT(view.Frame().syllableStart.load(), small.start);
  EXPECT_EQ(view.Frame().syllableStart.load(), fresh->Frame().syllableStart.load());
  EXPECT_EQ(view.Frame().syllableWidth.load(), fresh->Frame().syllableWidth.load());
  EXPECT_EQ(lines.Wipe().drawnEdge.load(), want.Wipe().drawnEdge.load());
  EXPECT_GT(lines.Wipe().drawnEdge.load(), view.Frame().syllableStart.load());
  EXPECT_TRUE(view.Pixels() == fresh->Pixels());
}

} // namespace
} // namespace display

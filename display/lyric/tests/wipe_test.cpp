// The colour wipe on the virtual clock: where the edge stands against the
// time since the syllable arrived (start, middle, end, a late arrival, a
// duration of 0, by character), the pixels after a syllable against a sung
// rendering of it with the background untouched, repaints in the middle of a
// syllable, the stepped mode on window timer 102, pausing, hidden lyrics, a
// missing wipe bitmap, and spans out of range.
#include "display/lyric/colour_wipe.h"
#include "platform/media/virtual_time.h"
#include "support/lyric_fixture.h"

#include <gtest/gtest.h>

namespace display {
namespace {

using namespace display::testing;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 300;
constexpr uint32_t kStartMs = 1000;
const std::string kLine = "Twinkle twinkle";

struct Syllable {
  uint32_t offset;
  std::string text;
};
const Syllable kTwin{0, "Twin"};
const Syllable kKle{4, "kle "};
const Syllable kTwinkle2{8, "twinkle"};

class WipeTest : public ::testing::Test {
protected:
  void SetUp() override {
    media::InstallTimeSource(&time_);
    view_ = std::make_unique<TestView>(kWidth, kHeight);
    ShowLine(*view_);
    unsung_ = view_->Pixels();
    sungRef_ = std::make_unique<TestView>(kWidth, kHeight, true);
    ShowLine(*sungRef_);
    sung_ = sungRef_->Pixels();
  }
  void TearDown() override {
    wipe_.reset();
    media::InstallTimeSource(nullptr);
  }

  static void ShowLine(TestView& v) {
    v.Lines().PlaceLineForState(1, kLine, 0, 0);
    v.Frame().slotState = 2;
    v.Frame().currentLine = 0;
    v.Flush();
  }

  ColourWipe& MakeWipe(uint32_t periodMs = 20) {
    wipe_ = std::make_unique<ColourWipe>(view_->Lines(), view_->Frame(), periodMs);
    wipe_->SetWindowTimer({[this](uint32_t p) {
                             windowTimer_.push_back(p);
                             return true;
                           },
                           [this] { windowTimer_.push_back(0); }});
    return *wipe_;
  }

  // The syllable as the lyric events hand it over: measured, inset by a
  // fifth of a blank, and begun now.
  SyllableSpan Begin(const Syllable& s, uint32_t durationMs) {
    LyricLines& lines = view_->Lines();
    lines.SetCurrentSyllable(s.text);
    const SyllableSpan span = WipeSpanOf(lines.MeasureSyllable(s.offset).value(),
                                         lines.Slot(kSlotA).blankWidth, s.text[0] == ' ');
    wipe_->BeginSyllable(span.start, span.width, durationMs);
    return span;
  }

  int32_t Drawn() const { return view_->Lines().Wipe().drawnEdge.load(); }
  bool Running() const { return view_->Lines().Wipe().running.load(); }

  // Slot A as the wipe leaves it with its drawn edge at edge: sung columns
  // from the sung rendering, everything else as it was before the wipe.
  std::vector<gdi::Colour> Expected(int32_t edge) const {
    std::vector<gdi::Colour> px = unsung_;
    if (edge <= 0)
      return px;
    const LyricLines& lines = view_->Lines();
    const LineSlot& s = lines.Slot(kSlotA);
    const int32_t pad = lines.Pad();
    const gdi::Rect sungArea{s.x + lines.SungColumn(kSlotA, 0), s.y - pad,
                             s.x + lines.SungColumn(kSlotA, edge), s.y + s.fontHeight + pad};
    for (int32_t y = sungArea.top; y < sungArea.bottom; ++y)
      for (int32_t x = sungArea.left; x < sungArea.right; ++x)
        px[static_cast<size_t>(y) * kWidth + x] = sung_[static_cast<size_t>(y) * kWidth + x];
    return px;
  }

  size_t Mismatches(int32_t edge) const {
    const std::vector<gdi::Colour> want = Expected(edge);
    const std::vector<gdi::Colour> got = view_->Pixels();
    size_t n = 0;
    for (size_t i = 0; i < got.size(); ++i)
      n += got[i] != want[i];
    return n;
  }

  media::VirtualTime time_{kStartMs};
  std::unique_ptr<TestView> view_;
  std::unique_ptr<TestView> sungRef_;
  std::vector<gdi::Colour> unsung_;
  std::vector<gdi::Colour> sung_;
  std::unique_ptr<ColourWipe> wipe_;
  std::vector<uint32_t> windowTimer_;
};

TEST_F(WipeTest, TheEdgeMovesInProportionToTheTimeSinceTheSyllableArrived) {
  ColourWipe& wipe = MakeWipe(20);
  ASSERT_TRUE(wipe.Start(true));
  const SyllableSpan span = Begin(kTwin, 400);
  ASSERT_GT(span.width, 20);
  EXPECT_EQ(Drawn(), 0);
  struct Row {
    uint32_t at; // ms since the syllable arrived
    int32_t progress;
    bool running;
  };
  const Row rows[] = {
      {20, span.width * 20 / 400, true},   {100, span.width / 4, true}, {200, span.width / 2, true},
      {380, span.width * 380 / 400, true}, {400, span.width, false},    {520, span.width, false},
  };
  uint32_t now = 0;
  for (const Row& r : rows) {
    time_.Advance(r.at - now);
    now = r.at;
    EXPECT_EQ(Drawn(), span.start + r.progress) << r.at;
    EXPECT_EQ(Running(), r.running) << r.at;
    EXPECT_EQ(Mismatches(Drawn()), 0u) << r.at;
  }
  // The wipe asked for each area it drew to be shown, within the slot.
  const std::vector<gdi::Rect> updates = view_->TakeUpdates();
  ASSERT_FALSE(updates.empty());
  const gdi::Rect band = view_->Lines().Band(kSlotA);
  for (const gdi::Rect& u : updates)
    EXPECT_EQ(gdi::Intersect(u, band), u);
}

TEST_F(WipeTest, ALateSyllableStartsAtItsOwnArrival) {
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  const SyllableSpan first = Begin(kTwin, 200);
  time_.Advance(200);
  EXPECT_EQ(Drawn(), first.start + first.width);
  time_.Advance(400); // nothing for 400 ms
  const SyllableSpan second = Begin(kKle, 300);
  EXPECT_EQ(Drawn(), first.start + first.width);
  time_.Advance(20);
  EXPECT_EQ(Drawn(), second.start + second.width * 20 / 300);
  time_.Advance(260);
  EXPECT_EQ(Drawn(), second.start + second.width * 280 / 300);
  EXPECT_TRUE(Running());
  time_.Advance(20);
  EXPECT_EQ(Drawn(), second.start + second.width);
  EXPECT_FALSE(Running());
  EXPECT_EQ(Mismatches(Drawn()), 0u);
}

TEST_F(WipeTest, ADurationOfZeroAndByCharacterAreSungAtTheFirstTick) {
  struct Case {
    bool byChar;
    uint32_t duration;
  };
  for (const Case& c : {Case{false, 0}, Case{true, 400}, Case{true, 0}}) {
    SCOPED_TRACE(::testing::Message() << c.byChar << " " << c.duration);
    ColourWipe& wipe = MakeWipe(20);
    wipe.SetByChar(c.byChar);
    wipe.Start(true);
    wipe.ResetLine();
    view_->RepaintAll();
    const SyllableSpan span = Begin(kTwin, c.duration);
    time_.Advance(20);
    EXPECT_EQ(Drawn(), span.start + span.width);
    EXPECT_FALSE(Running());
    EXPECT_EQ(Mismatches(Drawn()), 0u);
    wipe.Stop();
  }
}

TEST_F(WipeTest, EachColumnOfALineIsInvertedOnceAcrossItsSyllables) {
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  for (const Syllable& s : {kTwin, kKle, kTwinkle2}) {
    const SyllableSpan span = Begin(s, 140);
    time_.Advance(60);
    EXPECT_EQ(Mismatches(Drawn()), 0u) << s.text;
    time_.Advance(100);
    EXPECT_EQ(Drawn(), span.start + span.width) << s.text;
    EXPECT_EQ(Mismatches(Drawn()), 0u) << s.text;
  }
  // A syllable that starts behind the drawn edge draws nothing again.
  Begin(kKle, 100);
  time_.Advance(200);
  EXPECT_EQ(Mismatches(Drawn()), 0u);
  // The line's end sings the rest of it, outline included.
  wipe.FinishLine();
  EXPECT_EQ(Drawn(), view_->Lines().Slot(kSlotA).textWidth);
  EXPECT_EQ(view_->Pixels(), sung_);
}

TEST_F(WipeTest, AFinishedLineEqualsItsSungRenderingOverhangsIncluded) {
  struct Case {
    const char* text;
    const char* keys;
  };
  const Case cases[] = {{"jump fly", ""}, {"fjord jiffy", "Italic=1\n"}, {"VAWf", "Italic=1\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TestView view(kWidth, kHeight, false, "", 1, c.keys);
    TestView sung(kWidth, kHeight, true, "", 1, c.keys);
    for (TestView* v : {&view, &sung}) {
      v->Lines().PlaceLineForState(1, c.text, 0, 0);
      v->Frame().slotState = 2;
      v->Flush();
    }
    ColourWipe wipe(view.Lines(), view.Frame(), 20);
    wipe.Start(true);
    wipe.BeginSyllable(0, view.Lines().Slot(kSlotA).textWidth / 2, 100);
    time_.Advance(100);
    view.RepaintAll();
    wipe.FinishLine();
    EXPECT_EQ(view.Pixels(), sung.Pixels());
    view.RepaintAll();
    EXPECT_EQ(view.Pixels(), sung.Pixels());
  }
}

TEST_F(WipeTest, ARepaintInTheMiddleOfASyllableChangesNothing) {
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  Begin(kTwin, 200);
  time_.Advance(200);
  const SyllableSpan span = Begin(kKle, 400);
  time_.Advance(200);
  ASSERT_GT(Drawn(), span.start);
  ASSERT_LT(Drawn(), span.start + span.width);
  const std::vector<gdi::Colour> before = view_->Pixels();
  view_->RepaintAll();
  EXPECT_EQ(view_->Pixels(), before);
  // A resize to the same size makes a new bitmap; the paint prepares it
  // before restoring the sung part.
  view_->Lines().Resize(kWidth, kHeight);
  view_->Flush();
  EXPECT_EQ(view_->Pixels(), before);
  time_.Advance(200);
  EXPECT_EQ(Drawn(), span.start + span.width);
  EXPECT_EQ(Mismatches(Drawn()), 0u);
}

TEST_F(WipeTest, ASungLineStaysSungWhenTheNextLineIsSungAndTheViewRepainted) {
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  Begin(kTwin, 100);
  time_.Advance(40);
  // The next line's information: the line being sung ends, the new one goes
  // to slot B.
  LyricFrameState& frame = view_->Frame();
  wipe.FinishLine();
  frame.currentLine = 1;
  ASSERT_TRUE(view_->Lines().PlaceLineForState(frame.slotState, "little star", 16, 1));
  frame.slotState = 3;
  wipe.ResetLine();
  view_->Flush();
  view_->RepaintAll();
  const gdi::Rect bandA = view_->Lines().Band(kSlotA);
  EXPECT_EQ(PixelsIn(view_->Pixels(), kWidth, bandA), PixelsIn(sung_, kWidth, bandA));
  // Slot B is the current slot now and is wiped from its own start.
  Begin({16, "lit"}, 100);
  time_.Advance(100);
  EXPECT_GT(Drawn(), 0);
  EXPECT_EQ(PixelsIn(view_->Pixels(), kWidth, bandA), PixelsIn(sung_, kWidth, bandA));
}

TEST_F(WipeTest, BeforeAnyLineAdvancesTheStateSlotAIsSungAndRepaintedAlike) {
  // Slot state 1: the wipe draws on slot A, and a repaint restores slot A.
  view_->Frame().slotState = 1;
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  const SyllableSpan span = Begin(kTwin, 200);
  time_.Advance(100);
  ASSERT_GT(Drawn(), span.start);
  const std::vector<gdi::Colour> before = view_->Pixels();
  EXPECT_EQ(Mismatches(Drawn()), 0u);
  view_->RepaintAll();
  EXPECT_EQ(view_->Pixels(), before);
  // Slot state 0 has no current slot: nothing is drawn or restored.
  view_->Frame().slotState = 0;
  EXPECT_FALSE(view_->Lines().MeasureSyllable(kKle.offset));
  wipe.BeginSyllable(0, 100, 100);
  time_.Advance(200);
  EXPECT_EQ(view_->Pixels(), before);
}

TEST_F(WipeTest, WindowTimerPeriodIsAThirdOfThePeriodAndAtLeastFive) {
  struct Row {
    uint32_t period, window;
  };
  for (const Row& r : {Row{2, 5}, Row{20, 6}, Row{15, 5}, Row{18, 6}, Row{30, 10}, Row{0, 5}}) {
    ColourWipe wipe(view_->Lines(), view_->Frame(), r.period);
    EXPECT_EQ(wipe.WindowTimerPeriodMs(), r.window) << r.period;
  }
  // A period of 0 would make no timer at all; one beyond a second no wipe.
  EXPECT_EQ(ColourWipe(view_->Lines(), view_->Frame(), 0).PeriodMs(), 1u);
  EXPECT_EQ(ColourWipe(view_->Lines(), view_->Frame(), 1u << 30).PeriodMs(), 1000u);
}

TEST_F(WipeTest, SteppedModeDrawsOnlyOnKicksForItsSpellAndThenRunsFreely) {
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  EXPECT_TRUE(windowTimer_.empty());
  time_.Advance(40);
  wipe.SwitchToStepped();
  EXPECT_FALSE(wipe.FreeRunning());
  EXPECT_EQ(windowTimer_, std::vector<uint32_t>{6});
  EXPECT_EQ(wipe.SwitchTime(), kStartMs + 40);
  const SyllableSpan span = Begin(kTwin, 400);
  time_.Advance(60);
  EXPECT_EQ(Drawn(), 0); // no kick, no step
  wipe.WindowTimerTick();
  EXPECT_TRUE(wipe.Kicked());
  time_.Advance(20);
  EXPECT_EQ(Drawn(), span.start + span.width * 80 / 400);
  EXPECT_FALSE(wipe.Kicked());
  time_.Advance(100);
  EXPECT_EQ(Drawn(), span.start + span.width * 80 / 400);
  // 300 ms after the switch the window timer gives the pacing back.
  time_.Advance(180); // 360 ms since the switch
  wipe.WindowTimerTick();
  EXPECT_TRUE(wipe.FreeRunning());
  EXPECT_EQ(wipe.SwitchTime(), 0u);
  EXPECT_EQ(windowTimer_, (std::vector<uint32_t>{6, 0}));
  time_.Advance(20);
  EXPECT_EQ(Drawn(), span.start + span.width * 380 / 400);
  EXPECT_EQ(Mismatches(Drawn()), 0u);
  // Switching to free running twice, or to stepped while stepped, changes
  // nothing.
  wipe.SwitchToFreeRunning();
  EXPECT_EQ(windowTimer_.size(), 2u);
}

TEST_F(WipeTest, StartAndStopManageBothTimers) {
  ColourWipe& wipe = MakeWipe(20);
  EXPECT_TRUE(wipe.Start(false));
  EXPECT_TRUE(wipe.TimerRunning());
  EXPECT_TRUE(wipe.WipeActive());
  EXPECT_TRUE(wipe.Kicked());
  EXPECT_EQ(windowTimer_, std::vector<uint32_t>{6});
  EXPECT_EQ(time_.LiveEvents(), 1);
  EXPECT_EQ(time_.OpenPeriods(), 1);
  EXPECT_EQ(time_.PeriodOf(1), 20u);
  wipe.Start(true);
  EXPECT_EQ(time_.LiveEvents(), 1);
  EXPECT_EQ(time_.EventsCreated(), 1);
  wipe.Stop();
  EXPECT_FALSE(wipe.TimerRunning());
  EXPECT_FALSE(wipe.WipeActive());
  EXPECT_FALSE(wipe.Kicked());
  EXPECT_EQ(time_.LiveEvents(), 0);
  EXPECT_EQ(time_.OpenPeriods(), 0);
  EXPECT_EQ(windowTimer_, (std::vector<uint32_t>{6, 0}));
}

TEST_F(WipeTest, PausedOrHiddenTheWipeWaitsAndThenCatchesUp) {
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  const SyllableSpan span = Begin(kTwin, 400);
  time_.Advance(40);
  const int32_t at40 = Drawn();
  wipe.Pause();
  time_.Advance(100);
  EXPECT_EQ(Drawn(), at40);
  wipe.Resume();
  time_.Advance(20);
  EXPECT_EQ(Drawn(), span.start + span.width * 160 / 400);

  view_->Frame().lyricsShown = false;
  time_.Advance(100);
  EXPECT_EQ(Drawn(), span.start + span.width * 160 / 400);
  view_->Frame().lyricsShown = true;
  time_.Advance(20);
  EXPECT_EQ(Drawn(), span.start + span.width * 280 / 400);
  EXPECT_EQ(Mismatches(Drawn()), 0u);
}

TEST_F(WipeTest, WithoutAWipeBitmapTheEdgeStaysAndIsRetried) {
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  const SyllableSpan span = Begin(kTwin, 400);
  view_->Lines().DiscardWipeBitmap();
  time_.Advance(100);
  EXPECT_EQ(Drawn(), 0);
  EXPECT_TRUE(Running());
  EXPECT_EQ(view_->Pixels(), unsung_);
  view_->Lines().Resize(kWidth, kHeight);
  view_->Flush();
  time_.Advance(20);
  EXPECT_EQ(Drawn(), span.start + span.width * 120 / 400);
  EXPECT_EQ(Mismatches(Drawn()), 0u);
}

TEST_F(WipeTest, SpansOutOfRangeAreHeldToTheLine) {
  ColourWipe& wipe = MakeWipe(20);
  wipe.Start(true);
  const int32_t textWidth = view_->Lines().Slot(kSlotA).textWidth;
  struct Case {
    int32_t start, width;
    int32_t heldStart, heldWidth;
  };
  const Case cases[] = {
      {-50, 100, 0, 100},
      {10, -5, 10, 0},
      {10, 1 << 30, 10, textWidth - 10},
      {1 << 30, 10, textWidth, 0},
      {INT32_MIN, INT32_MAX, 0, textWidth},
  };
  for (const Case& c : cases) {
    wipe.BeginSyllable(c.start, c.width, 100);
    EXPECT_EQ(view_->Frame().syllableStart.load(), c.heldStart);
    EXPECT_EQ(view_->Frame().syllableWidth.load(), c.heldWidth);
    EXPECT_EQ(view_->Lines().Wipe().wipeEnd.load(), c.heldStart + c.heldWidth);
  }
  time_.Advance(100);
  EXPECT_LE(Drawn(), textWidth);
  EXPECT_EQ(Mismatches(Drawn()), 0u);
}

TEST_F(WipeTest, TheClockWrappingDoesNotStallTheWipe) {
  media::VirtualTime late(0xFFFFFF00u);
  media::InstallTimeSource(&late);
  {
    ColourWipe wipe(view_->Lines(), view_->Frame(), 20);
    wipe.Start(true);
    view_->Lines().SetCurrentSyllable(kTwin.text);
    const SyllableSpan m = view_->Lines().MeasureSyllable(0).value();
    wipe.BeginSyllable(m.start, m.width, 1000);
    late.Advance(500); // across 2^32
    EXPECT_EQ(Drawn(), m.start + m.width * 500 / 1000);
    late.Advance(500);
    EXPECT_EQ(Drawn(), m.start + m.width);
  }
  media::InstallTimeSource(&time_);
}

} // namespace
} // namespace display

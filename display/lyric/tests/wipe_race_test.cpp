// The wipe on the real timer's own thread while the user-interface thread
// places lines, begins syllables, repaints and finishes lines as fast as it
// can: no column is ever inverted twice, so once each line has ended the view
// equals a rendering of the lines wholly in their sung colours.
#include "display/lyric/colour_wipe.h"
#include "support/lyric_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace display {
namespace {

using namespace display::testing;

// Waits, with a bound, until the wipe has finished its syllable.
bool WaitForSyllable(const LyricLines& lines) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (lines.Wipe().running.load()) {
    if (std::chrono::steady_clock::now() > until)
      return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(WipeRace, TheUserInterfaceThreadNeverTurnsSungColumnsBack) {
  media::InstallTimeSource(nullptr);
  const int32_t w = 480, h = 200;
  const std::vector<std::string> lines = {"Twinkle twinkle", "little star",  "how I wonder",
                                          "Twinkle twinkle", "what you are", "little star"};
  TestView view(w, h);
  LyricLines& l = view.Lines();
  LyricFrameState& frame = view.Frame();
  // A slow screen: each transfer shown takes a while, so that the timer's
  // steps overlap what the user-interface thread does as often as possible.
  l.SetUpdate([](const gdi::Rect&) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(3);
    while (std::chrono::steady_clock::now() < until) {
    }
  });
  ColourWipe wipe(l, frame, 1);
  ASSERT_TRUE(wipe.Start(true));
  std::mt19937 random(7);
  int32_t offset = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    // The line's information, as the lyric events bring it.
    wipe.FinishLine();
    frame.currentLine = static_cast<int32_t>(i);
    l.PlaceLineForState(frame.slotState, lines[i], offset, static_cast<int32_t>(i));
    frame.slotState = frame.slotState == 2 ? 3 : 2;
    wipe.ResetLine();
    view.Flush();
    const int slot = CurrentSlotOf(frame.slotState);
    // Syllables of two or three bytes, some of no duration, some repainted
    // in the middle, some measured again after a new layout.
    for (uint32_t at = 0; at < lines[i].size(); at += 2 + random() % 2) {
      const std::string syllable = lines[i].substr(at, 3);
      l.SetCurrentSyllable(syllable);
      const SyllableSpan span = WipeSpanOf(l.MeasureSyllable(offset + at).value(),
                                           l.Slot(slot).blankWidth, syllable[0] == ' ');
      wipe.BeginSyllable(span.start, span.width, random() % 4 == 0 ? 0 : 2 + random() % 6);
      if (random() % 3 == 0)
        view.RepaintAll();
      if (random() % 5 == 0) {
        wipe.Pause();
        l.LayOut(gdi::Rect{0, 0, w, h}, offset + at);
        wipe.Resume();
        view.RepaintAll();
      }
      ASSERT_TRUE(WaitForSyllable(l));
    }
    offset += static_cast<int32_t>(lines[i].size()) + 1;
  }
  wipe.FinishLine();
  wipe.Stop();

  // The two lines last shown, each wholly sung.
  TestView sung(w, h, true);
  sung.Lines().PlaceLine(kSlotA, lines[lines.size() - 2], 0, 0);
  sung.Lines().PlaceLine(kSlotB, lines.back(), 0, 1);
  sung.Flush();
  EXPECT_EQ(l.Slot(kSlotA).text, lines[lines.size() - 2]);
  EXPECT_EQ(l.Slot(kSlotB).text, lines.back());
  const std::vector<gdi::Colour> got = view.Pixels();
  const std::vector<gdi::Colour> want = sung.Pixels();
  size_t wrong = 0;
  for (size_t i = 0; i < got.size(); ++i)
    wrong += got[i] != want[i];
  EXPECT_EQ(wrong, 0u);
  // And a repaint keeps it so.
  view.RepaintAll();
  EXPECT_EQ(view.Pixels(), want);
}

} // namespace
} // namespace display

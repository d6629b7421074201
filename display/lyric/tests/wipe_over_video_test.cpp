// The colour wipe on the real timer drawing on a window's surface while MPEG
// video is keyed into that window: clips are opened, played, sought and
// closed two hundred times, closes landing while frames are on their way,
// and the window's widget composes every frame it shows from its surface.
#include "display/lyric/colour_wipe.h"
#include "display/lyric/lyric_lines.h"
#include "display/lyric/lyric_style_table.h"
#include "platform/media/mci.h"
#include "platform/media/mpegvideo.h"
#include "platform/media/tests/support/video_clips.h"
#include "platform/ui/window/colour_key.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"
#include "support/lyric_fixture.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace display {
namespace {

using namespace display::testing;

constexpr gdi::Colour kKey = gdi::Rgb(128, 0, 128);

void StartWidgets() {
  static const bool ready = [] {
    static ScratchDir runtime;
    setenv("VEXO_RUNTIME_DIR", runtime.Path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "lyric_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // kept for the process
    return true;
  }();
  (void)ready;
}

TEST(WipeOverVideo, TwoHundredVideoCyclesWhileTheWipeDrawsOnTheKeyedWindow) {
  if (!mediatest::HaveFfmpeg())
    GTEST_SKIP() << "no ffmpeg";
  const std::string clip = mediatest::Mpeg1Clip();
  ASSERT_FALSE(clip.empty());
  StartWidgets();
  media::InstallTimeSource(nullptr);
  media::RegisterVideoDevices();
  if (!win::IsClassRegistered("WipeOverVideo")) {
    ui::ScreenClass c;
    c.name = "WipeOverVideo";
    c.factory = [] { return std::make_unique<ui::ScreenWindow>(); };
    c.background = kKey;
    ASSERT_TRUE(ui::RegisterScreenClass(c));
  }
  win::CreateParams p;
  p.className = "WipeOverVideo";
  p.style = win::WS_POPUP;
  p.width = 320;
  p.height = 120;
  const win::Hwnd hwnd = win::CreateWindow(p);
  ASSERT_NE(hwnd, 0u);
  ui::ShowWindow(hwnd, ui::SW_SHOW);
  auto dc = ui::GetDc(hwnd);
  ASSERT_TRUE(dc);

  ScratchDir dir;
  LyricStyleTable styles(dir.File("config.ini"));
  styles.LoadAndStore();
  LyricFrameState frame;
  LyricLines lines(styles, frame);
  lines.SetSurface(dc->Target());
  lines.SetInvalidate([hwnd](const gdi::Rect& area) { ui::InvalidateRect(hwnd, &area, false); });
  lines.Resize(320, 120);
  const std::string text = "Twinkle twinkle little star";
  auto paint = [&] {
    gdi::Dc d(dc->Target());
    d.FillRect(gdi::Rect{0, 0, 320, 120}, kKey);
    lines.OnPaint(d);
  };
  ColourWipe wipe(lines, frame, 1);
  ASSERT_TRUE(wipe.Start(true));

  const std::string quoted = media::mci::QuoteWord(clip, true);
  int failures = 0;
  for (int i = 0; i < 200; ++i) {
    if (i % 20 == 0) {
      // A new line, wiped a syllable at a time across the cycles.
      wipe.FinishLine();
      frame.currentLine = i / 20;
      lines.PlaceLineForState(frame.slotState, text, 0, i / 20);
      frame.slotState = frame.slotState == 2 ? 3 : 2;
      wipe.ResetLine();
      paint();
    }
    const uint32_t at = static_cast<uint32_t>(i % 20) * 3 % text.size();
    lines.SetCurrentSyllable(text.substr(at, 3));
    if (auto m = lines.MeasureSyllable(at)) {
      const SyllableSpan span = WipeSpanOf(*m, lines.Slot(CurrentSlotOf(frame.slotState)).blankWidth,
                                           text[at] == ' ');
      wipe.BeginSyllable(span.start, span.width, 4 + i % 9);
    }
    failures += media::mci::SendString("open mpegvideo type mpegvideo alias v") != 0;
    failures += media::mci::SendString("window v handle " + std::to_string(hwnd)) != 0;
    failures += media::mci::SendString("set v video key color to 128:0:128") != 0;
    failures += media::mci::SendString("load v " + quoted) != 0;
    failures += media::mci::SendString("play v repeat notify", nullptr, 0, hwnd) != 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(i % 9);
    while (std::chrono::steady_clock::now() < until) {
      win::ProcessPendingMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (i % 3 == 0) {
      failures += media::mci::SendString("seek v to " + std::to_string(i * 10 % 2000)) != 0;
      failures += media::mci::SendString("play v notify", nullptr, 0, hwnd) != 0;
      win::ProcessPendingMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(i % 5));
    }
    failures += media::mci::SendString("close v") != 0;
    win::ProcessPendingMessages();
  }
  wipe.Stop();
  EXPECT_EQ(failures, 0);
  EXPECT_GT(ui::KeyedFrameCount(hwnd), 0u);
  media::mci::CloseAll();
  win::DestroyWindow(hwnd);
}

} // namespace
} // namespace display

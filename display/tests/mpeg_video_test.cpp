// MPEG video behind the lyrics: the frame in mode 2 plays a clip on the real
// "mpegvideo" device, and its views show the video wherever they are
// painted in the key colour.
#include "display/tests/support/frame_fixture.h"

#include "platform/media/mci.h"
#include "platform/media/mpegvideo.h"
#include "platform/media/tests/support/video_clips.h"
#include "platform/sys/paths.h"
#include "platform/ui/window/colour_key.h"
#include "platform/ui/window/snapshot.h"

#include <filesystem>

using namespace display;
using namespace displaytest;

namespace {

TEST_F(FrameTest, InModeTwoTheViewsShowTheVideoThroughTheKeyColour) {
  if (!mediatest::HaveFfmpeg())
    GTEST_SKIP() << "no ffmpeg";
  const std::string clip = mediatest::MakeClip(
      "display-640.mpg", "-f lavfi -i testsrc2=size=640x480:rate=25 -t 4 -c:v mpeg1video -f mpeg");
  ASSERT_FALSE(clip.empty());
  media::RegisterVideoDevices();
  dir.Write("config.ini",
            "[Words]\nDisplay=2\n[Mpeg]\nCheck=1\nFile=" + *sys::ToStoredPath(clip) + "\n");
  CKivo32Frame& f = Start();
  ASSERT_TRUE(f.Mpeg().IsOpen());
  ASSERT_EQ(f.BackgroundMode(), kModeMpeg);
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegPlay, 0);
  EXPECT_TRUE(f.Mpeg().IsPlaying());
  ASSERT_TRUE(PumpUntil([&] { return ui::KeyedFrameCount(hwnd) > 3; }));
  ui::InvalidateRect(f.Word()->Hwnd(), nullptr, true);
  ui::UpdateWindow(f.Word()->Hwnd());

  // The frame and the lyric view hold the key colour themselves, and show
  // the video there: no key-coloured pixel is left in what they show.
  for (win::Hwnd w : {hwnd, f.Word()->Hwnd()}) {
    auto own = ui::GetDc(w);
    ASSERT_TRUE(own);
    auto shown = ui::ComposedPixels(w);
    ASSERT_TRUE(shown);
    size_t keyOwn = 0, keyShown = 0;
    const gdi::Rect client = *ui::GetClientRect(w);
    for (int32_t y = 0; y < client.Height(); y += 3)
      for (int32_t x = 0; x < client.Width(); x += 3) {
        keyOwn += own->GetPixel(x, y) == kMpegKeyColour;
        keyShown += (*shown)[static_cast<size_t>(y) * client.Width() + x] == kMpegKeyColour;
      }
    EXPECT_GT(keyOwn, 0u) << w;
    EXPECT_EQ(keyShown, 0u) << w;
  }
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(ui::SaveWindowImage(hwnd, folder + "/kivo32-background-mpeg.png"));

  // Video off hands the key colour back; the clip goes on underneath.
  win::SendMessage(hwnd, win::WM_USER, kVideoOffRequest, 0);
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegStop, 0);
  Close();
  EXPECT_EQ(media::mci::GetDeviceId("mpegvideo"), 0u);
}

} // namespace

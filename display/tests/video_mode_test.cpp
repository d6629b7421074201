// The own windows' requests that switch the background between still images
// and MPEG video.
#include "display/tests/support/frame_fixture.h"

using namespace display;
using namespace displaytest;

namespace {

class VideoModeTest : public FrameTest {
protected:
  // A frame in mode 0, with or without the MPEG board.
  CKivo32Frame& StartWithBoard(bool board) {
    media::mci::Script& s = ScriptDevices();
    s.Allow({"open mpegvideo type mpegvideo", "close mpegvideo", "open mpegvideo style overlapped",
             "window mpegvideo handle *", "window mpegvideo text *", "put mpegvideo destination",
             "set mpegvideo time format ms", "set mpegvideo video key color to 128:0:128",
             "set mpegvideo video on", "set mpegvideo video off"});
    s.Set("info mpegvideo product", {media::mci::kOk, board ? kMpegProduct : "Other Board"});
    dir.Write("config.ini", "[Words]\nDisplay=0\n[Mpeg]\nCheck=1\n");
    CKivo32Frame& f = Start();
    s.ClearSent();
    return f;
  }
  std::vector<std::string> Sent() const {
    std::vector<std::string> out;
    for (const auto& c : script->Sent())
      if (!c.starts_with("put mpegvideo"))
        out.push_back(c);
    return out;
  }
};

TEST_F(VideoModeTest, MpegRequestsSwitchTheVideoAndTheMode) {
  CKivo32Frame& f = StartWithBoard(true);
  ASSERT_TRUE(f.Mpeg().IsOpen());
  ASSERT_EQ(f.BackgroundMode(), kModeStill);
  struct Step {
    win::WParam request;
    int32_t mode;
    std::vector<std::string> sent;
  } steps[] = {
      {kMpegVideoRequest, kModeMpeg, {"set mpegvideo video on"}},
      {kMpegVideoRequest, kModeMpeg, {}}, // already on
      {kVideoOffRequest, kModeStill, {"set mpegvideo video off"}},
      {kVideoOffRequest, kModeStill, {}},
      {kMpegVideoRequest, kModeMpeg, {"set mpegvideo video on"}},
  };
  for (const auto& s : steps) {
    script->ClearSent();
    win::SendMessage(hwnd, win::WM_USER, s.request, 0);
    EXPECT_EQ(f.BackgroundMode(), s.mode) << s.request;
    EXPECT_EQ(Sent(), s.sent) << s.request;
  }
  // Mode 2 keys the frame on the board's colour.
  ui::InvalidateRect(hwnd, nullptr, true);
  ui::UpdateWindow(hwnd);
  auto dc = ui::GetDc(hwnd);
  ASSERT_TRUE(dc);
  EXPECT_EQ(dc->GetPixel(1, 1), kMpegKeyColour);
  Close();
  EXPECT_EQ(Ini("Words", "Display"), "2");
}

TEST_F(VideoModeTest, WithoutTheBoardTheMpegRequestDoesNothing) {
  CKivo32Frame& f = StartWithBoard(false);
  EXPECT_FALSE(f.Mpeg().IsOpen());
  win::SendMessage(hwnd, win::WM_USER, kMpegVideoRequest, 0);
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  EXPECT_TRUE(Sent().empty());
}

} // namespace

// The clip player of background mode 3 on the real "digitalvideo" device:
// its placement in the info view, its play-once and repeat, the end notice
// that asks the frame for the next clip, and its failures.
#include "display/avi.h"
#include "display/tests/support/frame_fixture.h"

#include "platform/media/mci.h"
#include "platform/media/mpegvideo.h"
#include "platform/media/overlay_device.h"
#include "platform/ui/window/colour_key.h"
#include "platform/media/tests/support/video_clips.h"
#include "platform/media/virtual_time.h"
#include "platform/ui/window/snapshot.h"

#include <filesystem>

using namespace display;
using namespace displaytest;

namespace {

// A parent of 200 x 100 that counts the end notices it is sent.
class ParentWindow : public ui::ScreenWindow {
public:
  std::vector<win::WParam> notices;

protected:
  win::LResult OnMessage(uint32_t m, win::WParam w, win::LParam l) override {
    if (m == win::MM_MCINOTIFY)
      notices.push_back(w);
    return ScreenWindow::OnMessage(m, w, l);
  }
};

std::string Clip320() {
  return mediatest::MakeClip("avi-320.avi", "-f lavfi -i testsrc2=size=320x240:rate=10 -t 1 "
                                            "-c:v rawvideo -pix_fmt bgr24 -f avi");
}

class AviPlayerTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!mediatest::HaveFfmpeg())
      GTEST_SKIP() << "no ffmpeg";
    StartSession();
    media::RegisterVideoDevices();
    if (!win::IsClassRegistered("AviParent")) {
      ui::ScreenClass c;
      c.name = "AviParent";
      c.factory = [] { return std::make_unique<ParentWindow>(); };
      c.background = gdi::Rgb(0, 0, 0);
      ASSERT_TRUE(ui::RegisterScreenClass(c));
    }
    win::CreateParams p;
    p.className = "AviParent";
    p.style = win::WS_POPUP | win::WS_VISIBLE;
    p.width = 200;
    p.height = 100;
    parent = win::CreateWindow(p);
    ASSERT_NE(parent, 0u);
    window = static_cast<ParentWindow*>(win::GetWindowObject(parent));
    clip = Clip320();
    ASSERT_FALSE(clip.empty());
    media::InstallTimeSource(&clock);
  }
  void TearDown() override {
    player.Close();
    media::mci::CloseAll();
    media::InstallTimeSource(nullptr);
    if (parent)
      win::DestroyWindow(parent);
  }
  std::vector<win::WParam> Notices() {
    win::ProcessPendingMessages();
    return window->notices;
  }
  void Run(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 10)
      clock.Advance(10);
  }
  // The video window's rectangle in the parent's client area.
  gdi::Rect Shown() const {
    const gdi::Rect r = ui::GetWindowRect(player.VideoWindow()).value_or(gdi::Rect{});
    const gdi::Point at = ui::ScreenToClient(parent, {r.left, r.top});
    return gdi::MakeRect(at.x, at.y, r.Width(), r.Height());
  }

  media::VirtualTime clock{5000};
  win::Hwnd parent = 0;
  ParentWindow* window = nullptr;
  std::string clip;
  AviPlayer player;
};

TEST_F(AviPlayerTest, ALargerClipIsCentredWithNegativeOffsetsAndFullScreenFillsTheView) {
  ASSERT_TRUE(player.Open(parent, clip));
  ASSERT_NE(player.VideoWindow(), 0u);
  EXPECT_EQ(win::GetParent(player.VideoWindow()), parent);
  EXPECT_EQ(player.VideoRect(), gdi::MakeRect(-60, -70, 320, 240));
  EXPECT_EQ(Shown(), gdi::MakeRect(-60, -70, 320, 240));
  EXPECT_TRUE(ui::IsWindowVisible(player.VideoWindow()));

  player.SetFullScreen(true);
  player.Place(parent);
  EXPECT_EQ(player.VideoRect(), gdi::MakeRect(0, 0, 200, 100));
  EXPECT_EQ(Shown(), gdi::MakeRect(0, 0, 200, 100));

  // No parent to place by: the clip's window is hidden where it is.
  player.Place(0);
  EXPECT_FALSE(ui::IsWindowVisible(player.VideoWindow()));
  EXPECT_EQ(Shown(), gdi::MakeRect(0, 0, 200, 100));
}

TEST_F(AviPlayerTest, PlayedOnceTheNaturalEndGivesOneSuccessfulNotice) {
  ASSERT_TRUE(player.Open(parent, clip));
  player.PlayOrStop(parent, true);
  EXPECT_TRUE(player.IsPlaying());
  Run(2500);
  EXPECT_EQ(Notices(), std::vector<win::WParam>{media::mci::kNotifySuccessful});
  Run(1000);
  EXPECT_EQ(Notices().size(), 1u);
}

TEST_F(AviPlayerTest, WithoutPlayOnceTheClipRepeatsAndOnlyTheStopEndsIt) {
  player.SetPlayOnce(false);
  ASSERT_TRUE(player.Open(parent, clip));
  player.PlayOrStop(parent, true);
  Run(3500);
  EXPECT_TRUE(Notices().empty());
  player.PlayOrStop(parent, true); // the toggle stops
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(Notices(), std::vector<win::WParam>{media::mci::kNotifyAborted});
}

TEST_F(AviPlayerTest, ANewClipStartsStoppedSoThatTheNextPlayPlaysIt) {
  ASSERT_TRUE(player.Open(parent, clip));
  player.PlayOrStop(parent, true);
  const media::mci::DeviceId first = player.Device();
  ASSERT_TRUE(player.Open(parent, clip));
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_NE(player.Device(), first);
  EXPECT_FALSE(player.OwnsNotice(first));
  EXPECT_TRUE(player.OwnsNotice(player.Device()));
  player.PlayOrStop(parent, true);
  EXPECT_TRUE(player.IsPlaying());
  // The first clip's play was ended by its close, not by its end.
  Run(2500);
  EXPECT_EQ(Notices(), (std::vector<win::WParam>{media::mci::kNotifyAborted,
                                                 media::mci::kNotifySuccessful}));
}

TEST_F(AviPlayerTest, AClipThatCannotBeOpenedLeavesNothingButItsErrorText) {
  const std::string text = mediatest::WriteFile("no-clip.avi", "not a clip\n");
  EXPECT_FALSE(player.Open(parent, text));
  EXPECT_FALSE(player.IsOpen());
  EXPECT_EQ(player.ErrorText(), media::mci::ErrorText(media::mci::kErrInvalidFile));
  EXPECT_EQ(win::FindWindowEx(parent, std::nullopt, std::nullopt), 0u);
  EXPECT_EQ(player.VideoRect(), gdi::Rect{});
  // A good open afterwards clears it.
  EXPECT_TRUE(player.Open(parent, clip));
  EXPECT_EQ(player.ErrorText(), "");
}

TEST(AviErrorText, IsCutToTwoHundredBytesOnACharacterBoundary) {
  const std::string e3 = "\xE2\x82\xAC"; // three bytes
  struct Case {
    std::string text;
    size_t want;
  } cases[] = {
      {std::string(150, 'a'), 150},
      {std::string(199, 'a'), 199},
      {std::string(300, 'a'), 199},
      {std::string(197, 'a') + e3, 197}, // 200 bytes: the sign would end at 200
      {std::string(196, 'a') + e3, 199},
      {std::string(198, 'a') + e3 + "b", 198},
      {"", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CutErrorText(c.text).size(), c.want) << c.text.size();
  }
  AviPlayer player([&](uint32_t) { return std::string(120, 'x') + std::string(40, 'y') + e3 + e3 +
                                          std::string(100, 'z'); });
  EXPECT_FALSE(player.Open(0, "/nowhere/at/all.avi"));
  EXPECT_EQ(player.ErrorText().size(), 199u);
  EXPECT_EQ(player.ErrorText().substr(160, 6), e3 + e3);
}

// Mode 3 in the frame: a clip dropped while a mode-2 record placed the
// display plays in the info view.
TEST_F(FrameTest, ADroppedClipUnderAModeTwoRecordPlaysInTheInfoView) {
  if (!mediatest::HaveFfmpeg())
    GTEST_SKIP() << "no ffmpeg";
  const std::string clip = Clip320();
  ASSERT_FALSE(clip.empty());
  media::RegisterVideoDevices();
  SetInfoVideoFactory([] { return std::make_unique<AviPlayer>(); });
  dir.Write("config.ini", "[Avi/Flc]\nFullScreen=1\n");
  CKivo32Frame& f = Start();
  DisplayModeRecord d;
  d.mode = 2;
  d.hostWindow = 0;
  d.x = 0, d.y = 0, d.width = 640, d.height = 480;
  const auto bytes = WriteDisplayModeRecord(d);
  win::SendCopyData(hwnd, 0, kDisplayModeCopy, bytes.data(), static_cast<uint32_t>(bytes.size()));
  ASSERT_TRUE(f.PlacedByMode2());
  f.OpenFile(clip);
  EXPECT_EQ(f.BackgroundMode(), kModeInfo);
  ASSERT_TRUE(f.Info()->VideoOpen());
  EXPECT_TRUE(f.Info()->VideoPlaying());
  auto* avi = static_cast<AviPlayer*>(f.Info()->Video());
  ASSERT_NE(avi->VideoWindow(), 0u);
  EXPECT_EQ(win::GetParent(avi->VideoWindow()), f.Info()->Hwnd());
  const gdi::Rect view = *ui::GetClientRect(f.Info()->Hwnd());
  EXPECT_EQ(avi->VideoRect(), gdi::MakeRect(0, 0, view.Width(), view.Height()));
  ASSERT_TRUE(PumpUntil([&] {
    auto dc = ui::GetDc(avi->VideoWindow());
    return dc && dc->Target()->Pixel(view.Width() / 2, view.Height() / 2) != 0;
  }));
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(ui::SaveWindowImage(hwnd, folder + "/kivo32-background-avi-frame.png"));
  // Video off closes the clip and its window.
  win::SendMessage(hwnd, win::WM_USER, kVideoOffRequest, 0);
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  EXPECT_FALSE(f.Info()->VideoOpen());
  Close();
  SetInfoVideoFactory(nullptr);
}

TEST_F(FrameTest, TheAviRequestWithNoClipsFallsBackToStillImages) {
  CKivo32Frame& f = Start();
  win::SendMessage(hwnd, win::WM_USER, kAviVideoRequest, 0);
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  Close();
}

} // namespace

namespace {

// Mode 1 on the overlay device, its picture an FFmpeg test pattern.
TEST_F(FrameTest, InModeOneTheOverlaysLivePictureShowsBehindTheLyrics) {
  if (!mediatest::HaveFfmpeg())
    GTEST_SKIP() << "no ffmpeg";
  media::RegisterVideoDevices();
  setenv(media::kOverlaySourceVariable, "testsrc2=size=320x240:rate=25", 1);
  dir.Write("config.ini", "[Words]\nDisplay=1\n[Overlay]\nCheck=1\n");
  CKivo32Frame& f = Start();
  unsetenv(media::kOverlaySourceVariable);
  ASSERT_TRUE(f.Overlay().IsOpen());
  EXPECT_FALSE(f.Overlay().IsModel());
  EXPECT_EQ(f.Overlay().KeyColour(), gdi::Rgb(128, 0, 128));
  ASSERT_EQ(f.BackgroundMode(), kModeOverlay);
  ASSERT_TRUE(PumpUntil([&] { return ui::KeyedFrameCount(hwnd) > 5; }));
  ui::InvalidateRect(f.Word()->Hwnd(), nullptr, true);
  ui::UpdateWindow(f.Word()->Hwnd());
  for (win::Hwnd w : {hwnd, f.Word()->Hwnd()}) {
    auto shown = ui::ComposedPixels(w);
    ASSERT_TRUE(shown);
    size_t key = 0;
    for (gdi::Colour c : *shown)
      key += c == gdi::Rgb(128, 0, 128);
    EXPECT_EQ(key, 0u) << w;
  }
  // The pattern moves: two moments differ.
  const auto first = *ui::ComposedPixels(hwnd);
  const uint64_t at = ui::KeyedFrameCount(hwnd);
  ASSERT_TRUE(PumpUntil([&] { return ui::KeyedFrameCount(hwnd) > at + 3; }));
  EXPECT_NE(*ui::ComposedPixels(hwnd), first);
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(ui::SaveWindowImage(hwnd, folder + "/kivo32-background-overlay.png"));
  ui::Menu menu = f.SysMenu()->PreparedMenu();
  EXPECT_TRUE(menu.Find(cmd::kOverlayMode)->enabled);
  // Back to still images and to the overlay again.
  win::SendMessage(hwnd, win::WM_USER, kVideoOffRequest, 0);
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  win::SendMessage(hwnd, win::WM_USER, kOverlayVideoRequest, 0);
  EXPECT_EQ(f.BackgroundMode(), kModeOverlay);
  Close();
}

TEST_F(FrameTest, WithNoOverlaySourceThereIsNoCardAndTheModeIsGreyed) {
  if (std::filesystem::exists("/dev/video0"))
    GTEST_SKIP() << "a capture device is there";
  media::RegisterVideoDevices();
  unsetenv(media::kOverlaySourceVariable);
  dir.Write("config.ini", "[Words]\nDisplay=1\n[Overlay]\nCheck=1\n");
  CKivo32Frame& f = Start();
  EXPECT_FALSE(f.Overlay().IsOpen());
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  ui::Menu menu = f.SysMenu()->PreparedMenu();
  EXPECT_FALSE(menu.Find(cmd::kOverlayMode)->enabled);
  win::SendMessage(hwnd, win::WM_USER, kOverlayVideoRequest, 0);
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  Close();
}

} // namespace

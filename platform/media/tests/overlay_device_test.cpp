// The "overlay" device on a live picture: an FFmpeg lavfi graph named by
// VEXO_OVERLAY_SOURCE stands in for the capture card, keyed into a window.
#include "platform/media/mci.h"
#include "platform/media/mpegvideo.h"
#include "platform/media/overlay_device.h"
#include "platform/media/tests/support/video_clips.h"

#include "platform/ui/window/colour_key.h"
#include "platform/ui/window/screen.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/test_session.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace media;

namespace {

constexpr const char* kGraph = "testsrc2=size=160x120:rate=25";

class OverlayDeviceTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!mediatest::HaveFfmpeg())
      GTEST_SKIP() << "no ffmpeg";
    wintest::StartTestSession();
    RegisterVideoDevices();
    if (!win::IsClassRegistered("OverlayDeviceTest")) {
      ui::ScreenClass c;
      c.name = "OverlayDeviceTest";
      c.factory = [] { return std::make_unique<ui::ScreenWindow>(); };
      c.background = gdi::Rgb(128, 0, 128);
      ASSERT_TRUE(ui::RegisterScreenClass(c));
    }
    win::CreateParams p;
    p.className = "OverlayDeviceTest";
    p.style = win::WS_POPUP;
    p.width = 160;
    p.height = 120;
    hwnd = win::CreateWindow(p);
    ASSERT_NE(hwnd, 0u);
    setenv(kOverlaySourceVariable, kGraph, 1);
  }
  void TearDown() override {
    unsetenv(kOverlaySourceVariable);
    mci::CloseAll();
    if (hwnd)
      win::DestroyWindow(hwnd);
  }
  std::string Ask(const std::string& command) {
    std::string answer;
    EXPECT_EQ(mci::SendString(command, &answer), mci::kOk) << command;
    return answer;
  }

  win::Hwnd hwnd = 0;
};

TEST_F(OverlayDeviceTest, TheCardsCommandsAreAnsweredAndItsPictureIsKeyedIn) {
  ASSERT_EQ(mci::SendString("open overlay style overlapped"), mci::kOk);
  EXPECT_EQ(Ask("info overlay product"), kOverlayProduct);
  ASSERT_EQ(mci::SendString("window overlay handle " + std::to_string(hwnd)), mci::kOk);
  EXPECT_EQ(Ask("status overlay window handle"), std::to_string(hwnd));
  EXPECT_EQ(mci::SendString("window overlay text Kivo32 display"), mci::kOk);
  EXPECT_EQ(mci::SendString("set overlay video key on"), mci::kOk);
  EXPECT_EQ(Ask("capability overlay card type"), "3");
  EXPECT_EQ(mci::SendString("set overlay card type to 3"), mci::kOk);
  EXPECT_EQ(mci::SendString("set overlay video key color to 128:0:128"), mci::kOk);
  EXPECT_EQ(Ask("get overlay video key"), "128 0 128");
  EXPECT_EQ(mci::SendString("set overlay source number to 3"), mci::kOk);
  for (const char* name : {"brightness", "saturation", "contrast", "hue", "video key correct"}) {
    EXPECT_EQ(mci::SendString(std::string("set overlay ") + name + " to 77"), mci::kOk) << name;
    EXPECT_EQ(Ask(std::string("get overlay ") + name), "77") << name;
    EXPECT_EQ(Ask(std::string("get overlay limit ") + name), "0 255") << name;
  }
  EXPECT_EQ(mci::SendString("put overlay destination at 10 20 100 80"), mci::kOk);
  EXPECT_EQ(Ask("get overlay display"), "10 20 100 80");
  EXPECT_EQ(mci::SendString("set overlay video key color to 1:2"), mci::kErrBadInteger);
  EXPECT_EQ(mci::SendString("set overlay card type to 2"), mci::kErrOutOfRange);

  EXPECT_EQ(mci::SendString("put overlay destination"), mci::kOk);
  const uint64_t before = ui::KeyedFrameCount(hwnd);
  ASSERT_EQ(mci::SendString("set overlay video on"), mci::kOk);
  // The live pattern keeps coming: frames are handed over while it is on.
  ASSERT_TRUE(win::RunMessageLoopUntil([&] { return ui::KeyedFrameCount(hwnd) > before + 5; },
                                       5000));
  auto shown = ui::ComposedPixels(hwnd);
  ASSERT_TRUE(shown);
  size_t key = 0;
  for (gdi::Colour c : *shown)
    key += c == gdi::Rgb(128, 0, 128);
  EXPECT_EQ(key, 0u);
  ASSERT_EQ(mci::SendString("set overlay video off"), mci::kOk);
  EXPECT_EQ(mci::SendString("close overlay"), mci::kOk);
}

TEST_F(OverlayDeviceTest, WithNeitherASourceNorACaptureDeviceThereIsNoCard) {
  if (std::filesystem::exists("/dev/video0"))
    GTEST_SKIP() << "a capture device is there";
  unsetenv(kOverlaySourceVariable);
  EXPECT_EQ(mci::SendString("open overlay style overlapped"), mci::kErrHardware);
  EXPECT_EQ(mci::GetDeviceId("overlay"), 0u);
}

TEST_F(OverlayDeviceTest, AClipFileNamedAsTheSourcePlaysRepeating) {
  const std::string clip = mediatest::Mpeg1Clip();
  ASSERT_FALSE(clip.empty());
  setenv(kOverlaySourceVariable, clip.c_str(), 1);
  ASSERT_EQ(mci::SendString("open overlay style overlapped"), mci::kOk);
  ASSERT_EQ(mci::SendString("window overlay handle " + std::to_string(hwnd)), mci::kOk);
  ASSERT_EQ(mci::SendString("set overlay video key on"), mci::kOk);
  ASSERT_EQ(mci::SendString("set overlay video key color to 128:0:128"), mci::kOk);
  ASSERT_EQ(mci::SendString("set overlay video on"), mci::kOk);
  // Two seconds of clip, played past its end.
  ASSERT_TRUE(win::RunMessageLoopUntil([&] { return ui::KeyedFrameCount(hwnd) > 60; }, 8000));
}

// Opened, switched on and closed over and over while frames are on their
// way to the window.
TEST_F(OverlayDeviceTest, TwoHundredOpenAndCloseCycles) {
  int failures = 0;
  for (int i = 0; i < 200; ++i) {
    failures += mci::SendString("open overlay style overlapped") != mci::kOk;
    failures += mci::SendString("window overlay handle " + std::to_string(hwnd)) != mci::kOk;
    failures += mci::SendString("set overlay video key on") != mci::kOk;
    failures += mci::SendString("set overlay video key color to 128:0:128") != mci::kOk;
    failures += mci::SendString("set overlay video on") != mci::kOk;
    win::RunMessageLoopUntil([] { return false; }, static_cast<uint32_t>(i % 4));
    if (i % 3 == 0)
      failures += mci::SendString("put overlay destination at 0 0 80 60") != mci::kOk;
    failures += mci::SendString("close overlay") != mci::kOk;
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(ui::KeyedFrameCount(hwnd), 0u);
}

} // namespace

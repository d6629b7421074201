// The "mpegvideo" device on the FFmpeg player: its answers, its
// notifications at the clip's end, and its picture keyed into a window.
#include "platform/media/mci.h"
#include "platform/media/mpegvideo.h"
#include "platform/media/tests/support/video_clips.h"
#include "platform/media/virtual_time.h"

#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/colour_key.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/test_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

using namespace media;
using namespace mediatest;

namespace {

constexpr gdi::Colour kKey = gdi::Rgb(128, 0, 128);

class NoticeWindow : public ui::ScreenWindow {
public:
  std::vector<win::WParam> notices;

protected:
  win::LResult OnMessage(uint32_t m, win::WParam w, win::LParam l) override {
    if (m == win::MM_MCINOTIFY)
      notices.push_back(w);
    return ScreenWindow::OnMessage(m, w, l);
  }
};

class MpegVideoTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!HaveFfmpeg())
      GTEST_SKIP() << "no ffmpeg";
    wintest::StartTestSession();
    RegisterVideoDevices();
    if (!win::IsClassRegistered("MpegVideoTest")) {
      ui::ScreenClass c;
      c.name = "MpegVideoTest";
      c.factory = [] { return std::make_unique<NoticeWindow>(); };
      c.background = kKey;
      ASSERT_TRUE(ui::RegisterScreenClass(c));
    }
    win::CreateParams p;
    p.className = "MpegVideoTest";
    p.style = win::WS_POPUP;
    p.width = 160;
    p.height = 120;
    hwnd = win::CreateWindow(p);
    ASSERT_NE(hwnd, 0u);
    window = static_cast<NoticeWindow*>(win::GetWindowObject(hwnd));
    ui::ShowWindow(hwnd, ui::SW_SHOW);
    InstallTimeSource(&clock);
  }
  void TearDown() override {
    mci::CloseAll();
    InstallTimeSource(nullptr);
    if (hwnd)
      win::DestroyWindow(hwnd);
  }
  uint32_t Send(const std::string& command, std::string* answer = nullptr) {
    return mci::SendString(command, answer, 128, hwnd);
  }
  std::string Ask(const std::string& command) {
    std::string answer;
    EXPECT_EQ(Send(command, &answer), mci::kOk) << command;
    return answer;
  }
  // Opens the board for the window and loads clip.
  void OpenWith(const std::string& clip) {
    for (std::string c :
         {std::string("open mpegvideo style overlapped"),
          "window mpegvideo handle " + std::to_string(hwnd),
          std::string("put mpegvideo destination"), std::string("set mpegvideo time format ms"),
          std::string("set mpegvideo video key color to 128:0:128"),
          "load mpegvideo " + mci::QuoteWord(clip, true)})
      ASSERT_EQ(Send(c), mci::kOk) << c;
  }
  std::vector<win::WParam> Notices() {
    win::ProcessPendingMessages();
    return window->notices;
  }
  void Run(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 10)
      clock.Advance(10);
  }

  VirtualTime clock{5000};
  win::Hwnd hwnd = 0;
  NoticeWindow* window = nullptr;
};

TEST_F(MpegVideoTest, TheBoardAnswersAndTheClipEndsWithOneNotice) {
  OpenWith(Mpeg1Clip());
  EXPECT_EQ(Ask("info mpegvideo product"), kMpegVideoProduct);
  EXPECT_EQ(Ask("status mpegvideo mode"), "stopped");
  EXPECT_EQ(Ask("status mpegvideo length"), "2000");
  EXPECT_EQ(Send("setaudio mpegvideo off"), mci::kOk);
  EXPECT_EQ(Send("set mpegvideo time format frames"), mci::kErrBadTimeFormat);
  EXPECT_EQ(Send("load mpegvideo \"/no/such clip.mpg\""), mci::kErrFileNotFound);
  EXPECT_EQ(Send("load mpegvideo " + mci::QuoteWord(WriteFile("notes.mpg", "just text"), true)),
            mci::kErrInvalidFile);

  ASSERT_EQ(Send("play mpegvideo notify"), mci::kOk);
  EXPECT_EQ(Ask("status mpegvideo mode"), "playing");
  Run(1000);
  EXPECT_EQ(Send("pause mpegvideo"), mci::kOk);
  EXPECT_EQ(Ask("status mpegvideo mode"), "paused");
  EXPECT_TRUE(Notices().empty());
  EXPECT_EQ(Send("resume mpegvideo"), mci::kOk);
  Run(1500);
  EXPECT_EQ(Ask("status mpegvideo mode"), "stopped");
  EXPECT_EQ(Notices(), std::vector<win::WParam>{mci::kNotifySuccessful});

  // Repeating, it says nothing until it is stopped.
  window->notices.clear();
  ASSERT_EQ(Send("play mpegvideo repeat notify"), mci::kOk);
  Run(5000);
  EXPECT_TRUE(Notices().empty());
  EXPECT_EQ(Send("stop mpegvideo"), mci::kOk);
  EXPECT_EQ(Notices(), std::vector<win::WParam>{mci::kNotifyAborted});

  // A seek lands on its frame; forward and backward move from there.
  EXPECT_EQ(Send("seek mpegvideo to 1000"), mci::kOk);
  EXPECT_EQ(Ask("status mpegvideo position"), "1000");
  EXPECT_EQ(Send("seek mpegvideo backward by 400"), mci::kOk);
  EXPECT_EQ(Ask("status mpegvideo position"), "600");
  EXPECT_EQ(Send("seek mpegvideo to end"), mci::kOk);
  EXPECT_EQ(Ask("status mpegvideo position"), "2000");
  EXPECT_EQ(Send("seek mpegvideo to start"), mci::kOk);
  EXPECT_EQ(Ask("status mpegvideo position"), "0");
}

TEST_F(MpegVideoTest, ThePictureShowsWhereTheWindowHasTheKeyColour) {
  OpenWith(Mpeg1Clip());
  // A bar of another colour in the window hides the video there.
  auto dc = ui::GetDc(hwnd);
  ASSERT_TRUE(dc);
  dc->FillRect(gdi::Rect{0, 0, 160, 20}, gdi::Rgb(0, 255, 0));
  ASSERT_EQ(Send("seek mpegvideo to 1000"), mci::kOk);
  ASSERT_GT(ui::KeyedFrameCount(hwnd), 0u);
  auto pixels = ui::ComposedPixels(hwnd);
  ASSERT_TRUE(pixels);
  ASSERT_EQ(pixels->size(), 160u * 120);
  size_t video = 0, bar = 0, key = 0;
  for (size_t i = 0; i < pixels->size(); ++i) {
    const gdi::Colour c = (*pixels)[i];
    if (i < 160 * 20)
      bar += c == gdi::Rgb(0, 255, 0);
    else
      video += c != kKey;
    key += c == kKey;
  }
  EXPECT_EQ(bar, 160u * 20);
  EXPECT_GT(video, 160u * 100 * 9 / 10); // the test pattern has hardly any key-coloured pixel
  // Video off: the key colour shows again; on: the frame comes back.
  ASSERT_EQ(mci::SendString("set mpegvideo video off"), mci::kOk);
  pixels = ui::ComposedPixels(hwnd);
  EXPECT_EQ((*pixels)[160 * 60 + 80], kKey);
  ASSERT_EQ(mci::SendString("set mpegvideo video on"), mci::kOk);
  pixels = ui::ComposedPixels(hwnd);
  EXPECT_NE((*pixels)[160 * 60 + 80], kKey);
  // The window's own surface keeps its key colour: only the showing changes.
  EXPECT_EQ(ui::GetDc(hwnd)->GetPixel(80, 60), kKey);
  // Put at a rectangle, the picture fills that rectangle alone.
  ASSERT_EQ(mci::SendString("put mpegvideo destination at 40 30 80 60"), mci::kOk);
  ASSERT_EQ(mci::SendString("seek mpegvideo to 500"), mci::kOk);
  pixels = ui::ComposedPixels(hwnd);
  EXPECT_EQ((*pixels)[160 * 25 + 80], kKey); // above it
  EXPECT_EQ((*pixels)[160 * 60 + 20], kKey); // beside it
  EXPECT_NE((*pixels)[160 * 60 + 80], kKey); // inside
  EXPECT_EQ(mci::SendString("put mpegvideo destination at 0 0 0 9"), mci::kErrOutOfRange);
  // Configure tells the clip's format.
  auto boxes = std::make_shared<ui::ScriptedMessageBox>();
  {
    ui::ScopedMessageBoxBackend scoped(boxes);
    ASSERT_EQ(mci::SendString("configure mpegvideo"), mci::kOk);
  }
  ASSERT_EQ(boxes->Shown().size(), 1u);
  EXPECT_NE(boxes->Shown()[0].text.find("160x120"), std::string::npos);
  EXPECT_NE(boxes->Shown()[0].text.find("mpeg1video"), std::string::npos);
  // Closed, the board shows nothing more.
  ASSERT_EQ(mci::SendString("close mpegvideo"), mci::kOk);
  pixels = ui::ComposedPixels(hwnd);
  EXPECT_EQ((*pixels)[160 * 60 + 80], kKey);
  (void)key;
}

} // namespace

namespace {

// On the real clock: clips opened, played, sought and closed over and over,
// closes landing while frames are on their way to the window.
TEST(MpegVideoCycles, OpenPlaySeekAndCloseTwoHundredTimes) {
  if (!HaveFfmpeg())
    GTEST_SKIP() << "no ffmpeg";
  wintest::StartTestSession();
  RegisterVideoDevices();
  if (!win::IsClassRegistered("MpegVideoCycles")) {
    ui::ScreenClass c;
    c.name = "MpegVideoCycles";
    c.factory = [] { return std::make_unique<ui::ScreenWindow>(); };
    c.background = kKey;
    ASSERT_TRUE(ui::RegisterScreenClass(c));
  }
  win::CreateParams p;
  p.className = "MpegVideoCycles";
  p.style = win::WS_POPUP;
  p.width = 64;
  p.height = 48;
  const win::Hwnd hwnd = win::CreateWindow(p);
  ASSERT_NE(hwnd, 0u);
  const std::string clip = mci::QuoteWord(Mpeg1Clip(), true);
  int failures = 0;
  for (int i = 0; i < 200; ++i) {
    failures += mci::SendString("open mpegvideo type mpegvideo alias v") != mci::kOk;
    failures += mci::SendString("window v handle " + std::to_string(hwnd)) != mci::kOk;
    failures += mci::SendString("set v video key color to 128:0:128") != mci::kOk;
    failures += mci::SendString("load v " + clip) != mci::kOk;
    failures += mci::SendString("play v repeat notify", nullptr, 0, hwnd) != mci::kOk;
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 7));
    if (i % 3 == 0) {
      failures += mci::SendString("seek v to " + std::to_string(i * 10 % 2000)) != mci::kOk;
      failures += mci::SendString("play v notify", nullptr, 0, hwnd) != mci::kOk;
      std::this_thread::sleep_for(std::chrono::milliseconds(i % 5));
    }
    failures += mci::SendString("close v") != mci::kOk;
    win::ProcessPendingMessages();
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(ui::KeyedFrameCount(hwnd), 0u);
  win::DestroyWindow(hwnd);
}

} // namespace

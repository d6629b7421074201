// The "digitalvideo" device on the FFmpeg player: AVI clips of the common
// codecs made by ffmpeg, played on the virtual clock into the device's own
// video window, a child of the window it was opened with.
#include "platform/media/digitalvideo.h"
#include "platform/media/mci.h"
#include "platform/media/tests/support/video_clips.h"
#include "platform/media/virtual_time.h"

#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/tests/support/test_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>
#include <filesystem>
#include <cstring>

using namespace media;
using namespace mediatest;

namespace {

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

// 320x240, ten frames at 10 fps, of each codec.
struct Codec {
  const char* name;
  const char* args;
  bool lossless;
};
const Codec kCodecs[] = {
    {"mjpeg", "-c:v mjpeg -q:v 3", false},
    {"cinepak", "-c:v cinepak", false},
    {"msvideo1", "-c:v msvideo1", false},
    {"zmbv", "-c:v zmbv -pix_fmt bgr0", true},
    {"raw", "-c:v rawvideo -pix_fmt bgr24", true},
};

std::string AviClip(const Codec& c) {
  return MakeClip(std::string("dv-") + c.name + ".avi",
                  std::string("-f lavfi -i testsrc2=size=320x240:rate=10 -t 1 ") + c.args +
                      " -f avi");
}

// ffmpeg's own decoding of a clip's frame n, as 0xFFRRGGBB pixels.
std::vector<uint32_t> FfmpegFrame(const std::string& clip, int n) {
  const std::string out = ClipFolder() + "/frame.bgra";
  const auto run = systest::RunCommand("ffmpeg -nostdin -v error -y -i '" + clip +
                                       "' -vf 'select=eq(n\\," + std::to_string(n) +
                                       ")' -frames:v 1 -f rawvideo -pix_fmt bgra '" + out + "'");
  if (run.status != 0)
    return {};
  const std::string bytes = ReadFile(out);
  std::vector<uint32_t> px(bytes.size() / 4);
  std::memcpy(px.data(), bytes.data(), px.size() * 4);
  for (uint32_t& p : px)
    p |= 0xFF000000u;
  return px;
}

class DigitalVideoTest : public ::testing::TestWithParam<Codec> {
protected:
  void SetUp() override {
    if (!HaveFfmpeg())
      GTEST_SKIP() << "no ffmpeg";
    wintest::StartTestSession();
    RegisterDigitalVideo();
    if (!win::IsClassRegistered("DigitalVideoTest")) {
      ui::ScreenClass c;
      c.name = "DigitalVideoTest";
      c.factory = [] { return std::make_unique<NoticeWindow>(); };
      c.background = gdi::Rgb(0, 0, 0);
      ASSERT_TRUE(ui::RegisterScreenClass(c));
    }
    win::CreateParams p;
    p.className = "DigitalVideoTest";
    p.style = win::WS_POPUP;
    p.width = 400;
    p.height = 300;
    parent = win::CreateWindow(p);
    ASSERT_NE(parent, 0u);
    window = static_cast<NoticeWindow*>(win::GetWindowObject(parent));
    ui::ShowWindow(parent, ui::SW_SHOW);
    InstallTimeSource(&clock);
  }
  void TearDown() override {
    mci::CloseAll();
    InstallTimeSource(nullptr);
    if (parent)
      win::DestroyWindow(parent);
  }
  mci::DeviceId OpenClip(const std::string& clip) {
    mci::OpenParams o;
    o.element = clip;
    o.parent = parent;
    o.style = win::WS_CHILD;
    o.hasStyle = true;
    mci::DeviceId id = 0;
    EXPECT_EQ(mci::Open(o, &id), mci::kOk);
    return id;
  }
  std::string Ask(mci::DeviceId id, const std::string& command) {
    std::string answer;
    EXPECT_EQ(mci::SendCommand(id, command, &answer), mci::kOk) << command;
    return answer;
  }
  win::Hwnd VideoWindow(mci::DeviceId id) {
    const std::string h = Ask(id, "status window handle");
    uint32_t v = 0;
    std::from_chars(h.data(), h.data() + h.size(), v);
    return v;
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
  win::Hwnd parent = 0;
  NoticeWindow* window = nullptr;
};

TEST_P(DigitalVideoTest, EveryFrameOfTheFileIsShownInTheDevicesOwnChildWindow) {
  const Codec& c = GetParam();
  const std::string clip = AviClip(c);
  ASSERT_FALSE(clip.empty()) << c.name;
  const int frames = FramesOf(clip);
  ASSERT_GT(frames, 0);
  const mci::DeviceId id = OpenClip(clip);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(Ask(id, "where source"), "0 0 320 240");
  const win::Hwnd video = VideoWindow(id);
  ASSERT_NE(video, 0u);
  EXPECT_EQ(win::GetParent(video), parent);
  EXPECT_NE(win::GetWindowStyle(video) & win::WS_CHILD, 0u);
  EXPECT_EQ(mci::SendCommand(id, "setaudio off"), mci::kOk);
  EXPECT_EQ(mci::SendCommand(id, "window state show"), mci::kOk);
  EXPECT_EQ(mci::SendCommand(id, "realize normal"), mci::kOk);
  EXPECT_EQ(mci::SendCommand(id, "put window at 10 20 320 240"), mci::kOk);
  EXPECT_EQ(Ask(id, "where destination"), "10 20 320 240");

  ASSERT_EQ(mci::SendCommand(id, "play notify", nullptr, 128, parent), mci::kOk);
  Run(3000);
  EXPECT_EQ(Ask(id, "status mode"), "stopped");
  EXPECT_EQ(Ask(id, "status frames shown"), std::to_string(frames));
  EXPECT_EQ(Notices(), std::vector<win::WParam>{mci::kNotifySuccessful});

  // The window shows the last frame: exactly ffmpeg's own decoding of it
  // for the lossless codecs, close to it for the others.
  const std::vector<uint32_t> want = FfmpegFrame(clip, frames - 1);
  ASSERT_EQ(want.size(), 320u * 240u);
  auto dc = ui::GetDc(video);
  ASSERT_TRUE(dc);
  const std::vector<gdi::Colour> shown = dc->Target()->CopyPixels();
  ASSERT_EQ(shown.size(), want.size());
  size_t differ = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    const uint32_t w = want[i];
    const gdi::Colour s = shown[i];
    const int dr = std::abs(static_cast<int>((w >> 16) & 0xFF) - gdi::RedOf(s));
    const int dg = std::abs(static_cast<int>((w >> 8) & 0xFF) - gdi::GreenOf(s));
    const int db = std::abs(static_cast<int>(w & 0xFF) - gdi::BlueOf(s));
    differ += c.lossless ? (dr | dg | db) != 0 : std::max({dr, dg, db}) > 48;
  }
  EXPECT_EQ(differ, 0u) << c.name;
}

TEST_P(DigitalVideoTest, RepeatingGivesNoNoticeUntilTheStopAborts) {
  const std::string clip = AviClip(GetParam());
  ASSERT_FALSE(clip.empty());
  const mci::DeviceId id = OpenClip(clip);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(mci::SendCommand(id, "play notify repeat", nullptr, 128, parent), mci::kOk);
  Run(3500);
  EXPECT_TRUE(Notices().empty());
  EXPECT_EQ(Ask(id, "status mode"), "playing");
  EXPECT_EQ(mci::SendCommand(id, "stop"), mci::kOk);
  EXPECT_EQ(Notices(), std::vector<win::WParam>{mci::kNotifyAborted});
  // Played again from where it stopped, then closed mid-play: aborted.
  ASSERT_EQ(mci::SendCommand(id, "play notify", nullptr, 128, parent), mci::kOk);
  Run(200);
  EXPECT_EQ(mci::SendCommand(id, "close"), mci::kOk);
  EXPECT_EQ(Notices(), (std::vector<win::WParam>{mci::kNotifyAborted, mci::kNotifyAborted}));
}

INSTANTIATE_TEST_SUITE_P(Codecs, DigitalVideoTest, ::testing::ValuesIn(kCodecs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DigitalVideo, FilesThatAreNoClipsFailToOpenWithTheirReason) {
  if (!HaveFfmpeg())
    GTEST_SKIP() << "no ffmpeg";
  wintest::StartTestSession();
  RegisterDigitalVideo();
  const std::string text = WriteFile("not-a-clip.avi", "plain text, no clip at all\n");
  mci::DeviceId id = 0;
  mci::OpenParams o;
  o.element = text;
  EXPECT_EQ(mci::Open(o, &id), mci::kErrInvalidFile);
  o.element = ClipFolder() + "/missing.avi";
  EXPECT_EQ(mci::Open(o, &id), mci::kErrFileNotFound);
  EXPECT_EQ(mci::SendString("open digitalvideo"), mci::kErrElementRequired);
}

} // namespace

#include "platform/media/tests/support/flc_writer.h"

namespace {

// An FLC of the project's own writing: a striped picture and a square that
// moves over it, frame by frame.
TEST_F(DigitalVideoTest, AnFlcShowsEveryFrameWithItsExactColours) {
  constexpr int w = 160, h = 120, n = 12;
  std::array<std::array<uint8_t, 3>, 256> palette{};
  for (int i = 0; i < 256; ++i)
    palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                  static_cast<uint8_t>(i * 7)};
  std::vector<FlcPicture> pictures(n);
  for (int k = 0; k < n; ++k) {
    auto& px = pictures[k].index;
    px.resize(w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool square = x >= 8 * k && x < 8 * k + 16 && y >= 20 && y < 36;
        px[y * w + x] = square ? 255 : static_cast<uint8_t>((x / 4 + y) % 200);
      }
  }
  const std::string clip = ClipFolder() + "/own.flc";
  ASSERT_TRUE(WriteFlc(clip, w, h, 50, palette, pictures));
  EXPECT_EQ(FramesOf(clip), n);
  const mci::DeviceId id = OpenClip(clip);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(Ask(id, "where source"), "0 0 160 120");
  ASSERT_EQ(mci::SendCommand(id, "window state show"), mci::kOk);
  ASSERT_EQ(mci::SendCommand(id, "play notify", nullptr, 128, parent), mci::kOk);
  Run(2000);
  EXPECT_EQ(Ask(id, "status frames shown"), std::to_string(n));
  EXPECT_EQ(Notices(), std::vector<win::WParam>{mci::kNotifySuccessful});
  auto dc = ui::GetDc(VideoWindow(id));
  ASSERT_TRUE(dc);
  const std::vector<gdi::Colour> shown = dc->Target()->CopyPixels();
  ASSERT_EQ(shown.size(), static_cast<size_t>(w * h));
  size_t differ = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    const auto& rgb = palette[pictures[n - 1].index[i]];
    differ += shown[i] != gdi::Rgb(rgb[0], rgb[1], rgb[2]);
  }
  EXPECT_EQ(differ, 0u);
}

} // namespace

namespace {

// On the real clock: each natural end opens the next short clip, as the
// frame's next-clip command does, and some clips are closed mid-frame.
TEST_F(DigitalVideoTest, ChainsOfClipsOpenedAtEachEndAndClosesMidFrame) {
  InstallTimeSource(nullptr);
  const std::string clip = MakeClip("dv-short.avi", "-f lavfi -i testsrc2=size=64x48:rate=50 "
                                                    "-t 0.1 -c:v mjpeg -f avi");
  ASSERT_FALSE(clip.empty());
  int ends = 0, opened = 0;
  for (int chain = 0; chain < 20; ++chain) {
    const mci::DeviceId id = OpenClip(clip);
    ASSERT_NE(id, 0u);
    ++opened;
    ASSERT_EQ(mci::SendCommand(id, "window state show"), mci::kOk);
    ASSERT_EQ(mci::SendCommand(id, "play notify", nullptr, 128, parent), mci::kOk);
    if (chain % 4 == 3) {
      // Closed while its frames are on their way.
      std::this_thread::sleep_for(std::chrono::milliseconds(chain % 7));
      EXPECT_EQ(mci::SendCommand(id, "close"), mci::kOk);
      continue;
    }
    // Every play before has had its one notice; this one ends by itself.
    ASSERT_TRUE(win::RunMessageLoopUntil(
        [&] { return window->notices.size() == static_cast<size_t>(opened); }, 5000));
    ends += window->notices.back() == mci::kNotifySuccessful;
    EXPECT_EQ(mci::SendCommand(id, "close"), mci::kOk);
  }
  win::ProcessPendingMessages();
  EXPECT_EQ(ends, 15);
  // One notice for every play: its end, or its close.
  EXPECT_EQ(window->notices.size(), static_cast<size_t>(opened));
  InstallTimeSource(&clock);
}

} // namespace

// The MPEG board's player: the command strings it sends, and what it makes
// of the device's answers, against a scripted "mpegvideo" device.
#include "display/mpeg.h"

#include "display/tests/support/frame_fixture.h"

#include <functional>

using namespace display;
using namespace displaytest;

namespace {

constexpr const char* kClass = "MpegTestWindow";

class MpegTest : public FrameTest {
protected:
  void SetUp() override {
    FrameTest::SetUp();
    if (!win::IsClassRegistered(kClass)) {
      ui::ScreenClass c;
      c.name = kClass;
      c.factory = [] { return std::make_unique<ui::ScreenWindow>(); };
      ASSERT_TRUE(ui::RegisterScreenClass(c));
    }
    ui::SetClassBackground(kClass, gdi::Rgb(1, 2, 3));
    win::CreateParams p;
    p.className = kClass;
    p.style = win::WS_POPUP;
    p.width = 64;
    p.height = 48;
    window = win::CreateWindow(p);
    ASSERT_NE(window, 0u);
  }
  void TearDown() override {
    win::DestroyWindow(window);
    FrameTest::TearDown();
  }
  media::mci::Script& Board(const char* product = kMpegProduct) {
    media::mci::Script& s = ScriptDevices();
    s.Allow({"open mpegvideo type mpegvideo", "close mpegvideo", "open mpegvideo style overlapped",
             "window mpegvideo handle *", "window mpegvideo text Kivo32",
             "put mpegvideo destination", "set mpegvideo time format ms",
             "set mpegvideo video key color to 128:0:128"});
    s.Set("info mpegvideo product", {media::mci::kOk, product});
    return s;
  }
  std::optional<gdi::Colour> Background() {
    std::optional<gdi::Colour> current;
    ui::SetClassBackground(kClass, std::nullopt, &current);
    ui::SetClassBackground(kClass, current);
    return current;
  }
  win::Hwnd window = 0;
};

TEST_F(MpegTest, DetectFindsOnlyTheOneBoard) {
  const std::vector<std::string> probe{"open mpegvideo type mpegvideo", "info mpegvideo product",
                                       "close mpegvideo"};
  struct Row {
    const char* what;
    const char* product;
    bool opens;
    bool present;
    std::vector<std::string> sent;
  } rows[] = {
      {"the board", kMpegProduct, true, true, probe},
      {"another product", "Tessarin MpegVideo 2", true, false, probe},
      {"another case", "tessarin mpegvideo", true, false, probe},
      {"the device does not open", kMpegProduct, false, false, {"open mpegvideo type mpegvideo"}},
  };
  for (const auto& r : rows) {
    media::mci::Script& s = Board(r.product);
    if (!r.opens)
      s.Set("open mpegvideo type mpegvideo", {media::mci::kErrHardware, ""});
    MpegPlayer player;
    EXPECT_EQ(player.Detect(window), r.present) << r.what;
    EXPECT_EQ(player.Present(), r.present) << r.what;
    EXPECT_EQ(player.LastOpenResult(), r.opens ? 0u : media::mci::kErrHardware) << r.what;
    EXPECT_EQ(s.Sent(), r.sent) << r.what;
    EXPECT_EQ(media::mci::GetDeviceId("mpegvideo"), 0u) << r.what;
    // Without the board nothing opens.
    if (!r.present) {
      s.ClearSent();
      EXPECT_FALSE(player.Open(window, "Kivo32")) << r.what;
      EXPECT_TRUE(s.Sent().empty()) << r.what;
    }
  }
}

TEST_F(MpegTest, AnOpenThatFailsStopsThereClosesAndLeavesTheBackground) {
  const std::vector<std::string> sequence{
      "open mpegvideo style overlapped", "window mpegvideo handle " + std::to_string(window),
      "window mpegvideo text Kivo32",    "put mpegvideo destination",
      "set mpegvideo time format ms",    "set mpegvideo video key color to 128:0:128"};
  for (size_t failing = 0; failing <= sequence.size(); ++failing) {
    media::mci::Script& s = Board();
    MpegPlayer player;
    ASSERT_TRUE(player.Detect(window));
    if (failing < sequence.size())
      s.Set(sequence[failing], {media::mci::kErrHardware, ""});
    s.ClearSent();
    const bool ok = failing == sequence.size();
    EXPECT_EQ(player.Open(window, "Kivo32"), ok) << failing;
    EXPECT_EQ(player.IsOpen(), ok) << failing;
    std::vector<std::string> expected(sequence.begin(),
                                      sequence.begin() + std::min(failing + 1, sequence.size()));
    if (!ok && failing > 0)
      expected.push_back("close mpegvideo");
    EXPECT_EQ(s.Sent(), expected) << failing;
    EXPECT_EQ(media::mci::GetDeviceId("mpegvideo") != 0, ok) << failing;
    EXPECT_EQ(Background(), ok ? std::optional(kMpegKeyColour) : std::optional(gdi::Rgb(1, 2, 3)))
        << failing;
    player.Close();
    ui::SetClassBackground(kClass, gdi::Rgb(1, 2, 3));
  }
}

TEST_F(MpegTest, EachOperationSendsItsCommandString) {
  media::mci::Script& s = Board();
  s.Set("*", {media::mci::kOk, ""});
  MpegPlayer player;
  // Closed, every operation fails without a word to the device.
  EXPECT_FALSE(player.Play());
  EXPECT_TRUE(s.Sent().empty());
  ASSERT_TRUE(player.Detect(window));
  ASSERT_TRUE(player.Open(window, "Kivo32"));
  struct Row {
    std::function<bool(MpegPlayer&)> op;
    std::string sent;
  } rows[] = {
      {[](MpegPlayer& p) { return p.Load("/v/clip.mpg"); }, "load mpegvideo \"/v/clip.mpg\""},
      {[](MpegPlayer& p) { return p.Play(); }, "play mpegvideo repeat notify"},
      {[](MpegPlayer& p) { return p.Stop(); }, "stop mpegvideo"},
      {[](MpegPlayer& p) { return p.SeekStart(); }, "seek mpegvideo to start"},
      {[](MpegPlayer& p) { return p.SeekEnd(); }, "seek mpegvideo to end"},
      {[](MpegPlayer& p) { return p.Forward(10000); }, "seek mpegvideo forward by 10000"},
      {[](MpegPlayer& p) { return p.Backward(250); }, "seek mpegvideo backward by 250"},
      {[](MpegPlayer& p) { return p.Resume(); }, "resume mpegvideo notify"},
      {[](MpegPlayer& p) { return p.Slow(100); }, "play mpegvideo slow 100 notify"},
      {[](MpegPlayer& p) { return p.Pause(); }, "pause mpegvideo"},
      {[](MpegPlayer& p) { return p.Configure(); }, "configure mpegvideo"},
      {[](MpegPlayer& p) { return p.Fit(); }, "put mpegvideo destination"},
      {[](MpegPlayer& p) { return p.VideoOff(); }, "set mpegvideo video off"},
      {[](MpegPlayer& p) { return p.VideoOn(); }, "set mpegvideo video on"},
      {[](MpegPlayer& p) { return p.Audio(true); }, "setaudio mpegvideo on"},
      {[](MpegPlayer& p) { return p.Audio(false); }, "setaudio mpegvideo off"},
  };
  for (const auto& r : rows) {
    s.ClearSent();
    EXPECT_TRUE(r.op(player)) << r.sent;
    EXPECT_EQ(s.Sent(), std::vector<std::string>{r.sent});
  }
  EXPECT_TRUE(player.Loaded());
  // The mode questions compare the answer, cut to ten bytes, with the mode.
  struct Mode {
    const char* answer;
    bool playing, paused, stopped;
  } modes[] = {{"playing", true, false, false},
               {"paused", false, true, false},
               {"stopped", false, false, true},
               {"stopped and more", false, false, false},
               {"seeking", false, false, false}};
  for (const auto& m : modes) {
    s.Set("status mpegvideo mode", {media::mci::kOk, m.answer});
    EXPECT_EQ(player.IsPlaying(), m.playing) << m.answer;
    EXPECT_EQ(player.IsPaused(), m.paused) << m.answer;
    EXPECT_EQ(player.IsStopped(), m.stopped) << m.answer;
  }
  s.Set("pause mpegvideo", {media::mci::kErrHardware, ""});
  EXPECT_FALSE(player.Pause());
  s.ClearSent();
  player.Close();
  EXPECT_EQ(s.Sent(), std::vector<std::string>{"close mpegvideo"});
  EXPECT_FALSE(player.Loaded());
}

TEST_F(MpegTest, ALongPathWithBlanksReachesTheDeviceWhole) {
  media::mci::Script& s = Board();
  s.Set("load mpegvideo *", {media::mci::kOk, ""});
  MpegPlayer player;
  ASSERT_TRUE(player.Detect(window));
  ASSERT_TRUE(player.Open(window, "Kivo32"));
  std::string path = "/tmp/Karaoke Videos/";
  while (path.size() < 596)
    path += "a long name ";
  path.resize(596);
  path += ".mpg";
  ASSERT_EQ(path.size(), 600u);
  s.ClearSent();
  EXPECT_TRUE(player.Load(path));
  EXPECT_EQ(s.Sent(), std::vector<std::string>{"load mpegvideo \"" + path + "\""});
  EXPECT_EQ(s.LastArgs(), std::vector<std::string>{path});
}

} // namespace

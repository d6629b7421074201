// The whole road in real processes: the stand-in host (or `vexo3 play`)
// plays a karaoke song through the player core while Kivo32 runs offscreen,
// and the pictures the word view leaves in the dump folder show the song's
// lines.
#include "display/frame.h"
#include "display/mpeg.h"
#include "platform/media/tests/support/video_clips.h"
#include "platform/sys/paths.h"
#include "display/tests/support/session.h"
#include "display/tests/support/temp_folder.h"
#include "platform/win/dispatch.h"
#include "platform/win/tests/support/child_process.h"
#include "platform/win/window.h"

#include "platform/sys/ini.h"
#include "platform/sys/tests/support/command_run.h"

#include <QImage>
#include <csignal>
#include <filesystem>
#include <set>

using namespace displaytest;

namespace {

constexpr int kStartMs = 10000;
// Text of a line, not a stray pixel or two.
constexpr int kTextPixels = 200;

// The newest picture of the word view in folder, or a null image. Files
// still being written carry another ending and are passed over.
QImage WordPicture(const std::string& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(std::string(display::kWordClass) + "-") && name.ends_with(".png"))
      return QImage(QString::fromStdString(entry.path().string()));
  }
  return {};
}

// The default lyric colours: sung text is magenta, text still to sing is
// yellow.
bool IsSung(QRgb p) {
  return qRed(p) > 200 && qBlue(p) > 200 && qGreen(p) < 80;
}
bool IsUnsung(QRgb p) {
  return qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) < 80;
}

// A pixel row of the picture crosses both sung and unsung text: the line
// being sung is wiped part of the way.
bool ShowsLinePartlySung(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    bool sung = false, unsung = false;
    for (int x = 0; x < image.width() && !(sung && unsung); ++x) {
      const QRgb p = image.pixel(x, y);
      sung = sung || IsSung(p);
      unsung = unsung || IsUnsung(p);
    }
    if (sung && unsung)
      return true;
  }
  return false;
}

// Pixels of text: the background is a dark blue pattern, the lyric colours
// are light.
int LightPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (qRed(p) > 160 || qGreen(p) > 160)
        ++n;
    }
  return n;
}

// Kivo32 started offscreen with folders of its own for its settings and its
// window pictures, beside the song the stand-in host plays.
class LyricPlay : public ::testing::Test {
protected:
  void SetUp() override {
    song = std::string(VEXO_CORPUS_DIR) + "/midi/happy-birthday.kar";
    if (UsesCorpus() && !std::filesystem::exists(song))
      GTEST_SKIP() << "no corpus";
    hostProgram = wintest::HelperPath("tamblo_host");
    if (!std::filesystem::exists(hostProgram))
      GTEST_SKIP() << "the stand-in host is not built";
    StartSession();
    BeforeStart();
    if (HasFatalFailure() || IsSkipped())
      return;
    setenv("VEXO_CONFIG_DIR", config.Path().c_str(), 1);
    setenv("VEXO_DUMP_DIR", dumps.Path().c_str(), 1);
    display = wintest::ChildProcess::Start(std::string(VEXO_BIN_DIR) + "/Kivo32", {});
    unsetenv("VEXO_DUMP_DIR");
    unsetenv("VEXO_CONFIG_DIR");
    ASSERT_TRUE(display);
    ASSERT_TRUE(
        WaitFor([&] { return (frame = win::FindWindow(display::kFrameClass, std::nullopt)) != 0; },
                kStartMs));
  }

  // Settings the display starts with, written into config beforehand.
  virtual void BeforeStart() {}
  virtual bool UsesCorpus() const { return true; }

  std::string song, hostProgram;
  TempFolder config, dumps;
  std::unique_ptr<wintest::ChildProcess> display;
  win::Hwnd frame = 0;
};

TEST_F(LyricPlay, ASongPlayedByThePlayerCoreShowsItsLinesOnTheWordView) {
  QImage before;
  ASSERT_TRUE(WaitFor([&] { return !(before = WordPicture(dumps.Path())).isNull(); }, kStartMs));
  EXPECT_EQ(LightPixels(before), 0);

  auto host = wintest::ChildProcess::Start(hostProgram, {song}, /*keepStdin=*/true);
  ASSERT_TRUE(host);
  ASSERT_TRUE(host->ReadLineStartingWith("ready", kStartMs));
  // While the song plays the word view's pictures show its lines; the last
  // picture of them may be written a moment after the end.
  int most = 0;
  QImage shown;
  bool ended = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (most <= kTextPixels && std::chrono::steady_clock::now() < deadline) {
    if (auto line = host->ReadLine(10)) {
      ASSERT_FALSE(line->starts_with("failed")) << *line;
      if (line->starts_with("stopped")) {
        ended = true;
        deadline = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(2));
      }
    }
    const QImage now = WordPicture(dumps.Path());
    if (const int light = now.isNull() ? 0 : LightPixels(now); light > most) {
      most = light;
      shown = now;
    }
  }
  if (!ended)
    ended = host->ReadLineStartingWith("stopped", 30000).has_value();
  EXPECT_TRUE(ended);
  EXPECT_GT(most, kTextPixels);
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  const std::string picture = folder + "/kivo32-word-playing.png";
  if (!shown.isNull() && shown.save(QString::fromStdString(picture)))
    RecordProperty("picture", picture);
  RecordProperty("textPixels", most);

  host->CloseStdin();
  EXPECT_TRUE(host->ReadLineStartingWith("ended", kStartMs));
  win::PostMessage(frame, display::kCloseMessage, 0, 0);
  EXPECT_TRUE(display->Wait(kStartMs));
}

// Played on the real clock the colour wipe moves between syllables, so the
// pictures the word view leaves while the song plays show the line being
// sung partly in the sung colour and partly in the colour still to sing.
TEST_F(LyricPlay, PicturesTakenWhileASongPlaysShowTheLinePartlySung) {
  ASSERT_TRUE(WaitFor([&] { return !WordPicture(dumps.Path()).isNull(); }, kStartMs));

  auto host = wintest::ChildProcess::Start(hostProgram, {song, "--real-time"}, /*keepStdin=*/true);
  ASSERT_TRUE(host);
  ASSERT_TRUE(host->ReadLineStartingWith("ready", kStartMs));
  // The first line is sung five seconds in; the song goes on long after.
  QImage partly;
  bool ended = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (partly.isNull() && !ended && std::chrono::steady_clock::now() < deadline) {
    if (auto line = host->ReadLine(10)) {
      ASSERT_FALSE(line->starts_with("failed")) << *line;
      ended = line->starts_with("stopped");
    }
    if (const QImage now = WordPicture(dumps.Path()); !now.isNull() && ShowsLinePartlySung(now))
      partly = now;
  }
  EXPECT_FALSE(partly.isNull()) << (ended ? "the song ended first" : "no such picture in time");
  if (!partly.isNull()) {
    const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
    std::filesystem::create_directories(folder);
    const std::string picture = folder + "/kivo32-word-partly-sung.png";
    if (partly.save(QString::fromStdString(picture)))
      RecordProperty("picture", picture);
  }

  // Closing the host's input ends the song where it is.
  host->CloseStdin();
  EXPECT_TRUE(host->ReadLineStartingWith("ended", kStartMs));
  win::PostMessage(frame, display::kCloseMessage, 0, 0);
  EXPECT_TRUE(display->Wait(kStartMs));
}

// A soft-karaoke song named ".mid", as collections name them, played by the
// user's command: the display shows its lines.
TEST_F(LyricPlay, TheHostPlayingAKaraokeSongNamedMidShowsItsLines) {
  const std::string karaokeMid = std::string(VEXO_CORPUS_DIR) + "/midi/por-amar-te-karaoke.mid";
  ASSERT_TRUE(std::filesystem::exists(karaokeMid));
  ASSERT_TRUE(WaitFor([&] { return !WordPicture(dumps.Path()).isNull(); }, kStartMs));

  // The display is running: the command links the song to it. The built-in
  // synthesizer plays into a file, not aloud, twice as fast as written.
  setenv("VEXO_SYNTH_WAV", (config.Path() + "/played.wav").c_str(), 1);
  setenv("VEXO_SETTINGS_FILE", (config.Path() + "/settings.ini").c_str(), 1);
  auto host = wintest::ChildProcess::Start(std::string(VEXO_BIN_DIR) + "/vexo3",
                                           {"play", karaokeMid, "--tempo", "+100"});
  unsetenv("VEXO_SETTINGS_FILE");
  unsetenv("VEXO_SYNTH_WAV");
  ASSERT_TRUE(host);
  // Starting the synthesizer with its SoundFont takes a while on a busy machine.
  auto started = host->ReadLineStartingWith("playing", 6 * kStartMs);
  ASSERT_TRUE(started);
  EXPECT_NE(started->find("Por Amarte"), std::string::npos) << *started;

  // The first words are sung about fourteen seconds in at this tempo.
  int most = 0;
  QImage shown;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (most <= kTextPixels && std::chrono::steady_clock::now() < deadline) {
    host->ReadLine(10);
    const QImage now = WordPicture(dumps.Path());
    if (const int light = now.isNull() ? 0 : LightPixels(now); light > most) {
      most = light;
      shown = now;
    }
  }
  EXPECT_GT(most, kTextPixels);
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  const std::string picture = folder + "/kivo32-word-karaoke-mid.png";
  if (!shown.isNull() && shown.save(QString::fromStdString(picture)))
    RecordProperty("picture", picture);
  RecordProperty("textPixels", most);

  // Ctrl+C ends the command; the display stays until it is closed.
  kill(host->Pid(), SIGINT);
  auto status = host->Wait(kStartMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status)) << *status;
  win::PostMessage(frame, display::kCloseMessage, 0, 0);
  EXPECT_TRUE(display->Wait(kStartMs));
}

// Mode 2 over a 1080p clip of one flat colour, so that every pixel that is
// not text can be told for the video's own.
class LyricPlayOverVideo : public LyricPlay {
protected:
  static constexpr QRgb kVideo = qRgb(0x20, 0x80, 0xC0);

  void BeforeStart() override {
    if (!mediatest::HaveFfmpeg())
      GTEST_SKIP() << "no ffmpeg";
    clip = mediatest::MakeClip("flat-1080p.mpg",
                               "-f lavfi -i color=c=0x2080C0:size=1920x1080:rate=30 -t 8 "
                               "-c:v mpeg2video -q:v 2 -f vob");
    ASSERT_FALSE(clip.empty());
    config.Write("config.ini", "[Words]\nDisplay=2\n[Mpeg]\nCheck=1\nFile=" +
                                   *sys::ToStoredPath(clip) + "\n");
  }

  bool UsesCorpus() const override { return false; }

  static bool Near(QRgb a, QRgb b, int by) {
    return std::abs(qRed(a) - qRed(b)) <= by && std::abs(qGreen(a) - qGreen(b)) <= by &&
           std::abs(qBlue(a) - qBlue(b)) <= by;
  }

  std::string clip;
};

// The demo song played by `vexo3 play` while the display shows the clip
// behind the lyrics: the word view's picture, as it shows, holds only the
// styles' colours and the video's, sung text left of the wipe's edge and
// unsung text right of it on every row, and the key colour nowhere.
TEST_F(LyricPlayOverVideo, TheDemoSongWipesOverTheVideoInModeTwo) {
  ASSERT_TRUE(WaitFor([&] { return !WordPicture(dumps.Path()).isNull(); }, kStartMs));
  setenv("VEXO_SYNTH_WAV", (config.Path() + "/played.wav").c_str(), 1);
  setenv("VEXO_SETTINGS_FILE", (config.Path() + "/settings.ini").c_str(), 1);
  auto host = wintest::ChildProcess::Start(std::string(VEXO_BIN_DIR) + "/vexo3",
                                           {"play", std::string(VEXO_BIN_DIR) + "/twinkle.kar"});
  unsetenv("VEXO_SETTINGS_FILE");
  unsetenv("VEXO_SYNTH_WAV");
  ASSERT_TRUE(host);
  ASSERT_TRUE(host->ReadLineStartingWith("playing", 6 * kStartMs));

  QImage partly;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (partly.isNull() && std::chrono::steady_clock::now() < deadline) {
    host->ReadLine(10);
    if (const QImage now = WordPicture(dumps.Path()); !now.isNull() && ShowsLinePartlySung(now))
      partly = now;
  }
  ASSERT_FALSE(partly.isNull()) << "no picture of a line partly sung";
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  const std::string picture = folder + "/kivo32-background-mpeg-playing.png";
  if (partly.save(QString::fromStdString(picture)))
    RecordProperty("picture", picture);

  // The styles' colours of the default lyric group: unsung, outline, sung,
  // and the fourth.
  const QRgb styles[] = {qRgb(255, 255, 0), qRgb(0, 0, 0), qRgb(255, 0, 255),
                         qRgb(255, 255, 255)};
  const QRgb key = qRgb(128, 0, 128);
  int video = 0, text = 0, other = 0, keyed = 0, crossed = 0;
  for (int y = 0; y < partly.height(); ++y) {
    int lastSung = -1, firstUnsung = partly.width();
    for (int x = 0; x < partly.width(); ++x) {
      const QRgb p = partly.pixel(x, y) | 0xFF000000u;
      keyed += p == key;
      if (std::find(std::begin(styles), std::end(styles), p) != std::end(styles)) {
        ++text;
        if (p == styles[2])
          lastSung = x;
        else if (p == styles[0] && firstUnsung == partly.width())
          firstUnsung = x;
      } else if (Near(p, kVideo, 6)) {
        ++video;
      } else {
        ++other;
      }
    }
    crossed += lastSung >= firstUnsung;
  }
  EXPECT_EQ(keyed, 0);
  EXPECT_EQ(other, 0);
  EXPECT_EQ(crossed, 0);
  EXPECT_GT(text, kTextPixels);
  EXPECT_GT(video, text);

  kill(host->Pid(), SIGINT);
  auto status = host->Wait(kStartMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status)) << *status;
  win::PostMessage(frame, display::kCloseMessage, 0, 0);
  EXPECT_TRUE(display->Wait(kStartMs));
}

} // namespace

namespace {

// The newest picture of a window class in folder, or a null image.
QImage PictureOf(const std::string& folder, const std::string& className) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(className + "-") && name.ends_with(".png"))
      return QImage(QString::fromStdString(entry.path().string()));
  }
  return {};
}

int Colours(const QImage& image) {
  std::set<QRgb> seen;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4)
      seen.insert(image.pixel(x, y));
  return static_cast<int>(seen.size());
}

class LyricPlayWithClips : public LyricPlay {
protected:
  bool UsesCorpus() const override { return false; }
  void BeforeStart() override {
    if (!mediatest::HaveFfmpeg())
      GTEST_SKIP() << "no ffmpeg";
    const std::string clip =
        mediatest::MakeClip("mode3.avi", "-f lavfi -i testsrc2=size=320x240:rate=25 -t 30 "
                                         "-c:v mjpeg -q:v 4 -f avi");
    ASSERT_FALSE(clip.empty());
    std::filesystem::copy_file(clip, clips.Path() + "/mode3.avi");
  }
  systest::CommandRun Vexo3(const std::string& args) {
    setenv("VEXO_CONFIG_DIR", config.Path().c_str(), 1);
    auto run = systest::RunCommand("timeout 60 " + std::string(VEXO_BIN_DIR) + "/vexo3 " + args,
                                   systest::Stderr::WithOutput);
    unsetenv("VEXO_CONFIG_DIR");
    return run;
  }
  TempFolder clips;
};

// As a user would: a folder of clips given to the running display, the
// clip mode asked for, then the demo song played: the clip plays in the info
// view while the lyrics are sung.
TEST_F(LyricPlayWithClips, AClipOfTheFolderPlaysInTheInfoViewWhileTheSongIsSung) {
  ASSERT_TRUE(WaitFor([&] { return !WordPicture(dumps.Path()).isNull(); }, kStartMs));
  const auto added = Vexo3("display --media-folder videos " + clips.Path());
  ASSERT_EQ(added.status, 0) << added.out;
  const std::string ini = config.Path() + "/config.ini";
  ASSERT_TRUE(WaitFor([&] { return sys::IniGetString(ini, "Avi/Flc", "Build", "gone") == "gone"; },
                      kStartMs));
  const auto mode = Vexo3("display --mode video");
  ASSERT_EQ(mode.status, 0) << mode.out;

  setenv("VEXO_SYNTH_WAV", (config.Path() + "/played.wav").c_str(), 1);
  setenv("VEXO_SETTINGS_FILE", (config.Path() + "/settings.ini").c_str(), 1);
  auto host = wintest::ChildProcess::Start(std::string(VEXO_BIN_DIR) + "/vexo3",
                                           {"play", std::string(VEXO_BIN_DIR) + "/twinkle.kar"});
  unsetenv("VEXO_SETTINGS_FILE");
  unsetenv("VEXO_SYNTH_WAV");
  ASSERT_TRUE(host);
  ASSERT_TRUE(host->ReadLineStartingWith("playing", 6 * kStartMs));

  // The clip's window shows the moving pattern; the word view the lines.
  QImage video, words;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((video.isNull() || words.isNull()) && std::chrono::steady_clock::now() < deadline) {
    host->ReadLine(10);
    if (QImage v = PictureOf(dumps.Path(), "VexoDigitalVideo"); !v.isNull() && Colours(v) > 8)
      video = v;
    if (QImage w = WordPicture(dumps.Path()); !w.isNull() && LightPixels(w) > kTextPixels)
      words = w;
  }
  ASSERT_FALSE(video.isNull()) << "no picture of the clip";
  EXPECT_FALSE(words.isNull()) << "no lines sung beside it";
  EXPECT_EQ(video.size(), QSize(320, 240));
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  const std::string picture = folder + "/kivo32-background-avi.png";
  if (video.save(QString::fromStdString(picture)))
    RecordProperty("picture", picture);

  kill(host->Pid(), SIGINT);
  auto status = host->Wait(kStartMs);
  ASSERT_TRUE(status);
  win::PostMessage(frame, display::kCloseMessage, 0, 0);
  EXPECT_TRUE(display->Wait(kStartMs));
}

} // namespace

// The info view's pages in real processes, as a user sees them: `vexo3
// display --page` and `--score` on the running display, and the lyric-text
// page asked from the menu while `vexo3 play` plays the demo song. The
// display's window pictures (VEXO_DUMP_DIR) show each page over the still
// background.
#include "display/frame.h"
#include "display/tests/support/session.h"
#include "display/tests/support/temp_folder.h"

#include "platform/gdi/surface.h"
#include "platform/sys/tests/support/command_run.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/tests/support/child_process.h"
#include "platform/win/window.h"

#include <QImage>
#include <QPainter>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>

using namespace display;
using namespace displaytest;

namespace {

constexpr int kStartMs = 15000;
// Text of a page, not a stray pixel or two.
constexpr int kTextPixels = 150;

// The newest picture of a window of the class in folder, or a null image.
QImage Picture(const std::string& folder, const std::string& cls) {
  std::error_code ec;
  std::filesystem::file_time_type newest{};
  QImage found;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(cls + "-") || !name.ends_with(".png"))
      continue;
    const auto when = entry.last_write_time(ec);
    if (found.isNull() || when >= newest) {
      QImage image(QString::fromStdString(entry.path().string()));
      if (!image.isNull()) {
        found = image;
        newest = when;
      }
    }
  }
  return found;
}

// Light pixels: the default background is dark, the pages' texts light.
int LightPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      n += qRed(p) > 180 || qGreen(p) > 180;
    }
  return n;
}

void ClearPictures(const std::string& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    std::filesystem::remove(entry.path(), ec);
}

systest::CommandRun RunHost(const std::string& args) {
  return systest::RunCommand("timeout 60 " + std::string(VEXO_BIN_DIR) + "/vexo3 " + args,
                             systest::Stderr::WithOutput);
}

class InfoPages : public ::testing::Test {
protected:
  void SetUp() override {
    StartSession();
    setenv("VEXO_CONFIG_DIR", config.Path().c_str(), 1);
    setenv(gdi::kDumpDirVariable, dumps.Path().c_str(), 1);
  }
  void TearDown() override {
    if (frame && win::IsWindow(frame)) {
      win::PostMessage(frame, kCloseMessage, 0, 0);
      EXPECT_TRUE(WaitFor([&] { return !win::IsWindow(frame); }, kStartMs));
    }
    unsetenv(gdi::kDumpDirVariable);
    unsetenv("VEXO_CONFIG_DIR");
  }
  // Waits for a picture of the info view with a page's text on it.
  QImage WaitForPage(int timeoutMs = kStartMs) {
    QImage page;
    const bool shown = WaitFor(
        [&] {
          page = Picture(dumps.Path(), kInfoClass);
          return !page.isNull() && LightPixels(page) > kTextPixels;
        },
        timeoutMs);
    return shown ? page : QImage();
  }
  // The frame's picture with the info view's over it at its place, kept as
  // an artefact.
  void SaveShown(const QImage& page, const std::string& name) {
    QImage shown = Picture(dumps.Path(), kFrameClass);
    const win::Hwnd info = win::FindWindowEx(frame, kInfoClass, std::nullopt);
    if (shown.isNull() || page.isNull() || !info)
      return;
    const gdi::Point origin = ui::ClientToScreen(frame, {0, 0});
    const gdi::Rect at = ui::GetWindowRect(info).value_or(gdi::Rect{});
    QPainter painter(&shown);
    painter.drawImage(at.left - origin.x, at.top - origin.y, page);
    painter.end();
    const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + name;
    if (shown.save(QString::fromStdString(path)))
      RecordProperty(name, path);
  }

  TempFolder config, dumps, pages;
  win::Hwnd frame = 0;
};

TEST_F(InfoPages, ANewUsersPageAndScoreShowOnTheDisplay) {
  auto run = RunHost("display");
  ASSERT_EQ(run.status, 0) << run.out;
  frame = win::FindWindow(kFrameClass, std::nullopt);
  ASSERT_NE(frame, 0u);

  const std::string title = pages.Write(
      "title.htm",
      "<HTML><BODY><P ALIGN=center SIZE=30><ALIGN TYPE=center><O COLOR=navy TYPE=outline>"
      "<FONT COLOR=yellow SIZE=40>Tonight's Song</FONT></O></ALIGN><P ALIGN=center SIZE=60>"
      "<FONT COLOR=white SIZE=20>sung by the whole room</FONT></BODY></HTML>");
  run = RunHost("display --page " + title);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("page sent"), std::string::npos) << run.out;
  const QImage titlePage = WaitForPage();
  EXPECT_GT(LightPixels(titlePage), kTextPixels);
  SaveShown(titlePage, "kivo32-page-title.png");

  // The page ends by itself; then the score.
  const win::Hwnd info = win::FindWindowEx(frame, kInfoClass, std::nullopt);
  ASSERT_NE(info, 0u);
  EXPECT_TRUE(WaitFor([&] { return !ui::IsWindowVisible(info); }, kStartMs));
  ClearPictures(dumps.Path());
  run = RunHost("display --score 95");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("score sent: 95"), std::string::npos) << run.out;
  const QImage scorePage = WaitForPage();
  EXPECT_GT(LightPixels(scorePage), kTextPixels);
  SaveShown(scorePage, "kivo32-page-score.png");

  EXPECT_EQ(RunHost("display --score").status, 2);
  EXPECT_EQ(RunHost("display --score x").status, 2);
  EXPECT_EQ(RunHost("display --page " + pages / "missing.htm").status, 1);
}

TEST_F(InfoPages, TheMenusLyricTextPageShowsTheWordsOfTheSongPlaying) {
  // The demo song beside the programs.
  const std::string song = std::string(VEXO_BIN_DIR) + "/twinkle.kar";
  if (!std::filesystem::exists(song))
    GTEST_SKIP() << "the demo song is not built";
  auto display = wintest::ChildProcess::Start(std::string(VEXO_BIN_DIR) + "/Kivo32", {});
  ASSERT_TRUE(display);
  ASSERT_TRUE(
      WaitFor([&] { return (frame = win::FindWindow(kFrameClass, std::nullopt)) != 0; }, kStartMs));
  setenv("VEXO_SYNTH_WAV", (config.Path() + "/played.wav").c_str(), 1);
  setenv("VEXO_SETTINGS_FILE", (config.Path() + "/settings.ini").c_str(), 1);
  auto host = wintest::ChildProcess::Start(std::string(VEXO_BIN_DIR) + "/vexo3", {"play", song});
  unsetenv("VEXO_SETTINGS_FILE");
  unsetenv("VEXO_SYNTH_WAV");
  ASSERT_TRUE(host);
  ASSERT_TRUE(host->ReadLineStartingWith("playing", 6 * kStartMs));
  // The menu's item, as the user picks it; picked again while the display
  // has not yet found the player core that answers it.
  ClearPictures(dumps.Path());
  QImage page;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs);
  while (page.isNull() && std::chrono::steady_clock::now() < deadline) {
    win::PostMessage(frame, win::WM_COMMAND, cmd::kLyricText, 0);
    page = WaitForPage(2000);
  }
  EXPECT_GT(LightPixels(page), kTextPixels);
  SaveShown(page, "kivo32-page-lyrics.png");

  kill(host->Pid(), SIGINT);
  const auto status = host->Wait(kStartMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status)) << *status;
  win::PostMessage(frame, kCloseMessage, 0, 0);
  EXPECT_TRUE(display->Wait(kStartMs));
}

} // namespace

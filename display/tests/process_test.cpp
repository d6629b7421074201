// The program Kivo32 as a real process on a private runtime folder, with a
// stand-in host process: the link-up whichever starts first, the unlink at
// exit, one instance per desktop, the settings after a first run and a
// restart, a missing resource module, and a picture of the frame.
#include "display/frame.h"
#include "display/medialist.h"
#include "display/records.h"
#include "display/settings.h"
#include "display/tests/support/session.h"
#include "display/tests/support/temp_folder.h"
#include "display/utils.h"

#include "platform/gdi/dib.h"
#include "platform/sys/bytes.h"
#include "platform/sys/ini.h"
#include "platform/sys/tests/support/command_run.h"
#include "platform/win/dispatch.h"
#include "platform/win/tests/support/child_process.h"
#include "platform/win/window.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>

using namespace display;
using namespace displaytest;
using wintest::ChildProcess;

namespace {

constexpr int kStartMs = 15000; // bound on a program's start-up under the sanitizers

struct Line {
  std::string window, what;
  uint64_t code = 0;
  uint32_t value = 0;
  int64_t ms = 0;
};

// "<window> user <code> <lParam hex> <ms>" from the stand-in host.
Line Parse(const std::string& text) {
  std::istringstream in(text);
  Line l;
  std::string value;
  in >> l.window >> l.what >> l.code >> value >> l.ms;
  l.value = static_cast<uint32_t>(std::stoul(value, nullptr, 16));
  return l;
}

bool Exited0(const std::optional<int>& status) {
  return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

class ProcessTest : public ::testing::Test {
protected:
  void SetUp() override {
    StartSession();
    setenv("VEXO_CONFIG_DIR", config.Path().c_str(), 1);
  }
  void TearDown() override {
    for (const char* v :
         {"VEXO_CONFIG_DIR", "VEXO_SNAPSHOT", "VEXO_MESSAGEBOX_LOG", "LD_LIBRARY_PATH"})
      unsetenv(v);
  }

  // Starts Kivo32 and waits for its frame.
  std::unique_ptr<ChildProcess> StartDisplay(win::Hwnd& frame,
                                             const std::string& program = Kivo32()) {
    auto child = ChildProcess::Start(program, {});
    if (!child)
      return nullptr;
    frame = 0;
    WaitFor([&] { return (frame = win::FindWindow(kFrameClass, std::nullopt)) != 0; }, kStartMs);
    return child;
  }
  // Starts the stand-in host; its input stays open until it is to end.
  std::unique_ptr<ChildProcess> StartHost() {
    auto child = ChildProcess::Start(wintest::HelperPath("display_host"), {}, true);
    if (child && !child->ReadLineStartingWith("ready", kStartMs))
      return nullptr;
    return child;
  }
  // The next WM_USER line with code on window.
  static std::optional<Line> Next(ChildProcess& host, const std::string& window, uint64_t code,
                                  std::vector<Line>* skipped = nullptr) {
    while (auto text = host.ReadLineStartingWith(window + " user", kStartMs)) {
      Line l = Parse(*text);
      if (l.code == code)
        return l;
      if (skipped)
        skipped->push_back(l);
    }
    return std::nullopt;
  }
  static void Close(ChildProcess& display, win::Hwnd frame) {
    win::PostMessage(frame, kCloseMessage, 0, 0);
    EXPECT_TRUE(Exited0(display.Wait(kStartMs)));
  }
  static std::string Kivo32() { return std::string(VEXO_BIN_DIR) + "/Kivo32"; }

  TempFolder config;
};

TEST_F(ProcessTest, StartedBeforeTheHostItLinksWithinHalfASecondOfTheHostAppearing) {
  win::Hwnd frame = 0;
  auto display = StartDisplay(frame);
  ASSERT_TRUE(display && frame);
  auto host = StartHost();
  ASSERT_TRUE(host);
  std::vector<Line> before;
  auto link = Next(*host, "tamblo", kLinkDisplay);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->value, frame);
  // One timer period, plus what a loaded machine adds to a message's way.
  EXPECT_LE(link->ms, 1000);
  RecordProperty("link_after_host_ms", std::to_string(link->ms));
  // It keeps linking every half second; the start-up notice is not repeated.
  auto again = Next(*host, "tamblo", kLinkDisplay);
  ASSERT_TRUE(again);
  EXPECT_GE(again->ms - link->ms, 250);
  host->CloseStdin();
  EXPECT_TRUE(Exited0(host->Wait(kStartMs)));
  Close(*display, frame);
}

TEST_F(ProcessTest, StartedAfterTheHostItLinksAtOnce) {
  auto host = StartHost();
  ASSERT_TRUE(host);
  win::Hwnd frame = 0;
  auto display = StartDisplay(frame);
  ASSERT_TRUE(display && frame);
  auto link = Next(*host, "tamblo", kLinkDisplay);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->value, frame);
  // The notice that only the start-up link-up posts.
  auto started = Next(*host, "remote", kDisplayStarted);
  ASSERT_TRUE(started);
  EXPECT_EQ(started->value, frame);
  EXPECT_GE(started->ms, link->ms);
  Close(*display, frame);
}

TEST_F(ProcessTest, AtExitThePlayerCoreReceivesLinkDisplayWithZero) {
  enum class How { CloseMessage, HostRequest, Signal };
  for (How how : {How::CloseMessage, How::HostRequest, How::Signal}) {
    auto host = StartHost();
    ASSERT_TRUE(host);
    win::Hwnd frame = 0;
    auto display = StartDisplay(frame);
    ASSERT_TRUE(display && frame);
    ASSERT_TRUE(Next(*host, "remote", kDisplayStarted));
    switch (how) {
    case How::CloseMessage:
      win::PostMessage(frame, kCloseMessage, 0, 0);
      break;
    case How::HostRequest:
      win::PostMessage(frame, win::WM_USER, kDisplayCloseRequest, 0);
      break;
    case How::Signal:
      kill(display->Pid(), SIGTERM);
      break;
    }
    std::optional<Line> unlink;
    while ((unlink = Next(*host, "tamblo", kLinkDisplay)) && unlink->value != 0) {
    }
    ASSERT_TRUE(unlink) << static_cast<int>(how);
    EXPECT_EQ(unlink->value, 0u);
    EXPECT_TRUE(Exited0(display->Wait(kStartMs))) << static_cast<int>(how);
    EXPECT_FALSE(win::IsWindow(frame));
    host->CloseStdin();
    host->Wait(kStartMs);
  }
}

TEST_F(ProcessTest, ASecondStartBringsTheFirstForwardAndExitsWithZero) {
  win::Hwnd frame = 0;
  auto first = StartDisplay(frame);
  ASSERT_TRUE(first && frame);
  auto second = ChildProcess::Start(Kivo32(), {});
  ASSERT_TRUE(second);
  EXPECT_TRUE(Exited0(second->Wait(kStartMs)));
  // The first one still runs with the one frame of the desktop.
  EXPECT_TRUE(win::IsWindow(frame));
  EXPECT_EQ(win::FindWindow(kFrameClass, std::nullopt), frame);
  EXPECT_FALSE(first->Wait(0));
  Close(*first, frame);
}

TEST_F(ProcessTest, AFirstRunWritesTheDefaultsAndAMovedFrameKeepsItsPlaceAfterARestart) {
  const std::string ini = config / "config.ini";
  win::Hwnd frame = 0;
  {
    auto display = StartDisplay(frame);
    ASSERT_TRUE(display && frame);
    Close(*display, frame);
  }
  // The frame's keys hold the defaults; every other key of the view and
  // device settings reads as its default.
  EXPECT_EQ(sys::IniKeyNames(ini, "Words"),
            (std::vector<std::string>{"x", "y", "cx", "cy", "Display"}));
  EXPECT_EQ(ReadFrameRect(ini), kDefaultFrameRect);
  FrameSettings frameSettings = ReadFrameSettings(ini);
  EXPECT_EQ(frameSettings.display, 0);
  EXPECT_EQ(frameSettings.fixedFrame, 0);
  WordsSettings words = ReadWordsSettings(ini);
  EXPECT_EQ(words.progressDuration, 20);
  EXPECT_EQ(words.byChar, 0);
  EXPECT_EQ(words.smallFont, 0);
  LyricFactors f = ReadLyricFactors(ini);
  EXPECT_FLOAT_EQ(f.s1, 1.0f);
  EXPECT_FLOAT_EQ(f.l1, 1.2f);
  EXPECT_FLOAT_EQ(f.s2, 0.14f);
  EXPECT_FLOAT_EQ(f.l2, 0.18f);
  const gdi::Rect current{7, 8, 9, 10};
  EXPECT_EQ(ReadViewRect(ini, "Lyric", current), current);
  EXPECT_EQ(ReadViewRect(ini, "ResvNum", current), current);
  EXPECT_EQ(ReadOverlayChecks(ini).overlay, 0);
  EXPECT_EQ(ReadOverlayChecks(ini).mpeg, 0);
  EXPECT_FALSE(sys::IniLoad(ini)->HasSection("Overlay"));
  EXPECT_FALSE(sys::IniLoad(ini)->HasSection("Score"));

  // The host moves the frame; the display closes and starts again there.
  {
    auto display = StartDisplay(frame);
    ASSERT_TRUE(display && frame);
    sys::ByteWriter w;
    for (int32_t v : {100, 80, 600, 450})
      w.I32LE(v);
    EXPECT_TRUE(
        win::SendCopyDataTimeout(frame, 0, kFramePlacementCopy, w.Data().data(), 16, kStartMs));
    Close(*display, frame);
  }
  EXPECT_EQ(ReadFrameRect(ini), (gdi::Rect{100, 80, 600, 450}));
  const std::string picture = config / "restarted.png";
  setenv("VEXO_SNAPSHOT", picture.c_str(), 1);
  {
    auto display = StartDisplay(frame);
    ASSERT_TRUE(display && frame);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(picture); }, kStartMs));
    Close(*display, frame);
  }
  EXPECT_EQ(ReadFrameRect(ini), (gdi::Rect{100, 80, 600, 450}));
  QImage image(QString::fromStdString(picture));
  EXPECT_EQ(image.width(), 500);
  EXPECT_EQ(image.height(), 370);
}

TEST_F(ProcessTest, AMissingResourceModuleShowsTheMessageBoxAndFails) {
  // A copy of the program in a folder without rKivo32.rcc, its libraries
  // still found where they were built.
  TempFolder folder;
  const std::string program = folder / "Kivo32";
  std::filesystem::copy_file(Kivo32(), program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  setenv("LD_LIBRARY_PATH", VEXO_BIN_DIR, 1);
  const std::string log = folder / "boxes.txt";
  setenv("VEXO_MESSAGEBOX_LOG", log.c_str(), 1);
  auto display = ChildProcess::Start(program, {});
  ASSERT_TRUE(display);
  auto status = display->Wait(kStartMs);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0);
  EXPECT_EQ(ReadFile(log), "Error\t48\trKivo32.dll is not found!\n"); // MB_ICONEXCLAMATION
  EXPECT_EQ(win::FindWindow(kFrameClass, std::nullopt), 0u);
  EXPECT_FALSE(std::filesystem::exists(folder / "config.ini"));
}

TEST_F(ProcessTest, APictureOfTheFrameAfterStart) {
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  const std::string picture = folder + "/kivo32-frame.png";
  std::filesystem::remove(picture);
  setenv("VEXO_SNAPSHOT", picture.c_str(), 1);
  win::Hwnd frame = 0;
  auto display = StartDisplay(frame);
  ASSERT_TRUE(display && frame);
  ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(picture); }, kStartMs));
  Close(*display, frame);
  QImage image(QString::fromStdString(picture));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), kDefaultFrameRect.Width());
  EXPECT_EQ(image.height(), kDefaultFrameRect.Height());
  // "bkimage.bmp" beside the program is the background, in tiles from the
  // frame's corner; the views over it show the same tiles, lined up.
  const std::string art = std::string(VEXO_BIN_DIR) + "/bkimage.bmp";
  auto bytes = ReadFile(art);
  ASSERT_FALSE(bytes.empty());
  auto tile = gdi::Dib::FromBmpFile(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  ASSERT_TRUE(tile);
  int wrong = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const gdi::Colour c = tile->PixelColour(x % tile->Width(), y % tile->Height());
      const QColor q = image.pixelColor(x, y);
      if (q != QColor(gdi::RedOf(c), gdi::GreenOf(c), gdi::BlueOf(c)))
        ++wrong;
    }
  EXPECT_EQ(wrong, 0);
  // The same picture under the name that shows the default background.
  std::filesystem::copy_file(picture, folder + "/kivo32-background-default.png",
                             std::filesystem::copy_options::overwrite_existing);
  RecordProperty("picture", picture);
}

// A picture of the project's own (a sky, a sun and hills) as [Image]
// DefaultFile, shown in each layout: pictures of the frame in the artefacts.
TEST_F(ProcessTest, PicturesOfStillBackgroundsInEachLayout) {
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  QImage still(400, 300, QImage::Format_RGB32);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) {
      const int hill = 200 + static_cast<int>(30 * std::sin(x / 40.0));
      const int dx = x - 300, dy = y - 80;
      QRgb c = qRgb(40 + y / 3, 90 + y / 4, 200 - y / 3);
      if (dx * dx + dy * dy < 40 * 40)
        c = qRgb(250, 200, 60);
      if (y > hill)
        c = qRgb(30, 110 + (y - hill) / 2, 50);
      still.setPixel(x, y, c);
    }
  ASSERT_TRUE(still.save(QString::fromStdString(config / "still.png")));
  const std::string art = std::string(VEXO_BIN_DIR) + "/bkimage.bmp";
  const std::string artBytes = ReadFile(art);
  auto tile = gdi::Dib::FromBmpFile(std::vector<uint8_t>(artBytes.begin(), artBytes.end()));
  ASSERT_TRUE(tile);
  auto colour = [](QRgb q) { return gdi::Rgb(qRed(q), qGreen(q), qBlue(q)); };
  const int w = kDefaultFrameRect.Width(), h = kDefaultFrameRect.Height();
  const struct {
    const char* name;
    int isFix, type;
    // Points of the frame and the colours the layout puts there.
    std::vector<std::pair<gdi::Point, gdi::Colour>> expect;
  } cases[] = {
      {"stretch",
       0,
       0,
       {{{0, 0}, colour(still.pixel(0, 0))},
        {{w - 1, h - 1}, colour(still.pixel((w - 1) * 400 / w, (h - 1) * 300 / h))}}},
      {"tile",
       0,
       1,
       {{{0, 0}, colour(still.pixel(0, 0))},
        {{w / 2, h / 2}, colour(still.pixel(0, 0))},
        {{w / 2 - 1, 0}, colour(still.pixel((w / 2 - 1) * 400 / (w / 2), 0))}}},
      {"fixed-tile",
       1,
       1,
       {{{400, 300}, colour(still.pixel(0, 0))}, {{399, 0}, colour(still.pixel(399, 0))}}},
      {"centred",
       1,
       0,
       {{{w / 2 - 200, h / 2 - 150}, colour(still.pixel(0, 0))},
        {{0, 0}, tile->PixelColour(0, 0)},
        {{w - 1, h - 1}, tile->PixelColour((w - 1) % tile->Width(), (h - 1) % tile->Height())}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string ini = config / "config.ini";
    sys::IniWriteString(ini, "Image", "DefaultFile", "still.png");
    sys::IniWriteString(ini, "Image", "IsFix", std::to_string(c.isFix));
    sys::IniWriteString(ini, "Image", "Type", std::to_string(c.type));
    const std::string picture = folder + "/kivo32-background-still-" + c.name + ".png";
    std::filesystem::remove(picture);
    setenv("VEXO_SNAPSHOT", picture.c_str(), 1);
    win::Hwnd frame = 0;
    auto display = StartDisplay(frame);
    ASSERT_TRUE(display && frame);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(picture); }, kStartMs));
    Close(*display, frame);
    QImage image(QString::fromStdString(picture));
    ASSERT_EQ(image.width(), w);
    for (const auto& [point, want] : c.expect)
      EXPECT_EQ(colour(image.pixel(point.x, point.y)), want) << point.x << "," << point.y;
  }
}

} // namespace

namespace {

using HostRun = systest::CommandRun;

HostRun RunHost(const std::string& args) {
  // Bounded, so that a display holding the pipe open cannot hang the test.
  return systest::RunCommand("timeout 60 " + std::string(VEXO_BIN_DIR) + "/vexo3 " + args,
                             systest::Stderr::WithOutput);
}

// As a user would: `vexo3 display --image NAME` with a picture of the
// current folder; the frame's pictures (VEXO_DUMP_DIR) come to show it.
TEST_F(ProcessTest, TheHostsImageOptionChangesThePicture) {
  TempFolder dumps, pictures;
  setenv(gdi::kDumpDirVariable, dumps.Path().c_str(), 1);
  QImage still(64, 48, QImage::Format_RGB32);
  still.fill(qRgb(220, 120, 20));
  ASSERT_TRUE(still.save(QString::fromStdString(pictures / "orange.png")));
  HostRun run =
      systest::RunCommand("cd " + pictures.Path() + " && timeout 60 " + std::string(VEXO_BIN_DIR) +
                              "/vexo3 display --image orange.png",
                          systest::Stderr::WithOutput);
  unsetenv(gdi::kDumpDirVariable);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("image request sent: " + pictures.Path() + "/orange.png"),
            std::string::npos)
      << run.out;
  const win::Hwnd frame = win::FindWindow(kFrameClass, std::nullopt);
  ASSERT_NE(frame, 0u);
  char name[32];
  std::snprintf(name, sizeof name, "/VEXO3LYRIC-%08x.png", static_cast<unsigned>(frame));
  const std::string dump = dumps.Path() + name;
  // Stretched over the client: the frame's corner turns orange.
  EXPECT_TRUE(WaitFor(
      [&] {
        QImage image(QString::fromStdString(dump));
        return !image.isNull() && image.pixel(1, 1) == qRgb(220, 120, 20);
      },
      kStartMs));
  EXPECT_EQ(RunHost("display --image").status, 2);
  win::PostMessage(frame, kCloseMessage, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !win::IsWindow(frame); }, kStartMs));
}

// `vexo3 display --reserve ... --next ...` as a user would: the frame's
// pictures come to show the numbers (even entries' text magenta) at the top
// left and the announced song (outlined in yellow) at the top right.
TEST_F(ProcessTest, TheHostsReservationsAndNextSongShowInTheStrips) {
  TempFolder dumps;
  setenv(gdi::kDumpDirVariable, dumps.Path().c_str(), 1);
  HostRun run = RunHost("display --reserve 12:\"Twelfth song\" 0 -3 --next 7 ABC");
  unsetenv(gdi::kDumpDirVariable);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("reservations sent: 3"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("next song sent: 7"), std::string::npos) << run.out;
  const win::Hwnd frame = win::FindWindow(kFrameClass, std::nullopt);
  ASSERT_NE(frame, 0u);
  // The newest picture of a window of the class, or a null image.
  auto picture = [&](const std::string& cls) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dumps.Path(), ec)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with(cls + "-") && name.ends_with(".png"))
        return QImage(QString::fromStdString(entry.path().string()));
    }
    return QImage();
  };
  auto count = [](const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        n += image.pixel(x, y) == colour;
    return n;
  };
  QImage numbers, title;
  EXPECT_TRUE(WaitFor(
      [&] {
        numbers = picture(kNumClass);
        title = picture(kTitleClass);
        return !numbers.isNull() && !title.isNull() && count(numbers, qRgb(255, 0, 255)) > 50 &&
               count(title, qRgb(255, 255, 0)) > 50 && count(title, qRgb(0, 0, 255)) > 20;
      },
      kStartMs));
  // The frame's picture with the two strips over it at their places.
  QImage shown = picture("VEXO3LYRIC");
  if (!shown.isNull() && !numbers.isNull() && !title.isNull()) {
    QPainter painter(&shown);
    painter.drawImage(kFrameBorder + 2, kFrameBorder + 2, numbers);
    painter.drawImage(kFrameBorder + shown.width() / 2 + 2, kFrameBorder + 2, title);
    painter.end();
  }
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/kivo32-title-resv.png";
  if (!shown.isNull() && shown.save(QString::fromStdString(path)))
    RecordProperty("picture", path);
  EXPECT_EQ(RunHost("display --reserve 1 2 3 4 5 6").status, 2);
  EXPECT_EQ(RunHost("display --next 7").status, 2);
  EXPECT_EQ(RunHost("display --reserve x:y").status, 2);
  win::PostMessage(frame, kCloseMessage, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !win::IsWindow(frame); }, kStartMs));
}

// `vexo3 display --media-folder images DIR` as a user would: the folder goes
// into the settings and the running display lists its pictures.
TEST_F(ProcessTest, AMediaFolderAddedByTheHostIsListedByTheRunningDisplay) {
  TempFolder pictures;
  pictures.Write("b.gif", "x");
  pictures.Write("a.bmp", "x");
  pictures.Write("notes.txt", "x");
  ASSERT_EQ(RunHost("display").status, 0);
  const win::Hwnd frame = win::FindWindow(kFrameClass, std::nullopt);
  ASSERT_NE(frame, 0u);
  const HostRun run = RunHost("display --media-folder images " + pictures.Path());
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("images folder added: " + pictures.Path()), std::string::npos) << run.out;
  const std::string ini = config / "config.ini";
  EXPECT_EQ(sys::IniGetString(ini, "Image", "Count", ""), "1");
  EXPECT_EQ(sys::IniGetString(ini, "Image", "Dir1", ""), pictures.Path());
  // The display builds the list and ends the build.
  EXPECT_TRUE(WaitFor(
      [&] {
        return sys::IniGetString(ini, "Image", "Build", "gone") == "gone" &&
               std::filesystem::exists(config / "iList001.dat");
      },
      kStartMs));
  const std::string bytes = ReadFile(config / "iList001.dat");
  EXPECT_EQ(display::ParseMediaList(display::MediaKind::Image,
                                    std::vector<uint8_t>(bytes.begin(), bytes.end())),
            (std::vector<std::string>{"a.bmp", "b.gif"}));
  // The same folder again is not listed twice; mistakes are refused.
  EXPECT_EQ(RunHost("display --media-folder images " + pictures.Path()).status, 0);
  EXPECT_EQ(sys::IniGetString(ini, "Image", "Count", ""), "1");
  EXPECT_EQ(RunHost("display --media-folder pictures " + pictures.Path()).status, 2);
  EXPECT_EQ(RunHost("display --media-folder images " + pictures / "missing").status, 1);
  win::PostMessage(frame, kCloseMessage, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !win::IsWindow(frame); }, kStartMs));
}

TEST_F(ProcessTest, TheHostStartsTheDisplayWhenItIsNotRunning) {
  HostRun first = RunHost("display");
  EXPECT_EQ(first.status, 0) << first.out;
  EXPECT_NE(first.out.find("is running"), std::string::npos) << first.out;
  const win::Hwnd frame = win::FindWindow(kFrameClass, std::nullopt);
  ASSERT_NE(frame, 0u);
  HostRun second = RunHost("display");
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_NE(second.out.find("already running"), std::string::npos) << second.out;
  EXPECT_EQ(win::FindWindow(kFrameClass, std::nullopt), frame);
  EXPECT_EQ(RunHost("display extra").status, 2);
  // The display belongs to no one here: it is closed by its close message.
  win::PostMessage(frame, kCloseMessage, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !win::IsWindow(frame); }, kStartMs));
  EXPECT_EQ(sys::IniGetString(config / "config.ini", "Words", "Display", ""), "0");
}

} // namespace

namespace {

TEST_F(ProcessTest, AHostWindowOfAnotherProgramTakesTheFrameAsItsChild) {
  if (!win::IsClassRegistered("OtherProgramHost"))
    win::RegisterClass({"OtherProgramHost", 0, [] { return std::make_unique<win::Window>(); }});
  win::CreateParams p;
  p.className = "OtherProgramHost";
  p.style = win::WS_POPUP;
  const win::Hwnd host = win::CreateWindow(p);
  ASSERT_NE(host, 0u);
  win::Hwnd frame = 0;
  auto display = StartDisplay(frame);
  ASSERT_TRUE(display && frame);
  DisplayModeRecord record;
  record.hostWindow = host;
  record.x = 40, record.y = 30, record.width = 320, record.height = 240;
  const auto bytes = WriteDisplayModeRecord(record);
  ASSERT_TRUE(win::SendCopyDataTimeout(frame, host, kDisplayModeCopy, bytes.data(),
                                       static_cast<uint32_t>(bytes.size()), kStartMs));
  EXPECT_EQ(win::GetParent(frame), host);
  // No longer a top-level window: a search of the desktop does not find it.
  EXPECT_EQ(win::FindWindow(kFrameClass, std::nullopt), 0u);
  EXPECT_TRUE(win::SendMessageTimeout(frame, win::WM_USER, kDisplayModeReset, 0, kStartMs));
  EXPECT_EQ(win::GetParent(frame), 0u);
  EXPECT_EQ(win::FindWindow(kFrameClass, std::nullopt), frame);
  Close(*display, frame);
  win::DestroyWindow(host);
}

// As a new user would: a folder of pictures added to the running display
// with `vexo3 display --media-folder images`, then F5 shows a picture of it,
// and `--image` another one.
TEST_F(ProcessTest, AFolderAddedThenF5AndTheImageOptionChangeThePicture) {
  TempFolder dumps, pictures, others;
  setenv(gdi::kDumpDirVariable, dumps.Path().c_str(), 1);
  QImage red(160, 120, QImage::Format_RGB32);
  red.fill(qRgb(200, 30, 30));
  ASSERT_TRUE(red.save(QString::fromStdString(pictures / "red.bmp")));
  QImage orange(64, 48, QImage::Format_RGB32);
  orange.fill(qRgb(220, 120, 20));
  ASSERT_TRUE(orange.save(QString::fromStdString(others / "orange.png")));
  const HostRun started = RunHost("display");
  ASSERT_EQ(started.status, 0) << started.out;
  const win::Hwnd frame = win::FindWindow(kFrameClass, std::nullopt);
  ASSERT_NE(frame, 0u);
  char name[32];
  std::snprintf(name, sizeof name, "/VEXO3LYRIC-%08x.png", static_cast<unsigned>(frame));
  const std::string dump = dumps.Path() + name;
  auto corner = [&](QRgb colour) {
    return WaitFor(
        [&] {
          QImage image(QString::fromStdString(dump));
          return !image.isNull() && image.pixel(1, 1) == colour;
        },
        kStartMs);
  };
  const HostRun added = RunHost("display --media-folder images " + pictures.Path());
  ASSERT_EQ(added.status, 0) << added.out;
  EXPECT_TRUE(WaitFor(
      [&] { return sys::IniGetString(config / "config.ini", "Image", "Build", "gone") == "gone"; },
      kStartMs));
  win::PostMessage(frame, win::WM_KEYDOWN, 0x74 /* F5 */, 0);
  EXPECT_TRUE(corner(qRgb(200, 30, 30))) << "the listed picture";
  const HostRun image = systest::RunCommand("cd " + others.Path() + " && timeout 60 " +
                                                std::string(VEXO_BIN_DIR) +
                                                "/vexo3 display --image orange.png",
                                            systest::Stderr::WithOutput);
  EXPECT_EQ(image.status, 0) << image.out;
  EXPECT_TRUE(corner(qRgb(220, 120, 20)));
  unsetenv(gdi::kDumpDirVariable);
  win::PostMessage(frame, kCloseMessage, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !win::IsWindow(frame); }, kStartMs));
}

// `vexo3 display --controller` as a user would: the running display opens
// its controller bar, a window of its own class and title owned by the frame.
TEST_F(ProcessTest, TheHostsControllerOptionOpensTheBar) {
  const HostRun run = RunHost("display --controller");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("controller opened"), std::string::npos) << run.out;
  const win::Hwnd frame = win::FindWindow(kFrameClass, std::nullopt);
  ASSERT_NE(frame, 0u);
  win::Hwnd bar = 0;
  EXPECT_TRUE(WaitFor(
      [&] {
        return (bar = win::FindWindowEx(frame, display::kControllerClass,
                                        display::kControllerTitle)) != 0;
      },
      kStartMs));
  EXPECT_EQ(win::GetWindowProcessId(bar), win::GetWindowProcessId(frame));
  win::PostMessage(frame, kCloseMessage, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return !win::IsWindow(frame); }, kStartMs));
  EXPECT_FALSE(win::IsWindow(bar));
}

} // namespace

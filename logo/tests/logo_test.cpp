// The logo library: its settings, the picture's load for each screen depth,
// the dialog's placement, closing and scroller on the manual clock, and the
// one music device.
#include "logo/bivane.h"
#include "logo/library.h"
#include "logo/logo_dialog.h"
#include "logo/settings.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/surface.h"
#include "platform/gdi/system_palette.h"
#include "platform/gdi/tests/gui_environment.h"
#include "platform/media/mci.h"
#include "platform/media/midiout.h"
#include "platform/media/recording_midi.h"
#include "platform/media/sequencer.h"
#include "platform/media/virtual_time.h"
#include "platform/sys/ini.h"
#include "platform/sys/library.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;
namespace mci = media::mci;
using namespace logo;

namespace {

const std::string kBin = VEXO_BIN_DIR;

std::string MakeTempFolder() {
  std::string pattern = (fs::temp_directory_path() / "logo-test-XXXXXX").string();
  return mkdtemp(pattern.data());
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A small 8-bit picture in BMP form.
void WriteBmp(const std::string& path, int w, int h) {
  gdi::Dib d = *gdi::Dib::Create(w, h, 8);
  for (size_t i = 0; i < d.Colours().size(); ++i)
    d.Colours()[i] = {uint8_t(i), uint8_t(255 - i), 90, 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      d.RowFromTop(y)[x] = uint8_t((x + y) & 0xFF);
  const auto bytes = d.ToBmpFile();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              std::streamsize(bytes.size()));
}

class LogoTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir = MakeTempFolder();
    setenv("VEXO_CONFIG_DIR", dir.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    win::InstallTimerClock(&clock);
  }
  void TearDown() override {
    Detach();
    win::ProcessPendingMessages();
    win::InstallTimerClock(nullptr);
    gdi::SetScreenBitsPerPixel(0);
    unsetenv("VEXO_CONFIG_DIR");
    unsetenv("VEXO_PLATFORM");
    fs::remove_all(dir);
  }
  void Config(const std::string& text) { WriteFile(dir + "/Config.ini", "[Logo]\n" + text); }
  void Advance(uint64_t ms) {
    clock.Advance(ms);
    // The tick posts IDOK; its handling may post more.
    for (int i = 0; i < 3; ++i)
      win::ProcessPendingMessages();
  }
  std::string dir;
  win::ManualTimerClock clock;
};

TEST_F(LogoTest, SettingsTable) {
  WriteBmp(dir + "/own.bmp", 8, 8);
  const std::string longName(516, 'a');
  struct Row {
    std::string ini;
    int32_t time;
    bool custom;
    std::string image; // "" when refused
  } rows[] = {
      {"", 3000, false, kBin + "/logo.bmp"},
      {"File=@whatever\nTime=1500\n", 1500, false, kBin + "/logo.bmp"},
      {"File=logo.bmp\n", 3000, true, kBin + "/logo.bmp"},
      {"File=" + dir + "/OWN.BMP\n", 3000, true, dir + "/own.bmp"},
      {"File=C:" + dir + "/own.bmp\n", 3000, true, dir + "/own.bmp"},
      {"File=Q:\\nowhere.bmp\n", 3000, true, ""},
      {"File=" + longName + "\n", 3000, true, ""},
      {"Time=-5\n", 1, false, kBin + "/logo.bmp"},
      {"Time=0\n", 1, false, kBin + "/logo.bmp"},
      {"Time=700000\n", 600000, false, kBin + "/logo.bmp"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.ini);
    Config(row.ini);
    const Settings s = ReadSettings(ConfigPathIn(dir));
    EXPECT_EQ(s.timeMs, row.time);
    EXPECT_EQ(s.Custom(), row.custom);
    EXPECT_EQ(ImagePath(s, kBin, "logo.bmp").value_or(""), row.image);
  }
  // The file is found whatever its letter case.
  fs::remove(dir + "/Config.ini");
  WriteFile(dir + "/config.INI", "[logo]\ntime=42\n");
  EXPECT_EQ(ReadSettings(ConfigPathIn(dir)).timeMs, 42);
}

TEST_F(LogoTest, MusicKeysOffDefaultAndWriteBack) {
  Config("Music=off\nMusicAbout=OFF\n");
  const std::string ini = ConfigPathIn(dir);
  EXPECT_FALSE(MusicPath(ini, "Music", kBin, "logo.mid"));
  EXPECT_FALSE(MusicPath(ini, "MusicAbout", kBin, "logo.mid"));
  Config("Music=@\n");
  EXPECT_EQ(MusicPath(ini, "Music", kBin, "logo.mid").value_or(""), kBin + "/logo.mid");
  EXPECT_EQ(sys::IniGetString(ini, "Logo", "Music", ""), "logo.mid");
  // MusicAbout, absent, is "@" too and written back the same way.
  EXPECT_EQ(MusicPath(ini, "MusicAbout", "/x", "logo.mid").value_or(""), "/x/logo.mid");
  EXPECT_EQ(sys::IniGetString(ini, "Logo", "MusicAbout", ""), "logo.mid");
}

TEST(PlanLoad, DepthTable) {
  struct Row {
    int screen, file;
    LoadPlan plan;
  } rows[] = {
      {1, 1, {1, true, false}},   {1, 4, {4, true, true}},   {1, 8, {8, true, true}},
      {1, 24, {24, true, true}},  {4, 4, {4, true, false}},  {4, 8, {8, true, true}},
      {4, 24, {24, true, true}},  {5, 8, {5, false, false}}, {8, 1, {1, true, false}},
      {8, 8, {8, true, false}},   {8, 24, {8, false, false}}, {16, 24, {24, true, false}},
      {24, 24, {24, true, false}}, {32, 8, {8, true, false}}, {32, 24, {24, true, false}},
  };
  for (const Row& r : rows)
    EXPECT_EQ(PlanLoad(r.screen, r.file), r.plan) << r.screen << " x " << r.file;
}

// The imaging calls as a log, answering with a small picture.
class LoggedImaging : public ImagingCalls {
public:
  std::vector<std::string> log;
  int fileBits = 8;
  std::optional<gdi::imaging::FileInfo> FileInfo(const std::string&) override {
    log.push_back("info");
    return gdi::imaging::FileInfo{16, 16, fileBits};
  }
  std::optional<gdi::Dib> Load(const std::string&, int bits, bool fileDepth) override {
    log.push_back("load " + std::to_string(bits) + (fileDepth ? " 1" : " 0"));
    return gdi::Dib::Create(16, 16, 8);
  }
  std::optional<gdi::Dib> ReduceTo4(const gdi::Dib&) override {
    log.push_back("reduce 4");
    return gdi::Dib::Create(16, 16, 4);
  }
};

// Every screen depth against every file depth, as the imaging calls the
// dialog makes: at the file's depth when the screen holds it (or is above
// 8 bits), at the screen's for 5 to 8 bits, else at the file's and reduced.
TEST_F(LogoTest, TheDialogLoadsByTheScreenDepth) {
  const std::vector<std::string> fileDepth = {"info", "load F 1"};
  struct Row {
    int screen;
    std::map<int, std::vector<std::string>> byFile; // file depth: the log
  } rows[] = {
      {1, {{1, {"info", "load 1 1"}}, {4, {"info", "load 4 1", "reduce 4"}},
           {8, {"info", "load 8 1", "reduce 4"}}, {24, {"info", "load 24 1", "reduce 4"}}}},
      {4, {{1, {"info", "load 1 1"}}, {4, {"info", "load 4 1"}},
           {8, {"info", "load 8 1", "reduce 4"}}, {24, {"info", "load 24 1", "reduce 4"}}}},
      {8, {{1, {"info", "load 1 1"}}, {4, {"info", "load 4 1"}}, {8, {"info", "load 8 1"}},
           {24, {"info", "load 8 0"}}}},
      {16, {{1, {"info", "load 1 1"}}, {4, {"info", "load 4 1"}}, {8, {"info", "load 8 1"}},
            {24, {"info", "load 24 1"}}}},
      {24, {{1, {"info", "load 1 1"}}, {4, {"info", "load 4 1"}}, {8, {"info", "load 8 1"}},
            {24, {"info", "load 24 1"}}}},
      {32, {{1, {"info", "load 1 1"}}, {4, {"info", "load 4 1"}}, {8, {"info", "load 8 1"}},
            {24, {"info", "load 24 1"}}}},
  };
  for (const Row& r : rows) {
    for (const auto& [file, log] : r.byFile) {
      LoggedImaging imaging;
      imaging.fileBits = file;
      SetImagingCalls(&imaging);
      gdi::SetScreenBitsPerPixel(r.screen);
      auto* d = new CLogoDialog(DialogSetup{});
      ASSERT_TRUE(d->Create("logo"));
      EXPECT_EQ(imaging.log, log) << "screen " << r.screen << " x file " << file;
      EXPECT_TRUE(d->HasImage());
      win::DestroyWindow(d->GetHwnd());
      SetImagingCalls(nullptr);
    }
  }
  // A failed load or reduction leaves no picture.
  struct Failing : LoggedImaging {
    bool failLoad = false;
    std::optional<gdi::Dib> Load(const std::string& p, int bits, bool fileDepth) override {
      LoggedImaging::Load(p, bits, fileDepth);
      return failLoad ? std::nullopt : std::optional<gdi::Dib>(gdi::Dib::Create(16, 16, 8));
    }
    std::optional<gdi::Dib> ReduceTo4(const gdi::Dib&) override { return std::nullopt; }
  };
  for (bool failLoad : {true, false}) {
    Failing imaging;
    imaging.failLoad = failLoad;
    SetImagingCalls(&imaging);
    gdi::SetScreenBitsPerPixel(4);
    auto* d = new CLogoDialog(DialogSetup{});
    ASSERT_TRUE(d->Create("logo"));
    EXPECT_FALSE(d->HasImage());
    win::DestroyWindow(d->GetHwnd());
    SetImagingCalls(nullptr);
  }
}

// On the palette screen the picture's palette is realised as it paints;
// the palette messages realise it again and repaint only when entries
// changed, and a change of the window's own is not answered.
TEST_F(LogoTest, PaletteMessagesRepaintOnlyWhenEntriesChanged) {
  gdi::SetScreenBitsPerPixel(8);
  WriteBmp(dir + "/own.bmp", 64, 48);
  DialogSetup setup;
  setup.imagePath = dir + "/own.bmp";
  auto* d = new CLogoDialog(setup);
  ASSERT_TRUE(d->Create("logo"));
  win::ProcessPendingMessages();
  const win::Hwnd hwnd = d->GetHwnd();
  EXPECT_EQ(gdi::GetSystemPaletteEntries(10, 1)[0], (gdi::PaletteEntry{90, 255, 0, 0}));
  EXPECT_FALSE(ui::GetUpdateRect(hwnd));
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_QUERYNEWPALETTE), 1);
  EXPECT_FALSE(ui::GetUpdateRect(hwnd)) << "nothing changed, nothing to repaint";

  // Another window realises its own palette.
  std::vector<gdi::PaletteEntry> other(50, gdi::PaletteEntry{9, 8, 7, gdi::kPcNoCollapse});
  gdi::Dc elsewhere(gdi::Surface::Create(2, 2));
  elsewhere.SelectPalette(gdi::Palette::Create(other), false);
  ASSERT_GT(elsewhere.RealizePalette(), 0);
  win::SendMessage(hwnd, win::WM_PALETTECHANGED, hwnd);
  EXPECT_FALSE(ui::GetUpdateRect(hwnd)) << "its own change is not answered";
  win::SendMessage(hwnd, win::WM_PALETTECHANGED, hwnd + 1);
  EXPECT_EQ(ui::GetUpdateRect(hwnd), ui::GetClientRect(hwnd));
  ui::UpdateWindow(hwnd);
  ASSERT_TRUE(elsewhere.RealizePalette() > 0);
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_QUERYNEWPALETTE), 1);
  EXPECT_EQ(ui::GetUpdateRect(hwnd), ui::GetClientRect(hwnd));
  ui::UpdateWindow(hwnd);

  // On true colour nothing is realised.
  gdi::SetScreenBitsPerPixel(32);
  EXPECT_EQ(win::SendMessage(hwnd, win::WM_QUERYNEWPALETTE), 1);
  EXPECT_FALSE(ui::GetUpdateRect(hwnd));
  win::DestroyWindow(hwnd);
}

TEST_F(LogoTest, PlacementForBlacknessOffAndOn) {
  WriteBmp(dir + "/own.bmp", 100, 60);
  const gdi::Rect screen = ui::ScreenRect();
  for (int blackness : {0, 1}) {
    SCOPED_TRACE(blackness);
    Config("File=" + dir + "/own.bmp\nBlackness=" + std::to_string(blackness) + "\n");
    ASSERT_TRUE(Attach(kBin));
    const uint32_t hwnd = LaunchLogo(0);
    ASSERT_NE(hwnd, 0u);
    const gdi::Rect r = *ui::GetWindowRect(hwnd);
    if (blackness) {
      EXPECT_EQ(r, screen);
      EXPECT_EQ(OpenDialog()->ImageRect(),
                gdi::MakeRect((screen.Width() - 100) / 2 - 1, (screen.Height() - 60) / 2 - 1, 100, 60));
    } else {
      EXPECT_EQ(r, gdi::MakeRect(screen.left + (screen.Width() - 100) / 2,
                                 screen.top + (screen.Height() - 60) / 2, 100, 60));
    }
    Detach();
  }
}

TEST_F(LogoTest, ClosesAfterItsTimeAlsoWithoutAPicture) {
  for (const char* file : {"@", "/no/such/picture.bmp"}) {
    SCOPED_TRACE(file);
    Config(std::string("Time=500\nFile=") + file + "\n");
    ASSERT_TRUE(Attach(kBin));
    ASSERT_NE(LaunchLogo(0), 0u);
    const uint32_t hwnd = OpenDialog()->GetHwnd();
    EXPECT_EQ(OpenDialog()->HasImage(), std::string(file) == "@");
    Advance(499);
    EXPECT_TRUE(win::IsWindow(hwnd));
    Advance(1);
    EXPECT_FALSE(win::IsWindow(hwnd));
    EXPECT_EQ(OpenDialog(), nullptr);
    Detach();
  }
}

TEST_F(LogoTest, TheEffectIsTheTableEntryAtTheClockAndRunsToTheEnd) {
  Config("");
  ASSERT_TRUE(Attach(kBin));
  Advance(13);
  ASSERT_NE(LaunchLogo(0), 0u);
  win::ProcessPendingMessages();
  const auto& t = OpenDialog()->CurrentTransition();
  ASSERT_TRUE(t);
  EXPECT_EQ(t->Code(), gdi::imaging::kEffectCodes[13 % 27]);
  EXPECT_EQ(t->Shown(), 0);
  Advance(gdi::imaging::kEffectDurationMs / 2);
  EXPECT_NEAR(OpenDialog()->CurrentTransition()->Shown(), gdi::imaging::kEffectFrames / 2, 1);
  Advance(gdi::imaging::kEffectDurationMs);
  EXPECT_TRUE(OpenDialog()->CurrentTransition()->Done());
  // A second logo is refused while the first is open.
  EXPECT_EQ(LaunchLogo(0), 0u);
  SinkDownLogo();

  // Every place of the table, by the clock at the full repaint.
  for (uint64_t offset = 0; offset < 2 * gdi::imaging::kEffectCodes.size(); ++offset) {
    const uint64_t now = win::TimerNowMs();
    const uint64_t wait = (offset + 27 - now % 27) % 27;
    Advance(wait);
    ASSERT_NE(LaunchLogo(0), 0u);
    win::ProcessPendingMessages();
    ASSERT_TRUE(OpenDialog()->CurrentTransition());
    EXPECT_EQ(OpenDialog()->CurrentTransition()->Code(),
              gdi::imaging::kEffectCodes[(now + wait) % 27])
        << "clock " << now + wait;
    SinkDownLogo();
    win::ProcessPendingMessages();
  }
}

TEST_F(LogoTest, APartialRepaintPaintsThePictureClippedWithoutEffect) {
  WriteBmp(dir + "/own.bmp", 64, 48);
  DialogSetup setup;
  setup.imagePath = dir + "/own.bmp";
  auto* d = new CLogoDialog(setup);
  ASSERT_TRUE(d->Create("logo"));
  win::ProcessPendingMessages();
  Advance(gdi::imaging::kEffectDurationMs);
  const int code = d->CurrentTransition()->Code();
  auto dc = ui::GetDc(d->GetHwnd());
  const auto image = dc->Target()->CopyPixels();
  dc->FillRect(gdi::Rect{0, 0, 64, 48}, gdi::Rgb(1, 2, 3));
  const gdi::Rect part{10, 10, 20, 30};
  ui::InvalidateRect(d->GetHwnd(), &part, false);
  ui::UpdateWindow(d->GetHwnd());
  const auto after = dc->Target()->CopyPixels();
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      ASSERT_EQ(after[y * 64 + x], part.Contains({x, y}) ? image[y * 64 + x] : gdi::Rgb(1, 2, 3))
          << x << "," << y;
  EXPECT_TRUE(d->CurrentTransition()->Done());
  EXPECT_EQ(d->CurrentTransition()->Code(), code);
  win::DestroyWindow(d->GetHwnd());
}

TEST_F(LogoTest, ScrollerStepsByCharactersAndCyclesTheTexts) {
  struct Row {
    int codePage;
    std::string text;
    std::vector<size_t> steps; // positions after the 40 spaces, before the refill
  } rows[] = {
      {949, "\xB0\xA1z", {}},      // a Hangul syllable is two bytes: one byte left
      {932, "\xB1\xB2z", {41}},    // half-width katakana are one byte each
      {1252, "\xE9\xE8z", {41}},   // accented letters are one byte
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.codePage);
    DialogSetup setup;
    setup.mode = Mode::About;
    setup.codePage = row.codePage;
    setup.imagePath = kBin + "/logo.bmp";
    setup.texts = {row.text, "second", "third", "fourth"};
    auto* d = new CLogoDialog(setup);
    ASSERT_TRUE(d->Create("about"));
    EXPECT_EQ(d->TextBuffer(), std::string(kLeadSpaces, ' ') + row.text);
    Advance(kScrollMs * kLeadSpaces);
    EXPECT_EQ(d->ScrollPosition(), kLeadSpaces);
    for (size_t p : row.steps) {
      Advance(kScrollMs);
      EXPECT_EQ(d->ScrollPosition(), p);
    }
    Advance(kScrollMs);
    // At one byte left the next text comes in from the start.
    EXPECT_EQ(d->TextNumber(), 15u);
    EXPECT_EQ(d->ScrollPosition(), 0u);
    EXPECT_EQ(d->TextBuffer(), std::string(kLeadSpaces, ' ') + "second");
    // 15, 16, 17 and back to 14.
    for (uint32_t next : {16u, 17u, 14u}) {
      Advance(kScrollMs * (d->TextBuffer().size() - 1));
      EXPECT_EQ(d->TextNumber(), next);
    }
    win::DestroyWindow(d->GetHwnd());
  }
}

TEST_F(LogoTest, ACustomPictureGetsNoText) {
  WriteBmp(dir + "/own.bmp", 240, 250);
  for (bool custom : {true, false}) {
    DialogSetup setup;
    setup.custom = custom;
    setup.imagePath = dir + "/own.bmp";
    auto* d = new CLogoDialog(setup);
    ASSERT_TRUE(d->Create("logo"));
    Advance(gdi::imaging::kEffectDurationMs);
    auto dc = ui::GetDc(d->GetHwnd());
    const auto before = dc->Target()->CopyPixels(kTextRect);
    d->DrawTextLine("HELLO HELLO");
    EXPECT_EQ(dc->Target()->CopyPixels(kTextRect) == before, custom);
    win::DestroyWindow(d->GetHwnd());
  }
}

// A sequencer that writes what it is asked into a log.
struct FakeSequencer {
  std::vector<std::string> log;
  int open = 0, maxOpen = 0;
  bool portFails = false;
};
FakeSequencer* fake = nullptr;

class FakeDevice : public mci::Device {
public:
  uint32_t Execute(const mci::Request& r, mci::Reply& reply) override {
    fake->log.push_back(r.verb + (r.args.empty() ? "" : " " + r.args[0]));
    if (r.verb == "status")
      return fake->portFails ? mci::kErrDeviceNotReady : (reply.text = "0", mci::kOk);
    if (r.verb == "play")
      reply.pending = true;
    return mci::kOk;
  }
  void Close(const mci::Request&) override {
    fake->log.push_back("close");
    --fake->open;
  }
};

std::unique_ptr<mci::Device> OpenFake(const mci::OpenRequest& r, uint32_t*) {
  fake->log.push_back("open " + fs::path(r.element).filename().string());
  fake->maxOpen = std::max(fake->maxOpen, ++fake->open);
  return std::make_unique<FakeDevice>();
}

TEST_F(LogoTest, OneMusicDeviceForLogoAboutAndClose) {
  FakeSequencer seq;
  fake = &seq;
  mci::ScopedDeviceType type(kMusicDeviceType, OpenFake);
  Config("Music=logo.mid\nMusicAbout=about.mid\n");
  setenv("VEXO_PLATFORM", "9x", 1);
  ASSERT_TRUE(Attach(kBin));
  EXPECT_NE(MusicDevice(), 0u);
  ASSERT_NE(LaunchLogo(0), 0u);
  LaunchAboutDlg(0);
  ASSERT_NE(OpenDialog(), nullptr);
  EXPECT_EQ(OpenDialog()->GetMode(), Mode::About);
  win::PostMessage(OpenDialog()->GetHwnd(), win::WM_KEYDOWN, 0x20, 0);
  win::ProcessPendingMessages();
  win::ProcessPendingMessages();
  EXPECT_EQ(OpenDialog(), nullptr);
  EXPECT_EQ(MusicDevice(), 0u);
  EXPECT_EQ(seq.log, (std::vector<std::string>{"open logo.mid", "status port", "play from",
                                               "close", "open about.mid", "status port",
                                               "play from", "close"}));
  EXPECT_EQ(seq.maxOpen, 1);
  EXPECT_EQ(seq.open, 0);

  // The NT family plays nothing; a failed status query closes the device.
  Detach();
  seq.log.clear();
  unsetenv("VEXO_PLATFORM");
  ASSERT_TRUE(Attach(kBin));
  EXPECT_TRUE(seq.log.empty());
  Detach();
  setenv("VEXO_PLATFORM", "9x", 1);
  seq.portFails = true;
  ASSERT_TRUE(Attach(kBin));
  EXPECT_EQ(seq.log, (std::vector<std::string>{"open logo.mid", "status port", "close"}));
  EXPECT_EQ(MusicDevice(), 0u);
  fake = nullptr;
}

TEST_F(LogoTest, TheTunePlaysOnTheSequencerEveryEventAtItsTime) {
  const std::string tune = kBin + "/logo.mid";
  std::ifstream in(tune, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  const auto events = media::ReadStandardMidiFile(bytes);
  ASSERT_TRUE(events);
  ASSERT_GT(events->size(), 50u);
  EXPECT_GT(events->back().timeMs, 7000u);
  EXPECT_LT(events->back().timeMs, 11000u);

  media::VirtualTime time;
  media::InstallTimeSource(&time);
  auto recorder = std::make_shared<media::RecordingMidiOut>();
  media::MidiOut().UseDevicesForTesting({recorder});
  media::RegisterSequencerDevice();
  Config("");
  setenv("VEXO_PLATFORM", "9x", 1);
  ASSERT_TRUE(Attach(kBin));
  EXPECT_NE(MusicDevice(), 0u);
  time.Advance(events->back().timeMs + 100);
  win::ProcessPendingMessages(); // the end notice closes the device
  EXPECT_EQ(MusicDevice(), 0u);
  const auto got = recorder->Messages();
  // Every event of the file at its time (the sounds-off at the close aside).
  ASSERT_GE(got.size(), events->size());
  for (size_t i = 0; i < events->size(); ++i) {
    EXPECT_EQ(got[i].timeMs, (*events)[i].timeMs) << i;
    EXPECT_EQ(got[i].shortMessage & 0xFF, (*events)[i].bytes[0]) << i;
  }
  Detach();
  media::InstallTimeSource(nullptr);
}

// The tune as mido reads it (when it is installed): each channel message
// at its time in milliseconds, with its bytes.
std::optional<std::vector<std::pair<double, std::vector<int>>>> MidoEvents(const std::string& file) {
  const std::string command =
      "/usr/bin/python3 -c 'import mido,sys\nt=0.0\nfor m in mido.MidiFile(sys.argv[1]):\n"
      " t+=m.time\n if not m.is_meta: print(t*1000, *m.bytes())' " + file + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return std::nullopt;
  std::vector<std::pair<double, std::vector<int>>> events;
  char line[256];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream words(line);
    std::pair<double, std::vector<int>> e;
    words >> e.first;
    for (int b; words >> b;)
      e.second.push_back(b);
    events.push_back(std::move(e));
  }
  if (pclose(pipe) != 0 || events.empty())
    return std::nullopt;
  return events;
}

TEST_F(LogoTest, TheTunePlaysEveryEventAtTheTimeMidoReads) {
  const std::string tune = kBin + "/logo.mid";
  const auto expected = MidoEvents(tune);
  if (!expected)
    GTEST_SKIP() << "python3-mido is not installed";
  media::VirtualTime time;
  media::InstallTimeSource(&time);
  auto recorder = std::make_shared<media::RecordingMidiOut>();
  media::MidiOut().UseDevicesForTesting({recorder});
  media::RegisterSequencerDevice();
  Config("");
  setenv("VEXO_PLATFORM", "9x", 1);
  ASSERT_TRUE(Attach(kBin));
  time.Advance(uint32_t(expected->back().first) + 100);
  win::ProcessPendingMessages();
  EXPECT_EQ(MusicDevice(), 0u);
  const auto got = recorder->Messages();
  ASSERT_GE(got.size(), expected->size());
  for (size_t i = 0; i < expected->size(); ++i) {
    const auto& [ms, bytes] = (*expected)[i];
    EXPECT_NEAR(double(got[i].timeMs), ms, 1.0) << i;
    for (size_t k = 0; k < bytes.size(); ++k)
      EXPECT_EQ(int(got[i].shortMessage >> (8 * k) & 0xFF), bytes[k]) << i << " byte " << k;
  }
  Detach();
  media::InstallTimeSource(nullptr);
}

// The library as a host loads it: by name, with only its exports.
TEST_F(LogoTest, ThroughTheLibraryLoadedByName) {
  Config("Time=300\n");
  auto lib = sys::Library::Load(kBin, "Bivane");
  ASSERT_TRUE(lib);
  auto attach = reinterpret_cast<decltype(&Bivane_Attach)>(lib->Find("Bivane_Attach"));
  auto detach = reinterpret_cast<decltype(&Bivane_Detach)>(lib->Find("Bivane_Detach"));
  auto launch = reinterpret_cast<decltype(&LaunchLogo)>(lib->Find("LaunchLogo"));
  auto about = reinterpret_cast<decltype(&LaunchAboutDlg)>(lib->Find("LaunchAboutDlg"));
  auto sink = reinterpret_cast<decltype(&SinkDownLogo)>(lib->Find("SinkDownLogo"));
  auto text = reinterpret_cast<decltype(&DrawTextLogo)>(lib->Find("DrawTextLogo"));
  ASSERT_TRUE(attach && detach && launch && about && sink && text && lib->Find("LogoMusicOff"));
  EXPECT_EQ(lib->Find("Attach"), nullptr);
  ASSERT_EQ(attach(), 1);
  const uint32_t first = launch(0);
  ASSERT_NE(first, 0u);
  EXPECT_EQ(launch(0), 0u);
  EXPECT_TRUE(win::IsWindow(first));
  text("Loading the songs...");
  about(0);
  EXPECT_FALSE(win::IsWindow(first));
  EXPECT_EQ(launch(0), 0u); // the about box is open
  sink();
  for (int i = 0; i < 100; ++i) {
    const uint32_t logo = launch(0);
    ASSERT_NE(logo, 0u);
    about(0);
    sink();
    ASSERT_FALSE(win::IsWindow(logo));
    const uint32_t timed = launch(0);
    ASSERT_NE(timed, 0u);
    Advance(300);
    ASSERT_FALSE(win::IsWindow(timed));
  }
  detach();
  win::ProcessPendingMessages();
}

} // namespace

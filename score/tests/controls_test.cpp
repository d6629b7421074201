// The score display controls and their base: the configuration's fields,
// creation by class name, the object handed out, clicks and mouse moves
// passed on, and what each control draws, read back from its pixels
// offscreen (the pictures are kept in the tests' artefacts folder).
#include "score/controls/control_base.h"
#include "score/controls/score_controls.h"

#include "platform/gdi/font.h"
#include "platform/gdi/surface.h"
#include "platform/media/virtual_time.h"
#include "platform/sys/library.h"
#include "platform/ui/animation/animate.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/dialog/dialog_template.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"
#include "score/controller.h"
#include "score/library.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

namespace {

using controls::CControlBase;

void StartScreen() {
  static const bool ready = [] {
    char pattern[] = "/tmp/vexo-controls-XXXXXX";
    if (char* dir = mkdtemp(pattern))
      setenv("VEXO_RUNTIME_DIR", dir, 1);
    static int argc = 1;
    static char name[] = "controls_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return true;
  }();
  (void)ready;
}

void KeepPicture(win::Hwnd hwnd, const std::string& name) {
  const std::string dir = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(dir);
  if (auto dc = ui::GetDc(hwnd))
    dc->Target()->SavePng(dir + "/" + name + ".png");
}

// --- the configuration --------------------------------------------------

TEST(ControlBase, ReadsFieldsAndSubFields) {
  CControlBase c;
  c.SetConfiguration("1:2/3:4:5");
  int32_t a = -1, b = -1, d = -1;
  EXPECT_TRUE(c.GetPair(&a, &b, 2));
  EXPECT_EQ(std::pair(a, b), std::pair(3, 4));
  EXPECT_TRUE(c.GetTriple(&a, &b, &d, 2));
  EXPECT_EQ(std::tuple(a, b, d), std::tuple(3, 4, 5));
  a = b = d = -1;
  EXPECT_FALSE(c.GetTriple(&a, &b, &d, 1)); // partly filled
  EXPECT_EQ(std::tuple(a, b, d), std::tuple(1, 2, -1));
  char field[16];
  EXPECT_FALSE(c.GetField(field, sizeof field, 3));
  EXPECT_FALSE(c.GetField(field, sizeof field, 0));

  struct Case {
    const char* config;
    int n;
    bool exists;
    int32_t value; // GetInt
    const char* field;
  } cases[] = {
      {"//7", 1, true, 0, ""},    // empty fields read as 0
      {"//7", 3, true, 7, "7"},
      {"5/", 2, true, 0, ""},     // a trailing separator opens an empty field
      {"5/", 3, false, -1, ""},
      {"x:1/2", 1, true, 0, "x:1"}, // not a number
      {"", 1, true, 0, ""},
  };
  for (const Case& k : cases) {
    c.SetConfiguration(k.config);
    int32_t v = -1;
    EXPECT_EQ(c.GetInt(&v, k.n), k.exists) << k.config << " " << k.n;
    EXPECT_EQ(v, k.value) << k.config << " " << k.n;
    if (k.exists) {
      ASSERT_TRUE(c.GetField(field, sizeof field, k.n));
      EXPECT_STREQ(field, k.field);
    }
  }
  c.SetConfiguration("255:0:0/1:2");
  gdi::Colour colour = 7;
  EXPECT_TRUE(c.GetColor(&colour, 1));
  EXPECT_EQ(colour, gdi::Rgb(255, 0, 0));
  colour = 7;
  EXPECT_FALSE(c.GetColor(&colour, 2));
  EXPECT_EQ(colour, 7u);
}

TEST(ControlBase, AFieldNeverRunsPastItsDestination) {
  CControlBase c;
  c.SetConfiguration(std::string(300, 'a')); // kept as 255 bytes
  EXPECT_EQ(std::strlen(c.Configuration()), 255u);
  char face[40];
  std::memset(face, 'X', sizeof face);
  ASSERT_TRUE(c.GetField(face, 32, 1));
  EXPECT_EQ(std::string(face), std::string(31, 'a'));
  EXPECT_EQ(face[32], 'X');
}

// --- windows ------------------------------------------------------------

// A screen window that logs the clicks and relays it hears.
class Recorder : public ui::ScreenWindow {
public:
  std::vector<std::pair<win::WParam, gdi::Point>> clicks;
  std::vector<win::Msg> relayed;

protected:
  ui::LResult OnMessage(uint32_t m, ui::WParam w, ui::LParam l) override {
    if (m == win::WM_LBUTTONDOWN)
      clicks.emplace_back(w, ui::PointOfLParam(l));
    if (m == controls::kToolTipRelay)
      relayed.push_back(*reinterpret_cast<const win::Msg*>(l));
    return Default(m, w, l);
  }
};

class ControlsTest : public ::testing::Test {
protected:
  void SetUp() override {
    StartScreen();
    static const bool registered = [] {
      ui::ScreenClass c;
      c.name = "ControlsTestParent";
      c.factory = [] { return std::unique_ptr<ui::ScreenWindow>(); };
      return ui::RegisterScreenClass(c);
    }();
    (void)registered;
    media::WaveIn().UseDevices({});
    std::string why;
    ASSERT_TRUE(score::Attach(VEXO_BIN_DIR, &why)) << why;
    win::CreateParams p;
    p.className = "ControlsTestParent";
    p.width = 400;
    p.height = 300;
    p.object = &parent;
    ASSERT_NE(win::CreateWindow(p), 0u);
    ui::ShowWindow(parent.GetHwnd(), ui::SW_SHOW);
  }
  void TearDown() override {
    if (parent.GetHwnd())
      win::DestroyWindow(parent.GetHwnd());
    score::Detach();
    win::ProcessPendingMessages();
  }

  template <typename T>
  T* Make(const char* className, int x, int y, int w, int h, const std::string& text = {}) {
    win::CreateParams p;
    p.className = className;
    p.title = text;
    p.style = win::WS_CHILD | win::WS_VISIBLE;
    p.parent = parent.GetHwnd();
    p.x = x;
    p.y = y;
    p.width = w;
    p.height = h;
    const win::Hwnd hwnd = win::CreateWindow(p);
    if (!hwnd)
      return nullptr;
    CControlBase* object = nullptr;
    if (win::SendMessage(hwnd, win::WM_COMMAND, controls::kQueryControlObject,
                         reinterpret_cast<win::LParam>(&object)) != 1)
      return nullptr;
    return dynamic_cast<T*>(object);
  }

  std::vector<gdi::Colour> Pixels(win::Hwnd hwnd) {
    auto dc = ui::GetDc(hwnd);
    return dc ? dc->Target()->CopyPixels() : std::vector<gdi::Colour>{};
  }

  Recorder parent;
};

TEST_F(ControlsTest, MadeByClassNameAndHandingOutTheirObject) {
  for (const char* name : score::kControlClassNames)
    EXPECT_TRUE(win::IsClassRegistered(name)) << name;
  auto* led = Make<score::CScoreLED>("CScoreLED", 0, 0, 100, 40, "1201");
  ASSERT_NE(led, nullptr);
  EXPECT_EQ(win::GetWindowObject(led->GetHwnd()), led);
  EXPECT_STREQ(led->Configuration(), "1201"); // the window text, until loaded
  led->LoadResources(score::Bundle(), -1);
  EXPECT_STREQ(led->Configuration(), score::Bundle()->String(1201)->c_str());
  // Other commands go on to the usual handling.
  EXPECT_EQ(win::SendMessage(led->GetHwnd(), win::WM_COMMAND, 1001, 0), 0);
  score::Detach();
  for (const char* name : score::kControlClassNames)
    EXPECT_FALSE(win::IsClassRegistered(name)) << name;
  std::string why;
  ASSERT_TRUE(score::Attach(VEXO_BIN_DIR, &why));
}

TEST_F(ControlsTest, MadeByClassNameFromADialogTemplate) {
  ui::DialogTemplateError error;
  auto t = ui::ParseDialogTemplate("DIALOG 0 0 200 100\n"
                                   "CONTROL \"CScoreLED\" 1001 \"1201\" 10 10 100 30\n"
                                   "CONTROL \"CScoreMeter\" 1002 \"1202\" 120 10 10 60 DISABLED\n",
                                   &error);
  ASSERT_TRUE(t) << error.line << ": " << error.message;
  ASSERT_EQ(t->items.size(), 2u);
  EXPECT_EQ(t->items[0].className, "CScoreLED");
  EXPECT_TRUE(t->items[0].kind == ui::kCustomControl);
  EXPECT_FALSE(ui::ParseDialogTemplate("DIALOG 0 0 10 10\nCONTROL CScoreLED 1 \"\" 0 0 1 1\n"));
  EXPECT_FALSE(ui::ParseDialogTemplate("DIALOG 0 0 10 10\nCONTROL \"\" 1 \"\" 0 0 1 1\n"));

  ui::ScopedDialogBackend backend(std::make_shared<ui::ScriptedDialogs>(false));
  ui::Dialog dialog(*t);
  ASSERT_TRUE(dialog.Create(parent.GetHwnd()));
  const win::Hwnd item = win::FindWindowEx(dialog.GetHwnd(), "CScoreLED", "1201");
  ASSERT_NE(item, 0u);
  EXPECT_EQ(win::GetDlgCtrlId(item), 1001u);
  EXPECT_EQ(ui::GetDlgItem(dialog.GetHwnd(), 1001), item);
  EXPECT_NE(win::FindWindowEx(dialog.GetHwnd(), "CScoreMeter", "1202"), 0u);
  CControlBase* object = nullptr;
  ASSERT_EQ(win::SendMessage(item, win::WM_COMMAND, controls::kQueryControlObject,
                             reinterpret_cast<win::LParam>(&object)),
            1);
  auto* led = dynamic_cast<score::CScoreLED*>(object);
  ASSERT_NE(led, nullptr);
  led->LoadResources(nullptr, -1); // the window text's string of the library
  EXPECT_STREQ(led->Configuration(), score::Bundle()->String(1201)->c_str());
  dialog.EndDialog(0);
}

TEST_F(ControlsTest, AClickReachesTheParentAndAMoveTheToolTip) {
  auto* meter = Make<score::CScoreMeter>("CScoreMeter", 10, 20, 30, 40);
  ASSERT_NE(meter, nullptr);
  win::SendMessage(meter->GetHwnd(), win::WM_LBUTTONDOWN, 1, ui::MakeLParam(5, 6));
  ASSERT_EQ(parent.clicks.size(), 1u);
  EXPECT_EQ(parent.clicks[0].first, 1u);
  EXPECT_EQ(parent.clicks[0].second, (gdi::Point{15, 26}));

  meter->toolTip = &parent; // any window records the relay
  win::SendMessage(meter->GetHwnd(), win::WM_MOUSEMOVE, 2, ui::MakeLParam(7, 8));
  ASSERT_EQ(parent.relayed.size(), 1u);
  EXPECT_EQ(parent.relayed[0].hwnd, meter->GetHwnd());
  EXPECT_EQ(parent.relayed[0].message, win::WM_MOUSEMOVE);
  EXPECT_EQ(parent.relayed[0].wParam, 2u);
  EXPECT_EQ(parent.relayed[0].lParam, ui::MakeLParam(7, 8));
}

TEST_F(ControlsTest, TheLedShowsTheScoreRightAlignedWithEqualMargins) {
  auto* led = Make<score::CScoreLED>("CScoreLED", 0, 0, 160, 60, "1201");
  ASSERT_NE(led, nullptr);
  led->LoadResources(score::Bundle(), -1);
  led->Show(87.26f);
  KeepPicture(led->GetHwnd(), "score-led-87.3");
  const gdi::Rect cell = led->LastText();
  EXPECT_EQ(160 - cell.right, cell.top); // right margin = top margin
  EXPECT_EQ(cell.top, (60 - cell.Height()) / 2);
  // The pixels are those of "87.3" drawn alone in the same font and place.
  auto reference = gdi::Surface::Create(160, 60, gdi::Rgb(0, 0, 0));
  gdi::Dc dc(reference);
  dc.SelectFont(led->MakeFont());
  dc.SetTextColor(gdi::Rgb(0, 255, 255));
  dc.SetBkColor(gdi::Rgb(0, 0, 0));
  dc.SetBkMode(gdi::kOpaque);
  EXPECT_EQ(dc.TextExtent("87.3").cx, cell.Width());
  dc.TextOut(cell.left, cell.top, "87.3");
  EXPECT_EQ(Pixels(led->GetHwnd()), reference->CopyPixels());
  // A shorter text afterwards leaves nothing of the longer one.
  led->Show(5.0f);
  auto again = gdi::Surface::Create(160, 60, gdi::Rgb(0, 0, 0));
  gdi::Dc dc2(again);
  dc2.SelectFont(led->MakeFont());
  dc2.SetTextColor(gdi::Rgb(0, 255, 255));
  dc2.SetBkColor(gdi::Rgb(0, 0, 0));
  dc2.SetBkMode(gdi::kOpaque);
  dc2.TextOut(led->LastText().left, led->LastText().top, "5.0");
  EXPECT_EQ(Pixels(led->GetHwnd()), again->CopyPixels());
}

TEST_F(ControlsTest, TheMeterLightsSegmentsFromTheBottom) {
  auto* meter = Make<score::CScoreMeter>("CScoreMeter", 0, 0, 10, 40, "1202");
  ASSERT_NE(meter, nullptr);
  meter->LoadResources(score::Bundle(), -1);
  ASSERT_EQ(meter->Segments(), 10); // 3 + 1 lines each
  const gdi::Colour bar = gdi::Rgb(0, 255, 255), empty = gdi::Rgb(128, 128, 128),
                    over = gdi::Rgb(255, 0, 0);
  struct Case {
    float note;
    int lit;
    gdi::Colour bottom, top;
  } cases[] = {
      {30, 0, empty, empty}, {60, 5, bar, empty}, {80, 10, bar, bar},
      {90, 10, over, over},  {0, 0, empty, empty},
  };
  for (const Case& k : cases) {
    meter->Show(k.note);
    EXPECT_EQ(meter->Lit(), k.lit) << k.note;
    auto dc = ui::GetDc(meter->GetHwnd());
    EXPECT_EQ(dc->GetPixel(5, 39), k.bottom) << k.note;
    EXPECT_EQ(dc->GetPixel(5, 1), k.top) << k.note;
    if (k.note == 90)
      KeepPicture(meter->GetHwnd(), "score-meter-over");
  }
  meter->ResetMeter();
  EXPECT_EQ(meter->Lit(), 0);
}

TEST_F(ControlsTest, AMeterWithoutSegmentHeightOrClientDrawsSafely) {
  auto* meter = Make<score::CScoreMeter>("CScoreMeter", 0, 0, 10, 20);
  ASSERT_NE(meter, nullptr);
  meter->SetConfiguration("0/0:0");
  meter->ApplyConfiguration();
  // The text's division by zero: segment and gap of 0 lines take 1.
  EXPECT_EQ(meter->Segments(), 20);
  meter->Show(70);
  auto* none = Make<score::CScoreLED>("CScoreLED", 0, 0, 10, 10);
  ASSERT_NE(none, nullptr);
  ui::MoveWindow(none->GetHwnd(), 0, 0, 0, 0);
  ASSERT_EQ(ui::GetClientRect(none->GetHwnd())->Width(), 0);
  const gdi::Rect before = none->LastText();
  none->Show(50); // a zero-size client draws nothing
  EXPECT_EQ(none->LastText().left, before.left);
  EXPECT_EQ(none->LastText().right, before.right);
}

TEST_F(ControlsTest, TheWaveAndTheTraceGiveTheGridBackOnceMovedOn) {
  auto* wave = Make<score::CScoreWave>("CScoreWave", 0, 0, 100, 64, "1204");
  ASSERT_NE(wave, nullptr);
  wave->LoadResources(score::Bundle(), -1);
  const auto grid = Pixels(wave->GetHwnd());
  std::vector<uint8_t> block;
  for (int i = 0; i < 60; ++i)
    block.push_back(i % 2 ? 255 : 0); // full scale both ways
  wave->ShowBlock(block);
  KeepPicture(wave->GetHwnd(), "score-wave-full-scale");
  EXPECT_GE(wave->YOf(255), 0);
  EXPECT_LE(wave->YOf(0), 63);
  auto dc = ui::GetDc(wave->GetHwnd());
  EXPECT_EQ(dc->GetPixel(1, wave->YOf(255)), wave->GetWaveColor());
  EXPECT_EQ(Pixels(wave->GetHwnd())[80 + 100 * 10], grid[80 + 100 * 10]); // past the block
  wave->ShowBlock({});
  EXPECT_EQ(Pixels(wave->GetHwnd()), grid);
  wave->SetMinorStep(8);
  EXPECT_EQ(wave->GetMinorStep(), 8);

  auto* trace = Make<score::CScoreOscillo>("CScoreOscillo", 0, 100, 50, 40, "1203");
  ASSERT_NE(trace, nullptr);
  trace->LoadResources(score::Bundle(), -1);
  const auto traceGrid = Pixels(trace->GetHwnd());
  EXPECT_EQ(trace->YOf(40), 39); // the text's formula gave 41, past the bottom
  for (float note : {40.0f, 60.0f, 80.0f, 100.0f})
    trace->Add(note);
  EXPECT_NE(Pixels(trace->GetHwnd()), traceGrid);
  for (int i = 0; i < 50; ++i)
    trace->Add(0);
  EXPECT_EQ(Pixels(trace->GetHwnd()), traceGrid);
}

TEST_F(ControlsTest, TheTraceIsALineThroughItsPointsBrokenWhereNothingWasSung) {
  auto* trace = Make<score::CScoreOscillo>("CScoreOscillo", 0, 0, 50, 40, "1203");
  ASSERT_NE(trace, nullptr);
  trace->LoadResources(score::Bundle(), -1); // step 1:1, trace green
  const auto grid = Pixels(trace->GetHwnd());
  for (float note : {50.0f, 70.0f, 0.0f, 60.0f})
    trace->Add(note);
  const auto pixels = Pixels(trace->GetHwnd());
  const gdi::Colour green = gdi::Rgb(0, 255, 0);
  auto traced = [&](int x, int y) { return pixels[static_cast<size_t>(y * 50 + x)] == green; };
  auto count = [&](int x) {
    int n = 0;
    for (int y = 0; y < 40; ++y)
      n += traced(x, y) ? 1 : 0;
    return n;
  };
  // 60 alone at the right edge, nothing at the silent point, 70 and 50
  // joined: every row between them is covered in one of their columns.
  EXPECT_EQ(count(49), 1);
  EXPECT_TRUE(traced(49, trace->YOf(60)));
  EXPECT_EQ(count(48), 0);
  const int top = trace->YOf(70), bottom = trace->YOf(50);
  ASSERT_LT(top + 2, bottom);
  for (int y = top; y <= bottom; ++y)
    EXPECT_TRUE(traced(46, y) || traced(47, y)) << y;
  EXPECT_TRUE(traced(47, top));
  EXPECT_TRUE(traced(46, bottom));
  EXPECT_EQ(count(45), 0);
  KeepPicture(trace->GetHwnd(), "score-oscillo-line");
  for (int i = 0; i < 50; ++i)
    trace->Add(0);
  EXPECT_EQ(Pixels(trace->GetHwnd()), grid);
}

TEST_F(ControlsTest, TheDebugPanelsTextIsTheEnginesFormat) {
  score::DebugValues v;
  v.count = 3;
  v.player.curNote = 64;
  v.player.noNote = 0;
  v.player.lyricOn = 1;
  v.player.lyricTotalMs = 400;
  v.player.lyricElapsedMs = 100;
  v.amplitude = 12.5f;
  v.errCount = 4;
  v.errSum = 2.0f;
  v.volChecks = 0;
  const std::string text = score::DebugText(v);
  EXPECT_EQ(text.substr(0, text.find("amplitude")),
            "Count          : 3\t\t\r\nget_curnote    = 64\t\t\r\nchk_nonote     = 0\t\t\r\n"
            "chk_lyricon    = 1\t\t\r\nlLyricTotTime  = 400\t\t\r\nlLyricCurTime  = 100\t\t\r\n"
            "bInterlude     = 0\t\t\t\r\n");
  EXPECT_NE(text.find("amplitude      =  12.50\t\t\r\n"), std::string::npos);
  EXPECT_NE(text.find("fErrSum        =   2.00(  0.50)\t\t\r\n"), std::string::npos);
  EXPECT_NE(text.find("iNumVolChk     = 0000\t\t\r\niNumVolHit     = 0(  0.00)"),
            std::string::npos);
  EXPECT_EQ(score::ExpandTabs("ab\tc\r\n\tx"), "ab      c\n        x");

  auto* panel = Make<score::CScoreDebug>("CScoreDebug", 0, 0, 300, 520);
  ASSERT_NE(panel, nullptr);
  panel->Show(v);
  EXPECT_EQ(panel->Text(), text);
  EXPECT_EQ(panel->ChartColumn(), 2);
  KeepPicture(panel->GetHwnd(), "score-debug");
}

TEST_F(ControlsTest, EachClipPlaysItsFramesOnTheTimer) {
  win::ManualTimerClock timers;
  win::InstallTimerClock(&timers);
  ASSERT_TRUE(ui::AnimateControl::Register());
  ui::AnimateControl clip;
  win::CreateParams p;
  p.className = ui::kAnimateClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = parent.GetHwnd();
  p.width = 64;
  p.height = 64;
  p.object = &clip;
  ASSERT_NE(win::CreateWindow(p), 0u);
  for (uint32_t id = 131; id <= 137; ++id) {
    ASSERT_TRUE(clip.Open(*score::Bundle(), id)) << id;
    EXPECT_EQ(clip.FrameCount(), 4) << id;
    EXPECT_EQ(clip.FramePeriodMs(), 250u) << id;
    const auto& first = clip.FramePixels(0);
    ASSERT_EQ(first.size(), 64u * 64u);
    EXPECT_EQ(first[0] & 0xFFFFFF, 0xFF00FFu) << id;            // the transparent key
    EXPECT_EQ(first[20 * 64 + 20] & 0xFFFFFF, 0xC8C8D2u) << id; // the microphone's head
  }
  ASSERT_TRUE(clip.Play(0, -1, -1));
  std::vector<int32_t> seen;
  for (int i = 0; i < 6; ++i) {
    timers.Advance(250);
    seen.push_back(clip.CurrentFrame());
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 3, 0, 1, 2}));
  // Twice through, then it stops on its last frame.
  ASSERT_TRUE(clip.Play(0, -1, 2));
  timers.Advance(250 * 10);
  EXPECT_FALSE(clip.Playing());
  EXPECT_EQ(clip.CurrentFrame(), 3);
  EXPECT_FALSE(clip.Open(*score::Bundle(), 999));
  win::DestroyWindow(clip.GetHwnd());
  win::InstallTimerClock(nullptr);
}

TEST_F(ControlsTest, TheAnimationFollowsTheSingingStatusWithinATick) {
  win::ManualTimerClock timers;
  win::InstallTimerClock(&timers);
  win::CreateParams p;
  p.className = "CScoreAnim";
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.exStyle = 0x20; // WS_EX_TRANSPARENT
  p.parent = parent.GetHwnd();
  p.width = 80;
  p.height = 80;
  const win::Hwnd hwnd = win::CreateWindow(p);
  ASSERT_NE(hwnd, 0u);
  auto* anim = dynamic_cast<score::CScoreAnim*>(win::GetWindowObject(hwnd));
  ASSERT_NE(anim, nullptr);
  EXPECT_EQ(anim->Clip(), 131u);
  int32_t status = 2;
  anim->statusSource = [&] { return status; };
  timers.Advance(1000);
  EXPECT_EQ(anim->Clip(), 134u);
  status = 58;
  timers.Advance(1000);
  EXPECT_EQ(anim->Clip(), 133u);
  KeepPicture(anim->Child(), "score-anim-133");
  const std::pair<int32_t, uint32_t> table[] = {{0, 131},  {2, 134},  {3, 137}, {54, 136},
                                                {56, 132}, {57, 135}, {58, 133}, {1, 0}};
  for (auto [s, clip] : table)
    EXPECT_EQ(score::ClipOfStatus(s), clip) << s;
  win::DestroyWindow(hwnd);
  win::InstallTimerClock(nullptr);
}

// The controls fed by the controller: a WAV microphone on the virtual clock.
TEST_F(ControlsTest, ControlsInAHostWindowFollowTheController) {
  score::Detach();
  media::VirtualTime clock(1000);
  media::InstallTimeSource(&clock);
  win::ManualTimerClock timers;
  win::InstallTimerClock(&timers);
  media::Wave voice;
  voice.format = media::WaveFormat::Pcm(22050, 8, 1);
  for (int i = 0; i < 22050 * 3; ++i)
    voice.data.push_back(static_cast<uint8_t>(128 + std::lround(80 * std::sin(2 * M_PI * 220.0 * i / 22050))));
  auto mic = std::make_shared<media::WavMicrophone>(voice);
  media::WaveIn().UseDevices({mic});
  std::string why;
  ASSERT_TRUE(score::Attach(VEXO_BIN_DIR, &why));
  auto core = sys::Library::Load(std::string(VEXO_TESTS_DIR) + "/fixtures/core-full", "Tamblo");
  ASSERT_TRUE(core);
  score::CScoreController* c = score::Controller();
  c->BindCore(core->Handle());
  ASSERT_TRUE(c->Create(parent.GetHwnd()));

  auto* led = Make<score::CScoreLED>("CScoreLED", 0, 0, 120, 40, "1201");
  auto* meter = Make<score::CScoreMeter>("CScoreMeter", 0, 50, 10, 40, "1202");
  auto* wave = Make<score::CScoreWave>("CScoreWave", 0, 100, 100, 64, "1204");
  auto* panel = Make<score::CScoreDebug>("CScoreDebug", 120, 0, 300, 520);
  ASSERT_TRUE(led && meter && wave && panel);
  using SetFn = void (*)(uint8_t, uint8_t, uint8_t, int32_t, int32_t, int32_t);
  auto set = reinterpret_cast<SetFn>(core->Find("FakeCore_Set"));
  ASSERT_NE(set, nullptr);
  set(60, 0, 1, 800, 200, 4321);
  for (CControlBase* k : std::initializer_list<CControlBase*>{led, meter, wave})
    k->LoadResourceString(score::Bundle(), -1);
  EXPECT_EQ(c->Listeners().Count(), 4);
  mic->SetStart(clock.NowMs());
  c->EnableScoring(1);
  ASSERT_EQ(c->StartScoring(), 1);
  for (int t = 0; t < 250; ++t) {
    clock.Advance(10);
    timers.Advance(10);
    win::ProcessPendingMessages();
  }
  win::ProcessPendingMessages();
  EXPECT_GT(c->Blocks(), 10);
  EXPECT_FLOAT_EQ(led->Value(), c->CalculateFloat());
  EXPECT_GT(meter->Lit(), 0); // 220 Hz is note 57, within 40 to 80
  // The panel shows the values the core gave before the last block.
  const std::string& text = panel->Text();
  EXPECT_NE(text.find("get_curnote    = 60\t"), std::string::npos) << text;
  EXPECT_NE(text.find("lLyricCurTime  = 200\t"), std::string::npos) << text;
  EXPECT_NE(text.find("NextEv         = 4321\t"), std::string::npos) << text;
  c->TerminateScoring();
  win::DestroyWindow(led->GetHwnd());
  EXPECT_EQ(c->Listeners().Count(), 3);
  win::InstallTimerClock(nullptr);
  media::InstallTimeSource(nullptr);
  media::WaveIn().UseDevices({});
}

} // namespace

// The controller bar: its buttons' states by mode, device and placement, the
// command each button sends, one bar at a time, Escape, the tool tips, the
// mode indicator after repaints and mode changes, Play turning into Stop
// while a clip plays, and pictures of the bar in each mode.
#include "display/tests/support/frame_fixture.h"

#include "display/resources.h"
#include "display/utils.h"
#include "platform/gdi/dib.h"
#include "platform/media/mci.h"
#include "platform/media/mpegvideo.h"
#include "platform/media/tests/support/video_clips.h"
#include "platform/sys/paths.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/snapshot.h"
#include "platform/win/loop.h"

#include <QWidget>

#include <filesystem>

using namespace display;
using namespace displaytest;

namespace {

struct Devices {
  bool overlay = false;
  bool mpeg = false;
  bool placedByRecord = false; // a mode-2 record placed the display
};

class ControllerTest : public FrameTest {
protected:
  CKivo32Frame& StartWith(const Devices& d, const std::string& extra = {}) {
    media::mci::Script& s = ScriptDevices();
    s.Allow({"open mpegvideo type mpegvideo", "close mpegvideo", "open mpegvideo style overlapped",
             "window mpegvideo handle *", "window mpegvideo text *", "put mpegvideo destination",
             "set mpegvideo time format ms", "set mpegvideo video key color to 128:0:128",
             "set mpegvideo video on", "set mpegvideo video off"});
    s.Set("info mpegvideo product", {media::mci::kOk, d.mpeg ? kMpegProduct : "Other Board"});
    if (d.overlay) {
      s.Allow({"open overlay style overlapped", "status overlay window handle",
               "set overlay video key on", "set overlay video key color to *",
               "set overlay video off", "set overlay video on", "set overlay source number to *",
               "close overlay", "window overlay handle *", "window overlay text *",
               "put overlay destination at *"});
      s.Set("info overlay product", {media::mci::kOk, kOverlayModel});
    }
    dir.Write("config.ini", "[Words]\nDisplay=0\n[Mpeg]\nCheck=1\n[Overlay]\nCheck=1\n" + extra);
    CKivo32Frame& f = Start();
    if (d.placedByRecord) {
      DisplayModeRecord record;
      record.mode = 2;
      f.ApplyDisplayMode(record);
      win::ProcessPendingMessages();
      win::ProcessPendingMessages();
    }
    return f;
  }
  // Puts the frame in a mode as a handled request leaves it.
  void EnterMode(CKivo32Frame& f, int32_t mode) {
    f.SetBackgroundMode(mode);
    f.RefreshAfterModeChange();
  }
  CMenuBarWnd* OpenBar(gdi::Point at = {200, 150}) {
    EXPECT_TRUE(frame->Controller()->Open(at));
    return frame->Controller()->Bar();
  }
  // The buttons' enabled states in table order, as '1' and '0'.
  static std::string Enabled(const CMenuBarWnd& bar) {
    std::string out;
    for (const BarButton& b : kBarButtonTable) {
      const ToolTipButton* button = bar.Button(b.id);
      out += button && button->Enabled() ? '1' : '0';
    }
    return out;
  }
  static int32_t IndicatorAfterPaint(CMenuBarWnd& bar) {
    ui::InvalidateRect(bar.GetHwnd(), nullptr, true);
    ui::UpdateWindow(bar.GetHwnd());
    return bar.IndicatorShown();
  }
};

TEST_F(ControllerTest, ButtonsFollowTheModeTheDevicesAndThePlacement) {
  // Columns: Off Pic Cfg Ovl Mpeg Avi Play SPlay Rew Fwd Pause Begin End.
  struct Row {
    const char* what;
    Devices devices;
    int32_t mode;
    const char* enabled;
  } rows[] = {
      {"no devices, still pictures", {}, kModeStill, "1100000000000"},
      {"both devices, still pictures", {true, true, false}, kModeStill, "1101100000000"},
      {"the overlay card in mode 1", {true, false, false}, kModeOverlay, "1111000000000"},
      // The MPEG device's own settings are there in mode 2.
      {"the MPEG board in mode 2", {false, true, false}, kModeMpeg, "1110101111111"},
      {"placed by a record, mode 3", {true, true, true}, kModeInfo, "1101110000000"},
      {"placed by a record, MPEG", {false, true, true}, kModeMpeg, "1110111111111"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    CKivo32Frame& f = StartWith(r.devices);
    EnterMode(f, r.mode);
    win::SendMessage(hwnd, win::WM_COMMAND, cmd::kController, 0);
    CMenuBarWnd* bar = f.Controller()->Bar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Enabled(*bar), r.enabled);
    EXPECT_EQ(IndicatorAfterPaint(*bar), r.mode);
    // Cfg follows a later mode change rather than keeping the last state.
    EnterMode(f, kModeStill);
    EXPECT_FALSE(bar->Button(barcmd::kSettings)->Enabled());
    Close();
    EXPECT_FALSE(f.Controller()->IsOpen());
    frame.reset();
  }
}

TEST_F(ControllerTest, EachButtonSendsItsCommandToTheFrame) {
  CKivo32Frame& f = StartWith({true, true, true});
  EnterMode(f, kModeMpeg);
  CMenuBarWnd* bar = OpenBar();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(Enabled(*bar), "1111111111111");
  // What reaches the frame's queue, kept from it.
  std::vector<std::pair<uint32_t, win::WParam>> posted;
  std::vector<win::LParam> from;
  const int filter = win::AddMessageFilter([&](win::Msg& m) {
    if (m.hwnd != hwnd || (m.message != win::WM_COMMAND && m.message != win::WM_USER))
      return false;
    posted.emplace_back(m.message, m.wParam);
    from.push_back(m.lParam);
    return true;
  });
  for (const BarButton& b : kBarButtonTable)
    if (b.id != barcmd::kClose)
      win::SendMessage(bar->Button(b.id)->GetHwnd(), ui::BM_CLICK, 0, 0);
  win::ProcessPendingMessages();
  const std::vector<std::pair<uint32_t, win::WParam>> want = {
      {win::WM_USER, kVideoOffRequest},     {win::WM_COMMAND, cmd::kDeviceSettings},
      {win::WM_USER, kOverlayVideoRequest}, {win::WM_USER, kMpegVideoRequest},
      {win::WM_USER, kAviVideoRequest},     {win::WM_COMMAND, cmd::kMpegPlay},
      {win::WM_COMMAND, cmd::kMpegSlow},    {win::WM_COMMAND, cmd::kMpegBackward},
      {win::WM_COMMAND, cmd::kMpegForward}, {win::WM_COMMAND, cmd::kMpegPause},
      {win::WM_COMMAND, cmd::kMpegStart},   {win::WM_COMMAND, cmd::kMpegEnd},
  };
  EXPECT_EQ(posted, want);
  // The transport's commands go on as the buttons sent them.
  ASSERT_EQ(from.size(), want.size());
  EXPECT_EQ(from[5], static_cast<win::LParam>(bar->Button(cmd::kMpegPlay)->GetHwnd()));
  // Off closes the bar and sends nothing.
  win::SendMessage(bar->Button(barcmd::kClose)->GetHwnd(), ui::BM_CLICK, 0, 0);
  win::ProcessPendingMessages();
  EXPECT_FALSE(f.Controller()->IsOpen());
  EXPECT_EQ(posted.size(), want.size());
  win::RemoveMessageFilter(filter);
  Close();
}

TEST_F(ControllerTest, OneBarAtATimeAtTheLastPointAndEscapeClosesIt) {
  CKivo32Frame& f = StartWith({});
  CMenuBarWnd* first = OpenBar({100, 120});
  ASSERT_NE(first, nullptr);
  const win::Hwnd firstHwnd = first->GetHwnd();
  EXPECT_EQ(win::GetClassName(firstHwnd), std::optional<std::string>(kControllerClass));
  EXPECT_EQ(win::GetWindowText(firstHwnd), std::optional<std::string>(kControllerTitle));
  EXPECT_EQ(win::GetParent(firstHwnd), hwnd); // owned by the frame
  EXPECT_TRUE(ui::IsWindowVisible(firstHwnd));
  CMenuBarWnd* second = OpenBar({300, 210});
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(win::IsWindow(firstHwnd));
  EXPECT_EQ(ui::GetWindowRect(second->GetHwnd()),
            std::optional<gdi::Rect>(gdi::MakeRect(300, 210, kControllerWidth, kControllerHeight)));

  struct Row {
    const char* what;
    bool onAButton;
  } rows[] = {{"Escape on the bar", false}, {"Escape on a button", true}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    CMenuBarWnd* bar = OpenBar();
    ASSERT_NE(bar, nullptr);
    const win::Hwnd target = r.onAButton ? bar->Button(cmd::kMpegPlay)->GetHwnd() : bar->GetHwnd();
    win::SendMessage(target, win::WM_KEYDOWN, ui::VK_ESCAPE, 0);
    win::ProcessPendingMessages();
    EXPECT_FALSE(f.Controller()->IsOpen());
  }
  // The frame going takes an open bar with it.
  const win::Hwnd last = OpenBar()->GetHwnd();
  Close();
  EXPECT_FALSE(win::IsWindow(last));
}

TEST_F(ControllerTest, EachButtonShowsItsTipOnAHoverAndIsNamedByItsText) {
  StartWith({});
  CMenuBarWnd* bar = OpenBar();
  ASSERT_NE(bar, nullptr);
  ui::ToolTip* tips = bar->ToolTips();
  ASSERT_NE(tips, nullptr);
  EXPECT_EQ(tips->InitialDelay(), ui::GetDoubleClickTime());
  const std::vector<std::string> want = {"Close the controller",
                                         "Still pictures",
                                         "Settings of the video device",
                                         "Overlay video",
                                         "MPEG video",
                                         "AVI/FLC video",
                                         "Play",
                                         "Slow play",
                                         "Rewind",
                                         "Fast forward",
                                         "Pause",
                                         "To the beginning",
                                         "To the end"};
  for (size_t i = 0; i < kBarButtonTable.size(); ++i) {
    const BarButton& b = kBarButtonTable[i];
    SCOPED_TRACE(b.text);
    const ToolTipButton* button = bar->Button(b.id);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(win::GetDlgCtrlId(button->GetHwnd()), b.id);
    EXPECT_EQ(ui::GetWindowRect(button->GetHwnd()),
              std::optional<gdi::Rect>(gdi::Rect{200 + b.rect.left, 150 + b.rect.top,
                                                 200 + b.rect.right, 150 + b.rect.bottom}));
    // Disabled buttons show their tips too.
    win::SendMessage(button->GetHwnd(), win::WM_MOUSEMOVE, 0, ui::MakeLParam(4, 4));
    EXPECT_EQ(tips->ShownTool(), std::nullopt); // not before the hover delay
    win::SendMessage(tips->GetHwnd(), win::WM_TIMER, ui::ToolTip::kShowTimer, 0);
    EXPECT_EQ(tips->ShownText(), want[i]);
    EXPECT_EQ(tips->ShownText(), LoadString(b.tip));
    ASSERT_NE(ui::GetWidget(button->GetHwnd()), nullptr);
    EXPECT_EQ(ui::GetWidget(button->GetHwnd())->accessibleName().toStdString(), b.text);
  }
  Close();
}

TEST_F(ControllerTest, TheIndicatorShowsTheFramesModeAfterRepaintsRefusalsAndTheMenu) {
  CKivo32Frame& f = StartWith({false, true, true});
  CMenuBarWnd* bar = OpenBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(IndicatorAfterPaint(*bar), kModeStill);
  auto press = [&](uint32_t id) {
    win::SendMessage(bar->Button(id)->GetHwnd(), ui::BM_CLICK, 0, 0);
    // The request, and any the frame posts itself on handling it.
    for (int i = 0; i < 20 && win::ProcessPendingMessages() > 0; ++i) {
    }
  };
  press(barcmd::kMpeg);
  EXPECT_EQ(f.BackgroundMode(), kModeMpeg);
  EXPECT_EQ(IndicatorAfterPaint(*bar), kModeMpeg);
  EXPECT_TRUE(bar->Button(cmd::kMpegPlay)->Enabled());
  // AVI/FLC video without any clip falls back to still pictures: so does
  // the indicator, and the transport goes grey.
  press(barcmd::kAvi);
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  EXPECT_EQ(bar->IndicatorShown(), kModeStill);
  EXPECT_EQ(IndicatorAfterPaint(*bar), kModeStill);
  EXPECT_FALSE(bar->Button(cmd::kMpegPlay)->Enabled());
  // The indicator's pixels are bitmap 162's (mode 0).
  auto dc = ui::GetDc(bar->GetHwnd());
  ASSERT_TRUE(dc);
  auto bytes = MapBitmapColours(162);
  ASSERT_TRUE(bytes);
  auto dib = gdi::Dib::FromBmpFile(*bytes);
  ASSERT_TRUE(dib);
  for (gdi::Point p : {gdi::Point{0, 0}, gdi::Point{12, 8}, gdi::Point{24, 17}})
    EXPECT_EQ(dc->GetPixel(CMenuBarWnd::kIndicatorAt.x + p.x, CMenuBarWnd::kIndicatorAt.y + p.y),
              dib->PixelColour(p.x, p.y));
  // A mode chosen from the pop-up menu shows on the bar too.
  f.SysMenu()->RunCommand(cmd::kMpegMode, 0);
  ASSERT_TRUE(PumpUntil([&] { return f.BackgroundMode() == kModeMpeg; }));
  EXPECT_EQ(IndicatorAfterPaint(*bar), kModeMpeg);
  EXPECT_TRUE(bar->Button(cmd::kMpegPlay)->Enabled());
  Close();
}

TEST_F(ControllerTest, PlayBecomesStopWhileTheClipPlaysAndBack) {
  if (!mediatest::HaveFfmpeg())
    GTEST_SKIP() << "no ffmpeg";
  const std::string clip = mediatest::MakeClip(
      "controller.mpg", "-f lavfi -i testsrc2=size=320x240:rate=25 -t 2 -c:v mpeg1video -f mpeg");
  ASSERT_FALSE(clip.empty());
  media::RegisterVideoDevices();
  dir.Write("config.ini",
            "[Words]\nDisplay=2\n[Mpeg]\nCheck=1\nFile=" + *sys::ToStoredPath(clip) + "\n");
  CKivo32Frame& f = Start();
  ASSERT_TRUE(f.Mpeg().IsOpen());
  ASSERT_EQ(f.BackgroundMode(), kModeMpeg);
  CMenuBarWnd* bar = OpenBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_FALSE(bar->ShowsStop());
  ui::ToolTip* tips = bar->ToolTips();
  auto tipOfPlay = [&] {
    const win::Hwnd play = bar->Button(cmd::kMpegPlay)->GetHwnd();
    win::SendMessage(play, win::WM_MOUSEMOVE, 0, ui::MakeLParam(30, 8));
    win::SendMessage(tips->GetHwnd(), win::WM_TIMER, ui::ToolTip::kShowTimer, 0);
    const std::string text = tips->ShownText();
    win::SendMessage(bar->GetHwnd(), win::WM_MOUSEMOVE, 0, ui::MakeLParam(80, 160));
    win::SendMessage(play, win::WM_MOUSEMOVE, 0, ui::MakeLParam(200, 200)); // off it
    return text;
  };
  EXPECT_EQ(tipOfPlay(), "Play");
  // The bar's Play button: the frame plays the clip, then the button is Stop.
  win::SendMessage(bar->Button(cmd::kMpegPlay)->GetHwnd(), ui::BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return bar->ShowsStop(); }));
  EXPECT_TRUE(f.Mpeg().IsPlaying());
  ToolTipButton* stop = bar->Button(cmd::kMpegPlay);
  ASSERT_NE(stop, nullptr);
  EXPECT_EQ(stop->Text(), "Stop");
  EXPECT_TRUE(stop->Enabled());
  EXPECT_EQ(ui::GetWindowRect(stop->GetHwnd()),
            std::optional<gdi::Rect>(gdi::Rect{203, 222, 251, 240}));
  EXPECT_EQ(tipOfPlay(), "Stop");
  // Stop pressed: the clip stops and Play is back.
  win::SendMessage(stop->GetHwnd(), ui::BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !bar->ShowsStop(); }));
  EXPECT_FALSE(f.Mpeg().IsPlaying());
  EXPECT_EQ(bar->Button(cmd::kMpegPlay)->Text(), "Play");
  EXPECT_EQ(tipOfPlay(), "Play");
  // Played again, then left for still pictures: Play comes back with them.
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegPlay, 0);
  EXPECT_TRUE(bar->ShowsStop());
  win::SendMessage(hwnd, win::WM_USER, kVideoOffRequest, 0);
  EXPECT_FALSE(bar->ShowsStop());
  EXPECT_FALSE(bar->Button(cmd::kMpegPlay)->Enabled());
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegStop, 0);
  Close();
}

TEST_F(ControllerTest, PicturesOfTheBarInEachMode) {
  const std::string folder = std::string(VEXO_TESTS_DIR) + "/artefacts";
  std::filesystem::create_directories(folder);
  for (int32_t mode = kModeStill; mode <= kModeInfo; ++mode) {
    SCOPED_TRACE(mode);
    CKivo32Frame& f = StartWith({mode == kModeOverlay, mode == kModeMpeg, mode == kModeInfo});
    EnterMode(f, mode);
    CMenuBarWnd* bar = OpenBar();
    ASSERT_NE(bar, nullptr);
    ui::InvalidateRect(bar->GetHwnd(), nullptr, true);
    ui::UpdateWindow(bar->GetHwnd());
    for (const BarButton& b : kBarButtonTable)
      ui::UpdateWindow(bar->Button(b.id)->GetHwnd());
    const std::string path = folder + "/kivo32-controller-mode" + std::to_string(mode) + ".png";
    EXPECT_TRUE(ui::SaveWindowImage(bar->GetHwnd(), path));
    RecordProperty("picture" + std::to_string(mode), path);
    // A greyed button shows its drawing in the shadow colour, an enabled
    // one in its own.
    auto grey = ui::GetDc(bar->Button(cmd::kMpegEnd)->GetHwnd());
    ASSERT_TRUE(grey);
    bool shadow = false;
    for (int32_t y = 2; y < 16; ++y)
      for (int32_t x = 2; x < 21; ++x)
        shadow = shadow || grey->GetPixel(x, y) == kColour3dShadow;
    EXPECT_EQ(shadow, mode != kModeMpeg);
    Close();
    frame.reset();
  }
}

} // namespace

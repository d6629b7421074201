// The display's frame made in this process: its views, its placement read
// from and written to "config.ini", the background modes its video devices
// allow, and what it does when a device cannot be opened.
#include "display/tests/support/frame_fixture.h"

#include "platform/ui/window/input.h"

#include <QWidget>

using namespace display;
using namespace displaytest;

namespace {

TEST_F(FrameTest, CreatesItsViewsAsChildrenWithTheirIds) {
  CKivo32Frame& f = Start();
  EXPECT_EQ(win::GetClassName(hwnd), std::optional<std::string>(kFrameClass));
  struct Row {
    win::Hwnd view;
    const char* cls;
    uint32_t id;
    bool visible;
  } rows[] = {
      {f.SysMenu()->Hwnd(), kSysMenuClass, 6000, true},
      {f.Word()->Hwnd(), kWordClass, 2000, true},
      {f.Num()->Hwnd(), kNumClass, 4000, true},
      {f.Title()->Hwnd(), kTitleClass, 3000, true},
      {f.Info()->Hwnd(), kInfoClass, 7000, false}, // shows nothing yet
  };
  for (const auto& r : rows) {
    EXPECT_EQ(win::GetClassName(r.view), std::optional<std::string>(r.cls)) << r.cls;
    EXPECT_EQ(win::GetParent(r.view), hwnd) << r.cls;
    EXPECT_EQ(win::GetDlgCtrlId(r.view), r.id) << r.cls;
    EXPECT_EQ(ui::IsWindowVisible(r.view), r.visible) << r.cls;
    ASSERT_NE(ui::GetWidget(r.view), nullptr);
    EXPECT_EQ(ui::GetWidget(r.view)->isVisible(), r.visible) << r.cls;
  }
  EXPECT_EQ(win::GetWindowText(f.Word()->Hwnd()), std::optional<std::string>("Lyrics"));
  EXPECT_NE(win::GetWindowStyle(hwnd) & win::WS_POPUP, 0u);
  EXPECT_TRUE(f.LyricsShown());
  EXPECT_EQ(f.BackgroundMode(), kModeStill);
  EXPECT_EQ(f.Timing()->PeriodMs(), 20);

  // The docked word view spans the frame above a gap at its bottom; the
  // title strip takes the top right, the numbers the top left.
  const gdi::Rect client = *ui::GetClientRect(hwnd);
  const gdi::Rect word = f.Word()->RectInFrame();
  EXPECT_EQ(word.left, 2);
  EXPECT_EQ(word.right, client.right);
  EXPECT_LT(word.bottom, client.bottom);
  EXPECT_GT(word.Height(), 0);
  const gdi::Rect title = f.Title()->RectInFrame(), num = f.Num()->RectInFrame();
  EXPECT_EQ(title.left, kFrameBorder + client.Width() / 2 + 2);
  EXPECT_EQ(title.Height(), word.Height() / 4);
  EXPECT_LT(num.right, title.left);
  EXPECT_EQ(f.SysMenu()->RectInFrame().left, kFrameBorder);
}

TEST_F(FrameTest, PlacesItselfFromTheStoredRectangleBroughtOntoTheScreen) {
  const gdi::Rect screen = ui::ScreenRect();
  struct Row {
    std::string stored; // [Words] x, y, cx, cy
    gdi::Rect expected;
  } rows[] = {
      {"", {1, 1, 640, 480}},
      {"x=20\ny=30\ncx=520\ncy=420\n", {20, 30, 520, 420}},
      {"x=-50\ny=" + std::to_string(screen.Height() + 10) +
           "\ncx=" + std::to_string(screen.Width() + 300) +
           "\ncy=" + std::to_string(screen.Height() + 1) + "\n",
       {0, 0, screen.Width(), screen.Height()}},
      // What a window minimised at its close used to leave behind.
      {"x=-32000\ny=-32000\ncx=-31840\ncy=-31972\n", {1, 1, 640, 480}},
  };
  for (const auto& r : rows) {
    dir.Write("config.ini", "[Words]\n" + r.stored);
    Start();
    EXPECT_EQ(ui::GetWindowRect(hwnd), r.expected) << r.stored;
    EXPECT_TRUE(ui::IsWindowVisible(hwnd));
    EXPECT_FALSE(ui::IsIconic(hwnd));
    frame.reset();
  }
}

TEST_F(FrameTest, ClosingWritesThePlacementWhichTheNextStartTakes) {
  Start();
  ui::MoveWindow(hwnd, 40, 30, 500, 400);
  Close();
  EXPECT_NE(ReadFile(config).find("[Words]\nx=40\ny=30\ncx=540\ncy=430\nDisplay=0\n"),
            std::string::npos)
      << ReadFile(config);
  Start();
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{40, 30, 540, 430}));
}

TEST_F(FrameTest, AWindowClosedWhileMinimisedComesBackWhereItWas) {
  Start();
  ui::MoveWindow(hwnd, 60, 50, 480, 360);
  ui::ShowWindow(hwnd, ui::SW_MINIMIZE);
  ASSERT_TRUE(ui::IsIconic(hwnd));
  Close();
  EXPECT_EQ(Ini("Words", "x"), "60");
  EXPECT_EQ(Ini("Words", "cy"), "410");
  Start();
  EXPECT_EQ(ui::GetWindowRect(hwnd), (gdi::Rect{60, 50, 540, 410}));
  EXPECT_TRUE(ui::IsWindowVisible(hwnd));
  EXPECT_FALSE(ui::IsIconic(hwnd));
}

TEST_F(FrameTest, MinimumTrackingSize) {
  Start();
  ui::MinMaxInfo info;
  win::SendMessage(hwnd, win::WM_GETMINMAXINFO, 0, reinterpret_cast<win::LParam>(&info));
  EXPECT_EQ(info.minTrackSize, (gdi::Point{447, ui::ScreenRect().Height() / 4}));
}

TEST_F(FrameTest, SavedVideoModesWithoutTheirDevicesStartWithStillImages) {
  // Devices that answer nothing, whatever device types the process holds.
  ScriptDevices();
  for (int mode : {1, 2, 3}) {
    dir.Write("config.ini", "[Words]\nDisplay=" + std::to_string(mode) +
                                "\n[Overlay]\nCheck=1\n[Mpeg]\nCheck=1\n");
    Start();
    EXPECT_EQ(frame->BackgroundMode(), kModeStill) << mode;
    EXPECT_FALSE(frame->Overlay().IsOpen());
    EXPECT_FALSE(frame->Mpeg().IsOpen());
    Close();
    EXPECT_EQ(Ini("Words", "Display"), "0") << mode;
    frame.reset();
  }
}

// The commands with which the overlay card and the MPEG board are found and
// opened; each test takes some of them away.
void AllowDevices(media::mci::Script& mci) {
  mci.Allow({"open overlay style overlapped", "status overlay window handle",
             "set overlay video key on", "set overlay video key color to 255:0:255",
             "set overlay video off", "set overlay source number to 0", "close overlay",
             "open mpegvideo type mpegvideo", "close mpegvideo", "open mpegvideo style overlapped",
             "put mpegvideo destination", "set mpegvideo time format ms",
             "set mpegvideo video key color to 128:0:128", "window overlay handle *",
             "window overlay text *", "window mpegvideo handle *", "window mpegvideo text *"});
  mci.Set("info overlay product", {media::mci::kOk, kOverlayModel});
  mci.Set("info mpegvideo product", {media::mci::kOk, kMpegProduct});
}

// The colour the frame's background shows in a mode that erases it.
gdi::Colour ErasedColour(win::Hwnd hwnd) {
  ui::InvalidateRect(hwnd, nullptr, true);
  ui::UpdateWindow(hwnd);
  auto dc = ui::GetDc(hwnd);
  return dc ? dc->GetPixel(1, 1) : gdi::kInvalidColour;
}

TEST_F(FrameTest, OpenedDevicesKeepTheirModesAndKeyTheBackground) {
  AllowDevices(ScriptDevices());
  dir.Write("config.ini", "[Words]\nDisplay=1\n[Overlay]\nCheck=1\n[Mpeg]\nCheck=1\n");
  CKivo32Frame& f = Start();
  EXPECT_TRUE(f.Overlay().IsOpen());
  EXPECT_TRUE(f.Mpeg().IsOpen());
  EXPECT_EQ(f.BackgroundMode(), kModeOverlay);
  EXPECT_EQ(ErasedColour(hwnd), gdi::Rgb(255, 0, 255));
  ui::Menu menu = f.SysMenu()->PreparedMenu();
  EXPECT_TRUE(menu.Find(cmd::kOverlayMode)->enabled);
  EXPECT_TRUE(menu.Find(cmd::kMpegMode)->enabled);
  EXPECT_TRUE(menu.Find(cmd::kOverlayMode)->checked);
  Close();
  EXPECT_EQ(Ini("Words", "Display"), "1");
  EXPECT_EQ(Ini("Overlay", "Video X"), "0"); // mode 1 writes the overlay positions
}

TEST_F(FrameTest, ADeviceThatFailsToOpenOnlyTakesItsModeAway) {
  struct Row {
    const char* what;
    const char* failing; // the command taken away
    int savedMode;
    bool overlay, mpeg;
  } rows[] = {
      {"overlay window", "status overlay window handle", 1, false, true},
      {"overlay source", "set overlay source number to 0", 1, false, true},
      {"mpeg time format", "set mpegvideo time format ms", 2, true, false},
      {"mpeg product", "info mpegvideo product", 2, true, false},
  };
  for (const auto& r : rows) {
    media::mci::Script& mci = ScriptDevices();
    AllowDevices(mci);
    mci.Remove(r.failing);
    dir.Write("config.ini", "[Words]\nDisplay=" + std::to_string(r.savedMode) +
                                "\n[Overlay]\nCheck=1\n[Mpeg]\nCheck=1\n");
    CKivo32Frame& f = Start();
    ASSERT_TRUE(win::IsWindow(hwnd)) << r.what;
    EXPECT_EQ(f.Overlay().IsOpen(), r.overlay) << r.what;
    EXPECT_EQ(f.Mpeg().IsOpen(), r.mpeg) << r.what;
    EXPECT_EQ(f.BackgroundMode(), kModeStill) << r.what;
    ui::Menu menu = f.SysMenu()->PreparedMenu();
    EXPECT_EQ(menu.Find(cmd::kOverlayMode)->enabled, r.overlay) << r.what;
    EXPECT_EQ(menu.Find(cmd::kMpegMode)->enabled, r.mpeg) << r.what;
    EXPECT_TRUE(menu.Find(cmd::kStillMode)->checked) << r.what;
    // The other modes still work: the still-image mode paints, and the
    // remaining device's mode can be taken.
    f.SetBackgroundMode(kModeInfo);
    EXPECT_EQ(ErasedColour(hwnd), gdi::Rgb(0, 0, 0)) << r.what;
    f.SetBackgroundMode(kModeStill);
    Close();
    EXPECT_EQ(Ini("Words", "Display"), "0") << r.what;
    frame.reset();
    devices.reset();
  }
}

TEST_F(FrameTest, EnteringAndLeavingModeThreeSwapsTheBackground) {
  CKivo32Frame& f = Start();
  f.SetBackgroundMode(kModeInfo);
  EXPECT_EQ(ErasedColour(hwnd), gdi::Rgb(0, 0, 0));
  f.SetBackgroundMode(kModeMpeg);
  EXPECT_EQ(ErasedColour(hwnd), gdi::Rgb(192, 192, 192));
}

TEST_F(FrameTest, WritesTheStyleTableOnItsFirstStart) {
  Start();
  Close();
  // Seven font records, each a section of its own beside [Words].
  auto sections = sys::IniSectionNames(config);
  EXPECT_EQ(sections.size(), 8u) << ReadFile(config);
}

} // namespace

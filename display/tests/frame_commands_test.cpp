// The frame's commands that drive its devices and views: the MPEG transport,
// the host's show requests, and dragging a view in layout-edit mode.
#include "display/tests/support/frame_fixture.h"

#include "platform/sys/paths.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/window/input.h"

using namespace display;
using namespace displaytest;

namespace {

class FrameCommandsTest : public FrameTest {
protected:
  // A frame in background mode 2 with an MPEG board whose mode answers
  // "status mpegvideo mode".
  CKivo32Frame& StartWithMpeg(const std::string& mode) {
    media::mci::Script& mci = ScriptDevices();
    mci.Allow({"open mpegvideo type mpegvideo", "close mpegvideo",
               "open mpegvideo style overlapped", "put mpegvideo destination",
               "set mpegvideo time format ms", "set mpegvideo video key color to 128:0:128",
               "window mpegvideo handle *", "window mpegvideo text *", "load mpegvideo *",
               "play mpegvideo repeat notify", "stop mpegvideo", "pause mpegvideo",
               "resume mpegvideo notify", "seek mpegvideo backward by 10000",
               "seek mpegvideo to end", "play mpegvideo slow 100 notify"});
    mci.Set("info mpegvideo product", {media::mci::kOk, kMpegProduct});
    mci.Set("status mpegvideo mode", {media::mci::kOk, mode});
    dir.Write("config.ini", "[Words]\nDisplay=2\n[Mpeg]\nCheck=1\n");
    CKivo32Frame& f = Start();
    EXPECT_EQ(f.BackgroundMode(), kModeMpeg);
    mci.ClearSent();
    return f;
  }
  std::vector<std::string> Transport() const {
    std::vector<std::string> out;
    for (const auto& c : script->Sent())
      if (c != "status mpegvideo mode")
        out.push_back(c);
    return out;
  }
};

TEST_F(FrameCommandsTest, PlayPicksTheStoredFileOrAsksAndRemembersTheChoice) {
  auto dialogs = std::make_shared<ui::ScriptedFileDialog>();
  ui::ScopedFileDialogBackend scoped(dialogs);
  StartWithMpeg("stopped");
  const std::string chosen = dir.Write("Clip.MPG", "video");
  dialogs->Answer(chosen);
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegPlay, 0);
  ASSERT_EQ(dialogs->Shown().size(), 1u);
  EXPECT_EQ(Transport(), (std::vector<std::string>{"load mpegvideo \"" + chosen + "\"",
                                                   "play mpegvideo repeat notify"}));
  EXPECT_EQ(Ini("Mpeg", "File"), *sys::ToStoredPath(chosen));

  // Next time the stored file plays without asking.
  script->ClearSent();
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegPlay, 0);
  EXPECT_EQ(dialogs->Shown().size(), 1u);
  EXPECT_EQ(Transport(), (std::vector<std::string>{"load mpegvideo \"" + chosen + "\"",
                                                   "play mpegvideo repeat notify"}));
}

TEST_F(FrameCommandsTest, TheTransportFollowsTheVideosState) {
  struct Row {
    const char* mode;
    uint32_t command;
    std::vector<std::string> sent;
  } rows[] = {
      {"playing", cmd::kMpegPlay, {"stop mpegvideo"}},
      {"playing", cmd::kMpegStop, {"stop mpegvideo"}},
      {"stopped", cmd::kMpegStop, {}},
      {"paused", cmd::kMpegPause, {"play mpegvideo repeat notify"}},
      {"playing", cmd::kMpegPause, {"pause mpegvideo"}},
      {"stopped", cmd::kMpegPause, {}},
      {"playing",
       cmd::kMpegBackward,
       {"seek mpegvideo backward by 10000", "resume mpegvideo notify"}},
      {"playing", cmd::kMpegEnd, {"seek mpegvideo to end", "resume mpegvideo notify"}},
      {"playing", cmd::kMpegSlow, {"play mpegvideo slow 100 notify"}},
  };
  for (const auto& r : rows) {
    StartWithMpeg(r.mode);
    win::SendMessage(hwnd, win::WM_COMMAND, r.command, 0);
    EXPECT_EQ(Transport(), r.sent) << r.mode << " " << r.command;
    frame.reset();
  }
  // Outside mode 2 the transport does nothing.
  CKivo32Frame& f = StartWithMpeg("playing");
  f.SetBackgroundMode(kModeStill);
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegStop, 0);
  EXPECT_TRUE(Transport().empty());
}

TEST_F(FrameCommandsTest, TheHostShowsHidesAndClosesTheDisplay) {
  CKivo32Frame& f = Start();
  win::SendMessage(hwnd, win::WM_USER, kDisplayShowRequest, 0);
  EXPECT_FALSE(ui::IsWindowVisible(hwnd));
  win::SendMessage(hwnd, win::WM_USER, kDisplayShowRequest, 2 | 4);
  EXPECT_TRUE(ui::IsWindowVisible(hwnd));
  EXPECT_NE(win::GetWindowStyle(hwnd) & ui::WS_THICKFRAME, 0u);
  win::SendMessage(hwnd, win::WM_USER, kDisplayShowRequest, 2);
  EXPECT_EQ(win::GetWindowStyle(hwnd) & ui::WS_THICKFRAME, 0u);
  EXPECT_EQ(ui::GetWindowExStyle(hwnd) & ui::WS_EX_CLIENTEDGE, 0u);
  (void)f;
  win::SendMessage(hwnd, win::WM_USER, kDisplayShowRequest, 1 | 2);
  EXPECT_FALSE(win::IsWindow(hwnd));
}

TEST_F(FrameCommandsTest, InLayoutEditModeACtrlDragMovesTheViewUnderTheMouse) {
  CKivo32Frame& f = Start();
  const gdi::Rect before = f.Title()->RectInFrame();
  const gdi::Point at{before.left + 5, before.top + 5};
  // Outside layout-edit mode a press does not drag a view.
  win::SendMessage(hwnd, win::WM_LBUTTONDOWN, ui::MK_LBUTTON | ui::MK_CONTROL,
                   ui::MakeLParam(at.x, at.y));
  win::SendMessage(hwnd, win::WM_MOUSEMOVE, ui::MK_LBUTTON | ui::MK_CONTROL,
                   ui::MakeLParam(at.x - 30, at.y + 20));
  win::SendMessage(hwnd, win::WM_LBUTTONUP, ui::MK_CONTROL, ui::MakeLParam(at.x - 30, at.y + 20));
  EXPECT_EQ(f.Title()->RectInFrame(), before);

  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kLayoutEdit, 0);
  ASSERT_TRUE(f.LayoutEdit());
  win::SendMessage(hwnd, win::WM_LBUTTONDOWN, ui::MK_LBUTTON | ui::MK_CONTROL,
                   ui::MakeLParam(at.x, at.y));
  EXPECT_EQ(ui::GetCapture(), hwnd);
  win::SendMessage(hwnd, win::WM_MOUSEMOVE, ui::MK_LBUTTON | ui::MK_CONTROL,
                   ui::MakeLParam(at.x - 30, at.y + 20));
  EXPECT_EQ(f.Title()->RectInFrame(), gdi::Offset(before, -30, 20));
  win::SendMessage(hwnd, win::WM_LBUTTONUP, ui::MK_CONTROL, ui::MakeLParam(at.x - 40, at.y + 20));
  EXPECT_EQ(f.Title()->RectInFrame(), gdi::Offset(before, -40, 20));
  EXPECT_EQ(ui::GetCapture(), 0u);
  // A size change of the frame leaves a view placed by hand where it is.
  ui::MoveWindow(hwnd, 1, 1, 600, 450);
  EXPECT_EQ(f.Title()->RectInFrame(), gdi::Offset(before, -40, 20));
}

} // namespace

namespace {

TEST_F(FrameCommandsTest, ImageSettingsAreReadAgainOnRequest) {
  CKivo32Frame& f = Start();
  EXPECT_FALSE(f.RereadImageSettings()); // nothing changed
  dir.Write("config.ini", "[Image]\nType=1\nChange=0\n[Words]\nByChar=1\n");
  EXPECT_TRUE(f.RereadImageSettings());
  EXPECT_EQ(f.Engine()->LayoutType(), 1);
  EXPECT_EQ(f.Word()->ByChar(), 1);
  dir.Write("config.ini", "[Image]\nType=1\nIsFix=1\n");
  EXPECT_TRUE(f.RereadImageSettings());
  EXPECT_TRUE(f.Engine()->Fixed());
  EXPECT_FALSE(f.RereadImageSettings());
}

} // namespace

// The utilities that work on windows: the drag tracker, placing, the pop-up
// test, the drawn window edge and the saved rectangle.
#include "display/tests/support/session.h"
#include "display/tests/support/temp_folder.h"
#include "display/tracker.h"
#include "display/utils.h"

#include "platform/sys/ini.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

using namespace display;

namespace {

class PlainWindow : public ui::ScreenWindow {};

class WindowUtilsTest : public ::testing::Test {
protected:
  void SetUp() override {
    displaytest::StartSession();
    if (!win::IsClassRegistered("UtilsTestWindow")) {
      ui::ScreenClass c;
      c.name = "UtilsTestWindow";
      c.factory = [] { return std::make_unique<PlainWindow>(); };
      c.background = gdi::Rgb(10, 20, 30);
      ui::RegisterScreenClass(c);
    }
  }
  void TearDown() override {
    for (auto& w : windows)
      if (w->GetHwnd())
        win::DestroyWindow(w->GetHwnd());
  }
  win::Hwnd Make(uint32_t style, gdi::Rect r, win::Hwnd parent = 0) {
    windows.push_back(std::make_unique<PlainWindow>());
    win::CreateParams p;
    p.className = "UtilsTestWindow";
    p.style = style | win::WS_VISIBLE;
    p.parent = parent;
    p.x = r.left, p.y = r.top, p.width = r.Width(), p.height = r.Height();
    p.object = windows.back().get();
    return win::CreateWindow(p);
  }
  std::vector<std::unique_ptr<PlainWindow>> windows;
};

TEST_F(WindowUtilsTest, TheTrackerMovesTheWindowByTheMousesWay) {
  const win::Hwnd w = Make(win::WS_POPUP, {100, 100, 300, 200});
  ViewDragTracker t;
  t.Begin(w, {150, 120});
  EXPECT_TRUE(t.IsTracking());
  EXPECT_EQ(ui::GetCapture(), w);
  t.Move({180, 105});
  EXPECT_EQ(ui::GetWindowRect(w), (gdi::Rect{130, 85, 330, 185}));
  t.Move({140, 140});
  t.End();
  EXPECT_FALSE(t.IsTracking());
  EXPECT_EQ(ui::GetCapture(), 0u);
  EXPECT_EQ(ui::GetWindowRect(w), (gdi::Rect{90, 120, 290, 220}));
  t.Move({0, 0}); // no drag: nothing moves
  EXPECT_EQ(ui::GetWindowRect(w), (gdi::Rect{90, 120, 290, 220}));
}

TEST_F(WindowUtilsTest, TheTrackerMovesAChildInItsParentAndCapturesForAnother) {
  const win::Hwnd parent = Make(win::WS_POPUP, {50, 50, 450, 350});
  const win::Hwnd child = Make(win::WS_CHILD, {10, 10, 110, 60}, parent);
  ViewDragTracker t;
  t.Begin(child, {70, 70}, parent);
  EXPECT_EQ(ui::GetCapture(), parent);
  t.Move({90, 75});
  t.End();
  EXPECT_EQ(ui::GetWindowRect(child), (gdi::Rect{80, 65, 180, 115}));
  EXPECT_EQ(ui::GetCapture(), 0u);
}

TEST_F(WindowUtilsTest, PlaceWindowPopupTestAndSavedRectangle) {
  const win::Hwnd popup = Make(win::WS_POPUP, {0, 0, 100, 100});
  const win::Hwnd child = Make(win::WS_CHILD, {0, 0, 10, 10}, popup);
  EXPECT_TRUE(IsPopup(popup));
  EXPECT_FALSE(IsPopup(child));
  EXPECT_TRUE(PlaceWindow(popup, gdi::Rect{20, 30, 220, 180}));
  EXPECT_EQ(ui::GetWindowRect(popup), (gdi::Rect{20, 30, 220, 180}));
  displaytest::TempFolder dir;
  ASSERT_TRUE(SaveWindowRect(popup, "Words", dir / "config.ini"));
  EXPECT_EQ(displaytest::ReadFile(dir / "config.ini"), "[Words]\nx=20\ny=30\ncx=220\ncy=180\n");
}

TEST_F(WindowUtilsTest, TheWindowEdgeIsDrawnRaisedInTheThreeDimensionalColours) {
  const win::Hwnd w = Make(win::WS_POPUP, {0, 0, 40, 30});
  ui::UpdateWindow(w); // the class background first
  DrawWindowFrame(w);
  auto dc = ui::GetDc(w);
  ASSERT_TRUE(dc);
  struct Row {
    int32_t x, y;
    gdi::Colour colour;
  } rows[] = {
      {0, 0, kColour3dFace},         {20, 0, kColour3dFace},        {0, 15, kColour3dFace},
      {39, 15, kColour3dDarkShadow}, {20, 29, kColour3dDarkShadow}, {1, 1, kColour3dHighlight},
      {38, 15, kColour3dShadow},     {20, 28, kColour3dShadow},     {20, 15, gdi::Rgb(10, 20, 30)},
  };
  for (const auto& r : rows)
    EXPECT_EQ(dc->GetPixel(r.x, r.y), r.colour) << r.x << "," << r.y;
}

} // namespace

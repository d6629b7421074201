// Bitmap buttons in a window: the look each state draws, the click the
// parent gets, the greyed look made from the up look, the accessible name;
// tool tips for whole windows shown once the hover delay has passed.
#include "platform/ui/frame/bitmap_button.h"
#include "platform/ui/frame/tool_tip.h"
#include "platform/ui/tests/support/screen_session.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"

#include <QWidget>

using namespace ui;
using namespace uitest;

namespace {

constexpr gdi::Colour kGrey = gdi::Rgb(192, 192, 192);

gdi::Dib Picture(int32_t w, int32_t h, gdi::Colour fill) {
  gdi::Dib dib = *gdi::Dib::Create(w, h, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = dib.RowFromTop(y) + 3 * x;
      p[0] = gdi::BlueOf(fill);
      p[1] = gdi::GreenOf(fill);
      p[2] = gdi::RedOf(fill);
    }
  return dib;
}

void Put(gdi::Dib& dib, int32_t x, int32_t y, gdi::Colour c) {
  uint8_t* p = dib.RowFromTop(y) + 3 * x;
  p[0] = gdi::BlueOf(c);
  p[1] = gdi::GreenOf(c);
  p[2] = gdi::RedOf(c);
}

gdi::Colour Shown(Hwnd button, int32_t x, int32_t y) {
  InvalidateRect(button, nullptr, false);
  UpdateWindow(button);
  auto dc = GetDc(button);
  return dc ? dc->GetPixel(x, y) : gdi::kInvalidColour;
}

class BitmapButtonTest : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    parent = Create(owner, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {40, 40, 120, 60});
    ASSERT_NE(parent, 0u);
  }
  void TearDown() override {
    if (win::IsWindow(parent))
      win::DestroyWindow(parent);
    ScreenTest::TearDown();
  }
  std::vector<Logged> Commands() const { return owner.Only({win::WM_COMMAND}); }

  LogWindow owner;
  Hwnd parent = 0;
};

TEST_F(BitmapButtonTest, EachStateDrawsItsLookAndAClickReachesTheParent) {
  const gdi::Colour up = gdi::Rgb(200, 0, 0), down = gdi::Rgb(0, 200, 0),
                    focus = gdi::Rgb(0, 0, 200), off = gdi::Rgb(200, 200, 0);
  BitmapButton button;
  ASSERT_TRUE(button.Create("Play", win::WS_VISIBLE, gdi::MakeRect(5, 5, 20, 10), parent, 9999));
  ASSERT_TRUE(button.SetBitmaps(Picture(20, 10, up), Picture(20, 10, down), Picture(20, 10, focus),
                                Picture(20, 10, off)));
  const Hwnd b = button.GetHwnd();
  EXPECT_EQ(win::GetDlgCtrlId(b), 9999u);
  ASSERT_NE(GetWidget(b), nullptr);
  EXPECT_EQ(GetWidget(b)->accessibleName(), "Play");
  button.SetText("Stop");
  EXPECT_EQ(GetWidget(b)->accessibleName(), "Stop");

  struct Step {
    const char* what;
    uint32_t message;
    LParam at;
    gdi::Colour shown;
    size_t clicks; // WM_COMMAND to the parent so far
  } steps[] = {
      {"at rest", 0, 0, up, 0},
      {"focused", win::WM_SETFOCUS, 0, focus, 0},
      {"pressed", win::WM_LBUTTONDOWN, MakeLParam(3, 3), down, 0},
      {"dragged off", win::WM_MOUSEMOVE, MakeLParam(40, 3), focus, 0},
      {"dragged back", win::WM_MOUSEMOVE, MakeLParam(4, 4), down, 0},
      {"released on it", win::WM_LBUTTONUP, MakeLParam(4, 4), focus, 1},
      {"pressed again", win::WM_LBUTTONDOWN, MakeLParam(3, 3), down, 1},
      {"released off it", win::WM_LBUTTONUP, MakeLParam(60, 3), focus, 1},
      {"space", win::WM_KEYDOWN, 0, down, 1},
      {"space let go", win::WM_KEYUP, 0, focus, 2},
      {"a click by message", BM_CLICK, 0, focus, 3},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.message)
      win::SendMessage(b, s.message,
                       s.message == win::WM_KEYDOWN || s.message == win::WM_KEYUP ? VK_SPACE : 0,
                       s.at);
    EXPECT_EQ(Shown(b, 10, 5), s.shown);
    EXPECT_EQ(Commands().size(), s.clicks);
  }
  for (const Logged& c : Commands())
    EXPECT_EQ(c, (Logged{win::WM_COMMAND, MakeWParam(9999, BN_CLICKED), static_cast<LParam>(b)}));

  button.Enable(false);
  EXPECT_EQ(button.CurrentLook(), BitmapButton::Look::Disabled);
  EXPECT_EQ(Shown(b, 10, 5), off);
  win::SendMessage(b, win::WM_LBUTTONDOWN, 0, MakeLParam(3, 3));
  win::SendMessage(b, win::WM_LBUTTONUP, 0, MakeLParam(3, 3));
  win::SendMessage(b, BM_CLICK, 0, 0);
  EXPECT_EQ(Commands().size(), 3u); // a disabled button takes no click
  button.Enable(true);
  EXPECT_NE(Shown(b, 10, 5), off);
  win::DestroyWindow(parent);
}

TEST_F(BitmapButtonTest, WithoutADisabledBitmapTheUpLookIsEtched) {
  gdi::Dib up = Picture(20, 10, kGrey);
  Put(up, 0, 0, gdi::Rgb(255, 255, 255)); // the frame
  Put(up, 19, 9, gdi::Rgb(0, 0, 0));
  Put(up, 8, 4, gdi::Rgb(0, 0, 0)); // the drawing
  BitmapButton button;
  ASSERT_TRUE(button.Create("Off", win::WS_VISIBLE | WS_DISABLED, gdi::MakeRect(0, 0, 20, 10),
                            parent, 9000));
  ASSERT_TRUE(button.SetBitmaps(up, std::nullopt, std::nullopt));
  EXPECT_FALSE(button.Enabled());
  const Hwnd b = button.GetHwnd();
  EXPECT_EQ(Shown(b, 8, 4), gdi::Rgb(128, 128, 128));
  EXPECT_EQ(Shown(b, 9, 5), gdi::Rgb(255, 255, 255));
  EXPECT_EQ(Shown(b, 0, 0), gdi::Rgb(255, 255, 255));
  EXPECT_EQ(Shown(b, 19, 9), gdi::Rgb(0, 0, 0));
  EXPECT_EQ(Shown(b, 12, 6), kGrey);
  // Without a down or focus look, those states show the up look.
  button.Enable(true);
  win::SendMessage(b, win::WM_SETFOCUS, 0, 0);
  EXPECT_EQ(Shown(b, 8, 4), gdi::Rgb(0, 0, 0));
  EXPECT_FALSE(button.SetBitmaps(std::nullopt, up, up)); // no up look, no bitmaps
  win::DestroyWindow(parent);
}

TEST_F(BitmapButtonTest, AWindowsTipShowsOnceTheMouseHasRestedOnIt) {
  BitmapButton one, two;
  ASSERT_TRUE(one.Create("One", win::WS_VISIBLE, gdi::MakeRect(0, 0, 20, 10), parent, 1));
  ASSERT_TRUE(two.Create("Two", win::WS_VISIBLE, gdi::MakeRect(30, 0, 20, 10), parent, 2));
  ToolTip tips;
  ASSERT_TRUE(tips.Create(parent));
  const Hwnd t = tips.GetHwnd();
  for (auto [button, text] : {std::pair{&one, "first"}, std::pair{&two, "second"}}) {
    ToolInfo tool;
    tool.flags = TTF_IDISHWND | TTF_CENTERTIP;
    tool.window = button->GetHwnd();
    tool.text = text;
    ASSERT_TRUE(win::SendMessage(t, TTM_ADDTOOL, 0, reinterpret_cast<LParam>(&tool)));
  }
  win::SendMessage(t, TTM_SETDELAYTIME, TTDT_INITIAL, 500);
  EXPECT_EQ(tips.InitialDelay(), 500u);
  auto relay = [&](Hwnd over, uint32_t message, int32_t x, int32_t y) {
    win::Msg msg{over, message, 0, MakeLParam(x, y), 0};
    win::SendMessage(t, TTM_RELAYEVENT, 0, reinterpret_cast<LParam>(&msg));
  };
  auto delayPassed = [&] { win::SendMessage(t, win::WM_TIMER, ToolTip::kShowTimer, 0); };

  relay(one.GetHwnd(), win::WM_MOUSEMOVE, 5, 5);
  EXPECT_EQ(tips.ShownTool(), std::nullopt); // not before the delay
  EXPECT_EQ(tips.PendingTool(), one.GetHwnd());
  relay(one.GetHwnd(), win::WM_MOUSEMOVE, 6, 5); // resting still
  delayPassed();
  EXPECT_EQ(tips.ShownTool(), one.GetHwnd());
  EXPECT_EQ(tips.ShownText(), "first");
  relay(two.GetHwnd(), win::WM_MOUSEMOVE, 2, 2);
  EXPECT_EQ(tips.ShownTool(), std::nullopt);
  delayPassed();
  EXPECT_EQ(tips.ShownText(), "second");
  relay(two.GetHwnd(), win::WM_LBUTTONDOWN, 2, 2); // a click ends it
  EXPECT_EQ(tips.ShownTool(), std::nullopt);
  relay(two.GetHwnd(), win::WM_MOUSEMOVE, 25, 2); // outside the window
  delayPassed();
  EXPECT_EQ(tips.ShownTool(), std::nullopt);
  // A tool taken away while it waits never shows.
  relay(one.GetHwnd(), win::WM_MOUSEMOVE, 5, 5);
  EXPECT_TRUE(tips.RemoveTool(one.GetHwnd(), one.GetHwnd()));
  delayPassed();
  EXPECT_EQ(tips.ShownTool(), std::nullopt);
  EXPECT_FALSE(tips.RemoveTool(one.GetHwnd(), one.GetHwnd()));
  win::DestroyWindow(t);
  win::DestroyWindow(parent);
}

} // namespace

// The in-place pieces a view puts on itself: an edit field typed into and
// handing Enter, Escape and focus loss to its owner, a drop-down list taking
// keys and a mouse choice, window scroll bars with 32-bit positions, and
// ScrollWindow moving pixels.
#include "platform/sys/codepage.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/frame/drop_list.h"
#include "platform/ui/frame/edit_field.h"
#include "platform/ui/modal/menu.h"
#include "platform/ui/window/scroll_bar.h"
#include "platform/ui/tests/support/screen_session.h"

#include <vector>

using namespace ui;
using namespace uitest;

namespace {

class FieldsTest : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    ASSERT_NE(Create(owner, kPlainClass, win::WS_VISIBLE, {40, 40, 400, 300}), 0u);
  }
  void TearDown() override {
    if (win::IsWindow(owner.GetHwnd()))
      win::DestroyWindow(owner.GetHwnd());
    ScreenTest::TearDown();
  }
  void Key(Hwnd to, uint32_t vk) { win::SendMessage(to, win::WM_KEYDOWN, vk, 0); }
  void Type(Hwnd to, std::u32string text) {
    for (char32_t c : text)
      win::SendMessage(to, win::WM_CHAR, c, 0);
  }
  LogWindow owner;
};

TEST_F(FieldsTest, AnEditFieldReplacesItsSelectedTextAndHandsItsKeysToTheOwner) {
  EditField field;
  ASSERT_TRUE(field.Create(owner.GetHwnd(), 999, gdi::MakeRect(10, 10, 120, 20), ES_RIGHT));
  std::vector<FieldEvent> events;
  bool take = true;
  field.SetHook([&](FieldEvent e) {
    events.push_back(e);
    return take;
  });
  field.SetText("Piano");
  field.SelectAll();
  Type(field.GetHwnd(), U"Gu\u00EFtar");
  EXPECT_EQ(field.Text(), "Gu\xC3\xAFtar");
  // Backspace takes a whole character, never half of one.
  for (int i = 0; i < 3; ++i)
    Key(field.GetHwnd(), VK_LEFT);
  Type(field.GetHwnd(), U"\b");
  EXPECT_EQ(field.Text(), "Gutar");
  Key(field.GetHwnd(), VK_END);
  Type(field.GetHwnd(), U"s\r\x1b");
  EXPECT_EQ(field.Text(), "Gutars") << "Enter and Escape type nothing";
  Key(field.GetHwnd(), VK_RETURN);
  Key(field.GetHwnd(), VK_ESCAPE);
  EXPECT_EQ(events, (std::vector<FieldEvent>{FieldEvent::Enter, FieldEvent::Escape}));

  // The code-page texts of the messages.
  const std::string hangul = *sys::FromUtf8("\xED\x95\x9C\xEA\xB8\x80", 949);
  win::SendMessage(field.GetHwnd(), win::WM_SETTEXT, 0,
                   reinterpret_cast<LParam>(hangul.c_str()));
  char buffer[8] = {};
  EXPECT_EQ(win::SendMessage(field.GetHwnd(), win::WM_GETTEXT, sizeof buffer,
                             reinterpret_cast<LParam>(buffer)),
            4);
  EXPECT_EQ(std::string(buffer), hangul);
  EXPECT_EQ(win::SendMessage(field.GetHwnd(), win::WM_GETTEXT, 4, reinterpret_cast<LParam>(buffer)),
            2)
      << "cut on a character";

  // Focus loss goes to the owner; a hook that destroys the field is safe.
  SetFocus(field.GetHwnd());
  field.SetHook([&](FieldEvent e) {
    events.push_back(e);
    win::DestroyWindow(field.GetHwnd());
    return true;
  });
  SetFocus(owner.GetHwnd());
  EXPECT_EQ(events.back(), FieldEvent::FocusLost);
  EXPECT_FALSE(win::IsWindow(field.GetHwnd()));
}

TEST_F(FieldsTest, ADropListChoosesByKeysAndHandsAMouseChoiceToTheOwner) {
  auto menus = std::make_shared<ScriptedPopupMenu>();
  ScopedPopupMenuBackend scoped(menus);
  DropList list;
  ASSERT_TRUE(list.Create(owner.GetHwnd(), 999, gdi::MakeRect(10, 10, 120, 120)));
  for (const char* s : {"one", "two", "three"})
    list.AddString(s);
  list.SetCurSel(0);
  std::vector<FieldEvent> events;
  list.SetHook([&](FieldEvent e) {
    events.push_back(e);
    return true;
  });
  EXPECT_EQ(win::SendMessage(list.GetHwnd(), CB_SETDROPPEDWIDTH, 200, 0), 200);
  EXPECT_EQ(list.DroppedWidth(), 200);
  Key(list.GetHwnd(), VK_DOWN);
  Key(list.GetHwnd(), VK_DOWN);
  Key(list.GetHwnd(), VK_DOWN);
  EXPECT_EQ(list.CurSel(), 2);
  Key(list.GetHwnd(), VK_UP);
  EXPECT_EQ(list.CurSel(), 1);
  EXPECT_EQ(owner.Count(win::WM_COMMAND), 3u);
  EXPECT_TRUE(events.empty()) << "keys choose without handing over";
  Key(list.GetHwnd(), VK_RETURN);
  menus->Choose(1);
  win::SendMessage(list.GetHwnd(), win::WM_LBUTTONDOWN, 0, 0);
  EXPECT_EQ(list.CurSel(), 0);
  // The pop-up holding the focus is no loss; the choice is handed over.
  EXPECT_EQ(events, (std::vector<FieldEvent>{FieldEvent::Enter, FieldEvent::Chosen}));
  SetFocus(owner.GetHwnd());
  EXPECT_EQ(events.back(), FieldEvent::FocusLost);
  win::DestroyWindow(list.GetHwnd());
}

TEST_F(FieldsTest, ScrollBarsKeepTheirPositionInRangeAndTrackPast16Bits) {
  const Hwnd hwnd = owner.GetHwnd();
  EXPECT_EQ(SetScrollInfo(hwnd, SB_VERT, {}), 0) << "no bar yet";
  ASSERT_TRUE(SetScrollBars(hwnd, WS_VSCROLL));
  EXPECT_EQ(ScrollBarsOf(hwnd), WS_VSCROLL);
  EXPECT_EQ(ScrollClientRect(hwnd), (gdi::Rect{0, 0, 400 - kScrollBarSize, 300}));
  const Hwnd bar = ScrollBarWindow(hwnd, SB_VERT);
  ASSERT_NE(bar, 0u);
  EXPECT_EQ(GetClientRect(bar), (gdi::Rect{0, 0, kScrollBarSize, 300}));

  ScrollInfo info;
  info.mask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.max = 100000;
  info.page = 14;
  info.pos = 200000;
  EXPECT_EQ(SetScrollInfo(hwnd, SB_VERT, info), 100000 - 14 + 1) << "clamped";
  EXPECT_EQ(SetScrollPos(hwnd, SB_VERT, -5), 100000 - 14 + 1);
  EXPECT_EQ(GetScrollPos(hwnd, SB_VERT), 0);

  // Arrows and trough.
  owner.log.clear();
  win::SendMessage(bar, win::WM_LBUTTONDOWN, 0, MakeLParam(5, 3));
  win::SendMessage(bar, win::WM_LBUTTONUP, 0, MakeLParam(5, 3));
  win::SendMessage(bar, win::WM_LBUTTONDOWN, 0, MakeLParam(5, 296));
  win::SendMessage(bar, win::WM_LBUTTONUP, 0, MakeLParam(5, 296));
  win::SendMessage(bar, win::WM_LBUTTONDOWN, 0, MakeLParam(5, 200));
  win::SendMessage(bar, win::WM_LBUTTONUP, 0, MakeLParam(5, 200));
  std::vector<uint32_t> codes;
  for (const Logged& m : owner.Only({WM_VSCROLL}))
    codes.push_back(LowWord(m.wParam));
  EXPECT_EQ(codes, (std::vector<uint32_t>{SB_LINEUP, SB_ENDSCROLL, SB_LINEDOWN, SB_ENDSCROLL,
                                          SB_PAGEDOWN, SB_ENDSCROLL}));

  // The thumb dragged to the end: its 32-bit place is read back.
  owner.log.clear();
  win::SendMessage(bar, win::WM_LBUTTONDOWN, 0, MakeLParam(5, kScrollBarSize + 2));
  win::SendMessage(bar, win::WM_MOUSEMOVE, 0, MakeLParam(5, 1000));
  const auto track = owner.Only({WM_VSCROLL});
  ASSERT_EQ(track.size(), 1u);
  EXPECT_EQ(LowWord(track[0].wParam), SB_THUMBTRACK);
  EXPECT_EQ(HighWord(track[0].wParam), (100000u - 13u) & 0xFFFF) << "the 16-bit wrap";
  EXPECT_EQ(GetScrollInfo(hwnd, SB_VERT)->trackPos, 100000 - 13);
  EXPECT_EQ(GetScrollInfo(hwnd, SB_VERT)->pos, 0) << "the owner sets the position";
  win::SendMessage(bar, win::WM_LBUTTONUP, 0, MakeLParam(5, 1000));
  codes.clear();
  for (const Logged& m : owner.Only({WM_VSCROLL}))
    codes.push_back(LowWord(m.wParam));
  EXPECT_EQ(codes, (std::vector<uint32_t>{SB_THUMBTRACK, SB_THUMBPOSITION, SB_ENDSCROLL}));

  // A horizontal bar beside it: both leave the corner free and speak WM_HSCROLL.
  ASSERT_TRUE(SetScrollBars(hwnd, WS_VSCROLL | WS_HSCROLL));
  EXPECT_EQ(ScrollClientRect(hwnd),
            (gdi::Rect{0, 0, 400 - kScrollBarSize, 300 - kScrollBarSize}));
  const Hwnd across = ScrollBarWindow(hwnd, SB_HORZ);
  ASSERT_NE(across, 0u);
  EXPECT_EQ(GetClientRect(across), (gdi::Rect{0, 0, 400 - kScrollBarSize, kScrollBarSize}));
  EXPECT_EQ(GetClientRect(bar), (gdi::Rect{0, 0, kScrollBarSize, 300 - kScrollBarSize}));
  owner.log.clear();
  win::SendMessage(across, win::WM_LBUTTONDOWN, 0, MakeLParam(3, 5));
  win::SendMessage(across, win::WM_LBUTTONUP, 0, MakeLParam(3, 5));
  const auto sideways = owner.Only({WM_HSCROLL, WM_VSCROLL});
  ASSERT_EQ(sideways.size(), 2u);
  EXPECT_EQ(sideways[0], (Logged{WM_HSCROLL, SB_LINEUP, 0}));
  EXPECT_EQ(sideways[1], (Logged{WM_HSCROLL, SB_ENDSCROLL, 0}));
  ASSERT_TRUE(SetScrollBars(hwnd, WS_VSCROLL));
  EXPECT_FALSE(win::IsWindow(across));

  // A new size places the bar again; taking it away gives the area back.
  MoveWindow(hwnd, 40, 40, 300, 200);
  LayoutScrollBars(hwnd);
  EXPECT_EQ(GetWindowRect(bar)->left - ClientToScreen(hwnd, {0, 0}).x, 300 - kScrollBarSize);
  ASSERT_TRUE(SetScrollBars(hwnd, 0));
  EXPECT_FALSE(win::IsWindow(bar));
  EXPECT_EQ(ScrollClientRect(hwnd), (gdi::Rect{0, 0, 300, 200}));
}

TEST_F(FieldsTest, ScrollWindowMovesThePixelsAndInvalidatesOnlyTheUncoveredStrip) {
  const Hwnd hwnd = owner.GetHwnd();
  ASSERT_TRUE(Settle(hwnd));
  {
    auto dc = GetDc(hwnd);
    ASSERT_TRUE(dc);
    dc->FillRect(gdi::MakeRect(0, 0, 400, 300), gdi::Rgb(255, 255, 255));
    dc->FillRect(gdi::MakeRect(50, 100, 10, 20), gdi::Rgb(255, 0, 0));
  }
  ValidateRect(hwnd, nullptr);
  const gdi::Rect below{0, 25, 400, 300};
  ASSERT_TRUE(ScrollWindow(hwnd, 0, -20, &below));
  auto surface = SurfaceOf(hwnd);
  EXPECT_EQ(surface->Pixel(55, 85), gdi::Rgb(255, 0, 0));
  EXPECT_EQ(surface->Pixel(55, 105), gdi::Rgb(255, 255, 255));
  EXPECT_EQ(surface->Pixel(55, 115), gdi::Rgb(255, 255, 255));
  EXPECT_EQ(GetUpdateRect(hwnd), (gdi::Rect{0, 280, 400, 300}));
  // Scrolling down uncovers the top of the area.
  ValidateRect(hwnd, nullptr);
  ASSERT_TRUE(ScrollWindow(hwnd, 0, 20, &below));
  EXPECT_EQ(surface->Pixel(55, 105), gdi::Rgb(255, 0, 0));
  EXPECT_EQ(GetUpdateRect(hwnd), (gdi::Rect{0, 25, 400, 45}));
}

} // namespace

// Input of screen windows: Qt's mouse, key and focus events become the
// window messages with their button flags, client coordinates and
// virtual-key codes; capture, key state, and sizing by the window system.
#include "platform/ui/tests/support/screen_session.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>

using namespace ui;
using namespace uitest;

namespace {

using ScreenInputTest = ScreenTest;

void SendMouse(Hwnd h, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* w = GetWidget(h);
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, modifiers);
  QCoreApplication::sendEvent(w, &e);
}

void SendKey(Hwnd h, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
             const QString& text, bool autoRepeat = false, quint32 nativeScanCode = 0) {
  QKeyEvent e(type, key, modifiers, nativeScanCode, 0, 0, text, autoRepeat);
  QCoreApplication::sendEvent(GetWidget(h), &e);
}

constexpr std::initializer_list<uint32_t> kMouseMessages = {
    win::WM_SETCURSOR,     win::WM_MOUSEMOVE,   win::WM_LBUTTONDOWN, win::WM_LBUTTONUP,
    win::WM_LBUTTONDBLCLK, win::WM_RBUTTONDOWN, win::WM_RBUTTONUP,   win::WM_RBUTTONDBLCLK,
    WM_MBUTTONDOWN,        WM_MBUTTONUP,        WM_MBUTTONDBLCLK};

TEST_F(ScreenInputTest, MouseEventsBecomeButtonMessagesWithFlagsAndClientCoordinates) {
  LogWindow w;
  Hwnd h = Create(w, kDoubleClickClass, win::WS_POPUP | win::WS_VISIBLE, {100, 100, 200, 150});
  ASSERT_NE(h, 0u);
  w.log.clear();
  const auto L = Qt::LeftButton, R = Qt::RightButton, M = Qt::MiddleButton;
  const auto none = Qt::MouseButtons();
  SendMouse(h, QEvent::MouseButtonPress, {10, 20}, L, L, Qt::ControlModifier);
  SendMouse(h, QEvent::MouseMove, {12, 25}, Qt::NoButton, L, Qt::ControlModifier);
  SendMouse(h, QEvent::MouseButtonRelease, {12, 25}, L, none);
  SendMouse(h, QEvent::MouseButtonDblClick, {12, 25}, L, L);
  SendMouse(h, QEvent::MouseButtonRelease, {12, 25}, L, none);
  SendMouse(h, QEvent::MouseButtonPress, {199, 149}, R, R | L, Qt::ShiftModifier);
  SendMouse(h, QEvent::MouseButtonRelease, {199, 149}, R, L);
  SendMouse(h, QEvent::MouseButtonPress, {0, 0}, M, M);
  SendMouse(h, QEvent::MouseButtonRelease, {0, 0}, M, none);

  const WParam me = h;
  const std::vector<Logged> want = {
      {win::WM_SETCURSOR, me, MakeLParam(HTCLIENT, win::WM_LBUTTONDOWN)},
      {win::WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MakeLParam(10, 20)},
      {win::WM_SETCURSOR, me, MakeLParam(HTCLIENT, win::WM_MOUSEMOVE)},
      {win::WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, MakeLParam(12, 25)},
      {win::WM_LBUTTONUP, 0, MakeLParam(12, 25)},
      {win::WM_SETCURSOR, me, MakeLParam(HTCLIENT, win::WM_LBUTTONDBLCLK)},
      {win::WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(12, 25)},
      {win::WM_LBUTTONUP, 0, MakeLParam(12, 25)},
      {win::WM_SETCURSOR, me, MakeLParam(HTCLIENT, win::WM_RBUTTONDOWN)},
      {win::WM_RBUTTONDOWN, MK_RBUTTON | MK_LBUTTON | MK_SHIFT, MakeLParam(199, 149)},
      {win::WM_RBUTTONUP, MK_LBUTTON, MakeLParam(199, 149)},
      {win::WM_SETCURSOR, me, MakeLParam(HTCLIENT, WM_MBUTTONDOWN)},
      {WM_MBUTTONDOWN, MK_MBUTTON, MakeLParam(0, 0)},
      {WM_MBUTTONUP, 0, MakeLParam(0, 0)},
  };
  EXPECT_EQ(w.Only(kMouseMessages), want);
}

TEST_F(ScreenInputTest, WithoutTheDoubleClickClassStyleASecondClickIsAPress) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  w.log.clear();
  SendMouse(h, QEvent::MouseButtonDblClick, {3, 4}, Qt::RightButton, Qt::RightButton);
  EXPECT_EQ(w.Only({win::WM_RBUTTONDOWN, win::WM_RBUTTONDBLCLK}),
            (std::vector<Logged>{{win::WM_RBUTTONDOWN, MK_RBUTTON, MakeLParam(3, 4)}}));
}

TEST_F(ScreenInputTest, TheCapturingWindowGetsTheMouseInItsOwnCoordinates) {
  LogWindow a, b;
  Hwnd ha = Create(a, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {100, 100, 50, 50});
  Hwnd hb = Create(b, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {40, 60, 50, 50});
  a.log.clear();
  b.log.clear();
  EXPECT_EQ(SetCapture(ha), 0u);
  EXPECT_EQ(GetCapture(), ha);
  SendMouse(hb, QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::LeftButton);
  SendMouse(hb, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::MouseButtons());
  // (45, 65) on the screen is (-55, -35) in a's client area; no cursor asks
  // while captured.
  EXPECT_EQ(a.Only(kMouseMessages),
            (std::vector<Logged>{{win::WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(-55, -35)},
                                 {win::WM_LBUTTONUP, 0, MakeLParam(-55, -35)}}));
  EXPECT_EQ(XOfLParam(a.Only({win::WM_MOUSEMOVE})[0].lParam), -55);
  EXPECT_TRUE(b.Only(kMouseMessages).empty());
  EXPECT_TRUE(ReleaseCapture());
  EXPECT_EQ(GetCapture(), 0u);
  SendMouse(hb, QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::MouseButtons());
  EXPECT_EQ(b.Only({win::WM_MOUSEMOVE}).size(), 1u);
  // A destroyed window lets go of the capture.
  SetCapture(hb);
  win::DestroyWindow(hb);
  EXPECT_EQ(GetCapture(), 0u);
}

TEST_F(ScreenInputTest, KeysBecomeVirtualKeyMessagesAndCharacters) {
  struct Case {
    const char* what;
    QEvent::Type type;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool autoRepeat;
    std::vector<Logged> want;
  };
  // Repeat count 1; bit 24 extended, 29 Alt, 30 previously down, 31 released.
  const LParam down = 0x00000001;
  const LParam repeat = 0x40000001;
  const LParam up = 0xC0000001;
  const LParam extended = 0x01000001;
  const LParam alt = 0x20000001;
  const auto none = Qt::NoModifier;
  const Case cases[] = {
      {"letter",
       QEvent::KeyPress,
       Qt::Key_A,
       none,
       "a",
       false,
       {{win::WM_KEYDOWN, 'A', down}, {win::WM_CHAR, 'a', down}}},
      {"shifted letter",
       QEvent::KeyPress,
       Qt::Key_A,
       Qt::ShiftModifier,
       "A",
       false,
       {{win::WM_KEYDOWN, 'A', down}, {win::WM_CHAR, 'A', down}}},
      {"shifted digit",
       QEvent::KeyPress,
       Qt::Key_Exclam,
       Qt::ShiftModifier,
       "!",
       false,
       {{win::WM_KEYDOWN, '1', down}, {win::WM_CHAR, '!', down}}},
      {"control letter",
       QEvent::KeyPress,
       Qt::Key_T,
       Qt::ControlModifier,
       "\x14",
       false,
       {{win::WM_KEYDOWN, 'T', down}, {win::WM_CHAR, 0x14, down}}},
      {"function key",
       QEvent::KeyPress,
       Qt::Key_F5,
       none,
       "",
       false,
       {{win::WM_KEYDOWN, VK_F5, down}}},
      {"return",
       QEvent::KeyPress,
       Qt::Key_Return,
       none,
       "\r",
       false,
       {{win::WM_KEYDOWN, VK_RETURN, down}, {win::WM_CHAR, '\r', down}}},
      {"tab stays with the window",
       QEvent::KeyPress,
       Qt::Key_Tab,
       none,
       "\t",
       false,
       {{win::WM_KEYDOWN, VK_TAB, down}, {win::WM_CHAR, '\t', down}}},
      {"escape",
       QEvent::KeyPress,
       Qt::Key_Escape,
       none,
       "\x1b",
       false,
       {{win::WM_KEYDOWN, VK_ESCAPE, down}, {win::WM_CHAR, 0x1B, down}}},
      {"arrow is extended",
       QEvent::KeyPress,
       Qt::Key_Left,
       none,
       "",
       false,
       {{win::WM_KEYDOWN, VK_LEFT, extended}}},
      {"delete gives no character",
       QEvent::KeyPress,
       Qt::Key_Delete,
       none,
       "\x7f",
       false,
       {{win::WM_KEYDOWN, VK_DELETE, extended}}},
      {"keypad digit",
       QEvent::KeyPress,
       Qt::Key_5,
       Qt::KeypadModifier,
       "5",
       false,
       {{win::WM_KEYDOWN, VK_NUMPAD0 + 5, down}, {win::WM_CHAR, '5', down}}},
      {"alt",
       QEvent::KeyPress,
       Qt::Key_X,
       Qt::AltModifier,
       "x",
       false,
       {{win::WM_KEYDOWN, 'X', alt}, {win::WM_CHAR, 'x', alt}}},
      {"held key repeats",
       QEvent::KeyPress,
       Qt::Key_B,
       none,
       "b",
       true,
       {{win::WM_KEYDOWN, 'B', repeat}, {win::WM_CHAR, 'b', repeat}}},
      {"repeat release is dropped", QEvent::KeyRelease, Qt::Key_B, none, "b", true, {}},
      {"release", QEvent::KeyRelease, Qt::Key_B, none, "b", false, {{win::WM_KEYUP, 'B', up}}},
      {"text without a key",
       QEvent::KeyPress,
       0,
       none,
       QString::fromUtf8("한"),
       false,
       {{win::WM_CHAR, 0xD55C, down}}},
  };
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    w.log.clear();
    SendKey(h, c.type, c.key, c.modifiers, c.text, c.autoRepeat);
    EXPECT_EQ(w.Only({win::WM_KEYDOWN, win::WM_KEYUP, win::WM_CHAR}), c.want);
  }
  // The lParam keeps its fields where a key handler reads them.
  EXPECT_EQ(LowWord(static_cast<uintptr_t>(up)), 1u);
  EXPECT_EQ(HighWord(static_cast<uintptr_t>(up)), uint32_t{KF_UP | KF_REPEAT});
}

TEST_F(ScreenInputTest, ScanCodesAndKeyStateAsOfTheMessage) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  std::vector<int16_t> control, lbutton, tKey;
  w.handler = [&](Hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m == win::WM_KEYDOWN || m == win::WM_KEYUP || m == win::WM_LBUTTONDOWN) {
      control.push_back(GetKeyState(VK_CONTROL));
      lbutton.push_back(GetKeyState(VK_LBUTTON));
      tKey.push_back(GetKeyState('T'));
    }
    return std::nullopt;
  };
  w.log.clear();
  // X11 key code 28 is the PC scan code 0x14 of T.
  SendKey(h, QEvent::KeyPress, Qt::Key_T, Qt::ControlModifier, "\x14", false, 28);
  SendKey(h, QEvent::KeyRelease, Qt::Key_T, Qt::NoModifier, "t", false, 28);
  SendMouse(h, QEvent::MouseButtonPress, {1, 1}, Qt::LeftButton, Qt::LeftButton,
            Qt::ControlModifier);
  ASSERT_EQ(control.size(), 3u);
  EXPECT_LT(control[0], 0);
  EXPECT_EQ(control[1], 0);
  EXPECT_LT(control[2], 0);
  EXPECT_LT(tKey[0], 0);
  EXPECT_EQ(tKey[1], 0);
  EXPECT_EQ(lbutton[0], 0);
  EXPECT_LT(lbutton[2], 0);
  auto keys = w.Only({win::WM_KEYDOWN});
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ((static_cast<uintptr_t>(keys[0].lParam) >> 16) & 0xFF, 0x14u);
}

TEST_F(ScreenInputTest, FocusMovesWithKillThenSetFocus) {
  std::vector<std::pair<Hwnd, Logged>> log;
  LogWindow a, b;
  a.shared = &log;
  b.shared = &log;
  Hwnd ha = Create(a, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  Hwnd hb = Create(b, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {60, 0, 50, 50});
  auto focusLog = [&] {
    std::vector<std::pair<Hwnd, Logged>> out;
    for (auto& e : log)
      if (e.second.message == win::WM_SETFOCUS || e.second.message == win::WM_KILLFOCUS)
        out.push_back(e);
    log.clear();
    return out;
  };
  using Entry = std::pair<Hwnd, Logged>;
  focusLog();
  EXPECT_EQ(SetFocus(ha), 0u);
  EXPECT_EQ(GetFocus(), ha);
  EXPECT_EQ(focusLog(), (std::vector<Entry>{{ha, {win::WM_SETFOCUS, 0, 0}}}));
  EXPECT_EQ(SetFocus(hb), ha);
  EXPECT_EQ(focusLog(), (std::vector<Entry>{{ha, {win::WM_KILLFOCUS, hb, 0}},
                                            {hb, {win::WM_SETFOCUS, ha, 0}}}));
  // Qt's own focus change between two children of an active window says
  // the same.
  LogWindow c1, c2;
  c1.shared = &log;
  c2.shared = &log;
  Hwnd h1 = Create(c1, kPlainClass, win::WS_CHILD | win::WS_VISIBLE, {0, 0, 10, 10}, hb);
  Hwnd h2 = Create(c2, kPlainClass, win::WS_CHILD | win::WS_VISIBLE, {20, 0, 10, 10}, hb);
  QApplication::setActiveWindow(GetWidget(hb));
  GetWidget(h1)->setFocus(Qt::MouseFocusReason);
  ASSERT_EQ(GetFocus(), h1);
  focusLog();
  GetWidget(h2)->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(GetFocus(), h2);
  EXPECT_EQ(focusLog(), (std::vector<Entry>{{h1, {win::WM_KILLFOCUS, h2, 0}},
                                            {h2, {win::WM_SETFOCUS, h1, 0}}}));
  SetFocus(ha);
  // Keys go to the window whose widget Qt gives them; destroying the focus
  // window leaves no focus.
  win::DestroyWindow(ha);
  EXPECT_EQ(GetFocus(), 0u);
}

TEST_F(ScreenInputTest, SizingByTheWindowSystemReachesTheWindowThenItIsPainted) {
  LogWindow w;
  std::vector<gdi::Rect> painted;
  w.handler = [&](Hwnd hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m != win::WM_PAINT)
      return std::nullopt;
    Paint p(hwnd);
    painted.push_back(p.Area());
    return 0;
  };
  Hwnd h = Create(w, kPlainClass, WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {50, 50, 100, 80});
  ASSERT_TRUE(Settle(h));
  ASSERT_TRUE(PumpUntil([&] { return GetWindowRect(h) == (gdi::Rect{50, 50, 150, 130}); }));
  w.log.clear();
  painted.clear();

  // The user drags the border: Qt hears of it first.
  GetWidget(h)->windowHandle()->resize(130, 90);
  ASSERT_TRUE(PumpUntil([&] { return GetClientRect(h) == (gdi::Rect{0, 0, 130, 90}); }));
  ASSERT_TRUE(Settle(h));
  EXPECT_EQ(w.Messages({win::WM_WINDOWPOSCHANGED, win::WM_MOVE, win::WM_SIZE, win::WM_PAINT}),
            (std::vector<uint32_t>{win::WM_WINDOWPOSCHANGED, win::WM_SIZE, win::WM_PAINT}));
  EXPECT_EQ(w.Only({win::WM_SIZE})[0], (Logged{win::WM_SIZE, SIZE_RESTORED, MakeLParam(130, 90)}));
  EXPECT_EQ(painted, (std::vector<gdi::Rect>{{0, 0, 130, 90}}));

  // The user minimises it.
  w.log.clear();
  GetWidget(h)->windowHandle()->showMinimized();
  ASSERT_TRUE(PumpUntil([&] { return IsIconic(h); }));
  EXPECT_EQ(w.Only({win::WM_SIZE}), (std::vector<Logged>{{win::WM_SIZE, SIZE_MINIMIZED, 0}}));
}

} // namespace

namespace {

TEST_F(ScreenInputTest, WidgetInputPassesTheThreadsFiltersAndAConsumedKeyGoesNoFurther) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 50});
  std::vector<win::Msg> filtered;
  const int id = win::AddMessageFilter([&](win::Msg& msg) {
    filtered.push_back(msg);
    return msg.message == win::WM_KEYDOWN && msg.wParam == 'X';
  });
  w.log.clear();
  SendKey(h, QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  SendKey(h, QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
  SendMouse(h, QEvent::MouseButtonPress, {3, 4}, Qt::LeftButton, Qt::LeftButton);
  win::RemoveMessageFilter(id);

  std::vector<std::pair<uint32_t, WParam>> seen;
  for (const win::Msg& m : filtered) {
    EXPECT_EQ(m.hwnd, h);
    seen.push_back({m.message, m.wParam});
  }
  const std::vector<std::pair<uint32_t, WParam>> want = {{win::WM_KEYDOWN, 'X'},
                                                         {win::WM_KEYDOWN, VK_SPACE},
                                                         {win::WM_CHAR, ' '},
                                                         {win::WM_LBUTTONDOWN, MK_LBUTTON}};
  EXPECT_EQ(seen, want);
  // The consumed X gave neither its key message nor its character.
  EXPECT_EQ(w.Only({win::WM_KEYDOWN, win::WM_CHAR, win::WM_LBUTTONDOWN}),
            (std::vector<Logged>{{win::WM_KEYDOWN, VK_SPACE, w.Only({win::WM_KEYDOWN})[0].lParam},
                                 {win::WM_CHAR, ' ', w.Only({win::WM_CHAR})[0].lParam},
                                 {win::WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(3, 4)}}));
}

} // namespace

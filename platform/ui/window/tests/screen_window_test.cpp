// Screen windows as widgets: creation with its messages, placement, the show
// states, styles, closing, and requests from other threads.
#include "platform/ui/tests/support/screen_session.h"

#include <QScreen>
#include <QWindow>

#include <atomic>
#include <thread>

using namespace ui;
using namespace uitest;

namespace {

using ScreenWindowTest = ScreenTest;

TEST_F(ScreenWindowTest, CreationSendsSizeMoveAndShowThenPaintsTheWholeClient) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {30, 40, 200, 100});
  ASSERT_NE(h, 0u);
  EXPECT_EQ(w.Messages({win::WM_NCCREATE, win::WM_CREATE, win::WM_SIZE, win::WM_MOVE,
                        win::WM_SHOWWINDOW, win::WM_PAINT}),
            (std::vector<uint32_t>{win::WM_NCCREATE, win::WM_CREATE, win::WM_SIZE, win::WM_MOVE,
                                   win::WM_SHOWWINDOW}));
  EXPECT_EQ(w.Only({win::WM_SIZE})[0], (Logged{win::WM_SIZE, SIZE_RESTORED, MakeLParam(200, 100)}));
  EXPECT_EQ(w.Only({win::WM_MOVE})[0], (Logged{win::WM_MOVE, 0, MakeLParam(30, 40)}));
  EXPECT_EQ(w.Only({win::WM_SHOWWINDOW})[0], (Logged{win::WM_SHOWWINDOW, 1, 0}));
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_NE(win::GetWindowStyle(h) & win::WS_VISIBLE, 0u);

  QWidget* widget = GetWidget(h);
  ASSERT_NE(widget, nullptr);
  EXPECT_TRUE(widget->isWindow());
  EXPECT_TRUE(widget->isVisible());
  EXPECT_EQ(widget->geometry(), QRect(30, 40, 200, 100));
  EXPECT_TRUE(widget->windowFlags() & Qt::FramelessWindowHint);

  std::optional<gdi::Rect> painted;
  w.handler = [&](Hwnd hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m != win::WM_PAINT)
      return std::nullopt;
    Paint p(hwnd);
    painted = p.Area();
    return 0;
  };
  ASSERT_TRUE(PumpUntil([&] { return painted.has_value(); }));
  EXPECT_EQ(*painted, (gdi::Rect{0, 0, 200, 100}));
  EXPECT_FALSE(GetUpdateRect(h));
}

TEST_F(ScreenWindowTest, AHiddenWindowIsPlacedAndSizedButNotPainted) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP, {0, 0, 50, 50});
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_EQ(w.Count(win::WM_SHOWWINDOW), 0u);
  w.log.clear();

  EXPECT_TRUE(MoveWindow(h, 5, 6, 70, 80));
  EXPECT_EQ(w.Messages({win::WM_WINDOWPOSCHANGED, win::WM_MOVE, win::WM_SIZE, win::WM_PAINT}),
            (std::vector<uint32_t>{win::WM_WINDOWPOSCHANGED, win::WM_MOVE, win::WM_SIZE}));
  EXPECT_EQ(w.Only({win::WM_SIZE})[0].lParam, MakeLParam(70, 80));
  EXPECT_EQ(GetClientRect(h), (gdi::Rect{0, 0, 70, 80}));
  EXPECT_EQ(GetWindowRect(h), (gdi::Rect{5, 6, 75, 86}));
  EXPECT_EQ(SurfaceOf(h)->Dimensions(), (gdi::Size{70, 80}));
  EXPECT_EQ(GetWidget(h)->geometry(), QRect(5, 6, 70, 80));
  // Moving only sends no size; sizing to the same size sends nothing.
  w.log.clear();
  EXPECT_TRUE(SetWindowPos(h, 0, 9, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  EXPECT_EQ(w.Messages({win::WM_MOVE, win::WM_SIZE}), (std::vector<uint32_t>{win::WM_MOVE}));
  w.log.clear();
  EXPECT_TRUE(MoveWindow(h, 9, 9, 70, 80));
  EXPECT_TRUE(w.log.empty());

  win::ProcessPendingMessages();
  EXPECT_EQ(w.Count(win::WM_PAINT), 0u); // nothing is painted while hidden

  w.log.clear();
  EXPECT_FALSE(ShowWindow(h, SW_SHOW)); // was hidden
  EXPECT_TRUE(ShowWindow(h, SW_SHOW));  // is shown
  ASSERT_TRUE(PumpUntil([&] { return w.Count(win::WM_PAINT) > 0; }));
  EXPECT_EQ(w.Messages({win::WM_SHOWWINDOW, win::WM_ERASEBKGND, win::WM_PAINT}),
            (std::vector<uint32_t>{win::WM_SHOWWINDOW, win::WM_PAINT, win::WM_ERASEBKGND}));
  EXPECT_TRUE(ShowWindow(h, SW_HIDE));
  EXPECT_FALSE(GetWidget(h)->isVisible());
  EXPECT_EQ(w.Only({win::WM_SHOWWINDOW}).back().wParam, 0u);
}

TEST_F(ScreenWindowTest, ChildrenLiveInTheParentsClientCoordinates) {
  LogWindow parent, child;
  Hwnd p = Create(parent, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {100, 50, 300, 200});
  Hwnd c = Create(child, kPlainClass, win::WS_CHILD | win::WS_VISIBLE, {10, 20, 40, 30}, p);
  ASSERT_NE(c, 0u);
  QWidget* cw = GetWidget(c);
  ASSERT_NE(cw, nullptr);
  EXPECT_FALSE(cw->isWindow());
  EXPECT_EQ(cw->parentWidget(), GetWidget(p));
  EXPECT_EQ(cw->geometry(), QRect(10, 20, 40, 30));
  EXPECT_EQ(child.Only({win::WM_MOVE})[0].lParam, MakeLParam(10, 20));
  EXPECT_EQ(GetWindowRect(c), (gdi::Rect{110, 70, 150, 100}));
  EXPECT_EQ(ClientToScreen(c, {1, 2}), (gdi::Point{111, 72}));
  EXPECT_EQ(ScreenToClient(c, {111, 72}), (gdi::Point{1, 2}));

  // A child of a hidden parent is not visible, though shown itself.
  ShowWindow(p, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(c));
  EXPECT_NE(win::GetWindowStyle(c) & win::WS_VISIBLE, 0u);
  ShowWindow(p, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(c));

  // A child made without WS_VISIBLE under a hidden parent stays hidden when
  // the parent is shown.
  LogWindow laterParent, hiddenChild;
  Hwnd lp = Create(laterParent, kPlainClass, win::WS_POPUP, {0, 0, 50, 50});
  Hwnd h = Create(hiddenChild, kPlainClass, win::WS_CHILD, {0, 0, 20, 20}, lp);
  ASSERT_NE(h, 0u);
  ShowWindow(lp, SW_SHOW);
  EXPECT_FALSE(IsWindowVisible(h));
  EXPECT_FALSE(GetWidget(h)->isVisible());
  ShowWindow(h, SW_SHOW);
  EXPECT_TRUE(GetWidget(h)->isVisible());
  win::DestroyWindow(lp);

  // A maximised child fills its parent's client area.
  child.log.clear();
  ShowWindow(c, SW_MAXIMIZE);
  EXPECT_TRUE(IsZoomed(c));
  EXPECT_EQ(GetClientRect(c), (gdi::Rect{0, 0, 300, 200}));
  EXPECT_EQ(child.Only({win::WM_SIZE}).back(),
            (Logged{win::WM_SIZE, SIZE_MAXIMIZED, MakeLParam(300, 200)}));
  ShowWindow(c, SW_RESTORE);
  EXPECT_EQ(GetWindowRect(c), (gdi::Rect{110, 70, 150, 100}));

  // Destroying the parent takes the child and both widgets with it.
  EXPECT_TRUE(win::DestroyWindow(p));
  EXPECT_FALSE(win::IsWindow(c));
  EXPECT_FALSE(IsScreenWindow(c));
  EXPECT_EQ(GetWidget(p), nullptr);
}

TEST_F(ScreenWindowTest, PlacementKeepsTheNormalRectangleThroughEveryState) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {20, 30, 160, 120});
  ASSERT_NE(h, 0u);
  const gdi::Rect normal = gdi::MakeRect(20, 30, 160, 120);
  struct Case {
    int show;
    int command;
  };
  for (const Case& c : {Case{SW_SHOWMAXIMIZED, SW_SHOWMAXIMIZED}, Case{SW_MINIMIZE, SW_SHOWMINIMIZED},
                        Case{SW_RESTORE, SW_SHOWMAXIMIZED}, Case{SW_SHOWNORMAL, SW_SHOWNORMAL},
                        Case{SW_HIDE, SW_HIDE}}) {
    SCOPED_TRACE(c.show);
    ShowWindow(h, c.show);
    const auto p = GetWindowPlacement(h);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->showCommand, c.command);
    EXPECT_EQ(p->normal, normal);
  }
  // Set while maximised: the window goes there once it shows normally.
  const gdi::Rect moved = gdi::MakeRect(50, 60, 200, 100);
  ASSERT_TRUE(SetWindowPlacement(h, {SW_SHOWMAXIMIZED, moved}));
  EXPECT_TRUE(IsZoomed(h));
  EXPECT_EQ(GetWindowPlacement(h)->normal, moved);
  ShowWindow(h, SW_SHOWNORMAL);
  EXPECT_EQ(GetWindowRect(h), moved);
  EXPECT_FALSE(GetWindowPlacement(0));
}

TEST_F(ScreenWindowTest, MinimiseMaximiseAndRestore) {
  struct Case {
    const char* what;
    uint32_t style;
    Qt::WindowState qtState;
    bool fullScreen; // else the work area
  };
  const Case cases[] = {
      {"popup without caption", win::WS_POPUP, Qt::WindowFullScreen, true},
      {"captioned window", WS_OVERLAPPEDWINDOW, Qt::WindowMaximized, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogWindow w;
    Hwnd h = Create(w, kPlainClass, c.style | win::WS_VISIBLE, {20, 30, 160, 120});
    ASSERT_NE(h, 0u);
    Settle(h);
    w.log.clear();

    ShowWindow(h, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(h));
    EXPECT_EQ(w.Only({win::WM_SIZE}), (std::vector<Logged>{{win::WM_SIZE, SIZE_MINIMIZED, 0}}));
    EXPECT_FALSE(IsWindowVisible(h) && SurfaceOf(h)->IsVisible()); // nothing drawn minimised
    EXPECT_EQ(GetClientRect(h), (gdi::Rect{0, 0, 160, 120}));

    w.log.clear();
    ShowWindow(h, SW_RESTORE);
    EXPECT_FALSE(IsIconic(h));
    EXPECT_EQ(w.Only({win::WM_SIZE}),
              (std::vector<Logged>{{win::WM_SIZE, SIZE_RESTORED, MakeLParam(160, 120)}}));
    ASSERT_TRUE(PumpUntil([&] { return w.Count(win::WM_PAINT) > 0; })); // repainted
    EXPECT_TRUE(SurfaceOf(h)->IsVisible());

    w.log.clear();
    ShowWindow(h, SW_SHOWMAXIMIZED);
    const gdi::Rect area = c.fullScreen ? ScreenRect() : WorkArea();
    EXPECT_TRUE(IsZoomed(h));
    EXPECT_EQ(GetWindowRect(h), area);
    EXPECT_EQ(w.Only({win::WM_SIZE}).back(),
              (Logged{win::WM_SIZE, SIZE_MAXIMIZED, MakeLParam(area.Width(), area.Height())}));
    EXPECT_TRUE(GetWidget(h)->windowState() & c.qtState);
    // The window system has the last word on the rectangle, inside the area.
    Settle(h);
    EXPECT_TRUE(PumpUntil([&] {
      const QRect g = GetWidget(h)->geometry();
      return GetWindowRect(h) == gdi::MakeRect(g.x(), g.y(), g.width(), g.height());
    }));
    EXPECT_EQ(gdi::Union(*GetWindowRect(h), area), area);
    EXPECT_TRUE(IsZoomed(h));

    // Minimised from maximised, restore goes back to maximised; a normal
    // show goes back to the first placement.
    ShowWindow(h, SW_MINIMIZE);
    ShowWindow(h, SW_RESTORE);
    EXPECT_TRUE(IsZoomed(h));
    w.log.clear();
    ShowWindow(h, SW_SHOWNORMAL);
    EXPECT_FALSE(IsZoomed(h));
    EXPECT_EQ(GetWindowRect(h), (gdi::Rect{20, 30, 180, 150}));
    EXPECT_EQ(w.Only({win::WM_SIZE}).back(),
              (Logged{win::WM_SIZE, SIZE_RESTORED, MakeLParam(160, 120)}));
    win::DestroyWindow(h);
  }
}

TEST_F(ScreenWindowTest, StylesChooseTheWidgetsDecorationAndPlaceInTheZOrder) {
  LogWindow w;
  Hwnd h =
      Create(w, kPlainClass, WS_OVERLAPPEDWINDOW, {0, 0, 100, 100}, 0, WS_EX_TOPMOST, "Lyrics");
  QWidget* widget = GetWidget(h);
  ASSERT_NE(widget, nullptr);
  EXPECT_FALSE(widget->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(widget->windowFlags() & Qt::WindowTitleHint);
  EXPECT_TRUE(widget->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(widget->windowTitle(), "Lyrics");

  SetWindowPos(h, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_FALSE(GetWidget(h)->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(GetWindowExStyle(h) & WS_EX_TOPMOST, 0u);
  SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_TRUE(GetWidget(h)->windowFlags() & Qt::WindowStaysOnTopHint);

  // Embedding: the window becomes a child of another and its widget moves in.
  LogWindow host;
  Hwnd hostH = Create(host, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {200, 200, 400, 300});
  SetWindowStyle(h, (win::GetWindowStyle(h) & ~(win::WS_POPUP | WS_THICKFRAME | WS_CAPTION)) |
                        win::WS_CHILD);
  EXPECT_TRUE(SetParent(h, hostH));
  SetWindowPos(h, HWND_TOP, 10, 10, 50, 40, SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  EXPECT_EQ(GetWidget(h)->parentWidget(), GetWidget(hostH));
  EXPECT_FALSE(GetWidget(h)->isWindow());
  EXPECT_TRUE(GetWidget(h)->isVisible());
  EXPECT_EQ(GetWindowRect(h), (gdi::Rect{210, 210, 260, 250}));
  // And back out.
  SetWindowStyle(h, (win::GetWindowStyle(h) & ~win::WS_CHILD) | win::WS_POPUP);
  EXPECT_TRUE(SetParent(h, 0));
  EXPECT_TRUE(GetWidget(h)->isWindow());
  EXPECT_TRUE(GetWidget(h)->windowFlags() & Qt::FramelessWindowHint);

  EXPECT_TRUE(SetWindowText(h, "Kivo"));
  EXPECT_EQ(GetWidget(h)->windowTitle(), "Kivo");
  win::SendMessage(h, win::WM_SETTEXT, 0, reinterpret_cast<LParam>("Other"));
  EXPECT_EQ(GetWidget(h)->windowTitle(), "Other");
}

TEST_F(ScreenWindowTest, ClosingFromTheWindowManagerAsksTheWindow) {
  LogWindow w;
  bool refuse = true;
  w.handler = [&](Hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m == win::WM_CLOSE && refuse)
      return 0;
    return std::nullopt;
  };
  Hwnd h = Create(w, kPlainClass, WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, {0, 0, 80, 60});
  QWidget* widget = GetWidget(h);
  ASSERT_NE(widget, nullptr);
  EXPECT_FALSE(widget->close()); // refused: the widget stays
  EXPECT_TRUE(win::IsWindow(h));
  EXPECT_EQ(w.Messages({win::WM_SYSCOMMAND, win::WM_CLOSE}),
            (std::vector<uint32_t>{win::WM_SYSCOMMAND, win::WM_CLOSE}));
  EXPECT_EQ(w.Only({win::WM_SYSCOMMAND})[0].wParam, SC_CLOSE);
  refuse = false;
  widget->close();
  EXPECT_FALSE(win::IsWindow(h));
  EXPECT_EQ(w.Messages({win::WM_DESTROY, win::WM_NCDESTROY}),
            (std::vector<uint32_t>{win::WM_DESTROY, win::WM_NCDESTROY}));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(GetWidget(h), nullptr);
}

TEST_F(ScreenWindowTest, SystemCommandsAndTrackingSizesHaveTheirDefaults) {
  LogWindow w;
  w.handler = [&](Hwnd, uint32_t m, WParam, LParam l) -> std::optional<LResult> {
    if (m != win::WM_GETMINMAXINFO)
      return std::nullopt;
    AsMinMaxInfo(l)->minTrackSize = gdi::Point{447, 150};
    AsMinMaxInfo(l)->maxTrackSize = gdi::Point{790, 700};
    return 0;
  };
  Hwnd h = Create(w, kPlainClass, WS_OVERLAPPEDWINDOW, {0, 0, 500, 300});
  EXPECT_EQ(w.Count(win::WM_GETMINMAXINFO), 0u);
  ShowWindow(h, SW_SHOWNORMAL);
  EXPECT_EQ(w.Messages({win::WM_SHOWWINDOW, win::WM_GETMINMAXINFO}),
            (std::vector<uint32_t>{win::WM_SHOWWINDOW, win::WM_GETMINMAXINFO}));
  EXPECT_EQ(GetWidget(h)->minimumSize(), QSize(447, 150));
  EXPECT_EQ(GetWidget(h)->maximumSize(), QSize(790, 700));

  struct Step {
    WParam command;
    bool iconic, zoomed;
  };
  const Step steps[] =
      {
          {SC_MAXIMIZE, false, true},          {SC_RESTORE, false, false},
          {SC_MINIMIZE, true, false},          {SC_RESTORE, false, false},
          {SC_MOVE | HTCAPTION, false, false}, // a system move needs a real mouse
      };
  for (const Step& step : steps) {
    win::SendMessage(h, win::WM_SYSCOMMAND, step.command, 0);
    EXPECT_EQ(IsIconic(h), step.iconic) << std::hex << step.command;
    EXPECT_EQ(IsZoomed(h), step.zoomed) << std::hex << step.command;
  }
  win::SendMessage(h, win::WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(win::IsWindow(h));
  EXPECT_EQ(w.Messages({win::WM_CLOSE, win::WM_DESTROY}),
            (std::vector<uint32_t>{win::WM_CLOSE, win::WM_DESTROY}));
}

TEST_F(ScreenWindowTest, OtherThreadsShowAndPlaceThroughTheWindowsThread) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP, {0, 0, 40, 40});
  std::atomic<int> step{0};
  std::atomic<bool> wasVisible{true};
  std::thread other([&] {
    wasVisible = ShowWindow(h, SW_SHOWNA);
    SetWindowPos(h, 0, 7, 8, 90, 60, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(h, nullptr, false);
    step = 1;
  });
  ASSERT_TRUE(PumpUntil([&] { return step == 1; }));
  other.join();
  EXPECT_FALSE(wasVisible);
  EXPECT_TRUE(IsWindowVisible(h));
  EXPECT_EQ(GetWindowRect(h), (gdi::Rect{7, 8, 97, 68}));
  EXPECT_EQ(GetWidget(h)->geometry(), QRect(7, 8, 90, 60));
}

TEST_F(ScreenWindowTest, AWindowOfAThreadWithoutWidgetsStillPaintsAndDraws) {
  std::atomic<bool> done{false};
  std::vector<uint32_t> messages;
  gdi::Colour seen = gdi::kInvalidColour;
  std::thread worker([&] {
    LogWindow w;
    w.handler = [&](Hwnd hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
      if (m != win::WM_PAINT)
        return std::nullopt;
      Paint p(hwnd);
      p.Dc().FillRect(p.Area(), gdi::Rgb(1, 2, 3));
      return 0;
    };
    Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 30, 20});
    if (h && !GetWidget(h)) {
      win::RunMessageLoopUntil([&] { return w.Count(win::WM_PAINT) > 0; }, 10000);
      seen = SurfaceOf(h)->Pixel(29, 19);
      messages = w.Messages({win::WM_SIZE, win::WM_MOVE, win::WM_SHOWWINDOW, win::WM_PAINT});
    }
    done = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(messages,
            (std::vector<uint32_t>{win::WM_SIZE, win::WM_MOVE, win::WM_SHOWWINDOW, win::WM_PAINT}));
  EXPECT_EQ(seen, gdi::Rgb(1, 2, 3));
}

} // namespace

// Painting screen windows: drawing from another thread between paints, what
// the screen then shows, nothing drawn while hidden or destroyed, the update
// area and WM_PAINT, and the dump switch.
#include "platform/ui/tests/support/screen_session.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <thread>

using namespace ui;
using namespace uitest;

namespace {

using ScreenPaintTest = ScreenTest;

const gdi::Colour kWhite = gdi::Rgb(255, 255, 255);

// What the offscreen platform put on its screen for the window.
QImage OnScreen(Hwnd h) {
  QWidget* w = GetWidget(h);
  return w->screen()->grabWindow(w->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

gdi::Colour ColourAt(const QImage& image, int x, int y) {
  const QRgb p = image.pixel(x, y);
  return gdi::Rgb(static_cast<uint8_t>(qRed(p)), static_cast<uint8_t>(qGreen(p)),
                  static_cast<uint8_t>(qBlue(p)));
}

// Number of pixels of the window's area on screen that differ from want.
int Mismatches(const QImage& shown, int width, int height,
               const std::function<gdi::Colour(int, int)>& want) {
  if (shown.width() < width || shown.height() < height)
    return width * height;
  int bad = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bad += ColourAt(shown, x, y) != want(x, y) ? 1 : 0;
  return bad;
}

// The wipe's bitmap: a colour per column and row that XOR turns white into.
gdi::Colour WipeColour(int x, int y) {
  return gdi::Rgb(static_cast<uint8_t>(x * 2), static_cast<uint8_t>(y * 3),
                  static_cast<uint8_t>(255 - x));
}

// A window that paints its whole update area white.
void PaintWhite(LogWindow& w) {
  w.handler = [](Hwnd hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m != win::WM_PAINT)
      return std::nullopt;
    Paint p(hwnd);
    p.Dc().FillRect(p.Area(), kWhite);
    return 0;
  };
}

TEST_F(ScreenPaintTest, DrawingFromAnotherThreadBetweenPaintsIsShownAfterTheNextUpdate) {
  constexpr int kWidth = 120;
  constexpr int kHeight = 60;
  constexpr int kBand = 40; // the thread wipes rows 0..kBand; the window paints the rest
  LogWindow w;
  PaintWhite(w);
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, kWidth, kHeight});
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(Settle(h));

  auto wipe = gdi::CreateBitmap(kWidth, kBand);
  {
    gdi::Dc mem = gdi::Dc::CreateMemory();
    mem.SelectBitmap(wipe);
    for (int y = 0; y < kBand; ++y)
      for (int x = 0; x < kWidth; ++x)
        mem.SetPixel(x, y, WipeColour(x, y));
  }

  // The wipe thread moves its edge a column at a time with an inverting
  // transfer, as the colour wipe does, while the window's own thread keeps
  // repainting the band below.
  std::atomic<bool> done{false};
  std::atomic<int> failed{0};
  std::thread wiper([&] {
    for (int x = 0; x < kWidth; ++x) {
      auto dc = GetDc(h);
      if (!dc) {
        ++failed;
        continue;
      }
      gdi::Dc mem = gdi::Dc::CreateMemory();
      mem.SelectBitmap(wipe);
      if (!dc->BitBlt(x, 0, 1, kBand, mem, x, 0, gdi::kSrcInvert))
        ++failed;
      std::this_thread::yield();
    }
    done = true;
  });
  int repaints = 0;
  ASSERT_TRUE(PumpUntil([&] {
    const gdi::Rect band{0, kBand, kWidth, kHeight};
    InvalidateRect(h, &band, false);
    ++repaints;
    // A slow window thread (a sanitizer run) may see the wiper finish before
    // its second paint; the pump goes on until both have happened.
    return done.load() && w.Count(win::WM_PAINT) > 1;
  }));
  wiper.join();
  EXPECT_EQ(failed, 0);
  EXPECT_GT(w.Count(win::WM_PAINT), 1u);

  auto want = [&](int x, int y) {
    return y < kBand ? (kWhite ^ WipeColour(x, y)) & 0xFFFFFF : kWhite;
  };
  // Every pixel reached the surface once, and reaches the screen with the
  // updates that follow.
  auto surface = SurfaceOf(h);
  int surfaceBad = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      surfaceBad += surface->Pixel(x, y) != want(x, y) ? 1 : 0;
  EXPECT_EQ(surfaceBad, 0);
  int bad = -1;
  EXPECT_TRUE(PumpUntil([&] {
    bad = Mismatches(OnScreen(h), kWidth, kHeight, want);
    return bad == 0;
  }));
  EXPECT_EQ(bad, 0) << "pixels the screen does not show";
}

TEST_F(ScreenPaintTest, NothingIsDrawnWhileHiddenAndNothingOnceDestroyed) {
  LogWindow w;
  PaintWhite(w);
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 40, 30});
  ASSERT_TRUE(Settle(h));
  auto surface = SurfaceOf(h);

  // A thread fills the window with a new colour again and again.
  std::atomic<bool> stop{false};
  std::atomic<int> drawn{0};
  std::atomic<int> refused{0};
  std::thread painter([&, dc = *GetDc(h)]() mutable {
    for (uint32_t k = 1; !stop; ++k) {
      if (dc.FillRect(gdi::Rect{0, 0, 40, 30}, gdi::Rgb(0, static_cast<uint8_t>(k), 9)))
        ++drawn;
      else
        ++refused;
      std::this_thread::yield();
    }
  });
  auto drawsMore = [&](std::atomic<int>& counter, int more) {
    const int target = counter + more;
    return PumpUntil([&] { return counter >= target; });
  };

  ASSERT_TRUE(drawsMore(drawn, 5));
  ShowWindow(h, SW_HIDE);
  const auto hidden = surface->CopyPixels();
  ASSERT_TRUE(drawsMore(drawn, 50));
  EXPECT_EQ(surface->CopyPixels(), hidden) << "drawn on while hidden";
  EXPECT_EQ(refused, 0); // drawing on a hidden window succeeds and shows nothing

  w.log.clear();
  ShowWindow(h, SW_SHOW);
  ASSERT_TRUE(PumpUntil([&] { return surface->CopyPixels() != hidden; }));
  ASSERT_TRUE(PumpUntil([&] { return w.Count(win::WM_PAINT) > 0; })); // repainted whole

  EXPECT_TRUE(win::DestroyWindow(h));
  const auto destroyed = surface->CopyPixels();
  ASSERT_TRUE(drawsMore(refused, 20));
  EXPECT_EQ(surface->CopyPixels(), destroyed) << "drawn on once destroyed";
  EXPECT_FALSE(GetDc(h));
  stop = true;
  painter.join();
}

TEST_F(ScreenPaintTest, AChildOfAHiddenParentDrawsNothingAndIsRepaintedWhenShown) {
  LogWindow parent, child;
  Hwnd p = Create(parent, kPlainClass, win::WS_POPUP, {0, 0, 100, 100});
  Hwnd c = Create(child, kPlainClass, win::WS_CHILD | win::WS_VISIBLE, {10, 10, 20, 20}, p);
  auto dc = GetDc(c);
  ASSERT_TRUE(dc);
  dc->FillRect(gdi::Rect{0, 0, 20, 20}, gdi::Rgb(200, 0, 0));
  EXPECT_NE(SurfaceOf(c)->Pixel(5, 5), gdi::Rgb(200, 0, 0));
  win::ProcessPendingMessages();
  EXPECT_EQ(child.Count(win::WM_PAINT), 0u);

  ShowWindow(p, SW_SHOW);
  ASSERT_TRUE(PumpUntil([&] { return child.Count(win::WM_PAINT) > 0; }));
  dc->FillRect(gdi::Rect{0, 0, 20, 20}, gdi::Rgb(200, 0, 0));
  EXPECT_EQ(SurfaceOf(c)->Pixel(5, 5), gdi::Rgb(200, 0, 0));
}

TEST_F(ScreenPaintTest, InvalidationsGatherIntoOnePaintWithTheirErase) {
  struct Case {
    const char* className;
    bool erase;
    bool erased; // the class background filled the area
  };
  const Case cases[] = {
      {kRedrawClass, true, true},
      {kPlainClass, true, false},
      {kRedrawClass, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.className) + (c.erase ? " erase" : " no erase"));
    LogWindow w;
    std::vector<gdi::Rect> areas;
    std::vector<bool> eraseNeeded;
    w.handler = [&](Hwnd hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
      if (m != win::WM_PAINT)
        return std::nullopt;
      Paint p(hwnd);
      areas.push_back(p.Area());
      eraseNeeded.push_back(p.EraseNeeded());
      return 0;
    };
    Hwnd h = Create(w, c.className, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 50, 40});
    ASSERT_TRUE(Settle(h));
    areas.clear();
    eraseNeeded.clear();
    w.log.clear();
    auto dc = GetDc(h);
    dc->FillRect(gdi::Rect{0, 0, 50, 40}, kWhite);

    const gdi::Rect a{5, 5, 10, 10}, b{20, 8, 30, 30}, outside{60, 60, 70, 70};
    InvalidateRect(h, &a, c.erase);
    InvalidateRect(h, &b, false);
    InvalidateRect(h, &outside, true); // nothing of it is in the window
    EXPECT_EQ(GetUpdateRect(h), (gdi::Rect{5, 5, 30, 30}));
    ASSERT_TRUE(Settle(h));
    EXPECT_EQ(areas, (std::vector<gdi::Rect>{{5, 5, 30, 30}}));
    EXPECT_EQ(w.Count(win::WM_ERASEBKGND), c.erase ? 1u : 0u);
    if (c.erase) {
      EXPECT_EQ(eraseNeeded, (std::vector<bool>{!c.erased}));
    }
    const gdi::Colour inside = SurfaceOf(h)->Pixel(29, 29);
    EXPECT_EQ(inside, c.erased ? kRedrawBackground : kWhite);
    EXPECT_EQ(SurfaceOf(h)->Pixel(31, 31), kWhite); // outside the paint area
    win::DestroyWindow(h);
  }
}

TEST_F(ScreenPaintTest, UpdateWindowPaintsAtOnceAndAHandlerThatDoesNotPaintStillValidates) {
  LogWindow w;
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 30, 30});
  int paints = 0;
  w.handler = [&](Hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m == win::WM_PAINT) {
      ++paints;
      return 0; // no Paint: the area is validated all the same
    }
    return std::nullopt;
  };
  EXPECT_TRUE(UpdateWindow(h));
  EXPECT_EQ(paints, 1);
  EXPECT_FALSE(GetUpdateRect(h));
  EXPECT_TRUE(UpdateWindow(h)); // nothing to paint
  EXPECT_EQ(paints, 1);
  win::ProcessPendingMessages();
  win::ProcessPendingMessages();
  EXPECT_EQ(paints, 1);

  const gdi::Rect r{0, 0, 5, 5};
  InvalidateRect(h, &r, false);
  EXPECT_TRUE(ValidateRect(h, nullptr));
  EXPECT_FALSE(GetUpdateRect(h));
  InvalidateRect(h, &r, false);
  const gdi::Rect part{0, 0, 2, 2};
  ValidateRect(h, &part); // the area is one rectangle: a part leaves it whole
  EXPECT_EQ(GetUpdateRect(h), r);
  const gdi::Rect cover{0, 0, 5, 5};
  ValidateRect(h, &cover);
  EXPECT_FALSE(GetUpdateRect(h));
}

TEST_F(ScreenPaintTest, SizingRepaintsTheNewPartsOrAllForRedrawClasses) {
  struct Case {
    const char* className;
    Placement to;
    gdi::Rect update;
  };
  const Case cases[] = {
      {kPlainClass, {0, 0, 60, 30}, {40, 0, 60, 30}}, // wider: the new columns
      {kPlainClass, {0, 0, 40, 50}, {0, 30, 40, 50}}, // taller: the new rows
      {kPlainClass, {0, 0, 30, 20}, {}},              // smaller: nothing
      {kPlainClass, {9, 9, 40, 30}, {}},              // moved: nothing
      {kRedrawClass, {0, 0, 60, 30}, {0, 0, 60, 30}}, // redraw class: everything
      {kRedrawClass, {0, 0, 30, 20}, {0, 0, 30, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.className) + " to " + std::to_string(c.to.width) + "x" +
                 std::to_string(c.to.height));
    LogWindow w;
    Hwnd h = Create(w, c.className, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 40, 30});
    ASSERT_TRUE(Settle(h));
    MoveWindow(h, c.to.x, c.to.y, c.to.width, c.to.height);
    EXPECT_EQ(GetUpdateRect(h).value_or(gdi::Rect{}), c.update);
    win::DestroyWindow(h);
  }
}

TEST_F(ScreenPaintTest, TheDumpSwitchWritesEachWindowsImage) {
  LogWindow w;
  gdi::Colour colour = gdi::Rgb(250, 0, 0);
  w.handler = [&](Hwnd hwnd, uint32_t m, WParam, LParam) -> std::optional<LResult> {
    if (m != win::WM_PAINT)
      return std::nullopt;
    Paint p(hwnd);
    p.Dc().FillRect(p.Area(), colour);
    return 0;
  };
  Hwnd h = Create(w, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 16, 12});
  ASSERT_TRUE(Settle(h));
  EXPECT_FALSE(DumpWindow(h)); // switch unset

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  setenv(gdi::kDumpDirVariable, dir.path().toLocal8Bit().constData(), 1);
  const QString file = dir.filePath(QString::fromStdString(DumpName(h)) + ".png");
  EXPECT_EQ(DumpName(h).rfind(std::string(kPlainClass) + "-", 0), 0u);
  auto dumped = [&](gdi::Colour c) {
    QImage image(file);
    return !image.isNull() && image.size() == QSize(16, 12) && ColourAt(image, 15, 11) == c;
  };
  // Two updates in quick succession: the last one lands too.
  InvalidateRect(h, nullptr, false);
  ASSERT_TRUE(Settle(h));
  colour = gdi::Rgb(0, 0, 250);
  InvalidateRect(h, nullptr, false);
  ASSERT_TRUE(Settle(h));
  EXPECT_TRUE(PumpUntil([&] { return dumped(gdi::Rgb(0, 0, 250)); }));
  EXPECT_TRUE(DumpWindow(h));
  unsetenv(gdi::kDumpDirVariable);
}

} // namespace

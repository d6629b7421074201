#include "platform/gdi/dc.h"
#include "platform/gdi/surface_qt.h"
#include "support/pixels.h"

#include <QImage>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

namespace gdi {
namespace {

const Colour W = Rgb(255, 255, 255);

Colour RowColour(int32_t y) {
  return Rgb(static_cast<uint8_t>(y * 3), 200, static_cast<uint8_t>(255 - y));
}

// A timer thread draws row after row on a window's surface while the window's
// own thread keeps copying the image out, as it would on each update.
TEST(Surface, DrawingFromAnotherThreadShowsEveryPixel) {
  constexpr int32_t kRows = 64;
  auto surface = Surface::Create(80, kRows + 20, W);
  std::atomic<int> turnedDirty{0};
  surface->SetDirtyCallback([&] { turnedDirty.fetch_add(1); });
  auto sprite = CreateBitmap(8, 1, Rgb(1, 2, 3));
  auto font = testing::MakeFont("DejaVu Sans", -10);
  ASSERT_TRUE(font);
  std::atomic<bool> go{false};

  auto done = std::async(std::launch::async, [surface, sprite, font, &go] {
    // Start once the owner copies, so that drawing and copying overlap.
    while (!go.load())
      std::this_thread::yield();
    Dc dc(surface);
    dc.SelectFont(font);
    dc.SetBkMode(kTransparent);
    Dc mem = Dc::CreateMemory();
    mem.SelectBitmap(sprite);
    dc.SelectPen(Pen{kPsSolid, 1, Rgb(9, 9, 9)});
    dc.SelectBrush(SolidBrush(Rgb(4, 5, 6)));
    for (int32_t y = 0; y < kRows; ++y) {
      dc.FillRect(Rect{0, y, 64, y + 1}, RowColour(y));
      dc.BitBlt(64, y, 8, 1, mem, 0, 0, kSrcCopy);
      dc.MoveTo(72, y);
      dc.LineTo(76, y);
      dc.Ellipse(76, y, 80, y + 1);
      dc.TextOut(0, kRows, "row");
    }
  });

  // Every copy shows whole operations in drawing order: the drawn rows are
  // a prefix, and a row's fill is never seen half done.
  int copies = 0;
  int partial = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  bool finished = false;
  while (!finished && std::chrono::steady_clock::now() < deadline) {
    finished = done.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
    std::optional<Rect> dirty;
    const QImage image = TakeImage(*surface, &dirty);
    ++copies;
    go = true;
    bool gap = false;
    for (int32_t y = 0; y < kRows; ++y) {
      const bool drawn = (image.pixel(0, y) & 0xFFFFFF) != 0xFFFFFF;
      if (drawn) {
        ASSERT_FALSE(gap) << "row " << y << " drawn after an undrawn one";
        ASSERT_EQ(image.pixel(63, y), image.pixel(0, y)) << "half a fill at row " << y;
      } else {
        gap = true;
      }
    }
    partial += gap && (image.pixel(0, 0) & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
  }
  ASSERT_TRUE(finished) << "the drawing thread did not finish in time";
  done.get();
  const auto px = surface->CopyPixels();
  for (int32_t y = 0; y < kRows; ++y) {
    for (int32_t x = 0; x < 64; ++x)
      ASSERT_EQ(px[y * 80 + x], RowColour(y)) << x << "," << y;
    for (int32_t x = 64; x < 72; ++x)
      ASSERT_EQ(px[y * 80 + x], Rgb(1, 2, 3)) << x << "," << y;
    for (int32_t x = 72; x < 76; ++x)
      ASSERT_EQ(px[y * 80 + x], Rgb(9, 9, 9)) << x << "," << y;
  }
  EXPECT_GE(copies, 1);
  RecordProperty("partial_copies", partial);
  // The owner heard of every turn from clean to dirty, at least the first.
  EXPECT_GE(turnedDirty.load(), 1);
  EXPECT_LE(turnedDirty.load(), copies + 1);
  surface->SetDirtyCallback(nullptr);
}

TEST(Surface, RemembersTheDrawnAreaUntilTaken) {
  auto s = Surface::Create(50, 50, W);
  int calls = 0;
  s->SetDirtyCallback([&] { ++calls; });
  EXPECT_FALSE(s->TakeDirty());
  Dc dc(s);
  dc.FillRect(Rect{10, 10, 20, 20}, 0);
  dc.FillRect(Rect{30, 5, 60, 8}, 0);
  EXPECT_EQ(calls, 1); // once, when it turned dirty
  EXPECT_EQ(s->TakeDirty(), (Rect{10, 5, 50, 20}));
  EXPECT_FALSE(s->IsDirty());
  dc.SetPixel(1, 1, 0);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(s->TakeDirty(), (Rect{1, 1, 2, 2}));
  // Drawing entirely outside the surface leaves it clean.
  dc.FillRect(Rect{60, 60, 70, 70}, 0);
  EXPECT_FALSE(s->TakeDirty());
}

TEST(Surface, NothingIsDrawnWhileHiddenAndNothingOnceClosed) {
  auto s = Surface::Create(20, 20, W);
  Dc dc(s);
  s->SetVisible(false);
  EXPECT_TRUE(dc.FillRect(Rect{0, 0, 20, 20}, 0));
  dc.MoveTo(0, 0);
  EXPECT_TRUE(dc.LineTo(19, 19));
  EXPECT_TRUE(dc.TextOut(0, 0, "hidden"));
  EXPECT_EQ(testing::CountPixels(*s, Rect{0, 0, 20, 20}, W), 400);
  EXPECT_FALSE(s->IsDirty());
  s->SetVisible(true);
  EXPECT_TRUE(dc.FillRect(Rect{0, 0, 1, 1}, 0));
  EXPECT_EQ(s->Pixel(0, 0), 0u);
  s->Close();
  EXPECT_FALSE(dc.IsValid());
  EXPECT_FALSE(dc.FillRect(Rect{0, 0, 20, 20}, 0));
  EXPECT_FALSE(dc.TextOut(0, 0, "closed"));
  auto other = Surface::Create(20, 20, 0);
  Dc od(other);
  EXPECT_FALSE(od.BitBlt(0, 0, 5, 5, *s, 0, 0, kSrcCopy)); // a closed source too
  EXPECT_EQ(testing::CountPixels(*s, Rect{0, 0, 20, 20}, W), 399);
}

TEST(Surface, SizeBoundsResizeAndCopies) {
  EXPECT_FALSE(Surface::Create(0, 10));
  EXPECT_FALSE(Surface::Create(10, -1));
  EXPECT_FALSE(Surface::Create(kMaxSurfaceSide + 1, 1));
  EXPECT_FALSE(Surface::Create(kMaxSurfaceSide, kMaxSurfaceSide));
  EXPECT_FALSE(Surface::FromDib(DibView{}));
  auto s = Surface::Create(4, 4, W);
  Dc dc(s);
  dc.SetPixel(3, 3, Rgb(1, 1, 1));
  ASSERT_TRUE(s->Resize(6, 2, Rgb(7, 7, 7)));
  EXPECT_EQ(s->Dimensions(), (Size{6, 2}));
  EXPECT_EQ(s->Pixel(3, 1), W);
  EXPECT_EQ(s->Pixel(5, 0), Rgb(7, 7, 7));
  EXPECT_EQ(s->Pixel(6, 0), kInvalidColour);
  EXPECT_EQ(s->TakeDirty(), (Rect{0, 0, 6, 2}));
  const auto part = s->CopyPixels(Rect{4, 1, 7, 2});
  EXPECT_EQ(part, (std::vector<Colour>{Rgb(7, 7, 7), Rgb(7, 7, 7), kInvalidColour}));
  const QImage image = CopyImage(*s);
  EXPECT_EQ(image.size(), QSize(6, 2));
  EXPECT_EQ(image.pixel(5, 1) & 0xFFFFFF, 0x070707u);
  EXPECT_EQ(image.dotsPerMeterX(), 3780);
}

TEST(Surface, DumpSwitchWritesThePngOfTheCurrentImage) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      ("gdi-dump-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
       std::to_string(reinterpret_cast<uintptr_t>(&dir)));
  auto s = Surface::Create(5, 3, Rgb(10, 20, 30));
  Dc(s).SetPixel(4, 2, Rgb(200, 100, 50));
  unsetenv(kDumpDirVariable);
  EXPECT_FALSE(s->DumpIfEnabled("lyric"));
  setenv(kDumpDirVariable, dir.c_str(), 1);
  EXPECT_TRUE(s->DumpIfEnabled("KIVO32Word/0001"));
  unsetenv(kDumpDirVariable);
  const std::filesystem::path file = dir / "KIVO32Word_0001.png";
  ASSERT_TRUE(std::filesystem::exists(file));
  QImage image(QString::fromStdString(file.string()));
  ASSERT_EQ(image.size(), QSize(5, 3));
  EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0x0A141Eu);
  EXPECT_EQ(image.pixel(4, 2) & 0xFFFFFF, 0xC86432u);
  std::filesystem::remove_all(dir);
}

} // namespace
} // namespace gdi

namespace gdi {
namespace {

TEST(Surface, WithoutAnApplicationShapesDrawAndTextFailsCleanly) {
  const std::string command = std::string(VEXO_TESTS_DIR) + "/gdi_no_app";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

} // namespace
} // namespace gdi

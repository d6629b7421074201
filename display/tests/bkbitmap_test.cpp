// The default background: the file beside the program with its palette, or
// bitmap 169 of the resource module, drawn in tiles lined up on an origin.
#include "display/bkbitmap.h"

#include "display/resources.h"
#include "display/tests/support/session.h"
#include "display/tests/support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using displaytest::TempFolder;

// A 3 x 2 bitmap whose pixel (x, y) from the top has colour Tone(x, y).
gdi::Colour Tone(int x, int y) {
  return gdi::Rgb(static_cast<uint8_t>(40 * x + 1), static_cast<uint8_t>(90 * y + 2), 7);
}

std::string BmpFile(int bits) {
  auto dib = gdi::Dib::Create(3, 2, bits);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      uint8_t* row = dib->RowFromTop(y);
      const gdi::Colour c = Tone(x, y);
      if (bits == 8) {
        dib->Colours()[y * 3 + x] = gdi::QuadOf(c);
        row[x] = static_cast<uint8_t>(y * 3 + x);
      } else {
        row[3 * x] = gdi::BlueOf(c), row[3 * x + 1] = gdi::GreenOf(c),
                row[3 * x + 2] = gdi::RedOf(c);
      }
    }
  const auto bytes = dib->ToBmpFile();
  return std::string(bytes.begin(), bytes.end());
}

TEST(BackgroundBitmap, TakesTheFileOrBitmap169) {
  displaytest::StartSession();
  TempFolder folder;
  std::string rle = BmpFile(8);
  rle[30] = 1; // compression RLE8
  const struct {
    const char* what;
    std::string file; // empty: no file
    bool fromFile;
    size_t palette;
  } cases[] = {
      {"8 bits", BmpFile(8), true, 256},
      {"24 bits", BmpFile(24), true, 0},
      {"RLE8", rle, false, 0},
      {"under 54 bytes", BmpFile(24).substr(0, 53), false, 0},
      {"pixels cut short", BmpFile(24).substr(0, BmpFile(24).size() - 1), false, 0},
      {"missing", "", false, 0},
  };
  auto resource = display::LoadResourceFile("bitmaps/169.bmp");
  ASSERT_TRUE(resource);
  auto tile169 = gdi::Dib::FromBmpFile(*resource);
  ASSERT_TRUE(tile169);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path =
        c.file.empty() ? folder / "missing.bmp" : folder.Write("bkimage.bmp", c.file);
    display::BackgroundBitmap background;
    ASSERT_TRUE(background.Load(path));
    const auto& bitmap = *background.Bitmap();
    EXPECT_EQ(background.Palette() ? background.Palette()->Size() : 0, c.palette);
    if (c.fromFile) {
      ASSERT_EQ(bitmap.Width(), 3);
      ASSERT_EQ(bitmap.Height(), 2);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
          EXPECT_EQ(bitmap.Pixel(x, y), Tone(x, y)) << x << "," << y;
    } else {
      ASSERT_EQ(bitmap.Width(), tile169->Width());
      EXPECT_EQ(bitmap.Pixel(5, 9), tile169->PixelColour(5, 9));
    }
  }
}

TEST(BackgroundBitmap, TilesLineUpOnTheOriginAndStayInTheRectangle) {
  displaytest::StartSession();
  TempFolder folder;
  display::BackgroundBitmap background;
  ASSERT_TRUE(background.Load(folder.Write("bkimage.bmp", BmpFile(24))));
  const gdi::Colour outside = gdi::Rgb(200, 0, 200);
  auto surface = gdi::Surface::Create(12, 9, outside);
  gdi::Dc dc(surface);
  // A rectangle away from the origin: its first tile is cut on both sides.
  const gdi::Rect rect{4, 3, 11, 8};
  ASSERT_TRUE(background.DrawTiled(dc, rect, gdi::Point{-1, 0}));
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) {
      const gdi::Colour want = rect.Contains(gdi::Point{x, y}) ? Tone((x + 1) % 3, y % 2) : outside;
      EXPECT_EQ(surface->Pixel(x, y), want) << x << "," << y;
    }
}

} // namespace

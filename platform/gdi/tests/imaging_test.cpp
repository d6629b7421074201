#include "platform/gdi/imaging.h"

#include "platform/sys/tempdir.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>

namespace gdi {
namespace {

// A smooth picture with thousands of colours, as a photograph has.
QImage Gradient(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      image.setPixel(x, y, qRgb(x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2)));
  return image;
}

// A picture of exactly n colours in vertical bands.
QImage Bands(int w, int h, int n) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int i = x * n / w;
      image.setPixel(x, y, qRgb(i * 37 % 256, 255 - i * 11, i * 5));
    }
  return image;
}

std::string Saved(const QImage& image, const std::string& name, const char* format = nullptr) {
  const std::string path = sys::TempPath(name);
  EXPECT_TRUE(image.save(QString::fromStdString(path), format)) << name;
  return path;
}

std::set<Colour> ColoursOf(const Dib& dib) {
  std::set<Colour> seen;
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < dib.Width(); ++x)
      seen.insert(dib.PixelColour(x, y));
  return seen;
}

TEST(Imaging, FileInformationGivesTheDepthOfALoadAtTheFilesOwn) {
  QImage alpha = Gradient(40, 30).convertToFormat(QImage::Format_ARGB32);
  alpha.setPixel(0, 0, qRgba(1, 2, 3, 100));
  const std::string garbage = sys::TempPath("garbage.png");
  std::ofstream(garbage) << "not a picture at all";
  const struct {
    const char* what;
    std::string path;
    int bits; // 0: no information
  } cases[] = {
      {"JPEG", Saved(Gradient(40, 30), "a.jpg"), 24},
      {"grey JPEG", Saved(Gradient(40, 30).convertToFormat(QImage::Format_Grayscale8), "g.jpg"), 8},
      {"PNG", Saved(Gradient(40, 30), "a.png"), 24},
      {"PNG with alpha", Saved(alpha, "alpha.png"), 32},
      {"8-bit BMP", Saved(Bands(40, 30, 7).convertToFormat(QImage::Format_Indexed8), "i.bmp"), 8},
      {"1-bit BMP", Saved(Bands(40, 30, 2).convertToFormat(QImage::Format_Mono), "m.bmp"), 1},
      {"no picture", garbage, 0},
      {"missing", sys::TempPath("missing.png"), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto info = imaging::GetFileInfo(c.path);
    ASSERT_EQ(info.has_value(), c.bits != 0);
    if (!info)
      continue;
    EXPECT_EQ(info->bitsPerPixel, c.bits);
    EXPECT_EQ(info->width, 40);
    EXPECT_EQ(info->height, 30);
    auto dib = imaging::LoadBitmap(c.path);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->BitCount(), c.bits);
  }
}

TEST(Imaging, LoadsAtFewerBitsWithExactOrDitheredColours) {
  const QImage gradient = Gradient(64, 48), bands = Bands(64, 48, 12);
  const std::string photo = Saved(gradient, "photo.png"), few = Saved(bands, "few.png");
  const struct {
    const char* what;
    std::string path;
    const QImage* source;
    int bits;
    bool exact; // every pixel keeps its colour
  } cases[] = {
      {"many colours at 8 bits", photo, &gradient, 8, false},
      {"many colours at 4 bits", photo, &gradient, 4, false},
      {"12 colours at 8 bits", few, &bands, 8, true},
      {"12 colours at 4 bits", few, &bands, 4, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto dib = imaging::LoadBitmap(c.path, c.bits);
    ASSERT_TRUE(dib);
    ASSERT_EQ(dib->BitCount(), c.bits);
    EXPECT_LE(dib->Colours().size(), size_t{1} << c.bits);
    ASSERT_EQ(dib->Width(), 64);
    // Dithering keeps the average colour of each small area, where nearest
    // colours alone would shift it by up to half a step between colours;
    // exact tables keep every pixel.
    int wrong = 0;
    double blockError = 0;
    for (int by = 0; by < 48; by += 8)
      for (int bx = 0; bx < 64; bx += 8) {
        int sum[3] = {0, 0, 0};
        for (int y = by; y < by + 8; ++y)
          for (int x = bx; x < bx + 8; ++x) {
            const QRgb want = c.source->pixel(x, y);
            const Colour got = dib->PixelColour(x, y);
            wrong += got != Rgb(qRed(want), qGreen(want), qBlue(want));
            sum[0] += RedOf(got) - qRed(want);
            sum[1] += GreenOf(got) - qGreen(want);
            sum[2] += BlueOf(got) - qBlue(want);
          }
        for (int e : sum)
          blockError += std::abs(e) / 64.0;
      }
    blockError /= 3 * 8 * 6;
    if (c.exact) {
      EXPECT_EQ(wrong, 0);
    } else {
      EXPECT_GT(wrong, 0);
      EXPECT_LT(blockError, c.bits == 8 ? 3.0 : 8.0);
    }
  }
  EXPECT_FALSE(imaging::LoadBitmap(photo, 16));
}

TEST(Imaging, FourBitsUseTheSixteenScreenColours) {
  auto dib = imaging::LoadBitmap(Saved(Gradient(50, 50), "sixteen.png"), 4);
  ASSERT_TRUE(dib);
  const std::set<Colour> sixteen = {
      Rgb(0, 0, 0),       Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
      Rgb(0, 0, 128),     Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(192, 192, 192),
      Rgb(128, 128, 128), Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(255, 255, 0),
      Rgb(0, 0, 255),     Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255)};
  const std::set<Colour> used = ColoursOf(*dib);
  EXPECT_GT(used.size(), 4u);
  for (Colour c : used)
    EXPECT_TRUE(sixteen.count(c)) << std::hex << c;
}

TEST(Imaging, RegisteredReadersTakeTheirExtensionInAnyCase) {
  const std::string path = sys::TempPath("picture.PCX");
  std::ofstream(path) << "bytes Qt cannot read";
  int calls = 0;
  imaging::RegisterReader("pcx", [&](std::span<const uint8_t> file, Dib& out) {
    ++calls;
    if (file.size() != 20)
      return false;
    out = *Dib::Create(3, 2, 1);
    out.Colours()[1] = QuadOf(Rgb(255, 255, 255));
    out.RowFromTop(1)[0] = 0xA0; // pixels 0 and 2 of the bottom row
    return true;
  });
  auto info = imaging::GetFileInfo(path);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->bitsPerPixel, 1);
  auto dib = imaging::LoadBitmap(path, 8);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->BitCount(), 1); // already no deeper than asked
  EXPECT_EQ(dib->PixelColour(2, 1), Rgb(255, 255, 255));
  EXPECT_EQ(dib->PixelColour(1, 1), Rgb(0, 0, 0));
  EXPECT_EQ(calls, 2);

  imaging::RegisterReader("pcx", {});
  EXPECT_FALSE(imaging::LoadBitmap(path));
  EXPECT_EQ(calls, 2);
}

TEST(Imaging, PalettesComeFromTheColourTableWithFlagsZero) {
  auto eight = Dib::Create(2, 2, 8);
  eight->Colours().resize(3);
  eight->Colours()[2] = RgbQuad{30, 20, 10, 0x77};
  auto palette = imaging::PaletteFromBitmap(*eight);
  ASSERT_TRUE(palette);
  ASSERT_EQ(palette->Size(), 3u);
  EXPECT_EQ(palette->Entries(2, 1)[0], (PaletteEntry{10, 20, 30, 0}));
  EXPECT_FALSE(imaging::PaletteFromBitmap(*Dib::Create(2, 2, 24)));
}

TEST(Imaging, PaintsAPartOfTheBitmapStretchedWithTheRasterOperation) {
  // A 2 x 2 bitmap: red, green over blue, white.
  auto dib = Dib::Create(2, 2, 24);
  auto put = [&](int x, int y, Colour c) {
    uint8_t* p = dib->RowFromTop(y) + 3 * x;
    p[0] = BlueOf(c), p[1] = GreenOf(c), p[2] = RedOf(c);
  };
  const Colour R = Rgb(255, 0, 0), G = Rgb(0, 255, 0), B = Rgb(0, 0, 255), W = Rgb(255, 255, 255);
  put(0, 0, R), put(1, 0, G), put(0, 1, B), put(1, 1, W);
  auto surface = Surface::Create(6, 4, Rgb(9, 9, 9));
  Dc dc(surface);
  // The right column, doubled, into columns 1..2, rows 0..3.
  ASSERT_TRUE(imaging::PaintBitmap(dc, *dib, Rect{1, 0, 3, 4}, Rect{1, 0, 2, 2}));
  // The whole bitmap inverted into columns 4..5, rows 0..1.
  ASSERT_TRUE(imaging::PaintBitmap(dc, *dib, Rect{4, 0, 6, 2}, std::nullopt, kNotSrcCopy));
  const Colour K = Rgb(9, 9, 9);
  const Colour want[4][6] = {
      {K, G, G, K, Rgb(0, 255, 255), Rgb(255, 0, 255)},
      {K, G, G, K, Rgb(255, 255, 0), Rgb(0, 0, 0)},
      {K, W, W, K, K, K},
      {K, W, W, K, K, K},
  };
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(surface->Pixel(x, y), want[y][x]) << x << "," << y;
}

} // namespace
} // namespace gdi

#include "display/stills/bmp.h"
#include "display/stills/gif.h"
#include "display/stills/result.h"
#include "display/stills/tests/support/still_bytes.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <random>

namespace {

using stills::test::Bytes;

// The same bytes read by Qt's image readers, for pixels to compare against.
QImage QtRead(const std::vector<uint8_t>& file, const char* format) {
  QByteArray bytes(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer, format);
  return reader.read();
}

void ExpectSamePixels(const gdi::Dib& dib, const QImage& image, const char* what) {
  ASSERT_FALSE(image.isNull()) << what;
  ASSERT_EQ(image.width(), dib.Width()) << what;
  ASSERT_EQ(image.height(), dib.Height()) << what;
  int wrong = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb q = image.pixel(x, y);
      if (dib.PixelColour(x, y) != gdi::Rgb(qRed(q), qGreen(q), qBlue(q)) && wrong++ < 5)
        ADD_FAILURE() << what << ": pixel " << x << "," << y;
    }
  EXPECT_EQ(wrong, 0) << what;
}

std::vector<uint8_t> GifOf(const std::vector<uint8_t>& pixels, int width, int height, int tableBits,
                           bool interlaced) {
  std::vector<uint8_t> order = pixels;
  if (interlaced) {
    order.clear();
    for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
      for (int y = start; y < height; y += step)
        order.insert(order.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
  }
  const int minCodeSize = std::max(2, tableBits + 1);
  Bytes f = stills::test::GifHead(
      "GIF89a", static_cast<uint16_t>(width), static_cast<uint16_t>(height), tableBits, 0, {},
      stills::test::GifFrame{0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                             static_cast<uint8_t>(interlaced ? 0x40 : 0)});
  f.U8(static_cast<uint8_t>(minCodeSize));
  auto data = stills::test::PackCodes(stills::test::EncodeLzw(order, minCodeSize));
  f.b.insert(f.b.end(), data.begin(), data.end());
  f.U8(0x3B);
  return f.b;
}

TEST(StillsAgainstQt, GifPixelsMatch) {
  std::mt19937 rng(3);
  const struct {
    const char* what;
    int width, height, tableBits;
    bool interlaced;
  } cases[] = {
      {"2 colours", 33, 17, 0, false},
      {"16 colours, table filled", 128, 128, 3, false},
      {"256 colours interlaced", 61, 29, 7, true},
      {"4 colours interlaced", 10, 13, 1, true},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> pixels(static_cast<size_t>(c.width) * c.height);
    const int colours = 2 << c.tableBits;
    for (uint8_t& p : pixels)
      p = static_cast<uint8_t>(rng() % colours);
    const auto file = GifOf(pixels, c.width, c.height, c.tableBits, c.interlaced);
    gdi::Dib dib;
    ASSERT_EQ(stills::DecodeGif(file, dib), stills::kDecoded) << c.what;
    ExpectSamePixels(dib, QtRead(file, "gif"), c.what);
  }
}

// Qt leaves the pixels a delta or a short row skips undefined, so these
// fixtures write every pixel.
TEST(StillsAgainstQt, RunLengthBmpPixelsMatch) {
  auto bmp = [](int32_t w, int32_t h, uint16_t bits, uint32_t compression,
                std::initializer_list<uint8_t> pixels) {
    const uint32_t colours = 1u << bits;
    Bytes f = stills::test::BmpHeaders(w, h, bits, compression, colours);
    for (uint32_t i = 0; i < colours; ++i)
      f.Raw(
          {static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i), 0});
    f.Raw(pixels);
    return f.b;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"RLE8", bmp(6, 2, 8, 1, {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 2, 7, 0, 4, 9, 8, 7, 6, 0, 1})},
      {"RLE4", bmp(6, 2, 4, 2, {6, 0x12, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 1, 0x60, 0, 1})},
  };
  for (const auto& c : cases) {
    gdi::Dib dib;
    ASSERT_EQ(stills::DecodeBmp(c.file, dib), stills::kDecoded) << c.what;
    ExpectSamePixels(dib, QtRead(c.file, "bmp"), c.what);
  }
}

} // namespace

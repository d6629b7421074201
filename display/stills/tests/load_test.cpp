#include "display/stills/load.h"

#include "display/stills/result.h"
#include "display/stills/tests/support/still_bytes.h"
#include "platform/sys/tempdir.h"

#include <gtest/gtest.h>

#include <QImage>

#include <fstream>

namespace {

using stills::test::Bytes;

std::string Written(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = sys::TempPath(name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string Jpeg(const std::string& name) {
  QImage image(64, 48, QImage::Format_RGB32);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      image.setPixel(x, y, qRgb(x * 4, y * 5, 255 - x * 2));
  const std::string path = sys::TempPath(name);
  EXPECT_TRUE(image.save(QString::fromStdString(path), "JPG"));
  return path;
}

std::vector<uint8_t> Bmp24() {
  Bytes f = stills::test::BmpHeaders(8, 2, 24, 0, 0);
  for (int i = 0; i < 48; ++i)
    f.U8(static_cast<uint8_t>(i * 5));
  return f.b;
}

std::vector<uint8_t> Gif256() {
  std::vector<uint8_t> pixels(16 * 4);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(i * 3);
  Bytes f =
      stills::test::GifHead("GIF89a", 16, 4, 7, 0, {}, stills::test::GifFrame{0, 0, 16, 4, 0});
  f.U8(8);
  auto data = stills::test::PackCodes(stills::test::EncodeLzw(pixels, 8));
  f.b.insert(f.b.end(), data.begin(), data.end());
  f.U8(0x3B);
  return f.b;
}

std::vector<uint8_t> Pcx256() {
  Bytes f = stills::test::PcxHeader(4, 2, 8, 1, 4);
  f.Raw({1, 2, 3, 4, 5, 6, 7, 8}).U8(0x0C);
  for (int i = 0; i < 256; ++i)
    f.Raw({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 40});
  return f.b;
}

TEST(StillLoad, EachNameGoesToItsDecoderAtADepthTheScreenShows) {
  const std::string bmpAsGif = Written("really-a-bmp.GIF", Bmp24());
  const std::string gif = Written("colours.gif", Gif256());
  const std::string jpeg = Jpeg("photo.jpg");
  const std::string pcx = Written("picture.pcx", Pcx256());
  auto shortGif = Gif256();
  shortGif.resize(53);
  const std::string jpegAsGif = Written("photo-named.gif", [&] {
    std::ifstream in(jpeg, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }());
  const struct {
    const char* what;
    std::string path;
    int screen;
    int result;
    int bits = 0;
    bool own = false;
    size_t palette = 0; // entries; 0 for none
  } cases[] = {
      {"24-bit BMP named .gif, 8-bit screen", bmpAsGif, 8, stills::kUnsupported},
      {"24-bit BMP named .gif, 32-bit screen", bmpAsGif, 32, 1, 24, true, 0},
      {"24-bit BMP named .gif, 16-bit screen", bmpAsGif, 16, 1, 24, true, 0},
      {"24-bit BMP named .gif, 4-bit screen", bmpAsGif, 4, 1, 24, true, 0},
      {"8-bit GIF, 8-bit screen", gif, 8, 1, 8, true, 256},
      {"24-bit JPEG, 8-bit screen", jpeg, 8, 1, 8, false, 256},
      {"24-bit JPEG, 4-bit screen", jpeg, 4, 1, 4, false, 16},
      {"24-bit JPEG, 16-bit screen", jpeg, 16, 1, 24, false, 0},
      {"24-bit JPEG, 32-bit screen", jpeg, 32, 1, 24, false, 0},
      {"8-bit PCX through the imaging library", pcx, 32, 1, 8, false, 256},
      {"8-bit PCX, 4-bit screen", pcx, 4, 1, 4, false, 8},
      {"GIF under 54 bytes", Written("short.gif", shortGif), 32, stills::kNotThisFormat},
      {"JPEG named .gif", jpegAsGif, 32, stills::kNotThisFormat},
      {"missing .gif", sys::TempPath("missing.gif"), 32, 0},
      {"missing .jpg", sys::TempPath("missing.jpg"), 32, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    stills::LoadedStill still;
    ASSERT_EQ(stills::LoadStill(c.path, c.screen, still), c.result);
    if (c.result != stills::kDecoded)
      continue;
    EXPECT_EQ(still.dib.BitCount(), c.bits);
    EXPECT_EQ(still.own, c.own);
    EXPECT_EQ(still.palette ? still.palette->Size() : 0, c.palette);
  }
}

TEST(StillLoad, TheImagingLibraryIsAskedForTheScreensDepth) {
  using D = stills::ImagingDepth;
  const struct {
    int file, screen;
    D want;
  } cases[] = {
      {24, 32, D{}}, {24, 16, D{}},    {32, 16, D{}},   {24, 8, D{8, 0}}, {8, 8, D{}},
      {1, 8, D{}},   {24, 4, D{0, 4}}, {8, 4, D{0, 4}}, {4, 4, D{}},      {8, 1, D{0, 4}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(stills::ImagingDepthFor(c.file, c.screen), c.want) << c.file << " on " << c.screen;
}

TEST(StillLoad, OneBitImagesShowInBlackAndWhite) {
  // A table of two greens, pixels 0 1 1 0; trailers bring it to 54 bytes.
  Bytes f = stills::test::GifHead("GIF89a", 4, 1, 0, 0, {}, stills::test::GifFrame{0, 0, 4, 1, 0});
  f.U8(2);
  auto data = stills::test::PackCodes(stills::test::EncodeLzw({0, 1, 1, 0}, 2));
  f.b.insert(f.b.end(), data.begin(), data.end());
  f.Fill(20, 0x3B);
  stills::LoadedStill still;
  ASSERT_EQ(stills::LoadStill(Written("two.gif", f.b), 32, still), stills::kDecoded);
  ASSERT_EQ(still.dib.BitCount(), 1);
  const gdi::Colour K = gdi::Rgb(0, 0, 0), W = gdi::Rgb(255, 255, 255);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(still.dib.PixelColour(x, 0), (x == 1 || x == 2) ? W : K) << x;
  ASSERT_TRUE(still.palette);
  EXPECT_EQ(still.palette->Entries(0, 2),
            (std::vector<gdi::PaletteEntry>{{0, 0, 0, 0}, {255, 255, 255, 0}}));
}

} // namespace

// bench-stills: a 1920 x 1080 picture of 256 colours (the default background
// tiled) as a GIF and as an RLE8 BMP, each decoded by the display's own
// decoders and by Qt's image readers in the same run; and the time from a
// request to a 1920 x 1080 JPEG shown (loaded, laid out and painted) when
// the still-image engine loads it at once.
//   bench-stills [rounds]
#include "display/imageengine.h"
#include "display/stills/bmp.h"
#include "display/stills/gif.h"
#include "display/stills/result.h"
#include "display/stills/tests/support/still_bytes.h"
#include "platform/sys/tempdir.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1920, kHeight = 1080;

// Palette indexes row by row from the top: the default background beside
// the programs in tiles, or stripes when it is missing.
std::vector<uint8_t> Picture() {
  std::ifstream in(std::string(VEXO_BIN_DIR) + "/bkimage.bmp", std::ios::binary);
  const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  gdi::Dib tile;
  const bool ok = stills::DecodeBmp(file, tile) == stills::kDecoded && tile.BitCount() == 8;
  if (!ok)
    std::fprintf(stderr, "bench-stills: no bkimage.bmp in %s, using stripes\n", VEXO_BIN_DIR);
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      pixels[static_cast<size_t>(y) * kWidth + x] =
          ok ? tile.RowFromTop(y % tile.Height())[x % tile.Width()]
             : static_cast<uint8_t>((x / 7 + y / 5) & 0xFF);
  return pixels;
}

std::vector<uint8_t> Gif(const std::vector<uint8_t>& pixels) {
  stills::test::Bytes f = stills::test::GifHead("GIF89a", kWidth, kHeight, 7, 0, {},
                                                stills::test::GifFrame{0, 0, kWidth, kHeight, 0});
  f.U8(8);
  const auto data = stills::test::PackCodes(stills::test::EncodeLzw(pixels, 8));
  f.b.insert(f.b.end(), data.begin(), data.end());
  f.U8(0x3B);
  return f.b;
}

// Runs of equal pixels coded as runs, other stretches of three or more as
// absolute runs, each row ended by an end-of-line code.
std::vector<uint8_t> Rle8Bmp(const std::vector<uint8_t>& pixels) {
  stills::test::Bytes f = stills::test::BmpHeaders(kWidth, kHeight, 8, 1, 256);
  for (int i = 0; i < 256; ++i)
    f.Raw({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7, 0});
  for (int y = kHeight - 1; y >= 0; --y) {
    const uint8_t* row = &pixels[static_cast<size_t>(y) * kWidth];
    int x = 0;
    while (x < kWidth) {
      int run = 1;
      while (x + run < kWidth && run < 255 && row[x + run] == row[x])
        ++run;
      if (run >= 2) {
        f.U8(static_cast<uint8_t>(run)).U8(row[x]);
        x += run;
        continue;
      }
      // A stretch up to the next pair of equal pixels.
      int n = 1;
      while (x + n < kWidth && n < 255 && !(x + n + 1 < kWidth && row[x + n] == row[x + n + 1]))
        ++n;
      if (n < 3) {
        for (int i = 0; i < n; ++i)
          f.U8(1).U8(row[x + i]);
      } else {
        f.U8(0).U8(static_cast<uint8_t>(n));
        f.b.insert(f.b.end(), row + x, row + x + n);
        if (n & 1)
          f.U8(0);
      }
      x += n;
    }
    f.U8(0).U8(0);
  }
  f.U8(0).U8(1);
  return f.b;
}

double MedianMs(int rounds, const std::function<void()>& work) {
  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    work();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

QImage QtRead(const std::vector<uint8_t>& file, const char* format) {
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()),
                                             static_cast<qsizetype>(file.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  return reader.read();
}

} // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::vector<uint8_t> pixels = Picture();
  struct Input {
    const char* name;
    const char* qtFormat;
    std::vector<uint8_t> file;
    int (*decode)(std::span<const uint8_t>, gdi::Dib&);
  } inputs[] = {
      {"gif", "gif", Gif(pixels), stills::DecodeGif},
      {"rle8", "bmp", Rle8Bmp(pixels), stills::DecodeBmp},
  };
  bool ok = true;
  std::vector<std::string> figures;
  double worstRatio = 0;
  for (const Input& in : inputs) {
    gdi::Dib dib;
    const double own = MedianMs(rounds, [&] { ok &= in.decode(in.file, dib) == stills::kDecoded; });
    QImage image;
    const double qt = MedianMs(rounds, [&] { image = QtRead(in.file, in.qtFormat); });
    ok &= !image.isNull() && dib.Width() == kWidth && dib.Height() == kHeight;
    // Both read the same pixels (spot checks along a diagonal).
    for (int i = 0; ok && i < 1000; ++i) {
      const int x = i * (kWidth - 1) / 999, y = i * (kHeight - 1) / 999;
      const QRgb q = image.pixel(x, y);
      ok &= dib.PixelColour(x, y) == gdi::Rgb(qRed(q), qGreen(q), qBlue(q));
    }
    const double ratio = own / qt;
    worstRatio = std::max(worstRatio, ratio);
    std::printf("%-5s %8zu bytes  own %8.2f ms  Qt %8.2f ms  own/Qt %.2f\n", in.name,
                in.file.size(), own, qt, ratio);
    char line[160];
    std::snprintf(line, sizeof line, "stills_%s_own_1080p: %.2f ms", in.name, own);
    figures.push_back(line);
    std::snprintf(line, sizeof line, "stills_%s_qt_1080p: %.2f ms", in.name, qt);
    figures.push_back(line);
    std::snprintf(line, sizeof line, "stills_%s_own_over_qt: %.2f x", in.name, ratio);
    figures.push_back(line);
  }
  // A photograph-like JPEG: the picture's colours with a gradient over them.
  QImage photo(kWidth, kHeight, QImage::Format_RGB32);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t i = pixels[static_cast<size_t>(y) * kWidth + x];
      photo.setPixel(x, y, qRgb(i, (x * 255) / kWidth, (y * 255) / kHeight));
    }
  const std::string jpeg = sys::TempPath("photo.jpg");
  ok &= photo.save(QString::fromStdString(jpeg), "JPG", 90);
  display::BackgroundImageEngine engine(sys::TempPath("config.ini"));
  engine.SetClientRect(gdi::Rect{0, 0, kWidth, kHeight});
  auto screen = gdi::Surface::Create(kWidth, kHeight);
  gdi::Dc dc(screen);
  const double shown = MedianMs(rounds, [&] {
    engine.NextImagePath() = jpeg;
    ok &= engine.LoadNextImageNow(0, true);
    engine.Paint(dc, gdi::Rect{0, 0, kWidth, kHeight});
  });
  std::printf("jpeg  request to shown, loaded at once: %8.2f ms\n", shown);
  char shownLine[160];
  std::snprintf(shownLine, sizeof shownLine, "stills_jpeg_1080p_request_to_shown_sync: %.2f ms",
                shown);
  figures.push_back(shownLine);
  if (!ok)
    std::fprintf(stderr, "bench-stills: a decoder failed or the two disagree\n");
  std::printf("goal: own decoders no slower than 1.5 x Qt's: %s\n",
              worstRatio <= 1.5 ? "met" : "missed");
  for (const std::string& f : figures)
    std::printf("%s\n", f.c_str());
  std::printf("stills_own_over_qt_worst: %.2f x\n", worstRatio);
  return ok ? 0 : 1;
}

// bench-stills: a 1920 x 1080 picture of 256 colours (the default background
// tiled) as a GIF and as an RLE8 BMP, each decoded by the display's own
// decoders and by Qt's image readers in the same run; and the time from a
// request to a 1920 x 1080 JPEG shown (laid out and painted) when the
// still-image engine loads it at once and when it was preloaded (the
// take-over of asynchronous loading); and the colour wipe's tick at
// 1920 x 1080, idle and while the loader preloads that JPEG again and again.
//   bench-stills [rounds]
#include "display/imageengine.h"
#include "display/lyric/colour_wipe.h"
#include "display/lyric/lyric_geometry.h"
#include "display/lyric/lyric_lines.h"
#include "display/lyric/lyric_style_table.h"
#include "platform/media/virtual_time.h"
#include "display/stills/bmp.h"
#include "display/stills/gif.h"
#include "display/stills/result.h"
#include "display/stills/tests/support/still_bytes.h"
#include "platform/sys/tempdir.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
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

double Percentile(std::vector<double> v, double p) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(std::ceil(p * v.size())) - (p > 0));
  return v[i];
}

// The lyric view's wipe at 1920 x 1080: ticks of a line-long syllable on a
// virtual clock moved one 20-ms period per tick, each tick's cost taken.
std::vector<double> WipeTicks(int ticks) {
  media::VirtualTime clock(1000);
  media::InstallTimeSource(&clock);
  const std::string folder = sys::TempPath("wipe");
  std::filesystem::create_directories(folder);
  std::vector<double> costs;
  {
    display::LyricStyleTable styles(folder + "/config.ini");
    styles.LoadAndStore();
    display::LyricFrameState frame;
    display::LyricLines lines(styles, frame);
    auto surface = gdi::Surface::Create(kWidth, kHeight, 0);
    lines.SetSurface(surface);
    lines.SetPad(display::PadForHeight(kHeight));
    lines.Resize(kWidth, kHeight);
    lines.PlaceLine(display::kSlotA, "Up above the world so high, like a diamond in the sky", 0, 0);
    frame.slotState = 2;
    frame.currentLine = 0;
    auto paint = [&] {
      gdi::Dc dc(surface);
      dc.FillRect(gdi::Rect{0, 0, kWidth, kHeight}, 0);
      lines.OnPaint(dc);
    };
    paint();
    constexpr uint32_t kPeriod = 20, kDuration = 2000;
    display::ColourWipe wipe(lines, frame, kPeriod);
    wipe.Start(true);
    const int32_t width = lines.Slot(display::kSlotA).textWidth;
    for (int done = 0; done < ticks;) {
      wipe.ResetLine();
      paint();
      wipe.BeginSyllable(0, width, kDuration);
      for (uint32_t k = 0; k < kDuration / kPeriod && done < ticks; ++k, ++done) {
        clock.Delay(kPeriod);
        const auto t = Clock::now();
        wipe.TimerTick();
        costs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
      }
    }
    wipe.Stop();
  }
  media::InstallTimeSource(nullptr);
  return costs;
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
  // The wipe's line is drawn with Qt's fonts.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int qargc = 1;
  char qname[] = "bench-stills";
  char* qargv[] = {qname, nullptr};
  QGuiApplication app(qargc, qargv);
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

  // AsyncLoading 1: the loader has preloaded the JPEG; the request takes it
  // over and the frame paints it.
  engine.SetAsyncLoading(true);
  std::vector<double> preloaded;
  for (int i = 0; i < rounds; ++i) {
    engine.NextImagePath() = jpeg;
    ok &= engine.StartLoader(true);
    engine.FinishLoader();
    const auto start = Clock::now();
    ok &= engine.TakeOver();
    engine.Paint(dc, gdi::Rect{0, 0, kWidth, kHeight});
    preloaded.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(preloaded.begin(), preloaded.end());
  std::printf("jpeg  request to shown, preloaded: %8.2f ms (goal 16 ms)\n",
              preloaded[preloaded.size() / 2]);
  std::snprintf(shownLine, sizeof shownLine,
                "stills_jpeg_1080p_request_to_shown_preloaded: %.2f ms",
                preloaded[preloaded.size() / 2]);
  figures.push_back(shownLine);
  std::snprintf(shownLine, sizeof shownLine,
                "stills_jpeg_1080p_request_to_shown_preloaded_max: %.2f ms", preloaded.back());
  figures.push_back(shownLine);

  // The wipe's tick alone, then while the loader preloads the JPEG over and
  // over (on its own thread, as the program's loader runs).
  constexpr int kTicks = 3000;
  const double idleP99 = Percentile(WipeTicks(kTicks), 0.99);
  std::atomic<bool> loading{true};
  std::atomic<int> loads{0};
  std::thread loader([&] {
    while (loading) {
      engine.NextImagePath() = jpeg;
      if (engine.StartLoader(true)) {
        engine.FinishLoader();
        ++loads;
      }
    }
  });
  const double loadedP99 = Percentile(WipeTicks(kTicks), 0.99);
  loading = false;
  loader.join();
  std::printf("wipe tick p99: %.3f ms idle, %.3f ms while %d preloads ran (goal 1 ms)\n", idleP99,
              loadedP99, loads.load());
  std::snprintf(shownLine, sizeof shownLine, "wipe_tick_p99_idle: %.3f ms", idleP99);
  figures.push_back(shownLine);
  std::snprintf(shownLine, sizeof shownLine, "wipe_tick_p99_while_loading: %.3f ms", loadedP99);
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

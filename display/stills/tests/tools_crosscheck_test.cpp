// Pictures written by independent tools (ImageMagick, ffmpeg, Python's PIL)
// from the project's own background picture, loaded under ".gif" names by
// the own decoders: BMP and GIF pixels equal Qt's readers', PCX and 16-bit
// BMP pixels equal ffmpeg's. Rows of a tool that is not installed are skipped.
#include "display/stills/load.h"

#include "display/stills/result.h"
#include "display/stills/stills.h"
#include "platform/sys/tempdir.h"
#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace {

namespace fs = std::filesystem;

constexpr const char* kMagick = "/usr/bin/convert";
constexpr const char* kPython = "/usr/bin/python3";

bool Available(const std::string& tool) {
  if (tool == "magick")
    return fs::exists(kMagick);
  if (tool == "ffmpeg")
    return systest::RunCommand("command -v ffmpeg >/dev/null 2>&1").status == 0;
  return systest::RunCommand(std::string(kPython) + " -c 'import PIL' >/dev/null 2>&1").status == 0;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A 61 x 47 cut of the default background with a bright band of many
// colours across it, as a PNG: odd sides, so every row is padded.
std::string SourcePicture() {
  const fs::path art = fs::path(VEXO_TEST_SOURCE_DIR) / "../../../resources/display/bkimage.bmp";
  const auto bytes = ReadAll(art.string());
  gdi::Dib dib;
  if (stills::DecodeStill(bytes, dib) != stills::kDecoded)
    return {};
  QImage image(61, 47, QImage::Format_RGB32);
  for (int y = 0; y < 47; ++y)
    for (int x = 0; x < 61; ++x) {
      gdi::Colour c = dib.PixelColour(x + 10, y + 10);
      if (y >= 20 && y < 27)
        c = gdi::Rgb(static_cast<uint8_t>(x * 4), static_cast<uint8_t>(255 - x * 3),
                     static_cast<uint8_t>(y * 9));
      image.setPixel(x, y, qRgb(gdi::RedOf(c), gdi::GreenOf(c), gdi::BlueOf(c)));
    }
  const std::string path = sys::TempPath("source.png");
  return image.save(QString::fromStdString(path)) ? path : std::string();
}

enum class Reference { Qt, Ffmpeg };

struct Sample {
  const char* what;
  const char* tool;
  // Writes OUT from SRC.
  const char* command;
  const char* extension;
  int result;
  Reference reference = Reference::Qt;
};

std::string Expand(std::string command, const std::string& source, const std::string& out) {
  for (auto [key, value] : {std::pair<std::string, std::string>{"SRC", source},
                            {"OUT", out},
                            {"MAGICK", kMagick},
                            {"PYTHON", kPython}})
    for (size_t at; (at = command.find(key)) != std::string::npos;)
      command.replace(at, key.size(), value);
  return command;
}

QImage Reference(Reference kind, const std::string& sample) {
  if (kind == Reference::Qt) {
    QImageReader reader(QString::fromStdString(sample));
    reader.setDecideFormatFromContent(true);
    return reader.read();
  }
  const std::string raw = sample + ".rgb", size = sample + ".size";
  if (systest::RunCommand("ffmpeg -v error -y -i " + sample + " -f rawvideo -pix_fmt rgb24 " + raw)
          .status != 0)
    return {};
  auto probe = systest::RunCommand(
      "ffprobe -v error -show_entries stream=width,height -of csv=p=0 " + sample);
  int w = 0, h = 0;
  if (std::sscanf(probe.out.c_str(), "%d,%d", &w, &h) != 2)
    return {};
  const auto pixels = ReadAll(raw);
  if (pixels.size() != static_cast<size_t>(w) * h * 3)
    return {};
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = &pixels[(static_cast<size_t>(y) * w + x) * 3];
      image.setPixel(x, y, qRgb(p[0], p[1], p[2]));
    }
  return image;
}

TEST(StillsAgainstTools, OwnDecodersEqualIndependentReaders) {
  const std::string source = SourcePicture();
  ASSERT_FALSE(source.empty());
  const Sample samples[] = {
      {"ImageMagick BMP 1 bit", "magick", "MAGICK SRC -monochrome BMP3:OUT", "bmp", 1},
      {"ImageMagick BMP 4 bits", "magick", "MAGICK SRC -colors 16 -type Palette BMP3:OUT", "bmp",
       1},
      {"ImageMagick BMP 8 bits", "magick",
       "MAGICK SRC -colors 256 -type Palette -compress None BMP3:OUT", "bmp", 1},
      {"ImageMagick BMP RLE8", "magick", "MAGICK SRC -colors 256 -type Palette BMP3:OUT", "bmp", 1},
      {"ImageMagick BMP RLE8 of 16 colours", "magick",
       "MAGICK SRC -colors 16 -type Palette -compress RLE BMP3:OUT", "bmp", 1},
      {"ImageMagick BMP 24 bits", "magick", "MAGICK SRC -type TrueColor BMP3:OUT", "bmp", 1},
      {"ImageMagick OS/2 header, 8 bits", "magick", "MAGICK SRC -colors 256 -type Palette BMP2:OUT",
       "bmp", 1},
      {"ImageMagick OS/2 header, 24 bits", "magick", "MAGICK SRC -type TrueColor BMP2:OUT", "bmp",
       1},
      {"ImageMagick GIF87a", "magick", "MAGICK SRC -colors 256 GIF87:OUT", "gif", 1},
      {"ImageMagick GIF89a interlaced", "magick", "MAGICK SRC -colors 256 -interlace GIF GIF:OUT",
       "gif", 1},
      {"ImageMagick GIF 2 colours", "magick", "MAGICK SRC -colors 2 GIF:OUT", "gif", 1},
      {"ImageMagick PCX 8 bits", "magick", "MAGICK SRC -colors 256 -type Palette PCX:OUT", "pcx", 1,
       Reference::Ffmpeg},
      {"ImageMagick PCX 24 bits", "magick", "MAGICK SRC -type TrueColor PCX:OUT", "pcx",
       stills::kTwentyFourBits},
      {"ffmpeg BMP 1 bit", "ffmpeg", "ffmpeg -v error -y -i SRC -pix_fmt monob OUT", "bmp", 1},
      {"ffmpeg BMP 8 bits", "ffmpeg", "ffmpeg -v error -y -i SRC -pix_fmt pal8 OUT", "bmp", 1},
      {"ffmpeg BMP 16 bits 5-5-5", "ffmpeg", "ffmpeg -v error -y -i SRC -pix_fmt rgb555le OUT",
       "bmp", 1},
      {"ffmpeg BMP 16 bits 5-6-5 (bit fields)", "ffmpeg",
       "ffmpeg -v error -y -i SRC -pix_fmt rgb565le OUT", "bmp", stills::kUnsupported},
      {"ffmpeg BMP 24 bits", "ffmpeg", "ffmpeg -v error -y -i SRC -pix_fmt bgr24 OUT", "bmp", 1},
      {"ffmpeg BMP 32 bits", "ffmpeg", "ffmpeg -v error -y -i SRC -pix_fmt bgra OUT", "bmp", 1},
      {"ffmpeg GIF89a", "ffmpeg", "ffmpeg -v error -y -i SRC -loop -1 OUT", "gif", 1},
      {"ffmpeg GIF89a with its loop extension", "ffmpeg", "ffmpeg -v error -y -i SRC -loop 0 OUT",
       "gif", stills::kUnsupported},
      {"ffmpeg PCX 1 bit", "ffmpeg", "ffmpeg -v error -y -i SRC -pix_fmt monob OUT", "pcx", 1,
       Reference::Ffmpeg},
      {"ffmpeg PCX 8 bits", "ffmpeg", "ffmpeg -v error -y -i SRC -pix_fmt pal8 OUT", "pcx", 1,
       Reference::Ffmpeg},
      {"ffmpeg PCX 24 bits", "ffmpeg", "ffmpeg -v error -y -i SRC -pix_fmt rgb24 OUT", "pcx",
       stills::kTwentyFourBits},
      {"PIL BMP 1 bit", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').convert('1').save('OUT')\"", "bmp", 1},
      {"PIL BMP 8 bits", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').convert('P').save('OUT')\"", "bmp", 1},
      {"PIL BMP 24 bits", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').convert('RGB').save('OUT')\"", "bmp",
       1},
      {"PIL GIF87a", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').convert('P').save('OUT')\"", "gif", 1},
      {"PIL GIF interlaced", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').quantize(256).save('OUT', "
       "interlace=1)\"",
       "gif", 1},
      {"PIL GIF 2 colours", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').quantize(2).save('OUT')\"", "gif", 1},
      {"PIL PCX 1 bit", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').convert('1').save('OUT')\"", "pcx", 1,
       Reference::Ffmpeg},
      {"PIL PCX 8 bits", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').quantize(256).save('OUT')\"", "pcx", 1,
       Reference::Ffmpeg},
      {"PIL PCX 24 bits", "pil",
       "PYTHON -c \"from PIL import Image; Image.open('SRC').convert('RGB').save('OUT')\"", "pcx",
       stills::kTwentyFourBits},
  };
  std::map<std::string, bool> installed;
  for (const char* tool : {"magick", "ffmpeg", "pil"})
    installed[tool] = Available(tool);
  const bool ffmpeg = installed["ffmpeg"];
  int compared = 0;
  for (const Sample& s : samples) {
    SCOPED_TRACE(s.what);
    if (!installed[s.tool] || (s.reference == Reference::Ffmpeg && !ffmpeg)) {
      std::printf("skipped (tool missing): %s\n", s.what);
      continue;
    }
    const std::string sample =
        sys::TempPath("sample-" + std::to_string(compared) + "." + s.extension);
    auto run = systest::RunCommand(Expand(s.command, source, sample), systest::Stderr::WithOutput);
    ASSERT_EQ(run.status, 0) << run.out;
    // The own decoders take the file by its ".gif" name, whatever it holds.
    const std::string asGif = sample + ".gif";
    fs::copy_file(sample, asGif, fs::copy_options::overwrite_existing);
    stills::LoadedStill still;
    ASSERT_EQ(stills::LoadStill(asGif, 32, still), s.result);
    ++compared;
    if (s.result != stills::kDecoded)
      continue;
    EXPECT_TRUE(still.own);
    const QImage want = Reference(s.reference, sample);
    ASSERT_FALSE(want.isNull());
    ASSERT_EQ(want.width(), still.dib.Width());
    ASSERT_EQ(want.height(), still.dib.Height());
    // A 1-bit image shows in black and white: a reference colour that is one
    // of the file's two table entries stands for that entry's index.
    gdi::Dib decoded;
    ASSERT_EQ(stills::DecodeStill(ReadAll(sample), decoded), stills::kDecoded);
    auto expected = [&](QRgb q) {
      const gdi::Colour c = gdi::Rgb(qRed(q), qGreen(q), qBlue(q));
      if (decoded.BitCount() == 1)
        for (int i = 0; i < 2; ++i)
          if (gdi::ColourOf(decoded.Colours()[i]) == c)
            return i ? gdi::Rgb(255, 255, 255) : gdi::Rgb(0, 0, 0);
      return c;
    };
    // Qt widens 5-bit channels by a shift alone, the bitmaps repeat the top
    // bits below: 16-bit pixels are compared in their own 5 bits.
    const gdi::Colour mask = still.dib.BitCount() == 16 ? gdi::Rgb(0xF8, 0xF8, 0xF8) : 0xFFFFFF;
    int wrong = 0;
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x) {
        const gdi::Colour got = still.dib.PixelColour(x, y), w = expected(want.pixel(x, y));
        if ((got & mask) != (w & mask) && wrong++ < 3)
          ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << got << " against " << w;
      }
    EXPECT_EQ(wrong, 0);
  }
  if (compared == 0)
    GTEST_SKIP() << "none of ImageMagick, ffmpeg and PIL is installed";
}

} // namespace

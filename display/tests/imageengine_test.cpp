// The still-image engine on files in a temporary folder: the first image
// from [Image] DefaultFile, loads that show at once or fail leaving the
// shown image, painting from the composed bitmap, recomposing on resize.
#include "display/imageengine.h"

#include "display/medialist.h"
#include "display/tests/support/session.h"
#include "display/tests/support/temp_folder.h"
#include "platform/sys/ini.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

using displaytest::TempFolder;

gdi::Colour Source(int32_t x, int32_t y) {
  return gdi::Rgb(static_cast<uint8_t>(x * 2 + 1), static_cast<uint8_t>(y * 2 + 1), 77);
}

// A 24-bit BMP of w x h pixels of Source (named ".gif", the own decoders
// read it by its first byte).
std::string Bmp(int32_t w, int32_t h) {
  auto dib = gdi::Dib::Create(w, h, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = dib->RowFromTop(y) + 3 * x;
      p[0] = gdi::BlueOf(Source(x, y)), p[1] = gdi::GreenOf(Source(x, y)),
      p[2] = gdi::RedOf(Source(x, y));
    }
  const auto bytes = dib->ToBmpFile();
  return std::string(bytes.begin(), bytes.end());
}

// A GIF89a refused for its application extension.
std::string GifWithApplicationBlock() {
  std::string f = "GIF89a";
  f += std::string("\x01\x00\x01\x00\x80\x00\x00", 7) + std::string(6, '\0');
  f += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  f += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B", 16);
  return f + std::string(60 - f.size(), '\0');
}

class ImageEngineTest : public ::testing::Test {
protected:
  void SetUp() override { displaytest::StartSession(); }

  std::unique_ptr<display::BackgroundImageEngine> Engine(const std::string& defaultFile) {
    const std::string config = folder / "config.ini";
    sys::IniWriteString(config, "Image", "DefaultFile", defaultFile);
    auto engine = std::make_unique<display::BackgroundImageEngine>(config);
    EXPECT_TRUE(engine->Initialise(0, &list));
    engine->SetClientRect(gdi::Rect{0, 0, 160, 90});
    return engine;
  }

  // The client as the engine paints it.
  std::vector<gdi::Colour> Painted(display::BackgroundImageEngine& engine, int32_t w = 160,
                                   int32_t h = 90) {
    auto surface = gdi::Surface::Create(w, h, gdi::Rgb(1, 2, 3));
    gdi::Dc dc(surface);
    engine.Paint(dc, gdi::Rect{0, 0, w, h});
    return surface->CopyPixels();
  }

  TempFolder folder;
  display::MediaList list{display::MediaKind::Image};
};

TEST_F(ImageEngineTest, TheFirstImageComesFromDefaultFile) {
  folder.Write("first.gif", Bmp(120, 110));
  const struct {
    const char* what;
    std::string defaultFile;
    bool shown;
  } cases[] = {
      {"present", "first.gif", true},
      {"letter case differs", "FIRST.GIF", true},
      {"missing", "none.gif", false},
      {"none", "@", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto engine = Engine(c.defaultFile);
    EXPECT_EQ(engine->ShownSlot().HasImage(), c.shown);
    EXPECT_EQ(engine->FirstImageRequested(), c.shown);
    EXPECT_EQ(engine->FallbackPath().empty(), !c.shown);
  }
}

TEST_F(ImageEngineTest, LoadsShowAtOnceAndFailuresKeepTheShownImage) {
  auto engine = Engine("@");
  // Nothing shown: the default background (here bitmap 169).
  const auto empty = Painted(*engine);
  engine->NextImagePath() = folder.Write("a.gif", Bmp(120, 110));
  ASSERT_TRUE(engine->LoadNextImageNow(0, true));
  // Stretched over the client (Type 0, not fixed).
  const auto shown = Painted(*engine);
  EXPECT_NE(shown, empty);
  EXPECT_EQ(shown[0], Source(0, 0));
  EXPECT_EQ(shown[89 * 160 + 159], Source(159 * 120 / 160, 89 * 110 / 90));

  const std::string refused[] = {
      folder.Write("app.gif", GifWithApplicationBlock()),
      folder.Write("short.gif", Bmp(120, 110).substr(0, 53)),
      folder / "missing.gif",
      folder / std::string(260, 'n'),
  };
  for (const std::string& path : refused) {
    SCOPED_TRACE(path);
    engine->NextImagePath() = path;
    EXPECT_FALSE(engine->LoadNextImageNow(0, true));
    EXPECT_TRUE(engine->NextImagePath().empty());
    EXPECT_EQ(Painted(*engine), shown);
  }
  // No list to pick from.
  EXPECT_FALSE(engine->LoadNextImageNow(0, false));
}

TEST_F(ImageEngineTest, SmallOwnImagesTileAndOthersStretchAndEveryResizeRecomposes) {
  auto engine = Engine("@");
  engine->NextImagePath() = folder.Write("small.gif", Bmp(50, 40));
  ASSERT_TRUE(engine->LoadNextImageNow(0, true));
  auto tiled = Painted(*engine);
  EXPECT_EQ(tiled[45 * 160 + 120], Source(120 % 50, 45 % 40));

  QImage picture(50, 40, QImage::Format_RGB32);
  picture.fill(qRgb(200, 30, 40));
  // A blue corner of 5 x 5 pixels.
  for (int y = 35; y < 40; ++y)
    for (int x = 45; x < 50; ++x)
      picture.setPixel(x, y, qRgb(0, 0, 255));
  const std::string path = folder / "small.png";
  ASSERT_TRUE(picture.save(QString::fromStdString(path)));
  engine->NextImagePath() = path;
  ASSERT_TRUE(engine->LoadNextImageNow(0, true));
  EXPECT_FALSE(engine->ShownSlot().still->own);
  auto stretched = Painted(*engine);
  EXPECT_EQ(stretched[89 * 160 + 159], gdi::Rgb(0, 0, 255));
  EXPECT_EQ(stretched[89 * 160 + 144], gdi::Rgb(0, 0, 255)); // column 45 stretched
  EXPECT_EQ(stretched[89 * 160 + 143], gdi::Rgb(200, 30, 40));
  EXPECT_EQ(stretched[0], gdi::Rgb(200, 30, 40));

  engine->SetClientRect(gdi::Rect{0, 0, 61, 33});
  engine->Recompose();
  ASSERT_TRUE(engine->ShownSlot().composed);
  EXPECT_EQ(engine->ShownSlot().composed->bitmap->Width(), 61);
  EXPECT_EQ(Painted(*engine, 61, 33)[32 * 61 + 60], gdi::Rgb(0, 0, 255));
}

} // namespace

// Still-image layouts against pixels computed here from the rules: the
// stretch takes column left + i x width / client width (rounded down), tiles
// repeat from the client's corner, a centred image lies over the default
// background.
#include "display/imagelayout.h"

#include "display/tests/support/session.h"
#include "display/tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using display::Layout;
using display::LayoutSettings;

gdi::Colour Source(int32_t x, int32_t y) {
  return gdi::Rgb(static_cast<uint8_t>(x * 2 + 1), static_cast<uint8_t>(y * 2 + 1),
                  static_cast<uint8_t>((x * 7 + y * 3) & 0xFF));
}

gdi::Dib Image(int32_t w, int32_t h) {
  auto dib = gdi::Dib::Create(w, h, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = dib->RowFromTop(y) + 3 * x;
      const gdi::Colour c = Source(x, y);
      p[0] = gdi::BlueOf(c), p[1] = gdi::GreenOf(c), p[2] = gdi::RedOf(c);
    }
  return *dib;
}

// The default background: 3 x 2 pixels of Tone.
gdi::Colour Tone(int32_t x, int32_t y) {
  return gdi::Rgb(static_cast<uint8_t>(40 * x + 3), 9, static_cast<uint8_t>(90 * y + 5));
}

class ImageLayoutTest : public ::testing::Test {
protected:
  void SetUp() override {
    displaytest::StartSession();
    auto dib = gdi::Dib::Create(3, 2, 24);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x) {
        uint8_t* p = dib->RowFromTop(y) + 3 * x;
        p[0] = gdi::BlueOf(Tone(x, y)), p[1] = gdi::GreenOf(Tone(x, y)),
        p[2] = gdi::RedOf(Tone(x, y));
      }
    const auto bytes = dib->ToBmpFile();
    ASSERT_TRUE(
        background.Load(folder.Write("bkimage.bmp", std::string(bytes.begin(), bytes.end()))));
  }

  // The colour the rules give at (x, y) of the client.
  gdi::Colour Want(Layout layout, const LayoutSettings& s, int32_t iw, int32_t ih, gdi::Size client,
                   int32_t x, int32_t y) const {
    const int32_t sx = std::min(s.skipX, (iw - 1) / 2), sy = std::min(s.skipY, (ih - 1) / 2);
    const int32_t sw = iw - 2 * sx, sh = ih - 2 * sy;
    switch (layout) {
    case Layout::Stretched:
      return Source(sx + x * sw / client.cx, sy + y * sh / client.cy);
    case Layout::StretchedTiles: {
      const int32_t tw = client.cx / 2, th = client.cy / 2;
      return Source(sx + (x % tw) * sw / tw, sy + (y % th) * sh / th);
    }
    case Layout::Tiles:
      return Source(x % iw, y % ih);
    case Layout::Centred: {
      const int32_t left = iw < client.cx ? client.cx / 2 - iw / 2 : 0;
      const int32_t top = ih < client.cy ? client.cy / 2 - ih / 2 : 0;
      if (x >= left && x < left + iw && y >= top && y < top + ih)
        return Source(x - left, y - top);
      return Tone(x % 3, y % 2);
    }
    }
    return 0;
  }

  void ExpectComposed(const char* what, const LayoutSettings& s, int32_t iw, int32_t ih, bool own,
                      uint32_t time, gdi::Size client, Layout layout) {
    SCOPED_TRACE(testing::Message()
                 << what << ": fixed " << s.fixed << ", type " << s.type << ", skip " << s.skipX
                 << "x" << s.skipY << ", client " << client.cx << "x" << client.cy);
    ASSERT_EQ(display::ChooseLayout(s, iw, ih, own, time), layout);
    auto composed = display::ComposeStill(Image(iw, ih), layout, s, client, &background);
    ASSERT_TRUE(composed);
    ASSERT_EQ(composed->bitmap->Width(), client.cx);
    ASSERT_EQ(composed->bitmap->Height(), client.cy);
    const auto pixels = composed->bitmap->CopyPixels();
    int wrong = 0;
    for (int32_t y = 0; y < client.cy; ++y)
      for (int32_t x = 0; x < client.cx; ++x)
        if (pixels[y * client.cx + x] != Want(layout, s, iw, ih, client, x, y) && wrong++ < 3)
          ADD_FAILURE() << "pixel " << x << "," << y;
    EXPECT_EQ(wrong, 0);
  }

  displaytest::TempFolder folder;
  display::BackgroundBitmap background;
};

TEST_F(ImageLayoutTest, EveryFixAndTypeWithAndWithoutMarginsAtEvenAndOddSizes) {
  for (bool fixed : {false, true})
    for (int32_t type : {0, 1})
      for (auto [skipX, skipY] : {std::pair{0, 0}, {7, 5}})
        for (gdi::Size client : {gdi::Size{160, 90}, gdi::Size{161, 91}, gdi::Size{300, 250}}) {
          const Layout layout = fixed ? (type == 1 ? Layout::Tiles : Layout::Centred)
                                      : (type == 1 ? Layout::StretchedTiles : Layout::Stretched);
          ExpectComposed("120 x 110", LayoutSettings{fixed, type, skipX, skipY}, 120, 110, true, 0,
                         client, layout);
        }
}

TEST_F(ImageLayoutTest, SpecialCases) {
  const struct {
    const char* what;
    LayoutSettings settings;
    int32_t width, height;
    bool own;
    uint32_t time;
    gdi::Size client;
    Layout layout;
  } cases[] = {
      {"small own image, stretch asked",
       {false, 0, 0, 0},
       50,
       40,
       true,
       0,
       {161, 91},
       Layout::Tiles},
      {"small own image, centre asked", {true, 0, 0, 0}, 50, 40, true, 0, {161, 91}, Layout::Tiles},
      {"small own image, four tiles asked",
       {false, 1, 3, 3},
       99,
       200,
       true,
       0,
       {161, 91},
       Layout::Tiles},
      {"small imaging image, stretched",
       {false, 0, 0, 0},
       50,
       40,
       false,
       0,
       {161, 91},
       Layout::Stretched},
      {"type 2 at an even time",
       {false, 2, 0, 0},
       120,
       110,
       true,
       1000,
       {160, 90},
       Layout::StretchedTiles},
      {"type 2 at an odd time",
       {false, 2, 0, 0},
       120,
       110,
       true,
       1001,
       {160, 90},
       Layout::Stretched},
      {"type 2 fixed at an even time",
       {true, 2, 0, 0},
       120,
       110,
       true,
       4,
       {160, 90},
       Layout::Tiles},
      {"type 2 fixed at an odd time",
       {true, 2, 0, 0},
       120,
       110,
       true,
       5,
       {300, 250},
       Layout::Centred},
      {"margins of half the image and more",
       {false, 0, 60, 200},
       120,
       110,
       true,
       0,
       {161, 91},
       Layout::Stretched},
      {"margins past the image, four tiles",
       {false, 1, 500, 55},
       121,
       111,
       true,
       0,
       {160, 90},
       Layout::StretchedTiles},
      {"centred, larger than the client",
       {true, 0, 0, 0},
       120,
       110,
       true,
       0,
       {100, 50},
       Layout::Centred},
      {"centred across only", {true, 0, 0, 0}, 120, 110, true, 0, {301, 50}, Layout::Centred},
      {"centred imaging image", {true, 0, 0, 0}, 50, 40, false, 0, {161, 91}, Layout::Centred},
  };
  for (const auto& c : cases)
    ExpectComposed(c.what, c.settings, c.width, c.height, c.own, c.time, c.client, c.layout);
}

TEST_F(ImageLayoutTest, TheCentredRectangleIsRemembered) {
  auto composed =
      display::ComposeStill(Image(120, 110), Layout::Centred, {}, {301, 250}, &background);
  ASSERT_TRUE(composed);
  EXPECT_EQ(composed->centred, (gdi::Rect{150 - 60, 125 - 55, 150 + 60, 125 + 55}));
  EXPECT_FALSE(display::ComposeStill(Image(120, 110), Layout::Stretched, {}, {0, 10}, &background));
}

} // namespace

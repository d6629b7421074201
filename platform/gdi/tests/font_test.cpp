#include "platform/gdi/dc.h"
#include "support/pixels.h"

#include <QPainterPath>
#include <QRawFont>
#include <gtest/gtest.h>

#include <cmath>

namespace gdi {
namespace {

using testing::CountOtherPixels;
using testing::InkBox;
using testing::MakeFont;

const Colour kWhite = Rgb(255, 255, 255);
const Colour kBlack = Rgb(0, 0, 0);

// The height of the capital H in font units, read from the face's outline.
double CapHeightUnits(const std::string& family, double* unitsPerEm) {
  QFont probe(QString::fromStdString(family));
  probe.setPixelSize(100);
  QRawFont raw = QRawFont::fromFont(probe);
  *unitsPerEm = raw.unitsPerEm();
  raw.setPixelSize(raw.unitsPerEm());
  const auto glyphs = raw.glyphIndexesForString(QStringLiteral("H"));
  return raw.pathForGlyph(glyphs.at(0)).boundingRect().height();
}

struct Drawn {
  std::shared_ptr<Surface> surface;
  Rect ink;
};

Drawn Draw(const std::shared_ptr<const Font>& font, std::string_view text, int32_t width = 400,
           int32_t height = 200) {
  Drawn d;
  d.surface = Surface::Create(width, height, kWhite);
  Dc dc(d.surface);
  dc.SelectFont(font);
  dc.SetBkMode(kTransparent);
  dc.SetTextColor(kBlack);
  dc.TextOut(10, 10, text);
  d.ink = InkBox(*d.surface, kWhite);
  return d;
}

struct FaceRow {
  const char* face;
  uint8_t charSet;
};
const FaceRow kFaces[] = {{"DejaVu Sans", kAnsiCharSet},
                          {"DejaVu Serif", kAnsiCharSet},
                          {"NanumGothic", kHangulCharSet},
                          {"IPAPGothic", kShiftJisCharSet}};

TEST(FontHeight, NegativeHeightIsTheCharacterHeight) {
  for (const FaceRow& f : kFaces) {
    for (int32_t h : {12, 20, 33, 64}) {
      auto font = MakeFont(f.face, -h, 0, kNonAntialiasedQuality, f.charSet);
      ASSERT_TRUE(font);
      ASSERT_EQ(font->FaceUsed(), f.face);
      const TextMetrics& tm = font->Metrics();
      EXPECT_EQ(tm.height - tm.internalLeading, h) << f.face << " " << h;
      EXPECT_EQ(tm.ascent + tm.descent, tm.height);
      // The glyphs really are drawn at that size: the capital's ink matches
      // its outline scaled to h pixels per em.
      double upem = 0;
      const double cap = CapHeightUnits(f.face, &upem);
      const Drawn d = Draw(font, "H");
      EXPECT_NEAR(d.ink.Height(), cap * h / upem, 1.0) << f.face << " " << h;
    }
  }
}

TEST(FontHeight, PositiveHeightIsTheCellHeight) {
  for (const FaceRow& f : kFaces) {
    for (int32_t h : {13, 24, 40, 75}) {
      auto font = MakeFont(f.face, h, 0, kNonAntialiasedQuality, f.charSet);
      ASSERT_TRUE(font);
      const TextMetrics& tm = font->Metrics();
      EXPECT_NEAR(tm.height, h, 1) << f.face << " " << h;
      EXPECT_GT(tm.internalLeading, 0);
      double upem = 0;
      const double cap = CapHeightUnits(f.face, &upem);
      const Drawn d = Draw(font, "H");
      EXPECT_NEAR(d.ink.Height(), cap * (tm.height - tm.internalLeading) / upem, 1.0)
          << f.face << " " << h;
    }
  }
}

TEST(FontHeight, OpaqueBackgroundFillsExactlyTheCharacterCell) {
  for (const FaceRow& f : kFaces) {
    auto font = MakeFont(f.face, 30, 0, kNonAntialiasedQuality, f.charSet);
    ASSERT_TRUE(font);
    auto s = Surface::Create(300, 100, kWhite);
    Dc dc(s);
    dc.SelectFont(font);
    dc.SetBkMode(kOpaque);
    const Colour green = Rgb(0, 200, 0);
    dc.SetBkColor(green);
    dc.SetTextColor(kBlack);
    ASSERT_TRUE(dc.TextOut(20, 15, "Hxn"));
    const Size extent = dc.TextExtent("Hxn");
    const Rect cell{20, 15, 20 + extent.cx, 15 + extent.cy};
    EXPECT_EQ(extent.cy, font->Metrics().height);
    // Inside the cell every pixel is the text or the background colour,
    // outside it nothing changed.
    const std::vector<Colour> px = s->CopyPixels();
    int inside = 0, outside = 0;
    for (int32_t y = 0; y < 100; ++y)
      for (int32_t x = 0; x < 300; ++x) {
        const Colour c = px[y * 300 + x];
        if (cell.Contains(Point{x, y}))
          inside += (c == green || c == kBlack) ? 1 : 0;
        else
          outside += c != kWhite ? 1 : 0;
      }
    EXPECT_EQ(inside, cell.Width() * cell.Height()) << f.face;
    EXPECT_EQ(outside, 0) << f.face;
    EXPECT_EQ(InkBox(*s, kWhite), cell) << f.face;

    // Transparent: the background stays.
    auto t = Surface::Create(300, 100, kWhite);
    Dc tdc(t);
    tdc.SelectFont(font);
    tdc.SetBkMode(kTransparent);
    tdc.SetBkColor(green);
    tdc.TextOut(20, 15, "Hxn");
    EXPECT_EQ(testing::CountPixels(*t, Rect{0, 0, 300, 100}, green), 0);
  }
}

TEST(FontWidth, WidthCondensesToThatAverage) {
  const std::string sample = "Sing along with the words as they change colour";
  for (const FaceRow& f : kFaces) {
    auto natural = MakeFont(f.face, -24, 0, kNonAntialiasedQuality, f.charSet);
    ASSERT_TRUE(natural);
    const double a0 = natural->Metrics().aveCharWidth;
    auto s0 = Surface::Create(10, 10);
    Dc dc0(s0);
    dc0.SelectFont(natural);
    const double w0 = dc0.TextExtent(sample).cx;
    const double n = static_cast<double>(sample.size());
    for (int32_t w : {4, 7, 9, 16}) {
      auto font = MakeFont(f.face, -24, w, kNonAntialiasedQuality, f.charSet);
      ASSERT_TRUE(font);
      EXPECT_NEAR(font->Metrics().aveCharWidth, w, 1) << f.face << " " << w;
      // The character height stays.
      EXPECT_EQ(font->Metrics().height - font->Metrics().internalLeading, 24);
      Dc dc(Surface::Create(10, 10));
      dc.SelectFont(font);
      const double drawn = dc.TextExtent(sample).cx;
      // Each character is scaled like the average: the per-character width
      // is within a pixel of the natural one scaled to the new average.
      EXPECT_NEAR(drawn / n, (w0 / n) * w / a0, 1.0) << f.face << " " << w;
      // And the ink follows the measure.
      const Drawn d = Draw(font, sample, 1200, 80);
      EXPECT_LE(d.ink.right, 10 + drawn + 2) << f.face << " " << w;
      EXPECT_GE(d.ink.right, 10 + drawn - 4) << f.face << " " << w;
    }
  }
}

TEST(FontQuality, NonAntialiasedTextHasNoBlendedPixels) {
  struct Row {
    const char* face;
    uint8_t charSet;
    std::string text;
  };
  const Row rows[] = {
      {"DejaVu Serif", kAnsiCharSet, "Quality 3: every pixel exact."},
      {"NanumGothic", kHangulCharSet, "\xC7\xD1\xB1\xB9\xBE\xEE \xB3\xEB\xB7\xA1 ABC"},
      {"IPAPGothic", kShiftJisCharSet, "\x83\x4A\x83\x89\x83\x49\x83\x50\x82\xCC\x89\xCC"},
  };
  const Colour text = Rgb(250, 20, 120), back = Rgb(10, 40, 200);
  for (const Row& r : rows) {
    for (int32_t h : {-11, -17, 26, -40}) {
      for (int italicBold = 0; italicBold < 2; ++italicBold) {
        LogFont lf;
        lf.height = h;
        lf.charSet = r.charSet;
        lf.quality = kNonAntialiasedQuality;
        lf.italic = static_cast<uint8_t>(italicBold);
        lf.weight = italicBold ? kWeightBold : kWeightNormal;
        lf.width = italicBold ? 6 : 0;
        lf.SetFaceName(r.face);
        auto font = Font::Create(lf);
        ASSERT_TRUE(font);
        EXPECT_FALSE(font->Antialiased());
        auto s = Surface::Create(700, 120, back);
        Dc dc(s);
        dc.SelectFont(font);
        dc.SetBkMode(kTransparent);
        dc.SetTextColor(text);
        dc.TextOut(5, 5, r.text);
        EXPECT_GT(testing::CountPixels(*s, Rect{0, 0, 700, 120}, text), 20) << r.face;
        EXPECT_EQ(CountOtherPixels(*s, text, back), 0) << r.face << " " << h;
      }
    }
    // The same text antialiased does blend, so the switch is what matters.
    auto smooth = MakeFont(r.face, -17, 0, kAntialiasedQuality, r.charSet);
    ASSERT_TRUE(smooth);
    EXPECT_TRUE(smooth->Antialiased());
    auto s = Surface::Create(700, 120, back);
    Dc dc(s);
    dc.SelectFont(smooth);
    dc.SetBkMode(kTransparent);
    dc.SetTextColor(text);
    dc.TextOut(5, 5, r.text);
    EXPECT_GT(CountOtherPixels(*s, text, back), 0) << r.face;
  }
}

TEST(FontFace, CharacterSetPicksAFaceWithItsGlyphs) {
  struct Row {
    std::string face; // code-page bytes
    uint8_t charSet;
    int systemCodePage;
    const char* expected;
    int codePage;
  };
  const Row rows[] = {
      {"Times New Roman", kAnsiCharSet, 949, "DejaVu Serif", 1252},
      {"Arial", kAnsiCharSet, 949, "DejaVu Sans", 1252},
      {"Courier New", kAnsiCharSet, 949, "DejaVu Sans Mono", 1252},
      {"No Such Face", kAnsiCharSet, 949, "DejaVu Sans", 1252},
      // A Latin face cannot write Korean: the Hangul set takes a Korean face.
      {"Arial", kHangulCharSet, 1252, "NanumGothic", 949},
      {"\xB1\xBC\xB8\xB2", kDefaultCharSet, 949, "NanumGothic", 949}, // Gulim in 949 bytes
      {"Batang", kHangulCharSet, 949, "NanumMyeongjo", 949},
      {"MS Gothic", kShiftJisCharSet, 949, "IPAGothic", 932},
      {"Times New Roman", kShiftJisCharSet, 949, "IPAPGothic", 932},
      {"", kDefaultCharSet, 932, "IPAPGothic", 932},
      {"", kDefaultCharSet, 949, "NanumGothic", 949},
      {"", kDefaultCharSet, 1252, "DejaVu Sans", 1252},
      // With the default set a face found by name is kept.
      {"Times New Roman", kDefaultCharSet, 949, "DejaVu Serif", 949},
      {"@NanumMyeongjo", kDefaultCharSet, 949, "NanumMyeongjo", 949},
  };
  for (const Row& r : rows) {
    LogFont lf;
    lf.height = -16;
    lf.charSet = r.charSet;
    lf.SetFaceName(r.face, r.systemCodePage);
    auto font = Font::Create(lf, r.systemCodePage);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->FaceUsed(), r.expected) << r.face;
    EXPECT_EQ(font->CodePage(), r.codePage) << r.face;
  }
}

TEST(FontFace, DescriptionAndMetricsTravelTogether) {
  LogFont lf;
  lf.height = -20;
  lf.weight = kWeightBold;
  lf.italic = 1;
  lf.underline = 1;
  lf.charSet = kDefaultCharSet;
  lf.SetFaceName("NanumGothic");
  auto font = Font::Create(lf);
  ASSERT_TRUE(font);
  const TextMetrics& tm = font->Metrics();
  EXPECT_EQ(tm.weight, kWeightBold);
  EXPECT_EQ(tm.italic, 1);
  EXPECT_EQ(tm.underlined, 1);
  EXPECT_EQ(tm.charSet, kHangulCharSet);
  EXPECT_GT(tm.aveCharWidth, 0);
  EXPECT_GE(tm.maxCharWidth, tm.aveCharWidth);
  EXPECT_EQ(font->Description().FaceName(), "NanumGothic");

  // Heights beyond any screen are refused.
  lf.height = -5000;
  EXPECT_FALSE(Font::Create(lf));
  // A face name longer than the field is cut, never inside a character.
  LogFont cut;
  cut.charSet = kHangulCharSet;
  cut.SetFaceName(std::string(30, 'a') + "\xB1\xBC");
  EXPECT_EQ(cut.FaceName(), std::string(30, 'a'));
}

TEST(FontCache, TheSameDescriptionAndCodePageGiveTheSameFont) {
  LogFont lf;
  lf.height = 40;
  lf.SetFaceName("DejaVu Sans");
  const std::shared_ptr<const Font> a = Font::Create(lf, 1252);
  ASSERT_TRUE(a);
  EXPECT_EQ(Font::Create(lf, 1252), a);
  struct Row {
    const char* what;
    LogFont lf;
    int codePage;
  };
  std::vector<Row> rows = {{"another code page", lf, 949}};
  rows.push_back({"another width", lf, 1252});
  rows.back().lf.width = 12;
  rows.push_back({"another face", lf, 1252});
  rows.back().lf.SetFaceName("DejaVu Serif");
  rows.push_back({"italic", lf, 1252});
  rows.back().lf.italic = 1;
  for (const Row& r : rows) {
    const std::shared_ptr<const Font> b = Font::Create(r.lf, r.codePage);
    ASSERT_TRUE(b) << r.what;
    EXPECT_NE(b, a) << r.what;
    EXPECT_EQ(Font::Create(r.lf, r.codePage), b) << r.what;
  }
  // Many other fonts later, the first is made anew: the cache is bounded.
  for (int32_t h = 1; h <= 600; ++h) {
    LogFont other = lf;
    other.height = -h;
    ASSERT_TRUE(Font::Create(other, 1252));
  }
  const std::shared_ptr<const Font> again = Font::Create(lf, 1252);
  EXPECT_NE(again, a);
  EXPECT_EQ(again->Metrics().height, a->Metrics().height);
}

} // namespace
} // namespace gdi

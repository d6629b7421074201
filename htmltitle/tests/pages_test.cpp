// Whole pages as the display shows them, painted offscreen and kept as PNG
// files beside the test program (artefacts/htmltitle/) for a person to look
// at: a song's title page, a score page filled in from its template, and a
// lyric page of Korean text that wraps.
#include "htmltitle/marquell.h"
#include "platform/sys/codepage.h"
#include "support/rendering.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace htmltitle {
namespace {

using gdi::Rect;
using gdi::Rgb;

constexpr gdi::Colour kBlack = Rgb(0, 0, 0);

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(VEXO_TEST_SOURCE_DIR) + "/fixtures/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool YellowHue(gdi::Colour c) {
  return gdi::RedOf(c) > 0 && gdi::RedOf(c) == gdi::GreenOf(c) && gdi::BlueOf(c) == 0;
}

TEST(Pages, TitlePage) {
  const int32_t width = 620;
  const int32_t height = 240;
  const Rendering r = Render(Fixture("title.htm"), width, height);
  EXPECT_FALSE(KeepArtefact(*r.surface, "title-page").empty());
  std::vector<std::string> texts;
  for (const Piece& p : r.pieces) {
    if (p.bytes != " ") {
      texts.push_back(p.bytes);
    }
  }
  // The title in the TITLE tag is not drawn; each line is one piece.
  EXPECT_EQ(texts,
            (std::vector<std::string>{"Twinkle, Twinkle, Little Star", "Words: Jane Taylor (1806)",
                                      "Melody: traditional French air", "Key: C Tempo: 100 4/4"}));
  // Each line is centred on the page and lies below the one before.
  int32_t previousBottom = 0;
  for (const Piece& p : r.pieces) {
    if (p.bytes == " ") {
      continue;
    }
    SCOPED_TRACE(p.bytes);
    EXPECT_EQ(p.run.format, gdi::kDtCenter);
    const Rect band{0, p.run.rect.top, width, p.run.rect.bottom};
    const Rect ink = BoxOf(*r.surface, Ink(kBlack), &band);
    EXPECT_NEAR((ink.left + ink.right) / 2, width / 2, 3);
    EXPECT_GE(p.run.rect.top, previousBottom);
    previousBottom = p.run.rect.bottom;
  }
  // The heading in its yellow outline.
  const Rect heading{0, r.pieces[0].run.rect.top - 1, width, r.pieces[0].run.rect.bottom + 1};
  EXPECT_GT(CountOf(*r.surface, YellowHue, &heading), 100);
  EXPECT_LT(previousBottom, height);
}

TEST(Pages, ScorePageFromItsTemplate) {
  // As the display fills it in: the page height's sixth and a quarter of
  // that, the style colours, the score and its remark.
  const int32_t width = 640;
  const int32_t height = 360;
  const int32_t s = height / 6;
  const int32_t q = s / 4;
  const std::string format = Fixture("score-template.htm");
  std::vector<char> page(format.size() * 2 + 64);
  // The template is the format, as the display uses it.
  const int n = std::snprintf(page.data(), page.size(), format.c_str(), s, "#ff2020", "#ffffff",
                              "95", q, "#000080", "#ffff00", "Excellent!");
  ASSERT_GT(n, 0);
  const Rendering r = Render(page.data(), width, height);
  EXPECT_FALSE(KeepArtefact(*r.surface, "score-page").empty());
  std::vector<std::string> texts;
  for (const Piece& p : r.pieces) {
    texts.push_back(p.bytes);
  }
  // The line break that ends the file is a blank after the last tag.
  ASSERT_EQ(texts, (std::vector<std::string>{"95", "Excellent!", " "}));
  const Piece& score = r.pieces[0];
  EXPECT_EQ(score.run.font->Description().height, -80);
  EXPECT_EQ(score.run.colour, Rgb(255, 255, 255));
  EXPECT_EQ(score.run.outlineColour, Rgb(255, 32, 32));
  const Piece& remark = r.pieces[1];
  EXPECT_EQ(remark.run.font->Description().height, -20);
  EXPECT_EQ(remark.run.rect.top, score.run.font->Metrics().height);
  for (const Piece& p : r.pieces) {
    if (p.bytes == " ") {
      continue;
    }
    const Rect band{0, p.run.rect.top - 1, width, p.run.rect.bottom + 1};
    const Rect ink = BoxOf(*r.surface, Ink(kBlack), &band);
    EXPECT_NEAR((ink.left + ink.right) / 2, width / 2, 3) << p.bytes;
  }
}

TEST(Pages, KoreanLyricPageWrapsWithinThePage) {
  // The lyric template followed by lyric lines, two to a paragraph.
  const std::optional<std::string> lyric = sys::FromUtf8(
      "<HTML><BODY><FONT COLOR=silver>반짝반짝 작은 별 아름답게 비치네 / 동쪽 하늘에서도 "
      "서쪽 하늘에서도<P>반짝반짝 작은 별 아름답게 비치네 / ",
      949);
  ASSERT_TRUE(lyric);
  const int32_t width = 200;
  const int32_t height = 160;
  const Rendering r = Render(*lyric, width, height);
  EXPECT_FALSE(KeepArtefact(*r.surface, "lyric-page").empty());
  // Both paragraphs are longer than a line.
  ASSERT_GE(r.pieces.size(), 4u);
  EXPECT_GT(r.pieces[1].run.offset, 0);
  EXPECT_EQ(r.pieces[1].run.rect.left, 5);
  for (const Piece& p : r.pieces) {
    EXPECT_EQ(GetDbcsByteClass(p.bytes.data(), static_cast<int32_t>(p.bytes.size()) - 1) == 1,
              false)
        << "a piece ends on a lead byte";
  }
  const Rect ink = BoxOf(*r.surface, Ink(kBlack));
  EXPECT_LE(ink.right, width);
  EXPECT_LE(ink.bottom, height);
}

} // namespace
} // namespace htmltitle

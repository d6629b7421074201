// Pages painted offscreen and checked by their pixels and by where each
// piece of text went: alignment, colours, fonts, line breaks, outlined and
// shadowed text, texts that are not drawn, and values from attributes that
// are far out of range.
#include "support/rendering.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace htmltitle {
namespace {

using gdi::Rect;
using gdi::Rgb;

constexpr gdi::Colour kBlack = Rgb(0, 0, 0);
constexpr gdi::Colour kWhite = Rgb(255, 255, 255);
constexpr int32_t kWidth = 300;
constexpr int32_t kHeight = 120;
constexpr int32_t kRightEdge = kWidth - 5;

std::string PieceTexts(const Rendering& r) {
  std::string out;
  for (const Piece& p : r.pieces) {
    out += (out.empty() ? "" : "|") + p.bytes;
  }
  return out;
}

TEST(Alignment, TextsThatFitAreAlignedBetweenThePenAndTheRightEdge) {
  struct Case {
    const char* page;
    uint32_t format;
  };
  const Case cases[] = {
      {"<BODY>WWWW", gdi::kDtLeft},
      {"<ALIGN TYPE=left>WWWW", gdi::kDtLeft},
      {"<ALIGN TYPE=center>WWWW", gdi::kDtCenter},
      {"<ALIGN TYPE=Right>WWWW", gdi::kDtRight},
      {"<P ALIGN=center>WWWW", gdi::kDtCenter},
      {"<P ALIGN=RIGHT>WWWW", gdi::kDtRight},
      {"<P ALIGN=right>x</P>WWWW", gdi::kDtLeft}, // /P goes back to the left
      {"<ALIGN TYPE=right>x</ALIGN>WWWW", gdi::kDtLeft},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    const Rendering r = Render(c.page, kWidth, kHeight);
    ASSERT_FALSE(r.pieces.empty());
    const Piece& last = r.pieces.back();
    ASSERT_EQ(last.bytes, "WWWW");
    EXPECT_EQ(last.run.format, c.format);
    const Rect line{0, last.run.rect.top, kWidth + 20, last.run.rect.top + 15};
    const Rect ink = BoxOf(*r.surface, Ink(kBlack), &line);
    ASSERT_FALSE(ink.IsEmpty());
    const int32_t x = last.run.rect.left;
    switch (c.format) {
    case gdi::kDtLeft:
      EXPECT_NEAR(ink.left, x, 2);
      break;
    case gdi::kDtCenter:
      EXPECT_NEAR((ink.left + ink.right) / 2, (x + kRightEdge) / 2, 2);
      break;
    case gdi::kDtRight:
      EXPECT_NEAR(ink.right, kRightEdge, 2);
      break;
    }
  }
}

TEST(Alignment, CentredTextStillMovesThePenByItsWidth) {
  const Rendering r = Render("<ALIGN TYPE=center>ab<B>cd", kWidth, kHeight);
  ASSERT_EQ(PieceTexts(r), "ab|cd");
  const Rect& first = r.pieces[0].run.rect;
  const Rect& second = r.pieces[1].run.rect;
  EXPECT_EQ(first.left, 5);
  EXPECT_GT(second.left, first.left);
  EXPECT_EQ(second.top, first.top);
  EXPECT_EQ(second.right, kRightEdge);
}

// Every ink pixel on black is the colour scaled by its coverage, and the
// glyphs' stems show the colour itself.
void ExpectDrawnIn(const gdi::Surface& s, const Rect& area, gdi::Colour colour) {
  int exact = 0;
  int ink = 0;
  for (gdi::Colour c : s.CopyPixels(area)) {
    if (c == kBlack) {
      continue;
    }
    ++ink;
    exact += c == colour ? 1 : 0;
    EXPECT_LE(gdi::RedOf(c), gdi::RedOf(colour));
    EXPECT_LE(gdi::GreenOf(c), gdi::GreenOf(colour));
    EXPECT_LE(gdi::BlueOf(c), gdi::BlueOf(colour));
  }
  EXPECT_GT(ink, 0);
  EXPECT_GT(exact, 0);
}

TEST(Colours, TextColoursFromFontAnchorsAndTheContext) {
  struct Case {
    const char* page;
    std::vector<gdi::Colour> colours; // of each piece
  };
  const Case cases[] = {
      {"<BODY>HHHH", {kWhite}},
      {"<FONT COLOR=red>HHHH", {Rgb(255, 0, 0)}},
      {"<FONT COLOR=\"#FF8000\">HHHH", {Rgb(255, 128, 0)}},
      {"<FONT COLOR=Lime>HHHH", {Rgb(0, 255, 0)}},
      {"<FONT COLOR=red>HH</FONT>HH", {Rgb(255, 0, 0), Rgb(255, 0, 0)}}, // /FONT keeps it
      {"<A HREF=x>HH</A>HH", {Rgb(0, 0, 255), kWhite}},
      {"<FONT COLOR=teal>a<A>HH</A>HH", {Rgb(0, 128, 128), Rgb(0, 0, 255), Rgb(0, 128, 128)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    const Rendering r = Render(c.page, kWidth, kHeight);
    ASSERT_EQ(r.pieces.size(), c.colours.size());
    for (size_t i = 0; i < r.pieces.size(); ++i) {
      const Piece& p = r.pieces[i];
      EXPECT_EQ(p.run.colour, c.colours[i]) << i;
      // The part of the line from this piece to the next.
      const int32_t right = i + 1 < r.pieces.size() ? r.pieces[i + 1].run.rect.left : kWidth;
      const int32_t left = p.run.rect.left;
      if (p.bytes == "HH" || p.bytes == "HHHH") {
        ExpectDrawnIn(*r.surface, Rect{left, 0, right, 15}, c.colours[i]);
      }
    }
  }
}

TEST(Colours, FontBackgroundFillsTheTextsCellUntilFontEnds) {
  const Rendering r =
      Render("<FONT BACKGROUND=navy>xx</FONT>yy<FONT COLOR=red>zz", kWidth, kHeight);
  ASSERT_EQ(PieceTexts(r), "xx|yy|zz");
  const gdi::Colour navy = Rgb(0, 0, 128);
  const Rect box = BoxOf(*r.surface, Exactly(navy));
  const Rect& xx = r.pieces[0].run.rect;
  const Rect& yy = r.pieces[1].run.rect;
  // The whole cell of xx, from its pen to the next pen, one line high.
  EXPECT_EQ(box, (Rect{xx.left, xx.top, yy.left, xx.top + 15}));
}

TEST(Fonts, StylesSizesFacesAndHeadings) {
  struct Case {
    const char* page;
    int32_t height; // of the last piece's font
    int32_t weight;
    uint8_t italic;
    uint8_t underline;
    const char* face;
    int32_t top; // of the last piece
  };
  const Case cases[] = {
      {"<BODY>x", -13, 400, 0, 0, "", 0},
      {"<B>x", -13, 700, 0, 0, "", 0},
      {"<B>a</B>x", -13, 400, 0, 0, "", 0},
      {"<I>x", -13, 400, 1, 0, "", 0},
      {"<CITE>x", -13, 400, 1, 0, "", 0},
      {"<I>a</CITE>x", -13, 400, 0, 0, "", 0},
      {"<U>x", -13, 400, 0, 1, "", 0},
      {"<U>a</U>x", -13, 400, 0, 0, "", 0},
      {"<FONT SIZE=20>x", -27, 400, 0, 0, "", 0},
      {"<FONT SIZE=\"14\">a</FONT>x", -19, 400, 0, 0, "", 0}, // /FONT keeps the size
      {"<FONT FACE=\"DejaVu Serif\">x", -13, 400, 0, 0, "DejaVu Serif", 0},
      {"<FONT FACE=\"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij\">x", -13, 400, 0, 0,
       "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde", 0},
      {"<H1>x", -27, 400, 0, 0, "", 10},
      {"<H2>x", -24, 400, 0, 0, "", 10},
      {"<H3>x", -21, 400, 0, 0, "", 10},
      {"<H4>x", -19, 400, 0, 0, "", 10},
      {"<H5>x", -16, 400, 0, 0, "", 10},
      {"<H6>x", -13, 400, 0, 0, "", 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    const Rendering r = Render(c.page, kWidth, kHeight);
    ASSERT_FALSE(r.pieces.empty());
    const Piece& last = r.pieces.back();
    ASSERT_EQ(last.bytes, "x");
    ASSERT_TRUE(last.run.font);
    const gdi::LogFont& lf = last.run.font->Description();
    EXPECT_EQ(lf.height, c.height);
    EXPECT_EQ(lf.weight, c.weight);
    EXPECT_EQ(lf.italic, c.italic);
    EXPECT_EQ(lf.underline, c.underline);
    EXPECT_EQ(lf.FaceName(), c.face);
    EXPECT_EQ(lf.charSet, gdi::kDefaultCharSet);
    EXPECT_EQ(lf.outPrecision, 7);
    EXPECT_EQ(lf.quality, 0);
    EXPECT_EQ(last.run.rect.top, c.top);
  }
}

TEST(Fonts, BoldUnderlinedAndLargerTextsShowAsSuch) {
  const Rendering plain = Render("<BODY>HHHHHHHH", kWidth, kHeight);
  const Rendering bold = Render("<B>HHHHHHHH", kWidth, kHeight);
  const Rendering underlined = Render("<U>HHHHHHHH", kWidth, kHeight);
  const Rendering large = Render("<FONT SIZE=30>HHHHHHHH", kWidth, kHeight);
  const int plainInk = CountOf(*plain.surface, Ink(kBlack));
  EXPECT_GT(CountOf(*bold.surface, Ink(kBlack)), plainInk * 11 / 10);
  // Underlined: rows below the plain text's ink, as wide as the text.
  const Rect plainBox = BoxOf(*plain.surface, Ink(kBlack));
  const Rect underBox = BoxOf(*underlined.surface, Ink(kBlack));
  EXPECT_GT(underBox.bottom, plainBox.bottom);
  const Rect underline{0, plainBox.bottom, kWidth, underBox.bottom};
  const Rect lineInk = BoxOf(*underlined.surface, Ink(kBlack), &underline);
  EXPECT_GE(lineInk.Width(), plainBox.Width() - 2);
  // 30 points are 40 pixels high; the capitals take most of that.
  const Rect largeBox = BoxOf(*large.surface, Ink(kBlack));
  EXPECT_GT(largeBox.Height(), 2 * plainBox.Height());
  EXPECT_EQ(large.pieces.at(0).run.font->Description().height, -40);
}

TEST(LineBreaks, BreaksAndParagraphsMoveThePenDown) {
  struct Case {
    const char* page;
    std::vector<gdi::Point> pens; // of each piece
  };
  const Case cases[] = {
      {"<BODY>one<BR>two", {{5, 0}, {5, 15}}},
      {"<BODY>one<BR><BR>two", {{5, 0}, {5, 30}}},
      {"<BR>one", {{5, 10}}}, // the first line height is 10
      {"<BODY>a<P>b", {{5, 0}, {5, 15}}},
      {"<BODY>a<P SIZE=40>b</P>c", {{5, 0}, {5, 40}, {5, 80}}},
      {"<BODY>a<P SIZE=40 ALIGN=center>b", {{5, 0}, {5, 40}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    const Rendering r = Render(c.page, kWidth, kHeight);
    ASSERT_EQ(r.pieces.size(), c.pens.size());
    for (size_t i = 0; i < r.pieces.size(); ++i) {
      EXPECT_EQ(r.pieces[i].run.rect.left, c.pens[i].x) << i;
      EXPECT_EQ(r.pieces[i].run.rect.top, c.pens[i].y) << i;
    }
  }
  // On screen: the second line's ink lies wholly below the first's.
  const Rendering r = Render("<BODY>one<BR>two", kWidth, kHeight);
  const Rect first{0, 0, kWidth, 15};
  const Rect second{0, 15, kWidth, 30};
  EXPECT_FALSE(BoxOf(*r.surface, Ink(kBlack), &first).IsEmpty());
  EXPECT_FALSE(BoxOf(*r.surface, Ink(kBlack), &second).IsEmpty());
}

// Yellow over black at any coverage.
bool Yellowish(gdi::Colour c) {
  return gdi::RedOf(c) > 0 && gdi::RedOf(c) == gdi::GreenOf(c) && gdi::BlueOf(c) == 0;
}

TEST(LineBreaks, ABreakDropsByTheHeightOfTheLastTextMeasured) {
  // Headings start 10 units down; /H2 goes back to 10 points and ends the
  // line after its own text.
  const Rendering r = Render("<H2>a</H2>b<B>c<BR>d<FONT SIZE=20>e<BR>f", kWidth, kHeight);
  ASSERT_EQ(PieceTexts(r), "a|b|c|d|e|f");
  const auto cell = [&](size_t i) { return r.pieces[i].run.font->Metrics().height; };
  EXPECT_EQ(r.pieces[0].run.font->Description().height, -24);
  EXPECT_EQ(r.pieces[1].run.font->Description().height, -13);
  EXPECT_EQ(r.pieces[0].run.rect.top, 10);
  EXPECT_EQ(r.pieces[1].run.rect.top, 10);
  EXPECT_GT(r.pieces[1].run.rect.left, 5);
  EXPECT_EQ(r.pieces[2].run.rect.top, 10 + cell(1));
  EXPECT_EQ(r.pieces[2].run.rect.left, 5);
  EXPECT_EQ(r.pieces[3].run.rect.top, 10 + 2 * cell(1));
  EXPECT_EQ(r.pieces[4].run.rect.top, 10 + 2 * cell(1));
  EXPECT_EQ(r.pieces[5].run.rect.top, 10 + 2 * cell(1) + cell(4));
  EXPECT_GT(cell(4), cell(1));
}

TEST(OutlinedText, FourCopiesAroundTheTextInTheOutlineColour) {
  const Rendering plain = Render("<BODY>HIH", kWidth, kHeight);
  const Rendering outlined = Render("<O COLOR=yellow TYPE=outline>HIH</O>", kWidth, kHeight);
  ASSERT_EQ(outlined.pieces.size(), 1u);
  const DrawnRun& run = outlined.pieces[0].run;
  EXPECT_TRUE(run.outlined);
  EXPECT_EQ(run.outlineType, kOutlineText);
  EXPECT_EQ(run.outlineColour, Rgb(255, 255, 0));
  EXPECT_EQ(run.colour, kWhite);
  // The copies one pixel off diagonally widen the ink by one pixel each way.
  const Rect text = BoxOf(*plain.surface, Ink(kBlack));
  EXPECT_EQ(BoxOf(*outlined.surface, Ink(kBlack)), gdi::Inflate(text, 1, 1));
  // Yellow around, the text itself white on top.
  EXPECT_GT(CountOf(*outlined.surface, Exactly(Rgb(255, 255, 0))), 0);
  EXPECT_GT(CountOf(*outlined.surface, Exactly(kWhite)), 0);
  const Rect above{0, text.top - 1, kWidth, text.top};
  EXPECT_GT(CountOf(*outlined.surface, Yellowish, &above), 0);
  EXPECT_EQ(CountOf(*outlined.surface, Exactly(kWhite), &above), 0);
}

TEST(OutlinedText, ShadowIsOneCopyRightAndDown) {
  const Rendering plain = Render("<BODY>HIH", kWidth, kHeight);
  const Rendering shadowed = Render("<O COLOR=yellow TYPE=shadow>HIH</O>", kWidth, kHeight);
  ASSERT_EQ(shadowed.pieces.size(), 1u);
  EXPECT_EQ(shadowed.pieces[0].run.outlineType, kShadowText);
  const Rect text = BoxOf(*plain.surface, Ink(kBlack));
  EXPECT_EQ(BoxOf(*shadowed.surface, Ink(kBlack)),
            (Rect{text.left, text.top, text.right + 1, text.bottom + 1}));
  // The row below the text is shadow only.
  const Rect below{0, text.bottom, kWidth, text.bottom + 1};
  EXPECT_GT(CountOf(*shadowed.surface, Yellowish, &below), 0);
  EXPECT_EQ(CountOf(*shadowed.surface, Ink(kBlack), &below),
            CountOf(*shadowed.surface, Yellowish, &below));
}

TEST(OutlinedText, WithoutAttributesAGreyShadowOppositeTheTextsRed) {
  RenderSetup setup;
  setup.text = Rgb(55, 200, 255);
  const Rendering r = Render("<O>HIH</O>after", kWidth, kHeight, setup);
  ASSERT_EQ(PieceTexts(r), "HIH|after");
  EXPECT_EQ(r.pieces[0].run.outlineColour, Rgb(200, 200, 200));
  EXPECT_EQ(r.pieces[0].run.outlineType, kShadowText);
  EXPECT_EQ(r.pieces[0].run.colour, setup.text);
  EXPECT_GT(CountOf(*r.surface, Exactly(Rgb(200, 200, 200))), 0);
  EXPECT_GT(CountOf(*r.surface, Exactly(setup.text)), 0);
  // /O ends the copies and keeps the colour.
  EXPECT_FALSE(r.pieces[1].run.outlined);
  EXPECT_EQ(r.pieces[1].run.colour, setup.text);
}

TEST(OutlinedText, ColourChangesInsideTheTagColourTheTextNotTheCopies) {
  const Rendering r =
      Render("<O COLOR=yellow TYPE=outline><FONT COLOR=red>HH</FONT></O>x", kWidth, kHeight);
  ASSERT_EQ(PieceTexts(r), "HH|x");
  EXPECT_EQ(r.pieces[0].run.colour, Rgb(255, 0, 0));
  EXPECT_EQ(r.pieces[0].run.outlineColour, Rgb(255, 255, 0));
  EXPECT_EQ(r.pieces[1].run.colour, Rgb(255, 0, 0));
  EXPECT_GT(CountOf(*r.surface, Exactly(Rgb(255, 0, 0))), 0);
  EXPECT_GT(CountOf(*r.surface, Exactly(Rgb(255, 255, 0))), 0);
}

TEST(Suppressed, TitleAndCommentTextsAreNotDrawn) {
  struct Case {
    const char* page;
    const char* drawn;
  };
  const Case cases[] = {
      {"<TITLE>Hidden</TITLE>Shown", "Shown"},
      {"<B>a<!-- note -->b<I>c", "a|c"},
      {"<HTML><HEAD><TITLE>T</TITLE></HEAD><BODY>Body</BODY></HTML>", "Body"},
      {"", ""},
      {"<B></B>", ""},
  };
  for (const Case& c : cases) {
    const Rendering r = Render(c.page, kWidth, kHeight);
    EXPECT_EQ(PieceTexts(r), c.drawn) << c.page;
  }
  const Rendering hidden = Render("<TITLE>Hidden", kWidth, kHeight);
  EXPECT_EQ(CountOf(*hidden.surface, Ink(kBlack)), 0);
}

TEST(Bounds, SizesFromAttributesAreHeldToWhatCanBeDrawn) {
  struct Case {
    const char* page;
    int32_t height; // of the font of the piece "x"
    int32_t top;
  };
  const Case cases[] = {
      {"<FONT SIZE=99999999999>x", -gdi::kMaxFontHeight, 0},
      {"<FONT SIZE=2000>x", -gdi::kMaxFontHeight, 0},
      {"<FONT SIZE=1536>x", -gdi::kMaxFontHeight, 0},
      {"<FONT SIZE=0>x", -1, 0},
      {"<FONT SIZE=-40>x", -1, 0},
      {"<FONT SIZE=abc>x", -1, 0},
      {"<P SIZE=-99999999999>x", -13, -gdi::kMaxCoordinate},
      {"<P SIZE=99999999999>a<P SIZE=99999999999>b<P SIZE=2147483647>x", -13, gdi::kMaxCoordinate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    // A page wide enough for an x of the largest font, on a small surface.
    RenderSetup setup;
    setup.surface = gdi::Size{kWidth, kHeight};
    const Rendering r = Render(c.page, 4000, 4000, setup);
    ASSERT_FALSE(r.pieces.empty());
    const Piece& x = r.pieces.back();
    ASSERT_EQ(x.bytes, "x");
    ASSERT_TRUE(x.run.font);
    EXPECT_EQ(x.run.font->Description().height, c.height);
    EXPECT_EQ(x.run.rect.top, c.top);
  }
}

TEST(Bounds, NothingIsDrawnOutsideThePage) {
  const std::string page = "<FONT SIZE=60>WWWWWWWWWWWWWWWWWWWWW<BR>WWW<P ALIGN=right>"
                           "<O TYPE=outline COLOR=red>W</O><P SIZE=-30>WWWWWWWWWWWWWWWWW";
  RenderSetup setup;
  setup.spare = 60;
  const Rendering r = Render(page, 200, 100, setup);
  const Rect ink = BoxOf(*r.surface, Ink(kBlack));
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_LE(ink.right, 200);
  EXPECT_LE(ink.bottom, 100);
}

} // namespace
} // namespace htmltitle

// The word wrap: texts wider than the rest of the line are cut by the
// measured share of their bytes, never between the two bytes of a character,
// at every width down to none; painting stops below the page.
#include "htmltitle/marquell.h"
#include "platform/sys/codepage.h"
#include "support/rendering.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace htmltitle {
namespace {

using gdi::Rect;
using gdi::Rgb;

constexpr gdi::Colour kBlack = Rgb(0, 0, 0);

std::string Bytes(const char* utf8, int codePage) {
  const std::optional<std::string> bytes = sys::FromUtf8(utf8, codePage);
  EXPECT_TRUE(bytes.has_value()) << utf8;
  return bytes.value_or("");
}

// True at each position where a character starts, and at the end.
std::vector<bool> CharacterStarts(const std::string& text, int codePage) {
  std::vector<bool> starts(text.size() + 1, false);
  for (size_t i = 0; i < text.size();) {
    starts[i] = true;
    const bool lead = sys::IsLeadByte(static_cast<uint8_t>(text[i]), codePage);
    i += lead && i + 1 < text.size() ? 2 : 1;
  }
  starts[text.size()] = true;
  return starts;
}

int32_t WidthIn(const std::shared_ptr<const gdi::Font>& font, const std::string& text) {
  auto s = gdi::Surface::Create(1, 1);
  gdi::Dc dc(s);
  dc.SelectFont(font);
  return dc.TextExtent(text).cx;
}

// The font a page starts in.
std::shared_ptr<const gdi::Font> BodyFont(int codePage) {
  gdi::LogFont lf;
  lf.height = -13;
  lf.weight = gdi::kWeightNormal;
  lf.outPrecision = 7;
  return gdi::Font::Create(lf, codePage);
}

struct WrapText {
  const char* what;
  int codePage;
  std::string bytes;
  bool evenWidths; // every character as wide as its share of bytes
};

std::vector<WrapText> Texts() {
  return {
      {"Korean", 949, Bytes("가나다라마바사아자차카타파하", 949), true},
      {"Korean after a letter", 949, "a" + Bytes("가나다라마바사아자차", 949), false},
      {"Korean words", 949, Bytes("한국어 노래 반짝반짝 작은 별", 949), false},
      // Shift-JIS trail bytes below 0x80 (the 0x4A of katakana ka).
      {"Japanese", 932, Bytes("カラオケの歌カラオケの歌", 932), false},
  };
}

TEST(Wrap, AtEveryWidthPiecesEndBetweenCharactersAndFollowEachOther) {
  for (const WrapText& t : Texts()) {
    SCOPED_TRACE(t.what);
    RenderSetup setup;
    setup.codePage = t.codePage;
    setup.surface = gdi::Size{1, 1};
    const std::vector<bool> starts = CharacterStarts(t.bytes, t.codePage);
    const auto font = BodyFont(t.codePage);
    ASSERT_TRUE(font);
    const int32_t fullWidth = WidthIn(font, t.bytes);
    int32_t widestCharacter = 0;
    for (size_t i = 0; i < t.bytes.size();) {
      size_t end = i + 1;
      while (!starts[end]) {
        ++end;
      }
      widestCharacter = std::max(widestCharacter, WidthIn(font, t.bytes.substr(i, end - i)));
      i = end;
    }
    int naiveSplits = 0;
    for (int32_t width = 0; width < 10 + fullWidth + 20; ++width) {
      SCOPED_TRACE(width);
      const Rendering r = Render("<BODY>" + t.bytes, width, 1000, setup);
      // Where a cut by the share of bytes alone would have fallen.
      if (width - 10 < fullWidth && width > 10) {
        const size_t naive = t.bytes.size() * static_cast<size_t>(width - 10) / fullWidth;
        naiveSplits += starts[naive] ? 0 : 1;
      }
      int32_t done = 0;
      int32_t top = 0;
      for (size_t i = 0; i < r.pieces.size(); ++i) {
        const Piece& p = r.pieces[i];
        EXPECT_EQ(p.run.offset, done) << "piece " << i;
        done += p.run.length;
        EXPECT_TRUE(starts[done]) << "piece " << i << " ends inside a character at " << done;
        if (i > 0) {
          EXPECT_EQ(p.run.rect.left, 5);
          EXPECT_EQ(p.run.format, gdi::kDtLeft);
          EXPECT_EQ(p.run.rect.top, top + p.run.font->Metrics().height);
        }
        top = p.run.rect.top;
        if (t.evenWidths) {
          EXPECT_LE(p.run.rect.left + WidthIn(p.run.font, p.bytes), width) << "piece " << i;
        }
      }
      // Once there is room for a character on a line, all of the text shows.
      if (widestCharacter > 0 && width - 10 >= widestCharacter) {
        EXPECT_EQ(done, static_cast<int32_t>(t.bytes.size()));
      }
    }
    EXPECT_GT(naiveSplits, 0) << "no width where a cut by bytes alone splits a character";
  }
}

TEST(Wrap, TheDrawnPixelsAreThePiecesAtTheirPlaces) {
  const std::string text = Bytes("가나다라마바사아자차카타파하", 949);
  // Room for three and a half characters: the share of bytes is 7, one
  // byte into the fourth character.
  const int32_t width = 10 + 12 * 3 + 7;
  const Rendering r = Render("<BODY>" + text, width, 200);
  ASSERT_EQ(r.pieces.size(), 5u);
  for (size_t i = 0; i < r.pieces.size(); ++i) {
    EXPECT_EQ(r.pieces[i].run.offset, static_cast<int32_t>(6 * i));
    EXPECT_EQ(r.pieces[i].run.length, i < 4 ? 6 : 4);
    EXPECT_EQ(r.pieces[i].run.rect.top, static_cast<int32_t>(15 * i));
  }
  auto expected = gdi::Surface::Create(r.surface->Width(), r.surface->Height(), kBlack);
  gdi::Dc dc(expected);
  dc.SetBkMode(gdi::kTransparent);
  for (const Piece& p : r.pieces) {
    dc.SelectFont(p.run.font);
    dc.SetTextColor(p.run.colour);
    dc.TextOut(p.run.rect.left, p.run.rect.top, p.bytes);
  }
  EXPECT_EQ(r.surface->CopyPixels(), expected->CopyPixels());
  // Each line's ink stays within the page.
  const Rect ink = BoxOf(*r.surface, Ink(kBlack));
  EXPECT_LE(ink.right, width);
  EXPECT_LE(ink.bottom, 15 * 5);
}

TEST(Wrap, ThePenStandsAfterTheLastPiece) {
  const std::string text = Bytes("가나다라마바사", 949);
  const Rendering r = Render("<BODY>" + text + "<B>x", 10 + 12 * 3, 200);
  ASSERT_EQ(r.pieces.size(), 4u);
  const Piece& last = r.pieces[2];
  EXPECT_EQ(last.bytes, text.substr(12));
  EXPECT_EQ(r.pieces[3].bytes, "x");
  EXPECT_EQ(r.pieces[3].run.rect.left, 5 + 12);
  EXPECT_EQ(r.pieces[3].run.rect.top, last.run.rect.top);
}

TEST(Wrap, NoWidthOrTooLittleOfItDrawsWhatFitsAndReturns) {
  const std::string korean = Bytes("가나다라마바사", 949);
  struct Case {
    const char* what;
    std::string text;
    int32_t width;
    int32_t height;
    size_t pieces;
  };
  const Case cases[] = {
      {"no width", korean, 0, 100, 0},
      {"no width, a text of no width", "\x01\x01\x01", 0, 100, 0},
      {"narrower than the margins", korean, 7, 100, 0},
      {"edge on the margin, a text of no width", "\x01\x01", 5, 100, 0},
      {"negative width", korean, -50, 100, 0},
      // However tall the page: not tried again on every line below.
      {"room for a byte's share, not a character", korean, 10 + 7, INT32_MAX, 0},
      {"room for one character a line", korean, 10 + 12, 200, 7},
      {"no height", korean, 30, 0, 1},
      {"negative height", korean, 30, -10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RenderSetup setup;
    setup.surface = gdi::Size{100, 120};
    const Rendering r = Render("<BODY>" + c.text, c.width, c.height, setup);
    EXPECT_EQ(r.pieces.size(), c.pieces);
    const Rect ink = BoxOf(*r.surface, Ink(kBlack));
    if (c.width <= 0 || c.height <= 0) {
      EXPECT_TRUE(ink.IsEmpty());
    } else if (!ink.IsEmpty()) {
      EXPECT_LE(ink.right, c.width);
      EXPECT_LE(ink.bottom, c.height);
    }
  }
}

TEST(Wrap, NothingMoreOnceALineWouldStartBelowThePage) {
  const std::string korean = Bytes("가나다라마바사아자차카타파하가나다라마바사아자차카타파하", 949);
  struct Case {
    const char* what;
    std::string page;
    int32_t height;
    std::vector<int32_t> tops; // of the pieces drawn
  };
  const Case cases[] = {
      // Lines at 0, 15 and 30; the next would start at 45.
      {"wrapped past the bottom", "<BODY>" + korean + "<B>after", 40, {0, 15, 30}},
      {"a short text below the page is drawn", "<P SIZE=100><B>x", 40, {100}},
      {"a text to wrap below the page is not", "<P SIZE=100>" + korean + "<B>x", 40, {}},
      {"a heading's end below the page stops", "<H1>a</H1><B>b", 20, {10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Rendering r = Render(c.page, 10 + 12 * 4, c.height);
    std::vector<int32_t> tops;
    for (const Piece& p : r.pieces) {
      tops.push_back(p.run.rect.top);
    }
    EXPECT_EQ(tops, c.tops);
  }
}

} // namespace
} // namespace htmltitle

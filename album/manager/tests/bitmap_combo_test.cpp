// The view-type combo's items as drawn: off-screen, then one pixel higher
// than their rectangle; the highlight of a dropped item from x 19 to the
// text's width and 23; the image at (3, 0), the second one for a focus
// change; the bitmap's teal entries turned into the window colour, read
// from hand-built BMP files of 4 and 8 bits.
#include "album/manager/bitmap_combo.h"
#include "platform/ui/tests/support/screen_session.h"

#include <cstring>

using namespace album;
using namespace uitest;

namespace {

constexpr gdi::Colour kTeal = gdi::Rgb(0, 128, 128);
constexpr gdi::Colour kBlue = gdi::Rgb(0, 0, 192);
constexpr gdi::Colour kRed = gdi::Rgb(192, 0, 0);
constexpr gdi::Colour kGreen = gdi::Rgb(0, 160, 0);

void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 32 x 16 bottom-up BMP: the left image index 2 (blue) with a teal first
// column (index 1), the right image index 3 (red). usedColours 0 gives the
// bit depth's full table.
std::vector<uint8_t> Bmp(uint16_t bits, uint32_t usedColours) {
  const uint32_t entries = usedColours ? usedColours : (1u << bits);
  const uint32_t stride = ((32 * bits + 31) / 32) * 4;
  std::vector<uint8_t> b;
  b.push_back('B');
  b.push_back('M');
  Put32(b, 14 + 40 + entries * 4 + stride * 16);
  Put32(b, 0);
  Put32(b, 14 + 40 + entries * 4);
  Put32(b, 40);
  Put32(b, 32);
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, bits);
  Put32(b, 0);
  Put32(b, stride * 16);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, usedColours);
  Put32(b, 0);
  const gdi::Colour table[4] = {gdi::Rgb(0, 0, 0), kTeal, kBlue, kRed};
  for (uint32_t i = 0; i < entries; ++i) {
    // Entries past the fourth are teal as well: all of them are the table's.
    const gdi::Colour c = i < 4 ? table[i] : kTeal;
    b.push_back(gdi::BlueOf(c));
    b.push_back(gdi::GreenOf(c));
    b.push_back(gdi::RedOf(c));
    b.push_back(0);
  }
  for (int row = 0; row < 16; ++row) {
    std::vector<uint8_t> line(stride, 0);
    for (int x = 0; x < 32; ++x) {
      const uint8_t index = x == 0 ? 1 : x < 16 ? 2 : 3;
      if (bits == 8)
        line[static_cast<size_t>(x)] = index;
      else
        line[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(x % 2 ? index : index << 4);
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  return b;
}

TEST(MaskedBitmap, EveryTealEntryOfTheTableTakesTheColour) {
  struct Case {
    uint16_t bits;
    uint32_t used;
    size_t entries;
  };
  for (const Case& c : {Case{4, 0, 16}, Case{8, 4, 4}, Case{8, 0, 256}}) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.used << " used");
    const std::vector<uint8_t> file = Bmp(c.bits, c.used);
    std::optional<gdi::Dib> dib = LoadMaskedBitmap(file, kGreen);
    ASSERT_TRUE(dib);
    ASSERT_EQ(dib->Colours().size(), c.entries);
    EXPECT_EQ(gdi::ColourOf(dib->Colours()[1]), kGreen);
    EXPECT_EQ(gdi::ColourOf(dib->Colours()[2]), kBlue);
    for (const gdi::RgbQuad& q : dib->Colours())
      EXPECT_NE(gdi::ColourOf(q), kTeal);
  }
  const std::vector<uint8_t> notBmp = {'P', 'K', 3, 4};
  EXPECT_FALSE(LoadMaskedBitmap(notBmp, kGreen));
}

class BitmapComboTest : public ScreenTest {};

TEST_F(BitmapComboTest, ItemsAreDrawnOffScreenAndCopiedOnePixelHigher) {
  // The combo outlives its parent's window, which takes the combo's along.
  AlbBitmapCombo combo;
  LogWindow parent;
  ASSERT_NE(Create(parent, kPlainClass, 0, {0, 0, 200, 100}), 0u);
  const std::vector<uint8_t> file = Bmp(4, 0);
  combo.Prepare("DejaVu Sans and a name past nineteen bytes", std::span<const uint8_t>(file));
  ASSERT_TRUE(combo.ItemFont());
  const gdi::LogFont& lf = combo.ItemFont()->Description();
  EXPECT_EQ(lf.height, 14);
  EXPECT_EQ(lf.weight, 400);
  EXPECT_EQ(lf.outPrecision, 7);
  EXPECT_EQ(lf.FaceName(), "DejaVu Sans and a n");
  ASSERT_TRUE(combo.Create(parent.GetHwnd(), 1001, {0, 0, 140, 150}));
  combo.AddString("Album");
  ui::MeasureItem measure;
  combo.Measure(measure);
  EXPECT_EQ(measure.itemHeight, 17);

  // The text's width in the combo's font.
  gdi::Dc probe(gdi::Surface::Create(4, 4));
  probe.SelectFont(combo.ItemFont());
  const int32_t textWidth = probe.TextExtent("Album").cx;
  ASSERT_GT(textWidth, 10);

  struct Case {
    const char* what;
    uint32_t action, state;
    bool highlighted;
    gdi::Colour image;
  };
  const Case cases[] = {
      {"dropped, selected", ui::ODA_SELECT, ui::ODS_SELECTED, true, kBlue},
      {"dropped, plain", ui::ODA_DRAWENTIRE, 0, false, kBlue},
      {"field, selected", ui::ODA_DRAWENTIRE, ui::ODS_SELECTED | ui::ODS_COMBOBOXEDIT, false,
       kBlue},
      {"focus change of a focused item", ui::ODA_FOCUS, ui::ODS_FOCUS, false, kRed},
      {"focus lost", ui::ODA_FOCUS, 0, false, kBlue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto target = gdi::Surface::Create(160, 40, kGreen);
    gdi::Dc dc(target);
    ui::DrawItem item;
    item.ctlId = 1001;
    item.itemId = 0;
    item.action = c.action;
    item.state = c.state;
    item.dc = &dc;
    item.rect = {0, 10, 140, 27};
    combo.Draw(item);
    // Rows 9 to 25 hold the item; row 26, below it, is left as it was.
    EXPECT_EQ(target->Pixel(10, 8), kGreen);
    EXPECT_EQ(target->Pixel(10, 9), c.image);
    EXPECT_EQ(target->Pixel(10, 24), c.image);
    EXPECT_EQ(target->Pixel(10, 26), kGreen);
    // The image spans x 3 to 18; the first one's teal column is the window
    // colour.
    if (c.image == kBlue)
      EXPECT_EQ(target->Pixel(3, 12), AlbBitmapCombo::kWindowColour);
    EXPECT_EQ(target->Pixel(2, 12), AlbBitmapCombo::kWindowColour);
    EXPECT_EQ(target->Pixel(18, 12), c.image);
    const gdi::Colour back = c.highlighted ? AlbBitmapCombo::kHighlight
                                           : AlbBitmapCombo::kWindowColour;
    EXPECT_EQ(target->Pixel(19, 24), back);
    EXPECT_EQ(target->Pixel(textWidth + 22, 24), back);
    EXPECT_EQ(target->Pixel(textWidth + 23, 24), AlbBitmapCombo::kWindowColour);
    // The text's ink lies within its width from x 21, nothing behind it.
    int inked = 0, stray = 0, teal = 0;
    for (int32_t y = 9; y < 26; ++y)
      for (int32_t x = 19; x < 140; ++x) {
        const gdi::Colour p = target->Pixel(x, y);
        const bool ink = p != back && p != AlbBitmapCombo::kWindowColour;
        inked += ink && x >= 21 && x < 21 + textWidth;
        stray += ink && (x < 21 || x >= 21 + textWidth + 1);
        teal += p == kTeal;
      }
    EXPECT_GT(inked, 20);
    EXPECT_EQ(stray, 0);
    EXPECT_EQ(teal, 0);
  }
}

} // namespace

// The games' 8-bit bitmap: hand-built BMP files read or refused (a refused
// file leaves the bitmap byte for byte as it was), pixel addressing, block
// copies with a key, remapping to a palette against a brute-force search,
// attaching a header block, and loading with its dialog and messages.
#include "games/dib.h"

#include "platform/gdi/surface.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using games::CDIB;

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(uint8_t(v >> (8 * i)));
}

// A BMP file byte by byte: 8 bits, pixel (x, y from the bottom) =
// 3x + y + 1, filler bytes 0xEE.
struct BmpSpec {
  int32_t width = 5, height = 3;
  uint32_t headerSize = 40; // 12: core header with 3-byte entries
  uint32_t clrUsed = 0;
  uint32_t compression = 0;
  uint16_t bitCount = 8;
  int tableEntries = 256;   // entries written
  size_t gap = 0;           // bytes between the table and the pixels
  int64_t bfSize = -1;      // -1: the true size
  bool magic = true;
  size_t cutPixels = 0;     // bytes left off the end
  int64_t offBits = -1;     // -1: where the pixels are
};

std::vector<uint8_t> Bmp(const BmpSpec& s) {
  const size_t stride = (size_t(s.width < 0 ? -s.width : s.width) + 3) & ~size_t{3};
  const int32_t rows = s.height < 0 ? -s.height : s.height;
  std::vector<uint8_t> header;
  if (s.headerSize == 12) {
    Put32(header, 12);
    Put16(header, uint16_t(s.width));
    Put16(header, uint16_t(s.height));
    Put16(header, 1);
    Put16(header, s.bitCount);
  } else {
    Put32(header, s.headerSize);
    Put32(header, uint32_t(s.width));
    Put32(header, uint32_t(s.height));
    Put16(header, 1);
    Put16(header, s.bitCount);
    Put32(header, s.compression);
    for (int i = 0; i < 3; ++i)
      Put32(header, 0);
    Put32(header, s.clrUsed);
    Put32(header, 0);
    header.resize(s.headerSize, 0);
  }
  for (int i = 0; i < s.tableEntries; ++i) {
    header.push_back(uint8_t(i));       // blue
    header.push_back(uint8_t(255 - i)); // green
    header.push_back(uint8_t(i / 2));   // red
    if (s.headerSize != 12)
      header.push_back(0x55);
  }
  header.resize(header.size() + s.gap, 0xAB);
  std::vector<uint8_t> pixels;
  for (int32_t y = 0; y < rows; ++y)
    for (size_t x = 0; x < stride; ++x)
      pixels.push_back(x < size_t(s.width) ? uint8_t(3 * x + y + 1) : 0xEE);
  pixels.resize(pixels.size() - std::min(s.cutPixels, pixels.size()));
  const uint32_t off = s.offBits >= 0 ? uint32_t(s.offBits) : uint32_t(14 + header.size());
  std::vector<uint8_t> file;
  Put16(file, s.magic ? 0x4D42 : 0x4D43);
  Put32(file, s.bfSize >= 0 ? uint32_t(s.bfSize) : uint32_t(14 + header.size() + pixels.size()));
  Put32(file, 0);
  Put32(file, off);
  file.insert(file.end(), header.begin(), header.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

// Reads bytes from a memory file, starting lead bytes in.
int Read(CDIB& dib, std::vector<uint8_t> bytes, size_t lead = 0) {
  bytes.insert(bytes.begin(), lead, 0x77);
  std::FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
  EXPECT_TRUE(f);
  std::fseek(f, long(lead), SEEK_SET);
  const int r = dib.ReadFromFile(f);
  std::fclose(f);
  return r;
}

struct Snapshot {
  std::vector<uint8_t> block, pixels;
  bool owns;
  explicit Snapshot(const CDIB& d)
      : block(d.HeaderBlock().begin(), d.HeaderBlock().end()),
        pixels(d.Bits(), d.Bits() + d.Stride() * size_t(d.GetHeight())), owns(d.OwnsBits()) {}
  bool operator==(const Snapshot&) const = default;
};

TEST(Cdib, StartsAsABlankGreySixteenBySixteen) {
  CDIB d;
  EXPECT_EQ(d.GetWidth(), 16);
  EXPECT_EQ(d.GetHeight(), 16);
  EXPECT_EQ(d.Info().size, 40u);
  EXPECT_EQ(d.Info().planes, 1);
  EXPECT_EQ(d.Info().bitCount, 8);
  EXPECT_EQ(d.Info().clrUsed, 0u);
  EXPECT_EQ(d.NumColors(), 256);
  EXPECT_EQ(d.HeaderBlock().size(), 1064u);
  EXPECT_EQ(d.ColourTable()[200], (gdi::RgbQuad{200, 200, 200, 0}));
  EXPECT_TRUE(d.OwnsBits());
  ASSERT_EQ(d.CreateBlank(5, 2), 1);
  EXPECT_EQ(d.Stride(), 8u);
  for (size_t i = 0; i < 16; ++i)
    EXPECT_EQ(d.Bits()[i], 0);
  gdi::Rect r;
  d.GetRect(&r);
  EXPECT_EQ(r, (gdi::Rect{0, 0, 5, 2}));
  const Snapshot before(d);
  EXPECT_EQ(d.CreateBlank(0, 5), 0);
  EXPECT_EQ(d.CreateBlank(5, 40000), 0);
  EXPECT_TRUE(Snapshot(d) == before);
}

TEST(Cdib, ReadsHandBuiltFiles) {
  struct Row {
    const char* name;
    BmpSpec spec;
    int colours;
    gdi::RgbQuad entry7; // colour-table entry 7 after the read
    size_t lead = 0;
  } rows[] = {
      {"40-byte header", {}, 256, {7, 248, 3, 0x55}},
      {"core header, triples widened", {.headerSize = 12}, 256, {7, 248, 3, 0}},
      {"16 colours used, a gap before the pixels", {.clrUsed = 16, .tableEntries = 16, .gap = 6},
       16, {7, 248, 3, 0x55}},
      {"file size 0", {.bfSize = 0}, 256, {7, 248, 3, 0x55}},
      {"file size below the pixel offset", {.bfSize = 20}, 256, {7, 248, 3, 0x55}},
      {"file size past the end", {.bfSize = 1 << 30}, 256, {7, 248, 3, 0x55}},
      {"a file inside a larger one", {}, 256, {7, 248, 3, 0x55}, 33},
      {"width a multiple of 4", {.width = 8, .height = 2}, 256, {7, 248, 3, 0x55}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    CDIB d;
    ASSERT_EQ(Read(d, Bmp(row.spec), row.lead), 1);
    EXPECT_EQ(d.GetWidth(), row.spec.width);
    EXPECT_EQ(d.GetHeight(), row.spec.height);
    EXPECT_EQ(d.Info().size, 40u);
    EXPECT_EQ(d.NumColors(), row.colours);
    EXPECT_EQ(d.ColourTable()[7], row.entry7);
    EXPECT_TRUE(d.OwnsBits());
    // Top-down addressing over bottom-up rows.
    for (int32_t y = 0; y < d.GetHeight(); ++y)
      for (int32_t x = 0; x < d.GetWidth(); ++x)
        ASSERT_EQ(*d.GetPixelAddress(x, y), uint8_t(3 * x + (d.GetHeight() - 1 - y) + 1));
    if (row.spec.width % 4)
      EXPECT_EQ(d.Bits()[d.Stride() - 1], 0xEE);
  }
}

TEST(Cdib, RefusedFilesLeaveTheBitmapAsItWas) {
  struct Row {
    const char* name;
    BmpSpec spec;
  } rows[] = {
      {"no BM", {.magic = false}},
      {"header 108", {.headerSize = 108}},
      {"header 124", {.headerSize = 124}},
      {"short table", {.tableEntries = 100, .cutPixels = 1000}},
      {"short pixels", {.cutPixels = 1}},
      {"257 colours used", {.clrUsed = 257, .tableEntries = 257}},
      {"RLE8", {.compression = 1}},
      {"top-down", {.height = -3}},
      {"width 0", {.width = 0}},
      {"height 0", {.height = 0}},
      {"a side too long", {.width = 40000, .height = 1, .cutPixels = 40000}},
      {"pixels inside the table", {.offBits = 60}},
  };
  CDIB d;
  ASSERT_EQ(Read(d, Bmp({.width = 6, .height = 2})), 1);
  const Snapshot before(d);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Read(d, Bmp(row.spec)), 0);
    EXPECT_TRUE(Snapshot(d) == before);
  }
  const std::vector<uint8_t> whole = Bmp({});
  for (size_t cut : {size_t(0), size_t(10), size_t(14), size_t(20), size_t(53)}) {
    SCOPED_TRACE(cut);
    EXPECT_EQ(Read(d, std::vector<uint8_t>(whole.begin(), whole.begin() + cut)), 0);
    EXPECT_TRUE(Snapshot(d) == before);
  }
  EXPECT_EQ(d.ReadFromFile(nullptr), 0);
}

TEST(Cdib, PixelAddressesStopAtTheSides) {
  CDIB d;
  ASSERT_EQ(d.CreateBlank(5, 3), 1);
  EXPECT_EQ(d.GetPixelAddress(0, 2), d.Bits());
  EXPECT_EQ(d.GetPixelAddress(4, 0), d.Bits() + 2 * 8 + 4);
  EXPECT_EQ(d.GetPixelAddress(5, 0), nullptr);
  EXPECT_EQ(d.GetPixelAddress(0, 3), nullptr);
  EXPECT_EQ(d.GetPixelAddress(-1, 0), nullptr);
  EXPECT_EQ(d.GetPixelAddress(0, -1), nullptr);
}

// Fills a bitmap's pixels (filler included) from a generator.
void Fill(CDIB& d, std::mt19937& random) {
  for (size_t i = 0; i < d.Stride() * size_t(d.GetHeight()); ++i)
    d.Bits()[i] = uint8_t(random());
}

TEST(Cdib, BlitRectCopiesRowByRowSkippingTheKey) {
  std::mt19937 random(7);
  struct Row {
    int key;
    int32_t dx, dy, w, h, sx, sy;
  } rows[] = {
      {-1, 0, 0, 7, 5, 0, 0},  {-1, 2, 1, 5, 3, 1, 2}, {0, 0, 0, 7, 5, 0, 0},
      {0, 1, 0, 3, 5, 4, 0},   {255, 0, 4, 6, 1, 1, 0}, {255, 3, 0, 1, 5, 0, 0},
      {0x1FF, 0, 0, 5, 2, 2, 3}, {-1, 0, 0, 0, 5, 0, 0}, {-1, 0, 0, 7, 0, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "key " << r.key << " at " << r.dx << "," << r.dy << " "
                                    << r.w << "x" << r.h);
    CDIB source, destination;
    ASSERT_EQ(source.CreateBlank(7, 5), 1);
    ASSERT_EQ(destination.CreateBlank(9, 6), 1);
    Fill(source, random);
    Fill(destination, random);
    // Keys show up in the source.
    for (int i = 0; i < 12; ++i)
      source.Bits()[random() % (source.Stride() * 5)] = uint8_t(i % 2 ? 0 : 255);
    const std::vector<uint8_t> before(destination.Bits(), destination.Bits() + destination.Stride() * 6);
    source.BlitRect(destination, r.dx, r.dy, r.w, r.h, r.sx, r.sy, r.key);
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 9; ++x) {
        const uint8_t old = before[size_t(6 - 1 - y) * destination.Stride() + size_t(x)];
        uint8_t want = old;
        if (x >= r.dx && x < r.dx + r.w && y >= r.dy && y < r.dy + r.h) {
          const uint8_t s = *source.GetPixelAddress(r.sx + x - r.dx, r.sy + y - r.dy);
          if (r.key == -1 || s != uint8_t(r.key))
            want = s;
        }
        ASSERT_EQ(*destination.GetPixelAddress(x, y), want) << x << "," << y;
      }
    // Row filler stays.
    for (int32_t y = 0; y < 6; ++y)
      for (size_t x = 9; x < destination.Stride(); ++x)
        ASSERT_EQ(destination.Bits()[size_t(y) * destination.Stride() + x],
                  before[size_t(y) * destination.Stride() + x]);
  }
}

TEST(Cdib, MatchToPaletteEqualsABruteForceNearestSearch) {
  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    CDIB d;
    ASSERT_EQ(d.CreateBlank(5 + round % 4, 3), 1);
    Fill(d, random);
    for (gdi::RgbQuad& q : d.ColourTable())
      q = {uint8_t(random()), uint8_t(random()), uint8_t(random()), uint8_t(random())};
    const size_t n = 1 + random() % 256;
    std::vector<gdi::PaletteEntry> entries(n);
    for (auto& e : entries)
      e = {uint8_t(random() % 64 * 4), uint8_t(random() % 64 * 4), uint8_t(random() % 64 * 4), 0};
    auto palette = gdi::Palette::Create(entries);
    const std::vector<gdi::RgbQuad> table(d.ColourTable().begin(), d.ColourTable().end());
    const std::vector<uint8_t> bits(d.Bits(), d.Bits() + d.Stride() * 3);
    ASSERT_EQ(d.MatchToPalette(palette.get()), 1);
    auto nearest = [&](const gdi::RgbQuad& q) {
      size_t best = 0;
      long bestDistance = -1;
      for (size_t i = 0; i < n; ++i) {
        const long dr = long(entries[i].red) - q.red, dg = long(entries[i].green) - q.green,
                   db = long(entries[i].blue) - q.blue;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
          bestDistance = distance;
          best = i;
        }
      }
      return uint8_t(best);
    };
    for (size_t i = 0; i < bits.size(); ++i)
      ASSERT_EQ(d.Bits()[i], nearest(table[bits[i]])) << "byte " << i;
    for (size_t i = 0; i < 256; ++i) {
      const gdi::RgbQuad want = i < n ? gdi::RgbQuad{entries[i].blue, entries[i].green,
                                                     entries[i].red, table[i].reserved}
                                      : table[i];
      ASSERT_EQ(d.ColourTable()[i], want) << "entry " << i;
    }
    EXPECT_EQ(d.Info().clrUsed, 256u);
  }
  CDIB d;
  EXPECT_EQ(d.MatchToPalette(nullptr), 0);
}

TEST(Cdib, AttachBitsReadsNoMoreThanTheBlockHolds) {
  // The header followed by 256 16-bit palette indexes: 552 bytes.
  std::vector<uint8_t> block(552, 0x3C);
  gdi::BitmapInfoHeader h;
  h.width = 6;
  h.height = 2;
  h.bitCount = 8;
  std::memcpy(block.data(), &h, sizeof h);
  std::vector<uint8_t> pixels(16, 9);
  CDIB d;
  ASSERT_EQ(d.AttachBits(block, pixels.data()), 1);
  EXPECT_FALSE(d.OwnsBits());
  EXPECT_EQ(d.GetWidth(), 6);
  EXPECT_EQ(d.GetPixelAddress(0, 1), pixels.data());
  EXPECT_EQ(d.ColourTable()[127], (gdi::RgbQuad{0x3C, 0x3C, 0x3C, 0x3C}));
  EXPECT_EQ(d.ColourTable()[128], (gdi::RgbQuad{0, 0, 0, 0}));
  EXPECT_EQ(d.AttachBits(std::span(block).first(39), pixels.data()), 0);
  // Reading a file afterwards owns its pixels again; the attached ones stay.
  ASSERT_EQ(Read(d, Bmp({})), 1);
  EXPECT_TRUE(d.OwnsBits());
  EXPECT_EQ(pixels[3], 9);
}

TEST(Cdib, DrawsStretchedAtItsOwnSizeForZero) {
  CDIB d;
  ASSERT_EQ(Read(d, Bmp({})), 1);
  auto surface = gdi::Surface::Create(20, 20, gdi::Rgb(1, 1, 1));
  gdi::Dc dc(surface);
  d.DrawStretched(dc, 2, 3, 0, 0);
  const gdi::RgbQuad q = d.ColourTable()[*d.GetPixelAddress(4, 2)];
  EXPECT_EQ(surface->Pixel(6, 5), gdi::Rgb(q.red, q.green, q.blue));
  EXPECT_EQ(surface->Pixel(7, 5), gdi::Rgb(1, 1, 1));
  d.DrawStretched(dc, 0, 0, 10, 6);
  EXPECT_EQ(surface->Pixel(9, 5), gdi::Rgb(q.red, q.green, q.blue));
}

TEST(Cdib, LoadAsksForAFileAndReportsWhatFails) {
  auto boxes = std::make_shared<ui::ScriptedMessageBox>();
  ui::ScopedMessageBoxBackend boxScope(boxes);
  auto files = std::make_shared<ui::ScriptedFileDialog>();
  ui::ScopedFileDialogBackend fileScope(files);
  CDIB d;
  EXPECT_EQ(d.Load(""), 0); // cancelled
  ASSERT_EQ(files->Shown().size(), 1u);
  const auto groups = ui::ParseFileFilter(files->Shown()[0].filter);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[0].patterns, (std::vector<std::string>{"*.DIB", "*.BMP"}));
  EXPECT_TRUE(boxes->Shown().empty());

  const std::string dir = testing::TempDir();
  EXPECT_EQ(d.Load(dir + "/no-such.bmp"), 0);
  ASSERT_EQ(boxes->Shown().size(), 1u);
  EXPECT_EQ(boxes->Shown()[0].text, "Failed to open file");
  const std::string broken = dir + "/broken.bmp", good = dir + "/good.bmp";
  auto write = [](const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  };
  write(broken, Bmp({.compression = 1}));
  write(good, Bmp({.width = 9}));
  EXPECT_EQ(d.Load(broken), 0);
  ASSERT_EQ(boxes->Shown().size(), 2u);
  EXPECT_EQ(boxes->Shown()[1].text, "Failed to load file");
  files->Answer(good);
  EXPECT_EQ(d.Load(""), 1);
  EXPECT_EQ(d.GetWidth(), 9);
  EXPECT_EQ(boxes->Shown().size(), 2u);

  // A game takes 8-bit pictures only.
  const std::string deep = dir + "/deep.bmp";
  write(deep, Bmp({.bitCount = 4, .tableEntries = 16}));
  EXPECT_EQ(games::LoadGameBitmap(d, good), 1);
  EXPECT_EQ(boxes->Shown().size(), 2u);
  EXPECT_EQ(games::LoadGameBitmap(d, deep), 0);
  ASSERT_EQ(boxes->Shown().size(), 3u);
  EXPECT_EQ(boxes->Shown()[2].text, "Only 8-bpp DIBs are supported");
}

} // namespace

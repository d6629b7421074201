// Cursor files built byte by byte: .cur with 1-bit, 32-bit and PNG
// pictures, the entry nearest 32 x 32, .ani with and without sequence and
// rates; hostile counts, sizes and offsets refused; loading by bare name.
#include "platform/ui/resource/cursor_file.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace ui;

namespace {

using Bytes = std::vector<uint8_t>;

void P16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void P32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b.push_back(uint8_t(v >> (8 * i)));
}
void Append(Bytes& b, const Bytes& more) {
  b.insert(b.end(), more.begin(), more.end());
}

// A bitmap entry: header (height doubled), table, XOR rows, AND rows.
// Pixel (x, y from the top) of the XOR picture: index or colour from
// value(x, y); mask bit 1 (clear) where clear(x, y).
template <class Value, class Clear>
Bytes BitmapEntry(int w, int h, int bits, const Bytes& table, Value value, Clear clear,
                  int used = 0) {
  Bytes b;
  P32(b, 40);
  P32(b, uint32_t(w));
  P32(b, uint32_t(2 * h));
  P16(b, 1);
  P16(b, uint32_t(bits));
  for (int i = 0; i < 4; ++i)
    P32(b, 0);
  P32(b, uint32_t(used));
  P32(b, 0);
  Append(b, table);
  const size_t xorStride = (size_t(w) * bits + 31) / 32 * 4, andStride = (size_t(w) + 31) / 32 * 4;
  for (int r = 0; r < h; ++r) {
    Bytes row(xorStride, 0);
    const int y = h - 1 - r;
    for (int x = 0; x < w; ++x) {
      const uint32_t v = value(x, y);
      if (bits == 1)
        row[x / 8] |= uint8_t((v & 1) << (7 - x % 8));
      else if (bits == 32)
        for (int k = 0; k < 4; ++k)
          row[4 * x + k] = uint8_t(v >> (8 * k));
    }
    Append(b, row);
  }
  for (int r = 0; r < h; ++r) {
    Bytes row(andStride, 0);
    const int y = h - 1 - r;
    for (int x = 0; x < w; ++x)
      if (clear(x, y))
        row[x / 8] |= uint8_t(1 << (7 - x % 8));
    Append(b, row);
  }
  return b;
}

struct Entry {
  int w, h, hx, hy;
  Bytes data;
};

Bytes Cur(const std::vector<Entry>& entries, uint16_t type = 2) {
  Bytes b;
  P16(b, 0);
  P16(b, type);
  P16(b, uint32_t(entries.size()));
  uint32_t offset = uint32_t(6 + 16 * entries.size());
  for (const Entry& e : entries) {
    b.push_back(uint8_t(e.w));
    b.push_back(uint8_t(e.h));
    b.push_back(0);
    b.push_back(0);
    P16(b, uint32_t(e.hx));
    P16(b, uint32_t(e.hy));
    P32(b, uint32_t(e.data.size()));
    P32(b, offset);
    offset += uint32_t(e.data.size());
  }
  for (const Entry& e : entries)
    Append(b, e.data);
  return b;
}

// Black and white, index 1 white; a diagonal of white, the right column
// clear.
Bytes OneBit(int w = 8, int h = 4) {
  const Bytes table = {0, 0, 0, 0, 255, 255, 255, 0};
  return BitmapEntry(
      w, h, 1, table, [](int x, int y) { return uint32_t(x == y); },
      [w](int x, int) { return x == w - 1; });
}

Bytes Chunk(const char* id, const Bytes& data) {
  Bytes b(id, id + 4);
  P32(b, uint32_t(data.size()));
  Append(b, data);
  if (data.size() & 1)
    b.push_back(0);
  return b;
}

Bytes Anih(uint32_t frames, uint32_t steps, uint32_t jiffies, uint32_t flags) {
  Bytes b;
  for (uint32_t v : {36u, frames, steps, 0u, 0u, 0u, 0u, jiffies, flags})
    P32(b, v);
  return b;
}

Bytes Ani(const Bytes& anih, const std::vector<Bytes>& icons, const Bytes* rate = nullptr,
          const Bytes* seq = nullptr) {
  Bytes body(std::begin("ACON"), std::begin("ACON") + 4);
  Append(body, Chunk("anih", anih));
  if (rate)
    Append(body, Chunk("rate", *rate));
  if (seq)
    Append(body, Chunk("seq ", *seq));
  Bytes list(std::begin("fram"), std::begin("fram") + 4);
  for (const Bytes& icon : icons)
    Append(list, Chunk("icon", icon));
  Append(body, Chunk("LIST", list));
  Bytes b(std::begin("RIFF"), std::begin("RIFF") + 4);
  P32(b, uint32_t(body.size()));
  Append(b, body);
  return b;
}

Bytes Words(std::initializer_list<uint32_t> v) {
  Bytes b;
  for (uint32_t x : v)
    P32(b, x);
  return b;
}

class CursorFiles : public testing::Test {
protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!QCoreApplication::instance()) {
      static int argc = 1;
      static char name[] = "cursor_file_test";
      static char* argv[] = {name, nullptr};
      app = new QGuiApplication(argc, argv);
    }
  }
  static inline QGuiApplication* app = nullptr;
};

TEST_F(CursorFiles, OneBitPictureWithItsMask) {
  const auto c = ReadCurFile(Cur({{8, 4, 3, 2, OneBit()}}));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->width, 8);
  EXPECT_EQ(c->height, 4);
  EXPECT_EQ(c->hotspot, (gdi::Point{3, 2}));
  EXPECT_EQ(c->argb[0], 0xFFFFFFFFu);          // (0, 0): white
  EXPECT_EQ(c->argb[1], 0xFF000000u);          // (1, 0): black
  EXPECT_EQ(c->argb[2 * 8 + 2], 0xFFFFFFFFu);  // (2, 2)
  EXPECT_EQ(c->argb[3 * 8 + 7] >> 24, 0u);     // the clear column
}

TEST_F(CursorFiles, ThirtyTwoBitPicturesByAlphaOrByMask) {
  auto colour = [](int x, int y) { return uint32_t(0x80000000u | (x * 16) << 16 | y * 8); };
  auto none = [](int, int) { return false; };
  auto c = ReadCurFile(Cur({{16, 16, 0, 0, BitmapEntry(16, 16, 32, {}, colour, none)}}));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->argb[5 * 16 + 3], 0x80000000u | 48u << 16 | 40u);
  // No alpha anywhere: the mask shapes it.
  auto opaque = [](int x, int) { return uint32_t(x * 0x010101); };
  auto leftClear = [](int x, int) { return x < 4; };
  c = ReadCurFile(Cur({{16, 16, 15, 15, BitmapEntry(16, 16, 32, {}, opaque, leftClear)}}));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->argb[3], 0x00030303u);
  EXPECT_EQ(c->argb[4], 0xFF040404u);
}

TEST_F(CursorFiles, PngEntriesAndTheEntryNearestThirtyTwo) {
  QImage image(24, 20, QImage::Format_ARGB32);
  image.fill(QColor(10, 20, 30, 200));
  image.setPixel(5, 6, qRgba(1, 2, 3, 255));
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(image.save(&buffer, "PNG"));
  const Bytes pngBytes(png.begin(), png.end());
  auto c = ReadCurFile(Cur({{8, 4, 1, 1, OneBit()}, {24, 20, 7, 9, pngBytes}}));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->width, 24);
  EXPECT_EQ(c->hotspot, (gdi::Point{7, 9}));
  EXPECT_EQ(c->argb[6 * 24 + 5], 0xFF010203u);
  EXPECT_EQ(c->argb[0] >> 24, 200u);
}

TEST_F(CursorFiles, AnimatedWithSequenceAndRates) {
  const Bytes a = Cur({{8, 4, 1, 0, OneBit()}});
  const Bytes b = Cur({{8, 4, 6, 3, OneBit()}});
  const Bytes rate = Words({6, 12, 3});
  const Bytes seq = Words({1, 0, 1});
  auto f = ReadAniFile(Ani(Anih(2, 3, 30, 3), {a, b}, &rate, &seq));
  ASSERT_TRUE(f);
  ASSERT_EQ(f->frames.size(), 3u);
  EXPECT_EQ(f->frameMs, (std::vector<uint32_t>{100, 200, 50}));
  EXPECT_EQ(f->frames[0].hotspot, (gdi::Point{6, 3}));
  EXPECT_EQ(f->frames[1].hotspot, (gdi::Point{1, 0}));
  // Without a sequence or rates: the frames in order at the header's rate.
  f = ReadCursorFile(Ani(Anih(2, 2, 10, 1), {a, b}));
  ASSERT_TRUE(f);
  EXPECT_EQ(f->frameMs, (std::vector<uint32_t>{166, 166}));
  EXPECT_EQ(f->frames[1].hotspot, (gdi::Point{6, 3}));
  // A still cursor through the same door.
  f = ReadCursorFile(a);
  ASSERT_TRUE(f);
  EXPECT_FALSE(f->Animated());
}

TEST_F(CursorFiles, HostileFilesAreRefused) {
  const Bytes good = OneBit();
  Bytes farOffset = Cur({{8, 4, 1, 1, good}});
  farOffset[18] = 0xFF; // the entry's offset past the end
  Bytes bigSize = Cur({{8, 4, 1, 1, good}});
  bigSize[14] = 0xFF;
  bigSize[15] = 0xFF;
  Bytes manyEntries = Cur({{8, 4, 1, 1, good}});
  manyEntries[4] = 0xFF;
  manyEntries[5] = 0xFF;
  const Bytes table = {0, 0, 0, 0, 255, 255, 255, 0};
  auto zero = [](int, int) { return 0u; };
  auto none = [](int, int) { return false; };
  Bytes shortPixels = good;
  shortPixels.resize(shortPixels.size() - 1);
  const Bytes tooManyColours = BitmapEntry(8, 4, 1, table, zero, none, 3);
  Bytes oddHeight = good;
  oddHeight[8] = 7;
  Bytes depth7 = good;
  depth7[14] = 7;
  struct Row {
    const char* name;
    Bytes file;
  } curRows[] = {
      {"icon type", Cur({{8, 4, 1, 1, good}}, 1)},
      {"no entries", Cur({})},
      {"65535 entries", manyEntries},
      {"offset past the end", farOffset},
      {"size past the end", bigSize},
      {"short pixels", Cur({{8, 4, 1, 1, shortPixels}})},
      {"more colours than bits", Cur({{8, 4, 1, 1, tooManyColours}})},
      {"odd height", Cur({{8, 4, 1, 1, oddHeight}})},
      {"7 bits", Cur({{8, 4, 1, 1, depth7}})},
      {"hot spot outside", Cur({{8, 4, 8, 1, good}})},
      {"a PNG that is not one", Cur({{8, 4, 1, 1, Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1}}})},
      {"truncated directory", Bytes{0, 0, 2, 0, 1, 0, 8}},
  };
  for (const Row& r : curRows) {
    SCOPED_TRACE(r.name);
    EXPECT_FALSE(ReadCurFile(r.file));
    EXPECT_FALSE(ReadCursorFile(r.file));
  }
  const Bytes a = Cur({{8, 4, 1, 0, good}});
  const Bytes rate2 = Words({6, 6});
  const Bytes seqBad = Words({0, 5});
  Bytes chunkPast = Ani(Anih(1, 1, 10, 1), {a});
  chunkPast[16] = 0xFF; // anih's size
  chunkPast[17] = 0xFF;
  struct AniRow {
    const char* name;
    Bytes file;
  } aniRows[] = {
      {"frames counted wrong", Ani(Anih(2, 2, 10, 1), {a})},
      {"1000 frames", Ani(Anih(1000, 1000, 10, 1), {a})},
      {"rate of the wrong length", Ani(Anih(1, 1, 10, 1), {a}, &rate2)},
      {"sequence past the frames", Ani(Anih(2, 2, 10, 3), {a, a}, nullptr, &seqBad)},
      {"chunk past the end", chunkPast},
      {"frames not cursors", Ani(Anih(1, 1, 10, 0), {a})},
      {"a broken frame", Ani(Anih(1, 1, 10, 1), {Bytes{0, 0, 2, 0}})},
      {"no header", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'C', 'O', 'N'}},
  };
  for (const AniRow& r : aniRows) {
    SCOPED_TRACE(r.name);
    EXPECT_FALSE(ReadAniFile(r.file));
  }
}

TEST_F(CursorFiles, LoadedByPathOrBareNameElseNone) {
  const std::string dir = testing::TempDir() + "/cursor-files";
  std::filesystem::create_directories(dir);
  const Bytes still = Cur({{8, 4, 1, 0, OneBit()}});
  const Bytes moving = Ani(Anih(2, 2, 6, 1), {still, still});
  auto write = [&](const std::string& name, const Bytes& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  };
  write("still.cur", still);
  write("moving.ani", moving);
  write("broken.cur", Bytes{1, 2, 3});
  auto c = LoadCursorFromFile(dir + "/still.cur");
  ASSERT_TRUE(c);
  EXPECT_EQ(CursorFrameCount(c), 1u);
  c = LoadCursorFromFile(dir + "/moving.ani");
  ASSERT_TRUE(c);
  EXPECT_EQ(CursorFrameCount(c), 2u);
  EXPECT_FALSE(LoadCursorFromFile(dir + "/broken.cur"));
  EXPECT_FALSE(LoadCursorFromFile(dir + "/missing.cur"));
  EXPECT_FALSE(LoadCursorFromFile(""));
  // A bare name: the working directory first.
  char* previous = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  EXPECT_TRUE(LoadCursorFromFile("moving.ani"));
  EXPECT_EQ(FindBesideProgram("moving.ani"), "moving.ani");
  EXPECT_EQ(FindBesideProgram("nowhere.ani"), "");
  ASSERT_EQ(chdir(previous), 0);
  free(previous);
}

} // namespace

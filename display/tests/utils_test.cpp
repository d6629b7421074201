// The display's small services: settings path, file counting and loading,
// file tests, bitmap colour mapping, rectangles and the random fraction.
#include "display/tests/support/temp_folder.h"
#include "display/utils.h"

#include "platform/sys/ini.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace display;
using displaytest::ReadFile;
using displaytest::TempFolder;

namespace {

TEST(ConfigIniPath, ReplacesTheModuleNameAfterTheLastSeparator) {
  struct Row {
    const char* module;
    const char* expected;
  } rows[] = {
      {"/opt/vexo/Kivo32", "/opt/vexo/config.ini"},
      {"C:\\vexo3\\bin\\Kivo32.exe", "C:\\vexo3\\bin\\config.ini"},
      {"/opt/a\\b/Kivo32", "/opt/a\\b/config.ini"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ConfigIniPath(r.module), r.expected) << r.module;
}

TEST(CountFiles, CountsMatchesIgnoringLetterCase) {
  TempFolder dir;
  for (const char* name : {"a.bmp", "B.BMP", "c.jpg", "noext"})
    dir.Write(name, "x");
  std::filesystem::create_directory(dir / "sub.bmp");
  struct Row {
    const char* pattern;
    int32_t count;
  } rows[] = {{"*.bmp", 3}, {"*.jpg", 1}, {"*.*", 5}, {"*", 5}, {"?.BMP", 2}, {"*.gif", 0}};
  for (const auto& r : rows)
    EXPECT_EQ(CountFiles(dir.Path(), r.pattern), r.count) << r.pattern;
  EXPECT_EQ(CountFiles(dir / "missing", "*"), 0);
}

TEST(LoadFileToGlobal, ReadsTheWholeFileAndReplacesTheBlock) {
  TempFolder dir;
  std::vector<uint8_t> block{9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(LoadFileToGlobal(dir.Write("f.bin", std::string("ab\0cd", 5)), block), 5);
  EXPECT_EQ(block, (std::vector<uint8_t>{'a', 'b', 0, 'c', 'd'}));
  EXPECT_EQ(LoadFileToGlobal(dir.Write("empty", ""), block), 0);
  EXPECT_TRUE(block.empty());
  block = {1, 2};
  EXPECT_EQ(LoadFileToGlobal(dir / "missing", block), -1);
  EXPECT_TRUE(block.empty());
  EXPECT_EQ(LoadFileToGlobal(dir.Path(), block), -1); // a folder is no file
}

TEST(FileExists, NullEmptyAndRealPaths) {
  TempFolder dir;
  dir.Write("Song.KAR", "x");
  EXPECT_EQ(FileExists(static_cast<const char*>(nullptr)), 1);
  EXPECT_EQ(FileExists(""), 0);
  EXPECT_EQ(FileExists((dir / "Song.KAR").c_str()), 1);
  EXPECT_EQ(FileExists((dir / "song.kar").c_str()), 1); // letter case ignored
  EXPECT_EQ(FileExists((dir / "other.kar").c_str()), 0);
  EXPECT_EQ(FileExists(dir.Path().c_str()), 1);
}

// A BMP file: 14-byte file header, 40-byte info header, colour table (blue,
// green, red, 0), and one row of pixels.
std::vector<uint8_t> Bmp(uint16_t bits, uint32_t used, const std::vector<gdi::Colour>& table) {
  std::vector<uint8_t> b;
  auto u16 = [&](uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const uint32_t offBits = 54 + 4 * static_cast<uint32_t>(table.size());
  u16(0x4D42), u32(offBits + 4), u16(0), u16(0), u32(offBits);
  u32(40), u32(1), u32(1), u16(1), u16(bits), u32(0), u32(4), u32(0), u32(0), u32(used), u32(0);
  for (gdi::Colour c : table) {
    b.push_back(gdi::BlueOf(c));
    b.push_back(gdi::GreenOf(c));
    b.push_back(gdi::RedOf(c));
    b.push_back(0);
  }
  u32(0);
  return b;
}

gdi::Colour Entry(const std::vector<uint8_t>& bmp, size_t i) {
  const uint8_t* e = bmp.data() + 54 + 4 * i;
  return gdi::Rgb(e[2], e[1], e[0]);
}

TEST(MapBitmapColours, ReplacesTheGreysInOrder) {
  const gdi::Colour grey = gdi::Rgb(192, 192, 192), white = gdi::Rgb(255, 255, 255),
                    dark = gdi::Rgb(128, 128, 128), other = gdi::Rgb(1, 2, 3);
  // Four used colours of an 8-bit image; the face colour is white, so the
  // face pass's results are taken again by the highlight pass.
  auto bmp = Bmp(8, 4, {grey, white, dark, other});
  const gdi::Colour face = white, highlight = gdi::Rgb(10, 20, 30), shadow = gdi::Rgb(7, 8, 9);
  ASSERT_TRUE(MapBitmapColours(bmp, face, highlight, shadow));
  EXPECT_EQ(Entry(bmp, 0), highlight);
  EXPECT_EQ(Entry(bmp, 1), highlight);
  EXPECT_EQ(Entry(bmp, 2), shadow);
  EXPECT_EQ(Entry(bmp, 3), other);

  // A 1-bit image has two entries; nothing past them is touched.
  auto mono = Bmp(1, 0, {dark, grey, dark});
  ASSERT_TRUE(MapBitmapColours(mono, face, highlight, shadow));
  EXPECT_EQ(Entry(mono, 0), shadow);
  EXPECT_EQ(Entry(mono, 1), highlight);
  EXPECT_EQ(Entry(mono, 2), dark);

  // 24 bits: no table.
  auto deep = Bmp(24, 0, {grey});
  ASSERT_TRUE(MapBitmapColours(deep, face, highlight, shadow));
  EXPECT_EQ(Entry(deep, 0), grey);
}

TEST(MapBitmapColours, RefusesMalformedFilesUnchanged) {
  auto full = Bmp(8, 0, {gdi::Rgb(192, 192, 192)}); // 256 entries claimed, one present
  auto copy = full;
  EXPECT_FALSE(MapBitmapColours(copy));
  EXPECT_EQ(copy, full);
  auto tooMany = Bmp(8, 300, {});
  EXPECT_FALSE(MapBitmapColours(tooMany));
  std::vector<uint8_t> shortFile(full.begin(), full.begin() + 30);
  EXPECT_FALSE(MapBitmapColours(shortFile));
  std::vector<uint8_t> notBmp = full;
  notBmp[0] = 'X';
  EXPECT_FALSE(MapBitmapColours(notBmp));
}

TEST(OffsetRect, MovesByTheDifferenceOfTwoPoints) {
  EXPECT_EQ(OffsetRect(gdi::Rect{10, 20, 110, 70}, {5, 5}, {2, 15}), (gdi::Rect{7, 30, 107, 80}));
}

TEST(RandomFraction, FollowsTheRecurrenceAndStaysInTheUnitInterval) {
  SeedRandomFraction(0);
  double x = RandomFraction();
  EXPECT_DOUBLE_EQ(x, 0.311327);
  double expected = x * 9821.0 + 0.311327;
  expected -= std::floor(expected);
  EXPECT_DOUBLE_EQ(RandomFraction(), expected);

  for (uint32_t seed : {1u, 0x80000000u, 0xFFFFFFFFu}) {
    SeedRandomFraction(seed);
    for (int i = 0; i < 20000; ++i) {
      double v = RandomFraction();
      ASSERT_TRUE(std::isfinite(v) && v >= 0.0 && v < 1.0) << seed << " step " << i;
    }
  }
  SeedRandomFractionFromClock();
  double v = RandomFraction();
  EXPECT_TRUE(v >= 0.0 && v < 1.0);
}

TEST(ReadOverlayChecks, DefaultsAndStoredValues) {
  TempFolder dir;
  const std::string ini = dir / "config.ini";
  OverlayChecks none = ReadOverlayChecks(ini);
  EXPECT_EQ(none.overlay, 0);
  EXPECT_EQ(none.mpeg, 0);
  dir.Write("config.ini", "[Overlay]\nCheck=1\n[Mpeg]\nCheck=1\n");
  OverlayChecks both = ReadOverlayChecks(ini);
  EXPECT_EQ(both.overlay, 1);
  EXPECT_EQ(both.mpeg, 1);
}

TEST(SaveRect, WritesLeftTopRightBottom) {
  TempFolder dir;
  const std::string ini = dir / "config.ini";
  ASSERT_TRUE(SaveRect(gdi::Rect{-5, 10, 300, 200}, "Words", ini));
  EXPECT_EQ(ReadFile(ini), "[Words]\nx=-5\ny=10\ncx=300\ncy=200\n");
}

TEST(IsSlowDrive, LocalFoldersAreNotSlow) {
  TempFolder dir;
  EXPECT_FALSE(IsSlowDrive(dir.Path()));
  EXPECT_FALSE(IsSlowDrive(dir / "not/yet/there"));
  EXPECT_FALSE(IsSlowDrive(""));
  EXPECT_EQ(IsNT(), 1);
}

} // namespace

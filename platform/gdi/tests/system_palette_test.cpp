// The palette screen: its device capabilities, the static colours at both
// ends, the static-use switch, and realising with a count of the entries
// changed.
#include "platform/gdi/system_palette.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/surface.h"

#include <gtest/gtest.h>

using namespace gdi;

namespace {

class PaletteScreen : public testing::Test {
protected:
  void SetUp() override { SetScreenBitsPerPixel(8); }
  void TearDown() override { SetScreenBitsPerPixel(0); }
};

std::shared_ptr<Palette> Ramp(size_t n, uint8_t flags, uint8_t blue = 7) {
  std::vector<PaletteEntry> e(n);
  for (size_t i = 0; i < n; ++i)
    e[i] = {uint8_t(i), uint8_t(255 - i), blue, flags};
  return Palette::Create(e);
}

// A window context: not a memory one.
Dc WindowDc() {
  return Dc(Surface::Create(4, 4));
}

TEST_F(PaletteScreen, ReportsAPaletteDeviceWithTheStaticColoursAtBothEnds) {
  Dc dc = WindowDc();
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::BitsPixel), 8);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::NumColors), 20);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::SizePalette), 256);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::NumReserved), 20);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::HasPalette), 1);
  const auto all = GetSystemPaletteEntries(0, 300);
  ASSERT_EQ(all.size(), 256u);
  EXPECT_EQ(all[0], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(all[7], (PaletteEntry{192, 192, 192, 0}));
  EXPECT_EQ(all[246], (PaletteEntry{255, 251, 240, 0}));
  EXPECT_EQ(all[255], (PaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(GetSystemPaletteEntries(250, 10).size(), 6u);
  EXPECT_TRUE(GetSystemPaletteEntries(256, 1).empty());

  SetScreenBitsPerPixel(32);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::NumColors), -1);
  EXPECT_EQ(dc.DeviceCaps(DeviceCap::HasPalette), 0);
  EXPECT_TRUE(GetSystemPaletteEntries(0, 256).empty());
  EXPECT_EQ(GetSystemPaletteUse(), kSysPalError);
  EXPECT_EQ(SetSystemPaletteUse(kSysPalNoStatic), kSysPalError);
  Dc screen = WindowDc();
  screen.SelectPalette(Ramp(100, 0), false);
  EXPECT_EQ(screen.RealizePalette(), 0);
}

TEST_F(PaletteScreen, RealisingCountsTheEntriesItChanged) {
  Dc dc = WindowDc();
  dc.SelectPalette(Ramp(236, kPcNoCollapse), false);
  EXPECT_EQ(dc.RealizePalette(), 236);
  EXPECT_EQ(GetSystemPaletteEntries(10, 1)[0], (PaletteEntry{0, 255, 7, 0}));
  EXPECT_EQ(GetSystemPaletteEntries(245, 1)[0], (PaletteEntry{235, 20, 7, 0}));
  EXPECT_EQ(GetSystemPaletteEntries(246, 1)[0], (PaletteEntry{255, 251, 240, 0}));
  // The same palette again changes nothing.
  EXPECT_EQ(dc.RealizePalette(), 0);
  // Another one changes the entries that differ.
  std::vector<PaletteEntry> other = Ramp(236, kPcNoCollapse)->Entries(0, 236);
  other[3].blue = 99;
  other[200].red = 1;
  dc.SelectPalette(Palette::Create(other), false);
  EXPECT_EQ(dc.RealizePalette(), 2);

  // Plain entries equal to a static colour collapse onto it; explicit ones
  // name an index; what does not fit is not placed.
  std::vector<PaletteEntry> mixed = {
      {255, 255, 255, 0}, {0, 0, 0, 0}, {5, 0, 0, kPcExplicit}, {9, 9, 9, 0}, {0, 0, 0, kPcNoCollapse}};
  dc.SelectPalette(Palette::Create(mixed), false);
  EXPECT_EQ(dc.RealizePalette(), 2);
  EXPECT_EQ(GetSystemPaletteEntries(10, 2),
            (std::vector<PaletteEntry>{{9, 9, 9, 0}, {0, 0, 0, 0}}));
  dc.SelectPalette(Ramp(300, kPcNoCollapse, 50), false);
  EXPECT_EQ(dc.RealizePalette(), 236);

  // A memory context realises nothing.
  Dc memory = Dc::CreateMemory();
  memory.SelectPalette(Ramp(236, kPcNoCollapse, 90), false);
  EXPECT_EQ(memory.RealizePalette(), 0);
}

TEST_F(PaletteScreen, TheStaticUseSwitchFreesAllButBlackAndWhite) {
  EXPECT_EQ(GetSystemPaletteUse(), kSysPalStatic);
  EXPECT_EQ(SetSystemPaletteUse(kSysPalNoStatic), kSysPalStatic);
  EXPECT_EQ(SetSystemPaletteUse(7), kSysPalError);
  Dc dc = WindowDc();
  dc.SelectPalette(Ramp(256, kPcNoCollapse), false);
  EXPECT_EQ(dc.RealizePalette(), 254);
  EXPECT_EQ(GetSystemPaletteEntries(1, 1)[0], (PaletteEntry{0, 255, 7, 0}));
  EXPECT_EQ(GetSystemPaletteEntries(255, 1)[0], (PaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(SetSystemPaletteUse(kSysPalStatic), kSysPalNoStatic);
  EXPECT_EQ(GetSystemPaletteEntries(9, 1)[0], (PaletteEntry{166, 202, 240, 0}));
  // A new depth starts a fresh system palette.
  SetScreenBitsPerPixel(8);
  EXPECT_EQ(GetSystemPaletteEntries(10, 1)[0], (PaletteEntry{0, 0, 0, 0}));
}

} // namespace

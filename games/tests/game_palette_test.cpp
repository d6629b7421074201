// The game palette: built from a bitmap's colours, made an identity palette
// on the palette screen only, and the palette messages of a game window.
#include "games/game_palette.h"

#include "platform/gdi/surface.h"
#include "platform/gdi/system_palette.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <gtest/gtest.h>

#include <cstring>

#include <memory>

using namespace games;

namespace {

class GamePalette : public testing::Test {
protected:
  void TearDown() override { gdi::SetScreenBitsPerPixel(0); }
};

// A 16-colour bitmap.
void SixteenColours(CDIB& d) {
  ASSERT_EQ(d.CreateBlank(4, 4), 1);
  std::vector<uint8_t> block(d.HeaderBlock().begin(), d.HeaderBlock().end());
  gdi::BitmapInfoHeader h = d.Info();
  h.clrUsed = 16;
  std::memcpy(block.data(), &h, sizeof h);
  for (size_t i = 0; i < 16; ++i) {
    block[40 + 4 * i] = uint8_t(i * 16);     // blue
    block[40 + 4 * i + 1] = uint8_t(i * 3);  // green
    block[40 + 4 * i + 2] = uint8_t(200);    // red
  }
  static std::vector<uint8_t> pixels(16, 0);
  ASSERT_EQ(d.AttachBits(block, pixels.data()), 1);
}

TEST_F(GamePalette, CreateFromDibTakesTheColourTable) {
  CDIB d;
  SixteenColours(d);
  CGamePalette p;
  ASSERT_EQ(p.CreateFromDIB(d), 1);
  ASSERT_EQ(p.Palette()->Size(), 16u);
  EXPECT_EQ(p.Palette()->Entries(5, 1)[0], (gdi::PaletteEntry{200, 15, 80, 0}));
  CDIB deep;
  std::vector<uint8_t> block(40, 0);
  gdi::BitmapInfoHeader h;
  h.width = h.height = 1;
  h.bitCount = 24;
  std::memcpy(block.data(), &h, sizeof h);
  uint8_t pixel[4] = {};
  ASSERT_EQ(deep.AttachBits(block, pixel), 1);
  CGamePalette none;
  EXPECT_EQ(none.CreateFromDIB(deep), 0);
  EXPECT_EQ(none.Palette(), nullptr);
}

TEST_F(GamePalette, MakeIdentityOnThePaletteScreenOnly) {
  CDIB d;
  SixteenColours(d);
  CGamePalette p;
  ASSERT_EQ(p.CreateFromDIB(d), 1);
  gdi::SetScreenBitsPerPixel(32);
  EXPECT_EQ(p.MakeIdentity(), 0) << "true colour reports -1 colours and no palette";
  EXPECT_EQ(p.Palette()->Size(), 16u);
  gdi::SetScreenBitsPerPixel(16);
  EXPECT_EQ(p.MakeIdentity(), 0);

  gdi::SetScreenBitsPerPixel(8);
  // Something else had the system palette.
  std::vector<gdi::PaletteEntry> other(200, gdi::PaletteEntry{1, 2, 3, gdi::kPcNoCollapse});
  gdi::Dc elsewhere(gdi::Surface::Create(1, 1));
  elsewhere.SelectPalette(gdi::Palette::Create(other), false);
  elsewhere.RealizePalette();
  ASSERT_EQ(p.MakeIdentity(), 1);
  const auto entries = p.Palette()->Entries(0, 300);
  ASSERT_EQ(entries.size(), 256u);
  const auto system = gdi::GetSystemPaletteEntries(0, 256);
  for (size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(entries[i].flags, i < 10 || i >= 246 ? 0 : gdi::kPcNoCollapse) << i;
    EXPECT_EQ((gdi::PaletteEntry{entries[i].red, entries[i].green, entries[i].blue, 0}),
              system[i])
        << i;
  }
  // The bitmap's colours came first among the free slots.
  EXPECT_EQ(entries[10 + 5], (gdi::PaletteEntry{200, 15, 80, gdi::kPcNoCollapse}));
  EXPECT_EQ(gdi::GetSystemPaletteUse(), gdi::kSysPalStatic);
}

// Counts the erasures its repaints ask for.
class Plain : public ui::ScreenWindow {
public:
  static inline int erased = 0;

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override {
    if (message == win::WM_ERASEBKGND)
      ++erased;
    return Default(message, wParam, lParam);
  }
};

TEST_F(GamePalette, PaletteMessagesRealiseAndEraseOnlyWhenEntriesChanged) {
  static const bool registered = ui::RegisterScreenClass(
      {"GamePaletteTest", 0, [] { return std::make_unique<Plain>(); }, nullptr, std::nullopt});
  ASSERT_TRUE(registered);
  win::CreateParams params;
  params.className = "GamePaletteTest";
  params.style = win::WS_POPUP | win::WS_VISIBLE;
  params.width = 40;
  params.height = 30;
  const win::Hwnd hwnd = win::CreateWindow(params);
  ASSERT_NE(hwnd, 0u);
  ui::ValidateRect(hwnd, nullptr);
  CDIB d;
  SixteenColours(d);
  CGamePalette p;
  ASSERT_EQ(p.CreateFromDIB(d), 1);

  EXPECT_EQ(OnQueryNewPalette(hwnd, nullptr), 0);
  gdi::SetScreenBitsPerPixel(32);
  EXPECT_EQ(OnQueryNewPalette(hwnd, p.Palette()), 0);
  EXPECT_FALSE(ui::GetUpdateRect(hwnd));

  gdi::SetScreenBitsPerPixel(8);
  EXPECT_EQ(OnQueryNewPalette(hwnd, p.Palette()), 1);
  EXPECT_EQ(ui::GetUpdateRect(hwnd), (gdi::Rect{0, 0, 40, 30}));
  Plain::erased = 0;
  {
    ui::Paint paint(hwnd); // the repaint, with its erase
    EXPECT_TRUE(paint.IsValid());
  }
  EXPECT_EQ(Plain::erased, 1) << "the invalidation asks for erasing";
  EXPECT_EQ(OnQueryNewPalette(hwnd, p.Palette()), 0) << "nothing changed";
  EXPECT_FALSE(ui::GetUpdateRect(hwnd));
  EXPECT_EQ(OnPaletteChanged(hwnd, hwnd, p.Palette()), 0);
  std::vector<gdi::PaletteEntry> other(30, gdi::PaletteEntry{1, 2, 3, gdi::kPcNoCollapse});
  gdi::Dc elsewhere(gdi::Surface::Create(1, 1));
  elsewhere.SelectPalette(gdi::Palette::Create(other), false);
  ASSERT_GT(elsewhere.RealizePalette(), 0);
  EXPECT_EQ(OnPaletteChanged(hwnd, hwnd, p.Palette()), 0) << "its own change";
  EXPECT_EQ(OnPaletteChanged(hwnd, hwnd + 1, p.Palette()), 1);
  EXPECT_TRUE(ui::GetUpdateRect(hwnd));
  win::DestroyWindow(hwnd);
}

} // namespace

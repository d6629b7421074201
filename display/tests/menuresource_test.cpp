// Menu resources: the text form, its errors, and the display's own menu.
#include "display/frame.h"
#include "display/menuresource.h"
#include "display/tests/support/session.h"

#include <gtest/gtest.h>

using namespace display;

namespace {

TEST(MenuResource, ParsesPopupsItemsAndSeparators) {
  auto menu = ParseMenuResource("# a comment\n"
                                "POPUP Main\r\n"
                                "  ITEM 10 &Open file...\n"
                                "  SEPARATOR\n"
                                "  POPUP More\n"
                                "    ITEM 11 Deeper\n"
                                "  END\n"
                                "END\n"
                                "\n"
                                "ITEM 65535 Last\n");
  ASSERT_TRUE(menu);
  ASSERT_EQ(menu->items.size(), 2u);
  const ui::MenuItem& main = menu->items[0];
  EXPECT_EQ(main.text, "Main");
  ASSERT_EQ(main.items.size(), 3u);
  EXPECT_EQ(main.items[0].id, 10u);
  EXPECT_EQ(main.items[0].text, "&Open file...");
  EXPECT_TRUE(main.items[1].separator);
  EXPECT_EQ(main.items[2].items[0].text, "Deeper");
  EXPECT_EQ(menu->items[1].id, 65535u);
  EXPECT_NE(menu->Find(11), nullptr);
}

TEST(MenuResource, RefusesMalformedText) {
  const char* bad[] = {
      "POPUP A\nITEM 1 x\n",            // no END
      "END\n",                          // END without POPUP
      "ITEM 0 zero\n",                  // id 0
      "ITEM 65536 big\n",               // id too large
      "ITEM 12x text\n",                // not a number
      "MENUITEM 1 x\n",                 // unknown word
      "POPUP A\nITEM 1 x\nEND extra\n", // END with text
      "POPUP 1\nPOPUP 2\nPOPUP 3\nPOPUP 4\nPOPUP 5\nPOPUP 6\nPOPUP 7\nPOPUP 8\nPOPUP 9\n"
      "END\nEND\nEND\nEND\nEND\nEND\nEND\nEND\nEND\n", // too deep
  };
  for (const char* text : bad)
    EXPECT_FALSE(ParseMenuResource(text)) << text;
}

TEST(MenuResource, TheDisplaysMenuOffersEveryCommandOfTheFrame) {
  displaytest::StartSession();
  auto menu = LoadMenuResource(20000);
  ASSERT_TRUE(menu);
  ui::Menu popup = menu->SubMenu(0);
  for (uint32_t id : {cmd::kMinimise, cmd::kMaximise, cmd::kHostMenu, cmd::kStillMode,
                      cmd::kOverlayMode, cmd::kMpegMode, cmd::kInfoMode, cmd::kLayoutEdit,
                      cmd::kLyricText, cmd::kOpenFile, cmd::kController, cmd::kClose})
    EXPECT_NE(popup.Find(id), nullptr) << id;
  EXPECT_FALSE(LoadMenuResource(1));
}

} // namespace

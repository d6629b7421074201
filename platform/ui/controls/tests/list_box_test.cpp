// List boxes: a sorted list filled and read by messages.
#include "platform/ui/controls/list_box.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ui {
namespace {

using uitest::DialogTest;
using uitest::LogDialog;

TEST_F(DialogTest, ASortedListBoxFilledByMessages) {
  uitest::WithForm([](LogDialog& d, Hwnd h) {
    for (const char* item : {"pear", "Apple", "fig"})
      SendDlgItemMessage(h, 1006, LB_ADDSTRING, 0, reinterpret_cast<LParam>(item));
    EXPECT_EQ(SendDlgItemMessage(h, 1006, LB_GETCOUNT), 3);
    EXPECT_EQ(d.Item<ListBox>(1006)->Items(), (std::vector<std::string>{"Apple", "fig", "pear"}));
    EXPECT_EQ(SendDlgItemMessage(h, 1006, LB_SETCURSEL, 2), 2);
    EXPECT_EQ(SendDlgItemMessage(h, 1006, LB_GETCURSEL), 2);
    EXPECT_EQ(SendDlgItemMessage(h, 1006, LB_GETTEXTLEN, 1), 3);
    char item[8] = {};
    EXPECT_EQ(SendDlgItemMessage(h, 1006, LB_GETTEXT, 1, reinterpret_cast<LParam>(item)), 3);
    EXPECT_EQ(std::string(item), "fig");
    EXPECT_EQ(SendDlgItemMessage(h, 1006, LB_GETTEXTLEN, 9), LB_ERR);
    EXPECT_EQ(SendDlgItemMessage(h, 1006, LB_DELETESTRING, 0), 2);
    EXPECT_EQ(SendDlgItemMessage(h, 1006, LB_GETCURSEL), 1); // still "pear"
  });
}

} // namespace
} // namespace ui

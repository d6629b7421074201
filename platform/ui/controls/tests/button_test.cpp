// Buttons: check boxes checked by id and by message.
#include "platform/ui/controls/button.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

using uitest::DialogTest;
using uitest::LogDialog;

TEST_F(DialogTest, CheckBoxesAreCheckedByIdAndByMessage) {
  uitest::WithForm([](LogDialog&, Hwnd h) {
    EXPECT_TRUE(CheckDlgButton(h, 1005, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(h, 1005), BST_CHECKED);
    EXPECT_EQ(SendDlgItemMessage(h, 1005, BM_GETCHECK), BST_CHECKED);
    EXPECT_FALSE(CheckDlgButton(h, 1001, BST_CHECKED)); // an edit has no check
  });
}

} // namespace
} // namespace ui

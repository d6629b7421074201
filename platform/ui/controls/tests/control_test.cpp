// What every control kind shares: texts in the dialog's code page through
// the helpers and the text messages, and controls only under a dialog.
#include "platform/ui/controls/control.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace ui {
namespace {

using uitest::DialogTest;
using uitest::LogDialog;

TEST_F(DialogTest, TextsGoInAndOutInTheDialogsCodePage) {
  uitest::WithForm([](LogDialog&, Hwnd h) {
    Hwnd edit = GetDlgItem(h, 1001);
    ASSERT_NE(edit, 0u);
    // Texts go in and out in the dialog's code page (949 here).
    const std::string hangulBytes = "\xB0\xA1\xB3\xAA"; // two syllables in 949
    ASSERT_TRUE(SetDlgItemText(h, 1001, hangulBytes));
    EXPECT_EQ(GetDlgItemTextUtf8(h, 1001), "\xEA\xB0\x80\xEB\x82\x98");
    EXPECT_EQ(GetDlgItemText(h, 1001), hangulBytes);
    EXPECT_EQ(win::GetWindowText(edit), std::optional<std::string>("\xEA\xB0\x80\xEB\x82\x98"));
    EXPECT_FALSE(SetDlgItemText(h, 4242, "x"));
    EXPECT_EQ(GetDlgItemText(h, 4242), "");
    char buffer[4];
    EXPECT_EQ(
        win::SendMessage(edit, win::WM_GETTEXT, sizeof buffer, reinterpret_cast<LParam>(buffer)),
        2); // never half a character
    EXPECT_EQ(std::string(buffer), "\xB0\xA1");
    EXPECT_EQ(win::SendMessage(edit, WM_GETTEXTLENGTH), 4);
  });
}

TEST_F(DialogTest, ControlsUnderAnythingButADialogAreRefused) {
  win::CreateParams p;
  p.className = "Button";
  p.title = "alone";
  EXPECT_EQ(win::CreateWindow(p), 0u);
  p.className = kDialogClass;
  EXPECT_EQ(win::CreateWindow(p), 0u);
}

} // namespace
} // namespace ui

// Progress bars: the position is kept within the range.
#include "platform/ui/controls/progress.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

using uitest::DialogTest;
using uitest::LogDialog;

TEST_F(DialogTest, AProgressBarKeepsItsPositionWithinTheRange) {
  uitest::WithForm([](LogDialog&, Hwnd h) {
    SendDlgItemMessage(h, 1008, PBM_SETRANGE, 0, MakeLParam(0, 10));
    EXPECT_EQ(SendDlgItemMessage(h, 1008, PBM_SETPOS, 25), 0);
    EXPECT_EQ(SendDlgItemMessage(h, 1008, PBM_GETPOS), 10); // kept within the range
  });
}

} // namespace
} // namespace ui

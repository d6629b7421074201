// Up-down controls: from a template's CONTROL line and made by hand; the
// range either way round, the position kept in it or wrapped, the buddy
// showing the position and read back, and WM_VSCROLL or WM_HSCROLL to the
// dialog with the control's own window.
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/tests/support/dialog_form.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/scroll_bar.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

using uitest::DialogTest;
using uitest::LogDialog;

constexpr const char* kSpins = R"(
DIALOG 0 0 200 60
CAPTION "Spins"
EDIT    1001 "" 4 4 30 12
CONTROL "msctls_updown32" 1002 "" 34 4 10 12 0x0012
CONTROL "msctls_updown32" 1003 "" 60 4 20 12 0x0041
EDIT    1004 "" 4 24 30 12
)";

void WithSpins(const std::function<void(LogDialog&, Hwnd)>& check) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  DialogTemplateError error;
  auto t = ParseDialogTemplate(kSpins, &error);
  ASSERT_TRUE(t) << error.line << ": " << error.message;
  LogDialog dialog(*t);
  bool ran = false;
  dialog.onInit = [&](LogDialog& d) {
    ran = true;
    check(d, d.GetHwnd());
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(ran);
}

// The scroll messages the dialog heard: (message, code, position, control).
struct Heard {
  uint32_t message;
  uint32_t code;
  int position;
  Hwnd control;
  friend bool operator==(const Heard&, const Heard&) = default;
};
std::vector<Heard> Scrolls(const LogDialog& d) {
  std::vector<Heard> out;
  for (const auto& m : d.Only({WM_VSCROLL, WM_HSCROLL}))
    out.push_back({m.message, LowWord(m.wParam), static_cast<int16_t>(HighWord(m.wParam)),
                   static_cast<Hwnd>(m.lParam)});
  return out;
}

TEST_F(DialogTest, AnUpDownStepsWithinItsRangeShowsItInItsBuddyAndTellsTheDialog) {
  WithSpins([](LogDialog& d, Hwnd h) {
    auto* spin = d.Item<UpDown>(1002);
    ASSERT_NE(spin, nullptr);
    EXPECT_FALSE(spin->Horizontal());
    // Automatic buddy: the edit before it, showing the number.
    EXPECT_EQ(SendDlgItemMessage(h, 1002, UDM_GETBUDDY), static_cast<LResult>(GetDlgItem(h, 1001)));
    SendDlgItemMessage(h, 1002, UDM_SETRANGE32, 1, 3);
    EXPECT_EQ(SendDlgItemMessage(h, 1002, UDM_SETPOS32, 0, 2), 1) << "kept at the lower end";
    EXPECT_EQ(GetDlgItemText(h, 1001), "2");
    const Hwnd self = GetDlgItem(h, 1002);
    struct Row {
      int direction;
      bool moved;
      int position;
    };
    const Row rows[] = {{1, true, 3}, {1, false, 3}, {-1, true, 2}, {-1, true, 1}, {-1, false, 1}};
    for (const Row& row : rows) {
      d.log.clear();
      EXPECT_EQ(spin->Step(row.direction), row.moved);
      EXPECT_EQ(spin->Position(), row.position);
      EXPECT_EQ(GetDlgItemText(h, 1001), std::to_string(row.position));
      if (row.moved)
        EXPECT_EQ(Scrolls(d),
                  (std::vector<Heard>{{WM_VSCROLL, SB_THUMBPOSITION, row.position, self},
                                      {WM_VSCROLL, SB_ENDSCROLL, row.position, self}}));
      else
        EXPECT_TRUE(Scrolls(d).empty());
    }
    // A number typed into the buddy is where the next step starts.
    SetDlgItemText(h, 1001, "3");
    EXPECT_EQ(LowWord(static_cast<uintptr_t>(SendDlgItemMessage(h, 1002, UDM_GETPOS))), 3u);
    EXPECT_TRUE(spin->Step(-1));
    EXPECT_EQ(spin->Position(), 2);
    // The range given upper first: the up arrow goes down.
    SendDlgItemMessage(h, 1002, UDM_SETRANGE, 0, MakeLParam(0, 10));
    EXPECT_EQ(SendDlgItemMessage(h, 1002, UDM_GETRANGE), MakeLParam(0, 10));
    EXPECT_TRUE(spin->Step(1));
    EXPECT_EQ(spin->Position(), 1);
    int32_t low = -5, high = -5;
    SendDlgItemMessage(h, 1002, UDM_GETRANGE32, reinterpret_cast<WParam>(&low),
                       reinterpret_cast<LParam>(&high));
    EXPECT_EQ(low, 10);
    EXPECT_EQ(high, 0);
  });
}

TEST_F(DialogTest, AHorizontalUpDownWrapsAndSendsWmHscroll) {
  WithSpins([](LogDialog& d, Hwnd h) {
    auto* spin = d.Item<UpDown>(1003);
    ASSERT_NE(spin, nullptr);
    EXPECT_TRUE(spin->Horizontal());
    EXPECT_EQ(spin->Buddy(), 0u) << "no automatic buddy";
    SendDlgItemMessage(h, 1003, UDM_SETRANGE32, static_cast<WParam>(-1), 1);
    SendDlgItemMessage(h, 1003, UDM_SETPOS32, 0, 1);
    EXPECT_TRUE(spin->Step(1));
    EXPECT_EQ(spin->Position(), -1) << "wrapped";
    const auto heard = Scrolls(d);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), (Heard{WM_HSCROLL, SB_THUMBPOSITION, -1, GetDlgItem(h, 1003)}));
    // Disabled, it takes no clicks.
    spin->Enable(false);
    EXPECT_FALSE(spin->Step(1));
  });
}

TEST_F(DialogTest, AnUpDownMadeByHandTakesItsRangePositionAndBuddy) {
  WithSpins([](LogDialog& d, Hwnd h) {
    const Hwnd made = CreateUpDown(h, 1010, gdi::MakeRect(40, 24, 10, 12), UDS_SETBUDDYINT, 0, 127,
                                   64, GetDlgItem(h, 1004));
    ASSERT_NE(made, 0u);
    auto* spin = d.Item<UpDown>(1010);
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->Position(), 64);
    EXPECT_EQ(GetDlgItemText(h, 1004), "64");
    EXPECT_TRUE(spin->Step(1));
    EXPECT_EQ(GetDlgItemText(h, 1004), "65");
    EXPECT_EQ(d.State().Find(1010)->position, 65);
    // Only under a dialog.
    EXPECT_EQ(CreateUpDown(0, 1011, gdi::MakeRect(0, 0, 10, 10), 0, 0, 1, 0), 0u);
  });
}

} // namespace
} // namespace ui

// Buttons: check boxes checked by id and by message; radio buttons that
// clear the others of their group.
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

TEST(RadioButtons, AClickChecksOneAndClearsOnlyItsGroup) {
  DialogTemplateError error;
  auto form = ParseDialogTemplate(R"(DIALOG 0 0 100 100
AUTORADIOBUTTON 11 "A" 0 0 40 10 GROUP
AUTORADIOBUTTON 12 "B" 0 10 40 10
RADIOBUTTON     13 "C" 0 20 40 10
AUTORADIOBUTTON 21 "D" 0 30 40 10 GROUP
AUTORADIOBUTTON 22 "E" 0 40 40 10
DEFBUTTON IDOK "OK" 50 80 40 14 GROUP
)",
                                  &error);
  ASSERT_TRUE(form) << error.line << ": " << error.message;
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  struct Case {
    int32_t click;
    std::vector<int32_t> checked; // after the click, of 11, 12, 13, 21, 22
  };
  const Case cases[] = {{11, {11, 13, 21}}, {12, {12, 13, 21}}, {22, {12, 13, 22}},
                        {13, {12, 13, 22}}};
  script->Expect({});
  uitest::LogDialog dialog(*form);
  dialog.onInit = [&](uitest::LogDialog& d) {
    const Hwnd h = d.GetHwnd();
    // Set by their owner: C (owner-checked) and D.
    CheckDlgButton(h, 13, BST_CHECKED);
    CheckDlgButton(h, 21, BST_CHECKED);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.click);
      EXPECT_TRUE(d.Click(c.click));
      std::vector<int32_t> checked;
      for (int32_t id : {11, 12, 13, 21, 22})
        if (IsDlgButtonChecked(h, id) == BST_CHECKED)
          checked.push_back(id);
      EXPECT_EQ(checked, c.checked);
    }
  };
  dialog.DoModal();
}

} // namespace
} // namespace ui

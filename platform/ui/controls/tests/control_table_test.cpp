// The control table: a kind the library does not have joins dialogs with
// one file (level_meter.h) and one row, through templates, messages, the
// script's record and Qt widgets alike.
#include "platform/ui/controls/control_table.h"
#include "platform/ui/controls/tests/level_meter.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <QLabel>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace ui {
namespace {

using uitest::kLevelMeter;
using uitest::LevelMeter;
using uitest::LogDialog;
using uitest::Logged;

const ControlClass kTestControls[] = {
    {kLevelMeter, MakeControl<LevelMeter>},
};

void RegisterTestControls() {
  static const bool registered = [] {
    for (const ControlClass& row : kTestControls)
      EXPECT_TRUE(RegisterControlClass(row));
    return true;
  }();
  (void)registered;
}

DialogTemplate MeterForm() {
  DialogTemplate t;
  t.caption = "Levels";
  t.width = 120;
  t.height = 60;
  t.style = DefaultDialogStyle();
  DialogItemTemplate meter;
  meter.kind = kLevelMeter;
  meter.id = 2001;
  meter.text = "Level";
  meter.x = 7;
  meter.y = 7;
  meter.width = 60;
  meter.height = 10;
  meter.style = win::WS_CHILD | win::WS_VISIBLE | WS_TABSTOP;
  t.items.push_back(meter);
  DialogItemTemplate ok = meter;
  ok.kind = ControlKind::Button;
  ok.id = IDOK;
  ok.text = "OK";
  ok.y = 30;
  ok.style = win::WS_CHILD | win::WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
  t.items.push_back(ok);
  return t;
}

class ControlTableTest : public uitest::DialogTest {
protected:
  void SetUp() override {
    DialogTest::SetUp();
    RegisterTestControls();
  }
};

TEST_F(ControlTableTest, ANewKindIsOneFileAndOneRow) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  script->Expect(
      {DialogStep::ChooseIn(2001, 7), DialogStep::ChooseIn(2001, 11), DialogStep::PressEnter()});
  LogDialog dialog(MeterForm());
  dialog.onInit = [](LogDialog& d) {
    Hwnd h = d.GetHwnd();
    Hwnd meter = GetDlgItem(h, 2001);
    ASSERT_NE(meter, 0u);
    EXPECT_EQ(win::GetClassName(meter), std::optional<std::string>("UiTestLevelMeter"));
    ASSERT_NE(d.Item<LevelMeter>(2001), nullptr);
    EXPECT_EQ(d.Item<Button>(2001), nullptr); // not another kind
    EXPECT_EQ(SendDlgItemMessage(h, 2001, uitest::LM_SETLEVEL, 4), 0);
    EXPECT_EQ(SendDlgItemMessage(h, 2001, uitest::LM_GETLEVEL), 4);
    EXPECT_EQ(GetDlgItemTextUtf8(h, 2001), "Level"); // the common messages hold
    EXPECT_FALSE(d.Click(2001));                     // a kind takes only what it has
  };
  EXPECT_EQ(dialog.DoModal(), IDOK);

  auto runs = script->Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].accepted, (std::vector<bool>{true, false, true}));
  ASSERT_EQ(runs[0].states.size(), 4u);
  ASSERT_NE(runs[0].states[0].Find(2001), nullptr);
  EXPECT_EQ(runs[0].states[0].Find(2001)->kind, kLevelMeter);
  EXPECT_EQ(runs[0].states[0].Find(2001)->position, 4);
  EXPECT_EQ(runs[0].states[1].Find(2001)->position, 7);
  EXPECT_EQ(runs[0].states[2].Find(2001)->position, 7);
  std::vector<std::pair<uint16_t, uint16_t>> commands;
  for (const Logged& m : dialog.Only({win::WM_COMMAND}))
    commands.emplace_back(LowWord(m.wParam), HighWord(m.wParam));
  EXPECT_EQ(commands, (std::vector<std::pair<uint16_t, uint16_t>>{{2001, uitest::LMN_CHOSEN},
                                                                  {IDOK, BN_CLICKED}}));
}

class QtControlTableTest : public uitest::QtDialogTest {
protected:
  void SetUp() override {
    QtDialogTest::SetUp();
    uitest::StartRuntime();
    RegisterTestControls();
  }
};

TEST_F(QtControlTableTest, ANewKindMakesAndUpdatesItsOwnWidget) {
  auto script = std::make_shared<ScriptedDialogs>(true);
  ScopedDialogBackend scoped(script);
  LogDialog dialog(MeterForm());
  dialog.onInit = [](LogDialog& d) {
    auto* label = qobject_cast<QLabel*>(d.ItemWidget(2001));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Level 0");
    SendDlgItemMessage(d.GetHwnd(), 2001, uitest::LM_SETLEVEL, 9);
    EXPECT_EQ(label->text(), "Level 9");
    gdi::Rect r = d.Item(2001)->Rect();
    EXPECT_EQ(label->geometry(), QRect(r.left, r.top, r.Width(), r.Height()));
    d.Item(2001)->Enable(false);
    EXPECT_FALSE(label->isEnabled());
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

} // namespace
} // namespace ui

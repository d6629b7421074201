// The progress dialog of both bundles: Enter and Esc leave it open, the bar
// runs 0 to 100 unless set, a busy job's changes are painted at once or,
// without widgets, echoed on standard error; and how it looks.
#include "display/progressdlg.h"

#include "platform/ui/controls/progress.h"
#include "display/tests/support/session.h"
#include "platform/ui/dialog/dialog.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using ui::ProgressBar;

std::optional<ui::DialogTemplate> TemplateOf(const char* bundleName) {
  std::optional<res::Bundle> bundle = res::Bundle::Load(bundleName, VEXO_BIN_DIR);
  if (!bundle)
    return std::nullopt;
  return ProgressDlg::LoadTemplate(*bundle);
}

// The display tests' one application and runtime folder: a second
// application, or another runtime folder, would be left to the tests that
// run after these in the same process.
class ProgressDlgTest : public ::testing::Test {
protected:
  void SetUp() override { displaytest::StartSession(); }
};
using ProgressDlgWidgetTest = ProgressDlgTest;

TEST_F(ProgressDlgTest, EnterAndEscLeaveItOpenAndTheBarRunsToAHundred) {
  for (const char* bundle : {"rKivo32", "rTondo32"}) {
    SCOPED_TRACE(bundle);
    std::optional<ui::DialogTemplate> t = TemplateOf(bundle);
    ASSERT_TRUE(t);
    for (int32_t id :
         {ProgressDlg::kItemProgress, ProgressDlg::kItemFirstText, ProgressDlg::kItemSecondText})
      EXPECT_NE(t->Find(id), nullptr) << id;

    ui::ScopedDialogBackend scoped(std::make_shared<ui::ScriptedDialogs>());
    ProgressDlg dlg(*t);
    ASSERT_TRUE(dlg.Create());
    auto* bar = dlg.Item<ProgressBar>(ProgressDlg::kItemProgress);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->RangeLow(), 0);
    EXPECT_EQ(bar->RangeHigh(), 100);
    dlg.PressEscape();
    dlg.PressEnter();
    dlg.PressClose();
    EXPECT_FALSE(dlg.Ended());
    dlg.SetRange(0, 400);
    EXPECT_EQ(bar->RangeHigh(), 400);
    // Once closable, Enter closes it.
    dlg.closable = 1;
    dlg.PressEnter();
    EXPECT_TRUE(dlg.Ended());
    win::DestroyWindow(dlg.GetHwnd());
  }
}

TEST_F(ProgressDlgTest, WithoutWidgetsABusyJobIsEchoedOnStandardError) {
  std::optional<ui::DialogTemplate> t = TemplateOf("rTondo32");
  ASSERT_TRUE(t);
  ui::ScopedDialogBackend scoped(std::make_shared<ui::ScriptedDialogs>());
  ProgressDlg dlg(*t);
  ASSERT_TRUE(dlg.Create());
  dlg.SetBusy(true);
  ::testing::internal::CaptureStderr();
  ui::SetDlgItemText(dlg.GetHwnd(), ProgressDlg::kItemFirstText, "Building Song0001.alb");
  ui::SetDlgItemText(dlg.GetHwnd(), ProgressDlg::kItemSecondText, "Twinkle");
  ui::SendDlgItemMessage(dlg.GetHwnd(), ProgressDlg::kItemProgress, ui::PBM_SETPOS, 40);
  ui::SendDlgItemMessage(dlg.GetHwnd(), ProgressDlg::kItemProgress, ui::PBM_SETPOS, 40);
  ui::SetDlgItemText(dlg.GetHwnd(), ProgressDlg::kItemSecondText, " ");
  std::string echoed = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(echoed, "Building Song0001.alb [0%]\n"
                    "Building Song0001.alb | Twinkle [0%]\n"
                    "Building Song0001.alb | Twinkle [40%]\n"
                    "Building Song0001.alb [40%]\n");
  // A busy dialog takes nothing from a person.
  dlg.closable = 1;
  dlg.PressEnter();
  EXPECT_FALSE(dlg.Ended());
  dlg.SetBusy(false);
  dlg.PressEnter();
  EXPECT_TRUE(dlg.Ended());
  win::DestroyWindow(dlg.GetHwnd());
}

TEST_F(ProgressDlgWidgetTest, ABusyJobsChangesShowWithoutTheLoop) {
  std::optional<ui::DialogTemplate> t = TemplateOf("rTondo32");
  ASSERT_TRUE(t);
  ui::ScopedDialogBackend scoped(std::make_shared<ui::QtDialogs>());
  ProgressDlg dlg(*t);
  ASSERT_TRUE(dlg.Create());
  ASSERT_TRUE(dlg.Widget() && dlg.Widget()->isVisible());
  dlg.SetBusy(true);
  ui::SetDlgItemText(dlg.GetHwnd(), ProgressDlg::kItemFirstText, "Building the albums");
  ui::SetDlgItemText(dlg.GetHwnd(), ProgressDlg::kItemSecondText, "Twinkle Twinkle");
  ui::SendDlgItemMessage(dlg.GetHwnd(), ProgressDlg::kItemProgress, ui::PBM_SETPOS, 60);
  EXPECT_EQ(qobject_cast<QLabel*>(dlg.ItemWidget(ProgressDlg::kItemSecondText))->text(),
            "Twinkle Twinkle");
  EXPECT_EQ(qobject_cast<QProgressBar*>(dlg.ItemWidget(ProgressDlg::kItemProgress))->value(), 60);

  const std::string png = ::testing::TempDir() + "progressdlg.png";
  ASSERT_TRUE(dlg.Widget()->grab().save(QString::fromStdString(png)));
  QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), dlg.Widget()->size());
  // The bar's filled part differs from its empty part.
  QRect bar = dlg.ItemWidget(ProgressDlg::kItemProgress)->geometry();
  int y = bar.center().y();
  EXPECT_NE(image.pixel(bar.left() + bar.width() / 4, y),
            image.pixel(bar.right() - bar.width() / 10, y));
  dlg.SetBusy(false);
  win::DestroyWindow(dlg.GetHwnd());
}

} // namespace

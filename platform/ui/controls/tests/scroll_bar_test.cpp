// Scroll-bar controls: range and position by message, the scroll codes a
// person gives reaching the dialog with the control's window, the thumb
// held where it is dragged, and the Qt bar showing the position the dialog
// sets.
#include "platform/ui/controls/scroll_bar_control.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <QScrollBar>
#include <gtest/gtest.h>

namespace ui {
namespace {

using uitest::DialogTest;
using uitest::LogDialog;
using uitest::Logged;
using uitest::QtDialogTest;

constexpr const char* kBars = R"(DIALOG 0 0 160 60
CAPTION "Bars"
CONTROL "ScrollBar" 3000 "" 5 5 150 10
CONTROL "ScrollBar" 3001 "" 5 20 10 30 0x1
CONTROL "ScrollBar" 3002 "" 20 20 100 10 DISABLED
DEFBUTTON IDOK "OK" 120 40 35 14
)";

DialogTemplate Bars() {
  DialogTemplateError error;
  auto t = ParseDialogTemplate(kBars, &error);
  EXPECT_TRUE(t) << error.line << ": " << error.message;
  return t ? *t : DialogTemplate{};
}

TEST_F(DialogTest, AScrollBarKeepsItsPositionWithinItsRange) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  LogDialog dialog(Bars());
  dialog.onInit = [](LogDialog& d) {
    const Hwnd h = d.GetHwnd();
    EXPECT_EQ(win::GetClassName(GetDlgItem(h, 3000)), std::optional<std::string>("ScrollBar"));
    struct Row {
      const char* what;
      int32_t min, max, pos;
      int32_t wantMin, wantMax, wantPos;
    } rows[] = {
        {"inside", 0, 255, 128, 0, 255, 128},       {"past the top", 10, 20, 25, 10, 20, 20},
        {"below the bottom", -5, 5, -9, -5, 5, -5}, {"a reversed range", 30, 5, 12, 5, 30, 12},
        {"an empty range", 7, 7, 3, 7, 7, 7},
    };
    for (const Row& r : rows) {
      SCOPED_TRACE(r.what);
      SendDlgItemMessage(h, 3000, SBM_SETRANGE, static_cast<WParam>(r.min), r.max);
      SendDlgItemMessage(h, 3000, SBM_SETPOS, static_cast<WParam>(r.pos), 1);
      int32_t min = -1, max = -1;
      SendDlgItemMessage(h, 3000, SBM_GETRANGE, reinterpret_cast<WParam>(&min),
                         reinterpret_cast<LParam>(&max));
      EXPECT_EQ(min, r.wantMin);
      EXPECT_EQ(max, r.wantMax);
      EXPECT_EQ(SendDlgItemMessage(h, 3000, SBM_GETPOS), r.wantPos);
      const DialogState state = d.State();
      const ControlState* s = state.Find(3000);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(s->position, r.wantPos);
      EXPECT_EQ(s->rangeMin, r.wantMin);
      EXPECT_EQ(s->rangeMax, r.wantMax);
    }
    // A narrower range pulls the position in with it.
    SendDlgItemMessage(h, 3000, SBM_SETRANGE, 0, 100);
    SendDlgItemMessage(h, 3000, SBM_SETPOS, 90);
    EXPECT_EQ(SendDlgItemMessage(h, 3000, SBM_SETRANGE, 0, 50), 90);
    EXPECT_EQ(SendDlgItemMessage(h, 3000, SBM_GETPOS), 50);
    // With a page, the last position leaves the page inside the range.
    ScrollInfo info;
    info.mask = SIF_PAGE | SIF_POS;
    info.page = 10;
    info.pos = 50;
    EXPECT_EQ(SendDlgItemMessage(h, 3000, SBM_SETSCROLLINFO, 0, reinterpret_cast<LParam>(&info)),
              41);
  };
  dialog.DoModal();
}

TEST_F(DialogTest, ScrollCodesReachTheDialogWithTheBarsWindow) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  script->Expect({DialogStep::ScrollIn(3000, SB_LINEDOWN), DialogStep::ScrollIn(3000, SB_PAGEUP),
                  DialogStep::ScrollIn(3000, SB_THUMBTRACK, 70),
                  DialogStep::ScrollIn(3000, SB_THUMBTRACK, 400),
                  DialogStep::ScrollIn(3000, SB_THUMBPOSITION, 60),
                  DialogStep::ScrollIn(3000, SB_ENDSCROLL), DialogStep::ScrollIn(3001, SB_LINEUP),
                  DialogStep::ScrollIn(3002, SB_LINEUP), DialogStep::ScrollIn(3000, 99),
                  DialogStep::PressEscape()});
  LogDialog dialog(Bars());
  Hwnd bar = 0, vertical = 0;
  dialog.onInit = [&](LogDialog& d) {
    bar = GetDlgItem(d.GetHwnd(), 3000);
    vertical = GetDlgItem(d.GetHwnd(), 3001);
    SendDlgItemMessage(d.GetHwnd(), 3000, SBM_SETRANGE, 0, 255);
    SendDlgItemMessage(d.GetHwnd(), 3000, SBM_SETPOS, 20);
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  const std::vector<Logged> got = dialog.Only({WM_HSCROLL, WM_VSCROLL});
  const std::vector<Logged> want = {
      {WM_HSCROLL, MakeWParam(SB_LINEDOWN, 0), static_cast<LParam>(bar)},
      {WM_HSCROLL, MakeWParam(SB_PAGEUP, 0), static_cast<LParam>(bar)},
      {WM_HSCROLL, MakeWParam(SB_THUMBTRACK, 70), static_cast<LParam>(bar)},
      {WM_HSCROLL, MakeWParam(SB_THUMBTRACK, 255), static_cast<LParam>(bar)}, // held in range
      {WM_HSCROLL, MakeWParam(SB_THUMBPOSITION, 60), static_cast<LParam>(bar)},
      {WM_HSCROLL, MakeWParam(SB_ENDSCROLL, 0), static_cast<LParam>(bar)},
      {WM_VSCROLL, MakeWParam(SB_LINEUP, 0), static_cast<LParam>(vertical)},
  };
  EXPECT_EQ(got, want);
  const std::vector<DialogRun> runs = script->Runs();
  ASSERT_EQ(runs.size(), 1u);
  // The disabled bar and an unknown code are refused.
  EXPECT_EQ(runs[0].accepted,
            (std::vector<bool>{true, true, true, true, true, true, true, false, false, true}));
  // Nobody set the position: it stayed where the dialog put it.
  EXPECT_EQ(runs[0].states.back().Find(3000)->position, 20);
}

// Moves its bar three on a line step down, as a dialog's handler does.
class SteppingDialog : public LogDialog {
public:
  using LogDialog::LogDialog;

protected:
  std::optional<LResult> OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    if (message == WM_HSCROLL && LowWord(wParam) == SB_LINEDOWN) {
      const auto bar = static_cast<Hwnd>(lParam);
      win::SendMessage(bar, SBM_SETPOS, win::SendMessage(bar, SBM_GETPOS, 0, 0) + 3, 1);
    }
    return LogDialog::OnMessage(message, wParam, lParam);
  }
};

TEST_F(QtDialogTest, TheQtBarTellsTheDialogAndShowsThePositionItSets) {
  auto script = std::make_shared<ScriptedDialogs>(true);
  ScopedDialogBackend scoped(script);
  SteppingDialog dialog(Bars());
  dialog.onInit = [&](LogDialog& d) {
    SendDlgItemMessage(d.GetHwnd(), 3000, SBM_SETRANGE, 0, 15);
    SendDlgItemMessage(d.GetHwnd(), 3000, SBM_SETPOS, 4);
    auto* qbar = qobject_cast<QScrollBar*>(d.ItemWidget(3000));
    ASSERT_NE(qbar, nullptr);
    EXPECT_EQ(qbar->orientation(), Qt::Horizontal);
    EXPECT_EQ(qbar->maximum(), 15);
    EXPECT_EQ(qbar->value(), 4);
    EXPECT_EQ(qobject_cast<QScrollBar*>(d.ItemWidget(3001))->orientation(), Qt::Vertical);
    qbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(SendDlgItemMessage(d.GetHwnd(), 3000, SBM_GETPOS), 7);
    EXPECT_EQ(qbar->value(), 7); // the handler's three, not Qt's own step
    qbar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(qbar->value(), 7); // nobody moved it on a page step
  };
  dialog.DoModal();
  std::vector<uint32_t> codes;
  for (const Logged& m : dialog.Only({WM_HSCROLL}))
    codes.push_back(LowWord(m.wParam));
  EXPECT_EQ(codes, (std::vector<uint32_t>{SB_LINEDOWN, SB_ENDSCROLL, SB_PAGEUP, SB_ENDSCROLL}));
}

} // namespace
} // namespace ui

// Dialogs: controls by id and the helpers, the order of the dialog's
// messages, modal runs through Qt widgets (offscreen) and through the
// scripted backend.
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/list_box.h"
#include "platform/ui/controls/progress.h"
#include "platform/ui/dialog/dialog.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <string>
#include <vector>

namespace ui {
namespace {

using uitest::DialogTest;
using uitest::Form;
using uitest::LogDialog;
using uitest::Logged;
using uitest::QtDialogTest;

TEST_F(DialogTest, ControlsByIdAndTheHelpers) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  LogDialog dialog(Form());
  bool checked = false;
  dialog.onInit = [&](LogDialog& d) {
    checked = true;
    Hwnd h = d.GetHwnd();
    EXPECT_EQ(win::GetClassName(h), std::optional<std::string>(kDialogClass));
    EXPECT_EQ(win::GetWindowText(h), std::optional<std::string>("Song Details"));
    Hwnd edit = GetDlgItem(h, 1001);
    ASSERT_NE(edit, 0u);
    EXPECT_EQ(win::GetParent(edit), h);
    EXPECT_EQ(win::GetDlgCtrlId(edit), 1001u);
    EXPECT_EQ(win::GetClassName(edit), std::optional<std::string>("Edit"));
    EXPECT_EQ(win::GetClassName(GetDlgItem(h, 1008)),
              std::optional<std::string>("msctls_progress32"));
    EXPECT_EQ(GetDlgItem(h, 4242), 0u);
    EXPECT_EQ(GetDlgItemText(h, 1001), "Twinkle");

    struct IntRow {
      const char* text;
      bool isSigned;
      bool translated;
      uint32_t value;
    };
    const IntRow ints[] = {
        {"42", false, true, 42},
        {"  7", false, true, 7},
        {"-5", true, true, uint32_t(-5)},
        {"-5", false, false, 0},
        {"4294967295", false, true, ~0u},
        {"4294967296", false, false, 0},
        {"2147483647", true, true, 0x7FFFFFFFu},
        {"2147483648", true, false, 0},
        {"-2147483648", true, true, 0x80000000u},
        {"12a", false, false, 0},
        {"", false, false, 0},
        {"-", true, false, 0},
    };
    for (const IntRow& row : ints) {
      SCOPED_TRACE(row.text);
      SetDlgItemTextUtf8(h, 1002, row.text);
      bool translated = !row.translated;
      EXPECT_EQ(GetDlgItemInt(h, 1002, &translated, row.isSigned), row.value);
      EXPECT_EQ(translated, row.translated);
    }
    ASSERT_TRUE(SetDlgItemInt(h, 1002, uint32_t(-12), true));
    EXPECT_EQ(GetDlgItemText(h, 1002), "-12");

    EXPECT_EQ(win::SendMessage(h, DM_GETDEFID), MakeLParam(IDOK, DC_HASDEFID));
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL); // the empty script cancels
  EXPECT_TRUE(checked);
  EXPECT_EQ(dialog.GetHwnd(), 0u);
  ASSERT_EQ(script->Runs().size(), 1u);
  EXPECT_TRUE(script->Runs()[0].cancelledAtEnd);
}

TEST_F(DialogTest, ScriptDrivesTheDialogAndRecordsWhatItShowed) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  script->Expect({
      DialogStep::TypeInto(1001, "Little Star"), // 0: EN_CHANGE
      DialogStep::TypeInto(1003, "no"),          // 1: read-only
      DialogStep::TypeInto(1002, "12x"),         // 2: a number field
      DialogStep::ClickOn(1004),                 // 3: checks itself
      DialogStep::ClickOn(1005),                 // 4: its owner checks it
      DialogStep::ClickOn(1009),                 // 5: disabled
      DialogStep::ChooseIn(1007, 1),             // 6
      DialogStep::ClickOn(4242),                 // 7: no such control
      DialogStep::PressEnter(),                  // 8: the default button ends it
      DialogStep::ClickOn(IDCANCEL),             // never runs
  });
  LogDialog dialog(Form());
  dialog.onInit = [](LogDialog& d) {
    d.Item<ComboBox>(1007)->AddString("one");
    d.Item<ComboBox>(1007)->AddString("two");
  };
  dialog.onCommand = [](LogDialog& d, uint16_t id, uint16_t code) {
    if (id == 1005 && code == BN_CLICKED)
      CheckDlgButton(d.GetHwnd(), 1005, BST_INDETERMINATE); // a two-state box: checked
    return false;
  };
  EXPECT_EQ(dialog.DoModal(), IDOK);

  auto runs = script->Runs();
  ASSERT_EQ(runs.size(), 1u);
  const DialogRun& run = runs[0];
  EXPECT_EQ(run.caption, "Song Details");
  EXPECT_TRUE(run.modal);
  EXPECT_EQ(run.accepted,
            (std::vector<bool>{true, false, false, true, true, false, true, false, true}));
  EXPECT_EQ(run.stepsLeft, 1u);
  EXPECT_FALSE(run.cancelledAtEnd);
  EXPECT_EQ(run.result, IDOK);
  ASSERT_EQ(run.states.size(), 10u);
  EXPECT_EQ(run.states[0].Text(1001), "Twinkle");
  EXPECT_EQ(run.states[1].Text(1001), "Little Star");
  EXPECT_EQ(run.states[3].Text(1002), "");
  EXPECT_EQ(run.states[4].Find(1004)->check, BST_CHECKED);
  EXPECT_EQ(run.states[5].Find(1005)->check, BST_CHECKED);
  EXPECT_EQ(run.states[7].Find(1007)->selection, 1);
  EXPECT_EQ(run.states[7].Text(1007), "two");
  EXPECT_FALSE(run.states[0].Find(1009)->enabled);

  // The commands in the order they happened, each from its control.
  std::vector<std::pair<uint16_t, uint16_t>> commands;
  for (const Logged& m : dialog.Only({win::WM_COMMAND}))
    commands.emplace_back(LowWord(m.wParam), HighWord(m.wParam));
  EXPECT_EQ(commands, (std::vector<std::pair<uint16_t, uint16_t>>{{1001, EN_CHANGE},
                                                                  {1004, BN_CLICKED},
                                                                  {1005, BN_CLICKED},
                                                                  {1007, CBN_SELCHANGE},
                                                                  {IDOK, BN_CLICKED}}));
}

TEST_F(DialogTest, InitDialogFirstThenCommandsThenDestroy) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  script->Expect({DialogStep::ClickOn(IDCANCEL)});
  LogDialog dialog(Form());
  Hwnd cancel = 0;
  dialog.onInit = [&](LogDialog& d) { cancel = GetDlgItem(d.GetHwnd(), IDCANCEL); };
  EXPECT_EQ(dialog.DoModal(0, 1234), IDCANCEL);
  std::vector<uint32_t> order;
  for (const Logged& m : dialog.log)
    order.push_back(m.message);
  EXPECT_EQ(order, (std::vector<uint32_t>{win::WM_INITDIALOG, win::WM_COMMAND, win::WM_DESTROY,
                                          win::WM_NCDESTROY}));
  // WM_INITDIALOG: the first control that takes focus, and the caller's value.
  EXPECT_NE(dialog.log[0].wParam, 0u);
  EXPECT_EQ(dialog.log[0].lParam, 1234);
  EXPECT_EQ(dialog.log[1].wParam, MakeWParam(IDCANCEL, BN_CLICKED));
  EXPECT_EQ(dialog.log[1].lParam, static_cast<LParam>(cancel));
}

TEST_F(DialogTest, EscapeCloseAndTheDefaultButton) {
  struct Row {
    DialogStep step;
    int result;
  };
  const Row rows[] = {{DialogStep::PressEscape(), IDCANCEL},
                      {DialogStep::PressClose(), IDCANCEL},
                      {DialogStep::PressEnter(), IDOK},
                      {DialogStep::ClickOn(IDOK), IDOK}};
  for (const Row& row : rows) {
    auto script = std::make_shared<ScriptedDialogs>();
    ScopedDialogBackend scoped(script);
    script->Expect({row.step});
    LogDialog dialog(Form());
    EXPECT_EQ(dialog.DoModal(), row.result);
    EXPECT_FALSE(script->Runs().at(0).cancelledAtEnd);
  }
  // A dialog that moves the default button; Enter follows it.
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  script->Expect({DialogStep::PressEnter()});
  LogDialog dialog(Form());
  dialog.onInit = [](LogDialog& d) { win::SendMessage(d.GetHwnd(), DM_SETDEFID, IDCANCEL); };
  dialog.onCommand = [](LogDialog& d, uint16_t id, uint16_t) {
    d.EndDialog(id + 100);
    return true;
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL + 100);
}

TEST_F(DialogTest, ProcedureDialogsEndOnlyByEndDialog) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  script->Expect({DialogStep::PressEscape(), DialogStep::ClickOn(1009)});
  script->Expect({DialogStep::ClickOn(IDOK)});
  std::vector<uint32_t> seen;
  auto proc = [&](Hwnd dialog, uint32_t message, WParam wParam, LParam) -> intptr_t {
    seen.push_back(message);
    if (message == win::WM_COMMAND && LowWord(wParam) == IDOK)
      return EndDialog(dialog, 77);
    return message == win::WM_INITDIALOG;
  };
  DialogTemplate t = Form();
  // Escape reaches the procedure, which ignores it; the script runs out.
  EXPECT_EQ(DialogBoxTemplate(t, 0, proc), IDCANCEL);
  EXPECT_TRUE(script->Runs().at(0).cancelledAtEnd);
  EXPECT_EQ(seen.front(), win::WM_INITDIALOG);
  EXPECT_EQ(DialogBoxTemplate(t, 0, proc), 77);

  // Modeless: runs its script when made, lives until destroyed, object and
  // all.
  script->Expect({DialogStep::TypeInto(1001, "x")});
  Hwnd modeless = CreateDialogTemplate(t, 0, proc);
  ASSERT_NE(modeless, 0u);
  EXPECT_EQ(GetDlgItemTextUtf8(modeless, 1001), "x");
  EXPECT_FALSE(script->Runs().back().modal);
  EXPECT_TRUE(win::IsWindow(modeless));
  EXPECT_TRUE(win::DestroyWindow(modeless));
  EXPECT_FALSE(win::IsWindow(modeless));
  EXPECT_EQ(GetDialog(modeless), nullptr);
}

TEST_F(DialogTest, EndingInInitDialogSkipsTheRunAndAnOpenDialogCannotOpenAgain) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  LogDialog dialog(Form());
  int nested = 0;
  dialog.onInit = [&](LogDialog& d) {
    nested = d.DoModal();
    d.EndDialog(5);
  };
  EXPECT_EQ(dialog.DoModal(), 5);
  EXPECT_EQ(nested, -1);
  EXPECT_TRUE(script->Runs().empty());
  // The object can run again afterwards.
  dialog.onInit = nullptr;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(QtDialogTest, WidgetsShowTheControlsAtTheirPlaces) {
  auto script = std::make_shared<ScriptedDialogs>(true);
  ScopedDialogBackend scoped(script);
  LogDialog dialog(Form());
  dialog.onInit = [](LogDialog& d) {
    Hwnd h = d.GetHwnd();
    CheckDlgButton(h, 1004, BST_CHECKED);
    d.Item<ListBox>(1006)->AddString("b");
    d.Item<ListBox>(1006)->AddString("a");
    d.Item<ListBox>(1006)->SetSelection(1);
    d.Item<ProgressBar>(1008)->SetPosition(40);
    auto* window = d.Widget();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Song Details");
    gdi::Size size = d.ClientSize();
    EXPECT_EQ(window->size(), QSize(size.cx, size.cy));
    EXPECT_GT(d.BaseUnits().x, 0);

    auto* label = qobject_cast<QLabel*>(d.Widget()->findChildren<QLabel*>().value(0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Title:");
    auto* edit = qobject_cast<QLineEdit*>(d.ItemWidget(1001));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "Twinkle");
    gdi::Rect r = d.Item(1001)->Rect();
    EXPECT_EQ(r, d.MapDialogRect(gdi::MakeRect(50, 7, 100, 12)));
    EXPECT_EQ(edit->geometry(), QRect(r.left, r.top, r.Width(), r.Height()));
    EXPECT_TRUE(qobject_cast<QLineEdit*>(d.ItemWidget(1003))->isReadOnly());
    EXPECT_EQ(qobject_cast<QCheckBox*>(d.ItemWidget(1004))->checkState(), Qt::Checked);
    auto* list = qobject_cast<QListWidget*>(d.ItemWidget(1006));
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), "a");
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(qobject_cast<QProgressBar*>(d.ItemWidget(1008))->value(), 40);
    EXPECT_FALSE(d.ItemWidget(1009)->isEnabled());
    EXPECT_TRUE(qobject_cast<QPushButton*>(d.ItemWidget(IDOK))->isDefault());

    SetDlgItemTextUtf8(h, 1001, "changed");
    EXPECT_EQ(edit->text(), "changed");
    d.Item(1009)->Enable(true);
    EXPECT_TRUE(d.ItemWidget(1009)->isEnabled());
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.Widget(), nullptr);
}

TEST_F(QtDialogTest, ModalRunEndedByAButtonByEscapeAndByEnter) {
  ScopedDialogBackend scoped(std::make_shared<QtDialogs>());
  using Commands = std::vector<std::pair<uint16_t, uint16_t>>;
  struct Row {
    const char* what;
    std::function<void(Dialog&, QWidget*)> act;
    int result;
    Commands commands;
  };
  const Row rows[] = {
      {"a click on Apply, then OK",
       [](Dialog& d, QWidget*) {
         d.Item(1009)->Enable(true);
         qobject_cast<QPushButton*>(d.ItemWidget(1009))->click();
         qobject_cast<QPushButton*>(d.ItemWidget(IDOK))->click();
       },
       IDOK,
       {{1009, BN_CLICKED}, {IDOK, BN_CLICKED}}},
      {"Escape",
       [](Dialog&, QWidget* w) { Key(w, Qt::Key_Escape); },
       IDCANCEL,
       {{IDCANCEL, BN_CLICKED}}},
      {"Enter", [](Dialog&, QWidget* w) { Key(w, Qt::Key_Return); }, IDOK, {{IDOK, BN_CLICKED}}},
      {"Enter on a focused button",
       [](Dialog& d, QWidget*) {
         d.ItemWidget(IDCANCEL)->setFocus();
         Key(d.ItemWidget(IDCANCEL), Qt::Key_Return);
       },
       IDCANCEL,
       {{IDCANCEL, BN_CLICKED}}},
      {"the close box",
       [](Dialog&, QWidget* w) { w->close(); },
       IDCANCEL,
       {{IDCANCEL, BN_CLICKED}}},
      {"typing, then Enter in the field",
       [](Dialog& d, QWidget*) {
         QWidget* edit = d.ItemWidget(1001);
         edit->setFocus();
         Key(edit, Qt::Key_A, "a");
         Key(edit, Qt::Key_Return);
       },
       IDOK,
       {{1001, EN_CHANGE}, {IDOK, BN_CLICKED}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    LogDialog dialog(Form());
    WhenShown(dialog, [&](QWidget* w) { row.act(dialog, w); });
    EXPECT_EQ(dialog.DoModal(), row.result);
    Commands commands;
    for (const Logged& m : dialog.Only({win::WM_COMMAND}))
      commands.emplace_back(LowWord(m.wParam), HighWord(m.wParam));
    EXPECT_EQ(commands, row.commands);
    EXPECT_EQ(dialog.log.front().message, win::WM_INITDIALOG);
  }
}

TEST_F(QtDialogTest, WidgetEditsGoThroughTheControl) {
  ScopedDialogBackend scoped(std::make_shared<QtDialogs>());
  LogDialog dialog(Form());
  std::string typed, number;
  uint32_t manual = 99;
  dialog.onCommand = [&](LogDialog& d, uint16_t id, uint16_t) {
    if (id == IDOK) {
      typed = GetDlgItemTextUtf8(d.GetHwnd(), 1001);
      number = GetDlgItemTextUtf8(d.GetHwnd(), 1002);
      manual = IsDlgButtonChecked(d.GetHwnd(), 1005);
    }
    return false;
  };
  dialog.onInit = [](LogDialog& d) { d.Item<Edit>(1001)->SetTextLimit(9); };
  WhenShown(dialog, [&](QWidget*) {
    auto* edit = qobject_cast<QLineEdit*>(dialog.ItemWidget(1001));
    edit->setFocus();
    edit->end(false);
    for (QChar c : QString("!!!"))
      Key(edit, Qt::Key_Exclam, c); // "Twinkle" is 7 bytes: only two more fit
    EXPECT_EQ(edit->text(), "Twinkle!!");
    auto* digits = qobject_cast<QLineEdit*>(dialog.ItemWidget(1002));
    digits->setFocus();
    Key(digits, Qt::Key_5, "5");
    Key(digits, Qt::Key_X, "x"); // refused by the number field
    EXPECT_EQ(digits->text(), "5");
    auto* box = qobject_cast<QCheckBox*>(dialog.ItemWidget(1005));
    box->click(); // checked by its owner only: stays unchecked
    EXPECT_EQ(box->checkState(), Qt::Unchecked);
    qobject_cast<QPushButton*>(dialog.ItemWidget(IDOK))->click();
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(typed, "Twinkle!!");
  EXPECT_EQ(number, "5");
  EXPECT_EQ(manual, BST_UNCHECKED);
}

TEST_F(QtDialogTest, AModelessDialogThatDestroysItselfFromItsButton) {
  ScopedDialogBackend scoped(std::make_shared<QtDialogs>());
  bool destroyed = false;
  auto proc = [&](Hwnd dialog, uint32_t message, WParam wParam, LParam) -> intptr_t {
    if (message == win::WM_COMMAND && LowWord(wParam) == IDOK) {
      win::DestroyWindow(dialog);
      return 1;
    }
    if (message == win::WM_DESTROY)
      destroyed = true;
    return message == win::WM_INITDIALOG;
  };
  Hwnd h = CreateDialogTemplate(Form(), 0, proc);
  ASSERT_NE(h, 0u);
  Dialog* d = GetDialog(h);
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(d->Widget() && d->Widget()->isVisible());
  qobject_cast<QPushButton*>(d->ItemWidget(IDOK))->click();
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(win::IsWindow(h));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(QtDialogTest, DestroyingAModalDialogsWindowCancelsIt) {
  ScopedDialogBackend scoped(std::make_shared<QtDialogs>());
  LogDialog dialog(Form());
  WhenShown(dialog, [&](QWidget*) { win::DestroyWindow(dialog.GetHwnd()); });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.log.back().message, win::WM_NCDESTROY);
}

// A custom control: a screen window that paints itself red.
class Swatch : public ScreenWindow {
protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    if (message == win::WM_PAINT) {
      Paint paint(GetHwnd());
      if (paint.IsValid())
        paint.Dc().FillRect(*GetClientRect(GetHwnd()), gdi::Rgb(255, 0, 0));
      return 0;
    }
    if (message == win::WM_USER + 5)
      return 77;
    return Default(message, wParam, lParam);
  }
};

TEST_F(QtDialogTest, CustomControlsPaintInsideTheDialogAndAreFoundById) {
  static const bool registered = [] {
    ScreenClass c;
    c.name = "DialogTestSwatch";
    c.factory = [] { return std::unique_ptr<ScreenWindow>(new Swatch); };
    return RegisterScreenClass(c);
  }();
  ASSERT_TRUE(registered);
  DialogTemplateError error;
  auto t = ParseDialogTemplate("DIALOG 0 0 120 60\n"
                               "CONTROL \"DialogTestSwatch\" 1201 \"\" 20 10 40 20\n"
                               "DEFBUTTON IDOK \"OK\" 70 40 40 14\n",
                               &error);
  ASSERT_TRUE(t) << error.line << ": " << error.message;
  ScopedDialogBackend scoped(std::make_shared<ScriptedDialogs>(true));
  LogDialog dialog(*t);
  ASSERT_TRUE(dialog.Create());
  const Hwnd h = dialog.GetHwnd();
  const Hwnd swatch = GetDlgItem(h, 1201);
  ASSERT_NE(swatch, 0u);
  EXPECT_EQ(win::GetClassName(swatch), std::optional<std::string>("DialogTestSwatch"));
  EXPECT_EQ(win::GetParent(swatch), h);
  EXPECT_EQ(SendDlgItemMessage(h, 1201, win::WM_USER + 5), 77);
  EXPECT_EQ(GetDlgItem(h, 1202), 0u);
  EXPECT_NE(GetDlgItem(h, IDOK), 0u); // the built-in ones as before

  ASSERT_NE(dialog.Widget(), nullptr);
  ASSERT_NE(GetWidget(swatch), nullptr);
  EXPECT_EQ(GetWidget(swatch)->parentWidget(), dialog.Widget());
  UpdateWindow(swatch);
  const QImage image = dialog.Widget()->grab().toImage();
  const gdi::Rect r = dialog.MapDialogRect(gdi::MakeRect(20, 10, 40, 20));
  const QColor red(255, 0, 0);
  EXPECT_EQ(image.pixelColor(r.left + 1, r.top + 1), red);
  EXPECT_EQ(image.pixelColor(r.right - 2, r.bottom - 2), red);
  EXPECT_NE(image.pixelColor(r.left - 2, r.top - 2), red);
  EXPECT_NE(image.pixelColor(r.right + 1, r.bottom + 1), red);

  // The control's widget leaves the dialog's before that goes.
  win::DestroyWindow(h);
  EXPECT_FALSE(win::IsWindow(swatch));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(QtDialogTest, WithoutADisplayTheDialogIsCancelledAtOnce) {
  // No backend set, offscreen: nobody could answer a Qt dialog.
  ASSERT_FALSE(CanShowQtDialogs());
  LogDialog dialog(Form());
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  ASSERT_FALSE(dialog.log.empty());
  EXPECT_EQ(dialog.log.front().message, win::WM_INITDIALOG);
}

// A dialog whose work on another thread ends it: the worker posts its result.
class SelfEndingDialog : public LogDialog {
public:
  using LogDialog::LogDialog;
  static constexpr uint32_t kDone = win::WM_APP + 7;
  bool finish = true; // false: the work never ends
  int results = 0;    // the worker's results delivered
  ~SelfEndingDialog() override {
    if (worker_.joinable())
      worker_.join();
  }
  bool EndsItself() const override { return true; }

protected:
  std::optional<LResult> OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    if (message == win::WM_INITDIALOG && finish) {
      const Hwnd self = GetHwnd();
      worker_ = std::thread([self] {
        ui::SendDlgItemMessage(self, 1008, PBM_SETPOS, 60);
        win::PostMessage(self, kDone, IDOK);
      });
    }
    if (message == kDone) {
      ++results;
      EndDialog(static_cast<int>(wParam));
      return 0;
    }
    return LogDialog::OnMessage(message, wParam, lParam);
  }

private:
  std::thread worker_;
};

TEST_F(DialogTest, WithoutADisplayADialogThatEndsItselfRunsUntilItHas) {
  ScopedDialogBackend scoped(std::make_shared<HeadlessDialogs>());
  SelfEndingDialog dialog(Form());
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.results, 1);
  // Any other dialog is still cancelled at once.
  LogDialog plain(Form());
  EXPECT_EQ(plain.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, ScriptWaitsUntilTheDialogEndsItself) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  script->Expect({DialogStep::WaitUntilEnded(10000), DialogStep::ClickOn(IDCANCEL)});
  SelfEndingDialog done(Form());
  EXPECT_EQ(done.DoModal(), IDOK);
  // A dialog that does not end: the bounded wait gives up, the script goes on.
  script->Expect({DialogStep::WaitUntilEnded(20), DialogStep::PressEscape()});
  SelfEndingDialog stuck(Form());
  stuck.finish = false;
  EXPECT_EQ(stuck.DoModal(), IDCANCEL);
  std::vector<DialogRun> runs = script->Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].accepted, std::vector<bool>{true});
  EXPECT_EQ(runs[0].stepsLeft, 1u);
  EXPECT_EQ(runs[1].accepted, (std::vector<bool>{false, true}));
  EXPECT_FALSE(runs[1].cancelledAtEnd);
}

} // namespace
} // namespace ui

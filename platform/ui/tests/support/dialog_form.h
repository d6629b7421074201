// What the dialog and control tests share: a form with one control of
// every class, a dialog object that logs what reaches it, and fixtures for
// dialogs without widgets and with Qt widgets offscreen.
#pragma once

#include "platform/ui/dialog/dialog.h"
#include "platform/ui/tests/support/screen_session.h"

#include <QKeyEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace uitest {

using namespace ui;

// A form with one control of every class.
inline constexpr const char* kForm = R"(# Song details
DIALOG 10 20 200 120
CAPTION "Song Details"
FONT 9 "MS Shell Dlg"
STYLE POPUP CAPTION SYSMENU MODALFRAME CENTER
STATIC      -1        "&Title:"   7   9  40   8
EDIT        1001      "Twinkle"   50  7  100 12
EDIT        1002      ""          50  22 40  12   NUMBER
EDIT        1003      "fixed"     50  37 100 12   READONLY   # not for typing
AUTOCHECKBOX 1004     "&Repeat"   7   52 60  10
CHECKBOX    1005      "Manual"    70  52 60  10
LISTBOX     1006      ""          7   65 60  40   SORT
COMBOBOX    1007      ""          70  65 60  60   DROPDOWN
PROGRESS    1008      ""          140 65 50  8
GROUPBOX    IDC_STATIC "Options"  4   48 130 16
BUTTON      1009      "&Apply"    90  100 50 14   DISABLED
DEFBUTTON   IDOK      "OK"        143 100 50 14
BUTTON      IDCANCEL  "Cancel"    143 84  50 14
)";

inline DialogTemplate Form() {
  DialogTemplateError error;
  auto t = ParseDialogTemplate(kForm, &error);
  EXPECT_TRUE(t) << error.line << ": " << error.message;
  return t ? *t : DialogTemplate{};
}

inline constexpr uint32_t kChild = win::WS_CHILD | win::WS_VISIBLE;

// A dialog object that logs what reaches it.
class LogDialog : public Dialog {
public:
  using Dialog::Dialog;
  std::vector<Logged> log;
  std::function<void(LogDialog&)> onInit;
  std::function<bool(LogDialog&, uint16_t id, uint16_t code)> onCommand;
  std::vector<Logged> Only(std::initializer_list<uint32_t> wanted) const {
    return LoggedOnly(log, wanted);
  }

protected:
  std::optional<LResult> OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    log.push_back({message, wParam, lParam});
    return Dialog::OnMessage(message, wParam, lParam);
  }
  bool OnInitDialog() override {
    if (onInit)
      onInit(*this);
    return true;
  }
  bool OnCommand(uint16_t id, uint16_t code, Hwnd control) override {
    if (onCommand && onCommand(*this, id, code))
      return true;
    return Dialog::OnCommand(id, code, control);
  }
};

class DialogTest : public ::testing::Test {
protected:
  void SetUp() override { uitest::StartRuntime(); }
};

// Qt widgets, offscreen.
class QtDialogTest : public uitest::ScreenTest {
protected:
  // Runs action on the loop once the dialog's window is shown.
  static void WhenShown(Dialog& dialog, std::function<void(QWidget*)> action) {
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, &dialog, action] {
      QWidget* w = dialog.Widget();
      if (!w || !w->isVisible())
        return;
      timer->stop();
      timer->deleteLater();
      action(w);
    });
    timer->start();
  }
  static void Key(QWidget* target, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
  }
};

// Runs check on the form's dialog once it is initialised (scripted, without
// widgets); the empty script then cancels it.
inline void WithForm(const std::function<void(LogDialog&, Hwnd)>& check) {
  auto script = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(script);
  LogDialog dialog(Form());
  bool ran = false;
  dialog.onInit = [&](LogDialog& d) {
    ran = true;
    check(d, d.GetHwnd());
  };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(ran);
}

} // namespace uitest

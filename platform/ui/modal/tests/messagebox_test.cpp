#include "platform/sys/tests/scratch_folder.h"
#include "platform/ui/modal/messagebox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

namespace {

using namespace ui;

using sys::test::ScopedEnv;

TEST(MessageBox, ButtonSetsAndDefaults) {
  struct Row {
    uint32_t flags;
    std::vector<int> buttons;
    int def;
  };
  const Row rows[] = {
      {MB_OK, {IDOK}, IDOK},
      {MB_OK | MB_DEFBUTTON3, {IDOK}, IDOK}, // no third button: the first
      {MB_OKCANCEL | MB_ICONQUESTION, {IDOK, IDCANCEL}, IDOK},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, {IDABORT, IDRETRY, IDIGNORE}, IDRETRY},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, {IDYES, IDNO, IDCANCEL}, IDCANCEL},
      {MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING, {IDYES, IDNO}, IDNO},
      {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}, IDRETRY},
      {MB_CANCELTRYCONTINUE | MB_DEFBUTTON2, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, IDTRYAGAIN},
      {0xE, {IDOK}, IDOK},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(MessageBoxButtons(r.flags), r.buttons) << std::hex << r.flags;
    EXPECT_EQ(MessageBoxDefault(r.flags), r.def) << std::hex << r.flags;
  }
  // The values the system's code compares against.
  EXPECT_EQ(MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2, 0x134u);
  EXPECT_EQ(IDYES, 6);
  EXPECT_EQ(IDNO, 7);
}

TEST(MessageBox, TheScriptAnswersAndRecordsEveryBox) {
  auto script = std::make_shared<ScriptedMessageBox>();
  ScopedMessageBoxBackend scoped(script);
  script->Answer(IDNO);
  script->Answer(IDCANCEL);

  EXPECT_EQ(MessageBox("Save the song?", "Editor", MB_YESNOCANCEL | MB_ICONQUESTION, 42), IDNO);
  EXPECT_EQ(MessageBox("Really?", "Editor", MB_OKCANCEL), IDCANCEL);
  // With the script used up, the default button answers.
  EXPECT_EQ(MessageBox("Again?", "Editor", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBox("Done", "Editor"), IDOK);
  EXPECT_EQ(script->Pending(), 0u);

  auto shown = script->Shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, "Save the song?");
  EXPECT_EQ(shown[0].caption, "Editor");
  EXPECT_EQ(shown[0].flags, MB_YESNOCANCEL | MB_ICONQUESTION);
  EXPECT_EQ(shown[0].owner, 42u);
  EXPECT_EQ(shown[1].text, "Really?");
  EXPECT_EQ(shown[3].owner, 0u);
}

TEST(MessageBox, CodePageTextIsShownAsUtf8) {
  auto script = std::make_shared<ScriptedMessageBox>();
  ScopedMessageBoxBackend scoped(script);
  // "파일" and "오류" in code page 949.
  MessageBoxBytes("\xC6\xC4\xC0\xCF", "\xBF\xC0\xB7\xF9", MB_OK, 949);
  auto shown = script->Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "파일");
  EXPECT_EQ(shown[0].caption, "오류");
}

TEST(MessageBox, AScopedBackendPutsTheOldOneBack) {
  auto outer = std::make_shared<ScriptedMessageBox>();
  auto inner = std::make_shared<ScriptedMessageBox>();
  ScopedMessageBoxBackend a(outer);
  {
    ScopedMessageBoxBackend b(inner);
    MessageBox("inner", "");
  }
  MessageBox("outer", "");
  ASSERT_EQ(inner->Shown().size(), 1u);
  ASSERT_EQ(outer->Shown().size(), 1u);
  EXPECT_EQ(outer->Shown()[0].text, "outer");
}

TEST(MessageBox, WithoutADisplayTheBoxGoesToStandardErrorWithItsDefault) {
  struct Row {
    const char* platform;
    const char* display;
    const char* wayland;
  };
  const Row rows[] = {
      {"offscreen", ":0", nullptr}, // offscreen shows no one anything
      {"minimal", nullptr, nullptr},
      {nullptr, nullptr, nullptr},
      {nullptr, nullptr, ""},
  };
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  for (const auto& r : rows) {
    ScopedEnv platform("QT_QPA_PLATFORM", r.platform);
    ScopedEnv display("DISPLAY", r.display);
    ScopedEnv wayland("WAYLAND_DISPLAY", r.wayland);
    EXPECT_FALSE(CanShowQtDialogs());
    testing::internal::CaptureStderr();
    int answer = MessageBox("rKivo32.dll is not found!", "Error",
                            MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION);
    std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDNO);
    EXPECT_NE(logged.find("\"Error\""), std::string::npos) << logged;
    EXPECT_NE(logged.find("rKivo32.dll is not found!"), std::string::npos) << logged;
    EXPECT_NE(logged.find("[Yes/No] -> No"), std::string::npos) << logged;
  }
}

TEST(MessageBox, ADisplayThatDoesNotAnswerIsNoDisplay) {
  ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
  ScopedEnv display("DISPLAY", ":9731");
  ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
  EXPECT_FALSE(CanShowQtDialogs());
}

// What the Qt box showed, read while it is up.
struct SeenBox {
  QString title;
  QString text;
  Qt::TextFormat format = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
  QString defaultButton;
};

// Waits for the modal message box, notes what it shows and clicks the button
// with the given label.
void ClickWhenShown(const QString& label, SeenBox* seen) {
  auto* timer =
      new QTimer(QCoreApplication::instance()); // freed with the application at the latest
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, [timer, label, seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box)
      return;
    timer->stop();
    timer->deleteLater();
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->format = box->textFormat();
    seen->icon = box->icon();
    for (QAbstractButton* b : box->buttons())
      seen->buttons << b->text().remove('&');
    seen->buttons.sort();
    if (box->defaultButton())
      seen->defaultButton = box->defaultButton()->text().remove('&');
    for (QAbstractButton* b : box->buttons()) {
      if (b->text().remove('&') == label)
        b->click();
    }
  });
  timer->start();
}

class QtMessageBoxTest : public testing::Test {
protected:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }
  std::unique_ptr<QApplication> app_;
};

TEST_F(QtMessageBoxTest, ShowsTextCaptionButtonsAndReturnsTheClickedOne) {
  // The offscreen platform has no one to answer: the service would log, so
  // the Qt backend is driven directly here.
  EXPECT_FALSE(CanShowQtDialogs());
  SeenBox seen;
  ClickWhenShown("No", &seen);
  int answer = QtMessageBox().Show(
      {"Delete <b>all</b> songs?", "Album", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2, 0});
  EXPECT_EQ(answer, IDNO);
  EXPECT_EQ(seen.title, "Album");
  EXPECT_EQ(seen.text, "Delete <b>all</b> songs?");
  EXPECT_EQ(seen.format, Qt::PlainText); // markup in a text is shown as it is
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.buttons, (QStringList{"Cancel", "No", "Yes"}));
  EXPECT_EQ(seen.defaultButton, "No");
}

TEST_F(QtMessageBoxTest, ABoxFromAnotherThreadIsShownOnTheGuiThread) {
#if defined(__SANITIZE_THREAD__)
  // The box crosses to the Qt thread through Qt's own queued call, whose
  // locking ThreadSanitizer cannot see (Qt is not instrumented).
  GTEST_SKIP() << "Qt's queued calls are invisible to ThreadSanitizer";
#endif
  SeenBox seen;
  ClickWhenShown("OK", &seen);
  std::atomic<int> answer{0};
  std::thread worker([&] {
    answer = QtMessageBox().Show(
        {"There is no MIDI out device", "Error", MB_OK | MB_ICONEXCLAMATION, 0});
  });
  QElapsedTimer clock;
  clock.start();
  while (answer == 0 && clock.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker.join();
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(seen.text, "There is no MIDI out device");
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

} // namespace

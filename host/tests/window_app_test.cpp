// Commands that open windows: refused without a screen, otherwise run by
// the message loop of one Qt application.
#include "host/window_app.h"

#include "platform/sys/tests/scratch_folder.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

using sys::test::ScopedEnv;

TEST(WindowCommand, WithoutAScreenItSaysSoAndFails) {
  ScopedEnv platform("QT_QPA_PLATFORM", nullptr);
  ScopedEnv display("DISPLAY", nullptr);
  ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
  EXPECT_FALSE(host::HasScreen());
  bool opened = false;
  testing::internal::CaptureStderr();
  EXPECT_EQ(host::RunWindowCommand("editor", [&] { return opened = true; }), 1);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(opened);
  EXPECT_NE(said.find("vexo3 editor: no screen"), std::string::npos) << said;
}

TEST(WindowCommand, TheLoopOfOneApplicationRunsTheWindowsUntilQuit) {
  ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
  char runtime[] = "/tmp/vexo-host-XXXXXX";
  ASSERT_NE(mkdtemp(runtime), nullptr);
  ScopedEnv folder("VEXO_RUNTIME_DIR", runtime);
  ui::RegisterScreenClass({"HostTestWindow", 0, [] { return std::make_unique<ui::ScreenWindow>(); },
                           nullptr, std::nullopt});
  bool hadApplication = false;
  win::Hwnd window = 0;
  const int code = host::RunWindowCommand("test", [&] {
    hadApplication = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    win::CreateParams p;
    p.className = "HostTestWindow";
    p.style = win::WS_VISIBLE;
    p.width = p.height = 50;
    window = win::CreateWindow(p);
    // The window closes itself from the loop, which then ends.
    win::PostMessage(window, win::WM_CLOSE);
    win::PostQuitMessage(3);
    return window != 0;
  });
  EXPECT_EQ(code, 3);
  EXPECT_TRUE(hadApplication);
  EXPECT_FALSE(win::IsWindow(window));
  EXPECT_EQ(QCoreApplication::instance(), nullptr);
  EXPECT_EQ(host::RunWindowCommand("test", [] { return false; }), 1);
  std::filesystem::remove_all(runtime);
}

} // namespace

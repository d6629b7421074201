// `vexo3 album manager` as a user runs it, driven from this process: the
// manager's window found by class, a queue replaced (the host prints the
// notice with the manager's window), closed; the command then ends and the
// placement is in config.ini.
#include "platform/sys/ini.h"
#include "platform/sys/tests/support/command_run.h"
#include "platform/ui/tests/support/screen_session.h"
#include "platform/win/dispatch.h"

#include <filesystem>
#include <string>
#include <thread>

using namespace uitest;
namespace fs = std::filesystem;

namespace {

using ShellRun = systest::CommandRun;

ShellRun Shell(const std::string& command) {
  return systest::RunCommand(command, systest::Stderr::WithOutput);
}

class ManagerCommandTest : public ScreenTest {};

TEST_F(ManagerCommandTest, OpensOnTheHostsWindowReportsAndEndsWhenClosed) {
  char pattern[] = "/tmp/album-manager-run-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path dir = pattern;
  const std::string bin = VEXO_BIN_DIR;
  const std::string env = "VEXO_CONFIG_DIR=" + (dir / "cfg").string() + " ";
  fs::create_directories(dir / "cfg");
  ASSERT_EQ(Shell(bin + "/make-test-catalogue --songs 20 --folders 2 " + (dir / "songs").string())
                .status,
            0);
  std::string folders;
  for (const auto& entry : fs::directory_iterator(dir / "songs"))
    if (entry.is_directory())
      folders += " " + entry.path().string();
  const ShellRun build = Shell(env + bin + "/vexo3 album build" + folders);
  ASSERT_EQ(build.status, 0) << build.out;

  ShellRun manager;
  std::thread runner([&] {
    manager = Shell(env + "QT_QPA_PLATFORM=offscreen " + bin + "/vexo3 album manager --view 0");
  });
  win::Hwnd frame = 0;
  PumpUntil([&] { return (frame = win::FindWindow("VEXO3ALBUM", std::nullopt)) != 0; }, 20000);
  EXPECT_NE(frame, 0u);
  if (frame) {
    win::SendMessage(frame, win::WM_COMMAND, 2003, 0);
    win::PostMessage(frame, win::WM_CLOSE);
  }
  runner.join();
  EXPECT_EQ(manager.status, 0) << manager.out;
  EXPECT_NE(manager.out.find("album manager open: window " + std::to_string(frame)),
            std::string::npos)
      << manager.out;
  EXPECT_NE(manager.out.find("ReserveReplacedNotify from window " + std::to_string(frame)),
            std::string::npos)
      << manager.out;
  const std::string ini = (dir / "cfg" / "config.ini").string();
  EXPECT_GT(sys::IniGetInt(ini, "AlbManager", "cx", 0), 0);
  EXPECT_EQ(sys::IniGetInt(ini, "AlbViewOne", "cx", 0), 140);
  fs::remove_all(dir);
}

} // namespace

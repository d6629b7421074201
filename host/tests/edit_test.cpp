// `vexo3 edit` as a user runs it: refused without a screen; offscreen, the
// editor on the demo song takes its view commands from another process and
// the host ends with 0 once the frame is closed, its windows dumped.
#include "platform/media/tests/support/wav_file.h"
#include "platform/sys/tests/support/spawned_child.h"
#include "platform/win/dispatch.h"
#include "platform/win/loop.h"
#include "platform/win/window.h"
#include "support/host_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

const std::string kDemo = VEXO_BIN_DIR "/twinkle.kar";

TEST(EditCommand, WithoutAScreenItSaysSoAndFails) {
  mediatest::TempDir dir;
  ASSERT_EQ(mkdir((dir.Path() + "/run").c_str(), 0700), 0);
  const auto run = hosttest::RunHost(
      dir.Path(), "edit " + kDemo, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.out.find("no screen"), std::string::npos) << run.out;
}

TEST(EditCommand, OpensOnASongTakesCommandsFromAnotherProcessAndEndsWithItsFrame) {
  mediatest::TempDir dir;
  const std::string run = dir.Path() + "/run", dumps = dir.Path() + "/dumps";
  ASSERT_EQ(mkdir(run.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(dumps.c_str(), 0700), 0);
  // This process looks at the host's windows through the same runtime folder.
  setenv("VEXO_RUNTIME_DIR", run.c_str(), 1);
  auto child = systest::SpawnedChild::Start(
      VEXO_BIN_DIR "/vexo3", {"edit", kDemo},
      {"VEXO_RUNTIME_DIR=" + run, "VEXO_SETTINGS_FILE=" + dir.Path() + "/settings.ini",
       "VEXO_DUMP_DIR=" + dumps, "QT_QPA_PLATFORM=offscreen",
       "VEXO_SYNTH_WAV=" + dir.Path() + "/synth.wav"});
  ASSERT_TRUE(child);
  win::Hwnd frame = 0;
  win::RunMessageLoopUntil(
      [&] { return (frame = win::FindWindow("VexoFrame", std::nullopt)) != 0; }, 30000);
  ASSERT_NE(frame, 0u);
  for (uint16_t id : {32778, 32779, 32780, 32790})
    EXPECT_TRUE(win::SendMessageTimeout(frame, win::WM_COMMAND, id, 0, 10000)) << id;
  // The pictures land at most every 200 ms.
  win::RunMessageLoopUntil([] { return false; }, 600);
  EXPECT_TRUE(win::PostMessage(frame, win::WM_COMMAND, 32824));
  EXPECT_EQ(child->Wait(), 0);
  int frames = 0, children = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dumps)) {
    const std::string name = entry.path().filename().string();
    frames += name.rfind("VexoFrame-", 0) == 0;
    children += name.rfind("VexoMdiChild-", 0) == 0;
  }
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(children, 5);
  unsetenv("VEXO_RUNTIME_DIR");
}

} // namespace

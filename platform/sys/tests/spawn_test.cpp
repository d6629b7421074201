#include "platform/sys/spawn.h"

#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// The file the spawned program writes, once it is there whole (it is
// renamed into place); empty when it does not come within ten seconds.
std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 1000; ++i) {
    if (access(path.c_str(), F_OK) == 0)
      return sys::test::ReadFile(path).value_or("");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {};
}

TEST(SpawnDetached, RunsInItsOwnSessionOnDevNullAndLeavesNoChild) {
  sys::test::ScratchFolder dir;
  const std::string out = dir / "out";
  // The shell here is the program started, not a runner of the arguments.
  const std::string script =
      "fds=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2); "
      "{ echo $$; awk '{print $6}' /proc/$$/stat; echo \"$fds\"; } > \"$1.tmp\" && "
      "mv \"$1.tmp\" \"$1\"";
  std::string error;
  ASSERT_TRUE(sys::SpawnDetached({"sh", "-c", script, "sh", out}, &error)) << error;
  // Nothing is left for the caller to reap.
  int status = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  std::string text = WaitForFile(out);
  ASSERT_FALSE(text.empty());
  std::istringstream lines(text);
  std::string pid, sid, fd0, fd1, fd2;
  lines >> pid >> sid >> fd0 >> fd1 >> fd2;
  EXPECT_EQ(pid, sid) << "the program leads a session of its own";
  EXPECT_NE(std::to_string(getsid(0)), sid);
  EXPECT_EQ(fd0, "/dev/null");
  EXPECT_EQ(fd1, "/dev/null");
  EXPECT_EQ(fd2, "/dev/null");
}

TEST(SpawnDetached, PassesEachArgumentWordForWord) {
  sys::test::ScratchFolder dir;
  const std::string out = dir / "arg";
  const std::string tricky = "a b;$(touch x) 'q' \"w\" *";
  ASSERT_TRUE(sys::SpawnDetached({"/bin/sh", "-c",
                                  "printf '%s' \"$1\" > \"$2.tmp\" && mv \"$2.tmp\" \"$2\"", "sh",
                                  tricky, out}));
  EXPECT_EQ(WaitForFile(out), tricky);
  EXPECT_NE(access((dir / "x").c_str(), F_OK), 0);
}

TEST(SpawnDetached, ReportsAProgramThatCannotStart) {
  sys::test::ScratchFolder dir;
  struct Case {
    const char* what;
    std::vector<std::string> argv;
  } cases[] = {
      {"no argv", {}},
      {"empty name", {""}},
      {"not on PATH", {"vexo-no-such-program-here"}},
      {"a path that is not there", {dir / "missing"}},
      {"a folder", {dir.Path()}},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(sys::SpawnDetached(c.argv, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
  int status = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
}

} // namespace

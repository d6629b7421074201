#include "platform/sys/log.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace sys {
namespace {

using test::ScopedEnv;

TEST(Log, ALineGoesToStderrWithProgramAndModule) {
  ScopedEnv on("VEXO_LOG", nullptr);
  struct Row {
    const char* what;
    const char* module;
    std::string text;
    std::string expected;
  };
  std::string program = program_invocation_short_name;
  const Row rows[] = {
      {"plain", "win", "no free slot", program + ": win: no free slot\n"},
      {"one trailing newline dropped", "ui", "lost\n", program + ": ui: lost\n"},
      {"every trailing newline dropped", "ui", "lost\n\n", program + ": ui: lost\n"},
      {"empty text", "sound", "", program + ": sound: \n"},
      {"cut at the line's bound", "x", std::string(5000, 'a'),
       program + ": x: " + std::string(4095, 'a') + "\n"},
  };
  for (const Row& r : rows) {
    testing::internal::CaptureStderr();
    Warn(r.module, "%s", r.text.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), r.expected) << r.what;
  }
}

TEST(Log, TheSwitchSilencesStderr) {
  ScopedEnv off("VEXO_LOG", "off");
  testing::internal::CaptureStderr();
  Warn("win", "window %08x threw", 0x10002u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Log, ACaptureTakesTheLinesAndGivesBackTheOneBefore) {
  testing::internal::CaptureStderr();
  {
    ScopedLogCapture outer;
    Warn("win", "first %d", 1);
    {
      ScopedLogCapture inner;
      Warn("ui", "second");
      EXPECT_EQ(inner.Lines(), std::vector<std::string>{"ui: second"});
    }
    Warn("win", "third");
    EXPECT_EQ(outer.Lines(), (std::vector<std::string>{"win: first 1", "win: third"}));
    EXPECT_TRUE(outer.Holds("third"));
    EXPECT_FALSE(outer.Holds("second"));
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Log, ThreadsLogWholeLines) {
  ScopedLogCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 100; ++i)
        Warn("timer", "thread %d line %d", t, i);
    });
  }
  for (std::thread& t : threads)
    t.join();
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 400u);
  for (const std::string& line : lines)
    EXPECT_EQ(line.rfind("timer: thread ", 0), 0u) << line;
}

} // namespace
} // namespace sys

#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using HostRun = systest::CommandRun;

HostRun RunHost(const std::string& args) {
  return systest::RunCommand(std::string(VEXO_BIN_DIR) + "/vexo3 " + args,
                             systest::Stderr::WithOutput);
}

TEST(HostCommandLine, HelpListsCommands) {
  HostRun r = RunHost("help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("help"), std::string::npos);
  EXPECT_NE(r.out.find("demo"), std::string::npos);
}

TEST(HostCommandLine, UnknownCommandFails) {
  HostRun r = RunHost("no-such-command");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("unknown command"), std::string::npos);
}

} // namespace

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct HostRun {
  int status;
  std::string out;
};

HostRun RunHost(const std::string& args) {
  std::string cmd = std::string(VEXO_BIN_DIR) + "/vexo3 " + args + " 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  HostRun r{-1, {}};
  if (!p)
    return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
    r.out.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
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

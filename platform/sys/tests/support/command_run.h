// Runs a shell command from a test, as a user would type it, and gives back
// its exit status and what it wrote.
#pragma once

#include <string>

namespace systest {

// Where the command's standard error goes.
enum class Stderr {
  Inherit,    // as the command itself says (the test's own standard error by default)
  WithOutput, // into out, mixed with standard output ("2>&1")
  Apart,      // into err
};

struct CommandRun {
  int status = -1; // exit code; -1 when it did not start or did not exit by itself
  std::string out;
  std::string err; // only with Stderr::Apart
};

// Runs command through /bin/sh, reading its standard output to the end.
CommandRun RunCommand(const std::string& command, Stderr err = Stderr::Inherit);

} // namespace systest

// Runs the host program as a user does, on a runtime folder and settings of
// the test's own, and gives back its exit status and output.
#pragma once

#include <string>

namespace hosttest {

struct HostRun {
  int status = -1;
  std::string out; // standard output and error together
};

// `vexo3 ARGS` with VEXO_RUNTIME_DIR and VEXO_SETTINGS_FILE inside folder
// (which must hold a "run" folder); env is put before the command.
HostRun RunHost(const std::string& folder, const std::string& args, const std::string& env = "");
// The same with another copy of the program.
HostRun RunProgram(const std::string& program, const std::string& folder, const std::string& args,
                   const std::string& env = "");

} // namespace hosttest

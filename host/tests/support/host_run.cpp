#include "host_run.h"

#include "platform/sys/tests/support/command_run.h"

namespace hosttest {

HostRun RunHost(const std::string& folder, const std::string& args, const std::string& env) {
  return RunProgram(std::string(VEXO_BIN_DIR) + "/vexo3", folder, args, env);
}

HostRun RunProgram(const std::string& program, const std::string& folder, const std::string& args,
                   const std::string& env) {
  const std::string cmd = env + " VEXO_RUNTIME_DIR=" + folder + "/run VEXO_SETTINGS_FILE=" + folder +
                          "/settings.ini " + program + " " + args;
  const systest::CommandRun run = systest::RunCommand(cmd, systest::Stderr::WithOutput);
  return {run.status, run.out};
}

} // namespace hosttest

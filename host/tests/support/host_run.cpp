#include "host_run.h"

#include <array>
#include <cstdio>
#include <sys/wait.h>

namespace hosttest {

HostRun RunHost(const std::string& folder, const std::string& args, const std::string& env) {
  const std::string cmd = env + " VEXO_RUNTIME_DIR=" + folder +
                          "/run VEXO_SETTINGS_FILE=" + folder + "/settings.ini " + VEXO_BIN_DIR +
                          "/vexo3 " + args + " 2>&1";
  HostRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p)
    return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
    r.out.append(buf.data(), n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

} // namespace hosttest

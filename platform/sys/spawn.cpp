#include "platform/sys/spawn.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sys {
namespace {

bool IsExecutable(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The program's file: argv[0] itself when it names a path, else the first
// executable of that name along PATH.
std::string ProgramPath(const std::string& name) {
  if (name.find('/') != std::string::npos)
    return name;
  const char* env = std::getenv("PATH");
  std::string path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t from = 0;
  while (from <= path.size()) {
    size_t to = path.find(':', from);
    if (to == std::string::npos)
      to = path.size();
    std::string dir = path.substr(from, to - from);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (IsExecutable(candidate))
      return candidate;
    from = to + 1;
  }
  return {};
}

void SetError(std::string* error, const std::string& text) {
  if (error)
    *error = text;
}

} // namespace

bool SpawnDetached(const std::vector<std::string>& argv, std::string* error) {
  if (argv.empty() || argv[0].empty()) {
    SetError(error, "no program given");
    return false;
  }
  const std::string program = ProgramPath(argv[0]);
  if (program.empty()) {
    SetError(error, argv[0] + ": not found");
    return false;
  }
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // Everything is made before the fork: the intermediate child only starts
  // the program and ends.
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGCHLD, SIGHUP})
    sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  // The program is the child of a child that ends at once, so init (or the
  // session's subreaper) reaps it and the caller waits only for that short
  // step.
  pid_t middle = fork();
  if (middle == 0) {
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, args.data(), environ);
    _exit(rc == 0 ? 0 : (rc & 0x7f));
  }
  int forkError = errno;
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (middle < 0) {
    SetError(error, std::string("fork: ") + std::strerror(forkError));
    return false;
  }
  int status = 0;
  while (waitpid(middle, &status, 0) < 0)
    if (errno != EINTR) {
      SetError(error, std::string("waitpid: ") + std::strerror(errno));
      return false;
    }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : EINTR;
    SetError(error, argv[0] + ": " + std::strerror(code));
    return false;
  }
  return true;
}

} // namespace sys

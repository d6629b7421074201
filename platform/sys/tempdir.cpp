#include "platform/sys/tempdir.h"
#include "platform/sys/unique_fd.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {
namespace {

struct TempState {
  std::mutex mutex;
  std::string dir;
  pid_t owner = 0;
  bool exitHookSet = false;
};

TempState& State() {
  // Never destroyed: the exit hook and late callers may still use it.
  static TempState* state = new TempState;
  return *state;
}

bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

std::string BaseFolder() {
  if (const char* env = std::getenv("TMPDIR"); env && env[0] == '/') {
    struct stat st {};
    if (stat(env, &st) == 0 && S_ISDIR(st.st_mode) && access(env, W_OK | X_OK) == 0)
      return env;
  }
  return "/tmp";
}

// Removes dir; with its contents unless onlyWhenEmpty. False when anything
// stays behind.
bool RemoveFolder(const std::string& dir, bool onlyWhenEmpty) {
  bool ok = true;
  if (!onlyWhenEmpty) {
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string_view name = e->d_name;
        if (name == "." || name == "..")
          continue;
        std::string path = dir + "/" + e->d_name;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0)
          continue;
        if (S_ISDIR(st.st_mode))
          ok = RemoveFolder(path, false) && ok;
        else if (unlink(path.c_str()) != 0 && errno != ENOENT)
          ok = false;
      }
      closedir(d);
    }
  }
  return (rmdir(dir.c_str()) == 0 || errno == ENOENT) && ok;
}

void RemoveAtExit() {
  TempState& s = State();
  std::lock_guard lock(s.mutex);
  if (!s.dir.empty() && s.owner == getpid())
    RemoveFolder(s.dir, true);
}

// Called with the mutex held.
const std::string& EnsureDir(TempState& s) {
  pid_t pid = getpid();
  if (!s.dir.empty() && s.owner == pid) {
    struct stat st {};
    if (lstat(s.dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      return s.dir;
  }
  // A forked child's inherited folder belongs to its parent.
  s.dir.clear();
  std::string pattern = BaseFolder() + "/vexo3-" + std::to_string(pid) + "-XXXXXX";
  if (!mkdtemp(pattern.data())) // mode 0700
    return s.dir;               // empty
  s.dir = pattern;
  s.owner = pid;
  if (!s.exitHookSet) {
    s.exitHookSet = true;
    std::atexit(RemoveAtExit);
  }
  return s.dir;
}

} // namespace

std::string TempDir() {
  TempState& s = State();
  std::lock_guard lock(s.mutex);
  return EnsureDir(s);
}

std::string TempPath(std::string_view name) {
  if (!IsPlainName(name))
    return std::string();
  std::string dir = TempDir();
  if (dir.empty())
    return dir;
  return dir + "/" + std::string(name);
}

std::string CreateTempFile(std::string_view prefix, std::string_view suffix) {
  if (prefix.find('/') != std::string_view::npos || suffix.find('/') != std::string_view::npos ||
      prefix.find('\0') != std::string_view::npos || suffix.find('\0') != std::string_view::npos)
    return std::string();
  std::string dir = TempDir();
  if (dir.empty())
    return dir;
  std::string path = dir + "/" + std::string(prefix) + "XXXXXX" + std::string(suffix);
  const UniqueFd fd(mkostemps(path.data(), static_cast<int>(suffix.size()), O_CLOEXEC));
  return fd ? path : std::string();
}

bool RemoveTempDir() {
  TempState& s = State();
  std::lock_guard lock(s.mutex);
  if (s.dir.empty() || s.owner != getpid())
    return true;
  bool ok = RemoveFolder(s.dir, false);
  s.dir.clear();
  return ok;
}

} // namespace sys

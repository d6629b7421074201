#include "platform/sys/runtime.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {
namespace {

bool EnsurePrivateDir(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
    return false;
  struct stat st {};
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return false;
  if (st.st_uid != geteuid() || (st.st_mode & 077) != 0)
    return false;
  return true;
}

} // namespace

std::string RuntimeDir() {
  if (const char* own = std::getenv("VEXO_RUNTIME_DIR"); own && *own) {
    std::string dir = own;
    return EnsurePrivateDir(dir) ? dir : std::string();
  }
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
    std::string dir = std::string(xdg) + "/vexo3";
    if (EnsurePrivateDir(dir))
      return dir;
  }
  std::string dir = "/tmp/vexo3-" + std::to_string(geteuid());
  return EnsurePrivateDir(dir) ? dir : std::string();
}

} // namespace sys

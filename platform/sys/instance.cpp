#include "platform/sys/instance.h"

#include "platform/sys/runtime.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace sys {
namespace {

bool IsPlainName(std::string_view name) {
  if (name.empty() || name.size() > 200 || name == "." || name == "..")
    return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == '_';
    if (!ok)
      return false;
  }
  return true;
}

void SetError(std::string* error, std::string text) {
  if (error)
    *error = std::move(text);
}

} // namespace

std::optional<InstanceGuard> InstanceGuard::TryAcquire(std::string_view name, std::string* error) {
  if (!IsPlainName(name)) {
    SetError(error, "not an instance name: \"" + std::string(name) + "\"");
    return std::nullopt;
  }
  std::string dir = RuntimeDir();
  if (dir.empty()) {
    SetError(error, "no private runtime folder");
    return std::nullopt;
  }
  // The lock file is never removed: removing it while another process waits
  // to lock it would let two holders lock two different files.
  std::string path = dir + "/" + std::string(name) + ".instance";
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    SetError(error, path + ": " + std::strerror(errno));
    return std::nullopt;
  }
  // flock locks belong to the open file description, so a second open in
  // this same process conflicts as well, and children started with exec do
  // not inherit the descriptor (O_CLOEXEC).
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR)
      continue;
    int err = errno;
    close(fd);
    SetError(error, err == EWOULDBLOCK ? std::string(name) + " is held by another instance"
                                       : path + ": " + std::strerror(err));
    return std::nullopt;
  }
  return InstanceGuard(fd);
}

InstanceGuard& InstanceGuard::operator=(InstanceGuard&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void InstanceGuard::Release() {
  if (fd_ >= 0)
    close(fd_); // closing the last descriptor of the description unlocks
  fd_ = -1;
}

} // namespace sys

// A single-instance guard by name: one holder per name and user session at a
// time. The holder's lock is released by the system when its process ends,
// killed or not, so a crash never leaves the name taken.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sys {

class InstanceGuard {
public:
  // Takes the name when no other holder has it. Returns nullopt when another
  // holder (in this or another process) has it, or when the lock cannot be
  // made at all (error says which when given). Names are plain file names:
  // letters, digits, '.', '-' and '_'.
  static std::optional<InstanceGuard> TryAcquire(std::string_view name,
                                                 std::string* error = nullptr);

  InstanceGuard(InstanceGuard&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  InstanceGuard& operator=(InstanceGuard&& other) noexcept;
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;
  ~InstanceGuard() { Release(); }

  // Gives the name up; later holders may take it.
  void Release();
  bool Held() const { return fd_ >= 0; }

private:
  explicit InstanceGuard(int fd) : fd_(fd) {}
  int fd_ = -1;
};

} // namespace sys

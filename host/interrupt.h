// Ctrl+C (and a polite kill) end a host command cleanly instead of the
// process: while a guard stands, the signals only set `interrupted`.
#pragma once

#include <atomic>
#include <csignal>

namespace host {

extern std::atomic<bool> interrupted;

class InterruptGuard {
public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

} // namespace host

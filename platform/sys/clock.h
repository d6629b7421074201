// The monotonic clock that every thread and process of the session shares:
// creation times of windows compared across processes, receive times of
// messages and the real time source all read it.
#pragma once

#include <cstdint>
#include <ctime>

namespace sys {

// CLOCK_MONOTONIC in nanoseconds.
inline int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

} // namespace sys

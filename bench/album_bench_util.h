// What the album benchmarks share: a clock in milliseconds and the
// process's own memory figures.
#pragma once

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace album::bench {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A "key: value kB" line of /proc/self/status ("VmRSS:"), 0 when absent.
inline long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0)
      return std::atol(line.c_str() + std::strlen(key));
  return 0;
}

} // namespace album::bench

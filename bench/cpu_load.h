// Threads spinning at normal priority for as long as the object lives, as
// other programs keep the cores of a karaoke machine busy while it plays.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace bench {

class CpuLoad {
public:
  explicit CpuLoad(int threads) {
    for (int i = 0; i < threads; ++i)
      threads_.emplace_back([this] {
        volatile double x = 1;
        while (!stop_.load(std::memory_order_relaxed))
          for (int k = 0; k < 10000; ++k)
            x = x * 1.0000001 + 1e-9;
      });
  }
  ~CpuLoad() {
    stop_ = true;
    for (auto& t : threads_)
      t.join();
  }
  CpuLoad(const CpuLoad&) = delete;
  CpuLoad& operator=(const CpuLoad&) = delete;

private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

} // namespace bench

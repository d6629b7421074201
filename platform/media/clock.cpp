#include "platform/media/clock.h"

#include <atomic>
#include <chrono>

namespace media {
namespace {

// Placeholder real time source: the clock only. The timer thread replaces it.
class SteadyTime final : public TimeSource {
public:
  uint32_t NowMs() override {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  uint32_t SetPeriodicEvent(uint32_t, uint32_t, TimerCallback) override { return 0; }
  bool KillEvent(uint32_t) override { return false; }
  int LiveEvents() override { return 0; }
};

std::atomic<TimeSource*> installed{nullptr};

} // namespace

TimeSource& RealTime() {
  static SteadyTime real;
  return real;
}

TimeSource& Time() {
  TimeSource* t = installed.load(std::memory_order_acquire);
  return t ? *t : RealTime();
}

void InstallTimeSource(TimeSource* source) { installed.store(source, std::memory_order_release); }

} // namespace media

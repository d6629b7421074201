// The millisecond clock and the periodic multimedia timer that the sequencer
// and the colour wipe run on. The process has one time source: the real one
// by default, or a virtual one that tests install and drive tick by tick.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

namespace media {

// Called on the timer's own thread (real time source) or on the thread that
// advances a virtual one.
using TimerCallback = std::function<void()>;

class TimeSource {
public:
  virtual ~TimeSource() = default;
  // Milliseconds since an arbitrary start; wraps at 2^32.
  virtual uint32_t NowMs() = 0;
  // Starts a periodic event: callback k is due at start + k x periodMs, so
  // lateness never accumulates. Returns its id, 0 when it cannot be made.
  virtual uint32_t SetPeriodicEvent(uint32_t periodMs, uint32_t resolutionMs,
                                    TimerCallback callback) = 0;
  // Ends an event. From inside its own callback it returns at once and the
  // callback is not called again; from another thread it waits until a
  // callback in progress has returned. False for an unknown id.
  virtual bool KillEvent(uint32_t id) = 0;
  // The system timer-resolution request around a period of use.
  virtual bool BeginPeriod(uint32_t ms) { return ms > 0; }
  virtual bool EndPeriod(uint32_t ms) { return ms > 0; }
  // Number of events alive now.
  virtual int LiveEvents() = 0;
  // Returns once the clock has moved on by at least ms (device pacing). A
  // virtual source moves its own clock on instead of waiting.
  virtual void Delay(uint32_t ms) {
    const uint32_t start = NowMs();
    while (NowMs() - start < ms)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
};

// The process-wide time source.
TimeSource& Time();
// Installs a time source (nullptr restores the real one). The caller keeps
// ownership and must uninstall it before destroying it.
void InstallTimeSource(TimeSource* source);
// The real time source, whatever is installed.
TimeSource& RealTime();

inline uint32_t NowMs() {
  return Time().NowMs();
}

// The monotonic clock of the real time source, in nanoseconds.
int64_t MonotonicNs();
// Inside a callback of the real time source, on its thread: the monotonic
// time (ns) at which that callback was due, for lateness measurements; 0
// anywhere else.
int64_t CallbackDueNs();

} // namespace media

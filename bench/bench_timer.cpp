// Timing figures of the real time source: how late the periodic callbacks
// run at a 10 ms period, idle and with every core busy; how far song time
// (one period per tick, as the sequencer counts it) drifts from the clock;
// and how long a due event takes to reach a MIDI output device.
//
//   bench-timer                       20 s idle + 20 s loaded (drift over both)
//   bench-timer --idle 60 --loaded 60 --drift 300   the full-length runs
//   options: --period MS (10), --event-every MS (37), --log FILE (the lateness
//   of every callback, one line each: run, callback number, microseconds)
#include "bench/cpu_load.h"
#include "platform/media/clock.h"
#include "platform/media/midiout.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sched.h>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
  double idleSeconds = 20;
  double loadedSeconds = 20;
  double driftSeconds = 0; // 0: the drift of the idle and loaded runs
  uint32_t periodMs = 10;
  uint32_t eventEveryMs = 37; // song-time spacing of the events sent
  std::string logPath;
};

// A MIDI output device that notes the arrival time of each message in a
// preallocated table, so that measuring costs the sender nothing.
class ArrivalRecorder final : public media::MidiOutDevice {
public:
  explicit ArrivalRecorder(size_t capacity) : arrivals_(capacity) {}

  media::MidiOutCaps Caps() const override {
    media::MidiOutCaps c;
    c.SetName("Arrival recorder");
    c.technology = media::kTechMidiPort;
    return c;
  }

  std::unique_ptr<media::MidiOutPort> Open() override { return std::make_unique<Port>(this); }

  size_t Count() const { return std::min(count_.load(), arrivals_.size()); }
  int64_t Arrival(size_t i) const { return arrivals_[i]; }

private:
  class Port final : public media::MidiOutPort {
  public:
    explicit Port(ArrivalRecorder* owner) : owner_(owner) {}
    bool ShortMessage(uint32_t) override {
      const int64_t now = media::MonotonicNs();
      const size_t i = owner_->count_.fetch_add(1);
      if (i < owner_->arrivals_.size())
        owner_->arrivals_[i] = now;
      return true;
    }
    bool LongMessage(std::span<const uint8_t>) override { return true; }

  private:
    ArrivalRecorder* owner_;
  };

  std::vector<int64_t> arrivals_;
  std::atomic<size_t> count_{0};
};

struct RunResult {
  std::vector<int64_t> latenessNs; // every callback against its due time
  std::vector<int64_t> arrivalNs;  // due event (song clock) to its arrival
  std::vector<int64_t> dispatchNs; // callback due time to the arrival it caused
  double driftMs = 0;              // wall clock minus song time at the end
  double maxDriftMs = 0;           // largest difference seen on the way
  bool realTimePriority = false;
};

RunResult Run(const Options& o, double seconds, bool loaded) {
  const size_t ticks = static_cast<size_t>(seconds * 1000 / o.periodMs) + 16;
  const size_t events = static_cast<size_t>(seconds * 1000 / o.eventEveryMs) + 16;
  auto recorder = std::make_shared<ArrivalRecorder>(events);
  media::MidiOut().UseDevicesForTesting({recorder});
  const media::MidiOutHandle handle = media::MidiOut().Open(0);

  // Written by the callback only, read after the kill.
  std::vector<int64_t> lateness(ticks);
  std::vector<int64_t> sentDue(events);
  size_t tick = 0;
  size_t nextEvent = 0;
  uint64_t songMs = 0;
  int64_t songZero = 0;
  double maxDrift = 0, lastDrift = 0;
  bool fifo = false;

  bench::CpuLoad load(loaded ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                             : 0);
  const uint32_t id = media::RealTime().SetPeriodicEvent(o.periodMs, o.periodMs, [&] {
    const int64_t now = media::MonotonicNs();
    const int64_t due = media::CallbackDueNs();
    if (tick == 0) {
      songZero = due - int64_t{o.periodMs} * 1'000'000;
      fifo = sched_getscheduler(0) == SCHED_FIFO;
    }
    if (tick < lateness.size())
      lateness[tick] = now - due;
    ++tick;
    songMs += o.periodMs;
    lastDrift = double(now - songZero) / 1e6 - double(songMs);
    maxDrift = std::max(maxDrift, std::fabs(lastDrift));
    // Every event whose song time has come goes out, as the sequencer does.
    while (nextEvent < events && uint64_t(nextEvent + 1) * o.eventEveryMs <= songMs) {
      sentDue[nextEvent] = due;
      media::MidiOut().ShortMessage(handle, 0x90 | (nextEvent % 128) << 8 | 64 << 16);
      ++nextEvent;
    }
  });
  if (id == 0) {
    std::fprintf(stderr, "bench-timer: cannot create the timer\n");
    std::exit(1);
  }
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  media::RealTime().KillEvent(id);
  media::MidiOut().Close(handle);

  RunResult r;
  r.latenessNs.assign(lateness.begin(), lateness.begin() + std::min(tick, lateness.size()));
  // One sender, synchronous sends: arrival i is event i.
  for (size_t i = 0; i < std::min(recorder->Count(), nextEvent); ++i) {
    const int64_t eventTime = songZero + int64_t(i + 1) * o.eventEveryMs * 1'000'000;
    r.arrivalNs.push_back(recorder->Arrival(i) - eventTime);
    r.dispatchNs.push_back(recorder->Arrival(i) - sentDue[i]);
  }
  r.driftMs = lastDrift;
  r.maxDriftMs = maxDrift;
  r.realTimePriority = fifo;
  return r;
}

double Percentile(std::vector<int64_t> v, double p) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  // Nearest rank.
  const double rank = std::ceil(p * double(v.size()));
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(std::max(rank, 1.0)) - 1);
  return double(v[i]) / 1e6;
}

void PrintSpread(const char* name, const std::vector<int64_t>& v) {
  std::printf("%s_median: %.3f ms\n", name, Percentile(v, 0.5));
  std::printf("%s_p99: %.3f ms\n", name, Percentile(v, 0.99));
  std::printf("%s_max: %.3f ms\n", name, Percentile(v, 1.0));
}

bool ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc)
      return false;
    if (a == "--log") {
      o->logPath = argv[++i];
      continue;
    }
    const double v = std::atof(argv[++i]);
    if (v < 0)
      return false;
    if (a == "--idle")
      o->idleSeconds = v;
    else if (a == "--loaded")
      o->loadedSeconds = v;
    else if (a == "--drift")
      o->driftSeconds = v;
    else if (a == "--period" && v >= 1)
      o->periodMs = static_cast<uint32_t>(v);
    else if (a == "--event-every" && v >= 1)
      o->eventEveryMs = static_cast<uint32_t>(v);
    else
      return false;
  }
  return true;
}

} // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseArgs(argc, argv, &o)) {
    std::fprintf(stderr, "usage: bench-timer [--idle S] [--loaded S] [--drift S] [--period MS] "
                         "[--event-every MS] [--log FILE]\n");
    return 2;
  }
  std::printf("# period %u ms, idle %.0f s, loaded %.0f s on %u threads, drift run %.0f s\n",
              o.periodMs, o.idleSeconds, o.loadedSeconds, std::thread::hardware_concurrency(),
              o.driftSeconds);
  std::fflush(stdout);
  const RunResult idle = Run(o, o.idleSeconds, false);
  const RunResult loaded = Run(o, o.loadedSeconds, true);
  RunResult drift;
  if (o.driftSeconds > 0)
    drift = Run(o, o.driftSeconds, false);

  if (!o.logPath.empty()) {
    FILE* log = std::fopen(o.logPath.c_str(), "w");
    if (!log) {
      std::fprintf(stderr, "bench-timer: cannot write %s\n", o.logPath.c_str());
      return 1;
    }
    const std::pair<const char*, const RunResult*> runs[] = {
        {"idle", &idle}, {"loaded", &loaded}, {"drift", &drift}};
    for (auto [name, run] : runs)
      for (size_t k = 0; k < run->latenessNs.size(); ++k)
        std::fprintf(log, "%s %zu %.1f\n", name, k + 1, double(run->latenessNs[k]) / 1e3);
    std::fclose(log);
  }
  std::vector<int64_t> arrival = idle.arrivalNs, dispatch = idle.dispatchNs;
  std::printf("# callbacks: idle %zu, loaded %zu; events: %zu idle\n", idle.latenessNs.size(),
              loaded.latenessNs.size(), arrival.size());
  std::printf("timer_realtime_priority: %d flag\n", idle.realTimePriority ? 1 : 0);
  PrintSpread("lateness_idle", idle.latenessNs);
  PrintSpread("lateness_loaded", loaded.latenessNs);
  std::printf("drift_idle_end: %.3f ms\n", idle.driftMs);
  std::printf("drift_idle_max: %.3f ms\n", idle.maxDriftMs);
  std::printf("drift_loaded_end: %.3f ms\n", loaded.driftMs);
  std::printf("drift_loaded_max: %.3f ms\n", loaded.maxDriftMs);
  if (o.driftSeconds > 0) {
    std::printf("drift_long_seconds: %.0f s\n", o.driftSeconds);
    std::printf("drift_long_end: %.3f ms\n", drift.driftMs);
    std::printf("drift_long_max: %.3f ms\n", drift.maxDriftMs);
  }
  // From the event's own time on the song clock: includes the wait for the
  // tick that finds it due (up to one period).
  PrintSpread("event_to_device", arrival);
  // From the due time of the tick that sends it.
  PrintSpread("tick_to_device", dispatch);
  return 0;
}

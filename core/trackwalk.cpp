#include "core/trackwalk.h"

#include <algorithm>
#include <climits>
#include <queue>
#include <vector>

#include "core/songdata.h"

namespace core {
namespace {

struct PendingOff {
  int64_t end;
  int64_t order; // notes ending together come off in the order they began
  int32_t index;
  bool operator>(const PendingOff& o) const { return end != o.end ? end > o.end : order > o.order; }
};

} // namespace

ProducedEvent MakeProducedEvent(const SongEvent& e, bool noteOff) {
  if (!noteOff)
    return {e.tick, e.ms, e.data, e.kind};
  uint64_t tick = uint64_t{e.tick} + e.duration;
  uint64_t ms = uint64_t{e.ms} + e.durationMs;
  return {static_cast<uint32_t>(std::min<uint64_t>(tick, UINT32_MAX)),
          static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX)), e.data & ~0x00FF0000u, e.kind};
}

int32_t TransmitTrack(const CSongData& song, int16_t track, const TrackSink& sink) {
  if (!song.HasTrack(track))
    return 0;
  const Track& t = song.tracks[track];
  const int32_t count = t.engineEventCount;
  std::priority_queue<PendingOff, std::vector<PendingOff>, std::greater<>> pending;
  int32_t n = 0;
  int64_t order = 0;
  for (int32_t i = 0; i < t.EventCount(); ++i) {
    const SongEvent& e = t.events[i];
    while (!pending.empty() && pending.top().end <= int64_t{e.tick}) {
      if (n >= count)
        return n;
      sink(track, n++, pending.top().index, true);
      pending.pop();
    }
    if (e.IsSoundingNoteOn())
      pending.push({int64_t{e.tick} + e.duration, order++, i});
    if (n >= count)
      return n;
    sink(track, n++, i, false);
  }
  while (!pending.empty() && n < count) {
    sink(track, n++, pending.top().index, true);
    pending.pop();
  }
  // A count above what the events produce (kept from an older count rule)
  // is filled with event 0 at every second index.
  int32_t calls = n;
  while (n < count && t.EventCount() > 0) {
    sink(track, n, 0, false);
    n += 2;
    ++calls;
  }
  return calls;
}

} // namespace core

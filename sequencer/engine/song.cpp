// The hand-off of a song: event buffers, the tempo map, the time-ordered
// chain through all tracks and the play-state reset.
#include "platform/media/clock.h"
#include "sequencer/engine/state.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace seq {
namespace {

constexpr EngineEvent kUnwrittenEvent{0, 0, 0, kKindUnwritten, 0, 0, 0};

void FreeBuffersLocked() REQUIRES(seq::engineLock) {
  EngineState& s = State();
  for (Track& t : s.tracks) {
    t.events = {};
    t.written = {};
    t.count = 0;
    t.cursor = 0;
    t.active = 0;
  }
  s.currentTrack.Store(kNoTrack);
}

// Gives every slot that the player core left unwritten the position of the
// event before it, so that it keeps the track in time order, and a kind that
// is never played.
void SealUnwrittenLocked() REQUIRES(seq::engineLock) {
  EngineState& s = State();
  for (int t = 0; t < s.trackCount.Load(); ++t) {
    Track& track = s.tracks[t];
    EngineEvent previous = kUnwrittenEvent;
    for (int32_t i = 0; i < track.count; ++i) {
      if (track.written[i]) {
        previous = track.events[i];
        continue;
      }
      EngineEvent e = kUnwrittenEvent;
      e.tick = previous.tick;
      e.time = previous.time;
      track.events[i] = e;
    }
  }
}

// The active track whose event at its cursor comes first; ties go to the
// lowest track index.
uint16_t FirstActiveTrackLocked() REQUIRES(seq::engineLock) {
  EngineState& s = State();
  uint16_t best = kNoTrack;
  for (int t = 0; t < ChainTrackLimit(); ++t) {
    const Track& track = s.tracks[t];
    if (!track.active)
      continue;
    if (best == kNoTrack ||
        track.events[track.cursor].tick < s.tracks[best].events[s.tracks[best].cursor].tick)
      best = static_cast<uint16_t>(t);
  }
  return best;
}

} // namespace

int32_t NextSyllableTimeLocked(uint32_t start) {
  EngineState& s = State();
  const uint16_t lyric = s.lyricTrack.Load();
  if (lyric >= s.trackCount.Load())
    return 0;
  const Track& track = s.tracks[lyric];
  const uint64_t end = std::min<uint64_t>(uint64_t{start} + 20, static_cast<uint64_t>(track.count));
  for (uint64_t i = start; i < end; ++i) {
    if (track.events[i].kind == kKindSyllable)
      return track.events[i].time;
  }
  return 0;
}

int32_t TickToMs(uint32_t tick) {
  EngineState& s = State();
  const double tpq = s.ticksPerQuarter.Load();
  TempoEntry entry{0, 500000, 0}; // a song without a tempo map runs at 120 beats a minute
  const auto& map = s.tempoMap;
  if (!map.empty()) {
    size_t i = 0;
    if (s.tempoMapSorted) {
      auto it = std::partition_point(map.begin() + 1, map.end(),
                                     [&](const TempoEntry& e) { return e.tick < tick; });
      i = static_cast<size_t>(it - map.begin()) - 1;
    } else {
      while (i + 1 < map.size() && map[i + 1].tick < tick)
        ++i;
    }
    entry = map[i];
  }
  if (tpq == 0)
    return entry.ms;
  const double ms =
      entry.ms + (static_cast<double>(tick) - entry.tick) * entry.usPerQuarter / (tpq * 1000.0);
  return static_cast<int32_t>(std::clamp<double>(std::trunc(ms), INT32_MIN, INT32_MAX));
}

void PlayStateResetLocked() {
  EngineState& s = State();
  s.currentTime.Store(0);
  s.playTime.Store(0);
  s.clock.Store(0);
  s.currentTick.Store(0);
  s.playTick.Store(0);
  s.curNote.Store(60);
  s.prevNote.Store(60);
  s.lyricOn.Store(0);
  s.lyricEnd.Store(0);
  s.lyricElapsed.Store(0);
  s.lyricTotal.Store(0);
  s.pauseFlag.Store(0);
  s.noNote.Store(1);
  s.currentTempo.Store(500000);

  AllNoteOff();

  for (int ch = 0; ch < kChannels; ++ch) {
    Channel& c = s.channels[ch];
    c.transpose.Store(ch == 9 ? 0 : 1);
    c.repaint.Store(1);
    c.meterTrigger.Store(0);
    c.noteOn.Store(0);
    c.program.Store(0);
    c.pan.Store(64);
    c.volume.Store(127);
    c.meterLevel.Store(127000);
    c.wheel.Store(0);
  }

  s.lastProgressTime.Store(0);
  s.lastMeterTime.Store(0);

  for (int t = 0; t < s.trackCount.Load(); ++t) {
    Track& track = s.tracks[t];
    track.cursor = 0;
    track.active = track.count > 0 && t < kPavikChainTracks ? 1 : 0;
  }
  s.currentTrack.Store(FirstActiveTrackLocked());
  s.lyricNext.Store(NextSyllableTimeLocked(0));
}

} // namespace seq

using seq::State;

extern "C" {

uint8_t _32_PreparePlay(uint16_t reserved, uint16_t tempoMapCount, uint16_t ticksPerQuarter,
                        uint16_t trackCount, uint16_t melodyTrack, uint16_t lyricTrack,
                        uint32_t totalMs, const int32_t* tempoMap, const int32_t* eventCounts,
                        const uint8_t* banks, const int16_t* devices) {
  seq::EngineState& s = State();
  seq::KillTimer();
  sys::MutexLock lock(seq::engineLock);
  if (s.playFlag.Load()) // the buffers are about to go: the song stops first
    seq::TerminatePlayLocked();
  try {
    int64_t total = 0;
    if (trackCount <= seq::kTracks && eventCounts) {
      for (int t = 0; t < trackCount; ++t)
        total += std::max(eventCounts[t], 0);
    }
    if (trackCount > seq::kTracks || total > seq::kMaxSongEvents) {
      seq::FreeBuffersLocked();
      s.trackCount.Store(0);
      return 0;
    }

    s.reserved.Store(reserved);
    s.tempoMap.clear();
    if (tempoMap) {
      s.tempoMap.reserve(tempoMapCount);
      for (int i = 0; i < tempoMapCount; ++i) {
        s.tempoMap.push_back({static_cast<uint32_t>(tempoMap[3 * i]),
                              static_cast<uint32_t>(tempoMap[3 * i + 1]), tempoMap[3 * i + 2]});
      }
    }
    s.tempoMapSorted = std::is_sorted(
        s.tempoMap.begin(), s.tempoMap.end(),
        [](const seq::TempoEntry& a, const seq::TempoEntry& b) { return a.tick < b.tick; });
    s.currentTempo.Store(500000);
    s.ticksPerQuarter.Store(ticksPerQuarter);
    s.trackCount.Store(trackCount);
    for (int t = 0; t < seq::kTracks; ++t) {
      seq::Track& track = s.tracks[t];
      track.cursor = 0;
      track.active = 0;
      if (t < trackCount) {
        track.count = eventCounts ? std::max(eventCounts[t], 0) : 0;
        track.device = devices ? devices[t] : -1;
        track.events.assign(static_cast<size_t>(track.count), seq::kUnwrittenEvent);
        track.written.assign(static_cast<size_t>(track.count), 0);
      } else {
        track.count = 0;
        track.events = {};
        track.written = {};
      }
    }
    s.currentTrack.Store(seq::kNoTrack);
    s.totalMs.Store(totalMs);
    s.melodyTrack.Store(melodyTrack);
    s.lyricTrack.Store(lyricTrack);
    for (int ch = 0; ch < seq::kChannels; ++ch)
      s.banks[ch] = banks ? banks[ch] : 0xFF;
    return 1;
  } catch (const std::bad_alloc&) {
    seq::FreeBuffersLocked();
    s.trackCount.Store(0);
    return 0;
  }
}

void _32_TransmitData(uint16_t track, int32_t index, int32_t postValue, int32_t tick, int32_t time,
                      uint32_t data, uint32_t kind) {
  seq::EngineState& s = State();
  sys::MutexLock lock(seq::engineLock);
  // A song being played is not changed under the timer, and an index outside
  // the declared count has no slot.
  if (s.playFlag.Load() || track >= s.trackCount.Load())
    return;
  seq::Track& t = s.tracks[track];
  if (index < 0 || index >= t.count)
    return;
  seq::EngineEvent& e = t.events[static_cast<size_t>(index)];
  e.tick = static_cast<uint32_t>(tick);
  e.time = time;
  e.data = data;
  e.kind = kind & 0xFF;
  e.nextTrack = (kind >> 8) & 0xFF;
  e.reserved = static_cast<uint16_t>(kind >> 16);
  e.postValue = static_cast<uint32_t>(postValue);
  t.written[static_cast<size_t>(index)] = 1;
}

uint8_t _32_GenerateTrackOrder(void) {
  seq::EngineState& s = State();
  seq::KillTimer();
  sys::MutexLock lock(seq::engineLock);
  if (s.playFlag.Load()) // the chain is rebuilt from the start: the song stops first
    seq::TerminatePlayLocked();
  seq::SealUnwrittenLocked();
  seq::PlayStateResetLocked();
  uint16_t current = s.currentTrack.Load();
  while (current != seq::kNoTrack) {
    seq::Track& track = s.tracks[current];
    seq::EngineEvent& taken = track.events[track.cursor];
    if (static_cast<int64_t>(track.cursor) < track.count - 1)
      ++track.cursor;
    else
      track.active = 0;
    current = seq::FirstActiveTrackLocked();
    taken.nextTrack = current == seq::kNoTrack ? 0 : static_cast<uint8_t>(current);
  }
  return 1;
}

void _32_FreeEB(void) {
  seq::EngineState& s = State();
  seq::KillTimer();
  sys::MutexLock lock(seq::engineLock);
  if (s.playFlag.Load())
    seq::TerminatePlayLocked();
  // The counts go with the buffers, so that a later start finds an empty song
  // rather than missing buffers.
  seq::FreeBuffersLocked();
}

} // extern "C"

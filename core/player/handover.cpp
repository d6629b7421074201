#include "core/player/handover.h"

#include "core/trackwalk.h"

#include <algorithm>
#include <climits>

namespace core {
namespace {

int32_t ToI32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Only a song with a lyric track (its index above 0) has syllables to time;
// a song without one keeps its first track in time.
bool HasLyricTrack(const CSongData& song) {
  return song.lyricTrack > 0 && song.HasTrack(song.lyricTrack);
}

} // namespace

std::vector<int32_t> EngineTempoMap(const CSongData& song) {
  const size_t count = song.tempoMap.size();
  const size_t kept = std::min<size_t>(count, kEngineTempoEntries);
  std::vector<int32_t> triples;
  triples.reserve(kept * 3);
  for (size_t j = 0; j < kept; ++j) {
    const size_t i = kept < 2 ? j : j * (count - 1) / (kept - 1);
    const TempoEntry& e = song.tempoMap[i];
    triples.push_back(e.tick);
    triples.push_back(e.usPerQuarter);
    triples.push_back(e.ms);
  }
  return triples;
}

void ShiftLyricEvent(const CSongData& song, uint8_t kind, int64_t previousSyllableTick,
                     EngineEventArgs& args) {
  const int64_t s = song.lyricShiftTicks;
  const int64_t tick = static_cast<uint32_t>(args.tick);
  int64_t shifted = tick <= s ? 0 : tick - s;
  if (kind == kKindLineBreak || kind == kKindNextLine || kind == kKindImage) {
    const int64_t g = previousSyllableTick < 0 ? shifted : shifted - previousSyllableTick;
    shifted = g <= s ? shifted - g / 2 : shifted - s;
  }
  args.tick = ToI32(std::max<int64_t>(shifted, 0));
  args.ms = song.TickToMs(args.tick);
}

int32_t TransmitTrackToEngine(const CSongData& song, int16_t track, MplayTransmitEntry transmit) {
  if (!transmit)
    return 0;
  const bool lyric = HasLyricTrack(song) && track == song.lyricTrack;
  const bool shift = lyric && song.lyricShiftTicks >= 1;
  int64_t previousSyllableTick = -1;
  const Track& t = song.tracks[track];
  return TransmitTrack(song, track, [&](int16_t tr, int32_t n, int32_t index, bool noteOff) {
    const SongEvent& e = t.events[index];
    const ProducedEvent p = MakeProducedEvent(e, noteOff);
    EngineEventArgs args{static_cast<int32_t>(p.tick), static_cast<int32_t>(p.ms), p.data, p.kind};
    if (lyric && !noteOff) {
      // The display wipes a syllable over its duration.
      if (e.kind == kKindSyllable)
        args.data = e.durationMs;
      if (shift)
        ShiftLyricEvent(song, e.kind, previousSyllableTick, args);
      if (e.kind == kKindSyllable)
        previousSyllableTick = e.tick;
    }
    transmit(tr, n, index, args.tick, args.ms, args.data, args.kind);
  });
}

uint8_t HandSongToEngine(const CSongData& song, MplayPrepareEntry prepare,
                         MplayTransmitEntry transmit, std::span<const int16_t> devices,
                         bool transmitEvents) {
  if (!prepare)
    return 0;
  const int16_t trackCount = song.TrackCount();
  const std::vector<int32_t> tempo = EngineTempoMap(song);
  std::vector<int32_t> counts;
  counts.reserve(static_cast<size_t>(trackCount));
  for (const Track& t : song.tracks)
    counts.push_back(t.engineEventCount);
  // One device per track, the current device (the mapper) for any missing.
  std::vector<int16_t> trackDevices(devices.begin(), devices.end());
  trackDevices.resize(static_cast<size_t>(trackCount), -1);

  const uint8_t ready =
      prepare(0, static_cast<uint16_t>(tempo.size() / 3), song.ticksPerQuarter, trackCount,
              song.melodyTrack, song.lyricTrack, static_cast<uint32_t>(std::max(song.endMs, 0)),
              tempo.data(), counts.data(), song.initialBank.data(), trackDevices.data());
  if (transmitEvents) {
    for (int16_t t = 0; t < trackCount; ++t)
      TransmitTrackToEngine(song, t, transmit);
  }
  return ready;
}

} // namespace core

// The song's editing operations on events and tracks: insert, delete, move
// and change events, change a track's summary, start a new song, choose the
// melody and lyric tracks and find events by tick. The lyric operations are
// in songlyrics.cpp.
#include "core/songdata.h"
#include "platform/sys/midi_message.h"

#include <algorithm>
#include <climits>
#include <new>

namespace core {

namespace midi = sys::midi;

namespace {

constexpr int32_t kMaxEditTick = INT32_MAX;

int32_t ClampTick(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kMaxEditTick));
}

bool IsTimingKind(uint8_t kind) {
  return kind == kKindTimeSignature || kind == kKindTempo || kind == kKindKeySignature;
}

bool IsLineKind(uint8_t kind) {
  return kind >= kKindSyllable && kind <= kKindNextLine;
}

uint8_t ClampByte(int v, int low) {
  return static_cast<uint8_t>(std::clamp(v, low, 127));
}

} // namespace

bool CSongData::HasPendingText(int16_t track) const {
  if (!HasTrack(track))
    return false;
  size_t end = 0;
  for (const auto& e : tracks[track].events)
    if (e.kind == kKindSyllable)
      end = std::max<size_t>(end, (e.data & 0xFFFF) + (e.data >> 16));
  return tracks[track].text.size() > end;
}

SongEvent CSongData::MakeEvent(int32_t tick, int32_t duration, uint16_t length, uint32_t data,
                               uint8_t kind, uint8_t imageAction) const {
  SongEvent e;
  e.tick = static_cast<uint32_t>(ClampTick(tick));
  e.duration = static_cast<uint32_t>(std::max(duration, 0));
  e.length = length;
  e.data = data;
  e.kind = kind;
  e.imageAction = kind == kKindImage ? imageAction : 0;
  return e;
}

int CSongData::InsertRaw(int16_t track, int32_t index, const SongEvent& in) {
  if (!HasTrack(track) || index < 0 || index > tracks[track].EventCount())
    return 0;
  Track& t = tracks[track];
  SongEvent e = in;
  int32_t ms = TickToMs(ClampTick(e.tick));
  e.ms = static_cast<uint32_t>(ms);
  e.durationMs =
      static_cast<uint32_t>(std::max(0, TickToMs(ClampTick(int64_t{e.tick} + e.duration)) - ms));
  try {
    if (t.events.size() + 1 >= t.events.capacity())
      t.events.reserve(t.events.size() + 1 + 128);
    t.events.insert(t.events.begin() + index, e);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  t.eventCapacity = std::max<int32_t>(t.eventCapacity, t.EventCount());
  return 1;
}

int32_t CSongData::InsertSorted(int16_t track, const SongEvent& e) {
  if (!HasTrack(track))
    return -1;
  int32_t index = FindInsertIndex(track, static_cast<int32_t>(e.tick), e.kind);
  return InsertRaw(track, index, e) ? index : -1;
}

void CSongData::RetimeSong() {
  BuildTempoMaps(true);
  for (int16_t t = 0; t < TrackCount(); ++t) {
    ComputeEventTimes(t);
    UpdateTrack(t);
  }
}

void CSongData::EventsEdited(int16_t track, bool timing, bool lines) {
  if (timing)
    RetimeSong();
  if (lines && IsLyricTrack(track))
    RebuildLyricLines(track);
  UpdateTrack(track);
  ComputeSummary(track);
  MarkEdited();
}

int CSongData::InsertEventAt(int16_t track, int32_t index, int32_t tick, int32_t duration,
                             uint16_t length, uint32_t data, uint8_t kind, uint8_t imageAction) {
  if (!loaded || !HasTrack(track) || index < 0 || index > tracks[track].EventCount())
    return 0;
  SongEvent e = MakeEvent(tick, duration, length, data, kind, imageAction);
  // An index that would break the order gives way to the event's sorted place.
  const auto& events = tracks[track].events;
  if ((index > 0 && SortsBefore(e, events[index - 1])) ||
      (index < tracks[track].EventCount() && SortsBefore(events[index], e)))
    index = FindInsertIndex(track, tick, kind);
  if (!InsertRaw(track, index, e))
    return 0;
  // Text appended to the pool for a syllable not yet inserted would be lost
  // by a rebuild now; the syllable's own insert rebuilds the lines.
  EventsEdited(track, IsTimingKind(kind), IsLineKind(kind) && !HasPendingText(track));
  return 1;
}

int CSongData::AddEvent(int16_t track, int32_t tick, int32_t duration, uint16_t length,
                        uint32_t data, uint8_t kind, uint8_t imageAction) {
  if (!loaded || !HasTrack(track))
    return 0;
  return InsertEventAt(track, FindInsertIndex(track, tick, kind), tick, duration, length, data,
                       kind, imageAction);
}

int CSongData::InsertEvent(int16_t track, int32_t tick, int32_t duration, uint16_t length,
                           const void* bytes, uint8_t kind, uint8_t imageAction) {
  if (!loaded || !HasTrack(track) || !IsPoolKind(kind) || (length && !bytes))
    return 0;
  const size_t poolSize = dataPool.size();
  auto offset = AddPoolBytes(bytes, length);
  if (!offset)
    return 0;
  if (InsertSorted(track, MakeEvent(tick, duration, length, *offset, kind, imageAction)) < 0) {
    dataPool.resize(poolSize);
    return 0;
  }
  EventsEdited(track, false, false);
  return 1;
}

int CSongData::InsertLyric(int16_t track, int32_t tick, int32_t duration, std::string_view text) {
  if (!loaded || !HasTrack(track) || text.size() > kTextPoolLimit)
    return 0;
  const size_t textSize = tracks[track].text.size();
  auto offset = AddTrackText(track, text);
  if (!offset)
    return 0;
  uint32_t data = *offset | static_cast<uint32_t>(text.size()) << 16;
  if (InsertSorted(track, MakeEvent(tick, duration, 0, data, kKindSyllable, 0)) < 0) {
    tracks[track].text.resize(textSize);
    return 0;
  }
  EventsEdited(track, false, true);
  return 1;
}

int CSongData::DuplicateEvent(int16_t track, int32_t index) {
  if (!loaded || !HasTrack(track) || index < 0 || index > tracks[track].EventCount())
    return 0;
  Track& t = tracks[track];
  if (index == t.EventCount()) {
    // A default note at the track's end: one quarter of middle C at full
    // velocity on the track's channel.
    uint8_t channel = t.summary.channel & 0x0F;
    uint32_t data = (0x90u | channel) | 60u << 8 | 127u << 16;
    SongEvent e = MakeEvent(t.endTick, ticksPerQuarter, 0, data, kKindChannel, 0);
    if (!InsertRaw(track, t.EventCount(), e))
      return 0;
    EventsEdited(track, false, false);
    return 1;
  }
  SongEvent copy = t.events[index];
  if (IsLineKind(copy.kind)) {
    // Lyric events are duplicated as a placeholder syllable at the same time.
    return InsertLyric(track, static_cast<int32_t>(copy.tick), static_cast<int32_t>(copy.duration),
                       "***");
  }
  const size_t poolSize = dataPool.size();
  if (IsPoolKind(copy.kind)) {
    std::string bytes(PoolBytes(copy));
    auto offset = AddPoolBytes(bytes.data(), bytes.size());
    if (!offset)
      return 0;
    copy.data = *offset;
    copy.length = static_cast<uint16_t>(bytes.size());
  }
  if (!InsertRaw(track, index, copy)) {
    dataPool.resize(poolSize);
    return 0;
  }
  EventsEdited(track, IsTimingKind(copy.kind), false);
  return 1;
}

int CSongData::DeleteEvent(int16_t track, int32_t index) {
  if (!loaded)
    return 0;
  const SongEvent* e = Event(track, index);
  if (!e)
    return 0;
  uint8_t kind = e->kind;
  tracks[track].events.erase(tracks[track].events.begin() + index);
  EventsEdited(track, IsTimingKind(kind), IsLineKind(kind));
  return 1;
}

int CSongData::MoveEvent(int16_t track, int32_t index, int32_t newTick) {
  if (!loaded || !Event(track, index))
    return 0;
  auto& events = tracks[track].events;
  SongEvent e = events[index];
  e.tick = static_cast<uint32_t>(ClampTick(newTick));
  const int32_t ms = TickToMs(ClampTick(e.tick));
  e.ms = static_cast<uint32_t>(ms);
  e.durationMs =
      static_cast<uint32_t>(std::max(0, TickToMs(ClampTick(int64_t{e.tick} + e.duration)) - ms));
  // After the erase the array has room for the event again: the insert
  // neither allocates nor fails.
  events.erase(events.begin() + index);
  auto at = std::upper_bound(events.begin(), events.end(), e, SortsBefore);
  events.insert(at, e);
  EventsEdited(track, IsTimingKind(e.kind), IsLineKind(e.kind));
  return 1;
}

int CSongData::ShiftEvents(int16_t track, int32_t first, int32_t last, int32_t delta) {
  if (!loaded || !Event(track, first))
    return 0;
  auto& events = tracks[track].events;
  if (last == -1)
    last = tracks[track].EventCount() - 1;
  if (last < first || last >= tracks[track].EventCount())
    return 0;
  int64_t shift = delta;
  // The range never begins before tick 0.
  if (int64_t{events[first].tick} + shift < 0)
    shift = -int64_t{events[first].tick};
  bool timing = false, lines = false;
  for (int32_t i = first; i <= last; ++i) {
    events[i].tick = static_cast<uint32_t>(ClampTick(int64_t{events[i].tick} + shift));
    timing |= IsTimingKind(events[i].kind);
    lines |= IsLineKind(events[i].kind);
  }
  std::stable_sort(events.begin(), events.end(), SortsBefore);
  ComputeEventTimes(track);
  EventsEdited(track, timing, lines);
  return 1;
}

int CSongData::SetEventLength(int16_t track, int32_t index, int32_t duration) {
  if (!loaded || !Event(track, index))
    return 0;
  SongEvent& e = tracks[track].events[index];
  e.duration = static_cast<uint32_t>(std::max(duration, 0));
  int32_t ms = TickToMs(ClampTick(e.tick));
  e.ms = static_cast<uint32_t>(ms);
  e.durationMs =
      static_cast<uint32_t>(std::max(0, TickToMs(ClampTick(int64_t{e.tick} + e.duration)) - ms));
  EventsEdited(track, false, false);
  return 1;
}

int CSongData::SetEventChannel(int16_t track, int32_t index, uint8_t channel) {
  const SongEvent* e = loaded ? Event(track, index) : nullptr;
  if (!e || e->kind != kKindChannel || channel > 15)
    return 0;
  SongEvent& m = tracks[track].events[index];
  m.data = (m.data & ~0x0Fu) | channel;
  EventsEdited(track, false, false);
  return 1;
}

int CSongData::SetEventData1(int16_t track, int32_t index, uint8_t value) {
  const SongEvent* e = loaded ? Event(track, index) : nullptr;
  if (!e || e->kind != kKindChannel || value > 127)
    return 0;
  SongEvent& m = tracks[track].events[index];
  m.data = (m.data & ~0xFF00u) | uint32_t{value} << 8;
  EventsEdited(track, false, false);
  return 1;
}

int CSongData::SetEventData2(int16_t track, int32_t index, uint8_t value) {
  const SongEvent* e = loaded ? Event(track, index) : nullptr;
  if (!e || e->kind != kKindChannel || value > 127)
    return 0;
  SongEvent& m = tracks[track].events[index];
  m.data = (m.data & ~0xFF0000u) | uint32_t{value} << 16;
  EventsEdited(track, false, false);
  return 1;
}

int CSongData::SetEventValue(int16_t track, int32_t index, uint16_t length, uint32_t data) {
  const SongEvent* e = loaded ? Event(track, index) : nullptr;
  if (!e)
    return 0;
  // References into a pool must stay inside it.
  if (IsPoolKind(e->kind) && (data > dataPool.size() || length > dataPool.size() - data))
    return 0;
  if (e->kind == kKindSyllable) {
    const size_t size = tracks[track].text.size();
    size_t offset = data & 0xFFFF, len = data >> 16;
    if (offset > size || len > size - offset)
      return 0;
  }
  SongEvent& m = tracks[track].events[index];
  m.length = length;
  m.data = data;
  EventsEdited(track, IsTimingKind(m.kind), IsLineKind(m.kind));
  return 1;
}

int CSongData::SetEventBytes(int16_t track, int32_t index, std::string_view text) {
  const SongEvent* e = loaded ? Event(track, index) : nullptr;
  if (!e || !IsPoolKind(e->kind) || text.size() + 1 > kPoolItemLimit)
    return 0;
  std::string bytes(text);
  bytes.push_back('\0');
  auto offset = AddPoolBytes(bytes.data(), bytes.size());
  if (!offset)
    return 0;
  SongEvent& m = tracks[track].events[index];
  m.data = *offset;
  m.length = static_cast<uint16_t>(bytes.size());
  EventsEdited(track, false, false);
  return 1;
}

int CSongData::SetEventText(int16_t track, int32_t index, std::string_view text) {
  const SongEvent* e = loaded ? Event(track, index) : nullptr;
  if (!e || e->kind != kKindSyllable)
    return 0;
  auto offset = AddTrackText(track, text);
  if (!offset)
    return 0;
  SongEvent& m = tracks[track].events[index];
  m.data = *offset | static_cast<uint32_t>(text.size()) << 16;
  EventsEdited(track, false, true);
  return 1;
}

int CSongData::SetTrackSummary(int16_t track, const TrackSummary& request) {
  if (!loaded || !HasTrack(track))
    return 0;
  Track& t = tracks[track];
  auto& events = t.events;
  uint8_t channel = t.summary.channel;
  if (request.channel <= 15 && request.channel != t.summary.channel) {
    channel = request.channel;
    for (auto& e : events)
      if (e.kind == kKindChannel)
        e.data = (e.data & ~0x0Fu) | channel;
  }
  if (request.velocityOffset != 0 || request.keyOffset != 0) {
    const int dv = request.velocityOffset, dk = request.keyOffset;
    for (auto& e : events) {
      if (e.kind != kKindChannel)
        continue;
      const uint8_t type = midi::TypeOf(e.Status());
      uint32_t d1 = e.Data1(), d2 = e.Data2();
      // A velocity offset changes only sounding notes, and never silences
      // one: a note-on of velocity 0 is a note-off and stays one.
      if (dv && type == midi::kNoteOn && d2 != 0)
        d2 = ClampByte(static_cast<int>(d2) + dv, 1);
      else if (dv && type == midi::kPolyPressure)
        d2 = ClampByte(static_cast<int>(d2) + dv, 0);
      else if (dv && type == midi::kChannelPressure)
        d1 = ClampByte(static_cast<int>(d1) + dv, 0);
      // Note-offs move with their note-ons.
      if (dk && (type == midi::kNoteOff || type == midi::kNoteOn || type == midi::kPolyPressure))
        d1 = ClampByte(static_cast<int>(d1) + dk, 0);
      e.data = (e.data & 0xFF0000FFu) | d1 << 8 | d2 << 16;
    }
  }
  // Program, volume and pan: the first such message before the first note,
  // or a new one at the track's beginning.
  auto setFirst = [&](uint8_t value, uint8_t type, int controller) {
    if (value > 127)
      return true;
    for (auto& e : events) {
      if (e.kind != kKindChannel)
        continue;
      const uint8_t st = midi::TypeOf(e.Status());
      if (st == midi::kNoteOn && e.Data2() != 0)
        break;
      if (st == type && (controller < 0 || e.Data1() == controller)) {
        if (controller < 0)
          e.data = (e.data & 0xFFFF00FFu) | uint32_t{value} << 8;
        else
          e.data = (e.data & 0xFF00FFFFu) | uint32_t{value} << 16;
        return true;
      }
    }
    uint32_t data = controller < 0
                        ? (type | channel) | uint32_t{value} << 8
                        : (type | channel) | uint32_t(controller) << 8 | uint32_t{value} << 16;
    SongEvent e = MakeEvent(0, 0, 0, data, kKindChannel, 0);
    // The first place at tick 0 that the order allows (after line events).
    auto it = std::lower_bound(events.begin(), events.end(), e, SortsBefore);
    return InsertRaw(track, static_cast<int32_t>(it - events.begin()), e) != 0;
  };
  bool ok = setFirst(request.volume, midi::kControlChange, midi::kVolume) &&
            setFirst(request.pan, midi::kControlChange, midi::kPan) &&
            setFirst(request.program, midi::kProgramChange, -1);
  if (ok && !request.name.empty()) {
    std::string name = request.name.substr(0, kTrackNameSize);
    name.push_back('\0');
    auto offset = AddPoolBytes(name.data(), name.size());
    ok = offset.has_value();
    if (ok) {
      auto it = std::find_if(events.begin(), events.end(), [](const SongEvent& e) {
        return e.kind == kKindTrackName || e.IsSoundingNoteOn();
      });
      if (it != events.end() && it->kind == kKindTrackName) {
        it->data = *offset;
        it->length = static_cast<uint16_t>(name.size());
      } else {
        SongEvent e =
            MakeEvent(0, 0, static_cast<uint16_t>(name.size()), *offset, kKindTrackName, 0);
        auto at = std::lower_bound(events.begin(), events.end(), e, SortsBefore);
        ok = InsertRaw(track, static_cast<int32_t>(at - events.begin()), e) != 0;
      }
    }
  }
  EventsEdited(track, false, false);
  // A track without channel messages keeps the channel asked for, for the
  // notes added to it later.
  if (request.channel <= 15 && std::none_of(events.begin(), events.end(), [](const SongEvent& e) {
        return e.kind == kKindChannel;
      }))
    t.summary.channel = request.channel;
  return ok ? 1 : 0;
}

int CSongData::NewSong(const std::string& file) {
  Reset();
  path = file;
  loaded = 1;
  try {
    tracks.resize(2);
    dataPool.reserve(1024);
  } catch (const std::bad_alloc&) {
    Reset();
    return 0;
  }
  const uint32_t fourFour = 4u | 2u << 8 | 24u << 16 | 8u << 24;
  InsertSorted(0, MakeEvent(0, 0, 0, fourFour, kKindTimeSignature, 0));
  InsertSorted(0, MakeEvent(0, 0, 0, kDefaultTempo, kKindTempo, 0));
  InsertSorted(0, MakeEvent(0, 0, 0, 0, kKindKeySignature, 0));
  melodyTrack = 1;
  lyricTrack = 1;
  RetimeSong();
  RebuildLyricLines(1);
  ComputeSummary(0);
  ComputeSummary(1);
  preparedForPlay = 0;
  unchanged = 1;
  return 1;
}

int CSongData::SetMelodyTrack(int16_t track) {
  if (!loaded || !HasTrack(track))
    return 0;
  melodyTrack = static_cast<uint16_t>(track);
  MarkEdited();
  return 1;
}

int CSongData::SetLyricTrack(int16_t track) {
  if (!loaded || !HasTrack(track))
    return 0;
  lyricTrack = track;
  // Track 0 is the conductor track: as lyric track it means no lyrics.
  if (track > 0)
    RebuildLyricLines(track);
  else
    lyricsPresent = 0;
  MarkEdited();
  return 1;
}

int32_t CSongData::FindEventAt(int16_t track, int32_t tick, uint8_t filter, int32_t* previousEnd,
                               int32_t* nextTick) const {
  if (previousEnd)
    *previousEnd = 0;
  if (nextTick)
    *nextTick = INT32_MAX;
  if (!HasTrack(track))
    return -1;
  const auto& events = tracks[track].events;
  auto isNote = [](const SongEvent& e) { return e.IsSoundingNoteOn(); };
  auto isSyllable = [](const SongEvent& e) { return e.kind == kKindSyllable; };
  auto matches = [&](const SongEvent& e) {
    switch (filter & 3) {
    case 0:
      return isNote(e);
    case 1:
      return isSyllable(e);
    default:
      return true;
    }
  };
  auto ofKind = [&](const SongEvent& e) { return (filter & 4) ? isSyllable(e) : isNote(e); };
  const int32_t insertAt = FindInsertIndex(track, tick, kKindSyllable);
  int32_t found = -1;
  for (int32_t i = insertAt - 1; i >= 0; --i) {
    if (matches(events[i]) && static_cast<int64_t>(events[i].tick) <= tick) {
      found = i;
      break;
    }
  }
  if (nextTick) {
    for (int32_t i = insertAt; i < static_cast<int32_t>(events.size()); ++i) {
      if (ofKind(events[i])) {
        *nextTick = static_cast<int32_t>(std::min<uint32_t>(events[i].tick, INT32_MAX));
        break;
      }
    }
  }
  if (previousEnd && !(!(filter & 8) && found == 0)) {
    for (int32_t i = (filter & 8) ? found : found - 1; i >= 0; --i) {
      if (ofKind(events[i])) {
        *previousEnd = ClampTick(int64_t{events[i].tick} + events[i].duration);
        break;
      }
    }
  }
  return found;
}

} // namespace core

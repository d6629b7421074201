// The event list's change of an event into another entry of its type list:
// each entry makes a fresh event of its kind, keeping what the old event
// had that still means something (a note's values, a syllable's length, a
// text event's text).
#include "core/songdata.h"
#include "platform/sys/midi_message.h"

#include <algorithm>

namespace core {

namespace midi = sys::midi;

namespace {

constexpr size_t kLyricFromTextBytes = 255;
constexpr uint32_t kFourFour = 4u | 2u << 8 | 24u << 16 | 8u << 24;
constexpr uint32_t kNewTempo = kDefaultTempo;

bool IsTimingKind(uint8_t kind) {
  return kind == kKindTimeSignature || kind == kKindTempo || kind == kKindKeySignature;
}

bool IsLineKind(uint8_t kind) {
  return kind >= kKindSyllable && kind <= kKindNextLine;
}

uint32_t ChannelMessage(uint8_t type, uint8_t channel, uint8_t d1, uint8_t d2) {
  return (type | (channel & 0x0F)) | uint32_t{d1} << 8 | uint32_t{d2} << 16;
}

} // namespace

int CSongData::SetEventType(int16_t track, int32_t index, int typeIndex) {
  const SongEvent* found = loaded ? Event(track, index) : nullptr;
  if (!found || typeIndex <= 0 || typeIndex >= 16)
    return 0;
  const SongEvent old = *found;
  if (EventTypeIndex(old) == typeIndex)
    return 1;
  Track& t = tracks[track];
  const bool wasMidi = old.kind == kKindChannel;
  const uint8_t oldType = wasMidi ? midi::TypeOf(old.Status()) : 0;
  const bool wasNoteOn = wasMidi && oldType == midi::kNoteOn;
  const bool wasKeyPressure = wasMidi && oldType == midi::kPolyPressure;
  // A MIDI event keeps its channel; anything else takes the track's.
  const uint8_t channel = wasMidi ? (old.Status() & 0x0F) : (t.summary.channel & 0x0F);

  SongEvent e;
  e.tick = old.tick;
  switch (typeIndex) {
  case 1:
    e.data = wasKeyPressure ? ChannelMessage(midi::kNoteOn, channel, old.Data1(), old.Data2())
                            : ChannelMessage(midi::kNoteOn, channel, 60, 100);
    e.duration = old.kind == kKindSyllable ? old.duration : ticksPerQuarter;
    break;
  case 2:
    e.data = wasNoteOn ? ChannelMessage(midi::kPolyPressure, channel, old.Data1(), old.Data2())
                       : ChannelMessage(midi::kPolyPressure, channel, 60, 100);
    break;
  case 3:
    e.data = ChannelMessage(midi::kControlChange, channel, 0, 0);
    break;
  case 4:
    e.data = ChannelMessage(midi::kProgramChange, channel, 0, 0);
    break;
  case 5:
    e.data = ChannelMessage(midi::kChannelPressure, channel,
                            wasNoteOn || wasKeyPressure ? old.Data2() : 100, 0);
    break;
  case 6:
    e.data = ChannelMessage(midi::kPitchBend, channel, 0, 0x40);
    break;
  case 7:
    e.kind = kKindTimeSignature;
    e.data = kFourFour;
    break;
  case 8:
    e.kind = kKindTempo;
    e.data = kNewTempo;
    break;
  case 9:
    e.kind = kKindKeySignature;
    break;
  case 10:
    e.kind = kKindWave;
    break;
  case 11: {
    e.kind = kKindSyllable;
    e.duration = wasNoteOn ? old.duration : ticksPerQuarter;
    const std::string_view text =
        IsTextKind(old.kind) ? sys::CutBytes(PoolText(old), kLyricFromTextBytes) : "---";
    // Copied first: the pool it lies in may move while the text is added.
    const std::string bytes(text);
    auto offset = AddTrackText(track, bytes);
    if (!offset)
      return 0;
    e.data = *offset | static_cast<uint32_t>(bytes.size()) << 16;
    break;
  }
  case 12:
    e.kind = kKindLineBreak;
    break;
  case 13:
    e.kind = kKindNextLine;
    break;
  case 14:
    e.kind = kKindImage;
    break;
  default:
    e.kind = kKindSinger;
    break;
  }
  const int32_t ms = TickToMs(static_cast<int32_t>(std::min<uint32_t>(e.tick, INT32_MAX)));
  e.ms = static_cast<uint32_t>(ms);
  const int64_t end = std::min<int64_t>(int64_t{e.tick} + e.duration, INT32_MAX);
  e.durationMs = static_cast<uint32_t>(std::max(0, TickToMs(static_cast<int32_t>(end)) - ms));

  // The event's new place: after the events that sort before it or equal it
  // and stood before it, as a stable sort of the whole track would put it.
  auto& events = t.events;
  events.erase(events.begin() + index);
  const auto low = std::lower_bound(events.begin(), events.end(), e, SortsBefore);
  const auto high = std::upper_bound(low, events.end(), e, SortsBefore);
  const auto at = std::clamp(events.begin() + index, low, high);
  events.insert(at, e);

  EventsEdited(track, IsTimingKind(old.kind) || IsTimingKind(e.kind),
               IsLineKind(old.kind) || IsLineKind(e.kind));
  return 1;
}

} // namespace core

// The track event walk: a track stores each note as one note-on with a
// duration; the sequencer and a Standard MIDI File need the note's end as an
// event of its own. The walk produces every stored event in order with a
// note-off placed at each note's end, exactly engineEventCount events.
#pragma once

#include <cstdint>
#include <functional>

#include "core/songevent.h"

namespace core {

class CSongData;

// The sink receives the track, the running index n of the produced event, the
// song event index, and whether the produced event is that event's note-off.
using TrackSink = std::function<void(int16_t track, int32_t n, int32_t eventIndex, bool noteOff)>;

// Walks a track; calls the sink once per produced event. Returns the number
// of calls, 0 for a track that does not exist.
int32_t TransmitTrack(const CSongData& song, int16_t track, const TrackSink& sink);

// What a produced event carries: the event itself, or for a note-off the
// note's end (tick + duration, ms + duration ms) and its data with the
// velocity cleared.
struct ProducedEvent {
  uint32_t tick;
  uint32_t ms;
  uint32_t data;
  uint8_t kind;
};
ProducedEvent MakeProducedEvent(const SongEvent& e, bool noteOff);

} // namespace core

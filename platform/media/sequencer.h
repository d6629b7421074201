// The "sequencer" device of the media-command layer: a Standard MIDI File
// played to the MIDI mapper from a periodic event of the time source. Its
// commands: open with the file as element, "status port" (answered once
// the mapper opens), "play [from 0]" (returns at once; with notify, a
// notice when the file ends), "stop", "close".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace media {

// Bounds of the file reader.
inline constexpr size_t kMaxSmfBytes = size_t{4} << 20;
inline constexpr size_t kMaxSmfEvents = 1u << 20;

struct SmfEvent {
  uint32_t timeMs = 0;
  std::vector<uint8_t> bytes; // a channel message, or a whole F0 ... F7
};

// The file's channel and system-exclusive events of every track merged in
// time order (ties in track order), their times from the tempo map. Meta
// events other than tempo are dropped. nullopt for a file that is not a
// Standard MIDI File or breaks a bound (chunk past the end, running status
// without a status, a number of more than four bytes, too many events).
std::optional<std::vector<SmfEvent>> ReadStandardMidiFile(std::span<const uint8_t> file);

// Registers the device type "sequencer" (replacing one registered before).
void RegisterSequencerDevice();

} // namespace media

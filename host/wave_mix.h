// Embedded waves mixed into a rendered song: what the wave sink recorded
// during a render, converted to the synthesizer's format and added into its
// WAV file at the times the waves started.
#pragma once

#include "platform/media/wave_sinks.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Adds every stream's bytes into the 16-bit stereo file at path, stream i
// from (openMs - startMs) on, clipped; the file keeps its length. False with
// the reason when the file cannot be read or written or a wave converted.
bool MixWavesIntoFile(const std::string& path, const std::vector<media::RecordedWaveStream>& streams,
                      uint32_t startMs, std::string* error);

} // namespace host

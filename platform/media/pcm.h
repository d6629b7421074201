// Conversion of PCM sound between formats, as a capture would have recorded
// it: channels mixed to mono (or mono doubled), 16 bits to 8 by the high
// byte, 8 to 16 by shifting up, and the rate changed through libsamplerate.
#pragma once

#include "platform/media/riff.h"

#include <optional>
#include <string>
#include <vector>

namespace media {

// The data of wave in format to (PCM, 8 or 16 bits, 1 or 2 channels);
// nullopt with the reason when a format is not one of those or the rates
// differ by a factor of more than 256.
std::optional<std::vector<uint8_t>> ConvertPcm(const Wave& wave, const WaveFormat& to,
                                               std::string* error);

} // namespace media

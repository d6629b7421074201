// The capture format of the singing score: the standard rate a requested rate
// is raised to, and the format a device's capability record suggests.
#pragma once

#include "platform/media/riff.h"
#include "platform/media/wavein.h"

#include <cstdint>

namespace score {

// 11025, 22050 and 44100 stay; a rate between them goes up to the next one;
// rates above 44100 stay. 0 stays 0 (no rate asked for).
uint32_t StandardCaptureRate(uint32_t rate);

// 44100 Hz when the device records any 44.1 kHz format, else 11025; 16 bits
// when it records any 16-bit format, else 8; the device's channels (1 or 2);
// bytes per second = rate x block align.
media::WaveFormat CaptureFormatFromCaps(const media::WaveInCaps& caps);

} // namespace score

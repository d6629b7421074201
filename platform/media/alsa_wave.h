// ALSA playback devices for wave output: the "default" PCM (the sound server
// through its ALSA plugin where there is one, dmix otherwise, so that waves
// sound beside the synthesizer), then every playback device ALSA lists.
#pragma once

#include "platform/media/waveout.h"

#include <memory>
#include <string>
#include <vector>

namespace media {

constexpr uint16_t kProductAlsaWave = 0x7E30;

// The devices of a normal run; empty when ALSA lists nothing that opens.
std::vector<std::shared_ptr<WaveOutDevice>> AlsaWaveDevices();

// A device on PCM name: from the system's configuration, or from a
// configuration text of its own when configText is not empty (tests).
std::shared_ptr<WaveOutDevice> AlsaWaveDevice(std::string pcmName, std::string description,
                                              std::string configText = {});

} // namespace media

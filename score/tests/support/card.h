// A scripted sound card for the mixer's tests.
#pragma once

#include "platform/media/mixer.h"

#include <memory>

namespace scoretest {

// A sound card's mixer: speakers with wave and synthesizer, a recording
// destination whose first source is line 0x20000, a microphone among its
// sources, and the wave-input destination with volume, mute and a 4-entry list.
struct Card {
  explicit Card(uint16_t manufacturer = 1) {
    media::MixerCaps caps;
    caps.manufacturerId = manufacturer;
    caps.name = "Scripted Mixer";
    mixer = std::make_shared<media::ScriptedMixer>(caps);
    const uint32_t speakers = mixer->AddLine(0, -1, media::kDstSpeakers, 2, "Speakers");
    mixer->AddControl(speakers, media::kControlVolume, {40000, 40000});
    mixer->AddControl(mixer->AddLine(0, 0, media::kSrcWaveOut, 2, "Wave"),
                      media::kControlVolume, {30000, 30000});
    mixer->AddControl(mixer->AddLine(0, 1, media::kSrcSynthesizer, 2, "Synth"),
                      media::kControlVolume, {30000, 30000});
    mixer->AddLine(1, -1, media::kDstWaveIn, 2, "Recording");
    mixer->AddLine(1, 0, media::kSrcCompactDisc, 2, "CD");
    const uint32_t mic = mixer->AddLine(1, 1, media::kSrcMicrophone, 1, "Mic");
    micMute = mixer->AddControl(mic, media::kControlMute, {1});
    volume = mixer->AddControl(1, media::kControlVolume, {1000, 3000});
    inputMute = mixer->AddControl(1, media::kControlMute, {1, 1});
    list = mixer->AddControl(1, media::kControlMux, {1, 0, 0, 0});
    media::Mixers().UseDevices({mixer});
  }
  ~Card() { media::Mixers().UseDevices({}); }

  std::shared_ptr<media::ScriptedMixer> mixer;
  uint32_t volume = 0, inputMute = 0, list = 0, micMute = 0;
};

} // namespace scoretest

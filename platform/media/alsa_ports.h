// Every writable ALSA sequencer port (hardware synthesizers and MIDI
// interfaces, FluidSynth or TiMidity running as a server) as a MIDI output
// device. Messages go out directly, not through a sequencer queue, from one
// client of ours with an output port for each open device, subscribed to the
// device's port; anyone else subscribed to our port hears them too.
#pragma once

#include "platform/media/midiout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace media {

// Product identifiers of sequencer ports: from their client and port names,
// so a device keeps its identifier across runs and reboots.
constexpr uint16_t kProductAlsaPortFirst = 0x8000;
uint16_t AlsaPortProductId(std::string_view clientName, std::string_view portName);

// What the capability record is made from.
struct AlsaPortDescription {
  std::string clientName;
  std::string portName;
  bool synthesizer = false; // makes sound itself
  bool software = false;
  bool samples = false; // takes downloaded instruments (a wavetable)
  int synthVoices = 0;
  int midiChannels = 0;
};
MidiOutCaps AlsaPortCaps(const AlsaPortDescription& port, uint16_t productId);

// Whether this machine has a sequencer at all (/dev/snd/seq).
bool AlsaSequencerPresent();
// The writable ports of every other client, in the order of their client
// and port numbers; empty without a sequencer.
std::vector<std::shared_ptr<MidiOutDevice>> AlsaSequencerDevices();

} // namespace media

// The MIDI output backends of a normal run, in device order: the built-in
// synthesizer is device 0 (and so the default device), the sequencer's
// writable ports follow.
#include "platform/media/alsa_ports.h"
#include "platform/media/midiout.h"
#include "platform/media/software_synth.h"

namespace media {

void RegisterDefaultMidiBackends(MidiOutSystem& system) {
  system.AddBackend("synthesizer", [] {
    return std::vector<std::shared_ptr<MidiOutDevice>>{SoftwareSynthDevice()};
  });
  system.AddBackend("alsa", [] { return AlsaSequencerDevices(); });
}

} // namespace media

// Plays a song in real time as `vexo3 play` does, on a recording MIDI device
// (the only device), with the player core of build/bin. When the play has
// ended (Ctrl+C stops it) it reports what the device was left with:
// "exit N" (the play's exit code), "notes N" (note-ons received),
// "sounding N" (notes neither ended by a note-off nor by an all-notes-off or
// all-sound-off of their channel) and "open ports N".
//
// play_recorded SONG
#include "host/play.h"
#include "platform/media/midiout.h"
#include "platform/media/recording_midi.h"

#include <array>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: play_recorded SONG\n");
    return 2;
  }
  auto device = std::make_shared<media::RecordingMidiOut>("Recorder", 0x7E01);
  media::MidiOut().UseDevicesForTesting({device});

  host::PlayOptions options;
  options.file = argv[1];
  options.folder = VEXO_BIN_DIR;
  options.display = false; // the test is about the notes, not the lyrics
  const int exit = host::PlaySong(options);

  std::array<std::array<int, 128>, 16> sounding{};
  int notes = 0;
  for (const media::RecordedMidi& m : device->Messages()) {
    if (m.IsLong())
      continue;
    const int type = m.Status() & 0xF0, channel = m.Status() & 0x0F, key = m.Data1() & 0x7F;
    if (type == 0x90 && m.Data2() > 0) {
      ++sounding[channel][key];
      ++notes;
    } else if ((type == 0x80 || type == 0x90) && sounding[channel][key] > 0) {
      --sounding[channel][key];
    } else if (type == 0xB0 && (m.Data1() == 123 || m.Data1() == 120)) {
      sounding[channel].fill(0);
    }
  }
  int left = 0;
  for (const auto& channel : sounding)
    for (int n : channel)
      left += n;
  std::printf("exit %d\nnotes %d\nsounding %d\nopen ports %d\n", exit, notes, left,
              device->OpenPorts());
  std::fflush(stdout);
  return 0;
}

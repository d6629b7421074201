// "record OUT.wav [--seconds S] [--rate R] [--bits B] [--channels C]
// [--play]" and "record --open FILE.wav": the player core's wave recorder.
// Records from the microphone (or the WAV microphone of VEXO_MIC_WAV) until
// S seconds passed or Ctrl+C, saves the recording as OUT.wav and, with
// --play, plays it back; --open plays a WAV file through the recorder.
#pragma once

#include <span>

namespace host {

// 0 when recorded and saved (or played); 1 with a one-line error when
// there is no microphone, the format cannot be recorded or the file cannot
// be written or read; 2 for a usage error.
int RecordCommand(std::span<char*> args);

} // namespace host

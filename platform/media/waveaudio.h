// The "waveaudio" device of the media-command layer: a sound recorder that
// keeps one recording in memory. Opened without an element (or with "new")
// it starts empty in the format "set" gives it; opened on a WAV file it
// holds that file's sound. It records through wave input (the mapper) and
// plays through wave output (the mapper), both on the process's time
// source, and saves the recording as a RIFF WAVE file.
//
// Commands (times in milliseconds):
//   set D [time format ms|milliseconds] [format tag pcm] [bitspersample B]
//         [samplespersec R] [channels C] [alignment A] [bytespersec S]
//   record D [from 0] [to T] [insert|overwrite] [notify]  - starts anew;
//         ends by itself (SUCCESSFUL) at T, else at kMaxRecordMs
//   play D [from P] [to T] [notify]                      - SUCCESSFUL at the end
//   stop D [wait]                                         - ABORTED for what ran
//   save D PATH                                           - the file replaced whole
//   status D mode|length|position|ready|bitspersample|samplespersec|channels
//   close D
#pragma once

#include <cstdint>

namespace media {

// The longest recording a "record" without "to" makes.
inline constexpr uint32_t kMaxRecordMs = 600000;

// Registers the "waveaudio" type (once per process; later calls do nothing).
void RegisterWaveAudioDevice();

} // namespace media

// Playing a song as a host does: the host's windows, the player core loaded
// by name and initialised, the song loaded and played to its end on a MIDI
// output device, or rendered by the built-in synthesizer into a WAV file
// faster than real time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace host {

struct PlayOptions {
  std::string file;
  int device = -1;    // a device number of `vexo3 devices`; -1 the current default
  std::string wav;    // render into this file instead of playing in real time
  int tempo = 0;      // percent faster (negative: slower)
  int key = 0;        // semitones
  std::string folder; // where the player core lies; the program's folder when empty
  bool display = true; // start the lyric display for real-time play
  std::string displayLog; // start the tests' stand-in display, logging into this file
  bool logo = false;      // show the start-up logo while the play starts
  bool score = false;     // score the singer while the song plays
  std::string mic;        // a WAV file sung into the microphone
  int micDevice = -1;     // a sound input device of `vexo3 devices`; -1 the default
  bool panel = false;     // show the score on screen while scoring
};

// Bounds of the tempo and key options.
constexpr int kMinTempo = -50, kMaxTempo = 100;
constexpr int kMinKey = -12, kMaxKey = 12;

// Exit codes.
constexpr int kExitPlayed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Parses the arguments of `play`; nullopt (with a message in *error) for
// arguments it cannot use.
std::optional<PlayOptions> ParsePlayArguments(std::span<char*> args, std::string* error);

// Plays (or renders) as the options say; an exit code.
int PlaySong(const PlayOptions& options);

int PlayCommand(std::span<char*> args);
int DevicesCommand(std::span<char*> args);
int DemoCommand(std::span<char*> args);

} // namespace host

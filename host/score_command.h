// `vexo3 score`: a recorded voice scored against a song as the singing score
// would score it live. The player core plays the song on the virtual clock
// into the recording MIDI device; every 200 ms from the start of play the six
// values of the player core are read and the next block of the voice, taken
// from that moment, is analysed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace host {

struct ScoreOptions {
  std::string voice; // a WAV file
  std::string song;  // empty: the analysis trace alone
  uint32_t rate = 22050;
  int32_t offsetMs = 0; // the voice's time at the song's start
  std::string params;   // a 52-byte parameter block
  bool trace = false;
  std::string folder; // where the player core lies; the program's folder when empty
};

// The controller's timer period.
constexpr uint32_t kScoreBlockPeriodMs = 200;

std::optional<ScoreOptions> ParseScoreArguments(std::span<char*> args, std::string* error);
int ScoreVoice(const ScoreOptions& options);
int ScoreCommand(std::span<char*> args);

} // namespace host

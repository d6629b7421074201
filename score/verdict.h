// The verdict sound played for a score: "95.WAV" from 95, "90.WAV" from 90,
// "80.WAV" from 80, "70.WAV" from 70, "60.WAV" from 60, nothing below.
#pragma once

#include <cstdint>
#include <string>

namespace score {

// The sound's file name for a whole-number score; nullptr below 60.
const char* VerdictSoundName(int32_t score);
// Plays the score's sound from folder and returns once it has played; false
// when there is none for the score or it cannot be played.
bool PlayVerdict(int32_t score, const std::string& folder);

} // namespace score

// Small trees of song folders for the catalogue tests, written with the
// core's song writer (V3.50 files without bank or waves).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace album::testing {

// Writes a song file whose information chunk has this title and singer
// (code-page bytes). False when the writer fails.
bool WriteSong(const std::string& path, const std::string& title, const std::string& singer = "S");
// The same with the category byte of its code and its text chunk (the
// album's text excerpt).
bool WriteSong(const std::string& path, const std::string& title, const std::string& singer,
               uint8_t category, const std::string& text);

// Creates folder (and its parents) holding count songs "song<i>.vx3" titled
// "<prefix> <i>".
bool MakeSongFolder(const std::string& folder, int count, const std::string& prefix);

} // namespace album::testing

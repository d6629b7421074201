// A small catalogue written byte for byte (two album files and "Song.alb"),
// for the song-list and reservation tests: numbers from 1 to 123456, titles
// of 35 to 37 bytes, a double-byte character across a cut, an empty title,
// an empty excerpt, CR, LF and TAB inside texts, an album without direct
// index, and index entries whose records are missing.
#pragma once

#include <string>

namespace album::testing {

// Writes the catalogue into albumFolder (a Linux folder that exists).
bool WriteListCatalogue(const std::string& albumFolder);

} // namespace album::testing

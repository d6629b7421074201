// One fuzzing step over lyric text import, shared by the libFuzzer harness
// and the mutation test. The first byte chooses automatic split (bit 0) and a
// tick range for a second insert (bit 1); the rest is the lyric text. The
// text is imported into a small song and synchronised, inserted again over a
// range, marked and aligned; after every step the song must hold together,
// and the syllables must hold every byte of the text but the separators.
// Returns an empty string, or what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace core::testing {

std::string CheckLyricTextInput(const uint8_t* data, size_t size);

} // namespace core::testing

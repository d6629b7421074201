// One fuzzing step over the interchange text import, shared by the libFuzzer
// harness and the mutation test. The first byte chooses the given track (bits
// 0-1, track 3 lying past the song's tracks), code page 932 instead of 949
// (bit 2) and a song without lyrics (bit 3); the rest is the text. After the
// import the song must hold together; a refused import must leave it as it
// was; the text written from an imported song must read back, and give the
// same text again when its lines are within the reader's line length.
// Returns an empty string, or what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace core::testing {

std::string CheckInterchangeInput(const uint8_t* data, size_t size);

} // namespace core::testing

// One fuzzing step over the MIDI readers and writers, shared by the libFuzzer
// harness and the mutation test: reads the bytes as a Standard MIDI File and
// as a karaoke file, walks and describes every event, writes the song and
// reads it back. Returns an empty string, or what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace core::testing {

std::string CheckMidiInput(const uint8_t* data, size_t size);

} // namespace core::testing

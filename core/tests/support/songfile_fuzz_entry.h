// One fuzzing step over the song file readers and writers, shared by the
// libFuzzer harness and the mutation test. Bytes that begin with a song file
// magic are read as a file; any other bytes become the event data of a plain
// three-track song file, so that mutations reach the event decoder directly.
// A song that reads is walked and described, written in both versions, read
// back and written again, which must give the same bytes. Returns an empty
// string, or what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace core::testing {

std::string CheckSongFileInput(const uint8_t* data, size_t size);
// The plain three-track file (lyric track 2) around the given event data.
std::vector<uint8_t> WrapAsEventData(const uint8_t* data, size_t size);

} // namespace core::testing

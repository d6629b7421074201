// One fuzzing step over the album file layer, shared by the libFuzzer
// harnesses and the mutation tests. Each returns an empty string, or what
// went wrong.
//
// CheckAlbumFileInput: the bytes go through every album file reader, the
// record search (number and position taken from the bytes), the roll
// unpacker and the text utilities; a file that reads is written again and
// must read back to the same bytes.
//
// CheckSongProbeInput: the bytes are probed as a song file; the results
// must stay within their ranges and the text within the file.
//
// CheckMyAlbumInput: the bytes are loaded as a my-album store, saved and
// loaded again: the second load is whole and holds the same lists.
//
// CheckQueryInput: a pattern (its length in the first byte, then its
// bytes), then an album file: the file's match index must answer every
// query kind with the pattern and with pieces of its own fields as a scan
// of every record with the plain matches does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace album::testing {

std::string CheckAlbumFileInput(const uint8_t* data, size_t size);
std::string CheckSongProbeInput(const uint8_t* data, size_t size);
std::string CheckMyAlbumInput(const uint8_t* data, size_t size);
std::string CheckQueryInput(const uint8_t* data, size_t size);

} // namespace album::testing

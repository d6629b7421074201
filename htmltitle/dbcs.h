// The double-byte byte classifier shared by the title renderer and the song
// album: which part of a character a byte of a code-949 text is.
#pragma once

#include <cstdint>

// 0: a single-byte character, 1: the lead byte, 2: the trail byte of a
// double-byte character at text[position]. The bytes from the start up to the
// position must exist; a null text or a negative position gives 0.
extern "C" __attribute__((visibility("default"))) int32_t GetDbcsByteClass(const char* text,
                                                                           int32_t position);

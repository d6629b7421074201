// One fuzzing step over the own still-image decoders, shared by the
// libFuzzer harness and the tests: the bytes go to the BMP, PCX and GIF
// decoders, to the choice by first byte and to the background file's reader,
// and every bitmap that comes out must be whole. Returns an empty string,
// or what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace stills::test {

std::string CheckStillInput(const uint8_t* data, size_t size);

} // namespace stills::test

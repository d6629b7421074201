// One fuzzing step over the LZSS codec, shared by the libFuzzer harness and
// the tests: the first two bytes give an output bound and the rest is decoded
// as a packed stream within it; then all the bytes are packed and unpacked
// again. Returns an empty string, or what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace core::testing {

std::string CheckLzssInput(const uint8_t* data, size_t size);

} // namespace core::testing

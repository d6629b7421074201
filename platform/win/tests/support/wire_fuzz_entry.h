// One fuzzing step over what a peer process can put on a window socket,
// shared by the libFuzzer harness and the mutation test. The bytes are a
// stream of frames as a peer writes them: decoded whole, and again cut into
// reads of sizes the bytes themselves choose, both must give the same frames,
// each of which writes back to exactly the bytes it came from; the class and
// title of searches and descriptions read back the same way. The bytes are
// also read as a published window table, which must write back unchanged.
// Returns an empty string, or what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wintest {

std::string CheckWireInput(const uint8_t* data, size_t size);

} // namespace wintest

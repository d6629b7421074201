// Random mutations of a seed for the mutation tests of the readers: bit
// flips, interesting bytes, cuts, removed and duplicated runs, random bytes.
#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <vector>

namespace core::testing {

// One to eight edits of seed; interesting holds the byte values worth trying.
std::vector<uint8_t> Mutate(const std::vector<uint8_t>& seed, std::mt19937& rng,
                            std::span<const uint8_t> interesting);

} // namespace core::testing

// The wire's fuzzing step run over random mutations of its seeds, so that
// every build exercises it under the sanitizers (the libFuzzer harness runs
// the same step with clang).
#include "platform/win/tests/support/wire_fuzz_entry.h"

#include "platform/sys/tests/support/fuzz_rounds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <vector>

namespace {

using Bytes = systest::FuzzInput;

// Sizes, kinds and flags of the frames and tables worth trying.
const uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                                0x07, 0x08, 0x30, 0x7F, 0x80, 0xFF};

Bytes Mutate(Bytes b, std::mt19937& rng) {
  const int edits = 1 + static_cast<int>(rng() % 6);
  for (int i = 0; i < edits && !b.empty(); ++i) {
    const size_t at = rng() % b.size();
    const size_t run = std::min<size_t>(b.size() - at, 1 + rng() % 16);
    switch (rng() % 5) {
    case 0:
      b[at] = kInteresting[rng() % std::size(kInteresting)];
      break;
    case 1:
      b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
      break;
    case 2:
      b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
              b.begin() + static_cast<std::ptrdiff_t>(at + run));
      break;
    case 3:
      b.resize(at);
      break;
    default: {
      Bytes copy(b.begin() + static_cast<std::ptrdiff_t>(at),
                 b.begin() + static_cast<std::ptrdiff_t>(at + run));
      b.insert(b.begin() + static_cast<std::ptrdiff_t>(rng() % b.size()), copy.begin(), copy.end());
    }
    }
  }
  return b;
}

TEST(WireFuzz, MutationsNeverBreakTheDecoders) {
  std::vector<Bytes> seeds =
      systest::ReadFuzzSeeds(std::filesystem::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds/fuzz-wire");
  ASSERT_GE(seeds.size(), 5u);
  // All seeds in one stream, as one connection carries many frames.
  Bytes all;
  for (const Bytes& s : seeds)
    if (s.size() < 4 || s[0] != 'V')
      all.insert(all.end(), s.begin(), s.end());
  seeds.push_back(all);
  for (const Bytes& seed : seeds)
    EXPECT_EQ(wintest::CheckWireInput(seed.data(), seed.size()), "");
  std::mt19937 rng(20261210);
  systest::FuzzRounds(
      seeds, 20000, [&](const Bytes& seed, int) { return Mutate(seed, rng); },
      [](const Bytes& input) { return wintest::CheckWireInput(input.data(), input.size()); },
      std::string(VEXO_TESTS_DIR) + "/wire-fuzz-failure.bin");
}

} // namespace

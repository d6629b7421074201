// The display's records fuzzing step run over random mutations of its seeds,
// so that every build exercises it under the sanitizers (the libFuzzer
// harness runs the same step with clang).
#include "display/tests/support/records_fuzz_entry.h"
#include "display/tests/support/session.h"
#include "platform/sys/tests/support/fuzz_rounds.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <vector>

namespace {

using Bytes = systest::FuzzInput;

// A few random edits: bytes changed, runs cut out or repeated.
Bytes Mutate(Bytes b, std::mt19937& rng) {
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int i = 0; i < edits && !b.empty(); ++i) {
    const size_t at = rng() % b.size();
    const size_t run = std::min<size_t>(b.size() - at, 1 + rng() % 8);
    switch (rng() % 4) {
    case 0:
      b[at] = static_cast<uint8_t>(rng());
      break;
    case 1:
      b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
      break;
    case 2:
      b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
              b.begin() + static_cast<std::ptrdiff_t>(at + run));
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

TEST(DisplayRecordsFuzz, SeedsAndTheirMutationsLeaveTheFrameStanding) {
  displaytest::StartSession();
  const std::vector<Bytes> seeds = systest::ReadFuzzSeeds(
      std::filesystem::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds/fuzz-display-records");
  ASSERT_GE(seeds.size(), 6u);
  for (const Bytes& seed : seeds)
    EXPECT_EQ(displaytest::CheckDisplayRecordsInput(seed.data(), seed.size()), "");
  std::mt19937 rng(20261210);
  systest::FuzzRounds(
      seeds, 40, [&](const Bytes& seed, int) { return Mutate(seed, rng); },
      [](const Bytes& input) {
        return displaytest::CheckDisplayRecordsInput(input.data(), input.size());
      },
      std::string(VEXO_TESTS_DIR) + "/display-records-fuzz-failure.bin");
}

} // namespace

// The song file fuzzing step run over a few thousand random mutations of the
// seed files and of hand-built files, so that every build exercises it under
// the sanitizers (the libFuzzer harness runs the same step with clang).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/tests/support/midi_bytes.h"
#include "core/tests/support/mutate.h"
#include "core/tests/support/songfile_bytes.h"
#include "core/tests/support/songfile_fuzz_entry.h"
#include "platform/sys/tests/support/fuzz_rounds.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

std::vector<Bytes> Seeds() {
  std::vector<Bytes> seeds;
  std::error_code ec;
  fs::path dir = fs::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds" / "fuzz-songfile";
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file())
      seeds.push_back(testing::ReadFileBytes(e.path().string()));
  EXPECT_GE(seeds.size(), 4u) << "seeds missing in " << dir;
  testing::V350Options packed;
  packed.packed = 1;
  seeds.push_back(testing::V350File());
  seeds.push_back(testing::V350File(packed));
  seeds.push_back(testing::FixtureEventData());
  return seeds;
}

// Lengths, kinds and flags of the format worth trying.
const uint8_t kInteresting[] = {0x00, 0x01, 0x06, 0x0B, 0x10, 0x11, 0x12, 0x13, 0x14,
                                0x41, 0x47, 0x7F, 0x80, 0xB0, 0xFF, 0x1A, 0x0C, 0x0D};

TEST(SongFileFuzz, MutationsNeverBreakTheReaders) {
  std::vector<Bytes> seeds = Seeds();
  std::mt19937 rng(20240613);
  constexpr int kRounds = 3000;
  ASSERT_NO_FATAL_FAILURE(systest::FuzzRounds(
      seeds, kRounds,
      [&](const Bytes& seed, int) { return testing::Mutate(seed, rng, kInteresting); },
      [](const Bytes& input) { return testing::CheckSongFileInput(input.data(), input.size()); },
      std::string(VEXO_TESTS_DIR) + "/songfile-fuzz-failure.bin"));
  for (const auto& seed : seeds)
    EXPECT_EQ(testing::CheckSongFileInput(seed.data(), seed.size()), "");
}

} // namespace
} // namespace core

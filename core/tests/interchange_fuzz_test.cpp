// The interchange fuzzing step run over random mutations of the seed texts,
// so that every build exercises it under the sanitizers (the libFuzzer
// harness runs the same step with clang).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/tests/support/interchange_fuzz_entry.h"
#include "core/tests/support/mutate.h"
#include "platform/sys/tests/support/fuzz_rounds.h"

namespace core {
namespace {

const uint8_t kInteresting[] = {'\n', '\r', ':', ';', '/', ' ', '0', '9', '-', 0x00, 0x82, 0xB0};

TEST(InterchangeFuzz, MutationsKeepTheSongWhole) {
  auto seeds = systest::ReadFuzzSeeds(std::filesystem::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds" /
                                      "fuzz-interchange");
  ASSERT_GE(seeds.size(), 4u) << "seeds missing";
  std::mt19937 rng(20261211);
  ASSERT_NO_FATAL_FAILURE(systest::FuzzRounds(
      seeds, 8000,
      [&](const systest::FuzzInput& seed, int round) {
        auto input = testing::Mutate(seed, rng, kInteresting);
        if (!input.empty() && round % 2)
          input[0] = static_cast<uint8_t>(round / 2 & 15); // every track, code page and start
        return input;
      },
      [](const systest::FuzzInput& input) {
        return testing::CheckInterchangeInput(input.data(), input.size());
      },
      std::string(VEXO_TESTS_DIR) + "/interchange-fuzz-failure.bin"));
  for (const auto& seed : seeds)
    EXPECT_EQ(testing::CheckInterchangeInput(seed.data(), seed.size()), "");
}

} // namespace
} // namespace core

#include "display/stills/result.h"
#include "display/stills/stills.h"
#include "display/stills/tests/support/stills_fuzz_entry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The fuzzer's seeds are whole images, and damaged copies of them decode to
// whole bitmaps or fail cleanly.
TEST(StillsFuzzSeeds, DecodeAndSurviveDamage) {
  const std::filesystem::path folder =
      std::filesystem::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds" / "fuzz-stills";
  std::mt19937 rng(7);
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    const auto bytes = ReadAll(entry.path());
    gdi::Dib dib;
    EXPECT_EQ(stills::DecodeStill(bytes, dib), stills::kDecoded) << name;
    EXPECT_EQ(stills::test::CheckStillInput(bytes.data(), bytes.size()), "") << name;
    for (int i = 0; i < 300; ++i) {
      auto damaged = bytes;
      for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n)
        damaged[rng() % damaged.size()] = static_cast<uint8_t>(rng());
      if (rng() % 4 == 0)
        damaged.resize(rng() % damaged.size());
      ASSERT_EQ(stills::test::CheckStillInput(damaged.data(), damaged.size()), "")
          << name << " damage " << i;
    }
    ++seeds;
  }
  EXPECT_GE(seeds, 9);
}

} // namespace

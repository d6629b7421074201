// The display's records fuzzing step run over random mutations of its seeds,
// so that every build exercises it under the sanitizers (the libFuzzer
// harness runs the same step with clang).
#include "display/tests/support/records_fuzz_entry.h"
#include "display/tests/support/session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::vector<Bytes> Seeds() {
  std::vector<Bytes> seeds;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(
           fs::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds/fuzz-display-records", ec)) {
    std::ifstream in(e.path(), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return seeds;
}

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
  const std::vector<Bytes> seeds = Seeds();
  ASSERT_GE(seeds.size(), 6u);
  for (const Bytes& seed : seeds)
    EXPECT_EQ(displaytest::CheckDisplayRecordsInput(seed.data(), seed.size()), "");
  std::mt19937 rng(20261210);
  for (int round = 0; round < 40; ++round) {
    const Bytes input = Mutate(seeds[round % seeds.size()], rng);
    const std::string fault = displaytest::CheckDisplayRecordsInput(input.data(), input.size());
    if (!fault.empty()) {
      const std::string kept = std::string(VEXO_TESTS_DIR) + "/display-records-fuzz-failure.bin";
      std::ofstream(kept, std::ios::binary)
          .write(reinterpret_cast<const char*>(input.data()),
                 static_cast<std::streamsize>(input.size()));
      FAIL() << "round " << round << ": " << fault << " (input kept in " << kept << ")";
    }
  }
}

} // namespace

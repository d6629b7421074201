// The lyric text fuzzing step run over random mutations of the seed texts in
// both split modes, so that every build exercises it under the sanitizers
// (the libFuzzer harness runs the same step with clang).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/tests/support/lyrictext_fuzz_entry.h"
#include "core/tests/support/midi_bytes.h"
#include "core/tests/support/mutate.h"
#include "platform/sys/tests/support/fuzz_rounds.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

const uint8_t kInteresting[] = {'/', '\r', '\n', 0x00, 0x80, 0x81, 0xA1, 0xB0, 0xFF, ' '};

TEST(LyricTextFuzz, MutationsKeepTheSongWhole) {
  std::vector<Bytes> seeds;
  std::error_code ec;
  fs::path dir = fs::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds" / "fuzz-lyrictext";
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_regular_file())
      seeds.push_back(testing::ReadFileBytes(e.path().string()));
  ASSERT_GE(seeds.size(), 4u) << "seeds missing in " << dir;
  // Many lines and a text at the import's limit.
  Bytes lines{0};
  for (int i = 0; i < 600; ++i)
    lines.insert(lines.end(), {'l', '/', 'a', '\n'});
  seeds.push_back(lines);
  // A text at the import's limit is checked as it is, not mutated: each of its
  // rounds costs as much as hundreds of the others under the sanitizers.
  Bytes full(70000, 0xB0);
  full[0] = 1;
  EXPECT_EQ(testing::CheckLyricTextInput(full.data(), full.size()), "");
  std::mt19937 rng(20261210);
  ASSERT_NO_FATAL_FAILURE(systest::FuzzRounds(
      seeds, 1500,
      [&](const Bytes& seed, int round) {
        Bytes input = testing::Mutate(seed, rng, kInteresting);
        if (!input.empty())
          input[0] = static_cast<uint8_t>(round & 3); // both split modes, with and without a range
        return input;
      },
      [](const Bytes& input) { return testing::CheckLyricTextInput(input.data(), input.size()); },
      std::string(VEXO_TESTS_DIR) + "/lyrictext-fuzz-failure.bin"));
  for (const auto& seed : seeds)
    EXPECT_EQ(testing::CheckLyricTextInput(seed.data(), seed.size()), "");
}

} // namespace
} // namespace core

// The fuzzing steps of the album file layer run over a few thousand random
// mutations of the seed files, so that every build exercises them under the
// sanitizers (the libFuzzer harnesses run the same steps with clang).
#include "album/tests/support/album_fuzz_entry.h"

#include "core/tests/support/mutate.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;
using Check = std::string (*)(const uint8_t*, size_t);

std::vector<Bytes> Seeds(const std::string& harness) {
  std::vector<Bytes> seeds;
  std::error_code ec;
  std::filesystem::path dir = std::filesystem::path(VEXO_TEST_SOURCE_DIR) / "fuzz-seeds" / harness;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    std::string s = sys::test::ReadFile(e.path().string()).value_or("");
    seeds.emplace_back(s.begin(), s.end());
  }
  EXPECT_GE(seeds.size(), 3u) << "seeds missing in " << dir;
  return seeds;
}

// Counts, lengths, flags and magic bytes of the formats worth trying.
const uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x06, 0x0D, 0x0A, 0x1A, 0x3D,
                                0x7F, 0x80, 0xB0, 0xFE, 0xFF, 'e',  'S',  'F'};

TEST(AlbumFuzz, MutationsNeverBreakTheReaders) {
  struct Case {
    const char* what;
    const char* harness;
    Check check;
    int rounds;
  };
  const Case cases[] = {
      {"album files", "fuzz-albumfile", album::testing::CheckAlbumFileInput, 4000},
      {"song probe", "fuzz-songprobe", album::testing::CheckSongProbeInput, 2000},
      {"my-album store", "fuzz-myalbum", album::testing::CheckMyAlbumInput, 3000},
      {"query match index", "fuzz-albumquery", album::testing::CheckQueryInput, 3000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Bytes> seeds = Seeds(c.harness);
    ASSERT_FALSE(seeds.empty());
    for (const Bytes& s : seeds)
      EXPECT_EQ(c.check(s.data(), s.size()), "");
    std::mt19937 rng(20261210);
    for (int i = 0; i < c.rounds; ++i) {
      Bytes input = core::testing::Mutate(seeds[i % seeds.size()], rng, kInteresting);
      std::string fault = c.check(input.data(), input.size());
      if (!fault.empty()) {
        std::string kept = std::string(VEXO_TESTS_DIR) + "/album-fuzz-failure.bin";
        sys::test::WriteFile(kept, std::string(input.begin(), input.end()));
        FAIL() << "round " << i << ": " << fault << " (input kept in " << kept << ")";
      }
    }
  }
}

} // namespace

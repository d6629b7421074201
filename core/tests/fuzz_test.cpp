// The fuzzing step run over a few thousand random mutations of the corpus
// files and of hand-built files, so that every build exercises it under the
// sanitizers (the libFuzzer harness runs the same step with clang).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/tests/support/midi_bytes.h"
#include "core/tests/support/midi_fuzz_entry.h"
#include "core/tests/support/mutate.h"
#include "platform/sys/tests/support/fuzz_rounds.h"

namespace core {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;

std::vector<Bytes> Seeds() {
  std::vector<Bytes> seeds;
  std::error_code ec;
  fs::path dir = fs::path(VEXO_CORPUS_DIR) / "midi";
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    auto ext = e.path().extension();
    // Small files mutate fast; the large ones are read whole by the corpus tests.
    if (e.is_regular_file() && (ext == ".mid" || ext == ".kar") && e.file_size() < 9000)
      seeds.push_back(testing::ReadFileBytes(e.path().string()));
  }
  seeds.push_back(testing::Smf(
      1, 96,
      {{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00},
       testing::Cat({testing::TextEvent(3, "Soft karaoke"),
                     {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}}),
       testing::Cat({testing::TextEvent(1, "@THi"),
                     testing::TextEvent(1, "\\la"),
                     testing::TextEvent(1, "/li", 10),
                     {0x00, 0xFF, 0x2F, 0x00}})}));
  // A karaoke header out of its place: after a sequencer's track, and beside
  // the tempo with the words.
  const testing::Bytes header = testing::Cat(
      {testing::TextEvent(3, "Soft karaoke"), testing::TextEvent(1, "@KMIDI KARAOKE FILE")});
  const testing::Bytes words =
      testing::Cat({testing::TextEvent(1, "@TWho"), testing::TextEvent(1, "\\la"),
                    testing::TextEvent(1, "/li", 10), testing::TextEvent(1, "lo", 10)});
  const testing::Bytes end = {0x00, 0xFF, 0x2F, 0x00};
  seeds.push_back(
      testing::Smf(1, 96,
                   {testing::Cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, end}),
                    testing::Cat({{0x00, 0xFF, 0x7F, 0x02, 0x00, 0x41}, end}),
                    testing::Cat({header, end}),
                    testing::Cat({words, end}),
                    {0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}}));
  seeds.push_back(testing::Smf(
      0, 96,
      {testing::Cat({{0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0x90, 0x3C, 0x64},
                     header,
                     words,
                     end})}));
  return seeds;
}

const uint8_t kInteresting[] = {0x00, 0x7F, 0x80, 0xF0, 0xF7, 0xFF, 0x2F, 0x90, 0x51};

TEST(MidiFuzz, MutationsNeverBreakTheReaders) {
  std::vector<Bytes> seeds = Seeds();
  std::mt19937 rng(20240611);
  constexpr int kRounds = 2500;
  ASSERT_NO_FATAL_FAILURE(systest::FuzzRounds(
      seeds, kRounds,
      [&](const Bytes& seed, int) { return testing::Mutate(seed, rng, kInteresting); },
      [](const Bytes& input) { return testing::CheckMidiInput(input.data(), input.size()); },
      std::string(VEXO_TESTS_DIR) + "/midi-fuzz-failure.mid"));
  for (const auto& seed : seeds)
    EXPECT_EQ(testing::CheckMidiInput(seed.data(), seed.size()), "");
}

} // namespace
} // namespace core

// A fuzzing step run over random mutations of its seeds inside a GoogleTest
// program, so that every build exercises it under the sanitizers (the
// libFuzzer harnesses run the same steps with clang).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace systest {

using FuzzInput = std::vector<uint8_t>;

// The regular files of folder, each as bytes; none when it is missing.
inline std::vector<FuzzInput> ReadFuzzSeeds(const std::filesystem::path& folder) {
  std::vector<FuzzInput> seeds;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    if (!e.is_regular_file())
      continue;
    std::ifstream in(e.path(), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return seeds;
}

// Runs rounds inputs: round r is make(seeds[r % seeds.size()], r) (a mutation
// of the seed) given to check, which returns "" or what went wrong. The first
// input found wrong is kept in the file kept, and the test fails naming its
// round (a fatal failure: wrap the call in ASSERT_NO_FATAL_FAILURE to stop
// the test there).
inline void FuzzRounds(const std::vector<FuzzInput>& seeds, int rounds,
                       const std::function<FuzzInput(const FuzzInput& seed, int round)>& make,
                       const std::function<std::string(const FuzzInput& input)>& check,
                       const std::string& kept) {
  ASSERT_FALSE(seeds.empty());
  for (int round = 0; round < rounds; ++round) {
    const FuzzInput input = make(seeds[static_cast<size_t>(round) % seeds.size()], round);
    const std::string fault = check(input);
    if (!fault.empty()) {
      std::ofstream(kept, std::ios::binary)
          .write(reinterpret_cast<const char*>(input.data()),
                 static_cast<std::streamsize>(input.size()));
      FAIL() << "round " << round << ": " << fault << " (input kept in " << kept << ")";
    }
  }
}

} // namespace systest

#include "core/tests/support/mutate.h"

#include <algorithm>

namespace core::testing {

std::vector<uint8_t> Mutate(const std::vector<uint8_t>& seed, std::mt19937& rng,
                            std::span<const uint8_t> interesting) {
  std::vector<uint8_t> b = seed;
  int edits = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < edits; ++i) {
    size_t at = b.empty() ? 0 : rng() % b.size();
    switch (rng() % 6) {
    case 0: // flip a bit
      if (!b.empty())
        b[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
      break;
    case 1: // an interesting byte
      if (!b.empty() && !interesting.empty())
        b[at] = interesting[rng() % interesting.size()];
      break;
    case 2: // cut the file
      b.resize(at);
      break;
    case 3: // remove a run
      b.erase(b.begin() + static_cast<long>(at),
              b.begin() + static_cast<long>(std::min(b.size(), at + 1 + rng() % 16)));
      break;
    case 4: // duplicate a run
      if (!b.empty()) {
        size_t len = std::min(b.size() - at, size_t{1} + rng() % 32);
        std::vector<uint8_t> run(b.begin() + static_cast<long>(at),
                                 b.begin() + static_cast<long>(at + len));
        b.insert(b.begin() + static_cast<long>(rng() % (b.size() + 1)), run.begin(), run.end());
      }
      break;
    default: // a random byte
      if (!b.empty())
        b[at] = static_cast<uint8_t>(rng());
      break;
    }
  }
  return b;
}

} // namespace core::testing

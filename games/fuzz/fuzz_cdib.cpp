// libFuzzer harness over the games' bitmap reader: whatever the bytes, the
// bitmap is either read whole (sides, colours and pixels within bounds, its
// pixels addressable) or left exactly as it was.
#include "games/dib.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "fuzz-cdib: %s\n", what);
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!f)
    return 0;
  games::CDIB dib;
  const std::vector<uint8_t> block(dib.HeaderBlock().begin(), dib.HeaderBlock().end());
  const std::vector<uint8_t> pixels(dib.Bits(), dib.Bits() + dib.Stride() * 16);
  const int read = dib.ReadFromFile(f);
  std::fclose(f);
  if (!read) {
    if (!std::equal(block.begin(), block.end(), dib.HeaderBlock().begin()) ||
        std::memcmp(pixels.data(), dib.Bits(), pixels.size()) != 0)
      Fault("a refused file changed the bitmap");
    return 0;
  }
  if (dib.GetWidth() <= 0 || dib.GetHeight() <= 0 || dib.NumColors() > 256)
    Fault("sides or colours out of bounds");
  if (dib.Info().bitCount == 8) {
    // Every pixel is there to read.
    volatile uint8_t sum = 0;
    for (int32_t y = 0; y < dib.GetHeight(); y += 7)
      sum = sum + *dib.GetPixelAddress(dib.GetWidth() - 1, y);
    (void)sum;
  }
  return 0;
}

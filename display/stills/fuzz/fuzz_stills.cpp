// libFuzzer harness over the display's own BMP, PCX and GIF decoders.
#include <cstdio>
#include <cstdlib>

#include "display/stills/tests/support/stills_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = stills::test::CheckStillInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-stills: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

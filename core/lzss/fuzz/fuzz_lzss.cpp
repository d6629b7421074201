// libFuzzer harness over the LZSS decoder (arbitrary streams, bounded output)
// and the encoder's round trip.
#include <cstdio>
#include <cstdlib>

#include "core/lzss/tests/support/lzss_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = core::testing::CheckLzssInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-lzss: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

// libFuzzer harness over the album queries' match index: a pattern and an
// album file, the index against a scan of every record.
#include "album/tests/support/album_fuzz_entry.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = album::testing::CheckQueryInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-albumquery: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

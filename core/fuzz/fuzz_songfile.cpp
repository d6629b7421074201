// libFuzzer harness over the song file readers and writers of both versions.
#include <cstdio>
#include <cstdlib>

#include "core/tests/support/songfile_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = core::testing::CheckSongFileInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-songfile: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

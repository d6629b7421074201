// libFuzzer harness over the song-file probe.
#include "album/tests/support/album_fuzz_entry.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = album::testing::CheckSongProbeInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-songprobe: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

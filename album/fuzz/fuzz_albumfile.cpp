// libFuzzer harness over every album file reader and writer, the record
// search, the roll unpacker and the album's text utilities.
#include "album/tests/support/album_fuzz_entry.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = album::testing::CheckAlbumFileInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-albumfile: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

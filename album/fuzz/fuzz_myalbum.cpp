// libFuzzer harness over the my-album store: load, save, load again.
#include "album/tests/support/album_fuzz_entry.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = album::testing::CheckMyAlbumInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-myalbum: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

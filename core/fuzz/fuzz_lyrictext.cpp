// libFuzzer harness over lyric text import: splitting, synchronising, marks.
#include <cstdio>
#include <cstdlib>

#include "core/tests/support/lyrictext_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = core::testing::CheckLyricTextInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-lyrictext: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

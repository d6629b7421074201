// libFuzzer harness over the frames a peer process writes on a window socket
// and the window tables processes publish.
#include <cstdio>
#include <cstdlib>

#include "platform/win/tests/support/wire_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = wintest::CheckWireInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-wire: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

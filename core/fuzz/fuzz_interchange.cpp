// libFuzzer harness over the interchange text import.
#include <cstdio>
#include <cstdlib>

#include "core/tests/support/interchange_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = core::testing::CheckInterchangeInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-interchange: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

// libFuzzer harness over the records and codes the display's frame takes
// from other processes, applied to a frame offscreen.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "display/tests/support/records_fuzz_entry.h"

// Qt and the fonts fill caches as the frames come and go, so that nearly
// every input would look like a leak and be run again under the leak
// checker, at a third of the speed: leaks are checked once, at exit.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static std::vector<char*> args;
  args.assign(*argv, *argv + *argc);
  static char noLeakChecks[] = "-detect_leaks=0";
  args.push_back(noLeakChecks);
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size() - 1);
  *argv = args.data();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = displaytest::CheckDisplayRecordsInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-display-records: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

// Fontconfig keeps its configuration for the life of the process on purpose.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

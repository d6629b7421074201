// libFuzzer harness over the Standard MIDI and karaoke file readers and writers.
#include <cstdio>
#include <cstdlib>

#include "core/tests/support/midi_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = core::testing::CheckMidiInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "fuzz-midi: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}

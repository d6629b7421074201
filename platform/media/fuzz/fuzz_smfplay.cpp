// libFuzzer harness over the sequencer's file reader: whatever the bytes,
// it returns nothing or events in time order, each a whole channel message
// or a system-exclusive message from F0 to F7.
#include "platform/media/sequencer.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "fuzz-smfplay: %s\n", what);
  std::abort();
}

size_t ChannelSize(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto events = media::ReadStandardMidiFile({data, size});
  if (!events)
    return 0;
  if (events->size() > media::kMaxSmfEvents)
    Fault("more events than the bound");
  uint32_t last = 0;
  for (const media::SmfEvent& e : *events) {
    if (e.timeMs < last)
      Fault("events out of time order");
    last = e.timeMs;
    if (e.bytes.empty())
      Fault("an empty event");
    if (e.bytes[0] == 0xF0) {
      if (e.bytes.back() != 0xF7)
        Fault("a system-exclusive message without its end");
    } else if (e.bytes[0] < 0x80 || e.bytes[0] >= 0xF0 || e.bytes.size() != ChannelSize(e.bytes[0])) {
      Fault("a channel message of the wrong shape");
    }
  }
  return 0;
}

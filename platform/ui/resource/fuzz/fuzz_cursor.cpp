// libFuzzer harness over the cursor-file reader: whatever the bytes, it
// returns nothing or frames within the side and frame bounds, each with as
// many pixels as its sides say, a hot spot inside it and, when animated, a
// time for every frame.
#include "platform/ui/resource/cursor_file.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "fuzz-cursor: %s\n", what);
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = ui::ReadCursorFile({data, size});
  if (!file)
    return 0;
  if (file->frames.empty() || file->frames.size() > ui::kMaxCursorFrames)
    Fault("frame count out of bounds");
  if (file->Animated() && file->frameMs.size() != file->frames.size())
    Fault("times do not match the frames");
  for (const ui::CursorImage& c : file->frames) {
    if (c.width <= 0 || c.height <= 0 || c.width > ui::kMaxCursorSide ||
        c.height > ui::kMaxCursorSide)
      Fault("sides out of bounds");
    if (c.argb.size() != size_t(c.width) * size_t(c.height))
      Fault("pixel count does not match the sides");
    if (c.hotspot.x < 0 || c.hotspot.y < 0 || c.hotspot.x >= c.width || c.hotspot.y >= c.height)
      Fault("hot spot outside the picture");
  }
  return 0;
}

// libFuzzer harness over the media list files of every kind: what is read
// lies within the file, names keep their bound, and what is read writes back
// to bytes that read the same.
#include "display/medialist.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fault(const char* what) {
  std::fprintf(stderr, "fuzz-medialist: %s\n", what);
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  for (auto kind : {display::MediaKind::Image, display::MediaKind::AviFlc, display::MediaKind::Mpeg}) {
    const auto names = display::ParseMediaList(kind, bytes);
    if (!names)
      continue;
    size_t total = 27;
    for (const std::string& n : *names) {
      if (n.size() > display::kMaxListedName)
        Fault("a name past its bound");
      total += 4 + n.size();
    }
    if (total > size)
      Fault("names read past the file");
    if (display::ParseMediaList(kind, display::MediaListBytes(kind, *names)) != names)
      Fault("the names do not read back");
  }
  return 0;
}

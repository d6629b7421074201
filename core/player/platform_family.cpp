#include "core/player/platform_family.h"

#include "platform/sys/ascii.h"

#include <cstdlib>

namespace core {

PlatformFamily CurrentPlatformFamily() {
  const char* setting = std::getenv("VEXO_PLATFORM");
  return setting && sys::EqualIgnoringAsciiCase(setting, "9x") ? PlatformFamily::Win9x
                                                               : PlatformFamily::Nt;
}

const char* LinkLibraryName(PlatformFamily family) {
  return family == PlatformFamily::Nt ? "WendraNT" : "Wendra";
}

} // namespace core

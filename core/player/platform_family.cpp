#include "core/player/platform_family.h"

#include <cstdlib>
#include <strings.h>

namespace core {

PlatformFamily CurrentPlatformFamily() {
  const char* setting = std::getenv("VEXO_PLATFORM");
  return setting && strcasecmp(setting, "9x") == 0 ? PlatformFamily::Win9x : PlatformFamily::Nt;
}

const char* LinkLibraryName(PlatformFamily family) {
  return family == PlatformFamily::Nt ? "WendraNT" : "Wendra";
}

} // namespace core

// Menu resources of the display's resource module (the form is
// platform/ui/resource/menu_resource.h).
#pragma once

#include "platform/ui/resource/menu_resource.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace display {

using ui::ParseMenuResource;
// Menu id of the resource module; nullopt when it has none or it is malformed.
std::optional<ui::Menu> LoadMenuResource(uint32_t id);

} // namespace display

// Menu resources of the resource module, "menus/<id>.txt": one entry a line,
// "POPUP text" opening a sub-menu up to its "END", "ITEM id text" a command,
// "SEPARATOR" a line; blank lines and lines starting with '#' are skipped.
#pragma once

#include "platform/ui/modal/menu.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace display {

// nullopt for a malformed text: an unknown keyword, an id that is no number
// from 1 to 65535, an END without POPUP, a POPUP without END, or nesting
// deeper than 8.
std::optional<ui::Menu> ParseMenuResource(std::string_view text);
// Menu id of the resource module; nullopt when it has none or it is malformed.
std::optional<ui::Menu> LoadMenuResource(uint32_t id);

} // namespace display

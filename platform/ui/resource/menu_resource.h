// Menu resources of a bundle, "menus/<id>.txt": one entry a line, "POPUP
// text" opening a sub-menu up to its "END", "ITEM id text" a command,
// "SEPARATOR" a line; blank lines and lines starting with '#' are skipped.
// In an item's text "\t" starts the part shown at the right (the key that
// also gives the command).
#pragma once

#include "platform/ui/modal/menu.h"
#include "platform/ui/resource/resource_text.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace ui {

// nullopt for a malformed text: an unknown keyword, an id that is no number
// from 1 to 65535, an END without POPUP, a POPUP without END, or nesting
// deeper than 8.
std::optional<Menu> ParseMenuResource(std::string_view text, ResourceError* error = nullptr);
// Menu id of the bundle's files; nullopt when it has none or it is malformed.
std::optional<Menu> LoadMenuResource(const ResourceFiles& files, uint32_t id,
                                     ResourceError* error = nullptr);

} // namespace ui

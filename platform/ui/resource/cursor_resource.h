// Cursors of a bundle: "cursors/<id>.png", the picture (at most 256 by 256),
// and "cursors/<id>.txt", its hot spot as one line "HOTSPOT x y" (blank
// lines and lines starting with '#' are skipped).
#pragma once

#include "platform/ui/resource/resource_text.h"
#include "platform/ui/window/cursor.h"

#include <cstdint>
#include <optional>

namespace ui {

// Fails for a picture that is no PNG image, a missing or malformed hot spot
// (the line says where), or a hot spot outside the picture.
std::optional<CursorImage> LoadCursorResource(const ResourceFiles& files, uint32_t id,
                                              ResourceError* error = nullptr);

} // namespace ui

// Icons of a bundle: "icons/<id>.png", a PNG image, shown in a frame's
// title bar (and wherever an icon by number is asked for).
#pragma once

#include "platform/ui/resource/resource_text.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace ui {

inline constexpr int32_t kMaxIconSide = 256;

struct IconImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> argb; // rows top down, 0xAARRGGBB
};

// Fails (line 0) for bytes that are no PNG image, or an image larger than
// 256 by 256.
std::optional<IconImage> ParseIconResource(const std::vector<uint8_t>& png,
                                           ResourceError* error = nullptr);
std::optional<IconImage> LoadIconResource(const ResourceFiles& files, uint32_t id,
                                          ResourceError* error = nullptr);

} // namespace ui

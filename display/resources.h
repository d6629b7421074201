// The display program's resource module, rKivo32: its texts and bitmaps by
// number, made current once at start.
#pragma once

#include "platform/res/bundle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace display {

// Makes bundle the resource module (nullopt: none).
void SetResourceModule(std::optional<res::Bundle> bundle);
// The resource module, or nullptr before start.
const res::Bundle* ResourceModule();

// String id in UTF-8; empty when missing.
std::string LoadString(uint32_t id);
// String id in code-page bytes, at most maxBytes of them; empty when missing.
std::string LoadStringBytes(uint32_t id, size_t maxBytes = 255);
// The bytes of a file of the resource module, e.g. "bitmaps/169.bmp".
std::optional<std::vector<uint8_t>> LoadResourceFile(const std::string& path);

} // namespace display

// Small helpers for reading drawn pixels in tests.
#pragma once

#include "platform/gdi/dc.h"

#include <string>
#include <vector>

namespace gdi::testing {

// The bounding box of pixels of the surface that differ from background;
// empty when there are none.
Rect InkBox(const Surface& s, Colour background);
// Pixels that are neither of the two colours.
int CountOtherPixels(const Surface& s, Colour a, Colour b);
// Pixels equal to colour inside area.
int CountPixels(const Surface& s, const Rect& area, Colour colour);
// A font with the face, height and quality asked for.
std::shared_ptr<const Font> MakeFont(const std::string& face, int32_t height, int32_t width = 0,
                                     uint8_t quality = kNonAntialiasedQuality,
                                     uint8_t charSet = kDefaultCharSet, int32_t weight = 0);

} // namespace gdi::testing

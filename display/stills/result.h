// Results of the display's own still-image decoders, as the image engine
// reports them.
#pragma once

namespace stills {

constexpr int kDecoded = 1;
constexpr int kOutOfMemory = -1;    // the bitmap would be too large to hold
constexpr int kNotThisFormat = -3;  // wrong signature or first byte
constexpr int kUnsupported = -4;    // a layout, coding or block the decoder does not take
constexpr int kTwentyFourBits = -5; // 24-bit data in a coding that does not allow it

} // namespace stills

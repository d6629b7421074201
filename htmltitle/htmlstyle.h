// Readers of the attribute values that style a title page: colours (the 16
// HTML names and "#rrggbb"), alignments, outline types and decimal numbers.
// The named values are lower-cased in place, in the parse result itself.
#pragma once

#include "htmltitle/export.h"
#include "platform/gdi/types.h"

#include <cstdint>

namespace htmltitle {

// Horizontal alignment of a text that fits its line.
constexpr int32_t kAlignLeft = 0;
constexpr int32_t kAlignCenter = 1;
constexpr int32_t kAlignRight = 2;

// How the copies of an outlined text are laid around it.
constexpr int32_t kShadowText = 0;  // one copy, one pixel right and down
constexpr int32_t kOutlineText = 1; // four copies, one pixel diagonally each way

// ASCII letters only, so that double-byte characters stay as they are.
MARQUELL_EXPORT void LowerCaseInPlace(char* value);

// A name matches by its letters from the start ("redish" is red); "#"
// starts three hexadecimal components of up to two digits each, those that
// cannot be read being 0. Anything else, null and the empty value are white.
MARQUELL_EXPORT gdi::Colour DecodeColour(char* value);
// "l..." left, "right..." right, "center..." centre, anything else left.
MARQUELL_EXPORT int32_t DecodeAlignment(char* value);
// "outline..." outline, anything else shadow.
MARQUELL_EXPORT int32_t DecodeOutlineType(char* value);
// A decimal number after optional blanks and a sign, read up to the first
// other character and held at the 32-bit limits; 0 when there is none.
MARQUELL_EXPORT int32_t DecodeDecimal(const char* value);

} // namespace htmltitle

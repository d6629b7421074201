// Multiply-then-divide with a 64-bit intermediate, as font heights and
// scaled layouts are computed.
#pragma once

#include <cstdint>

namespace gdi {

// number x numerator / denominator rounded to the nearest integer, halves
// away from zero; -1 when the denominator is 0 or the result does not fit in
// 32 bits.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator);

} // namespace gdi

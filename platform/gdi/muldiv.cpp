#include "platform/gdi/muldiv.h"

#include <cstdlib>
#include <limits>

namespace gdi {

int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator) {
  if (denominator == 0)
    return -1;
  const int64_t product = static_cast<int64_t>(number) * numerator;
  const bool negative = (product < 0) != (denominator < 0);
  // |product| fits in 63 bits: both factors are at most 2^31 in magnitude.
  const uint64_t magnitude = product < 0 ? static_cast<uint64_t>(-product) : product;
  const uint64_t divisor = denominator < 0
                               ? static_cast<uint64_t>(-static_cast<int64_t>(denominator))
                               : static_cast<uint64_t>(denominator);
  const uint64_t quotient = (magnitude + divisor / 2) / divisor;
  if (negative) {
    if (quotient > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()) + 1)
      return -1;
    return static_cast<int32_t>(-static_cast<int64_t>(quotient));
  }
  if (quotient > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
    return -1;
  return static_cast<int32_t>(quotient);
}

} // namespace gdi

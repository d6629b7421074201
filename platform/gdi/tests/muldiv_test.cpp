#include "platform/gdi/muldiv.h"

#include <gtest/gtest.h>

#include <climits>

namespace gdi {
namespace {

TEST(MulDiv, RoundsHalvesAwayFromZeroAndFailsWithMinusOne) {
  struct Row {
    int32_t a, b, c, expected;
  };
  const Row rows[] = {
      {10, 96, 72, 13}, // a 10-point font at 96 dpi
      {-10, 96, 72, -13},
      {12, 96, 72, 16},
      {1, 1, 2, 1},   // 0.5 goes up
      {-1, 1, 2, -1}, // -0.5 goes down
      {3, 1, 2, 2},   // 1.5
      {7, 1, -2, -4}, // -3.5
      {100, 100, -3, -3333},
      {-100, -100, 3, 3333},
      {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, // the product does not overflow
      {INT_MIN, 1, 1, INT_MIN},
      {5, 7, 0, -1},       // no denominator
      {INT_MAX, 2, 1, -1}, // result too large
      {INT_MIN, -1, 1, -1},
      {0, 5, 3, 0},
  };
  for (const Row& r : rows)
    EXPECT_EQ(MulDiv(r.a, r.b, r.c), r.expected) << r.a << " * " << r.b << " / " << r.c;
}

} // namespace
} // namespace gdi

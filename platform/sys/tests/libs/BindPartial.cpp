// A test library that lacks the second of the three names (VxTestBeta).
#include <cstdint>

extern "C" int32_t VxTestAlpha() {
  return 1;
}
extern "C" int32_t VxTestGamma() {
  return 3;
}

// A test library with all three names the binding tests ask for.
#include <cstdint>

extern "C" int32_t VxTestAlpha() {
  return 1;
}
extern "C" int32_t VxTestBeta() {
  return 2;
}
extern "C" int32_t VxTestGamma() {
  return 3;
}

// A test library with all three names the binding tests ask for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int32_t VxTestAlpha() {
  return 1;
}
extern "C" int32_t VxTestBeta() {
  return 2;
}
extern "C" int32_t VxTestGamma() {
  return 3;
}

// Uses the C library, so that the library depends on it in every build (a
// linker drops a dependency nothing uses): its names, malloc among them, are
// then reachable through this library without being its own.
extern "C" void* VxTestAllocate(size_t size) {
  return std::malloc(size);
}

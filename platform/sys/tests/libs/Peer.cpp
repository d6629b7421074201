// A test library that finds its own folder and binds names on a module
// handle passed to it, as one library of the suite does on another's.
#include "platform/sys/library.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

int32_t CopyOut(const std::string& text, char* buffer, int32_t size) {
  if (!buffer || size <= 0)
    return -1;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int32_t>(n);
}

} // namespace

extern "C" int32_t VxPeerOwnFolder(char* buffer, int32_t size) {
  return CopyOut(sys::ModuleFolder(reinterpret_cast<const void*>(&VxPeerOwnFolder)), buffer, size);
}

// Binds the three test names on other and returns 100 a() + 10 b() + c(),
// or -1 with the missing name in buffer.
extern "C" int32_t VxPeerBindOn(sys::ModuleHandle other, char* buffer, int32_t size) {
  static const char* const kNames[] = {"VxTestAlpha", "VxTestBeta", "VxTestGamma"};
  void* table[3];
  std::string missing;
  if (!sys::BindNames(other, kNames, table, &missing)) {
    CopyOut(missing, buffer, size);
    return -1;
  }
  using Entry = int32_t (*)();
  return 100 * reinterpret_cast<Entry>(table[0])() + 10 * reinterpret_cast<Entry>(table[1])() +
         reinterpret_cast<Entry>(table[2])();
}

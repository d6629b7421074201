// Binding one entry point by name into a typed function pointer.
#pragma once

#include "platform/sys/library.h"

#include <string>

namespace wendra {

// False, with the name in *missing, when the module does not define it.
template <typename Entry>
bool BindEntry(sys::ModuleHandle module, const char* name, Entry& entry, std::string* missing) {
  void* address = sys::FindName(module, name);
  if (!address) {
    if (missing)
      *missing = name;
    return false;
  }
  entry = reinterpret_cast<Entry>(address);
  return true;
}

} // namespace wendra

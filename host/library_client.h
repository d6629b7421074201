// What the host's clients of the suite's libraries share: a library's
// exports bound by name into a table of function pointers, and its start
// through its own Attach, with the reason when either fails.
#pragma once

#include "platform/sys/library.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct Binding {
  const char* name;
  void** entry;
};

template <typename F> void** Slot(F*& f) {
  return reinterpret_cast<void**>(&f);
}

// Binds every name of bindings from library, then calls exports.Attach
// (asking exports.AttachError why it refused); false with "the WHAT lacks
// NAME" or "the WHAT refused to start: why" in *error.
template <typename Exports>
bool BindAndAttach(const sys::Library& library, const std::vector<Binding>& bindings,
                   Exports& exports, const char* what, std::string* error) {
  for (const Binding& b : bindings) {
    *b.entry = library.Find(b.name);
    if (!*b.entry) {
      *error = std::string("the ") + what + " lacks " + b.name;
      return false;
    }
  }
  if (!exports.Attach()) {
    std::array<char, 512> reason{};
    exports.AttachError(reason.data(), static_cast<int32_t>(reason.size()));
    *error = std::string("the ") + what + " refused to start: " + reason.data();
    return false;
  }
  return true;
}

} // namespace host

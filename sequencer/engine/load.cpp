// Load and unload of the shared library Pavik32.
#include "sequencer/engine/library.h"

#include <cstdlib>

namespace {

void Unload() {
  seq::LibraryUnload();
}

__attribute__((constructor)) void Load() {
  seq::LibraryLoad();
  // Registered after the services the engine uses were made, so that it runs
  // before they go, at exit or when the library is unloaded.
  std::atexit(&Unload);
}

} // namespace

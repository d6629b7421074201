// The operating-system family that decides which link library the player
// core loads. This system reports the NT family; the setting VEXO_PLATFORM=9x
// (in the environment) reports the 9x family instead.
#pragma once

namespace core {

enum class PlatformFamily { Nt, Win9x };

PlatformFamily CurrentPlatformFamily();

// "WendraNT" for the NT family, "Wendra" for every other.
const char* LinkLibraryName(PlatformFamily family);

} // namespace core

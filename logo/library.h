// The library's one state: its bundle, settings, the open dialog and the
// one music device, for the exports and for tests that drive them in
// process.
#pragma once

#include "logo/logo_dialog.h"
#include "logo/settings.h"

#include <string>

namespace logo {

// The music device's type and the status item asked before playing.
inline constexpr const char* kMusicDeviceType = "sequencer";

// The folder that holds the bundle, images and "Config.ini" by default:
// the library's own; $VEXO_CONFIG_DIR holds the settings when set.
bool Attach(const std::string& folder);
void Detach();
bool Attached();

const Settings& CurrentSettings();
const std::string& ImagePathInUse();
CLogoDialog* OpenDialog();
// The music device held, 0 when none.
uint32_t MusicDevice();

// Opens the file on the sequencer, on the 9x family only, after closing
// the device held.
void StartMusic(const std::string& path);
// Closes the device held, if any.
void ReleaseMusic();

} // namespace logo

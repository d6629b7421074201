// The display program's start: its resource module, one instance per
// desktop, the window classes, the frame and the link-up with the player
// core and the host, then the message loop until the frame closes.
#pragma once

#include <string>

namespace display {

// The module whose folder holds "config.ini": $VEXO_CONFIG_DIR/Kivo32 when
// that variable is set, else the program itself.
std::string SettingsModulePath();

// Runs the program; returns its exit status.
int RunKivo32(int argc, char** argv);

} // namespace display

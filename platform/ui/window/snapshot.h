// A picture of a screen window as it shows, its child windows included.
#pragma once

#include "platform/win/messages.h"

#include <string>

namespace ui {

// Writes the window's image with its children as a PNG file. Without a
// widget (no QApplication, or another thread) the window's own surface is
// written. False for a window that is not a screen window of this thread,
// or when the file cannot be written.
bool SaveWindowImage(win::Hwnd hwnd, const std::string& path);

} // namespace ui

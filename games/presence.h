// The presence window: a hidden pop-up titled "VelmorithGame" that tells
// the host and a second game that a game runs, and takes the host's
// GameClose like the frame does.
#pragma once

#include "platform/win/window.h"

namespace games {

inline constexpr const char* kPresenceName = "VelmorithGame";

class CPresenceWnd : public win::Window {
public:
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override;
};

// Registers the class and makes the window, once per process; returns it
// (0 when the class could not be registered or the window made).
win::Hwnd CreatePresenceWindow();
// The window this process made, 0 before.
win::Hwnd PresenceWindow();
// A window titled "VelmorithGame" anywhere in the session.
bool AnotherGameRuns();

// Where GameClose sends its WM_CLOSE: the game's main window.
void SetMainWindow(win::Hwnd hwnd);
win::Hwnd MainWindow();

} // namespace games

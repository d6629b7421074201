// The logo and about box library Bivane. A host loads it by name, calls
// Bivane_Attach right after (Linux gives a library no way to refuse its own
// load): 0 means the start was refused (no resource bundle rBivane) and the
// library is to be unloaded. Bivane_Detach gives back what it holds and is
// called before unloading. Every call runs on the host's window thread.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t Bivane_Attach(void);
int32_t Bivane_Detach(void);
// Opens the logo; returns its window, or 0 when a dialog is open already
// (which is raised instead) or the logo cannot be made. The window given is
// not used.
uint32_t LaunchLogo(uint32_t window);
// Draws a line of code-page text in the logo's text place.
void DrawTextLogo(const char* text);
// Closes the open dialog.
void SinkDownLogo(void);
// Closes an open dialog, starts the about music and opens the about box.
void LaunchAboutDlg(uint32_t window);
// Stops the music.
void LogoMusicOff(void);

#ifdef __cplusplus
} // extern "C"
#endif

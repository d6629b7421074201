// Loading and unloading of the engine library. The shared library runs these
// when it is loaded and when it goes; tests that link the engine directly
// run them around each case to start from a freshly loaded engine.
#pragma once

namespace seq {

// The state of a freshly loaded library: no song, the load-time settings, an
// empty device table filled again from the device list (with the system's
// error box when there is no device).
void LibraryLoad();
// Stops a playing song and frees the event buffers.
void LibraryUnload();

} // namespace seq

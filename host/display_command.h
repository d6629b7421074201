// Starting the lyric display program Kivo32 beside the host, as the host
// does for the user when it plays a song.
#pragma once

#include <span>
#include <string>

namespace host {

// Starts Kivo32 from the host's own folder, in a session of its own so that
// it outlives the host, unless its frame ("VEXO3LYRIC") is already there;
// waits until the frame appears. False, with the reason in *error, when it
// could not be started or never showed its frame.
bool StartDisplayIfNotRunning(std::string* error = nullptr);

// vexo3 display [--image NAME]: NAME is sent as the player core sends an
// image request.
int DisplayCommand(std::span<char*> args);

} // namespace host

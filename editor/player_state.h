// What the editor's views ask of the player: whether it plays, and the
// host told that the play position changed. Owner's thread only.
#pragma once

namespace editor {

// True while the sequencer plays the song.
bool Playing();
// Posts the position change to the host's notification window, if any.
void PostPositionChanged();

} // namespace editor

// "waves SONG [--load SLOT FILE.wav] [--name SLOT TEXT] [--delete SLOT]
// [--event SLOT TICK] [--play SLOT] [-o OUT]": the song's embedded waves.
// Lists the filled slots as the wave bank shows them, fills, names and
// empties slots, adds wave events (on track 0) and plays a slot, in the
// order given; with -o the song is saved as a 3.50 song file.
#pragma once

#include <span>

namespace host {

// 0 when everything asked was done; 1 with a one-line error when a file
// cannot be read or written or a slot cannot be filled; 2 for a usage error
// (a change without -o is one).
int WavesCommand(std::span<char*> args);

} // namespace host

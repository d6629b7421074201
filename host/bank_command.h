// "bank SONG [--load SLOT FILE.sf2 [--embed]] [--remove SLOT]
// [--extract SLOT OUT.sf2] [--base N] [-o OUT]": a song's own sound banks.
// Lists the used slots and the song's base bank, fills a slot with a
// SoundFont (embedded in the song, or by its name, found beside the song
// when it plays), empties one, writes one's data to a file and sets the base
// bank, in the order given; with -o the song is saved as a 3.50 song file.
// "bank --default FILE.sf2" makes a SoundFont the sound card's default user
// bank through the player core, which gives the card's own back when it
// ends; "bank --no-default" clears it.
#pragma once

#include <span>

namespace host {

// 0 when everything asked was done; 1 with a one-line error when a file
// cannot be read or written or the card refuses; 2 for a usage error (a
// change without -o is one).
int BankCommand(std::span<char*> args);

} // namespace host

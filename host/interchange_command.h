// "interchange export SONG OUT.txt" and "interchange import SONG IN.txt
// [--track N] [--codepage N] -o OUT": a song's information and lyric timing
// written as an interchange text for a text editor, and such a text read
// back into a song that is then saved.
#pragma once

#include <span>

namespace host {

// 0 when the text or the song was written; 1 with a one-line error on
// standard error when a file cannot be read or written or the text holds a
// fault (with its line); 2 for a usage error. Import reads into the given
// track (the song's lyric track by default); --codepage names the code page
// of the texts, so that no field is cut in half a double-byte character.
int InterchangeCommand(std::span<char*> args);

} // namespace host

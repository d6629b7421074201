// "album probe FILE..." and "album dump FILE": the song album's view of song
// files and album files, as JSON, for trying the album's file layer from the
// command line.
#pragma once

#include <span>

namespace host {

// 0 when every file was read; 1 with one line on standard error for each
// file that cannot be read; 2 for a usage error.
int AlbumCommand(std::span<char*> args);

} // namespace host

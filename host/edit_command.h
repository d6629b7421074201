// vexo3 edit: the song editor of the player core on a song, on screen.
#pragma once

#include <span>

namespace host {

int EditCommand(std::span<char*> args);

} // namespace host

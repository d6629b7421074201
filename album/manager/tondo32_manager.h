// The album manager as the song-album library opens it: TONDO32_Tondo32Manager
// over the library's database, bundle and module folder.
#pragma once

#include <cstdint>

namespace res {
class Bundle;
}

namespace album {

class AlbumDatabase;

// The library's open database and resource bundle (nullptr before they are
// there); defined by the library itself.
AlbumDatabase* Tondo32Database();
const res::Bundle* Tondo32Bundle();

} // namespace album

extern "C" {
// Opens the album manager for the host window in view type viewType (-1:
// the host gives none; outside 0 to 2: 2), or brings the open one forward.
// Returns the manager's window, 0 when it could not be made. The host's
// thread, with its Qt application running.
uint32_t TONDO32_Tondo32Manager(uint32_t hostWindow, int16_t viewType);
}

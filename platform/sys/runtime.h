// The per-user runtime folder where the suite's processes meet: the window
// directory, process sockets and instance locks live there.
#pragma once

#include <string>

namespace sys {

// $VEXO_RUNTIME_DIR when set (tests and second sessions point it at a folder
// of their own), else $XDG_RUNTIME_DIR/vexo3, else /tmp/vexo3-<uid>. The
// folder is created with mode 0700 when missing; an existing /tmp folder
// owned by another user or open to others is refused (empty result).
std::string RuntimeDir();

} // namespace sys

// vexo3 logo [--about]: the start-up logo, or the about box, of the logo
// library Bivane loaded by name from the host's folder, until it closes.
#pragma once

#include <span>

namespace host {

int LogoCommand(std::span<char*> args);

} // namespace host

// The start-up both games share: the bundle, the claim of the one game that
// may run, the host and its permission, then the game's own windows and the
// message loop until its main window closes.
#pragma once

#include "games/game_context.h"

#include <functional>

namespace games {

// The instance guard's name: one game at a time in a session.
inline constexpr const char* kGameClaim = "VelmorithGame";

// Runs a game: false from open (which makes and shows the main window)
// ends the start. Returns the exit code: 1 for a start that failed.
int RunGame(const GameTraits& traits, int argc, char** argv,
            const std::function<bool(GameContext&)>& open);

} // namespace games

// The running game: which one it is, its resource bundle, its settings
// file and the folder of its program, set once at start-up.
#pragma once

#include "games/game_settings.h"
#include "games/game_traits.h"
#include "platform/res/bundle.h"

#include <cstdint>
#include <string>

namespace games {

struct GameContext {
  const GameTraits& traits;
  res::Bundle bundle;
  std::string programFolder; // ends in '/'
  GameSettings settings;

  // String id of the bundle in UTF-8 ("" when it has none).
  std::string String(uint32_t id) const { return bundle.String(id).value_or(""); }
  // A box of string id under the game's caption.
  int Box(uint32_t id, uint32_t flags, uint32_t owner = 0) const;
  std::string HelpPath() const { return programFolder + std::string(traits.helpFile); }
};

} // namespace games

// What tells the two party games apart: their resource bundle, message
// numbers, help file, settings section, frame size, menu commands and the
// kind of song record they take. Everything else of the shell is shared.
#pragma once

#include <cstdint>
#include <string_view>

namespace games {

struct GameTraits {
  std::string_view name;           // "Durm12", "Bolrixa": logs and the guard's users
  std::string_view bundle;         // loaded by name from the program's folder
  std::string_view missingBundle;  // UTF-8 text of the missing-bundle box
  std::string_view missingCaption; // its caption (the game's title)
  uint32_t captionString;          // caption of every other box, and the frame title
  uint32_t hostMissingString;
  uint32_t refusedString;
  uint32_t otherGameString;
  uint32_t hostLostString;
  uint32_t helpMissingString;
  std::string_view helpFile; // beside the program
  std::string_view section;  // in game.ini
  int32_t clientWidth;       // under the menu bar
  int32_t clientHeight;
  uint32_t newGameCommand;
  uint32_t helpCommand;
  uint32_t cutLineDialog;
  uintptr_t recordKind; // dwData of the song records it takes
  // Bolrixa judges against 0 when the key is missing but shows 70 in the
  // cut-line dialog.
  int32_t judgedCutLineDefault;
};

extern const GameTraits kDurm12;
extern const GameTraits kBolrixa;

// Shared numbers of both games.
inline constexpr uint32_t kCutLineCommand = 32777;
inline constexpr uint32_t kAboutCommand = 57664;
inline constexpr uint32_t kFrameResource = 128;
inline constexpr uint32_t kHelpDialog = 163;
inline constexpr uint32_t kAboutDialog = 100;
inline constexpr int32_t kShownCutLineDefault = 70;
// Durm12's warning on screens of 8 bits per pixel or fewer.
inline constexpr uint32_t kFewColoursString = 61240;

} // namespace games

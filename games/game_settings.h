// "game.ini" beside the game's program: the cut line, whether the help
// shows at start, Durm12's board font and its top-5 score table.
#pragma once

#include "games/game_traits.h"

#include <array>
#include <cstdint>
#include <string>

namespace games {

inline constexpr const char* kCutLineKey = "Score Cut Line";
inline constexpr const char* kViewHelpKey = "View Help";
inline constexpr const char* kFontNameKey = "FontName";
inline constexpr const char* kScoreTableSection = "Velkaro Score Table";
inline constexpr int kScorePlaces = 5;

// The settings of one game in one file.
class GameSettings {
public:
  GameSettings(const GameTraits& traits, std::string iniPath)
      : traits_(traits), path_(std::move(iniPath)) {}
  // The file beside the running program.
  static std::string DefaultPath();

  const std::string& Path() const { return path_; }
  const GameTraits& Traits() const { return traits_; }

  // Read as at most 5 characters and compared exactly with "TRUE".
  bool ViewHelp() const;
  bool SetViewHelp(bool on) const;

  // The cut line a sung score is judged against, and the one the cut-line
  // dialog starts from.
  int32_t JudgedCutLine() const;
  int32_t ShownCutLine() const;
  // Stores any value of 0 to 100; false for anything else or when the file
  // cannot be written.
  bool SetCutLine(int32_t value) const;

  // Durm12's caption font: at most 29 characters, "System" by default.
  std::string FontName() const;

private:
  const GameTraits& traits_;
  std::string path_;
};

// One place of the top-5 table: an empty place has score 0 and no name.
struct ScorePlace {
  int32_t score = 0;
  std::string name;
};
using ScoreTable = std::array<ScorePlace, kScorePlaces>;

// Reads "Score1".."Score5" (every digit, so totals of 1,000 and more keep
// theirs) and "Name1".."Name5" (at most 19 bytes) of the table section.
ScoreTable ReadScoreTable(const std::string& iniPath);
// Writes the five places: a score as decimal text, empty for an empty place.
bool WriteScoreTable(const std::string& iniPath, const ScoreTable& table);
// Highest score first: up to five passes over the four neighbouring pairs,
// swapping a pair whose upper score is lower, ending after a pass without
// a swap. Names move with their scores.
void SortScoreTable(ScoreTable& table);

} // namespace games

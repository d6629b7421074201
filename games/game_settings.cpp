#include "games/game_settings.h"

#include "platform/sys/ini.h"
#include "platform/sys/library.h"

#include <charconv>
#include <utility>

namespace games {
namespace {

constexpr size_t kViewHelpChars = 5;
constexpr size_t kFontNameChars = 29;
constexpr size_t kNameChars = 19;

std::string ReadLimited(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view defaultValue, size_t chars) {
  std::string buffer(chars + 1, '\0');
  const size_t n =
      sys::IniGetString(path, section, key, defaultValue, buffer.data(), buffer.size());
  buffer.resize(n);
  return buffer;
}

int32_t ParseScore(std::string_view text) {
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  return ec == std::errc() && value > 0 ? value : 0;
}

} // namespace

std::string GameSettings::DefaultPath() {
  return sys::IniPathBeside(sys::ProgramFolder() + "/", "game.ini");
}

bool GameSettings::ViewHelp() const {
  return ReadLimited(path_, traits_.section, kViewHelpKey, "FALSE", kViewHelpChars) == "TRUE";
}

bool GameSettings::SetViewHelp(bool on) const {
  return sys::IniWriteString(path_, traits_.section, kViewHelpKey, on ? "TRUE" : "FALSE");
}

int32_t GameSettings::JudgedCutLine() const {
  return sys::IniGetInt(path_, traits_.section, kCutLineKey, traits_.judgedCutLineDefault);
}

int32_t GameSettings::ShownCutLine() const {
  return sys::IniGetInt(path_, traits_.section, kCutLineKey, kShownCutLineDefault);
}

bool GameSettings::SetCutLine(int32_t value) const {
  if (value < 0 || value > 100)
    return false;
  return sys::IniWriteString(path_, traits_.section, kCutLineKey, std::to_string(value));
}

std::string GameSettings::FontName() const {
  return ReadLimited(path_, kDurm12.section, kFontNameKey, "System", kFontNameChars);
}

ScoreTable ReadScoreTable(const std::string& iniPath) {
  ScoreTable table;
  for (int i = 0; i < kScorePlaces; ++i) {
    const std::string place = std::to_string(i + 1);
    table[i].score =
        ParseScore(sys::IniGetString(iniPath, kScoreTableSection, "Score" + place, ""));
    table[i].name = ReadLimited(iniPath, kScoreTableSection, "Name" + place, "", kNameChars);
  }
  return table;
}

bool WriteScoreTable(const std::string& iniPath, const ScoreTable& table) {
  return sys::IniUpdate(iniPath, [&](sys::IniDocument& doc) {
    for (int i = 0; i < kScorePlaces; ++i) {
      const std::string place = std::to_string(i + 1);
      const std::string score = table[i].score > 0 ? std::to_string(table[i].score) : "";
      if (!doc.Set(kScoreTableSection, "Score" + place, score) ||
          !doc.Set(kScoreTableSection, "Name" + place, table[i].name))
        return false;
    }
    return true;
  });
}

void SortScoreTable(ScoreTable& table) {
  for (int pass = 0; pass < kScorePlaces; ++pass) {
    bool swapped = false;
    for (int i = 0; i + 1 < kScorePlaces; ++i) {
      if (table[i].score < table[i + 1].score) {
        std::swap(table[i], table[i + 1]);
        swapped = true;
      }
    }
    if (!swapped)
      break;
  }
}

} // namespace games

// The logo's settings: section [Logo] of "Config.ini" beside the library
// (or in $VEXO_CONFIG_DIR), and the paths of the logo image and music that
// they name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace logo {

inline constexpr const char* kSection = "Logo";
// The longest image path or "File" value taken.
inline constexpr size_t kMaxPathBytes = 515;
inline constexpr int32_t kDefaultTimeMs = 3000;
inline constexpr int32_t kMinTimeMs = 1;
inline constexpr int32_t kMaxTimeMs = 10 * 60 * 1000;

struct Settings {
  int32_t timeMs = kDefaultTimeMs; // held to kMinTimeMs..kMaxTimeMs
  std::string file = "@";
  int32_t blackness = 1;
  int32_t launch = 1; // kept for the host; nothing here acts on it
  // "File" names a picture of its own rather than the default one.
  bool Custom() const { return file.empty() || file[0] != '@'; }
};

// The settings file of a folder: an existing "config.ini" of any letter
// case there, else folder + "/Config.ini".
std::string ConfigPathIn(const std::string& folder);

Settings ReadSettings(const std::string& iniPath);

// True for "X:..." with X a letter of the drive table, and for "/...".
bool IsAbsolutePath(std::string_view path);
// A path of a setting: taken as it is when absolute, else under folder;
// nullopt when it is empty, longer than kMaxPathBytes or names an
// unmapped drive.
std::optional<std::string> ResolvePath(const std::string& folder, std::string_view value);

// The logo image: defaultName (the bundle's) under folder when "File"
// starts with '@', else "File" by ResolvePath.
std::optional<std::string> ImagePath(const Settings& settings, const std::string& folder,
                                     std::string_view defaultName);

// A music key ("Music" or "MusicAbout"): nullopt for "off" in any case or a
// path that cannot be used. A value starting with '@' becomes defaultName,
// which is written back to the key.
std::optional<std::string> MusicPath(const std::string& iniPath, std::string_view key,
                                     const std::string& folder, std::string_view defaultName);

} // namespace logo

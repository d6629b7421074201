#include "logo/settings.h"

#include "platform/sys/ascii.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"

#include <algorithm>

namespace logo {

std::string ConfigPathIn(const std::string& folder) {
  if (auto found = sys::FindInFolder(folder, "Config.ini"))
    return folder + "/" + *found;
  return folder + "/Config.ini";
}

Settings ReadSettings(const std::string& iniPath) {
  Settings s;
  s.timeMs = std::clamp(sys::IniGetInt(iniPath, kSection, "Time", kDefaultTimeMs), kMinTimeMs,
                        kMaxTimeMs);
  s.file = sys::IniGetString(iniPath, kSection, "File", "@");
  if (s.file.size() > kMaxPathBytes)
    s.file.clear(); // refused: no picture rather than a cut name
  s.blackness = sys::IniGetInt(iniPath, kSection, "Blackness", 1);
  s.launch = sys::IniGetInt(iniPath, kSection, "Launch", 1);
  return s;
}

bool IsAbsolutePath(std::string_view path) {
  if (!path.empty() && path[0] == '/')
    return true;
  return path.size() >= 2 && path[1] == ':' && sys::AsciiLower(path[0]) >= 'a' && sys::AsciiLower(path[0]) <= 'z' &&
         sys::CurrentDrives().Folder(path[0]).has_value();
}

std::optional<std::string> ResolvePath(const std::string& folder, std::string_view value) {
  if (value.empty() || value.size() > kMaxPathBytes)
    return std::nullopt;
  if (value.size() >= 2 && value[1] == ':' && !IsAbsolutePath(value))
    return std::nullopt;
  std::string stored = IsAbsolutePath(value) ? std::string(value)
                                             : folder + "/" + std::string(value);
  return sys::ResolveStoredPath(stored);
}

std::optional<std::string> ImagePath(const Settings& settings, const std::string& folder,
                                     std::string_view defaultName) {
  if (!settings.Custom())
    return ResolvePath(folder, defaultName);
  return ResolvePath(folder, settings.file);
}

std::optional<std::string> MusicPath(const std::string& iniPath, std::string_view key,
                                     const std::string& folder, std::string_view defaultName) {
  std::string value = sys::IniGetString(iniPath, kSection, key, "@");
  if (sys::EqualIgnoringAsciiCase(value, "off"))
    return std::nullopt;
  if (!value.empty() && value[0] == '@') {
    value = std::string(defaultName);
    sys::IniWriteString(iniPath, kSection, key, value);
  }
  return ResolvePath(folder, value);
}

} // namespace logo

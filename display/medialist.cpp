#include "display/medialist.h"

#include "platform/sys/ini.h"

namespace display {

const char* MediaList::Section() const {
  switch (kind_) {
  case MediaKind::Image:
    return "Image";
  case MediaKind::AviFlc:
    return "Avi/Flc";
  case MediaKind::Mpeg:
    return "Mpeg";
  }
  return "Image";
}

bool MediaList::Load(const std::string& configPath) {
  const int32_t count = sys::IniGetInt(configPath, Section(), "Count", 0);
  folderCount_ = static_cast<int16_t>(count < 0 ? 0 : count > INT16_MAX ? INT16_MAX : count);
  totalFiles_ = 0;
  return sys::IniGetInt(configPath, Section(), "Build", 0) == 1;
}

void MediaList::RebuildAll(const std::string& configPath) {
  Free();
  Load(configPath);
  sys::IniDeleteKey(configPath, Section(), "Build");
}

void MediaList::Free() {
  folderCount_ = 0;
  totalFiles_ = 0;
}

std::optional<std::string> MediaList::RandomPick() const {
  return std::nullopt;
}

std::optional<std::string> MediaList::FolderPick() const {
  return std::nullopt;
}

} // namespace display

// The lists of background media files of one kind (still images, AVI/FLC
// videos, MPEG videos): the folders named in the kind's section of
// "config.ini" and the random picks among their files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace display {

enum class MediaKind : int16_t { Image = 0, AviFlc = 1, Mpeg = 2 };

class MediaList {
public:
  explicit MediaList(MediaKind kind) : kind_(kind) {}

  MediaKind Kind() const { return kind_; }
  // "Image", "Avi/Flc" or "Mpeg".
  const char* Section() const;

  // Reads the kind's folders; true when its "Build" key asks for a rebuild.
  bool Load(const std::string& configPath);
  // Frees the folders, loads again and rebuilds every folder's list.
  void RebuildAll(const std::string& configPath);
  void Free();

  int32_t TotalFiles() const { return totalFiles_; }
  bool Empty() const { return totalFiles_ == 0; }
  // A file picked at random over all folders; nullopt for an empty list.
  std::optional<std::string> RandomPick() const;
  // A file picked at random from the current folder.
  std::optional<std::string> FolderPick() const;
  void SetCurrentFolder(std::string folder) { currentFolder_ = std::move(folder); }
  const std::string& CurrentFolder() const { return currentFolder_; }

private:
  MediaKind kind_;
  int16_t folderCount_ = 0;
  int32_t totalFiles_ = 0;
  std::string currentFolder_;
};

} // namespace display

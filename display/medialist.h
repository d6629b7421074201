// The lists of background media files of one kind (still images, AVI/FLC
// videos, MPEG videos): the folders named in the kind's section of
// "config.ini", the names found in each folder kept in one list file per
// folder beside "config.ini", and the random picks among them.
//
// List file (little-endian): the kind's 22-byte magic and 0x1A, the number
// of names (signed 32-bit) at offset 23, then per name a 32-bit length and
// the name's bytes without a zero. Folder paths are kept in their stored
// (Windows) form and translated at each file-system access.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace res {
class Bundle;
}

namespace display {

enum class MediaKind : int16_t { Image = 0, AviFlc = 1, Mpeg = 2 };

// The joins a pick fills: a caller's buffer of this many bytes, its zero
// included.
inline constexpr size_t kMediaPathBuffer = 516;
// The longest name a list file may hold.
inline constexpr uint32_t kMaxListedName = 259;
// How often a random pick tries a file that is gone before it gives up.
inline constexpr int kRandomPickTries = 11;
// The string of the progress dialog's first line while lists are built.
inline constexpr uint32_t kBuildingListsString = 268;

struct MediaFolder {
  int number = 0;   // N of "Dir"N, "File"N and the list file's name
  std::string path; // as "Dir"N stores it
  std::vector<std::string> files;
};

// The names of a list file's bytes of this kind; stops at the first name
// that is too long or cut short, keeping those before it. nullopt for a
// wrong magic or a file shorter than its head.
std::optional<std::vector<std::string>> ParseMediaList(MediaKind kind,
                                                      std::span<const uint8_t> bytes);
// A list file's bytes.
std::vector<uint8_t> MediaListBytes(MediaKind kind, const std::vector<std::string>& names);

class MediaList {
public:
  explicit MediaList(MediaKind kind) : kind_(kind) {}

  MediaKind Kind() const { return kind_; }
  // "Image", "Avi/Flc" or "Mpeg".
  const char* Section() const;
  // The kind's magic (22 bytes, without the 0x1A).
  std::string_view Magic() const;
  // The patterns searched in a folder, in order.
  std::span<const char* const> Patterns() const;
  // "iList007.dat" and so on, for folder number N.
  std::string ListFileName(int number) const;

  // Reads the kind's folders and their lists; a folder whose matching files
  // no longer number what its list holds (and that lies on a fixed drive)
  // gets its list written again. True when the "Build" key asks for a
  // rebuild of every list.
  bool Load(const std::string& configPath);
  // Frees the folders, loads again and writes every folder's list anew,
  // with the progress dialog of bundle's template when bundle is given;
  // then deletes the "Build" key.
  void RebuildAll(const std::string& configPath, const res::Bundle* bundle = nullptr);
  void Free();

  // A list file of the folder, read into its names; false (names read so far
  // kept) when there is none, it is of another kind or it ends early.
  bool ReadList(const std::string& configPath, MediaFolder& folder);
  // The folder's list written anew from what it holds now, "File"N set;
  // false when a write fails (the old list is then kept whole).
  bool BuildList(const std::string& configPath, const MediaFolder& folder);

  int32_t TotalFiles() const { return totalFiles_; }
  bool Empty() const { return totalFiles_ == 0; }
  const std::vector<MediaFolder>& Folders() const { return folders_; }

  // A file picked at random over all folders, whose file exists; nullopt for
  // an empty list, a join longer than capacity - 1 bytes, or when eleven
  // tries found only missing files.
  std::optional<std::string> RandomPick(size_t capacity = kMediaPathBuffer) const;
  // A file of the current folder, from the first pattern (from one chosen by
  // the clock, wrapping round) that matches any; nullopt when none does.
  std::optional<std::string> FolderPick(size_t capacity = kMediaPathBuffer) const;
  // The same pick in folder; it reads nothing the lists' loads change, so
  // a worker may make it.
  std::optional<std::string> FolderPickIn(std::string_view folder,
                                          size_t capacity = kMediaPathBuffer) const;
  void SetCurrentFolder(std::string folder) { currentFolder_ = std::move(folder); }
  const std::string& CurrentFolder() const { return currentFolder_; }
  // The folder that lists name (letter case ignored) joined with it.
  std::optional<std::string> FindByName(std::string_view name) const;

  // Whether a folder lies on a disc or network drive, whose lists are kept
  // as they are (tests put in their own answer).
  std::function<bool(std::string_view path)> slowDrive;
  // Called for each name read or written while lists are built.
  std::function<void()> onStep;

private:
  int32_t CountMatches(const std::string& linuxFolder) const;
  std::vector<std::string> MatchingNames(const std::string& linuxFolder) const;

  MediaKind kind_;
  int16_t folderCount_ = 0;
  std::vector<MediaFolder> folders_;
  int32_t totalFiles_ = 0;
  std::string currentFolder_;
};

// A folder and a name joined with one backslash (none added after one).
std::string JoinMediaPath(std::string_view folder, std::string_view name);
// A stored path or a pick's join in the form the file system opens: under a
// Linux folder the joins' backslashes are separators too.
std::string MediaFilePath(std::string_view stored);

} // namespace display

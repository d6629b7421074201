// The my-album store: the user's own named song lists, kept in "MySong.alb"
// in the album folder and written back only when something changed.
//
// The file: the magic "VEXO3 FAVORITE SONG V1.0" 0x1A; a 70-byte header (a
// 60-byte name, the list count i16, the total of numbers u32, 4 reserved
// bytes); a 64-byte directory entry per list (a 60-byte name, the song count
// i32); then each list's song numbers (u32), list after list. Integers are
// little-endian, names code-page bytes ending in a zero byte.
//
// Names are kept bare: a count label " (12)" that a tree shows after a name
// is cut when a name is read or written, and blanks after a name are dropped.
// Loading trusts no count: a file that does not load whole keeps what was
// really read and is moved aside ("MySong.alb.damaged-<time>") before the
// next save, which replaces the file atomically.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace album {

class AlbumDatabase;

inline constexpr std::string_view kMyAlbumFileName = "MySong.alb";
constexpr size_t kMyAlbumHeaderAt = 25;
constexpr size_t kMyAlbumListsAt = 95;
constexpr size_t kMyAlbumListEntrySize = 64;
constexpr size_t kMyAlbumNameSize = 60;

struct MyAlbumList {
  std::string name; // bare, at most 59 bytes
  int32_t id = 0;
  std::vector<uint32_t> songs; // in list order
  // The path chain: each listed song's full stored path and its position in
  // songs, made before a rebuild to follow the songs to their new numbers.
  struct PathNode {
    std::string path;
    size_t song = 0;
    // What finds the song again when its file was renamed in its folder.
    std::string title;
    std::array<uint8_t, 16> songCode{};
  };
  std::vector<PathNode> paths;
};

// A name as kept: a trailing " (digits)" label and trailing blanks cut, at
// most 59 bytes, never ending in half a double-byte character.
std::string BareMyAlbumName(std::string_view name);

class MyAlbumStore {
public:
  // folder is the album folder (Linux, ending in '/'); headerName the
  // resource text the header is named with until a file is loaded.
  MyAlbumStore(const AlbumDatabase* database, const std::string& folder,
               std::string_view headerName);

  // 1 loaded whole, 0 not (a missing file, a wrong magic, a file cut short
  // or with counts past its size; what was read before stays).
  int Load();
  // 1 written; 0 nothing changed, or the file could not be written (then
  // the store stays modified and the old file whole).
  int Save();
  // Loads from bytes (for tests and fuzzing): as Load, without the file.
  int LoadBytes(std::span<const uint8_t> bytes);
  // The file's bytes for the store as it is now (numbers in title order).
  std::vector<uint8_t> Encode() const;

  // A new list with an id no list has (the highest + 1); nullptr when the
  // store holds 32,767 lists.
  MyAlbumList* AddMyAlbum(std::string_view name);
  // 1 removed, 0 no list has the id.
  int RemoveMyAlbum(int32_t id);
  // 0 when the store holds no list, else 1 (and nothing changes when no
  // list has the id).
  int RenameMyAlbum(int32_t id, std::string_view name);
  // Removes the song at songPosition of the list at listPosition.
  void RemoveSong(int listPosition, size_t songPosition);
  // Appends a song number to the list at the position; false when none.
  bool AddSong(int listPosition, uint32_t number);

  int Count() const { return static_cast<int>(lists_.size()); }
  const std::string& HeaderName() const { return headerName_; }
  const MyAlbumList* GetMyAlbum(int position) const;
  const char* GetNameOfMyAlbum(int position) const;
  const std::vector<MyAlbumList::PathNode>* GetPathList(int position) const;
  uint32_t GetNumOfSongInMyAlbum(int position) const;
  uint32_t GetSongNumInMyAlbum(int position, int songPosition) const;
  // Records each listed song's full path (songs the database does not know
  // get none). 0 without a database.
  int MakePathLists();
  // After a rebuild: every song with a recorded path takes the number the
  // path has now; a song whose file was renamed in its folder takes the
  // number of the song newly numbered there with its title and code; any
  // other leaves its list, as does a song without a recorded path (unknown
  // before the rebuild). Saves when anything changed.
  void Renumber();

  bool Modified() const { return modified_; }
  const std::string& Path() const { return path_; }
  // The file a damaged store was moved to at the last save; empty if none.
  const std::string& DamagedCopy() const { return damagedCopy_; }

private:
  const AlbumDatabase* db_;
  std::string path_;
  std::string headerName_;
  std::vector<MyAlbumList> lists_;
  bool modified_ = false;
  bool damaged_ = false;       // the file on disk failed to load: keep it aside
  uint32_t highestBefore_ = 0; // the highest song number when the paths were made
  std::string damagedCopy_;
};

} // namespace album

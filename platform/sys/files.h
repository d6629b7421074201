// Folder listings, DOS wildcard patterns and the file operations the album
// and the display's media lists make on them: delete by pattern, create a
// folder path level by level, move a file.
//
// Names are Linux names (UTF-8 bytes). Patterns are DOS wildcards: '?'
// matches one character, '*' any run of characters; letters match without
// regard to ASCII case, as they did on the file system the stored names come
// from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

struct FileEntry {
  std::string name;     // without folder
  uint64_t size = 0;    // 0 for folders
  int64_t modified = 0; // seconds since 1970
  bool isFolder = false;
};

// True when name matches the DOS pattern (ASCII letters folded; '?' is one
// byte; "*.*" also matches a name without a dot).
bool MatchesDosPattern(std::string_view name, std::string_view pattern);

// The entries of folder whose names match pattern (all when empty), without
// "." and "..", sorted by name byte by byte. nullopt when the folder cannot
// be read. Entries that vanish while listed are left out; symbolic links are
// followed.
std::optional<std::vector<FileEntry>> ListFolder(const std::string& folder,
                                                 std::string_view pattern = {});

// True when pattern is a plain name or wildcard pattern of one component:
// not empty, no '/', not "." or "..".
bool IsSafeNamePattern(std::string_view pattern);

// Deletes every file (not folder) of folder matching pattern; the number
// deleted, or -1 when the pattern is not a safe name pattern or the folder
// cannot be read.
int DeleteMatchingFiles(const std::string& folder, std::string_view pattern);

// Creates, one level after another, every folder of relative below base that
// does not exist yet. False when relative is absolute or has a ".." part, or a
// level cannot be made (an existing file in the way included).
bool MakeFolders(const std::string& base, std::string_view relative);

// Moves a file: a rename, or across file systems a copy that is flushed to
// the disk before the source is removed. Never replaces an existing file:
// false when to exists, from is missing or a step fails (then from stays).
bool MoveFile(const std::string& from, const std::string& to);

} // namespace sys

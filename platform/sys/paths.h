// Paths as the stored files hold them ("C:\songs\a.kar": backslashes, drive
// letters, code-page bytes) and as Linux opens them, with the lookup that
// lets a name match a file whose name differs only in letter case.
//
// The drive table maps each drive letter to a Linux folder. By default C: is
// the root "/", so that every absolute Linux path has a stored form
// ("/home/u/a.kar" <-> "C:\home\u\a.kar") and a stored "C:\x" names "/x".
// The environment variable VEXO_DRIVES, read when the table is first used,
// adds or replaces entries: letter '=' folder, entries separated by ';'
// ("D=/media/cdrom;E=/srv/songs"); an entry with an empty folder removes
// the letter. SetDrives replaces the table at run time.
//
// Stored text is converted between its code page and UTF-8 (the file
// system's names) before it is taken apart, since in some double-byte code
// pages a character's second byte is a backslash. Code page 65001 means the
// text is UTF-8 already.
#pragma once

#include "platform/sys/codepage.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

constexpr int kUtf8CodePage = 65001;

class DriveTable {
public:
  // An empty table; see DefaultDrives() for the usual one.
  DriveTable() = default;

  // folder is an absolute Linux path; trailing slashes are dropped ("/" stays
  // "/"). False for a letter outside A-Z (either case) or a relative folder.
  bool Set(char letter, std::string_view folder);
  void Clear(char letter);
  // The folder of a letter (either case), or nullopt when it is not mapped.
  std::optional<std::string> Folder(char letter) const;

  // Applies a VEXO_DRIVES-style text; false (and the table unchanged) when
  // an entry is malformed.
  bool Apply(std::string_view spec);

private:
  std::array<std::string, 26> folders_{};
};

// C: -> "/", then VEXO_DRIVES applied (a malformed VEXO_DRIVES is ignored).
DriveTable DefaultDrives();
// The process-wide table every conversion without an explicit table uses.
DriveTable CurrentDrives();
void SetDrives(const DriveTable& table);

// A stored path as a Linux path, without touching the file system:
// "X:\a\b" -> folder of X + "/a/b"; "\a\b" -> the same on drive C:; a path
// starting with '/' is Linux already (a module folder with "\name" appended)
// and only its backslashes change; a relative path keeps being relative.
// Repeated separators collapse. nullopt for an empty path, an unmapped
// drive or a network path ("\\server\share").
std::optional<std::string> ToLinuxPath(std::string_view stored, const DriveTable& drives,
                                       int codePage = kDefaultCodePage);
std::optional<std::string> ToLinuxPath(std::string_view stored, int codePage = kDefaultCodePage);

// A Linux path in stored form: an absolute path goes on the drive whose
// folder is its longest leading part ("X:\rest"); a relative path only has
// its slashes turned into backslashes. nullopt for an empty path, an
// absolute path no drive covers, a name holding a backslash, or a name
// that has no form in the code page.
std::optional<std::string> ToStoredPath(std::string_view linuxPath, const DriveTable& drives,
                                        int codePage = kDefaultCodePage);
std::optional<std::string> ToStoredPath(std::string_view linuxPath,
                                        int codePage = kDefaultCodePage);

// The real name of the entry of folder that is name, or that matches name
// when ASCII letter case is ignored (several such: the smallest in byte
// order). An exact match always wins. nullopt when there is none.
std::optional<std::string> FindInFolder(const std::string& folder, std::string_view name);

// path with each component replaced by its real name as FindInFolder finds
// it; from the first component that matches nothing the rest is kept as it
// is (so that a file about to be created keeps its name).
std::string ResolveIgnoringCase(std::string_view path);
// The same, but nullopt unless every component exists.
std::optional<std::string> FindIgnoringCase(std::string_view path);

// ToLinuxPath with the current drives, then ResolveIgnoringCase: the path a
// stored name is opened or created at.
std::optional<std::string> ResolveStoredPath(std::string_view stored,
                                             int codePage = kDefaultCodePage);

} // namespace sys

// Small free functions of the song album: file dates and sizes as the song
// list shows them, the sort order of song titles, drive and path checks,
// deleting and creating files and folders, number lists, and the stored
// (scrambled) form of an internet album's file names. Texts are bytes of
// code page 949; none of these keep state.
#pragma once

#include "platform/sys/paths.h"
#include "platform/sys/volume.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace album {

// The album's one case fold: A-Z become a-z in single-byte characters only;
// the trail byte of a double-byte character (which may be 0x41-0x5A) is kept.
std::string FoldAlbumText(std::string_view text);
// True when a and b are equal under FoldAlbumText.
bool AlbumTextEqual(std::string_view a, std::string_view b);

// Local date and time as "%02d-%02d-%02d %s %2d:%02d": the year less 1900,
// month, day, "AM"/"PM", the hour on the 12-hour clock, the minute.
std::string FormatFileTime(int64_t unixSeconds);
// Megabytes, or gigabytes from 1000 MB on, with one decimal below 101 units
// ("1.5MB", "2.5GB", "150MB"); "0" for less than a tenth of a megabyte.
std::string FormatSizeUnit(uint64_t size);
// Kilobytes, rounded up past every whole one, with comma groups of three then
// two digits ("1,234KB", "12,34,567KB"); "0KB" for 0 bytes.
std::string FormatSizeKB(uint64_t size);

// -1, 0 or 1: the order of two titles (null titles allowed, two nulls are
// equal), over their first 49 bytes without apostrophes, commas and blanks,
// folded by FoldAlbumText, bytes compared unsigned.
int CompareSongTitle(const char* a, const char* b);
// The key CompareSongTitle compares: two titles compare equal exactly when
// their keys are equal, and order as their keys' bytes.
std::string SongTitleKey(std::string_view title);

// Where the drives' volumes are looked up; the running system's mount table
// and drive table unless a test gives others.
struct VolumeLookup {
  sys::DriveTable drives = sys::CurrentDrives();
  sys::MountTable mounts = sys::MountTable::Current();
};

// A stored path ("D:\songs") whose drive (the text up to its first
// backslash) is not a fixed volume becomes "C:\"; a path without a backslash
// or on a fixed drive stays.
void CheckFixedDrivePath(std::string& path, const VolumeLookup& volumes = {});
// 1 when the stored path names a drive (text up to its last colon) whose
// volume is optical, removable, network or not there at all: such a volume
// may be gone later and is not catalogued. 0 without a colon or on a fixed
// volume.
int IsCdRomDrive(std::string_view path, const VolumeLookup& volumes = {});

// When the part after the last '/' is empty or holds a '.', cuts the path at
// that '/' and gives 1; otherwise (or without '/') 0 and the path stays.
int HasFileExtension(std::string& path);

// Deletes every file of folder matching the DOS pattern; the number deleted,
// -1 when the pattern holds a folder part ("..", "/") or the folder cannot be
// read.
int DeleteMatchingFiles(const std::string& folder, std::string_view pattern);
// Creates every missing folder of fullPath below base, level by level;
// fullPath is base followed by the rest or the rest alone. A last part
// holding a '.' is a file name and is not made. 0 for a rest that is
// absolute elsewhere or holds "..", or when a level cannot be made.
int EnsureFolderPath(const std::string& base, const std::string& fullPath);

// A singly linked list of song numbers. Destroying a long chain does not
// recurse.
struct NumberNode {
  explicit NumberNode(int32_t v, std::unique_ptr<NumberNode> n = nullptr)
      : value(v), next(std::move(n)) {}
  ~NumberNode();
  int32_t value;
  std::unique_ptr<NumberNode> next;
};

int IsInList(const NumberNode* first, int32_t value);
// Removes from list b every node whose value list a holds; the number of
// nodes left in b.
int RemoveListedNumbers(const NumberNode* a, std::unique_ptr<NumberNode>& b);

// The keyless byte-wise scrambling of internet album texts: byte i is stored
// as (plain + i mod 5) XOR 0x80. Exact inverses of each other for every byte.
void ScrambleBytes(std::span<uint8_t> bytes);
void UnscrambleBytes(std::span<uint8_t> bytes);
// The stored file-name field to plain text in place: the stored text runs to
// its first zero byte or length; it is unscrambled and cut at the first
// plain zero, which is written (when within length). Nothing past length is
// touched. Returns 1.
int UnscrambleField(char* field, size_t length);

} // namespace album

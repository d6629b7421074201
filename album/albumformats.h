// The song album's files, byte for byte: the local album of one song folder,
// the internet album and its compressed roll, the master album that lists
// the sub-albums and indexes every song, the mode albums of the internet
// modes, and the thunk file that describes an internet catalogue. All
// integers are little-endian; every file begins with a magic ending in 0x1A.
//
// Readers take the whole file's bytes and give 1 read, 0 not this kind of
// file (wrong magic), -1 short (the file ends before what its header
// promises; what was read before stays in the result) and -2 a length or
// count past what the album can hold. Every count and length is checked
// against the bytes left before anything is allocated or looped over.
// Writers replace the file atomically: a failed write leaves the old file.
#pragma once

#include "album/songrecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace album {

using namespace std::string_view_literals;

inline constexpr std::string_view kLocalAlbumMagic = "VEXO3 ALBUM V2.0\x1A"sv;
inline constexpr std::string_view kInternetAlbumMagic = "INTERNET VEXO3 ALBUM V1.2\x1A"sv;
inline constexpr std::string_view kMasterAlbumMagicV20 = "VEXO3 MASTER ALBUM V2.0\x1A"sv;
inline constexpr std::string_view kMasterAlbumMagicV21 = "VEXO3 MASTER ALBUM V2.1\x1A"sv;
inline constexpr std::string_view kModeAlbumMagicV10 =
    "LOCAL INTERNET VEXO3 MASTER ALBUM V1.0\x1A"sv;
inline constexpr std::string_view kModeAlbumMagicV11 =
    "LOCAL INTERNET VEXO3 MASTER ALBUM V1.1\x1A"sv;
inline constexpr std::string_view kModeAlbumMagicV12 =
    "LOCAL INTERNET VEXO3 MASTER ALBUM V1.2\x1A"sv;
inline constexpr std::string_view kThunkMagic = "INTERNET VELMORITH THUNK V1.2\x1A"sv;
inline constexpr std::string_view kRollMagic = "INTERNET VEXO3 COMPRESSED ALBUM V1.0\x1A"sv;
inline constexpr std::string_view kFavoriteMagic = "VEXO3 FAVORITE SONG V1.0\x1A"sv;

// Reader results.
constexpr int kAlbumRead = 1;
constexpr int kAlbumWrongMagic = 0;
constexpr int kAlbumShort = -1;
constexpr int kAlbumTooLarge = -2;

// Bounds of what the album holds; anything larger is damage.
constexpr size_t kMaxAlbumFileSize = 256u << 20;
constexpr size_t kMaxLocationLength = 4096; // base locations and roll names

// True when bytes begin with magic (0x1A included).
bool HasMagic(std::span<const uint8_t> bytes, std::string_view magic);

// ---- Local album (sub-album) ------------------------------------------------

constexpr size_t kLocalAlbumHeaderSize = 332;
constexpr size_t kLocalAlbumRecordsAt = 349;

struct LocalAlbum {
  uint32_t songCount = 0; // as the header says; the writer writes records.size()
  uint32_t totalSize = 0; // bytes of the folder's song files
  std::string name;       // "%s [%03d]", at most 47 bytes
  std::string folder;     // without a trailing backslash, at most 259 bytes
  uint32_t directIndex = 1;
  // The first reserved word: raised by each rewrite so that the master album
  // can tell an album file written after it (0 in files of older writers).
  uint32_t generation = 0;
  // The second reserved word: the song folder's modification time when the
  // album was written (a renamed file changes neither count nor size).
  uint32_t folderTime = 0;
  std::vector<SongRecord> records;
};

// The header only (records left empty) or the whole file.
int ReadLocalAlbumHeader(std::span<const uint8_t> file, LocalAlbum& out);
int ReadLocalAlbum(std::span<const uint8_t> file, LocalAlbum& out);
std::vector<uint8_t> EncodeLocalAlbum(const LocalAlbum& album);
// Streams the records into the replacement file and patches the header last.
bool WriteLocalAlbum(const std::string& path, const LocalAlbum& album);

// ---- Internet album ---------------------------------------------------------

constexpr size_t kInternetAlbumLocationAt = 61;

struct InternetAlbum {
  uint32_t stamp = 0;
  uint32_t directIndex = 1;
  std::string baseLocation; // as stored (scrambled in album mode 2)
  std::vector<SongRecord> records;
};

int ReadInternetAlbum(std::span<const uint8_t> file, InternetAlbum& out);
std::vector<uint8_t> EncodeInternetAlbum(const InternetAlbum& album);
bool WriteInternetAlbum(const std::string& path, const InternetAlbum& album);

// ---- Master and mode albums -------------------------------------------------

constexpr size_t kSubAlbumRecordSize = 785;

struct SubAlbumRecord {
  uint16_t number = 0;     // stored in 4 bytes, the upper two 0 ...
  uint16_t generation = 0; // ... or, from this writer, the low 16 bits of the
                           // album file's generation the master last indexed
  std::string albumPath;   // at most 515 bytes
  std::string folder;      // at most 259 bytes; internet albums: the base location
  uint32_t songCount = 0;
};

// One song of the index as the master and mode albums store it. Entries of
// the oldest versions carry no singer and a zero code.
struct SongIndexEntry {
  uint32_t number = 0;
  uint16_t subAlbum = 0;  // 1-based
  int16_t titleGroup = 0; // -1 for songs of internet albums
  uint32_t position = 0;  // 0-based record position in the album file
  char type = 0;
  std::string title;
  std::string fileName;
  std::string singer; // at most 32 bytes
  std::array<uint8_t, 16> songCode{};
};

struct MasterAlbum {
  int version = 21; // 20 or 21 as read; always written as 21
  std::vector<SubAlbumRecord> subAlbums;
  std::vector<SongIndexEntry> entries;
};

int ReadMasterAlbum(std::span<const uint8_t> file, MasterAlbum& out);
std::vector<uint8_t> EncodeMasterAlbum(const MasterAlbum& album);
bool WriteMasterAlbum(const std::string& path, const MasterAlbum& album);

struct ModeAlbum {
  int version = 12;       // 10, 11 or 12 as read; always written as 12
  uint32_t writtenAt = 0; // seconds since 1970
  std::vector<SubAlbumRecord> subAlbums;
  std::vector<SongIndexEntry> entries;
  bool hasNewSongList = true; // false when the file ended after the entries
  std::vector<uint32_t> newSongs;
};

// The header and the first sub-album record follow the 39-byte magic, the
// records from offset 61, which is also the offset the header states.
constexpr uint32_t kModeAlbumSubAlbumsAt = 61;
constexpr uint32_t kMasterAlbumSubAlbumsAt = 46;

int ReadModeAlbum(std::span<const uint8_t> file, ModeAlbum& out);
std::vector<uint8_t> EncodeModeAlbum(const ModeAlbum& album);
bool WriteModeAlbum(const std::string& path, const ModeAlbum& album);

// ---- Thunk file and roll files ----------------------------------------------

struct RollEntry {
  std::string name; // roll file name or path
  uint32_t stamp = 0;
};

struct ThunkFile {
  std::vector<RollEntry> rolls;
  std::vector<uint32_t> newSongs;
};

int ReadThunkFile(std::span<const uint8_t> file, ThunkFile& out);
std::vector<uint8_t> EncodeThunkFile(const ThunkFile& thunk);
bool WriteThunkFile(const std::string& path, const ThunkFile& thunk);

constexpr size_t kRollHeaderSize = 42;

// The internet album a roll file carries: 1 with its bytes, 0 when the file
// is no roll (magic or the byte after it), -1 when the packed data is short or
// does not unpack to one whole internet album (its header and exactly its
// records), -2 when the stated size is past what the album holds.
int UnpackRoll(std::span<const uint8_t> file, std::vector<uint8_t>& album);
std::vector<uint8_t> PackRoll(std::span<const uint8_t> album);

// ---- Files ------------------------------------------------------------------

// The file's bytes; nullopt when it cannot be read or is larger than maxSize.
std::optional<std::vector<uint8_t>> ReadAlbumFileBytes(const std::string& path,
                                                       size_t maxSize = kMaxAlbumFileSize);

} // namespace album

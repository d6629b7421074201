// Probing song files without loading them: the magic, the information
// chunk, the text chunk and whether a sound bank is carried, read from the
// head of the file and the chunk headers only, so that folders of thousands
// of songs are indexed quickly. Also the small file-information operations
// of the album manager's views.
#pragma once

#include "album/songrecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace album {

// Song file versions by magic.
constexpr int kSongVersionNone = 0;
constexpr int kSongVersionV300 = 1;
constexpr int kSongVersionV350 = 2;

// Sound-bank kinds.
constexpr int16_t kBankUnwalkable = -1; // the chunk list cannot be walked
constexpr int16_t kBankUndecided = 0;   // V3.00 whose sixth chunk is no bank, other versions
constexpr int16_t kBankNone = 1;
constexpr int16_t kBankPresent = 2;
constexpr int16_t kBankWaveSong = 3; // set by the caller for a ".sw3" without a bank

// The information chunk's first bytes (title 0, lyricist 48, composer 80,
// singer 112, classification code 254).
constexpr size_t kSongInfoSize = 273;
using SongInfo = std::array<char, kSongInfoSize>;

std::string InfoTitle(const SongInfo& info);
std::string InfoLyricist(const SongInfo& info);
std::string InfoComposer(const SongInfo& info);
std::string InfoSinger(const SongInfo& info);
std::array<uint8_t, 16> InfoSongCode(const SongInfo& info);

// The version of an open song file (reads its first 15 bytes).
int CheckSongMagic(int fd);
// The sound-bank kind of an open song file of the given version.
int16_t ReadSoundBankKind(int fd, int version);

struct SongProbe {
  int version = kSongVersionNone;
  SongInfo info{};
  std::optional<std::string> text; // the text chunk, trailing zero and CR LF removed
  int16_t bankKind = kBankUndecided;
};

// 1 with the probe filled (one open of the file), 0 when the file cannot be
// opened or read or is no song file. The probe is cleared first.
int ProbeSongFile(const std::string& path, SongProbe& out);
// The information chunk only.
int ProbeSongHeader(const std::string& path, SongInfo& info);

// 't', 'b', 'w' or 'o' from a sound-bank kind.
char TypeLetterFromKind(int kind);
// The record's type letter for a probed file: kind 1 becomes 3 when the
// name's next-to-last character is 'w' or 'W' (a ".sw3" file).
char SongTypeLetter(std::string_view fileName, int16_t kind);

// A song record for a song file: fields from the probe, the text chunk as
// the excerpt (at most 119 bytes), the type letter and the file's name
// without folder. 0 when the probe fails.
int ProbeSongRecord(const std::string& path, SongRecord& record, SongProbe* probe = nullptr);

// File kinds of the album manager's lists.
constexpr int kFileKindNone = 0;
constexpr int kFileKindVx3 = 90101, kFileKindSb3 = 90102, kFileKindSw3 = 90103;
constexpr int kFileKindMid = 90104, kFileKindKar = 90105, kFileKindAlb = 90106;
constexpr int kFileKindBmp = 90107, kFileKindPcx = 90108, kFileKindGif = 90109;
constexpr int kFileKindWav = 90110, kFileKindOther = 90111, kFileKindProgram = 90112;

// By the (at most) three characters after the name's last '.', letter case
// ignored; 0 for a name without a dot.
int FileKindByExtension(std::string_view fileName);

// A printf-like formatter for texts that come from resources: only %s, %d,
// %i, %u, %x (with an optional 'l', flags '-' and '0', a width and for %s a
// precision) and %%; each takes the next argument, a missing one prints as
// nothing and another conversion is copied as it stands. The result is at
// most maxBytes bytes, never half a double-byte character.
using FormatArg = std::variant<std::string, int64_t>;
std::string FormatResourceText(std::string_view format, const std::vector<FormatArg>& args,
                               size_t maxBytes = 1023);

// The resource texts the information texts are made of (code-page bytes).
struct FileInfoTexts {
  std::string empty;        // for an empty title, singer, lyricist or composer
  std::string songFormat;   // title, singer, lyricist, composer, path
  std::string masterFormat; // sub-album count, song count
  std::string albumFormat;  // album name, folder, song count
};

// The information text of a song file (kinds 90101-90103) or an album file
// (90106: a local album or a master album of either version); otherwise or
// when the file cannot be read, empty.
std::string SongFileInfoText(const std::string& path, int kind, const FileInfoTexts& texts);
// The song's title into a 48-byte field, or emptyTitle when it has none.
int SongFileTitle(std::span<char> out, const std::string& path, std::string_view emptyTitle);
// 1 when folder/subfolder holds a file named "*.vx3", "*.sb3" or "*.sw3".
int FolderHasSongFiles(const std::string& folder, const std::string& subfolder);
// 1 when a file matches the path, whose last part may hold DOS wildcards.
int FileExists(const std::string& pathOrPattern);

} // namespace album

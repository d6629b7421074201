// The catalogues of the internet album modes 1 ("i"), 2 ("j") and 3 ("p"):
// a thunk file (the server's index of rolls), the rolls (compressed internet
// albums) fetched beside it, and the mode album built from them, which plays
// the master album's role in that mode. In mode 2 every song is fetched on
// its own into the download folder and counts as present only once there.
//
// Names that come from the server (roll names, base locations, file names)
// are confined: a roll is a plain file name in the album folder, a song path
// resolves inside the download folder, or the item is refused. Nothing of
// the old catalogue is deleted before the new mode album is written whole.
#pragma once

#include "album/albumformats.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace album {

constexpr int kLocalMode = 0;
constexpr int kLastInternetMode = 3;

// 'i', 'j', 'p' for modes 1-3, 0 otherwise.
char ModeLetter(int mode);
// "iSong.alb", "iThunk.alb", "iRo????.alz" and so on; empty outside 1-3.
std::string ModeAlbumName(int mode);
std::string ModeThunkName(int mode);
std::string ModeRollPattern(int mode, bool packed);

// True for a name that stays in its folder: not empty, at most 255 bytes, no
// NUL, no '/' or '\\', no drive letter (':'), not "." or "..".
bool IsPlainFileName(std::string_view name);
// The text after the last '/' (the whole text without one).
std::string_view LastUrlComponent(std::string_view url);
// text with its last character replaced by 'z' (".alb" -> ".alz").
std::string PackedName(std::string_view text);

// The Linux path of a mode-2 song: the download folder, the base location
// without its first character and the file name, both split at '\\' and
// '/'. nullopt when a part is "..", holds a ':' or NUL, or the result would
// be longer than 4096 bytes: such a song is refused.
std::optional<std::string> SongDownloadPath(const std::string& downloadFolder,
                                            std::string_view baseLocation,
                                            std::string_view fileName);
// The URL of a mode-2 song: server, base location, '/', file name, every
// backslash turned into '/'.
std::string SongDownloadUrl(std::string_view server, std::string_view baseLocation,
                            std::string_view fileName);

// The server URL as the server dialog stores it: a scheme written before
// "://" becomes "http://" ("https://" stays), any other text gets "http://"
// in front. nullopt for a result past 260 characters (refused, not cut).
std::optional<std::string> NormaliseServerUrl(std::string_view text);
// The server URL as held in memory: without one trailing '/'.
std::string ServerUrlWithoutSlash(std::string_view url);

// One roll of the mode album.
struct ModeRoll {
  uint16_t number = 0;
  std::string url;      // the roll's URL (".alb")
  std::string fileName; // the unpacked roll album, a plain name in the album folder
  uint32_t stamp = 0;   // the roll album's header stamp (0 before it is read)
  uint32_t thunkStamp = 0;
  std::string baseLocation; // plain text
  bool downloadNeeded = false;
  bool toDelete = false;
};

// The mode's catalogue in one album folder. The folders are Linux paths
// ending in '/'.
class ModeCatalogue {
public:
  ModeCatalogue(int mode, std::string albumFolder, std::string downloadFolder);

  int Mode() const { return mode_; }
  const std::string& AlbumFolder() const { return albumFolder_; }

  // Reads the thunk file (the mode's or the given name in the album folder)
  // and the roll list it names: each roll's URL is the server URL, a '/' and
  // the name. 1 read, 0 missing or damaged (thunkMissing set when missing),
  // -1 a roll name that would leave the album folder (nothing taken).
  struct ThunkRoll {
    std::string url;
    std::string fileName;
    uint32_t stamp = 0;
  };
  int ReadThunk(const std::string& thunkPath, std::string_view serverUrl,
                std::vector<ThunkRoll>& rolls, std::vector<uint32_t>& newSongs);
  bool thunkMissing = false;

  // Joins the thunk's rolls to the mode albums: a roll with a known URL
  // keeps its album (fetched again only when its stamp changed), a new roll
  // gets an album numbered above the highest in use, albums the thunk no
  // longer names are marked to delete. The numbers of the new and changed
  // rolls, in thunk order.
  std::vector<uint16_t> Merge(const std::vector<ThunkRoll>& rolls);

  // The fetch chain: each roll that needs it fetched (its URL with ".alz")
  // into its packed file, in order; the first that fails stops the chain and
  // false is returned, leaving the mode album, rolls and songs as they were.
  using RollFetcher = std::function<bool(const std::string& url, const std::string& file)>;
  bool FetchRolls(const RollFetcher& fetch);

  // Unpacks each roll's ".alz" into its ".alb" (atomically, only whole
  // internet albums; a roll that fails is skipped and its old album kept).
  // The number unpacked.
  int UnpackRolls();
  // Builds the mode index from the roll albums (to-delete albums dropped,
  // rolls whose album cannot be read skipped), writes the mode album at time
  // now, and only then deletes the dropped albums and the packed rolls.
  bool Update(uint32_t now);

  // Reads the mode album; in mode 2 each type letter follows its file's
  // presence, setting dirty when one changed. 1 read, 0 none or damaged.
  int Read();
  // Writes the mode album at time now (mode 2: letters of present files made
  // upper case first). Clears dirty.
  bool Write(uint32_t now);

  // Fetches a mode-2 song into the download folder: fetch(url, file) gives
  // true once a whole file is at file. The song replaces an old copy only
  // when it probes as a song; then its letter becomes upper case and dirty is
  // set. 1 fetched; 0 no such song, a refused path, a failed fetch or a file
  // that is no song (the old copy left as it was).
  using SongFetcher = std::function<bool(const std::string& url, const std::string& file)>;
  int DownloadSong(uint32_t number, std::string_view serverUrl, const SongFetcher& fetch);
  // Deletes a downloaded song's file (only with an upper-case letter); the
  // letter becomes lower case once the file is gone and dirty is set. The
  // deletion's result (1 deleted), 0 otherwise.
  int RemoveDownloadedSong(uint32_t number);

  std::string ModeAlbumPath() const { return albumFolder_ + ModeAlbumName(mode_); }
  std::string RollPath(const ModeRoll& roll) const { return albumFolder_ + roll.fileName; }

  // The local path of an entry's song (mode 2); nullopt when refused.
  std::optional<std::string> SongPath(const SongIndexEntry& e) const;
  const ModeRoll* RollByNumber(uint16_t number) const;
  SongIndexEntry* EntryByNumber(uint32_t number);

  std::vector<ModeRoll> rolls;
  std::vector<SongIndexEntry> entries; // album order, then record order
  std::vector<uint32_t> newSongs;
  uint32_t writtenAt = 0;
  uint32_t highest = 0;
  bool dirty = false;

private:
  // Mode 2: a letter set to the presence of the entry's file; true when changed.
  bool FollowPresence(SongIndexEntry& e, bool lowerWhenAbsent) const;

  int mode_;
  std::string albumFolder_, downloadFolder_;
};

} // namespace album

#include "album/inetmode.h"

#include "album/albumtext.h"
#include "album/songprobe.h"
#include "platform/sys/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace album {

namespace {

constexpr size_t kMaxStoredFolder = 259; // a sub-album record's folder field
constexpr size_t kMaxSongPath = 4096;

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Unscrambled(std::string_view text) {
  std::string out(text);
  UnscrambleBytes({reinterpret_cast<uint8_t*>(out.data()), out.size()});
  return out;
}

// Appends the parts of text split at '\\' and '/' to path; false for a part
// that would leave the folder.
bool AppendParts(std::string& path, std::string_view text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\\/", start);
    if (end == std::string_view::npos)
      end = text.size();
    std::string_view part = text.substr(start, end - start);
    if (part == ".." || part.find(':') != std::string_view::npos ||
        part.find('\0') != std::string_view::npos)
      return false;
    if (!part.empty() && part != ".") {
      if (!path.empty() && path.back() != '/')
        path += '/';
      path += part;
    }
    start = end + 1;
  }
  return true;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

} // namespace

char ModeLetter(int mode) {
  switch (mode) {
  case 1: return 'i';
  case 2: return 'j';
  case 3: return 'p';
  default: return 0;
  }
}

std::string ModeAlbumName(int mode) {
  char c = ModeLetter(mode);
  return c ? std::string(1, c) + "Song.alb" : std::string();
}

std::string ModeThunkName(int mode) {
  char c = ModeLetter(mode);
  return c ? std::string(1, c) + "Thunk.alb" : std::string();
}

std::string ModeRollPattern(int mode, bool packed) {
  char c = ModeLetter(mode);
  return c ? std::string(1, c) + (packed ? "Ro????.alz" : "Ro????.alb") : std::string();
}

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\:\0", 4)) == std::string_view::npos;
}

std::string_view LastUrlComponent(std::string_view url) {
  size_t slash = url.rfind('/');
  return slash == std::string_view::npos ? url : url.substr(slash + 1);
}

std::string PackedName(std::string_view text) {
  std::string out(text);
  if (!out.empty())
    out.back() = 'z';
  return out;
}

std::optional<std::string> SongDownloadPath(const std::string& downloadFolder,
                                            std::string_view baseLocation,
                                            std::string_view fileName) {
  std::string path = downloadFolder;
  size_t folderEnd = path.size();
  if (!baseLocation.empty() && !AppendParts(path, baseLocation.substr(1)))
    return std::nullopt;
  size_t before = path.size();
  if (!AppendParts(path, fileName) || path.size() == before || path.size() == folderEnd ||
      path.size() > kMaxSongPath)
    return std::nullopt;
  return path;
}

std::string SongDownloadUrl(std::string_view server, std::string_view baseLocation,
                            std::string_view fileName) {
  std::string url = std::string(server) + std::string(baseLocation) + "/" + std::string(fileName);
  std::replace(url.begin(), url.end(), '\\', '/');
  return url;
}

std::optional<std::string> NormaliseServerUrl(std::string_view text) {
  constexpr size_t kMaxServerUrl = 260;
  size_t scheme = text.find("://");
  std::string url;
  if (scheme != std::string_view::npos && text.find(':') == scheme) {
    std::string_view name = text.substr(0, scheme);
    bool https = name.size() == 5 && std::equal(name.begin(), name.end(), "https",
                                                [](char a, char b) { return (a | 0x20) == b; });
    url = (https ? "https://" : "http://") + std::string(text.substr(scheme + 3));
  } else {
    url = "http://" + std::string(text);
  }
  if (url.size() > kMaxServerUrl)
    return std::nullopt;
  return url;
}

std::string ServerUrlWithoutSlash(std::string_view url) {
  if (!url.empty() && url.back() == '/')
    url.remove_suffix(1);
  return std::string(url);
}

ModeCatalogue::ModeCatalogue(int mode, std::string albumFolder, std::string downloadFolder)
    : mode_(mode), albumFolder_(std::move(albumFolder)),
      downloadFolder_(std::move(downloadFolder)) {}

int ModeCatalogue::ReadThunk(const std::string& thunkPath, std::string_view serverUrl,
                             std::vector<ThunkRoll>& out, std::vector<uint32_t>& newSongs) {
  out.clear();
  newSongs.clear();
  std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(thunkPath);
  thunkMissing = !bytes;
  ThunkFile thunk;
  if (!bytes || ReadThunkFile(*bytes, thunk) != kAlbumRead)
    return 0;
  std::vector<ThunkRoll> rolls;
  for (const RollEntry& r : thunk.rolls) {
    std::string url(serverUrl);
    if (url.empty() || url.back() != '/')
      url += '/';
    url += r.name;
    // The roll lands in the album folder under its own name: the name must
    // be a plain file name, else the whole thunk is refused.
    std::string name(LastUrlComponent(url));
    if (!IsPlainFileName(r.name) || name != r.name || url.size() > kMaxStoredFolder)
      return -1;
    rolls.push_back({std::move(url), std::move(name), r.stamp});
  }
  out = std::move(rolls);
  newSongs = std::move(thunk.newSongs);
  return 1;
}

std::vector<uint16_t> ModeCatalogue::Merge(const std::vector<ThunkRoll>& thunkRolls) {
  for (ModeRoll& r : rolls)
    r.toDelete = true;
  uint16_t highestNumber = 0;
  for (const ModeRoll& r : rolls)
    highestNumber = std::max(highestNumber, r.number);
  std::vector<uint16_t> updated;
  for (const ThunkRoll& t : thunkRolls) {
    auto known = std::find_if(rolls.begin(), rolls.end(), [&](const ModeRoll& r) {
      return AlbumTextEqual(r.url, t.url);
    });
    if (known != rolls.end()) {
      known->toDelete = false;
      known->thunkStamp = t.stamp;
      known->downloadNeeded = t.stamp != known->stamp;
      if (known->downloadNeeded)
        updated.push_back(known->number);
      continue;
    }
    if (highestNumber == UINT16_MAX)
      continue;
    ModeRoll added;
    added.number = ++highestNumber;
    added.url = t.url;
    added.fileName = t.fileName;
    added.thunkStamp = t.stamp;
    added.downloadNeeded = true;
    // Two rolls of one name would share a file: the later one is dropped.
    bool clash = std::any_of(rolls.begin(), rolls.end(), [&](const ModeRoll& r) {
      return !r.toDelete && AlbumTextEqual(r.fileName, added.fileName);
    });
    if (clash)
      continue;
    updated.push_back(added.number);
    rolls.push_back(std::move(added));
  }
  return updated;
}

bool ModeCatalogue::FetchRolls(const RollFetcher& fetch) {
  for (const ModeRoll& r : rolls) {
    if (r.toDelete || !r.downloadNeeded)
      continue;
    std::string packed = albumFolder_ + PackedName(r.fileName);
    if (!fetch || !fetch(PackedName(r.url), packed)) {
      DeleteMatchingFiles(albumFolder_, ModeRollPattern(mode_, true));
      return false;
    }
  }
  return true;
}

int ModeCatalogue::UnpackRolls() {
  int unpacked = 0;
  for (const ModeRoll& r : rolls) {
    if (r.toDelete)
      continue;
    std::string packed = albumFolder_ + PackedName(r.fileName);
    std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(packed);
    std::vector<uint8_t> album;
    if (bytes && UnpackRoll(*bytes, album) == kAlbumRead &&
        sys::ReplaceFileAtomically(RollPath(r), album))
      ++unpacked;
  }
  return unpacked;
}

bool ModeCatalogue::Update(uint32_t now) {
  UnpackRolls();
  std::vector<ModeRoll> kept;
  std::vector<std::string> dropped;
  entries.clear();
  highest = 0;
  std::unordered_set<uint32_t> numbers;
  for (ModeRoll& r : rolls) {
    if (r.toDelete) {
      dropped.push_back(RollPath(r));
      continue;
    }
    std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(RollPath(r));
    InternetAlbum album;
    if (bytes && ReadInternetAlbum(*bytes, album) == kAlbumRead) {
      r.stamp = album.stamp;
      r.baseLocation = mode_ == 2 ? Unscrambled(album.baseLocation) : album.baseLocation;
      for (size_t i = 0; i < album.records.size(); ++i) {
        const SongRecord& rec = album.records[i];
        if (rec.number == 0 || !numbers.insert(rec.number).second)
          continue;
        SongIndexEntry e;
        e.number = rec.number;
        e.subAlbum = r.number;
        e.titleGroup = -1;
        e.position = static_cast<uint32_t>(i);
        e.type = rec.type;
        e.title = FieldText(rec.title);
        std::string name = FieldText(rec.fileName);
        e.fileName = mode_ == 2 ? FieldText(Unscrambled(name)) : name;
        e.singer = FieldText(rec.singer);
        e.songCode = rec.songCode;
        highest = std::max(highest, e.number);
        entries.push_back(std::move(e));
      }
    } else {
      r.stamp = 0; // fetched again at the next update
    }
    kept.push_back(r);
  }
  rolls = std::move(kept);
  for (ModeRoll& r : rolls)
    r.downloadNeeded = false;
  if (!Write(now))
    return false;
  for (const std::string& path : dropped) {
    bool stillUsed = std::any_of(rolls.begin(), rolls.end(),
                                 [&](const ModeRoll& r) { return RollPath(r) == path; });
    if (!stillUsed)
      ::unlink(path.c_str());
  }
  DeleteMatchingFiles(albumFolder_, ModeRollPattern(mode_, true));
  return true;
}

bool ModeCatalogue::FollowPresence(SongIndexEntry& e, bool lowerWhenAbsent) const {
  std::optional<std::string> path = SongPath(e);
  bool present = path && IsRegularFile(*path);
  char before = e.type;
  if (present)
    e.type = Upper(e.type);
  else if (lowerWhenAbsent)
    e.type = Lower(e.type);
  return e.type != before;
}

bool ModeCatalogue::Write(uint32_t now) {
  ModeAlbum album;
  album.writtenAt = now;
  std::unordered_map<uint16_t, uint32_t> counts;
  for (SongIndexEntry& e : entries) {
    if (mode_ == 2)
      FollowPresence(e, false);
    ++counts[e.subAlbum];
  }
  for (const ModeRoll& r : rolls) {
    SubAlbumRecord s;
    s.number = r.number;
    s.albumPath = r.fileName;
    s.folder = r.url;
    s.songCount = counts[r.number];
    album.subAlbums.push_back(std::move(s));
  }
  album.entries = entries;
  album.newSongs = newSongs;
  if (!WriteModeAlbum(ModeAlbumPath(), album))
    return false;
  writtenAt = now;
  dirty = false;
  return true;
}

int ModeCatalogue::Read() {
  rolls.clear();
  entries.clear();
  newSongs.clear();
  highest = 0;
  dirty = false;
  std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(ModeAlbumPath());
  ModeAlbum album;
  if (!bytes || ReadModeAlbum(*bytes, album) != kAlbumRead)
    return 0;
  writtenAt = album.writtenAt;
  std::unordered_set<uint16_t> known;
  for (const SubAlbumRecord& s : album.subAlbums) {
    if (!IsPlainFileName(s.albumPath) || !known.insert(s.number).second)
      continue; // a roll outside the album folder is not touched
    ModeRoll r;
    r.number = s.number;
    r.url = s.folder;
    r.fileName = s.albumPath;
    std::optional<std::vector<uint8_t>> rollBytes = ReadAlbumFileBytes(RollPath(r));
    InternetAlbum header;
    if (rollBytes && ReadInternetAlbum(*rollBytes, header) == kAlbumRead) {
      r.stamp = header.stamp;
      r.baseLocation = mode_ == 2 ? Unscrambled(header.baseLocation) : header.baseLocation;
    }
    rolls.push_back(std::move(r));
  }
  for (SongIndexEntry& e : album.entries) {
    if (!known.count(e.subAlbum))
      continue;
    if (mode_ == 2 && FollowPresence(e, true))
      dirty = true;
    highest = std::max(highest, e.number);
    entries.push_back(std::move(e));
  }
  newSongs = std::move(album.newSongs);
  return 1;
}

int ModeCatalogue::DownloadSong(uint32_t number, std::string_view serverUrl,
                                const SongFetcher& fetch) {
  SongIndexEntry* e = mode_ == 2 && number ? EntryByNumber(number) : nullptr;
  const ModeRoll* roll = e ? RollByNumber(e->subAlbum) : nullptr;
  std::optional<std::string> path = roll ? SongPath(*e) : std::nullopt;
  if (!path || !fetch)
    return 0;
  if (!EnsureFolderPath(downloadFolder_, path->substr(0, path->rfind('/') + 1)))
    return 0;
  // Fetched beside the song first: an old copy goes only for a real song.
  std::string part = *path + ".part";
  SongProbe probe;
  if (!fetch(SongDownloadUrl(serverUrl, roll->baseLocation, e->fileName), part) ||
      ProbeSongFile(part, probe) != 1 || ::rename(part.c_str(), path->c_str()) != 0) {
    ::unlink(part.c_str());
    return 0;
  }
  e->type = Upper(e->type);
  dirty = true;
  return 1;
}

int ModeCatalogue::RemoveDownloadedSong(uint32_t number) {
  SongIndexEntry* e = mode_ == 2 ? EntryByNumber(number) : nullptr;
  std::optional<std::string> path = e ? SongPath(*e) : std::nullopt;
  if (!path)
    return 0;
  int result = 0;
  if (e->type == Upper(e->type) && IsRegularFile(*path))
    result = ::unlink(path->c_str()) == 0 ? 1 : 0;
  if (!IsRegularFile(*path))
    e->type = Lower(e->type);
  dirty = true;
  return result;
}

std::optional<std::string> ModeCatalogue::SongPath(const SongIndexEntry& e) const {
  const ModeRoll* r = RollByNumber(e.subAlbum);
  if (!r)
    return std::nullopt;
  return SongDownloadPath(downloadFolder_, r->baseLocation, e.fileName);
}

const ModeRoll* ModeCatalogue::RollByNumber(uint16_t number) const {
  for (const ModeRoll& r : rolls)
    if (r.number == number)
      return &r;
  return nullptr;
}

SongIndexEntry* ModeCatalogue::EntryByNumber(uint32_t number) {
  for (SongIndexEntry& e : entries)
    if (e.number == number)
      return &e;
  return nullptr;
}

} // namespace album

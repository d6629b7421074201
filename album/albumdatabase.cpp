#include "album/albumdatabase.h"

#include "album/query.h"
#include "album/recordsearch.h"
#include "album/singers.h"
#include "album/songprobe.h"
#include "platform/sys/ascii.h"
#include "platform/sys/codepage.h"
#include "platform/sys/files.h"
#include "platform/sys/ini.h"
#include "platform/sys/library.h"
#include "platform/sys/paths.h"
#include "platform/sys/unique_fd.h"
#include "platform/sys/volume.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace album {

void AlbumFile::DropCaches() const {
  mapped.reset();
  matches.reset();
}

namespace {

constexpr size_t kMaxFolderBytes = 259;
constexpr size_t kMaxRecordPath = 255;

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder's modification time folded into 32 bits, never 0.
uint32_t FolderTime(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    return 0;
  uint64_t t = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000007u +
               static_cast<uint64_t>(st.st_mtim.tv_nsec);
  return static_cast<uint32_t>(t ^ (t >> 32)) | 1u;
}

// The song files of a folder: ".vx3", ".sb3", ".sw3" (any case), sorted by
// name; nullopt when the folder cannot be read.
std::optional<std::vector<sys::FileEntry>> ListSongFiles(const std::string& folder) {
  std::optional<std::vector<sys::FileEntry>> all = sys::ListFolder(folder);
  if (!all)
    return std::nullopt;
  std::vector<sys::FileEntry> songs;
  for (sys::FileEntry& e : *all) {
    int kind = FileKindByExtension(e.name);
    size_t dot = e.name.rfind('.');
    if (!e.isFolder && kind >= kFileKindVx3 && kind <= kFileKindSw3 && dot != std::string::npos &&
        e.name.size() - dot == 4)
      songs.push_back(std::move(e));
  }
  return songs;
}

// The first bytes of a file (at most size).
std::vector<uint8_t> ReadHead(const std::string& path, size_t size) {
  sys::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::vector<uint8_t> bytes;
  if (!fd.Valid())
    return bytes;
  bytes.resize(size);
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd.Get(), bytes.data() + got, size - got);
    if (n <= 0)
      break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

// "Song" + digits + ".alb", letter case ignored: an album file name.
bool IsAlbumFileName(std::string_view name) {
  if (name.size() < 9)
    return false;
  std::string f = FoldAlbumText(name);
  if (!f.starts_with("song") || !f.ends_with(".alb"))
    return false;
  std::string_view digits = std::string_view(f).substr(4, f.size() - 8);
  return !digits.empty() &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string LastComponent(std::string_view storedFolder) {
  size_t cut = storedFolder.rfind('\\');
  return std::string(cut == std::string_view::npos ? storedFolder : storedFolder.substr(cut + 1));
}

// The sub-album number an album file's name ends with ("pop [012]").
int NumberFromAlbumName(std::string_view name) {
  size_t open = name.rfind('[');
  if (open == std::string_view::npos || !name.ends_with("]"))
    return 0;
  std::string_view digits = name.substr(open + 1, name.size() - open - 2);
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  int n = std::atoi(std::string(digits).c_str());
  return n > 0 && n <= 0x7FFF ? n : 0;
}

SongIndexEntry EntryFromRecord(const SongRecord& r, uint16_t album, uint32_t position, int group) {
  SongIndexEntry e;
  e.number = r.number;
  e.subAlbum = album;
  e.titleGroup = static_cast<int16_t>(group);
  e.position = position;
  e.type = r.type;
  e.title = FieldText(r.title);
  e.fileName = FieldText(r.fileName);
  e.singer = std::string(CutText(FieldText(r.singer), 32));
  e.songCode = r.songCode;
  return e;
}

// The initial consonant group of a Hangul syllable (any of the 11,172,
// whether its code-page form is a KS X 1001 one or an extended one).
std::optional<int> HangulGroup(std::string_view title) {
  if (title.size() < 2)
    return std::nullopt;
  std::string u = sys::ToUtf8(title.substr(0, 2), 949);
  if (u.size() < 3 || (static_cast<uint8_t>(u[0]) & 0xF0) != 0xE0)
    return std::nullopt;
  uint32_t cp = ((static_cast<uint8_t>(u[0]) & 0x0F) << 12) |
                ((static_cast<uint8_t>(u[1]) & 0x3F) << 6) | (static_cast<uint8_t>(u[2]) & 0x3F);
  if (cp < 0xAC00 || cp > 0xD7A3)
    return std::nullopt;
  static constexpr int kGroupOfInitial[19] = {0, 0, 1, 2, 2, 3,  4,  5,  5, 6,
                                              6, 7, 8, 8, 9, 10, 11, 12, 13};
  return kGroupOfInitial[(cp - 0xAC00) / 588];
}

} // namespace

std::string DefaultAlbumFolder() {
  std::string folder;
  if (const char* dir = std::getenv("VEXO_CONFIG_DIR"); dir && *dir)
    folder = dir;
  else
    folder = sys::ModuleFolder(reinterpret_cast<const void*>(&DefaultAlbumFolder));
  if (folder.empty() || folder.back() != '/')
    folder += '/';
  return folder;
}

int TitleGroupOf(std::string_view title, bool intl, const AlbumTexts& texts) {
  size_t start = title.find_first_not_of(' ');
  if (start == std::string_view::npos)
    return kOtherTitleGroup;
  title = title.substr(start);
  if (static_cast<uint8_t>(title[0]) >= 0x80) {
    if (intl)
      return kOtherTitleGroup;
    if (std::optional<int> g = HangulGroup(title))
      return *g;
    for (size_t i = 0; i < texts.syllables.size(); ++i)
      if (std::string_view(texts.syllables[i]) > title)
        return i == 0 ? kOtherTitleGroup : static_cast<int>(i) - 1;
    return 13;
  }
  std::string upper = sys::AsciiUppered(title);
  if (upper[0] < 'A' || upper[0] > 'Z')
    return kOtherTitleGroup;
  for (size_t i = 0; i < texts.letters.size(); ++i)
    if (std::string_view(texts.letters[i]) > std::string_view(upper))
      return static_cast<int>(i) + 13;
  return 39;
}

bool AlbumDatabase::TitleLess::operator()(const IndexedSong* a, const IndexedSong* b) const {
  return CompareSongTitle(a->e.title.c_str(), b->e.title.c_str()) < 0;
}

AlbumDatabase::AlbumDatabase() : AlbumDatabase(Options{}) {}
AlbumDatabase::AlbumDatabase(Options options) : options_(std::move(options)) {
  // While the category filter is on, only a song the look-up finds is queued.
  reservations_.SetFilterCheck([this](int32_t number) {
    SongRecord r;
    return filter_ == 0 || GetSongDataBySongNum(static_cast<uint32_t>(number), r) == 1;
  });
}

AlbumDatabase::~AlbumDatabase() {
  Flush();
  Clear();
}

void AlbumDatabase::Status(int id) const {
  if (options_.status)
    options_.status(id);
}

void AlbumDatabase::ShowText(int line, std::string_view text) const {
  if (options_.progress)
    options_.progress->SetText(line, text);
}

void AlbumDatabase::ShowBar(int percent) const {
  if (options_.progress)
    options_.progress->SetBar(percent);
}

std::string AlbumDatabase::Linux(std::string_view stored) const {
  return sys::ToLinuxPath(stored, options_.volumes.drives).value_or(std::string());
}

std::string AlbumDatabase::StoredAlbumPath(int fileNumber) const {
  char name[32];
  std::snprintf(name, sizeof name, "Song%04d.alb", fileNumber);
  return sys::ToStoredPath(albumFolder_ + name, options_.volumes.drives).value_or(std::string());
}

void AlbumDatabase::Clear() {
  CloseQueries();
  singers_.reset();
  ++indexGeneration_;
  for (IndexedSong* s : byTitle_)
    delete s;
  block_.clear();
  byTitle_.clear();
  byNumber_.clear();
  byName_.clear();
  byAlbum_.clear();
  albums_.clear();
  albumMapBuilt_ = false;
  highest_ = 0;
  lastHanded_ = 0;
  groupsBuilt_ = false;
}

int AlbumDatabase::Open(const std::string& moduleFolder) {
  CloseQueries();
  Flush();
  Clear();
  // Every open begins in the local album.
  albumMode_ = 0;
  mode_.reset();
  albumListLut_ = 0;
  newSongBlock_.clear();
  dirty_ = false;
  recoveredMaster_ = false;
  reindexed_ = 0;
  if (moduleFolder.empty())
    return -1;
  albumFolder_ = moduleFolder;
  if (albumFolder_.back() != '/')
    albumFolder_ += '/';
  if (!IsFolder(albumFolder_) ||
      !sys::ToStoredPath(albumFolder_ + "Song.alb", options_.volumes.drives))
    return -1;
  // The removed-songs and download folders sit beside the album folder.
  std::string trimmed = albumFolder_.substr(0, albumFolder_.size() - 1);
  std::string parent = trimmed.substr(0, trimmed.rfind('/') + 1);
  if (parent.empty())
    return -1;
  removedFolder_ = parent + sys::ToUtf8(options_.texts.removedFolder) + "/";
  downloadFolder_ = parent + sys::ToUtf8(options_.texts.downloadFolder) + "/";
  for (const std::string& f : {removedFolder_, downloadFolder_})
    if (!IsFolder(f) && mkdir(f.c_str(), 0755) != 0 && !IsFolder(f))
      return -1;

  const std::string ini = ConfigPath();
  server_ = sys::IniGetString(ini, "OnLine", "Server", options_.texts.server);
  if (!server_.empty() && server_.back() == '/')
    server_.pop_back();
  thunk_ = sys::IniGetString(ini, "OnLine", "iThunk", options_.texts.thunk);
  thunkFolder_ = thunk_.substr(0, thunk_.rfind('/') + 1);
  intl_ = sys::IniGetInt(ini, "AlbManager", "Intl", 1) != 0;

  // The store is read whatever state the catalogue is in: a save after a
  // skipped load would write an empty store over the user's lists.
  store_ = std::make_unique<MyAlbumStore>(this, albumFolder_, options_.texts.myAlbumHeader);
  bool master = access(MasterPath().c_str(), F_OK) == 0;
  if (master)
    ReadMaster();
  store_->Load();
  return master ? 1 : 0;
}

int AlbumDatabase::Reload() {
  reservations_.Clear();
  CloseQueries();
  if (!LocalOnly()) {
    Flush();
    return LoadCurrentIndex();
  }
  Flush();
  Clear();
  reindexed_ = 0;
  recoveredMaster_ = false;
  if (access(MasterPath().c_str(), F_OK) != 0)
    return 0;
  ReadMaster();
  return 1;
}

bool AlbumDatabase::Flush() {
  if (albumFolder_.empty())
    return true;
  // In the internet modes only a changed mode-2 album is written; the
  // local master album is never written from a mode album's index.
  if (!LocalOnly())
    return !ModeDirty() || mode_->Write(Now());
  RewriteDirtyHeaders();
  if (!dirty_)
    return true;
  return WriteMaster();
}

void AlbumDatabase::RewriteDirtyHeaders() {
  for (auto& album : albums_) {
    if (!album->headerDirty)
      continue;
    album->headerDirty = false;
    const std::string path = Linux(album->path);
    std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(path);
    LocalAlbum full;
    if (!bytes || ReadLocalAlbum(*bytes, full) != kAlbumRead)
      continue;
    full.name = album->header.name;
    full.generation = std::max(full.generation, album->header.generation) + 1;
    album->DropCaches();
    if (!album::WriteLocalAlbum(path, full))
      continue;
    album->header.generation = full.generation;
    dirty_ = true; // the master records the new generation
  }
}

int AlbumDatabase::ReadMaster() {
  std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(MasterPath());
  MasterAlbum master;
  if (!bytes || ReadMasterAlbum(*bytes, master) != kAlbumRead) {
    // Never half-loaded: the catalogue is built again from the album files.
    RecoverFromAlbumFiles();
    return 1;
  }
  std::unordered_set<uint16_t> loaded, stale;
  for (const SubAlbumRecord& s : master.subAlbums) {
    auto album = std::make_unique<AlbumFile>();
    album->number = s.number;
    album->path = s.albumPath;
    album->folder = s.folder;
    album->indexedGeneration = s.generation;
    std::vector<uint8_t> head = ReadHead(Linux(s.albumPath), kLocalAlbumRecordsAt);
    if (s.number == 0 || loaded.count(s.number) ||
        ReadLocalAlbumHeader(head, album->header) != kAlbumRead)
      continue; // an album file that cannot be read is dropped
    loaded.insert(s.number);
    if (static_cast<uint16_t>(album->header.generation) != s.generation)
      stale.insert(s.number);
    albums_.push_back(std::move(album));
    albumMapBuilt_ = false;
  }
  byNumber_.reserve(master.entries.size());
  byName_.reserve(master.entries.size());
  for (SongIndexEntry& e : master.entries)
    if (loaded.count(e.subAlbum) && !stale.count(e.subAlbum))
      AddEntry(std::move(e), true);
  // Album files written after the master are indexed from their records.
  for (auto& album : albums_) {
    if (!stale.count(album->number))
      continue;
    std::optional<std::vector<uint8_t>> file = ReadAlbumFileBytes(Linux(album->path));
    LocalAlbum full;
    if (file && ReadLocalAlbum(*file, full) == kAlbumRead)
      ReindexAlbum(*album, full);
    ++reindexed_;
    dirty_ = true;
  }
  if (dirty_)
    WriteMaster();
  return 1;
}

bool AlbumDatabase::RecoverFromAlbumFiles() {
  Clear();
  recoveredMaster_ = true;
  std::optional<std::vector<sys::FileEntry>> files = sys::ListFolder(albumFolder_, "Song*.alb");
  struct Found {
    std::string path;
    LocalAlbum album;
  };
  std::vector<Found> found;
  for (const sys::FileEntry& f : files.value_or(std::vector<sys::FileEntry>{})) {
    if (f.isFolder || !IsAlbumFileName(f.name))
      continue;
    std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(albumFolder_ + f.name);
    Found x;
    x.path = sys::ToStoredPath(albumFolder_ + f.name, options_.volumes.drives).value_or("");
    if (!bytes || x.path.empty() || ReadLocalAlbum(*bytes, x.album) != kAlbumRead)
      continue;
    found.push_back(std::move(x));
  }
  // One album per folder: the newest generation (left over files of an
  // unfinished rebuild lose).
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    return a.album.generation > b.album.generation;
  });
  std::vector<Found*> kept;
  for (Found& f : found)
    if (std::none_of(kept.begin(), kept.end(), [&](const Found* k) {
          return AlbumTextEqual(k->album.folder, f.album.folder);
        }))
      kept.push_back(&f);
  std::unordered_set<int> numbers;
  for (Found* f : kept) {
    auto album = std::make_unique<AlbumFile>();
    int n = NumberFromAlbumName(f->album.name);
    if (n == 0 || numbers.count(n))
      n = HighestAlbumNumber() + 1;
    numbers.insert(n);
    album->number = static_cast<uint16_t>(n);
    album->path = f->path;
    album->folder = f->album.folder;
    album->header = f->album;
    album->header.records.clear();
    albums_.push_back(std::move(album));
    albumMapBuilt_ = false;
    ReindexAlbum(*albums_.back(), f->album);
  }
  std::sort(albums_.begin(), albums_.end(),
            [](const auto& a, const auto& b) { return a->number < b->number; });
  dirty_ = true;
  return WriteMaster();
}

uint16_t AlbumDatabase::HighestAlbumNumber() const {
  uint16_t n = 0;
  for (const auto& a : albums_)
    n = std::max(n, a->number);
  return n;
}

IndexedSong* AlbumDatabase::AddEntry(SongIndexEntry e, bool atEnd) {
  auto* song = new IndexedSong{std::move(e), {}};
  // Before the first equal title: the newest of equal titles comes first.
  song->byTitle = atEnd ? byTitle_.insert(byTitle_.end(), song)
                        : byTitle_.insert(byTitle_.lower_bound(song), song);
  byNumber_.emplace(song->e.number, song);
  byName_.emplace(FoldAlbumText(song->e.fileName), song);
  byAlbum_[song->e.subAlbum].push_back(song);
  highest_ = std::max(highest_, song->e.number);
  groupsBuilt_ = false;
  ++indexGeneration_;
  return song;
}

void AlbumDatabase::Unlink(IndexedSong* song) {
  if (walk_ == song) {
    auto next = std::next(song->byTitle);
    walk_ = next == byTitle_.end() ? nullptr : *next;
  }
  ++indexGeneration_;
  byTitle_.erase(song->byTitle);
  auto n = byNumber_.find(song->e.number);
  if (n != byNumber_.end() && n->second == song)
    byNumber_.erase(n);
  auto [from, to] = byName_.equal_range(FoldAlbumText(song->e.fileName));
  for (auto it = from; it != to; ++it)
    if (it->second == song) {
      byName_.erase(it);
      break;
    }
  groupsBuilt_ = false;
}

void AlbumDatabase::RemoveAlbumSongs(uint16_t number) {
  auto it = byAlbum_.find(number);
  if (it == byAlbum_.end())
    return;
  std::vector<IndexedSong*> songs = std::move(it->second);
  byAlbum_.erase(it);
  for (IndexedSong* s : songs) {
    Unlink(s);
    delete s;
  }
  dirty_ = true;
}

void AlbumDatabase::ReindexAlbum(AlbumFile& album, const LocalAlbum& full) {
  RemoveAlbumSongs(album.number);
  for (size_t i = 0; i < full.records.size(); ++i) {
    const SongRecord& r = full.records[i];
    if (r.number == 0)
      continue;
    AddEntry(EntryFromRecord(r, album.number, static_cast<uint32_t>(i),
                             TitleGroupOf(FieldText(r.title), intl_, options_.texts)),
             false);
  }
  album.header = full;
  album.DropCaches();
  album.header.records.clear();
  dirty_ = true;
}

uint32_t AlbumDatabase::AssignSongNumber(AlbumFile& album, SongRecord& record, uint32_t position) {
  // Numbers are never handed out twice while the catalogue lives.
  uint32_t n = std::max(lastHanded_, highest_) + 1;
  lastHanded_ = n;
  record.number = n;
  AddEntry(EntryFromRecord(record, album.number, position,
                           TitleGroupOf(FieldText(record.title), intl_, options_.texts)),
           false);
  dirty_ = true;
  return n;
}

int AlbumDatabase::IsAlbumStale(const AlbumFile& album) const {
  std::string folder = Linux(album.folder);
  if (!IsFolder(folder))
    return -1;
  std::optional<std::vector<sys::FileEntry>> songs = ListSongFiles(folder);
  if (!songs)
    return -1;
  if (songs->empty())
    return album.header.songCount != 0 ? 1 : 0;
  uint32_t total = 0;
  for (const sys::FileEntry& e : *songs)
    total += static_cast<uint32_t>(e.size);
  // A folder changed since the album was written (a rename keeps count and
  // size) is stale too; albums of older writers carry no time.
  bool touched = album.header.folderTime != 0 && album.header.folderTime != FolderTime(folder);
  return songs->size() != album.header.songCount || total != album.header.totalSize || touched ? 1
                                                                                               : 0;
}

int AlbumDatabase::WriteLocalAlbum(AlbumFile& album) {
  return WriteAlbum(album, false);
}
int AlbumDatabase::RewriteLocalAlbum(AlbumFile& album) {
  return WriteAlbum(album, true);
}

int AlbumDatabase::WriteAlbum(AlbumFile& album, bool keepNumbers) {
  const std::string linuxFolder = Linux(album.folder);
  const std::string linuxPath = Linux(album.path);
  // What the album file holds now, to restore the index when writing fails.
  std::optional<LocalAlbum> old;
  if (std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(linuxPath)) {
    LocalAlbum a;
    if (ReadLocalAlbum(*bytes, a) == kAlbumRead)
      old = std::move(a);
  }
  LocalAlbum out;
  out.name = std::string(CutText(LastComponent(album.folder), 40));
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, " [%03d]", album.number);
  out.name += suffix;
  out.folder = album.folder;
  out.directIndex = 1;
  out.folderTime = FolderTime(linuxFolder);
  out.generation = std::max(album.header.generation, old ? old->generation : 0) + 1;

  struct Probed {
    SongRecord record;
    uint32_t keep = 0; // the old number it keeps
  };
  std::vector<Probed> probed;
  if (options_.progress) {
    // The format is a text of the resource bundle: only its "%s" is filled.
    std::string text = options_.texts.writingAlbum;
    size_t at = text.find("%s");
    std::string name = album.path.substr(album.path.rfind('\\') + 1);
    if (at != std::string::npos)
      text.replace(at, 2, name);
    ShowText(1, text);
  }
  std::optional<std::vector<sys::FileEntry>> songs = ListSongFiles(linuxFolder);
  for (const sys::FileEntry& f : songs.value_or(std::vector<sys::FileEntry>{})) {
    std::optional<std::string> name = sys::FromUtf8(f.name);
    std::string full = album.folder + "\\" + name.value_or("");
    if (!name || full.size() > kMaxRecordPath) {
      ++skipped_;
      continue;
    }
    Probed p;
    if (!ProbeSongRecord(linuxFolder + "/" + f.name, p.record))
      continue;
    SetField(p.record.fileName, *name);
    out.totalSize += static_cast<uint32_t>(f.size);
    if (options_.progress)
      ShowText(2, FieldText(p.record.title));
    probed.push_back(p);
  }
  ShowText(2, " ");

  if (keepNumbers && old) {
    // Exact names first, then names ignoring case; each old song once, so
    // that two files differing only in case keep their own numbers.
    album.oldSongs.clear();
    for (const SongRecord& r : old->records)
      album.oldSongs.push_back({r.number, false, FieldText(r.fileName)});
    for (int pass = 0; pass < 2; ++pass) {
      std::unordered_multimap<std::string, AlbumFile::OldSong*> names;
      for (AlbumFile::OldSong& o : album.oldSongs)
        if (!o.found && o.number != 0)
          names.emplace(pass == 0 ? o.fileName : FoldAlbumText(o.fileName), &o);
      for (Probed& p : probed) {
        if (p.keep)
          continue;
        std::string name = FieldText(p.record.fileName);
        auto it = names.find(pass == 0 ? name : FoldAlbumText(name));
        if (it == names.end())
          continue;
        p.keep = it->second->number;
        it->second->found = true;
        names.erase(it);
      }
    }
    album.oldSongs.clear();
  }

  RemoveAlbumSongs(album.number);
  for (size_t i = 0; i < probed.size(); ++i) {
    Probed& p = probed[i];
    if (p.keep && !byNumber_.count(p.keep)) {
      p.record.number = p.keep;
      AddEntry(EntryFromRecord(p.record, album.number, static_cast<uint32_t>(i),
                               TitleGroupOf(FieldText(p.record.title), intl_, options_.texts)),
               false);
    } else {
      AssignSongNumber(album, p.record, static_cast<uint32_t>(i));
    }
    out.records.push_back(p.record);
  }
  album.DropCaches();
  if (!album::WriteLocalAlbum(linuxPath, out)) {
    // The old file is whole: the index goes back to it.
    RemoveAlbumSongs(album.number);
    if (old)
      ReindexAlbum(album, *old);
    return 0;
  }
  album.header = std::move(out);
  album.header.songCount = static_cast<uint32_t>(album.header.records.size());
  album.header.records.clear();
  album.headerDirty = false;
  dirty_ = true;
  return 1;
}

int AlbumDatabase::AddSubAlbumFolder(std::string_view folder, bool keepWhole) {
  std::string text(folder);
  if (!keepWhole) {
    size_t cut = text.rfind('\\');
    if (cut != std::string::npos)
      text.resize(cut);
  }
  // A Linux folder is kept in its stored form.
  if (!text.empty() && text[0] == '/') {
    std::optional<std::string> stored =
        sys::ToStoredPath(sys::ToUtf8(text), options_.volumes.drives);
    if (!stored)
      return 0;
    text = *stored;
  }
  while (text.size() > 3 && text.back() == '\\')
    text.pop_back();
  if (text.empty() || text.size() > kMaxFolderBytes)
    return 0;
  ++listCounter_;
  subAlbumList_.push_back({listCounter_, text, StoredAlbumPath(listCounter_)});
  return 1;
}

bool AlbumDatabase::WriteMaster() {
  MasterAlbum m;
  for (const auto& a : albums_) {
    SubAlbumRecord s;
    s.number = a->number;
    s.generation = static_cast<uint16_t>(a->header.generation);
    s.albumPath = a->path;
    s.folder = a->folder;
    s.songCount = a->header.songCount;
    m.subAlbums.push_back(std::move(s));
  }
  m.entries.reserve(byTitle_.size());
  for (const IndexedSong* s : byTitle_)
    m.entries.push_back(s->e);
  if (!WriteMasterAlbum(MasterPath(), m))
    return false;
  for (auto& a : albums_)
    a->indexedGeneration = static_cast<uint16_t>(a->header.generation);
  dirty_ = false;
  // Album files of runs that died before their master was written.
  DeleteUnreferencedAlbumFiles();
  return true;
}

void AlbumDatabase::DeleteUnreferencedAlbumFiles() {
  std::unordered_set<std::string> referenced;
  for (const auto& a : albums_) {
    std::string p = Linux(a->path);
    referenced.insert(p.substr(p.rfind('/') + 1));
  }
  std::optional<std::vector<sys::FileEntry>> files = sys::ListFolder(albumFolder_, "Song*.alb");
  for (const sys::FileEntry& f : files.value_or(std::vector<sys::FileEntry>{}))
    if (!f.isFolder && IsAlbumFileName(f.name) && !referenced.count(f.name))
      unlink((albumFolder_ + f.name).c_str());
}

bool AlbumDatabase::FullRebuild() {
  // The new albums go to file names no present file has; the old files stay
  // until the new "Song.alb" is whole.
  std::unordered_set<std::string> present;
  std::optional<std::vector<sys::FileEntry>> files = sys::ListFolder(albumFolder_, "Song*.alb");
  for (const sys::FileEntry& f : files.value_or(std::vector<sys::FileEntry>{}))
    present.insert(FoldAlbumText(f.name));
  std::vector<std::unique_ptr<AlbumFile>> fresh;
  std::unordered_set<std::string> made; // folded folders
  int fileNumber = 0;
  for (const ListEntry& entry : subAlbumList_) {
    if (!made.insert(FoldAlbumText(entry.folder)).second)
      continue;
    char name[32];
    do
      std::snprintf(name, sizeof name, "Song%04d.alb", ++fileNumber);
    while (present.count(FoldAlbumText(name)));
    auto album = std::make_unique<AlbumFile>();
    album->number = static_cast<uint16_t>(entry.number);
    album->folder = entry.folder;
    album->path = StoredAlbumPath(fileNumber);
    fresh.push_back(std::move(album));
  }
  Clear();
  albums_ = std::move(fresh);
  albumMapBuilt_ = false;
  const int entries = static_cast<int>(subAlbumList_.size());
  ShowBar(1);
  for (size_t k = 0; k < albums_.size(); ++k) {
    auto& album = albums_[k];
    if (k > 0)
      ShowText(2, album->folder);
    bool written = !album->path.empty() && WriteLocalAlbum(*album);
    ShowBar(std::min(100, (100 + 100 * static_cast<int>(k)) / entries));
    if (!written) {
      // Back to the catalogue on disk, which nothing has touched.
      for (auto& a : albums_)
        if (!a->path.empty())
          unlink(Linux(a->path).c_str());
      Clear();
      ReadMaster();
      return false;
    }
  }
  if (!WriteMaster()) {
    for (auto& a : albums_)
      unlink(Linux(a->path).c_str());
    Clear();
    ReadMaster();
    return false;
  }
  return true;
}

bool AlbumDatabase::IncrementalRebuild() {
  const int entries = static_cast<int>(subAlbumList_.size());
  int k = 0;
  ShowBar(1);
  // The bar moves once an entry is done, whichever way it ends.
  struct Step {
    const AlbumDatabase* db;
    int k, entries;
    ~Step() { db->ShowBar(std::min(100, 100 * k / entries)); }
  };
  for (const ListEntry& entry : subAlbumList_) {
    Step step{this, ++k, entries};
    AlbumFile* album = nullptr;
    for (auto& a : albums_)
      if (AlbumTextEqual(a->folder, entry.folder))
        album = a.get();
    if (!album) {
      // New albums take the highest number + 1, and a file name no album has.
      auto fresh = std::make_unique<AlbumFile>();
      fresh->number = static_cast<uint16_t>(HighestAlbumNumber() + 1);
      fresh->folder = entry.folder;
      int n = fresh->number;
      auto taken = [&](const std::string& path) {
        return std::any_of(albums_.begin(), albums_.end(),
                           [&](const auto& a) { return AlbumTextEqual(a->path, path); });
      };
      fresh->path = StoredAlbumPath(n);
      for (int k = 1; taken(fresh->path); ++k)
        fresh->path = StoredAlbumPath(k);
      if (fresh->path.empty())
        continue;
      albums_.push_back(std::move(fresh));
      albumMapBuilt_ = false;
      if (!WriteLocalAlbum(*albums_.back())) {
        albums_.pop_back();
        albumMapBuilt_ = false;
        continue;
      }
      album = albums_.back().get();
    } else if (IsAlbumStale(*album) == 1) {
      RewriteLocalAlbum(*album);
    }
    album->visited = true;
  }
  return true;
}

int AlbumDatabase::Rebuild(int mode) {
  if (!LocalOnly())
    return 0;
  CloseQueries();
  if (subAlbumList_.empty() || (mode != 0 && mode != 1)) {
    subAlbumList_.clear();
    listCounter_ = 0;
    return 0;
  }
  if (options_.progress)
    options_.progress->Open(options_.texts.building);
  bool ok;
  std::vector<std::string> dropped;
  if (mode == 1) {
    ok = FullRebuild();
  } else {
    if (addedFolders_)
      for (auto& a : albums_)
        a->visited = false;
    ok = IncrementalRebuild();
    if (addedFolders_) {
      for (size_t i = albums_.size(); i-- > 0;)
        if (!albums_[i]->visited) {
          RemoveAlbumSongs(albums_[i]->number);
          dropped.push_back(Linux(albums_[i]->path));
          albums_.erase(albums_.begin() + static_cast<ptrdiff_t>(i));
          albumMapBuilt_ = false;
        }
      addedFolders_ = false;
    }
    if (ok)
      ok = WriteMaster();
    // Files of dropped albums go once no master names them.
    if (ok)
      for (const std::string& p : dropped)
        unlink(p.c_str());
  }
  subAlbumList_.clear();
  listCounter_ = 0;
  if (options_.progress)
    options_.progress->Close(options_.texts.built);
  return ok ? 1 : 0;
}

bool AlbumDatabase::MayDropAlbum(const AlbumFile& album) const {
  if (IsCdRomDrive(album.folder, options_.volumes))
    return false;
  // The folder's parent must be there, on a fixed volume: a folder of an
  // unmounted disk or a stick is only away for now.
  std::string folder = Linux(album.folder);
  while (folder.size() > 1 && folder.back() == '/')
    folder.pop_back();
  size_t slash = folder.rfind('/');
  if (folder.empty() || slash == std::string::npos)
    return false;
  std::string parent = slash == 0 ? "/" : folder.substr(0, slash);
  return IsFolder(parent) &&
         sys::VolumeKindOfPath(parent, options_.volumes.mounts) == sys::VolumeKind::kFixed;
}

int AlbumDatabase::CheckAlbumFolders() {
  if (!LocalOnly())
    return 0;
  const std::string ini = ConfigPath();
  if (sys::IniGetInt(ini, "AlbManager", "AlbumCheck", 1) == 0)
    return 0;
  CloseQueries();
  Status(kStatusCheckStart);
  // Each listed favourite's path, to follow it to its number afterwards.
  if (store_)
    store_->MakePathLists();
  bool failed = false;
  // The staleness tests only read folders: a few threads share them, the
  // changes are then made here in album order.
  std::vector<int> staleness(albums_.size());
  {
    std::atomic<size_t> next{0};
    auto work = [&] {
      for (size_t i; (i = next++) < albums_.size();)
        staleness[i] = IsAlbumStale(*albums_[i]);
    };
    size_t threads = std::min<size_t>(
        {4, std::max(1u, std::thread::hardware_concurrency()), albums_.size() / 64 + 1});
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t)
      pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
      t.join();
  }
  bool changed = false;
  std::vector<std::string> dropped;
  for (size_t i = 0, k = 0; i < albums_.size(); ++k) {
    AlbumFile& album = *albums_[i];
    int stale = staleness[k];
    if (stale == 1) {
      Status(kStatusAlbumStale);
      RewriteLocalAlbum(album);
      changed = true;
    } else if (stale == -1) {
      Status(kStatusFolderMissing);
      if (MayDropAlbum(album)) {
        RemoveAlbumSongs(album.number);
        dropped.push_back(Linux(album.path));
        albums_.erase(albums_.begin() + static_cast<ptrdiff_t>(i));
        albumMapBuilt_ = false;
        changed = true;
        continue;
      }
    }
    ++i;
  }
  if (changed && !(failed = !WriteMaster()))
    for (const std::string& p : dropped)
      unlink(p.c_str());

  // "Dir1", "Dir2", ... up to the first missing one; the keys are deleted
  // only once the catalogue holding their folders is written.
  std::vector<std::string> keys;
  for (int i = 1;; ++i) {
    std::string key = "Dir" + std::to_string(i);
    std::string value = sys::IniGetString(ini, "AlbManager", key, "0");
    if (value.empty() || value[0] == '0')
      break;
    if (value.size() > 3 && value.back() == '\\')
      value.pop_back();
    AddSubAlbumFolder(value, true);
    keys.push_back(key);
  }
  if (!keys.empty()) {
    addedFolders_ = true;
    Status(kStatusFoldersAdded);
    // All keys in one replacement of the file: a process killed half way
    // must not leave "Dir5" without "Dir1" (never to be read again).
    if (Rebuild(0))
      sys::IniUpdate(ini, [&](sys::IniDocument& doc) {
        for (const std::string& key : keys)
          doc.DeleteKey("AlbManager", key);
        return true;
      });
    else
      failed = true;
  }
  if (changed || !keys.empty()) {
    Status(kStatusFindingSongs);
    // After a failed rebuild the lists stay as they were.
    if (store_ && !failed)
      store_->Renumber();
  }
  Status(kStatusCheckDone);
  return 1;
}

int AlbumDatabase::GetSongDataBySongNum(uint32_t number, SongRecord& out) const {
  if (number == 0 || byTitle_.empty())
    return 0;
  auto it = byNumber_.find(number);
  if (it == byNumber_.end() || !Shows(it->second->e))
    return 0;
  const SongIndexEntry& e = it->second->e;
  const AlbumFile* album = GetAlbumByNumber(e.subAlbum);
  if (!album)
    return 0;
  if (!album->mapped)
    album->mapped = MappedAlbum::Map(Linux(album->path));
  SpanSource source({album->mapped->data, album->mapped->size});
  if (!album->mapped->data || FindSongRecord(source, number, e.position, out) != 1) {
    out.type = e.type;
    return 0;
  }
  SetField(out.fileName, FullSongPath(*album, e, FieldText(out.fileName)));
  out.type = e.type;
  return 1;
}

const SongIndexEntry* AlbumDatabase::EntryByNumber(uint32_t number) const {
  auto it = byNumber_.find(number);
  return it == byNumber_.end() ? nullptr : &it->second->e;
}

std::optional<std::string> AlbumDatabase::SongPath(uint32_t number) const {
  const SongIndexEntry* e = EntryByNumber(number);
  const AlbumFile* album = e ? GetAlbumByNumber(e->subAlbum) : nullptr;
  if (!album)
    return std::nullopt;
  return SongFilePath(album->folder, e->fileName);
}

std::string AlbumDatabase::FullSongPath(const AlbumFile& album, const SongIndexEntry& e,
                                        std::string_view recordName) const {
  if (!album.internet)
    return SongFilePath(album.folder, recordName);
  if (albumMode_ != 2) {
    if (recordName.starts_with("http"))
      return std::string(recordName);
    return album.baseLocation + "/" + std::string(recordName);
  }
  // Mode 2: a downloaded song's file in the download folder (the index
  // holds its name unscrambled); a song not downloaded has no file.
  static constexpr std::string_view kNotDownloaded = "Song for Internet Velmorith";
  if (e.type != 'T' && e.type != 'B' && e.type != 'W')
    return std::string(kNotDownloaded);
  std::optional<std::string> path =
      SongDownloadPath(downloadFolder_, album.baseLocation, e.fileName);
  std::optional<std::string> stored =
      path ? sys::ToStoredPath(*path, options_.volumes.drives) : std::nullopt;
  return stored ? *stored : std::string(kNotDownloaded);
}

std::string AlbumDatabase::SongFilePath(std::string_view folder, std::string_view fileName) {
  std::string path(folder);
  if (path.empty() || path.back() != '\\')
    path += '\\';
  path += fileName;
  return path;
}

uint32_t AlbumDatabase::FindRenamedSong(std::string_view folder, std::string_view title,
                                        const std::array<uint8_t, 16>& songCode, uint32_t newerThan,
                                        const std::vector<uint32_t>& taken) const {
  for (const auto& album : albums_) {
    if (!AlbumTextEqual(album->folder, folder))
      continue;
    auto it = byAlbum_.find(album->number);
    if (it == byAlbum_.end())
      return 0;
    for (const IndexedSong* s : it->second)
      if (s->e.number > newerThan && s->e.title == title && s->e.songCode == songCode &&
          std::find(taken.begin(), taken.end(), s->e.number) == taken.end())
        return s->e.number;
    return 0;
  }
  return 0;
}

uint32_t AlbumDatabase::FindSongByPath(std::string_view path) const {
  size_t cut = path.rfind('\\');
  std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
  if (name.empty())
    return 0;
  auto [from, to] = byName_.equal_range(FoldAlbumText(name));
  uint32_t best = 0;
  for (auto it = from; it != to; ++it) {
    const AlbumFile* album = GetAlbumByNumber(it->second->e.subAlbum);
    if (!album)
      continue;
    if (AlbumTextEqual(SongFilePath(album->folder, it->second->e.fileName), path) &&
        (best == 0 || it->second->e.number < best))
      best = it->second->e.number;
  }
  return best;
}

int AlbumDatabase::GetSongRecordAndFolder(uint32_t number, SongRecord& record,
                                          std::string& folder) const {
  auto it = number ? byNumber_.find(number) : byNumber_.end();
  if (it == byNumber_.end())
    return 0;
  const SongIndexEntry& e = it->second->e;
  const AlbumFile* album = GetAlbumByNumber(e.subAlbum);
  if (!album)
    return 0;
  if (!album->mapped)
    album->mapped = MappedAlbum::Map(Linux(album->path));
  SpanSource source({album->mapped->data, album->mapped->size});
  if (!album->mapped->data || FindSongRecord(source, number, e.position, record) != 1)
    return 0;
  folder = album->folder;
  return 1;
}

uint32_t AlbumDatabase::GetTotalNumOfSong() const {
  if (!LocalOnly()) {
    // A mode album's total, whatever the context; in mode 2 the filter
    // counts the downloaded songs of its category.
    if (filter_ == 0)
      return static_cast<uint32_t>(byTitle_.size());
    UpdateFiltered();
    return albumMode_ == 2 ? filteredDownloaded_ : filteredCount_;
  }
  if (context_ < 0) {
    if (filter_ == 0)
      return static_cast<uint32_t>(byTitle_.size());
    UpdateFiltered();
    return filteredCount_;
  }
  // A list's songs the filter shows: the count of the list handed out.
  if (filter_ != 0)
    return static_cast<uint32_t>(ContextNumbers().size());
  return GetNumOfSongInMyAlbum(context_);
}

uint32_t AlbumDatabase::GetMaxSongNum() const {
  if (filter_ == 0)
    return highest_;
  UpdateFiltered();
  return filteredMax_;
}

uint32_t AlbumDatabase::GetNumOfSongInMyAlbum(int32_t context) const {
  if (context < 0)
    return 0;
  if (context < 0x10000)
    return store_ ? store_->GetNumOfSongInMyAlbum(context) : 0;
  const AlbumFile* album = GetAlbumByIndex(context >> 16);
  return album ? album->header.songCount : 0;
}

std::vector<int32_t> AlbumDatabase::ContextNumbers() const {
  // The filter leaves out the songs it hides, in every context (a listed
  // song the catalogue no longer knows stays in a my-album list without it).
  std::vector<int32_t> numbers;
  if (!LocalOnly() && context_ >= 0 && context_ < 0x10000)
    return numbers; // the my-album lists name local songs
  auto shows = [&](uint32_t n) {
    const SongIndexEntry* e = filter_ ? EntryByNumber(n) : nullptr;
    return filter_ == 0 || (e && Shows(*e));
  };
  if (context_ < 0) {
    numbers.reserve(byTitle_.size());
    for (const IndexedSong* s : byTitle_)
      if (Shows(s->e))
        numbers.push_back(static_cast<int32_t>(s->e.number));
  } else if (context_ >= 0x10000) {
    if (const AlbumFile* album = GetAlbumByIndex(context_ >> 16)) {
      BuildLists();
      auto it = albumLists_.find(album->number);
      if (it != albumLists_.end())
        for (uint32_t n : it->second)
          if (shows(n))
            numbers.push_back(static_cast<int32_t>(n));
    }
  } else if (const MyAlbumList* list = store_ ? store_->GetMyAlbum(context_) : nullptr) {
    for (uint32_t n : list->songs)
      if (shows(n))
        numbers.push_back(static_cast<int32_t>(n));
  }
  return numbers;
}

int AlbumDatabase::GetTotalSongList(int32_t* out, size_t capacityBytes) const {
  // One rule for the count and the copy: the numbers of the context's list.
  if (!LocalOnly() && context_ >= 0 && context_ < 0x10000)
    return 0;
  std::vector<int32_t> numbers = ContextNumbers();
  if (!out || numbers.size() > capacityBytes / 4)
    return 0;
  std::copy(numbers.begin(), numbers.end(), out);
  return 1;
}

int AlbumDatabase::GetSubAlbDataPath(int oneBased, char* buffer, size_t size) const {
  const AlbumFile* album = GetAlbumByIndex(oneBased);
  if (!album || !buffer || size == 0)
    return 0;
  std::string_view folder = CutText(album->folder, size - 1);
  std::copy(folder.begin(), folder.end(), buffer);
  buffer[folder.size()] = '\0';
  return 1;
}

const char* AlbumDatabase::GetSubAlbumName(int oneBased) const {
  const AlbumFile* album = GetAlbumByIndex(oneBased);
  return album ? album->header.name.c_str() : nullptr;
}

int AlbumDatabase::RenameSubAlbum(std::string_view oldName, std::string_view newName) {
  if (!LocalOnly())
    return 0;
  for (auto& album : albums_) {
    if (album->header.name != oldName)
      continue;
    album->header.name = std::string(CutText(newName, 47));
    album->headerDirty = true;
    return 1;
  }
  return 0;
}

void AlbumDatabase::BuildLists() const {
  if (groupsBuilt_)
    return;
  for (auto& l : groupLists_)
    l.clear();
  albumLists_.clear();
  for (const IndexedSong* s : byTitle_) {
    int g = s->e.titleGroup;
    size_t list = g >= 0 && g < 14 && !intl_ ? 0 : g >= 14 && g < 40 ? 1 : 2;
    groupLists_[list].push_back(s->e.number);
    albumLists_[s->e.subAlbum].push_back(s->e.number);
  }
  groupsBuilt_ = true;
}

const uint32_t* AlbumDatabase::GetSongListOfSubAlbum(int oneBased) const {
  const AlbumFile* album = GetAlbumByIndex(oneBased);
  if (!album)
    return nullptr;
  BuildLists();
  auto it = albumLists_.find(album->number);
  block_.assign(1, 0);
  if (it != albumLists_.end())
    block_.insert(block_.end(), it->second.begin(), it->second.end());
  block_[0] = static_cast<uint32_t>(block_.size() - 1);
  return block_.data();
}

const uint32_t* AlbumDatabase::GetNewSongListBlock() const {
  return newSongBlock_.size() > 1 ? newSongBlock_.data() : nullptr;
}

int AlbumDatabase::RemoveSongs(int32_t* numbers, int count) {
  if (!LocalOnly())
    return 0;
  if (!numbers)
    return count > 0 ? 0 : 1;
  for (int i = 0; i < count; ++i) {
    auto it = numbers[i] > 0 ? byNumber_.find(static_cast<uint32_t>(numbers[i])) : byNumber_.end();
    if (it == byNumber_.end())
      continue;
    IndexedSong* song = it->second;
    AlbumFile* album = const_cast<AlbumFile*>(GetAlbumByNumber(song->e.subAlbum));
    if (!album)
      continue;
    // The song's own folder; a file of the same name in the removed-songs
    // folder stays, the song takes the next free name.
    const std::string from = Linux(album->folder + "\\" + song->e.fileName);
    const std::string name = from.substr(from.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    bool moved = false;
    for (int k = 1; !moved && k <= 1000; ++k) {
      std::string to =
          removedFolder_ + (k == 1 ? name : stem + " (" + std::to_string(k) + ")" + ext);
      if (access(to.c_str(), F_OK) == 0)
        continue;
      moved = sys::MoveFile(from, to);
      if (!moved && access(to.c_str(), F_OK) != 0)
        break; // not a name clash: the move itself failed
    }
    if (!moved)
      return 0;
    auto& list = byAlbum_[song->e.subAlbum];
    list.erase(std::remove(list.begin(), list.end(), song), list.end());
    Unlink(song);
    delete song;
    numbers[i] = 0;
    if (album->header.songCount > 0)
      --album->header.songCount;
    dirty_ = true;
  }
  return 1;
}

const AlbumFile* AlbumDatabase::GetAlbumByIndex(int oneBased) const {
  if (oneBased < 1 || static_cast<size_t>(oneBased) > albums_.size())
    return nullptr;
  return albums_[static_cast<size_t>(oneBased - 1)].get();
}

const AlbumFile* AlbumDatabase::GetAlbumByNumber(uint16_t number) const {
  if (!albumMapBuilt_) {
    albumByNumber_.clear();
    for (const auto& a : albums_)
      albumByNumber_.emplace(a->number, a.get());
    albumMapBuilt_ = true;
  }
  auto it = albumByNumber_.find(number);
  return it == albumByNumber_.end() ? nullptr : it->second;
}

const std::vector<uint32_t>* AlbumDatabase::GetTitleGroupList(int group) const {
  BuildLists();
  if (intl_)
    return &groupLists_[group >= 14 && group < 40 ? 1 : 2];
  return &groupLists_[group < 14 ? 0 : group < 40 ? 1 : 2];
}

std::vector<const SongIndexEntry*> AlbumDatabase::Entries() const {
  std::vector<const SongIndexEntry*> out;
  out.reserve(byTitle_.size());
  for (const IndexedSong* s : byTitle_)
    out.push_back(&s->e);
  return out;
}

} // namespace album

// The album modes of the database: the switch between the local album and
// the three catalogues of a server, and the steps that fetch and build a
// mode album (the catalogue work itself is the ModeCatalogue's).
#include "album/albumdatabase.h"

#include "platform/sys/ini.h"
#include "platform/sys/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

namespace album {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

} // namespace

uint32_t AlbumDatabase::Now() const {
  if (options_.clock)
    return options_.clock();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count());
}

int AlbumDatabase::SetAlbumModeTo(int mode, bool force) {
  if (mode < kLocalMode || mode > kLastInternetMode || albumFolder_.empty())
    return 0;
  if (mode == albumMode_ && !force)
    return 1;
  CloseQueries();
  if (albumMode_ == 0)
    Flush(); // the local catalogue is written before its index is dropped
  else if (albumMode_ == 2 && mode_ && mode_->dirty)
    mode_->Write(Now());
  albumMode_ = mode;
  thunkName_ = ModeThunkName(mode);
  replaceAll_ = false;
  mode_.reset();
  if (mode != 0) {
    mode_ = std::make_unique<ModeCatalogue>(mode, albumFolder_, downloadFolder_);
    if (!Exists(mode_->ModeAlbumPath())) {
      // Built from the index and rolls already on disk, fetching nothing.
      noFetch_ = true;
      if (ProcessThunk() && MergeRollFiles())
        UpdateMasterAlbum();
      noFetch_ = false;
    }
  }
  LoadCurrentIndex();
  return 1;
}

int AlbumDatabase::LoadCurrentIndex() {
  CloseQueries();
  Clear();
  albumListLut_ = 0;
  newSongBlock_.clear();
  int read = 0;
  if (albumMode_ == 0) {
    if (access(MasterPath().c_str(), F_OK) == 0)
      read = ReadMaster();
  } else if (mode_) {
    read = mode_->Read();
    LoadModeIndex();
  }
  SetCategoryFilter(filter_);
  return read;
}

void AlbumDatabase::LoadModeIndex() {
  Clear();
  std::unordered_map<uint16_t, uint32_t> counts;
  for (const SongIndexEntry& e : mode_->entries)
    ++counts[e.subAlbum];
  for (const ModeRoll& r : mode_->rolls) {
    auto album = std::make_unique<AlbumFile>();
    album->number = r.number;
    album->internet = true;
    album->folder = r.url;
    album->path = sys::ToStoredPath(mode_->RollPath(r), options_.volumes.drives).value_or("");
    album->baseLocation = r.baseLocation;
    std::string name(LastUrlComponent(r.fileName));
    album->header.name = name.substr(0, name.rfind('.'));
    album->header.songCount = counts[r.number];
    albums_.push_back(std::move(album));
  }
  albumMapBuilt_ = false;
  byNumber_.reserve(mode_->entries.size());
  for (const SongIndexEntry& e : mode_->entries)
    AddEntry(e, true);
  albumListLut_ = mode_->writtenAt;
  if (!mode_->newSongs.empty()) {
    newSongBlock_.assign(1, static_cast<uint32_t>(mode_->newSongs.size()));
    newSongBlock_.insert(newSongBlock_.end(), mode_->newSongs.begin(), mode_->newSongs.end());
  }
}

void AlbumDatabase::SetINetServerUrl(std::string_view url) {
  server_ = ServerUrlWithoutSlash(url);
}

int AlbumDatabase::INetServerSettingDlg() {
  if (!options_.serverDialog || albumFolder_.empty())
    return 0;
  std::optional<std::string> text = options_.serverDialog(server_);
  if (!text)
    return 0;
  std::optional<std::string> url = NormaliseServerUrl(*text);
  if (!url)
    return 0; // refused, not cut: the old URL stays
  SetINetServerUrl(*url);
  return sys::IniWriteString(ConfigPath(), "OnLine", "Server", server_) ? 1 : 0;
}

bool AlbumDatabase::SetThunkFileName(std::string_view name) {
  if (!IsPlainFileName(name))
    return false;
  thunkName_ = std::string(name);
  return true;
}

int AlbumDatabase::INetDownLoadiThunk() {
  return INetUpdate() != kIndexNotFetched ? 1 : 0;
}

int AlbumDatabase::INetUpdate() {
  if (albumMode_ == 0 || !mode_ || !options_.download)
    return kIndexNotFetched;
  std::string_view name = LastUrlComponent(thunk_);
  if (albumMode_ == 3) {
    // Mode 3 keeps the index under the name its location gives.
    if (thunk_.find('/') == std::string::npos || !SetThunkFileName(name))
      return kIndexNotFetched;
  }
  if (name.empty() || !IsPlainFileName(thunkName_))
    return kIndexNotFetched;
  const std::string url = server_ + "/" + std::string(name);
  if (!options_.download(url, albumFolder_ + thunkName_, std::string()))
    return kIndexNotFetched;
  return ProcessThunk() && MergeRollFiles() ? kCatalogueUpdated : kCatalogueNotUpdated;
}

int AlbumDatabase::ProcessThunk() {
  if (albumMode_ == 0 || !mode_ || !IsPlainFileName(thunkName_))
    return 0;
  int read = mode_->ReadThunk(albumFolder_ + thunkName_, server_, thunkRolls_, thunkNewSongs_);
  thunkMissing_ = mode_->thunkMissing;
  if (read != 1) {
    thunkRolls_.clear();
    thunkNewSongs_.clear();
    return 0;
  }
  if (noFetch_)
    return 1;
  if (!lastThunkName_.empty() && !AlbumTextEqual(lastThunkName_, thunkName_)) {
    if (!options_.confirmThunkChange || !options_.confirmThunkChange()) {
      thunkRolls_.clear();
      thunkNewSongs_.clear();
      return 0;
    }
    // Every roll comes again from the new index; the old index file goes
    // only once the new mode album is written.
    replaceAll_ = true;
    replacedThunk_ = lastThunkName_;
  }
  lastThunkName_ = thunkName_;
  return 1;
}

int AlbumDatabase::MergeRollFiles() {
  if (!mode_)
    return 0;
  mode_->newSongs = thunkNewSongs_;
  mode_->Merge(thunkRolls_);
  thunkRolls_.clear();
  if (replaceAll_)
    for (ModeRoll& r : mode_->rolls)
      if (!r.toDelete)
        r.downloadNeeded = true;
  if (noFetch_)
    return 1;
  const bool fetched = mode_->FetchRolls([this](const std::string& url, const std::string& file) {
    return options_.download && options_.download(url, file, std::string());
  });
  if (!fetched) {
    // The chain stopped: the catalogue in memory is the mode album's again.
    replaceAll_ = false;
    mode_->Read();
    return 0;
  }
  return UpdateMasterAlbum();
}

void AlbumDatabase::UnpackRollFiles() {
  if (mode_)
    mode_->UnpackRolls();
}

int AlbumDatabase::UpdateMasterAlbum() {
  if (!mode_)
    return 0;
  const bool written = mode_->Update(Now());
  if (written) {
    reservations_.Clear();
    if (replaceAll_ && !replacedThunk_.empty() && !AlbumTextEqual(replacedThunk_, thunkName_))
      ::unlink((albumFolder_ + replacedThunk_).c_str());
  }
  replaceAll_ = false;
  replacedThunk_.clear();
  if (!noFetch_)
    LoadCurrentIndex();
  return written ? 1 : 0;
}

const uint32_t* AlbumDatabase::MakeUpdatedSubAlbumList(const std::string& thunkPath) {
  if (albumMode_ != 3)
    return nullptr;
  if (thunkMissing_ || !mode_)
    SetAlbumModeTo(3, true);
  std::vector<ModeCatalogue::ThunkRoll> rolls;
  std::vector<uint32_t> newSongs;
  if (mode_->ReadThunk(thunkPath, server_, rolls, newSongs) != 1)
    return nullptr;
  std::vector<uint16_t> updated = mode_->Merge(rolls);
  updatedBlock_.assign(1, static_cast<uint32_t>(updated.size()));
  updatedBlock_.insert(updatedBlock_.end(), updated.begin(), updated.end());
  return updatedBlock_.data();
}

int AlbumDatabase::ReadModeAlbum() {
  if (!mode_)
    return 0;
  return LoadCurrentIndex();
}

int AlbumDatabase::WriteModeAlbum() {
  return mode_ && mode_->Write(Now()) ? 1 : 0;
}

void AlbumDatabase::SetEntryType(uint32_t number, char type) {
  auto it = byNumber_.find(number);
  if (it == byNumber_.end() || it->second->e.type == type)
    return;
  it->second->e.type = type;
  ++indexGeneration_; // counts, picks and singer lists follow the letter
}

int AlbumDatabase::DownLoadSongBySongNum(uint32_t number) {
  if (albumMode_ != 2 || !mode_ || number == 0 || !options_.download)
    return 0;
  const SongIndexEntry* e = mode_->EntryByNumber(number);
  if (!e)
    return 0;
  const std::string title = e->title;
  const int got =
      mode_->DownloadSong(number, server_, [&](const std::string& url, const std::string& file) {
        return options_.download(url, file, title);
      });
  if (got == 1)
    SetEntryType(number, Upper(mode_->EntryByNumber(number)->type));
  return got;
}

int AlbumDatabase::RemoveDownloadedSongBySongNum(uint32_t number) {
  if (albumMode_ != 2 || !mode_)
    return 0;
  const int removed = mode_->RemoveDownloadedSong(number);
  if (const SongIndexEntry* e = mode_->EntryByNumber(number))
    SetEntryType(number, e->type);
  return removed;
}

} // namespace album

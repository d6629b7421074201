#include "album/myalbum.h"

#include "album/albumdatabase.h"
#include "album/albumformats.h"
#include "album/songrecord.h"
#include "platform/sys/atomic_file.h"
#include "platform/sys/bytes.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace album {
namespace {

constexpr size_t kMyAlbumHeaderSize = 70;
constexpr int kMaxLists = 0x7FFF;

void PutName(sys::ByteWriter& w, std::string_view name) {
  std::string_view cut = CutText(name, kMyAlbumNameSize - 1);
  w.Bytes(cut.data(), cut.size());
  for (size_t i = cut.size(); i < kMyAlbumNameSize; ++i)
    w.U8(0);
}

} // namespace

std::string BareMyAlbumName(std::string_view name) {
  name = CutText(name.substr(0, name.find('\0')), kMyAlbumNameSize - 1);
  // Blanks and " (12)", the count a tree shows after the name, as often as
  // they end it: a bare name stays as it is.
  for (bool cut = true; cut;) {
    cut = false;
    while (!name.empty() && name.back() == ' ') {
      name.remove_suffix(1);
      cut = true;
    }
    if (name.size() >= 4 && name.back() == ')') {
      size_t open = name.rfind('(');
      if (open != std::string_view::npos && open > 0 && open + 2 < name.size() &&
          name[open - 1] == ' ' &&
          std::all_of(name.begin() + static_cast<ptrdiff_t>(open) + 1, name.end() - 1,
                      [](char c) { return c >= '0' && c <= '9'; })) {
        name = name.substr(0, open);
        cut = true;
      }
    }
  }
  return std::string(name);
}

MyAlbumStore::MyAlbumStore(const AlbumDatabase* database, const std::string& folder,
                           std::string_view headerName)
    : db_(database), headerName_(CutText(headerName, kMyAlbumNameSize - 1)) {
  if (!folder.empty())
    path_ = folder + (folder.back() == '/' ? "" : "/") + std::string(kMyAlbumFileName);
}

int MyAlbumStore::Load() {
  if (path_.empty() || access(path_.c_str(), F_OK) != 0)
    return 0;
  std::optional<std::vector<uint8_t>> bytes = ReadAlbumFileBytes(path_);
  int loaded = bytes ? LoadBytes(*bytes) : 0;
  // A file there that does not load whole is kept for whoever wants it back.
  damaged_ = loaded != 1;
  return loaded;
}

int MyAlbumStore::LoadBytes(std::span<const uint8_t> file) {
  lists_.clear();
  modified_ = false;
  if (!HasMagic(file, kFavoriteMagic))
    return 0;
  sys::ByteReader in(file.data(), file.size());
  in.Skip(kMyAlbumHeaderAt);
  if (in.Remaining() < kMyAlbumHeaderSize)
    return 0;
  headerName_ =
      std::string(CutText(in.FixedString(kMyAlbumNameSize).value_or(""), kMyAlbumNameSize - 1));
  int16_t count = in.I16LE().value_or(-1);
  in.Skip(8); // total and reserved: what follows is what counts
  if (count < 0)
    return 0;
  // The directory is bounded by the bytes there, then each list's numbers.
  size_t fit = std::min<size_t>(static_cast<size_t>(count), in.Remaining() / kMyAlbumListEntrySize);
  std::vector<int32_t> sizes;
  lists_.reserve(fit);
  for (size_t i = 0; i < fit; ++i) {
    MyAlbumList list;
    list.name = BareMyAlbumName(in.FixedString(kMyAlbumNameSize).value_or(""));
    list.id = static_cast<int32_t>(i);
    sizes.push_back(in.I32LE().value_or(-1));
    lists_.push_back(std::move(list));
  }
  // The numbers begin after the whole directory: a directory cut short
  // leaves its lists empty.
  bool whole = fit == static_cast<size_t>(count);
  for (size_t i = 0; whole && i < lists_.size(); ++i) {
    if (sizes[i] < 0)
      return 0;
    size_t n = std::min<size_t>(static_cast<size_t>(sizes[i]), in.Remaining() / 4);
    whole = n == static_cast<size_t>(sizes[i]);
    lists_[i].songs.reserve(n);
    for (size_t k = 0; k < n; ++k)
      lists_[i].songs.push_back(in.U32LE().value_or(0));
  }
  return whole ? 1 : 0;
}

std::vector<uint8_t> MyAlbumStore::Encode() const {
  sys::ByteWriter w;
  w.Bytes(kFavoriteMagic.data(), kFavoriteMagic.size());
  PutName(w, headerName_);
  w.I16LE(static_cast<int16_t>(lists_.size()));
  uint32_t total = 0;
  for (const MyAlbumList& l : lists_)
    total += static_cast<uint32_t>(l.songs.size());
  w.U32LE(total);
  w.U32LE(0);
  for (const MyAlbumList& l : lists_) {
    PutName(w, BareMyAlbumName(l.name));
    w.I32LE(static_cast<int32_t>(l.songs.size()));
  }
  for (const MyAlbumList& l : lists_) {
    // Title order from the catalogue's index, folded as the album folds;
    // numbers it does not know go last, in list order.
    std::vector<std::pair<std::string, uint32_t>> keyed;
    std::vector<uint32_t> unknown;
    for (uint32_t n : l.songs) {
      const SongIndexEntry* e = db_ ? db_->EntryByNumber(n) : nullptr;
      if (e)
        keyed.emplace_back(FoldAlbumText(e->title), n);
      else
        unknown.push_back(n);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& k : keyed)
      w.U32LE(k.second);
    for (uint32_t n : unknown)
      w.U32LE(n);
  }
  return w.Take();
}

int MyAlbumStore::Save() {
  if (!modified_ || path_.empty())
    return 0;
  if (damaged_) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".damaged-%lld",
                  static_cast<long long>(std::time(nullptr)));
    std::string aside = path_ + suffix;
    if (access(path_.c_str(), F_OK) == 0 && std::rename(path_.c_str(), aside.c_str()) != 0)
      return 0;
    damagedCopy_ = aside;
    damaged_ = false;
  }
  std::optional<sys::AtomicFile> file = sys::AtomicFile::Create(path_);
  if (!file || !file->Write(Encode()) || !file->Commit())
    return 0;
  for (MyAlbumList& l : lists_)
    l.paths.clear();
  modified_ = false;
  return 1;
}

MyAlbumList* MyAlbumStore::AddMyAlbum(std::string_view name) {
  if (lists_.size() >= static_cast<size_t>(kMaxLists))
    return nullptr;
  int32_t id = 0;
  for (const MyAlbumList& l : lists_)
    id = std::max(id, l.id + 1);
  MyAlbumList list;
  list.name = BareMyAlbumName(name);
  list.id = id;
  lists_.push_back(std::move(list));
  modified_ = true;
  return &lists_.back();
}

int MyAlbumStore::RemoveMyAlbum(int32_t id) {
  auto it = std::find_if(lists_.begin(), lists_.end(), [&](const auto& l) { return l.id == id; });
  if (it == lists_.end())
    return 0;
  lists_.erase(it);
  modified_ = true;
  return 1;
}

int MyAlbumStore::RenameMyAlbum(int32_t id, std::string_view name) {
  if (lists_.empty())
    return 0;
  auto it = std::find_if(lists_.begin(), lists_.end(), [&](const auto& l) { return l.id == id; });
  if (it != lists_.end()) {
    it->name = BareMyAlbumName(name);
    modified_ = true;
  }
  return 1;
}

void MyAlbumStore::RemoveSong(int listPosition, size_t songPosition) {
  if (listPosition < 0 || listPosition >= Count())
    return;
  MyAlbumList& l = lists_[static_cast<size_t>(listPosition)];
  if (songPosition >= l.songs.size())
    return;
  l.songs.erase(l.songs.begin() + static_cast<ptrdiff_t>(songPosition));
  l.paths.clear();
  modified_ = true;
}

bool MyAlbumStore::AddSong(int listPosition, uint32_t number) {
  if (listPosition < 0 || listPosition >= Count())
    return false;
  lists_[static_cast<size_t>(listPosition)].songs.push_back(number);
  modified_ = true;
  return true;
}

const MyAlbumList* MyAlbumStore::GetMyAlbum(int position) const {
  return position >= 0 && position < Count() ? &lists_[static_cast<size_t>(position)] : nullptr;
}

const char* MyAlbumStore::GetNameOfMyAlbum(int position) const {
  const MyAlbumList* l = GetMyAlbum(position);
  return l ? l->name.c_str() : nullptr;
}

const std::vector<MyAlbumList::PathNode>* MyAlbumStore::GetPathList(int position) const {
  const MyAlbumList* l = GetMyAlbum(position);
  return l ? &l->paths : nullptr;
}

uint32_t MyAlbumStore::GetNumOfSongInMyAlbum(int position) const {
  const MyAlbumList* l = GetMyAlbum(position);
  return l ? static_cast<uint32_t>(l->songs.size()) : 0;
}

uint32_t MyAlbumStore::GetSongNumInMyAlbum(int position, int songPosition) const {
  const MyAlbumList* l = GetMyAlbum(position);
  if (!l || songPosition < 0 || static_cast<size_t>(songPosition) >= l->songs.size())
    return 0;
  return l->songs[static_cast<size_t>(songPosition)];
}

int MyAlbumStore::MakePathLists() {
  if (!db_)
    return 0;
  highestBefore_ = db_->HighestSongNumber();
  for (MyAlbumList& l : lists_) {
    l.paths.clear();
    for (size_t i = 0; i < l.songs.size(); ++i) {
      std::optional<std::string> path = db_->SongPath(l.songs[i]);
      if (!path)
        continue;
      const SongIndexEntry* e = db_->EntryByNumber(l.songs[i]);
      l.paths.push_back({std::move(*path), i, e->title, e->songCode});
    }
  }
  return 1;
}

void MyAlbumStore::Renumber() {
  if (!db_)
    return;
  for (MyAlbumList& l : lists_) {
    std::vector<uint32_t> kept;
    kept.reserve(l.songs.size());
    for (const MyAlbumList::PathNode& p : l.paths) {
      uint32_t now = db_->FindSongByPath(p.path);
      if (now == 0) {
        std::string_view folder(p.path);
        folder = folder.substr(0, folder.rfind('\\'));
        now = db_->FindRenamedSong(folder, p.title, p.songCode, highestBefore_, kept);
      }
      if (now >= 1)
        kept.push_back(now);
    }
    if (kept != l.songs) {
      l.songs = std::move(kept);
      modified_ = true;
    }
    l.paths.clear();
  }
  Save();
}

} // namespace album

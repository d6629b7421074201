#include "album/query.h"

#include "album/albumdatabase.h"
#include "album/albumformats.h"
#include "album/albumtext.h"
#include "platform/sys/bytes.h"
#include "platform/sys/unique_fd.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace album {
namespace {

// The length of the character at i: 2 for a lead byte with its trail byte
// within text, else 1.
size_t CharAt(std::string_view text, size_t i) {
  return static_cast<uint8_t>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
}

AlbumMatchIndex::Stamp StampOfStat(const struct stat& st) {
  AlbumMatchIndex::Stamp s;
  s.device = static_cast<uint64_t>(st.st_dev);
  s.inode = static_cast<uint64_t>(st.st_ino);
  s.size = static_cast<uint64_t>(st.st_size);
  s.seconds = st.st_mtim.tv_sec;
  s.nanoseconds = st.st_mtim.tv_nsec;
  return s;
}

} // namespace

MappedAlbum::~MappedAlbum() {
  if (data && bytes.empty())
    munmap(const_cast<uint8_t*>(data), size);
}

std::shared_ptr<MappedAlbum> MappedAlbum::FromBytes(std::vector<uint8_t> bytes) {
  auto m = std::make_shared<MappedAlbum>();
  m->bytes = std::move(bytes);
  if (!m->bytes.empty()) {
    m->data = m->bytes.data();
    m->size = m->bytes.size();
  }
  return m;
}

std::shared_ptr<MappedAlbum> MappedAlbum::Map(const std::string& path, AlbumFileStamp* stamp) {
  auto m = std::make_shared<MappedAlbum>();
  sys::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
    return m;
  if (stamp)
    *stamp = StampOfStat(st);
  if (st.st_size <= 0 || static_cast<uint64_t>(st.st_size) > kMaxAlbumFileSize)
    return m;
  void* p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd.Get(), 0);
  if (p != MAP_FAILED) {
    m->data = static_cast<const uint8_t*>(p);
    m->size = static_cast<size_t>(st.st_size);
  }
  return m;
}

std::string MatchNoSpaces(std::string_view text) {
  std::string out;
  out.reserve(std::min(text.size(), kMaxQueryKey));
  for (size_t i = 0; i < text.size();) {
    size_t n = CharAt(text, i);
    if (n == 1 && text[i] == ' ') {
      ++i;
      continue;
    }
    if (out.size() + n > kMaxQueryKey)
      break; // whole characters only
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

std::string QueryKey(std::string_view text) {
  return FoldAlbumText(MatchNoSpaces(text));
}

bool EndsOnBoundary(std::string_view text, size_t n) {
  size_t i = 0;
  while (i < n)
    i += CharAt(text, i);
  return i == n;
}

int MatchPrefix(std::string_view pattern, std::string_view text) {
  if (pattern.empty() || pattern.size() > text.size() ||
      std::memcmp(pattern.data(), text.data(), pattern.size()) != 0)
    return 0;
  return EndsOnBoundary(text, pattern.size()) ? 1 : 0;
}

int FindSubstringDbcs(std::string_view pattern, std::string_view text) {
  if (pattern.empty())
    return 0;
  for (size_t j = 0; j + pattern.size() <= text.size(); j += CharAt(text, j))
    if (std::memcmp(text.data() + j, pattern.data(), pattern.size()) == 0 &&
        EndsOnBoundary(text.substr(j), pattern.size()))
      return 1;
  return 0;
}

bool AlbumMatchIndex::StampOf(const std::string& path, Stamp& out) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    return false;
  out = StampOfStat(st);
  return true;
}

std::shared_ptr<AlbumMatchIndex> AlbumMatchIndex::Build(const std::string& path) {
  Stamp stamp;
  std::shared_ptr<MappedAlbum> file = MappedAlbum::Map(path, &stamp);
  std::shared_ptr<AlbumMatchIndex> index = Build(std::move(file));
  index->stamp = stamp;
  return index;
}

std::shared_ptr<AlbumMatchIndex> AlbumMatchIndex::Build(std::shared_ptr<MappedAlbum> file) {
  auto index = std::make_shared<AlbumMatchIndex>();
  index->map = std::move(file);
  const MappedAlbum& m = *index->map;
  if (!m.data)
    return index;
  if (HasMagic({m.data, m.size}, kInternetAlbumMagic) && m.size >= kInternetAlbumLocationAt) {
    // A roll album: its records follow the base-location text.
    const uint8_t* n = m.data + 54;
    const uint64_t length = static_cast<uint64_t>(n[0]) | static_cast<uint64_t>(n[1]) << 8 |
                            static_cast<uint64_t>(n[2]) << 16 | static_cast<uint64_t>(n[3]) << 24;
    if (length > m.size - kInternetAlbumLocationAt)
      return index;
    index->recordsAt = kInternetAlbumLocationAt + static_cast<size_t>(length);
  } else if (!HasMagic({m.data, m.size}, kLocalAlbumMagic) || m.size < kLocalAlbumRecordsAt) {
    return index;
  }
  index->valid = true;
  index->records = static_cast<uint32_t>((m.size - index->recordsAt) / kSongRecordSize);
  index->numbers.reserve(index->records);
  index->categories.reserve(index->records);
  for (int k = 0; k < 3; ++k) {
    index->at[k].reserve(index->records + 1);
    index->at[k].push_back(0);
  }
  for (uint32_t i = 0; i < index->records; ++i) {
    const uint8_t* r = m.data + index->recordsAt + static_cast<size_t>(i) * kSongRecordSize;
    index->numbers.push_back(static_cast<uint32_t>(r[0]) | static_cast<uint32_t>(r[1]) << 8 |
                             static_cast<uint32_t>(r[2]) << 16 |
                             static_cast<uint32_t>(r[3]) << 24);
    index->categories.push_back(r[offsetof(SongRecord, songCode) + kSongCodeCategory]);
    static constexpr size_t kFieldAt[3] = {offsetof(SongRecord, title),
                                           offsetof(SongRecord, singer),
                                           offsetof(SongRecord, excerpt)};
    static constexpr size_t kFieldSize[3] = {48, 32, 120};
    for (int k = 0; k < 3; ++k) {
      const char* field = reinterpret_cast<const char*>(r + kFieldAt[k]);
      index->keys[k] += QueryKey(std::string_view(field, strnlen(field, kFieldSize[k])));
      index->keys[k] += '\0';
      index->at[k].push_back(static_cast<uint32_t>(index->keys[k].size()));
    }
  }
  const std::string& text = index->keys[2];
  index->textStarts.assign(text.size() / 64 + 1, 0);
  for (uint32_t r = 0; r < index->records; ++r) {
    std::string_view key = index->Key(2, r);
    const size_t base = index->at[2][r];
    for (size_t i = 0; i <= key.size(); i += i < key.size() ? CharAt(key, i) : 1)
      index->textStarts[(base + i) / 64] |= uint64_t{1} << ((base + i) % 64);
  }
  for (int k = 0; k < 2; ++k) {
    std::vector<uint32_t>& order = index->sorted[k];
    order.resize(index->records);
    for (uint32_t i = 0; i < index->records; ++i)
      order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      return index->Key(k, a) < index->Key(k, b);
    });
  }
  return index;
}

void AlbumMatchIndex::Record(uint32_t i, SongRecord& out) const {
  const uint8_t* at = map->data + recordsAt + static_cast<size_t>(i) * kSongRecordSize;
  if constexpr (std::endian::native == std::endian::little) {
    // The record's bytes are its layout.
    std::memcpy(static_cast<void*>(&out), at, kSongRecordSize);
  } else {
    sys::ByteReader in(at, kSongRecordSize);
    ReadSongRecord(in, out);
  }
}

void AlbumMatchIndex::Prefetch(uint32_t i) const {
  const uint8_t* at = map->data + recordsAt + static_cast<size_t>(i) * kSongRecordSize;
  for (size_t k = 0; k < kSongRecordSize; k += 64)
    __builtin_prefetch(at + k);
  __builtin_prefetch(at + kSongRecordSize - 1);
}

std::vector<uint32_t> AlbumMatchIndex::Matches(int kind, std::string_view pattern) const {
  std::vector<uint32_t> out;
  if (!valid || pattern.empty() || kind < 0 || kind > 2)
    return out;
  if (kind < 2) {
    // The keys beginning with the pattern are one run of the sorted order.
    const std::vector<uint32_t>& order = sorted[kind];
    auto first = std::lower_bound(order.begin(), order.end(), pattern,
                                  [&](uint32_t r, std::string_view p) { return Key(kind, r) < p; });
    for (auto it = first; it != order.end(); ++it) {
      std::string_view key = Key(kind, *it);
      if (!key.starts_with(pattern))
        break;
      if (EndsOnBoundary(key, pattern.size()))
        out.push_back(*it);
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  // The text keys as one run of bytes: each hit is checked against its own
  // record's character boundaries. No key holds a zero byte, so no hit
  // spans two keys.
  const std::string& arena = keys[2];
  const std::vector<uint32_t>& starts = at[2];
  size_t from = 0;
  while (from + pattern.size() <= arena.size()) {
    const void* hit = pattern.size() == 1
                          ? std::memchr(arena.data() + from, pattern[0], arena.size() - from)
                          : memmem(arena.data() + from, arena.size() - from, pattern.data(),
                                   pattern.size());
    if (!hit)
      break;
    size_t pos = static_cast<size_t>(static_cast<const char*>(hit) - arena.data());
    auto begins = [&](size_t at) { return (textStarts[at / 64] >> (at % 64)) & 1; };
    if (!begins(pos) || !begins(pos + pattern.size())) {
      from = pos + 1; // half a character at either end
      continue;
    }
    auto next = std::upper_bound(starts.begin(), starts.end(), static_cast<uint32_t>(pos));
    out.push_back(static_cast<uint32_t>(next - starts.begin()) - 1);
    from = *next; // one match per record: on to the next key
  }
  return out;
}

void AlbumDatabase::CloseQueries() {
  CloseQueryByTitleSinger();
  CloseQueryBySequentially();
}

int AlbumDatabase::OpenQueryByTitleSinger(std::string_view text, int32_t kind) {
  CloseQueryByTitleSinger();
  if (albums_.empty())
    return 0;
  query_ = std::make_unique<QueryScan>();
  query_->kind = kind;
  query_->pattern = QueryKey(text.substr(0, text.find('\0')));
  if (context_ >= 0 && context_ < 0x10000)
    if (const MyAlbumList* list = store_ ? store_->GetMyAlbum(context_) : nullptr)
      query_->list =
          std::make_unique<std::unordered_set<uint32_t>>(list->songs.begin(), list->songs.end());
  return 1;
}

void AlbumDatabase::CloseQueryByTitleSinger() {
  query_.reset();
}

int AlbumDatabase::GetQueryByTitleSinger(SongRecord& out) {
  if (!query_)
    return kQueryFinished;
  QueryScan& q = *query_;
  if (q.album >= albums_.size()) {
    query_.reset();
    return kQueryFinished;
  }
  const AlbumFile& album = *albums_[q.album];
  if (!q.scanning) {
    // The album's index, made again when its file is not the one indexed.
    const bool known = album.matches && album.matches->storedPath == album.path;
    const std::string path = known ? album.matches->path : Linux(album.path);
    AlbumFileStamp now;
    if (!known || !AlbumMatchIndex::StampOf(path, now) || !(now == album.matches->stamp)) {
      album.matches = AlbumMatchIndex::Build(path);
      album.matches->storedPath = album.path;
      album.matches->path = path;
      album.mapped = album.matches->map;
    }
    q.index = album.matches;
    AlbumMatchIndex& index = *q.index;
    q.hits = index.Matches(q.kind, q.pattern);
    for (size_t i = 0; i < std::min<size_t>(3, q.hits.size()); ++i)
      index.Prefetch(q.hits[i]);
    q.next = 0;
    q.scanning = true;
  }
  if (q.next >= q.hits.size()) {
    // This album is done: on to the next one.
    q.scanning = false;
    q.index.reset();
    q.hits.clear();
    if (++q.album < albums_.size())
      return kQueryCallAgain;
    query_.reset();
    return kQueryFinished;
  }
  AlbumMatchIndex& index = *q.index;
  if (index.liveGeneration != indexGeneration_) {
    // A record whose song left the catalogue (removed, its file moved
    // away), also while this album is scanned, is not offered.
    index.live.assign(index.records, 0);
    for (uint32_t i = 0; i < index.records; ++i) {
      auto entry = byNumber_.find(index.numbers[i]);
      index.live[i] = entry != byNumber_.end() && entry->second->e.subAlbum == album.number;
    }
    index.liveGeneration = indexGeneration_;
  }
  const uint32_t record = q.hits[q.next++];
  // Matches come one per call: the next ones' records are fetched while
  // the caller takes this one.
  constexpr size_t kAhead = 4;
  if (q.next + kAhead - 1 < q.hits.size())
    index.Prefetch(q.hits[q.next + kAhead - 1]);
  index.Record(record, out);
  if (!index.live[record])
    return kQueryCallAgain;
  if (context_ >= 0x10000) {
    const AlbumFile* sub = GetAlbumByIndex(context_ >> 16);
    if (!sub || sub->number != album.number)
      return kQueryCallAgain;
  } else if (context_ >= 0) {
    if (!q.list || !q.list->count(out.number))
      return kQueryCallAgain;
  }
  if (filter_ != 0 && out.songCode[kSongCodeCategory] != filter_)
    return kQueryCallAgain;
  return kQueryMatched;
}

int AlbumDatabase::OpenQueryBySequentially() {
  CloseQueryBySequentially();
  if (byTitle_.empty())
    return 0;
  walk_ = *byTitle_.begin();
  walkOpen_ = true;
  if (context_ >= 0 && context_ < 0x10000)
    if (const MyAlbumList* list = store_ ? store_->GetMyAlbum(context_) : nullptr)
      walkList_ =
          std::make_unique<std::unordered_set<uint32_t>>(list->songs.begin(), list->songs.end());
  return 1;
}

void AlbumDatabase::CloseQueryBySequentially() {
  walk_ = nullptr;
  walkOpen_ = false;
  walkList_.reset();
}

int AlbumDatabase::GetQueryBySequentially(int32_t* number, const char** title,
                                          const std::array<uint8_t, 16>** code) {
  const AlbumFile* sub = context_ >= 0x10000 ? GetAlbumByIndex(context_ >> 16) : nullptr;
  while (walkOpen_ && walk_) {
    IndexedSong* song = walk_;
    auto next = std::next(song->byTitle);
    walk_ = next == byTitle_.end() ? nullptr : *next;
    const SongIndexEntry& e = song->e;
    bool accepted = true;
    if (context_ >= 0x10000) {
      accepted = sub && e.subAlbum == sub->number;
    } else if (context_ >= 0) {
      if (!walkList_)
        break; // no such list: the walk ends
      accepted = walkList_->count(e.number) != 0;
    }
    if (!accepted)
      continue;
    if (number)
      *number = Shows(e) ? static_cast<int32_t>(e.number) : 0;
    if (title)
      *title = e.title.c_str();
    if (code)
      *code = &e.songCode;
    return static_cast<uint8_t>(e.type);
  }
  CloseQueryBySequentially();
  return kWalkEnd;
}

void AlbumDatabase::SeedRandom(uint64_t seed) {
  random_ = std::make_unique<std::mt19937_64>(seed);
}

const std::vector<uint32_t>& AlbumDatabase::RandomCandidates() {
  Candidates& c = candidates_;
  if (c.generation == indexGeneration_ && c.context == context_ && c.filter == filter_ &&
      !(context_ >= 0 && context_ < 0x10000))
    return c.numbers;
  c.generation = indexGeneration_;
  c.context = context_;
  c.filter = filter_;
  c.numbers.clear();
  // Songs of the index only: a my-album number the catalogue does not know
  // cannot be picked.
  // In mode 2 only a downloaded song can be picked.
  for (int32_t n : ContextNumbers())
    if (const SongIndexEntry* e = EntryByNumber(static_cast<uint32_t>(n));
        e && (albumMode_ != 2 || e->type == 'T' || e->type == 'B' || e->type == 'W'))
      c.numbers.push_back(static_cast<uint32_t>(n));
  return c.numbers;
}

int AlbumDatabase::GetRandomSong(SongRecord& out) {
  if (!random_)
    SeedRandom(static_cast<uint64_t>(
        std::chrono::system_clock::now().time_since_epoch().count()));
  const std::vector<uint32_t>& all = RandomCandidates();
  if (all.empty())
    return 0;
  std::uniform_int_distribution<size_t> pick(0, all.size() - 1);
  if (GetSongDataBySongNum(all[pick(*random_)], out) == 1)
    return 1;
  // A record that cannot be read: the others are tried, each once.
  std::vector<uint32_t> rest = all;
  while (!rest.empty()) {
    size_t i = std::uniform_int_distribution<size_t>(0, rest.size() - 1)(*random_);
    if (GetSongDataBySongNum(rest[i], out) == 1)
      return 1;
    rest[i] = rest.back();
    rest.pop_back();
  }
  return 0;
}

int AlbumDatabase::SetCategoryFilter(uint8_t category) {
  filter_ = category;
  filteredGeneration_ = 0;
  return 1;
}

void AlbumDatabase::UpdateFiltered() const {
  if (filteredGeneration_ == indexGeneration_)
    return;
  filteredCount_ = 0;
  filteredMax_ = 0;
  filteredDownloaded_ = 0;
  for (const IndexedSong* song : byTitle_)
    if (Shows(song->e)) {
      ++filteredCount_;
      const char t = song->e.type;
      if (t == 'T' || t == 'B' || t == 'W')
        ++filteredDownloaded_;
      filteredMax_ = std::max(filteredMax_, song->e.number);
    }
  filteredGeneration_ = indexGeneration_;
}

} // namespace album

#include "album/singers.h"

#include "album/albumdatabase.h"
#include "album/albumtext.h"
#include "album/songrecord.h"
#include "platform/sys/bytes.h"

#include <algorithm>
#include <cstring>

namespace album {
namespace {

constexpr size_t kSingerEntrySize = 36, kSingerTextSize = 32;
constexpr size_t kSongEntrySize = 68, kSongTitleSize = 48;

bool Downloaded(char type) {
  return type >= 'A' && type <= 'Z';
}

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

std::string SingerIndex::Key(std::string_view singer) {
  return SongTitleKey(singer);
}

void SingerIndex::Add(const IndexedSong* song, std::string_view singer) {
  auto [it, fresh] = byKey_.try_emplace(Key(singer), singers_.size());
  if (fresh) {
    singers_.emplace_back();
    singers_.back().text = std::string(CutText(singer, kSingerTextSize));
    singers_.back().numbers.push_back(0);
  }
  Singer& s = singers_[it->second];
  s.songs.push_back(song);
  s.numbers.push_back(song->e.number);
  s.numbers[0] = static_cast<uint32_t>(s.songs.size());
}

const SingerIndex::Singer* SingerIndex::At(int position) const {
  return position >= 0 && static_cast<size_t>(position) < singers_.size()
             ? &singers_[static_cast<size_t>(position)]
             : nullptr;
}

int AlbumDatabase::PrepareSingerIndex() {
  if (byTitle_.empty()) {
    singers_.reset();
    return 0;
  }
  if (singers_ && singers_->generation == indexGeneration_)
    return 1;
  singers_ = std::make_unique<SingerIndex>();
  singers_->generation = indexGeneration_;
  for (const IndexedSong* song : byTitle_)
    if (GetAlbumByNumber(song->e.subAlbum))
      singers_->Add(song, song->e.singer);
  return 1;
}

const uint8_t* AlbumDatabase::GetSingerList(int downloaded) {
  if (!PrepareSingerIndex())
    return nullptr;
  singerBlock_.assign(4, 0);
  uint32_t count = 0;
  const std::vector<SingerIndex::Singer>& all = singers_->Singers();
  for (size_t position = 0; position < all.size(); ++position) {
    const SingerIndex::Singer& s = all[position];
    bool shown = false;
    size_t down = 0;
    for (const IndexedSong* song : s.songs) {
      shown = shown || Shows(song->e);
      down += Downloaded(song->e.type) ? 1 : 0;
    }
    if (!shown)
      continue;
    const bool none = down == 0, every = !s.songs.empty() && down == s.songs.size();
    if ((downloaded != 0 && none) || (downloaded == 0 && every))
      continue;
    const size_t at = singerBlock_.size();
    singerBlock_.resize(at + kSingerEntrySize, 0);
    PutU32(singerBlock_, at, static_cast<uint32_t>(position));
    std::memcpy(singerBlock_.data() + at + 4, s.text.data(),
                std::min(s.text.size(), kSingerTextSize));
    ++count;
  }
  PutU32(singerBlock_, 0, count);
  return singerBlock_.data();
}

const uint8_t* AlbumDatabase::GetSongListOfSinger(int position, std::string_view singer,
                                                  int downloaded) {
  if (!PrepareSingerIndex())
    return nullptr;
  const SingerIndex::Singer* s = singers_->At(position);
  if (!s || SingerIndex::Key(s->text) != SingerIndex::Key(singer))
    return nullptr;
  songsBlock_.assign(4, 0);
  uint32_t count = 0;
  for (const IndexedSong* song : s->songs) {
    const SongIndexEntry& e = song->e;
    if (!Shows(e) || Downloaded(e.type) != (downloaded != 0))
      continue;
    const size_t at = songsBlock_.size();
    songsBlock_.resize(at + kSongEntrySize, 0);
    PutU32(songsBlock_, at, e.number);
    std::memcpy(songsBlock_.data() + at + 4, e.songCode.data(), e.songCode.size());
    std::string_view title = CutText(e.title, kSongTitleSize - 1);
    std::memcpy(songsBlock_.data() + at + 20, title.data(), title.size());
    ++count;
  }
  PutU32(songsBlock_, 0, count);
  return songsBlock_.data();
}

const uint32_t* AlbumDatabase::GetSingerSongNumbers(int position) {
  if (!PrepareSingerIndex())
    return nullptr;
  const SingerIndex::Singer* s = singers_->At(position);
  return s ? s->numbers.data() : nullptr;
}

} // namespace album

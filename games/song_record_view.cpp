#include "games/song_record_view.h"

#include "album/songrecord.h"
#include "games/host_link.h"

#include <cstring>

namespace games {
namespace {

// The field offsets of the album's own record layout.
constexpr size_t kTitleAt = offsetof(album::SongRecord, title);
constexpr size_t kSingerAt = offsetof(album::SongRecord, singer);
constexpr size_t kExcerptAt = offsetof(album::SongRecord, excerpt);
constexpr size_t kTypeAt = offsetof(album::SongRecord, type);
constexpr size_t kFileNameAt = offsetof(album::SongRecord, fileName);
constexpr size_t kTitleWidth = sizeof(album::SongRecord::title);
constexpr size_t kSingerWidth = sizeof(album::SongRecord::singer);
constexpr size_t kExcerptWidth = sizeof(album::SongRecord::excerpt);
constexpr size_t kFileNameWidth = sizeof(album::SongRecord::fileName);
static_assert(kFileNameAt + kFileNameWidth == album::kSongRecordSize);
static_assert(album::kSongRecordSize <= kSongRecordCopySize);

} // namespace

int32_t SongRecordView::Number() const {
  return static_cast<int32_t>(uint32_t(bytes_[0]) | uint32_t(bytes_[1]) << 8 |
                              uint32_t(bytes_[2]) << 16 | uint32_t(bytes_[3]) << 24);
}

std::string_view SongRecordView::Text(size_t offset, size_t width) const {
  const std::string_view field(reinterpret_cast<const char*>(bytes_.data()) + offset, width);
  const size_t end = field.find('\0');
  const std::string_view text = end == std::string_view::npos ? field : field.substr(0, end);
  return sys::CutBytes(text, text.size(), codePage_);
}

std::string_view SongRecordView::Title() const {
  return Text(kTitleAt, kTitleWidth);
}
std::string_view SongRecordView::Singer() const {
  return Text(kSingerAt, kSingerWidth);
}
std::string_view SongRecordView::Excerpt() const {
  return Text(kExcerptAt, kExcerptWidth);
}
char SongRecordView::Type() const {
  return static_cast<char>(bytes_[kTypeAt]);
}
std::string_view SongRecordView::FileName() const {
  return Text(kFileNameAt, kFileNameWidth);
}

bool TakeSongRecordCopy(win::WParam sender, const win::CopyData* data, uintptr_t kind,
                        RecordSlot& slot) {
  if (!data || data->kind != kind || data->size != kSongRecordCopySize || !data->data)
    return false;
  const win::Hwnd host = FindHost();
  if (!host || sender != host)
    return false;
  std::memcpy(slot.data(), data->data, kSongRecordCopySize);
  return true;
}

} // namespace games

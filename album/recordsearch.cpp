#include "album/recordsearch.h"

#include "album/albumformats.h"
#include "platform/sys/unique_fd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace album {
namespace {

class FileSource : public ByteSource {
public:
  explicit FileSource(int fd) : fd_(fd) {}
  size_t ReadAt(uint64_t offset, void* out, size_t size) const override {
    size_t got = 0;
    while (got < size) {
      ssize_t n =
          pread(fd_, static_cast<char*>(out) + got, size - got, static_cast<off_t>(offset + got));
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        break;
      got += static_cast<size_t>(n);
    }
    return got;
  }

private:
  int fd_;
};

std::optional<uint32_t> U32At(const ByteSource& s, uint64_t offset) {
  std::array<uint8_t, 4> b{};
  if (s.ReadAt(offset, b.data(), 4) != 4)
    return std::nullopt;
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

bool RecordAt(const ByteSource& s, uint64_t offset, SongRecord& out) {
  std::array<uint8_t, kSongRecordSize> b{};
  if (s.ReadAt(offset, b.data(), b.size()) != b.size())
    return false;
  sys::ByteReader in(b.data(), b.size());
  return ReadSongRecord(in, out);
}

} // namespace

size_t SpanSource::ReadAt(uint64_t offset, void* out, size_t size) const {
  if (offset >= bytes_.size())
    return 0;
  size_t n = std::min<uint64_t>(size, bytes_.size() - offset);
  std::memcpy(out, bytes_.data() + offset, n);
  return n;
}

int FindSongRecord(const ByteSource& source, uint32_t number, uint32_t position, SongRecord& out) {
  std::array<uint8_t, 26> head{};
  size_t got = source.ReadAt(0, head.data(), head.size());
  std::span<const uint8_t> magic(head.data(), got);
  uint64_t recordsAt = 0;
  std::optional<uint32_t> flag;
  if (HasMagic(magic, kLocalAlbumMagic)) {
    recordsAt = kLocalAlbumRecordsAt;
    flag = U32At(source, 341);
    if (!flag || !U32At(source, 345))
      return -1;
  } else if (HasMagic(magic, kInternetAlbumMagic)) {
    flag = U32At(source, 34);
    std::optional<uint32_t> n = U32At(source, 54);
    if (!flag || !n)
      return -1;
    recordsAt = kInternetAlbumLocationAt + uint64_t{*n};
  } else {
    return -1;
  }
  if (*flag == 1)
    return RecordAt(source, recordsAt + uint64_t{position} * kSongRecordSize, out) &&
                   out.number == number
               ? 1
               : 0;
  for (uint64_t at = recordsAt;; at += kSongRecordSize) {
    if (!RecordAt(source, at, out))
      return 0;
    if (out.number == number)
      return 1;
  }
}

int FindSongRecordInFile(const std::string& path, uint32_t number, uint32_t position,
                         SongRecord& out) {
  sys::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid())
    return -1;
  return FindSongRecord(FileSource(fd.Get()), number, position, out);
}

} // namespace album

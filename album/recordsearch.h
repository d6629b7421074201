// Looking up one song record in a local or internet album file by song
// number and record position, reading only the header and the records
// needed: with the direct-index flag set, the record at the position is the
// only candidate; without it the records are scanned in order.
#pragma once

#include "album/songrecord.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace album {

// Random-access bytes: a file or a buffer.
class ByteSource {
public:
  virtual ~ByteSource() = default;
  // Reads up to size bytes at offset; the number read (fewer at the end).
  virtual size_t ReadAt(uint64_t offset, void* out, size_t size) const = 0;
};

class SpanSource : public ByteSource {
public:
  explicit SpanSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  size_t ReadAt(uint64_t offset, void* out, size_t size) const override;

private:
  std::span<const uint8_t> bytes_;
};

// 1 found (out holds the record), 0 not found (also for a short record),
// -1 when the source is no local or internet album or its header is short.
int FindSongRecord(const ByteSource& source, uint32_t number, uint32_t position, SongRecord& out);
int FindSongRecordInFile(const std::string& path, uint32_t number, uint32_t position,
                         SongRecord& out);

} // namespace album

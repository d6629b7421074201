// Bounded byte reading and writing for file and message formats: integers in
// either byte order, variable-length quantities and fixed-width fields. A read
// past the end fails and leaves the reader where it was; nothing is ever read
// outside the span it was given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

class ByteReader {
public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
  ByteReader(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data), size) {}

  size_t Size() const { return data_.size(); }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  // Moves to an absolute position; fails past the end.
  bool Seek(size_t pos);
  bool Skip(size_t count);

  std::optional<uint8_t> U8();
  std::optional<uint16_t> U16LE();
  std::optional<uint32_t> U32LE();
  std::optional<int16_t> I16LE();
  std::optional<int32_t> I32LE();
  std::optional<uint16_t> U16BE();
  std::optional<uint32_t> U24BE();
  std::optional<uint32_t> U32BE();
  // A MIDI variable-length quantity of at most 4 bytes (at most 0x0FFFFFFF);
  // a fifth continuation byte is an error.
  std::optional<uint32_t> Vlq();
  // The next count bytes as a view; fails when fewer remain.
  std::optional<std::span<const uint8_t>> Bytes(size_t count);
  // A fixed-width text field: count bytes, cut at the first zero byte.
  std::optional<std::string> FixedString(size_t count);
  std::optional<uint8_t> PeekU8() const;
  // The unread rest.
  std::span<const uint8_t> Rest() const { return data_.subspan(pos_); }

private:
  template <typename T, size_t N, bool BigEndian>
  std::optional<T> Read();

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

class ByteWriter {
public:
  void U8(uint8_t v) { buf_.push_back(v); }
  void U16LE(uint16_t v);
  void U32LE(uint32_t v);
  void I16LE(int16_t v) { U16LE(static_cast<uint16_t>(v)); }
  void I32LE(int32_t v) { U32LE(static_cast<uint32_t>(v)); }
  void U16BE(uint16_t v);
  void U24BE(uint32_t v);
  void U32BE(uint32_t v);
  // Writes a variable-length quantity; values above 0x0FFFFFFF are clamped.
  void Vlq(uint32_t v);
  void Bytes(std::span<const uint8_t> bytes);
  void Bytes(const void* data, size_t size);
  // Writes text into a field of exactly width bytes, zero-padded; text longer
  // than width - 1 is cut so that the field always ends in a zero byte.
  void FixedString(std::string_view text, size_t width);
  // Overwrites 4 bytes at pos (for lengths known only after a chunk is written).
  void PatchU32BE(size_t pos, uint32_t v);
  void PatchU32LE(size_t pos, uint32_t v);

  size_t Size() const { return buf_.size(); }
  const std::vector<uint8_t>& Data() const { return buf_; }
  std::vector<uint8_t> Take() { return std::move(buf_); }

private:
  std::vector<uint8_t> buf_;
};

// Number of bytes Vlq() writes for v.
size_t VlqSize(uint32_t v);

} // namespace sys

#include "platform/sys/bytes.h"

#include <algorithm>
#include <cstring>

namespace sys {

bool ByteReader::Seek(size_t pos) {
  if (pos > data_.size())
    return false;
  pos_ = pos;
  return true;
}

bool ByteReader::Skip(size_t count) {
  if (count > Remaining())
    return false;
  pos_ += count;
  return true;
}

template <typename T, size_t N, bool BigEndian>
std::optional<T> ByteReader::Read() {
  if (Remaining() < N)
    return std::nullopt;
  uint32_t v = 0;
  for (size_t i = 0; i < N; ++i) {
    uint32_t b = data_[pos_ + i];
    v |= BigEndian ? b << (8 * (N - 1 - i)) : b << (8 * i);
  }
  pos_ += N;
  return static_cast<T>(v);
}

std::optional<uint8_t> ByteReader::U8() { return Read<uint8_t, 1, false>(); }
std::optional<uint16_t> ByteReader::U16LE() { return Read<uint16_t, 2, false>(); }
std::optional<uint32_t> ByteReader::U32LE() { return Read<uint32_t, 4, false>(); }
std::optional<int16_t> ByteReader::I16LE() { return Read<int16_t, 2, false>(); }
std::optional<int32_t> ByteReader::I32LE() { return Read<int32_t, 4, false>(); }
std::optional<uint16_t> ByteReader::U16BE() { return Read<uint16_t, 2, true>(); }
std::optional<uint32_t> ByteReader::U24BE() { return Read<uint32_t, 3, true>(); }
std::optional<uint32_t> ByteReader::U32BE() { return Read<uint32_t, 4, true>(); }

std::optional<uint32_t> ByteReader::Vlq() {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (pos_ + i >= data_.size())
      return std::nullopt;
    uint8_t b = data_[pos_ + i];
    v = (v << 7) | (b & 0x7F);
    if ((b & 0x80) == 0) {
      pos_ += i + 1;
      return v;
    }
  }
  return std::nullopt;
}

std::optional<std::span<const uint8_t>> ByteReader::Bytes(size_t count) {
  if (count > Remaining())
    return std::nullopt;
  auto s = data_.subspan(pos_, count);
  pos_ += count;
  return s;
}

std::optional<std::string> ByteReader::FixedString(size_t count) {
  auto s = Bytes(count);
  if (!s)
    return std::nullopt;
  auto end = std::find(s->begin(), s->end(), uint8_t{0});
  return std::string(s->begin(), end);
}

std::optional<uint8_t> ByteReader::PeekU8() const {
  if (AtEnd())
    return std::nullopt;
  return data_[pos_];
}

void ByteWriter::U16LE(uint16_t v) {
  U8(v & 0xFF);
  U8(v >> 8);
}

void ByteWriter::U32LE(uint32_t v) {
  for (int i = 0; i < 4; ++i)
    U8((v >> (8 * i)) & 0xFF);
}

void ByteWriter::U16BE(uint16_t v) {
  U8(v >> 8);
  U8(v & 0xFF);
}

void ByteWriter::U24BE(uint32_t v) {
  for (int i = 2; i >= 0; --i)
    U8((v >> (8 * i)) & 0xFF);
}

void ByteWriter::U32BE(uint32_t v) {
  for (int i = 3; i >= 0; --i)
    U8((v >> (8 * i)) & 0xFF);
}

size_t VlqSize(uint32_t v) {
  v = std::min<uint32_t>(v, 0x0FFFFFFF);
  size_t n = 1;
  while (v >>= 7)
    ++n;
  return n;
}

void ByteWriter::Vlq(uint32_t v) {
  v = std::min<uint32_t>(v, 0x0FFFFFFF);
  size_t n = VlqSize(v);
  for (size_t i = n; i-- > 0;) {
    uint8_t b = (v >> (7 * i)) & 0x7F;
    U8(i ? (b | 0x80) : b);
  }
}

void ByteWriter::Bytes(std::span<const uint8_t> bytes) {
  buf_.insert(buf_.end(), bytes.begin(), bytes.end());
}

void ByteWriter::Bytes(const void* data, size_t size) {
  Bytes(std::span<const uint8_t>(static_cast<const uint8_t*>(data), size));
}

void ByteWriter::FixedString(std::string_view text, size_t width) {
  if (width == 0)
    return;
  size_t n = std::min(text.size(), width - 1);
  Bytes(text.data(), n);
  buf_.insert(buf_.end(), width - n, uint8_t{0});
}

void ByteWriter::PatchU32BE(size_t pos, uint32_t v) {
  if (pos + 4 > buf_.size())
    return;
  for (int i = 0; i < 4; ++i)
    buf_[pos + i] = (v >> (8 * (3 - i))) & 0xFF;
}

void ByteWriter::PatchU32LE(size_t pos, uint32_t v) {
  if (pos + 4 > buf_.size())
    return;
  for (int i = 0; i < 4; ++i)
    buf_[pos + i] = (v >> (8 * i)) & 0xFF;
}

} // namespace sys

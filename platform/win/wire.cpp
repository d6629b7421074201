#include "platform/win/wire.h"

#include "platform/sys/bytes.h"

namespace win::wire {
namespace {

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i)
    p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::optional<uint64_t> ReadU64(sys::ByteReader& r) {
  auto lo = r.U32LE();
  auto hi = r.U32LE();
  if (!lo || !hi)
    return std::nullopt;
  return static_cast<uint64_t>(*hi) << 32 | *lo;
}

bool KnownKind(uint16_t kind) {
  return kind >= 1 && kind <= 7;
}

void PutText(sys::ByteWriter& w, const std::optional<std::string>& text) {
  if (!text) {
    w.U8(0);
    return;
  }
  size_t size = std::min(text->size(), kMaxText);
  w.U8(1);
  w.U16LE(static_cast<uint16_t>(size));
  w.Bytes(text->data(), size);
}

bool TakeText(sys::ByteReader& r, std::optional<std::string>& text) {
  auto present = r.U8();
  if (!present || *present > 1)
    return false;
  if (*present == 0)
    return true;
  auto size = r.U16LE();
  if (!size || *size > kMaxText)
    return false;
  auto bytes = r.Bytes(*size);
  if (!bytes)
    return false;
  text.emplace(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  return true;
}

} // namespace

void EncodeHeader(const Header& h, uint8_t* out) {
  PutU32(out + 0, h.payloadSize);
  PutU16(out + 4, static_cast<uint16_t>(h.kind));
  PutU16(out + 6, h.flags);
  PutU32(out + 8, h.requestId);
  PutU32(out + 12, h.hwnd);
  PutU32(out + 16, h.message);
  PutU32(out + 20, h.reserved);
  PutU64(out + 24, h.wParam);
  PutU64(out + 32, h.lParam);
  PutU64(out + 40, h.aux);
}

std::optional<Header> DecodeHeader(std::span<const uint8_t> bytes) {
  sys::ByteReader r(bytes);
  Header h;
  auto size = r.U32LE();
  auto kind = r.U16LE();
  auto flags = r.U16LE();
  auto requestId = r.U32LE();
  auto hwnd = r.U32LE();
  auto message = r.U32LE();
  auto reserved = r.U32LE();
  auto wParam = ReadU64(r);
  auto lParam = ReadU64(r);
  auto aux = ReadU64(r);
  if (!aux || !KnownKind(*kind) || *size > kMaxPayload)
    return std::nullopt;
  h.payloadSize = *size;
  h.kind = static_cast<Kind>(*kind);
  h.flags = *flags;
  h.requestId = *requestId;
  h.hwnd = *hwnd;
  h.message = *message;
  h.reserved = *reserved;
  h.wParam = *wParam;
  h.lParam = *lParam;
  h.aux = *aux;
  return h;
}

std::vector<uint8_t> EncodeTexts(const std::optional<std::string>& first,
                                 const std::optional<std::string>& second) {
  sys::ByteWriter w;
  PutText(w, first);
  PutText(w, second);
  return w.Take();
}

std::optional<Texts> DecodeTexts(std::span<const uint8_t> bytes) {
  sys::ByteReader r(bytes);
  Texts t;
  if (!TakeText(r, t.first) || !TakeText(r, t.second) || !r.AtEnd())
    return std::nullopt;
  return t;
}

} // namespace win::wire

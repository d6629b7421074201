// The frames that processes exchange over their window sockets: a fixed
// 48-byte little-endian header, then the payload (WM_COPYDATA bytes, or the
// class and title of a search or a window description).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace win::wire {

inline constexpr size_t kHeaderSize = 48;
// Largest payload accepted from a peer: the largest WM_COPYDATA plus room
// for nothing else; a larger frame closes the connection.
inline constexpr uint32_t kMaxPayload = 16u << 20;
// Longest class name or title carried in a search or a description.
inline constexpr size_t kMaxText = 4096;

enum class Kind : uint16_t {
  Send = 1,       // hwnd, message, wParam, lParam; aux = CopyData kind when flagged
  Post = 2,       // as Send, never with data; no answer
  Reply = 3,      // requestId, aux = result; flags kDelivered when the window existed
  Find = 4,       // hwnd = parent; payload = class and title, each optional
  FindReply = 5,  // hwnd = the match (0 none), aux = its creation time
  Describe = 6,   // hwnd
  Description = 7 // flags kDelivered when alive; wParam = parent, lParam = pid,
                  // aux = style, payload = class and title
};

inline constexpr uint16_t kHasCopyData = 1; // Send: payload is WM_COPYDATA bytes
inline constexpr uint16_t kDelivered = 1;   // Reply, Description
inline constexpr uint16_t kHasClass = 2;    // Find
inline constexpr uint16_t kHasTitle = 4;    // Find

struct Header {
  uint32_t payloadSize = 0;
  Kind kind = Kind::Send;
  uint16_t flags = 0;
  uint32_t requestId = 0;
  uint32_t hwnd = 0;
  uint32_t message = 0;
  uint32_t reserved = 0;
  uint64_t wParam = 0;
  uint64_t lParam = 0;
  uint64_t aux = 0;
};

// Writes the header's 48 bytes.
void EncodeHeader(const Header& header, uint8_t* out);
// Reads a header; nullopt for an unknown kind or a payload over kMaxPayload.
std::optional<Header> DecodeHeader(std::span<const uint8_t> bytes);

struct Frame {
  Header header;
  std::vector<uint8_t> payload;
};

// Takes the complete frames off the front of buf, the bytes read so far from
// a peer, handing each to onFrame; a frame not yet complete stays in buf for
// the bytes to come. False for a malformed header: the connection is to be
// closed (the frames before it were handed on).
template <typename F> bool TakeFrames(std::vector<uint8_t>& buf, F&& onFrame) {
  size_t pos = 0;
  bool ok = true;
  while (buf.size() - pos >= kHeaderSize) {
    auto header = DecodeHeader(std::span<const uint8_t>(buf.data() + pos, kHeaderSize));
    if (!header) {
      ok = false;
      break;
    }
    size_t need = kHeaderSize + header->payloadSize;
    if (buf.size() - pos < need)
      break;
    Frame frame{*header, {}};
    const uint8_t* body = buf.data() + pos + kHeaderSize;
    frame.payload.assign(body, body + header->payloadSize);
    pos += need;
    onFrame(frame);
  }
  buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(pos));
  return ok;
}

// Two optional texts (a class and a title): each a presence byte, a u16
// length and the bytes.
std::vector<uint8_t> EncodeTexts(const std::optional<std::string>& first,
                                 const std::optional<std::string>& second);
struct Texts {
  std::optional<std::string> first;
  std::optional<std::string> second;
};
// nullopt when the bytes are cut short, a length passes kMaxText, or bytes
// are left over.
std::optional<Texts> DecodeTexts(std::span<const uint8_t> bytes);

} // namespace win::wire

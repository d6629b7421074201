#include "platform/win/tests/support/wire_fuzz_entry.h"

#include "platform/win/window_table.h"
#include "platform/win/wire.h"

#include <algorithm>
#include <span>
#include <vector>

namespace wintest {
namespace {

using namespace win::wire;

struct Decoded {
  std::vector<Frame> frames;
  bool wellFormed = true;
  std::vector<uint8_t> left; // the bytes of a frame not yet complete
};

// Feeds the stream in reads of the given sizes (cycled), as a connection
// delivers it; stops at a malformed header as the endpoint does.
Decoded Feed(std::span<const uint8_t> stream, std::span<const uint8_t> reads) {
  Decoded out;
  std::vector<uint8_t> buf;
  size_t pos = 0, next = 0;
  while (pos < stream.size()) {
    size_t n = stream.size() - pos;
    if (!reads.empty())
      n = std::min<size_t>(n, reads[next++ % reads.size()] % 97 + 1);
    buf.insert(buf.end(), stream.begin() + pos, stream.begin() + pos + n);
    pos += n;
    if (!TakeFrames(buf, [&](Frame& f) { out.frames.push_back(std::move(f)); })) {
      out.wellFormed = false;
      return out;
    }
  }
  out.left = std::move(buf);
  return out;
}

bool SameFrame(const Frame& a, const Frame& b) {
  uint8_t ha[kHeaderSize], hb[kHeaderSize];
  EncodeHeader(a.header, ha);
  EncodeHeader(b.header, hb);
  return std::equal(ha, ha + kHeaderSize, hb) && a.payload == b.payload;
}

std::string CheckFrames(std::span<const uint8_t> stream, const Decoded& whole) {
  size_t pos = 0;
  for (size_t i = 0; i < whole.frames.size(); ++i) {
    const Frame& f = whole.frames[i];
    if (f.header.payloadSize != f.payload.size() || f.payload.size() > kMaxPayload)
      return "frame " + std::to_string(i) + ": payload size differs from its header";
    uint8_t head[kHeaderSize];
    EncodeHeader(f.header, head);
    if (stream.size() - pos < kHeaderSize + f.payload.size() ||
        !std::equal(head, head + kHeaderSize, stream.begin() + pos) ||
        !std::equal(f.payload.begin(), f.payload.end(), stream.begin() + pos + kHeaderSize))
      return "frame " + std::to_string(i) + " does not write back to its bytes";
    pos += kHeaderSize + f.payload.size();
    if (f.header.kind == Kind::Find || f.header.kind == Kind::Description) {
      if (auto texts = DecodeTexts(f.payload)) {
        if (EncodeTexts(texts->first, texts->second) != f.payload)
          return "frame " + std::to_string(i) + ": texts do not write back";
        for (const auto& t : {texts->first, texts->second})
          if (t && t->size() > kMaxText)
            return "frame " + std::to_string(i) + ": text over its limit";
      }
    }
  }
  if (whole.wellFormed && (whole.left.size() != stream.size() - pos ||
                           !std::equal(whole.left.begin(), whole.left.end(), stream.begin() + pos)))
    return "the bytes left over are not the stream's tail";
  if (whole.wellFormed && whole.left.size() >= kHeaderSize) {
    auto header = DecodeHeader(std::span<const uint8_t>(whole.left.data(), kHeaderSize));
    if (!header || whole.left.size() >= kHeaderSize + header->payloadSize)
      return "a complete frame was left over";
  }
  return {};
}

} // namespace

std::string CheckWireInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> stream(data, size);
  const Decoded whole = Feed(stream, {});
  if (auto fault = CheckFrames(stream, whole); !fault.empty())
    return fault;
  // The read sizes come from the stream's own bytes, from its end.
  std::vector<uint8_t> reads(stream.rbegin(), stream.rbegin() + std::min<size_t>(size, 16));
  const Decoded cut = Feed(stream, reads);
  if (cut.wellFormed != whole.wellFormed || cut.frames.size() != whole.frames.size())
    return "cutting the stream changed what was read";
  for (size_t i = 0; i < cut.frames.size(); ++i)
    if (!SameFrame(cut.frames[i], whole.frames[i]))
      return "cutting the stream changed frame " + std::to_string(i);
  if (cut.wellFormed && cut.left != whole.left)
    return "cutting the stream changed the bytes left over";

  if (auto table = win::table::Decode(stream)) {
    if (win::table::Encode(*table) != std::vector<uint8_t>(stream.begin(), stream.end()))
      return "the window table does not write back to its bytes";
  }
  return {};
}

} // namespace wintest

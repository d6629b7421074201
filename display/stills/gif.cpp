#include "display/stills/gif.h"

#include "display/stills/pixels.h"
#include "display/stills/result.h"
#include "platform/sys/bytes.h"

#include <array>
#include <cstring>

namespace stills {
namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kGraphicControl = 0xF9;
constexpr uint8_t kComment = 0xFE;
constexpr uint8_t kPlainText = 0x01;
constexpr int kMaxCodeBits = 12;
constexpr int kMaxCodes = 1 << kMaxCodeBits;

// Skips data sub-blocks up to and including the empty one.
bool SkipSubBlocks(sys::ByteReader& in) {
  for (;;) {
    auto size = in.U8();
    if (!size)
      return false;
    if (*size == 0)
      return true;
    if (!in.Skip(*size))
      return false;
  }
}

// Codes of a given width, least significant bit first, read across the
// image's data sub-blocks.
class CodeReader {
public:
  explicit CodeReader(sys::ByteReader& in) : in_(in) {}

  // -1 when the data end first.
  int Next(int width) {
    while (count_ < width) {
      if (left_ == 0) {
        auto size = in_.U8();
        if (!size || *size == 0)
          return -1;
        left_ = *size;
      }
      auto byte = in_.U8();
      if (!byte)
        return -1;
      --left_;
      bits_ |= uint32_t{*byte} << count_;
      count_ += 8;
    }
    const int code = static_cast<int>(bits_ & ((1u << width) - 1));
    bits_ >>= width;
    count_ -= width;
    return code;
  }

private:
  sys::ByteReader& in_;
  uint32_t bits_ = 0;
  int count_ = 0;
  int left_ = 0;
};

// Where decoded pixels go: rows of the frame's own width at its offset on
// the screen, in interlaced order when asked.
class FrameWriter {
public:
  FrameWriter(gdi::Dib& dib, int32_t left, int32_t top, int32_t width, int32_t height,
              bool interlaced)
      : dib_(dib), bits_(dib.BitCount()), mask_(static_cast<uint8_t>((1u << bits_) - 1)),
        left_(left), top_(top), width_(width), height_(height), interlaced_(interlaced) {
    row_ = dib_.RowFromTop(top_);
  }

  bool Full() const { return y_ >= height_; }

  void Put(uint8_t index) {
    PutIndex(row_, left_ + x_, bits_, index & mask_);
    if (++x_ < width_)
      return;
    x_ = 0;
    NextRow();
    if (!Full())
      row_ = dib_.RowFromTop(top_ + y_);
  }

private:
  void NextRow() {
    if (!interlaced_) {
      ++y_;
      return;
    }
    // Passes: every 8th row from 0, every 8th from 4, every 4th from 2, every
    // 2nd from 1.
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    y_ += kStep[pass_];
    while (y_ >= height_ && pass_ < 3)
      y_ = kStart[++pass_];
  }

  gdi::Dib& dib_;
  const int bits_;
  const uint8_t mask_;
  const int32_t left_, top_, width_, height_;
  const bool interlaced_;
  uint8_t* row_ = nullptr;
  int32_t x_ = 0, y_ = 0;
  int pass_ = 0;
};

// Decodes LZW codes into the frame until the end code, the frame is full, a
// code that is not yet defined, or the end of the data.
void DecodeLzw(sys::ByteReader& in, int minCodeSize, FrameWriter& frame) {
  std::array<uint16_t, kMaxCodes> prefix;
  std::array<uint8_t, kMaxCodes> suffix;
  std::array<uint8_t, kMaxCodes> first; // first pixel of each code's string
  std::array<uint8_t, kMaxCodes> stack;
  const int clear = 1 << minCodeSize, end = clear + 1;
  for (int c = 0; c < clear; ++c) {
    suffix[c] = first[c] = static_cast<uint8_t>(c);
    prefix[c] = 0;
  }
  CodeReader codes(in);
  int width = minCodeSize + 1, next = end + 1, previous = -1;
  while (!frame.Full()) {
    const int code = codes.Next(width);
    if (code < 0 || code == end)
      return;
    if (code == clear) {
      width = minCodeSize + 1;
      next = end + 1;
      previous = -1;
      continue;
    }
    if (code > next)
      return; // not defined yet
    if (previous < 0) {
      if (code >= clear)
        return;
      frame.Put(static_cast<uint8_t>(code));
      previous = code;
      continue;
    }
    // The string of a code just being defined is the previous one and its
    // own first pixel.
    int walk = code;
    size_t depth = 0;
    if (code == next) {
      if (next >= kMaxCodes)
        return;
      stack[depth++] = first[previous];
      walk = previous;
    }
    while (walk > end) {
      if (depth >= stack.size())
        return;
      stack[depth++] = suffix[walk];
      walk = prefix[walk];
    }
    if (depth >= stack.size())
      return;
    stack[depth++] = static_cast<uint8_t>(walk);
    const uint8_t head = static_cast<uint8_t>(walk);
    while (depth > 0 && !frame.Full())
      frame.Put(stack[--depth]);
    // A full table stays as it is until a clear code comes.
    if (next < kMaxCodes) {
      prefix[next] = static_cast<uint16_t>(previous);
      suffix[next] = head;
      first[next] = first[previous];
      ++next;
      if (next >= (1 << width) && width < kMaxCodeBits)
        ++width;
    }
    previous = code;
  }
}

} // namespace

int DecodeGif(std::span<const uint8_t> file, gdi::Dib& out) {
  sys::ByteReader in(file);
  auto signature = in.Bytes(6);
  if (!signature || (std::memcmp(signature->data(), "GIF87a", 6) != 0 &&
                     std::memcmp(signature->data(), "GIF89a", 6) != 0))
    return kNotThisFormat;
  auto screenWidth = in.U16LE(), screenHeight = in.U16LE();
  auto flags = in.U8(), background = in.U8(), aspect = in.U8();
  if (!aspect)
    return kUnsupported;
  // Without a global table there are no colours to give the pixels.
  if (!(*flags & 0x80))
    return kUnsupported;
  const int colourCount = 2 << (*flags & 7);
  const int bits = colourCount <= 2 ? 1 : colourCount <= 16 ? 4 : 8;
  auto table = in.Bytes(3 * static_cast<size_t>(colourCount));
  if (!table)
    return kUnsupported;

  for (;;) {
    auto label = in.U8();
    if (!label)
      return kUnsupported;
    if (*label == kImageSeparator)
      break;
    if (*label != kExtensionIntroducer)
      return kUnsupported;
    auto kind = in.U8();
    if (!kind || (*kind != kGraphicControl && *kind != kComment && *kind != kPlainText))
      return kUnsupported;
    if (!SkipSubBlocks(in))
      return kUnsupported;
  }
  auto left = in.U16LE(), top = in.U16LE(), width = in.U16LE(), height = in.U16LE();
  auto imageFlags = in.U8();
  auto minCodeSize = in.U8();
  if (!minCodeSize)
    return kUnsupported;
  // A local colour table is not taken; nor is a frame reaching off the screen.
  if (*imageFlags & 0x80)
    return kUnsupported;
  if (*width == 0 || *height == 0 || *left + *width > *screenWidth ||
      *top + *height > *screenHeight)
    return kUnsupported;
  if (*minCodeSize < 1 || *minCodeSize > 8)
    return kUnsupported;
  if (int r = MakeBitmap(*screenWidth, *screenHeight, bits, out); r != kDecoded)
    return r;

  std::vector<gdi::RgbQuad>& colours = out.Colours();
  for (int i = 0; i < colourCount && i < static_cast<int>(colours.size()); ++i)
    colours[i] = gdi::RgbQuad{(*table)[3 * i + 2], (*table)[3 * i + 1], (*table)[3 * i], 0};
  // Everything outside the frame shows the background index.
  const uint8_t back = *background < (1u << bits) ? *background : 0;
  if (back != 0) {
    uint8_t fill = back;
    if (bits == 1)
      fill = back ? 0xFF : 0;
    else if (bits == 4)
      fill = static_cast<uint8_t>(back << 4 | back);
    std::memset(out.Bits().data(), fill, out.Bits().size());
  }
  FrameWriter frame(out, *left, *top, *width, *height, (*imageFlags & 0x40) != 0);
  DecodeLzw(in, *minCodeSize, frame);
  return kDecoded;
}

} // namespace stills

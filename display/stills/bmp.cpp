#include "display/stills/bmp.h"

#include "display/stills/pixels.h"
#include "display/stills/result.h"
#include "platform/sys/bytes.h"

#include <algorithm>
#include <cstring>

namespace stills {
namespace {

bool KnownDepth(int bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Expands RLE8 (bits 8) or RLE4 (bits 4) data into the bitmap's rows, the
// first coded row being the bottom one.
void ExpandRle(std::span<const uint8_t> data, int bits, gdi::Dib& dib) {
  const int32_t width = dib.Width(), height = dib.Height();
  const size_t stride = dib.Stride();
  uint8_t* const bitsBase = dib.Bits().data();
  size_t pos = 0;
  int32_t x = 0, y = 0;
  auto put = [&](uint8_t index) { PutIndex(bitsBase + y * stride, x++, bits, index); };
  // The index of the i-th pixel of a run or an absolute byte.
  auto nibble = [&](uint8_t byte, int i) {
    return bits == 8 ? byte : static_cast<uint8_t>(i & 1 ? byte & 0x0F : byte >> 4);
  };
  while (pos + 2 <= data.size() && y < height) {
    const uint8_t count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      // Encoders may run on into the row's padding (to the stride); those
      // pixels are dropped, the row's end stays at the width.
      for (int i = 0; i < count && x < width; ++i)
        put(nibble(value, i));
      continue;
    }
    switch (value) {
    case 0: // end of line
      x = 0;
      ++y;
      break;
    case 1: // end of bitmap
      return;
    case 2: { // delta
      if (pos + 2 > data.size())
        return;
      const int32_t dx = data[pos], dy = data[pos + 1];
      pos += 2;
      if (x + dx > width || y + dy >= height)
        return;
      x += dx;
      y += dy;
      break;
    }
    default: { // an absolute run of value pixels, padded to a 16-bit boundary
      const size_t bytes = bits == 8 ? value : (value + 1u) / 2;
      if (pos + bytes > data.size())
        return;
      for (int i = 0; i < value && x < width; ++i)
        put(nibble(data[pos + (bits == 8 ? i : i / 2)], i));
      pos += (bytes + 1) & ~size_t{1};
      break;
    }
    }
  }
}

} // namespace

int DecodeBmp(std::span<const uint8_t> file, gdi::Dib& out) {
  sys::ByteReader in(file);
  auto fileHeader = gdi::ReadBitmapFileHeader(in);
  if (!fileHeader || fileHeader->type != gdi::kBmpMagic)
    return kNotThisFormat;
  bool core = false;
  auto header = gdi::ReadBitmapInfoHeader(in, &core);
  if (!header || !KnownDepth(header->bitCount))
    return kUnsupported;
  const int bits = header->bitCount;
  switch (header->compression) {
  case gdi::kBiRgb:
    break;
  case kBiRle8:
  case kBiRle4:
    if (bits == 24)
      return kTwentyFourBits;
    // Run-length data are always stored bottom-up.
    if (bits != (header->compression == kBiRle8 ? 8 : 4) || header->height < 0)
      return kUnsupported;
    break;
  default:
    return kUnsupported;
  }
  const int64_t height = header->height < 0 ? -int64_t{header->height} : header->height;
  if (int r = MakeBitmap(header->width, height, bits, out); r != kDecoded)
    return r;

  // The colour table, widened from 3-byte core entries; its fourth byte is
  // the file's and never a palette flag.
  std::vector<gdi::RgbQuad>& colours = out.Colours();
  colours.clear();
  if (bits <= 8) {
    int count = gdi::DibColourCount(*header);
    // Core headers say nothing of the table's size, and some files hold a
    // short table without saying so: the pixel offset bounds it.
    const size_t entrySize = core ? 3 : 4;
    if (fileHeader->offBits > in.Position())
      count = static_cast<int>(
          std::min<size_t>(count, (fileHeader->offBits - in.Position()) / entrySize));
    for (int i = 0; i < count; ++i) {
      auto entry = in.Bytes(entrySize);
      if (!entry)
        return kUnsupported;
      colours.push_back(gdi::RgbQuad{(*entry)[0], (*entry)[1], (*entry)[2], 0});
    }
  } else if (!in.Skip(size_t{core ? 3u : 4u} * gdi::DibColourCount(*header))) {
    return kUnsupported;
  }
  // Pixels start at the file header's offset; an offset of 0 means right
  // after the colour table.
  if (fileHeader->offBits != 0 &&
      (fileHeader->offBits < in.Position() || !in.Seek(fileHeader->offBits)))
    return kUnsupported;
  const std::span<const uint8_t> data = in.Rest();

  if (header->compression != gdi::kBiRgb) {
    ExpandRle(data, bits, out);
    return kDecoded;
  }
  const size_t stride = out.Stride();
  if (data.size() / stride < static_cast<size_t>(height))
    return kUnsupported;
  for (int64_t row = 0; row < height; ++row) {
    // Top-down files store the top row first; the bitmap is bottom-up.
    const int64_t target = header->height < 0 ? height - 1 - row : row;
    std::memcpy(out.Bits().data() + target * stride, data.data() + row * stride, stride);
  }
  return kDecoded;
}

} // namespace stills

#include "display/stills/pcx.h"

#include "display/stills/pixels.h"
#include "display/stills/result.h"
#include "platform/sys/bytes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace stills {
namespace {

constexpr size_t kHeaderPalette = 16;
constexpr size_t kPlanesField = 65;
constexpr size_t kBytesPerLineField = 66;
constexpr uint8_t kEndPaletteMarker = 0x0C;
constexpr size_t kEndPaletteSize = 1 + 768;

// Run-length coded bytes: a byte with its two top bits set repeats the next
// byte (its low six bits) times; any other byte stands for itself.
class RunReader {
public:
  explicit RunReader(std::span<const uint8_t> data) : data_(data) {}

  // Fills a whole scan line; false when the data end first.
  bool Fill(std::vector<uint8_t>& line) {
    size_t i = 0;
    while (i < line.size()) {
      if (count_ == 0) {
        if (pos_ >= data_.size())
          return false;
        const uint8_t b = data_[pos_++];
        if ((b & 0xC0) == 0xC0) {
          if (pos_ >= data_.size())
            return false;
          count_ = b & 0x3F;
          value_ = data_[pos_++];
        } else {
          count_ = 1;
          value_ = b;
        }
        continue;
      }
      const size_t n = std::min<size_t>(count_, line.size() - i);
      std::memset(line.data() + i, value_, n);
      i += n;
      count_ -= n;
    }
    return true;
  }

private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  size_t count_ = 0;
  uint8_t value_ = 0;
};

} // namespace

int DecodePcx(std::span<const uint8_t> file, gdi::Dib& out) {
  if (file.empty() || file[0] != kPcxMagic)
    return kNotThisFormat;
  if (file.size() < kPcxHeaderSize)
    return kUnsupported;
  sys::ByteReader in(file);
  in.Seek(3);
  const int bitsPerPlane = *in.U8();
  const int xMin = *in.U16LE(), yMin = *in.U16LE(), xMax = *in.U16LE(), yMax = *in.U16LE();
  const int planes = file[kPlanesField];
  const size_t bytesPerLine = file[kBytesPerLineField] | (file[kBytesPerLineField + 1] << 8);
  int bits = 0;
  if (bitsPerPlane == 8 && planes == 3)
    return kTwentyFourBits;
  if (bitsPerPlane == 1 && planes == 1)
    bits = 1;
  else if ((bitsPerPlane == 1 && planes == 4) || (bitsPerPlane == 4 && planes == 1))
    bits = 4;
  else if (bitsPerPlane == 8 && planes == 1)
    bits = 8;
  else
    return kUnsupported;
  const int64_t width = int64_t{xMax} - xMin + 1, height = int64_t{yMax} - yMin + 1;
  // Each plane's line must hold the row's pixels.
  if (width <= 0 || bytesPerLine < (static_cast<size_t>(width) * bitsPerPlane + 7) / 8)
    return kUnsupported;

  std::span<const uint8_t> data = file.subspan(kPcxHeaderSize);
  std::vector<gdi::RgbQuad> colours;
  if (bits == 8) {
    // 256 colours follow a marker at the very end of the file.
    if (data.size() < kEndPaletteSize || data[data.size() - kEndPaletteSize] != kEndPaletteMarker)
      return kUnsupported;
    const uint8_t* p = data.data() + data.size() - kEndPaletteSize + 1;
    for (int i = 0; i < 256; ++i, p += 3)
      colours.push_back(gdi::RgbQuad{p[2], p[1], p[0], 0});
    data = data.first(data.size() - kEndPaletteSize);
  } else {
    const uint8_t* p = file.data() + kHeaderPalette;
    for (int i = 0; i < (1 << bits); ++i, p += 3)
      colours.push_back(gdi::RgbQuad{p[2], p[1], p[0], 0});
  }
  if (int r = MakeBitmap(width, height, bits, out); r != kDecoded)
    return r;
  out.Colours() = std::move(colours);

  RunReader runs(data);
  std::vector<uint8_t> line(bytesPerLine * planes);
  const size_t rowBytes = (static_cast<size_t>(width) * bits + 7) / 8;
  for (int32_t y = 0; y < out.Height(); ++y) {
    if (!runs.Fill(line))
      break;
    uint8_t* row = out.RowFromTop(y);
    if (planes == 1) {
      std::memcpy(row, line.data(), rowBytes);
      continue;
    }
    // Four 1-bit planes, plane p giving bit p of each pixel's index.
    for (int32_t x = 0; x < out.Width(); ++x) {
      const size_t byte = static_cast<size_t>(x) >> 3;
      const int shift = 7 - (x & 7);
      uint8_t index = 0;
      for (int p = 0; p < 4; ++p)
        index |= static_cast<uint8_t>(((line[p * bytesPerLine + byte] >> shift) & 1) << p);
      PutIndex(row, x, 4, index);
    }
  }
  return kDecoded;
}

} // namespace stills

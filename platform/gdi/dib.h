// Device-independent bitmaps as BMP files and the decoders hold them: an info
// header, a colour table and pixel rows stored bottom-up, each row padded to
// a multiple of 4 bytes. 1, 4, 8, 16 (5-5-5), 24 and 32 bits per pixel,
// uncompressed.
#pragma once

#include "platform/gdi/types.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sys {
class ByteReader;
class ByteWriter;
} // namespace sys

namespace gdi {

constexpr uint16_t kBmpMagic = 0x4D42; // "BM"
constexpr uint32_t kBiRgb = 0;         // uncompressed
constexpr size_t kBitmapFileHeaderSize = 14;
constexpr size_t kBitmapInfoHeaderSize = 40;
constexpr size_t kBitmapCoreHeaderSize = 12;
// Sides above this are refused, so that a header cannot ask for gigabytes.
constexpr int32_t kMaxDibSide = 32768;
constexpr size_t kMaxDibBytes = size_t{1} << 28;

struct BitmapFileHeader {
  uint16_t type = kBmpMagic;
  uint32_t size = 0;
  uint16_t reserved1 = 0;
  uint16_t reserved2 = 0;
  uint32_t offBits = 0;
};

struct BitmapInfoHeader {
  uint32_t size = kBitmapInfoHeaderSize;
  int32_t width = 0;
  int32_t height = 0; // positive: rows stored bottom-up
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = kBiRgb;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == kBitmapInfoHeaderSize);

// One colour-table entry in file order.
struct RgbQuad {
  uint8_t blue = 0;
  uint8_t green = 0;
  uint8_t red = 0;
  uint8_t reserved = 0;
  friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};
static_assert(sizeof(RgbQuad) == 4);

inline Colour ColourOf(const RgbQuad& q) {
  return Rgb(q.red, q.green, q.blue);
}
inline RgbQuad QuadOf(Colour c) {
  return RgbQuad{BlueOf(c), GreenOf(c), RedOf(c), 0};
}

std::optional<BitmapFileHeader> ReadBitmapFileHeader(sys::ByteReader& in);
void WriteBitmapFileHeader(sys::ByteWriter& out, const BitmapFileHeader& h);
// Reads a 40-byte info header, or a 12-byte core header widened to one (the
// reader is left after the header in both cases). Longer headers (V4, V5)
// are read as their first 40 bytes and the rest skipped.
std::optional<BitmapInfoHeader> ReadBitmapInfoHeader(sys::ByteReader& in, bool* wasCore = nullptr);
void WriteBitmapInfoHeader(sys::ByteWriter& out, const BitmapInfoHeader& h);

// Bytes in one stored row.
size_t DibStride(int32_t width, int bitCount);
// Colour-table entries of a header: 2^bits for 1, 4 and 8 bits (fewer when
// clrUsed says so, never more), clrUsed (at most 256) for deeper bitmaps.
int DibColourCount(const BitmapInfoHeader& h);

// A bitmap held elsewhere (a game's own header block and pixel memory).
struct DibView {
  BitmapInfoHeader header;
  std::span<const RgbQuad> colours;
  std::span<const uint8_t> bits;

  int32_t Width() const { return header.width; }
  int32_t Height() const { return header.height < 0 ? -header.height : header.height; }
  // Uncompressed, a known depth, sides within bounds, enough pixel bytes.
  bool IsValid() const;
  // The colour of the pixel at column x of row y counted from the top;
  // indexes past the colour table read as black. No bounds check.
  Colour PixelColour(int32_t x, int32_t y) const;
};

class Dib {
public:
  // A bitmap of zero pixels and a colour table of black entries.
  static std::optional<Dib> Create(int32_t width, int32_t height, int bitCount);
  // A whole BMP file. Negative heights (top-down files) are stored bottom-up.
  static std::optional<Dib> FromBmpFile(std::span<const uint8_t> file);
  // An info header, its colour table and the pixels right after it.
  static std::optional<Dib> FromPacked(std::span<const uint8_t> packed);

  int32_t Width() const { return header_.width; }
  int32_t Height() const { return header_.height; }
  int BitCount() const { return header_.bitCount; }
  size_t Stride() const { return DibStride(header_.width, header_.bitCount); }
  const BitmapInfoHeader& Header() const { return header_; }
  std::vector<RgbQuad>& Colours() { return colours_; }
  const std::vector<RgbQuad>& Colours() const { return colours_; }
  std::vector<uint8_t>& Bits() { return bits_; }
  const std::vector<uint8_t>& Bits() const { return bits_; }
  // The stored bytes of row y counted from the top.
  uint8_t* RowFromTop(int32_t y) { return bits_.data() + (header_.height - 1 - y) * Stride(); }
  const uint8_t* RowFromTop(int32_t y) const {
    return bits_.data() + (header_.height - 1 - y) * Stride();
  }
  DibView View() const;
  Colour PixelColour(int32_t x, int32_t y) const { return View().PixelColour(x, y); }
  // The bitmap as a BMP file.
  std::vector<uint8_t> ToBmpFile() const;

private:
  static std::optional<Dib> Read(sys::ByteReader& in, size_t start, std::optional<size_t> offBits);

  BitmapInfoHeader header_;
  std::vector<RgbQuad> colours_;
  std::vector<uint8_t> bits_;
};

} // namespace gdi

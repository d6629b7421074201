#include "platform/gdi/dib.h"

#include "platform/sys/bytes.h"

#include <algorithm>
#include <cstring>

namespace gdi {

namespace {

bool KnownDepth(int bitCount) {
  return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
         bitCount == 32;
}

bool SidesInBounds(int32_t width, int32_t height) {
  const int64_t h = height < 0 ? -static_cast<int64_t>(height) : height;
  return width > 0 && width <= kMaxDibSide && h > 0 && h <= kMaxDibSide;
}

} // namespace

std::optional<BitmapFileHeader> ReadBitmapFileHeader(sys::ByteReader& in) {
  if (in.Remaining() < kBitmapFileHeaderSize)
    return std::nullopt;
  BitmapFileHeader h;
  h.type = *in.U16LE();
  h.size = *in.U32LE();
  h.reserved1 = *in.U16LE();
  h.reserved2 = *in.U16LE();
  h.offBits = *in.U32LE();
  return h;
}

void WriteBitmapFileHeader(sys::ByteWriter& out, const BitmapFileHeader& h) {
  out.U16LE(h.type);
  out.U32LE(h.size);
  out.U16LE(h.reserved1);
  out.U16LE(h.reserved2);
  out.U32LE(h.offBits);
}

std::optional<BitmapInfoHeader> ReadBitmapInfoHeader(sys::ByteReader& in, bool* wasCore) {
  const size_t start = in.Position();
  auto fail = [&]() -> std::optional<BitmapInfoHeader> {
    in.Seek(start);
    return std::nullopt;
  };
  auto size = in.U32LE();
  if (!size)
    return fail();
  BitmapInfoHeader h;
  // The whole header must be there before any field is taken.
  if (*size < kBitmapCoreHeaderSize || in.Remaining() < *size - 4)
    return fail();
  if (*size == kBitmapCoreHeaderSize) {
    h.width = *in.U16LE();
    h.height = static_cast<int16_t>(*in.U16LE());
    h.planes = *in.U16LE();
    h.bitCount = *in.U16LE();
    if (wasCore)
      *wasCore = true;
    return h;
  }
  if (*size < kBitmapInfoHeaderSize)
    return fail();
  h.width = *in.I32LE();
  h.height = *in.I32LE();
  h.planes = *in.U16LE();
  h.bitCount = *in.U16LE();
  h.compression = *in.U32LE();
  h.sizeImage = *in.U32LE();
  h.xPelsPerMeter = *in.I32LE();
  h.yPelsPerMeter = *in.I32LE();
  h.clrUsed = *in.U32LE();
  h.clrImportant = *in.U32LE();
  in.Skip(*size - kBitmapInfoHeaderSize);
  if (wasCore)
    *wasCore = false;
  return h;
}

void WriteBitmapInfoHeader(sys::ByteWriter& out, const BitmapInfoHeader& h) {
  out.U32LE(kBitmapInfoHeaderSize);
  out.I32LE(h.width);
  out.I32LE(h.height);
  out.U16LE(h.planes);
  out.U16LE(h.bitCount);
  out.U32LE(h.compression);
  out.U32LE(h.sizeImage);
  out.I32LE(h.xPelsPerMeter);
  out.I32LE(h.yPelsPerMeter);
  out.U32LE(h.clrUsed);
  out.U32LE(h.clrImportant);
}

size_t DibStride(int32_t width, int bitCount) {
  if (width <= 0 || bitCount <= 0)
    return 0;
  return ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
}

int DibColourCount(const BitmapInfoHeader& h) {
  if (h.bitCount >= 1 && h.bitCount <= 8) {
    const uint32_t full = 1u << h.bitCount;
    return static_cast<int>(h.clrUsed != 0 && h.clrUsed < full ? h.clrUsed : full);
  }
  return static_cast<int>(std::min<uint32_t>(h.clrUsed, 256));
}

bool DibView::IsValid() const {
  if (header.compression != kBiRgb || !KnownDepth(header.bitCount) ||
      !SidesInBounds(header.width, header.height))
    return false;
  const size_t need = DibStride(header.width, header.bitCount) * static_cast<size_t>(Height());
  return need <= kMaxDibBytes && bits.size() >= need;
}

Colour DibView::PixelColour(int32_t x, int32_t y) const {
  const int32_t h = Height();
  const int32_t stored = header.height > 0 ? h - 1 - y : y;
  const uint8_t* row =
      bits.data() + static_cast<size_t>(stored) * DibStride(header.width, header.bitCount);
  uint32_t index = 0;
  switch (header.bitCount) {
  case 1:
    index = (row[x >> 3] >> (7 - (x & 7))) & 1;
    break;
  case 4:
    index = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    break;
  case 8:
    index = row[x];
    break;
  case 16: {
    // 5-5-5, each channel widened to 8 bits by repeating its top bits.
    const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
    auto widen = [](unsigned c) { return static_cast<uint8_t>((c << 3) | (c >> 2)); };
    return Rgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
  }
  case 24:
    return Rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  case 32:
    return Rgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
  default:
    return 0;
  }
  return index < colours.size() ? ColourOf(colours[index]) : 0;
}

std::optional<Dib> Dib::Create(int32_t width, int32_t height, int bitCount) {
  if (!KnownDepth(bitCount) || !SidesInBounds(width, height) || height < 0)
    return std::nullopt;
  const size_t bytes = DibStride(width, bitCount) * static_cast<size_t>(height);
  if (bytes > kMaxDibBytes)
    return std::nullopt;
  Dib dib;
  dib.header_.width = width;
  dib.header_.height = height;
  dib.header_.bitCount = static_cast<uint16_t>(bitCount);
  dib.header_.sizeImage = static_cast<uint32_t>(bytes);
  dib.colours_.assign(bitCount <= 8 ? (size_t{1} << bitCount) : 0, RgbQuad{});
  dib.bits_.assign(bytes, 0);
  return dib;
}

std::optional<Dib> Dib::Read(sys::ByteReader& in, size_t start, std::optional<size_t> offBits) {
  bool core = false;
  auto header = ReadBitmapInfoHeader(in, &core);
  if (!header || header->compression != kBiRgb || !KnownDepth(header->bitCount) ||
      !SidesInBounds(header->width, header->height))
    return std::nullopt;
  Dib dib;
  dib.header_ = *header;
  const int count = DibColourCount(*header);
  dib.colours_.reserve(count);
  for (int i = 0; i < count; ++i) {
    auto entry = in.Bytes(core ? 3 : 4);
    if (!entry)
      return std::nullopt;
    dib.colours_.push_back(
        RgbQuad{(*entry)[0], (*entry)[1], (*entry)[2], core ? uint8_t{0} : (*entry)[3]});
  }
  if (offBits && !in.Seek(start + *offBits))
    return std::nullopt;
  const int32_t height = header->height < 0 ? -header->height : header->height;
  const size_t stride = DibStride(header->width, header->bitCount);
  const size_t bytes = stride * static_cast<size_t>(height);
  if (bytes > kMaxDibBytes)
    return std::nullopt;
  auto pixels = in.Bytes(bytes);
  if (!pixels)
    return std::nullopt;
  dib.bits_.assign(pixels->begin(), pixels->end());
  if (header->height < 0) {
    // Stored top-down in the file: turn the rows round so every Dib is bottom-up.
    for (int32_t y = 0; y < height / 2; ++y)
      std::swap_ranges(dib.bits_.begin() + y * stride, dib.bits_.begin() + (y + 1) * stride,
                       dib.bits_.begin() + (height - 1 - y) * stride);
  }
  dib.header_.size = kBitmapInfoHeaderSize;
  dib.header_.height = height;
  dib.header_.sizeImage = static_cast<uint32_t>(bytes);
  return dib;
}

std::optional<Dib> Dib::FromBmpFile(std::span<const uint8_t> file) {
  sys::ByteReader in(file);
  auto fileHeader = ReadBitmapFileHeader(in);
  if (!fileHeader || fileHeader->type != kBmpMagic)
    return std::nullopt;
  return Read(in, 0, fileHeader->offBits);
}

std::optional<Dib> Dib::FromPacked(std::span<const uint8_t> packed) {
  sys::ByteReader in(packed);
  return Read(in, 0, std::nullopt);
}

DibView Dib::View() const {
  return DibView{header_, colours_, bits_};
}

std::vector<uint8_t> Dib::ToBmpFile() const {
  sys::ByteWriter out;
  const size_t offBits = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + 4 * colours_.size();
  BitmapFileHeader fh;
  fh.size = static_cast<uint32_t>(offBits + bits_.size());
  fh.offBits = static_cast<uint32_t>(offBits);
  WriteBitmapFileHeader(out, fh);
  BitmapInfoHeader ih = header_;
  ih.clrUsed = header_.bitCount <= 8 ? static_cast<uint32_t>(colours_.size()) : 0;
  ih.sizeImage = static_cast<uint32_t>(bits_.size());
  WriteBitmapInfoHeader(out, ih);
  for (const RgbQuad& q : colours_) {
    out.U8(q.blue);
    out.U8(q.green);
    out.U8(q.red);
    out.U8(q.reserved);
  }
  out.Bytes(bits_.data(), bits_.size());
  return out.Take();
}

} // namespace gdi

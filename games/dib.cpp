#include "games/dib.h"

#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace games {
namespace {

constexpr uint32_t kCoreHeaderSize = 12;

uint16_t U16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutHeader(uint8_t* block, const gdi::BitmapInfoHeader& h) {
  std::memcpy(block, &h, sizeof h);
}

int ColoursOf(const gdi::BitmapInfoHeader& h) {
  int n = 0;
  switch (h.bitCount) {
  case 1: n = 2; break;
  case 4: n = 16; break;
  case 8: n = 256; break;
  default: n = 0; break;
  }
  if (h.clrUsed != 0)
    n = h.clrUsed > kDibColourEntries ? -1 : int(h.clrUsed);
  return n;
}

struct BlockDeleter {
  void operator()(uint8_t* p) const { delete[] p; }
};
using Owned = std::unique_ptr<uint8_t[], BlockDeleter>;

Owned Allocate(size_t n) {
  return Owned(new (std::nothrow) uint8_t[n]());
}

bool ReadExactly(std::FILE* f, void* to, size_t n) {
  return n == 0 || std::fread(to, 1, n, f) == n;
}

} // namespace

CDIB::CDIB() {
  CreateBlank(16, 16);
}

CDIB::~CDIB() {
  Replace(nullptr, nullptr, false);
}

void CDIB::Replace(uint8_t* block, uint8_t* bits, bool owns) {
  delete[] block_;
  if (owns_)
    delete[] bits_;
  block_ = block;
  bits_ = bits;
  owns_ = owns;
  SyncInfo();
}

void CDIB::SyncInfo() {
  if (block_)
    std::memcpy(&info_, block_, sizeof info_);
  else
    info_ = gdi::BitmapInfoHeader{};
}

int CDIB::CreateBlank(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > gdi::kMaxDibSide || height > gdi::kMaxDibSide)
    return 0;
  const size_t stride = (size_t(width) + 3) & ~size_t{3};
  Owned block = Allocate(kDibHeaderBlock);
  Owned bits = Allocate(stride * size_t(height));
  if (!block || !bits)
    return 0;
  gdi::BitmapInfoHeader h;
  h.width = width;
  h.height = height;
  h.planes = 1;
  h.bitCount = 8;
  PutHeader(block.get(), h);
  auto* table = block.get() + gdi::kBitmapInfoHeaderSize;
  for (size_t i = 0; i < kDibColourEntries; ++i)
    table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = uint8_t(i);
  Replace(block.release(), bits.release(), true);
  return 1;
}

int CDIB::Load(const std::string& path) {
  std::string file = path;
  if (file.empty()) {
    ui::OpenFileRequest request;
    request.filter = kDibFilter;
    auto chosen = ui::GetOpenFileName(request);
    if (!chosen)
      return 0;
    file = *chosen;
  }
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) {
    ui::MessageBox(kFailedToOpen, "");
    return 0;
  }
  const int result = ReadFromFile(f);
  std::fclose(f);
  if (!result)
    ui::MessageBox(kFailedToLoad, "");
  return result;
}

int CDIB::ReadFromFile(std::FILE* f) {
  if (!f)
    return 0;
  const long start = std::ftell(f);
  if (start < 0)
    return 0;
  uint8_t fileHeader[gdi::kBitmapFileHeaderSize];
  if (!ReadExactly(f, fileHeader, sizeof fileHeader) || U16(fileHeader) != gdi::kBmpMagic)
    return 0;
  const uint32_t offBits = U32(fileHeader + 10);

  uint8_t raw[gdi::kBitmapInfoHeaderSize] = {};
  if (!ReadExactly(f, raw, 4))
    return 0;
  const uint32_t headerSize = U32(raw);
  gdi::BitmapInfoHeader h;
  const bool core = headerSize == kCoreHeaderSize;
  if (headerSize == gdi::kBitmapInfoHeaderSize) {
    if (!ReadExactly(f, raw + 4, gdi::kBitmapInfoHeaderSize - 4))
      return 0;
    std::memcpy(&h, raw, sizeof h);
  } else if (core) {
    if (!ReadExactly(f, raw + 4, kCoreHeaderSize - 4))
      return 0;
    h.width = U16(raw + 4);
    h.height = U16(raw + 6);
    h.planes = U16(raw + 8);
    h.bitCount = U16(raw + 10);
  } else {
    return 0; // the longer headers and anything else
  }
  if (h.compression != gdi::kBiRgb || h.width <= 0 || h.height <= 0 ||
      h.width > gdi::kMaxDibSide || h.height > gdi::kMaxDibSide)
    return 0;
  const int n = ColoursOf(h);
  if (n < 0)
    return 0;
  const size_t stride = gdi::DibStride(h.width, h.bitCount);
  if (stride == 0 || stride > gdi::kMaxDibBytes / size_t(h.height))
    return 0;
  const size_t pixelBytes = stride * size_t(h.height);
  const size_t entrySize = core ? 3 : 4;
  if (uint64_t(offBits) < gdi::kBitmapFileHeaderSize + headerSize + entrySize * size_t(n))
    return 0; // the pixels would overlap the header or the table

  Owned block = Allocate(kDibHeaderBlock);
  if (!block)
    return 0;
  h.size = gdi::kBitmapInfoHeaderSize;
  PutHeader(block.get(), h);
  uint8_t* table = block.get() + gdi::kBitmapInfoHeaderSize;
  for (int i = 0; i < n; ++i) {
    if (!ReadExactly(f, table + 4 * i, entrySize))
      return 0;
    table[4 * i + 3] = core ? 0 : table[4 * i + 3];
  }
  Owned bits = Allocate(pixelBytes);
  if (!bits || std::fseek(f, start + long(offBits), SEEK_SET) != 0 ||
      !ReadExactly(f, bits.get(), pixelBytes))
    return 0;
  Replace(block.release(), bits.release(), true);
  return 1;
}

int CDIB::DrawStretched(gdi::Dc& dc, int32_t x, int32_t y, int32_t width, int32_t height) {
  const int32_t w = GetWidth(), h = GetHeight();
  return dc.StretchDib(x, y, width ? width : w, height ? height : h, 0, 0, w, h, View(),
                       gdi::kSrcCopy);
}

int32_t CDIB::GetWidth() const {
  return info_.width;
}

int32_t CDIB::GetHeight() const {
  return info_.height;
}

size_t CDIB::Stride() const {
  return gdi::DibStride(info_.width, info_.bitCount ? info_.bitCount : 8);
}

std::span<gdi::RgbQuad> CDIB::ColourTable() {
  return {reinterpret_cast<gdi::RgbQuad*>(block_ + gdi::kBitmapInfoHeaderSize), kDibColourEntries};
}

std::span<const gdi::RgbQuad> CDIB::ColourTable() const {
  return {reinterpret_cast<const gdi::RgbQuad*>(block_ + gdi::kBitmapInfoHeaderSize),
          kDibColourEntries};
}

int CDIB::MatchToPalette(const gdi::Palette* palette) {
  if (!palette || palette->Size() == 0)
    return 0;
  // One translation table, then one pass over every byte.
  std::array<uint8_t, kDibColourEntries> to{};
  const auto table = ColourTable();
  for (size_t i = 0; i < kDibColourEntries; ++i)
    to[i] = uint8_t(palette->NearestIndex(gdi::ColourOf(table[i])));
  const size_t bytes = Stride() * size_t(GetHeight());
  for (size_t i = 0; i < bytes; ++i)
    bits_[i] = to[bits_[i]];
  const auto entries = palette->Entries(0, kDibColourEntries);
  for (size_t i = 0; i < entries.size(); ++i) {
    table[i].red = entries[i].red;
    table[i].green = entries[i].green;
    table[i].blue = entries[i].blue;
  }
  gdi::BitmapInfoHeader h = info_;
  h.clrUsed = kDibColourEntries;
  PutHeader(block_, h);
  SyncInfo();
  return 1;
}

void CDIB::GetRect(gdi::Rect* rect) const {
  if (rect)
    *rect = gdi::Rect{0, 0, GetWidth(), GetHeight()};
}

void CDIB::BlitRect(CDIB& destination, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                    int32_t sy, int key) const {
  if (w <= 0 || h <= 0)
    return;
  const uint8_t* from = GetPixelAddress(sx, sy + h - 1);
  uint8_t* to = destination.GetPixelAddress(dx, dy + h - 1);
  // Callers keep the rectangles inside; a rectangle that is not is left.
  if (!from || !to || !GetPixelAddress(sx + w - 1, sy) ||
      !destination.GetPixelAddress(dx + w - 1, dy))
    return;
  const size_t fromStride = Stride(), toStride = destination.Stride();
  const uint8_t skip = uint8_t(key);
  for (int32_t row = 0; row < h; ++row, from += fromStride, to += toStride) {
    if (key == -1) {
      std::memcpy(to, from, size_t(w));
      continue;
    }
    for (int32_t x = 0; x < w; ++x)
      if (from[x] != skip)
        to[x] = from[x];
  }
}

int CDIB::AttachBits(std::span<const uint8_t> block, uint8_t* pixels) {
  if (block.size() < gdi::kBitmapInfoHeaderSize)
    return 0;
  Owned copy = Allocate(kDibHeaderBlock);
  if (!copy)
    return 0;
  gdi::BitmapInfoHeader h;
  std::memcpy(&h, block.data(), sizeof h);
  const int n = std::max(ColoursOf(h), 0);
  const size_t table = std::min(4 * size_t(n), block.size() - gdi::kBitmapInfoHeaderSize);
  std::memcpy(copy.get(), block.data(), gdi::kBitmapInfoHeaderSize + table);
  Replace(copy.release(), pixels, false);
  return 1;
}

const uint8_t* CDIB::GetPixelAddress(int32_t x, int32_t y) const {
  if (!bits_ || x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight())
    return nullptr;
  return bits_ + size_t(GetHeight() - y - 1) * Stride() + size_t(x);
}

uint8_t* CDIB::GetPixelAddress(int32_t x, int32_t y) {
  return const_cast<uint8_t*>(std::as_const(*this).GetPixelAddress(x, y));
}

int CDIB::NumColors() const {
  return std::max(ColoursOf(info_), 0);
}

gdi::DibView CDIB::View() const {
  gdi::DibView v;
  v.header = info_;
  v.colours = ColourTable().subspan(0, std::min<size_t>(size_t(NumColors()), kDibColourEntries));
  if (bits_)
    v.bits = {bits_, Stride() * size_t(std::max(GetHeight(), 0))};
  return v;
}

int LoadGameBitmap(CDIB& dib, const std::string& path) {
  if (!dib.Load(path))
    return 0;
  if (dib.Info().bitCount != 8) {
    ui::MessageBox(kOnly8Bpp, "");
    return 0;
  }
  return 1;
}

} // namespace games

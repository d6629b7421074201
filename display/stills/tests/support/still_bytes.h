// Byte builders for hand-made still-image fixtures: BMP headers, PCX headers
// and GIF blocks with LZW codes packed at the widths the test gives.
#pragma once

#include "platform/gdi/dib.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace stills::test {

struct Bytes {
  std::vector<uint8_t> b;
  Bytes& U8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Bytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Bytes& Raw(std::initializer_list<uint8_t> v) {
    b.insert(b.end(), v);
    return *this;
  }
  Bytes& Text(const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& Fill(size_t n, uint8_t v) {
    b.insert(b.end(), n, v);
    return *this;
  }
};

// A BMP file header whose pixel offset follows an info header and count
// 4-byte colour entries (or 3-byte ones after a core header).
Bytes BmpHeaders(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                 uint32_t colours);
Bytes BmpCoreHeaders(uint16_t width, int16_t height, uint16_t bits, uint32_t colours);

// A 128-byte PCX header; the header palette holds grey levels 0, 17, 34...
Bytes PcxHeader(uint16_t width, uint16_t height, uint8_t bitsPerPlane, uint8_t planes,
                uint16_t bytesPerLine);

// LZW codes, each with its width in bits, packed least significant bit
// first into GIF data sub-blocks of at most 255 bytes, ended by an empty one.
std::vector<uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codes);
// The codes a GIF encoder writes for pixels: a clear code first, no clear
// when the table is full (the decoder must go on at 12 bits), the end code.
std::vector<std::pair<int, int>> EncodeLzw(const std::vector<uint8_t>& pixels, int minCodeSize);

// A GIF up to its image data: signature, screen, global table of 2^(n+1)
// grey entries (n = tableBits), the blocks given, an image descriptor.
struct GifFrame {
  uint16_t left = 0, top = 0, width = 0, height = 0;
  uint8_t flags = 0;
};
Bytes GifHead(const std::string& signature, uint16_t width, uint16_t height, int tableBits,
              uint8_t background, const std::vector<uint8_t>& blocks, const GifFrame& frame);

// The palette indexes of a decoded bitmap, row by row from the top.
std::vector<uint8_t> Indexes(const gdi::Dib& dib);

} // namespace stills::test

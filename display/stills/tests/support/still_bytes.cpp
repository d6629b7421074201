#include "display/stills/tests/support/still_bytes.h"

#include <map>

namespace stills::test {

Bytes BmpHeaders(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                 uint32_t colours) {
  Bytes f;
  f.U16(0x4D42).U32(0).U32(0).U32(14 + 40 + 4 * colours);
  f.U32(40).U32(static_cast<uint32_t>(width)).U32(static_cast<uint32_t>(height));
  f.U16(1).U16(bits).U32(compression).U32(0).U32(0).U32(0).U32(colours).U32(0);
  return f;
}

Bytes BmpCoreHeaders(uint16_t width, int16_t height, uint16_t bits, uint32_t colours) {
  Bytes f;
  f.U16(0x4D42).U32(0).U32(0).U32(14 + 12 + 3 * colours);
  f.U32(12).U16(width).U16(static_cast<uint16_t>(height)).U16(1).U16(bits);
  return f;
}

Bytes PcxHeader(uint16_t width, uint16_t height, uint8_t bitsPerPlane, uint8_t planes,
                uint16_t bytesPerLine) {
  Bytes f;
  f.U8(0x0A).U8(5).U8(1).U8(bitsPerPlane);
  f.U16(0).U16(0).U16(width - 1).U16(height - 1).U16(72).U16(72);
  for (int i = 0; i < 16; ++i)
    f.Fill(3, static_cast<uint8_t>(17 * i));
  f.U8(0).U8(planes).U16(bytesPerLine).U16(1);
  f.Fill(128 - f.b.size(), 0);
  return f;
}

std::vector<uint8_t> PackCodes(const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> data;
  uint32_t acc = 0;
  int count = 0;
  for (auto [code, width] : codes) {
    acc |= static_cast<uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      data.push_back(acc & 0xFF);
      acc >>= 8;
      count -= 8;
    }
  }
  if (count > 0)
    data.push_back(acc & 0xFF);
  std::vector<uint8_t> blocks;
  for (size_t i = 0; i < data.size(); i += 255) {
    const size_t n = std::min<size_t>(255, data.size() - i);
    blocks.push_back(static_cast<uint8_t>(n));
    blocks.insert(blocks.end(), data.begin() + i, data.begin() + i + n);
  }
  blocks.push_back(0);
  return blocks;
}

std::vector<std::pair<int, int>> EncodeLzw(const std::vector<uint8_t>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize, end = clear + 1;
  std::map<std::pair<int, uint8_t>, int> table;
  std::vector<std::pair<int, int>> codes;
  int width = minCodeSize + 1;
  // What the decoder's table holds after each code: one entry per code after
  // the first, the code width growing when the next free code needs a bit more.
  int decoderNext = end + 1, encoderNext = end + 1;
  bool first = true;
  auto emit = [&](int code) {
    codes.push_back({code, width});
    if (!first && decoderNext < 4096) {
      ++decoderNext;
      if (decoderNext >= (1 << width) && width < 12)
        ++width;
    }
    first = false;
  };
  codes.push_back({clear, width});
  int current = -1;
  for (uint8_t p : pixels) {
    if (current < 0) {
      current = p;
      continue;
    }
    auto it = table.find({current, p});
    if (it != table.end()) {
      current = it->second;
      continue;
    }
    emit(current);
    if (encoderNext < 4096)
      table[{current, p}] = encoderNext++;
    current = p;
  }
  if (current >= 0)
    emit(current);
  codes.push_back({end, width});
  return codes;
}

Bytes GifHead(const std::string& signature, uint16_t width, uint16_t height, int tableBits,
              uint8_t background, const std::vector<uint8_t>& blocks, const GifFrame& frame) {
  Bytes f;
  f.Text(signature).U16(width).U16(height);
  f.U8(static_cast<uint8_t>(0x80 | (tableBits & 7))).U8(background).U8(0);
  const int count = 2 << tableBits;
  for (int i = 0; i < count; ++i)
    f.Raw({static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7});
  f.b.insert(f.b.end(), blocks.begin(), blocks.end());
  f.U8(0x2C).U16(frame.left).U16(frame.top).U16(frame.width).U16(frame.height).U8(frame.flags);
  return f;
}

std::vector<uint8_t> Indexes(const gdi::Dib& dib) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < dib.Height(); ++y) {
    const uint8_t* row = dib.RowFromTop(y);
    for (int32_t x = 0; x < dib.Width(); ++x) {
      switch (dib.BitCount()) {
      case 1:
        out.push_back((row[x >> 3] >> (7 - (x & 7))) & 1);
        break;
      case 4:
        out.push_back((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
        break;
      default:
        out.push_back(row[x]);
        break;
      }
    }
  }
  return out;
}

} // namespace stills::test

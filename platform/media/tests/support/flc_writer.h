// FLC animations written for the tests (FFmpeg reads FLIC but cannot write
// it): the 128-byte header, then frames of chunks: COLOR_256 with the
// palette and BYTE_RUN for the first picture, DELTA_FLC (changed lines, as
// literal or repeated pixel pairs) for the others.
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace mediatest {

struct FlcPicture {
  std::vector<uint8_t> index; // width x height palette indexes, rows from the top
};

class FlcBytes {
public:
  void U8(uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) { U8(v), U8(v >> 8); }
  void U32(uint32_t v) { U16(v), U16(v >> 16); }
  void PutU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void PutU16(size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v), b[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  std::vector<uint8_t> b;
};

// A chunk of type at the end of out: its size patched in when it ends,
// padded to an even length.
inline size_t BeginChunk(FlcBytes& out, uint16_t type) {
  const size_t at = out.b.size();
  out.U32(0);
  out.U16(type);
  return at;
}
inline void EndChunk(FlcBytes& out, size_t at) {
  if ((out.b.size() - at) % 2)
    out.U8(0);
  out.PutU32(at, static_cast<uint32_t>(out.b.size() - at));
}

inline void ByteRun(FlcBytes& out, const FlcPicture& p, int width, int height) {
  for (int y = 0; y < height; ++y) {
    out.U8(0); // packet count: unused, lines run to their width
    const uint8_t* row = p.index.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width;) {
      int run = 1;
      while (x + run < width && run < 127 && row[x + run] == row[x])
        ++run;
      if (run >= 3) { // a run: count, then the byte
        out.U8(static_cast<uint8_t>(run));
        out.U8(row[x]);
        x += run;
        continue;
      }
      int lit = 0; // literal bytes up to the next run of three
      while (x + lit < width && lit < 127 &&
             !(x + lit + 2 < width && row[x + lit] == row[x + lit + 1] &&
               row[x + lit] == row[x + lit + 2]))
        ++lit;
      if (lit == 0)
        lit = 1;
      out.U8(static_cast<uint8_t>(-lit));
      for (int i = 0; i < lit; ++i)
        out.U8(row[x + i]);
      x += lit;
    }
  }
}

// Lines that differ from before, each as one packet from the first to the
// last changed pair: a repeat when every pair of it is the same, else
// literal pairs. width must be even and at most 254.
inline void DeltaFlc(FlcBytes& out, const FlcPicture& before, const FlcPicture& p, int width,
                     int height) {
  const size_t linesAt = out.b.size();
  out.U16(0);
  uint32_t lines = 0, skip = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* a = before.index.data() + static_cast<size_t>(y) * width;
    const uint8_t* r = p.index.data() + static_cast<size_t>(y) * width;
    int first = width, last = -1;
    for (int x = 0; x < width; ++x)
      if (a[x] != r[x])
        first = std::min(first, x), last = x;
    if (last < 0) {
      ++skip;
      continue;
    }
    if (skip)
      out.U16(static_cast<uint16_t>(-static_cast<int32_t>(skip)));
    skip = 0;
    ++lines;
    first &= ~1;
    const int pairs = (last - first) / 2 + 1;
    bool same = true;
    for (int k = 1; k < pairs; ++k)
      same = same && r[first + 2 * k] == r[first] && r[first + 2 * k + 1] == r[first + 1];
    out.U16(1); // one packet
    out.U8(static_cast<uint8_t>(first));
    if (same && pairs > 1) {
      out.U8(static_cast<uint8_t>(-pairs));
      out.U8(r[first]), out.U8(r[first + 1]);
    } else {
      out.U8(static_cast<uint8_t>(pairs));
      for (int i = 0; i < 2 * pairs; ++i)
        out.U8(r[first + i]);
    }
  }
  out.PutU16(linesAt, lines);
}

// Writes the pictures with palette (RGB) as an FLC file, speed ms apart.
inline bool WriteFlc(const std::string& path, int width, int height, uint32_t speedMs,
                     const std::array<std::array<uint8_t, 3>, 256>& palette,
                     const std::vector<FlcPicture>& pictures) {
  FlcBytes out;
  out.b.resize(128, 0);
  out.PutU16(4, 0xAF12);
  out.PutU16(6, static_cast<uint32_t>(pictures.size()));
  out.PutU16(8, width);
  out.PutU16(10, height);
  out.PutU16(12, 8);
  out.PutU16(14, 3);
  out.PutU32(16, speedMs);
  for (size_t i = 0; i < pictures.size(); ++i) {
    if (i == 0)
      out.PutU32(80, static_cast<uint32_t>(out.b.size()));
    if (i == 1)
      out.PutU32(84, static_cast<uint32_t>(out.b.size()));
    const size_t frame = out.b.size();
    out.U32(0);
    out.U16(0xF1FA);
    out.U16(i == 0 ? 2 : 1);
    for (int k = 0; k < 8; ++k)
      out.U8(0);
    if (i == 0) {
      const size_t c = BeginChunk(out, 4); // COLOR_256
      out.U16(1);
      out.U8(0), out.U8(0); // skip none, 256 colours
      for (const auto& rgb : palette)
        out.U8(rgb[0]), out.U8(rgb[1]), out.U8(rgb[2]);
      EndChunk(out, c);
      const size_t r = BeginChunk(out, 15); // BYTE_RUN
      ByteRun(out, pictures[0], width, height);
      EndChunk(out, r);
    } else {
      const size_t d = BeginChunk(out, 7); // DELTA_FLC
      DeltaFlc(out, pictures[i - 1], pictures[i], width, height);
      EndChunk(out, d);
    }
    out.PutU32(frame, static_cast<uint32_t>(out.b.size() - frame));
  }
  out.PutU32(0, static_cast<uint32_t>(out.b.size()));
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(out.b.data()), static_cast<std::streamsize>(out.b.size()));
  return static_cast<bool>(f);
}

} // namespace mediatest

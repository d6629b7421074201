#include "platform/ui/resource/cursor_file.h"

#include "platform/sys/bytes.h"
#include "platform/sys/library.h"

#include <QImage>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace ui {
namespace {

// Bounds a file may not pass, whatever its fields say.
constexpr size_t kMaxCursorFileBytes = size_t{16} << 20;
constexpr uint32_t kAniIconFlag = 1;     // frames are cursor files
constexpr uint32_t kAniSequenceFlag = 2; // a "seq " chunk orders them
constexpr uint32_t kJiffiesPerSecond = 60;
constexpr uint32_t kMinFrameMs = 10;

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

bool IsPng(std::span<const uint8_t> b) {
  static const uint8_t kMagic[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return b.size() >= 8 && std::memcmp(b.data(), kMagic, 8) == 0;
}

std::optional<CursorImage> DecodePng(std::span<const uint8_t> b) {
  QImage image;
  if (!image.loadFromData(b.data(), static_cast<int>(b.size()), "PNG"))
    return std::nullopt;
  if (image.width() > kMaxCursorSide || image.height() > kMaxCursorSide)
    return std::nullopt;
  image = image.convertToFormat(QImage::Format_ARGB32);
  CursorImage c;
  c.width = image.width();
  c.height = image.height();
  c.argb.resize(size_t(c.width) * size_t(c.height));
  for (int y = 0; y < c.height; ++y)
    std::memcpy(c.argb.data() + size_t(y) * size_t(c.width), image.constScanLine(y),
                size_t(c.width) * 4);
  return c;
}

// A bitmap of the XOR picture over its AND mask (the header's height is
// both together).
std::optional<CursorImage> DecodeBitmap(std::span<const uint8_t> b) {
  sys::ByteReader in(b);
  const auto size = in.U32LE();
  const auto width = in.I32LE();
  const auto twice = in.I32LE();
  const auto planes = in.U16LE();
  const auto bits = in.U16LE();
  const auto compression = in.U32LE();
  if (!in.Skip(12))
    return std::nullopt;
  const auto used = in.U32LE();
  if (!size || *size != 40 || !width || !twice || !planes || !bits || !compression || !used ||
      !in.Skip(4))
    return std::nullopt;
  const int32_t w = *width, h = *twice / 2;
  if (w <= 0 || *twice <= 0 || *twice % 2 || w > kMaxCursorSide || h > kMaxCursorSide ||
      *compression != 0)
    return std::nullopt;
  const uint32_t depth = *bits;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != 32)
    return std::nullopt;
  size_t colours = 0;
  if (depth <= 8) {
    colours = size_t{1} << depth;
    if (*used != 0) {
      if (*used > colours)
        return std::nullopt;
      colours = *used;
    }
  }
  const auto table = in.Bytes(4 * colours);
  const size_t xorStride = (size_t(w) * depth + 31) / 32 * 4;
  const size_t andStride = (size_t(w) + 31) / 32 * 4;
  const auto xorBits = in.Bytes(xorStride * size_t(h));
  const auto andBits = in.Bytes(andStride * size_t(h));
  if (!table || !xorBits || !andBits)
    return std::nullopt;
  CursorImage c;
  c.width = w;
  c.height = h;
  c.argb.resize(size_t(w) * size_t(h));
  bool anyAlpha = false;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = xorBits->data() + size_t(h - 1 - y) * xorStride;
    const uint8_t* mask = andBits->data() + size_t(h - 1 - y) * andStride;
    for (int32_t x = 0; x < w; ++x) {
      uint32_t rgb = 0, alpha = 0;
      const bool clear = (mask[x / 8] >> (7 - x % 8)) & 1;
      if (depth == 32) {
        const uint8_t* p = row + 4 * size_t(x);
        rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        alpha = p[3];
        anyAlpha = anyAlpha || alpha != 0;
      } else if (depth == 24) {
        const uint8_t* p = row + 3 * size_t(x);
        rgb = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      } else {
        const size_t bit = size_t(x) * depth;
        const uint32_t index = (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
        if (index < colours) {
          const uint8_t* q = table->data() + 4 * index;
          rgb = uint32_t(q[2]) << 16 | uint32_t(q[1]) << 8 | q[0];
        }
      }
      if (depth != 32)
        alpha = clear ? 0 : 255;
      c.argb[size_t(y) * size_t(w) + size_t(x)] = alpha << 24 | rgb;
    }
  }
  // A 32-bit picture without alpha is shaped by its mask.
  if (depth == 32 && !anyAlpha)
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* mask = andBits->data() + size_t(h - 1 - y) * andStride;
      for (int32_t x = 0; x < w; ++x)
        if (!((mask[x / 8] >> (7 - x % 8)) & 1))
          c.argb[size_t(y) * size_t(w) + size_t(x)] |= 0xFF000000u;
    }
  return c;
}

struct Chunk {
  std::string id;
  std::span<const uint8_t> data;
};

// The chunks of a RIFF body, each bounded by the bytes there are.
std::optional<std::vector<Chunk>> Chunks(std::span<const uint8_t> body) {
  std::vector<Chunk> chunks;
  size_t at = 0;
  while (at + 8 <= body.size()) {
    const uint32_t size = Le32(body, at + 4);
    if (size > body.size() - at - 8)
      return std::nullopt;
    chunks.push_back({std::string(reinterpret_cast<const char*>(body.data() + at), 4),
                      body.subspan(at + 8, size)});
    if (chunks.size() > 4 * kMaxCursorFrames + 16)
      return std::nullopt;
    at += 8 + size + (size & 1);
  }
  return chunks;
}

} // namespace

std::optional<CursorImage> ReadCurFile(std::span<const uint8_t> b) {
  sys::ByteReader in(b);
  const auto reserved = in.U16LE();
  const auto type = in.U16LE();
  const auto count = in.U16LE();
  if (!reserved || !type || !count || *reserved != 0 || *type != kCursorDirectoryType ||
      *count == 0 || *count > kMaxCursorEntries)
    return std::nullopt;
  struct Entry {
    int32_t w, h;
    gdi::Point hotspot;
    uint32_t size, offset;
  };
  std::optional<Entry> best;
  auto distance = [](const Entry& e) { return std::abs(e.w - 32) + std::abs(e.h - 32); };
  for (uint16_t i = 0; i < *count; ++i) {
    const auto w = in.U8(), h = in.U8();
    if (!w || !h || !in.Skip(2))
      return std::nullopt;
    const auto hx = in.U16LE(), hy = in.U16LE();
    const auto size = in.U32LE(), offset = in.U32LE();
    if (!hx || !hy || !size || !offset)
      return std::nullopt;
    Entry e{*w ? *w : 256, *h ? *h : 256, {*hx, *hy}, *size, *offset};
    if (!best || distance(e) < distance(*best))
      best = e;
  }
  if (best->offset > b.size() || best->size > b.size() - best->offset || best->size == 0)
    return std::nullopt;
  const auto data = b.subspan(best->offset, best->size);
  auto image = IsPng(data) ? DecodePng(data) : DecodeBitmap(data);
  if (!image || best->hotspot.x >= image->width || best->hotspot.y >= image->height)
    return std::nullopt;
  image->hotspot = best->hotspot;
  return image;
}

std::optional<CursorFile> ReadAniFile(std::span<const uint8_t> b) {
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
      std::memcmp(b.data() + 8, "ACON", 4) != 0)
    return std::nullopt;
  const size_t riffSize = std::min<size_t>(Le32(b, 4), b.size() - 8);
  if (riffSize < 4)
    return std::nullopt;
  const auto chunks = Chunks(b.subspan(12, riffSize - 4));
  if (!chunks)
    return std::nullopt;
  std::optional<std::span<const uint8_t>> header, rate, seq;
  std::vector<CursorImage> pictures;
  for (const Chunk& c : *chunks) {
    if (c.id == "anih") {
      header = c.data;
    } else if (c.id == "rate") {
      rate = c.data;
    } else if (c.id == "seq ") {
      seq = c.data;
    } else if (c.id == "LIST" && c.data.size() >= 4 &&
               std::memcmp(c.data.data(), "fram", 4) == 0) {
      const auto icons = Chunks(c.data.subspan(4));
      if (!icons)
        return std::nullopt;
      for (const Chunk& icon : *icons) {
        if (icon.id != "icon")
          continue;
        if (pictures.size() >= kMaxCursorFrames)
          return std::nullopt;
        auto picture = ReadCurFile(icon.data);
        if (!picture)
          return std::nullopt;
        pictures.push_back(std::move(*picture));
      }
    }
  }
  if (!header || header->size() < 36)
    return std::nullopt;
  const uint32_t frames = Le32(*header, 4);
  uint32_t steps = Le32(*header, 8);
  const uint32_t jiffies = Le32(*header, 28);
  const uint32_t flags = Le32(*header, 32);
  if (!(flags & kAniIconFlag) || frames == 0 || frames > kMaxCursorFrames ||
      pictures.size() != frames)
    return std::nullopt;
  const bool sequenced = (flags & kAniSequenceFlag) && seq;
  if (!sequenced)
    steps = frames;
  if (steps == 0 || steps > kMaxCursorFrames)
    return std::nullopt;
  if ((sequenced && seq->size() != 4 * size_t(steps)) || (rate && rate->size() != 4 * size_t(steps)))
    return std::nullopt;
  CursorFile file;
  for (uint32_t s = 0; s < steps; ++s) {
    const uint32_t frame = sequenced ? Le32(*seq, 4 * s) : s;
    if (frame >= frames)
      return std::nullopt;
    const uint32_t j = rate ? Le32(*rate, 4 * s) : jiffies;
    if (j > 60 * kJiffiesPerSecond)
      return std::nullopt;
    file.frames.push_back(pictures[frame]);
    file.frameMs.push_back(std::max(kMinFrameMs, j * 1000 / kJiffiesPerSecond));
  }
  return file;
}

std::optional<CursorFile> ReadCursorFile(std::span<const uint8_t> b) {
  if (b.size() >= 4 && std::memcmp(b.data(), "RIFF", 4) == 0)
    return ReadAniFile(b);
  auto still = ReadCurFile(b);
  if (!still)
    return std::nullopt;
  CursorFile file;
  file.frames.push_back(std::move(*still));
  return file;
}

std::string FindBesideProgram(const std::string& name) {
  if (name.empty())
    return {};
  if (name.find('/') != std::string::npos)
    return access(name.c_str(), R_OK) == 0 ? name : std::string();
  if (access(name.c_str(), R_OK) == 0)
    return name;
  const std::string beside = sys::ProgramFolder() + "/" + name;
  return access(beside.c_str(), R_OK) == 0 ? beside : std::string();
}

CursorHandle LoadCursorFromFile(const std::string& path) {
  const std::string found = FindBesideProgram(path);
  if (found.empty())
    return nullptr;
  std::ifstream in(found, std::ios::binary);
  std::vector<uint8_t> bytes;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    if (bytes.size() > kMaxCursorFileBytes)
      return nullptr;
  }
  const auto file = ReadCursorFile(bytes);
  if (!file)
    return nullptr;
  return file->Animated() ? CreateAnimatedCursor(file->frames, file->frameMs)
                          : CreateCursor(file->frames.front());
}

} // namespace ui

#include "platform/media/riff.h"

#include "platform/sys/bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace media {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The PCM sub-format's GUID after its first two bytes (which are the tag).
constexpr uint8_t kPcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Files beyond this are not read whole into memory.
constexpr uintmax_t kMaxFileBytes = uintmax_t{1} << 31;

std::string Tag(std::span<const uint8_t> b) {
  return std::string(reinterpret_cast<const char*>(b.data()), 4);
}

bool Fail(std::string* error, const std::string& why) {
  if (error)
    *error = why;
  return false;
}

} // namespace

std::vector<RiffChunk> RiffChunks(std::span<const uint8_t> data, size_t baseOffset) {
  std::vector<RiffChunk> chunks;
  size_t pos = 0;
  while (data.size() - pos >= 8) {
    sys::ByteReader r(data.subspan(pos, 8));
    RiffChunk c;
    c.id = Tag(*r.Bytes(4));
    c.declaredSize = *r.U32LE();
    size_t start = pos + 8;
    const size_t available = data.size() - start;
    size_t size = std::min<size_t>(c.declaredSize, available);
    if ((c.id == "RIFF" || c.id == "LIST") && size >= 4) {
      c.form = Tag(data.subspan(start, 4));
      start += 4;
      size -= 4;
    }
    c.offset = baseOffset + start;
    c.data = data.subspan(start, size);
    // The next chunk starts after the declared size and its pad byte; a size
    // that runs past the end ends the walk.
    const uint64_t next = uint64_t{pos} + 8 + c.declaredSize + (c.declaredSize & 1);
    chunks.push_back(std::move(c));
    if (next >= data.size())
      break;
    pos = static_cast<size_t>(next);
  }
  return chunks;
}

std::optional<RiffChunk> FindChunk(std::span<const uint8_t> data, std::string_view id,
                                   std::string_view form) {
  for (RiffChunk& c : RiffChunks(data)) {
    if (c.id == id && (form.empty() || c.form == form))
      return std::move(c);
  }
  return std::nullopt;
}

WaveFormat WaveFormat::Pcm(uint32_t rate, uint16_t bits, uint16_t channels) {
  WaveFormat f;
  f.formatTag = kFormatPcm;
  f.channels = channels;
  f.rate = rate;
  f.bits = bits;
  f.blockAlign = static_cast<uint16_t>(channels * bits / 8);
  f.byteRate = rate * f.blockAlign;
  return f;
}

std::optional<Wave> ReadWave(std::span<const uint8_t> file, std::string* error) {
  auto riff = FindChunk(file, "RIFF");
  if (!riff || riff->form != "WAVE" || riff->offset != 12) {
    Fail(error, "not a RIFF WAVE file");
    return std::nullopt;
  }
  auto fmt = FindChunk(riff->data, "fmt ");
  if (!fmt) {
    Fail(error, "no \"fmt \" chunk");
    return std::nullopt;
  }
  const uint32_t fmtSize = fmt->declaredSize;
  if ((fmtSize != 16 && fmtSize != 18 && fmtSize != 40) || fmt->data.size() < fmtSize) {
    Fail(error, "a \"fmt \" chunk of " + std::to_string(fmtSize) + " bytes");
    return std::nullopt;
  }
  sys::ByteReader r(fmt->data);
  Wave wave;
  WaveFormat& f = wave.format;
  f.formatTag = *r.U16LE();
  f.channels = *r.U16LE();
  f.rate = *r.U32LE();
  f.byteRate = *r.U32LE();
  f.blockAlign = *r.U16LE();
  f.bits = *r.U16LE();
  if (f.formatTag == kFormatExtensible) {
    const uint16_t extra = fmtSize == 40 ? *r.U16LE() : 0;
    if (extra < 22) {
      Fail(error, "an extensible format without its sub-format");
      return std::nullopt;
    }
    r.Skip(6); // valid bits and channel mask
    const uint16_t sub = *r.U16LE();
    auto tail = *r.Bytes(14);
    if (sub != kFormatPcm || !std::equal(tail.begin(), tail.end(), kPcmGuidTail)) {
      Fail(error, "not PCM sound");
      return std::nullopt;
    }
    f.formatTag = kFormatPcm;
  }
  if (f.formatTag != kFormatPcm) {
    Fail(error, "not PCM sound (format " + std::to_string(f.formatTag) + ")");
    return std::nullopt;
  }
  if ((f.bits != 8 && f.bits != 16) || (f.channels != 1 && f.channels != 2) || f.rate == 0 ||
      f.blockAlign != f.channels * f.bits / 8) {
    Fail(error, "PCM of " + std::to_string(f.bits) + " bits, " + std::to_string(f.channels) +
                    " channels, block align " + std::to_string(f.blockAlign) + " at " +
                    std::to_string(f.rate) + " Hz");
    return std::nullopt;
  }
  auto data = FindChunk(riff->data, "data");
  if (!data) {
    Fail(error, "no \"data\" chunk");
    return std::nullopt;
  }
  wave.truncated = data->Truncated();
  const size_t whole = data->data.size() / f.blockAlign * f.blockAlign;
  wave.data.assign(data->data.begin(), data->data.begin() + whole);
  return wave;
}

std::optional<std::vector<uint8_t>> ReadRiffFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    Fail(error, "cannot open " + path + ": " + std::strerror(errno));
    return std::nullopt;
  }
  const auto size = static_cast<uintmax_t>(in.tellg());
  if (size > kMaxFileBytes) {
    Fail(error, path + ": too large");
    return std::nullopt;
  }
  in.seekg(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
    Fail(error, "cannot read " + path);
    return std::nullopt;
  }
  return bytes;
}

bool LooksLikeSoundFont(std::span<const uint8_t> bytes) {
  const std::vector<RiffChunk> top = RiffChunks(bytes);
  if (top.empty() || top[0].id != "RIFF" || top[0].form != "sfbk" || top[0].Truncated())
    return false;
  bool info = false, samples = false, presets = false;
  for (const RiffChunk& c : RiffChunks(top[0].data)) {
    if (c.id != "LIST")
      continue;
    if (c.Truncated())
      return false;
    info = info || c.form == "INFO";
    samples = samples || c.form == "sdta";
    presets = presets || c.form == "pdta";
  }
  return info && samples && presets;
}

bool IsSoundFontFile(const std::string& path) {
  const auto bytes = ReadRiffFile(path, nullptr);
  return bytes && LooksLikeSoundFont(*bytes);
}

std::optional<Wave> ReadWaveFile(const std::string& path, std::string* error) {
  const auto bytes = ReadRiffFile(path, error);
  if (!bytes)
    return std::nullopt;
  auto wave = ReadWave(*bytes, error);
  if (!wave && error)
    *error = path + ": " + *error;
  return wave;
}

std::vector<uint8_t> WaveHeader(const WaveFormat& f, uint32_t dataBytes) {
  const uint32_t data = static_cast<uint32_t>(std::min<uint64_t>(dataBytes, kMaxWaveDataBytes));
  sys::ByteWriter w;
  w.Bytes("RIFF", 4);
  w.U32LE(36 + data + (data & 1));
  w.Bytes("WAVE", 4);
  w.Bytes("fmt ", 4);
  w.U32LE(16);
  w.U16LE(f.formatTag);
  w.U16LE(f.channels);
  w.U32LE(f.rate);
  w.U32LE(f.byteRate);
  w.U16LE(f.blockAlign);
  w.U16LE(f.bits);
  w.Bytes("data", 4);
  w.U32LE(data);
  return w.Take();
}

std::vector<uint8_t> WaveBytes(const WaveFormat& f, std::span<const uint8_t> data) {
  if (data.size() > kMaxWaveDataBytes)
    data = data.first(static_cast<size_t>(kMaxWaveDataBytes));
  std::vector<uint8_t> out = WaveHeader(f, static_cast<uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  if (data.size() & 1)
    out.push_back(0);
  return out;
}

bool WriteWaveFile(const std::string& path, const WaveFormat& f, std::span<const uint8_t> data,
                   std::string* error) {
  const std::vector<uint8_t> bytes = WaveBytes(f, data);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file)
    return Fail(error, "cannot write " + path + ": " + std::strerror(errno));
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed)
    return Fail(error, "cannot write " + path);
  return true;
}

} // namespace media

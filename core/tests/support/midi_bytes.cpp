#include "core/tests/support/midi_bytes.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace core::testing {

Bytes Chunk(const char* id, const Bytes& body) {
  Bytes out(id, id + 4);
  uint32_t n = static_cast<uint32_t>(body.size());
  for (int i = 3; i >= 0; --i)
    out.push_back(static_cast<uint8_t>(n >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes Smf(uint16_t format, uint16_t division, const std::vector<Bytes>& tracks) {
  auto n = static_cast<uint16_t>(tracks.size());
  Bytes out = Chunk("MThd", {static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format),
                             static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n),
                             static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)});
  for (const auto& t : tracks) {
    Bytes c = Chunk("MTrk", t);
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes TextEvent(uint8_t type, const std::string& text, uint32_t delta) {
  Bytes out;
  // delta as a variable-length quantity
  Bytes d;
  do {
    d.insert(d.begin(), static_cast<uint8_t>((delta & 0x7F) | (d.empty() ? 0 : 0x80)));
    delta >>= 7;
  } while (delta);
  out = d;
  out.push_back(0xFF);
  out.push_back(type);
  out.push_back(static_cast<uint8_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

std::vector<EventDigest> Digest(const CSongData& song, int track, bool (*keep)(uint8_t kind)) {
  std::vector<EventDigest> out;
  if (!song.HasTrack(track))
    return out;
  for (const auto& e : song.tracks[track].events) {
    if (keep && !keep(e.kind))
      continue;
    std::string content;
    if (IsPoolKind(e.kind))
      content = std::string(song.PoolBytes(e));
    else if (e.kind == kKindSyllable)
      content = std::string(song.SyllableText(static_cast<int16_t>(track), e));
    else
      content = std::to_string(e.data);
    out.push_back({e.tick, e.kind, e.duration, content});
  }
  return out;
}

std::string ToString(const std::vector<EventDigest>& events) {
  std::string s;
  for (const auto& e : events) {
    s += std::to_string(e.tick) + ":" + std::to_string(e.kind) + ":" + std::to_string(e.duration) +
         ":";
    for (unsigned char c : e.content)
      s += (c >= 0x20 && c < 0x7F) ? std::string(1, static_cast<char>(c)) : "?";
    s += "\n";
  }
  return s;
}

TempFolder::TempFolder() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "vexo-core-XXXXXX").string();
  if (char* p = ::mkdtemp(tmpl.data()))
    path_ = p;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  if (!path_.empty())
    std::filesystem::remove_all(path_, ec);
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

} // namespace core::testing

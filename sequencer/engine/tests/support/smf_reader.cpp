#include "smf_reader.h"

#include "platform/sys/bytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace seqtest {
namespace {

std::optional<std::vector<SmfEvent>> ReadTrack(std::span<const uint8_t> bytes) {
  sys::ByteReader r(bytes);
  std::vector<SmfEvent> events;
  uint32_t tick = 0;
  uint8_t running = 0;
  while (!r.AtEnd()) {
    auto delta = r.Vlq();
    auto first = r.U8();
    if (!delta || !first)
      return std::nullopt;
    tick += *delta;
    SmfEvent e;
    e.tick = tick;
    uint8_t status = *first;
    if (status < 0x80) { // running status: the byte is data
      if (running == 0)
        return std::nullopt;
      status = running;
      r.Seek(r.Position() - 1);
    }
    e.status = status;
    if (status == 0xFF) {
      auto type = r.U8();
      auto length = r.Vlq();
      if (!type || !length)
        return std::nullopt;
      auto payload = r.Bytes(*length);
      if (!payload)
        return std::nullopt;
      e.metaType = *type;
      e.data.assign(payload->begin(), payload->end());
      if (e.metaType == 0x2F)
        break;
    } else if (status == 0xF0 || status == 0xF7) {
      auto length = r.Vlq();
      if (!length)
        return std::nullopt;
      auto payload = r.Bytes(*length);
      if (!payload)
        return std::nullopt;
      e.data.assign(payload->begin(), payload->end());
      running = 0;
    } else if (status >= 0xF0) {
      return std::nullopt;
    } else {
      running = status;
      const uint8_t type = status >> 4;
      const size_t n = type == 0xC || type == 0xD ? 1 : 2;
      auto payload = r.Bytes(n);
      if (!payload)
        return std::nullopt;
      e.data.assign(payload->begin(), payload->end());
    }
    events.push_back(std::move(e));
  }
  return events;
}

struct TempoPoint {
  uint32_t tick;
  uint32_t usPerQuarter;
  double ms;
};

std::vector<TempoPoint> TempoMapOf(const Smf& smf) {
  std::vector<std::pair<uint32_t, uint32_t>> changes;
  for (const auto& track : smf.tracks)
    for (const auto& e : track)
      if (e.status == 0xFF && e.metaType == 0x51 && e.data.size() == 3)
        changes.emplace_back(e.tick, e.data[0] << 16 | e.data[1] << 8 | e.data[2]);
  std::stable_sort(changes.begin(), changes.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TempoPoint> map = {{0, 500000, 0.0}};
  for (const auto& [tick, us] : changes) {
    const TempoPoint& last = map.back();
    const double ms =
        last.ms + (tick - last.tick) * double(last.usPerQuarter) / (smf.ticksPerQuarter * 1000.0);
    if (tick == last.tick)
      map.back().usPerQuarter = us;
    else
      map.push_back({tick, us, ms});
  }
  return map;
}

int32_t MsAt(const std::vector<TempoPoint>& map, uint16_t tpq, uint32_t tick) {
  size_t i = 0;
  while (i + 1 < map.size() && map[i + 1].tick <= tick)
    ++i;
  return static_cast<int32_t>(map[i].ms +
                              (tick - map[i].tick) * double(map[i].usPerQuarter) / (tpq * 1000.0));
}

bool IsSyllableText(const SmfEvent& e) {
  return e.status == 0xFF && (e.metaType == 0x01 || e.metaType == 0x05) && !e.data.empty() &&
         e.data[0] != '@';
}

} // namespace

std::optional<Smf> ReadSmf(std::span<const uint8_t> bytes) {
  sys::ByteReader r(bytes);
  auto magic = r.Bytes(4);
  auto length = r.U32BE();
  if (!magic || !length || std::string(magic->begin(), magic->end()) != "MThd" || *length < 6)
    return std::nullopt;
  Smf smf;
  auto format = r.U16BE();
  auto count = r.U16BE();
  auto division = r.U16BE();
  if (!format || !count || !division || (*division & 0x8000) || *division == 0 ||
      !r.Skip(*length - 6))
    return std::nullopt;
  smf.format = *format;
  smf.ticksPerQuarter = *division;
  while (!r.AtEnd() && smf.tracks.size() < *count) {
    auto id = r.Bytes(4);
    auto size = r.U32BE();
    if (!id || !size)
      return std::nullopt;
    auto chunk = r.Bytes(*size);
    if (!chunk)
      return std::nullopt;
    if (std::string(id->begin(), id->end()) != "MTrk")
      continue;
    auto track = ReadTrack(*chunk);
    if (!track)
      return std::nullopt;
    smf.tracks.push_back(std::move(*track));
  }
  return smf;
}

std::optional<Smf> ReadSmfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return std::nullopt;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  return ReadSmf(bytes);
}

KaraokeSong ToEngineSong(const Smf& smf) {
  KaraokeSong out;
  TestSong& song = out.song;
  const auto map = TempoMapOf(smf);
  const uint16_t tpq = smf.ticksPerQuarter;
  song.ticksPerQuarter = tpq;
  for (const TempoPoint& p : map)
    song.tempoMap.push_back({static_cast<int32_t>(p.tick), static_cast<int32_t>(p.usPerQuarter),
                             static_cast<int32_t>(p.ms)});

  size_t lyric = 0, mostText = 0, melody = 0, mostNotes = 0;
  for (size_t t = 0; t < smf.tracks.size(); ++t) {
    size_t texts = 0, notes = 0;
    for (const auto& e : smf.tracks[t]) {
      texts += IsSyllableText(e);
      notes += (e.status & 0xF0) == 0x90;
    }
    if (texts > mostText) {
      mostText = texts;
      lyric = t;
    }
    if (notes > mostNotes) {
      mostNotes = notes;
      melody = t;
    }
  }
  song.lyricTrack = static_cast<uint16_t>(lyric);
  song.melodyTrack = static_cast<uint16_t>(melody);

  int32_t lastMs = 0;
  for (size_t t = 0; t < smf.tracks.size(); ++t) {
    std::vector<TestEvent> events;
    std::vector<size_t> syllables;
    for (const auto& e : smf.tracks[t]) {
      TestEvent out_e;
      out_e.tick = e.tick;
      out_e.time = MsAt(map, tpq, e.tick);
      if (e.status < 0xF0) {
        out_e.kind = 0;
        out_e.data = e.status | uint32_t{e.data[0]} << 8 |
                     (e.data.size() > 1 ? uint32_t{e.data[1]} << 16 : 0);
      } else if (e.status == 0xFF && e.metaType == 0x51 && e.data.size() == 3) {
        out_e.kind = 2;
        out_e.data = e.data[0] << 16 | e.data[1] << 8 | e.data[2];
      } else if (t == lyric && IsSyllableText(e)) {
        out_e.kind = 16;
        out_e.post = out.syllables++;
        syllables.push_back(events.size());
      } else if (e.status == 0xFF) {
        out_e.kind = 65; // other meta events travel as text events: never played
      } else {
        out_e.kind = 13; // system exclusive
      }
      lastMs = std::max(lastMs, out_e.time);
      events.push_back(out_e);
    }
    for (size_t i = 0; i < syllables.size(); ++i) {
      TestEvent& s = events[syllables[i]];
      s.data = i + 1 < syllables.size()
                   ? static_cast<uint32_t>(events[syllables[i + 1]].time - s.time)
                   : 500;
    }
    song.tracks.push_back(std::move(events));
  }
  song.totalMs = static_cast<uint32_t>(lastMs) + 1000;
  return out;
}

} // namespace seqtest

#include "core/tests/support/song_edit_support.h"

#include <algorithm>
#include <climits>
#include <map>

#include "core/songdata.h"
#include "core/trackwalk.h"

namespace core::testing {
namespace {

std::string At(int t, int32_t i, const std::string& what) {
  return "track " + std::to_string(t) + " event " + std::to_string(i) + ": " + what;
}

int32_t TickAsI32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX));
}

// The lyric track's lines as a fresh rebuild makes them, on a copy.
std::string CheckLines(const CSongData& song, int16_t lyric, bool justRead) {
  CSongData fresh;
  fresh.loaded = 1;
  fresh.tracks.push_back(Track{});
  fresh.tracks.push_back(song.tracks[lyric]);
  fresh.lyricTrack = 1;
  fresh.RebuildLyricLines(1);
  const Track& a = song.tracks[lyric];
  const Track& b = fresh.tracks[1];
  if (a.text != b.text)
    return "lyric text pool differs from a rebuild";
  if (a.lineCount != b.lineCount)
    return "line count " + std::to_string(a.lineCount) + ", rebuild " + std::to_string(b.lineCount);
  for (int k = 0; k <= a.lineCount; ++k)
    if (a.lineTable[k] != b.lineTable[k])
      return "line table entry " + std::to_string(k) + " differs from a rebuild";
  for (int32_t i = 0; i < a.EventCount(); ++i) {
    const SongEvent& x = a.events[i];
    const SongEvent& y = b.events[i];
    // As a song file reads them, syllables have line 0 and next-line events
    // count the line after their own, until the lines are rebuilt.
    const bool lengthOk = x.length == y.length ||
                          (justRead && x.kind == kKindSyllable && x.length == 0) ||
                          (justRead && x.kind == kKindNextLine && x.length == y.length + 1);
    if (x.kind >= kKindSyllable && x.kind <= kKindNextLine && (x.data != y.data || !lengthOk))
      return At(lyric, i, "line fields differ from a rebuild");
  }
  return {};
}

} // namespace

std::string CheckSongInvariants(const CSongData& song, bool justRead) {
  const int16_t count = song.TrackCount();
  if (count > 0 && song.melodyTrack >= count)
    return "melody track out of range";
  if (song.lyricTrack < 0 || (count > 0 && song.lyricTrack >= count) ||
      (count == 0 && song.lyricTrack != 0))
    return "lyric track out of range";
  if (song.lyricsPresent != (song.lyricTrack > 0 ? 1 : 0))
    return "lyricsPresent " + std::to_string(song.lyricsPresent) + " with lyric track " +
           std::to_string(song.lyricTrack);

  // Every tempo event of any track is in force at its tick (unless another
  // one shares the tick), and the map holds nothing else.
  std::map<int32_t, int> temposAt;
  for (const auto& t : song.tracks)
    for (const auto& e : t.events)
      if (e.kind == kKindTempo && (e.data & 0xFFFFFF) != 0)
        ++temposAt[TickAsI32(e.tick)];
  for (const auto& entry : song.tempoMap)
    if (!song.tempoMap.empty() && &entry != &song.tempoMap.front() && !temposAt.count(entry.tick))
      return "tempo map entry at " + std::to_string(entry.tick) + " without a tempo event";
  for (const auto& t : song.tracks)
    for (const auto& e : t.events) {
      if (e.kind != kKindTempo || (e.data & 0xFFFFFF) == 0 || temposAt[TickAsI32(e.tick)] > 1)
        continue;
      const TempoEntry* in = &song.tempoMap.front();
      for (const auto& entry : song.tempoMap)
        if (entry.tick <= TickAsI32(e.tick))
          in = &entry;
      if (in->usPerQuarter != static_cast<int32_t>(e.data & 0xFFFFFF))
        return "tempo event at " + std::to_string(e.tick) + " not in the tempo map";
    }

  int32_t songEndTick = 0, songEndMs = 0;
  for (int16_t t = 0; t < count; ++t) {
    const Track& track = song.tracks[t];
    if (!std::is_sorted(track.events.begin(), track.events.end(), SortsBefore))
      return "track " + std::to_string(t) + " not in order";
    int64_t engine = track.EventCount();
    int64_t endTick = std::max(0, track.endOfTrackTick);
    int64_t endMs = song.TickToMs(track.endOfTrackTick);
    for (int32_t i = 0; i < track.EventCount(); ++i) {
      const SongEvent& e = track.events[i];
      engine += e.IsSoundingNoteOn() ? 1 : 0;
      const int32_t ms = song.TickToMs(TickAsI32(e.tick));
      const int32_t durationMs =
          std::max(0, song.TickToMs(TickAsI32(int64_t{e.tick} + e.duration)) - ms);
      if (e.ms != static_cast<uint32_t>(ms))
        return At(t, i, "ms " + std::to_string(e.ms) + ", tempo map gives " + std::to_string(ms));
      if (e.durationMs != static_cast<uint32_t>(durationMs))
        return At(t, i,
                  "duration ms " + std::to_string(e.durationMs) + ", tempo map gives " +
                      std::to_string(durationMs));
      endTick = std::max<int64_t>(endTick, int64_t{e.tick} + e.duration);
      endMs = std::max<int64_t>(endMs, int64_t{e.ms} + e.durationMs);
      if (IsPoolKind(e.kind) &&
          (e.data > song.dataPool.size() || e.length > song.dataPool.size() - e.data))
        return At(t, i, "pool bytes outside the data pool");
      if (e.kind == kKindSyllable) {
        size_t offset = e.data & 0xFFFF, len = e.data >> 16;
        if (offset > track.text.size() || len > track.text.size() - offset)
          return At(t, i, "syllable outside the text pool");
      }
      if (e.kind != kKindImage && e.imageAction != 0)
        return At(t, i, "image action on another kind");
    }
    if (track.engineEventCount != engine)
      return "track " + std::to_string(t) + " engine count " +
             std::to_string(track.engineEventCount) + ", events give " + std::to_string(engine);
    int32_t produced = 0;
    bool padded = false;
    int32_t calls = TransmitTrack(song, t, [&](int16_t, int32_t n, int32_t, bool) {
      padded |= n != produced;
      ++produced;
    });
    if (calls != engine || padded)
      return "track " + std::to_string(t) + " walk produced " + std::to_string(calls) + " of " +
             std::to_string(engine);
    if (track.endTick != TickAsI32(endTick) || track.endMs != TickAsI32(endMs))
      return "track " + std::to_string(t) + " end " + std::to_string(track.endTick) + "/" +
             std::to_string(track.endMs) + ", events give " + std::to_string(endTick) + "/" +
             std::to_string(endMs);
    songEndTick = std::max(songEndTick, track.endTick);
    songEndMs = std::max(songEndMs, track.endMs);
  }
  if (song.endTick != songEndTick || song.endMs != songEndMs)
    return "song end " + std::to_string(song.endTick) + "/" + std::to_string(song.endMs) +
           ", tracks give " + std::to_string(songEndTick) + "/" + std::to_string(songEndMs);
  if (song.lyricTrack > 0)
    if (auto fault = CheckLines(song, song.lyricTrack, justRead); !fault.empty())
      return fault;
  return {};
}

void MakeEditSong(CSongData& song, const std::vector<NoteAt>& melody) {
  song.NewSong("edit.vx3");
  song.InsertTrack(-1);
  song.SetMelodyTrack(1);
  song.SetLyricTrack(2);
  for (const auto& n : melody)
    song.AddEvent(1, n.tick, n.duration, 0,
                  0x90u | uint32_t{n.key} << 8 | uint32_t{n.velocity} << 16, kKindChannel);
}

void AddLyricLines(CSongData& song, const std::vector<std::vector<SyllableAt>>& lines) {
  const int16_t lyric = song.lyricTrack;
  for (const auto& line : lines) {
    if (line.empty())
      continue;
    song.AddEvent(lyric, line.front().tick, 0, 0, 0, kKindLineBreak);
    song.AddEvent(lyric, line.front().tick, 0, 0, 0, kKindNextLine);
    for (const auto& s : line)
      song.InsertLyric(lyric, s.tick, s.duration, s.text);
  }
}

std::string DescribeLyrics(const CSongData& song) {
  std::string out;
  if (!song.HasTrack(song.lyricTrack))
    return out;
  for (const auto& e : song.tracks[song.lyricTrack].events) {
    if (!out.empty() && (e.kind == kKindLineBreak || e.kind == kKindSyllable))
      out += ' ';
    if (e.kind == kKindLineBreak)
      out += '/';
    else if (e.kind == kKindSyllable)
      out += std::string(song.SyllableText(song.lyricTrack, e)) + "@" + std::to_string(e.tick) +
             "+" + std::to_string(e.duration);
  }
  return out;
}

std::vector<std::pair<int, int>> NoteOns(const CSongData& song, int track) {
  std::vector<std::pair<int, int>> out;
  for (const SongEvent& e : song.tracks[track].events)
    if (e.IsSoundingNoteOn())
      out.push_back({e.Data1(), e.Data2()});
  return out;
}

} // namespace core::testing

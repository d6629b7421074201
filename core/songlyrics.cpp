// The song's lyric operations: lyric text imported and split into syllables,
// syllables synchronised to the melody, image marks placed between lines,
// line events aligned to the syllables around them, and a lyric track taken
// from another song file.
#include "core/songdata.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <optional>
#include <vector>

#include "core/songfile.h"

namespace core {
namespace {

constexpr size_t kLyricTextLimit = 65535; // bytes of a lyric text file read

int32_t ClampTick(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX));
}

struct LyricToken {
  bool lineBreak = false;
  std::string_view text; // a syllable
};

// Splits a lyric text: LF breaks the line, CR is skipped (so CR LF is one
// break), a syllable runs to the next "/", CR or LF; with automatic split a
// byte with its high bit set begins a syllable of one double-byte character
// (one byte when the text ends after it), and runs of other bytes also end
// before such a byte. A "/" after a token is skipped.
std::vector<LyricToken> ScanLyricText(std::string_view text, bool autoSplit) {
  std::vector<LyricToken> tokens;
  size_t pos = 0;
  const size_t n = text.size();
  auto high = [&](size_t i) { return (static_cast<uint8_t>(text[i]) & 0x80) != 0; };
  while (pos < n) {
    const char c = text[pos];
    if (c == '\r') {
      ++pos;
      continue;
    }
    if (c == '\n') {
      tokens.push_back({true, {}});
      ++pos;
    } else {
      size_t begin = pos;
      if (autoSplit && high(pos)) {
        pos = std::min(n, pos + 2);
      } else {
        while (pos < n && text[pos] != '/' && text[pos] != '\r' && text[pos] != '\n' &&
               !(autoSplit && high(pos)))
          ++pos;
      }
      // An empty syllable ("//") is no token.
      if (pos > begin)
        tokens.push_back({false, text.substr(begin, pos - begin)});
    }
    if (pos < n && text[pos] == '/')
      ++pos;
  }
  return tokens;
}

bool ReadTextFile(const std::string& file, std::string& out) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return false;
  out.resize(kLyricTextLimit);
  in.read(out.data(), static_cast<std::streamsize>(out.size()));
  if (in.bad())
    return false;
  out.resize(static_cast<size_t>(in.gcount()));
  return true;
}

bool ReadBinaryFile(const std::string& file, std::vector<uint8_t>& out) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in)
    return false;
  std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxSongFileSize)
    return false;
  out.resize(static_cast<size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(out.data()), size);
  return static_cast<bool>(in);
}

} // namespace

int CSongData::InsertLyricRange(int16_t track, int32_t from, int32_t to, std::string_view text) {
  if (!loaded || !HasTrack(track))
    return 0;
  std::vector<LyricToken> tokens = ScanLyricText(text, lyricTextAutoSplit != 0);
  // The syllables must fit the track's text pool as a whole, so that a text
  // too long changes nothing.
  size_t bytes = 0;
  for (const auto& t : tokens)
    bytes += t.text.size();
  if (tokens.empty() || tracks[track].text.size() + bytes > kTextPoolLimit)
    return 0;
  int64_t step, duration;
  if (to != -1) {
    step = std::min<int64_t>((int64_t{to} - from) / static_cast<int64_t>(tokens.size()),
                             ticksPerQuarter);
    duration = step * 5 / 6;
  } else {
    step = duration = ticksPerQuarter / 2;
  }
  step = std::max<int64_t>(step, 0);
  duration = std::max<int64_t>(duration, 0);
  Track& t = tracks[track];
  // Memory running out half way puts the track back as it was.
  std::optional<Track> saved;
  try {
    saved.emplace(t);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  int64_t tick = std::max(from, 0);
  bool ok = true;
  for (const auto& token : tokens) {
    const int32_t at = ClampTick(tick);
    if (token.lineBreak) {
      ok = InsertSorted(track, MakeEvent(at, 0, 0, 0, kKindLineBreak, 0)) >= 0 &&
           InsertSorted(track, MakeEvent(at, 0, 0, 0, kKindNextLine, 0)) >= 0;
    } else {
      auto offset = AddTrackText(track, token.text);
      const uint32_t data = offset.value_or(0) | static_cast<uint32_t>(token.text.size()) << 16;
      ok = offset && InsertSorted(track, MakeEvent(at, static_cast<int32_t>(duration), 0, data,
                                                   kKindSyllable, 0)) >= 0;
    }
    if (!ok)
      break;
    tick += step;
  }
  if (!ok) {
    t = std::move(*saved);
    return 0;
  }
  EventsEdited(track, false, true);
  return 1;
}

int CSongData::ImportLyricText(const std::string& file) {
  std::string text;
  if (!loaded || !ReadTextFile(file, text))
    return 0;
  return ImportLyricBytes(text);
}

int CSongData::ImportLyricBytes(std::string_view text) {
  if (!loaded || TrackCount() == 0)
    return 0;
  text = text.substr(0, kLyricTextLimit);
  // A text of no syllables (empty, or only line breaks) imports nothing.
  auto tokens = ScanLyricText(text, lyricTextAutoSplit != 0);
  if (std::none_of(tokens.begin(), tokens.end(), [](const LyricToken& t) { return !t.lineBreak; }))
    return 0;
  if (!IsLyricTrack(lyricTrack) || !HasTrack(lyricTrack)) {
    // A song without lyrics gets a lyric track at the end; when no track can
    // be added, nothing changes (track 0 is never taken for it).
    if (!InsertTrack(-1))
      return 0;
    lyricTrack = static_cast<int16_t>(TrackCount() - 1);
  }
  // The lyric track starts empty.
  Track fresh;
  fresh.port = tracks[lyricTrack].port;
  tracks[lyricTrack] = std::move(fresh);
  if (!InsertLyricRange(lyricTrack, 0, -1, text)) {
    RebuildLyricLines(lyricTrack);
    UpdateTrack(lyricTrack);
    return 0;
  }
  int16_t melody = HasTrack(melodyTrack) ? static_cast<int16_t>(melodyTrack) : 0;
  AutoSyncLyrics(lyricTrack, melody, 0, -1);
  return 1;
}

int CSongData::AutoSyncLyrics(int16_t lyric, int16_t melody, int32_t fromTick, int32_t count) {
  if (!loaded || !HasTrack(lyric) || !HasTrack(melody) || lyric == melody)
    return 0;
  auto& events = tracks[lyric].events;
  const auto& notes = tracks[melody].events;
  const int32_t n = tracks[lyric].EventCount();
  if (n == 0)
    return 0;
  fromTick = std::max(fromTick, 0);
  // The first event of the range: the syllable at the tick, or after it.
  int32_t i = FindEventAt(lyric, fromTick, 1);
  if (i < 0)
    i = 0;
  else if (static_cast<int64_t>(events[i].tick) < fromTick && i + 1 < n)
    ++i;
  int32_t last =
      count < 0 ? n - 1 : static_cast<int32_t>(std::min<int64_t>(int64_t{i} + count - 1, n - 1));
  int32_t m = FindEventAt(melody, fromTick, 0);
  if (m < 0)
    m = 0;
  else if (static_cast<int64_t>(notes[m].tick) < fromTick)
    ++m;

  // Syllables take the melody's notes in order; surplus syllables follow the
  // last one half a quarter apart. Other lyric events are placed afterwards,
  // at the end of the syllable before them but never after the syllable that
  // follows, so every line keeps its syllables.
  const int64_t half = ticksPerQuarter / 2;
  int64_t cursor = fromTick; // where a syllable without a note begins
  const int32_t noteCount = static_cast<int32_t>(notes.size());
  for (int32_t k = i; k <= last; ++k) {
    SongEvent& e = events[k];
    if (e.kind != kKindSyllable)
      continue;
    while (m < noteCount && !notes[m].IsSoundingNoteOn())
      ++m;
    if (m < noteCount) {
      e.tick = notes[m].tick;
      e.duration = notes[m].duration;
      cursor = int64_t{e.tick} + e.duration;
      ++m;
    } else {
      e.tick = static_cast<uint32_t>(ClampTick(cursor));
      e.duration = static_cast<uint32_t>(half);
      cursor += half;
    }
  }
  // The syllable before the range, if any, ends where the first events of the
  // range that are no syllables are placed.
  int64_t prevEnd = 0;
  for (int32_t k = i - 1; k >= 0; --k) {
    if (events[k].kind == kKindSyllable) {
      prevEnd = int64_t{events[k].tick} + events[k].duration;
      break;
    }
  }
  for (int32_t k = i; k <= last; ++k) {
    SongEvent& e = events[k];
    if (e.kind == kKindSyllable) {
      prevEnd = int64_t{e.tick} + e.duration;
      continue;
    }
    int64_t next = INT64_MAX;
    for (int32_t j = k + 1; j <= last; ++j) {
      if (events[j].kind == kKindSyllable) {
        next = events[j].tick;
        break;
      }
    }
    e.tick = static_cast<uint32_t>(ClampTick(std::min(prevEnd, next)));
  }
  std::stable_sort(events.begin(), events.end(), SortsBefore);
  ComputeEventTimes(lyric);
  EventsEdited(lyric, false, true);
  return 1;
}

int32_t CSongData::RemoveLyricMarks() {
  if (!loaded || !lyricsPresent || !IsLyricTrack(lyricTrack) || !HasTrack(lyricTrack))
    return 0;
  auto& events = tracks[lyricTrack].events;
  const size_t before = events.size();
  std::erase_if(events, [](const SongEvent& e) { return e.kind == kKindImage; });
  const int32_t removed = static_cast<int32_t>(before - events.size());
  if (removed)
    EventsEdited(lyricTrack, false, false);
  return removed;
}

int32_t CSongData::AutoInsertLyricMarks(int32_t minGapMs, int32_t longGapMs, int32_t linesPerImage,
                                        int32_t linesPerImageAfterShortGap) {
  if (!loaded || !lyricsPresent || !IsLyricTrack(lyricTrack) || !HasTrack(lyricTrack))
    return 0;
  const int16_t track = lyricTrack;
  const auto& events = tracks[track].events;
  if (events.size() < 2)
    return 0;
  struct Mark {
    int64_t tick;
    uint8_t action;
  };
  std::vector<Mark> marks;
  auto first = std::find_if(events.begin(), events.end(),
                            [](const SongEvent& e) { return e.kind == kKindSyllable; });
  if (first == events.end())
    return 0;
  {
    const int64_t t = first->tick, measure = MeasureLenAt(0);
    if (3 * measure <= t) {
      marks.push_back({0, 3});
      marks.push_back({t - 2 * measure, 2});
      marks.push_back({t - 2 * measure, 0});
    }
  }
  int64_t endTick = 0, lineEndMs = 0;
  int32_t lines = 0;
  bool breakSeen = false, anySyllable = false;
  for (const auto& s : events) {
    if (s.kind == kKindLineBreak) {
      breakSeen = anySyllable;
      continue;
    }
    if (s.kind != kKindSyllable)
      continue;
    if (breakSeen) {
      ++lines;
      const int64_t measure = MeasureLenAt(ClampTick(s.tick));
      const int64_t gapMs = int64_t{s.ms} - lineEndMs;
      const int64_t gapTicks = int64_t{s.tick} - endTick;
      if (gapMs >= longGapMs && lineEndMs > minGapMs && 4 * measure <= gapTicks) {
        marks.push_back({endTick, 1});
        marks.push_back({endTick + measure, 4});
        marks.push_back({int64_t{s.tick} - 2 * measure, 2});
        marks.push_back({int64_t{s.tick} - 2 * measure, 0});
        lines = 0;
      } else {
        const bool shortGap = gapMs < minGapMs || lineEndMs <= minGapMs;
        if (lines >= (shortGap ? linesPerImageAfterShortGap : linesPerImage)) {
          marks.push_back({endTick, 0});
          lines = 0;
        }
      }
      lineEndMs = int64_t{s.ms} + s.durationMs;
    }
    breakSeen = false;
    anySyllable = true;
    endTick = int64_t{s.tick} + s.duration;
  }
  // The marks go in after the walk, which they would otherwise disturb.
  // Each mark's request text is empty: its action says what to show.
  int32_t inserted = 0;
  for (const auto& mark : marks) {
    const char empty = '\0';
    auto offset = AddPoolBytes(&empty, 1);
    if (!offset || InsertSorted(track, MakeEvent(ClampTick(mark.tick), 0, 1, *offset, kKindImage,
                                                 mark.action)) < 0)
      break;
    ++inserted;
  }
  if (inserted)
    EventsEdited(track, false, false);
  return inserted;
}

int32_t CSongData::AlignLineBreaks() {
  if (!loaded || !lyricsPresent || !IsLyricTrack(lyricTrack) || !HasTrack(lyricTrack))
    return 0;
  const int16_t track = lyricTrack;
  auto& events = tracks[track].events;
  const int32_t n = tracks[track].EventCount();
  // The syllables around each line event in the track's order, so that a
  // line event never passes a syllable and every line keeps its syllables.
  std::vector<int64_t> prevEnd(n, 0), next(n, -1);
  int64_t end = 0;
  for (int32_t i = 0; i < n; ++i) {
    prevEnd[i] = end;
    if (events[i].kind == kKindSyllable)
      end = int64_t{events[i].tick} + events[i].duration;
  }
  int64_t following = -1;
  for (int32_t i = n - 1; i >= 0; --i) {
    next[i] = following;
    if (events[i].kind == kKindSyllable)
      following = events[i].tick;
  }
  int32_t moved = 0;
  for (int32_t i = 0; i < n; ++i) {
    SongEvent& e = events[i];
    if (e.kind != kKindLineBreak && e.kind != kKindNextLine)
      continue;
    const int64_t measure = MeasureLenAt(ClampTick(e.tick));
    int64_t t;
    if (next[i] < 0)
      t = prevEnd[i];
    else if (next[i] - prevEnd[i] < measure)
      t = std::min(next[i], prevEnd[i]);
    else
      t = next[i] - measure;
    const uint32_t tick = static_cast<uint32_t>(ClampTick(t));
    if (tick != e.tick) {
      e.tick = tick;
      ++moved;
    }
  }
  if (moved) {
    std::stable_sort(events.begin(), events.end(), SortsBefore);
    ComputeEventTimes(track);
    EventsEdited(track, false, true);
  }
  return moved;
}

int32_t CSongData::PlaceImageMarksAtLoad() {
  const int32_t wasUnchanged = unchanged;
  RemoveLyricMarks();
  const int32_t marks = AutoInsertLyricMarks(100, 5000, 2, 4);
  AlignLineBreaks();
  unchanged = wasUnchanged;
  return marks;
}

int CSongData::ImportTrack(const std::string& file, int kind, uint16_t target) {
  if (!loaded)
    return 0;
  if (kind == kFileKaraoke) {
    // A karaoke file gives its lyric track as read from the MIDI file.
    CSongData source;
    if (source.LoadByKind(file, kFileKaraoke) <= 0)
      return 0;
    return ImportLyricTrackOf(source, target);
  }
  if (kind != kFileVx3 && kind != kFileSb3 && kind != kFileSw3)
    return 0;
  std::vector<uint8_t> bytes;
  if (!ReadBinaryFile(file, bytes))
    return 0;
  return ImportTrackBytes(bytes, target);
}

int CSongData::ImportTrackBytes(std::span<const uint8_t> bytes, uint16_t target) {
  if (!loaded)
    return 0;
  // The file is decoded whole before the song is touched: a file that cannot
  // be read leaves the song as it was.
  CSongData source;
  if (!ReadVexoDataBytes(source, bytes))
    return 0;
  return ImportLyricTrackOf(source, target);
}

int CSongData::ImportLyricTrackOf(const CSongData& source, uint16_t target) {
  if (!source.IsLyricTrack(source.lyricTrack) || !source.HasTrack(source.lyricTrack))
    return 0;
  int16_t at;
  bool append = false;
  if (target == 65535) {
    append = !(lyricsPresent && IsLyricTrack(lyricTrack) && HasTrack(lyricTrack));
    at = append ? TrackCount() : lyricTrack;
  } else {
    if (target == 0 || !HasTrack(target))
      return 0;
    at = static_cast<int16_t>(target);
  }
  if (append && TrackCount() >= kMaxInsertableTracks)
    return 0;
  const Track& from = source.tracks[source.lyricTrack];
  Track fresh;
  fresh.text = from.text;
  const size_t poolSize = dataPool.size();
  // Ticks of a file of another resolution are scaled to this song's.
  auto scale = [&](uint32_t v) {
    return static_cast<uint32_t>(
        ClampTick(int64_t{v} * ticksPerQuarter / std::max<int64_t>(1, source.ticksPerQuarter)));
  };
  bool timing = false;
  try {
    fresh.events.reserve(from.events.size() + 128);
    for (SongEvent e : from.events) {
      e.tick = scale(e.tick);
      e.duration = scale(e.duration);
      if (IsPoolKind(e.kind)) {
        std::string_view poolBytes = source.PoolBytes(e);
        auto offset = AddPoolBytes(poolBytes.data(), poolBytes.size());
        if (!offset) {
          dataPool.resize(poolSize);
          return 0;
        }
        e.data = *offset;
        e.length = static_cast<uint16_t>(poolBytes.size());
      }
      timing |= e.kind == kKindTimeSignature || e.kind == kKindTempo || e.kind == kKindKeySignature;
      fresh.events.push_back(e);
    }
    fresh.eventCapacity = static_cast<int32_t>(fresh.events.capacity());
    if (append)
      tracks.emplace_back();
  } catch (const std::bad_alloc&) {
    dataPool.resize(poolSize);
    return 0;
  }
  std::stable_sort(fresh.events.begin(), fresh.events.end(), SortsBefore);
  fresh.port = tracks[at].port;
  tracks[at] = std::move(fresh);
  lyricTrack = at;
  if (melodyTrack == at)
    melodyTrack = 0;
  RebuildLyricLines(at);
  if (timing)
    RetimeSong();
  ComputeEventTimes(at);
  EventsEdited(at, false, false);
  return 1;
}

} // namespace core

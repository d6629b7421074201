#include "core/midifile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <sys/stat.h>

#include "core/messages.h"
#include "core/songdata.h"
#include "core/trackwalk.h"
#include "platform/sys/ascii.h"
#include "platform/sys/bytes.h"
#include "platform/sys/midi_message.h"

namespace core {
namespace midi = sys::midi;
namespace {

constexpr std::string_view kSoftKaraokeName = "Soft karaoke";
constexpr std::string_view kKaraokeMark = "@KMIDI KARAOKE FILE";
constexpr std::string_view kKaraokeLanguage = "@LENGL";
constexpr uint32_t kSyllableTicks = 20;
constexpr uint32_t kMaxTick = INT32_MAX;

// The data bytes a meta event of a fixed layout needs.
size_t MetaDataSize(uint8_t type) {
  switch (type) {
  case midi::kMetaChannelPrefix:
  case midi::kMetaPort:
    return 1;
  case midi::kMetaSequenceNumber: // empty, or two bytes
    return 0;
  case midi::kMetaTempo:
    return 3;
  case midi::kMetaSmpteOffset:
    return 5;
  case midi::kMetaTimeSignature:
    return 4;
  case midi::kMetaKeySignature:
    return 2;
  default:
    return 0;
  }
}

// System exclusive data carries 7-bit bytes, apart from its closing F7.
bool SevenBitData(std::string_view data) {
  if (!data.empty() && static_cast<uint8_t>(data.back()) == midi::kSysExEnd)
    data.remove_suffix(1);
  return std::none_of(data.begin(), data.end(),
                      [](char c) { return midi::IsStatusByte(static_cast<uint8_t>(c)); });
}

bool IsChunk(std::span<const uint8_t> id, const char* name) {
  return id.size() == 4 && std::memcmp(id.data(), name, 4) == 0;
}

bool IsPrintableChunkId(std::span<const uint8_t> id) {
  return std::all_of(id.begin(), id.end(), [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return sys::EqualIgnoringAsciiCase(a, b);
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
    return std::nullopt;
  std::vector<uint8_t> data;
  struct stat st {};
  if (::fstat(fileno(f), &st) == 0 && st.st_size > 0 &&
      static_cast<uint64_t>(st.st_size) <= kMaxMidiFileSize)
    data.reserve(static_cast<size_t>(st.st_size));
  uint8_t buf[65536];
  size_t n;
  bool tooLarge = false;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (data.size() + n > kMaxMidiFileSize) {
      tooLarge = true;
      break;
    }
    data.insert(data.end(), buf, buf + n);
  }
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed || tooLarge)
    return std::vector<uint8_t>{}; // opened but unusable: read as an empty file
  return data;
}

// Notes waiting for their note-off, oldest first for each channel and key.
class PendingNotes {
public:
  PendingNotes() { Clear(); }
  void Clear() {
    head_.fill(-1);
    tail_.fill(-1);
    next_.clear();
    event_.clear();
  }
  void Push(int key, int32_t eventIndex) {
    int32_t node = static_cast<int32_t>(event_.size());
    event_.push_back(eventIndex);
    next_.push_back(-1);
    if (tail_[key] >= 0)
      next_[tail_[key]] = node;
    else
      head_[key] = node;
    tail_[key] = node;
  }
  int32_t Pop(int key) {
    int32_t node = head_[key];
    if (node < 0)
      return -1;
    head_[key] = next_[node];
    if (head_[key] < 0)
      tail_[key] = -1;
    return event_[node];
  }
  template <typename F> void ForEachRemaining(F f) const {
    for (int key = 0; key < kKeys; ++key)
      for (int32_t node = head_[key]; node >= 0; node = next_[node])
        f(event_[node]);
  }

private:
  static constexpr int kKeys = 16 * 128;
  std::array<int32_t, kKeys> head_, tail_;
  std::vector<int32_t> next_, event_;
};

struct ReadContext {
  CSongData& song;
  bool smpte = false;
  std::array<bool, 16> bankSeen{};
  PendingNotes pending;
};

// Adds bytes to the data pool for an event; false when they do not fit the
// event's 16-bit byte count.
bool StorePoolEvent(CSongData& song, Track& track, uint32_t tick, uint8_t kind,
                    std::span<const uint8_t> head, std::span<const uint8_t> body,
                    bool terminatingZero) {
  size_t count = head.size() + body.size() + (terminatingZero ? 1 : 0);
  if (count > kPoolItemLimit || song.dataPool.size() + count > UINT32_MAX)
    return false;
  SongEvent e;
  e.tick = tick;
  e.kind = kind;
  e.data = static_cast<uint32_t>(song.dataPool.size());
  e.length = static_cast<uint16_t>(count);
  song.dataPool.insert(song.dataPool.end(), head.begin(), head.end());
  song.dataPool.insert(song.dataPool.end(), body.begin(), body.end());
  if (terminatingZero)
    song.dataPool.push_back(0);
  track.events.push_back(e);
  return true;
}

void StoreMeta(ReadContext& ctx, Track& track, uint32_t tick, uint8_t type,
               std::span<const uint8_t> raw, std::span<const uint8_t> data) {
  auto simple = [&](uint8_t kind, uint32_t value) {
    SongEvent e;
    e.tick = tick;
    e.kind = kind;
    e.data = value;
    track.events.push_back(e);
  };
  if (type >= 1 && type <= 7) {
    StorePoolEvent(ctx.song, track, tick, static_cast<uint8_t>(64 + type), {}, data, true);
  } else if (type == midi::kMetaTempo && data.size() >= 3) {
    // Under SMPTE time a tempo has no meaning; the song gets one tempo of its own.
    if (!ctx.smpte)
      simple(kKindTempo, uint32_t{data[0]} << 16 | uint32_t{data[1]} << 8 | data[2]);
  } else if (type == midi::kMetaTimeSignature && data.size() >= 2) {
    uint32_t clocks = data.size() >= 3 ? data[2] : 24;
    uint32_t quarter32 = data.size() >= 4 ? data[3] : 8;
    simple(kKindTimeSignature, data[0] | uint32_t{data[1]} << 8 | clocks << 16 | quarter32 << 24);
  } else if (type == midi::kMetaKeySignature && data.size() >= 2) {
    // A key the format cannot name is read as the nearest one.
    int sharps = std::clamp<int>(static_cast<int8_t>(data[0]), -7, 7);
    uint32_t minor = data[1] == 1 ? 1 : 0;
    simple(kKindKeySignature, static_cast<uint8_t>(sharps) | minor << 8);
  } else if (data.size() < MetaDataSize(type) || (type == midi::kMetaSequenceNumber && data.size() == 1)) {
    // Too short to be read as its type: dropped like any other damaged event.
  } else {
    uint8_t kind = type == midi::kMetaSequencerSpecific ? kKindSeqSpecific : kKindOtherMeta;
    StorePoolEvent(ctx.song, track, tick, kind, raw, {}, false);
  }
}

// Reads the events of one track chunk. A damaged or truncated chunk ends
// where the damage begins; what was read before it stays.
void ParseTrack(ReadContext& ctx, Track& track, std::span<const uint8_t> body) {
  CSongData& song = ctx.song;
  ctx.pending.Clear();
  track.events.reserve(body.size() / 4 + 1);
  sys::ByteReader r(body);
  uint64_t tick = 0;
  uint8_t running = 0;
  while (!r.AtEnd()) {
    auto delta = r.Vlq();
    if (!delta)
      break;
    tick = std::min<uint64_t>(tick + *delta, kMaxTick);
    const uint32_t t = static_cast<uint32_t>(tick);
    size_t eventStart = r.Position();
    auto first = r.PeekU8();
    if (!first)
      break;
    uint8_t status;
    if (midi::IsStatusByte(*first)) {
      status = *first;
      r.Skip(1);
    } else if (running) {
      status = running;
    } else {
      r.Skip(1); // a data byte with no status to run on
      continue;
    }

    if (midi::IsChannelStatus(status)) {
      running = status;
      int need = midi::ChannelDataBytes(status);
      uint8_t d[2] = {0, 0};
      bool whole = true;
      for (int i = 0; i < need; ++i) {
        auto v = r.PeekU8();
        if (!v || midi::IsStatusByte(*v)) {
          whole = false;
          break;
        }
        d[i] = *v;
        r.Skip(1);
      }
      if (!whole)
        continue; // a cut message; a status byte in its place starts the next one
      uint8_t type = midi::TypeOf(status);
      uint8_t channel = midi::ChannelOf(status);
      int key = channel * 128 + d[0];
      if (type == midi::kNoteOff || (type == midi::kNoteOn && d[1] == 0)) {
        int32_t on = ctx.pending.Pop(key);
        if (on >= 0)
          track.events[on].duration = t - track.events[on].tick;
        continue;
      }
      SongEvent e;
      e.tick = t;
      e.kind = kKindChannel;
      e.data = midi::PackShort(status, d[0], d[1]);
      if (type == midi::kControlChange && d[0] == midi::kBankSelect && !ctx.bankSeen[channel]) {
        song.initialBank[channel] = d[1];
        ctx.bankSeen[channel] = true;
      }
      if (type == midi::kNoteOn)
        ctx.pending.Push(key, track.EventCount());
      track.events.push_back(e);
    } else if (status == midi::kSysEx || status == midi::kSysExEnd) {
      auto len = r.Vlq();
      if (!len)
        break;
      auto data = r.Bytes(*len);
      if (!data)
        break;
      uint8_t head[1] = {status};
      std::string_view view(reinterpret_cast<const char*>(data->data()), data->size());
      if (SevenBitData(view))
        StorePoolEvent(song, track, t, kKindSysEx, head, *data, false);
    } else if (status == midi::kMeta) {
      auto type = r.U8();
      auto len = type ? r.Vlq() : std::nullopt;
      auto data = len ? r.Bytes(*len) : std::nullopt;
      if (!data)
        break;
      if (*type == midi::kMetaEndOfTrack)
        break;
      StoreMeta(ctx, track, t, *type, body.subspan(eventStart, r.Position() - eventStart), *data);
    } else {
      // System common and real-time bytes have no place in a file; they are
      // passed over with their data bytes.
      int skip = status == midi::kSongPosition                                      ? 2
                 : (status == midi::kTimeCodeQuarter || status == midi::kSongSelect) ? 1
                                                                                     : 0;
      for (int i = 0; i < skip; ++i) {
        auto v = r.PeekU8();
        if (!v || midi::IsStatusByte(*v))
          break;
        r.Skip(1);
      }
    }
  }
  // Notes still sounding last to the track's end.
  const uint32_t end = static_cast<uint32_t>(tick);
  track.endOfTrackTick = static_cast<int32_t>(end);
  ctx.pending.ForEachRemaining(
      [&](int32_t on) { track.events[on].duration = end - track.events[on].tick; });
}

int Fail(CSongData& song, int message) {
  if (message)
    ShowMessage(message);
  song.Reset();
  return 0;
}

// How the header's division is taken: a file from outside may count SMPTE
// time; the MIDI part of an older song file holds the song's own ticks per
// quarter, whatever its top bit.
enum class Division { kStandard, kTicksPerQuarter };

int ReadMidiBytesUnguarded(CSongData& song, std::span<const uint8_t> bytes, const std::string& path,
                           Division mode = Division::kStandard) {
  song.Reset();
  sys::ByteReader in(bytes);
  auto magic = in.Bytes(4);
  if (!magic || !IsChunk(*magic, "MThd"))
    return Fail(song, kMsgNotMidiFile);
  auto headerLength = in.U32BE();
  if (!headerLength || *headerLength < 6 || *headerLength > in.Remaining())
    return Fail(song, kMsgNotMidiFile);
  uint16_t format = *in.U16BE();
  uint16_t declaredTracks = *in.U16BE();
  uint16_t division = *in.U16BE();
  in.Skip(*headerLength - 6);
  if (declaredTracks > kMaxTracks)
    return Fail(song, kMsgTooManyTracks);

  ReadContext ctx{song, false, {}, {}};
  int32_t smpteTempo = 0;
  if ((division & 0x8000) && mode == Division::kStandard) {
    // SMPTE time: frames per second (negative in the high byte) and ticks per
    // frame become ticks per quarter at a fixed tempo with the same seconds.
    int fps = -static_cast<int8_t>(division >> 8);
    int perFrame = division & 0xFF;
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0)
      return Fail(song, kMsgNotMidiFile);
    song.ticksPerQuarter = static_cast<uint16_t>((fps == 29 ? 30 : fps) * perFrame);
    smpteTempo = fps == 29 ? 1001001 : 1000000; // 29.97 frames: 30 frames per 1.001 s
    ctx.smpte = true;
  } else {
    if (division == 0)
      return Fail(song, kMsgNotMidiFile);
    song.ticksPerQuarter = division;
  }
  song.midiFormat = format;

  int found = 0;
  while (found < declaredTracks && in.Remaining() >= 8) {
    auto id = *in.Bytes(4);
    uint32_t length = *in.U32BE();
    if (IsChunk(id, "MTrk")) {
      size_t available = std::min<size_t>(length, in.Remaining());
      auto body = *in.Bytes(available);
      song.tracks.emplace_back();
      ParseTrack(ctx, song.tracks.back(), body);
      ++found;
      if (available < length)
        break; // the file ends inside this chunk
    } else if (!IsPrintableChunkId(id) || !in.Skip(length)) {
      break; // not a chunk: what follows cannot be trusted
    }
  }
  if (found == 0 && declaredTracks > 0)
    return Fail(song, kMsgBadTrackChunk);

  if (!song.tracks.empty()) {
    auto& first = song.tracks[0].events;
    SongEvent tempo;
    tempo.kind = kKindTempo;
    if (ctx.smpte) {
      tempo.data = static_cast<uint32_t>(smpteTempo);
      first.insert(first.begin(), tempo);
    } else {
      // Until its first tempo event a Standard MIDI File plays at 120 beats per
      // minute; the song states that tempo so that every later use agrees.
      bool tempoAtStart = false;
      for (const auto& t : song.tracks)
        for (const auto& e : t.events) {
          if (e.tick > 0)
            break;
          tempoAtStart |= e.kind == kKindTempo && (e.data & 0xFFFFFF) != 0;
        }
      if (!tempoAtStart) {
        tempo.data = kMidiDefaultTempo;
        first.insert(first.begin(), tempo);
      }
    }
  }

  song.BuildTempoMaps(true);
  for (int16_t t = 0; t < song.TrackCount(); ++t) {
    song.ComputeEventTimes(t);
    song.ComputeSummary(t);
    song.UpdateTrack(t);
  }
  song.loaded = 1;
  song.unchanged = 1;
  song.preparedForPlay = 0;
  song.lyricsPresent = 0;
  song.path = path;
  song.saveKind = kFileMidi;
  return 1;
}

// Notes, controllers, system exclusives or timing: what a track must keep
// so that nothing of the file that sounds or times the song is lost.
bool Sounds(const Track& track) {
  return std::any_of(track.events.begin(), track.events.end(), [](const SongEvent& e) {
    return e.kind <= kKindKeySignature || e.kind == kKindSysEx;
  });
}

bool IsKaraokeMark(const CSongData& song, const SongEvent& e) {
  return e.kind == kKindText && song.PoolText(e) == kKaraokeMark;
}

// A text event that is sung: karaoke texts beginning with "@" are the
// file's own information (language, title, version, credits).
bool HoldsWords(const CSongData& song, const Track& track) {
  return std::any_of(track.events.begin(), track.events.end(), [&](const SongEvent& e) {
    if (e.kind != kKindText)
      return false;
    std::string_view text = song.PoolText(e);
    return !text.empty() && text[0] != '@';
  });
}

// The track holding the soft-karaoke header text (marked: the text is there)
// and the one holding the words (-1: none).
struct KaraokeLayout {
  bool marked = false;
  int16_t header = 1;
  int16_t words = 2;
};

// Where the words are, from soft-karaoke files as they are found:
// - nearly all put the header ("Soft karaoke" track name, "@KMIDI KARAOKE
//   FILE") in the second track and the words ("Words" track, "@L", "@T",
//   then the syllables) in the third, whatever the file is named; so does
//   the writer here. With the header in the second track the words are the
//   third track, as they always were;
// - an accompaniment generator writes header, title and words into the
//   first track, beside the tempo; some sequencers put a track of their own
//   before the header track, which moves the header to the third track and
//   the words to the fourth, and the words track is not always named
//   "Words". With the header anywhere else the words are the first track,
//   from the header's own on, that holds a text not beginning with "@";
// - no track holds such a text: the third track, if there is one.
// Without the header text the second and third tracks are taken as header
// and words.
KaraokeLayout FindKaraokeLayout(const CSongData& song) {
  KaraokeLayout layout;
  const int16_t count = song.TrackCount();
  for (int16_t t = 0; t < count && !layout.marked; ++t) {
    const auto& events = song.tracks[t].events;
    if (std::any_of(events.begin(), events.end(),
                    [&](const SongEvent& e) { return IsKaraokeMark(song, e); })) {
      layout.marked = true;
      layout.header = t;
    }
  }
  if (layout.marked && !(layout.header == 1 && count > 2)) {
    layout.words = -1;
    for (int16_t t = layout.header; t < count && layout.words < 0; ++t)
      if (HoldsWords(song, song.tracks[t]))
        layout.words = t;
  }
  if (layout.words < 0 && count > 2)
    layout.words = 2;
  return layout;
}

// The words of a karaoke file become a lyric track.
void ConvertKaraoke(CSongData& song, const KaraokeLayout& layout) {
  for (auto& t : song.tracks) {
    t.lineTable.fill(0);
    t.lineCount = 0;
  }
  // A header in the second track stays there: what the karaoke writer adds
  // to it goes, so that loading and saving again leaves the file as it was.
  // A header anywhere else goes as a whole when nothing in it sounds, else
  // it loses its header texts; the writer puts the header in its place.
  const int16_t headerTrack = layout.header;
  const bool headerInPlace = headerTrack == 1;
  auto& header = song.tracks[headerTrack].events;
  auto isHeaderName = [&](const SongEvent& e) {
    return e.kind == kKindTrackName && EqualsNoCase(song.PoolText(e), kSoftKaraokeName);
  };
  if (headerInPlace) {
    auto removeFirst = [&](auto matches) {
      auto it = std::find_if(header.begin(), header.end(),
                             [&](const SongEvent& e) { return e.tick == 0 && matches(e); });
      if (it != header.end())
        header.erase(it);
    };
    removeFirst(isHeaderName);
    removeFirst([&](const SongEvent& e) { return IsKaraokeMark(song, e); });
  } else {
    std::erase_if(header,
                  [&](const SongEvent& e) { return isHeaderName(e) || IsKaraokeMark(song, e); });
  }

  song.InsertTrack(-1);
  int16_t lyric = static_cast<int16_t>(song.TrackCount() - 1);
  song.lyricTrack = lyric;
  bool titleTaken = false;
  const int16_t wordsTrack = layout.words;
  static const std::vector<SongEvent> kNoWords;
  const auto& words = wordsTrack >= 0 ? song.tracks[wordsTrack].events : kNoWords;
  for (const auto& e : words) {
    if (e.kind != kKindText)
      continue;
    std::string_view text = song.PoolText(e);
    int32_t tick = static_cast<int32_t>(e.tick);
    std::string_view syllable = text;
    if (!text.empty() && text[0] == '@') {
      if (text.size() >= 2 && text[1] == 'T' && !titleTaken) {
        song.title = std::string(text.substr(2, kTitleSize));
        titleTaken = true;
      }
      continue;
    }
    if (!text.empty() && (text[0] == '\\' || text[0] == '/')) {
      song.AddEvent(lyric, tick, 0, 0, 0, kKindLineBreak);
      song.AddEvent(lyric, tick, 0, 0, 0, kKindNextLine);
      syllable = text.substr(1);
      if (text[0] == '/' && syllable.empty())
        continue;
    }
    if (auto offset = song.AddTrackText(lyric, syllable))
      song.AddEvent(lyric, tick, kSyllableTicks, 0,
                    *offset | static_cast<uint32_t>(syllable.size()) << 16, kKindSyllable);
  }
  song.lyricsPresent = 1;
  song.RebuildLyricLines(lyric);
  if (wordsTrack >= 0)
    song.tracks[lyric].endOfTrackTick = song.tracks[wordsTrack].endOfTrackTick;
  song.UpdateTrack(lyric);
  song.UpdateTrack(headerTrack);

  // The words track goes unless something in it sounds; then only its texts
  // go. The same holds for a header out of its place. The higher track goes
  // first so that the lower keeps its index; the lyric track is never left
  // first, where it would name no lyric track.
  std::vector<int16_t> leaving;
  if (wordsTrack >= 0)
    leaving.push_back(wordsTrack);
  if (!headerInPlace && headerTrack != wordsTrack)
    leaving.push_back(headerTrack);
  std::sort(leaving.rbegin(), leaving.rend());
  for (int16_t t : leaving) {
    if (t == wordsTrack)
      std::erase_if(song.tracks[t].events, [](const SongEvent& e) { return e.kind == kKindText; });
    if (Sounds(song.tracks[t]) || song.TrackCount() < 3)
      song.UpdateTrack(t);
    else
      song.DeleteTrack(t);
  }
  song.saveKind = kFileKaraoke;
  song.unchanged = 1;
  song.preparedForPlay = 0;
}

// A karaoke file with no soft-karaoke header and fewer than three tracks has
// no words track: it is read as a plain MIDI file.
int ReadKaraokeBytesUnguarded(CSongData& song, std::span<const uint8_t> bytes,
                              const std::string& path) {
  if (!ReadMidiBytesUnguarded(song, bytes, path))
    return 0;
  if (song.TrackCount() >= kMaxInsertableTracks)
    return 1;
  const KaraokeLayout layout = FindKaraokeLayout(song);
  if (layout.marked || song.TrackCount() >= 3)
    ConvertKaraoke(song, layout);
  return 1;
}

int ReadMidiOrKaraokeBytesUnguarded(CSongData& song, std::span<const uint8_t> bytes,
                                    const std::string& path) {
  if (!ReadMidiBytesUnguarded(song, bytes, path))
    return 0;
  if (song.TrackCount() >= kMaxInsertableTracks)
    return 1;
  const KaraokeLayout layout = FindKaraokeLayout(song);
  if (layout.marked)
    ConvertKaraoke(song, layout);
  return 1;
}

template <typename F> int Guarded(CSongData& song, F read) {
  try {
    return read();
  } catch (const std::bad_alloc&) {
    song.Reset();
    return 0;
  }
}

// Writes produced events as Standard MIDI File track chunks.
class ChunkWriter {
public:
  explicit ChunkWriter(const CSongData& song) : song_(song) {}

  void Header(uint16_t format, uint16_t chunks) {
    out_.Bytes("MThd", 4);
    out_.U32BE(6);
    out_.U16BE(format);
    out_.U16BE(chunks);
    out_.U16BE(song_.ticksPerQuarter);
  }

  void Begin() {
    out_.Bytes("MTrk", 4);
    lengthAt_ = out_.Size();
    out_.U32BE(0);
    position_ = 0;
    running_ = 0;
    lineBreak_ = false;
  }

  void End(int64_t endTick) {
    FlushLineBreak();
    Delta(endTick);
    Meta(midi::kMetaEndOfTrack, {});
    out_.PatchU32BE(lengthAt_, static_cast<uint32_t>(out_.Size() - lengthAt_ - 4));
  }

  void TextAt(int64_t tick, uint8_t type, std::string_view text) {
    Delta(tick);
    Meta(type, text);
  }

  void Track(int16_t track) {
    TransmitTrack(song_, track, [this](int16_t t, int32_t, int32_t index, bool noteOff) {
      Produced(t, song_.tracks[t].events[index], noteOff);
    });
  }

  std::vector<uint8_t> Take() { return out_.Take(); }

private:
  // The delta from the position written so far, so that one event out of
  // order never moves the events after it.
  void Delta(int64_t tick) {
    int64_t delta = std::clamp<int64_t>(tick - position_, 0, 0x0FFFFFFF);
    position_ += delta;
    out_.Vlq(static_cast<uint32_t>(delta));
  }

  void Meta(uint8_t type, std::string_view data) {
    out_.U8(midi::kMeta);
    out_.U8(type);
    out_.Vlq(static_cast<uint32_t>(data.size()));
    out_.Bytes(data.data(), data.size());
    running_ = 0;
  }

  void Channel(int64_t tick, uint8_t status, uint8_t d1, uint8_t d2) {
    Delta(tick);
    if (status != running_)
      out_.U8(status);
    running_ = status;
    out_.U8(d1 & 0x7F);
    if (midi::ChannelDataBytes(status) == 2)
      out_.U8(d2 & 0x7F);
  }

  // A line break is written together with the syllable that follows it at the
  // same tick ("/word"), as karaoke files have it; so a syllable that begins
  // with "@", "/" or "\\" still reads back as a syllable.
  void FlushLineBreak() {
    if (!lineBreak_)
      return;
    lineBreak_ = false;
    TextAt(lineBreakTick_, 0x01, "/");
  }

  void Produced(int16_t track, const SongEvent& e, bool noteOff) {
    ProducedEvent p = MakeProducedEvent(e, noteOff);
    const int64_t tick = p.tick;
    bool written = noteOff || e.kind == kKindChannel || e.kind <= kKindKeySignature ||
                   (e.kind >= kKindSysEx && e.kind <= kKindLineBreak) || IsTextKind(e.kind);
    if (written && lineBreak_) {
      std::string_view syllable =
          e.kind == kKindSyllable && !noteOff ? song_.SyllableText(track, e) : std::string_view{};
      if (tick == lineBreakTick_ && !syllable.empty()) {
        lineBreak_ = false;
        std::string merged(1, '/');
        merged.append(syllable);
        TextAt(tick, 0x01, merged);
        return;
      }
      FlushLineBreak();
    }
    if (noteOff) {
      Channel(tick, static_cast<uint8_t>(p.data), static_cast<uint8_t>(p.data >> 8), 0);
      return;
    }
    uint8_t b[4] = {static_cast<uint8_t>(p.data), static_cast<uint8_t>(p.data >> 8),
                    static_cast<uint8_t>(p.data >> 16), static_cast<uint8_t>(p.data >> 24)};
    switch (e.kind) {
    case kKindChannel:
      if (b[0] >= 0x80 && b[0] < 0xF0)
        Channel(tick, b[0], b[1], b[2]);
      break;
    case kKindTimeSignature:
      TextAt(tick, midi::kMetaTimeSignature, std::string_view(reinterpret_cast<const char*>(b), 4));
      break;
    case kKindTempo: {
      const char tempo[3] = {static_cast<char>(p.data >> 16), static_cast<char>(p.data >> 8),
                             static_cast<char>(p.data)};
      TextAt(tick, midi::kMetaTempo, std::string_view(tempo, 3));
      break;
    }
    case kKindKeySignature: {
      // A key the file format cannot name is written as the nearest one.
      int sharps = std::clamp<int>(static_cast<int8_t>(b[0]), -7, 7);
      const char key[2] = {static_cast<char>(sharps), static_cast<char>(b[1] == 1 ? 1 : 0)};
      TextAt(tick, midi::kMetaKeySignature, std::string_view(key, 2));
      break;
    }
    case kKindSysEx: {
      std::string_view bytes = song_.PoolBytes(e);
      uint8_t status = bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]);
      if ((status != 0xF0 && status != 0xF7) || !SevenBitData(bytes.substr(1)))
        break;
      Delta(tick);
      out_.U8(status);
      out_.Vlq(static_cast<uint32_t>(bytes.size() - 1));
      out_.Bytes(bytes.data() + 1, bytes.size() - 1);
      running_ = 0;
      break;
    }
    case kKindSeqSpecific:
    case kKindOtherMeta: {
      // Stored whole; written again with its length recounted so that the
      // chunk stays valid whatever the stored bytes say.
      std::string_view bytes = song_.PoolBytes(e);
      if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0xFF ||
          static_cast<uint8_t>(bytes[1]) == 0x2F)
        break;
      sys::ByteReader r(bytes.data() + 2, bytes.size() - 2);
      auto len = r.Vlq();
      std::string_view data = bytes.substr(2 + r.Position());
      if (len && *len < data.size())
        data = data.substr(0, *len);
      uint8_t type = static_cast<uint8_t>(bytes[1]);
      if (data.size() < MetaDataSize(type) || (type == midi::kMetaSequenceNumber && data.size() == 1))
        break; // too short to be read as its type
      TextAt(tick, type, data);
      break;
    }
    case kKindSyllable:
      TextAt(tick, 0x01, song_.SyllableText(track, e));
      break;
    case kKindLineBreak:
      lineBreak_ = true;
      lineBreakTick_ = tick;
      break;
    default:
      if (IsTextKind(e.kind))
        TextAt(tick, static_cast<uint8_t>(e.kind - 64), song_.PoolText(e));
      // Waves, next-line, image and singer events have no form in the file.
      break;
    }
  }

  const CSongData& song_;
  sys::ByteWriter out_;
  size_t lengthAt_ = 0;
  int64_t position_ = 0;
  uint8_t running_ = 0;
  bool lineBreak_ = false;
  int64_t lineBreakTick_ = 0;
};

// One chunk of the written file: texts at its start, then a song track.
struct ChunkPlan {
  std::vector<std::pair<uint8_t, std::string>> texts;
  int16_t track = -1;
};

bool HasTempoAtStart(const CSongData& song) {
  for (const auto& t : song.tracks)
    for (const auto& e : t.events) {
      if (e.tick > 0)
        break;
      if (e.kind == kKindTempo && (e.data & 0xFFFFFF) != 0)
        return true;
    }
  return false;
}

// stateTempo: a file without a tempo at its start plays at 120 beats per
// minute until its first tempo, the song at its first tempo from the start;
// the file then begins with that tempo.
std::optional<std::vector<uint8_t>>
Encode(const CSongData& song, const std::vector<ChunkPlan>& plan, bool stateTempo = false) {
  uint16_t format = plan.size() > 1 ? 1 : (song.midiFormat <= 2 ? song.midiFormat : 1);
  ChunkWriter w(song);
  w.Header(format, static_cast<uint16_t>(plan.size()));
  stateTempo = stateTempo && !HasTempoAtStart(song);
  for (const auto& chunk : plan) {
    w.Begin();
    if (stateTempo && &chunk == &plan.front()) {
      uint32_t us = static_cast<uint32_t>(
          song.tempoMap.empty() ? kDefaultTempo : song.tempoMap.front().usPerQuarter);
      const char tempo[3] = {static_cast<char>(us >> 16), static_cast<char>(us >> 8),
                             static_cast<char>(us)};
      w.TextAt(0, midi::kMetaTempo, std::string_view(tempo, 3));
    }
    for (const auto& [type, text] : chunk.texts)
      w.TextAt(0, type, text);
    int64_t end = 0;
    if (song.HasTrack(chunk.track)) {
      w.Track(chunk.track);
      end = song.tracks[chunk.track].endTick;
    }
    w.End(end);
  }
  return w.Take();
}

bool CanExport(const CSongData& song) {
  if (!song.loaded)
    return false;
  if (song.packed) {
    ShowMessage(kMsgPackedSong);
    return false;
  }
  return true;
}

int32_t WriteBytes(const std::optional<std::vector<uint8_t>>& bytes, const std::string& path) {
  if (!bytes || bytes->size() > INT32_MAX)
    return 0;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return 0;
  bool ok = std::fwrite(bytes->data(), 1, bytes->size(), f) == bytes->size();
  ok = std::fclose(f) == 0 && ok;
  return ok ? static_cast<int32_t>(bytes->size()) : 0;
}

} // namespace

int ReadMidiBytes(CSongData& song, std::span<const uint8_t> bytes, const std::string& path) {
  return Guarded(song, [&] { return ReadMidiBytesUnguarded(song, bytes, path); });
}

int ReadSongMidiPartBytes(CSongData& song, std::span<const uint8_t> bytes,
                          const std::string& path) {
  return Guarded(
      song, [&] { return ReadMidiBytesUnguarded(song, bytes, path, Division::kTicksPerQuarter); });
}

int ReadKaraokeBytes(CSongData& song, std::span<const uint8_t> bytes, const std::string& path) {
  return Guarded(song, [&] { return ReadKaraokeBytesUnguarded(song, bytes, path); });
}

int ReadMidiOrKaraokeBytes(CSongData& song, std::span<const uint8_t> bytes,
                           const std::string& path) {
  return Guarded(song, [&] { return ReadMidiOrKaraokeBytesUnguarded(song, bytes, path); });
}

int ReadMidiFile(CSongData& song, const std::string& path) {
  auto data = ReadWholeFile(path);
  if (!data)
    return 0;
  return ReadMidiBytes(song, *data, path);
}

int ReadKaraokeFile(CSongData& song, const std::string& path) {
  auto data = ReadWholeFile(path);
  if (!data)
    return 0;
  return ReadKaraokeBytes(song, *data, path);
}

int ReadMidiOrKaraokeFile(CSongData& song, const std::string& path) {
  auto data = ReadWholeFile(path);
  if (!data)
    return 0;
  return ReadMidiOrKaraokeBytes(song, *data, path);
}

std::optional<std::vector<uint8_t>> EncodeMidiFile(const CSongData& song) {
  if (!CanExport(song))
    return std::nullopt;
  std::vector<ChunkPlan> plan(song.tracks.size());
  for (int16_t t = 0; t < song.TrackCount(); ++t)
    plan[t].track = t;
  return Encode(song, plan);
}

std::optional<std::vector<uint8_t>> EncodeMidiTracksExcept(const CSongData& song, int16_t leftOut) {
  if (!song.loaded)
    return std::nullopt;
  std::vector<ChunkPlan> plan;
  for (int16_t t = 0; t < song.TrackCount(); ++t)
    if (t != leftOut)
      plan.push_back(ChunkPlan{{}, t});
  // Read back, the part must time the song as the song times itself.
  return Encode(song, plan, true);
}

std::optional<std::vector<uint8_t>> EncodeKaraokeMidiFile(const CSongData& song) {
  if (!CanExport(song))
    return std::nullopt;
  if (song.TrackCount() == 0)
    return Encode(song, {}); // nothing to lay out: the header alone
  bool lyrics = song.lyricsPresent && song.lyricTrack > 0 && song.HasTrack(song.lyricTrack);
  std::vector<int16_t> others;
  for (int16_t t = 0; t < song.TrackCount(); ++t)
    if (!lyrics || t != song.lyricTrack)
      others.push_back(t);
  auto other = [&](size_t i) { return i < others.size() ? others[i] : int16_t{-1}; };

  std::vector<ChunkPlan> plan(3);
  plan[0].track = other(0);
  plan[1].texts = {{0x03, std::string(kSoftKaraokeName)}, {0x01, std::string(kKaraokeMark)}};
  plan[1].track = other(1);
  plan[2].texts = {{0x01, std::string(kKaraokeLanguage)},
                   {0x01, "@T" + song.title.substr(0, kTitleSize)}};
  plan[2].track = lyrics ? song.lyricTrack : int16_t{-1};
  for (size_t i = 2; i < others.size(); ++i)
    plan.push_back(ChunkPlan{{}, others[i]});
  return Encode(song, plan);
}

int32_t WriteMidiFile(const CSongData& song, const std::string& path) {
  return WriteBytes(EncodeMidiFile(song), path);
}

int32_t WriteKaraokeMidiFile(const CSongData& song, const std::string& path) {
  return WriteBytes(EncodeKaraokeMidiFile(song), path);
}

} // namespace core

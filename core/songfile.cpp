#include "core/songfile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>
#include <sys/stat.h>

#include "core/lzss/lzss.h"
#include "core/messages.h"
#include "core/midifile.h"
#include "core/songdata.h"
#include "core/songfilelayout.h"
#include "platform/sys/bytes.h"
#include "platform/sys/midi_message.h"
#include "platform/sys/paths.h"

namespace core {
namespace midi = sys::midi;
namespace {

namespace sf = songfile;
using Span = std::span<const uint8_t>;

constexpr uint32_t kMaxTick = INT32_MAX;

// A bounded reader that remembers whether any read came up short; what a
// short read returns is 0 or empty, and the caller checks Failed() before
// trusting what it read.
class Cursor {
public:
  explicit Cursor(Span data) : r_(data) {}

  uint8_t U8() { return Take(r_.U8()); }
  uint16_t U16() { return Take(r_.U16LE()); }
  uint32_t U32() { return Take(r_.U32LE()); }
  uint32_t Vlq() { return Take(r_.Vlq()); }
  Span Bytes(size_t n) {
    auto v = r_.Bytes(n);
    if (!v) {
      failed_ = true;
      return {};
    }
    return *v;
  }
  void Fail() { failed_ = true; }
  bool Failed() const { return failed_; }
  size_t Remaining() const { return r_.Remaining(); }
  bool AtEnd() const { return r_.AtEnd(); }
  size_t Position() const { return r_.Position(); }

private:
  template <typename T> T Take(std::optional<T> v) {
    if (!v) {
      failed_ = true;
      return T{};
    }
    return *v;
  }
  sys::ByteReader r_;
  bool failed_ = false;
};

bool HasMagic(Span bytes, std::string_view magic) {
  return bytes.size() >= sf::kMagicSize &&
         std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
}

std::string_view AsText(Span bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A text field, cut at its first zero byte; empty when the chunk does not
// hold the whole field.
std::string FieldText(Span info, size_t offset, size_t size) {
  if (offset + size > info.size())
    return {};
  std::string_view text = AsText(info.subspan(offset, size));
  return std::string(text.substr(0, text.find('\0')));
}

std::optional<uint16_t> FieldU16(Span info, size_t offset) {
  if (offset + 2 > info.size())
    return std::nullopt;
  return static_cast<uint16_t>(info[offset] | info[offset + 1] << 8);
}

// Walks the chain from position start: true when it ends exactly at the end
// of the file. A chunk whose length reaches past the end, or a piece of a
// chunk length after the last chunk, means a damaged file.
bool ChainIntact(Span file, size_t start) {
  size_t p = start;
  while (p <= file.size() && file.size() - p >= sf::kChunkLengthSize) {
    uint32_t n = file[p] | file[p + 1] << 8 | file[p + 2] << 16 | uint32_t{file[p + 3]} << 24;
    size_t bodyAt = p + sf::kChunkLengthSize;
    if (n > file.size() - bodyAt)
      return false;
    p = bodyAt + n;
  }
  return p == file.size();
}

// The body of the named section (after its name), found by walking the chain
// from position start; nullopt when the chain ends before the section.
std::optional<Span> FindSection(Span file, size_t start, std::string_view name) {
  size_t p = start;
  while (p <= file.size() && file.size() - p >= sf::kChunkLengthSize) {
    uint32_t n = file[p] | file[p + 1] << 8 | file[p + 2] << 16 | uint32_t{file[p + 3]} << 24;
    size_t bodyAt = p + sf::kChunkLengthSize;
    if (n > file.size() - bodyAt)
      return std::nullopt;
    if (n >= sf::kSectionNameSize &&
        std::memcmp(file.data() + bodyAt, name.data(), sf::kSectionNameSize) == 0)
      return file.subspan(bodyAt + sf::kSectionNameSize, n - sf::kSectionNameSize);
    p = bodyAt + n;
  }
  return std::nullopt;
}

std::vector<uint8_t> Unscrambled(Span packed, std::span<const uint8_t> key) {
  std::vector<uint8_t> out(packed.begin(), packed.end());
  ScrambleSongBytes(out, key);
  return out;
}

std::optional<std::vector<uint8_t>> UnpackScrambled(Span packed, size_t unpackedSize,
                                                    std::span<const uint8_t> key) {
  // The stated size is bounded by what the stored bytes can give before
  // anything is allocated for it.
  if (unpackedSize > LzssMaxUnpackedSize(packed.size()) || unpackedSize > kMaxSongFileSize)
    return std::nullopt;
  LzssCodec codec;
  return codec.Unpack(Unscrambled(packed, key), unpackedSize);
}

std::vector<uint8_t> PackScrambled(Span plain, std::span<const uint8_t> key) {
  LzssCodec codec;
  std::vector<uint8_t> out = codec.Pack(plain);
  ScrambleSongBytes(out, key);
  return out;
}

struct FileBytes {
  bool opened = false;
  bool usable = false; // read whole and not too large
  std::vector<uint8_t> data;
};

FileBytes ReadSongFileBytes(const std::string& path) {
  FileBytes result;
  if (path.empty())
    return result;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f)
    return result;
  result.opened = true;
  struct stat st {};
  if (::fstat(fileno(f), &st) != 0 || st.st_size < 0 ||
      static_cast<uint64_t>(st.st_size) > kMaxSongFileSize) {
    // Only the header, so that callers can still tell what the file is.
    result.data.resize(sf::kHeaderSize);
    result.data.resize(std::fread(result.data.data(), 1, result.data.size(), f));
    std::fclose(f);
    return result;
  }
  try {
    result.data.reserve(static_cast<size_t>(st.st_size));
    uint8_t buf[65536];
    size_t n;
    bool tooLarge = false;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
      if (result.data.size() + n > kMaxSongFileSize) {
        tooLarge = true;
        break;
      }
      result.data.insert(result.data.end(), buf, buf + n);
    }
    result.usable = !tooLarge && std::ferror(f) == 0;
  } catch (const std::bad_alloc&) {
    result.usable = false;
  }
  std::fclose(f);
  return result;
}

// The fields of the information chunk both versions share.
void ReadInfoTexts(CSongData& song, Span info) {
  song.title = FieldText(info, sf::kInfoTitle, sf::kTitleFieldSize);
  song.lyricist = FieldText(info, sf::kInfoLyricist, sf::kTextFieldSize);
  song.duzuvevi = FieldText(info, sf::kInfoComposer, sf::kTextFieldSize);
  song.singer = FieldText(info, sf::kInfoSinger, sf::kTextFieldSize);
  song.arranger = FieldText(info, sf::kInfoArranger, sf::kTextFieldSize);
  song.lyricSync = FieldText(info, sf::kInfoLyricSync, sf::kTextFieldSize);
  song.description = FieldText(info, sf::kInfoDescription, sf::kTextFieldSize);
  if (auto word = FieldU16(info, sf::kInfoWord))
    song.infoWord = *word;
  // Only a chunk that really holds all 16 picture numbers gives them.
  if (sf::kInfoImageNumbers + sf::kImageNumberCount <= info.size())
    std::copy_n(info.begin() + sf::kInfoImageNumbers, sf::kImageNumberCount,
                song.imageNumbers.begin());
}

void ReadKeyword(CSongData& song, Span keyword) {
  std::string_view text = AsText(keyword);
  text = text.substr(0, text.find('\0'));
  if (!text.empty())
    song.keyword = std::string(text);
}

// The information and keyword chunks; false when either reaches past the end.
bool ReadHeadChunks(Cursor& in, Span& info, Span& keyword) {
  info = in.Bytes(in.U32());
  keyword = in.Bytes(in.U32());
  return !in.Failed();
}

bool ReadBankSection(CSongData& song, Span body) {
  Cursor in(body);
  in.U8();
  uint8_t count = in.U8();
  uint8_t bank = in.U8();
  in.U32();
  if (in.Failed())
    return false;
  song.bankNumber = bank;
  for (int i = 0; i < count && !in.AtEnd(); ++i) {
    uint32_t length = in.U32();
    uint8_t type = in.U8();
    in.U32();
    uint8_t slot = in.U8();
    Span payload = in.Bytes(length);
    if (in.Failed() || slot < 1 || slot >= kBankSlots ||
        (type != sf::kBankEntryContent && type != sf::kBankEntryName))
      return false;
    BankSlot& s = song.bankSlots[slot];
    if (type == sf::kBankEntryName) {
      if (length > kMaxPathBytes)
        return false;
      std::string_view name = AsText(payload);
      s.path = std::string(name.substr(0, name.find('\0')));
      s.flags = kBankSlotUsed | kBankSlotOwnFile | kBankSlotNameOnly;
      s.data.clear();
    } else {
      s.path.clear();
      s.flags = kBankSlotUsed;
      s.data.assign(payload.begin(), payload.end());
    }
  }
  song.bankSlotCount = static_cast<uint8_t>(
      std::count_if(song.bankSlots.begin() + 1, song.bankSlots.end(),
                    [](const BankSlot& s) { return (s.flags & kBankSlotUsed) != 0; }));
  return true;
}

bool ReadWaveSection(CSongData& song, Span body) {
  Cursor in(body);
  uint16_t count = in.U16();
  in.U32();
  for (int i = 0; i < count && !in.Failed(); ++i) {
    in.U8();
    uint16_t slot = in.U16();
    Span name = in.Bytes(sf::kWaveNameSize);
    uint8_t channels = in.U8();
    uint8_t bits = in.U8();
    uint32_t rate = in.U32();
    in.U32();
    in.U32();
    Span pcm = in.Bytes(in.U32());
    if (in.Failed() || slot >= kWaveSlots)
      return false;
    WaveSlot& w = song.waves[slot];
    std::string_view n = AsText(name);
    w.name = std::string(n.substr(0, n.find('\0')));
    w.pcm.assign(pcm.begin(), pcm.end());
    w.format =
        (rate & 0xFFFFFF) | uint32_t{channels & 0x0Fu} << 24 | uint32_t{(bits / 8u) & 0x0Fu} << 28;
  }
  return !in.Failed();
}

// Appends pool bytes for an event (and a terminating zero for texts).
void StorePool(CSongData& song, SongEvent& e, Span bytes, bool zero) {
  e.data = static_cast<uint32_t>(song.dataPool.size());
  e.length = static_cast<uint16_t>(bytes.size() + (zero ? 1 : 0));
  song.dataPool.insert(song.dataPool.end(), bytes.begin(), bytes.end());
  if (zero)
    song.dataPool.push_back(0);
}

// The lines of the lyric track as the event section gives them: syllables
// before the first break make line 0, each break opens the next line with
// the entry it carries.
struct LineState {
  int k = 0;
  uint32_t firstLineLength = 0;
};

void TrackLine(Track& track, SongEvent& e, LineState& lines) {
  constexpr int kMaxLine = kLineTableSize - 1;
  if (e.kind == kKindSyllable) {
    if (lines.k == 0) {
      lines.firstLineLength += e.data >> 16;
      track.lineTable[0] = std::min<uint32_t>(lines.firstLineLength, 0xFFFF) << 16;
    }
  } else if (e.kind == kKindLineBreak) {
    if (lines.k < kMaxLine) {
      ++lines.k;
      track.lineTable[lines.k] = e.data;
    }
    e.length = static_cast<uint16_t>(lines.k);
  } else if (e.kind == kKindNextLine) {
    e.length = static_cast<uint16_t>(lines.k + 1);
  }
}

// One event of a track block; false when the block is damaged.
bool ReadEvent(CSongData& song, Cursor& in, uint64_t& tick, std::array<bool, 16>& bankSeen,
               SongEvent& e) {
  tick = std::min<uint64_t>(tick + in.Vlq(), kMaxTick);
  e = SongEvent{};
  e.tick = static_cast<uint32_t>(tick);
  e.duration = in.Vlq();
  e.kind = in.U8();
  switch (e.kind) {
  case kKindChannel: {
    uint8_t status = in.U8();
    if (!midi::IsChannelStatus(status))
      return false; // no channel message: the writer never stores one
    uint8_t d1 = in.U8();
    uint8_t d2 = midi::ChannelDataBytes(status) == 2 ? in.U8() : 0;
    e.data = midi::PackShort(status, d1, d2);
    uint8_t channel = midi::ChannelOf(status);
    if (midi::TypeOf(status) == midi::kControlChange && d1 == midi::kBankSelect &&
        !bankSeen[channel]) {
      song.initialBank[channel] = d2;
      bankSeen[channel] = true;
    }
    break;
  }
  case kKindTimeSignature:
    e.data = in.U32();
    break;
  case kKindTempo: {
    Span b = in.Bytes(3);
    if (!b.empty())
      e.data = b[0] | b[1] << 8 | uint32_t{b[2]} << 16;
    break;
  }
  case kKindKeySignature:
    e.data = in.U16();
    break;
  case kKindWave:
    e.data = in.U32();
    e.length = in.U16();
    break;
  case kKindSysEx:
  case kKindSeqSpecific:
  case kKindOtherMeta: {
    Span bytes = in.Bytes(in.U16());
    StorePool(song, e, bytes, false);
    break;
  }
  case kKindSyllable:
  case kKindLineBreak:
  case kKindNextLine:
    e.data = in.U32();
    break;
  case kKindSinger:
    e.data = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(in.U8())));
    break;
  default:
    if (e.kind != kKindImage && !IsTextKind(e.kind))
      return false; // a kind the section cannot hold
    {
      Span text = in.Bytes(in.U16());
      // The stored count includes the zero, so the text keeps one byte less
      // than the largest count.
      StorePool(song, e, text.first(std::min(text.size(), kPoolItemLimit - 1)), true);
    }
    break;
  }
  return !in.Failed();
}

// The event data of "CEVENT": the per-track counts, then a block per track.
bool ReadEventData(CSongData& song, Span data, int trackCount) {
  Cursor in(data);
  std::vector<uint32_t> counts(static_cast<size_t>(trackCount));
  for (auto& c : counts)
    c = in.U32();
  if (in.Failed())
    return false;
  // An event takes at least three bytes, so the counts together are bounded
  // by the data.
  uint64_t total = 0;
  for (uint32_t c : counts)
    total += c;
  if (total > data.size() / 3)
    return false;
  song.tracks.resize(static_cast<size_t>(trackCount));
  for (int t = 0; t < trackCount; ++t)
    song.tracks[t].eventCapacity = static_cast<int32_t>(counts[t]);
  if (!song.AllocateEventMemory(1024))
    return false;
  std::array<bool, 16> bankSeen{};
  const bool hasLyrics = song.lyricTrack > 0;
  for (int t = 0; t < trackCount; ++t) {
    Span block = in.Bytes(in.U32());
    if (in.Failed())
      return false;
    Track& track = song.tracks[t];
    Cursor events(block);
    uint64_t tick = 0;
    LineState lines;
    while (!events.AtEnd()) {
      SongEvent e;
      if (!ReadEvent(song, events, tick, bankSeen, e))
        return false;
      if (hasLyrics && t == song.lyricTrack)
        TrackLine(track, e, lines);
      track.events.push_back(e);
    }
    if (hasLyrics && t == song.lyricTrack)
      track.lineCount = static_cast<int16_t>(lines.k);
    // A file from elsewhere may hold events of one tick in another order.
    if (!std::is_sorted(track.events.begin(), track.events.end(), SortsBefore))
      std::stable_sort(track.events.begin(), track.events.end(), SortsBefore);
  }
  return true;
}

bool ReadEventSection(CSongData& song, Span body) {
  Cursor in(body);
  in.U32();
  uint16_t fieldsSize = in.U16();
  uint16_t ticksPerQuarter = in.U16();
  uint16_t trackCount = in.U16();
  uint16_t melody = in.U16();
  int16_t lyric = static_cast<int16_t>(in.U16());
  uint32_t unpackedSize = in.U32();
  uint32_t storedSize = in.U32();
  if (in.Failed() || fieldsSize < sf::kEventFieldsSize || ticksPerQuarter == 0 ||
      trackCount > kMaxTracks)
    return false;
  if (trackCount == 0 ? (melody != 0 || lyric != 0)
                      : (melody >= trackCount || lyric < 0 || lyric >= trackCount))
    return false;
  Span ports = in.Bytes(fieldsSize - sf::kEventFieldsSize);
  Span stored = in.Bytes(storedSize);
  if (in.Failed())
    return false;
  song.ticksPerQuarter = ticksPerQuarter;
  song.melodyTrack = melody;
  song.lyricTrack = lyric;

  std::vector<uint8_t> unpacked;
  Span data;
  if (song.packed) {
    auto bytes = UnpackScrambled(stored, unpackedSize, sf::kEventKey);
    if (!bytes)
      return false;
    unpacked = std::move(*bytes);
    data = unpacked;
  } else {
    if (unpackedSize > stored.size())
      return false;
    data = stored.first(unpackedSize);
  }
  if (!ReadEventData(song, data, trackCount))
    return false;
  Cursor portReader(ports);
  for (int t = 0; t < trackCount && portReader.Remaining() >= 2; ++t)
    song.tracks[t].port = portReader.U16();
  return true;
}

bool ReadLyricSection(CSongData& song, Span body) {
  Cursor in(body);
  in.U32();
  in.U32();
  for (auto& track : song.tracks) {
    if (in.AtEnd() || in.Failed())
      break;
    Span text = in.Bytes(in.U32());
    track.text.assign(AsText(text));
  }
  return !in.Failed();
}

// Times, summaries and end times once every track's events are in place.
void FinishTracks(CSongData& song) {
  song.BuildTempoMaps(true);
  for (int16_t t = 0; t < song.TrackCount(); ++t) {
    song.ComputeEventTimes(t);
    song.ComputeSummary(t);
    song.UpdateTrack(t);
  }
  song.UpdateSongEnd();
}

int ReadV350Unguarded(CSongData& song, Span file, const std::string& path) {
  if (!HasMagic(file, sf::kMagicV350))
    return 0;
  song.Reset();
  auto fail = [&] {
    song.Reset();
    return 0;
  };
  Cursor in(file);
  in.Bytes(sf::kHeaderSize);
  Span info, keyword;
  if (in.Failed() || !ReadHeadChunks(in, info, keyword))
    return fail();
  ReadInfoTexts(song, info);
  if (auto value = FieldU16(info, sf::kInfoValue))
    song.infoValue = *value;
  if (sf::kInfoPacked < info.size())
    song.packed = info[sf::kInfoPacked] ? 1 : 0;
  ReadKeyword(song, keyword);

  // Named sections follow the two unnamed chunks; a title or keyword that
  // begins like a section name is not taken for one.
  const size_t sections = in.Position();
  if (!ChainIntact(file, sections))
    return fail();
  auto events = FindSection(file, sections, sf::kSectionEvents);
  if (!events || !ReadEventSection(song, *events))
    return fail();
  FinishTracks(song);
  if (auto lyrics = FindSection(file, sections, sf::kSectionLyrics))
    if (!ReadLyricSection(song, *lyrics))
      return fail();
  if (auto bank = FindSection(file, sections, sf::kSectionBank))
    if (!ReadBankSection(song, *bank))
      return fail();
  if (auto waves = FindSection(file, sections, sf::kSectionWaves))
    if (!ReadWaveSection(song, *waves))
      return fail();

  song.path = path;
  song.loaded = 1;
  song.preparedForPlay = 0;
  song.saveKind = static_cast<int16_t>(song.packed ? kSaveV350PackedFirst : kSaveV350First);
  song.unchanged = 1;
  song.lyricsPresent = song.lyricTrack > 0 ? 1 : 0;
  return 1;
}

int ReadV300Unguarded(CSongData& song, Span file, const std::string& path) {
  if (!HasMagic(file, sf::kMagicV300))
    return 0;
  song.Reset();
  auto fail = [&] {
    song.Reset();
    return 0;
  };
  Cursor in(file);
  in.Bytes(sf::kHeaderSize);
  Span info, keyword;
  if (in.Failed() || !ReadHeadChunks(in, info, keyword))
    return fail();
  Span records = in.Bytes(in.U32());
  Span text = in.Bytes(in.U32());
  Span midiPart = in.Bytes(in.U32());
  if (in.Failed() || records.size() < 4 || midiPart.size() < 5)
    return fail();
  const size_t sections = in.Position();
  if (!ChainIntact(file, sections))
    return fail();

  // The MIDI part first: reading it starts the song afresh.
  uint32_t midiSize =
      midiPart[1] | midiPart[2] << 8 | midiPart[3] << 16 | uint32_t{midiPart[4]} << 24;
  if (midiSize > kMaxMidiFileSize)
    return fail();
  auto midi = UnpackScrambled(midiPart.subspan(5), midiSize, sf::kV300Key);
  if (!midi || !ReadSongMidiPartBytes(song, *midi, path))
    return fail();

  ReadInfoTexts(song, info);
  song.infoValue = kDefaultInfoValue;
  song.packed = 1;
  ReadKeyword(song, keyword);
  uint16_t melody = FieldU16(info, sf::kInfoMelodyTrack).value_or(0);

  uint32_t recordBytes =
      records[0] | records[1] << 8 | records[2] << 16 | uint32_t{records[3]} << 24;
  // The information chunk counts the records in 16 bits.
  if (recordBytes % sf::kLyricRecordSize != 0 ||
      recordBytes / sf::kLyricRecordSize > sf::kMaxLyricRecords)
    return fail();
  auto recordData = UnpackScrambled(records.subspan(4), recordBytes, sf::kV300Key);
  if (!recordData)
    return fail();

  // The lyric track comes after the tracks of the MIDI part, never at index
  // 0, which means "no lyric track".
  if (song.tracks.empty())
    song.tracks.emplace_back();
  if (song.TrackCount() >= kMaxTracks || melody >= song.TrackCount())
    return fail();
  song.tracks.emplace_back();
  const int16_t lyric = static_cast<int16_t>(song.TrackCount() - 1);
  Track& track = song.tracks[lyric];
  track.eventCapacity = static_cast<int32_t>(recordBytes / sf::kLyricRecordSize);
  track.events.reserve(recordBytes / sf::kLyricRecordSize);
  Cursor r(*recordData);
  while (!r.AtEnd()) {
    SongEvent e;
    e.tick = std::min(r.U32(), kMaxTick);
    e.data = r.U32();
    e.duration = r.U16();
    e.kind = r.U8();
    if (r.Failed() || e.kind < kKindSyllable || e.kind > kKindImage)
      return fail();
    if (e.kind == kKindImage) {
      e.data = 0;
      e.duration = 0;
    } else if (e.kind != kKindSyllable) {
      e.duration = 0;
    }
    track.events.push_back(e);
  }
  track.text.assign(AsText(text));
  std::stable_sort(track.events.begin(), track.events.end(), SortsBefore);
  song.lyricTrack = lyric;
  song.melodyTrack = melody;
  song.RebuildLyricLines(lyric);
  song.ComputeEventTimes(lyric);
  song.ComputeSummary(lyric);
  song.UpdateTrack(lyric);

  song.bankSlots.fill(BankSlot{});
  song.bankSlotCount = 0;
  if (auto bank = FindSection(file, sections, sf::kSectionBank))
    if (!ReadBankSection(song, *bank))
      return fail();

  song.path = path;
  song.loaded = 1;
  song.preparedForPlay = 0;
  song.lyricsPresent = 1;
  song.unchanged = 1;
  song.saveKind = static_cast<int16_t>(kSaveV300First);
  return 1;
}

template <typename F> int Guarded(CSongData& song, F read) {
  try {
    const int result = read();
    // A song that brings its own banks has them loaded once it is read.
    if (result && song.bankSlotCount > 0 && song.bankHooks)
      song.bankHooks->BanksRead(song);
    return result;
  } catch (const std::bad_alloc&) {
    song.Reset();
    return 0;
  } catch (const std::length_error&) {
    song.Reset();
    return 0;
  }
}

// Writing.

// A field of exactly size bytes: the text cut to size, zero-padded; a text
// that fills the field has no terminating zero.
void WriteField(sys::ByteWriter& w, std::string_view text, size_t size) {
  size_t n = std::min(text.size(), size);
  w.Bytes(text.data(), n);
  for (size_t i = n; i < size; ++i)
    w.U8(0);
}

void WriteInfoTexts(sys::ByteWriter& w, const CSongData& song) {
  WriteField(w, song.title, sf::kTitleFieldSize);
  for (const std::string* s : {&song.lyricist, &song.duzuvevi, &song.singer, &song.arranger,
                               &song.lyricSync, &song.description})
    WriteField(w, *s, sf::kTextFieldSize);
}

void WriteHeader(sys::ByteWriter& w, std::string_view magic) {
  w.Bytes(magic.data(), magic.size());
  w.U8(sf::kHeaderEnd);
}

void WriteNamedSection(sys::ByteWriter& w, std::string_view name, Span body) {
  w.U32LE(static_cast<uint32_t>(sf::kSectionNameSize + body.size()));
  w.Bytes(name.data(), sf::kSectionNameSize);
  w.Bytes(body);
}

// Kinds the event section stores; the rest are never part of a song.
bool Storable(const SongEvent& e) {
  if (e.kind == kKindChannel)
    return midi::IsChannelStatus(e.Status());
  return (e.kind >= kKindTimeSignature && e.kind <= kKindKeySignature) ||
         (e.kind >= kKindWave && e.kind <= kKindSinger) || IsTextKind(e.kind);
}

void WriteEvent(sys::ByteWriter& w, const CSongData& song, const SongEvent& e) {
  w.U8(e.kind);
  const uint32_t d = e.data;
  switch (e.kind) {
  case kKindChannel: {
    w.U8(e.Status());
    w.U8(e.Data1());
    if (midi::ChannelDataBytes(e.Status()) == 2)
      w.U8(e.Data2());
    break;
  }
  case kKindTimeSignature:
    w.U32LE(d);
    break;
  case kKindTempo:
    w.U8(static_cast<uint8_t>(d));
    w.U8(static_cast<uint8_t>(d >> 8));
    w.U8(static_cast<uint8_t>(d >> 16));
    break;
  case kKindKeySignature:
    w.U16LE(static_cast<uint16_t>(d));
    break;
  case kKindWave:
    w.U32LE(d);
    w.U16LE(e.length);
    break;
  case kKindSysEx:
  case kKindSeqSpecific:
  case kKindOtherMeta: {
    std::string_view bytes = song.PoolBytes(e);
    w.U16LE(static_cast<uint16_t>(bytes.size()));
    w.Bytes(bytes.data(), bytes.size());
    break;
  }
  case kKindSyllable:
  case kKindLineBreak:
  case kKindNextLine:
    w.U32LE(d);
    break;
  case kKindSinger:
    w.U8(static_cast<uint8_t>(d));
    break;
  default: { // image and text events
    std::string_view text = song.PoolText(e);
    text = text.substr(0, kPoolItemLimit - 1);
    w.U16LE(static_cast<uint16_t>(text.size()));
    w.Bytes(text.data(), text.size());
    break;
  }
  }
}

std::vector<uint8_t> EncodeEventData(const CSongData& song) {
  sys::ByteWriter w;
  for (const auto& t : song.tracks)
    w.U32LE(static_cast<uint32_t>(std::count_if(t.events.begin(), t.events.end(), Storable)));
  for (const auto& t : song.tracks) {
    size_t lengthAt = w.Size();
    w.U32LE(0);
    // Deltas from the position written so far, so that one event out of
    // order never moves the events after it.
    uint64_t position = 0;
    for (const auto& e : t.events) {
      if (!Storable(e))
        continue;
      uint64_t delta = e.tick > position ? e.tick - position : 0;
      delta = std::min<uint64_t>(delta, 0x0FFFFFFF);
      position += delta;
      w.Vlq(static_cast<uint32_t>(delta));
      w.Vlq(std::min<uint32_t>(e.duration, 0x0FFFFFFF));
      WriteEvent(w, song, e);
    }
    w.PatchU32LE(lengthAt, static_cast<uint32_t>(w.Size() - lengthAt - 4));
  }
  return w.Take();
}

} // namespace

std::string BankSlotFile(const BankSlot& slot, const std::string& songPath) {
  if (!(slot.flags & kBankSlotOwnFile))
    return {};
  if (!(slot.flags & kBankSlotNameOnly))
    return sys::ResolveStoredPath(slot.path).value_or(slot.path);
  std::string_view name = slot.path;
  const size_t sep = name.find_last_of("\\/");
  if (sep != std::string_view::npos)
    name.remove_prefix(sep + 1);
  if (name.empty() || songPath.empty())
    return {};
  const size_t slash = songPath.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : songPath.substr(0, slash == 0 ? 1 : slash);
  const auto found = sys::FindInFolder(folder, name);
  return found ? folder + "/" + *found : std::string();
}

std::optional<std::vector<uint8_t>> BankSlotBytes(const BankSlot& slot,
                                                  const std::string& songPath) {
  if (!(slot.flags & kBankSlotUsed))
    return std::nullopt;
  if (!(slot.flags & kBankSlotOwnFile))
    return slot.data;
  const std::string file = BankSlotFile(slot, songPath);
  if (file.empty())
    return std::nullopt;
  FileBytes bytes = ReadSongFileBytes(file);
  if (!bytes.usable)
    return std::nullopt;
  return std::move(bytes.data);
}

namespace {

// The bytes of a bank slot that the song file holds itself; nullopt when the
// slot's own file cannot be read.
std::optional<std::vector<uint8_t>> BankContent(const BankSlot& slot) {
  if (!(slot.flags & kBankSlotOwnFile))
    return slot.data;
  FileBytes file = ReadSongFileBytes(slot.path);
  if (!file.usable)
    return std::nullopt;
  return std::move(file.data);
}

// "SFBANK", when the song has user-bank slots; false when a slot's file
// cannot be read.
bool WriteBankSection(sys::ByteWriter& w, const CSongData& song) {
  sys::ByteWriter body;
  body.U8(0);
  size_t countAt = body.Size();
  body.U8(0);
  body.U8(song.bankNumber);
  body.U32LE(0);
  uint8_t count = 0;
  for (int slot = 1; slot < kBankSlots; ++slot) {
    const BankSlot& s = song.bankSlots[slot];
    if (!(s.flags & kBankSlotUsed))
      continue;
    std::vector<uint8_t> payload;
    uint8_t type = sf::kBankEntryContent;
    if (s.flags & kBankSlotNameOnly) {
      type = sf::kBankEntryName;
      std::string_view name = s.path;
      size_t sep = name.find_last_of("\\/");
      if (sep != std::string_view::npos)
        name.remove_prefix(sep + 1);
      payload.assign(name.begin(), name.end());
    } else {
      auto content = BankContent(s);
      if (!content)
        return false;
      payload = std::move(*content);
    }
    body.U32LE(static_cast<uint32_t>(payload.size()));
    body.U8(type);
    body.U32LE(0);
    body.U8(static_cast<uint8_t>(slot));
    body.Bytes(payload);
    ++count;
  }
  if (count == 0)
    return true;
  std::vector<uint8_t> bytes = body.Take();
  bytes[countAt] = count;
  WriteNamedSection(w, sf::kSectionBank, bytes);
  return true;
}

void WriteWaveSection(sys::ByteWriter& w, const CSongData& song) {
  sys::ByteWriter body;
  uint16_t count = 0;
  body.U16LE(0);
  body.U32LE(0);
  for (size_t slot = 0; slot < song.waves.size() && slot < kWaveSlots; ++slot) {
    const WaveSlot& wave = song.waves[slot];
    if (wave.pcm.empty())
      continue;
    body.U8(0);
    body.U16LE(static_cast<uint16_t>(slot));
    WriteField(body, wave.name, sf::kWaveNameSize);
    body.U8(static_cast<uint8_t>((wave.format >> 24) & 0x0F));
    body.U8(static_cast<uint8_t>((wave.format >> 25) & 0x78));
    body.U32LE(wave.format & 0xFFFFFF);
    body.U32LE(0);
    body.U32LE(0);
    body.U32LE(static_cast<uint32_t>(wave.pcm.size()));
    body.Bytes(wave.pcm);
    ++count;
  }
  if (count == 0)
    return;
  std::vector<uint8_t> bytes = body.Take();
  bytes[0] = static_cast<uint8_t>(count);
  bytes[1] = static_cast<uint8_t>(count >> 8);
  WriteNamedSection(w, sf::kSectionWaves, bytes);
}

std::optional<std::vector<uint8_t>> Finished(sys::ByteWriter& w) {
  if (w.Size() > INT32_MAX)
    return std::nullopt;
  return w.Take();
}

std::optional<std::vector<uint8_t>> EncodeV350(const CSongData& song) {
  sys::ByteWriter w;
  WriteHeader(w, sf::kMagicV350);
  w.U32LE(sf::kInfoSizeV350);
  WriteInfoTexts(w, song);
  w.U32LE(0);
  w.U16LE(0);
  w.U16LE(0);
  w.U16LE(song.infoWord);
  w.U32LE(0);
  w.Bytes(song.imageNumbers.data(), song.imageNumbers.size());
  w.U16LE(song.infoValue);
  w.U8(song.packed ? 1 : 0);
  const std::string keyword = song.keyword.value_or(std::string());
  w.U32LE(static_cast<uint32_t>(keyword.size()));
  w.Bytes(keyword.data(), keyword.size());

  std::vector<uint8_t> data = EncodeEventData(song);
  const uint32_t unpackedSize = static_cast<uint32_t>(data.size());
  if (song.packed)
    data = PackScrambled(data, sf::kEventKey);
  const auto tracks = static_cast<uint16_t>(song.TrackCount());
  sys::ByteWriter events;
  events.U32LE(0);
  events.U16LE(static_cast<uint16_t>(sf::kEventFieldsSize + 2 * tracks));
  events.U16LE(song.ticksPerQuarter);
  events.U16LE(tracks);
  // Indexes that name no track are written as 0, which every song has.
  events.U16LE(song.HasTrack(song.melodyTrack) ? song.melodyTrack : 0);
  events.I16LE(song.HasTrack(song.lyricTrack) ? song.lyricTrack : 0);
  events.U32LE(unpackedSize);
  events.U32LE(static_cast<uint32_t>(data.size()));
  for (const auto& t : song.tracks)
    events.U16LE(t.port);
  events.Bytes(data);
  WriteNamedSection(w, sf::kSectionEvents, events.Data());

  sys::ByteWriter lyrics;
  lyrics.U32LE(0);
  lyrics.U32LE(0);
  for (const auto& t : song.tracks) {
    lyrics.U32LE(static_cast<uint32_t>(t.text.size()));
    lyrics.Bytes(t.text.data(), t.text.size());
  }
  WriteNamedSection(w, sf::kSectionLyrics, lyrics.Data());

  if (!WriteBankSection(w, song))
    return std::nullopt;
  WriteWaveSection(w, song);
  return Finished(w);
}

std::optional<std::vector<uint8_t>> EncodeV300(const CSongData& song) {
  const int16_t lyric =
      song.lyricTrack > 0 && song.HasTrack(song.lyricTrack) ? song.lyricTrack : int16_t{-1};
  sys::ByteWriter records;
  uint32_t recordCount = 0;
  if (lyric >= 0) {
    for (const auto& e : song.tracks[lyric].events) {
      if (e.kind < kKindSyllable || e.kind > kKindImage)
        continue;
      if (recordCount == sf::kMaxLyricRecords)
        return std::nullopt; // more than the version can count
      bool image = e.kind == kKindImage;
      records.U32LE(e.tick);
      records.U32LE(image ? 0 : e.data);
      records.U16LE(e.kind == kKindSyllable ? static_cast<uint16_t>(std::min<uint32_t>(
                                                  e.duration, sf::kLyricRecordMaxDuration))
                                            : 0);
      records.U8(e.kind);
      ++recordCount;
    }
  }
  const std::string& text = lyric >= 0 ? song.tracks[lyric].text : std::string();
  // The reader adds the lyric track after the tracks of the MIDI part, so
  // they leave room for it.
  const int kept = song.TrackCount() - (lyric >= 0 ? 1 : 0);
  if (kept >= kMaxTracks)
    return std::nullopt;
  auto midi = EncodeMidiTracksExcept(song, lyric);
  if (!midi)
    return std::nullopt;
  // The melody track's index among the tracks the MIDI part keeps.
  uint16_t melody = song.melodyTrack;
  if (!song.HasTrack(melody) || (lyric >= 0 && melody == lyric))
    melody = 0;
  else if (lyric >= 0 && melody > lyric)
    --melody;

  sys::ByteWriter w;
  WriteHeader(w, sf::kMagicV300);
  w.U32LE(sf::kInfoSizeV300);
  WriteInfoTexts(w, song);
  w.U16LE(static_cast<uint16_t>(recordCount));
  w.U16LE(static_cast<uint16_t>(std::min<size_t>(text.size(), 0xFFFF)));
  w.U16LE(static_cast<uint16_t>(sf::kLyricRecordSize));
  w.U16LE(melody);
  w.U16LE(song.infoWord);
  w.U32LE(0);
  w.Bytes(song.imageNumbers.data(), song.imageNumbers.size());
  if (song.keyword && !song.keyword->empty()) {
    w.U32LE(static_cast<uint32_t>(song.keyword->size()));
    w.Bytes(song.keyword->data(), song.keyword->size());
  } else {
    w.U32LE(1);
    w.U8(0);
  }
  std::vector<uint8_t> packedRecords = PackScrambled(records.Data(), sf::kV300Key);
  w.U32LE(static_cast<uint32_t>(packedRecords.size() + 4));
  w.U32LE(static_cast<uint32_t>(records.Size()));
  w.Bytes(packedRecords);
  w.U32LE(static_cast<uint32_t>(text.size()));
  w.Bytes(text.data(), text.size());
  std::vector<uint8_t> packedMidi = PackScrambled(*midi, sf::kV300Key);
  w.U32LE(static_cast<uint32_t>(packedMidi.size() + 5));
  w.U8(0);
  w.U32LE(static_cast<uint32_t>(midi->size()));
  w.Bytes(packedMidi);
  if (!WriteBankSection(w, song))
    return std::nullopt;
  return Finished(w);
}

template <typename F> std::optional<std::vector<uint8_t>> GuardedEncode(F encode) {
  try {
    return encode();
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
}

int32_t WriteBytes(const std::optional<std::vector<uint8_t>>& bytes, const std::string& path) {
  if (!bytes || path.empty())
    return 0;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f)
    return 0;
  bool ok = std::fwrite(bytes->data(), 1, bytes->size(), f) == bytes->size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) {
    std::remove(path.c_str());
    return 0;
  }
  return static_cast<int32_t>(bytes->size());
}

} // namespace

void ScrambleSongBytes(std::span<uint8_t> data, std::span<const uint8_t> key) {
  if (key.empty())
    return;
  for (size_t i = 0; i < data.size(); ++i)
    data[i] ^= key[i % key.size()];
}

int ReadVexoDataBytes(CSongData& song, std::span<const uint8_t> bytes, const std::string& path) {
  if (HasMagic(bytes, sf::kMagicV300))
    return Guarded(song, [&] { return ReadV300Unguarded(song, bytes, path); });
  if (HasMagic(bytes, sf::kMagicV350))
    return Guarded(song, [&] { return ReadV350Unguarded(song, bytes, path); });
  song.Reset();
  ShowMessage(kMsgNotSongFile);
  return 0;
}

int TestVexoDataHeader(CSongData& song, const std::string& path) {
  FileBytes file = ReadSongFileBytes(path);
  if (!file.opened)
    return 0;
  if (!file.usable &&
      (HasMagic(file.data, sf::kMagicV300) || HasMagic(file.data, sf::kMagicV350))) {
    song.Reset(); // a song file too large or unreadable to hold a song
    return 0;
  }
  if (!file.usable)
    file.data.clear();
  return ReadVexoDataBytes(song, file.data, path);
}

int ReadVexoDataFile(CSongData& song, const std::string& path) {
  FileBytes file = ReadSongFileBytes(path);
  if (!file.opened || !HasMagic(file.data, sf::kMagicV350))
    return 0;
  if (!file.usable) {
    song.Reset();
    return 0;
  }
  return Guarded(song, [&] { return ReadV350Unguarded(song, file.data, path); });
}

int ReadVexoDataV300File(CSongData& song, const std::string& path) {
  FileBytes file = ReadSongFileBytes(path);
  if (!file.opened || !HasMagic(file.data, sf::kMagicV300))
    return 0;
  if (!file.usable) {
    song.Reset();
    return 0;
  }
  return Guarded(song, [&] { return ReadV300Unguarded(song, file.data, path); });
}

std::optional<std::vector<uint8_t>> EncodeVexoDataFile(const CSongData& song) {
  if (!song.loaded)
    return std::nullopt;
  return GuardedEncode([&] { return EncodeV350(song); });
}

std::optional<std::vector<uint8_t>> EncodeVexoDataV300File(const CSongData& song) {
  if (!song.loaded)
    return std::nullopt;
  return GuardedEncode([&] { return EncodeV300(song); });
}

int32_t WriteVexoDataFile(const CSongData& song, const std::string& path) {
  return WriteBytes(EncodeVexoDataFile(song), path);
}

int32_t WriteVexoDataV300File(const CSongData& song, const std::string& path) {
  return WriteBytes(EncodeVexoDataV300File(song), path);
}

} // namespace core

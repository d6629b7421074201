#include "core/songdata.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <new>
#include <sys/stat.h>

#include "core/messages.h"
#include "core/midifile.h"
#include "core/songfile.h"
#include "platform/sys/ascii.h"
#include "platform/sys/midi_message.h"

namespace core {

namespace midi = sys::midi;

namespace {

int32_t ClampToI32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Line breaks first, then next-line events, then everything else.
int OrderPriority(uint8_t kind) {
  if (kind == kKindLineBreak)
    return 0;
  if (kind == kKindNextLine)
    return 1;
  return 2;
}

bool FileExists(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0;
}

} // namespace

bool SortsBefore(const SongEvent& a, const SongEvent& b) {
  if (a.tick != b.tick)
    return a.tick < b.tick;
  return OrderPriority(a.kind) < OrderPriority(b.kind);
}

int GetSongFileKind(std::string_view file) {
  size_t dot = file.rfind('.');
  if (file.empty() || dot == std::string_view::npos)
    return kFileByExtension;
  std::string ext = sys::AsciiLowered(file.substr(dot + 1));
  if (ext == "vx3")
    return kFileVx3;
  if (ext == "sb3")
    return kFileSb3;
  if (ext == "sw3")
    return kFileSw3;
  if (ext == "mid")
    return kFileMidi;
  if (ext == "kar")
    return kFileKaraoke;
  return kFileByExtension;
}

CSongData::CSongData() {
  waves.resize(kWaveSlots);
  ResetTimingLists();
}

const SongEvent* CSongData::Event(int track, int32_t index) const {
  if (!HasTrack(track) || index < 0 || index >= tracks[track].EventCount())
    return nullptr;
  return &tracks[track].events[index];
}

void CSongData::ResetTimingLists() {
  tempoMap.assign(1, TempoEntry{});
  timeSignatures.assign(1, SignatureEntry{0, 4u | 2u << 8 | 24u << 16 | 8u << 24});
  keySignatures.assign(1, SignatureEntry{0, 0});
}

void CSongData::MarkEdited() {
  preparedForPlay = 0;
  unchanged = 0;
  if (editNotice)
    editNotice();
}

void CSongData::Reset() {
  if (bankHooks)
    bankHooks->SongReset();
  path.clear();
  saveKind = 0;
  loaded = 0;
  preparedForPlay = 0;
  unchanged = 1;
  lyricsPresent = 0;
  title.clear();
  lyricist.clear();
  duzuvevi.clear();
  singer.clear();
  arranger.clear();
  lyricSync.clear();
  description.clear();
  keyword.reset();
  infoWord = 0;
  imageNumbers.fill(0);
  infoValue = kDefaultInfoValue;
  packed = 0;
  midiFormat = 1;
  melodyTrack = 0;
  lyricTrack = 0;
  ResetTimingLists();
  endTick = 0;
  endMs = 0;
  initialBank.fill(0);
  tracks.clear();
  tracks.shrink_to_fit();
  dataPool.clear();
  dataPool.shrink_to_fit();
  waves.assign(kWaveSlots, WaveSlot{});
  bankSlots.fill(BankSlot{});
  bankSlotCount = 0;
  bankNumber = 0;
}

void CSongData::FreeAll() {
  Reset();
}

int CSongData::LoadByKind(const std::string& file, int kind) {
  int result = 0;
  switch (kind) {
  case kFileMidi:
    result = ReadMidiOrKaraokeFile(*this, file); // a karaoke file by what it holds
    break;
  case kFileKaraoke:
    result = ReadKaraokeFile(*this, file);
    break;
  case kFileByExtension:
    return LoadByExtension(file);
  case kFileVx3:
  case kFileSb3:
  case kFileSw3:
    result = TestVexoDataHeader(*this, file);
    break;
  default:
    return 0;
  }
  SetLyricShift(lyricShiftDenominator);
  return result;
}

int CSongData::LoadByExtension(const std::string& file) {
  int kind = GetSongFileKind(file);
  if (kind == kFileByExtension)
    return 0;
  return LoadByKind(file, kind);
}

int CSongData::SaveByKind(const std::string& file, int kind) {
  const bool v300 = kind >= kSaveV300First && kind <= kSaveV300Last;
  const bool v350 = kind >= kSaveV350First && kind <= kSaveV350Last;
  const bool v350Packed = kind >= kSaveV350PackedFirst && kind <= kSaveV350PackedLast;
  if (kind != kSaveMidi && kind != kSaveKaraoke && !v300 && !v350 && !v350Packed)
    return 0;
  if (file != path && FileExists(file) && !AskYesNo(kMsgOverwriteFile))
    return 0;
  if (kind == kSaveMidi && lyricsPresent && !AskYesNo(kMsgMidiDropsLyrics))
    return 0;
  if (kind == kSaveKaraoke && lyricsPresent && !AskYesNo(kMsgKaraokeKeepsLyrics))
    return 0;
  if (kind == kSaveV300First && !AskYesNo(kMsgOlderVersion))
    return 0;
  if (v350 && packed) {
    ShowMessage(kMsgPackedSong); // a packed song is never written unpacked
    return 0;
  }
  const uint8_t wasPacked = packed;
  if (v350Packed)
    packed = 1;
  int32_t result = 0;
  if (kind == kSaveMidi)
    result = WriteMidiFile(*this, file);
  else if (kind == kSaveKaraoke)
    result = WriteKaraokeMidiFile(*this, file);
  else if (v300)
    result = WriteVexoDataV300File(*this, file);
  else
    result = WriteVexoDataFile(*this, file);
  // Only a save that wrote the file counts: otherwise the song keeps what it
  // was, and the editor still asks to save it.
  if (result <= 0) {
    packed = wasPacked;
    return 0;
  }
  path = file;
  saveKind = static_cast<int16_t>(kind);
  unchanged = 1;
  return result;
}

int CSongData::AllocateEventMemory(int32_t poolSize) {
  try {
    for (auto& t : tracks)
      t.events.reserve(static_cast<size_t>(std::max(t.eventCapacity, 0)));
    dataPool.reserve(static_cast<size_t>(std::max(poolSize, 0)));
  } catch (const std::bad_alloc&) {
    ShowMessage(kMsgAllocationFailed);
    return 0;
  }
  return 1;
}

void CSongData::BuildTempoMaps(bool allTracks) {
  struct Tempo {
    int32_t tick;
    int32_t us;
  };
  std::vector<Tempo> tempos;
  std::vector<SignatureEntry> times, keys;
  int last = allTracks ? TrackCount() : std::min<int>(1, TrackCount());
  for (int t = 0; t < last; ++t) {
    for (const auto& e : tracks[t].events) {
      int32_t tick = ClampToI32(e.tick);
      if (e.kind == kKindTempo && (e.data & 0xFFFFFF) != 0)
        tempos.push_back({tick, static_cast<int32_t>(e.data & 0xFFFFFF)});
      else if (e.kind == kKindTimeSignature)
        times.push_back({tick, e.data});
      else if (e.kind == kKindKeySignature)
        keys.push_back({tick, e.data});
    }
  }
  auto byTick = [](const auto& a, const auto& b) { return a.tick < b.tick; };
  std::stable_sort(tempos.begin(), tempos.end(), byTick);
  std::stable_sort(times.begin(), times.end(), byTick);
  std::stable_sort(keys.begin(), keys.end(), byTick);

  ResetTimingLists();
  if (!tempos.empty()) {
    tempoMap.clear();
    // A tempo that repeats the one before it in time order adds nothing.
    for (const auto& t : tempos) {
      if (tempoMap.empty() || tempoMap.back().usPerQuarter != t.us)
        tempoMap.push_back(TempoEntry{t.tick, t.us, 0, 0});
    }
  }
  if (!times.empty())
    timeSignatures.assign(times.begin(), times.begin() + std::min(times.size(), kMaxSignatures));
  if (!keys.empty())
    keySignatures.assign(keys.begin(), keys.begin() + std::min(keys.size(), kMaxSignatures));

  int64_t d = int64_t{ticksPerQuarter} * 1000;
  int64_t scaled = int64_t{tempoMap[0].tick} * tempoMap[0].usPerQuarter;
  for (size_t i = 0; i < tempoMap.size(); ++i) {
    if (i > 0)
      scaled += int64_t{tempoMap[i].tick - tempoMap[i - 1].tick} * tempoMap[i - 1].usPerQuarter;
    tempoMap[i].scaledUs = scaled;
    tempoMap[i].ms = d ? ClampToI32(scaled / d) : 0;
  }
}

int32_t CSongData::TickToMs(int32_t tick) const {
  int64_t d = int64_t{ticksPerQuarter} * 1000;
  if (d == 0 || tempoMap.empty())
    return 0;
  const TempoEntry& first = tempoMap.front();
  if (tick <= first.tick)
    return ClampToI32(int64_t{first.usPerQuarter} * tick / d);
  // The last entry before the tick (an entry at the tick itself gives the same
  // time, as the map is continuous).
  auto it = std::lower_bound(tempoMap.begin() + 1, tempoMap.end(), tick,
                             [](const TempoEntry& e, int32_t t) { return e.tick < t; });
  const TempoEntry& e = *(it - 1);
  return ClampToI32((e.scaledUs + int64_t{tick - e.tick} * e.usPerQuarter) / d);
}

int32_t CSongData::MsToTick(int32_t ms) const {
  int64_t d = int64_t{ticksPerQuarter} * 1000;
  if (d == 0 || tempoMap.empty())
    return 0;
  const TempoEntry& first = tempoMap.front();
  if (first.usPerQuarter <= 0)
    return 0;
  if (ms <= first.ms)
    return ClampToI32(d * ms / first.usPerQuarter);
  auto it = std::lower_bound(tempoMap.begin() + 1, tempoMap.end(), ms,
                             [](const TempoEntry& e, int32_t m) { return e.ms < m; });
  const TempoEntry& e = *(it - 1);
  if (e.usPerQuarter <= 0)
    return e.tick;
  return ClampToI32(e.tick + (int64_t{ms} * d - e.scaledUs) / e.usPerQuarter);
}

int32_t CSongData::PlainMeasureLength() const {
  return std::max<int32_t>(1, int32_t{ticksPerQuarter} * 4);
}

// A signature whose measure would be empty (numerator 0, a huge denominator)
// measures like no signature at all.
int32_t CSongData::SignatureLength(const SignatureEntry& e) const {
  int64_t numerator = e.data & 0xFF;
  unsigned power = (e.data >> 8) & 0xFF;
  int64_t len = power > 30 ? 0 : (numerator * ticksPerQuarter * 4) >> power;
  return len > 0 ? static_cast<int32_t>(len) : PlainMeasureLength();
}

int32_t CSongData::MeasureToTick(int32_t measure) const {
  int64_t len = PlainMeasureLength();
  if (timeSignatures.empty())
    return ClampToI32(int64_t{measure} * len);
  int64_t k = 0, p = 0, q = 0;
  for (const auto& e : timeSignatures) {
    k += (e.tick - p) / len;
    if (measure < k)
      break;
    p = e.tick;
    q = k;
    len = SignatureLength(e);
  }
  return ClampToI32(p + (measure - q) * len);
}

int32_t CSongData::TickToMeasure(int32_t tick) const {
  int64_t len = PlainMeasureLength();
  if (timeSignatures.empty())
    return ClampToI32(tick / len);
  int64_t k = 0, p = 0;
  for (const auto& e : timeSignatures) {
    if (tick <= e.tick)
      break;
    k += (e.tick - p) / len;
    p = e.tick;
    len = SignatureLength(e);
  }
  return ClampToI32((tick - p) / len + k);
}

int32_t CSongData::MeasureLenAt(int32_t tick) const {
  if (timeSignatures.empty() || tick < timeSignatures.front().tick)
    return PlainMeasureLength();
  const SignatureEntry* last = &timeSignatures.front();
  for (const auto& e : timeSignatures) {
    if (e.tick > tick)
      break;
    last = &e;
  }
  return SignatureLength(*last);
}

bool CSongData::TickToMeasureBeat(int32_t tick, uint16_t& measure, uint16_t& beat,
                                  uint16_t& tickInBeat) const {
  int32_t m = TickToMeasure(tick);
  // The offset from the measure's own start, so that a meter change that does
  // not fall on a multiple of the new measure length still counts from beat 0.
  int64_t r = std::max<int64_t>(0, int64_t{tick} - MeasureToTick(m));
  int64_t tpq = ticksPerQuarter;
  measure = static_cast<uint16_t>(m);
  beat = static_cast<uint16_t>(tpq ? r / tpq : 0);
  tickInBeat = static_cast<uint16_t>(tpq ? r % tpq : r);
  return true;
}

int32_t CSongData::MeasureBeatToTick(int16_t measure, int16_t beat, int16_t tick) const {
  return ClampToI32(int64_t{MeasureToTick(measure)} + int64_t{beat} * ticksPerQuarter + tick);
}

bool CSongData::GetEventMeasureBeat(int16_t track, int32_t index, uint16_t& measure, uint16_t& beat,
                                    uint16_t& tickInBeat) const {
  const SongEvent* e = Event(track, index);
  if (!e)
    return false;
  return TickToMeasureBeat(ClampToI32(e->tick), measure, beat, tickInBeat);
}

bool CSongData::GetEventHmsMs(int16_t track, int32_t index, uint16_t& hours, uint16_t& minutes,
                              uint16_t& seconds, uint16_t& ms) const {
  const SongEvent* e = Event(track, index);
  if (!e)
    return false;
  uint32_t t = e->ms;
  hours = static_cast<uint16_t>(t / 3600000);
  minutes = static_cast<uint16_t>(t % 3600000 / 60000);
  seconds = static_cast<uint16_t>(t % 60000 / 1000);
  ms = static_cast<uint16_t>(t % 1000);
  return true;
}

int32_t CSongData::GetEventText(int16_t track, int32_t index, std::string& out) const {
  out.clear();
  const SongEvent* e = Event(track, index);
  if (!e || e->kind != kKindSyllable)
    return 0;
  out = SyllableText(track, *e);
  return static_cast<int32_t>(out.size());
}

int32_t CSongData::CopyEventText(const SongEvent& e, std::string& out) const {
  out.clear();
  if (e.kind != kKindSyllable || !HasTrack(lyricTrack))
    return 0;
  out = SyllableText(lyricTrack, e);
  return static_cast<int32_t>(out.size());
}

void CSongData::SetLyricShift(int16_t denominator) {
  if (denominator < 1 && denominator != 0)
    denominator = 1;
  lyricShiftDenominator = denominator;
  lyricShiftTicks = denominator ? static_cast<int16_t>(ticksPerQuarter / denominator) : 0;
}

int32_t CSongData::CountEngineEvents(int16_t track) const {
  if (!HasTrack(track))
    return 0;
  const auto& events = tracks[track].events;
  int64_t n = static_cast<int64_t>(events.size());
  for (const auto& e : events)
    n += e.IsSoundingNoteOn() ? 1 : 0;
  return ClampToI32(n);
}

void CSongData::ComputeEventTimes(int16_t track) {
  if (!HasTrack(track))
    return;
  for (auto& e : tracks[track].events) {
    int32_t tick = ClampToI32(e.tick);
    int32_t ms = TickToMs(tick);
    e.ms = static_cast<uint32_t>(ms);
    int32_t end = ClampToI32(int64_t{e.tick} + e.duration);
    e.durationMs = static_cast<uint32_t>(std::max(0, TickToMs(end) - ms));
  }
}

int CSongData::UpdateTrack(int16_t track) {
  if (!HasTrack(track))
    return 0;
  Track& t = tracks[track];
  int64_t endT = std::max(0, t.endOfTrackTick);
  int64_t endM = TickToMs(t.endOfTrackTick);
  for (const auto& e : t.events) {
    endT = std::max<int64_t>(endT, int64_t{e.tick} + e.duration);
    endM = std::max<int64_t>(endM, int64_t{e.ms} + e.durationMs);
  }
  t.endTick = ClampToI32(endT);
  t.endMs = ClampToI32(endM);
  t.engineEventCount = CountEngineEvents(track);
  UpdateSongEnd();
  return 1;
}

void CSongData::UpdateSongEnd() {
  endTick = 0;
  endMs = 0;
  for (const auto& t : tracks) {
    endTick = std::max(endTick, t.endTick);
    endMs = std::max(endMs, t.endMs);
  }
}

void CSongData::ComputeSummary(int16_t track) {
  if (!HasTrack(track))
    return;
  Track& t = tracks[track];
  TrackSummary s;
  bool haveChannel = false, haveName = false, beforeNote = true;
  for (const auto& e : t.events) {
    bool channelMessage = e.kind == kKindChannel;
    if (channelMessage && !haveChannel) {
      s.channel = e.Status() & 0x0F;
      haveChannel = true;
    }
    if (channelMessage && midi::TypeOf(e.Status()) == midi::kNoteOn)
      beforeNote = false;
    if (!beforeNote) {
      if (haveChannel)
        break;
      continue;
    }
    if (e.kind == kKindTrackName && !haveName) {
      std::string_view name = PoolText(e);
      name = name.substr(0, std::min(name.find('\0'), kTrackNameSize));
      s.name = std::string(name);
      haveName = true;
    } else if (channelMessage) {
      uint8_t type = midi::TypeOf(e.Status());
      if (type == midi::kProgramChange && s.program == 255)
        s.program = e.Data1();
      else if (type == midi::kControlChange && e.Data1() == midi::kVolume && s.volume == 255)
        s.volume = e.Data2();
      else if (type == midi::kControlChange && e.Data1() == midi::kPan && s.pan == 255)
        s.pan = e.Data2();
    }
  }
  t.summary = std::move(s);
}

int32_t CSongData::FindInsertIndex(int16_t track, int32_t tick, uint8_t kind) const {
  if (!HasTrack(track))
    return 0;
  SongEvent probe;
  probe.tick = static_cast<uint32_t>(std::max(tick, 0));
  probe.kind = kind;
  const auto& events = tracks[track].events;
  auto it = std::upper_bound(events.begin(), events.end(), probe, SortsBefore);
  return static_cast<int32_t>(it - events.begin());
}

std::optional<uint32_t> CSongData::AddTrackText(int16_t track, std::string_view text) {
  if (!HasTrack(track))
    return std::nullopt;
  std::string& pool = tracks[track].text;
  if (pool.size() + text.size() > kTextPoolLimit)
    return std::nullopt;
  try {
    uint32_t offset = static_cast<uint32_t>(pool.size());
    pool.append(text);
    return offset;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<uint32_t> CSongData::AddPoolBytes(const void* bytes, size_t count) {
  if (dataPool.size() + count > UINT32_MAX)
    return std::nullopt;
  try {
    uint32_t offset = static_cast<uint32_t>(dataPool.size());
    if (count) {
      const auto* p = static_cast<const uint8_t*>(bytes);
      dataPool.insert(dataPool.end(), p, p + count);
    }
    return offset;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::string_view CSongData::PoolBytes(const SongEvent& e) const {
  if (!IsPoolKind(e.kind) || e.data > dataPool.size() || e.length > dataPool.size() - e.data)
    return {};
  return std::string_view(reinterpret_cast<const char*>(dataPool.data()) + e.data, e.length);
}

std::string_view CSongData::PoolText(const SongEvent& e) const {
  std::string_view bytes = PoolBytes(e);
  if (!bytes.empty() && bytes.back() == '\0')
    bytes.remove_suffix(1);
  return bytes;
}

std::string_view CSongData::SyllableText(int16_t track, const SongEvent& e) const {
  if (!HasTrack(track))
    return {};
  const std::string& pool = tracks[track].text;
  size_t offset = e.data & 0xFFFF;
  size_t len = e.data >> 16;
  if (offset > pool.size())
    return {};
  return std::string_view(pool).substr(offset, len);
}

int CSongData::SortTrack(int16_t track) {
  if (!HasTrack(track))
    return 0;
  auto& events = tracks[track].events;
  std::stable_sort(events.begin(), events.end(), SortsBefore);
  return UpdateTrack(track);
}

int CSongData::RebuildLyricLines(int16_t track) {
  if (!HasTrack(track))
    return 0;
  Track& t = tracks[track];
  std::string pool;
  try {
    pool.reserve(t.text.size());
  } catch (const std::bad_alloc&) {
    return 0;
  }
  constexpr int kMaxLine = kLineTableSize - 1;
  uint32_t p = 0, s = 0, n = 0;
  int k = 0;
  std::vector<std::pair<int32_t, int>> breaks; // event index, line it opens
  std::vector<std::pair<int32_t, int>> nexts;  // event index, line it stands in
  t.lineTable.fill(0);
  for (int32_t i = 0; i < t.EventCount(); ++i) {
    SongEvent& e = t.events[i];
    if (e.kind == kKindSyllable) {
      std::string_view text = SyllableText(track, e);
      // Offsets are 16-bit: a text that would end past them is not kept.
      if (p + text.size() > kTextPoolLimit)
        text = {};
      e.length = static_cast<uint16_t>(k);
      e.data = p | static_cast<uint32_t>(text.size()) << 16;
      pool.append(text);
      p += static_cast<uint32_t>(text.size());
      n += static_cast<uint32_t>(text.size());
    } else if (e.kind == kKindLineBreak) {
      // Past the last line the table can record, a break opens no new line.
      if (k < kMaxLine) {
        t.lineTable[k] = s | n << 16;
        ++k;
        n = 0;
        s = p;
      }
      breaks.emplace_back(i, k);
    } else if (e.kind == kKindNextLine) {
      nexts.emplace_back(i, k);
    }
  }
  t.lineTable[k] = s | n << 16;
  t.lineCount = static_cast<int16_t>(k);
  for (auto [i, line] : breaks) {
    t.events[i].length = static_cast<uint16_t>(line);
    t.events[i].data = t.lineTable[line];
  }
  for (auto [i, line] : nexts) {
    t.events[i].length = static_cast<uint16_t>(line);
    t.events[i].data = line < k ? t.lineTable[line + 1] : p;
  }
  t.text = std::move(pool);
  lyricsPresent = 1;
  return 1;
}

int CSongData::InsertTrack(int16_t position) {
  if (TrackCount() >= kMaxInsertableTracks || !loaded)
    return 0;
  try {
    Track fresh;
    if (position < 0 || position >= TrackCount()) {
      tracks.push_back(std::move(fresh));
    } else {
      tracks.insert(tracks.begin() + position, std::move(fresh));
      // The tracks from the position on moved up; so do the indexes naming them.
      if (melodyTrack >= position && melodyTrack > 0)
        ++melodyTrack;
      if (lyricTrack >= position && lyricTrack > 0)
        ++lyricTrack;
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  MarkEdited();
  return 1;
}

int CSongData::DeleteTrack(int16_t track) {
  if (!loaded || !HasTrack(track))
    return 0;
  if (track == lyricTrack) {
    lyricTrack = 0;
    lyricsPresent = 0;
  } else if (lyricTrack > track) {
    --lyricTrack;
  }
  if (melodyTrack == track)
    melodyTrack = 0;
  else if (melodyTrack > track)
    --melodyTrack;
  tracks.erase(tracks.begin() + track);
  UpdateSongEnd();
  MarkEdited();
  return 1;
}

} // namespace core

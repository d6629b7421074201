// The one song in memory: its tracks of events, the tempo map and signature
// lists, the text pools and lyric lines, and the conversions between ticks,
// milliseconds and measures. Every reader and writer of song files fills or
// walks this object; the song editor changes it through its operations.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/songevent.h"
#include "platform/sys/codepage.h"

namespace core {

constexpr int kMaxTracks = 259;           // a song never holds more tracks
constexpr int kMaxInsertableTracks = 256; // InsertTrack refuses from this count on
constexpr int kLineTableSize = 512;       // so a track holds at most 511 line breaks
constexpr size_t kMaxSignatures = 30;     // time and key signatures kept for measures
constexpr size_t kTitleSize = 48;         // title bytes, without the terminating zero
constexpr size_t kInfoTextSize = 32;      // lyricist, singer, ... bytes
constexpr size_t kTrackNameSize = 31;     // summary track name bytes
constexpr size_t kTextPoolLimit = 0xFFFF; // syllable offsets and lengths are 16-bit
constexpr size_t kPoolItemLimit = 0xFFFF; // an event's pool bytes are counted in 16 bits
constexpr int kWaveSlots = 256;
constexpr int kBankSlots = 128;           // slots 1-127 are used
constexpr size_t kMaxPathBytes = 259;     // a path field holds 260 bytes with its zero
constexpr int32_t kDefaultTempo = 600000; // microseconds per quarter of a new song
constexpr uint32_t kDefaultWaveFormat = 0x11000000u | 11025; // 11025 Hz, 8 bits, mono
constexpr uint16_t kDefaultInfoValue = 5000;

// File kinds of LoadByKind and save kinds of SaveByKind.
constexpr int kFileVx3 = 1000;
constexpr int kFileSb3 = 1001;
constexpr int kFileSw3 = 1002;
constexpr int kFileMidi = 1005;
constexpr int kFileKaraoke = 1006;
constexpr int kFileByExtension = 2000;
constexpr int kSaveMidi = 1005;
constexpr int kSaveKaraoke = 1006;
constexpr int kSaveV300First = 1010, kSaveV300Last = 1011;
constexpr int kSaveV350First = 1020, kSaveV350Last = 1022;
constexpr int kSaveV350PackedFirst = 1030, kSaveV350PackedLast = 1032;

struct TempoEntry {
  int32_t tick = 0;
  int32_t usPerQuarter = kDefaultTempo;
  int32_t ms = 0; // the entry's time, truncated
  // The entry's exact time in microseconds times ticks per quarter, so that
  // conversions truncate once instead of once per tempo segment.
  int64_t scaledUs = 0;
};

struct SignatureEntry {
  int32_t tick = 0;
  uint32_t data = 0; // the four data bytes of the kind-1 or kind-3 event
};

struct TrackSummary {
  std::string name; // at most kTrackNameSize bytes
  uint8_t channel = 0;
  uint8_t program = 255; // 255: none before the first note-on
  uint8_t volume = 255;
  int8_t velocityOffset = 0; // requests to the editor's summary change; 0 at rest
  int8_t keyOffset = 0;
  uint8_t pan = 255;
};

struct Track {
  std::vector<SongEvent> events; // kept in the order of SortsBefore
  int32_t eventCapacity = 128;   // capacity AllocateEventMemory reserves
  int32_t engineEventCount = 0;  // events plus one per sounding note-on
  std::string text;              // the track's text pool (syllables back to back)
  std::array<uint32_t, kLineTableSize> lineTable{}; // offset | length << 16 per line
  int16_t lineCount = 0;                            // number of line breaks
  uint16_t port = 0;
  int32_t endTick = 0;
  int32_t endMs = 0;
  // Where the track's end-of-track event stood when it was read; the track
  // lasts at least that long even when its last event ends earlier.
  int32_t endOfTrackTick = 0;
  TrackSummary summary;

  int32_t EventCount() const { return static_cast<int32_t>(events.size()); }
};

struct WaveSlot {
  std::vector<uint8_t> pcm;
  std::string name; // at most 32 bytes
  uint32_t format = kDefaultWaveFormat;
};

// Flags of a user-bank slot.
constexpr uint8_t kBankSlotUsed = 0x01;
constexpr uint8_t kBankSlotOwnFile = 0x02;  // the data comes from the file at path
constexpr uint8_t kBankSlotTempFile = 0x04; // path names a temporary file made from the song
constexpr uint8_t kBankSlotNameOnly = 0x08; // the song file stores only the file's name

struct BankSlot {
  std::string path; // at most 260 bytes
  uint8_t flags = 0;
  // The bank file's content when the song file holds it (no file of its own).
  std::vector<uint8_t> data;
};

// Where a slot's bank file lies: its own file (the path as the song stores
// it), or for a name-only slot the file of that name in the song's folder,
// letter case ignored; empty for a slot whose data the song holds, or a
// name that is not found there.
std::string BankSlotFile(const BankSlot& slot, const std::string& songPath);
// The bytes of a slot's bank, wherever they lie (the song's data or the file
// of BankSlotFile); nullopt for an empty slot or a file that cannot be read.
std::optional<std::vector<uint8_t>> BankSlotBytes(const BankSlot& slot,
                                                  const std::string& songPath);

class CSongData;

// What the player core does with a song's user banks: loads them into the
// sound card once a song file with bank slots has been read, and frees them
// when the song is reset. Set on the song by the player core; the song data
// itself has none.
class SongBankHooks {
public:
  virtual void BanksRead(const CSongData& song) = 0;
  virtual void SongReset() = 0;

protected:
  ~SongBankHooks() = default;
};

// The texts of one row of the editor's event list.
struct EventDescription {
  int typeIndex = 0; // 0-15, see EventTypeIndex
  std::string channel;
  std::string kind;
  std::string value1, value2, value3;
  uint16_t alignment = 0; // a nibble per value column: 1 left, 2 right
};

// The order of events within a track: by tick, and at equal ticks line breaks
// (17) before next-line events (18) before every other kind; events that
// compare equal keep their order.
bool SortsBefore(const SongEvent& a, const SongEvent& b);

// The event list's type index 0-15 of an event (labels in EventTypeLabel).
int EventTypeIndex(const SongEvent& e);
std::string_view EventTypeLabel(int typeIndex);
// octave * 12 + note for "C5", "Db4", "F#2", ...; 255 when the text is no note name.
uint8_t ParseNoteName(std::string_view text);
// "C5" for 60.
std::string NoteName(uint8_t note);
// The General MIDI name of a program 0-127; empty for others.
std::string_view InstrumentName(int program);

// The file kind of a path by its extension; kFileByExtension when unknown.
int GetSongFileKind(std::string_view path);

class CSongData {
public:
  CSongData();
  CSongData(const CSongData&) = delete;
  CSongData& operator=(const CSongData&) = delete;

  // Song header.
  std::string path;
  int16_t saveKind = 0;
  int32_t loaded = 0;
  int32_t preparedForPlay = 0;
  int32_t unchanged = 1;
  int32_t lyricsPresent = 0;
  std::string title; // at most kTitleSize bytes, code-page text
  std::string lyricist, duzuvevi, singer, arranger, lyricSync, description;
  std::optional<std::string> keyword;
  uint16_t infoWord = 0;
  std::array<uint8_t, 16> imageNumbers{};
  uint16_t infoValue = kDefaultInfoValue;
  uint8_t packed = 0;
  uint16_t midiFormat = 1; // the format of the last Standard MIDI File read

  // Timing.
  uint16_t ticksPerQuarter = 120;
  uint16_t melodyTrack = 0;
  int16_t lyricTrack = 0;
  std::vector<TempoEntry> tempoMap;
  std::vector<SignatureEntry> timeSignatures;
  std::vector<SignatureEntry> keySignatures;
  int32_t endTick = 0;
  int32_t endMs = 0;
  std::array<uint8_t, 16> initialBank{};
  int16_t lyricShiftDenominator = 6;
  int16_t lyricShiftTicks = 0;

  std::vector<Track> tracks;
  std::vector<uint8_t> dataPool;
  std::vector<WaveSlot> waves;
  std::array<BankSlot, kBankSlots> bankSlots{};
  uint8_t bankSlotCount = 0;
  uint8_t bankNumber = 0; // as the song file stores it: 0 none, 255 bank 0, else the bank
  // The player core's bank hooks; kept over Reset.
  SongBankHooks* bankHooks = nullptr;
  // Called after every edit of the song (the player core advances the
  // stamp of its real-time events); kept over Reset.
  void (*editNotice)() = nullptr;
  // What every edit ends with: the song must be prepared for play again,
  // counts as changed, and editNotice hears of it.
  void MarkEdited();

  int16_t TrackCount() const { return static_cast<int16_t>(tracks.size()); }
  bool HasTrack(int track) const { return track >= 0 && track < TrackCount(); }
  const SongEvent* Event(int track, int32_t index) const;

  void Reset();
  void FreeAll();
  int LoadByKind(const std::string& file, int kind);
  int LoadByExtension(const std::string& file);
  int SaveByKind(const std::string& file, int kind);
  int AllocateEventMemory(int32_t poolSize);

  // Timing lists from the kind 2, 1 and 3 events of track 0, or of every track.
  void BuildTempoMaps(bool allTracks);
  int32_t TickToMs(int32_t tick) const;
  int32_t MsToTick(int32_t ms) const;
  int32_t MeasureToTick(int32_t measure) const;
  int32_t TickToMeasure(int32_t tick) const;
  int32_t MeasureLenAt(int32_t tick) const;
  bool TickToMeasureBeat(int32_t tick, uint16_t& measure, uint16_t& beat,
                         uint16_t& tickInBeat) const;
  int32_t MeasureBeatToTick(int16_t measure, int16_t beat, int16_t tick) const;
  bool GetEventMeasureBeat(int16_t track, int32_t index, uint16_t& measure, uint16_t& beat,
                           uint16_t& tickInBeat) const;
  bool GetEventHmsMs(int16_t track, int32_t index, uint16_t& hours, uint16_t& minutes,
                     uint16_t& seconds, uint16_t& ms) const;
  std::optional<EventDescription> FormatEventText(int16_t track, int32_t index) const;
  // A syllable's text (kind 16) into out; its length, 0 for other kinds.
  int32_t GetEventText(int16_t track, int32_t index, std::string& out) const;
  int32_t CopyEventText(const SongEvent& e, std::string& out) const;
  void SetLyricShift(int16_t denominator);

  // End times and the engine event count of a track, then the song's end times.
  int UpdateTrack(int16_t track);
  int32_t FindInsertIndex(int16_t track, int32_t tick, uint8_t kind) const;
  // Appends text to a track's text pool and gives its offset; nullopt when the
  // track does not exist or the pool would pass its 16-bit offsets.
  std::optional<uint32_t> AddTrackText(int16_t track, std::string_view text);
  // Appends bytes to the data pool and gives their offset; nullopt when the
  // pool cannot grow.
  std::optional<uint32_t> AddPoolBytes(const void* bytes, size_t count);
  int SortTrack(int16_t track);
  int RebuildLyricLines(int16_t track);
  int InsertTrack(int16_t position);
  int DeleteTrack(int16_t track);

  // Editing operations (songedit.cpp). Each keeps the tracks in the order of
  // SortsBefore, the ms fields, end times and engine event counts, and clears
  // preparedForPlay and unchanged; a change to kinds 1-3 retimes every track,
  // a change to kinds 16-18 of the lyric track rebuilds its lines. They give
  // 0 and change nothing when no song is loaded, a track or index is out of
  // range, or memory runs out.
  int InsertEventAt(int16_t track, int32_t index, int32_t tick, int32_t duration, uint16_t length,
                    uint32_t data, uint8_t kind, uint8_t imageAction = 0);
  int AddEvent(int16_t track, int32_t tick, int32_t duration, uint16_t length, uint32_t data,
               uint8_t kind, uint8_t imageAction = 0);
  // A pool-kind event whose length bytes are copied into the data pool.
  int InsertEvent(int16_t track, int32_t tick, int32_t duration, uint16_t length, const void* bytes,
                  uint8_t kind, uint8_t imageAction = 0);
  int InsertLyric(int16_t track, int32_t tick, int32_t duration, std::string_view text);
  int DuplicateEvent(int16_t track, int32_t index);
  int DeleteEvent(int16_t track, int32_t index);
  int MoveEvent(int16_t track, int32_t index, int32_t newTick);
  int ShiftEvents(int16_t track, int32_t first, int32_t last, int32_t delta);
  int SetEventLength(int16_t track, int32_t index, int32_t duration);
  int SetEventChannel(int16_t track, int32_t index, uint8_t channel);
  int SetEventData1(int16_t track, int32_t index, uint8_t value);
  int SetEventData2(int16_t track, int32_t index, uint8_t value);
  int SetEventValue(int16_t track, int32_t index, uint16_t length, uint32_t data);
  int SetEventBytes(int16_t track, int32_t index, std::string_view text);
  int SetEventText(int16_t track, int32_t index, std::string_view text);
  // The event becomes a fresh event of entry typeIndex 1-15 of the event
  // list's type list (songkind.cpp), at its tick, in its sorted place.
  // Choosing the entry it already has changes nothing and gives 1; entry 0
  // and others out of range give 0.
  int SetEventType(int16_t track, int32_t index, int typeIndex);

  int SetTrackSummary(int16_t track, const TrackSummary& summary);
  int NewSong(const std::string& file);
  int SetMelodyTrack(int16_t track);
  int SetLyricTrack(int16_t track);
  // Filter bits 0-1: what the backward search matches (0 a note-on, 1 a
  // syllable, 2 and 3 any event); bit 2: the kind of the forward and previous
  // searches (set: syllable, clear: note-on); bit 3: the previous search
  // includes the found event.
  int32_t FindEventAt(int16_t track, int32_t tick, uint8_t filter, int32_t* previousEnd = nullptr,
                      int32_t* nextTick = nullptr) const;

  int ImportLyricText(const std::string& file);
  // As ImportLyricText, from the text itself.
  int ImportLyricBytes(std::string_view text);
  int InsertLyricRange(int16_t track, int32_t from, int32_t to, std::string_view text);
  int AutoSyncLyrics(int16_t lyric, int16_t melody, int32_t fromTick, int32_t count);
  int32_t RemoveLyricMarks();
  int32_t AutoInsertLyricMarks(int32_t minGapMs, int32_t longGapMs, int32_t linesPerImage,
                               int32_t linesPerImageAfterShortGap);
  int32_t AlignLineBreaks();
  // The image marks of a song just loaded replaced by marks placed between
  // its lines, the line events aligned. Part of the load: the song stays
  // unchanged. Gives the number of marks placed.
  int32_t PlaceImageMarksAtLoad();
  // kind: 1000-1002 (a song file of the suite's own), or 1006 (a karaoke
  // MIDI file); the file's lyric track goes to target (65535: the song's
  // lyric track when it has lyrics, else a new track at the end).
  int ImportTrack(const std::string& file, int kind, uint16_t target);
  // The lyric track of source imported as ImportTrack does.
  int ImportLyricTrackOf(const CSongData& source, uint16_t target);
  // As ImportTrack, from the bytes of a song file of the suite's own.
  int ImportTrackBytes(std::span<const uint8_t> bytes, uint16_t target);

  // The interchange text (interchange.cpp): the song's information and its
  // lyric track as lines a text editor can change, and such a text read back.
  // The text of the song's information and lyric track; events is set to
  // the number of event lines.
  std::string InterchangeText(int32_t& events) const;
  // The number of events written; 0 when the file cannot be made.
  int32_t ExportInterchange(const std::string& file) const;
  // The number of track sections read. The whole text is checked first: a
  // text that cannot be read (a wrong header, a malformed line, a section
  // too large, a track that cannot be added) or a track not below the track
  // count gives 0, error set to the fault (with its line), and leaves the
  // song as it was. Fields cut at their width never end in half a
  // double-byte character of codePage.
  int ImportInterchange(const std::string& file, int16_t track, std::string* error = nullptr,
                        int codePage = sys::kDefaultCodePage);
  int ImportInterchangeText(std::string_view text, int16_t track, std::string* error = nullptr,
                            int codePage = sys::kDefaultCodePage);

  // Whether the lyric text is split automatically: a byte with its high bit
  // set begins a double-byte syllable. A setting, kept over Reset.
  int32_t lyricTextAutoSplit = 0;

  // The pool bytes of a pool-kind event, empty when they lie outside the pool.
  std::string_view PoolBytes(const SongEvent& e) const;
  // The text of a text-kind event without its terminating zero.
  std::string_view PoolText(const SongEvent& e) const;
  // A syllable's bytes in a track's text pool, bounded by the pool.
  std::string_view SyllableText(int16_t track, const SongEvent& e) const;
  int32_t CountEngineEvents(int16_t track) const;
  // The ms and duration ms of every event of a track, from the tempo map.
  void ComputeEventTimes(int16_t track);
  void ComputeSummary(int16_t track);
  void UpdateSongEnd();

private:
  void ResetTimingLists();
  // Inserts without the work after an edit; the index of the new event, -1
  // when refused.
  int32_t InsertSorted(int16_t track, const SongEvent& e);
  int InsertRaw(int16_t track, int32_t index, const SongEvent& e);
  SongEvent MakeEvent(int32_t tick, int32_t duration, uint16_t length, uint32_t data, uint8_t kind,
                      uint8_t imageAction) const;
  // The work after events of a track changed: timing kinds retime the song,
  // lyric kinds rebuild the lines; end times, counts, summary, flags.
  void EventsEdited(int16_t track, bool timing, bool lines);
  void RetimeSong();
  // Whether the track's text pool ends in bytes no syllable refers to yet.
  bool HasPendingText(int16_t track) const;
  bool IsLyricTrack(int16_t track) const { return track > 0 && track == lyricTrack; }
  int32_t SignatureLength(const SignatureEntry& e) const;
  int32_t PlainMeasureLength() const;
};

} // namespace core

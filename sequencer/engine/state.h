// The engine's process-wide state: one song, one set of channel states, one
// timer event. The timer thread and the caller's thread share it: every value
// that a query may read while the timer runs is a relaxed atomic, and
// everything that moves the play position is changed under the engine lock,
// which the timer callback holds for a whole tick.
#pragma once

#include "platform/media/midiout.h"
#include "platform/sys/mutex.h"
#include "sequencer/engine/engine_event.h"
#include "sequencer/engine/pavik32.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace seq {

// A value read and written by more than one thread, each access on its own
// (relaxed): every read and write is spelled out, so that no access to a
// shared value looks like one to a plain field.
template <typename T> class Shared {
public:
  constexpr Shared(T v = T{}) : v_(v) {}
  Shared(const Shared&) = delete;
  Shared& operator=(const Shared&) = delete;
  T Load() const { return v_.load(std::memory_order_relaxed); }
  void Store(T v) { v_.store(v, std::memory_order_relaxed); }
  T Exchange(T v) { return v_.exchange(v, std::memory_order_acq_rel); }

private:
  std::atomic<T> v_;
};

constexpr int kTracks = kPavikTrackSlots;
constexpr int kMuteSlots = 260;
constexpr int kChannels = kPavikChannels;
constexpr uint16_t kNoTrack = 0xFFFF;
// The most events the engine takes for one song, over all tracks.
constexpr int64_t kMaxSongEvents = int64_t{1} << 24;

struct Track {
  std::vector<EngineEvent> events; // the buffer, cleared when made
  std::vector<uint8_t> written;    // 1 where the player core stored an event
  int32_t count = 0;
  uint32_t cursor = 0; // next event to play
  uint8_t active = 0;
  int16_t device = -1;
};

struct TempoEntry {
  uint32_t tick = 0;
  uint32_t usPerQuarter = 0;
  int32_t ms = 0;
};

struct Channel {
  Shared<uint8_t> volume{127};
  Shared<uint8_t> pan{63};
  Shared<uint8_t> program{0};
  Shared<int16_t> wheel{0};
  Shared<uint8_t> noteOn{0};
  Shared<uint8_t> meterTrigger{0};
  Shared<int32_t> meterLevel{127000};
  Shared<uint8_t> repaint{1};
  Shared<uint8_t> sounding{0};
  Shared<uint8_t> transpose{1};
};

// The engine lock: held by the timer callback for a tick and by every
// operation that moves the play position, the chain or the device table.
extern sys::Mutex engineLock;

struct EngineState {

  // Song values.
  Shared<uint16_t> reserved{0};
  Shared<uint16_t> ticksPerQuarter{0};
  Shared<uint16_t> trackCount{0};
  Shared<uint16_t> melodyTrack{0};
  Shared<uint16_t> lyricTrack{0};
  Shared<uint32_t> totalMs{0};
  std::vector<TempoEntry> tempoMap GUARDED_BY(engineLock);
  bool tempoMapSorted GUARDED_BY(engineLock) = true;
  std::array<uint8_t, kChannels> banks GUARDED_BY(engineLock){};
  std::array<Track, kTracks> tracks GUARDED_BY(engineLock);
  std::array<Shared<uint8_t>, kMuteSlots> trackMute{};

  std::array<Channel, kChannels> channels;

  // Playback.
  Shared<uint32_t> clock{0}; // tenths of a millisecond
  Shared<uint32_t> clockStep{100};
  Shared<uint32_t> playTime{0};
  Shared<uint32_t> playTick{0};
  Shared<uint32_t> currentTick{0};
  Shared<int32_t> currentTime{0};
  Shared<uint16_t> currentTrack{kNoTrack};
  Shared<uint32_t> currentTempo{500000};
  Shared<uint32_t> lastProgressTime{0};
  Shared<uint32_t> lastMeterTime{0};
  Shared<uint8_t> playFlag{0};
  Shared<uint8_t> pauseFlag{0};
  Shared<uint8_t> watchDogEnabled{0};
  Shared<int32_t> watchDogTime{0};

  Shared<uint8_t> curNote{60};
  Shared<uint8_t> prevNote{60};
  Shared<uint8_t> noNote{1};
  Shared<uint8_t> lyricOn{0};
  Shared<int32_t> lyricTotal{0};
  Shared<int32_t> lyricElapsed{0};
  Shared<int32_t> lyricEnd{0};
  Shared<int32_t> lyricNext{0};

  Shared<int16_t> tempoModifier{0};
  Shared<int16_t> keyModifier{0};
  Shared<int32_t> meterDecay{200};
  Shared<uint16_t> timerPeriod{10};
  Shared<uint16_t> timerResolution{10};
  Shared<uint32_t> timerId{0};
  Shared<uint16_t> periodBegunMs{0}; // the resolution requested at start, 0 when none

  // Notification target.
  Shared<uint32_t> initReserved{0};
  Shared<uint32_t> window{0};
  Shared<uint8_t> bankFlag{0};
  Shared<uint32_t> realTimeMessage{kPavikRealTimeEventMessage};
  Shared<uint32_t> endCode{kPavikEndNotifyCode};
  Shared<uint32_t> progressCode{kPavikProgressNotifyCode};
  Shared<uint32_t> meterCode{kPavikMeterNotifyCode};

  // The MIDI output device table.
  Shared<uint16_t> deviceCount{0};
  std::array<Shared<uint32_t>, kPavikDeviceSlots> handles{};
  Shared<int16_t> currentDevice{-1};
  // The mapper's record, then those of devices 0 to 29.
  std::array<media::MidiOutCaps, kPavikDeviceRecords + 1> caps GUARDED_BY(engineLock){};
};

EngineState& State();

// Clock step in tenths of a millisecond for a tempo modifier and a timer
// period; 0 or less when they cannot drive a song.
int64_t ClockStepFor(int modifier, int periodMs);

// Tracks that take part in the chain: below the track count and reachable by
// the 8-bit next-track byte.
int ChainTrackLimit();

// Helpers shared by the engine's files; "Locked" ones expect the engine lock.
void PlayStateResetLocked() REQUIRES(engineLock);
void TerminatePlayLocked() REQUIRES(engineLock);
void AllNoteOff();
void DoPanicLocked() REQUIRES(engineLock);
// Ends the running timer event, if any, waiting for a tick in progress. Call
// it without the engine lock (a tick in progress may be waiting for it),
// except from inside a tick.
void KillTimer();
// Creates the periodic event; false when the time source cannot make one.
bool CreateTimerLocked() REQUIRES(engineLock);
// The system timer-resolution request around a period of play.
void BeginPeriodLocked() REQUIRES(engineLock);
void EndPeriodLocked() REQUIRES(engineLock);
// Sends a short message to a device (-1 the mapper) when its slot is open.
bool SendToDevice(int device, uint32_t message);
// The channel state that a message sent on a channel leaves.
void UpdateChannelState(uint32_t message);
// Opens a device into its slot, closing what the slot held; false on failure
// or for a device without a slot.
bool OpenDeviceLocked(int device) REQUIRES(engineLock);
bool CloseDeviceLocked(int device) REQUIRES(engineLock);
// One meter step of a channel; returns the new level in thousandths.
int32_t MeterStep(int channel);
// Time of the first syllable among the 20 lyric-track events from start; 0
// when there is none.
int32_t NextSyllableTimeLocked(uint32_t start) REQUIRES(engineLock);
// Time in ms of a tick over the tempo map.
int32_t TickToMs(uint32_t tick) REQUIRES(engineLock);
// Reads the device list again into the table; returns the device count.
int EnumerateLocked() REQUIRES(engineLock);
// The same, with the engine lock taken, and the system's error box when there
// is no device.
void Enumerate();

} // namespace seq

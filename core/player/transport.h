// The player core's transport: initialisation for a host, loading and
// closing the one song, play, stop, pause and jumps, and the settings that
// shape the next hand-over to the sequencer engine. Everything runs on the
// host's user-interface thread; the engine answers only by posting to the
// notification window.
#pragma once

#include "platform/sys/library.h"
#include "platform/win/messages.h"
#include "sequencer/link/mplay.h"

#include <cstdint>
#include <string>

namespace core {

// A message of the resource bundle by number (its fixed English text while
// there is no bundle), and the caption of the player core's message boxes.
std::string PlayerMessageString(int id);
inline constexpr const char* kPlayerMessageCaption = "Tamblo";

// The resource string shown when the engine does not take the song.
constexpr int kMsgEngineRefusedSong = 11918;
// At most this many characters of the host's name are kept.
constexpr size_t kHostNameSize = 31;
// The player types the link library knows.
constexpr int32_t kPlayerType16 = 16, kPlayerType32 = 32;

struct PlayerState {
  sys::ModuleHandle instance = nullptr; // the library, as the host loaded it
  sys::ModuleHandle scoreModule = nullptr;
  std::string hostName;
  bool initialised = false;
  int32_t songPlayed = 0; // 0 after a load, 1 once a play began or the song was closed
  int32_t paused = 0;     // follows the engine: cleared by stop, close, load and play
  int32_t watchDogEnabled = 0;
  int32_t watchDogTime = 0;
  int32_t lyricTextAutoSplit = 0;
  // The engine's per-event transmit entry, from the initialisation or the
  // last player-type change.
  MplayTransmitEntry transmitEntry = nullptr;
  // The devices changed while the song could not be probed again (it was
  // playing): the next hand-over maps and probes them first.
  bool devicesStale = false;
};
PlayerState& Player();

namespace transport {

// tamblo_InitDLL: 1 when the player core is ready for the host; 0 before the
// library started (Tamblo_Attach) or when the notification window cannot be
// made.
int32_t InitPlayer(sys::ModuleHandle instance, sys::ModuleHandle scoreModule, win::Hwnd parent,
                   win::Hwnd hostNotifyWnd, const char* name);
// Stops a song that plays, destroys the notification window and forgets the
// host; the library may end afterwards.
void EndPlayer();

int32_t LoadSong(const char* path, int32_t kind);
int32_t CloseSong();
int32_t Play();
int32_t Stop();
int32_t Pause();
int32_t Jump(int32_t perMille);
int32_t Rewind();
int32_t Forward();

void SetPlayerType(int32_t type);
int32_t NotifyMidiOutDevice();
int32_t SetDefaultMidiOutDevice(const char* name, uint16_t productId);
int32_t SetMelodyTrackMute(int32_t on);
int32_t GetMelodyTrackMute();
int32_t SetPlayerWatchDog(int32_t enable, int32_t time);
int32_t SetLyricShiftDenominator(int16_t denominator);

// PrepareMidiDevice: hands the song to the engine (the tracks' events too
// when transmitEvents); non-zero when the engine is ready for it.
uint8_t PrepareMidiDevice(bool transmitEvents);

} // namespace transport
} // namespace core

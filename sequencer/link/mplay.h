// The 66 `mplay_` operations that both link libraries export and that the
// player core binds by name and exports again as forwarders. Each forwards to
// the engine operation of the same name without its `_32_` prefix, with the
// same arguments and result, except the three that hand out entry points:
// mplay_InitMidiPlayer, mplay_SetMidiPlayerType and mplay_GetPreparePlay.
#pragma once

#include <stdint.h>

// The operations that forward unchanged, as X(Name, Result, Params, Args,
// Thunk16): Thunk16 names how the 9x link library carries the call to the
// 16-bit engine (Plain: the values as they are; SignedWord: a 32-bit result
// comes back as a signed 16-bit value; NameOut and CapsOut: the destination
// is a 16-bit side buffer copied back after the call).
//
// Those bound before the preparation entry, in binding order.
#define VEXO_MPLAY_OPS_BEFORE_PREPARE(X)                                                           \
  X(moGetNumMIDDevices, uint16_t, (void), (), Plain)                                               \
  X(moSetCurDev, void, (int16_t device), (device), Plain)                                          \
  X(moGetCurDev, int16_t, (void), (), Plain)                                                       \
  X(moCheckMidiOutDev, void, (void), (), Plain)                                                    \
  X(moGetMIDDevName, uint8_t, (char* destination, int16_t device), (destination, device), NameOut) \
  X(moGetMIDDevCaps, void, (uint8_t * destination, int16_t device), (destination, device),         \
    CapsOut)                                                                                       \
  X(moOpenMIDDev, uint8_t, (int16_t device), (device), Plain)                                      \
  X(moCloseMIDDev, uint8_t, (int16_t device), (device), Plain)                                     \
  X(SetTimerResolution, void, (uint16_t ms), (ms), Plain)                                          \
  X(CheckIfWatchDogEnabled, uint8_t, (void), (), Plain)                                            \
  X(EnableWatchDog, void, (uint8_t flag), (flag), Plain)                                           \
  X(SetWatchDogTime, void, (int32_t ms), (ms), Plain)                                              \
  X(GetWatchDogTime, int32_t, (void), (), Plain)                                                   \
  X(GetPlayTime, uint32_t, (void), (), Plain)                                                      \
  X(GetPlayTS, uint32_t, (void), (), Plain)                                                        \
  X(GetCurTime, int32_t, (void), (), Plain)                                                        \
  X(GetCurTS, uint32_t, (void), (), Plain)                                                         \
  X(GetcMidiPlayFlag, uint8_t, (void), (), Plain)                                                  \
  X(GetcPause, uint8_t, (void), (), Plain)                                                         \
  X(SetcPause, void, (uint8_t flag), (flag), Plain)                                                \
  X(ChkcNoNote, uint8_t, (void), (), Plain)                                                        \
  X(GetcCurNote, uint8_t, (void), (), Plain)                                                       \
  X(GetcPrevNote, uint8_t, (void), (), Plain)                                                      \
  X(ChkcLyricOn, uint8_t, (void), (), Plain)                                                       \
  X(GetlLyricCurTime, int32_t, (void), (), Plain)                                                  \
  X(GetlLyricTotTime, int32_t, (void), (), Plain)                                                  \
  X(GetlLyricNextEvTime, int32_t, (void), (), Plain)                                               \
  X(SetLevelMeter, void, (uint16_t level), (level), Plain)                                         \
  X(GetMeterVolume, uint8_t, (uint16_t channel), (channel), Plain)                                 \
  X(AutoMeterVolume, uint8_t, (uint16_t channel), (channel), Plain)                                \
  X(GetChannelVol, uint8_t, (uint16_t channel), (channel), Plain)                                  \
  X(GetChannelPan, uint8_t, (uint16_t channel), (channel), Plain)                                  \
  X(GetChannelInst, uint8_t, (uint16_t channel), (channel), Plain)                                 \
  X(GetChannelWheel, int16_t, (uint16_t channel), (channel), Plain)                                \
  X(GetNoteOnStatus, uint8_t, (uint16_t channel), (channel), Plain)                                \
  X(GetRepaintReq, uint8_t, (uint16_t channel), (channel), Plain)                                  \
  X(ResetRepaintReq, void, (uint16_t channel), (channel), Plain)                                   \
  X(GetTrackMute, uint8_t, (uint16_t track), (track), Plain)                                       \
  X(SetTrackMute, void, (uint16_t track, uint8_t flag), (track, flag), Plain)                      \
  X(GetChannelMute, uint8_t, (uint16_t channel), (channel), Plain)                                 \
  X(SetChannelMute, void, (uint16_t channel, uint8_t flag), (channel, flag), Plain)                \
  X(TurnOffChannel, void, (uint16_t channel), (channel), Plain)                                    \
  X(FreeEB, void, (void), (), Plain)

// Those bound after the preparation entry, in binding order.
#define VEXO_MPLAY_OPS_AFTER_PREPARE(X)                                                            \
  X(StartPlay, uint8_t, (void), (), Plain)                                                         \
  X(TerminatePlay, void, (void), (), Plain)                                                        \
  X(AllNoteOff, void, (void), (), Plain)                                                           \
  X(CheckMidDevOpened, uint8_t, (void), (), Plain)                                                 \
  X(OpenCloseMidDev, uint8_t, (uint8_t open), (open), Plain)                                       \
  X(SendMessage, void, (uint32_t message), (message), Plain)                                       \
  X(DoPanic, void, (void), (), Plain)                                                              \
  X(Inc_TempoModifier, void, (int16_t upperBound), (upperBound), Plain)                            \
  X(Dec_TempoModifier, void, (int16_t lowerBound), (lowerBound), Plain)                            \
  X(Inc_KeyModifier, void, (int16_t upperBound), (upperBound), Plain)                              \
  X(Dec_KeyModifier, void, (int16_t lowerBound), (lowerBound), Plain)                              \
  X(GetTempoModifier, int16_t, (void), (), Plain)                                                  \
  X(SetTempoModifier, void, (int16_t value), (value), Plain)                                       \
  X(GetKeyModifier, int16_t, (void), (), Plain)                                                    \
  X(SetKeyModifier, void, (int16_t value), (value), Plain)                                         \
  X(JumpToPosition, void, (uint32_t ms), (ms), Plain)                                              \
  X(BeginPause, void, (void), (), Plain)                                                           \
  X(EndPause, void, (void), (), Plain)                                                             \
  X(ProgValue, int32_t, (uint32_t tick), (tick), SignedWord)                                       \
  X(GenerateTrackOrder, uint8_t, (void), (), Plain)

#ifdef __cplusplus
extern "C" {
#endif

// The per-event transmit entry: track, index of the event within the track,
// the post value the engine sends back with real-time events, tick, time in
// ms, data, kind. The track is narrowed to 16 bits on the way to the engine.
typedef void (*MplayTransmitEntry)(int32_t track, int32_t index, int32_t postValue, int32_t tick,
                                   int32_t time, uint32_t data, uint32_t kind);
// The preparation entry: the engine's preparation with the track count,
// melody track and lyric track narrowed to 16 bits on the way. Non-zero when
// the engine is ready for the song's events.
typedef uint8_t (*MplayPrepareEntry)(uint16_t reserved, uint16_t tempoMapCount,
                                     uint16_t ticksPerQuarter, int32_t trackCount,
                                     int32_t melodyTrack, int32_t lyricTrack, uint32_t totalMs,
                                     const int32_t* tempoMap, const int32_t* eventCounts,
                                     const uint8_t* banks, const int16_t* devices);

// Initialises the engine (or both engines) for a notification window and
// returns the transmit entry of the engine now in use.
MplayTransmitEntry mplay_InitMidiPlayer(uint32_t firstValue, uint32_t window);
// Chooses the engine by player type (16 or 32) and returns its transmit
// entry; null, with nothing changed, while the current engine plays or for
// any other type.
MplayTransmitEntry mplay_SetMidiPlayerType(int32_t type);
// The preparation entry of the engine in use.
MplayPrepareEntry mplay_GetPreparePlay(void);

#define VEXO_MPLAY_DECLARE(Name, Result, Params, Args, Thunk16) Result mplay_##Name Params;
VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_MPLAY_DECLARE)
VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_MPLAY_DECLARE)
#undef VEXO_MPLAY_DECLARE

#ifdef __cplusplus
} // extern "C"
#endif

#ifdef __cplusplus
namespace wendra {

constexpr int kMplayCount = 66;

// The 66 names in the order in which the player core binds them.
#define VEXO_MPLAY_NAME(Name, Result, Params, Args, Thunk16) "mplay_" #Name,
inline constexpr const char* kMplayNames[kMplayCount] = {
    "mplay_InitMidiPlayer", "mplay_SetMidiPlayerType",
    VEXO_MPLAY_OPS_BEFORE_PREPARE(VEXO_MPLAY_NAME) "mplay_GetPreparePlay",
    VEXO_MPLAY_OPS_AFTER_PREPARE(VEXO_MPLAY_NAME)};
#undef VEXO_MPLAY_NAME

// The messages with which the link libraries initialise an engine: real-time
// events as WM_USER+1, the end, progress and meter notices as WM_USER codes.
constexpr uint32_t kRealTimeEventMessage = 1025;
constexpr uint32_t kEndNotifyCode = 1283;
constexpr uint32_t kProgressNotifyCode = 1281;
constexpr uint32_t kMeterNotifyCode = 1282;

} // namespace wendra
#endif

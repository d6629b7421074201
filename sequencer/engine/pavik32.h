// Pavik32, the MIDI sequencer engine: the flat exported operations that the
// link libraries bind by name. The player core hands over one song as
// per-track event arrays, the engine chains them in time order and plays
// them from a periodic timer to the MIDI output devices, posting its notices
// to the window named at initialisation.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The message numbers the link libraries pass to InitPavik32: real-time
// events are a message of their own, the others travel as WM_USER codes.
enum {
  kPavikWmUser = 0x400,
  kPavikRealTimeEventMessage = 0x401, // wParam track, lParam the event's post value
  kPavikProgressNotifyCode = 1281,    // lParam per mille of the song
  kPavikMeterNotifyCode = 1282,       // lParam 100
  kPavikEndNotifyCode = 1283,         // lParam 0, or 101 when a jump ran off the end
  kPavikEndDuringJump = 101,
};

// Sizes of the engine's tables.
enum {
  kPavikTrackSlots = 259,
  kPavikChainTracks = 256, // the next-track byte reaches tracks 0 to 255
  kPavikChannels = 16,
  kPavikDeviceSlots = 256, // slot 0 the mapper, slot d + 1 device d
  kPavikDeviceRecords = 30,
  kPavikCapsSize = 52,
  kPavikDeviceNameSize = 32,
};

// Initialisation and hand-off.
int32_t InitPavik32(uint32_t reserved, uint32_t window, uint8_t bankFlag, uint32_t realTimeMessage,
                    uint32_t endCode, uint32_t progressCode, uint32_t meterCode);
// tempoMap holds tempoMapCount triples (tick, microseconds per quarter, ms);
// eventCounts and devices hold one entry per track, banks 16 bytes.
uint8_t _32_PreparePlay(uint16_t reserved, uint16_t tempoMapCount, uint16_t ticksPerQuarter,
                        uint16_t trackCount, uint16_t melodyTrack, uint16_t lyricTrack,
                        uint32_t totalMs, const int32_t* tempoMap, const int32_t* eventCounts,
                        const uint8_t* banks, const int16_t* devices);
void _32_TransmitData(uint16_t track, int32_t index, int32_t postValue, int32_t tick, int32_t time,
                      uint32_t data, uint32_t kind);
uint8_t _32_GenerateTrackOrder(void);
uint8_t _32_StartPlay(void);
void _32_TerminatePlay(void);
void _32_FreeEB(void);
// The periodic timer callback; its arguments are those of a multimedia-timer
// callback and are not read.
void TimerInt(uint32_t timerId, uint32_t message, uint64_t user, uint64_t reserved1,
              uint64_t reserved2);

// Transport and position.
void _32_BeginPause(void);
void _32_EndPause(void);
uint8_t _32_GetcPause(void);
void _32_SetcPause(uint8_t flag);
uint8_t _32_GetcMidiPlayFlag(void);
void _32_JumpToPosition(uint32_t ms);
int32_t _32_ProgValue(uint32_t tick);
int32_t _32_GetJmpTime(int32_t perMille);

// Time and melody queries.
uint32_t _32_GetPlayTime(void);
uint32_t _32_GetPlayTS(void);
int32_t _32_GetCurTime(void);
uint32_t _32_GetCurTS(void);
uint8_t _32_GetcCurNote(void);
uint8_t _32_GetcPrevNote(void);
uint8_t _32_ChkcNoNote(void);
uint8_t _32_ChkcLyricOn(void);
int32_t _32_GetlLyricCurTime(void);
int32_t _32_GetlLyricTotTime(void);
int32_t _32_GetlLyricNextEvTime(void);

// Tempo (percent) and key (semitones) modifiers.
void _32_Inc_TempoModifier(int16_t upperBound);
void _32_Dec_TempoModifier(int16_t lowerBound);
void _32_SetTempoModifier(int16_t value);
int16_t _32_GetTempoModifier(void);
void _32_Inc_KeyModifier(int16_t upperBound);
void _32_Dec_KeyModifier(int16_t lowerBound);
void _32_SetKeyModifier(int16_t value);
int16_t _32_GetKeyModifier(void);

// Mutes.
uint8_t _32_GetTrackMute(uint16_t track);
void _32_SetTrackMute(uint16_t track, uint8_t flag);
uint8_t _32_GetChannelMute(uint16_t channel);
void _32_SetChannelMute(uint16_t channel, uint8_t flag);
void _32_TurnOffChannel(uint16_t channel);

// Channel state and meters.
uint8_t _32_GetChannelVol(uint16_t channel);
uint8_t _32_GetChannelPan(uint16_t channel);
uint8_t _32_GetChannelInst(uint16_t channel);
int16_t _32_GetChannelWheel(uint16_t channel);
uint8_t _32_GetNoteOnStatus(uint16_t channel);
uint8_t _32_GetRepaintReq(uint16_t channel);
void _32_ResetRepaintReq(uint16_t channel);
void _32_SetLevelMeter(uint16_t level);
uint8_t _32_GetMeterVolume(uint16_t channel);
uint8_t _32_AutoMeterVolume(uint16_t channel);

// Watchdog and timer.
void _32_EnableWatchDog(uint8_t flag);
uint8_t _32_CheckIfWatchDogEnabled(void);
void _32_SetWatchDogTime(int32_t ms);
int32_t _32_GetWatchDogTime(void);
void _32_SetTimerResolution(uint16_t ms);

// Output and devices. Device -1 is the MIDI mapper.
void _32_SendMessage(uint32_t message);
void _32_AllNoteOff(void);
void _32_DoPanic(void);
uint8_t _32_CheckMidDevOpened(void);
uint8_t _32_OpenCloseMidDev(uint8_t open);
uint16_t _32_moGetNumMIDDevices(void);
void _32_moSetCurDev(int16_t device);
int16_t _32_moGetCurDev(void);
void _32_moCheckMidiOutDev(void);
// destination holds kPavikDeviceNameSize bytes.
uint8_t _32_moGetMIDDevName(char* destination, int16_t device);
// destination holds kPavikCapsSize bytes: the little-endian capability record.
void _32_moGetMIDDevCaps(uint8_t* destination, int16_t device);
uint8_t _32_moOpenMIDDev(int16_t device);
uint8_t _32_moCloseMIDDev(int16_t device);

// Where the notices go: a function that posts (never sends) a message to a
// window. Until one is set the notices are dropped.
typedef uint8_t (*PavikNoticePoster)(uint32_t window, uint32_t message, uint64_t wParam,
                                     int64_t lParam);
void Pavik32_SetNoticePoster(PavikNoticePoster poster);

#ifdef __cplusplus
} // extern "C"
#endif

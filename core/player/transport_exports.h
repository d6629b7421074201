// The player core's exports for a host: initialisation, songs, play and its
// settings, the wave recorder and the song editor's entry points. Results
// are 1 for done and 0 for refused or not possible now unless said
// otherwise; window handles are 32-bit.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// instance: the library as the host loaded it; scoreModule: the singing
// score library (may be null); parent: the window the notification window
// is made under; hostNotifyWnd receives PlayStopped and WaveDoneNotify;
// name: the host's name (31 characters kept). Call after Tamblo_Attach.
int32_t tamblo_InitDLL(void* instance, void* scoreModule, uint32_t parent, uint32_t hostNotifyWnd,
                       const char* name);
void* tamblo_GetModuleHandle(void);

// kind: 1005 Standard MIDI File, 1006 karaoke MIDI file, 2000 by extension.
// The loader's result, 0 when the file cannot be loaded.
int32_t tamblo_LoadFile(const char* path, int32_t kind);
int32_t tamblo_CloseFile(void);
int32_t tamblo_CheckIfLoaded(void);
int32_t tamblo_CheckIfSongPlayed(void);

int32_t tamblo_Play(void);
int32_t tamblo_Stop(void);
// 1 when now paused, 0 when resumed (or refused).
int32_t tamblo_Pause(void);
int32_t tamblo_Jump(int32_t perMille);
int32_t tamblo_Rewind(void);
int32_t tamblo_Forward(void);

// 16 or 32; ignored while a song plays.
void tamblo_SetMidiPlayerType(int32_t type);
uint16_t tamblo_SetImageMode(uint16_t mode); // returns the mode
uint16_t tamblo_GetImageMode(void);
void tamblo_SetTitleDisplayMode(uint16_t mode);
uint16_t tamblo_GetTitleDisplayMode(void);
// The title page file; returns the length kept including its zero.
int32_t tamblo_SetTitleDisplayHTM(const char* fileName);
int32_t tamblo_SetMelodyTrackMute(int32_t on);
int32_t tamblo_GetMelodyTrackMute(void);
int32_t tamblo_SetWatchDog(int32_t enable, int32_t time);
int32_t tamblo_SetLyricShiftDenominator(int16_t denominator);
int32_t tamblo_SetLyricTextAutoSplit(int32_t flag);
int32_t tamblo_NotifyMidiOutDevice(void);
// 0 when the device of that name was chosen, 1 for any other choice.
int32_t tamblo_SetDefaultMidiOutDevice(const char* name, uint16_t productId);

// The wave recorder.
int32_t tamblo_RecordWave(void);
int32_t tamblo_PlayWave(void);
int32_t tamblo_StopWave(void);
int32_t tamblo_SaveWave(void);
int32_t tamblo_OpenWave(void);
int32_t tamblo_CloseWave(void);
int32_t tamblo_GetRecStatus(void);
int32_t tamblo_GetPlayStatus(void);
int32_t tamblo_SetRecSetting(uint32_t rate, uint16_t bits, uint16_t channels);
int32_t tamblo_GetRecSetting(uint32_t* rate, uint16_t* bits, uint16_t* channels);

// The song editor: its frame, and the host's messages while it exists.
int32_t tamblo_OpenEditor(void);
int32_t tamblo_CloseEditor(void);
int32_t Tamblo_RepaintEditor(void);
int32_t tamblo_ProcessMessageFilter(int32_t code, void* msg);
int32_t Tamblo_PreTranslateMessage(void* msg);
void tamblo_UpdateAllTempoLED(void);
void tamblo_UpdateAllKeyLED(void);

// The sound card's default user bank: flag 0 clears it; otherwise the bank
// file (1 to 259 bytes) becomes the card's user bank and is selected. The
// path buffer of the getter holds 260 bytes.
int32_t tamblo_SetDefaultUserSynth(uint32_t flag, const char* path);
int32_t tamblo_GetDefaultUserSynth(uint32_t* flag, char* path);

#ifdef __cplusplus
} // extern "C"
#endif

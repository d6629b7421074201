// The singing-score library Nyvanta. A host loads it by name and calls
// Nyvanta_Attach right after (Linux gives a library no way to refuse its own
// load): 0 means the start was refused (no resource bundle rNyvanta, or the
// controller's window class could not be registered) and
// Nyvanta_AttachError says why. Nyvanta_Detach gives back what it holds and
// is called before unloading. The controller runs on the thread that called
// Nyvanta_InitDLL; calls from other threads are carried out on it.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t Nyvanta_Attach(void);
int32_t Nyvanta_AttachError(char* text, int32_t size);
int32_t Nyvanta_Detach(void);

// Binds the player core's entry points on coreModule (a sys::ModuleHandle)
// and creates the controller window under parent; 1 when it exists.
int32_t Nyvanta_InitDLL(void* coreModule, uint32_t parent);
void* Nyvanta_GetModuleHandle(void);
intptr_t Nyvanta_EnableScoring(intptr_t enable);
// N samples of transform (0 keeps it), a sample rate (0 keeps it); 0 while
// scoring or for an N the analysis cannot use.
int32_t Nyvanta_SetRecSetting(uint16_t n, uint32_t rate);
// A 52-byte parameter block and the timer period in milliseconds.
int32_t Nyvanta_SetScoreParameter(const uint8_t* parameters, uint32_t periodMs);
int32_t Nyvanta_ShowStatusWindow(int32_t show);
int32_t Nyvanta_GetStatus(void);
int32_t Nyvanta_StartScoring(void);
int32_t Nyvanta_TerminateScoring(void);
int32_t Nyvanta_PauseScoring(int32_t pause);
int32_t Nyvanta_GetPausedStatus(void);
int32_t Nyvanta_Calculate(void);
float Nyvanta_CalculateFloat(void);
int32_t Nyvanta_PP(void);
int16_t Nyvanta_GetNumCheck(void);
int32_t Nyvanta_wiGetNumWAVDevices(void);
void Nyvanta_wiSetCurDev(int16_t device);
int16_t Nyvanta_wiGetCurDev(void);
void Nyvanta_wiCheckWaveInDev(void);
// Copies the device's name (at most 32 bytes with its zero); the name's
// length + 1, 0 for a device that does not exist.
uint8_t Nyvanta_wiGetWAVDevName(char* destination, int16_t device);

// For hosts that show the scoring themselves: a window joins or leaves the
// table told of each analysed block (WM_COMMAND 0x10000100, lParam the
// window); 0 when the table is full.
int32_t Nyvanta_AddListener(uint32_t window);
void Nyvanta_RemoveListener(uint32_t window);

// The engine's values after the last block.
typedef struct NyvantaCounters {
  float score;
  int32_t status;
  int32_t amplitude;
  float frequency;
  float note;
  int32_t pitchChecks;
  int32_t errorCount;
  float errorSum;
  int32_t voiceChecks;
  int32_t voiceHits;
  int32_t emptyChecks;
  int32_t emptyHits;
  int32_t blocks;    // analysed since the start
  int32_t recording; // a block is being captured
} NyvantaCounters;
// The size of the record; 0 when the size given does not match.
int32_t Nyvanta_GetCounters(NyvantaCounters* counters, int32_t size);
// The last error: a device that did not open, a player core lacking a name.
int32_t Nyvanta_GetLastError(char* text, int32_t size);

#ifdef __cplusplus
} // extern "C"
#endif

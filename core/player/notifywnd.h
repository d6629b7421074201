// The player core's notification window "MSG_TAMBLO" (title "MESSAGE"): the
// sequencer engine posts its notices here, the lyric display links itself
// and asks for the song's title and lyrics here, and from here the core fans
// notices out to the listener windows that the host and the editor register
// and sends the display everything it shows.
//
// Everything here runs on the thread that created the window (the host's
// user-interface thread); the engine's threads only post to it.
#pragma once

#include "core/player/display_link.h"
#include "core/player/listeners.h"
#include "core/songevent.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"

#include <array>
#include <cstdint>
#include <string>

namespace core {

// The window's class is core::kNotifyWindowClass ("MSG_TAMBLO"), registered
// by CTambloApp; its title:
inline constexpr const char* kNotifyWindowTitle = "MESSAGE";

// WM_USER codes: the message is WM_USER, the code is in wParam, the
// argument in lParam.
inline constexpr uint32_t kPlayStarted = 257;      // core -> display, posted
inline constexpr uint32_t kPlayStopped = 258;      // core -> display and host, posted
inline constexpr uint32_t kTitleRequest = 513;     // display -> core: window to answer
inline constexpr uint32_t kLyricRequest = 514;     // display -> core: window to answer
inline constexpr uint32_t kLineInfoRequest = 515;  // display -> core: line index
inline constexpr uint32_t kIgnoredRequest = 516;   // display -> core: accepted, ignored
inline constexpr uint32_t kLinkDisplay = 517;      // display -> core: frame window, 0 unlinks
inline constexpr uint32_t kLyricTextRequest = 518; // display -> core: window to answer
inline constexpr uint32_t kProgressNotify = 1281;  // engine -> core -> progress list
inline constexpr uint32_t kMeterNotify = 1282;     // engine -> core -> misc list
inline constexpr uint32_t kEndNotify = 1283;       // engine -> core -> stop list
inline constexpr uint32_t kSongStateNotify = 1520; // core -> core -> notification list
inline constexpr uint32_t kStopImageNotify = 1541; // core -> display, posted
inline constexpr uint32_t kJumpNotify = 1544;      // core -> display, sent
inline constexpr uint32_t kWaveDoneNotify = 4097;  // core -> host notify window, posted

// Arguments of kSongStateNotify.
inline constexpr int32_t kSongLoaded = 1;
inline constexpr int32_t kSongClosed = 2;

// The engine's real-time event: wParam the track, lParam the song event index
// handed over with the event.
inline constexpr uint32_t kRealTimeEvent = win::WM_USER + 1;

// WM_COPYDATA kinds (the CopyData kind; wParam is the notification window).
inline constexpr uint32_t kTitleCopy = 0x10001;
inline constexpr uint32_t kLyricCopy = 0x10002;
inline constexpr uint32_t kEventCopy = 0x10010;
inline constexpr uint32_t kHtmlPageCopy = 0x10100;
inline constexpr uint32_t kLyricTextCopy = 0x10302;
inline constexpr uint32_t kImageCopy = 0x10303;
inline constexpr uint32_t kPlayImageCopy = 0x10304;
inline constexpr uint32_t kSongFileCopy = 0x10800; // display -> core: accepted, ignored

// imageMode bits.
inline constexpr uint16_t kImageModeSpecial = 1;    // image requests go as "@D\Special"
inline constexpr uint16_t kImageModeAutoMarks = 2;  // marks at load, PlayImageCopy at play
inline constexpr uint16_t kImageModeStopNotify = 4; // StopImageNotify on stop
// titleMode bits.
inline constexpr uint16_t kTitleModeNoTimedClear = 1; // no timed title clear after a load
inline constexpr uint16_t kTitleModeShowAtPlay = 2;   // title page shown at play, cleared 5 s later

// Window timers.
inline constexpr uint32_t kWatchDogTimer = 10; // 500 ms, re-arms the engine's watchdog
inline constexpr uint32_t kWatchDogPeriodMs = 500;
inline constexpr uint32_t kTitleClearTimer = 200; // one-shot, clears the title page
inline constexpr uint32_t kTitleClearMs = 5000;

// The settings of the display protocol, process-wide. The transport's
// setting exports (tamblo_SetImageMode, tamblo_SetTitleDisplayMode,
// tamblo_SetTitleDisplayHTM and their readers) keep them here; the window
// reads them.
struct DisplaySettings {
  uint16_t imageMode = 0;
  uint16_t titleMode = 0;
  std::string titlePage; // the title page file, relative to the host program's folder
};
DisplaySettings& TheDisplaySettings();

// The engine's end of the editor: refreshes the editor's tempo and key
// read-outs (tamblo_UpdateAllTempoLED/KeyLED). Called by the end-of-song
// handling; nothing until one is set.
using ReadoutRefresh = void (*)();
void SetReadoutRefresh(ReadoutRefresh refresh);

// Plays an embedded wave (a kind-12 real-time event): 0 when it played or was
// ignored (the event is then relayed), -1 when wave output cannot be opened
// (the event is dropped). Until one is set, waves are ignored.
using EmbeddedWavePlayer = int32_t (*)(const SongEvent& event);
void SetEmbeddedWavePlayer(EmbeddedWavePlayer player);

// A notice of the wave recorder's device (MM_MCINOTIFY's wParam and
// lParam): the recorder stops the device when it came to its end and
// returns true when that was a natural end, which WaveDoneNotify then tells
// the host. Until one is set, notices are ignored.
using WaveDeviceDone = bool (*)(win::WParam flag, win::LParam device);
void SetWaveDeviceDone(WaveDeviceDone done);

class CPlayerNotifyWnd : public win::Window {
public:
  // Listener lists; Add* returns 1 when the window is listed already or was
  // put into the first free slot, 0 when all ten are taken (or the handle is
  // 0); Remove* clears the first slot holding it: 1, or 0 when absent.
  int AddStopClient(win::Hwnd w) { return stop_.Add(w); }
  int AddProgClient(win::Hwnd w) { return prog_.Add(w); }
  int AddMiscClient(win::Hwnd w) { return misc_.Add(w); }
  int AddEventClient(win::Hwnd w) { return event_.Add(w); }
  int AddNotifyClient(win::Hwnd w) { return notify_.Add(w); }
  int RemoveStopClient(win::Hwnd w) { return stop_.Remove(w); }
  int RemoveProgClient(win::Hwnd w) { return prog_.Remove(w); }
  int RemoveMiscClient(win::Hwnd w) { return misc_.Remove(w); }
  int RemoveEventClient(win::Hwnd w) { return event_.Remove(w); }
  int RemoveNotifyClient(win::Hwnd w) { return notify_.Remove(w); }

  // Image requests to the linked display: slot -1 "@D\Special"; else the
  // "\IMG" form of the slot's picture number, or the empty form for 0.
  void SendImage(int slot);
  // Picks a slot in first ... last and sends its image request.
  void SendImageRange(int first, int last);

  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override;

  int32_t watchDogTime = 2000;
  int32_t watchDogEnabled = 0;

  // Drops a window that is gone from every list.
  void DropFromLists(win::Hwnd window);

private:
  void OnUserCode(uint32_t code, win::LParam argument);
  int32_t OnRealTimeEvent(win::WParam track, win::LParam stampedIndex);
  void ActOnImageEvent(const SongEvent& event);
  void Relay(int16_t track, int32_t index);
  void OnEndNotify(win::LParam argument);
  void OnTimer(uint32_t id);

  ListenerList stop_, prog_, misc_, event_, notify_;
};

// The process-wide window object.
CPlayerNotifyWnd& TheNotifyWnd();

// --- What the transport calls ---------------------------------------------

// Creates the notification window (WS_CHILD, position and size 0) under
// parent, keeps hostNotifyWnd (which receives PlayStopped and
// WaveDoneNotify), arms the watchdog timer and routes the engines' notices
// (Pavik32 and Pavik16 of the library's folder) to the window. Returns the
// window, 0 when it cannot be created. A second call returns the window that
// exists (and takes the new host notify window).
win::Hwnd CreateNotifyWindow(win::Hwnd parent, win::Hwnd hostNotifyWnd);
// Stops the engines' notices and destroys the window; the display link is
// dropped. Call it before the library ends.
void DestroyNotifyWindow();

win::Hwnd NotifyWindow();     // 0 before CreateNotifyWindow
win::Hwnd HostNotifyWindow(); // argument 4 of tamblo_InitDLL
// DisplayWindow() (displayWnd, the linked display, 0 when none) and
// SetDisplayWindow are in display_link.h.

// At play, to a linked display: posts PlayStarted, sends the title
// and the lyric block, the play image (imageMode bit 1) and an image request
// for a slot of 7 ... 12 (imageMode bit 0 clear). Nothing without a display.
void SendPlayStart();
// At stop, to a linked display: posts PlayStopped, then "@D\Special"
// (imageMode bit 0) or StopImageNotify (bit 2). Nothing without a display.
void SendPlayStopToDisplay();
// Posts PlayStopped to the host notify window.
void PostPlayStoppedToHost();
// Sends JumpNotify to the linked display, when there is one.
void SendJumpNotify();
// An edit of the song: the real-time events stamped before it are dropped
// when they arrive.
void SongEdited();

// Sends SongStateNotify (kSongLoaded / kSongClosed) to the notification
// window, which relays it to the notification list. Real-time events still
// queued from before are stale from then on and are dropped.
void SendSongStateNotify(int32_t state);
// Arms (or re-arms) the one-shot title-clear timer: tamblo_ClearHtm in 5 s.
void ArmTitleClearTimer();
// tamblo_SetWatchDog's part here: the window re-arms the engine's watchdog
// with time every 500 ms while enabled.
void SetWatchDog(int32_t enable, int32_t time);

// The transmissions, as the exports of the same names (tamblo_*, in
// notify_exports.h, with the listener registrations and tamblo_GetLyricWnd).
int32_t TitleTransmit(win::Hwnd window);
int32_t LyricTransmit(win::Hwnd window);
int32_t LineInfoTransmit(win::Hwnd window, int16_t line);
int32_t RTEventTransmit(win::Hwnd window, int16_t track, int32_t index);
int32_t LyricTextTransmit(win::Hwnd window);
int32_t DisplayTitle(const char* pageFile);
int32_t ClearHtm();
int32_t DisplayHtm(const char* text);

// The engines' notice poster (what Pavik32_SetNoticePoster takes): posts the
// notice to the window; a real-time event's index is stamped with the
// current song's generation on the way.
uint8_t PostEngineNotice(uint32_t window, uint32_t message, uint64_t wParam, int64_t lParam);
// Routes the notices of the engines of folder that are loaded (Pavik32,
// Pavik16) to poster (nullptr: drops them). CreateNotifyWindow and
// DestroyNotifyWindow call it with the library's folder.
void SetEngineNoticePoster(const std::string& folder,
                           uint8_t (*poster)(uint32_t, uint32_t, uint64_t, int64_t));

// The lParam under which the engine's real-time event for a song event
// index of the current song reaches the window (the notice poster adds the
// song's generation to the index).
win::LParam RealTimeEventLParam(int32_t index);

} // namespace core

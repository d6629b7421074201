// The host's own windows: the frame "VEXO3REMOTE" and its child
// "MSG_REMOTE", through which the player core, the lyric display and the
// games reach the host. Here the child keeps what the player core reports
// about the song that plays.
#pragma once

#include "platform/win/window.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace host {

inline constexpr const char* kRemoteFrameClass = "VEXO3REMOTE";
inline constexpr const char* kRemoteClass = "MSG_REMOTE";

// WM_USER codes the host hears from the player core.
inline constexpr uint32_t kPlayStoppedCode = 258;
inline constexpr uint32_t kProgressNotifyCode = 1281;
inline constexpr uint32_t kEndNotifyCode = 1283;
inline constexpr uint32_t kWaveDoneCode = 4097; // the wave recorder came to its end
// WM_COPYDATA kinds of the song's title and of the song album's status texts.
inline constexpr uintptr_t kTitleCopyKind = 0x10001;
inline constexpr uintptr_t kAlbumStatusKind = 0x10506;
// The album manager's notices: the reservation queue replaced, the list mode
// changed (no data; the manager's window as the sender).
inline constexpr uintptr_t kReserveReplacedKind = 0x10504;
inline constexpr uintptr_t kListModeKind = 0x10505;
constexpr size_t kTitleSize = 48;

class RemoteWindow : public win::Window {
public:
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override;

  int32_t perMille = -1; // of the last ProgressNotify, -1 before the first
  bool ended = false;    // EndNotify: the song ran to its end
  bool stopped = false;  // PlayStopped
  int wavesDone = 0;     // WaveDoneNotify
  std::string title;     // code-page bytes, from the last TitleCopy
  // Receives each status text of the song album (code-page bytes).
  std::function<void(std::string_view)> albumStatus;
  // Receives each notice of the album manager with the manager's window.
  std::function<void(uintptr_t kind, win::Hwnd from)> albumNotice;
};

// The two windows, made on the calling thread and destroyed with the object.
class RemoteWindows {
public:
  RemoteWindows();
  ~RemoteWindows();
  RemoteWindows(const RemoteWindows&) = delete;
  RemoteWindows& operator=(const RemoteWindows&) = delete;

  bool Ok() const { return frame_ != 0 && remote_ != 0; }
  win::Hwnd Frame() const { return frame_; }
  win::Hwnd Remote() const { return remote_; }
  RemoteWindow& State() { return object_; }

private:
  RemoteWindow object_;
  win::Hwnd frame_ = 0;
  win::Hwnd remote_ = 0;
  bool registered_ = false;
};

} // namespace host

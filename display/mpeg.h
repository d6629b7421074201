// The MPEG board of background mode 2, driven by the "mpegvideo" device's
// command strings. Only the one board that names itself "Tessarin
// MpegVideo" is used; its picture is keyed on the colour (128, 0, 128).
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace display {

inline constexpr const char* kMpegProduct = "Tessarin MpegVideo";
inline constexpr gdi::Colour kMpegKeyColour = gdi::Rgb(128, 0, 128);
// The buffer "status mpegvideo mode" answers into.
inline constexpr size_t kModeAnswerSize = 10;

class MpegPlayer {
public:
  // True when the board is there.
  bool Detect(win::Hwnd window);
  // Opens the device for window; on success the window's class background
  // becomes the key colour. False (nothing changed) when a command fails.
  bool Open(win::Hwnd window, std::string_view title);
  void Close();
  bool Load(std::string_view file);
  bool Play();
  bool Stop();
  bool SeekStart();
  bool SeekEnd();
  bool Forward(int32_t n);
  bool Backward(int32_t n);
  bool Resume();
  bool Slow(int32_t n);
  bool Pause();
  bool Configure();
  bool Fit();
  bool VideoOff();
  bool VideoOn();
  bool IsPlaying();
  bool IsPaused();
  bool IsStopped();
  bool Audio(bool on);

  bool Present() const { return present_; }
  bool IsOpen() const { return open_; }
  bool Loaded() const { return loaded_; }
  // The result of Detect's open (0: the device opened).
  uint32_t LastOpenResult() const { return lastOpenResult_; }

private:
  bool Command(const std::string& command);
  bool ModeIs(std::string_view mode);

  bool present_ = false;
  bool open_ = false;
  bool loaded_ = false;
  uint32_t lastOpenResult_ = 0;
  win::Hwnd window_ = 0;
};

} // namespace display

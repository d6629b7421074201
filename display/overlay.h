// The video overlay card of background mode 1: its live picture shows behind
// the frame wherever the frame is painted in the card's key colour.
#pragma once

#include "display/settings.h"
#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace display {

inline constexpr const char* kOverlayModel = "Video Plomeer QT310";

class OverlayCard {
public:
  // Looks for an overlay device; remembers whether it is the known model.
  bool Probe();
  // Opens the card for window and keys it on a colour, which becomes the
  // background of the window's class. False (the card stays closed) when
  // a command fails.
  bool Open(win::Hwnd window, std::string_view windowText);
  void Close();
  bool Place(int32_t width, int32_t height);
  // Input 2 is the card's input 3.
  bool SelectSource(int32_t source);
  bool SetPictureValue(std::string_view name, int32_t value);
  bool VideoOn();
  bool VideoOff();

  // [Overlay] Video x/y and Dest x/y.
  void ReadPositions(const std::string& configPath);
  bool WritePositions(const std::string& configPath) const;

  bool Available() const { return available_; }
  bool IsOpen() const { return open_; }
  bool IsModel() const { return model_; }
  bool NeedsSettingsDialog() const { return !available_ || !model_; }
  gdi::Colour KeyColour() const { return keyColour_; }
  win::Hwnd CardWindow() const { return cardWindow_; }

private:
  bool available_ = false;
  bool model_ = false;
  bool open_ = false;
  gdi::Colour keyColour_ = 0;
  win::Hwnd cardWindow_ = 0;
  OverlaySettings positions_;
};

} // namespace display

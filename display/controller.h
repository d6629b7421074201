// The floating controller bar opened by command 20001: buttons for the
// background modes and the MPEG transport.
#pragma once

#include "platform/gdi/types.h"
#include "platform/win/messages.h"

namespace display {

class CKivo32Frame;

class LyricWindowController {
public:
  explicit LyricWindowController(CKivo32Frame& frame) : frame_(frame) {}
  // Opens the bar at a screen point, closing an open one; false when it
  // cannot be made.
  bool Open(gdi::Point screenPoint);
  void Close();
  // Follows the MPEG player's state on the Play button.
  void Update();
  bool IsOpen() const { return bar_ != 0; }

private:
  CKivo32Frame& frame_;
  win::Hwnd bar_ = 0;
};

} // namespace display

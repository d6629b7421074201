// The receiver of the display protocol: the records and WM_USER codes that
// reach the frame from the player core, the host and the display's own
// windows.
#pragma once

#include "platform/win/messages.h"

#include <cstdint>

namespace display {

class CKivo32Frame;

class LyricReceiver {
public:
  explicit LyricReceiver(CKivo32Frame& frame) : frame_(frame) {}

  // WM_COPYDATA: from is the sending window. Every kind returns 0.
  win::LResult OnCopyData(win::WParam from, const win::CopyData& data);
  // WM_USER: code in wParam, argument in lParam.
  win::LResult OnUser(win::WParam code, win::LParam argument);

private:
  CKivo32Frame& frame_;
};

} // namespace display

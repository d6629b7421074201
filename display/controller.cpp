#include "display/controller.h"

#include "platform/win/window.h"

namespace display {

// The bar's window and buttons come with the controller's own class; until
// then there is no bar to open.
bool LyricWindowController::Open(gdi::Point) {
  Close();
  return false;
}

void LyricWindowController::Close() {
  if (bar_ && win::IsWindow(bar_))
    win::DestroyWindow(bar_);
  bar_ = 0;
}

void LyricWindowController::Update() {}

} // namespace display

#include "display/imageengine.h"

#include "display/medialist.h"
#include "display/utils.h"

namespace display {

bool BackgroundImageEngine::Initialise(win::Hwnd frame, MediaList* images) {
  frame_ = frame;
  images_ = images;
  return true;
}

int32_t BackgroundImageEngine::ImageCount() const {
  return images_ ? images_->TotalFiles() : 0;
}

void BackgroundImageEngine::PaintDefault(gdi::Dc& dc, const gdi::Rect& area) {
  if (!defaultBackground_.DrawTiled(dc, area))
    dc.FillRect(area, kColour3dFace);
}

void BackgroundImageEngine::Paint(gdi::Dc& dc, const gdi::Rect& area) {
  PaintDefault(dc, area);
}

bool BackgroundImageEngine::LoadNextImageNow(win::Hwnd, bool pathGiven) {
  if (!pathGiven || nextImagePath_.empty() || !FileExists(nextImagePath_)) {
    nextImagePath_.clear();
    return false;
  }
  return false;
}

} // namespace display

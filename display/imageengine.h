// The still-image background of mode 0: the shown image laid out over the
// frame's client area, with the default background under and around it.
#pragma once

#include "display/bkbitmap.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace display {

class MediaList;

class BackgroundImageEngine {
public:
  explicit BackgroundImageEngine(std::string configPath) : configPath_(std::move(configPath)) {}

  // Takes the frame and its Image list and loads the first image.
  bool Initialise(win::Hwnd frame, MediaList* images);
  void SetLayoutType(int32_t type) { type_ = type; }
  int32_t LayoutType() const { return type_; }
  // [Image] IsFix: the image keeps its own size.
  void SetFixed(bool fixed) { fixed_ = fixed; }
  bool Fixed() const { return fixed_; }
  void SetClientRect(const gdi::Rect& client) { client_ = client; }

  // Paints the shown image (or, without one, the default background) over
  // area of the client.
  void Paint(gdi::Dc& dc, const gdi::Rect& area);
  // Paints the default background alone.
  void PaintDefault(gdi::Dc& dc, const gdi::Rect& area);
  // Lays the shown image out again for the current client area.
  void Recompose() {}
  // Realises the shown image's palette; true when colours changed.
  bool RealisePalette(win::Hwnd, bool) { return false; }
  // Loads the next image into the receiving slot now; false when there is
  // none to load.
  bool LoadNextImageNow(win::Hwnd frame, bool pathGiven);
  // Frees both image slots.
  void Stop() {}

  BackgroundBitmap& DefaultBackground() { return defaultBackground_; }
  std::string& NextImagePath() { return nextImagePath_; }
  int32_t ImageCount() const;
  bool LoaderBusy() const { return busy_.load(); }

private:
  std::string configPath_;
  win::Hwnd frame_ = 0;
  MediaList* images_ = nullptr;
  int32_t type_ = 0;
  bool fixed_ = false;
  gdi::Rect client_;
  BackgroundBitmap defaultBackground_;
  std::string nextImagePath_;
  std::atomic<bool> busy_{false};
};

} // namespace display

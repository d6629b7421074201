// The still-image background of mode 0: images loaded into two slots used
// in turn (one shown, one receiving the next), each laid out once over the
// frame's client area, with the default background under and around them.
// User-interface thread only.
#pragma once

#include "display/bkbitmap.h"
#include "display/imagelayout.h"
#include "display/stills/load.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace display {

class MediaList;

// The next-image path holds at most this many bytes with its terminator.
constexpr size_t kImagePathBytes = 260;
// Random picks tried until one differs from the last image picked.
constexpr int kPickTries = 10;

// One image slot: the decoded image (from the own decoders or the imaging
// library), its palette, its layout and the bitmap composed from it.
struct ImageSlot {
  std::optional<stills::LoadedStill> still;
  std::optional<Composed> composed;
  Layout layout = Layout::Stretched;
  std::string path;

  bool HasImage() const { return still.has_value(); }
  void Clear() {
    still.reset();
    composed.reset();
    path.clear();
  }
};

class BackgroundImageEngine {
public:
  explicit BackgroundImageEngine(std::string configPath) : configPath_(std::move(configPath)) {}

  // Takes the frame and its Image list, reads the settings and loads the
  // first image ([Image] DefaultFile, else a pick from the list).
  bool Initialise(win::Hwnd frame, MediaList* images);
  void SetLayoutType(int32_t type) { settings_.type = type; }
  int32_t LayoutType() const { return settings_.type; }
  // [Image] IsFix: the image keeps its own size.
  void SetFixed(bool fixed) { settings_.fixed = fixed; }
  bool Fixed() const { return settings_.fixed; }
  void SetClientRect(const gdi::Rect& client) { client_ = client; }
  // The screen's bits per pixel (1 counts as 16), queried at Initialise.
  void SetScreenBits(int bits) { screenBits_ = bits == 1 ? 16 : bits; }

  // Paints the shown image (or, without one, the default background) over
  // area of the client; a view behind which it shows passes the client's
  // corner in its own coordinates as origin.
  void Paint(gdi::Dc& dc, const gdi::Rect& area, gdi::Point origin = {0, 0});
  // Paints the default background alone.
  void PaintDefault(gdi::Dc& dc, const gdi::Rect& area, gdi::Point origin = {0, 0});
  // Lays the shown image out again for the current client area.
  void Recompose();
  // Realises the shown image's palette; true when colours changed.
  bool RealisePalette(win::Hwnd, bool) { return false; }
  // Loads the next image into the receiving slot and shows it. Without
  // pathGiven the next image is picked first. Failure empties the
  // next-image path and leaves the shown image.
  bool LoadNextImageNow(win::Hwnd frame, bool pathGiven);
  // A random pick over all folders, up to kPickTries times until it differs
  // from the last one; the result becomes the next-image path. False when
  // the list gives nothing.
  bool PickNextImage();
  // Shows the stop image: the DefaultFile image when there is one, else
  // nothing (the default background shows).
  void ShowStopImage();
  // Frees both image slots.
  void Stop();

  BackgroundBitmap& DefaultBackground() { return defaultBackground_; }
  std::string& NextImagePath() { return nextImagePath_; }
  const std::string& FallbackPath() const { return fallbackPath_; }
  int32_t ImageCount() const;
  bool LoaderBusy() const { return busy_.load(); }
  // True when Initialise showed an image the frame must count as requested.
  bool FirstImageRequested() const { return firstImageRequested_; }
  const ImageSlot& ShownSlot() const { return slots_[1 - receiving_]; }

private:
  // Loads path into the receiving slot and composes it; the slot is left
  // empty on failure.
  bool LoadIntoReceiving(const std::string& path);
  bool Compose(ImageSlot& slot);

  std::string configPath_;
  win::Hwnd frame_ = 0;
  MediaList* images_ = nullptr;
  LayoutSettings settings_;
  int screenBits_ = 32;
  gdi::Rect client_;
  BackgroundBitmap defaultBackground_;
  ImageSlot slots_[2];
  int receiving_ = 0; // the other slot is shown
  std::string nextImagePath_;
  std::string fallbackPath_;
  std::string lastPick_;
  bool firstImageRequested_ = false;
  std::atomic<bool> busy_{false};
};

} // namespace display

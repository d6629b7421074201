// The still-image background of mode 0: images loaded into two slots used
// in turn (one shown, one receiving the next), each laid out once over the
// frame's client area, with the default background under and around them.
// With asynchronous loading the next image is preloaded into the receiving
// slot by a worker (one at a time) while the shown one is painted; the
// worker touches only the receiving slot and the loader flags, and tells
// the frame it ended by posting kLoaderDoneMessage, whose handler
// (FinishLoader) joins it on the user-interface thread. Everything else is
// for the user-interface thread only.
#pragma once

#include "display/bkbitmap.h"
#include "display/imagelayout.h"
#include "display/imageworkers.h"
#include "display/stills/load.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/types.h"
#include "platform/win/messages.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace display {

class MediaList;

// The next-image path holds at most this many bytes with its terminator.
constexpr size_t kImagePathBytes = 260;
// Random picks tried until one differs from the last image picked.
constexpr int kPickTries = 10;
// Images a request tries at most when each fails to load.
constexpr int32_t kMaxLoadAttempts = 32;
// Posted to the frame by a loader or recompose worker that has ended.
inline constexpr uint32_t kLoaderDoneMessage = win::WM_USER + 104;

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
  explicit BackgroundImageEngine(std::string configPath);
  ~BackgroundImageEngine();

  // Takes the frame and its Image list, reads the settings and loads the
  // first image ([Image] DefaultFile, else a pick from the list).
  bool Initialise(win::Hwnd frame, MediaList* images);
  void SetLayoutType(int32_t type) { settings_.type = type; }
  int32_t LayoutType() const { return settings_.type; }
  // [Image] IsFix: the image keeps its own size.
  void SetFixed(bool fixed) { settings_.fixed = fixed; }
  bool Fixed() const { return settings_.fixed; }
  void SetClientRect(const gdi::Rect& client) { client_ = client; }
  // [Image] AsyncLoading, read by the frame: Initialise preloads the
  // following image.
  void SetAsyncLoading(bool async) { async_ = async; }
  // The screen's bits per pixel (1 counts as 16), queried at Initialise.
  void SetScreenBits(int bits) { screenBits_ = bits == 1 ? 16 : bits; }
  // [Config] FixedFrame: without it, a load on an 8-bit palette screen
  // paints the default background over the frame first, so that the
  // palette in use stays steady while the new picture comes in.
  void SetFixedFrame(bool fixed) { fixedFrame_ = fixed; }

  // Paints the shown image (or, without one, the default background) over
  // area of the client; a view behind which it shows passes the client's
  // corner in its own coordinates as origin.
  void Paint(gdi::Dc& dc, const gdi::Rect& area, gdi::Point origin = {0, 0});
  // Paints the default background alone.
  void PaintDefault(gdi::Dc& dc, const gdi::Rect& area, gdi::Point origin = {0, 0});
  // Lays the shown image out again for the current client area.
  void Recompose();
  // Realises the shown image's palette in the window's context (on a
  // palette screen); true when colours changed, and then the window is
  // repainted with them. Nothing for an image without a palette.
  bool RealisePalette(win::Hwnd window, bool foreground);
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
  // Frees both image slots (a running worker ends first).
  void Stop();

  // The loader: unless busy, marks busy and loads the next-image path (or,
  // without pathGiven, a folder pick of the Image list's current folder)
  // into the receiving slot on a worker, without showing it. False when a
  // worker runs.
  bool StartLoader(bool pathGiven);
  // The receiving slot laid out again for the client on a worker; while a
  // worker runs, asks it to do so when its load ends.
  void StartRecompose();
  // Shows the preloaded image: the slots change places (the one shown
  // before is kept, for the swap back). False while a worker runs or when
  // nothing was preloaded.
  bool TakeOver();
  // The frame's kLoaderDoneMessage: joins the worker; when the slots had
  // been taken over and the loader found no file, the image shown before
  // shows again; clears busy last. True when a request waits to be shown
  // (show-when-ready).
  bool FinishLoader();
  // A request that arrived while a worker ran waits for its end.
  void SetShowWhenReady() { showWhenReady_ = true; }
  bool ShowWhenReady() const { return showWhenReady_.load(); }
  bool Ready() const { return ready_.load(); }
  bool Swapped() const { return swapped_; }
  // The receiving slot (the worker's while busy).
  const ImageSlot& ReceivingSlot() const { return slots_[receiving_]; }
  // Whether path names a file the engine can open.
  static bool NamesFile(const std::string& path);
  // At most this many loads for one request: the list's files, at most 32.
  int32_t LoadAttemptLimit() const;

  BackgroundBitmap& DefaultBackground() { return defaultBackground_; }
  std::string& NextImagePath() { return nextImagePath_; }
  const std::string& FallbackPath() const { return fallbackPath_; }
  int32_t ImageCount() const;
  bool LoaderBusy() const { return busy_.load(); }
  // True when Initialise showed an image the frame must count as requested.
  bool FirstImageRequested() const { return firstImageRequested_; }
  const ImageSlot& ShownSlot() const { return slots_[1 - receiving_]; }

private:
  // Loads path into slot and composes it for client; the slot is left
  // empty on failure.
  bool LoadInto(ImageSlot& slot, const std::string& path, const LayoutSettings& settings,
                const gdi::Rect& client);
  bool LoadIntoReceiving(const std::string& path);
  // Initialise's first image from the list (the "Special" folder with
  // ImageMode bit 0); true when one was tried.
  bool PickFirstImage(int32_t imageMode);
  bool Compose(ImageSlot& slot);
  bool ComposeFor(ImageSlot& slot, const LayoutSettings& settings, const gdi::Rect& client);
  // The worker's run of the loader.
  void RunLoader(std::string path, bool pathGiven, std::string folder, LayoutSettings settings,
                 gdi::Rect client);
  // Lays the receiving slot out again when a recompose was asked for
  // meanwhile.
  void RecomposeIfRequested();

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
  bool async_ = false;
  bool fixedFrame_ = false;

  std::unique_ptr<ImageWorkers> workers_;
  std::atomic<bool> busy_{false};
  std::atomic<bool> ready_{false};
  std::atomic<bool> showWhenReady_{false};
  bool swapped_ = false;
  // Set by the loader when its path named no file; read after the join.
  bool loaderFoundNoFile_ = false;
  // A recompose asked for while a worker runs, with the client and the
  // settings it is for.
  std::mutex requestMutex_;
  bool recomposeRequested_ = false;
  gdi::Rect requestedClient_;
  LayoutSettings requestedSettings_;
};

} // namespace display

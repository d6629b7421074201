#include "display/imageengine.h"

#include "display/medialist.h"
#include "display/settings.h"
#include "display/stills/result.h"
#include "display/utils.h"
#include "platform/media/clock.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <filesystem>

namespace display {
namespace {

// Where a path is opened: stored (Windows-form) paths from the lists are
// translated, names are matched ignoring letter case.
std::string AccessPath(const std::string& path) {
  if (!path.empty() && path.front() == '/') {
    const std::string linux = MediaFilePath(path);
    return sys::FindIgnoringCase(linux).value_or(linux);
  }
  if (path.find('\\') != std::string::npos || (path.size() >= 2 && path[1] == ':'))
    if (auto resolved = sys::ResolveStoredPath(path))
      return *resolved;
  return sys::FindIgnoringCase(path).value_or(path);
}

bool Exists(const std::string& path) {
  return !path.empty() && FileExists(AccessPath(path));
}

// folder joined with name by the folder's own separator.
std::string Join(const std::string& folder, std::string_view name) {
  const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
  return folder + separator + std::string(name);
}

} // namespace

BackgroundImageEngine::BackgroundImageEngine(std::string configPath)
    : configPath_(std::move(configPath)), workers_(MakeImageWorkers()) {}

BackgroundImageEngine::~BackgroundImageEngine() {
  workers_->Join();
}

bool BackgroundImageEngine::NamesFile(const std::string& path) {
  return Exists(path);
}

bool BackgroundImageEngine::Initialise(win::Hwnd frame, MediaList* images) {
  frame_ = frame;
  images_ = images;
  SetScreenBits(gdi::Dc::CreateMemory().DeviceCaps(gdi::DeviceCap::BitsPixel));
  settings_.skipX = sys::IniGetInt(configPath_, "Image", "Skip_x", 0);
  settings_.skipY = sys::IniGetInt(configPath_, "Image", "Skip_y", 0);
  int32_t imageMode = sys::IniGetInt(configPath_, "Options", "ImageMode", 0);

  const std::string defaultFile = sys::IniGetString(configPath_, "Image", "DefaultFile", "@");
  const std::string folder = std::filesystem::path(configPath_).parent_path().string();
  bool fromDefault = false, tried = false;
  if (defaultFile != "@" && !defaultFile.empty() && Exists(Join(folder, defaultFile))) {
    fallbackPath_ = Join(folder, defaultFile);
    nextImagePath_ = fallbackPath_;
    firstImageRequested_ = true;
    LoadNextImageNow(frame, true);
    fromDefault = true;
  } else if (images_ && !images_->Empty()) {
    tried = PickFirstImage(imageMode);
  }
  if (async_) {
    // The following image preloads while the first one shows.
    if (fromDefault || !tried)
      nextImagePath_ = fallbackPath_;
    else if (!PickNextImage())
      nextImagePath_.clear();
    if (!nextImagePath_.empty())
      StartLoader(true);
  }
  return true;
}

bool BackgroundImageEngine::PickFirstImage(int32_t imageMode) {
  const std::optional<std::string> backgroundFolder =
      ReadFrameSettings(configPath_).backgroundFolder;
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::optional<std::string> pick;
    if (imageMode & 1) {
      const std::string special = backgroundFolder ? Join(*backgroundFolder, "Special") : "";
      if (special.empty() || !std::filesystem::is_directory(AccessPath(special))) {
        imageMode &= ~1;
        continue;
      }
      images_->SetCurrentFolder(special);
      pick = images_->FolderPick();
    } else {
      pick = images_->RandomPick();
    }
    if (!pick)
      return false;
    nextImagePath_ = *pick;
    LoadNextImageNow(frame_, true);
    return true;
  }
  return false;
}

bool BackgroundImageEngine::RealisePalette(win::Hwnd window, bool foreground) {
  const ImageSlot& shown = slots_[1 - receiving_];
  if (!shown.still || !shown.still->palette || !window)
    return false;
  auto dc = ui::GetDc(window);
  if (!dc)
    return false;
  auto old = dc->SelectPalette(shown.still->palette, !foreground);
  const bool changed = dc->RealizePalette() > 0;
  dc->SelectPalette(old, !foreground);
  if (changed)
    ui::InvalidateRect(window, nullptr, false);
  return changed;
}

int32_t BackgroundImageEngine::ImageCount() const {
  return images_ ? images_->TotalFiles() : 0;
}

void BackgroundImageEngine::PaintDefault(gdi::Dc& dc, const gdi::Rect& area, gdi::Point origin) {
  if (!defaultBackground_.DrawTiled(dc, area, origin))
    dc.FillRect(area, kColour3dFace);
}

void BackgroundImageEngine::Paint(gdi::Dc& dc, const gdi::Rect& area, gdi::Point origin) {
  ImageSlot& shown = slots_[1 - receiving_];
  // A slot preloaded for another size (or not laid out) is laid out now.
  if (shown.HasImage() &&
      (!shown.composed || shown.composed->bitmap->Width() != client_.Width() ||
       shown.composed->bitmap->Height() != client_.Height()))
    Compose(shown);
  if (!shown.composed) {
    PaintDefault(dc, area, origin);
    return;
  }
  dc.BitBlt(area.left, area.top, area.Width(), area.Height(), *shown.composed->bitmap,
            area.left - origin.x, area.top - origin.y, gdi::kSrcCopy);
}

void BackgroundImageEngine::Recompose() {
  ImageSlot& shown = slots_[1 - receiving_];
  if (shown.HasImage())
    Compose(shown);
}

bool BackgroundImageEngine::Compose(ImageSlot& slot) {
  return ComposeFor(slot, settings_, client_);
}

bool BackgroundImageEngine::ComposeFor(ImageSlot& slot, const LayoutSettings& settings,
                                       const gdi::Rect& client) {
  slot.composed.reset();
  if (!slot.still || client.IsEmpty())
    return false;
  slot.composed = ComposeStill(slot.still->dib, slot.layout, settings,
                               gdi::Size{client.Width(), client.Height()}, &defaultBackground_);
  return slot.composed.has_value();
}

bool BackgroundImageEngine::LoadInto(ImageSlot& slot, const std::string& path,
                                     const LayoutSettings& settings, const gdi::Rect& client) {
  slot.Clear();
  stills::LoadedStill still;
  if (stills::LoadStill(AccessPath(path), screenBits_, still) != stills::kDecoded)
    return false;
  slot.layout =
      ChooseLayout(settings, still.dib.Width(), still.dib.Height(), still.own, media::NowMs());
  slot.still = std::move(still);
  slot.path = path;
  ComposeFor(slot, settings, client);
  return true;
}

bool BackgroundImageEngine::LoadIntoReceiving(const std::string& path) {
  return LoadInto(slots_[receiving_], path, settings_, client_);
}

bool BackgroundImageEngine::PickNextImage() {
  if (!images_ || images_->Empty())
    return false;
  std::optional<std::string> pick;
  for (int i = 0; i < kPickTries; ++i) {
    pick = images_->RandomPick();
    if (!pick || *pick != lastPick_)
      break;
  }
  if (!pick)
    return false;
  nextImagePath_ = *pick;
  lastPick_ = *pick;
  return true;
}

bool BackgroundImageEngine::LoadNextImageNow(win::Hwnd frame, bool pathGiven) {
  // The receiving slot is the worker's while it runs.
  if (busy_.load())
    return false;
  if (!pathGiven && !PickNextImage()) {
    nextImagePath_.clear();
    return false;
  }
  if (nextImagePath_.size() >= kImagePathBytes || !Exists(nextImagePath_)) {
    nextImagePath_.clear();
    return false;
  }
  if (screenBits_ == 8 && !fixedFrame_ && frame)
    if (auto dc = ui::GetDc(frame))
      PaintDefault(*dc, ui::GetClientRect(frame).value_or(client_));
  if (!LoadIntoReceiving(nextImagePath_)) {
    nextImagePath_.clear();
    return false;
  }
  // A load on the user-interface thread shows its slot at once.
  receiving_ = 1 - receiving_;
  ready_ = false;
  swapped_ = false;
  return true;
}

void BackgroundImageEngine::ShowStopImage() {
  if (busy_.load()) {
    workers_->Join();
    FinishLoader();
  }
  if (!fallbackPath_.empty()) {
    nextImagePath_ = fallbackPath_;
    if (LoadNextImageNow(frame_, true))
      return;
  }
  slots_[1 - receiving_].Clear();
}

void BackgroundImageEngine::Stop() {
  workers_->Join();
  busy_ = false;
  ready_ = false;
  showWhenReady_ = false;
  for (ImageSlot& slot : slots_)
    slot.Clear();
  fallbackPath_.clear();
}

int32_t BackgroundImageEngine::LoadAttemptLimit() const {
  return std::clamp(ImageCount(), 1, kMaxLoadAttempts);
}

bool BackgroundImageEngine::StartLoader(bool pathGiven) {
  if (busy_.exchange(true))
    return false;
  std::string folder = images_ ? images_->CurrentFolder() : std::string();
  {
    std::lock_guard lock(requestMutex_);
    recomposeRequested_ = false;
  }
  loaderFoundNoFile_ = false;
  workers_->Start([this, path = nextImagePath_, pathGiven, folder = std::move(folder),
                   settings = settings_, client = client_] {
    RunLoader(path, pathGiven, folder, settings, client);
  });
  return true;
}

void BackgroundImageEngine::RunLoader(std::string path, bool pathGiven, std::string folder,
                                      LayoutSettings settings, gdi::Rect client) {
  ready_ = false;
  if (!pathGiven)
    path = images_ ? images_->FolderPickIn(folder).value_or(std::string()) : std::string();
  if (path.size() < kImagePathBytes && Exists(path)) {
    ImageSlot& slot = slots_[receiving_];
    ready_ = LoadInto(slot, path, settings, client);
  } else {
    loaderFoundNoFile_ = true;
  }
  RecomposeIfRequested();
  win::PostMessage(frame_, kLoaderDoneMessage, 0, 0);
}

void BackgroundImageEngine::RecomposeIfRequested() {
  LayoutSettings settings;
  gdi::Rect client;
  {
    std::lock_guard lock(requestMutex_);
    if (!recomposeRequested_)
      return;
    recomposeRequested_ = false;
    settings = requestedSettings_;
    client = requestedClient_;
  }
  ImageSlot& slot = slots_[receiving_];
  if (slot.HasImage())
    ComposeFor(slot, settings, client);
}

void BackgroundImageEngine::StartRecompose() {
  {
    std::lock_guard lock(requestMutex_);
    requestedClient_ = client_;
    requestedSettings_ = settings_;
    if (busy_.load()) {
      recomposeRequested_ = true;
      return;
    }
  }
  if (!slots_[receiving_].HasImage() || busy_.exchange(true))
    return;
  {
    std::lock_guard lock(requestMutex_);
    recomposeRequested_ = true;
  }
  loaderFoundNoFile_ = false;
  workers_->Start([this] {
    RecomposeIfRequested();
    win::PostMessage(frame_, kLoaderDoneMessage, 0, 0);
  });
}

bool BackgroundImageEngine::TakeOver() {
  if (busy_.load() || !ready_.load())
    return false;
  receiving_ = 1 - receiving_;
  ready_ = false;
  swapped_ = true;
  return true;
}

bool BackgroundImageEngine::FinishLoader() {
  if (!busy_.load())
    return false;
  workers_->Join();
  // Taken over, and nothing followed: the image shown before comes back.
  if (loaderFoundNoFile_ && swapped_)
    receiving_ = 1 - receiving_;
  swapped_ = false;
  loaderFoundNoFile_ = false;
  bool again = false;
  {
    std::lock_guard lock(requestMutex_);
    again = recomposeRequested_;
  }
  busy_ = false;
  // A size change that came after the worker looked is laid out now.
  if (again)
    StartRecompose();
  return showWhenReady_.exchange(false);
}

} // namespace display

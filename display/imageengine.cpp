#include "display/imageengine.h"

#include "display/medialist.h"
#include "display/settings.h"
#include "display/stills/result.h"
#include "display/utils.h"
#include "platform/media/clock.h"
#include "platform/sys/ini.h"
#include "platform/sys/paths.h"

#include <filesystem>

namespace display {
namespace {

// Where a path is opened: stored (Windows-form) paths from the lists are
// translated, names are matched ignoring letter case.
std::string AccessPath(const std::string& path) {
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

bool BackgroundImageEngine::Initialise(win::Hwnd frame, MediaList* images) {
  frame_ = frame;
  images_ = images;
  SetScreenBits(gdi::Dc::CreateMemory().DeviceCaps(gdi::DeviceCap::BitsPixel));
  settings_.skipX = sys::IniGetInt(configPath_, "Image", "Skip_x", 0);
  settings_.skipY = sys::IniGetInt(configPath_, "Image", "Skip_y", 0);
  int32_t imageMode = sys::IniGetInt(configPath_, "Options", "ImageMode", 0);

  const std::string defaultFile = sys::IniGetString(configPath_, "Image", "DefaultFile", "@");
  const std::string folder = std::filesystem::path(configPath_).parent_path().string();
  if (defaultFile != "@" && !defaultFile.empty() && Exists(Join(folder, defaultFile))) {
    fallbackPath_ = Join(folder, defaultFile);
    nextImagePath_ = fallbackPath_;
    firstImageRequested_ = true;
    LoadNextImageNow(frame, true);
    return true;
  }
  if (!images_ || images_->Empty())
    return true;
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
      break;
    nextImagePath_ = *pick;
    LoadNextImageNow(frame, true);
    break;
  }
  return true;
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
  if (shown.HasImage() && !shown.composed)
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
  slot.composed.reset();
  if (!slot.still || client_.IsEmpty())
    return false;
  slot.composed = ComposeStill(slot.still->dib, slot.layout, settings_,
                               gdi::Size{client_.Width(), client_.Height()}, &defaultBackground_);
  return slot.composed.has_value();
}

bool BackgroundImageEngine::LoadIntoReceiving(const std::string& path) {
  ImageSlot& slot = slots_[receiving_];
  slot.Clear();
  stills::LoadedStill still;
  if (stills::LoadStill(AccessPath(path), screenBits_, still) != stills::kDecoded)
    return false;
  slot.layout =
      ChooseLayout(settings_, still.dib.Width(), still.dib.Height(), still.own, media::NowMs());
  slot.still = std::move(still);
  slot.path = path;
  Compose(slot);
  return true;
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

bool BackgroundImageEngine::LoadNextImageNow(win::Hwnd, bool pathGiven) {
  if (!pathGiven && !PickNextImage()) {
    nextImagePath_.clear();
    return false;
  }
  if (nextImagePath_.size() >= kImagePathBytes || !Exists(nextImagePath_) ||
      !LoadIntoReceiving(nextImagePath_)) {
    nextImagePath_.clear();
    return false;
  }
  // A load on the user-interface thread shows its slot at once.
  receiving_ = 1 - receiving_;
  return true;
}

void BackgroundImageEngine::ShowStopImage() {
  if (!fallbackPath_.empty()) {
    nextImagePath_ = fallbackPath_;
    if (LoadNextImageNow(frame_, true))
      return;
  }
  slots_[1 - receiving_].Clear();
}

void BackgroundImageEngine::Stop() {
  for (ImageSlot& slot : slots_)
    slot.Clear();
  fallbackPath_.clear();
}

} // namespace display

// The frame's still-image requests from the player core.
#include "display/frame.h"
#include "display/imagerequest.h"
#include "display/info.h"
#include "display/medialist.h"
#include "display/utils.h"

#include "platform/sys/log.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

namespace display {

void CKivo32Frame::RequestImage(std::span<const uint8_t> record) {
  if (!engine_)
    return;
  const win::Hwnd self = Hwnd();
  const ImageRequest r = ReadImageRequest(record, backgroundMode_, asyncLoading_, backgroundFolder_);
  if (imageList_->Empty())
    imageRequest_ = true;
  switch (r.kind) {
  case ImageRequest::Kind::Refused:
    sys::Warn("display", "an image name longer than a path is refused");
    return;
  case ImageRequest::Kind::Next:
    if (r.target == ImageTarget::Still)
      win::PostMessage(self, r.message, 0, 0);
    else if (r.target == ImageTarget::InfoVideo)
      win::PostMessage(self, win::WM_COMMAND, cmd::kPlayVideo, 0);
    return;
  case ImageRequest::Kind::File:
    if (r.target == ImageTarget::Still) {
      // A file of the Image list by its name, else a path as it stands.
      std::optional<std::string> found = imageList_->FindByName(r.name);
      if (!found && FileExists(r.name))
        found = r.name;
      engine_->NextImagePath() = found.value_or(std::string());
      win::PostMessage(self, r.message, 0, found ? 1 : 0);
    } else if (r.target == ImageTarget::InfoVideo && info_) {
      info_->VideoPath() = r.name;
      win::PostMessage(self, win::WM_COMMAND, cmd::kPlayVideo, 1);
    }
    return;
  case ImageRequest::Kind::Folder:
    if (r.target == ImageTarget::Still) {
      imageList_->SetCurrentFolder(r.name);
      win::PostMessage(self, win::WM_COMMAND, cmd::kMediaPick, 0);
    } else if (r.target == ImageTarget::InfoVideo) {
      videoList_->SetCurrentFolder(r.name);
      win::PostMessage(self, win::WM_COMMAND, cmd::kMediaPick, 1);
    }
    return;
  }
}

bool CKivo32Frame::RequestImagePath(const std::string& path) {
  if (!engine_ || path.size() >= kImagePathBytes || !BackgroundImageEngine::NamesFile(path))
    return false;
  imageRequest_ = true;
  engine_->NextImagePath() = path;
  win::SendMessage(Hwnd(), kNextImageMessage, 0, 1);
  return true;
}

bool CKivo32Frame::RequestImageSubfolder(std::string_view name) {
  if (name.size() > kSubfolderChars) {
    sys::Warn("display", "a subfolder name longer than %zu characters is refused",
              kSubfolderChars);
    return false;
  }
  waitingFolder_ = std::string(name);
  win::PostMessage(Hwnd(), win::WM_COMMAND, cmd::kFolderPick, 0);
  return true;
}

void CKivo32Frame::SetFixedFrame(int32_t fixed) {
  fixedFrame_ = fixed != 0;
  if (engine_)
    engine_->SetFixedFrame(fixedFrame_);
}

void CKivo32Frame::ShowStopImage() {
  if (!engine_)
    return;
  engine_->ShowStopImage();
  ui::InvalidateRect(Hwnd(), nullptr, true);
}

} // namespace display

#include "display/avi.h"

#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

#include <charconv>
#include <cstdio>

namespace display {

std::string CutErrorText(std::string_view text, size_t size) {
  if (size == 0)
    return {};
  size_t n = std::min(text.size(), size - 1);
  if (n < text.size())
    // Back over continuation bytes to the start of the character cut.
    while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80)
      --n;
  return std::string(text.substr(0, n));
}

AviPlayer::AviPlayer(ErrorTextSource errorText) : errorSource_(std::move(errorText)) {
  if (!errorSource_)
    errorSource_ = [](uint32_t e) { return media::mci::ErrorText(e); };
}

AviPlayer::~AviPlayer() {
  Close();
}

uint32_t AviPlayer::Send(std::string_view command, std::string* answer, win::Hwnd notify) {
  return media::mci::SendCommand(device_, command, answer, 128, notify);
}

bool AviPlayer::Open(win::Hwnd parent, const std::string& path) {
  if (open_)
    Close();
  media::mci::OpenParams p;
  p.element = path;
  p.parent = parent;
  p.style = win::WS_CHILD;
  p.hasStyle = true;
  media::mci::DeviceId id = 0;
  if (const uint32_t e = media::mci::Open(p, &id); e != media::mci::kOk) {
    errorText_ = CutErrorText(errorSource_(e));
    return false;
  }
  errorText_.clear();
  device_ = id;
  open_ = true;
  // A new clip starts stopped: the next play command plays it.
  playing_ = false;
  Send("setaudio off");
  Send("window state show");
  std::string handle;
  videoWindow_ = 0;
  if (Send("status window handle", &handle) == media::mci::kOk) {
    uint32_t h = 0;
    std::from_chars(handle.data(), handle.data() + handle.size(), h);
    videoWindow_ = h;
  }
  Place(parent);
  return true;
}

void AviPlayer::Place(win::Hwnd parent) {
  if (!open_)
    return;
  if (!parent) {
    // No parent to place it by: the clip's window goes out of sight.
    if (videoWindow_)
      ui::ShowWindow(videoWindow_, ui::SW_HIDE);
    return;
  }
  const gdi::Rect client = ui::GetClientRect(parent).value_or(gdi::Rect{});
  if (fullScreen_) {
    rect_ = gdi::MakeRect(0, 0, client.Width(), client.Height());
  } else {
    std::string where;
    int32_t x = 0, y = 0, w = 0, h = 0;
    if (Send("where source", &where) != media::mci::kOk ||
        std::sscanf(where.c_str(), "%d %d %d %d", &x, &y, &w, &h) != 4)
      return;
    rect_ = gdi::MakeRect(client.Width() / 2 - w / 2, client.Height() / 2 - h / 2, w, h);
  }
  char put[96];
  std::snprintf(put, sizeof put, "put window at %d %d %d %d", rect_.left, rect_.top,
                rect_.Width(), rect_.Height());
  if (rect_.Width() > 0 && rect_.Height() > 0)
    Send(put);
  if (videoWindow_)
    ui::ShowWindow(videoWindow_, ui::SW_SHOW);
}

void AviPlayer::PlayOrStop(win::Hwnd notify, bool allow) {
  playing_ = allow ? !playing_ : false;
  if (!open_)
    return;
  if (!playing_)
    Send("stop");
  else
    Send(playOnce_ ? "play notify" : "play notify repeat", nullptr, notify);
}

void AviPlayer::RealisePalette() {
  if (open_)
    Send("realize normal");
}

void AviPlayer::Close() {
  if (device_)
    Send("close");
  device_ = 0;
  open_ = false;
  playing_ = false;
  videoWindow_ = 0;
  rect_ = {};
}

bool AviPlayer::OwnsNotice(win::LParam device) const {
  return open_ && device_ != 0 && static_cast<media::mci::DeviceId>(device) == device_;
}

} // namespace display

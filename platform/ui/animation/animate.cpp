#include "platform/ui/animation/animate.h"

#include "platform/media/video_player.h"
#include "platform/res/bundle.h"
#include "platform/ui/window/paint.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"

#include <algorithm>
#include <optional>
#include <cmath>
#include <fstream>
#include <iterator>

namespace ui {
namespace {

constexpr uint32_t kFrameTimer = 1;
const std::vector<uint32_t> kNoPixels;


} // namespace

bool AnimateControl::Register() {
  static const bool registered = [] {
    ScreenClass c;
    c.name = kAnimateClass;
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.factory = [] { return std::unique_ptr<ScreenWindow>(new AnimateControl); };
    return RegisterScreenClass(c);
  }();
  return registered;
}

bool AnimateControl::Decode(std::shared_ptr<const std::vector<uint8_t>> bytes) {
  Close();
  std::string error;
  auto player = media::VideoPlayer::OpenBytes(std::move(bytes), &error);
  if (!player)
    return false;
  const media::VideoInfo& info = player->Info();
  width_ = info.width;
  height_ = info.height;
  periodMs_ = std::max<uint32_t>(1, static_cast<uint32_t>(std::lround(info.frameMs)));
  const int64_t count = info.frames > 0 ? info.frames
                                        : static_cast<int64_t>(info.lengthMs / periodMs_);
  // Every frame once, kept for the loop.
  for (int64_t k = 0; k < count; ++k) {
    if (!player->Seek(static_cast<uint32_t>(std::lround(k * info.frameMs))))
      break;
    auto frame = player->CurrentFrame();
    if (!frame || !frame->pixels)
      break;
    frames_.push_back(*frame->pixels);
  }
  player->Stop();
  if (frames_.empty())
    return false;
  current_ = 0;
  DrawFrame();
  return true;
}

bool AnimateControl::Open(const res::Bundle& bundle, uint32_t id) {
  auto bytes = bundle.File("animations/" + std::to_string(id) + ".avi");
  if (!bytes || !Decode(std::make_shared<const std::vector<uint8_t>>(std::move(*bytes))))
    return false;
  clip_ = id;
  return true;
}

bool AnimateControl::OpenFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  auto bytes = std::make_shared<std::vector<uint8_t>>(std::istreambuf_iterator<char>(in),
                                                      std::istreambuf_iterator<char>());
  if (!Decode(bytes))
    return false;
  clip_ = 0;
  return true;
}

void AnimateControl::Close() {
  Stop();
  frames_.clear();
  clip_ = 0;
  current_ = 0;
}

bool AnimateControl::Play(uint32_t from, int32_t to, int32_t repeat) {
  if (frames_.empty())
    return false;
  const int32_t last = FrameCount() - 1;
  from_ = std::min(static_cast<int32_t>(from), last);
  to_ = to < 0 ? last : std::min(to, last);
  if (to_ < from_)
    return false;
  repeat_ = repeat;
  current_ = from_;
  playing_ = true;
  DrawFrame();
  win::SetTimer(GetHwnd(), kFrameTimer, periodMs_);
  return true;
}

bool AnimateControl::Stop() {
  if (!playing_)
    return false;
  playing_ = false;
  win::KillTimer(GetHwnd(), kFrameTimer);
  return true;
}

const std::vector<uint32_t>& AnimateControl::FramePixels(int32_t frame) const {
  if (frame < 0 || frame >= FrameCount())
    return kNoPixels;
  return frames_[static_cast<size_t>(frame)];
}

void AnimateControl::DrawFrame() {
  auto dc = GetDc(GetHwnd());
  auto client = GetClientRect(GetHwnd());
  if (!dc || !client || client->Width() <= 0 || client->Height() <= 0)
    return;
  const uint32_t style = win::GetWindowStyle(GetHwnd());
  const bool transparent = (style & ACS_TRANSPARENT) != 0;
  // What the parent shows beneath the control, for the transparent parts.
  const win::Hwnd parent = win::GetParent(GetHwnd());
  std::optional<gdi::Dc> under = parent ? GetDc(parent) : std::nullopt;
  const gdi::Point origin = ScreenToClient(parent, ClientToScreen(GetHwnd(), {0, 0}));
  auto beneath = [&](int32_t x, int32_t y) {
    const gdi::Colour c = under ? under->GetPixel(origin.x + x, origin.y + y) : gdi::kInvalidColour;
    return c == gdi::kInvalidColour ? gdi::Rgb(0, 0, 0) : c;
  };
  for (int32_t y = 0; y < client->Height(); ++y)
    for (int32_t x = 0; x < client->Width(); ++x)
      dc->SetPixel(x, y, transparent ? beneath(x, y) : gdi::Rgb(0, 0, 0));
  const std::vector<uint32_t>& pixels = FramePixels(current_);
  if (pixels.empty())
    return;
  int32_t x0 = 0, y0 = 0;
  if (style & ACS_CENTER) {
    x0 = (client->Width() - width_) / 2;
    y0 = (client->Height() - height_) / 2;
  }
  const uint32_t key = pixels[0];
  for (int32_t y = 0; y < height_; ++y)
    for (int32_t x = 0; x < width_; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * width_ + x];
      if (transparent && p == key)
        continue;
      dc->SetPixel(x0 + x, y0 + y, gdi::Rgb((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
}

LResult AnimateControl::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_TIMER:
    if (wParam == kFrameTimer && playing_) {
      if (current_ < to_) {
        ++current_;
      } else if (repeat_ < 0 || --repeat_ > 0) {
        current_ = from_;
      } else {
        Stop();
        return 0;
      }
      DrawFrame();
      return 0;
    }
    break;
  case win::WM_PAINT: {
    Paint paint(GetHwnd());
    DrawFrame();
    return 0;
  }
  case win::WM_ERASEBKGND:
    return 1;
  case win::WM_DESTROY:
    Stop();
    break;
  default:
    break;
  }
  return Default(message, wParam, lParam);
}

} // namespace ui

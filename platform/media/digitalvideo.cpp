// The "digitalvideo" device: a clip (AVI, FLC, MOV) played by the FFmpeg
// player into a video window of the device's own, a child of the parent it
// was opened with (or a hidden pop-up without one), whose surface the
// player's thread draws each frame on.
#include "platform/media/digitalvideo.h"
#include "platform/sys/log.h"

#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/surface.h"
#include "platform/media/mci.h"
#include "platform/media/video_player.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace media {
namespace {

using mci::Request;

constexpr const char* kVideoWindowClass = "VexoDigitalVideo";

std::optional<int64_t> Number(const std::string& word) {
  return mci::ParseInteger(word);
}

// The video window: no background of its own; each paint draws the clip's
// current frame again (a window shown after frames were drawn while it was
// hidden, a repaint of the windows around it).
class VideoWindow final : public ui::ScreenWindow {
public:
  std::function<void()> repaint; // set and cleared on the window's thread

protected:
  win::LResult OnMessage(uint32_t message, win::WParam wParam, win::LParam lParam) override {
    if (message == win::WM_PAINT) {
      { ui::Paint p(GetHwnd()); }
      if (repaint)
        repaint();
      return 0;
    }
    return ScreenWindow::OnMessage(message, wParam, lParam);
  }
};

bool RegisterVideoWindowClass() {
  static const bool registered = [] {
    if (win::IsClassRegistered(kVideoWindowClass))
      return true;
    ui::ScreenClass c;
    c.name = kVideoWindowClass;
    c.factory = [] { return std::make_unique<VideoWindow>(); };
    return ui::RegisterScreenClass(c);
  }();
  return registered;
}

class DigitalVideoDevice final : public mci::Device {
public:
  DigitalVideoDevice(mci::DeviceId id, std::unique_ptr<VideoPlayer> player, win::Hwnd window)
      : id_(id), player_(std::move(player)), window_(window) {
    if (auto* w = dynamic_cast<VideoWindow*>(win::GetWindowObject(window_)))
      w->repaint = [this] {
        if (auto f = player_->CurrentFrame())
          Show(*f);
      };
    const VideoInfo& i = player_->Info();
    SetSize(i.width, i.height);
    player_->SetSinks([this](const VideoFrame& f) { Show(f); },
                      [this](VideoPlayer::End end) {
                        mci::Finish(id_, TakeNotice(),
                                    end == VideoPlayer::End::Natural ? mci::kNotifySuccessful
                                                                     : mci::kNotifyFailure);
                      });
  }
  ~DigitalVideoDevice() override { Shut(); }

  static std::unique_ptr<mci::Device> Make(const mci::OpenRequest& r, uint32_t* error) {
    if (r.element.empty()) {
      *error = mci::kErrElementRequired;
      return nullptr;
    }
    if (!std::filesystem::is_regular_file(r.element)) {
      *error = mci::kErrFileNotFound;
      return nullptr;
    }
    std::string why;
    auto player = VideoPlayer::OpenFile(r.element, &why);
    if (!player) {
      sys::Warn("digitalvideo", "%s: %s", r.element.c_str(), why.c_str());
      *error = mci::kErrInvalidFile;
      return nullptr;
    }
    if (!RegisterVideoWindowClass()) {
      *error = mci::kErrInternal;
      return nullptr;
    }
    const VideoInfo& i = player->Info();
    win::CreateParams p;
    p.className = kVideoWindowClass;
    const bool child = r.parent && r.hasStyle && (r.style & win::WS_CHILD);
    p.style = child ? win::WS_CHILD : win::WS_POPUP;
    p.parent = child ? r.parent : 0;
    p.width = std::max(i.width, 1);
    p.height = std::max(i.height, 1);
    const win::Hwnd window = win::CreateWindow(p);
    if (!window) {
      *error = mci::kErrInternal;
      return nullptr;
    }
    return std::make_unique<DigitalVideoDevice>(r.id, std::move(player), window);
  }

  uint32_t Execute(const Request& r, mci::Reply& reply) override {
    if (r.verb == "window")
      return Window(r);
    if (r.verb == "put")
      return Put(r);
    if (r.verb == "where")
      return Where(r, reply);
    if (r.verb == "setaudio")
      return r.Are(0, "on") || r.Are(0, "off") ? mci::kOk : mci::kErrUnrecognizedKeyword;
    if (r.verb == "set") {
      if (r.Are(0, "audio all off") || r.Are(0, "audio all on") || r.Are(0, "time format ms") ||
          r.Are(0, "time format milliseconds"))
        return mci::kOk;
      return mci::kErrUnrecognizedKeyword;
    }
    if (r.verb == "realize")
      return r.args.empty() || r.Are(0, "normal") || r.Are(0, "background")
                 ? mci::kOk
                 : mci::kErrUnrecognizedKeyword;
    if (r.verb == "play" || r.verb == "resume")
      return Play(r, reply);
    if (r.verb == "pause") {
      player_->Pause();
      return mci::kOk;
    }
    if (r.verb == "stop") {
      player_->Stop();
      Abort();
      return mci::kOk;
    }
    if (r.verb == "seek") {
      uint32_t to = 0;
      if (r.Are(0, "to end")) {
        to = player_->Info().lengthMs;
      } else if (r.Is(0, "to") && r.args.size() == 2 && !r.Is(1, "start")) {
        auto n = Number(r.args[1]);
        if (!n || *n < 0 || *n > UINT32_MAX)
          return mci::kErrBadInteger;
        to = static_cast<uint32_t>(*n);
      } else if (!r.Are(0, "to start")) {
        return mci::kErrUnrecognizedKeyword;
      }
      Abort();
      return player_->Seek(to) ? mci::kOk : mci::kErrOutOfRange;
    }
    if (r.verb == "status")
      return Status(r, reply);
    if (r.verb == "info") {
      if (!r.Are(0, "product"))
        return mci::kErrUnrecognizedKeyword;
      reply.text = "FFmpeg digital video";
      return mci::kOk;
    }
    return mci::kErrUnrecognizedCommand;
  }

  void Close(const Request&) override { Shut(); }

private:
  // ---- the player's thread ----

  void Show(const VideoFrame& f) {
    std::lock_guard lock(sinkMu_);
    if (!surface_ || !f.pixels)
      return;
    gdi::BitmapInfoHeader h;
    h.width = f.width;
    h.height = -f.height; // rows from the top
    h.bitCount = 32;
    const auto* bytes = reinterpret_cast<const uint8_t*>(f.pixels->data());
    const gdi::DibView dib{h, {}, {bytes, f.pixels->size() * 4}};
    gdi::Dc dc(surface_);
    dc.StretchDib(0, 0, surface_->Width(), surface_->Height(), 0, 0, f.width, f.height, dib,
                  gdi::kSrcCopy);
  }

  uint64_t TakeNotice() {
    std::lock_guard lock(noticeMu_);
    return std::exchange(notice_, 0);
  }
  void Abort() { mci::Finish(id_, TakeNotice(), mci::kNotifyAborted); }

  void Shut() {
    if (player_)
      player_->Stop(); // no frame arrives after this
    Abort();
    {
      std::lock_guard lock(sinkMu_);
      surface_.reset();
    }
    if (auto* w = window_ ? dynamic_cast<VideoWindow*>(win::GetWindowObject(window_)) : nullptr)
      w->repaint = nullptr;
    player_.reset();
    if (window_ && win::IsWindow(window_))
      win::DestroyWindow(window_);
    window_ = 0;
  }

  // The video window took a size: frames are scaled to it.
  void SetSize(int32_t width, int32_t height) {
    if (width > 0 && height > 0)
      player_->SetOutputSize(width, height);
    auto dc = ui::GetDc(window_);
    std::lock_guard lock(sinkMu_);
    surface_ = dc ? dc->Target() : nullptr;
  }

  // ---- commands ----

  uint32_t Window(const Request& r) {
    if (r.Are(0, "state show") || r.Are(0, "show")) {
      ui::ShowWindow(window_, ui::SW_SHOW);
      return mci::kOk;
    }
    if (r.Are(0, "state hide") || r.Are(0, "hide")) {
      ui::ShowWindow(window_, ui::SW_HIDE);
      return mci::kOk;
    }
    if (r.Is(0, "text")) {
      std::string title;
      for (size_t i = 1; i < r.args.size(); ++i)
        title += (i > 1 ? " " : "") + r.args[i];
      win::SetWindowText(window_, title);
      return mci::kOk;
    }
    return mci::kErrUnrecognizedKeyword;
  }

  uint32_t Put(const Request& r) {
    if (!(r.Is(0, "window") || r.Is(0, "destination")))
      return mci::kErrUnrecognizedKeyword;
    gdi::Rect to;
    if (r.args.size() == 1) {
      const VideoInfo& i = player_->Info();
      const gdi::Rect now = ui::GetWindowRect(window_).value_or(gdi::Rect{});
      const gdi::Point at =
          win::GetParent(window_) ? ui::ScreenToClient(win::GetParent(window_), gdi::Point{now.left, now.top})
                                  : gdi::Point{now.left, now.top};
      to = gdi::MakeRect(at.x, at.y, i.width, i.height);
    } else if (r.Is(1, "at") && r.args.size() == 6) {
      int64_t v[4];
      for (int k = 0; k < 4; ++k) {
        auto n = Number(r.args[2 + k]);
        if (!n || std::abs(*n) > 32767)
          return mci::kErrBadInteger;
        v[k] = *n;
      }
      if (v[2] <= 0 || v[3] <= 0)
        return mci::kErrOutOfRange;
      to = gdi::MakeRect(static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]),
                         static_cast<int32_t>(v[2]), static_cast<int32_t>(v[3]));
    } else {
      return mci::kErrUnrecognizedKeyword;
    }
    ui::MoveWindow(window_, to.left, to.top, to.Width(), to.Height(), true);
    SetSize(to.Width(), to.Height());
    if (auto f = player_->CurrentFrame())
      Show(*f);
    return mci::kOk;
  }

  uint32_t Where(const Request& r, mci::Reply& reply) {
    gdi::Rect at;
    if (r.Are(0, "source")) {
      at = gdi::MakeRect(0, 0, player_->Info().width, player_->Info().height);
    } else if (r.Are(0, "destination") || r.Are(0, "window")) {
      const gdi::Rect now = ui::GetWindowRect(window_).value_or(gdi::Rect{});
      const gdi::Point p =
          win::GetParent(window_) ? ui::ScreenToClient(win::GetParent(window_), gdi::Point{now.left, now.top})
                                  : gdi::Point{now.left, now.top};
      at = gdi::MakeRect(p.x, p.y, now.Width(), now.Height());
    } else {
      return mci::kErrUnrecognizedKeyword;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%d %d %d %d", at.left, at.top, at.Width(), at.Height());
    reply.text = text;
    return mci::kOk;
  }

  uint32_t Play(const Request& r, mci::Reply& reply) {
    bool repeat = false;
    std::optional<int64_t> from;
    for (size_t i = 0; i < r.args.size(); ++i) {
      if (r.Is(i, "repeat")) {
        repeat = true;
      } else if (r.Is(i, "from") && i + 1 < r.args.size()) {
        from = Number(r.args[i + 1]);
        if (!from || *from < 0 || *from > UINT32_MAX)
          return mci::kErrBadInteger;
        ++i;
      } else if (r.Is(i, "window") || r.Is(i, "fullscreen")) {
        // Shown in the device's window either way.
      } else {
        return mci::kErrUnrecognizedKeyword;
      }
    }
    if (!r.notice)
      Abort();
    if (from && !player_->Seek(static_cast<uint32_t>(*from)))
      return mci::kErrOutOfRange;
    {
      std::lock_guard lock(noticeMu_);
      notice_ = r.notice;
    }
    if (!player_->Play(repeat)) {
      TakeNotice();
      return mci::kErrHardware;
    }
    reply.pending = r.notice != 0;
    return mci::kOk;
  }

  uint32_t Status(const Request& r, mci::Reply& reply) {
    if (r.Are(0, "mode")) {
      const auto mode = player_->GetMode();
      reply.text = mode == VideoPlayer::Mode::Playing  ? "playing"
                   : mode == VideoPlayer::Mode::Paused ? "paused"
                                                       : "stopped";
    } else if (r.Are(0, "window handle")) {
      reply.text = std::to_string(window_);
    } else if (r.Are(0, "position")) {
      reply.text = std::to_string(player_->Position());
    } else if (r.Are(0, "length")) {
      reply.text = std::to_string(player_->Info().lengthMs);
    } else if (r.Are(0, "ready")) {
      reply.text = "true";
    } else if (r.Are(0, "frames shown")) {
      reply.text = std::to_string(player_->Stats().shown);
    } else {
      return mci::kErrUnrecognizedKeyword;
    }
    return mci::kOk;
  }

  const mci::DeviceId id_;
  std::unique_ptr<VideoPlayer> player_;
  win::Hwnd window_ = 0;
  std::mutex sinkMu_;
  std::shared_ptr<gdi::Surface> surface_; // under sinkMu_
  std::mutex noticeMu_;
  uint64_t notice_ = 0; // under noticeMu_
};

} // namespace

void RegisterDigitalVideo() {
  mci::RegisterDeviceType("digitalvideo", &DigitalVideoDevice::Make);
}

} // namespace media

#include "platform/media/mpegvideo.h"

#include "platform/media/digitalvideo.h"
#include "platform/sys/log.h"
#include "platform/media/mci.h"
#include "platform/media/overlay_device.h"
#include "platform/media/video_player.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/window/colour_key.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>

namespace media {
namespace {

using mci::Request;

std::optional<int64_t> Number(const std::string& word) {
  return mci::ParseInteger(word);
}

win::Hwnd TopOf(win::Hwnd hwnd) {
  for (int depth = 0; depth < 64; ++depth) {
    const win::Hwnd parent = win::GetParent(hwnd);
    if (!parent || (win::GetWindowStyle(hwnd) & win::WS_CHILD) == 0)
      break;
    hwnd = parent;
  }
  return hwnd;
}

class MpegVideoDevice final : public mci::Device {
public:
  explicit MpegVideoDevice(mci::DeviceId id) : id_(id) {}
  ~MpegVideoDevice() override { Unload(); }

  uint32_t Load(const std::string& file) {
    if (!std::filesystem::exists(file))
      return mci::kErrFileNotFound;
    std::string error;
    auto player = VideoPlayer::OpenFile(file, &error);
    if (!player) {
      sys::Warn("mpegvideo", "%s: %s", file.c_str(), error.c_str());
      return mci::kErrInvalidFile;
    }
    Unload();
    player_ = std::move(player);
    file_ = file;
    player_->SetSinks([this](const VideoFrame& f) { Show(f); },
                      [this](VideoPlayer::End end) {
                        mci::Finish(id_, TakeNotice(),
                                    end == VideoPlayer::End::Natural ? mci::kNotifySuccessful
                                                                     : mci::kNotifyFailure);
                      });
    Fit();
    return mci::kOk;
  }

  uint32_t Execute(const Request& r, mci::Reply& reply) override {
    if (r.verb == "info")
      return Info(r, reply);
    if (r.verb == "window")
      return Window(r);
    if (r.verb == "put")
      return Put(r);
    if (r.verb == "set")
      return Set(r);
    if (r.verb == "setaudio")
      return r.Are(0, "on") || r.Are(0, "off") ? mci::kOk : mci::kErrUnrecognizedKeyword;
    if (r.verb == "load")
      return r.args.size() == 1 ? Load(r.args[0]) : mci::kErrMissingParameter;
    if (r.verb == "play" || r.verb == "resume")
      return Play(r, reply);
    if (r.verb == "pause") {
      if (player_)
        player_->Pause();
      return player_ ? mci::kOk : mci::kErrDeviceNotReady;
    }
    if (r.verb == "stop") {
      if (player_)
        player_->Stop();
      Abort();
      return player_ ? mci::kOk : mci::kErrDeviceNotReady;
    }
    if (r.verb == "seek")
      return Seek(r);
    if (r.verb == "status")
      return Status(r, reply);
    if (r.verb == "configure")
      return Configure();
    return mci::kErrUnrecognizedCommand;
  }

  void Close(const Request&) override { Unload(); }

private:
  // ---- the frame's way to the windows (the player's thread) ----

  void Show(const VideoFrame& f) {
    std::lock_guard lock(sinkMu_);
    last_ = f;
    if (videoOn_ && top_)
      ui::SetKeyedFrame(top_, key_, ui::KeyFrame{f.width, f.height, f.pixels}, dest_);
  }

  uint64_t TakeNotice() {
    std::lock_guard lock(sinkMu_);
    return std::exchange(notice_, 0);
  }

  void Abort() { mci::Finish(id_, TakeNotice(), mci::kNotifyAborted); }

  void Unload() {
    player_.reset(); // joins its threads: no frame arrives after this
    Abort();
    std::lock_guard lock(sinkMu_);
    last_.reset();
    if (top_)
      ui::ClearKeyedFrame(top_);
  }

  // The destination in the top window's coordinates, and the frames' size.
  void Fit() {
    gdi::Rect dest;
    if (window_) {
      const gdi::Rect client = ui::GetClientRect(window_).value_or(gdi::Rect{});
      const gdi::Rect local = put_.value_or(client);
      const gdi::Point o = ui::ClientToScreen(window_, {0, 0});
      const gdi::Point to = ui::ClientToScreen(top_, {0, 0});
      dest = gdi::Offset(local, o.x - to.x, o.y - to.y);
    }
    {
      std::lock_guard lock(sinkMu_);
      dest_ = dest;
    }
    if (player_ && dest.Width() > 0 && dest.Height() > 0)
      player_->SetOutputSize(dest.Width(), dest.Height());
  }

  void Represent() {
    std::lock_guard lock(sinkMu_);
    if (!top_)
      return;
    if (videoOn_ && last_)
      ui::SetKeyedFrame(top_, key_, ui::KeyFrame{last_->width, last_->height, last_->pixels},
                        dest_);
    else
      ui::ClearKeyedFrame(top_);
  }

  // ---- commands ----

  uint32_t Info(const Request& r, mci::Reply& reply) {
    if (r.Are(0, "product"))
      reply.text = kMpegVideoProduct;
    else if (r.Are(0, "file"))
      reply.text = file_;
    else
      return mci::kErrUnrecognizedKeyword;
    return mci::kOk;
  }

  uint32_t Window(const Request& r) {
    if (r.Is(0, "handle") && r.args.size() == 2) {
      auto h = Number(r.args[1]);
      if (!h || *h < 0 || *h > UINT32_MAX)
        return mci::kErrBadInteger;
      const win::Hwnd previousTop = top_;
      window_ = static_cast<win::Hwnd>(*h);
      {
        std::lock_guard lock(sinkMu_);
        top_ = window_ ? TopOf(window_) : 0;
      }
      if (previousTop && previousTop != top_)
        ui::ClearKeyedFrame(previousTop);
      Fit();
      Represent();
      return mci::kOk;
    }
    if (r.Is(0, "text")) {
      title_.clear();
      for (size_t i = 1; i < r.args.size(); ++i)
        title_ += (i > 1 ? " " : "") + r.args[i];
      return mci::kOk;
    }
    if (r.Are(0, "state show") || r.Are(0, "state hide"))
      return mci::kOk;
    return mci::kErrUnrecognizedKeyword;
  }

  uint32_t Put(const Request& r) {
    if (r.Are(0, "destination")) {
      put_.reset();
    } else if (r.Is(0, "destination") && r.Is(1, "at") && r.args.size() == 6) {
      mci::Placement p;
      if (uint32_t error = mci::ParsePlacement(r.args, 2, p); error != mci::kOk)
        return error;
      put_ = gdi::MakeRect(p.x, p.y, p.width, p.height);
    } else {
      return mci::kErrUnrecognizedKeyword;
    }
    Fit();
    Represent();
    return mci::kOk;
  }

  uint32_t Set(const Request& r) {
    if (r.Is(0, "time") && r.Is(1, "format") && r.args.size() == 3)
      return r.Is(2, "ms") || r.Is(2, "milliseconds") ? mci::kOk : mci::kErrBadTimeFormat;
    if (r.Are(0, "video on") || r.Are(0, "video off")) {
      {
        std::lock_guard lock(sinkMu_);
        videoOn_ = r.Is(1, "on");
      }
      Represent();
      return mci::kOk;
    }
    if (r.Is(0, "video") && r.Is(1, "key") && r.Is(2, "color") && r.Is(3, "to") &&
        r.args.size() == 5) {
      int rgb[3];
      int got = 0;
      char tail = 0;
      if (std::sscanf(r.args[4].c_str(), "%d:%d:%d%c", &rgb[0], &rgb[1], &rgb[2], &tail) != 3)
        return mci::kErrBadInteger;
      for (int c : rgb)
        got += c >= 0 && c <= 255;
      if (got != 3)
        return mci::kErrOutOfRange;
      {
        std::lock_guard lock(sinkMu_);
        key_ = gdi::Rgb(static_cast<uint8_t>(rgb[0]), static_cast<uint8_t>(rgb[1]),
                        static_cast<uint8_t>(rgb[2]));
      }
      Represent();
      return mci::kOk;
    }
    if (r.Is(0, "audio"))
      return mci::kOk;
    return mci::kErrUnrecognizedKeyword;
  }

  uint32_t Play(const Request& r, mci::Reply& reply) {
    if (!player_)
      return mci::kErrDeviceNotReady;
    bool repeat = r.verb == "resume" ? repeat_ : false;
    uint32_t speed = r.verb == "resume" ? speed_ : 1000;
    std::optional<int64_t> from;
    for (size_t i = 0; i < r.args.size(); ++i) {
      if (r.Is(i, "repeat")) {
        repeat = true;
      } else if ((r.Is(i, "from") || r.Is(i, "slow")) && i + 1 < r.args.size()) {
        auto n = Number(r.args[i + 1]);
        if (!n || *n < 0 || *n > UINT32_MAX)
          return mci::kErrBadInteger;
        if (r.Is(i, "from"))
          from = *n;
        else
          speed = static_cast<uint32_t>(std::max<int64_t>(*n, 1));
        ++i;
      } else {
        return mci::kErrUnrecognizedKeyword;
      }
    }
    if (r.verb == "resume" && !r.args.empty())
      return mci::kErrUnrecognizedKeyword;
    // A play replaces the one before: without notify its notice is aborted
    // (with notify the layer has superseded it already). A resume without
    // notify goes on with the paused play's notice.
    const bool keepNotice = r.verb == "resume" && !r.notice;
    if (!r.notice && !keepNotice)
      Abort();
    if (from && !player_->Seek(static_cast<uint32_t>(*from)))
      return mci::kErrOutOfRange;
    if (!keepNotice) {
      std::lock_guard lock(sinkMu_);
      notice_ = r.notice;
    }
    repeat_ = repeat;
    speed_ = speed;
    if (!player_->Play(repeat, speed)) {
      if (!keepNotice)
        TakeNotice(); // the layer drops a refused command's notice
      return mci::kErrHardware;
    }
    reply.pending = r.notice != 0;
    return mci::kOk;
  }

  uint32_t Seek(const Request& r) {
    if (!player_)
      return mci::kErrDeviceNotReady;
    const int64_t pos = player_->Position();
    const int64_t length = player_->Info().lengthMs;
    int64_t to = 0;
    if (r.Are(0, "to start")) {
      to = 0;
    } else if (r.Are(0, "to end")) {
      to = length;
    } else if (r.Is(0, "to") && r.args.size() == 2) {
      auto n = Number(r.args[1]);
      if (!n || *n < 0)
        return mci::kErrBadInteger;
      to = *n;
    } else if ((r.Is(0, "forward") || r.Is(0, "backward")) && r.Is(1, "by") && r.args.size() == 3) {
      auto n = Number(r.args[2]);
      if (!n || *n < 0)
        return mci::kErrBadInteger;
      to = r.Is(0, "forward") ? pos + *n : pos - *n;
    } else {
      return mci::kErrUnrecognizedKeyword;
    }
    to = std::clamp<int64_t>(to, 0, length > 0 ? length : std::max<int64_t>(to, 0));
    Abort();
    return player_->Seek(static_cast<uint32_t>(std::min<int64_t>(to, UINT32_MAX)))
               ? mci::kOk
               : mci::kErrHardware;
  }

  uint32_t Status(const Request& r, mci::Reply& reply) {
    if (r.Are(0, "mode")) {
      const auto mode = player_ ? player_->GetMode() : VideoPlayer::Mode::Stopped;
      reply.text = mode == VideoPlayer::Mode::Playing  ? "playing"
                   : mode == VideoPlayer::Mode::Paused ? "paused"
                                                       : "stopped";
    } else if (r.Are(0, "position")) {
      reply.text = std::to_string(player_ ? player_->Position() : 0);
    } else if (r.Are(0, "length")) {
      reply.text = std::to_string(player_ ? player_->Info().lengthMs : 0);
    } else if (r.Are(0, "window handle")) {
      reply.text = std::to_string(window_);
    } else if (r.Are(0, "time format")) {
      reply.text = "milliseconds";
    } else if (r.Are(0, "ready")) {
      reply.text = "true";
    } else if (r.Are(0, "media present")) {
      reply.text = player_ ? "true" : "false";
    } else if (r.Is(0, "frames") && r.args.size() == 2) {
      // The player's counts since the clip was loaded (measurements).
      const VideoStats s = player_ ? player_->Stats() : VideoStats{};
      if (r.Is(1, "shown"))
        reply.text = std::to_string(s.shown);
      else if (r.Is(1, "late"))
        reply.text = std::to_string(s.late);
      else if (r.Is(1, "dropped"))
        reply.text = std::to_string(s.dropped);
      else
        return mci::kErrUnrecognizedKeyword;
    } else {
      return mci::kErrUnrecognizedKeyword;
    }
    return mci::kOk;
  }

  uint32_t Configure() {
    std::string text = "No clip is loaded.";
    if (player_) {
      const VideoInfo& i = player_->Info();
      char line[256];
      std::snprintf(line, sizeof line, "%s\n%s, %s, %dx%d, %.3f frames per second, %u ms",
                    file_.c_str(), i.container.c_str(), i.codec.c_str(), i.width, i.height,
                    i.frameMs > 0 ? 1000.0 / i.frameMs : 0.0, i.lengthMs);
      text = line;
    }
    ui::MessageBox(text, "MPEG video", ui::MB_OK | ui::MB_ICONINFORMATION, window_);
    return mci::kOk;
  }

  const mci::DeviceId id_;
  std::unique_ptr<VideoPlayer> player_;
  std::string file_;
  std::string title_;
  win::Hwnd window_ = 0;
  std::optional<gdi::Rect> put_;
  bool repeat_ = false;
  uint32_t speed_ = 1000;

  // Shared with the player's thread.
  std::mutex sinkMu_;
  win::Hwnd top_ = 0;
  gdi::Colour key_ = gdi::Rgb(0, 0, 0);
  gdi::Rect dest_;
  bool videoOn_ = true;
  uint64_t notice_ = 0;
  std::optional<VideoFrame> last_;
};

} // namespace

void RegisterVideoDevices() {
  RegisterDigitalVideo();
  RegisterOverlayDevice();
  mci::RegisterDeviceType(
      "mpegvideo", [](const mci::OpenRequest& r, uint32_t* error) -> std::unique_ptr<mci::Device> {
        auto device = std::make_unique<MpegVideoDevice>(r.id);
        if (!r.element.empty()) {
          if (uint32_t e = device->Load(r.element); e != mci::kOk) {
            *error = e;
            return nullptr;
          }
        }
        return device;
      });
}

} // namespace media

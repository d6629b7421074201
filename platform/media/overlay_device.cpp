// The "overlay" device: a video overlay card made of a live picture, keyed
// into a window's tree on a colour as the card overlaid it. The picture is
// a V4L2 capture device's (libavdevice's v4l2 input), or the source that
// VEXO_OVERLAY_SOURCE names: a clip file, played repeating, or an FFmpeg
// lavfi graph such as "testsrc2=size=640x480:rate=25". With neither there
// is no card: open fails.
#include "platform/media/overlay_device.h"
#include "platform/sys/log.h"

#include "platform/media/mci.h"
#include "platform/media/video_player.h"
#include "platform/sys/ascii.h"
#include "platform/ui/window/colour_key.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace media {
namespace {

using mci::Request;

constexpr const char* kV4l2Device = "/dev/video0";

std::optional<int64_t> Number(const std::string& word) {
  return mci::ParseInteger(word);
}

win::Hwnd TopWindowOf(win::Hwnd hwnd) {
  for (int depth = 0; depth < 64; ++depth) {
    const win::Hwnd parent = win::GetParent(hwnd);
    if (!parent || (win::GetWindowStyle(hwnd) & win::WS_CHILD) == 0)
      break;
    hwnd = parent;
  }
  return hwnd;
}

// Where the picture comes from.
struct Source {
  enum Kind { None, File, Graph, Capture } kind = None;
  std::string where;
};

Source FindSource() {
  if (const char* named = std::getenv(kOverlaySourceVariable); named && *named) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(named, ec))
      return {Source::File, named};
    return {Source::Graph, named};
  }
  std::error_code ec;
  if (std::filesystem::exists(kV4l2Device, ec))
    return {Source::Capture, kV4l2Device};
  return {};
}

std::unique_ptr<VideoPlayer> OpenPicture(const Source& s, int64_t input, std::string* error) {
  switch (s.kind) {
  case Source::File:
    return VideoPlayer::OpenFile(s.where, error);
  case Source::Graph:
    return VideoPlayer::OpenLive("lavfi", s.where, error);
  case Source::Capture:
    return VideoPlayer::OpenLive("v4l2", s.where, error,
                                 {{"channel", std::to_string(std::max<int64_t>(input, 0))}});
  case Source::None:
    break;
  }
  *error = "no capture device and no " + std::string(kOverlaySourceVariable);
  return nullptr;
}

class OverlayDevice final : public mci::Device {
public:
  OverlayDevice(mci::DeviceId id, Source source, std::unique_ptr<VideoPlayer> player)
      : id_(id), source_(std::move(source)), player_(std::move(player)) {
    Attach();
    // A card shows its picture from the start, until its video is set off.
    Play(true);
  }
  ~OverlayDevice() override { Shut(); }

  static std::unique_ptr<mci::Device> Make(const mci::OpenRequest& r, uint32_t* error) {
    Source source = FindSource();
    std::string why;
    auto player = OpenPicture(source, 0, &why);
    if (!player) {
      sys::Warn("overlay", "%s", why.c_str());
      *error = mci::kErrHardware;
      return nullptr;
    }
    return std::make_unique<OverlayDevice>(r.id, std::move(source), std::move(player));
  }

  uint32_t Execute(const Request& r, mci::Reply& reply) override {
    if (r.verb == "window")
      return Window(r);
    if (r.verb == "status") {
      if (!r.Are(0, "window handle"))
        return mci::kErrUnrecognizedKeyword;
      reply.text = std::to_string(window_);
      return mci::kOk;
    }
    if (r.verb == "capability") {
      if (!r.Are(0, "card type"))
        return mci::kErrUnrecognizedKeyword;
      reply.text = "3"; // keyed on 128:0:128
      return mci::kOk;
    }
    if (r.verb == "info") {
      if (!r.Are(0, "product"))
        return mci::kErrUnrecognizedKeyword;
      reply.text = kOverlayProduct;
      return mci::kOk;
    }
    if (r.verb == "put")
      return Put(r);
    if (r.verb == "set")
      return Set(r);
    if (r.verb == "get")
      return Get(r, reply);
    return mci::kErrUnrecognizedCommand;
  }

  void Close(const Request&) override { Shut(); }

private:
  // ---- the player's thread ----

  void Show(const VideoFrame& f) {
    std::lock_guard lock(mu_);
    last_ = f;
    if (videoOn_ && keyOn_ && top_)
      ui::SetKeyedFrame(top_, key_, ui::KeyFrame{f.width, f.height, f.pixels}, dest_);
  }

  // ---- commands (one at a time) ----

  void Attach() {
    player_->SetSinks([this](const VideoFrame& f) { Show(f); }, nullptr);
  }

  void Shut() {
    player_.reset(); // joins its threads: no frame arrives after this
    std::lock_guard lock(mu_);
    last_.reset();
    if (top_)
      ui::ClearKeyedFrame(top_);
  }

  void Represent() {
    std::lock_guard lock(mu_);
    if (!top_)
      return;
    if (videoOn_ && keyOn_ && last_)
      ui::SetKeyedFrame(top_, key_, ui::KeyFrame{last_->width, last_->height, last_->pixels},
                        dest_);
    else
      ui::ClearKeyedFrame(top_);
  }

  // The destination in the top window's coordinates.
  void Fit() {
    gdi::Rect dest;
    if (window_) {
      const gdi::Rect client = ui::GetClientRect(window_).value_or(gdi::Rect{});
      const gdi::Rect local = put_.value_or(client);
      const gdi::Point o = ui::ClientToScreen(window_, {0, 0});
      const gdi::Point to = ui::ClientToScreen(TopWindowOf(window_), {0, 0});
      dest = gdi::Offset(local, o.x - to.x, o.y - to.y);
    }
    {
      std::lock_guard lock(mu_);
      dest_ = dest;
    }
    if (player_ && dest.Width() > 0 && dest.Height() > 0)
      player_->SetOutputSize(dest.Width(), dest.Height());
  }

  void Play(bool on) {
    if (!player_)
      return;
    if (on)
      player_->Play(true);
    else
      player_->Pause();
  }

  uint32_t Window(const Request& r) {
    if (r.Is(0, "handle") && r.args.size() == 2) {
      auto h = Number(r.args[1]);
      if (!h || *h < 0 || *h > UINT32_MAX)
        return mci::kErrBadInteger;
      const win::Hwnd previous = top_;
      window_ = static_cast<win::Hwnd>(*h);
      {
        std::lock_guard lock(mu_);
        top_ = window_ ? TopWindowOf(window_) : 0;
      }
      if (previous && previous != top_)
        ui::ClearKeyedFrame(previous);
      Fit();
      Represent();
      return mci::kOk;
    }
    if (r.Is(0, "text"))
      return mci::kOk;
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
    if (r.Are(0, "video on") || r.Are(0, "video off")) {
      const bool on = r.Is(1, "on");
      {
        std::lock_guard lock(mu_);
        videoOn_ = on;
      }
      Play(on);
      Represent();
      return mci::kOk;
    }
    if (r.Are(0, "video key on") || r.Are(0, "video key off")) {
      {
        std::lock_guard lock(mu_);
        keyOn_ = r.Is(2, "on");
      }
      Represent();
      return mci::kOk;
    }
    if (r.Is(0, "video") && r.Is(1, "key") && r.Is(2, "color") && r.Is(3, "to") &&
        r.args.size() == 5) {
      int rgb[3];
      char tail = 0;
      if (std::sscanf(r.args[4].c_str(), "%d:%d:%d%c", &rgb[0], &rgb[1], &rgb[2], &tail) != 3)
        return mci::kErrBadInteger;
      for (int c : rgb)
        if (c < 0 || c > 255)
          return mci::kErrOutOfRange;
      {
        std::lock_guard lock(mu_);
        key_ = gdi::Rgb(static_cast<uint8_t>(rgb[0]), static_cast<uint8_t>(rgb[1]),
                        static_cast<uint8_t>(rgb[2]));
        keyRgb_ = {rgb[0], rgb[1], rgb[2]};
      }
      Represent();
      return mci::kOk;
    }
    // "set overlay NAME to VALUE": the card type, the input, the picture's
    // values (NAME may hold blanks: "video key correct").
    if (r.args.size() >= 3 && r.Is(r.args.size() - 2, "to")) {
      auto value = Number(r.args.back());
      if (!value)
        return mci::kErrBadInteger;
      std::string name;
      for (size_t i = 0; i + 2 < r.args.size(); ++i)
        name += (i ? " " : "") + r.args[i];
      name = sys::AsciiLowered(name);
      if (name == "card type")
        return *value == 3 ? mci::kOk : mci::kErrOutOfRange;
      if (name == "source number")
        return SelectInput(*value);
      values_[name] = *value;
      return mci::kOk;
    }
    return mci::kErrUnrecognizedKeyword;
  }

  // A capture device's input is its channel; other sources have one.
  uint32_t SelectInput(int64_t input) {
    if (input < 0 || input > 255)
      return mci::kErrOutOfRange;
    if (source_.kind != Source::Capture || input == input_)
      return mci::kOk;
    std::string why;
    auto player = OpenPicture(source_, input, &why);
    if (!player)
      return mci::kErrHardware;
    player_.reset();
    player_ = std::move(player);
    input_ = input;
    Attach();
    Fit();
    Play(videoOn_);
    return mci::kOk;
  }

  uint32_t Get(const Request& r, mci::Reply& reply) {
    if (r.Is(0, "limit") && r.args.size() >= 2) {
      reply.text = "0 255";
      return mci::kOk;
    }
    if (r.Are(0, "video key")) {
      char text[32];
      std::snprintf(text, sizeof text, "%d %d %d", keyRgb_[0], keyRgb_[1], keyRgb_[2]);
      reply.text = text;
      return mci::kOk;
    }
    if (r.Are(0, "display")) {
      gdi::Rect d;
      {
        std::lock_guard lock(mu_);
        d = dest_;
      }
      char text[64];
      std::snprintf(text, sizeof text, "%d %d %d %d", d.left, d.top, d.Width(), d.Height());
      reply.text = text;
      return mci::kOk;
    }
    // The value set last, or the middle of the range.
    std::string name;
    for (size_t i = 0; i < r.args.size(); ++i)
      name += (i ? " " : "") + r.args[i];
    name = sys::AsciiLowered(name);
    if (name.empty())
      return mci::kErrMissingParameter;
    auto it = values_.find(name);
    reply.text = std::to_string(it == values_.end() ? 128 : it->second);
    return mci::kOk;
  }

  const mci::DeviceId id_;
  const Source source_;
  std::unique_ptr<VideoPlayer> player_;
  int64_t input_ = 0;
  win::Hwnd window_ = 0;
  std::optional<gdi::Rect> put_;
  std::map<std::string, int64_t> values_;
  std::array<int, 3> keyRgb_{0, 0, 0};
  std::mutex mu_; // what the player's thread reads
  win::Hwnd top_ = 0;
  gdi::Colour key_ = 0;
  gdi::Rect dest_;
  bool videoOn_ = true;
  bool keyOn_ = false;
  std::optional<VideoFrame> last_;
};

} // namespace

void RegisterOverlayDevice() {
  mci::RegisterDeviceType("overlay", &OverlayDevice::Make);
}

} // namespace media

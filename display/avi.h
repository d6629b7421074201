// The clip player of background mode 3: AVI and FLC files played in the
// info view on the media-command layer's "digitalvideo" device, in a video
// window the device makes as a child of the view.
#pragma once

#include "display/info.h"
#include "platform/media/mci.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace display {

// The longest error text the player keeps, in bytes with its terminator.
inline constexpr size_t kAviErrorTextSize = 200;

// text cut to fit size - 1 bytes, never in the middle of a UTF-8 character.
std::string CutErrorText(std::string_view text, size_t size = kAviErrorTextSize);

class AviPlayer final : public InfoVideo {
public:
  using ErrorTextSource = std::function<std::string(uint32_t error)>;

  // errorText gives a result's text (the layer's by default).
  explicit AviPlayer(ErrorTextSource errorText = {});
  ~AviPlayer() override;

  bool Open(win::Hwnd parent, const std::string& path) override;
  void Place(win::Hwnd parent) override;
  void PlayOrStop(win::Hwnd notify, bool allow) override;
  void RealisePalette() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool IsPlaying() const override { return playing_; }
  void SetFullScreen(bool fullScreen) override { fullScreen_ = fullScreen; }
  void SetPlayOnce(bool playOnce) override { playOnce_ = playOnce; }
  gdi::Rect VideoRect() const override { return open_ ? rect_ : gdi::Rect{}; }
  bool OwnsNotice(win::LParam device) const override;

  media::mci::DeviceId Device() const { return device_; }
  win::Hwnd VideoWindow() const { return videoWindow_; }
  // The text of the last failed open ("" after a good one).
  const std::string& ErrorText() const { return errorText_; }

private:
  uint32_t Send(std::string_view command, std::string* answer = nullptr, win::Hwnd notify = 0);

  ErrorTextSource errorSource_;
  media::mci::DeviceId device_ = 0;
  bool open_ = false;
  bool playing_ = false;
  bool fullScreen_ = false;
  bool playOnce_ = true;
  win::Hwnd videoWindow_ = 0;
  gdi::Rect rect_;
  std::string errorText_;
};

} // namespace display

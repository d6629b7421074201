// The animation control: a silent clip (AVI of uncompressed or RLE 8-bit
// pictures) opened by number from a resource bundle ("animations/<n>.avi")
// or from a file, decoded once by the platform's video player into its
// frames, and played on a window timer, looping or a number of times,
// centred in the control or from its top-left corner. With ACS_TRANSPARENT
// the clip's top-left colour is not drawn: the parent's background colour
// shows there.
#pragma once

#include "platform/ui/window/screen.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace res {
class Bundle;
}

namespace ui {

inline constexpr uint32_t ACS_CENTER = 0x0001;
inline constexpr uint32_t ACS_TRANSPARENT = 0x0002;
inline constexpr const char* kAnimateClass = "SysAnimate32";

class AnimateControl : public ScreenWindow {
public:
  // Registers the class (once); false when it cannot be.
  static bool Register();

  // Opens a clip, closing the one open; false (nothing open) when it cannot
  // be read.
  bool Open(const res::Bundle& bundle, uint32_t id);
  bool OpenFile(const std::string& path);
  void Close();
  // Plays frames from to to (-1: the last), repeat times (-1: for ever).
  bool Play(uint32_t from, int32_t to, int32_t repeat);
  bool Stop();

  bool IsOpen() const { return !frames_.empty(); }
  bool Playing() const { return playing_; }
  uint32_t ClipId() const { return clip_; }
  int32_t FrameCount() const { return static_cast<int32_t>(frames_.size()); }
  int32_t CurrentFrame() const { return current_; }
  uint32_t FramePeriodMs() const { return periodMs_; }
  // A frame's pixels, 0xFFRRGGBB rows from the top.
  const std::vector<uint32_t>& FramePixels(int32_t frame) const;
  int32_t ClipWidth() const { return width_; }
  int32_t ClipHeight() const { return height_; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  bool Decode(std::shared_ptr<const std::vector<uint8_t>> bytes);
  void DrawFrame();

  std::vector<std::vector<uint32_t>> frames_;
  int32_t width_ = 0, height_ = 0;
  uint32_t periodMs_ = 100;
  uint32_t clip_ = 0;
  int32_t current_ = 0, from_ = 0, to_ = 0, repeat_ = 0;
  bool playing_ = false;
};

} // namespace ui

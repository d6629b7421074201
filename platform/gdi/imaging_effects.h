// Transitions of the imaging library: a picture painted over what a device
// context already shows, revealed pixel by pixel over a fixed number of
// frames. Nothing is blended: each pixel shows either the picture or what
// was there, a pixel once shown stays, and every frame reveals an equal
// share of the pixels, so after frame k of N exactly k/N of them show
// (rounded up). The caller drives the frames from its own clock.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace gdi::imaging {

// The effect codes a transition accepts (17 and 18 are not effects).
inline constexpr std::array<int, 27> kEffectCodes = {0,  1,  2,  3,  4,  5,  6,  7,  8,
                                                     9,  10, 11, 12, 22, 21, 13, 14, 24,
                                                     23, 27, 28, 26, 25, 15, 16, 19, 20};
bool IsEffectCode(int code);

inline constexpr int kEffectFrames = 48;
inline constexpr uint64_t kEffectDurationMs = 800;

// The frame due elapsedMs after the start: 0 at the start, kEffectFrames
// from kEffectDurationMs on.
int EffectFrameAt(uint64_t elapsedMs);

class Transition {
public:
  // The picture stretched into destination (nearest neighbour) with the
  // effect; nullopt for an unknown code, an empty destination or one above
  // the surface bounds.
  static std::optional<Transition> Make(int code, const DibView& dib, const Rect& destination);

  int Code() const { return code_; }
  const Rect& Destination() const { return destination_; }
  // Frames painted so far (0 before the first).
  int Shown() const { return shown_; }
  bool Done() const { return shown_ >= kEffectFrames; }
  // How many destination pixels show after frame k.
  size_t PixelsAfter(int frame) const;

  // Paints the pixels of the frames after Shown() up to frame (bounded by
  // kEffectFrames) on the context's surface, inside its clip box. A late
  // call catches up at once; an earlier frame than Shown() paints nothing.
  bool PaintTo(Dc& dc, int frame);

private:
  Transition() = default;
  int code_ = 0;
  Rect destination_;
  int shown_ = 0;
  std::vector<uint32_t> picture_; // destination-sized, row by row, RGB32
  std::vector<uint32_t> order_;   // destination pixel indices in the order they show
};

} // namespace gdi::imaging

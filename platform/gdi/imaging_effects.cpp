#include "platform/gdi/imaging_effects.h"

#include "platform/gdi/surface.h"
#include "platform/gdi/surface_impl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gdi::imaging {
namespace {

constexpr int kBand = 32; // blinds and checkerboard cells, in pixels
constexpr uint32_t kKeyLevels = 1u << 16;

uint32_t Mix(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  v ^= v >> 16;
  return v;
}

// Where in the reveal a pixel falls, 0 (first) to 1 (last). The pixels are
// then ordered by this key (ties row by row), so the shares stay even
// whatever the key's spread.
double Key(int code, int x, int y, int w, int h) {
  const double u = (x + 0.5) / w, v = (y + 0.5) / h;
  const double du = std::abs(u - 0.5) * 2, dv = std::abs(v - 0.5) * 2;
  const double angle = std::atan2(v - 0.5, u - 0.5) / (2 * std::numbers::pi) + 0.5;
  switch (code) {
  case 0: return u;                             // wipe from the left
  case 1: return 1 - u;                         // from the right
  case 2: return v;                             // from the top
  case 3: return 1 - v;                         // from the bottom
  case 4: return (u + v) / 2;                   // diagonal from the top left
  case 5: return (1 - u + v) / 2;               // from the top right
  case 6: return (u + 1 - v) / 2;               // from the bottom left
  case 7: return (2 - u - v) / 2;               // from the bottom right
  case 8: return double(x % kBand) / kBand;     // vertical blinds
  case 9: return double(y % kBand) / kBand;     // horizontal blinds
  case 10: return std::max(du, dv);             // box opening from the centre
  case 11: return 1 - std::max(du, dv);         // box closing from the edges
  case 12: return std::hypot(du, dv);           // circle opening
  case 22: return 2 - std::hypot(du, dv);       // circle closing
  case 21: return du;                           // split from the middle, sideways
  case 13: return 1 - du;                       // sides closing in
  case 14: return dv;                           // split from the middle, up and down
  case 24: return 1 - dv;                       // top and bottom closing in
  case 23: return std::fmod(angle + 0.2, 1.0);  // clock hand, from before twelve
  case 27: return 1 - std::fmod(angle + 0.3, 1.0); // the other way round, from after
  case 28: return (Mix(uint32_t(y) * 65599u + uint32_t(x) + 0x9e37u) & 0xFFFF) / 65536.0; // dissolve
  case 26: {                                    // checkerboard
    const bool odd = ((x / kBand) + (y / kBand)) & 1;
    return (odd ? 0.5 : 0.0) + double(x % kBand) / (2 * kBand);
  }
  case 25: return (du + dv) / 2;                // diamond opening
  case 15: return (Mix(uint32_t(y / 16) * 4099u + uint32_t(x / 16)) & 0xFFFF) / 65536.0; // blocks
  case 16: return (y & 1 ? 0.5 : 0.0) + u / 2;  // even rows, then odd rows
  case 19: return (y / 8) & 1 ? 1 - u : u;      // comb: strips from both sides
  case 20: return std::fmod(angle * 4, 1.0);    // four fans turning at once
  }
  return u;
}

} // namespace

bool IsEffectCode(int code) {
  return std::find(kEffectCodes.begin(), kEffectCodes.end(), code) != kEffectCodes.end();
}

int EffectFrameAt(uint64_t elapsedMs) {
  if (elapsedMs >= kEffectDurationMs)
    return kEffectFrames;
  return static_cast<int>(elapsedMs * kEffectFrames / kEffectDurationMs);
}

std::optional<Transition> Transition::Make(int code, const DibView& dib, const Rect& destination) {
  if (!IsEffectCode(code) || destination.IsEmpty() || destination.Width() > kMaxSurfaceSide ||
      destination.Height() > kMaxSurfaceSide ||
      int64_t{destination.Width()} * destination.Height() > kMaxSurfacePixels)
    return std::nullopt;
  const int w = destination.Width(), h = destination.Height();
  auto canvas = Surface::Create(w, h);
  if (!canvas)
    return std::nullopt;
  {
    Dc dc(canvas);
    dc.StretchDib(0, 0, w, h, 0, 0, dib.Width(), dib.Height(), dib, kSrcCopy);
  }
  Transition t;
  t.code_ = code;
  t.destination_ = destination;
  t.picture_.resize(size_t(w) * h);
  {
    const QImage& image = canvas->Internals().image;
    for (int y = 0; y < h; ++y)
      std::copy_n(detail::RowOf(image, y), w, t.picture_.data() + size_t(y) * w);
  }
  // Counting sort of the pixels by their key, stable (row by row) on ties.
  std::vector<uint16_t> keys(size_t(w) * h);
  std::vector<uint32_t> counts(kKeyLevels + 1, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double k = std::clamp(Key(code, x, y, w, h) / 2.0, 0.0, 1.0); // keys lie in [0, 2]
      const uint16_t q = static_cast<uint16_t>(std::min<double>(kKeyLevels - 1, k * kKeyLevels));
      keys[size_t(y) * w + x] = q;
      ++counts[q + 1];
    }
  for (uint32_t i = 1; i <= kKeyLevels; ++i)
    counts[i] += counts[i - 1];
  t.order_.resize(keys.size());
  for (uint32_t i = 0; i < keys.size(); ++i)
    t.order_[counts[keys[i]]++] = i;
  return t;
}

size_t Transition::PixelsAfter(int frame) const {
  frame = std::clamp(frame, 0, kEffectFrames);
  return (size_t(frame) * order_.size() + kEffectFrames - 1) / kEffectFrames;
}

bool Transition::PaintTo(Dc& dc, int frame) {
  frame = std::min(frame, kEffectFrames);
  if (frame <= shown_)
    return true;
  const size_t from = PixelsAfter(shown_), to = PixelsAfter(frame);
  shown_ = frame;
  const std::shared_ptr<Surface>& target = dc.Target();
  if (!target)
    return false;
  Surface::Impl& s = target->Internals();
  if (s.closed)
    return false;
  if (!s.visible)
    return true;
  bool turnedDirty = false;
  const Rect clipBox = dc.ClipBox(); // takes the surface's lock itself
  {
    std::lock_guard lock(s.mutex);
    QImage& image = s.image;
    const Rect clip =
        Intersect(Intersect(clipBox, Rect{0, 0, image.width(), image.height()}), destination_);
    if (clip.IsEmpty())
      return true;
    const int w = destination_.Width();
    for (size_t i = from; i < to; ++i) {
      const uint32_t at = order_[i];
      const int x = destination_.left + int(at % w), y = destination_.top + int(at / w);
      if (x < clip.left || x >= clip.right || y < clip.top || y >= clip.bottom)
        continue;
      detail::RowOf(image, y)[x] = picture_[at];
    }
    turnedDirty = s.MarkDirtyLocked(clip);
  }
  if (turnedDirty)
    s.NotifyDirty();
  return true;
}

} // namespace gdi::imaging

// Ink runs: taken from a surface, and painted back through a context.
#include "platform/gdi/dc.h"
#include "platform/gdi/ink.h"

#include "platform/gdi/dc_state.h"
#include "platform/gdi/raster.h"

#include <algorithm>

namespace gdi {

InkRuns InkRuns::FromSurface(const Surface& surface, Colour background) {
  InkRuns ink;
  const uint32_t bk = detail::PixelOf(background);
  std::lock_guard lock(surface.Internals().mutex);
  const QImage& image = surface.Internals().image;
  for (int32_t y = 0; y < image.height(); ++y)
    detail::AppendInkRuns(detail::RowOf(image, y), image.width(), bk, y, 0, ink.runs_);
  for (const InkRun& run : ink.runs_)
    ink.bounds_ = Union(ink.bounds_, Rect{run.left, run.y, run.right, run.y + 1});
  return ink;
}

bool Dc::FillInk(const InkRuns& ink, int32_t x, int32_t y, Colour colour) {
  if (!target_)
    return false;
  if (ink.Empty())
    return true;
  const uint32_t pixel = detail::PixelOf(colour);
  const Rect clip = state_->clip.value_or(detail::kNoClip);
  return detail::DrawOn(*target_, clip, [&](QImage& image, const Rect& c) {
    const Rect reach = Intersect(Offset(ink.Bounds(), x, y), c);
    if (reach.IsEmpty())
      return std::optional<Rect>();
    uint32_t* const first = detail::RowOf(image, 0);
    const qsizetype stride = image.bytesPerLine() / static_cast<qsizetype>(sizeof(uint32_t));
    for (const InkRun& run : ink.Runs()) {
      const int32_t row = run.y + y;
      if (row < reach.top || row >= reach.bottom)
        continue;
      const int32_t left = std::max(run.left + x, c.left);
      const int32_t right = std::min(run.right + x, c.right);
      if (left < right)
        std::fill_n(first + row * stride + left, right - left, pixel);
    }
    return std::optional<Rect>(reach);
  });
}

} // namespace gdi

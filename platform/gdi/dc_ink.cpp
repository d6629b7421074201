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

namespace {

// Lays inks down row by row within area, the rows of fill (when given)
// filled first; returns what it touched.
std::optional<Rect> LayInks(QImage& image, const Rect& area, std::optional<uint32_t> fill,
                            std::span<const InkPlacement> inks) {
  Rect touched = fill ? area : Rect{};
  for (const InkPlacement& p : inks)
    if (p.ink)
      touched = Union(touched, Intersect(Offset(p.ink->Bounds(), p.x, p.y), area));
  if (touched.IsEmpty())
    return std::nullopt;
  // Each ink's first run of the row at hand: runs come row by row.
  std::vector<size_t> next(inks.size(), 0);
  for (size_t i = 0; i < inks.size(); ++i) {
    if (!inks[i].ink)
      continue;
    const std::vector<InkRun>& runs = inks[i].ink->Runs();
    const int32_t first = touched.top - inks[i].y;
    next[i] =
        static_cast<size_t>(std::partition_point(runs.begin(), runs.end(),
                                                 [first](const InkRun& r) { return r.y < first; }) -
                            runs.begin());
  }
  std::vector<uint32_t> pixels(inks.size());
  for (size_t i = 0; i < inks.size(); ++i)
    pixels[i] = detail::PixelOf(inks[i].colour);
  for (int32_t y = touched.top; y < touched.bottom; ++y) {
    uint32_t* const row = detail::RowOf(image, y);
    if (fill)
      std::fill_n(row + area.left, area.Width(), *fill);
    for (size_t i = 0; i < inks.size(); ++i) {
      if (!inks[i].ink)
        continue;
      const std::vector<InkRun>& runs = inks[i].ink->Runs();
      const int32_t want = y - inks[i].y;
      size_t k = next[i];
      for (; k < runs.size() && runs[k].y == want; ++k) {
        const int32_t left = std::max(runs[k].left + inks[i].x, area.left);
        const int32_t right = std::min(runs[k].right + inks[i].x, area.right);
        if (left < right)
          std::fill_n(row + left, right - left, pixels[i]);
      }
      next[i] = k;
    }
  }
  return touched;
}

} // namespace

bool Dc::FillInks(std::span<const InkPlacement> inks) {
  if (!target_)
    return false;
  return detail::DrawOn(
      *target_, state_->clip.value_or(detail::kNoClip),
      [&](QImage& image, const Rect& c) { return LayInks(image, c, std::nullopt, inks); });
}

bool Dc::FillRectWithInks(const Rect& rect, Colour colour, std::span<const InkPlacement> inks) {
  if (!target_)
    return false;
  const Rect r = ClampRect(rect);
  return detail::DrawOn(*target_, state_->clip.value_or(detail::kNoClip),
                        [&](QImage& image, const Rect& c) {
                          const Rect area = Intersect(r, c);
                          if (area.IsEmpty())
                            return std::optional<Rect>();
                          return LayInks(image, area, detail::PixelOf(colour), inks);
                        });
}

} // namespace gdi

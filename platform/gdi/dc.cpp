#include "platform/gdi/dc.h"
#include "platform/gdi/system_palette.h"

#include "platform/gdi/dc_state.h"
#include "platform/gdi/raster.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <array>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>

namespace gdi {

namespace {

using detail::PixelOf;

// On and off run lengths of the styled one-pixel pens, starting with "on".
std::span<const int> PatternOf(int style) {
  static constexpr std::array<int, 2> kDash{18, 6};
  static constexpr std::array<int, 2> kDot{3, 3};
  static constexpr std::array<int, 4> kDashDot{9, 6, 3, 6};
  static constexpr std::array<int, 6> kDashDotDot{9, 3, 3, 3, 3, 3};
  switch (style) {
  case kPsDash:
    return kDash;
  case kPsDot:
    return kDot;
  case kPsDashDot:
    return kDashDot;
  case kPsDashDotDot:
    return kDashDotDot;
  default:
    return {};
  }
}

// Where a styled line stands in its pattern, carried from segment to segment.
struct PatternCursor {
  std::span<const int> runs;
  int64_t period = 0;
  int64_t position = 0;

  explicit PatternCursor(std::span<const int> r) : runs(r) {
    for (int n : runs)
      period += n;
  }
  // Whether pixel `step` pixels on from here is "on".
  bool OnAt(int64_t step) const {
    if (period == 0)
      return true;
    int64_t p = (position + step) % period;
    for (size_t i = 0; i < runs.size(); ++i) {
      if (p < runs[i])
        return i % 2 == 0;
      p -= runs[i];
    }
    return true;
  }
  void Advance(int64_t steps) {
    if (period != 0)
      position = (position + steps) % period;
  }
};

struct LinePaint {
  uint32_t pen = 0;
  uint32_t bk = 0;
  bool opaqueGaps = false;
  int rop2 = kR2CopyPen;
};

void Plot(QImage& image, const Rect& clip, int32_t x, int32_t y, uint32_t colour, int rop2) {
  if (!clip.Contains(Point{x, y}))
    return;
  uint32_t& d = detail::RowOf(image, y)[x];
  d = detail::Rop2(rop2, colour, d);
}

// A one-pixel line from a towards b, b itself left out. Step k along the
// major axis lights the pixel nearest to the ideal line (halves rounded
// towards b); only the steps inside the clip are visited, so far-away end
// points cost nothing.
void PlotLine(QImage& image, const Rect& clip, Point a, Point b, const LinePaint& paint,
              PatternCursor& cursor) {
  const int64_t dx = std::abs(static_cast<int64_t>(b.x) - a.x);
  const int64_t dy = std::abs(static_cast<int64_t>(b.y) - a.y);
  const int64_t sx = a.x < b.x ? 1 : -1;
  const int64_t sy = a.y < b.y ? 1 : -1;
  const bool xMajor = dx >= dy;
  const int64_t steps = xMajor ? dx : dy;
  const int64_t minor = xMajor ? dy : dx;
  if (steps == 0)
    return;
  // Steps whose major coordinate lies in the clip.
  const int64_t start = xMajor ? a.x : a.y;
  const int64_t sign = xMajor ? sx : sy;
  const int64_t lo = xMajor ? clip.left : clip.top;
  const int64_t hi = xMajor ? clip.right : clip.bottom;
  int64_t first = sign > 0 ? lo - start : start - hi + 1;
  int64_t last = sign > 0 ? hi - start : start - lo + 1;
  first = std::max<int64_t>(first, 0);
  last = std::min<int64_t>(last, steps);
  for (int64_t k = first; k < last; ++k) {
    const int64_t offset = static_cast<int64_t>((static_cast<__int128>(2 * k) * minor + steps) /
                                                (2 * static_cast<__int128>(steps)));
    const int64_t x = xMajor ? a.x + sx * k : a.x + sx * offset;
    const int64_t y = xMajor ? a.y + sy * offset : a.y + sy * k;
    if (y < clip.top || y >= clip.bottom || x < clip.left || x >= clip.right)
      continue;
    const bool on = cursor.OnAt(k);
    if (on || paint.opaqueGaps)
      Plot(image, clip, static_cast<int32_t>(x), static_cast<int32_t>(y), on ? paint.pen : paint.bk,
           paint.rop2);
  }
  cursor.Advance(steps);
}

Rect LineBounds(Point a, Point b, int width) {
  const int pad = width / 2 + 1;
  return Rect{std::min(a.x, b.x) - pad, std::min(a.y, b.y) - pad, std::max(a.x, b.x) + pad + 1,
              std::max(a.y, b.y) + pad + 1};
}

void FillPixels(QImage& image, const Rect& area, uint32_t pixel) {
  for (int32_t y = area.top; y < area.bottom; ++y)
    std::fill_n(detail::RowOf(image, y) + area.left, area.Width(), pixel);
}

// Shapes that QPainter outlines: both the pen's and the brush's pixels are
// found as masks first and then mixed into the image one by one, so that
// every mix mode is exact and no pixel is mixed twice.
void PaintShape(QImage& image, const Rect& area, const std::function<void(QPainter&)>& fillPath,
                const std::function<void(QPainter&)>& strokePath, uint32_t brushPixel,
                uint32_t penPixel, int rop2) {
  if (area.IsEmpty())
    return;
  auto render = [&](const std::function<void(QPainter&)>& paint) {
    QImage mask(area.Width(), area.Height(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(0);
    if (paint) {
      QPainter p(&mask);
      p.setRenderHint(QPainter::Antialiasing, false);
      p.translate(-area.left, -area.top);
      paint(p);
    }
    return mask;
  };
  const QImage fill = render(fillPath);
  const QImage stroke = render(strokePath);
  for (int32_t y = area.top; y < area.bottom; ++y) {
    uint32_t* row = detail::RowOf(image, y);
    const uint32_t* f = detail::RowOf(fill, y - area.top);
    const uint32_t* s = detail::RowOf(stroke, y - area.top);
    for (int32_t x = area.left; x < area.right; ++x) {
      const int i = x - area.left;
      if (s[i] >> 24)
        row[x] = detail::Rop2(rop2, penPixel, row[x]);
      else if (f[i] >> 24)
        row[x] = detail::Rop2(rop2, brushPixel, row[x]);
    }
  }
}

// The pattern (a brush pixel) with the destination over r.
bool PatternBlt(Surface& target, const Rect& clip, uint32_t pattern, const Rect& r, uint32_t rop) {
  const uint8_t code = detail::Rop3Code(rop);
  return detail::DrawOn(target, clip, [&](QImage& image, const Rect& c) {
    const Rect area = Intersect(r, c);
    for (int32_t y = area.top; y < area.bottom; ++y) {
      uint32_t* row = detail::RowOf(image, y);
      for (int32_t x = area.left; x < area.right; ++x)
        row[x] = detail::Rop3(code, pattern, 0, row[x]);
    }
    return std::optional<Rect>(area);
  });
}

Rect Normalised(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Rect{std::min(left, right), std::min(top, bottom), std::max(left, right),
              std::max(top, bottom)};
}

} // namespace

namespace detail {

std::shared_ptr<const Font> SystemFont(int systemCodePage) {
  static std::mutex mutex;
  static std::map<int, std::shared_ptr<const Font>> fonts;
  std::lock_guard lock(mutex);
  auto it = fonts.find(systemCodePage);
  if (it != fonts.end())
    return it->second;
  LogFont lf;
  lf.height = 16;
  lf.weight = kWeightBold;
  lf.SetFaceName("System");
  auto font = Font::Create(lf, systemCodePage);
  if (font)
    fonts.emplace(systemCodePage, font);
  return font;
}

} // namespace detail

Dc::Dc() : state_(std::make_unique<State>()) {}

Dc::Dc(std::shared_ptr<Surface> target) : Dc() {
  target_ = std::move(target);
}

Dc Dc::CreateMemory() {
  Dc dc;
  dc.memory_ = true;
  dc.state_->bitmap = Surface::Create(1, 1, 0);
  dc.target_ = dc.state_->bitmap;
  return dc;
}

Dc::Dc(Dc&&) noexcept = default;
Dc& Dc::operator=(Dc&&) noexcept = default;
Dc::~Dc() = default;

bool Dc::IsValid() const {
  return target_ && !target_->IsClosed();
}
bool Dc::IsMemory() const {
  return memory_;
}
const std::shared_ptr<Surface>& Dc::Target() const {
  return target_;
}

std::shared_ptr<Bitmap> Dc::SelectBitmap(std::shared_ptr<Bitmap> bitmap) {
  if (!memory_ || !bitmap)
    return nullptr;
  std::shared_ptr<Bitmap> previous = std::move(state_->bitmap);
  state_->bitmap = std::move(bitmap);
  target_ = state_->bitmap;
  return previous;
}

std::shared_ptr<const Font> Dc::SelectFont(std::shared_ptr<const Font> font) {
  std::shared_ptr<const Font> previous = CurrentFont();
  if (font)
    state_->font = std::move(font);
  return previous;
}

const std::shared_ptr<const Font>& Dc::CurrentFont() {
  if (!state_->font)
    state_->font = detail::SystemFont(state_->systemCodePage);
  return state_->font;
}

Pen Dc::SelectPen(const Pen& pen) {
  Pen previous = state_->pen;
  state_->pen = pen;
  return previous;
}

Brush Dc::SelectBrush(const Brush& brush) {
  Brush previous = state_->brush;
  state_->brush = brush;
  return previous;
}

std::shared_ptr<Palette> Dc::SelectPalette(std::shared_ptr<Palette> palette, bool) {
  std::shared_ptr<Palette> previous = std::move(state_->palette);
  state_->palette = std::move(palette);
  return previous;
}

int Dc::RealizePalette() {
  if (IsMemory() || !state_->palette)
    return 0;
  return RealizeInSystemPalette(*state_->palette);
}

Colour Dc::SetTextColor(Colour c) {
  return std::exchange(state_->textColour, c & 0xFFFFFF);
}
Colour Dc::TextColor() const {
  return state_->textColour;
}
Colour Dc::SetBkColor(Colour c) {
  return std::exchange(state_->bkColour, c & 0xFFFFFF);
}
Colour Dc::BkColor() const {
  return state_->bkColour;
}

int Dc::SetBkMode(int mode) {
  if (mode != kTransparent && mode != kOpaque)
    return 0;
  return std::exchange(state_->bkMode, mode);
}
int Dc::BkMode() const {
  return state_->bkMode;
}

uint32_t Dc::SetTextAlign(uint32_t align) {
  return std::exchange(state_->textAlign, align);
}
uint32_t Dc::TextAlign() const {
  return state_->textAlign;
}

int Dc::SetRop2(int mode) {
  if (mode < kR2Black || mode > kR2White)
    return 0;
  return std::exchange(state_->rop2, mode);
}
int Dc::Rop2() const {
  return state_->rop2;
}

int Dc::SetStretchBltMode(int mode) {
  if (mode < 1 || mode > 4)
    return 0;
  return std::exchange(state_->stretchMode, mode);
}

int Dc::SystemCodePage() const {
  return state_->systemCodePage;
}
void Dc::SetSystemCodePage(int codePage) {
  if (codePage == state_->systemCodePage)
    return;
  state_->systemCodePage = codePage;
  // The system font of the old code page no longer stands for the default.
  if (state_->font && state_->font == detail::SystemFont(state_->font->CodePage()))
    state_->font.reset();
}

int Dc::Save() {
  saved_.push_back(*state_);
  return static_cast<int>(saved_.size());
}

bool Dc::Restore(int saved) {
  const int depth = static_cast<int>(saved_.size());
  const int target = saved < 0 ? depth + saved + 1 : saved;
  if (saved == 0 || target < 1 || target > depth)
    return false;
  *state_ = std::move(saved_[target - 1]);
  saved_.resize(target - 1);
  if (memory_)
    target_ = state_->bitmap;
  return true;
}

void Dc::SetClipRect(const Rect& r) {
  state_->clip = ClampRect(r);
}
void Dc::ClearClip() {
  state_->clip.reset();
}
void Dc::IntersectClipRect(const Rect& r) {
  state_->clip = state_->clip ? Intersect(*state_->clip, ClampRect(r)) : ClampRect(r);
}

Rect Dc::ClipBox() const {
  if (!target_)
    return Rect{};
  const Size size = target_->Dimensions();
  const Rect bounds{0, 0, size.cx, size.cy};
  return state_->clip ? Intersect(*state_->clip, bounds) : bounds;
}

Point Dc::MoveTo(int32_t x, int32_t y) {
  return std::exchange(state_->position, Point{ClampCoordinate(x), ClampCoordinate(y)});
}
Point Dc::CurrentPosition() const {
  return state_->position;
}

bool Dc::LineTo(int32_t x, int32_t y) {
  const Point from = state_->position;
  const Point to{ClampCoordinate(x), ClampCoordinate(y)};
  state_->position = to;
  if (!target_)
    return false;
  const Pen& pen = state_->pen;
  if (pen.style == kPsNull)
    return IsValid();
  const Rect clip = state_->clip.value_or(detail::kNoClip);
  const int rop2 = state_->rop2;
  if (pen.width <= 1) {
    LinePaint paint{PixelOf(pen.colour), PixelOf(state_->bkColour), state_->bkMode == kOpaque,
                    rop2};
    PatternCursor cursor(PatternOf(pen.style));
    return detail::DrawOn(*target_, clip, [&](QImage& image, const Rect& c) {
      PlotLine(image, c, from, to, paint, cursor);
      return std::optional<Rect>(LineBounds(from, to, 1));
    });
  }
  // Wide pens are solid with round ends.
  const int width = pen.width;
  const uint32_t colour = PixelOf(pen.colour);
  return detail::DrawOn(*target_, clip, [&](QImage& image, const Rect& c) {
    const Rect area = Intersect(LineBounds(from, to, width), c);
    PaintShape(
        image, area, nullptr,
        [&](QPainter& p) {
          p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
          p.drawLine(QPointF(from.x + 0.5, from.y + 0.5), QPointF(to.x + 0.5, to.y + 0.5));
        },
        0, colour, rop2);
    return std::optional<Rect>(area);
  });
}

bool Dc::Polyline(std::span<const Point> points) {
  if (points.size() < 2)
    return false;
  const Point saved = state_->position;
  MoveTo(points[0].x, points[0].y);
  bool ok = true;
  for (size_t i = 1; i < points.size(); ++i)
    ok = LineTo(points[i].x, points[i].y) && ok;
  state_->position = saved;
  return ok;
}

bool Dc::FillRect(const Rect& rect, Colour colour) {
  if (!target_)
    return false;
  const Rect r = ClampRect(rect);
  const uint32_t pixel = PixelOf(colour);
  return detail::DrawOn(*target_, state_->clip.value_or(detail::kNoClip),
                        [&](QImage& image, const Rect& c) {
                          const Rect area = Intersect(r, c);
                          FillPixels(image, area, pixel);
                          return std::optional<Rect>(area);
                        });
}

bool Dc::FillRect(const Rect& r, const Brush& brush) {
  if (brush.style == kBsNull)
    return IsValid();
  return FillRect(r, brush.colour);
}

bool Dc::FrameRect(const Rect& rect, Colour colour) {
  const Rect r = ClampRect(rect);
  if (r.IsEmpty())
    return IsValid();
  return FillRect(Rect{r.left, r.top, r.right, r.top + 1}, colour) &&
         FillRect(Rect{r.left, r.bottom - 1, r.right, r.bottom}, colour) &&
         FillRect(Rect{r.left, r.top, r.left + 1, r.bottom}, colour) &&
         FillRect(Rect{r.right - 1, r.top, r.right, r.bottom}, colour);
}

bool Dc::InvertRect(const Rect& rect) {
  if (!target_)
    return false;
  return PatternBlt(*target_, state_->clip.value_or(detail::kNoClip), 0, ClampRect(rect),
                    kDstInvert);
}

bool Dc::PatBlt(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop) {
  if (!target_)
    return false;
  x = ClampCoordinate(x);
  y = ClampCoordinate(y);
  const Rect r = Normalised(x, y, x + ClampCoordinate(width), y + ClampCoordinate(height));
  return PatternBlt(*target_, state_->clip.value_or(detail::kNoClip), PixelOf(state_->brush.colour),
                    r, rop);
}

bool Dc::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!target_)
    return false;
  const Rect r = ClampRect(Normalised(left, top, right, bottom));
  if (r.IsEmpty())
    return IsValid();
  const Pen pen = state_->pen;
  const Brush brush = state_->brush;
  const int rop2 = state_->rop2;
  const bool filled = brush.style != kBsNull;
  const uint32_t brushPixel = PixelOf(brush.colour);
  const uint32_t penPixel = PixelOf(pen.colour);
  const bool outlined = pen.style != kPsNull;
  return detail::DrawOn(
      *target_, state_->clip.value_or(detail::kNoClip), [&](QImage& image, const Rect& c) {
        if (!outlined || pen.width <= 1) {
          // The outline takes the outermost ring of pixels, the brush the rest.
          const Rect inside = outlined ? Inflate(r, -1, -1) : r;
          if (filled) {
            const Rect area = Intersect(inside, c);
            for (int32_t y = area.top; y < area.bottom; ++y) {
              uint32_t* row = detail::RowOf(image, y);
              for (int32_t x = area.left; x < area.right; ++x)
                row[x] = detail::Rop2(rop2, brushPixel, row[x]);
            }
          }
          if (outlined) {
            LinePaint paint{penPixel, PixelOf(state_->bkColour), state_->bkMode == kOpaque, rop2};
            PatternCursor cursor(PatternOf(pen.style));
            const Point tl{r.left, r.top}, tr{r.right - 1, r.top}, br{r.right - 1, r.bottom - 1},
                bl{r.left, r.bottom - 1};
            if (r.Width() == 1 || r.Height() == 1) {
              // A ring one pixel thin would cross its own pixels.
              PlotLine(image, c, tl,
                       Point{br.x + (r.Height() == 1 ? 1 : 0), br.y + (r.Height() == 1 ? 0 : 1)},
                       paint, cursor);
            } else {
              PlotLine(image, c, tl, tr, paint, cursor);
              PlotLine(image, c, tr, br, paint, cursor);
              PlotLine(image, c, br, bl, paint, cursor);
              PlotLine(image, c, bl, tl, paint, cursor);
            }
          }
          return std::optional<Rect>(r);
        }
        // Wide pens: centred on the edge, or inside it for the inside-frame style.
        const int w = pen.width;
        const double inset = pen.style == kPsInsideFrame ? w / 2.0 : 0.5;
        const QRectF path(r.left + inset, r.top + inset, r.Width() - 2 * inset,
                          r.Height() - 2 * inset);
        const Rect bounds = Inflate(r, w, w);
        PaintShape(
            image, Intersect(bounds, c),
            filled
                ? std::function<void(QPainter&)>([&](QPainter& p) { p.fillRect(path, Qt::white); })
                : nullptr,
            [&](QPainter& p) {
              p.setPen(QPen(Qt::white, w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
              p.setBrush(Qt::NoBrush);
              p.drawRect(path);
            },
            brushPixel, penPixel, rop2);
        return std::optional<Rect>(bounds);
      });
}

bool Dc::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!target_)
    return false;
  const Rect r = ClampRect(Normalised(left, top, right, bottom));
  if (r.IsEmpty())
    return IsValid();
  const Pen pen = state_->pen;
  const Brush brush = state_->brush;
  const int rop2 = state_->rop2;
  const bool outlined = pen.style != kPsNull;
  const int w = std::max(1, pen.width);
  const double inset = pen.style == kPsInsideFrame ? w / 2.0 : 0.5;
  const QRectF path(r.left + inset, r.top + inset, r.Width() - 2 * inset, r.Height() - 2 * inset);
  return detail::DrawOn(
      *target_, state_->clip.value_or(detail::kNoClip), [&](QImage& image, const Rect& c) {
        const Rect bounds = Inflate(r, w, w);
        PaintShape(image, Intersect(bounds, c),
                   brush.style != kBsNull ? std::function<void(QPainter&)>([&](QPainter& p) {
                     p.setPen(Qt::NoPen);
                     p.setBrush(Qt::white);
                     p.drawEllipse(path);
                   })
                                          : nullptr,
                   outlined ? std::function<void(QPainter&)>([&](QPainter& p) {
                     p.setPen(QPen(Qt::white, w));
                     p.setBrush(Qt::NoBrush);
                     p.drawEllipse(path);
                   })
                            : nullptr,
                   PixelOf(brush.colour), PixelOf(pen.colour), rop2);
        return std::optional<Rect>(bounds);
      });
}

Colour Dc::SetPixel(int32_t x, int32_t y, Colour c) {
  if (!target_)
    return kInvalidColour;
  Colour result = kInvalidColour;
  const uint32_t pixel = PixelOf(c);
  detail::DrawOn(*target_, state_->clip.value_or(detail::kNoClip),
                 [&](QImage& image, const Rect& clip) -> std::optional<Rect> {
                   if (!clip.Contains(Point{x, y}))
                     return std::nullopt;
                   detail::RowOf(image, y)[x] = pixel;
                   result = c & 0xFFFFFF;
                   return Rect{x, y, x + 1, y + 1};
                 });
  return result;
}

Colour Dc::GetPixel(int32_t x, int32_t y) const {
  if (!target_ || (state_->clip && !state_->clip->Contains(Point{x, y})))
    return kInvalidColour;
  return target_->Pixel(x, y);
}

namespace detail {
void ResetSystemPalette();
} // namespace detail

namespace {
std::atomic<int> screenBits{32};
} // namespace

void SetScreenBitsPerPixel(int bits) {
  screenBits = bits > 0 ? bits : 32;
  detail::ResetSystemPalette();
}

bool IsPaletteScreen() {
  return screenBits.load() == 8;
}

int Dc::DeviceCaps(DeviceCap cap) const {
  switch (cap) {
  case DeviceCap::HorzRes:
  case DeviceCap::VertRes: {
    QSize size(1024, 768);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
      if (QScreen* screen = app->primaryScreen())
        size = screen->geometry().size();
    return cap == DeviceCap::HorzRes ? size.width() : size.height();
  }
  case DeviceCap::BitsPixel:
    return screenBits.load();
  case DeviceCap::Planes:
    return 1;
  case DeviceCap::NumColors:
    if (IsPaletteScreen())
      return static_cast<int>(kStaticColours);
    return -1;
  case DeviceCap::LogPixelsX:
  case DeviceCap::LogPixelsY:
    return kLogPixels;
  case DeviceCap::SizePalette:
    return IsPaletteScreen() ? static_cast<int>(kSystemPaletteSize) : 0;
  case DeviceCap::NumReserved:
    return IsPaletteScreen() ? static_cast<int>(kStaticColours) : 0;
  case DeviceCap::HasPalette:
    return IsPaletteScreen() ? 1 : 0;
  }
  return 0;
}

} // namespace gdi

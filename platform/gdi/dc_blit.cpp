// Block transfers: copies, raster operations and nearest-neighbour
// stretching between surfaces, and from device-independent bitmaps.
#include "platform/gdi/dc.h"

#include "platform/gdi/dc_state.h"
#include "platform/gdi/raster.h"

#include <vector>

namespace gdi {

namespace {

using detail::PixelOf;

// Source columns (or rows) of the destination columns from..to (counted
// from the destination's start): start + i x s / d.
std::vector<int32_t> NearestMap(int32_t start, int32_t sourceLength, int32_t destLength,
                                int32_t from, int32_t to) {
  std::vector<int32_t> map(to - from);
  for (int32_t i = from; i < to; ++i)
    map[i - from] =
        start + static_cast<int32_t>(static_cast<int64_t>(i) * sourceLength / destLength);
  return map;
}

// Copies the source pixels a transfer reads first when source and
// destination are one surface, so overlapping areas move whole.
struct SourcePixels {
  const QImage* image = nullptr;
  QImage copy;

  SourcePixels(QImage& dest, const QImage& source) {
    if (&dest == &source) {
      copy = source.copy();
      image = &copy;
    } else {
      image = &source;
    }
  }
};

} // namespace

bool Dc::BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Dc& source, int32_t sx,
                int32_t sy, uint32_t rop) {
  const uint8_t code = detail::Rop3Code(rop);
  if (!detail::Rop3UsesSource(code))
    return PatBlt(x, y, width, height, rop);
  if (!source.target_)
    return false;
  return BitBlt(x, y, width, height, *source.target_, sx, sy, rop);
}

bool Dc::BitBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Surface& source,
                int32_t sx, int32_t sy, uint32_t rop) {
  for (int32_t* v : {&x, &y, &width, &height, &sx, &sy})
    *v = ClampCoordinate(*v);
  if (!target_)
    return false;
  if (width <= 0 || height <= 0)
    return IsValid();
  const uint8_t code = detail::Rop3Code(rop);
  const uint32_t pattern = PixelOf(state_->brush.colour);
  const Rect dest = MakeRect(x, y, width, height);
  return detail::DrawFrom(*target_, source, state_->clip.value_or(detail::kNoClip),
                          [&](QImage& image, const QImage& from, const Rect& c) {
                            // Only where the source really has pixels.
                            const Rect reach = Offset(detail::BoundsOf(from), x - sx, y - sy);
                            const Rect area = Intersect(Intersect(dest, c), reach);
                            if (area.IsEmpty())
                              return std::optional<Rect>();
                            SourcePixels src(image, from);
                            for (int32_t yy = area.top; yy < area.bottom; ++yy) {
                              uint32_t* d = detail::RowOf(image, yy);
                              const uint32_t* s = detail::RowOf(*src.image, yy - y + sy) + (sx - x);
                              if (code == 0xCC) {
                                std::copy_n(s + area.left, area.Width(), d + area.left);
                                continue;
                              }
                              for (int32_t xx = area.left; xx < area.right; ++xx)
                                d[xx] = detail::Rop3(code, pattern, s[xx], d[xx]);
                            }
                            return std::optional<Rect>(area);
                          });
}

bool Dc::StretchBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Dc& source,
                    int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t rop) {
  const uint8_t code = detail::Rop3Code(rop);
  if (!detail::Rop3UsesSource(code))
    return PatBlt(x, y, width, height, rop);
  if (!source.target_)
    return false;
  return StretchBlt(x, y, width, height, *source.target_, sx, sy, sw, sh, rop);
}

bool Dc::StretchBlt(int32_t x, int32_t y, int32_t width, int32_t height, const Surface& source,
                    int32_t sx, int32_t sy, int32_t sw, int32_t sh, uint32_t rop) {
  for (int32_t* v : {&x, &y, &width, &height, &sx, &sy, &sw, &sh})
    *v = ClampCoordinate(*v);
  if (!target_ || width < 0 || height < 0 || sw < 0 || sh < 0)
    return false;
  if (width == 0 || height == 0 || sw == 0 || sh == 0)
    return IsValid();
  if (width == sw && height == sh)
    return BitBlt(x, y, width, height, source, sx, sy, rop);
  const uint8_t code = detail::Rop3Code(rop);
  const uint32_t pattern = PixelOf(state_->brush.colour);
  const Rect dest = MakeRect(x, y, width, height);
  return detail::DrawFrom(*target_, source, state_->clip.value_or(detail::kNoClip),
                          [&](QImage& image, const QImage& from, const Rect& c) {
                            const Rect area = Intersect(dest, c);
                            if (area.IsEmpty())
                              return std::optional<Rect>();
                            const std::vector<int32_t> columns =
                                NearestMap(sx, sw, width, area.left - x, area.right - x);
                            const std::vector<int32_t> rows =
                                NearestMap(sy, sh, height, area.top - y, area.bottom - y);
                            SourcePixels src(image, from);
                            const int32_t fw = from.width(), fh = from.height();
                            for (int32_t yy = area.top; yy < area.bottom; ++yy) {
                              const int32_t row = rows[yy - area.top];
                              if (row < 0 || row >= fh)
                                continue;
                              uint32_t* d = detail::RowOf(image, yy);
                              const uint32_t* s = detail::RowOf(*src.image, row);
                              for (int32_t xx = area.left; xx < area.right; ++xx) {
                                const int32_t col = columns[xx - area.left];
                                if (col < 0 || col >= fw)
                                  continue;
                                d[xx] = detail::Rop3(code, pattern, s[col], d[xx]);
                              }
                            }
                            return std::optional<Rect>(area);
                          });
}

int Dc::StretchDib(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sx, int32_t sy,
                   int32_t sw, int32_t sh, const DibView& dib, uint32_t rop) {
  for (int32_t* v : {&x, &y, &width, &height, &sx, &sy, &sw, &sh})
    *v = ClampCoordinate(*v);
  if (!target_ || !dib.IsValid() || width <= 0 || height <= 0 || sw <= 0 || sh <= 0)
    return 0;
  const uint8_t code = detail::Rop3Code(rop);
  const uint32_t pattern = PixelOf(state_->brush.colour);
  const Rect dest = MakeRect(x, y, width, height);
  const int32_t dw = dib.Width(), dh = dib.Height();
  // Colour-table pixels once, not per pixel.
  std::vector<uint32_t> table;
  for (const RgbQuad& q : dib.colours)
    table.push_back(PixelOf(ColourOf(q)));
  const bool ok = detail::DrawOn(
      *target_, state_->clip.value_or(detail::kNoClip), [&](QImage& image, const Rect& c) {
        const Rect area = Intersect(dest, c);
        if (area.IsEmpty())
          return std::optional<Rect>();
        const std::vector<int32_t> columns =
            NearestMap(sx, sw, width, area.left - x, area.right - x);
        const std::vector<int32_t> rows = NearestMap(sy, sh, height, area.top - y, area.bottom - y);
        const size_t stride = DibStride(dib.header.width, dib.header.bitCount);
        for (int32_t yy = area.top; yy < area.bottom; ++yy) {
          const int32_t row = rows[yy - area.top];
          if (row < 0 || row >= dh)
            continue;
          const int32_t stored = dib.header.height > 0 ? dh - 1 - row : row;
          const uint8_t* bits = dib.bits.data() + static_cast<size_t>(stored) * stride;
          uint32_t* d = detail::RowOf(image, yy);
          for (int32_t xx = area.left; xx < area.right; ++xx) {
            const int32_t col = columns[xx - area.left];
            if (col < 0 || col >= dw)
              continue;
            uint32_t s;
            uint32_t index;
            switch (dib.header.bitCount) {
            case 1:
              index = (bits[col >> 3] >> (7 - (col & 7))) & 1;
              s = index < table.size() ? table[index] : 0xFF000000u;
              break;
            case 4:
              index = (col & 1) ? (bits[col >> 1] & 0x0F) : (bits[col >> 1] >> 4);
              s = index < table.size() ? table[index] : 0xFF000000u;
              break;
            case 8:
              index = bits[col];
              s = index < table.size() ? table[index] : 0xFF000000u;
              break;
            case 24:
              s = 0xFF000000u | (bits[3 * col + 2] << 16) | (bits[3 * col + 1] << 8) |
                  bits[3 * col];
              break;
            default:
              s = 0xFF000000u | (bits[4 * col + 2] << 16) | (bits[4 * col + 1] << 8) |
                  bits[4 * col];
              break;
            }
            d[xx] = detail::Rop3(code, pattern, s, d[xx]);
          }
        }
        return std::optional<Rect>(area);
      });
  return ok ? sh : 0;
}

} // namespace gdi

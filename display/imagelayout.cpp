#include "display/imagelayout.h"

#include "platform/gdi/dc.h"

#include <algorithm>

namespace display {
namespace {

// Copies tile in tiles from the bitmap's top-left corner until it is
// covered; the last column and row are cut at its edges.
void DrawTiles(gdi::Dc& dc, const gdi::Bitmap& tile, gdi::Size client) {
  for (int32_t y = 0; y < client.cy; y += tile.Height())
    for (int32_t x = 0; x < client.cx; x += tile.Width())
      dc.BitBlt(x, y, std::min(tile.Width(), client.cx - x), std::min(tile.Height(), client.cy - y),
                tile, 0, 0, gdi::kSrcCopy);
}

} // namespace

Layout ChooseLayout(const LayoutSettings& settings, int32_t width, int32_t height, bool own,
                    uint32_t multimediaTime) {
  if (own && (width < kSmallImageSide || height < kSmallImageSide))
    return Layout::Tiles;
  const int32_t type = settings.type == 2 ? (multimediaTime % 2 == 0 ? 1 : 0) : settings.type;
  if (settings.fixed)
    return type == 1 ? Layout::Tiles : Layout::Centred;
  return type == 1 ? Layout::StretchedTiles : Layout::Stretched;
}

gdi::Rect SkippedSource(int32_t width, int32_t height, const LayoutSettings& settings) {
  const int32_t sx = std::clamp(settings.skipX, 0, std::max(0, (width - 1) / 2));
  const int32_t sy = std::clamp(settings.skipY, 0, std::max(0, (height - 1) / 2));
  return gdi::Rect{sx, sy, width - sx, height - sy};
}

std::optional<Composed> ComposeStill(const gdi::Dib& image, Layout layout,
                                     const LayoutSettings& settings, gdi::Size client,
                                     const BackgroundBitmap* defaultBackground) {
  const int32_t iw = image.Width(), ih = image.Height();
  if (iw <= 0 || ih <= 0)
    return std::nullopt;
  auto bitmap = gdi::CreateBitmap(client.cx, client.cy);
  if (!bitmap)
    return std::nullopt;
  Composed out{bitmap, layout, {}};
  gdi::Dc dc(bitmap);
  const gdi::DibView view = image.View();
  const gdi::Rect source = SkippedSource(iw, ih, settings);
  switch (layout) {
  case Layout::Stretched:
    dc.StretchDib(0, 0, client.cx, client.cy, source.left, source.top, source.Width(),
                  source.Height(), view, gdi::kSrcCopy);
    break;
  case Layout::StretchedTiles: {
    auto tile = gdi::CreateBitmap(std::max(1, client.cx / 2), std::max(1, client.cy / 2));
    if (!tile)
      return std::nullopt;
    gdi::Dc(tile).StretchDib(0, 0, tile->Width(), tile->Height(), source.left, source.top,
                             source.Width(), source.Height(), view, gdi::kSrcCopy);
    DrawTiles(dc, *tile, client);
    break;
  }
  case Layout::Tiles: {
    auto tile = gdi::Surface::FromDib(view);
    if (!tile)
      return std::nullopt;
    DrawTiles(dc, *tile, client);
    break;
  }
  case Layout::Centred: {
    const gdi::Rect all{0, 0, client.cx, client.cy};
    if (defaultBackground)
      defaultBackground->DrawTiled(dc, all);
    const int32_t left = iw < client.cx ? client.cx / 2 - iw / 2 : 0;
    const int32_t top = ih < client.cy ? client.cy / 2 - ih / 2 : 0;
    dc.StretchDib(left, top, iw, ih, 0, 0, iw, ih, view, gdi::kSrcCopy);
    out.centred = gdi::Rect{left, top, left + iw, top + ih};
    break;
  }
  }
  return out;
}

} // namespace display

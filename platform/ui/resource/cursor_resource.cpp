#include "platform/ui/resource/cursor_resource.h"

#include "platform/ui/resource/icon_resource.h"

#include <sstream>
#include <string>

namespace ui {

std::optional<CursorImage> LoadCursorResource(const ResourceFiles& files, uint32_t id,
                                              ResourceError* error) {
  const std::string png = ResourcePath("cursors", id, ".png");
  std::optional<std::vector<uint8_t>> bytes;
  if (files)
    bytes = files(png);
  if (!bytes)
    return Fail(error, 0, "no " + png);
  auto picture = ParseIconResource(*bytes, error);
  if (!picture)
    return std::nullopt;
  auto text = ResourceText(files, ResourcePath("cursors", id, ".txt"), error);
  if (!text)
    return std::nullopt;
  std::istringstream lines(*text);
  std::optional<gdi::Point> hotspot;
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word[0] == '#')
      continue;
    long x = -1, y = -1;
    std::string rest;
    if (word != "HOTSPOT" || hotspot || !(words >> x >> y) || (words >> rest))
      return Fail(error, number, "expected one line HOTSPOT x y");
    if (x < 0 || y < 0 || x >= picture->width || y >= picture->height)
      return Fail(error, number, "the hot spot lies outside the picture");
    hotspot = gdi::Point{static_cast<int32_t>(x), static_cast<int32_t>(y)};
  }
  if (!hotspot)
    return Fail(error, 0, "no hot spot");
  return CursorImage{picture->width, picture->height, std::move(picture->argb), *hotspot};
}

} // namespace ui

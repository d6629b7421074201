#include "platform/ui/resource/icon_resource.h"

#include <QImage>

#include <algorithm>

namespace ui {

std::optional<IconImage> ParseIconResource(const std::vector<uint8_t>& png, ResourceError* error) {
  static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (png.size() < sizeof kSignature || !std::equal(kSignature, kSignature + 8, png.begin()))
    return Fail(error, 0, "no PNG signature");
  // The header's size is checked before anything is decoded.
  if (png.size() < 24 || !std::equal(png.begin() + 12, png.begin() + 16, "IHDR"))
    return Fail(error, 0, "no PNG header");
  auto be32 = [&](size_t at) {
    return uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 |
           png[at + 3];
  };
  if (be32(16) > kMaxIconSide || be32(20) > kMaxIconSide)
    return Fail(error, 0, "an icon is at most 256 by 256");
  QImage image;
  if (!image.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"))
    return Fail(error, 0, "the PNG image cannot be decoded");
  if (image.width() > kMaxIconSide || image.height() > kMaxIconSide)
    return Fail(error, 0, "an icon is at most 256 by 256");
  image = image.convertToFormat(QImage::Format_ARGB32);
  IconImage icon{image.width(), image.height(), {}};
  icon.argb.reserve(static_cast<size_t>(icon.width) * icon.height);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    icon.argb.insert(icon.argb.end(), row, row + image.width());
  }
  return icon;
}

std::optional<IconImage> LoadIconResource(const ResourceFiles& files, uint32_t id,
                                          ResourceError* error) {
  const std::string path = ResourcePath("icons", id, ".png");
  std::optional<std::vector<uint8_t>> bytes;
  if (files)
    bytes = files(path);
  if (!bytes)
    return Fail(error, 0, "no " + path);
  return ParseIconResource(*bytes, error);
}

} // namespace ui

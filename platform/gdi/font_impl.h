// What a font keeps behind its public face: the Qt font that draws it.
// Only the drawing code of this library includes it.
#pragma once

#include "platform/gdi/font.h"

#include <QFont>
#include <QString>

#include <cstdint>

namespace gdi {

struct Font::Impl {
  LogFont description;
  TextMetrics metrics;
  std::string faceUsed;
  int codePage = 0;
  bool antialiased = true;
  int pixelSize = 0;
  int stretch = 100;
  QFont qfont;
  // Unique to this font for the life of the process: what is kept of its
  // drawings is keyed by it, never by an address another font may reuse.
  uint64_t serial = 0;
};

namespace detail {

// The bytes as text of the font's code page.
QString DecodeText(const Font& font, std::string_view bytes);
// The width in pixels that text takes when drawn in the font.
int AdvanceOf(const Font& font, const QString& text);

} // namespace detail

} // namespace gdi

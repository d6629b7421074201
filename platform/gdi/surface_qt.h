// Copying a surface out as a Qt image, for the layer that shows windows.
#pragma once

#include "platform/gdi/surface.h"

#include <QImage>

#include <optional>

namespace gdi {

// A deep copy of the whole image.
QImage CopyImage(const Surface& surface);
// A deep copy of the whole image and the area drawn since the last take,
// in one step under the lock, so no drawing falls between the two.
QImage TakeImage(Surface& surface, std::optional<Rect>* dirty);

} // namespace gdi

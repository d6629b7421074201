// The imaging library: pictures of any format Qt's image readers know (JPEG,
// PNG, BMP, GIF and more), plus formats whose readers a caller registers,
// read into device-independent bitmaps at a chosen depth, with the palette
// a bitmap gives and drawing into a device context.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/palette.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace gdi::imaging {

// Files above this size are not read.
constexpr int64_t kMaxImageFileBytes = int64_t{256} << 20;

struct FileInfo {
  int32_t width = 0;
  int32_t height = 0;
  // 1, 4, 8, 16, 24 or 32: the depth a load at the file's own depth gives.
  int bitsPerPixel = 0;
};

// A reader for a format Qt does not read: the whole file to a bitmap of 1 to
// 32 bits, false when the bytes are not a picture it takes.
using Reader = std::function<bool(std::span<const uint8_t> file, Dib& out)>;

// Files whose name ends in "." + extension (letter case ignored) go to the
// reader instead of Qt. A second registration of an extension replaces the
// first; an empty reader removes it. Any thread.
void RegisterReader(std::string_view extension, Reader reader);

// The file's sides and depth, without decoding its pixels where the format
// allows; nullopt for a file no reader takes.
std::optional<FileInfo> GetFileInfo(const std::string& path);

// Loads the file at bits per pixel: 0 for the file's own depth, 8 for at
// most 256 colours (an exact table when the picture has no more colours,
// else dithered), 4 for 16 colours (dithered unless the picture already has
// no more than 16). nullopt when the file cannot be read or bits is another
// value. The bitmap is freed with its owner.
std::optional<Dib> LoadBitmap(const std::string& path, int bits = 0);
// The same from bytes already read; name chooses a registered reader.
std::optional<Dib> LoadBitmap(std::span<const uint8_t> file, std::string_view name, int bits = 0);

// Reduces a bitmap to 4 bits (16 colours) or 8 bits (at most 256) with
// error-diffusion dithering; a bitmap already at most that deep is kept.
std::optional<Dib> ReduceColours(const Dib& dib, int bits);

// A logical palette of the bitmap's colour table (flags 0); nullptr for
// bitmaps above 8 bits, whose pixels carry their own colours.
std::shared_ptr<Palette> PaletteFromBitmap(const Dib& dib);

// Draws the source rectangle of the bitmap (all of it when source is
// nullopt; rows counted from the top) into the destination rectangle,
// stretched by nearest neighbour, with the raster operation.
bool PaintBitmap(Dc& dc, const Dib& dib, const Rect& destination,
                 const std::optional<Rect>& source = std::nullopt, uint32_t rop = kSrcCopy);

} // namespace gdi::imaging

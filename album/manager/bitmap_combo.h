// The album manager's view-type combo: an owner-drawn drop-down list whose
// items show a 16 x 16 image of the "COMMONBITSO" bitmap beside their text,
// in a font of its own. Each item is drawn off-screen and copied to its
// place one pixel higher. Owner's thread only.
#pragma once

#include "platform/gdi/dc.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/font.h"
#include "platform/gdi/surface.h"
#include "platform/ui/frame/drop_list.h"

#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace album {

// The bitmap of a BMP file with every colour-table entry of teal
// (0, 128, 128) set to colour; nullopt for a file that is no bitmap.
std::optional<gdi::Dib> LoadMaskedBitmap(std::span<const uint8_t> file, gdi::Colour colour);

class AlbBitmapCombo : public ui::DropList {
public:
  static constexpr int kItemHeight = 17;
  static constexpr size_t kFaceMax = 19;
  static constexpr gdi::Colour kWindowColour = gdi::Rgb(255, 255, 255);
  static constexpr gdi::Colour kTextColour = gdi::Rgb(0, 0, 0);
  static constexpr gdi::Colour kHighlight = gdi::Rgb(0, 0, 128);
  static constexpr gdi::Colour kHighlightText = gdi::Rgb(255, 255, 255);
  static constexpr gdi::Colour kGreyText = gdi::Rgb(128, 128, 128);

  // The font (height 14, weight 400, TrueType faces only) of the face name
  // (code-page bytes, cut at 19) and the images of the bitmap file; either
  // may be missing, the items then drawn in the system font or with no image.
  void Prepare(std::string_view faceName, std::optional<std::span<const uint8_t>> bitmap,
               int codePage = sys::kDefaultCodePage);
  // A visible owner-drawn child of parent at rect.
  bool Create(ui::Hwnd parent, uint32_t id, gdi::Rect rect) {
    return DropList::Create(parent, id, rect, true);
  }
  void Measure(ui::MeasureItem& item) const { item.itemHeight = kItemHeight; }
  // Draws the item through its context.
  void Draw(const ui::DrawItem& item);

  const std::shared_ptr<const gdi::Font>& ItemFont() const { return font_; }
  bool HasImages() const { return images_ != nullptr; }

private:
  std::shared_ptr<const gdi::Font> font_;
  std::shared_ptr<gdi::Surface> images_;
};

} // namespace album

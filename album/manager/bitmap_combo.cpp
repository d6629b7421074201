#include "album/manager/bitmap_combo.h"

#include "platform/sys/codepage.h"

#include <algorithm>
#include <string>

namespace album {
namespace {

constexpr gdi::Colour kTeal = gdi::Rgb(0, 128, 128);
constexpr int32_t kFontHeight = 14;
constexpr uint8_t kTrueTypeOnly = 7;
constexpr int32_t kImageSide = 16;

} // namespace

std::optional<gdi::Dib> LoadMaskedBitmap(std::span<const uint8_t> file, gdi::Colour colour) {
  std::optional<gdi::Dib> dib = gdi::Dib::FromBmpFile(file);
  if (!dib)
    return std::nullopt;
  // The table holds the used colours only (all of a 1-, 4- or 8-bit
  // bitmap's when the header counts none; none at 24 bits).
  for (gdi::RgbQuad& q : dib->Colours())
    if (gdi::ColourOf(q) == kTeal)
      q = gdi::QuadOf(colour);
  return dib;
}

void AlbBitmapCombo::Prepare(std::string_view faceName,
                             std::optional<std::span<const uint8_t>> bitmap, int codePage) {
  gdi::LogFont lf;
  lf.height = kFontHeight;
  lf.weight = gdi::kWeightNormal;
  lf.charSet = gdi::kDefaultCharSet;
  lf.outPrecision = kTrueTypeOnly;
  lf.SetFaceName(sys::CutBytes(faceName, kFaceMax, codePage), codePage);
  font_ = gdi::Font::Create(lf, codePage);
  images_.reset();
  if (bitmap)
    if (std::optional<gdi::Dib> dib = LoadMaskedBitmap(*bitmap, kWindowColour))
      images_ = gdi::Surface::FromDib(dib->View());
}

void AlbBitmapCombo::Draw(const ui::DrawItem& item) {
  gdi::Dc& target = *item.dc;
  const int32_t width = item.rect.Width(), height = item.rect.Height();
  if (width <= 0 || height <= 0)
    return;
  std::shared_ptr<gdi::Surface> surface = gdi::Surface::Create(width, height, kWindowColour);
  if (!surface)
    return;
  gdi::Dc dc(surface);
  dc.SetSystemCodePage(target.SystemCodePage());
  if (item.itemId >= 0) {
    if (font_)
      dc.SelectFont(font_);
    const std::string text = sys::FromUtf8Lossy(Text(item.itemId), dc.SystemCodePage());
    // Only the dropped list's items show the selection; the field does not.
    const bool selected =
        (item.state & ui::ODS_SELECTED) && !(item.state & ui::ODS_COMBOBOXEDIT);
    if (selected)
      dc.FillRect({19, 0, dc.TextExtent(text).cx + 23, height}, kHighlight);
    dc.SetBkMode(gdi::kTransparent);
    dc.SetTextColor(selected                          ? kHighlightText
                    : (item.state & ui::ODS_DISABLED) ? kGreyText
                                                      : kTextColour);
    dc.TextOut(21, 1, text);
    if (images_) {
      // The second image marks a focused item drawn for its focus change.
      const bool focusChange = (item.action & ui::ODA_FOCUS) && (item.state & ui::ODS_FOCUS);
      dc.BitBlt(3, 0, kImageSide, kImageSide, *images_, focusChange ? kImageSide : 0, 0,
                gdi::kSrcCopy);
    }
  }
  target.BitBlt(item.rect.left, item.rect.top - 1, width, height, *surface, 0, 0, gdi::kSrcCopy);
}

} // namespace album

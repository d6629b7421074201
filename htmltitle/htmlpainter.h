// Paints a parsed title page on a device context: fonts, colours, paragraph
// and heading spacing, alignment, outlined and shadowed text, and a word wrap
// that cuts by the measured share of bytes without ever dividing a
// double-byte character.
#pragma once

#include "htmltitle/export.h"
#include "htmltitle/htmltoken.h"
#include "platform/gdi/dc.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace htmltitle {

// One piece of a token's text as it is drawn, for those who want to see
// where each piece went.
struct DrawnRun {
  const HtmlTokenNode* token = nullptr;
  int32_t offset = 0; // of the piece's first byte in the token's text
  int32_t length = 0;
  gdi::Rect rect;          // where the text itself went (outline copies around it)
  uint32_t format = 0;     // kDtLeft, kDtCenter or kDtRight
  gdi::Colour colour = 0;  // of the text itself
  bool outlined = false;   // drawn with copies in outlineColour first
  int32_t outlineType = 0; // kShadowText or kOutlineText
  gdi::Colour outlineColour = 0;
  std::shared_ptr<const gdi::Font> font;
};

using RunObserver = std::function<void(const DrawnRun&)>;

// Paints the tokens from first up to the end token inside (0, 0) to (width,
// height), in the context's text colour to begin with. The context's state
// (font, colours, background mode, clip, alignment) is as it was afterwards.
// Colour and alignment values are lower-cased in place.
MARQUELL_EXPORT void PaintTokens(gdi::Dc& dc, HtmlTokenNode* first, int32_t width, int32_t height,
                                 const RunObserver& observer = {});

} // namespace htmltitle

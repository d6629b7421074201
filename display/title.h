// The title view: the strip at the top right that shows the current song's
// title, or the number and title of the next reserved song.
#pragma once

#include "display/view.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/font.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace display {

class LyricStyleTable;

// What the strip shows: "%4ld %s" with the announced number and title when
// the number is not 0, else the title.
std::string TitleStripText(int32_t announcedNumber, std::string_view announced,
                           std::string_view title);

// The result of fitting the strip's text: the character width to make the
// font with (0 = the face's own) and whether the text is centred.
struct TitleFit {
  int32_t charWidth = 0;
  int32_t textWidth = 0;
  bool centred = false;
  int passes = 0;
};

// Measures the text in the font with the given character width.
using TitleMeasure = std::function<int32_t(int32_t charWidth)>;

// Narrows the font while the text is at least as wide as the strip: trial
// width (width / characters) x 2 - step for step 1 to 60, never wider than
// the face's own average width and never below 1; a narrowed text is
// centred.
TitleFit FitTitle(int32_t width, int32_t characters, int32_t faceAverage,
                  const TitleMeasure& measure);

// Paints the strip's text in font record 5 of the styles, a cell of the
// client height less 3, fitted to the client width; outlined by four
// one-pixel shifts in colour 17 and drawn in colour 16 inside the client
// shrunk by one pixel. The fitted font is kept until the text or size
// changes.
class TitlePainter {
public:
  void Paint(gdi::Dc& dc, const gdi::Rect& client, std::string_view text,
             const LyricStyleTable& styles, int codePage);
  const TitleFit& Fit() const { return fit_; }
  const std::shared_ptr<const gdi::Font>& CurrentFont() const { return font_; }
  // Forgets the fitted font.
  void Reset() { font_.reset(); }

private:
  std::string text_;
  int32_t width_ = -1, height_ = -1;
  std::shared_ptr<const gdi::Font> font_;
  TitleFit fit_;
};

class CKivo32Title : public Kivo32View {
public:
  using Kivo32View::Kivo32View;

  void SetTitle(std::string_view title);
  void SetAnnounced(int32_t number, std::string_view title);
  void SetIdle() { announcedNumber_ = 0; }
  // Clears the title and the announced title, keeping the number.
  void ClearTitles();
  void Clear();
  // Repaints its area of the frame and itself.
  void Refresh();
  // Child placement: the right half of the frame's top, a quarter of the
  // word view's height high.
  void PlaceChild(const gdi::Rect& frameClient, int32_t wordHeight);

  const std::string& Title() const { return title_; }
  int32_t AnnouncedNumber() const { return announcedNumber_; }
  const std::string& AnnouncedTitle() const { return announced_; }
  // The text painted now.
  std::string Text() const { return TitleStripText(announcedNumber_, announced_, title_); }
  const TitlePainter& Painter() const { return painter_; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override;

private:
  std::string title_; // at most 48 bytes
  int32_t announcedNumber_ = 0;
  std::string announced_; // at most 99 bytes
  TitlePainter painter_;
};

} // namespace display

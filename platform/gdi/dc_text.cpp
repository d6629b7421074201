// Text output of device contexts: code-page bytes decoded in the selected
// font's code page, measured and drawn at whole-pixel advances.
#include "platform/gdi/dc.h"

#include "platform/gdi/dc_state.h"
#include "platform/gdi/font_impl.h"
#include "platform/gdi/raster.h"

#include <QPainter>

namespace gdi {

namespace {

using detail::PixelOf;

void FillArea(QImage& image, const Rect& area, uint32_t pixel) {
  for (int32_t y = area.top; y < area.bottom; ++y)
    std::fill_n(detail::RowOf(image, y) + area.left, area.Width(), pixel);
}

void DrawRun(QImage& image, const Rect& clip, const Font& font, Colour colour, int32_t left,
             int32_t top, const QString& text) {
  if (text.isEmpty())
    return;
  QPainter p(&image);
  p.setClipRect(QRect(clip.left, clip.top, clip.Width(), clip.Height()));
  p.setRenderHint(QPainter::TextAntialiasing, font.Antialiased());
  p.setFont(font.Internals().qfont);
  p.setPen(QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)));
  p.drawText(QPointF(left, top + font.Metrics().ascent), text);
}

// Ink may stand out of the cell (italics, accents above the ascent).
Rect InkBounds(const Rect& cell, const TextMetrics& tm) {
  return Inflate(cell, tm.height, tm.height / 2 + 1);
}

// One line of formatted text: the runs between tab stops and their places.
struct Segment {
  QString text;
  int32_t x = 0; // from the line's start
};

struct Line {
  std::vector<Segment> segments;
  int32_t width = 0;
};

QString StripPrefixes(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&'))
        ++i;
      else
        continue;
    }
    out.append(text[i]);
  }
  return out;
}

Line LayOutLine(const Font& font, const QString& text, bool expandTabs) {
  Line line;
  if (!expandTabs) {
    line.segments.push_back(Segment{text, 0});
    line.width = detail::AdvanceOf(font, text);
    return line;
  }
  const int32_t stop = std::max(1, 8 * font.Metrics().aveCharWidth);
  int32_t x = 0;
  for (const QString& piece : text.split(QLatin1Char('\t'))) {
    if (!line.segments.empty())
      x = (x / stop + 1) * stop;
    line.segments.push_back(Segment{piece, x});
    x += detail::AdvanceOf(font, piece);
  }
  line.width = x;
  return line;
}

} // namespace

bool Dc::TextOut(int32_t x, int32_t y, std::string_view text) {
  return ExtTextOut(x, y, 0, nullptr, text);
}

bool Dc::ExtTextOut(int32_t x, int32_t y, uint32_t options, const Rect* rect,
                    std::string_view text) {
  const std::shared_ptr<const Font> font = CurrentFont();
  if (!target_ || !font)
    return false;
  const QString s = detail::DecodeText(*font, text);
  const int32_t width = ClampCoordinate(detail::AdvanceOf(*font, s));
  x = ClampCoordinate(x);
  y = ClampCoordinate(y);
  const std::optional<Rect> box = rect ? std::optional<Rect>(ClampRect(*rect)) : std::nullopt;
  const TextMetrics& tm = font->Metrics();
  const uint32_t align = state_->textAlign;
  if (align & kTaUpdateCp) {
    x = state_->position.x;
    y = state_->position.y;
  }
  int32_t left = x;
  switch (align & kTaCenter) {
  case kTaRight:
    left = x - width;
    break;
  case kTaCenter:
    left = x - width / 2;
    break;
  default:
    break;
  }
  int32_t top = y;
  switch (align & kTaBaseline) {
  case kTaBaseline:
    top = y - tm.ascent;
    break;
  case kTaBottom:
    top = y - tm.height;
    break;
  default:
    break;
  }
  if (align & kTaUpdateCp) {
    if ((align & kTaCenter) == kTaLeft)
      state_->position.x = x + width;
    else if ((align & kTaCenter) == kTaRight)
      state_->position.x = x - width;
  }
  const Rect cell{left, top, left + width, top + tm.height};
  const bool opaqueCell = state_->bkMode == kOpaque;
  const uint32_t bk = PixelOf(state_->bkColour);
  const Colour colour = state_->textColour;
  return detail::DrawOn(
      *target_, state_->clip.value_or(detail::kNoClip), [&](QImage& image, const Rect& c) {
        Rect touched = InkBounds(cell, tm);
        if (box && (options & kEtoOpaque)) {
          FillArea(image, Intersect(*box, c), bk);
          touched = Union(touched, *box);
        }
        const Rect textClip = box && (options & kEtoClipped) ? Intersect(*box, c) : c;
        if (textClip.IsEmpty())
          return std::optional<Rect>(touched);
        if (opaqueCell)
          FillArea(image, Intersect(cell, textClip), bk);
        DrawRun(image, textClip, *font, colour, left, top, s);
        return std::optional<Rect>(touched);
      });
}

int Dc::DrawText(std::string_view text, Rect& inOut, uint32_t format) {
  // Only a measuring call writes the caller's rectangle.
  Rect rect = ClampRect(inOut);
  const std::shared_ptr<const Font> font = CurrentFont();
  if (!target_ || !font)
    return 0;
  if (text.empty()) {
    if (format & kDtCalcRect) {
      inOut.right = rect.left;
      inOut.bottom = rect.top;
    }
    return 0;
  }
  QString s = detail::DecodeText(*font, text);
  if (!(format & kDtNoPrefix))
    s = StripPrefixes(s);
  const TextMetrics& tm = font->Metrics();
  const int32_t lineHeight = tm.height + ((format & kDtExternalLeading) ? tm.externalLeading : 0);
  std::vector<Line> lines;
  const bool expandTabs = (format & kDtExpandTabs) != 0;
  if (format & kDtSingleLine) {
    s.replace(QLatin1String("\r\n"), QLatin1String(" "));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    lines.push_back(LayOutLine(*font, s, expandTabs));
  } else {
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& piece : s.split(QLatin1Char('\n')))
      lines.push_back(LayOutLine(*font, piece, expandTabs));
  }
  int32_t widest = 0;
  for (const Line& l : lines)
    widest = std::max(widest, l.width);
  const int32_t total = lineHeight * static_cast<int32_t>(lines.size());
  if (format & kDtCalcRect) {
    inOut = Rect{rect.left, rect.top, rect.left + widest, rect.top + total};
    return total;
  }
  int32_t y = rect.top;
  if (format & kDtSingleLine) {
    if (format & kDtVCenter)
      y = rect.top + (rect.Height() - lineHeight) / 2;
    else if (format & kDtBottom)
      y = rect.bottom - lineHeight;
  }
  const int32_t firstTop = y;
  const bool opaqueCell = state_->bkMode == kOpaque;
  const uint32_t bk = PixelOf(state_->bkColour);
  const Colour colour = state_->textColour;
  Rect clip = state_->clip.value_or(detail::kNoClip);
  if (!(format & kDtNoClip))
    clip = Intersect(clip, rect);
  const bool ok = detail::DrawOn(*target_, clip, [&](QImage& image, const Rect& c) {
    Rect touched;
    int32_t top = firstTop;
    for (const Line& line : lines) {
      int32_t left = rect.left;
      if (format & kDtRight)
        left = rect.right - line.width;
      else if (format & kDtCenter)
        left = rect.left + (rect.Width() - line.width) / 2;
      const Rect cell{left, top, left + line.width, top + tm.height};
      if (opaqueCell)
        FillArea(image, Intersect(cell, c), bk);
      for (const Segment& seg : line.segments)
        DrawRun(image, c, *font, colour, left + seg.x, top, seg.text);
      touched = Union(touched, InkBounds(cell, tm));
      top += lineHeight;
    }
    return std::optional<Rect>(touched);
  });
  if (!ok)
    return 0;
  if (format & (kDtVCenter | kDtBottom))
    return firstTop + total - rect.top;
  return total;
}

Size Dc::TextExtent(std::string_view text) {
  const std::shared_ptr<const Font> font = CurrentFont();
  if (!font)
    return Size{};
  return Size{detail::AdvanceOf(*font, detail::DecodeText(*font, text)), font->Metrics().height};
}

TextMetrics Dc::GetTextMetrics() {
  const std::shared_ptr<const Font> font = CurrentFont();
  return font ? font->Metrics() : TextMetrics{};
}

} // namespace gdi

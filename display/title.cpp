// The title view: its texts, its fitted and outlined painting, and the
// clicks and keys it passes on to the frame.
#include "display/title.h"
#include "display/frame.h"
#include "display/lyric/lyric_style_table.h"
#include "display/utils.h"
#include "display/word.h"

#include "platform/sys/codepage.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <cstdio>

namespace display {

namespace {

// Font record and colours of the strip in the style table.
constexpr int kTitleFontRecord = 5;
constexpr int kTitleOutlineColour = 17;
constexpr int kTitleTextColour = 16;
constexpr int kMaxFitSteps = 60;

} // namespace

std::string TitleStripText(int32_t announcedNumber, std::string_view announced,
                           std::string_view title) {
  if (announcedNumber == 0)
    return std::string(title);
  char number[16];
  std::snprintf(number, sizeof number, "%4ld ", static_cast<long>(announcedNumber));
  return number + std::string(announced);
}

TitleFit FitTitle(int32_t width, int32_t characters, int32_t faceAverage,
                  const TitleMeasure& measure) {
  TitleFit fit;
  fit.textWidth = measure(0);
  const int32_t count = std::max(characters, 1);
  for (int32_t step = 1; fit.textWidth >= width && step <= kMaxFitSteps; ++step) {
    int32_t w = (std::max(width, 0) / count) * 2 - step;
    if (faceAverage > 0)
      w = std::min(w, faceAverage); // narrowing only, never widening
    if (w < 1)
      w = 1;
    fit.charWidth = w;
    fit.centred = true;
    fit.textWidth = measure(w);
    ++fit.passes;
    if (w == 1 && fit.textWidth >= width)
      break; // no narrower font exists
  }
  return fit;
}

void TitlePainter::Paint(gdi::Dc& dc, const gdi::Rect& client, std::string_view text,
                         const LyricStyleTable& styles, int codePage) {
  if (text.empty() || client.IsEmpty())
    return;
  const int32_t w = client.Width(), h = client.Height();
  if (!font_ || text != text_ || w != width_ || h != height_) {
    text_ = std::string(text);
    width_ = w;
    height_ = h;
    gdi::LogFont base = styles.Font(kTitleFontRecord);
    base.height = std::max(h - 3, 1);
    base.width = 0;
    std::shared_ptr<const gdi::Font> font = gdi::Font::Create(base, codePage);
    if (!font)
      return;
    const int32_t average = font->Metrics().aveCharWidth;
    fit_ = FitTitle(w, static_cast<int32_t>(text.size()), average, [&](int32_t charWidth) {
      gdi::LogFont f = base;
      f.width = charWidth;
      font = gdi::Font::Create(f, codePage);
      if (!font)
        return int32_t{0};
      dc.SelectFont(font);
      return dc.TextExtent(text).cx;
    });
    font_ = font;
  }
  if (!font_)
    return;
  const int saved = dc.Save();
  dc.SelectFont(font_);
  dc.SetBkMode(gdi::kTransparent);
  const gdi::Rect inner{client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
  int32_t x;
  if (fit_.centred) {
    dc.SetTextAlign(gdi::kTaCenter | gdi::kTaTop);
    x = (inner.left + inner.right) / 2;
  } else {
    dc.SetTextAlign(gdi::kTaRight | gdi::kTaTop);
    x = inner.right;
  }
  const int32_t y = inner.top;
  dc.SetTextColor(styles.Entry(kTitleOutlineColour));
  const gdi::Point shifts[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
  for (const gdi::Point& s : shifts)
    dc.TextOut(x + s.x, y + s.y, text);
  dc.SetTextColor(styles.Entry(kTitleTextColour));
  dc.TextOut(x, y, text);
  dc.Restore(saved);
}

// ---- CKivo32Title ----

void CKivo32Title::SetTitle(std::string_view title) {
  title_ = std::string(sys::CutBytes(title.substr(0, title.find('\0')), 48));
}

void CKivo32Title::SetAnnounced(int32_t number, std::string_view title) {
  announcedNumber_ = number;
  announced_ = std::string(sys::CutBytes(title.substr(0, title.find('\0')), 99));
}

void CKivo32Title::ClearTitles() {
  title_.clear();
  announced_.clear();
}

void CKivo32Title::Clear() {
  ClearTitles();
  announcedNumber_ = 0;
}

void CKivo32Title::Refresh() {
  if (!GetHwnd())
    return;
  const gdi::Rect area = RectInFrame();
  ui::InvalidateRect(frame_.Hwnd(), &area, true);
  ui::InvalidateRect(GetHwnd(), nullptr, true);
}

void CKivo32Title::PlaceChild(const gdi::Rect& frameClient, int32_t wordHeight) {
  const int32_t w = frameClient.Width();
  Place(gdi::MakeRect(kFrameBorder + w / 2 + 2, kFrameBorder + 2, w / 2 - 2 * kFrameBorder - 2,
                      wordHeight / 4));
}

LResult CKivo32Title::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_PAINT: {
    ui::Paint p(GetHwnd());
    if (!p.IsValid())
      return 0;
    // Floating, the strip is a window of its own on the button face; as a
    // child it shows what lies behind it.
    if (floating_)
      p.Dc().FillRect(p.Area(), kColour3dFace);
    else
      frame_.PaintBehind(GetHwnd(), p.Dc(), p.Area());
    if (const LyricStyleTable* styles = frame_.StyleTable())
      painter_.Paint(p.Dc(), ClientRect(), Text(), *styles, frame_.TextCodePage());
    return 0;
  }
  case win::WM_GETMINMAXINFO:
    if (auto* info = ui::AsMinMaxInfo(lParam))
      info->minTrackSize = gdi::Point{200, ui::ScreenRect().Height() / 20};
    return 0;
  case win::WM_SIZE:
    // A floating strip paints itself anew; a docked one stays above the
    // frame's other views.
    if (floating_)
      ui::InvalidateRect(GetHwnd(), nullptr, true);
    else
      ui::SetWindowPos(GetHwnd(), ui::HWND_TOP, 0, 0, 0, 0,
                       ui::SWP_NOMOVE | ui::SWP_NOSIZE | ui::SWP_NOACTIVATE);
    break;
  default:
    break;
  }
  return Kivo32View::OnMessage(message, wParam, lParam);
}

} // namespace display

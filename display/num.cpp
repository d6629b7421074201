// The reservation number view: the row of reserved numbers, fitted and
// outlined, its hit rectangles, and the one-second title display a click on
// a number starts.
#include "display/num.h"
#include "display/frame.h"
#include "display/lyric/lyric_geometry.h"
#include "display/lyric/lyric_style_table.h"
#include "display/receiver.h"
#include "display/resources.h"
#include "display/title.h"

#include "platform/sys/codepage.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"

#include <algorithm>
#include <cstdio>

namespace display {

namespace {

constexpr int kNumFontRecord = 5;
constexpr int32_t kMaxFitK = 61;
// The text shown for an empty place.
constexpr uint32_t kEmptyPlaceString = 38;
constexpr size_t kShownTextBytes = 100;

} // namespace

std::string ReserveEntryText(int32_t number) {
  if (number > 0) {
    char text[16];
    std::snprintf(text, sizeof text, "%-4ld", static_cast<long>(number));
    return text;
  }
  switch (number) {
  case 0:
    return "    ";
  case -1:
    return "VX3 ";
  case -2:
    return "SB3 ";
  case -3:
    return "MID ";
  case -4:
    return "KAR ";
  case -5:
    return "SW3 ";
  default:
    return {};
  }
}

void CKivo32Num::SetNumbers(const ReserveBuffer& buffer, int codePage) {
  numbers_ = ReserveNumbers(buffer);
  for (int i = 0; i < kEntries; ++i) {
    const std::string raw = ReserveTitle(buffer, static_cast<size_t>(i));
    titles_[i] = std::string(sys::CutBytes(raw, 48, codePage));
  }
}

bool CKivo32Num::IsEmpty() const {
  return std::all_of(numbers_.begin(), numbers_.end(), [](int32_t n) { return n == 0; });
}

std::string CKivo32Num::RowText() const {
  std::string row;
  for (int32_t n : numbers_)
    row += ReserveEntryText(n);
  return row;
}

void CKivo32Num::PaintRow(gdi::Dc& dc, const gdi::Rect& client, const LyricStyleTable& styles,
                          int codePage) {
  hits_ = {};
  const std::string row = RowText();
  if (row.empty() || client.IsEmpty())
    return;
  gdi::LogFont base = styles.Font(kNumFontRecord);
  base.height = std::max(client.Height() - 3, 1);
  base.width = 0;
  const gdi::Rect r{0, 0, client.Width(), client.Height()};
  const int32_t usable = UsableWidth(r);
  const int32_t length = static_cast<int32_t>(row.size());
  auto measure = [&](int32_t charWidth) {
    gdi::LogFont f = base;
    f.width = charWidth;
    auto font = gdi::Font::Create(f, codePage);
    if (!font)
      return std::shared_ptr<const gdi::Font>{};
    dc.SelectFont(font);
    return font;
  };
  // Narrowing passes while the row is wider than the usable width.
  std::shared_ptr<const gdi::Font> font = measure(0);
  if (!font)
    return;
  int32_t width = dc.TextExtent(row).cx;
  charWidth_ = 0;
  for (int32_t k = 1; width > usable && k < kMaxFitK; k += k < 5 ? 1 : k < 10 ? 2 : 3) {
    int32_t w = (std::max(usable, 0) / length) * 2 - k;
    if (w < 1)
      w = 1;
    auto narrower = measure(w);
    if (!narrower)
      break;
    font = narrower;
    charWidth_ = w;
    width = dc.TextExtent(row).cx;
  }

  const int saved = dc.Save();
  dc.SelectFont(font);
  dc.SetBkMode(gdi::kTransparent);
  dc.SetTextAlign(gdi::kTaLeft | gdi::kTaTop);
  int32_t x = client.left + 1;
  const int32_t y = client.top + 1;
  const gdi::Point shifts[] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};
  for (int i = 0; i < kEntries; ++i) {
    const std::string text = ReserveEntryText(numbers_[i]);
    const int32_t extent = text.empty() ? 0 : dc.TextExtent(text).cx;
    hits_[i] = gdi::Rect{x, client.top, x + extent, client.bottom};
    if (!text.empty()) {
      const bool even = i % 2 == 0;
      dc.SetTextColor(styles.Entry(even ? 12 : 14));
      for (const gdi::Point& s : shifts)
        dc.TextOut(x + s.x, y + s.y, text);
      dc.SetTextColor(styles.Entry(even ? 13 : 15));
      dc.TextOut(x, y, text);
    }
    x += extent;
  }
  dc.Restore(saved);
}

int CKivo32Num::HitEntry(int32_t x) const {
  for (int i = 0; i < kEntries; ++i)
    if (!hits_[i].IsEmpty() && x >= hits_[i].left && x < hits_[i].right)
      return i;
  return -1;
}

bool CKivo32Num::Click(int32_t x) {
  const int entry = HitEntry(x);
  if (entry < 0)
    return false;
  // One title display at a time: a click while one runs changes nothing.
  if (busy_)
    return true;
  selected_ = entry;
  CKivo32Title* title = frame_.Title();
  if (!title)
    return true;
  busy_ = true;
  timerEntry_ = entry;
  if (GetHwnd())
    win::SetTimer(GetHwnd(), kFirstEntryTimer + static_cast<uint32_t>(entry), kTitleDisplayMs);
  savedTitle_ = title->Title();
  savedNumber_ = title->AnnouncedNumber();
  savedAnnounced_ = title->AnnouncedTitle();
  const std::string shown =
      numbers_[entry] == 0 ? LoadStringBytes(kEmptyPlaceString, kShownTextBytes) : titles_[entry];
  title->SetAnnounced(0, savedAnnounced_);
  title->SetTitle(shown);
  title->Refresh();
  return true;
}

void CKivo32Num::EndTitleDisplay() {
  if (!busy_)
    return;
  if (GetHwnd() && timerEntry_ >= 0)
    win::KillTimer(GetHwnd(), kFirstEntryTimer + static_cast<uint32_t>(timerEntry_));
  busy_ = false;
  timerEntry_ = -1;
  if (CKivo32Title* title = frame_.Title()) {
    title->SetTitle(savedTitle_);
    title->SetAnnounced(savedNumber_, savedAnnounced_);
    title->Refresh();
  }
}

void CKivo32Num::TakeNumbers() {
  if (const LyricReceiver* receiver = frame_.Receiver())
    SetNumbers(receiver->Reservations(), frame_.TextCodePage());
}

void CKivo32Num::PlaceChild(const gdi::Rect& frameClient, int32_t wordHeight) {
  const int32_t w = frameClient.Width();
  Place(gdi::MakeRect(kFrameBorder + 2, kFrameBorder + 2, w / 2 - 2 * kFrameBorder - 2,
                      wordHeight / 4));
}

LResult CKivo32Num::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case win::WM_CREATE:
    busy_ = false;
    break;
  case win::WM_PAINT: {
    ui::Paint p(GetHwnd());
    if (!p.IsValid())
      return 0;
    frame_.PaintBehind(GetHwnd(), p.Dc(), p.Area());
    TakeNumbers();
    if (const LyricStyleTable* styles = frame_.StyleTable())
      PaintRow(p.Dc(), ClientRect(), *styles, frame_.TextCodePage());
    return 0;
  }
  case win::WM_LBUTTONDOWN:
    // Floating, a Ctrl press moves the view; any other press is a click on
    // an entry (a docked view passes a miss on to the frame).
    if (floating_ && (wParam & ui::MK_CONTROL))
      break;
    if (Click(ui::PointOfLParam(lParam).x) && !floating_)
      return 0;
    break;
  case win::WM_TIMER:
    if (busy_ && wParam == kFirstEntryTimer + static_cast<uint32_t>(timerEntry_))
      EndTitleDisplay();
    else
      win::KillTimer(GetHwnd(), static_cast<uint32_t>(wParam));
    return 0;
  case win::WM_LBUTTONDBLCLK:
    frame_.ToggleMaximise();
    return 0;
  case win::WM_GETMINMAXINFO:
    if (auto* info = ui::AsMinMaxInfo(lParam))
      info->minTrackSize.x = 200;
    return 0;
  case win::WM_DESTROY:
    if (busy_)
      win::KillTimer(GetHwnd(), kFirstEntryTimer + static_cast<uint32_t>(timerEntry_));
    busy_ = false;
    break;
  default:
    break;
  }
  return Kivo32View::OnMessage(message, wParam, lParam);
}

} // namespace display

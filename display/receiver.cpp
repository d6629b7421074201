#include "display/receiver.h"

#include "display/frame.h"
#include "platform/ui/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <span>
#include <string_view>

namespace display {
namespace {

std::span<const uint8_t> Bytes(const win::CopyData& data) {
  if (!data.data)
    return {};
  return {static_cast<const uint8_t*>(data.data), data.size};
}

// The text of a record up to its first zero byte.
std::string_view Text(const win::CopyData& data) {
  auto bytes = Bytes(data);
  std::string_view s(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return s.substr(0, s.find('\0'));
}

int32_t Side(int32_t from, int32_t to) {
  const int64_t side = int64_t{to} - from;
  return static_cast<int32_t>(std::clamp<int64_t>(side, 0, gdi::kMaxSurfaceSide));
}

} // namespace

win::LResult LyricReceiver::OnCopyData(win::WParam from, const win::CopyData& data) {
  switch (data.kind) {
  case kDisplayModeCopy:
    if (auto record = ReadDisplayModeRecord(Bytes(data)))
      frame_.ApplyDisplayMode(*record);
    break;
  case kFramePlacementCopy:
    if (auto rect = ReadFramePlacement(Bytes(data)); rect && !frame_.Embedded())
      ui::MoveWindow(frame_.Hwnd(), gdi::ClampCoordinate(rect->left),
                     gdi::ClampCoordinate(rect->top), Side(rect->left, rect->right),
                     Side(rect->top, rect->bottom), true);
    break;
  case kHtmlPageCopy: {
    if (frame_.PlacedByMode2() && static_cast<win::Hwnd>(from) != frame_.Hwnd())
      break;
    const std::string_view text = Text(data);
    if (text.empty())
      break;
    if (text == "@RESET") {
      if (frame_.Info())
        frame_.Info()->EndPage();
      break;
    }
    // The page shown before is ended first; then the new text is kept and
    // parsed for the info view to draw.
    if (!frame_.Info() || !frame_.Info()->ShowTitlePage())
      break;
    frame_.StorePage(text);
    frame_.ParsePage();
    ui::InvalidateRect(frame_.Info()->Hwnd(), nullptr, true);
    break;
  }
  default:
    break;
  }
  return 0;
}

win::LResult LyricReceiver::OnUser(win::WParam code, win::LParam argument) {
  const win::Hwnd frame = frame_.Hwnd();
  switch (code) {
  case kDisplayShowRequest:
    if (argument & 1) {
      win::SendMessage(frame, kCloseMessage, 0, 0);
    } else if (argument & 2) {
      ui::ShowWindow(frame, ui::SW_SHOW);
      if (!(argument & 4))
        frame_.SetSizingBorder(false);
    } else {
      ui::ShowWindow(frame, ui::SW_HIDE);
    }
    break;
  case kDisplayCloseRequest:
    win::SendMessage(frame, kCloseMessage, 0, 0);
    break;
  case kDisplayModeReset:
    if (frame_.BackgroundMode() == kModeInfo)
      win::PostMessage(frame, win::WM_USER, kVideoOffRequest, 0);
    frame_.LeaveEmbedding(true);
    frame_.ResetDisplayMode();
    break;
  default:
    break;
  }
  return 0;
}

} // namespace display

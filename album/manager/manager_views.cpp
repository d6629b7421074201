#include "album/manager/manager_views.h"

#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/win/dispatch.h"

#include <algorithm>
#include <string>

namespace album {
namespace {

constexpr const char* kViewClass = "VexoAlbumPane";
constexpr gdi::Colour kWindow = gdi::Rgb(255, 255, 255);

} // namespace

int32_t KindOfSelection(int selection) {
  return selection >= 0 && selection <= kKindLast - kKindAll ? kKindAll + selection : kKindAll;
}

int32_t KindOfTypeByte(uint8_t type) {
  switch (type) {
  case 't':
    return kKindText;
  case 'b':
    return kKindBinary;
  case 'w':
    return kKindWave;
  default:
    return kKindAll;
  }
}

bool ManagerView::Create(ui::Hwnd parent, uint32_t id) {
  static const bool registered = [] {
    return ui::RegisterScreenClass(
        {kViewClass, 0, [] { return std::make_unique<ManagerView>(); }, nullptr, kWindow});
  }();
  (void)registered;
  id_ = id;
  win::CreateParams p;
  p.className = kViewClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = parent;
  p.id = id;
  p.width = 10;
  p.height = 10;
  p.object = this;
  return win::CreateWindow(p) != 0;
}

void ManagerView::AddRow(const ReservationRow& row) {
  rows_.push_back(row);
  Invalidate();
}

void ManagerView::ClearRows() {
  rows_.clear();
  recorded_ = 0;
  Invalidate();
}

void ManagerView::ApplyReserveNotice(int kind, int32_t number, const ReservationRow& added) {
  switch (kind) {
  case 0:
    if (!rows_.empty())
      rows_.erase(rows_.begin());
    break;
  case 1:
    // The first row may be the song being taken: the search starts behind it.
    if (rows_.size() >= 2) {
      auto it = std::find_if(rows_.begin() + 1, rows_.end(),
                             [&](const ReservationRow& r) { return r.number == number; });
      if (it != rows_.end())
        rows_.erase(it);
    }
    break;
  case 2:
    if (!rows_.empty())
      rows_.pop_back();
    break;
  case 3:
    rows_.clear();
    break;
  case 4:
    rows_.push_back(added);
    break;
  default:
    return;
  }
  Invalidate();
}

void ManagerView::Invalidate() {
  if (GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, true);
}

void ManagerView::Draw(gdi::Dc& dc) {
  const gdi::Rect area = ui::GetClientRect(GetHwnd()).value_or(gdi::Rect{});
  dc.FillRect(area, kWindow);
  dc.SetBkMode(gdi::kTransparent);
  dc.SetTextColor(gdi::Rgb(0, 0, 0));
  int32_t y = 2;
  for (const ReservationRow& row : rows_) {
    const std::string line =
        (row.number > 0 ? std::to_string(row.number) + "  " : std::string()) + row.text;
    dc.TextOut(4, y, line);
    y += 16;
    if (y > area.bottom)
      break;
  }
}

ui::LResult ManagerView::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_PAINT: {
    ui::Paint paint(GetHwnd());
    if (paint.IsValid())
      Draw(paint.Dc());
    return 0;
  }
  case win::WM_KEYDOWN:
    // The frame looks at the lists' keys with the list's id.
    if (id_ != kTreeControlId)
      win::SendMessage(win::GetParent(win::GetParent(GetHwnd())), win::WM_KEYDOWN, wParam, id_);
    return 0;
  case win::WM_COMMAND:
    commands_.push_back(static_cast<uint16_t>(ui::LowWord(wParam)));
    return 0;
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace album

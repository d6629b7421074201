#include "games/board_view.h"

#include "platform/ui/frame/command.h"
#include "platform/ui/window/paint.h"

#include <memory>

namespace games {
namespace {

constexpr const char* kBoardClass = "VexoGameBoard";
constexpr gdi::Colour kBackground = gdi::Rgb(0, 64, 96);
constexpr gdi::Colour kText = gdi::Rgb(255, 255, 200);
constexpr int kLineHeight = 20;

} // namespace

bool BoardView::Create(ui::Hwnd frame) {
  static const bool registered =
      ui::RegisterScreenClass({kBoardClass, ui::CS_HREDRAW | ui::CS_VREDRAW,
                               [] { return std::make_unique<BoardView>(); }, nullptr, kBackground});
  (void)registered;
  win::CreateParams p;
  p.className = kBoardClass;
  p.style = win::WS_CHILD | win::WS_VISIBLE;
  p.parent = frame;
  p.id = ui::kPaneId;
  p.object = this;
  return win::CreateWindow(p) != 0;
}

void BoardView::SetLines(std::vector<std::string> lines) {
  lines_ = std::move(lines);
  if (GetHwnd())
    ui::InvalidateRect(GetHwnd(), nullptr, true);
}

ui::LResult BoardView::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_PAINT: {
    ui::Paint paint(GetHwnd());
    if (!paint.IsValid())
      return 0;
    gdi::Dc& dc = paint.Dc();
    dc.SetBkMode(gdi::kTransparent);
    dc.SetTextColor(kText);
    int y = 16;
    for (const std::string& line : lines_) {
      dc.TextOut(16, y, line);
      y += kLineHeight;
    }
    return 0;
  }
  case win::WM_LBUTTONUP:
    if (onClick)
      onClick();
    return 0;
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace games

#include "platform/ui/frame/tool_tip.h"

#include "platform/ui/window/input.h"
#include "platform/win/dispatch.h"

#include <QToolTip>
#include <QWidget>

namespace ui {

bool ToolTip::Create(Hwnd owner) {
  static const bool registered = [] {
    return RegisterScreenClass(
        {kToolTipClass, 0, [] { return std::make_unique<ToolTip>(); }, nullptr, std::nullopt});
  }();
  (void)registered;
  owner_ = owner;
  win::CreateParams p;
  p.className = kToolTipClass;
  p.style = win::WS_POPUP;
  p.object = this;
  return win::CreateWindow(p) != 0;
}

bool ToolTip::SetToolRect(Hwnd window, uintptr_t id, gdi::Rect rect) {
  for (ToolInfo& tool : tools_)
    if (tool.window == window && tool.id == id) {
      tool.rect = rect;
      return true;
    }
  return false;
}

bool ToolTip::AddTool(const ToolInfo& tool) {
  if (!tool.window)
    return false;
  tools_.push_back(tool);
  return true;
}

void ToolTip::Relay(const win::Msg& msg) {
  if (!active_)
    return;
  if (msg.message != win::WM_MOUSEMOVE) {
    // A click ends the tip, as does leaving every tool.
    if (msg.message == win::WM_LBUTTONDOWN || msg.message == win::WM_RBUTTONDOWN)
      Hide();
    return;
  }
  const gdi::Point p = PointOfLParam(msg.lParam);
  for (const ToolInfo& tool : tools_) {
    if (tool.window == msg.hwnd && tool.rect.Contains(p)) {
      if (shown_ != tool.id)
        Show(tool, msg);
      return;
    }
  }
  Hide();
}

void ToolTip::Show(const ToolInfo& tool, const win::Msg& msg) {
  std::string text = tool.text;
  if (text.empty()) {
    ToolTipText ask{{GetHwnd(), tool.id, TTN_NEEDTEXT}, {}};
    win::SendMessage(owner_, WM_NOTIFY, tool.id, reinterpret_cast<LParam>(&ask));
    text = std::move(ask.text);
  }
  shown_ = tool.id;
  text_ = std::move(text);
  if (QWidget* w = GetWidget(tool.window)) {
    const gdi::Point at = ClientToScreen(tool.window, PointOfLParam(msg.lParam));
    QToolTip::showText(QPoint(at.x, at.y + 20), QString::fromStdString(text_), w);
  }
}

void ToolTip::Hide() {
  if (!shown_)
    return;
  shown_.reset();
  text_.clear();
  QToolTip::hideText();
}

LResult ToolTip::OnMessage(uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
  case TTM_ACTIVATE:
    active_ = wParam != 0;
    if (!active_)
      Hide();
    return 0;
  case TTM_ADDTOOL:
    return lParam && AddTool(*reinterpret_cast<const ToolInfo*>(lParam));
  case TTM_RELAYEVENT:
    if (lParam)
      Relay(*reinterpret_cast<const win::Msg*>(lParam));
    return 0;
  default:
    return Default(message, wParam, lParam);
  }
}

} // namespace ui

#include "platform/ui/frame/tool_tip.h"

#include "platform/ui/window/input.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"

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
  ToolInfo added = tool;
  if (added.flags & TTF_IDISHWND)
    added.id = added.window;
  tools_.push_back(std::move(added));
  return true;
}

const ToolInfo* ToolTip::Find(Hwnd window, uintptr_t id) const {
  for (const ToolInfo& tool : tools_)
    if (tool.window == window && tool.id == id)
      return &tool;
  return nullptr;
}

bool ToolTip::RemoveTool(Hwnd window, uintptr_t id) {
  for (auto it = tools_.begin(); it != tools_.end(); ++it) {
    if (it->window != window || it->id != id)
      continue;
    if (shown_ == id)
      Hide();
    if (pending_ == id) {
      pending_.reset();
      win::KillTimer(GetHwnd(), kShowTimer);
    }
    tools_.erase(it);
    return true;
  }
  return false;
}

void ToolTip::SetInitialDelay(uint32_t ms) {
  delayMs_ = ms;
}

void ToolTip::Relay(const win::Msg& msg) {
  if (!active_)
    return;
  if (msg.message != win::WM_MOUSEMOVE) {
    // A click ends the tip, as does leaving every tool.
    if (msg.message == win::WM_LBUTTONDOWN || msg.message == win::WM_RBUTTONDOWN) {
      Hide();
      pending_.reset();
      win::KillTimer(GetHwnd(), kShowTimer);
    }
    return;
  }
  const gdi::Point p = PointOfLParam(msg.lParam);
  for (const ToolInfo& tool : tools_) {
    if (tool.window != msg.hwnd)
      continue;
    const gdi::Rect rect =
        (tool.flags & TTF_IDISHWND) ? GetClientRect(tool.window).value_or(gdi::Rect{}) : tool.rect;
    if (!rect.Contains(p))
      continue;
    if (shown_ == tool.id || pending_ == tool.id)
      return;
    Hide();
    if (delayMs_ == 0) {
      Show(tool, p);
      return;
    }
    pending_ = tool.id;
    pendingWindow_ = tool.window;
    pendingAt_ = p;
    win::SetTimer(GetHwnd(), kShowTimer, delayMs_);
    return;
  }
  Hide();
  if (pending_) {
    pending_.reset();
    win::KillTimer(GetHwnd(), kShowTimer);
  }
}

void ToolTip::ShowPending() {
  win::KillTimer(GetHwnd(), kShowTimer);
  if (!pending_ || !active_)
    return;
  const uintptr_t id = *pending_;
  pending_.reset();
  if (const ToolInfo* tool = Find(pendingWindow_, id))
    Show(*tool, pendingAt_);
}

void ToolTip::Show(const ToolInfo& tool, gdi::Point at) {
  std::string text = tool.text;
  if (text.empty()) {
    ToolTipText ask{{GetHwnd(), tool.id, TTN_NEEDTEXT}, {}};
    win::SendMessage(owner_, WM_NOTIFY, tool.id, reinterpret_cast<LParam>(&ask));
    text = std::move(ask.text);
  }
  shown_ = tool.id;
  text_ = std::move(text);
  if (QWidget* w = GetWidget(tool.window)) {
    gdi::Point place = ClientToScreen(tool.window, at);
    place.y += 20;
    if (tool.flags & TTF_CENTERTIP) {
      const gdi::Rect r = (tool.flags & TTF_IDISHWND)
                              ? GetClientRect(tool.window).value_or(gdi::Rect{})
                              : tool.rect;
      place = ClientToScreen(tool.window, {(r.left + r.right) / 2, r.bottom + 2});
    }
    QToolTip::showText(QPoint(place.x, place.y), QString::fromStdString(text_), w);
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
    if (!active_) {
      Hide();
      pending_.reset();
      win::KillTimer(GetHwnd(), kShowTimer);
    }
    return 0;
  case TTM_SETDELAYTIME:
    if (wParam == TTDT_INITIAL)
      SetInitialDelay(static_cast<uint32_t>(lParam < 0 ? 0 : lParam));
    return 0;
  case TTM_DELTOOL:
    if (!lParam)
      return 0;
    {
      const auto* tool = reinterpret_cast<const ToolInfo*>(lParam);
      RemoveTool(tool->window, (tool->flags & TTF_IDISHWND) ? tool->window : tool->id);
    }
    return 0;
  case win::WM_TIMER:
    if (wParam == kShowTimer)
      ShowPending();
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

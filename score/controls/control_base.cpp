#include "score/controls/control_base.h"

#include "platform/res/bundle.h"
#include "platform/ui/window/input.h"
#include "platform/win/dispatch.h"
#include "platform/win/window.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace controls {

bool FieldOf(std::string_view text, char separator, int n, std::string_view* field) {
  if (n < 1)
    return false;
  size_t start = 0;
  for (int i = 1; i < n; ++i) {
    const size_t at = text.find(separator, start);
    if (at == std::string_view::npos)
      return false;
    start = at + 1;
  }
  const size_t end = text.find(separator, start);
  *field = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
  return true;
}

void CControlBase::SetConfiguration(std::string_view text) {
  config_.fill('\0');
  std::memcpy(config_.data(), text.data(), std::min(text.size(), config_.size() - 1));
}

void CControlBase::LoadResourceString(const res::Bundle* module, int32_t id) {
  module_ = module;
  uint32_t number = static_cast<uint32_t>(id);
  if (id == -1)
    number = static_cast<uint32_t>(std::strtoul(config_.data(), nullptr, 10));
  config_.fill('\0');
  if (module)
    module->CopyString(number, config_.data(), static_cast<int>(config_.size()));
}

bool CControlBase::GetField(char* destination, size_t size, int n) const {
  std::string_view field;
  if (!FieldOf(config_.data(), '/', n, &field))
    return false;
  if (destination && size > 0) {
    const size_t count = std::min(field.size(), size - 1);
    std::memcpy(destination, field.data(), count);
    destination[count] = '\0';
  }
  return true;
}

bool CControlBase::GetNumbers(int32_t* out[], int count, int n) const {
  std::string_view field;
  if (!FieldOf(config_.data(), '/', n, &field))
    return false;
  for (int i = 0; i < count; ++i) {
    std::string_view sub;
    if (!FieldOf(field, ':', i + 1, &sub))
      return false;
    const std::string text(sub);
    *out[i] = static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
  }
  return true;
}

bool CControlBase::GetInt(int32_t* a, int n) const {
  int32_t* out[] = {a};
  return GetNumbers(out, 1, n);
}

bool CControlBase::GetPair(int32_t* a, int32_t* b, int n) const {
  int32_t* out[] = {a, b};
  return GetNumbers(out, 2, n);
}

bool CControlBase::GetTriple(int32_t* a, int32_t* b, int32_t* c, int n) const {
  int32_t* out[] = {a, b, c};
  return GetNumbers(out, 3, n);
}

bool CControlBase::GetColor(gdi::Colour* colour, int n) const {
  int32_t r = 0, g = 0, b = 0;
  if (!GetTriple(&r, &g, &b, n))
    return false;
  *colour = gdi::Rgb(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
  return true;
}

ui::LResult CControlBase::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_CREATE:
    // The window text stands in the configuration until a string is loaded.
    SetConfiguration(win::GetWindowText(GetHwnd()).value_or(""));
    break;
  case win::WM_COMMAND:
    if (wParam == kQueryControlObject) {
      if (lParam)
        *reinterpret_cast<CControlBase**>(lParam) = this;
      return 1;
    }
    break;
  case win::WM_LBUTTONDOWN: {
    const win::Hwnd parent = win::GetParent(GetHwnd());
    if (parent) {
      const gdi::Point screen = ui::ClientToScreen(GetHwnd(), ui::PointOfLParam(lParam));
      const gdi::Point at = ui::ScreenToClient(parent, screen);
      win::SendMessage(parent, win::WM_LBUTTONDOWN, wParam, ui::MakeLParam(at.x, at.y));
    }
    break;
  }
  case win::WM_MOUSEMOVE:
    if (toolTip && toolTip->GetHwnd()) {
      win::Msg relayed;
      relayed.hwnd = GetHwnd();
      relayed.message = win::WM_MOUSEMOVE;
      relayed.wParam = wParam;
      relayed.lParam = lParam;
      win::SendMessage(toolTip->GetHwnd(), kToolTipRelay, 0, reinterpret_cast<win::LParam>(&relayed));
    }
    break;
  default:
    break;
  }
  return Default(message, wParam, lParam);
}

} // namespace controls

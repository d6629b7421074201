#include "platform/ui/dialog/data_exchange.h"

#include "platform/ui/window/input.h"

#include <string>

namespace ui {

std::optional<int32_t> ExchangeIntInRange(Dialog& dialog, int32_t id, int32_t min, int32_t max,
                                          std::string_view caption) {
  bool translated = false;
  const int32_t value =
      static_cast<int32_t>(GetDlgItemInt(dialog.GetHwnd(), id, &translated, true));
  std::string refusal;
  if (!translated)
    refusal = "Please enter an integer.";
  else if (value < min || value > max)
    refusal = "Please enter an integer between " + std::to_string(min) + " and " +
              std::to_string(max) + ".";
  if (refusal.empty())
    return value;
  MessageBox(refusal, caption, MB_OK | MB_ICONEXCLAMATION, dialog.GetHwnd());
  SetFocus(GetDlgItem(dialog.GetHwnd(), id));
  return std::nullopt;
}

} // namespace ui
